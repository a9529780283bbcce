// A token stream stored as bytes: the temporary file of a token comparison.
//
// Each piece of a token is one record: a head byte (bits 0-2 the kind, bit 3
// set on a token's first piece, bit 4 on its last), then on a first piece the
// line and the column of the token, then the length of the piece's bytes, all
// three as unsigned LEB128 numbers, then the bytes. The stream ends with the
// record of the End token.
#ifndef MATCHLING_RECORDS_H
#define MATCHLING_RECORDS_H

#include <cstddef>
#include <cstdio>

#include "common/producer.h"
#include "console/spool.h"
#include "tokens/tokens.h"

constexpr std::size_t kRecordHeadSize = 32;      // bytes of a record before its piece bytes, at most
constexpr std::size_t kRecordChunkSize = 65536;  // bytes a reader reads at a time
constexpr std::size_t kShownTokenSize = 72;      // bytes of a token that reports and listings show

// Writes a lexer's stream as records, block by block.
struct TokenWriter {
    Lexer *lexer = nullptr;            // the lexer of the source being written
    LexOptions options;                // how it lexes
    const RunSettings *settings = nullptr;  // switch L lists each token
    Spool *listing = nullptr;          // where the list goes; null for the console
    TokenPiece piece;                  // the piece being written
    char head[kRecordHeadSize];        // its head, encoded
    std::size_t headLength = 0;        // bytes of head still to write, from headStart
    std::size_t headStart = 0;
    std::size_t bytesDone = 0;         // bytes of piece already written
    bool holding = false;              // piece has been taken and is not yet all written
    bool ended = false;                // the End record has been written
};

// The writer as a producer, for lexer under settings (--comments and
// --sorted-includes choose how it lexes).
TextProducer tokenRecords(TokenWriter &w, Lexer &lexer, const RunSettings &settings);

// Reads records back as pieces.
struct TokenReader {
    std::FILE *stream = nullptr;       // the records
    char chunk[kRecordChunkSize];      // bytes read and not yet used
    std::size_t position = 0;          // next unused byte of chunk
    std::size_t end = 0;               // bytes in chunk
    TokenPiece piece;                  // the record being handed out
    std::size_t bytesLeft = 0;         // bytes of its piece still to hand out
    bool inToken = false;              // a token has started and not ended
    bool ended = false;                // the End record, or damage, has been read
};

// Starts reading records from stream.
void tokenReaderStart(TokenReader &r, std::FILE *stream);

// Gives the next piece of the stored stream; End at its end, and after
// anything that is not a record (a damaged file ends the stream there).
void tokenReaderNext(TokenReader &r, TokenPiece &piece);

// Lists piece where listing says (the console when null): its bytes in show
// form, and a line feed after a token's last piece; nothing for End.
void listTokenPiece(const TokenPiece &piece, Spool *listing);

// Writes up to cap bytes of a token's key as reports and listings show it: a
// line feed as the two characters "\n", a zero byte as "\0", all else as it
// stands. Returns how many bytes it wrote; stops before a form that would not fit.
std::size_t showTokenBytes(const char *bytes, std::size_t length, char *out, std::size_t cap);

#endif
