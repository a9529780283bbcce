// The JSON part of the language fuzz target. The source's tokens are written
// out again with blanks between them; when that gives the source's own
// stream, copies laid out otherwise (blanks, tabs, line ends, comments of
// either kind) must give it too, and joining two words (names or numbers)
// must not.
#include "fuzz_lex.h"

namespace {

bool isWordStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
           static_cast<unsigned char>(c) >= 0x80;
}

constexpr std::size_t kNoJoin = static_cast<std::size_t>(-1);

// The tokens written out again, with the layout that seed chooses after each
// (a blank when varied is false), and nothing after token join.
std::string write(const std::vector<FuzzTok> &tokens, std::uint32_t seed, bool varied, std::size_t join = kNoJoin)
{
    static const char *const layouts[] = {" ", "\t", "\n", "\r\n", " /* c\n */ ", " // c\n", "\n\n  ", " /**/ "};
    std::string out;
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        out += tokens[i].key;
        seed = seed * 1103515245u + 12345u;
        if (i != join)
            out += varied ? layouts[(seed >> 16) & 7] : " ";
    }
    return out;
}

} // namespace

void fuzzJson(const std::string &source, std::uint8_t seed)
{
    const std::vector<FuzzTok> tokens = fuzzLex(source, Language::Json);
    // Sources whose tokens do not stand alone (an unterminated string or
    // comment) are only lexed.
    if (endsInComment(tokens) || !sameTokens(fuzzLex(write(tokens, 0, false), Language::Json), tokens))
        return;
    fuzzCheck(sameTokens(fuzzLex(write(tokens, seed, true), Language::Json), tokens),
              "JSON: layout changes nothing");
    for (std::size_t i = 0; i + 2 < tokens.size(); ++i) {
        const std::string &a = tokens[i].key, &b = tokens[i + 1].key;
        if (!a.empty() && !b.empty() && isWordStart(a[0]) && isWordStart(b[0]) && (seed & 1)) {
            fuzzCheck(!sameTokens(fuzzLex(write(tokens, 0, false, i), Language::Json), tokens),
                      "JSON: joining two words changes the stream");
            break;
        }
    }
}
