// Go's in-process tests: its near misses first, then the lexer's tests, under
// a note of their own.
//
// Near misses of the Go lexer and of Go's sorted imports: for each decision,
// a pair that must differ if it went wrong and, where it can go the other
// way, a pair that must stay equal.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"

namespace {

const Language Go = Language::Go;

TEST(GoNearMiss, Layout)
{
    checkPairs(Go, {
        {"CR LF ends a line as LF does", "x := 1\r\ny := 2\r\n", "x := 1\ny := 2\n", true},
        {"a lone CR is a blank", "x\ry", "x y", true},
        {"a lone CR ends no line", "x\ry", "x\ny", false},
        {"a form feed is a token", "x\fy", "x y", false},
        {"a vertical tab is a token", "x\vy", "x y", false},
        {"a byte order mark past the start is a token", "x \xEF\xBB\xBF", "x", false},
        {"a block comment at the input's end", "x /* c */", "x", true},
    });
}

// Comments Go's tools read as code: compiler directives, line directives,
// cgo's //export, and build constraints.
TEST(GoNearMiss, Directives)
{
    const std::string longer(kLexWindowSize, 'a');
    checkPairs(Go, {
        {"an embedded file", "package p\n//go:embed a.txt\nvar x string\n", "package p\n//go:embed b.txt\nvar x string\n",
         false, 2, 1, 2, 1},
        {"a blank after // is a plain comment", "package p\n// go:embed a.txt\nvar x string\n",
         "package p\n// go:embed b.txt\nvar x string\n", true},
        {"a generator's command", "//go:generate stringer -type=A\n", "//go:generate stringer -type=B\n", false},
        {"a directive is a token", "//go:noinline\nfunc f() {}\n", "func f() {}\n", false},
        {"a directive's blanks as written", "//go:linkname a b.c\n", "//go:linkname a  b.c\n", false},
        {"a directive after the line before", "x := 1 //go:noinline\ny := 2\n", "x := 1\n//go:noinline\ny := 2\n", true},
        {"a directive before a body's '}'", "func f() { a() //go:x\n}\n", "func f() {\n\ta()\n\t//go:x\n}\n", true},
        {"a comment beside a directive", "//go:noinline\n// one\nfunc f() {}\n", "//go:noinline\n// two\nfunc f() {}\n",
         true},
        {"a line directive", "//line a.go:10\nx\n", "//line a.go:11\nx\n", false},
        {"a line directive's trailing blank", "//line a.go:10\nx\n", "//line a.go:10 \nx\n", false},
        {"an indented //line is a comment", "x\n\t//line a.go:10\ny\n", "x\n\t//line a.go:11\ny\n", true},
        {"a //line after a byte order mark", "\xEF\xBB\xBF//line a.go:10\nx\n", "\xEF\xBB\xBF//line a.go:11\nx\n", false},
        {"a /*line directive", "/*line a.go:10*/ x\n", "/*line a.go:11*/ x\n", false},
        {"a /*line directive is no line end", "a /*line a.go:1*/ + b\n", "a\n/*line a.go:1*/ + b\n", false},
        {"/* line is a comment", "/* line a.go:10*/ x\n", "/* line a.go:11*/ x\n", true},
        {"cgo's export", "//export F\nfunc F() {}\n", "//export G\nfunc F() {}\n", false},
        {"gccgo's extern", "//extern f\nfunc f()\n", "//extern g\nfunc f()\n", false},
        {"a directive past the window's end", "//go:generate " + longer + "a\n", "//go:generate " + longer + "b\n", false},
        {"a constraint", "//go:build linux\n\npackage p\n", "//go:build windows\n\npackage p\n", false},
        {"a constraint's blanks", "//go:build linux && (amd64 || arm64)\n\npackage p\n",
         "//go:build  linux&&(amd64||arm64)  \n\npackage p\n", true},
        {"a blank between two tags", "//go:build a b\n\npackage p\n", "//go:build ab\n\npackage p\n", false},
        {"blanks after '!'", "//go:build !linux\n\npackage p\n", "//go:build ! linux\n\npackage p\n", true},
        {"a constraint's CR LF", "//go:build linux\r\n\r\npackage p\r\n", "//go:build linux\n\npackage p\n", true},
        {"+build's blanks", "// +build linux darwin\n\npackage p\n", "//+build  linux \t darwin\n\npackage p\n", true},
        {"+build's comma", "// +build linux,darwin\n\npackage p\n", "// +build linux darwin\n\npackage p\n", false},
        {"+build without a blank line after", "// +build ignore\n\npackage main\n", "// +build ignore\npackage main\n",
         false},
        {"+build, a comment line, a blank line", "// +build x\n// c\n\npackage p\n", "// +build x\n\npackage p\n", true},
        {"a line of blanks", "// +build x\n \t\npackage p\n", "// +build x\n\npackage p\n", true},
        {"a /* */ line ends the header", "// +build x\n/* c */\n\npackage p\n", "// +build x\n// c\n\npackage p\n",
         false},
        {"a line of form feeds is blank to go/build", "// +build x\n\f\npackage p\n", "// +build x\n\f package p\n",
         false},
        {"+build after the header is a token", "package p\n\n// +build x\n\nvar a int\n", "package p\n\nvar a int\n",
         false},
    });
    LexOptions comments;
    comments.comments = true;
    EXPECT_EQ(keysOf(lexText("// a\n//go:noinline\nfunc f() {}\n", Go, comments)),
              (std::vector<std::string>{"a", "//go:noinline", "func", "f", "(", ")", "{", "}", ";", ""}));
}

// The cgo preamble: the comment group right before import "C" is C code.
TEST(GoNearMiss, CgoPreamble)
{
    const std::string p = "package p\n\n";
    const std::string big(kLexWindowSize, 'c');
    checkPairs(Go, {
        {"its C code", p + "// int x;\nimport \"C\"\n", p + "// int y;\nimport \"C\"\n", false, 3, 1, 3, 1},
        {"blanks inside it", p + "// int  x;\nimport \"C\"\n", p + "// int x;\nimport \"C\"\n", false},
        {"a blank line splits the group", p + "// #include <a.h>\n// int x;\nimport \"C\"\n",
         p + "// #include <a.h>\n\n// int x;\nimport \"C\"\n", false},
        {"the layout between its comments", p + "// a\n/* b */\nimport \"C\"\n", p + "// a\n   /* b */\nimport \"C\"\n",
         true},
        {"its CR LF", p + "/*\n#include <a.h>\n*/\nimport \"C\"\n", p + "/*\r\n#include <a.h>\r\n*/\r\nimport \"C\"\r\n", true},
        {"a blank line before the import", p + "// int x;\n\nimport \"C\"\n", p + "// int y;\n\nimport \"C\"\n", true},
        {"on the import's line", p + "/* int x; */ import \"C\"\n", p + "/* int y; */ import \"C\"\n", true},
        {"another import's comment", p + "// a\nimport \"fmt\"\n", p + "// b\nimport \"fmt\"\n", true},
        {"in an import group", p + "import (\n\t\"fmt\"\n\t// int x;\n\t\"C\"\n)\n",
         p + "import (\n\t\"fmt\"\n\t// int y;\n\t\"C\"\n)\n", false},
        {"a group that imports C alone", p + "// int x;\nimport (\n\t\"C\"\n)\n", p + "// int y;\nimport (\n\t\"C\"\n)\n",
         false},
        {"a group that imports more", p + "// int x;\nimport (\n\t\"C\"\n\t\"fmt\"\n)\n",
         p + "// int y;\nimport (\n\t\"C\"\n\t\"fmt\"\n)\n", true},
        {"C as a raw string", p + "// int x;\nimport `C`\n", p + "// int y;\nimport `C`\n", false},
        {"the line comment of the token before", "package p // a\n// int x;\nimport \"C\"\n",
         "package p // b\n// int x;\nimport \"C\"\n", true},
        {"a line comment after a raw string's last line", p + "import `a\nb` // x\n// int x;\nimport \"C\"\n",
         p + "import `a\nb` // y\n// int x;\nimport \"C\"\n", true},
        {"after the declarations", p + "func f() {}\n\n// a\nvar x int\n", p + "func f() {}\n\n// b\nvar x int\n", true},
        {"a directive among held comments", p + "//go:generate a\nimport \"fmt\"\n", p + "//go:generate b\nimport \"fmt\"\n",
         false},
        {"a comment beside the preamble", p + "// one\n\n// int x;\nimport \"C\"\n", p + "// two\n\n// int x;\nimport \"C\"\n",
         true},
    });
    LexOptions comments;
    comments.comments = true;
    checkPairs(Go, {
        {"words of held comments", p + "// one\nimport \"fmt\"\n", p + "// two\nimport \"fmt\"\n", false, 3, 4, 3, 4,
         Go, comments},
    });
    EXPECT_EQ(keysOf(lexText(p + "// a\n\n// int x;\nimport \"C\"\n", Go, comments)),
              (std::vector<std::string>{"package", "p", "a", "// int x;\n", ";", "import", "\"C\"", ";", ""}));
    EXPECT_EQ(refusalOf(p + "/*" + big + "*/\nimport \"C\"\n", Go), "a comment read as code too long to compare");
    EXPECT_EQ(refusalOf("/*" + big + "*/\npackage p\n", Go), "");
}

// Which tokens a line end after them makes a semicolon.
TEST(GoNearMiss, Semicolons)
{
    std::vector<PairCase> cases = {
        {"after --", "i--\nj\n", "i-- j\n", false},
        {"after ++", "i++\nj\n", "i++ j\n", false},
        {"after )", "f()\ng\n", "f() g\n", false},
        {"after ]", "a[1]\ng\n", "a[1] g\n", false},
        {"after }", "T{}\ng\n", "T{} g\n", false},
        {"after a literal of each kind", "a := \"s\"\nb := `r`\nc := 'c'\nd := 1.5i\ne := x\n",
         "a := \"s\"; b := `r`; c := 'c'; d := 1.5i; e := x;", true},
        {"after a name that starts with a keyword", "gox\ny", "gox y", false},
    };
    for (const char *word : {"break", "continue", "fallthrough", "return"})
        cases.push_back({word, std::string(word) + "\nx", std::string(word) + " x", false});
    // A keyword off the list would insert one; a '{' after those that
    // open a body must stay a block's.
    for (const char *word : {"case", "default", "defer", "go", "goto", "package", "range", "import", "const", "var",
                             "type", "chan", "map", "struct", "interface", "func", "if", "for", "switch", "else",
                             "select"})
        cases.push_back({word, std::string(word) + "\nx", std::string(word) + " x", true});
    checkPairs(Go, cases);
}

// What a '{' opens, told by what stands before it; what the ')' of a group
// and the closing brackets drop before them.
TEST(GoNearMiss, Brackets)
{
    std::string deep, shut;
    for (int k = 0; k < 300; ++k) {
        deep += "f(";
        shut += ")";
    }
    checkPairs(Go, {
        {"a block first in a block", "func f() { { a() } }", "func f() {\n\t{\n\t\ta()\n\t}\n}\n", true},
        {"an interface body", "type I interface{ M(); N() }", "type I interface {\n\tM()\n\tN()\n}\n", true},
        {"an else block", "if x { a() } else { b() }", "if x {\n\ta()\n} else {\n\tb()\n}\n", true},
        {"a for block", "for { a() }", "for {\n\ta()\n}\n", true},
        {"a for header's block", "for i := 0; i < n; i++ { a() }", "for i := 0; i < n; i++ {\n\ta()\n}\n", true},
        {"a switch header's block", "switch x { case 1: a() }", "switch x {\ncase 1:\n\ta()\n}\n", true},
        {"a select block", "select { case <-c: a() }", "select {\ncase <-c:\n\ta()\n}\n", true},
        {"a func literal's body", "x := func() { a() }", "x := func() {\n\ta()\n}\n", true},
        {"a map literal in an if header", "if m := map[int]int{1: 2}; m != nil { return }",
         "if m := map[int]int{1: 2}; m != nil {\n\treturn\n}\n", true},
        {"a map literal's brace in an if header", "if m := map[int]int{1: 2}; m != nil { return }",
         "if m := map[int]int{1: 2\n}; m != nil { return }", false},
        {"an array literal in an if header", "if a := [2]int{1, 2}; a[0] > 0 { return }",
         "if a := [2]int{1, 2}; a[0] > 0 {\n\treturn\n}\n", true},
        {"an array literal's brace in an if header", "if a := [2]int{1, 2}; a[0] > 0 { return }",
         "if a := [2]int{1, 2\n}; a[0] > 0 { return }", false},
        {"a struct literal in an if header", "if s := struct{ a int }{1}; s.a > 0 { return }",
         "if s := struct{ a int }{1}; s.a > 0 {\n\treturn\n}\n", true},
        {"a struct literal's brace in an if header", "if s := struct{ a int }{1}; s.a > 0 { return }",
         "if s := struct{ a int }{1\n}; s.a > 0 { return }", false},
        {"a struct type in a for header", "for _, p := range []struct{ a int }{{1}} { g() }",
         "for _, p := range []struct{ a int }{{1}} {\n\tg()\n}\n", true},
        {"an index in an if header is no type", "if a[0] > 0 { return }", "if a[0] > 0 {\n\treturn\n}\n", true},
        {"a call's index in an if header", "if f()[0] > 0 { return }", "if f()[0] > 0 {\n\treturn\n}\n", true},
        {"an index's index in an if header", "if a[0][1] > 0 { return }", "if a[0][1] > 0 {\n\treturn\n}\n", true},
        {"an element literal inside a literal", "x := []T{{1}}", "x := []T{{1\n}}", false},
        {"a func type after ]", "x := []func(){f}", "x := []func(){f\n}", false},
        {"a func type after chan", "x := []chan func(){c}", "x := []chan func(){c\n}", false},
        {"brackets deeper than tracked keep semicolons", deep + "func() { a() }" + shut,
         deep + "func() {\n\ta()\n}" + shut, false},
        {"tracking resumes after deep brackets", deep + shut + "\nfunc f() { a() }", deep + shut + "\nfunc f() {\n\ta()\n}\n",
         true},
        {"before ) of a const group", "const (a = 1; b = 2)", "const (\n\ta = 1\n\tb = 2\n)\n", true},
        {"before ) of a var group", "var (a int; b int)", "var (\n\ta int\n\tb int\n)\n", true},
        {"before ) of a type group", "type (A int; B int)", "type (\n\tA int\n\tB int\n)\n", true},
        {"an empty group", "import ()", "import (\n)", true},
        {"a group's last written semicolon", "import (\"a\";)", "import (\"a\")", true},
        {"a comma before )", "f(a, b,\n)", "f(a, b)", true},
        {"a comma before ]", "x := f[int, string,](y)", "x := f[int, string](y)", true},
        {"the one comma of type parameters", "type T[P *int,] int", "type T[P *int] int", false},
        {"the one comma in a type group", "type (\n\tT[P *int,] int\n)", "type (\n\tT[P *int] int\n)", false},
        {"type parameters' last comma of two", "type T[P any, Q any,] int", "type T[P any, Q any] int", true},
        {"the one comma of an index", "x := f[int,](y)", "x := f[int](y)", true},
        {"the one comma on another line", "type T\n[P *int,] int", "type T\n[P *int] int", true},
        {"a comma before }", "x := T{a, b,\n}", "x := T{a, b}", true},
        {"a comma is no semicolon", "f(a, b)", "f(a; b)", false},
    });
}

TEST(GoNearMiss, Numbers)
{
    checkPairs(Go, {
        {"an exponent's minus", "x := 1e-3", "x := 1e - 3", false},
        {"an exponent's plus", "x := 1e+3", "x := 1e + 3", false},
        {"a hex exponent's sign", "x := 0x1p-2", "x := 0x1p - 2", false},
        {"a sign only after the exponent's letter", "x := 1e5-3", "x := 1e5 - 3", true},
        {"exponent digits are decimal", "x := 0x1p1f", "x := 0x1p1 f", true},
        {"a fraction", "x := 1.5", "x := 1 .5", false},
        {"a leading dot", "x := .5", "x := . 5", false},
        {"a second dot ends a number", "x := 1.5.y", "x := 1.5 .y", true},
        {"separators", "x := 1_000", "x := 1 _000", false},
        {"an imaginary suffix", "x := 2i", "x := 2 i", false},
        {"hex digits belong to the number", "x := 0xbad", "x := 0x bad", false},
        {"a hex digit E keeps its case", "x := 0x1E", "x := 0x1e", false},
    });
}

TEST(GoNearMiss, Literals)
{
    checkPairs(Go, {
        {"an escaped backslash ends before the quote", "s := \"a\\\\\" + b", "s := \"a\\\\\"+b", true},
        {"a backslash before a line end escapes nothing", "s := \"a\\\n\"+x", "s := \"a\\\n\" + x", false},
        {"an unterminated string ends at its line", "s := \"a\n\" + b\n", "s := \"a\n\"+b\n", false},
        {"each literal ends at its own quote", "r := '\"'; s := \"'\"", "r := '\"';s := \"'\"", true},
        {"a raw string has no escapes", "s := `a\\` + b", "s := `a\\`+b", true},
    });
}

// Longest match: each operator against its bytes apart.
TEST(GoNearMiss, Operators)
{
    std::vector<PairCase> cases;
    std::vector<std::string> names;
    for (const char *op : {"+=", "++", "-=", "--", "*=", "/=", "%=", "^=", "==", "!=", ":=", "&^", "&&", "&=", "||", "|=",
                           "<<", "<=", "<-", ">>", ">=", "&^=", "<<=", ">>=", "..."}) {
        const std::string o = op;
        for (std::size_t cut = 1; cut < o.size(); ++cut) {
            names.push_back(o + " against " + o.substr(0, cut) + " " + o.substr(cut));
            cases.push_back({"", "a " + o + " b", "a " + o.substr(0, cut) + " " + o.substr(cut) + " b", false});
        }
    }
    for (std::size_t k = 0; k < cases.size(); ++k)
        cases[k].name = names[k].c_str();
    checkPairs(Go, cases);
}

// Go's imports with --sorted-imports, over the Go lexer.
constexpr RewriteSet kAllowAll = static_cast<RewriteSet>((1u << kAllowKinds) - 1);

// gofmt's own simplifications under --allow: each decision with a pair that
// must differ and, where it can go the other way, one that must stay equal.
TEST(GoNearMiss, NestedParens)
{
    checkRewritePairs(Go, kAllowAll, {
        {"a group in a group", "a := (((x)))\n", "a := (x)\n", true},
        {"a tuple of groups is no group", "a := ((x) + (y))\n", "a := (x) + (y)\n", false},
        {"two groups side by side", "a := ((x)(y))\n", "a := (x)(y)\n", false},
        {"a call", "f((x))\n", "f(x)\n", false},
        {"a call with a group", "f(((x)))\n", "f((x))\n", true},
        {"a conversion", "[]byte((s))\n", "[]byte(s)\n", false},
        {"a type assertion", "v := x.((T))\n", "v := x.(T)\n", false},
        {"a type switch", "switch x.((type)) {\n}\n", "switch x.(type) {\n}\n", false},
        {"a call of a call", "f(a)((b))\n", "f(a)(b)\n", false},
        {"a signature", "func f((a int)) {}\n", "func f(a int) {}\n", false},
        {"a var group", "var ((a int))\n", "var (a int)\n", false},
        {"after return", "return ((a))\n", "return (a)\n", true},
        {"after case", "case ((1)):\n", "case (1):\n", true},
        {"after an operator", "a := b * ((c + d))\n", "a := b * (c + d)\n", true},
        {"a literal before", "a := \"s\"((b))\n", "a := \"s\"(b)\n", false},
        {"a type", "var a ((int))\n", "var a (int)\n", false},
        {"a pointer type", "var a *((int))\n", "var a *(int)\n", true},
        {"an if condition", "if (a > b) {\n}\n", "if a > b {\n}\n", true},
        {"nested around a condition", "if ((a)) {\n}\n", "if a {\n}\n", true},
        {"a switch tag", "switch (x) {\n}\n", "switch x {\n}\n", true},
        {"a range expression", "for _, v := range (xs) {\n}\n", "for _, v := range xs {\n}\n", true},
        {"a condition that goes on", "if (a) == b {\n}\n", "if a == b {\n}\n", false},
        {"a composite literal", "if (x == T{}) {\n}\n", "if x == T{} {\n}\n", false},
        {"a qualified type's literal", "if (x == p.T{}) {\n}\n", "if x == p.T{} {\n}\n", false},
        {"a slice's literal", "for _, v := range ([]int{1}) {\n}\n", "for _, v := range []int{1} {\n}\n", true},
        {"a slice of a qualified type", "for range ([]p.T{}) {\n}\n", "for range []p.T{} {\n}\n", true},
        {"a literal inside a slice's", "for range ([]T{T{}}) {\n}\n", "for range []T{T{}} {\n}\n", false},
        {"a function literal", "if (func() bool { return a }()) {\n}\n", "if func() bool { return a }() {\n}\n",
         false},
        {"a for clause", "for (i := 0; i < n; i++) {\n}\n", "for i := 0; i < n; i++ {\n}\n", false},
        {"a range clause", "for (k := range m) {\n}\n", "for k := range m {\n}\n", false},
        {"an assignment", "if (a = b) {\n}\n", "if a = b {\n}\n", false},
        {"a call as the condition", "if (f)(x) {\n}\n", "if f(x) {\n}\n", false},
    });
    checkRewritePairs(Go, rewriteBit(Rewrite::Semicolons), {
        {"semicolons only: parentheses stay", "a := ((x))\n", "a := (x)\n", false},
    });
}

// gofmt's build constraint lines under --allow build-lines: a //go:build
// line that means what the +build lines mean, and +build lines by their
// meaning, each literal a variable of its own.
TEST(GoNearMiss, BuildLines)
{
    const std::string p = "\npackage p\n";
    checkRewritePairs(Go, rewriteBit(Rewrite::BuildLines), {
        {"a //go:build line added", "// +build linux\n" + p, "//go:build linux\n// +build linux\n" + p, true},
        {"another expression", "// +build windows\n" + p, "//go:build linux\n// +build windows\n" + p, false},
        {"lines joined as gofmt writes them", "// +build linux\n\n// +build amd64\n" + p,
         "//go:build linux && amd64\n// +build linux,amd64\n" + p, true},
        {"options and lines", "// +build linux,amd64 darwin\n// +build !cgo\n" + p,
         "//go:build ((linux && amd64) || darwin) && !cgo\n// +build linux,amd64 darwin\n// +build !cgo\n" + p, true},
        {"a negation pushed in", "// +build !linux !darwin\n" + p, "//go:build !(linux && darwin)\n// +build !linux !darwin\n" + p,
         true},
        {"options in another order", "// +build linux darwin\n" + p, "// +build darwin linux\n" + p, true},
        {"an option absorbed", "// +build linux\n" + p, "//go:build linux || (linux && amd64)\n// +build linux\n" + p, true},
        {"a contradiction is no constant", "// +build b,!b\n" + p, "//go:build a && !a\n// +build b,!b\n" + p, false},
        {"a //go:build line alone", "// +build linux\n" + p, "//go:build linux\n" + p, false},
        {"+build lines with no blank line after", "// +build linux\npackage p\n", "//go:build linux\n// +build linux\npackage p\n",
         false},
        {"a +build line after the last blank line", "// +build linux\n\n// +build amd64\npackage p\n",
         "//go:build linux && amd64\n// +build linux,amd64\n" + p, false},
        {"a comment line among them", "// +build linux\n// c\n" + p, "//go:build linux\n// +build linux\n// c\n" + p, true},
        {"an expression that does not parse", "// +build linux\n" + p, "//go:build linux &&\n// +build linux\n" + p, false},
        {"a double negation", "// +build linux\n" + p, "//go:build !!linux\n// +build linux\n" + p, false},
        {"two //go:build lines", "// +build a\n" + p, "//go:build a\n//go:build a\n// +build a\n" + p, false},
        {"an empty +build line", "// +build\n" + p, "// +build \n" + p, true},
        {"a tag beyond ASCII", "// +build caf\xc3\xa9\n" + p, "//go:build caf\xc3\xa9\n// +build caf\xc3\xa9\n" + p, false},
        {"twelve literals", "// +build a b c d e f g h i j k l\n" + p,
         "//go:build a || b || c || d || e || f || g || h || i || j || k || l\n// +build a b c d e f g h i j k l\n" + p,
         true},
        {"thirteen literals", "// +build a b c d e f g h i j k l m\n" + p,
         "//go:build a || b || c || d || e || f || g || h || i || j || k || l || m\n// +build a b c d e f g h i j k l m\n" +
             p, false},
    });
    checkPairs(Go, {
        {"without the rewrite", "// +build linux\n" + p, "//go:build linux\n// +build linux\n" + p, false},
    });
    checkRewritePairs(Go, rewriteBit(Rewrite::Parens), {
        {"parens only", "// +build linux\n" + p, "//go:build linux\n// +build linux\n" + p, false},
    });
}

TEST(GoNearMiss, ConstraintParens)
{
    checkRewritePairs(Go, kAllowAll, {
        {"two parameters", "type T[P (*int), Q any] struct{}\n", "type T[P *int, Q any] struct{}\n", true},
        {"the second parameter", "type T[Q any, P (*int)] struct{}\n", "type T[Q any, P *int] struct{}\n", true},
        {"a function's", "func f[P (*int), Q any]() {}\n", "func f[P *int, Q any]() {}\n", true},
        {"no comma: an array's length", "type T[P (*int)] struct{}\n", "type T[P *int] struct{}\n", false},
        {"a function's one parameter", "func f[P (any)]() {}\n", "func f[P any]() {}\n", true},
        {"one parameter and its comma", "type T[P (*int),] struct{}\n", "type T[P *int,] struct{}\n", true},
        {"in a type group", "type (\n\tT[P (*int), Q any] int\n)\n", "type (\n\tT[P *int, Q any] int\n)\n", true},
        {"more after the ')'", "type T[P (*int) | int, Q any] struct{}\n",
         "type T[P *int | int, Q any] struct{}\n", false},
        {"not after the name", "type T[P ~int | (*int), Q any] struct{}\n",
         "type T[P ~int | *int, Q any] struct{}\n", false},
        {"an array variable", "var a [N (*int), 2]int\n", "var a [N *int, 2]int\n", false},
        {"an index", "a[i (x), 2]\n", "a[i x, 2]\n", false},
    });
}

// gofmt -s's composite literals without their type: only where the element,
// key or value type written in the enclosing literal's type is the same tokens.
TEST(GoNearMiss, Elision)
{
    checkRewritePairs(Go, kAllowAll, {
        {"a slice's elements", "var x = []T{T{1}, T{2}}\n", "var x = []T{{1}, {2}}\n", true},
        {"another type", "var x = []T{U{1}}\n", "var x = []T{{1}}\n", false},
        {"a pointer's &", "var x = []*T{&T{1}}\n", "var x = []*T{{1}}\n", true},
        {"T against *T", "var x = []*T{T{1}}\n", "var x = []*T{{1}}\n", false},
        {"&T against T", "var x = []T{&T{1}}\n", "var x = []T{{1}}\n", false},
        {"a qualified name", "var x = [...]p.T{p.T{1}}\n", "var x = [...]p.T{{1}}\n", true},
        {"another package", "var x = []p.T{q.T{1}}\n", "var x = []p.T{{1}}\n", false},
        {"a name against a qualified one", "var x = []T{p.T{1}}\n", "var x = []T{{1}}\n", false},
        {"type arguments", "var x = [2]G[int]{G[int]{1}}\n", "var x = [2]G[int]{{1}}\n", true},
        {"other type arguments", "var x = []G[int]{G[int8]{1}}\n", "var x = []G[int]{{1}}\n", false},
        {"map keys and values", "var x = map[K]V{K{1}: V{2}}\n", "var x = map[K]V{{1}: {2}}\n", true},
        {"a key of the value's type", "var x = map[K]V{V{1}: {2}}\n", "var x = map[K]V{{1}: {2}}\n", false},
        {"a pointer value", "var x = map[string]*T{\"a\": &T{1}}\n", "var x = map[string]*T{\"a\": {1}}\n", true},
        {"an indexed element", "var x = []T{0: T{1}}\n", "var x = []T{0: {1}}\n", true},
        {"nested", "var x = [][]T{[]T{T{1}}, {T{2}}}\n", "var x = [][]T{{{1}}, {{2}}}\n", true},
        {"nested in a map", "var x = map[K][]T{{1}: []T{T{2}}}\n", "var x = map[K][]T{{1}: {{2}}}\n", true},
        {"a struct type", "var x = []struct{ a int }{struct{ a int }{1}}\n", "var x = []struct{ a int }{{1}}\n",
         true},
        {"a struct type written otherwise", "var x = []struct{ a int }{struct{ b int }{1}}\n",
         "var x = []struct{ a int }{{1}}\n", false},
        {"more of the element after it", "var x = []T{T{1}.f()}\n", "var x = []T{{1}.f()}\n", false},
        {"a func literal", "var x = []func(){func(){}}\n", "var x = []func(){{}}\n", false},
        {"a body after a result type", "func f() *[]T { T{1} }\n", "func f() *[]T { {1} }\n", false},
        {"a type name's literal", "var x = S{T{1}}\n", "var x = S{{1}}\n", false},
        {"in a call", "f([]T{T{1}})\n", "f([]T{{1}})\n", true},
    });
    checkRewritePairs(Go, rewriteBit(Rewrite::Parens), {
        {"parens only: types stay", "var x = []T{T{1}}\n", "var x = []T{{1}}\n", false},
    });
    // A table longer than the rewriter's window is read element by element;
    // its last element written with another type still differs.
    std::string written = "var x = []struct{ f func() (int, error) }{", elided = written;
    for (int k = 0; k < 1500; ++k) {
        written += "struct{ f func() (int, error) }{g},\n";
        elided += "{g},\n";
    }
    checkRewritePairs(Go, kAllowAll, {
        {"a long table", written + "}\n", elided + "}\n", true},
        {"a long table's last element", written + "struct{ f func() (int, bool) }{g},\n}\n", elided + "{g},\n}\n",
         false},
    });
}

TEST(GoNearMiss, EmptyStatements)
{
    checkRewritePairs(Go, kAllowAll, {
        {"after a statement", "func f() {\n\ta := 1;;;\n\tb()\n}\n", "func f() {\n\ta := 1\n\tb()\n}\n", true},
        {"a line of its own", "func f() {\n\ta()\n\t;\n\tb()\n}\n", "func f() {\n\ta()\n\tb()\n}\n", true},
        {"the top level", "var a int;;\nvar b int\n", "var a int\nvar b int\n", false},
        {"a struct's fields", "type T struct {\n\ta int;;\n\tb int\n}\n", "type T struct {\n\ta int\n\tb int\n}\n",
         false},
        {"an interface's methods", "type I interface {\n\tm();;\n\tn()\n}\n",
         "type I interface {\n\tm()\n\tn()\n}\n", false},
        {"a var group", "var (\n\ta int;;\n\tb int\n)\n", "var (\n\ta int\n\tb int\n)\n", false},
        {"a for clause", "func f() {\n\tfor ;; {\n\t}\n}\n", "func f() {\n\tfor ; {\n\t}\n}\n", false},
        {"a for clause after a literal", "func f() {\n\tfor x := []int{1};; {\n\t}\n}\n",
         "func f() {\n\tfor x := []int{1}; {\n\t}\n}\n", false},
        {"an empty for clause", "for ;; {\n}\n", "for {\n}\n", true},
        {"a for clause with a condition alone", "for ; a < b; {\n}\n", "for a < b {\n}\n", true},
        {"a condition in brackets", "for ; f(a, b); {\n}\n", "for f(a, b) {\n}\n", true},
        {"a post statement", "for ; ; i++ {\n}\n", "for i++ {\n}\n", false},
        {"an init statement", "for i := 0; ; {\n}\n", "for i := 0 {\n}\n", false},
        {"a statement as the condition", "for ; a = b; {\n}\n", "for a = b {\n}\n", false},
        {"one ';' only", "for ; a {\n}\n", "for a {\n}\n", false},
        {"an if header", "func f() {\n\tif a;; b {\n\t}\n}\n", "func f() {\n\tif a; b {\n\t}\n}\n", false},
        {"after a for statement", "func f() {\n\tfor i := 0; i < 2; i++ {\n\t};;\n\ta()\n}\n",
         "func f() {\n\tfor i := 0; i < 2; i++ {\n\t}\n\ta()\n}\n", true},
        {"after an if statement", "func f() {\n\tif y > 2 {\n\t};;\n\tg()\n}\n",
         "func f() {\n\tif y > 2 {\n\t}\n\tg()\n}\n", true},
        {"after an if on names", "func f() {\n\tif err != p.Nil {\n\t};;\n\tg()\n}\n",
         "func f() {\n\tif err != p.Nil {\n\t}\n\tg()\n}\n", true},
        {"after an if on a call", "func f() {\n\tif ok() {\n\t};;\n\tg()\n}\n",
         "func f() {\n\tif ok() {\n\t}\n\tg()\n}\n", false},
        {"a header after a slice's literal", "func f() {\n\tif x := []T{a};; b {\n\t}\n}\n",
         "func f() {\n\tif x := []T{a}; b {\n\t}\n}\n", false},
        {"a header after a pointer's literal", "func f() {\n\tfor x := []*T{a};; {\n\t}\n}\n",
         "func f() {\n\tfor x := []*T{a}; {\n\t}\n}\n", false},
        {"after a label", "func f() {\nL:\n\t;\n\tfor {\n\t}\n}\n", "func f() {\nL:\n\tfor {\n\t}\n}\n", false},
        {"in a case clause", "func f() {\n\tswitch {\n\tcase a:\n\t\tb();;\n\t\tc()\n\t}\n}\n",
         "func f() {\n\tswitch {\n\tcase a:\n\t\tb()\n\t\tc()\n\t}\n}\n", true},
        // The lexer leaves out the ';' before a block's '}', but one only.
        {"two before a block's '}'", "func f() {\n\ta();;\n}\n", "func f() {\n\ta()\n}\n", false},
        {"a function literal in a header", "func f() {\n\tif g := func() { a();; b() }; g {\n\t}\n}\n",
         "func f() {\n\tif g := func() { a(); b() }; g {\n\t}\n}\n", true},
    });
    checkRewritePairs(Go, rewriteBit(Rewrite::Parens), {
        {"parens only: semicolons stay", "func f() {\n\ta := 1;;\n}\n", "func f() {\n\ta := 1\n}\n", false},
    });
}

TEST(GoNearMiss, SortedImports)
{
    LexOptions sorted, sortedWords;
    sorted.sortedIncludes = sortedWords.sortedIncludes = true;
    sortedWords.comments = true;
    std::vector<PairCase> cases = {
        {"a dot import", "import (\n\t. \"b\"\n\t\"a\"\n)\n", "import (\n\t\"a\"\n\t. \"b\"\n)\n", true},
        {"a named import", "import (\n\tx \"b\"\n\t\"a\"\n)\n", "import (\n\t\"a\"\n\tx \"b\"\n)\n", true},
        {"a raw path", "import (\n\t`b`\n\t\"a\"\n)\n", "import (\n\t\"a\"\n\t`b`\n)\n", true},
        {"a name goes with its path", "import (\n\tx \"a\"\n\t\"b\"\n)\n", "import (\n\t\"a\"\n\tx \"b\"\n)\n", false},
        {"a second block", "import (\n\t\"a\"\n)\nimport (\n\t\"c\"\n\t\"b\"\n)\n",
         "import (\n\t\"a\"\n)\nimport (\n\t\"b\"\n\t\"c\"\n)\n", true},
        {"only a path follows a name", "import (\n\tb x\n\ta x\n)\n", "import (\n\ta x\n\tb x\n)\n", false},
        // Embedded fields with tags, after the import block has closed (the
        // last field has no ';' before the '}').
        {"struct fields after an import block",
         "import (\n\t\"a\"\n)\n\ntype T struct {\n\tC \"c\"\n\tB \"b\"\n\tA \"a\"\n}\n",
         "import (\n\t\"a\"\n)\n\ntype T struct {\n\tB \"b\"\n\tC \"c\"\n\tA \"a\"\n}\n", false},
        {"parentheses inside the block", "import (\n\t(\n\t\"b\"\n\t\"a\"\n\t)\n)\n",
         "import (\n\t(\n\t\"a\"\n\t\"b\"\n\t)\n)\n", false, 3, 2, 3, 2},
        {"separate declarations keep their order", "import \"b\"\nimport \"a\"\n", "import \"a\"\nimport \"b\"\n", false},
        {"a comment ends the run with --comments", "import (\n\t\"c\"\n\t// x\n\t\"b\"\n\t\"a\"\n)\n",
         "import (\n\t\"b\"\n\t// x\n\t\"c\"\n\t\"a\"\n)\n", false},
        {"the run after a comment sorts", "import (\n\t\"b\"\n\t// x\n\t\"d\"\n\t\"c\"\n)\n",
         "import (\n\t\"b\"\n\t// x\n\t\"c\"\n\t\"d\"\n)\n", true},
    };
    for (PairCase &c : cases)
        c.options = c.a.find("//") == std::string::npos ? sorted : sortedWords;
    checkPairs(Go, cases);
}

} // namespace

