// The Rust part of the language fuzz target. Properties: the tokens written
// out again with any blanks, line ends and comments (nested and doc comments
// too) between them lex to the same stream; in that text, two adjacent names
// with what stands between them taken out lex to a different stream.
#include "fuzz_lex.h"

namespace {

// Layout choices from a seed byte.
struct Chooser {
    std::uint32_t state;
    unsigned next(unsigned n)
    {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % n;
    }
};

// Layout between two tokens: a blank first, so that no comment marker or
// token joins the token before.
std::string layout(Chooser &choose)
{
    static const char *const kLayout[] = {" ", "\t", "\n", "\r\n", "\f", "/* a /* b */ c */",
                                          "// d\n", "/// e\n", "/**/", "/*! f */", "\v"};
    std::string s = choose.next(2) ? " " : "\t";
    for (unsigned k = choose.next(4); k > 0; --k)
        s += kLayout[choose.next(sizeof kLayout / sizeof kLayout[0])];
    return s;
}

bool isName(const std::string &key)
{
    if (key.empty() || (byteClass(key[0]) & kDigit))
        return false;
    for (char c : key)
        if (!(byteClass(c) & kNameB))
            return false;
    return true;
}

// True when the character literal in key, its opening quote at q, has its
// closing quote, then only a suffix.
bool closedLiteral(const std::string &key, std::size_t q)
{
    std::size_t i = q + 1;
    while (i < key.size() && key[i] != '\'')
        i += key[i] == '\\' ? 2 : 1;
    if (i >= key.size())
        return false;
    for (++i; i < key.size(); ++i)
        if (!(byteClass(key[i]) & kNameB))
            return false;
    return true;
}

// False when the token with key cannot be written out again as it stands
// with layout after it: a character literal that stops short of its closing
// quote (it would take the layout in), a key holding a CR LF (its CR was
// dropped once already), or a byte order mark that would start the text.
bool staysAsItIs(const std::string &key, bool first)
{
    std::size_t q = key.rfind('\'', 1);
    bool quoted = q != std::string::npos && (q == 0 || key[0] == 'b');
    bool lifetime = q == 0 && key.size() > 1 && key.back() != '\'' && !(byteClass(key[1]) & kDigit) &&
                    ((byteClass(key[1]) & kNameB) || key.compare(1, 2, "r#") == 0);
    if (quoted && !lifetime && !closedLiteral(key, q))
        return false;
    if (key.find("\r\n") != std::string::npos)
        return false;
    return !(first && key.compare(0, 3, "\xef\xbb\xbf") == 0);
}

} // namespace

void fuzzRust(const std::string &source, std::uint8_t seed)
{
    // One seed in eight puts blanks first, so that the tokens stand across
    // the end of the lexer's first window (and the other seven run fast).
    const std::size_t padding = (seed & 7) == 1 ? kLexWindowSize - 64 + seed / 4 : 0;
    const std::vector<FuzzTok> tokens = fuzzLex(std::string(padding, ' ') + source, Language::Rust);
    if (startsWithLineToken(tokens))
        return;
    Chooser choose{seed};
    std::string text(padding / 2, '\n');
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        if (!staysAsItIs(tokens[i].key, i == 0))
            return;
        if (i > 0 || padding > 0)
            text += layout(choose);
        starts.push_back(text.size());
        text += tokens[i].key;
    }
    fuzzCheck(sameTokens(tokens, fuzzLex(text, Language::Rust)), "written out with other layout: same stream");
    for (std::size_t i = 0; i + 2 < tokens.size(); ++i) {
        if (!isName(tokens[i].key) || !isName(tokens[i + 1].key))
            continue;
        std::string joined = text.substr(0, starts[i] + tokens[i].key.size()) + text.substr(starts[i + 1]);
        fuzzCheck(!sameTokens(tokens, fuzzLex(joined, Language::Rust)), "two names joined: a different stream");
        return;
    }
}
