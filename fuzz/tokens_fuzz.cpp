// Fuzz target: the lexers' token streams do not depend on layout.
//
// Input: one byte of mode bits (1: Basic, 2: comment words, 4: sorted
// includes, 8: blanks before the source so that it stands across the end of
// the lexer's first window, 16: the source repeated past the first window's
// end, so that long tokens and runs of splices cross it, but to no more than
// about 4096 tokens, so that a source of short tokens crosses a window's end
// only with bit 8 as well), one byte that seeds the layout choices, then the
// source. Properties checked, beyond the sanitizers:
// - the pieces of every token come as the interface says (a first piece, then
//   non-empty ones with the same kind and place);
// - the tokens written out again with other layout (any blanks and line ends
//   between tokens where the language allows them: only blanks or
//   backslash-newline inside a directive, nothing between a macro name and
//   its MacroParen, a line end right after a literal that may be unterminated)
//   lex to the same stream;
// - in that text, two adjacent name tokens with the blank between them taken
//   out lex to a different stream.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "languages/c/state.h"
#include "tokens/lexer.h"

// On the procedures that only store, copy and compare tokens: their branches
// and comparisons say nothing about the lexer, so the fuzzer is not steered by
// them, and tracing them cost a seventh of the time per input.
#define NOT_STEERING __attribute__((no_sanitize("coverage")))

namespace {

constexpr std::size_t kPadding = kLexWindowSize - 24;  // blanks that put the source across the first window's end
constexpr std::size_t kRepeatedSize = kLexWindowSize + 5000;  // bytes a repeated source grows to at most
constexpr std::size_t kRepeatedTokens = 4096;  // tokens a repeated source grows to at most, about
constexpr std::size_t kSampleSize = 4096;  // bytes of a repeated source lexed to count its tokens first

struct Tok {
    TokenKind kind;
    std::size_t at;      // where the key starts in the stream's keys
    std::size_t length;  // bytes of the key
    TokenPlace place;
    bool opens;  // the '#' or "%:" that opens a directive (known without sorted includes)
};

// The tokens of one source, their keys end to end in one string. The
// target keeps one for the source and reuses its storage from input to input:
// a vector and a string per token would cost most of the time a long source
// takes.
struct Stream {
    std::vector<Tok> tokens;
    std::string keys;

