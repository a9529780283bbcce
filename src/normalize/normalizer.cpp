// The normalized text of a source, block by block.
//
// A line without '/' normalizes to its bytes without whitespace, whatever the
// switches and however it is cut into pieces: the rules that could do more all
// need a '/'. So the whole lines in the read chunk up to the first that holds
// a '/' go straight from the chunk into the block, and that line, like the
// last and unfinished line of a chunk, goes through the line reading and the
// rules, one piece at a time.
#include "normalize/normalizer.h"

#include <cstring>

#include "console/console.h"
#include "normalize/line_rules.h"

namespace {

// Whether the normalized text keeps c: everything but space, tab, CR and LF.
inline bool kept(char c)
{
    return c != ' ' && c != '\t' && c != '\r' && c != '\n';
}

// Index just past the last line feed before index i of text, or 0 when none.
std::size_t lineStartBefore(const char *text, std::size_t i)
{
    while (i > 0 && text[i - 1] != '\n')
        --i;
    return i;
}

// The end of the piece that holds byte k of text, where the line of byte k
// starts in text: the line reading would hand the line to the rules in pieces
// of at most kLineCapacity bytes, the last ending at the line feed.
std::size_t pieceEnd(const char *text, std::size_t k, std::size_t end)
{
    const std::size_t start = lineStartBefore(text, k);
    std::size_t stop = start + ((k - start) / kLineCapacity + 1) * kLineCapacity;
    if (stop > end)
        stop = end;
    for (std::size_t i = k; i < stop; ++i)
        if (text[i] == '\n')
            return i + 1;
    return stop;
}

// Copies up to room bytes of the pending text into out; returns how many.
std::size_t takePending(Normalizer &n, char *out, std::size_t room)
{
    std::size_t count = n.pendingLength < room ? n.pendingLength : room;
    if (count == 0)
        return 0;
    std::memcpy(out, n.pending, count);
    n.pending += count;
    n.pendingLength -= count;
    return count;
}

// Skips a whole line at the chunk position that starts with "//" after its
// blanks: a comment the C rules skip whole, as long as it is one piece.
// Returns true when it skipped one.
bool skipCommentLine(TextInput &in)
{
    const char *text = in.chunk + in.position;
    const std::size_t span = in.end - in.position;
    std::size_t j = 0;
    while (j < span && (text[j] == ' ' || text[j] == '\t'))
        ++j;
    if (j + 1 >= span || text[j] != '/' || text[j + 1] != '/')
        return false;
    const std::size_t reach = span < kLineCapacity ? span : kLineCapacity;
    const void *lf = j < reach ? std::memchr(text + j, '\n', reach - j) : nullptr;
    if (!lf)
        return false;
    in.position += static_cast<std::size_t>(static_cast<const char *>(lf) - text) + 1;
    return true;
}

// Reads the next piece of a line with a '/' and passes it through the rules;
// its normalized text becomes the pending text. Returns false at the end of
// the input.
bool normalizePiece(Normalizer &n)
{
    const std::size_t length = textInputLine(n.input, n.line);
    if (length == 0)
        return false;
    n.midLine = n.line[length - 1] != '\n';
    Line piece = {n.line, length};
    if (!normalizeLine(piece, *n.settings, n.sourceClass)) {
        n.pending = piece.text;
        n.pendingLength = piece.length;
    }
    return true;
}

std::size_t producerFill(void *self, char *block)
{
    return normalizerFill(*static_cast<Normalizer *>(self), block);
}

} // namespace

void normalizerStart(Normalizer &n, const RunSettings &settings, SourceStream &source, SourceClass sourceClass)
{
    textInputStart(n.input, source);
    n.pending = nullptr;
    n.pendingLength = 0;
    n.midLine = false;
    n.plainEnd = 0;
    n.settings = &settings;
    n.sourceClass = sourceClass;
}

std::size_t normalizerFill(Normalizer &n, char *block)
{
    TextInput &in = n.input;
    const bool skipCommentLines = n.settings->handleComments && n.sourceClass == SourceClass::CFamily;
    std::size_t fill = takePending(n, block, kBlockSize);
    while (fill < kBlockSize) {
        n.plainEnd = 0;
        if (n.midLine) {
            if (!normalizePiece(n))
                break;
            fill += takePending(n, block + fill, kBlockSize - fill);
            continue;
        }
        if (!textInputMore(in))
            break;
        const char *text = in.chunk + in.position;
        const std::size_t span = in.end - in.position;
        const void *slash = std::memchr(text, '/', span);
        const std::size_t plain =
            lineStartBefore(text, slash ? static_cast<std::size_t>(static_cast<const char *>(slash) - text) : span);
        if (plain > 0) {
            // No more input than the block has room for, so that every byte can
            // be stored and only the kept ones advance.
            const std::size_t take = plain < kBlockSize - fill ? plain : kBlockSize - fill;
            fill += squeezeLayout(block + fill, text, take);
            n.plainStart = in.position;
            in.position += take;
            n.plainEnd = in.position;
            continue;
        }
        if (skipCommentLines && skipCommentLine(in))
            continue;
        if (!normalizePiece(n))
            break;
        fill += takePending(n, block + fill, kBlockSize - fill);
    }
    if (n.settings->listNormalized) {
        if (n.listing)
            spoolWrite(*n.listing, block, fill);
        else
            consoleText(block, fill);
    }
    return fill;
}

bool normalizerDropPiece(Normalizer &n)
{
    TextInput &in = n.input;
    n.pending = nullptr;
    n.pendingLength = 0;
    if (n.plainEnd > 0) {
        // The block's last byte came from the run of plain lines: after it in
        // that run is only whitespace.
        std::size_t i = n.plainEnd;
        while (i > n.plainStart && !kept(in.chunk[i - 1]))
            --i;
        in.position = pieceEnd(in.chunk, i - 1, in.end);
        n.plainEnd = 0;
        n.midLine = false;
    }
    // Lines continued into pieces: the rest of this line is more input.
    return textInputMore(in);
}

TextProducer normalizedText(Normalizer &n)
{
    TextProducer p;
    p.self = &n;
    p.fill = producerFill;
    return p;
}

void classifySource(const char *path, SourceClass &sourceClass, char (&extension)[4])
{
    std::memset(extension, 0, sizeof extension);
    const char *dot = std::strchr(path, '.');
    if (!dot)
        return;
    for (std::size_t i = 0; i < sizeof extension - 1 && dot[1 + i]; ++i) {
        char c = dot[1 + i];
        extension[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    if (!std::strncmp(extension, "BAS", 3) || !std::strncmp(extension, "FRM", 3) || !std::strncmp(extension, "CLS", 3))
        sourceClass = SourceClass::Basic;
    else if (extension[0] == 'C')
        sourceClass = SourceClass::CFamily;
}

void locateNormalized(Normalizer &n, const RunSettings &settings, SourceStream &source, SourceClass sourceClass,
                      std::int64_t offset, SourcePlace &place)
{
    // The same reading and rules as the preparation, counting instead of writing.
    textInputStart(n.input, source);
    std::int64_t line = 1;
    std::int64_t count = 0;
    place = SourcePlace();
    for (;;) {
        std::size_t length = textInputLine(n.input, n.line);
        if (length == 0)
            return;
        place.line = line;
        bool endsLine = n.line[length - 1] == '\n';
        Line piece = {n.line, length};
        if (!normalizeLine(piece, settings, sourceClass)) {
            if (offset < count + static_cast<std::int64_t>(piece.length)) {
                place.found = true;
                return;
            }
            count += static_cast<std::int64_t>(piece.length);
        }
        line += endsLine;
    }
}
