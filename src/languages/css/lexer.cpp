// The CSS lexer, for CSS, SCSS and Less: tokens as the CSS tokenizer reads
// them, a few joined where that only makes them coarser, and a token " "
// where a blank between two tokens may change what the source says.
//
// Tokens: a name ("color", "-webkit-x", "--var", with its escapes), a
// function ("rgb(", a name and its '('), an at-keyword ("@media", Less's
// "@var"), a hash ("#fff", "#id"), SCSS's "$var" and "%placeholder", a number
// with its unit or '%' ("10px", "-.5em", "1e3"), a string by its spelling, a
// url ("url(a.png)", the blanks inside its parentheses taken out), the
// interpolations "#{" (SCSS) and "@{" (Less), the operators "~= |= ^= $= *=
// || == != >= <=", "...", "<!--" and "-->", and any other byte alone.
//
// Layout: blanks (space, tab, line ends, form feed), comments ("/* */", and
// "//" to the line's end in SCSS and Less), a byte order mark at the start,
// and the last ';' before a block's '}'. A comment alone between two tokens
// is no blank ("a/**/b" is two names side by side, as CSS reads it). A blank
// between two tokens is layout next to '{', a block's '}', ';' and ',',
// after an opening bracket or a function, before ')' and ']', and where the
// statement around it says so:
// - a selector (the statement ends at '{'): around the combinators '>' and
//   '~' (not before a string, Less's "~'...'"), and '+' outside brackets;
// - a declaration (it ends at ';' or '}'): around its first ':' outside
//   brackets, around ':' inside brackets (a map, a media feature), before
//   '!' and between '!' and a name;
// - an at-rule whose prelude holds values (@media, @include, @if ...):
//   around ':' inside brackets.
// Which statement it is comes from a look ahead to its end, over brackets,
// strings, comments and interpolations. Where the end is too far, or the
// statement may be read as a property with a nested block (SCSS's
// "font: 12px { ... }", a custom property holding braces), every blank
// between two tokens counts; so does any other blank ("a b", "a :hover",
// "1px solid", "$a - $b", "calc(1px + 2px)").
//
// Bad input: an unterminated string or url, a string broken by a line end, a
// bad url and a backslash before a line end outside a string make the source
// end in a token "/*", as an unterminated comment does, so that it never
// equals a source that reads.
#include <algorithm>
#include <array>
#include <cstring>

#include "languages/css/state.h"
#include "scan/byte_masks.h"
#include "tokens/kit.h"
#include "tokens/lexer.h"

namespace {

constexpr std::size_t kStatementScan = 16384;  // bytes looked ahead for a statement's end
constexpr std::size_t kSemicolonScan = 1024;   // bytes looked ahead past a ';' for a '}'
constexpr std::size_t kUrlScan = 2048;         // bytes looked ahead in SCSS and Less for a url's ')'

enum : unsigned char {
    kCssName = 1,    // a byte of a name: letter, digit, '_', '-', or >= 0x80
    kCssStart = 2,   // starts a name: letter, '_', >= 0x80
    kCssDigit = 4,   // '0' to '9'
    kCssSpace = 8,   // a blank: space, tab, LF, CR, FF
    kCssHex = 16,    // a hexadecimal digit
    kCssUrl = 32,    // goes on in a url: not ')', '\\', blanks, quotes, '(', control bytes
    kCssScan = 64,   // may change what a statement's look ahead sees: quotes, '/', '\\', brackets, ';'
};

constexpr unsigned char cssClassOf(int c)
{
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool digit = c >= '0' && c <= '9';
    const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
    unsigned char k = 0;
    if (letter || digit || c == '_' || c == '-' || c >= 0x80)
        k |= kCssName;
    if (letter || c == '_' || c >= 0x80)
        k |= kCssStart;
    if (digit)
        k |= kCssDigit;
    if (space)
        k |= kCssSpace;
    if (digit || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))
        k |= kCssHex;
    if (c > ' ' && c != 0x7f && c != ')' && c != '\\' && c != '"' && c != '\'' && c != '(')
        k |= kCssUrl;
    if (c == '"' || c == '\'' || c == '/' || c == '\\' || c == '(' || c == ')' || c == '[' || c == ']' || c == '{' ||
        c == '}' || c == ';')
        k |= kCssScan;
    return k;
}

constexpr ByteTable<unsigned char> kCssClasses = byteTable<unsigned char>(cssClassOf);

inline unsigned char cls(char c)
{
    return kCssClasses[c];
}

// Where "*/" starts in [from, end), or end.
std::size_t commentEnd(const char *w, std::size_t from, std::size_t end)
{
    for (std::size_t i = from; i + 1 < end; ++i) {
        const void *star = std::memchr(w + i, '*', end - 1 - i);
        if (!star)
            break;
        i = static_cast<std::size_t>(static_cast<const char *>(star) - w);
        if (w[i + 1] == '/')
            return i;
    }
    return end;
}

