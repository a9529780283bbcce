// Near misses of JavaScript, TypeScript and TSX: for each decision the script
// lexer (tokens/script_lexer.cpp) and its rules (rewrites/script_rules.cpp)
// make, a pair that must differ if the decision went wrong and, where it can
// go the other way, a pair that must stay equal. The pairs that
// tests/script_lexer_test.cpp and tests/script_rewrites_test.cpp hold are not
// repeated here.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "../lex_support.h"

namespace {

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
        {"'(' between members", "interface A {\n  a\n  (b): c\n}", "interface A { a (b): c }", false},
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

TEST(ScriptNearMiss, Jsx)
{
    checkPairs(JS, {
        {"no element after an operand", "x = a <b> c", "x = a < b > c", true},
        {"a tag's name takes '-'", "x = <a-b />", "x = <a - b />", false},
        {"an attribute string has no escapes", "x = <a b=\"\\\" c=\"d\" />", "x = <a b=\"\\\"  c=\"d\" />", true},
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
        {"'**' as written", "x = (a) ** b;", "x = a ** b;", false},
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
        {"a type annotation's parentheses", "let a: (b) = c;", "let a: b = c;", false},
        {"an assignment in a branch", "x = c ? (a = b) : d;", "x = c ? a = b : d;", false},
    });
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
