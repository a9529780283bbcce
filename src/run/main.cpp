// Entry point: the command line, then one run: two files, two trees, or the
// files of a git commit.
#include <memory>

#include "common/files.h"
#include "console/keyboard.h"
#include "run/command_line.h"
#include "run/run_state.h"

int main(int argc, char **argv)
{
    // 1. The console keyboard, independent of standard input.
    keyboardOpen();

    // 2. Nothing to compare, or a mistyped option: show how to name them.
    Request request;
    if (readCommandLine(argc, argv, request) != CommandLine::Run) {
        showUsage();
        return usageStatus(argc, argv);
    }

    // 3. The run itself, with its state allocated once.
    auto run = std::make_unique<RunState>();
    const char *const names[2] = {request.names[0].c_str(), request.names[1].c_str()};
    return validationRun(*run, request.settings, names);
}
