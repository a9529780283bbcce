// A reStructuredText document as tokens, read by its blocks as docutils
// reads them: the lines, with tabs expanded to every eighth column and
// trailing blanks dropped, form regions by their indentation, and each
// block of a region is known by its first line or two.
//
// Structure tokens are spelled as tags, each with what docutils sees of it:
// "<p>", "<quote>" (a region indented deeper, whatever its column), "<li
// ->" (the bullet), "<enum 3.>" (the enumerator as written), "<field
// :name:>", "<dt>" and "<dd>", "<h u=->" and "<h o=# u=#>" (a title's
// adornment characters, "short" when docutils warns of its length),
// "<hr>", "<pre>" (a literal block, its lines as written past its
// indentation, blank lines counted), "<directive name>" with its arguments'
// words and its options, sorted, one token each; "<comment>" (its words with
// --comments). A paragraph, a term, a title and a directive's arguments come
// as words: each run of blanks and line breaks is layout, but for a run
// inside an inline literal or after a backslash that is more than one blank
// or line break, which is a token. A block that follows the one before it
// with no blank line between has "<tight>" before it.
//
// A regular grid table comes as "<grid W W>" (its columns' widths), its
// rows and its cells' lines past their padding.
//
// Where a block's kind hangs on more than its first word or two (an option
// list, a line block, a simple or irregular grid table, a doctest, an enumerator whose next line is
// text, an adornment that is neither a title nor a transition, a title
// inside an indented block), the block comes line by line as written
// between "<lines>" and "</lines>" (a simple table between "<table>" and
// "</table>"), its indentation past its region's kept: re-wrapped, it
// differs, never the other way round. The bodies of the directives docutils reads as
// reStructuredText (admonitions, topic, sidebar, container, figure, ...)
// come as blocks; the body of code-block, sourcecode and code in a language
// of the table comes as that language's tokens; any other body line by line.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "common/find_bytes.h"
#include "languages/languages.h"
#include "languages/rst/state.h"

namespace {

constexpr std::uint32_t kNone = UINT32_MAX;  // a region whose first line starts where its line does

// One line of the document: where it starts, its first byte that is no
// blank, the end of its last, and the column of that first byte (tabs to
// the next multiple of eight), -1 for a blank line.
struct Line {
    std::uint32_t at, textAt, end;
    std::int32_t indent;
};

// A run of lines [from, to) whose indentation counts from base; when
// firstAt is set, the first line's text starts there, at indentation 0 (the
// text after a list item's bullet or a directive's "::").
struct Region {
    std::size_t from, to;
    std::int32_t base;
    std::uint32_t firstAt;
};

struct Builder {
    explicit Builder(RstStore &s) : store(s) {}
    RstStore &store;
    const char *base = nullptr;
    std::uint32_t size = 0;
    LexOptions options;
    std::vector<Line> lines;
    int depth = 0;
    const char *refused = nullptr;
    bool literalNext = false;  // the last paragraph ends in "::"
    std::string scratch;
    std::vector<std::string> keys;  // a directive's options, to be sorted
    std::vector<std::uint32_t> columns;  // a grid table's columns of '+'

