// The lexer kit: the machinery every language's lexer shares, so that a
// module states only its byte classes, its token starts and its decisions.
//
// The window's edge is where lexers go wrong: a decision that looks at bytes
// the window does not hold yet, or a token scan that stops at the window's
// end as if the input ended there. The procedures here keep to two rules:
// - Between tokens, layout is skipped until a token's first byte with at
//   least kLexLookahead bytes readable after it (refillShort), so that a
//   token start may look that far without asking.
// - Inside a token, a scan runs over a byte class and asks for the bytes its
//   next decision needs (runOver, readable); where the window is full of the
//   token's own bytes, the piece so far goes out first (pauseAt).
//
// A module's steps are a struct of static procedures, one per lexer mode it
// uses, derived from KitSteps<Steps>, which supplies the rest: the dispatch
// by mode, the step between tokens (skipLayout, then startToken), comment
// words, and the End piece. kitHooks makes the record the language table
// names.
#ifndef MATCHLING_TOKENS_KIT_H
#define MATCHLING_TOKENS_KIT_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "tokens/lexer.h"

// --- The window's edge ------------------------------------------------------

// Between tokens, at window offset i: when fewer than kLexLookahead bytes
// stand readable after i and the input goes on, refills the window keeping
// the bytes from i on, which start the next piece, and returns true (i then
// stands where the same byte now is, and the caller looks at it again).
inline bool refillShort(Lexer &lx, std::size_t &i)
{
    if (lx.end - i >= kLexLookahead || lx.ended)
        return false;
    lx.pos = lx.pieceStart = i;
    refill(lx, i);
    i = lx.pos;
    return true;
}

// Inside a token, at window offset i: makes n bytes from i readable, or all
// that remain of the input; i moves with the window. False when the current
// piece leaves no room: pos stands at i, and the piece so far goes out first
// (pauseAt(lx, piece, lx.pos)).
inline bool readable(Lexer &lx, std::size_t &i, std::size_t n)
{
    if (i + n <= lx.end || lx.ended)
        return true;
    lx.pos = i;
    if (!ensureAhead(lx, n))
        return false;
    i = lx.pos;
    return true;
}

// The byte before window offset i of the current token: the window's, or the
// one remembered when a piece went out (Lexer::previous, which runOver keeps
// with remember).
inline char byteBefore(const Lexer &lx, std::size_t i)
{
    return i > lx.pieceStart ? lx.window[i - 1] : lx.previous;
}

// Inside a token: runs i over the bytes for which in(c) holds, then makes n
// bytes from where it stops readable (or all that remain), running on where
// more of the class came in. False when the piece must go out first (as
// readable). With remember, the byte before i is kept across a piece that
// goes out (byteBefore).
template <typename In>
inline bool runOver(Lexer &lx, std::size_t &i, In in, std::size_t n = 1, bool remember = false)
{
    for (;;) {
        const char *w = lx.window;
        while (in(w[i]))
            ++i;
        if (i + n <= lx.end || lx.ended)
            return true;
        if (remember)
            lx.previous = byteBefore(lx, i);
        lx.pos = i;
        if (!ensureAhead(lx, n))
            return false;
        i = lx.pos;
    }
}

// Inside a quoted literal whose body starts at i: runs i past its closing
// quote, or to a line feed or the input's end that leaves it unterminated;
// escape (0: none) takes the byte after it, a line feed but when multiline.
// Stops (true) at a byte for which stop(c) holds too, for the module to
// decide (the start of an interpolation, a CR of a CR LF); bodyEnd tells
// where the body ended. False when the piece must go out first.
template <typename StopAt>
inline bool quotedRun(Lexer &lx, std::size_t &i, char quote, char escape, bool multiline, StopAt stop)
{
    for (;;) {
        const char *w = lx.window;
        while (w[i] != quote && w[i] != escape && w[i] != '\n' && w[i] != 0 && !stop(w[i]))
            ++i;
        if (i + 2 > lx.end && !lx.ended) {
            lx.pos = i;
            if (!ensureAhead(lx, 2))
                return false;
            i = lx.pos;
            continue;
        }
        const char c = w[i];
        if (i >= lx.end)
            return true;
        if (c == quote) {
            ++i;
            return true;
        }
        if (stop(c))
            return true;
        if (c == '\n') {
            if (!multiline)
                return true;
            newLine(lx, i);
            ++i;
        } else if (c == escape && escape != 0) {
            if (i + 1 >= lx.end || (w[i + 1] == '\n' && !multiline))
                ++i;
            else if (w[i + 1] == '\n')
                newLine(lx, i + 1), i += 2;
            else
                i += 2;
        } else {
            ++i;  // a zero byte of the text
        }
    }
}

