// Test helpers on Windows: scratch directories under %TEMP%, and runs of the
// utility as a detached process, which has no console. Names are UTF-8, as in
// the utility, and reach the system in UTF-16 through the utility's conversions,
// from the root with the \\?\ prefix, so that paths of any length work.
#include "support.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "common/files_windows.h"

const char kDirSeparator = '\\';

namespace {

// The current directory; empty when it cannot be told.
std::string currentDirectory()
{
    DWORD n = GetCurrentDirectoryW(0, nullptr);
    std::wstring dir(n, L'\0');
    n = n ? GetCurrentDirectoryW(n, &dir[0]) : 0;
    dir.resize(n < dir.size() ? n : 0);
    return utf8From(dir);
}

// The drive of the directory the tests started in, such as "C:" ("Z:" under
// Wine, where it holds the build machine's whole file system).
std::string startDrive()
{
    const std::string dir = currentDirectory();
    return dir.size() >= 2 && dir[1] == ':' ? dir.substr(0, 2) : std::string();
}

// Taken before any test changes the current directory.
const std::string kStartDrive = startDrive();
const std::string kBinary = nativePath(MATCHLING_BINARY);

// The names in the directory at path (from the root, with the \\?\ prefix).
std::vector<std::wstring> namesIn(const std::wstring &path)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return names;
}

// Removes path (from the root, with the \\?\ prefix) with all it holds.
void removeTree(const std::wstring &path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        for (const std::wstring &name : namesIn(path))
            removeTree(path + L"\\" + name);
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveDirectoryW(path.c_str());
    else
        DeleteFileW(path.c_str());
}

// arg quoted so that the C runtime's split of the command line gives it back
// unchanged: blanks and tabs inside double quotes, a double quote as \", and
// backslashes doubled only where a double quote follows them.
std::string quoted(const std::string &arg)
{
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string q = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        q.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        q += c;
    }
    q.append(2 * backslashes, '\\');
    q += '"';
    return q;
}

// Text-mode standard output read back: CR LF as "\n". Output with a CR that is
// not part of a CR LF pair, or a lone LF, is returned unchanged, so that the
// comparison with the expected text shows it.
std::string fromTextMode(const std::string &bytes)
{
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        if (bytes[i] == '\r' || (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')))
            return bytes;
        text += bytes[i];
    }
    return text;
}

struct Drain {
    HANDLE pipe;
    std::string bytes;
};

// Reads a pipe to its end.
DWORD WINAPI drain(void *param)
{
    Drain *d = static_cast<Drain *>(param);
    char buf[65536];
    DWORD n;
    while (ReadFile(d->pipe, buf, sizeof buf, &n, nullptr) && n > 0)
        d->bytes.append(buf, n);
    return 0;
}

// Whether the tests run under Wine, whose ntdll tells its version.
bool runningUnderWine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

void check(bool ok, const char *what)
{
    if (!ok)
        throw std::runtime_error(std::string(what) + " failed, error " + std::to_string(GetLastError()));
}

} // namespace

ScratchDir::ScratchDir()
{
    wchar_t base[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, base);
    check(n > 0 && n <= MAX_PATH, "GetTempPath");
    static unsigned serial = 0;
    for (;;) {
        std::string dir = utf8From(base, n) + "matchling-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                          std::to_string(serial++);
        if (CreateDirectoryW(systemPath(dir).c_str(), nullptr)) {
            path_ = dir;
            return;
        }
        check(GetLastError() == ERROR_ALREADY_EXISTS, "CreateDirectory");
    }
}

ScratchDir::~ScratchDir()
{
    removeTree(systemPath(path_));
}

std::vector<std::string> ScratchDir::entries() const
{
    std::vector<std::string> names;
    for (const std::wstring &name : namesIn(systemPath(path_)))
        names.push_back(utf8From(name));
    std::sort(names.begin(), names.end());
    return names;
}

ScratchCwd::ScratchCwd()
{
    previous_ = currentDirectory();
    check(!previous_.empty() && SetCurrentDirectoryW(wideFrom(path()).c_str()), "SetCurrentDirectory");
}

ScratchCwd::~ScratchCwd()
{
    if (!SetCurrentDirectoryW(wideFrom(previous_).c_str()))
        std::fprintf(stderr, "SetCurrentDirectory failed, error %lu\n", GetLastError());
}

