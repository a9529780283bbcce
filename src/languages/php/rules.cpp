// PHP's rules for --allow:
//
// - quotes: a single-quoted string by its value ('\\' and '\'' stand for
//   one byte, any other backslash for itself), and a double-quoted one that
//   holds no '$' (so nothing is interpolated) by its value too, its escapes
//   \\ \" \n \t \r \v \e \f decoded and any other backslash standing for
//   itself ("\g", "\u" without '{', "\x" without a hex digit); a
//   double-quoted string with an octal, \x, \u{} or \$ escape stays as
//   written. So 'a' equals "a" and 'a\\b' equals "a\\b", but '$x' never
//   equals "$x".
// - numbers: a number that PHP's grammar reads (decimal, 0x, 0o, 0b,
//   octal with a leading 0, floats), by a spelling of the same value: its
//   letters in lower case (0X1F and 0x1f), a float's '+' after its exponent
//   letter left out, a leading '.' read as "0." and the zeros that end a
//   float's fraction left out (1.50 and 1.5; 1.0 and 1. stay floats). The
//   digit separators stay as written.
//
// - commas: a trailing comma after the last element before a closing
//   bracket where PHP's grammar takes one and drops it: an array literal
//   ([1, 2,], a '[' after no value), the parentheses of a call or a
//   declaration (after a name or a variable that is no keyword of a
//   statement or construct: not if, for, echo, exit, empty, match...), match
//   arms ("match (...) {") and a group use ("A\{"). Elsewhere (for (...),
//   an index, a grouping, a property list) PHP refuses the comma, so it
//   stays. Past a token too long to hold, commas stay.
// - semicolons: a ';' just before "?>", which PHP reads as a ';' of its
//   own: the statement before ends either way. Not where the next tag goes
//   on with else, elseif, catch, finally or a do's while, which the empty
//   statement would cut off (inline HTML between parts them either way).
//
// Inline HTML is never rewritten: the rules follow the tags ("<?php",
// "<?=", "?>") to know where code stands, and stop at a __halt_compiler()
// statement, whose data follows.
#include <cstring>

#include "rewrites/rules.h"

namespace {

enum class Halt : unsigned char { None, Name, Open, Close };

struct State {
    std::uint64_t cursor;
    bool started;
    bool code;  // the tags so far leave the stream in code
    bool lost;  // after a __halt_compiler() statement: nothing more is rewritten
    bool afterElement;  // the last code token is no ',' and no opening bracket
    bool blind;         // a token went out unseen: the brackets are not known, commas stay
    bool matchClosed;   // the last code token closed a match's subject
    Halt halt;
    unsigned depth;     // brackets open
    bool takesComma[64];  // of the first 64 open, whether each takes a trailing comma
    bool matchOpen[64];   // and whether each is a match's subject
    char last[32];      // the last code token's first bytes, when it was whole; else empty
    unsigned char lastLength;  // those bytes (31 at most: no word the rules look for is as long)
    char lastEnd;       // its last byte
    char canon[kRewriteLongToken + 8];
};

bool sameWord(const char *p, std::size_t n, const char *word)
{
    if (n != std::strlen(word))
        return false;
    for (std::size_t k = 0; k < n; ++k) {
        const char c = p[k] >= 'A' && p[k] <= 'Z' ? static_cast<char>(p[k] + 32) : p[k];
        if (c != word[k])
            return false;
    }
    return true;
}

inline bool isDigitIn(char c, int base)
{
    if (base == 16)
        return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
    return c >= '0' && c < static_cast<char>('0' + base);
}

// The value of the string k (n bytes, its quotes included) as '...' in out;
// its length, or 0 when it is no string whose value is plain to read.
std::size_t quotedValue(const char *k, std::size_t n, char *out)
{
    if (n < 2 || k[n - 1] != k[0])
        return 0;
    const char q = k[0];
    std::size_t o = 0;
    out[o++] = '\'';
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const char c = k[i];
        if (q == '"' && c == '$')
            return 0;
        if (c != '\\' || i + 2 >= n) {
            if (c == '\\' && q == '"')
                return 0;  // a backslash before the closing quote: no string of this reading
            out[o++] = c;
            continue;
        }
        const char e = k[i + 1];
        const char *simple = q == '\'' ? "\\'" : "\\\"nrtvef";
        const char *to = q == '\'' ? "\\'" : "\\\"\n\r\t\v\x1b\f";
        if (const char *hit = e ? std::strchr(simple, e) : nullptr) {
            out[o++] = to[hit - simple];
            ++i;
        } else if (q == '"' && ((e >= '0' && e <= '7') || (e == 'x' && isDigitIn(i + 2 < n ? k[i + 2] : 0, 16)) ||
                                (e == 'u' && k[i + 2] == '{') || e == '$')) {
            return 0;  // an escape this reading does not decode
        } else {
            out[o++] = c;  // a backslash that stands for itself
        }
    }
    out[o++] = '\'';
    return o;
}


