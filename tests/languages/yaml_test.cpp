// YAML's in-process tests: its near misses first, then the lexer's tests,
// then the tests that run prettier on real files of this machine and judge
// the pairs by the npm yaml package's composed documents.
//
// Near misses of the YAML module: for each decision, a pair that must differ
// if it went wrong and, where it can go the other way, a pair that must stay
// equal.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"
#include "../tree_judge.h"
#include "languages/languages.h"

namespace {

const Language Yaml = Language::Yaml;

TEST(YamlNearMiss, Scalars)
{
    BUILT_PAIRS(Yaml, "YAML (no libfyaml)", (std::vector<PairCase>{
        {"yes quoted is a string", "a: yes\n", "a: \"yes\"\n", false},
        {"yes single-quoted is a string", "a: yes\n", "a: 'yes'\n", false},
        {"1 quoted is a string", "a: 1\n", "a: \"1\"\n", false},
        {"a quoted key", "\"a\": 1\n", "a: 1\n", false},
        {"single and double quotes compare by value", "a: 'x y'\n", "a: \"x y\"\n", true},
        {"an escape in double quotes is its character", "a: \"x\\ty\"\n", "a: \"x\ty\"\n", true},
        {"a doubled quote in single quotes", "a: 'it''s'\n", "a: \"it's\"\n", true},
        {"a blank put inside a quoted string", "a: \"x y\"\n", "a: \"x  y\"\n", false},
        {"a blank put inside a plain scalar", "a: x y\n", "a: x  y\n", false},
        {"a literal block is its string", "a: |\n  x\n  y\n", "a: \"x\\ny\\n\"\n", true},
        {"a folded block folds", "a: >\n  x\n  y\n", "a: \"x y\\n\"\n", true},
        {"a literal block against a folded one", "a: |\n  x\n  y\n", "a: >\n  x\n  y\n", false},
        {"a block scalar's chomping", "a: |\n  x\n", "a: |-\n  x\n", false},
        {"a block scalar is never plain", "a: |-\n  x\n", "a: x\n", false},
        {"a block scalar's indentation is layout", "a: |\n  x\n   y\n", "a: |\n    x\n     y\n", true},
        {"a block scalar's inner indentation is not", "a: |\n  x\n   y\n", "a: |\n  x\n  y\n", false},
        {"a multi-line plain scalar folds", "a: x\n  y\n", "a: x y\n", true},
        {"a blank line in a plain scalar is a line end", "a: x\n\n  y\n", "a: x y\n", false},
        {"a number's spelling counts", "a: 1.0\n", "a: 1.00\n", false},
        {"an empty value against an empty string", "a:\n", "a: ''\n", false},
        {"an empty value against null", "a:\n", "a: null\n", false},
        // A block scalar at a document's root, its tag or anchor on its header's line.
        {"a tagged folded block at the root", "!!str >\n  folded\n  text\n", "!!str \"folded text\\n\"\n", true},
        {"a tagged folded block's text at the root", "!!str >\n  folded\n  text\n", "!!str >\n  folded\n  test\n",
         false},
        {"a tagged literal block after ---", "--- !!str |\n  x\n", "!!str |\n  x\n", true},
        {"a root block's indentation is layout", "!!str |\n  x\n", " !!str |  # c\n    x\n", true},
        {"a root block's inner indentation is not", "!!str |\n  x\n   y\n", "!!str |\n  x\n  y\n", false},
        {"a root block's leading blank line", "!!str |\n\n  x\n", "!!str |\n  x\n", false},
        {"an anchored root block", "&a >-\n  x\n  y\n", "&a \"x y\"\n", true},
        {"a root block's tag counts", "!!str |\n  x\n", "|\n  x\n", false},
        {"a root block of a later document", "a\n---\n!!str |\n  x\n", "a\n--- !!str \"x\\n\"\n", true},
        // An empty block scalar: the empty string, "\n" for each blank line kept.
        {"an empty block before a blank line and at the end", "foo: |\n\n", "foo: |\n", true},
        {"an empty block at the end, with and without a line end", "foo: |\n", "foo: |", true},
        {"an empty block is the empty string", "foo: |\n", "foo: ''\n", true},
        {"an empty block is no NUL", "foo: |\n", "foo: \"\\0\"\n", false},
        {"an empty block is no null", "foo: |\n", "foo:\n", false},
        {"an empty folded block", "foo: >\n", "foo: |-\n\n", true},
        {"an empty block in a sequence", "- |\n", "- ''\n", true},
        {"clip chomping drops blank lines", "foo: |\n\n\n", "foo: |\n", true},
        {"keep chomping keeps a blank line", "foo: |+\n\n", "foo: |+\n", false},
        {"keep chomping's blank line is a line feed", "foo: |+\n\n", "foo: \"\\n\"\n", true},
        {"keep chomping with nothing after is empty", "foo: |+\n", "foo: ''\n", true},
    }));
}

TEST(YamlNearMiss, Structure)
{
    BUILT_PAIRS(Yaml, "YAML (no libfyaml)", (std::vector<PairCase>{
        {"flow and block mappings", "a: 1\nb: 2\n", "{a: 1, b: 2}\n", true},
        {"flow and block sequences", "- 1\n- 2\n", "[1, 2]\n", true},
        {"nested flow and block", "a:\n  - x\n  - {b: 1}\n", "a: [x, {b: 1}]\n", true},
        {"indentation is layout", "a:\n  b: 1\n  c: 2\n", "a:\n    b: 1\n    c: 2\n", true},
        {"a key indented under another parent", "a:\n  b: 1\nc: 2\n", "a:\n  b: 1\n  c: 2\n", false},
        {"a key moved out of its parent", "a:\n  b: 1\n  c: 2\n", "a:\n  b: 1\nc: 2\n", false},
        {"an item indented under a key", "a:\n- 1\nb: 2\n", "a:\n  - 1\nb: 2\n", true},
        {"key order counts", "a: 1\nb: 2\n", "b: 2\na: 1\n", false},
        {"a sequence of one against its item", "a: [1]\n", "a: 1\n", false},
        {"an empty mapping against an empty sequence", "a: {}\n", "a: []\n", false},
        {"an explicit key", "? a\n: 1\n", "a: 1\n", true},
        {"a sequence of mappings", "- a: 1\n  b: 2\n", "- a: 1\n- b: 2\n", false},
    }));
}

TEST(YamlNearMiss, Documents)
{
    BUILT_PAIRS(Yaml, "YAML (no libfyaml)", (std::vector<PairCase>{
        {"an explicit first document start is layout", "---\na: 1\n", "a: 1\n", true},
        {"a document end marker is layout", "a: 1\n...\n", "a: 1\n", true},
        {"two documents against one", "a: 1\n---\nb: 2\n", "a: 1\nb: 2\n", false},
        {"an empty stream against an empty document", "", "---\n", false},
        {"a stream of comments is empty", "# only\n", "", true},
        {"comments are layout", "a: 1 # one\n# more\nb: 2\n", "a: 1\nb: 2\n", true},
        {"a hash inside a scalar is no comment", "a: x#y\n", "a: x\n", false},
        {"a hash in quotes is no comment", "a: '# x'\n", "a: ''\n", false},
        {"a version directive counts", "%YAML 1.1\n---\na: yes\n", "---\na: yes\n", false},
        {"a tag directive only resolves tags", "%TAG !e! tag:example.com,2000:\n--- !e!x a\n",
         "--- !<tag:example.com,2000:x> a\n", true},
    }));
}

TEST(YamlNearMiss, AnchorsAndTags)
{
    BUILT_PAIRS(Yaml, "YAML (no libfyaml)", (std::vector<PairCase>{
        {"an anchor counts", "a: &x 1\nb: 1\n", "a: 1\nb: 1\n", false},
        {"an alias against its value", "a: &x 1\nb: *x\n", "a: &x 1\nb: 1\n", false},
        {"an anchor's name counts", "a: &x 1\nb: *x\n", "a: &y 1\nb: *y\n", false},
        {"a tag counts", "a: !!str 1\n", "a: 1\n", false},
        {"a tag's shorthand is its full form", "a: !!str 1\n", "a: !<tag:yaml.org,2002:str> 1\n", true},
        {"a local tag", "a: !x 1\n", "a: !y 1\n", false},
        {"the non-specific tag makes a plain scalar a string", "a: ! 1\n", "a: '1'\n", true},
        {"the non-specific tag on a plain scalar", "a: ! 1\n", "a: 1\n", false},
        {"an anchor and a tag on a mapping", "a: &m !!map\n  b: 1\n", "a: &m !!map {b: 1}\n", true},
    }));
}

TEST(YamlNearMiss, Comments)
{
    LexOptions comments;
    comments.comments = true;
    BUILT_PAIRS(Yaml, "YAML (no libfyaml)", (std::vector<PairCase>{
        {"comments are layout", "a: 1 # one\n", "a: 1 # two\n", true},
        {"a comment's words with --comments", "a: 1 # one\n", "a: 1 # two\n", false, 0, 0, 0, 0, Yaml, comments},
        {"a comment's blanks with --comments", "# one  two\na: 1\n", "#one\ttwo\na: 1\n", true, 0, 0, 0, 0, Yaml,
         comments},
        {"a comment moved across a line end", "a: # one\n  b\n", "a:\n  # one\n  b\n", true, 0, 0, 0, 0, Yaml,
         comments},
        {"a comment moved past a value", "a: 1 # one\nb: 2\n", "a: 1\nb: 2 # one\n", false, 0, 0, 0, 0, Yaml,
         comments},
        {"a comment moved out of a nested mapping", "a:\n  b: 1\n  # one\nc: 2\n", "a:\n  b: 1\n# one\nc: 2\n",
         true, 0, 0, 0, 0, Yaml, comments},
        {"a '#' in a quoted scalar", "a: \"x # one\"\n", "a: \"x # two\"\n", false, 0, 0, 0, 0, Yaml, comments},
        {"a '#' in a quoted scalar is no comment", "a: 'x # one'\n", "a: \"x # one\"\n", true, 0, 0, 0, 0, Yaml,
         comments},
        {"a '#' line inside a literal block is its text", "a: |\n  # one\n  x\n", "a: \"# one\\nx\\n\"\n", true,
         0, 0, 0, 0, Yaml, comments},
        {"a block scalar's header comment", "a: | # one\n  x\n", "a: | # two\n  x\n", false, 0, 0, 0, 0, Yaml,
         comments},
        {"a comment after a block scalar", "a: |\n  x\n# one\n", "a: |\n  x\n# two\n", false, 0, 0, 0, 0, Yaml,
         comments},
        {"a '#' in an anchor is no comment", "a: &x#one 1\n", "a: &x#one 1 # one\n", false, 0, 0, 0, 0, Yaml,
         comments},
        {"comments only against an empty file", "# one\n", "", false, 0, 0, 0, 0, Yaml, comments},
        {"a comment after the last value", "a: 1\n# one\n", "a: 1\n# two\n", false, 0, 0, 0, 0, Yaml, comments},
        {"a first #! line is a token", "#!/usr/bin/env run\na: 1\n", "a: 1\n", false},
        {"another #! line", "#!/usr/bin/env run\na: 1\n", "#!/usr/bin/env walk\na: 1\n", false},
        {"a #! line's blanks after #!", "#!/usr/bin/env run\r\na: 1\n", "#!  /usr/bin/env run \na: 1\n", true},
        {"a #! line is no comment's words", "#!/usr/bin/env run\na: 1\n", "#!/usr/bin/env run\na: 1\n", true, 0, 0, 0,
         0, Yaml, comments},
        {"a #! line past the first", "# one\n#!/usr/bin/env run\na: 1\n", "# one\n#!/usr/bin/env walk\na: 1\n", true},
    }));
}

TEST(YamlLexer, NamesAndBuild)
{
    EXPECT_EQ(languageNamed("yml"), Yaml);
    EXPECT_EQ(languageOfName("ci/.clang-format"), Yaml);
    EXPECT_EQ(languageOfName(".clang-tidy"), Yaml);
    EXPECT_EQ(languageOfName("a/B.YML"), Yaml);
    EXPECT_EQ(languageOfName("x.clang-format"), Language::Unknown);
    // Every module but those that need a library is in every build.
    for (std::size_t r = 0; r < kLanguageRowCount; ++r)
        EXPECT_TRUE(languageBuilt(kLanguageRows[r].language) || kLanguageRows[r].language == Yaml ||
                    kLanguageRows[r].language == Language::Markdown || kLanguageRows[r].language == Language::Xml ||
                    kLanguageRows[r].language == Language::Html)
            << kLanguageRows[r].name;
    EXPECT_TRUE(languageBuilt(Language::Unknown));
}

TEST(YamlLexer, TokensAndPlaces)
{
    SKIP_UNLESS_BUILT(Yaml, "YAML (no libfyaml)");
    const std::vector<Tok> t = lexText("a: 'x'\nb: [1, *y]\n", Yaml);
    const char *const keys[] = {"---", "{", "a", "\"x\"", "b", "[", "1", "*y", "]", "}", ""};
    ASSERT_EQ(t.size(), sizeof keys / sizeof keys[0]);
    for (std::size_t i = 0; i < t.size(); ++i)
        EXPECT_EQ(t[i].key, keys[i]) << i;
    EXPECT_EQ(t[4].line, 2);
    EXPECT_EQ(t[4].column, 1);
    EXPECT_EQ(t[6].column, 5);
    EXPECT_EQ(t.back().kind, TokenKind::End);
}

TEST(YamlLexer, InvalidSourceIsRefused)
{
    SKIP_UNLESS_BUILT(Yaml, "YAML (no libfyaml)");
    ScratchDir dir;
    const std::string path = dir.file("bad.yaml");
    // The last two are not UTF-8 (the parser alone loops on the first of them).
    const char *const bad[] = {"a: 1\n b: 2\n", "a: \"x\n", "a: [1, 2\n", "a: b: c\n", "- a\nb: 1\n",
                               "%YA t 1\xff\xff\xff.2\n--\n", "a: \xc3\x28\n"};
    for (const char *text : bad) {
        writeFile(path, text);
        const std::vector<Tok> t = lexFile(path, Yaml);
        ASSERT_EQ(t.size(), 2u) << text;
        EXPECT_EQ(t[0].key.rfind("<not valid YAML at line ", 0), 0u) << text << ": " << t[0].key;
    }
    const std::vector<Tok> good = lexText("a: 1\n", Yaml);
    EXPECT_EQ(good.size(), 6u);
}

} // namespace

