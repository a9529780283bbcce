// Byte classes of a block of 64 source bytes as bit masks: bit k of each mask
// tells whether byte k of the block is in that class. A lexer takes token
// boundaries from these masks a block at a time instead of deciding at each
// byte; the classes are those of the C family's common tokens.
#ifndef MATCHLING_BYTE_MASKS_H
#define MATCHLING_BYTE_MASKS_H

#include <cstdint>

constexpr unsigned kMaskBlock = 64;  // bytes a set of masks covers

struct ByteMasks {
    std::uint64_t blank;     // space, tab, vertical tab, form feed, carriage return
    std::uint64_t lineFeed;  // '\n'
    std::uint64_t name;      // letter, digit, '_', '$', or >= 0x80
    std::uint64_t digit;     // '0' to '9'
    std::uint64_t solo;      // ( ) [ ] { } ; , ~
    std::uint64_t punct;     // ! % & * + - . / : < = > ? ^ |  (bytes a longer punctuator is made of)
    std::uint64_t slash;     // '/'
    std::uint64_t star;      // '*'
    std::uint64_t dot;       // '.'
    std::uint64_t percent;   // '%'
    std::uint64_t colon;     // ':'
    std::uint64_t sign;      // '+' or '-'
};

// Bits below bit k of a block's mask (k may be negative or past the block).
inline std::uint64_t maskBelow(std::int64_t k)
{
    return k <= 0 ? 0 : k >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << k) - 1;
}

// The index of the lowest set bit of x; 64 when none is.
inline unsigned lowestBit(std::uint64_t x)
{
    return x ? static_cast<unsigned>(__builtin_ctzll(x)) : 64;
}

// The bit counts of the block loops, on every processor.
struct PortableBits {
    static unsigned lowest(std::uint64_t x) { return lowestBit(x); }
    // The bits of x below bit k (k < 64).
    static std::uint64_t below(std::uint64_t x, unsigned k) { return x & ((std::uint64_t{1} << k) - 1); }
    // The index just past x's highest bit; 0 when x is 0. Bit 63 of x is clear.
    static unsigned pastHighest(std::uint64_t x) { return 63 - static_cast<unsigned>(__builtin_clzll(x << 1 | 1)); }
};

// The masks as an array, in the order of ByteMasks' members.
constexpr int kMaskClasses = sizeof(ByteMasks) / sizeof(std::uint64_t);

inline void setMasks(ByteMasks &m, const std::uint64_t (&c)[kMaskClasses])
{
    m = ByteMasks{c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], c[9], c[10], c[11]};
}

// Classifies the kMaskBlock bytes from p a byte at a time, on every
// processor; the reference of the vector version.
void classifyBlockPortable(const char *p, ByteMasks &m);

#if defined(__x86_64__) || defined(__i386__)
#define MATCHLING_MASKS_X86 1
#include <immintrin.h>

// True when the processor runs classifyBlockAvx2 and the bit counts of the
// code built with MATCHLING_MASKS_TARGET.
bool vectorMasks();

// Code that calls classifyBlockAvx2 is built for these extensions, which
// vectorMasks checks.
#define MATCHLING_MASKS_TARGET __attribute__((target("avx2,popcnt,bmi,bmi2,lzcnt")))

namespace masks_avx2 {

// A table for the byte shuffle that tells, in one compare, whether a byte is
// one of a set whose members differ in their low four bits: entry n is the
// member whose low four bits are n (0 where none is, 0xff at 0; the shuffle
// gives 0 for bytes of 0x80 and more, which no entry matches).
struct NibbleSet {
    alignas(32) char entry[32];
    constexpr NibbleSet(const char *set) : entry()
    {
        for (int n = 0; n < 16; ++n)
            entry[n] = entry[n + 16] = n == 0 ? static_cast<char>(0xff) : 0;
        for (; *set; ++set)
            entry[*set & 15] = entry[(*set & 15) + 16] = *set;
    }
};
constexpr NibbleSet kBlankSet(" \t\v\f\r");
constexpr NibbleSet kSolo1("(),;]~"), kSolo2("[}"), kSolo3("{");
constexpr NibbleSet kPunct1("!%&*+<-./"), kPunct2(":|=>?"), kPunct3("^");

MATCHLING_MASKS_TARGET inline __m256i inSet(__m256i v, const NibbleSet &set)
{
    const __m256i table = _mm256_load_si256(reinterpret_cast<const __m256i *>(set.entry));
    return _mm256_cmpeq_epi8(v, _mm256_shuffle_epi8(table, v));
}

MATCHLING_MASKS_TARGET inline __m256i equal(__m256i x, char b)
{
    return _mm256_cmpeq_epi8(x, _mm256_set1_epi8(b));
}

// Bytes from lo to hi (below 0x80).
MATCHLING_MASKS_TARGET inline __m256i between(__m256i x, char lo, char hi)
{
    return _mm256_and_si256(_mm256_cmpgt_epi8(x, _mm256_set1_epi8(static_cast<char>(lo - 1))),
                            _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(hi + 1)), x));
}

MATCHLING_MASKS_TARGET inline __m256i either(__m256i a, __m256i b)
{
    return _mm256_or_si256(a, b);
}

} // namespace masks_avx2

// The same bit counts by single instructions of BMI, BMI2 and LZCNT, which
// take an empty mask without a branch (on 64-bit processors, which have
// them for 64-bit masks).
#ifdef __x86_64__
struct VectorBits {
    MATCHLING_MASKS_TARGET static unsigned lowest(std::uint64_t x) { return static_cast<unsigned>(_tzcnt_u64(x)); }
    MATCHLING_MASKS_TARGET static std::uint64_t below(std::uint64_t x, unsigned k) { return _bzhi_u64(x, k); }
    MATCHLING_MASKS_TARGET static unsigned pastHighest(std::uint64_t x)
    {
        return 64 - static_cast<unsigned>(_lzcnt_u64(x));
    }
};
#else
using VectorBits = PortableBits;
#endif

// Classifies the kMaskBlock bytes from p with AVX2 (vectorMasks() true).
MATCHLING_MASKS_TARGET inline void classifyBlockAvx2(const char *p, ByteMasks &m)
{
    using namespace masks_avx2;
    std::uint64_t c[kMaskClasses] = {};
    for (int h = 0; h < 2; ++h) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + 32 * h));
        const __m256i digit = between(x, '0', '9');
        const __m256i letter = between(_mm256_or_si256(x, _mm256_set1_epi8(0x20)), 'a', 'z');
        // Bytes of 0x80 and more are name bytes: negative as signed bytes.
        const __m256i high = _mm256_cmpgt_epi8(_mm256_setzero_si256(), x);
        const __m256i cls[kMaskClasses] = {
            inSet(x, kBlankSet),
            equal(x, '\n'),
            either(either(letter, digit), either(either(equal(x, '_'), equal(x, '$')), high)),
            digit,
            either(either(inSet(x, kSolo1), inSet(x, kSolo2)), inSet(x, kSolo3)),
            either(either(inSet(x, kPunct1), inSet(x, kPunct2)), inSet(x, kPunct3)),
            equal(x, '/'),
            equal(x, '*'),
            equal(x, '.'),
            equal(x, '%'),
            equal(x, ':'),
            either(equal(x, '+'), equal(x, '-')),
        };
        for (int k = 0; k < kMaskClasses; ++k)
            c[k] |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(cls[k]))) << (32 * h);
    }
    setMasks(m, c);
}

#endif

#endif
