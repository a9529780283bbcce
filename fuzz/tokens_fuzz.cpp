// Fuzz target: the lexers' token streams do not depend on layout.
//
// Input: one byte of mode bits (1: Basic, 2: comment words, 4: sorted
// includes, 8: blanks before the source so that it stands across the end of
// the lexer's first window, 16: the source repeated past two windows, so that
// long tokens and runs of splices cross them), one byte that seeds the layout
// choices, then the source. Properties checked, beyond the sanitizers:
// - the pieces of every token come as the interface says (a first piece, then
//   non-empty ones with the same kind and place);
// - the tokens written out again with other layout (any blanks and line ends
//   between tokens where the language allows them: only blanks or
//   backslash-newline inside a directive, nothing between a macro name and
//   its MacroParen, a line end right after a literal that may be unterminated)
//   lex to the same stream;
// - in that text, two adjacent name tokens with the blank between them taken
//   out lex to a different stream.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tokens/lexer.h"

namespace {

constexpr std::size_t kPadding = kLexWindowSize - 24;  // blanks that put the source across the first window's end
constexpr std::size_t kRepeatedSize = 2 * kLexWindowSize + 5000;  // bytes a repeated source grows to

struct Tok {
    TokenKind kind;
    std::string key;
    TokenPlace place;
    bool opens;  // the '#' or "%:" that opens a directive (known without sorted includes)
};

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

Lexer &lexer()
{
    static std::unique_ptr<Lexer> lx = std::make_unique<Lexer>();
    return *lx;
}

// Every token of text, End included.
std::vector<Tok> lex(const std::string &text, SourceClass sourceClass, const LexOptions &options)
{
    std::FILE *f = std::tmpfile();
    check(f && std::fwrite(text.data(), 1, text.size(), f) == text.size(), "scratch file written");
    std::rewind(f);
    SourceStream source;
    source.stream = f;
    Lexer &lx = lexer();
    lexerStart(lx, sourceClass, options, source);
    std::vector<Tok> out;
    TokenPiece piece;
    bool open = false;
    do {
        lexerNext(lx, piece);
        check(piece.first == !open, "a token starts right after the one before ends");
        if (piece.first) {
            out.push_back({piece.kind, "", piece.place, lx.opensDirective && piece.kind == TokenKind::Code});
        } else {
            check(piece.length > 0, "only a first piece is empty");
            check(piece.kind == out.back().kind && piece.place.line == out.back().place.line &&
                      piece.place.column == out.back().place.column,
                  "every piece of a token has its kind and place");
        }
        out.back().key.append(piece.bytes, piece.length);
        open = !piece.last;
    } while (!(piece.kind == TokenKind::End && piece.last));
    std::fclose(f);
    return out;
}

bool sameStream(const std::vector<Tok> &a, const std::vector<Tok> &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].kind != b[i].kind || a[i].key != b[i].key)
            return false;
    return true;
}

// Layout choices from a seed byte.
struct Chooser {
    std::uint32_t state;
    unsigned next(unsigned n)
    {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % n;
    }
};

bool isLiteral(const std::string &key, SourceClass sourceClass)
{
    if (sourceClass == SourceClass::Basic)
        return !key.empty() && key[0] == '"';
    std::size_t q = key.find_first_of("\"'");
    return q != std::string::npos && q <= 4 && key.find_first_not_of("LuU8R@$", 0) == q;
}

bool isName(const std::string &key, SourceClass sourceClass)
{
    if (key.empty() || (byteClass(key[0]) & kDigit) || isLiteral(key, sourceClass))
        return false;
    for (char c : key)
        if (!(byteClass(c) & (sourceClass == SourceClass::Basic ? kNameB : kNameC)))
            return false;
    return true;
}

