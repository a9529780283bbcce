// The Java lexer: tokens as the compiler reads them, longest match first;
// blanks, line ends and comments between them dropped.
//
// Choices beyond the plain lexical rules:
// - a run of '>' comes out one '>' at a time, as the compiler splits ">>" and
//   ">>>" where type arguments close; ">=", ">>=" and ">>>=" stay whole, so
//   only "> >" and ">>" (and the like), which no valid program tells apart,
//   become equal;
// - a number takes every name byte and dot that follows it, and a sign after
//   an exponent letter ('e' in a decimal number, 'p' in a hexadecimal one);
//   "non-sealed" is one token;
// - a text block's key is its content after the compiler's removal of
//   incidental indentation (JLS 3.10.6: the least indentation of its non-blank
//   lines and of its closing line, trailing blanks of every line dropped), its
//   line ends written as line feeds and its escapes as written. A text block
//   holding a Unicode escape, or a line whose first byte after its blanks may
//   be Unicode white space, keeps its lines as written; one that does not fit
//   the window comes out exactly as written (a false alarm at worst);
// - Unicode escapes (\uXXXX) are not translated. Where one may change what
//   the compiler reads (outside a literal, a quote, a backslash or a line end
//   in a literal, a line end in a line comment, '*' or '/' in a block
//   comment), the rest of the source from the token or comment that holds it
//   is one token, exactly as written: any edit there is a difference;
// - a lone CR ends a line as the compiler reads it; places count line feeds.
#include <algorithm>
#include <cstring>

#include "languages/java/state.h"
#include "tokens/kit.h"
#include "tokens/lexer.h"
#include "tokens/sorted_imports.h"

namespace {

// A Java blank between tokens (a line feed is counted apart).
inline bool isJavaBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\f' || c == '\r';
}

// Layout between tokens: blanks and line feeds.
inline bool isJavaLayout(char c)
{
    return isJavaBlank(c) || c == '\n';
}

inline bool isNameByte(char c)
{
    return (byteClass(c) & kNameC) != 0;
}

// White space the compiler removes as incidental indentation in a text block.
inline bool isIndentBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f')
        return (c | 0x20) - 'a' + 10;
    return -1;
}

constexpr long kNoEscape = -1;   // the backslash starts no Unicode escape
constexpr long kBadEscape = -2;  // a malformed escape, or one too long to read

// The value of the Unicode escape at p (a backslash), n bytes readable there.
long escapeValue(const char *p, std::size_t n)
{
    if (n < 2 || p[1] != 'u')
        return kNoEscape;
    std::size_t j = 1;
    while (j < n && p[j] == 'u')
        ++j;
    if (j + 4 > n)
        return kBadEscape;
    long v = 0;
    for (std::size_t k = j; k < j + 4; ++k) {
        int h = hexValue(p[k]);
        if (h < 0)
            return kBadEscape;
        v = v * 16 + h;
    }
    return v;
}

// What a Unicode escape at window offset i may do where it stands.
enum class EscapeIn { Literal, LineComment, BlockComment };

// True when the backslash at window offset i starts a Unicode escape that may
// change what the compiler reads there (a malformed one counts).
bool dangerousEscape(const Lexer &lx, std::size_t i, EscapeIn where)
{
    long v = escapeValue(lx.window + i, lx.end - i);
    switch (where) {
    case EscapeIn::Literal: return v == kBadEscape || v == '"' || v == '\'' || v == '\\' || v == '\n' || v == '\r';
    case EscapeIn::LineComment: return v == kBadEscape || v == '\n' || v == '\r';
    case EscapeIn::BlockComment: return v == kBadEscape || v == '*' || v == '/';
    }
    return true;
}

// Goes on with the current token as one that runs to kind's end, exactly as
// written.
bool verbatimStep(Lexer &lx, TokenPiece &piece);

// Makes the current token, from pieceStart on, run to the input's end.
bool startTail(Lexer &lx, TokenPiece &piece)
{
    javaState(lx).verbatim = JavaVerbatim::Tail;
    lx.mode = LexMode::Verbatim;
    return verbatimStep(lx, piece);
}

