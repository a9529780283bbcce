// The GraphQL lexer: tokens as the language's lexer reads them (the October
// 2021 edition): names, the punctuators ! $ & ( ) ... : = @ [ ] { | }, int
// and float values by their spelling, and strings by their value. Blanks,
// tabs, line ends, commas, byte order marks and '#' comments are layout (the
// language ignores them wherever they stand).
//
// Choices beyond the plain lexical rules:
// - a string's key is '"', its value (escapes decoded, UTF-8) and '"', for
//   an ordinary string and a block string alike, as both are one kind of
//   value; a block string's value is its raw text with the common
//   indentation of its lines after the first taken out and its blank first
//   and last lines dropped (BlockStringValue), its line ends line feeds;
// - the leading '|' of a union's members ("= | A") or a directive's
//   locations ("on | FIELD") and the leading '&' of the interfaces a type
//   implements ("implements & A") are optional, and are layout there;
// - what the language cannot read is a token no readable source gives: a
//   number run into a name or a dot ("1a", "01", "1.") is one token of its
//   whole run, a byte that starts no token a token of its own; a string that
//   is unterminated, holds a bad escape or a control byte, takes the rest of
//   the source with it, its key ending in a byte no string's key ends in.
//   A block string, name or number that does not fit the window takes the
//   rest of the source too, exactly as written (a false alarm at worst).
#include <algorithm>
#include <cstring>

#include "languages/graphql/state.h"
#include "tokens/kit.h"
#include "tokens/lexer.h"
#include "tokens/plain_runs.h"

