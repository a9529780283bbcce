// Runs over whole trees and git commits, end to end: every kind of entry
// reported in path order with each pair's lines together, the same bytes
// whatever the number of workers, and nothing left in the current directory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "languages/languages.h"
#include "support.h"

namespace {

const std::string kSummaryEquivalent = "\nMatchling==>  Files compare equivalent \n" + kPrompt;

std::string summary(int equivalent, int different, int failed, int only)
{
    const int pairs = equivalent + different + failed;
    return "Matchling==> " + std::to_string(pairs) + (pairs == 1 ? " pair" : " pairs") + " compared: " +
           std::to_string(equivalent) + " equivalent, " + std::to_string(different) + " not equivalent, " +
           std::to_string(failed) + " failed, " + std::to_string(only) + " only on one side \n";
}

// Two trees "a" and "b" under dir: files as {path in a or "", path in b or "", bytes}.
void makeTrees(const ScratchDir &dir, const std::vector<std::vector<std::string>> &files)
{
    for (const char *top : {"a", "b", "a/sub", "b/sub"})
        makeDir(dir.file(top));
    for (const auto &f : files)
        for (int side = 0; side < 2; ++side)
            if (!f[side].empty())
                writeFile(dir.file(f[side]), f[2]);
}

TEST(Sweep, EveryKindOfEntryInOrder)
{
    ScratchDir dir;
    makeTrees(dir, {
                       {"a/same.c", "b/same.c", "int x;\n"},
                       {"a/relaid.c", "", "int f() { return 1; }\n"},
                       {"", "b/relaid.c", "int f()\r\n{\r\n    return 1;\r\n}\r\n"},
                       {"a/sub/differs.c", "", "x = 1;\n"},
                       {"", "b/sub/differs.c", "x = 2;\n"},
                       {"a/old.c", "", "gone\n"},
                       {"", "b/new.c", "new\n"},
                       {"a/empty.c", "", ""},
                       {"", "b/empty.c", "x\n"},
                   });
    const std::string expected =
        "Matchling==> Unable to compare: empty.c (empty) \n"
        "Matchling==> Only in b: new.c \n"
        "Matchling==> Only in a: old.c \n"
        "Matchling==> Not equivalent: sub/differs.c \n" +
        mismatch("a/sub/differs.c", "b/sub/differs.c", 2, '1', "1;", '2', "2;") +
        summary(2, 1, 1, 2) + kNotEquivalent;
    for (const char *jobs : {"1", "4"}) {
        SCOPED_TRACE(jobs);
        RunResult r = runMatchling({"a", "b", "--jobs", jobs, "--exit-status"}, dir.path());
        EXPECT_EQ(r.out, expected);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a", "b"})) << "nothing written beside the trees";
    }
}

TEST(Sweep, LinksAndSpecialFilesAreNeverOpened)
{
    SKIP_WITHOUT(Facility::SymbolicLinks);
    ScratchDir dir;
    makeTrees(dir, {{"a/x.c", "b/x.c", "x;\n"}});
    ASSERT_TRUE(makeSymlink("x.c", dir.file("a/link.c")));
    ASSERT_TRUE(makeSymlink("x.c", dir.file("b/link.c")));
    ASSERT_TRUE(makeSymlink("/etc/passwd", dir.file("a/away.c")));
    ASSERT_TRUE(makeSymlink("x.c", dir.file("b/away.c")));
    ASSERT_TRUE(makeFifo(dir.file("a/pipe.c")));
    ASSERT_TRUE(makeFifo(dir.file("b/pipe.c")));
    RunResult r = runMatchling({"a", "b"}, dir.path());
    EXPECT_EQ(r.out, "Matchling==> Unable to compare: away.c (symbolic link) \n"
                     "Matchling==> Unable to compare: pipe.c (not a regular file) \n" +
                         summary(2, 0, 2, 0) + kNotEquivalent);
    EXPECT_EQ(r.status, 0);
}

TEST(Sweep, TokensAndOptionsApplyToEveryPair)
{
    ScratchDir dir;
    makeTrees(dir, {{"a/s.c", "", "x = \"a b\";\n"}, {"", "b/s.c", "x = \"ab\";\n"}, {"a/t.bas", "b/t.bas", "a\n"}});
    RunResult lines = runMatchling({"a", "b"}, dir.path());
    EXPECT_EQ(lines.out, summary(2, 0, 0, 0) + kSummaryEquivalent) << "the line rules remove the blank";
    RunResult tokens = runMatchling({"a", "b", "--tokens"}, dir.path());
    EXPECT_EQ(tokens.out, "Matchling==> Not equivalent: s.c \n"
                          "Matchling==> Token mismatch at line 1, column 5 of a/s.c \n"
                          "Matchling==> Token from a/s.c '\"a b\"' \n"
                          "x = \"a b\"; \n    ^ \n"
                          "Matchling==> Token mismatch at line 1, column 5 of b/s.c \n"
                          "Matchling==> Token from b/s.c '\"ab\"' \n"
                          "x = \"ab\"; \n    ^ \n"
                          "Matchling==> Pairs by language: c 1, basic 1 \n" + summary(1, 1, 0, 0) + kNotEquivalent);
}

// Token mode judges only what the language table knows: a changed file of
// another kind is never called equivalent, an unchanged one is.
TEST(Sweep, KindsWithoutTokenRules)
{
    ScratchDir dir;
    makeTrees(dir, {{"a/list.conf", "", "a:\n  b: 1\n"},
                    {"", "b/list.conf", "a:\nb: 1\n"},
                    {"a/same.conf", "b/same.conf", "- x\n"},
                    {"a/tool", "", "#!/usr/bin/env -S node --x\nf()\n"},
                    {"", "b/tool", "#!/usr/bin/env -S node --x\n  f()\n"},
                    {"a/x.c", "b/x.c", "int x;\n"}});
    RunResult r = runMatchling({"a", "b", "--tokens", "--exit-status"}, dir.path());
    EXPECT_EQ(r.out, "Matchling==> Not compared: list.conf (no token rules for this kind of file) \n"
                     "Matchling==> Pairs by language: c 1, javascript 1, other 2 \n" +
                         summary(3, 0, 1, 0) + kNotEquivalent);
    EXPECT_EQ(r.status, 1);
    RunResult named = runMatchling({"a", "b", "--tokens", "--language", "c"}, dir.path());
    EXPECT_EQ(named.out, "Matchling==> Pairs by language: c 4 \n" + summary(4, 0, 0, 0) + kSummaryEquivalent);
}

// --sorted-imports counts each pair's reordered runs, in the pair's line and
// the totals, and names once the languages it does nothing for.
TEST(Sweep, SortedImportsCountPerPair)
{
    ScratchDir dir;
    makeTrees(dir, {{"a/w.c", "", "#include <windows.h>\n#include <winsock2.h>\nint x;\n"},
                    {"", "b/w.c", "#include <winsock2.h>\n#include <windows.h>\nint x;\n"},
                    {"a/C.java", "", "import b.B;\nimport a.A;\nclass C {}\n"},
                    {"", "b/C.java", "import a.A;\nimport b.B;\nclass C {}\n"},
                    {"a/sub/l.rs", "", "use a::{c, b};\n"},
                    {"", "b/sub/l.rs", "use a::{c, b};\n\n"},
                    {"a/p.py", "", "import os\n"},
                    {"", "b/p.py", "import os\n\n"},
                    {"a/s.ts", "", "import x from \"y\";\n"},
                    {"", "b/s.ts", "import x from \"y\"\n"},
                    {"a/s.tsx", "b/s.tsx", "f();\n"}});
    const std::string tail = "Matchling==> Pairs by language: c 1, python 1, rust 1, java 1, typescript 2 \n"
                             "Matchling==> --sorted-imports has no effect on python, typescript files \n"
                             "Matchling==> Allowed rewrites: imports 2 \n" +
                             summary(6, 0, 0, 0) + kSummaryEquivalent;
    const struct {
        const char *name;
        std::vector<std::string> options;
        std::string out;
    } cases[] = {
        {"counts", {"--sorted-imports"},
         "Matchling==> Allowed rewrites in C.java: imports 1 \n"
         "Matchling==> Allowed rewrites in w.c: imports 1 \n" + tail},
        {"places", {"--sorted-imports", "--where"},
         "Matchling==> Allowed rewrites in C.java: imports 1 \n"
         "Matchling==> Allowed imports at line 1, column 1 of b/C.java \n"
         "Matchling==> Allowed rewrites in w.c: imports 1 \n"
         "Matchling==> Allowed imports at line 1, column 1 of b/w.c \n" + tail},
        {"json", {"--sorted-imports", "--format", "json"},
         "{\"type\":\"pair\",\"path\":\"C.java\",\"status\":\"equivalent\",\"language\":\"java\","
         "\"allowed\":{\"imports\":1},\"first\":{\"name\":\"a/C.java\"},\"second\":{\"name\":\"b/C.java\"}}\n"
         "{\"type\":\"pair\",\"path\":\"p.py\",\"status\":\"equivalent\",\"language\":\"python\","
         "\"allowed\":{\"imports\":0},\"first\":{\"name\":\"a/p.py\"},\"second\":{\"name\":\"b/p.py\"}}\n"
         "{\"type\":\"pair\",\"path\":\"s.ts\",\"status\":\"equivalent\",\"language\":\"typescript\","
         "\"allowed\":{\"imports\":0},\"first\":{\"name\":\"a/s.ts\"},\"second\":{\"name\":\"b/s.ts\"}}\n"
         "{\"type\":\"pair\",\"path\":\"s.tsx\",\"status\":\"equivalent\",\"language\":\"typescript\","
         "\"allowed\":{\"imports\":0},\"first\":{\"name\":\"a/s.tsx\"},\"second\":{\"name\":\"b/s.tsx\"}}\n"
         "{\"type\":\"pair\",\"path\":\"sub/l.rs\",\"status\":\"equivalent\",\"language\":\"rust\","
         "\"allowed\":{\"imports\":0},\"first\":{\"name\":\"a/sub/l.rs\"},\"second\":{\"name\":\"b/sub/l.rs\"}}\n"
         "{\"type\":\"pair\",\"path\":\"w.c\",\"status\":\"equivalent\",\"language\":\"c\","
         "\"allowed\":{\"imports\":1},\"first\":{\"name\":\"a/w.c\"},\"second\":{\"name\":\"b/w.c\"}}\n"
         "{\"type\":\"summary\",\"pairs\":6,\"equivalent\":6,\"not_equivalent\":0,\"failed\":0,\"not_compared\":0,"
         "\"only_on_one_side\":0,\"verdict\":\"equivalent\",\"languages\":{\"c\":1,\"python\":1,\"rust\":1,"
         "\"java\":1,\"typescript\":2},\"allowed\":{\"imports\":2}}\n"},
        {"without the option, which the reason names", {"--exit-status"},
         "Matchling==> Not equivalent: C.java (imports reordered (--sorted-imports accepts this)) \n"
         "Matchling==> Token mismatch at line 1, column 8 of a/C.java \n"
         "Matchling==> Token from a/C.java 'b' \nimport b.B; \n       ^ \n"
         "Matchling==> Token mismatch at line 1, column 8 of b/C.java \n"
         "Matchling==> Token from b/C.java 'a' \nimport a.A; \n       ^ \n"
         "Matchling==> Not equivalent: w.c (imports reordered (--sorted-imports accepts this)) \n"
         "Matchling==> Token mismatch at line 1, column 10 of a/w.c \n"
         "Matchling==> Token from a/w.c '<windows.h>' \n#include <windows.h> \n         ^ \n"
         "Matchling==> Token mismatch at line 1, column 10 of b/w.c \n"
         "Matchling==> Token from b/w.c '<winsock2.h>' \n#include <winsock2.h> \n         ^ \n"
         "Matchling==> Pairs by language: c 1, python 1, rust 1, java 1, typescript 2 \n" +
             summary(4, 2, 0, 0) + kNotEquivalent},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"a", "b", "--tokens"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        RunResult r = runMatchling(args, dir.path());
        EXPECT_EQ(r.out, c.out);
    }
}

// Each pair's tokens as their sources spell them, and a long one around
// where it differs; the formatter's side is read again from its output.
TEST(Sweep, TokensAsTheirSourcesSpellThem)
{
    const std::string words = "lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod";
    ScratchDir dir;
    makeTrees(dir, {{"a/d.py", "", "def f():\n    \"\"\"" + words + "\n    one\"\"\"\n"},
                    {"", "b/d.py", "def f():\n  \"\"\"" + words + "\n  two\"\"\"\n"},
                    {"a/n.py", "", "x = 0XFF\n"},
                    {"", "b/n.py", "x = 0xfe\n"}});
    RunResult r = runMatchling({"a", "b", "--tokens", "--allow", "all"}, dir.path());
    EXPECT_EQ(r.out, "Matchling==> Not equivalent: d.py \n"
                     "Matchling==> Token mismatch at line 2, column 5 of a/d.py \n"
                     "Matchling==> Token from a/d.py '    one\"\"\"' \n"
                     "Matchling==> Difference at line 3, column 5 of a/d.py \n"
                     "    one\"\"\" \n    ^ \n"
                     "Matchling==> Token mismatch at line 2, column 3 of b/d.py \n"
                     "Matchling==> Token from b/d.py '  two\"\"\"' \n"
                     "Matchling==> Difference at line 3, column 3 of b/d.py \n"
                     "  two\"\"\" \n  ^ \n"
                     "Matchling==> Not equivalent: n.py \n"
                     "Matchling==> Token mismatch at line 1, column 5 of a/n.py \n"
                     "Matchling==> Token from a/n.py '0XFF' \nx = 0XFF \n    ^ \n"
                     "Matchling==> Token mismatch at line 1, column 5 of b/n.py \n"
                     "Matchling==> Token from b/n.py '0xfe' \nx = 0xfe \n    ^ \n"
                     "Matchling==> Pairs by language: python 2 \n"
                     "Matchling==> Allowed rewrites: none \n" + summary(0, 2, 0, 0) + kNotEquivalent);
    r = runMatchling({"a", "b", "--tokens", "--allow", "all", "--format", "github"}, dir.path());
    EXPECT_EQ(r.out, "::error file=b/d.py,line=3,col=3::Not equivalent: '  two\"\"\"' here, '    one\"\"\"' at line 3, "
                     "column 5 of a/d.py\n"
                     "::error file=b/n.py,line=1,col=5::Not equivalent: '0xfe' here, '0XFF' at line 1, column 5 of "
                     "a/n.py\n");
}

// In token mode an empty file is a source without tokens; the line rules
// cannot compare it.
TEST(Sweep, EmptySources)
{
    ScratchDir dir;
    makeTrees(dir, {{"a/__init__.py", "", ""},
                    {"", "b/__init__.py", "\n"},
                    {"a/sub/c.py", "", "# nothing yet\n"},
                    {"", "b/sub/c.py", ""},
                    {"a/x.c", "", ""},
                    {"", "b/x.c", "int x;\n"}});
    const struct {
        const char *name;
        std::vector<std::string> options;
        std::string out;
    } cases[] = {
        {"tokens", {"--tokens"},
         "Matchling==> Not equivalent: x.c \n"
         "Matchling==> Text ends at line 1, column 1 of a/x.c \n"
         "Matchling==> Extra text begins at line 1, column 1 of b/x.c \n"
         "int x; \n^ \n"
         "Matchling==> Pairs by language: c 1, python 2 \n" + summary(2, 1, 0, 0) + kNotEquivalent},
        {"line rules", {},
         "Matchling==> Unable to compare: __init__.py (empty) \n"
         "Matchling==> Unable to compare: sub/c.py (empty) \n"
         "Matchling==> Unable to compare: x.c (empty) \n" + summary(0, 0, 3, 0) + kNotEquivalent},
        {"tokens, json", {"--tokens", "--format", "json"},
         "{\"type\":\"pair\",\"path\":\"__init__.py\",\"status\":\"equivalent\",\"language\":\"python\","
         "\"first\":{\"name\":\"a/__init__.py\"},\"second\":{\"name\":\"b/__init__.py\"}}\n"
         "{\"type\":\"pair\",\"path\":\"sub/c.py\",\"status\":\"equivalent\",\"language\":\"python\","
         "\"first\":{\"name\":\"a/sub/c.py\"},\"second\":{\"name\":\"b/sub/c.py\"}}\n"
         "{\"type\":\"pair\",\"path\":\"x.c\",\"status\":\"not-equivalent\",\"language\":\"c\","
         "\"first\":{\"name\":\"a/x.c\",\"line\":1,\"column\":1,\"token\":null,\"ends\":true},"
         "\"second\":{\"name\":\"b/x.c\",\"line\":1,\"column\":1,\"token\":\"int\",\"ends\":false}}\n"
         "{\"type\":\"summary\",\"pairs\":3,\"equivalent\":2,\"not_equivalent\":1,\"failed\":0,"
         "\"not_compared\":0,\"only_on_one_side\":0,\"verdict\":\"not-equivalent\",\"languages\":{\"c\":1,"
         "\"python\":2}}\n"},
        {"tokens, gnu", {"--tokens", "--format", "gnu"},
         "b/x.c:1:1: error: Not equivalent: extra text begins here with 'int'; a/x.c ends at line 1, column 1\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"a", "b", "--exit-status"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        RunResult r = runMatchling(args, dir.path());
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, 1);
    }
}

TEST(Sweep, TreesThatCannotBeRead)
{
    ScratchDir dir;
    makeDir(dir.file("a"));
    RunResult r = runMatchling({"a", "a", "--exit-status"}, dir.path());
    EXPECT_EQ(r.out, summary(0, 0, 0, 0) + kSummaryEquivalent) << "an empty tree against itself";
    EXPECT_EQ(r.status, 0);
}

// --exclude leaves files out of tree runs and counts them; without it, or
// when it matches nothing, the report is as before.
TEST(Sweep, ExcludedFilesAreCounted)
{
    ScratchDir dir;
    makeDir(dir.file("a"));
    makeDir(dir.file("b"));
    makeDir(dir.file("a/vendor"));
    makeDir(dir.file("b/vendor"));
    makeTrees(dir, {{"a/x.c", "b/x.c", "int x;\n"},
                    {"a/sub/y.c", "b/sub/y.c", "int y;\n"},
                    {"a/package-lock.json", "", "{}\n"},
                    {"a/vendor/v.c", "", "v = 1;\n"},
                    {"", "b/vendor/v.c", "v = 2;\n"},
                    {"a/vendor/w.c", "b/vendor/w.c", "w;\n"}});
    const std::string vendorDiffers = "Matchling==> Not equivalent: vendor/v.c \n" +
                                      mismatch("a/vendor/v.c", "b/vendor/v.c", 2, '1', "1;", '2', "2;");
    struct Case {
        const char *name;
        std::vector<std::string> excludes;
        std::string out;
    } cases[] = {
        {"none", {}, "Matchling==> Only in a: package-lock.json \n" + vendorDiffers + summary(3, 1, 0, 1) + kNotEquivalent},
        {"a directory and a name at any level", {"--exclude", "vendor/", "--exclude", "*.json"},
         "Matchling==> 3 files excluded \n" + summary(2, 0, 0, 0) + kSummaryEquivalent},
        {"anchored at the top", {"--exclude", "/vendor/v.c", "--exclude", "sub/y.c"},
         "Matchling==> Only in a: package-lock.json \nMatchling==> 2 files excluded \n" + summary(2, 0, 0, 1) +
             kNotEquivalent},
        {"one file", {"--exclude", "/package-lock.json", "--exclude", "vendor/v.?"},
         "Matchling==> 2 files excluded \n" + summary(3, 0, 0, 0) + kSummaryEquivalent},
        {"matching nothing, named", {"--exclude", "*.py", "--exclude", "*.json", "--exclude", "/x"},
         "Matchling==> " + vendorDiffers.substr(13) + "Matchling==> 1 file excluded \n"
         "Matchling==> --exclude left out nothing: *.py, /x \n" + summary(3, 1, 0, 0) + kNotEquivalent},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"a", "b"};
        args.insert(args.end(), c.excludes.begin(), c.excludes.end());
        RunResult r = runMatchling(args, dir.path());
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, 0);
    }
    RunResult json = runMatchling({"--format", "json", "a", "b", "--exclude", "vendor"}, dir.path());
    EXPECT_NE(json.out.find("\"only_on_one_side\":1,\"excluded\":2,\"verdict\":\"not-equivalent\""), std::string::npos)
        << json.out;
    RunResult plain = runMatchling({"--format", "json", "a", "b"}, dir.path());
    EXPECT_EQ(plain.out.find("excluded"), std::string::npos) << "no such field without --exclude";
}