// Tests of the Go lexer: tables of pairs, Go's own go/scanner on Go's own
// sources, and gofmt on them.

namespace {

constexpr int kSampleFiles = 30;   // Go sources taken from the Go tree, spread over it
constexpr int kBreaksPerFile = 4;  // lines broken or joined of each kind in each of them

TEST(GoLexer, Semicolons)
{
    checkPairs(Language::Go, {
        {"inserted equals written", "x := 1\ny := 2\n", "x := 1; y := 2;", true},
        {"no line end, no semicolon", "a := b\n", "a := b", true},
        {"after return, break, ++, ), ], }", "return\nbreak\ni++\nf()\na[1]\nT{}\n",
         "return; break; i++; f(); a[1]; T{}", true},
        {"line end after an operator is layout", "x := a +\n\tb\n", "x := a + b\n", true},
        {"line end after a keyword other than the four", "var\nx int\n", "var x int\n", true},
        {"a line broken after return", "return x\n", "return\nx\n", false, 1, 8, 1, 7},
        {"a line broken after a name", "x := a + b\n", "x := a\n+ b\n", false, 1, 8, 1, 7},
        {"a line joined", "a()\nb()\n", "a() b()\n", false, 1, 4, 1, 5},
        {"optional before } of a body", "func f() int { return 1; }", "func f() int {\n\treturn 1\n}\n", true},
        {"an if body expanded", "if x { return }\n", "if x {\n\treturn\n}\n", true},
        {"optional before ) of a group", "import (\"a\"; \"b\";)", "import (\n\t\"a\"\n\t\"b\"\n)\n", true},
        {"struct fields", "type T struct{ a int; b int }", "type T struct {\n\ta int\n\tb int\n}\n", true},
        {"not before } of a composite literal", "x := []int{1, 2}\n", "x := []int{1, 2\n}\n", false, 1, 16, 1, 16},
        {"not before ) of a call", "f(a, b)\n", "f(a, b\n)\n", false, 1, 7, 1, 7},
        {"a literal in a for header", "for _, v := range []int{1} { g() }",
         "for _, v := range []int{1\n} {\n\tg()\n}\n", false, 1, 26, 1, 26},
        {"a func literal in an if header", "if f := func() bool { return x }; f() { g() }",
         "if f := func() bool {\n\treturn x\n}; f() {\n\tg()\n}\n", true},
        {"an interface type in an if header", "if v := interface{}(x); v != nil { return }",
         "if v := interface{}(x); v != nil {\n\treturn\n}\n", true},
        {"a func type then a literal", "var f func()\nx := T{a}\n", "var f func()\nx := T{a\n}\n", false, 2, 9, 2, 9},
        {"a statement block", "{ a(); { b() } }", "{\n\ta()\n\t{\n\t\tb()\n\t}\n}\n", true},
        {"a block after case", "switch { case x: { a() } }", "switch {\ncase x:\n\t{\n\t\ta()\n\t}\n}\n", true},
        {"the input's end inserts", "x", "x;", true},
        {"a line end in a block comment", "x /* a\nb */ y", "x; y", true},
        {"a block comment without one", "x /* a */ y", "x y", true},
        {"the comment does not end the line", "x /* a */ y", "x; y", false, 1, 11, 1, 2},
        {"a line comment ends its line", "x // c\ny", "x; y", true},
        {"two semicolons", "x;; y", "x; y", false, 1, 3, 1, 4},
    });
}

TEST(GoLexer, Literals)
{
    checkPairs(Language::Go, {
        {"raw string keeps line ends", "s := `a\nb`", "s := `a\r\nb`", true},
        {"raw string loses every carriage return", "s := `a\r\rb`", "s := `ab`", true},
        {"an unterminated raw string keeps a carriage return at the end", "x `a\r\r", "x `a\r", true},
        {"raw string blank", "s := `a b`", "s := `ab`", false, 1, 6, 1, 6},
        {"interpreted string", "s := \"a b\"", "s := \"a  b\"", false, 1, 6, 1, 6},
        {"escaped quote", "s := \"a\\\"b\" + c", "s := \"a\\\"b\"+c", true},
        {"rune", "r := ' '", "r := '\\''", false, 1, 6, 1, 6},
        {"rune of a quote", "f('\\'', x)", "f( '\\'' , x )", true},
        {"numbers as gofmt writes them", "a := 0X1F + 1E5 + 0x1P-2 + 0B1 + 0O7 + 0123i",
         "a := 0x1F + 1e5 + 0x1p-2 + 0b1 + 0o7 + 123i", true},
        {"hex digits keep their case", "a := 0xaf", "a := 0xAF", false, 1, 6, 1, 6},
        {"octal keeps its zero", "a := 017", "a := 17", false, 1, 6, 1, 6},
        {"float with separators", "a := 1_000.5e-3i", "a := 1_000.5e-3 i", false, 1, 6, 1, 6},
        {"all-zero imaginary", "a := 00i", "a := 0i", true},
        {"longest operators", "a &^= b <- c ... d", "a &^ = b < - c .. . d", false, 1, 3, 1, 3},
        {"shift assign", "a <<= b", "a << = b", false, 1, 3, 1, 3},
        {"a name with letters beyond ASCII", "\xc3\xa9t\xc3\xa9 := 1", "\xc3\xa9 t\xc3\xa9 := 1", false, 1, 1, 1, 1},
        {"a byte order mark at the start", "\xEF\xBB\xBFpackage p", "package p", true},
    });
}

TEST(GoLexer, CommentWords)
{
    LexOptions comments;
    comments.comments = true;
    std::vector<PairCase> cases = {
        {"words compare", "x // a b\n", "x /* a\n b */", true},
        {"a written and an inserted semicolon before a comment", "x; // c\ny", "x // c\ny", true},
        {"an edited word", "x // a b\n", "x // a c\n", false, 1, 8, 1, 8},
    };
    for (PairCase &c : cases)
        c.options = comments;
    checkPairs(Language::Go, cases);
}

// Runs command through the shell; its standard output, or "" when it fails.
std::string shell(const std::string &command)
{
    std::string out;
    if (std::FILE *p = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0)
            out.append(buffer, n);
        if (pclose(p) != 0)
            out.clear();
    }
    return out;
}

