#include "normalize/line_rules.h"

#include <cstring>

namespace {

inline void setLength(Line &line, std::size_t length)
{
    line.length = length;
    line.text[length] = '\0';
}

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}


// Most lines hold no '/' at all, and no comment rule acts on such a line.
inline bool hasSlash(const char *t, std::size_t len)
{
    return std::memchr(t, '/', len) != nullptr;
}

// Removes every space, tab, CR and LF.
inline void squeezeLine(Line &line)
{
    setLength(line, squeezeLayout(line.text, line.text, line.length));
}

} // namespace

std::size_t remove_lb_and_tabs(Line &line)
{
    // Indentation is layout, never content.
    std::size_t n = 0;
    while (n < line.length && isBlank(line.text[n]))
        ++n;
    if (n > 0) {
        std::memmove(line.text, line.text + n, line.length - n);
        setLength(line, line.length - n);
    }
    return n;
}

void remove_tb(Line &line, bool trimLineFeeds)
{
    // Trailing blanks are layout; the line feed stays unless asked, so that the
    // comment rules still see where the line ended.
    if (line.length == 0)
        return;
    std::size_t p = line.length - 1;
    if (trimLineFeeds)
        while (p > 0 && (isBlank(line.text[p]) || line.text[p] == '\n'))
            --p;
    else
        while (p > 0 && isBlank(line.text[p]))
            --p;
    setLength(line, p + 1);
}

namespace {

// stripCComments for a line known to hold a '/'.
bool stripSlashedComments(Line &line)
{
    char *t = line.text;
    std::size_t len = line.length;
    // A line that is all comment carries nothing.
    if (len >= 2 && t[0] == '/' && t[1] == '/')
        return true;
    if (len >= 2 && t[0] == '/' && t[1] == '*') {
        // The closing '/' may follow the opening '*' at once: "/*/".
        for (const char *p = t + 2; (p = static_cast<const char *>(std::memchr(p, '/', t + len - p))); ++p)
            if (p[-1] == '*')
                return true;
    }
    // Otherwise only the rightmost comment goes: a "//" comment, or a
    // "/* ... */" pair that closes on this line.
    for (std::size_t pos = len - (len > 0); pos > 0; --pos) {
        if (t[pos] != '/')
            continue;
        if (t[pos - 1] == '/') {
            // The last character stays, so a line feed still ends the line.
            t[pos - 1] = t[len - 1];
            setLength(line, pos);
            return false;
        }
        if (t[pos - 1] == '*') {
            for (std::size_t q = pos; q > 0; --q) {
                if (t[q] == '*' && t[q - 1] == '/') {
                    std::memmove(t + q - 1, t + pos + 1, len - pos - 1);
                    setLength(line, len - (pos + 1 - (q - 1)));
                    return false;
                }
            }
            return false;
        }
    }
    return false;
}

} // namespace

bool stripCComments(Line &line)
{
    if (!hasSlash(line.text, line.length))
        return false;
    return stripSlashedComments(line);
}

void removeWhiteSpace(Line &line)
{
    // Layout of any kind must not make two sources differ.
    squeezeLine(line);
}

std::size_t findLineComment(const Line &line)
{
    const char *t = line.text;
    if (!hasSlash(t, line.length))
        return 0;
    bool inQuotes = false;
    for (std::size_t pos = line.length - (line.length > 0); pos > 0; --pos) {
        if (t[pos] == '"')
            inQuotes = !inQuotes;
        else if (!inQuotes && t[pos] == '/' && t[pos - 1] == '/')
            return pos - 1;
    }
    return 0;
}

void cutLineComment(Line &line)
{
    // A "//" comment left after the other rules, outside a string, goes too.
    std::size_t cut = findLineComment(line);
    if (cut > 0)
        setLength(line, cut);
}

bool normalizeLine(Line &line, const RunSettings &flags, SourceClass sourceClass)
{
    // Most lines hold no '/', and the comment rules leave such a line as it is;
    // the blank rules only take away what removeWhiteSpace takes anyway. So for
    // them the whole sequence comes to removeWhiteSpace alone.
    if (!flags.handleComments || !hasSlash(line.text, line.length)) {
        squeezeLine(line);
        return false;
    }
    remove_lb_and_tabs(line);
    remove_tb(line, flags.trimLineFeeds);
    // The blank rules leave every '/' in place.
    if (sourceClass == SourceClass::CFamily && stripSlashedComments(line))
        return true;
    removeWhiteSpace(line);
    cutLineComment(line);
    return false;
}
