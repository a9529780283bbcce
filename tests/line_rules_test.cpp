// The line rules, one row per line: the input as read and its normalized text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "normalize/line_rules.h"

namespace {

constexpr const char *kSkipped = "<skipped>";

struct RuleCase {
    const char *name;
    std::string input;
    std::string expected;  // kSkipped when the line contributes nothing
    SourceClass sourceClass = SourceClass::CFamily;
    int trimLineFeeds = 0;
    int handleComments = 1;
};

std::string normalize(const RuleCase &c)
{
    static char buffer[kLineBufferSize];
    std::memcpy(buffer, c.input.data(), c.input.size());
    buffer[c.input.size()] = '\0';
    Line line = {buffer, c.input.size()};
    RunSettings flags;
    flags.trimLineFeeds = c.trimLineFeeds;
    flags.handleComments = c.handleComments;
    if (normalizeLine(line, flags, c.sourceClass))
        return kSkipped;
    EXPECT_EQ(line.text[line.length], '\0');
    return std::string(line.text, line.length);
}

void checkAll(const RuleCase *cases, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(normalize(cases[i]), cases[i].expected);
    }
}

const SourceClass B = SourceClass::Basic;

TEST(LineRules, CFamilyExamples)
{
    const RuleCase cases[] = {
        {"line comment", "    int a = 1; // one\n", "inta=1;"},
        {"whole block comment", "/* block */\n", kSkipped},
        {"whole line comment", "// whole line\n", kSkipped},
        {"block comment then code", "/*a*/ b = 1;\n", kSkipped},
        {"trailing block comment", "a = a + 2;  /* two */\n", "a=a+2;"},
        {"only rightmost block comment goes", "a /* x */ b /* y */ c\n", "a/*x*/bc"},
        {"line comment after block comment", "a = b; /* c */ // d\n", "a=b;/*c*/"},
        {"two line comments", "a = b; // c // d\n", "a=b;"},
        {"slashes in a string", "s = \"x//y\";\n", "s=\"x"},
        {"comment-like string", "s = \"// not a comment\";\n", "s=\""},
        {"two block comments", "y = 2; /* c1 */ /* c2 */\n", "y=2;/*c1*/"},
        {"division and inner comment", "p = a/b; q = c/*d*/;\n", "p=a/b;q=c;"},
        {"shared star", "a/*/b\n", "ab"},
        {"slash character", "c = '/';  // slash\n", "c='/';"},
        {"include", "#include <stdio.h>\n", "#include<stdio.h>"},
        {"comment opened only", "/* start only\n", "/*startonly"},
        {"comment closed only", "end */ x = 1;\n", "end*/x=1;"},
        {"empty line", "\n", ""},
    };
    checkAll(cases, sizeof cases / sizeof cases[0]);
}

TEST(LineRules, BasicExamples)
{
    const RuleCase cases[] = {
        {"quoted slashes", "Print \"a//b\" ' note\n", "Print\"a//b\"'note", B},
        {"line comment", "x = 1 // y\n", "x=1", B},
        {"apostrophe comment stays", "Dim x As Integer ' count\n", "DimxAsInteger'count", B},
        {"touching block comments", "y = 2; /* c1 */ /* c2 */\n", "y=2;/*c1*", B},
        {"block comment kept", "/* header */\n", "/*header*/", B},
        {"pair inside quotes", "\"//\"x\n", "\"//\"x", B},
        {"pair at the start", "//x\n", "//x", B},
        {"quote state from the right, cut", "a\"b//c\n", "a\"b", B},
        {"quote state from the right, kept", "a//b\"c\n", "a//b\"c", B},
    };
    checkAll(cases, sizeof cases / sizeof cases[0]);
}

TEST(LineRules, EdgeCases)
{
    const RuleCase cases[] = {
        {"blanks only", "  \t  \n", ""},
        {"CR LF line", "x = 1;\r\n", "x=1;"},
        {"last line keeps comment's last character", "x = 1; // note", "x=1;e"},
        {"last line ending in the pair", "a//", "a/"},
        {"lone closing comment", "*/ x\n", "*/x"},
        {"trailing blanks of a last line", "x   \t", "x"},
        {"B drops line feed before comment rules", "x = 1; // note\n", "x=1;e", SourceClass::CFamily, 1},
        {"B keeps a one-character line", "x\n", "x", SourceClass::CFamily, 1},
        {"B on a bare line feed", "\n", "", SourceClass::CFamily, 1},
        {"C off keeps comments", "x = 1; // note\n", "x=1;//note", SourceClass::CFamily, 0, 0},
        {"C off keeps comment lines", "// note\n", "//note", SourceClass::CFamily, 0, 0},
        {"NUL is an ordinary byte", std::string("a = \0b; // c\n", 13), std::string("a=\0b;", 5)},
        {"NUL after a comment start", std::string("/* \0 */\n", 8), kSkipped},
    };
    checkAll(cases, sizeof cases / sizeof cases[0]);
}

TEST(LineRules, FindLineCommentPositions)
{
    struct {
        const char *text;
        std::size_t expected;
    } cases[] = {{"ab//c", 2}, {"//x", 0}, {"a//b//c", 4}, {"\"//\"", 0}, {"", 0}, {"/", 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        char buffer[16];
        std::strcpy(buffer, c.text);
        Line line = {buffer, std::strlen(c.text)};
        EXPECT_EQ(findLineComment(line), c.expected);
    }
}

TEST(LineRules, FullLengthPieceStaysInBounds)
{
    // A piece of an over-long line fills the buffer to its last byte.
    static char buffer[kLineBufferSize];
    std::memset(buffer, 'x', kLineCapacity);
    buffer[0] = '/';
    buffer[1] = '*';
    buffer[kLineCapacity - 2] = '*';
    buffer[kLineCapacity - 1] = '/';
    buffer[kLineCapacity] = '\0';
    Line line = {buffer, kLineCapacity};
    EXPECT_EQ(normalizeLine(line, RunSettings(), SourceClass::CFamily), 1);
}

} // namespace

namespace {

// The whitespace squeeze against a plain model, in place and into another
// buffer, at every length around its sixteen-byte steps.
TEST(LineRules, SqueezeLayoutMatchesAPlainModel)
{
    const std::string alphabet = std::string(" \t\r\nab/\"*", 9) + std::string(1, '\0') + "\xff\x80";
    unsigned seed = 12345;
    for (std::size_t n = 0; n <= 70; ++n) {
        for (int round = 0; round < 20; ++round) {
            std::string in(n, ' ');
            for (char &c : in) {
                seed = seed * 1103515245u + 12345u;
                c = alphabet[(seed >> 16) % alphabet.size()];
            }
            std::string expected;
            for (char c : in)
                if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
                    expected += c;
            SCOPED_TRACE(testing::PrintToString(in));

            std::string out(n + 16, '#');
            std::size_t kept = squeezeLayout(&out[0], in.data(), n);
            EXPECT_EQ(out.substr(0, kept), expected);
            EXPECT_EQ(out.substr(n), std::string(16, '#')) << "nothing stored past n bytes";

            std::string same = in;
            kept = squeezeLayout(&same[0], same.data(), n);
            EXPECT_EQ(same.substr(0, kept), expected);
        }
    }
}

} // namespace
