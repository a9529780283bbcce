// Console keyboard on POSIX: the controlling terminal, /dev/tty.
#include "console/keyboard.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kSequenceWaitMs = 30;  // gap within which the bytes of one key sequence arrive
constexpr int kCaughtSignals[] = {SIGTERM, SIGHUP, SIGQUIT, SIGINT};
constexpr int kCaughtCount = sizeof kCaughtSignals / sizeof kCaughtSignals[0];

int tty = -1;                        // descriptor of /dev/tty; -1 when there is none
struct termios saved;                // terminal mode to restore after each read
volatile std::sig_atomic_t rawMode;  // 1 while the terminal is in raw mode
int rawDepth = 0;                    // entries into raw mode not yet left; the outermost sets and restores
bool held = false;                   // a wait holds the terminal raw (keyboardHold)
struct sigaction previous[kCaughtCount];

// A signal that ends the process during a read must not leave the terminal raw:
// restore the mode, then end the process as the signal would have.
extern "C" void restoreAndRaise(int sig)
{
    if (rawMode)
        tcsetattr(tty, TCSANOW, &saved);
    signal(sig, SIG_DFL);
    raise(sig);
}

// Raw mode: no line input, no echo, no signal keys, bytes passed unchanged.
// Entries nest: only the outermost changes the mode.
int enterRaw()
{
    if (rawDepth > 0) {
        ++rawDepth;
        return 0;
    }
    if (tcgetattr(tty, &saved) != 0)
        return 1;
    struct termios raw = saved;
    raw.c_lflag &= ~(ICANON | ECHO | ECHONL | ISIG | IEXTEN);
    raw.c_iflag &= ~(IXON | ICRNL | INLCR | IGNCR | ISTRIP);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;

    struct sigaction act = {};
    act.sa_handler = restoreAndRaise;
    sigemptyset(&act.sa_mask);
    for (int i = 0; i < kCaughtCount; ++i) {
        sigaction(kCaughtSignals[i], nullptr, &previous[i]);
        if (previous[i].sa_handler != SIG_IGN)
            sigaction(kCaughtSignals[i], &act, nullptr);
    }
    rawMode = 1;
    // TCSANOW keeps keys typed before the prompt: they end the wait at once.
    if (tcsetattr(tty, TCSANOW, &raw) != 0) {
        rawMode = 0;
        for (int i = 0; i < kCaughtCount; ++i)
            sigaction(kCaughtSignals[i], &previous[i], nullptr);
        return 1;
    }
    rawDepth = 1;
    return 0;
}

void leaveRaw()
{
    if (rawDepth == 0 || --rawDepth > 0)
        return;
    tcsetattr(tty, TCSANOW, &saved);
    rawMode = 0;
    for (int i = 0; i < kCaughtCount; ++i)
        sigaction(kCaughtSignals[i], &previous[i], nullptr);
}

// Returns 1 when a byte can be read within ms milliseconds.
int byteWithin(int ms)
{
    struct pollfd p = {tty, POLLIN, 0};
    int n;
    while ((n = poll(&p, 1, ms)) < 0 && errno == EINTR) {
    }
    return n > 0 && (p.revents & POLLIN);
}

// Reads one byte, retrying after interruptions; returns 1 on success.
int readByte(unsigned char *c)
{
    ssize_t n;
    while ((n = read(tty, c, 1)) < 0 && errno == EINTR) {
    }
    return n == 1;
}

// Consumes the rest of a key sequence whose first byte was first.
void readRestOfKey(unsigned char first)
{
    unsigned char c;
    if (first == 0x1b) {
        // Esc alone, Alt+key, or a CSI/SS3 sequence of an arrow or function key.
        if (!byteWithin(kSequenceWaitMs) || !readByte(&c))
            return;
        if (c == '[') {
            while (byteWithin(kSequenceWaitMs) && readByte(&c))
                if (c >= 0x40 && c <= 0x7e)
                    return;
        } else if (c == 'O') {
            if (byteWithin(kSequenceWaitMs))
                readByte(&c);
        }
        return;
    }
    // A UTF-8 character: its continuation bytes belong to the same key.
    int more = (first >= 0xf0) ? 3 : (first >= 0xe0) ? 2 : (first >= 0xc0) ? 1 : 0;
    while (more-- > 0 && byteWithin(kSequenceWaitMs) && readByte(&c)) {
    }
}

} // namespace

int keyboardOpen()
{
    tty = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    return tty < 0;
}

void keyboardHold()
{
    held = tty >= 0 && enterRaw() == 0;
}

void keyboardRelease()
{
    if (held)
        leaveRaw();
    held = false;
}

int keyboardReadKey()
{
    if (tty < 0 || enterRaw() != 0)
        return 1;
    unsigned char c;
    int ok = readByte(&c);
    if (ok)
        readRestOfKey(c);
    leaveRaw();
    return ok ? 0 : 1;
}

int keyboardKeyPending()
{
    if (tty < 0 || enterRaw() != 0)
        return 0;
    int pending = byteWithin(0);
    leaveRaw();
    return pending;
}

bool errorIsTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}
