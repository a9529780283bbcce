// The CMake lexer: command invocations as cmake reads them (cmake-language(7)
// and cmake's own list file lexer and parser).
//
// Tokens: each command name, its ASCII letters folded to lower case (cmake
// looks commands up without regard to case); the '(' after it; each argument
// with its kind in its spelling: a quoted argument with its quotes, a bracket
// argument with its brackets, an unquoted one as written (escapes, variable
// references and legacy quoted parts as written); each nested '(' and ')';
// and the ')' that closes the invocation. Inside a quoted argument a
// backslash-newline continuation is no part of the value and drops out, and
// the CR of a CR LF (cmake reads CR LF as LF) drops out of quoted and bracket
// arguments.
//
// Layout: blanks (space, tab, CR), line ends and comments between tokens;
// blanks between a command name and its '('. Not layout:
// - an argument that touches the one before it without a blank, which cmake
//   warns about, gets a token of its own before it, "<no separation>";
// - a parse error (a command name not on a line of its own, a name not
//   followed by '(' on its line, an argument right after a bracket argument
//   or bracket comment, a backslash that escapes a line end, an unterminated
//   quoted or bracket argument or bracket comment, a missing ')', the end of
//   the input inside an invocation) gives the token "<parse error>" and then
//   the rest of the input as one token, compared byte for byte; so does a zero
//   byte, and a bracket with more '=' than kMaxEquals.
// Both marks hold a blank, which no argument or name can, so they never equal
// a token of a source that reads.
#include <cstddef>

#include "languages/cmake/state.h"
#include "tokens/kit.h"
#include "tokens/lexer.h"

