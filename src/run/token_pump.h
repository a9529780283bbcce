// A token stream lexed on a thread of its own, so that the two sources of a
// run are lexed at once: the lexer's pieces go to the comparison in batches,
// and are written out as they go, one token per line, to a temporary file.
#ifndef MATCHLING_TOKEN_PUMP_H
#define MATCHLING_TOKEN_PUMP_H

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "compare/token_compare.h"
#include "tokens/lexer.h"

constexpr std::size_t kBatchBytes = 65536;  // bytes of token keys a batch holds
constexpr std::size_t kBatchPieces = 8192;  // pieces a batch holds
constexpr std::size_t kBatchCount = 4;      // batches of one stream on their way at once

constexpr std::size_t kShortPiece = 16;      // pieces up to this long are copied as a fixed-size block

struct TokenBatch {
    char bytes[kBatchBytes + kShortPiece];  // the pieces' bytes, back to back, and room for a block copy past them
    TokenPiece pieces[kBatchPieces];        // the pieces, pointing into bytes
    std::size_t count = 0;                  // pieces in use
    std::size_t used = 0;                   // bytes in use
    char shown[2 * kBatchBytes + 3 * kBatchPieces + kShortPiece];  // the batch as the temporary file holds it
};

struct TokenPump {
    Lexer *lexer = nullptr;            // the lexer, started on its source
    TokenPiece first;                  // the piece the lexer gave before the pump started
    std::FILE *output = nullptr;       // where the stream is written, one token per line
    TokenBatch batches[kBatchCount];   // filled and taken in turn
    std::mutex mutex;                  // guards the counts and flags below
    std::condition_variable changed;   // a batch was filled or taken, or the pump is to stop
    std::size_t filled = 0;            // batches filled so far
    std::size_t taken = 0;             // batches the comparison is done with
    bool stopping = false;             // the comparison wants no more
    bool ended = false;                // no batch comes after the filled ones
    bool writeFailed = false;          // a write of the stream failed; the pump stopped there
    bool moreAfterFailure = false;     // the source went on past the batch that failed
    std::size_t reading = 0;           // the comparison's next piece in batch taken
    bool holding = false;              // the comparison holds batch taken
    std::thread thread;
};

// Starts lexing on a thread: first is the piece lexer already gave; the
// stream is written to output.
void pumpStart(TokenPump &pump, Lexer &lexer, const TokenPiece &first, std::FILE *output);

// The pump's stream, for the comparison: End after the last piece, and at
// once when the pump stopped on a failure.
PieceSource pumpPieces(TokenPump &pump);

// Stops the pump, wherever it is, and waits for its thread.
void pumpStop(TokenPump &pump);

#endif
