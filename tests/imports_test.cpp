// Tests of sorted imports in every language that sorts them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "languages/languages.h"
#include "lex_support.h"
#include "support.h"

namespace {

LexOptions sorted()
{
    LexOptions o;
    o.sortedIncludes = true;
    return o;
}

// Every token of text with the import rules of language, over the pieces of
// the C-family lexer (each language's own lexer is not needed to test its rules).
std::vector<Tok> lexWithRules(const std::string &text, Language language)
{
    static std::unique_ptr<Lexer> lx = std::make_unique<Lexer>();
    // A file of the test's own: the system's temporary file is not to be had
    // everywhere (Wine's is made at the root of the drive).
    static ScratchDir dir;
    const std::string path = dir.file("rules");
    writeFile(path, text);
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) {
        ADD_FAILURE() << "cannot open " << path;
        return {};
    }
    SourceStream source;
    source.stream = f;
    lexerStart(*lx, Language::CFamily, sorted(), source);
    sorterUse(*lx, languageLexer(language).imports, languageLexer(Language::CFamily).next);
    std::vector<Tok> out;
    TokenPiece piece;
    do {
        sortedNext(*lx, piece);
        if (piece.first)
            out.push_back({piece.kind, "", piece.place.line, piece.place.column});
        out.back().key.append(piece.bytes, piece.length);
    } while (!(piece.kind == TokenKind::End && piece.last));
    std::fclose(f);
    return out;
}

// checkPairs for the rules of language over the C-family lexer.
void checkRules(Language language, const std::vector<PairCase> &cases)
{
    for (const PairCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Tok> a = lexWithRules(c.a, language), b = lexWithRules(c.b, language);
        long ab = firstDifference(a, b), ba = firstDifference(b, a);
        EXPECT_EQ(ab, ba);
        EXPECT_EQ(ab < 0, c.equal);
        if (ab < 0 || c.equal)
            continue;
        EXPECT_EQ(a[ab].line, c.aLine) << a[ab].key;
        EXPECT_EQ(a[ab].column, c.aColumn) << a[ab].key;
        EXPECT_EQ(b[ab].line, c.bLine) << b[ab].key;
        EXPECT_EQ(b[ab].column, c.bColumn) << b[ab].key;
    }
}

// Lines "using u<n>;" for n from first up to last, or down when first > last.
std::string usings(int first, int last)
{
    std::string text;
    for (int n = first;; n += first < last ? 1 : -1) {
        text += "using u" + std::to_string(n) + ";\n";
        if (n == last)
            return text;
    }
}

const std::string kLongUsing = "using A.B.C.D.E.F.G.H.I.J.K.L.M.N.O.P.Q;\n";  // over the 32 tokens one may hold

} // namespace

TEST(Imports, CSharpUsings)
{
    const Language C = Language::CFamily;
    const LexOptions o = sorted();
    checkPairs({
        {"sorted", "using System.IO;\nusing System;\nclass A {}", "using System;\nusing System.IO;\nclass A {}", true, 0,
         0, 0, 0, C, o},
        {"global, static and alias", "global using Z;\nusing static System.Math;\nusing A = B.C<int>;\n",
         "using A = B.C<int>;\nglobal using Z;\nusing static System.Math;\n", true, 0, 0, 0, 0, C, o},
        {"in a namespace body", "namespace N.M {\nusing B;\nusing A;\n}", "namespace N.M {\nusing A;\nusing B;\n}", true, 0,
         0, 0, 0, C, o},
        {"after includes", "#include <b>\n#include <a>\nusing B;\nusing A;", "#include <a>\n#include <b>\nusing A;\nusing B;",
         true, 0, 0, 0, 0, C, o},
        {"a long directive ends its run", "using B;\nusing A;\n" + kLongUsing + "using D;\nusing C;\n",
         "using A;\nusing B;\n" + kLongUsing + "using C;\nusing D;\n", true, 0, 0, 0, 0, C, o},
        {"moved past code", "using B;\nusing A;\nclass C {}\n", "using A;\nclass C {}\nusing B;\n", false, 1, 1, 2, 1, C, o},
        {"moved past a long directive", "using B;\n" + kLongUsing + "using A;\n", "using A;\n" + kLongUsing + "using B;\n",
         false, 1, 7, 1, 7, C, o},
        {"across #if", "using B;\n#if X\nusing A;\n#endif\n", "using A;\n#if X\nusing B;\n#endif\n", false, 1, 7, 1, 7, C, o},
        {"using declarations", "using var b = B();\nusing var a = A();\n", "using var a = A();\nusing var b = B();\n", false,
         1, 11, 1, 11, C, o},
        {"using statements in a method", "void F() {\n using (B b = x) {}\n using (A a = y) {}\n}",
         "void F() {\n using (A a = y) {}\n using (B b = x) {}\n}", false, 2, 9, 2, 9, C, o},
        {"directives in a class body", "class K {\nusing B;\nusing A;\n}", "class K {\nusing A;\nusing B;\n}", false, 2, 7,
         2, 7, C, o},
        {"using namespace (C++)", "using namespace b;\nusing namespace a;", "using namespace a;\nusing namespace b;", false, 1,
         17, 1, 17, C, o},
        {"an alias naming another", "using B = A;\nusing A = int;", "using A = int;\nusing B = A;", false, 1, 7, 1, 7, C,
         o},
        {"a declaration naming another's name", "using a::E;\nusing E::X;", "using E::X;\nusing a::E;", false, 1, 7, 1, 7,
         C, o},
        // 200 directives: the first group holds 128 of them as read.
        {"a run longer than its group", usings(1000, 1199), usings(1199, 1000), false, 1, 7, 128, 7, C, o},
    });
}