inline bool isSpace(char c) { return (cls(c) & kCssSpace) != 0; }
inline bool isDigit(char c) { return (cls(c) & kCssDigit) != 0; }
inline bool isNameByte(char c) { return (cls(c) & kCssName) != 0; }
inline bool isNewline(char c) { return c == '\n' || c == '\r' || c == '\f'; }

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A backslash at p starts a valid escape: no line end (nor the input's end,
// a zero byte past it) follows.
bool validEscape(const char *p)
{
    return p[0] == '\\' && !isNewline(p[1]) && p[1] != 0;
}

// A name starts at p (three bytes readable).
bool nameStart(const char *p)
{
    if ((cls(p[0]) & kCssStart) || validEscape(p))
        return true;
    return p[0] == '-' && ((cls(p[1]) & kCssStart) || p[1] == '-' || validEscape(p + 1));
}

// A number starts at p (three bytes readable).
bool numberStart(const char *p)
{
    if (p[0] == '+' || p[0] == '-')
        ++p;
    return isDigit(p[0]) || (p[0] == '.' && isDigit(p[1]));
}

bool scss(const Lexer &lx) { return cssState(lx).dialect == CssDialect::Scss; }
bool lineComments(const Lexer &lx) { return cssState(lx).dialect != CssDialect::Css; }

// Marks the source as one that does not read, at the current token.
void markBad(Lexer &lx)
{
    lx.commentUnclosed = true;
    lx.commentPlace = lx.place;
}

// --- The brackets ---------------------------------------------------------

void push(CssLexState &st, CssOpen open)
{
    if (st.depth < kCssNesting && st.overflow == 0)
        st.stack[st.depth++] = open;
    else
        ++st.overflow;
}

// Brackets open inside the innermost block or interpolation (kCssNesting when
// the stack overflowed), and whether one of them is a selector's.
std::size_t innerDepth(const CssLexState &st, bool *selector = nullptr)
{
    if (st.overflow)
        return kCssNesting;
    std::size_t n = 0;
    bool sel = false;
    for (std::size_t i = st.depth; i > 0; --i) {
        CssOpen o = st.stack[i - 1];
        if (o == CssOpen::Block || o == CssOpen::Interp)
            break;
        sel = sel || o == CssOpen::Selector;
        ++n;
    }
    if (selector)
        *selector = sel;
    return n;
}

// Closes ')' or ']': the innermost bracket when it is one.
void closeParen(CssLexState &st)
{
    if (st.overflow)
        --st.overflow;
    else if (st.depth > 0 && (st.stack[st.depth - 1] == CssOpen::Paren || st.stack[st.depth - 1] == CssOpen::Selector))
        --st.depth;
}

// What a '}' closes: true for an interpolation. Brackets left open inside it
// close with it. Beyond the stack, it is taken as an interpolation's, after
// which blanks count.
bool closeBrace(CssLexState &st)
{
    if (st.overflow) {
        --st.overflow;
        return true;
    }
    while (st.depth > 0) {
        CssOpen o = st.stack[--st.depth];
        if (o == CssOpen::Block)
            return false;
        if (o == CssOpen::Interp)
            return true;
    }
    return false;
}

// Whether a '}' now would close a block.
bool braceClosesBlock(const CssLexState &st)
{
    if (st.overflow)
        return false;
    for (std::size_t i = st.depth; i > 0; --i) {
        if (st.stack[i - 1] == CssOpen::Block)
            return true;
        if (st.stack[i - 1] == CssOpen::Interp)
            return false;
    }
    return true;
}

// --- What a statement is ----------------------------------------------------

// The at-rules whose preludes hold values, where ':' inside brackets is a
// media feature's, a map's or a keyword argument's.
bool valueAtRule(const char *name, std::size_t n)
{
    static const char *const kNames[] = {"media",  "include", "mixin",  "function", "if",      "else",
                                         "return", "each",    "for",    "while",    "container",
                                         "import", "use",     "forward", "supports", "custom-media",
                                         "plugin", "charset", "namespace", "layer"};
    for (const char *k : kNames)
        if (std::strlen(k) == n && std::memcmp(k, name, n) == 0)
            return true;
    return false;
}

// Skips a string at i (its quote there) within [i, end); returns where it ends.
std::size_t skipString(const char *w, std::size_t i, std::size_t end)
{
    const char q = w[i++];
    while (i < end && w[i] != q && !isNewline(w[i]))
        i += w[i] == '\\' ? 2 : 1;
    return i < end ? i + 1 : end;
}

// Whether the '(' at i, after start, opens a url: "url" before it, not part
// of a longer name nor escaped.
bool urlOpens(const char *w, std::size_t start, std::size_t i)
{
    if (i < start + 3 || lower(w[i - 3]) != 'u' || lower(w[i - 2]) != 'r' || lower(w[i - 1]) != 'l')
        return false;
    std::size_t u = i - 3, slashes = 0;
    while (u - slashes > start && w[u - slashes - 1] == '\\')
        ++slashes;
    if (slashes > 0)
        return slashes % 2 == 0;
    return u == start || !isNameByte(w[u - 1]);
}

// The first byte from i on, before end, that a statement's look ahead must
// see (kCssScan), or end.
std::size_t skipPlainBytes(const char *w, std::size_t i, std::size_t end)
{
    while (i < end && !(cls(w[i]) & kCssScan))
        ++i;
    return i;
}

#ifdef MATCHLING_MASKS_X86
MATCHLING_MASKS_TARGET std::size_t skipPlainAvx2(const char *w, std::size_t i, std::size_t end)
{
    using namespace masks_avx2;
    static constexpr NibbleSet kScan1("\"'/\\()[]"), kScan2("{}"), kScan3(";");
    for (; i + 32 <= end; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(w + i));
        const __m256i hit = either(either(inSet(v, kScan1), inSet(v, kScan2)), inSet(v, kScan3));
        const auto bits = static_cast<std::uint32_t>(_mm256_movemask_epi8(hit));
        if (bits)
            return i + static_cast<std::size_t>(__builtin_ctz(bits));
    }
    return skipPlainBytes(w, i, end);
}
#endif

std::size_t skipPlain(const char *w, std::size_t i, std::size_t end)
{
#ifdef MATCHLING_MASKS_X86
    static const bool vector = vectorMasks();
    if (vector)
        return skipPlainAvx2(w, i, end);
#endif
    return skipPlainBytes(w, i, end);
}