    // Code read by its language.
    Language embedded = Language::Unknown;
    std::string body;
    std::vector<std::uint32_t> bodyLines;  // the document offset of each of its lines
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\f' || c == '\v' || c == '\r' || c == '\n';
}

bool isAlnum(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// docutils' adornment characters: the printable ASCII that is no letter,
// digit or blank.
bool isAdornment(unsigned char c)
{
    return c > ' ' && c < 0x7F && !isAlnum(c);
}

// Appends a record (tokens/records.h).
void emit(Builder &b, TokenKind kind, const char *key, std::size_t length, std::uint32_t at, std::uint32_t spans)
{
    addRecord(b.store.tokens, kind, key, length, at, spans);
}

// A structure token at document offset at.
void tag(Builder &b, const std::string &key, std::uint32_t at)
{
    emit(b, TokenKind::Code, key.data(), key.size(), at, 0);
}

// --- Lines and regions ------------------------------------------------------

// Splits the text into lines as docutils does: a line feed, a CR LF or a
// lone CR ends one; false when it holds another line separator Python's
// splitlines honours (FS, GS, RS, NEL, LS, PS), which no reader here follows.
bool indexLines(Builder &b)
{
    // The bytes a line's scan stops at: line ends (1), and the first bytes
    // of the separators refused (2).
    static const struct Stops {
        unsigned char of[256];
        constexpr Stops() : of{}
        {
            of[0x0A] = of[0x0D] = 1;  // line feed, carriage return
            of[0x1C] = of[0x1D] = of[0x1E] = of[0xC2] = of[0xE2] = 2;
        }
    } kStops;
    const unsigned char *t = reinterpret_cast<const unsigned char *>(b.base);
    std::uint32_t at = 0;
    while (at < b.size) {
        std::uint32_t i = at;
        std::int32_t col = 0;
        for (; i < b.size && (t[i] == ' ' || t[i] == '\t' || t[i] == '\f' || t[i] == '\v'); ++i)
            col = t[i] == '\t' ? (col / 8 + 1) * 8 : col + 1;
        const std::uint32_t textAt = i;
        for (;; ++i) {
            while (i < b.size && kStops.of[t[i]] == 0)
                ++i;
            if (i >= b.size || kStops.of[t[i]] == 1)
                break;
            if (t[i] <= 0x1E || (t[i] == 0xC2 && i + 1 < b.size && t[i + 1] == 0x85) ||
                (t[i] == 0xE2 && i + 2 < b.size && t[i + 1] == 0x80 && (t[i + 2] == 0xA8 || t[i + 2] == 0xA9)))
                return false;
        }
        std::uint32_t end = i;
        while (end > textAt && (t[end - 1] == ' ' || t[end - 1] == '\t' || t[end - 1] == '\f' || t[end - 1] == '\v'))
            --end;
        b.lines.push_back(Line{at, textAt, end, end > textAt ? col : -1});
        if (i < b.size && t[i] == '\r' && i + 1 < b.size && t[i + 1] == '\n')
            ++i;
        at = i + 1;
    }
    return true;
}

bool blankAt(const Builder &b, const Region &r, std::size_t i)
{
    if (i == r.from && r.firstAt != kNone)
        return r.firstAt >= b.lines[i].end;
    return b.lines[i].indent < 0;
}

// The line's indentation within the region.
std::int32_t relOf(const Builder &b, const Region &r, std::size_t i)
{
    return i == r.from && r.firstAt != kNone ? 0 : b.lines[i].indent - r.base;
}

// Where the line's text starts.
std::uint32_t textOf(const Builder &b, const Region &r, std::size_t i)
{
    if (i == r.from && r.firstAt != kNone) {
        std::uint32_t at = r.firstAt;
        while (at < b.lines[i].end && isBlank(b.base[at]))
            ++at;
        return at;
    }
    return b.lines[i].textAt;
}

// The end of the lines after i that are blank or indented past the
// region's (trailing blank lines left out); with untilBlank, of those
// before the first blank line.
std::size_t indentedEnd(const Builder &b, const Region &r, std::size_t i, bool untilBlank = false)
{
    std::size_t last = i;
    for (std::size_t j = i + 1; j < r.to; ++j) {
        if (blankAt(b, r, j)) {
            if (untilBlank)
                break;
            continue;
        }
        if (relOf(b, r, j) <= 0)
            break;
        last = j;
    }
    return last + 1;
}

// The least indentation of the lines (from, to) that are not blank; the
// region's own when there are none.
std::int32_t leastIndent(const Builder &b, const Region &r, std::size_t from, std::size_t to)
{
    std::int32_t least = INT32_MAX;
    for (std::size_t j = from; j < to; ++j)
        if (!blankAt(b, r, j) && !(j == r.from && r.firstAt != kNone))
            least = std::min(least, b.lines[j].indent);
    return least == INT32_MAX ? r.base : least;
}

// The region of a block whose first line's text after its marker starts at
// at, and the lines after it up to end.
Region bodyOf(const Builder &b, const Region &r, std::size_t i, std::uint32_t at, std::size_t end)
{
    return Region{i, end, leastIndent(b, r, i + 1, end), at};
}

// The line from its text on, tabs expanded at their columns, blanks that
// docutils reads as one (form feed, line tabulation) as blanks; after
// indent blanks.
const std::string &expandedLine(Builder &b, std::uint32_t from, std::uint32_t end, std::int32_t indent)
{
    std::string &s = b.scratch;
    s.assign(indent > 0 ? static_cast<std::size_t>(indent) : 0, ' ');
    std::uint32_t lineStart = from;
    while (lineStart > 0 && b.base[lineStart - 1] != '\n' && b.base[lineStart - 1] != '\r')
        --lineStart;
    std::size_t col = 0;
    for (std::uint32_t i = lineStart; i < from; ++i)
        col = b.base[i] == '\t' ? (col / 8 + 1) * 8 : col + 1;
    for (std::uint32_t i = from; i < end; ++i) {
        const char c = b.base[i];
        if (c == '\t') {
            const std::size_t next = (col / 8 + 1) * 8;
            s.append(next - col, ' ');
            col = next;
        } else {
            s.push_back(c == '\f' || c == '\v' ? ' ' : c);
            ++col;
        }
    }
    return s;
}

// Lines [from, to) as written, each past indent columns (the region's,
// for a block; the least of its lines', for a literal block), blank lines
// among them counted.
void verbatimLines(Builder &b, const Region &r, std::size_t from, std::size_t to, std::int32_t indent)
{
    for (std::size_t j = from; j < to; ++j) {
        if (blankAt(b, r, j)) {
            emit(b, TokenKind::Code, "\n", 1, b.lines[j].at, 0);
            continue;
        }
        const std::uint32_t at = textOf(b, r, j);
        const std::int32_t col = j == r.from && r.firstAt != kNone ? 0 : b.lines[j].indent - indent;
        const std::string &key = expandedLine(b, at, b.lines[j].end, col);
        emit(b, TokenKind::Code, key.data(), key.size(), at, b.lines[j].end - at);
    }
}

// The lines from i up to the first blank one (or the region's end) as
// written; returns where they end.
std::size_t verbatimBlock(Builder &b, const Region &r, std::size_t i)
{
    std::size_t j = i;
    while (j < r.to && !blankAt(b, r, j))
        ++j;
    tag(b, "<lines>", textOf(b, r, i));
    verbatimLines(b, r, i, j, r.base);
    tag(b, "</lines>", b.lines[j - 1].end);
    return j;
}

// --- Words ------------------------------------------------------------------

// The words of lines [from, to) of the region, from the first line's text
// at first on, as tokens (comment words with comment). Inside an inline
// literal, or after a backslash, a run of blanks that is more than one
// blank or line break is a token of its own: docutils keeps it.
void words(Builder &b, const Region &r, std::size_t from, std::size_t to, std::uint32_t first, bool comment = false)
{
    const TokenKind kind = comment ? TokenKind::CommentWord : TokenKind::Code;
    bool literal = false, escaped = false;
    for (std::size_t j = from; j < to; ++j) {
        if (blankAt(b, r, j))
            continue;
        const std::uint32_t end = b.lines[j].end;
        std::uint32_t i = j == from ? first : textOf(b, r, j);
        std::uint32_t col = 0;
        for (std::uint32_t k = b.lines[j].at; k < i; ++k)
            col = b.base[k] == '\t' ? (col / 8 + 1) * 8 : col + 1;
        bool firstWord = true;
        while (i < end) {
            const std::uint32_t runCol = col;
            std::uint32_t runFrom = i;
            while (i < end && isBlank(b.base[i])) {
                col = b.base[i] == '\t' ? (col / 8 + 1) * 8 : col + 1;
                ++i;
            }
            if (i == end)
                break;
            // A line break is one blank; so is a single blank inside a line.
            const bool single = firstWord || (i - runFrom == 1 && b.base[runFrom] == ' ');
            if ((literal || escaped) && !single && (j > from || !firstWord))
                tag(b, "<blank " + std::to_string(col - runCol) + ">", runFrom);
            runFrom = i;
            std::size_t ticks = 0;
            while (i < end && !isBlank(b.base[i])) {
                if (b.base[i] == '`' && i + 1 < end && b.base[i + 1] == '`') {
                    ++ticks;
                    ++i;
                    ++col;
                }
                ++i;
                ++col;
            }
            std::size_t backslashes = 0;
            while (i - backslashes > runFrom && b.base[i - backslashes - 1] == '\\')
                ++backslashes;
            emit(b, kind, b.base + runFrom, i - runFrom, runFrom, i - runFrom);
            if (ticks % 2)
                literal = !literal;
            escaped = backslashes % 2 == 1;
            firstWord = false;
        }
    }
}

// True when the text of lines [from, to) ends in "::" that no backslash
// escapes.
bool endsInLiteralMark(const Builder &b, const Region &r, std::size_t from, std::size_t to)
{
    for (std::size_t j = to; j-- > from;) {
        if (blankAt(b, r, j))
            continue;
        const std::uint32_t start = textOf(b, r, j), end = b.lines[j].end;
        if (end - start < 2 || b.base[end - 1] != ':' || b.base[end - 2] != ':')
            return false;
        std::uint32_t k = end - 2, slashes = 0;
        while (k > start && b.base[k - 1] == '\\') {
            --k;
            ++slashes;
        }
        return slashes % 2 == 0;
    }
    return false;
}

// --- Classification of a block's first line ---------------------------------

// The length of the line's adornment (one character repeated, blanks after
// it), or 0 when it is none.
std::uint32_t adornmentLength(const Builder &b, std::uint32_t at, std::uint32_t end)
{
    if (at >= end || !isAdornment(static_cast<unsigned char>(b.base[at])))
        return 0;
    for (std::uint32_t i = at + 1; i < end; ++i)
        if (b.base[i] != b.base[at])
            return 0;
    return end - at;
}

// The columns docutils gives text (East Asian wide characters two, combining
// marks none), or -1 when it holds a character whose width this table does
// not know (past U+10FF).
long columnWidth(const char *p, const char *e)
{
    long width = 0;
    while (p < e) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x80) {
            ++width;
            ++p;
            continue;
        }
        std::uint32_t cp = 0;
        int n = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        cp = c & (0x3F >> n);
        ++p;
        for (; n > 0 && p < e; --n, ++p)
            cp = cp << 6 | (static_cast<unsigned char>(*p) & 0x3F);
        if (cp >= 0x1100)
            return -1;
        if (cp < 0x300 || cp > 0x36F)
            ++width;
    }
    return width;
}

