// Go's rules: the simplifications gofmt makes to the tokens themselves, and
// only where gofmt's own printer makes them, so that the syntax tree stays
// the same.
//
// - parens: a group that holds nothing but another group, `((a))` against
//   `(a)` (the outer pair is taken out, as gofmt prints a parenthesized
//   expression or type inside another once), where the outer '(' cannot be a
//   call's, a conversion's, a type assertion's, a signature's or a
//   declaration group's: it follows no name, literal, ')', ']', '}', '.' nor
//   keyword but `return`, `case`, `if`, `for`, `switch`, `range`, `go` and
//   `defer`. Both pairs are groups then, and the inner one is all the outer
//   one holds. And the parentheses around a type parameter's constraint in a
//   list that a comma or `func` proves a type parameter list, `[P (*int),]`
//   against `[P *int,]`: right after the `[` of `type Name[`, `func Name[` or
//   an entry `Name[` of a `type (...)` group, or a comma at its top level, a
//   name then '(' whose ')' is followed by ',' or ']', the list holding a
//   comma at its top level (an array's length holds none: `type A[N (M)]
//   struct{}` is an array type) or following `func Name` (`func f[T (any)]()`
//   against `func f[T any]()`); and, as gofmt strips them, the parentheses around all of an
//   `if`, `for` or `switch` condition or a `range` expression, `if (a) {`
//   against `if a {`: a '(' right after the keyword whose ')' is followed by
//   the '{' of the body, holding no '{' but that of a composite literal of
//   a slice, array or map type, `[]int{` or `[]p.T{` (one whose type is a
//   type name would need them: `if (x == T{}) {`), nor ';', ':=', '=', an assignment operator,
//   `range`, '++', '--' or '<-' (`for (i := 0; i < n; i++) {` is no Go,
//   and must not equal a loop that is), and again for a pair inside it
//   taken out so;
// - semicolons: an empty statement, a ';' right after another ';' in a block
//   of statements (a '{' not after `struct` or `interface`, whose fields a
//   lone ';' does not separate, and not the source's top level, where only
//   declarations stand), outside the header of an `if`, `for` or `switch`,
//   whose ';' separate its parts (`for ;; {`). The header is taken to last
//   from its keyword until a ';' right after a '}' once it has had all the
//   ';' it may hold (two after `for`, one after `if` and `switch`): the
//   '{' of its body cannot be told from a composite literal's
//   (`for x := []int{1}; ; {`), so a ';' that may still be the header's
//   stays; but a '{' at the header's level after a literal, or after a
//   name or names joined by '.' that follow an operator or the keyword,
//   opens the body (Go reads a '{' after a type name there as the body's,
//   and a composite literal's type that is no type name ends in ']', '*',
//   `chan` or ')' before its name), so the header holds no more ';'. The
//   lexer gives a written ';' and one a line end inserts the same
//   key, so `a;;` and `a;\n;` are one case. A ';' after `L:` (a labelled
//   empty statement, which `break L` may need) or after '{' stays. And the
//   two ';' of a for clause with neither an init nor a post statement,
//   `for ; cond ; {` against `for cond {` and `for ;; {` against `for {`,
//   as gofmt writes them: a ';' right after `for`, then tokens that hold no
//   ';', '{', closing bracket outside brackets or token of a statement
//   (':=', '=', '++', ...), then ';' and '{'.
//
// - elision: gofmt -s's composite literals whose type is left out, `[]T{T{1}}`
//   against `[]T{{1}}`: inside a literal whose type is written as an array,
//   slice or map type (a '[' or `map` where only an operand can start: after
//   '=', ':=', '(', ',', '{', ':', '[', '&', `return` or `range`, never
//   after a ')' or '*' whose type may be a result's before a body), an
//   element, key or value that is a composite literal written with the very
//   tokens of the element, key or value type, `T`, `p.T`, `T[int]`, `[]int`
//   (or `&T` where that type is `*T`), and that is all of the element (a ','
//   or the '}' follows, a ':' for a key), loses those tokens; and the
//   elements of such a literal, written with its type or without, are looked
//   at in turn against its own type. A func type or one in parentheses is not
//   read, nor a literal whose element is `T{1}.f`. The literal's type is
//   copied when its '{' is reached (at most kElisionTypeTokens tokens and
//   kElisionTypeBytes bytes, kElisionNesting literals deep), and each
//   element is decided at its start with only its own tokens held, so a
//   table longer than the window is read too.
//
// - build-lines: gofmt's own rewrite of build constraints. The lexer gives
//   a //go:build line as "//go:build EXPR", a +build line as "//+build
//   OPTIONS" and the blank line that makes the +build lines before it count
//   (go/build) as a LineEnd. Where the stream starts with such tokens and
//   then package, the +build lines before the last blank line count, none
//   stands after it, at most one //go:build line stands among them and its
//   expression means what theirs do, the //go:build line is taken out, the
//   +build lines become one token of kind Value, "//+build" and the least
//   terms of their meaning, and the blank lines but the last are taken out:
//   so a file with +build lines equals the same file with the //go:build
//   line gofmt adds, and with the +build lines gofmt writes again. Two
//   expressions mean the same only when each literal (a tag, or '!' and a
//   tag) is taken for a variable of its own, at most kBuildAtoms of them,
//   and their truth tables agree: the go command also reads a constraint
//   with every tag both set and not (go mod tidy, vendor), where "a && !a"
//   holds; more literals, a tag beyond ASCII letters, digits, '_' and '.',
//   "!!", a syntax error: the tokens stay as written.
//
// The scan reads the tokens once, keeping a stack of the brackets open
// around the current one; a decision that needs tokens up to a bracket's
// match waits for them, and is given up (the tokens stay as written) when
// the window is full first.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "rewrites/rules.h"

