// Java's in-process tests: its near misses first, then the lexer's tests and
// the tests of its rules for --allow, each part under a note of its own.
//
// Java's near misses: for each decision the Java lexer, its rewrite rules and
// its import sorting make, a pair that must differ if the decision went wrong
// and, where it can go the other way, a pair that must stay equal. The rows
// that the lexer's and the rules' tests below and tests/imports_test.cpp hold
// already are not repeated here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"

namespace {

const Language J = Language::Java;

LexOptions withComments()
{
    LexOptions o;
    o.comments = true;
    return o;
}

// Longer than the lexer's window: a comment or text block holding it cannot
// be looked over whole.
const std::string kLong(kLexWindowSize + 100, 'x');

std::string repeat(const std::string &s, std::size_t n)
{
    std::string out;
    for (std::size_t k = 0; k < n; ++k)
        out += s;
    return out;
}

// Blanks, line ends and comments: which bytes are layout and where a comment ends.
TEST(JavaNearMiss, Layout)
{
    checkPairs(J, {
        {"form feed is a blank", "int\fx;", "int x;", true},
        {"form feed separates", "int\fx;", "intx;", false, 1, 1, 1, 1},
        {"tab separates", "int\tx;", "intx;", false, 1, 1, 1, 1},
        {"lone CR separates", "int\rx;", "intx;", false, 1, 1, 1, 1},
        {"line feed separates", "int\nx;", "intx;", false, 1, 1, 1, 1},
        {"vertical tab is no blank", "int\vx;", "int x;", false, 1, 4, 1, 5},
        {"block comment separates", "int/**/x;", "intx;", false, 1, 1, 1, 1},
        {"block comment is layout", "int/**/x;", "int x;", true},
        {"'/*/' does not close", "/*/ a */ x;", "x;", true},
        {"block comment never closed", "x; /* c", "x; /* c */", false},
        {"line comment at the input's end", "x; // c", "x;", true},
        {"line comment ends at a lone CR", "// c\rx;", "x;", true},
        {"comment words end at a lone CR", "x; // a\rb;", "x; // a\nb;", true, 0, 0, 0, 0, J, withComments()},
        {"code after a lone CR is no comment word", "x; // a\rb;", "x; // a b;", false, 1, 9, 1, 9, J,
         withComments()},
        {"blank then lone CR: space", "x; // a \rb;", "x; // a b;", false, 1, 10, 1, 9, J, withComments()},
        {"blank then lone CR: tab", "x; // a\t\rb;", "x; // a b;", false, 1, 10, 1, 9, J, withComments()},
        {"blank then lone CR: form feed", "x; // a\f\rb;", "x; // a b;", false, 1, 10, 1, 9, J, withComments()},
        {"blank then lone CR: vertical tab", "x; // a\v\rb;", "x; // a b;", false, 1, 10, 1, 9, J,
         withComments()},
    });
}

// Operators and separators by longest match: each two- and three-byte one
// against its bytes apart.
TEST(JavaNearMiss, Operators)
{
    checkPairs(J, {
        {"++", "a++;", "a+ +;", false, 1, 2, 1, 2},
        {"+=", "a += b;", "a + = b;", false, 1, 3, 1, 3},
        {"-=", "a -= b;", "a - = b;", false, 1, 3, 1, 3},
        {"*=", "a *= b;", "a * = b;", false, 1, 3, 1, 3},
        {"/=", "a /= b;", "a / = b;", false, 1, 3, 1, 3},
        {"%=", "a %= b;", "a % = b;", false, 1, 3, 1, 3},
        {"^=", "a ^= b;", "a ^ = b;", false, 1, 3, 1, 3},
        {"!=", "a != b;", "a ! = b;", false, 1, 3, 1, 3},
        {"==", "a == b;", "a = = b;", false, 1, 3, 1, 3},
        {"&&", "a && b;", "a & & b;", false, 1, 3, 1, 3},
        {"&=", "a &= b;", "a & = b;", false, 1, 3, 1, 3},
        {"||", "a || b;", "a | | b;", false, 1, 3, 1, 3},
        {"|=", "a |= b;", "a | = b;", false, 1, 3, 1, 3},
        {"<<", "a << b;", "a < < b;", false, 1, 3, 1, 3},
        {"<=", "a <= b;", "a < = b;", false, 1, 3, 1, 3},
        {"<<= against << =", "a <<= b;", "a << = b;", false, 1, 3, 1, 3},
        {"... against .. .", "f(A... b);", "f(A.. . b);", false, 1, 4, 1, 4},
        {"two dots are two tokens", "a..b;", "a. .b;", true},
        {">>= against >> =", "a >>= b;", "a >> = b;", false, 1, 3, 1, 3},
        {">>>= against >>> =", "a >>>= b;", "a >>> = b;", false, 1, 3, 1, 3},
        {"'>=' after a shift assignment", "a >>= b >= c;", "a >>= b > = c;", false, 1, 9, 1, 9},
        {"'>=' after an unsigned shift assignment", "a >>>= b >= c;", "a >>>= b > = c;", false, 1, 10, 1, 10},
        {"a '>' run then '>='", "a >>>>= b;", "a >>> >= b;", true},
        {"dot before a digit starts a number", "x = .5;", "x = . 5;", false, 1, 5, 1, 5},
        {"dot before a name", "a.b;", "a . b;", true},
    });
}

// Names: which bytes they hold, and the one keyword with a '-' in it.
TEST(JavaNearMiss, Names)
{
    checkPairs(J, {
        {"'$' in a name", "a$b;", "a $b;", false, 1, 1, 1, 1},
        {"'_' in a name", "a_b;", "a _b;", false, 1, 1, 1, 1},
        {"digit in a name", "a1;", "a 1;", false, 1, 1, 1, 1},
        {"Unicode in a name", "caf\xc3\xa9;", "caf \xc3\xa9;", false, 1, 1, 1, 1},
        {"non-sealed then a name byte", "non-sealedx;", "non-sealed x;", false, 1, 1, 1, 1},
        {"non-sealed then a digit", "non-sealed1;", "non-sealed 1;", false, 1, 1, 1, 1},
        {"Non-sealed is a subtraction", "Non-sealed;", "Non - sealed;", true},
        {"non-seal is a subtraction", "non-seal;", "non - seal;", true},
        {"anon-sealed is a subtraction", "anon-sealed;", "anon - sealed;", true},
        {"non-sealer is a subtraction", "non-sealer;", "non - sealer;", true},
    });
}

// Where a number ends: name bytes, dots, and a sign only after an exponent letter.
TEST(JavaNearMiss, NumberEnds)
{
    checkPairs(J, {
        {"upper-case exponent takes its sign", "x = 1E-3;", "x = 1E - 3;", false, 1, 5, 1, 5},
        {"exponent after a fraction", "x = 1.5e+3;", "x = 1.5e + 3;", false, 1, 5, 1, 5},
        {"exponent after a leading dot", "x = .5e-3;", "x = .5e - 3;", false, 1, 5, 1, 5},
        {"upper-case hex prefix and exponent", "x = 0X1P-3;", "x = 0X1P - 3;", false, 1, 5, 1, 5},
        {"upper-case hex digit E takes no sign", "x = 0XE+1;", "x = 0XE + 1;", true},
        {"a sign after a suffix", "x = 1f-2;", "x = 1f - 2;", true},
        {"a sign after an exponent's digits", "x = 1e5-3;", "x = 1e5 - 3;", true},
        {"a sign after a hex digit", "x = 0x1-3;", "x = 0x1 - 3;", true},
    });
}

// Strings and characters: where they close, and which escapes take the next byte.
TEST(JavaNearMiss, Literals)
{
    checkPairs(J, {
        {"a single quote inside a string", "s = \"'a  b'\";", "s = \"'a b'\";", false, 1, 5, 1, 5},
        {"a double quote inside a character", "c = '\"'; s = \"a  b\";", "c = '\"'; s = \"a b\";", false, 1, 14, 1,
         14},
        {"an escaped quote does not close", "s = \"a\\\" b  c\";", "s = \"a\\\" b c\";", false, 1, 5, 1, 5},
        {"an escaped backslash before the quote", "s = \"a\\\\\"; x  y;", "s = \"a\\\\\"; x y;", true},
        {"a string ends at a line feed", "s = \"ab\n c  d;", "s = \"ab\n c d;", true},
        {"a string ends at a lone CR", "s = \"ab\r c  d;", "s = \"ab\r c d;", true},
        {"a backslash at a line feed", "s = \"a\\\n b  c;", "s = \"a\\\n b c;", true},
        {"a backslash at a lone CR", "s = \"a\\\r b  c;", "s = \"a\\\r b c;", true},
        {"a character ends at its quote", "c = 'a'; x  y;", "c = 'a'; x y;", true},
        {"an empty string then a quote escape", "x = \"\"\\u0022\n  a\n  \"\"\";", "x = \"\" \\u0022\n  a\n  \"\"\";",
         false, 1, 5, 1, 5},
        {"an empty string then code", "x = \"\"; y  z;", "x = \"\"; y z;", true},
    });
}

// Text blocks: the opening line, the closing quotes, the indentation removed
// and the lines that keep theirs.
TEST(JavaNearMiss, TextBlocks)
{
    checkPairs(J, {
        {"blanks after the opening quotes: form feed", "s = \"\"\"\f\n  a\n  \"\"\";", "s = \"\"\"\n  a\n  \"\"\";",
         true},
        {"blanks after the opening quotes: tab", "s = \"\"\"\t\n  a\n  \"\"\";", "s = \"\"\"\n  a\n  \"\"\";", true},
        {"a lone CR after the opening quotes", "s = \"\"\"\r  a\r  \"\"\";", "s = \"\"\"\n  a\n  \"\"\";", true},
        {"no line end after the opening quotes", "s = \"\"\" a  b\"\"\";", "s = \"\"\" a b\"\"\";", false, 1, 5, 1,
         5},
        {"an escaped backslash before the closing quotes", "s = \"\"\"\n  a\\\\\"\"\"; t = \"\"\"\n  b  c\"\"\";",
         "s = \"\"\"\n  a\\\\\"\"\"; t = \"\"\"\n  b c\"\"\";", false, 2, 15, 2, 15},
        {"an escaped quote before the closing quotes", "s = \"\"\"\n  a\\\"\"\"\n  b  c\"\"\";",
         "s = \"\"\"\n  a\\\"\"\"\n  b c\"\"\";", false, 1, 5, 1, 5},
        {"vertical tab is indentation", "s = \"\"\"\n\va\n\v\"\"\";", "s = \"\"\"\n a\n \"\"\";", true},
        {"form feed is indentation", "s = \"\"\"\n\fa\n\f\"\"\";", "s = \"\"\"\n a\n \"\"\";", true},
        {"a tab counts as one blank", "s = \"\"\"\n\t a\n  b\n  \"\"\";", "s = \"\"\"\n  a\n  b\n  \"\"\";", true},
        {"trailing vertical tab", "s = \"\"\"\n  a\v\n  \"\"\";", "s = \"\"\"\n  a\n  \"\"\";", true},
        {"CR LF between lines", "s = \"\"\"\r\n  a\r\n  b\r\n  \"\"\";", "s = \"\"\"\n  a\n  b\n  \"\"\";", true},
        {"a lone CR between lines", "s = \"\"\"\n  a\r  b\n  \"\"\";", "s = \"\"\"\n  a\n  b\n  \"\"\";", true},
        {"a lone CR then a line moved", "s = \"\"\"\n  a\r   b\n  \"\"\";", "s = \"\"\"\n  a\n  b\n  \"\"\";", false, 1,
         5, 1, 5},
        {"a line of blanks counts for nothing", "s = \"\"\"\n    a\n \n    b\"\"\";", "s = \"\"\"\n  a\n\n  b\"\"\";",
         true},
        {"a line after a unit separator keeps its blanks", "s = \"\"\"\n  \x1c" "a\n  \"\"\";",
         "s = \"\"\"\n    \x1c" "a\n    \"\"\";", false, 1, 5, 1, 5},
        {"a line after a unit separator, 0x1f", "s = \"\"\"\n  \x1f" "a\n  \"\"\";",
         "s = \"\"\"\n    \x1f" "a\n    \"\"\";", false, 1, 5, 1, 5},
        {"a line after an ideographic space keeps its blanks", "s = \"\"\"\n  \xe3\x80\x80" "a\n  \"\"\";",
         "s = \"\"\"\n    \xe3\x80\x80" "a\n    \"\"\";", false, 1, 5, 1, 5},
        {"a line after Ogham space keeps its blanks", "s = \"\"\"\n  \xe1\x9a\x80" "a\n  \"\"\";",
         "s = \"\"\"\n    \xe1\x9a\x80" "a\n    \"\"\";", false, 1, 5, 1, 5},
        {"a harmless escape keeps the blanks", "s = \"\"\"\n  \\u0041\n  \"\"\";",
         "s = \"\"\"\n    \\u0041\n    \"\"\";", false, 1, 5, 1, 5},
        {"kept lines keep trailing blanks", "s = \"\"\"\n  \\u0041 \n  \"\"\";", "s = \"\"\"\n  \\u0041\n  \"\"\";",
         false, 1, 5, 1, 5},
        {"a backslash escape in a text block", "s = \"\"\"\n  \\u005c\n  \"\"\"; x;",
         "s = \"\"\"\n  \\u005c\n  \"\"\";  x;", false, 1, 5, 1, 5},
        {"never closed", "s = \"\"\"\n  a  b", "s = \"\"\"\n  a b", false, 1, 5, 1, 5},
        {"four quotes close at the first three", "s = \"\"\"\n  a\"\"\"\"; x;", "s = \"\"\"\n  a\"\"\" \"; x;", true},
    });
}

// Unicode escapes: which ones may change what the compiler reads, by where
// they stand (then the rest compares as written), and which ones are harmless.
TEST(JavaNearMiss, UnicodeEscapes)
{
    checkPairs(J, {
        {"a quote escape in a string", "s = \"\\u0022 + \"a  b\" + \\u0022\";", "s = \"\\u0022 + \"a b\" + \\u0022\";",
         false, 1, 5, 1, 5},
        {"an apostrophe escape in a character", "c = '\\u0027'; x;", "c = '\\u0027';  x;", false, 1, 5, 1, 5},
        {"a backslash escape in a string", "s = \"\\u005c\"; x;", "s = \"\\u005c\";  x;", false, 1, 5, 1, 5},
        {"a line feed escape in a string", "s = \"\\u000a\"; x;", "s = \"\\u000a\";  x;", false, 1, 5, 1, 5},
        {"a CR escape in a string", "s = \"\\u000d\"; x;", "s = \"\\u000d\";  x;", false, 1, 5, 1, 5},
        {"a malformed escape in a string", "s = \"\\u00g1\"; x;", "s = \"\\u00g1\";  x;", false, 1, 5, 1, 5},
        {"a short escape in a string", "s = \"\\u12\"; x;", "s = \"\\u12\";  x;", false, 1, 5, 1, 5},
        {"an escape with many u's", "s = \"\\uuu0022\"; x;", "s = \"\\uuu0022\";  x;", false, 1, 5, 1, 5},
        {"a harmless escape in a string", "s = \"\\u0041\"; x;", "s = \"\\u0041\";  x;", true},
        {"a harmless escape with many u's", "s = \"\\uu0041\"; x;", "s = \"\\uu0041\";  x;", true},
        {"an escaped backslash then u", "s = \"\\\\u0022\"; x;", "s = \"\\\\u0022\";  x;", true},
        {"a CR escape in a line comment", "// \\u000d a = 1;\nb;", "// \\u000d a =  1;\nb;", false, 1, 1, 1, 1},
        {"a malformed escape in a line comment", "// \\u00zz\nb;", "// \\u00zz\n b;", false, 1, 1, 1, 1},
        {"a short escape at the input's end", "x; // \\u00", "x;", false},
        {"a quote escape in a line comment", "// \\u0022\nx;", "x;", true},
        {"a star-slash escape in a line comment", "// \\u002a/\nx;", "x;", true},
        {"a slash escape in a block comment", "/* *\\u002f a b */ c;", "/* *\\u002f ab */ c;", false, 1, 1, 1, 1},
        {"a malformed escape in a block comment", "/* \\u00zz */ a;", "/* \\u00zz */  a;", false, 1, 1, 1, 1},
        {"a line feed escape in a block comment", "/* \\u000a */ a;", "a;", true},
        {"a quote escape in a block comment", "/* \\u0022 */ a;", "a;", true},
        {"an escape in a character", "c = '\\u0041'; x;", "c = '\\u0041';  x;", true},
    });
}

// Comments and text blocks longer than the window: where each ends when it
// is read piece by piece, and the escapes that make the rest one token.
TEST(JavaNearMiss, LongTokens)
{
    const std::string line = "//" + kLong, block = "/*" + kLong, text = "s = \"\"\"\n" + kLong;
    checkPairs(J, {
        {"a long line comment ends at a lone CR", line + "\rb  c;", line + "\rb c;", true},
        {"a long line comment ends at a line feed", line + "\nb  c;", line + "\nb c;", true},
        {"a long line comment holds what follows a CR escape", line + "\\u000d b;", line + "\\u000d  b;", false},
        {"a long line comment with a harmless escape", line + "\\u0041\nb  c;", line + "\\u0041\nb c;", true},
        {"a long block comment ends at its '*/'", block + "*/ a  b;", block + "*/ a b;", true},
        {"a long block comment holds what follows a star escape", block + "\\u002a/ a;", block + "\\u002a/  a;",
         false},
        {"a long text block ends at its quotes", text + "\"\"\"; a  b;", text + "\"\"\"; a b;", true},
        {"a long text block with an escaped quote", text + "\\\"\"\"\n\"\"\"; a  b;", text + "\\\"\"\"\n\"\"\"; a b;",
         true},
        {"a long text block with an escaped backslash", text + "\\\\\"\"\"; a  b;", text + "\\\\\"\"\"; a b;", true},
        {"a long text block holds what follows a quote escape", text + "\\u0022\"\"; a;", text + "\\u0022\"\";  a;",
         false},
    });
}

// --allow braces: which statements a body block may lose its braces around.
TEST(JavaNearMiss, Braces)
{
    const std::string deep48 = repeat("if (c) ", 48), deep49 = repeat("if (c) ", 49);
    checkRewritePairs(J, rewriteBit(Rewrite::Braces), {
        {"a local of a $-named type", "if (c) { $T x = f(); }", "if (c) $T x = f();", false},
        {"a local of a Unicode-named type", "if (c) { \xc3\x89t x = f(); }", "if (c) \xc3\x89t x = f();", false},
        {"a local of an _-named type", "if (c) { _T x = f(); }", "if (c) _T x = f();", false},
        {"an array local", "if (c) { int[] x = f(); }", "if (c) int[] x = f();", false},
        {"a local class after a modifier", "if (c) { final class L {} }", "if (c) final class L {}", false},
        {"an annotated local", "if (c) { @A() var x = f(); }", "if (c) @A() var x = f();", false},
        {"new is no type", "if (c) { x = new T(); }", "if (c) x = new T();", true},
        {"instanceof is no type", "if (c) { b = x instanceof T; }", "if (c) b = x instanceof T;", true},
        {"a call on a name", "if (c) { a.b(); }", "if (c) a.b();", true},
        {"an if with its else inside", "if (a) { if (b) f(); else g(); }", "if (a) if (b) f(); else g();", true},
        {"return with a value", "if (c) { return x; }", "if (c) return x;", true},
        {"throw", "if (c) { throw e; }", "if (c) throw e;", true},
        {"break to a label", "if (c) { break l; }", "if (c) break l;", true},
        {"continue to a label", "if (c) { continue l; }", "if (c) continue l;", true},
        {"assert", "if (c) { assert x; }", "if (c) assert x;", true},
        {"an empty statement", "if (c) { ; }", "if (c) ;", true},
        {"a do-while", "if (a) { do f(); while (c); }", "if (a) do f(); while (c);", true},
        {"a do-while without its ';'", "if (a) { do f(); while (c) x }", "if (a) do f(); while (c) x", false},
        {"a do without while", "if (a) { do f(); }", "if (a) do f();", false},
        {"a do with another word than while", "if (a) { do f(); until (c); }", "if (a) do f(); until (c);", false},
        {"a for", "if (a) { for (;;) f(); }", "if (a) for (;;) f();", true},
        {"a while", "if (a) { while (c) f(); }", "if (a) while (c) f();", true},
        {"a switch", "if (a) { switch (x) { case 1: f(); } }", "if (a) switch (x) { case 1: f(); }", true},
        {"a synchronized block", "if (a) { synchronized (m) { f(); } }", "if (a) synchronized (m) { f(); }", true},
        {"a try with finally", "if (a) { try { f(); } finally { g(); } }", "if (a) try { f(); } finally { g(); }",
         true},
        {"a try with resources", "if (a) { try (R r = o()) { f(); } }", "if (a) try (R r = o()) { f(); }", true},
        {"a try with two catches", "if (a) { try { f(); } catch (E e) { } catch (F e) { } }",
         "if (a) try { f(); } catch (E e) { } catch (F e) { }", true},
        {"a try alone", "if (a) { try { f(); } }", "if (a) try { f(); }", false},
        {"a statement that starts with else", "if (a) { else ; }", "if (a) else ;", false},
        {"a labeled loop", "if (a) { l: for (;;) { f(); } }", "if (a) l: for (;;) { f(); }", true},
        {"a block in a block", "if (a) { { int x; } }", "if (a) { int x; }", true},
        {"an if inside brackets, an else after", "if (a) { while (c) { if (b) f(); } } else g();",
         "if (a) while (c) { if (b) f(); } else g();", true},
        {"an if after a label, an else after", "if (a) { l: if (b) f(); } else g();", "if (a) l: if (b) f(); else g();",
         false},
        {"an else body", "if (a) f(); else { g(); }", "if (a) f(); else g();", true},
        {"a do body", "do { f(); } while (c);", "do f(); while (c);", true},
        {"a body of two statements", "while (c) { f(); g(); }", "while (c) f(); g();", false},
        {"a body in a body", "if (a) { for (;;) { f(); } }", "if (a) for (;;) f();", true},
        {"48 statements deep", "if (a) { " + deep48 + "f(); }", "if (a) " + deep48 + "f();", true},
        {"49 statements deep", "if (a) { " + deep49 + "f(); }", "if (a) " + deep49 + "f();", false},
    });
}

// --allow parens: which parentheses are whole.
TEST(JavaNearMiss, Parens)
{
    checkRewritePairs(J, rewriteBit(Rewrite::Parens), {
        {"-=", "x -= (a);", "x -= a;", true},
        {"*=", "x *= (a);", "x *= a;", true},
        {"/=", "x /= (a);", "x /= a;", true},
        {"%=", "x %= (a);", "x %= a;", true},
        {"&=", "x &= (a);", "x &= a;", true},
        {"|=", "x |= (a);", "x |= a;", true},
        {"^=", "x ^= (a);", "x ^= a;", true},
        {"<<=", "x <<= (a);", "x <<= a;", true},
        {">>=", "x >>= (a);", "x >>= a;", true},
        {">>>=", "x >>>= (a);", "x >>>= a;", true},
        {"== is no assignment", "b = x == (a);", "b = x == a;", false},
        {"empty parentheses", "return ();", "return;", false},
        {"empty parentheses stay whole", "return ();", "return );", false},
        {"a lambda inside a call", "x = (f(() -> 1));", "x = f(() -> 1);", true},
        {"a lambda inside brackets", "x = (a[() -> 1]);", "x = a[() -> 1];", true},
        {"not the whole right-hand side", "x = (a + b) * c;", "x = a + b * c;", false},
        {"not the whole condition", "if ((a = b) == c) f();", "if (a = b == c) f();", false},
        {"while", "while ((a)) f();", "while (a) f();", true},
        {"switch", "switch ((x)) { }", "switch (x) { }", true},
        {"synchronized", "synchronized ((m)) { }", "synchronized (m) { }", true},
        {"for", "for ((x)) f();", "for (x) f();", false},
        {"an if with one pair", "if (a) f();", "if a f();", false},
        {"a condition with a lambda", "if ((() -> 1)) f();", "if (() -> 1) f();", false},
    });
}

// --allow commas: which lists a trailing comma is dropped from.
TEST(JavaNearMiss, Commas)
{
    const std::string open256 = repeat("{", 256), close256 = repeat("}", 256);
    checkRewritePairs(J, rewriteBit(Rewrite::Commas), {
        {"an initializer after a method body", "class A { void f() { g(); } int[] a = {1,}; }",
         "class A { void f() { g(); } int[] a = {1}; }", true},
        {"a nested initializer after a comma", "int[][] a = {{1}, {2,}};", "int[][] a = {{1}, {2}};", true},
        {"an enum constant with a body", "enum E { A { }, }", "enum E { A { } }", true},
        {"enum constants with arguments", "enum E { A(1), B(2), }", "enum E { A(1), B(2) }", true},
        {"an enum after interfaces", "enum E implements I, J { A, }", "enum E implements I, J { A }", true},
        {"an annotation's element value", "@A(v = {1,}) class C {}", "@A(v = {1}) class C {}", true},
        {"a class body", "class C { int a, }", "class C { int a }", false},
        {"a block after parentheses", "f() { a, }", "f() { a }", false},
        {"an array initializer before ';'", "int[] a = {1,;};", "int[] a = {1;};", false},
        {"a block in an initializer", "int[] a = {1, f(() -> { x, })};", "int[] a = {1, f(() -> { x })};", false},
        {"an initializer in a call", "f(new int[] {1,}, a,);", "f(new int[] {1}, a,);", true},
        {"a comma before a non-last element", "int[] a = {1, 2};", "int[] a = {1 2};", false},
        {"256 initializers deep", "a = " + open256 + "1," + close256 + ";", "a = " + open256 + "1" + close256 + ";",
         true},
        {"257 initializers deep", "a = {" + open256 + "1," + close256 + "};", "a = {" + open256 + "1" + close256 + "};",
         false},
    });
}

// --allow numbers: how a literal is keyed.
TEST(JavaNearMiss, Numbers)
{
    const std::string f118(118, 'F'), f119(119, 'F'), l118(118, 'f'), l119(119, 'f');
    checkRewritePairs(J, rewriteBit(Rewrite::Numbers), {
        {"negative exponent", "1e-3", "1e3", false},
        {"exponent sign plus", "1e+3", "1e3", true},
        {"fraction digits", "1.50e1", "15.", true},
        {"trailing zeros", "1.500", "1.5", true},
        {"leading zeros of a float", "09.5", "9.5", true},
        {"zero with an exponent", "0.0", "0e5", true},
        {"a zero after the first hex digit", "0x10", "0x1", false},
        {"hex leading zeros", "0x0F", "0xF", true},
        {"binary leading zeros", "0b0011", "0b11", true},
        {"binary prefix and suffix case", "0B1L", "0b1l", true},
        {"octal with one leading zero", "01", "001", true},
        {"octal long", "017L", "017l", true},
        {"octal long against int", "017L", "017", false},
        {"hex long against int", "0xFFL", "0xFF", false},
        {"digit 8 in an octal number", "08", "0_8", false},
        {"digit 2 in a binary number", "0b2", "0B2", false},
        {"hex digit g", "0xg", "0xG", false},
        {"separator after the hex prefix", "0x_1", "0x1", false},
        {"separator after the binary prefix", "0b_1", "0b1", false},
        {"separator before the dot", "1_.5", "1.5", false},
        {"separator after the dot", "1._5", "1.5", false},
        {"separator before the exponent", "1_e5", "1e5", false},
        {"separator in the exponent", "1e1_0", "1e10", true},
        {"separator after the exponent letter", "1e_5", "1e5", false},
        {"upper-case float suffix", "1F", "1.0f", true},
        {"upper-case double suffix", "1D", "1.0", true},
        {"hex float stays as written", "0x1p3", "0X1P3", false},
        {"hex float with a dot", "0x1.0p0", "0x1p0", false},
        {"a decimal long", "10L", "1_0l", true},
        {"a decimal keeps its zeros", "100", "1", false},
        {"a ten-digit exponent stays as written", "1e1000000000", "10e999999999", false},
        {"a nine-digit exponent", "1e100000000", "10e99999999", true},
        {"120 bytes", "0x" + f118, "0x" + l118, true},
        {"121 bytes stay as written", "0x" + f119, "0x" + l119, false},
    });
}

// --sorted-imports: what a Java import declaration is, and where one stands.
TEST(JavaNearMiss, Imports)
{
    LexOptions sorted;
    sorted.sortedIncludes = true;
    std::vector<PairCase> cases = {
        {"static imports", "import static b.B.x;\nimport static a.A.y;\n",
         "import static a.A.y;\nimport static b.B.x;\n", true},
        {"on-demand imports", "import b.*;\nimport a.*;\n", "import a.*;\nimport b.*;\n", true},
        {"static on demand", "import static b.B.*;\nimport a.A;\n", "import a.A;\nimport static b.B.*;\n", true},
        {"imports inside a class body", "class C { import b.B; import a.A; }", "class C { import a.A; import b.B; }",
         false, 1, 18, 1, 18},
        {"an import that follows no ';'", "package p import b.B; import a.A;", "package p import a.A; import b.B;",
         false, 1, 18, 1, 18},
        {"two dots in a row", "import b..B;\nimport a.A;\n", "import a.A;\nimport b..B;\n", false, 1, 8, 1, 8},
        {"a dot before .*", "import b..*;\nimport a.A;\n", "import a.A;\nimport b..*;\n", false, 1, 8, 1, 8},
        {"a dot first", "import .b;\nimport a.A;\n", "import a.A;\nimport .b;\n", false, 1, 8, 1, 8},
        {"a dot last", "import b.;\nimport a.A;\n", "import a.A;\nimport b.;\n", false, 1, 8, 1, 8},
        {"two names in a row", "import b.B C;\nimport a.A;\n", "import a.A;\nimport b.B C;\n", false, 1, 8, 1, 8},
        {"static twice", "import static static b.B;\nimport a.A;\n", "import a.A;\nimport static static b.B;\n",
         false, 1, 8, 1, 8},
        {"static alone", "import static;\nimport a.A;\n", "import a.A;\nimport static;\n", false, 1, 8, 1, 8},
        {"a bracket", "import b.B[];\nimport a.A;\n", "import a.A;\nimport b.B[];\n", false, 1, 8, 1, 8},
    };
    for (PairCase &c : cases)
        c.options = sorted;
    checkPairs(J, cases);
}

} // namespace

