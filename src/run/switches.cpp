// The command line.
#include "run/command_line.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/files.h"
#include "console/console.h"
#include "languages/languages.h"
#include "report/report.h"
#include "rewrites/rewrites.h"

namespace {

constexpr int kMostJobs = 1024;  // the most pairs compared at once that --jobs takes
constexpr int kMostSeconds = 86400;  // the longest time a formatter may run on one file that --timeout takes

// The row of the option list that arg names; null when it names none.
const OptionText *optionRow(const char *arg)
{
    for (std::size_t r = 0; r < kOptionTextCount; ++r)
        if (!std::strcmp(arg, kOptionTexts[r].name))
            return &kOptionTexts[r];
    return nullptr;
}

bool isOption(const char *arg)
{
    return arg[0] == '-' && arg[1] == '-';
}

// Reads the number of --jobs from text; returns 0 when it is not one from 1 to kMostJobs.
int jobsFrom(const char *text)
{
    if (!text || *text < '1' || *text > '9' || std::strlen(text) > 4)
        return 0;
    char *end = nullptr;
    long n = std::strtol(text, &end, 10);
    return *end == '\0' && n <= kMostJobs ? static_cast<int>(n) : 0;
}

// Reads the seconds of --timeout from text; returns 0 when it is not a number from 1 to kMostSeconds.
int secondsFrom(const char *text)
{
    if (!text || *text < '1' || *text > '9' || std::strlen(text) > 5)
        return 0;
    char *end = nullptr;
    long n = std::strtol(text, &end, 10);
    return *end == '\0' && n <= kMostSeconds ? static_cast<int>(n) : 0;
}

// Says which names --language takes: each language's name, once.
void reportLanguages()
{
    std::string names;
    for (std::size_t r = 0; r < kLanguageRowCount; ++r) {
        const char *name = kLanguageRows[r].name;
        if (r > 0 && !std::strcmp(name, kLanguageRows[r - 1].name))
            continue;
        names += names.empty() ? "" : ", ";
        names += name;
    }
    consoleMessage("Matchling==>  Option --language needs one of: %s \n", names.c_str());
}

// An argument that is no option nor an option's value, and where it stands.
struct Plain {
    const char *text;
    int optionsBefore;  // options on the command line before it
    bool afterDashes;   // it comes after "--"
};

// What the pass over the options found, for the checks that follow it.
struct Found {
    std::vector<Plain> plain;             // the other arguments, in order
    const char *sortedName = nullptr;     // --sorted-imports or --sorted-includes, as typed
    const char *modes[4] = {};            // --git, --verify-ignore-revs, --formatter, --formatter-batch as given
};

// Sets what option, named arg, asks for, with value its argument (null when
// the command line ends first). Returns false after reporting a mistake.
bool readOption(Option option, const char *arg, const char *value, Request &request, Found &found)
{
    RunSettings &flags = request.settings;
    switch (option) {
    case Option::Where: flags.showWhere = true; break;
    case Option::ExitStatus: flags.verdictStatus = true; break;
    case Option::Tokens: flags.tokens = true; break;
    case Option::Comments: flags.comments = true; break;
    case Option::SortedIncludes:
        flags.sortedIncludes = true;
        found.sortedName = arg;
        break;
    case Option::NoWait: break;  // noWaitAsked reads it, before the keyboard is opened
    case Option::Jobs:
        flags.jobs = jobsFrom(value);
        if (flags.jobs == 0) {
            consoleMessage("Matchling==>  Option --jobs needs a number from 1 to %d \n", kMostJobs);
            return false;
        }
        break;
    case Option::Language:
        // A list of names selects the files a formatter is given; a name
        // alone also says how every source reads.
        flags.givenLanguages = value ? languagesNamed(value) : 0;
        flags.language = value && !std::strchr(value, ',') ? languageNamed(value) : Language::Unknown;
        if (flags.givenLanguages == 0) {
            reportLanguages();
            return false;
        }
        break;
    case Option::Timeout:
        flags.timeout = secondsFrom(value);
        if (flags.timeout == 0) {
            consoleMessage("Matchling==>  Option --timeout needs a number of seconds from 1 to %d \n", kMostSeconds);
            return false;
        }
        break;
    case Option::Format:
        if (!value || !formatNamed(value, flags.format)) {
            consoleMessage("Matchling==>  Option --format needs one of: %s \n", kFormatNames);
            return false;
        }
        break;
    case Option::Allow: {
        RewriteSet set = 0;
        const char *bad = nullptr;
        std::size_t badLength = 0;
        if (!value || !parseRewriteList(value, set, bad, badLength)) {
            std::string names = "all";
            for (int k = 0; k < kAllowKinds; ++k)
                names += std::string(", ") + rewriteName(static_cast<Rewrite>(k));
            if (badLength > 0)
                consoleMessage("Matchling==>  Unknown rewrite %.*s \n", static_cast<int>(badLength), bad);
            consoleMessage("Matchling==>  Option --allow needs one or more of: %s \n", names.c_str());
            return false;
        }
        flags.allow = static_cast<std::uint16_t>(flags.allow | set);
        break;
    }
    case Option::Exclude:
        if (!value || !*value) {
            consoleMessage("Matchling==>  Option --exclude needs a pattern \n");
            return false;
        }
        // A gitignore "!" pattern would take files back in; none is taken here.
        if (value[0] == '!') {
            consoleMessage("Matchling==>  Option --exclude takes no pattern that starts with '!': %s \n", value);
            return false;
        }
        request.excludes.push_back(value);
        break;
    case Option::Include:
        if (!value || !*value || value[0] == '!') {
            consoleMessage("Matchling==>  Option --include needs a pattern \n");
            return false;
        }
        request.includes.push_back(value);
        break;
    case Option::Git:
        request.git = true;
        found.modes[0] = arg;
        break;
    case Option::VerifyIgnoreRevs:
        if (!value || !*value || isOption(value)) {
            consoleMessage("Matchling==>  Option --verify-ignore-revs needs a file \n");
            return false;
        }
        request.ignoreRevs = value;
        found.modes[1] = arg;
        break;
    case Option::Formatter:
    case Option::FormatterBatch:
        if (!value || !*value) {
            consoleMessage("Matchling==>  Option %s needs a command and the files to run it on \n", arg);
            return false;
        }
        request.formatter = value;
        request.batch = option == Option::FormatterBatch;
        found.modes[request.batch ? 3 : 2] = arg;
        break;
    case Option::Help:
    case Option::Version:
    case Option::None:
        break;  // answered before the pass
    }
    return true;
}

// Reads every option of argv into request, and the other arguments into
// found. Returns false after reporting the first mistake.
bool readOptions(int argc, char **argv, Request &request, Found &found)
{
    bool dashes = false;
    int options = 0;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (!dashes && !std::strcmp(arg, "--")) {
            dashes = true;
            continue;
        }
        if (dashes || !isOption(arg)) {
            found.plain.push_back({arg, options, dashes});
            continue;
        }
        const OptionText *row = optionRow(arg);
        if (!row) {
            consoleMessage("Matchling==>  Unknown option %s \n", arg);
            return false;
        }
        // "[REV]" may be left out: --git finds its revision among the others.
        const bool takesValue = row->argument[0] != '\0' && row->argument[0] != '[';
        const char *value = takesValue && i + 1 < argc ? argv[i + 1] : nullptr;
        if (!readOption(row->option, arg, value, request, found))
            return false;
        i += takesValue ? 1 : 0;
        ++options;
    }
    return true;
}

