// A private directory under the system's temporary directory for a batch
// run's copies, removed at the end of the run and also when a signal ends
// the process (scratch_posix.cpp, scratch_windows.cpp).
#ifndef MATCHLING_SCRATCH_H
#define MATCHLING_SCRATCH_H

#include <atomic>
#include <string>

struct Scratch {
    std::string path;            // the directory, from the root
    std::atomic<long> group{0};  // the process group of the command running there; 0 when none runs
};

// Makes a new directory that only this user can enter or write, with a
// name of its own under the system's temporary directory ($TMPDIR, else
// /tmp), and guards it: should SIGINT, SIGTERM, SIGHUP or SIGQUIT come
// before scratchRemove, the command's group is killed, the directory
// removed, and the signal then ends the process as it would have. One
// scratch directory at a time; call before starting other threads, which
// then leave those signals to the guard. Returns it, or null with why set.
Scratch *scratchMake(std::string &why);

// Copies the regular file source, never through a symbolic link, to rel
// (parts joined by '/') under the directory, making the directories on the
// way. Returns 0, or 1 with why set.
int scratchCopy(Scratch &scratch, const std::string &source, const std::string &rel, std::string &why);

// Removes the directory and all it holds, never following a symbolic link
// (and giving back the rights a command took from a directory there), then
// lifts the guard and frees scratch. Nothing for null.
void scratchRemove(Scratch *scratch);

#endif