bool verbatimStep(Lexer &lx, TokenPiece &piece)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        if (!readable(lx, i, kLexLookahead))
            return pauseAt(lx, piece, lx.pos);
        if (i >= lx.end)
            break;
        char c = w[i];
        JavaVerbatim kind = javaState(lx).verbatim;
        if (kind == JavaVerbatim::LineComment && (c == '\n' || c == '\r'))
            break;
        if (c == '\n')
            newLine(lx, i);
        if (kind == JavaVerbatim::BlockComment && c == '*' && w[i + 1] == '/') {
            i += 2;
            break;
        }
        if (kind == JavaVerbatim::TextBlock && c == '"' && w[i + 1] == '"' && w[i + 2] == '"') {
            i += 3;
            break;
        }
        if (c == '\\' && kind != JavaVerbatim::Tail) {
            EscapeIn where = kind == JavaVerbatim::LineComment    ? EscapeIn::LineComment
                             : kind == JavaVerbatim::BlockComment ? EscapeIn::BlockComment
                                                                  : EscapeIn::Literal;
            if (w[i + 1] == 'u' && dangerousEscape(lx, i, where))
                javaState(lx).verbatim = JavaVerbatim::Tail;
            else if (kind == JavaVerbatim::TextBlock && (w[i + 1] == '"' || w[i + 1] == '\\'))
                ++i;
        }
        ++i;
    }
    return finishAt(lx, piece, i);
}

// Looks over the comment at pos ("//" or "/*") without moving past it; on
// Fits, endAt is the window offset of its end (after "*/"; at the CR or LF
// that ends a line comment, or the input's end), lines its line feeds and
// lastLine the window offset of the last one. May move the window.
CommentLook lookOverComment(Lexer &lx, std::size_t &endAt, std::int64_t &lines, std::size_t &lastLine)
{
    const bool block = lx.window[lx.pos + 1] == '*';
    for (;;) {
        const char *w = lx.window;
        std::size_t i = lx.pos + 2;
        lines = 0;
        for (;;) {
            if (i + kLexLookahead > lx.end && !lx.ended)
                break;
            if (i >= lx.end) {
                endAt = i;
                return block ? CommentLook::Dangerous : CommentLook::Fits;
            }
            char c = w[i];
            if (block && c == '*' && w[i + 1] == '/') {
                endAt = i + 2;
                return CommentLook::Fits;
            }
            if (!block && (c == '\n' || c == '\r')) {
                endAt = i;
                return CommentLook::Fits;
            }
            if (c == '\n') {
                ++lines;
                lastLine = i;
            } else if (c == '\\' && w[i + 1] == 'u' &&
                       dangerousEscape(lx, i, block ? EscapeIn::BlockComment : EscapeIn::LineComment)) {
                return CommentLook::Dangerous;
            }
            ++i;
        }
        if (lx.pos == 0)
            return CommentLook::Long;
        lx.pieceStart = lx.pos;
        refill(lx, lx.pos);
    }
}

// Looks over the comment at pos for layout: true when it is skipped (pos
// after it, its line feeds counted), else notes what was found (look,
// commentEnd) for openComment. May move the window.
bool skipsComment(Lexer &lx)
{
    std::size_t endAt = 0, lastLine = 0;
    std::int64_t lines = 0;
    JavaLexState &j = javaState(lx);
    j.look = lookOverComment(lx, endAt, lines, lastLine);
    j.commentEnd = lx.base + static_cast<std::int64_t>(endAt);
    if (j.look != CommentLook::Fits || lx.options.comments)
        return false;
    if (lines > 0) {
        lx.line += lines - 1;
        newLine(lx, lastLine);
    }
    lx.pos = lx.pieceStart = endAt;
    return true;
}

// The comment at pos that layout did not skip: opens its words, or starts
// the token that holds it. True when piece is filled.
bool commentAt(Lexer &lx, TokenPiece &piece)
{
    const CommentLook look = javaState(lx).look;
    const bool block = lx.window[lx.pos + 1] == '*';
    if (look != CommentLook::Fits) {
        beginToken(lx, TokenKind::Code);
        if (look == CommentLook::Dangerous)
            return startTail(lx, piece);
        javaState(lx).verbatim = block ? JavaVerbatim::BlockComment : JavaVerbatim::LineComment;
        lx.mode = LexMode::Verbatim;
        lx.pos += 2;
        return verbatimStep(lx, piece);
    }
    lx.commentIsBlock = block;
    lx.commentLineStart = false;
    lx.pos += 2;
    lx.mode = block ? LexMode::BlockComment : LexMode::LineComment;
    return false;
}