namespace {

constexpr std::size_t kGoNesting = 256;  // brackets tracked; deeper ones take no rewrite
constexpr int kBuildAtoms = 12;          // literals of build constraints compared by their truth tables
constexpr std::size_t kBuildNodes = 256; // literals and operators of the constraints of one header
constexpr int kElisionNesting = 6;       // literals nested whose elements elision reads; deeper ones stay
constexpr int kElisionTypeTokens = 96;   // tokens of an element type elision compares; longer types stay
constexpr int kElisionTypeBytes = 768;   // their bytes
constexpr std::uint32_t kPending = ~std::uint32_t{0};  // the depth of a literal whose '{' is still ahead

// What an open bracket is.
enum class Opens : unsigned char {
    Block,       // a '{' of statements (or a composite literal's, where no ';' stands)
    Fields,      // the '{' of a struct or interface type
    Paren,       // any other '('
    TypeGroup,   // the '(' of `type (`
    Square,      // any '['
    TypeParams,  // the '[' after `type Name` or `func Name`
};

struct GoRuleLevel {
    Opens opens;
    bool header;          // inside the header of an if, for or switch at this level, or maybe still
    std::uint8_t left;    // ';' the header may still hold
    bool comma;           // type parameters: the list holds a comma at its top level
};

// A type as its tokens' bytes, copied from the window.
struct ElisionType {
    int count;                                // tokens
    std::uint16_t ends[kElisionTypeTokens];   // where each token ends in bytes
    char bytes[kElisionTypeBytes];
};

// A composite literal of an array, slice or map type whose elements elision reads.
struct ElisionContext {
    std::uint64_t open;       // absolute index of its '{'
    std::uint32_t depth;      // the depth inside its braces; kPending until the '{' is passed
    bool map;                 // a map type: its elements are keys, then values after ':'
    ElisionType key, value;   // the key (maps) and element types
};

struct GoRulesState {
    bool started;                        // the build constraints at the stream's start are dealt with
    std::uint64_t next;                  // absolute index of the next token to look at
    std::uint32_t depth;                 // brackets open, also past kGoNesting
    GoRuleLevel levels[kGoNesting + 1];  // the top level, then each tracked bracket by depth
    bool operand;                        // a '(' after the previous token may be no group
    bool semicolon;                      // the previous token is ';'
    bool fields;                         // the previous token is `struct` or `interface`
    bool declared;                       // the previous tokens are `type` or `func` and a name
    bool declaring;                      // the previous token is `type` or `func`
    bool afterType;                      // the previous token is `type`
    bool afterFunc;                      // the previous token is `func`
    bool funcNamed;                      // the previous tokens are `func` and a name: a '[' opens type parameters
    bool entryStart;                     // the previous token starts an entry of a type group: its '(' or a ';'
    bool listStart;                      // the previous token is the '[' of type parameters or a ',' in them
    bool paramName;                      // the previous token is a name that starts a type parameter
    bool close;                          // the previous token is a closing bracket
    bool afterFor;                       // the previous token is `for`
    bool bodyNext;                       // a '{' after the previous token in a header opens its body
    bool chainAfterOperator;             // the current names joined by '.' follow an operator or a keyword
                                         // of a header (not ']', '*', `chan`, ')', ...)
    bool control;                        // the previous token is `if`, `for`, `switch` or `range`, or a '('
                                         // after one taken out
    bool listComma;                      // the '[' being looked at opens what is proven type parameters: with a
                                         // comma, or after `func Name`
    bool literalNext;                    // a '[' or `map` after the previous token starts an operand, where
                                         // no type can be followed by a body's '{'
    ElisionContext context[kElisionNesting];  // the literals open whose elements elision reads, innermost last
    int literals;                        // contexts held
    bool elementNext;                    // the previous token is the '{' or a ',' of the innermost of them
    bool valueNext;                      // the previous token is a ':' of it
};

const char *const kKeywords[] = {"break",  "case",   "chan",  "const", "continue", "default", "defer",
                                 "else",   "fallthrough", "for", "func", "go", "goto", "if", "import",
                                 "interface", "map", "package", "range", "return", "select", "struct",
                                 "switch", "type",   "var"};

bool isName(RewriteWindow &w, std::uint64_t i)
{
    const WindowToken &t = windowAt(w, i);
    if (t.kind != TokenKind::Code || t.length == 0)
        return false;
    const unsigned char c = static_cast<unsigned char>(tokenKey(w, i)[0]);
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80))
        return false;
    for (const char *k : kKeywords)
        if (tokenIs(w, i, k))
            return false;
    return true;
}

// Whether token i is the one-byte Code token c (tokenIs, without its strlen).
bool isByte(RewriteWindow &w, std::uint64_t i, char c)
{
    const WindowToken &t = windowAt(w, i);
    return t.kind == TokenKind::Code && t.whole && t.length == 1 && tokenKey(w, i)[0] == c;
}

