// Tokens as reports and listings show them.
#ifndef MATCHLING_SHOW_H
#define MATCHLING_SHOW_H

#include <cstddef>

#include "console/spool.h"
#include "tokens/tokens.h"

constexpr std::size_t kShownTokenSize = 72;  // bytes of a token that a report shows, at most

// Writes up to cap bytes of a token's key as reports and listings show it: a
// line feed as the two characters "\n", a zero byte as "\0", all else as it
// stands. Returns how many bytes it wrote; stops before a form that would not
// fit. out may take 2 * length bytes.
std::size_t showTokenBytes(const char *bytes, std::size_t length, char *out, std::size_t cap);

// Lists piece where listing says (the console when null): its bytes in show
// form, and a line feed after a token's last piece; nothing for End.
void listTokenPiece(const TokenPiece &piece, Spool *listing);

// lexerNext, each last piece with its end (TokenPiece::end): for the reports,
// which read a token's spelling from its source again.
void spelledNext(Lexer &lexer, TokenPiece &piece);

#endif