// Goes on with the words of a line comment, which ends at a lone CR too.
bool lineCommentStep(Lexer &lx, TokenPiece &piece)
{
    std::size_t i = lx.pos;
    while (lx.window[i] == ' ' || lx.window[i] == '\t' || lx.window[i] == '\f' || lx.window[i] == '\v')
        ++i;
    if (lx.base + static_cast<std::int64_t>(i) >= javaState(lx).commentEnd) {
        lx.pos = lx.pieceStart = static_cast<std::size_t>(javaState(lx).commentEnd - lx.base);
        lx.mode = LexMode::Between;
        return false;
    }
    lx.pos = i;
    return commentStep(lx, piece);
}

// False when a backslash stands in the run of code bytes (up to a blank, a
// line end or a quote) that starts at pos, or the run is longer than the
// window; otherwise notes the run as clean.
bool cleanRun(Lexer &lx)
{
    for (;;) {
        const char *w = lx.window;
        std::size_t i = lx.pos;
        while (i < lx.end && !isJavaBlank(w[i]) && w[i] != '\n' && w[i] != '"' && w[i] != '\'' && w[i] != '\\')
            ++i;
        if (i < lx.end || lx.ended) {
            javaState(lx).cleanUntil = lx.base + static_cast<std::int64_t>(i);
            return i >= lx.end || w[i] != '\\';
        }
        if (lx.pos == 0)
            return false;
        lx.pieceStart = lx.pos;
        refill(lx, lx.pos);
    }
}

// Goes on with a run of name bytes that ends the current token.
bool nameStep(Lexer &lx, TokenPiece &piece)
{
    std::size_t i = lx.pos;
    if (!runOver(lx, i, isNameByte))
        return pauseAt(lx, piece, lx.pos);
    const char *w = lx.window;
    // "non-sealed" is one keyword; "non - sealed" is a subtraction.
    if (lx.firstPiece && i - lx.pieceStart == 3 && std::memcmp(w + lx.pieceStart, "non-sealed", 3) == 0 &&
        std::memcmp(w + i, "-sealed", 7) == 0 && !(byteClass(w[i + 7]) & kNameC))
        i += 7;
    return finishAt(lx, piece, i);
}

// Goes on with a number: name bytes, dots, and a sign after an exponent letter.
bool numberStep(Lexer &lx, TokenPiece &piece)
{
    std::size_t i = lx.pos;
    for (;;) {
        if (!runOver(lx, i, [](char c) { return (byteClass(c) & (kNameC | kDot)) != 0; }, 2, true))
            return pauseAt(lx, piece, lx.pos);
        const char before = static_cast<char>(byteBefore(lx, i) | 0x20);
        const bool exponent = javaState(lx).hexNumber ? before == 'p' : before == 'e';
        const char c = lx.window[i];
        if ((c != '+' && c != '-') || !exponent)
            return finishAt(lx, piece, i);
        ++i;
    }
}

// Goes on with a string or character literal to its closing quote, or to the
// line end or the input's end when it has none.
bool quotedStep(Lexer &lx, TokenPiece &piece)
{
    const char q = lx.quote;
    std::size_t i = lx.pos;
    for (;;) {
        if (!runOver(lx, i, [](char c) { return !(byteClass(c) & kQuotedStop); }, kLexLookahead))
            return pauseAt(lx, piece, lx.pos);
        const char *w = lx.window;
        const char c = w[i];
        if (c == q) {
            ++i;
            break;
        }
        if (c == '\n' || c == '\r' || i >= lx.end)
            break;
        if (c == '\\' && w[i + 1] == 'u' && dangerousEscape(lx, i, EscapeIn::Literal)) {
            lx.pos = i;
            return startTail(lx, piece);
        }
        // An escape takes the byte after it, unless that ends the line.
        i += c == '\\' && w[i + 1] != '\n' && w[i + 1] != '\r' && i + 1 < lx.end ? 2 : 1;
    }
    return finishAt(lx, piece, i);
}

// Window offset of the end of the text block line that starts at i: its CR
// or LF, or the closing quotes.
std::size_t lineEndOf(const Lexer &lx, std::size_t i)
{
    while (i < javaState(lx).blockClose && lx.window[i] != '\n' && lx.window[i] != '\r')
        ++i;
    return i;
}

