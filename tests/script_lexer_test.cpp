// Tests of the script lexer: tables of JavaScript and TypeScript pairs, and a
// real parser and real formatters as the independent check.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "lex_support.h"
#include "support.h"

namespace {

TEST(ScriptLexer, RegexAgainstDivision)
{
    checkPairs(Language::JavaScript, {
        {"division after a name", "a / b / c", "a/b/c", true},
        {"regex after '('", "f(/b/g)", "f( /b/g )", true},
        {"regex body by spelling", "x = /a b/", "x = /a  b/", false, 1, 5, 1, 5},
        {"division keeps its blanks out", "x = a / b /g", "x = a/b/g", true},
        {"regex after return", "function f() { return /a/g }", "function f() {\n  return /a/g;\n}", true},
        {"regex after typeof", "typeof /a/", "typeof /a /", false, 1, 8, 1, 8},
        {"regex after ')' of if", "if (a) /b/.test(c)", "if (a)\n  /b/.test(c);", true},
        {"division after ')' of a call", "f(a) / b / c", "f(a)\n  / b / c", true},
        {"regex after '}' of a block", "{}\n/a b/.test(c)", "{} /a b/.test(c)", true},
        {"division after '}' of an object", "x = {} / a / b", "x = {}/a/b", true},
        {"class with '/' inside", "x = /[/]/", "x = /[/]/ ", true},
        {"'/=' after a name", "a /= 2", "a/=2", true},
        {"regex '/=' where an operand comes", "x = /=a/", "x = /= a/", false, 1, 5, 1, 5},
        {"division after postfix ++", "a++ / 2", "a++/2", true},
        {"regex after 'in'", "x in /a/", "x in / a/", false, 1, 6, 1, 6},
        {"flags are part of the token", "x = /a/g", "x = /a/i", false, 1, 5, 1, 5},
    });
}

TEST(ScriptLexer, Templates)
{
    checkPairs(Language::JavaScript, {
        {"holes are tokens", "`a${ b }c`", "`a${b}c`", true},
        {"text by spelling", "`a ${b}`", "`a  ${b}`", false, 1, 1, 1, 1},
        {"three deep", "`1${`2${`3${x}3`}2`}1`", "`1${ `2${ `3${ x }3` }2` }1`", true},
        {"three deep, a word changed", "`1${`2${`3${x}3`}2`}1`", "`1${`2${`3${x}4`}2`}1`", false, 1, 14, 1, 14},
        {"braces inside a hole", "`${ {a: 1}.a }`", "`${{ a: 1 }.a}`", true},
        {"line ends inside the text count", "`a\nb`", "`a b`", false, 1, 1, 1, 1},
        {"CR LF inside the text is LF", "`a\r\nb`", "`a\nb`", true},
    });
}

TEST(ScriptLexer, Semicolons)
{
    checkPairs(Language::JavaScript, {
        {"written and inserted", "a = 1;\nb = 2;\n", "a = 1\nb = 2\n", true},
        {"before '}'", "function f() { return 1; }", "function f() {\n  return 1\n}", true},
        {"at the end", "a()", "a();", true},
        {"prettier's leading ';'", "a;\n[1].map(f)", "a\n;[1].map(f)", true},
        {"a call across a line end", "a\n(b)", "a(b)", true},
        {"a call is no statement end", "a\n(b)", "a;\n(b)", false, 2, 1, 1, 2},
        {"an index across a line end", "a\n[b]", "a[b]", true},
        {"an operator ends no statement", "a +\nb", "a + b", true},
        {"joining two statements", "a\nb", "a b", false, 1, 2, 1, 3},
        {"return broken", "function f() {\n  return x\n}", "function f() {\n  return\n  x\n}", false, 2, 10, 2, 9},
        {"throw broken", "throw x", "throw\nx", false, 1, 7, 1, 6},
        {"break and continue", "for (;;) { break a }", "for (;;) { break\na }", false, 1, 18, 1, 17},
        {"yield broken", "function* g() { yield x }", "function* g() { yield\nx }", false, 1, 23, 1, 22},
        {"postfix ++ moved to the next line", "a++\nb", "a\n++b", false, 1, 2, 1, 2},
        {"'=>' on the next line", "f = (a) => a", "f = (a)\n=> a", false, 1, 9, 1, 8},
        {"empty statement stays", "a;;\nb", "a;\nb", false, 1, 3, 2, 1},
        {"';' of a for head", "for (a;\nb;\nc) d()", "for (a; b; c) d()", true},
        {"no ';' inside parentheses", "f(a,\nb)", "f(a, b)", true},
        {"else on its own line", "if (a) b()\nelse c()", "if (a) b(); else c();", true},
        {"let across a line end", "let\nx = 1", "let x = 1", true},
        {"a class body's fields", "class A {\n  x = 1\n  y = 2\n}", "class A { x = 1; y = 2; }", true},
        {"a method's '}' ends no statement", "class A {\n  f() {}\n  g() {}\n}", "class A { f() {} g() {} }", true},
        {"object in an expression ends one", "x = {}\ny()", "x = {};\ny();", true},
        {"function declaration's '}'", "function f() {}\ny()", "function f() {} y()", true},
        {"a block on the next line after ')'", "if (a)\n{\n}", "if (a) {}", true},
        {"dot on the next line", "a\n.b()", "a.b()", true},
        {"a getter's name on the next line", "class A {\n  get\n  x() {}\n}", "class A { get x() {} }", true},
        {"a field named get is no getter", "class A {\n  get\n  x() {}\n}", "class A {\n  get;\n  x() {}\n}", false, 3, 3,
         2, 6},
        {"'as' is a name in JavaScript", "as\nb", "as b", false, 1, 3, 1, 4},
    });
}

TEST(ScriptLexer, TypeScript)
{
    checkPairs(Language::TypeScript, {
        {"generics close alike", "let a: A<B<C>> = x", "let a: A<B<C> > = x", true},
        {"'>>=' stays whole", "a >>= 1", "a > >= 1", false, 1, 3, 1, 3},
        {"a cast is no JSX", "x = <T>y\nz()", "x = <T>y;\nz();", true},
        {"interface members without ';'", "interface A {\n  a: string\n  b: number\n}", "interface A { a: string; b: number; }", true},
        {"'as' on the next line", "x = y as T", "x = y\nas T", false, 1, 7, 1, 6},
        {"type alias ending in '>'", "type A = B<C>\nf()", "type A = B<C>;\nf();", true},
    });
}

TEST(ScriptLexer, Tokens)
{
    checkPairs(Language::JavaScript, {
        {"numbers by spelling", "x = 1_000n", "x = 1000n", false, 1, 5, 1, 5},
        {"'.5' is a number", "x = .5", "x=.5", true},
        {"'?.' not before a digit", "a?.5:b", "a ? .5 : b", true},
        {"'?.' before a name", "a?.b", "a ?. b", true},
        {"'?\?=' whole", "a ?\?= b", "a ?? = b", false, 1, 3, 1, 3},
        {"'**=' whole", "a **= b", "a ** = b", false, 1, 3, 1, 3},
        {"'>>>=' whole", "a >>>= b", "a >> >= b", false, 1, 3, 1, 3},
        {"private names", "this.#a", "this.# a", false, 1, 6, 1, 6},
        {"an escaped name", "\\u0061b = 1", "\\u0061 b = 1", false, 1, 1, 1, 1},
        {"letters are name bytes", "caf\xC3\xA9 = 1", "caf\xC3\xA9=1", true},
        {"strings by spelling", "x = 'a'", "x = \"a\"", false, 1, 5, 1, 5},
        {"shebang and comments are layout", "#!/usr/bin/env node\n// c\nx /* d */ = 1", "x = 1", true},
        {"legacy octal and hex", "x = 017 + 0x1F", "x=017+0x1F", true},
        {"exponent sign", "x = 1e+5", "x = 1e +5", false, 1, 5, 1, 5},
        {"'...' whole", "f(...a)", "f(.. .a)", false, 1, 3, 1, 3},
    });
}

TEST(ScriptLexer, Jsx)
{
    checkPairs(Language::JavaScript, {
        {"text re-wrapped", "x = <p>a b\n  c</p>", "x = <p>\n    a\n    b c\n  </p>", true},
        {"a word changed", "x = <p>a b c</p>", "x = <p>a b d</p>", false, 1, 12, 1, 12},
        {"{\" \"} is a blank", "x = <p>a <b>c</b></p>", "x = <p>\n    a{\" \"}\n    <b>c</b>\n  </p>", true},
        {"a blank against none", "x = <p>a<b>c</b></p>", "x = <p>a <b>c</b></p>", false, 1, 9, 1, 9},
        {"attributes are tokens", "<a b=\"c\" d={e} />", "<a\n  b=\"c\"\n  d={e}\n/>", true},
        {"comparison is no JSX", "a < b\nc > d", "a < b; c > d", true},
        {"fragments", "x = <>a</>", "x = <>\n  a\n</>", true},
        {"a line end inside text is no ';'", "x = <p>\n  a\n  b\n</p>\ny()", "x = <p>a b</p>;\ny();", true},
    });
    checkPairs(Language::Tsx, {
        {"a generic arrow is no JSX", "f = <T,>(a: T) => a\ng()", "f = <T,>(a: T) => a;\ng();", true},
        {"JSX in .tsx", "x = <A b={c}>d</A>", "x = <A b={c}>e</A>", false, 1, 14, 1, 14},
        {"a generic function type is no JSX", "type F = <T>(x: T) => T;\nfunction f() {\n  return\n  1\n}",
         "type F = <T>(x: T) => T;\nfunction f() {\n  return 1\n}", false, 3, 9, 3, 10},
        {"type parameters with a default or a modifier", "type F = <T = A>(x: T) => T\nlet g: <const T>(x: T) => T\nf()",
         "type F = <T = A>(x: T) => T;\nlet g: <const T>(x: T) => T;\nf();", true},
    });
}

TEST(ScriptLexer, NestingPastItsCapacityIsStrict)
{
    std::string deep(300, '(');
    checkPairs(Language::JavaScript, {
        {"past the capacity a line end counts", deep + "a\nb", deep + "a b", false, 1, 302, 1, 303},
        {"past the capacity blanks are layout", deep + "a  b", deep + "a b", true},
    });
}

} // namespace