    NOT_STEERING std::string_view key(std::size_t i) const { return {keys.data() + tokens[i].at, tokens[i].length}; }
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

// Lexes text, checking that the pieces of each token come as the interface
// says, and hands each whole token, End included, to sink(kind, key, place,
// opens) until sink returns false. Returns false when sink stopped it.
template <class Sink>
NOT_STEERING bool lexEach(const std::string &text, SourceClass sourceClass, const LexOptions &options, Sink sink)
{
    static std::string key;  // the current token's key; reused
    SourceStream source;  // no stream for an empty text: it reads nothing
    if (!text.empty()) {
        source.stream = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
        check(source.stream != nullptr, "source opened in memory");
    }
    Lexer &lx = lexer();
    lexerStart(lx, sourceClass, options, source);
    TokenPiece piece, head;
    bool open = false, opens = false, going = true;
    do {
        lexerNext(lx, piece);
        check(piece.first == !open, "a token starts right after the one before ends");
        if (piece.first) {
            head = piece;
            opens = lx.language == Language::CFamily && cState(lx).opensDirective && piece.kind == TokenKind::Code;
            key.clear();
        } else {
            check(piece.length > 0, "only a first piece is empty");
            check(piece.kind == head.kind && piece.place.line == head.place.line &&
                      piece.place.column == head.place.column,
                  "every piece of a token has its kind and place");
        }
        key.append(piece.bytes, piece.length);
        open = !piece.last;
        if (piece.last)
            going = sink(head.kind, std::string_view(key), head.place, opens);
    } while (going && !(piece.kind == TokenKind::End && piece.last));
    if (source.stream)
        std::fclose(source.stream);
    return going;
}

// Every token of text into out, End included.
NOT_STEERING void lex(const std::string &text, SourceClass sourceClass, const LexOptions &options, Stream &out)
{
    out.tokens.clear();
    out.keys.clear();
    lexEach(text, sourceClass, options, [&](TokenKind kind, std::string_view key, TokenPlace place, bool opens) {
        out.tokens.push_back({kind, out.keys.size(), key.size(), place, opens});
        out.keys.append(key);
        return true;
    });
}

// True when text lexes to the kinds and keys of expected; stops at the
// first token that differs.
NOT_STEERING bool lexesTo(const std::string &text, SourceClass sourceClass, const LexOptions &options,
                          const Stream &expected)
{
    std::size_t i = 0;
    bool same = lexEach(text, sourceClass, options, [&](TokenKind kind, std::string_view key, TokenPlace, bool) {
        if (i == expected.tokens.size() || kind != expected.tokens[i].kind || key != expected.key(i))
            return false;
        ++i;
        return true;
    });
    return same && i == expected.tokens.size();
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

bool isLiteral(std::string_view key, SourceClass sourceClass)
{
    if (sourceClass == SourceClass::Basic)
        return !key.empty() && key[0] == '"';
    std::size_t q = key.find_first_of("\"'");
    return q != std::string_view::npos && q <= 4 && key.find_first_not_of("LuU8R@$", 0) == q;
}

bool isName(std::string_view key, SourceClass sourceClass)
{
    if (key.empty() || (byteClass(key[0]) & kDigit) || isLiteral(key, sourceClass))
        return false;
    for (char c : key)
        if (!(byteClass(c) & (sourceClass == SourceClass::Basic ? kNameB : kNameC)))
            return false;
    return true;
}

// True when key ends in a backslash, blanks after it aside: a line end
// written after it would read back as a splice.
bool endsInBackslash(std::string_view key)
{
    const std::size_t last = key.find_last_not_of(" \t\f\v");
    return last != std::string_view::npos && key[last] == '\\';
}

bool isHash(std::string_view key)
{
    return key == "#" || key == "%:";
}

bool namesInclude(std::string_view key)
{
    return key == "include" || key == "include_next" || key == "import";
}

// Appends blanks and line ends between two tokens to out: at least one blank
// first, then line ends where allowed (splices in a directive, continuations
// in Basic).
void layout(Chooser &choose, bool directive, SourceClass sourceClass, std::string &out)
{
    static const char *const kFree[] = {" ", "\t", "\n", "\r\n", "  \f", "\\\n"};
    static const char *const kBound[] = {" ", "\t", " \\\n", "\v", "  "};
    static const char *const kBasic[] = {" ", "\t", " _\n", " _ \r\n", "  "};
    out += choose.next(2) ? " " : "\t";
    for (unsigned k = choose.next(4); k > 0; --k) {
        if (sourceClass == SourceClass::Basic)
            out += kBasic[choose.next(5)];
        else
            out += directive ? kBound[choose.next(5)] : kFree[choose.next(6)];
    }
}

// Sets stays[i], for every i up to the stream's size, to whether the first
// token from i on that is not a comment word is a '#' or "%:" that opens no
// directive: no line may start before it. One pass from the end, so that a
// long run of comment words costs no more than its length.
NOT_STEERING void markHashesOnLine(const Stream &stream, std::vector<char> &stays)
{
    const std::vector<Tok> &tokens = stream.tokens;
    stays.assign(tokens.size() + 1, 0);
    for (std::size_t i = tokens.size(); i-- > 0;)
        stays[i] = tokens[i].kind == TokenKind::CommentWord
                       ? stays[i + 1]
                       : tokens[i].kind == TokenKind::Code && !tokens[i].opens && isHash(stream.key(i));
}

// The tokens written out with layout from choose; starts[i] is where token i
// starts. False when the stream holds what cannot be written out this way.
bool relayout(const Stream &stream, SourceClass sourceClass, Chooser &choose, std::string &out,
              std::vector<std::size_t> &starts)
{
    static std::vector<char> stays;
    markHashesOnLine(stream, stays);
    const std::vector<Tok> &tokens = stream.tokens;
    bool directive = false;
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        const Tok &t = tokens[i];
        std::string_view key = stream.key(i);
        std::string_view prev = i > 0 ? stream.key(i - 1) : std::string_view();
        bool afterLiteral = i > 0 && isLiteral(prev, sourceClass);
        bool onLine = stays[i];
        // A literal that may be unterminated is followed by a line end: after
        // a CR it would read as a CR LF, after a backslash (and blanks) as a
        // splice.
        if (afterLiteral && (prev.back() == '\r' || endsInBackslash(prev)))
            return false;
        // A backslash token followed by blanks and a line end would read back
        // as a splice: after one, a single blank, and no directive's end nor
        // the line end a directive's '#' needs before it.
        bool afterBackslash = sourceClass == SourceClass::CFamily && i > 0 &&
                              tokens[i - 1].kind == TokenKind::Code && !prev.empty() && prev.back() == '\\';
        if (afterBackslash && (t.kind == TokenKind::LineEnd || t.opens))
            return false;
        // An include's '<' that no header name began (a line feed came before
        // a '>', say inside a comment) would begin one on the copy's single
        // line if a '>' follows in the directive.
        if (key == "<" && i >= 2 && tokens[i - 2].opens && namesInclude(prev))
            for (std::size_t j = i + 1; j < tokens.size() && tokens[j].kind != TokenKind::LineEnd; ++j)
                if (stream.key(j).find('>') != std::string_view::npos)
                    return false;
        // A lone CR before a line feed inside a literal reads back as a CR LF,
        // and a backslash before one as a splice.
        if (key.find("\r\n") != std::string_view::npos || key.find("\\\n") != std::string_view::npos)
            return false;
        if (t.kind == TokenKind::MacroParen || (afterLiteral && t.kind == TokenKind::LineEnd)) {
            // nothing between
        } else if (afterLiteral && !directive && sourceClass == SourceClass::CFamily && !onLine) {
            out += "\n";
            layout(choose, false, sourceClass, out);
        } else if (afterBackslash) {
            out += " ";
        } else if (i > 0) {
            layout(choose, directive || onLine, sourceClass, out);
        }
        bool spliced = out.size() >= 2 && out[out.size() - 2] == '\\';
        if (t.opens && !out.empty() && (out.back() != '\n' || spliced))
            out += "\n";
        starts.push_back(out.size());
        if (t.kind == TokenKind::CommentWord) {
            if (key.find("*/") == std::string_view::npos) {
                out += "/* ";
                out += key;
                out += " */";
            } else if (!directive && !stays[i + 1] && key.back() != '\\') {
                out += "// ";
                out += key;
                out += "\n";
            } else {
                return false;
            }
        } else if (t.kind == TokenKind::LineEnd && i + 2 == tokens.size() &&
                   tokens[i + 1].place.line == t.place.line && tokens[i + 1].place.column == t.place.column) {
            // the directive ends at the input's end, not at a line feed
        } else {
            out += key;
        }
        directive = (directive || t.opens) && t.kind != TokenKind::LineEnd;
        if (sourceClass == SourceClass::Basic && key == "_")
            return false;
    }
    return true;
}

bool placeBefore(const TokenPlace &a, const TokenPlace &b)
{
    return a.line != b.line ? a.line < b.line : a.column < b.column;
}

// With sorted includes the lexer's own note of which '#' opens a directive
// comes too early: take it from the stream before sorting, by place.
void markOpeners(Stream &stream, const std::string &source, SourceClass sourceClass, LexOptions options)
{
    static std::vector<TokenPlace> openers;  // in the order read, which is the order of places
    options.sortedIncludes = false;
    openers.clear();
    lexEach(source, sourceClass, options, [&](TokenKind, std::string_view, TokenPlace place, bool opens) {
        if (opens)
            openers.push_back(place);
        return true;
    });
    for (std::size_t i = 0; i < stream.tokens.size(); ++i) {
        Tok &t = stream.tokens[i];
        t.opens = isHash(stream.key(i)) && std::binary_search(openers.begin(), openers.end(), t.place, placeBefore);
    }
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
bool includesFillStores(const Stream &stream)
{
    const std::vector<Tok> &tokens = stream.tokens;
    std::size_t directives = 0, held = 0, bytes = 0;
    bool include = false;
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        if (tokens[i].opens && namesInclude(stream.key(i + 1))) {
            include = true;
            ++directives;
        }
        held += include ? 1 : 0;
        bytes += include ? tokens[i].length : 0;
        include = include && tokens[i].kind != TokenKind::LineEnd;
    }
    return directives > kIncludeDirectives || held > kIncludeTokens || bytes > kIncludeKeyBytes;
}

// Checks that joining the first two adjacent names of text (their blanks
// taken out) changes the stream.
void checkJoinedNames(const Stream &stream, const std::string &text, const std::vector<std::size_t> &starts,
                      SourceClass sourceClass, const LexOptions &options)
{
    static std::string joined;
    const std::vector<Tok> &tokens = stream.tokens;
    for (std::size_t i = 0; i + 2 < tokens.size(); ++i) {
        if (tokens[i].kind != TokenKind::Code || tokens[i + 1].kind != TokenKind::Code ||
            !isName(stream.key(i), sourceClass) || !isName(stream.key(i + 1), sourceClass))
            continue;
        joined.assign(text, 0, starts[i] + tokens[i].length);
        joined.append(text, starts[i + 1], std::string::npos);
        check(!lexesTo(joined, sourceClass, options, stream), "two names joined: a different stream");
        return;
    }
}

// Tokens of text lexed.
NOT_STEERING std::size_t tokenCount(const std::string &text, SourceClass sourceClass, const LexOptions &options)
{
    std::size_t n = 0;
    lexEach(text, sourceClass, options, [&](TokenKind, std::string_view, TokenPlace, bool) {
        ++n;
        return true;
    });
    return n;
}

// How many times a repeated unit is written: enough for kRepeatedSize bytes,
// but no more than about kRepeatedTokens tokens, going by the tokens of its
// first kSampleSize bytes. A unit that grows into one long token so passes the
// first window's end, while one of short tokens, which cost the time, reaches
// across a window's end only with blanks before it.
std::size_t repeatsOf(std::string_view unit, SourceClass sourceClass, const LexOptions &options)
{
    static std::string sample;
    sample.clear();
    do
        sample.append(unit);
    while (sample.size() < kSampleSize);
    std::size_t tokens = tokenCount(sample, sourceClass, options);  // End included: never 0
    std::size_t repeats = (kRepeatedSize + unit.size() - 1) / unit.size();
    std::size_t byTokens = kRepeatedTokens * sample.size() / (tokens * unit.size());
    return std::max<std::size_t>(std::min(repeats, byTokens), 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Reused from input to input, so that a long source faults in no fresh
    // pages.
    static std::string source, text;
    static Stream tokens;
    static std::vector<std::size_t> starts;
    if (size < 2)
        return 0;
    SourceClass sourceClass = (data[0] & 1) ? SourceClass::Basic : SourceClass::CFamily;
    LexOptions options;
    options.comments = (data[0] & 2) && sourceClass == SourceClass::CFamily;
    options.sortedIncludes = (data[0] & 4) && sourceClass == SourceClass::CFamily;
    Chooser choose{data[1]};
    const char *unit = reinterpret_cast<const char *>(data + 2);
    source.clear();
    if (data[0] & 8)
        source.assign(kPadding + data[1], ' ');
    std::size_t repeats = (data[0] & 16) && size > 2 ? repeatsOf({unit, size - 2}, sourceClass, options) : 1;
    for (std::size_t k = 0; k < repeats; ++k)
        source.append(unit, size - 2);

    lex(source, sourceClass, options, tokens);
    if (options.sortedIncludes) {
        markOpeners(tokens, source, sourceClass, options);
        if (directiveEndsInput(tokens.tokens) || includesFillStores(tokens))
            return 0;
    }
    text.clear();
    starts.clear();
    if (data[0] & 8)
        text.assign(kPadding + data[1] / 2, '\n');
    if (!relayout(tokens, sourceClass, choose, text, starts))
        return 0;
    check(lexesTo(text, sourceClass, options, tokens), "written out with other layout: same stream");
    checkJoinedNames(tokens, text, starts, sourceClass, options);
    return 0;
}
