#include "common/source_stream.h"

#include <cstring>

std::size_t readSource(SourceStream &source, char *dest, std::size_t n)
{
    if (source.bytes) {
        if (source.remaining >= 0 && static_cast<std::uint64_t>(source.remaining) < n)
            n = static_cast<std::size_t>(source.remaining);
        std::memcpy(dest, source.bytes, n);
        source.bytes += n;
        source.remaining -= static_cast<std::int64_t>(n);
        return n;
    }
    // The end of a stream read to its end is final: no read asks again.
    if (!source.stream || source.remaining == 0 || (source.remaining < 0 && std::feof(source.stream)))
        return 0;
    if (source.remaining > 0 && static_cast<std::uint64_t>(source.remaining) < n)
        n = static_cast<std::size_t>(source.remaining);
    std::size_t got = std::fread(dest, 1, n, source.stream);
    if (source.remaining > 0) {
        source.remaining -= static_cast<std::int64_t>(got);
        // An object of known size that stops short was cut off.
        if (got < n)
            source.failed = true;
    } else if (got < n && std::ferror(source.stream)) {
        source.failed = true;
    }
    return got;
}