// Reads the statement that starts at window offset start: looks ahead to its
// end (a ';', '{' or '}' outside brackets), no further than kStatementScan
// bytes, and sets what it is. The window holds kStatementScan + 4 bytes from
// start, or all that remain.
void readStatementAt(Lexer &lx, std::size_t start)
{
    CssLexState &st = cssState(lx);
    st.statementStart = false;
    st.colonSeen = false;
    st.statement = CssStatement::Strict;
    const char *w = lx.window;
    const std::size_t end = lx.end - start > kStatementScan ? start + kStatementScan : lx.end;
    std::size_t i = start;

    // Its first token: an at-keyword, or a name followed by ':'.
    bool atRule = false, valueAt = false, atColon = false, nameColon = false;
    if (w[i] == '@' && nameStart(w + i + 1)) {
        std::size_t j = i + 1, n = 0;
        char name[16];
        while (j < end && isNameByte(w[j])) {
            if (n < sizeof name)
                name[n] = lower(w[j]);
            ++n;
            ++j;
        }
        atRule = true;
        valueAt = n <= sizeof name && valueAtRule(name, n);
        while (j < end && isSpace(w[j]))
            ++j;
        atColon = w[j] == ':';
    } else if ((w[i] == '-' && w[i + 1] == '-') || (scss(lx) && (nameStart(w + i) || (w[i] == '#' && w[i + 1] == '{')))) {
        // A custom property, or in SCSS a name or an interpolation: a ':'
        // after it may make it a property with a nested block.
        std::size_t j = i + 1;
        if (w[i] == '#') {
            while (j < end && w[j] != '}')
                ++j;
            ++j;
        }
        while (j < end && (isNameByte(w[j]) || w[j] == '\\'))
            j += w[j] == '\\' ? 2 : 1;
        // Blanks and comments may stand before the ':'.
        for (;;) {
            while (j < end && isSpace(w[j]))
                ++j;
            if (j + 1 < end && w[j] == '/' && w[j + 1] == '*') {
                const std::size_t close = commentEnd(w, j + 2, end);
                j = close < end ? close + 2 : end;
            } else if (j + 1 < end && w[j] == '/' && w[j + 1] == '/' && lineComments(lx)) {
                const void *lf = std::memchr(w + j, '\n', end - j);
                j = lf ? static_cast<std::size_t>(static_cast<const char *>(lf) - w) : end;
            } else {
                break;
            }
        }
        nameColon = w[j] == ':';
    }

    std::size_t depth = 0;
    char ending = 0;
    while (i < end) {
        const char c = w[i];
        if (!(cls(c) & kCssScan)) {
            i = skipPlain(w, i + 1, end);
            continue;
        }
        if (c == '"' || c == '\'') {
            i = skipString(w, i, end);
        } else if (c == '/' && w[i + 1] == '*') {
            const std::size_t close = commentEnd(w, i + 2, end);
            i = close < end ? close + 2 : end;
        } else if (c == '/' && w[i + 1] == '/' && lineComments(lx)) {
            const void *lf = std::memchr(w + i, '\n', end - i);
            i = lf ? static_cast<std::size_t>(static_cast<const char *>(lf) - w) : end;
        } else if (c == '\\') {
            i += 2;
        } else if (c == '(' && urlOpens(w, start, i)) {
            // A url's text, unless quoted, may hold any bracket: skipped to its ')'.
            ++depth;
            ++i;
            while (i < end && isSpace(w[i]))
                ++i;
            if (w[i] != '"' && w[i] != '\'') {
                while (i < end && w[i] != ')')
                    i += w[i] == '\\' ? 2 : 1;
            }
        } else if (c == '(' || c == '[') {
            ++depth;
            ++i;
        } else if (c == ')' || c == ']') {
            depth -= depth > 0;
            ++i;
        } else if (c == '{' && (depth > 0 || (i > start && (w[i - 1] == '#' || w[i - 1] == '@')))) {
            ++depth;  // an interpolation, or a block inside brackets (a Less detached ruleset)
            ++i;
        } else if (c == '}' && depth > 0) {
            --depth;
            ++i;
        } else if (depth == 0 && (c == '{' || c == ';' || c == '}')) {
            ending = c;
            break;
        } else {
            ++i;
        }
    }
    if (!ending)
        return;
    if (atRule && !(atColon && st.dialect == CssDialect::Less))
        st.statement = valueAt ? CssStatement::AtRule : CssStatement::Strict;
    else if (ending != '{')
        st.statement = CssStatement::Property;
    else if (!nameColon && !atRule)
        st.statement = CssStatement::Selector;
}

// Reads the statement that starts at pos.
void readStatement(Lexer &lx)
{
    ensureAhead(lx, kStatementScan + 4);
    readStatementAt(lx, lx.pos);
}

// Whether a ':' read now has layout around it.
bool relaxedColon(const CssLexState &st)
{
    if (st.statement != CssStatement::Property && st.statement != CssStatement::AtRule)
        return false;
    bool selector = false;
    std::size_t inner = innerDepth(st, &selector);
    if (inner == 0)
        return st.statement == CssStatement::Property && !st.colonSeen;
    return inner < kCssNesting && !selector;
}

// Whether the combinator at p ('>', '~' or '+', not "~=" or ">=") read now
// has layout around it.
bool relaxedCombinator(const CssLexState &st, const char *p)
{
    if (st.statement != CssStatement::Selector || p[1] == '=')
        return false;
    if (p[0] == '>' || p[0] == '~')
        return true;
    return p[0] == '+' && innerDepth(st) == 0;
}

// Whether the token at p is an attribute selector's matcher ('=', "~=",
// "|=", "^=", "$=", "*="), read in a selector's brackets: the grammar of
// an attribute selector takes blanks around it as layout ("[a = b]").
bool attributeMatcher(const CssLexState &st, const char *p)
{
    if (st.statement != CssStatement::Selector || innerDepth(st) == 0 || innerDepth(st) >= kCssNesting)
        return false;
    return (p[0] == '=' && p[1] != '=') ||
           (p[1] == '=' && p[2] != '=' && (p[0] == '~' || p[0] == '|' || p[0] == '^' || p[0] == '$' || p[0] == '*'));
}

