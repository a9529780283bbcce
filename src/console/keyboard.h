// Console keyboard: the two operations the key wait is built on, implemented
// once per platform (keyboard_posix.cpp, keyboard_windows.cpp).
#ifndef MATCHLING_KEYBOARD_H
#define MATCHLING_KEYBOARD_H

// Platform keyboard, implemented once per platform.

// Opens the console keyboard, independent of standard input; called once at
// start-up. Returns 0 when a keyboard is there, 1 when there is none.
int keyboardOpen();

// Holds the keyboard for one wait, from before its prompt is shown until
// keyboardRelease, so that no key typed once the prompt is on screen is
// echoed (a terminal stays in raw mode between the reads). Reads outside a
// hold set the mode and restore it themselves.
void keyboardHold();
void keyboardRelease();

// Reads one key press without echo; a multi-byte key sequence counts as one.
// Returns 0 after a key press, 1 when there is no keyboard or it failed.
int keyboardReadKey();

// Returns 1 when a further key press is already waiting, 0 otherwise.
int keyboardKeyPending();

// Returns true when standard error is a terminal (a console), where a line
// that changes in place can show progress.
bool errorIsTerminal();

#endif
