// Fuzz target: the rewrites --allow accepts.
//
// Input: one byte that chooses the language (its value modulo 5: the C
// family, Python, JavaScript, Java, Rust), one byte that seeds the choices
// below, then the source. The source is lexed once; its token stream then
// goes through the rewriter (accepting every rewrite) in three forms:
// - as it is, and again: the same canonical stream both times;
// - with each token cut into pieces of sizes the seed chooses: the same
//   canonical stream (the window assembles whole tokens);
// - with one name or number deleted: a different canonical stream, since no
//   rewrite takes out, adds or merges names and numbers.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "rewrites/rewrites.h"
#include "tokens/lexer.h"

namespace {

struct FuzzToken {
    TokenKind kind;
    std::string key;
    TokenPlace place;
};

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

std::vector<FuzzToken> lex(const std::string &text, Language language)
{
    static std::unique_ptr<Lexer> lx = std::make_unique<Lexer>();
    std::FILE *f = std::tmpfile();
    check(f && std::fwrite(text.data(), 1, text.size(), f) == text.size(), "scratch file written");
    std::rewind(f);
    SourceStream source;
    source.stream = f;
    lexerStart(*lx, language, LexOptions{}, source);
    std::vector<FuzzToken> out;
    TokenPiece piece;
    do {
        lexerNext(*lx, piece);
        if (piece.first)
            out.push_back({piece.kind, "", piece.place});
        out.back().key.append(piece.bytes, piece.length);
    } while (!(piece.kind == TokenKind::End && piece.last));
    std::fclose(f);
    return out;
}

// A token stream handed out from memory, each token cut into pieces of at
// most `cut` bytes (0: whole).
struct Feed {
    const std::vector<FuzzToken> *tokens = nullptr;
    std::size_t token = 0;
    std::size_t at = 0;
    std::size_t cut = 0;
};

void nextFed(void *self, TokenPiece &piece)
{
    Feed &f = *static_cast<Feed *>(self);
    const FuzzToken &t = (*f.tokens)[f.token < f.tokens->size() ? f.token : f.tokens->size() - 1];
    piece = TokenPiece{};
    piece.kind = t.kind;
    piece.place = t.place;
    piece.first = f.at == 0;
    std::size_t n = t.key.size() - f.at;
    if (f.cut > 0 && n > f.cut)
        n = f.cut;
    piece.bytes = t.key.data() + f.at;
    piece.length = n;
    f.at += n;
    piece.last = f.at == t.key.size();
    if (piece.last) {
        f.at = 0;
        if (f.token + 1 < f.tokens->size())
            ++f.token;
    }
}

std::vector<FuzzToken> rewrite(const std::vector<FuzzToken> &tokens, Language language, std::size_t cut)
{
    static std::unique_ptr<Rewriter> rw = std::make_unique<Rewriter>();
    Feed feed{&tokens, 0, 0, cut};
    rewriterStart(*rw, language, static_cast<RewriteSet>((1u << kRewriteKinds) - 1), RewriteSource{&feed, nextFed});
    std::vector<FuzzToken> out;
    TokenPiece piece;
    bool open = false;
    do {
        rewriterNext(*rw, piece);
        check(piece.first == !open, "a token starts exactly after the last piece of the one before");
        if (piece.first)
            out.push_back({piece.kind, "", piece.place});
        out.back().key.append(piece.bytes, piece.length);
        open = !piece.last;
        check(out.size() <= tokens.size(), "no token comes from nothing");
    } while (!(piece.kind == TokenKind::End && piece.last));
    return out;
}

bool same(const std::vector<FuzzToken> &a, const std::vector<FuzzToken> &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].kind != b[i].kind || a[i].key != b[i].key)
            return false;
    return true;
}

// A name or number: it starts with a word character and holds no quote, so
// that a prefixed literal (r"", b'x', L"s", u8"s") does not count; deleting an
// empty string next to another may well keep the value.
bool nameOrNumber(const FuzzToken &t)
{
    if (t.kind != TokenKind::Code || t.key.empty() || t.key.find_first_of("'\"") != std::string::npos)
        return false;
    const unsigned char c = static_cast<unsigned char>(t.key[0]);
    return c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    if (size < 2)
        return 0;
    static const Language kLanguages[] = {Language::CFamily, Language::Python, Language::JavaScript, Language::Java,
                                          Language::Rust};
    const Language language = kLanguages[data[0] % 5];
    const unsigned seed = data[1];
    const std::string text(reinterpret_cast<const char *>(data) + 2, size - 2);
    const std::vector<FuzzToken> tokens = lex(text, language);

    const std::vector<FuzzToken> once = rewrite(tokens, language, 0);
    check(same(once, rewrite(tokens, language, 0)), "rewriting is the same every time");
    check(same(once, rewrite(tokens, language, 1 + seed % 7)), "pieces are assembled into the same tokens");

    std::vector<std::size_t> names;
    for (std::size_t i = 0; i < tokens.size(); ++i)
        if (nameOrNumber(tokens[i]))
            names.push_back(i);
    if (!names.empty()) {
        std::vector<FuzzToken> fewer = tokens;
        fewer.erase(fewer.begin() + static_cast<long>(names[seed % names.size()]));
        check(!same(once, rewrite(fewer, language, 0)), "deleting a name or number is always a difference");
    }
    return 0;
}
