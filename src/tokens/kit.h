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
// words, and the End piece. kitStart<State> and kitNext<Steps> go into the
// module's LexerHooks record, which the language table names.
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

// --- A piece from outside the window ----------------------------------------

// Fills piece with n bytes of text that no window byte spells (a decoded
// escape, a mark), as the current token's next piece.
inline void textPiece(Lexer &lx, TokenPiece &piece, const char *text, std::size_t n, bool last)
{
    piece.kind = lx.kind;
    piece.first = lx.firstPiece;
    piece.last = last;
    piece.place = lx.place;
    piece.bytes = text;
    piece.length = n;
    lx.firstPiece = last;
}

// --- A skip to a byte class -------------------------------------------------

// Skips from window offset i to the first byte for which stop(c) holds (a
// comment's end other than a lone line feed), or to the input's end; pos
// ends there. Counts no line feeds: stop holds for '\n' where one may come.
template <typename StopAt>
inline void skipUntil(Lexer &lx, std::size_t i, StopAt stop)
{
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

// --- The rest of the input as one token -------------------------------------

// Goes on with a token that takes the rest of the input from pieceStart
// (where a source stops reading as its language), counting its line feeds.
// Without a mark, its last piece ends at the input's end and the lexer goes
// on between tokens; with one, the source's bytes go out first and the mark
// (bytes no window byte spells, which no other token's key ends in) is its
// last piece. True when piece is filled.
inline bool restOfInput(Lexer &lx, TokenPiece &piece, const char *mark = nullptr)
{
    std::size_t i = lx.pos;
    for (;;) {
        for (; i < lx.end; ++i)
            if (lx.window[i] == '\n')
                newLine(lx, i);
        lx.pos = i;
        if (mark && i > lx.pieceStart) {
            setPiece(lx, piece, lx.pieceStart, i, false);
            lx.pieceStart = i;
            return true;
        }
        if (lx.ended) {
            if (!mark)
                return finishAt(lx, piece, i);
            textPiece(lx, piece, mark, std::strlen(mark), true);
            markEnd(lx, i);
            lx.mode = LexMode::Between;
            return true;
        }
        if (!ensureAhead(lx, 1))
            return pauseAt(lx, piece, lx.pos);
        i = lx.pos;
    }
}

// --- A table of byte classes ------------------------------------------------

// A value of type T for each byte, made at compile time from classOf(c) for
// c from 0 to 255 (a module's byte classes).
template <typename T>
struct ByteTable {
    T of[256];
    constexpr T operator[](char c) const { return of[static_cast<unsigned char>(c)]; }
};

template <typename T, typename ClassOf>
constexpr ByteTable<T> byteTable(ClassOf classOf)
{
    ByteTable<T> t{};
    for (int c = 0; c < 256; ++c)
        t.of[c] = classOf(c);
    return t;
}

// --- Where layout stops -----------------------------------------------------

// Between tokens, at window offset i after layout's blanks: true when the
// window was refilled (refillShort) or, at the source's first look (with
// started, which it then sets), a byte order mark passed, i after it: the
// caller looks again. Else false, pos and pieceStart standing at i.
inline bool layoutAt(Lexer &lx, std::size_t &i, bool *started = nullptr)
{
    if (refillShort(lx, i))
        return true;
    lx.pos = lx.pieceStart = i;
    if (!started || *started)
        return false;
    *started = true;
    if (!byteOrderMarkAt(lx, i))
        return false;
    i = 3;
    return true;
}

// --- Blanks that matter -----------------------------------------------------

// As skipBlanks, and true when i stood at a blank (a module that notes that
// a blank went by: a separation, a blank that may count).
template <typename Blank>
inline bool blanksAt(Lexer &lx, std::size_t &i, Blank blank)
{
    if (!blank(lx.window[i]))
        return false;
    skipBlanks(lx, i, blank);
    return true;
}


// --- Refilling with bytes kept behind ----------------------------------------

// refillShort, but that the window keeps up to behind bytes before i as well
// (as many as it holds), for a token start that looks back at what stands
// before it.
inline bool refillShortBehind(Lexer &lx, std::size_t &i, std::size_t behind)
{
    if (lx.end - i >= kLexLookahead || lx.ended)
        return false;
    lx.pos = lx.pieceStart = i;
    refill(lx, i > behind ? i - behind : 0);
    i = lx.pos;
    return true;
}

// --- Line ends inside a literal ---------------------------------------------

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

// Inside a literal that runs over lines, at window offset i where its scan
// stopped on a byte that does not close it: ends the token at the input's
// end; else as literalLineEnd (a line feed counted, the CR of a CR LF
// dropped), stepping over any other byte (a lone CR, a zero byte of the
// text). True when piece is filled; else the scan goes on from i.
inline bool literalLineByte(Lexer &lx, TokenPiece &piece, std::size_t &i)
{
    if (i >= lx.end)
        return finishAt(lx, piece, i);
    return literalLineEnd(lx, piece, i);
}

// --- Doubled quotes ---------------------------------------------------------

// Inside a quoted literal in which a doubled quote stands for one, at window
// offset i: runs i past its closing quote (Done), or to a line feed, the
// input's end or a byte for which stop(c) holds (Unterminated: the module
// decides, a literal that runs over lines with literalLineByte), passing
// over zero bytes of the text. Two bytes stand readable where it stops, or
// all that remain; Paused when the piece must go out first (pauseAt(lx,
// piece, lx.pos)).
template <typename StopAt>
inline Step doubledQuoteRun(Lexer &lx, std::size_t &i, char quote, StopAt stop)
{
    const char *w = lx.window;
    for (;;) {
        while (w[i] != quote && w[i] != '\n' && w[i] != 0 && !stop(w[i]))
            ++i;
        if (!readable(lx, i, 2))
            return Step::Paused;
        if (i >= lx.end)
            return Step::Unterminated;
        if (w[i] == quote) {
            if (w[i + 1] != quote) {
                ++i;
                return Step::Done;
            }
            i += 2;
        } else if (w[i] == '\n' || stop(w[i])) {
            return Step::Unterminated;
        } else {
            ++i;  // a zero byte of the text, or one that came in with the window
        }
    }
}

// Inside a quoted literal in which a doubled quote stands for one, from pos
// (a mode's step): hands out its next piece, its last after its closing
// quote. One that meets the input's end, or, unless multiline, a line end (a
// line feed, a CR LF), ends there unterminated; a multiline one counts its
// line feeds and leaves out the CR of each CR LF. True when piece is filled.
inline bool doubledQuoteStep(Lexer &lx, TokenPiece &piece, char quote, bool multiline)
{
    std::size_t i = lx.pos;
    for (;;) {
        switch (doubledQuoteRun(lx, i, quote, [](char c) { return c == '\r'; })) {
        case Step::Paused: return pauseAt(lx, piece, lx.pos);
        case Step::Done: return finishAt(lx, piece, i);
        case Step::Unterminated: break;
        }
        if (multiline) {
            if (literalLineByte(lx, piece, i))
                return true;
        } else if (lx.window[i] == '\r' && lx.window[i + 1] != '\n') {
            ++i;  // a lone CR is text
        } else {
            return finishAt(lx, piece, i);
        }
    }
}

// --- Literals that end at their line's end ---------------------------------

// Inside a quoted literal that stays on its line, at window offset i: runs i
// past its closing quote (Done), or to a line feed, a CR LF or the input's
// end, which leave it unterminated (Unterminated, i at that line end); the
// escape byte (0: none) takes the byte after it, but a line feed or the
// input's end.
// stops(c) is the module's test of the bytes that end a plain run: it holds
// for the quote, the escape, '\n', '\r' and the zero byte at least. Paused,
// with pos at i, when the piece must go out first.
template <typename Stops>
inline Step escapedRun(Lexer &lx, std::size_t &i, char quote, char escape, Stops stops)
{
    const char *w = lx.window;
    for (;;) {
        while (!stops(w[i]))
            ++i;
        if (!readable(lx, i, 2))
            return Step::Paused;
        const char c = w[i];
        if (c == quote) {
            ++i;
            return Step::Done;
        }
        if (c == '\n' || (c == '\r' && w[i + 1] == '\n') || i >= lx.end)
            return Step::Unterminated;
        i += c == escape && escape != 0 && i + 1 < lx.end && w[i + 1] != '\n' ? 2 : 1;
    }
}

// --- Numbers ----------------------------------------------------------------

// Inside a number, at window offset i: runs i over the bytes for which in(c)
// holds, and at a byte c that stops them over the n bytes that more(before,
// c, after) says the number goes on with (a sign after an exponent letter, a
// digit separator and the byte after it; 0: the number ends at c), the byte
// before i kept across a piece that goes out (byteBefore). Leaves i where
// the number ends, two bytes readable from there or all that remain; false
// when the piece must go out first (pauseAt(lx, piece, lx.pos)).
template <typename In, typename More>
inline bool numberRun(Lexer &lx, std::size_t &i, In in, More more)
{
    for (;;) {
        if (!runOver(lx, i, in, 2, true))
            return false;
        const std::size_t n = more(byteBefore(lx, i), lx.window[i], lx.window[i + 1]);
        if (n == 0)
            return true;
        i += n;
    }
}

// --- A module's state -------------------------------------------------------

// The accessor of a module's state of type State, for its state.h:
// `inline constexpr StateOf<XLexState> xState{};` makes xState(lexer) the
// languageState<XLexState> of a lexer, const or not.
template <typename State>
struct StateOf {
    State &operator()(Lexer &lexer) const { return languageState<State>(lexer); }
    const State &operator()(const Lexer &lexer) const { return languageState<State>(lexer); }
};

// --- The last piece made apart ----------------------------------------------

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

// --- Keys built in the module's state -------------------------------------

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

// --- UTF-8 ------------------------------------------------------------------

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

// --- Tokens handed out whole ------------------------------------------------

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

// --- Line ends in the window ------------------------------------------------


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
    skipUntil(lx, lx.pos, stop);
}

// --- Between tokens, with bytes held before the next one --------------------


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

// --- Between the words of a comment -----------------------------------------


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

// --- Block comments in which others nest ------------------------------------


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

// --- A comment that a procedure of the module skips -------------------------


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

#endif
