// What every lexer shares: reading a source into the window (Ctrl-Z, splices),
// places, pieces, and the words of comments.
#include "tokens/lexer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr char kCtrlZ = 0x1a;

// The class bits of byte c.
constexpr std::uint16_t classOf(int c)
{
    std::uint16_t bits = 0;
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    bool digit = c >= '0' && c <= '9';
    if (c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r')
        bits |= kBlank | kWordStop;
    if (letter || digit || c == '_' || c >= 0x80)
        bits |= kNameC | kNameB;
    if (c == '$')
        bits |= kNameC;
    if (digit)
        bits |= kDigit;
    if (c == '.')
        bits |= kDot;
    if (c == '"' || c == '\'' || c == '\\' || c == '\n' || c == '\r' || c == 0)
        bits |= kQuotedStop;
    if (c == '*' || c == '\n' || c == 0)
        bits |= kCommentStop | kWordStop;
    if (c == ')' || c == '\n' || c == '\r' || c == 0)
        bits |= kRawStop;
    if (c == '"' || c == '\n' || c == '\r' || c == 0)
        bits |= kVerbatimStop;
    if (c == '(' || c == ')' || c == '[' || c == ']' || c == '{' || c == '}' || c == ';' || c == ',' || c == '~')
        bits |= kSolo;
    if (c == 'L' || c == 'u' || c == 'U' || c == 'R' || c == '$')
        bits |= kPrefix;
    return bits;
}

struct ClassTable {
    std::uint16_t bits[256];
};

constexpr ClassTable makeClassTable()
{
    ClassTable t{};
    for (int c = 0; c < 256; ++c)
        t.bits[c] = classOf(c);
    return t;
}

constexpr ClassTable kTable = makeClassTable();

// A blank that may stand between a backslash and the line end of a splice,
// as GCC and Clang read it (with a warning).
inline bool isSpliceBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

// Bytes of the splice that starts with the backslash at p, n bytes readable
// there: the backslash, any blanks, and LF or CR LF; 0 when it is no splice,
// and -1 when the bytes that tell are not read yet.
long spliceLength(const char *p, std::size_t n, bool rawEnded)
{
    std::size_t k = 1;
    while (k < n && isSpliceBlank(p[k]))
        ++k;
    if (k >= n)
        return rawEnded ? 0 : -1;
    if (p[k] == '\n')
        return static_cast<long>(k + 1);
    if (p[k] != '\r')
        return 0;
    if (k + 1 >= n)
        return rawEnded ? 0 : -1;
    return p[k + 1] == '\n' ? static_cast<long>(k + 2) : 0;
}

// The window byte that stands for raw byte c of a backslash and blanks too
// many for raw to hold: a name byte, so that the run and the bytes around it
// stay one token (or one literal) and differ from the same text with the
// splice or the blanks taken out. 0 when c ends the run.
char overflowByte(char c)
{
    switch (c) {
    case '\\': return static_cast<char>(0x84);
    case ' ': return static_cast<char>(0x80);
    case '\t': return static_cast<char>(0x81);
    case '\f': return static_cast<char>(0x82);
    case '\v': return static_cast<char>(0x83);
    case '\r': return static_cast<char>(0x86);
    case '\n': return static_cast<char>(0x85);
    default: return 0;
    }
}

// Reads the next chunk into raw after the bytes not yet copied, cut at a
// Ctrl-Z. Returns false when nothing more can come.
bool readRaw(Lexer &lx)
{
    if (lx.rawEnded)
        return false;
    std::size_t kept = lx.rawEnd - lx.rawPos;
    std::memmove(lx.raw, lx.raw + lx.rawPos, kept);
    lx.rawPos = 0;
    lx.rawEnd = kept;
    std::size_t got = readSource(*lx.source, lx.raw + kept, kLexReadSize - kept);
    if (got == 0) {
        lx.rawEnded = true;
        return false;
    }
    if (const void *z = std::memchr(lx.raw + kept, kCtrlZ, got)) {
        got = static_cast<std::size_t>(static_cast<const char *>(z) - (lx.raw + kept));
        lx.rawEnded = true;
    }
    lx.anyByte = lx.anyByte || got > 0;
    lx.rawEnd += got;
    return true;
}

// Notes a splice before window offset at, with blanks before its line end
// or not; false when no record is free.
bool recordSplice(Lexer &lx, std::size_t at, bool blanks)
{
    if (lx.spliceCount > 0 && lx.splices[lx.spliceCount - 1].offset == at) {
        ++lx.splices[lx.spliceCount - 1].count;
        lx.splices[lx.spliceCount - 1].blanks |= blanks;
        return true;
    }
    if (lx.spliceCount == kLexSplices)
        return false;
    if (lx.spliceNext == lx.spliceCount)
        lx.spliceAt = at;
    lx.splices[lx.spliceCount++] = {at, 1, blanks};
    return true;
}

enum class Translated { Full, NeedRaw, NoRecord };

// Copies raw bytes to the end of the window, splices taken out in a C-family
// source, until the window is full, raw runs out or a splice finds no record.
Translated translate(Lexer &lx)
{
    bool splicing = lx.hooks->splices;
    while (lx.end < kLexWindowSize) {
        std::size_t n = std::min(lx.rawEnd - lx.rawPos, kLexWindowSize - lx.end);
        if (n == 0)
            return Translated::NeedRaw;
        const char *src = lx.raw + lx.rawPos;
        if (lx.spliceOverflow) {
            char c = overflowByte(*src);
            lx.spliceOverflow = c != 0 && *src != '\n';
            if (c != 0) {
                lx.window[lx.end++] = c;
                ++lx.rawPos;
            }
            if (*src == '\n')
                recordSplice(lx, lx.end, true);  // places still count the line; without a record, they lag one line
            continue;
        }
        const void *bs = splicing ? std::memchr(src, '\\', n) : nullptr;
        std::size_t plain = bs ? static_cast<std::size_t>(static_cast<const char *>(bs) - src) : n;
        std::memcpy(lx.window + lx.end, src, plain);
        lx.end += plain;
        lx.rawPos += plain;
        if (!bs)
            continue;
        long length = spliceLength(lx.raw + lx.rawPos, lx.rawEnd - lx.rawPos, lx.rawEnded);
        if (length < 0 && lx.rawEnd - lx.rawPos == kLexReadSize) {
            // Raw holds nothing but the backslash and blanks: they go into
            // the window as name bytes, one token that never matches a
            // splice (a false alarm, never a miss).
            lx.spliceOverflow = true;
            continue;
        }
        if (length < 0)
            return Translated::NeedRaw;
        if (length == 0) {
            lx.window[lx.end++] = '\\';
            ++lx.rawPos;
        } else if (recordSplice(lx, lx.end, length > 3 || (length == 3 && lx.raw[lx.rawPos + 1] != '\r'))) {
            lx.rawPos += static_cast<std::size_t>(length);
        } else {
            return Translated::NoRecord;
        }
    }
    return Translated::Full;
}

// Drops the window bytes before keep, and the splice records already counted.
void shiftWindow(Lexer &lx, std::size_t keep)
{
    applySplices(lx, keep);
    std::memmove(lx.window, lx.window + keep, lx.end - keep);
    lx.end -= keep;
    lx.pos -= keep;
    lx.pieceStart = lx.pieceStart >= keep ? lx.pieceStart - keep : 0;
    lx.base += static_cast<std::int64_t>(keep);
    std::size_t live = lx.spliceCount - lx.spliceNext;
    for (std::size_t k = 0; k < live; ++k) {
        lx.splices[k] = lx.splices[lx.spliceNext + k];
        lx.splices[k].offset -= keep;
    }
    lx.spliceNext = 0;
    lx.spliceCount = live;
    lx.spliceAt = live > 0 ? lx.splices[0].offset : kNoSplice;
}

} // namespace