namespace {

constexpr std::ptrdiff_t kUndecided = -1;  // the bytes that decide are not in the window yet
constexpr std::size_t kMaxEquals = 4096;   // '=' of a bracket this lexer reads; more is a parse error
static_assert(kMaxEquals + 3 < kLexWindowSize / 2, "a bracket's opening and closing fit the window");

const char kSeparationMark[] = "<no separation>";
const char kErrorMark[] = "<parse error>";

// Bytes that are an element of an unquoted argument alone, wherever they
// stand in it (after its first element): all but blanks, line ends,
// parentheses, '#', '"', '\\', '$' and zero bytes.
constexpr ByteTable<bool> kPlain = byteTable<bool>([](int c) {
    return !(c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '(' || c == ')' || c == '#' || c == '"' ||
             c == '\\' || c == '$' || c == 0);
});

bool isPlain(char c)
{
    return kPlain[c];
}

bool isNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isNameByte(char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9');
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// The scans below read the window w, whose bytes end at end (zero bytes
// follow), ended when no byte comes after them.

// Bytes of the escape sequence whose backslash is at i: 2; 0 when the
// backslash escapes nothing (a line end, a zero byte, the input's end).
std::ptrdiff_t escapeLength(const char *w, std::size_t i, std::size_t end, bool ended)
{
    if (i + 1 >= end)
        return ended ? 0 : kUndecided;
    const char n = w[i + 1];
    if (n == '\n' || n == 0)
        return 0;
    if (n == '\r') {
        if (i + 2 >= end && !ended)
            return kUndecided;
        return w[i + 2] == '\n' ? 0 : 2;  // CR LF reads as LF
    }
    return 2;
}

// At a '$' at i: the bytes of a make-style reference "$(NAME)" there, 1 when
// it is none (the '$' alone).
std::ptrdiff_t dollarLength(const char *w, std::size_t i, std::size_t end, bool ended)
{
    if (i + 1 >= end)
        return ended ? 1 : kUndecided;
    if (w[i + 1] != '(')
        return 1;
    std::size_t k = i + 2;
    while (k < end && isNameByte(w[k]))
        ++k;
    if (k >= end)
        return ended ? 1 : kUndecided;
    return w[k] == ')' ? static_cast<std::ptrdiff_t>(k + 1 - i) : 1;
}

// At a '"' at i inside an unquoted argument: the bytes of the legacy quoted
// part it opens, to its closing '"' on the same line (blanks, '[' and '='
// allowed inside); 0 when it does not close so.
std::ptrdiff_t legacyLength(const char *w, std::size_t i, std::size_t end, bool ended)
{
    std::size_t j = i + 1;
    for (;;) {
        if (j >= end)
            return ended ? 0 : kUndecided;
        const char c = w[j];
        if (c == '"')
            return static_cast<std::ptrdiff_t>(j + 1 - i);
        std::ptrdiff_t n = 1;
        if (c == '\\')
            n = escapeLength(w, j, end, ended);
        else if (c == '$')
            n = dollarLength(w, j, end, ended);
        else if (c == 0 || c == '\r' || c == '\n' || c == '(' || c == ')' || c == '#')
            n = 0;
        if (n <= 0)
            return n;
        j += static_cast<std::size_t>(n);
    }
}

// The bytes of the element of an unquoted argument at i, after its first:
// 0 when the argument ends before i.
std::ptrdiff_t elementLength(const char *w, std::size_t i, std::size_t end, bool ended)
{
    if (i >= end)
        return ended ? 0 : kUndecided;
    switch (w[i]) {
    case ' ': case '\t': case '\r': case '\n': case '(': case ')': case '#': case 0: return 0;
    case '\\': return escapeLength(w, i, end, ended);
    case '"': return legacyLength(w, i, end, ended);
    case '$': return dollarLength(w, i, end, ended);
    default: return 1;
    }
}

// The bytes of the first element of an unquoted argument at i (not a bracket
// opening): '=', or '[' and any '=' with the element after them, or '['
// alone, or an element; 0 when no argument starts there.
std::ptrdiff_t firstLength(const char *w, std::size_t i, std::size_t end, bool ended)
{
    if (w[i] == '"')
        return 0;
    if (w[i] != '[')
        return elementLength(w, i, end, ended);
    std::size_t k = i + 1;
    while (k < end && w[k] == '=')
        ++k;
    const std::ptrdiff_t n = elementLength(w, k, end, ended);
    if (n == kUndecided)
        return n;
    return n > 0 ? static_cast<std::ptrdiff_t>(k - i) + n : 1;
}

// Where the unquoted argument at i ends.
std::ptrdiff_t unquotedEnd(const char *w, std::size_t i, std::size_t end, bool ended)
{
    std::ptrdiff_t n = firstLength(w, i, end, ended);
    if (n <= 0)
        return n == 0 ? static_cast<std::ptrdiff_t>(i) : n;
    std::size_t j = i + static_cast<std::size_t>(n);
    for (;;) {
        while (isPlain(w[j]))
            ++j;
        n = elementLength(w, j, end, ended);
        if (n == 0)
            return static_cast<std::ptrdiff_t>(j);
        if (n < 0)
            return n;
        j += static_cast<std::size_t>(n);
    }
}

// At a '[' skip bytes after pos: the '=' of the bracket it opens, "[==[",
// or -1 when it opens none, or -2 when its '=' are more than kMaxEquals.
// The token starts at pos; the window may move to start there.
long bracketOpening(Lexer &lx, std::size_t skip)
{
    for (;;) {
        const char *w = lx.window;
        const std::size_t i = lx.pos + skip;
        std::size_t k = i + 1;
        while (w[k] == '=' && k - i <= kMaxEquals)
            ++k;
        if (k >= lx.end && !lx.ended && (lx.pos > 0 || lx.end < kLexWindowSize)) {
            refill(lx, lx.pos);
            continue;
        }
        if (w[k] == '=' || k >= lx.end)
            return k - i > kMaxEquals || !lx.ended ? -2 : -1;
        return w[k] == '[' ? static_cast<long>(k - i - 1) : -1;
    }
}

// True when the ']' at i closes a bracket of equals '='.
bool closesBracket(const char *w, std::size_t i, std::size_t equals)
{
    for (std::size_t k = 1; k <= equals; ++k)
        if (w[i + k] != '=')
            return false;
    return w[i + equals + 1] == ']';
}

// A parse error at window offset at: its mark, then the rest of the input.
void fail(Lexer &lx, std::size_t at)
{
    lx.pos = lx.pieceStart = at;
    lx.mode = LexMode::Verbatim;
    cmakeState(lx).markOwed = true;
}

// Drops the n bytes at i (after the piece's first byte) from the current
// token's key, handing out the piece before them when it holds a byte; the
// byte before them moves to just before the scan position, so that the
// token's last piece is never empty. True when piece is filled.
bool dropBytes(Lexer &lx, TokenPiece &piece, std::size_t i, std::size_t n)
{
    const std::size_t keep = i - 1;
    const bool some = keep > lx.pieceStart;
    if (some)
        setPiece(lx, piece, lx.pieceStart, keep, false);
    lx.window[i + n - 1] = lx.window[keep];
    lx.pieceStart = i + n - 1;
    lx.pos = i + n;
    return some;
}

// The parse error's mark, then the rest of the input as one token.
bool restStep(Lexer &lx, TokenPiece &piece)
{
    CMakeLexState &cm = cmakeState(lx);
    if (cm.markOwed) {
        cm.markOwed = false;
        setWholePiece(lx, piece, TokenKind::Code, kErrorMark, placeAt(lx, lx.pos));
        if (lx.pos >= lx.end && lx.ended)
            lx.mode = LexMode::Finished;
        else
            beginToken(lx, TokenKind::Code);  // the rest, below
        return true;
    }
    if (!restOfInput(lx, piece))
        return false;
    if (piece.last)
        lx.mode = LexMode::Finished;
    return true;
}

// Skips a bracket comment whose text starts at i (after its opening); false
// when the input ends first or a zero byte stands in it.
bool skipBracketComment(Lexer &lx, std::size_t i, std::size_t equals)
{
    const char *w = lx.window;
    for (;;) {
        while (w[i] != ']' && w[i] != '\n' && w[i] != 0)
            ++i;
        if (i + equals + 2 > lx.end && !lx.ended) {
            lx.pos = lx.pieceStart = i;
            refill(lx, i);
            i = lx.pos;
            continue;
        }
        if (i >= lx.end || w[i] == 0)
            return false;
        if (w[i] == '\n') {
            newLine(lx, i);
            ++i;
        } else if (closesBracket(w, i, equals)) {
            lx.pos = lx.pieceStart = i + equals + 2;
            return true;
        } else {
            ++i;
        }
    }
}

// Skips a line comment whose text starts at i to its line end; false when a
// zero byte stands in it.
bool skipLineComment(Lexer &lx, std::size_t i)
{
    skipUntil(lx, i, [](char c) { return c == '\n' || c == 0; });
    lx.pieceStart = lx.pos;
    return lx.pos >= lx.end || lx.window[lx.pos] == '\n';
}

enum class Layout { Token, Comment, End, Error };

// Skips layout to the next token; leaves kLexLookahead bytes readable after
// pos, or all that remain. After a command name only blanks are layout.
Layout skipLayout(Lexer &lx)
{
    CMakeLexState &cm = cmakeState(lx);
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        if (blanksAt(lx, i, isBlank))
            cm.separation = CMakeSeparation::Okay;
        if (layoutAt(lx, i, &cm.started))
            continue;
        if (cm.where == CMakePlace::AfterName || i >= lx.end)
            return i < lx.end ? Layout::Token : Layout::End;
        if (w[i] == '\n') {
            newLine(lx, i);
            ++i;
            cm.newline = true;
            cm.separation = CMakeSeparation::Okay;
            continue;
        }
        if (w[i] != '#')
            return w[i] == 0 ? Layout::Error : Layout::Token;
        const long equals = w[i + 1] == '[' ? bracketOpening(lx, 1) : -1;
        i = lx.pos;
        if (equals == -2)
            return Layout::Error;
        if (equals >= 0) {
            // A bracket comment: a line must follow it before a command
            // name, a blank before an argument.
            cm.newline = false;
            cm.separation = CMakeSeparation::Error;
            cm.equals = static_cast<std::size_t>(equals);
            if (lx.options.comments) {
                lx.commentIsBlock = true;
                lx.pos = i + static_cast<std::size_t>(equals) + 3;
                return Layout::Comment;
            }
            if (!skipBracketComment(lx, i + static_cast<std::size_t>(equals) + 3, cm.equals)) {
                lx.pos = i;
                return Layout::Error;
            }
            i = lx.pos;
            continue;
        }
        if (lx.options.comments) {
            lx.commentIsBlock = false;
            lx.pos = i + 1;
            return Layout::Comment;
        }
        if (!skipLineComment(lx, i + 1))
            return Layout::Error;
        i = lx.pos;
    }
}

// Goes on with the unquoted argument at pos.
bool unquotedStep(Lexer &lx, TokenPiece &piece)
{
    std::size_t i = lx.pos;
    for (;;) {
        const char *w = lx.window;
        while (isPlain(w[i]))
            ++i;
        const std::ptrdiff_t n = elementLength(w, i, lx.end, lx.ended);
        if (n > 0) {
            i += static_cast<std::size_t>(n);
            continue;
        }
        lx.pos = i;
        if (n == 0) {
            finishToken(lx, piece);
            return true;
        }
        // The element at i needs more of the input than the window holds.
        if (lx.pieceStart > 0 || lx.end < kLexWindowSize) {
            refill(lx, lx.pieceStart);
            i = lx.pos;
            continue;
        }
        if (i > lx.pieceStart + 1)
            return pauseAt(lx, piece, i);
        finishToken(lx, piece);  // an element longer than the window: read no further
        fail(lx, i);
        return true;
    }
}

// At a line end byte (LF, or CR) at i inside a quoted or bracket argument:
// counts an LF; drops the CR of a CR LF from the key (cmake reads CR LF as
// LF), a lone CR stays. True when piece is filled; i goes on either way.
bool passLineEnd(Lexer &lx, TokenPiece &piece, std::size_t &i)
{
    const char *w = lx.window;
    if (w[i] == '\n') {
        newLine(lx, i);
        ++i;
        return false;
    }
    if (w[i + 1] != '\n') {
        ++i;
        return false;
    }
    if (dropBytes(lx, piece, i, 1))
        return true;
    i = lx.pos;
    return false;
}

// Goes on with the quoted argument at pos, to its closing quote.
bool quotedStep(Lexer &lx, TokenPiece &piece)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        if (!runOver(lx, i, [](char c) { return c != '"' && c != '\\' && c != '\r' && c != '\n' && c != 0; }, 3))
            return pauseAt(lx, piece, lx.pos);
        const char c = w[i];
        if (i < lx.end && c == '"') {
            lx.pos = i + 1;
            finishToken(lx, piece);
            return true;
        }
        if (c == '\n' || c == '\r') {
            if (passLineEnd(lx, piece, i))
                return true;
            continue;
        }
        if (c == '\\' && i + 1 < lx.end && w[i + 1] != 0) {
            // A continuation, "\" and a line end, is no part of the value.
            std::size_t n = w[i + 1] == '\n' ? 2 : w[i + 1] == '\r' && w[i + 2] == '\n' ? 3 : 0;
            if (n == 0) {
                i += 2;
                continue;
            }
            newLine(lx, i + n - 1);
            if (dropBytes(lx, piece, i, n))
                return true;
            i = lx.pos;
            continue;
        }
        // A zero byte, or the input's end: unterminated.
        lx.pos = c == '\\' ? i + 1 : i;
        finishToken(lx, piece);
        fail(lx, lx.pos);
        return true;
    }
}

