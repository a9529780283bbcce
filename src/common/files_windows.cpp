// The file system on Windows: every name converted from UTF-8 and given to
// the wide functions from the root, with the \\?\ prefix.
#include "common/files.h"
#include "common/files_windows.h"

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

std::FILE *openAs(const char *name, const wchar_t *mode)
{
    return unbuffered(_wfopen(systemPath(name).c_str(), mode));
}

// The attributes of name, or INVALID_FILE_ATTRIBUTES.
DWORD attributesOf(const char *name)
{
    return GetFileAttributesW(systemPath(name).c_str());
}

void appendUtf16(std::wstring &out, char32_t c)
{
    if (c < 0x10000) {
        out += static_cast<wchar_t>(c);
        return;
    }
    c -= 0x10000;
    out += static_cast<wchar_t>(0xD800 + (c >> 10));
    out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
}

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

int utf8Sequence(const char *s, std::size_t n, char32_t &c)
{
    const unsigned char lead = static_cast<unsigned char>(s[0]);
    if (lead < 0x80) {
        c = lead;
        return 1;
    }
    // The lead byte tells the length; a shorter form than a code point needs is not UTF-8.
    int length;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return 0;
    const char32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
    c = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if (static_cast<std::size_t>(i) == n)
            return -1;
        const unsigned char next = static_cast<unsigned char>(s[i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (next & 0x3F);
    }
    return c >= least[length] && c <= 0x10FFFF ? length : 0;
}

std::wstring wideFrom(const std::string &utf8)
{
    std::wstring wide;
    wide.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c;
        const int length = utf8Sequence(utf8.data() + i, utf8.size() - i, c);
        if (length <= 0) {
            wide += L'\xFFFD';
            ++i;
            continue;
        }
        appendUtf16(wide, c);
        i += static_cast<std::size_t>(length);
    }
    return wide;
}

std::string utf8From(const wchar_t *wide, std::size_t n)
{
    std::string utf8;
    utf8.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        char32_t c = static_cast<char16_t>(wide[i]);
        const char32_t low = i + 1 < n ? static_cast<char16_t>(wide[i + 1]) : 0;
        if (c >= 0xD800 && c <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        }
        appendUtf8(utf8, c);
    }
    return utf8;
}

std::string utf8From(const std::wstring &wide)
{
    return utf8From(wide.data(), wide.size());
}

std::wstring systemPath(const std::string &name)
{
    const std::wstring wide = wideFrom(name);
    DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return wide;
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(wide.c_str(), n, &full[0], nullptr);
    if (n == 0 || n >= full.size())
        return wide;
    full.resize(n);
    if (full.compare(0, 4, L"\\\\?\\") == 0 || full.compare(0, 4, L"\\\\.\\") == 0)
        return full;
    if (full.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::FILE *openSourceFile(const char *name)
{
    return openAs(name, L"rb");
}

std::FILE *openRegularFile(const char *name, std::string &why, std::int64_t &size)
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
    std::FILE *stream = openAs(name, L"rb");
    if (!stream)
        why = "unreadable";
    else
        size = streamSize(stream);
    return stream;
}

std::FILE *openTempFile(const char *name)
{
    return openAs(name, L"r+b");
}

std::FILE *createTempFile(const char *name)
{
    // Only a missing name or a plain file may be replaced: never a directory,
    // a device or a reparse point (a link to somewhere else).
    DWORD attributes = attributesOf(name);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)))
        return nullptr;
    return openAs(name, L"w+b");
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
    return DeleteFileW(systemPath(name).c_str()) ? 0 : 1;
}

bool sameFile(const char *a, const char *b)
{
    // One file has one index on one volume, whatever names lead to it.
    BY_HANDLE_FILE_INFORMATION info[2];
    const char *names[2] = {a, b};
    for (int i = 0; i < 2; ++i) {
        HANDLE h = CreateFileW(systemPath(names[i]).c_str(), FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr);
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

std::string fileStamp(const std::string &path, bool)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(systemPath(path).c_str(), GetFileExInfoStandard, &data))
        return std::string();
    const std::uint64_t size = (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    const std::uint64_t written =
        (std::uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    return std::to_string(size) + " " + std::to_string(written) + " " + std::to_string(data.dwFileAttributes);
}

void lockDirectory()
{
    // A directory cannot be locked here, so a mutex named after the directory's
    // full path serializes the runs in it instead; like a lock it leaves no
    // file, and it is released when the process ends. Names are compared
    // without case, as paths are, and hashed to fit the length of a name. The
    // hash is over the upper-cased path in UTF-8, which for an ASCII path is
    // the hash earlier versions made of it, so that they take turns with this one.
    DWORD n = GetFullPathNameW(L".", 0, nullptr, nullptr);
    std::wstring path(n, L'\0');
    n = n ? GetFullPathNameW(L".", n, &path[0], nullptr) : 0;
    if (n == 0 || n >= path.size())
        return;
    std::wstring upper(n, L'\0');
    if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, path.c_str(), static_cast<int>(n), &upper[0],
                     static_cast<int>(n)) != static_cast<int>(n))
        return;
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (char c : utf8From(upper))
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    wchar_t name[] = L"Global\\Matchling-0123456789abcdef";
    for (int i = 0; i < 16; ++i)
        name[sizeof name / sizeof name[0] - 2 - i] = L"0123456789abcdef"[(hash >> (4 * i)) & 15];
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
    if (mutex)
        WaitForSingleObject(mutex, INFINITE);  // an abandoned mutex is owned as well
}
