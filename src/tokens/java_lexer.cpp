// The Java lexer: not written yet; every source is empty.
#include "tokens/lexer.h"

void javaStart(Lexer &)
{
}

void javaNext(Lexer &lx, TokenPiece &piece)
{
    if (lx.mode != LexMode::Finished)
        refill(lx, 0);
    finishStream(lx, piece);
}
