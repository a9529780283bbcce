// --allow end to end: the option, the report lines, and the window's limits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lex_support.h"
#include "support.h"

namespace {

const std::string kEquivalent = "\nMatchling==>  Files compare equivalent \nMatchling==>  Press Enter to continue \n";

TEST(Rewrites, OptionMistakes)
{
    const std::string names =
        "Matchling==>  Option --allow needs one or more of: all, braces, parens, commas, quotes, numbers, "
        "docstrings, usings, semicolons, case, build-lines, elision \n";
    const struct {
        const char *name;
        std::vector<std::string> args;
        std::string first;  // the first lines printed
    } cases[] = {
        {"no list", {"a.c", "b.c", "--tokens", "--allow"}, names},
        {"unknown name", {"a.c", "b.c", "--tokens", "--allow", "parens,brace"},
         "Matchling==>  Unknown rewrite brace \n" + names},
        {"empty name", {"a.c", "b.c", "--tokens", "--allow", "parens,"}, names},
        {"without tokens", {"a.c", "b.c", "--allow", "all"}, "Matchling==>  Option --allow needs --tokens \n"},
    };
    ScratchDir dir;
    writeFile(dir.file("a.c"), "int x;\n");
    writeFile(dir.file("b.c"), "int x;\n");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult r = runMatchling(c.args, dir.path());
        EXPECT_EQ(r.out.substr(0, c.first.size()), c.first);
        EXPECT_EQ(r.status, 1);
    }
}

TEST(Rewrites, SingleRunCountsAndPlaces)
{
    ScratchDir dir;
    writeFile(dir.file("a.c"), "int f(int x) {\n  return (x);\n}\n");
    writeFile(dir.file("b.c"), "int f(int x) {\n  return x;\n}\n");
    RunResult r = runMatchling({"a.c", "b.c", "--tokens", "--allow", "parens", "--where"}, dir.path());
    EXPECT_EQ(r.out, "Matchling==> Allowed parens at line 2, column 10 of b.c \n"
                     "Matchling==> Allowed rewrites: parens 1 \n" + kEquivalent);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.c", "b.c"}));
    // Other rewrites accept nothing here; without --allow the pair differs.
    r = runMatchling({"a.c", "b.c", "--tokens", "--allow", "braces,commas", "--exit-status"}, dir.path());
    EXPECT_NE(r.out.find("Matchling==> Allowed rewrites: none \n"), std::string::npos) << r.out;
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(runMatchling({"a.c", "b.c", "--tokens", "--exit-status"}, dir.path()).status, 1);
}

TEST(Rewrites, TreeRunCountsPerPairAndInTheSummary)
{
    ScratchDir dir;
    makeDir(dir.file("a"));
    makeDir(dir.file("b"));
    writeFile(dir.file("a/p.c"), "int f(int x) { return (x); }\n");
    writeFile(dir.file("b/p.c"), "int f(int x) { return x; }\n");
    writeFile(dir.file("a/q.c"), "int g;\n");
    writeFile(dir.file("b/q.c"), "int  g;\n");
    RunResult r = runMatchling({"a", "b", "--tokens", "--allow", "all"}, dir.path());
    EXPECT_EQ(r.out, "Matchling==> Allowed rewrites in p.c: parens 1 \n"
                     "Matchling==> Pairs by language: c 2 \n"
                     "Matchling==> Allowed rewrites: parens 1 \n"
                     "Matchling==> 2 pairs compared: 2 equivalent, 0 not equivalent, 0 failed, 0 only on one side \n" +
                         kEquivalent);
    r = runMatchling({"a", "b", "--tokens", "--allow", "all", "--format", "json"}, dir.path());
    const std::string counts = "\"allowed\":{\"braces\":0,\"parens\":1,\"commas\":0,\"quotes\":0,\"numbers\":0,"
                               "\"docstrings\":0,\"usings\":0,\"semicolons\":0,\"case\":0,\"build-lines\":0,"
                               "\"elision\":0}";
    EXPECT_NE(r.out.find("\"path\":\"p.c\",\"status\":\"equivalent\",\"language\":\"c\"," + counts), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"languages\":{\"c\":2}," + counts + "}"), std::string::npos) << r.out;
}

// A rewrite counts where the two sides differ in it, not where both undid
// the same spelling at a token another rewrite also touched.
TEST(Rewrites, CountsOnlyWhatDiffers)
{
    const struct {
        const char *name, *a, *b, *counts;
    } cases[] = {
        {"same parentheses, other quotes", "x = ('a')\n", "x = (\"a\")\n", "quotes 1"},
        {"same parentheses, other number", "int f() { return ((0x1F)); }\n", "int f() { return ((0x1f)); }\n",
         "numbers 1"},
        {"other parentheses and number", "int f() { return ((0x1F)); }\n", "int f() { return (0x1f); }\n",
         "parens 1, numbers 1"},
        {"same parentheses only", "int f() { return ((1)); }\n", "int f() { return (( 1 )); }\n", "none"},
    };
    ScratchDir dir;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string ending = c.a[0] == 'x' ? ".py" : ".c";
        writeFile(dir.file("a" + ending), c.a);
        writeFile(dir.file("b" + ending), c.b);
        RunResult r = runMatchling({"a" + ending, "b" + ending, "--tokens", "--allow", "all"}, dir.path());
        EXPECT_EQ(r.out, "Matchling==> Allowed rewrites: " + std::string(c.counts) + " \n" + kEquivalent);
    }
}

// A token longer than the window holds goes through whole, in its pieces, and
// ends the lookahead: parentheses around it stay as written.
TEST(Rewrites, LongTokensGoThroughAndEndTheLookahead)
{
    const std::string big = "\"" + std::string(10000, 'a') + "\"";
    checkRewritePairs(Language::CFamily, static_cast<RewriteSet>((1u << kRewriteKinds) - 1),
                      {
                          {"long token, layout", "f(" + big + ");", "f( " + big + " ) ;", true},
                          {"long token, last byte", "f(" + big + ");", "f(" + big.substr(0, 9000) + "b" +
                                                                             big.substr(9001) + ");", false, 1, 3, 1, 3},
                          {"parentheses after it", big + "; int g() { return (1); }", big + "; int g() { return 1; }",
                           true},
                          {"parentheses around it stay", "int g() { return (" + big + "); }",
                           "int g() { return " + big + "; }", false, 1, 18, 1, 18},
                      });
}

} // namespace
