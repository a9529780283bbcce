// Running another program on Windows: CreateProcessW with pipes, the child
// inheriting only the handles in its list, arguments quoted as the C
// runtime splits them, names converted from and to UTF-8.
#include "walk/process.h"

#include "common/files_windows.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdint>

struct Process {
    HANDLE process = nullptr;     // the program
    HANDLE input = nullptr;       // the writing end of its standard input; null when it has none
    std::FILE *output = nullptr;  // the reading end of its standard output
};

namespace {

// arg quoted so that the C runtime's split of the command line gives it back:
// blanks and tabs inside double quotes, a double quote as \", and backslashes
// doubled only where a double quote follows them.
std::wstring quoted(const std::wstring &arg)
{
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos)
        return arg;
    std::wstring q = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        q.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        q += c;
    }
    q.append(2 * backslashes, L'\\');
    return q + L"\"";
}

// The system's text for the last error.
std::string lastError()
{
    wchar_t *text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, GetLastError(), 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    std::string why = n ? utf8From(text, n) : "error " + std::to_string(GetLastError());
    LocalFree(text);
    while (!why.empty() && (why.back() == '\n' || why.back() == '\r' || why.back() == ' '))
        why.pop_back();
    return why;
}

void closeAll(HANDLE *handles, int n)
{
    for (int i = 0; i < n; ++i) {
        if (handles[i])
            CloseHandle(handles[i]);
        handles[i] = nullptr;
    }
}

// The null device, inheritable, for access; null when it cannot be opened.
HANDLE nullDevice(DWORD access)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE h = CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

// A pipe: child its inheritable end (the reading one when childReads), ours
// the other. Returns whether it could be made.
bool makePipe(bool childReads, HANDLE &child, HANDLE &ours)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE read, write;
    if (!CreatePipe(&read, &write, &inherit, 0))
        return false;
    child = childReads ? read : write;
    ours = childReads ? write : read;
    SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0);
    return true;
}

// A stream reading pipe, which it then owns; null (with pipe closed) when
// none can be made.
std::FILE *readingStream(HANDLE pipe)
{
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(pipe), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(pipe);
        return nullptr;
    }
    std::FILE *stream = _fdopen(fd, "rb");
    if (!stream)
        _close(fd);
    return stream;
}

// Starts command line with child[0..2] as its standard handles, which alone
// it inherits. Returns the process, or null.
HANDLE spawn(std::wstring commandLine, HANDLE child[3])
{
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> storage(size);
    auto attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
    if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size))
        return nullptr;
    HANDLE process = nullptr;
    if (UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, child, 3 * sizeof(HANDLE),
                                  nullptr, nullptr)) {
        STARTUPINFOEXW start = {};
        start.StartupInfo.cb = sizeof start;
        start.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        start.StartupInfo.hStdInput = child[0];
        start.StartupInfo.hStdOutput = child[1];
        start.StartupInfo.hStdError = child[2];
        start.lpAttributeList = attributes;
        PROCESS_INFORMATION info;
        if (CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE,
                           EXTENDED_STARTUPINFO_PRESENT | CREATE_NO_WINDOW, nullptr, nullptr, &start.StartupInfo,
                           &info)) {
            CloseHandle(info.hThread);
            process = info.hProcess;
        }
    }
    DWORD error = GetLastError();
    DeleteProcThreadAttributeList(attributes);
    SetLastError(error);
    return process;
}

} // namespace

Process *processStart(const std::vector<std::string> &argv, bool input, std::string &why)
{
    std::wstring commandLine;
    for (const std::string &arg : argv)
        commandLine += (commandLine.empty() ? L"" : L" ") + quoted(wideFrom(arg));
    HANDLE child[3] = {}, toChild = nullptr, fromChild = nullptr;
    bool made = makePipe(false, child[1], fromChild) &&
                (input ? makePipe(true, child[0], toChild) : (child[0] = nullDevice(GENERIC_READ)) != nullptr) &&
                (child[2] = nullDevice(GENERIC_WRITE)) != nullptr;
    HANDLE process = made && !argv.empty() ? spawn(commandLine, child) : nullptr;
    if (!process)
        why = lastError();
    // Its ends are its own now: the pipes end when it does.
    closeAll(child, 3);
    std::FILE *output = nullptr;
    if (process)
        output = readingStream(fromChild);
    else
        closeAll(&fromChild, 1);
    if (!output) {
        closeAll(&toChild, 1);
        if (process) {
            why = "its output cannot be read";
            TerminateProcess(process, 1);
            WaitForSingleObject(process, INFINITE);
            CloseHandle(process);
        }
        return nullptr;
    }
    return new Process{process, toChild, output};
}

std::FILE *processOutput(Process &process)
{
    return process.output;
}

int processWrite(Process &process, const char *bytes, std::size_t n)
{
    if (!process.input)
        return 1;
    while (n > 0) {
        DWORD wrote = 0;
        DWORD chunk = n > 65536 ? 65536 : static_cast<DWORD>(n);
        if (!WriteFile(process.input, bytes, chunk, &wrote, nullptr) || wrote == 0)
            return 1;
        bytes += wrote;
        n -= wrote;
    }
    return 0;
}

void processEndInput(Process &process)
{
    if (process.input)
        CloseHandle(process.input);
    process.input = nullptr;
}

int processFinish(Process *process)
{
    if (process->input)
        CloseHandle(process->input);
    std::fclose(process->output);
    DWORD status = 0;
    bool ended = WaitForSingleObject(process->process, INFINITE) == WAIT_OBJECT_0 &&
                 GetExitCodeProcess(process->process, &status);
    CloseHandle(process->process);
    delete process;
    return ended ? static_cast<int>(status) : -1;
}

std::string processCurrentDirectory()
{
    DWORD n = GetCurrentDirectoryW(0, nullptr);
    std::wstring dir(n, L'\0');
    n = n ? GetCurrentDirectoryW(n, &dir[0]) : 0;
    dir.resize(n);
    return utf8From(dir);
}

// Formatters run through a POSIX shell; this system has none to offer.
int processShell(const std::string &, const std::string &, std::FILE *, int, ShellOutcome &outcome, std::string &why)
{
    outcome = ShellOutcome();
    why = "not supported on this system";
    return 1;
}

int processShellRun(const std::string &, const ShellRun &, ShellOutcome &outcome, std::string &why)
{
    outcome = ShellOutcome();
    why = "not supported on this system";
    return 1;
}

std::size_t processLongestCommand()
{
    return 0;
}

std::string processShellQuote(const std::string &text)
{
    return "\"" + text + "\"";
}