// The end of the field marker at at (":name:" and its blanks), or 0 when
// the line starts with none, as docutils' pattern reads it.
std::uint32_t fieldMarkerEnd(const Builder &b, std::uint32_t at, std::uint32_t end)
{
    if (at + 1 >= end || b.base[at] != ':' || b.base[at + 1] == ':' || b.base[at + 1] == ' ')
        return 0;
    for (std::uint32_t i = at + 1; i < end; ++i) {
        const char c = b.base[i];
        if (c == '\\') {
            ++i;
            continue;
        }
        if (c != ':')
            continue;
        const bool last = i + 1 == end || b.base[i + 1] == ' ' || b.base[i + 1] == '\t';
        if (last) {
            if (b.base[i - 1] == ' ' || b.base[i - 1] == '\t' || i == at + 1)
                return 0;
            std::uint32_t k = i + 1;
            while (k < end && isBlank(b.base[k]))
                ++k;
            return k;
        }
        if (i + 1 < end && b.base[i + 1] == '`')
            return 0;
    }
    return 0;
}

// True when text is a Roman numeral written as docutils writes one (up to
// 4999), in upper case.
bool canonicalRoman(const std::string &text)
{
    static const char *const kOnes[] = {"", "I", "II", "III", "IV", "V", "VI", "VII", "VIII", "IX"};
    static const char *const kTens[] = {"", "X", "XX", "XXX", "XL", "L", "LX", "LXX", "LXXX", "XC"};
    static const char *const kHundreds[] = {"", "C", "CC", "CCC", "CD", "D", "DC", "DCC", "DCCC", "CM"};
    for (int n = 1; n < 5000; ++n) {
        const std::string s = std::string(static_cast<std::size_t>(n / 1000), 'M') + kHundreds[n / 100 % 10] +
                              kTens[n / 10 % 10] + kOnes[n % 10];
        if (s == text)
            return true;
    }
    return false;
}

// The end of the enumerator at at ("3.", "(b)", "iv)", "#.") and its
// blanks, or 0 when the line starts with none docutils reads as one.
std::uint32_t enumeratorEnd(const Builder &b, std::uint32_t at, std::uint32_t end)
{
    std::uint32_t i = at;
    const bool paren = b.base[i] == '(';
    if (paren)
        ++i;
    const std::uint32_t from = i;
    while (i < end && isAlnum(static_cast<unsigned char>(b.base[i])))
        ++i;
    if (i == from && i < end && b.base[i] == '#')
        ++i;
    if (i == from || i >= end)
        return 0;
    const std::string text(b.base + from, i - from);
    const char close = b.base[i];
    if (paren ? close != ')' : close != ')' && close != '.')
        return 0;
    if (++i < end && b.base[i] != ' ' && b.base[i] != '\t')
        return 0;
    bool digits = true, lower = true, upper = true;
    for (char c : text) {
        digits = digits && c >= '0' && c <= '9';
        lower = lower && std::strchr("ivxlcdm", c);
        upper = upper && std::strchr("IVXLCDM", c);
    }
    if (!digits && text != "#" && text.size() > 1) {
        std::string up = text;
        for (char &c : up)
            c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        if (!(lower || upper) || !canonicalRoman(up))
            return 0;
    }
    while (i < end && isBlank(b.base[i]))
        ++i;
    return i;
}

