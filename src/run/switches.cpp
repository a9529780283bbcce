// The command line.
#include "run/command_line.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "console/console.h"
#include "languages/languages.h"
#include "report/report.h"
#include "rewrites/rewrites.h"

namespace {

constexpr int kMostJobs = 1024;  // the most pairs compared at once that --jobs takes
constexpr int kMostSeconds = 86400;  // the longest time a formatter may run on one file that --timeout takes

// The long options that stand as whole arguments after the names.
enum class Option { None, Where, ExitStatus, Tokens, Comments, SortedIncludes, Jobs, Language, Timeout, Format, Allow };

Option optionNamed(const char *arg)
{
    static const struct {
        const char *name;
        Option option;
    } options[] = {
        {"--where", Option::Where},          {"--exit-status", Option::ExitStatus},
        {"--tokens", Option::Tokens},        {"--comments", Option::Comments},
        {"--sorted-includes", Option::SortedIncludes}, {"--sorted-imports", Option::SortedIncludes},
        {"--jobs", Option::Jobs},            {"--language", Option::Language},
        {"--timeout", Option::Timeout},      {"--format", Option::Format},
        {"--allow", Option::Allow},
    };
    for (const auto &o : options)
        if (!std::strcmp(arg, o.name))
            return o.option;
    return Option::None;
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

// Reads the long options from argv[first] on into flags; returns false after
// reporting the first mistake.
bool readLongOptions(int argc, char **argv, int first, RunSettings &flags)
{
    const char *sortedName = nullptr;  // --sorted-imports or --sorted-includes, as typed
    for (int i = first; i < argc; ++i) {
        const char *arg = argv[i];
        switch (optionNamed(arg)) {
        case Option::Where: flags.showWhere = true; break;
        case Option::ExitStatus: flags.verdictStatus = true; break;
        case Option::Tokens: flags.tokens = true; break;
        case Option::Comments: flags.comments = true; break;
        case Option::SortedIncludes:
            flags.sortedIncludes = true;
            sortedName = arg;
            break;
        case Option::Jobs:
            flags.jobs = jobsFrom(i + 1 < argc ? argv[i + 1] : nullptr);
            if (flags.jobs == 0) {
                consoleMessage("Matchling==>  Option --jobs needs a number from 1 to %d \n", kMostJobs);
                return false;
            }
            ++i;
            break;
        case Option::Language:
            flags.language = i + 1 < argc ? languageNamed(argv[i + 1]) : Language::Unknown;
            if (flags.language == Language::Unknown) {
                reportLanguages();
                return false;
            }
            ++i;
            break;
        case Option::Timeout:
            flags.timeout = secondsFrom(i + 1 < argc ? argv[i + 1] : nullptr);
            if (flags.timeout == 0) {
                consoleMessage("Matchling==>  Option --timeout needs a number of seconds from 1 to %d \n", kMostSeconds);
                return false;
            }
            ++i;
            break;
        case Option::Format:
            if (i + 1 >= argc || !formatNamed(argv[i + 1], flags.format)) {
                consoleMessage("Matchling==>  Option --format needs one of: %s \n", kFormatNames);
                return false;
            }
            ++i;
            break;
        case Option::Allow: {
            RewriteSet set = 0;
            const char *bad = nullptr;
            std::size_t badLength = 0;
            if (i + 1 >= argc || !parseRewriteList(argv[i + 1], set, bad, badLength)) {
                std::string names = "all";
                for (int k = 0; k < kAllowKinds; ++k)
                    names += std::string(", ") + rewriteName(static_cast<Rewrite>(k));
                if (badLength > 0)
                    consoleMessage("Matchling==>  Unknown rewrite %.*s \n", static_cast<int>(badLength), bad);
                consoleMessage("Matchling==>  Option --allow needs one or more of: %s \n", names.c_str());
                return false;
            }
            flags.allow = static_cast<std::uint16_t>(flags.allow | set);
            ++i;
            break;
        }
        case Option::None:
            if (arg[0] == '-' && arg[1] == '-') {
                consoleMessage("Matchling==>  Unknown option %s \n", arg);
                return false;
            }
            break;
        }
    }
    // These refine the token comparison and mean nothing without it.
    const char *needsTokens = flags.comments                        ? "--comments"
                              : flags.sortedIncludes                ? sortedName
                              : flags.language != Language::Unknown ? "--language"
                              : flags.allow != 0                    ? "--allow"
                                                                    : nullptr;
    if (needsTokens && !flags.tokens) {
        consoleMessage("Matchling==>  Option %s needs --tokens \n", needsTokens);
        return false;
    }
    // A report for programs: the verdict in the exit status, and nothing on
    // standard output but the report.
    if (flags.format != ReportFormat::Text) {
        flags.verdictStatus = true;
        flags.listNormalized = false;
        flags.announceCopy = false;
    }
    return true;
}

// Checks that the options given belong to the mode request asks for, and
// sets the defaults of its mode. Returns Run, or Mistake after printing why.
CommandLine modesAgree(Request &request)
{
    RunSettings &flags = request.settings;
    if (flags.timeout != 0 && request.formatter.empty()) {
        consoleMessage("Matchling==>  Option --timeout needs --formatter \n");
        return CommandLine::Mistake;
    }
    const bool commits = request.history || !request.ignoreRevs.empty();
    if (commits && flags.format != ReportFormat::Text && flags.format != ReportFormat::Json &&
        flags.format != ReportFormat::BlameIgnoreRevs) {
        consoleMessage("Matchling==>  Option --format needs text, json or blame-ignore-revs with --git REV1..REV2 or "
                       "--verify-ignore-revs \n");
        return CommandLine::Mistake;
    }
    if (flags.format == ReportFormat::BlameIgnoreRevs && !commits) {
        consoleMessage("Matchling==>  Option --format blame-ignore-revs needs --git REV1..REV2 or --verify-ignore-revs \n");
        return CommandLine::Mistake;
    }
    if (!request.formatter.empty() && flags.timeout == 0)
        flags.timeout = kDefaultTimeout;
    return CommandLine::Run;
}

bool isOption(const char *arg)
{
    return arg[0] == '-' && arg[1] == '-';
}

// "--formatter COMMAND PATH..." and "--verify-ignore-revs FILE", which stand
// in place of the two names; the options follow. Returns Run, or Mistake
// after printing why.
CommandLine readModeArguments(int argc, char **argv, Request &request)
{
    int first = 3;
    if (!std::strcmp(argv[1], "--formatter")) {
        request.formatter = argc >= 3 ? argv[2] : "";
        while (first < argc && !isOption(argv[first]))
            request.paths.push_back(argv[first++]);
        if (request.formatter.empty() || request.paths.empty()) {
            consoleMessage("Matchling==>  Option --formatter needs a command and the files to run it on \n");
            return CommandLine::Mistake;
        }
        // A dry run asks whether the formatter changed the code: token mode.
        request.settings.tokens = true;
    } else {
        request.ignoreRevs = argc >= 3 ? argv[2] : "";
        if (request.ignoreRevs.empty() || isOption(argv[2])) {
            consoleMessage("Matchling==>  Option --verify-ignore-revs needs a file \n");
            return CommandLine::Mistake;
        }
    }
    // Commands and paths hold '/': switch words come only after them.
    readSwitches(argc, argv, first, request.settings);
    return readLongOptions(argc, argv, first, request.settings) ? modesAgree(request) : CommandLine::Mistake;
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
    // "--git [REV]" stands in place of the two names; REV never sets a switch.
    if (argc >= 2 && !std::strcmp(argv[1], "--git")) {
        request.git = true;
        int names = 2;
        if (argc >= 3 && argv[2][0] != '/' && !(argv[2][0] == '-' && argv[2][1] == '-')) {
            request.revision = argv[2];
            names = 3;
        }
        request.history = request.revision.find("..") != std::string::npos;
        readSwitches(argc, argv, names, request.settings);
        return readLongOptions(argc, argv, names, request.settings) ? modesAgree(request) : CommandLine::Mistake;
    }
    if (argc >= 2 && (!std::strcmp(argv[1], "--formatter") || !std::strcmp(argv[1], "--verify-ignore-revs")))
        return readModeArguments(argc, argv, request);
    // No pair of names: "/?", or a name alone with nothing to compare it with.
    if (argc < 3)
        return CommandLine::Usage;
    request.names[0] = argv[1];
    request.names[1] = argv[2];
    readSwitches(argc, argv, firstSwitchArgument(3), request.settings);
    return readLongOptions(argc, argv, 3, request.settings) ? modesAgree(request) : CommandLine::Mistake;
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
