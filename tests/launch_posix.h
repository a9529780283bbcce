// Runs of the built utility under finer control than runMatchling gives: where
// its standard output goes, its user, a file size cap, and work done beside it.
// POSIX only.
#ifndef MATCHLING_TEST_LAUNCH_POSIX_H
#define MATCHLING_TEST_LAUNCH_POSIX_H

#include <pwd.h>
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "support.h"

constexpr int kTimeoutMs = 60000;  // a run still going after this long is taken to hang

// Where the utility's standard output goes.
enum class Output {
    Pipe,        // read by the test
    ClosedPipe,  // a pipe whose reading end is already closed
    DiskFull,    // /dev/full: every write fails with ENOSPC
};

struct Launch {
    std::vector<std::string> args;
    std::string dir;
    Output output = Output::Pipe;
    bool ignoreSigpipe = false;  // start with SIGPIPE ignored, as some parents leave it
    bool asNobody = false;       // run as the unprivileged user "nobody"
    long fileSizeLimit = -1;     // cap on the size of the files it writes; -1 for none
};

// The user "nobody", or null where there is none.
const struct passwd *nobody();

// Runs the utility as launch says, in a new session (so no key wait can block),
// while during() runs beside it; kills it if it outlives kTimeoutMs, and then
// reports status -2.
RunResult start(const Launch &launch, const std::function<void(pid_t)> &during = nullptr);

#endif