namespace {

// The byte classes of the tokens taken in blocks: names (digits among their
// bytes: a run that starts with one is a number, or a bad one of its whole
// run, either way one token), the punctuators but '|' and '&' (which may be
// layout), and layout; the general steps take the rest.
constexpr ClassTable graphqlClasses()
{
    ClassTable t{};
    for (int c = 0; c < 256; ++c) {
        const bool name = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
        t.of[c] = name ? kPlainName
                  : c >= '0' && c <= '9' ? kPlainDigit
                  : c == ' ' || c == '\t' || c == '\r' || c == ',' ? kPlainBlank
                  : c == '\n' ? kPlainLineFeed
                  : c == '!' || c == '$' || c == '(' || c == ')' || c == ':' || c == '=' || c == '@' || c == '[' ||
                            c == ']' || c == '{' || c == '}'
                      ? kPlainSolo
                      : kPlainStop;
    }
    t.rest = kPlainStop;
    return t;
}
struct GraphqlGrammar {
    static constexpr ClassTable kClasses = graphqlClasses();
    static constexpr NibbleTables kNibbles = nibbleTables(kClasses);
};

const char kBadMark[] = "\x01";   // ends the key of a bad string and the rest of the source
const char kLongMark[] = "\x02";  // ends the key of a block string too long for the window and the rest

inline bool isNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

inline bool isNameByte(char c)
{
    return isNameStart(c) || isDigit(c);
}

// A byte no source text may hold outside a comment's or a string's end: a
// control byte but tab, LF and CR (a zero byte too).
inline bool isControl(char c)
{
    return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r';
}

// Ends a comment: a line end or a control byte (tab aside).
inline bool endsComment(char c)
{
    return static_cast<unsigned char>(c) < 0x20 && c != '\t';
}

inline bool isLayoutBlank(char c)
{
    return c == ' ' || c == '\t' || c == ',' || c == '\r';
}

bool isWord(const char *p, std::size_t n, const char *word)
{
    return n == std::strlen(word) && std::memcmp(p, word, n) == 0;
}

// Notes what the token of n bytes at p leaves for a leading '|' or '&' next.
void noteToken(GraphqlLexState &g, const char *p, std::size_t n)
{
    const char c = p[0];
    const bool opens = n == 1 && (c == '(' || c == '[' || c == '{');
    const bool closes = n == 1 && (c == ')' || c == ']' || c == '}');
    if (g.head == GraphqlHead::None && g.depth > 0) {
        // Inside brackets with nothing pending, the most common case: only
        // the brackets matter (the steps below would leave the head None).
        if (opens && g.depth < UINT32_MAX)
            ++g.depth;
        else if (closes)
            --g.depth;
        return;
    }
    if (g.head == GraphqlHead::DirectiveArgs) {
        if (opens)
            ++g.depth;
        else if (closes && --g.depth == 0)
            g.head = GraphqlHead::DirectiveDone;
        return;
    }
    const bool name = isNameStart(c);
    GraphqlHead next = GraphqlHead::None;
    switch (g.head) {
    case GraphqlHead::Type: next = name ? GraphqlHead::TypeName : next; break;
    case GraphqlHead::TypeName: next = isWord(p, n, "implements") ? GraphqlHead::Implements : next; break;
    case GraphqlHead::Directive: next = n == 1 && c == '@' ? GraphqlHead::DirectiveAt : next; break;
    case GraphqlHead::DirectiveAt: next = name ? GraphqlHead::DirectiveName : next; break;
    case GraphqlHead::DirectiveName: case GraphqlHead::DirectiveDone: case GraphqlHead::Repeatable:
        if (g.head == GraphqlHead::DirectiveName && n == 1 && c == '(')
            next = GraphqlHead::DirectiveArgs;
        else if (g.head != GraphqlHead::Repeatable && isWord(p, n, "repeatable"))
            next = GraphqlHead::Repeatable;
        else if (isWord(p, n, "on"))
            next = GraphqlHead::On;
        break;
    default: break;
    }
    if (next == GraphqlHead::None && g.depth == 0) {
        if (name && (isWord(p, n, "type") || isWord(p, n, "interface")))
            next = GraphqlHead::Type;
        else if (name && isWord(p, n, "directive"))
            next = GraphqlHead::Directive;
        else if (n == 1 && c == '=')
            next = GraphqlHead::Equals;
    }
    if (opens && g.depth < UINT32_MAX)
        ++g.depth;
    else if (closes && g.depth > 0)
        --g.depth;
    g.head = next;
}

// The end of the number (or of the bad run that holds one) at i, a digit or
// '-'. A number the language reads ends where its grammar does; one it
// rejects (a digit after a leading 0, no digit where one must be, a name
// byte or a dot right after it) runs on through name bytes, digits, dots and
// a sign after an exponent letter, so that its spelling is never a number's.
std::size_t numberEnd(const char *w, std::size_t i)
{
    const std::size_t start = i;
    bool ok = true;
    if (w[i] == '-')
        ++i;
    if (w[i] == '0') {
        ++i;
        ok = !isDigit(w[i]);
    } else if (isDigit(w[i])) {
        while (isDigit(w[i]))
            ++i;
    } else {
        ok = false;
    }
    if (ok && w[i] == '.') {
        ok = isDigit(w[++i]);
        while (isDigit(w[i]))
            ++i;
    }
    if (ok && (w[i] == 'e' || w[i] == 'E')) {
        ++i;
        if (w[i] == '+' || w[i] == '-')
            ++i;
        ok = isDigit(w[i]);
        while (isDigit(w[i]))
            ++i;
    }
    if (ok && w[i] != '.' && !isNameStart(w[i]))
        return i;
    i = start + (w[start] == '-');
    while (isNameByte(w[i]) || w[i] == '.' ||
           ((w[i] == '+' || w[i] == '-') && i > start && (w[i - 1] == 'e' || w[i - 1] == 'E')))
        ++i;
    return i;
}

// Makes the token begun at pieceStart, from pos on, take the rest of the
// source and then mark, in LexMode::Verbatim.
bool startRest(Lexer &lx, TokenPiece &piece, const char *mark)
{
    graphqlState(lx).restMark = mark;
    lx.mode = LexMode::Verbatim;
    return restOfInput(lx, piece, mark);
}

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f')
        return (c | 0x20) - 'a' + 10;
    return -1;
}

// The value of the four hex digits at p; -1 when they are not.
long hex4(const char *p)
{
    long v = 0;
    for (int k = 0; k < 4; ++k) {
        const int h = hexValue(p[k]);
        if (h < 0)
            return -1;
        v = v * 16 + h;
    }
    return v;
}

// Decodes the escape at p (a backslash, 12 bytes readable there): its value
// in UTF-8 into out, its length into n. Returns the escape's bytes; 0 for a
// bad one: an unknown letter, short hex digits, a surrogate that is not the
// first of a pair of escapes ("\uD83D\uDE00", one character), and "\u{...}",
// which the October 2021 edition does not have.
std::size_t decodeEscape(const char *p, char *out, std::size_t &n)
{
    static const char kFrom[] = "\"\\/bfnrt", kTo[] = "\"\\/\b\f\n\r\t";
    n = 1;
    if (const char *k = p[1] ? std::strchr(kFrom, p[1]) : nullptr) {
        out[0] = kTo[k - kFrom];
        return 2;
    }
    if (p[1] != 'u')
        return 0;
    long cp = hex4(p + 2);
    std::size_t used = 6;
    if (cp >= 0xD800 && cp <= 0xDBFF) {
        const long low = p[6] == '\\' && p[7] == 'u' ? hex4(p + 8) : -1;
        if (low < 0xDC00 || low > 0xDFFF)
            return 0;
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        used = 12;
    } else if (cp < 0 || (cp >= 0xDC00 && cp <= 0xDFFF)) {
        return 0;
    }
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
    } else if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        n = 2;
    } else if (cp < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        n = 3;
    } else {
        out[0] = static_cast<char>(0xF0 | (cp >> 18));
        out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[3] = static_cast<char>(0x80 | (cp & 0x3F));
        n = 4;
    }
    return used;
}

