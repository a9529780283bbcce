// The HTML lexer. gumbo reads a whole document at once, so the start reads
// the source into memory (kHtmlMaxBytes at most: a larger one is refused)
// and turns it into token records (document.cpp, template.cpp); each call of
// next hands out the next record as one whole piece. Without gumbo the
// module has no hooks, and the table leaves HTML out of token mode.
#include "languages/html/state.h"
#include "tokens/kit.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Reads the source into text, a byte order mark at its start left out;
// false when it holds more than kHtmlMaxBytes.
bool readDocument(Lexer &lx, ByteBuffer &text)
{
    if (!readWholeSource(*lx.source, text, kHtmlMaxBytes)) {
        lx.anyByte = true;
        return false;
    }
    lx.anyByte = !text.empty();
    if (text.size() >= 3 && std::memcmp(text.data(), "\xEF\xBB\xBF", 3) == 0)
        text.dropFront(3);
    return true;
}

std::uint32_t get32(const char *p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// The place of text offset at (past the text: its end); the line index
// moves there.
TokenPlace placeOf(HtmlLexState &st, std::size_t at)
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
TokenPlace endOf(HtmlLexState &st, TokenPlace place, std::uint32_t at, std::uint32_t spans)
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
void indexLines(HtmlStore &store)
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

void markupStart(Lexer &lx, const char *(*tokens)(HtmlStore &, const LexOptions &), const char *tooLarge)
{
    HtmlLexState &st = startLanguageState<HtmlLexState>(lx);
    st.store = new HtmlStore;
    lx.store.reset(st.store);
    const char *why = readDocument(lx, st.store->text) ? tokens(*st.store, lx.options) : tooLarge;
    if (why) {
        refuseSource(lx, why);
        st.store->tokens.resize(0);
    }
    indexLines(*st.store);
}

void htmlNext(Lexer &lx, TokenPiece &piece)
{
    HtmlLexState &st = htmlState(lx);
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
    std::size_t head = kHtmlRecordHead;
    if (kind & kHtmlNoted) {
        std::memcpy(&piece.note.kinds, record + head, 2);
        for (int k = 0; k < kNoteKinds; ++k)
            piece.note.prints[k] = get32(record + head + 2 + 4 * k);
        piece.note.place = placeOf(st, std::min<std::uint32_t>(get32(record + head + 2 + 4 * kNoteKinds), textSize));
        head += kHtmlNoteBytes;
    }
    wholePiece(piece, static_cast<TokenKind>(kind & ~(kHtmlZeroByte | kHtmlNoted)), record + head, length,
               placeOf(st, at));
    lx.endPlace = endOf(st, piece.place, at, spans);
    st.next += head + length;
}

// The records from the next one on as whole tokens, up to the first that is
// no Code token or holds a zero byte.
std::size_t htmlRun(Lexer &lx, QuickToken *out, std::size_t max, std::size_t keyBytes)
{
    HtmlLexState &st = htmlState(lx);
    const ByteBuffer &tokens = st.store->tokens;
    const std::vector<std::uint32_t> &starts = st.store->lineStarts;
    std::size_t n = 0, bytes = 0;
    std::uint32_t at = 0, spans = 0;
    while (n < max && st.next < tokens.size()) {
        const char *record = tokens.data() + st.next;
        const std::uint32_t length = get32(record + 9);
        const char *key = record + kHtmlRecordHead;
        if (static_cast<TokenKind>(record[0]) != TokenKind::Code || bytes + length > keyBytes)
            break;  // a kind with kHtmlZeroByte or kHtmlNoted added is none
        at = std::min<std::uint32_t>(get32(record + 1), static_cast<std::uint32_t>(st.store->text.size()));
        spans = get32(record + 5);
        // Most tokens stand on the line of the one before.
        const std::size_t k = st.line;
        const bool sameLine = starts[k] <= at && (k + 1 == starts.size() || at < starts[k + 1]);
        const TokenPlace place = sameLine ? TokenPlace{static_cast<std::int64_t>(k) + 1, at - starts[k] + 1}
                                          : placeOf(st, at);
        out[n++] = QuickToken{key, length, TokenKind::Code, place};
        bytes += length;
        st.next += kHtmlRecordHead + length;
    }
    if (n > 0)
        lx.endPlace = endOf(st, out[n - 1].place, at, spans);
    return n;
}

#if MATCHLING_HAVE_GUMBO

void htmlStart(Lexer &lx)
{
    markupStart(lx, htmlTokens, "too large to compare as HTML");
}

extern const LexerHooks kHtmlLexer = {htmlStart, htmlNext, htmlRun, nullptr, false, nullptr};

#else

extern const LexerHooks kHtmlLexer = {nullptr, nullptr, nullptr, nullptr, false, nullptr};

#endif