// The verdicts of the built utility on real files and their formatted copies,
// judged by a real parser (acorn for JavaScript, TypeScript's for the rest):
// a pair whose trees differ must never compare equivalent (a miss); a pair
// whose trees and tokens with inserted semicolons are both unchanged must
// compare equivalent but for under 1% (false alarms).
class ScriptFormatterTools : public ::testing::Test {
protected:
    struct Tally {
        int pairs = 0, unchanged = 0, falseAlarms = 0, changed = 0, misses = 0;
    };

    // The lines of the output of command, run by the shell.
    static std::vector<std::string> lines(const std::string &command)
    {
        std::vector<std::string> out;
        if (std::FILE *p = popen(command.c_str(), "r")) {
            char buffer[4096];
            while (std::fgets(buffer, sizeof buffer, p)) {
                std::string line(buffer);
                while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
                    line.pop_back();
                out.push_back(line);
            }
            pclose(p);
        }
        return out;
    }

    // Judges the pairs of dir a and dir b under root, naming the misses and false alarms.
    static Tally judge(const std::string &root, const std::string &a, const std::string &b)
    {
        Tally t;
        RunResult r = runMatchling({a, b, "--tokens"}, root);
        std::string npm = std::string(MATCHLING_NPM_TOOLS) + "/../..";
        for (const std::string &line : lines("node '" + npm + "/judge.js' '" + root + "/" + a + "' '" + root + "/" + b + "'")) {
            std::istringstream fields(line);
            std::string name, tree, tokens;
            fields >> name >> tree >> tokens;
            bool different = r.out.find("Not equivalent: " + name + " ") != std::string::npos;
            ++t.pairs;
            if (tree == "same" && tokens == "same") {
                ++t.unchanged;
                t.falseAlarms += different;
                EXPECT_FALSE(different) << "false alarm: " << a << " against " << b << ": " << name;
            }
            if (tree != "same") {
                ++t.changed;
                t.misses += !different;
                EXPECT_TRUE(different) << "miss: " << a << " against " << b << ": " << name;
            }
        }
        std::printf("%s against %s: %d pairs; %d with trees and tokens unchanged, %d false alarms; "
                    "%d with trees changed, %d misses\n",
                    a.c_str(), b.c_str(), t.pairs, t.unchanged, t.falseAlarms, t.changed, t.misses);
        return t;
    }
};

