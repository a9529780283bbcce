// The rewriter: a window of whole tokens that a language's rules look at,
// and the canonical stream it hands out.
#include "rewrites/rules.h"

#include <cstring>

namespace {

const char *const kRewriteNames[kRewriteKinds] = {
    "braces", "parens", "commas", "quotes", "numbers", "docstrings", "usings", "semicolons", "case", "build-lines",
    "elision", "imports",
};

// A 32-bit FNV-1a hash of n bytes, continued from h.
std::uint32_t hashBytes(std::uint32_t h, const char *bytes, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        h = (h ^ static_cast<unsigned char>(bytes[i])) * 16777619u;
    return h;
}

// Adds what was written at token t (its kind and key) to a note's fingerprint of rewrite r.
void addToPrint(RewriteNote &note, Rewrite r, const WindowToken &t, const char *key)
{
    std::uint32_t h = hashBytes(2166136261u, key, t.length);
    h = (h ^ static_cast<unsigned char>(t.kind)) * 16777619u;
    std::uint32_t &print = note.prints[static_cast<int>(r)];
    print = print * 31u + h + 1u;
}

void noteRewrite(RewriteNote &note, Rewrite r, TokenPlace place)
{
    if (note.kinds == 0)
        note.place = place;
    note.kinds |= rewriteBit(r);
}

// Moves the held tokens' keys into the other store, in order, so that the
// room after them is one stretch.
void compact(Rewriter &rw)
{
    RewriteWindow &w = rw.window;
    char *to = rw.keyStores[1 - rw.store];
    std::size_t used = 0;
    auto move = [&](WindowToken &t) {
        std::memcpy(to + used, w.keys + t.offset, t.length);
        t.offset = used;
        used += t.length;
    };
    for (std::uint64_t i = w.first; i < windowEnd(w); ++i)
        move(windowAt(w, i));
    for (std::size_t k = 0; k < rw.asideCount; ++k)
        move(rw.aside[(rw.asideFirst + k) % kRewriteAside].token);
    rw.store = 1 - rw.store;
    w.keys = to;
    w.keyUsed = used;
}

// True when the rules set token t aside (RewriteRules::aside).
bool isAside(const Rewriter &rw, const WindowToken &t)
{
    return rw.rules->aside && t.kind == TokenKind::Code && rw.rules->aside(rw.window.keys + t.offset, t.length);
}

// Takes one token from the source into the window: whole, or, when it is
// longer than kRewriteLongToken, its first bytes, cut (a barrier). A token
// the rules set aside goes into the ring of such instead, or, cut, waits
// as the barrier (Rewriter::heldAside).
void takeToken(Rewriter &rw)
{
    RewriteWindow &w = rw.window;
    WindowToken &t = windowAt(w, windowEnd(w));
    ++w.count;
    t = WindowToken{};
    t.offset = w.keyUsed;
    TokenPiece piece;
    for (;;) {
        rw.source.next(rw.source.self, piece);
        if (piece.first) {
            t.kind = piece.kind;
            t.place = piece.place;
            t.note = piece.note;  // the sorted-import layer's, on the first token of a run it reordered
        }
        const std::size_t room = kRewriteLongToken - t.length;
        const std::size_t n = piece.length < room ? piece.length : room;
        std::memcpy(w.keys + w.keyUsed, piece.bytes, n);
        w.keyUsed += n;
        t.length += n;
        t.end = piece.end;
        if (n < piece.length || (!piece.last && t.length == kRewriteLongToken)) {
            // The rest goes out as it comes; what is left of this piece first.
            t.whole = false;
            rw.barrier = true;
            rw.pendingPiece = piece;
            rw.pendingPiece.bytes += n;
            rw.pendingPiece.length -= n;
            rw.pendingPiece.first = false;
            if (isAside(rw, t)) {
                rw.heldAside = true;
                rw.heldToken = t;
                --w.count;
            }
            return;
        }
        if (piece.last) {
            if (isAside(rw, t) && rw.asideCount < kRewriteAside) {
                --w.count;
                rw.aside[(rw.asideFirst + rw.asideCount++) % kRewriteAside] = {t, windowEnd(w)};
            }
            return;
        }
    }
}

// Hands out the oldest token set aside when it goes out before the window
// token at index i; false when none does.
bool giveAside(Rewriter &rw, std::uint64_t i, TokenPiece &piece)
{
    if (rw.asideCount == 0 || rw.aside[rw.asideFirst].before > i)
        return false;
    const WindowToken &t = rw.aside[rw.asideFirst].token;
    rw.asideFirst = (rw.asideFirst + 1) % kRewriteAside;
    --rw.asideCount;
    piece = TokenPiece{};
    piece.kind = t.kind;
    piece.place = t.place;
    piece.bytes = rw.window.keys + t.offset;
    piece.length = t.length;
    piece.note = t.note;
    piece.end = t.end;
    return true;
}

// Fills the window until it is complete: full, ended, cut by a long token, or
// out of key room.
void fill(Rewriter &rw)
{
    RewriteWindow &w = rw.window;
    for (;;) {
        if (w.count > 0) {
            const WindowToken &last = windowAt(w, windowEnd(w) - 1);
            if (last.kind == TokenKind::End || rw.barrier)
                break;
        }
        if (w.count == kRewriteTokens || rw.asideCount == kRewriteAside || rw.heldAside)
            break;
        if (w.keyUsed + kRewriteLongToken > kRewriteKeyBytes / 2) {
            compact(rw);
            if (w.keyUsed + kRewriteLongToken > kRewriteKeyBytes / 2)
                break;
        }
        takeToken(rw);
    }
    w.complete = true;
}

} // namespace

