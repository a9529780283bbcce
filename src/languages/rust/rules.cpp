// Rust's rules: the rewrites rustfmt makes (match_arm_blocks, trailing_comma,
// match_block_trailing_comma, hex_literal_case, remove_nested_parens, empty
// statements, closure bodies) and the like, none of them
// inside a macro invocation or definition (`name!(...)`, `name![...]`,
// `name!{...}`, `macro_rules! name {...}`) or an attribute (`#[...]`,
// `#![...]`), whose tokens a macro may read as written.
//
// - braces: a match arm's body `pat => expr,` against `pat => { expr }` and
//   `pat => { expr },`; and a closure's body `|x| { expr }` against `|x| expr`
//   where the closure has no return type (`|x| -> T { .. }` needs its block),
//   its parameters hold no ';', '=', '=>', '||' or closing bracket outside
//   brackets, the block is followed by ',', ')', ']', '}' or ';' (so that
//   nothing after it could join expr), and the '|' or '||' that opens it
//   follows '(', '[', '{', ',', '=', '=>', ':', ';', `move`, `return` or
//   `async`, where no binary operator can stand. For both, the block must
//   hold one expression: no ';', no `let`,
//   no item, no attribute, no statement macro at its start, and every block
//   at its top level ends it or is followed by `else` (so `{ if a {} b }`,
//   two statements, stays). A `{ expr }` body is a block expression whose
//   value is expr's; rustfmt makes the same rewrite. (Temporaries made in
//   expr are dropped at the end of the arm either way, as an arm is a
//   terminating scope.) The block must not be followed by `.` or `?`, which
//   would apply to it. The arm's end compares as one canonical separator:
//   the closing brace of a braced body, or the comma after an unbraced one,
//   found as the first comma outside brackets (an unbraced body holding a
//   '<' or '|' outside brackets, which may hold commas of generic arguments
//   or closure parameters, is left as written). The last arm's closing brace
//   is dropped, its comma left to the commas rule;
// - parens: a group that holds nothing but another group, `((a))` against
//   `(a)` (the outer pair is taken out), where its '(' cannot be a call's,
//   a tuple struct's or a parameter list's: not after a name, a keyword
//   other than `return`, `in`, `if`, `while`, `match`, `break`, `as`, `mut`,
//   `let`, `yield` and `else`, a literal, a lifetime, ')', ']', '}', '?',
//   '.', '::', '#', '>', '>>' or '$', nor a macro's brackets. Group or tuple,
//   the inner pair is what the outer one holds, so the outer one means
//   nothing (`f((a, b))`, a call with a tuple, stays, as it follows a name);
//   such a group that holds one number literal, `(0.).f()` against
//   `0. .f()`, is taken out too. And an item head's empty generic
//   parameters, `trait T<> {}` against `trait T {}`: a '<' and '>' right
//   after `impl`, or after the name after `struct`, `enum`, `union`,
//   `trait`, `fn` or `type` (never a path's `Vec<>`); and a closure's empty
//   parameters `| |` against `||`: two '|' with nothing between where a
//   closure may start and no binary operator can stand, not after ','
//   (where the first may close a closure's parameters), both made one
//   canonical `||`;
// - semicolons: an empty statement, a ';' right after another ';' or after
//   the '{' of a block of statements: a '{' not of a match, a struct, enum or
//   union definition, a use group, a struct literal or pattern, nor of the
//   item list of an impl, a trait, a module or an extern block (`;` alone is
//   no item there, and rustc refuses it), nor at the source's top level;
//   and in such a block the ';' after a bare `return`, `break` or `continue`
//   that starts a statement, before the block's '}' (exitStatement);
// - commas: a trailing comma before ')' when the parentheses hold two or more
//   elements (commas inside an open '<' not counted) or follow a name,
//   closing generics or `fn` (a call, a tuple struct, parameters: `(a,)`
//   alone is a one-element tuple); before ']' when the brackets hold two or
//   more elements; before '}' of a match, a struct, enum or union
//   definition, a use group, or a struct literal or pattern (not after
//   `..`); before '>' while a '<' is open; before the '{', ';' or '=' (a type
//   alias's) that ends a where clause; the comma after a braced match arm. A
//   list holding a '|' or '..' outside brackets keeps its comma. Also before
//   ']' of one element where the '[' is no index; before the '|' that closes
//   a closure's parameters where no pattern can stand (closureParams); before
//   the ')' of `#[derive(...)]`, a list of paths the compiler reads; and a
//   match arm's leading '|' after the match's '{' or an arm's separator,
//   unless the arm before holds a '|' at its top level (a closure's
//   parameters may hold the comma that seems to end it); The depth of '<' is a guess (it may
//   compare): a wrong guess only keeps a comma, or drops one that leaves the
//   source as invalid as it was;
// - quotes: a string literal, `"..."`, `b"..."` or `c"..."`, by its text
//   without line continuations (rustfmt's format_strings splits a long one
//   so): a '\\' that ends a line is read with the line end and the blanks,
//   tabs and line ends after it as nothing, as rustc reads it, so
//   `"ab\\<newline>    cd"` equals `"abcd"`; every other escape compares as
//   written, and a raw string as written;
// - numbers: a literal by its radix, digits and suffix (the case of hex
//   digits, digit separators, leading zeros, `1_u8` against `1u8`), a
//   floating-point one by its decimal value and suffix (`1E5`, `1e5`,
//   `100000.0`). An unsuffixed literal never equals a suffixed one, nor two
//   radixes each other; a number after '.' (a tuple field) stays as written.
//
// The scan reads the tokens once, keeping a stack of the brackets open
// around the current one and what each holds; a decision that needs tokens
// up to a bracket's match waits for them, and is given up (the tokens stay as
// written) when the window is full first.
#include <cstdio>
#include <cstring>

