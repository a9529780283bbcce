// Entry point: the usage check, the switches, then one validation run.
#include "console/keyboard.h"
#include "run/run_state.h"

int main(int argc, char **argv)
{
    // 1. The console keyboard, independent of standard input.
    keyboardOpen();

    // 2. No files to compare: show how to name them.
    if (isUsageRequest(argc)) {
        showUsage();
        return usageStatus(argc, argv);
    }

    // 3. The switch words and long options after the names, then the run itself.
    readSwitches(argc, argv, firstSwitchArgument(), settings);
    readLongOptions(argc, argv, settings);
    return validationRun(argv[1], argv[2]);
}
