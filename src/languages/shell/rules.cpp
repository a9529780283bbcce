// The shell's rules for --allow:
//
// - quotes: a quoted part of a word where nothing can expand compares by
//   the text it stands for: a part in single quotes as written, one in
//   double quotes holding no $ or backquote unescaped, no !, no ' and no
//   backslash-newline as '...' around its text with the backslashes before
//   $ ` " \ taken out (the only ones double quotes take out). A word with a
//   quoted part is written canonically (a Value token); any other part
//   stays as written.
//   Before that, outside single quotes and escapes, `${name}` reads as
//   `$name` where no name character follows (nothing else can join the
//   name), and `${name:-}` as `${name-}`: both are the value, or nothing
//   where the variable is unset or empty, and neither fails under `set -u`.
//   A name is a shell name or digits (`${10}` stays: `$10` is `$1` and 0).
//   Any other `${`, a backquote, `$(`, `$'` or `$"` ends this reading of the
//   word, and a here-document's delimiter is read as written.
// - quotes too: a here-document's body goes with its delimiter (see
//   mergeHeredoc), wherever its line ends among the commands after it.
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
    bool hereCounted; // afterHere, outside arithmetic: a delimiter the here-documents' count takes in
    bool hereLost;    // here-document bodies are no longer told apart: none is moved any more
    bool edgeClose;   // the token before the cursor, gone out, is ')' or '))'
    std::uint32_t waiting;  // delimiters passed whose bodies the cursor has not passed yet
    std::uint32_t arith;    // arithmetic frames and parentheses in them that are open
    std::uint32_t parens;   // tokens ending in '(' open outside arithmetic ("$(", "a=(", a subshell's...)
    bool parensLost;        // that count may have lost one (see closesWord): any ')' may end a word's text
    char canon[kRewriteLongToken + 8];
    char unbraced[kRewriteLongToken + 8];
    char merged[kRewriteLongToken + 8];
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

