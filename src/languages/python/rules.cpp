// Python's rules for --allow: the rewrites black, yapf and autopep8 make that
// cannot change the program.
//
// - parens: a pair of parentheses taken out where the grammar makes it
//   redundant: around a primary (a name, number, string, bracketed form,
//   then only trailers) where the tokens on each side cannot read it another
//   way, and around a whole expression in the places black sets them: after
//   return, an assignment's '=' (then a line end), if/elif/while (then the
//   header's ':'), for's target (then 'in') and iterable (then ':'), with,
//   except, assert, '->', del's targets, and the names of a from-import.
//   Also around one element of a bracketed form (after its bracket, a
//   comma, a '=' or a ':', then a comma or the closing bracket), a
//   conditional's last operand, what a yield yields (a tuple too), a
//   generator that is a call's sole argument, a match's subject (a tuple
//   too), a case's patterns and its guard.
//   Never a tuple (except a for target, del's targets, a yield's value or
//   a match's subject), a generator (but a call's sole argument), a
//   call's or a definition's parentheses, yield (except right of '='), a
//   lambda, a walrus where it needs them. Also a class's empty base list
//   (`class A():`), and the parentheses around a with statement's items
//   (`with (a as b, c):`, as Python reads them from 3.9 on); around items
//   without an 'as' (`with (a, b):`, a tuple before 3.9) only after such
//   items with an 'as' earlier in the file, which no Python before 3.9 reads.
// - commas: a trailing comma before ')', ']' or '}' in calls, definitions,
//   from-imports, lists, dicts and sets; in a tuple, a subscript or a type
//   parameter list only when another comma stands at its level (never `(a,)`
//   or `x[a,]`); never with a comprehension or an unfinished lambda there.
// - quotes: a run of adjacent plain string literals is one value of one kind
//   (text or bytes), written as a kind byte and the decoded value, a \N{...}
//   escape in it as its name in capitals (as written where CPython reads
//   its case); an f- or t-string only changes its quote character, where
//   its text holds no quote, its prefix's case and the case of its \N{...}
//   names outside its fields; a run of f-strings (and
//   plain strings beside them) is the one f-string Python reads.
// - numbers: by type and value: an int by its base and digits, a float or
//   an imaginary number by its exact decimal value.
// - docstrings: the string alone as the first statement of a module, class
//   or def compares by its value after inspect.cleandoc's clean-up, with the
//   trailing blanks of its lines removed.
//
// Every decision reads the tokens as written; what is not proven is left as
// written (a difference).
#include <cstring>

#include "languages/python/state.h"
#include "rewrites/rules.h"
#include "tokens/kit.h"

namespace {

constexpr std::size_t kPyLevels = 202;       // bracket levels held, the line's own included (CPython nests 200)
constexpr std::size_t kPyWord = 8;           // bytes of the previous token kept, enough for any keyword
constexpr std::size_t kPyCanon = 2 * kRewriteLongToken + 64;  // bytes of a canonical form: a whole token's fits
                                                              // (at most 2 bytes per byte written); a longer
                                                              // form leaves the tokens as written
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
    bool bases;            // a Call that is a class's base list, which takes no generator
    bool dropped;          // its opening bracket was taken out (a parens rewrite)
};

// The statement a logical line starts with.
enum class Head : unsigned char { Other, Async, If, While, For, With, Def, Class, Import, From, Global, Assert, Except,
                                  Del, Type, Match, Case };

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
    bool classBases;                // a '(' now opens a class's bases
    bool docIndent;                 // the line that ended was such a header
    bool docNext;                   // the next token starts the first statement of a module, class or def
    bool caseGuard;                 // on a case line, the guard's 'if' went by: what follows is no pattern
    std::uint32_t guardToken;       // lineTokens once that 'if' is noted
    bool modernWith;                // a with statement's items with an 'as' in parentheses went by: the
                                    // file is Python 3.9 or later, which alone reads them
    Prev prev;
    char prevKey[kPyWord];
    std::size_t prevLength;         // bytes of the previous key, 0 when longer than kPyWord
    char canon[kPyCanon];           // the canonical form being written
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
    const std::size_t first = trimZeros(digits, d, e);
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

// Reads the value of a run of plain string literals one code point at a
// time: text as code points (kEscaped on those an escape wrote), bytes as
// byte values. A \N{...} escape in text comes as its name, a unit of its
// own: which character a name means is not known here. It reads exactly
// what CPython reads, or fails: an unterminated literal, an escape Python
// rejects (a \N whose name is empty or holds bytes no character's name
// holds among them), a CR or NUL byte, a byte that is not UTF-8 (text) or
// ASCII (bytes), text and bytes in one run, an f- or t-string.
struct Decoder {
    RewriteWindow *w;
    std::uint64_t token, end;  // the token being read, and the run's end
    Tok t;
    StrShape sh;
    StrKind kind = StrKind::None;  // the run's kind, once a token is read
    std::size_t i = 0;             // the next byte of t's key
    bool open = false;             // t's text is being read
    bool literal = false;          // the next byte stands for itself (after a raw string's backslash)
    const char *name = nullptr;    // the name of the \N{...} escape just read, nameLength bytes
    std::size_t nameLength = 0;
};

Decoder decoder(RewriteWindow &w, std::uint64_t from, std::uint64_t to)
{
    Decoder d;
    d.w = &w;
    d.token = from;
    d.end = to;
    return d;
}

