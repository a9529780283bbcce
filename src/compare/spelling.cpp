// The differing tokens as their sources spell them: each stream made again
// from its source up to the token the comparison stopped at, for the place
// where that token ends, and the bytes between its start and its end read
// from the source once more, both sides in step to find where they part.
#include <cstring>

#include "compare/token_compare.h"
#include "tokens/lexer.h"

namespace {

constexpr std::size_t kSpellReadSize = 16384;  // bytes read from a source at a time
constexpr std::size_t kShownBefore = 24;       // bytes an excerpt shows before the first byte that differs

bool placeBefore(TokenPlace a, TokenPlace b)
{
    return a.line < b.line || (a.line == b.line && a.column < b.column);
}

void nextSpelled(void *self, TokenPiece &piece)
{
    spelledNext(*static_cast<Lexer *>(self), piece);
}

void nextRespelled(void *self, TokenPiece &piece)
{
    rewriterNext(*static_cast<Rewriter *>(self), piece);
}

// Makes side f's stream again from source and finds the end of its token
// index. Returns false, with nothing to read, when that token is not the one
// at place (the source changed), or no byte spells it: a line end, an
// indent or End, which show as their keys, or a token the lexer made up.
bool findEnd(const Respelling &how, int f, SourceStream &source, std::uint64_t index, TokenPlace place,
             TokenPlace &end)
{
    Lexer &lexer = *how.lexers[f];
    lexerStart(lexer, how.languages[f], how.options, source);
    void (*next)(void *, TokenPiece &) = nextSpelled;
    void *self = &lexer;
    if (how.allow && how.rewriters) {
        rewriterStart(how.rewriters[f], how.languages[f], how.allow, RewriteSource{&lexer, nextSpelled});
        next = nextRespelled;
        self = &how.rewriters[f];
    }
    TokenPiece piece;
    std::uint64_t begun = 0;
    for (;;) {
        next(self, piece);
        begun += piece.first;
        if (begun == index + 1 && piece.last)
            break;
        if (piece.kind == TokenKind::End)
            return false;
    }
    const bool spelled =
        piece.kind == TokenKind::Code || piece.kind == TokenKind::Value || piece.kind == TokenKind::CommentWord;
    end = piece.end;
    return spelled && piece.place.line == place.line && piece.place.column == place.column &&
           placeBefore(place, end);
}

// A token's bytes read from its source, one at a time, from its start to
// its end; the carriage return of a CR LF is left out, as keys leave it.
struct SpanReader {
    SourceStream *source = nullptr;
    char buffer[kSpellReadSize];
    std::size_t at = 0, count = 0;
    int ahead = -1;               // a byte read ahead after a carriage return, or -1
    TokenPlace place;             // of the next byte of the source
    TokenPlace end;               // the token's end
    TokenPlace last;              // of the byte spanByte gave last
};

int sourceByte(SpanReader &r)
{
    if (r.ahead >= 0) {
        const int c = r.ahead;
        r.ahead = -1;
        return c;
    }
    if (r.at == r.count) {
        r.count = readSource(*r.source, r.buffer, sizeof r.buffer);
        r.at = 0;
        if (r.count == 0)
            return -1;
    }
    return static_cast<unsigned char>(r.buffer[r.at++]);
}

void passByte(SpanReader &r, int c)
{
    if (c == '\n') {
        ++r.place.line;
        r.place.column = 1;
    } else {
        ++r.place.column;
    }
}

// Reads the source up to place `to`; false when it ends before.
bool skipTo(SpanReader &r, TokenPlace to)
{
    while (placeBefore(r.place, to)) {
        const int c = sourceByte(r);
        if (c < 0)
            return false;
        passByte(r, c);
    }
    return true;
}

// The next byte of the token, or -1 after its last.
int spanByte(SpanReader &r)
{
    for (;;) {
        if (!placeBefore(r.place, r.end))
            return -1;
        const int c = sourceByte(r);
        if (c < 0)
            return -1;
        r.last = r.place;
        passByte(r, c);
        if (c != '\r' || !placeBefore(r.place, r.end))
            return c;
        r.ahead = sourceByte(r);
        if (r.ahead != '\n')
            return c;
    }
}

// What is gathered of one side's spelling.
struct Gathered {
    char head[kShownTokenSize];   // its first bytes
    std::size_t headLength = 0;
    char ring[kShownBefore];      // the last bytes before the one that differs
    std::uint64_t before = 0;     // bytes before the one that differs
    int differing = -1;           // the first byte that differs from the other side's, or -1 where it ends
    TokenPlace differs;           // that byte's place, or the end
};

void keepHead(Gathered &g, int c)
{
    if (c >= 0 && g.headLength < kShownTokenSize)
        g.head[g.headLength++] = static_cast<char>(c);
}

// Takes byte c as one before the difference.
void keepBefore(Gathered &g, int c)
{
    keepHead(g, c);
    g.ring[g.before++ % kShownBefore] = static_cast<char>(c);
}

// Reads both spellings in step to the first byte where they differ; with
// indentAside, the blanks that start a line (after the token's first) are
// passed over on each side, as re-indenting a text block or a docstring is
// layout. Returns true when the spellings differ.
bool readInStep(SpanReader (&r)[2], Gathered (&g)[2], bool indentAside)
{
    bool lineStart = false;
    for (;;) {
        int c[2];
        for (int f = 0; f < 2; ++f) {
            c[f] = spanByte(r[f]);
            while (lineStart && indentAside && (c[f] == ' ' || c[f] == '\t')) {
                keepBefore(g[f], c[f]);
                c[f] = spanByte(r[f]);
            }
        }
        if (c[0] != c[1] || c[0] < 0) {
            for (int f = 0; f < 2; ++f) {
                keepHead(g[f], c[f]);
                g[f].differing = c[f];
                g[f].differs = c[f] >= 0 ? r[f].last : r[f].end;
            }
            return c[0] != c[1];
        }
        keepBefore(g[0], c[0]);
        keepBefore(g[1], c[1]);
        lineStart = c[0] == '\n';
    }
}

// Where the excerpt of g starts among its last `before` bytes before the one
// that differs: after the last line feed among them, else after their first
// blank, else at the first that starts a UTF-8 character.
std::uint64_t excerptStart(const Gathered &g, std::size_t before)
{
    const std::uint64_t from = g.before - before;
    for (std::uint64_t i = g.before; i > from; --i)
        if (g.ring[(i - 1) % kShownBefore] == '\n')
            return i;
    for (std::uint64_t i = from; i < g.before; ++i)
        if (g.ring[i % kShownBefore] == ' ' || g.ring[i % kShownBefore] == '\t')
            return i + 1;
    std::uint64_t i = from;
    while (i < g.before && (static_cast<unsigned char>(g.ring[i % kShownBefore]) & 0xc0) == 0x80)
        ++i;
    return i;
}

// The excerpt of side f around its first differing byte: some of the bytes
// before it (up to kShownBefore, from a line's start or a word's where they
// hold one), that byte, and what follows, kShownTokenSize bytes in all.
void keepExcerpt(TokenCompareState &c, int f, SpanReader &r, const Gathered &g)
{
    const std::uint64_t from =
        excerptStart(g, g.before < kShownBefore ? static_cast<std::size_t>(g.before) : kShownBefore);
    std::size_t n = 0;
    for (std::uint64_t i = from; i < g.before; ++i)
        c.shown[f][n++] = g.ring[i % kShownBefore];
    for (int b = g.differing; b >= 0 && n < kShownTokenSize;) {
        c.shown[f][n++] = static_cast<char>(b);
        if (n < kShownTokenSize)
            b = spanByte(r);
    }
    c.shown[f][n] = '\0';
    c.shownLength[f] = n;
    c.differs[f] = g.differs;
}

// The token's start as shown: its first kShownTokenSize bytes.
void keepStart(TokenCompareState &c, int f, SpanReader &r, Gathered &g)
{
    while (g.headLength < kShownTokenSize) {
        const int b = spanByte(r);
        if (b < 0)
            break;
        keepHead(g, b);
    }
    std::memcpy(c.shown[f], g.head, g.headLength);
    c.shown[f][g.headLength] = '\0';
    c.shownLength[f] = g.headLength;
}

// The sides whose tokens are spelled, open on sources, each read to its token's
// start; a side that cannot be read so is spelled no more.
struct Spans {
    SourceStream streams[2];
    SpanReader readers[2];
    bool open[2] = {false, false};
};

void openSpans(Spans &s, const TokenCompareState &c, const Reopener &sources, bool (&spelled)[2],
               const TokenPlace (&ends)[2])
{
    for (int f = 0; f < 2; ++f) {
        s.readers[f] = SpanReader();
        if (!spelled[f] || sources.open(sources.self, f, s.streams[f]) != 0) {
            spelled[f] = false;
            continue;
        }
        s.open[f] = true;
        s.readers[f].source = &s.streams[f];
        s.readers[f].end = ends[f];
        if (!skipTo(s.readers[f], c.places[f]))
            spelled[f] = false;
    }
}

void closeSpans(Spans &s, const Reopener &sources)
{
    for (int f = 0; f < 2; ++f)
        if (s.open[f])
            sources.close(sources.self, f, s.streams[f]);
    s.open[0] = s.open[1] = false;
}

} // namespace