const std::uint16_t kByteClass[256] = {
#define MATCHLING_ROW(r) kTable.bits[r], kTable.bits[r + 1], kTable.bits[r + 2], kTable.bits[r + 3], \
    kTable.bits[r + 4], kTable.bits[r + 5], kTable.bits[r + 6], kTable.bits[r + 7]
    MATCHLING_ROW(0), MATCHLING_ROW(8), MATCHLING_ROW(16), MATCHLING_ROW(24),
    MATCHLING_ROW(32), MATCHLING_ROW(40), MATCHLING_ROW(48), MATCHLING_ROW(56),
    MATCHLING_ROW(64), MATCHLING_ROW(72), MATCHLING_ROW(80), MATCHLING_ROW(88),
    MATCHLING_ROW(96), MATCHLING_ROW(104), MATCHLING_ROW(112), MATCHLING_ROW(120),
    MATCHLING_ROW(128), MATCHLING_ROW(136), MATCHLING_ROW(144), MATCHLING_ROW(152),
    MATCHLING_ROW(160), MATCHLING_ROW(168), MATCHLING_ROW(176), MATCHLING_ROW(184),
    MATCHLING_ROW(192), MATCHLING_ROW(200), MATCHLING_ROW(208), MATCHLING_ROW(216),
    MATCHLING_ROW(224), MATCHLING_ROW(232), MATCHLING_ROW(240), MATCHLING_ROW(248),
#undef MATCHLING_ROW
};

