// The usage screen, the option list of --help and the version line. The
// option texts are those of README.md's tables of switches and options,
// without their markup; a test holds the two to each other.
#include <cstring>

#include "common/build_info.h"
#include "console/console.h"
#include "run/command_line.h"

namespace {

constexpr int kOptionColumn = 26;  // width the switch or option and its argument are padded to in the list

// The lines of the usage screen before its key wait.
void usageLines()
{
    consoleMessage("Matchling==>  Matchling  Ver. %s of %s \n", kVersion, kVersionDate);
    consoleMessage("\n");
    consoleMessage("Matchling==>  Usage: Matchling  SourceFile1  SourceFile2  [Options] \n");
    consoleMessage("\n");
    consoleMessage("Matchling==>  For the latest updates and product information: \n");
    consoleMessage("Matchling==>     See   : %s \n", kWebAddress);
    consoleMessage("Matchling==>     mailto: %s \n", kSupportAddress);
}

// One line of the option list for each row of rows that has an effect.
void optionLines(const OptionText *rows, std::size_t count)
{
    for (std::size_t r = 0; r < count; ++r) {
        if (!rows[r].effect)
            continue;
        std::string shown = rows[r].name;
        if (*rows[r].argument)
            shown = shown + " " + rows[r].argument;
        consoleMessage("Matchling==>  %-*s %s \n", kOptionColumn, shown.c_str(), rows[r].effect);
    }
}

} // namespace

const OptionText kSwitchTexts[] = {
    {"/B", "", Option::None,
     "trim line feeds at line ends too, before the comment rules (a trailing // note then leaves its e behind)"},
    {"/C", "", Option::None, "comment handling (always on; the switch changes nothing)"},
    {"/L", "", Option::None, "list the normalized text of both files on standard output"},
    {"/T", "", Option::None, "the same as /B /C"},
    {"/V", "", Option::None, "announce each copy of a source into its temporary file"},
};
const std::size_t kSwitchTextCount = sizeof kSwitchTexts / sizeof kSwitchTexts[0];

const OptionText kOptionTexts[] = {
    {"--where", "", Option::Where,
     "when the files differ, name the source line of the first difference in each file, before the verdict"},
    {"--exit-status", "", Option::ExitStatus,
     "exit 0 when the files compare equivalent, 1 when they do not, 2 for the usage screen and every run that "
     "stopped early"},
    {"--format", "FORMAT", Option::Format,
     "text (the console report, the default), or json, sarif, github, gnu: a report for programs (see Reports for "
     "CI); blame-ignore-revs for a range of commits"},
    {"--tokens", "", Option::Tokens, "compare token streams instead of normalized texts (see Token mode)"},
    {"--comments", "", Option::Comments, "with --tokens: the words of comments count too"},
    {"--sorted-imports", "", Option::SortedIncludes,
     "with --tokens: each run of import declarations (#include lines, using, import, use) compares as a set, and "
     "each run read in another order is counted (see Token mode); --sorted-includes is its other name"},
    {"--sorted-includes", "", Option::SortedIncludes, nullptr},
    {"--jobs", "N", Option::Jobs, "trees, git and formatters: compare N pairs at once (default: one per core)"},
    {"--language", "NAME", Option::Language,
     "with --tokens: read every file as language NAME (see Languages); with a formatter, NAME,NAME... gives it "
     "only the files of those languages"},
    {"--allow", "LIST", Option::Allow,
     "with --tokens: accept the rewrites named in LIST (all, or names joined by commas) where the language's "
     "grammar proves they change nothing (see Accepted rewrites)"},
    {"--exclude", "GLOB", Option::Exclude,
     "trees, git, histories and formatters: leave out the files GLOB matches, a gitignore pattern, counted in the "
     "summary; repeatable (see Leaving files out)"},
    {"--include", "GLOB", Option::Include,
     "formatters: give the command only the files GLOB matches, a gitignore pattern, instead of those of its "
     "languages; repeatable"},
    {"--git", "[REV]", Option::Git,
     "compare the files commit REV changed with its first parent, or without REV the working tree with HEAD; "
     "REV1..REV2 judges each commit of the range (see Whole trees and git commits)"},
    {"--verify-ignore-revs", "FILE", Option::VerifyIgnoreRevs,
     "check that each commit a .git-blame-ignore-revs FILE lists changed layout only"},
    {"--formatter", "COMMAND", Option::Formatter,
     "give each file of the paths named to COMMAND on its input and compare the file with the output (see "
     "Adopting or upgrading a formatter)"},
    {"--formatter-batch", "COMMAND", Option::FormatterBatch,
     "run COMMAND once on private copies of the files of the paths named, {} standing for their names, and "
     "compare each file with its copy"},
    {"--timeout", "SECONDS", Option::Timeout,
     "how long a formatter may run on one file (default 60); a batch call may run that long and 1 second more for "
     "each file it is given"},
    {"--no-wait", "", Option::NoWait, "no key wait after the report"},
    {"--help", "", Option::Help, "print the usage screen and this list of switches and options"},
    {"--version", "", Option::Version, "print the version line"},
};
const std::size_t kOptionTextCount = sizeof kOptionTexts / sizeof kOptionTexts[0];

void showUsage()
{
    usageLines();
    pause();
}

void showHelp()
{
    usageLines();
    consoleMessage("\n");
    optionLines(kSwitchTexts, kSwitchTextCount);
    optionLines(kOptionTexts, kOptionTextCount);
}

void showVersion()
{
    consoleMessage("Matchling==>  Matchling  Ver. %s of %s \n", kVersion, kVersionDate);
}
