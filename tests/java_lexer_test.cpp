// Tests of the Java lexer: pairs that must be equal or differ, text blocks,
// the '>' rule, Unicode escapes, and javac's own scanner as a reference on the
// JDK's sources, plain and through clang-format and astyle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "lex_support.h"
#include "support.h"

namespace {

const Language J = Language::Java;

LexOptions withComments()
{
    LexOptions o;
    o.comments = true;
    return o;
}

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

} // namespace
