// The single run: two files, each prepared into its temporary file in the
// current directory, then the two temporary files compared.
#include "common/build_info.h"
#include "common/files.h"
#include "console/console.h"
#include "run/run_state.h"

namespace {

// Opens a temporary file again for the comparison; reports a failure.
std::FILE *reopenTemp(const char *name)
{
    std::FILE *stream = openTempFile(name);
    if (!stream) {
        consoleMessage("Matchling==>  Unable to open %s for reading \n", name);
        pause();
    }
    return stream;
}

// Reports and returns true when a temporary file to be written is one of the
// sources: replacing it would destroy the user's file.
bool temporaryIsSource(const RunState &run)
{
    for (const char *temp : kTempNames) {
        if (!sameFile(temp, run.fileNames[0].c_str()) && !sameFile(temp, run.fileNames[1].c_str()))
            continue;
        consoleMessage("Matchling==>  Unable to open %s for writing \n", temp);
        consoleMessage("Matchling==>  It is one of the files to compare \n");
        consoleMessage("Matchling==>  Program will abort \n");
        pause();
        consoleMessage("\n");
        return true;
    }
    return false;
}

void deleteTemp(const char *name)
{
    if (removeFile(name) == 0)
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
int stoppedStatus(const RunSettings &settings)
{
    return settings.verdictStatus ? kExitTrouble : kExitFailed;
}

// --where reads a source a second time, by its name: only a plain file can be
// read again (a pipe is spent, and a FIFO would wait for a writer that never comes).
int reopenByName(void *self, int side, SourceStream &source)
{
    const RunState &run = *static_cast<const RunState *>(self);
    const char *name = run.fileNames[side].c_str();
    source = SourceStream();
    if (!isRegularFile(name))
        return 1;
    source.stream = openSourceFile(name);
    return source.stream ? 0 : 1;
}

void closeReopened(void *, int, SourceStream &source)
{
    closeStream(source.stream);
}

// Compares the two temporary files, as normalized texts or as token streams,
// and reports a difference with the places in the sources it comes from.
Verdict compareTemps(RunState &run, const RunSettings &settings)
{
    const char *const names[2] = {run.fileNames[0].c_str(), run.fileNames[1].c_str()};
    const Reopener sources{&run, reopenByName, closeReopened};
    if (settings.tokens) {
        for (int f = 0; f < 2; ++f)
            tokenReaderStart(run.tokenReaders[f], run.reads[f]);
        const PieceSource streams[2] = {readerPieces(run.tokenReaders[0]), readerPieces(run.tokenReaders[1])};
        const Verdict verdict = compareTokens(run.tokenComparison, streams);
        if (verdict == Verdict::Different)
            reportTokenDifference(run.tokenComparison, names, sources);
        return verdict;
    }
    const TextProducer texts[2] = {fileText(run.reads[0]), fileText(run.reads[1])};
    const Verdict verdict = compareFiles(run.comparison, texts, names);
    if (verdict == Verdict::Different && settings.showWhere)
        reportWhere(run, settings, sources);
    return verdict;
}

} // namespace

void closeStreams(RunState &run)
{
    for (Preparation &p : run.preparations) {
        closeStream(p.source.stream);
        closeStream(p.output);
    }
    closeStream(run.reads[0]);
    closeStream(run.reads[1]);
}

int validationRun(RunState &run, const RunSettings &settings, const char *const (&names)[2])
{
    // 0. Runs in one directory share the temporary file names: one at a time.
    lockDirectory();

    // 1. The names, as given.
    for (int f = 0; f < 2; ++f)
        run.fileNames[f] = names[f];
    if (temporaryIsSource(run))
        return stoppedStatus(settings);

    // 2-3. Each source into its temporary file; the preparation reports its
    // failures. File 2 keeps file 1's class when its name decides nothing.
    SourceClass sourceClass = SourceClass::CFamily;
    for (int f = 0; f < 2; ++f) {
        Preparation &p = run.preparations[f];
        p.path = names[f];
        p.tempName = kTempNames[f];
        TextProducer producer = settings.tokens ? tokenRecords(run.tokenWriters[f], run.lexers[f], settings)
                                                : normalizedText(run.normalizers[f], settings);
        if (prepareFile(p, settings, sourceClass, producer, run.block) != 0)
            return stoppedStatus(settings);
        run.classes[f] = sourceClass;
    }

    // 4-5. Both temporary files, open again for reading.
    for (int f = 0; f < 2; ++f) {
        run.reads[f] = reopenTemp(kTempNames[f]);
        if (!run.reads[f])
            return stoppedStatus(settings);
    }

    // 6. The comparison and its verdict.
    const Verdict verdict = compareTemps(run, settings);
    if (verdict == Verdict::Different) {
        consoleMessage("\n");
        consoleMessage("Matchling==>  Validation test failed \n");
        consoleMessage("Matchling==>  Files are not equivalent \n");
    } else {
        consoleMessage("\n");
        consoleMessage("Matchling==>  Files compare equivalent \n");
    }
    pause();

    // 7-9. Release everything and remove the temporary files.
    closeStreams(run);
    for (const char *temp : kTempNames)
        deleteTemp(temp);
    if (settings.verdictStatus)
        return verdict == Verdict::Different ? kExitDifferent : kExitSame;
    return kExitCompared;
}