// Whether a blank between the last token and the one at p counts.
bool blankCounts(const CssLexState &st, const char *p)
{
    const char c = p[0];
    if (c == '{' || c == '}' || c == ';' || c == ',' || c == ')' || c == ']' || attributeMatcher(st, p))
        return false;
    switch (st.after) {
    case CssAfter::Layout: return false;
    case CssAfter::Combinator: return c == '"' || c == '\'' || c == '`';
    case CssAfter::Bang: return !nameStart(p);
    case CssAfter::Prelude:
        if (c == '(')
            return false;
        break;
    case CssAfter::Other: break;
    }
    if (c == ':')
        return !relaxedColon(st);
    if (c == '>' || c == '~' || c == '+')
        return !relaxedCombinator(st, p);
    if (c == '!' && p[1] != '=')
        return st.statement != CssStatement::Property;
    return true;
}

// --- Layout -----------------------------------------------------------------

// Whether the ';' at window offset at is the last before a block's '}': only
// layout and that '}' follow it, within kSemicolonScan bytes. The window
// holds kSemicolonScan + 2 bytes from at, or all that remain.
bool lastSemicolonAt(Lexer &lx, std::size_t at)
{
    if (!braceClosesBlock(cssState(lx)))
        return false;
    const char *w = lx.window;
    const std::size_t end = lx.end - at > kSemicolonScan ? at + kSemicolonScan : lx.end;
    std::size_t i = at + 1;
    while (i < end) {
        if (isSpace(w[i])) {
            ++i;
        } else if (w[i] == '/' && w[i + 1] == '*') {
            const std::size_t close = commentEnd(w, i + 2, end);
            if (close == end)
                return false;
            i = close + 2;
        } else if (w[i] == '/' && w[i + 1] == '/' && lineComments(lx)) {
            const void *lf = std::memchr(w + i, '\n', end - i);
            if (!lf)
                return false;
            i = static_cast<std::size_t>(static_cast<const char *>(lf) - w);
        } else {
            return w[i] == '}';
        }
    }
    return false;
}

// Whether the ';' at pos is the last before a block's '}'.
bool lastSemicolon(Lexer &lx)
{
    if (!braceClosesBlock(cssState(lx)))
        return false;
    ensureAhead(lx, kSemicolonScan + 2);
    return lastSemicolonAt(lx, lx.pos);
}

// Skips layout; leaves at least kLexLookahead bytes readable after pos, or
// all that remain.
Stop skipLayout(Lexer &lx)
{
    CssLexState &st = cssState(lx);
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        st.blankSeen |= blanksAt(lx, i, isSpace);
        if (layoutAt(lx, i, &st.started))
            continue;
        if (w[i] == '/' && (w[i + 1] == '*' || (w[i + 1] == '/' && lineComments(lx)))) {
            if (commentIsToken(lx, i, w[i + 1] == '*'))
                return Stop::Comment;
            continue;
        }
        if (w[i] == ';' && i < lx.end) {
            const bool last = lastSemicolon(lx);
            i = lx.pos;
            if (last) {
                ++i;
                st.after = CssAfter::Layout;
                st.statementStart = true;
                continue;
            }
        }
        return tokenOrEnd(lx, i);
    }
}

// --- Tokens -----------------------------------------------------------------

// Ends the current token at pos; after says what a blank after it is.
bool finish(Lexer &lx, TokenPiece &piece, CssAfter after)
{
    cssState(lx).after = after;
    finishToken(lx, piece);
    return true;
}

// Whether the token that ends at i, read whole, is "@media", "@supports" or
// "@container", whose prelude may start with '(' with or without a blank.
bool preludeAt(const Lexer &lx, std::size_t i)
{
    if (!lx.firstPiece || lx.window[lx.pieceStart] != '@')
        return false;
    for (const char *name : {"@media", "@supports", "@container"}) {
        const std::size_t n = std::strlen(name);
        if (i - lx.pieceStart == n && std::memcmp(lx.window + lx.pieceStart, name, n) == 0)
            return true;
    }
    return false;
}

// Goes on with a name (and a number's unit) to its end; a name followed by
// '(' becomes a function.
bool nameStep(Lexer &lx, TokenPiece &piece)
{
    CssLexState &st = cssState(lx);
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        if (!runOver(lx, i, isNameByte, 10))
            return pauseAt(lx, piece, lx.pos);
        if (!validEscape(w + i))
            break;
        if (cls(w[i + 1]) & kCssHex) {
            std::size_t j = i + 1;
            while (j < i + 7 && (cls(w[j]) & kCssHex))
                ++j;
            if (w[j] == '\r' && w[j + 1] == '\n')
                j += 2;
            else if (isSpace(w[j]))
                ++j;
            for (std::size_t k = i; k < j; ++k)
                if (w[k] == '\n')
                    newLine(lx, k);
            i = j;
        } else {
            i += 2;
        }
    }
    lx.pos = i;
    if (st.function && w[i] == '(') {
        ++lx.pos;
        const bool selector = lx.firstPiece && i - lx.pieceStart == 8 &&
                              std::memcmp(w + lx.pieceStart, "selector", 8) == 0;
        push(st, selector ? CssOpen::Selector : CssOpen::Paren);
        return finish(lx, piece, CssAfter::Layout);
    }
    return finish(lx, piece, preludeAt(lx, i) ? CssAfter::Prelude : CssAfter::Other);
}