// Goes on with the bracket argument at pos, to its closing bracket.
bool bracketStep(Lexer &lx, TokenPiece &piece)
{
    const std::size_t equals = cmakeState(lx).equals;
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        if (!runOver(lx, i, [](char c) { return c != ']' && c != '\r' && c != '\n' && c != 0; }, equals + 3))
            return pauseAt(lx, piece, lx.pos);
        const char c = w[i];
        if (i < lx.end && c == ']') {
            if (closesBracket(w, i, equals)) {
                lx.pos = i + equals + 2;
                finishToken(lx, piece);
                return true;
            }
            ++i;
            continue;
        }
        if (c == '\n' || c == '\r') {
            if (passLineEnd(lx, piece, i))
                return true;
            continue;
        }
        lx.pos = i;  // a zero byte, or the input's end: unterminated
        finishToken(lx, piece);
        fail(lx, i);
        return true;
    }
}

// A token of one byte at pos.
bool oneByte(Lexer &lx, TokenPiece &piece)
{
    beginToken(lx, TokenKind::Code);
    ++lx.pos;
    finishToken(lx, piece);
    return true;
}

// At a command name's place: the name, when the token at pos is one and
// stands on a line of its own.
bool nameToken(Lexer &lx, TokenPiece &piece)
{
    CMakeLexState &cm = cmakeState(lx);
    const std::size_t i = lx.pos;
    std::ptrdiff_t e = unquotedEnd(lx.window, i, lx.end, lx.ended);
    if (e == kUndecided) {
        refill(lx, i);
        e = unquotedEnd(lx.window, lx.pos, lx.end, lx.ended);
    }
    const std::size_t start = lx.pos;
    char *w = lx.window;
    bool name = e > static_cast<std::ptrdiff_t>(start) && isNameStart(w[start]) && cm.newline;
    for (std::size_t k = start; name && k < static_cast<std::size_t>(e); ++k)
        name = isNameByte(w[k]);
    if (!name) {
        fail(lx, start);
        return false;
    }
    for (std::size_t k = start; k < static_cast<std::size_t>(e); ++k)
        if (w[k] >= 'A' && w[k] <= 'Z')
            w[k] = static_cast<char>(w[k] - 'A' + 'a');
    beginToken(lx, TokenKind::Code);
    lx.pos = static_cast<std::size_t>(e);
    finishToken(lx, piece);
    cm.where = CMakePlace::AfterName;
    return true;
}