TEST_F(ScriptFormatterTools, ParserJudgesRealFiles)
{
    std::string npm = std::string(MATCHLING_NPM_TOOLS) + "/../..";
    if (!haveTool("node") || npmTool("prettier").empty() || !exists(npm + "/node_modules/acorn") ||
        !exists(npm + "/node_modules/typescript"))
        GTEST_SKIP() << "node and tests/npm's packages are needed (npm ci in tests/npm)";
    // Files of a few kilobytes from the packages on this machine, spread over them.
    std::string roots = "'" + npm + "/node_modules' \"$(npm root -g 2>/dev/null)\" /usr/share/nodejs";
    std::vector<std::string> js = lines("find " + roots + " -name '*.js' -size -30k -size +2k 2>/dev/null | sort | "
                                        "awk 'NR % 13 == 0' | head -40");
    std::vector<std::string> ts = lines("find " + roots + " -name '*.d.ts' -size -60k -size +1k 2>/dev/null | sort | "
                                        "awk 'NR % 2 == 0' | head -40");
    if (js.size() < 10 || ts.size() < 10)
        GTEST_SKIP() << "too few JavaScript and TypeScript files found under " << roots;
    ScratchDir dir;
    std::string files;
    for (const std::vector<std::string> *list : {&js, &ts})
        for (const std::string &f : *list)
            files += " '" + f + "'";
    ASSERT_EQ(std::system(("node '" + npm + "/format.js' '" + dir.path() + "'" + files).c_str()), 0);
    Tally total;
    auto add = [&](const Tally &t) {
        total.unchanged += t.unchanged;
        total.falseAlarms += t.falseAlarms;
        total.misses += t.misses;
    };
    add(judge(dir.path(), "orig", "prettier"));
    add(judge(dir.path(), "orig", "nosemi"));
    add(judge(dir.path(), "prettier", "semiless"));
    add(judge(dir.path(), "prettier", "narrow"));
    if (haveTool("clang-format")) {
        ASSERT_EQ(std::system(("cd '" + dir.path() + "' && mkdir clang && for f in orig/*; do "
                               "clang-format --assume-filename=x.${f##*.} < $f > clang/${f#orig/} 2>/dev/null || "
                               "rm -f clang/${f#orig/}; done").c_str()),
                  0);
        add(judge(dir.path(), "orig", "clang"));
    }
    // A line broken after return: never equivalent where the trees differ.
    Tally broken = judge(dir.path(), "orig", "return");
    EXPECT_GT(broken.changed, 10);
    EXPECT_EQ(total.misses + broken.misses, 0);
    EXPECT_LT(total.falseAlarms * 100, total.unchanged);
}