void writeFile(const std::string &path, const std::string &bytes)
{
    std::FILE *f = _wfopen(systemPath(path).c_str(), L"wb");
    if (!f)
        return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::string readFile(const std::string &path)
{
    std::string bytes;
    std::FILE *f = _wfopen(systemPath(path).c_str(), L"rb");
    if (!f)
        return bytes;
    char buf[65536];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, f))
        bytes.append(buf, n);
    std::fclose(f);
    return bytes;
}

bool exists(const std::string &path)
{
    return GetFileAttributesW(systemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool makeDir(const std::string &path)
{
    return CreateDirectoryW(systemPath(path).c_str(), nullptr) != 0;
}

bool makeSymlink(const std::string &, const std::string &)
{
    return false;
}

bool makeFifo(const std::string &)
{
    return false;
}

const char *withPermissionBits(const std::function<void()> &)
{
    return "permission bits do not keep a directory from being read on Windows";
}

std::string nativePath(const std::string &path)
{
    std::string p = path;
    std::replace(p.begin(), p.end(), '/', '\\');
    if (p.size() >= 1 && p[0] == '\\' && (p.size() < 2 || p[1] != '\\'))
        p = kStartDrive + p;
    return p;
}

std::string textModeBytes(const std::string &text)
{
    std::string bytes;
    for (char c : text) {
        if (c == '\n')
            bytes += '\r';
        bytes += c;
    }
    return bytes;
}

const char *missing(Facility facility)
{
    switch (facility) {
    case Facility::FileSizeLimit:
        return "Windows has no limit on the size of the files a process writes";
    case Facility::SymbolicLinks:
        return "creating a symbolic link on Windows needs a privilege the tests cannot count on";
    case Facility::DeepTrees:
        if (runningUnderWine())
            return "Wine takes milliseconds over each call on a path a thousand directories deep: "
                   "making, walking and removing such a tree takes minutes";
        return nullptr;
    case Facility::PosixShell:
        return "the reference tools run from a POSIX shell, which a Windows build does not have";
    }
    return nullptr;
}

RunResult runMatchling(const std::vector<std::string> &args, const std::string &dir, long fileSizeLimit)
{
    if (fileSizeLimit >= 0)
        throw std::runtime_error(missing(Facility::FileSizeLimit));

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                            nullptr);
    check(in != INVALID_HANDLE_VALUE, "CreateFile NUL");
    Drain out = {nullptr, {}}, err = {nullptr, {}};
    HANDLE outWrite, errWrite;
    check(CreatePipe(&out.pipe, &outWrite, &inherit, 0) && CreatePipe(&err.pipe, &errWrite, &inherit, 0),
          "CreatePipe");
    // Only the child's ends are inherited.
    SetHandleInformation(out.pipe, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(err.pipe, HANDLE_FLAG_INHERIT, 0);

    // Blanks, tabs, quotes and backslashes are ASCII, which UTF-8 holds only as
    // themselves: quoting the UTF-8 quotes the UTF-16 the same way.
    std::string commandLine = quoted(kBinary);
    for (const std::string &a : args)
        commandLine += " " + quoted(a);
    std::wstring wideLine = wideFrom(commandLine);
    STARTUPINFOW start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = in;
    start.hStdOutput = outWrite;
    start.hStdError = errWrite;
    PROCESS_INFORMATION child;
    // A detached process has no console, so no key wait can block.
    BOOL started = CreateProcessW(wideFrom(kBinary).c_str(), &wideLine[0], nullptr, nullptr, TRUE, DETACHED_PROCESS,
                                  nullptr, wideFrom(dir).c_str(), &start, &child);
    CloseHandle(in);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    check(started, "CreateProcess");

    HANDLE errThread = CreateThread(nullptr, 0, drain, &err, 0, nullptr);
    check(errThread != nullptr, "CreateThread");
    drain(&out);
    WaitForSingleObject(errThread, INFINITE);
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(errThread);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    CloseHandle(out.pipe);
    CloseHandle(err.pipe);

    RunResult r;
    r.raw = out.bytes;
    r.out = fromTextMode(out.bytes);
    r.err = err.bytes;
    r.status = static_cast<int>(code);
    return r;
}
