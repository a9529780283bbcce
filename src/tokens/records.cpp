// Token records read back (records.h).
#include "tokens/records.h"

#include <algorithm>

#include "tokens/kit.h"

namespace {

RecordLexState &recordState(Lexer &lx)
{
    return languageState<RecordLexState>(lx);
}

std::uint32_t get32(const char *p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// The place of text offset at (past the text: its end); the line index
// moves there.
TokenPlace placeOf(RecordLexState &st, std::size_t at)
{
    const std::vector<std::uint32_t> &starts = st.store->lineStarts;
    const std::size_t size = st.store->text.size();
    at = at < size ? at : size;
    std::size_t k = st.line;
    if (starts[k] > at || (k + 2 < starts.size() && starts[k + 2] <= at))
        k = static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), at) - starts.begin()) - 1;
    else if (k + 1 < starts.size() && starts[k + 1] <= at)
        ++k;
    st.line = k;
    return {static_cast<std::int64_t>(k) + 1, static_cast<std::int64_t>(at - starts[k]) + 1};
}

// Where a token placed at place, text offset at, ends after spans bytes; the
// line index stands on its line.
TokenPlace endOf(RecordLexState &st, TokenPlace place, std::uint32_t at, std::uint32_t spans)
{
    // A token on one line ends on it: most are words.
    const std::vector<std::uint32_t> &starts = st.store->lineStarts;
    if (spans == 0)
        return place;
    if (st.line + 1 >= starts.size() || at + spans < starts[st.line + 1])
        return TokenPlace{place.line, place.column + spans};
    return placeOf(st, at + spans);
}

// The offsets of the text's lines.
void indexLines(RecordStore &store)
{
    const char *text = store.text.data();
    const std::size_t size = store.text.size();
    store.lineStarts.assign(1, 0);
    if (size == 0)
        return;  // no text to search (its data may be no pointer at all)
    for (const char *p = text; (p = static_cast<const char *>(std::memchr(p, '\n', text + size - p))) != nullptr;)
        store.lineStarts.push_back(static_cast<std::uint32_t>(++p - text));
}

} // namespace

bool recordRead(Lexer &lx, RecordStore *store, std::size_t maxBytes)
{
    RecordLexState &st = startLanguageState<RecordLexState>(lx);
    st.store = store;
    lx.store.reset(store);
    ByteBuffer &text = store->text;
    if (!readWholeSource(*lx.source, text, maxBytes)) {
        lx.anyByte = true;
        return false;
    }
    lx.anyByte = !text.empty();
    if (text.size() >= 3 && std::memcmp(text.data(), "\xEF\xBB\xBF", 3) == 0)
        text.dropFront(3);
    return true;
}

void recordReady(Lexer &lx, const char *why)
{
    RecordStore &store = *recordState(lx).store;
    if (why) {
        refuseSource(lx, why);
        store.tokens.resize(0);
    }
    indexLines(store);
}

void recordNext(Lexer &lx, TokenPiece &piece)
{
    RecordLexState &st = recordState(lx);
    const ByteBuffer &tokens = st.store->tokens;
    if (st.next >= tokens.size()) {
        finishStream(lx, piece);
        return;
    }
    const char *record = tokens.data() + st.next;
    const std::uint32_t textSize = static_cast<std::uint32_t>(st.store->text.size());
    const std::uint32_t at = std::min<std::uint32_t>(get32(record + 1), textSize);
    const std::uint32_t spans = get32(record + 5), length = get32(record + 9);
    const unsigned char kind = static_cast<unsigned char>(record[0]);
    piece.note = RewriteNote{};
    std::size_t head = kRecordHead;
    if (kind & kRecordNoted) {
        std::memcpy(&piece.note.kinds, record + head, 2);
        for (int k = 0; k < kNoteKinds; ++k)
            piece.note.prints[k] = get32(record + head + 2 + 4 * k);
        piece.note.place = placeOf(st, std::min<std::uint32_t>(get32(record + head + 2 + 4 * kNoteKinds), textSize));
        head += kRecordNoteBytes;
    }
    wholePiece(piece, static_cast<TokenKind>(kind & ~(kRecordZeroByte | kRecordNoted)), record + head, length,
               placeOf(st, at));
    lx.endPlace = endOf(st, piece.place, at, spans);
    st.next += head + length;
}

std::size_t recordRun(Lexer &lx, QuickToken *out, std::size_t max, std::size_t keyBytes)
{
    RecordLexState &st = recordState(lx);
    const ByteBuffer &tokens = st.store->tokens;
    const std::vector<std::uint32_t> &starts = st.store->lineStarts;
    std::size_t n = 0, bytes = 0;
    std::uint32_t at = 0, spans = 0;
    while (n < max && st.next < tokens.size()) {
        const char *record = tokens.data() + st.next;
        const std::uint32_t length = get32(record + 9);
        const char *key = record + kRecordHead;
        if (static_cast<TokenKind>(record[0]) != TokenKind::Code || bytes + length > keyBytes)
            break;  // a kind with kRecordZeroByte or kRecordNoted added is none
        at = std::min<std::uint32_t>(get32(record + 1), static_cast<std::uint32_t>(st.store->text.size()));
        spans = get32(record + 5);
        // Most tokens stand on the line of the one before.
        const std::size_t k = st.line;
        const bool sameLine = starts[k] <= at && (k + 1 == starts.size() || at < starts[k + 1]);
        const TokenPlace place = sameLine ? TokenPlace{static_cast<std::int64_t>(k) + 1, at - starts[k] + 1}
                                          : placeOf(st, at);
        out[n++] = QuickToken{key, length, TokenKind::Code, place};
        bytes += length;
        st.next += kRecordHead + length;
    }
    if (n > 0)
        lx.endPlace = endOf(st, out[n - 1].place, at, spans);
    return n;
}