// Applies the switch words of words, joined as one text.
void readWords(const std::vector<const char *> &words, RunSettings &flags)
{
    std::vector<char *> argv;
    for (const char *word : words)
        argv.push_back(const_cast<char *>(word));  // readSwitches copies them before it cuts
    readSwitches(static_cast<int>(argv.size()), argv.data(), 0, flags);
}

// Hands out the other arguments as the mode of request takes them: the two
// names, the revision, the paths, and the switch words after them. Returns
// Run, Usage, or Mistake after printing why.
CommandLine placeArguments(const Found &found, Request &request)
{
    std::vector<const char *> words;
    const std::vector<Plain> &plain = found.plain;
    if (!request.formatter.empty()) {
        // Paths hold '/' too: the switch words start at a '/' word that
        // follows an option after the first path, as in "PATH --tokens /L".
        int optionsAtFirstPath = -1;
        for (const Plain &p : plain) {
            const bool word = !p.afterDashes && (!words.empty() || (optionsAtFirstPath >= 0 &&
                                                                    p.optionsBefore > optionsAtFirstPath && p.text[0] == '/'));
            if (word) {
                words.push_back(p.text);
                continue;
            }
            request.paths.push_back(p.text);
            optionsAtFirstPath = optionsAtFirstPath < 0 ? p.optionsBefore : optionsAtFirstPath;
        }
        if (request.paths.empty()) {
            consoleMessage("Matchling==>  Option %s needs a command and the files to run it on \n",
                           request.batch ? "--formatter-batch" : "--formatter");
            return CommandLine::Mistake;
        }
    } else if (request.git || !request.ignoreRevs.empty()) {
        // A revision never starts with '/'; a switch word always does.
        std::size_t k = 0;
        if (request.git && !plain.empty() && !plain[0].afterDashes && plain[0].text[0] != '/')
            request.revision = plain[k++].text;
        request.history = request.revision.find("..") != std::string::npos;
        for (; k < plain.size(); ++k) {
            if (plain[k].afterDashes)
                request.paths.push_back(plain[k].text);
            else
                words.push_back(plain[k].text);
        }
        if (!request.paths.empty() && !request.ignoreRevs.empty()) {
            consoleMessage("Matchling==>  Paths after -- need --git \n");
            return CommandLine::Mistake;
        }
    } else {
        if (plain.size() < 2)
            return CommandLine::Usage;
        request.names[0] = plain[0].text;
        request.names[1] = plain[1].text;
        for (std::size_t k = static_cast<std::size_t>(firstSwitchArgument(3) - 1); k < plain.size(); ++k)
            words.push_back(plain[k].text);
    }
    readWords(words, request.settings);
    return CommandLine::Run;
}