std::string shellWord(const std::string &path)
{
    return "'" + path + "'";
}

// The directory of this test's source, where the reference program's source is.
std::string sourceDir()
{
    const std::string file = __FILE__;
    return file.substr(0, file.find_last_of("/\\"));
}

// The reference program built from tests/languages/go_tokens.go.in, offline,
// into a scratch directory; why it cannot be, or "".
struct GoHelper {
    ScratchDir dir;
    std::string path;
    std::string why;
    GoHelper()
    {
        if (!haveTool("go")) {
            why = "go is not installed (Debian package golang-go)";
            return;
        }
        const std::string d = shellWord(dir.path());
        const std::string env = "cd " + d + " && GOCACHE=" + d + "/cache GOPATH=" + d +
                                "/gopath GOPROXY=off GOFLAGS=-mod=mod GO111MODULE=off ";
        writeFile(dir.file("main.go"), readFile(sourceDir() + "/go_tokens.go.in"));
        if (std::system((env + "go build -o helper main.go >/dev/null 2>&1").c_str()) != 0)
            why = "go build of the reference program failed";
        path = dir.file("helper");
    }
};

GoHelper &helper()
{
    static GoHelper h;
    return h;
}

// Up to kSampleFiles Go sources of the Go tree, spread over it.
std::vector<std::string> goSources()
{
    std::istringstream list(shell("find /usr/lib/go-*/src/ -name '*.go' -not -path '*/testdata/*' "
                                  "-size -60k 2>/dev/null | sort"));
    std::vector<std::string> all;
    for (std::string line; std::getline(list, line);)
        all.push_back(line);
    std::vector<std::string> picked;
    const std::size_t step = all.size() / kSampleFiles + 1;
    for (std::size_t i = 0; i < all.size(); i += step)
        picked.push_back(all[i]);
    return picked;
}

