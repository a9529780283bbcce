// The C-family lexer: C, C++ and C# tokens by longest match, splices already
// out of the window; blanks, line ends and comments between them dropped.
#include <algorithm>
#include <cstring>

#include "scan/byte_masks.h"
#include "languages/c/state.h"
#include "tokens/kit.h"
#include "tokens/lexer.h"
#include "tokens/sorted_imports.h"
#include "tokens/plain_runs.h"

namespace {

constexpr std::size_t kNoJoin = static_cast<std::size_t>(-1);

// Window offset of the first byte from i on that is not a blank.
inline std::size_t blankEnd(const char *w, std::size_t i)
{
    while (byteClass(w[i]) & kBlank)
        ++i;
    return i;
}

inline bool isNameByte(char c)
{
    return (byteClass(c) & kNameC) != 0;
}

bool isNameStart(char c)
{
    return (byteClass(c) & kNameC) && !(byteClass(c) & kDigit);
}

// Skips blanks, line ends outside a directive, and comments whose words are
// not tokens. Leaves at least kLexLookahead bytes readable after pos, or all
// that remain, and when it moves the window, kLexLookahead bytes before pos
// for afterHasInclude.
Stop skipLayout(Lexer &lx)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        i = blankEnd(w, i);
        if (w[i] == '\n' && cState(lx).directive == Directive::None) {
            newLine(lx, i);
            lx.lineHasToken = false;
            ++i;
            continue;
        }
        if (refillShortBehind(lx, i, kLexLookahead))
            continue;
        lx.pos = lx.pieceStart = i;
        if (w[i] == '\n')
            return Stop::DirectiveEnd;
        if (w[i] == '/' && (w[i + 1] == '*' || w[i + 1] == '/')) {
            if (commentIsToken(lx, i, w[i + 1] == '*'))
                return Stop::Comment;
            continue;
        }
        return tokenOrEnd(lx, i);
    }
}

// Bytes of the punctuator at p by longest match (a ">>" not followed by '='
// counts one: it is two '>' tokens).
std::size_t punctuatorLength(const char *p)
{
    char a = p[1];
    switch (p[0]) {
    case '+': return a == '+' || a == '=' ? 2 : 1;
    case '-':
        if (a == '>')
            return p[2] == '*' ? 3 : 2;
        return a == '-' || a == '=' ? 2 : 1;
    case '*': case '/': case '^': case '!': return a == '=' ? 2 : 1;
    case '=': return a == '=' || a == '>' ? 2 : 1;
    case '&': return a == '&' || a == '=' ? 2 : 1;
    case '|': return a == '|' || a == '=' ? 2 : 1;
    case ':': return a == ':' || a == '>' ? 2 : 1;
    case '#': return a == '#' ? 2 : 1;
    case '?': return a == '?' ? (p[2] == '=' ? 3 : 2) : 1;
    case '.': return a == '.' && p[2] == '.' ? 3 : (a == '*' ? 2 : 1);
    case '>':
        if (a == '>')
            return p[2] == '=' ? 3 : 1;
        return a == '=' ? 2 : 1;
    case '%':
        if (a == ':')
            return p[2] == '%' && p[3] == ':' ? 4 : 2;
        return a == '=' || a == '>' ? 2 : 1;
    case '<':
        if (a == '<' || a == '=')
            return p[2] == (a == '<' ? '=' : '>') ? 3 : 2;
        if (a == ':')  // "<::" not followed by ':' or '>' is '<' then "::"
            return p[2] == ':' && p[3] != ':' && p[3] != '>' ? 1 : 2;
        return a == '%' ? 2 : 1;
    default: return 1;
    }
}

// The directive whose name is the n bytes at name: Define, Include, or Other.
Directive directiveNamed(const char *name, std::size_t n)
{
    auto is = [&](const char *word) { return n == std::strlen(word) && std::memcmp(name, word, n) == 0; };
    if (is("define"))
        return Directive::Define;
    if (is("include") || is("include_next") || is("import"))
        return Directive::Include;
    return Directive::Other;
}

// Notes the directive a name names when it is the second token of a directive.
void classifyDirective(Lexer &lx)
{
    const Directive named = directiveNamed(lx.window + lx.pieceStart, lx.pos - lx.pieceStart);
    if (named != Directive::Other)
        cState(lx).directive = named;
}

// Goes on with a run of name bytes that ends the current token.
bool nameStep(Lexer &lx, TokenPiece &piece)
{
    std::size_t i = lx.pos;
    if (!runOver(lx, i, isNameByte))
        return pauseAt(lx, piece, lx.pos);
    lx.pos = i;
    if (cState(lx).directive != Directive::None && cState(lx).tokenIndex == 1 && lx.firstPiece)
        classifyDirective(lx);
    finishToken(lx, piece);
    return true;
}

bool isExponent(char c)
{
    return c == 'e' || c == 'E' || c == 'p' || c == 'P';
}

// Goes on with a pp-number: name bytes, dots, signs after an exponent letter,
// and digit separators.
bool numberStep(Lexer &lx, TokenPiece &piece)
{
    std::size_t i = lx.pos;
    const auto more = [](char before, char c, char after) -> std::size_t {
        if ((c == '+' || c == '-') && isExponent(before))
            return 1;
        return c == '\'' && (byteClass(after) & kNameC) ? 2 : 0;
    };
    if (!numberRun(lx, i, [](char c) { return (byteClass(c) & (kNameC | kDot)) != 0; }, more))
        return pauseAt(lx, piece, lx.pos);
    return finishAt(lx, piece, i);
}

// Scans an ordinary literal from pos to its closing quote (escapedRun: a
// backslash at a C# line's end, which no splice takes out, leaves it
// unterminated there). Done leaves pos after the quote with the byte after it
// readable; Unterminated leaves pos at the line end or the input's end;
// Paused at the window's end.
Step scanQuoted(Lexer &lx)
{
    std::size_t i = lx.pos;
    const Step s = escapedRun(lx, i, lx.quote, '\\', [](char c) { return (byteClass(c) & kQuotedStop) != 0; });
    if (s != Step::Paused)
        lx.pos = i;
    return s;
}

bool isHexDigit(char c)
{
    return (byteClass(c) & kDigit) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isOctalDigit(char c)
{
    return c >= '0' && c <= '7';
}

// True when the n bytes after an escape's backslash, up to a closing quote,
// are an escape that bytes after them would go on with: \x and hexadecimal
// digits, one or two octal digits, \u or \U short of its digits, or a
// delimited \x{, \o{, \u{ or \N{ that no '}' closes.
bool escapeGoesOn(const char *t, std::size_t n)
{
    if (n >= 2 && t[1] == '{' && (t[0] == 'x' || t[0] == 'o' || t[0] == 'u' || t[0] == 'N'))
        return !std::memchr(t, '}', n);
    if (isOctalDigit(t[0]))
        return n <= 2 && (n == 1 || isOctalDigit(t[1]));
    const std::size_t most = t[0] == 'x' ? n : t[0] == 'u' ? 4 : t[0] == 'U' ? 8 : 0;  // digits it takes
    if (most == 0 || n - 1 > most || (n - 1 == most && t[0] != 'x'))
        return false;
    for (std::size_t k = 1; k < n; ++k)
        if (!isHexDigit(t[k]))
            return false;
    return true;
}

constexpr std::size_t kEscapeLookbehind = 32;  // bytes before a closing quote that tell how an escape ends

// True when the string literal part whose closing quote stands at window
// offset close may end inside an escape that a part joined after it would
// go on with ("\x1" "2" is not "\x12"). Only the kEscapeLookbehind bytes
// before close are read: when they hold no backslash and no quote, only a
// run of hexadecimal digits may go on an escape that starts further back.
// The window holds those bytes or the part's opening quote: a refill inside
// a part comes no sooner than kLexLookahead bytes after its prefix
// (skipLayout leaves that many readable), and one that cuts it keeps
// kEscapeLookbehind bytes before the scan (pauseQuoted).
bool mayEndInEscape(const Lexer &lx, std::size_t close)
{
    const char *w = lx.window;
    const std::size_t limit = close > kEscapeLookbehind ? close - kEscapeLookbehind : 0;
    std::size_t i = close;
    while (i > limit && w[i - 1] != '\\' && w[i - 1] != '"')
        --i;
    if (i == 0)
        return true;  // cannot tell
    if (i == limit) {
        for (std::size_t k = limit; k < close; ++k)
            if (!isHexDigit(w[k]))
                return false;
        return true;
    }
    if (w[i - 1] == '"')
        return false;
    // The last backslash of an odd run starts an escape; of an even one, it is escaped.
    std::size_t run = i - 1;
    while (run > limit && w[run - 1] == '\\')
        --run;
    if (run == limit)
        return true;
    return (i - run) % 2 == 1 && escapeGoesOn(w + i, close - i);
}

// True when the window may show another string literal after the one ending at
// pos, with only layout between; true too when it ends before telling.
bool mayJoinNext(const Lexer &lx)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    while ((byteClass(w[i]) & kBlank) || (w[i] == '\n' && cState(lx).directive == Directive::None))
        ++i;
    if (i >= lx.end)
        return !lx.ended;
    char c = w[i];
    return c == '"' || c == 'L' || c == 'u' || c == 'U' || (c == '/' && (w[i + 1] == '/' || w[i + 1] == '*'));
}

