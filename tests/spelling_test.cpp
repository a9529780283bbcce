// Tokens as their sources spell them: the end each stage hands out with a
// token's last piece (the lexers' through spelledNext, the sorted-import
// layer's and the rewriter's), as the reports read a token's spelling again.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "lex_support.h"
#include "support.h"
#include "tokens/show.h"

namespace {

void nextSpelled(void *self, TokenPiece &piece)
{
    spelledNext(*static_cast<Lexer *>(self), piece);
}

// The bytes of text from place `from` to place `to`, or "<none>" when `to`
// is not after `from`.
std::string between(const std::string &text, TokenPlace from, TokenPlace to)
{
    if (to.line < from.line || (to.line == from.line && to.column <= from.column))
        return "<none>";
    std::size_t at = 0, start = std::string::npos;
    TokenPlace p;
    for (; at <= text.size(); ++at) {
        if (p.line == from.line && p.column == from.column)
            start = at;
        if (p.line == to.line && p.column == to.column)
            break;
        if (at < text.size() && text[at] == '\n') {
            ++p.line;
            p.column = 1;
        } else {
            ++p.column;
        }
    }
    return start == std::string::npos ? "<lost>" : text.substr(start, at - start);
}

// The source bytes of each token of text's stream, lexed as language (and
// rewritten, accepting allow), from its place to the end its last piece gives.
std::vector<std::string> spellings(const std::string &text, Language language, const LexOptions &options,
                                   RewriteSet allow)
{
    static ScratchDir dir;
    static std::unique_ptr<Lexer> lexer = std::make_unique<Lexer>();
    static std::unique_ptr<Rewriter> rewriter = std::make_unique<Rewriter>();
    const std::string path = dir.file("spelled");
    writeFile(path, text);
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) {
        ADD_FAILURE() << "cannot open " << path;
        return {};
    }
    SourceStream source;
    source.stream = f;
    lexerStart(*lexer, language, options, source);
    rewriterStart(*rewriter, language, allow, RewriteSource{lexer.get(), nextSpelled});
    std::vector<std::string> out;
    TokenPiece piece;
    do {
        if (allow)
            rewriterNext(*rewriter, piece);
        else
            spelledNext(*lexer, piece);
        if (piece.last)
            out.push_back(between(text, piece.place, piece.end));
    } while (piece.kind != TokenKind::End);
    std::fclose(f);
    return out;
}

TEST(Spelling, EachTokenFromItsStartToItsEnd)
{
    LexOptions sorted;
    sorted.sortedIncludes = true;
    LexOptions comments;
    comments.comments = true;
    const RewriteSet all = static_cast<RewriteSet>((1u << kAllowKinds) - 1);
    const struct {
        const char *name;
        Language language;
        std::string text;
        std::vector<std::string> spelled;
        LexOptions options;
        RewriteSet allow;
    } cases[] = {
        {"C: joined strings, a directive's line end", Language::CFamily, "#define N 1\ns = \"a\"\n  \"b\";",
         {"#", "define", "N", "1", "\n", "s", "=", "\"a\"\n  \"b\"", ";", "<none>"}, {}, 0},
        {"C: a splice inside a name, '>>' as two", Language::CFamily, "ab\\\ncd >> e",
         {"ab\\\ncd", ">", ">", "e", "<none>"}, {}, 0},
        {"C: comment words", Language::CFamily, "x; // one two\n", {"x", ";", "one", "two", "<none>"}, comments, 0},
        {"C: sorted includes keep their ends", Language::CFamily, "#include <b\\\n.h>\n#include <a.h>\nx;",
         {"#", "include", "<a.h>", "\n", "#", "include", "<b\\\n.h>", "\n", "x", ";", "<none>"}, sorted, 0},
        {"Python: indents and dedents have no spelling", Language::Python,
         "if x:  # c\n    y = 'a' \\\n 'b'\n",
         {"if", "x", ":", "\n", "<none>", "y", "=", "'a' \\\n 'b'", "\n", "<none>", "<none>"}, {}, 0},
        {"Python: a docstring of two parts, rewritten", Language::Python, "def f():\n    'a' \"b\"\n    x\n",
         {"def", "f", "(", ")", ":", "\n", "<none>", "'a' \"b\"", "\n", "x", "\n", "<none>", "<none>"}, {}, all},
        {"Python: a number, rewritten", Language::Python, "x = 0XFF\n", {"x", "=", "0XFF", "\n", "<none>"}, {}, all},
        {"JavaScript: an inserted ';'", Language::JavaScript, "a = `x${b}y`\nc\n",
         {"a", "=", "`x${", "b", "}y`", "<none>", "c", "<none>", "<none>"}, {}, 0},
        {"Go: an inserted ';', a raw string over CR LF", Language::Go, "x := `a\r\nb`\n",
         {"x", ":=", "`a\r\nb`", "<none>", "<none>"}, {}, 0},
        {"Rust: a number, rewritten", Language::Rust, "fn f() -> u8 { 1_0 }",
         {"fn", "f", "(", ")", "->", "u8", "{", "1_0", "}", "<none>"}, {}, all},
        {"Basic: names in any case", Language::Basic, "Dim x\r\n", {"Dim", "x", "\n", "<none>"}, {}, 0},
        {"C: empty braces, rewritten", Language::CFamily, "void f() { if (x) { } }",
         {"void", "f", "(", ")", "{", "if", "(", "x", ")", "{ }", "}", "<none>"}, {}, all},
        {"C: a run of usings, rewritten", Language::CFamily, "using a::c;\nusing a::b;\nint x;",
         {"using a::c;\nusing a::b;", "int", "x", ";", "<none>"}, {}, all},
        {"C: parentheses taken out keep their neighbours' spellings", Language::CFamily,
         "int f() { return (x); }", {"int", "f", "(", ")", "{", "return", "x", ";", "}", "<none>"}, {}, all},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(spellings(c.text, c.language, c.options, c.allow), c.spelled);
    }
}

} // namespace
