// Another program run beside this one, its standard output read through a
// pipe and, when asked, its standard input written through another: what
// reading git needs from the platform (process_posix.cpp, process_windows.cpp).
#ifndef MATCHLING_WALK_PROCESS_H
#define MATCHLING_WALK_PROCESS_H

#include <atomic>
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

// Closes the program's standard input, so that it reads to its end; later
// writes fail. One thread may write and end the input while another reads.
void processEndInput(Process &process);

// Closes the pipes, waits for the program to end and frees process. Returns
// its exit status, or -1 when it did not exit normally.
int processFinish(Process *process);

// The current directory (UTF-8 on Windows); empty when it cannot be told.
std::string processCurrentDirectory();

constexpr std::size_t kShellErrorLine = 200;  // bytes of a command's first line of standard error that are kept

// How a command run through the system shell ended.
struct ShellOutcome {
    int status = -1;         // its exit status; -1 when it did not exit normally
    int signal = 0;          // the signal that ended it; 0 when none did
    bool timedOut = false;   // it ran past its time and was stopped, with every process it started
    std::string firstError;  // the first line of its standard error, at most kShellErrorLine bytes
};

// Runs command through the system shell (/bin/sh -c) in the current
// directory, in a process group of its own, with the regular file input on
// its standard input and its standard output written to output (a file open
// for writing, from its current position). Past seconds, the whole group is
// killed. Returns 0 with outcome set, or 1 with why set when it cannot be
// started (or the system has no shell to run it).
int processShell(const std::string &command, const std::string &input, std::FILE *output, int seconds,
                 ShellOutcome &outcome, std::string &why);

// How processShellRun runs a command.
struct ShellRun {
    std::string directory;         // where it runs; empty for the current directory
    std::string input;             // the regular file on its standard input; empty for the null device
    std::FILE *output = nullptr;   // where its standard output goes, from the file's current position; null for the null device
    int seconds = 0;               // how long it may run; past it, the whole group is killed
    std::atomic<long> *group = nullptr;  // when set, holds the command's process group while it runs, and 0 after
    bool endGroup = false;         // once the command has ended, kill what it left running in its group
};

// Runs command as how says, through the system shell, in a process group of
// its own, its standard error read for outcome's first line. Returns 0 with
// outcome set, or 1 with why set when it cannot be started (or the system
// has no shell to run it).
int processShellRun(const std::string &command, const ShellRun &how, ShellOutcome &outcome, std::string &why);

// The longest command processShellRun takes, in bytes: what the system
// lets one argument of a program be, and all of them with the environment,
// less room for the shell's own. 0 where commands are not run.
std::size_t processLongestCommand();

// text quoted so that the system shell reads it back as one word.
std::string processShellQuote(const std::string &text);

#endif