const char *rewriteName(Rewrite r)
{
    return kRewriteNames[static_cast<int>(r)];
}

bool parseRewriteList(const char *text, RewriteSet &set, const char *&bad, std::size_t &badLength)
{
    set = 0;
    bad = text;
    badLength = 0;
    if (!std::strcmp(text, "all")) {
        set = static_cast<RewriteSet>((1u << kAllowKinds) - 1);
        return true;
    }
    if (*text == '\0')
        return false;
    for (const char *p = text;;) {
        const char *comma = std::strchr(p, ',');
        const std::size_t n = comma ? static_cast<std::size_t>(comma - p) : std::strlen(p);
        int found = -1;
        for (int k = 0; k < kAllowKinds; ++k)
            if (std::strlen(kRewriteNames[k]) == n && !std::strncmp(kRewriteNames[k], p, n))
                found = k;
        if (found < 0) {
            bad = p;
            badLength = n;
            return false;
        }
        set |= rewriteBit(static_cast<Rewrite>(found));
        if (!comma)
            return true;
        p = comma + 1;
    }
}

bool tokenIs(RewriteWindow &w, std::uint64_t i, const char *s)
{
    if (i < w.first || i >= windowEnd(w))
        return false;
    const WindowToken &t = windowAt(w, i);
    return t.whole && t.kind == TokenKind::Code && std::strlen(s) == t.length &&
           std::memcmp(w.keys + t.offset, s, t.length) == 0;
}

const char *tokenKey(RewriteWindow &w, std::uint64_t i)
{
    return w.keys + windowAt(w, i).offset;
}

std::uint64_t nextKept(RewriteWindow &w, std::uint64_t i)
{
    for (++i; i < windowEnd(w); ++i)
        if (!windowAt(w, i).dropped)
            return i;
    return windowEnd(w);
}

void dropToken(RewriteWindow &w, std::uint64_t i, Rewrite r, std::uint64_t onto)
{
    WindowToken &t = windowAt(w, i);
    if (!t.whole || t.dropped || onto < w.first || onto >= windowEnd(w) || onto == i)
        return;
    WindowToken &o = windowAt(w, onto);
    t.dropped = true;
    if (o.kind == TokenKind::Value && onto < i &&
        (t.end.line > o.end.line || (t.end.line == o.end.line && t.end.column > o.end.column)))
        o.end = t.end;
    noteRewrite(o.note, r, t.place);
    addToPrint(o.note, r, t, w.keys + t.offset);
    // What was noted on the token taken out goes with it.
    if (t.note.kinds != 0) {
        o.note.kinds |= t.note.kinds;
        for (int k = 0; k < kRewriteKinds; ++k)
            if (t.note.kinds & (1u << k))
                o.note.prints[k] = o.note.prints[k] * 31u + t.note.prints[k];
    }
}

bool dropBefore(RewriteWindow &w, std::uint64_t i, Rewrite r)
{
    const std::uint64_t onto = nextKept(w, i);
    if (onto >= windowEnd(w))
        return false;
    dropToken(w, i, r, onto);
    return windowAt(w, i).dropped;
}

bool replaceKey(RewriteWindow &w, std::uint64_t i, Rewrite r, const char *bytes, std::size_t n)
{
    WindowToken &t = windowAt(w, i);
    if (!t.whole || t.dropped || w.keyUsed + n > kRewriteKeyBytes)
        return false;
    addToPrint(t.note, r, t, w.keys + t.offset);
    noteRewrite(t.note, r, t.place);
    std::memcpy(w.keys + w.keyUsed, bytes, n);
    t.offset = w.keyUsed;
    t.length = n;
    t.kind = TokenKind::Value;
    w.keyUsed += n;
    return true;
}

