// The progress line of a long run over trees or commits: on standard error,
// and only when that is a terminal; shown once the run has taken a second,
// written again at most every 200 ms, and cleared before each report line.
#ifndef MATCHLING_PROGRESS_H
#define MATCHLING_PROGRESS_H

#include <chrono>

constexpr auto kProgressEvery = std::chrono::milliseconds(200);  // how often the line is written at most

struct ProgressLine {
    bool terminal = false;  // standard error is a terminal and the run shows progress
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last = start;  // when the line was last written
    bool shown = false;                                   // it stands on the terminal now
};

// Whether the line is due now; when it is, seconds is the run's time so far.
bool progressDue(ProgressLine &p, double &seconds);

// Writes text (one line without its line end) as the line.
void progressShow(ProgressLine &p, const char *text);

// Takes the line off the terminal, when it stands there.
void progressClear(ProgressLine &p);

#endif