// A sorted stream written out again sorts to itself: groups of using
// directives end at their count or at a directive past the caps, never where
// the order read would put them (the token fuzz target relies on it).
TEST(Imports, SortedUsingsSortToThemselves)
{
    std::string text;
    for (int n = 0; n < 400; ++n) {
        std::string path = "N" + std::to_string((n * 7919) % 400);
        for (int k = 0; k < (n * 13) % 20; ++k)
            path += ".P" + std::to_string(k);
        text += "using " + path + ";\n";
    }
    std::vector<Tok> once = lexText(text, Language::CFamily, sorted());
    std::string again;
    for (const Tok &t : once)
        again += t.key + (t.key == ";" ? "\n" : " ");
    EXPECT_EQ(firstDifference(once, lexText(again, Language::CFamily, sorted())), -1);
    EXPECT_NE(firstDifference(once, lexText(text, Language::CFamily)), -1) << "nothing was sorted";
}

// clang-format sorts includes and C++ using declarations: its output compares
// equal to its input.
TEST(ImportsTools, ClangFormatSortsUsings)
{
    if (!haveTool("clang-format"))
        GTEST_SKIP() << "clang-format is not installed";
    const std::string source = "#include <vector>\n#include <map>\n#include \"z.h\"\n#include \"a.h\"\n"
                               "namespace n {\nusing std::vector;\nusing std::map;\nusing ::size_t;\n}\n"
                               "int main() { return 0; }\n";
    ScratchDir dir;
    writeFile(dir.file("u.cc"), source);
    const std::string out = dir.file("out.cc");
    ASSERT_EQ(std::system(("clang-format -style=LLVM '" + dir.file("u.cc") + "' > '" + out + "'").c_str()), 0);
    std::vector<Tok> formatted = lexFile(out, Language::CFamily, sorted());
    EXPECT_EQ(firstDifference(lexText(source, Language::CFamily, sorted()), formatted), -1);
    EXPECT_NE(firstDifference(lexText(source, Language::CFamily), formatted), -1) << "clang-format sorted nothing";
}

TEST(Imports, RustUse)
{
    checkRules(Language::Rust, {
        {"sorted", "use b::c;\nuse a::d;\n", "use a::d;\nuse b::c;\n", true},
        {"pub use with use, as rustfmt sorts them", "pub use b;\npub(crate) use c;\nuse a;",
         "use a;\npub(crate) use c;\npub use b;", true},
        {"attributes go with their item", "mod m; #[cfg(test)] use b; use a;", "mod m; use a; #[cfg(test)] use b;", true},
        {"after an inner attribute", "mod m; #![allow(x)] use b; use a;", "mod m; #![allow(x)] use a; use b;", true},
        {"names in braces", "use a::{c, b as d, self};", "use a::{self, b as d, c};", true},
        {"nested groups", "use a::{e::{g, f}, c};\nuse a::b;", "use a::b;\nuse a::{c, e::{f, g}};", true},
        {"in a function body", "fn f() { let x = 1; use b; use a; }", "fn f() { let x = 1; use a; use b; }", true},
        {"moved past code", "use b;\nuse a;\nfn f() {}\n", "use a;\nfn f() {}\nuse b;\n", false, 1, 1, 2, 1},
        {"an attribute stays with its item", "mod m; #[cfg(x)] use b; use a;", "mod m; #[cfg(x)] use a; use b;", false, 1,
         22, 1, 22},
        {"a trailing comma stays", "use a::{c, b,};", "use a::{b, c};", false, 1, 13, 1, 13},
        {"names moved between groups", "use a::{b, c::{d}};", "use a::{d, c::{b}};", false, 1, 9, 1, 12},
        {"macro bodies", "m! { use b; use a; }", "m! { use a; use b; }", false, 1, 10, 1, 10},
        {"a pub item between", "use b;\npub fn f() {}\nuse a;", "use a;\npub fn f() {}\nuse b;", false, 1, 5, 1, 5},
    });
}

