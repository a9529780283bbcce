// The command line: the usage screen, the switch words and the long options,
// read once into a request that the run sequences take.
#ifndef MATCHLING_COMMAND_LINE_H
#define MATCHLING_COMMAND_LINE_H

#include <cstddef>
#include <string>
#include <vector>

#include "common/settings.h"

constexpr int kDefaultTimeout = 60;  // seconds a formatter may run on one file, or one batch call, when --timeout is not given

// What the command line asks for.
struct Request {
    bool git = false;          // --git: the files a commit changed (names unused)
    std::string revision;      // with git: the commit, or with history the range; empty for the working tree against HEAD
    bool history = false;      // --git REV1..REV2: every commit of the range along first parents
    std::string ignoreRevs;    // --verify-ignore-revs FILE: the list of commits to check; empty otherwise
    std::string formatter;     // --formatter or --formatter-batch COMMAND: the command of a dry run; empty otherwise
    bool batch = false;        // --formatter-batch: the command runs once, on copies of the files
    std::vector<std::string> paths;     // with formatter: the files and directories to give it; with git: the paths after "--" the run keeps to (none: all)
    std::vector<std::string> excludes;  // --exclude GLOB, each as given, in order
    std::vector<std::string> includes;  // --include GLOB: with a formatter, the files it is given; each as given
    std::string names[2];      // the two files, or the two directories
    RunSettings settings;      // the switches and options
};

enum class CommandLine {
    Run,      // request is filled in
    Usage,    // the usage screen was asked for, or nothing names two things to compare
    Mistake,  // an option was mistyped or misused; its one-line error has been printed
    Help,     // --help: the usage screen and the options, no key wait
    Version,  // --version: the version line alone
};

// The long options, each once; an alias shares its option's value.
enum class Option {
    None, Where, ExitStatus, Format, Tokens, Comments, SortedIncludes, Language, Allow, Jobs, Git, VerifyIgnoreRevs,
    Formatter, FormatterBatch, Timeout, Exclude, Include, NoWait, Help, Version,
};

// One line of the option list that --help prints and README.md's tables
// hold: a switch or a long option, with its argument, and what it does.
struct OptionText {
    const char *name;      // "/B", "--jobs"; an alias of the row before it has a null effect
    const char *argument;  // "N", "[REV]", ...; empty when it takes none (bracketed: it may be left out)
    Option option;         // None for a switch
    const char *effect;    // the text of the README's table, without its markup; null for an alias
};

extern const OptionText kSwitchTexts[];   // the switch words, in README order
extern const std::size_t kSwitchTextCount;
extern const OptionText kOptionTexts[];   // the long options, in README order
extern const std::size_t kOptionTextCount;

// The arguments as the utility reads them, names in UTF-8: argv as it stands
// where names are bytes already; where the system hands main its arguments in
// a code page, those of the system's UTF-16 command line instead, with argc
// set to their count. Called once, at start-up.
char **platformArguments(int &argc, char **argv);

// Reads argv into request: the long options wherever they stand, "--" ending
// them; the names, paths, revision and switch words from the other
// arguments by their places. Returns Run, Usage, Help, Version, or Mistake
// (after printing why).
CommandLine readCommandLine(int argc, char **argv, Request &request);

// Prints the usage screen and waits for a key.
void showUsage();

// Prints the usage screen without the key wait, then a line for each switch
// and each long option.
void showHelp();

// Prints the version line alone.
void showVersion();

// Whether argv asks for no key wait (--no-wait before any "--"), valid or
// not the rest of the command line.
bool noWaitAsked(int argc, char **argv);

// Exit status of the usage screen: 2 when an argument asks for "--exit-status", else 1.
int usageStatus(int argc, char **argv);

// The report format a --format option of argv names, valid or not the rest
// of the command line; Text when none does.
ReportFormat formatAsked(int argc, char **argv);

// Sets the flags named by one switch word, which it upper-cases in place; only
// its first letter counts.
void setSwitches(char *word, RunSettings &flags);

// Joins argv[first] onwards, each followed by a blank, and applies setSwitches
// to every word from the first '/' on; '/' and ' ' separate the words.
void readSwitches(int argc, char **argv, int first, RunSettings &flags);

// Index of the first argument that takes part in switch reading on this
// platform, when the names to compare are the arguments before names: where
// '/' separates directories, the names do not take part.
int firstSwitchArgument(int names);

#endif
