// Running another program on POSIX: posix_spawnp with close-on-exec pipes.
#include "walk/process.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

extern char **environ;

struct Process {
    pid_t pid = -1;               // the program
    int input = -1;               // the writing end of its standard input; -1 when it has none
    std::FILE *output = nullptr;  // the reading end of its standard output
};

namespace {

// Lets a child start with no signal blocked and SIGPIPE at its default
// (this process may ignore it); the caller sets the flags that apply them.
void defaultSignals(posix_spawnattr_t &attributes)
{
    sigset_t none, pipe;
    sigemptyset(&none);
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &pipe);
}

void closeBoth(int fds[2])
{
    for (int i = 0; i < 2; ++i) {
        if (fds[i] >= 0)
            close(fds[i]);
        fds[i] = -1;
    }
}

// Spawns argv with in (or the null device) as its standard input and out as
// its standard output; the child starts with no signal blocked and SIGPIPE
// at its default, whatever this thread has. Returns 0 or an errno value.
int spawn(const std::vector<std::string> &argv, int in, int out, pid_t &pid)
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    if (in >= 0)
        posix_spawn_file_actions_adddup2(&actions, in, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    defaultSignals(attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char *> args;
    for (const std::string &arg : argv)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);
    int status = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return status;
}

} // namespace

