// The comparison of two normalized texts and its reports.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "compare/compare.h"
#include "capture.h"
#include "support.h"

namespace {

struct Outcome {
    Verdict verdict;
    std::string report;
};

class Compare : public testing::Test {
protected:
    Outcome compare(const std::string &text1, const std::string &text2)
    {
        writeFile(dir.file("one"), text1);
        writeFile(dir.file("two"), text2);
        std::FILE *streams[2] = {std::fopen(dir.file("one").c_str(), "rb"), std::fopen(dir.file("two").c_str(), "rb")};
        const TextProducer texts[2] = {fileText(streams[0]), fileText(streams[1])};
        const char *const names[2] = {"one.cpp", "two.cpp"};
        ConsoleCapture console;
        Outcome o;
        o.verdict = compareFiles(*state, texts, names);
        o.report = console.take();
        std::fclose(streams[0]);
        std::fclose(streams[1]);
        return o;
    }

    ScratchDir dir;
    std::unique_ptr<CompareState> state = std::make_unique<CompareState>();
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
        Outcome o = compare(text, text);
        EXPECT_EQ(o.verdict, Verdict::Equivalent);
        EXPECT_EQ(o.report, "");
    }
}

TEST_F(Compare, MismatchInFirstBlock)
{
    Outcome o = compare("inta=1;", "inta=2;");
    EXPECT_EQ(o.verdict, Verdict::Different);
    EXPECT_EQ(o.report, mismatch("one.cpp", "two.cpp", 5, '1', "1;", '2', "2;"));
}

TEST_F(Compare, MismatchInSecondBlock)
{
    std::string text1 = std::string(kBlockSize, 'a') + "bbbbbbX" + std::string(100, 'c');
    std::string text2 = text1;
    text2[kBlockSize + 6] = 'Y';
    Outcome o = compare(text1, text2);
    EXPECT_EQ(o.verdict, Verdict::Different);
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
        Outcome o = compare(c.text1, c.text2);
        EXPECT_EQ(o.verdict, Verdict::Different);
        EXPECT_EQ(o.report, c.report);
    }
}

} // namespace
