// The file system on POSIX.
#include "common/files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The stream over fd, unbuffered, or null (and fd closed).
std::FILE *streamOver(int fd, const char *mode)
{
    std::FILE *stream = fdopen(fd, mode);
    if (!stream) {
        close(fd);
        return nullptr;
    }
    std::setvbuf(stream, nullptr, _IONBF, 0);
    return stream;
}

// Turns off O_NONBLOCK, which an open used only to keep a FIFO from blocking.
bool blocking(int fd)
{
    int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

} // namespace

std::FILE *openSourceFile(const char *name)
{
    std::FILE *stream = std::fopen(name, "rb");
    if (stream)
        std::setvbuf(stream, nullptr, _IONBF, 0);
    return stream;
}

std::FILE *openRegularFile(const char *name, std::string &why, std::int64_t &size)
{
    int fd = open(name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = errno == ELOOP ? "symbolic link" : "unreadable";
        return nullptr;
    }
    // O_NONBLOCK changes nothing for a regular file, so it may stay.
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = "not a regular file";
        close(fd);
        return nullptr;
    }
    size = static_cast<std::int64_t>(st.st_size);
    return streamOver(fd, "rb");
}

std::FILE *openTempFile(const char *name)
{
    std::FILE *stream = std::fopen(name, "r+b");
    if (stream)
        std::setvbuf(stream, nullptr, _IONBF, 0);
    return stream;
}

std::FILE *createTempFile(const char *name)
{
    // No O_TRUNC yet: a FIFO or a device in its place must not be touched, and
    // O_NONBLOCK keeps a FIFO from blocking the open.
    int fd = open(name, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    // A file with another name too (a hard link) is someone's data, not ours to overwrite.
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink > 1 || ftruncate(fd, 0) != 0 ||
        !blocking(fd)) {
        close(fd);
        return nullptr;
    }
    return streamOver(fd, "w+b");
}

std::int64_t streamSize(std::FILE *stream)
{
    struct stat st;
    if (fstat(fileno(stream), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return static_cast<std::int64_t>(st.st_size);
}

int removeFile(const char *name)
{
    return std::remove(name) == 0 ? 0 : 1;
}

bool sameFile(const char *a, const char *b)
{
    struct stat sa, sb;
    return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool isRegularFile(const char *name)
{
    struct stat st;
    return stat(name, &st) == 0 && S_ISREG(st.st_mode);
}

bool isDirectory(const char *name)
{
    struct stat st;
    return stat(name, &st) == 0 && S_ISDIR(st.st_mode);
}

std::string fileStamp(const std::string &path, bool followLinks)
{
    struct stat st;
    if ((followLinks ? stat(path.c_str(), &st) : lstat(path.c_str(), &st)) != 0)
        return std::string();
    return std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec) + " " + std::to_string(st.st_ino) + " " + std::to_string(st.st_mode);
}

void lockDirectory()
{
    // The descriptor stays open, and the lock held, until the process ends.
    static int directory = -1;
    if (directory >= 0)
        return;
    directory = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0)
        return;  // a directory that cannot be opened cannot be locked either
    // Where the file system has no locks (EOPNOTSUPP, ENOLCK, EINVAL...), go on unlocked.
    while (flock(directory, LOCK_EX) != 0 && errno == EINTR) {
    }
}
