// The report texts below, odd as some look (a function's name inside a
// report, two blanks after the prefix in some lines and one in others), are
// the product's interface: scripts and stored logs read them. Keep them.
#include "compare/compare.h"

#include <cstring>

#include "console/console.h"

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

void reportByteCount(CompareState &c, const std::size_t (&counts)[2])
{
    consoleMessage("Matchling==>  Byte Count error in compareFiles() \n");
    consoleMessage("Matchling==>  Inputfile1 blocks read = %lld \n", static_cast<long long>(c.blocksRead[0]));
    consoleMessage("Matchling==>  Inputfile1 bytes read in last block = %lld \n", static_cast<long long>(counts[0]));
    consoleMessage("Matchling==>  Inputfile2 blocks read = %lld \n", static_cast<long long>(c.blocksRead[1]));
    consoleMessage("Matchling==>  Inputfile2 bytes read in last block = %lld \n", static_cast<long long>(counts[1]));
    consoleMessage("Matchling==>  Program will abort \n");
    std::size_t k = counts[0] < counts[1] ? counts[0] : counts[1];
    for (int f = 0; f < 2; ++f)
        takeContext(c.contexts[f], c.blocks[f], 0, k);
    consoleMessage("Matchling==> Beg. of block string from first  input file: \n");
    consoleMessage("%s \n\n", c.contexts[0]);
    consoleMessage("Matchling==> Beg. of block string from second input file: \n");
    consoleMessage("%s \n\n", c.contexts[1]);
}

void reportMismatch(CompareState &c, std::size_t i, std::size_t count, const char *const (&names)[2])
{
    for (int f = 0; f < 2; ++f)
        takeContext(c.contexts[f], c.blocks[f], i, count);
    consoleMessage("Matchling==> Mismatch at offset %lld for %s \n", static_cast<long long>(c.matched), names[0]);
    consoleMessage("Matchling==> Character from %s '%c' \n", names[0], c.blocks[0][i]);
    consoleMessage("Matchling==> String from %s: \n", names[0]);
    consoleMessage("%s \n\n", c.contexts[0]);
    consoleMessage("Matchling==> Character from %s '%c' \n", names[1], c.blocks[1][i]);
    consoleMessage("Matchling==> String from %s: \n", names[1]);
    consoleMessage("%s \n", c.contexts[1]);
}

std::size_t fillFromFile(void *self, char *block)
{
    return std::fread(block, 1, kBlockSize, *static_cast<std::FILE **>(self));
}

} // namespace

Verdict compareFiles(CompareState &c, const TextProducer (&texts)[2], const char *const (&names)[2])
{
    c.blocksRead[0] = c.blocksRead[1] = 0;
    c.matched = 0;
    c.firstDifference = -1;
    c.shorterFile = 0;
    for (;;) {
        // Both texts advance in lockstep, one block each.
        std::size_t counts[2];
        for (int f = 0; f < 2; ++f) {
            counts[f] = texts[f].fill(texts[f].self, c.blocks[f]);
            if (counts[f] > 0)
                ++c.blocksRead[f];
        }
        if (counts[0] != counts[1]) {
            // The report compares no byte, but the first difference may lie in the overlap.
            std::size_t overlap = counts[0] < counts[1] ? counts[0] : counts[1];
            std::size_t i = 0;
            while (i < overlap && c.blocks[0][i] == c.blocks[1][i])
                ++i;
            c.firstDifference = c.matched + static_cast<std::int64_t>(i);
            c.shorterFile = i < overlap ? 0 : (counts[0] < counts[1] ? 1 : 2);
            reportByteCount(c, counts);
            return Verdict::Different;
        }
        if (counts[0] == 0)
            return Verdict::Equivalent;
        if (std::memcmp(c.blocks[0], c.blocks[1], counts[0]) != 0) {
            std::size_t i = 0;
            while (c.blocks[0][i] == c.blocks[1][i])
                ++i;
            c.matched += static_cast<std::int64_t>(i);
            c.firstDifference = c.matched;
            reportMismatch(c, i, counts[0], names);
            return Verdict::Different;
        }
        c.matched += static_cast<std::int64_t>(counts[0]);
    }
}

TextProducer fileText(std::FILE *&stream)
{
    TextProducer p;
    p.self = &stream;
    p.fill = fillFromFile;
    return p;
}