// Goes on with a number: its digits, fraction and exponent, then its unit or '%'.
bool numberStep(Lexer &lx, TokenPiece &piece)
{
    CssLexState &st = cssState(lx);
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        if (!runOver(lx, i, isDigit, 4))
            return pauseAt(lx, piece, lx.pos);
        if (st.numberPhase == 0 && w[i] == '.' && isDigit(w[i + 1])) {
            st.numberPhase = 1;
            i += 2;
        } else if (st.numberPhase < 2 && (w[i] == 'e' || w[i] == 'E') &&
                   (isDigit(w[i + 1]) || ((w[i + 1] == '+' || w[i + 1] == '-') && isDigit(w[i + 2])))) {
            st.numberPhase = 2;
            i += isDigit(w[i + 1]) ? 2 : 3;
        } else {
            break;
        }
    }
    lx.pos = i;
    if (w[i] == '%') {
        ++lx.pos;
        return finish(lx, piece, CssAfter::Other);
    }
    if (nameStart(w + i)) {
        st.function = false;
        lx.mode = LexMode::Name;
        return nameStep(lx, piece);
    }
    return finish(lx, piece, CssAfter::Other);
}

// Goes on with a string to its closing quote. One that meets a line end or
// the input's end, or ends in a backslash, does not read.
bool stringStep(Lexer &lx, TokenPiece &piece)
{
    const char *w = lx.window;
    const char q = lx.quote;
    std::size_t i = lx.pos;
    for (;;) {
        if (!runOver(lx, i, [q](char c) { return c != q && c != '\\' && !isNewline(c) && c != 0; }, 3))
            return pauseAt(lx, piece, lx.pos);
        if (w[i] == q) {
            ++i;
            break;
        }
        if (w[i] == 0 && i < lx.end) {
            ++i;
            continue;
        }
        if (i >= lx.end || isNewline(w[i])) {
            markBad(lx);
            break;
        }
        // A backslash: an escape, or a line end taken out of the string.
        if (w[i + 1] == '\r' && w[i + 2] == '\n') {
            newLine(lx, i + 2);
            i += 3;
        } else if (i + 1 >= lx.end) {
            ++i;
            markBad(lx);
            break;
        } else {
            if (w[i + 1] == '\n')
                newLine(lx, i + 1);
            i += 2;
        }
    }
    lx.pos = i;
    return finish(lx, piece, CssAfter::Other);
}

// Goes on with a url's text, after "url(" and its blanks, to its ')'. Blanks
// before the ')' are left out of its key; a url with blanks inside, a quote,
// a '(', a control byte or a bad escape does not read, and takes all to ')'.
bool urlStep(Lexer &lx, TokenPiece &piece)
{
    CssLexState &st = cssState(lx);
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        if (st.badUrl) {
            while (w[i] != ')' && w[i] != '\\' && w[i] != '\n' && !(w[i] == 0 && i >= lx.end))
                ++i;
        } else {
            while (cls(w[i]) & kCssUrl)
                ++i;
        }
        if (!readable(lx, i, kLexLookahead))
            return pauseAt(lx, piece, lx.pos);
        if (w[i] == ')') {
            ++i;
            break;
        }
        if (i >= lx.end) {
            markBad(lx);
            break;
        }
        if (w[i] == '\n' && st.badUrl) {
            newLine(lx, i);
            ++i;
        } else if (w[i] == '\\') {
            if (!validEscape(w + i)) {
                st.badUrl = true;
                markBad(lx);
            }
            if (w[i + 1] == '\n')
                newLine(lx, i + 1);
            i += i + 1 < lx.end ? 2 : 1;
        } else if (isSpace(w[i]) && !st.badUrl) {
            std::size_t j = i;
            while (j < lx.end && isSpace(w[j]))
                ++j;
            if (w[j] == ')') {
                // Blanks before the ')': the key goes on with the ')' alone.
                for (std::size_t k = i; k < j; ++k)
                    if (w[k] == '\n')
                        newLine(lx, k);
                const bool some = i > lx.pieceStart;
                if (some)
                    setPiece(lx, piece, lx.pieceStart, i, false);
                lx.pieceStart = j;
                lx.pos = j;
                if (some)
                    return true;
                i = j;
                continue;
            }
            st.badUrl = true;
            markBad(lx);
        } else if (!st.badUrl) {
            st.badUrl = true;
            markBad(lx);
        } else {
            ++i;
        }
    }
    lx.pos = i;
    return finish(lx, piece, CssAfter::Other);
}

// In SCSS and Less, whether the url text at i (after the blanks) is one
// token: it reaches its ')' within the look ahead with no byte a url may
// not hold; otherwise Sass and Less read "url(" as a function. A text
// longer than the look ahead is one token.
bool plainUrl(const Lexer &lx, std::size_t i)
{
    const char *w = lx.window;
    const std::size_t stop = lx.end - i > kUrlScan ? i + kUrlScan : lx.end;
    for (; i < stop; ++i) {
        if (w[i] == ')')
            return true;
        if (isSpace(w[i])) {
            while (i < stop && isSpace(w[i]))
                ++i;
            return i < stop && w[i] == ')';
        }
        if (w[i] == '\\') {
            if (!validEscape(w + i))
                return false;
            ++i;
        } else if (!(cls(w[i]) & kCssUrl)) {
            return false;
        }
    }
    return stop < lx.end || !lx.ended;
}

// At "url(" at pos: a url token, or the function "url(" when a string (or
// in SCSS and Less, an expression) follows.
bool startUrl(Lexer &lx, TokenPiece &piece)
{
    CssLexState &st = cssState(lx);
    ensureAhead(lx, kUrlScan + 4);
    const char *w = lx.window;
    std::size_t i = lx.pos + 4;
    while (i < lx.end && isSpace(w[i]))
        ++i;
    if (w[i] == '"' || w[i] == '\'' || (i >= lx.end && !lx.ended) ||
        (st.dialect != CssDialect::Css && !plainUrl(lx, i))) {
        lx.pos += 4;
        push(st, CssOpen::Paren);
        return finish(lx, piece, CssAfter::Layout);
    }
    st.badUrl = false;
    lx.mode = LexMode::Raw;
    if (i > lx.pos + 4 && i < lx.end) {
        // Its "url(" is one piece, its text after the blanks the next (the
        // blanks stay in a url that the input's end cuts).
        for (std::size_t k = lx.pos + 4; k < i; ++k)
            if (w[k] == '\n')
                newLine(lx, k);
        setPiece(lx, piece, lx.pieceStart, lx.pos + 4, false);
        lx.pos = lx.pieceStart = i;
        return true;
    }
    lx.pos = i < lx.end ? i : lx.pos + 4;
    return urlStep(lx, piece);
}

