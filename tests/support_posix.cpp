// Test helpers on POSIX: scratch directories, and runs of the utility in a new
// session, which has no controlling terminal.
#include "launch_posix.h"
#include "support.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <poll.h>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

const char kDirSeparator = '/';

namespace {

void removeTree(const std::string &path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode)) {
        chmod(path.c_str(), 0700);
        if (DIR *d = opendir(path.c_str())) {
            while (struct dirent *e = readdir(d)) {
                std::string name = e->d_name;
                if (name != "." && name != "..")
                    removeTree(path + "/" + name);
            }
            closedir(d);
        }
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

} // namespace

ScratchDir::ScratchDir()
{
    const char *base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/matchling-test-XXXXXX";
    if (!mkdtemp(&pattern[0]))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchDir::~ScratchDir()
{
    removeTree(path_);
}

std::vector<std::string> ScratchDir::entries() const
{
    std::vector<std::string> names;
    if (DIR *d = opendir(path_.c_str())) {
        while (struct dirent *e = readdir(d)) {
            std::string name = e->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

ScratchCwd::ScratchCwd()
{
    char buf[4096];
    if (!getcwd(buf, sizeof buf) || chdir(path().c_str()) != 0)
        throw std::runtime_error("chdir failed");
    previous_ = buf;
}

ScratchCwd::~ScratchCwd()
{
    if (chdir(previous_.c_str()) != 0)
        std::perror("chdir");
}

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool exists(const std::string &path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

bool makeDir(const std::string &path)
{
    return mkdir(path.c_str(), 0700) == 0;
}

bool makeSymlink(const std::string &target, const std::string &link)
{
    return symlink(target.c_str(), link.c_str()) == 0;
}

bool makeFifo(const std::string &path)
{
    return mkfifo(path.c_str(), 0600) == 0;
}

const char *withPermissionBits(const std::function<void()> &work)
{
    if (geteuid() != 0) {
        work();
        return nullptr;
    }
    const struct passwd *user = nobody();
    if (!user)
        return "running as root with no user \"nobody\" to check permissions as";
    // The file-system ids are the calling thread's own; taking a non-root one
    // drops root's right to pass permission bits along with it.
    const char *why = nullptr;
    std::thread checked([&] {
        setfsgid(user->pw_gid);
        setfsuid(user->pw_uid);
        if (setfsuid(static_cast<uid_t>(-1)) != static_cast<int>(user->pw_uid))
            why = "the file-system user id cannot be changed";
        else
            work();
    });
    checked.join();
    return why;
}

std::string nativePath(const std::string &path)
{
    return path;
}

std::string textModeBytes(const std::string &text)
{
    return text;
}

const char *missing(Facility)
{
    return nullptr;
}

// The user "nobody", or null where there is none.
const struct passwd *nobody()
{
    return getpwnam("nobody");
}

// Runs the utility as launch says, in a new session (so no key wait can block),
// while during() runs beside it; kills it if it outlives kTimeoutMs.
RunResult start(const Launch &launch, const std::function<void(pid_t)> &during)
{
    // Close-on-exec, so that runs started at the same time do not hold each
    // other's pipes open.
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        return {};
    if (launch.output == Output::ClosedPipe) {
        close(out[0]);  // no reader at all, before the utility writes anything
        out[0] = -1;
    }
    const struct passwd *user = launch.asNobody ? nobody() : nullptr;
    pid_t pid = fork();
    if (pid == 0) {
        setsid();
        int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        if (launch.output == Output::DiskFull)
            dup2(open("/dev/full", O_WRONLY), 1);
        else
            dup2(out[1], 1);
        dup2(err[1], 2);
        signal(SIGPIPE, launch.ignoreSigpipe ? SIG_IGN : SIG_DFL);
        if (launch.fileSizeLimit >= 0) {
            signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit = {static_cast<rlim_t>(launch.fileSizeLimit), static_cast<rlim_t>(launch.fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (user && (setgroups(0, nullptr) != 0 || setgid(user->pw_gid) != 0 || setuid(user->pw_uid) != 0))
            _exit(125);
        if (chdir(launch.dir.c_str()) != 0)
            _exit(126);
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(MATCHLING_BINARY));
        for (const std::string &a : launch.args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(MATCHLING_BINARY, argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    std::thread beside;
    if (during)
        beside = std::thread(during, pid);

    RunResult r;
    struct pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
    bool killed = false;
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 && !killed) {
            kill(pid, SIGKILL);
            killed = true;
        }
        if (poll(fds, 2, killed ? 1000 : static_cast<int>(left.count())) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buf[65536];
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
            } else {
                (i == 0 ? r.out : r.err).append(buf, static_cast<std::size_t>(n));
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (beside.joinable())
        beside.join();
    r.status = killed ? -2 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.raw = r.out;
    return r;
}


RunResult runMatchling(const std::vector<std::string> &args, const std::string &dir, long fileSizeLimit)
{
    Launch launch{args, dir};
    launch.fileSizeLimit = fileSizeLimit;
    return start(launch);
}
