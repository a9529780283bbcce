// Switch reading: argument lists and the flags they set.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/spool.h"
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

// What readCommandLine made of a request: its mode and operands, the flags
// the switch words set, and the options that matter here.
std::string describe(const Request &r)
{
    std::string d;
    if (r.git)
        d += "git[" + r.revision + "]" + (r.history ? " history" : "");
    else if (!r.ignoreRevs.empty())
        d += "verify[" + r.ignoreRevs + "]";
    else if (!r.formatter.empty())
        d += (r.batch ? "batch[" : "formatter[") + r.formatter + "]";
    else
        d += "names[" + r.names[0] + "," + r.names[1] + "]";
    for (const std::string &p : r.paths)
        d += " path[" + p + "]";
    for (const std::string &x : r.excludes)
        d += " exclude[" + x + "]";
    d += " " + flagsOf(r.settings);
    d += r.settings.tokens ? " tokens" : "";
    d += r.settings.timeout ? " timeout=" + std::to_string(r.settings.timeout) : "";
    d += r.settings.verdictStatus ? " status" : "";
    return d;
}

struct LineCase {
    const char *name;
    std::vector<std::string> args;  // after the program name
    CommandLine result;
    std::string expected;  // describe() for Run; the error printed for Mistake
};

TEST(CommandLineRead, OptionsInAnyOrder)
{
    const LineCase cases[] = {
        {"names first", {"a.c", "b.c", "--tokens"}, CommandLine::Run, "names[a.c,b.c] C tokens"},
        {"options first", {"--tokens", "--exit-status", "a.c", "b.c"}, CommandLine::Run,
         "names[a.c,b.c] C tokens status"},
        {"options between", {"a.c", "--tokens", "b.c", "/L"}, CommandLine::Run, "names[a.c,b.c] CL tokens"},
        {"a value never sets a switch", {"a.c", "b.c", "/L", "--language", "basic", "--tokens"}, CommandLine::Run,
         "names[a.c,b.c] CL tokens"},
        {"-- ends the options", {"--tokens", "--", "--a.c", "b.c"}, CommandLine::Run, "names[--a.c,b.c] C tokens"},
        {"one name", {"--tokens", "a.c"}, CommandLine::Usage, ""},
        {"formatter, timeout before the paths", {"--formatter", "cat", "--timeout", "2", "src"}, CommandLine::Run,
         "formatter[cat] path[src] C tokens timeout=2"},
        {"formatter, options on both sides", {"--jobs", "2", "--formatter", "cat", "src", "--no-wait", "lib"},
         CommandLine::Run, "formatter[cat] path[src] path[lib] C tokens timeout=60"},
        {"formatter, an absolute path first", {"--formatter", "cat", "/usr/include", "--tokens"}, CommandLine::Run,
         "formatter[cat] path[/usr/include] C tokens timeout=60"},
        {"formatter, switch words after a path and an option", {"--formatter", "cat", "src", "--tokens", "/L", "x"},
         CommandLine::Run, "formatter[cat] path[src] CL tokens timeout=60"},
        {"formatter, after -- only paths", {"--formatter", "cat", "src", "--tokens", "--", "/L"}, CommandLine::Run,
         "formatter[cat] path[src] path[/L] C tokens timeout=60"},
        {"batch", {"src", "--formatter-batch", "prettier --write {}"}, CommandLine::Run,
         "batch[prettier --write {}] path[src] C tokens timeout=60"},
        {"git, revision after an option", {"--git", "--tokens", "HEAD"}, CommandLine::Run, "git[HEAD] C tokens"},
        {"git, a switch word is no revision", {"--git", "/L", "HEAD"}, CommandLine::Run, "git[] CL"},
        {"git, paths after --", {"--git", "HEAD~1", "--", "a.c", "src"}, CommandLine::Run,
         "git[HEAD~1] path[a.c] path[src] C"},
        {"git, a range", {"--tokens", "--git", "v1..v2"}, CommandLine::Run, "git[v1..v2] history C tokens"},
        {"verify, options first", {"--tokens", "--verify-ignore-revs", "revs"}, CommandLine::Run,
         "verify[revs] C tokens"},
        {"excludes, in order", {".", "..", "--exclude", "*.lock", "--exclude", "vendor/"}, CommandLine::Run,
         "names[.,..] exclude[*.lock] exclude[vendor/] C"},
        {"blame list without --exit-status", {"--git", "a..b", "--format", "blame-ignore-revs"}, CommandLine::Run,
         "git[a..b] history C"},
        {"help", {"a.c", "--help", "--tokns"}, CommandLine::Help, ""},
        {"version", {"--version"}, CommandLine::Version, ""},
    };
    for (const LineCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> storage = c.args;
        std::vector<char *> argv = {const_cast<char *>("matchling")};
        for (std::string &a : storage)
            argv.push_back(&a[0]);
        argv.push_back(nullptr);
        Request request;
        Spool said;
        consoleTo(&said);
        const CommandLine result = readCommandLine(static_cast<int>(argv.size()) - 1, argv.data(), request);
        consoleTo(nullptr);
        EXPECT_EQ(static_cast<int>(result), static_cast<int>(c.result)) << said.text;
        if (c.result == CommandLine::Run) {
            EXPECT_EQ(describe(request), c.expected);
        }
        EXPECT_EQ(said.text, "");
        spoolDrop(said);
    }
}