// Real YAML files of this machine through prettier (its default and
// --single-quote), each pair judged by the npm yaml package's composed
// documents (tests/npm/yaml_judge.js): a pair the judge calls different must
// never be equivalent; one it calls the same may be flagged in at most 2% of
// the pairs. Near misses made of the same files (a key indented under
// another parent, a blank in a quoted string, a value quoted or unquoted)
// must all be flagged.
namespace {

class YamlFormatterTools : public ::testing::Test {
protected:
    static std::vector<std::string> lines(const std::string &command)
    {
        return commandLines(command);
    }

    static std::string npm() { return std::string(MATCHLING_NPM_TOOLS) + "/../.."; }

    // Judges the pairs of directories a and b under root; a pair the yaml
    // package does not read is left out.
    static TreeTally judge(const std::string &root, const std::string &a, const std::string &b)
    {
        return judgeTrees("node '" + npm() + "/yaml_judge.js' judge", root, a, b);
    }
};

TEST_F(YamlFormatterTools, JudgedByComposedDocuments)
{
    SKIP_UNLESS_BUILT(Yaml, "YAML (no libfyaml)");
    if (!haveTool("node") || npmTool("prettier").empty() || !exists(npm() + "/node_modules/yaml"))
        GTEST_SKIP() << "node and tests/npm's packages are needed (npm ci in tests/npm)";
    // A deterministic sample of the files that parse: the first of each
    // directory in path order, then every k-th of those, 150 at most.
    const std::vector<std::string> found =
        lines("find / \\( -path /proc -o -path /sys -o -path /tmp -o -path /work -o -path '" MATCHLING_SOURCE_DIR "' -o -path /dev \\) -prune -o "
              "\\( -name '*.yml' -o -name '*.yaml' \\) -type f -size -64k -size +0 -print 2>/dev/null | LC_ALL=C sort | "
              "awk '{d = $0; sub(/\\/[^\\/]*$/, \"\", d); if (!(d in seen)) { seen[d] = 1; print } }' | xargs -d '\\n' node '" + npm() + "/yaml_judge.js' parses");
    if (found.size() < 30)
        GTEST_SKIP() << "too few YAML files found on this machine";
    const std::size_t step = found.size() / 150 > 0 ? found.size() / 150 : 1;
    ScratchDir dir;
    ASSERT_EQ(std::system(("mkdir '" + dir.file("orig") + "'").c_str()), 0);
    int count = 0;
    for (std::size_t i = 0; i < found.size() && count < 150; i += step) {
        const std::string &f = found[i];
        const std::string base = f.substr(f.rfind('/') + 1);
        writeFile(dir.file("orig/" + std::to_string(count++) + "_" + base), readFile(f));
    }
    const std::string prettier = npmTool("prettier");
    for (const char *setting : {"prettier", "single"}) {
        const std::string out = dir.file(setting);
        const std::string options = std::string(setting) == "single" ? " --single-quote" : "";
        ASSERT_EQ(std::system(("cp -r '" + dir.file("orig") + "' '" + out + "' && '" + prettier +
                               "' --no-config --no-editorconfig --log-level silent --write" + options + " '" + out +
                               "' >/dev/null 2>&1; true")
                                  .c_str()),
                  0);
    }
    TreeTally total;
    for (const char *setting : {"prettier", "single"}) {
        const TreeTally t = judge(dir.path(), "orig", setting);
        total.same += t.same;
        total.falseAlarms += t.falseAlarms;
        total.misses += t.misses;
    }
    EXPECT_EQ(total.misses, 0);
    EXPECT_LE(total.falseAlarms * 50, total.same);
    EXPECT_GT(total.same, 100);

    // Near misses of the same files: every one the judge calls different is flagged.
    ASSERT_EQ(std::system(("node '" + npm() + "/yaml_judge.js' mutate '" + dir.file("orig") + "' '" +
                           dir.file("mutants") + "'")
                              .c_str()),
              0);
    for (const char *kind : {"indent", "blank", "quote"}) {
        const TreeTally t = judge(dir.file("mutants"), std::string(kind) + "-orig", kind);
        EXPECT_EQ(t.misses, 0) << kind;
        EXPECT_GT(t.differ, 5) << kind;
    }
}

// The words of the comments of this machine's YAML files, with --comments,
// are those the npm yaml package's lexer finds, in order.
TEST_F(YamlFormatterTools, CommentWordsAsTheYamlPackageFindsThem)
{
    SKIP_UNLESS_BUILT(Yaml, "YAML (no libfyaml)");
    if (!haveTool("node") || !exists(npm() + "/node_modules/yaml"))
        GTEST_SKIP() << "node and tests/npm's packages are needed (npm ci in tests/npm)";
    const std::vector<std::string> found =
        lines("find / \\( -path /proc -o -path /sys -o -path /tmp -o -path /work -o -path '" MATCHLING_SOURCE_DIR "' -o -path /dev \\) -prune -o "
              "\\( -name '*.yml' -o -name '*.yaml' \\) -type f -size -64k -size +0 -print 2>/dev/null | LC_ALL=C sort | "
              "xargs -d '\\n' node '" + npm() + "/yaml_judge.js' parses | head -300 | xargs -d '\\n' node '" + npm() +
              "/yaml_judge.js' comments");
    if (found.size() < 30)
        GTEST_SKIP() << "too few YAML files found on this machine";
    LexOptions comments;
    comments.comments = true;
    std::size_t words = 0;
    for (const std::string &line : found) {
        std::istringstream fields(line);
        std::string path, word, ours, theirs;
        fields >> path;
        while (fields >> word)
            theirs += word + " ";
        for (const Tok &t : lexFile(path, Yaml, comments))
            if (t.kind == TokenKind::CommentWord) {
                ours += t.key + " ";
                ++words;
            }
        EXPECT_EQ(ours, theirs) << path;
    }
    std::printf("%zu files, %zu comment words\n", found.size(), words);
}

} // namespace