// The tokens of the file at path in the reference program's form: line,
// column, key in hexadecimal; not those made of comments.
std::string ourTokens(const std::string &path)
{
    std::string out;
    for (const Tok &t : lexFile(path, Language::Go)) {
        if (t.kind == TokenKind::End)
            break;
        // The tokens made of comments Go's tools read as code, which go/scanner skips.
        if (t.kind == TokenKind::LineEnd || t.key.rfind("//", 0) == 0 || t.key.rfind("/*", 0) == 0)
            continue;
        out += std::to_string(t.line) + " " + std::to_string(t.column) + " ";
        for (unsigned char c : t.key) {
            const char *digits = "0123456789abcdef";
            out += digits[c >> 4];
            out += digits[c & 15];
        }
        out += "\n";
    }
    return out;
}

// The first line where a and b differ, for a report.
std::string firstDifferentLine(const std::string &a, const std::string &b)
{
    std::istringstream sa(a), sb(b);
    std::string la, lb;
    for (int n = 1;; ++n) {
        bool ga = static_cast<bool>(std::getline(sa, la)), gb = static_cast<bool>(std::getline(sb, lb));
        if (!ga && !gb)
            return "";
        if (la != lb || ga != gb)
            return "token " + std::to_string(n) + ": ours " + la + ", go/scanner " + lb;
    }
}

