// The command line as the utility receives it: names with blanks, wildcards
// left alone, and where switch reading starts on each platform.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support.h"

namespace {

const std::string kNoStarFile =
    "Matchling==>  Unable to open input file *.c for reading \n"
    "Matchling==>  The file probably doesn't exist \n\n"
    "Matchling==>  Program will abort \n"
    "Matchling==>  Press Enter to continue \n\n";

TEST(CommandLine, ArgumentsArriveAsGiven)
{
    struct {
        const char *name;
        std::vector<std::string> args;
        std::string out;
        int status;
    } cases[] = {
        {"a name with blanks", {"my file.c", "b.c", "/L"}, "x=1;x=1;" + kEquivalent, 0},
        {"a wildcard is a name, not a list of names", {"*.c", "b.c"}, kNoStarFile, 1},
        {"quotes, backslashes and a tab",
         {"say \"hi\"\\ \\\"\tx\\\\", "b.c"},
         "Matchling==>  Unable to open input file say \"hi\"\\ \\\"\tx\\\\ for reading \n"
         "Matchling==>  The file probably doesn't exist \n\n"
         "Matchling==>  Program will abort \n"
         "Matchling==>  Press Enter to continue \n\n",
         1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        writeFile(dir.file("a.c"), "x = 1;\n");
        writeFile(dir.file("b.c"), "x  =  1;\n");
        writeFile(dir.file("my file.c"), "x = 1; // spaced name\n");
        RunResult r = runMatchling(c.args, dir.path());
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, c.status);
    }
}

TEST(CommandLine, SlashInANameStartsSwitchReadingWhereNamesTakePart)
{
    // Where '/' separates directories the two names never set switches; on
    // Windows every argument takes part. The words after the first '/' here
    // are "x.c", "l" and "y.c", and "l" sets L.
    const bool namesTakePart = kDirSeparator != '/';
    ScratchDir dir;
    ASSERT_TRUE(makeDir(dir.file("l")));
    writeFile(dir.file("l") + kDirSeparator + "x.c", "x = 1;\n");
    writeFile(dir.file("l") + kDirSeparator + "y.c", "x  =  1;\n");
    RunResult r = runMatchling({"l/x.c", "l/y.c"}, dir.path());
    EXPECT_EQ(r.out, (namesTakePart ? "x=1;x=1;" : "") + kEquivalent);
    EXPECT_EQ(r.status, 0);
}

} // namespace
