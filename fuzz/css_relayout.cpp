// The CSS part of the language fuzz target (CSS, SCSS and Less). The
// source's tokens are written out again, each blank token as a blank and an
// empty comment between the others; when that gives the source's own stream,
// copies whose blanks are other layout (tabs, line ends, comments beside
// them) must give it too, and taking out a blank between two words (names,
// numbers, hashes) must not.
#include "fuzz_lex.h"

namespace {

bool isWordByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '#' || c == '$' || c == '@' || static_cast<unsigned char>(c) >= 0x80;
}

constexpr std::size_t kNoJoin = static_cast<std::size_t>(-1);

// The tokens written out again: a blank token as the layout seed chooses (a
// blank when varied is false; nothing at join), an empty comment between two
// other tokens.
std::string write(const std::vector<FuzzTok> &tokens, std::uint32_t seed, bool varied, std::size_t join = kNoJoin)
{
    static const char *const blanks[] = {" ", "\t", "\n", "\r\n", " /* c\n */ ", "\n\n  ", " /**/ ", "\f"};
    std::string out;
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        if (tokens[i].key == " ") {
            seed = seed * 1103515245u + 12345u;
            if (i != join)
                out += varied ? blanks[(seed >> 16) & 7] : " ";
            else
                out += "/**/";
            continue;
        }
        out += tokens[i].key;
        if (i + 2 < tokens.size() && tokens[i + 1].key != " ")
            out += "/**/";
    }
    return out;
}

} // namespace

void fuzzCss(const std::string &source, std::uint8_t seed)
{
    static const Language kDialects[] = {Language::Css, Language::Scss, Language::Less};
    const Language language = kDialects[seed % 3];
    const std::vector<FuzzTok> tokens = fuzzLex(source, language);
    // Sources that do not read (an unterminated string or comment) are only
    // lexed, and so are those holding a '/' token, which an empty comment
    // after it would make a "//" comment in SCSS and Less.
    if (endsInComment(tokens))
        return;
    for (const FuzzTok &t : tokens)
        if (!t.key.empty() && (t.key.back() == '/' || t.key.back() == '\\'))
            return;
    if (!sameTokens(fuzzLex(write(tokens, 0, false), language), tokens))
        return;
    fuzzCheck(sameTokens(fuzzLex(write(tokens, seed, true), language), tokens), "CSS: layout changes nothing");
    for (std::size_t i = 1; i + 2 < tokens.size(); ++i) {
        const std::string &a = tokens[i - 1].key, &b = tokens[i + 1].key;
        if (tokens[i].key == " " && !a.empty() && !b.empty() && isWordByte(a.back()) && isWordByte(b[0])) {
            fuzzCheck(!sameTokens(fuzzLex(write(tokens, 0, false, i), language), tokens),
                      "CSS: joining two words changes the stream");
            break;
        }
    }
}
