// Finding a run of bytes in a text, on every platform (MinGW's C library
// has no memmem).
#ifndef MATCHLING_COMMON_FIND_BYTES_H
#define MATCHLING_COMMON_FIND_BYTES_H

#include <cstddef>
#include <cstring>

// The first place in text[0, n) where the m bytes of needle stand, or
// nullptr; text itself for an empty needle.
inline const char *findBytes(const void *text, std::size_t n, const char *needle, std::size_t m)
{
    const char *t = static_cast<const char *>(text);
    if (m == 0)
        return t;
    for (const char *end = t + n; static_cast<std::size_t>(end - t) >= m;) {
        const void *first = std::memchr(t, needle[0], static_cast<std::size_t>(end - t) - m + 1);
        if (!first)
            return nullptr;
        t = static_cast<const char *>(first);
        if (std::memcmp(t, needle, m) == 0)
            return t;
        ++t;
    }
    return nullptr;
}

#endif