// Blanks and line ends between two tokens: at least one blank first, then
// line ends where allowed (splices in a directive, continuations in Basic).
std::string layout(Chooser &choose, bool directive, SourceClass sourceClass)
{
    static const char *const kFree[] = {" ", "\t", "\n", "\r\n", "  \f", "\\\n"};
    static const char *const kBound[] = {" ", "\t", " \\\n", "\v", "  "};
    static const char *const kBasic[] = {" ", "\t", " _\n", " _ \r\n", "  "};
    std::string s = choose.next(2) ? " " : "\t";
    for (unsigned k = choose.next(4); k > 0; --k) {
        if (sourceClass == SourceClass::Basic)
            s += kBasic[choose.next(5)];
        else
            s += directive ? kBound[choose.next(5)] : kFree[choose.next(6)];
    }
    return s;
}

// True when the first token from i on that is not a comment word is a '#' or
// "%:" that opens no directive: no line may start before it.
bool hashStaysOnLine(const std::vector<Tok> &tokens, std::size_t i)
{
    while (i < tokens.size() && tokens[i].kind == TokenKind::CommentWord)
        ++i;
    return i < tokens.size() && tokens[i].kind == TokenKind::Code && !tokens[i].opens &&
           (tokens[i].key == "#" || tokens[i].key == "%:");
}

// The tokens written out with layout from choose; starts[i] is where token i
// starts. False when the stream holds what cannot be written out this way.
bool relayout(const std::vector<Tok> &tokens, SourceClass sourceClass, Chooser &choose, std::string &out,
              std::vector<std::size_t> &starts)
{
    bool directive = false;
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        const Tok &t = tokens[i];
        const Tok *prev = i > 0 ? &tokens[i - 1] : nullptr;
        bool afterLiteral = prev && isLiteral(prev->key, sourceClass);
        bool onLine = hashStaysOnLine(tokens, i);
        if (afterLiteral && (prev->key.back() == '\r' || prev->key.back() == '\\'))
            return false;
        // A backslash token followed by blanks and a line end would read back
        // as a splice: after one, a single blank, and no directive's end.
        bool afterBackslash = sourceClass == SourceClass::CFamily && prev && prev->kind == TokenKind::Code &&
                              !prev->key.empty() && prev->key.back() == '\\';
        if (afterBackslash && t.kind == TokenKind::LineEnd)
            return false;
        // An include's '<' that no header name began (a line feed came before
        // a '>', say inside a comment) would begin one on the copy's single
        // line if a '>' follows in the directive.
        if (t.key == "<" && i >= 2 && tokens[i - 2].opens &&
            (prev->key == "include" || prev->key == "include_next" || prev->key == "import"))
            for (std::size_t j = i + 1; j < tokens.size() && tokens[j].kind != TokenKind::LineEnd; ++j)
                if (tokens[j].key.find('>') != std::string::npos)
                    return false;
        // A lone CR before a line feed inside a literal reads back as a CR LF,
        // and a backslash before one as a splice.
        if (t.key.find("\r\n") != std::string::npos || t.key.find("\\\n") != std::string::npos)
            return false;
        if (t.kind == TokenKind::MacroParen || (afterLiteral && t.kind == TokenKind::LineEnd)) {
            // nothing between
        } else if (afterLiteral && !directive && sourceClass == SourceClass::CFamily && !onLine) {
            out += "\n" + layout(choose, false, sourceClass);
        } else if (afterBackslash) {
            out += " ";
        } else if (prev) {
            out += layout(choose, directive || onLine, sourceClass);
        }
        bool spliced = out.size() >= 2 && out[out.size() - 2] == '\\';
        if (t.opens && !out.empty() && (out.back() != '\n' || spliced))
            out += "\n";
        starts.push_back(out.size());
        if (t.kind == TokenKind::CommentWord) {
            if (t.key.find("*/") == std::string::npos)
                out += "/* " + t.key + " */";
            else if (!directive && !hashStaysOnLine(tokens, i + 1) && t.key.back() != '\\')
                out += "// " + t.key + "\n";
            else
                return false;
        } else if (t.kind == TokenKind::LineEnd && i + 2 == tokens.size() &&
                   tokens[i + 1].place.line == t.place.line && tokens[i + 1].place.column == t.place.column) {
            // the directive ends at the input's end, not at a line feed
        } else {
            out += t.key;
        }
        directive = (directive || t.opens) && t.kind != TokenKind::LineEnd;
        if (sourceClass == SourceClass::Basic && t.key == "_")
            return false;
    }
    return true;
}