// Looks over the text block content from window offset from to the closing
// quotes at close: sets blockIndent and blockStrict. False when it holds a
// Unicode escape that may end it early.
bool measureTextBlock(Lexer &lx, std::size_t from)
{
    JavaLexState &j = javaState(lx);
    const char *w = lx.window;
    j.blockStrict = false;
    j.blockIndent = static_cast<std::size_t>(-1);
    for (std::size_t i = from; i < j.blockClose; ++i)
        if (w[i] == '\\' && w[i + 1] == 'u') {
            if (dangerousEscape(lx, i, EscapeIn::Literal))
                return false;
            j.blockStrict = true;
        }
    for (std::size_t line = from;;) {
        std::size_t end = lineEndOf(lx, line), k = line;
        while (k < end && isIndentBlank(w[k]))
            ++k;
        unsigned char first = static_cast<unsigned char>(w[k]);
        if (k < end && (first >= 0x80 || (first >= 0x1c && first <= 0x1f)))
            j.blockStrict = true;  // may be white space the compiler removes
        if (k < end || end == j.blockClose)
            j.blockIndent = std::min(j.blockIndent, k - line);
        if (end == j.blockClose)
            break;
        line = end + (w[end] == '\r' && w[end + 1] == '\n' ? 2 : 1);
    }
    if (j.blockStrict)
        j.blockIndent = 0;
    return true;
}

// Hands out the next piece of a text block held whole in the window.
bool textBlockStep(Lexer &lx, TokenPiece &piece)
{
    JavaLexState &j = javaState(lx);
    const char *w = lx.window;
    for (;;) {
        switch (j.phase) {
        case TextBlockPhase::Open:
            textPiece(lx, piece, "\"\"\"\n", 4, false);
            j.phase = TextBlockPhase::Line;
            return true;
        case TextBlockPhase::Line: {
            std::size_t end = lineEndOf(lx, j.blockLine), from = j.blockLine, to = end;
            if (!j.blockStrict) {
                while (to > from && isIndentBlank(w[to - 1]))
                    --to;
                from = std::min(from + j.blockIndent, to);
            }
            j.blockLineEnd = end;
            j.phase = end == j.blockClose ? TextBlockPhase::Close : TextBlockPhase::Break;
            if (to > from) {
                setPiece(lx, piece, from, to, false);
                return true;
            }
            break;
        }
        case TextBlockPhase::Break: {
            std::size_t end = j.blockLineEnd;
            if (w[end] == '\r' && w[end + 1] == '\n')
                ++end;
            if (w[end] == '\n')
                newLine(lx, end);
            j.blockLine = end + 1;
            j.phase = TextBlockPhase::Line;
            textPiece(lx, piece, "\n", 1, false);
            return true;
        }
        case TextBlockPhase::Close:
            return finishText(lx, piece, "\"\"\"", 3, j.blockClose + 3);
        }
    }
}

// Starts the text block whose opening quotes are at pos, the token begun.
bool textBlockStart(Lexer &lx, TokenPiece &piece)
{
    if (lx.pos > 0)
        refill(lx, lx.pos);
    const char *w = lx.window;
    std::size_t i = lx.pos + 3;
    while (i < lx.end && (w[i] == ' ' || w[i] == '\t' || w[i] == '\f'))
        ++i;
    if (w[i] != '\n' && w[i] != '\r')
        return startTail(lx, piece);  // no line end after the opening quotes: the compiler rejects it
    std::size_t from = i + (w[i] == '\r' && w[i + 1] == '\n' ? 2 : 1);
    for (i = from; i + 3 <= lx.end; ++i) {
        if (w[i] == '\\' && (w[i + 1] == '"' || w[i + 1] == '\\'))
            ++i;
        else if (w[i] == '"' && w[i + 1] == '"' && w[i + 2] == '"')
            break;
    }
    if (i + 3 > lx.end) {
        if (lx.ended)
            return startTail(lx, piece);  // never closed
        javaState(lx).verbatim = JavaVerbatim::TextBlock;
        lx.mode = LexMode::Verbatim;
        lx.pos += 3;
        return verbatimStep(lx, piece);
    }
    javaState(lx).blockClose = i;
    if (!measureTextBlock(lx, from))
        return startTail(lx, piece);
    javaState(lx).blockLine = from;
    javaState(lx).phase = TextBlockPhase::Open;
    for (std::size_t k = lx.pos; k < from; ++k)
        if (w[k] == '\n')
            newLine(lx, k);
    lx.mode = LexMode::Raw;
    return textBlockStep(lx, piece);
}

// Starts a string, character literal or text block at pos.
bool quotedStart(Lexer &lx, TokenPiece &piece)
{
    const char *w = lx.window + lx.pos;
    if (w[0] == '"' && w[1] == '"') {
        if (w[2] == '"')
            return textBlockStart(lx, piece);
        if (w[2] == '\\')
            return startTail(lx, piece);  // an escaped quote may make it a text block
    }
    lx.quote = w[0];
    ++lx.pos;
    lx.mode = LexMode::Quoted;
    return quotedStep(lx, piece);
}