// Digits of base with single '_' between them from i; returns where they
// end, i itself when none stands there.
std::size_t digitsEnd(const char *k, std::size_t n, std::size_t i, int base)
{
    if (i >= n || !isDigitIn(k[i], base))
        return i;
    while (i < n && (isDigitIn(k[i], base) || (k[i] == '_' && i + 1 < n && isDigitIn(k[i + 1], base))))
        ++i;
    return i;
}

// The spelling of number k (n bytes) in out; its length, or 0 when it is no
// number PHP reads.
std::size_t numberValue(const char *k, std::size_t n, char *out)
{
    for (std::size_t i = 0; i < n; ++i)
        out[i] = k[i] >= 'A' && k[i] <= 'Z' ? static_cast<char>(k[i] + 32) : k[i];
    const char *s = out;
    if (n > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'b' || s[1] == 'o'))
        return digitsEnd(s, n, 2, s[1] == 'x' ? 16 : s[1] == 'b' ? 2 : 8) == n ? n : 0;
    std::size_t i = digitsEnd(s, n, 0, 10);
    const std::size_t whole = i;
    std::size_t fractionEnd = i;
    bool isFloat = false;
    if (i < n && s[i] == '.') {
        fractionEnd = digitsEnd(s, n, i + 1, 10);
        if (whole == 0 && fractionEnd == i + 1)
            return 0;
        isFloat = true;
        i = fractionEnd;
    }
    std::size_t exponent = i;
    if (i < n && s[i] == 'e') {
        std::size_t j = i + 1 + (i + 1 < n && (s[i + 1] == '+' || s[i + 1] == '-'));
        const std::size_t e = digitsEnd(s, n, j, 10);
        if (e == j || whole + (isFloat ? 1 : 0) == 0)
            return 0;
        isFloat = true;
        i = e;
    }
    if (i != n || (whole == 0 && !isFloat))
        return 0;
    if (!isFloat)
        return n;
    // A float: "0" before a leading '.', the fraction's last zeros and an
    // exponent's '+' left out.
    char spelled[kRewriteLongToken + 8];
    std::size_t o = 0;
    if (whole == 0)
        spelled[o++] = '0';
    std::memcpy(spelled + o, s, whole);
    o += whole;
    if (fractionEnd > whole) {
        std::size_t last = fractionEnd;
        while (last > whole + 1 && (s[last - 1] == '0' || s[last - 1] == '_'))
            --last;
        std::memcpy(spelled + o, s + whole, last - whole);
        o += last - whole;
    }
    for (std::size_t k2 = exponent; k2 < n; ++k2)
        if (!(s[k2] == '+' && k2 == exponent + 1))
            spelled[o++] = s[k2];
    std::memcpy(out, spelled, o);
    return o;
}

