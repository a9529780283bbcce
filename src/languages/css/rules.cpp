// CSS's rules (CSS, SCSS and Less): the rewrites prettier makes of strings,
// numbers, colours and units.
//
// - quotes: a string by its value: its quotes, and a quote escaped or not
//   ('a"b', "a\"b"); every other escape as written. A string that does not
//   close stays as written;
// - numbers: a number by its sign as written, its digits without leading
//   zeros, its fraction without trailing zeros, its exponent ("1E+03" as
//   "1e3") and its unit or '%' (".5em" as "0.5em", "1.0px" as "1px"). A
//   number without a unit keeps whether it has a fraction, which CSS reads
//   as its type ("z-index: 1.0" does not read, "z-index: 1" does), so "1.0"
//   never equals "1". Not in a selector (An+B's "2n" wants an integer),
//   but there an :nth-child() argument by its A and B (rewriteNth);
// - case: a hex colour ("#FFF" as "#fff") in a declaration's value, and in
//   CSS a number's unit outside selectors ("10PX" as "10px"), which CSS reads
//   without regard to ASCII case. In SCSS and Less a colour only in the value
//   of a property (not of a variable, which may become text) whose
//   statement holds no interpolation; units not at all (Sass compares them
//   by their spelling).
//
// - commas (SCSS): the trailing comma of a map or of a list of two or more
//   items in parentheses in a value ("(a: 1, b: 2,)" as "(a: 1, b: 2)"),
//   which Sass reads alike; never that of a list of one ("(a,)" is a list,
//   "(a)" is not), nor in a function's arguments or square brackets.
//
// - semicolons: a ';' that ends no statement in a style rule's block, which
//   the grammars skip ("a { b: c;; }").
//
// Which statement a token stands in (a selector, ending in '{', or a
// declaration or at-rule) comes from a look ahead to its end over the held
// tokens; until the end is held, the tokens wait, and a statement whose end
// is not held when the window is full takes no rewrite.
#include <cstdio>
#include <cstring>

#include "rewrites/rules.h"