// At an argument's place: the argument, a nested parenthesis or the closing
// ')', with the separation mark before an argument that touches the token
// before it.
bool argumentToken(Lexer &lx, TokenPiece &piece)
{
    CMakeLexState &cm = cmakeState(lx);
    const char c = lx.window[lx.pos];
    if (c == '(') {
        ++cm.depth;
        cm.separation = CMakeSeparation::Okay;
        return oneByte(lx, piece);
    }
    if (c == ')') {
        if (cm.depth == 0) {
            cm.where = CMakePlace::Top;
            cm.newline = false;
        } else {
            --cm.depth;
            cm.separation = CMakeSeparation::Warning;
        }
        return oneByte(lx, piece);
    }
    const long equals = c == '[' ? bracketOpening(lx, 0) : -1;
    std::ptrdiff_t length = 0;
    if (c == '"') {
        length = 1;
    } else if (equals == -1) {
        length = firstLength(lx.window, lx.pos, lx.end, lx.ended);
        if (length == kUndecided) {
            refill(lx, lx.pos);
            length = firstLength(lx.window, lx.pos, lx.end, lx.ended);
        }
    }
    if (equals == -2 || length < 0 || (equals == -1 && length == 0) || cm.separation == CMakeSeparation::Error ||
        (equals >= 0 && cm.separation != CMakeSeparation::Okay)) {
        fail(lx, lx.pos);
        return false;
    }
    if (cm.separation == CMakeSeparation::Warning && !cm.warned) {
        cm.warned = true;
        setWholePiece(lx, piece, TokenKind::Code, kSeparationMark, placeAt(lx, lx.pos));
        return true;
    }
    cm.warned = false;
    beginToken(lx, TokenKind::Code);
    if (equals >= 0) {
        cm.separation = CMakeSeparation::Error;
        cm.equals = static_cast<std::size_t>(equals);
        lx.pos += static_cast<std::size_t>(equals) + 2;
        lx.mode = LexMode::Raw;
        return bracketStep(lx, piece);
    }
    cm.separation = CMakeSeparation::Warning;
    lx.pos += static_cast<std::size_t>(length);
    if (c == '"') {
        lx.mode = LexMode::Quoted;
        return quotedStep(lx, piece);
    }
    lx.mode = LexMode::Name;
    return unquotedStep(lx, piece);
}

