// Another program run beside this one, its standard output read through a
// pipe and, when asked, its standard input written through another: what
// reading git needs from the platform (process_posix.cpp, process_windows.cpp).
#ifndef MATCHLING_WALK_PROCESS_H
#define MATCHLING_WALK_PROCESS_H

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

// A running program.
struct Process;

// Starts argv[0], found on the PATH, with the arguments argv[1...] in the
// current directory. Its standard output is a pipe to this process; its
// standard input one from this process when input is set, else the null
// device, as is its standard error. It inherits no other pipe of this
// process. Returns null, with why set, when it cannot be started.
Process *processStart(const std::vector<std::string> &argv, bool input, std::string &why);

// The program's standard output, for reading.
std::FILE *processOutput(Process &process);

// Writes n bytes to the program's standard input. Returns 0, or 1 when it
// does not take them (it has ended, say); never raises a signal.
int processWrite(Process &process, const char *bytes, std::size_t n);

// Closes the pipes, waits for the program to end and frees process. Returns
// its exit status, or -1 when it did not exit normally.
int processFinish(Process *process);

// The current directory (UTF-8 on Windows); empty when it cannot be told.
std::string processCurrentDirectory();

#endif
