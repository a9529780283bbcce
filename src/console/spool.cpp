// Spools: a thread's output held back, in memory and then in a temporary file.
#include "console/console.h"

namespace {

// Writes spool's tail to its temporary file. A write that fails may have
// left part of the tail there: only the bytes known to be written count, and
// the tail, with all that comes after it, stays in memory.
void spillTail(Spool &spool)
{
    if (std::fwrite(spool.tail.data(), 1, spool.tail.size(), spool.spill) == spool.tail.size() &&
        std::fflush(spool.spill) == 0) {
        spool.spilled += static_cast<std::int64_t>(spool.tail.size());
        spool.tail.clear();
        return;
    }
    spool.noSpill = true;
}

} // namespace

void spoolWrite(Spool &spool, const char *text, std::size_t len)
{
    if (spool.headOnly) {
        if (spool.text.size() < kSpoolMemory)
            spool.text.append(text, len < kSpoolMemory - spool.text.size() ? len : kSpoolMemory - spool.text.size());
        return;
    }
    if (!spool.spill && !spool.noSpill && spool.text.size() + len > kSpoolMemory) {
        spool.spill = std::tmpfile();
        spool.noSpill = !spool.spill;
    }
    // Where no temporary file can be had, memory holds the rest: nothing is lost.
    if (!spool.spill) {
        spool.text.append(text, len);
        return;
    }
    spool.tail.append(text, len);
    if (!spool.noSpill && spool.tail.size() >= kSpoolMemory)
        spillTail(spool);
}

void spoolDrop(Spool &spool)
{
    if (spool.spill)
        std::fclose(spool.spill);
    spool = Spool();
}

void spoolCopy(Spool &spool)
{
    consoleText(spool.text.data(), spool.text.size());
    spool.text.clear();
    if (!spool.spill)
        return;
    std::rewind(spool.spill);
    char buffer[1 << 16];
    std::int64_t left = spool.spilled;
    while (left > 0) {
        const std::size_t want = left < static_cast<std::int64_t>(sizeof buffer) ? static_cast<std::size_t>(left)
                                                                                  : sizeof buffer;
        const std::size_t n = std::fread(buffer, 1, want, spool.spill);
        if (n == 0)
            break;
        consoleText(buffer, n);
        left -= static_cast<std::int64_t>(n);
    }
    consoleText(spool.tail.data(), spool.tail.size());
    std::fclose(spool.spill);
    spool.spill = nullptr;
    spool.spilled = 0;
    spool.tail.clear();
    spool.noSpill = false;
}
