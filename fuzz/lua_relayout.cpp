// The Lua part of the language fuzz target. The source's tokens are written
// out again with a blank between them; when that gives the source's own
// stream:
// - copies laid out otherwise (blanks, tabs, vertical tabs, form feeds, line
//   ends of each kind, line comments, long comments of two levels) give it
//   too;
// - joining two adjacent names does not.
#include "fuzz_lex.h"

namespace {

bool isName(const std::string &key)
{
    auto letter = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || static_cast<unsigned char>(c) >= 0x80;
    };
    if (key.empty() || !letter(key[0]))
        return false;
    for (char c : key)
        if (!letter(c) && !(c >= '0' && c <= '9'))
            return false;
    return true;
}

constexpr std::size_t kNoJoin = static_cast<std::size_t>(-1);

// The tokens written out again, with the layout that seed chooses after each
// (a blank when varied is false), nothing after token join.
void write(const std::vector<FuzzTok> &tokens, std::uint32_t seed, bool varied, std::string &out,
           std::size_t join = kNoJoin)
{
    static const char *const layouts[] = {" ",       "\t", "\n",        "\r\n", "\r", " -- c --[[\n",
                                          " --[[ c\n]] ", "\v", " --[==[ ]] ]=] ]==] ", "\f\n -- [[\r"};
    out.clear();
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        seed = seed * 1103515245u + 12345u;
        out += tokens[i].key;
        if (i != join)
            out += varied ? layouts[((seed >> 16) & 0xffff) % 10] : " ";
    }
}

} // namespace

void fuzzLua(const std::string &source, std::uint8_t seed)
{
    const std::vector<FuzzTok> tokens = fuzzLex(source, Language::Lua);
    if (fuzzRejected() || tokens.size() < 2 || startsWithLineToken(tokens) || tokens[0].key[0] == '#')
        return;
    std::string plain, varied;
    write(tokens, 0, false, plain);
    if (!sameTokens(fuzzLex(plain, Language::Lua), tokens))
        return;
    write(tokens, seed, true, varied);
    fuzzCheck(sameTokens(fuzzLex(varied, Language::Lua), tokens), "Lua: layout changes nothing");
    for (std::size_t i = 0; i + 2 < tokens.size(); ++i) {
        if (isName(tokens[i].key) && isName(tokens[i + 1].key) && (seed & 1)) {
            std::string joined;
            write(tokens, 0, false, joined, i);
            fuzzCheck(!sameTokens(fuzzLex(joined, Language::Lua), tokens), "Lua: joining two names changes the stream");
            break;
        }
    }
}
