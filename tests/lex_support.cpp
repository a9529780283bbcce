#include "lex_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "support.h"

namespace {

ScratchDir &scratch()
{
    static ScratchDir dir;
    return dir;
}

} // namespace

std::vector<Tok> lexFile(const std::string &path, Language language, const LexOptions &options)
{
    static std::unique_ptr<Lexer> lexer = std::make_unique<Lexer>();
    std::vector<Tok> out;
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) {
        ADD_FAILURE() << "cannot open " << path;
        return out;
    }
    SourceStream source;
    source.stream = f;
    lexerStart(*lexer, language, options, source);
    TokenPiece piece;
    bool open = false;
    do {
        lexerNext(*lexer, piece);
        EXPECT_EQ(piece.first, !open) << "a token starts exactly after the last piece of the one before";
        if (piece.first)
            out.push_back({piece.kind, "", piece.place.line, piece.place.column});
        else
            EXPECT_TRUE(piece.length > 0 && piece.kind == out.back().kind && piece.place.line == out.back().line &&
                        piece.place.column == out.back().column);
        out.back().key.append(piece.bytes, piece.length);
        open = !piece.last;
    } while (!(piece.kind == TokenKind::End && piece.last));
    std::fclose(f);
    return out;
}

std::vector<Tok> lexText(const std::string &text, Language language, const LexOptions &options)
{
    const std::string path = scratch().file("source");
    writeFile(path, text);
    return lexFile(path, language, options);
}

long firstDifference(const std::vector<Tok> &a, const std::vector<Tok> &b)
{
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i].kind != b[i].kind || a[i].key != b[i].key)
            return static_cast<long>(i);
    return a.size() == b.size() ? -1 : static_cast<long>(std::min(a.size(), b.size()));
}

void checkPairs(const std::vector<PairCase> &cases)
{
    for (const PairCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Tok> a = lexText(c.a, c.language, c.options), b = lexText(c.b, c.language, c.options);
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

void checkPairs(Language language, std::vector<PairCase> cases)
{
    for (PairCase &c : cases)
        c.language = language;
    checkPairs(cases);
}

bool haveTool(const char *tool)
{
    if (missing(Facility::PosixShell))
        return false;
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

std::string npmTool(const char *tool)
{
    const std::string local = std::string(MATCHLING_NPM_TOOLS) + "/" + tool;
    if (missing(Facility::PosixShell))
        return "";
    if (std::system(("test -x '" + local + "'").c_str()) == 0)
        return local;
    return haveTool(tool) ? tool : "";
}
