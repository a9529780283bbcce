// Java's rules: the rewrites a Java formatter may make without changing the
// program (astyle --add-braces/--remove-braces, clang-format's InsertBraces,
// google-java-format's trailing commas and number spelling).
//
// - braces: a block that holds one statement, as the body of if, else, for,
//   while or do, compares as that statement; never a block whose statement
//   declares something (a local variable, class, record, enum or interface:
//   its scope would change), and never where an `else` follows the block and
//   an `if` stands in it outside brackets (the `else` would move to it);
// - parens: the parentheses of `return (e);`, of `= (e);` (or a compound
//   assignment), and the second pair of `if ((e))`, `while ((e))`,
//   `switch ((e))` and `synchronized ((e))`; never around a lambda;
// - commas: a comma after the last enum constant (before `}` or the `;`
//   that starts the body declarations) and after the last element of an
//   array initializer (after `=`, after `new T[]`, nested in another, or in an
//   annotation's element value); never in an argument list;
// - numbers: a literal by its type (int, long, float, double) and by its
//   radix and digits: the case of hex digits, of prefixes, suffixes and
//   exponent letters, digit separators, leading zeros of a radix-prefixed or
//   octal number, the spelling of a decimal floating-point value (`1.50e1`,
//   `15.`, `15.0d`). Two radixes never compare equal.
//
// The scan reads the tokens once, in order, keeping a stack of the brackets
// open around the current one (what each `{` opens); a decision that needs
// the tokens up to a bracket's match waits for them, and is given up (the
// tokens stay as written) when the window is full before it.
#include <cstdio>
#include <cstring>

#include "languages/java/state.h"
#include "rewrites/rules.h"