// Bytes before the opening quote of a string literal at pos that joins the
// current one (no prefix, or the same prefix), or kNoJoin.
std::size_t joinPrefix(const Lexer &lx)
{
    const char *w = lx.window + lx.pos;
    if (w[0] == '"')
        return 0;
    if (lx.prefixLength > 0 && std::memcmp(w, lx.prefix, lx.prefixLength) == 0 && w[lx.prefixLength] == '"')
        return lx.prefixLength;
    return kNoJoin;
}

// After a literal's closing quote at pos - 1: its user-defined suffix, if any,
// ends the token; otherwise the token ends there.
bool literalEnd(Lexer &lx, TokenPiece &piece)
{
    if (isNameStart(lx.window[lx.pos])) {
        lx.mode = LexMode::Name;
        return nameStep(lx, piece);
    }
    finishToken(lx, piece);
    return true;
}

// Hands out the closing quote held back from a joined string; the token ends.
bool closeJoin(Lexer &lx, TokenPiece &piece)
{
    lx.mode = LexMode::Between;
    piece.kind = TokenKind::Code;
    piece.first = lx.firstPiece;
    piece.last = true;
    piece.place = lx.place;
    piece.bytes = "\"";
    piece.length = 1;
    lx.firstPiece = true;
    return true;
}

// pauseAt for a literal longer than the window: the piece keeps
// kEscapeLookbehind bytes back, which the window then still holds when the
// literal closes (mayEndInEscape).
bool pauseQuoted(Lexer &lx, TokenPiece &piece)
{
    const std::size_t at = lx.pos;
    const std::size_t cut = at - std::min(at - lx.pieceStart, kEscapeLookbehind);
    if (cut == lx.pieceStart && !lx.firstPiece)
        return false;
    setPiece(lx, piece, lx.pieceStart, cut, false);
    lx.pieceStart = cut;
    return true;
}

// Goes on with an ordinary literal; a string literal hands out its bytes up to
// its closing quote when another may join it.
bool quotedStep(Lexer &lx, TokenPiece &piece)
{
    Step s = scanQuoted(lx);
    if (s == Step::Paused)
        return pauseQuoted(lx, piece);
    if (s == Step::Unterminated) {
        finishToken(lx, piece);
        return true;
    }
    std::size_t after = lx.pos;
    if (!cState(lx).joinable || isNameStart(lx.window[after]) || (cState(lx).joinFirst && !mayJoinNext(lx)) ||
        mayEndInEscape(lx, after - 1))
        return literalEnd(lx, piece);
    markEnd(lx, after);
    lx.mode = LexMode::Gap;
    bool some = after - 1 > lx.pieceStart || lx.firstPiece;
    if (some)
        setPiece(lx, piece, lx.pieceStart, after - 1, false);
    lx.pieceStart = after;
    return some;
}

// True unless the string literal whose opening quote is at window offset
// open ends at a line end or the input's end; moves the window to tell when
// it can (nothing of the token is pending).
bool closesOnItsLine(Lexer &lx, std::size_t open)
{
    for (int tries = 0; tries < 2; ++tries) {
        const char *w = lx.window;
        std::size_t i = open + 1;
        for (;;) {
            while (!(byteClass(w[i]) & kQuotedStop))
                ++i;
            if (i + 1 >= lx.end)
                break;
            if (w[i] == '"')
                return true;
            if (w[i] == '\n' || (w[i] == '\r' && w[i + 1] == '\n'))
                return false;
            i += w[i] == '\\' && w[i + 1] != '\n' ? 2 : 1;
        }
        if (lx.ended)
            return i < lx.end && w[i] == '"';
        std::size_t shift = lx.pos;
        refill(lx, lx.pos);
        open -= shift;
    }
    return true;  // longer than the window: taken as closed
}

// Between two string literals: the next joins the token, or the token ends
// with the closing quote held back. A literal that does not close on its
// line never joins.
bool gapStep(Lexer &lx, TokenPiece &piece)
{
    lx.pieceStart = lx.pos;
    if (skipLayout(lx) == Stop::Token) {
        std::size_t k = joinPrefix(lx);
        if (k != kNoJoin && closesOnItsLine(lx, lx.pos + k)) {
            lx.pos += k + 1;
            lx.pieceStart = lx.pos;
            cState(lx).joinFirst = false;
            lx.mode = LexMode::Quoted;
            return false;
        }
    }
    return closeJoin(lx, piece);
}

// Goes on with the body of a raw string, to its ")delimiter\"".
// Hands out, as a piece of the raw string, the splices that stood before
// pos as written: a backslash and a line feed each, at most kRawSplicesOut
// a piece. The last of them ends the token where the input ends there,
// the string unclosed, so that its last piece is never empty.
bool rawSplicePiece(Lexer &lx, TokenPiece &piece)
{
    static const char kWritten[] = "\\\n\\\n\\\n\\\n\\\n\\\n\\\n\\\n";
    constexpr std::int64_t kRawSplicesOut = (sizeof kWritten - 1) / 2;
    std::int64_t &left = cState(lx).rawSplices;
    const std::int64_t n = left < kRawSplicesOut ? left : kRawSplicesOut;
    left -= n;
    const bool last = left == 0 && lx.ended && lx.pos >= lx.end;
    piece.kind = lx.kind;
    piece.first = lx.firstPiece;
    piece.last = last;
    piece.place = lx.place;
    piece.bytes = kWritten;
    piece.length = static_cast<std::size_t>(2 * n);
    lx.firstPiece = last;
    if (last) {
        markEnd(lx, lx.pos);
        lx.mode = LexMode::Between;
    }
    return true;
}

// A raw string's content reached window offset at, before which splices were
// taken out that C++ puts back: hands out the bytes before them, else the
// splices themselves. A splice with blanks before its line end, whose blanks
// the window no longer holds, refuses the source.
bool rawSplice(Lexer &lx, TokenPiece &piece, std::size_t at)
{
    const SpliceRecord &r = lx.splices[lx.spliceNext];
    if (r.blanks)
        refuseSource(lx, "a raw string holds a backslash and blanks before a line end");
    cState(lx).rawSplices = r.count;
    applySplices(lx, at + 1);
    const bool some = at > lx.pieceStart;
    if (some)
        setPiece(lx, piece, lx.pieceStart, at, false);
    lx.pos = lx.pieceStart = at;
    return some || rawSplicePiece(lx, piece);
}

bool rawStep(Lexer &lx, TokenPiece &piece)
{
    if (cState(lx).rawSplices > 0)
        return rawSplicePiece(lx, piece);
    const char *w = lx.window;
    const std::size_t need = cState(lx).delimiterLength + 3;  // ')', delimiter, '"', the byte after
    std::size_t i = lx.pos;
    for (;;) {
        while (!(byteClass(w[i]) & kRawStop))
            ++i;
        if (lx.spliceAt <= i)
            return rawSplice(lx, piece, lx.spliceAt);
        if (w[i] != '\n' && !readable(lx, i, need))
            return pauseAt(lx, piece, lx.pos);
        if (w[i] == ')' && std::memcmp(w + i + 1, cState(lx).delimiter, cState(lx).delimiterLength) == 0 &&
            w[i + 1 + cState(lx).delimiterLength] == '"') {
            lx.pos = i + cState(lx).delimiterLength + 2;
            return literalEnd(lx, piece);
        }
        if (literalLineByte(lx, piece, i))
            return true;
    }
}

// Goes on with the body of a C# verbatim string ("" is a quote).
bool verbatimStep(Lexer &lx, TokenPiece &piece)
{
    return doubledQuoteStep(lx, piece, '"', true);
}