// Tests of the Java lexer: pairs that must be equal or differ, text blocks,
// the '>' rule, Unicode escapes, and javac's own scanner as a reference on the
// JDK's sources, plain and through clang-format and astyle.

namespace {

TEST(JavaLexer, LayoutOnlyIsEqual)
{
    checkPairs(J, {
        {"re-indented", "class A {\n  int f() { return 1; }\n}\n", "class A\n{\n\tint f()\n\t{\n\t\treturn 1;\n\t}\n}", true},
        {"comments", "a = b; // one\n/* two */ c();", "a = b;\nc();", true},
        {"lone CR and CR LF", "a\rb\r\nc", "a\nb\nc", true},
        {"shift against two closers", "List<List<String>> x;", "List<List<String> > x;", true},
        {"three closers", "A<B<C<D>>> x;", "A<B<C<D> >> x;", true},
        {"unsigned shift split", "x = a >>> b;", "x = a > > > b;", true},
        {"re-indented text block", "s = \"\"\"\n    a\n      b\n    \"\"\";", "s = \"\"\"\n  a\n    b\n  \"\"\";", true},
        {"text block trailing blanks", "s = \"\"\"\n  a  \n  b\"\"\";", "s = \"\"\"\n  a\n  b\"\"\";", true},
        {"text block blank line", "s = \"\"\"\n  a\n   \n  b\n  \"\"\";", "s = \"\"\"\n  a\n\n  b\n  \"\"\";", true},
        {"text block opening blanks and CR LF", "s = \"\"\"  \r\n  a\r\n  \"\"\";", "s = \"\"\"\n  a\n  \"\"\";", true},
        {"text block with tabs", "s = \"\"\"\n\t\ta\n\t\t\"\"\";", "s = \"\"\"\n    a\n    \"\"\";", true},
        {"annotation and method reference", "@Override void f() { g(A :: b); }", "@Override\nvoid f(){g(A::b);}", true},
        {"non-sealed", "non-sealed class A {}", "non-sealed\nclass A {}", true},
        {"reflowed comment words", "/* one two\n * three */ x;", "/*\n * one\n * two three\n */ x;", true, 0, 0, 0, 0,
         J, withComments()},
        {"harmless escape in a comment", "// \\u005Cb\nx;", "x;", true},
    });
}

TEST(JavaLexer, ChangedCodeDiffers)
{
    checkPairs(J, {
        {"names joined", "final int x;", "finalint x;", false, 1, 1, 1, 1},
        {"blank inside a string", "s = \"a b\";", "s = \"ab\";", false, 1, 5, 1, 5},
        {"blank inside a text block line", "s = \"\"\"\n  a b\n  \"\"\";", "s = \"\"\"\n  ab\n  \"\"\";", false, 1, 5, 1, 5},
        {"text block line moved out", "s = \"\"\"\n    a\n    b\n    \"\"\";", "s = \"\"\"\n    a\n  b\n    \"\"\";", false, 1,
         5, 1, 5},
        {"text block closing line moved", "s = \"\"\"\n    a\n    \"\"\";", "s = \"\"\"\n    a\n  \"\"\";", false, 1, 5, 1, 5},
        {"text block line joined", "s = \"\"\"\n  a\n  b\"\"\";", "s = \"\"\"\n  a b\"\"\";", false, 1, 5, 1, 5},
        {"shift assignment stays whole", "x >>= 1;", "x > >= 1;", false, 1, 3, 1, 3},
        {"unsigned shift assignment stays whole", "x >>>= 1;", "x >> >= 1;", false, 1, 3, 1, 3},
        {"greater or equal stays whole", "a >= b;", "a > = b;", false, 1, 3, 1, 3},
        {"lambda arrow", "f(x -> y);", "f(x - > y);", false, 1, 5, 1, 5},
        {"method reference", "f(A::b);", "f(A: :b);", false, 1, 4, 1, 4},
        {"unary minus twice", "y = a - -b;", "y = a--b;", false, 1, 7, 1, 6},
        {"code moved into a comment", "a; b;", "a; // b;", false, 1, 4, 1, 3},
        {"line comment ends at a lone CR", "// c\rb;", "// c b;", false, 1, 6, 1, 1},
        {"hex exponent", "x = 0x1p-3;", "x = 0x1p - 3;", false, 1, 5, 1, 5},
        {"hex digit e is no exponent", "x = 0xE+1;", "x = 0xE+ 1;", true},
        {"decimal exponent", "x = 1e-3;", "x = 1e - 3;", false, 1, 5, 1, 5},
        {"number suffix", "x = 1L;", "x = 1 L;", false, 1, 5, 1, 5},
        {"float", "x = 1.5f;", "x = 1 .5f;", false, 1, 5, 1, 5},
        {"underscores", "x = 1_000;", "x = 1 _000;", false, 1, 5, 1, 5},
        {"char literal", "c = ' ';", "c = '';", false, 1, 5, 1, 5},
        {"non-sealed against a subtraction", "non-sealed class A {}", "non - sealed class A {}", false, 1, 1, 1, 1},
        {"escape that closes a string", "s = \"\\u0022 + x + \\u0022\";", "s = \"\\u0022 +x+ \\u0022\";", false, 1, 5, 1, 5},
        {"escape that ends a line comment", "// \\u000a a = 1;\nb;", "// \\u000a a =  1;\nb;", false, 1, 1, 1, 1},
        {"escape that ends a block comment", "/* \\u002a/ a b */ c;", "/* \\u002a/ ab */ c;", false, 1, 1, 1, 1},
        {"escape in code", "a\\u0062 c;", "a \\u0062 c;", false, 1, 1, 1, 1},
        {"edited comment word", "x; /* one two */", "x; /* one too */", false, 1, 11, 1, 11, J, withComments()},
    });
}

struct KeyCase {
    const char *name;
    std::string input;
    std::vector<std::string> keys;  // Code tokens' keys, in order
};

TEST(JavaLexer, Keys)
{
    const KeyCase cases[] = {
        {"operators by longest match", "a>>>=b<<=c...d::e->f@g", {"a", ">>>=", "b", "<<=", "c", "...", "d", "::", "e", "->", "f", "@", "g"}},
        {"runs of '>'", "a>>>>=b>>c", {"a", ">", ">", ">", ">=", "b", ">", ">", "c"}},
        {"numbers", "0x1.8p+3 1e+5d 0b1010L 017 .5f 1_0.e-2", {"0x1.8p+3", "1e+5d", "0b1010L", "017", ".5f", "1_0.e-2"}},
        {"hex number then plus", "0x1e+2", {"0x1e", "+", "2"}},
        {"names with $ and Unicode", "$a _b \xc3\xa9t\xc3\xa9", {"$a", "_b", "\xc3\xa9t\xc3\xa9"}},
        {"escaped quotes", "\"a\\\"b\" '\\''", {"\"a\\\"b\"", "'\\''"}},
        {"text block with indentation removed", "\"\"\"\n    a\n      b\\n\n    \"\"\"", {"\"\"\"\na\n  b\\n\n\"\"\""}},
        {"text block closing after content", "\"\"\"\n   a\n  b  \"\"\"", {"\"\"\"\n a\nb\"\"\""}},
        {"text block with an escaped closer", "\"\"\"\n  a\\\"\"\"\n  \"\"\"", {"\"\"\"\na\\\"\"\"\n\"\"\""}},
        {"text block with an escape kept as written", "\"\"\"\n  \\u0041\n  \"\"\"", {"\"\"\"\n  \\u0041\n  \"\"\""}},
        {"text block with Unicode at a line start", "\"\"\"\n  \xe3\x80\x80" "a\n  \"\"\"", {"\"\"\"\n  \xe3\x80\x80" "a\n  \"\"\""}},
        {"escape in code makes the rest one token", "a; b\\u0063 d;\n e", {"a", ";", "b\\u0063 d;\n e"}},
        {"unterminated string ends at its line", "\"ab\nc", {"\"ab", "c"}},
    };
    for (const KeyCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> keys;
        for (const Tok &t : lexText(c.input, J))
            if (t.kind == TokenKind::Code)
                keys.push_back(t.key);
        EXPECT_EQ(keys, c.keys);
    }
}

TEST(JavaLexer, Places)
{
    const struct {
        const char *name;
        std::string input;
        std::size_t index;
        std::string key;
        std::int64_t line, column;
    } cases[] = {
        {"after a text block", "s = \"\"\"\n  a\r\n  \"\"\"; x", 4, "x", 3, 8},
        {"after a block comment", "/* a\n b */ x", 0, "x", 2, 7},
        {"second '>' of a shift", "a>>b", 2, ">", 1, 3},
        {"after the rest made one token", "a \\u0000\n b", 2, "", 2, 3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Tok> t = lexText(c.input, J);
        ASSERT_LT(c.index, t.size());
        EXPECT_EQ(t[c.index].key, c.key);
        EXPECT_EQ(t[c.index].line, c.line);
        EXPECT_EQ(t[c.index].column, c.column);
    }
}

// Text blocks and comments longer than the window come out as written.
TEST(JavaLexer, LongTokens)
{
    const std::string big(kLexWindowSize + 100, 'x');
    const std::string block = "\"\"\"\n  " + big + "\n  \"\"\"";
    std::vector<Tok> t = lexText("s = " + block + "; y", J);
    ASSERT_EQ(t.size(), 6u);
    EXPECT_TRUE(t[2].key == block);
    EXPECT_EQ(t[4].key, "y");
    EXPECT_EQ(t[4].line, 3);
    t = lexText("/* " + big + " */ z", J);
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[1].key, "z");
    const std::string pad(kLexWindowSize - 2, ' ');
    EXPECT_EQ(lexText(pad + "a>>>b", J)[3].key, ">");
}

constexpr std::size_t kJdkFiles = 30;  // JDK source files sampled, spread over the archive

// The first JDK source archive on this machine (Debian's openjdk-17-source
// first), or "".
std::string jdkSources()
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists("/usr/lib/jvm/java-17-openjdk-amd64/lib/src.zip", ec))
        return "/usr/lib/jvm/java-17-openjdk-amd64/lib/src.zip";
    std::vector<std::string> found;
    for (const auto &e : fs::directory_iterator("/usr/lib/jvm", ec))
        if (fs::exists(e.path() / "lib" / "src.zip", ec))
            found.push_back((e.path() / "lib" / "src.zip").string());
    std::sort(found.begin(), found.end());
    return found.empty() ? "" : found.front();
}

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// Extracts kJdkFiles .java files spread over zip, and a few that hold text
// blocks, into dir/before (flat); returns their names.
std::vector<std::string> extractSample(const std::string &zip, const ScratchDir &dir)
{
    const std::string list = dir.file("list");
    if (std::system(("unzip -Z1 '" + zip + "' > '" + list + "'").c_str()) != 0)
        return {};
    std::vector<std::string> java;
    for (const std::string &l : lines(readFile(list)))
        if (l.size() > 5 && l.compare(l.size() - 5, 5, ".java") == 0)
            java.push_back(l);
    std::sort(java.begin(), java.end());
    std::vector<std::string> picked = {"java.base/sun/security/ssl/Alert.java", "java.base/sun/security/ssl/ServerHello.java",
                                       "java.base/java/lang/invoke/VarHandles.java"};
    for (std::size_t k = 0; k < java.size(); k += java.size() / kJdkFiles + 1)
        picked.push_back(java[k]);
    std::string command = "unzip -qq -o '" + zip + "'";
    for (const std::string &p : picked)
        command += " '" + p + "'";
    std::system((command + " -d '" + dir.file("tree") + "' >/dev/null 2>&1").c_str());
    std::vector<std::string> names;
    makeDir(dir.file("before"));
    for (const std::string &p : picked) {
        std::string name = p;
        std::replace(name.begin(), name.end(), '/', '_');
        const std::string text = readFile(dir.file("tree/" + p));
        if (!text.empty() && std::find(names.begin(), names.end(), name) == names.end()) {
            writeFile(dir.file("before/" + name), text);
            names.push_back(name);
        }
    }
    return names;
}

