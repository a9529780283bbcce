#include "scan/byte_masks.h"

#ifdef MATCHLING_MASKS_X86
#include <cpuid.h>
#endif

namespace {

constexpr std::uint16_t classBits(int c)
{
    auto in = [c](const char *set) {
        for (; *set; ++set)
            if (static_cast<unsigned char>(*set) == c)
                return true;
        return false;
    };
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool digit = c >= '0' && c <= '9';
    const bool member[kMaskClasses] = {
        in(" \t\v\f\r"), c == '\n', letter || digit || c == '_' || c == '$' || c >= 0x80, digit,
        in("()[]{};,~"), in("!%&*+-./:<=>?^|"), c == '/', c == '*', c == '.', c == '%', c == ':', in("+-"),
    };
    std::uint16_t bits = 0;
    for (int k = 0; k < kMaskClasses; ++k)
        bits = static_cast<std::uint16_t>(bits | (member[k] ? 1 << k : 0));
    return bits;
}

struct ClassBits {
    std::uint16_t bits[256];
    constexpr ClassBits() : bits()
    {
        for (int c = 0; c < 256; ++c)
            bits[c] = classBits(c);
    }
};
constexpr ClassBits kBits{};

} // namespace

void classifyBlockPortable(const char *p, ByteMasks &m)
{
    std::uint64_t out[kMaskClasses] = {};
    for (unsigned i = 0; i < kMaskBlock; ++i) {
        const std::uint16_t b = kBits.bits[static_cast<unsigned char>(p[i])];
        for (int k = 0; k < kMaskClasses; ++k)
            out[k] |= static_cast<std::uint64_t>((b >> k) & 1) << i;
    }
    setMasks(m, out);
}

#ifdef MATCHLING_MASKS_X86
bool vectorMasks()
{
    static const bool avx2 = [] {
        // LZCNT is told by CPUID itself: not every compiler names it to
        // __builtin_cpu_supports.
        unsigned a = 0, b = 0, c = 0, d = 0;
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("bmi") &&
               __builtin_cpu_supports("bmi2") && __get_cpuid(0x80000001u, &a, &b, &c, &d) && (c & bit_LZCNT) != 0;
    }();
    return avx2;
}
#endif