// True when the line at next starts with the enumerator that follows the
// one at [at, after) in its sequence and form (arabic numbers, "#" and
// letters no Roman numeral shares), as docutils reads a list's next item.
bool nextEnumerator(const Builder &b, std::uint32_t at, std::uint32_t after, std::uint32_t next, std::uint32_t end)
{
    const std::uint32_t nextAfter = enumeratorEnd(b, next, end);
    if (nextAfter == 0)
        return false;
    auto spelled = [&b](std::uint32_t from, std::uint32_t to) {
        while (to > from && isBlank(b.base[to - 1]))
            --to;
        return std::string(b.base + from, to - from);
    };
    std::string one = spelled(at, after), two = spelled(next, nextAfter);
    if (one.size() < 2 || two.size() < 2 || (one.front() == '(') != (two.front() == '(') || one.back() != two.back())
        return false;
    const std::size_t from = one.front() == '(' ? 1 : 0;
    const std::string a = one.substr(from, one.size() - from - 1), b2 = two.substr(from, two.size() - from - 1);
    if (a == "#")
        return b2 == "#";
    if (a.size() == 1 && !std::strchr("0123456789ivxlcdmIVXLCDM", a[0]))
        return b2.size() == 1 && b2[0] == a[0] + 1;
    if (a.find_first_not_of("0123456789") != std::string::npos || a.size() > 9 ||
        b2.find_first_not_of("0123456789") != std::string::npos || b2.size() > 9)
        return false;
    return std::stol(b2) == std::stol(a) + 1 && b2[0] != '0';
}

// The end of a bullet at at and its blanks, or 0.
std::uint32_t bulletEnd(const Builder &b, std::uint32_t at, std::uint32_t end)
{
    std::uint32_t i = at;
    const unsigned char c = static_cast<unsigned char>(b.base[i]);
    if (c == '*' || c == '+' || c == '-')
        ++i;
    else if (c == 0xE2 && end - i >= 3 &&
             ((b.base[i + 1] == '\x80' && (b.base[i + 2] == '\xA2' || b.base[i + 2] == '\xA3')) ||
              (b.base[i + 1] == '\x81' && b.base[i + 2] == '\x83')))
        i += 3;
    else
        return 0;
    if (i < end && b.base[i] != ' ' && b.base[i] != '\t')
        return 0;
    while (i < end && isBlank(b.base[i]))
        ++i;
    return i;
}

bool startsWith(const Builder &b, std::uint32_t at, std::uint32_t end, const char *s)
{
    const std::size_t n = std::strlen(s);
    return end - at >= n && std::memcmp(b.base + at, s, n) == 0;
}

// True when the line starts with s followed by a blank or its end.
bool startsWord(const Builder &b, std::uint32_t at, std::uint32_t end, const char *s)
{
    const std::size_t n = std::strlen(s);
    return startsWith(b, at, end, s) && (at + n == end || b.base[at + n] == ' ' || b.base[at + n] == '\t');
}

// True when the line is a border of a simple table: '=' runs and blanks.
bool tableBorder(const Builder &b, std::uint32_t at, std::uint32_t end)
{
    if (at >= end || b.base[at] != '=')
        return false;
    for (std::uint32_t i = at; i < end; ++i)
        if (b.base[i] != '=' && b.base[i] != ' ' && b.base[i] != '\t')
            return false;
    return true;
}

void blocks(Builder &b, const Region &r, bool top);

// A block that holds a region of blocks, between its tags.
void nested(Builder &b, const std::string &open, const char *close, std::uint32_t at, const Region &inner)
{
    tag(b, open, at);
    if (++b.depth > kRstMaxDepth) {
        b.refused = "nested too deep to compare as reStructuredText";
    } else {
        const bool literalNext = b.literalNext;
        b.literalNext = false;
        blocks(b, inner, false);
        b.literalNext = literalNext;
    }
    --b.depth;
    tag(b, close, b.lines[inner.to - 1].end);
}

// A grid table at line i whose grid is regular: every border line has its
// '+' at the same columns and '-' or '=' between them (the first and last
// '-'), every other line its '|' at those columns, all of ASCII without
// tabs, at the region's column, one '=' border at most. Its rows come as "<row>" (after a '='
// border, "<head>" before the rows above it), each cell as "<cell>" and its
// lines past their common indentation, trailing blanks and the blank lines
// at its edges left out, as docutils cuts a cell out: a cell's padding is
// layout, its column's width (in "<grid W W>") is not. Returns where it
// ends, or i when the grid is not regular.
std::size_t gridTable(Builder &b, const Region &r, std::size_t i)
{
    std::size_t end = i;
    while (end < r.to && !blankAt(b, r, end))
        ++end;
    const Line &top = b.lines[i];
    const std::uint32_t width = top.end - top.textAt;
    std::vector<std::uint32_t> &cols = b.columns;
    cols.clear();
    for (std::uint32_t k = 0; k < width; ++k)
        if (b.base[top.textAt + k] == '+')
            cols.push_back(k);
    if (cols.size() < 2 || cols.back() != width - 1 || end - i < 3)
        return i;
    auto border = [&](std::size_t j, char fill) {
        const char *p = b.base + b.lines[j].textAt;
        std::size_t c = 0;
        for (std::uint32_t k = 0; k < width; ++k) {
            const bool corner = c < cols.size() && cols[c] == k;
            if (corner ? p[k] != '+' : p[k] != fill)
                return false;
            c += corner;
        }
        return true;
    };
    int heads = 0;
    for (std::size_t j = i; j < end; ++j) {
        const Line &line = b.lines[j];
        if (relOf(b, r, j) != 0 || line.end - line.textAt != width)
            return i;
        for (std::uint32_t k = line.textAt; k < line.end; ++k)
            if ((b.base[k] & 0x80) || b.base[k] == '\t')
                return i;
        if (b.base[line.textAt] == '+') {
            if (!border(j, '-') && !(j != i && j + 1 != end && border(j, '=') && ++heads == 1))
                return i;
            continue;
        }
        for (std::uint32_t c : cols)
            if (b.base[line.textAt + c] != '|')
                return i;
    }
    if (b.base[b.lines[end - 1].textAt] != '+')
        return i;
    // docutils keeps the columns' widths (a writer may size them so).
    std::string key = "<grid";
    for (std::size_t c = 0; c + 1 < cols.size(); ++c)
        key += " " + std::to_string(cols[c + 1] - cols[c] - 1);
    tag(b, key + ">", top.textAt);
    std::size_t rowTop = i;
    for (std::size_t j = i + 1; j < end; ++j) {
        const char *p = b.base + b.lines[j].textAt;
        if (p[0] != '+')
            continue;
        tag(b, p[1] == '=' ? "<head>" : "<row>", b.lines[rowTop].textAt);
        for (std::size_t c = 0; c + 1 < cols.size(); ++c) {
            tag(b, "<cell>", b.lines[rowTop].textAt + cols[c]);
            // The cell's lines: their common indentation, and blank lines at
            // its edges, left out.
            std::uint32_t indent = UINT32_MAX;
            std::size_t first = j, last = rowTop;
            for (std::size_t k = rowTop + 1; k < j; ++k) {
                const char *q = b.base + b.lines[k].textAt;
                std::uint32_t from = cols[c] + 1, to = cols[c + 1];
                while (to > from && q[to - 1] == ' ')
                    --to;
                std::uint32_t lead = from;
                while (lead < to && q[lead] == ' ')
                    ++lead;
                if (lead == to)
                    continue;
                indent = std::min(indent, lead - from);
                first = std::min(first, k);
                last = k;
            }
            for (std::size_t k = first; k <= last && first < j; ++k) {
                const std::uint32_t at = b.lines[k].textAt + cols[c] + 1 + indent;
                std::uint32_t to = b.lines[k].textAt + cols[c + 1];
                while (to > at && b.base[to - 1] == ' ')
                    --to;
                if (to <= at)
                    emit(b, TokenKind::Code, "\n", 1, at, 0);
                else
                    emit(b, TokenKind::Code, b.base + at, to - at, at, to - at);
            }
        }
        rowTop = j;
    }
    tag(b, "</grid>", b.lines[end - 1].end);
    return end;
}