TEST(GoLexerTools, MatchesGoScanner)
{
    if (!helper().why.empty())
        GTEST_SKIP() << helper().why;
    std::vector<std::string> files = goSources();
    ASSERT_FALSE(files.empty());
    int same = 0;
    for (const std::string &f : files) {
        SCOPED_TRACE(f);
        const std::string theirs = shell(shellWord(helper().path) + " tokens " + shellWord(f));
        const std::string ours = ourTokens(f);
        EXPECT_TRUE(ours == theirs) << firstDifferentLine(ours, theirs);
        same += ours == theirs;
    }
    std::printf("Go, go/scanner: %d of %zu files token for token\n", same, files.size());
}

// Copies files into dir/name, each through filter (the file as "$f", or
// none when empty), numbered unless they are already; the names copied.
std::vector<std::string> copyTree(const ScratchDir &dir, const std::string &name, const std::vector<std::string> &files,
                                  const std::string &filter, bool numbered = true)
{
    makeDir(dir.file(name));
    std::vector<std::string> names;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string base = (numbered ? std::to_string(i) + "_" : "") + files[i].substr(files[i].rfind('/') + 1);
        const std::string to = shellWord(dir.file(name + "/" + base));
        std::string command = filter.empty() ? "cp " + shellWord(files[i]) + " " + to
                                             : "f=" + shellWord(files[i]) + "; " + filter + " >" + to;
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        names.push_back(base);
    }
    return names;
}

