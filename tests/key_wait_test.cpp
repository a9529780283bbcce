// The key wait, driven through a pseudo-terminal as a user at the keyboard.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <thread>

#include "support.h"
#include "terminal.h"

namespace {

const char *const kPromptOnScreen = "Press Enter to continue \r\n";

// The part of the screen after the prompt.
std::string afterPrompt(const std::string &screen)
{
    std::size_t at = screen.find(kPromptOnScreen);
    return at == std::string::npos ? std::string() : screen.substr(at + std::strlen(kPromptOnScreen));
}

void pauseMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

TEST(KeyWait, KeyEndsTheWaitWithoutEcho)
{
    for (const std::string key : {"q", "\r", "\x1b[A", "\x03", "\xc3\xa9", "\x1b"}) {
        SCOPED_TRACE(testing::PrintToString(key));
        ScratchDir dir;
        TerminalSession t({}, dir.path());
        t.go();
        ASSERT_TRUE(t.waitFor(kPromptOnScreen));
        pauseMs(300);
        EXPECT_EQ(t.screen.find("DONE"), std::string::npos) << "the wait ended with no key";
        t.type(key);
        ASSERT_TRUE(t.finish()) << t.screen;
        EXPECT_EQ(t.status, 1) << "Ctrl+C during the wait is an ordinary key";
        EXPECT_EQ(t.modesSame, 1);
        EXPECT_EQ(t.leftover, 0);
        std::string after = afterPrompt(t.screen);
        EXPECT_EQ(after.substr(0, after.find("DONE")).find_first_not_of("\r\n"), std::string::npos)
            << "nothing echoed: " << testing::PrintToString(after);
    }
}

TEST(KeyWait, KeysTypedAheadEndTheWaitAndAreDiscarded)
{
    ScratchDir dir;
    TerminalSession t({}, dir.path());
    t.type("xyz");
    ASSERT_TRUE(t.waitFor("xyz")) << "the terminal echoes type-ahead before the utility starts";
    t.go();
    ASSERT_TRUE(t.finish()) << t.screen;
    EXPECT_NE(t.screen.find(kPromptOnScreen), std::string::npos);
    EXPECT_EQ(t.status, 1);
    EXPECT_EQ(t.modesSame, 1);
    EXPECT_EQ(t.leftover, 0);
}

TEST(KeyWait, StandardInputDoesNotFeedTheWait)
{
    // A run with files and a terminal: the verdict's wait reads the terminal.
    ScratchDir dir;
    writeFile(dir.file("a.c"), "x;\n");
    TerminalSession t({"a.c", "a.c"}, dir.path());
    t.go();
    ASSERT_TRUE(t.waitFor(kPromptOnScreen));
    pauseMs(200);
    EXPECT_EQ(t.screen.find("DONE"), std::string::npos);
    t.type(" ");
    ASSERT_TRUE(t.finish()) << t.screen;
    EXPECT_EQ(t.status, 0);
    EXPECT_EQ(t.modesSame, 1);
    EXPECT_NE(t.screen.find("Files compare equivalent"), std::string::npos);
}

TEST(KeyWait, NoWaitHelpAndVersionEndWithoutAKey)
{
    struct Case {
        std::vector<std::string> args;
        int status;
        const char *shown;  // a text the screen holds at the end
    } cases[] = {
        {{"a.c", "a.c", "--no-wait"}, 0, "Files compare equivalent"},
        {{"--no-wait", "a.c", "missing.c"}, 1, "Unable to open input file missing.c"},
        {{"--no-wait"}, 1, "Usage: Matchling"},
        {{"--help"}, 0, "--no-wait"},
        {{"--version"}, 0, "Ver. 0.1a"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args[0]);
        ScratchDir dir;
        writeFile(dir.file("a.c"), "x;\n");
        TerminalSession t(c.args, dir.path());
        t.go();
        ASSERT_TRUE(t.finish()) << "ended with no key: " << t.screen;
        EXPECT_EQ(t.status, c.status);
        EXPECT_EQ(t.modesSame, 1);
        EXPECT_NE(t.screen.find(c.shown), std::string::npos) << t.screen;
    }
}

} // namespace

namespace {

TEST(KeyWait, SignalDuringTheWaitRestoresTheTerminal)
{
    for (int sig : {SIGTERM, SIGHUP, SIGQUIT}) {
        SCOPED_TRACE(sig);
        ScratchDir dir;
        TerminalSession t({}, dir.path());
        t.go();
        ASSERT_TRUE(t.waitFor(kPromptOnScreen));
        int pid = t.utilityPid();
        ASSERT_GT(pid, 0);
        pauseMs(100);
        kill(pid, sig);
        ASSERT_TRUE(t.finish()) << t.screen;
        EXPECT_EQ(t.status, 128 + sig);
        EXPECT_EQ(t.modesSame, 1);
    }
}

} // namespace
