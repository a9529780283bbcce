// Near misses of the Basic lexer: for each decision, a pair that must differ
// if it went wrong and, where it can go the other way, a pair that must stay
// equal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../lex_support.h"

namespace {

const Language Basic = Language::Basic;

TEST(BasicNearMiss, Names)
{
    std::vector<PairCase> cases = {
        {"every letter's case", "abcdefghijklmnopqrstuvwxyz = 1\n", "ABCDEFGHIJKLMNOPQRSTUVWXYZ = 1\n", true},
        {"one type character only", "y = x$$\n", "y = x$ $\n", true},
        {"a number's type character", "y = 1#\n", "y = 1 #\n", false},
        {"an underscore starts a name", "y = _a\n", "y = _ a\n", false},
        {"letters beyond ASCII keep their case", "x\xc3\xa9 = 1\n", "x\xc3\x89 = 1\n", false},
    };
    std::vector<std::string> names;
    for (const char *c : {"$", "%", "&", "!", "#", "@"})
        names.push_back(std::string("type character ") + c);
    for (std::size_t k = 0; k < names.size(); ++k) {
        const std::string c = names[k].substr(names[k].size() - 1);
        cases.push_back({names[k].c_str(), "y = x" + c + "\n", "y = x " + c + "\n", false});
    }
    checkPairs(Basic, cases);
}

TEST(BasicNearMiss, Comments)
{
    LexOptions words;
    words.comments = true;
    std::vector<PairCase> cases = {
        {"Rem inside a statement is a name", "x = rem + 1\n", "x =\n", false},
        {"Rem with a digit is a name", "Rem1 = 2\n", "\n", false},
        {"Rem then a tab", "Rem\tx = 1\n", "\n", true},
        {"Rem at the input's end", "x = 1\nRem", "x = 1\n", true},
        {"Rem after := is a name", "f a:=Rem\n", "f a:=\n", false},
        {"a line end after a comment counts", "a = 1 ' c\nb = 2\n", "a = 1 b = 2\n", false},
        {"a comment's continuation takes the next line", "' c _\nx = 1\n", "' c\nx = 1\n", false},
        {"a continued comment is layout", "' c _\nx = 1\n", "\n", true},
        {"a continued Rem comment", "Rem c _\nx = 1\n", "\n", true},
        {"a comment continued after a statement", "x = 1 ' c _\ny = 2\n", "x = 1\n", true},
        {"a comment continued before CR LF", "' c _\r\nx = 1\r\n", "\r\n", true},
        {"a continued comment's line start stands for a blank", "' a _\n_\nx = 1\n", "\n", true},
        {"a blank line ends a continued comment", "' c _\n\nx = 1\n", "x = 1\n", true},
        {"no continuation without a blank before", "' c_\nx = 1\n", "' c\nx = 1\n", true},
        {"no continuation right after the quote", "'_\nx = 1\n", "'\nx = 1\n", true},
        {"no continuation with more after it", "' a _ b\nx = 1\n", "' a\nx = 1\n", true},
        // Comment words.
        {"Rem's words are comment words", "Rem one two\n", "' one two\n", true},
        {"a continued comment's words", "' a _\n b\n", "' a\n' b\n", true},
        {"a continued comment's next line is words", "' a _\nx = 1\n", "' a\nx = 1\n", false},
        {"a '_' alone is a word", "' a _ b\n", "' a b\n", false},
    };
    for (std::size_t k = cases.size() - 4; k < cases.size(); ++k)
        cases[k].options = words;
    checkPairs(Basic, cases);
}

// A continuation is told wherever the window's end falls: in the word
// before it, between it and its blanks, among them.
TEST(BasicNearMiss, CommentContinuedAcrossTheWindowsEnd)
{
    LexOptions words;
    words.comments = true;
    for (std::size_t n = kLexWindowSize - 12; n < kLexWindowSize + 4; ++n) {
        SCOPED_TRACE(n);
        const std::string word(n, 'a'), blanks(n, ' ');
        checkPairs(Basic, {
            {"after a long word", "' " + word + " _ \nx = 1\n", "\n", true},
            {"after long blanks", "'" + blanks + "_ \nx = 1\n", "\n", true},
            {"before long blanks", "' a _" + blanks + "\nx = 1\n", "\n", true},
            {"a '_' alone before long blanks", "' a _" + blanks + "b\nx = 1\n", "\nx = 1\n", true},
            {"words after a long word", "' " + word + " _ \nx = 1\n", "' " + word + "\n' x = 1\n", true, 0, 0,
             0, 0, Basic, words},
            {"a '_' word before long blanks", "' a _" + blanks + "b\n", "' a _ b\n", true, 0, 0, 0, 0, Basic, words},
        });
    }
}

TEST(BasicNearMiss, LineEnds)
{
    checkPairs(Basic, {
        {"a statement's line end", "a = 1\nb = 2\n", "a = 1 b = 2\n", false},
        {"no line end at the input's end", "a = 1", "a = 1\n", true},
        {"a continuation before CR LF", "a = 1 + _\r\n2\r\n", "a = 1 + 2\r\n", true},
        {"blanks after a continuation", "a = 1 + _  \t\n2\n", "a = 1 + 2\n", true},
        {"a continuation at the input's end", "a = 1 _", "a = 1", true},
        {"a continuation at a line's start", "x = 1\n_\ny = 2\n", "x = 1\ny = 2\n", true},
        {"an underscore right after a token", "a = b+_\nc\n", "a = b+c\n", false},
        {"an underscore with a token after it", "a = b _ c\n", "a = b c\n", false},
    });
}

TEST(BasicNearMiss, Numbers)
{
    checkPairs(Basic, {
        {"a fraction", "y = 1.5\n", "y = 1 .5\n", false},
        {"a leading dot", "y = .5\n", "y = . 5\n", false},
        {"a sign after E", "y = 1E+5\n", "y = 1E +5\n", false},
        {"a sign after D", "y = 1D-5\n", "y = 1D -5\n", false},
        {"a sign after a lower-case e", "y = 1e-5\n", "y = 1e -5\n", false},
        {"a sign needs a digit after it", "y = 1E+x\n", "y = 1E + x\n", true},
        {"an octal number", "y = &O17\n", "y = & O17\n", false},
        {"&O in lower case", "y = &o17\n", "y = &O17\n", true},
        {"&H needs a name byte after it", "y = z &H\n", "y = z & H\n", true},
    });
}

TEST(BasicNearMiss, Strings)
{
    checkPairs(Basic, {
        {"an unterminated string ends at CR LF", "s = \"ab\r\nt = 1\r\n", "s = \"ab\nt = 1\n", true},
        {"a lone CR stays in a string", "s = \"a\rb\"\n", "s = \"ab\"\n", false},
        {"a doubled quote at the end", "s = \"a\"\"\"\n", "s = \"a\" \"\"\n", false},
    });
}

// Longest match: each operator against its bytes apart.
TEST(BasicNearMiss, Operators)
{
    std::vector<PairCase> cases;
    std::vector<std::string> names;
    for (const char *op : {"<<", "<=", "<>", ">>", ">=", ":=", "+=", "-=", "*=", "/=", "\\=", "^=", "&=", "<<=", ">>="}) {
        const std::string o = op;
        for (std::size_t cut = 1; cut < o.size(); ++cut) {
            names.push_back(o + " against " + o.substr(0, cut) + " " + o.substr(cut));
            cases.push_back({"", "a " + o + " b\n", "a " + o.substr(0, cut) + " " + o.substr(cut) + " b\n", false});
        }
    }
    for (std::size_t k = 0; k < cases.size(); ++k)
        cases[k].name = names[k].c_str();
    checkPairs(Basic, cases);
}

} // namespace
