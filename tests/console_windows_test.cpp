// Reports on a Windows console: the utility shares this process's console,
// with its standard output on a screen buffer of its own that the test reads
// back, and an Enter press queued for its key wait. Without a console (a
// detached process, or Wine started with no terminal) the test is skipped.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/files_windows.h"
#include "support.h"

namespace {

constexpr DWORD kTimeoutMs = 30000;

// The lines of the screen buffer up to its cursor, each without the blanks
// that fill it out, in UTF-8.
std::string screenText(HANDLE buffer)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(buffer, &info))
        return "(no screen buffer)";
    std::string text;
    std::vector<wchar_t> cells(static_cast<std::size_t>(info.dwSize.X));
    for (SHORT row = 0; row < info.dwCursorPosition.Y; ++row) {
        DWORD read = 0;
        ReadConsoleOutputCharacterW(buffer, cells.data(), static_cast<DWORD>(cells.size()), COORD{0, row}, &read);
        std::wstring line(cells.data(), read);
        line.erase(line.find_last_not_of(L' ') + 1);
        text += utf8From(line) + "\n";
    }
    return text;
}

TEST(Console, NamesReachTheScreenIntact)
{
    HANDLE conin = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    DWORD mode;
    if (conin == INVALID_HANDLE_VALUE || !GetConsoleMode(conin, &mode))
        GTEST_SKIP() << "no console to show the reports";

    // Characters a cell wide each, so that the screen reads back as written:
    // consoles differ in how they give back a character two cells wide, and
    // Wine's keeps one UTF-16 unit a cell, showing half a surrogate pair as U+FFFD.
    // The report lines are shorter than the screen is wide.
    const std::string names[2] = {u8"Jos\u00e9-\u20ac.c", u8"\u041f\u0430\u043f\u043a\u0430-\u03b1\u03b2\u03b3.c"};
    ScratchDir dir;
    writeFile(dir.file(names[0]), "x = 1;\n");
    writeFile(dir.file(names[1]), "x = 2;\n");

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE screen = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              &inherit, CONSOLE_TEXTMODE_BUFFER, nullptr);
    ASSERT_NE(screen, INVALID_HANDLE_VALUE);
    HANDLE in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                            nullptr);

    FlushConsoleInputBuffer(conin);
    INPUT_RECORD enter = {};
    enter.EventType = KEY_EVENT;
    enter.Event.KeyEvent.bKeyDown = TRUE;
    enter.Event.KeyEvent.wRepeatCount = 1;
    enter.Event.KeyEvent.wVirtualKeyCode = VK_RETURN;
    enter.Event.KeyEvent.uChar.UnicodeChar = L'\r';
    DWORD written = 0;
    WriteConsoleInputW(conin, &enter, 1, &written);

    std::wstring commandLine = L"matchling \"" + wideFrom(names[0]) + L"\" \"" + wideFrom(names[1]) + L"\"";
    STARTUPINFOW start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = in;
    start.hStdOutput = screen;
    start.hStdError = screen;
    PROCESS_INFORMATION child;
    BOOL started = CreateProcessW(wideFrom(nativePath(MATCHLING_BINARY)).c_str(), &commandLine[0], nullptr, nullptr,
                                  TRUE, 0, nullptr, wideFrom(dir.path()).c_str(), &start, &child);
    CloseHandle(in);
    ASSERT_TRUE(started) << "error " << GetLastError();
    const bool ended = WaitForSingleObject(child.hProcess, kTimeoutMs) == WAIT_OBJECT_0;
    if (!ended)
        TerminateProcess(child.hProcess, 1);
    DWORD status = 0;
    GetExitCodeProcess(child.hProcess, &status);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    FlushConsoleInputBuffer(conin);
    CloseHandle(conin);

    // A screen shows no blank at the end of a line.
    std::string expected = mismatch(names[0], names[1], 2, '1', "1;", '2', "2;") + kNotEquivalent;
    for (std::size_t at; (at = expected.find(" \n")) != std::string::npos;)
        expected.erase(at, 1);
    EXPECT_TRUE(ended) << "the key wait did not take the Enter press";
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(screenText(screen), expected);
    CloseHandle(screen);
}

} // namespace
