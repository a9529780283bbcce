// The reStructuredText part of the language fuzz target. Line ends and
// trailing blanks are layout: a copy with CR LF line ends, or with blanks
// after each line, gives the source's own stream (for sources without
// carriage returns); a paragraph added at the end of a source without a
// Ctrl-Z always changes the stream.
#include "fuzz_lex.h"

void fuzzRst(const std::string &source, std::uint8_t seed)
{
    const std::vector<FuzzTok> tokens = fuzzLex(source, Language::Rst);
    if (fuzzRejected() || source.find_first_of("\x1a\r") != std::string::npos)
        return;
    const std::vector<FuzzTok> added = fuzzLex(source + "\n\nzz\n", Language::Rst);
    fuzzCheck(fuzzRejected() || !sameTokens(added, tokens),
              "reStructuredText: a paragraph added at the end changes the stream");
    std::string copy;
    for (char c : source) {
        if (c == '\n')
            copy += seed & 1 ? "\r" : " \t ";
        copy += c;
    }
    fuzzCheck(sameTokens(fuzzLex(copy, Language::Rst), tokens),
              "reStructuredText: CR LF line ends and trailing blanks change nothing");
}
