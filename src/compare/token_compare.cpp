#include "compare/token_compare.h"

#include <algorithm>
#include <cstring>

#include "console/console.h"
#include "tokens/lexer.h"

namespace {

constexpr std::size_t kLineReadSize = 16384;  // bytes read at a time when looking for a source line
constexpr std::int64_t kLeadBefore = 40;      // bytes a cut line shows before its column

// One stream during the comparison.
struct Side {
    PieceSource source;
    TokenPiece piece;        // the piece in hand
    std::uint64_t tokens = 0;  // tokens begun so far: the one in hand is tokens - 1
    std::size_t used = 0;    // its bytes already compared
    char *shown;             // the first bytes of the current token's earlier pieces
    std::size_t *shownLength;
};

// Adds the bytes of the piece in hand to what the report shows of its token.
void keepShown(Side &s)
{
    const std::size_t room = kShownTokenSize - *s.shownLength;
    const std::size_t n = s.piece.length < room ? s.piece.length : room;
    std::memcpy(s.shown + *s.shownLength, s.piece.bytes, n);
    *s.shownLength += n;
    s.shown[*s.shownLength] = '\0';
}

// Takes the next piece. Most tokens are one piece, so the bytes the report
// would show are kept only when a token goes on into another piece.
void take(Side &s)
{
    if (!s.piece.last)
        keepShown(s);
    s.source.next(s.source.self, s.piece);
    s.used = 0;
    if (s.piece.first) {
        ++s.tokens;
        *s.shownLength = 0;
        s.shown[0] = '\0';
    }
}

// Takes pieces while the one in hand is used up and its token goes on;
// returns true when the whole token has been compared.
bool tokenDone(Side &s)
{
    while (s.used == s.piece.length && !s.piece.last)
        take(s);
    return s.used == s.piece.length;
}

// Compares the tokens in hand, to their ends; returns true when they are equal.
bool sameToken(Side (&sides)[2])
{
    if (sides[0].piece.kind != sides[1].piece.kind)
        return false;
    for (;;) {
        const bool done0 = tokenDone(sides[0]), done1 = tokenDone(sides[1]);
        if (done0 || done1)
            return done0 && done1;
        const std::size_t left0 = sides[0].piece.length - sides[0].used;
        const std::size_t left1 = sides[1].piece.length - sides[1].used;
        const std::size_t n = left0 < left1 ? left0 : left1;
        if (std::memcmp(sides[0].piece.bytes + sides[0].used, sides[1].piece.bytes + sides[1].used, n) != 0)
            return false;
        sides[0].used += n;
        sides[1].used += n;
    }
}

// Reads on through a differing token until the report has all it shows of it.
void finishShown(Side &s)
{
    keepShown(s);
    while (*s.shownLength < kShownTokenSize && !s.piece.last) {
        s.source.next(s.source.self, s.piece);
        keepShown(s);
    }
}

void nextFromLexer(void *self, TokenPiece &piece)
{
    lexerNext(*static_cast<Lexer *>(self), piece);
}

void nextFromRun(void *self, TokenPiece &piece)
{
    RunPieces &r = *static_cast<RunPieces *>(self);
    if (r.at == r.count) {
        lexerNext(*r.lexer, piece);
        return;
    }
    const QuickToken &t = r.run[r.at++];
    piece = TokenPiece{};
    piece.kind = t.kind;
    piece.place = t.place;
    piece.bytes = t.bytes;
    piece.length = t.length;
}

// Compares the runs of common tokens both streams have in hand or can take,
// from between tokens, as long as they are equal; stops before the first
// token that differs, for the pieces to take it. Returns how many tokens of
// each it found equal.
std::uint64_t compareRuns(RunPieces &a, RunPieces &b)
{
    std::uint64_t equal = 0;
    for (;;) {
        if (a.at == a.count) {
            a.at = 0;
            a.count = lexerRun(*a.lexer, a.run, kComparedRun, 65536);
        }
        if (b.at == b.count) {
            b.at = 0;
            b.count = lexerRun(*b.lexer, b.run, kComparedRun, 65536);
        }
        const std::size_t n = std::min(a.count - a.at, b.count - b.at);
        if (n == 0)
            return equal;
        for (std::size_t k = 0; k < n; ++k) {
            const QuickToken &x = a.run[a.at], &y = b.run[b.at];
            if (x.length != y.length || x.kind != y.kind || std::memcmp(x.bytes, y.bytes, x.length) != 0)
                return equal;
            ++a.at;
            ++b.at;
            ++equal;
        }
    }
}

void nextListed(void *self, TokenPiece &piece)
{
    TokenLister &lister = *static_cast<TokenLister *>(self);
    lister.inner.next(lister.inner.self, piece);
    listTokenPiece(piece, lister.listing);
}

void nextRewritten(void *self, TokenPiece &piece)
{
    rewriterNext(*static_cast<Rewriter *>(self), piece);
}

// Counts the rewrites two equal tokens' notes tell of, each where the notes
// differ in it (both sources undid the same spelling: nothing to count);
// place is the token's in file 2.
void countAllowed(TokenCompareState &c, const RewriteNote &n0, const RewriteNote &n1, TokenPlace place)
{
    const unsigned kinds = n0.kinds | n1.kinds;
    for (int k = 0; k < kRewriteKinds; ++k) {
        if (!(kinds & (1u << k)) || ((n0.kinds & n1.kinds & (1u << k)) && n0.prints[k] == n1.prints[k]))
            continue;
        ++c.allowed[k];
        if (c.allowedAt)
            c.allowedAt(c.allowedSelf, static_cast<Rewrite>(k), n1.kinds ? n1.place : place);
    }
}

// The byte as a shown source line holds it: control characters but the tab
// would move the terminal's cursor, so they show as '?'.
char shownByte(char c)
{
    return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f ? '?' : c;
}

// Reads the source line at place.line of source; fills text (zero-terminated)
// with up to kShownLineSize of its bytes around place.column, "..." marking
// where it is cut, and caret with where the column falls in text. Returns
// false when the source ends before that line or holds no byte at all.
bool readLine(SourceStream &source, TokenPlace place, char *text, std::size_t &caret)
{
    char buffer[kLineReadSize];
    const std::int64_t from = place.column > kLeadBefore + 20 ? place.column - kLeadBefore : 1;
    std::size_t k = 0;
    if (from > 1) {
        std::memcpy(text, "...", 3);
        k = 3;
    }
    caret = k + static_cast<std::size_t>(place.column - from);
    std::int64_t line = 1, column = 1;
    bool lastWasReturn = false;  // the last byte shown was a carriage return
    bool any = false;            // the source holds a byte: an empty one has no line to show
    std::size_t n;
    while ((n = readSource(source, buffer, sizeof buffer)) > 0) {
        any = true;
        for (std::size_t i = 0; i < n; ++i) {
            if (line < place.line) {
                const void *lf = std::memchr(buffer + i, '\n', n - i);
                if (!lf)
                    break;
                i = static_cast<std::size_t>(static_cast<const char *>(lf) - buffer);
                ++line;
                continue;
            }
            const char c = buffer[i];
            if (c == '\n' || k >= kShownLineSize) {
                // The carriage return of a CR LF line end is not part of the line.
                if (c == '\n' && lastWasReturn)
                    --k;
                else if (c != '\n')
                    k += std::strlen(std::strcpy(text + k, "..."));
                text[k] = '\0';
                return true;
            }
            if (column++ >= from) {
                text[k++] = shownByte(c);
                lastWasReturn = c == '\r';
            }
        }
    }
    text[k] = '\0';
    return any && line == place.line;
}

// Prints the source line of place in side's source with a caret under its column.
void showSourceLine(const Reopener &sources, int side, TokenPlace place)
{
    if (!sources.open)
        return;
    SourceStream source;
    if (sources.open(sources.self, side, source) != 0)
        return;
    char text[kShownLineSize + 8];
    std::size_t caret = 0;
    const bool found = readLine(source, place, text, caret);
    sources.close(sources.self, side, source);
    if (!found)
        return;
    // Under a tab a tab, so that the caret lines up however wide tabs are, and
    // one blank for a character of several UTF-8 bytes.
    char marks[kShownLineSize + 8];
    const std::size_t length = std::strlen(text);
    std::size_t k = 0;
    for (std::size_t i = 0; i < caret && k < sizeof marks - 2; ++i) {
        const unsigned char c = i < length ? static_cast<unsigned char>(text[i]) : ' ';
        if ((c & 0xc0) != 0x80)
            marks[k++] = c == '\t' ? '\t' : ' ';
    }
    marks[k++] = '^';
    marks[k] = '\0';
    consoleMessage("%s \n", text);
    consoleMessage("%s \n", marks);
}

// The token's first bytes as reports show them.
void shownForm(const TokenCompareState &c, int side, char *out, std::size_t cap)
{
    std::size_t n = showTokenBytes(c.shown[side], c.shownLength[side], out, cap - 1);
    out[n] = '\0';
}

} // namespace