bool isKeyword(RewriteWindow &w, std::uint64_t i)
{
    for (const char *k : kKeywords)
        if (tokenIs(w, i, k))
            return true;
    return false;
}

// What a decision found: done, or the tokens it needs are not all held yet.
enum class Outcome { Done, Wait };

// The group of groups at i (see the top).
Outcome nestedParens(RewriteWindow &w, std::uint64_t i)
{
    return takeNestedParens(w, i) ? Outcome::Done : Outcome::Wait;
}

// Whether token k may be a statement's rather than an expression's, or start
// a composite literal.
bool statementToken(RewriteWindow &w, std::uint64_t k)
{
    static const char *const kStatement[] = {";", "{", ":=", "=", "range", "++", "--", "<-", "+=", "-=", "*=",
                                             "/=", "%=", "&=", "|=", "^=", "<<=", ">>=", "&^="};
    for (const char *t : kStatement)
        if (tokenIs(w, k, t))
            return true;
    return windowAt(w, k).kind != TokenKind::Code;
}

// The '(' at i right after `if`, `for`, `switch` or `range`: taken out with
// its match when that is followed by the '{' of the body and they hold an
// expression with no '{' (see the top); else a group of groups.
Outcome controlParens(RewriteWindow &w, std::uint64_t i)
{
    const std::uint64_t close = matchingClose(w, i);
    const std::uint64_t after = close < windowEnd(w) ? nextKept(w, close) : windowEnd(w);
    if (after >= windowEnd(w))
        return Outcome::Wait;
    if (!tokenIs(w, after, "{") || close == i + 1)
        return nestedParens(w, i);
    for (std::uint64_t k = i + 1; k < close; ++k) {
        // The literal of a slice, array or map type, `[]int{1}`, needs no
        // parentheses: its type is no type name.
        if (tokenIs(w, k, "{") && k >= i + 3 && isName(w, k - 1) &&
            (tokenIs(w, k - 2, "]") || (k >= i + 5 && tokenIs(w, k - 2, ".") && isName(w, k - 3) &&
                                        tokenIs(w, k - 4, "]"))))
            continue;
        if (statementToken(w, k))
            return nestedParens(w, i);
    }
    dropToken(w, i, Rewrite::Parens, i + 1);
    dropToken(w, close, Rewrite::Parens, i + 1);
    return Outcome::Done;
}

// The ';' at i right after `for`: `for ; cond ; {` and `for ;; {` with
// their ';' taken out when the condition is an expression (see the top).
Outcome emptyForClause(RewriteWindow &w, std::uint64_t i)
{
    std::uint64_t k = i + 1;
    for (;; ++k) {
        if (k >= windowEnd(w))
            return Outcome::Wait;
        if (tokenIs(w, k, ";"))
            break;
        if (tokenIs(w, k, "(") || tokenIs(w, k, "[")) {
            k = matchingClose(w, k);
            if (k >= windowEnd(w))
                return Outcome::Wait;
            continue;
        }
        if (statementToken(w, k) || tokenIs(w, k, ")") || tokenIs(w, k, "]") || tokenIs(w, k, "}"))
            return Outcome::Done;
    }
    if (k + 1 >= windowEnd(w))
        return Outcome::Wait;
    if (tokenIs(w, k + 1, "{") && !windowAt(w, k).dropped) {
        dropToken(w, i, Rewrite::Semicolons, k + 1);
        dropToken(w, k, Rewrite::Semicolons, k + 1);
    }
    return Outcome::Done;
}

// True when the brackets open .. close hold a comma at their top level.
bool holdsComma(RewriteWindow &w, std::uint64_t open, std::uint64_t close)
{
    for (std::uint64_t k = open + 1; k < close; ++k) {
        if (tokenIs(w, k, "(") || tokenIs(w, k, "[") || tokenIs(w, k, "{"))
            k = matchingClose(w, k);
        else if (tokenIs(w, k, ","))
            return true;
    }
    return false;
}

// The '(' at i, after a type parameter's name in a list that holds a comma
// (see the top).
Outcome constraintParens(RewriteWindow &w, std::uint64_t i)
{
    const std::uint64_t close = matchingClose(w, i);
    if (close >= windowEnd(w) || close + 1 >= windowEnd(w))
        return Outcome::Wait;
    if ((tokenIs(w, close + 1, ",") || tokenIs(w, close + 1, "]")) && i + 1 < close) {
        dropToken(w, i, Rewrite::Parens, i + 1);
        dropToken(w, close, Rewrite::Parens, i + 1);
    }
    return Outcome::Done;
}

// Composite literals (elision, see the top).

constexpr std::uint64_t kNoType = ~std::uint64_t{0};  // typeEnd: the tokens are no type the rule reads

