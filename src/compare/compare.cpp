#include "compare/compare.h"

#include <cstring>

#include "console/console.h"

CompareState comparison;

namespace {

// Fills context with up to kContextSize - 1 bytes of block from start on, none
// at or beyond limit.
void takeContext(char *context, const char *block, std::size_t start, std::size_t limit)
{
    std::memset(context, 0, kContextSize);
    std::size_t n = limit - start;
    if (n > kContextSize - 1)
        n = kContextSize - 1;
    std::memcpy(context, block + start, n);
}

void reportByteCount(std::size_t count1, std::size_t count2)
{
    CompareState &c = comparison;
    consoleMessage("Matchling==>  Byte Count error in compareFiles() \n");
    consoleMessage("Matchling==>  Inputfile1 blocks read = %lld \n", static_cast<long long>(c.blocksRead1));
    consoleMessage("Matchling==>  Inputfile1 bytes read in last block = %lld \n", static_cast<long long>(count1));
    consoleMessage("Matchling==>  Inputfile2 blocks read = %lld \n", static_cast<long long>(c.blocksRead2));
    consoleMessage("Matchling==>  Inputfile2 bytes read in last block = %lld \n", static_cast<long long>(count2));
    consoleMessage("Matchling==>  Program will abort \n");
    std::size_t k = count1 < count2 ? count1 : count2;
    takeContext(c.context1, c.block1, 0, k);
    takeContext(c.context2, c.block2, 0, k);
    consoleMessage("Matchling==> Beg. of block string from first  input file: \n");
    consoleMessage("%s \n\n", c.context1);
    consoleMessage("Matchling==> Beg. of block string from second input file: \n");
    consoleMessage("%s \n\n", c.context2);
}

void reportMismatch(std::size_t i, std::size_t count)
{
    CompareState &c = comparison;
    const char *name1 = run.fileName1.c_str();
    const char *name2 = run.fileName2.c_str();
    takeContext(c.context1, c.block1, i, count);
    takeContext(c.context2, c.block2, i, count);
    consoleMessage("Matchling==> Mismatch at offset %lld for %s \n", static_cast<long long>(c.matched), name1);
    consoleMessage("Matchling==> Character from %s '%c' \n", name1, c.block1[i]);
    consoleMessage("Matchling==> String from %s: \n", name1);
    consoleMessage("%s \n\n", c.context1);
    consoleMessage("Matchling==> Character from %s '%c' \n", name2, c.block2[i]);
    consoleMessage("Matchling==> String from %s: \n", name2);
    consoleMessage("%s \n", c.context2);
}

} // namespace

int compareFiles()
{
    CompareState &c = comparison;
    for (;;) {
        // Both files advance in lockstep, one block each.
        std::size_t count1 = std::fread(c.block1, 1, kBlockSize, run.read1);
        if (count1 > 0)
            ++c.blocksRead1;
        std::size_t count2 = std::fread(c.block2, 1, kBlockSize, run.read2);
        if (count2 > 0)
            ++c.blocksRead2;

        if (count1 != count2) {
            // The report compares no byte, but the first difference may lie in the overlap.
            std::size_t overlap = count1 < count2 ? count1 : count2;
            std::size_t i = 0;
            while (i < overlap && c.block1[i] == c.block2[i])
                ++i;
            c.firstDifference = c.matched + static_cast<std::int64_t>(i);
            c.shorterFile = i < overlap ? 0 : (count1 < count2 ? 1 : 2);
            reportByteCount(count1, count2);
            ++run.errors;
            return 1;
        }
        if (count1 == 0)
            return 0;
        if (std::memcmp(c.block1, c.block2, count1) != 0) {
            std::size_t i = 0;
            while (c.block1[i] == c.block2[i])
                ++i;
            c.matched += static_cast<std::int64_t>(i);
            c.firstDifference = c.matched;
            reportMismatch(i, count1);
            ++run.errors;
            return 1;
        }
        c.matched += static_cast<std::int64_t>(count1);
    }
}