void spellDifference(TokenCompareState &c, const Respelling &how, const Reopener &sources)
{
    c.excerpt = false;
    if (!sources.open)
        return;
    // 1. Where each differing token ends, each stream made again on its own.
    TokenPlace ends[2];
    bool spelled[2] = {false, false};
    for (int f = 0; f < 2; ++f) {
        SourceStream source;
        if (c.shorterFile == f + 1 || !how.lexers[f] || sources.open(sources.self, f, source) != 0)
            continue;
        spelled[f] = findEnd(how, f, source, c.indexes[f], c.places[f], ends[f]);
        sources.close(sources.self, f, source);
    }

    // 2. The tokens' bytes, both sources open at once, read in step to where
    // they part, indentation aside; where that is all they differ by, again
    // as written.
    Spans spans;
    openSpans(spans, c, sources, spelled, ends);
    Gathered gathered[2];
    bool apart = false;
    if (spelled[0] && spelled[1] && !readInStep(spans.readers, gathered, true)) {
        closeSpans(spans, sources);
        openSpans(spans, c, sources, spelled, ends);
        gathered[0] = gathered[1] = Gathered();
        apart = spelled[0] && spelled[1] && readInStep(spans.readers, gathered, false);
    } else {
        apart = spelled[0] && spelled[1];
    }

    // 3. Past what a start shows, the excerpt around where they part, else
    // each token's start.
    c.excerpt = apart && (gathered[0].before >= kShownTokenSize || gathered[1].before >= kShownTokenSize);
    for (int f = 0; f < 2; ++f) {
        if (c.excerpt)
            keepExcerpt(c, f, spans.readers[f], gathered[f]);
        else if (spelled[f])
            keepStart(c, f, spans.readers[f], gathered[f]);
    }
    closeSpans(spans, sources);
}