// Opens a frame of an interpolated string; past the depth it is not tracked.
void pushFrame(Lexer &lx, InterpolationFrame frame)
{
    if (cState(lx).frameCount == kInterpolationDepth)
        return;
    cState(lx).frames[cState(lx).frameCount] = frame;
    cState(lx).braces[cState(lx).frameCount] = 0;
    ++cState(lx).frameCount;
}

// Window offset after the unit at i inside a hole of an interpolated string.
std::size_t holeByte(Lexer &lx, std::size_t i)
{
    const char *w = lx.window;
    std::uint16_t &braces = cState(lx).braces[cState(lx).frameCount - 1];
    switch (w[i]) {
    case '{': ++braces; return i + 1;
    case '}':
        if (braces == 0)
            --cState(lx).frameCount;
        else
            --braces;
        return i + 1;
    case '"': pushFrame(lx, InterpolationFrame::String); return i + 1;
    case '\'': pushFrame(lx, InterpolationFrame::Character); return i + 1;
    case '@': case '$': break;
    default: return i + 1;
    }
    if (w[i + 1] == '"') {
        pushFrame(lx, w[i] == '@' ? InterpolationFrame::VerbatimString : InterpolationFrame::Text);
        return i + 2;
    }
    if ((w[i + 1] == '@' || w[i + 1] == '$') && w[i + 1] != w[i] && w[i + 2] == '"') {
        pushFrame(lx, InterpolationFrame::VerbatimText);
        return i + 3;
    }
    return i + 1;
}

// Window offset after the unit at i inside a text or literal frame of an
// interpolated string (not a line end).
std::size_t textByte(Lexer &lx, std::size_t i)
{
    const char *w = lx.window;
    InterpolationFrame top = cState(lx).frames[cState(lx).frameCount - 1];
    bool verbatim = top == InterpolationFrame::VerbatimText || top == InterpolationFrame::VerbatimString;
    bool text = top == InterpolationFrame::Text || top == InterpolationFrame::VerbatimText;
    char closing = top == InterpolationFrame::Character ? '\'' : '"';
    char c = w[i];
    if (c == '\\' && !verbatim)
        return i + 1 < lx.end && w[i + 1] != '\n' ? i + 2 : i + 1;
    if (c == closing && verbatim && w[i + 1] == '"')
        return i + 2;
    if (c == closing) {
        --cState(lx).frameCount;
        return i + 1;
    }
    if (c == '{' && text) {
        if (w[i + 1] == '{')
            return i + 2;
        pushFrame(lx, InterpolationFrame::Hole);
    }
    return i + 1;
}

// Goes on with a C# interpolated string, one unit at a time.
bool interpolatedStep(Lexer &lx, TokenPiece &piece)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    while (readable(lx, i, 3)) {
        InterpolationFrame top = cState(lx).frames[cState(lx).frameCount - 1];
        bool lineEnds = top == InterpolationFrame::Text || top == InterpolationFrame::String ||
                        top == InterpolationFrame::Character;
        bool crlf = w[i] == '\r' && w[i + 1] == '\n';
        if (i >= lx.end || ((w[i] == '\n' || crlf) && lineEnds))
            return finishAt(lx, piece, i);
        if (crlf) {
            if (dropReturn(lx, piece, i))
                return true;
            i = lx.pos;
            continue;
        }
        if (w[i] == '\n')
            newLine(lx, i);
        i = top == InterpolationFrame::Hole ? holeByte(lx, i) : textByte(lx, i);
        if (cState(lx).frameCount == 0)
            return finishAt(lx, piece, i);
    }
    return pauseAt(lx, piece, lx.pos);
}

// Starts an ordinary literal whose opening quote follows prefixLength bytes of
// prefix at pos.
bool quotedStart(Lexer &lx, TokenPiece &piece, std::size_t prefixLength)
{
    const char *w = lx.window + lx.pos;
    lx.quote = w[prefixLength];
    // The preprocessor joins no literals: only a macro's body joins, once expanded.
    cState(lx).joinable = lx.quote == '"' && (cState(lx).directive == Directive::None || cState(lx).directive == Directive::Define);
    cState(lx).joinFirst = true;
    lx.prefixLength = prefixLength;
    std::memcpy(lx.prefix, w, prefixLength);
    lx.pos += prefixLength + 1;
    lx.mode = LexMode::Quoted;
    return quotedStep(lx, piece);
}

// Starts a raw string whose opening quote is at pos + quoteAt; false when no
// delimiter and '(' follow it (then it is a name).
bool rawStart(Lexer &lx, TokenPiece &piece, std::size_t quoteAt, bool &started)
{
    const char *w = lx.window + lx.pos + quoteAt + 1;
    std::size_t n = 0;
    while (n <= kRawDelimiter && w[n] != '(' && !std::strchr(" )\\\t\v\f\n\r", w[n]) && w[n] != 0)
        ++n;
    // A splice after the quote, up to the '(', would go back into the
    // delimiter, which may hold no backslash.
    const std::size_t quote = lx.pos + quoteAt;
    for (std::size_t k = lx.spliceNext; k < lx.spliceCount && lx.splices[k].offset <= quote + 1 + n; ++k)
        if (lx.splices[k].offset > quote)
            n = kRawDelimiter + 1;
    started = n <= kRawDelimiter && w[n] == '(';
    if (!started)
        return false;
    std::memcpy(cState(lx).delimiter, w, n);
    cState(lx).delimiterLength = n;
    lx.pos += quoteAt + n + 2;
    applySplices(lx, lx.pos);  // those of its prefix, which stay taken out
    lx.mode = LexMode::Raw;
    return rawStep(lx, piece);
}

// Starts an interpolated string whose text starts skip bytes after pos.
bool interpolatedStart(Lexer &lx, TokenPiece &piece, std::size_t skip, bool verbatim)
{
    cState(lx).frameCount = 0;
    pushFrame(lx, verbatim ? InterpolationFrame::VerbatimText : InterpolationFrame::Text);
    lx.pos += skip;
    lx.mode = LexMode::Interpolated;
    return interpolatedStep(lx, piece);
}

// Window offset after the quoted literal inside a hole that starts at i (its
// '"' or '\''), or of the line end or the window's end where it does not close.
std::size_t skipHoleLiteral(const Lexer &lx, std::size_t i)
{
    const char *w = lx.window;
    const char q = w[i];
    for (++i; i < lx.end && w[i] != q && w[i] != '\n'; ++i)
        if (w[i] == '\\')
            ++i;
    return i < lx.end && w[i] == q ? i + 1 : i;
}

// Window offset after the run of bytes c that starts at i.
inline std::size_t runEnd(const char *w, std::size_t i, char c)
{
    while (w[i] == c)
        ++i;
    return i;
}

// Finds the closing quotes of the C# raw string whose opening quotes end at
// open, after dollars '$' signs: as many quotes as it opened with (or more),
// outside a hole, on the same line when it is single-line, else first on a
// line after blanks. Sets csRaw.close and csRaw.closeLine; false when the
// window holds none.
bool findRawClose(Lexer &lx, std::size_t open, std::size_t dollars, bool multi)
{
    CSharpRaw &r = cState(lx).csRaw;
    const char *w = lx.window;
    std::size_t depth = 0;  // braces open in the current hole; 0 in the text
    for (std::size_t i = open; i < lx.end;) {
        const char c = w[i];
        if (c == '\n') {
            if (!multi)
                return false;
            std::size_t k = i + 1;
            while (w[k] == ' ' || w[k] == '\t')
                ++k;
            if (depth == 0 && runEnd(w, k, '"') - k >= r.quotes && k < lx.end) {
                r.closeLine = i + 1;
                r.close = k;
                return true;
            }
            ++i;
        } else if (depth > 0) {
            if (c == '"' || c == '\'') {
                i = skipHoleLiteral(lx, i);
            } else if (c == '}' && depth == 1) {
                depth = 0;
                i += dollars;  // the hole's closing braces
            } else {
                depth = c == '{' ? depth + 1 : (c == '}' ? depth - 1 : depth);
                ++i;
            }
        } else if (c == '{' && dollars > 0) {
            std::size_t k = runEnd(w, i, '{');
            depth = k - i >= dollars ? 1 : 0;
            i = k;
        } else if (c == '"' && !multi) {
            std::size_t k = runEnd(w, i, '"');
            if (k - i >= r.quotes) {
                r.close = r.closeLine = i;
                return true;
            }
            i = k;
        } else {
            ++i;
        }
    }
    return false;
}

