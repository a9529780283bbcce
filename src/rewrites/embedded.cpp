// Embedded code as token records (embedded.h).
#include "rewrites/embedded.h"

#include <cstdint>

#include "tokens/lexer.h"
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

// True when the quick tokens of language's lexer are as their pieces would
// be: its run hands out only tokens of one line, and those no byte of the
// code spells (a blank that separates values) point outside its window.
bool quickRecords(Language language)
{
    return language == Language::Css || language == Language::Scss || language == Language::Less ||
           language == Language::Json || language == Language::TsConfig;
}

// Where the quick token t ends, as its piece would tell: after its bytes
// where the window spells it, at its place where none does.
TokenPlace quickEnd(const Lexer &lexer, const QuickToken &t)
{
    const auto at = reinterpret_cast<std::uintptr_t>(t.bytes);
    const auto window = reinterpret_cast<std::uintptr_t>(lexer.window);
    if (at < window || at - window >= sizeof lexer.window)
        return t.place;
    return TokenPlace{t.place.line, t.place.column + static_cast<std::int64_t>(t.length)};
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

// Appends the records of the quick tokens the lexer hands out next; false
// when the next token needs a piece (or none is left).
bool addRun(RecordStore &store, Lexer &lexer, const std::vector<std::uint32_t> &lines, std::uint32_t noLines,
            std::size_t size)
{
    QuickToken run[256];
    const std::size_t n = lexerRun(lexer, run, sizeof run / sizeof run[0], 65536);
    for (std::size_t k = 0; k < n; ++k)
        addToken(store, lines, noLines, size, run[k].kind, run[k].bytes, run[k].length, run[k].place,
                 quickEnd(lexer, run[k]), nullptr);
    return n > 0;
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
    // Without rules, runs of quick tokens where they stand for their pieces.
    const bool quick = !rewriter && quickRecords(language);
    for (;;) {
        if (quick && piece.last && addRun(store, inner, lines, noLines, size))
            continue;
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