// The pairs a tree run's output calls not equivalent.
int notEquivalent(const std::string &out)
{
    int n = 0;
    for (std::size_t at = 0; (at = out.find("Matchling==> Not equivalent: ", at)) != std::string::npos; ++at)
        ++n;
    return n;
}

std::string summary(std::size_t pairs, std::size_t equivalent)
{
    const std::string n = std::to_string(pairs);
    return "Matchling==> Pairs by language: go " + n + " \nMatchling==> " + n + " pairs compared: " +
           std::to_string(equivalent) + " equivalent, " + std::to_string(pairs - equivalent) +
           " not equivalent, 0 failed, 0 only on one side \n";
}

TEST(GoLexerTools, GofmtOutputsCompareEquivalent)
{
    if (!helper().why.empty())
        GTEST_SKIP() << helper().why;
    if (!haveTool("gofmt"))
        GTEST_SKIP() << "gofmt is not installed (Debian package golang-go)";
    std::vector<std::string> files = goSources();
    ScratchDir dir;
    copyTree(dir, "before", files, "");
    copyTree(dir, "gofmt", files, "gofmt \"$f\"");
    // Every token of a file on one line per statement, every semicolon written,
    // comments dropped; then gofmt lays it out again.
    std::vector<std::string> squashed;
    for (const std::string &name : copyTree(dir, "squashed", files, shellWord(helper().path) + " squash \"$f\""))
        squashed.push_back(dir.file("squashed/" + name));
    copyTree(dir, "resquashed", squashed, "gofmt \"$f\"", false);
    for (const char *tree : {"gofmt", "squashed", "resquashed"}) {
        SCOPED_TRACE(tree);
        RunResult r = runMatchling({"before", tree, "--tokens"}, dir.path());
        EXPECT_NE(r.out.find(summary(files.size(), files.size())), std::string::npos) << r.out;
        std::printf("Go, gofmt %s: %zu pairs, %d false alarms\n", tree, files.size(), notEquivalent(r.out));
    }
}

