// Kotlin's in-process tests: its near misses, then the lexer judged by
// tree-sitter's Kotlin grammar (KotlinLexerTools).
//
// Kotlin's near misses: for each decision the Kotlin lexer makes, a pair of
// sources that must differ if the decision went wrong and, where it can go
// the other way, a pair that must stay equal.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"

namespace {

LexOptions commentWords()
{
    LexOptions o;
    o.comments = true;
    return o;
}

void checkWith(const LexOptions &options, std::vector<PairCase> cases)
{
    for (PairCase &c : cases)
        c.options = options;
    checkPairs(Language::Kotlin, cases);
}

TEST(KotlinNearMiss, LineEnds)
{
    checkPairs(Language::Kotlin, {
        {"a line end ends a statement", "a\nb", "a b", false},
        {"blank lines are one line end", "a\n\n\n  b", "a\nb", true},
        {"a comment between line ends", "a\n// c\n\nb", "a\nb", true},
        {"a lone CR is a line end", "a\rb", "a b", false},
        {"a lone CR and a LF", "a\rb", "a\nb", true},
        {"CR LF", "a\r\nb", "a\nb", true},
        {"a line end in a block comment ends nothing", "a /*\n*/ b", "a b", true},
        {"a line comment's end counts", "a // c\nb", "a b", false},
        {"the first and last line ends", "\n\na\n\n", "a", true},
        {"inside parentheses", "f(a,\nb\n)", "f(a, b)", true},
        {"inside parentheses, a minus", "f(a\n-b)", "f(a - b)", true},
        {"inside brackets", "x[a\n+ 1]", "x[a + 1]", true},
        {"inside a lambda inside parentheses", "f({ a\nb })", "f({ a b })", false},
        {"inside braces", "{ a\n-b }", "{ a - b }", false},
        {"a line starting with '-'", "val x = a\n-b", "val x = a - b", false},
        {"a line starting with '+'", "val x = a\n+b", "val x = a + b", false},
        {"a line starting with '('", "val x = f\n(b)", "val x = f(b)", false},
        {"a line starting with '['", "val x = f\n[b]", "val x = f[b]", false},
        {"a lambda on the next line", "foo()\n{ }", "foo() { }", false},
        {"after a binary operator", "val x = a +\nb", "val x = a + b", true},
        {"after a minus", "val x = a -\nb", "val x = a - b", true},
        {"after '='", "val x =\n5", "val x = 5", true},
        {"after a comma", "enum class E { A,\nB }", "enum class E { A, B }", true},
        {"after a dot", "a.\nb()", "a.b()", true},
        {"after ?.", "a?.\nb()", "a?.b()", true},
        {"after ->", "{ x ->\nx }", "{ x -> x }", true},
        {"after '{'", "fun f() {\na }", "fun f() { a }", true},
        {"after ';'", "a;\nb", "a; b", true},
        {"after &&", "a &&\nb", "a && b", true},
        {"after ?:", "a ?:\nb", "a ?: b", true},
        {"after ':'", "val x:\nInt", "val x: Int", true},
        {"after ..", "0..\n9", "0..9", true},
        {"after ..<", "0..<\n9", "0..<9", true},
        {"after '<'", "a <\nb", "a < b", true},
        {"after >=", "a >=\nb", "a >= b", true},
        {"after !", "!\nb", "!b", true},
        {"after ::", "A::\nb", "A::b", true},
        {"after as", "a as\nB", "a as B", true},
        {"after as?", "a as?\nB", "a as? B", true},
        {"after is", "a is\nB", "a is B", true},
        {"after !is", "a !is\nB", "a !is B", true},
        {"after in", "a in\nb", "a in b", true},
        {"after !in", "a !in\nb", "a !in b", true},
        {"after a comment after an operator", "a + // c\nb", "a + b", true},
        {"after '*': an import's star", "import a.*\nb", "import a.* b", false},
        {"after '>': a type's end", "val x: List<Int>\nb", "val x: List<Int> b", false},
        {"after '?': a nullable type", "val x: Int?\nb", "val x: Int? b", false},
        {"after ++", "a++\nb", "a++ b", false},
        {"after !!", "a!!\nb", "a!! b", false},
        {"after a name", "a\n-b", "a -b", false},
        {"after ')'", "f()\n-b", "f() -b", false},
        {"after a string", "\"s\"\n-b", "\"s\" -b", false},
        {"after return", "return\nx", "return x", false},
        {"after return@label", "return@l\nx", "return@l x", false},
        {"after break", "break\nx", "break x", false},
        {"after continue", "continue\nx", "continue x", false},
        {"after an annotation, before a name", "@A\nfun f()", "@A fun f()", true},
        {"after an annotation, before an annotation", "@A\n@B\nclass C", "@A @B class C", true},
        {"after an annotation's arguments", "@A(f(1))\nfun g()", "@A(f(1)) fun g()", true},
        {"after a file annotation", "@file:JvmName(\"A\")\n\npackage a", "@file:JvmName(\"A\") package a", true},
        {"after a qualified annotation", "@a.B\nval x = 1", "@a.B val x = 1", true},
        {"after an annotation, before '('", "@A\n(x)", "@A(x)", false},
        {"after an annotation, before a string", "@A\n\"x\"", "@A \"x\"", false},
        {"after an annotation, before '-'", "x = @A\n-1", "x = @A -1", false},
        {"after an annotation's type arguments", "@A<B>\nfun f()", "@A<B> fun f()", false},
        {"after a call, which is no annotation", "f(1)\ng()", "f(1) g()", false},
        {"after an annotated declaration", "@A\nfun f()\ng()", "@A fun f() g()", false},
        {"after a name after an annotation's dot", "@a.B\nc", "@a.B c", true},
        {"after a dot and a name", "a.B\nc", "a.B c", false},
        {"after a name called asx", "asx\nB", "asx B", false},
        {"before '.'", "a\n.b()", "a.b()", true},
        {"before ?.", "a\n?.b()", "a?.b()", true},
        {"before ?:", "a\n?: b", "a ?: b", true},
        {"before &&", "a\n&& b", "a && b", true},
        {"before ||", "a\n|| b", "a || b", true},
        {"before ':'", "class A\n: B()", "class A : B()", true},
        {"before as", "a\nas B", "a as B", true},
        {"before as?", "a\nas? B", "a as? B", true},
        {"before '}'", "{ a\n}", "{ a }", true},
        {"before ';'", "a\n;", "a;", true},
        {"before ..", "a\n..b", "a..b", false},
        {"before ::", "a\n::b", "a::b", false},
        {"before a fraction", "a\n.5", "a .5", false},
        {"before '&'", "a\n& b", "a & b", false},
        {"before '|'", "a\n| b", "a | b", false},
        {"before '?'", "a\n? b", "a ? b", false},
        {"before a name that starts with as", "a\nasx", "a asx", false},
        {"before else", "if (a) b\nelse c", "if (a) b else c", true},
        {"before else in a when's braces", "when (x) { 1 -> if (c) a\nelse -> b }", "when (x) { 1 -> if (c) a else -> b }",
         false},
        {"before else in a lambda in a when", "when (x) { 1 -> run { if (c) a\nelse b } }",
         "when (x) { 1 -> run { if (c) a else b } }", true},
        {"after if", "if\n(a) b()", "if (a) b()", true},
        {"after an if's condition", "if (a)\nb()", "if (a) b()", true},
        {"after a parenthesis inside an if's condition", "if (f(a)\n) b()", "if (f(a)) b()", true},
        {"after a while's condition", "while (a)\n{ b() }", "while (a) { b() }", true},
        {"after a for's head", "for (x in y)\nf(x)", "for (x in y) f(x)", true},
        {"after a do loop's condition", "do { a() } while (b)\nc()", "do { a() } while (b) c()", false},
        {"after a do loop's condition, its while on the next line", "do { a() }\nwhile (b)\nc()",
         "do { a() }\nwhile (b) c()", false},
        {"after a do loop's condition, its body without braces", "do a() while (b)\nc()", "do a() while (b) c()",
         false},
        {"after when", "when\n{ a -> b }", "when { a -> b }", true},
        {"after when's subject", "when (x)\n{ 1 -> a }", "when (x) { 1 -> a }", true},
        {"after do", "do\n{ a() } while (b)", "do { a() } while (b)", true},
        {"after try", "try\n{ a() } finally { }", "try { a() } finally { }", true},
        {"after else", "if (a) b else\nc", "if (a) b else c", true},
        {"after throw", "throw\nE()", "throw E()", true},
        {"after val", "val\nx = 1", "val x = 1", true},
        {"after var", "var\nx = 1", "var x = 1", true},
        {"after class", "class\nA", "class A", true},
        {"after a class literal", "val k = A::class\nb()", "val k = A::class b()", false},
        {"after fun, before its name", "fun\nf() {}", "fun f() {}", true},
        {"after fun, before its type parameters", "fun\n<T> f() {}", "fun <T> f() {}", true},
        {"after a name that starts with fun, before '<'", "val x = funny\n< 3", "val x = funny < 3", false},
        {"after package, before its name", "package\na.b", "package a.b", false},
        {"after import, before its name", "import\na.b", "import a.b", false},
        {"before a lambda after a name", "a.let\n{ b }", "a.let { b }", false},
        {"before a compound assignment", "x\n+= 1", "x += 1", false},
        {"after a compound assignment", "x +=\n1", "x += 1", true},
        {"after a modifier, before fun", "private\nfun f() {}", "private fun f() {}", true},
        {"after a modifier in a class's braces", "class A {\noverride\nfun f() {} }", "class A { override fun f() {} }",
         true},
        {"after a modifier, before a name", "data\nvalue = 3", "data value = 3", false},
        {"after a modifier's word after a dot", "x.private\nfun f() {}", "x.private fun f() {}", false},
        {"after a modifier's word after '='", "val x = private\nfun f() {}", "val x = private fun f() {}", false},
        {"before a function's '='", "fun f(): Int\n= 1", "fun f(): Int = 1", true},
        {"before a property's '='", "val x: Int\n= 1", "val x: Int = 1", true},
        {"before an assignment's '='", "x\n= 1", "x = 1", false},
        {"before '==' after a property", "val x: Int\n== 1", "val x: Int == 1", false},
        {"before '=' after a default value", "fun f(a: Int = 1)\n= a", "fun f(a: Int = 1) = a", true},
        {"before a function's body", "fun f()\n{ a() }", "fun f() { a() }", true},
        {"before a lambda after a function's '='", "fun f() = g()\n{ a() }", "fun f() = g() { a() }", false},
        {"before a lambda after a property", "val x = f()\n{ a() }", "val x = f() { a() }", false},
        {"before a lambda after a property's type", "val x: Int\n{ a() }", "val x: Int { a() }", false},
        {"before a class's body", "class A(val x: Int = 1)\n{ }", "class A(val x: Int = 1) { }", true},
        {"a lambda on the next line, in a lambda after an object expression", "f(object : X)\nrun {\na()\n{ b() } }",
         "f(object : X)\nrun {\na() { b() } }", false},
        {"before by", "val x\nby lazy { 1 }", "val x by lazy { 1 }", true},
        {"after by", "val x by\nlazy { 1 }", "val x by lazy { 1 }", true},
        {"before by after a property's '='", "val x = a\nby(b)", "val x = a by(b)", false},
        {"between import headers", "import a.b\nimport c.d", "import a.b import c.d", true},
        {"after package, before import", "package a\nimport b.c", "package a import b.c", true},
        {"after an import, before a call", "import a.b\nfoo()", "import a.b foo()", false},
        {"after a statement, before a call named import", "a.b\nimport(c)", "a.b import(c)", false},
        {"inside a template's hole", "\"${a\n-b}\"", "\"${a -b}\"", false},
        {"after a template's \"${\"", "\"${\na}\"", "\"${a}\"", true},
        {"after a hole, in a block", "{ \"${a}\"\nb }", "{ \"${a}\" b }", false},
        {"after a closed parenthesis inside braces", "{ f(a)\n-b }", "{ f(a) -b }", false},
    });
    checkWith(commentWords(), {
        {"a line end and comment words", "a\n// c\nb", "a // c\nb", true},
        {"the words' line end counts", "a // c\nb", "a /* c */ b", false},
    });
}

TEST(KotlinNearMiss, Strings)
{
    checkPairs(Language::Kotlin, {
        {"a string's text", "\"a b\"", "\"a  b\"", false},
        {"an escaped quote", "\"a\\\"b\" + c", "\"a\\\"b\"+c", true},
        {"an escaped quote is text", "\"a\\\"b\"", "\"a\\\" b\"", false},
        {"an escaped dollar opens no hole", "\"\\${a }\"", "\"\\${a}\"", false},
        {"a $name template", "\"$a b\"", "\"$a  b\"", false},
        {"a hole's blanks are layout", "\"${ a + b }\"", "\"${a+b}\"", true},
        {"text after a hole", "\"${a} b\"", "\"${a}  b\"", false},
        {"a brace in a hole", "\"${ f { x } } y\"", "\"${f{x}} y\"", true},
        {"a string in a hole", "\"${ m[\"}\"] }\"", "\"${m[\"}\"]}\"", true},
        {"a string in a hole keeps its text", "\"${ m[\"}\"] }\"", "\"${m[\" }\"]}\"", false},
        {"nested holes", "\"${ \"${ a }\" }\"", "\"${\"${a}\"}\"", true},
        {"a raw string's indentation", "\"\"\"\n  a\n\"\"\".trimIndent()", "\"\"\"\n    a\n\"\"\".trimIndent()", false},
        {"a raw string's line ends", "\"\"\"a\nb\"\"\"", "\"\"\"a b\"\"\"", false},
        {"a raw string's CR LF", "\"\"\"a\r\nb\"\"\"", "\"\"\"a\nb\"\"\"", true},
        {"a raw string's backslash is text", "\"\"\"a\\\"\"\" + b", "\"\"\"a\\\"\"\"+b", true},
        {"a raw string ends at the last quote", "\"\"\"a\"\"\"\" b", "\"\"\"a\"\"\" \" b", false},
        {"a raw string's hole", "\"\"\"${ a }\n\"\"\"", "\"\"\"${a}\n\"\"\"", true},
        {"a raw string's text after a hole", "\"\"\"${a} \"\"\"", "\"\"\"${a}\"\"\"", false},
        {"a quote in a raw string", "\"\"\"a\"b\"\"\"", "\"\"\"a\" b\"\"\"", false},
        {"an empty string then a name", "\"\"a", "\"\" a", true},
        {"a backticked template", "\"$`a\"b` c\"", "\"$`a\"b`  c\"", false},
        {"a backticked template holds a quote", "\"$`a\"b`\" + c", "\"$`a\"b`\"+c", true},
        {"a character", "'a' + b", "'a'+b", true},
        {"a character's blank", "' '", "'  '", false},
        {"an escaped quote character", "'\\'' + b", "'\\''+b", true},
        {"a unicode character", "'\\u0041'", "'A'", false},
        {"a backticked name", "`a b`", "`a  b`", false},
        {"a backticked name is one token", "`a b`(x)", "`a b` (x)", true},
    });
}

TEST(KotlinNearMiss, Names)
{
    checkPairs(Language::Kotlin, {
        {"an annotation", "@Test fun f()", "@ Test fun f()", false},
        {"an annotation's blanks before", "@A @B fun f()", "@A  @B  fun  f()", true},
        {"a file annotation", "@file:JvmName(\"A\")", "@file : JvmName ( \"A\" )", true},
        {"an annotation glued to a name", "f@A x", "f @A x", false},
        {"a label", "loop@ for (i in x) {}", "loop @for (i in x) {}", false},
        {"a label before a line end", "loop@\nfor (i in x) {}", "loop@ for (i in x) {}", false},
        {"a label's blank", "loop@ for (i in x) {}", "loop @ for (i in x) {}", false},
        {"a label's blanks after it", "loop@  for (i in x) {}", "loop@ /* c */ for (i in x) {}", true},
        {"a qualified return", "return@f x", "return @f x", false},
        {"a qualified this", "this@A.x", "this @A.x", false},
        {"a qualified return and a backticked label", "return@`f` x", "return@ `f` x", false},
        {"an '@' and a comment", "@/* c */A fun f()", "@A fun f()", false},
        {"an '@' before '['", "@[A B] fun f()", "@ [A B] fun f()", false},
        {"as? is one token", "a as? B", "a as ? B", false},
        {"!in is one token", "a !in b", "a ! in b", false},
        {"!is is one token", "a !is B", "a ! is B", false},
        {"!isx is no !is", "!isx", "! isx", true},
        {"?. is one token", "a?.b", "a? .b", false},
        {"?: is one token", "a ?: b", "a ? : b", false},
        {"!! is one token", "a!!", "a! !", false},
        {"=== is one token", "a === b", "a == = b", false},
        {"!== is one token", "a !== b", "a != = b", false},
        {"..< is one token", "0..<9", "0.. <9", false},
        {"-> is one token", "{ a -> b }", "{ a - > b }", false},
        {":: is one token", "A::b", "A: :b", false},
        {"names join", "a b", "ab", false},
        {"a name beyond ASCII", "val \xc3\xa9 = 1", "val  \xc3\xa9=1", true},
        {"a no-break space is no blank", "a\xc2\xa0" "b", "a b", false},
        {"a vertical tab is no blank", "a\vb", "a b", false},
        {"a form feed is a blank", "a\fb", "a b", true},
    });
}

TEST(KotlinNearMiss, Numbers)
{
    checkPairs(Language::Kotlin, {
        {"a fraction", "1.5", "1. 5", false},
        {"a range", "1..5", "1 .. 5", true},
        {"a call on an integer", "1.toString()", "1 .toString()", true},
        {"a fraction alone", ".5f", ". 5f", false},
        {"an exponent's sign", "1e-5", "1e -5", false},
        {"an exponent after a fraction", "1.5E+3", "1.5E +3", false},
        {"no exponent in hexadecimal", "0x1E+5", "0x1E + 5", true},
        {"separators", "1_000", "1_ 000", false},
        {"a suffix", "10L", "10 L", false},
        {"an unsigned suffix", "10uL", "10u L", false},
        {"a float suffix", "1.5f", "1.5 f", false},
        {"binary", "0b1010", "0b 1010", false},
        {"no fraction after a suffix", "1L.5", "1L .5", true},
    });
}

TEST(KotlinNearMiss, Comments)
{
    checkPairs(Language::Kotlin, {
        {"a comment is layout", "a /* c */ + b", "a + b", true},
        {"comments nest", "/* a /* b */ c */ x", "x", true},
        {"nesting opens at /*", "/* a /* b */ c */ x", "/* a b */ c */ x", false},
        {"KDoc is a comment", "/** a\n * b */\nfun f()", "fun f()", true},
        {"a line comment ends at a lone CR", "a // c\rb", "a", false},
        {"a shebang line is a token", "#!/usr/bin/env kotlin\nx", "x", false},
        {"another shebang line", "#!/usr/bin/env kotlin\nx", "#!/usr/bin/env kotlinc\nx", false},
        {"a byte order mark", "\xef\xbb\xbfx", "x", true},
    });
    checkWith(commentWords(), {
        {"comment words", "/* a b */ x", "/* a  b */ x", true},
        {"comment words differ", "/* a b */ x", "/* a c */ x", false},
        {"nested comment words", "/* a /* b */ c */ x", "/* a b c */ x", true},
        {"a line comment's words end at a lone CR", "a // c\rb", "a // c b", false},
        {"a line comment's CR LF", "a // c d\r\nb", "a // c d\nb", true},
    });
}

// A source whose text at starts after pad blanks, so that it stands cut
// by the window's end.
std::string at(std::size_t pad, const std::string &text)
{
    return std::string(pad, ' ') + text;
}

TEST(KotlinNearMiss, WindowEdges)
{
    const std::string big(kLexWindowSize + 100, 'x');
    const std::size_t edge = kLexWindowSize - kLexLookahead;
    const std::string spaces(kLexWindowSize + 5, ' ');
    checkPairs(Language::Kotlin, {
        {"a raw string past the window, its hole", "\"\"\"" + big + "${ a }\"\"\"", "\"\"\"" + big + "${a}\"\"\"", true},
        {"a raw string past the window, its end", "\"\"\"" + big + "\"\"\" a", "\"\"\"" + big + " \"\"\" a", false},
        {"a string past the window", "\"" + big + "\\\"\" + a", "\"" + big + "\\\"\"+a", true},
        {"a name past the window and its label", big + "@ for", big + " @ for", false},
        {"a comment past the window, then a line end", "a // " + big + "\nb", "a b", false},
        {"a block comment past the window", "a /* " + big + " */ + b", "a + b", true},
        {"a label at the window's edge", at(edge - 3, "loop@ for"), at(edge - 3, "loop @ for"), false},
        {"as? at the window's edge", at(edge - 1, "a as? B"), at(edge - 1, "a as ? B"), false},
        {"a line end before '.' at the window's edge", at(edge, "a\n.b"), at(edge, "a.b"), true},
        {"indentation past the window, before '.'", "a\n" + spaces + ".b", "a.b", true},
        {"indentation past the window, before '-'", "a\n" + spaces + "-b", "a -b", false},
        {"indentation and a tab past the window", "a\n" + spaces + "\t-b", "a\n-b", true},
        {"a number's exponent at the window's edge", at(edge - 2, "1e-5"), at(edge - 2, "1e -5"), false},
        {"a template at the window's edge", at(edge - 3, "\"$`a\"b`\""), at(edge - 3, "\"$`a\" b`\""), false},
    });
}

// Blanks of every length up to past a few runs of eight: layout, with
// nothing after them taken along.
TEST(KotlinNearMiss, BlankRuns)
{
    std::vector<PairCase> cases;
    for (std::size_t n = 1; n <= 40; ++n) {
        const std::string blanks(n, ' ');
        cases.push_back({"blanks between names", "a" + blanks + "bc", "a bc", true});
        cases.push_back({"indentation before '-'", "a\n" + blanks + "-b", "a\n-b", true});
        cases.push_back({"indentation before '-' ends a statement", "a\n" + blanks + "-b", "a -b", false});
    }
    checkPairs(Language::Kotlin, cases);
}

TEST(KotlinNearMiss, Refused)
{
    const std::string deep = std::string(2049, '(') + std::string(2049, ')');
    const std::string fits = std::string(2048, '(') + std::string(2048, ')');
    const struct {
        const char *name;
        std::string text;
        std::string refusal;  // empty: none
    } rows[] = {
        {"an unterminated string", "val s = \"abc\nx", "not valid Kotlin at line 1, column 13"},
        {"a string at the input's end", "val s = \"abc", "not valid Kotlin at line 1, column 13"},
        {"a string's escaped line end", "\"a\\\nb\"", "not valid Kotlin at line 1, column 3"},
        {"an unterminated raw string", "\"\"\"a\nb", "not valid Kotlin at line 2, column 2"},
        {"an unterminated character", "'a", "not valid Kotlin at line 1, column 3"},
        {"an unterminated backticked name", "`a\nb`", "not valid Kotlin at line 1, column 3"},
        {"an unterminated hole", "\"${a", "not valid Kotlin at line 1, column 5"},
        {"an unclosed comment", "x /* a /* b */", "not valid Kotlin at line 1, column 3"},
        {"a closing parenthesis too many", "f())", "not valid Kotlin at line 1, column 4"},
        {"a bracket closed by a brace", "f(}", "not valid Kotlin at line 1, column 3"},
        {"an unclosed brace", "fun f() {", "not valid Kotlin at line 1, column 10"},
        {"brackets nested too deep", deep, "brackets and strings nested too deep to compare"},
        {"brackets nested as deep as they may", fits, ""},
        {"a closed comment", "x /* a /* b */ */", ""},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(refusalOf(row.text, Language::Kotlin), row.refusal);
    }
}

// What matchling made of the pairs of one group of edits, against the
// verdicts of tree-sitter's Kotlin grammar.
struct Tally {
    int same = 0;         // pairs the grammar reads alike
    int falseAlarms = 0;  // of those, pairs called different or not compared
    int changed = 0;      // pairs the grammar reads differently
    int misses = 0;       // of those, pairs called equivalent
};

// The names of the pairs that the run's report, out, lists after prefix.
std::set<std::string> namesAfter(const std::string &out, const std::string &prefix)
{
    std::set<std::string> names;
    for (std::size_t at = out.find(prefix); at != std::string::npos; at = out.find(prefix, at + 1)) {
        const std::size_t from = at + prefix.size();
        names.insert(out.substr(from, out.find_first_of(" \n", from) - from));
    }
    return names;
}

TEST(KotlinLexerTools, TreeSitterJudgesRelayoutsAndTokenEdits)
{
    const std::string npm = std::string(MATCHLING_NPM_TOOLS) + "/../..";
    if (!haveTool("node") || !exists(npm + "/node_modules/web-tree-sitter") ||
        !exists(npm + "/node_modules/tree-sitter-wasms/out/tree-sitter-kotlin.wasm"))
        GTEST_SKIP() << "node and tests/npm's tree-sitter packages are needed (npm ci in tests/npm)";
    ScratchDir dir;
    const std::string data = std::string(MATCHLING_SOURCE_DIR) + "/tests/languages/kotlin";
    ASSERT_EQ(std::system(("node '" + npm + "/kotlin_judge.js' '" + dir.path() + "' '" + data + "'/*").c_str()), 0);
    const RunResult r = runMatchling({"a", "b", "--tokens"}, dir.path());
    const std::set<std::string> different = namesAfter(r.out, "Not equivalent: ");
    const std::set<std::string> refused = namesAfter(r.out, "Unable to compare: ");
    // The groups: edits a formatter makes, line breaks anywhere, token edits.
    const std::map<std::string, std::string> groupOf = {
        {"break", "formatter"}, {"join", "formatter"}, {"blank", "formatter"}, {"tight", "formatter"},
        {"spaced", "formatter"}, {"reindent", "formatter"}, {"anywhere", "anywhere"}, {"joinany", "anywhere"},
        {"rename", "tokens"}, {"joined", "tokens"}, {"content", "tokens"}, {"indent", "tokens"},
        {"number", "tokens"}, {"operator", "tokens"}};
    std::map<std::string, Tally> tallies;
    std::ifstream verdicts(dir.path() + "/verdicts");
    for (std::string name, kind, verdict; verdicts >> name >> kind >> verdict;) {
        ASSERT_EQ(groupOf.count(kind), 1u) << kind;
        Tally &t = tallies[groupOf.at(kind)];
        const bool flagged = different.count(name) > 0 || refused.count(name) > 0;
        if (verdict == "same") {
            ++t.same;
            t.falseAlarms += flagged;
        } else {
            ++t.changed;
            t.misses += !flagged;
            EXPECT_TRUE(flagged) << "miss: " << kind << " " << name;
        }
    }
    for (const auto &[group, t] : tallies)
        std::printf("Kotlin, %s: %d pairs; %d the same, %d false alarms; %d changed, %d misses\n", group.c_str(),
                    t.same + t.changed, t.same, t.falseAlarms, t.changed, t.misses);
    EXPECT_GT(tallies["formatter"].same, 300);
    EXPECT_LE(tallies["formatter"].falseAlarms * 50, tallies["formatter"].same);
    // Line breaks anywhere: where the compiler reads a line end that
    // tree-sitter reads on across, the judge goes by the compiler (a
    // trailing lambda, '+' or '-' on the next line differ; a split assignment
    // or header is left out). What is left: after an infix call's name.
    EXPECT_GT(tallies["anywhere"].same, 100);
    EXPECT_LE(tallies["anywhere"].falseAlarms * 50, tallies["anywhere"].same);
    EXPECT_GT(tallies["tokens"].changed, 300);
    EXPECT_EQ(tallies["tokens"].same, 0);
}

} // namespace
