// Whitespace removal on x86 processors: sixteen bytes at a time with SSSE3
// where the processor has it, the portable loop elsewhere.
#include "normalize/line_rules.h"

#include <emmintrin.h>
#include <tmmintrin.h>

#include "normalize/squeeze_table.h"

namespace {

// For each pattern of kept bytes among eight, the byte shuffle that moves the
// kept ones to the front, and how many there are.
struct ShuffleTable {
    unsigned char shuffle[256][8];
    unsigned char count[256];
    constexpr ShuffleTable() : shuffle(), count()
    {
        for (int mask = 0; mask < 256; ++mask) {
            int k = 0;
            for (int bit = 0; bit < 8; ++bit)
                if (mask & (1 << bit))
                    shuffle[mask][k++] = static_cast<unsigned char>(bit);
            count[mask] = static_cast<unsigned char>(k);
            for (; k < 8; ++k)
                shuffle[mask][k] = 0x80;  // a zero byte, overwritten by the next store
        }
    }
};
constexpr ShuffleTable kShuffles{};

__attribute__((target("ssse3"))) std::size_t squeezeSsse3(char *out, const char *in, std::size_t n)
{
    const __m128i space = _mm_set1_epi8(' '), tab = _mm_set1_epi8('\t');
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    std::size_t o = 0, i = 0;
    // Each 8-byte store ends at most at in + i + 16, which is already loaded,
    // so out may be in itself; nothing is written past out + n.
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
        const __m128i blank = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, space), _mm_cmpeq_epi8(v, tab)),
                                           _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
        const unsigned keep = ~static_cast<unsigned>(_mm_movemask_epi8(blank)) & 0xffffu;
        const unsigned low = keep & 0xffu, high = keep >> 8;
        const __m128i lowBytes = _mm_shuffle_epi8(
            v, _mm_loadl_epi64(reinterpret_cast<const __m128i *>(kShuffles.shuffle[low])));
        const __m128i highBytes = _mm_shuffle_epi8(
            _mm_srli_si128(v, 8), _mm_loadl_epi64(reinterpret_cast<const __m128i *>(kShuffles.shuffle[high])));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out + o), lowBytes);
        o += kShuffles.count[low];
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out + o), highBytes);
        o += kShuffles.count[high];
    }
    return o + squeezeScalar(out + o, in + i, n - i);
}

} // namespace

std::size_t squeezeLayout(char *out, const char *in, std::size_t n)
{
    static const bool vector = __builtin_cpu_supports("ssse3");
    return vector ? squeezeSsse3(out, in, n) : squeezeScalar(out, in, n);
}