PieceSource lexerPieces(Lexer &lexer)
{
    return PieceSource{&lexer, nextFromLexer};
}

PieceSource runPieces(RunPieces &pieces, Lexer &lexer)
{
    pieces.lexer = &lexer;
    pieces.at = pieces.count = 0;
    return PieceSource{&pieces, nextFromRun};
}

PieceSource listedPieces(TokenLister &lister, PieceSource inner, Spool &listing)
{
    lister.inner = inner;
    lister.listing = &listing;
    return PieceSource{&lister, nextListed};
}

PieceSource rewrittenPieces(Rewriter &rewriter)
{
    return PieceSource{&rewriter, nextRewritten};
}

RewriteSource lexerSource(Lexer &lexer)
{
    return RewriteSource{&lexer, nextFromLexer};
}

void allowedList(const std::uint64_t (&counts)[kRewriteKinds], std::string &out)
{
    const std::size_t start = out.size();
    for (int k = 0; k < kRewriteKinds; ++k) {
        if (counts[k] == 0)
            continue;
        out += out.size() > start ? ", " : "";
        out += rewriteName(static_cast<Rewrite>(k));
        out += ' ';
        out += std::to_string(counts[k]);
    }
    if (out.size() == start)
        out += "none";
}

Verdict compareTokens(TokenCompareState &c, const PieceSource (&sources)[2])
{
    Side sides[2];
    for (int f = 0; f < 2; ++f) {
        sides[f].source = sources[f];
        sides[f].shown = c.shown[f];
        sides[f].shownLength = &c.shownLength[f];
        c.shownLength[f] = 0;
    }
    c.shorterFile = 0;
    c.excerpt = false;
    for (std::uint64_t &n : c.allowed)
        n = 0;
    const bool runs = sources[0].next == nextFromRun && sources[1].next == nextFromRun;
    for (;;) {
        if (runs) {
            const std::uint64_t equal = compareRuns(*static_cast<RunPieces *>(sources[0].self),
                                                    *static_cast<RunPieces *>(sources[1].self));
            sides[0].tokens += equal;
            sides[1].tokens += equal;
        }
        take(sides[0]);
        take(sides[1]);
        const bool end0 = sides[0].piece.kind == TokenKind::End, end1 = sides[1].piece.kind == TokenKind::End;
        const RewriteNote notes[2] = {sides[0].piece.note, sides[1].piece.note};
        const TokenPlace place = sides[1].piece.place;
        if (end0 && end1) {
            // What was taken out just before the end is noted on End.
            if ((notes[0].kinds | notes[1].kinds) != 0)
                countAllowed(c, notes[0], notes[1], place);
            return Verdict::Equivalent;
        }
        if (end0 || end1 || !sameToken(sides)) {
            for (int f = 0; f < 2; ++f) {
                c.places[f] = sides[f].piece.place;
                c.indexes[f] = sides[f].tokens - 1;
                finishShown(sides[f]);
            }
            c.shorterFile = end0 ? 1 : end1 ? 2 : 0;
            return Verdict::Different;
        }
        if ((notes[0].kinds | notes[1].kinds) != 0)
            countAllowed(c, notes[0], notes[1], place);
    }
}