namespace {

constexpr std::size_t kCssNumberBytes = 128;  // longest number rewritten; a longer one stays as written
constexpr std::size_t kCssStringBytes = kRewriteLongToken;  // longest string rewritten
constexpr std::size_t kCssBlocks = 256;        // blocks followed; inside deeper ones no ';' is taken out

// What the statement around the current token is.
enum class Kind : unsigned char {
    Unknown,   // its end is not held: no rewrite
    Selector,  // ends at '{' and is no at-rule: strings only
    Property,  // ends at ';' or '}'
    AtRule,    // starts with an at-keyword
};

struct CssRulesState {
    std::uint64_t next = 0;     // the next token to decide
    std::uint64_t end = 0;      // the index of the statement's last token (its end); before next: a new one starts
    std::uint64_t begin = 0;    // the index of its first token
    bool open = false;          // a statement is being read
    Kind kind = Kind::Unknown;
    bool variable = false;      // its first token is a variable ($x, @x) or a custom property (--x)
    bool interpolated = false;  // it holds "#{" or "@{"
    bool colonSeen = false;     // its first ':' outside brackets has gone by
    unsigned depth = 0;         // brackets open inside it
    int attribute = 0;          // in a selector: 1 after '[' (or a namespace's '|'), 2 after its name, 3 after its
                                // operator ("=", "~=" ...)
    bool style[kCssBlocks] = {};  // per open block, innermost last: whether a selector opened it (a style rule's)
    std::size_t blocks = 0;     // blocks open; past kCssBlocks counted, not followed
    bool lastEmpty = true;      // the last token kept is '{', ';' or none: a ';' now ends no statement
    bool lost = false;          // a statement's end was not held: the blocks are no longer followed
    bool colon = false;         // the last token decided is ':'
};

bool isCss(const RewriteWindow &w) { return w.language == Language::Css; }

bool opens(const char *k, std::size_t n)
{
    return (n == 1 && (k[0] == '(' || k[0] == '[')) || (n > 1 && k[n - 1] == '(') ||
           (n == 2 && (k[0] == '#' || k[0] == '@') && k[1] == '{');
}

bool closes(const char *k, std::size_t n)
{
    return n == 1 && (k[0] == ')' || k[0] == ']');
}

// Reads the statement that starts at token i: false when its end is not
// held (and End is not): it may come once the tokens before i go out, even
// when the window is full now.
bool readStatement(RewriteWindow &w, CssRulesState &st, std::uint64_t i)
{
    unsigned depth = 0;
    bool interpolated = false;
    std::uint64_t j = i;
    char ending = 0;
    for (; j < windowEnd(w); ++j) {
        const WindowToken &t = windowAt(w, j);
        if (t.kind == TokenKind::End) {
            break;
        }
        if (t.kind != TokenKind::Code || !t.whole)
            continue;
        const char *k = w.keys + t.offset;
        const std::size_t n = t.length;
        if (opens(k, n)) {
            if (n == 2 && k[1] == '{')
                interpolated = true;
            ++depth;
        } else if (closes(k, n) || (n == 1 && k[0] == '}' && depth > 0)) {
            depth -= depth > 0;
        } else if (n == 1 && k[0] == '{' && depth > 0) {
            ++depth;
        } else if (n == 1 && (k[0] == '{' || k[0] == ';' || k[0] == '}')) {
            ending = k[0];
            break;
        }
    }
    if (!ending && j == windowEnd(w))
        return false;
    const WindowToken &first = windowAt(w, i);
    const char *k = w.keys + first.offset;
    const bool at = first.kind == TokenKind::Code && first.length > 1 && k[0] == '@' && k[1] != '{';
    st.open = true;
    st.begin = i;
    st.end = j < windowEnd(w) ? j : windowEnd(w) - 1;
    st.kind = !ending ? Kind::Unknown
              : at && !(w.language == Language::Less && ending != '{' && j > i + 1 && tokenIs(w, i + 1, ":"))
                  ? Kind::AtRule
              : ending == '{' ? Kind::Selector
                              : Kind::Property;
    st.variable = first.length > 1 && (k[0] == '$' || k[0] == '@' || (k[0] == '-' && k[1] == '-'));
    st.interpolated = interpolated;
    st.colonSeen = false;
    st.depth = 0;
    st.attribute = 0;
    return true;
}

bool digit(char c) { return c >= '0' && c <= '9'; }

// A string token: closed by its own quote, not escaped.
bool closedString(const char *k, std::size_t n)
{
    if (n < 2 || (k[0] != '"' && k[0] != '\'') || k[n - 1] != k[0])
        return false;
    std::size_t i = 1;
    while (i < n - 1)
        i += k[i] == '\\' ? 2 : 1;
    return i == n - 1;
}

void rewriteString(RewriteWindow &w, std::uint64_t i)
{
    const WindowToken &t = windowAt(w, i);
    if (t.length > kCssStringBytes)
        return;
    char out[kCssStringBytes + 1];
    const char *k = w.keys + t.offset;
    std::size_t n = 0;
    out[n++] = '"';
    for (std::size_t j = 1; j + 1 < t.length; ++j) {
        if (k[j] == '\\' && (k[j + 1] == '"' || k[j + 1] == '\'')) {
            out[n++] = k[++j];
        } else if (k[j] == '\\') {
            out[n++] = k[j++];
            out[n++] = k[j];
        } else {
            out[n++] = k[j];
        }
    }
    replaceKey(w, i, Rewrite::Quotes, out, n);
}

// An attribute selector's value that is a name without escapes ("[a=b]"),
// as the string of the same value.
bool plainName(const char *k, std::size_t n)
{
    std::size_t j = k[0] == '-' ? 1 : 0;
    if (j < n && k[j] == '-')
        ++j;
    if (j >= n || !((k[j] >= 'a' && k[j] <= 'z') || (k[j] >= 'A' && k[j] <= 'Z') || k[j] == '_' ||
                    static_cast<unsigned char>(k[j]) >= 0x80))
        return false;
    for (; j < n; ++j)
        if (!((k[j] >= 'a' && k[j] <= 'z') || (k[j] >= 'A' && k[j] <= 'Z') || (k[j] >= '0' && k[j] <= '9') ||
              k[j] == '_' || k[j] == '-' || static_cast<unsigned char>(k[j]) >= 0x80) || k[j] == '(')
            return false;
    return true;
}

// A number token: a sign, digits, a fraction, an exponent, then its unit.
bool isNumber(const char *k, std::size_t n)
{
    std::size_t i = n > 0 && (k[0] == '+' || k[0] == '-') ? 1 : 0;
    return i < n && (digit(k[i]) || (k[i] == '.' && i + 1 < n && digit(k[i + 1])));
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

void rewriteNumber(RewriteWindow &w, std::uint64_t i, bool numbers, bool units)
{
    const WindowToken &t = windowAt(w, i);
    if (t.length > kCssNumberBytes)
        return;
    const char *k = w.keys + t.offset;
    const std::size_t n = t.length;
    char out[kCssNumberBytes + 8];
    std::size_t o = 0, j = 0;
    if (k[0] == '+' || k[0] == '-')
        out[o++] = k[j++];
    const std::size_t intStart = j;
    while (j < n && digit(k[j]))
        ++j;
    const std::size_t intEnd = j;
    std::size_t fracStart = j, fracEnd = j;
    if (j + 1 < n && k[j] == '.' && digit(k[j + 1])) {
        fracStart = ++j;
        while (j < n && digit(k[j]))
            ++j;
        fracEnd = j;
    }
    std::size_t expStart = j, expEnd = j;
    bool expNegative = false;
    if (j + 1 < n && (k[j] == 'e' || k[j] == 'E') &&
        (digit(k[j + 1]) || (j + 2 < n && (k[j + 1] == '+' || k[j + 1] == '-') && digit(k[j + 2])))) {
        ++j;
        if (k[j] == '+' || k[j] == '-')
            expNegative = k[j++] == '-';
        expStart = j;
        while (j < n && digit(k[j]))
            ++j;
        expEnd = j;
    }
    const bool unit = j < n;
    if (!numbers) {
        std::memcpy(out, k, j);
        o = j;
    } else {
        std::size_t s = intStart;
        while (s + 1 < intEnd && k[s] == '0')
            ++s;
        if (s == intEnd)
            out[o++] = '0';
        std::memcpy(out + o, k + s, intEnd - s);
        o += intEnd - s;
        std::size_t f = fracEnd;
        while (f > fracStart && k[f - 1] == '0')
            --f;
        if (fracEnd > fracStart && (f > fracStart || !unit)) {
            out[o++] = '.';
            if (f == fracStart)
                out[o++] = '0';
            std::memcpy(out + o, k + fracStart, f - fracStart);
            o += f - fracStart;
        }
        if (expEnd > expStart) {
            out[o++] = 'e';
            if (expNegative)
                out[o++] = '-';
            std::size_t e = expStart;
            while (e + 1 < expEnd && k[e] == '0')
                ++e;
            std::memcpy(out + o, k + e, expEnd - e);
            o += expEnd - e;
        }
    }
    bool upper = false;
    for (; j < n; ++j) {
        upper = upper || (k[j] >= 'A' && k[j] <= 'Z');
        out[o++] = units ? lower(k[j]) : k[j];
    }
    if (replaceKey(w, i, numbers ? Rewrite::Numbers : Rewrite::Case, out, o) && numbers && units && upper)
        windowAt(w, i).note.kinds |= rewriteBit(Rewrite::Case);
}

// A hex colour: '#' and 3, 4, 6 or 8 hexadecimal digits.
bool isColour(const char *k, std::size_t n)
{
    if (k[0] != '#' || (n != 4 && n != 5 && n != 7 && n != 9))
        return false;
    for (std::size_t j = 1; j < n; ++j)
        if (!std::strchr("0123456789abcdefABCDEF", k[j]) || k[j] == 0)
            return false;
    return true;
}

void rewriteColour(RewriteWindow &w, std::uint64_t i)
{
    const WindowToken &t = windowAt(w, i);
    char out[9];
    for (std::size_t j = 0; j < t.length; ++j)
        out[j] = lower(w.keys[t.offset + j]);
    replaceKey(w, i, Rewrite::Case, out, t.length);
}

// --- An+B ----------------------------------------------------------------

// Reads digits[0..n) (1 to 9 of them) into v.
bool smallInteger(const char *k, std::size_t n, long &v)
{
    if (n == 0 || n > 9)
        return false;
    v = 0;
    for (std::size_t j = 0; j < n; ++j) {
        if (!digit(k[j]))
            return false;
        v = v * 10 + (k[j] - '0');
    }
    return true;
}

bool isN(char c) { return c == 'n' || c == 'N'; }

// An :nth-child() argument's tokens, as the An+B grammar reads CSS tokens.
struct NthReader {
    RewriteWindow &w;
    std::uint64_t j, close;  // the next token, and the ')'
    bool blank()  // a blank token, taken
    {
        if (j < close && tokenIs(w, j, " ")) {
            ++j;
            return true;
        }
        return false;
    }
    bool key(const char *&k, std::size_t &n)  // the next token, taken
    {
        if (j >= close || windowAt(w, j).kind != TokenKind::Code || !windowAt(w, j).whole || windowAt(w, j).dropped)
            return false;
        k = w.keys + windowAt(w, j).offset;
        n = windowAt(w, j).length;
        ++j;
        return true;
    }
};

// Reads the argument of an An+B function, the tokens (open, close), into
// a and b: "odd", "even", an integer, or "An" with its "+B" in any of the
// forms the grammar takes (an "n-1" name, a "2n-1" or "2n-" dimension, a
// signed integer after a blank, a sign and an integer with or without
// blanks between), no blank where the grammar has none ("+ n", "2 n").
bool readNth(RewriteWindow &w, std::uint64_t open, std::uint64_t close, long &a, long &b)
{
    NthReader r{w, open + 1, close};
    const char *k;
    std::size_t n;
    if (!r.key(k, n))
        return false;
    b = 0;
    if (n == 3 && lower(k[0]) == 'o' && lower(k[1]) == 'd' && lower(k[2]) == 'd') {
        a = 2;
        b = 1;
        return r.j == close;
    }
    if (n == 4 && lower(k[0]) == 'e' && lower(k[1]) == 'v' && lower(k[2]) == 'e' && lower(k[3]) == 'n') {
        a = 2;
        return r.j == close;
    }
    // The sign and the digits of A, then what follows its n.
    bool plus = false;
    if (n == 1 && k[0] == '+') {
        if (!r.key(k, n) || n == 0 || !isN(k[0]))
            return false;  // "+" only before "n" itself
        plus = true;
    }
    std::size_t p = 0;
    const bool negative = !plus && p < n && (k[p] == '-' || k[p] == '+') && k[p++] == '-';
    std::size_t d = p;
    while (d < n && digit(k[d]))
        ++d;
    if (d == n) {
        // An integer alone.
        a = 0;
        return !plus && smallInteger(k + p, d - p, b) && ((b = negative ? -b : b), r.j == close);
    }
    if (d == p)
        a = 1;
    else if (!smallInteger(k + p, d - p, a))
        return false;
    a = negative ? -a : a;
    if (!isN(k[d]))
        return false;
    const char *rest = k + d + 1;
    const std::size_t m = n - d - 1;
    if (m > 1 && rest[0] == '-')
        return smallInteger(rest + 1, m - 1, b) && ((b = -b), r.j == close);  // "n-1"
    bool dash = m == 1 && rest[0] == '-';                                     // "n-": an integer follows
    if (m > 0 && !dash)
        return false;
    r.blank();
    if (r.j == close)
        return !dash;
    if (!r.key(k, n))
        return false;
    if (!dash && n > 1 && (k[0] == '+' || k[0] == '-'))
        return smallInteger(k + 1, n - 1, b) && ((b = k[0] == '-' ? -b : b), r.j == close);  // "n +1"
    if (!dash) {
        // After "n" a sign comes before the integer: "n 1" is no An+B.
        if (n != 1 || (k[0] != '+' && k[0] != '-'))
            return false;
        dash = k[0] == '-';
        r.blank();
        if (!r.key(k, n))
            return false;
    }
    return smallInteger(k, n, b) && ((b = dash ? -b : b), r.j == close);
}

// At the function token at i of an An+B pseudo-class (":nth-child(2n+1)",
// the token before it a ':'), in a selector: its argument as one token of its value, so that "2n+1",
// "2n + 1" and "odd" are one. Returns false, changing nothing, when the
// argument is none readNth reads or its ')' is not held.
bool rewriteNth(RewriteWindow &w, const CssRulesState &st, std::uint64_t i, std::uint64_t end)
{
    static const char *const kNth[] = {"nth-child(", "nth-last-child(", "nth-of-type(", "nth-last-of-type(",
                                       "nth-col(", "nth-last-col("};
    const WindowToken &t = windowAt(w, i);
    bool nth = false;
    for (const char *name : kNth) {
        const std::size_t n = std::strlen(name);
        bool same = t.length == n;
        for (std::size_t j = 0; same && j < n; ++j)
            same = lower(w.keys[t.offset + j]) == name[j];
        nth = nth || same;
    }
    if (!nth || !st.colon)
        return false;
    std::uint64_t close = i + 1;
    while (close <= end && close < windowEnd(w) && close < i + 8 && !tokenIs(w, close, ")"))
        ++close;
    long a = 0, b = 0;
    if (close > end || close >= windowEnd(w) || close == i + 1 || !tokenIs(w, close, ")") || !readNth(w, i, close, a, b))
        return false;
    char out[32];
    const int n = std::snprintf(out, sizeof out, "N%ld,%ld", a, b);
    if (n <= 0 || !replaceKey(w, i + 1, Rewrite::Numbers, out, static_cast<std::size_t>(n)))
        return false;
    for (std::uint64_t j = i + 2; j < close; ++j)
        dropToken(w, j, Rewrite::Numbers, i + 1);
    return true;
}

// Decides token i, which the statement read covers.
// At the '(' at open, in SCSS: the comma before its ')' goes when the
// parentheses hold a map (a ':' at their level) or another comma at their
// level. Only a ')' inside the statement (up to its end, at index end)
// counts: past it lies what the window happens to hold.
void trailingComma(RewriteWindow &w, std::uint64_t open, std::uint64_t end)
{
    unsigned depth = 0;
    bool map = false;
    int commas = 0;
    std::uint64_t last = open;
    for (std::uint64_t j = open + 1; j <= end && j < windowEnd(w); ++j) {
        const WindowToken &t = windowAt(w, j);
        if (t.kind != TokenKind::Code || !t.whole || t.dropped)
            return;
        const char *k = w.keys + t.offset;
        const std::size_t n = t.length;
        if (opens(k, n) || (n == 1 && k[0] == '{')) {
            ++depth;
        } else if (closes(k, n) || (n == 1 && k[0] == '}')) {
            if (depth == 0) {
                if (n == 1 && k[0] == ')' && last > open && tokenIs(w, last, ",") && (map || commas >= 2))
                    dropToken(w, last, Rewrite::Commas, j);
                return;
            }
            --depth;
        } else if (depth == 0 && n == 1 && k[0] == ',') {
            ++commas;
        } else if (depth == 0 && n == 1 && k[0] == ':') {
            map = true;
        }
        last = j;
    }
}

void decide(RewriteWindow &w, CssRulesState &st, std::uint64_t i)
{
    WindowToken &t = windowAt(w, i);
    if (t.kind != TokenKind::Code || !t.whole || t.dropped)
        return;
    const char *k = w.keys + t.offset;
    const std::size_t n = t.length;
    const bool quotes = (w.allow & rewriteBit(Rewrite::Quotes)) != 0;
    const bool numbers = (w.allow & rewriteBit(Rewrite::Numbers)) != 0;
    const bool cases = (w.allow & rewriteBit(Rewrite::Case)) != 0;
    const bool value = st.kind == Kind::Property && st.colonSeen;
    if ((w.allow & rewriteBit(Rewrite::Commas)) && w.language == Language::Scss && n == 1 && k[0] == '(' &&
        (value || st.kind == Kind::AtRule))
        trailingComma(w, i, st.end);
    if (opens(k, n))
        ++st.depth;
    else if (closes(k, n) || (n == 1 && k[0] == '}' && st.depth > 0))
        st.depth -= st.depth > 0;
    else if (n == 1 && k[0] == ':' && st.depth == 0)
        st.colonSeen = true;
    const int attribute = st.attribute;
    const bool isOperator = (n == 1 && k[0] == '=') || (n == 2 && k[1] == '=' && std::strchr("~|^$*", k[0]));
    // A namespace before the name: "[ns|a=b]", "[*|a=b]", "[|a=b]".
    const bool bar = n == 1 && k[0] == '|', star = n == 1 && k[0] == '*';
    st.attribute = st.kind != Kind::Selector ? 0
                   : n == 1 && k[0] == '['                    ? 1
                   : attribute == 1 && plainName(k, n)        ? 2
                   : attribute == 1 && (bar || star)          ? 1
                   : attribute == 2 && bar                    ? 1
                   : attribute == 2 && isOperator             ? 3
                                                              : 0;
    if (numbers && st.kind == Kind::Selector && n > 4 && k[n - 1] == '(' && rewriteNth(w, st, i, st.end)) {
        return;
    } else if (quotes && attribute == 3 && plainName(k, n)) {
        char out[kCssStringBytes + 1];
        if (n < kCssStringBytes) {
            out[0] = '"';
            std::memcpy(out + 1, k, n);
            replaceKey(w, i, Rewrite::Quotes, out, n + 1);
        }
    } else if (quotes && st.kind != Kind::Unknown && closedString(k, n)) {
        rewriteString(w, i);
    } else if (isNumber(k, n) && (st.kind == Kind::Property || st.kind == Kind::AtRule)) {
        const bool units = cases && isCss(w);
        if (numbers || units)
            rewriteNumber(w, i, numbers, units);
    } else if (cases && value && isColour(k, n) && (isCss(w) || (!st.variable && !st.interpolated))) {
        rewriteColour(w, i);
    }
}

// The ';' at i when it ends no statement of a style rule's block (after
// '{' or another ';', or before '}'), which the grammars of CSS (a
// style block's contents), Sass and Less skip, or in Less one that is a
// statement alone anywhere (its parser skips those): taken out. Also follows the
// blocks the statement ending at i opens or closes. Waits (kWait) while the
// token after a ';' is still to come, so that where the window ends never
// decides it: the window is then full only when the ';' is its first token.
constexpr int kKeep = 0, kDrop = 1, kWait = 2;
int dropSemicolon(RewriteWindow &w, CssRulesState &st, std::uint64_t i)
{
    const WindowToken &t = windowAt(w, i);
    if (t.kind != TokenKind::Code || !t.whole || t.length != 1 || i != st.end)
        return kKeep;
    const char c = w.keys[t.offset];
    if (c == '{') {
        if (st.blocks < kCssBlocks)
            st.style[st.blocks] = st.kind == Kind::Selector;
        ++st.blocks;
    } else if (c == '}') {
        st.blocks -= st.blocks > 0;
    }
    if (c != ';' || !(w.allow & rewriteBit(Rewrite::Semicolons)))
        return kKeep;
    const std::uint64_t next = nextKept(w, i);
    if (next >= windowEnd(w))
        return !w.complete || i > w.first ? kWait : kKeep;
    // Less skips a ';' wherever a statement may start: after a detached ruleset's '}' too.
    const bool less = w.language == Language::Less && st.kind != Kind::Unknown && i == st.begin;
    if (!less && (st.lost || st.blocks == 0 || st.blocks > kCssBlocks || !st.style[st.blocks - 1] ||
                  (!st.lastEmpty && !tokenIs(w, next, "}"))))
        return kKeep;
    dropToken(w, i, Rewrite::Semicolons, next);
    return kDrop;
}

std::uint64_t cssScan(RewriteWindow &w, void *state)
{
    CssRulesState &st = *static_cast<CssRulesState *>(state);
    if (st.next < w.first)
        st.next = w.first;
    while (st.next < windowEnd(w)) {
        const std::uint64_t i = st.next;
        if (!st.open || i > st.end) {
            if (!readStatement(w, st, i)) {
                // Its end may come: wait, unless the window is full from here.
                if (!w.complete || i > w.first)
                    return i;
                st.open = true;
                st.kind = Kind::Unknown;
                st.lost = true;
                st.end = windowEnd(w) - 1;
            }
        }
        const int semicolon = dropSemicolon(w, st, i);
        if (semicolon == kWait)
            return i;
        if (semicolon == kKeep) {
            decide(w, st, i);
            const WindowToken &t = windowAt(w, i);
            st.lastEmpty = t.length == 1 && (tokenIs(w, i, "{") || tokenIs(w, i, ";"));
        }
        st.colon = tokenIs(w, i, ":");
        st.next = i + 1;
    }
    return windowEnd(w);
}

} // namespace

extern const RewriteRules kCssRules = rulesRecord<CssRulesState>(
    Language::Css, {Rewrite::Commas, Rewrite::Quotes, Rewrite::Numbers, Rewrite::Case, Rewrite::Semicolons}, cssScan,
    nullptr);