// A simple table from its top border at i: up to a border line that a
// blank line or the region's end follows, else to the region's end.
std::size_t simpleTable(Builder &b, const Region &r, std::size_t i)
{
    for (std::size_t j = i + 1; j < r.to; ++j) {
        if (blankAt(b, r, j))
            continue;
        if (relOf(b, r, j) < 0)
            break;
        if (tableBorder(b, textOf(b, r, j), b.lines[j].end) && relOf(b, r, j) == 0 &&
            (j + 1 == r.to || blankAt(b, r, j + 1))) {
            tag(b, "<table>", textOf(b, r, i));
            verbatimLines(b, r, i, j + 1, r.base);
            tag(b, "</table>", b.lines[j].end);
            return j + 1;
        }
    }
    // No border ends it: the rest of the region as written, which holds
    // whatever docutils reads as the table and keeps the scans linear.
    std::size_t end = r.to;
    while (end > i + 1 && blankAt(b, r, end - 1))
        --end;
    tag(b, "<lines>", textOf(b, r, i));
    verbatimLines(b, r, i, end, r.base);
    tag(b, "</lines>", b.lines[end - 1].end);
    return end;
}

// --- Directives -------------------------------------------------------------

enum class Body : unsigned char { Lines, Blocks, BlocksAfterArguments, Code };

struct DirectiveKind {
    const char *name;
    Body body;
    bool needsArgument;
    const char *options;  // the options docutils takes, each between blanks
};

// The directives whose bodies docutils reads as reStructuredText, and those
// whose bodies are code.
const DirectiveKind kDirectives[] = {
    {"attention", Body::Blocks, false, " class name "},
    {"caution", Body::Blocks, false, " class name "},
    {"danger", Body::Blocks, false, " class name "},
    {"error", Body::Blocks, false, " class name "},
    {"hint", Body::Blocks, false, " class name "},
    {"important", Body::Blocks, false, " class name "},
    {"note", Body::Blocks, false, " class name "},
    {"tip", Body::Blocks, false, " class name "},
    {"warning", Body::Blocks, false, " class name "},
    {"compound", Body::Blocks, false, " class name "},
    {"epigraph", Body::Blocks, false, " class name "},
    {"highlights", Body::Blocks, false, " class name "},
    {"pull-quote", Body::Blocks, false, " class name "},
    {"admonition", Body::BlocksAfterArguments, true, " class name "},
    {"topic", Body::BlocksAfterArguments, true, " class name "},
    {"sidebar", Body::BlocksAfterArguments, true, " subtitle class name "},
    {"container", Body::BlocksAfterArguments, false, " name "},
    {"figure", Body::BlocksAfterArguments, true, " alt height width scale align target class name figwidth figclass "},
    {"table", Body::BlocksAfterArguments, false, " align width widths class name "},
    {"list-table", Body::BlocksAfterArguments, false, " header-rows stub-columns width widths class name align "},
    {"code", Body::Code, false, " class name number-lines "},
    {"code-block", Body::Code, false, " class name number-lines "},
    {"sourcecode", Body::Code, false, " class name number-lines "},
};

const DirectiveKind *directiveKind(const std::string &name)
{
    for (const DirectiveKind &kind : kDirectives)
        if (name == kind.name)
            return &kind;
    return nullptr;
}

// The end of the directive's name and "::" at at, or 0; name gets the name
// in lower case.
std::uint32_t directiveEnd(const Builder &b, std::uint32_t at, std::uint32_t end, std::string &name)
{
    // docutils' simple names: word characters, one of "-._+:" between them.
    auto word = [&b](std::uint32_t k) {
        const unsigned char c = static_cast<unsigned char>(b.base[k]);
        return isAlnum(c) || c >= 0x80;
    };
    std::uint32_t i = at;
    if (i >= end || !word(i))
        return 0;
    while (i < end) {
        const char c = b.base[i];
        if (word(i) || ((c == '-' || c == '.' || c == '_' || c == '+' || c == ':') && i + 1 < end && word(i + 1)))
            ++i;
        else
            break;
    }
    name.assign(b.base + at, i - at);
    for (char &c : name)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    if (i < end && b.base[i] == ' ')
        ++i;
    if (!startsWith(b, i, end, "::") || (i + 2 < end && b.base[i + 2] != ' ' && b.base[i + 2] != '\t'))
        return 0;
    i += 2;
    while (i < end && isBlank(b.base[i]))
        ++i;
    return i;
}

// The code in b.body as tokens of its language, its comments' words among
// them, as a code sample's comments are shown to the reader (through its
// rules, when the run accepts rewrites they know); false, nothing written,
// when its lexer refuses it.
bool readEmbedded(Builder &b)
{
    const LexOptions options = embeddedOptions(b.options, true, b.options.allow);
    return recordEmbedded(b.store, b.store.embedded, b.embedded, b.body, options, b.bodyLines, 0);
}

