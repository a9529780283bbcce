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

// --- Keys built in the module's state ---

// For a lexer that copies each token's key into its own state, so that no
// window byte before the scan is kept: when fewer than n bytes stand readable
// after window offset i and the input goes on, refills the window keeping the
// bytes from i on; i (which may be pos itself) and pos then stand where the
// same byte now is.
inline void refillAhead(Lexer &lx, std::size_t &i, std::size_t n = kLexLookahead)
{
    if (lx.end - i < n && !lx.ended) {
        lx.pos = lx.pieceStart = i;
        refill(lx, i);
        i = lx.pos;
    }
}

// --- UTF-8 ---

// Writes code point cp (at most 0x10FFFF) to out as UTF-8; the bytes written,
// 1 to 4. Whether cp is a character (no surrogate) is the caller's to check.
inline std::size_t utf8Encode(std::uint32_t cp, char *out)
{
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

// --- Tokens handed out whole ---

// Fills piece with a whole token of kind at place, its key the length bytes
// at bytes (which may hold zero bytes), as a module that reads its whole
// source, or builds a token's key in its own state, hands one out.
inline void wholePiece(TokenPiece &piece, TokenKind kind, const char *bytes, std::size_t length, TokenPlace place)
{
    piece.kind = kind;
    piece.first = piece.last = true;
    piece.place = place;
    piece.bytes = bytes;
    piece.length = length;
}

#endif
