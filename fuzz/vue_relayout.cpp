// The Vue part of the language fuzz target. Blank lines after the last
// block are layout: the source with them added gives its own stream; a
// block put before the others always changes it.
#include "fuzz_lex.h"

void fuzzVue(const std::string &source, std::uint8_t seed)
{
    const std::vector<FuzzTok> tokens = fuzzLex(source, Language::Vue);
    if (fuzzRejected())
        return;
    if (seed & 1)
        fuzzCheck(sameTokens(fuzzLex(source + "\n\n", Language::Vue), tokens), "Vue: blank lines at the end change nothing");
    const std::vector<FuzzTok> more = fuzzLex("<docs>zz</docs>\n" + source, Language::Vue);
    fuzzCheck(fuzzRejected() || !sameTokens(more, tokens), "Vue: a block put first changes the stream");
}
