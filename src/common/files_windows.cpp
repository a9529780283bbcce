// The file system on Windows.
#include "common/files.h"

#include <windows.h>
#include <io.h>

#include <cstdint>

namespace {

std::FILE *unbuffered(std::FILE *stream)
{
    if (stream)
        std::setvbuf(stream, nullptr, _IONBF, 0);
    return stream;
}

// The attributes of name, or INVALID_FILE_ATTRIBUTES.
DWORD attributesOf(const char *name)
{
    return GetFileAttributesA(name);
}

} // namespace

std::FILE *openSourceFile(const char *name)
{
    return unbuffered(std::fopen(name, "rb"));
}

std::FILE *openRegularFile(const char *name, std::string &why)
{
    DWORD attributes = attributesOf(name);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        why = "unreadable";
        return nullptr;
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        why = "symbolic link";
        return nullptr;
    }
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
        why = "not a regular file";
        return nullptr;
    }
    std::FILE *stream = std::fopen(name, "rb");
    if (!stream)
        why = "unreadable";
    return unbuffered(stream);
}

std::FILE *openTempFile(const char *name)
{
    return unbuffered(std::fopen(name, "r+b"));
}

std::FILE *createTempFile(const char *name)
{
    // Only a missing name or a plain file may be replaced: never a directory,
    // a device or a reparse point (a link to somewhere else).
    DWORD attributes = attributesOf(name);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)))
        return nullptr;
    return unbuffered(std::fopen(name, "w+b"));
}

std::int64_t streamSize(std::FILE *stream)
{
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    LARGE_INTEGER size;
    if (h == INVALID_HANDLE_VALUE || GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size))
        return -1;
    return static_cast<std::int64_t>(size.QuadPart);
}

int removeFile(const char *name)
{
    return std::remove(name) == 0 ? 0 : 1;
}

bool sameFile(const char *a, const char *b)
{
    // One file has one index on one volume, whatever names lead to it.
    BY_HANDLE_FILE_INFORMATION info[2];
    const char *names[2] = {a, b};
    for (int i = 0; i < 2; ++i) {
        HANDLE h = CreateFileA(names[i], FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        BOOL ok = GetFileInformationByHandle(h, &info[i]);
        CloseHandle(h);
        if (!ok)
            return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

bool isRegularFile(const char *name)
{
    DWORD attributes = attributesOf(name);
    return attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}

bool isDirectory(const char *name)
{
    DWORD attributes = attributesOf(name);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void lockDirectory()
{
    // A directory cannot be locked here, so a mutex named after the directory's
    // full path serializes the runs in it instead; like a lock it leaves no
    // file, and it is released when the process ends. Names are compared
    // without case, as paths are, and hashed to fit the length of a name.
    char path[MAX_PATH];
    DWORD length = GetFullPathNameA(".", sizeof path, path, nullptr);
    if (length == 0 || length >= sizeof path)
        return;
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
}