#include "languages/rust/state.h"
#include "rewrites/rules.h"

namespace {

constexpr std::size_t kRustNesting = 256;      // brackets tracked; deeper ones take no rewrite
constexpr std::size_t kRustNumberBytes = 128;  // longest number rewritten; a longer one stays as written

// What an open bracket holds.
enum class Holds : unsigned char {
    Other,     // parentheses, brackets, blocks
    Items,     // the items of an impl, a trait, a module or an extern block
    Match,     // the arms of a match
    Fields,    // a struct, enum or union definition's fields or variants
    Uses,      // a use group
    Literal,   // a struct literal or pattern
    Opaque,    // a macro's or attribute's tokens
    Derive,    // the paths of `#[derive(...)]`, a comma list the compiler reads (inside the opaque attribute)
};

// A keyword waiting for the '{' it opens at its depth.
enum class Pending : unsigned char { None, Block, Match, Fields, Items, Extern };

// What the previous token was.
enum class Before : unsigned char {
    Other,
    Name,     // a name that is no keyword (`Self` counts)
    Keyword,
    PathSep,  // '::'
    Use,      // `use`
    Arrow,    // '=>'
    Dot,      // '.'
    Greater,  // a '>' that closes no '<'
    Generic,  // a '>' that closes a '<'
    Close,    // ')'
    Open,     // '(', '[' or '{'
    Comma,    // ','
    Semicolon,  // ';'
};

// Facts of one open bracket's top level.
struct Level {
    Holds holds;
    bool afterName;    // a '(' right after a name or a ')'
    bool semicolon;    // a ';' stood at its top level
    bool risky;        // a '|' or '..' stood there
    bool where;        // inside a where clause, before the '{' or ';' that ends it
    bool fnNext;       // after `fn`: the next '(' holds parameters
    std::uint16_t angle;   // '<' not yet closed by '>' (a guess: '<' may compare)
    std::uint16_t commas;  // commas at its top level outside '<' (counting stops at its maximum)
    Pending pending;   // a keyword at its top level waiting for its '{'
    bool pattern;      // its top level is inside the pattern of `if let`, `while let` or `for`
    bool brace;        // it is a '{'
    bool signature;    // after `fn`, before the '{' or ';' that ends its signature
    bool index;        // a '[' right after an operand: an index, not an array or a slice pattern
    bool method;       // a '(' right after `.name`: a method call's arguments, expressions all
    bool params;       // between the '|'s of a closure's parameters (only where no pattern can stand)
    bool armBody;      // at a match's top level, after an arm's `=>`
    bool bodyVert;     // a '|' or '||' stood at the top level of that arm's body
};

struct RustState {
    std::uint64_t next;                   // absolute index of the next token to look at
    std::uint32_t depth;                  // brackets open, also past kRustNesting
    Level levels[kRustNesting + 1];       // the source's top level, then each tracked bracket by depth
    std::uint32_t opaqueFrom;             // brackets deeper than this are opaque (0: none)
    bool opaqueNext;                      // the next open bracket is a macro's or attribute's
    bool afterMacroRules;                 // `macro_rules !` came last: a name, then its brackets
    bool macroRules;                      // the previous token is `macro_rules`
    Before before;                        // the previous token
    std::uint64_t separators[kRustNesting];  // '}' written as an arm separator ahead, innermost last
    std::uint32_t separatorCount;
    bool operand;                         // the previous token ends an operand or a path, or is a keyword
                                          // that may: a '(' after it may be a call's, not a group
    bool closureBarred;                   // the previous token cannot stand before a closure (false at the
                                          // start, as after a ';')
    bool afterComma;                      // the previous token is ','
    bool afterParams;                     // it is '=', '=>', `move`, `return` or `async`, after which a '|'
                                          // opens a closure's parameters
    bool afterOpen;                       // it is '('
    std::uint64_t joined;                 // 1 + the index of the second '|' of `| |` taken into `||` (0: none)
    std::uint64_t heads;                  // 1 + the index of the last `struct`, `enum`, `union`, `trait`, `fn`
                                          // or `type` (0: none)
    bool exitNext;                        // the previous token is `return`, `break` or `continue` that starts
                                          // a statement (after '{' or ';')
    bool headNext;                        // the previous token is `impl`, or the name right after one of those:
                                          // a '<' opens an item head's generic parameters (kept in the state,
                                          // as that token may have left the window)
};

const char *const kKeywords[] = {
    "as", "async", "await", "break", "const", "continue", "crate", "dyn", "else", "enum", "extern", "false", "fn",
    "for", "if", "impl", "in", "let", "loop", "match", "mod", "move", "mut", "pub", "ref", "return", "self",
    "static", "struct", "super", "trait", "true", "type", "unsafe", "use", "where", "while", "yield", "box",
    "macro_rules", "union", "abstract", "become", "do", "final", "macro", "override", "priv", "typeof",
    "unsized", "virtual", "try", "gen",
};

bool isNameToken(RewriteWindow &w, std::uint64_t i)
{
    const WindowToken &t = windowAt(w, i);
    if (t.kind != TokenKind::Code || t.length == 0)
        return false;
    char c = tokenKey(w, i)[0];
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

bool isKeyword(RewriteWindow &w, std::uint64_t i)
{
    for (const char *k : kKeywords)
        if (tokenIs(w, i, k))
            return true;
    return false;
}

bool isOpen(RewriteWindow &w, std::uint64_t i)
{
    return tokenIs(w, i, "(") || tokenIs(w, i, "[") || tokenIs(w, i, "{");
}

bool isClose(RewriteWindow &w, std::uint64_t i)
{
    return tokenIs(w, i, ")") || tokenIs(w, i, "]") || tokenIs(w, i, "}");
}

// Whether token i is a number literal as written.
bool isNumber(RewriteWindow &w, std::uint64_t i)
{
    const WindowToken &t = windowAt(w, i);
    return t.whole && t.kind == TokenKind::Code && t.length > 0 && tokenKey(w, i)[0] >= '0' &&
           tokenKey(w, i)[0] <= '9';
}

// Whether the token kept before i is a ',' as written or an arm's separator
// written canonically as one (matchArm).
bool armEnd(RewriteWindow &w, std::uint64_t i)
{
    std::uint64_t b = i;
    while (b > w.first && windowAt(w, b - 1).dropped)
        --b;
    if (b == w.first)
        return false;
    const WindowToken &t = windowAt(w, b - 1);
    return t.whole && t.length == 1 && tokenKey(w, b - 1)[0] == ',' &&
           (t.kind == TokenKind::Code || t.kind == TokenKind::Value);
}

// What a decision found: done, or the tokens it needs are not all held yet.
enum class Outcome { Done, Wait };

// True when the block open .. close holds one expression (see the top).
bool singleExpression(RewriteWindow &w, std::uint64_t open, std::uint64_t close)
{
    if (close == open + 1)
        return false;
    std::uint64_t i = open + 1;
    while (i < close && (isNameToken(w, i) || tokenIs(w, i, "::")))
        ++i;
    if (i > open + 1 && i < close && tokenIs(w, i, "!"))
        return false;  // a macro in statement position may expand to statements
    static const char *const kStatements[] = {"let", "fn", "struct", "enum", "union", "trait", "impl", "mod", "use",
                                              "static", "const", "type", "extern", "macro_rules", "pub", "#", ";", ","};
    for (i = open + 1; i < close; ++i) {
        if (tokenIs(w, i, "let") && i > open + 1 &&
            (tokenIs(w, i - 1, "if") || tokenIs(w, i - 1, "while") || tokenIs(w, i - 1, "&&")))
            continue;  // a condition's `let`
        for (const char *k : kStatements)
            if (tokenIs(w, i, k))
                return false;
        if (tokenIs(w, i, "!") && tokenIs(w, i + 1, "{"))
            return false;
        if (isOpen(w, i)) {
            bool brace = tokenIs(w, i, "{");
            i = matchingClose(w, i);
            if (brace && i + 1 != close && !tokenIs(w, i + 1, "else"))
                return false;
        }
    }
    return true;
}

// The arm whose `=>` is at arrow, in a match: its body's braces and the
// separator after it (see the top).
Outcome matchArm(RewriteWindow &w, RustState &st, std::uint64_t arrow)
{
    bool braces = w.allow & rewriteBit(Rewrite::Braces), commas = w.allow & rewriteBit(Rewrite::Commas);
    std::uint64_t b = arrow + 1;
    if (b >= windowEnd(w))
        return Outcome::Wait;
    if (tokenIs(w, b, "{") && !windowAt(w, b).dropped) {
        std::uint64_t c = matchingClose(w, b);
        std::uint64_t after = c < windowEnd(w) ? nextKept(w, c) : windowEnd(w);
        std::uint64_t then = after < windowEnd(w) && tokenIs(w, after, ",") ? nextKept(w, after) : after;
        if (then >= windowEnd(w))
            return Outcome::Wait;
        if (braces && singleExpression(w, b, c) && !tokenIs(w, after, ".") && !tokenIs(w, after, "?") &&
            st.separatorCount < kRustNesting) {
            if (tokenIs(w, then, "}")) {
                dropToken(w, b, Rewrite::Braces, b + 1);
                dropToken(w, c, Rewrite::Braces, b + 1);
                return Outcome::Done;
            }
            // The separator carries the whole rewrite, so that it counts once.
            if (replaceKey(w, c, Rewrite::Braces, ",", 1)) {
                dropToken(w, b, Rewrite::Braces, c);
                if (after != then)
                    dropToken(w, after, Rewrite::Braces, c);
                st.separators[st.separatorCount++] = c;
            }
            return Outcome::Done;
        }
        if (commas && after != then)
            dropToken(w, after, Rewrite::Commas, then);
        return Outcome::Done;
    }
    if (!braces)
        return Outcome::Done;
    for (std::uint64_t i = b; i < windowEnd(w); ++i) {
        if (isOpen(w, i)) {
            i = matchingClose(w, i);
            if (i >= windowEnd(w))
                return Outcome::Wait;
            continue;
        }
        if (isClose(w, i) || tokenIs(w, i, "<") || tokenIs(w, i, "<<") || tokenIs(w, i, "|") ||
            tokenIs(w, i, "=>") || tokenIs(w, i, ";") || windowAt(w, i).kind != TokenKind::Code)
            return Outcome::Done;
        if (tokenIs(w, i, ",")) {
            std::uint64_t then = nextKept(w, i);
            if (then >= windowEnd(w))
                return Outcome::Wait;
            if (!tokenIs(w, then, "}") && !windowAt(w, i).dropped)
                replaceKey(w, i, Rewrite::Braces, ",", 1);
            return Outcome::Done;
        }
    }
    return Outcome::Wait;
}

// The '(' at i, which opens a group: taken out with its match when it holds
// nothing but another group, `((a))` (see the top).
Outcome nestedParens(RewriteWindow &w, std::uint64_t i)
{
    return takeNestedParens(w, i) ? Outcome::Done : Outcome::Wait;
}

// The ';' at i, an empty statement in a block (see the top).
Outcome emptyStatement(RewriteWindow &w, std::uint64_t i)
{
    const std::uint64_t next = nextKept(w, i);
    if (next >= windowEnd(w))
        return Outcome::Wait;
    dropToken(w, i, Rewrite::Semicolons, next);
    return Outcome::Done;
}

// The ';' at i after a bare `return`, `break` or `continue` that starts a
// statement: taken out when the block's '}' follows, `{ return; }` against
// `{ return }` (rustfmt writes the ';' when it breaks the block's lines).
// Both leave the block at once, and a block that ends in a statement that
// diverges takes any type, as one whose value diverges does.
Outcome exitStatement(RewriteWindow &w, std::uint64_t i)
{
    const std::uint64_t next = nextKept(w, i);
    if (next >= windowEnd(w))
        return Outcome::Wait;
    if (tokenIs(w, next, "}"))
        dropToken(w, i, Rewrite::Semicolons, next);
    return Outcome::Done;
}

// The '|' or '||' at i, where a closure may start: the braces of its body
// taken out when it has no return type and the block holds one expression
// that ends the closure (see the top).
Outcome closureBody(RewriteWindow &w, std::uint64_t i)
{
    std::uint64_t k = i;
    if (tokenIs(w, i, "|")) {
        for (k = i + 1;; ++k) {
            if (k >= windowEnd(w))
                return Outcome::Wait;
            if (isOpen(w, k)) {
                k = matchingClose(w, k);
                if (k >= windowEnd(w))
                    return Outcome::Wait;
                continue;
            }
            if (tokenIs(w, k, "|"))
                break;
            if (isClose(w, k) || tokenIs(w, k, "||") || tokenIs(w, k, ";") || tokenIs(w, k, "=>") ||
                tokenIs(w, k, "=") || windowAt(w, k).kind != TokenKind::Code)
                return Outcome::Done;
        }
    }
    const std::uint64_t open = k + 1;
    if (open >= windowEnd(w))
        return Outcome::Wait;
    if (!tokenIs(w, open, "{") || windowAt(w, open).dropped)
        return Outcome::Done;
    const std::uint64_t close = matchingClose(w, open);
    if (close >= windowEnd(w) || close + 1 >= windowEnd(w))
        return Outcome::Wait;
    const std::uint64_t after = close + 1;
    if (!(tokenIs(w, after, ",") || tokenIs(w, after, ")") || tokenIs(w, after, "]") || tokenIs(w, after, "}") ||
          tokenIs(w, after, ";")) ||
        !singleExpression(w, open, close))
        return Outcome::Done;
    dropToken(w, open, Rewrite::Braces, open + 1);
    dropToken(w, close, Rewrite::Braces, open + 1);
    return Outcome::Done;
}

// The comma at i: dropped when it trails a list whose closing bracket gives
// it no meaning (see the top).
Outcome trailingComma(RewriteWindow &w, RustState &st, std::uint64_t i)
{
    if (st.before == Before::Open || st.before == Before::Comma)
        return Outcome::Done;
    const Level &l = st.levels[st.depth];
    bool inside = st.depth > 0;
    std::uint64_t after = nextKept(w, i);
    if (after >= windowEnd(w))
        return Outcome::Wait;
    bool drop = false;
    if (tokenIs(w, after, ")"))
        drop = inside && (l.afterName || (l.commas > 0 && !l.risky));
    else if (tokenIs(w, after, "]"))
        drop = inside && (l.commas > 0 || !l.index) && !l.risky && !l.semicolon;
    else if (tokenIs(w, after, "|"))
        drop = l.params;  // a closure's parameters
    else if (tokenIs(w, after, ">"))
        drop = l.angle > 0;  // generic arguments or parameters
    else if (tokenIs(w, after, "{") || tokenIs(w, after, ";") || tokenIs(w, after, "="))
        drop = l.where && l.angle == 0;  // the end of a where clause (a type alias's before its '=')
    else if (tokenIs(w, after, "}"))
        drop = inside && (l.holds == Holds::Match || l.holds == Holds::Fields || l.holds == Holds::Uses ||
                          (l.holds == Holds::Literal && !l.semicolon && !l.risky));
    if (drop)
        dropToken(w, i, Rewrite::Commas, after);
    return Outcome::Done;
}

bool isSuffix(const char *s, std::size_t n, bool integer)
{
    static const char *const kIntegers[] = {"u8", "u16", "u32", "u64", "u128", "usize",
                                            "i8", "i16", "i32", "i64", "i128", "isize"};
    if (n == 0)
        return true;
    if (integer) {
        for (const char *k : kIntegers)
            if (std::strlen(k) == n && std::memcmp(k, s, n) == 0)
                return true;
        return false;
    }
    return n == 3 && (std::memcmp(s, "f32", 3) == 0 || std::memcmp(s, "f64", 3) == 0);
}

// Reads digits of radix and separators from s[k] on (the first must be a
// digit unless separatorFirst), appending the digits in lower case to out.
// Returns the count of digits read.
std::size_t readDigits(const char *s, std::size_t n, std::size_t &k, int radix, bool separatorFirst, char *out,
                       std::size_t &used)
{
    std::size_t digits = 0;
    for (; k < n; ++k) {
        char c = s[k], l = static_cast<char>(c | 0x20);
        int v = c >= '0' && c <= '9' ? c - '0' : (l >= 'a' && l <= 'f' ? l - 'a' + 10 : 99);
        if (c == '_' && (digits > 0 || separatorFirst))
            continue;
        if (v >= radix)
            break;
        out[used++] = c >= 'A' ? l : c;
        ++digits;
    }
    return digits;
}

// Writes the canonical form of the Rust number s[0..n) to out: 'i' and a
// radix letter, or 'f', then its digits (a floating-point one as its
// significant digits and a power of ten), then ':' and its suffix. Returns
// false for a number it does not read.
bool rustNumber(const char *s, std::size_t n, char *out, std::size_t &used)
{
    used = 0;
    std::size_t k = 0;
    if (n > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'o' || s[1] == 'b')) {
        int radix = s[1] == 'x' ? 16 : s[1] == 'o' ? 8 : 2;
        out[used++] = 'i';
        out[used++] = s[1];
        k = 2;
        std::size_t start = used;
        if (readDigits(s, n, k, radix, true, out, used) == 0 || !isSuffix(s + k, n - k, true))
            return false;
        std::size_t z = start;
        while (z + 1 < used && out[z] == '0')
            ++z;
        std::memmove(out + start, out + z, used - z);
        used -= z - start;
        out[used++] = ':';
        std::memcpy(out + used, s + k, n - k);
        used += n - k;
        return true;
    }
    char digits[kRustNumberBytes];
    std::size_t count = 0;
    if (readDigits(s, n, k, 10, false, digits, count) == 0)
        return false;
    std::size_t intDigits = count;
    bool isFloat = false;
    if (k < n && s[k] == '.') {
        isFloat = true;
        ++k;
        if (k < n && readDigits(s, n, k, 10, false, digits, count) == 0)
            return false;
    }
    long power = -static_cast<long>(count - intDigits);
    if (k < n && (s[k] == 'e' || s[k] == 'E')) {
        isFloat = true;
        ++k;
        bool negative = k < n && s[k] == '-';
        if (k < n && (s[k] == '-' || s[k] == '+'))
            ++k;
        char e[kRustNumberBytes];
        std::size_t en = 0;
        if (readDigits(s, n, k, 10, true, e, en) == 0 || en > 9)
            return false;
        long v = 0;
        for (std::size_t q = 0; q < en; ++q)
            v = v * 10 + (e[q] - '0');
        power += negative ? -v : v;
    }
    if (!isSuffix(s + k, n - k, !isFloat))
        return false;
    std::size_t first = 0;
    while (first + 1 < count && digits[first] == '0')
        ++first;
    if (isFloat) {
        while (count > first && digits[count - 1] == '0') {
            --count;
            ++power;
        }
        out[used++] = 'f';
        if (first == count) {
            out[used++] = '0';
        } else {
            std::memcpy(out + used, digits + first, count - first);
            used += count - first;
            used += static_cast<std::size_t>(std::snprintf(out + used, 24, "e%ld", power));
        }
    } else {
        out[used++] = 'i';
        out[used++] = 'd';
        std::memcpy(out + used, digits + first, count - first);
        used += count - first;
    }
    out[used++] = ':';
    std::memcpy(out + used, s + k, n - k);
    used += n - k;
    return true;
}

void rewriteNumber(RewriteWindow &w, std::uint64_t i)
{
    const WindowToken &t = windowAt(w, i);
    if (!t.whole || t.length + 8 > kRustNumberBytes)
        return;
    char out[2 * kRustNumberBytes];
    std::size_t used = 0;
    if (rustNumber(tokenKey(w, i), t.length, out + 1, used)) {
        out[0] = 'N';
        replaceKey(w, i, Rewrite::Numbers, out, used + 1);
    }
}

// The string literal at i (`"..."`, `b"..."` or `c"..."`) by its text
// without line continuations: a '\\' that ends a line goes with the line end
// and the blanks, tabs and line ends after it, as rustc reads it; every
// other escape stays as written.
void rewriteString(RewriteWindow &w, std::uint64_t i)
{
    const WindowToken &t = windowAt(w, i);
    if (t.length + 1 > kRewriteLongToken)
        return;
    const char *k = tokenKey(w, i);
    char out[kRewriteLongToken + 1];
    std::size_t used = 0;
    out[used++] = 'S';
    for (std::size_t q = 0; q < t.length; ++q) {
        if (k[q] != '\\' || q + 1 >= t.length) {
            out[used++] = k[q];
            continue;
        }
        const bool lineEnd = k[q + 1] == '\n' || (k[q + 1] == '\r' && q + 2 < t.length && k[q + 2] == '\n');
        if (!lineEnd) {
            out[used++] = k[q];
            out[used++] = k[++q];
            continue;
        }
        while (q + 1 < t.length && (k[q + 1] == ' ' || k[q + 1] == '\t' || k[q + 1] == '\n' || k[q + 1] == '\r'))
            ++q;
    }
    replaceKey(w, i, Rewrite::Quotes, out, used);
}

// The '<' at i of an item head's generic parameters: taken out with the
// '>' right after it, `trait T<> {}` against `trait T {}`, an empty list
// the grammar reads as none.
Outcome emptyGenerics(RewriteWindow &w, std::uint64_t i)
{
    if (i + 1 >= windowEnd(w))
        return Outcome::Wait;
    if (!tokenIs(w, i + 1, ">"))
        return Outcome::Done;
    const std::uint64_t onto = nextKept(w, i + 1);
    if (onto >= windowEnd(w))
        return Outcome::Wait;
    dropToken(w, i, Rewrite::Parens, onto);
    dropToken(w, i + 1, Rewrite::Parens, onto);
    return Outcome::Done;
}

// Whether token i is the canonical `||` of a closure's empty parameters.
bool isJoined(RewriteWindow &w, std::uint64_t i)
{
    const WindowToken &t = windowAt(w, i);
    return t.kind == TokenKind::Value && t.length == 2 && std::memcmp(tokenKey(w, i), "||", 2) == 0;
}

// The '|' or '||' at i, where a closure may start (the token after it is
// held): a closure's empty parameters, `| |` (two '|' with nothing
// between, which can be nothing else where an expression starts) and `||`,
// become one canonical `||`. Not after ',', where the first '|' may close
// a closure's parameters, `|a,| | | b`.
void emptyParameters(RewriteWindow &w, RustState &st, std::uint64_t i)
{
    if (st.afterComma)
        return;
    if (tokenIs(w, i, "|") && !(tokenIs(w, i + 1, "|") && !windowAt(w, i + 1).dropped))
        return;
    if (!replaceKey(w, i, Rewrite::Parens, "||", 2))
        return;
    if (tokenIs(w, i + 1, "|") && !windowAt(w, i + 1).dropped) {
        dropToken(w, i + 1, Rewrite::Parens, i);
        st.joined = i + 2;
    }
}

// The decisions taken at token i, before the state moves past it.
Outcome decide(RewriteWindow &w, RustState &st, std::uint64_t i)
{
    if (st.depth <= kRustNesting && st.levels[st.depth].holds == Holds::Derive &&
        (w.allow & rewriteBit(Rewrite::Commas)) && tokenIs(w, i, ",")) {
        if (i + 1 >= windowEnd(w))
            return Outcome::Wait;
        return tokenIs(w, i + 1, ")") ? trailingComma(w, st, i) : Outcome::Done;
    }
    if (st.depth > kRustNesting || (st.opaqueFrom != 0 && st.depth >= st.opaqueFrom))
        return Outcome::Done;
    bool top = st.depth > 0;
    const Level &l = st.levels[st.depth];
    if (top && tokenIs(w, i, "=>") && l.holds == Holds::Match)
        return matchArm(w, st, i);
    if ((w.allow & rewriteBit(Rewrite::Commas)) && top && l.holds == Holds::Match && tokenIs(w, i, "|") &&
        (st.before == Before::Open || (armEnd(w, i) && !l.bodyVert)))
        return dropBefore(w, i, Rewrite::Commas) ? Outcome::Done : Outcome::Wait;
    if ((w.allow & rewriteBit(Rewrite::Parens)) && tokenIs(w, i, "(") && !st.operand && !st.opaqueNext) {
        if (i + 2 >= windowEnd(w))
            return Outcome::Wait;
        if (isNumber(w, i + 1) && tokenIs(w, i + 2, ")")) {
            dropToken(w, i, Rewrite::Parens, i + 1);
            dropToken(w, i + 2, Rewrite::Parens, i + 1);
            return Outcome::Done;
        }
        return nestedParens(w, i);
    }
    if ((w.allow & rewriteBit(Rewrite::Semicolons)) && tokenIs(w, i, ";") && top && l.brace &&
        l.holds == Holds::Other && (st.before == Before::Semicolon || st.before == Before::Open))
        return emptyStatement(w, i);
    if ((w.allow & rewriteBit(Rewrite::Semicolons)) && tokenIs(w, i, ";") && top && l.brace &&
        l.holds == Holds::Other && st.exitNext)
        return exitStatement(w, i);
    if ((w.allow & rewriteBit(Rewrite::Parens)) && tokenIs(w, i, "<") && st.headNext)
        return emptyGenerics(w, i);
    if (!st.closureBarred && (tokenIs(w, i, "|") || tokenIs(w, i, "||"))) {
        if (i + 1 >= windowEnd(w))
            return Outcome::Wait;
        if ((w.allow & rewriteBit(Rewrite::Braces)) && closureBody(w, i) == Outcome::Wait)
            return Outcome::Wait;
        if (w.allow & rewriteBit(Rewrite::Parens))
            emptyParameters(w, st, i);
        return Outcome::Done;
    }
    if ((w.allow & rewriteBit(Rewrite::Commas)) && tokenIs(w, i, ","))
        return trailingComma(w, st, i);
    const WindowToken &t = windowAt(w, i);
    if ((w.allow & rewriteBit(Rewrite::Numbers)) && isNumber(w, i) && st.before != Before::Dot)
        rewriteNumber(w, i);
    if ((w.allow & rewriteBit(Rewrite::Quotes)) && t.kind == TokenKind::Code && t.whole && t.length > 1) {
        const char *k = tokenKey(w, i);
        if (k[0] == '"' || ((k[0] == 'b' || k[0] == 'c') && k[1] == '"'))
            rewriteString(w, i);
    }
    return Outcome::Done;
}

// The level whose top level holds the current token, or nullptr past kRustNesting.
Level *current(RustState &st)
{
    return st.depth <= kRustNesting ? &st.levels[st.depth] : nullptr;
}

// What the '{' at the current depth opens.
Holds braceHolds(RustState &st)
{
    Level *l = current(st);
    if (st.before == Before::Arrow || !l)
        return Holds::Other;
    if (l->pending != Pending::None && !l->pattern) {
        Pending p = l->pending;
        if ((p == Pending::Items || p == Pending::Extern) && l->angle > 0)
            return Holds::Other;  // a const argument: `impl X for Y<{ N }> {`
        l->pending = Pending::None;
        return p == Pending::Match    ? Holds::Match
               : p == Pending::Fields ? Holds::Fields
               : p == Pending::Block  ? Holds::Other
                                      : Holds::Items;
    }
    if (st.before == Before::PathSep || st.before == Before::Use)
        return Holds::Uses;
    if (st.before == Before::Name || st.before == Before::Greater || st.before == Before::Generic)
        return Holds::Literal;
    return Holds::Other;
}

void openBracket(RewriteWindow &w, RustState &st, std::uint64_t i)
{
    Holds h = Holds::Other;
    if (st.opaqueNext) {
        h = Holds::Opaque;
        if (st.opaqueFrom == 0)
            st.opaqueFrom = st.depth + 1;
    } else if (tokenIs(w, i, "{")) {
        h = braceHolds(st);
    } else if (st.opaqueFrom == st.depth && tokenIs(w, i, "(") && i >= w.first + 3 && tokenIs(w, i - 1, "derive") &&
               tokenIs(w, i - 2, "[") && tokenIs(w, i - 3, "#")) {
        h = Holds::Derive;
    }
    bool fnNext = false;
    if (Level *outer = current(st)) {
        fnNext = outer->fnNext && tokenIs(w, i, "(");
        if (tokenIs(w, i, "(") || tokenIs(w, i, "{"))
            outer->fnNext = false;
        if (tokenIs(w, i, "{"))
            outer->where = outer->signature = false;
    }
    ++st.depth;
    if (Level *l = current(st)) {
        *l = Level();
        l->holds = h;
        l->brace = tokenIs(w, i, "{");
        l->afterName = tokenIs(w, i, "(") && (st.before == Before::Name || st.before == Before::Close ||
                                                  st.before == Before::Generic || fnNext);
        l->index = tokenIs(w, i, "[") && st.operand;
        l->method = tokenIs(w, i, "(") && st.before == Before::Name && i >= w.first + 2 && tokenIs(w, i - 2, ".");
    }
}

void closeBracket(RustState &st)
{
    if (st.depth > 0)
        --st.depth;
    if (st.opaqueFrom != 0 && st.depth < st.opaqueFrom)
        st.opaqueFrom = 0;
}

// A keyword that opens a '{' at its level, or ends the pattern before it.
void keyword(RewriteWindow &w, Level &l, std::uint64_t i)
{
    auto wait = [&](Pending p) {
        l.pending = p;
        l.pattern = false;
    };
    if (tokenIs(w, i, "match"))
        wait(Pending::Match);
    else if (tokenIs(w, i, "struct") || tokenIs(w, i, "enum") || tokenIs(w, i, "union"))
        wait(Pending::Fields);
    else if (tokenIs(w, i, "for") && !tokenIs(w, i + 1, "<") && l.pending == Pending::None) {
        wait(Pending::Block);
        l.pattern = true;
    } else if (tokenIs(w, i, "let") && l.pending == Pending::Block)
        l.pattern = true;
    else if (l.pending != Pending::None && (tokenIs(w, i, "=") || tokenIs(w, i, "in")))
        l.pattern = false;
    else if (tokenIs(w, i, ";"))
        l.pending = Pending::None;
    else if (tokenIs(w, i, "impl") || tokenIs(w, i, "trait") || tokenIs(w, i, "mod")) {
        if (!l.signature)  // `-> impl Trait` leaves the body a function's
            wait(Pending::Items);
    } else if (l.pending == Pending::Items) {
        // `impl X for unsafe extern "C" fn() {`: the body stays an item list
    } else if (tokenIs(w, i, "extern"))
        wait(Pending::Extern);  // a block of items, unless `fn` follows
    else if (tokenIs(w, i, "if") || tokenIs(w, i, "while") || tokenIs(w, i, "loop") || tokenIs(w, i, "else") ||
             tokenIs(w, i, "unsafe") || tokenIs(w, i, "async") || tokenIs(w, i, "fn"))
        wait(Pending::Block);
}

// Whether a '(' after token i may be a call's parentheses, and whether a
// closure may follow it (see RustState::operand and closureBarred).
void operandAndClosure(RewriteWindow &w, RustState &st, std::uint64_t i)
{
    static const char *const kGroupKeywords[] = {"return", "in", "if", "while", "match", "break",
                                                 "as", "mut", "let", "yield", "else"};
    static const char *const kOperandEnds[] = {")", "]", "}", "?", ".", "::", "#", ">", ">>", "$"};
    static const char *const kBeforeClosure[] = {"(", "[", "{", ",", "=", "=>", ":", ";", "move", "return", "async"};
    const WindowToken &t = windowAt(w, i);
    bool operand = true;
    if ((t.kind == TokenKind::Code || isJoined(w, i)) && t.length > 0) {
        char c = tokenKey(w, i)[0];
        if (isNameToken(w, i)) {
            operand = true;
            for (const char *k : kGroupKeywords)
                if (tokenIs(w, i, k))
                    operand = false;
        } else if (!(c >= '0' && c <= '9') && c != '"' && c != '\'') {
            operand = false;
            for (const char *k : kOperandEnds)
                if (tokenIs(w, i, k))
                    operand = true;
        }
    }
    st.operand = operand;
    st.closureBarred = true;
    for (const char *k : kBeforeClosure)
        if (tokenIs(w, i, k))
            st.closureBarred = false;
}

// At the '|' or '||' at i, at the top level l: opens or closes a closure's
// parameters, where the '|' follows `=`, `=>`, `move`, `return` or `async`,
// or opens an argument of a method call (no pattern stands there, where a
// leading '|' would start an or-pattern).
void closureParams(RewriteWindow &w, RustState &st, Level &l, std::uint64_t i)
{
    if (l.params) {
        l.params = false;
        return;
    }
    if (!tokenIs(w, i, "|") || st.closureBarred)
        return;
    l.params = st.afterParams || (l.method && (st.afterOpen || st.afterComma));
}

// Moves the state past token i.
void advance(RewriteWindow &w, RustState &st, std::uint64_t i)
{
    if (st.joined == i + 1)
        return;  // the second '|' of `| |`, which the first now stands for
    st.exitNext = (tokenIs(w, i, "return") || tokenIs(w, i, "break") || tokenIs(w, i, "continue")) &&
                  (st.before == Before::Open || st.before == Before::Semicolon);
    st.headNext = tokenIs(w, i, "impl") || (st.heads != 0 && st.heads == i && isNameToken(w, i) && !isKeyword(w, i));
    static const char *const kHeads[] = {"struct", "enum", "union", "trait", "fn", "type"};
    for (const char *k : kHeads)
        if (tokenIs(w, i, k))
            st.heads = i + 1;
    bool separator = st.separatorCount > 0 && st.separators[st.separatorCount - 1] == i;
    if (separator)
        --st.separatorCount;
    bool opaqueNext = false, bang = tokenIs(w, i, "!"), generic = false;
    if (isOpen(w, i)) {
        openBracket(w, st, i);
        st.before = Before::Open;
        operandAndClosure(w, st, i);
    } else if (isClose(w, i) || separator) {
        closeBracket(st);
        st.before = tokenIs(w, i, ")") ? Before::Close : Before::Other;
        st.operand = true;
        st.closureBarred = true;
    } else {
        if (Level *l = current(st)) {
            if (tokenIs(w, i, ",") && l->commas < 0xffff && l->angle == 0)
                ++l->commas;
            if (tokenIs(w, i, "|") || tokenIs(w, i, "..") || tokenIs(w, i, "..=") || tokenIs(w, i, "..."))
                l->risky = true;
            if ((tokenIs(w, i, "<") || tokenIs(w, i, "<<")) && l->angle < 0xff00)
                l->angle = static_cast<std::uint16_t>(l->angle + (tokenIs(w, i, "<") ? 1 : 2));
            if (tokenIs(w, i, ">") && l->angle > 0) {
                --l->angle;
                generic = true;
            }
            if (tokenIs(w, i, "|") || tokenIs(w, i, "||") || isJoined(w, i)) {
                closureParams(w, st, *l, i);
                l->bodyVert = l->bodyVert || l->armBody;
            }
            if (tokenIs(w, i, "=>") || tokenIs(w, i, ";")) {
                l->params = false;
                l->armBody = l->holds == Holds::Match && tokenIs(w, i, "=>");
                l->bodyVert = false;
            }
            if (tokenIs(w, i, "where"))
                l->where = true;
            if (tokenIs(w, i, "fn"))
                l->fnNext = l->signature = true;
            if (tokenIs(w, i, ";")) {
                l->semicolon = true;
                l->where = l->fnNext = l->signature = false;
            }
            keyword(w, *l, i);
        }
        bool name = isNameToken(w, i);
        // `name!` and `#` open a macro's or an attribute's brackets, `#!` and
        // `macro_rules! name` too.
        opaqueNext = tokenIs(w, i, "#") || (bang && (st.before == Before::Name || st.before == Before::Keyword)) ||
                     (bang && st.opaqueNext) || (name && st.afterMacroRules);
        st.afterMacroRules = bang && st.macroRules;
        if (st.afterMacroRules)
            opaqueNext = false;
        st.before = name ? (tokenIs(w, i, "use") ? Before::Use : isKeyword(w, i) ? Before::Keyword : Before::Name)
                    : tokenIs(w, i, "::") ? Before::PathSep
                    : tokenIs(w, i, "=>") ? Before::Arrow
                    : tokenIs(w, i, ".")  ? Before::Dot
                    : generic             ? Before::Generic
                    : tokenIs(w, i, ">")  ? Before::Greater
                    : tokenIs(w, i, ",")  ? Before::Comma
                    : tokenIs(w, i, ";")  ? Before::Semicolon
                                          : Before::Other;
    }
    operandAndClosure(w, st, i);
    st.macroRules = tokenIs(w, i, "macro_rules");
    st.opaqueNext = opaqueNext;
    st.afterComma = tokenIs(w, i, ",");
    st.afterOpen = tokenIs(w, i, "(");
    st.afterParams = tokenIs(w, i, "=") || tokenIs(w, i, "=>") || tokenIs(w, i, "move") || tokenIs(w, i, "return") ||
                     tokenIs(w, i, "async");
}

std::uint64_t rustScan(RewriteWindow &w, void *state)
{
    RustState &st = *static_cast<RustState *>(state);
    return decideEach(
        w, st.next, true, [&](std::uint64_t i) { return decide(w, st, i) == Outcome::Wait; },
        [&](std::uint64_t i) { advance(w, st, i); });
}

// The shebang line, a token of the shared layer's: '#' and '!' are tokens
// of their own otherwise.
bool rustAside(const char *key, std::size_t n)
{
    return n >= 2 && key[0] == '#' && key[1] == '!';
}

} // namespace

extern const RewriteRules kRustRules = rulesRecord<RustState>(
    Language::Rust, {Rewrite::Braces, Rewrite::Parens, Rewrite::Commas, Rewrite::Quotes, Rewrite::Numbers,
     Rewrite::Semicolons}, rustScan, rustAside);
