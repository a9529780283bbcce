// YAML through the built utility: a tree run that judges YAML files by their
// names (whole names too), and a file that does not parse, which is never
// compared, in a tree run and in a single run.
#include <gtest/gtest.h>

#include <string>

#include "../lex_support.h"
#include "../support.h"
#include "languages/languages.h"

namespace {

TEST(YamlRun, TreeJudgesYamlFiles)
{
    SKIP_UNLESS_BUILT(Language::Yaml, "YAML (no libfyaml)");
    ScratchDir dir;
    writeTrees(dir, {
        {"ci.yml", "on: [push]\njobs:\n  b: {runs-on: x}\n", "on:\n  - push\njobs:\n  b:\n    runs-on: x\n"},
        {".clang-format", "BasedOnStyle: LLVM\nIndentWidth: 4\n",
         "---\nBasedOnStyle:   LLVM\nIndentWidth: 4\n...\n"},
        {"bad.yaml", "a: 1\nb: 2\n", "a: 1\n  b: 2\n"},
        {"q.yaml", "a: yes\n", "a: 'yes'\n"},
    });
    const RunResult r = runMatchling({"a", "b", "--tokens", "--exit-status"}, dir.path());
    EXPECT_EQ(r.out, "Matchling==> Unable to compare: bad.yaml (not valid YAML at line 1, column 4) \n"
                     "Matchling==> Not equivalent: q.yaml \n"
                     "Matchling==> Token mismatch at line 1, column 4 of a/q.yaml \n"
                     "Matchling==> Token from a/q.yaml 'yes' \n"
                     "a: yes \n"
                     "   ^ \n"
                     "Matchling==> Token mismatch at line 1, column 4 of b/q.yaml \n"
                     "Matchling==> Token from b/q.yaml ''yes'' \n"
                     "a: 'yes' \n"
                     "   ^ \n"
                     "Matchling==> Pairs by language: yaml 4 \n"
                     "Matchling==> 4 pairs compared: 2 equivalent, 1 not equivalent, 1 failed, 0 only on one side \n" +
                         kNotEquivalent);
    EXPECT_EQ(r.status, 1);
}

TEST(YamlRun, SingleRunStopsOnInvalidYaml)
{
    SKIP_UNLESS_BUILT(Language::Yaml, "YAML (no libfyaml)");
    Scenario s;
    s.name = "a YAML file that does not parse";
    s.files = {{"a.yaml", "a: 1\n"}, {"b.yaml", "a: [1\n"}};
    s.args = {"a.yaml", "b.yaml", "--tokens", "--exit-status"};
    s.out = "Matchling==>  Unable to compare: b.yaml (not valid YAML at line 2, column 1) \n"
            "Matchling==>  Program will abort \n" + kPrompt + "\n";
    s.status = 2;
    s.temps = {"Matchlinga.tmp", "Matchlingb.tmp"};
    play(s);
}

} // namespace