// javac's tokens of each file, as tests/java/JavacTokens.java prints them,
// with ">>" and ">>>" split as the lexer splits them; empty when java fails.
std::vector<std::vector<std::string>> javacTokens(const std::vector<std::string> &paths, const ScratchDir &dir)
{
    std::string command = "java --add-exports jdk.compiler/com.sun.tools.javac.parser=ALL-UNNAMED "
                          "--add-exports jdk.compiler/com.sun.tools.javac.util=ALL-UNNAMED '" MATCHLING_EXAMPLES
                          "/../tests/java/JavacTokens.java'";
    for (const std::string &p : paths)
        command += " '" + p + "'";
    if (std::system((command + " > '" + dir.file("javac.out") + "' 2>/dev/null").c_str()) != 0)
        return {};
    std::vector<std::vector<std::string>> out;
    for (const std::string &l : lines(readFile(dir.file("javac.out")))) {
        if (l == "<file>")
            out.emplace_back();
        else if (!out.empty() && (l == ">>" || l == ">>>"))
            out.back().insert(out.back().end(), l.size(), ">");
        else if (!out.empty())
            out.back().push_back(l);
    }
    return out.size() == paths.size() ? out : std::vector<std::vector<std::string>>{};
}

// Our Code tokens' keys of the file at path, line feeds written as "\n",
// "non-sealed" as javac's three tokens.
std::vector<std::string> ourTokens(const std::string &path)
{
    std::vector<std::string> out;
    for (const Tok &t : lexFile(path, J)) {
        if (t.kind != TokenKind::Code)
            continue;
        if (t.key == "non-sealed") {
            out.insert(out.end(), {"non", "-", "sealed"});
            continue;
        }
        std::string key;
        for (char c : t.key)
            key += c == '\n' ? std::string("\\n") : std::string(1, c);
        out.push_back(key);
    }
    return out;
}