// Checks that the options given belong together and to the mode request
// asks for, and sets the defaults of its mode. Returns Run, or Mistake after
// printing why.
CommandLine modesAgree(const Found &found, Request &request)
{
    RunSettings &flags = request.settings;
    const char *mode = nullptr;
    for (const char *m : found.modes) {
        if (m && mode) {
            consoleMessage("Matchling==>  Options %s and %s cannot go together \n", mode, m);
            return CommandLine::Mistake;
        }
        mode = m ? m : mode;
    }
    // A dry run asks whether the formatter changed the code: token mode.
    if (!request.formatter.empty())
        flags.tokens = true;
    // These refine the token comparison and mean nothing without it.
    const char *needsTokens = flags.comments                        ? "--comments"
                              : flags.sortedIncludes                ? found.sortedName
                              : flags.givenLanguages != 0           ? "--language"
                              : flags.allow != 0                    ? "--allow"
                                                                    : nullptr;
    if (needsTokens && !flags.tokens) {
        consoleMessage("Matchling==>  Option %s needs --tokens \n", needsTokens);
        return CommandLine::Mistake;
    }
    // A report for programs: the verdict in the exit status, and nothing on
    // standard output but the report. git blame's list is the content of a
    // run that went well, and its status says only that, unless asked.
    if (flags.format != ReportFormat::Text) {
        flags.verdictStatus = flags.verdictStatus || flags.format != ReportFormat::BlameIgnoreRevs;
        flags.listNormalized = false;
        flags.announceCopy = false;
    }
    if (flags.timeout != 0 && request.formatter.empty()) {
        consoleMessage("Matchling==>  Option --timeout needs --formatter or --formatter-batch \n");
        return CommandLine::Mistake;
    }
    if (flags.givenLanguages != 0 && flags.language == Language::Unknown && request.formatter.empty()) {
        consoleMessage("Matchling==>  Option --language takes a list of names only with --formatter or "
                       "--formatter-batch \n");
        return CommandLine::Mistake;
    }
    const bool commits = request.history || !request.ignoreRevs.empty();
    if (flags.format == ReportFormat::BlameIgnoreRevs && !commits) {
        consoleMessage("Matchling==>  Option --format blame-ignore-revs needs --git REV1..REV2 or --verify-ignore-revs \n");
        return CommandLine::Mistake;
    }
    if (!request.formatter.empty() && flags.timeout == 0)
        flags.timeout = kDefaultTimeout;
    return CommandLine::Run;
}

} // namespace

