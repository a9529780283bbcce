// The console keyboard on Windows, fed through the console's input buffer as a
// user at the keyboard would fill it. Every wait here has a key press queued
// that ends it, so none can block. Without a console (a detached process, or
// Wine started with no terminal) the tests are skipped.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "console/console.h"
#include "console/keyboard.h"

namespace {

INPUT_RECORD keyEvent(WORD key, char c, BOOL down)
{
    INPUT_RECORD r = {};
    r.EventType = KEY_EVENT;
    r.Event.KeyEvent.bKeyDown = down;
    r.Event.KeyEvent.wRepeatCount = 1;
    r.Event.KeyEvent.wVirtualKeyCode = key;
    r.Event.KeyEvent.uChar.AsciiChar = c;
    return r;
}

INPUT_RECORD press(WORD key, char c = 0)
{
    return keyEvent(key, c, TRUE);
}

INPUT_RECORD release(WORD key, char c = 0)
{
    return keyEvent(key, c, FALSE);
}

INPUT_RECORD focus()
{
    INPUT_RECORD r = {};
    r.EventType = FOCUS_EVENT;
    r.Event.FocusEvent.bSetFocus = TRUE;
    return r;
}

INPUT_RECORD mouseMove()
{
    INPUT_RECORD r = {};
    r.EventType = MOUSE_EVENT;
    r.Event.MouseEvent.dwEventFlags = MOUSE_MOVED;
    return r;
}

class Keyboard : public testing::Test {
protected:
    void SetUp() override
    {
        static const int noKeyboard = keyboardOpen();
        conin_ = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
        if (noKeyboard || conin_ == INVALID_HANDLE_VALUE || !GetConsoleMode(conin_, &before_))
            GTEST_SKIP() << "no console to feed key presses to";
        FlushConsoleInputBuffer(conin_);
    }

    void TearDown() override
    {
        if (conin_ == INVALID_HANDLE_VALUE)
            return;
        FlushConsoleInputBuffer(conin_);
        SetConsoleMode(conin_, before_);
        CloseHandle(conin_);
    }

    void feed(const std::vector<INPUT_RECORD> &events)
    {
        DWORD written = 0;
        ASSERT_TRUE(WriteConsoleInputA(conin_, events.data(), static_cast<DWORD>(events.size()), &written));
        ASSERT_EQ(written, events.size());
    }

    // Events still waiting in the console's input buffer.
    DWORD left()
    {
        DWORD n = 0;
        GetNumberOfConsoleInputEvents(conin_, &n);
        return n;
    }

    // Whether the next waiting event is the press of key.
    bool nextIsPressOf(WORD key)
    {
        INPUT_RECORD next;
        DWORD n = 0;
        return PeekConsoleInputA(conin_, &next, 1, &n) && n == 1 && next.EventType == KEY_EVENT &&
               next.Event.KeyEvent.bKeyDown && next.Event.KeyEvent.wVirtualKeyCode == key;
    }

    HANDLE conin_ = INVALID_HANDLE_VALUE;
    DWORD before_ = 0;
};

TEST_F(Keyboard, WhichEventsEndTheWait)
{
    struct {
        const char *name;
        INPUT_RECORD event;
        bool ends;
    } cases[] = {
        {"letter", press('A', 'a'), true},
        {"Esc", press(VK_ESCAPE, 0x1b), true},
        {"Enter", press(VK_RETURN, '\r'), true},
        {"Ctrl+C", press('C', 0x03), true},
        {"Space", press(VK_SPACE, ' '), true},
        {"up arrow", press(VK_UP), true},
        {"Page Down", press(VK_NEXT), true},
        {"Delete", press(VK_DELETE), true},
        {"F1", press(VK_F1), true},
        {"F12", press(VK_F12), true},
        {"keypad 7 with Num Lock", press(VK_NUMPAD7, '7'), true},
        {"keypad 5 without Num Lock", press(VK_CLEAR), true},
        {"keypad minus", press(VK_SUBTRACT, '-'), true},
        {"dead accent key", press(VK_OEM_6), true},
        {"Ctrl+2, which yields NUL", press('2'), true},
        {"Shift", press(VK_SHIFT), false},
        {"Ctrl", press(VK_CONTROL), false},
        {"Alt", press(VK_MENU), false},
        {"Caps Lock", press(VK_CAPITAL), false},
        {"Num Lock", press(VK_NUMLOCK), false},
        {"Scroll Lock", press(VK_SCROLL), false},
        {"left Windows key", press(VK_LWIN), false},
        {"right Windows key", press(VK_RWIN), false},
        {"release of a letter", release('A', 'a'), false},
        {"release of Enter", release(VK_RETURN, '\r'), false},
        {"focus change", focus(), false},
        {"mouse move", mouseMove(), false},
    };
    // As while a wait is on: with input processing on, a Ctrl+C put in the
    // buffer would end the test process.
    ASSERT_TRUE(SetConsoleMode(conin_, 0));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FlushConsoleInputBuffer(conin_);
        // The second press ends the wait when the first does not.
        feed({c.event, press('Z', 'z')});
        EXPECT_EQ(keyboardReadKey(), 0);
        EXPECT_EQ(nextIsPressOf('Z'), c.ends);
    }
}

TEST_F(Keyboard, PendingTellsOfPressesThatCountAndDropsTheRest)
{
    feed({release('A', 'a'), press(VK_SHIFT), release(VK_SHIFT)});
    EXPECT_EQ(keyboardKeyPending(), 0);
    EXPECT_EQ(left(), 0u) << "events that end no wait are dropped";

    feed({press(VK_SHIFT), press('X', 'X')});
    EXPECT_EQ(keyboardKeyPending(), 1);
    EXPECT_EQ(left(), 1u) << "the press that counts stays for the next read";
}

TEST_F(Keyboard, WaitDiscardsPressesTypedAhead)
{
    feed({press('A', 'a'), release('A', 'a'), press('B', 'b'), release('B', 'b'), press(VK_F5), focus(),
          release(VK_F5)});
    testing::internal::CaptureStdout();
    pause();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Matchling==>  Press Enter to continue \n");
    EXPECT_EQ(left(), 0u);
}

TEST_F(Keyboard, ModeIsRestoredAfterEveryRead)
{
    const DWORD lineMode = ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT;
    ASSERT_TRUE(SetConsoleMode(conin_, lineMode));
    feed({press('A', 'a'), press('B', 'b')});
    EXPECT_EQ(keyboardReadKey(), 0);
    DWORD mode = 0;
    GetConsoleMode(conin_, &mode);
    EXPECT_EQ(mode, lineMode);
    EXPECT_EQ(keyboardKeyPending(), 1);
    GetConsoleMode(conin_, &mode);
    EXPECT_EQ(mode, lineMode);
}

} // namespace
