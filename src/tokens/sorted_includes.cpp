// Sorted includes: runs of #include directives held and handed out in the
// order of their token keys, over the C-family lexer's pieces.
#include <algorithm>
#include <cstring>

#include "tokens/lexer.h"

namespace {

// Takes the next piece: the one waiting, or a new one from the lexer.
void take(IncludeSorter &s, Lexer &lx, TokenPiece &p)
{
    if (s.hasWaiting) {
        p = s.waiting;
        s.hasWaiting = false;
    } else {
        cNext(lx, p);
    }
}

// True when p, the lexer's latest piece, is the '#' that opens a directive.
bool opensDirective(const Lexer &lx, const TokenPiece &p)
{
    return p.kind == TokenKind::Code && p.first && p.last && lx.opensDirective && p.length <= 2;
}

// True when q, the lexer's latest piece, names an include directive.
bool namesInclude(const Lexer &lx, const TokenPiece &q)
{
    return lx.directive == Directive::Include && q.kind == TokenKind::Code && q.first && q.last;
}

// Keeps a copy of the '#' piece p.
void holdHash(IncludeSorter &s, const TokenPiece &p)
{
    std::memcpy(s.hashKey, p.bytes, p.length);
    s.hash = p;
    s.hash.bytes = s.hashKey;
    s.hasHash = true;
}

// True when the stores have room for piece p.
bool fits(const IncludeSorter &s, const TokenPiece &p)
{
    std::size_t tokens = p.first ? 1 : 0;
    return s.tokenCount + tokens <= kIncludeTokens && s.keyUsed + p.length <= kIncludeKeyBytes;
}

// Adds piece p to the open directive (opening one when none is).
void store(IncludeSorter &s, const TokenPiece &p)
{
    if (!s.directiveOpen) {
        s.directives[s.directiveCount] = {s.tokenCount, 0};
        s.directiveOpen = true;
    }
    if (p.first) {
        HeldToken &t = s.tokens[s.tokenCount++];
        t = {p.kind, false, p.place, s.keyUsed, 0};
        ++s.directives[s.directiveCount].tokenCount;
    }
    HeldToken &t = s.tokens[s.tokenCount - 1];
    std::memcpy(s.keys + s.keyUsed, p.bytes, p.length);
    s.keyUsed += p.length;
    t.length += p.length;
    t.whole = p.last;
    if (p.kind == TokenKind::LineEnd) {
        ++s.directiveCount;
        s.directiveOpen = false;
    }
}

// Orders held directives a and b by their tokens' keys, then as read.
bool before(const IncludeSorter &s, std::uint16_t a, std::uint16_t b)
{
    const HeldDirective &da = s.directives[a], &db = s.directives[b];
    std::size_t n = std::min(da.tokenCount, db.tokenCount);
    for (std::size_t k = 0; k < n; ++k) {
        const HeldToken &ta = s.tokens[da.firstToken + k], &tb = s.tokens[db.firstToken + k];
        int c = std::memcmp(s.keys + ta.offset, s.keys + tb.offset, std::min(ta.length, tb.length));
        if (c != 0)
            return c < 0;
        if (ta.length != tb.length)
            return ta.length < tb.length;
        if (ta.kind != tb.kind)
            return ta.kind < tb.kind;
    }
    if (da.tokenCount != db.tokenCount)
        return da.tokenCount < db.tokenCount;
    return a < b;
}

// Starts handing out the complete directives sorted, then the open one as it
// stands when openAfter; then the sorter goes on in phase next.
void beginEmission(IncludeSorter &s, bool openAfter, IncludePhase next)
{
    for (std::size_t k = 0; k < s.directiveCount; ++k)
        s.order[k] = static_cast<std::uint16_t>(k);
    std::sort(s.order, s.order + s.directiveCount,
              [&s](std::uint16_t a, std::uint16_t b) { return before(s, a, b); });
    s.emitDirective = 0;
    s.emitToken = 0;
    s.emitLimit = s.directiveCount;
    s.openAfter = openAfter;
    s.afterEmission = next;
    s.phase = IncludePhase::Emitting;
}

// Drops the handed-out directives; an open one moves to the stores' start.
void compact(IncludeSorter &s)
{
    if (!s.directiveOpen) {
        s.tokenCount = s.keyUsed = s.directiveCount = 0;
        return;
    }
    const HeldDirective open = s.directives[s.directiveCount];
    std::size_t keyFrom = s.tokens[open.firstToken].offset;
    for (std::size_t k = 0; k < open.tokenCount; ++k) {
        s.tokens[k] = s.tokens[open.firstToken + k];
        s.tokens[k].offset -= keyFrom;
    }
    std::memmove(s.keys, s.keys + keyFrom, s.keyUsed - keyFrom);
    s.keyUsed -= keyFrom;
    s.tokenCount = open.tokenCount;
    s.directives[0] = {0, open.tokenCount};
    s.directiveCount = 0;
}

// Fills piece with held token t.
void giveHeld(const IncludeSorter &s, const HeldToken &t, TokenPiece &piece)
{
    piece.kind = t.kind;
    piece.first = true;
    piece.last = t.whole;
    piece.place = t.place;
    piece.bytes = s.keys + t.offset;
    piece.length = t.length;
}

// Hands out the next held token; false when there are no more (the sorter
// then goes on in its next phase).
bool emitStep(IncludeSorter &s, TokenPiece &piece)
{
    while (s.emitDirective < s.emitLimit) {
        const HeldDirective &d = s.directives[s.order[s.emitDirective]];
        if (s.emitToken < d.tokenCount) {
            giveHeld(s, s.tokens[d.firstToken + s.emitToken++], piece);
            return true;
        }
        ++s.emitDirective;
        s.emitToken = 0;
    }
    if (s.openAfter && s.directiveOpen) {
        const HeldDirective &d = s.directives[s.directiveCount];
        if (s.emitToken < d.tokenCount) {
            giveHeld(s, s.tokens[d.firstToken + s.emitToken++], piece);
            return true;
        }
        s.directiveOpen = false;
    }
    compact(s);
    s.phase = s.afterEmission;
    return false;
}

// Opens a group with the held '#' and the directive name q; when q does not
// fit even alone, both go out as they are and the directive passes through.
bool openGroup(IncludeSorter &s, const TokenPiece &q, TokenPiece &piece)
{
    if (s.keyUsed + s.hash.length + q.length > kIncludeKeyBytes || s.tokenCount + 2 > kIncludeTokens) {
        s.waiting = q;
        s.hasWaiting = true;
        s.hasHash = false;
        piece = s.hash;
        s.phase = IncludePhase::Through;
        return true;
    }
    store(s, s.hash);
    store(s, q);
    s.hasHash = false;
    s.pendingInclude = false;
    s.phase = IncludePhase::Collecting;
    return false;
}

// Passing: pieces go out as they come until an #include directive opens.
bool passStep(IncludeSorter &s, Lexer &lx, TokenPiece &piece)
{
    if (s.hasHash) {
        piece = s.hash;
        s.hasHash = false;
        return true;
    }
    take(s, lx, piece);
    if (!opensDirective(lx, piece))
        return true;
    holdHash(s, piece);
    TokenPiece q;
    take(s, lx, q);
    if (namesInclude(lx, q))
        return openGroup(s, q, piece);
    s.waiting = q;
    s.hasWaiting = true;
    piece = s.hash;
    s.hasHash = false;
    return true;
}

// Between the directives of a run, p opens another directive: the sorter
// holds it when it names an include and fits, or else hands out what it holds
// first. True when piece is filled.
bool nextDirective(IncludeSorter &s, Lexer &lx, TokenPiece p, TokenPiece &piece)
{
    holdHash(s, p);
    take(s, lx, p);
    bool include = namesInclude(lx, p);
    if (include && s.directiveCount < kIncludeDirectives && s.keyUsed + s.hash.length + p.length <= kIncludeKeyBytes &&
        s.tokenCount + 2 <= kIncludeTokens)
        return openGroup(s, p, piece);
    s.waiting = p;
    s.hasWaiting = true;
    s.pendingInclude = include;
    beginEmission(s, false, include ? IncludePhase::Collecting : IncludePhase::Passing);
    return false;
}

// Collecting: holds the pieces of the run's directives; anything else ends it.
bool collectStep(IncludeSorter &s, Lexer &lx, TokenPiece &piece)
{
    TokenPiece p;
    take(s, lx, p);
    if (s.pendingInclude)
        return openGroup(s, p, piece);
    if (s.directiveOpen) {
        if (fits(s, p)) {
            store(s, p);
            return false;
        }
        s.waiting = p;
        s.hasWaiting = true;
        // Sort what is complete; a directive that alone fills the stores goes out as it stands.
        if (s.directiveCount > 0)
            beginEmission(s, false, IncludePhase::Collecting);
        else
            beginEmission(s, true, IncludePhase::Through);
        return false;
    }
    if (opensDirective(lx, p))
        return nextDirective(s, lx, p, piece);
    s.waiting = p;
    s.hasWaiting = true;
    beginEmission(s, false, IncludePhase::Passing);
    return false;
}

// Through: the rest of a directive too long to hold, to its LineEnd.
bool throughStep(IncludeSorter &s, Lexer &lx, TokenPiece &piece)
{
    take(s, lx, piece);
    if (piece.kind == TokenKind::LineEnd)
        s.phase = IncludePhase::Passing;
    return true;
}

} // namespace

void sorterStart(IncludeSorter &s)
{
    s.phase = IncludePhase::Passing;
    s.keyUsed = s.tokenCount = s.directiveCount = 0;
    s.directiveOpen = false;
    s.hasWaiting = false;
    s.hasHash = false;
    s.pendingInclude = false;
}

void sortedNext(Lexer &lx, TokenPiece &piece)
{
    IncludeSorter &s = lx.sorter;
    for (;;) {
        bool given = false;
        switch (s.phase) {
        case IncludePhase::Passing: given = passStep(s, lx, piece); break;
        case IncludePhase::Collecting: given = collectStep(s, lx, piece); break;
        case IncludePhase::Emitting: given = emitStep(s, piece); break;
        case IncludePhase::Through: given = throughStep(s, lx, piece); break;
        }
        if (given)
            return;
    }
}