bool haveJavaTools()
{
    return haveTool("java") && haveTool("unzip");
}

// Our tokens against javac's scanner on JDK sources.
TEST(JavaLexerTools, AgreesWithJavac)
{
    const std::string zip = jdkSources();
    if (zip.empty() || !haveJavaTools())
        GTEST_SKIP() << "no JDK source archive (openjdk-17-source), java or unzip on this machine";
    ScratchDir dir;
    std::vector<std::string> names = extractSample(zip, dir), paths;
    ASSERT_FALSE(names.empty());
    for (const std::string &n : names)
        paths.push_back(dir.file("before/" + n));
    std::vector<std::vector<std::string>> javac = javacTokens(paths, dir);
    ASSERT_EQ(javac.size(), paths.size()) << "javac's scanner did not run";
    for (std::size_t k = 0; k < paths.size(); ++k) {
        SCOPED_TRACE(names[k]);
        EXPECT_EQ(ourTokens(paths[k]), javac[k]);
    }
}

// Index of the first token where a and b differ; -1 when none.
long firstDiff(const std::vector<std::string> &a, const std::vector<std::string> &b)
{
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i])
            return static_cast<long>(i);
    return a.size() == b.size() ? -1 : static_cast<long>(std::min(a.size(), b.size()));
}

// Edits that change only blanks: each is a program change or not as javac's
// tokens say. Returns the edited text, or "" when the edit finds no place.
std::string joinWords(const std::string &t)
{
    std::size_t at = t.find("static final ");
    return at == std::string::npos ? "" : t.substr(0, at + 6) + t.substr(at + 7);
}