// Bytes of the operator or separator at p by longest match; a '>' alone.
std::size_t operatorLength(const char *p)
{
    char a = p[1];
    switch (p[0]) {
    case '+': return a == '+' || a == '=' ? 2 : 1;
    case '-': return a == '-' || a == '=' || a == '>' ? 2 : 1;
    case '*': case '/': case '^': case '!': case '=': case '%': return a == '=' ? 2 : 1;
    case '&': return a == '&' || a == '=' ? 2 : 1;
    case '|': return a == '|' || a == '=' ? 2 : 1;
    case ':': return a == ':' ? 2 : 1;
    case '.': return a == '.' && p[2] == '.' ? 3 : 1;
    case '<':
        if (a == '<')
            return p[2] == '=' ? 3 : 2;
        return a == '=' ? 2 : 1;
    default: return 1;
    }
}

// Bytes of the token at a '>' at p: ">>>=", ">>=" and ">=" whole, any other
// '>' alone, the rest of a ">>" or ">>>" counted in splitRest.
std::size_t greaterLength(Lexer &lx, const char *p)
{
    int &rest = javaState(lx).splitRest;
    if (rest > 0) {
        --rest;
        return 1;
    }
    if (p[1] == '>' && p[2] == '>')
        rest = p[3] == '=' ? 0 : 2;
    else if (p[1] == '>')
        rest = p[2] == '=' ? 0 : 1;
    if (p[1] == '>' && p[2] == '>' && p[3] == '=')
        return 4;
    if (p[1] == '>' && p[2] == '=')
        return 3;
    return p[1] == '=' ? 2 : 1;
}

struct JavaSteps : KitSteps<JavaSteps> {
    // Skips blanks, line ends and the comments that are layout; leaves
    // kLexLookahead bytes readable after pos, or all that remain.
    static Stop skipLayout(Lexer &lx)
    {
        return layoutUntil(lx, isJavaLayout, [](Lexer &lx, std::size_t &i, Stop &stop) {
            const char *w = lx.window;
            if (w[i] != '/' || (w[i + 1] != '/' && w[i + 1] != '*'))
                return false;
            if (!skipsComment(lx)) {
                stop = Stop::Comment;
                return false;
            }
            i = lx.pos;
            return true;
        });
    }

    // Starts the token at pos.
    static bool startToken(Lexer &lx, TokenPiece &piece)
    {
        beginToken(lx, TokenKind::Code);
        if (lx.base + static_cast<std::int64_t>(lx.pos) >= javaState(lx).cleanUntil && !cleanRun(lx))
            return startTail(lx, piece);
        const char *w = lx.window + lx.pos;
        std::uint16_t cls = byteClass(w[0]);
        if ((cls & kDigit) || (w[0] == '.' && (byteClass(w[1]) & kDigit))) {
            javaState(lx).hexNumber = w[0] == '0' && (w[1] | 0x20) == 'x';
            lx.previous = 0;
            lx.mode = LexMode::Number;
            return numberStep(lx, piece);
        }
        if (cls & kNameC) {
            lx.mode = LexMode::Name;
            return nameStep(lx, piece);
        }
        if (w[0] == '"' || w[0] == '\'')
            return quotedStart(lx, piece);
        lx.pos += w[0] == '>' ? greaterLength(lx, w) : operatorLength(w);
        finishToken(lx, piece);
        return true;
    }

    static bool openComment(Lexer &lx, TokenPiece &piece) { return commentAt(lx, piece); }
    static bool name(Lexer &lx, TokenPiece &piece) { return nameStep(lx, piece); }
    static bool number(Lexer &lx, TokenPiece &piece) { return numberStep(lx, piece); }
    static bool quoted(Lexer &lx, TokenPiece &piece) { return quotedStep(lx, piece); }
    static bool raw(Lexer &lx, TokenPiece &piece) { return textBlockStep(lx, piece); }
    static bool verbatim(Lexer &lx, TokenPiece &piece) { return verbatimStep(lx, piece); }
    static bool comment(Lexer &lx, TokenPiece &piece)
    {
        return lx.mode == LexMode::LineComment ? lineCommentStep(lx, piece) : commentStep(lx, piece);
    }
};

} // namespace

extern const LexerHooks kJavaLexer = {kitStart<JavaLexState>, kitNext<JavaSteps>, nullptr, &kJavaImports, false,
                                      nullptr};