// True when every content line of the held multi-line raw string starts with
// the closing line's indentation (or is empty) and none holds a lone CR.
bool rawLinesIndented(const Lexer &lx)
{
    const CSharpRaw &r = cState(lx).csRaw;
    const char *w = lx.window;
    for (std::size_t i = r.line; i < r.closeLine;) {
        std::size_t e = i;
        while (w[e] != '\n')
            ++e;
        std::size_t length = e > i && w[e - 1] == '\r' ? e - 1 - i : e - i;
        if (length > 0 && (length < r.indent || std::memcmp(w + i, w + r.closeLine, r.indent) != 0))
            return false;
        if (std::memchr(w + i, '\r', length))
            return false;
        i = e + 1;
    }
    return true;
}

// Goes on with a C# raw string that does not fit the window, as written, to
// the first line that starts (after blanks) with its closing quotes.
bool csRawStream(Lexer &lx, TokenPiece &piece)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        if (!readable(lx, i, kLexLookahead))
            return pauseAt(lx, piece, lx.pos);
        if (i >= lx.end)
            break;
        if (w[i] == '\n') {
            newLine(lx, i);
            std::size_t k = i + 1;
            while (w[k] == ' ' || w[k] == '\t')
                ++k;
            if (runEnd(w, k, '"') - k >= cState(lx).csRaw.quotes) {
                i = k + cState(lx).csRaw.quotes;
                break;
            }
        }
        ++i;
    }
    lx.pos = i;
    cState(lx).csRaw.active = false;
    finishToken(lx, piece);
    return true;
}

// Hands out the next piece of a C# raw string held whole in the window: its
// opening, each content line less the closing line's indentation with a line
// feed after it, its closing quotes.
bool csRawStep(Lexer &lx, TokenPiece &piece)
{
    CSharpRaw &r = cState(lx).csRaw;
    const char *w = lx.window;
    for (;;) {
        switch (r.phase) {
        case CSharpRawPhase::Stream:
            return csRawStream(lx, piece);
        case CSharpRawPhase::Open:
            setPiece(lx, piece, lx.pieceStart, r.open, false);
            r.phase = CSharpRawPhase::OpenBreak;
            return true;
        case CSharpRawPhase::OpenBreak:
        case CSharpRawPhase::LineBreak: {
            std::size_t e = r.phase == CSharpRawPhase::OpenBreak ? r.open : r.line;
            while (w[e] != '\n')
                ++e;
            newLine(lx, e);
            r.line = e + 1;
            r.phase = CSharpRawPhase::Line;
            piece = TokenPiece{TokenKind::Code, lx.firstPiece, false, lx.place, "\n", 1, RewriteNote{}, TokenPlace{}};
            lx.firstPiece = false;
            return true;
        }
        case CSharpRawPhase::Line: {
            if (r.line >= r.closeLine) {
                r.phase = CSharpRawPhase::Close;
                break;
            }
            std::size_t e = r.line;
            while (w[e] != '\n')
                ++e;
            std::size_t to = e > r.line && w[e - 1] == '\r' ? e - 1 : e;
            std::size_t from = std::min(r.line + r.indent, to);
            r.phase = CSharpRawPhase::LineBreak;
            if (to > from) {
                setPiece(lx, piece, from, to, false);
                return true;
            }
            break;
        }
        case CSharpRawPhase::Close:
            setPiece(lx, piece, r.close, r.close + r.quotes, true);
            lx.pos = lx.pieceStart = r.close + r.quotes;
            markEnd(lx, lx.pos);
            lx.mode = LexMode::Between;
            r.active = false;
            return true;
        }
    }
}

// Starts a C# raw string at pos, its opening quotes after dollars '$' signs;
// started is false when none starts there (then pos stays at the token's
// start, which may have moved to the window's start).
bool csRawStart(Lexer &lx, TokenPiece &piece, std::size_t dollars, bool &started)
{
    started = false;
    if (lx.pos > 0)
        refill(lx, lx.pos);
    const char *w = lx.window;
    CSharpRaw &r = cState(lx).csRaw;
    const std::size_t q = lx.pos + dollars, k = runEnd(w, q, '"');
    std::size_t b = k;
    while (w[b] == ' ' || w[b] == '\t')
        ++b;
    const bool multi = w[b] == '\n' || (w[b] == '\r' && w[b + 1] == '\n');
    r.quotes = k - q;
    r.open = k;
    const bool found = findRawClose(lx, k, dollars, multi);
    if (!found && (!multi || lx.ended))
        return false;  // no raw string: "" and then another literal, as in C and C++
    started = true;
    r.active = true;
    lx.mode = LexMode::Raw;
    if (!found) {
        r.phase = CSharpRawPhase::Stream;  // longer than the window: as written
        lx.pos = k;
        return csRawStream(lx, piece);
    }
    r.line = b + (w[b] == '\r' ? 2 : 1);
    r.indent = r.close - r.closeLine;
    if (!multi || !rawLinesIndented(lx)) {
        for (std::size_t i = lx.pos; i < r.close; ++i)
            if (w[i] == '\n')
                newLine(lx, i);
        lx.pos = r.close + r.quotes;
        r.active = false;
        finishToken(lx, piece);
        return true;
    }
    r.phase = CSharpRawPhase::Open;
    return csRawStep(lx, piece);
}

// Starts a token that begins with a name byte: a literal with an encoding
// prefix, a raw string, an interpolated string, or a name.
bool nameStart(Lexer &lx, TokenPiece &piece)
{
    const char *w = lx.window + lx.pos;
    char c = w[0];
    if (c == '$') {
        std::size_t dollars = runEnd(w, 0, '$');
        if (w[dollars] == '"' && w[dollars + 1] == '"' && w[dollars + 2] == '"') {
            bool started = false;
            bool emitted = csRawStart(lx, piece, dollars, started);
            if (started)
                return emitted;
            w = lx.window + lx.pos;
        }
    }
    if (c == '$' && (w[1] == '"' || (w[1] == '@' && w[2] == '"')))
        return interpolatedStart(lx, piece, w[1] == '"' ? 2 : 3, w[1] == '@');
    if (c == 'L' || c == 'u' || c == 'U' || c == 'R') {
        std::size_t k = c == 'R' ? 0 : (c == 'u' && w[1] == '8' ? 2 : 1);
        bool started = false;
        if (c != 'R' && (w[k] == '"' || w[k] == '\''))
            return quotedStart(lx, piece, k);
        if (w[k] == 'R' && w[k + 1] == '"') {
            bool emitted = rawStart(lx, piece, k + 1, started);
            if (started)
                return emitted;
        }
    }
    lx.mode = LexMode::Name;
    return nameStep(lx, piece);
}

// Starts a token at '@': a C# verbatim or interpolated string, or the byte
// alone.
bool atStart(Lexer &lx, TokenPiece &piece)
{
    const char *w = lx.window + lx.pos;
    if (w[1] == '"') {
        lx.pos += 2;
        lx.mode = LexMode::Verbatim;
        return verbatimStep(lx, piece);
    }
    if (w[1] == '$' && w[2] == '"')
        return interpolatedStart(lx, piece, 3, true);
    ++lx.pos;
    finishToken(lx, piece);
    return true;
}

// True when the bytes before window offset i, blanks skipped, end with the
// name __has_include or __has_include_next and then, when paren, a '(': a
// '<' there starts a header name. The window holds kLexLookahead bytes
// before a token's start (skipLayout).
bool afterHasInclude(const char *w, std::size_t i, bool paren)
{
    while (i > 0 && (byteClass(w[i - 1]) & kBlank))
        --i;
    if (paren) {
        if (i == 0 || w[i - 1] != '(')
            return false;
        --i;
        while (i > 0 && (byteClass(w[i - 1]) & kBlank))
            --i;
    }
    const std::size_t e = i;
    while (i > 0 && (byteClass(w[i - 1]) & kNameC))
        --i;
    auto is = [&](const char *name) { return e - i == std::strlen(name) && std::memcmp(w + i, name, e - i) == 0; };
    return is("__has_include") || is("__has_include_next");
}

// Takes a header name "<...>" at pos as one token; false when no '>' follows
// on the line (within a window).
bool headerName(Lexer &lx, TokenPiece &piece)
{
    for (int tries = 0; tries < 2; ++tries) {
        const char *w = lx.window;
        std::size_t i = lx.pos + 1;
        while (i < lx.end && w[i] != '>' && w[i] != '\n')
            ++i;
        if (i < lx.end && w[i] == '>') {
            lx.pos = i + 1;
            finishToken(lx, piece);
            return true;
        }
        if (i < lx.end || lx.ended)
            return false;
        refill(lx, lx.pos);
    }
    return false;
}

