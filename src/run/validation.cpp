#include <cstdio>

#include "compare/compare.h"
#include "console/console.h"
#include "normalize/prepare.h"
#include "run/run_state.h"

namespace {

// Opens a temporary file again for the comparison; reports a failure.
std::FILE *reopenTemp(const char *name)
{
    std::FILE *stream = std::fopen(name, "r+b");
    if (!stream) {
        consoleMessage("Matchling==>  Unable to open %s for reading \n", name);
        pause();
        return nullptr;
    }
    std::setvbuf(stream, nullptr, _IONBF, 0);
    return stream;
}

// Reports and returns 1 when a temporary file to be written is one of the
// sources: replacing it would destroy the user's file.
int temporaryIsSource()
{
    for (const char *temp : {kTempName1, kTempName2}) {
        if (!sameFile(temp, run.fileName1.c_str()) && !sameFile(temp, run.fileName2.c_str()))
            continue;
        consoleMessage("Matchling==>  Unable to open %s for writing \n", temp);
        consoleMessage("Matchling==>  It is one of the files to compare \n");
        consoleMessage("Matchling==>  Program will abort \n");
        pause();
        consoleMessage("\n");
        return 1;
    }
    return 0;
}

void deleteTemp(const char *name)
{
    if (std::remove(name) == 0)
        return;
    consoleMessage("Matchling==>  Error on delete of %s file \n", name);
    consoleMessage("Matchling==>  Please notify Vexlo via EMail at: %s \n\n", kSupportAddress);
    pause();
    consoleMessage("\n");
}

void closeStream(std::FILE *&stream)
{
    if (stream)
        std::fclose(stream);
    stream = nullptr;
}

// Exit status of a run that stopped before its verdict.
int stoppedStatus()
{
    return settings.verdictStatus ? kExitTrouble : kExitFailed;
}

} // namespace

void closeStreams()
{
    closeStream(run.input.stream);
    closeStream(run.output);
    closeStream(run.read1);
    closeStream(run.read2);
}

int validationRun(const char *name1, const char *name2)
{
    // 0. Runs in one directory share the temporary file names: one at a time.
    lockDirectory();

    // 1. The names, as given.
    run.fileName1 = name1;
    run.fileName2 = name2;
    if (temporaryIsSource())
        return stoppedStatus();

    // 2-3. Each source into its normalized text; the preparation reports its failures.
    run.inputPath = name1;
    run.whichFile = 1;
    if (prepareFile(run.inputPath.c_str()) != 0)
        return stoppedStatus();
    run.inputPath = name2;
    run.whichFile = 2;
    if (prepareFile(run.inputPath.c_str()) != 0)
        return stoppedStatus();

    // 4-5. Both normalized texts, open again for reading.
    run.read1 = reopenTemp(kTempName1);
    if (!run.read1)
        return stoppedStatus();
    run.read2 = reopenTemp(kTempName2);
    if (!run.read2)
        return stoppedStatus();

    // 6. The comparison and its verdict.
    int differ = compareFiles();
    if (differ) {
        if (settings.showWhere)
            reportWhere();
        consoleMessage("\n");
        consoleMessage("Matchling==>  Validation test failed \n");
        consoleMessage("Matchling==>  Files are not equivalent \n");
    } else {
        consoleMessage("\n");
        consoleMessage("Matchling==>  Files compare equivalent \n");
    }
    pause();

    // 7-9. Release everything and remove the temporary files.
    closeStreams();
    deleteTemp(kTempName1);
    deleteTemp(kTempName2);
    if (settings.verdictStatus)
        return differ ? kExitDifferent : kExitSame;
    return kExitCompared;
}