// A byte of an ordinary string that stands for itself.
inline bool isStringPlain(char c)
{
    return c != '"' && c != '\\' && (static_cast<unsigned char>(c) >= 0x20 || c == '\t');
}

// Goes on with an ordinary string at pos: its bytes as they stand, each
// escape as its value, its closing quote; true when piece is filled.
bool stringStep(Lexer &lx, TokenPiece &piece)
{
    GraphqlLexState &g = graphqlState(lx);
    std::size_t i = lx.pos;
    for (;;) {
        const char *w = lx.window;
        while (isStringPlain(w[i]))
            ++i;
        if (w[i] == '"') {
            lx.pos = i + 1;
            finishToken(lx, piece);
            return true;
        }
        const bool escape = w[i] == '\\';
        if ((i >= lx.end || (escape && lx.end - i < 12)) && !lx.ended) {
            // The window ends inside the string, or before the escape does.
            if (i > lx.pieceStart) {
                setPiece(lx, piece, lx.pieceStart, i, false);
                lx.pos = lx.pieceStart = i;
                return true;
            }
            lx.pos = i;
            refill(lx, i);
            i = lx.pos;
            continue;
        }
        std::size_t n = 0, used = escape && i < lx.end ? decodeEscape(w + i, g.escape, n) : 0;
        if (used == 0) {
            lx.pos = i;  // unterminated, a bad escape or a control byte
            return startRest(lx, piece, kBadMark);
        }
        if (i > lx.pieceStart) {
            setPiece(lx, piece, lx.pieceStart, i, false);
            lx.pos = lx.pieceStart = i;
            return true;
        }
        textPiece(lx, piece, g.escape, n, false);
        lx.pos = lx.pieceStart = i + used;
        return true;
    }
}

// Window offset of the line end (CR or LF) of the block string line that
// starts at i, or of the closing quotes.
std::size_t blockLineEnd(const Lexer &lx, std::size_t i)
{
    const std::size_t close = graphqlState(lx).blockClose;
    while (i < close && lx.window[i] != '\n' && lx.window[i] != '\r')
        ++i;
    return i;
}

// Window offset of the line after the one that ends at i.
std::size_t nextLine(const Lexer &lx, std::size_t i)
{
    return i + (lx.window[i] == '\r' && lx.window[i + 1] == '\n' ? 2 : 1);
}

// Looks for the closing quotes of the block string whose content starts at
// i: their window offset; kBadBlock when a control byte comes first or the
// input ends before them, kLongBlock when the window ends before them.
constexpr std::size_t kBadBlock = static_cast<std::size_t>(-1);
constexpr std::size_t kLongBlock = static_cast<std::size_t>(-2);
std::size_t blockClose(const Lexer &lx, std::size_t i)
{
    const char *w = lx.window;
    for (; i < lx.end; ++i) {
        if (w[i] == '"' && w[i + 1] == '"' && w[i + 2] == '"')
            return i + 2 < lx.end ? i : kBadBlock;
        if (w[i] == '\\' && w[i + 1] == '"' && w[i + 2] == '"' && w[i + 3] == '"')
            i += 3;
        else if (isControl(w[i]))
            return kBadBlock;
    }
    return lx.ended ? kBadBlock : kLongBlock;
}

// Measures the block string between blockOpen and blockClose: the common
// indentation of its lines after the first that are not blank, and its first
// and last lines that are not blank (blockLine, blockLast; blockLine at
// blockClose when all are).
void measureBlock(Lexer &lx)
{
    GraphqlLexState &g = graphqlState(lx);
    const char *w = lx.window;
    const std::size_t content = g.blockOpen + 3;
    g.blockIndent = static_cast<std::size_t>(-1);
    g.blockLine = g.blockLast = g.blockClose;
    bool any = false;
    for (std::size_t line = content;;) {
        const std::size_t end = blockLineEnd(lx, line);
        std::size_t k = line;
        while (k < end && (w[k] == ' ' || w[k] == '\t'))
            ++k;
        if (k < end) {
            if (line != content)
                g.blockIndent = std::min(g.blockIndent, k - line);
            if (!any)
                g.blockLine = line;
            g.blockLast = line;
            any = true;
        }
        if (end == g.blockClose)
            break;
        line = nextLine(lx, end);
    }
    if (g.blockIndent == static_cast<std::size_t>(-1))
        g.blockIndent = 0;
}

