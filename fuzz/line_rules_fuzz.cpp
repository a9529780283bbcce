// Fuzz target: any bytes as one line, through the line rules under every
// combination of switches B and C and both source classes.
//
// Input: one byte of mode bits (1: B, 2: C, 4: Basic), then the line.
// Properties checked, beyond the sanitizers:
// - the normalized line is never longer than the line read, is zero-terminated
//   and holds no space, tab, carriage return or line feed;
// - it is a subsequence of the line read: the rules only take bytes away;
// - only the C comment rules skip a line, and normalizeLine gives what the
//   rules applied one at a time give;
// - with C off it is the line with its whitespace removed; with C on in a
//   Basic source it is that text cut at its last "//" outside double quotes;
// - remove_tb keeps the first character and leaves a prefix of the line.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "normalize/line_rules.h"

namespace {

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

bool isLayout(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string withoutLayout(const std::string &s)
{
    std::string out;
    for (char c : s)
        if (!isLayout(c))
            out += c;
    return out;
}

// The rightmost "//" outside double quotes, the quote state counted from the
// end; the pair at the very start counts as none.
std::string cutAtLineComment(const std::string &s)
{
    bool inQuotes = false;
    for (std::size_t pos = s.size(); pos-- > 1;) {
        if (s[pos] == '"')
            inQuotes = !inQuotes;
        else if (!inQuotes && s[pos] == '/' && s[pos - 1] == '/')
            return pos - 1 > 0 ? s.substr(0, pos - 1) : s;
    }
    return s;
}

// The rules one at a time, in their order: what normalizeLine, with whatever
// shortcuts it takes, must agree with.
int stepByStep(Line &line, const RunSettings &flags, SourceClass sourceClass)
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

bool isSubsequence(const char *small, std::size_t n, const std::string &big)
{
    std::size_t j = 0;
    for (std::size_t i = 0; i < big.size() && j < n; ++i)
        if (big[i] == small[j])
            ++j;
    return j == n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    RunSettings flags;
    flags.trimLineFeeds = data[0] & 1;
    flags.handleComments = (data[0] >> 1) & 1;
    SourceClass sourceClass = (data[0] & 4) ? SourceClass::Basic : SourceClass::CFamily;
    std::size_t length = size - 1;
    if (length > kLineCapacity)
        length = kLineCapacity;
    const std::string input(reinterpret_cast<const char *>(data + 1), length);

    // An exact-size buffer, so that the sanitizer sees any byte written past the zero.
    char *text = static_cast<char *>(std::malloc(length + 1));
    std::memcpy(text, input.data(), length);
    text[length] = '\0';
    Line line = {text, length};
    int skipped = normalizeLine(line, flags, sourceClass);

    check(!skipped || (flags.handleComments && sourceClass == SourceClass::CFamily), "only C comments skip");
    if (!skipped) {
        check(line.length <= length, "never longer");
        check(line.text == text && text[line.length] == '\0', "zero-terminated in place");
        for (std::size_t i = 0; i < line.length; ++i)
            check(!isLayout(text[i]), "no layout bytes");
        check(isSubsequence(text, line.length, input), "subsequence of the input");
        std::string got(text, line.length);
        if (!flags.handleComments)
            check(got == withoutLayout(input), "C off: whitespace removed only");
        else if (sourceClass == SourceClass::Basic)
            check(got == cutAtLineComment(withoutLayout(input)), "Basic: whitespace removed, then the cut");
    }

    // The same line through the rules one at a time.
    char *copy = static_cast<char *>(std::malloc(length + 1));
    std::memcpy(copy, input.data(), length);
    copy[length] = '\0';
    Line stepped = {copy, length};
    int steppedSkip = stepByStep(stepped, flags, sourceClass);
    check(steppedSkip == skipped, "skipped as the rules one at a time skip");
    check(skipped || std::string(copy, stepped.length) == std::string(text, line.length),
          "the text the rules one at a time leave");
    std::free(copy);

    // The trailing-blank rule alone.
    std::memcpy(text, input.data(), length);
    text[length] = '\0';
    line = {text, length};
    remove_tb(line, flags.trimLineFeeds);
    check(line.length <= length && text[line.length] == '\0', "remove_tb shortens");
    check(length == 0 || line.length >= 1, "remove_tb keeps the first character");
    check(std::memcmp(text, input.data(), line.length) == 0, "remove_tb leaves a prefix");
    std::free(text);
    return 0;
}