// The index after the type that starts at i, as a composite literal's type
// and its element types are written: a type name, qualified or not, with
// its type arguments, or `*`, `[...]`, `map[K]`, `chan`, `<-chan` or `chan<-`
// before a type, or a struct or interface type. windowEnd(w) when its tokens
// are not all held; kNoType for anything else (a func type, parentheses),
// whose end the rule does not try to find.
std::uint64_t typeEnd(RewriteWindow &w, std::uint64_t i, int depth)
{
    if (i >= windowEnd(w))
        return windowEnd(w);
    if (depth > kElisionNesting)
        return kNoType;
    std::uint64_t k = i + 1;
    if (tokenIs(w, i, "*") || tokenIs(w, i, "[") || tokenIs(w, i, "map")) {
        if (tokenIs(w, i, "map") && (k >= windowEnd(w) || !tokenIs(w, k, "[")))
            return k >= windowEnd(w) ? k : kNoType;
        if (!tokenIs(w, i, "*"))
            k = matchingClose(w, tokenIs(w, i, "map") ? k : i) + 1;
        return k > windowEnd(w) ? windowEnd(w) : typeEnd(w, k, depth + 1);
    }
    if (tokenIs(w, i, "chan") || tokenIs(w, i, "<-")) {
        if (k >= windowEnd(w))
            return windowEnd(w);
        if (tokenIs(w, i, "<-") != tokenIs(w, k, "chan"))
            return kNoType;
        return typeEnd(w, tokenIs(w, k, "chan") || tokenIs(w, k, "<-") ? k + 1 : k, depth + 1);
    }
    if (tokenIs(w, i, "struct") || tokenIs(w, i, "interface")) {
        if (k >= windowEnd(w))
            return windowEnd(w);
        return tokenIs(w, k, "{") ? std::min(matchingClose(w, k) + 1, windowEnd(w)) : kNoType;
    }
    if (!isName(w, i))
        return kNoType;
    if (k + 1 < windowEnd(w) && tokenIs(w, k, ".") && isName(w, k + 1))
        k += 2;
    if (k < windowEnd(w) && tokenIs(w, k, "["))
        k = std::min(matchingClose(w, k) + 1, windowEnd(w));
    return k;
}

// Copies the type written as tokens from .. to into t; false when it does
// not fit.
bool copyType(RewriteWindow &w, std::uint64_t from, std::uint64_t to, ElisionType &t)
{
    t.count = 0;
    std::uint16_t used = 0;
    for (std::uint64_t k = from; k < to; ++k) {
        const WindowToken &x = windowAt(w, k);
        if (t.count == kElisionTypeTokens || x.kind != TokenKind::Code || !x.whole || x.dropped ||
            x.length > static_cast<std::size_t>(kElisionTypeBytes - used))
            return false;
        std::memcpy(t.bytes + used, tokenKey(w, k), x.length);
        used = static_cast<std::uint16_t>(used + x.length);
        t.ends[t.count++] = used;
    }
    return t.count > 0;
}

// Token k of type t as its bytes and length.
const char *typeToken(const ElisionType &t, int k, std::size_t &n)
{
    const std::uint16_t from = k == 0 ? 0 : t.ends[k - 1];
    n = t.ends[k] - from;
    return t.bytes + from;
}

bool typeTokenIs(const ElisionType &t, int k, const char *s)
{
    std::size_t n = 0;
    const char *p = typeToken(t, k, n);
    return k < t.count && std::strlen(s) == n && std::memcmp(p, s, n) == 0;
}

// Types t[from, to) as a type of their own.
ElisionType subType(const ElisionType &t, int from, int to)
{
    ElisionType u{};
    const std::uint16_t base = from == 0 ? 0 : t.ends[from - 1];
    for (int k = from; k < to; ++k)
        u.ends[u.count++] = static_cast<std::uint16_t>(t.ends[k] - base);
    std::memcpy(u.bytes, t.bytes + base, to > from ? t.ends[to - 1] - base : 0);
    return u;
}

// The index in t of the bracket that closes the one at k, or t.count.
int typeClose(const ElisionType &t, int k)
{
    int depth = 0;
    for (; k < t.count; ++k) {
        depth += typeTokenIs(t, k, "[") || typeTokenIs(t, k, "(") || typeTokenIs(t, k, "{");
        depth -= typeTokenIs(t, k, "]") || typeTokenIs(t, k, ")") || typeTokenIs(t, k, "}");
        if (depth == 0)
            return k;
    }
    return t.count;
}

// Opens the context of a literal of type t whose '{' is at open, when t is
// an array, slice or map type with an element type (and a key type).
void pushLiteral(GoRulesState &st, std::uint64_t open, const ElisionType &t)
{
    if (st.literals == kElisionNesting || t.count == 0)
        return;
    ElisionContext c{};
    c.open = open;
    c.depth = kPending;
    if (typeTokenIs(t, 0, "[")) {
        const int close = typeClose(t, 0);
        c.value = subType(t, close + 1, t.count);
    } else if (typeTokenIs(t, 0, "map") && typeTokenIs(t, 1, "[")) {
        const int close = typeClose(t, 1);
        c.key = subType(t, 2, close);
        c.value = subType(t, close + 1, t.count);
        c.map = true;
        if (c.key.count == 0)
            return;
    }
    if (c.value.count == 0 || c.value.count > kElisionTypeTokens)
        return;
    st.context[st.literals++] = c;
}

