// The Go part of the language fuzz target. The source's tokens are written
// out again, each semicolon written, with blanks between them; when that gives
// the source's own stream, copies laid out otherwise (tabs, block comments
// anywhere, line ends and line comments only after tokens that insert no
// semicolon) must give it too, and joining a name with the name or number
// after it must not.
#include <cstring>

#include "fuzz_lex.h"

namespace {

bool isNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

bool isKeyword(const std::string &k)
{
    static const char *const words[] = {"break", "case", "chan", "const", "continue", "default", "defer", "else",
                                        "fallthrough", "for", "func", "go", "goto", "if", "import", "interface",
                                        "map", "package", "range", "return", "select", "struct", "switch", "type",
                                        "var"};
    for (const char *w : words)
        if (k == w)
            return true;
    return false;
}

// True when a line end after the token with key k inserts a semicolon.
bool insertsSemicolon(const std::string &k)
{
    if (k.empty())
        return false;
    if (isNameStart(k[0]))
        return !isKeyword(k) || k == "break" || k == "continue" || k == "fallthrough" || k == "return";
    char c = k[0];
    return (c >= '0' && c <= '9') || c == '.' || c == '"' || c == '\'' || c == '`' || k == ")" || k == "]" ||
           k == "}" || k == "++" || k == "--";
}

// The layout after a token: choice picks it, lineEnd allows a line end.
const char *layout(unsigned choice, bool lineEnd)
{
    static const char *const anywhere[] = {" ", "\t", " /* c */ ", "\r "};
    static const char *const withLineEnd[] = {"\n", " // c\n", " /* a\nb */ ", "\r\n\n"};
    return lineEnd && (choice & 4) ? withLineEnd[choice & 3] : anywhere[choice & 3];
}

constexpr std::size_t kNoJoin = static_cast<std::size_t>(-1);

// The tokens written out again, with the layout that seed chooses after each
// (a blank when varied is false), and nothing after token join; a line end
// after a directive made of a line comment, which the rest of its line would
// go on. A directive made of a comment inserts no semicolon of its own: a
// line end after it does what one after the token before it would.
std::string write(const std::vector<FuzzTok> &tokens, std::uint32_t seed, bool varied, std::size_t join = kNoJoin)
{
    std::string out;
    bool inserts = false;
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        const std::string &key = tokens[i].key;
        out += key;
        seed = seed * 1103515245u + 12345u;
        const bool comment = key.compare(0, 2, "//") == 0 || key.compare(0, 2, "/*") == 0;
        inserts = comment ? inserts : insertsSemicolon(key);
        // A directive made of a line comment (a build constraint) is read
        // where it starts its line: no comment goes before it there.
        const bool directiveNext = tokens[i + 1].key.compare(0, 2, "//") == 0;
        if (key.compare(0, 2, "//") == 0)
            out += "\n";
        else if (i != join)
            out += varied && !directiveNext ? layout(seed >> 16, !inserts) : " ";
    }
    return out;
}

} // namespace

void fuzzGo(const std::string &source, std::uint8_t seed)
{
    const std::vector<FuzzTok> tokens = fuzzLex(source, Language::Go);
    // Sources whose tokens do not stand alone (an unterminated literal or
    // comment, a stray byte) are only lexed.
    if (endsInComment(tokens) || !sameTokens(fuzzLex(write(tokens, 0, false), Language::Go), tokens))
        return;
    fuzzCheck(sameTokens(fuzzLex(write(tokens, seed, true), Language::Go), tokens),
              "Go: layout where the language allows it changes nothing");
    for (std::size_t i = 0; i + 2 < tokens.size(); ++i) {
        const std::string &a = tokens[i].key, &b = tokens[i + 1].key;
        bool nameThenWord = !a.empty() && !b.empty() && isNameStart(a[0]) &&
                            (isNameStart(b[0]) || (b[0] >= '0' && b[0] <= '9'));
        if (nameThenWord && (seed & 1)) {
            fuzzCheck(!sameTokens(fuzzLex(write(tokens, 0, false, i), Language::Go), tokens),
                      "Go: joining two words changes the stream");
            break;
        }
    }
}
