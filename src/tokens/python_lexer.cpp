// The Python lexer: not written yet; every source is empty.
#include "tokens/lexer.h"

void pythonStart(Lexer &)
{
}

void pythonNext(Lexer &lx, TokenPiece &piece)
{
    if (lx.mode != LexMode::Finished)
        refill(lx, 0);
    finishStream(lx, piece);
}
