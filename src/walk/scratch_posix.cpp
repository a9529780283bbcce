// The scratch directory on POSIX: mkdtemp's directory, mode 0700; its files
// removed through descriptors, one directory open at a time; and a thread
// that waits for the ending signals, which every thread of the process
// blocks meanwhile, so that the removal runs as ordinary code, not in a
// signal handler.
#include "walk/scratch.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr int kGuardedSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr long kGuardNapNs = 50000000;   // how long the guard waits for a signal before it looks whether to stop
constexpr std::size_t kCopyChunk = 65536;  // bytes copied at a time
constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// The one guard of the process.
struct Guard {
    Scratch *scratch = nullptr;       // what it removes
    sigset_t signals;                 // the signals it takes: those not ignored when it started
    sigset_t previous;                // the starting thread's mask before
    std::thread thread;
    std::atomic<bool> stopping{false};
};

Guard guard;

// The names in directory fd, "." and ".." left out. Returns false when it
// cannot be read.
bool namesIn(int fd, std::vector<std::string> &names)
{
    names.clear();
    const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    DIR *listing = copy < 0 ? nullptr : fdopendir(copy);
    if (!listing) {
        if (copy >= 0)
            close(copy);
        return false;
    }
    while (const struct dirent *e = readdir(listing))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.push_back(e->d_name);
    closedir(listing);
    return true;
}

// Removes what directory fd holds but its directories; returns the first of
// those, or an empty name when it holds none. Returns false on a failure.
bool clearLevel(int fd, std::string &subdirectory)
{
    std::vector<std::string> names;
    if (!namesIn(fd, names))
        return false;
    subdirectory.clear();
    for (const std::string &name : names) {
        struct stat st;
        if (fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;  // gone meanwhile
        if (S_ISDIR(st.st_mode)) {
            subdirectory = subdirectory.empty() ? name : subdirectory;
            continue;
        }
        if (unlinkat(fd, name.c_str(), 0) != 0 && errno != ENOENT)
            return false;
    }
    return true;
}

// Removes path and all below it. Goes down one directory at a time and
// back up through "..", which only this user can change in this tree, so
// that one descriptor is open whatever the depth. Returns 0, or 1 when
// something could not be removed.
int removeTree(const std::string &path)
{
    // A command may have taken the rights away here too.
    struct stat top;
    if (lstat(path.c_str(), &top) == 0 && S_ISDIR(top.st_mode))
        chmod(path.c_str(), S_IRWXU);
    int fd = open(path.c_str(), kDirFlags);
    if (fd < 0)
        return errno == ENOENT ? 0 : 1;
    std::vector<std::string> down;  // the names from path to where fd stands
    for (;;) {
        std::string sub;
        if (!clearLevel(fd, sub))
            break;
        if (!sub.empty()) {
            // A command may have taken the rights away.
            fchmodat(fd, sub.c_str(), S_IRWXU, 0);
            const int child = openat(fd, sub.c_str(), kDirFlags);
            if (child < 0)
                break;
            close(fd);
            fd = child;
            down.push_back(sub);
            continue;
        }
        if (down.empty()) {
            close(fd);
            return rmdir(path.c_str()) == 0 ? 0 : 1;
        }
        const int parent = openat(fd, "..", kDirFlags);
        close(fd);
        fd = parent;
        if (fd < 0 || unlinkat(fd, down.back().c_str(), AT_REMOVEDIR) != 0)
            break;
        down.pop_back();
    }
    if (fd >= 0)
        close(fd);
    return 1;
}

// Waits for the guarded signals until told to stop. On one: kills the
// command, removes the directory, and lets the signal end the process.
void watch()
{
    const struct timespec nap = {0, kGuardNapNs};
    while (!guard.stopping) {
        const int sig = sigtimedwait(&guard.signals, nullptr, &nap);
        if (sig <= 0)
            continue;
        const long group = guard.scratch->group;
        if (group > 0)
            kill(static_cast<pid_t>(-group), SIGKILL);
        removeTree(guard.scratch->path);
        signal(sig, SIG_DFL);
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, sig);
        pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
        raise(sig);
        std::_Exit(128 + sig);  // a signal that does not end the process by default
    }
}

void guardStart(Scratch *scratch)
{
    guard.scratch = scratch;
    guard.stopping = false;
    sigemptyset(&guard.signals);
    for (int sig : kGuardedSignals) {
        struct sigaction now;
        if (sigaction(sig, nullptr, &now) == 0 && now.sa_handler != SIG_IGN)
            sigaddset(&guard.signals, sig);
    }
    pthread_sigmask(SIG_BLOCK, &guard.signals, &guard.previous);
    guard.thread = std::thread(watch);
}

void guardStop()
{
    guard.stopping = true;
    guard.thread.join();
    pthread_sigmask(SIG_SETMASK, &guard.previous, nullptr);
    guard.scratch = nullptr;
}

// Makes the directories of rel's parts before its last under root.
// Returns 0, or 1 with why set.
int makeParents(const std::string &root, const std::string &rel, std::string &why)
{
    for (std::size_t slash = rel.find('/'); slash != std::string::npos; slash = rel.find('/', slash + 1)) {
        const std::string dir = root + "/" + rel.substr(0, slash);
        if (mkdir(dir.c_str(), S_IRWXU) != 0 && errno != EEXIST) {
            why = "no copy: " + std::string(std::strerror(errno));
            return 1;
        }
    }
    return 0;
}

// Writes all n bytes of buffer to fd. Returns false when it cannot.
bool writeAll(int fd, const char *buffer, std::size_t n)
{
    while (n > 0) {
        const ssize_t wrote = write(fd, buffer, n);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        buffer += wrote;
        n -= static_cast<std::size_t>(wrote);
    }
    return true;
}

} // namespace

Scratch *scratchMake(std::string &why)
{
    const char *tmp = std::getenv("TMPDIR");
    std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/matchling-XXXXXX";
    Scratch *scratch = new Scratch;
    // Guarded before it exists, so that no signal finds it unguarded.
    guardStart(scratch);
    if (!mkdtemp(&name[0])) {
        why = "no temporary directory: " + std::string(std::strerror(errno));
        guardStop();
        delete scratch;
        return nullptr;
    }
    scratch->path = name;
    return scratch;
}

int scratchCopy(Scratch &scratch, const std::string &source, const std::string &rel, std::string &why)
{
    if (makeParents(scratch.path, rel, why) != 0)
        return 1;
    const int in = open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    if (in < 0 || fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = in < 0 && errno == ELOOP ? "symbolic link" : in < 0 ? "unreadable" : "not a regular file";
        if (in >= 0)
            close(in);
        return 1;
    }
    const std::string target = scratch.path + "/" + rel;
    const int out = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    bool done = out >= 0;
    std::vector<char> buffer(kCopyChunk);
    while (done) {
        const ssize_t got = read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            done = got == 0;
            break;
        }
        done = writeAll(out, buffer.data(), static_cast<std::size_t>(got));
    }
    const int error = errno;
    close(in);
    if (out >= 0 && close(out) != 0)
        done = false;
    if (!done)
        why = "no copy: " + std::string(std::strerror(error));
    return done ? 0 : 1;
}

void scratchRemove(Scratch *scratch)
{
    if (!scratch)
        return;
    // Removed before the guard goes, so that a signal meanwhile finds
    // nothing left to do or the guard still there.
    removeTree(scratch->path);
    guardStop();
    delete scratch;
}
