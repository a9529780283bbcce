// The JavaScript and TypeScript part of the language fuzz target. The source
// is lexed as JavaScript, TypeScript or TSX (seed chooses); as TypeScript
// (no JSX text, whose blanks count) its tokens are written out on one line,
// and where that lexes back to the same stream:
// - line ends put after tokens that leave an operand expected ('(', '[', ',',
//   '=', "&&", ';' ...), where no semicolon can be inserted, never change it;
// - joining two adjacent names always does.
#include "fuzz_lex.h"

namespace {

// True when a line end after key leaves an operand expected or a statement open.
bool opensLine(const std::string &key)
{
    static const char *const keys[] = {"(", "[", ",", "=", "+=", "&&", "||", "??", ";", "+", "*", "?", ":"};
    for (const char *k : keys)
        if (key == k)
            return true;
    return false;
}

bool isName(const std::string &key)
{
    if (key.empty() || (key[0] >= '0' && key[0] <= '9'))
        return false;
    for (char c : key)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    return true;
}

} // namespace

void fuzzScript(const std::string &source, std::uint8_t seed)
{
    static const Language languages[] = {Language::JavaScript, Language::TypeScript, Language::Tsx};
    std::vector<FuzzTok> tokens = fuzzLex(source, languages[seed % 3]);
    if (seed % 3 != 1)
        return;
    std::string line;
    for (const FuzzTok &t : tokens)
        if (t.kind == TokenKind::Code)
            line += t.key + " ";
        else if (t.kind != TokenKind::End)
            return;  // line ends of a source past its nesting: no single line for it
    std::vector<FuzzTok> one = fuzzLex(line, Language::TypeScript);
    if (!sameTokens(tokens, one))
        return;  // an unterminated literal or the like: the line reads otherwise
    std::string broken, joined;
    bool didJoin = false;
    unsigned bits = seed;
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        const std::string &key = tokens[i].key;
        bits = bits * 1103515245u + 12345u;
        bool lineEnd = opensLine(key) && (bits >> 16) % 2 == 0;
        broken += key + (lineEnd ? "\n" : " ");
        bool join = !didJoin && isName(key) && i + 2 < tokens.size() && isName(tokens[i + 1].key);
        joined += key + (join ? "" : " ");
        didJoin = didJoin || join;
    }
    fuzzCheck(sameTokens(one, fuzzLex(broken, Language::TypeScript)),
              "line ends where no semicolon can be inserted change nothing");
    if (didJoin)
        fuzzCheck(!sameTokens(one, fuzzLex(joined, Language::TypeScript)), "joining two names changes the stream");
}