bool rejectedInput(Lexer (&lexers)[2], int &side, std::string &why)
{
    for (Lexer &lx : lexers) {
        TokenPiece piece;
        if (lx.rejects && !lexerRefusal(lx))
            do
                lexerNext(lx, piece);
            while (!(piece.kind == TokenKind::End && piece.last));
    }
    for (int f = 0; f < 2; ++f)
        if (const char *refusal = lexerRefusal(lexers[f])) {
            side = f;
            why = refusal;
            return true;
        }
    return false;
}

void reportTokenDifference(const TokenCompareState &c, const char *const (&names)[2], const Reopener &sources)
{
    for (int f = 0; f < 2; ++f) {
        const long long line = static_cast<long long>(c.places[f].line);
        const long long column = static_cast<long long>(c.places[f].column);
        if (c.shorterFile == f + 1) {
            consoleMessage("Matchling==> Text ends at line %lld, column %lld of %s \n", line, column, names[f]);
        } else if (c.shorterFile != 0) {
            consoleMessage("Matchling==> Extra text begins at line %lld, column %lld of %s \n", line, column, names[f]);
        } else {
            char shown[2 * kShownTokenSize + 1];
            shownForm(c, f, shown, sizeof shown);
            consoleMessage("Matchling==> Token mismatch at line %lld, column %lld of %s \n", line, column, names[f]);
            consoleMessage("Matchling==> Token from %s '%s' \n", names[f], shown);
            if (c.excerpt) {
                // The excerpt is not where the token starts: name its place, and show its line.
                consoleMessage("Matchling==> Difference at line %lld, column %lld of %s \n",
                               static_cast<long long>(c.differs[f].line), static_cast<long long>(c.differs[f].column),
                               names[f]);
                showSourceLine(sources, f, c.differs[f]);
                continue;
            }
        }
        showSourceLine(sources, f, c.places[f]);
    }
}
