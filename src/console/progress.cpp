#include "console/progress.h"

#include <cstdio>

namespace {

constexpr auto kProgressDelay = std::chrono::seconds(1);         // a run shorter than this shows no progress
constexpr int kProgressWidth = 79;                               // columns the line may take

} // namespace

bool progressDue(ProgressLine &p, double &seconds)
{
    const auto now = std::chrono::steady_clock::now();
    const auto elapsed = now - p.start;
    // A report line clears it: it comes back at most every kProgressEvery.
    if (!p.terminal || elapsed < kProgressDelay || now - p.last < kProgressEvery)
        return false;
    p.last = now;
    seconds = std::chrono::duration<double>(elapsed).count();
    return true;
}

void progressShow(ProgressLine &p, const char *text)
{
    std::fprintf(stderr, "\r%.*s ", kProgressWidth - 1, text);
    std::fflush(stderr);
    p.shown = true;
}

void progressClear(ProgressLine &p)
{
    if (p.shown)
        std::fprintf(stderr, "\r%*s\r", kProgressWidth, "");
    std::fflush(stderr);
    p.shown = false;
}
