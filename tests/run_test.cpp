// Whole runs of the built utility: exact standard output, exit status, and the
// temporary files left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support.h"

namespace {

const std::vector<std::string> kNone;
const std::vector<std::string> kTempA = {"Matchlinga.tmp"};

const std::string kOld = "int main() {\n    int a = 1; // one\n    return a;\n}\n";
const std::string kNewLayout = "int main()\r\n{\r\n  int a = 1;\r\n\r\n  return a;   \r\n}";
const std::string kNewCode = "int main() {\n    int a = 2;\n    return a;\n}\n";
const std::string kOpenFailure =
    " for reading \nMatchling==>  The file probably doesn't exist \n\n"
    "Matchling==>  Program will abort \n" + kPrompt + "\n";

TEST(Run, Verdicts)
{
    const Scenario cases[] = {
        {"layout only", {{"a.cpp", kOld}, {"b.cpp", kNewLayout}}, {"a.cpp", "b.cpp"}, kEquivalent, 0, kNone},
        {"code differs",
         {{"a.cpp", kOld}, {"b.cpp", kNewCode}},
         {"a.cpp", "b.cpp"},
         mismatch("a.cpp", "b.cpp", 15, '1', "1;returna;}", '2', "2;returna;}") + kNotEquivalent,
         0,
         kNone},
        {"both empty after normalizing", {{"a.c", "// c\n"}, {"b.c", "\n\n"}}, {"a.c", "b.c"}, kEquivalent, 0, kNone},
        {"one ends early",
         {{"a.c", "x;\n"}, {"b.c", "x;\ny;\n"}},
         {"a.c", "b.c"},
         "Matchling==>  Byte Count error in compareFiles() \n"
         "Matchling==>  Inputfile1 blocks read = 1 \n"
         "Matchling==>  Inputfile1 bytes read in last block = 2 \n"
         "Matchling==>  Inputfile2 blocks read = 1 \n"
         "Matchling==>  Inputfile2 bytes read in last block = 4 \n"
         "Matchling==>  Program will abort \n"
         "Matchling==> Beg. of block string from first  input file: \nx; \n\n"
         "Matchling==> Beg. of block string from second input file: \nx; \n\n" + kNotEquivalent,
         0,
         kNone},
    };
    for (const Scenario &s : cases)
        play(s);
}

TEST(Run, Switches)
{
    const std::string a = "x = 1; // note\nint  y;\n";
    const std::string b = "x = 1;\nint y;\n";
    const Scenario cases[] = {
        {"L lists both texts", {{"a.c", a}, {"b.c", b}}, {"a.c", "b.c", "/L"}, "x=1;inty;x=1;inty;" + kEquivalent, 0, kNone},
        {"V announces both copies",
         {{"a.c", a}, {"b.c", b}},
         {"a.c", "b.c", "/v"},
         "Matchling==>  Copying   a.c --> Matchlinga.tmp \nMatchling==>  Copying   b.c --> Matchlingb.tmp \n" + kEquivalent,
         0,
         kNone},
        {"B keeps a comment's last character",
         {{"a.c", a}, {"b.c", "x = 1; // nota\nint y;\n"}},
         {"a.c", "b.c", "/B", "/L"},
         "x=1;einty;x=1;ainty;" + mismatch("a.c", "b.c", 4, 'e', "einty;", 'a', "ainty;") + kNotEquivalent,
         0,
         kNone},
        {"T as B", {{"a.c", a}, {"b.c", a}}, {"a.c", "b.c", "/T/L"}, "x=1;einty;x=1;einty;" + kEquivalent, 0, kNone},
    };
    for (const Scenario &s : cases)
        play(s);
}

TEST(Run, Failures)
{
    const Scenario cases[] = {
        {"missing file 1", {{"b.c", "x\n"}}, {"a.c", "b.c"}, "Matchling==>  Unable to open input file a.c" + kOpenFailure, 1, kNone},
        {"missing file 2", {{"a.c", "x\n"}}, {"a.c", "b.c"}, "Matchling==>  Unable to open input file b.c" + kOpenFailure, 1, kTempA},
        {"empty file 1",
         {{"a.c", ""}, {"b.c", "x\n"}},
         {"a.c", "b.c"},
         "\nMatchling==>  Unable to read a.c \nMatchling==>  Program will abort \n" + kPrompt + "\n",
         1,
         kTempA},
        {"file 1 starts with Ctrl-Z",
         {{"a.c", "\x1a" "x\n"}, {"b.c", "x\n"}},
         {"a.c", "b.c"},
         "\nMatchling==>  Unable to read a.c \nMatchling==>  Program will abort \n" + kPrompt + "\n",
         1,
         kTempA},
    };
    for (const Scenario &s : cases)
        play(s);
}

TEST(Run, DiskFull)
{
    SKIP_WITHOUT(Facility::FileSizeLimit);
    const std::string big(400000, 'x');
    const Scenario cases[] = {
        {"disk full in the middle",
         {{"a.c", big + "\n" + big + "\n"}},
         {"a.c", "a.c"},
         "Matchling==>  Error writing the output file \nMatchling==>  Disk drive may be full \n" + kPrompt +
             "Matchling==>  Program will abort \n" + kPrompt + "\n",
         1,
         kTempA,
         300000},
        {"disk full on the last block",
         {{"a.c", std::string(3000, 'y') + "\n"}},
         {"a.c", "a.c"},
         "Matchling==>  Error writing the output file \nMatchling==>  Disk drive may be full \n" + kPrompt +
             "\nMatchling==>  An error has been detected during processing a.c! \n"
             "Matchling==>  The Input file will not be altered \n"
             "Matchling==>  See the Matchlinga.tmp file for the distorted output \n"
             "Matchling==>  Please report problem to support@matchling.example.org \n"
             "Matchling==>  URL: https://matchling.example.org/problems \n"
             "Matchling==>  Thank you \n\n" + kPrompt + "\n",
         1,
         kTempA,
         2000},
    };
    for (const Scenario &s : cases)
        play(s);
}

TEST(Run, TemporaryFileCannotBeCreated)
{
    ScratchDir dir;
    writeFile(dir.file("a.c"), "x\n");
    ASSERT_TRUE(makeDir(dir.file("Matchlinga.tmp")));
    RunResult r = runMatchling({"a.c", "a.c"}, dir.path());
    EXPECT_EQ(r.out,
              "Matchling==>  Unable to open Matchlinga.tmp for writing \n"
              "Matchling==>  The disk is probably full \n"
              "Matchling==>  Program will abort \n" + kPrompt + "\n");
    EXPECT_EQ(r.status, 1);
}

TEST(Run, ExamplePairs)
{
    const std::string ex = MATCHLING_EXAMPLES;
    ScratchDir dir;
    RunResult same = runMatchling(
        {nativePath(ex + "/equivalent/before.cpp"), nativePath(ex + "/equivalent/after.cpp")}, dir.path());
    EXPECT_EQ(same.out, kEquivalent);
    EXPECT_EQ(same.status, 0);
    RunResult differ = runMatchling(
        {nativePath(ex + "/different/before.cpp"), nativePath(ex + "/different/after.cpp")}, dir.path());
    EXPECT_NE(differ.out.find("Matchling==> Mismatch at offset 210 for "), std::string::npos);
    EXPECT_EQ(differ.out.substr(differ.out.size() - kNotEquivalent.size()), kNotEquivalent);
    EXPECT_EQ(differ.status, 0);
    EXPECT_TRUE(dir.entries().empty());
}

TEST(Run, LargeTextsDifferingLate)
{
    ScratchDir dir;
    std::string a;
    for (int i = 0; i < 60000; ++i)
        a += "    value" + std::to_string(i) + " = f(x);  // step\n";
    std::string b = a;
    b[b.size() - 15] = 'g';
    writeFile(dir.file("a.c"), a);
    writeFile(dir.file("b.c"), b);
    RunResult r = runMatchling({"a.c", "b.c"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Matchling==> Character from a.c 'f' \n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - kNotEquivalent.size()), kNotEquivalent);
}

TEST(Run, LongFileNames)
{
    ScratchDir dir;
    // Longer than 127 characters, yet short enough for every platform.
    const std::string name = std::string(150, 'n') + ".c";
    writeFile(dir.file(name), "x\n");
    RunResult r = runMatchling({name, name}, dir.path());
    EXPECT_EQ(r.out, kEquivalent);
    EXPECT_EQ(r.status, 0);
}

// Far beyond Windows' MAX_PATH (260): a file named through such a path, and
// two trees that hold one.
TEST(Run, VeryLongPaths)
{
    ScratchDir dir;
    std::string rel;
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(makeDir(dir.file("d" + rel)) && makeDir(dir.file("e" + rel)));
        rel += "/" + std::string(190, 'n');
    }
    writeFile(dir.file("d" + rel + ".c"), "x\n");
    writeFile(dir.file("e" + rel + ".c"), "y\n");
    RunResult r = runMatchling({"d" + rel + ".c", "d" + rel + ".c"}, dir.path());
    EXPECT_EQ(r.out, kEquivalent);
    EXPECT_EQ(r.status, 0);

