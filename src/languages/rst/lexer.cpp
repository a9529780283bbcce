// The reStructuredText lexer. Its blocks are known only once their lines
// are (an underline, the indentation after a line), so the start reads the
// source into memory (kRstMaxBytes at most: a larger one is refused) and
// turns it into token records (document.cpp); each call of next hands out
// the next record as one whole piece (tokens/records.h).
#include "languages/rst/state.h"

namespace {

void rstStart(Lexer &lx)
{
    recordStart<RstStore>(lx, kRstMaxBytes, rstTokens, "too large to compare as reStructuredText");
}

} // namespace

extern const LexerHooks kRstLexer = {rstStart, recordNext, recordRun, nullptr, false, nullptr};
