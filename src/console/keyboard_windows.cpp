// Console keyboard on Windows: the console input device CONIN$.
#include "console/keyboard.h"

#include <windows.h>

namespace {

HANDLE conin = INVALID_HANDLE_VALUE;  // console input; invalid when the process has no console

// Returns 1 when the event is a key press that ends a wait: one that yields a
// character, or one of the editing, movement and function keys. Key releases,
// other events and the modifier and lock keys pressed alone are passed over.
int endsWait(const INPUT_RECORD &event)
{
    if (event.EventType != KEY_EVENT || !event.Event.KeyEvent.bKeyDown)
        return 0;
    if (event.Event.KeyEvent.uChar.AsciiChar != 0)
        return 1;
    WORD key = event.Event.KeyEvent.wVirtualKeyCode;
    switch (key) {
    case VK_BACK: case VK_TAB: case VK_RETURN: case VK_ESCAPE: case VK_SPACE:
    case VK_PRIOR: case VK_NEXT: case VK_END: case VK_HOME:
    case VK_LEFT: case VK_UP: case VK_RIGHT: case VK_DOWN:
    case VK_INSERT: case VK_DELETE:
    case VK_CLEAR:  // keypad 5 with Num Lock off
    case VK_MULTIPLY: case VK_ADD: case VK_SEPARATOR: case VK_SUBTRACT:
    case VK_DECIMAL: case VK_DIVIDE:
        return 1;
    default:
        break;
    }
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z'))
        return 1;
    if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9)
        return 1;
    if (key >= VK_F1 && key <= VK_F12)
        return 1;
    // The punctuation keys of the main block.
    if ((key >= VK_OEM_1 && key <= VK_OEM_3) || (key >= VK_OEM_4 && key <= VK_OEM_8) || key == VK_OEM_102)
        return 1;
    return 0;
}

} // namespace

int keyboardOpen()
{
    conin = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD mode;
    if (conin != INVALID_HANDLE_VALUE && !GetConsoleMode(conin, &mode)) {
        CloseHandle(conin);
        conin = INVALID_HANDLE_VALUE;
    }
    return conin == INVALID_HANDLE_VALUE;
}

// The console echoes only while a read in line mode is under way, and each
// read here sets mode 0 itself: there is nothing to hold between reads.
void keyboardHold()
{
}

void keyboardRelease()
{
}

int keyboardReadKey()
{
    DWORD saved;
    if (conin == INVALID_HANDLE_VALUE || !GetConsoleMode(conin, &saved))
        return 1;
    // Mode 0: no line input, no echo, no input processing (Ctrl+C is a key).
    SetConsoleMode(conin, 0);
    int result = 1;
    for (;;) {
        INPUT_RECORD event;
        DWORD count = 0;
        if (!ReadConsoleInputA(conin, &event, 1, &count) || count == 0)
            break;
        if (endsWait(event)) {
            result = 0;
            break;
        }
    }
    SetConsoleMode(conin, saved);
    return result;
}

int keyboardKeyPending()
{
    DWORD saved;
    if (conin == INVALID_HANDLE_VALUE || !GetConsoleMode(conin, &saved))
        return 0;
    // The events ahead of the next key press that counts are read and dropped,
    // so the mode is 0 here as well.
    SetConsoleMode(conin, 0);
    int pending = 0;
    for (;;) {
        INPUT_RECORD event;
        DWORD count = 0;
        if (!PeekConsoleInputA(conin, &event, 1, &count) || count == 0)
            break;
        if (endsWait(event)) {
            pending = 1;
            break;
        }
        if (!ReadConsoleInputA(conin, &event, 1, &count))
            break;
    }
    SetConsoleMode(conin, saved);
    return pending;
}

bool errorIsTerminal()
{
    DWORD mode;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}
