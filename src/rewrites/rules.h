// What the rules of several languages share: the scans over the window that
// more than one language needs.
#ifndef MATCHLING_REWRITE_RULES_H
#define MATCHLING_REWRITE_RULES_H

#include "rewrites/rewrites.h"

// The index of the bracket that closes the one at open ("(", "[" or "{"),
// counting all three kinds, or windowEnd(w) when it is not held (or the
// brackets do not nest properly before it).
std::uint64_t matchingClose(RewriteWindow &w, std::uint64_t open);

#endif