// With sorted includes the lexer's own note of which '#' opens a directive
// comes too early: take it from the stream before sorting, by place.
void markOpeners(std::vector<Tok> &tokens, const std::string &source, SourceClass sourceClass, LexOptions options)
{
    options.sortedIncludes = false;
    std::set<std::pair<std::int64_t, std::int64_t>> openers;
    for (const Tok &t : lex(source, sourceClass, options))
        if (t.opens)
            openers.insert({t.place.line, t.place.column});
    for (Tok &t : tokens)
        t.opens = (t.key == "#" || t.key == "%:") && openers.count({t.place.line, t.place.column});
}

// True when a directive ends at the input's end before another token: it
// cannot be written out before another directive.
bool directiveEndsInput(const std::vector<Tok> &tokens)
{
    const Tok &end = tokens.back();
    for (std::size_t i = 0; i + 2 < tokens.size(); ++i)
        if (tokens[i].kind == TokenKind::LineEnd && tokens[i].place.line == end.place.line &&
            tokens[i].place.column == end.place.column)
            return true;
    return false;
}

// True when the include directives of the stream, all runs together, could
// fill one of the sorted-include stores: then groups may end at other
// directives in a sorted copy.
bool includesFillStores(const std::vector<Tok> &tokens)
{
    std::size_t directives = 0, held = 0, bytes = 0;
    bool include = false;
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        const std::string &next = tokens[i + 1].key;
        if (tokens[i].opens && (next == "include" || next == "include_next" || next == "import")) {
            include = true;
            ++directives;
        }
        held += include ? 1 : 0;
        bytes += include ? tokens[i].key.size() : 0;
        include = include && tokens[i].kind != TokenKind::LineEnd;
    }
    return directives > kIncludeDirectives || held > kIncludeTokens || bytes > kIncludeKeyBytes;
}

// Checks that joining the first two adjacent names of text (their blanks
// taken out) changes the stream.
void checkJoinedNames(const std::vector<Tok> &tokens, const std::string &text, const std::vector<std::size_t> &starts,
                      SourceClass sourceClass, const LexOptions &options)
{
    for (std::size_t i = 0; i + 2 < tokens.size(); ++i) {
        if (tokens[i].kind != TokenKind::Code || tokens[i + 1].kind != TokenKind::Code ||
            !isName(tokens[i].key, sourceClass) || !isName(tokens[i + 1].key, sourceClass))
            continue;
        std::string joined = text.substr(0, starts[i] + tokens[i].key.size()) + text.substr(starts[i + 1]);
        check(!sameStream(tokens, lex(joined, sourceClass, options)), "two names joined: a different stream");
        return;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    SourceClass sourceClass = (data[0] & 1) ? SourceClass::Basic : SourceClass::CFamily;
    LexOptions options;
    options.comments = (data[0] & 2) && sourceClass == SourceClass::CFamily;
    options.sortedIncludes = (data[0] & 4) && sourceClass == SourceClass::CFamily;
    Chooser choose{data[1]};
    std::string source(reinterpret_cast<const char *>(data + 2), size - 2);
    if ((data[0] & 16) && !source.empty()) {
        std::string unit = source;
        while (source.size() < kRepeatedSize)
            source += unit;
    }
    if (data[0] & 8)
        source = std::string(kPadding + data[1], ' ') + source;

    std::vector<Tok> tokens = lex(source, sourceClass, options);
    if (options.sortedIncludes) {
        markOpeners(tokens, source, sourceClass, options);
        if (directiveEndsInput(tokens) || includesFillStores(tokens))
            return 0;
    }
    std::string text;
    std::vector<std::size_t> starts;
    if (data[0] & 8)
        text = std::string(kPadding + data[1] / 2, '\n');
    if (!relayout(tokens, sourceClass, choose, text, starts))
        return 0;
    check(sameStream(tokens, lex(text, sourceClass, options)), "written out with other layout: same stream");
    checkJoinedNames(tokens, text, starts, sourceClass, options);
    return 0;
}
