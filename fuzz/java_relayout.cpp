// The Java part of the language fuzz target: the tokens written out again with
// other layout (blanks, line ends, CR LF, comments between every two tokens,
// a line end first after a literal that may be unterminated) lex to the same
// stream; two adjacent names written without the blank between them do not.
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

bool isName(const std::string &key)
{
    if (key.empty() || (byteClass(key[0]) & kDigit))
        return false;
    for (char c : key)
        if (!(byteClass(c) & kNameC))
            return false;
    return true;
}

// Layout between two tokens: a blank first, then more where the language
// allows it; a line end first after a literal, which may be unterminated.
std::string layout(Chooser &choose, const std::string &before)
{
    static const char *const kLayout[] = {" ", "\t", "\n", "\r\n", "\f", "/* c */", "// c\n", "/** d\n * e */", "\r"};
    std::string s = !before.empty() && (before[0] == '"' || before[0] == '\'') ? "\n" : (choose.next(2) ? " " : "\t");
    for (unsigned k = choose.next(4); k > 0; --k)
        s += kLayout[choose.next(9)];
    return s + " ";
}

} // namespace

void fuzzJava(const std::string &source, std::uint8_t seed)
{
    const std::vector<FuzzTok> tokens = fuzzLex(source, Language::Java);
    // A text block whose content, its trailing blanks gone, ends in a quote
    // or a backslash has a key that does not read back as the same text block
    // (the key stays distinct from every other text block's).
    for (const FuzzTok &t : tokens)
        if (t.key.size() >= 7 && t.key.compare(0, 3, "\"\"\"") == 0 &&
            (t.key[t.key.size() - 4] == '"' || t.key[t.key.size() - 4] == '\\'))
            return;
    Chooser choose{seed};
    std::string text;
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        text += layout(choose, i > 0 ? tokens[i - 1].key : "");
        starts.push_back(text.size());
        text += tokens[i].key;
    }
    fuzzCheck(sameTokens(fuzzLex(text, Language::Java), tokens), "re-laid-out Java tokens lex the same");
    for (std::size_t i = 0; i + 2 < tokens.size(); ++i) {
        if (!isName(tokens[i].key) || !isName(tokens[i + 1].key))
            continue;
        std::string joined = text.substr(0, starts[i] + tokens[i].key.size()) + text.substr(starts[i + 1]);
        fuzzCheck(!sameTokens(fuzzLex(joined, Language::Java), tokens), "joined Java names lex differently");
        break;
    }
}