// Starts the token at pos.
bool tokenStart(Lexer &lx, TokenPiece &piece)
{
    CssLexState &st = cssState(lx);
    if (st.statementStart)
        readStatement(lx);
    const char *w = lx.window + lx.pos;
    beginToken(lx, TokenKind::Code);
    const char c = w[0];
    if (c == '"' || c == '\'') {
        lx.quote = c;
        ++lx.pos;
        lx.mode = LexMode::Quoted;
        return stringStep(lx, piece);
    }
    if (numberStart(w)) {
        st.numberPhase = 0;
        lx.pos += c == '+' || c == '-' ? 1 : 0;
        lx.mode = LexMode::Number;
        return numberStep(lx, piece);
    }
    if ((c == 'u' || c == 'U') && w[1] == '+' && ((cls(w[2]) & kCssHex) || w[2] == '?')) {
        // A unicode range: "U+" and hexadecimal digits, '?', '-'.
        std::size_t i = lx.pos + 2;
        while (i < lx.pos + 2 + 13 && ((cls(lx.window[i]) & kCssHex) || lx.window[i] == '?' || lx.window[i] == '-'))
            ++i;
        lx.pos = i;
        return finish(lx, piece, CssAfter::Other);
    }
    if (c == '-' && w[1] == '-' && w[2] == '>') {
        lx.pos += 3;
        return finish(lx, piece, CssAfter::Other);
    }
    if (nameStart(w)) {
        if (lower(w[0]) == 'u' && lower(w[1]) == 'r' && lower(w[2]) == 'l' && w[3] == '(')
            return startUrl(lx, piece);
        st.function = true;
        lx.mode = LexMode::Name;
        return nameStep(lx, piece);
    }
    if ((c == '@' || c == '#' || c == '$' || c == '%') &&
        (nameStart(w + 1) || (c == '#' && (isNameByte(w[1]) || validEscape(w + 1))))) {
        ++lx.pos;
        st.function = false;
        lx.mode = LexMode::Name;
        return nameStep(lx, piece);
    }
    if ((c == '#' && w[1] == '{' && st.dialect == CssDialect::Scss) ||
        (c == '@' && w[1] == '{' && st.dialect == CssDialect::Less)) {
        lx.pos += 2;
        push(st, CssOpen::Interp);
        return finish(lx, piece, CssAfter::Layout);
    }
    if (c == '<' && w[1] == '!' && w[2] == '-' && w[3] == '-') {
        lx.pos += 4;
        return finish(lx, piece, CssAfter::Other);
    }
    if (c == '.' && w[1] == '.' && w[2] == '.') {
        lx.pos += 3;
        return finish(lx, piece, CssAfter::Other);
    }
    if ((w[1] == '=' && (c == '~' || c == '|' || c == '^' || c == '$' || c == '*' || c == '=' || c == '!' ||
                         c == '>' || c == '<')) ||
        (c == '|' && w[1] == '|')) {
        const bool matcher = attributeMatcher(st, w);
        lx.pos += 2;
        return finish(lx, piece, matcher ? CssAfter::Layout : CssAfter::Other);
    }
    ++lx.pos;
    switch (c) {
    case '{':
        push(st, CssOpen::Block);
        st.statementStart = true;
        return finish(lx, piece, CssAfter::Layout);
    case '}':
        if (closeBrace(st))
            return finish(lx, piece, CssAfter::Other);
        st.statementStart = true;
        return finish(lx, piece, CssAfter::Layout);
    case '(': case '[':
        push(st, CssOpen::Paren);
        return finish(lx, piece, CssAfter::Layout);
    case ')': case ']':
        closeParen(st);
        return finish(lx, piece, CssAfter::Other);
    case ';':
        if (innerDepth(st) == 0)
            st.statementStart = true;
        return finish(lx, piece, CssAfter::Layout);
    case ',':
        return finish(lx, piece, CssAfter::Layout);
    case ':': {
        const bool relaxed = relaxedColon(st);
        if (innerDepth(st) == 0)
            st.colonSeen = true;
        return finish(lx, piece, relaxed ? CssAfter::Layout : CssAfter::Other);
    }
    case '>': case '~': case '+':
        return finish(lx, piece, relaxedCombinator(st, w) ? CssAfter::Combinator : CssAfter::Other);
    case '!':
        return finish(lx, piece, st.statement == CssStatement::Property ? CssAfter::Bang : CssAfter::Other);
    case '\\':
        markBad(lx);  // a backslash before a line end or at the input's end
        return finish(lx, piece, CssAfter::Other);
    default:
        return finish(lx, piece, c == '=' && attributeMatcher(st, w) ? CssAfter::Layout : CssAfter::Other);
    }
}

struct CssSteps : KitSteps<CssSteps> {
    static Stop skipLayout(Lexer &lx) { return ::skipLayout(lx); }

    // After layout: hands out a blank that counts, or starts the token at pos.
    static bool startToken(Lexer &lx, TokenPiece &piece)
    {
        CssLexState &st = cssState(lx);
        if (st.blankSeen) {
            st.blankSeen = false;
            if (st.statementStart)
                readStatement(lx);
            if (blankCounts(st, lx.window + lx.pos)) {
                st.after = CssAfter::Layout;
                setWholePiece(lx, piece, TokenKind::Code, " ", placeAt(lx, lx.pos));
                return true;
            }
        }
        return tokenStart(lx, piece);
    }