#ifndef _WIN32  // formatter runs say they are not supported on Windows
// A formatter run leaves out files under its directories by their paths
// from the directory named, and a file named by its path as given.
TEST(Sweep, FormatterRunExcludes)
{
    ScratchDir dir;
    for (const char *d : {"src", "src/vendor", "src/vendor/deep"})
        makeDir(dir.file(d));
    writeFile(dir.file("src/a.c"), "int a;\n");
    writeFile(dir.file("src/x.min.js"), "f()\n");
    writeFile(dir.file("src/notes.txt"), "notes\n");
    writeFile(dir.file("src/vendor/b.c"), "int b;\n");
    writeFile(dir.file("src/vendor/deep/c.txt"), "c\n");
    struct Case {
        const char *name;
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {"none", {"--formatter", "cat", "src"},
         "Matchling==> 2 files skipped (no token rules for their kind) \n"
         "Matchling==> Pairs by language: c 2, javascript 1 \n" + summary(3, 0, 0, 0) + kSummaryEquivalent},
        {"a directory and an ending", {"--formatter", "cat", "src", "--exclude", "vendor/", "--exclude", "*.min.js"},
         "Matchling==> 1 file skipped (no token rules for its kind) \nMatchling==> 3 files excluded \n"
         "Matchling==> Pairs by language: c 1 \n" + summary(1, 0, 0, 0) + kSummaryEquivalent},
        {"from the directory named", {"--exclude", "/a.c", "--formatter", "cat", "src"},
         "Matchling==> 2 files skipped (no token rules for their kind) \nMatchling==> 1 file excluded \n"
         "Matchling==> Pairs by language: c 1, javascript 1 \n" + summary(2, 0, 0, 0) + kSummaryEquivalent},
        {"a file named", {"--formatter", "cat", "src/a.c", "./src/x.min.js", "--exclude", "src/*.js"},
         "Matchling==> 1 file excluded \nMatchling==> Pairs by language: c 1 \n" + summary(1, 0, 0, 0) +
             kSummaryEquivalent},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RunResult r = runMatchling(c.args, dir.path());
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, 0);
    }
}
#endif