std::uint64_t matchingClose(RewriteWindow &w, std::uint64_t open)
{
    static const char *const kOpens = "([{";
    static const char *const kCloses = ")]}";
    char stack[256];
    std::size_t depth = 0;
    for (std::uint64_t i = open; i < windowEnd(w); ++i) {
        const WindowToken &t = windowAt(w, i);
        if (t.kind != TokenKind::Code || t.length != 1 || !t.whole)
            continue;
        const char c = w.keys[t.offset];
        if (const char *o = std::strchr(kOpens, c); o && c != '\0') {
            if (depth == sizeof stack)
                return windowEnd(w);
            stack[depth++] = kCloses[o - kOpens];
        } else if (std::strchr(kCloses, c) && c != '\0') {
            if (depth == 0 || stack[depth - 1] != c)
                return windowEnd(w);
            if (--depth == 0)
                return i;
        }
        if (i == open && depth == 0)
            return windowEnd(w);
    }
    return windowEnd(w);
}

void rewriterStart(Rewriter &rw, Language language, RewriteSet allow, RewriteSource source)
{
    rw.source = source;
    rw.rules = rewriteRules(language);
    // Rules that accept none of these, or whose state would not fit, leave the stream as it is.
    if (rw.rules && ((rw.rules->rewrites & allow) == 0 || rw.rules->stateSize > kRewriteStateBytes))
        rw.rules = nullptr;
    RewriteWindow &w = rw.window;
    w.first = 0;
    w.count = 0;
    w.complete = false;
    w.allow = allow;
    w.language = language;
    rw.store = 0;
    w.keys = rw.keyStores[0];
    w.keyUsed = 0;
    if (rw.rules)
        std::memset(rw.state, 0, rw.rules->stateSize);
    rw.ready = 0;
    rw.barrier = rw.passing = rw.ended = false;
    rw.asideFirst = rw.asideCount = 0;
    rw.heldAside = false;
}

void rewriterNext(Rewriter &rw, TokenPiece &piece)
{
    if (!rw.rules) {
        rw.source.next(rw.source.self, piece);
        return;
    }
    RewriteWindow &w = rw.window;
    for (;;) {
        if (rw.passing) {
            if (rw.pendingPiece.length > 0 || rw.pendingPiece.last) {
                piece = rw.pendingPiece;
                rw.pendingPiece.length = 0;
                rw.pendingPiece.last = false;
            } else {
                rw.source.next(rw.source.self, piece);
            }
            piece.note = RewriteNote{};
            if (piece.last) {
                rw.passing = false;
                rw.barrier = false;
            }
            return;
        }
        if (rw.ended) {
            piece = TokenPiece{};
            piece.place = windowAt(w, w.first - 1).place;
            return;
        }
        if (w.count > 0 && w.first < rw.ready) {
            if (giveAside(rw, w.first, piece))
                return;
            const std::uint64_t i = w.first++;
            --w.count;
            const WindowToken &t = windowAt(w, i);
            if (t.dropped)
                continue;
            piece = TokenPiece{};
            piece.kind = t.kind;
            piece.place = t.place;
            piece.bytes = w.keys + t.offset;
            piece.length = t.length;
            piece.note = t.note;
            piece.end = t.end;
            piece.last = t.whole;
            if (!t.whole)
                rw.passing = true;
            if (t.kind == TokenKind::End)
                rw.ended = true;
            return;
        }
        // With the window empty, what was set aside goes out: the tokens,
        // then the long one, the rest of which comes as it comes.
        if (w.count == 0 && giveAside(rw, windowEnd(w), piece))
            return;
        if (w.count == 0 && rw.heldAside) {
            const WindowToken &t = rw.heldToken;
            rw.heldAside = false;
            rw.passing = true;
            piece = TokenPiece{};
            piece.kind = t.kind;
            piece.place = t.place;
            piece.bytes = w.keys + t.offset;
            piece.length = t.length;
            piece.last = false;
            return;
        }
        fill(rw);
        if (w.count == 0)
            continue;  // all it took was set aside
        std::uint64_t ready = rw.rules->scan(w, rw.state);
        // The rules must let a token go each time; a window whose last token
        // is End goes out whole.
        if (ready <= w.first)
            ready = w.first + 1;
        if (ready > windowEnd(w))
            ready = windowEnd(w);
        rw.ready = ready;
    }
}

bool takeNestedParens(RewriteWindow &w, std::uint64_t i)
{
    const std::uint64_t inner = i + 1;
    if (inner >= windowEnd(w))
        return false;
    if (!tokenIs(w, inner, "(") || windowAt(w, inner).dropped)
        return true;
    const std::uint64_t close = matchingClose(w, i);
    if (close >= windowEnd(w))
        return false;
    if (matchingClose(w, inner) + 1 != close)
        return true;
    dropToken(w, i, Rewrite::Parens, inner);
    dropToken(w, close, Rewrite::Parens, inner);
    return true;
}
