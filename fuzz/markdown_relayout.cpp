// The Markdown part of the language fuzz target. Line ends are layout: a copy
// with CR LF line ends gives the source's own stream (for sources without
// carriage returns, code spans, HTML and fences of '~', where a CR could
// stand as written); a paragraph added at the end of a source without a
// Ctrl-Z or fence always changes the stream.
#include "fuzz_lex.h"

void fuzzMarkdown(const std::string &source, std::uint8_t seed)
{
    const std::vector<FuzzTok> tokens = fuzzLex(source, Language::Markdown);
    // A Ctrl-Z ends the text, and a fence the source leaves open takes what
    // follows it, read by its language (into a comment that never closes).
    if (source.find_first_of("\x1a`~") != std::string::npos)
        return;
    fuzzCheck(!sameTokens(fuzzLex(source + "\n\nzz\n", Language::Markdown), tokens),
              "Markdown: a paragraph added at the end changes the stream");
    if (source.find_first_of(std::string("\r<\0", 3)) != std::string::npos || !(seed & 1))
        return;
    fuzzCheck(sameTokens(fuzzLex(withCrlf(source), Language::Markdown), tokens), "Markdown: CR LF line ends change nothing");
}
