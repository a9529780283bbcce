// The Markdown part of the language fuzz target. Line ends are layout: a copy
// with CR LF line ends gives the source's own stream (for sources without
// carriage returns, code spans, HTML and fences of '~', where a CR could
// stand as written); a paragraph added at the end always changes the stream.
#include "fuzz_lex.h"

void fuzzMarkdown(const std::string &source, std::uint8_t seed)
{
    const std::vector<FuzzTok> tokens = fuzzLex(source, Language::Markdown);
    fuzzCheck(!sameTokens(fuzzLex(source + "\n\nzz\n", Language::Markdown), tokens),
              "Markdown: a paragraph added at the end changes the stream");
    if (source.find_first_of(std::string("\r`<~\x1a\0", 6)) != std::string::npos || !(seed & 1))
        return;
    std::string crlf;
    for (char c : source) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    fuzzCheck(sameTokens(fuzzLex(crlf, Language::Markdown), tokens), "Markdown: CR LF line ends change nothing");
}
