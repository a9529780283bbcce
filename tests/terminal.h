// Runs of the built utility with a pseudo-terminal as its controlling
// terminal, driven by the test as a user at the keyboard would.
#ifndef MATCHLING_TEST_TERMINAL_H
#define MATCHLING_TEST_TERMINAL_H

#include <string>
#include <vector>

class TerminalSession {
public:
    // Starts a driver process whose controlling terminal is a new
    // pseudo-terminal; the utility starts when go() is called.
    TerminalSession(const std::vector<std::string> &args, const std::string &dir);
    ~TerminalSession();

    // Types bytes at the keyboard.
    void type(const std::string &bytes);
    // Starts the utility.
    void go();
    // Reads the screen until it holds text, or until timeoutMs passes;
    // returns whether it does.
    bool waitFor(const std::string &text, int timeoutMs = 5000);
    // Process id of the utility once it has started, else -1.
    int utilityPid();
    // Waits for the utility and the driver to end; fills the fields below.
    bool finish(int timeoutMs = 5000);

    std::string screen;    // everything shown on the terminal so far
    int status = -1;       // exit status of the utility, or 128 + signal
    int modesSame = -1;    // 1 when the terminal modes after equal those before
    int leftover = -1;     // key bytes still unread on the terminal afterwards

private:
    int master_ = -1;
    int goPipe_ = -1;
    int driver_ = -1;
};

#endif
