#include "normalize/prepare.h"

#include <cstring>

#include "console/console.h"
#include "normalize/line_rules.h"

namespace {

// Reports a write to the temporary file that did not complete and counts it.
void reportWriteFailure()
{
    consoleMessage("Matchling==>  Error writing the output file \n");
    consoleMessage("Matchling==>  Disk drive may be full \n");
    ++run.errors;
    pause();
}

// Writes the filled part of the output block; returns 0 when all of it got out.
int writeBlock()
{
    OutputBlock &b = run.block;
    return std::fwrite(b.bytes, 1, b.fill, run.output) == b.fill ? 0 : 1;
}

void reportProcessingError(const char *path)
{
    consoleMessage("\n");
    consoleMessage("Matchling==>  An error has been detected during processing %s! \n", path);
    consoleMessage("Matchling==>  The Input file will not be altered \n");
    consoleMessage("Matchling==>  See the %s file for the distorted output \n", run.tempName);
    consoleMessage("Matchling==>  Please report problem to %s \n", kSupportAddress);
    consoleMessage("Matchling==>  URL: %s \n", kProblemUrl);
    consoleMessage("Matchling==>  Thank you \n\n");
    pause();
    consoleMessage("\n");
}

void reportUnreadable(const char *path)
{
    consoleMessage("\n");
    consoleMessage("Matchling==>  Unable to read %s \n", path);
}

// Steps 3 and 4 of the preparation, one line at a time: each line is read into
// the line window, with one line of look-ahead, and goes through the rules.
// Returns 1 when the preparation stops here, 0 at the end of the input.
int normalizeLines(const char *path)
{
    // 3. The first look-ahead line; a source that yields none is not compared.
    run.window.currentLength = 0;
    run.window.lookaheadLength = 0;
    nextLine();
    if (run.endOfInput) {
        reportUnreadable(path);
        return 1;
    }
    run.block.fill = 0;

    // 4. Every line through the rules, with one line of look-ahead.
    for (;;) {
        if (run.errors != 0)
            return 1;
        nextLine();
        Line line = {run.window.lines[run.window.current], run.window.currentLength};
        if (!normalizeLine(line, settings, run.sourceClass))
            appendNormalized(line.text, line.length);
        if (run.endOfInput)
            return 0;
    }
}

// Whether the normalized text keeps c: everything but space, tab, CR and LF.
inline bool kept(char c)
{
    return c != ' ' && c != '\t' && c != '\r' && c != '\n';
}

// Appends text without its whitespace, writing each block that fills. Returns
// n, or after a failed block write (reported) the index of the byte that
// filled the block.
std::size_t appendSqueezed(const char *text, std::size_t n)
{
    OutputBlock &b = run.block;
    std::size_t i = 0;
    while (i < n) {
        // No more bytes than the block has room for, so that every byte can be
        // stored and only the kept ones advance: the bytes decide no branch.
        const std::size_t room = kBlockSize - b.fill;
        const std::size_t stop = n - i < room ? n : i + room;
        b.fill += squeezeLayout(b.bytes + b.fill, text + i, stop - i);
        i = stop;
        if (b.fill == kBlockSize) {
            const int failed = writeBlock();
            b.fill = 0;
            if (failed) {
                reportWriteFailure();
                // What followed the filling byte in this stretch is whitespace.
                while (!kept(text[i - 1]))
                    --i;
                return i - 1;
            }
        }
    }
    return n;
}

// Index just past the last line feed before index i of text, or 0 when none.
std::size_t lineStartBefore(const char *text, std::size_t i)
{
    while (i > 0 && text[i - 1] != '\n')
        --i;
    return i;
}

// The end of the piece that holds byte k of text, which starts at a line start
// and holds whole lines: the line read would hand it to the rules in pieces of
// at most kLineCapacity bytes, the last ending at the line feed.
std::size_t pieceEnd(const char *text, std::size_t k)
{
    const std::size_t start = lineStartBefore(text, k);
    std::size_t end = start + ((k - start) / kLineCapacity + 1) * kLineCapacity;
    for (std::size_t i = k; i < end; ++i)
        if (text[i] == '\n')
            return i + 1;
    return end;
}

// Where a write failed in a piece, the line by line path drops the rest of the
// piece and stops at once when more follows it; after the last piece it goes
// on to the checks at the end. Returns 1 for the first, 0 for the second.
int stopAfterFailedPiece()
{
    if (textInputMore())
        return 1;
    run.endOfInput = 1;
    return 0;
}

// Steps 3 and 4 of the preparation, the same text as normalizeLines. A line
// without '/' normalizes to its bytes without whitespace, whatever the switches
// and however it is cut into pieces: the rules that could do more all need a
// '/'. So the whole lines in the read chunk up to the first that holds a '/'
// go straight from the chunk into the block, and that line, like the last and
// unfinished line of a chunk, goes through the line reading and the rules.
int normalizeChunks(const char *path)
{
    // 3. A source that yields nothing is not compared.
    if (!textInputMore()) {
        run.endOfInput = 1;
        reportUnreadable(path);
        return 1;
    }
    run.block.fill = 0;

    // 4. Every line, from a line start each time round.
    TextInput &in = run.input;
    const bool skipCommentLines = settings.handleComments && run.sourceClass == SourceClass::CFamily;
    for (;;) {
        if (!textInputMore()) {
            run.endOfInput = 1;
            return 0;
        }
        const char *text = in.chunk + in.position;
        const std::size_t span = in.end - in.position;
        const void *slash = std::memchr(text, '/', span);
        const std::size_t plain =
            lineStartBefore(text, slash ? static_cast<std::size_t>(static_cast<const char *>(slash) - text) : span);
        if (plain > 0) {
            const std::size_t done = appendSqueezed(text, plain);
            if (done < plain) {
                in.position += pieceEnd(text, done);
                return stopAfterFailedPiece();
            }
            in.position += plain;
            continue;
        }
        // A whole line that starts with "//" after its blanks is a comment that
        // the C rules skip whole, as long as it is one piece.
        if (skipCommentLines) {
            std::size_t j = 0;
            while (j < span && (text[j] == ' ' || text[j] == '\t'))
                ++j;
            if (j + 1 < span && text[j] == '/' && text[j + 1] == '/') {
                const std::size_t reach = span < kLineCapacity ? span : kLineCapacity;
                if (const void *lf = j < reach ? std::memchr(text + j, '\n', reach - j) : nullptr) {
                    in.position += static_cast<std::size_t>(static_cast<const char *>(lf) - text) + 1;
                    continue;
                }
            }
        }
        // The line at the start of what is left, piece by piece.
        for (;;) {
            char *line = run.window.lines[0];
            const std::size_t length = textInputLine(line);
            if (length == 0) {
                run.endOfInput = 1;
                return 0;
            }
            const bool lineEnds = line[length - 1] == '\n';
            Line piece = {line, length};
            if (!normalizeLine(piece, settings, run.sourceClass))
                appendNormalized(piece.text, piece.length);
            if (run.errors != 0)
                return stopAfterFailedPiece();
            if (lineEnds)
                break;
        }
    }
}

} // namespace