// The element, key or value of the innermost literal at i (see the top):
// where it is a composite literal written with that type (`T{`, or `&T{`
// where the type is `*T`) that makes all of it (the token after its '}' is
// `:` for a key, else ',' or the literal's '}'), its type is taken out; a
// literal there, written so or with its type left out, opens a context of
// its own.
Outcome elideAt(RewriteWindow &w, GoRulesState &st, std::uint64_t i)
{
    const ElisionContext &c = st.context[st.literals - 1];
    const bool isKey = c.map && st.elementNext;
    const ElisionType &type = isKey ? c.key : c.value;
    const bool pointer = typeTokenIs(type, 0, "*");
    const int from = pointer ? 1 : 0;
    const std::uint64_t at = i + from, n = static_cast<std::uint64_t>(type.count - from);
    if (at + n >= windowEnd(w))
        return Outcome::Wait;
    bool written = !pointer || tokenIs(w, i, "&");
    for (std::uint64_t k = 0; written && k < n; ++k) {
        std::size_t length = 0;
        const char *p = typeToken(type, from + static_cast<int>(k), length);
        const WindowToken &x = windowAt(w, at + k);
        written = x.kind == TokenKind::Code && x.whole && !x.dropped && x.length == length &&
                  std::memcmp(tokenKey(w, at + k), p, length) == 0;
    }
    const std::uint64_t brace = written ? at + n : i;
    if (!tokenIs(w, brace, "{") || windowAt(w, brace).dropped)
        return Outcome::Done;
    const std::uint64_t end = matchingClose(w, brace);
    if (end >= windowEnd(w) || end + 1 >= windowEnd(w))
        return Outcome::Wait;
    if (!(isKey ? tokenIs(w, end + 1, ":") : (tokenIs(w, end + 1, ",") || tokenIs(w, end + 1, "}"))))
        return Outcome::Done;
    for (std::uint64_t k = i; k < brace; ++k)
        dropToken(w, k, Rewrite::Elision, brace);
    pushLiteral(st, brace, subType(type, from, type.count));
    return Outcome::Done;
}

// The '[' or `map` at i where an operand starts: when it starts a composite
// literal of an array, slice or map type, the context of its elements.
Outcome elision(RewriteWindow &w, GoRulesState &st, std::uint64_t i)
{
    const std::uint64_t end = typeEnd(w, i, 0);
    if (end == kNoType)
        return Outcome::Done;
    if (end >= windowEnd(w))
        return Outcome::Wait;
    ElisionType t{};
    if (tokenIs(w, end, "{") && copyType(w, i, end, t))
        pushLiteral(st, end, t);
    return Outcome::Done;
}

// The decisions taken at token i, before the state moves past it.
Outcome decide(RewriteWindow &w, GoRulesState &st, std::uint64_t i)
{
    if (st.depth > kGoNesting)
        return Outcome::Done;
    const GoRuleLevel &l = st.levels[st.depth];
    st.listComma = false;
    if ((w.allow & rewriteBit(Rewrite::Parens)) && tokenIs(w, i, "[") && st.declared) {
        const std::uint64_t close = matchingClose(w, i);
        if (close >= windowEnd(w))
            return Outcome::Wait;
        st.listComma = st.funcNamed || holdsComma(w, i, close);
    }
    if ((w.allow & rewriteBit(Rewrite::Parens)) && tokenIs(w, i, "(")) {
        if (st.paramName && st.depth > 0 && l.opens == Opens::TypeParams && l.comma)
            return constraintParens(w, i);
        if (st.control)
            return controlParens(w, i);
        if (!st.operand)
            return nestedParens(w, i);
    }
    if ((w.allow & rewriteBit(Rewrite::Elision)) && st.literals > 0 && (st.elementNext || st.valueNext) &&
        st.context[st.literals - 1].depth == st.depth) {
        const Outcome o = elideAt(w, st, i);
        if (o == Outcome::Wait || windowAt(w, i).dropped)
            return o;
    }
    if ((w.allow & rewriteBit(Rewrite::Elision)) && st.literalNext && (isByte(w, i, '[') || tokenIs(w, i, "map")))
        return elision(w, st, i);
    if ((w.allow & rewriteBit(Rewrite::Semicolons)) && tokenIs(w, i, ";") && st.afterFor)
        return emptyForClause(w, i);
    if ((w.allow & rewriteBit(Rewrite::Semicolons)) && tokenIs(w, i, ";") && st.semicolon && st.depth > 0 &&
        l.opens == Opens::Block && !l.header) {
        const std::uint64_t next = nextKept(w, i);
        if (next >= windowEnd(w))
            return Outcome::Wait;
        dropToken(w, i, Rewrite::Semicolons, next);
    }
    return Outcome::Done;
}

// Whether token i is one after which a '[' or `map` starts an operand:
// '=', ':=', '(', ',', '{', ':', '[', '&', `return` or `range` (looked at
// once a token, so by its length first).
bool beforeLiteral(RewriteWindow &w, std::uint64_t i)
{
    const WindowToken &t = windowAt(w, i);
    if (t.kind != TokenKind::Code || !t.whole)
        return false;
    const char *k = tokenKey(w, i);
    switch (t.length) {
    case 1:
        return k[0] != '\0' && std::strchr("=(,{:[&", k[0]) != nullptr;
    case 2:
        return k[0] == ':' && k[1] == '=';
    case 5:
        return std::memcmp(k, "range", 5) == 0;
    case 6:
        return std::memcmp(k, "return", 6) == 0;
    default:
        return false;
    }
}