void applySplices(Lexer &lx, std::size_t limit)
{
    while (lx.spliceNext < lx.spliceCount && lx.splices[lx.spliceNext].offset < limit) {
        const SpliceRecord &r = lx.splices[lx.spliceNext++];
        lx.line += r.count;
        lx.lineStart = std::max(lx.lineStart, lx.base + static_cast<std::int64_t>(r.offset));
    }
    lx.spliceAt = lx.spliceNext < lx.spliceCount ? lx.splices[lx.spliceNext].offset : kNoSplice;
}

void refill(Lexer &lx, std::size_t keep)
{
    shiftWindow(lx, keep);
    for (;;) {
        if (translate(lx) != Translated::NeedRaw)
            break;
        // Raw is used up, or holds only the start of a splice: read more.
        if (!readRaw(lx) && lx.rawPos == lx.rawEnd)
            break;
    }
    lx.ended = lx.rawEnded && lx.rawPos == lx.rawEnd;
    std::memset(lx.window + lx.end, 0, kLexPadding);
}

bool ensureAhead(Lexer &lx, std::size_t n)
{
    if (lx.end - lx.pos >= n || lx.ended)
        return true;
    if (lx.pieceStart > 0)
        refill(lx, lx.pieceStart);
    return lx.end - lx.pos >= n || lx.ended;
}

bool pauseAt(Lexer &lx, TokenPiece &piece, std::size_t at)
{
    lx.pos = at;
    // The piece keeps its last byte back for the next one, so that the
    // token's last piece is never empty.
    std::size_t cut = at > lx.pieceStart ? at - 1 : at;
    if (cut == lx.pieceStart && !lx.firstPiece)
        return false;
    setPiece(lx, piece, lx.pieceStart, cut, false);
    lx.pieceStart = cut;
    return true;
}

void setWholePiece(Lexer &lx, TokenPiece &piece, TokenKind kind, const char *text, TokenPlace place)
{
    piece.kind = kind;
    piece.first = true;
    piece.last = true;
    piece.place = place;
    piece.bytes = text;
    piece.length = std::strlen(text);
    lx.firstPiece = true;
}

bool dropReturn(Lexer &lx, TokenPiece &piece, std::size_t i)
{
    bool some = i > lx.pieceStart || lx.firstPiece;
    if (some)
        setPiece(lx, piece, lx.pieceStart, i, false);
    lx.pos = lx.pieceStart = i + 1;
    return some;
}

void finishStream(Lexer &lx, TokenPiece &piece)
{
    if (lx.commentUnclosed) {
        lx.commentUnclosed = false;
        setWholePiece(lx, piece, TokenKind::Code, "/*", lx.commentPlace);
        return;
    }
    lx.mode = LexMode::Finished;
    setWholePiece(lx, piece, TokenKind::End, "", lx.endPlace);
}

void openComment(Lexer &lx)
{
    lx.commentIsBlock = lx.window[lx.pos + 1] == '*';
    lx.commentLineStart = false;
    lx.commentPlace = placeAt(lx, lx.pos);
    lx.pos += 2;
    lx.mode = lx.commentIsBlock ? LexMode::BlockComment : LexMode::LineComment;
}

