// The Dockerfile part of the language fuzz target. A source the lexer
// reads whole, without parser directives, here-documents or a broken exec
// form, is written out again from its tokens (a keyword at a line's start,
// its words after it), with the layout seed chooses (blanks and tabs between
// words, indentation, a backslash and a line end between two words, blank
// lines and comment lines between instructions, CR LF): each copy must give
// the source's own stream; two words joined must not.
#include "fuzz_lex.h"

namespace {

constexpr std::size_t kNoJoin = static_cast<std::size_t>(-1);

// The tokens written out again with the layout seed chooses (a blank between
// words and a line end after each instruction when varied is false); the
// words at join and join + 1 are written with nothing between them. False
// when a token cannot be written so.
bool write(const std::vector<FuzzTok> &tokens, std::uint32_t seed, bool varied, std::string &out,
           std::size_t join = kNoJoin)
{
    static const char *const between[] = {" ", "\t", "   ", " \\\n  ", " \\\n# c\n\t", "\\  \n "};
    static const char *const lineEnds[] = {"\n", "\r\n", "\n\n", "\n# c\n", "\n  ", "\n"};
    // A byte order mark that the lexer read as a token (it was not first)
    // must not come first, where it is no token at all.
    out = tokens.empty() || tokens[0].key.compare(0, 3, "\xEF\xBB\xBF") != 0 ? "" : "\n";
    bool lineStart = true;
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        const std::string &k = tokens[i].key;
        seed = seed * 1103515245u + 12345u;
        const unsigned pick = (seed >> 16) % 6;
        if (tokens[i].kind == TokenKind::LineEnd) {
            out += varied ? lineEnds[pick] : "\n";
            lineStart = true;
            continue;
        }
        if (tokens[i].kind != TokenKind::Code || k.empty())
            return false;
        const char first = k[0], last = k[k.size() - 1];
        // Marks, bodies, directives, and words that would read otherwise when moved.
        if (first == '\x01' || first == '\n' || first == '#' || first == '\\' || last == '\\' || last == '`' ||
            k.find('`') != std::string::npos)
            return false;
        if (!lineStart)
            out += i == join + 1 ? "" : varied ? between[pick] : " ";
        out += k;
        lineStart = false;
    }
    return true;
}

} // namespace

void fuzzDockerfile(const std::string &source, std::uint8_t seed)
{
    // A CR not before a line feed stays in its token, where a line end
    // written after it would make a CR LF of it.
    for (std::size_t i = source.find('\r'); i != std::string::npos; i = source.find('\r', i + 1))
        if (i + 1 == source.size() || source[i + 1] != '\n')
            return;
    const std::vector<FuzzTok> tokens = fuzzLex(source, Language::Dockerfile);
    std::string text;
    if (fuzzRejected() || startsWithLineToken(tokens) || !write(tokens, 0, false, text))
        return;
    const auto same = [&tokens](const std::string &copy) {
        const std::vector<FuzzTok> again = fuzzLex(copy, Language::Dockerfile);
        return !fuzzRejected() && sameTokens(again, tokens);
    };
    fuzzCheck(same(text), "Dockerfile: the tokens written out again give the stream");
    write(tokens, seed, true, text);
    fuzzCheck(same(text), "Dockerfile: layout changes nothing");
    for (std::size_t i = 1; i + 2 < tokens.size(); ++i) {
        const bool words = tokens[i - 1].kind == TokenKind::Code && tokens[i].kind == TokenKind::Code &&
                           tokens[i + 1].kind == TokenKind::Code && tokens[i].key != "[" && tokens[i + 1].key != "[" &&
                           tokens[i].key[0] != '"' && tokens[i + 1].key[0] != '"' && tokens[i].key[0] != '\'' &&
                           tokens[i + 1].key[0] != '\'' && tokens[i].key != "," && tokens[i + 1].key != "," &&
                           tokens[i].key != "]" && tokens[i + 1].key != "]";
        if (words && (seed & 1)) {
            if (write(tokens, 0, false, text, i))
                fuzzCheck(!same(text), "Dockerfile: two words joined are one");
            break;
        }
    }
}
