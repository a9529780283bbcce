// Text-mode reading done by hand, the same on every platform: carriage returns
// dropped, only a line feed ends a line, a Ctrl-Z byte ends the input.
#include "normalize/prepare.h"

#include <cstring>

namespace {

constexpr char kCtrlZ = 0x1a;

// Reads the next chunk; returns 0 when the input has ended.
int refill(TextInput &in)
{
    if (in.ended)
        return 0;
    in.position = 0;
    in.end = std::fread(in.chunk, 1, sizeof in.chunk, in.stream);
    if (in.end == 0) {
        in.ended = 1;
        in.failed = std::ferror(in.stream) != 0;
        return 0;
    }
    return 1;
}

} // namespace

void textInputStart(std::FILE *stream)
{
    TextInput &in = run.input;
    in.stream = stream;
    in.position = 0;
    in.end = 0;
    in.ended = 0;
    in.failed = 0;
}

std::size_t textInputLine(char *dest)
{
    TextInput &in = run.input;
    std::size_t len = 0;
    while (len < kLineCapacity) {
        if (in.position == in.end && !refill(in))
            break;
        const char *src = in.chunk + in.position;
        std::size_t span = in.end - in.position;
        if (span > kLineCapacity - len)
            span = kLineCapacity - len;
        // The usual case: a whole line with nothing to translate, copied at once.
        const char *nl = static_cast<const char *>(std::memchr(src, '\n', span));
        std::size_t seg = nl ? static_cast<std::size_t>(nl - src) + 1 : span;
        if (!std::memchr(src, '\r', seg) && !std::memchr(src, kCtrlZ, seg)) {
            std::memcpy(dest + len, src, seg);
            len += seg;
            in.position += seg;
            if (nl)
                break;
            continue;
        }
        // Otherwise byte by byte; a dropped carriage return leaves room for one more byte.
        std::size_t i = 0;
        int lineEnded = 0;
        while (i < in.end - in.position && len < kLineCapacity) {
            char c = src[i++];
            if (c == '\r')
                continue;
            if (c == kCtrlZ) {
                in.ended = 1;
                in.position = in.end;
                dest[len] = '\0';
                return len;
            }
            dest[len++] = c;
            if (c == '\n') {
                lineEnded = 1;
                break;
            }
        }
        in.position += i;
        if (lineEnded)
            break;
    }
    dest[len] = '\0';
    return len;
}
