// Embedded code as token records (embedded.h).
#include "rewrites/embedded.h"

#include "tokens/show.h"

namespace {

void nextSpelled(void *self, TokenPiece &piece)
{
    spelledNext(*static_cast<Lexer *>(self), piece);
}

// The document offset of place in code whose lines start at lines (noLines
// where there are none), at most the text's size.
std::uint32_t offsetOf(const std::vector<std::uint32_t> &lines, std::uint32_t noLines, TokenPlace place,
                       std::size_t size)
{
    if (lines.empty())
        return noLines;
    std::size_t k = place.line < 1 ? 0 : static_cast<std::size_t>(place.line - 1);
    if (k >= lines.size())
        k = lines.size() - 1;
    const std::uint64_t at = lines[k] + static_cast<std::uint64_t>(place.column > 0 ? place.column - 1 : 0);
    return static_cast<std::uint32_t>(at < size ? at : size);
}

// Appends the record of a token spelled from place to end (not after place
// for one no byte spells).
void addToken(RecordStore &store, const std::vector<std::uint32_t> &lines, std::uint32_t noLines, std::size_t size,
              TokenKind kind, const char *key, std::size_t length, TokenPlace place, TokenPlace end,
              const RewriteNote *note)
{
    const std::uint32_t at = offsetOf(lines, noLines, place, size);
    const bool spelled = end.line > place.line || (end.line == place.line && end.column > place.column);
    const std::uint32_t to = spelled ? offsetOf(lines, noLines, end, size) : at;
    addRecord(store.tokens, kind, key, length, at, to > at ? to - at : 0, note,
              note ? offsetOf(lines, noLines, note->place, size) : 0);
}

} // namespace

bool recordEmbedded(RecordStore &store, EmbeddedReader &reader, Language language, std::string_view code,
                    const LexOptions &options, const std::vector<std::uint32_t> &lines, std::uint32_t noLines)
{
    const std::size_t mark = store.tokens.size();
    if (!reader.lexer)
        reader.lexer.reset(new Lexer);
    Lexer &inner = *reader.lexer;
    SourceStream source;
    source.bytes = code.data();
    source.remaining = static_cast<std::int64_t>(code.size());
    lexerStart(inner, language, options, source);
    const RewriteRules *rules = options.allow ? rewriteRules(language) : nullptr;
    Rewriter *rewriter = nullptr;
    if (rules && (rules->rewrites & options.allow) != 0) {
        if (!reader.rewriter)
            reader.rewriter.reset(new Rewriter);
        rewriter = reader.rewriter.get();
        rewriterStart(*rewriter, language, options.allow, RewriteSource{&inner, nextSpelled});
    }
    const std::size_t size = store.text.size();
    TokenPiece piece;
    RewriteNote note;
    std::string &key = reader.key;
    for (;;) {
        if (rewriter)
            rewriterNext(*rewriter, piece);
        else
            spelledNext(inner, piece);
        // A token of one piece (most are) is recorded from the piece's own
        // bytes and note; the others are put together in key and note.
        const char *bytes = piece.bytes;
        std::size_t length = piece.length;
        const RewriteNote *noted = &piece.note;
        if (!(piece.first && piece.last)) {
            if (piece.first) {
                key.clear();
                note = piece.note;
            }
            key.append(piece.bytes, piece.length);
            if (!piece.last)
                continue;
            bytes = key.data();
            length = key.size();
            noted = &note;
        }
        if (piece.kind == TokenKind::End)
            break;
        addToken(store, lines, noLines, size, piece.kind, bytes, length, piece.place, piece.end,
                 noted->kinds ? noted : nullptr);
    }
    const bool refused = lexerRefusal(inner) != nullptr;
    inner.store.reset();  // its module's storage goes now, not with the document's next code
    if (refused)
        store.tokens.resize(mark);
    return !refused;
}
