// A token stream lexed on a thread of its own, so that the two sources of a
// single run are lexed at once.
//
// The thread turns the stream into its key stream: each token as its kind
// byte, its key with every zero byte written as 0x00 0x01, and the two bytes
// 0x00 0x00. Two streams hold the same tokens exactly when their key streams
// are the same bytes, so the comparison is a plain byte comparison, and only
// a difference needs the tokens found again. The key stream goes, batch by
// batch, to the comparison and to the temporary file; each batch keeps the
// places of the tokens that start in it.
#ifndef MATCHLING_TOKEN_PUMP_H
#define MATCHLING_TOKEN_PUMP_H

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "compare/token_compare.h"
#include "tokens/lexer.h"

// A batch ends when its bytes or its places are used up, whichever comes
// first: a place takes 16 bytes, so places for a token every 12 key bytes
// (a common token takes 8) hold a batch's memory to that of its bytes'
// threefold while each hand-over between the threads carries more.
constexpr std::size_t kKeyBatchBytes = 262144;                    // key stream bytes a batch holds
constexpr std::size_t kKeyBatchTokens = kKeyBatchBytes / 12 + 1;  // tokens that can start in a batch
constexpr std::size_t kKeyBatchCount = 2;                         // batches of one stream on their way at once
constexpr std::size_t kShortPiece = 16;                          // pieces up to this long are copied as a fixed block

struct KeyBatch {
    char bytes[kKeyBatchBytes + 2 * kShortPiece];  // the key stream, and room for a block copy or a terminator past it
    std::size_t used = 0;                          // bytes of key stream, kKeyBatchBytes + 2 at most
    TokenPlace places[kKeyBatchTokens];            // the places of the tokens whose kind byte is in this batch
    std::size_t tokens = 0;                        // entries of places in use
    bool carried = false;                          // bytes[0] goes on with a token begun in an earlier batch
    TokenKind carriedKind = TokenKind::Code;       // that token's kind
    TokenPlace carriedPlace;                       // and place
    char carriedShown[kShownTokenSize];            // and first key bytes, as far as earlier batches hold them
    std::size_t carriedShownLength = 0;
};

struct TokenPump {
    Lexer *lexer = nullptr;            // the lexer, started on its source
    TokenPiece first;                  // the piece the lexer gave before the pump started
    std::FILE *output = nullptr;       // where the key stream is written
    KeyBatch batches[kKeyBatchCount];  // filled and taken in turn
    std::mutex mutex;                  // guards the counts and flags below
    std::condition_variable changed;   // a batch was filled or taken, or the pump is to stop
    std::size_t filled = 0;            // batches filled so far
    std::size_t taken = 0;             // batches the comparison is done with
    bool stopping = false;             // the comparison wants no more
    bool ended = false;                // no batch comes after the filled ones
    bool writeFailed = false;          // a write of the stream failed; the pump stopped there
    bool moreAfterFailure = false;     // the source went on past the batch that failed
    std::thread thread;
};

// Starts lexing on a thread: first is the piece lexer already gave; the key
// stream is written to output.
void pumpStart(TokenPump &pump, Lexer &lexer, const TokenPiece &first, std::FILE *output);

// Stops the pump, wherever it is, and waits for its thread.
void pumpStop(TokenPump &pump);

// Compares the key streams of the two pumps as they come. Returns Different
// with c telling where; prints nothing.
Verdict compareKeyStreams(TokenPump (&pumps)[2], TokenCompareState &c);

// A lexer's stream from a piece it already gave.
struct FirstPiece {
    Lexer *lexer = nullptr;
    TokenPiece first;
    bool given = false;
};
RewriteSource firstThenLexer(FirstPiece &from, Lexer &lexer, const TokenPiece &first);

// A stream passed on as it is, its key stream written to output on the way
// (as a pump writes it), kKeyBatchBytes at a time: the temporary files are
// unbuffered, so that each write's failure is seen.
struct KeyWriter {
    PieceSource inner;
    std::FILE *output = nullptr;
    bool failed = false;          // a write failed; nothing more is written
    char held[kKeyBatchBytes];    // key stream not yet written
    std::size_t heldBytes = 0;
};
PieceSource writtenPieces(KeyWriter &writer, PieceSource inner, std::FILE *output);

// Writes what writer still holds; returns false when a write failed.
bool keyWriterFlush(KeyWriter &writer);

// Lists the tokens of the key stream that stream holds, one per line, where
// reports go.
void listKeyStream(std::FILE *stream);

#endif