// Starts a punctuator or a byte of its own at pos.
bool punctuatorStart(Lexer &lx, TokenPiece &piece, bool lineStart)
{
    const char *w = lx.window + lx.pos;
    std::size_t n = punctuatorLength(w);
    if (w[0] == '>') {
        if (lx.splitGreater)
            n = 1;
        lx.splitGreater = !lx.splitGreater && n == 1 && w[1] == '>';
    }
    if (lineStart && ((n == 1 && w[0] == '#') || (n == 2 && w[0] == '%' && w[1] == ':'))) {
        cState(lx).directive = Directive::Other;
        cState(lx).directiveTokens = 1;
        cState(lx).tokenIndex = 0;
        cState(lx).opensDirective = true;
    } else if (w[0] == '(' && cState(lx).directive == Directive::Define && cState(lx).tokenIndex == 3 &&
               lx.base + static_cast<std::int64_t>(lx.pos) == lx.endOffset) {
        lx.kind = TokenKind::MacroParen;
    }
    lx.pos += n;
    finishToken(lx, piece);
    return true;
}

// Starts the token at pos.
bool startToken(Lexer &lx, TokenPiece &piece)
{
    const char *w = lx.window + lx.pos;
    bool lineStart = !lx.lineHasToken;
    lx.lineHasToken = true;
    cState(lx).opensDirective = false;
    cState(lx).tokenIndex = cState(lx).directiveTokens++;
    beginToken(lx, TokenKind::Code);
    std::uint16_t cls = byteClass(w[0]);
    if ((cls & kDigit) || (w[0] == '.' && (byteClass(w[1]) & kDigit))) {
        lx.mode = LexMode::Number;
        return numberStep(lx, piece);
    }
    if (cls & kNameC)
        return nameStart(lx, piece);
    switch (w[0]) {
    case '"':
        if (w[1] == '"' && w[2] == '"') {
            bool started = false;
            bool emitted = csRawStart(lx, piece, 0, started);
            if (started)
                return emitted;
        }
        return quotedStart(lx, piece, 0);
    case '\'': return quotedStart(lx, piece, 0);
    case '@': return atStart(lx, piece);
    case '<':
        if (((cState(lx).directive == Directive::Include && cState(lx).tokenIndex == 2) ||
             (cState(lx).directive != Directive::None && afterHasInclude(lx.window, lx.pos, true))) &&
            headerName(lx, piece))
            return true;
        break;
    default: break;
    }
    return punctuatorStart(lx, piece, lineStart);
}

// Hands out the LineEnd of the directive that the line feed at pos, or the
// input's end, ends.
bool directiveEnd(Lexer &lx, TokenPiece &piece)
{
    setWholePiece(lx, piece, TokenKind::LineEnd, "\n", placeAt(lx, lx.pos));
    if (lx.pos < lx.end) {
        newLine(lx, lx.pos);
        ++lx.pos;
        lx.lineHasToken = false;
    }
    markEnd(lx, lx.pos);
    cState(lx).directive = Directive::None;
    lx.splitGreater = false;
    cState(lx).opensDirective = false;
    return true;
}

// True when the punctuator at p may be taken by quickToken: not a comment,
// a literal, a number, a '#' that may open a directive, or the input's end.
inline bool quickPunctuator(const char *p, bool lineHasToken)
{
    switch (p[0]) {
    case '"': case '\'': case '@': case 0: return false;
    case '/': return p[1] != '*' && p[1] != '/';
    case '.': return !(byteClass(p[1]) & kDigit);
    case '#': case '%': return lineHasToken;
    default: return true;
    }
}

// Skips blanks and line ends from pos, outside a directive; returns where
// the next byte stands.
inline std::size_t quickLayout(Lexer &lx)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        while (byteClass(w[i]) & kBlank)
            ++i;
        if (w[i] != '\n')
            return i;
        newLine(lx, i);
        lx.lineHasToken = false;
        ++i;
    }
}

// Window offset just after the common token at i: a name that no literal
// prefix starts, or a punctuator that starts no comment, literal, number or
// directive (lineHasToken: one stands before it on its line). 0 when the
// general steps must take the token. split tells whether it is a '>' that
// another follows, the first of two.
inline std::size_t commonEnd(const Lexer &lx, std::size_t i, bool lineHasToken, bool &split)
{
    const char *w = lx.window;
    const std::uint16_t cls = byteClass(w[i]);
    if (cls & kSolo)
        return i + 1;
    if (cls & kNameC) {
        if ((cls & kDigit) ||
            ((cls & kPrefix) &&
             (!(byteClass(w[i + 1]) & kNameC) || w[i + 1] == '8' || w[i + 1] == 'R' || w[i + 1] == '$')))
            return 0;
        std::size_t e = i + 1;
        while (byteClass(w[e]) & kNameC)
            ++e;
        return e < lx.end || lx.ended ? e : 0;
    }
    if (!quickPunctuator(w + i, lineHasToken))
        return 0;
    std::size_t e = i + punctuatorLength(w + i);
    split = w[i] == '>' && e == i + 1 && w[i + 1] == '>';
    return e;
}

// Takes the common token outside a directive at once. False, with only
// layout skipped, when the general steps must take it.
inline bool quickToken(Lexer &lx, TokenPiece &piece)
{
    if (cState(lx).directive != Directive::None || lx.splitGreater)
        return false;
    std::size_t i = quickLayout(lx);
    lx.pos = lx.pieceStart = i;
    if (lx.end - i < kLexLookahead && !lx.ended)
        return false;
    bool split = false;
    std::size_t e = commonEnd(lx, i, lx.lineHasToken, split);
    if (e == 0)
        return false;
    lx.splitGreater = split;
    lx.lineHasToken = true;
    piece.kind = TokenKind::Code;
    piece.first = true;
    piece.last = true;
    piece.place = placeAt(lx, i);
    piece.bytes = lx.window + i;
    piece.length = e - i;
    markEnd(lx, e);
    lx.pos = lx.pieceStart = e;
    return true;
}

// Which pairs of punctuator bytes are one punctuator when no third such byte
// follows: bit index[b] of row[a] is set for the pair "ab".
struct PunctuatorPairs {
    std::uint16_t row[256] = {};
    unsigned char index[256] = {};
    PunctuatorPairs()
    {
        const char *bytes = "!%&*+-./:<=>?^|";
        for (int k = 0; bytes[k]; ++k)
            index[static_cast<unsigned char>(bytes[k])] = static_cast<unsigned char>(k);
        for (const char *a = bytes; *a; ++a)
            for (const char *b = bytes; *b; ++b) {
                const char pair[4] = {*a, *b, 0, 0};
                const unsigned bit = index[static_cast<unsigned char>(*b)];
                if (punctuatorLength(pair) == 2)
                    row[static_cast<unsigned char>(*a)] |= static_cast<std::uint16_t>(1u << bit);
            }
    }
};
const PunctuatorPairs kPairs;

// Bit k: bytes k - 1 and k of the block at window offset b are one
// punctuator, for the bits of pairs (both bytes punctuator bytes), a pair at
// a time.
inline std::uint64_t joinedPortable(const char *w, std::size_t b, std::uint64_t pairs)
{
    std::uint64_t joined = 0;
    for (std::uint64_t q = pairs; q; q &= q - 1) {
        const unsigned k = static_cast<unsigned>(__builtin_ctzll(q));
        const unsigned char first = static_cast<unsigned char>(w[b + k - 1]);
        const unsigned second = kPairs.index[static_cast<unsigned char>(w[b + k])];
        joined |= static_cast<std::uint64_t>((kPairs.row[first] >> second) & 1) << k;
    }
    return joined;
}