// The length of the text of a double-quoted part that starts at p (n bytes
// on, its closing quote after them) when it means the same in single
// quotes once the backslashes before $ ` " \\ are taken out (the only ones
// double quotes take out): no $ or backquote unescaped, no backslash before
// a line end (the lines would join), no ! (history expansion) and no '
// (single quotes cannot hold one); 0 otherwise.
std::size_t escapedText(const char *p, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        const char c = p[i];
        if (c == '"')
            return i;
        if (c == '$' || c == '`' || c == '!' || c == '\'' || c == 0)
            return 0;
        if (c == '\\') {
            if (i + 1 >= n || p[i + 1] == '\n' || p[i + 1] == 0)
                return 0;
            ++i;
        }
    }
    return 0;
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
        if (c == '"') {
            const std::size_t length = escapedText(k + i + 1, n - i - 1);
            if (length == 0 && !(i + 1 < n && k[i + 1] == '"'))
                break;  // where such a part ends is not plain to see, or it may expand
            any = true;
            out[o++] = '\'';
            for (std::size_t e = i + 1; e < i + 1 + length; ++e)
                if (k[e] != '\\' || !std::strchr("$`\"\\", k[e + 1]))
                    out[o++] = k[e];
                else
                    out[o++] = k[++e];
            out[o++] = '\'';
            i += length + 2;
            continue;
        }
        if (c == '\'') {
            const char *close = static_cast<const char *>(std::memchr(k + i + 1, c, n - i - 1));
            if (!close)
                break;
            // Written as is: any part in single quotes, so that it meets
            // the same text in double quotes as one canonical word.
            const std::size_t length = static_cast<std::size_t>(close - (k + i + 1));
            any = true;
            std::memcpy(out + o, k + i, length + 2);
            o += length + 2;
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

// Command substitutions (quotes too): a backquoted command and $(...) mean
// the same where the backquoted text holds no backslash (none is taken out
// or kept), no quote and no backquote, so both read the same commands, in
// whatever quoting the substitution stands. Only lists of simple commands
// are read so: words of name characters and - . / = , : + % @ $ ^ ~ * ?,
// special parameters and plain ${...}, set apart by blanks, with redirections (> >> < >& <& >|
// <> &> &>> <<<, a file descriptor's digits before them, then their word),
// joined by | ; && || (none first or last, no reserved word), which the
// lexer reads inside $(...) as one token per word (a blank's mark on a word
// after a word, and on a file descriptor's digits after a word) and per
// operator. Each side is written as the word's parts joined by a byte no
// part holds (\x01): the text before the substitution, "$(" with the word's
// blank mark, the commands' tokens, ")" and the text after it. A backquote
// in a token that may start inside quotes (after a substitution's ')'),
// after ${, in a here-document's delimiter or in a token with a backslash,
// $' or a second substitution stays as written, and so does a $(...) whose
// words are other than the above.
constexpr char kPart = '\x01';

bool commandByte(char c)
{
    return nameByte(c) || (c != 0 && std::strchr("-./=,:+%@$^~*?", c));
}

bool reservedWord(const char *p, std::size_t n)
{
    static const char *const kWords[] = {"if",    "then", "else",  "elif",  "fi",     "do",       "done",
                                         "case",  "esac", "while", "until", "for",    "in",       "select",
                                         "time",  "coproc", "function"};
    for (const char *word : kWords)
        if (std::strlen(word) == n && std::memcmp(word, p, n) == 0)
            return true;
    return false;
}

// Whether $c is a special parameter: $@ $* $# $? $$ $! $-.
bool specialParameter(char c)
{
    return c != 0 && std::strchr("@*#?$!-", c) != nullptr;
}

// At p[i] == '$' and p[i + 1] == '{': the index after the '}' that closes
// it, where only name characters and - . / = , : + % @ # ? * ! come between;
// 0 otherwise.
std::size_t bracedEnd(const char *p, std::size_t n, std::size_t i)
{
    std::size_t e = i + 2;
    while (e < n && p[e] != '$' && p[e] != 0 && (commandByte(p[e]) || std::strchr("#?*!", p[e])))
        ++e;
    return e > i + 2 && e < n && p[e] == '}' ? e + 1 : 0;
}

// The length of the word of the commands read so that starts at p (n
// bytes on, up to a blank or an operator's byte): name characters and
// - . / = , : + % @ $ ^ ~ * ?, plain ${...}, special parameters ($@ $#
// ...), '...' holding no quote, "..." holding no backslash, backquote or
// quote and no $ but before a name character, a special parameter's or a
// plain ${...} (the lexer keeps such a word whole, its quotes as written);
// 0 when another byte comes first in it or a quote is not closed.
std::size_t wordLength(const char *p, std::size_t n)
{
    std::size_t i = 0;
    while (i < n && !std::strchr(" \t|;&<>", p[i])) {
        const char c = p[i];
        if (c == '$' && i + 1 < n && p[i + 1] == '{') {
            i = bracedEnd(p, n, i);
            if (i == 0)
                return 0;
            continue;
        }
        if (c == '$' && i + 1 < n && specialParameter(p[i + 1])) {
            i += 2;
            continue;
        }
        if (c == '\'' || c == '"') {
            std::size_t e = i + 1;
            while (e < n && p[e] != c) {
                if (c == '"' && p[e] == '$' && e + 1 < n && p[e + 1] == '{') {
                    e = bracedEnd(p, n, e);
                    if (e == 0)
                        return 0;
                    continue;
                }
                if (c == '"' && (p[e] == '\\' || p[e] == '`' || p[e] == '\'' ||
                                 (p[e] == '$' && !(e + 1 < n && (nameByte(p[e + 1]) || specialParameter(p[e + 1]))))))
                    break;
                ++e;
            }
            if (e >= n || p[e] != c)
                return 0;
            i = e + 1;
            continue;
        }
        if (!commandByte(c))
            return 0;
        ++i;
    }
    return i;
}

// A word of the commands read so, after the blank's mark a word after a
// word carries (marked).
bool commandWord(const char *k, std::size_t n, bool marked)
{
    const std::size_t from = marked ? 1 : 0;
    return n > from && (!marked || k[0] == ' ') && !reservedWord(k + from, n - from) &&
           wordLength(k + from, n - from) == n - from;
}

// The length of the redirection operator at p (n bytes on): > >> < >& <& >|
// <> &> &>> or <<<; 0 for any other (a here-document's <<, a process
// substitution's <( and >(, a lone &).
std::size_t redirectionLength(const char *p, std::size_t n)
{
    static const char *const kOps[] = {"&>>", "<<<", "&>", ">>", ">&", "<&", ">|", "<>", ">", "<"};
    for (const char *op : kOps) {
        const std::size_t m = std::strlen(op);
        if (m <= n && std::memcmp(p, op, m) == 0) {
            const bool heredoc = m == 1 && p[0] == '<' && n > 1 && p[1] == '<';
            const bool process = m == 1 && n > 1 && p[1] == '(';
            return heredoc || process ? 0 : m;
        }
    }
    return 0;
}

// A redirection's token inside $(...): the operator, after the digits of a
// file descriptor, which after a word (afterWord) carry the blank's mark.
bool redirectionToken(const char *k, std::size_t n, bool afterWord)
{
    const bool marked = n > 0 && k[0] == ' ';
    const std::size_t from = marked ? 1 : 0;
    std::size_t i = from;
    while (i < n && k[i] >= '0' && k[i] <= '9')
        ++i;
    if (marked != (afterWord && i > from))
        return false;
    return i < n && redirectionLength(k + i, n - i) == n - i;
}

// A list operator inside $(...) read so: | ; && ||.
bool listOperator(const char *k, std::size_t n)
{
    return (n == 1 && (k[0] == '|' || k[0] == ';')) ||
           (n == 2 && ((k[0] == '&' && k[1] == '&') || (k[0] == '|' && k[1] == '|')));
}

// Appends n bytes of p to out (o bytes so far); false past the room.
bool put(char *out, std::size_t &o, const char *p, std::size_t n)
{
    if (o + n > kRewriteLongToken)
        return false;
    std::memcpy(out + o, p, n);
    o += n;
    return true;
}

// Writes backquoted commands body[0..n) as the parts $(...) holds, each
// after kPart; false when they are not read so (see above).
bool backquotedCommands(const char *body, std::size_t n, char *out, std::size_t &o)
{
    std::size_t i = 0;
    bool word = false, op = true;  // the last part was a word / a list operator (or none yet)
    bool target = false;           // a redirection came last: its word comes next
    while (i < n) {
        const char c = body[i];
        if (c == ' ' || c == '\t') {
            ++i;
            continue;
        }
        const std::size_t list = i + 1 < n && listOperator(body + i, 2) ? 2 : listOperator(body + i, 1) ? 1 : 0;
        if (list > 0) {
            if (op || target || (list == 1 && i + 1 < n && std::strchr("|&", body[i + 1])))
                return false;  // `| |` is no `||`, `|&` and `;;` are no list of these
            const char part[1] = {kPart};
            if (!put(out, o, part, 1) || !put(out, o, body + i, list))
                return false;
            op = true;
            word = false;
            i += list;
            continue;
        }
        // A file descriptor's digits: a whole word right before < or >.
        std::size_t d = i;
        while (d < n && body[d] >= '0' && body[d] <= '9')
            ++d;
        const bool redirects = d < n && (body[d] == '<' || body[d] == '>' || d == i);
        const std::size_t r = redirects ? redirectionLength(body + d, n - d) : 0;
        if (r > 0) {
            if (target)
                return false;
            const char part[2] = {kPart, ' '};
            const bool marked = word && d > i;
            if (!put(out, o, part, marked ? 2 : 1) || !put(out, o, body + i, d + r - i))
                return false;
            target = true;
            word = op = false;
            i = d + r;
            continue;
        }
        const std::size_t e = i + wordLength(body + i, n - i);
        if (e == i || reservedWord(body + i, e - i))
            return false;
        const char part[2] = {kPart, ' '};
        if (!put(out, o, part, word ? 2 : 1) || !put(out, o, body + i, e - i))
            return false;
        word = true;
        op = target = false;
        i = e;
    }
    return word;
}

// The parts of token k (n bytes) with one backquoted command substitution
// (see above); its length, or 0 when it has none read so.
std::size_t backquoteParts(const char *k, std::size_t n, char *out)
{
    std::size_t open = n;
    bool single = false, dquote = false, quotedOpen = false;
    for (std::size_t i = 0; i < n; ++i) {
        const char c = k[i];
        // A backquote after ${ may stand inside it.
        if (c == '\\' || c == kPart || (c == '$' && i + 1 < n && (k[i + 1] == '\'' || (k[i + 1] == '{' && open == n))))
            return 0;
        if (single) {
            single = c != '\'';
            continue;
        }
        if (c == '\'' && !dquote)
            single = true;
        else if (c == '"')
            dquote = !dquote;
        else if (c == '`') {
            if (open < n)
                break;
            open = i;
            quotedOpen = dquote;
            const char *close = static_cast<const char *>(std::memchr(k + i + 1, '`', n - i - 1));
            if (!close)
                return 0;
            i = static_cast<std::size_t>(close - k);
        }
    }
    if (open == n)
        return 0;
    const std::size_t close = static_cast<std::size_t>(static_cast<const char *>(std::memchr(k + open + 1, '`', n - open - 1)) - k);
    if (std::memchr(k + close + 1, '`', n - close - 1))
        return 0;  // a second one
    // Inside "...", quotes in the commands are read otherwise by some shells.
    for (std::size_t i = open + 1; i < close && quotedOpen; ++i)
        if (k[i] == '"' || k[i] == '\'')
            return 0;
    // The blank's mark goes with "$(" when no text comes before it.
    const bool markOnly = open == 1 && k[0] == ' ';
    std::size_t o = 0;
    const char kOpen[4] = {kPart, ' ', '$', '('};
    if (markOnly || open == 0) {
        if (!put(out, o, kOpen + (markOnly ? 1 : 2), markOnly ? 3 : 2))
            return 0;
    } else if (!put(out, o, k, open) || !put(out, o, kOpen, 1) || !put(out, o, kOpen + 2, 2)) {
        return 0;
    }
    if (!backquotedCommands(k + open + 1, close - open - 1, out, o))
        return 0;
    const char closer[3] = {kPart, ')', kPart};
    const std::size_t rest = n - close - 1;
    if (!put(out, o, closer, rest > 0 ? 3 : 2) || !put(out, o, k + close + 1, rest))
        return 0;
    return o;
}

// A token that may be the text before or after a substitution in its word:
// no operator, no line end (a here-document body), no kPart.
bool wordText(RewriteWindow &w, std::uint64_t i)
{
    const WindowToken &t = windowAt(w, i);
    if (t.kind != TokenKind::Code || !t.whole || t.dropped || t.length == 0 || t.length > kRewriteLongToken)
        return false;
    const char *k = tokenKey(w, i);
    for (std::size_t j = 0; j < t.length; ++j)
        if (std::strchr(";&|()<>\n`", k[j]) || k[j] == kPart || k[j] == 0)
            return false;
    return true;
}

bool opener(RewriteWindow &w, std::uint64_t i, bool markAllowed)
{
    return tokenIs(w, i, "$(") || (markAllowed && tokenIs(w, i, " $("));
}

// Whether token i, a word's text from its start, leaves a "..." open: its
// double quotes are odd in number, and it holds no single quote, brace or
// backslash that could make one of them text.
bool opensQuote(RewriteWindow &w, std::uint64_t i)
{
    const char *k = tokenKey(w, i);
    bool open = false;
    for (std::size_t b = 0; b < windowAt(w, i).length; ++b) {
        if (std::strchr("'{}\\", k[b]) && k[b] != 0)
            return false;
        open = open != (k[b] == '"');
    }
    return open;
}

enum class Merge { No, Wait, Done };

// At token i, the text before a $(...) or its "$(": writes the word's parts
// (see above) as one token when the commands are read so. Wait: the tokens
// it needs are not all held yet. Done: next is the token after the merged ones,
// and quoted tells that it may start inside quotes or ${...}.
Merge mergeSubstitution(RewriteWindow &w, State &s, std::uint64_t i, std::uint64_t &next, bool &quoted)
{
    const std::uint64_t end = windowEnd(w);
    const bool endHeld = w.count > 0 && windowAt(w, end - 1).kind == TokenKind::End;
    // Tokens still to come, or the window can take more once those before
    // i go out.
    const bool more = !endHeld && (!w.complete || i > w.first);
    std::uint64_t open = i;
    if (!opener(w, i, true)) {
        if ((i + 1 < end && !opener(w, i + 1, false)) || !wordText(w, i))
            return Merge::No;
        if (i + 1 >= end)
            return more ? Merge::Wait : Merge::No;
        open = i + 1;
    }
    std::uint64_t j = open + 1;
    bool word = false, target = false;  // as in backquotedCommands
    for (;; ++j) {
        if (j >= end)
            return more ? Merge::Wait : Merge::No;
        const WindowToken &t = windowAt(w, j);
        if (t.kind != TokenKind::Code || !t.whole || t.dropped || t.length > kRewriteLongToken)
            return Merge::No;
        const char *k = tokenKey(w, j);
        if (t.length == 1 && k[0] == ')' && word)
            break;
        if (listOperator(k, t.length) && word) {
            word = false;
            continue;
        }
        if (!target && redirectionToken(k, t.length, word)) {
            target = true;
            word = false;
            continue;
        }
        if (!commandWord(k, t.length, word))
            return Merge::No;
        word = true;
        target = false;
    }
    const std::uint64_t close = j;
    if (close + 1 >= end && more)
        return Merge::Wait;
    // A blank first in the token after ')' is the mark of a word of its own,
    // but inside "..." (the text before the substitution opens one) it is
    // the quoted text's.
    const bool after = close + 1 < end && wordText(w, close + 1) &&
                       (tokenKey(w, close + 1)[0] != ' ' || (open == i + 1 && opensQuote(w, i)));
    std::size_t o = 0;
    char *out = s.merged;
    for (std::uint64_t p = i; p <= close + (after ? 1 : 0); ++p) {
        if (p > i) {
            if (o + 1 > kRewriteLongToken)
                return Merge::No;
            out[o++] = kPart;
        }
        if (!put(out, o, tokenKey(w, p), windowAt(w, p).length))
            return Merge::No;
    }
    if (!replaceKey(w, i, Rewrite::Quotes, out, o))
        return Merge::No;
    for (std::uint64_t p = i + 1; p <= close + (after ? 1 : 0); ++p)
        dropToken(w, p, Rewrite::Quotes, i);
    next = close + (after ? 2 : 1);
    // A word that starts with the text before the substitution, or with a
    // "$(" set apart by a blank, starts outside quotes (no ')' came before
    // it): with no single quote, brace or backslash in the text before or
    // after the substitution and its double quotes in pairs, the token
    // after it starts outside quotes too.
    quoted = open == i && tokenKey(w, open)[0] != ' ';
    bool inside = false;  // inside "...": only '"' stands in the text before it
    for (std::size_t b = 0; b < o; ++b) {
        inside = inside != (out[b] == '"');
        quoted = quoted || out[b] == 0 || std::strchr("'{}\\", out[b]) != nullptr;
    }
    quoted = quoted || inside;
    return Merge::Done;
}

// Here-documents: a body is read after the line end that ends its
// redirection's line, wherever in a list that comes (after `||`, `|`, `&&`
// or after the whole list), so where it stands among the tokens is layout.
// Its delimiter's token is written as the delimiter's key, kPart and the
// body's key, and the body's token is taken out. The lexer hands out the
// bodies in the order of their redirections, so the body of a delimiter is
// the one after as many bodies as delimiters before it still wait for theirs.
// A body is a token whose key starts with a line end, but after ')' or '))'
// (there such a token may be the rest of a quoted word): one there stops all
// moving for the rest of the stream, and so does a command substitution
// inside arithmetic (a `<<` there is a shift, one inside it a redirection),
// a token too long to see while a body waits, or a `<<` without a word
// after it.

// A here-document's redirection: `<<` or `<<-`, with its file descriptor's
// digits and the blank's mark.
bool hereOperator(const char *k, std::size_t n)
{
    std::size_t i = n > 0 && k[0] == ' ' ? 1 : 0;
    while (i < n && k[i] >= '0' && k[i] <= '9')
        ++i;
    return n - i >= 2 && k[i] == '<' && k[i + 1] == '<' && (n - i == 2 || (n - i == 3 && k[i + 2] == '-'));
}

// "$(", "<(" or ">(", with or without the blank's mark.
bool opensCommands(RewriteWindow &w, std::uint64_t i)
{
    for (const char *open : {"$(", " $(", "<(", " <(", ">(", " >("})
        if (tokenIs(w, i, open))
            return true;
    return false;
}

bool closeToken(RewriteWindow &w, std::uint64_t i)
{
    return tokenIs(w, i, ")") || tokenIs(w, i, "))");
}

// Whether token i starts with a line end; ambiguous when it follows ')' or
// '))' (prevClose tells so for the first token held).
enum class Body { No, Yes, Unknown };

Body bodyAt(RewriteWindow &w, std::uint64_t i, bool edgeClose)
{
    const WindowToken &t = windowAt(w, i);
    if (t.kind != TokenKind::Code || t.length == 0 || tokenKey(w, i)[0] != '\n')
        return Body::No;
    return (i > w.first ? closeToken(w, i - 1) : edgeClose) ? Body::Unknown : Body::Yes;
}

enum class Here { No, Wait, Done };

// At delimiter i, when `waiting` bodies come before its own: writes the
// delimiter and its body as one token (see above).
Here mergeHeredoc(RewriteWindow &w, State &s, std::uint64_t i)
{
    const std::uint64_t end = windowEnd(w);
    const bool endHeld = w.count > 0 && windowAt(w, end - 1).kind == TokenKind::End;
    // Tokens still to come, or the window can take more once those before
    // i go out.
    const bool more = !endHeld && (!w.complete || i > w.first);
    std::uint32_t before = s.waiting;
    std::uint64_t j = i + 1;
    for (;; ++j) {
        if (j >= end)
            return more ? Here::Wait : Here::No;
        const WindowToken &t = windowAt(w, j);
        if (t.kind == TokenKind::End || !t.whole || (t.kind != TokenKind::Code && t.kind != TokenKind::Value))
            return Here::No;
        const Body b = bodyAt(w, j, s.edgeClose);
        if (b == Body::Unknown)
            return Here::No;
        if (b == Body::Yes) {
            if (before == 0)
                break;
            --before;
        }
    }
    const WindowToken &d = windowAt(w, i), &body = windowAt(w, j);
    if (d.dropped || body.dropped || d.length + 1 + body.length > kRewriteLongToken)
        return Here::No;
    std::size_t o = 0;
    char *out = s.merged;
    const char part = kPart;
    // The delimiter's quotes as the quotes rule writes them (its only rewrite).
    const std::size_t c = canonical(tokenKey(w, i), d.length, s.canon);
    if (!put(out, o, c > 0 ? s.canon : tokenKey(w, i), c > 0 ? c : d.length) || !put(out, o, &part, 1) ||
        !put(out, o, tokenKey(w, j), body.length) || !replaceKey(w, i, Rewrite::Quotes, out, o))
        return Here::No;
    dropToken(w, j, Rewrite::Quotes, i);
    return Here::Done;
}

// Returns r, the tokens before it going out, noting whether the last of
// them is ')' or '))'.
std::uint64_t leave(RewriteWindow &w, State &s, std::uint64_t r)
{
    if (r > w.first)
        s.edgeClose = closeToken(w, r - 1);
    return r;
}

// At a ')' (and past it): whether the text of a word, perhaps inside quotes,
// may go on after it, as after a command substitution's or arithmetic's. A
// ')' outside arithmetic while no token ending in '(' is open ends a case
// pattern: the token after it starts a command. The count is kept only
// where every ')' closes the last one open; it may lose one (and then every
// ')' may end a word's text) where a case's patterns stand inside one, where
// a "$(" stands inside arithmetic (whose count takes its ')'), or where a
// token too long to hold whole came (but a here-document's body).
bool closesWord(State &s, bool inArith)
{
    if (inArith || s.parensLost)
        return true;
    if (s.parens == 0)
        return false;
    --s.parens;
    return true;
}

std::uint64_t shellScan(RewriteWindow &w, void *raw)
{
    State &s = *static_cast<State *>(raw);
    if (!s.started) {
        s.started = true;
        s.cursor = w.first;
    }
    if (s.cursor < w.first) {
        // A token too long to hold went out unseen: it is no ')', and it may
        // be a body.
        s.afterClose = false;
        s.edgeClose = false;
        s.hereLost = s.hereLost || s.waiting > 0;
        s.parensLost = true;
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
        bool merged = false;  // the delimiter and its body are one token now
        if (allowed && !s.lost && !s.hereLost) {
            // The here-documents' count (see above).
            const Body b = bodyAt(w, i, s.edgeClose);
            if (b == Body::Unknown || (b == Body::Yes && s.waiting == 0) ||
                (s.hereCounted && (b != Body::No || !t.whole || t.dropped)) || (s.arith > 0 && opensCommands(w, i))) {
                s.hereLost = true;
            } else if (s.hereCounted) {
                const Here h = mergeHeredoc(w, s, i);
                if (h == Here::Wait)
                    return leave(w, s, i);
                merged = h == Here::Done;
                k = tokenKey(w, i);
                ++s.waiting;
            } else if (b == Body::Yes) {
                --s.waiting;
            }
        }
        if (allowed && !s.lost && !afterHere && !afterClose && !t.dropped) {
            std::uint64_t next = 0;
            bool quoted = false;
            const Merge m = mergeSubstitution(w, s, i, next, quoted);
            if (m == Merge::Wait)
                return leave(w, s, i);
            if (m == Merge::Done) {
                s.afterClose = quoted;
                s.afterHere = false;
                s.cursor = next - 1;  // the loop steps on to next
                continue;
            }
        }
        // Arithmetic's tokens that open or close: "(", ")", "((", "))", "$((" and " $((".
        const bool inArith = s.arith > 0;
        const bool body = t.length > 0 && k[0] == '\n';
        s.parensLost = s.parensLost || (inArith && opensCommands(w, i)) || (!t.whole && !body) ||
                       (s.parens > 0 && (tokenIs(w, i, "case") || tokenIs(w, i, " case")));
        const bool arithEdge = t.whole && t.length > 0 && t.length <= 4 && (k[t.length - 1] == '(' || k[0] == ')');
        const bool opensArith = arithEdge && (tokenIs(w, i, "$((") || tokenIs(w, i, " $(("));
        if (arithEdge && s.arith > 0 && (opensArith || tokenIs(w, i, "(")))
            ++s.arith;
        else if (arithEdge && s.arith > 0 && closeToken(w, i))
            --s.arith;
        else if (arithEdge && (opensArith || tokenIs(w, i, "((")))
            s.arith = 1;
        s.afterHere = t.whole && hereOperator(k, t.length);
        s.hereCounted = s.afterHere && s.arith == 0;
        s.afterClose = t.whole && ((tokenIs(w, i, ")") && closesWord(s, inArith)) || tokenIs(w, i, "))"));
        if (!inArith && s.arith == 0 && t.whole && t.length > 0 && k[t.length - 1] == '(' && s.parens < 0xffffffffu)
            ++s.parens;
        if (s.lost || afterClose || merged || !allowed || !t.whole || t.length == 0 || k[0] == '\n' ||
            t.length > kRewriteLongToken)
            continue;
        if (const std::size_t b = afterHere ? 0 : backquoteParts(k, t.length, s.merged); b > 0) {
            replaceKey(w, i, Rewrite::Quotes, s.merged, b);
            continue;
        }
        const std::size_t u = afterHere ? 0 : unbrace(k, t.length, s.unbraced);
        const char *text = u > 0 ? s.unbraced : k;
        const std::size_t n = canonical(text, u > 0 ? u : t.length, s.canon);
        if (n > 0)
            replaceKey(w, i, Rewrite::Quotes, s.canon, n);
        else if (u > 0)
            replaceKey(w, i, Rewrite::Quotes, s.unbraced, u);
    }
    return leave(w, s, s.cursor < end ? s.cursor + 1 : end);
}

// The "#!" line, a token of the shared layer's: no word starts with '#'.
bool shellAside(const char *key, std::size_t n)
{
    return n > 0 && key[0] == '#';
}

} // namespace

extern const RewriteRules kShellRules = rulesRecord<State>(Language::Shell, {Rewrite::Quotes}, shellScan, shellAside);