// A comment word's byte: no blank, line end, ']' or zero byte.
bool isWordByte(char c)
{
    return !(byteClass(c) & kBlank) && c != '\n' && c != ']' && c != 0;
}

struct CMakeSteps : KitSteps<CMakeSteps> {
    // Between tokens: skips layout and starts what follows (its own: after
    // layout, the place in the grammar decides, and a parse error ends all).
    static bool between(Lexer &lx, TokenPiece &piece)
    {
        CMakeLexState &cm = cmakeState(lx);
        switch (skipLayout(lx)) {
        case Layout::Comment:
            lx.mode = lx.commentIsBlock ? LexMode::BlockComment : LexMode::LineComment;
            return false;
        case Layout::End:
            if (cm.where == CMakePlace::Top) {
                finishStream(lx, piece);
                return true;
            }
            fail(lx, lx.pos);  // inside an invocation
            return false;
        case Layout::Error:
            fail(lx, lx.pos);
            return false;
        case Layout::Token:
            break;
        }
        switch (cm.where) {
        case CMakePlace::Top:
            return nameToken(lx, piece);
        case CMakePlace::AfterName:
            if (lx.window[lx.pos] != '(') {
                fail(lx, lx.pos);
                return false;
            }
            cm.where = CMakePlace::Arguments;
            cm.depth = 0;
            cm.separation = CMakeSeparation::Okay;
            return oneByte(lx, piece);
        case CMakePlace::Arguments:
            return argumentToken(lx, piece);
        }
        return false;
    }