#ifdef MATCHLING_MASKS_X86
// kPairs for byte shuffles. A punctuator byte's index of four bits is
// kLowIndex[its low nibble] + kHighIndex[its high nibble], modulo 16: distinct
// for the fifteen of them. rowLow and rowHigh hold the two bytes of each
// byte's row of kPairs by those indexes; bitLow and bitHigh the bit of an
// index in the one or the other.
struct VectorPairs {
    static constexpr char kLowIndex[16] = {0, 0, 0, 0, 0, 1, 2, 0, 0, 0, 3, 4, 4, 5, 6, 7};
    static constexpr char kHighIndex[16] = {0, 0, 0, 8, 0, 2, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0};
    alignas(32) char lowIndex[32], highIndex[32], rowLow[32], rowHigh[32], bitLow[32], bitHigh[32];
    VectorPairs() : lowIndex(), highIndex(), rowLow(), rowHigh(), bitLow(), bitHigh()
    {
        std::uint16_t row[16] = {};
        const char *bytes = "!%&*+-./:<=>?^|";
        for (const char *a = bytes; *a; ++a)
            for (const char *b = bytes; *b; ++b)
                if ((kPairs.row[static_cast<unsigned char>(*a)] >> kPairs.index[static_cast<unsigned char>(*b)]) & 1)
                    row[indexOf(*a)] |= static_cast<std::uint16_t>(1u << indexOf(*b));
        for (int n = 0; n < 32; ++n) {
            lowIndex[n] = kLowIndex[n & 15];
            highIndex[n] = kHighIndex[n & 15];
            rowLow[n] = static_cast<char>(row[n & 15] & 0xff);
            rowHigh[n] = static_cast<char>(row[n & 15] >> 8);
            bitLow[n] = static_cast<char>((n & 15) < 8 ? 1u << (n & 7) : 0);
            bitHigh[n] = static_cast<char>((n & 15) >= 8 ? 1u << (n & 7) : 0);
        }
    }
    static unsigned indexOf(char c)
    {
        return static_cast<unsigned>(kLowIndex[c & 15] + kHighIndex[(c >> 4) & 15]) & 15;
    }
};
const VectorPairs kVectorPairs;

MATCHLING_MASKS_TARGET inline __m256i shuffleBy(const char (&table)[32], __m256i index)
{
    return _mm256_shuffle_epi8(_mm256_load_si256(reinterpret_cast<const __m256i *>(table)), index);
}

// The same as joinedPortable, 32 pairs at a time: each byte's index, the
// index of the byte before it, and the bit of the one in the other's row.
MATCHLING_MASKS_TARGET inline std::uint64_t joinedAvx2(const char *w, std::size_t b, std::uint64_t pairs)
{
    const VectorPairs &t = kVectorPairs;
    const __m256i nibble = _mm256_set1_epi8(15);
    __m256i carry = _mm256_setzero_si256();
    std::uint64_t joined = 0;
    for (int h = 0; h < 2; ++h) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(w + b + 32 * h));
        const __m256i index = _mm256_and_si256(
            _mm256_add_epi8(shuffleBy(t.lowIndex, _mm256_and_si256(x, nibble)),
                            shuffleBy(t.highIndex, _mm256_and_si256(_mm256_srli_epi16(x, 4), nibble))),
            nibble);
        // The indexes one byte on: the last of the half before comes first.
        const __m256i before = _mm256_alignr_epi8(index, _mm256_permute2x128_si256(index, carry, 0x03), 15);
        const __m256i bit = _mm256_or_si256(_mm256_and_si256(shuffleBy(t.rowLow, before), shuffleBy(t.bitLow, index)),
                                            _mm256_and_si256(shuffleBy(t.rowHigh, before), shuffleBy(t.bitHigh, index)));
        const std::uint32_t none =
            static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bit, _mm256_setzero_si256())));
        joined |= static_cast<std::uint64_t>(~none) << (32 * h);
        carry = index;
    }
    // Bit 0 pairs with the byte before the block.
    return (joined & pairs & ~std::uint64_t{1}) | joinedPortable(w, b, pairs & 1);
}
#endif

constexpr std::size_t kBlockRunTokens = 1024;  // tokens blockRun takes at most

// Where a run of common tokens stands, window-relative, as cRun holds it.
struct RunPlace {
    std::size_t i;           // scan position: between tokens
    std::int64_t line;       // line of i
    std::int64_t lineStart;  // window offset where that line starts
    bool lineHasToken;
    bool splitGreater;
    Directive directive;     // the directive i is in; None outside one
    int directiveTokens;     // its tokens so far
};

// The token of kind at window offsets [i, e) on the line where r stands.
inline QuickToken quickAt(const char *w, std::size_t i, std::size_t e, TokenKind kind, const RunPlace &r)
{
    return {w + i, static_cast<std::uint32_t>(e - i), kind, {r.line, static_cast<std::int64_t>(i) - r.lineStart + 1}};
}

// Notes the LineEnd that ends a directive, whose line feed ends at e.
inline void endDirective(RunPlace &r, std::size_t e)
{
    ++r.line;
    r.lineStart = static_cast<std::int64_t>(e);
    r.lineHasToken = false;
    r.splitGreater = false;
    r.directive = Directive::None;
}

// Takes the common tokens from r.i on a block of kMaskBlock bytes at a time,
// up to max of them and keyBytes of keys, ending before stop: names, numbers
// that are one run of name bytes, and punctuators. Token starts and ends come
// from the blocks' byte masks, for all tokens of a block at once. The run
// ends before the first byte it cannot take so (a literal, a comment, a
// directive, a longer number, three punctuator bytes in a row, ...), and
// before the token that touches it, for the general steps to take.
template <void (*Classify)(const char *, ByteMasks &), std::uint64_t (*Joined)(const char *, std::size_t, std::uint64_t),
          typename Bits>
__attribute__((always_inline)) inline std::size_t blockRunWith(const char *w, RunPlace &r, std::size_t stop,
                                                               QuickToken *out, std::size_t max, std::size_t &keyBytes)
{
    plain_runs::BlockTokens bt{out, max, r.line, r.lineStart};
    std::size_t keys = 0;
    // Inside a directive, its first line feed is a LineEnd token.
    std::size_t directiveEnd = static_cast<std::size_t>(-1);
    bool inDirective = r.directive != Directive::None;
    // The masks of the block before, for the bytes before each block's first:
    // none before the first block, where a token starts.
    std::uint64_t tok0 = 0, name0 = 0, punct0 = 0, number0 = 0, slash0 = 0, percent0 = 0, dot0 = 0, joined0 = 0;
    std::size_t b = r.i;
    for (; b + kMaskBlock <= stop && bt.starts < max && keys + kMaskBlock <= keyBytes; b += kMaskBlock) {
        ByteMasks m;
        Classify(w + b, m);
        std::uint64_t lineEnd = 0;
        if (inDirective && m.lineFeed) {
            lineEnd = m.lineFeed & (~m.lineFeed + 1);
            directiveEnd = b + static_cast<std::size_t>(__builtin_ctzll(m.lineFeed));
            inDirective = false;
        }
        const std::uint64_t tok = m.name | m.solo | m.punct | lineEnd;
        const std::uint64_t punct = m.punct;
        // Two punctuator bytes in a row: one punctuator or two.
        const std::uint64_t joined = Joined(w, b, punct & (punct << 1 | punct0 >> 63));
        const std::uint64_t nameStarts = m.name & ~(m.name << 1 | name0 >> 63);
        const std::uint64_t start = nameStarts | m.solo | (punct & ~joined) | lineEnd;
        const std::uint64_t end = (start | ~tok) & (tok << 1 | tok0 >> 63);
        // Runs of name bytes that start with a digit: numbers.
        const std::uint64_t digitStarts = (nameStarts & m.digit) | (m.name & ~nameStarts & number0 >> 63);
        const std::uint64_t number = m.name & ~(m.name + digitStarts);
        // What the general steps take: bytes of no common token, a number
        // that goes on with '.', '+' or '-'; a comment, "%:", a number that
        // starts with '.' (marked at their second byte); three punctuator
        // bytes in a row that the masks may split wrongly (at the third).
        const std::uint64_t at0 = ~(tok | m.blank | m.lineFeed) | ((number << 1 | number0 >> 63) & (m.dot | m.sign));
        const std::uint64_t at1 = ((m.slash << 1 | slash0 >> 63) & (m.slash | m.star)) |
                                  ((m.percent << 1 | percent0 >> 63) & m.colon) | ((m.dot << 1 | dot0 >> 63) & m.digit);
        // Three punctuator bytes in a row, marked at the third where the
        // masks' tokens may not be the general steps': two pairs in a row, a
        // first token of the wrong length (three bytes, "<::"), or ">>" and
        // more, where which '>' halves a ">>" depends on the '>'s before.
        std::uint64_t at2 = 0;
        for (std::uint64_t q = punct & (punct << 1 | punct0 >> 63) & (punct << 2 | punct0 >> 62); q; q &= q - 1) {
            const unsigned k = static_cast<unsigned>(__builtin_ctzll(q));
            const char *first = w + b + k - 2;
            const bool secondJoins = ((joined << 1 | joined0 >> 63) >> k) & 1;  // byte k - 1 joins k - 2
            const bool thirdJoins = (joined >> k) & 1;
            const bool firstStarts = !(((joined << 2 | joined0 >> 62) >> k) & 1);
            const bool wrong = (secondJoins && thirdJoins) || (first[0] == '>' && first[1] == '>') ||
                               (firstStarts && punctuatorLength(first) != (secondJoins ? 2u : 1u));
            at2 |= static_cast<std::uint64_t>(wrong) << k;
        }
        std::int64_t t = 64;
        if (at0)
            t = std::min<std::int64_t>(t, __builtin_ctzll(at0));
        if (at1)
            t = std::min<std::int64_t>(t, __builtin_ctzll(at1) - 1);
        if (at2)
            t = std::min<std::int64_t>(t, __builtin_ctzll(at2) - 2);
        const std::uint64_t keep = plain_runs::keptBits(bt, b, start, t);
        plain_runs::addTokens<Bits>(bt, w, b, start & keep, end & keep, m.lineFeed, lineEnd);
        keys += static_cast<std::size_t>(__builtin_popcountll(tok & keep));
        if (keep != ~std::uint64_t{0})
            break;
        plain_runs::passBlock(bt, b, m.lineFeed);
        tok0 = tok, name0 = m.name, punct0 = punct, number0 = number, joined0 = joined;
        slash0 = m.slash, percent0 = m.percent, dot0 = m.dot;
    }
    // A token that ends in the last two bytes of the blocks is left for
    // later: a punctuator may go on past them.
    const std::size_t ended = plain_runs::takenTokens(bt, w, b - 2);
    if (ended == 0)
        return 0;
    // The bytes of the blocks' tokens bound the keys' bytes.
    keyBytes -= keys;
    const QuickToken &last = out[ended - 1];
    const std::size_t e = static_cast<std::size_t>(last.bytes - w) + last.length;
    r.i = e;
    if (last.kind == TokenKind::LineEnd) {
        r.line = last.place.line;
        endDirective(r, e);
        return ended;
    }
    r.line = last.place.line;
    r.lineStart = static_cast<std::int64_t>(last.bytes - w) - last.place.column + 1;
    r.lineHasToken = true;
    r.splitGreater = last.length == 1 && last.bytes[0] == '>' && w[e] == '>';
    if (directiveEnd < e)
        r.directive = Directive::None;  // its LineEnd came before the last token
    return ended;
}

