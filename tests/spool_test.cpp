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
        std::string spilled(static_cast<std::size_t>(copy.spilled), '\0');
        spilled.resize(std::fread(&spilled[0], 1, spilled.size(), copy.spill));
        read += spilled;
    }
    read += copy.tail;
    EXPECT_TRUE(read == written) << read.size() << " bytes against " << written.size();
    EXPECT_TRUE(spool.text.empty() && !spool.spill);
    spoolDrop(copy);
    EXPECT_TRUE(copy.text.empty() && !copy.spill);
}

} // namespace
