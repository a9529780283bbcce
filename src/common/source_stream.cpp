#include "common/source_stream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/byte_buffer.h"

namespace {

std::size_t readUnheld(SourceStream &source, char *dest, std::size_t n)
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

} // namespace

std::size_t readSource(SourceStream &source, char *dest, std::size_t n)
{
    const std::size_t held = std::min(n, source.heldLength);
    if (held > 0) {
        std::memcpy(dest, source.held, held);
        source.held += held;
        source.heldLength -= held;
    }
    return held == n ? held : held + readUnheld(source, dest + held, n - held);
}

std::size_t lookAhead(SourceStream &source, char *head, std::size_t n)
{
    std::size_t got = 0;
    for (std::size_t k; got < n && (k = readSource(source, head + got, n - got)) > 0;)
        got += k;
    source.held = head;
    source.heldLength = got;
    return got;
}

namespace {

constexpr std::size_t kWholeReadSize = 65536;  // bytes per read of a source read whole

// The bytes of source's stream (or memory) still to come, where that is
// known; -1 when not.
std::int64_t unheldToCome(SourceStream &source)
{
    if (source.remaining >= 0 || source.bytes || !source.stream)
        return source.remaining;
    const long at = std::ftell(source.stream);
    if (at < 0 || std::fseek(source.stream, 0, SEEK_END) != 0)
        return -1;  // no file that can seek (a pipe)
    const long end = std::ftell(source.stream);
    std::fseek(source.stream, at, SEEK_SET);
    return end >= at ? end - at : -1;
}

// The bytes of source still to come, those read ahead with them; -1 when not known.
std::int64_t bytesToCome(SourceStream &source)
{
    const std::int64_t unheld = unheldToCome(source);
    return unheld < 0 ? -1 : unheld + static_cast<std::int64_t>(source.heldLength);
}

} // namespace

bool readWholeSource(SourceStream &source, ByteBuffer &text, std::size_t maxBytes)
{
    const std::int64_t expected = bytesToCome(source);
    text.resize(0);
    if (expected > 0)
        text.reserve(std::min(static_cast<std::uint64_t>(expected), static_cast<std::uint64_t>(maxBytes)) +
                     kWholeReadSize);
    std::size_t used = 0;
    for (;;) {
        char *dest = text.grow(kWholeReadSize);
        const std::size_t got = readSource(source, dest, kWholeReadSize);
        if (const void *z = std::memchr(dest, 0x1a, got)) {
            used = static_cast<std::size_t>(static_cast<const char *>(z) - text.data());
            break;
        }
        used += got;
        text.resize(used);
        if (used > maxBytes) {
            text.release();
            return false;
        }
        if (got == 0)
            break;
    }
    text.resize(used);
    return true;
}