// git, driven through the shell in a repository made in the test.
class GitSweepTools : public testing::Test {
protected:
    void SetUp() override
    {
        if (kDirSeparator != '/' || std::system("git --version >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "no git program on the PATH";
    }
    int git(const std::string &args)
    {
        const std::string command = "cd '" + dir.path() + "' && git -c user.name=T -c user.email=t@example.com " +
                                    args + " >/dev/null 2>&1";
        return std::system(command.c_str());
    }
    ScratchDir dir;
};

TEST_F(GitSweepTools, CommitAndWorkingTree)
{
    ASSERT_EQ(git("init -q"), 0);
    writeFile(dir.file("main.c"), "int main() {\n  return 0;\n}\n");
    std::string tail;
    for (int i = 0; i < 20; ++i)
        tail += "int g" + std::to_string(i) + " = " + std::to_string(i) + ";\n";
    writeFile(dir.file("long.c"), "int f(int a, int b) { return a + b; }\n" + tail);
    writeFile(dir.file("gone.c"), "old\n");
    ASSERT_EQ(git("add . && git -c user.name=T -c user.email=t@example.com commit -q -m one"), 0);
    writeFile(dir.file("main.c"), "int main()\n{\n    return 0;\n}\n");
    ASSERT_EQ(git("mv long.c renamed.c && git rm -q gone.c"), 0);
    writeFile(dir.file("renamed.c"), "int f(int a, int b)\n{\n  return a + b;\n}\n" + tail);
    writeFile(dir.file("added.c"), "new\n");
    ASSERT_EQ(git("add -A && git -c user.name=T -c user.email=t@example.com commit -q -m two"), 0);

    RunResult commit = runMatchling({"--git", "HEAD"}, dir.path());
    EXPECT_EQ(commit.out, "Matchling==> Only in HEAD: added.c \n"
                          "Matchling==> Only in HEAD^: gone.c \n" +
                              summary(2, 0, 0, 2) + kNotEquivalent);

    writeFile(dir.file("main.c"), "int main() { return 1; }\n");
    RunResult work = runMatchling({"--git", "--tokens"}, dir.path());
    EXPECT_EQ(work.out, "Matchling==> Not equivalent: main.c \n"
                        "Matchling==> Token mismatch at line 3, column 12 of HEAD:main.c \n"
                        "Matchling==> Token from HEAD:main.c '0' \n"
                        "    return 0; \n           ^ \n"
                        "Matchling==> Token mismatch at line 1, column 21 of main.c \n"
                        "Matchling==> Token from main.c '1' \n"
                        "int main() { return 1; } \n                    ^ \n"
                        "Matchling==> Pairs by language: c 1 \n" + summary(0, 1, 0, 0) + kNotEquivalent);
    EXPECT_EQ(work.status, 0);

    RunResult outside = runMatchling({"--git"}, "/");
    EXPECT_EQ(outside.out.rfind("Matchling==>  Not a git repository: ", 0), 0u) << outside.out;
    EXPECT_EQ(outside.status, 1);
}

// An empty file committed, then given a line end or a token.
TEST_F(GitSweepTools, EmptySources)
{
    ASSERT_EQ(git("init -q"), 0);
    makeDir(dir.file("pkg"));
    writeFile(dir.file("pkg/__init__.py"), "");
    writeFile(dir.file("e.c"), "");
    ASSERT_EQ(git("add . && git -c user.name=T -c user.email=t@example.com commit -q -m one"), 0);
    writeFile(dir.file("pkg/__init__.py"), "\n");
    writeFile(dir.file("e.c"), "int x;\n");
    const struct {
        const char *name;
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {"tokens", {"--git", "--tokens"},
         "Matchling==> Not equivalent: e.c \n"
         "Matchling==> Text ends at line 1, column 1 of HEAD:e.c \n"
         "Matchling==> Extra text begins at line 1, column 1 of e.c \nint x; \n^ \n"
         "Matchling==> Pairs by language: c 1, python 1 \n" + summary(1, 1, 0, 0) + kNotEquivalent},
        {"line rules", {"--git"},
         "Matchling==> Unable to compare: e.c (empty) \n"
         "Matchling==> Unable to compare: pkg/__init__.py (empty) \n" + summary(0, 0, 2, 0) + kNotEquivalent},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        RunResult r = runMatchling(c.args, dir.path());
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, 0);
    }
}

// A git run started in a subdirectory: the places editors and GitHub read
// are from there, the paths after "--" too; --exclude matches from the top.
TEST_F(GitSweepTools, PlacesPathsAndExcludesFromWhereTheRunStarts)
{
    ASSERT_EQ(git("init -q"), 0);
    makeDir(dir.file("sub"));
    writeFile(dir.file("sub/a.c"), "int x = 1;\n");
    writeFile(dir.file("b.c"), "int b;\n");
    writeFile(dir.file("package.json"), "{\"v\": 1}\n");
    ASSERT_EQ(git("add . && git -c user.name=T -c user.email=t@example.com commit -q -m one"), 0);
    writeFile(dir.file("sub/a.c"), "int x = 2;\n");
    writeFile(dir.file("b.c"), "int\nb;\n");
    writeFile(dir.file("package.json"), "{\"v\": 2}\n");
    ASSERT_EQ(git("add -A && git -c user.name=T -c user.email=t@example.com commit -q -m two"), 0);
    const std::string sub = dir.file("sub");
    const std::string json = "Not equivalent: '2' here, '1' at line 1, column 7 of HEAD^:package.json";
    const std::string c = "Not equivalent: '2' here, '1' at line 1, column 9 of HEAD^:sub/a.c";
    struct Case {
        const char *name;
        std::vector<std::string> args;
        std::string where;
        std::string out;
        int status;
    } cases[] = {
        {"gnu from a subdirectory", {"--git", "HEAD", "--tokens", "--format", "gnu"}, sub,
         "../package.json:1:7: error: " + json + "\na.c:1:9: error: " + c + "\n", 1},
        {"github from a subdirectory", {"--format", "github", "--git", "HEAD", "--tokens"}, sub,
         "::error file=../package.json,line=1,col=7::" + json + "\n::error file=a.c,line=1,col=9::" + c + "\n", 1},
        {"gnu from the top", {"--git", "HEAD", "--tokens", "--format", "gnu"}, dir.path(),
         "package.json:1:7: error: " + json + "\nsub/a.c:1:9: error: " + c + "\n", 1},
        {"a path after --, from a subdirectory", {"--git", "HEAD", "--tokens", "--format", "gnu", "--", "a.c"}, sub,
         "a.c:1:9: error: " + c + "\n", 1},
        {"paths after -- that keep out every change", {"--git", "HEAD", "--tokens", "--", "../b.c"}, sub,
         "Matchling==> Pairs by language: c 1 \n" + summary(1, 0, 0, 0) + kSummaryEquivalent, 0},
        {"excluded from the top, wherever the run starts", {"--git", "HEAD", "--tokens", "--exclude", "/sub/",
                                                           "--exclude", "*.json"}, sub,
         "Matchling==> 2 files excluded \nMatchling==> Pairs by language: c 1 \n" + summary(1, 0, 0, 0) +
             kSummaryEquivalent, 0},
        {"a path outside the repository", {"--git", "HEAD", "--", "../.."}, sub,
         "Matchling==>  Outside the repository: ../.. \nMatchling==>  Program will abort \n" + kPrompt, 1},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        RunResult r = runMatchling(k.args, k.where);
        EXPECT_EQ(r.out, k.out);
        EXPECT_EQ(r.status, k.status);
    }
}

} // namespace

