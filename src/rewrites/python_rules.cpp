// Python's rules for --allow: the rewrites black, yapf and autopep8 make that
// cannot change the program.
//
// - parens: a pair of parentheses taken out where the grammar makes it
//   redundant: around a primary (a name, number, string, bracketed form,
//   then only trailers) where the tokens on each side cannot read it another
//   way, and around a whole expression in the places black sets them: after
//   return, an assignment's '=' (then a line end), if/elif/while (then the
//   header's ':'), for's target (then 'in') and iterable (then ':'), with,
//   except, assert, '->', and the names of a from-import. Never a tuple
//   (except a for target), a generator, a call's or a definition's
//   parentheses, yield (except right of '='), a lambda, a walrus where it
//   needs them.
// - commas: a trailing comma before ')', ']' or '}' in calls, definitions,
//   from-imports, lists, dicts and sets; in a tuple, a subscript or a type
//   parameter list only when another comma stands at its level (never `(a,)`
//   or `x[a,]`); never with a comprehension or an unfinished lambda there.
// - quotes: a run of adjacent plain string literals is one value of one kind
//   (text or bytes), written as a kind byte and the decoded value; an f- or
//   t-string only changes its quote character, where its text holds no quote
//   and no backslash.
// - numbers: by type and value: an int by its base and digits, a float or
//   an imaginary number by its exact decimal value.
// - docstrings: the string alone as the first statement of a module, class
//   or def compares by its value after inspect.cleandoc's clean-up, with the
//   trailing blanks of its lines removed.
//
// Every decision reads the tokens as written; what is not proven is left as
// written (a difference).
#include <cstring>

#include "rewrites/rules.h"

