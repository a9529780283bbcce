// Run-control details that depend on the platform: Windows.
#include "run/run_state.h"

#include <windows.h>

#include <cstdint>

// The arguments reach main as the command line splits them: the C runtime
// must not expand wildcards in them. MinGW-w64's headers map this name to
// _dowildcard, the variable its start-up code reads.
extern "C" int _CRT_glob = 0;

int firstSwitchArgument()
{
    // Every argument takes part, the two file names included.
    return 1;
}

int sameFile(const char *a, const char *b)
{
    // One file has one index on one volume, whatever names lead to it.
    BY_HANDLE_FILE_INFORMATION info[2];
    const char *names[2] = {a, b};
    for (int i = 0; i < 2; ++i) {
        HANDLE h = CreateFileA(names[i], FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return 0;
        BOOL ok = GetFileInformationByHandle(h, &info[i]);
        CloseHandle(h);
        if (!ok)
            return 0;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

int lockDirectory()
{
    // A directory cannot be locked here, so a mutex named after the directory's
    // full path serializes the runs in it instead; like a lock it leaves no
    // file, and it is released when the process ends. Names are compared
    // without case, as paths are, and hashed to fit the length of a name.
    char path[MAX_PATH];
    DWORD length = GetFullPathNameA(".", sizeof path, path, nullptr);
    if (length == 0 || length >= sizeof path)
        return 0;
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (DWORD i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        hash = (hash ^ (c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c)) * 1099511628211ull;
    }
    char name[] = "Global\\Matchling-0123456789abcdef";
    for (int i = 0; i < 16; ++i)
        name[sizeof name - 2 - i] = "0123456789abcdef"[(hash >> (4 * i)) & 15];
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    if (mutex)
        WaitForSingleObject(mutex, INFINITE);  // an abandoned mutex is owned as well
    return 0;
}