namespace {

constexpr std::size_t kJavaNesting = 256;        // brackets tracked; deeper ones take no comma rewrite
constexpr int kJavaStatementDepth = 48;          // statements nested inside the one a block holds
constexpr std::size_t kJavaNumberBytes = 128;    // longest number rewritten; a longer one stays as written
constexpr std::uint64_t kNoToken = ~std::uint64_t(0);

// What an open bracket holds.
enum class Holds : unsigned char {
    Other,      // parentheses, brackets, blocks, class bodies
    EnumBody,   // the constants of an enum, then its body declarations after a ';'
    ArrayInit,  // the elements of an array initializer
};

// What the previous token was, for the brackets that follow it.
enum class Before : unsigned char {
    Other,
    Assign,   // '='
    Close,    // ']'
    Open,     // '{' or '('
    Comma,    // ','
};

struct JavaState {
    std::uint64_t next;                  // absolute index of the next token to look at
    std::uint32_t depth;                 // brackets open, also past kJavaNesting
    Holds holds[kJavaNesting];           // what each tracked bracket holds
    bool declarations[kJavaNesting];     // a ';' stood at its level: an enum body past its constants,
                                         // or a block taken for an array initializer
    bool enumPending;                    // an `enum` keyword waits for its body's '{'
    std::uint32_t enumDepth;             // the depth of that keyword
    Before before;                       // the previous token
};

bool isNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// Whether token i is a name (a keyword counts) other than `new` and `instanceof`.
bool isName(RewriteWindow &w, std::uint64_t i)
{
    const WindowToken &t = windowAt(w, i);
    if (t.kind != TokenKind::Code || t.length == 0 || !isNameStart(tokenKey(w, i)[0]))
        return false;
    return !tokenIs(w, i, "new") && !tokenIs(w, i, "instanceof");
}

bool isOpen(RewriteWindow &w, std::uint64_t i)
{
    return tokenIs(w, i, "(") || tokenIs(w, i, "[") || tokenIs(w, i, "{");
}

bool isClose(RewriteWindow &w, std::uint64_t i)
{
    return tokenIs(w, i, ")") || tokenIs(w, i, "]") || tokenIs(w, i, "}");
}

// The first ';' at bracket depth 0 from i on, before limit; kNoToken when none.
std::uint64_t statementSemicolon(RewriteWindow &w, std::uint64_t i, std::uint64_t limit)
{
    for (; i < limit; ++i) {
        if (tokenIs(w, i, ";"))
            return i;
        if (isOpen(w, i)) {
            std::uint64_t c = matchingClose(w, i);
            if (c >= limit)
                return kNoToken;
            i = c;
        } else if (isClose(w, i)) {
            return kNoToken;
        }
    }
    return kNoToken;
}

// True when the tokens [i, end) hold, outside brackets, a name right after a
// name, a '>' or a ']' (`int x`, `List<T> x`, `T[] x`), or an annotation: the
// shape of a declaration, which an expression statement never has.
bool looksDeclared(RewriteWindow &w, std::uint64_t i, std::uint64_t end)
{
    bool afterType = false;
    for (; i < end; ++i) {
        if (tokenIs(w, i, "@"))
            return true;
        if (isOpen(w, i)) {
            i = matchingClose(w, i);
            afterType = tokenIs(w, i, "]");
            continue;
        }
        bool name = isName(w, i);
        if (name && afterType)
            return true;
        afterType = name || tokenIs(w, i, ">");
    }
    return false;
}

// The index just past the statement that starts at i, if it ends at or
// before limit and declares nothing; kNoToken otherwise (or when it is not
// a statement this reader knows).
std::uint64_t statementEnd(RewriteWindow &w, std::uint64_t i, std::uint64_t limit, int nesting)
{
    if (i >= limit || nesting > kJavaStatementDepth)
        return kNoToken;
    auto parenThen = [&](std::uint64_t p) -> std::uint64_t {
        if (p >= limit || !tokenIs(w, p, "("))
            return kNoToken;
        std::uint64_t c = matchingClose(w, p);
        return c < limit ? c + 1 : kNoToken;
    };
    auto block = [&](std::uint64_t p) -> std::uint64_t {
        if (p >= limit || !tokenIs(w, p, "{"))
            return kNoToken;
        std::uint64_t c = matchingClose(w, p);
        return c < limit ? c + 1 : kNoToken;
    };
    if (tokenIs(w, i, ";"))
        return i + 1;
    if (tokenIs(w, i, "{"))
        return block(i);
    if (tokenIs(w, i, "if")) {
        std::uint64_t s = parenThen(i + 1);
        if (s == kNoToken || (s = statementEnd(w, s, limit, nesting + 1)) == kNoToken)
            return kNoToken;
        return s < limit && tokenIs(w, s, "else") ? statementEnd(w, s + 1, limit, nesting + 1) : s;
    }
    if (tokenIs(w, i, "while") || tokenIs(w, i, "for")) {
        std::uint64_t s = parenThen(i + 1);
        return s == kNoToken ? kNoToken : statementEnd(w, s, limit, nesting + 1);
    }
    if (tokenIs(w, i, "do")) {
        std::uint64_t s = statementEnd(w, i + 1, limit, nesting + 1);
        if (s == kNoToken || s >= limit || !tokenIs(w, s, "while") || (s = parenThen(s + 1)) == kNoToken)
            return kNoToken;
        return s < limit && tokenIs(w, s, ";") ? s + 1 : kNoToken;
    }
    if (tokenIs(w, i, "switch") || tokenIs(w, i, "synchronized")) {
        std::uint64_t s = parenThen(i + 1);
        return s == kNoToken ? kNoToken : block(s);
    }
    if (tokenIs(w, i, "try")) {
        std::uint64_t s = i + 1;
        if (s < limit && tokenIs(w, s, "("))
            s = parenThen(s);
        if (s == kNoToken || (s = block(s)) == kNoToken)
            return kNoToken;
        bool handled = false;
        while (s < limit && tokenIs(w, s, "catch")) {
            if ((s = parenThen(s + 1)) == kNoToken || (s = block(s)) == kNoToken)
                return kNoToken;
            handled = true;
        }
        if (s < limit && tokenIs(w, s, "finally")) {
            if ((s = block(s + 1)) == kNoToken)
                return kNoToken;
            handled = true;
        }
        return handled || tokenIs(w, i + 1, "(") ? s : kNoToken;
    }
    if (isName(w, i) && i + 1 < limit && tokenIs(w, i + 1, ":"))
        return statementEnd(w, i + 2, limit, nesting + 1);  // a labeled statement
    std::uint64_t semi = statementSemicolon(w, i, limit);
    if (semi == kNoToken)
        return kNoToken;
    static const char *const kEnded[] = {"return", "throw", "break", "continue", "assert"};
    for (const char *k : kEnded)
        if (tokenIs(w, i, k))
            return semi + 1;
    if (tokenIs(w, i, "else") || looksDeclared(w, i, semi))
        return kNoToken;
    return semi + 1;
}

// True when an `if` stands in [i, end) outside brackets.
bool holdsOpenIf(RewriteWindow &w, std::uint64_t i, std::uint64_t end)
{
    for (; i < end; ++i) {
        if (tokenIs(w, i, "if"))
            return true;
        if (isOpen(w, i))
            i = matchingClose(w, i);
    }
    return false;
}

// What a decision found: done, or the tokens it needs are not all held yet.
enum class Outcome { Done, Wait };

// The body block at open (a '{' after `if (...)`, `else`, `for (...)`,
// `while (...)` or `do`): drops its braces when it holds one statement that
// declares nothing, unless an `else` follows it and an `if` stands in it.
Outcome bodyBraces(RewriteWindow &w, std::uint64_t open)
{
    if (open >= windowEnd(w))
        return Outcome::Wait;
    if (!tokenIs(w, open, "{") || windowAt(w, open).dropped)
        return Outcome::Done;
    std::uint64_t close = matchingClose(w, open);
    std::uint64_t after = close < windowEnd(w) ? nextKept(w, close) : windowEnd(w);
    if (after >= windowEnd(w))
        return Outcome::Wait;
    if (close == open + 1 || statementEnd(w, open + 1, close, 0) != close)
        return Outcome::Done;
    if (tokenIs(w, after, "else") && holdsOpenIf(w, open + 1, close))
        return Outcome::Done;
    dropToken(w, open, Rewrite::Braces, open + 1);
    dropToken(w, close, Rewrite::Braces, open + 1);
    return Outcome::Done;
}

// The parentheses at open, around everything up to a ';' (after `return` or
// an assignment) or up to the closing parenthesis at `outer`: dropped unless
// they hold nothing or a lambda.
Outcome wholeParens(RewriteWindow &w, std::uint64_t open, bool toSemicolon, std::uint64_t outer)
{
    if (open >= windowEnd(w))
        return Outcome::Wait;
    if (!tokenIs(w, open, "(") || windowAt(w, open).dropped)
        return Outcome::Done;
    std::uint64_t close = matchingClose(w, open);
    if (close + 1 >= windowEnd(w))
        return Outcome::Wait;
    bool whole = toSemicolon ? tokenIs(w, close + 1, ";") : close + 1 == outer;
    if (!whole || close == open + 1)
        return Outcome::Done;
    for (std::uint64_t i = open + 1; i < close; ++i) {
        if (tokenIs(w, i, "->"))
            return Outcome::Done;
        if (isOpen(w, i))
            i = matchingClose(w, i);
    }
    dropToken(w, open, Rewrite::Parens, open + 1);
    dropToken(w, close, Rewrite::Parens, open + 1);
    return Outcome::Done;
}

// Digits of radix in s[0..n), separators only between digits, and at least
// one digit; the digits go to out (lower case, leading zeros dropped unless
// keepLeading). Returns false on another byte or a misplaced separator.
bool digitRun(const char *s, std::size_t n, int radix, bool keepLeading, char *out, std::size_t &used)
{
    auto digit = [radix](char c) {
        char l = static_cast<char>(c | 0x20);
        int v = c >= '0' && c <= '9' ? c - '0' : (l >= 'a' && l <= 'f' ? l - 'a' + 10 : 99);
        return v < radix;
    };
    if (n == 0 || !digit(s[0]) || !digit(s[n - 1]))
        return false;
    bool leading = !keepLeading;
    for (std::size_t k = 0; k < n; ++k) {
        if (s[k] == '_')
            continue;
        if (!digit(s[k]))
            return false;
        if (leading && s[k] == '0')
            continue;
        leading = false;
        out[used++] = static_cast<char>(s[k] | (s[k] >= 'A' ? 0x20 : 0));
    }
    if (leading)
        out[used++] = '0';
    return true;
}

// Writes the canonical form of the Java number s[0..n) to out: a type
// letter (i, l, f, d), a radix letter, then its digits (a decimal
// floating-point value as its significant digits and a power of ten).
// Returns false, writing nothing useful, for a number it does not read.
bool javaNumber(const char *s, std::size_t n, char *out, std::size_t &used)
{
    used = 0;
    char last = static_cast<char>(s[n - 1] | 0x20);
    bool hex = n > 2 && s[0] == '0' && (s[1] | 0x20) == 'x';
    bool binary = n > 2 && s[0] == '0' && (s[1] | 0x20) == 'b';
    if (hex || binary) {
        bool isLong = last == 'l';
        std::size_t end = isLong ? n - 1 : n;
        for (std::size_t k = 2; k < end; ++k)
            if (s[k] == '.' || (hex && (s[k] | 0x20) == 'p'))
                return false;  // a hexadecimal floating-point number stays as written
        out[used++] = isLong ? 'l' : 'i';
        out[used++] = hex ? 'x' : 'b';
        return digitRun(s + 2, end - 2, hex ? 16 : 2, false, out, used);
    }
    bool isFloat = false;
    std::size_t end = n;
    if (last == 'f' || last == 'd') {
        isFloat = true;
        --end;
    }
    std::size_t dot = n, exp = n;
    for (std::size_t k = 0; k < end; ++k) {
        if (s[k] == '.' && dot == n && exp == n)
            dot = k;
        else if ((s[k] | 0x20) == 'e' && exp == n)
            exp = k;
    }
    if (!isFloat && dot == n && exp == n) {
        bool isLong = last == 'l';
        std::size_t e = isLong ? n - 1 : n;
        out[used++] = isLong ? 'l' : 'i';
        if (e > 1 && s[0] == '0') {
            // Octal: separators may follow the leading zero.
            std::size_t k = 1;
            while (k < e && s[k] == '_')
                ++k;
            out[used++] = 'o';
            return digitRun(s + k, e - k, 8, false, out, used);
        }
        out[used++] = 'd';
        return digitRun(s, e, 10, true, out, used);
    }
    // A decimal floating-point number: [digits][.digits][e[+-]digits].
    std::size_t mantissaEnd = exp < end ? exp : end;
    std::size_t intEnd = dot < mantissaEnd ? dot : mantissaEnd;
    std::size_t fracStart = dot < mantissaEnd ? dot + 1 : mantissaEnd;
    char digits[kJavaNumberBytes];
    std::size_t count = 0;
    if (intEnd > 0 && !digitRun(s, intEnd, 10, true, digits, count))
        return false;
    std::size_t intDigits = count;
    if (fracStart < mantissaEnd && !digitRun(s + fracStart, mantissaEnd - fracStart, 10, true, digits, count))
        return false;
    if (count == 0)
        return false;
    long power = -static_cast<long>(count - intDigits);
    if (exp < end) {
        std::size_t k = exp + 1;
        bool negative = k < end && s[k] == '-';
        if (k < end && (s[k] == '-' || s[k] == '+'))
            ++k;
        char e[kJavaNumberBytes];
        std::size_t en = 0;
        if (!digitRun(s + k, end - k, 10, false, e, en) || en > 9)
            return false;
        long v = 0;
        for (std::size_t q = 0; q < en; ++q)
            v = v * 10 + (e[q] - '0');
        power += negative ? -v : v;
    }
    const std::size_t first = trimZeros(digits, count, power);
    out[used++] = last == 'f' ? 'f' : 'd';
    out[used++] = 'e';
    if (first == count) {
        out[used++] = '0';
        return true;
    }
    std::memcpy(out + used, digits + first, count - first);
    used += count - first;
    char power10[24];
    int m = std::snprintf(power10, sizeof power10, "e%ld", power);
    std::memcpy(out + used, power10, static_cast<std::size_t>(m));
    used += static_cast<std::size_t>(m);
    return true;
}

// Rewrites the number token i into its canonical form, when it reads it.
void rewriteNumber(RewriteWindow &w, std::uint64_t i)
{
    const WindowToken &t = windowAt(w, i);
    const char *s = tokenKey(w, i);
    if (!t.whole || t.length == 0 || t.length + 8 > kJavaNumberBytes)
        return;
    char out[2 * kJavaNumberBytes];
    std::size_t used = 0;
    if (javaNumber(s, t.length, out + 1, used)) {
        out[0] = 'N';
        replaceKey(w, i, Rewrite::Numbers, out, used + 1);
    }
}

// The comma at i, inside an enum's constants or an array initializer: dropped
// when an element stands before it and the list ends after it.
Outcome trailingComma(RewriteWindow &w, JavaState &st, std::uint64_t i)
{
    if (st.depth == 0 || st.depth > kJavaNesting || st.before == Before::Open || st.before == Before::Comma)
        return Outcome::Done;
    Holds h = st.holds[st.depth - 1];
    if (h == Holds::Other || st.declarations[st.depth - 1])
        return Outcome::Done;
    std::uint64_t after = nextKept(w, i);
    if (after >= windowEnd(w))
        return Outcome::Wait;
    if (tokenIs(w, after, "}") || (h == Holds::EnumBody && tokenIs(w, after, ";")))
        dropToken(w, i, Rewrite::Commas, after);
    return Outcome::Done;
}

// The decisions taken at token i, before the state moves past it.
Outcome decide(RewriteWindow &w, JavaState &st, std::uint64_t i)
{
    RewriteSet allow = w.allow;
    bool braces = allow & rewriteBit(Rewrite::Braces), parens = allow & rewriteBit(Rewrite::Parens);
    if (tokenIs(w, i, "if") || tokenIs(w, i, "while") || tokenIs(w, i, "for") || tokenIs(w, i, "switch") ||
        tokenIs(w, i, "synchronized")) {
        if (i + 1 >= windowEnd(w))
            return Outcome::Wait;
        if (!tokenIs(w, i + 1, "("))
            return Outcome::Done;
        std::uint64_t close = matchingClose(w, i + 1);
        if (close + 1 >= windowEnd(w))
            return Outcome::Wait;
        bool body = tokenIs(w, i, "if") || tokenIs(w, i, "while") || tokenIs(w, i, "for");
        if (braces && body && bodyBraces(w, close + 1) == Outcome::Wait)
            return Outcome::Wait;
        if (parens && !tokenIs(w, i, "for"))
            return wholeParens(w, i + 2, false, close);
        return Outcome::Done;
    }
    if (braces && (tokenIs(w, i, "else") || tokenIs(w, i, "do")))
        return bodyBraces(w, i + 1);
    if (parens && (tokenIs(w, i, "return") || tokenIs(w, i, "=") || tokenIs(w, i, "+=") || tokenIs(w, i, "-=") ||
                   tokenIs(w, i, "*=") || tokenIs(w, i, "/=") || tokenIs(w, i, "%=") || tokenIs(w, i, "&=") ||
                   tokenIs(w, i, "|=") || tokenIs(w, i, "^=") || tokenIs(w, i, "<<=") || tokenIs(w, i, ">>=") ||
                   tokenIs(w, i, ">>>=")))
        return wholeParens(w, i + 1, true, 0);
    if ((allow & rewriteBit(Rewrite::Commas)) && tokenIs(w, i, ","))
        return trailingComma(w, st, i);
    const WindowToken &t = windowAt(w, i);
    if ((allow & rewriteBit(Rewrite::Numbers)) && t.kind == TokenKind::Code && t.length > 0) {
        char c = tokenKey(w, i)[0];
        if ((c >= '0' && c <= '9') || (c == '.' && t.length > 1))
            rewriteNumber(w, i);
    }
    return Outcome::Done;
}

// Moves the state past token i: the brackets it opens or closes, what it
// starts, and what it leaves for the next token.
void advance(RewriteWindow &w, JavaState &st, std::uint64_t i)
{
    if (tokenIs(w, i, "{") || tokenIs(w, i, "(") || tokenIs(w, i, "[")) {
        Holds h = Holds::Other;
        if (tokenIs(w, i, "{")) {
            bool inArray = st.depth > 0 && st.depth <= kJavaNesting && st.holds[st.depth - 1] == Holds::ArrayInit;
            if (st.enumPending && st.enumDepth == st.depth)
                h = Holds::EnumBody;
            else if (st.before == Before::Assign || st.before == Before::Close ||
                     (inArray && (st.before == Before::Open || st.before == Before::Comma)))
                h = Holds::ArrayInit;
            if (st.enumDepth == st.depth)
                st.enumPending = false;
        }
        if (st.depth < kJavaNesting) {
            st.holds[st.depth] = h;
            st.declarations[st.depth] = false;
        }
        ++st.depth;
        st.before = Before::Open;
        return;
    }
    if (isClose(w, i)) {
        if (st.depth > 0)
            --st.depth;
        if (st.enumPending && st.enumDepth > st.depth)
            st.enumPending = false;
        st.before = tokenIs(w, i, "]") ? Before::Close : Before::Other;
        return;
    }
    if (tokenIs(w, i, "enum")) {
        st.enumPending = true;
        st.enumDepth = st.depth;
    } else if (tokenIs(w, i, ";")) {
        if (st.depth > 0 && st.depth <= kJavaNesting)
            st.declarations[st.depth - 1] = true;
        if (st.enumDepth == st.depth)
            st.enumPending = false;
    }
    st.before = tokenIs(w, i, "=") ? Before::Assign : tokenIs(w, i, ",") ? Before::Comma : Before::Other;
}

std::uint64_t javaScan(RewriteWindow &w, void *state)
{
    JavaState &st = *static_cast<JavaState *>(state);
    return decideEach(
        w, st.next, false, [&](std::uint64_t i) { return decide(w, st, i) == Outcome::Wait; },
        [&](std::uint64_t i) { advance(w, st, i); });
}

} // namespace

extern const RewriteRules kJavaRules = rulesRecord<JavaState>(
    Language::Java, {Rewrite::Braces, Rewrite::Parens, Rewrite::Commas, Rewrite::Numbers}, javaScan, nullptr);
