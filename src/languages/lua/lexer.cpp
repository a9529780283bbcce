// The Lua lexer: tokens as Lua's own lexer reads them (Lua 5.1 to 5.4 and
// LuaJIT): names and keywords, numbers, strings and long strings, and the
// operators by longest match ("//", "::", "<<", "~=", "..", "..." and the
// rest). Blanks (space, tab, CR, VT, FF), line feeds and comments ("--" to
// the line's end, "--[[ ]]" and "--[==[ ]==]" to their closing bracket of
// the same level) are layout: a statement needs no line end nor ';' to end
// it, and Lua's parser reads "a = b\n(f)()" as the call b(f)(), as the
// tokens do. ';' is a token, the empty statement.
//
// Choices beyond the plain lexical rules:
// - strings, long strings and numbers are compared as written: 'a' is not
//   "a", [[\nx]] (whose first line end Lua drops) is not [[x]], 0x10 is not
//   16; a long string's CR LF reads as LF, as Lua reads it;
// - a first line that starts with '#' (after a byte order mark or not) is
//   one token, as Lua's loader skips it: a "#!" line as the lexer kit keys
//   it, any other as written;
// - bytes from 0x80 on are name bytes, as LuaJIT reads them (Lua 5.x
//   rejects them outside strings and comments);
// - a number is the run that Lua's lexer takes (digits, letters, '_', '.',
//   and a sign after an exponent letter: 'e' or 'E', 'p' or 'P' after "0x"),
//   and must be a numeral of Lua's, with LuaJIT's suffixes (i, LL, ULL) or
//   not.
//
// Input that is not Lua (an unterminated string, long string or long
// comment, a number that is none, "[=" that opens no long string, a byte
// that starts no token) ends the stream through rejectInput, "not valid
// Lua"; a long bracket of more than kLuaLevels '=' or a number longer than
// the window is refused.
#include <cstring>

#include "languages/lua/state.h"
#include "tokens/kit.h"
#include "tokens/lexer.h"

