// The HTML part of the language fuzz target. Line ends are layout: a copy
// with CR LF line ends gives the source's own stream (an HTML parser reads a
// CR LF as a line feed, in text, attributes, scripts and comments alike); a
// paragraph added at the end of a source of text alone always changes it.
#include "fuzz_lex.h"

void fuzzHtml(const std::string &source, std::uint8_t seed)
{
    const std::vector<FuzzTok> tokens = fuzzLex(source, Language::Html);
    if (fuzzRejected() || source.find_first_of(std::string("\x1a\r\0", 3)) != std::string::npos)
        return;
    if (source.find_first_of("<&") == std::string::npos)
        fuzzCheck(!sameTokens(fuzzLex(source + "\n<p>zz</p>\n", Language::Html), tokens),
                  "HTML: a paragraph added at the end changes the stream");
    if (!(seed & 1))
        return;
    fuzzCheck(sameTokens(fuzzLex(withCrlf(source), Language::Html), tokens), "HTML: CR LF line ends change nothing");
}