enum class Step {
    Code,  // a code point, in c
    Name,  // a \N{...} escape, its name in the decoder
    End,
    Fail,
};

// True when c may stand in a character's name as \N{...} takes it: letters
// (the lookup ignores their case but for some names), digits, blanks, '-'.
bool isNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || isDigit(c) || c == ' ' || c == '-';
}

// The next code point of the run into c, or the next \N{...} escape.
Step nextCode(Decoder &d, std::uint32_t &c)
{
    for (;;) {
        if (!d.open) {
            if (d.token == d.end)
                return Step::End;
            d.t = tokenAt(*d.w, d.token);
            d.sh = strShape(d.t);
            if (d.sh.kind != StrKind::Text && d.sh.kind != StrKind::Bytes)
                return Step::Fail;
            if (d.kind != StrKind::None && d.kind != d.sh.kind)
                return Step::Fail;
            d.kind = d.sh.kind;
            d.i = d.sh.prefix + d.sh.quote;
            d.open = true;
        }
        const char *k = d.t.key;
        std::size_t end = d.t.length;
        bool bytes = d.kind == StrKind::Bytes;
        if (d.i >= end)
            return Step::Fail;
        char ch = k[d.i];
        auto u = static_cast<unsigned char>(ch);
        if (ch == '\r' || ch == '\0')
            return Step::Fail;
        if (u >= 0x80) {
            std::size_t len = bytes ? 0 : readUtf8(k, d.i, end, c);
            if (len == 0)
                return Step::Fail;
            d.i += len;
            d.literal = false;
            return Step::Code;
        }
        if (d.literal) {
            d.literal = false;
            ++d.i;
            c = u;
            return Step::Code;
        }
        char q = k[d.sh.prefix];
        if (ch == q && (d.sh.quote == 1 || (d.i + 2 < end && k[d.i + 1] == q && k[d.i + 2] == q))) {
            if (d.i + d.sh.quote != end)
                return Step::Fail;
            d.open = false;
            ++d.token;
            continue;
        }
        if (ch == '\n' && d.sh.quote == 1)
            return Step::Fail;
        if (ch != '\\') {
            ++d.i;
            c = u;
            return Step::Code;
        }
        if (d.i + 1 >= end)
            return Step::Fail;
        if (d.sh.raw) {
            // The backslash only keeps the next byte from closing the string.
            ++d.i;
            d.literal = true;
            c = '\\';
            return Step::Code;
        }
        char e = k[d.i + 1];
        d.i += 2;
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
        case '0': case '1': case '2': case '3': case '4': case '5': case '6': case '7':
            v = static_cast<std::uint32_t>(e - '0');
            for (int n = 0; n < 2 && d.i < end && k[d.i] >= '0' && k[d.i] <= '7'; ++n, ++d.i)
                v = v * 8 + static_cast<std::uint32_t>(k[d.i] - '0');
            if (v > 0377)
                return Step::Fail;  // a warning, and bytes differ by version: left as written
            break;
        case 'x': case 'u': case 'U': {
            if (e != 'x' && bytes) {
                // Not an escape in bytes: the backslash stays.
                --d.i;
                c = '\\';
                return Step::Code;
            }
            int digits = e == 'x' ? 2 : e == 'u' ? 4 : 8;
            for (int n = 0; n < digits; ++n, ++d.i) {
                int h = d.i < end ? hexValue(k[d.i]) : -1;
                if (h < 0)
                    return Step::Fail;
                v = v * 16 + static_cast<std::uint32_t>(h);
            }
            if (v > 0x10FFFF)
                return Step::Fail;
            break;
        }
        case 'N': {
            if (bytes) {
                // Not an escape in bytes: the backslash stays.
                --d.i;
                c = '\\';
                return Step::Code;
            }
            // The name runs to the first '}', which stands before the quote.
            std::size_t j = d.i + 1;
            if (d.i >= end || k[d.i] != '{')
                return Step::Fail;
            while (j < end && isNameChar(k[j]))
                ++j;
            if (j == d.i + 1 || j >= end || k[j] != '}')
                return Step::Fail;
            d.name = k + d.i + 1;
            d.nameLength = j - (d.i + 1);
            d.i = j + 1;
            return Step::Name;
        }
        default:
            // An escape Python does not know keeps its backslash.
            --d.i;
            c = '\\';
            return Step::Code;
        }
        c = v | (v >= 0x80 && !bytes ? kEscaped : 0);
        return Step::Code;
    }
}

// A canonical form being written, of at most kPyCanon bytes.
struct Out {
    char *bytes;
    std::size_t n = 0;
    bool full = false;
};

void put(Out &o, char c)
{
    if (o.n == kPyCanon)
        o.full = true;
    else
        o.bytes[o.n++] = c;
}

// Writes the code point c as text: ASCII as itself (a backslash doubled),
// a character written as itself in UTF-8, one an escape wrote as \u{hex},
// so that the form does not depend on the source's encoding.
void putCode(Out &o, std::uint32_t c)
{
    static const char kHex[] = "0123456789abcdef";
    std::uint32_t cp = c & ~kEscaped;
    if (cp < 0x80) {
        if (cp == '\\')
            put(o, '\\');
        put(o, static_cast<char>(cp));
    } else if (c & kEscaped) {
        put(o, '\\');
        put(o, 'u');
        put(o, '{');
        int shift = 20;
        while (shift > 0 && ((cp >> shift) & 0xF) == 0)
            shift -= 4;
        for (; shift >= 0; shift -= 4)
            put(o, kHex[(cp >> shift) & 0xF]);
        put(o, '}');
    } else {
        char bytes[4];
        const std::size_t n = utf8Encode(cp, bytes);
        for (std::size_t k = 0; k < n; ++k)
            put(o, bytes[k]);
    }
}

