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

#endif