    static bool name(Lexer &lx, TokenPiece &piece) { return nameStep(lx, piece); }
    static bool number(Lexer &lx, TokenPiece &piece) { return numberStep(lx, piece); }
    static bool quoted(Lexer &lx, TokenPiece &piece) { return stringStep(lx, piece); }
    static bool raw(Lexer &lx, TokenPiece &piece) { return urlStep(lx, piece); }
};

// --- Runs -------------------------------------------------------------------

// What cssRun does with a token's first byte.
enum RunStart : unsigned char {
    kRunOther = 0,  // the general steps
    kRunName,       // a letter, '_' or a byte >= 0x80
    kRunDigit,
    kRunDash,       // a name, a number or the general steps, by what follows
    kRunDot,        // a number or a token alone
    kRunHash,
    kRunPunct,      // { } ( ) [ ] ; , :
    kRunCombinator, // > ~ +
    kRunStar,       // * or !
    kRunBlank,
    kRunLineFeed,
};

constexpr std::array<unsigned char, 256> runStarts()
{
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 256; ++c) {
        unsigned char k = kRunOther;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80)
            k = kRunName;
        else if (c >= '0' && c <= '9')
            k = kRunDigit;
        else if (c == '-')
            k = kRunDash;
        else if (c == '.')
            k = kRunDot;
        else if (c == '#')
            k = kRunHash;
        else if (c == '{' || c == '}' || c == '(' || c == ')' || c == '[' || c == ']' || c == ';' || c == ',' ||
                 c == ':')
            k = kRunPunct;
        else if (c == '>' || c == '~' || c == '+')
            k = kRunCombinator;
        else if (c == '*' || c == '!')
            k = kRunStar;
        else if (c == ' ' || c == '\t' || c == '\r' || c == '\f')
            k = kRunBlank;
        else if (c == '\n')
            k = kRunLineFeed;
        t[static_cast<std::size_t>(c)] = k;
    }
    return t;
}

constexpr std::array<unsigned char, 256> kRunStarts = runStarts();

// The end of the name bytes from i; false when an escape follows them (the
// general steps read it).
inline bool runName(const char *w, std::size_t &i)
{
    while (isNameByte(w[i]))
        ++i;
    return w[i] != '\\';
}

// The end of a number's digits, fraction and exponent from i (at a digit, or
// a '.' before one), with its unit or '%'; false when its unit holds an
// escape.
inline bool runNumber(const char *w, std::size_t &i)
{
    while (isDigit(w[i]))
        ++i;
    if (w[i] == '.' && isDigit(w[i + 1])) {
        i += 2;
        while (isDigit(w[i]))
            ++i;
    }
    if ((w[i] == 'e' || w[i] == 'E') && (isDigit(w[i + 1]) || ((w[i + 1] == '+' || w[i + 1] == '-') && isDigit(w[i + 2])))) {
        i += isDigit(w[i + 1]) ? 2 : 3;
        while (isDigit(w[i]))
            ++i;
    }
    if (w[i] == '%') {
        ++i;
        return true;
    }
    if (w[i] == '\\')
        return false;
    if (nameStart(w + i)) {
        ++i;
        return runName(w, i);
    }
    return true;
}