// The built language a code directive's argument names (any case), or
// Unknown. reStructuredText is read inside a document's own code only.
Language codeLanguage(const Builder &b, std::string name)
{
    for (char &c : name)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    if (name.empty())
        return Language::Unknown;
    const Language language = languageNamed(name.c_str());
    if (language == Language::Unknown || (language == Language::Rst && b.options.embedded > 0) ||
        !languageBuilt(language))
        return Language::Unknown;
    return language;
}

// A directive's content, lines [from, to) of r: as its language's tokens
// when language is one, else line by line past their least indentation,
// the blank lines before them counted with leadingBlanks.
void codeBody(Builder &b, const Region &r, std::size_t from, std::size_t to, Language language, bool leadingBlanks)
{
    while (from < to && blankAt(b, r, from) && !leadingBlanks)
        ++from;
    while (to > from && blankAt(b, r, to - 1))
        --to;
    if (from == to)
        return;
    const std::int32_t least = leastIndent(b, r, from, to);
    if (language != Language::Unknown) {
        b.embedded = language;
        b.body.clear();
        b.bodyLines.clear();
        for (std::size_t j = from; j < to; ++j) {
            const std::uint32_t at = blankAt(b, r, j) ? b.lines[j].at : textOf(b, r, j);
            const bool flush = blankAt(b, r, j) || (j == r.from && r.firstAt != kNone);
            const std::int32_t col = flush ? 0 : b.lines[j].indent - least;
            b.body += expandedLine(b, at, blankAt(b, r, j) ? at : b.lines[j].end, col);
            b.body.push_back('\n');
            b.bodyLines.push_back(at >= static_cast<std::uint32_t>(col) ? at - static_cast<std::uint32_t>(col) : 0);
        }
        const bool read = readEmbedded(b);
        b.embedded = Language::Unknown;
        if (read)
            return;
    }
    verbatimLines(b, r, from, to, least);
}

// The directive whose text after "::" starts at at on line i, its body the
// region's lines up to end: "<directive name>", its arguments' words, its
// options sorted, then its body.
void directive(Builder &b, const Region &r, std::size_t i, const std::string &name, std::uint32_t at, std::size_t end)
{
    const Region body = bodyOf(b, r, i, at, end);
    // Its head: the lines up to the first blank one; its options from the
    // first line that starts with a field marker.
    // docutils drops a blank first line before it looks for the head.
    const std::size_t first = blankAt(b, body, body.from) ? body.from + 1 : body.from;
    std::size_t head = first, options = kNone;
    for (; head < body.to && !blankAt(b, body, head); ++head)
        if (options == kNone && fieldMarkerEnd(b, textOf(b, body, head), b.lines[head].end) != 0)
            options = head;
    const std::size_t argumentsEnd = options == kNone ? head : options;
    const DirectiveKind *kind = directiveKind(name);
    const bool anyArguments = argumentsEnd > first;
    tag(b, "<directive " + name + ">", textOf(b, r, i));
    // Options: each ":name: value" with its value's words, sorted.
    b.keys.clear();
    bool knownOptions = true;
    for (std::size_t j = options; options != kNone && j < head; ++j) {
        const std::uint32_t from = textOf(b, body, j), lineEnd = b.lines[j].end;
        const std::uint32_t marker = fieldMarkerEnd(b, from, lineEnd);
        if (marker != 0 && (relOf(b, body, j) == 0 || b.keys.empty())) {
            std::uint32_t nameEnd = marker;
            while (nameEnd > from && isBlank(b.base[nameEnd - 1]))
                --nameEnd;
            const std::string option(b.base + from + 1, nameEnd - from - 2);
            if (kind && std::strstr(kind->options, (" " + option + " ").c_str()) == nullptr)
                knownOptions = false;
            b.keys.emplace_back(b.base + from, nameEnd - from);
            for (std::uint32_t k = marker; k < lineEnd;) {
                const std::uint32_t w = k;
                while (k < lineEnd && !isBlank(b.base[k]))
                    ++k;
                b.keys.back() += " " + std::string(b.base + w, k - w);
                while (k < lineEnd && isBlank(b.base[k]))
                    ++k;
            }
            continue;
        }
        // A line of the value before it, or one out of line.
        b.keys.back() += relOf(b, body, j) > 0 ? " " : " <out> ";
        b.keys.back() += std::string(b.base + from, lineEnd - from);
    }
    // A directive docutils reads as reStructuredText is read so only where
    // docutils takes its options and arguments: else line by line.
    const bool blocksBody = kind && knownOptions && (kind->body == Body::Blocks ? !(anyArguments && options != kNone)
                                                     : kind->body == Body::BlocksAfterArguments
                                                         ? anyArguments || !kind->needsArgument
                                                         : false);
    if (!(kind && kind->body == Body::Blocks && blocksBody))
        words(b, body, first, argumentsEnd, first < body.to ? textOf(b, body, first) : 0);
    std::sort(b.keys.begin(), b.keys.end());
    for (const std::string &key : b.keys)
        tag(b, "<option " + key + ">", textOf(b, r, i));
    if (kind && kind->body == Body::Blocks && blocksBody) {
        const Region content = options == kNone ? body : Region{head, body.to, body.base, kNone};
        if (content.from < content.to)
            nested(b, "<body>", "</body>", textOf(b, r, i), content);
    } else if (blocksBody) {
        if (head < body.to)
            nested(b, "<body>", "</body>", textOf(b, r, i), Region{head, body.to, body.base, kNone});
    } else {
        Language language = Language::Unknown;
        if (kind && kind->body == Body::Code && anyArguments && knownOptions) {
            const std::uint32_t from = textOf(b, body, first);
            std::uint32_t k = from;
            while (k < b.lines[first].end && !isBlank(b.base[k]))
                ++k;
            language = codeLanguage(b, std::string(b.base + from, k - from));
        }
        tag(b, "<body>", textOf(b, r, i));
        // docutils quotes a directive it does not know as written, the
        // blank lines before its content among it.
        codeBody(b, body, head, body.to, language, kind == nullptr || !knownOptions);
        tag(b, "</body>", b.lines[end - 1].end);
    }
    tag(b, "</directive>", b.lines[end - 1].end);
}

