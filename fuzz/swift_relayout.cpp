// The Swift part of the language fuzz target. For a source the lexer reads
// whole (neither rejected nor refused):
// - the same source with each line that holds a byte moved right by a few
//   blanks (multi-line strings with their closing delimiters, so their value
//   stays) gives its own stream, unless an extended regular expression may
//   span lines there (its lines are its text);
// - a blank between two names made wider gives it too, and joining the
//   two names does not.
#include "fuzz_lex.h"

namespace {

bool isName(const std::string &key)
{
    if (key.empty() || (key[0] >= '0' && key[0] <= '9'))
        return false;
    for (char c : key)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    return true;
}

// source with blanks put at the start of each line that is not empty (after
// a byte order mark on the first).
std::string shifted(const std::string &source, std::uint8_t seed)
{
    const std::string indent((seed & 3) + 1, (seed & 4) ? '\t' : ' ');
    const bool mark = source.compare(0, 3, "\xEF\xBB\xBF") == 0;  // a byte order mark stays first
    std::string out = mark ? source.substr(0, 3) : "";
    bool lineStart = true;
    for (char c : mark ? source.substr(3) : source) {
        if (lineStart && c != '\n' && c != '\r')
            out += indent;
        out += c;
        lineStart = c == '\n';
    }
    return out;
}

} // namespace

void fuzzSwift(const std::string &source, std::uint8_t seed)
{
    const std::vector<FuzzTok> tokens = fuzzLex(source, Language::Swift);
    if (fuzzRejected() || tokens.empty() || startsWithLineToken(tokens))
        return;
    // A refused source ends early: its stream stops before the source's end.
    for (const FuzzTok &t : tokens)
        if (t.kind == TokenKind::Code && (t.key.compare(0, 2, "#/") == 0 || t.key.compare(0, 3, "##/") == 0 ||
                                          t.key.find('\r') != std::string::npos))
            return;
    const std::vector<FuzzTok> again = fuzzLex(source + "\n", Language::Swift);
    if (!sameTokens(again, tokens))
        return;  // refused (the stream stopped short), or a last line that a line end changes
    const std::vector<FuzzTok> moved = fuzzLex(shifted(source, seed), Language::Swift);
    fuzzCheck(fuzzRejected() || sameTokens(moved, tokens), "Swift: lines moved right change nothing");
    std::vector<std::size_t> lineStarts{0};
    for (std::size_t i = 0; i < source.size(); ++i)
        if (source[i] == '\n')
            lineStarts.push_back(i + 1);
    for (std::size_t k = 0; k + 2 < tokens.size(); ++k) {
        const FuzzTok &a = tokens[k], &b = tokens[k + 1];
        if (a.kind != TokenKind::Code || b.kind != TokenKind::Code || !isName(a.key) || !isName(b.key) ||
            a.place.line != b.place.line || b.place.column != a.place.column + static_cast<std::int64_t>(a.key.size()) + 1)
            continue;
        const std::size_t gap = lineStarts[a.place.line - 1] + a.place.column - 1 + a.key.size();
        if (gap >= source.size() || source[gap] != ' ')
            continue;
        std::string wider = source, joined = source;
        wider.insert(gap, (seed & 8) ? "\t " : "  ");
        joined.erase(gap, 1);
        fuzzCheck(sameTokens(fuzzLex(wider, Language::Swift), tokens), "Swift: a wider blank changes nothing");
        fuzzCheck(!sameTokens(fuzzLex(joined, Language::Swift), tokens), "Swift: joining two names changes the stream");
        break;
    }
}
