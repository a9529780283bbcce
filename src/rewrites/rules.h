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

// The scan a language's rules make over the window: at each Code token
// from next on that no rule has dropped, waits(i) is true when its decision
// needs tokens the window does not hold yet, and advance(i) then notes the
// token; next moves past each. Returns the index of the token a decision
// waits at, or windowEnd(w) when all are taken. A decision waits unless no
// token will come (the window holds End) or the window already starts at it
// and is full: then it is given up and the scan goes on.
template <typename Waits, typename Advance>
std::uint64_t scanDecisions(RewriteWindow &w, std::uint64_t &next, Waits waits, Advance advance)
{
    if (next < w.first)
        next = w.first;
    const bool endHeld = w.count > 0 && windowAt(w, windowEnd(w) - 1).kind == TokenKind::End;
    while (next < windowEnd(w)) {
        const std::uint64_t i = next;
        if (!windowAt(w, i).dropped && windowAt(w, i).kind == TokenKind::Code && waits(i) &&
            (!w.complete || (i > w.first && !endHeld)))
            return i;
        advance(i);
        next = i + 1;
    }
    return windowEnd(w);
}

#endif
