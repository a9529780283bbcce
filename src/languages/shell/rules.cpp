// The shell's rules for --allow:
//
// - quotes: a quoted part of a word whose text holds none of $ ` \ ! ' "
//   means the same in single and in double quotes (no expansion, no escape,
//   no history expansion can tell them apart), so such a part compares as
//   '...' whichever quotes it was written with. A word with such a part is
//   written canonically (a Value token); any other part stays as written.
//   Before that, outside single quotes and escapes, `${name}` reads as
//   `$name` where no name character follows (nothing else can join the
//   name), and `${name:-}` as `${name-}`: both are the value, or nothing
//   where the variable is unset or empty, and neither fails under `set -u`.
//   A name is a shell name or digits (`${10}` stays: `$10` is `$1` and 0).
//   Any other `${`, a backquote, `$(`, `$'` or `$"` ends this reading of the
//   word, and a here-document's delimiter is read as written.
//
// What is not proven is left as written: a token read from its start as a
// word's text only (its first bytes may stand inside "..." or ${...} when a
// ')' or '))' comes before it, so it stays), never a here-document body (its
// key starts with a line end), and nothing after unreadable input. A part
// after a $, a backquote, a backslash or a double-quoted part that holds any
// of them ends the reading of the token: the rest stays as written.
#include <cstring>

#include "rewrites/rules.h"