std::size_t blockRunPortable(const char *w, RunPlace &r, std::size_t stop, QuickToken *out, std::size_t max,
                             std::size_t &keyBytes)
{
    return blockRunWith<classifyBlockPortable, joinedPortable, PortableBits>(w, r, stop, out, max, keyBytes);
}

#ifdef MATCHLING_MASKS_X86
MATCHLING_MASKS_TARGET std::size_t blockRunAvx2(const char *w, RunPlace &r, std::size_t stop, QuickToken *out,
                                                std::size_t max, std::size_t &keyBytes)
{
    return blockRunWith<classifyBlockAvx2, joinedAvx2, VectorBits>(w, r, stop, out, max, keyBytes);
}
#endif

inline std::size_t blockRun(const char *w, RunPlace &r, std::size_t stop, QuickToken *out, std::size_t max,
                            std::size_t &keyBytes)
{
#ifdef MATCHLING_MASKS_X86
    static const bool vector = vectorMasks();
    if (vector)
        return blockRunAvx2(w, r, stop, out, max, keyBytes);
#endif
    return blockRunPortable(w, r, stop, out, max, keyBytes);
}

// Skips the blanks from i, and the line feeds outside a directive; returns
// where they end.
inline std::size_t skipLines(const char *w, RunPlace &r, std::size_t i)
{
    for (;;) {
        i = blankEnd(w, i);
        if (w[i] != '\n' || r.directive != Directive::None)
            return i;
        ++r.line;
        r.lineStart = static_cast<std::int64_t>(i) + 1;
        r.lineHasToken = false;
        ++i;
    }
}

// Moves r past the block comment whose text starts at from when its "*/"
// ends before stop, counting its line feeds; false, with nothing changed,
// when it goes on.
bool blockCommentPortable(const char *w, RunPlace &r, std::size_t from, std::size_t stop)
{
    std::size_t close = from;
    for (;;) {
        const void *star = std::memchr(w + close, '*', stop - close);
        if (!star)
            return false;
        close = static_cast<std::size_t>(static_cast<const char *>(star) - w);
        if (close + 2 > stop)
            return false;
        if (w[close + 1] == '/')
            break;
        ++close;
    }
    for (const char *p = w + from;; ++p) {
        p = static_cast<const char *>(std::memchr(p, '\n', static_cast<std::size_t>(w + close - p)));
        if (!p)
            break;
        ++r.line;
        r.lineStart = p - w + 1;
    }
    r.i = close + 2;
    return true;
}

#ifdef MATCHLING_MASKS_X86
// The same, 32 bytes at a time: a mask of the '*' before a '/', and one of
// the line feeds. Reads at most 32 bytes past stop, which the window's
// padding covers.
MATCHLING_MASKS_TARGET bool blockCommentAvx2(const char *w, RunPlace &r, std::size_t from, std::size_t stop)
{
    std::int64_t lines = 0;
    std::int64_t lineStart = r.lineStart;
    for (std::size_t b = from; b + 1 < stop; b += 32) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(w + b));
        const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(w + b + 1));
        const std::uint32_t close = static_cast<std::uint32_t>(_mm256_movemask_epi8(
            _mm256_and_si256(masks_avx2::equal(x, '*'), masks_avx2::equal(y, '/'))));
        std::uint32_t feeds = static_cast<std::uint32_t>(_mm256_movemask_epi8(masks_avx2::equal(x, '\n')));
        if (close) {
            const unsigned c = static_cast<unsigned>(__builtin_ctz(close));
            if (b + c + 2 > stop)
                return false;
            feeds &= (std::uint32_t{1} << c) - 1;
        }
        if (feeds) {
            lines += __builtin_popcount(feeds);
            lineStart = static_cast<std::int64_t>(b) + 32 - __builtin_clz(feeds);
        }
        if (close) {
            r.line += lines;
            r.lineStart = lineStart;
            r.i = b + static_cast<unsigned>(__builtin_ctz(close)) + 2;
            return true;
        }
    }
    return false;
}
#endif

// Skips the comment at r.i when it ends before stop, as skipBlockComment and
// skipLineComment would (the line feed that ends a line comment is left);
// false, with nothing changed, when there is none or it goes on.
bool skipComment(const char *w, RunPlace &r, std::size_t stop)
{
    const std::size_t from = r.i + 2;
    if (from >= stop)
        return false;
    if (w[r.i + 1] == '/') {
        const void *lf = std::memchr(w + from, '\n', stop - from);
        if (!lf)
            return false;
        r.i = static_cast<std::size_t>(static_cast<const char *>(lf) - w);
        return true;
    }
    if (w[r.i + 1] != '*')
        return false;
#ifdef MATCHLING_MASKS_X86
    static const bool vector = vectorMasks();
    if (vector)
        return blockCommentAvx2(w, r, from, stop);
#endif
    return blockCommentPortable(w, r, from, stop);
}

// Window offset just after the number at i when it is one run of name bytes
// and dots, as numberStep takes it; 0 when it is none or goes on with a sign
// or a digit separator.
inline std::size_t numberEnd(const char *w, std::size_t i)
{
    if (!(byteClass(w[i]) & kDigit))
        return 0;
    std::size_t e = i + 1;
    while (byteClass(w[e]) & (kNameC | kDot))
        ++e;
    if (((w[e] == '+' || w[e] == '-') && isExponent(w[e - 1])) || w[e] == '\'')
        return 0;
    return e;
}

