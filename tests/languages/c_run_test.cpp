// --allow on C, C++ and C# sources: each rewrite's accepted and refused pairs,
// both ways round, then real files of this machine through formatters that
// rewrite, judged by clang's LLVM IR of both.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"

namespace {

struct Pair {
    const char *name;
    std::string a;
    std::string b;
    bool equal;  // equivalent with --allow all
};

// The exit status of a token run of a and b with --allow all: 0 equivalent.
int allowRun(const std::string &a, const std::string &b)
{
    ScratchDir dir;
    writeFile(dir.file("a.c"), a);
    writeFile(dir.file("b.c"), b);
    return runMatchling({"a.c", "b.c", "--tokens", "--allow", "all", "--exit-status"}, dir.path()).status;
}

void checkBothWays(const std::vector<Pair> &pairs)
{
    for (const Pair &p : pairs) {
        SCOPED_TRACE(p.name);
        EXPECT_EQ(allowRun(p.a, p.b), p.equal ? 0 : 1);
        EXPECT_EQ(allowRun(p.b, p.a), p.equal ? 0 : 1);
    }
}

TEST(CRewrites, Braces)
{
    checkBothWays({
        {"if", "void f() { if (a) { g(1); } }", "void f() { if (a) g(1); }", true},
        {"else and loops", "void f() { if (a) { x = 1; } else { y++; } for (;;) { break; } while (b) { return; } }",
         "void f() { if (a) x = 1; else y++; for (;;) break; while (b) return; }", true},
        {"do", "void f() { do { --n; } while (n); }", "void f() { do --n; while (n); }", true},
        {"an if inside, no else after", "void f() { if (a) { if (b) g(1); } h(); }",
         "void f() { if (a) if (b) g(1); h(); }", true},
        {"return of a braced list", "T f() { if (a) { return {1, 2}; } }", "T f() { if (a) return {1, 2}; }", true},
        {"case body", "void f() { switch (a) { case 1: { g(1); break; } } }",
         "void f() { switch (a) { case 1: g(1); break; } }", true},
        {"an empty body", "void f() { while (g()) {} for (;;) ; if (a) {} else ; }",
         "void f() { while (g()) ; for (;;) {} if (a) ; else {} }", true},
        {"a declaration as a C++ body", "#include <a>\nvoid f() { std::g(); if (a) { T(x); } }",
         "#include <a>\nvoid f() { std::g(); if (a) T(x); }", true},
        {"the ';' that ends do ... while", "void f() { do g(); while (a); }", "void f() { do g(); while (a) {} }",
         false},
        {"a label in a C++ body", "#include <a>\nvoid f() { std::g(); if (a) { L: g(); } }",
         "#include <a>\nvoid f() { std::g(); if (a) L: g(); }", false},
        {"dangling else", "void f() { if (a) { if (b) x(); } else y(); }", "void f() { if (a) if (b) x(); else y(); }",
         false},
        {"an if inside a do", "void f() { if (a) { do { if (b) g(); } while (c); } else h(); }",
         "void f() { if (a) do { if (b) g(); } while (c); else h(); }", true},
        {"an if with its else", "void f() { if (a) { if (b) x(); else y(); } else z(); }",
         "void f() { if (a) if (b) x(); else y(); else z(); }", true},
        {"an if as a loop's body", "void f() { if (a) { while (c) if (b) g(); } else h(); }",
         "void f() { if (a) while (c) if (b) g(); else h(); }", false},
        {"an else if without an else", "void f() { if (a) { if (b) x(); else if (c) y(); } else z(); }",
         "void f() { if (a) if (b) x(); else if (c) y(); else z(); }", false},
        {"a declaration", "void f() { if (a) { int x = 1; } }", "void f() { if (a) int x = 1; }", false},
        {"a call that may declare", "void f() { if (a) { T(x); } }", "void f() { if (a) T(x); }", false},
        {"two statements", "void f() { if (a) { g(1); h(1); } }", "void f() { if (a) g(1); h(1); }", false},
        {"the ';' after a braced list lost", "T f() { if (a) { return {1}; } }", "T f() { if (a) { return {1} } }",
         false},
        {"a case body that declares", "void f() { switch (a) { case 1: { int x; } } }",
         "void f() { switch (a) { case 1: int x; } }", false},
        {"a compound literal's life", "void f() { switch (a) { case 1: { p = (int[]){1}; } } }",
         "void f() { switch (a) { case 1: p = (int[]){1}; } }", false},
        {"macro definition", "#define M if (a) { g(1); }\n", "#define M if (a) g(1);\n", false},
        {"a macro of two statements", "#define TWO a(); b()\nvoid f() { if (x) { TWO; } }",
         "#define TWO a(); b()\nvoid f() { if (x) TWO; }", false},
        {"macro arguments", "M(if (a) { g(1); })", "M(if (a) g(1);)", false},
        {"else of if consteval", "void f() { if consteval { g(1); } else { h(1); } }",
         "void f() { if consteval { g(1); } else h(1); }", false},
        {"a directive inside", "void f() { if (a) {\n#if X\n g(1);\n#endif\n} }",
         "void f() { if (a)\n#if X\n g(1);\n#endif\n }", false},
    });
}

// A call `g(x);` as a body, where the uses of g before it show whether g may name a type.
TEST(CRewrites, BracesAroundACallOfAKnownName)
{
    const std::string body = " if (a) { g(x); } }", bare = " if (a) g(x); }";
    const auto pair = [&](const char *name, const std::string &before, bool equal) {
        return Pair{name, before + body, before + bare, equal};
    };
    checkBothWays({
        pair("a function the file declares", "int g(int);\nvoid f(void) {", true),
        pair("a function the file defines", "static void g(bin *in) { }\nvoid f(void) {", true),
        pair("called where no type stands", "void f(void) { y = g(1); while (!g(2)) ;", true),
        pair("called in a condition", "void f(void) { if (g(1)) return;", true),
        pair("not called", "void f(void) { g(1); y = h(g);", false),
        pair("declared between", "void f(void) { y = g(1); int (*g)(int);", false),
        pair("a parameter", "void f(int g) { y = g(1);", false),
        pair("a typedef", "void f(void) { y = g(1); { typedef int g; }", false),
        pair("a parenthesized declarator", "static T (g);\nvoid f(void) {", false),
        pair("a calling convention", "int (__stdcall g)(int);\nvoid f(void) {", false),
        pair("a member", "void f(void) { y = g(1); s.g = 0;", false),
        pair("a tag", "struct g *p;\nvoid f(void) { y = g(1);", false),
        pair("called in an #if group", "void f(void) {\n#if A\n y = g(1);\n#endif\n", false),
        pair("called in the branch it stands in", "#if A\nint g(int);\n#if B\n#endif\nvoid f(void) {", true),
        pair("called in another branch", "#if A\nint g(int);\n#else\nvoid f(void) {", false),
        pair("called in a branch of an earlier group", "#if A\nint g(int);\n#else\n#endif\n#if A\nvoid f(void) {",
             false),
        pair("after an #else", "void f(void) {\n#if A\n int\n#else\n y =\n#endif\n g(v);", false),
        pair("after the '}' of a struct", "void f(void) { y = g(1); struct { int a; } g(void);", false),
        pair("a macro of the file", "#define g(x) int x\nvoid f(void) { y = g(1);", false),
    });
    checkBothWays({
        {"called only after", "void f(void) { if (a) { g(x); } y = g(1); }", "void f(void) { if (a) g(x); y = g(1); }",
         false},
        {"a function of an included header", "#include <unistd.h>\nvoid f(void) { if (a) { close(fd); } }",
         "#include <unistd.h>\nvoid f(void) { if (a) close(fd); }", true},
        {"a header not included", "#include <stdio.h>\nvoid f(void) { if (a) { close(fd); } }",
         "#include <stdio.h>\nvoid f(void) { if (a) close(fd); }", false},
        {"a header in an #if group", "#if A\n#include <stdlib.h>\n#endif\nvoid f(void) { if (a) { free(p); } }",
         "#if A\n#include <stdlib.h>\n#endif\nvoid f(void) { if (a) free(p); }", false},
        {"a header in the group of the body", "#if 0\n#include <stdlib.h>\nvoid f(void) { if (a) { free(p); } }\n#endif",
         "#if 0\n#include <stdlib.h>\nvoid f(void) { if (a) free(p); }\n#endif", true},
        {"a library name declared in a block", "#include <stdlib.h>\nvoid f(void) { T free; if (a) { free(p); } }",
         "#include <stdlib.h>\nvoid f(void) { T free; if (a) free(p); }", false},
        {"an address as the argument", "void f() { if (a) { g(&x); } }", "void f() { if (a) g(&x); }", true},
        {"a reference with its initializer", "void f() { switch (a) { case 1: { T(&x) = y; } } }",
         "void f() { switch (a) { case 1: T(&x) = y; } }", false},
    });
}

// Bodies and values that name a macro the file defines.
TEST(CRewrites, MacrosOfTheFile)
{
    const auto body = [](const char *name, const std::string &define, const std::string &statement, bool equal) {
        return Pair{name, define + "\nvoid f(void) { if (a) { " + statement + " } }",
                    define + "\nvoid f(void) { if (a) " + statement + " }", equal};
    };
    const auto value = [](const char *name, const std::string &define, const std::string &expression, bool equal) {
        return Pair{name, define + "\nint f(void) { return (" + expression + "); }",
                    define + "\nint f(void) { return " + expression + "; }", equal};
    };
    checkBothWays({
        body("a constant after =", "#define SIZE 32768U", "r = (int)(SIZE - n);", true),
        body("a function-like macro in a call", "#define R(in) (in->left ? 0 : g(in), in->next)", "h(R(p), 1);",
             true),
        body("a list in a call", "#define FMT \"%s\", name", "printf(FMT, 1);", true),
        body("first in the statement", "#define SIZE(x) x", "SIZE(n);", false),
        body("first in a statement of a loop", "#define CLOSE(f) fclose(f)", "for (;;) { CLOSE(f); }", true),
        body("first in a statement of a case", "#define CLOSE(f) fclose(f)",
             "switch (n) { case 1: { CLOSE(f); } }", true),
        {"first in a case's statement", "#define D(x, y) int x\nvoid f(void) { switch (n) { case 1: { D(v, 1); } } }",
         "#define D(x, y) int x\nvoid f(void) { switch (n) { case 1: D(v, 1); } }", false},
        body("a wild macro in a loop", "#define TWO a(); } {", "for (;;) { TWO; }", false),
        {"a block macro in a loop before else", "#define B { g(); }\nvoid f(void) { if (a) { for (;;) B; } else h(); }",
         "#define B { g(); }\nvoid f(void) { if (a) for (;;) B; else h(); }", false},
        body("before the =", "#define V int y", "V = 1;", false),
        body("two statements", "#define TWO a(); b()", "g(TWO, 1);", false),
        body("a brace", "#define L { 1 }", "x = L;", false),
        body("an unbalanced bracket", "#define C g(", "x = C 1);", false),
        body("a keyword of a statement", "#define E x; else", "x = E;", false),
        body("a macro of the file inside", "#define B b; c\n#define A B", "x = A;", false),
        body("a name defined as a macro after it", "#define A B\n#define B b; c", "x = A;", false),
        body("a block", "#define CHECK(e, m) { if (e) { g(m); exit(1); } }", "CHECK(x, \"m\");", true),
        body("do ... while (0)", "#define BYE(...) do { g(__VA_ARGS__); return 1; } while (0)", "BYE(\"m\");", true),
        body("do ... while (1)", "#define BYE(...) do { g(__VA_ARGS__); return 1; } while (1)", "BYE(\"m\");",
             false),
        body("two blocks", "#define M { g(); } {}", "M;", false),
        body("an empty macro", "#define M(f)", "M(out);", true),
        body("a call of two arguments", "#define M(f) setmode(fileno(f), 1)", "M(out);", true),
        body("empty or a call", "#ifdef W\n#define M(f) g(f, 1)\n#else\n#define M(f)\n#endif", "M(out);", true),
        body("a call of one argument", "#define M(f) g(f)", "M(out);", false),
        body("a call and more", "#define M(f) g(f, 1) + h", "M(out);", false),
        body("a call of a list", "#define M(f) g(f, 1), h(f, 2)", "M(out);", false),
        body("a call that names a macro of the file", "#define T int x; y\n#define M(f) g(f, T)", "M(out);", false),
        body("a name in its call defined after, single", "#define M(f) g(h(f), 1)\n#define h(f) f->x", "M(out);",
             true),
        body("a name in its call defined after, a list", "#define M(f) g(h(f), 1)\n#define h(f) f, 2", "M(out);",
             false),
        body("its callee defined after", "#define M(f) g(f, 1)\n#define g int x = k", "M(out);", false),
        {"an empty macro before else", "#define M\nvoid f(void) { if (a) { M; } else h(); }",
         "#define M\nvoid f(void) { if (a) M; else h(); }", true},
        body("a statement after the block", "#define M(x) do { g(x); } while (0); h()", "M(1);", false),
        body("an argument that unbalances the block", "#define C } x(); {\n#define M(a) { a }", "M(C);", false),
        body("a block that names a macro of the file", "#define C } x(); {\n#define M { C }", "M;", false),
        {"a block before else", "#define M { g(); }\nvoid f(void) { if (a) { M; } else h(); }",
         "#define M { g(); }\nvoid f(void) { if (a) M; else h(); }", false},
        {"do ... while (0) before else", "#define M do { g(); } while (0)\nvoid f(void) { if (a) { M; } else h(); }",
         "#define M do { g(); } while (0)\nvoid f(void) { if (a) M; else h(); }", true},
        value("a constant", "#define N 4", "g(buf, N)", true),
        value("a list", "#define N 4, 5", "N", false),
        value("a list in a call of the value", "#define N 4, 5", "g(N)", false),
    });
}

// A string with a macro glued to it, `"%"PRIbig`, against the two apart.
TEST(CRewrites, QuotesOfAGluedMacro)
{
    const auto pair = [](const char *name, const std::string &before, const std::string &glued,
                         const std::string &apart, bool equal) {
        return Pair{name, before + glued, before + apart, equal};
    };
    checkBothWays({
        pair("a macro of the file", "#define P \"ju\"\n", "const char *s = \"%\"P\" n\";",
             "const char *s = \"%\" P \" n\";", true),
        pair("a macro of <inttypes.h>", "#include <inttypes.h>\n", "const char *s = \"%\"PRIu64;",
             "const char *s = \"%\" PRIu64;", true),
        pair("in a call of printf", "#include <stdio.h>\n#define P \"ju\"\n", "void f() { printf(\"%\"P, n); }",
             "void f() { printf(\"%\" P, n); }", true),
        pair("a name that is no macro", "", "const char *s = \"%\"P;", "const char *s = \"%\" P;", false),
        pair("a macro defined after", "", "const char *s = \"%\"P;\n#define P \"ju\"\n",
             "const char *s = \"%\" P;\n#define P \"ju\"\n", false),
        pair("a standard suffix", "#define s \"ju\"\n", "auto x = \"%\"s;", "auto x = \"%\" s;", false),
        pair("a suffix with '_'", "#define _P \"ju\"\n", "auto x = \"%\"_P;", "auto x = \"%\" _P;", false),
        pair("<inttypes.h> in an #if group", "#if A\n#include <inttypes.h>\n#endif\n", "const char *s = \"%\"PRIu64;",
             "const char *s = \"%\" PRIu64;", false),
        pair("in a macro's arguments", "#define P \"ju\"\n", "void f() { g(\"%\"P, n); }", "void f() { g(\"%\" P, n); }",
             false),
        pair("in a call of a macro named printf", "#include <stdio.h>\n#define P \"ju\"\n#define printf(x, y) #x\n",
             "void f() { printf(\"%\"P, n); }", "void f() { printf(\"%\" P, n); }", false),
        pair("a number in a call of printf", "#include <stdio.h>\n", "void f() { printf(\"%d\", 0X1F); }",
             "void f() { printf(\"%d\", 0x1f); }", false),
    });
}

TEST(CRewrites, Parens)
{
    checkBothWays({
        {"return value", "int f() { return (a + b); }", "int f() { return a + b; }", true},
        {"nested", "int f() { return ((a)); }", "int f() { return a; }", true},
        {"right-hand side", "void f() { x = (a * b); int y = (c); }", "void f() { x = a * b; int y = c; }", true},
        {"condition", "void f() { while ((a = g())) h(); }", "void f() { while (a = g()) h(); }", true},
        {"a comma list", "int f() { return (a, b); }", "int f() { return a, b; }", false},
        {"call or macro arguments", "void f() { g((a)); }", "void f() { g(a); }", false},
        {"a possible cast", "void f() { x = (a) - b; }", "void f() { x = a - b; }", false},
        {"decltype(auto)", "decltype(auto) f() { return (x); }", "decltype(auto) f() { return x; }", false},
        {"decltype", "decltype((x)) y;", "decltype(x) y;", false},
        {"a lambda", "void f() { x = ([] { return 1; }); }", "void f() { x = [] { return 1; }; }", false},
        {"a statement expression", "int f() { return ({ 1; }); }", "int f() { return { 1; }; }", false},
        {"macro definition", "#define R return (x);\n", "#define R return x;\n", false},
        {"a literal returned in a macro definition", "#define R(m) do { g(m); return (1); } while (0)\n",
         "#define R(m) do { g(m); return 1; } while (0)\n", true},
        {"a literal returned first in a macro definition", "#define R return ('a');\n", "#define R return 'a';\n", true},
        {"a literal returned without its ';'", "#define R return (1)\n", "#define R return 1\n", false},
        {"a literal returned where a macro pastes", "#define R(a) a ## return (1);\n", "#define R(a) a ## return 1;\n",
         false},
        {"a literal returned where a macro stringizes", "#define R(a) return (1); #a\n", "#define R(a) return 1; #a\n",
         false},
        {"a macro of a comma list", "#define M a, b\nint f() { return (M); }", "#define M a, b\nint f() { return M; }",
         false},
        {"operator=", "T &operator=(T x);", "T &operator= T x;", false},
    });
}

// Parentheses around an operand of a value, by C's precedence.
TEST(CRewrites, ParensAroundAnOperand)
{
    const auto pair = [](const char *name, const std::string &with, const std::string &without, bool equal) {
        return Pair{name, "int f() { return " + with + "; }", "int f() { return " + without + "; }", equal};
    };
    checkBothWays({
        pair("a product before a sum", "(a * b) + c", "a * b + c", true),
        pair("a product after a sum", "a + (b * c)", "a + b * c", true),
        pair("a left operand of its own operator", "(a - b) - c", "a - b - c", true),
        pair("calls, members and literals", "(f(a, b) * s.b[1]) + 2 || (c->d && e)", "f(a, b) * s.b[1] + 2 || c->d && e",
             true),
        pair("a right operand of its own operator", "a - (b - c)", "a - b - c", false),
        pair("a sum before a product", "(a + b) * c", "a + b * c", false),
        pair("after a prefix operator", "-(a * b) + c", "-a * b + c", false),
        pair("after a possible cast", "(T) - (a * b)", "(T) - a * b", false),
        pair("a single name, a possible cast", "(a) - b * c", "a - b * c", false),
        pair("called", "(a * b)(c) + d", "a * b(c) + d", false),
        pair("a comparison C++ may read as a template's", "(a < b) == c", "a < b == c", false),
        pair("before ?:", "(a * b) ? c : d", "a * b ? c : d", false),
        pair("an assignment inside", "(a = b) + c", "a = b + c", false),
        pair("sizeof inside", "(sizeof a * b) + c", "sizeof a * b + c", false),
    });
    checkBothWays({
        {"a macro of the file", "#define M a\nint f() { return (M * b) + c; }", "#define M a\nint f() { return M * b + c; }",
         false},
        {"an initializer", "void f() { int x = (a * b) + c; }", "void f() { int x = a * b + c; }", true},
        {"an enumerator", "enum E { A = (a * b) + c, B };", "enum E { A = a * b + c, B };", false},
    });
}

TEST(CRewrites, Commas)
{
    checkBothWays({
        {"enum", "enum E { A, B, };", "enum E { A, B };", true},
        {"initializer", "int a[] = {1, {2, 3,},};", "int a[] = {1, {2, 3}};", true},
        {"before ')'", "void f() { g(a, b,); }", "void f() { g(a, b); }", false},
        {"macro definition", "#define L {1, 2,}\n", "#define L {1, 2}\n", false},
        {"the only token", "int a[] = {,};", "int a[] = {};", false},
    });
}

TEST(CRewrites, Numbers)
{
    checkBothWays({
        {"hex digits and prefix", "int x = 0XFF;", "int x = 0xff;", true},
        {"exponent", "double d = 1E5 + 2.5E-3;", "double d = 1e5 + 2.5e-3;", true},
        {"zeros of a fraction", "double d[] = {.5, 1., 1.50, 1e+05};", "double d[] = {0.5, 1.0, 1.5, 1.e5};", true},
        {"separators", "long n = 1'000'000;", "long n = 1000000;", true},
        {"suffixes", "auto n = 10UL + 1LL + 2.5F;", "auto n = 10lu + 1ll + 2.5f;", true},
        {"hex float", "double d = 0x1.8P-3;", "double d = 0x1.8p-3;", true},
        {"integer against floating", "double d = 1;", "double d = 1.0;", false},
        {"unsigned against signed", "auto n = 1u;", "auto n = 1;", false},
        {"hex against decimal", "int x = 0x10;", "int x = 16;", false},
        {"octal against decimal", "int x = 010;", "int x = 10;", false},
        {"a user-defined suffix", "auto d = 1_km;", "auto d = 1_KM;", false},
        {"a C# decimal's scale", "decimal d = 1.50m;", "decimal d = 1.5m;", false},
        {"macro arguments", "const char *s = S(0xFF);", "const char *s = S(0xff);", false},
        {"macro definition", "#define X 0xFF\n", "#define X 0xff\n", false},
        {"a misplaced separator", "int x = 0x'FF;", "int x = 0xFF;", false},
        {"mixed-case ll", "auto n = 1lL;", "auto n = 1ll;", false},
    });
}

TEST(CRewrites, Usings)
{
    checkBothWays({
        {"a run as a set", "using std::vector;\nusing std::array;\nusing ::a::b;\n",
         "using ::a::b;\nusing std::array;\nusing std::vector;\n", true},
        {"one depends on another", "using a::E;\nusing E::x;\n", "using E::x;\nusing a::E;\n", false},
        {"using namespace", "using namespace a;\nusing namespace b;\n", "using namespace b;\nusing namespace a;\n",
         false},
        {"aliases", "using X = a::T;\nusing Y = b::T;\n", "using Y = b::T;\nusing X = a::T;\n", false},
        {"not one run", "using a::x;\nint i;\nusing b::y;\n", "using b::y;\nint i;\nusing a::x;\n", false},
    });
}

TEST(CRewrites, Semicolons)
{
    checkBothWays({
        {"after a function body", "#include <a.h>\nvoid f() { return; };\nint x;;\n",
         "#include <a.h>\nvoid f() { return; }\nint x;\n", true},
        {"namespace and class", "#include <a.h>\nnamespace n { ; struct S { int a;; }; }\n",
         "#include <a.h>\nnamespace n { struct S { int a; }; }\n", true},
        {"after a class", "#include <a.h>\nstruct S {};\n", "#include <a.h>\nstruct S {}\n", false},
        {"after an initializer", "#include <a.h>\nint a[] = {1};\n", "#include <a.h>\nint a[] = {1}\n", false},
        {"after a lambda", "#include <a.h>\nauto f = [] { return 1; };\n", "#include <a.h>\nauto f = [] { return 1; }\n",
         false},
        {"a null statement", "#include <a.h>\nvoid f() { if (a) g();; else h(); }\n",
         "#include <a.h>\nvoid f() { if (a) g(); else h(); }\n", false},
        {"without an #include, perhaps C#", "void F() { return; };", "void F() { return; }", false},
        {"after a directive", "#include <a.h>\nint x\n#if A\n;\n#endif\n;\n", "#include <a.h>\nint x\n#if A\n;\n#endif\n",
         false},
    });
}

// --- Real files through formatters that rewrite ----------------------------------

constexpr std::size_t kRealFiles = 30;  // files taken, C examples first

const char *const kFolders[] = {
    "/usr/share/doc/zlib1g-dev/examples",      "/usr/share/doc/liblzma-dev/examples",
    "/usr/share/doc/libidn2-dev/examples",     "/usr/share/doc/libexpat1-dev/examples",
    "/usr/share/doc/nettle-dev/examples",      "/usr/share/doc/libpng-dev/examples",
    "/usr/share/cmake-3.25/Modules",           "/usr/src/googletest/googletest/samples",
};

const char *const kIncludes =
    "-I/usr/src/googletest/googletest/include -I/usr/src/googletest/googletest "
    "-I/usr/src/googletest/googlemock/include";

bool shell(const std::string &command)
{
    return std::system(command.c_str()) == 0;
}

std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The compiler command for a file by its ending, with its folder for quoted includes.
std::string compiler(const std::string &file)
{
    const std::string folder = file.substr(0, file.rfind('/'));
    bool c = file.size() > 2 && file.compare(file.size() - 2, 2, ".c") == 0;
    // __FILE__, __LINE__ and assert's text of its condition change with the layout, not the program.
    return std::string(c ? "clang -x c -std=gnu11" : "clang++ -x c++ -std=gnu++17") +
           " -w -D__LINE__=0 -D'__FILE__=\"f\"' -DNDEBUG " + kIncludes + " -I'" + folder + "'";
}

// The LLVM IR of source (read as if it stood at original), without the lines
// that name the file; false when it does not compile.
bool irOf(const std::string &source, const std::string &original, const std::string &out)
{
    return shell(compiler(original) + " -S -emit-llvm -O0 -o '" + out + ".raw' '" + source + "' 2>/dev/null") &&
           shell("grep -v -e '^; ModuleID' -e '^source_filename' '" + out + ".raw' >'" + out + "'");
}

// Files of the folders that compile to IR alone, up to kRealFiles.
std::vector<std::string> realFiles(const ScratchDir &dir)
{
    std::vector<std::string> files;
    for (const char *folder : kFolders) {
        const std::string list = dir.file("list");
        if (!shell(std::string("ls '") + folder + "' 2>/dev/null | grep -E '\\.(c|cc|cpp)$' | head -8 >'" + list + "'"))
            continue;
        std::istringstream names(readAll(list));
        for (std::string name; std::getline(names, name) && files.size() < kRealFiles;) {
            const std::string path = std::string(folder) + "/" + name;
            if (irOf(path, path, dir.file("probe.ll")))
                files.push_back(path);
        }
    }
    return files;
}

TEST(CRewritesTools, RealFilesJudgedByClang)
{
    SKIP_WITHOUT(Facility::PosixShell);
    if (!haveTool("clang") || !haveTool("clang++"))
        GTEST_SKIP() << "clang is not installed";
    ScratchDir dir;
    writeFile(dir.file("add.cfg"), "mod_full_brace_do = add\nmod_full_brace_for = add\nmod_full_brace_if = add\n"
                                   "mod_full_brace_while = add\nmod_paren_on_return = add\n"
                                   "mod_enum_last_comma = add\nmod_remove_extra_semicolon = true\n");
    writeFile(dir.file("remove.cfg"), "mod_full_brace_do = remove\nmod_full_brace_for = remove\n"
                                      "mod_full_brace_if = remove\nmod_full_brace_while = remove\n"
                                      "mod_paren_on_return = remove\nmod_enum_last_comma = remove\n"
                                      "mod_remove_extra_semicolon = true\n");
    std::vector<std::pair<std::string, std::string>> styles;
    if (haveTool("uncrustify")) {
        styles.push_back({"uncrustify-add", "uncrustify -q -c '" + dir.file("add.cfg") + "' -f \"$f\""});
        styles.push_back({"uncrustify-remove", "uncrustify -q -c '" + dir.file("remove.cfg") + "' -f \"$f\""});
    }
    if (haveTool("astyle")) {
        styles.push_back({"astyle-add", "astyle --add-braces <\"$f\""});
        styles.push_back({"astyle-remove", "astyle --remove-braces <\"$f\""});
    }
    if (haveTool("clang-format"))
        styles.push_back({"clang-format", "clang-format --style='{BasedOnStyle: LLVM, RemoveBracesLLVM: true, "
                                          "SortIncludes: false}' \"$f\""});
    if (styles.empty())
        GTEST_SKIP() << "none of uncrustify, astyle and clang-format is installed";
    const std::vector<std::string> files = realFiles(dir);
    if (files.empty())
        GTEST_SKIP() << "no C or C++ example files that compile alone on this machine";
    int outputs = 0, differing = 0, same = 0, different = 0, accepted = 0, residue = 0, misses = 0;
    struct Counts {
        int same = 0, accepted = 0, misses = 0;
    };
    std::vector<Counts> perStyle(styles.size());
    makeDir(dir.file("a"));
    makeDir(dir.file("b"));
    for (const std::string &f : files) {
        // Both sides under the file's own name: C++ names a global constructor after it.
        const std::string base = f.substr(f.rfind('/') + 1), a = "a/" + base, b = "b/" + base;
        writeFile(dir.file(a), readAll(f));
        ASSERT_TRUE(irOf(dir.file(a), f, dir.file("a.ll")));
        for (std::size_t k = 0; k < styles.size(); ++k) {
            const auto &s = styles[k];
            SCOPED_TRACE(f + " " + s.first);
            if (!shell("f='" + f + "' && " + s.second + " >'" + dir.file(b) + "' 2>/dev/null"))
                continue;
            ++outputs;
            if (runMatchling({a, b, "--tokens", "--exit-status"}, dir.path()).status == 0)
                continue;
            ++differing;
            bool judgedSame = irOf(dir.file(b), f, dir.file("b.ll")) &&
                              readAll(dir.file("a.ll")) == readAll(dir.file("b.ll"));
            bool allowed = runMatchling({a, b, "--tokens", "--allow", "all", "--exit-status"}, dir.path()).status == 0;
            same += judgedSame;
            different += !judgedSame;
            accepted += judgedSame && allowed;
            residue += judgedSame && !allowed;
            misses += !judgedSame && allowed;
            perStyle[k].same += judgedSame;
            perStyle[k].accepted += judgedSame && allowed;
            perStyle[k].misses += !judgedSame && allowed;
            EXPECT_FALSE(!judgedSame && allowed) << "accepted, but clang's IR differs";
        }
    }
    for (std::size_t k = 0; k < styles.size(); ++k)
        std::printf("%s: IR same %d, accepted %d, misses %d\n", styles[k].first.c_str(), perStyle[k].same,
                    perStyle[k].accepted, perStyle[k].misses);
    std::printf("files %zu, outputs %d, differing in tokens %d: IR same %d, IR different %d; accepted %d, "
                "residue %d, misses %d\n",
                files.size(), outputs, differing, same, different, accepted, residue, misses);
    EXPECT_EQ(misses, 0);
}

} // namespace