namespace {

constexpr char kRejected[] = "Lua";
constexpr char kDeepBracket[] = "a long bracket of more '=' than Matchling reads";
constexpr char kLongNumber[] = "a number too long to compare";

inline bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

inline bool isHexDigit(char c)
{
    return isDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}

inline bool isNameByte(char c)
{
    return isLetter(c) || isDigit(c);
}

// Layout between tokens: Lua's blanks and line ends.
inline bool isLayout(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Ends a comment that runs to its line's end: Lua's lexer takes a lone CR
// for a line end too.
inline bool isLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

// A blank between the words of a comment.
inline bool isCommentBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

// A byte of a number's run but the sign after its exponent letter.
inline bool isNumberByte(char c)
{
    return isNameByte(c) || c == '.';
}

// A byte of a quoted string that needs no decision.
inline bool isStringPlain(char c)
{
    return c != '"' && c != '\'' && c != '\\' && c != '\n' && c != '\r' && c != 0;
}

// What a '[' opens.
enum class Bracket : unsigned char {
    None,     // no long bracket: a '[' alone, or a comment to the line's end after "--"
    Long,     // a long bracket: '[', level '=', '['
    Bad,      // '[' and '=' with no second '[': no token of Lua's
    TooDeep,  // more than kLuaLevels '='
};

// What the '[' at p opens; level tells its '=' for a long bracket. At
// least kLuaLevels + 2 bytes after p are readable.
Bracket longBracket(const char *p, std::size_t &level)
{
    std::size_t n = 1;
    while (p[n] == '=' && n <= kLuaLevels + 1)
        ++n;
    level = n - 1;
    if (level > kLuaLevels)
        return Bracket::TooDeep;
    if (p[n] == '[')
        return Bracket::Long;
    return level > 0 ? Bracket::Bad : Bracket::None;
}

// True when the ']' at p closes a long bracket of level '=' (level + 1
// bytes after p readable).
bool closesLong(const char *p, std::size_t level)
{
    for (std::size_t k = 1; k <= level; ++k)
        if (p[k] != '=')
            return false;
    return p[level + 1] == ']';
}

// True when the n bytes at p are a numeral of Lua's: decimal digits with a
// fraction and an exponent or not, or "0x" and hex digits with a fraction
// and a binary exponent ('p') or not; at least one digit before the
// exponent; then LuaJIT's suffix or none: 'i' (imaginary), or "LL" or
// "ULL" after an integer, in either case.
bool isNumeral(const char *p, std::size_t n)
{
    const bool hex = n > 1 && p[0] == '0' && (p[1] | 0x20) == 'x';
    std::size_t k = hex ? 2 : 0, digits = 0;
    auto digit = [hex](char c) { return hex ? isHexDigit(c) : isDigit(c); };
    for (; k < n && digit(p[k]); ++k)
        ++digits;
    bool integer = true;
    if (k < n && p[k] == '.') {
        integer = false;
        for (++k; k < n && digit(p[k]); ++k)
            ++digits;
    }
    if (digits == 0)
        return false;
    if (k < n && (p[k] | 0x20) == (hex ? 'p' : 'e')) {
        integer = false;
        ++k;
        if (k < n && (p[k] == '+' || p[k] == '-'))
            ++k;
        const std::size_t from = k;
        while (k < n && isDigit(p[k]))
            ++k;
        if (k == from)
            return false;
    }
    char suffix[4] = {};
    if (n - k > 3)
        return false;
    for (std::size_t s = 0; k + s < n; ++s)
        suffix[s] = static_cast<char>(p[k + s] | 0x20);
    return suffix[0] == 0 || std::strcmp(suffix, "i") == 0 ||
           (integer && (std::strcmp(suffix, "ll") == 0 || std::strcmp(suffix, "ull") == 0));
}

// Bytes of the operator at p by longest match; 0 for a byte that starts no
// token of Lua's.
std::size_t operatorLength(const char *p)
{
    switch (p[0]) {
    case '+': case '-': case '*': case '%': case '^': case '#': case '&': case '|':
    case '(': case ')': case '{': case '}': case '[': case ']': case ';': case ',':
        return 1;
    case '/': return p[1] == '/' ? 2 : 1;
    case '=': case '~': return p[1] == '=' ? 2 : 1;
    case '<': case '>': return p[1] == p[0] || p[1] == '=' ? 2 : 1;
    case ':': return p[1] == ':' ? 2 : 1;
    case '.': return p[1] == '.' ? (p[2] == '.' ? 3 : 2) : 1;
    default: return 0;
    }
}

// Ends the stream after a rejection or refusal: a token with pieces out
// gets a last one that no token's key ends in, then End. True (piece filled).
bool endStream(Lexer &lx, TokenPiece &piece)
{
    lx.mode = LexMode::Finished;
    if (!lx.firstPiece) {
        textPiece(lx, piece, "\x01", 1, true);
        return true;
    }
    finishStream(lx, piece);
    return true;
}

// The source is not Lua from place on.
bool reject(Lexer &lx, TokenPiece &piece, TokenPlace place)
{
    rejectInput(lx, kRejected, place);
    return endStream(lx, piece);
}

// The source is refused for reason, a limit of the lexer's rather than
// Lua's.
bool refuse(Lexer &lx, TokenPiece &piece, const char *reason)
{
    refuseSource(lx, reason);
    return endStream(lx, piece);
}

// Skips the rest of a long comment whose body starts at window offset i,
// level '=' in its brackets, counting its line feeds; pos ends after its
// closing bracket. False when the input ends first.
bool skipLongComment(Lexer &lx, std::size_t i, std::size_t level)
{
    const char *w = lx.window;
    for (;;) {
        while (w[i] != ']' && w[i] != '\n' && w[i] != 0)
            ++i;
        if (i + level + 2 > lx.end && !lx.ended) {
            lx.pos = lx.pieceStart = i;
            refill(lx, i);
            i = lx.pos;
            continue;
        }
        if (i >= lx.end) {
            lx.pos = lx.pieceStart = i;
            return false;
        }
        if (w[i] == ']' && closesLong(w + i, level)) {
            lx.pos = lx.pieceStart = i + level + 2;
            return true;
        }
        if (w[i] == '\n')
            newLine(lx, i);
        ++i;
    }
}

// Takes the number that starts at pos (a digit, or '.' and a digit): the
// run Lua's lexer takes, which must be a numeral.
bool numberToken(Lexer &lx, TokenPiece &piece)
{
    const char *w = lx.window;
    const bool hex = w[lx.pos] == '0' && (w[lx.pos + 1] | 0x20) == 'x';
    const char exponent = hex ? 'p' : 'e';
    std::size_t i = lx.pos + 1;
    auto sign = [exponent](char before, char c, char) -> std::size_t {
        return (c == '+' || c == '-') && (before | 0x20) == exponent ? 1 : 0;
    };
    if (!numberRun(lx, i, isNumberByte, sign))
        return refuse(lx, piece, kLongNumber);
    if (!isNumeral(w + lx.pieceStart, i - lx.pieceStart))
        return reject(lx, piece, lx.place);
    return finishAt(lx, piece, i);
}

struct LuaSteps : KitSteps<LuaSteps> {
    // Skips layout: at the source's start a byte order mark, then blanks,
    // line ends and comments whose words are not tokens. Leaves at least
    // kLexLookahead bytes readable after pos, or all that remain. A first
    // line that starts with '#' is a token (startToken).
    static Stop skipLayout(Lexer &lx)
    {
        LuaLexState &st = luaState(lx);
        const char *w = lx.window;
        std::size_t i = lx.pos;
        for (;;) {
            if (st.started)
                skipBlanks(lx, i, isLayout);
            if (refillShort(lx, i))
                continue;
            lx.pos = lx.pieceStart = i;
            if (!st.started) {
                st.started = true;
                if (byteOrderMarkAt(lx, i))
                    lx.pos = lx.pieceStart = i += 3;
                if (w[i] == '#' && i < lx.end) {
                    st.firstLine = true;
                    return Stop::Token;
                }
                continue;
            }
            if (w[i] != '-' || w[i + 1] != '-')
                return tokenOrEnd(lx, i);
            std::size_t level = 0;
            const Bracket b = w[i + 2] == '[' ? longBracket(w + i + 2, level) : Bracket::None;
            if (b == Bracket::TooDeep) {
                refuseSource(lx, kDeepBracket);
                return Stop::InputEnd;
            }
            st.level = level;
            st.longComment = b == Bracket::Long;
            if (lx.options.comments)
                return Stop::Comment;
            if (b != Bracket::Long) {
                skipUntil(lx, i + 2, isLineEnd);
            } else {
                const TokenPlace opened = placeAt(lx, i);
                if (!skipLongComment(lx, i + level + 4, level)) {
                    rejectInput(lx, kRejected, opened);
                    return Stop::InputEnd;
                }
            }
            i = lx.pos;
        }
    }

    // Starts the token at pos.
    static bool startToken(Lexer &lx, TokenPiece &piece)
    {
        LuaLexState &st = luaState(lx);
        beginToken(lx, TokenKind::Code);
        if (st.firstLine) {
            st.firstLine = false;
            lx.mode = LexMode::Line;
            return lineTokenStep(lx, piece, false);
        }
        const char *w = lx.window + lx.pos;
        const char c = w[0];
        if (isLetter(c)) {
            lx.mode = LexMode::Name;
            return name(lx, piece);
        }
        if (isDigit(c) || (c == '.' && isDigit(w[1])))
            return numberToken(lx, piece);
        if (c == '"' || c == '\'') {
            lx.quote = c;
            ++lx.pos;
            st.skipping = false;
            lx.mode = LexMode::Quoted;
            return quoted(lx, piece);
        }
        if (c == '[') {
            std::size_t level = 0;
            switch (longBracket(w, level)) {
            case Bracket::Long:
                st.level = level;
                lx.pos += level + 2;
                lx.mode = LexMode::Raw;
                return raw(lx, piece);
            case Bracket::Bad: return reject(lx, piece, lx.place);
            case Bracket::TooDeep: return refuse(lx, piece, kDeepBracket);
            case Bracket::None: break;
            }
        }
        const std::size_t n = operatorLength(w);
        if (n == 0)
            return reject(lx, piece, lx.place);
        return finishAt(lx, piece, lx.pos + n);
    }

    // Goes on with a run of name bytes that ends the current token.
    static bool name(Lexer &lx, TokenPiece &piece)
    {
        std::size_t i = lx.pos;
        if (!runOver(lx, i, isNameByte))
            return pauseAt(lx, piece, lx.pos);
        return finishAt(lx, piece, i);
    }

    // Goes on with a quoted string to its closing quote (lx.quote), as
    // written. An escape takes the byte after it; an escaped line end (LF,
    // CR, CR LF or LF CR) is one, and "\z" takes the blanks and line ends
    // after it too. A line end or the input's end before the closing quote
    // leaves the string unterminated.
    static bool quoted(Lexer &lx, TokenPiece &piece)
    {
        LuaLexState &st = luaState(lx);
        const char *w = lx.window;
        std::size_t i = lx.pos;
        for (;;) {
            if (st.skipping) {
                for (; isLayout(w[i]); ++i)
                    if (w[i] == '\n')
                        newLine(lx, i);
                if (!readable(lx, i, 1))
                    return pauseAt(lx, piece, lx.pos);
                if (isLayout(w[i]))
                    continue;
                st.skipping = false;
            }
            while (isStringPlain(w[i]))
                ++i;
            if (!readable(lx, i, 3))
                return pauseAt(lx, piece, lx.pos);
            const char c = w[i];
            if (i >= lx.end)
                return reject(lx, piece, placeAt(lx, i));
            if (c == lx.quote)
                return finishAt(lx, piece, i + 1);
            if (c == '\n' || c == '\r')
                return reject(lx, piece, placeAt(lx, i));
            if (c != '\\') {
                ++i;  // the other quote, or a zero byte of the text
                continue;
            }
            const char e = w[i + 1];
            if (i + 1 >= lx.end)
                return reject(lx, piece, placeAt(lx, i + 1));
            if (e == '\n' || e == '\r') {
                const char other = e == '\n' ? '\r' : '\n';
                if (e == '\n')
                    newLine(lx, i + 1);
                i += 2;
                if (w[i] == other && i < lx.end) {
                    if (other == '\n')
                        newLine(lx, i);
                    ++i;
                }
                continue;
            }
            i += 2;
            st.skipping = e == 'z';
        }
    }

    // Goes on with the body of a long string to its closing bracket of the
    // same level.
    static bool raw(Lexer &lx, TokenPiece &piece)
    {
        const std::size_t level = luaState(lx).level;
        const char *w = lx.window;
        std::size_t i = lx.pos;
        for (;;) {
            while (w[i] != ']' && w[i] != '\n' && w[i] != '\r' && w[i] != 0)
                ++i;
            if (!readable(lx, i, level + 2))
                return pauseAt(lx, piece, lx.pos);
            if (i >= lx.end)
                return reject(lx, piece, lx.place);
            if (w[i] == ']') {
                if (closesLong(w + i, level))
                    return finishAt(lx, piece, i + level + 2);
                ++i;
            } else if (w[i] == 0) {
                ++i;  // a zero byte of the text
            } else if (literalLineEnd(lx, piece, i)) {
                return true;
            }
        }
    }

    // Opens the comment at pos whose words are tokens.
    static bool openComment(Lexer &lx, TokenPiece &)
    {
        LuaLexState &st = luaState(lx);
        if (!st.longComment) {
            openLineComment(lx, 2);
            return false;
        }
        lx.commentIsBlock = true;
        lx.commentLineStart = false;
        lx.commentPlace = placeAt(lx, lx.pos);
        lx.pos += st.level + 4;
        lx.mode = LexMode::BlockComment;
        return false;
    }

    // Goes on with the words of the open comment: a line comment's to its
    // line end (a LF or a CR), a long one's to its closing bracket, over
    // lines.
    static bool comment(Lexer &lx, TokenPiece &piece)
    {
        if (!lx.commentIsBlock)
            return lineComment(lx, piece);
        const std::size_t level = luaState(lx).level;
        const char *w = lx.window;
        for (;;) {
            std::size_t i = lx.pos;
            for (; isLayout(w[i]); ++i)
                if (w[i] == '\n')
                    newLine(lx, i);
            lx.pos = lx.pieceStart = i;
            if (lx.end - i < level + 2 && !lx.ended) {
                refill(lx, i);
                continue;
            }
            if (i >= lx.end)
                return reject(lx, piece, lx.commentPlace);
            if (w[i] == ']' && closesLong(w + i, level)) {
                lx.pos = lx.pieceStart = i + level + 2;
                lx.mode = LexMode::Between;
                return false;
            }
            beginToken(lx, TokenKind::CommentWord);
            lx.mode = LexMode::Word;
            return word(lx, piece);
        }
    }

    // Goes on with the words of a comment to its line's end, a LF or a CR.
    static bool lineComment(Lexer &lx, TokenPiece &piece)
    {
        const char *w = lx.window;
        for (;;) {
            std::size_t i = lx.pos;
            while (isCommentBlank(w[i]))
                ++i;
            lx.pos = lx.pieceStart = i;
            if (i >= lx.end && !lx.ended) {
                refill(lx, i);
                continue;
            }
            if (i >= lx.end || isLineEnd(w[i])) {
                lx.mode = LexMode::Between;
                return false;
            }
            beginToken(lx, TokenKind::CommentWord);
            lx.mode = LexMode::Word;
            return word(lx, piece);
        }
    }

    // Goes on with the comment word open at pos: it ends at a blank or a
    // line end, in a long comment at its closing bracket too.
    static bool word(Lexer &lx, TokenPiece &piece)
    {
        const bool block = lx.commentIsBlock;
        const std::size_t level = luaState(lx).level;
        const char *w = lx.window;
        std::size_t i = lx.pos;
        for (;;) {
            auto in = [block](char c) { return !isLayout(c) && c != 0 && (c != ']' || !block); };
            if (!runOver(lx, i, in, level + 2))
                return pauseAt(lx, piece, lx.pos);
            if (i >= lx.end || isLayout(w[i]) || (w[i] == ']' && closesLong(w + i, level)))
                break;
            ++i;  // a ']' that closes nothing, or a zero byte of the text
        }
        finishAt(lx, piece, i);
        lx.mode = block ? LexMode::BlockComment : LexMode::LineComment;
        return true;
    }
};

} // namespace

void luaStart(Lexer &lx)
{
    startLanguageState<LuaLexState>(lx);
    lx.rejects = true;
}

extern const LexerHooks kLuaLexer = {luaStart, kitNext<LuaSteps>, nullptr, nullptr, false, anyHashBang};
