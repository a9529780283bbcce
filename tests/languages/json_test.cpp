// Near misses of the JSON lexer, its tokens taken one at a time and in the
// block runs of plain tokens: for each decision, a pair that must differ if
// it went wrong and, where it can go the other way, a pair that must stay
// equal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"

namespace {

const Language Json = Language::Json;
constexpr std::size_t kBlock = 64;  // bytes the runs classify at once (kMaskBlock)

TEST(JsonNearMiss, Layout)
{
    checkPairs(Json, {
        {"a lone CR is layout", "[1,\r2]", "[1, 2]", true},
        {"a form feed is a token", "[1,\f2]", "[1, 2]", false},
        {"a byte order mark after a blank is a token", " \xEF\xBB\xBF[1]", " [1]", false},
        {"a byte order mark after a token is a token", "[1]\xEF\xBB\xBF", "[1]", false},
        {"a lone slash is a token", "[1 / 2]", "[1 2]", false},
    });
}

TEST(JsonNearMiss, NumbersAndNames)
{
    checkPairs(Json, {
        {"a fraction", "[1.5]", "[1 .5]", false},
        {"a plus after e", "[1e+5]", "[1e +5]", false},
        {"a sign after E", "[1E-5]", "[1E -5]", false},
        {"a negative number's exponent", "[-1e-5]", "[-1e -5]", false},
        {"a minus after a digit starts a number", "[1-2]", "[1 -2]", true},
        {"a sign after e in a name stands alone", "[e+1]", "[e +1]", true},
        {"a minus before no digit stands alone", "[-a]", "[- a]", true},
        {"a dot after a name stands alone", "[a.b]", "[a . b]", true},
        {"a dollar is a name byte", "[a$b]", "[a $b]", false},
        {"an underscore is a name byte", "[a_b]", "[a _b]", false},
        {"a byte beyond ASCII is a name byte", "[a\xc3\xa9]", "[a \xc3\xa9]", false},
    });
}

TEST(JsonNearMiss, Strings)
{
    checkPairs(Json, {
        {"an escaped backslash before the quote", "[\"a\\\\\", 1]", "[\"a\\\\\" ,1]", true},
        {"a backslash before a line end escapes nothing", "[\"a\\\n\"]", "[\"a\\\n\" ]", false},
        {"a string ends at its quote", "[\"a\"b]", "[\"a\" b]", true},
    });
}

// Every case after a '[' and some blanks, with two blocks of blanks after it,
// taken in runs (lexerRun) as a comparison takes them: near a block's start,
// and with its first bytes at each of the last places of the first block.
void checkRunPairs(const std::vector<PairCase> &cases)
{
    ScratchDir dir;
    const std::string path = dir.file("source");
    auto lex = [&path](const std::string &text) {
        writeFile(path, text);
        return lexFileInRuns(path, Json, 1024, 65536);
    };
    for (const PairCase &c : cases) {
        SCOPED_TRACE(c.name);
        for (std::size_t shift : {0, 1, 2, 3, 20, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63}) {
            const std::string before = "[" + std::string(shift, ' '), after(2 * kBlock, ' ');
            const bool equal = firstDifference(lex(before + c.a + after), lex(before + c.b + after)) < 0;
            EXPECT_EQ(equal, c.equal) << "after " << shift << " blanks";
        }
    }
}

TEST(JsonNearMiss, Runs)
{
    std::vector<PairCase> cases = {
        {"a fraction", "1.5", "1 .5", false},
        {"a minus before a digit", "-1", "- 1", false},
        {"a minus after a name byte", "1e-x", "1e- x", false},
        {"a minus alone", "-a", "- a", true},
        {"a plus after e", "1e+5", "1e +5", false},
        {"a comment", "1, // c\n 2", "1, 2", true},
        {"a blank in a string", "\"a b\"", "\"ab\"", false},
        {"an escaped quote", "\"a\\\"b\" ,1", "\"a\\\"b\", 1", true},
        {"a line feed in a string", "\"a\n\" ,1", "\"a\n\", 1", false},
        {"a dollar", "a$b", "a $b", false},
        {"an underscore", "a_b", "a _b", false},
        {"a byte beyond ASCII", "a\xc3\xa9", "a \xc3\xa9", false},
        {"CR and tab are layout", "1,\r2,\t3", "1, 2, 3", true},
        {"a zero byte is a token", std::string("1,\0 2", 5), "1, 2", false},
        {"a backslash stands alone", "a\\b", "a \\ b", true},
        {"other bytes alone", "a#b", "a # b", true},
        {"other bytes compare", "a#b", "a%b", false},
    };
    checkPairs(Json, cases);
    checkRunPairs(cases);
}

} // namespace
