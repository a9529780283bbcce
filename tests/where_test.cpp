// --where and --exit-status: the source lines of the first difference, and
// the verdict in the exit status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support.h"

namespace {

struct WhereCase {
    const char *name;
    std::string source1, source2;
    std::string where;  // the lines expected just before the verdict
    std::string name1 = "a.c", name2 = "b.c";
};

TEST(Where, NamesTheSourceLines)
{
    const std::string longLine(40000, 'x');
    const WhereCase cases[] = {
        {"first line", "int a = 1;\nint b;\n", "int a = 2;\nint b;\n",
         "Matchling==> Difference at line 1 of a.c \nMatchling==> Difference at line 1 of b.c \n"},
        {"last line", "x;\ny;\nz = 1;\n", "x;\n  y;\n\nz = 2;",
         "Matchling==> Difference at line 3 of a.c \nMatchling==> Difference at line 4 of b.c \n"},
        {"statement wrapped differently", "int f(int a,\n      int b) { return a + b; }\n",
         "int f(int a, int b)\n{\n  return a - b;\n}\n",
         "Matchling==> Difference at line 2 of a.c \nMatchling==> Difference at line 3 of b.c \n"},
        {"after an over-long line", longLine + "\ny = 1;\n", "\n" + longLine + "\ny = 2;\n",
         "Matchling==> Difference at line 2 of a.c \nMatchling==> Difference at line 3 of b.c \n"},
        {"in a later piece of an over-long line", longLine + "1\n", longLine + "2\n",
         "Matchling==> Difference at line 1 of a.c \nMatchling==> Difference at line 1 of b.c \n"},
        {"CR LF line ends", "a;\r\nb;\r\nc = 1;\r\n", "a;\nb;\nc = 2;\n",
         "Matchling==> Difference at line 3 of a.c \nMatchling==> Difference at line 3 of b.c \n"},
        {"lengths differ, difference before the shorter ends", "p = 1;\n", "p = 2;\nq;\n",
         "Matchling==> Difference at line 1 of a.c \nMatchling==> Difference at line 1 of b.c \n"},
        {"file 1 ends early", "p;\n\n// c\n", "p;\nq;\n",
         "Matchling==> Text ends at line 1 of a.c \nMatchling==> Extra text begins at line 2 of b.c \n"},
        {"file 2 ends early", "p;\nq;\nr;\n", "p;\n  q;\n",
         "Matchling==> Extra text begins at line 3 of a.c \nMatchling==> Text ends at line 2 of b.c \n"},
        {"nothing left of file 1", "// only\n// comments\n", "x;\n",
         "Matchling==> Text ends at line 2 of a.c \nMatchling==> Extra text begins at line 1 of b.c \n"},
        {"class carried from file 1", "a = 1 ' c\n/* x */\nb = 1\n", "a = 1 ' c\n/* x */\nb = 2\n",
         "Matchling==> Difference at line 3 of x.bas \nMatchling==> Difference at line 3 of y.txt \n", "x.bas",
         "y.txt"},
    };
    for (const WhereCase &c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        writeFile(dir.file(c.name1), c.source1);
        writeFile(dir.file(c.name2), c.source2);
        RunResult r = runMatchling({c.name1, c.name2, "--where"}, dir.path());
        std::string tail = c.where + kNotEquivalent;
        ASSERT_GE(r.out.size(), tail.size()) << r.out;
        EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail) << r.out;
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(dir.entries().size(), 2u);
    }
}

TEST(Where, OutputOtherwiseUnchanged)
{
    ScratchDir dir;
    writeFile(dir.file("a.c"), "x = 1;\n");
    writeFile(dir.file("b.c"), "x = 2;\n");
    RunResult plain = runMatchling({"a.c", "b.c", "/L"}, dir.path());
    RunResult where = runMatchling({"a.c", "b.c", "--where", "/L"}, dir.path());
    const std::string lines = "Matchling==> Difference at line 1 of a.c \nMatchling==> Difference at line 1 of b.c \n";
    std::string expected = plain.out;
    expected.insert(expected.size() - kNotEquivalent.size(), lines);
    EXPECT_EQ(where.out, expected);
    EXPECT_EQ(plain.out.substr(0, 8), "x=1;x=2;") << "the switch after the option still acts";

    writeFile(dir.file("b.c"), "x = 1;\n");
    RunResult same = runMatchling({"a.c", "b.c", "--where"}, dir.path());
    EXPECT_EQ(same.out, "\nMatchling==>  Files compare equivalent \nMatchling==>  Press Enter to continue \n");
}

TEST(ExitStatus, TellsTheVerdict)
{
    struct {
        const char *name;
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {"equivalent", {"a.c", "same.c", "--exit-status"}, 0},
        {"not equivalent", {"a.c", "b.c", "/L", "--exit-status"}, 1},
        {"not equivalent, both options", {"a.c", "b.c", "--exit-status", "--where"}, 1},
        {"missing file 1", {"none.c", "b.c", "--exit-status"}, 2},
        {"missing file 2", {"a.c", "none.c", "--exit-status"}, 2},
        {"usage", {"--exit-status"}, 2},
        {"not equivalent, without the option", {"a.c", "b.c"}, 0},
        {"missing file, without the option", {"none.c", "b.c"}, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        writeFile(dir.file("a.c"), "x = 1;\n");
        writeFile(dir.file("same.c"), "x=1;");
        writeFile(dir.file("b.c"), "x = 2;\n");
        EXPECT_EQ(runMatchling(c.args, dir.path()).status, c.status);
    }
}

} // namespace