Process *processStart(const std::vector<std::string> &argv, bool input, std::string &why)
{
    // Close-on-exec, so that no other program started meanwhile holds them open.
    int out[2] = {-1, -1}, in[2] = {-1, -1};
    int status = 0;
    if (argv.empty())
        status = ENOENT;
    else if (pipe2(out, O_CLOEXEC) != 0 || (input && pipe2(in, O_CLOEXEC) != 0))
        status = errno;
    pid_t pid = -1;
    if (status == 0)
        status = spawn(argv, in[0], out[1], pid);
    std::FILE *output = status == 0 ? fdopen(out[0], "rb") : nullptr;
    if (!output) {
        if (status == 0) {
            status = errno;
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        why = std::strerror(status);
        closeBoth(out);
        closeBoth(in);
        return nullptr;
    }
    close(out[1]);
    if (input)
        close(in[0]);
    return new Process{pid, in[1], output};
}

std::FILE *processOutput(Process &process)
{
    return process.output;
}

int processWrite(Process &process, const char *bytes, std::size_t n)
{
    // SIGPIPE stays blocked in this thread for the write; one the write
    // raised is taken back, unless one was waiting already.
    sigset_t pipe, previous, waiting;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, &previous);
    sigpending(&waiting);
    bool wasWaiting = sigismember(&waiting, SIGPIPE);
    int status = process.input < 0;
    bool broken = false;
    while (n > 0 && status == 0) {
        ssize_t wrote = write(process.input, bytes, n);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            broken = wrote < 0 && errno == EPIPE;
            status = 1;
            break;
        }
        bytes += wrote;
        n -= static_cast<std::size_t>(wrote);
    }
    if (broken && !wasWaiting) {
        struct timespec now = {0, 0};
        while (sigtimedwait(&pipe, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return status;
}

void processEndInput(Process &process)
{
    if (process.input >= 0)
        close(process.input);
    process.input = -1;
}

int processFinish(Process *process)
{
    if (process->input >= 0)
        close(process->input);
    std::fclose(process->output);
    int status = 0;
    pid_t ended;
    while ((ended = waitpid(process->pid, &status, 0)) < 0 && errno == EINTR) {
    }
    delete process;
    return ended > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string processCurrentDirectory()
{
    std::string dir(256, '\0');
    for (;;) {
        if (getcwd(&dir[0], dir.size())) {
            dir.resize(std::strlen(dir.c_str()));
            return dir;
        }
        if (errno != ERANGE)
            return std::string();
        dir.resize(dir.size() * 2);
    }
}

namespace {

constexpr int kShellPollMs = 100;        // how long a wait for the shell's standard error lasts before its end is checked
constexpr int kShellLongestNapMs = 20;   // the longest pause between checks once its standard error has closed

// Spawns "/bin/sh -c command" in a new process group, in directory (the
// current one when empty), with in, out and err as its standard streams;
// the child starts with no signal blocked and SIGPIPE at its default.
// Returns 0 or an errno value.
int spawnShell(const std::string &command, const std::string &directory, int in, int out, int err, pid_t &pid)
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    if (!directory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    posix_spawn_file_actions_adddup2(&actions, in, 0);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_adddup2(&actions, err, 2);
    defaultSignals(attributes);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    char *args[] = {const_cast<char *>("sh"), const_cast<char *>("-c"), const_cast<char *>(command.c_str()), nullptr};
    int status = posix_spawn(&pid, "/bin/sh", &actions, &attributes, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return status;
}

// Opens input for the shell's standard input: only a regular file, never
// waiting on a FIFO; the null device when input is empty. Returns the
// descriptor, or -1 with why set.
int openInput(const std::string &input, std::string &why)
{
    if (input.empty())
        return open("/dev/null", O_RDONLY | O_CLOEXEC);
    int fd = open(input.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
        why = "unreadable";
    } else if (!S_ISREG(st.st_mode)) {
        why = "not a regular file";
    } else {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return fd;
    }
    if (fd >= 0)
        close(fd);
    return -1;
}

// Reads what err holds into outcome's first line, dropping the rest. Returns
// false at its end.
bool readError(int err, ShellOutcome &outcome, bool &lineDone)
{
    char buffer[4096];
    ssize_t n = read(err, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return true;
    if (n <= 0)
        return false;
    for (ssize_t i = 0; i < n && !lineDone; ++i) {
        if (buffer[i] == '\n' || outcome.firstError.size() == kShellErrorLine)
            lineDone = true;
        else if (buffer[i] != '\r')
            outcome.firstError += buffer[i];
    }
    return true;
}

// Waits for pid to end, reading err meanwhile, and kills its group once the
// deadline passes, or with endGroup once pid has ended. Closes err.
void waitShell(pid_t pid, int err, std::chrono::steady_clock::time_point deadline, bool endGroup, ShellOutcome &outcome)
{
    bool open = true, lineDone = false;
    int nap = 1;
    int status = 0;
    for (;;) {
        // Reaped only after its group had its chance to be killed, so its id
        // cannot have gone to another process meanwhile.
        siginfo_t info = {};
        if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid) {
            if (endGroup)
                kill(-pid, SIGKILL);
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            kill(-pid, SIGKILL);
            outcome.timedOut = true;
            break;
        }
        const int slice = left.count() < kShellPollMs ? static_cast<int>(left.count()) : kShellPollMs;
        if (open) {
            struct pollfd p = {err, POLLIN, 0};
            if (poll(&p, 1, slice) > 0)
                open = readError(err, outcome, lineDone);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(nap < slice ? nap : slice));
            nap = nap * 2 < kShellLongestNapMs ? nap * 2 : kShellLongestNapMs;
        }
    }
    // What it wrote before its end, as far as the first line goes.
    struct pollfd p = {err, POLLIN, 0};
    while (open && !lineDone && poll(&p, 1, 0) > 0)
        open = readError(err, outcome, lineDone);
    close(err);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

} // namespace

int processShell(const std::string &command, const std::string &input, std::FILE *output, int seconds,
                 ShellOutcome &outcome, std::string &why)
{
    ShellRun how;
    how.input = input;
    how.output = output;
    how.seconds = seconds;
    return processShellRun(command, how, outcome, why);
}

int processShellRun(const std::string &command, const ShellRun &how, ShellOutcome &outcome, std::string &why)
{
    outcome = ShellOutcome();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(how.seconds);
    int in = openInput(how.input, why);
    if (in < 0)
        return 1;
    int out = how.output ? fileno(how.output) : open("/dev/null", O_WRONLY | O_CLOEXEC);
    int err[2] = {-1, -1};
    int status = out < 0 ? errno : pipe2(err, O_CLOEXEC) != 0 ? errno : 0;
    if (how.output)
        std::fflush(how.output);
    pid_t pid = -1;
    if (status == 0)
        status = spawnShell(command, how.directory, in, out, err[1], pid);
    close(in);
    if (!how.output && out >= 0)
        close(out);
    if (err[1] >= 0)
        close(err[1]);
    if (status != 0) {
        why = std::strerror(status);
        if (err[0] >= 0)
            close(err[0]);
        return 1;
    }
    if (how.group)
        how.group->store(pid);
    waitShell(pid, err[0], deadline, how.endGroup, outcome);
    if (how.group)
        how.group->store(0);
    return 0;
}

std::size_t processLongestCommand()
{
    // Linux takes no argument longer than 32 pages (MAX_ARG_STRLEN); the
    // others count only the whole, which the environment shares.
    constexpr std::size_t kLongestArgument = 32 * 4096;
    constexpr std::size_t kShellRoom = 4096;
    const long most = sysconf(_SC_ARG_MAX);
    std::size_t environment = 0;
    for (char **e = environ; *e; ++e)
        environment += std::strlen(*e) + 1 + sizeof(char *);
    std::size_t whole = most > 0 ? static_cast<std::size_t>(most) : kLongestArgument;
    whole = whole > environment + kShellRoom ? whole - environment - kShellRoom : 0;
    return whole < kLongestArgument - kShellRoom ? whole : kLongestArgument - kShellRoom;
}

std::string processShellQuote(const std::string &text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}