void setSwitches(char *word, RunSettings &flags)
{
    for (char *c = word; *c; ++c)
        if (*c >= 'a' && *c <= 'z')
            *c = static_cast<char>(*c - 'a' + 'A');
    switch (word[0]) {
    case 'B': flags.trimLineFeeds = true; break;
    case 'C': flags.handleComments = true; break;
    case 'L': flags.listNormalized = true; break;
    case 'T': flags.trimLineFeeds = true; flags.handleComments = true; break;
    case 'V': flags.announceCopy = true; break;
    default: break;  // other letters are ignored without a message
    }
}

void readSwitches(int argc, char **argv, int first, RunSettings &flags)
{
    std::string joined;
    for (int i = first; i < argc; ++i) {
        joined += argv[i];
        joined += ' ';
    }
    std::size_t start = joined.find('/');
    if (start == std::string::npos)
        return;
    char *text = &joined[start];
    for (char *word = std::strtok(text, "/ "); word; word = std::strtok(nullptr, "/ "))
        setSwitches(word, flags);
}

CommandLine readCommandLine(int argc, char **argv, Request &request)
{
    // --help and --version answer whatever else the line holds.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (!std::strcmp(argv[i], "--help"))
            return CommandLine::Help;
        if (!std::strcmp(argv[i], "--version"))
            return CommandLine::Version;
    }
    Found found;
    if (!readOptions(argc, argv, request, found))
        return CommandLine::Mistake;
    const CommandLine placed = placeArguments(found, request);
    if (placed == CommandLine::Mistake)
        return placed;
    // A misused option is named even where nothing names two files.
    const CommandLine agreed = modesAgree(found, request);
    if (agreed != CommandLine::Run || placed != CommandLine::Run)
        return agreed == CommandLine::Run ? placed : agreed;
    if (!request.includes.empty() && request.formatter.empty()) {
        consoleMessage("Matchling==>  Option --include needs --formatter or --formatter-batch \n");
        return CommandLine::Mistake;
    }
    // Two files are compared whatever their names.
    const bool twoNames = request.formatter.empty() && !request.git && request.ignoreRevs.empty();
    if (twoNames && !request.excludes.empty() &&
        !(isDirectory(request.names[0].c_str()) && isDirectory(request.names[1].c_str()))) {
        consoleMessage("Matchling==>  Option --exclude needs two directories, --git, --verify-ignore-revs, "
                       "--formatter or --formatter-batch \n");
        return CommandLine::Mistake;
    }
    return CommandLine::Run;
}

bool noWaitAsked(int argc, char **argv)
{
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
        if (!std::strcmp(argv[i], "--no-wait"))
            return true;
    return false;
}

int usageStatus(int argc, char **argv)
{
    // With no pair of names the option cannot stand after them; a lone
    // "--exit-status" still asks for its statuses.
    for (int i = 1; i < argc; ++i)
        if (!std::strcmp(argv[i], "--exit-status"))
            return 2;
    return 1;
}

ReportFormat formatAsked(int argc, char **argv)
{
    ReportFormat format = ReportFormat::Text;
    for (int i = 1; i + 1 < argc; ++i)
        if (!std::strcmp(argv[i], "--format") && formatNamed(argv[i + 1], format))
            break;
    return format;
}
