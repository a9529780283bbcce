// The preparation's two ways through a source, side by side: streaming lines
// without '/' straight from the read chunk must give what taking every line
// through the line window and the rules gives, byte for byte, with the same
// result, reports and error count, under every switch and class.
#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "normalize/normalizer.h"
#include "reference_normalize.h"
#include "capture.h"
#include "support.h"

namespace {

constexpr char kCtrlZ = 0x1a;

struct Outcome {
    int status = -1;
    int errors = -1;
    std::string text;     // what reached the output file
    std::string console;  // reports
};

struct Mode {
    bool trimLineFeeds;
    bool handleComments;
    SourceClass sourceClass;
};

const Mode kModes[] = {
    {false, true, SourceClass::CFamily}, {true, true, SourceClass::CFamily}, {false, false, SourceClass::CFamily},
    {true, false, SourceClass::CFamily}, {false, true, SourceClass::Basic},   {true, true, SourceClass::Basic},
    {false, false, SourceClass::Basic},
};

// Normalizes source one way: line by line as the rules describe it, or block
// by block. With writesFail the output file is open for reading only, so that
// every block write fails.
Outcome normalized(const std::string &source, const Mode &mode, bool lineByLine, bool writesFail = false)
{
    static auto normalizer = std::make_unique<Normalizer>();
    static auto block = std::make_unique<char[]>(kBlockSize);
    RunSettings settings;
    settings.trimLineFeeds = mode.trimLineFeeds;
    settings.handleComments = mode.handleComments;
    writeFile("src.c", source);
    writeFile("out.tmp", "");
    Preparation p;
    p.path = "src.c";
    p.tempName = "out.tmp";
    p.source.stream = std::fopen("src.c", "rb");
    p.output = std::fopen("out.tmp", writesFail ? "rb" : "w+b");
    EXPECT_TRUE(p.source.stream && p.output);
    std::setvbuf(p.source.stream, nullptr, _IONBF, 0);
    std::setvbuf(p.output, nullptr, _IONBF, 0);
    Outcome o;
    ConsoleCapture console;
    if (lineByLine) {
        o.status = writeLineByLine(p, settings, mode.sourceClass, normalizer->input);
    } else {
        normalizerStart(*normalizer, settings, p.source, mode.sourceClass);
        o.status = writeNormalized(p, *normalizer, block.get());
    }
    o.console = console.take();
    o.errors = p.errors;
    std::fclose(p.source.stream);
    std::fclose(p.output);
    o.text = readFile("out.tmp");
    return o;
}

// The modes that matter most, for the long sweeps.
const Mode kSomeModes[] = {
    {false, true, SourceClass::CFamily}, {true, true, SourceClass::CFamily}, {false, false, SourceClass::CFamily},
    {false, true, SourceClass::Basic},
};

// Both ways agree on source under every mode (or only the main ones).
void expectSame(const std::string &source, bool writesFail = false, bool someModes = false)
{
    for (const Mode &mode : someModes ? std::vector<Mode>(std::begin(kSomeModes), std::end(kSomeModes))
                                      : std::vector<Mode>(std::begin(kModes), std::end(kModes))) {
        SCOPED_TRACE(testing::Message() << "B " << mode.trimLineFeeds << ", C " << mode.handleComments
                                        << ", class " << static_cast<char>(mode.sourceClass));
        const Outcome want = normalized(source, mode, true, writesFail);
        const Outcome got = normalized(source, mode, false, writesFail);
        EXPECT_EQ(got.status, want.status);
        EXPECT_EQ(got.errors, want.errors);
        EXPECT_EQ(got.console, want.console);
        EXPECT_TRUE(got.text == want.text) << "output " << got.text.size() << " bytes, expected "
                                           << want.text.size();
    }
}

// Lines of C++ without '/', exactly size bytes, ending in a line feed (size > 0).
std::string plainLines(std::size_t size, int seed = 0)
{
    static const char *const kLines[] = {"int x = 1;\n", "    return a + b;\n", "\tif (p) {\n", "}\n", "\n",
                                         "  \t  \n", "const char *s = \"a  b\";\n", "x\0y z\n"};
    std::string s;
    for (std::size_t k = static_cast<std::size_t>(seed); s.size() < size; ++k) {
        const char *l = kLines[k % 8];
        s.append(l, k % 8 == 7 ? 6 : std::char_traits<char>::length(l));
    }
    s.resize(size - 1);
    s += '\n';
    return s;
}

class FastPath : public testing::Test {
protected:
    ScratchCwd dir;
};

TEST_F(FastPath, ShortSources)
{
    const std::string cases[] = {
        "",
        "\r\r\r",
        std::string(1, kCtrlZ) + "int x;\n",
        "\r" + std::string(1, kCtrlZ),
        "\n",
        "\n\n \t\n",
        "x",
        "int x = 1;",
        "int x = 1;\nint y;",
        "a / b\n",
        "a / b",
        "// all comment\nint x; // tail\n",
        "  \t// indented comment\n",
        "//",
        "/",
        "x\n//",
        "x\n// no line feed",
        "x\n  //\n",
        "/* a */ int x; /* b\n c */ y\n",
        "/*/ x\n",
        "s = \"//\"; // c\n",
        "a  b\r\nc / d\r\ne\r\n",
        "a\rb\r\r\n/\r/ x\r\n",
        std::string("nul\0byte / here\n\0\n", 19),
        "line\n" + std::string(1, kCtrlZ) + "// after\n",
        "a/\n" + std::string(1, kCtrlZ),
        "x = 1;  \n  y = 2; \t\n// z\n\n\n",
        "'//' \"/*\" */ x\n",
    };
    for (const std::string &source : cases) {
        SCOPED_TRACE(testing::PrintToString(source));
        expectSame(source);
    }
}

TEST_F(FastPath, LongLines)
{
    // Pieces of 16,383 bytes, counted after carriage returns go.
    std::vector<std::string> cases;
    for (std::size_t length : {16382u, 16383u, 16384u, 16385u, 32766u, 32767u, 40000u}) {
        std::string plain(length - 1, 'a');
        for (std::size_t i = 3; i < plain.size(); i += 7)
            plain[i] = ' ';
        cases.push_back(plain + "\n");
        cases.push_back("x\n" + plain + "\ny\n");
        cases.push_back(plain);  // no line feed at the end
        cases.push_back("//" + plain.substr(2) + "\n" + "z\n");
        cases.push_back(" //" + plain.substr(3) + "\nz\n");
        cases.push_back("\t\t//" + plain.substr(4) + "\n//\n");
        std::string slashAt = plain + "\n";
        slashAt[length / 2] = '/';
        cases.push_back(slashAt + "q\n");
        std::string slashLast = plain + "\n";
        slashLast[length - 2] = '/';
        cases.push_back(slashLast);
        std::string returns;
        for (char c : plain + "\n")
            returns += c == ' ' ? std::string("\r") : std::string(1, c);
        cases.push_back("a // b\n" + returns + "//c\n");
        cases.push_back(std::string(length - 1, ' ') + "//\n");
        cases.push_back(std::string(length - 1, ' ') + "\n");
    }
    for (std::size_t k = 0; k < cases.size(); ++k) {
        SCOPED_TRACE(k);
        expectSame(cases[k]);
    }
}

TEST_F(FastPath, ChunkBoundaries)
{
    // A '/' line, a comment line, a CR, a Ctrl-Z or a long line at every
    // position near the end of the first read chunk.
    const std::string tails[] = {
        "a / b\n", "// c\nx\n", "  // c\n", "p /* q */ r\n", "w\r\nv // u\r\n", std::string(1, kCtrlZ) + "// z\n",
        "m\rn\r", "//" + std::string(20000, 'k') + "\n", "t" + std::string(20000, ' ') + "/\n",
    };
    for (std::size_t at = kReadChunkSize - 16; at <= kReadChunkSize + 4; ++at) {
        for (std::size_t t = 0; t < sizeof tails / sizeof tails[0]; ++t) {
            SCOPED_TRACE(testing::Message() << "at " << at << ", tail " << t);
            std::string head = plainLines(at, static_cast<int>(t));
            expectSame(head + tails[t], false, true);
            // The same with the last line of the head cut short, so the tail joins it.
            head.pop_back();
            expectSame(head + tails[t], false, true);
        }
    }
}

TEST_F(FastPath, FailedWrites)
{
    // Every block write fails: the first full block decides where the run
    // stops, and whether lines remain after the piece that filled it.
    std::vector<std::string> cases = {"", "x\n", "a // b\n", plainLines(1000)};
    const std::string big = plainLines(700000);
    for (std::size_t cut : {400000u, 420000u, 500000u}) {
        // Ends at various points past the first full block.
        cases.push_back(big.substr(0, cut));
        cases.push_back(big.substr(0, cut) + "q // r\n");
    }
    // Only the last piece, or only the last line, fills the block.
    const std::string head = plainLines(360000);
    cases.push_back(head + std::string(100000, 'z'));
    cases.push_back(head + std::string(100000, 'z') + "\n");
    cases.push_back(head + std::string(100000, 'z') + "\n\n  \n");
    cases.push_back(head + std::string(100000, 'z') + "\nw\n");
    cases.push_back(head + "/" + std::string(100000, 'z') + "\n");
    cases.push_back(head + "/" + std::string(100000, 'z') + "\n \n");
    cases.push_back(head + "/" + std::string(100000, 'z') + "\n/\n");
    for (std::size_t k = 0; k < cases.size(); ++k) {
        SCOPED_TRACE(k);
        expectSame(cases[k], true);
    }
    // The byte that fills the block at the end of the source, or just before
    // an empty line, blanks or no line feed.
    const std::string plain = plainLines(700000);
    std::size_t filling = 0;
    for (std::size_t kept = 0; kept < kBlockSize; ++filling)
        kept += plain[filling] != ' ' && plain[filling] != '\t' && plain[filling] != '\n';
    const std::size_t lineEnd = plain.find('\n', filling - 1) + 1;
    const std::string ends[] = {
        plain.substr(0, lineEnd),         plain.substr(0, lineEnd) + "\n",  plain.substr(0, lineEnd) + "  ",
        plain.substr(0, lineEnd) + "/",   plain.substr(0, filling),         plain.substr(0, filling) + " \t",
        plain.substr(0, filling) + "\n", plain.substr(0, filling - 1),
    };
    for (std::size_t k = 0; k < sizeof ends / sizeof ends[0]; ++k) {
        SCOPED_TRACE(testing::Message() << "end " << k);
        expectSame(ends[k], true);
    }
    // The byte that fills the block last in a piece of a long line, or first
    // in the next one, with that piece the last of the source or not.
    std::size_t headEnd = 0, headKept = 0;
    for (std::size_t i = 0, kept = 0; kept < kBlockSize; ++i) {
        if (plain[i] == '\n' && kept >= kBlockSize - kLineCapacity) {
            headEnd = i + 1;
            headKept = kept;
            break;
        }
        kept += plain[i] != ' ' && plain[i] != '\t' && plain[i] != '\n';
    }
    ASSERT_GT(headEnd, 0u);
    for (std::size_t at : {kLineCapacity - 1, kLineCapacity}) {
        const std::size_t blanks = at - (kBlockSize - headKept - 1);
        const std::string line = std::string(blanks, ' ') + std::string(kLineCapacity + 4 - blanks, 'z') + "\n";
        for (const char *after : {"", "\n", "z", "/\n"}) {
            SCOPED_TRACE(testing::Message() << "filling byte at " << at << ", then " << testing::PrintToString(after));
            expectSame(plain.substr(0, headEnd) + line + after, true);
        }
    }
}

} // namespace
