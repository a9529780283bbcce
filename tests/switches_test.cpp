// Switch reading: argument lists and the flags they set.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run/command_line.h"

namespace {

struct SwitchCase {
    const char *name;
    std::vector<std::string> args;  // after the program name
    int first;                      // first argument that takes part
    const char *expected;           // flags set, as letters among "BCLV"
};

std::string flagsOf(const RunSettings &s)
{
    std::string f;
    if (s.trimLineFeeds) f += 'B';
    if (s.handleComments) f += 'C';
    if (s.listNormalized) f += 'L';
    if (s.announceCopy) f += 'V';
    return f;
}

TEST(Switches, Table)
{
    const SwitchCase cases[] = {
        {"none", {"a.c", "b.c"}, 3, "C"},
        {"lower case", {"a.c", "b.c", "/b"}, 3, "BC"},
        {"word, first letter only", {"a.c", "b.c", "/Bxyz"}, 3, "BC"},
        {"glued letters set only the first", {"a.c", "b.c", "/BL"}, 3, "BC"},
        {"slash separated", {"a.c", "b.c", "/B/L"}, 3, "BCL"},
        {"blank separated", {"a.c", "b.c", "/B", "L"}, 3, "BCL"},
        {"T is B and C", {"a.c", "b.c", "/t"}, 3, "BC"},
        {"V", {"a.c", "b.c", "/v"}, 3, "CV"},
        {"unknown letters", {"a.c", "b.c", "/xyz/Q", "/9"}, 3, "C"},
        {"words before the first slash", {"a.c", "b.c", "L", "V", "/B"}, 3, "BC"},
        {"paths never set switches", {"src/lib/a.c", "build/b.c", "/L"}, 3, "CL"},
        {"glued words after the names", {"a.c", "b.c", "/b/l"}, 3, "BCL"},
        {"long options set nothing", {"a.c", "b.c", "--where", "/L", "--exit-status"}, 3, "CL"},
        {"names take part from the first argument", {"dir/a.c", "dir/b.c"}, 1, "BC"},
        {"switch in a name position", {"/L", "a.c", "b.c"}, 1, "BCL"},
    };
    for (const SwitchCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> storage = c.args;
        std::vector<char *> argv = {const_cast<char *>("matchling")};
        for (std::string &a : storage)
            argv.push_back(&a[0]);
        argv.push_back(nullptr);
        RunSettings flags;
        readSwitches(static_cast<int>(argv.size()) - 1, argv.data(), c.first, flags);
        EXPECT_EQ(flagsOf(flags), c.expected);
        EXPECT_EQ(storage, c.args) << "arguments must not change";
    }
}

TEST(Switches, VeryLongCommandLine)
{
    std::string longWord = "/" + std::string(100000, 'l');
    std::vector<char *> argv = {const_cast<char *>("matchling"), const_cast<char *>("a.c"),
                                const_cast<char *>("b.c"), &longWord[0], nullptr};
    RunSettings flags;
    readSwitches(4, argv.data(), 3, flags);
    EXPECT_EQ(flagsOf(flags), "CL");
}

TEST(Switches, UsageRequest)
{
    for (int argc : {1, 2}) {
        std::vector<char *> argv = {const_cast<char *>("matchling"), const_cast<char *>("/?"), nullptr};
        Request request;
        EXPECT_EQ(readCommandLine(argc, argv.data(), request), CommandLine::Usage);
    }
}

} // namespace
