// The Markdown lexer. cmark-gfm reads a whole document at once, so the start
// reads the source into memory (kMarkdownMaxBytes at most: a larger one is
// refused) and turns it into token records (document.cpp); each call of next
// hands out the next record as one whole piece (tokens/records.h). Without
// cmark-gfm (the Windows build) the module has no hooks, and the table
// leaves Markdown out of token mode.
#include "languages/markdown/state.h"

#if MATCHLING_HAVE_CMARK_GFM

namespace {

void markdownStart(Lexer &lx)
{
    MarkdownStore *store = new MarkdownStore;
    const bool read = recordRead(lx, store, kMarkdownMaxBytes) && markdownTokens(*store, lx.options);
    recordReady(lx, read ? nullptr : "too large to compare as Markdown");
}

} // namespace

extern const LexerHooks kMarkdownLexer = {markdownStart, recordNext, recordRun, nullptr, false, nullptr};

#else

extern const LexerHooks kMarkdownLexer = {nullptr, nullptr, nullptr, nullptr, false, nullptr};

#endif
