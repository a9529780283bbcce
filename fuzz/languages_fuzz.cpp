// Fuzz target: the lexers of the languages beyond the C family and Basic.
//
// Input: one byte that chooses the language (below 0x80, its value modulo 6:
// Python, Go, Rust, Java, JSON, JavaScript and TypeScript; from 0x80 on, a
// language added since, by its value less 0x80 in kLater, so that each seed
// keeps its language), one byte that seeds the
// layout choices, then the source. Each language's part checks its own
// properties (in <language>_relayout.cpp) beyond the sanitizers and the
// pieces' form: re-laying out a token stream where the language allows never
// changes the stream; joining two words always does.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "fuzz_lex.h"

void fuzzCheck(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

namespace {
bool lastRejected = false;  // the last source fuzzLex lexed was rejected (rejectInput) or refused
} // namespace

bool fuzzRejected()
{
    return lastRejected;
}

std::vector<FuzzTok> fuzzLex(const std::string &text, Language language, const LexOptions &options)
{
    static std::unique_ptr<Lexer> lx = std::make_unique<Lexer>();
    std::FILE *f = std::tmpfile();
    fuzzCheck(f && std::fwrite(text.data(), 1, text.size(), f) == text.size(), "scratch file written");
    std::rewind(f);
    SourceStream source;
    source.stream = f;
    lexerStart(*lx, language, options, source);
    std::vector<FuzzTok> out;
    TokenPiece piece;
    bool open = false;
    do {
        lexerNext(*lx, piece);
        fuzzCheck(piece.first == !open, "a token starts exactly after the last piece of the one before");
        if (piece.first)
            out.push_back({piece.kind, "", piece.place});
        else
            fuzzCheck(piece.length > 0 && piece.kind == out.back().kind && piece.place.line == out.back().place.line &&
                          piece.place.column == out.back().place.column,
                      "later pieces are not empty and keep the token's kind and place");
        out.back().key.append(piece.bytes, piece.length);
        open = !piece.last;
    } while (!(piece.kind == TokenKind::End && piece.last));
    lastRejected = lx->rejectedAs != nullptr || lx->refusal[0] != '\0';
    std::fclose(f);
    return out;
}

bool sameTokens(const std::vector<FuzzTok> &a, const std::vector<FuzzTok> &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].kind != b[i].kind || a[i].key != b[i].key)
            return false;
    return true;
}

std::string withCrlf(const std::string &source)
{
    std::string crlf;
    for (char c : source) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    return crlf;
}

bool startsWithLineToken(const std::vector<FuzzTok> &tokens)
{
    if (tokens.empty() || tokens[0].kind != TokenKind::Code)
        return false;
    const std::string &key = tokens[0].key;
    const std::size_t mark = key.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    return key.compare(mark, 2, "#!") == 0 || key.compare(0, 8, "#coding:") == 0;
}

bool endsInComment(const std::vector<FuzzTok> &tokens)
{
    return tokens.size() >= 2 && tokens[tokens.size() - 2].kind == TokenKind::Code &&
           tokens[tokens.size() - 2].key == "/*";
}

// The languages a first byte from 0x80 on chooses, in the order they came.
using FuzzLanguage = void (*)(const std::string &source, std::uint8_t seed);
const FuzzLanguage kLater[] = {fuzzCMake, fuzzGraphql, fuzzYaml, fuzzMarkdown, fuzzToml, fuzzCss, fuzzShell,
                               fuzzHcl,   fuzzSwift,   fuzzKotlin, fuzzPhp,      fuzzLua,  fuzzRuby, fuzzIni,
                               fuzzDockerfile, fuzzXml, fuzzRst, fuzzHtml, fuzzVue, fuzzSvelte};

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::string source(reinterpret_cast<const char *>(data) + 2, size - 2);
    if (data[0] >= 0x80) {
        kLater[(data[0] - 0x80) % (sizeof kLater / sizeof kLater[0])](source, data[1]);
        return 0;
    }
    switch (data[0] % 6) {
    case 0: fuzzPython(source, data[1]); break;
    case 1: fuzzGo(source, data[1]); break;
    case 2: fuzzRust(source, data[1]); break;
    case 3: fuzzJava(source, data[1]); break;
    case 4: fuzzJson(source, data[1]); break;
    default: fuzzScript(source, data[1]); break;
    }
    return 0;
}
