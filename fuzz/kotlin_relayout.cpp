// The Kotlin part of the language fuzz target. The source's tokens are
// written out again, a blank between two tokens and a line feed for each
// LineEnd; when that gives the source's own stream:
// - copies laid out otherwise (blanks, tabs, form feeds, block comments
//   with and without line ends inside, between tokens; CR LF, a lone CR,
//   blank lines and line comments for a LineEnd) give it too;
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

constexpr std::size_t kNoJoin = static_cast<std::size_t>(-1);

// The tokens written out again, with the layout that seed chooses (plain
// when varied is false), nothing after token join; false when a token
// cannot be written (a comment word, a rejected source's last piece).
bool write(const std::vector<FuzzTok> &tokens, std::uint32_t seed, bool varied, std::string &out,
           std::size_t join = kNoJoin)
{
    static const char *const blanks[] = {" ", "\t", "\f", " /* c */ ", " /* a\n /* b */\n*/ ", "  ", "\t ", " /**/ "};
    static const char *const lineEnds[] = {"\n", "\r\n", "\r", "\n\n  ", " // c\n", "\n/* c */\n", "\n\t\n", "\r\n\r\n"};
    out.clear();
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        const FuzzTok &t = tokens[i];
        seed = seed * 1103515245u + 12345u;
        if (t.kind == TokenKind::LineEnd) {
            out += varied ? lineEnds[(seed >> 16) & 7] : "\n";
            continue;
        }
        if (t.kind != TokenKind::Code || t.key.find('\x01') != std::string::npos)
            return false;
        out += t.key;
        if (i != join)
            out += varied ? blanks[(seed >> 16) & 7] : " ";
    }
    return true;
}

} // namespace

void fuzzKotlin(const std::string &source, std::uint8_t seed)
{
    const std::vector<FuzzTok> tokens = fuzzLex(source, Language::Kotlin);
    if (fuzzRejected() || startsWithLineToken(tokens))
        return;
    std::string plain, varied;
    if (!write(tokens, 0, false, plain) || !sameTokens(fuzzLex(plain, Language::Kotlin), tokens) || fuzzRejected())
        return;
    fuzzCheck(write(tokens, seed, true, varied) && sameTokens(fuzzLex(varied, Language::Kotlin), tokens),
              "Kotlin: layout changes nothing");
    for (std::size_t i = 0; i + 2 < tokens.size(); ++i) {
        if (isName(tokens[i].key) && isName(tokens[i + 1].key) && (seed & 1)) {
            std::string joined;
            fuzzCheck(write(tokens, 0, false, joined, i) && !sameTokens(fuzzLex(joined, Language::Kotlin), tokens),
                      "Kotlin: joining two names changes the stream");
            break;
        }
    }
}
