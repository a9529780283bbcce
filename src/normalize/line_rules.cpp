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

void remove_tb(Line &line, int trimLineFeeds)
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

int stripCComments(Line &line)
{
    char *t = line.text;
    std::size_t len = line.length;
    // A line that is all comment carries nothing.
    if (len >= 2 && t[0] == '/' && t[1] == '/')
        return 1;
    if (len >= 2 && t[0] == '/' && t[1] == '*') {
        for (std::size_t i = 1; i + 1 < len; ++i)
            if (t[i] == '*' && t[i + 1] == '/')
                return 1;
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
            return 0;
        }
        if (t[pos - 1] == '*') {
            for (std::size_t q = pos; q > 0; --q) {
                if (t[q] == '*' && t[q - 1] == '/') {
                    std::memmove(t + q - 1, t + pos + 1, len - pos - 1);
                    setLength(line, len - (pos + 1 - (q - 1)));
                    return 0;
                }
            }
            return 0;
        }
    }
    return 0;
}

void removeWhiteSpace(Line &line)
{
    // Layout of any kind must not make two sources differ.
    char *t = line.text;
    std::size_t out = 0;
    for (std::size_t i = 0; i < line.length; ++i) {
        char c = t[i];
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            t[out++] = c;
    }
    setLength(line, out);
}

std::size_t findLineComment(const Line &line)
{
    const char *t = line.text;
    int inQuotes = 0;
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

int normalizeLine(Line &line, const RunSettings &flags, SourceClass sourceClass)
{
    remove_lb_and_tabs(line);
    remove_tb(line, flags.trimLineFeeds);
    if (flags.handleComments && sourceClass == SourceClass::CFamily && stripCComments(line))
        return 1;
    removeWhiteSpace(line);
    if (flags.handleComments)
        cutLineComment(line);
    return 0;
}