// Skips a block comment that starts at pos; pos ends after its "*/" or at the
// input's end, which leaves the comment unclosed.
void skipBlockComment(Lexer &lx)
{
    const char *w = lx.window;
    const TokenPlace opened = placeAt(lx, lx.pos);
    std::size_t i = lx.pos + 2;
    for (;;) {
        while (!(byteClass(w[i]) & kCommentStop))
            ++i;
        if (w[i] == '\n') {
            newLine(lx, i);
            ++i;
        } else if (w[i] == '*' && w[i + 1] == '/') {
            lx.pos = i + 2;
            return;
        } else if (i + 1 < lx.end || (i < lx.end && lx.ended)) {
            ++i;  // a '*' or a zero byte of the text
        } else if (lx.ended) {
            lx.pos = i;
            lx.commentPlace = opened;
            lx.commentUnclosed = true;
            return;
        } else {
            // The window ends inside the comment, or just after a '*'.
            lx.pos = lx.pieceStart = i;
            refill(lx, i);
            i = lx.pos;
        }
    }
}

void skipLineComment(Lexer &lx)
{
    std::size_t i = lx.pos;
    for (;;) {
        if (const void *lf = std::memchr(lx.window + i, '\n', lx.end - i)) {
            lx.pos = static_cast<std::size_t>(static_cast<const char *>(lf) - lx.window);
            return;
        }
        lx.pos = lx.pieceStart = lx.end;
        if (lx.ended)
            return;
        refill(lx, lx.end);
        i = 0;
    }
}

bool wordStep(Lexer &lx, TokenPiece &piece)
{
    return wordStepUntil(lx, piece, 0, nullptr);
}

bool wordStepUntil(Lexer &lx, TokenPiece &piece, char stop, bool (*ends)(Lexer &lexer, std::size_t at))
{
    std::size_t i = lx.pos;
    const char *w = lx.window;
    for (;;) {
        while (!(byteClass(w[i]) & kWordStop) && w[i] != stop)
            ++i;
        if (ends && w[i] == stop) {
            if (i + kLexLookahead > lx.end && !lx.ended) {
                lx.pos = i;
                if (!ensureAhead(lx, kLexLookahead))
                    return pauseAt(lx, piece, lx.pos);
                i = lx.pos;
                continue;
            }
            if (ends(lx, i))
                break;
            ++i;
        } else if (w[i] == '*') {
            if (i + 1 >= lx.end && !lx.ended) {
                lx.pos = i;
                if (!ensureAhead(lx, 2))
                    return pauseAt(lx, piece, lx.pos);
                i = lx.pos;
                continue;
            }
            if (lx.commentIsBlock && w[i + 1] == '/')
                break;
            ++i;
        } else if (w[i] == 0 && i < lx.end) {
            ++i;
        } else if (w[i] == 0 && !lx.ended) {
            lx.pos = i;
            if (!ensureAhead(lx, 2))
                return pauseAt(lx, piece, lx.pos);
            i = lx.pos;
        } else {
            break;
        }
    }
    lx.pos = i;
    finishToken(lx, piece);
    lx.mode = lx.commentIsBlock ? LexMode::BlockComment : LexMode::LineComment;
    return true;
}

namespace {

// At window offset i, after the blanks that start a block comment line other
// than its first: drops that line's leading '*' (not one of "*/"); returns
// where the comment goes on.
std::size_t dropLeadingStar(Lexer &lx, std::size_t i)
{
    lx.commentLineStart = false;
    return lx.window[i] == '*' && lx.window[i + 1] != '/' ? i + 1 : i;
}

} // namespace

bool commentStep(Lexer &lx, TokenPiece &piece)
{
    return commentStepUntil(lx, piece, 2, true, 0, nullptr, nullptr);
}

