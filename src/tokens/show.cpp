#include "tokens/show.h"

#include <cstring>

#include "console/console.h"
#include "tokens/lexer.h"

std::size_t showTokenBytes(const char *bytes, std::size_t length, char *out, std::size_t cap)
{
    std::size_t k = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = bytes[i];
        if (c != '\n' && c != '\0') {
            if (k + 1 > cap)
                break;
            out[k++] = c;
            continue;
        }
        if (k + 2 > cap)
            break;
        out[k++] = '\\';
        out[k++] = c == '\n' ? 'n' : '0';
    }
    return k;
}

void listTokenPiece(const TokenPiece &piece, Spool *listing)
{
    if (piece.kind == TokenKind::End)
        return;
    char shown[2 * kShownTokenSize];
    for (std::size_t at = 0; at < piece.length;) {
        const std::size_t take = piece.length - at < kShownTokenSize ? piece.length - at : kShownTokenSize;
        const std::size_t n = showTokenBytes(piece.bytes + at, take, shown, sizeof shown);
        listing ? spoolWrite(*listing, shown, n) : consoleText(shown, n);
        at += take;
    }
    if (piece.last)
        listing ? spoolWrite(*listing, "\n", 1) : consoleText("\n", 1);
}

void spelledNext(Lexer &lexer, TokenPiece &piece)
{
    lexerNext(lexer, piece);
    // The sorted-import layer keeps the end of each token it holds.
    if (!lexer.sorting)
        piece.end = lexer.endPlace;
}