std::string blankIntoString(const std::string &t)
{
    for (std::size_t at = t.find("= \""); at != std::string::npos; at = t.find("= \"", at + 1))
        if (std::isalpha(static_cast<unsigned char>(t[at + 3])))
            return t.substr(0, at + 3) + " " + t.substr(at + 3);
    return "";
}

// The first text block with a blank put inside its first content line
// (inside is true), or with every content line and its closing line indented
// by two more blanks; "" when there is none.
std::string editTextBlock(const std::string &t, bool inside)
{
    const std::size_t open = t.find("\"\"\"\n");
    if (open == std::string::npos)
        return "";
    const std::size_t first = open + 4, close = t.find("\"\"\"", first);
    if (inside) {
        std::size_t word = t.find_first_not_of(' ', first);
        return t.substr(0, word + 1) + " " + t.substr(word + 1);
    }
    std::string out = t.substr(0, first);
    std::size_t at = first;
    for (; at <= close; at = t.find('\n', at) + 1)
        out += "  " + t.substr(at, t.find('\n', at) + 1 - at);
    return out + t.substr(at);
}

// clang-format and astyle on JDK sources, and edits of blanks: the utility
// calls a pair equivalent exactly when javac's tokens are the same, and names
// javac's first differing token otherwise.
// text, a line end shown as "\\n", without the blanks after each line end.
std::string withoutIndentation(const std::string &text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text.compare(i, 2, "\\n") == 0) {
            out += 'n';
            for (i += 2; i < text.size() && (text[i] == ' ' || text[i] == '\t'); ++i) {
            }
            --i;
        }
    }
    return out;
}

