// Fuzz target: the rewrites --allow accepts.
//
// Input: one byte that chooses the language (below 200, its value modulo 5:
// the C family, Python, JavaScript, Java, Rust; from 200 on, Go; from 224 on,
// SCSS; from 240 on, CSS; from 248 on, shell) and how the window is filled
// (its value divided by 5, or less the range's start from 200 on, below),
// one byte that seeds the
// choices below, then the
// source. The source is lexed once; its token stream then goes through the
// rewriter (accepting every rewrite) in four forms:
// - as it is, and again: the same canonical stream both times;
// - with each token cut into pieces of sizes the seed chooses: the same
//   canonical stream (the window assembles whole tokens);
// - after neutral statements of its language, enough that the rewriter's
//   first window ends at a token of the source the seed chooses (out of key
//   room, or full of tokens), its tokens cut as well: the same canonical
//   stream for the source's tokens, since what a rewrite decides depends
//   neither on where a window ends nor on where the source starts (but a
//   Python docstring and Go's build constraints, which stand at the start:
//   these against the source after one neutral statement);
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

// A token stream handed out from memory, each token from index `from` on
// cut into pieces of at most `cut` bytes (0: whole).
struct Feed {
    const std::vector<FuzzToken> *tokens = nullptr;
    std::size_t token = 0;
    std::size_t at = 0;
    std::size_t cut = 0;
    std::size_t from = 0;
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
    if (f.cut > 0 && n > f.cut && f.token >= f.from)
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

std::vector<FuzzToken> rewrite(const std::vector<FuzzToken> &tokens, Language language, std::size_t cut,
                               std::size_t from = 0)
{
    static std::unique_ptr<Rewriter> rw = std::make_unique<Rewriter>();
    Feed feed{&tokens, 0, 0, cut, from};
    rewriterStart(*rw, language, static_cast<RewriteSet>((1u << kRewriteKinds) - 1), RewriteSource{&feed, nextFed});
    std::vector<FuzzToken> out;
    out.reserve(tokens.size());
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

// Two complete statements of each language, in the order of kLanguages in
// LLVMFuzzerTestOneInput, that no rewrite changes or reads differently
// wherever they stand: their token counts are coprime, so that runs of them
// give any count of tokens from their product on, and the first names `a`,
// which may be spelt longer.
const char *const kNeutral[][2] = {
    {"int a;\n", "int a, b;\n"},
    {"a\n", "not a\n"},
    {"a;\n", "a++;\n"},
    {"int a;\n", "int a, b;\n"},
    {"use a;\n", "use a::b;\n"},
    {"var a int\n", "var a = b + c\n"},
    {"a{}\n", "a b{}\n"},
    {"a{}\n", "a b{}\n"},
    {"a &\n", "a b &\n"},  // ending in an operator: a word there would join the source's first one
};

constexpr std::size_t kLongName = 4000;  // the longest name spelt, short of a token too long to hold

// Builds the source's tokens after neutral statements of its language, one a
// line, the source moved down by as many lines.
struct Prefixer {
    const std::vector<FuzzToken> *units;  // the two statements' tokens, without their End
    std::vector<FuzzToken> out;
    std::int64_t lines = 0;

    // Adds statement u, its first `a` spelt with length bytes.
    void statement(int u, std::size_t length)
    {
        ++lines;
        for (FuzzToken t : units[u]) {
            if (t.key == "a")
                t.key.assign(length, 'a');
            t.place.line = lines;
            out.push_back(t);
        }
    }
    // Statements of count tokens in all (or the nearest count below that
    // runs of them give).
    void tokens(std::size_t count)
    {
        const std::size_t na = units[0].size(), nb = units[1].size();
        std::size_t b = 0;
        while (b < na && (count < b * nb || (count - b * nb) % na != 0))
            ++b;
        if (b == na)
            b = 0, count -= count % na;
        for (std::size_t k = 0; k < b; ++k)
            statement(1, 1);
        for (std::size_t k = 0; k < (count - b * nb) / na; ++k)
            statement(0, 1);
    }
    // Statements of about bytes key bytes in all, exactly when there are more than kLongName.
    void bytes(std::size_t count)
    {
        std::size_t unit = 0;  // key bytes of statement 0 but its name
        for (const FuzzToken &t : units[0])
            unit += t.key == "a" ? 0 : t.key.size();
        const std::size_t n = (count + unit + kLongName - 1) / (unit + kLongName);
        if (n == 0 || count < n * (unit + 1))
            return;
        const std::size_t names = count - n * unit;
        for (std::size_t k = 0; k < n; ++k)
            statement(0, names / n + (k < names % n ? 1 : 0));
    }
    void source(const std::vector<FuzzToken> &tokens)
    {
        out.reserve(out.size() + tokens.size());
        for (FuzzToken t : tokens) {
            t.place.line += lines;
            out.push_back(t);
        }
    }
};

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
                                          Language::Rust, Language::Go, Language::Scss, Language::Css,
                                          Language::Shell};
    const int which = data[0] < 200 ? data[0] % 5 : data[0] < 224 ? 5 : data[0] < 240 ? 6 : data[0] < 248 ? 7 : 8;
    const int start = which < 5 ? 0 : which == 5 ? 200 : which == 6 ? 224 : which == 7 ? 240 : 248;
    const int mode = which < 5 ? data[0] / 5 % 8 : (data[0] - start) % 8;
    const Language language = kLanguages[which];
    const unsigned seed = data[1];
    const std::string text(reinterpret_cast<const char *>(data) + 2, size - 2);
    const std::vector<FuzzToken> tokens = lex(text, language);

