// gitignore patterns for --exclude. POSIX's fnmatch knows no "**" and
// Windows has no fnmatch: the matcher is this file's own, a pattern's parts
// matched to a path's parts, each part byte by byte, both by the one-star
// backtracking that needs no more than the product of the lengths.
#include "walk/exclude.h"

#include <algorithm>
#include <cstring>

namespace {

// One part of a text or a pattern between '/'s.
struct Part {
    const char *at;
    std::size_t length;
};

std::vector<Part> partsOf(const char *text, std::size_t length)
{
    std::vector<Part> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= length; ++i) {
        if (i == length || text[i] == '/') {
            parts.push_back({text + start, i - start});
            start = i + 1;
        }
    }
    return parts;
}

bool isGlobstar(const Part &p)
{
    return p.length == 2 && p.at[0] == '*' && p.at[1] == '*';
}

// Whether c is of the POSIX class name ("alpha", ...); false for a name that is none.
bool inClass(const std::string &name, unsigned char c)
{
    static const struct {
        const char *name;
        bool (*test)(unsigned char);
    } classes[] = {
        {"alpha", [](unsigned char x) { return (x | 0x20) >= 'a' && (x | 0x20) <= 'z'; }},
        {"digit", [](unsigned char x) { return x >= '0' && x <= '9'; }},
        {"alnum", [](unsigned char x) { return (x >= '0' && x <= '9') || ((x | 0x20) >= 'a' && (x | 0x20) <= 'z'); }},
        {"upper", [](unsigned char x) { return x >= 'A' && x <= 'Z'; }},
        {"lower", [](unsigned char x) { return x >= 'a' && x <= 'z'; }},
        {"xdigit", [](unsigned char x) { return (x >= '0' && x <= '9') || ((x | 0x20) >= 'a' && (x | 0x20) <= 'f'); }},
        {"space", [](unsigned char x) { return x == ' ' || (x >= '\t' && x <= '\r'); }},
        {"blank", [](unsigned char x) { return x == ' ' || x == '\t'; }},
        {"punct", [](unsigned char x) { return x > ' ' && x < 0x7f && !((x >= '0' && x <= '9') || ((x | 0x20) >= 'a' && (x | 0x20) <= 'z')); }},
        {"cntrl", [](unsigned char x) { return x < ' ' || x == 0x7f; }},
        {"graph", [](unsigned char x) { return x > ' ' && x < 0x7f; }},
        {"print", [](unsigned char x) { return x >= ' ' && x < 0x7f; }},
    };
    for (const auto &k : classes)
        if (name == k.name)
            return k.test(c);
    return false;
}

// Reads the set that starts at p[i] == '['. Returns the index after its
// ']', with matched set to whether c is in it; or 0 when no ']' closes it.
std::size_t readSet(const char *p, std::size_t n, std::size_t i, unsigned char c, bool &matched)
{
    std::size_t j = i + 1;
    const bool negated = j < n && (p[j] == '!' || p[j] == '^');
    j += negated ? 1 : 0;
    bool in = false;
    for (bool first = true; j < n; first = false) {
        if (p[j] == ']' && !first) {
            matched = in != negated;
            return j + 1;
        }
        if (p[j] == '[' && j + 1 < n && p[j + 1] == ':') {
            const char *end = static_cast<const char *>(std::memchr(p + j + 2, ':', n - j - 2));
            if (end && end + 1 < p + n && end[1] == ']') {
                in = in || inClass(std::string(p + j + 2, end), c);
                j = static_cast<std::size_t>(end - p) + 2;
                continue;
            }
        }
        unsigned char low = static_cast<unsigned char>(p[j]);
        if (low == '\\' && j + 1 < n)
            low = static_cast<unsigned char>(p[++j]);
        ++j;
        unsigned char high = low;
        if (j + 1 < n && p[j] == '-' && p[j + 1] != ']') {
            high = static_cast<unsigned char>(p[j + 1]);
            if (high == '\\' && j + 2 < n)
                high = static_cast<unsigned char>(p[++j + 1]);
            j += 2;
        }
        in = in || (c >= low && c <= high);
    }
    return 0;
}

// Whether the byte t at the pattern token p[i] matches it, with next set to
// the index after the token. '*' is not such a token.
bool oneByte(const char *p, std::size_t n, std::size_t i, char t, std::size_t &next)
{
    if (p[i] == '?') {
        next = i + 1;
        return true;
    }
    if (p[i] == '[') {
        bool matched = false;
        next = readSet(p, n, i, static_cast<unsigned char>(t), matched);
        if (next != 0)
            return matched;
    }
    if (p[i] == '\\' && i + 1 < n) {
        next = i + 2;
        return p[i + 1] == t;
    }
    next = i + 1;
    return p[i] == t;
}

