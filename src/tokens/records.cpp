#include "tokens/records.h"

#include <cstring>

#include "console/console.h"

namespace {

constexpr unsigned kKindMask = 7;    // head bits of the kind
constexpr unsigned kFirstBit = 8;    // head bit of a token's first piece
constexpr unsigned kLastBit = 16;    // head bit of a token's last piece
constexpr int kLongestNumber = 10;   // bytes of a 64-bit LEB128 number, at most

std::size_t putNumber(char *out, std::uint64_t n)
{
    std::size_t k = 0;
    do {
        unsigned char byte = n & 0x7f;
        n >>= 7;
        out[k++] = static_cast<char>(n ? byte | 0x80 : byte);
    } while (n);
    return k;
}

// Takes the next piece from the lexer and encodes its head.
void takePiece(TokenWriter &w)
{
    lexerNext(*w.lexer, w.piece);
    const TokenPiece &p = w.piece;
    std::size_t k = 0;
    w.head[k++] = static_cast<char>(static_cast<unsigned>(p.kind) | (p.first ? kFirstBit : 0) | (p.last ? kLastBit : 0));
    if (p.first) {
        k += putNumber(w.head + k, static_cast<std::uint64_t>(p.place.line));
        k += putNumber(w.head + k, static_cast<std::uint64_t>(p.place.column));
    }
    k += putNumber(w.head + k, p.length);
    w.headStart = 0;
    w.headLength = k;
    w.bytesDone = 0;
    w.holding = true;
    if (w.settings->listNormalized)
        listTokenPiece(p, w.listing);
}

std::size_t copyUpTo(char *out, std::size_t room, const char *from, std::size_t n)
{
    std::size_t k = n < room ? n : room;
    std::memcpy(out, from, k);
    return k;
}

void startWriter(void *self, SourceStream &source, SourceClass sourceClass)
{
    TokenWriter &w = *static_cast<TokenWriter *>(self);
    lexerStart(*w.lexer, sourceClass, w.options, source);
    w.holding = false;
    w.ended = false;
}

bool writerHasText(void *self)
{
    TokenWriter &w = *static_cast<TokenWriter *>(self);
    if (!w.holding)
        takePiece(w);
    return !lexerEmpty(*w.lexer);
}

std::size_t fillRecords(void *self, char *block)
{
    TokenWriter &w = *static_cast<TokenWriter *>(self);
    std::size_t fill = 0;
    while (fill < kBlockSize && !w.ended) {
        if (!w.holding)
            takePiece(w);
        std::size_t k = copyUpTo(block + fill, kBlockSize - fill, w.head + w.headStart, w.headLength);
        fill += k;
        w.headStart += k;
        w.headLength -= k;
        if (w.headLength > 0)
            break;
        k = copyUpTo(block + fill, kBlockSize - fill, w.piece.bytes + w.bytesDone, w.piece.length - w.bytesDone);
        fill += k;
        w.bytesDone += k;
        if (w.bytesDone < w.piece.length)
            break;
        w.holding = false;
        w.ended = w.piece.kind == TokenKind::End;
    }
    return fill;
}

bool writerDropPiece(void *self)
{
    TokenWriter &w = *static_cast<TokenWriter *>(self);
    // The rest of the record goes; the stream goes on unless this was its end.
    const bool more = !(w.holding ? w.piece.kind == TokenKind::End : w.ended);
    w.holding = false;
    return more;
}

// Makes at least want unused bytes available in the reader's chunk, unless
// the records end first; returns how many are available.
std::size_t available(TokenReader &r, std::size_t want)
{
    std::size_t have = r.end - r.position;
    if (have >= want)
        return have;
    std::memmove(r.chunk, r.chunk + r.position, have);
    r.position = 0;
    r.end = have;
    while (r.end < want) {
        std::size_t got = std::fread(r.chunk + r.end, 1, sizeof r.chunk - r.end, r.stream);
        if (got == 0)
            break;
        r.end += got;
    }
    return r.end - r.position;
}

// Reads one LEB128 number; returns false when there is none.
bool getNumber(TokenReader &r, std::uint64_t &n)
{
    n = 0;
    for (int k = 0; k < kLongestNumber; ++k) {
        if (available(r, 1) == 0)
            return false;
        unsigned char byte = static_cast<unsigned char>(r.chunk[r.position++]);
        n |= static_cast<std::uint64_t>(byte & 0x7f) << (7 * k);
        if (!(byte & 0x80))
            return true;
    }
    return false;
}

// Reads the head of the next record into r.piece; returns false at the end of
// the records or at anything that is not the record that must come next.
bool readHead(TokenReader &r)
{
    if (available(r, kRecordHeadSize) == 0)
        return false;
    const unsigned head = static_cast<unsigned char>(r.chunk[r.position++]);
    TokenPiece &p = r.piece;
    const unsigned kind = head & kKindMask;
    if (kind > static_cast<unsigned>(TokenKind::End) || (head & ~(kKindMask | kFirstBit | kLastBit)))
        return false;
    p.kind = static_cast<TokenKind>(kind);
    p.first = head & kFirstBit;
    p.last = head & kLastBit;
    if (p.first == r.inToken)
        return false;  // a token starts only after the last one ended
    std::uint64_t line = 0, column = 0, length = 0;
    if (p.first && (!getNumber(r, line) || !getNumber(r, column) || line > INT64_MAX || column > INT64_MAX))
        return false;
    if (p.first) {
        p.place.line = static_cast<std::int64_t>(line);
        p.place.column = static_cast<std::int64_t>(column);
    }
    if (!getNumber(r, length))
        return false;
    r.bytesLeft = static_cast<std::size_t>(length);
    r.inToken = !p.last;
    return true;
}

} // namespace

