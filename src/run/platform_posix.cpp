// Run-control details that depend on the platform: POSIX.
#include "run/run_state.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

int firstSwitchArgument()
{
    // Paths use '/' between directories, so the two names never set switches.
    return 3;
}

int sameFile(const char *a, const char *b)
{
    struct stat sa, sb;
    return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

int lockDirectory()
{
    // The descriptor stays open, and the lock held, until the process ends.
    static int directory = -1;
    if (directory >= 0)
        return 0;
    directory = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0)
        return 0;  // a directory that cannot be opened cannot be locked either
    // Where the file system has no locks (EOPNOTSUPP, ENOLCK, EINVAL...), go on unlocked.
    while (flock(directory, LOCK_EX) != 0 && errno == EINTR) {
    }
    return 0;
}