// Whether the \N{...} name[0..n) starts, in any case, with prefix: the
// names CPython builds from a code point rather than looks up, whose case
// matters after the prefix (and, by version, in it).
bool namePrefix(const char *name, std::size_t n, const char *prefix)
{
    std::size_t k = 0;
    for (; prefix[k] != '\0'; ++k)
        if (k == n || lower(name[k]) != lower(prefix[k]))
            return false;
    return true;
}

// Writes a \N{...} escape as \N{NAME}: no code point putCode writes starts
// so (a backslash comes out doubled). CPython looks a name up in its table
// without regard to the case of its letters (aliases too; blanks and hyphens
// count as written), so the name goes in capitals, but for a Hangul
// syllable's or a CJK unified ideograph's, which it reads with regard to
// case: those stay as written.
void putName(Out &o, const char *name, std::size_t n)
{
    const bool fold = !namePrefix(name, n, "HANGUL SYLLABLE") && !namePrefix(name, n, "CJK UNIFIED IDEOGRAPH");
    put(o, '\\');
    put(o, 'N');
    put(o, '{');
    for (std::size_t k = 0; k < n; ++k)
        put(o, fold && name[k] >= 'a' && name[k] <= 'z' ? static_cast<char>(name[k] - 'a' + 'A') : name[k]);
    put(o, '}');
}

// The text of the string literal t, between its quotes: [from, to). False
// when it holds a CR or NUL byte or is not a whole literal (its closing
// quotes missing, or one escaped); quoted tells whether it holds a quote
// (where the quote character may matter) and escapes whether a backslash.
bool literalText(const Tok &t, const StrShape &sh, std::size_t &from, std::size_t &to, bool &quoted, bool &escapes)
{
    from = sh.prefix + sh.quote;
    if (t.length < from + sh.quote)
        return false;
    to = t.length - sh.quote;
    const char q = t.key[sh.prefix];
    for (std::size_t i = to; i < t.length; ++i)
        if (t.key[i] != q)
            return false;
    quoted = escapes = false;
    for (std::size_t i = from; i < to; ++i) {
        const char c = t.key[i];
        if (c == '\r' || c == '\0')
            return false;
        quoted = quoted || c == '\'' || c == '"';
        escapes = escapes || c == '\\';
        // One that would take the closing quote is not a whole literal.
        if (c == '\\' && ++i == to)
            return false;
    }
    return true;
}

// Writes the text k[from..to) of an f- or t-string as written, but for the
// name of each \N{...} escape outside its fields (unless raw), which goes as
// putName writes it. False, having written a part, when a quote or a
// backslash stands in a field: a string there, whose rawness this scan
// does not follow (its caller then writes the text as written).
bool putFormatted(Out &o, const char *k, std::size_t from, std::size_t to, bool raw)
{
    std::size_t depth = 0;
    for (std::size_t i = from; i < to; ++i) {
        const char c = k[i];
        if (depth > 0 && (c == '\'' || c == '"' || c == '\\'))
            return false;
        if (!raw && c == '\\' && i + 1 < to && k[i + 1] == '\\') {
            put(o, c);
            put(o, k[++i]);
            continue;
        }
        if (!raw && c == '\\' && i + 2 < to && k[i + 1] == 'N' && k[i + 2] == '{') {
            std::size_t j = i + 3;
            while (j < to && isNameChar(k[j]))
                ++j;
            if (j > i + 3 && j < to && k[j] == '}') {
                putName(o, k + i + 3, j - (i + 3));
                i = j;
                continue;
            }
        }
        put(o, c);
        if (depth == 0 && (c == '{' || c == '}') && i + 1 < to && k[i + 1] == c)
            put(o, k[++i]);
        else if (c == '{' || (depth > 0 && (c == '(' || c == '[')))
            ++depth;
        else if (depth > 0 && (c == '}' || c == ')' || c == ']'))
            --depth;
    }
    return true;
}

// The canonical form of the f- or t-string t: its kind, rawness, quote
// length and text (putFormatted's); where the text holds a quote, the
// quote character as well, before the text (no text without a quote starts
// with one). An
// escape means the same between either quote when no quote stands in the
// text, and the letters of a prefix mean the same in either case. 0 when
// the literal is not read here (literalText).
std::size_t formattedForm(const Tok &t, const StrShape &sh, char *out)
{
    std::size_t from = 0, to = 0;
    bool quoted = false, escapes = false;
    if (!literalText(t, sh, from, to, quoted, escapes))
        return 0;
    std::size_t m = 0;
    out[m++] = sh.kind == StrKind::Template ? 'T' : 'F';
    out[m++] = sh.raw ? 'r' : '-';
    out[m++] = sh.quote == 3 ? '3' : '1';
    if (quoted)
        out[m++] = t.key[sh.prefix];
    Out o{out, m};
    if (!putFormatted(o, t.key, from, to, sh.raw)) {
        std::memcpy(out + m, t.key + from, to - from);
        return m + (to - from);
    }
    return o.full ? 0 : o.n;
}