// JSX as prettier re-wraps it: components with text, attributes and holes,
// at prettier's width and at a narrow one, judged by TypeScript's parser.
TEST_F(ScriptFormatterTools, ParserJudgesJsxRewrapped)
{
    std::string npm = std::string(MATCHLING_NPM_TOOLS) + "/../..";
    if (!haveTool("node") || npmTool("prettier").empty() || !exists(npm + "/node_modules/typescript"))
        GTEST_SKIP() << "node and tests/npm's packages are needed (npm ci in tests/npm)";
    static const char *const sources[] = {
        "export function Card(p) {\n  return <div className=\"card\"><h2>{p.title}</h2>\n"
        "  <p>Some words that run on and on <b>bold</b> and <i>italic</i>   spaced, then more words to wrap "
        "them over several lines of text.</p>{p.children}</div>\n}\n",
        "const List = (p) => <ul>{p.items.map((item) => <li key={item.id}>{item.name} costs {item.price} "
        "dollars <a href={item.url}>here</a></li>)}</ul>\n",
        "function App() {\n  const [n, setN] = useState(0)\n  return (\n    <>\n      <button onClick={() => "
        "setN(n + 1)}>Clicked {n} times, click again to count one more</button>\n      {n > 2 && <p>That is "
        "many clicks.</p>}\n    </>\n  )\n}\n",
    };
    ScratchDir dir;
    std::string files;
    for (std::size_t i = 0; i < sizeof sources / sizeof sources[0]; ++i) {
        std::string name = dir.file("c" + std::to_string(i) + ".jsx");
        writeFile(name, sources[i]);
        files += " '" + name + "'";
    }
    ASSERT_EQ(std::system(("node '" + npm + "/format.js' '" + dir.path() + "/out'" + files).c_str()), 0);
    Tally wide = judge(dir.path() + "/out", "orig", "prettier");
    Tally narrow = judge(dir.path() + "/out", "prettier", "narrow");
    Tally semiless = judge(dir.path() + "/out", "prettier", "semiless");
    EXPECT_EQ(wide.misses + narrow.misses + semiless.misses, 0);
    EXPECT_GT(narrow.unchanged, 0);
    EXPECT_GT(semiless.unchanged, 0);
}