inline bool quotedRun(Lexer &lx, std::size_t &i, char quote, char escape, bool multiline)
{
    return quotedRun(lx, i, quote, escape, multiline, [](char) { return false; });
}

// --- Layout -----------------------------------------------------------------

// Skips the bytes for which blank(c) holds from window offset i, counting the
// line feeds among them (blank says whether a line feed is layout).
template <typename Blank>
inline void skipBlanks(Lexer &lx, std::size_t &i, Blank blank)
{
    const char *w = lx.window;
    while (blank(w[i])) {
        if (w[i] == '\n')
            newLine(lx, i);
        ++i;
    }
}

// True when window offset i is the source's start and a UTF-8 byte order
// mark stands there, which is layout.
inline bool byteOrderMarkAt(const Lexer &lx, std::size_t i)
{
    return lx.base + static_cast<std::int64_t>(i) == 0 && std::memcmp(lx.window, "\xEF\xBB\xBF", 3) == 0;
}

// What layout stops at when the byte at i is no layout: a token, or the end.
inline Stop tokenOrEnd(const Lexer &lx, std::size_t i)
{
    return i < lx.end ? Stop::Token : Stop::InputEnd;
}

// A "//" (line) or "/*" (block) comment at pos, for layout: true when its
// words are tokens (the caller stops at Stop::Comment); else skips it and
// leaves i after it.
inline bool commentIsToken(Lexer &lx, std::size_t &i, bool block)
{
    if (lx.options.comments)
        return true;
    if (block)
        skipBlockComment(lx);
    else
        skipLineComment(lx);
    i = lx.pos;
    return false;
}

// Opens a comment that runs to its line's end and whose opener ("#", "'",
// "--") is length bytes at pos; its words are tokens (commentStep).
inline void openLineComment(Lexer &lx, std::size_t length)
{
    lx.commentIsBlock = false;
    lx.commentLineStart = false;
    lx.commentPlace = placeAt(lx, lx.pos);
    lx.pos += length;
    lx.mode = LexMode::LineComment;
}

// --- Steps ------------------------------------------------------------------

// Ends a token at window offset i: hands out its last piece. Always true.
inline bool finishAt(Lexer &lx, TokenPiece &piece, std::size_t i)
{
    lx.pos = i;
    finishToken(lx, piece);
    return true;
}

// A mode that the module has no step of: back between tokens.
inline bool unknownMode(Lexer &lx)
{
    lx.mode = LexMode::Between;
    return false;
}

// A module's steps, one static procedure a mode, each true when piece is
// filled. Steps derives from KitSteps<Steps>, states its skipLayout and its
// startToken, and hides the defaults below that it has its own of.
template <typename Steps>
struct KitSteps {
    // Between tokens: layout, then what it stopped at.
    static bool between(Lexer &lx, TokenPiece &piece)
    {
        switch (Steps::skipLayout(lx)) {
        case Stop::Token: return Steps::startToken(lx, piece);
        case Stop::Comment: return Steps::openComment(lx, piece);
        case Stop::DirectiveEnd: return Steps::directiveEnd(lx, piece);
        case Stop::InputEnd: return Steps::inputEnd(lx, piece);
        }
        return false;
    }
    // A comment whose words are tokens, at pos: "//" or "/*".
    static bool openComment(Lexer &lx, TokenPiece &)
    {
        ::openComment(lx);
        return false;
    }
    static bool directiveEnd(Lexer &lx, TokenPiece &) { return unknownMode(lx); }
    static bool inputEnd(Lexer &lx, TokenPiece &piece)
    {
        finishStream(lx, piece);
        return true;
    }
    static bool name(Lexer &lx, TokenPiece &) { return unknownMode(lx); }
    static bool number(Lexer &lx, TokenPiece &) { return unknownMode(lx); }
    static bool quoted(Lexer &lx, TokenPiece &) { return unknownMode(lx); }
    static bool gap(Lexer &lx, TokenPiece &) { return unknownMode(lx); }
    static bool raw(Lexer &lx, TokenPiece &) { return unknownMode(lx); }
    static bool verbatim(Lexer &lx, TokenPiece &) { return unknownMode(lx); }
    static bool interpolated(Lexer &lx, TokenPiece &) { return unknownMode(lx); }
    static bool comment(Lexer &lx, TokenPiece &piece) { return commentStep(lx, piece); }
    static bool word(Lexer &lx, TokenPiece &piece) { return wordStep(lx, piece); }
    static bool line(Lexer &lx, TokenPiece &piece) { return lineTokenStep(lx, piece, false); }
};