namespace {

constexpr std::size_t kPyLevels = 202;       // bracket levels held, the line's own included (CPython nests 200)
constexpr std::size_t kPyWord = 8;           // bytes of the previous token kept, enough for any keyword
constexpr std::size_t kPyCodes = 4096;       // code points of a string run's value; a longer run goes token by token
constexpr std::size_t kPyExpanded = 8192;    // code points of a docstring once its tabs are expanded
constexpr std::size_t kPyCanon = kPyExpanded * 10 + 64;  // bytes of a canonical form: at most 10 per code point
constexpr std::uint32_t kEscaped = 0x80000000u;  // a code point written as an escape, not as itself
constexpr int kTabWidth = 8;                 // str.expandtabs()
constexpr std::int64_t kExponentLimit = 999999999;  // a longer exponent is left as written

// What an open bracket is.
enum class Open : unsigned char { Line, Call, Params, TypeParams, Subscript, Group, List, Brace, Import };

struct Level {
    Open kind;
    bool hasFor;           // a comprehension's 'for' at this level
    std::uint32_t lambdas; // lambdas at this level whose ':' has not come
    std::uint32_t commas;  // commas at this level that separate elements
};

// The statement a logical line starts with.
enum class Head : unsigned char { Other, Async, If, While, For, With, Def, Class, Import, From, Global, Assert, Except,
                                  Del, Type };

// What the previous token was.
enum class Prev : unsigned char { Start, Atom, String, Word, Op };

struct PyState {
    std::uint64_t cursor;           // the next token to look at
    bool started;
    Level levels[kPyLevels];
    std::size_t depth;              // open brackets; levels[0] is the line's
    bool lost;                      // brackets past kPyLevels or unbalanced: no parens or commas till the line ends
    Head head;
    std::uint32_t lineTokens;       // tokens of the logical line so far
    std::uint32_t forIns;           // 'in' at the line's level
    bool atHead;                    // the previous token is the statement's keyword
    bool afterDefName;              // the previous token names a def or class (or a type alias)
    bool defParams;                 // a '(' now opens a def's parameters
    bool docIndent;                 // the line that ended was such a header
    bool docNext;                   // the next token starts the first statement of a module, class or def
    Prev prev;
    char prevKey[kPyWord];
    std::size_t prevLength;         // bytes of the previous key, 0 when longer than kPyWord
    std::uint32_t codes[kPyCodes];  // a run's value, kEscaped marking escapes
    std::uint32_t expanded[kPyExpanded];
    char canon[kPyCanon];
};

// ---- token classes ----

bool isNameByte(unsigned char c)
{
    return c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c >= 0x80;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same(const char *k, std::size_t n, const char *s)
{
    return std::strlen(s) == n && std::memcmp(k, s, n) == 0;
}

const char *const kKeywords[] = {"and", "as", "assert", "async", "await", "break", "class", "continue", "def", "del",
                                 "elif", "else", "except", "finally", "for", "from", "global", "if", "import", "in",
                                 "is", "lambda", "nonlocal", "not", "or", "pass", "raise", "return", "try", "while",
                                 "with", "yield"};

bool isKeyword(const char *k, std::size_t n)
{
    for (const char *word : kKeywords)
        if (same(k, n, word))
            return true;
    return false;
}

// Names that are keywords in some statements: never read as a plain name.
bool isSoftKeyword(const char *k, std::size_t n)
{
    return same(k, n, "match") || same(k, n, "case") || same(k, n, "type") || same(k, n, "_");
}

bool isName(const char *k, std::size_t n)
{
    if (n == 0 || isDigit(k[0]))
        return false;
    for (std::size_t i = 0; i < n; ++i)
        if (!isNameByte(static_cast<unsigned char>(k[i])))
            return false;
    return true;
}

// Bytes of the prefix of the string literal k, or -1 when k is not one.
int stringPrefix(const char *k, std::size_t n)
{
    for (std::size_t p = 0; p < n && p < 3; ++p) {
        if (k[p] == '\'' || k[p] == '"')
            return static_cast<int>(p);
        char c = lower(k[p]);
        if (c != 'r' && c != 'u' && c != 'b' && c != 'f' && c != 't')
            return -1;
    }
    return -1;
}

bool isNumber(const char *k, std::size_t n)
{
    return n > 0 && (isDigit(k[0]) || (k[0] == '.' && n > 1 && isDigit(k[1])));
}

struct Tok {
    const char *key;
    std::size_t length;
    TokenKind kind;
};

Tok tokenAt(RewriteWindow &w, std::uint64_t i)
{
    WindowToken &t = windowAt(w, i);
    return {tokenKey(w, i), t.length, t.kind};
}

bool codeIs(const Tok &t, const char *s)
{
    return t.kind == TokenKind::Code && same(t.key, t.length, s);
}

bool isStringTok(const Tok &t)
{
    return t.kind == TokenKind::Code && stringPrefix(t.key, t.length) >= 0;
}

// A token after which '(' calls and '[' subscripts.
bool endsAtom(const Tok &t)
{
    if (t.kind != TokenKind::Code)
        return t.kind == TokenKind::Value;
    if (isName(t.key, t.length))
        return !isKeyword(t.key, t.length);
    return isNumber(t.key, t.length) || stringPrefix(t.key, t.length) >= 0 || codeIs(t, ")") || codeIs(t, "]") ||
           codeIs(t, "}") || codeIs(t, "...");
}

bool prevIs(const PyState &s, const char *word)
{
    return s.prevLength > 0 && same(s.prevKey, s.prevLength, word);
}

bool prevIsAssignment(const PyState &s)
{
    static const char *const kOps[] = {"=", "+=", "-=", "*=", "/=", "//=", "%=", "**=", ">>=", "<<=", "&=", "^=",
                                       "|=", "@="};
    for (const char *op : kOps)
        if (prevIs(s, op))
            return true;
    return false;
}

// ---- numbers ----

// Appends the digits of k[from..to), dropping '_' between digits, as
// lowercase; false when an '_' stands anywhere else or a byte is not a digit
// of the base.
bool takeDigits(const char *k, std::size_t from, std::size_t to, int base, char *out, std::size_t &n)
{
    if (from >= to)
        return false;
    for (std::size_t i = from; i < to; ++i) {
        char c = lower(k[i]);
        if (c == '_') {
            if (i + 1 >= to || k[i + 1] == '_' || i == from)
                return false;
            continue;
        }
        int v = isDigit(c) ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : 99;
        if (v >= base)
            return false;
        out[n++] = c;
    }
    return true;
}

// The canonical form of the numeric literal k into out: "Ni" base digits for
// an int, "Nf"/"Nj" mantissa "e" exponent for a float or an imaginary number
// (the exact decimal value). 0 when k is not a literal read exactly here.
std::size_t numberForm(const char *k, std::size_t n, char *out)
{
    std::size_t m = 0;
    out[m++] = 'N';
    char p = n > 2 && k[0] == '0' ? lower(k[1]) : 0;
    if (p == 'x' || p == 'o' || p == 'b') {
        out[m++] = 'i';
        out[m++] = p;
        std::size_t from = k[2] == '_' ? 3 : 2;
        std::size_t start = m;
        if (!takeDigits(k, from, n, p == 'x' ? 16 : p == 'o' ? 8 : 2, out, m))
            return 0;
        std::size_t z = start;
        while (z + 1 < m && out[z] == '0')
            ++z;
        std::memmove(out + start, out + z, m - z);
        return m - (z - start);
    }
    std::size_t end = n;
    bool imaginary = end > 0 && lower(k[end - 1]) == 'j';
    if (imaginary)
        --end;
    std::size_t dot = end, exp = end;
    for (std::size_t i = 0; i < end; ++i) {
        if (k[i] == '.' && dot == end && exp == end)
            dot = i;
        else if (lower(k[i]) == 'e' && exp == end)
            exp = i;
    }
    char digits[kRewriteLongToken];
    std::size_t d = 0, whole = 0;
    std::size_t intEnd = dot < exp ? dot : exp;
    if (intEnd > 0 && !takeDigits(k, 0, intEnd, 10, digits, d))
        return 0;
    whole = d;
    if (dot < exp && dot + 1 < exp && !takeDigits(k, dot + 1, exp, 10, digits, d))
        return 0;
    if (d == 0)
        return 0;
    std::int64_t e = 0;
    if (exp < end) {
        std::size_t i = exp + 1;
        bool negative = i < end && k[i] == '-';
        if (i < end && (k[i] == '-' || k[i] == '+'))
            ++i;
        char ed[kRewriteLongToken];
        std::size_t en = 0;
        if (!takeDigits(k, i, end, 10, ed, en))
            return 0;
        std::size_t z = 0;
        while (z + 1 < en && ed[z] == '0')
            ++z;
        if (en - z > 9)
            return 0;  // exponent too long to hold: left as written
        for (; z < en; ++z)
            e = e * 10 + (ed[z] - '0');
        if (negative)
            e = -e;
    }
    if (!imaginary && dot == end && exp == end) {
        // An int: leading zeros only in a zero.
        std::size_t z = 0;
        while (z < d && digits[z] == '0')
            ++z;
        if (z > 0 && z < d)
            return 0;
        out[m++] = 'i';
        out[m++] = 'd';
        if (z == d)
            out[m++] = '0';
        for (; z < d; ++z)
            out[m++] = digits[z];
        return m;
    }
    out[m++] = imaginary ? 'j' : 'f';
    e -= static_cast<std::int64_t>(d - whole);
    std::size_t first = 0;
    while (first < d && digits[first] == '0')
        ++first;
    while (d > first && digits[d - 1] == '0') {
        --d;
        ++e;
    }
    if (first == d) {
        out[m++] = '0';
        return m;
    }
    for (std::size_t i = first; i < d; ++i)
        out[m++] = digits[i];
    out[m++] = 'e';
    if (e < 0) {
        out[m++] = '-';
        e = -e;
    }
    if (e > kExponentLimit * 2)
        return 0;
    char buf[24];
    std::size_t b = 0;
    do {
        buf[b++] = static_cast<char>('0' + e % 10);
        e /= 10;
    } while (e > 0);
    while (b > 0)
        out[m++] = buf[--b];
    return m;
}

// ---- strings ----

int hexValue(char c)
{
    c = lower(c);
    return isDigit(c) ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
}

// Reads the UTF-8 sequence at k[i..n) into cp; its length, 0 when invalid.
std::size_t readUtf8(const char *k, std::size_t i, std::size_t n, std::uint32_t &cp)
{
    auto b = [&](std::size_t j) { return static_cast<unsigned char>(k[j]); };
    unsigned char c = b(i);
    std::size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    if (len == 0 || c > 0xF4 || i + len > n)
        return 0;
    cp = c & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
    for (std::size_t j = 1; j < len; ++j) {
        if ((b(i + j) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b(i + j) & 0x3F);
    }
    bool overlong = (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000);
    if (overlong || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        return 0;
    return len;
}

// What one string literal is.
enum class StrKind : unsigned char { Text, Bytes, Formatted, Template, None };

struct StrShape {
    StrKind kind = StrKind::None;
    bool raw = false;
    std::size_t prefix = 0;  // bytes of the prefix
    std::size_t quote = 0;   // bytes of each quote: 1 or 3
};

StrShape strShape(const Tok &t)
{
    StrShape s;
    if (t.kind != TokenKind::Code)
        return s;
    int p = stringPrefix(t.key, t.length);
    if (p < 0)
        return s;
    s.prefix = static_cast<std::size_t>(p);
    s.kind = StrKind::Text;
    for (std::size_t i = 0; i < s.prefix; ++i) {
        char c = lower(t.key[i]);
        s.raw = s.raw || c == 'r';
        if (c == 'b')
            s.kind = StrKind::Bytes;
        if (c == 'f')
            s.kind = StrKind::Formatted;
        if (c == 't')
            s.kind = StrKind::Template;
    }
    char q = t.key[s.prefix];
    bool triple = t.length >= s.prefix + 6 && t.key[s.prefix + 1] == q && t.key[s.prefix + 2] == q;
    s.quote = triple ? 3 : 1;
    return s;
}

// Appends the value of the plain literal t (shape sh) to codes[n..]: text as
// code points (kEscaped on those an escape wrote), bytes as byte values.
// False when t is not a whole literal read exactly here: unterminated, a
// \N{...} escape, a bad escape Python rejects, a CR, a byte that is not
// UTF-8 (text) or ASCII (bytes), or no room.
bool decodePlain(const Tok &t, const StrShape &sh, std::uint32_t *codes, std::size_t &n)
{
    const char *k = t.key;
    char q = k[sh.prefix];
    std::size_t i = sh.prefix + sh.quote, end = t.length;
    bool bytes = sh.kind == StrKind::Bytes;
    auto put = [&](std::uint32_t c) {
        if (n == kPyCodes)
            return false;
        codes[n++] = c;
        return true;
    };
    for (;;) {
        if (i >= end)
            return false;
        char c = k[i];
        if (c == q && (sh.quote == 1 || (i + 2 < end && k[i + 1] == q && k[i + 2] == q)))
            return i + sh.quote == end;
        if (c == '\r' || c == '\0')
            return false;
        if (c == '\n' && sh.quote == 1)
            return false;
        auto u = static_cast<unsigned char>(c);
        if (u >= 0x80) {
            std::uint32_t cp = 0;
            std::size_t len = bytes ? 0 : readUtf8(k, i, end, cp);
            if (len == 0 || !put(cp))
                return false;
            i += len;
            continue;
        }
        if (c != '\\') {
            if (!put(u))
                return false;
            ++i;
            continue;
        }
        if (i + 1 >= end)
            return false;
        char e = k[i + 1];
        if (sh.raw) {
            // The backslash only keeps the next byte from closing the string.
            if (!put('\\'))
                return false;
            ++i;
            if (e == '\r' || static_cast<unsigned char>(e) >= 0x80)
                continue;
            if (!put(static_cast<unsigned char>(e)))
                return false;
            ++i;
            continue;
        }
        i += 2;
        std::uint32_t v = 0;
        switch (e) {
        case '\n': continue;
        case '\\': case '\'': case '"': v = static_cast<unsigned char>(e); break;
        case 'a': v = 7; break;
        case 'b': v = 8; break;
        case 'f': v = 12; break;
        case 'n': v = 10; break;
        case 'r': v = 13; break;
        case 't': v = 9; break;
        case 'v': v = 11; break;
        case '0': case '1': case '2': case '3': case '4': case '5': case '6': case '7': {
            v = static_cast<std::uint32_t>(e - '0');
            for (int d = 0; d < 2 && i < end && k[i] >= '0' && k[i] <= '7'; ++d, ++i)
                v = v * 8 + static_cast<std::uint32_t>(k[i] - '0');
            if (v > 0377)
                return false;  // a warning, and bytes differ by version: left as written
            break;
        }
        case 'x': case 'u': case 'U': {
            int digits = e == 'x' ? 2 : e == 'u' ? 4 : 8;
            if (e != 'x' && bytes) {
                // Not an escape in bytes: the backslash stays.
                if (!put('\\'))
                    return false;
                --i;
                continue;
            }
            for (int d = 0; d < digits; ++d, ++i) {
                int h = i < end ? hexValue(k[i]) : -1;
                if (h < 0)
                    return false;
                v = v * 16 + static_cast<std::uint32_t>(h);
            }
            if (v > 0x10FFFF)
                return false;
            break;
        }
        case 'N':
            if (!bytes)
                return false;  // a character name: left as written
            [[fallthrough]];
        default:
            // An escape Python does not know keeps its backslash.
            if (!put('\\'))
                return false;
            --i;
            continue;
        }
        if (!put(v | (v >= 0x80 && !bytes ? kEscaped : 0)))
            return false;
    }
}

// Writes codes[0..n) as text into out: ASCII as itself (a backslash
// doubled), a character written as itself in UTF-8, one an escape wrote as
// \u{hex}, so that the form does not depend on the source's encoding.
std::size_t encodeText(const std::uint32_t *codes, std::size_t n, char *out)
{
    static const char kHex[] = "0123456789abcdef";
    std::size_t m = 0;
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t cp = codes[i] & ~kEscaped;
        if (cp < 0x80) {
            if (cp == '\\')
                out[m++] = '\\';
            out[m++] = static_cast<char>(cp);
        } else if (codes[i] & kEscaped) {
            out[m++] = '\\';
            out[m++] = 'u';
            out[m++] = '{';
            int shift = 20;
            while (shift > 0 && ((cp >> shift) & 0xF) == 0)
                shift -= 4;
            for (; shift >= 0; shift -= 4)
                out[m++] = kHex[(cp >> shift) & 0xF];
            out[m++] = '}';
        } else if (cp < 0x800) {
            out[m++] = static_cast<char>(0xC0 | (cp >> 6));
            out[m++] = static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out[m++] = static_cast<char>(0xE0 | (cp >> 12));
            out[m++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out[m++] = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out[m++] = static_cast<char>(0xF0 | (cp >> 18));
            out[m++] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out[m++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out[m++] = static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return m;
}

// The canonical form of the f- or t-string t: its kind, rawness, quote
// length and text, without its quote character. 0 when the text holds a
// quote (where the quote character may matter) or a CR.
std::size_t formattedForm(const Tok &t, const StrShape &sh, char *out)
{
    std::size_t from = sh.prefix + sh.quote;
    if (t.length < from + sh.quote)
        return 0;
    std::size_t to = t.length - sh.quote;
    char q = t.key[sh.prefix];
    for (std::size_t i = to; i < t.length; ++i)
        if (t.key[i] != q)
            return 0;
    for (std::size_t i = from; i < to; ++i) {
        char c = t.key[i];
        if (c == '\'' || c == '"' || c == '\r' || c == '\0')
            return 0;
        // An escape means the same between either quote when no quote
        // stands in the text; one that would take the closing quote is not
        // a whole literal.
        if (c == '\\' && ++i == to)
            return 0;
    }
    std::size_t m = 0;
    out[m++] = sh.kind == StrKind::Template ? 'T' : 'F';
    out[m++] = sh.raw ? 'r' : '-';
    out[m++] = sh.quote == 3 ? '3' : '1';
    std::memcpy(out + m, t.key + from, to - from);
    return m + (to - from);
}

// Python's str.isspace().
bool isSpace(std::uint32_t c)
{
    c &= ~kEscaped;
    return (c >= 0x09 && c <= 0x0D) || (c >= 0x1C && c <= 0x20) || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

bool isLineFeed(std::uint32_t c)
{
    return (c & ~kEscaped) == '\n';
}

// The docstring value codes[0..n) as inspect.cleandoc leaves it, each line
// without its trailing blanks, into s.expanded; its length, or -1 when it
// does not fit.
long cleanDoc(PyState &s, std::size_t n)
{
    // Tabs expanded over the whole value, as cleandoc does.
    std::size_t m = 0;
    std::size_t column = 0;
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t c = s.codes[i] & ~kEscaped;
        std::size_t add = c == '\t' ? kTabWidth - column % kTabWidth : 1;
        if (m + add > kPyExpanded)
            return -1;
        for (std::size_t a = 0; a < add; ++a)
            s.expanded[m++] = c == '\t' ? ' ' : s.codes[i];
        column = c == '\n' || c == '\r' ? 0 : column + add;
    }
    // The margin: the least indentation of the lines after the first that
    // hold more than blanks.
    std::size_t margin = static_cast<std::size_t>(-1);
    bool firstLine = true;
    for (std::size_t b = 0; b <= m;) {
        std::size_t e = b;
        while (e < m && !isLineFeed(s.expanded[e]))
            ++e;
        std::size_t lead = b;
        while (lead < e && isSpace(s.expanded[lead]))
            ++lead;
        if (!firstLine && lead < e && lead - b < margin)
            margin = lead - b;
        firstLine = false;
        b = e + 1;
    }
    // Each line trimmed, written over the buffer (never past its reading
    // point); empty lines at either end left out.
    std::size_t out = 0, lastKept = 0;
    bool any = false;
    firstLine = true;
    for (std::size_t b = 0; b <= m;) {
        std::size_t e = b;
        while (e < m && !isLineFeed(s.expanded[e]))
            ++e;
        std::size_t next = e + 1;
        while (e > b && isSpace(s.expanded[e - 1]))
            --e;
        std::size_t from = b;
        if (firstLine) {
            while (from < e && isSpace(s.expanded[from]))
                ++from;
        } else if (margin != static_cast<std::size_t>(-1)) {
            from = b + margin < e ? b + margin : e;
        }
        firstLine = false;
        if (from < e || any) {
            if (any)
                s.expanded[out++] = '\n';
            for (std::size_t i = from; i < e; ++i)
                s.expanded[out++] = s.expanded[i];
            any = true;
            if (from < e)
                lastKept = out;
        }
        b = next;
    }
    return static_cast<long>(lastKept);
}

// ---- the window ----

Level &top(PyState &s)
{
    return s.levels[s.depth];
}

void resetLine(PyState &s)
{
    s.depth = 0;
    s.levels[0] = Level{Open::Line, false, 0, 0};
    s.lost = false;
    s.head = Head::Other;
    s.lineTokens = 0;
    s.forIns = 0;
    s.atHead = s.afterDefName = s.defParams = false;
}

void notePrev(PyState &s, const Tok &t, Prev p)
{
    s.prev = p;
    s.prevLength = t.length <= kPyWord ? t.length : 0;
    if (s.prevLength > 0)
        std::memcpy(s.prevKey, t.key, t.length);
}

Head headOf(const Tok &t)
{
    struct Entry {
        const char *word;
        Head head;
    };
    static const Entry kHeads[] = {{"if", Head::If}, {"elif", Head::If}, {"while", Head::While}, {"for", Head::For},
                                   {"with", Head::With}, {"def", Head::Def}, {"class", Head::Class},
                                   {"import", Head::Import}, {"from", Head::From}, {"global", Head::Global},
                                   {"nonlocal", Head::Global}, {"assert", Head::Assert}, {"except", Head::Except},
                                   {"del", Head::Del}, {"async", Head::Async}, {"type", Head::Type}};
    for (const Entry &e : kHeads)
        if (codeIs(t, e.word))
            return e.head;
    return Head::Other;
}

// What stands at the top level of the tokens (from, to), a bracketed
// form's inside.
struct Inside {
    bool empty = true;
    bool comma = false, trailingComma = false, forWord = false, yieldWord = false, lambda = false, as = false;
    bool in = false, colon = false, assign = false, walrus = false, star = false, starFirst = false;
    bool yieldFirst = false, importNames = true;
    bool primary = false;       // an atom with trailers only
    bool enclosure = false;     // one bracketed form, whole
    bool lastString = false;
};

Inside readInside(RewriteWindow &w, std::uint64_t from, std::uint64_t to)
{
    Inside in;
    std::size_t depth = 0;
    bool first = true;
    // The primary's reading: 0 before its atom, 1 after a part of it, 2 after
    // a '.', 3 broken.
    int primary = 0;
    std::uint64_t enclosureEnd = 0;
    for (std::uint64_t i = from + 1; i < to; ++i) {
        Tok t = tokenAt(w, i);
        in.empty = false;
        bool open = codeIs(t, "(") || codeIs(t, "[") || codeIs(t, "{");
        bool close = codeIs(t, ")") || codeIs(t, "]") || codeIs(t, "}");
        if (depth == 0) {
            if (first && open)
                enclosureEnd = matchingClose(w, i);
            bool string = isStringTok(t);
            in.lastString = string;
            if (codeIs(t, ",")) {
                in.comma = true;
                in.trailingComma = i + 1 == to;
            }
            in.forWord = in.forWord || codeIs(t, "for");
            in.yieldWord = in.yieldWord || codeIs(t, "yield");
            in.yieldFirst = in.yieldFirst || (first && codeIs(t, "yield"));
            in.lambda = in.lambda || codeIs(t, "lambda");
            in.as = in.as || codeIs(t, "as");
            in.in = in.in || codeIs(t, "in");
            in.colon = in.colon || codeIs(t, ":");
            in.assign = in.assign || codeIs(t, "=");
            in.walrus = in.walrus || codeIs(t, ":=");
            in.star = in.star || codeIs(t, "*") || codeIs(t, "**");
            in.starFirst = in.starFirst || (first && (codeIs(t, "*") || codeIs(t, "**")));
            in.importNames = in.importNames && (codeIs(t, ",") || codeIs(t, "as") ||
                                                (t.kind == TokenKind::Code && isName(t.key, t.length) &&
                                                 !isKeyword(t.key, t.length)));
            // The primary: an atom, then '.' name, '(...)' or '[...]' only.
            bool name = t.kind == TokenKind::Code && isName(t.key, t.length);
            bool atom = (name && !isKeyword(t.key, t.length) && !isSoftKeyword(t.key, t.length)) ||
                        isNumber(t.key, t.length) || codeIs(t, "...") || string;
            if (primary == 0)
                primary = atom || open ? 1 : 3;
            else if (primary == 1)
                primary = string && isStringTok(tokenAt(w, i - 1)) ? 1
                          : codeIs(t, ".")                        ? 2
                          : codeIs(t, "(") || codeIs(t, "[")      ? 1
                                                                  : 3;
            else if (primary == 2)
                primary = name ? 1 : 3;
            first = false;
        }
        if (open)
            ++depth;
        else if (close && depth > 0)
            --depth;
    }
    in.primary = primary == 1 && depth == 0;
    in.enclosure = enclosureEnd == to - 1 && to > from + 1;
    return in;
}

// Whether a primary in parentheses at (open, close) may go without them:
// the tokens before and after read it as the same primary.
bool primaryFree(const PyState &s, const Inside &in, const Tok &next, bool lineStart)
{
    static const char *const kRefused[] = {".", "lambda", "as", "from", "global", "nonlocal", "def", "class",
                                           "async", "import", "match", "case", "type"};
    for (const char *word : kRefused)
        if (prevIs(s, word))
            return false;
    if (s.prevLength == 0 && s.prev != Prev::Start)
        return false;
    if (s.head == Head::Import || s.head == Head::Global || s.head == Head::From)
        return false;
    const Level &l = s.levels[s.depth];
    bool params = l.kind == Open::Params || l.kind == Open::TypeParams || l.lambdas > 0;
    if (params && !prevIs(s, "=") && !prevIs(s, ":"))
        return false;
    if ((codeIs(next, "=") && s.depth > 0) || codeIs(next, ":=") || (codeIs(next, ":") && lineStart))
        return false;
    if (in.lastString && isStringTok(next))
        return false;
    return in.primary || in.enclosure;
}

// Whether the parentheses at (open, close) hold a whole expression in one
// of the places black sets them, at the line's level.
bool slotFree(const PyState &s, const Inside &in, const Tok &next, bool commasAllowed)
{
    if (s.depth != 0 || s.levels[0].lambdas > 0 || in.empty)
        return false;
    bool lineEnd = next.kind == TokenKind::LineEnd;
    bool plain = !in.comma && !in.forWord && !in.lambda && !in.as && !in.colon && !in.assign && !in.starFirst;
    bool noYield = !in.yieldWord;
    if (s.head == Head::From && prevIs(s, "import"))
        return lineEnd && in.importNames && (!in.trailingComma || commasAllowed);
    // A tuple stays a tuple without its parentheses where a whole
    // expression list stands: a return value, a right-hand side, a target.
    bool list = !in.forWord && !in.lambda && !in.as && !in.colon && !in.assign && !in.starFirst && !in.walrus;
    if (prevIs(s, "return"))
        return lineEnd && list && noYield;
    if (prevIsAssignment(s))
        return lineEnd && list && (noYield || (in.yieldFirst && !in.comma));
    if (s.prev == Prev::Start)
        return codeIs(next, "=") && list && noYield && !in.in;
    if (s.atHead && (s.head == Head::If || s.head == Head::While))
        return codeIs(next, ":") && plain && noYield;
    if (s.atHead && s.head == Head::For)
        return codeIs(next, "in") && !in.in && !in.star && !in.walrus && !in.forWord && !in.lambda && noYield &&
               !in.colon && !in.assign && !in.as;
    if (s.head == Head::For && prevIs(s, "in") && s.forIns == 1)
        return codeIs(next, ":") && plain && noYield && !in.walrus;
    if (s.atHead && s.head == Head::With)
        return (codeIs(next, "as") || codeIs(next, ":") || codeIs(next, ",")) && plain && noYield && !in.walrus;
    if (s.atHead && s.head == Head::Except)
        return (codeIs(next, "as") || codeIs(next, ":")) && plain && noYield && !in.walrus;
    if (s.head == Head::Assert && (s.atHead || prevIs(s, ",")))
        return (lineEnd || (codeIs(next, ",") && s.atHead)) && plain && noYield && !in.walrus;
    if (prevIs(s, "->"))
        return codeIs(next, ":") && plain && noYield && !in.walrus;
    return false;
}

// Takes out the parentheses that open at open as a parens rewrite, then
// those right inside them that stand in the same place. False when the
// lookahead is not held yet and more may come.
bool takeParens(RewriteWindow &w, PyState &s, std::uint64_t open, bool lineStart)
{
    bool commas = (w.allow & rewriteBit(Rewrite::Commas)) != 0;
    std::uint64_t close = matchingClose(w, open);
    if (close == windowEnd(w) || close + 1 == windowEnd(w))
        return w.complete;
    Tok next = tokenAt(w, close + 1);
    for (;;) {
        Inside in = readInside(w, open, close);
        if (!primaryFree(s, in, next, lineStart) && !slotFree(s, in, next, commas))
            return true;
        std::uint64_t after = nextKept(w, close);
        std::uint64_t inner = nextKept(w, open);
        if (after == windowEnd(w) || inner >= close)
            return true;
        dropToken(w, open, Rewrite::Parens, inner);
        dropToken(w, close, Rewrite::Parens, after);
        if (!in.enclosure || !codeIs(tokenAt(w, open + 1), "("))
            return true;
        ++open;
        --close;
    }
}

// The trailing comma at i, before the closing bracket at i + 1: whether it
// means nothing where it stands.
bool commaFree(const PyState &s)
{
    if (s.depth == 0 || s.lost)
        return false;
    const Level &l = s.levels[s.depth];
    if (l.hasFor || l.lambdas > 0 || (s.prev != Prev::Atom && s.prev != Prev::String))
        return false;
    switch (l.kind) {
    case Open::Call: case Open::Params: case Open::List: case Open::Brace: case Open::Import: return true;
    case Open::Group: case Open::Subscript: case Open::TypeParams: return l.commas >= 1;
    case Open::Line: break;
    }
    return false;
}

// Pushes the bracket t opens (after the tokens the state holds).
void openBracket(PyState &s, Open kind)
{
    if (s.depth + 1 == kPyLevels) {
        s.lost = true;  // deeper than held: no rewrite till the line ends
        return;
    }
    s.levels[++s.depth] = Level{kind, false, 0, 0};
}

Open openKind(const PyState &s, const Tok &t)
{
    bool callable = s.prev == Prev::Atom || s.prev == Prev::String;
    if (codeIs(t, "{"))
        return Open::Brace;
    if (codeIs(t, "[")) {
        if (s.afterDefName)
            return Open::TypeParams;
        return callable ? Open::Subscript : Open::List;
    }
    if ((s.afterDefName && s.head == Head::Def) || s.defParams)
        return Open::Params;
    if (s.head == Head::From && prevIs(s, "import"))
        return Open::Import;
    if (callable && !prevIs(s, "match") && !prevIs(s, "case") && !prevIs(s, "type"))
        return Open::Call;
    return Open::Group;
}

// The canonical form of the run of string tokens [from, to) into s.canon:
// one value of one kind, or (docstring) its cleaned text. 0 when the run is
// not read exactly here.
std::size_t runForm(RewriteWindow &w, PyState &s, std::uint64_t from, std::uint64_t to, bool doc, bool quotes)
{
    std::size_t n = 0, m = 0;
    StrKind kind = StrKind::None;
    char *out = s.canon;
    out[m++] = doc ? 'D' : 'S';
    for (std::uint64_t i = from; i < to; ++i) {
        Tok t = tokenAt(w, i);
        StrShape sh = strShape(t);
        if (sh.kind != StrKind::Text && sh.kind != StrKind::Bytes)
            return 0;
        if (kind != StrKind::None && sh.kind != kind)
            return 0;
        kind = sh.kind;
        if (!decodePlain(t, sh, s.codes, n))
            return 0;
        if (!quotes) {
            // Without quotes, the spelling of each part stays part of the form.
            if (m + sh.prefix + sh.quote + 1 > kPyCanon)
                return 0;
            std::memcpy(out + m, t.key, sh.prefix + sh.quote);
            m += sh.prefix + sh.quote;
            out[m++] = '\x01';
        }
    }
    if (kind == StrKind::Bytes) {
        if (doc)
            return 0;
        out[0] = 'B';
        for (std::size_t i = 0; i < n; ++i)
            out[m++] = static_cast<char>(s.codes[i]);
        return m;
    }
    if (!doc)
        return m + encodeText(s.codes, n, out + m);
    long cleaned = cleanDoc(s, n);
    if (cleaned < 0)
        return 0;
    return m + encodeText(s.expanded, static_cast<std::size_t>(cleaned), out + m);
}

// Rewrites the run of string tokens [from, to): a docstring, one value, or
// each token by itself.
void rewriteRun(RewriteWindow &w, PyState &s, std::uint64_t from, std::uint64_t to, bool doc)
{
    bool quotes = (w.allow & rewriteBit(Rewrite::Quotes)) != 0;
    bool docs = (w.allow & rewriteBit(Rewrite::Docstrings)) != 0;
    if (doc && docs) {
        std::size_t m = runForm(w, s, from, to, true, quotes);
        if (m > 0 && replaceKey(w, from, Rewrite::Docstrings, s.canon, m)) {
            for (std::uint64_t i = from + 1; i < to; ++i)
                dropToken(w, i, Rewrite::Docstrings, from);
            return;
        }
    }
    if (!quotes)
        return;
    if (to - from > 1) {
        std::size_t m = runForm(w, s, from, to, false, true);
        if (m > 0 && replaceKey(w, from, Rewrite::Quotes, s.canon, m)) {
            for (std::uint64_t i = from + 1; i < to; ++i)
                dropToken(w, i, Rewrite::Quotes, from);
            return;
        }
    }
    for (std::uint64_t i = from; i < to; ++i) {
        Tok t = tokenAt(w, i);
        StrShape sh = strShape(t);
        std::size_t m = 0;
        if (sh.kind == StrKind::Formatted || sh.kind == StrKind::Template)
            m = formattedForm(t, sh, s.canon);
        else
            m = runForm(w, s, i, i + 1, false, true);
        if (m > 0)
            replaceKey(w, i, Rewrite::Quotes, s.canon, m);
    }
}

// Notes what the token t does to the line's state (after its rewrites).
void noteToken(PyState &s, const Tok &t, Prev p)
{
    ++s.lineTokens;
    bool wasHead = s.atHead;
    s.atHead = false;
    if (s.lineTokens == 1) {
        s.head = headOf(t);
        s.atHead = s.head != Head::Other && s.head != Head::Async;
    } else if (s.lineTokens == 2 && s.head == Head::Async) {
        Head h = headOf(t);
        s.head = h == Head::Def || h == Head::For || h == Head::With ? h : Head::Other;
        s.atHead = s.head != Head::Other;
    }
    s.afterDefName = wasHead && (s.head == Head::Def || s.head == Head::Class || s.head == Head::Type) &&
                     t.kind == TokenKind::Code && isName(t.key, t.length);
    s.defParams = false;
    notePrev(s, t, p);
}

// The scan: see rewrites.h.
std::uint64_t scanPython(RewriteWindow &w, void *state)
{
    PyState &s = *static_cast<PyState *>(state);
    if (!s.started) {
        s.started = true;
        s.cursor = w.first;
        s.docNext = true;
        s.prev = Prev::Start;
        resetLine(s);
    }
    std::uint64_t i = s.cursor;
    if (i < w.first || i > windowEnd(w)) {
        // Tokens went by unseen: nothing before them is known.
        i = w.first;
        s.lost = true;
        s.prev = Prev::Op;
        s.prevLength = 0;
        s.docNext = false;
    }
    const bool parens = (w.allow & rewriteBit(Rewrite::Parens)) != 0;
    const bool commas = (w.allow & rewriteBit(Rewrite::Commas)) != 0;
    const bool numbers = (w.allow & rewriteBit(Rewrite::Numbers)) != 0;
    const bool strings = (w.allow & (rewriteBit(Rewrite::Quotes) | rewriteBit(Rewrite::Docstrings))) != 0;
    while (i < windowEnd(w)) {
        Tok t = tokenAt(w, i);
        if (t.kind == TokenKind::End) {
            ++i;
            continue;
        }
        if (t.kind == TokenKind::LineEnd || t.kind == TokenKind::Indent || t.kind == TokenKind::Dedent) {
            if (t.kind == TokenKind::LineEnd) {
                s.docIndent = (s.head == Head::Def || s.head == Head::Class) && prevIs(s, ":") && s.depth == 0;
                resetLine(s);
                s.docNext = false;
            } else {
                s.docNext = t.kind == TokenKind::Indent && s.docIndent;
                s.docIndent = false;
            }
            s.prev = Prev::Start;
            s.prevLength = 0;
            ++i;
            continue;
        }
        bool lineStart = s.lineTokens == 0;
        if (isStringTok(t) && !windowAt(w, i).dropped) {
            std::uint64_t j = i;
            while (j < windowEnd(w) && isStringTok(tokenAt(w, j)))
                ++j;
            if (j == windowEnd(w) && !w.complete)
                break;
            bool doc = s.docNext && lineStart && j < windowEnd(w) && tokenAt(w, j).kind == TokenKind::LineEnd;
            if (strings)
                rewriteRun(w, s, i, j, doc);
            for (std::uint64_t k = i; k < j; ++k)
                noteToken(s, tokenAt(w, k), Prev::String);
            s.docNext = false;
            i = j;
            continue;
        }
        s.docNext = false;
        if (t.kind != TokenKind::Code) {
            noteToken(s, t, Prev::Op);
            ++i;
            continue;
        }
        if (isNumber(t.key, t.length)) {
            if (numbers) {
                std::size_t m = numberForm(t.key, t.length, s.canon);
                if (m > 0)
                    replaceKey(w, i, Rewrite::Numbers, s.canon, m);
            }
            noteToken(s, t, Prev::Atom);
            ++i;
            continue;
        }
        if (codeIs(t, "(") || codeIs(t, "[") || codeIs(t, "{")) {
            Open kind = openKind(s, t);
            if (parens && !s.lost && (kind == Open::Group || kind == Open::Import) && codeIs(t, "(") &&
                !windowAt(w, i).dropped) {
                if (!takeParens(w, s, i, lineStart))
                    break;
            }
            noteToken(s, t, Prev::Op);
            openBracket(s, kind);
            ++i;
            continue;
        }
        if (codeIs(t, ")") || codeIs(t, "]") || codeIs(t, "}")) {
            bool typeParams = s.depth > 0 && top(s).kind == Open::TypeParams;
            if (s.depth == 0)
                s.lost = true;  // unbalanced: no rewrite till the line ends
            else
                --s.depth;
            noteToken(s, t, Prev::Atom);
            s.defParams = typeParams && s.depth == 0 && s.head == Head::Def;
            ++i;
            continue;
        }
        if (codeIs(t, ",")) {
            if (i + 1 == windowEnd(w) && !w.complete)
                break;
            Tok next = i + 1 < windowEnd(w) ? tokenAt(w, i + 1) : Tok{"", 0, TokenKind::End};
            bool closing = codeIs(next, ")") || codeIs(next, "]") || codeIs(next, "}");
            if (closing && commas && commaFree(s) && !windowAt(w, i).dropped) {
                std::uint64_t onto = nextKept(w, i);
                if (onto != windowEnd(w))
                    dropToken(w, i, Rewrite::Commas, onto);
            }
            if (top(s).lambdas == 0)
                ++top(s).commas;
            noteToken(s, t, Prev::Op);
            ++i;
            continue;
        }
        if (codeIs(t, "lambda"))
            ++top(s).lambdas;
        else if (codeIs(t, ":") && top(s).lambdas > 0)
            --top(s).lambdas;
        else if (codeIs(t, "for") && s.depth > 0)
            top(s).hasFor = true;
        else if (codeIs(t, "in") && s.depth == 0)
            ++s.forIns;
        bool atom = endsAtom(t);
        noteToken(s, t, atom ? Prev::Atom : isName(t.key, t.length) ? Prev::Word : Prev::Op);
        ++i;
    }
    s.cursor = i;
    if (i == w.first && w.complete) {
        // Must move on: the token goes out as written.
        s.cursor = ++i;
        s.lost = true;
    }
    return i;
}

} // namespace

const RewriteRules kPythonRules = {
    Language::Python,
    static_cast<RewriteSet>(rewriteBit(Rewrite::Parens) | rewriteBit(Rewrite::Commas) | rewriteBit(Rewrite::Quotes) |
                            rewriteBit(Rewrite::Numbers) | rewriteBit(Rewrite::Docstrings)),
    sizeof(PyState),
    scanPython,
};
