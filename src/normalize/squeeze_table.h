// The scalar whitespace removal that every squeezeLayout falls back on.
// Included by the squeeze_*.cpp files only.
#ifndef MATCHLING_SQUEEZE_TABLE_H
#define MATCHLING_SQUEEZE_TABLE_H

#include <cstddef>

// 1 for the bytes the normalized text keeps, 0 for space, tab, CR and LF.
struct KeepTable {
    unsigned char keep[256];
    constexpr KeepTable() : keep()
    {
        for (int c = 0; c < 256; ++c)
            keep[c] = c != ' ' && c != '\t' && c != '\r' && c != '\n';
    }
};
inline constexpr KeepTable kKeep{};

// Every byte is stored and only the kept ones advance the output, so the bytes
// decide no branch. Each byte is read before any store can reach it, which
// makes out == in safe as well.
inline std::size_t squeezeScalar(char *out, const char *in, std::size_t n)
{
    std::size_t o = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(in[i]);
        out[o] = static_cast<char>(c);
        o += kKeep.keep[c];
    }
    return o;
}

#endif
