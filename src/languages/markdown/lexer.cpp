// The Markdown lexer. md4c reads a whole document at once, so the start reads
// the source into memory (kMarkdownMaxBytes at most: a larger one is refused)
// and turns it into token records (document.cpp); each call of next hands out
// the next record as one whole piece. Without md4c (the Windows build) the
// module has no hooks, and the table leaves Markdown out of token mode.
#include "languages/markdown/state.h"

#if MATCHLING_HAVE_MD4C

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// The size of source's file from where it stands, or -1 when it is no file
// that can seek (a pipe).
std::int64_t sourceSize(SourceStream &source)
{
    if (source.bytes || !source.stream)
        return -1;
    const long at = std::ftell(source.stream);
    if (at < 0 || std::fseek(source.stream, 0, SEEK_END) != 0)
        return -1;
    const long end = std::ftell(source.stream);
    std::fseek(source.stream, at, SEEK_SET);
    return end >= at ? end - at : -1;
}

// Reads the source into text, cut at a Ctrl-Z as every lexer reads it, a
// byte order mark at its start left out; false when it holds more than
// kMarkdownMaxBytes.
bool readDocument(Lexer &lx, std::vector<char> &text)
{
    // Room for the whole source at once where its size is known, so that
    // the text is not copied as it grows.
    const std::int64_t expected = lx.source->remaining >= 0 ? lx.source->remaining : sourceSize(*lx.source);
    if (expected > 0)
        text.resize(std::min<std::size_t>(static_cast<std::size_t>(expected), kMarkdownMaxBytes) + kLexReadSize);
    std::size_t used = 0;
    for (;;) {
        if (text.size() - used < kLexReadSize)
            text.resize(std::max(used + kLexReadSize, 2 * text.size()));
        const std::size_t got = readSource(*lx.source, text.data() + used, kLexReadSize);
        if (const void *z = std::memchr(text.data() + used, 0x1a, got)) {
            used = static_cast<std::size_t>(static_cast<const char *>(z) - text.data());
            break;
        }
        used += got;
        if (got == 0)
            break;
        if (used > kMarkdownMaxBytes) {
            text.clear();
            text.shrink_to_fit();
            lx.anyByte = true;
            return false;
        }
    }
    text.resize(used);
    lx.anyByte = used > 0;
    if (used >= 3 && std::memcmp(text.data(), "\xEF\xBB\xBF", 3) == 0)
        text.erase(text.begin(), text.begin() + 3);
    return true;
}

std::uint32_t get32(const char *p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// The place of text offset at; the cursor moves there.
TokenPlace placeOf(MarkdownLexState &st, std::size_t at)
{
    const std::vector<char> &text = st.store->text;
    if (at > text.size())
        at = text.size();
    while (st.cursor > at) {
        --st.cursor;
        if (text[st.cursor] == '\n') {
            --st.line;
            st.lineStart = st.cursor;
            while (st.lineStart > 0 && text[st.lineStart - 1] != '\n')
                --st.lineStart;
        }
    }
    while (st.cursor < at) {
        const void *lf = std::memchr(text.data() + st.cursor, '\n', at - st.cursor);
        if (!lf) {
            st.cursor = at;
            break;
        }
        st.cursor = static_cast<std::size_t>(static_cast<const char *>(lf) - text.data()) + 1;
        ++st.line;
        st.lineStart = st.cursor;
    }
    return {st.line, static_cast<std::int64_t>(at - st.lineStart) + 1};
}

} // namespace

void markdownStart(Lexer &lx)
{
    MarkdownLexState &st = startLanguageState<MarkdownLexState>(lx);
    st.store = new MarkdownStore;
    lx.store.reset(st.store);
    if (!readDocument(lx, st.store->text) || !markdownTokens(*st.store, lx.options)) {
        refuseSource(lx, "too large to compare as Markdown");
        st.store->tokens.clear();
    }
}

void markdownNext(Lexer &lx, TokenPiece &piece)
{
    MarkdownLexState &st = markdownState(lx);
    const std::vector<char> &tokens = st.store->tokens;
    if (st.next >= tokens.size()) {
        finishStream(lx, piece);
        return;
    }
    const char *record = tokens.data() + st.next;
    const std::uint32_t at = get32(record + 1), spans = get32(record + 5), length = get32(record + 9);
    piece.kind = static_cast<TokenKind>(record[0]);
    piece.first = piece.last = true;
    piece.place = placeOf(st, at);
    piece.bytes = record + kMarkdownRecordHead;
    piece.length = length;
    lx.endPlace = spans > 0 ? placeOf(st, at + spans) : piece.place;
    st.next += kMarkdownRecordHead + length;
}

extern const LexerHooks kMarkdownLexer = {markdownStart, markdownNext, nullptr, nullptr, false};

#else

extern const LexerHooks kMarkdownLexer = {nullptr, nullptr, nullptr, nullptr, false};

#endif