// An explicit markup block (".. ") at line i: a directive, a substitution
// definition, a footnote or citation, a target or a comment; returns where
// it ends.
std::size_t explicitMarkup(Builder &b, const Region &r, std::size_t i)
{
    const std::uint32_t start = textOf(b, r, i), lineEnd = b.lines[i].end;
    std::uint32_t at = start + 2;
    while (at < lineEnd && isBlank(b.base[at]))
        ++at;
    std::size_t end = indentedEnd(b, r, i);
    std::string name;
    std::uint32_t after;
    if (at == lineEnd && (i + 1 == r.to || blankAt(b, r, i + 1))) {
        tag(b, "<comment>", start);
        return i + 1;
    }
    if (at < lineEnd && b.base[at] == '[') {
        std::uint32_t close = at + 1;
        while (close < lineEnd && b.base[close] != ']' && !isBlank(b.base[close]))
            ++close;
        if (close >= lineEnd || b.base[close] != ']' || close == at + 1 ||
            (close + 1 < lineEnd && b.base[close + 1] != ' ' && b.base[close + 1] != '\t'))
            return verbatimBlock(b, r, i);
        after = close + 1;
        while (after < lineEnd && isBlank(b.base[after]))
            ++after;
        nested(b, "<footnote " + std::string(b.base + at, close + 1 - at) + ">", "</footnote>", start,
               bodyOf(b, r, i, after, end));
        return end;
    }
    if (at < lineEnd && b.base[at] == '_') {
        end = indentedEnd(b, r, i, true);
        tag(b, "<target>", start);
        words(b, r, i, end, at);
        tag(b, "</target>", b.lines[end - 1].end);
        return end;
    }
    if (at < lineEnd && b.base[at] == '|') {
        std::uint32_t close = at + 1;
        while (close < lineEnd && b.base[close] != '|')
            ++close;
        after = close + 1;
        while (after < lineEnd && isBlank(b.base[after]))
            ++after;
        const std::uint32_t rest = close < lineEnd ? directiveEnd(b, after, lineEnd, name) : 0;
        if (rest == 0)
            return verbatimBlock(b, r, i);
        tag(b, "<substitution " + std::string(b.base + at, close + 1 - at) + ">", start);
        directive(b, r, i, name, rest, end);
        return end;
    }
    if ((after = directiveEnd(b, at, lineEnd, name)) != 0) {
        directive(b, r, i, name, after, end);
        return end;
    }
    // A comment: anything else that holds no "::" on its first line.
    for (std::uint32_t k = at; k + 1 < lineEnd; ++k)
        if (b.base[k] == ':' && b.base[k + 1] == ':')
            return verbatimBlock(b, r, i);
    tag(b, "<comment>", start);
    if (b.options.comments)
        words(b, r, i, end, at, true);
    return end;
}

// --- Blocks -----------------------------------------------------------------

// A title at line i, underlined by line i + 1 (overlined too by line i - 1
// when over); returns false when docutils would not read it as one.
bool title(Builder &b, const Region &r, std::size_t i, bool over)
{
    const Line &under = b.lines[i + 1];
    const std::uint32_t length = under.end - under.textAt;
    // An overlined title's inset counts.
    long width = columnWidth(b.base + textOf(b, r, i), b.base + b.lines[i].end);
    if (over && width >= 0)
        width += relOf(b, r, i);
    std::string key = "<h";
    if (over)
        key += " o=" + std::string(1, b.base[b.lines[i - 1].textAt]);
    key += " u=" + std::string(1, b.base[under.textAt]);
    if (width < 0) {
        if (length < 4)
            return false;
        key += " n=" + std::to_string(length);  // its width unknown: its length decides
    } else if (width > static_cast<long>(length)) {
        if (length < 4 || over)
            return false;
        key += " short";
    }
    tag(b, key + ">", textOf(b, r, i));
    words(b, r, i, i + 1, textOf(b, r, i));
    tag(b, "</h>", b.lines[i].end);
    return true;
}

// A block at line i that starts with an adornment line.
std::size_t adornment(Builder &b, const Region &r, std::size_t i, bool top)
{
    const std::uint32_t at = textOf(b, r, i), end = b.lines[i].end;
    const std::uint32_t length = end - at;
    if (top && length >= 4 && (i + 1 == r.to || blankAt(b, r, i + 1))) {
        tag(b, "<hr>", at);
        return i + 1;
    }
    if (top && i + 2 < r.to && !blankAt(b, r, i + 1) && !blankAt(b, r, i + 2) && relOf(b, r, i + 2) == 0 &&
        adornmentLength(b, b.lines[i + 1].textAt, b.lines[i + 1].end) == 0 &&
        end - at == b.lines[i + 2].end - b.lines[i + 2].textAt &&
        std::memcmp(b.base + at, b.base + b.lines[i + 2].textAt, length) == 0 && title(b, r, i + 1, true))
        return i + 3;
    if (b.base[at] == '=')
        return simpleTable(b, r, i);
    return verbatimBlock(b, r, i);
}

// A block of text at line i: a definition list item, a title, or a
// paragraph; returns where it ends.
std::size_t text(Builder &b, const Region &r, std::size_t i, bool top)
{
    const std::uint32_t at = textOf(b, r, i);
    const bool more = i + 1 < r.to && !blankAt(b, r, i + 1);
    if (more && relOf(b, r, i + 1) > 0) {
        const std::size_t end = indentedEnd(b, r, i);
        tag(b, "<dt>", at);
        words(b, r, i, i + 1, at);
        tag(b, "</dt>", b.lines[i].end);
        nested(b, "<dd>", "</dd>", b.lines[i + 1].textAt, Region{i + 1, end, leastIndent(b, r, i + 1, end), kNone});
        return end;
    }
    if (more && adornmentLength(b, b.lines[i + 1].textAt, b.lines[i + 1].end) != 0) {
        if (!top)
            return verbatimBlock(b, r, i);
        if (title(b, r, i, false))
            return i + 2;
        const std::uint32_t length = b.lines[i + 1].end - b.lines[i + 1].textAt;
        if (columnWidth(b.base + at, b.base + b.lines[i].end) < 0 || length >= 4)
            return verbatimBlock(b, r, i);
    }
    std::size_t end = i + 1;
    while (end < r.to && !blankAt(b, r, end) && relOf(b, r, end) == 0)
        ++end;
    tag(b, "<p>", at);
    words(b, r, i, end, at);
    tag(b, "</p>", b.lines[end - 1].end);
    b.literalNext = endsInLiteralMark(b, r, i, end);
    return end;
}