// Whether a pattern of patternLength items matches all of a text of
// textLength items, where star(pi) tells the pattern items that take any
// run of text items, and one(pi, ti, next) whether pattern item pi matches
// text item ti, setting next to the pattern item after it. A star that
// fails takes one more item, and the rest starts again after it.
template <typename Star, typename One>
bool starMatch(std::size_t patternLength, std::size_t textLength, Star star, One one)
{
    std::size_t pi = 0, ti = 0;
    std::size_t starP = std::string::npos, starT = 0;
    while (ti < textLength) {
        std::size_t next = 0;
        if (pi < patternLength && star(pi)) {
            starP = ++pi;
            starT = ti;
        } else if (pi < patternLength && one(pi, ti, next)) {
            pi = next;
            ++ti;
        } else if (starP != std::string::npos) {
            pi = starP;
            ti = ++starT;
        } else {
            return false;
        }
    }
    while (pi < patternLength && star(pi))
        ++pi;
    return pi == patternLength;
}

// Whether the pattern part p matches all of the text part t.
bool partMatch(const Part &p, const Part &t)
{
    return starMatch(
        p.length, t.length, [&](std::size_t pi) { return p.at[pi] == '*'; },
        [&](std::size_t pi, std::size_t ti, std::size_t &next) { return oneByte(p.at, p.length, pi, t.at[ti], next); });
}

} // namespace

bool globMatch(const char *pattern, std::size_t patternLength, const char *text, std::size_t textLength)
{
    std::vector<Part> ps = partsOf(pattern, patternLength);
    const std::vector<Part> ts = partsOf(text, textLength);
    // A "**" at the end needs one part at least: "a/**" is "a/*/**".
    if (ps.size() > 1 && isGlobstar(ps.back()))
        ps.insert(ps.end() - 1, Part{"*", 1});
    return starMatch(
        ps.size(), ts.size(), [&](std::size_t pi) { return isGlobstar(ps[pi]); },
        [&](std::size_t pi, std::size_t ti, std::size_t &next) {
            next = pi + 1;
            return partMatch(ps[pi], ts[ti]);
        });
}

ExcludeList excludeList(const std::vector<std::string> &globs)
{
    ExcludeList list;
    for (const std::string &glob : globs) {
        ExcludePattern p;
        p.given = glob;
        p.glob = glob;
        while (p.glob.size() > 1 && p.glob.back() == '/') {
            p.glob.pop_back();
            p.directoryOnly = true;
        }
        p.anchored = p.glob.find('/') != std::string::npos;
        if (!p.glob.empty() && p.glob[0] == '/')
            p.glob.erase(0, 1);
        list.patterns.push_back(std::move(p));
    }
    return list;
}

bool excludedPath(const ExcludeList &list, const std::string &path, bool directory)
{
    for (const ExcludePattern &p : list.patterns) {
        // Each directory on the way, then the path itself.
        for (std::size_t end = path.find('/'); ; end = path.find('/', end + 1)) {
            const bool whole = end == std::string::npos;
            const std::size_t length = whole ? path.size() : end;
            if (!p.directoryOnly || !whole || directory) {
                std::size_t from = 0;
                if (!p.anchored) {
                    const std::size_t slash = path.rfind('/', length == 0 ? 0 : length - 1);
                    from = slash == std::string::npos || slash >= length ? 0 : slash + 1;
                }
                if (globMatch(p.glob.data(), p.glob.size(), path.data() + from, length - from)) {
                    p.matched = true;
                    return true;
                }
            }
            if (whole)
                break;
        }
    }
    return false;
}

std::string unmatchedPatterns(const ExcludeList &list)
{
    std::string names;
    for (const ExcludePattern &p : list.patterns)
        if (!p.matched)
            names += (names.empty() ? "" : ", ") + p.given;
    return names;
}

std::string excludeSubject(const std::string &path)
{
    std::string out;
    for (const Part &part : partsOf(path.data(), path.size())) {
        if (part.length == 0 || (part.length == 1 && part.at[0] == '.'))
            continue;
        out += out.empty() ? "" : "/";
        out.append(part.at, part.length);
    }
    return out;
}

long long excludeEntries(std::vector<WalkEntry> &entries, const ExcludeList &list)
{
    if (list.patterns.empty())
        return 0;
    static const std::string arrow = " -> ";
    const auto out = [&](const WalkEntry &e) {
        const bool directory = e.kind == EntryKind::Failed &&
                               (e.reason == "unreadable directory" || e.reason == "directory on one side");
        if (!e.renamed)
            return excludedPath(list, e.path, directory);
        // "old -> new": a name that holds the arrow itself cannot be told
        // apart, and is kept.
        const std::size_t at = e.path.find(arrow);
        if (at == std::string::npos || e.path.find(arrow, at + 1) != std::string::npos)
            return false;
        return excludedPath(list, e.path.substr(0, at), false) &&
               excludedPath(list, e.path.substr(at + arrow.size()), false);
    };
    const auto kept = std::remove_if(entries.begin(), entries.end(), out);
    const long long count = entries.end() - kept;
    entries.erase(kept, entries.end());
    return count;
}