// The Go tree's sources that import "C", at most kSampleFiles.
std::vector<std::string> cgoSources()
{
    std::istringstream list(shell("grep -rl --include='*.go' '^import \"C\"' /usr/lib/go-*/src/ 2>/dev/null | "
                                  "grep -v /testdata/ | sort | head -n " + std::to_string(kSampleFiles)));
    std::vector<std::string> all;
    for (std::string line; std::getline(list, line);)
        all.push_back(line);
    return all;
}

// cgo's preambles: gofmt and the squashed copies keep them, and one byte put
// into the comment just before each import "C" (the preamble's last line, or
// the line before a "*/" alone there) is a difference.
TEST(GoLexerTools, CgoPreamblesOfTheGoTree)
{
    if (!helper().why.empty())
        GTEST_SKIP() << helper().why;
    if (!haveTool("gofmt"))
        GTEST_SKIP() << "gofmt is not installed (Debian package golang-go)";
    const std::vector<std::string> files = cgoSources();
    if (files.empty())
        GTEST_SKIP() << "no Go source imports \"C\" on this machine";
    ScratchDir dir;
    copyTree(dir, "before", files, "");
    copyTree(dir, "gofmt", files, "gofmt \"$f\"");
    copyTree(dir, "squashed", files, shellWord(helper().path) + " squash \"$f\"");
    for (const char *tree : {"gofmt", "squashed"}) {
        SCOPED_TRACE(tree);
        RunResult r = runMatchling({"before", tree, "--tokens"}, dir.path());
        EXPECT_NE(r.out.find(summary(files.size(), files.size())), std::string::npos) << r.out;
    }
    makeDir(dir.file("changed"));
    std::size_t changed = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string text = readFile(files[i]);
        const std::size_t import = text.find("\nimport \"C\"");
        const std::size_t lineStart = import == std::string::npos ? import : text.rfind('\n', import - 1);
        if (lineStart == std::string::npos)
            continue;
        const std::string line = text.substr(lineStart + 1, import - lineStart - 1);
        const std::size_t at = line == "*/" ? lineStart : line.rfind("//", 0) == 0 ? lineStart + 3 : std::string::npos;
        if (at == std::string::npos)
            continue;
        const std::string base = std::to_string(i) + "_" + files[i].substr(files[i].rfind('/') + 1);
        writeFile(dir.file("changed/" + base), text.substr(0, at) + " Q" + text.substr(at));
        ++changed;
    }
    ASSERT_GT(changed, 0u);
    RunResult r = runMatchling({"before", "changed", "--tokens"}, dir.path());
    EXPECT_EQ(notEquivalent(r.out), static_cast<int>(changed)) << r.out;
    std::printf("Go, cgo preambles: %zu files, gofmt and squashed equivalent, %zu changed preambles, %d told apart\n",
                files.size(), changed, notEquivalent(r.out));
}

// Sources that hold what gofmt simplifies and the Go tree's sources, already
// formatted, do not: nested parentheses, parentheses around a condition or a
// type parameter's constraint, empty statements.
const char *const kGoSamples[] = {
    "package p\n\nfunc f(x, y int) int {\n\ta := (((x)))\n\tb := ((x + y)) * ((y))\n\treturn g((a), ((b)))\n}\n",
    "package p\n\nfunc f(a, b int) int {\n\tif (a > b) {\n\t\treturn ((a))\n\t}\n\tfor (a < b) {\n\t\ta++\n\t}\n"
    "\tswitch (a) {\n\tcase ((1)):\n\t\treturn b\n\t}\n\treturn 0\n}\n",
    "package p\n\nfunc f(a, b int) int {\n\tfor _, v := range ([]int{a, b}) {\n\t\tb += v\n\t}\n\treturn b\n}\n",
    "package p\n\ntype T[P (*int), Q any] struct{}\n\nfunc h[P (*int), Q any](p P, q Q) {}\n",
    "package p\n\ntype U[P (*int),] struct{}\n",
    "package p\n\nfunc e() {\n\tx := 2;;;\n\t;\n\ty := x + 1;;\n\tg(y);;\n\tz := []int{1, 2};;\n\t_ = z\n"
    "\tfor i := 0; i < 2; i++ {\n\t};;\n\tg(x)\n}\n",
    "package p\n\nfunc e(y int) {\n\tif y > 2 {\n\t\tg(y)\n\t};;\n\tg(y)\n}\n",
    "package p\n\nfunc e() {\n\tfor ;; {\n\t\tbreak\n\t}\n}\n",
    "package p\n\ntype T struct{ a, b int }\ntype G[P any] struct{ p P }\n\nvar x = []T{T{1, 2}, T{a: 3}}\n"
    "var y = map[T]*T{T{1, 2}: &T{3, 4}}\nvar z = [...][]T{[]T{T{}}, {T{5, 6}}}\nvar g = [2]G[int]{G[int]{1}}\n"
    "var s = []struct{ a int }{struct{ a int }{1}}\nvar q = map[string][]*T{\"a\": []*T{&T{}, nil}}\n",
    "package p\n\ntype T struct{ a int }\n\nfunc f() []*T {\n\tfor _, t := range []T{T{1}} {\n\t\t_ = t\n\t}\n"
    "\treturn []*T{&T{2}, &T{a: 3}}\n}\n",
};

// gofmt and gofmt -s on sources of the Go tree and the samples above;
// go/parser judges (its tree without parentheses and empty statements), and
// --allow all must call equivalent exactly the pairs whose trees are the
// same (a residue of false alarms is counted apart). MATCHLING_BEFORE may
// name another build of the utility, whose figures are printed beside.
TEST(GoRewritesTools, GofmtJudgedByGoParser)
{
    if (!helper().why.empty())
        GTEST_SKIP() << helper().why;
    if (!haveTool("gofmt"))
        GTEST_SKIP() << "gofmt is not installed (Debian package golang-go)";
    ScratchDir dir;
    std::vector<std::string> sources(std::begin(kGoSamples), std::end(kGoSamples));
    for (const std::string &f : goSources())
        sources.push_back(readFile(f));
    const char *const settings[] = {"gofmt", "gofmt -s"};
    const char *other = std::getenv("MATCHLING_BEFORE");
    for (const char *setting : settings) {
        int outputs = 0, same = 0, accepted = 0, residue = 0, misses = 0, acceptedBefore = 0, missesBefore = 0;
        for (std::size_t i = 0; i < sources.size(); ++i) {
            const std::string name = "s" + std::to_string(i) + ".go", formatted = "f" + name;
            SCOPED_TRACE(name + " " + setting);
            writeFile(dir.file(name), sources[i]);
            const std::string tree = shellWord(helper().path) + " tree ";
            const std::string before = shell(tree + shellWord(dir.file(name)));
            if (i < std::size(kGoSamples)) {
                EXPECT_FALSE(before.empty()) << "the sample parses";
            }
            if (before.empty() || std::system((std::string(setting) + " " + shellWord(dir.file(name)) + " >" +
                                               shellWord(dir.file(formatted)) + " 2>/dev/null")
                                                  .c_str()) != 0 ||
                readFile(dir.file(formatted)) == sources[i])
                continue;
            ++outputs;
            const bool sameTree = shell(tree + shellWord(dir.file(formatted))) == before;
            RunResult r = runMatchling({name, formatted, "--tokens", "--allow", "all", "--exit-status"}, dir.path());
            same += sameTree;
            accepted += sameTree && r.status == 0;
            residue += sameTree && r.status != 0;
            misses += !sameTree && r.status == 0;
            EXPECT_FALSE(!sameTree && r.status == 0) << "a different program called equivalent";
            if (sameTree && r.status != 0)
                std::printf("residue: %s %s\n%s\n", name.c_str(), setting, r.out.substr(0, 400).c_str());
            if (other) {
                const bool equal = std::system(("cd " + shellWord(dir.path()) + " && " + shellWord(other) + " " + name +
                                                " " + formatted + " --tokens --allow all --exit-status >/dev/null 2>&1")
                                                   .c_str()) == 0;
                acceptedBefore += sameTree && equal;
                missesBefore += !sameTree && equal;
            }
        }
        std::printf("%s: %d outputs, %d the same to go/parser, %d accepted, %d residue, %d misses\n", setting,
                    outputs, same, accepted, residue, misses);
        if (other)
            std::printf("  with %s: %d accepted, %d misses\n", other, acceptedBefore, missesBefore);
        EXPECT_EQ(misses, 0);
        EXPECT_EQ(residue, 0);  // measured: none on these sources
        EXPECT_GT(accepted, 0);
    }
}