TEST(Imports, GoSpecs)
{
    checkRules(Language::Go, {
        {"sorted", "import (\n\"os\";\n\"fmt\";\n)\nvar x;", "import (\n\"fmt\";\n\"os\";\n)\nvar x;", true},
        {"named imports", "import (\nb \"x/b\";\n. \"x/a\";\n_ \"x/c\";\n)", "import (\n_ \"x/c\";\nb \"x/b\";\n. \"x/a\";\n)",
         true},
        {"two blocks", "import (\n\"b\";\n)\nimport (\n\"a\";\n)", "import (\n\"a\";\n)\nimport (\n\"b\";\n)", false, 2, 1, 2,
         1},
        {"single declarations", "import \"b\";\nimport \"a\";", "import \"a\";\nimport \"b\";", false, 1, 8, 1, 8},
        {"an import without its ';'", "import (\"b\"; \"a\")", "import (\"a\"; \"b\")", false, 1, 9, 1, 9},
    });
}

TEST(Imports, JavaImports)
{
    std::string up, down;
    for (int n = 0; n < 300; ++n) {
        up += "import p.C" + std::to_string(1000 + n) + ";\n";
        down = "import p.C" + std::to_string(1000 + n) + ";\n" + down;
    }
    checkRules(Language::Java, {
        {"sorted", "package p;\nimport java.util.List;\nimport java.io.File;\nclass A {}",
         "package p;\nimport java.io.File;\nimport java.util.List;\nclass A {}", true},
        {"static and on demand", "import static a.B.c;\nimport a.d.*;\nimport a.D;",
         "import a.D;\nimport a.d.*;\nimport static a.B.c;", true},
        {"moved past the class", "import b.B;\nimport a.A;\nclass C {}", "import a.A;\nclass C {}\nimport b.B;", false, 1, 1,
         2, 1},
        // 300 imports: the first group holds 256 of them as read.
        {"a run longer than the stores", up, down, false, 1, 10, 256, 10},
    });
}

// The tokens of text, lexed as language with sorted imports, that carry a
// note, each as "KEY L:C noted at L:C", and their notes.
std::vector<std::string> notedTokens(const std::string &text, Language language, std::vector<RewriteNote> *notes = nullptr)
{
    static ScratchDir dir;
    static std::unique_ptr<Lexer> lx = std::make_unique<Lexer>();
    const std::string path = dir.file("noted");
    writeFile(path, text);
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) {
        ADD_FAILURE() << "cannot open " << path;
        return {};
    }
    SourceStream source;
    source.stream = f;
    lexerStart(*lx, language, sorted(), source);
    std::vector<std::string> out;
    TokenPiece piece;
    do {
        lexerNext(*lx, piece);
        if (piece.note.kinds == 0)
            continue;
        EXPECT_TRUE(piece.first) << "a note goes on a token's first piece";
        EXPECT_EQ(piece.note.kinds, kImportsNote);
        out.push_back(std::string(piece.bytes, piece.length) + " " + std::to_string(piece.place.line) + ":" +
                      std::to_string(piece.place.column) + " noted at " + std::to_string(piece.note.place.line) +
                      ":" + std::to_string(piece.note.place.column));
        if (notes)
            notes->push_back(piece.note);
    } while (piece.kind != TokenKind::End);
    std::fclose(f);
    return out;
}