    r = runMatchling({"d", "e"}, dir.path());
    EXPECT_EQ(r.out, "Matchling==> Not equivalent: " + rel.substr(1) + ".c \n" +
                         mismatch("d" + rel + ".c", "e" + rel + ".c", 0, 'x', "x", 'y', "y") +
                         "Matchling==> 1 pair compared: 0 equivalent, 1 not equivalent, 0 failed, "
                         "0 only on one side \n" + kNotEquivalent);
    EXPECT_EQ(r.status, 0);
}

} // namespace

namespace {

// A source that is one of the temporary files would be emptied by its own
// preparation: the run refuses it and the file stays as it was.
TEST(Run, SourceNamedLikeATemporaryFile)
{
    struct {
        const char *name;
        std::vector<std::string> args;
        std::string temp;
    } cases[] = {
        {"file 1 is Matchlinga.tmp", {"Matchlinga.tmp", "b.c"}, "Matchlinga.tmp"},
        {"file 2 is Matchlinga.tmp", {"b.c", "Matchlinga.tmp"}, "Matchlinga.tmp"},
        {"file 1 is Matchlingb.tmp", {"Matchlingb.tmp", "b.c"}, "Matchlingb.tmp"},
        {"another name for it", {"b.c", "./Matchlingb.tmp"}, "Matchlingb.tmp"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        writeFile(dir.file(c.temp), "keep me\n");
        writeFile(dir.file("b.c"), "x;\n");
        RunResult r = runMatchling(c.args, dir.path());
        EXPECT_EQ(r.out, "Matchling==>  Unable to open " + c.temp + " for writing \n"
                         "Matchling==>  It is one of the files to compare \n"
                         "Matchling==>  Program will abort \n" + kPrompt + "\n");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(readFile(dir.file(c.temp)), "keep me\n");
        EXPECT_EQ(dir.entries().size(), 2u);
    }
}

} // namespace
