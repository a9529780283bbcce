// Byte classes of a block of 64 source bytes as bit masks, for any lexer: the
// lexer gives a table of each byte value's class (data), and the vector code
// that tests a block against it is built from that table, so a new language
// needs no vector code of its own.
//
// The vector test splits each class into products of a set of low nibbles and
// a set of high nibbles: a byte is in a product when the shuffle of its low
// nibble and the shuffle of its high nibble share the product's bit. Sixteen
// products fit, in two pairs of shuffle tables; a table that needs more does
// not compile.
#ifndef MATCHLING_BYTE_SETS_H
#define MATCHLING_BYTE_SETS_H

#include <cstdint>

#include "scan/byte_masks.h"

constexpr int kSetClasses = 16;  // classes a table may give

// The class of each byte value, 0 to kSetClasses - 1. The vector test finds
// the bytes of the rest class as those of no other, so the class of the most
// products is best made the rest.
struct ClassTable {
    unsigned char of[256];
    unsigned char rest;
};

// Bit k of of[c]: byte k of the block is of class c.
struct SetMasks {
    std::uint64_t of[kSetClasses];
};

// Classifies the kMaskBlock bytes from p a byte at a time; the reference of
// the vector version.
void classifySetsPortable(const char *p, const ClassTable &table, SetMasks &m);

// A table as the vector code tests it.
struct NibbleTables {
    alignas(32) unsigned char low[2][32];   // per product pair, the product bits each low nibble is in (twice)
    alignas(32) unsigned char high[2][32];  // the same for each high nibble
    unsigned char bits[2][kSetClasses];     // per product pair, the products that make up each class
    unsigned char rest;                     // the class of the bytes of no other
};

// The products of table's classes; more than sixteen fail to compile (the
// throw is not a constant expression).
constexpr NibbleTables nibbleTables(const ClassTable &table)
{
    NibbleTables t{};
    t.rest = table.rest;
    int next = 0;
    for (int c = 0; c < kSetClasses; ++c) {
        if (c == table.rest)
            continue;
        std::uint16_t lows[16] = {};  // the low nibbles of the class's bytes, for each high nibble
        for (int b = 0; b < 256; ++b)
            if (table.of[b] == c)
                lows[b >> 4] = static_cast<std::uint16_t>(lows[b >> 4] | 1u << (b & 15));
        bool done[16] = {};
        for (int h = 0; h < 16; ++h) {
            if (lows[h] == 0 || done[h])
                continue;
            if (next == 16)
                throw "more than sixteen nibble products";
            const int pair = next / 8;
            const unsigned char bit = static_cast<unsigned char>(1u << (next % 8));
            ++next;
            t.bits[pair][c] = static_cast<unsigned char>(t.bits[pair][c] | bit);
            for (int g = h; g < 16; ++g)
                if (lows[g] == lows[h]) {
                    done[g] = true;
                    t.high[pair][g] = t.high[pair][g + 16] = static_cast<unsigned char>(t.high[pair][g] | bit);
                }
            for (int n = 0; n < 16; ++n)
                if (lows[h] & (1u << n))
                    t.low[pair][n] = t.low[pair][n + 16] = static_cast<unsigned char>(t.low[pair][n] | bit);
        }
    }
    return t;
}

#ifdef MATCHLING_MASKS_X86

// Classifies the kMaskBlock bytes from p with AVX2 (vectorMasks() true), by
// the products of Tables, which nibbleTables made.
template <const NibbleTables &Tables>
MATCHLING_MASKS_TARGET inline void classifySetsAvx2(const char *p, SetMasks &m)
{
    const __m256i nibble = _mm256_set1_epi8(0x0f);
    __m256i low[2], high[2];
    for (int k = 0; k < 2; ++k) {
        low[k] = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(Tables.low[k]));
        high[k] = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(Tables.high[k]));
    }
    for (int c = 0; c < kSetClasses; ++c)
        m.of[c] = 0;
    for (int h = 0; h < 2; ++h) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + 32 * h));
        const __m256i lo = _mm256_and_si256(x, nibble);
        const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(x, 4), nibble);
        __m256i in[2];
        for (int k = 0; k < 2; ++k)
            in[k] = _mm256_and_si256(_mm256_shuffle_epi8(low[k], lo), _mm256_shuffle_epi8(high[k], hi));
        for (int c = 0; c < kSetClasses; ++c) {
            if ((Tables.bits[0][c] | Tables.bits[1][c]) == 0)
                continue;
            const __m256i any = _mm256_or_si256(
                _mm256_and_si256(in[0], _mm256_set1_epi8(static_cast<char>(Tables.bits[0][c]))),
                _mm256_and_si256(in[1], _mm256_set1_epi8(static_cast<char>(Tables.bits[1][c]))));
            const std::uint32_t none =
                static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(any, _mm256_setzero_si256())));
            m.of[c] |= static_cast<std::uint64_t>(~none) << (32 * h);
        }
    }
    std::uint64_t other = 0;
    for (int c = 0; c < kSetClasses; ++c)
        if (c != Tables.rest)
            other |= m.of[c];
    m.of[Tables.rest] = ~other;
}

#endif

#endif