// A run handed out in another order than read carries a note on its first
// token, placed where the run starts; one handed out as read carries none.
TEST(Imports, ReorderedRunsAreNoted)
{
    std::string up, down;
    for (int n = 0; n < 300; ++n) {
        up += "import p.C" + std::to_string(1000 + n) + ";\n";
        down = "import p.C" + std::to_string(1000 + n) + ";\n" + down;
    }
    const struct {
        const char *name;
        Language language;
        std::string text;
        std::vector<std::string> noted;
    } cases[] = {
        {"includes as sorted", Language::CFamily, "#include <a.h>\n#include <b.h>\nint x;\n", {}},
        {"includes reordered", Language::CFamily, "#include <windows.h>\n#include <winsock2.h>\n"
         "#include <a.h>\nint x;\n", {"# 3:1 noted at 1:1"}},
        {"the second of two runs", Language::CFamily,
         "#include <a.h>\n#include <b.h>\nint x;\n  #include <d.h>\n#include <c.h>\n",
         {"# 5:1 noted at 4:3"}},
        {"one include", Language::CFamily, "#include <b.h>\n", {}},
        {"C# usings", Language::CFamily, "using System;\nusing Alpha;\nclass A {}\n", {"using 2:1 noted at 1:1"}},
        {"usings that name each other keep their order", Language::CFamily, "using b::c;\nusing a::c;\n", {}},
        {"Go imports", Language::Go, "package p\nimport (\n\t\"os\"\n\t\"fmt\"\n)\n", {"\"fmt\" 4:2 noted at 3:2"}},
        {"Go imports as sorted", Language::Go, "package p\nimport (\n\t\"fmt\"\n\t\"os\"\n)\n", {}},
        {"Rust uses", Language::Rust, "fn f() {}\nuse b;\nuse a;\n", {"use 3:1 noted at 2:1"}},
        {"Rust names in braces", Language::Rust, "use a::{c, b};\n", {"use 1:1 noted at 1:1"}},
        {"Rust nested names", Language::Rust, "use a::b;\nuse a::{c, e::{g, f}};\n", {"use 1:1 noted at 1:1"}},
        {"Rust names as sorted", Language::Rust, "use a::b;\nuse a::{c, e::{f, g}};\n", {}},
        {"Java imports", Language::Java, "import static a.A.x;\nimport b.B;\nclass C {}\n",
         {"import 2:1 noted at 1:1"}},
        {"each group of a long run", Language::Java, down, {"import 256:1 noted at 1:1", "import 300:1 noted at 257:1"}},
        {"a long run as sorted", Language::Java, up, {}},
        {"Python: no import rules", Language::Python, "import b\nimport a\n", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(notedTokens(c.text, c.language), c.noted);
    }
}

// The note's fingerprint tells the order a run was read in: the same reorder
// in two sources is no rewrite, another order is one.
TEST(Imports, ReorderNotesTellOrdersApart)
{
    const std::string cab = "#include <c.h>\n#include <a.h>\n#include <b.h>\n";
    const struct {
        const char *name;
        std::string a, b;
        bool same;  // the notes are equal
    } cases[] = {
        {"the same order", cab, cab, true},
        {"the same order, other layout", cab, "#  include <c.h>\n\n#include<a.h>\n#include <b.h>", true},
        {"another order", cab, "#include <b.h>\n#include <c.h>\n#include <a.h>\n", false},
        {"the names of a pair swapped", "#include <c.h>\n#include <b.h>\n#include <a.h>\n", cab, false},
        {"one reordered, one as sorted", cab, "#include <a.h>\n#include <b.h>\n#include <c.h>\n", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<RewriteNote> a, b;
        notedTokens(c.a, Language::CFamily, &a);
        notedTokens(c.b, Language::CFamily, &b);
        ASSERT_EQ(a.size(), 1u);
        const bool same = b.size() == 1 && a[0].kinds == b[0].kinds && a[0].prints[kImportsKind] == b[0].prints[kImportsKind];
        EXPECT_EQ(same, c.same);
    }
}

namespace {

// The same rules over each language's own lexer.
TEST(Imports, WithEachLanguagesLexer)
{
    std::vector<PairCase> cases = {
        {"Go imports, the last one with no written ';'", "package p\nimport (\n\t\"b\"\n\t\"a\"\n)\n",
         "package p\n\nimport (\n\t\"a\"\n\t\"b\"\n)\n", true, 0, 0, 0, 0, Language::Go},
        {"Go imports on one line", "package p\nimport (\"b\"; \"a\")\n", "package p\nimport (\n\t\"a\"\n\t\"b\"\n)\n", true,
         0, 0, 0, 0, Language::Go},
        {"a Go import moved out of its block", "package p\nimport (\n\t\"b\"\n\t\"a\"\n)\n",
         "package p\nimport \"b\"\nimport (\n\t\"a\"\n)\n", false, 2, 8, 2, 8, Language::Go},
        {"Rust uses and the names in braces", "use b::c;\nuse a::{z, y};\nfn f() {}\n",
         "use a::{y, z};\nuse b::c;\nfn f() {}\n", true, 0, 0, 0, 0, Language::Rust},
        {"a Rust use moved past an item", "use b::c;\nfn f() {}\nuse a::d;\n", "use a::d;\nfn f() {}\nuse b::c;\n",
         false, 1, 5, 1, 5, Language::Rust},
        {"Java imports", "import b.B;\nimport static a.A.x;\nclass C {}\n",
         "import static a.A.x;\nimport b.B;\nclass C {}\n", true, 0, 0, 0, 0, Language::Java},
        {"Python imports keep their order", "import b\nimport a\n", "import a\nimport b\n", false, 1, 8, 1, 8,
         Language::Python},
    };
    for (PairCase &c : cases)
        c.options = sorted();
    checkPairs(cases);
}

} // namespace
