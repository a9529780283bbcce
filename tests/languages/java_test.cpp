// Java's near misses: for each decision the Java lexer, its rewrite rules and
// its import sorting make, a pair that must differ if the decision went wrong
// and, where it can go the other way, a pair that must stay equal. The rows
// that tests/java_lexer_test.cpp, tests/java_rewrites_test.cpp and
// tests/imports_test.cpp hold already are not repeated here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../lex_support.h"

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
