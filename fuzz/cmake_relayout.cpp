// The CMake part of the language fuzz target. The source's tokens are written
// out again as invocations: no layout between a name and its '(', a blank
// between arguments, a line end after each invocation; when that gives the
// source's own stream, copies laid out otherwise (blanks, line ends, line and
// bracket comments, CR LF) must give it too, and joining two unquoted
// arguments must not.
#include "fuzz_lex.h"

namespace {

constexpr std::size_t kNoJoin = static_cast<std::size_t>(-1);

bool isParen(const FuzzTok &t)
{
    return t.key == "(" || t.key == ")";
}

// An unquoted argument: not a quoted or bracket one, no parenthesis, no mark.
bool isUnquoted(const FuzzTok &t)
{
    return !t.key.empty() && t.key[0] != '"' && t.key[0] != '[' && t.key[0] != '<' && !isParen(t);
}

// The tokens written out again with the layout that seed chooses (the plain
// one when varied is false), and nothing between argument join and the next.
std::string write(const std::vector<FuzzTok> &tokens, std::uint32_t seed, bool varied, std::size_t join = kNoJoin)
{
    static const char *const beforeParen[] = {"", " ", "\t", "  ", "\r", "", " \t", ""};
    static const char *const between[] = {" ", "\n", "\t", " # c\n", " #[[c\n]] ", "\r\n  ", " #[=[]]]=]\n", "\n\n"};
    static const char *const after[] = {"\n", " # c\n", "\n\n", " #[[c]]\n", "\r\n", "\t\n#[==[\n]==]\n", "\n", "\n"};
    std::string out;
    std::uint64_t depth = 0;
    bool name = true, open = false;  // the next token is a name; the token after a name
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        const FuzzTok &t = tokens[i];
        seed = seed * 1103515245u + 12345u;
        const unsigned choice = varied ? (seed >> 16) & 7 : 0;
        out += t.key;
        if (name) {
            out += beforeParen[choice];
            name = false;
            open = true;
        } else if (open) {
            open = false;
            out += between[choice];
        } else if (t.key == ")" && depth == 0) {
            out += after[choice];
            name = true;
        } else {
            depth += t.key == "(";
            depth -= t.key == ")";
            if (i != join)
                out += between[choice];
        }
    }
    return out;
}

} // namespace

void fuzzCMake(const std::string &source, std::uint8_t seed)
{
    const std::vector<FuzzTok> tokens = fuzzLex(source, Language::CMake);
    if (startsWithLineToken(tokens))
        return;
    // Sources with a mark (a parse error, an argument touching the one before
    // it) are only lexed.
    for (const FuzzTok &t : tokens)
        if (t.key == "<parse error>" || t.key == "<no separation>")
            return;
    if (!sameTokens(fuzzLex(write(tokens, 0, false), Language::CMake), tokens))
        return;
    fuzzCheck(sameTokens(fuzzLex(write(tokens, seed, true), Language::CMake), tokens),
              "CMake: layout changes nothing");
    for (std::size_t i = 0; i + 2 < tokens.size(); ++i) {
        if (isUnquoted(tokens[i]) && isUnquoted(tokens[i + 1]) && i > 1 && (seed & 1)) {
            fuzzCheck(!sameTokens(fuzzLex(write(tokens, 0, false, i), Language::CMake), tokens),
                      "CMake: joining two arguments changes the stream");
            break;
        }
    }
}
