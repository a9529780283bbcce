// Entry point: the command line, then one run: two files, two trees, the
// files of a git commit, a formatter's dry run, or the commits of a history.
#include <memory>

#include "common/files.h"
#include "console/console.h"
#include "console/keyboard.h"
#include "run/command_line.h"
#include "run/history.h"
#include "run/run_state.h"
#include "run/sweep.h"

int main(int argc, char **argv)
{
    // 1. The arguments, with every name in UTF-8.
    argv = platformArguments(argc, argv);

    // 2. What the command line asks for. --help and --version answer at
    // once; otherwise the console keyboard, independent of standard input,
    // unless no key wait is wanted.
    Request request;
    Spool mistake;
    consoleTo(&mistake);
    const CommandLine line = readCommandLine(argc, argv, request);
    consoleTo(nullptr);
    if (line == CommandLine::Help || line == CommandLine::Version) {
        line == CommandLine::Help ? showHelp() : showVersion();
        return kExitCompared;
    }
    if (!noWaitAsked(argc, argv))
        keyboardOpen();

    // 3. Nothing to compare, or a mistyped option: show how to name them;
    // a report for programs gives the mistake as its error instead.
    const ReportFormat format = formatAsked(argc, argv);
    if (line == CommandLine::Mistake && format != ReportFormat::Text && format != ReportFormat::BlameIgnoreRevs)
        return stoppedReport(format, mistake.text);
    spoolCopy(mistake);
    if (line != CommandLine::Run) {
        showUsage();
        return usageStatus(argc, argv);
    }

    // 4. The commits of a range or of a list, each judged as a whole.
    if (request.history || !request.ignoreRevs.empty())
        return historyRun(request);

    // 5. Two trees, a commit, or a formatter's dry run: every pair they hold.
    if (!request.formatter.empty() || request.git || (isDirectory(request.names[0].c_str()) && isDirectory(request.names[1].c_str())))
        return sweepRun(request);

    // 6. Two files, with the run's state allocated once.
    std::unique_ptr<RunState> run = newRunState(request.settings);
    const char *const names[2] = {request.names[0].c_str(), request.names[1].c_str()};
    return validationRun(*run, request.settings, names);
}
