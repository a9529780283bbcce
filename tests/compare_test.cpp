// The comparison of two normalized texts and its reports.
#include <gtest/gtest.h>

#include <string>

#include "compare/compare.h"
#include "support.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

struct Outcome {
    int result;
    std::string report;
};

class Compare : public testing::Test {
protected:
    void SetUp() override { resetRun(); }
    void TearDown() override { closeStreams(); }

    Outcome compare(const std::string &text1, const std::string &text2)
    {
        writeFile(kTempName1, text1);
        writeFile(kTempName2, text2);
        run.fileName1 = "one.cpp";
        run.fileName2 = "two.cpp";
        run.read1 = std::fopen(kTempName1, "r+b");
        run.read2 = std::fopen(kTempName2, "r+b");
        CaptureStdout();
        int result = compareFiles();
        return {result, GetCapturedStdout()};
    }

    ScratchCwd dir;
};

std::string byteCountReport(int blocks1, long long count1, int blocks2, long long count2,
                            const std::string &context1, const std::string &context2)
{
    return "Matchling==>  Byte Count error in compareFiles() \n"
           "Matchling==>  Inputfile1 blocks read = " + std::to_string(blocks1) + " \n" +
           "Matchling==>  Inputfile1 bytes read in last block = " + std::to_string(count1) + " \n" +
           "Matchling==>  Inputfile2 blocks read = " + std::to_string(blocks2) + " \n" +
           "Matchling==>  Inputfile2 bytes read in last block = " + std::to_string(count2) + " \n" +
           "Matchling==>  Program will abort \n"
           "Matchling==> Beg. of block string from first  input file: \n" + context1 + " \n\n" +
           "Matchling==> Beg. of block string from second input file: \n" + context2 + " \n\n";
}

TEST_F(Compare, Equivalent)
{
    for (const std::string &text : {std::string(), std::string("inta=1;"), std::string(kBlockSize, 'q'),
                                    std::string(2 * kBlockSize + 5, 'r')}) {
        SCOPED_TRACE(text.size());
        closeStreams();
        resetRun();
        Outcome o = compare(text, text);
        EXPECT_EQ(o.result, 0);
        EXPECT_EQ(o.report, "");
        EXPECT_EQ(run.errors, 0);
    }
}

TEST_F(Compare, MismatchInFirstBlock)
{
    Outcome o = compare("inta=1;", "inta=2;");
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(o.report, mismatch("one.cpp", "two.cpp", 5, '1', "1;", '2', "2;"));
    EXPECT_EQ(run.errors, 1);
}

TEST_F(Compare, MismatchInSecondBlock)
{
    std::string text1 = std::string(kBlockSize, 'a') + "bbbbbbX" + std::string(100, 'c');
    std::string text2 = text1;
    text2[kBlockSize + 6] = 'Y';
    Outcome o = compare(text1, text2);
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(o.report, mismatch("one.cpp", "two.cpp", 262150, 'X', "X" + std::string(71, 'c'), 'Y', "Y" + std::string(71, 'c')));
}

TEST_F(Compare, ContextStopsAtEndOfPass)
{
    std::string text1 = std::string(100, 'a') + "0123456789";
    std::string text2 = std::string(100, 'a') + "01234x6789";
    Outcome o = compare(text1, text2);
    EXPECT_EQ(o.report, mismatch("one.cpp", "two.cpp", 105, '5', "56789", 'x', "x6789"));
}

TEST_F(Compare, ByteCounts)
{
    struct {
        const char *name;
        std::string text1, text2;
        std::string report;
    } cases[] = {
        {"empty against non-empty", "", "abc", byteCountReport(0, 0, 1, 3, "", "")},
        {"lengths differ before any byte is compared", std::string(100, 'x'), std::string(150, 'y'),
         byteCountReport(1, 100, 1, 150, std::string(72, 'x'), std::string(72, 'y'))},
        {"one block plus some against one block", std::string(kBlockSize + 9, 'z'), std::string(kBlockSize, 'z'),
         byteCountReport(2, 9, 1, 0, "", "")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        closeStreams();
        resetRun();
        Outcome o = compare(c.text1, c.text2);
        EXPECT_EQ(o.result, 1);
        EXPECT_EQ(o.report, c.report);
        EXPECT_EQ(run.errors, 1);
    }
}

} // namespace