// Hands out the next piece of a block string held whole in the window (the
// key's opening quote is out): its kept lines less the common indentation
// (none from its first line), the quotes alone for each escaped """, a line
// feed between lines, then a closing quote.
bool blockStep(Lexer &lx, TokenPiece &piece)
{
    GraphqlLexState &g = graphqlState(lx);
    const char *w = lx.window;
    for (;;) {
        switch (g.phase) {
        case BlockPhase::Line: {
            const std::size_t end = blockLineEnd(lx, g.blockLine);
            if (g.blockLine != g.blockOpen + 3)
                g.blockLine += std::min(g.blockIndent, end - g.blockLine);
            g.phase = BlockPhase::Text;
            break;
        }
        case BlockPhase::Text: {
            const std::size_t from = g.blockLine, end = blockLineEnd(lx, from);
            std::size_t k = from;
            while (k < end && !(w[k] == '\\' && w[k + 1] == '"' && w[k + 2] == '"' && w[k + 3] == '"'))
                ++k;
            if (k > from) {
                g.blockLine = k;
                setPiece(lx, piece, from, k, false);
                return true;
            }
            if (k < end) {
                g.blockLine = k + 4;
                setPiece(lx, piece, k + 1, k + 4, false);
                return true;
            }
            g.blockLine = end;
            g.phase = end >= g.blockClose || nextLine(lx, end) > g.blockLast ? BlockPhase::Close : BlockPhase::Break;
            break;
        }
        case BlockPhase::Break:
            g.blockLine = nextLine(lx, g.blockLine);
            g.phase = BlockPhase::Line;
            textPiece(lx, piece, "\n", 1, false);
            return true;
        case BlockPhase::Close:
            for (std::size_t i = g.blockOpen; i < g.blockClose; ++i)
                if (w[i] == '\n')
                    newLine(lx, i);
            textPiece(lx, piece, "\"", 1, true);
            lx.pos = lx.pieceStart = g.blockClose + 3;
            markEnd(lx, lx.pos);
            lx.mode = LexMode::Between;
            return true;
        }
    }
}

// Starts the block string whose opening quotes are at pos, the token begun.
bool blockStart(Lexer &lx, TokenPiece &piece)
{
    GraphqlLexState &g = graphqlState(lx);
    std::size_t close = blockClose(lx, lx.pos + 3);
    if (close == kLongBlock && lx.pos > 0) {
        refill(lx, lx.pos);
        close = blockClose(lx, lx.pos + 3);
    }
    if (close == kBadBlock || close == kLongBlock)
        return startRest(lx, piece, close == kBadBlock ? kBadMark : kLongMark);
    g.blockOpen = lx.pos;
    g.blockClose = close;
    measureBlock(lx);
    g.phase = g.blockLine == g.blockClose ? BlockPhase::Close : BlockPhase::Line;
    lx.mode = LexMode::Raw;
    textPiece(lx, piece, "\"", 1, false);
    return true;
}

// Starts the token at pos.
bool tokenStart(Lexer &lx, TokenPiece &piece)
{
    GraphqlLexState &g = graphqlState(lx);
    std::size_t i = lx.pos;
    const char c = lx.window[i];
    if (isNameStart(c) || isDigit(c) || c == '-') {
        std::size_t j = isNameStart(c) ? i + 1 : numberEnd(lx.window, i);
        for (int pass = 0;; ++pass) {
            const char *w = lx.window;
            if (isNameStart(c))
                while (isNameByte(w[j]))
                    ++j;
            if (j < lx.end || lx.ended || pass == 1)
                break;
            if (i > 0)
                refill(lx, i);
            i = lx.pos;
            j = isNameStart(c) ? i + 1 : numberEnd(lx.window, i);
        }
        beginToken(lx, TokenKind::Code);
        if (j >= lx.end && !lx.ended)
            return startRest(lx, piece, kLongMark);  // longer than the window: as written
        lx.pos = j;
        noteToken(g, lx.window + i, j - i);
        finishToken(lx, piece);
        return true;
    }
    beginToken(lx, TokenKind::Code);
    const char *w = lx.window + i;
    noteToken(g, w, 1);
    if (c == '"') {
        if (w[1] == '"' && w[2] == '"')
            return blockStart(lx, piece);
        ++lx.pos;
        lx.mode = LexMode::Quoted;
        return stringStep(lx, piece);
    }
    // A punctuator, "...", or a byte that starts no token: a token alone
    // (a lone dot or two, which no token is, among them).
    lx.pos += c == '.' && w[1] == '.' ? (w[2] == '.' ? 3 : 2) : 1;
    finishToken(lx, piece);
    return true;
}