// Whether the f-string text k[from..to) ends outside a field, as each part
// of a concatenation must, with no quote inside a field: '{{' and '}}'
// stand for braces, a lone '{' opens a field that its brackets, counted,
// close (exactly, where no string stands in it); a lone '}' outside one is
// not a whole literal.
bool fieldsClosed(const char *k, std::size_t from, std::size_t to)
{
    std::size_t depth = 0;
    for (std::size_t i = from; i < to; ++i) {
        const char c = k[i];
        const bool doubled = i + 1 < to && k[i + 1] == c;
        if (depth == 0 && (c == '{' || c == '}')) {
            if (doubled)
                ++i;
            else if (c == '{')
                depth = 1;
            else
                return false;
        } else if (depth > 0 && (c == '\'' || c == '"')) {
            return false;
        } else if (depth > 0 && (c == '(' || c == '[' || c == '{')) {
            ++depth;
        } else if (depth > 0 && (c == ')' || c == ']' || c == '}')) {
            --depth;
        }
    }
    return depth == 0;
}

// The canonical form of the run [from, to) of adjacent literals among which
// an f-string stands, as one f-string: Python reads f'a{b}' f'c' and
// 'a' f'{b}' as f'a{b}c' and f'a{b}', the braces of a plain part doubled.
// Written as formattedForm writes that one literal, whose quote character
// is that of the parts whose text holds a quote (all one), any for the
// others. Only parts of one rawness and quote length whose text holds no
// CR or NUL and no quote inside a field, each ending outside a field, and
// (for a part other than the last, unless raw) no backslash, whose escape
// the next part's first bytes could finish or extend; plain parts with no
// backslash (a \N{...} would meet the doubled braces), beside f-strings
// only (a t-string joins no plain one). 0 when the run is not read so or
// its form does not fit.
std::size_t formattedRunForm(RewriteWindow &w, std::uint64_t from, std::uint64_t to, char *out)
{
    const StrShape shape = strShape(tokenAt(w, from));
    StrKind kind = StrKind::None;
    char q = 0;
    for (std::uint64_t i = from; i < to; ++i) {
        const Tok t = tokenAt(w, i);
        const StrShape sh = strShape(t);
        std::size_t a = 0, b = 0;
        bool quoted = false, escapes = false;
        const bool plain = sh.kind == StrKind::Text;
        if ((!plain && sh.kind != StrKind::Formatted && sh.kind != StrKind::Template) ||
            (!plain && kind != StrKind::None && sh.kind != kind) || !literalText(t, sh, a, b, quoted, escapes) ||
            (escapes && !sh.raw && (plain || i + 1 < to)) || sh.raw != shape.raw || sh.quote != shape.quote ||
            (!plain && !fieldsClosed(t.key, a, b)) || (quoted && q != 0 && t.key[sh.prefix] != q))
            return 0;
        if (!plain)
            kind = sh.kind;
        if (quoted)
            q = t.key[sh.prefix];
    }
    std::size_t m = 0;
    out[m++] = kind == StrKind::Template ? 'T' : 'F';
    out[m++] = shape.raw ? 'r' : '-';
    out[m++] = shape.quote == 3 ? '3' : '1';
    if (q != 0)
        out[m++] = q;
    Out o{out, m};
    for (std::uint64_t i = from; i < to; ++i) {
        const Tok t = tokenAt(w, i);
        const StrShape sh = strShape(t);
        const std::size_t a = sh.prefix + sh.quote, b = t.length - sh.quote;
        if (kind != StrKind::Formatted && sh.kind == StrKind::Text)
            return 0;
        if (sh.kind != StrKind::Text) {
            if (!putFormatted(o, t.key, a, b, sh.raw))
                return 0;
            continue;
        }
        for (std::size_t k = a; k < b; ++k) {
            put(o, t.key[k]);
            if (t.key[k] == '{' || t.key[k] == '}')
                put(o, t.key[k]);
        }
    }
    return o.full ? 0 : o.n;
}

