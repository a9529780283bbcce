// Fuzz target: tokens taken in runs by lexerRun, between lexerNext's pieces,
// against the same lexer taking every token on its own.
//
// Input: one byte that chooses the language (modulo the languages below), one
// byte that chooses how many tokens and key bytes a run may take (few, or
// enough for blocks) and whether comment words are tokens, then the source.
// Both streams must hold the same pieces' tokens: kinds, keys and places, the
// End's place too.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tokens/lexer.h"

namespace {

struct FuzzToken {
    TokenKind kind;
    std::string key;
    TokenPlace place;
};

bool operator==(const FuzzToken &a, const FuzzToken &b)
{
    return a.kind == b.kind && a.key == b.key && a.place.line == b.place.line && a.place.column == b.place.column;
}

std::vector<FuzzToken> lex(std::FILE *f, Language language, const LexOptions &options, std::size_t runMax,
                           std::size_t runBytes)
{
    static std::unique_ptr<Lexer> lx = std::make_unique<Lexer>();
    std::rewind(f);
    SourceStream source;
    source.stream = f;
    lexerStart(*lx, language, options, source);
    std::vector<FuzzToken> out;
    std::vector<QuickToken> run(runMax + 1);
    TokenPiece piece;
    bool open = false;
    do {
        if (runMax > 0 && !open) {
            std::size_t n;
            while ((n = lexerRun(*lx, run.data(), runMax, runBytes)) != 0) {
                if (n > runMax)
                    std::abort();
                std::size_t bytes = 0;
                for (std::size_t k = 0; k < n; ++k) {
                    out.push_back({run[k].kind, std::string(run[k].bytes, run[k].length), run[k].place});
                    bytes += run[k].length;
                    if (std::memchr(run[k].bytes, 0, run[k].length))
                        std::abort();  // run keys hold no zero byte
                }
                if (bytes > runBytes)
                    std::abort();
            }
        }
        lexerNext(*lx, piece);
        if (piece.first)
            out.push_back({piece.kind, "", piece.place});
        out.back().key.append(piece.bytes, piece.length);
        open = !piece.last;
    } while (!(piece.kind == TokenKind::End && piece.last));
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    if (size < 2)
        return 0;
    static const Language kLanguages[] = {Language::CFamily, Language::Basic,      Language::Python,
                                          Language::Go,      Language::Rust,       Language::Java,
                                          Language::Json,    Language::JavaScript, Language::TypeScript,
                                          Language::Tsx,     Language::Graphql,    Language::CMake,
                                          Language::Yaml,    Language::Markdown,   Language::Toml,
                                          Language::Css,     Language::Scss,       Language::Less,
                                          Language::Shell};
    const Language language = kLanguages[data[0] % (sizeof kLanguages / sizeof kLanguages[0])];
    // Runs of 64 tokens and more are taken a block of bytes at a time.
    const bool blocks = (data[1] & 0x20) != 0;
    const std::size_t runMax = blocks ? 64 + (data[1] % 16) * 60 : 1 + data[1] % 32;
    const std::size_t runBytes = data[1] & 0x80 ? (blocks ? 64 : 1) + data[1] % 7 * (blocks ? 50 : 1) : 65536;
    std::FILE *f = std::tmpfile();
    if (!f || std::fwrite(data + 2, 1, size - 2, f) != size - 2)
        std::abort();
    LexOptions options;
    options.comments = (data[1] & 0x40) != 0;
    const bool same = lex(f, language, options, 0, 0) == lex(f, language, options, runMax, runBytes);
    std::fclose(f);
    if (!same) {
        std::fprintf(stderr, "tokens taken in runs differ from those taken one by one\n");
        std::abort();
    }
    return 0;
}
