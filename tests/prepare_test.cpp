// Source preparation in a scratch directory: classification, text-mode
// reading, block writing and the listing switches.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "normalize/normalizer.h"
#include "normalize/prepare.h"
#include "capture.h"
#include "support.h"

namespace {

constexpr const char *kTempName1 = "Matchlinga.tmp";
constexpr const char *kTempName2 = "Matchlingb.tmp";

class Prepare : public testing::Test {
protected:
    void TearDown() override
    {
        if (preparation.source.stream)
            std::fclose(preparation.source.stream);
        if (preparation.output)
            std::fclose(preparation.output);
    }

    // Prepares path into tempName; returns what prepareFile returns.
    int prepare(const char *path, const char *tempName = kTempName1)
    {
        preparation = Preparation();
        preparation.path = path;
        preparation.tempName = tempName;
        return prepareFile(preparation, settings, sourceClass, *normalizer, block.get());
    }

    // Prepares source as file 1 under name; returns its normalized text.
    std::string prepared(const std::string &source, const std::string &name = "a.cpp")
    {
        writeFile(name, source);
        EXPECT_EQ(prepare(name.c_str()), 0);
        return readFile(kTempName1);
    }

    ScratchCwd dir;
    RunSettings settings;
    SourceClass sourceClass = SourceClass::CFamily;
    Preparation preparation;
    std::unique_ptr<Normalizer> normalizer = std::make_unique<Normalizer>();
    std::unique_ptr<char[]> block = std::make_unique<char[]>(kBlockSize);
};

TEST_F(Prepare, Classification)
{
    struct {
        const char *path;
        SourceClass before;
        SourceClass after;
        const char *extension;
    } cases[] = {
        {"prog.cpp", SourceClass::Basic, SourceClass::CFamily, "CPP"},
        {"prog.c", SourceClass::Basic, SourceClass::CFamily, "C"},
        {"prog.cs", SourceClass::Basic, SourceClass::CFamily, "CS"},
        {"prog.cxx", SourceClass::Basic, SourceClass::CFamily, "CXX"},
        {"form.cls", SourceClass::CFamily, SourceClass::Basic, "CLS"},
        {"x.bas", SourceClass::CFamily, SourceClass::Basic, "BAS"},
        {"x.Frm", SourceClass::CFamily, SourceClass::Basic, "FRM"},
        {"a.b.cpp", SourceClass::Basic, SourceClass::Basic, "B.C"},
        {"./a.bas", SourceClass::CFamily, SourceClass::CFamily, "/A."},
        {"x.txt", SourceClass::Basic, SourceClass::Basic, "TXT"},
        {"noext", SourceClass::Basic, SourceClass::Basic, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        SourceClass sourceClass = c.before;
        char extension[4];
        classifySource(c.path, sourceClass, extension);
        EXPECT_EQ(sourceClass, c.after);
        EXPECT_STREQ(extension, c.extension);
    }
}

TEST_F(Prepare, ClassCarriesFromFile1ToFile2)
{
    writeFile("x.bas", "a = 1 ' c\n");
    writeFile("y.txt", "/* kept */ b\n");
    ASSERT_EQ(prepare("x.bas"), 0);
    ASSERT_EQ(prepare("y.txt", kTempName2), 0);
    EXPECT_EQ(readFile(kTempName2), "/*kept*/b");
}

TEST_F(Prepare, TextModeReading)
{
    const std::string lf = "int main()\n{\n    return 0; // done\n}\n";
    EXPECT_EQ(prepared(lf), "intmain(){return0;}");
    EXPECT_EQ(prepared("int main()\r\n{\r\n  return 0;   // done\r\n}\r\n"), "intmain(){return0;}");
    EXPECT_EQ(prepared("a\rb\n"), "ab") << "a lone CR is dropped";
    EXPECT_EQ(prepared("x = 1;\ny = 2;\x1a" "z = 3;\n"), "x=1;y=2;") << "Ctrl-Z ends the input";
    EXPECT_EQ(prepared(std::string("a\0b\nc\0d\n", 8)), std::string("a\0bc\0d", 6));
    EXPECT_EQ(prepared("\n\n   \n\t\n"), "") << "blank lines only";
    EXPECT_EQ(prepared("x = 1;\n// last line comment\n"), "x=1;");
    EXPECT_EQ(prepared("x = 1; // note"), "x=1;e") << "last line without a line feed";
}

TEST_F(Prepare, OverLongLinesArriveInPieces)
{
    // The "//" straddles the end of the first piece, so neither piece sees it.
    std::string line = std::string(kLineCapacity - 1, 'a') + "//" + "b\n";
    EXPECT_EQ(prepared(line), std::string(kLineCapacity - 1, 'a') + "//b");
    // The piece boundary is counted after carriage returns are removed.
    std::string crs = std::string(kLineCapacity, 'a');
    for (std::size_t i = 100; i < crs.size(); i += 100)
        crs[i] = '\r';
    std::string expected = crs;
    expected.erase(std::remove(expected.begin(), expected.end(), '\r'), expected.end());
    EXPECT_EQ(prepared(crs + "bbb\n"), expected + "bbb");
}

TEST_F(Prepare, BlockBoundaries)
{
    for (std::size_t size : {kBlockSize - 1, kBlockSize, kBlockSize + 1, 3 * kBlockSize + 17}) {
        SCOPED_TRACE(size);
        std::string source;
        std::string expected;
        while (expected.size() < size) {
            std::string piece = std::to_string(expected.size() % 9973);
            piece = piece.substr(0, size - expected.size());
            expected += piece;
            source += "  " + piece + " \n";
        }
        EXPECT_EQ(prepared(source), expected);
    }
}

TEST_F(Prepare, ListingAndAnnouncement)
{
    settings.listNormalized = true;
    settings.announceCopy = true;
    ConsoleCapture console;
    std::string text = prepared("int  a;\n// c\nint b;\n");
    EXPECT_EQ(console.take(), "Matchling==>  Copying   a.cpp --> Matchlinga.tmp \ninta;intb;");
    EXPECT_EQ(text, "inta;intb;");
}

TEST_F(Prepare, TemporaryFileReplacesEarlierOne)
{
    writeFile(kTempName1, std::string(1000, 'z'));
    EXPECT_EQ(prepared("a\n"), "a");
}

TEST_F(Prepare, TemporaryFileIsNeverALink)
{
    SKIP_WITHOUT(Facility::SymbolicLinks);
    ScratchDir outside;
    writeFile(outside.file("target"), "keep");
    ASSERT_TRUE(makeSymlink(outside.file("target"), kTempName1));
    writeFile("a.cpp", "a\n");
    ConsoleCapture console;
    EXPECT_EQ(prepare("a.cpp"), 1);
    EXPECT_EQ(console.take(),
              "Matchling==>  Unable to open Matchlinga.tmp for writing \n"
              "Matchling==>  The disk is probably full \n"
              "Matchling==>  Program will abort \n"
              "Matchling==>  Press Enter to continue \n"
              "\n");
    EXPECT_EQ(readFile(outside.file("target")), "keep");
}

} // namespace
