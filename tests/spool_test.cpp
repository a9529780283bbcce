// Spools hold a worker's output until its turn: whatever its size, it must
// come out whole and in order, and an emptied spool holds nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "console/spool.h"

namespace {

TEST(Spool, OutputComesBackWholeAndInOrder)
{
    std::string written;
    Spool spool;
    for (int i = 0; written.size() < 3 * kSpoolMemory; ++i) {
        const std::string line = "line " + std::to_string(i) + "\n";
        spoolWrite(spool, line.data(), line.size());
        written += line;
    }
    EXPECT_TRUE(spool.spill != nullptr) << "past kSpoolMemory the rest goes to a file";
    Spool copy;
    consoleTo(&copy);
    spoolCopy(spool);
    consoleTo(nullptr);
    std::string read = copy.text;
    if (copy.spill) {
        std::rewind(copy.spill);
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, copy.spill)) > 0)
            read.append(buffer, n);
    }
    EXPECT_TRUE(read == written) << read.size() << " bytes against " << written.size();
    EXPECT_TRUE(spool.text.empty() && !spool.spill);
    spoolDrop(copy);
    EXPECT_TRUE(copy.text.empty() && !copy.spill);
}

} // namespace
