// The in-process tests of JavaScript, TypeScript and TSX: their near misses
// first, then the script lexer's tests and the tests of its rules for --allow,
// each part under a note of its own.
//
// Near misses of JavaScript, TypeScript and TSX: for each decision the script
// lexer (src/languages/javascript/lexer.cpp) and its rules (rules.cpp there)
// make, a pair that must differ if the decision went wrong and, where it can
// go the other way, a pair that must stay equal. The pairs of the lexer's and
// the rules' tests below are not repeated here.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"

namespace {

// The sample files' filter for find: regular files only, and none of the
// packages added to tests/npm for other languages' judges, so that the
// JavaScript and TypeScript samples stay those the figures were set on.
const std::string kSampleFiles =
    " -type f -not -path '*/node_modules/@cdktf/*' -not -path '*/node_modules/@prettier/plugin-php/*'"
    " -not -path '*/node_modules/fs-extra/*' -not -path '*/node_modules/graceful-fs/*'"
    " -not -path '*/node_modules/jsonfile/*' -not -path '*/node_modules/linguist-languages/*'"
    " -not -path '*/node_modules/luaparse/*' -not -path '*/node_modules/php-parser/*'"
    " -not -path '*/node_modules/prettier-plugin-ini/*' -not -path '*/node_modules/tree-sitter-wasms/*'"
    " -not -path '*/node_modules/universalify/*' -not -path '*/node_modules/web-tree-sitter/*'"
    " -not -path '*/node_modules/@babel/*' -not -path '*/node_modules/@jridgewell/*'"
    " -not -path '*/node_modules/@prettier/plugin-xml/*' -not -path '*/node_modules/@sveltejs/*'"
    " -not -path '*/node_modules/@types/estree/*' -not -path '*/node_modules/@vue/*'"
    " -not -path '*/node_modules/@xml-tools/*' -not -path '*/node_modules/aria-query/*'"
    " -not -path '*/node_modules/axobject-query/*' -not -path '*/node_modules/chevrotain/*'"
    " -not -path '*/node_modules/clsx/*' -not -path '*/node_modules/devalue/*'"
    " -not -path '*/node_modules/esm-env/*' -not -path '*/node_modules/esrap/*'"
    " -not -path '*/node_modules/estree-walker/*' -not -path '*/node_modules/is-reference/*'"
    " -not -path '*/node_modules/locate-character/*' -not -path '*/node_modules/magic-string/*'"
    " -not -path '*/node_modules/parse5/*' -not -path '*/node_modules/prettier-plugin-svelte/*'"
    " -not -path '*/node_modules/regexp-to-ast/*' -not -path '*/node_modules/svelte/*'"
    " -not -path '*/node_modules/zimmerframe/*'";

const Language JS = Language::JavaScript;
const Language TS = Language::TypeScript;
const Language TSX = Language::Tsx;

// --- The lexer -------------------------------------------------------------

TEST(ScriptNearMiss, Punctuators)
{
    checkPairs(JS, {
        {"'+=' whole", "a += b", "a + = b", false},
        {"'++' whole", "x = a ++b", "x = a + +b", false},
        {"'-=' whole", "a -= b", "a - = b", false},
        {"'%=' whole", "a %= b", "a % = b", false},
        {"'^=' whole", "a ^= b", "a ^ = b", false},
        {"'/=' after an operand whole", "a /= b", "a / = b", false},
        {"'**' whole", "a ** b", "a * * b", false},
        {"'&&' whole", "a && b", "a & & b", false},
        {"'&&=' whole", "a &&= b", "a && = b", false},
        {"'&=' whole", "a &= b", "a & = b", false},
        {"'||=' whole", "a ||= b", "a || = b", false},
        {"'|=' whole", "a |= b", "a | = b", false},
        {"'===' whole", "a === b", "a == = b", false},
        {"'==' whole", "a == b", "a = = b", false},
        {"'=>' whole", "f = a => b", "f = a = > b", false},
        {"'!==' whole", "a !== b", "a != = b", false},
        {"'!=' whole", "a != b", "a ! = b", false},
        {"'<<=' whole", "a <<= b", "a << = b", false},
        {"'<<' whole", "a << b", "a < < b", false},
        {"'<=' whole", "a <= b", "a < = b", false},
        {"'>=' whole", "a >= b", "a > = b", false},
        {"'>>' is two '>'", "a >> b", "a > > b", true},
        {"'?\?' whole", "a ?? b", "a ? ? b", false},
        {"'?.' after a name", "a?.b", "a ?. b", true},
        {"'.' alone", "a.b", "a . b", true},
        {"'#' alone is no private name", "a # b", "a #b", false},
    });
}

TEST(ScriptNearMiss, WordsBeforeASlash)
{
    // After these words a '/' starts a regular expression, whose body is spelled.
    std::vector<PairCase> rows;
    for (const char *word : {"void", "delete", "new", "of", "instanceof", "await", "case", "default", "extends",
                             "else", "do", "return", "break", "continue", "throw", "yield", "debugger"})
        rows.push_back({word, std::string(word) + " /a b/", std::string(word) + " /a  b/", false});
    checkPairs(JS, rows);
    std::vector<PairCase> typed;
    for (const char *word : {"as", "satisfies", "keyof", "infer", "is"})
        typed.push_back({word, std::string("x ") + word + " /a b/", std::string("x ") + word + " /a  b/", false});
    checkPairs(TS, typed);
    checkPairs({
        {"'as' is a name in JavaScript: division", "x as /a b/", "x as /a  b/", true, 0, 0, 0, 0, JS},
        {"a control word's ')': while", "while (a) /b c/.test(d)", "while (a) /b  c/.test(d)", false, 0, 0, 0, 0, JS},
        {"a control word's ')': for", "for (;;) /b c/.test(d)", "for (;;) /b  c/.test(d)", false, 0, 0, 0, 0, JS},
        {"a control word's ')': with", "with (a) /b c/.test(d)", "with (a) /b  c/.test(d)", false, 0, 0, 0, 0, JS},
        {"a call's ')': division", "f(a) /b c/ d", "f(a) /b  c/ d", true, 0, 0, 0, 0, JS},
        {"else opens a block", "if (a) {} else {}\n/b c/.test(d)", "if (a) {} else {}\n/b  c/.test(d)", false, 0, 0,
         0, 0, JS},
        {"do opens a block", "do {} /a b/.test(c); while (d)", "do {} /a  b/.test(c); while (d)", false, 0, 0, 0, 0,
         JS},
        {"a function expression's '}' ends an operand", "x = function () {}\n/a/g", "x = function () {} / a / g",
         true, 0, 0, 0, 0, JS},
    });
}

TEST(ScriptNearMiss, StatementStarts)
{
    // A declaration after a modifier keeps its statement's start: its '}' ends
    // no expression, so a '/' after it starts a regular expression.
    checkPairs(JS, {
        {"export keeps the start", "export function f() {}\n/a b/.test(c)", "export function f() {}\n/a  b/.test(c)",
         false},
        {"default keeps the start", "export default function () {}\n/a b/.test(c)",
         "export default function () {}\n/a  b/.test(c)", false},
        {"async keeps the start", "async function f() {}\n/a b/.test(c)", "async function f() {}\n/a  b/.test(c)",
         false},
        {"abstract keeps the start", "abstract class A {}\n/a b/.test(c)", "abstract class A {}\n/a  b/.test(c)",
         false},
        {"declare keeps the start", "declare class A {}\n/a b/.test(c)", "declare class A {}\n/a  b/.test(c)", false},
    });
}

TEST(ScriptNearMiss, HeadWords)
{
    // A statement goes on after these words: a line end after one is layout.
    std::vector<PairCase> rows;
    for (const char *word : {"var", "let", "const", "class", "function", "import", "export", "if", "for", "while",
                             "with", "switch", "try", "catch", "finally", "static", "enum"})
        rows.push_back({word, std::string(word) + "\nx", std::string(word) + " x", true});
    rows.push_back({"set at a member's start", "class A {\n  set\n  x(v) {}\n}", "class A { set x(v) {} }", true});
    // A member's name is no keyword: a statement can end after its call.
    rows.push_back({"member named for", "a = Symbol.for(b)\nc = d", "a = Symbol.for(b);\nc = d;", true});
    rows.push_back({"member named if goes on", "a = x.if(b)\n(c)", "a = x.if(b);\n(c)", false});
    rows.push_back({"optional member named while", "a = x?.while(b)\nc = d", "a = x?.while(b);\nc = d;", true});
    checkPairs(JS, rows);
    checkPairs(TS, {
        {"void is a type in TypeScript", "let a: void\nlet b: void", "let a: void;\nlet b: void;", true},
    });
}

TEST(ScriptNearMiss, BodyWords)
{
    // A declaration's body may open on the next line.
    checkPairs(JS, {
        {"class", "class A extends B\n{\n}", "class A extends B {}", true},
        {"class expression", "x = class\n{\n}", "x = class {}", true},
    });
    checkPairs(TS, {
        {"interface", "interface A\n{\n  a: B\n}", "interface A { a: B }", true},
        {"enum", "enum E\n{\n  A\n}", "enum E { A }", true},
        {"namespace", "namespace N\n{\n}", "namespace N {}", true},
        {"module", "declare module M\n{\n}", "declare module M {}", true},
        {"global", "declare global\n{\n}", "declare global {}", true},
    });
}

TEST(ScriptNearMiss, LineEndsGoingOn)
{
    checkPairs(JS, {
        {"','", "a\n, b", "a, b", true},
        {"'?'", "a\n? b : c", "a ? b : c", true},
        {"':'", "a ? b\n: c", "a ? b : c", true},
        {"')'", "a\n)", "a )", true},
        {"']'", "a\n]", "a ]", true},
        {"';' is not doubled", "a\n;", "a;", true},
        {"a tagged template", "a\n`b`", "a`b`", true},
        {"'*'", "a\n* b", "a * b", true},
        {"'%'", "a\n% b", "a % b", true},
        {"'&'", "a\n& b", "a & b", true},
        {"'|'", "a\n| b", "a | b", true},
        {"'^'", "a\n^ b", "a ^ b", true},
        {"'<'", "a\n< b", "a < b", true},
        {"'>'", "a\n> b", "a > b", true},
        {"'/' is division", "a\n/ b", "a / b", true},
        {"'=' goes on", "a\n= b", "a = b", true},
        {"'!=' goes on", "a\n!= b", "a != b", true},
        {"'!' does not", "a\n!b", "a;\n!b", true},
        {"'+' goes on", "a\n+ b", "a + b", true},
        {"'-' goes on", "a\n- b", "a - b", true},
        {"'--' does not", "a\n--b", "a;\n--b", true},
        {"'.5' does not", "a\n.5", "a .5", false},
        {"'...' does not", "a\n...b", "a ...b", false},
        {"'{' after a name does not", "a\n{}", "a;\n{}", true},
        {"in", "a\nin b", "a in b", true},
        {"instanceof", "a\ninstanceof b", "a instanceof b", true},
        {"extends", "class A\nextends B {}", "class A extends B {}", true},
        {"other words do not", "a\nof b", "a of b", false},
    });
    checkPairs(TS, {
        {"implements", "class A\nimplements B {}", "class A implements B {}", true},
        {"'|' between members", "interface A {\n  a: B\n  | C\n}", "interface A { a: B | C }", true},
        {"'(' between members, a method", "interface A {\n  a\n  (b): c\n}", "interface A { a (b): c }", true},
        {"'(' after a computed name", "interface A {\n  [a]\n  (b): c\n}", "interface A { [a]; (b): c }", false},
        {"'(' after a type", "interface A {\n  a: B\n  (b): c\n}", "interface A { a: B; (b): c }", true},
        {"get on a line of its own", "interface A {\n  get\n  [a](): B\n}", "interface A { get [a](): B }", true},
        {"get on a line of its own, no member", "interface A {\n  get\n  a(): B\n}", "interface A { get; a(): B }",
         false},
        {"set in a type literal", "type A = {\n  set\n  a(b)\n};", "type A = { set; a(b) };", false},
        {"a non-null assertion ends an operand", "a = b!\nc = d", "a = b!; c = d", true},
        {"'!' on a later line starts one", "a = b!\n!c", "a = b!!c", false},
        {"'.' between members", "interface A {\n  a: B\n  .C\n}", "interface A { a: B.C }", true},
    });
}

TEST(ScriptNearMiss, LineEndsInFrames)
{
    checkPairs(JS, {
        {"none inside brackets", "[a\nb]", "[a b]", true},
        {"none inside parentheses", "(a\nb)", "(a b)", true},
        {"none inside a template's hole", "`${a\nb}`", "`${a b}`", true},
        {"none inside a JSX child's braces", "x = <p>{a\n}</p>", "x = <p>{a}</p>", true},
        {"before the '}' of a block", "{a\n}", "{a;}", true},
        {"before the '}' of an object", "x = {a: b\n}", "x = {a: b;}", true},
        {"none before a '}' that closes nothing", "a }", "a; }", false},
        {"none at the end after an operator", "a +", "a +;", false},
        {"a restricted word before '('", "function f() {\n  return\n  (a)\n}", "function f() {\n  return;\n  (a)\n}",
         true},
        {"a restricted word before ';'", "function f() {\n  return\n  ;\n}", "function f() { return; }", true},
        {"debugger before '('", "debugger\n(a)", "debugger;\n(a)", true},
    });
}

TEST(ScriptNearMiss, ModuleLineEnds)
{
    checkPairs(JS, {
        {"an export list ends at a line end", "export { a }\nf()", "export { a };\nf()", true},
        {"an export list before '('", "export { a }\n(b)", "export { a };\n(b)", true},
        {"an export list before '['", "export { a }\n[b]", "export { a };\n[b]", true},
        {"an export list goes on with from", "export { a }\nfrom 'm'", "export { a };\nfrom 'm'", false},
        {"an export list on one line", "export { a } (b)", "export { a }; (b)", false},
        {"an export list at the end", "export { a }", "export { a };", true},
        {"an object goes on with '('", "x = { a }\n(b)", "x = { a };\n(b)", false},
        {"an import list goes on with from", "import { a }\nfrom 'm'", "import { a } from 'm'", true},
        {"an import's binding goes on with from", "import x\nfrom 'm'", "import x from 'm'", true},
        {"a from goes on with its string", "import { a } from\n  'm'", "import { a } from 'm'", true},
        {"an export's from goes on with its string", "export * from\n  'm'", "export * from 'm'", true},
        {"a from that names a value does not", "export const a = from\n'x'", "export const a = from;\n'x'", true},
        {"a from after a statement does not", "x = y\nfrom('m')", "x = y;\nfrom('m')", true},
        {"a dynamic import is no declaration", "import('m')\nfrom()", "import('m');\nfrom()", true},
        {"attributes end the import", "import x from 'm' with { type: 'json' }\nf()",
         "import x from 'm' with { type: 'json' };\nf()", true},
        {"nothing goes on after attributes", "import x from 'm' with { type: 'json' }\nfrom()",
         "import x from 'm' with { type: 'json' };\nfrom()", true},
        {"assert attributes end the import", "import x from 'm' assert { type: 'json' }\n(f)",
         "import x from 'm' assert { type: 'json' };\n(f)", true},
    });
    checkPairs(TS, {
        {"an export type list ends at a line end", "export type { A }\nf()", "export type { A };\nf()", true},
        {"an import type list goes on with from", "import type {\n  A,\n} from\n  'm';",
         "import type { A, } from 'm';", true},
    });
}

TEST(ScriptNearMiss, DoWhile)
{
    checkPairs(JS, {
        {"a do statement ends at a line end", "do {} while (x)\nf()", "do {} while (x);\nf()", true},
        {"a do statement before '('", "do {} while (x)\n(b)", "do {} while (x);\n(b)", true},
        {"a do statement on one line", "do {} while (x) f()", "do {} while (x); f()", true},
        {"a do statement at the end", "do {} while (x)", "do {} while (x);", true},
        {"a do statement before '}'", "{ do {} while (x) }", "{ do {} while (x); }", true},
        {"a written ';' is not doubled", "do {} while (x);", "do {} while (x);;", false},
        {"nested do statements", "do { do {} while (a) } while (b)\n(c)", "do { do {} while (a); } while (b);\n(c)",
         true},
        {"a while loop's body goes on", "while (x)\n(b)", "while (x);\n(b)", false},
        {"a while after a block is a loop", "{} while (x)\n(b)", "{} while (x);\n(b)", false},
    });
}

TEST(ScriptNearMiss, Decorators)
{
    checkPairs(TS, {
        {"a decorator on its own line", "@observer\nclass X {}", "@observer class X {}", true},
        {"a decorator call", "@a.b(c)\nclass X {}", "@a.b(c) class X {}", true},
        {"a decorator in parentheses", "@(a)\nclass X {}", "@(a) class X {}", true},
        {"decorators in a row", "@a\n@b()\nexport class X {}", "@a @b() export class X {}", true},
        {"a member's decorator", "class A {\n  @dec\n  m() {}\n}", "class A { @dec m() {} }", true},
        {"a decorated class is a declaration", "@dec\nclass X {}\n/a b/.test(c)", "@dec\nclass X {}\n/a  b/.test(c)",
         false},
        {"no decorator, a statement ends", "x = y\nclass X {}", "x = y;\nclass X {}", true},
    });
    checkPairs(JS, {
        {"decorators in JavaScript too", "@observer\nclass X {}", "@observer class X {}", true},
    });
}

TEST(ScriptNearMiss, Literals)
{
    checkPairs(JS, {
        {"a hex number takes no exponent", "x = 0x1e+5", "x = 0x1e + 5", true},
        {"an exponent's sign needs a digit", "x = 1e+a", "x = 1e + a", true},
        {"an exponent's '-'", "x = 1e-5", "x = 1e - 5", false},
        {"one '.' in a number", "x = 1.2.3", "x = 1.2 .3", true},
        {"a '.' after the exponent ends it", "x = 1e5.5", "x = 1e5 .5", true},
        {"a '.' after a hex number ends it", "x = 0x1.5", "x = 0x1 .5", true},
        {"a number's letters and digits", "x = 0b12", "x = 0b1 2", false},
        {"'.5e3' whole", "x = .5e3", "x = .5 e3", false},
        {"an escaped quote", "x = 'a\\'b' + c", "x = 'a\\'b'  +  c", true},
        {"an escaped line end goes on", "x = 'a\\\nb' + c", "x = 'a\\\nb'  +  c", true},
        {"an unescaped line end ends a string", "x = 'a\nb'", "x = 'a\n b'", true},
        {"an escaped '${' is text", "`a\\${b}`", "`a\\${ b}`", false},
        {"a '$' alone is text", "`a$b c`", "`a$b  c`", false},
        {"a '/' inside a class", "x = /[/] a/", "x = /[/]  a/", false},
        {"an escaped '/'", "x = /a\\/ b/", "x = /a\\/  b/", false},
        {"a braced name escape", "\\u{61}b = 1", "\\u{61} b = 1", false},
        {"a byte order mark at the start is layout", "\xEF\xBB\xBF" "a = 1", "a = 1", true},
        {"a byte order mark elsewhere is no layout", "a = 1\n\xEF\xBB\xBF", "a = 1\n", false},
        {"'#!' after the first line is no layout", "a\n#!b", "a\n", false},
    });
}

// Comments that tools read as code: JSX and Flow pragmas, TypeScript's
// triple-slash directives and its @ts- switches.
TEST(ScriptNearMiss, Directives)
{
    checkPairs(TS, {
        {"a JSX pragma's factory", "/** @jsx h */\nx", "/** @jsx React.createElement */\nx", false, 1, 5, 1, 5},
        {"a JSX pragma's blanks and lines", "/** @jsx   h */\nx", "/**\n * @jsx h\n */\nx", true},
        {"a word beside a pragma", "/* a @jsx h */\nx", "/* b @jsx h */\nx", true},
        {"a comment beside a pragma", "/** @jsx h */\n// one\nx", "/** @jsx h */\n// two\nx", true},
        {"a fragment pragma", "/* @jsxFrag F */\nx", "/* @jsxFrag Fragment */\nx", false},
        {"an import source pragma", "/* @jsxImportSource preact */\nx", "/* @jsxImportSource react */\nx", false},
        {"a runtime pragma", "/* @jsxRuntime classic */\nx", "/* @jsxRuntime automatic */\nx", false},
        {"a pragma's name as written", "/* @JSX h */\nx", "/* @jsx h */\nx", false},
        {"an argument on a later line", "/** @jsx\n * h */\nx", "/** @jsx *\n h */\nx", false},
        {"a longer name is no pragma", "/* @jsxh */\nx", "/* @jsxg */\nx", true},
        {"an argument after ':'", "// @jsx:h\nx", "// @jsx:g\nx", false},
        {"a reference's path", "/// <reference path=\"a.d.ts\" />\nx", "/// <reference path=\"b.d.ts\" />\nx", false},
        {"a reference's blanks", "/// <reference path=\"a.d.ts\" />\nx", "///<reference   path = \"a.d.ts\"/>\nx", true},
        {"blanks inside a reference's quotes", "/// <reference path=\"a b\" />\nx", "/// <reference path=\"a  b\" />\nx",
         false},
        {"a reference's types", "/// <reference types=\"node\" />\nx", "/// <reference types=\"bun\" />\nx", false},
        {"a reference's lib", "/// <reference lib=\"es2015\" />\nx", "/// <reference lib=\"dom\" />\nx", false},
        {"no default lib", "/// <reference no-default-lib=\"true\"/>\nx", "x", false},
        {"an AMD module's name", "/// <amd-module name=\"a\"/>\nx", "/// <amd-module name=\"b\"/>\nx", false},
        {"a plain /// comment", "/// one\nx", "/// two\nx", true},
        {"@ts-ignore's line", "// @ts-ignore\na()\nb()", "a()\n// @ts-ignore\nb()", false},
        {"@ts-ignore after the line before", "a()\n// @ts-ignore\nb()", "a() // @ts-ignore\nb()", true},
        {"@ts-ignore's reason", "// @ts-ignore: one\nx()", "// @ts-ignore: two\nx()", true},
        {"@ts-ignore in a block comment", "/* @ts-ignore */ x()", "// @ts-ignore\nx()", true},
        {"@ts-expect-error is another", "// @ts-expect-error\nx()", "// @ts-ignore\nx()", false},
        {"@ts-nocheck against @ts-check", "// @ts-nocheck\nx", "// @ts-check\nx", false},
        {"@ts-check is a token", "// @ts-check\nx", "x", false},
        {"a longer name than @ts-check", "// @ts-checked\nx", "x", true},
    });
    checkPairs(JS, {
        {"@flow is a token", "// @flow\nx", "x", false},
        {"@flow strict", "// @flow\nx", "// @flow strict\nx", false},
        {"@noflow against @flow", "// @noflow\nx", "// @flow\nx", false},
        {"@flow in either comment", "/* @flow */\nx", "// @flow\nx", true},
        {"'@' in code is no directive", "a = '// @flow'\n", "a = '// @flow'\n", true},
    });
    // With --comments, a directive takes the place of its words, which the
    // rest of its comment gives.
    LexOptions comments;
    comments.comments = true;
    EXPECT_EQ(keysOf(lexText("/* a @jsx h b */ x", TS, comments)),
              (std::vector<std::string>{"a", "//@jsx h", "b", "x", ";", ""}));
}

// The rules never see a directive: it goes out before the token after it.
TEST(ScriptNearMiss, DirectivesAmongRewrites)
{
    std::string many;
    for (int k = 0; k < 300; ++k)
        many += "// @ts-ignore\n";
    checkRewritePairs(TS, static_cast<RewriteSet>((1u << kRewriteKinds) - 1), {
        {"parens after a directive", "// @ts-ignore\nx = (1)\n", "// @ts-ignore\nx = 1\n", true},
        {"parens before a directive", "x = (1) // @ts-ignore\ny()\n", "x = 1 // @ts-ignore\ny()\n", true},
        {"a trailing comma before a directive", "f(a, // @ts-ignore\n)\n", "f(a // @ts-ignore\n)\n", true},
        {"braces around a directive", "if (a) { // @ts-ignore\nb() }\n", "if (a) // @ts-ignore\nb()\n", true},
        {"an object's last comma and quotes", "x = {'a': 1, // @ts-ignore\n}\n", "x = {a: 1 // @ts-ignore\n}\n", true},
        {"more directives in a row than held aside", many + "x = (1)\n", many + "x = 1\n", true},
        {"one directive fewer", many + "x = (1)\n", many.substr(14) + "x = 1\n", false},
        {"an else after a directive", "if (a) { if (b) c() }\n// @ts-ignore\nelse d()\n",
         "if (a) if (b) c()\n// @ts-ignore\nelse d()\n", false},
        {"a directive too long to hold", "/// <reference path=\"" + std::string(kRewriteLongToken, 'a') + "\" />\nx = (1)\n",
         "/// <reference path=\"" + std::string(kRewriteLongToken, 'a') + "\" />\nx = 1\n", true},
    });
}

// A pragma whose argument ends farther from its '@' than the lexer holds
// is refused, not cut.
TEST(ScriptNearMiss, DirectiveTooLong)
{
    EXPECT_EQ(refusalOf("/* @jsx " + std::string(600, 'h') + " */\nx\n", TS), "a comment read as code too long to compare");
    EXPECT_EQ(refusalOf("/* @jsx " + std::string(600, ' ') + "h */\nx\n", TS), "a comment read as code too long to compare");
    EXPECT_EQ(refusalOf("/* @jsx " + std::string(400, 'h') + " */\nx\n", TS), "");
}

TEST(ScriptNearMiss, Jsx)
{
    checkPairs(JS, {
        {"no element after an operand", "x = a <b> c", "x = a < b > c", true},
        {"a tag's name takes '-'", "x = <a-b />", "x = <a - b />", false},
        {"an attribute string has no escapes", "x = <a b=\"\\\" c=\"d\" />", "x = <a b=\"\\\"  c=\"d\" />", true},
        {"a CR LF in an attribute string is its LF", "x = <a b=\"c\r\nd\" />", "x = <a b=\"c\nd\" />", true},
        {"a lone CR in an attribute string is no LF", "x = <a b=\"c\rd\" />", "x = <a b=\"c\nd\" />", false},
        {"a blank run without a line end counts", "x = <p>a  b</p>", "x = <p>a b</p>", false},
        {"a leading blank run counts", "x = <p> a</p>", "x = <p>a</p>", false},
        {"a blank child in single quotes", "x = <p>a{' '}<b /></p>", "x = <p>a <b /></p>", true},
        {"other text in braces is no blank", "x = <p>a{\" x\"}</p>", "x = <p>a x</p>", false},
        {"after an element a line end ends the statement", "x = <a />\ny()", "x = <a />;\ny()", true},
    });
    checkPairs(TSX, {
        {"a constrained type parameter is no element", "f = <T extends U>(x: T) => x\ng()",
         "f = <T extends U>(x: T) => x;\ng()", true},
        {"a const type parameter is no element", "f = <const T,>(x: T) => x\ng()", "f = <const T,>(x: T) => x;\ng()",
         true},
    });
}

// --- The rules ---------------------------------------------------------------

const RewriteSet kQuotes = rewriteBit(Rewrite::Quotes);
const RewriteSet kNumbers = rewriteBit(Rewrite::Numbers);
const RewriteSet kCommas = rewriteBit(Rewrite::Commas);
const RewriteSet kParens = rewriteBit(Rewrite::Parens);
const RewriteSet kBraces = rewriteBit(Rewrite::Braces);
const RewriteSet kSemicolons = rewriteBit(Rewrite::Semicolons);

TEST(ScriptNearMiss, Quotes)
{
    checkRewritePairs(JS, kQuotes, {
        {"an unterminated string as written", "x = 'a", "x = \"a", false},
        {"'\\0' is NUL", "x = '\\0'", "x = '\\x00'", true},
        {"'\\0' before a digit is octal", "x = '\\01'", "x = '\\x001'", false},
        {"'\\08' as written", "x = '\\08'", "x = '\\x008'", false},
        {"'\\8' as written", "x = '\\8'", "x = '8'", false},
        {"a short hex escape as written", "x = '\\x4'", "x = \"\\x4\"", false},
        {"a braced escape", "x = '\\u{0041}'", "x = 'A'", true},
        {"a braced escape past U+10FFFF as written", "x = '\\u{110000}'", "x = \"\\u{110000}\"", false},
        {"an empty braced escape as written", "x = '\\u{}'", "x = \"\\u{}\"", false},
        {"a short unicode escape as written", "x = '\\u004'", "x = \"\\u004\"", false},
        {"the simple escapes", "x = '\\b\\f\\n\\r\\t\\v'", "x = '\\x08\\x0c\\x0a\\x0d\\x09\\x0b'", true},
        {"a simple escape is its character", "x = '\\n'", "x = '\\t'", false},
        {"an escaped CR LF goes on", "x = 'a\\\r\nb'", "x = 'ab'", true},
        {"an escaped U+2028 goes on", "x = 'a\\\xE2\x80\xA8" "b'", "x = 'ab'", true},
        {"bytes that are no UTF-8 as written", "x = 'a\xFF'", "x = \"a\xFF\"", false},
        {"a JSX attribute string's entities as written", "x = <a b='c\"' />", "x = <a b=\"c&quot;\" />", false},
    });
}

TEST(ScriptNearMiss, Numbers)
{
    checkRewritePairs(JS, kNumbers, {
        {"an octal BigInt", "x = 0o17n", "x = 15n", true},
        {"a hex number past 64 bits as written", "x = 0x10000000000000000", "x = 18446744073709551616", false},
        {"a separator at the end as written", "x = 1_", "x = 1", false},
        {"a separator after the prefix as written", "x = 0x_1", "x = 1", false},
        {"an exponent of seven digits as written", "x = 1e1234567", "x = 10e1234566", false},
        {"an exponent's leading zeros", "x = 1e0000005", "x = 1e5", true},
        {"a negative exponent", "x = 1e-1", "x = 0.1", true},
        {"a fraction and an exponent", "x = 0.5e1", "x = 5", true},
        {"zero", "x = 0.0", "x = 0", true},
        {"a decimal BigInt's leading zeros as written", "x = 00n", "x = 0n", false},
        {"a BigInt with an exponent as written", "x = 1e3n", "x = 1000n", false},
        {"a BigInt by value", "x = 0n", "x = 0x0n", true},
        {"a number by value", "x = 1.5", "x = 15e-1", true},
        {"a different value", "x = 1.5", "x = 1.50001", false},
    });
}

TEST(ScriptNearMiss, Commas)
{
    checkRewritePairs(JS, kCommas, {
        {"holes are no trailing comma", "x = [, ,];", "x = [,];", false},
        {"a comma after '(' as written", "f(,);", "f();", false},
        {"a comma after '{' as written", "x = {,};", "x = {};", false},
        {"after a spread in an array", "x = [...a,];", "x = [...a];", true},
        {"after a rest in an object pattern", "({...a,} = b);", "({...a} = b);", false},
        {"after a rest in a for-of pattern", "for ([...a,] of b);", "for ([...a] of b);", false},
        {"after a spread in an argument's object", "f({...a,});", "f({...a});", true},
        {"after a spread in a group's object", "x = ({...a,});", "x = ({...a});", true},
        {"after a rest in an arrow's parameter", "g = ({...a,}) => a;", "g = ({...a}) => a;", false},
        {"after the last argument of a call on lines", "f(\n  a,\n  b,\n);", "f(a, b);", true},
        {"an object's ';' before '}' and a comma", "x = {\n  a: 1,\n};", "x = {\n  a: 1\n};", true},
    });
    checkRewritePairs(TS, kCommas, {
        {"an enum", "enum E { A, B, }", "enum E { A, B }", true},
        {"a leading '&'", "type T =\n  & A\n  & B;", "type T = A & B;", true},
        {"a leading '|' after '('", "type T = (| A | B);", "type T = (A | B);", true},
        {"a '|' after an operand is no leading one", "type T = A || B;", "type T = A | B;", false},
    });
}

TEST(ScriptNearMiss, Parens)
{
    checkRewritePairs(JS, kParens, {
        {"'-' binds looser than '*'", "x = (a - b) * c;", "x = a - b * c;", false},
        {"'?\?' and '||' in one pair", "x = (a ?? b || c);", "x = a ?? b || c;", false},
        {"'&' binds tighter than '|'", "x = (a & b) | c;", "x = a & b | c;", true},
        {"'|' binds looser than '&'", "x = (a | b) & c;", "x = a | b & c;", false},
        {"'==' binds tighter than '&'", "x = (a == b) & c;", "x = a == b & c;", true},
        {"'<' binds tighter than '=='", "x = (a < b) == c;", "x = a < b == c;", true},
        {"'<<' binds tighter than '<'", "x = (a << b) < c;", "x = a << b < c;", true},
        {"'+' binds tighter than '<<'", "x = (a + b) << c;", "x = a + b << c;", true},
        {"'%' binds tighter than '-'", "x = (a % b) - c;", "x = a % b - c;", true},
        {"'^' binds tighter than '|'", "x = (a ^ b) | c;", "x = a ^ b | c;", true},
        {"instanceof binds tighter than '&&'", "x = (a instanceof b) && c;", "x = a instanceof b && c;", true},
        {"a '**' operand", "x = (a) ** b;", "x = a ** b;", true},
        {"'**' binds to the right", "x = a ** (b ** c);", "x = a ** b ** c;", true},
        {"'**' on the left of '**'", "x = (a ** b) ** c;", "x = a ** b ** c;", false},
        {"a prefix operator on the left of '**'", "x = (-a) ** b;", "x = -a ** b;", false},
        {"a prefix operator on the right of '**'", "x = a ** (-b);", "x = a ** -b;", true},
        {"'**' inside a prefix operator", "x = -(a ** b);", "x = -a ** b;", false},
        {"'**' binds tighter than '*'", "x = a * (b ** c);", "x = a * b ** c;", true},
        {"'*' inside '**'", "x = (a * b) ** c;", "x = a * b ** c;", false},
        {"in binds as '<'", "x = (a in b) && c;", "x = a in b && c;", true},
        {"in on the right of '<'", "x = a < (b in c);", "x = a < b in c;", false},
        {"a returned in", "function f() { return (a in b); }", "function f() { return a in b; }", true},
        {"in in a for head", "for (var x = (a in b); ;) {}", "for (var x = a in b; ;) {}", false},
        {"in in a function in a for head", "for (var f = function () { return (a in b); }; ;) {}",
         "for (var f = function () { return a in b; }; ;) {}", false},
        {"await's operand", "async function f() { await (a); }", "async function f() { await a; }", true},
        {"await's binary operand", "async function f() { await (a + b); }", "async function f() { await a + b; }", false},
        {"await and its operand on two lines", "function f() { x = await\n(a); }", "function f() { x = await\na; }", false},
        {"export default's value", "export default (a || b);", "export default a || b;", true},
        {"export default's function", "export default (function () {});", "export default function () {};", false},
        {"export default's sequence", "export default (a, b);", "export default a, b;", false},
        {"export default's value before a line's '('", "export default (a)\n(b);", "export default a\n(b);", false},
        {"export default's value before a declaration", "export default (a)\nconst b = 1;", "export default a\nconst b = 1;", true},
        {"a reserved parameter", "g = (yield) => 1;", "g = yield => 1;", false},
        {"an escaped parameter", "g = (\\u0061) => 1;", "g = \\u0061 => 1;", false},
        {"a parameter with a default", "g = (a = 1) => a;", "g = a = 1 => a;", false},
        {"a statement's member", "(a).b();", "a.b();", true},
        {"a statement's operator and member", "(a + b).c;", "a + b.c;", false},
        {"a statement's conditional", "(a) ? b : c;", "a ? b : c;", false},
        {"a statement's primary", "(a);", "a;", true},
        {"a returned sequence", "function f() { return (a, b); }", "function f() { return a, b; }", true},
        {"a sequence in a hole", "x = `${(a, b)}`;", "x = `${a, b}`;", true},
        {"a sequence as an argument", "f((a, b));", "f(a, b);", false},
        {"a prefix operator's operand", "x = -(a);", "x = -a;", true},
        {"a prefix operator's binary operand", "x = -(a + b);", "x = -a + b;", false},
        {"typeof's operand", "x = typeof (a);", "x = typeof a;", true},
        {"a prefix operator's assignment", "x = !(a = b);", "x = !a = b;", false},
        {"an assignment as an argument", "f((a = b));", "f(a = b);", true},
        {"an assignment in an array", "x = [(a = b)];", "x = [a = b];", false},
        {"an assignment in a branch", "x = c ? (a = b) : d;", "x = c ? a = b : d;", true},
        {"a tagged template's tag", "x = (a)`b`;", "x = a`b`;", true},
        {"an operator and a member", "x = (a + b).c;", "x = a + b.c;", false},
        {"an object's value", "x = {a: (b)};", "x = {a: b};", true},
        {"a thrown value", "throw (a);", "throw a;", true},
        {"a hole's value", "x = `${(a)}`;", "x = `${a}`;", true},
        {"an element at a statement's start", "(<a />);", "<a />;", false},
    });
}

TEST(ScriptNearMiss, ParensByBinding)
{
    // Each binary operator's binding, tightest last: parentheses around a
    // looser operator's expression on the left of a tighter one stay, and a
    // pair on the right of any operator of the same binding too.
    const std::vector<std::vector<const char *>> levels = {
        {"??", "||"}, {"&&"}, {"|"}, {"^"}, {"&"}, {"==", "!=", "===", "!=="},
        {"<", ">", "<=", ">=", "instanceof"}, {"<<"}, {"+", "-"}, {"*", "/", "%"},
    };
    std::deque<std::string> names;  // the rows' names, which stay where they are as more come
    std::vector<PairCase> rows;
    for (std::size_t i = 0; i < levels.size(); ++i)
        for (std::size_t j = 0; j < levels.size(); ++j)
            for (const std::string in : levels[i])
                for (const std::string out : levels[j]) {
                    // "??" joins "||" or "&&" only inside parentheses.
                    const bool logical = in == "||" || in == "&&" || out == "||" || out == "&&";
                    const bool mixed = (in == "??" || out == "??") && in != out && logical;
                    names.push_back(in + " inside, " + out + " after");
                    rows.push_back({names.back().c_str(), "x = (a " + in + " b) " + out + " c;",
                                    "x = a " + in + " b " + out + " c;", i >= j && !mixed});
                    if (i != j)
                        continue;
                    names.push_back(in + " inside, " + out + " before");
                    rows.push_back({names.back().c_str(), "x = c " + out + " (a " + in + " b);",
                                    "x = c " + out + " a " + in + " b;", false});
                }
    checkRewritePairs(JS, kParens, rows);
}

TEST(ScriptNearMiss, TypeScriptParens)
{
    checkRewritePairs(TS, kParens, {
        {"a generic arrow's parameter", "f = <T>(x) => x;", "f = <T>x => x;", false},
        {"a returned arrow's parameter", "function f() { return (x) => x; }", "function f() { return x => x; }", true},
        {"a type annotation's parentheses", "let a: (b) = c;", "let a: b = c;", true},
        {"a function type in an annotation", "let f: (() => A);", "let f: () => A;", true},
        {"a function type before '|'", "let f: (() => A) | B;", "let f: () => A | B;", false},
        {"a function type before '[]'", "let f: (() => A)[];", "let f: () => A[];", false},
        {"a function type's parameters", "let f: (a) => A;", "let f: a => A;", false},
        {"a return type as written", "function f(): (A) {}", "function f(): A {}", false},
        {"a parameter's type", "function f(x: (A | B), y) {}", "function f(x: A | B, y) {}", true},
        {"a type alias's type", "type F = (() => void);", "type F = () => void;", true},
        {"a type alias before a line's '|'", "type F = (() => void)\n| A;", "type F = () => void\n| A;", false},
        {"as alone", "x = (a as B);", "x = a as B;", true},
        {"satisfies alone", "x = (a satisfies B);", "x = a satisfies B;", true},
        {"as binds as '<'", "x = c || (a as B);", "x = c || a as B;", true},
        {"as inside '+'", "x = c + (a as B);", "x = c + a as B;", false},
        {"as after as", "x = (a as unknown) as B;", "x = a as unknown as B;", true},
        {"'||' inside as", "x = (a || b as C) as D;", "x = a || b as C as D;", false},
        {"as before '|'", "x = (a as B) | c;", "x = a as B | c;", false},
        {"as before '['", "x = (a as B)[0];", "x = a as B[0];", false},
        {"as before '?'", "x = (a as B) ? c : d;", "x = a as B ? c : d;", false},
        {"as on a later line", "x = (a\nas B);", "x = a\nas B;", false},
        {"as before an assignment", "(a as any) = 1;", "a as any = 1;", false},
        {"a conditional type after as", "x = (a as B extends C ? D : E);", "x = a as B extends C ? D : E;", false},
        {"an assignment in a branch", "x = c ? (a = b) : d;", "x = c ? a = b : d;", false},
        {"a type assertion's operand", "x = <T>(a.b)(c);", "x = <T>a.b(c);", true},
        {"a type assertion's nested type", "f(<Map<K, V>>(a));", "f(<Map<K, V>>a);", true},
        {"a type assertion's binary operand", "x = <T>(a + b);", "x = <T>a + b;", false},
        {"a type assertion's member", "x = (<T>a).b;", "x = <T>a.b;", false},
        {"a call signature's parameter", "type F = { <T>(a), b: T };", "type F = { <T>a, b: T };", false},
        {"a non-null operand", "x = (a.b!).c + (d)!;", "x = a.b!.c + d!;", true},
        {"a non-null binary operand", "x = (a + b)!;", "x = a + b!;", false},
        {"a non-null assertion on a later line", "x = (a\n!).b;", "x = a!.b;", false},
        {"void's operand", "x = void (a.b);", "x = void a.b;", true},
        {"void's binary operand", "x = void (a + b);", "x = void a + b;", false},
        {"void's operand on a later line", "x = void\n(0);", "x = void 0;", false},
    });
    checkRewritePairs(JS, kParens, {{"no non-null assertion in JavaScript", "x = (a!);", "x = a!;", false}});
    checkRewritePairs(TSX, kParens, {{"JSX, no type assertion", "x = <T>(a)</T>;", "x = <T>a</T>;", false}});
}

TEST(ScriptNearMiss, Braces)
{
    checkRewritePairs(JS, kBraces, {
        {"a number starts it", "if (a) { 1; }", "if (a) 1;", true},
        {"'(' starts it", "if (a) { (b)(); }", "if (a) (b)();", true},
        {"'[' starts it", "if (a) { [b] = c; }", "if (a) [b] = c;", true},
        {"'++' starts it", "if (a) { ++b; }", "if (a) ++b;", true},
        {"'!' starts it", "if (a) { !b; }", "if (a) !b;", true},
        {"this starts it", "if (a) { this.b(); }", "if (a) this.b();", true},
        {"an escaped name starts none", "if (a) { \\u0061(); }", "if (a) \\u0061();", false},
        {"a string starts none", "if (a) { 'b'; }", "if (a) 'b';", false},
        {"a function starts none", "if (a) { function f() {} }", "if (a) function f() {}", false},
        {"a nested body's ';'", "if (a) { b(function () { c(); }); }", "if (a) b(function () { c(); });", true},
        {"an element inside", "if (a) { b(<c />); }", "if (a) b(<c />);", false},
        {"a do's body", "do { a(); } while (b);", "do a(); while (b);", true},
        {"a for body", "for (;;) { a(); }", "for (;;) a();", true},
        {"an inserted ';' ends it", "if (a) { b() }", "if (a) b();", true},
        {"an empty body", "if (a) {}", "if (a) ;", false},
        {"a block after a call", "f(a) { b(); }", "f(a) b();", false},
    });
}

TEST(ScriptNearMiss, Semicolons)
{
    checkRewritePairs(JS, kSemicolons, {
        {"after a class", "class A {};\nf();", "class A {}\nf();", true},
        {"after a body's '{'", "function f() {;}", "function f() {}", true},
        {"in an object", "x = {;};", "x = {};", false},
        {"after a call", "f();\n;", "f();\n", true},
        {"after an expression", "f()\n;\n(g)()", "f()\n(g)()", false},
    });
    checkRewritePairs(TS, kSemicolons, {
        {"after an interface", "interface A {};\nf();", "interface A {}\nf();", true},
        {"after an enum", "enum E { A };\nf();", "enum E { A }\nf();", true},
        {"after an enum, before a string", "enum E { A };\n'b';", "enum E { A }\n'b';", false},
    });
}

// --- Where the rewriter's window falls -------------------------------------

// Statements of count tokens in all (count of 4 or more), "p;" and "p++;" one
// a line, so that what follows them starts at any token.
std::string statements(std::size_t count)
{
    std::string out;
    if (count % 2)
        out += "p++;\n";
    for (std::size_t i = count % 2 ? 3 : 0; i < count; i += 2)
        out += "p;\n";
    return out;
}

TEST(ScriptNearMiss, WindowEndsAnywhere)
{
    // The rewriter's first window of kRewriteTokens tokens ends at each token
    // of the construct in turn: its rewrite is the same wherever that falls.
    std::vector<PairCase> braces, commas, calls, bytes;
    for (std::size_t k = 0; k < 14; ++k) {
        const std::string before = statements(kRewriteTokens - 12 + k);
        braces.push_back({"braces", before + "if (c) { g(); }\n", before + "if (c) g();\n", true});
        // A trailing comma early moves all that follows by one token.
        commas.push_back({"a comma before", "f(a, b);\n" + before + "if (c) { g(); }\n",
                          "f(a, b,);\n" + before + "if (c) { g(); }\n", true});
        calls.push_back({"a call's trailing comma", before + "f(...a, b,);\n", before + "f(...a, b);\n", true});
    }
    // A window out of key room: long names before.
    const std::string longName(4000, 'n');
    for (std::size_t k = 0; k < 14; ++k) {
        std::string before;
        for (int i = 0; i < 31; ++i)
            before += longName + ";\n";
        before += statements(4 + k);
        bytes.push_back({"key room", before + "if (c) { g(); }\n", before + "if (c) g();\n", true});
    }
    checkRewritePairs(JS, kBraces, braces);
    checkRewritePairs(JS, kBraces | kCommas, commas);
    checkRewritePairs(JS, kCommas, calls);
    checkRewritePairs(JS, kBraces, bytes);
}

TEST(ScriptNearMiss, WhereTheSourceStarts)
{
    // The same text at the start and after other statements.
    checkRewritePairs(JS, kSemicolons | kParens | kBraces, {
        {"the same after a statement", "p;\n;\nif (a) { (b); }", "p;\nif (a) b;", true},
        {"the same at the start", ";\nif (a) { (b); }", "if (a) b;", true},
    });
}

} // namespace

