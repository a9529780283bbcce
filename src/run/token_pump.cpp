#include "run/token_pump.h"

#include <algorithm>
#include <cstring>

#include "console/console.h"

namespace {

// Whether kShortPiece bytes may be read from bytes: inside the lexer's window,
// which zero bytes follow.
inline bool inWindow(const Lexer &lexer, const char *bytes)
{
    return bytes >= lexer.window && bytes + kShortPiece <= lexer.window + kLexWindowSize + kLexPadding;
}

// Whether n bytes from p hold a zero byte.
inline bool hasZero(const char *p, std::size_t n)
{
    if (n > kShortPiece)
        return std::memchr(p, 0, n) != nullptr;
    bool zero = false;
    for (std::size_t i = 0; i < n; ++i)
        zero |= p[i] == 0;
    return zero;
}

// Appends n key bytes to the batch, each zero byte as 0x00 0x01; the batch
// has room for 2 * n of them.
void appendKey(KeyBatch &b, const char *from, std::size_t n, bool blockSafe)
{
    char *out = b.bytes + b.used;
    if (!hasZero(from, n)) {
        std::memcpy(out, from, blockSafe && n <= kShortPiece ? kShortPiece : n);
        b.used += n;
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        *out++ = from[i];
        if (from[i] == 0)
            *out++ = 1;
    }
    b.used = static_cast<std::size_t>(out - b.bytes);
}

constexpr std::size_t kRunTokens = 1024;  // whole tokens taken from the lexer at once

// The producer's state between batches: the piece in hand and the open token.
struct Feed {
    QuickToken run[kRunTokens];  // room for the tokens of a run
    TokenPiece piece;
    std::size_t done = 0;        // bytes of piece already in the key stream
    bool have = false;           // piece is in hand
    bool open = false;           // a token has its kind byte out and not yet its terminator
    std::size_t openStart = 0;   // where its kind byte is, when it is in the batch being filled
    bool openHere = false;       // its kind byte is in the batch being filled
};

// Puts the common tokens that come next into b, whole, straight from the
// lexer's window, as long as they fit.
inline void takeRuns(TokenPump &p, KeyBatch &b, QuickToken (&run)[kRunTokens])
{
    for (;;) {
        const std::size_t room = kKeyBatchBytes - b.used;
        const std::size_t max = std::min({kRunTokens, kKeyBatchTokens - b.tokens, room / 4});
        if (max == 0)
            return;
        const std::size_t n = lexerRun(*p.lexer, run, max, room - 3 * max);
        if (n == 0)
            return;
        char *out = b.bytes + b.used;
        for (std::size_t k = 0; k < n; ++k) {
            const QuickToken &t = run[k];
            *out++ = static_cast<char>(t.kind);
            // A key of up to kShortPiece bytes goes as a block, a copy of fixed
            // size without a call: the window's padding and the batch's spare
            // room take the bytes past it.
            if (t.length <= kShortPiece)
                std::memcpy(out, t.bytes, kShortPiece);
            else
                std::memcpy(out, t.bytes, t.length);
            out += t.length;
            *out++ = 0;
            *out++ = 0;
            b.places[b.tokens++] = t.place;
        }
        b.used = static_cast<std::size_t>(out - b.bytes);
    }
}

// Fills b with the key stream from where feed stands; returns true when the
// End token's terminator went in.
bool fillBatch(TokenPump &p, KeyBatch &b, Feed &feed)
{
    for (;;) {
        if (!feed.have && !feed.open)
            takeRuns(p, b, feed.run);
        if (!feed.have) {
            lexerNext(*p.lexer, feed.piece);
            feed.done = 0;
            feed.have = true;
        }
        const TokenPiece &piece = feed.piece;
        if (piece.first && feed.done == 0 && !feed.open) {
            if (b.used + 3 > kKeyBatchBytes || b.tokens == kKeyBatchTokens)
                return false;
            feed.open = feed.openHere = true;
            feed.openStart = b.used;
            b.bytes[b.used++] = static_cast<char>(piece.kind);
            b.places[b.tokens++] = piece.place;
        }
        const std::size_t left = piece.length - feed.done;
        const std::size_t room = (kKeyBatchBytes - b.used) / 2;
        const std::size_t n = left < room ? left : room;
        appendKey(b, piece.bytes + feed.done, n, inWindow(*p.lexer, piece.bytes + feed.done));
        feed.done += n;
        if (feed.done < piece.length)
            return false;
        feed.have = false;
        if (piece.last) {
            // The terminator may go past kKeyBatchBytes, into the batch's spare room.
            b.bytes[b.used++] = 0;
            b.bytes[b.used++] = 0;
            feed.open = feed.openHere = false;
            if (piece.kind == TokenKind::End)
                return true;
        }
    }
}

// Up to cap key bytes unescaped from key stream text, which starts inside a
// token's key and runs for n bytes; stops at the token's terminator. Returns
// how many went to out; sets ended when the terminator was reached.
std::size_t unescape(const char *text, std::size_t n, char *out, std::size_t cap, bool &ended)
{
    std::size_t k = 0;
    ended = false;
    for (std::size_t i = 0; i < n && k < cap; ++i) {
        if (text[i] == 0) {
            if (i + 1 < n && text[i + 1] == 0) {
                ended = true;
                return k;
            }
            ++i;  // the 0x01 of an escaped zero
            out[k++] = 0;
            continue;
        }
        out[k++] = text[i];
    }
    return k;
}

// Carries what b leaves open into the batch after it.
void carryInto(KeyBatch &next, const KeyBatch &b, const Feed &feed)
{
    next.carried = feed.open;
    if (!feed.open)
        return;
    if (feed.openHere) {
        next.carriedKind = static_cast<TokenKind>(b.bytes[feed.openStart]);
        next.carriedPlace = b.places[b.tokens - 1];
        bool ended;
        next.carriedShownLength = unescape(b.bytes + feed.openStart + 1, b.used - feed.openStart - 1,
                                           next.carriedShown, kShownTokenSize, ended);
        return;
    }
    next.carriedKind = b.carriedKind;
    next.carriedPlace = b.carriedPlace;
    std::memcpy(next.carriedShown, b.carriedShown, b.carriedShownLength);
    bool ended;
    next.carriedShownLength = b.carriedShownLength +
                              unescape(b.bytes, b.used, next.carriedShown + b.carriedShownLength,
                                       kShownTokenSize - b.carriedShownLength, ended);
}

void run(TokenPump &p)
{
    Feed feed;
    feed.piece = p.first;
    feed.have = true;
    for (std::size_t k = 0;; ++k) {
        {
            std::unique_lock<std::mutex> lock(p.mutex);
            p.changed.wait(lock, [&] { return p.stopping || p.filled - p.taken < kKeyBatchCount; });
            if (p.stopping)
                return;
        }
        KeyBatch &b = p.batches[k % kKeyBatchCount];
        if (k > 0)
            carryInto(b, p.batches[(k - 1) % kKeyBatchCount], feed);
        b.used = b.tokens = 0;
        feed.openHere = false;
        const bool end = fillBatch(p, b, feed);
        const bool written = std::fwrite(b.bytes, 1, b.used, p.output) == b.used;
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

// One key stream during the comparison.
struct KeySide {
    TokenPump *pump = nullptr;
    const KeyBatch *batch = nullptr;  // the batch in hand, or null
    std::size_t at = 0;               // the next byte of it to compare
    std::uint64_t before = 0;         // tokens that begin in the batches before it
};

// Makes sure side has a byte to compare, taking the next batch when the one in
// hand is used up; returns false when the stream has no more.
bool ready(KeySide &s)
{
    TokenPump &p = *s.pump;
    while (!s.batch || s.at == s.batch->used) {
        std::unique_lock<std::mutex> lock(p.mutex);
        if (s.batch) {
            ++p.taken;
            s.before += s.batch->tokens;
            s.batch = nullptr;
            p.changed.notify_all();
        }
        p.changed.wait(lock, [&] { return p.filled > p.taken || p.ended; });
        if (p.filled == p.taken)
            return false;
        s.batch = &p.batches[p.taken % kKeyBatchCount];
        s.at = 0;
    }
    return true;
}

// Index just past the terminator of the token whose key runs from `from`, or
// past the batch's bytes when the token goes on into the next.
std::size_t tokenEnd(const KeyBatch &b, std::size_t from)
{
    for (std::size_t i = from; i < b.used; ++i)
        if (b.bytes[i] == 0 && ++i < b.used && b.bytes[i] == 0)
            return i + 1;
    return b.used;
}

// Finds the token of side f that holds byte `at` of the batch in hand and
// fills its kind, place, index and shown bytes into c; reads on into later
// batches when the token goes on and the report wants more of it.
TokenKind locate(KeySide &s, int f, TokenCompareState &c)
{
    const KeyBatch &b = *s.batch;
    TokenKind kind = b.carriedKind;
    std::size_t keyStart = 0, end = 0, token = 0;
    c.shownLength[f] = 0;
    if (b.carried) {
        end = tokenEnd(b, 0);
        c.places[f] = b.carriedPlace;
        c.indexes[f] = s.before - 1;  // the last token begun before this batch
        std::memcpy(c.shown[f], b.carriedShown, b.carriedShownLength);
        c.shownLength[f] = b.carriedShownLength;
    }
    while (end <= s.at) {
        kind = static_cast<TokenKind>(b.bytes[end]);
        keyStart = end + 1;
        c.indexes[f] = s.before + token;
        c.places[f] = b.places[token++];
        end = tokenEnd(b, keyStart);
        c.shownLength[f] = 0;
    }
    // The first bytes of its key, from this batch and, while it goes on, the next.
    bool ended;
    std::size_t from = keyStart;
    for (;;) {
        c.shownLength[f] += unescape(s.batch->bytes + from, s.batch->used - from, c.shown[f] + c.shownLength[f],
                                     kShownTokenSize - c.shownLength[f], ended);
        if (ended || c.shownLength[f] == kShownTokenSize)
            break;
        s.at = s.batch->used;
        if (!ready(s))
            break;
        from = 0;
    }
    c.shown[f][c.shownLength[f]] = '\0';
    return kind;
}

} // namespace

void pumpStart(TokenPump &p, Lexer &lexer, const TokenPiece &first, std::FILE *output)
{
    p.lexer = &lexer;
    p.first = first;
    p.output = output;
    p.filled = p.taken = 0;
    p.stopping = p.ended = p.writeFailed = p.moreAfterFailure = false;
    p.batches[0].carried = false;
    p.thread = std::thread(run, std::ref(p));
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

Verdict compareKeyStreams(TokenPump (&pumps)[2], TokenCompareState &c)
{
    KeySide sides[2];
    sides[0].pump = &pumps[0];
    sides[1].pump = &pumps[1];
    c.shorterFile = 0;
    c.excerpt = false;
    for (std::uint64_t &n : c.allowed)
        n = 0;  // key streams carry no notes
    for (;;) {
        const bool more0 = ready(sides[0]), more1 = ready(sides[1]);
        if (!more0 || !more1) {
            // Both ended at their End tokens, or a pump stopped on a failure.
            if (!more0 && !more1)
                return Verdict::Equivalent;
            c.shorterFile = more0 ? 2 : 1;
            return Verdict::Different;
        }
        KeySide &a = sides[0], &b = sides[1];
        const std::size_t n0 = a.batch->used - a.at, n1 = b.batch->used - b.at;
        const std::size_t n = n0 < n1 ? n0 : n1;
        const char *p0 = a.batch->bytes + a.at, *p1 = b.batch->bytes + b.at;
        if (std::memcmp(p0, p1, n) == 0) {
            a.at += n;
            b.at += n;
            continue;
        }
        std::size_t i = 0;
        while (p0[i] == p1[i])
            ++i;
        a.at += i;
        b.at += i;
        const TokenKind kind0 = locate(a, 0, c), kind1 = locate(b, 1, c);
        c.shorterFile = kind0 == TokenKind::End ? 1 : kind1 == TokenKind::End ? 2 : 0;
        return Verdict::Different;
    }
}

namespace {

void nextAfterFirst(void *self, TokenPiece &piece)
{
    FirstPiece &from = *static_cast<FirstPiece *>(self);
    if (!from.given) {
        from.given = true;
        piece = from.first;
        return;
    }
    lexerNext(*from.lexer, piece);
}

// Adds n bytes of key stream to what w holds, writing it out when full.
void putKey(KeyWriter &w, const char *bytes, std::size_t n)
{
    while (n > 0 && !w.failed) {
        if (w.heldBytes == sizeof w.held && !keyWriterFlush(w))
            return;
        const std::size_t room = sizeof w.held - w.heldBytes;
        const std::size_t k = n < room ? n : room;
        std::memcpy(w.held + w.heldBytes, bytes, k);
        w.heldBytes += k;
        bytes += k;
        n -= k;
    }
}

void nextWritten(void *self, TokenPiece &piece)
{
    KeyWriter &w = *static_cast<KeyWriter *>(self);
    w.inner.next(w.inner.self, piece);
    if (w.failed)
        return;
    if (piece.first) {
        const char kind = static_cast<char>(piece.kind);
        putKey(w, &kind, 1);
    }
    // Each zero byte of the key as 0x00 0x01, then 0x00 0x00 after the token.
    static const char kZero[2] = {0, 1}, kEnd[2] = {0, 0};
    for (std::size_t i = 0; i < piece.length;) {
        const void *zero = std::memchr(piece.bytes + i, 0, piece.length - i);
        const std::size_t n = zero ? static_cast<std::size_t>(static_cast<const char *>(zero) - piece.bytes) - i
                                   : piece.length - i;
        putKey(w, piece.bytes + i, n);
        i += n;
        if (zero) {
            putKey(w, kZero, 2);
            ++i;
        }
    }
    if (piece.last)
        putKey(w, kEnd, 2);
}

} // namespace

RewriteSource firstThenLexer(FirstPiece &from, Lexer &lexer, const TokenPiece &first)
{
    from.lexer = &lexer;
    from.first = first;
    from.given = false;
    return RewriteSource{&from, nextAfterFirst};
}

PieceSource writtenPieces(KeyWriter &writer, PieceSource inner, std::FILE *output)
{
    writer.inner = inner;
    writer.output = output;
    writer.failed = false;
    writer.heldBytes = 0;
    return PieceSource{&writer, nextWritten};
}

bool keyWriterFlush(KeyWriter &writer)
{
    if (!writer.failed && writer.heldBytes > 0)
        writer.failed = std::fwrite(writer.held, 1, writer.heldBytes, writer.output) != writer.heldBytes;
    writer.heldBytes = 0;
    return !writer.failed;
}

void listKeyStream(std::FILE *stream)
{
    char buffer[1 << 14];
    char shown[2 * sizeof buffer + 1];
    bool startOfToken = true, zero = false;
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, stream)) > 0) {
        std::size_t k = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const char c = buffer[i];
            if (startOfToken) {
                startOfToken = false;
                if (c == static_cast<char>(TokenKind::End))
                    break;
                continue;
            }
            if (zero) {
                zero = false;
                if (c == 0) {
                    shown[k++] = '\n';
                    startOfToken = true;
                } else {
                    k += showTokenBytes("", 1, shown + k, 2);
                }
                continue;
            }
            if (c == 0)
                zero = true;
            else
                k += showTokenBytes(&buffer[i], 1, shown + k, 2);
        }
        consoleText(shown, k);
    }
}