// Takes the head of the directive whose '#' stands at r.i as the general
// steps would: its first four tokens (the '#', its name, and what an include's
// header name or a function-like macro's MacroParen may stand at), or to its
// LineEnd when that comes first; comments skipped. The rest of the directive
// is common tokens to its LineEnd. All or nothing: 0, with r unchanged, when
// a token needs the general steps or the bounds end the head first.
std::size_t directiveHead(const Lexer &lx, RunPlace &r, std::size_t stop, QuickToken *out, std::size_t max,
                          std::size_t &keyBytes)
{
    const char *w = lx.window;
    RunPlace at = r;
    at.directive = Directive::Other;
    std::size_t i = r.i, k = 0, bytes = 0, lastEnd = 0;
    while (k < 4) {
        while (byteClass(w[i]) & kBlank)
            ++i;
        if (i >= stop || k == max)
            return 0;
        if (w[i] == '/' && (w[i + 1] == '/' || w[i + 1] == '*')) {
            at.i = i;
            if (lx.options.comments || !skipComment(w, at, stop))
                return 0;
            i = at.i;
            continue;
        }
        std::size_t e;
        TokenKind kind = TokenKind::Code;
        bool split = false;
        if (w[i] == '\n') {
            e = i + 1;
            kind = TokenKind::LineEnd;
        } else if (k == 0 || at.splitGreater) {
            e = i + 1;
        } else if (k == 2 && at.directive == Directive::Include && w[i] == '<') {
            e = i + 1;
            // A run's keys hold no zero byte: a header name with one is the general steps'.
            while (e < stop && w[e] != '>' && w[e] != '\n' && w[e] != 0)
                ++e;
            if (e >= stop || w[e] != '>')
                return 0;
            ++e;
        } else {
            e = commonEnd(lx, i, true, split);
            if (e == 0)
                e = numberEnd(w, i);
            if (e == 0)
                return 0;
        }
        if (e > stop || bytes + (e - i) > keyBytes)
            return 0;
        if (k == 1 && isNameStart(w[i]))
            at.directive = directiveNamed(w + i, e - i);
        if (k == 3 && at.directive == Directive::Define && w[i] == '(' && i == lastEnd)
            kind = TokenKind::MacroParen;
        out[k] = quickAt(w, i, e, kind, at);
        ++k;
        bytes += e - i;
        lastEnd = i = e;
        if (kind == TokenKind::LineEnd) {
            endDirective(at, e);
            break;
        }
        at.lineHasToken = true;
        at.splitGreater = split;
    }
    at.i = i;
    at.directiveTokens = static_cast<int>(k);
    r = at;
    keyBytes -= bytes;
    return k;
}

// True when the directive line from window offset i may hold a header name
// after __has_include, which the general steps take: the rest of its line
// holds __has_include or a "/*" (a comment may carry the directive over a
// line end), the bytes before i end with __has_include and perhaps its '(',
// or the window ends before the line does.
bool hasIncludeAhead(const Lexer &lx, std::size_t i)
{
    const char *w = lx.window;
    if (afterHasInclude(w, i, false) || afterHasInclude(w, i, true))
        return true;
    const void *lf = std::memchr(w + i, '\n', lx.end - i);
    if (!lf && !lx.ended)
        return true;
    const char *e = lf ? static_cast<const char *>(lf) : w + lx.end;
    static const char kName[] = "__has_include", kComment[] = "/*";
    return std::search(w + i, e, kName, kName + sizeof kName - 1) != e ||
           std::search(w + i, e, kComment, kComment + sizeof kComment - 1) != e;
}

// Takes the common tokens outside a directive from pos on, up to max of them
// and keyBytes of keys, as quickToken would one by one; the caller then
// copies them out of the window at once, without a call per token.
std::size_t cRun(Lexer &lx, QuickToken *out, std::size_t max, std::size_t keyBytes)
{
    // Past a directive's head, what is left of it is common tokens, but for
    // a header name after __has_include.
    if (cState(lx).directive != Directive::None && (cState(lx).directiveTokens < 4 || hasIncludeAhead(lx, lx.pos)))
        return 0;
    const char *w = lx.window;
    const std::size_t stop = plain_runs::runStop(lx);
    // The places held in locals, window-relative, while the loop runs.
    RunPlace r{lx.pos, lx.line, lx.lineStart - lx.base, lx.lineHasToken, lx.splitGreater, cState(lx).directive,
               cState(lx).directiveTokens};
    std::size_t n = 0;
    for (;;) {
        if (!r.splitGreater)
            n += blockRun(w, r, stop, out + n, std::min(max - n, kBlockRunTokens), keyBytes);
        // One by one past what the blocks leave, while tokens are common.
        const std::size_t before = n;
        std::size_t i = r.i;
        while (n < max && n < before + 8) {
            i = skipLines(w, r, i);
            if (i >= stop)
                break;
            if (w[i] == '\n') {
                // The LineEnd of the directive.
                if (keyBytes == 0)
                    break;
                --keyBytes;
                out[n] = quickAt(w, i, i + 1, TokenKind::LineEnd, r);
                ++n;
                endDirective(r, ++i);
                continue;
            }
            std::size_t e;
            bool split = false;  // the token is the first '>' of a ">>"
            if (r.splitGreater) {
                e = i + 1;
            } else {
                e = commonEnd(lx, i, r.lineHasToken, split);
                if (e == 0)
                    e = numberEnd(w, i);
                if (e == 0 && w[i] == '#' && w[i + 1] != '#' && !r.lineHasToken) {
                    if (hasIncludeAhead(lx, i))
                        break;
                    r.i = i;
                    const std::size_t k = directiveHead(lx, r, stop, out + n, max - n, keyBytes);
                    if (k == 0)
                        break;
                    n += k;
                    i = r.i;
                    break;  // the rest of the directive goes in blocks
                }
                if (e == 0)
                    break;
            }
            if (e - i > keyBytes || e > stop)
                break;
            keyBytes -= e - i;
            r.splitGreater = split;
            r.lineHasToken = true;
            out[n] = quickAt(w, i, e, TokenKind::Code, r);
            ++n;
            i = e;
        }
        r.i = i;
        if (n == before) {
            // Comments, and the layout between them, up to the next token.
            if (lx.options.comments || w[i] != '/' || !skipComment(w, r, stop))
                break;
            for (;;) {
                r.i = skipLines(w, r, r.i);
                if (w[r.i] != '/' || !skipComment(w, r, stop))
                    break;
            }
        }
    }
    if (n > 0) {
        const QuickToken &t = out[n - 1];
        lx.endOffset = lx.base + static_cast<std::int64_t>(t.bytes - w) + t.length;
        // A LineEnd ends at the start of the next line.
        lx.endPlace = t.kind == TokenKind::LineEnd ? TokenPlace{t.place.line + 1, 1}
                                                   : TokenPlace{t.place.line, t.place.column + t.length};
    }
    lx.line = r.line;
    lx.lineStart = r.lineStart + lx.base;
    lx.lineHasToken = r.lineHasToken;
    lx.splitGreater = r.splitGreater;
    if (r.directive != cState(lx).directive)
        cState(lx).opensDirective = false;
    cState(lx).directive = r.directive;
    cState(lx).directiveTokens = r.directiveTokens;
    lx.pos = lx.pieceStart = r.i;
    return n;
}

// The steps by mode, for kitStep; the kit's own take comments and their words.
struct CSteps : KitSteps<CSteps> {
    static Stop skipLayout(Lexer &lx) { return ::skipLayout(lx); }
    static bool startToken(Lexer &lx, TokenPiece &piece) { return ::startToken(lx, piece); }
    static bool directiveEnd(Lexer &lx, TokenPiece &piece) { return ::directiveEnd(lx, piece); }
    // The input's end ends an open directive first.
    static bool inputEnd(Lexer &lx, TokenPiece &piece)
    {
        if (cState(lx).directive != Directive::None)
            return ::directiveEnd(lx, piece);
        return KitSteps<CSteps>::inputEnd(lx, piece);
    }
    static bool name(Lexer &lx, TokenPiece &piece) { return nameStep(lx, piece); }
    static bool number(Lexer &lx, TokenPiece &piece) { return numberStep(lx, piece); }
    static bool quoted(Lexer &lx, TokenPiece &piece) { return quotedStep(lx, piece); }
    static bool gap(Lexer &lx, TokenPiece &piece) { return gapStep(lx, piece); }
    static bool raw(Lexer &lx, TokenPiece &piece)
    {
        return cState(lx).csRaw.active ? csRawStep(lx, piece) : rawStep(lx, piece);
    }
    static bool verbatim(Lexer &lx, TokenPiece &piece) { return verbatimStep(lx, piece); }
    static bool interpolated(Lexer &lx, TokenPiece &piece) { return interpolatedStep(lx, piece); }
};

} // namespace

void cNext(Lexer &lx, TokenPiece &piece)
{
    if (lx.mode == LexMode::Between && quickToken(lx, piece))
        return;
    kitNext<CSteps>(lx, piece);
}

extern const LexerHooks kCLexer = {kitStart<CLexState>, cNext, cRun, &kCImports, true, nullptr};
// C# has no line splices: a backslash at a line's end is a byte like another.
extern const LexerHooks kCSharpLexer = {kitStart<CLexState>, cNext, cRun, &kCImports, false, nullptr};
