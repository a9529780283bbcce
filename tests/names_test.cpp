// Names beyond ASCII: accented Latin, Cyrillic, CJK and a character outside
// the Basic Multilingual Plane, given on the command line or found in a tree,
// opened as named and printed in the reports as given, in UTF-8.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support.h"

namespace {

const std::string kFolder = u8"Jos\u00e9 \u041f\u0430\u043f\u043a\u0430";  // José Папка
const std::string kFile1 = u8"\u00e9\u20ac\u6587\U0001F600.c";            // é€文😀.c
const std::string kFile2 = u8"\u6587\u4ef6-\U0001F600.c";                 // 文件-😀.c
const std::string kSub = u8"\u6587\u4ef6";                                 // 文件

TEST(Names, BeyondAsciiOnTheCommandLine)
{
    ScratchDir dir;
    const std::string folder = dir.file(kFolder);
    ASSERT_TRUE(makeDir(folder));
    writeFile(folder + kDirSeparator + kFile1, "x = 1;\n");
    writeFile(folder + kDirSeparator + kFile2, "x = 2;\n");

    // In the folder, whose path holds such names too: its temporary files go there.
    RunResult r = runMatchling({kFile1, kFile2}, folder);
    std::string expected = mismatch(kFile1, kFile2, 2, '1', "1;", '2', "2;") + kNotEquivalent;
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.raw, textModeBytes(expected)) << "names are UTF-8 in redirected output";
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFile(folder + kDirSeparator + kFile1), "x = 1;\n");

    // Through the folder from outside it.
    const std::string names[2] = {nativePath(kFolder + "/" + kFile1), nativePath(kFolder + "/" + kFile2)};
    r = runMatchling({names[0], names[1]}, dir.path());
    EXPECT_EQ(r.out, mismatch(names[0], names[1], 2, '1', "1;", '2', "2;") + kNotEquivalent);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{kFolder});
}

TEST(Names, BeyondAsciiInATree)
{
    ScratchDir dir;
    const std::string tops[2] = {kFolder + "1", kFolder + "2"};
    for (const std::string &top : tops) {
        ASSERT_TRUE(makeDir(dir.file(top)));
        ASSERT_TRUE(makeDir(dir.file(top) + kDirSeparator + kSub));
        writeFile(dir.file(top) + kDirSeparator + kFile1, "same;\n");
    }
    const std::string sub = kSub + kDirSeparator + kFile1;
    writeFile(dir.file(tops[0]) + kDirSeparator + sub, "x = 1;\n");
    writeFile(dir.file(tops[1]) + kDirSeparator + sub, "x = 2;\n");
    writeFile(dir.file(tops[0]) + kDirSeparator + kFolder + ".c", "x;\n");

    RunResult r = runMatchling({tops[0], tops[1]}, dir.path());
    const std::string path = kSub + "/" + kFile1;
    EXPECT_EQ(r.out, "Matchling==> Only in " + tops[0] + ": " + kFolder + ".c \n" +
                         "Matchling==> Not equivalent: " + path + " \n" +
                         mismatch(tops[0] + "/" + path, tops[1] + "/" + path, 2, '1', "1;", '2', "2;") +
                         "Matchling==> 2 pairs compared: 1 equivalent, 1 not equivalent, 0 failed, "
                         "1 only on one side \n" + kNotEquivalent);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}

} // namespace