// gofmt -s's elision undone on sources of the Go tree: the helper writes in
// each composite literal's type that gofmt -s leaves out. go/parser judges
// (its tree with those types left out), and --allow all must call
// equivalent each pair whose trees are the same; each mutant (a type name
// with X added) must differ.
TEST(GoRewritesTools, ElisionUndoneOnTheGoTree)
{
    if (!helper().why.empty())
        GTEST_SKIP() << helper().why;
    std::istringstream list(shell("find /usr/lib/go-*/src/ -name '*.go' -not -path '*/testdata/*' -size -60k "
                                  "2>/dev/null | sort | awk 'NR % 5 == 0' | head -600"));
    ScratchDir dir;
    const std::string tool = shellWord(helper().path);
    int pairs = 0, same = 0, accepted = 0, misses = 0, mutants = 0, flagged = 0;
    for (std::string f; std::getline(list, f);) {
        for (const char *mutate : {"", " mutate"}) {
            const std::string out = shell(tool + " unelide " + shellWord(f) + mutate);
            if (out.empty())
                continue;
            SCOPED_TRACE(f + mutate);
            writeFile(dir.file("a.go"), readFile(f));
            writeFile(dir.file("b.go"), out);
            const bool sameTree =
                shell(tool + " tree " + shellWord(dir.file("a.go"))) == shell(tool + " tree " + shellWord(dir.file("b.go")));
            RunResult r = runMatchling({"a.go", "b.go", "--tokens", "--allow", "all", "--exit-status"}, dir.path());
            if (*mutate) {
                ++mutants;
                flagged += r.status != 0;
                EXPECT_NE(r.status, 0) << "a mutant called equivalent";
                continue;
            }
            ++pairs;
            same += sameTree;
            accepted += sameTree && r.status == 0;
            misses += !sameTree && r.status == 0;
            EXPECT_FALSE(!sameTree && r.status == 0) << "a different program called equivalent";
            if (sameTree && r.status != 0)
                std::printf("residue: %s\n%s\n", f.c_str(), r.out.substr(0, 400).c_str());
        }
    }
    std::printf("gofmt -s elision undone: %d pairs, %d the same to go/parser, %d accepted, %d misses; "
                "%d mutants, %d flagged\n", pairs, same, accepted, misses, mutants, flagged);
    EXPECT_GT(pairs, 0);
    EXPECT_EQ(accepted, same);  // measured: all of them
    EXPECT_EQ(flagged, mutants);
}

// Headers of +build lines over a few tags, and gofmt's //go:build line for
// each, then that line changed (an operator, a '!', two tags swapped), which
// may keep its meaning or not: go/build/constraint judges each changed file,
// and --allow build-lines must call equivalent to the file without the
// //go:build line only those whose line means what the +build lines mean
// (a residue of false alarms counted apart: "(a || !a) && x" means x to the
// judge, but not where a and !a are variables of their own, as the rule
// takes them); gofmt's own all of them.
TEST(GoRewritesTools, BuildLinesJudgedByConstraint)
{
    if (!helper().why.empty())
        GTEST_SKIP() << helper().why;
    if (!haveTool("gofmt"))
        GTEST_SKIP() << "gofmt is not installed (Debian package golang-go)";
    const char *const tags[] = {"linux", "darwin", "amd64", "arm64", "cgo"};
    unsigned seed = 12345;
    auto next = [&](unsigned n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    ScratchDir dir;
    for (const char *tree : {"plus", "gofmt", "changed"})
        makeDir(dir.file(tree));
    int files = 0, same = 0, accepted = 0, residue = 0, misses = 0;
    for (int k = 0; k < 40; ++k) {
        std::string header;
        for (unsigned line = 0, lines = 1 + next(2); line < lines; ++line) {
            header += "// +build";
            for (unsigned option = 0, options = 1 + next(3); option < options; ++option) {
                header += option == 0 ? " " : " ";
                for (unsigned term = 0, terms = 1 + next(2); term < terms; ++term)
                    header += std::string(term ? "," : "") + (next(3) == 0 ? "!" : "") + tags[next(5)];
            }
            header += "\n";
        }
        const std::string name = std::to_string(k) + ".go", plus = header + "\npackage p\n";
        writeFile(dir.file("plus/" + name), plus);
        ASSERT_EQ(std::system(("gofmt " + shellWord(dir.file("plus/" + name)) + " >" + shellWord(dir.file("gofmt/" + name)))
                                  .c_str()),
                  0);
        const std::string formatted = readFile(dir.file("gofmt/" + name));
        const std::size_t lineEnd = formatted.find('\n');
        std::string goBuild = formatted.substr(0, lineEnd);
        // One change to the //go:build line.
        const std::size_t at = goBuild.find(next(2) ? "&&" : "||");
        if (k % 3 == 0 && at != std::string::npos)
            goBuild.replace(at, 2, goBuild[at] == '&' ? "||" : "&&");
        else if (k % 3 == 1)
            goBuild.insert(goBuild.find(' ') + 1, "!(") += ")";
        else
            goBuild.insert(goBuild.find(' ') + 1, "(" + std::string(tags[next(5)]) + " || !" + tags[next(5)] + ") && ");
        const std::string changed = goBuild + formatted.substr(lineEnd);
        writeFile(dir.file("changed/" + name), changed);
        const bool judgedSame = shell(shellWord(helper().path) + " constraint " + shellWord(dir.file("changed/" + name))) ==
                                "same\n";
        RunResult r = runMatchling({"plus/" + name, "changed/" + name, "--tokens", "--allow", "build-lines",
                                    "--exit-status"},
                                   dir.path());
        ++files;
        same += judgedSame;
        accepted += judgedSame && r.status == 0;
        residue += judgedSame && r.status != 0;
        misses += !judgedSame && r.status == 0;
        EXPECT_FALSE(!judgedSame && r.status == 0) << changed;
    }
    RunResult r = runMatchling({"plus", "gofmt", "--tokens", "--allow", "build-lines"}, dir.path());
    const std::string n = std::to_string(files);
    EXPECT_NE(r.out.find("Matchling==> Allowed rewrites: build-lines " + n + " \nMatchling==> " + n + " pairs compared: " + n +
                         " equivalent"),
              std::string::npos)
        << r.out;
    std::printf("Go, build lines: %d headers, gofmt's accepted; changed: %d the same to go/build/constraint, %d "
                "accepted, %d residue, %d misses\n",
                files, same, accepted, residue, misses);
    EXPECT_EQ(misses, 0);
    EXPECT_GT(accepted, 0);
}

TEST(GoLexerTools, LineEndsThatInsertSemicolonsCount)
{
    if (!helper().why.empty())
        GTEST_SKIP() << helper().why;
    std::vector<std::string> files = goSources();
    ScratchDir dir;
    makeDir(dir.file("before"));
    makeDir(dir.file("broken"));
    std::size_t pairs = 0, afterReturn = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string text = readFile(files[i]);
        std::istringstream sites(shell(shellWord(helper().path) + " breaks " + shellWord(files[i])));
        int taken[3] = {0, 0, 0};
        std::string kind;
        for (std::size_t offset; sites >> kind >> offset;) {
            int &n = taken[kind == "R" ? 0 : kind == "T" ? 1 : 2];
            if (n == kBreaksPerFile)
                continue;
            afterReturn += kind == "R";
            const std::string name = std::to_string(i) + "_" + kind + std::to_string(n++) + ".go";
            writeFile(dir.file("before/" + name), text);
            const std::string edit = kind == "J" ? text.substr(0, offset) + " " + text.substr(offset + 1)
                                                 : text.substr(0, offset) + "\n" + text.substr(offset);
            writeFile(dir.file("broken/" + name), edit);
            ++pairs;
        }
    }
    ASSERT_GT(pairs, 0u);
    RunResult r = runMatchling({"before", "broken", "--tokens"}, dir.path());
    EXPECT_NE(r.out.find(summary(pairs, 0)), std::string::npos) << r.out;
    std::printf("Go, lines broken or joined where a semicolon is inserted: %zu pairs (%zu after return), "
                "%zu misses\n", pairs,
                afterReturn, pairs - static_cast<std::size_t>(notEquivalent(r.out)));
}

} // namespace
