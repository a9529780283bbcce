// Near misses of the Go lexer and of Go's sorted imports: for each decision,
// a pair that must differ if it went wrong and, where it can go the other
// way, a pair that must stay equal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../lex_support.h"

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