// Whole tokens from pos on, the same the steps above give one by one: names,
// functions, numbers, hashes, brackets, ';', ',', ':', combinators, '*', '!'
// and the blanks that count, over layout and comments (but with comment
// words). It stops before anything else (strings, urls, escapes,
// at-keywords, interpolations...), before a statement whose look ahead the
// window does not hold, and short of the window's end.
std::size_t cssRun(Lexer &lx, QuickToken *out, std::size_t max, std::size_t keyBytes)
{
    CssLexState &st = cssState(lx);
    if (!st.started || lx.spliceAt != kNoSplice)
        return 0;
    // The lexer's fields held in locals: the stores to out may alias them.
    const char *const w = lx.window;
    const bool ended = lx.ended, skipComments = !lx.options.comments;
    const bool lineSkips = skipComments && lineComments(lx);
    const std::size_t end = lx.end, stop = ended ? end : end - std::min(end, kLexLookahead);
    const std::size_t statementRoom = kStatementScan + 4, semicolonRoom = kSemicolonScan + 2;
    std::size_t i = lx.pos, n = 0, bytes = 0, lastEnd = 0;
    std::int64_t line = lx.line, lineStart = lx.lineStart - lx.base;
    std::int64_t lineAtI = line, lineStartAtI = lineStart;  // where i is
    static const char kBlank[] = " ";
    while (n + 2 <= max) {
        // Layout: blanks, comments (no blank themselves: "a/**/b" is two
        // names side by side), and the last ';' before a block's '}'.
        std::size_t j = i;
        unsigned char k;
        bool blank = st.blankSeen, cut = false;
        for (;;) {
            k = kRunStarts[static_cast<unsigned char>(w[j])];
            if (k == kRunBlank) {
                blank = true;
                do
                    ++j;
                while (w[j] == ' ');
            } else if (k == kRunLineFeed) {
                blank = true;
                ++line;
                lineStart = static_cast<std::int64_t>(j) + 1;
                do
                    ++j;
                while (w[j] == ' ');
            } else if (w[j] == '/' && w[j + 1] == '*' && skipComments) {
                const std::size_t close = commentEnd(w, j + 2, stop);
                cut = close == stop;
                if (cut)
                    break;
                for (const char *lf = w + j; (lf = static_cast<const char *>(std::memchr(lf, '\n', close - (lf - w))));
                     ++lf) {
                    ++line;
                    lineStart = lf - w + 1;
                }
                j = close + 2;
            } else if (w[j] == '/' && w[j + 1] == '/' && lineSkips) {
                const void *lf = std::memchr(w + j, '\n', stop - j);
                cut = lf == nullptr;
                if (cut)
                    break;
                j = static_cast<std::size_t>(static_cast<const char *>(lf) - w);
            } else {
                break;
            }
        }
        if (cut || j >= stop)
            break;
        const char c = w[j];
        if (c == ';') {
            if (!ended && end - j < semicolonRoom)
                break;
            if (lastSemicolonAt(lx, j)) {
                st.blankSeen = blank;
                st.after = CssAfter::Layout;
                st.statementStart = true;
                i = j + 1;
                lineAtI = line;
                lineStartAtI = lineStart;
                continue;
            }
        }
        if (k == kRunOther)
            break;
        if (st.statementStart && !ended && end - j < statementRoom)
            break;
        // The token at j, and where it ends; nothing changes before it is sure.
        std::size_t e = j + 1;
        switch (k) {
        case kRunName:
            if ((c == 'u' || c == 'U') && (w[j + 1] == '+' || (lower(w[j + 1]) == 'r' && lower(w[j + 2]) == 'l' &&
                                                              w[j + 3] == '(')))
                k = kRunOther;
            else if (!runName(w, e))
                k = kRunOther;
            break;
        case kRunDigit:
            e = j;
            if (!runNumber(w, e))
                k = kRunOther;
            break;
        case kRunDash:
            if (isDigit(w[j + 1]) || (w[j + 1] == '.' && isDigit(w[j + 2]))) {
                e = j + 1;  // the sign, then the number
                k = runNumber(w, e) ? kRunDigit : kRunOther;
            } else if ((cls(w[j + 1]) & kCssStart) || (w[j + 1] == '-' && w[j + 2] != '>')) {
                k = runName(w, e) ? kRunName : kRunOther;
            } else {
                k = kRunOther;
            }
            break;
        case kRunDot:
            if (isDigit(w[j + 1])) {
                e = j;
                k = runNumber(w, e) ? kRunDigit : kRunOther;
            } else if (w[j + 1] == '.') {
                k = kRunOther;
            }
            break;
        case kRunHash:
            if (isNameByte(w[j + 1]) && !(w[j + 1] == '{' && st.dialect == CssDialect::Scss))
                k = runName(w, e) ? kRunHash : kRunOther;
            else
                k = kRunOther;
            break;
        case kRunCombinator:
            if (w[j + 1] == '=' || (c == '+' && numberStart(w + j)))
                k = kRunOther;
            break;
        case kRunStar:
            if (w[j + 1] == '=')
                k = kRunOther;
            break;
        default: break;
        }
        const bool function = k == kRunName && w[e] == '(';
        e += function ? 1 : 0;
        if (k == kRunOther || (!ended && e > stop) || bytes + (e - j) + 1 > keyBytes)
            break;
        if (st.statementStart)
            readStatementAt(lx, j);
        const TokenPlace place{line, static_cast<std::int64_t>(j) - lineStart + 1};
        st.blankSeen = false;
        if (blank && st.after != CssAfter::Layout && blankCounts(st, w + j)) {
            out[n++] = QuickToken{kBlank, 1, TokenKind::Code, place};
            ++bytes;
            st.after = CssAfter::Layout;
        }
        // What the token leaves, as startToken and the steps after it do.
        CssAfter after = CssAfter::Other;
        if (function) {
            const bool selector = e - j == 9 && std::memcmp(w + j, "selector", 8) == 0;
            push(st, selector ? CssOpen::Selector : CssOpen::Paren);
            after = CssAfter::Layout;
        } else if (k == kRunPunct) {
            switch (c) {
            case '{':
                push(st, CssOpen::Block);
                st.statementStart = true;
                after = CssAfter::Layout;
                break;
            case '}':
                if (!closeBrace(st)) {
                    st.statementStart = true;
                    after = CssAfter::Layout;
                }
                break;
            case '(': case '[':
                push(st, CssOpen::Paren);
                after = CssAfter::Layout;
                break;
            case ')': case ']':
                closeParen(st);
                break;
            case ';':
                if (innerDepth(st) == 0)
                    st.statementStart = true;
                after = CssAfter::Layout;
                break;
            case ',':
                after = CssAfter::Layout;
                break;
            default: {  // ':'
                const bool relaxed = relaxedColon(st);
                if (innerDepth(st) == 0)
                    st.colonSeen = true;
                after = relaxed ? CssAfter::Layout : CssAfter::Other;
            }
            }
        } else if (k == kRunCombinator) {
            after = relaxedCombinator(st, w + j) ? CssAfter::Combinator : CssAfter::Other;
        } else if (c == '!') {
            after = st.statement == CssStatement::Property ? CssAfter::Bang : CssAfter::Other;
        }
        st.after = after;
        out[n++] = QuickToken{w + j, static_cast<std::uint32_t>(e - j), TokenKind::Code, place};
        bytes += e - j;
        lastEnd = e;
        i = e;
        lineAtI = line;
        lineStartAtI = lineStart;
    }
    // Where the run ends: after its last token, or after layout it took.
    if (i > lx.pos) {
        lx.pos = lx.pieceStart = i;
        lx.line = lineAtI;
        lx.lineStart = lineStartAtI + lx.base;
    }
    if (n > 0) {
        lx.endOffset = lx.base + static_cast<std::int64_t>(lastEnd);
        const QuickToken &t = out[n - 1];
        lx.endPlace = TokenPlace{t.place.line, t.place.column + t.length};
    }
    return n;
}

} // namespace

void cssStart(Lexer &lx)
{
    CssLexState &st = startLanguageState<CssLexState>(lx);
    st.dialect = lx.language == Language::Scss ? CssDialect::Scss
                 : lx.language == Language::Less ? CssDialect::Less
                                                  : CssDialect::Css;
}

extern const LexerHooks kCssLexer = {cssStart, kitNext<CssSteps>, cssRun, nullptr, false, nullptr};