inline bool isLayout(char c)
{
    return isLayoutBlank(c) || c == '\n';
}

// A comment word's byte: no blank, line end or control byte.
inline bool isWordByte(char c)
{
    return c != ' ' && c != '\t' && !endsComment(c);
}

struct GraphqlSteps : KitSteps<GraphqlSteps> {
    // Skips layout; leaves at least kLexLookahead bytes readable after pos,
    // or all that remain. A '|' or '&' that the tokens before make optional
    // is layout.
    static Stop skipLayout(Lexer &lx)
    {
        GraphqlLexState &g = graphqlState(lx);
        const char *w = lx.window;
        std::size_t i = lx.pos;
        for (;;) {
            skipBlanks(lx, i, isLayout);
            if (layoutAt(lx, i))
                continue;
            const char c = w[i];
            if (c == '\xEF' && w[i + 1] == '\xBB' && w[i + 2] == '\xBF') {
                i += 3;
                continue;
            }
            if (c == '#') {
                if (lx.options.comments)
                    return Stop::Comment;
                skipUntil(lx, i + 1, endsComment);  // to its line end or a control byte
                i = lx.pos;
                continue;
            }
            if ((c == '|' && (g.head == GraphqlHead::Equals || g.head == GraphqlHead::On)) ||
                (c == '&' && g.head == GraphqlHead::Implements)) {
                g.head = GraphqlHead::None;
                ++i;
                continue;
            }
            return tokenOrEnd(lx, i);
        }
    }

    static bool startToken(Lexer &lx, TokenPiece &piece) { return tokenStart(lx, piece); }

    // A '#' comment, whose words are tokens.
    static bool openComment(Lexer &lx, TokenPiece &)
    {
        openLineComment(lx, 1);
        return false;
    }

    // Goes on with the words of a comment, which ends at its line end (or a
    // control byte, which is a token then).
    static bool comment(Lexer &lx, TokenPiece &piece)
    {
        for (;;) {
            const char *w = lx.window;
            std::size_t i = lx.pos;
            while (w[i] == ' ' || w[i] == '\t')
                ++i;
            lx.pos = lx.pieceStart = i;
            if (lx.end - i < 2 && !lx.ended) {
                refill(lx, i);
                continue;
            }
            if (i >= lx.end || endsComment(w[i])) {
                lx.mode = LexMode::Between;
                return false;
            }
            beginToken(lx, TokenKind::CommentWord);
            lx.mode = LexMode::Word;
            return word(lx, piece);
        }
    }

    // Goes on with the comment word open at pos.
    static bool word(Lexer &lx, TokenPiece &piece)
    {
        std::size_t i = lx.pos;
        if (!runOver(lx, i, isWordByte))
            return pauseAt(lx, piece, lx.pos);
        finishAt(lx, piece, i);
        lx.mode = LexMode::LineComment;
        return true;
    }

    static bool quoted(Lexer &lx, TokenPiece &piece) { return stringStep(lx, piece); }
    static bool raw(Lexer &lx, TokenPiece &piece) { return blockStep(lx, piece); }
    static bool verbatim(Lexer &lx, TokenPiece &piece) { return restOfInput(lx, piece, graphqlState(lx).restMark); }
};

} // namespace

std::size_t graphqlRun(Lexer &lx, QuickToken *out, std::size_t max, std::size_t keyBytes)
{
    const std::size_t n = plainRun<GraphqlGrammar>(lx, out, max, keyBytes);
    GraphqlLexState &g = graphqlState(lx);
    for (std::size_t k = 0; k < n; ++k)
        noteToken(g, out[k].bytes, out[k].length);
    return n;
}

extern const LexerHooks kGraphqlLexer = {kitStart<GraphqlLexState>, kitNext<GraphqlSteps>, graphqlRun, nullptr, false,
                                         anyHashBang};