// Tests of the script lexer: tables of JavaScript and TypeScript pairs, and a
// real parser and real formatters as the independent check.

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
        {"comments after a hashbang are layout", "#!/usr/bin/env node\n// c\nx /* d */ = 1", "#!/usr/bin/env node\nx = 1",
         true},
        {"a hashbang line is a token", "#!/usr/bin/env node\nx = 1", "x = 1", false},
        {"another hashbang line", "#!/usr/bin/env node\nx = 1", "#!/usr/bin/env deno\nx = 1", false},
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
        return commandLines(command);
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
    std::vector<std::string> js = lines("find " + roots + kSampleFiles + " -name '*.js' -size -30k -size +2k 2>/dev/null | sort | "
                                        "awk 'NR % 13 == 0' | head -40");
    std::vector<std::string> ts = lines("find " + roots + kSampleFiles + " -name '*.d.ts' -size -60k -size +1k 2>/dev/null | sort | "
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

// The rewrites of JavaScript, TypeScript and TSX sources (src/languages/javascript/rules.cpp):
// pairs that must compare equal or differ with every rewrite allowed, and
// prettier's output on real files of this machine judged by a real parser.

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
        {"an arrow's one parameter", "g = (a,) => a;", "g = a => a;", true},
        {"an arrow's one parameter in TypeScript", "g = (a,) => a;", "g = (a) => a;", true, TS},
        {"a spread in an array in a call's object", "f({a: [...b,]});", "f({a: [...b]});", true},
        {"a spread in an array in an assigned object", "f({a: [...b,]} = c);", "f({a: [...b]} = c);", false},
        {"a spread in an array in an arrow's object", "f(({a: [...b,]}) => 1);", "f(({a: [...b]}) => 1);", false},
        {"an enum's last member", "enum E { A, 'B' }", "enum E { A, B, }", true, TS},
        {"an enum's last member renamed", "enum E { A, B }", "enum E { A, C, }", false, TS},
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

TEST(ScriptRewrites, PropertyNames)
{
    checkTable({
        {"object key", "x = {'a': 1, \"b\": 2};", "x = {a: 1, b: 2};", true},
        {"escaped key", "x = {'\\x61': 1};", "x = {a: 1};", true},
        {"keyword key", "x = {'class': 1};", "x = {class: 1};", true},
        {"number key", "x = {'1': a, '1.5': b};", "x = {1: a, 1.5: b};", true},
        {"pattern key", "const {'a': b} = c;", "const {a: b} = c;", true},
        {"method key", "x = {'a'() {}};", "x = {a() {}};", true},
        {"class members", "class A { 'a' = 1; static 'b'() {} get 'c'() {} }",
         "class A { a = 1; static b() {} get c() {} }", true},
        {"interface member", "interface I { 'a'?: T; 'b'(): U }", "interface I { a?: T; b(): U }", true, TS},
        {"enum member", "enum E { 'A' = 1, B }", "enum E { A = 1, B }", true, TS},
        {"key with a dash", "x = {'a-b': 1};", "x = {\"a-b\": 1};", true},
        {"non-ASCII keys", "x = {'\u53e4': 1, '\xC3\xA9': 2};", "x = {\xE5\x8F\xA4: 1, \xC3\xA9: 2};", true},
        {"a key with a no-break space", "x = {'a\xC2\xA0': 1};", "x = {a\xC2\xA0: 1};", false},
        {"keys of fractions", "x = {.1: a, 1.50: b};", "x = {0.1: a, 1.5: b};", true},
        {"a legacy octal key", "x = {010: a};", "x = {10: a};", false},
        {"regular expression flags", "x = /a[/]/ig;", "x = /a[/]/gi;", true},
        {"a regular expression's flag", "x = /a/ig;", "x = /a/g;", false},
        {"a doubled flag", "x = /a/gg;", "x = /a/g;", false},
        {"value, not key", "x = {a: 'b'};", "x = {a: b};", false},
        {"shorthand", "x = {'a', b};", "x = {a, b};", false},
        {"member access", "x = a['b'];", "x = a.b;", false},
        {"computed key", "x = {['a']: 1};", "x = {[a]: 1};", false},
        {"not a name", "x = {'a-b': 1};", "x = {a-b: 1};", false},
        {"proto", "x = {'__proto__': a};", "x = {__proto__: a};", false},
        {"constructor", "class A { 'constructor'() {} }", "class A { constructor() {} }", false},
        {"construct signature", "interface I { 'new'(): T }", "interface I { new(): T }", false, TS},
        {"not a canonical number", "x = {'1.0': a};", "x = {1.0: a};", false},
        {"leading zero", "x = {'010': a};", "x = {10: a};", false},
        {"enum number", "enum E { '1' = 1 }", "enum E { 1 = 1 }", false, TS},
        {"label in a block", "{ 'a': 1 }", "{ a: 1 }", false},
        {"call in a class field", "class A { a = b * 'c'(); }", "class A { a = b * c(); }", false},
        {"conditional branch", "x = c ? 'a' : b;", "x = c ? a : b;", false},
        {"case label", "switch (x) { case 'a': f(); }", "switch (x) { case a: f(); }", false},
    });
}

TEST(ScriptRewrites, NewArguments)
{
    checkTable({
        {"empty arguments", "x = new X;", "x = new X();", true},
        {"member callee", "x = [new a.b.C, new D];", "x = [new a.b.C(), new D()];", true},
        {"computed member callee", "f(new a[b]);", "f(new a[b]());", true},
        {"before an operator", "x = new X + 1;", "x = new X() + 1;", true},
        {"member after", "x = new X().y;", "x = new X.y;", false},
        {"index after", "x = new X()[0];", "x = new X[0];", false},
        {"call after", "x = new X()();", "x = new X();", false},
        {"called callee", "x = new (f())();", "x = new f();", false},
        {"arguments", "x = new X(a);", "x = new X;", false},
        {"template after", "x = new X()`a`;", "x = new X`a`;", false},
        {"property named new", "x = a.new();", "x = a.new;", false},
        {"type arguments", "x = new X<T>();", "x = new X<T>;", false, TS},
        {"parenthesized callee", "x = new (a.b)();", "x = new a.b;", true},
        {"called callee kept", "x = new (a.b())();", "x = new a.b()();", false},
        {"constructor type", "type C = new (a) => T;", "type C = new a => T;", false, TS},
        {"construct signature", "interface I { new (a): T }", "interface I { new a: T }", false, TS},
    });
}

TEST(ScriptRewrites, ParensPrettierMoves)
{
    checkTable({
        {"arrow body arrow", "f = (a) => ((b) => a + b);", "f = a => b => a + b;", true},
        {"arrow body new", "f = () => (new X);", "f = () => new X();", true},
        {"coalesce chain", "x = (a ?? b) ?? c;", "x = a ?? b ?? c;", true},
        {"for update sequence", "for (;; (i++, j--)) {}", "for (;; i++, j--) {}", true},
        {"for init sequence", "for ((i = 0, j = 0); ;) {}", "for (i = 0, j = 0; ;) {}", true},
        {"condition sequence", "if ((a, b)) f();", "if (a, b) f();", true},
        {"index assignment", "a[(b = c)] = d;", "a[b = c] = d;", true},
        {"index sequence", "x = a[(b, c)];", "x = a[b, c];", true},
        {"object after a branch", "x = c ? a : {'b': 1};", "x = c ? a : {b: 1};", true},
        {"coalesce on the right", "x = a ?? (b ?? c);", "x = a ?? b ?? c;", false},
        {"coalesce mixed", "x = a ?? (b || c);", "x = a ?? b || c;", false},
        {"arrow called", "x = (a => b)(c);", "x = a => b(c);", false},
        {"arrow in a sequence", "x = (a => b, c);", "x = a => (b, c);", false},
        {"arrow body with in", "for (var f = (x => a in b); ;) {}", "for (var f = x => a in b; ;) {}", false},
        {"arrow body object", "f = () => ({a: 1});", "f = () => {a: 1};", false},
        {"new then member", "x = (new X).y;", "x = new X.y;", false},
        {"pattern default", "[(b = c)] = d;", "[b = c] = d;", false},
        {"sequence for a value", "x = (a, b);", "x = a, b;", false},
        {"sequence in a for-in", "for ((a, b) in c) {}", "for (a, b in c) {}", false},
        {"label after a case", "switch (x) { case 1: { 'a': 1 } }", "switch (x) { case 1: { a: 1 } }", false},
        {"operand named type", "x = (a || type);", "x = a || type;", true},
        {"parameter named of", "f = (of) => of;", "f = of => of;", true},
        {"yield is no plain name", "function* g() { x = (yield) + 1; }", "function* g() { x = yield + 1; }", false},
        {"second branch", "x = c ? '' : (d ? 1 : 2);", "x = c ? '' : d ? 1 : 2;", true},
        {"first operand a conditional", "x = (c ? a : b) ? d : e;", "x = c ? a : b ? d : e;", false},
        {"second branch a sequence", "x = c ? a : (b, d);", "x = c ? a : b, d;", false},
        {"member of new with arguments", "x = (new URL(a)).host;", "x = new URL(a).host;", true},
        {"super in a statement sequence", "class A extends B { constructor() { (super(t), f()); } }",
         "class A extends B { constructor() { super(t), f(); } }", true},
        {"const enum trailing comma", "const enum E { A = 1, }", "const enum E { A = 1 }", true, TS},
        {"for-of value", "for (const m of (c ? p : [p])) {}", "for (const m of c ? p : [p]) {}", true},
        {"for-of sequence", "for (x of (a, b)) {}", "for (x of a, b) {}", false},
        {"call of a function named of", "for (of (a ? b : c);;) {}", "for (of a ? b : c;;) {}", false},
        {"statement sequence parts", "(a = 1), (b = 2);", "a = 1, b = 2;", true},
        {"for head sequence parts", "for (a = 1, (b = 2);;) {}", "for (a = 1, b = 2;;) {}", true},
        {"declarator", "var a = 1, (b = 2);", "var a = 1, b = 2;", false},
        {"declarator in a for head", "for (let a = 1, (b);;) {}", "for (let a = 1, b;;) {}", false},
    });
}

TEST(ScriptRewrites, TypeMembers)
{
    checkTable({
        {"interface", "interface I { a: T, b(): U, [k: string]: V }", "interface I { a: T; b(): U; [k: string]: V }",
         true, TS},
        {"trailing separator", "interface I { a: T, }", "interface I {\n  a: T\n}", true, TS},
        {"type literal", "type T = { a: X, 'b'?: Y };", "type T = { a: X; b?: Y };", true, TS},
        {"readonly member", "type T = { a: X, readonly b: Y };", "type T = { a: X; readonly b: Y };", true, TS},
        {"object literal", "x = { a: 1, b: 2 };", "x = { a: 1; b: 2 };", false, TS},
        {"type parameters", "type T = { a: <X, Y>(x: X) => Y };", "type T = { a: <X; Y>(x: X) => Y };", false, TS},
        {"type arguments", "interface I { a: M<K, V> }", "interface I { a: M<K; V> }", false, TS},
        {"parameters", "interface I { a(b: X, c: Y): Z }", "interface I { a(b: X; c: Y): Z }", false, TS},
        {"after a type alias", "type T = A\n(f)({ a: 1, b: 2 });", "type T = A\n(f)({ a: 1; b: 2 });", false, TS},
        {"javascript", "x = { a: 1, b: 2 };", "x = { a: 1; b: 2 };", false},
        {"variable's type", "declare const x: { a: T, b: U };", "declare const x: { a: T; b: U };", true, TS},
        {"parameter's type", "function f(o: { a?: T, b?: U }) {}", "function f(o: { a?: T; b?: U }) {}", true, TS},
        {"object after a conditional", "f(c ? a : { a: 1, b: 2 });", "f(c ? a : { a: 1; b: 2 });", false, TS},
        {"variable's value", "let x = { a: { b: 1, c: 2 } };", "let x = { a: { b: 1; c: 2 } };", false, TS},
        {"import attributes in a type", "interface I { a: typeof import('m', { with: { b: 'c', d: 'e' } }) }",
         "interface I { a: typeof import('m', { with: { b: 'c'; d: 'e' } }) }", false, TS},
        {"empty member", "interface I { a: T;; }", "interface I { a: T; }", false, TS},
    });
}

// --- Real formatter output -----------------------------------------------

std::vector<std::string> shellLines(const std::string &command)
{
    return commandLines(command);
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

const char *const kStyles[] = {"prettier", "nosemi", "single", "commasnone", "commasall", "props", "consistent",
                                "arrowavoid"};

// prettier in each of its styles on real files, a few JSX sources and the
// sources of tests/languages/javascript (each rewrite prettier makes, written
// the other way, so that every rule is exercised wherever this machine's
// files are): every pair the parser calls different is refused, and over 95%
// of those it calls the same are accepted.
TEST(ScriptRewritesTools, ParserJudgesPrettierOnRealFiles)
{
    std::string npm = std::string(MATCHLING_NPM_TOOLS) + "/../..";
    if (!haveTool("node") || npmTool("prettier").empty() || !exists(npm + "/node_modules/acorn") ||
        !exists(npm + "/node_modules/typescript"))
        GTEST_SKIP() << "node and tests/npm's packages are needed (npm ci in tests/npm)";
    std::string roots = "'" + npm + "/node_modules' \"$(npm root -g 2>/dev/null)\" /usr/share/nodejs";
    // Chosen by their paths below each root, so that where the checkout lies changes nothing.
    std::vector<std::string> js = shellLines("find -H " + roots + kSampleFiles + " -name '*.js' -size -30k -size +2k -printf '%P %p\\n' "
                                             "2>/dev/null | sort | awk 'NR % 13 == 0 { print $2 }' | head -24");
    std::vector<std::string> ts = shellLines("find -H " + roots + kSampleFiles + " -name '*.d.ts' -size -60k -size +1k -printf '%P %p\\n' "
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
    for (const std::string &f : shellLines("ls '" MATCHLING_SOURCE_DIR "/tests/languages/javascript/'*"))
        files += " '" + f + "'";
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
    EXPECT_LT(total.residue * 20, total.same) << "over 5% of the pairs the parser calls the same are refused";
}

} // namespace