namespace {

// A blank the kernel skips around a "#!" line's interpreter.
bool isKernelBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

bool findHashBang(const char *text, std::size_t n, HashBangKey &key)
{
    const std::size_t at = n >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    if (n < at + 2 || text[at] != '#' || text[at + 1] != '!')
        return false;
    const void *lf = std::memchr(text, '\n', n);
    const std::size_t lineEnd = lf ? static_cast<std::size_t>(static_cast<const char *>(lf) - text) : n;
    std::size_t rest = at + 2;
    while (rest < lineEnd && isKernelBlank(text[rest]))
        ++rest;
    std::size_t end = lineEnd;
    if (end > rest && text[end - 1] == '\r')
        --end;
    while (end > rest && isKernelBlank(text[end - 1]))
        --end;
    key.head = at + 2;
    key.rest = rest;
    key.end = end;
    key.lineEnd = lineEnd;
    return true;
}

bool anyHashBang(const Lexer &, std::size_t)
{
    return true;
}

bool lineTokenStep(Lexer &lx, TokenPiece &piece, bool trim)
{
    for (;;) {
        const char *w = lx.window;
        const void *lf = std::memchr(w + lx.pos, '\n', lx.end - lx.pos);
        if (lf || lx.ended) {
            const std::size_t e = lf ? static_cast<std::size_t>(static_cast<const char *>(lf) - w) : lx.end;
            std::size_t c = e;
            if (c > lx.pieceStart && w[c - 1] == '\r')
                --c;
            while (trim && c > lx.pieceStart && isKernelBlank(w[c - 1]))
                --c;
            // The byte kept back for the last piece is no blank, but after a
            // window of nothing else (then the key keeps one).
            if (c == lx.pieceStart && !lx.firstPiece)
                ++c;
            lx.pos = c;
            finishToken(lx, piece);
            return true;
        }
        // The window ends inside the line: out goes all before the last byte
        // that surely belongs to the key, which is kept back so that the last
        // piece is never empty, and the blanks and CR after it, which may end
        // the line.
        std::size_t c = lx.end;
        while (c > lx.pieceStart && (w[c - 1] == '\r' || (trim && isKernelBlank(w[c - 1]))))
            --c;
        const bool full = lx.pieceStart == 0 && lx.end == kLexWindowSize;
        if (c > lx.pieceStart + 1 || full) {
            const std::size_t cut = c > lx.pieceStart + 1 ? c - 1 : lx.end - 1;  // a window of blanks goes as it is
            setPiece(lx, piece, lx.pieceStart, cut, false);
            lx.pieceStart = cut;
            lx.pos = lx.end;
            return true;
        }
        lx.pos = lx.end;
        refill(lx, lx.pieceStart);
    }
}

bool hashBangStep(Lexer &lx, TokenPiece &piece)
{
    if (lx.hashBang == 2) {
        lineTokenStep(lx, piece, true);
        lx.hashBang = piece.last ? 0 : 2;
        return true;
    }
    lx.hashBang = 0;
    refill(lx, 0);
    const char *w = lx.window;
    HashBangKey key;
    if (!findHashBang(w, lx.end, key) || !lx.hooks->hashBang(lx, key.head - 2))
        return false;
    beginToken(lx, TokenKind::Code);
    const bool whole = key.lineEnd < lx.end || lx.ended;
    if (!whole && key.rest + 1 >= lx.end)
        key.rest = key.head;  // blanks to the window's end: the line goes as it is
    if (whole && key.end == key.rest) {
        lx.pos = key.head;
        finishToken(lx, piece);
        return true;
    }
    lx.hashBang = 2;
    if (key.rest == key.head)
        return hashBangStep(lx, piece);
    setPiece(lx, piece, 0, key.head, false);
    lx.pos = lx.pieceStart = key.rest;
    return true;
}

void lexerReset(Lexer &lx, Language language, const LexerHooks &hooks, const LexOptions &options,
                SourceStream &source)
{
    lx.source = &source;
    lx.language = language;
    lx.hooks = &hooks;
    lx.options = options;
    lx.anyByte = false;
    lx.hashBang = hooks.hashBang ? 1 : 0;
    lx.rawPos = lx.rawEnd = 0;
    lx.rawEnded = false;
    lx.pos = lx.end = 0;
    lx.ended = false;
    lx.base = 0;
    lx.spliceNext = lx.spliceCount = 0;
    lx.spliceAt = kNoSplice;
    lx.spliceOverflow = false;
    lx.line = 1;
    lx.lineStart = 0;
    lx.endPlace = TokenPlace{};
    lx.endOffset = -1;
    lx.mode = LexMode::Between;
    lx.pieceStart = 0;
    lx.firstPiece = true;
    lx.lineHasToken = false;
    lx.statementStart = true;
    lx.splitGreater = false;
    lx.commentLineStart = false;
    lx.commentUnclosed = false;
    lx.sorting = false;
    lx.store.reset();
    lx.refusal[0] = 0;
    lx.rejects = false;
    lx.rejectedAs = nullptr;
    if (options.sortedIncludes && hooks.imports)
        sorterUse(lx, hooks.imports, hooks.next);
    std::memset(lx.window, 0, kLexPadding);
    if (hooks.start)
        hooks.start(lx);
}

void lexerNext(Lexer &lx, TokenPiece &piece)
{
    if (lx.hashBang && hashBangStep(lx, piece))
        return;
    if (lx.sorting)
        sortedNext(lx, piece);
    else
        lx.hooks->next(lx, piece);
}

std::size_t lexerRun(Lexer &lx, QuickToken *out, std::size_t max, std::size_t keyBytes)
{
    if (lx.mode != LexMode::Between || lx.sorting || !lx.hooks->run || lx.hashBang)
        return 0;
    return lx.hooks->run(lx, out, max, keyBytes);
}

void refuseSource(Lexer &lx, const char *reason)
{
    if (lx.refusal[0])
        return;
    std::size_t n = std::strlen(reason);
    n = n < kLexRefusalBytes - 1 ? n : kLexRefusalBytes - 1;
    std::memcpy(lx.refusal, reason, n);
    lx.refusal[n] = 0;
}

void rejectInput(Lexer &lx, const char *language, TokenPlace place)
{
    if (lx.rejectedAs)
        return;
    lx.rejectedAs = language;
    lx.rejectedAt = place;
    char reason[kLexRefusalBytes];
    std::snprintf(reason, sizeof reason, "not valid %s at line %lld, column %lld", language,
                  static_cast<long long>(place.line), static_cast<long long>(place.column));
    refuseSource(lx, reason);
}

const char *lexerRefusal(const Lexer &lx)
{
    return lx.refusal[0] ? lx.refusal : nullptr;
}

bool lexerEmpty(const Lexer &lx)
{
    return !lx.anyByte;
}

bool commentStepUntil(Lexer &lx, TokenPiece &piece, std::size_t ahead, bool words, char stop,
                      bool (*ends)(Lexer &lexer, std::size_t at), bool (*token)(Lexer &lexer, TokenPiece &piece))
{
    const char *w = lx.window;
    for (;;) {
        std::size_t i = lx.pos;
        while (byteClass(w[i]) & kBlank)
            ++i;
        lx.pos = lx.pieceStart = i;
        if (lx.end - i < ahead && !lx.ended) {
            refill(lx, i);
            continue;
        }
        if (w[i] == '\n' && lx.commentIsBlock) {
            newLine(lx, i);
            lx.pos = i + 1;
            lx.commentLineStart = true;
            continue;
        }
        if (lx.commentLineStart && (lx.pos = dropLeadingStar(lx, i)) != i)
            continue;
        const bool closes = lx.commentIsBlock && w[i] == '*' && w[i + 1] == '/';
        if (closes || w[i] == '\n' || i >= lx.end) {
            lx.pos = closes ? i + 2 : i;
            lx.commentUnclosed = lx.commentIsBlock && !closes;
            lx.mode = LexMode::Between;
            return false;
        }
        if (ends && w[i] == stop && ends(lx, i))
            return token(lx, piece);
        if (words) {
            beginToken(lx, TokenKind::CommentWord);
            lx.mode = LexMode::Word;
            return wordStepUntil(lx, piece, stop, ends);
        }
        // No words: on to the next blank, line end, '*' or stop.
        std::size_t k = i + 1;
        while (k < lx.end && !(byteClass(w[k]) & kWordStop) && !(ends && w[k] == stop))
            ++k;
        lx.pos = k;
    }
}
