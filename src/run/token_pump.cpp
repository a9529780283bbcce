#include "run/token_pump.h"

#include <cstring>

namespace {

constexpr const char *kLineEndKey = "\n";  // the key of every LineEnd token

// Copies n bytes from to out; a short piece goes as one fixed-size block,
// which may read and write up to kShortPiece bytes, as both sides allow.
inline void copyPiece(char *out, const char *from, std::size_t n, bool blockSafe)
{
    if (blockSafe && n <= kShortPiece)
        std::memcpy(out, from, kShortPiece);
    else
        std::memcpy(out, from, n);
}

// Whether kShortPiece bytes may be read from where piece points: inside the
// lexer's window, which zero bytes follow.
inline bool inWindow(const Lexer &lexer, const char *bytes)
{
    return bytes >= lexer.window && bytes + kShortPiece <= lexer.window + kLexWindowSize + kLexPadding;
}

// Fills batch b with the pump's next pieces, splitting one that does not fit
// the bytes left; returns true when the End piece went in. piece and done
// carry the piece being copied from one batch to the next.
bool fillBatch(TokenPump &p, TokenBatch &b, TokenPiece &piece, std::size_t &done, bool &have)
{
    std::size_t used = 0;
    b.count = 0;
    while (b.count < kBatchPieces) {
        if (!have) {
            lexerNext(*p.lexer, piece);
            done = 0;
            have = true;
        }
        const std::size_t left = piece.length - done;
        const std::size_t n = left < kBatchBytes - used ? left : kBatchBytes - used;
        if (n == 0 && left > 0)
            break;
        TokenPiece &q = b.pieces[b.count++];
        q = piece;
        q.first = piece.first && done == 0;
        q.last = piece.last && done + n == piece.length;
        q.length = n;
        if (piece.kind == TokenKind::LineEnd) {
            q.bytes = kLineEndKey;
        } else {
            copyPiece(b.bytes + used, piece.bytes + done, n, inWindow(*p.lexer, piece.bytes + done));
            q.bytes = b.bytes + used;
            used += n;
        }
        done += n;
        if (done == piece.length) {
            have = false;
            if (piece.kind == TokenKind::End)
                break;
        }
    }
    b.used = used;
    return !have && piece.kind == TokenKind::End;
}

// Writes batch b out one token per line; returns false when the write failed.
bool writeBatch(TokenPump &p, TokenBatch &b)
{
    // Keys with a line feed or a zero byte in them are rare (raw strings): a
    // batch without any is copied as it stands.
    const bool plain = !std::memchr(b.bytes, '\n', b.used) && !std::memchr(b.bytes, '\0', b.used);
    std::size_t k = 0;
    for (std::size_t i = 0; i < b.count; ++i) {
        const TokenPiece &q = b.pieces[i];
        if (q.kind == TokenKind::End)
            break;
        if (q.kind == TokenKind::LineEnd) {
            std::memcpy(b.shown + k, "\\n", 2);
            k += 2;
        } else if (plain) {
            copyPiece(b.shown + k, q.bytes, q.length, true);
            k += q.length;
        } else {
            k += showTokenBytes(q.bytes, q.length, b.shown + k, 2 * q.length);
        }
        if (q.last)
            b.shown[k++] = '\n';
    }
    return std::fwrite(b.shown, 1, k, p.output) == k;
}

void run(TokenPump &p)
{
    TokenPiece piece = p.first;
    std::size_t done = 0;
    bool have = true;
    for (;;) {
        std::size_t slot;
        {
            std::unique_lock<std::mutex> lock(p.mutex);
            p.changed.wait(lock, [&] { return p.stopping || p.filled - p.taken < kBatchCount; });
            if (p.stopping)
                return;
            slot = p.filled % kBatchCount;
        }
        TokenBatch &b = p.batches[slot];
        const bool end = fillBatch(p, b, piece, done, have);
        const bool written = writeBatch(p, b);
        {
            std::lock_guard<std::mutex> lock(p.mutex);
            ++p.filled;
            p.ended = end || !written;
            p.writeFailed = !written;
            p.moreAfterFailure = !written && !end;
        }
        p.changed.notify_all();
        if (end || !written)
            return;
    }
}

void next(void *self, TokenPiece &piece)
{
    TokenPump &p = *static_cast<TokenPump *>(self);
    for (;;) {
        if (p.holding) {
            const TokenBatch &b = p.batches[p.taken % kBatchCount];
            if (p.reading < b.count) {
                piece = b.pieces[p.reading++];
                return;
            }
            std::lock_guard<std::mutex> lock(p.mutex);
            ++p.taken;
            p.holding = false;
            p.changed.notify_all();
        }
        std::unique_lock<std::mutex> lock(p.mutex);
        p.changed.wait(lock, [&] { return p.filled > p.taken || p.ended; });
        if (p.filled == p.taken) {
            piece = TokenPiece();
            return;
        }
        p.holding = true;
        p.reading = 0;
    }
}

} // namespace

void pumpStart(TokenPump &p, Lexer &lexer, const TokenPiece &first, std::FILE *output)
{
    p.lexer = &lexer;
    p.first = first;
    p.output = output;
    p.filled = p.taken = p.reading = 0;
    p.stopping = p.ended = p.writeFailed = p.moreAfterFailure = p.holding = false;
    p.thread = std::thread(run, std::ref(p));
}

PieceSource pumpPieces(TokenPump &p)
{
    return PieceSource{&p, next};
}

void pumpStop(TokenPump &p)
{
    {
        std::lock_guard<std::mutex> lock(p.mutex);
        p.stopping = true;
    }
    p.changed.notify_all();
    if (p.thread.joinable())
        p.thread.join();
}
