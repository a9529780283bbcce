// The HTML lexer. gumbo reads a whole document at once, so the start reads
// the source into memory (kHtmlMaxBytes at most: a larger one is refused)
// and turns it into token records (document.cpp, template.cpp); each call of
// next hands out the next record as one whole piece (tokens/records.h).
// Without gumbo the module has no hooks, and the table leaves HTML out of
// token mode.
#include "languages/html/state.h"

void markupStart(Lexer &lx, const char *(*tokens)(HtmlStore &, const LexOptions &), const char *tooLarge)
{
    recordStart<HtmlStore>(lx, kHtmlMaxBytes, tokens, tooLarge);
}

#if MATCHLING_HAVE_GUMBO

namespace {

void htmlStart(Lexer &lx)
{
    markupStart(lx, htmlTokens, "too large to compare as HTML");
}

} // namespace

extern const LexerHooks kHtmlLexer = {htmlStart, htmlNext, htmlRun, nullptr, false, nullptr};

#else

extern const LexerHooks kHtmlLexer = {nullptr, nullptr, nullptr, nullptr, false, nullptr};

#endif
