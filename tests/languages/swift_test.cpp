// Swift's in-process tests: its near misses, its refusals, then the sample
// corpus judged by tree-sitter's Swift grammar.
//
// Near misses of the Swift lexer: for each decision, a pair that must differ
// if it went wrong and, where it can go the other way, a pair that must stay
// equal.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"

namespace {

const Language Swift = Language::Swift;

TEST(SwiftNearMiss, LineEnds)
{
    checkPairs(Swift, {
        {"a line end ends a statement", "a\nb", "a b", false},
        {"blank lines are one line end", "a\n\n\nb", "a\nb", true},
        {"a comment between line ends", "a // x\n/* y */\nb", "a\nb", true},
        {"a block comment over lines is no plain line end", "a /*\n*/ b", "a\nb", false},
        {"nor a blank", "a /*\n*/ b", "a b", false},
        {"a block comment over lines, re-laid", "a /*\n*/ b", "a  /*\n\n*/  b", true},
        {"a block comment over lines and a line end", "a /*\n*/\nb", "a\nb", true},
        {"a block comment over lines where a line end is layout", "f(a /*\n*/ b)", "f(a b)", true},
        {"a dot after a block comment over lines", "a /*\n*/.b", "a\n.b", false},
        {"a lone CR ends a line", "a\rb", "a\nb", true},
        {"a CR LF ends a line", "a\r\nb", "a\nb", true},
        {"line ends before the first token and after the last", "\n\na\n\n", "a", true},
        {"inside parentheses", "f(a,\n  b\n)", "f(a, b)", true},
        {"inside brackets", "[1,\n 2\n]", "[1, 2]", true},
        {"inside parentheses, a name on the next line", "f(a\nb)", "f(a b)", true},
        {"inside braces they count", "{ a\nb }", "{ a b }", false},
        {"a closure inside parentheses", "f({ a\nb })", "f({ a b })", false},
        {"a parenthesis on the next line is no call", "f(a\n(b))", "f(a (b))", false},
        {"a bracket on the next line is no subscript", "[a\n[0]]", "[a [0]]", false},
        {"a brace on the next line is no trailing closure", "f\n{ x }", "f { x }", false},
        {"a parenthesis after a comma", "f(a,\n(b))", "f(a, (b))", true},
        {"after a comma", "let a = 1,\n b = 2", "let a = 1, b = 2", true},
        {"after an opening brace", "if x {\n  y\n}", "if x { y }", true},
        {"before a closing brace", "{ return\n}", "{ return }", true},
        {"after a colon", "case .a:\n  f()", "case .a: f()", true},
        {"after a semicolon", "a;\nb", "a; b", true},
        {"after =", "let x =\n  5", "let x = 5", true},
        {"after ->", "func f() ->\n Int", "func f() -> Int", true},
        {"after a binary operator", "a +\n  b", "a + b", true},
        {"after && with blanks", "a &&\n b", "a && b", true},
        {"after a postfix operator", "a!\nb", "a! b", false},
        {"after a member dot", "a.\nb", "a.b", false},
        {"a member dot at a line's end", "a.\nb", "a.\n  b", true},
        {"a leading-dot chain", "a\n  .b()\n  .c()", "a\n.b()\n.c()", true},
        {"a leading dot against a blank", "a\n.b", "a .b", false},
        {"a leading dot against a bound one", "a\n.b", "a.b", false},
        {"an operator on the next line", "a\n+ b", "a + b", false},
        {"after return", "return\nf()", "return f()", false},
        {"after a name in parentheses inside braces", "f { (a\n b) }", "f { (a b) }", true},
        {"a #if line's line end", "#if DEBUG\nx\n#endif", "#if DEBUG x\n#endif", false},
        {"before a #endif", "#if A\nx\n#endif", "#if A\nx #endif", false},
        {"a #if line ends even after an operator", "#if A ||\nB\n#endif", "#if A || B\n#endif", false},
        {"a #if line after a comma", "[a,\n#if X\nb\n#endif\n]", "[a, #if X\nb\n#endif\n]", false},
        {"a #if line re-indented", "  #if A\n    x\n  #endif", "#if A\nx\n#endif", true},
    });
}

TEST(SwiftNearMiss, Operators)
{
    checkPairs(Swift, {
        {"blanks around a binary operator", "a + b", "a   +  b", true},
        {"spaced and unspaced binary", "a + b", "a+b", false},
        {"a prefix against a binary operator", "a -b", "a - b", false},
        {"a prefix against an unspaced one", "a -b", "a-b", false},
        {"a postfix bang", "a! = b", "a != b", false},
        {"a postfix against a binary bang", "a !b", "a! b", false},
        {"a line end is a blank for an operator", "a +\nb", "a + b", true},
        {"a comment is a blank for an operator", "a/**/+b", "a +b", true},
        {"a comment frees one side", "a/**/+b", "a+b", false},
        {"an opening parenthesis frees the left", "(-a)", "( -a)", true},
        {"a closing one frees the right", "(a-)", "(a- )", true},
        {"a dot after an operator", "a?.b", "a? .b", false},
        {"operators join", "a +- b", "a + - b", false},
        {"an operator stops at a comment", "a +// c\nb", "a + // c\nb", true},
        {"optional chaining", "a?.b", "a ?.b", false},
        {"a ternary", "a ? b : c", "a  ?  b  :  c", true},
        {"a range", "0..<n", "0 ..< n", false},
        {"a range's dots", "0...n", "0..<n", false},
        {"dots on both sides", "a...b", "a ... b", false},
        {"generics", "Array<Int>", "Array<Int >", false},
        {"closing generics", "A<B<C>>", "A<B<C> >", false},
        {"an inout ampersand", "f(&a)", "f( &a )", true},
        {"a dot blank against a line end", "a\n.b", "a\n   .b", true},
        {"a leading dot after =", "x = .b", "x =\n  .b", true},
        {"a leading dot after (", "f(.b)", "f(\n.b)", true},
        {"a leading dot after a name in parentheses", "f(a .b)", "f(a\n.b)", false},
        {"a key path", "\\.a", "\\ .a", false},
    });
}

TEST(SwiftNearMiss, Names)
{
    checkPairs(Swift, {
        {"a blank separates names", "let a", "leta", false},
        {"a backticked name", "`class`", "class", false},
        {"a backticked name is one token", "`a`", "` a `", false},
        {"an anonymous argument", "$0 + $1", "$0+$1", false},
        {"a dollar name", "$0", "$ 0", false},
        {"an attribute", "@objc func f()", "@objc  func  f()", true},
        {"an attribute is one token", "@objc", "@ objc", false},
        {"a directive word is one token", "#available(iOS 13, *)", "# available(iOS 13, *)", false},
        {"a number with separators", "1_000", "1000", false},
        {"a hex float", "0x1p3", "0x1p3", true},
        {"a hex float's exponent sign", "0x1p-3", "0x1p - 3", false},
        {"a hex float's fraction", "0x1.8p1", "0x1 .8p1", false},
        {"a decimal exponent", "1.5e-3", "1.5e - 3", false},
        {"a hex digit e takes no sign", "0x1e-3", "0x1e - 3", false},
        {"a hex digit e, spaced", "0x1e-3", "0x1e -3", false},
        {"a number's dot before a name", "1.description", "1 .description", false},
        {"a tuple member", "t.0", "t. 0", false},
        {"a byte order mark", "\xEF\xBB\xBFlet a", "let a", true},
        {"a shebang line", "#!/usr/bin/swift\nlet a", "#!/usr/bin/env swift\nlet a", false},
    });
}

TEST(SwiftNearMiss, Comments)
{
    checkPairs(Swift, {
        {"a line comment", "a // b\n", "a\n", true},
        {"a doc comment", "/// doc\nfunc f()", "func f()", true},
        {"nested block comments", "a /* x /* y */ z */ b", "a b", true},
        {"a nested comment's end", "a /* x /* y */ b", "a b", false},
        {"a line comment ends at a lone CR", "a // x\rb", "a // x\rc", false},
    });
}

TEST(SwiftNearMiss, Strings)
{
    checkPairs(Swift, {
        {"a blank in a string", "\"a b\"", "\"a  b\"", false},
        {"an interpolation as written", "\"\\(a + b)\"", "\"\\(a+b)\"", false},
        {"an interpolation with parentheses", "\"\\(f(a)) x\" + y", "\"\\(f(a)) x\"+y", false},
        {"a string inside an interpolation", "\"\\(d[\"k\"]) x\" y", "\"\\(d[\"k\"]) x\"  y", true},
        {"a string inside an interpolation ends there", "\"\\(d[\"k  \"])\"", "\"\\(d[\"k \"])\"", false},
        {"a raw string", "#\"a\\nb\"#", "#\"a\\nb\"#", true},
        {"a raw string's quote", "#\"a\"b\"#", "#\"a\" b\"#", false},
        {"a raw string's interpolation", "#\"\\#(a) x\"# + y", "#\"\\#(a) x\"#+y", false},
        {"a raw string's escape is not an interpolation", "#\"\\(a) x\"#", "#\"\\(a)  x\"#", false},
        {"two hashes", "##\"a\"#b\"##", "##\"a\"#b\"##", true},
        {"hashes before no quote", "##x \"a  b\"", "##x \"a b\"", false},
        {"hashes before no quote are tokens", "##x \"a\"", "##x  \"a\"", true},
        {"hashes before a regular expression", "##/a b/##", "##/a  b/##", false},
        {"an escaped quote", "\"a\\\" b\"", "\"a\\\"  b\"", false},
        {"re-indented multi-line string", "  let s = \"\"\"\n    a\n      b\n    \"\"\"", "let s = \"\"\"\na\n  b\n\"\"\"", true},
        {"a line re-indented alone", "\"\"\"\n  a\n  b\n  \"\"\"", "\"\"\"\n  a\n   b\n  \"\"\"", false},
        {"the closing indentation alone", "\"\"\"\n  a\n  \"\"\"", "\"\"\"\n  a\n \"\"\"", false},
        {"an empty line", "\"\"\"\n  a\n\n  b\n  \"\"\"", "\"\"\"\na\n\nb\n\"\"\"", true},
        {"a blank line at the indentation", "\"\"\"\n  a\n  \n  \"\"\"", "\"\"\"\n  a\n\n  \"\"\"", true},
        {"blanks past the indentation", "\"\"\"\n  a\n   \n  \"\"\"", "\"\"\"\n  a\n\n  \"\"\"", false},
        {"blanks at a line's end", "\"\"\"\na \n\"\"\"", "\"\"\"\na\n\"\"\"", false},
        {"a CR LF in a multi-line string", "\"\"\"\r\n  a\r\n  \"\"\"", "\"\"\"\na\n\"\"\"", true},
        {"a line joined by a backslash", "\"\"\"\n  a\\\n  b\n  \"\"\"", "\"\"\"\na\\\nb\n\"\"\"", true},
        {"a joined line against one line", "\"\"\"\na\\\nb\n\"\"\"", "\"\"\"\nab\n\"\"\"", false},
        {"a raw multi-line string", "#\"\"\"\n  a\"\"\"\n  \"\"\"#", "#\"\"\"\na\"\"\"\n\"\"\"#", true},
        {"code after a multi-line string", "\"\"\"\na\n\"\"\" + b", "\"\"\"\na\n\"\"\"+b", false},
        {"a multi-line string against a line", "\"\"\"\na\n\"\"\"", "\"a\"", false},
        {"tabs as indentation", "\"\"\"\n\ta\n\t\"\"\"", "\"\"\"\na\n\"\"\"", true},
    });
}

TEST(SwiftNearMiss, Regexes)
{
    checkPairs(Swift, {
        {"a bare regular expression keeps its blanks", "let r = /a b/", "let r = /a  b/", false},
        {"a bare regular expression is one token", "f(/a/)", "f( /a/ )", true},
        {"division", "a / b / c", "a  /  b  /  c", true},
        {"unspaced division", "a/b/c", "a/ b/c", false},
        {"a class holds a slash", "let r = /[/] a/", "let r = /[/]  a/", false},
        {"an extended regular expression", "#/a b/#", "#/a  b/#", false},
        {"a multi-line extended one", "#/\n  a\n/#", "#/\n a\n/#", false},
        {"a slash with no second one is an operator", "a = /b", "a =  /b", true},
    });
}

TEST(SwiftNearMiss, CommentWords)
{
    LexOptions words;
    words.comments = true;
    checkPairs({
        {"a comment's words", "a // x y\n", "a // x  y\n", true, 0, 0, 0, 0, Swift, words},
        {"a comment's words differ", "a // x\n", "a // y\n", false, 0, 0, 0, 0, Swift, words},
        {"nested comment words", "a /* x /* y */ z */ b", "a /* x /* y */ z */ b", true, 0, 0, 0, 0, Swift, words},
    });
}

// Sources the lexer refuses, with why.
TEST(SwiftNearMiss, Refused)
{
    const std::string deep(3000, '(');
    const struct {
        const char *name;
        std::string text;
        const char *reason;  // the start of the refusal
    } rows[] = {
        {"an unterminated string", "let a = \"abc\nb", "not valid Swift at line 1, column 9"},
        {"an unterminated string at the end", "let a = \"abc", "not valid Swift at line 1"},
        {"an unterminated block comment", "a /* /* */ b", "not valid Swift at line 1, column 3"},
        {"an unterminated multi-line string", "\"\"\"\na\n", "not valid Swift"},
        {"content on the opening line", "\"\"\"a\n\"\"\"", "not valid Swift"},
        {"a closing delimiter after content", "\"\"\"\na\"\"\"", "not valid Swift"},
        {"a line indented less than the closing", "\"\"\"\n  a\n b\n  \"\"\"", "not valid Swift at line 3, column 1"},
        {"a blank line indented less", "\"\"\"\n  a\n \n  \"\"\"", "not valid Swift at line 3"},
        {"other blanks than the closing's", "\"\"\"\n\ta\n  \"\"\"", "not valid Swift at line 2"},
        {"a lone CR in a multi-line string", "\"\"\"\na\rb\n\"\"\"", "not valid Swift"},
        {"an unterminated raw string", "#\"a\"", "not valid Swift"},
        {"an unterminated extended regular expression", "#/a", "not valid Swift"},
        {"brackets nested too deep", deep, "brackets nested too deep"},
        {"a line end in an interpolation", "\"\\(a\n)\"", "an interpolation too unclear"},
        {"a comment in an interpolation", "\"\\(a /* ) */)\"", "an interpolation too unclear"},
        {"too many hashes", std::string(40, '#') + "\"a\"" + std::string(40, '#'), "too many '#'"},
        {"a string longer than the window", "\"" + std::string(70000, 'a') + "\"", "a literal too long"},
        {"a number longer than a look", std::string(80, '1'), "a number too long"},
        {"a /= that may open a regular expression", "a /= b / c", "a '/='"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(refusalOf(r.text, Swift).rfind(r.reason, 0), 0u) << refusalOf(r.text, Swift);
    }
    for (const char *fine : {"let a = \"\\(f(\"x\", g(1)))\"", "\"\"\"\n  a\n\n  \"\"\"", "let r = #/a/#",
                             "a / b", "\"" "\\\\" "\"", "/* /* */ */", "x?.y!.z", "#\"\\(\"#"}) {
        SCOPED_TRACE(fine);
        EXPECT_EQ(refusalOf(fine, Swift), "");
    }
}

TEST(SwiftNearMiss, LongTokens)
{
    const std::string body(70000, 'x');
    checkPairs(Swift, {
        {"a name longer than the window", "let " + body + " = 1", "let " + body + "  =  1", true},
        {"and its last byte", "let " + body + " = 1", "let " + body + "y = 1", false},
        {"a string near the window's end", body + "\n\"a b\"", body + "\n\"a  b\"", false},
        {"a multi-line string after a long name", body + "\n  \"\"\"\n  a\n  \"\"\"", body + "\n\"\"\"\na\n\"\"\"", true},
    });
}

} // namespace

// The sample corpus of tests/languages/swift (this machine holds no other
// Swift files) judged by tree-sitter's Swift grammar: relayout mutants that
// the grammar reads as the same tree must be equivalent, token mutants that
// it reads as another must not be (swift_judge.js says how they are made).

namespace {

struct Tally {
    int same = 0, falseAlarms = 0, changed = 0, misses = 0, ignored = 0, ignoredKept = 0;
};

TEST(SwiftLexerTools, AgreesWithTreeSitter)
{
    const std::string npm = std::string(MATCHLING_NPM_TOOLS) + "/../..";
    if (!haveTool("node") || !exists(npm + "/node_modules/web-tree-sitter") ||
        !exists(npm + "/node_modules/tree-sitter-wasms/out/tree-sitter-swift.wasm"))
        GTEST_SKIP() << "node and tests/npm's packages are needed (npm ci in tests/npm)";
    ScratchDir dir;
    const std::string data = std::string(MATCHLING_SOURCE_DIR) + "/tests/languages/swift";
    ASSERT_EQ(std::system(("node '" + npm + "/swift_judge.js' make '" + dir.path() + "' '" + data + "'/*.swift").c_str()),
              0);
    const RunResult r = runMatchling({"orig", "mutant", "--tokens"}, dir.path());
    Tally t;
    std::istringstream verdicts(readFile(dir.file("verdicts")));
    for (std::string line; std::getline(verdicts, line);) {
        std::istringstream fields(line);
        std::string name, verdict;
        fields >> name >> verdict;
        const bool different = r.out.find("Not equivalent: " + name + " ") != std::string::npos;
        if (verdict == "same") {
            ++t.same;
            t.falseAlarms += different;
        } else if (verdict == "differ") {
            ++t.changed;
            t.misses += !different;
            EXPECT_TRUE(different) << "miss: " << name;
        } else if (verdict == "ignored") {
            ++t.ignored;
            t.ignoredKept += different;
        }
    }
    std::printf("Swift, tree-sitter: %d relayouts, %d false alarms; %d token mutants, %d misses; "
                "%d line breaks the grammar ignores, %d of them kept\n",
                t.same, t.falseAlarms, t.changed, t.misses, t.ignored, t.ignoredKept);
    EXPECT_GT(t.same, 100);
    EXPECT_GT(t.changed, 100);
    EXPECT_EQ(t.misses, 0);
    EXPECT_LE(t.falseAlarms * 50, t.same);
}

} // namespace
