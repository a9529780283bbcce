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

    // 3. The first look-ahead line; a source that yields none is not compared.
    run.window.currentLength = 0;
    run.window.lookaheadLength = 0;
    run.errors = 0;
    run.endOfInput = 0;
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
            break;
    }

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