// Follows the tags and a __halt_compiler() statement at code token k.
void follow(State &s, const char *k, std::size_t n)
{
    if (!s.code) {
        s.code = sameWord(k, n, "<?php") || (n == 3 && std::memcmp(k, "<?=", 3) == 0);
        return;
    }
    const bool close = n >= 2 && k[0] == '?' && k[1] == '>';
    const char c = n == 1 ? k[0] : 0;
    switch (s.halt) {
    case Halt::Name: s.halt = c == '(' ? Halt::Open : Halt::None; break;
    case Halt::Open: s.halt = c == ')' ? Halt::Close : Halt::None; break;
    case Halt::Close: s.lost = c == ';' || close; s.halt = Halt::None; break;
    case Halt::None: s.halt = sameWord(k, n, "__halt_compiler") ? Halt::Name : Halt::None; break;
    }
    if (close)
        s.code = false;
}

// The words before a '(' that make it no call's or declaration's: PHP's
// statements and constructs, whose parentheses take no trailing comma.
const char *const kNoCallWords[] = {
    "if", "elseif", "else", "for", "foreach", "while", "do", "switch", "match", "echo", "print", "exit", "die",
    "empty", "eval", "include", "include_once", "require", "require_once", "declare", "catch", "return",
    "yield", "throw", "case", "and", "or", "xor", "instanceof", "clone", "new", "as", "global", "goto",
};

bool noCallWord(const char *k, std::size_t n)
{
    for (const char *word : kNoCallWords)
        if (sameWord(k, n, word))
            return true;
    return false;
}

// Whether the bracket open, after the code token whose first n bytes are
// last (none when unknown) and whose last byte is lastEnd, takes a trailing
// comma.
bool opensList(char open, const char *last, std::size_t n, char lastEnd, bool matchClosed)
{
    if (n == 0)
        return false;
    const unsigned char c = static_cast<unsigned char>(last[0]);
    const bool word = c == '_' || c == '\\' || c >= 0x80 || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
    const bool variable = c == '$' && n > 1;
    switch (open) {
    case '(': return (word && !noCallWord(last, n)) || variable;
    case '[': {
        // An array literal: after no value (an operator, an opening bracket, a keyword).
        const bool value = variable || (word && !noCallWord(last, n)) || c == ')' || c == ']' || c == '}' ||
                           c == '\'' || c == '"' || c == '`' || (c >= '0' && c <= '9');
        return !value;
    }
    case '{': return matchClosed || (word && lastEnd == '\\');
    default: return false;
    }
}

// Follows the brackets at code token k (n bytes, whole when it was held
// whole).
void followBrackets(State &s, const char *k, std::size_t n, bool whole)
{
    const char c = n == 1 && whole ? k[0] : 0;
    if (c == '(' || c == '[' || c == '{') {
        if (s.depth < 64) {
            s.takesComma[s.depth] = opensList(c, s.last, s.lastLength, s.lastEnd, s.matchClosed);
            // A match's subject, whose ')' opens the arms.
            s.matchOpen[s.depth] = c == '(' && sameWord(s.last, s.lastLength, "match");
        }
        ++s.depth;
    }
    s.matchClosed = false;
    if ((c == ')' || c == ']' || c == '}') && s.depth > 0) {
        --s.depth;
        s.matchClosed = c == ')' && s.depth < 64 && s.matchOpen[s.depth];
    }
    s.lastLength = 0;
    if (whole && n > 0) {
        s.lastLength = static_cast<unsigned char>(n < sizeof s.last ? n : sizeof s.last - 1);
        std::memcpy(s.last, k, s.lastLength);
        s.lastEnd = k[n - 1];
    }
}