// A literal block: the indented lines from i on, past their least
// indentation, blank lines inside counted.
std::size_t literalBlock(Builder &b, const Region &r, std::size_t i)
{
    const std::size_t end = indentedEnd(b, r, i);
    tag(b, "<pre>", textOf(b, r, i));
    verbatimLines(b, r, i, end, leastIndent(b, r, i, end));
    tag(b, "</pre>", b.lines[end - 1].end);
    return end;
}

// An item whose marker runs from at to after on line i (an enumerator, a
// field's name), between open (written with the marker, its blanks
// trimmed) and close; the indented lines from after on are its body.
// Returns where it ends.
std::size_t markedItem(Builder &b, const Region &r, std::size_t i, std::uint32_t at, std::uint32_t after,
                       const char *open, const char *close)
{
    std::uint32_t e = after;
    while (e > at && isBlank(b.base[e - 1]))
        --e;
    const std::size_t to = indentedEnd(b, r, i);
    nested(b, open + std::string(b.base + at, e - at) + ">", close, at, bodyOf(b, r, i, after, to));
    return to;
}

// The block at line i, which is not blank; returns where it ends.
std::size_t block(Builder &b, const Region &r, std::size_t i, bool top)
{
    const std::uint32_t at = textOf(b, r, i), end = b.lines[i].end;
    const bool literalNext = b.literalNext;
    b.literalNext = false;
    if (relOf(b, r, i) > 0) {
        if (literalNext)
            return literalBlock(b, r, i);
        const std::size_t to = indentedEnd(b, r, i);
        nested(b, "<quote>", "</quote>", at, Region{i, to, leastIndent(b, r, i, to), kNone});
        return to;
    }
    if (literalNext) {
        // No indented block after "::": docutils looks for a quoted one.
        tag(b, "<pre>", at);
        const std::size_t to = verbatimBlock(b, r, i);
        tag(b, "</pre>", b.lines[to - 1].end);
        return to;
    }
    std::uint32_t after;
    if (startsWord(b, at, end, ".."))
        return explicitMarkup(b, r, i);
    if (startsWord(b, at, end, "__")) {
        // An anonymous target.
        const std::size_t to = indentedEnd(b, r, i, true);
        tag(b, "<target>", at);
        words(b, r, i, to, at);
        tag(b, "</target>", b.lines[to - 1].end);
        return to;
    }
    if ((after = bulletEnd(b, at, end)) != 0) {
        const std::size_t to = indentedEnd(b, r, i);
        nested(b, "<li " + std::string(b.base + at, (b.base[at] & 0x80) ? 3 : 1) + ">", "</li>", at,
               bodyOf(b, r, i, after, to));
        return to;
    }
    if ((after = enumeratorEnd(b, at, end)) != 0) {
        if (i + 1 < r.to && !blankAt(b, r, i + 1) && relOf(b, r, i + 1) == 0 &&
            !nextEnumerator(b, at, after, textOf(b, r, i + 1), b.lines[i + 1].end))
            return verbatimBlock(b, r, i);
        return markedItem(b, r, i, at, after, "<enum ", "</enum>");
    }
    if ((after = fieldMarkerEnd(b, at, end)) != 0) {
        return markedItem(b, r, i, at, after, "<field ", "</field>");
    }
    const unsigned char c = static_cast<unsigned char>(b.base[at]);
    const unsigned char next = at + 1 < end ? static_cast<unsigned char>(b.base[at + 1]) : 0;
    // Option lists, doctests, line blocks, grid tables, anonymous targets,
    // and text that starts with ':' (a field marker once re-wrapped): line
    // by line.
    // An option without a description (no two blanks after it, no indented
    // line below) is text to docutils, and so is a line that starts with ':'
    // and no field marker: a title when an adornment follows.
    const bool option = (c == '-' || c == '+' || c == '/') &&
                        (isAlnum(next) || (c == '-' && next == '-' && at + 2 < end &&
                                           isAlnum(static_cast<unsigned char>(b.base[at + 2]))));
    const bool titled = top && i + 1 < r.to && !blankAt(b, r, i + 1) && relOf(b, r, i + 1) == 0 &&
                        adornmentLength(b, b.lines[i + 1].textAt, b.lines[i + 1].end) != 0 &&
                        !findBytes(b.base + at, end - at, "  ", 2) && !findBytes(b.base + at, end - at, "\t", 1);
    if (startsWith(b, at, end, "+-")) {
        const std::size_t to = gridTable(b, r, i);
        if (to != i)
            return to;
    }
    if ((option && !titled) || startsWord(b, at, end, ">>>") ||
        startsWord(b, at, end, "|") || startsWith(b, at, end, "+-") || startsWith(b, at, end, "+=") ||
        (c == ':' && !startsWith(b, at, end, "::") && !titled))
        return verbatimBlock(b, r, i);
    if (adornmentLength(b, at, end) != 0 && !(end - at == 2 && startsWith(b, at, end, "::")))
        return adornment(b, r, i, top);
    if (tableBorder(b, at, end))
        return simpleTable(b, r, i);
    return text(b, r, i, top);
}

// The blocks of the region, "<tight>" before each that no blank line
// parts from the one before.
void blocks(Builder &b, const Region &r, bool top)
{
    bool blank = true;
    std::size_t i = r.from;
    while (i < r.to && !b.refused) {
        if (blankAt(b, r, i)) {
            blank = true;
            ++i;
            continue;
        }
        if (!blank)
            tag(b, "<tight>", textOf(b, r, i));
        blank = false;
        i = block(b, r, i, top);
    }
    if (b.literalNext)
        tag(b, "<no literal>", b.size);
    b.literalNext = false;
}

} // namespace

const char *rstTokens(RstStore &store, const LexOptions &options)
{
    Builder b(store);
    b.base = store.text.data();
    b.size = static_cast<std::uint32_t>(store.text.size());
    b.options = options;
    store.tokens.resize(0);
    store.tokens.reserve(store.text.size() * 2 + 4096);
    if (!indexLines(b))
        return "a line separator other than CR and LF in reStructuredText";
    blocks(b, Region{0, b.lines.size(), 0, kNone}, true);
    return b.refused;
}
