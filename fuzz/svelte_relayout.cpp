// The Svelte part of the language fuzz target. Svelte drops the whitespace
// at the end of a component: the source with blank lines added there gives
// its own stream (where no pre, textarea or rule that keeps whitespace may
// make the reader keep it, as it does to be safe); an element put before
// the rest always changes it.
#include "fuzz_lex.h"

namespace {

bool mayKeepWhitespace(const std::string &source)
{
    for (const char *s : {"white-space", "<pre", "<textarea", "preserveWhitespace"})
        if (source.find(s) != std::string::npos)
            return true;
    return false;
}

} // namespace

void fuzzSvelte(const std::string &source, std::uint8_t seed)
{
    const std::vector<FuzzTok> tokens = fuzzLex(source, Language::Svelte);
    if (fuzzRejected())
        return;
    if ((seed & 1) && !mayKeepWhitespace(source))
        fuzzCheck(sameTokens(fuzzLex(source + "\n\n", Language::Svelte), tokens),
                  "Svelte: blank lines at the end change nothing");
    const std::vector<FuzzTok> more = fuzzLex("<b>zz</b>\n" + source, Language::Svelte);
    fuzzCheck(fuzzRejected() || !sameTokens(more, tokens), "Svelte: an element put first changes the stream");
}