// Whether token i, a ',' or ';', goes: a ',' after an element before a
// closing bracket (a trailing comma, which PHP reads as nothing), a ';'
// before a "?>" (which PHP reads as a ';' itself: an empty statement).
bool dropsBefore(RewriteWindow &w, const State &s, std::uint64_t i, char c)
{
    const std::uint64_t j = i + 1;
    if (windowAt(w, j).kind != TokenKind::Code || !windowAt(w, j).whole || windowAt(w, j).length == 0)
        return false;
    const char *next = tokenKey(w, j);
    if (c == ';') {
        if (!(w.allow & rewriteBit(Rewrite::Semicolons)) || windowAt(w, j).length < 2 || next[0] != '?' ||
            next[1] != '>' || j + 1 >= windowEnd(w))
            return false;
        // What follows the "?>": the end, inline HTML, or an open tag and
        // then no word that goes on the statement before.
        const WindowToken &after = windowAt(w, j + 1);
        if (after.kind == TokenKind::End)
            return true;
        if (after.kind != TokenKind::Code || !(after.length >= 2 && tokenKey(w, j + 1)[0] == '<' &&
                                                tokenKey(w, j + 1)[1] == '?'))
            return after.kind == TokenKind::Code;
        if (j + 2 >= windowEnd(w) || windowAt(w, j + 2).kind != TokenKind::Code)
            return false;
        const char *word = tokenKey(w, j + 2);
        const std::size_t n = windowAt(w, j + 2).length;
        return !(sameWord(word, n, "else") || sameWord(word, n, "elseif") || sameWord(word, n, "catch") ||
                 sameWord(word, n, "finally") || sameWord(word, n, "while"));
    }
    return (w.allow & rewriteBit(Rewrite::Commas)) && s.afterElement && !s.blind && s.depth > 0 &&
           s.depth <= 64 && s.takesComma[s.depth - 1] && windowAt(w, j).length == 1 &&
           (next[0] == ')' || next[0] == ']' || next[0] == '}');
}

std::uint64_t phpScan(RewriteWindow &w, void *raw)
{
    State &s = *static_cast<State *>(raw);
    if (!s.started) {
        s.started = true;
        s.cursor = w.first;
    }
    if (s.cursor < w.first) {
        s.cursor = w.first;  // a token too long to hold went out unseen: no tag, no statement's word
        s.afterElement = false;
        s.blind = true;
    }
    const std::uint64_t end = windowEnd(w);
    for (; s.cursor < end; ++s.cursor) {
        const std::uint64_t i = s.cursor;
        WindowToken &t = windowAt(w, i);
        if (t.kind == TokenKind::End)
            break;
        if (t.kind != TokenKind::Code || s.lost)
            continue;
        const char *k = tokenKey(w, i);
        const bool code = s.code, single = t.whole && t.length == 1;
        if (code && single && (k[0] == ',' || k[0] == ';')) {
            if (i + 1 >= end && !(w.complete && i == w.first))
                return i;  // the next token decides
            if (i + 1 < end && dropsBefore(w, s, i, k[0])) {
                dropToken(w, i, k[0] == ',' ? Rewrite::Commas : Rewrite::Semicolons, i + 1);
                continue;
            }
        }
        follow(s, k, t.length);
        if (code)
            followBrackets(s, k, t.length, t.whole);
        s.afterElement = !(single && std::strchr(",([{", k[0]));
        if (!code || !t.whole || t.length == 0 || t.length > kRewriteLongToken)
            continue;
        std::size_t skip = (k[0] | 0x20) == 'b' && t.length > 1 && (k[1] == '\'' || k[1] == '"') ? 1 : 0;
        if ((k[skip] == '\'' || k[skip] == '"') && (w.allow & rewriteBit(Rewrite::Quotes))) {
            s.canon[0] = k[0];
            if (const std::size_t n = quotedValue(k + skip, t.length - skip, s.canon + skip))
                replaceKey(w, i, Rewrite::Quotes, s.canon, n + skip);
        } else if (((k[0] >= '0' && k[0] <= '9') || k[0] == '.') && (w.allow & rewriteBit(Rewrite::Numbers))) {
            if (const std::size_t n = numberValue(k, t.length, s.canon))
                replaceKey(w, i, Rewrite::Numbers, s.canon, n);
        }
    }
    return s.cursor < end ? s.cursor + 1 : end;
}

} // namespace

extern const RewriteRules kPhpRules = rulesRecord<State>(Language::Php, {Rewrite::Commas, Rewrite::Quotes, Rewrite::Numbers, Rewrite::Semicolons}, phpScan,
                                                         nullptr);
