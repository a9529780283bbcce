// The usage screen, as a user sees it when no pair of files is named.
#include <gtest/gtest.h>

#include "support.h"

namespace {

const char *const kUsageScreen =
    "Matchling==>  Matchling  Ver. 0.1a of September 17, 1999 \n"
    "\n"
    "Matchling==>  Usage: Matchling  SourceFile1  SourceFile2  [Options] \n"
    "\n"
    "Matchling==>  For the latest updates and product information: \n"
    "Matchling==>     See   : https://matchling.example.org \n"
    "Matchling==>     mailto: support@matchling.example.org \n"
    "Matchling==>  Press Enter to continue \n";

TEST(Usage, Screen)
{
    const std::vector<std::vector<std::string>> cases = {
        {}, {"/?"}, {"/?x"}, {"a.c"}, {"--help"},
    };
    for (const auto &args : cases) {
        SCOPED_TRACE(args.empty() ? "no arguments" : args[0]);
        ScratchDir dir;
        RunResult r = runMatchling(args, dir.path());
        EXPECT_EQ(r.out, kUsageScreen);
        EXPECT_EQ(r.raw, textModeBytes(kUsageScreen)) << "standard output keeps the platform's text mode";
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(dir.entries().empty());
    }
}

TEST(Usage, QuestionMarkWithOtherArgumentsIsAFileName)
{
    ScratchDir dir;
    RunResult r = runMatchling({"/?", "b.c"}, dir.path());
    EXPECT_EQ(r.out,
              "Matchling==>  Unable to open input file /? for reading \n"
              "Matchling==>  The file probably doesn't exist \n\n"
              "Matchling==>  Program will abort \n"
              "Matchling==>  Press Enter to continue \n"
              "\n");
    EXPECT_EQ(r.status, 1);
}

} // namespace
