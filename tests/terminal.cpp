#include "terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace {

bool sameModes(const termios &a, const termios &b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

// The driver: runs the utility on its terminal, then reports on that terminal
// how it ended, whether the modes came back, and what input it left unread.
[[noreturn]] void drive(const std::vector<std::string> &args, const std::string &dir, int goFd)
{
    char go;
    if (read(goFd, &go, 1) != 1 || chdir(dir.c_str()) != 0)
        _exit(120);
    termios before{}, after{};
    tcgetattr(0, &before);
    // The utility starts once its PID is on the screen, so that the line
    // comes before anything the utility writes.
    int startFds[2];
    if (pipe(startFds) != 0)
        _exit(121);
    pid_t pid = fork();
    if (pid == 0) {
        char start;
        close(startFds[1]);
        if (read(startFds[0], &start, 1) != 1)
            _exit(122);
        close(startFds[0]);
        struct rlimit noCore = {0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        std::vector<char *> argv = {const_cast<char *>(MATCHLING_BINARY)};
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(MATCHLING_BINARY, argv.data());
        _exit(127);
    }
    close(startFds[0]);
    std::printf("PID=%d\n", static_cast<int>(pid));
    std::fflush(stdout);
    if (write(startFds[1], "s", 1) != 1)
        _exit(123);
    close(startFds[1]);
    int st = 0;
    waitpid(pid, &st, 0);
    int status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    tcgetattr(0, &after);
    int same = sameModes(before, after);
    // What is left to read, without waiting for a line.
    termios peek = after;
    peek.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    peek.c_cc[VMIN] = 0;
    peek.c_cc[VTIME] = 0;
    tcsetattr(0, TCSANOW, &peek);
    char buf[256];
    ssize_t n = read(0, buf, sizeof buf);
    tcsetattr(0, TCSANOW, &after);
    std::printf("DONE status=%d same=%d left=%d\n", status, same, n > 0 ? static_cast<int>(n) : 0);
    std::fflush(stdout);
    _exit(0);
}

long long nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

TerminalSession::TerminalSession(const std::vector<std::string> &args, const std::string &dir)
{
    int goFds[2];
    if (pipe(goFds) != 0)
        throw std::runtime_error("pipe failed");
    pid_t pid = forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid < 0)
        throw std::runtime_error("forkpty failed");
    if (pid == 0) {
        close(goFds[1]);
        drive(args, dir, goFds[0]);
    }
    close(goFds[0]);
    goPipe_ = goFds[1];
    driver_ = pid;
}

TerminalSession::~TerminalSession()
{
    if (driver_ > 0) {
        kill(driver_, SIGKILL);
        waitpid(driver_, nullptr, 0);
    }
    if (master_ >= 0)
        close(master_);
    if (goPipe_ >= 0)
        close(goPipe_);
}

void TerminalSession::type(const std::string &bytes)
{
    if (write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("write to terminal failed");
}

void TerminalSession::go()
{
    if (write(goPipe_, "g", 1) != 1)
        throw std::runtime_error("write to driver failed");
}

bool TerminalSession::waitFor(const std::string &text, int timeoutMs)
{
    long long deadline = nowMs() + timeoutMs;
    while (screen.find(text) == std::string::npos) {
        long long left = deadline - nowMs();
        if (left <= 0)
            return false;
        struct pollfd p = {master_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0)
            continue;
        char buf[4096];
        ssize_t n = read(master_, buf, sizeof buf);
        if (n <= 0)
            return screen.find(text) != std::string::npos;
        screen.append(buf, static_cast<std::size_t>(n));
    }
    return true;
}

int TerminalSession::utilityPid()
{
    if (!waitFor("PID="))
        return -1;
    int pid = -1;
    std::sscanf(screen.c_str() + screen.find("PID=") + 4, "%d", &pid);
    return pid;
}

bool TerminalSession::finish(int timeoutMs)
{
    if (!waitFor("DONE ", timeoutMs) || !waitFor("\n", 1000))
        return false;
    std::size_t at = screen.find("DONE ");
    if (screen.find('\n', at) == std::string::npos && !waitFor(screen.substr(at) + "\n"))
        return false;
    std::sscanf(screen.c_str() + at, "DONE status=%d same=%d left=%d", &status, &modesSame, &leftover);
    waitpid(driver_, nullptr, 0);
    driver_ = -1;
    return true;
}
