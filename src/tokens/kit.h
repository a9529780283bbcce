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

// --- Line ends in the window ---

// The window offset of the first line feed from window offset from on, or
// the window's end when none stands there (then the line may run on past
// it, unless the input has ended).
inline std::size_t lineFeedFrom(const Lexer &lx, std::size_t from)
{
    const void *lf = std::memchr(lx.window + from, '\n', lx.end - from);
    return lf ? static_cast<std::size_t>(static_cast<const char *>(lf) - lx.window) : lx.end;
}

// Skips layout from pos to the first byte for which stop(c) holds (not
// included: a line end of the language's, say), or to the input's end; the
// window refills as it goes, nothing before pos kept.
template <typename StopAt>
inline void skipUntil(Lexer &lx, StopAt stop)
{
    std::size_t i = lx.pos;
    for (;;) {
        const char *w = lx.window;
        while (i < lx.end && !stop(w[i]))
            ++i;
        if (i < lx.end || lx.ended) {
            lx.pos = i;
            return;
        }
        lx.pos = lx.pieceStart = i;
        refill(lx, i);
        i = lx.pos;
    }
}

// --- Between tokens, with bytes held before the next one ---

// As refillShort, but that the window keeps its bytes from keep on (keep at
// most i: comments held before the next token, say), and pieceStart stands
// there. True when it refilled; i then stands where the same byte now is.
// The caller tells whether kLexLookahead bytes are readable after i now.
inline bool refillShortKeeping(Lexer &lx, std::size_t &i, std::size_t keep)
{
    if (lx.end - i >= kLexLookahead || lx.ended)
        return false;
    lx.pos = i;
    lx.pieceStart = keep;
    refill(lx, keep);
    i = lx.pos;
    return true;
}

// --- Inside a literal that spans lines ---

// At the byte at window offset i inside a literal's body that a plain run
// stopped at and that is none of the literal's own decisions: counts a line
// feed, drops the CR of a CR LF from the key, ends the token (unterminated)
// at the input's end, and steps over any other byte. True when piece is
// filled, the scan going on from pos next time; else i stands where the
// scan goes on.
inline bool bodyByte(Lexer &lx, TokenPiece &piece, std::size_t &i)
{
    const char *w = lx.window;
    if (w[i] == '\n') {
        newLine(lx, i);
    } else if (w[i] == '\r' && w[i + 1] == '\n') {
        if (dropReturn(lx, piece, i))
            return true;
        i = lx.pos;
        return false;
    } else if (i >= lx.end) {
        finishAt(lx, piece, i);
        return true;
    }
    ++i;
    return false;
}

// --- The rest of the input as one token ---

// Goes on with a token that runs to the input's end from pos, its line feeds
// counted (a strict reading that gives up on the source's structure). True
// when piece is filled.
inline bool restOfInputStep(Lexer &lx, TokenPiece &piece)
{
    std::size_t i = lx.pos;
    for (;;) {
        const char *w = lx.window;
        for (; i < lx.end; ++i)
            if (w[i] == '\n')
                newLine(lx, i);
        lx.pos = i;
        if (lx.ended)
            return finishAt(lx, piece, i);
        if (!ensureAhead(lx, 1))
            return pauseAt(lx, piece, lx.pos);
        i = lx.pos;
    }
}

// --- Between the words of a comment ---

// Skips the bytes for which blank(c) holds from pos, between the words of
// a comment whose words are tokens, keeping two bytes readable after them
// (a closing "*/", a CR LF) unless the input ends first; pos and pieceStart
// stand at the next byte, whose window offset it returns.
template <typename Blank>
inline std::size_t commentBlanks(Lexer &lx, Blank blank)
{
    for (;;) {
        const char *w = lx.window;
        std::size_t i = lx.pos;
        while (blank(w[i]))
            ++i;
        lx.pos = lx.pieceStart = i;
        if (lx.end - i >= 2 || lx.ended)
            return i;
        refill(lx, i);
    }
}

// --- Block comments in which others nest ---