TEST(CommandLineRead, Mistakes)
{
    const LineCase cases[] = {
        {"unknown option before the names", {"--tokns", "a.c", "b.c"}, CommandLine::Mistake,
         "Matchling==>  Unknown option --tokns \n"},
        {"two modes", {"--git", "--formatter", "cat", "a.c"}, CommandLine::Mistake,
         "Matchling==>  Options --git and --formatter cannot go together \n"},
        {"both formatters", {"--formatter", "cat", "a.c", "--formatter-batch", "cat"}, CommandLine::Mistake,
         "Matchling==>  Options --formatter and --formatter-batch cannot go together \n"},
        {"a batch without paths", {"--formatter-batch", "black {}", "--tokens"}, CommandLine::Mistake,
         "Matchling==>  Option --formatter-batch needs a command and the files to run it on \n"},
        {"a batch without a command", {"--formatter-batch"}, CommandLine::Mistake,
         "Matchling==>  Option --formatter-batch needs a command and the files to run it on \n"},
        {"timeout without a formatter", {"--git", "--timeout", "3"}, CommandLine::Mistake,
         "Matchling==>  Option --timeout needs --formatter or --formatter-batch \n"},
        {"exclude without a pattern", {"--git", "--exclude"}, CommandLine::Mistake,
         "Matchling==>  Option --exclude needs a pattern \n"},
        {"exclude that would take files back", {"--git", "--exclude", "!keep.c"}, CommandLine::Mistake,
         "Matchling==>  Option --exclude takes no pattern that starts with '!': !keep.c \n"},
        {"exclude with two files", {"a.c", "b.c", "--exclude", "*.c"}, CommandLine::Mistake,
         "Matchling==>  Option --exclude needs two directories, --git, --verify-ignore-revs, --formatter or "
         "--formatter-batch \n"},
        {"paths with a list of commits", {"--verify-ignore-revs", "revs", "--", "x.c"}, CommandLine::Mistake,
         "Matchling==>  Paths after -- need --git \n"},
        {"a misused option where no names are", {"--comments"}, CommandLine::Mistake,
         "Matchling==>  Option --comments needs --tokens \n"},
    };
    for (const LineCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> storage = c.args;
        std::vector<char *> argv = {const_cast<char *>("matchling")};
        for (std::string &a : storage)
            argv.push_back(&a[0]);
        argv.push_back(nullptr);
        Request request;
        Spool said;
        consoleTo(&said);
        const CommandLine result = readCommandLine(static_cast<int>(argv.size()) - 1, argv.data(), request);
        consoleTo(nullptr);
        EXPECT_EQ(static_cast<int>(result), static_cast<int>(c.result));
        EXPECT_EQ(said.text, c.expected);
        spoolDrop(said);
    }
}

TEST(CommandLineRead, EveryListedOptionIsRead)
{
    for (std::size_t r = 0; r < kOptionTextCount; ++r) {
        SCOPED_TRACE(kOptionTexts[r].name);
        EXPECT_NE(kOptionTexts[r].option, Option::None);
        std::string name = kOptionTexts[r].name;
        std::vector<char *> argv = {const_cast<char *>("matchling"), &name[0], nullptr};
        Request request;
        Spool said;
        consoleTo(&said);
        readCommandLine(2, argv.data(), request);
        consoleTo(nullptr);
        EXPECT_EQ(said.text.find("Unknown option"), std::string::npos);
        spoolDrop(said);
    }
}

} // namespace
