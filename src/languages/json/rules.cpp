// The rules of the JSON a reader takes with trailing commas: TypeScript's
// tsconfig.json and jsconfig.json, which it reads as JSON with comments and
// with a comma after the last element of an array or the last member of an
// object (its own parser, which prettier's output for them meets either way).
//
// - commas: a ',' right after a value (a string, a number, `true`, `false`,
//   `null`, or a closing bracket) and right before ']' or '}' is taken out:
//   `[1,]` against `[1]`. An empty element (`[1,,]`, `[,]`) or a comma after
//   a key (`{"a":,}`) stays, as the reader refuses it.
//
// Other JSON files keep every comma: a strict reader refuses `[1,]`, and
// readers of `.jsonc` do not agree on it (some take it only with an option).
#include <cstring>

#include "rewrites/rules.h"

namespace {

struct JsonRulesState {
    std::uint64_t next;  // absolute index of the next token to look at
    bool value;          // the previous token ends a value
};

// Whether token i ends a value: a string, a number, a literal, ']' or '}'.
bool endsValue(RewriteWindow &w, std::uint64_t i)
{
    const WindowToken &t = windowAt(w, i);
    if (t.kind != TokenKind::Code || t.length == 0)
        return false;
    const char c = tokenKey(w, i)[0];
    return c == '"' || c == '-' || (c >= '0' && c <= '9') || tokenIs(w, i, "true") || tokenIs(w, i, "false") ||
           tokenIs(w, i, "null") || tokenIs(w, i, "]") || tokenIs(w, i, "}");
}

std::uint64_t jsonScan(RewriteWindow &w, void *state)
{
    JsonRulesState &st = *static_cast<JsonRulesState *>(state);
    return decideEach(
        w, st.next, false,
        [&](std::uint64_t i) {
            if (!st.value || !tokenIs(w, i, ","))
                return false;
            const std::uint64_t after = nextKept(w, i);
            if (after >= windowEnd(w))
                return true;
            if (tokenIs(w, after, "]") || tokenIs(w, after, "}"))
                dropToken(w, i, Rewrite::Commas, after);
            return false;
        },
        [&](std::uint64_t i) { st.value = endsValue(w, i); });
}

} // namespace

extern const RewriteRules kTsConfigRules =
    rulesRecord<JsonRulesState>(Language::TsConfig, {Rewrite::Commas}, jsonScan, nullptr);