// Moves the state past token i.
void advance(RewriteWindow &w, GoRulesState &st, std::uint64_t i)
{
    static const char *const kGroupKeywords[] = {"return", "case", "if", "for", "switch", "range", "go", "defer"};
    GoRuleLevel *l = st.depth <= kGoNesting ? &st.levels[st.depth] : nullptr;
    const bool open = tokenIs(w, i, "(") || tokenIs(w, i, "[") || tokenIs(w, i, "{");
    const bool close = tokenIs(w, i, ")") || tokenIs(w, i, "]") || tokenIs(w, i, "}");
    const bool name = isName(w, i);
    bool listStart = false, paramName = false;
    if (open && l && l->header && st.bodyNext && tokenIs(w, i, "{"))
        l->left = 0;  // the body: the header holds no more ';'
    if (open && st.literals > 0 && st.context[st.literals - 1].open == i)
        st.context[st.literals - 1].depth = st.depth + 1;
    if (close)
        while (st.literals > 0 && st.context[st.literals - 1].depth == st.depth)
            --st.literals;
    if (open) {
        Opens opens = tokenIs(w, i, "(")   ? (st.afterType ? Opens::TypeGroup : Opens::Paren)
                      : tokenIs(w, i, "[") ? (st.declared ? Opens::TypeParams : Opens::Square)
                      : st.fields          ? Opens::Fields
                                           : Opens::Block;
        listStart = opens == Opens::TypeParams;
        ++st.depth;
        if (st.depth <= kGoNesting)
            st.levels[st.depth] = GoRuleLevel{opens, false, 0, st.listComma};
    } else if (close) {
        if (st.depth > 0)
            --st.depth;
    } else if (l) {
        // A header's ';' are its own; it is over at a ';' after a '}' (its
        // body's) once it can hold no more: `for x := []int{1}; ; {` is
        // still in its header after the literal's '}'.
        if (tokenIs(w, i, "if") || tokenIs(w, i, "switch") || tokenIs(w, i, "for")) {
            l->header = true;
            l->left = tokenIs(w, i, "for") ? 2 : 1;
        } else if (tokenIs(w, i, ";") && l->header) {
            if (st.close && l->left == 0)
                l->header = false;
            else if (l->left > 0)
                --l->left;
        }
        listStart = tokenIs(w, i, ",") && l->opens == Opens::TypeParams;
        paramName = name && st.listStart;
    }
    bool operand = close || tokenIs(w, i, ".") || name;
    if (!operand && !open && !close && windowAt(w, i).length > 0) {
        const char c = tokenKey(w, i)[0];
        operand = (c >= '0' && c <= '9') || c == '"' || c == '`' || c == '\'';
        if (isKeyword(w, i)) {
            operand = true;
            for (const char *k : kGroupKeywords)
                if (tokenIs(w, i, k))
                    operand = false;
        }
    }
    st.operand = operand;
    st.semicolon = tokenIs(w, i, ";");
    st.fields = tokenIs(w, i, "struct") || tokenIs(w, i, "interface");
    st.declared = (st.declaring || st.entryStart) && name;
    st.declaring = tokenIs(w, i, "type") || tokenIs(w, i, "func");
    st.afterType = tokenIs(w, i, "type");
    st.funcNamed = st.afterFunc && name;
    st.afterFunc = tokenIs(w, i, "func");
    st.entryStart = st.depth > 0 && st.depth <= kGoNesting && st.levels[st.depth].opens == Opens::TypeGroup &&
                    ((open && tokenIs(w, i, "(")) || tokenIs(w, i, ";"));
    st.listStart = listStart;
    st.paramName = paramName;
    st.close = close;
    st.afterFor = tokenIs(w, i, "for");
    // A line end the lexer keeps (a blank line) stands between no tokens.
    if (windowAt(w, i).kind == TokenKind::Code) {
        const bool inLiteral = st.literals > 0 && st.context[st.literals - 1].depth == st.depth;
        st.elementNext = inLiteral && (isByte(w, i, '{') || isByte(w, i, ','));
        st.valueNext = inLiteral && isByte(w, i, ':');
    }
    st.literalNext = beforeLiteral(w, i);
    // In a header a '{' after a literal, or after a name (or names joined by
    // '.') that follows an operator, opens the body: a composite literal's
    // type there is no such name (`[]int{`, `map[K]V{`, `*T{` are not told
    // apart, so they never count).
    static const char *const kBeforeOperand[] = {
        "if", "for", "switch", "range", ";", ":=", "=", "==", "!=", "<", "<=", ">", ">=", "&&", "||", "!", "+",
        "-", "/", "%", "|", "^", "<<", ">>", "&^", "&", "<-", ","};
    const bool dot = tokenIs(w, i, ".");
    if (name) {
        st.bodyNext = st.chainAfterOperator;
    } else if (dot) {
        st.bodyNext = false;
    } else {
        const char c = windowAt(w, i).length > 0 ? tokenKey(w, i)[0] : ' ';
        st.bodyNext = !open && !close && ((c >= '0' && c <= '9') || c == '"' || c == '`' || c == '\'');
        st.chainAfterOperator = false;
        for (const char *k : kBeforeOperand)
            if (tokenIs(w, i, k))
                st.chainAfterOperator = true;
    }
    st.control = tokenIs(w, i, "if") || tokenIs(w, i, "for") || tokenIs(w, i, "switch") || tokenIs(w, i, "range") ||
                 (st.control && windowAt(w, i).dropped && tokenIs(w, i, "("));
}

// Build constraints (see the top): expressions whose literals are variables.

// One node of an expression: a literal, or two nodes joined.
struct BuildNode {
    char op;       // 'l' a literal, '&' and, '|' or
    int a = 0;     // the literal's index, or the first node joined
    int b = 0;     // the second node joined
};

