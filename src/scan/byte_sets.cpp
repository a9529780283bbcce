#include "scan/byte_sets.h"

void classifySetsPortable(const char *p, const ClassTable &table, SetMasks &m)
{
    std::uint64_t out[kSetClasses] = {};
    for (unsigned i = 0; i < kMaskBlock; ++i)
        out[table.of[static_cast<unsigned char>(p[i])]] |= std::uint64_t{1} << i;
    for (int c = 0; c < kSetClasses; ++c)
        m.of[c] = out[c];
}