// One step of the lexer whose steps are Steps; true when piece is filled.
template <typename Steps>
inline bool kitStep(Lexer &lx, TokenPiece &piece)
{
    switch (lx.mode) {
    case LexMode::Between: return Steps::between(lx, piece);
    case LexMode::Name: return Steps::name(lx, piece);
    case LexMode::Number: return Steps::number(lx, piece);
    case LexMode::Quoted: return Steps::quoted(lx, piece);
    case LexMode::Gap: return Steps::gap(lx, piece);
    case LexMode::Raw: return Steps::raw(lx, piece);
    case LexMode::Verbatim: return Steps::verbatim(lx, piece);
    case LexMode::Interpolated: return Steps::interpolated(lx, piece);
    case LexMode::BlockComment: case LexMode::LineComment: return Steps::comment(lx, piece);
    case LexMode::Word: return Steps::word(lx, piece);
    case LexMode::Line: return Steps::line(lx, piece);
    case LexMode::Finished: finishStream(lx, piece); return true;
    }
    return unknownMode(lx);
}

// The next piece: steps until one is filled (LexerHooks::next).
template <typename Steps>
void kitNext(Lexer &lx, TokenPiece &piece)
{
    while (!kitStep<Steps>(lx, piece)) {
    }
}

// Makes the language's fresh State (LexerHooks::start).
template <typename State>
void kitStart(Lexer &lx)
{
    startLanguageState<State>(lx);
}

// --- Pieces made apart from the window ---------------------------------------

// Fills piece with length bytes that are no stretch of the window (a fixed
// text, a key made apart) as the current token's next piece, its last when
// last.
inline void textPiece(Lexer &lx, TokenPiece &piece, const char *bytes, std::size_t length, bool last)
{
    piece.kind = lx.kind;
    piece.first = lx.firstPiece;
    piece.last = last;
    piece.place = lx.place;
    piece.bytes = bytes;
    piece.length = length;
    lx.firstPiece = last;
}

// Hands out bytes, made apart, as the current token's last piece
// (textPiece), the token ending at window offset at, where the lexer goes
// on between tokens. Always true.
inline bool finishText(Lexer &lx, TokenPiece &piece, const char *bytes, std::size_t length, std::size_t at)
{
    textPiece(lx, piece, bytes, length, true);
    lx.pos = lx.pieceStart = at;
    markEnd(lx, at);
    lx.mode = LexMode::Between;
    return true;
}

// --- The layout loop ---------------------------------------------------------

// Skips layout from pos (Steps::skipLayout): the bytes for which blank(c)
// holds, line feeds counted, and then, at a byte that is none and with
// kLexLookahead bytes readable after it (or all that remain), what
// skip(lx, i, stop) says is layout too: it returns true having moved i past
// that (a comment, a byte order mark), or false where layout ends at i,
// having set stop when that is no token's first byte (Stop::Comment).
// Leaves pos and pieceStart where it stopped.
template <typename Blank, typename Skip>
inline Stop layoutUntil(Lexer &lx, Blank blank, Skip skip)
{
    std::size_t i = lx.pos;
    for (;;) {
        skipBlanks(lx, i, blank);
        if (refillShort(lx, i))
            continue;
        lx.pos = lx.pieceStart = i;
        Stop stop = tokenOrEnd(lx, i);
        if (!skip(lx, i, stop))
            return stop;
    }
}

// --- Line ends inside a literal ------------------------------------------------

// Inside a literal whose key keeps its line ends as line feeds, at a CR or
// LF at window offset i (with the byte after it readable): counts a line
// feed, and drops the CR of a CR LF from the key (dropReturn); i then stands
// after the line end, or after a lone CR, which is a byte of the text. True
// when piece was filled with the piece before the CR: the scan goes on from
// pos, at the LF.
inline bool literalLineEnd(Lexer &lx, TokenPiece &piece, std::size_t &i)
{
    if (lx.window[i] == '\r' && lx.window[i + 1] == '\n') {
        if (dropReturn(lx, piece, i))
            return true;
        i = lx.pos;
    }
    if (lx.window[i] == '\n')
        newLine(lx, i);
    ++i;
    return false;
}

#endif