// Code that looks like layout, one pair of each kind in a tree: comments
// tools read, Markdown as GitHub shows it, a code sample's comment, a raw
// string's splice, an ending of another kind of file, YAML's block scalars.
// Each finding is one GNU line: its place and the two tokens.
TEST(Sweep, CodeThatLooksLikeLayout)
{
    const struct {
        const char *name, *a, *b;
        const char *finding;  // the GNU line after "b/NAME:"; "" when the pair is equivalent
    } rows[] = {
        {"build.go", "//go:build linux\n\npackage p\n", "//go:build windows\n\npackage p\n",
         "1:1: error: Not equivalent: '//go:build windows' here, '//go:build linux' at line 1, column 1 of a/build.go"},
        {"cgo.go", "package p\n\n// #include <a.h>\nimport \"C\"\n", "package p\n\n// #include <b.h>\nimport \"C\"\n",
         "3:1: error: Not equivalent: '// #include <b.h>\\n' here, '// #include <a.h>\\n' at line 3, column 1 of a/cgo.go"},
        {"embed.go", "package p\n\n//go:embed a.txt\nvar s string\n", "package p\n\n//go:embed b.txt\nvar s string\n",
         "3:1: error: Not equivalent: '//go:embed b.txt' here, '//go:embed a.txt' at line 3, column 1 of a/embed.go"},
        {"enc.py", "# -*- coding: latin-1 -*-\nx = 1\n", "# -*- coding: utf-8 -*-\nx = 1\n",
         "1:1: error: Not equivalent: '# -*- coding: utf-8' here, '# -*- coding: latin-1' at line 1, column 1 of a/enc.py"},
        {"jsx.jsx", "/** @jsx h */\nx = <a/>;\n", "/** @jsx React.createElement */\nx = <a/>;\n",
         "1:5: error: Not equivalent: '@jsx React.createElement' here, '@jsx h' at line 1, column 5 of a/jsx.jsx"},
        {"latex.cls", "\\setcounter{secnumdepth}{2}\n", "\\SETCOUNTER{SECNUMDEPTH}{2}\n",
         " error: Not compared (no token rules: .cls is read as Basic only when it starts as a Visual Basic module)"},
        {"raw.cpp", "x = R\"(a\\\nb)\";\n", "x = R\"(ab)\";\n",
         "1:5: error: Not equivalent: 'R\"(ab)\"' here, 'R\"(a\\\\nb)\"' at line 1, column 5 of a/raw.cpp"},
        {"relaid.go", "//go:build linux\n\npackage p\n", "//go:build  linux\n\npackage  p\n", ""},
        {"relaid.md", "|a|b|\n|-|-|\n|1|2|\n", "| a | b |\n| --- | --- |\n| 1 | 2 |\n", ""},
        {"root.yaml", "!!str >\n  a\n  b\n", "!!str >\n  a\n  c\n",
         "2:1: error: Not equivalent: '  a\\n  c\\n' here, '  a\\n  b\\n' at line 2, column 1 of a/root.yaml"},
        {"run.sh", "#!/bin/bash\necho\n", "#!/bin/sh\necho\n",
         "1:1: error: Not equivalent: '#!/bin/sh' here, '#!/bin/bash' at line 1, column 1 of a/run.sh"},
        {"sample.md", "```c\nint a; // one\n```\n", "```c\nint a; // two\n```\n",
         "2:11: error: Not equivalent: 'two' here, 'one' at line 2, column 11 of a/sample.md"},
        {"scalar.yaml", "foo: |\n", "foo: |\n\n", ""},
        {"table.md", "|a|b|\n|-|-|\n|1|2|\n", "|a|b| |-|-| |1|2|\n",
         "1:1: error: Not equivalent: '<p>' here, '<table>' at line 1, column 2 of a/table.md"},
        {"ts.ts", "// @ts-nocheck\nlet x = 1;\n", "let x = 1;\n",
         "1:1: error: Not equivalent: 'let' here, '@ts-nocheck' at line 1, column 4 of a/ts.ts"},
    };
    ScratchDir dir;
    std::vector<std::vector<std::string>> files;
    std::string expected;
    for (const auto &r : rows) {
        files.push_back({std::string("a/") + r.name, "", r.a});
        files.push_back({"", std::string("b/") + r.name, r.b});
        // A build without a language's library (Windows: YAML, Markdown) names that instead.
        const bool built = languageBuilt(languageOfName(r.name));
        if (*r.finding || !built)
            expected += std::string("b/") + r.name + ":" +
                        (built ? r.finding : " error: Not compared (no token rules for this kind of file in this build)") +
                        "\n";
    }
    makeTrees(dir, files);
    RunResult r = runMatchling({"a", "b", "--tokens", "--format", "gnu"}, dir.path());
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a", "b"}));
}
