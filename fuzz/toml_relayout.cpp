// The TOML part of the language fuzz target. A source the lexer reads whole
// is written out again from its tokens, keys and strings as basic strings,
// commas put back between the values of arrays and the pairs of inline
// tables: that text must give the source's own stream, and so must copies
// laid out otherwise (blanks, tabs, CR LF, blank lines and comments between
// pairs, line ends and comments inside arrays); joining two pairs on one
// line must not.
#include "fuzz_lex.h"

namespace {

constexpr std::size_t kNoJoin = static_cast<std::size_t>(-1);

// value as a basic string.
std::string quoted(const std::string &value)
{
    static const char hex[] = "0123456789abcdef";
    std::string out = "\"";
    for (char c : value) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u == 0x7f) {
            out += "\\u00";
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// The tokens written out again, with the layout that seed chooses after each
// (a blank, and a line end after a LineEnd, when varied is false), and a blank
// for the LineEnd join; false when a token cannot be written as TOML (one
// compared as written).
bool write(const std::vector<FuzzTok> &tokens, std::uint32_t seed, bool varied, std::string &out,
           std::size_t join = kNoJoin)
{
    static const char *const lineEnds[] = {"\n", "\n\n", " # c\n", "\r\n", "\n  \t", "\t#\n\n"};
    static const char *const inArray[] = {" ", "\t", "\n", " # c\n", "\r\n", "  "};
    std::string open;         // '[' of each open array, '{' of each open inline table
    bool header = false;      // inside a header's brackets
    bool valueEnded = false;  // the last token ended a value
    out.clear();
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        const std::string &k = tokens[i].key;
        seed = seed * 1103515245u + 12345u;
        const unsigned pick = (seed >> 16) % 6;
        if (tokens[i].kind == TokenKind::LineEnd) {
            out += i == join ? " " : varied ? lineEnds[pick] : "\n";
            continue;
        }
        if (tokens[i].kind != TokenKind::Code || k.empty() || k[0] == '~')
            return false;
        const bool closes = (k == "]" || k == "}") && !header;
        if (!open.empty() && valueEnded && !closes)
            out += ',';
        if ((k == "[" || k == "[[") && (i == 0 || tokens[i - 1].kind == TokenKind::LineEnd)) {
            header = true;
            out += k;
        } else if ((k == "]" || k == "]]") && header) {
            header = false;
            out += k;
        } else if (k == "[" || k == "{") {
            open += k[0];
            out += k;
            valueEnded = false;
        } else if (closes) {
            if (open.empty())
                return false;
            open.pop_back();
            out += k;
            valueEnded = true;
        } else if (k == "." || k == "=") {
            out += k;
            valueEnded = false;
        } else {
            const std::string &next = tokens[i + 1].key;
            out += k[0] == '"' && k.size() >= 2 ? quoted(k.substr(1, k.size() - 2)) : k;
            valueEnded = !header && next != "." && next != "=";
        }
        const bool lines = !header && !open.empty() && open.back() == '[';
        out += !varied ? " " : lines ? inArray[pick] : pick % 2 ? "\t" : " ";
    }
    return true;
}

} // namespace

void fuzzToml(const std::string &source, std::uint8_t seed)
{
    const std::vector<FuzzTok> tokens = fuzzLex(source, Language::Toml);
    std::string text;
    if (fuzzRejected() || startsWithLineToken(tokens) || !write(tokens, 0, false, text))
        return;
    const auto same = [&tokens](const std::string &copy) {
        const std::vector<FuzzTok> again = fuzzLex(copy, Language::Toml);
        return !fuzzRejected() && sameTokens(again, tokens);
    };
    fuzzCheck(same(text), "TOML: the tokens written out again give the stream");
    write(tokens, seed, true, text);
    fuzzCheck(same(text), "TOML: layout changes nothing");
    for (std::size_t i = 0; i + 2 < tokens.size(); ++i) {
        if (tokens[i].kind == TokenKind::LineEnd && (seed & 1)) {
            write(tokens, 0, false, text, i);
            fuzzCheck(!same(text), "TOML: two pairs on one line are no TOML");
            break;
        }
    }
}
