#include "reference_normalize.h"

#include <cstring>
#include <vector>

#include "console/console.h"
#include "normalize/line_rules.h"

namespace {

struct Reference {
    Preparation &p;
    const RunSettings &settings;
    SourceClass sourceClass;
    TextInput &in;
    std::vector<char> lines[2] = {std::vector<char>(kLineBufferSize + 8), std::vector<char>(kLineBufferSize + 8)};
    std::size_t lengths[2] = {};  // bytes in each line buffer
    int current = 0;
    bool endOfInput = false;
    std::vector<char> block = std::vector<char>(kBlockSize);
    std::size_t fill = 0;
};

void writeFailure(Reference &r)
{
    consoleMessage("Matchling==>  Error writing the output file \n");
    consoleMessage("Matchling==>  Disk drive may be full \n");
    ++r.p.errors;
    pause();
}

void unreadable(Reference &r)
{
    consoleMessage("\n");
    consoleMessage("Matchling==>  Unable to read %s \n", r.p.path.c_str());
}

bool writeBlock(Reference &r)
{
    return std::fwrite(r.block.data(), 1, r.fill, r.p.output) == r.fill;
}

void nextLine(Reference &r)
{
    // The look-ahead buffer becomes the current one; the other takes the next line.
    r.current = 1 - r.current;
    r.lengths[1 - r.current] = textInputLine(r.in, r.lines[1 - r.current].data());
    if (r.lengths[1 - r.current] == 0)
        r.endOfInput = true;
}

void append(Reference &r, const char *text, std::size_t length)
{
    if (r.settings.listNormalized)
        consoleText(text, length);
    while (length > 0) {
        std::size_t n = kBlockSize - r.fill < length ? kBlockSize - r.fill : length;
        std::memcpy(r.block.data() + r.fill, text, n);
        r.fill += n;
        text += n;
        length -= n;
        if (r.fill == kBlockSize) {
            const bool written = writeBlock(r);
            r.fill = 0;
            if (!written) {
                writeFailure(r);
                return;  // the rest of the line is dropped
            }
        }
    }
}

int normalizeLines(Reference &r)
{
    nextLine(r);
    if (r.endOfInput) {
        unreadable(r);
        return 1;
    }
    for (;;) {
        if (r.p.errors != 0)
            return 1;
        nextLine(r);
        Line line = {r.lines[r.current].data(), r.lengths[r.current]};
        if (!normalizeLine(line, r.settings, r.sourceClass))
            append(r, line.text, line.length);
        if (r.endOfInput)
            return 0;
    }
}

} // namespace

int writeLineByLine(Preparation &p, const RunSettings &settings, SourceClass sourceClass, TextInput &in)
{
    Reference r{p, settings, sourceClass, in};
    textInputStart(in, p.source);
    p.errors = 0;
    if (normalizeLines(r))
        return 1;
    if (p.source.failed) {
        unreadable(r);
        return 1;
    }
    if (r.fill > 0 && p.errors == 0 && !writeBlock(r))
        writeFailure(r);
    else if (p.errors == 0 && std::fflush(p.output) != 0)
        writeFailure(r);
    return 0;
}