// A literal: a tag, negated or not.
struct BuildAtom {
    const char *tag;
    std::size_t length;
    bool negated;
};

struct BuildFormulas {
    BuildNode nodes[kBuildNodes];
    int count = 0;
    BuildAtom atoms[kBuildAtoms];
    int atomCount = 0;
    bool bad = false;                // past a bound, or no expression as the go command reads it
};

int buildNode(BuildFormulas &f, char op, int a, int b)
{
    if (f.count == static_cast<int>(kBuildNodes)) {
        f.bad = true;
        return 0;
    }
    f.nodes[f.count] = BuildNode{op, a, b};
    return f.count++;
}

bool isTagByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.';
}

// The node of the literal of tag p[0..n), negated or not.
int buildLiteral(BuildFormulas &f, const char *p, std::size_t n, bool negated)
{
    f.bad = f.bad || n == 0;
    for (std::size_t k = 0; k < n; ++k)
        f.bad = f.bad || !isTagByte(p[k]);
    int atom = 0;
    while (atom < f.atomCount && !(f.atoms[atom].negated == negated && f.atoms[atom].length == n &&
                                   std::memcmp(f.atoms[atom].tag, p, n) == 0))
        ++atom;
    if (atom == f.atomCount) {
        if (f.atomCount == kBuildAtoms) {
            f.bad = true;
            return 0;
        }
        f.atoms[f.atomCount++] = BuildAtom{p, n, negated};
    }
    return buildNode(f, 'l', atom, 0);
}

// The byte k of literal a's spelling ('!' before a negated tag); -1 past its end.
int spelledAt(const BuildAtom &a, std::size_t k)
{
    if (a.negated && k == 0)
        return '!';
    k -= a.negated ? 1 : 0;
    return k < a.length ? static_cast<unsigned char>(a.tag[k]) : -1;
}

// True when literal a is spelled before literal b.
bool spelledBefore(const BuildAtom &a, const BuildAtom &b)
{
    for (std::size_t k = 0;; ++k) {
        const int x = spelledAt(a, k), y = spelledAt(b, k);
        if (x != y)
            return x < y;
        if (x < 0)
            return false;
    }
}

// A //go:build expression with its negations pushed to the literals (De
// Morgan): recursive descent over p[at..n) as go/build/constraint reads it.
struct ExpressionParser {
    BuildFormulas &f;
    const char *p;
    std::size_t n;
    std::size_t at = 0;
    int depth = 0;

    void blanks()
    {
        while (at < n && (p[at] == ' ' || p[at] == '\t'))
            ++at;
    }
    bool take(const char *op)
    {
        blanks();
        const std::size_t k = std::strlen(op);
        if (n - at < k || std::memcmp(p + at, op, k) != 0)
            return false;
        at += k;
        return true;
    }
    int orList(bool negated)
    {
        int x = andList(negated);
        while (!f.bad && take("||"))
            x = buildNode(f, negated ? '&' : '|', x, andList(negated));
        return x;
    }
    int andList(bool negated)
    {
        int x = notTerm(negated);
        while (!f.bad && take("&&"))
            x = buildNode(f, negated ? '|' : '&', x, notTerm(negated));
        return x;
    }
    int notTerm(bool negated)
    {
        if (!take("!"))
            return atom(negated);
        blanks();
        f.bad = f.bad || (at < n && p[at] == '!');  // double negation is no constraint
        return atom(!negated);
    }
    int atom(bool negated)
    {
        if (++depth > 32 || f.bad) {
            f.bad = true;
            return 0;
        }
        int x = 0;
        if (take("(")) {
            x = orList(negated);
            f.bad = f.bad || !take(")");
        } else {
            blanks();
            const std::size_t from = at;
            while (at < n && isTagByte(p[at]))
                ++at;
            x = buildLiteral(f, p + from, at - from, negated);
        }
        --depth;
        return x;
    }
};

// The truth of node x where the literals set in mask hold.
bool buildTruth(const BuildFormulas &f, int x, unsigned mask)
{
    const BuildNode &node = f.nodes[x];
    if (node.op == 'l')
        return (mask >> node.a) & 1u;
    return node.op == '&' ? buildTruth(f, node.a, mask) && buildTruth(f, node.b, mask)
                          : buildTruth(f, node.a, mask) || buildTruth(f, node.b, mask);
}

bool startsWith(RewriteWindow &w, std::uint64_t i, const char *head)
{
    const std::size_t k = std::strlen(head);
    const WindowToken &t = windowAt(w, i);
    return t.kind == TokenKind::Code && t.whole && t.length >= k && std::memcmp(tokenKey(w, i), head, k) == 0 &&
           (t.length == k || tokenKey(w, i)[k] == ' ');
}

