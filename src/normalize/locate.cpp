// Mapping a normalized-text offset back to a line of its source.
#include <filesystem>
#include <system_error>

#include "normalize/line_rules.h"
#include "normalize/prepare.h"

int locateNormalized(const char *path, SourceClass sourceClass, std::int64_t offset, SourcePlace &place)
{
    // Only a plain file can be read a second time: a pipe is spent, and a FIFO
    // would wait for a writer that never comes.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return 1;
    std::FILE *in = std::fopen(path, "rb");
    if (!in)
        return 1;
    std::setvbuf(in, nullptr, _IONBF, 0);
    textInputStart(in);
    // The same reading and rules as the preparation, counting instead of writing.
    char *text = run.window.lines[0];
    std::int64_t line = 1;
    std::int64_t count = 0;
    place = SourcePlace();
    for (;;) {
        std::size_t length = textInputLine(text);
        if (length == 0)
            break;
        place.line = line;
        int endsLine = text[length - 1] == '\n';
        Line piece = {text, length};
        if (!normalizeLine(piece, settings, sourceClass)) {
            if (offset < count + static_cast<std::int64_t>(piece.length)) {
                place.found = 1;
                break;
            }
            count += static_cast<std::int64_t>(piece.length);
        }
        line += endsLine;
    }
    std::fclose(in);
    run.input.stream = nullptr;
    return 0;
}
