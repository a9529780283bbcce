// Running another program on POSIX: posix_spawnp with close-on-exec pipes.
#include "walk/process.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char **environ;

struct Process {
    pid_t pid = -1;               // the program
    int input = -1;               // the writing end of its standard input; -1 when it has none
    std::FILE *output = nullptr;  // the reading end of its standard output
};

namespace {

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
    sigset_t none, pipe;
    sigemptyset(&none);
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &pipe);
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