    // Between the words of a comment (--comments): a line comment ends at its
    // line end, a bracket comment after its closing bracket.
    static bool comment(Lexer &lx, TokenPiece &)
    {
        const std::size_t equals = cmakeState(lx).equals;
        for (;;) {
            const char *w = lx.window;
            std::size_t i = lx.pos;
            while (byteClass(w[i]) & kBlank)
                ++i;
            lx.pos = lx.pieceStart = i;
            if (lx.end - i < equals + 2 && !lx.ended) {
                refill(lx, i);
                continue;
            }
            if (i >= lx.end && lx.commentIsBlock) {
                fail(lx, i);  // an unterminated bracket comment
                return false;
            }
            if (i >= lx.end || (w[i] == '\n' && !lx.commentIsBlock)) {
                lx.mode = LexMode::Between;
                return false;
            }
            if (w[i] == 0) {
                fail(lx, i);
                return false;
            }
            if (w[i] == '\n') {
                newLine(lx, i);
                lx.pos = i + 1;
                continue;
            }
            if (lx.commentIsBlock && w[i] == ']' && closesBracket(w, i, equals)) {
                lx.pos = lx.pieceStart = i + equals + 2;
                lx.mode = LexMode::Between;
                return false;
            }
            beginToken(lx, TokenKind::CommentWord);
            lx.mode = LexMode::Word;
            return false;
        }
    }

    // Goes on with a comment word to a blank, a line end, a zero byte or the
    // closing bracket of its bracket comment.
    static bool word(Lexer &lx, TokenPiece &piece)
    {
        const std::size_t equals = cmakeState(lx).equals;
        std::size_t i = lx.pos;
        for (;;) {
            if (!runOver(lx, i, isWordByte, equals + 3))
                return pauseAt(lx, piece, lx.pos);
            const char *w = lx.window;
            if (w[i] == ']' && i < lx.end && !(lx.commentIsBlock && closesBracket(w, i, equals))) {
                ++i;
                continue;
            }
            break;
        }
        lx.pos = i;
        finishToken(lx, piece);
        lx.mode = lx.commentIsBlock ? LexMode::BlockComment : LexMode::LineComment;
        return true;
    }

    static bool name(Lexer &lx, TokenPiece &piece) { return unquotedStep(lx, piece); }
    static bool quoted(Lexer &lx, TokenPiece &piece) { return quotedStep(lx, piece); }
    static bool raw(Lexer &lx, TokenPiece &piece) { return bracketStep(lx, piece); }
    static bool verbatim(Lexer &lx, TokenPiece &piece) { return restStep(lx, piece); }
};

} // namespace

extern const LexerHooks kCMakeLexer = {kitStart<CMakeLexState>, kitNext<CMakeSteps>, nullptr, nullptr, false,
                                       anyHashBang};
