// Standard output on Windows. A file or a pipe gets the bytes through the C
// runtime in text mode; a console gets their characters in UTF-16 through
// WriteConsoleW, so that names reach the screen whatever its code page.
#include "console/output.h"

#include "common/files_windows.h"

#include <windows.h>
#include <io.h>

#include <cstdio>
#include <string>

namespace {

constexpr std::size_t kConsoleChunk = 8192;  // UTF-16 units handed to the console at a time

// Standard output's console, or null when standard output is a file or a pipe.
HANDLE outputConsole()
{
    static const HANDLE console = [] {
        HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdout)));
        DWORD mode;
        return h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) ? h : nullptr;
    }();
    return console;
}

// Appends bytes, which are not UTF-8, as the console's code page reads them.
void appendLegacy(std::wstring &wide, const std::string &bytes)
{
    if (bytes.empty())
        return;
    const UINT codePage = GetConsoleOutputCP();
    const int n = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) {
        wide.append(bytes.size(), L'\xFFFD');
        return;
    }
    const std::size_t at = wide.size();
    wide.resize(at + static_cast<std::size_t>(n));
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), &wide[at], n);
}

// Takes from the front of bytes what it can show and returns it in UTF-16,
// each line feed as CR LF as text mode writes it. Bytes that are not UTF-8
// (source text in a code page) show as the console's code page shows them, as
// they did when they went to the console as they stand; a sequence cut short
// at the end stays in bytes for the next write.
std::wstring forConsole(std::string &bytes)
{
    std::wstring wide;
    std::string legacy;
    std::size_t i = 0;
    while (i < bytes.size()) {
        char32_t c;
        const int length = utf8Sequence(bytes.data() + i, bytes.size() - i, c);
        if (length < 0)
            break;
        if (length == 0) {
            legacy += bytes[i++];
            continue;
        }
        appendLegacy(wide, legacy);
        legacy.clear();
        i += static_cast<std::size_t>(length);
        if (c == '\n')
            wide += L'\r';
        if (c < 0x10000) {
            wide += static_cast<wchar_t>(c);
        } else {
            wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            wide += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    appendLegacy(wide, legacy);
    bytes.erase(0, i);
    return wide;
}

} // namespace

void outputWrite(const char *text, std::size_t len)
{
    HANDLE console = outputConsole();
    if (!console) {
        std::fwrite(text, 1, len, stdout);
        return;
    }
    // Only the thread that prints the reports writes here.
    static std::string pending;
    pending.append(text, len);
    const std::wstring wide = forConsole(pending);
    for (std::size_t at = 0; at < wide.size();) {
        DWORD n = static_cast<DWORD>(wide.size() - at < kConsoleChunk ? wide.size() - at : kConsoleChunk);
        if (n < wide.size() - at && wide[at + n - 1] >= 0xD800 && wide[at + n - 1] <= 0xDBFF)
            --n;  // a surrogate pair stays in one write
        DWORD wrote = 0;
        if (!WriteConsoleW(console, wide.data() + at, n, &wrote, nullptr) || wrote == 0)
            return;
        at += wrote;
    }
}
