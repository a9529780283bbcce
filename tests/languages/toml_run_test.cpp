// TOML through the built utility: its names, and a source that is not TOML
// reported as such, in a single run and in a tree run, never equivalent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support.h"

namespace {

const std::string kAbort = "Matchling==>  Program will abort \n" + kPrompt + "\n";

TEST(TomlRun, NamesAndNotToml)
{
    const std::string bad = "a = 1\nb = \"x\n";
    const Scenario scenarios[] = {
        {"an ending and whole names",
         {{"a.toml", "a = 0x1F\n"}, {"b.toml", "a = 31 # c\n"}},
         {"a.toml", "b.toml", "--tokens"},
         kEquivalent,
         0,
         {}},
        {"a key moved above its header",
         {{"Cargo.lock", "[t]\nk = 1\n"}, {"b.toml", "k = 1\n[t]\n"}},
         {"Cargo.lock", "b.toml", "--tokens"},
         "Matchling==> Token mismatch at line 1, column 1 of Cargo.lock \n"
         "Matchling==> Token from Cargo.lock '[' \n[t] \n^ \n"
         "Matchling==> Token mismatch at line 1, column 1 of b.toml \n"
         "Matchling==> Token from b.toml 'k' \nk = 1 \n^ \n" +
             kNotEquivalent,
         0,
         {}},
        {"file 1 not TOML",
         {{"a.toml", bad}, {"b.toml", bad + "\n"}},
         {"a.toml", "b.toml", "--tokens"},
         "Matchling==>  Unable to compare: a.toml (not valid TOML at line 2, column 7) \n" + kAbort,
         1,
         {"Matchlinga.tmp", "Matchlingb.tmp"}},
        {"file 2 not TOML where file 1 ends",
         {{"Pipfile", "a = 1\n"}, {"poetry.lock", "a = 1\n= 2\n"}},
         {"Pipfile", "poetry.lock", "--tokens", "--exit-status"},
         "Matchling==>  Unable to compare: poetry.lock (not valid TOML at line 2, column 1) \n" + kAbort,
         2,
         {"Matchlinga.tmp", "Matchlingb.tmp"}},
        {"a difference before the input that is not TOML",
         {{"a.toml", "a = 1\n"}, {"b.toml", "a = 2\n" + bad}},
         {"a.toml", "b.toml", "--tokens", "--exit-status"},
         "Matchling==>  Unable to compare: b.toml (not valid TOML at line 3, column 7) \n" + kAbort,
         2,
         {"Matchlinga.tmp", "Matchlingb.tmp"}},
        {"a difference before the input that is not TOML, with --allow",
         {{"a.toml", "a = 1\n" + bad}, {"b.toml", "a = 2\n"}},
         {"a.toml", "b.toml", "--tokens", "--allow", "all"},
         "Matchling==>  Unable to compare: a.toml (not valid TOML at line 3, column 7) \n" + kAbort,
         1,
         {"Matchlinga.tmp", "Matchlingb.tmp"}},
    };
    for (const Scenario &s : scenarios)
        play(s);
}

// A valid file longer than the lexer's window, with a difference in its
// first lines: the rest is still read to its end before the verdict, never
// cut off where the source was closed.
TEST(TomlRun, LongValidFileDifferingEarlyIsNotEquivalent)
{
    ScratchDir dir;
    std::string body;
    for (int i = 0; body.size() < 200000; ++i)
        body += "key" + std::to_string(i) + " = \"a string of some length, " + std::to_string(i * 7) + "\"\n";
    writeFile(dir.file("a.toml"), "a = 1\n" + body);
    writeFile(dir.file("b.toml"), "a = 2\n" + body);
    for (const char *allow : {"", "all"}) {
        SCOPED_TRACE(allow);
        std::vector<std::string> args = {"a.toml", "b.toml", "--tokens", "--exit-status"};
        if (*allow)
            args.insert(args.end(), {"--allow", allow});
        const RunResult r = runMatchling(args, dir.path());
        EXPECT_EQ(r.out.find("Unable to compare"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("Token mismatch at line 1, column 5 of a.toml"), std::string::npos) << r.out;
        EXPECT_EQ(r.status, 1);
    }
}

TEST(TomlRun, TreeCountsNotTomlAsFailed)
{
    ScratchDir dir;
    ASSERT_TRUE(makeDir(dir.file("a")) && makeDir(dir.file("b")));
    writeFile(dir.file("a/ok.toml"), "[t]\nk = [1, 2]\n");
    writeFile(dir.file("b/ok.toml"), "[ t ]\nk = [\n  1,\n  2,\n]\n");
    writeFile(dir.file("a/bad.toml"), "k = 1\nk = 01\n");
    writeFile(dir.file("b/bad.toml"), "k = 2\nk = 01\n\n");
    const RunResult r = runMatchling({"a", "b", "--tokens", "--exit-status"}, dir.path());
    EXPECT_EQ(r.out, "Matchling==> Unable to compare: bad.toml (not valid TOML at line 2, column 5) \n"
                     "Matchling==> Pairs by language: toml 2 \n"
                     "Matchling==> 2 pairs compared: 1 equivalent, 0 not equivalent, 1 failed, 0 only on one side \n" +
                         kNotEquivalent);
    EXPECT_EQ(r.status, 1);
}

} // namespace