TextProducer tokenRecords(TokenWriter &w, Lexer &lexer, const RunSettings &settings)
{
    w.lexer = &lexer;
    w.settings = &settings;
    w.options.comments = settings.comments;
    w.options.sortedIncludes = settings.sortedIncludes;
    TextProducer p;
    p.self = &w;
    p.start = startWriter;
    p.hasText = writerHasText;
    p.fill = fillRecords;
    p.dropPiece = writerDropPiece;
    return p;
}

void tokenReaderStart(TokenReader &r, std::FILE *stream)
{
    r.stream = stream;
    r.position = r.end = 0;
    r.bytesLeft = 0;
    r.inToken = false;
    r.ended = false;
    r.piece = TokenPiece();
}

void tokenReaderNext(TokenReader &r, TokenPiece &piece)
{
    TokenPiece &p = r.piece;
    const bool resuming = r.bytesLeft > 0 && !r.ended;
    if (!resuming && (r.ended || !readHead(r))) {
        r.ended = true;
        piece = TokenPiece();
        piece.place = p.kind == TokenKind::End ? p.place : piece.place;
        return;
    }
    // A piece longer than what the chunk holds comes out in parts.
    piece = p;
    piece.first = p.first && !resuming;
    std::size_t have = r.bytesLeft ? available(r, 1) : 0;
    if (r.bytesLeft > 0 && have == 0) {
        r.ended = true;
        piece = TokenPiece();
        return;
    }
    std::size_t n = r.bytesLeft < have ? r.bytesLeft : have;
    piece.bytes = r.chunk + r.position;
    piece.length = n;
    r.position += n;
    r.bytesLeft -= n;
    piece.last = p.last && r.bytesLeft == 0;
    if (p.kind == TokenKind::End && r.bytesLeft == 0)
        r.ended = true;
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

std::size_t showTokenBytes(const char *bytes, std::size_t length, char *out, std::size_t cap)
{
    std::size_t k = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = bytes[i];
        const char *form = c == '\n' ? "\\n" : c == '\0' ? "\\0" : nullptr;
        const std::size_t n = form ? 2 : 1;
        if (k + n > cap)
            break;
        if (form)
            std::memcpy(out + k, form, 2);
        else
            out[k] = c;
        k += n;
    }
    return k;
}
