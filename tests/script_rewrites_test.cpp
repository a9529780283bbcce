// The rewrites of JavaScript, TypeScript and TSX sources (rewrites/script_rules.cpp):
// pairs that must compare equal or differ with every rewrite allowed, and
// prettier's output on real files of this machine judged by a real parser.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "lex_support.h"
#include "support.h"

namespace {

const RewriteSet kAll = static_cast<RewriteSet>((1u << kRewriteKinds) - 1);

struct RewritePair {
    const char *name;
    const char *a;
    const char *b;
    bool equal;
    Language language = Language::JavaScript;
};

// Checks each pair both ways round, every rewrite allowed, and that a pair
// meant equal differs without --allow (so that it tests a rewrite).
void checkTable(const std::vector<RewritePair> &table)
{
    for (const RewritePair &p : table) {
        SCOPED_TRACE(p.name);
        std::vector<Tok> a = lexText(p.a, p.language, {}, kAll), b = lexText(p.b, p.language, {}, kAll);
        EXPECT_EQ(firstDifference(a, b) < 0, p.equal);
        EXPECT_EQ(firstDifference(b, a) < 0, p.equal);
        if (p.equal) {
            EXPECT_GE(firstDifference(lexText(p.a, p.language), lexText(p.b, p.language)), 0);
        }
    }
}

const Language TS = Language::TypeScript;
const Language TSX = Language::Tsx;

TEST(ScriptRewrites, Quotes)
{
    checkTable({
        {"quote style", "x = 'a';", "x = \"a\";", true},
        {"escaped quote", "x = 'it\\'s';", "x = \"it's\";", true},
        {"hex and unicode escapes", "x = '\\x41\\u0042\\u{43}';", "x = 'ABC';", true},
        {"surrogate pair", "x = '\\uD83D\\uDE00';", "x = '\xF0\x9F\x98\x80';", true},
        {"pair split over two forms", "x = '\\u{D83D}\\uDE00';", "x = '\\u{1F600}';", true},
        {"line continuation", "x = 'a\\\nb';", "x = 'ab';", true},
        {"identity escape", "x = '\\a';", "x = 'a';", true},
        {"different value", "x = 'a';", "x = 'b';", false},
        {"lone surrogate is not the pair", "x = '\\uD83D';", "x = '\\uDE00';", false},
        {"legacy octal escape", "x = '\\101';", "x = 'A';", false},
        {"template against string", "x = `a`;", "x = 'a';", false},
        {"escaped directive", "'use\\x20strict';", "'use strict';", false},
        {"directive quotes", "'use strict';\nf();", "\"use strict\";\nf();", true},
        {"jsx attribute keeps its escapes", "x = <a b='\\x41' />;", "x = <a b='A' />;", false},
        {"jsx attribute quotes", "x = <a b='c' />;", "x = <a b=\"c\" />;", true},
        {"jsx attribute against a string", "x = <a b='c' />;", "x = <a b={'c'} />;", false},
        {"jsx text is words", "x = <p>'a'</p>;", "x = <p>\"a\"</p>;", false},
        {"string inside a jsx hole", "x = <p>{'a'}</p>;", "x = <p>{\"a\"}</p>;", true},
        {"typescript literal type", "type T = 'a' | \"b\";", "type T = \"a\" | 'b';", true, TS},
        {"module specifier", "import a from 'a';", "import a from \"a\";", true},
    });
}

TEST(ScriptRewrites, Numbers)
{
    checkTable({
        {"hex case", "x = 0XFF;", "x = 0xff;", true},
        {"hex against decimal", "x = 0xff;", "x = 255;", true},
        {"exponent case", "x = 1E5;", "x = 1e5;", true},
        {"exponent against digits", "x = 1e5;", "x = 100000;", true},
        {"leading zero", "x = .5;", "x = 0.5;", true},
        {"trailing zero", "x = 5.;", "x = 5.0;", true},
        {"separators", "x = 1_000;", "x = 1000;", true},
        {"binary and octal", "x = 0b1010 + 0o17;", "x = 10 + 15;", true},
        {"bigint hex", "x = 0xFFn;", "x = 255n;", true},
        {"bigint against number", "x = 1n;", "x = 1;", false},
        {"legacy octal", "x = 010;", "x = 8;", false},
        {"leading zero decimal", "x = 08;", "x = 8;", false},
        {"misplaced separator", "x = 1__0;", "x = 10;", false},
        {"different value", "x = 0.1;", "x = 0.10000000000000001;", false},
        {"jsx text number", "x = <p>0x10</p>;", "x = <p>16</p>;", false},
    });
}

TEST(ScriptRewrites, Commas)
{
    checkTable({
        {"array", "x = [a, b,];", "x = [a, b];", true},
        {"object", "x = {a: 1, b,};", "x = {a: 1, b};", true},
        {"arguments", "f(a, b,);", "f(a, b);", true},
        {"parameters", "function f(a, b,) {}", "function f(a, b) {}", true},
        {"arrow parameters", "g = (a, b,) => a;", "g = (a, b) => a;", true},
        {"import list", "import {a, b,} from 'm';", "import {a, b} from 'm';", true},
        {"declaration pattern", "const {a, b,} = c;", "const {a, b} = c;", true},
        {"spread in an object literal", "x = {...a,};", "x = {...a};", true},
        {"spread in arguments", "f(...a,);", "f(...a);", true},
        {"type parameters", "function f<T,>(a: T) {}", "function f<T>(a: T) {}", true, TS},
        {"signature parameters", "interface I { f(a: T,): void }", "interface I { f(a: T): void }", true, TS},
        {"leading union bar", "type T =\n  | A\n  | B;", "type T = A | B;", true, TS},
        {"tuple in type arguments", "type T = F<A, [1, 2,][D]>;", "type T = F<A, [1, 2][D]>;", true, TS},
        {"hole", "x = [a,,];", "x = [a,];", false},
        {"elision", "x = [,];", "x = [];", false},
        {"grouping", "x = (a,);", "x = (a);", false},
        {"index", "x = y[a,];", "x = y[a];", false},
        {"rest in a pattern", "[...a,] = b;", "[...a] = b;", false},
        {"rest parameter", "g = (...a,) => a;", "g = (...a) => a;", false},
        {"block", "x => { a, }", "x => { a }", false},
        {"case block", "switch (x) { case 1: { a, } }", "switch (x) { case 1: { a } }", false},
        {"computed class key", "class A { *[a,]() {} }", "class A { *[a]() {} }", false},
        {"tsx generic arrow", "f = <T,>(x: T) => x;", "f = <T>(x: T) => x;", false, TSX},
        {"comparison, not type arguments", "x = a > (b,);", "x = a > (b);", false, TS},
        {"condition branch", "x = c ? (a,) : b;", "x = c ? (a) : b;", false, TS},
    });
}

TEST(ScriptRewrites, Parens)
{
    checkTable({
        {"logical for clarity", "x = (a && b) || c;", "x = a && b || c;", true},
        {"arithmetic", "x = (a * b) % c;", "x = a * b % c;", true},
        {"return value", "return (a + b);", "return a + b;", true},
        {"arrow parameter", "g = (x) => x;", "g = x => x;", true},
        {"async arrow parameter", "g = async (x) => x;", "g = async x => x;", true},
        {"conditional body", "g = (x) => (x ? 1 : 2);", "g = x => x ? 1 : 2;", true},
        {"chained assignment", "a = (b = c);", "a = b = c;", true},
        {"function expression", "x = c ? (function () {}) : d;", "x = c ? function () {} : d;", true},
        {"statement sequence", "((a = 1), (b = 2));", "a = 1, b = 2;", true},
        {"member of a group", "x = (a.b).c;", "x = a.b.c;", true},
        {"spread of a condition", "x = {...(a && {b})};", "x = {...a && {b}};", true},
        {"spread of a conditional", "x = [...(c ? a : b)];", "x = [...c ? a : b];", true},
        {"await", "async function f() { x = (await g()) + 1; }", "async function f() { x = await g() + 1; }", true},
        {"jsx element", "g = () => (\n  <a>(b)</a>\n);", "g = () => <a>(b)</a>;", true},
        {"jsx text keeps its parentheses", "g = <a>(b)</a>;", "g = <a>b</a>;", false},
        {"optional chain ends", "x = (a?.b).c;", "x = a?.b.c;", false},
        {"precedence needed", "x = (a + b) * c;", "x = a + b * c;", false},
        {"right operand", "x = a - (b - c);", "x = a - b - c;", false},
        {"coalesce mixing", "x = (a ?? b) || c;", "x = a ?? b || c;", false},
        {"exponent", "x = (-a) ** b;", "x = -a ** b;", false},
        {"in inside for", "for (var i = (a in b); ;) {}", "for (var i = a in b; ;) {}", false},
        {"arrow body object", "g = () => ({});", "g = () => {};", false},
        {"statement function", "(function () {})();", "function () {}();", false},
        {"directive", "(\"use strict\");", "\"use strict\";", false},
        {"call", "f(a);", "f a;", false},
        {"new callee", "new (a())();", "new a()();", false},
        {"parameter pattern", "function f([(a)]) {}", "function f([a]) {}", false},
        {"declaration pattern", "let [(a)] = b;", "let [a] = b;", false},
        {"default in a pattern", "[(a = 1)] = b;", "[a = 1] = b;", false},
        {"generic call", "x = (a < b) > (c);", "x = a < b > (c);", false, TS},
        {"call signature", "interface I { (a); }", "interface I { a; }", false, TS},
        {"arrow return type", "g = (): (A) => B;", "g = (): A => B;", false, TS},
        {"function type", "type F = (a) => void;", "type F = a => void;", false, TS},
        {"typescript arrow argument", "f((x) => x);", "f(x => x);", true, TS},
    });
}

TEST(ScriptRewrites, Braces)
{
    checkTable({
        {"if body", "if (c) { f(); }", "if (c) f();", true},
        {"else body", "if (c) f(); else { g(); }", "if (c) f(); else g();", true},
        {"loop body", "while (c) { i++; }", "while (c) i++;", true},
        {"return", "for (;;) { return x; }", "for (;;) return x;", true},
        {"leading semicolon", "if (c) f(); else {\n  ;(0, g)();\n}", "if (c) f(); else (0, g)();", true},
        {"dangling else", "if (a) { if (b) f(); } else g();", "if (a) if (b) f(); else g();", false},
        {"declaration", "if (c) { let x = 1; }", "if (c) let x = 1;", false},
        {"two statements", "if (c) { f(); g(); }", "if (c) f(); g();", false},
        {"function body", "function f() { g(); }", "function f() g();", false},
        {"label", "if (c) { a: f(); }", "if (c) a: f();", false},
    });
}

TEST(ScriptRewrites, Semicolons)
{
    checkTable({
        {"empty statement", "f();;\ng();", "f();\ng();", true},
        {"after a function", "function f() {};\ng();", "function f() {}\ng();", true},
        {"after a method", "class A { m() {}; n() {} }", "class A { m() {} n() {} }", true},
        {"leading", ";[1].forEach(f);", "[1].forEach(f);", true},
        {"leading in a function expression", "x = function () {\n  ;(0, f)();\n};", "x = function () {\n  (0, f)();\n};", true},
        {"if body", "if (a) ;\nf();", "if (a)\nf();", false},
        {"before else", "if (a) {};\nelse {}", "if (a) {}\nelse {}", false},
        {"after an expression's function", "x = function () {};\n(f)();", "x = function () {}\n(f)();", false},
        {"before a directive", ";'use strict';", "'use strict';", false},
        {"export list before from", "export {a};\nfrom;", "export {a}\nfrom;", false},
        {"for head", "for (;;) {}", "for (;) {}", false},
    });
}

// --- Real formatter output -----------------------------------------------

std::vector<std::string> shellLines(const std::string &command)
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

struct Figures {
    int outputs = 0, same = 0, different = 0, accepted = 0, residue = 0, misses = 0;
};

// Compares each file of style against orig with --allow all and judges the
// pair with the parser: a pair the parser calls different must differ.
Figures judgeStyle(const std::string &npm, const std::string &root, const std::string &style)
{
    Figures f;
    RunResult r = runMatchling({"orig", style, "--tokens", "--allow", "all"}, root);
    for (const std::string &line : shellLines("node '" + npm + "/rewrites.js' judge '" + root + "/orig' '" + root +
                                              "/" + style + "'")) {
        std::istringstream fields(line);
        std::string name, tree;
        fields >> name >> tree;
        if (tree == "unparsed")
            continue;
        bool refused = r.out.find("Not equivalent: " + name + " ") != std::string::npos;
        ++f.outputs;
        if (tree == "same") {
            ++f.same;
            f.accepted += !refused;
            f.residue += refused;
        } else {
            ++f.different;
            f.misses += !refused;
            EXPECT_TRUE(refused) << "miss: orig against " << style << ": " << name;
        }
    }
    std::printf("%-10s outputs %3d  parser-same %3d  parser-different %2d  accepted %3d  residue %2d  misses %d\n",
                style.c_str(), f.outputs, f.same, f.different, f.accepted, f.residue, f.misses);
    return f;
}

const char *const kStyles[] = {"prettier", "nosemi", "single", "commasnone", "commasall", "props"};

// prettier in each of its styles on real files, and a few JSX sources: every
// pair the parser calls different is refused, and at least nine in ten of
// those it calls the same are accepted.
TEST(ScriptRewritesTools, ParserJudgesPrettierOnRealFiles)
{
    std::string npm = std::string(MATCHLING_NPM_TOOLS) + "/../..";
    if (!haveTool("node") || npmTool("prettier").empty() || !exists(npm + "/node_modules/acorn") ||
        !exists(npm + "/node_modules/typescript"))
        GTEST_SKIP() << "node and tests/npm's packages are needed (npm ci in tests/npm)";
    std::string roots = "'" + npm + "/node_modules' \"$(npm root -g 2>/dev/null)\" /usr/share/nodejs";
    // Chosen by their paths below each root, so that where the checkout lies changes nothing.
    std::vector<std::string> js = shellLines("find " + roots + " -name '*.js' -size -30k -size +2k -printf '%P %p\\n' "
                                             "2>/dev/null | sort | awk 'NR % 13 == 0 { print $2 }' | head -24");
    std::vector<std::string> ts = shellLines("find " + roots + " -name '*.d.ts' -size -60k -size +1k -printf '%P %p\\n' "
                                             "2>/dev/null | sort | awk 'NR % 2 == 0 { print $2 }' | head -16");
    if (js.size() < 10 || ts.size() < 10)
        GTEST_SKIP() << "too few JavaScript and TypeScript files found under " << roots;
    ScratchDir dir;
    static const char *const jsx[] = {
        "export function Card(p) {\n  return <div className='card' title=\"a\\x41\"><h2>{p.title}</h2>\n"
        "  <p>Some 'words' (that) run, 0x10 [on,] and on <b>bold</b> spaced.</p>{p.items.map(i => <i key={i}>"
        "{i}</i>)}</div>\n}\n",
        "const List = (p) => <ul>{p.items.map(item => <li key={item.id} data-x='y'>{item.name} costs "
        "{item.price * 1.50} dollars</li>)}</ul>\n",
    };
    std::string files;
    for (std::size_t i = 0; i < sizeof jsx / sizeof jsx[0]; ++i) {
        std::string name = dir.file("c" + std::to_string(i) + (i == 0 ? ".jsx" : ".tsx"));
        writeFile(name, jsx[i]);
        files += " '" + name + "'";
    }
    for (const std::vector<std::string> *list : {&js, &ts})
        for (const std::string &f : *list)
            files += " '" + f + "'";
    ASSERT_EQ(std::system(("node '" + npm + "/rewrites.js' format '" + dir.path() + "'" + files).c_str()), 0);
    Figures total;
    for (const char *style : kStyles) {
        Figures f = judgeStyle(npm, dir.path(), style);
        total.same += f.same;
        total.residue += f.residue;
        total.misses += f.misses;
    }
    EXPECT_EQ(total.misses, 0);
    EXPECT_LT(total.residue * 10, total.same) << "over 10% of the pairs the parser calls the same are refused";
}

} // namespace
