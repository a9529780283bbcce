// The GraphQL part of the language fuzz target. The source's tokens are
// written out again with blanks between them, each string as an ordinary
// string of its value; when that gives the source's own stream:
// - copies laid out otherwise (blanks, tabs, line ends of each kind, commas,
//   comments, byte order marks), with some strings written as indented
//   block strings, give it too;
// - joining two adjacent names does not.
#include "fuzz_lex.h"

namespace {

bool isName(const std::string &key)
{
    if (key.empty() || !((key[0] >= 'a' && key[0] <= 'z') || (key[0] >= 'A' && key[0] <= 'Z') || key[0] == '_'))
        return false;
    for (char c : key)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    return true;
}

// An ordinary string of value: quotes and backslashes escaped, control
// bytes as \u escapes, the rest as it stands.
std::string ordinary(const std::string &value)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (char c : value) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            out += std::string("\\") + c;
        else if (u < 0x20)
            out += std::string("\\u00") + hex[u >> 4] + hex[u & 15];
        else
            out += c;
    }
    return out + "\"";
}

// value as a block string, each line indented by indent, when it can be
// written so: empty when not.
std::string block(const std::string &value, const std::string &indent)
{
    if (value.empty() || value.find_first_of("\"\\\r") != std::string::npos)
        return "";
    bool flush = false;  // some line that is not blank starts with no blank
    std::string out = "\"\"\"\n", line;
    std::vector<std::string> lines;
    for (std::size_t i = 0;; ++i) {
        if (i == value.size() || value[i] == '\n') {
            lines.push_back(line);
            line.clear();
            if (i == value.size())
                break;
        } else if (static_cast<unsigned char>(value[i]) < 0x20 && value[i] != '\t') {
            return "";
        } else {
            line += value[i];
        }
    }
    auto blank = [](const std::string &l) { return l.find_first_not_of(" \t") == std::string::npos; };
    if (blank(lines.front()) || blank(lines.back()))
        return "";
    for (const std::string &l : lines) {
        flush = flush || (!blank(l) && l[0] != ' ' && l[0] != '\t');
        out += indent + l + "\n";
    }
    return flush ? out + indent + "\"\"\"" : "";
}

constexpr std::size_t kNoJoin = static_cast<std::size_t>(-1);

// The tokens written out again, with the layout that seed chooses after each
// (a blank when varied is false), nothing after token join; false when a
// token cannot be written (a bad string, a comment word).
bool write(const std::vector<FuzzTok> &tokens, std::uint32_t seed, bool varied, std::string &out,
           std::size_t join = kNoJoin)
{
    static const char *const layouts[] = {" ", "\t", "\n", "\r\n", ",", " # c, \"d\n", "\r", "\xEF\xBB\xBF"};
    out.clear();
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        const std::string &key = tokens[i].key;
        if (tokens[i].kind != TokenKind::Code)
            return false;
        seed = seed * 1103515245u + 12345u;
        if (key.size() >= 2 && key[0] == '"') {
            if (key.back() != '"')
                return false;  // a bad string and the rest
            const std::string value = key.substr(1, key.size() - 2), b = block(value, (seed >> 20) & 1 ? "\t" : "  ");
            out += varied && !b.empty() && (seed >> 21) & 1 ? b : ordinary(value);
        } else {
            out += key;
        }
        if (i != join)
            out += varied ? layouts[(seed >> 16) & 7] : " ";
    }
    return true;
}

} // namespace

void fuzzGraphql(const std::string &source, std::uint8_t seed)
{
    const std::vector<FuzzTok> tokens = fuzzLex(source, Language::Graphql);
    std::string plain, varied;
    if (startsWithLineToken(tokens) || !write(tokens, 0, false, plain) || !sameTokens(fuzzLex(plain, Language::Graphql), tokens))
        return;
    fuzzCheck(write(tokens, seed, true, varied) && sameTokens(fuzzLex(varied, Language::Graphql), tokens),
              "GraphQL: layout changes nothing");
    for (std::size_t i = 0; i + 2 < tokens.size(); ++i) {
        if (isName(tokens[i].key) && isName(tokens[i + 1].key) && (seed & 1)) {
            std::string joined;
            fuzzCheck(write(tokens, 0, false, joined, i) && !sameTokens(fuzzLex(joined, Language::Graphql), tokens),
                      "GraphQL: joining two names changes the stream");
            break;
        }
    }
}