namespace {

struct State {
    std::uint64_t cursor;
    bool started;
    bool lost;        // unreadable input came: nothing after it is rewritten
    bool afterClose;  // the last token is ')' or '))'
    bool afterHere;   // the last token is `<<` or `<<-`: the next is a here-document's delimiter, read as written
    char canon[kRewriteLongToken + 8];
    char unbraced[kRewriteLongToken + 8];
};

bool nameByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// At k[i] == '$' and k[i + 1] == '{': the length of the name that follows
// (a shell name or digits), when `}`, `:-}` or `-}` follows it; 0 otherwise.
std::size_t bracedName(const char *k, std::size_t n, std::size_t i)
{
    std::size_t e = i + 2;
    const bool digits = e < n && k[e] >= '0' && k[e] <= '9';
    while (e < n && nameByte(k[e]) && (!digits || (k[e] >= '0' && k[e] <= '9')))
        ++e;
    if (e == i + 2 || e >= n)
        return 0;
    return k[e] == '}' || (e + 1 < n && k[e] == '-' && k[e + 1] == '}') ||
                   (e + 2 < n && k[e] == ':' && k[e + 1] == '-' && k[e + 2] == '}')
               ? e - (i + 2)
               : 0;
}

// Writes key k (n bytes) to out with `${name}` as `$name` and `${name:-}` as
// `${name-}` (see the top); returns its length, or 0 when it read no
// expansion of a name (a word that holds one is written canonically, so
// that `$a` meets `${a}` as a Value too).
std::size_t unbrace(const char *k, std::size_t n, char *out)
{
    std::size_t o = 0, i = 0;
    bool any = false, single = false, dquote = false;
    while (i < n) {
        const char c = k[i];
        if (single) {
            single = c != '\'';
            out[o++] = k[i++];
            continue;
        }
        if (c == '`' || (c == '$' && i + 1 < n && std::strchr("('\"", k[i + 1]) && k[i + 1] != 0))
            break;
        if (c == '\\' && i + 1 < n) {
            out[o++] = k[i++];
            out[o++] = k[i++];
            continue;
        }
        if (c == '$' && i + 1 < n && k[i + 1] == '{') {
            const std::size_t name = bracedName(k, n, i);
            if (name == 0)
                break;
            const std::size_t end = i + 2 + name;  // the '}', '-' or ':'
            const std::size_t after = k[end] == '}' ? end + 1 : k[end] == '-' ? end + 2 : end + 3;
            any = true;
            if (k[end] == '}' && !(k[i + 2] >= '0' && k[i + 2] <= '9' && name > 1) &&
                !(after < n && nameByte(k[after]))) {
                out[o++] = '$';
                std::memcpy(out + o, k + i + 2, name);
                o += name;
            } else if (k[end] == ':') {
                std::memcpy(out + o, k + i, name + 2);
                o += name + 2;
                out[o++] = '-';
                out[o++] = '}';
            } else {
                std::memcpy(out + o, k + i, after - i);
                o += after - i;
            }
            i = after;
            continue;
        }
        any = any || (c == '$' && i + 1 < n && nameByte(k[i + 1]));
        single = c == '\'' && !dquote;
        if (c == '"')
            dquote = !dquote;
        out[o++] = k[i++];
    }
    if (!any)
        return 0;
    std::memcpy(out + o, k + i, n - i);
    return o + (n - i);
}

bool safeText(const char *p, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (std::strchr("$`\\!'\"", p[i]) || p[i] == 0)
            return false;
    return true;
}

// Writes the canonical form of key k (n bytes) into out; returns its length,
// or 0 when no part of it is rewritten.
std::size_t canonical(const char *k, std::size_t n, char *out)
{
    std::size_t o = 0, i = 0;
    bool any = false;
    while (i < n) {
        const char c = k[i];
        if (c == '\\' || c == '`' || (c == '$' && i + 1 < n && std::strchr("({'\"[", k[i + 1])))
            break;
        if (c == '\'' || c == '"') {
            const char *close = static_cast<const char *>(std::memchr(k + i + 1, c, n - i - 1));
            if (!close)
                break;
            const std::size_t length = static_cast<std::size_t>(close - (k + i + 1));
            const bool safe = safeText(k + i + 1, length);
            if (!safe && c == '"')
                break;  // where such a part ends is not plain to see
            any = any || safe;
            out[o++] = safe ? '\'' : c;
            std::memcpy(out + o, k + i + 1, length);
            o += length;
            out[o++] = safe ? '\'' : c;
            i += length + 2;
            continue;
        }
        out[o++] = c;
        ++i;
    }
    if (!any)
        return 0;
    std::memcpy(out + o, k + i, n - i);
    return o + (n - i);
}

std::uint64_t shellScan(RewriteWindow &w, void *raw)
{
    State &s = *static_cast<State *>(raw);
    if (!s.started) {
        s.started = true;
        s.cursor = w.first;
    }
    if (s.cursor < w.first) {
        // A token too long to hold went out unseen: it is no ')'.
        s.afterClose = false;
        s.cursor = w.first;
    }
    const std::uint64_t end = windowEnd(w);
    const bool allowed = (w.allow & rewriteBit(Rewrite::Quotes)) != 0;
    for (; s.cursor < end; ++s.cursor) {
        const std::uint64_t i = s.cursor;
        WindowToken &t = windowAt(w, i);
        if (t.kind == TokenKind::End)
            break;
        if (t.kind != TokenKind::Code) {
            s.lost = true;
            continue;
        }
        const char *k = tokenKey(w, i);
        const bool afterClose = s.afterClose, afterHere = s.afterHere;
        s.afterHere = t.whole && ((t.length == 2 && k[0] == '<' && k[1] == '<') ||
                                  (t.length == 3 && k[0] == '<' && k[1] == '<' && k[2] == '-'));
        s.afterClose = t.whole && ((t.length == 1 && k[0] == ')') || (t.length == 2 && k[0] == ')' && k[1] == ')'));
        if (s.lost || afterClose || !allowed || !t.whole || t.length == 0 || k[0] == '\n' ||
            t.length > kRewriteLongToken)
            continue;
        const std::size_t u = afterHere ? 0 : unbrace(k, t.length, s.unbraced);
        const char *text = u > 0 ? s.unbraced : k;
        const std::size_t n = canonical(text, u > 0 ? u : t.length, s.canon);
        if (n > 0)
            replaceKey(w, i, Rewrite::Quotes, s.canon, n);
        else if (u > 0)
            replaceKey(w, i, Rewrite::Quotes, s.unbraced, u);
    }
    return s.cursor < end ? s.cursor + 1 : end;
}

// The "#!" line, a token of the shared layer's: no word starts with '#'.
bool shellAside(const char *key, std::size_t n)
{
    return n > 0 && key[0] == '#';
}

} // namespace

extern const RewriteRules kShellRules = rulesRecord<State>(Language::Shell, {Rewrite::Quotes}, shellScan, shellAside);