void classifySource(const char *path)
{
    std::memset(run.extension, 0, sizeof run.extension);
    const char *dot = std::strchr(path, '.');
    if (!dot)
        return;
    for (std::size_t i = 0; i < sizeof run.extension - 1 && dot[1 + i]; ++i) {
        char c = dot[1 + i];
        run.extension[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    const char *ext = run.extension;
    if (!std::strncmp(ext, "BAS", 3) || !std::strncmp(ext, "FRM", 3) || !std::strncmp(ext, "CLS", 3))
        run.sourceClass = SourceClass::Basic;
    else if (ext[0] == 'C')
        run.sourceClass = SourceClass::CFamily;
}

void nextLine()
{
    LineWindow &w = run.window;
    // Swapping the buffers hands over the look-ahead line without copying it.
    w.current = 1 - w.current;
    w.currentLength = w.lookaheadLength;
    w.lookaheadLength = textInputLine(w.lines[1 - w.current]);
    if (w.lookaheadLength == 0)
        run.endOfInput = 1;
}

std::size_t appendNormalized(const char *text, std::size_t length)
{
    if (settings.listNormalized)
        consoleText(text, length);
    OutputBlock &b = run.block;
    // The usual case: a short line straight from a line buffer, with room to
    // spare in the block. A fixed 64 bytes go at once, with no call and no
    // branch on the length; both buffers have room for them, and the bytes
    // past the line are overwritten by the next ones.
    constexpr std::size_t kShortLine = 64;
    const bool fromWindow = text == run.window.lines[0] || text == run.window.lines[1];
    if (fromWindow && length <= kShortLine && b.fill + kShortLine < kBlockSize) {
        std::memcpy(b.bytes + b.fill, text, kShortLine);
        b.fill += length;
        return b.fill;
    }
    while (length > 0) {
        std::size_t n = kBlockSize - b.fill;
        if (n > length)
            n = length;
        std::memcpy(b.bytes + b.fill, text, n);
        b.fill += n;
        text += n;
        length -= n;
        if (b.fill == kBlockSize) {
            int failed = writeBlock();
            b.fill = 0;
            if (failed) {
                reportWriteFailure();
                return 0;  // the rest of the line is dropped
            }
        }
    }
    return b.fill;
}

int normalizeSource(const char *path)
{
    // 1. The source, read in binary: the text-mode rules are applied by hand.
    std::FILE *in = std::fopen(path, "rb");
    if (!in) {
        consoleMessage("Matchling==>  Unable to open input file %s for reading \n", path);
        consoleMessage("Matchling==>  The file probably doesn't exist \n\n");
        return 1;
    }
    std::setvbuf(in, nullptr, _IONBF, 0);
    textInputStart(in);

    // 2. The temporary file, replacing an earlier one.
    run.tempName = run.whichFile == 1 ? kTempName1 : kTempName2;
    run.output = createTempFile(run.tempName);
    if (!run.output) {
        consoleMessage("Matchling==>  Unable to open %s for writing \n", run.tempName);
        consoleMessage("Matchling==>  The disk is probably full \n");
        return 1;
    }
    // Unbuffered, so that a failed write is seen by the write that failed.
    std::setvbuf(run.output, nullptr, _IONBF, 0);

    if (settings.announceCopy)
        consoleMessage("Matchling==>  Copying   %s --> %s \n", path, run.tempName);

    // The listing shows every line as it goes, so it takes the lines one by one.
    return normalizeInput(path, settings.listNormalized);
}

int normalizeInput(const char *path, int lineByLine)
{
    run.errors = 0;
    run.endOfInput = 0;
    if (lineByLine ? normalizeLines(path) : normalizeChunks(path))
        return 1;

    // 5. A read error loses the rest of the source: never compare a part of it.
    if (run.input.failed) {
        reportUnreadable(path);
        return 1;
    }

    // 6. The last block, and everything the stream still holds.
    if (run.block.fill > 0 && run.errors == 0 && writeBlock() != 0)
        reportWriteFailure();
    else if (run.errors == 0 && std::fflush(run.output) != 0)
        reportWriteFailure();
    return 0;
}

int prepareFile(const char *path)
{
    // 1. The class from the extension: the text after the first '.'.
    classifySource(path);

    // 2. The normalized text into the temporary file.
    if (normalizeSource(path) != 0) {
        consoleMessage("Matchling==>  Program will abort \n");
        pause();
        consoleMessage("\n");
        return 1;
    }

    // 3. Close both streams; data that fails to reach the file is a write failure.
    if (run.errors == 0) {
        std::fclose(run.input.stream);
        run.input.stream = nullptr;
        int closed = std::fclose(run.output);
        run.output = nullptr;
        if (closed != 0)
            reportWriteFailure();
    }
    if (run.errors != 0) {
        reportProcessingError(path);
        return 1;
    }
    return 0;
}