TEST(JavaLexerTools, FormattersAndBlankEditsOnJdkSources)
{
    const std::string zip = jdkSources();
    if (zip.empty() || !haveJavaTools())
        GTEST_SKIP() << "no JDK source archive (openjdk-17-source), java or unzip on this machine";
    ScratchDir dir;
    std::vector<std::string> names = extractSample(zip, dir);
    ASSERT_FALSE(names.empty());
    std::vector<std::pair<std::string, std::string>> commands;
    if (haveTool("clang-format"))
        for (const char *style : {"Google", "Mozilla"})
            commands.push_back({style, std::string("clang-format --style=") + style + " --assume-filename=X.java"});
    if (haveTool("astyle"))
        commands.push_back({"astyle", "astyle --mode=java --style=allman"});
    std::vector<std::string> pairs;  // "folder/name"
    for (const auto &c : commands) {
        makeDir(dir.file(c.first));
        for (const std::string &n : names) {
            std::string to = dir.file(c.first + "/" + n);
            if (std::system((c.second + " < '" + dir.file("before/" + n) + "' > '" + to + "' 2>/dev/null").c_str()) == 0)
                pairs.push_back(c.first + "/" + n);
        }
    }
    makeDir(dir.file("edits"));
    for (const std::string &n : names) {
        const std::string text = readFile(dir.file("before/" + n));
        const std::string edits[] = {joinWords(text), blankIntoString(text), editTextBlock(text, true),
                                     editTextBlock(text, false)};
        for (std::size_t e = 0; e < 4; ++e)
            if (!edits[e].empty()) {
                writeFile(dir.file("edits/" + std::to_string(e) + n), edits[e]);
                pairs.push_back("edits/" + std::to_string(e) + n);
            }
    }
    std::vector<std::string> paths;
    for (const std::string &n : names)
        paths.push_back(dir.file("before/" + n));
    for (const std::string &p : pairs)
        paths.push_back(dir.file(p));
    std::vector<std::vector<std::string>> javac = javacTokens(paths, dir);
    ASSERT_EQ(javac.size(), paths.size()) << "javac's scanner did not run";
    std::map<std::string, std::pair<int, int>> counts;  // by folder: unchanged, changed
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        const std::string &p = pairs[k];
        std::string name = p.substr(p.find('/') + 1);
        if (p.compare(0, 6, "edits/") == 0)
            name = name.substr(1);
        SCOPED_TRACE(p);
        const std::size_t original = static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
        const std::vector<std::string> &a = javac[original], &b = javac[names.size() + k];
        long d = firstDiff(a, b);
        RunResult r = runMatchling({"before/" + name, p, "--tokens", "--exit-status"}, dir.path());
        EXPECT_EQ(r.status, d < 0 ? 0 : 1) << r.out;
        std::pair<int, int> &count = counts[p.substr(0, p.find('/'))];
        if (d < 0) {
            ++count.first;
            continue;
        }
        ++count.second;
        std::string named = "Matchling==> Token from before/" + name + " '";
        std::size_t at = r.out.find(named);
        ASSERT_NE(at, std::string::npos) << r.out;
        std::string token = static_cast<std::size_t>(d) < a.size() ? a[static_cast<std::size_t>(d)] : "";
        if (token == "<error>" || (static_cast<std::size_t>(d) < b.size() && b[static_cast<std::size_t>(d)] == "<error>"))
            continue;  // the edit broke a token: javac names no token to compare with
        // The report shows the token as the file spells it, a text block with
        // the indentation javac takes off; a long one around where it differs.
        const std::size_t from = at + named.size();
        std::string shown = withoutIndentation(r.out.substr(from, r.out.find("' \n", from) - from));
        token = withoutIndentation(token);
        const bool excerpt =
            r.out.compare(r.out.find('\n', from) + 1, 30, "Matchling==> Difference at line") == 0;
        if (excerpt) {
            shown = shown.substr(std::min(shown.find_first_not_of(" \t"), shown.size()), 40);
            EXPECT_NE(token.find(shown), std::string::npos) << "javac's first changed token: " << token << "\n" << r.out;
            continue;
        }
        shown = shown.substr(0, 60);
        EXPECT_EQ(token.compare(0, shown.size(), shown), 0) << "javac's first changed token: " << token << "\n" << r.out;
    }
    for (const auto &c : counts)
        std::printf("%s: %d pairs with javac's tokens unchanged, %d changed\n", c.first.c_str(), c.second.first,
                    c.second.second);
}

} // namespace

