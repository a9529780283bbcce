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
//   never equals "1". Not in a selector (An+B's "2n" wants an integer);
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
// Which statement a token stands in (a selector, ending in '{', or a
// declaration or at-rule) comes from a look ahead to its end over the held
// tokens; until the end is held, the tokens wait, and a statement whose end
// is not held when the window is full takes no rewrite.
#include <cstring>

#include "rewrites/rules.h"

namespace {

constexpr std::size_t kCssNumberBytes = 128;  // longest number rewritten; a longer one stays as written
constexpr std::size_t kCssStringBytes = kRewriteLongToken;  // longest string rewritten

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
    bool open = false;          // a statement is being read
    Kind kind = Kind::Unknown;
    bool variable = false;      // its first token is a variable ($x, @x) or a custom property (--x)
    bool interpolated = false;  // it holds "#{" or "@{"
    bool colonSeen = false;     // its first ':' outside brackets has gone by
    unsigned depth = 0;         // brackets open inside it
    int attribute = 0;          // in a selector: 1 after '[', 2 after its name, 3 after its operator ("=", "~=" ...)
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
    st.attribute = st.kind != Kind::Selector ? 0
                   : n == 1 && k[0] == '['                    ? 1
                   : attribute == 1 && plainName(k, n)        ? 2
                   : attribute == 2 && isOperator             ? 3
                                                              : 0;
    if (quotes && attribute == 3 && plainName(k, n)) {
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
                st.end = windowEnd(w) - 1;
            }
        }
        decide(w, st, i);
        st.next = i + 1;
    }
    return windowEnd(w);
}

} // namespace

extern const RewriteRules kCssRules = rulesRecord<CssRulesState>(
    Language::Css, {Rewrite::Commas, Rewrite::Quotes, Rewrite::Numbers, Rewrite::Case}, cssScan, nullptr);
