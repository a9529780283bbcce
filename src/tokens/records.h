// Token records: the store of a module that reads its whole source at once
// (through a library, or by its blocks, which are known only once their
// lines are), turns it into records at its start, and hands out one record
// a piece. The module's writer appends the records (recordRoom, addRecord);
// recordNext and recordRun, its LexerHooks' next and run, read them back.
#ifndef MATCHLING_TOKENS_RECORDS_H
#define MATCHLING_TOKENS_RECORDS_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "common/byte_buffer.h"
#include "tokens/lexer.h"

// A record is a token: its kind (1 byte, kRecordZeroByte added when its key
// holds a zero byte, kRecordNoted when a note follows the head), the offset
// of its first byte in text and the bytes its spelling spans there (a token
// the reader supplies, as a structure token, spans none), the length of its
// key (4 bytes each); then, when noted, the rewrites undone there (2 bytes),
// their fingerprints, one per rewrite, and the text offset of the first (4
// bytes each; RewriteNote: code read by its language passes through that
// language's rules with --allow); then the key.
constexpr std::size_t kRecordHead = 13;                       // bytes of a record before its key
constexpr unsigned char kRecordZeroByte = 0x80;               // in a record's kind byte: its key holds a zero byte
constexpr unsigned char kRecordNoted = 0x40;                  // in a record's kind byte: a note follows the head
constexpr std::size_t kRecordNoteBytes = 2 + 4 * kNoteKinds + 4;  // bytes of a record's note

// The document and its token records, owned through Lexer::store; a module
// derives its own store from it.
struct RecordStore : LanguageStore {
    ByteBuffer text;                        // the document as read, a byte order mark aside
    ByteBuffer tokens;                      // the token records, in stream order
    std::vector<std::uint32_t> lineStarts;  // the text offset of each line's first byte
};

// The lexer state of a module that hands out records.
struct RecordLexState {
    RecordStore *store = nullptr;  // Lexer::store's
    std::size_t next = 0;          // offset of the next record in store->tokens
    std::size_t line = 0;          // the index in store->lineStarts of the line of the last place
};

// --- Writing ----------------------------------------------------------------

// Room in tokens for a record of a key of length bytes, with a note when
// noted (the rewrites undone there, the first at text offset noteAt), its
// head written; returns where its key goes.
inline char *recordRoom(ByteBuffer &tokens, TokenKind kind, std::size_t length, std::uint32_t at,
                        std::uint32_t spans, const RewriteNote *noted = nullptr, std::uint32_t noteAt = 0)
{
    const std::size_t note = noted ? kRecordNoteBytes : 0;
    char *p = tokens.grow(kRecordHead + note + length);
    const std::uint32_t keyLength = static_cast<std::uint32_t>(length);
    p[0] = static_cast<char>(static_cast<unsigned char>(kind) | (noted ? kRecordNoted : 0));
    std::memcpy(p + 1, &at, 4);
    std::memcpy(p + 5, &spans, 4);
    std::memcpy(p + 9, &keyLength, 4);
    if (noted) {
        std::memcpy(p + kRecordHead, &noted->kinds, 2);
        std::memcpy(p + kRecordHead + 2, noted->prints, 4 * kNoteKinds);
        std::memcpy(p + kRecordHead + 2 + 4 * kNoteKinds, &noteAt, 4);
    }
    return p + kRecordHead + note;
}

// True when the word v holds a zero byte.
inline bool zeroByteIn(std::uint64_t v)
{
    return ((v - 0x0101010101010101ull) & ~v & 0x8080808080808080ull) != 0;
}

// Copies the n bytes at key (sizeof(Word) to twice that) to p as two Words
// that overlap, and tells whether they hold a zero byte.
template <typename Word>
inline bool copyEnds(char *p, const char *key, std::size_t n)
{
    Word a, b;
    std::memcpy(&a, key, sizeof a);
    std::memcpy(&b, key + n - sizeof b, sizeof b);
    std::memcpy(p, &a, sizeof a);
    std::memcpy(p + n - sizeof b, &b, sizeof b);
    // A Word narrower than 64 bits widened with bytes that are not zero.
    constexpr std::uint64_t high = sizeof(Word) < 8 ? ~std::uint64_t{0} << (8 * sizeof(Word)) : 0;
    return zeroByteIn(a | high) || zeroByteIn(b | high);
}

// Copies the n bytes at key to p and tells whether they hold a zero byte:
// a short key (most are) as two words or halves that overlap, a longer one
// by memcpy and memchr.
inline bool copyKey(char *p, const char *key, std::size_t n)
{
    if (n > 16) {
        std::memcpy(p, key, n);
        return std::memchr(key, 0, n) != nullptr;
    }
    if (n >= 8)
        return copyEnds<std::uint64_t>(p, key, n);
    if (n >= 4)
        return copyEnds<std::uint32_t>(p, key, n);
    bool zero = false;
    for (std::size_t i = 0; i < n; ++i) {
        p[i] = key[i];
        zero = zero || key[i] == 0;
    }
    return zero;
}

// Appends a record of the key of length bytes at key (as recordRoom);
// returns the offset in tokens where it starts.
inline std::size_t addRecord(ByteBuffer &tokens, TokenKind kind, const char *key, std::size_t length,
                             std::uint32_t at, std::uint32_t spans, const RewriteNote *noted = nullptr,
                             std::uint32_t noteAt = 0)
{
    const std::size_t start = tokens.size();
    char *p = recordRoom(tokens, kind, length, at, spans, noted, noteAt);
    if (copyKey(p, key, length))
        tokens[start] = static_cast<char>(static_cast<unsigned char>(tokens[start]) | kRecordZeroByte);
    return start;
}

// --- Reading ----------------------------------------------------------------

// The first half of a module's start: makes store the lexer's (Lexer::store,
// in a fresh RecordLexState) and reads the source into its text, a byte
// order mark at its start left out; false when it holds more than maxBytes.
bool recordRead(Lexer &lx, RecordStore *store, std::size_t maxBytes);

// The second half, once the records are written: refuses the source with
// the reason why, its records dropped, unless why is nullptr; then indexes
// the text's lines.
void recordReady(Lexer &lx, const char *why);

// A module's start: reads the source into a new Store (a larger one than
// maxBytes refused with the reason tooLarge) and has tokens write its
// records, refusing the source with the reason it returns (nullptr: none).
template <typename Store>
void recordStart(Lexer &lx, std::size_t maxBytes, const char *(*tokens)(Store &, const LexOptions &),
                 const char *tooLarge)
{
    Store *store = new Store;
    recordReady(lx, recordRead(lx, store, maxBytes) ? tokens(*store, lx.options) : tooLarge);
}

// Hands out the next record as one whole piece, or the End piece after the
// last (LexerHooks::next).
void recordNext(Lexer &lx, TokenPiece &piece);

// The records from the next one on as whole tokens, up to the first that is
// no Code token or holds a zero byte (LexerHooks::run).
std::size_t recordRun(Lexer &lx, QuickToken *out, std::size_t max, std::size_t keyBytes);

#endif