// Java's accepted rewrites: braces, parentheses, trailing commas, numbers, each
// as a table of pairs that must compare equal or must differ under --allow,
// both ways round; and astyle and clang-format on the JDK's own sources with
// javac as the judge (the class files compared).

namespace {

const RewriteSet kAll = 0xff;

void checkTable(std::vector<PairCase> cases, RewriteSet allow = kAll)
{
    checkRewritePairs(Language::Java, allow, std::move(cases));
}

TEST(JavaRewrites, Braces)
{
    checkTable({
        {"if", "if (c) { f(); }", "if (c) f();", true},
        {"if and else", "if (c) { f(); } else { g(); }", "if (c) f(); else g();", true},
        {"for", "for (int i = 0; i < n; i++) { s += i; }", "for (int i = 0; i < n; i++) s += i;", true},
        {"while", "while (x != null) { x = x.next; }", "while (x != null) x = x.next;", true},
        {"do", "do { i++; } while (i < 3);", "do i++; while (i < 3);", true},
        {"else if", "if (a) f(); else { if (b) g(); }", "if (a) f(); else if (b) g();", true},
        {"an if with nothing after", "if (a) { if (b) f(); }", "if (a) if (b) f();", true},
        {"try", "if (a) { try { f(); } catch (E e) { g(); } }", "if (a) try { f(); } catch (E e) { g(); }", true},
        {"dangling else", "if (a) { if (b) f(); } else g();", "if (a) if (b) f(); else g();", false},
        {"dangling else, deeper", "if (a) while (c) { if (b) f(); } else g();",
         "if (a) while (c) if (b) f(); else g();", false},
        {"a local variable", "if (c) { int x = f(); }", "if (c) int x = f();", false},
        {"a generic local", "if (c) { List<T> x = f(); }", "if (c) List<T> x = f();", false},
        {"a local class", "if (c) { class L {} }", "if (c) class L {}", false},
        {"two statements", "if (c) { f(); g(); }", "if (c) f(); g();", false},
        {"a lambda body", "r = () -> { f(); };", "r = () -> f();", false},
        {"a switch rule", "switch (x) { case 1 -> { f(); } }", "switch (x) { case 1 -> f(); }", false},
    });
}

TEST(JavaRewrites, Parens)
{
    checkTable({
        {"return value", "return (a + b);", "return a + b;", true},
        {"right-hand side", "x = (a * b);", "x = a * b;", true},
        {"compound assignment", "x += (a);", "x += a;", true},
        {"condition", "if ((a == b)) f();", "if (a == b) f();", true},
        {"not the whole value", "return (a) - b;", "return a - b;", false},
        {"a cast", "x = (int) y;", "x = int y;", false},
        {"a lambda", "x = (() -> 1);", "x = () -> 1;", false},
        {"an argument", "f((a));", "f(a);", false},
    });
}

TEST(JavaRewrites, TrailingCommas)
{
    checkTable({
        {"enum constants", "enum E { A, B, }", "enum E { A, B }", true},
        {"enum constants before a body", "enum E { A, B,; int x; }", "enum E { A, B; int x; }", true},
        {"array initializer", "int[] a = {1, 2,};", "int[] a = {1, 2};", true},
        {"array creation", "a = new int[] {1,};", "a = new int[] {1};", true},
        {"nested initializers", "int[][] a = {{1,}, {2},};", "int[][] a = {{1}, {2}};", true},
        {"arguments", "f(a, b,);", "f(a, b);", false},
        {"an enum body's fields", "enum E { A; int x, }", "enum E { A; int x }", false},
    });
}

TEST(JavaRewrites, Numbers)
{
    checkTable({
        {"hex prefix and digits", "0XFF", "0xff", true},
        {"long suffix", "1L", "1l", true},
        {"exponent", "1E5", "1e5", true},
        {"float suffix", "1.0F", "1.0f", true},
        {"separators", "1_000_000", "1000000", true},
        {"double spelling", "1.5e1", "15.0", true},
        {"double suffix", "1d", "1.0", true},
        {"leading dot", ".5", "0.5", true},
        {"octal separators", "0_17", "017", true},
        {"octal is not decimal", "017", "17", false},
        {"int against long", "1", "1L", false},
        {"float against double", "1.0f", "1.0", false},
        {"int against double", "1e5", "100000", false},
        {"misplaced separator", "1_", "1", false},
        {"radixes", "0x10", "16", false},
    });
}

TEST(JavaRewrites, OnlyTheNamedRewrites)
{
    checkTable({{"braces alone", "if (c) { f(); }", "if (c) f();", true},
                {"no numbers", "0XFF", "0xff", false},
                {"no commas", "int[] a = {1, 2,};", "int[] a = {1, 2};", false}},
               rewriteBit(Rewrite::Braces));
}

// Standard output of command, by way of a file in dir; empty when it fails.
std::string capture(const ScratchDir &dir, const std::string &command)
{
    const std::string out = dir.file("captured");
    if (std::system((command + " >'" + out + "' 2>/dev/null").c_str()) != 0)
        return "";
    return readFile(out);
}

// The names in directory path, sorted.
std::vector<std::string> listFiles(const ScratchDir &dir, const std::string &path)
{
    std::vector<std::string> names;
    const std::string text = capture(dir, "ls '" + path + "'");
    for (std::size_t i = 0, nl; (nl = text.find('\n', i)) != std::string::npos; i = nl + 1)
        names.push_back(text.substr(i, nl - i));
    return names;
}

// A JDK whose sources and javac both are here; empty when none.
std::string jdkWithSources(const ScratchDir &dir)
{
    const std::string found = capture(
        dir, "for z in /usr/lib/jvm/*/lib/src.zip; do d=${z%/lib/src.zip}; "
             "test -f \"$z\" && test -x \"$d/bin/javac\" && echo \"$d\"; done | sort | head -1");
    return found.empty() ? "" : found.substr(0, found.find('\n'));
}

// Compiles every source of tree (java/util/*.java, in java.base) at once into
// classes; returns the names of those javac rejects, and compiles the others
// again when there are some.
std::set<std::string> compile(const ScratchDir &dir, const std::string &jdk, const std::string &tree,
                              const std::string &classes)
{
    std::set<std::string> rejected;
    for (int round = 0; round < 2; ++round) {
        std::string files;
        for (const std::string &f : listFiles(dir, dir.file(tree + "/java/util")))
            if (!rejected.count(f))
                files += " '" + tree + "/java/util/" + f + "'";
        std::system(("cd '" + dir.path() + "' && rm -rf " + classes + " && mkdir " + classes).c_str());
        const std::string log = capture(dir, "{ cd '" + dir.path() + "' && '" + jdk +
                                                 "/bin/javac' -g:none -nowarn -XDignore.symbol.file --patch-module "
                                                 "java.base=" + tree + " -implicit:none -d " + classes + files +
                                                 " 2>&1; true; }");
        std::size_t before = rejected.size();
        for (std::size_t i = 0; (i = log.find(".java:", i)) != std::string::npos; ++i) {
            std::size_t start = log.rfind('/', i) + 1;
            rejected.insert(log.substr(start, i + 5 - start));
        }
        if (rejected.size() == before)
            break;
    }
    return rejected;
}

// javap's listing of the compiled classes, by the top-level class they belong to.
std::map<std::string, std::string> listings(const ScratchDir &dir, const std::string &jdk, const std::string &classes)
{
    std::map<std::string, std::string> out;
    const std::string text = capture(dir, "cd '" + dir.path() + "' && '" + jdk + "/bin/javap' -c -p -constants " +
                                              classes + "/java/util/*.class");
    std::string current;
    for (std::size_t i = 0, nl; (nl = text.find('\n', i)) != std::string::npos; i = nl + 1) {
        const std::string line = text.substr(i, nl - i);
        std::size_t at = line.find(" java.util.");
        if (!line.empty() && line[0] != ' ' && line[0] != '}' && at != std::string::npos &&
            (line.compare(0, at, "class") == 0 || line.find("class ") != std::string::npos ||
             line.find("interface ") != std::string::npos || line.find("enum ") != std::string::npos ||
             line.find("record ") != std::string::npos)) {
            std::size_t end = line.find_first_of("$<{ ", at + 11);
            current = line.substr(at + 11, end - at - 11);
        }
        out[current] += line + "\n";
    }
    return out;
}

constexpr int kJavaSources = 24;  // JDK sources of java.util taken, spread over them

// astyle (braces added, braces removed) and clang-format on the JDK's sources
// of java.util; javac compiles each tree as part of java.base, and --allow all
// must call equivalent exactly the pairs whose classes are the same.
TEST(JavaRewritesTools, FormattersJudgedByJavac)
{
    if (!haveTool("astyle") || !haveTool("unzip"))
        GTEST_SKIP() << "astyle or unzip is not installed";
    ScratchDir dir;
    const std::string jdk = jdkWithSources(dir);
    if (jdk.empty())
        GTEST_SKIP() << "no JDK with its sources (src.zip) and javac";
    if (std::system(("cd '" + dir.path() + "' && unzip -q '" + jdk + "/lib/src.zip' 'java.base/java/util/*' -d zip" +
                     " && mkdir -p t0/java/util && ls zip/java.base/java/util/*.java | awk 'NR % 5 == 1' | head -" +
                     std::to_string(kJavaSources) + " | xargs -I{} cp {} t0/java/util/")
                        .c_str()) != 0)
        GTEST_SKIP() << "the JDK's src.zip holds no java.util sources";
    std::vector<std::string> formatters = {"astyle --mode=java --add-braces --quiet",
                                           "astyle --mode=java --remove-braces --quiet",
                                           "astyle --mode=java --style=google --add-braces --quiet"};
    if (haveTool("clang-format"))
        formatters.push_back("clang-format --style='{BasedOnStyle: Google, ColumnLimit: 60}' --sort-includes=0 "
                             "--assume-filename=A.java");
    const std::set<std::string> rejected = compile(dir, jdk, "t0", "c0");
    const std::map<std::string, std::string> original = listings(dir, jdk, "c0");
    int outputs = 0, same = 0, accepted = 0, residue = 0, misses = 0;
    for (std::size_t k = 0; k < formatters.size(); ++k) {
        const std::string tree = "t" + std::to_string(k + 1), classes = "c" + std::to_string(k + 1);
        makeDir(dir.file(tree));
        makeDir(dir.file(tree + "/java"));
        makeDir(dir.file(tree + "/java/util"));
        for (const std::string &f : listFiles(dir, dir.file("t0/java/util")))
            std::system(("cd '" + dir.path() + "' && " + formatters[k] + " <t0/java/util/" + f + " >" + tree +
                         "/java/util/" + f + " 2>/dev/null")
                            .c_str());
        const std::set<std::string> broken = compile(dir, jdk, tree, classes);
        const std::map<std::string, std::string> formatted = listings(dir, jdk, classes);
        for (const std::string &f : listFiles(dir, dir.file("t0/java/util"))) {
            SCOPED_TRACE(formatters[k] + " " + f);
            const std::string a = "t0/java/util/" + f, b = tree + "/java/util/" + f, cls = f.substr(0, f.size() - 5);
            if (rejected.count(f) || readFile(dir.file(a)) == readFile(dir.file(b)))
                continue;
            ++outputs;
            const bool sameClasses = !broken.count(f) && original.count(cls) && formatted.count(cls) &&
                                     original.at(cls) == formatted.at(cls);
            RunResult r = runMatchling({a, b, "--tokens", "--allow", "all", "--exit-status"}, dir.path());
            same += sameClasses;
            accepted += sameClasses && r.status == 0;
            residue += sameClasses && r.status != 0;
            misses += !sameClasses && r.status == 0;
            EXPECT_FALSE(!sameClasses && r.status == 0) << "a different program called equivalent";
        }
    }
    std::printf("Java formatters: %d outputs, %d the same to javac, %d accepted, %d residue, %d misses\n", outputs,
                same, accepted, residue, misses);
    EXPECT_EQ(misses, 0);
    EXPECT_EQ(residue, 0);  // measured: none on these sources
    EXPECT_GT(accepted, 0);
}

}  // namespace
