// What the rules of several languages share: the scans over the window that
// more than one language needs.
#ifndef MATCHLING_REWRITE_RULES_H
#define MATCHLING_REWRITE_RULES_H

#include "rewrites/rewrites.h"

// The index of the bracket that closes the one at open ("(", "[" or "{"),
// counting all three kinds, or windowEnd(w) when it is not held (or the
// brackets do not nest properly before it).
std::uint64_t matchingClose(RewriteWindow &w, std::uint64_t open);

// At the '(' at i: when it holds nothing but another pair of parentheses,
// `((a))`, takes the outer pair out as a Parens rewrite. Returns false,
// deciding nothing, when the tokens it needs are not all held yet.
bool takeNestedParens(RewriteWindow &w, std::uint64_t i);

// Trims a number's significant digits digits[0..n) times 10^power: returns
// the first digit that is not a leading zero, and takes the trailing zeros
// off n, each adding one to power. The value is zero when the two meet.
template <typename Int>
std::size_t trimZeros(const char *digits, std::size_t &n, Int &power)
{
    std::size_t first = 0;
    while (first < n && digits[first] == '0')
        ++first;
    while (n > first && digits[n - 1] == '0') {
        --n;
        ++power;
    }
    return first;
}

// The scan of rules that decide at each token and then note it, from
// next on (where the last call stopped, or the window's first token): at each
// token not dropped (and of kind Code, with codeOnly), waits(i) decides and
// tells whether it lacks tokens; such a decision waits for them (the scan
// stops there) unless none will come (the window holds End) or the window
// already starts at it and is full: then it is given up. advance(i) notes the
// token. Returns where the rewriter may hand out tokens up to.
template <typename Waits, typename Advance>
std::uint64_t decideEach(RewriteWindow &w, std::uint64_t &next, bool codeOnly, Waits waits, Advance advance)
{
    if (next < w.first)
        next = w.first;
    const bool endHeld = w.count > 0 && windowAt(w, windowEnd(w) - 1).kind == TokenKind::End;
    while (next < windowEnd(w)) {
        const std::uint64_t i = next;
        if (!windowAt(w, i).dropped && (!codeOnly || windowAt(w, i).kind == TokenKind::Code) && waits(i) &&
            (!w.complete || (i > w.first && !endHeld)))
            return i;
        advance(i);
        next = i + 1;
    }
    return windowEnd(w);
}

#endif