// Python's str.isspace().
bool isSpace(std::uint32_t c)
{
    c &= ~kEscaped;
    return (c >= 0x09 && c <= 0x0D) || (c >= 0x1C && c <= 0x20) || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// Reads a docstring's value with its tabs expanded as str.expandtabs()
// does: a tab comes out as the blanks to the next multiple of kTabWidth.
struct Expander {
    Decoder d;
    std::size_t column = 0;
    std::size_t blanks = 0;  // blanks of a tab still to come
};

Step nextExpanded(Expander &x, std::uint32_t &c)
{
    if (x.blanks > 0) {
        --x.blanks;
        c = ' ';
        return Step::Code;
    }
    Step st = nextCode(x.d, c);
    if (st == Step::Name)
        return Step::Fail;  // whether the named character is a blank or a line end is not known
    if (st != Step::Code)
        return st;
    std::uint32_t cp = c & ~kEscaped;
    if (cp == '\t') {
        x.blanks = kTabWidth - 1 - x.column % kTabWidth;
        x.column += x.blanks + 1;
        c = ' ';
    } else {
        x.column = cp == '\n' || cp == '\r' ? 0 : x.column + 1;
    }
    return Step::Code;
}

// Writes the docstring value of the run [from, to) as inspect.cleandoc
// leaves it, each line without its trailing blanks. False when it is not
// read exactly or does not fit.
bool putCleanDoc(RewriteWindow &w, std::uint64_t from, std::uint64_t to, Out &o)
{
    // The margin: the least indentation of the lines after the first that
    // hold more than blanks.
    const std::size_t none = static_cast<std::size_t>(-1);
    std::size_t margin = none, lead = 0;
    bool firstLine = true, content = false;
    Expander x{decoder(w, from, to)};
    std::uint32_t c = 0;
    for (Step st; (st = nextExpanded(x, c)) != Step::End;) {
        if (st == Step::Fail)
            return false;
        if ((c & ~kEscaped) == '\n') {
            firstLine = false;
            lead = 0;
            content = false;
        } else if (!content && isSpace(c)) {
            ++lead;
        } else if (!content) {
            content = true;
            if (!firstLine && lead < margin)
                margin = lead;
        }
    }
    // Each line written, then cut after its last non-blank; the first
    // without its leading blanks, the others without the margin; blank
    // lines at either end cut off.
    const std::size_t start = o.n;
    std::size_t lineEnd = o.n, lastEnd = o.n, column = 0;
    bool started = false, lineContent = false;
    firstLine = true;
    x = Expander{decoder(w, from, to)};
    for (Step st; (st = nextExpanded(x, c)) != Step::End;) {
        if (st == Step::Fail)
            return false;
        if ((c & ~kEscaped) == '\n') {
            o.n = lineEnd;
            if (started) {
                put(o, '\n');
                lineEnd = o.n;
            }
            firstLine = lineContent = false;
            column = 0;
            continue;
        }
        bool blank = isSpace(c);
        ++column;
        if (firstLine ? blank && !lineContent : margin != none && column <= margin)
            continue;
        putCode(o, c);
        if (!blank) {
            started = lineContent = true;
            lineEnd = lastEnd = o.n;
        }
    }
    o.n = started ? lastEnd : start;
    return !o.full;
}

// ---- the window ----

Level &top(PyState &s)
{
    return s.levels[s.depth];
}

void resetLine(PyState &s)
{
    s.depth = 0;
    s.levels[0] = Level{Open::Line, false, 0, 0, false, false};
    s.lost = false;
    s.head = Head::Other;
    s.lineTokens = 0;
    s.forIns = 0;
    s.atHead = s.afterDefName = s.defParams = s.classBases = s.caseGuard = false;
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
                                   {"del", Head::Del}, {"async", Head::Async}, {"type", Head::Type},
                                   {"match", Head::Match}, {"case", Head::Case}};
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
    bool operandFirst = false;  // the first token may start an operand: no 'in', 'from' or operator that
                                // would join what stands before the parentheses
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
            if (first) {
                const bool word = t.kind == TokenKind::Code && isName(t.key, t.length);
                in.operandFirst = (word && (!isKeyword(t.key, t.length) || codeIs(t, "not") || codeIs(t, "await"))) ||
                                  isNumber(t.key, t.length) || string || open || codeIs(t, "-") || codeIs(t, "+") ||
                                  codeIs(t, "~") || codeIs(t, "...");
            }
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
    // In a case's patterns a pair is a group pattern, which stands only
    // where a whole pattern does: never before '.', a call's '(', a
    // mapping's ':' (a key), nor after a sign or a mapping's '{'.
    if (s.head == Head::Case && !s.caseGuard) {
        const bool before = prevIs(s, "(") || prevIs(s, "[") || prevIs(s, ",") || prevIs(s, "|") ||
                            (s.depth > 0 && (prevIs(s, ":") || prevIs(s, "=")));
        const bool after = codeIs(next, ",") || codeIs(next, ")") || codeIs(next, "]") || codeIs(next, "}") ||
                           codeIs(next, "|") || codeIs(next, "as") ||
                           (s.depth == 0 && (codeIs(next, ":") || codeIs(next, "if")));
        if (!before || !after)
            return false;
    }
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
    // expression list stands: a return value, a right-hand side (not a type
    // alias's, a single expression), a target.
    bool list = !in.forWord && !in.lambda && !in.as && !in.colon && !in.assign && !in.starFirst && !in.walrus;
    if (prevIs(s, "return"))
        return lineEnd && list && noYield;
    if (prevIsAssignment(s))
        return lineEnd && list && (noYield || (in.yieldFirst && !in.comma)) && !(in.comma && s.head == Head::Type);
    if (s.prev == Prev::Start)
        return codeIs(next, "=") && list && noYield && !in.in;
    // del deletes a tuple's targets one by one, left to right, as it
    // deletes a list of targets: `del (a, b)` is `del a, b`.
    if (s.atHead && s.head == Head::Del)
        return lineEnd && list && noYield && !in.star;
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

// Whether the parentheses at (open, close) hold one element of the
// bracketed form around them, whole: after its opening bracket, a comma, a
// keyword argument's or default's '=', or a ':' (a dict's value, an
// annotation, a slice's bound, a lambda's body), and before a comma or the
// closing bracket; a comprehension's element, or a dict comprehension's
// value, before its 'for'. Each such place takes an expression, which cannot reach
// past the commas and brackets around it, so `[(a if b else c)]` is
// `[a if b else c]` and `{k: (v)}` is `{k: v}`. Never a tuple, a generator,
// yield, a walrus (not every such place takes one), a lambda or another
// ':', a leading '*' or '**', an 'as'; never a lambda's or a definition's
// parameter, a type parameter, an imported name, an element at the line's
// level. So too a conditional's last operand, `a if b else (c if d else
// e)`, before such a comma or bracket, a ':' or the line's end. The token after
// is the next one kept, and an element inside parentheses taken out stays:
// each form of the same source then goes the same way.
bool elementFree(const PyState &s, const Inside &in, RewriteWindow &w, std::uint64_t close)
{
    if (s.lost || in.empty || !in.operandFirst || in.comma || in.forWord || in.yieldWord || in.walrus || in.colon ||
        in.assign || in.starFirst || in.as || in.lambda)
        return false;
    const std::uint64_t after = nextKept(w, close);
    if (after == windowEnd(w))
        return false;
    const Tok next = tokenAt(w, after);
    const bool closes = codeIs(next, ",") || codeIs(next, ")") || codeIs(next, "]") || codeIs(next, "}");
    // A conditional's last operand takes all that follows it up to there
    // (or up to a ':', or to the line's end, which parentheses taken out
    // after it may leave next).
    if (prevIs(s, "else"))
        return closes || codeIs(next, ":") || next.kind == TokenKind::LineEnd;
    const Level &l = s.levels[s.depth];
    // A comprehension's element ends at its first 'for'.
    const bool comprehension = codeIs(next, "for") || codeIs(next, "async");
    // Inside parentheses taken out, an element stands where they stood,
    // which may be the line's level: it goes as it would go there.
    if (s.depth == 0 || !(closes || comprehension) || l.dropped)
        return false;
    if (comprehension)
        return l.lambdas == 0 && l.kind != Open::Subscript && l.kind != Open::Params &&
               (prevIs(s, "(") || prevIs(s, "[") || prevIs(s, "{") || (l.kind == Open::Brace && prevIs(s, ":")));
    const bool element = (prevIs(s, "(") || prevIs(s, "[") || prevIs(s, "{") || prevIs(s, ",")) && l.lambdas == 0;
    const bool value = prevIs(s, "=") || prevIs(s, ":");
    switch (l.kind) {
    case Open::Call: case Open::List: case Open::Brace: case Open::Group: return element || value;
    case Open::Subscript: return element || prevIs(s, ":");
    case Open::Params: return value;
    case Open::Line: case Open::TypeParams: case Open::Import: break;
    }
    return false;
}

// Whether the parentheses at (open, close) hold what a yield yields, the
// whole of it: a tuple there is the tuple `yield a, b` yields, so `yield
// (a, b)` is `yield a, b`; the yield ends at the line's end or a ')'. Never a
// generator, another yield, a walrus, a lambda or ':', a '*' or '**' (a
// star in the list is Python 3.8's), an 'as'.
bool yieldFree(const PyState &s, const Inside &in, RewriteWindow &w, std::uint64_t close)
{
    if (!prevIs(s, "yield") || s.lost || in.empty || !in.operandFirst || in.forWord || in.yieldWord || in.walrus || in.colon ||
        in.assign || in.star || in.as || in.lambda)
        return false;
    const std::uint64_t after = nextKept(w, close);
    if (after == windowEnd(w))
        return false;
    const Tok t = tokenAt(w, after);
    return t.kind == TokenKind::LineEnd || codeIs(t, ")");
}

// Whether the parentheses at (open, close) hold a generator that is a
// call's sole argument, `f((x for x in y))`, which Python reads as
// `f(x for x in y)`: never a class's base list (which takes no bare
// generator), a generator of a walrus or a lambda.
bool generatorFree(const PyState &s, const Inside &in, const Tok &next)
{
    if (s.depth == 0 || s.lost || !in.operandFirst || !in.forWord || in.comma || in.yieldWord || in.walrus || in.colon || in.assign ||
        in.starFirst || in.as || in.lambda)
        return false;
    const Level &l = s.levels[s.depth];
    return l.kind == Open::Call && !l.bases && prevIs(s, "(") && codeIs(next, ")");
}

// Whether the parentheses at (open, close) hold only what a case pattern
// holds at its top level: names, numbers, strings, '.', '-', '+', '|',
// 'as', ',', '*' and bracketed forms; never nothing.
bool patternOnly(RewriteWindow &w, std::uint64_t open, std::uint64_t close)
{
    static const char *const kPatternOps[] = {".", "-", "+", "|", "as", ",", "*"};
    std::size_t depth = 0;
    for (std::uint64_t i = open + 1; i < close; ++i) {
        const Tok t = tokenAt(w, i);
        const bool opens = codeIs(t, "(") || codeIs(t, "[") || codeIs(t, "{");
        const bool closes = codeIs(t, ")") || codeIs(t, "]") || codeIs(t, "}");
        if (depth == 0 && !opens) {
            bool ok = t.kind == TokenKind::Code && ((isName(t.key, t.length) && !isKeyword(t.key, t.length)) ||
                                                    isNumber(t.key, t.length) || isStringTok(t));
            for (const char *op : kPatternOps)
                ok = ok || codeIs(t, op);
            if (!ok)
                return false;
        }
        if (opens)
            ++depth;
        else if (closes && depth > 0)
            --depth;
    }
    return close > open + 1 && depth == 0;
}

// The index of the first LineEnd at or after i, or windowEnd(w) when none
// is held.
std::uint64_t lineEndAfter(RewriteWindow &w, std::uint64_t i)
{
    for (; i < windowEnd(w); ++i)
        if (windowAt(w, i).kind == TokenKind::LineEnd)
            return i;
    return windowEnd(w);
}

// What a match or case line holds after a pair of parentheses.
struct Header {
    bool colonLast;   // the ':' stands right after the pair, then the line ends
    bool colonEnds;   // the line ends in a ':'
};

// Whether the parentheses at (open, close), on a line that starts with
// match or case and whose last token is a ':' (h), stand where a match
// statement's or a case clause's grammar reads what they hold as it reads
// it bare: a match's subject (`match (a, b):` is `match a, b:`), a case's
// patterns before its ':' or its guard's 'if' (`case (a, b) if c:`, a
// sequence either way), a guard before the ':' (`if (a > b):`). A line
// that starts with either word and ends in a ':' is such a header or no
// statement at all, with or without the parentheses. The subject never a
// generator, yield, lambda, ':' or star; the patterns only what patternOnly
// allows; the guard one expression.
bool headerFree(const PyState &s, const Inside &in, const Tok &next, const Header &h, RewriteWindow &w,
                std::uint64_t open, std::uint64_t close)
{
    if (s.depth != 0 || s.lost || in.empty)
        return false;
    if (s.head == Head::Match && s.lineTokens == 1 && in.operandFirst)
        return h.colonLast && !in.forWord && !in.yieldWord && !in.lambda && !in.colon && !in.assign && !in.star &&
               !in.as;
    if (s.head == Head::Case && s.lineTokens == 1)
        return (h.colonLast || (codeIs(next, "if") && h.colonEnds)) && patternOnly(w, open, close);
    if (s.head == Head::Case && s.caseGuard && s.guardToken == s.lineTokens && in.operandFirst)
        return h.colonLast && !in.comma && !in.forWord && !in.yieldWord && !in.lambda && !in.colon && !in.assign &&
               !in.starFirst && !in.as;
    return false;
}

// Takes out the parentheses that open at open as a parens rewrite, then
// those right inside them that stand in the same place. False when the
// lookahead is not held and canWait: the scan stops there for more.
bool takeParens(RewriteWindow &w, PyState &s, std::uint64_t open, bool lineStart, bool canWait)
{
    bool commas = (w.allow & rewriteBit(Rewrite::Commas)) != 0;
    std::uint64_t close = matchingClose(w, open);
    if (close == windowEnd(w) || close + 1 == windowEnd(w))
        return !canWait;
    Tok next = tokenAt(w, close + 1);
    // A match or case header's parentheses need the line's end in sight.
    Header h{false, false};
    if (s.depth == 0 && (s.head == Head::Match || s.head == Head::Case) && (s.lineTokens == 1 || prevIs(s, "if"))) {
        const std::uint64_t end = lineEndAfter(w, close + 1);
        if (end == windowEnd(w) && canWait)
            return false;
        h.colonLast = end != windowEnd(w) && end == close + 2 && codeIs(next, ":");
        h.colonEnds = end != windowEnd(w) && tokenIs(w, end - 1, ":");
    }
    for (;;) {
        Inside in = readInside(w, open, close);
        if (!primaryFree(s, in, next, lineStart) && !slotFree(s, in, next, commas) && !elementFree(s, in, w, close) &&
            !yieldFree(s, in, w, close) && !generatorFree(s, in, next) && !headerFree(s, in, next, h, w, open, close))
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

// The '(' at open right after a class's name (or its type parameters): an
// empty base list, then the header's ':', goes as a parens rewrite (`class
// A():` is `class A:`). False when the lookahead is not held and canWait.
bool takeEmptyBases(RewriteWindow &w, std::uint64_t open, bool canWait)
{
    if (open + 2 >= windowEnd(w))
        return !canWait;
    if (!tokenIs(w, open + 1, ")") || !tokenIs(w, open + 2, ":") || windowAt(w, open + 1).dropped)
        return true;
    dropToken(w, open, Rewrite::Parens, open + 2);
    dropToken(w, open + 1, Rewrite::Parens, open + 2);
    return true;
}

// The '(' at open right after a with statement's 'with': where its ')' is
// followed by the header's ':' and it holds with items (an 'as' at its
// level), Python (3.9 on) reads the items it holds, not a tuple, so
// `with (a as b, c,):` is `with a as b, c:`. Such items prove the file is
// for Python 3.9 or later; after that, items without an 'as' but with a
// comma (`with (a, b):`, `with (a,):`), a tuple before 3.9, go the same way.
// Only items that are plain expressions, each with an optional 'as' target:
// never a '*', yield, ':=', lambda, a comprehension's 'for', a ':' or '=';
// a trailing comma goes with the parentheses as a commas rewrite (then only
// when commas are accepted). False when the lookahead is not held and
// canWait.
bool takeWithItems(RewriteWindow &w, PyState &s, std::uint64_t open, bool canWait)
{
    std::uint64_t close = matchingClose(w, open);
    if (close == windowEnd(w) || close + 1 == windowEnd(w))
        return !canWait;
    if (!tokenIs(w, close + 1, ":") || windowAt(w, close).dropped)
        return true;
    Inside in = readInside(w, open, close);
    if (in.empty || in.star || in.yieldWord || in.walrus || in.lambda || in.forWord || in.colon || in.assign)
        return true;
    if (in.as)
        s.modernWith = true;
    else if (!s.modernWith || !in.comma)
        return true;
    bool commas = (w.allow & rewriteBit(Rewrite::Commas)) != 0;
    if (in.trailingComma && !commas)
        return true;
    dropToken(w, open, Rewrite::Parens, nextKept(w, open));
    dropToken(w, close, Rewrite::Parens, close + 1);
    if (in.trailingComma && !windowAt(w, close - 1).dropped)
        dropToken(w, close - 1, Rewrite::Commas, close + 1);
    return true;
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

// Pushes the bracket t opens (after the tokens the state holds); bases
// when it opens a class's base list, dropped when a rule took it out.
void openBracket(PyState &s, Open kind, bool bases, bool dropped)
{
    if (s.depth + 1 == kPyLevels) {
        s.lost = true;  // deeper than held: no rewrite till the line ends
        return;
    }
    s.levels[++s.depth] = Level{kind, false, 0, 0, bases, dropped};
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
// one value of one kind, or (docstring) its cleaned text; without quotes,
// the spelling of each part's prefix and quotes too. 0 when the run is not
// read exactly here or its form does not fit.
std::size_t runForm(RewriteWindow &w, PyState &s, std::uint64_t from, std::uint64_t to, bool doc, bool quotes)
{
    Out o{s.canon};
    put(o, doc ? 'D' : 'S');
    for (std::uint64_t i = from; i < to && (doc || !quotes); ++i) {
        Tok t = tokenAt(w, i);
        StrShape sh = strShape(t);
        if (sh.kind != StrKind::Text && (doc || sh.kind != StrKind::Bytes))
            return 0;
        for (std::size_t k = 0; !quotes && k < sh.prefix + sh.quote; ++k)
            put(o, t.key[k]);
        if (!quotes)
            put(o, '\x01');
    }
    if (doc)
        return putCleanDoc(w, from, to, o) ? o.n : 0;
    Decoder d = decoder(w, from, to);
    std::uint32_t c = 0;
    for (Step st; (st = nextCode(d, c)) != Step::End;) {
        if (st == Step::Fail)
            return 0;
        if (st == Step::Name)
            putName(o, d.name, d.nameLength);
        else if (d.kind == StrKind::Bytes)
            put(o, static_cast<char>(c));
        else
            putCode(o, c);
    }
    if (d.kind == StrKind::Bytes)
        o.bytes[0] = 'B';
    return o.full ? 0 : o.n;
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
        if (m == 0)
            m = formattedRunForm(w, from, to, s.canon);
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
    s.classBases = s.afterDefName && s.head == Head::Class;
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
    // More tokens may join after the held ones unless the last is End or a
    // token too long to hold; a token whose lookahead is not held then waits
    // for them, unless it is the first held (the window is full): its
    // rewrite is given up.
    const bool more = w.count > 0 && windowAt(w, windowEnd(w) - 1).kind != TokenKind::End &&
                      windowAt(w, windowEnd(w) - 1).whole;
    while (i < windowEnd(w)) {
        Tok t = tokenAt(w, i);
        const bool canWait = more && i > w.first;
        if (!windowAt(w, i).whole) {
            // Cut: only its first bytes are held. It reads as an operand
            // nothing is known of.
            s.docNext = false;
            noteToken(s, t, Prev::Atom);
            s.prevLength = 0;
            ++i;
            continue;
        }
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
            while (j < windowEnd(w) && isStringTok(tokenAt(w, j)) && windowAt(w, j).whole)
                ++j;
            if (j == windowEnd(w) && canWait)
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
            const bool bases = s.classBases && s.depth == 0;
            bool free = parens && !s.lost && codeIs(t, "(") && !windowAt(w, i).dropped;
            if (free && s.classBases && s.depth == 0) {
                if (!takeEmptyBases(w, i, canWait))
                    break;
            } else if (free && s.atHead && s.head == Head::With) {
                if (!takeWithItems(w, s, i, canWait))
                    break;
            }
            if (free && (kind == Open::Group || kind == Open::Import) && !windowAt(w, i).dropped) {
                if (!takeParens(w, s, i, lineStart, canWait))
                    break;
            }
            noteToken(s, t, Prev::Op);
            openBracket(s, kind, bases, windowAt(w, i).dropped);
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
            s.classBases = typeParams && s.depth == 0 && s.head == Head::Class;
            ++i;
            continue;
        }
        if (codeIs(t, ",")) {
            if (i + 1 == windowEnd(w) && canWait)
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
        else if (codeIs(t, "if") && s.depth == 0 && s.head == Head::Case && !s.caseGuard) {
            s.caseGuard = true;
            s.guardToken = s.lineTokens + 1;
        }
        bool atom = endsAtom(t);
        noteToken(s, t, atom ? Prev::Atom : isName(t.key, t.length) ? Prev::Word : Prev::Op);
        ++i;
    }
    s.cursor = i;
    return i;
}

// A comment the lexer hands out as a token (the "#!" line, the encoding
// declaration): no other token starts with '#'.
bool pythonAside(const char *key, std::size_t n)
{
    return n > 0 && key[0] == '#';
}

} // namespace

extern const RewriteRules kPythonRules = rulesRecord<PyState>(
    Language::Python, {Rewrite::Parens, Rewrite::Commas, Rewrite::Quotes, Rewrite::Numbers, Rewrite::Docstrings},
    scanPython, pythonAside);