// The least terms of the meaning of the +build lines whose node is x, as
// the key "//+build" and the terms, each its literals joined by ',', in
// order of spelling; false when they do not fit out (n bytes).
bool leastTerms(const BuildFormulas &f, int x, char *out, std::size_t n, std::size_t &length)
{
    int order[kBuildAtoms];
    for (int k = 0; k < f.atomCount; ++k) {
        int at = k;
        for (; at > 0 && spelledBefore(f.atoms[k], f.atoms[order[at - 1]]); --at)
            order[at] = order[at - 1];
        order[at] = k;
    }
    length = 0;
    auto put = [&](const char *p, std::size_t k) {
        if (length + k > n)
            return false;
        std::memcpy(out + length, p, k);
        length += k;
        return true;
    };
    if (!put("//+build", 8))
        return false;
    // Terms in order of their literals' places in the spelling order: the
    // masks over that order, counted up, list them so.
    const unsigned all = 1u << f.atomCount;
    for (unsigned sorted = 1; sorted < all; ++sorted) {
        unsigned mask = 0;
        for (int k = 0; k < f.atomCount; ++k)
            if ((sorted >> (f.atomCount - 1 - k)) & 1u)
                mask |= 1u << order[k];
        bool least = buildTruth(f, x, mask);
        for (int k = 0; least && k < f.atomCount; ++k)
            least = !((mask >> k) & 1u) || !buildTruth(f, x, mask & ~(1u << k));
        if (!least)
            continue;
        const char *gap = " ";
        for (int k = 0; k < f.atomCount; ++k) {
            if (!((mask >> order[k]) & 1u))
                continue;
            const BuildAtom &a = f.atoms[order[k]];
            if (!put(gap, 1) || (a.negated && !put("!", 1)) || !put(a.tag, a.length))
                return false;
            gap = ",";
        }
    }
    return true;
}

// The build constraints at the stream's start (see the top).
void buildLines(RewriteWindow &w)
{
    std::uint64_t end = w.first, lastBlank = windowEnd(w), goBuild = windowEnd(w), firstPlus = windowEnd(w);
    int goBuilds = 0;
    for (; end < windowEnd(w); ++end) {
        if (windowAt(w, end).kind == TokenKind::LineEnd) {
            lastBlank = end;
        } else if (startsWith(w, end, "//go:build")) {
            goBuild = end;
            ++goBuilds;
        } else if (startsWith(w, end, "//+build")) {
            firstPlus = firstPlus < end ? firstPlus : end;
        } else {
            break;
        }
    }
    if (!tokenIs(w, end, "package") || lastBlank == windowEnd(w) || firstPlus > lastBlank || goBuilds > 1)
        return;
    BuildFormulas f;
    int lines = -1;
    for (std::uint64_t i = w.first; i < end && !f.bad; ++i) {
        if (!startsWith(w, i, "//+build"))
            continue;
        f.bad = i > lastBlank;  // a +build line no blank line follows
        const char *p = tokenKey(w, i) + 8;
        const std::size_t n = windowAt(w, i).length - 8;
        int options = -1;
        for (std::size_t at = 0; at < n && !f.bad;) {
            const std::size_t from = ++at;  // past the blank
            while (at < n && p[at] != ' ')
                ++at;
            int terms = -1;
            for (std::size_t k = from; k <= at && !f.bad;) {
                std::size_t e = k;
                while (e < at && p[e] != ',')
                    ++e;
                const bool negated = e > k && p[k] == '!';
                const int literal = buildLiteral(f, p + k + negated, e - k - negated, negated);
                terms = terms < 0 ? literal : buildNode(f, '&', terms, literal);
                k = e + 1;
            }
            options = options < 0 ? terms : buildNode(f, '|', options, terms);
        }
        f.bad = f.bad || options < 0;
        lines = lines < 0 ? options : buildNode(f, '&', lines, options);
    }
    int expression = -1;
    if (goBuild < end && !f.bad) {
        ExpressionParser parser{f, tokenKey(w, goBuild) + 10, windowAt(w, goBuild).length - 10};
        expression = parser.orList(false);
        parser.blanks();
        f.bad = f.bad || parser.at != parser.n;
    }
    if (f.bad || lines < 0)
        return;
    for (unsigned mask = 0; expression >= 0 && mask < (1u << f.atomCount); ++mask)
        if (buildTruth(f, expression, mask) != buildTruth(f, lines, mask))
            return;
    char key[kRewriteLongToken];
    std::size_t length = 0;
    if (!leastTerms(f, lines, key, sizeof key, length) || !replaceKey(w, firstPlus, Rewrite::BuildLines, key, length))
        return;
    for (std::uint64_t i = w.first; i < end; ++i)
        if (i != firstPlus && i != lastBlank)
            dropToken(w, i, Rewrite::BuildLines, firstPlus);
}

std::uint64_t goScan(RewriteWindow &w, void *state)
{
    GoRulesState &st = *static_cast<GoRulesState *>(state);
    if (!st.started) {
        st.started = true;
        if (w.allow & rewriteBit(Rewrite::BuildLines))
            buildLines(w);
    }
    return decideEach(
        w, st.next, true, [&](std::uint64_t i) { return decide(w, st, i) == Outcome::Wait; },
        [&](std::uint64_t i) { advance(w, st, i); });
}

// The directives and the cgo preamble the lexer makes of comments (keys that
// start with "//" or "/*"), but the build constraints, which the scan reads.
bool goAside(const char *key, std::size_t n)
{
    if (n < 2 || key[0] != '/' || (key[1] != '/' && key[1] != '*'))
        return false;
    return !((n >= 10 && std::memcmp(key, "//go:build", 10) == 0) || (n >= 8 && std::memcmp(key, "//+build", 8) == 0));
}

} // namespace

extern const RewriteRules kGoRules = rulesRecord<GoRulesState>(
    Language::Go, {Rewrite::Parens, Rewrite::Semicolons, Rewrite::BuildLines, Rewrite::Elision}, goScan, goAside);
