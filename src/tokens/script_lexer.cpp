// The JavaScript and TypeScript lexer: not written yet; every source is empty.
#include "tokens/lexer.h"

void scriptStart(Lexer &)
{
}

void scriptNext(Lexer &lx, TokenPiece &piece)
{
    if (lx.mode != LexMode::Finished)
        refill(lx, 0);
    finishStream(lx, piece);
}
