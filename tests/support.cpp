#include "support.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "compare/compare.h"
#include "run/run_state.h"

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

RunResult runMatchling(const std::vector<std::string> &args, const std::string &dir, long fileSizeLimit)
{
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0)
        throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid == 0) {
        // A new session has no controlling terminal, so no key wait can block.
        setsid();
        int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]);
        close(err[0]);
        if (chdir(dir.c_str()) != 0)
            _exit(126);
        if (fileSizeLimit >= 0) {
            signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit = {static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(MATCHLING_BINARY));
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(MATCHLING_BINARY, argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    RunResult r;
    struct pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        if (poll(fds, 2, -1) < 0)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            char buf[65536];
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? r.out : r.err).append(buf, static_cast<std::size_t>(n));
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
}

void resetRun()
{
    static const RunState freshRun{};
    static const CompareState freshComparison{};
    run = freshRun;
    settings = RunSettings();
    comparison = freshComparison;
}
