// The Ruby part of the language fuzz target. Where a token follows a blank
// on its line, that blank is layout: a copy with one more blank before each
// such token must give the source's own stream, and one with the blanks
// between two adjacent names taken out must not.
#include "fuzz_lex.h"

namespace {

bool isNameByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// A name or keyword spelled as written, all of it name bytes.
bool isPlainName(const std::string &key)
{
    if (key.empty() || (key[0] >= '0' && key[0] <= '9'))
        return false;
    for (char c : key)
        if (!isNameByte(c))
            return false;
    return true;
}

// The text offset of each line's start.
std::vector<std::size_t> lineStarts(const std::string &text)
{
    std::vector<std::size_t> starts{0};
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n')
            starts.push_back(i + 1);
    return starts;
}

std::size_t offsetOf(const std::vector<std::size_t> &starts, TokenPlace place)
{
    return starts[static_cast<std::size_t>(place.line - 1)] + static_cast<std::size_t>(place.column - 1);
}

} // namespace

void fuzzRuby(const std::string &source, std::uint8_t seed)
{
    const std::vector<FuzzTok> tokens = fuzzLex(source, Language::Ruby);
    if (fuzzRejected() || source.find('\0') != std::string::npos || source.find('\r') != std::string::npos)
        return;
    const std::vector<std::size_t> starts = lineStarts(source);
    // One blank more before each token (seed: a space or a tab) that stands
    // after a blank.
    std::string wider;
    std::size_t from = 0;
    for (std::size_t k = 0; k + 1 < tokens.size(); ++k) {
        const std::size_t at = offsetOf(starts, tokens[k].place);
        if (at < from || at == 0 || at > source.size() || (source[at - 1] != ' ' && source[at - 1] != '\t'))
            continue;
        wider.append(source, from, at - from);
        wider += (seed >> (k & 7)) & 1 ? '\t' : ' ';
        from = at;
    }
    wider.append(source, from, std::string::npos);
    fuzzCheck(sameTokens(tokens, fuzzLex(wider, Language::Ruby)), "a blank more before a token changed the stream");
    // Two names on one line with only blanks between them, joined.
    for (std::size_t k = 0; k + 2 < tokens.size(); ++k) {
        const FuzzTok &a = tokens[k], &b = tokens[k + 1];
        if (a.kind != TokenKind::Code || b.kind != TokenKind::Code || !isPlainName(a.key) || !isPlainName(b.key) ||
            a.place.line != b.place.line)
            continue;
        const std::size_t end = offsetOf(starts, a.place) + a.key.size(), next = offsetOf(starts, b.place);
        if (end >= next || next > source.size() || source.compare(offsetOf(starts, a.place), a.key.size(), a.key) != 0)
            continue;
        if (source.find_first_not_of(" \t", end) != next)
            continue;
        const std::string joined = source.substr(0, end) + source.substr(next);
        const std::vector<FuzzTok> other = fuzzLex(joined, Language::Ruby);
        fuzzCheck(fuzzRejected() || !sameTokens(tokens, other), "two names joined gave the same stream");
        break;
    }
}