    const std::vector<FuzzToken> once = rewrite(tokens, language, 0);
    check(same(once, rewrite(tokens, language, 0)), "rewriting is the same every time");
    check(same(once, rewrite(tokens, language, 1 + seed % 7)), "pieces are assembled into the same tokens");

    // The window first ends before the source's token `ends`, some way into
    // it: out of key room after neutral statements whose keys fill it but for
    // those of the source's tokens before, or (when mode is 7, as
    // it costs some 30 times more) full of tokens after as many neutral ones.
    static std::vector<FuzzToken> units[9][2];
    if (units[which][0].empty())
        for (int u = 0; u < 2; ++u) {
            units[which][u] = lex(kNeutral[which][u], language);
            units[which][u].pop_back();
        }
    const std::size_t ends = tokens.size() * seed / 256;
    Prefixer before{units[which], {}, 0};
    if (mode != 7) {
        std::size_t held = 0;
        for (std::size_t i = 0; i < ends; ++i)
            held += tokens[i].key.size();
        // The window takes no more tokens once its keys exceed this.
        const std::size_t room = kRewriteKeyBytes / 2 - kRewriteLongToken;
        before.bytes(held <= room ? room + 1 - held : 0);
    } else {
        before.tokens(ends < kRewriteTokens ? kRewriteTokens - ends : 0);
    }
    const std::size_t from = before.out.size();
    before.source(tokens);
    std::vector<FuzzToken> tail;
    for (const FuzzToken &t : rewrite(before.out, language, seed % 3 == 0 ? 0 : 1 + seed % 5, from))
        if (t.place.line > before.lines)
            tail.push_back(t);
    // A Python module's first string is its docstring (after a #! line or an
    // encoding declaration, which the rules do not see): after one statement
    // it is not. Go's build constraints are rewritten at the stream's start
    // only.
    std::vector<FuzzToken> reference;
    std::size_t lead = 0;
    while (language == Language::Python && lead + 1 < tokens.size() && tokens[lead].kind == TokenKind::Code &&
           tokens[lead].key.compare(0, 1, "#") == 0)
        ++lead;
    const std::string &first = tokens[lead].key;
    // Go's directives before them the rules do not see either.
    auto isConstraint = [](const FuzzToken &t) {
        return t.kind == TokenKind::LineEnd || t.key.compare(0, 10, "//go:build") == 0 || t.key.compare(0, 8, "//+build") == 0;
    };
    std::size_t goLead = 0;
    while (language == Language::Go && goLead + 1 < tokens.size() && !isConstraint(tokens[goLead]) &&
           (tokens[goLead].key.compare(0, 2, "//") == 0 || tokens[goLead].key.compare(0, 2, "/*") == 0))
        ++goLead;
    const bool constraint = isConstraint(tokens[goLead]);
    if ((language == Language::Python && tokens[lead].kind == TokenKind::Code && first.find_first_of("'\"") < 3) ||
        (language == Language::Go && constraint)) {
        Prefixer one{units[which], {}, 0};
        one.statement(0, 1);
        one.source(tokens);
        for (const FuzzToken &t : rewrite(one.out, language, 0))
            if (t.place.line > one.lines)
                reference.push_back(t);
    }
    check(same(reference.empty() ? once : reference, tail),
          "other statements before the source and where the window ends change nothing");

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
