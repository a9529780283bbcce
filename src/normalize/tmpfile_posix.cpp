// Creation of a temporary file on POSIX.
#include "normalize/prepare.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::FILE *createTempFile(const char *name)
{
    // No O_TRUNC yet: a FIFO or a device in its place must not be touched, and
    // O_NONBLOCK keeps a FIFO from blocking the open.
    int fd = open(name, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    // A file with another name too (a hard link) is someone's data, not ours to overwrite.
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink > 1 || ftruncate(fd, 0) != 0) {
        close(fd);
        return nullptr;
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return nullptr;
    }
    std::FILE *stream = fdopen(fd, "w+b");
    if (!stream)
        close(fd);
    return stream;
}
