// The INI part of the language fuzz target. A .ini source the lexer reads
// whole is written out again from its tokens (a header or key at a line's
// start, a value after its delimiter, a continued value indented, a blank
// line for each "\n" token), with the layout seed chooses (indentation of
// keys and headers, blanks around delimiters, deeper indentation of
// continued values, CR LF, blank lines and comment lines between entries):
// each copy must give the source's own stream; a key's line joined to the
// line before must not.
#include "fuzz_lex.h"

namespace {

constexpr std::size_t kNoJoin = static_cast<std::size_t>(-1);

// The tokens written out again with the layout seed chooses (none when
// varied is false); the LineEnd at join becomes a blank. False when a token
// cannot be written so (a key that starts with a blank, say).
bool write(const std::vector<FuzzTok> &tokens, std::uint32_t seed, bool varied, std::string &out,
           std::size_t join = kNoJoin)
{
    static const char *const lineEnds[] = {"\n", "\r\n", "\n\n", "\n; c\n", "\n# c\r\n", "\n"};
    static const char *const around[] = {"", " ", "\t", "  ", " \t", ""};
    // A byte order mark that the lexer read as a token (it was not first)
    // must not come first, where it is no token at all.
    out = tokens.empty() || tokens[0].key.compare(0, 3, "\xEF\xBB\xBF") != 0 ? "" : "\n";
    bool lineStart = true;
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        const std::string &k = tokens[i].key;
        seed = seed * 1103515245u + 12345u;
        const unsigned pick = (seed >> 16) % 6;
        if (tokens[i].kind == TokenKind::LineEnd) {
            // A blank line before a continued value is part of it.
            const bool continued = tokens[i + 1].key[0] == '\n';
            out += i == join ? " " : !varied ? "\n" : continued ? lineEnds[pick % 2 + 3] : lineEnds[pick];
            lineStart = i != join;
            continue;
        }
        if (tokens[i].kind != TokenKind::Code || k.empty() || k[0] == ' ' || k[0] == '\t')
            return false;
        if (k == "\n") {
            out += varied && pick % 2 ? "  \n" : "\n";
            continue;
        }
        if (k[0] == '\n') {
            out += "  ";
            out += varied ? around[pick] : "";
            out += k.substr(1);
        } else if (k[0] == '=' || k[0] == ':') {
            out += varied ? around[pick] : "";
            out += k[0];
            out += varied ? around[(pick + 1) % 6] : "";
            out += k.substr(1);
        } else {
            if (!lineStart)
                return false;
            out += k;
        }
        lineStart = false;
    }
    return true;
}

} // namespace

void fuzzIni(const std::string &source, std::uint8_t seed)
{
    const std::vector<FuzzTok> tokens = fuzzLex(source, Language::Ini);
    std::string text;
    if (fuzzRejected() || startsWithLineToken(tokens) || !write(tokens, 0, false, text))
        return;
    const auto same = [&tokens](const std::string &copy) {
        const std::vector<FuzzTok> again = fuzzLex(copy, Language::Ini);
        return !fuzzRejected() && sameTokens(again, tokens);
    };
    fuzzCheck(same(text), "INI: the tokens written out again give the stream");
    write(tokens, seed, true, text);
    fuzzCheck(same(text), "INI: layout changes nothing");
    for (std::size_t i = 0; i + 2 < tokens.size(); ++i) {
        if (tokens[i].kind == TokenKind::LineEnd && tokens[i + 1].key[0] != '\n' && (seed & 1)) {
            if (write(tokens, 0, false, text, i))
                fuzzCheck(!same(text), "INI: two entries on one line are one");
            break;
        }
    }
}
