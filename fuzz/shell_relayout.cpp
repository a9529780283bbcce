// The shell part of the language fuzz target. Blank lines and a comment line
// before the source, or after a source that ends in a line end, change
// nothing; a line end put between two words of a command, or two words
// joined, always changes the stream. A source that starts with a "#!" line
// keeps it first: blanks after its "#!" and at its end change nothing, a
// byte more on it does.
#include "fuzz_lex.h"

void fuzzShell(const std::string &source, std::uint8_t seed)
{
    static const char *const layouts[] = {"\n", "\n\n", "# c\n", "  # c \\\n\n", "\t\n# $(x\n"};
    const std::vector<FuzzTok> tokens = fuzzLex(source, Language::Shell);
    const char *layout = layouts[seed % 5];
    if (startsWithLineToken(tokens)) {
        // The "#!" line, as the kernel reads it: blanks after "#!" and at its
        // end change nothing, a byte more does (where no CR or Ctrl-Z, which
        // ends the input, stands in it).
        const std::size_t lf = source.find('\n');
        const std::size_t end = lf == std::string::npos ? source.size() : lf;
        const std::string line = source.substr(0, end), rest = source.substr(end);
        if (line.compare(0, 2, "#!") == 0 && line.find_first_of(std::string("\r\x1a", 2)) == std::string::npos) {
            fuzzCheck(sameTokens(fuzzLex("#! \t" + line.substr(2) + " \t" + rest, Language::Shell), tokens),
                      "shell: blanks around the #! line's text");
            fuzzCheck(!sameTokens(fuzzLex(line + "x" + rest, Language::Shell), tokens), "shell: a byte more on the #! line");
        }
        return;
    }
    fuzzCheck(sameTokens(fuzzLex(layout + source, Language::Shell), tokens), "shell: layout before the source");
    // An unreadable source gives a LineEnd token, then the rest of the file as written.
    bool readable = true;
    for (const FuzzTok &t : tokens)
        readable = readable && t.kind != TokenKind::LineEnd;
    if (readable && !source.empty() && source.back() == '\n' && !(source.size() >= 2 && source[source.size() - 2] == '\\'))
        fuzzCheck(sameTokens(fuzzLex(source + layout, Language::Shell), tokens), "shell: layout after the source");
    fuzzCheck(!sameTokens(fuzzLex("echo a\nb\n" + source, Language::Shell),
                          fuzzLex("echo a b\n" + source, Language::Shell)),
              "shell: a line end between two words");
    fuzzCheck(!sameTokens(fuzzLex("echo ab\n" + source, Language::Shell),
                          fuzzLex("echo a b\n" + source, Language::Shell)),
              "shell: two words joined");
}
