// What the rules of each language share: their tables, and the scans over the
// window that more than one language needs.
#ifndef MATCHLING_REWRITE_RULES_H
#define MATCHLING_REWRITE_RULES_H

#include "rewrites/rewrites.h"

// Each language's rules, one file each (<lang>_rules.cpp).
extern const RewriteRules kCFamilyRules;
extern const RewriteRules kPythonRules;
extern const RewriteRules kScriptRules;   // JavaScript, TypeScript and TSX
extern const RewriteRules kJavaRules;
extern const RewriteRules kRustRules;

// The index of the bracket that closes the one at open ("(", "[" or "{"),
// counting all three kinds, or windowEnd(w) when it is not held (or the
// brackets do not nest properly before it).
std::uint64_t matchingClose(RewriteWindow &w, std::uint64_t open);

#endif
