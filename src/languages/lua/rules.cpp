// Lua's rules for --allow:
//
// - quotes: a short string compares as the double-quoted string of the same
//   value spelled most like it: a \' escape is the quote itself, and a '"'
//   inside '...' is \" ('it\'s', "it's" and "it\'s" are one key, and so are
//   'a "b"' and "a \"b\""). Every other escape and byte stays as written, so
//   the key is a Lua string whose value is the string's own. Long strings
//   stay as written.
#include "rewrites/rules.h"

namespace {

struct State {
    std::uint64_t cursor;
    bool started;
    char canon[2 * kRewriteLongToken + 8];  // a '"' inside '...' takes two bytes
};

// Writes the double-quoted key of the short string k (n bytes, its quotes
// included) into out, the same bytes where k is double-quoted with no \'
// (a replaced key is a value token, so every string is replaced); returns
// its length, or 0 when k is no terminated short string.
std::size_t canonical(const char *k, std::size_t n, char *out)
{
    if (n < 2 || (k[0] != '\'' && k[0] != '"') || k[n - 1] != k[0])
        return 0;
    std::size_t o = 0;
    out[o++] = '"';
    for (std::size_t i = 1; i + 1 < n;) {
        const char c = k[i];
        if (c == '\\') {
            if (i + 2 >= n)
                return 0;  // an escape of the closing quote: no string's end
            if (k[i + 1] != '\'')
                out[o++] = c;
            out[o++] = k[i + 1];
            i += 2;
        } else {
            if (c == '"')
                out[o++] = '\\';
            out[o++] = c;
            ++i;
        }
    }
    out[o++] = '"';
    return o;
}

std::uint64_t luaScan(RewriteWindow &w, void *raw)
{
    State &s = *static_cast<State *>(raw);
    if (!s.started || s.cursor < w.first) {
        s.started = true;
        s.cursor = w.first;
    }
    const std::uint64_t end = windowEnd(w);
    const bool allowed = (w.allow & rewriteBit(Rewrite::Quotes)) != 0;
    for (; s.cursor < end; ++s.cursor) {
        const std::uint64_t i = s.cursor;
        WindowToken &t = windowAt(w, i);
        if (t.kind == TokenKind::End)
            break;
        if (!allowed || t.kind != TokenKind::Code || !t.whole || t.length < 2 || t.length > kRewriteLongToken)
            continue;
        const std::size_t n = canonical(tokenKey(w, i), t.length, s.canon);
        if (n > 0)
            replaceKey(w, i, Rewrite::Quotes, s.canon, n);
    }
    return s.cursor < end ? s.cursor + 1 : end;
}

} // namespace

extern const RewriteRules kLuaRules = rulesRecord<State>(Language::Lua, {Rewrite::Quotes}, luaScan, nullptr);