// Skips a "/* */" comment that starts at pos and the ones nested in it,
// counting its line feeds; pos ends after its last "*/", or at the input's
// end, which leaves it unclosed (Lexer::commentUnclosed).
inline void skipNestedComment(Lexer &lx)
{
    const char *w = lx.window;
    const TokenPlace opened = placeAt(lx, lx.pos);
    std::uint64_t depth = 1;
    std::size_t i = lx.pos + 2;
    for (;;) {
        while (!(byteClass(w[i]) & kCommentStop) && w[i] != '/')
            ++i;
        if (i + 1 >= lx.end && !lx.ended) {
            lx.pos = lx.pieceStart = i;
            refill(lx, i);
            i = lx.pos;
            continue;
        }
        if (w[i] == '\n') {
            newLine(lx, i);
            ++i;
        } else if (w[i] == '*' && w[i + 1] == '/') {
            i += 2;
            if (--depth == 0) {
                lx.pos = i;
                return;
            }
        } else if (w[i] == '/' && w[i + 1] == '*') {
            i += 2;
            ++depth;
        } else if (i < lx.end) {
            ++i;  // a lone '*' or '/', or a zero byte of the text
        } else {
            lx.pos = i;
            lx.commentPlace = opened;
            lx.commentUnclosed = true;
            return;
        }
    }
}

// A byte that goes on with a word of a block comment in which others nest
// (a '*' or '/' is looked at with the byte after it).
inline bool inNestedWord(char c)
{
    return !(byteClass(c) & kWordStop) && c != '/';
}

// Goes on with the word open at pos of a block comment in which others
// nest: it ends at a blank, a line end, a "/*" or "*/", or the input's end.
// True (piece filled).
inline bool nestedWordStep(Lexer &lx, TokenPiece &piece)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        if (!runOver(lx, i, inNestedWord, 2))
            return pauseAt(lx, piece, lx.pos);
        const bool marker = (w[i] == '*' && w[i + 1] == '/') || (w[i] == '/' && w[i + 1] == '*');
        if (marker || !(w[i] == '*' || w[i] == '/' || w[i] == 0) || i >= lx.end)
            break;
        ++i;
    }
    finishAt(lx, piece, i);
    lx.mode = LexMode::BlockComment;
    return true;
}

// Goes on with the words of a block comment open at pos in which others
// nest, depth of them open ("/*" and "*/" only separate words; the last
// "*/" ends it); the leading '*' of each line after the first is dropped.
// True when piece is filled.
inline bool nestedCommentStep(Lexer &lx, TokenPiece &piece, std::uint64_t &depth)
{
    const char *w = lx.window;
    for (;;) {
        const std::size_t i = commentBlanks(lx, [](char c) { return (byteClass(c) & kBlank) != 0; });
        if (w[i] == '\n') {
            newLine(lx, i);
            lx.pos = i + 1;
            lx.commentLineStart = true;
            continue;
        }
        const bool leadingStar = lx.commentLineStart && w[i] == '*' && w[i + 1] != '/';
        lx.commentLineStart = false;
        if (leadingStar) {
            lx.pos = i + 1;
        } else if (w[i] == '*' && w[i + 1] == '/') {
            lx.pos = i + 2;
            if (--depth == 0) {
                lx.mode = LexMode::Between;
                return false;
            }
        } else if (w[i] == '/' && w[i + 1] == '*') {
            lx.pos = i + 2;
            ++depth;
        } else if (i >= lx.end) {
            lx.commentUnclosed = true;
            lx.mode = LexMode::Between;
            return false;
        } else {
            beginToken(lx, TokenKind::CommentWord);
            lx.mode = LexMode::Word;
            return nestedWordStep(lx, piece);
        }
    }
}

// --- A comment that a procedure of the module skips ---

// As commentIsToken, for a comment at pos that skip(lx) skips, leaving pos
// after it (a comment with other delimiters, or one in which others nest).
template <typename Skip>
inline bool commentIsTokenOr(Lexer &lx, std::size_t &i, Skip skip)
{
    if (lx.options.comments)
        return true;
    skip(lx);
    i = lx.pos;
    return false;
}

// --- A piece that stands nowhere in the window ---

// Hands out text as the current token's next piece, its last when last: a
// closing quote held back, a stand-in for an empty last piece.
inline void pieceOfText(Lexer &lx, TokenPiece &piece, const char *text, bool last)
{
    piece.kind = lx.kind;
    piece.first = lx.firstPiece;
    piece.last = last;
    piece.place = lx.place;
    piece.bytes = text;
    piece.length = std::strlen(text);
    lx.firstPiece = last;
}

#endif
