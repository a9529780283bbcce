#include "normalize/prepare.h"

#include "common/build_info.h"
#include "common/files.h"
#include "console/console.h"
#include "normalize/normalizer.h"

namespace {

void reportProcessingError(const Preparation &p)
{
    consoleMessage("\n");
    consoleMessage("Matchling==>  An error has been detected during processing %s! \n", p.path.c_str());
    consoleMessage("Matchling==>  The Input file will not be altered \n");
    consoleMessage("Matchling==>  See the %s file for the distorted output \n", p.tempName);
    consoleMessage("Matchling==>  Please report problem to %s \n", kSupportAddress);
    consoleMessage("Matchling==>  URL: %s \n", kProblemUrl);
    consoleMessage("Matchling==>  Thank you \n\n");
    pause();
    consoleMessage("\n");
}

} // namespace

void reportWriteFailure(Preparation &p)
{
    consoleMessage("Matchling==>  Error writing the output file \n");
    consoleMessage("Matchling==>  Disk drive may be full \n");
    ++p.errors;
    pause();
}

void reportUnreadable(const Preparation &p)
{
    consoleMessage("\n");
    consoleMessage("Matchling==>  Unable to read %s \n", p.path.c_str());
}

void reportAbort()
{
    consoleMessage("Matchling==>  Program will abort \n");
    pause();
    consoleMessage("\n");
}

int openPreparation(Preparation &p, const RunSettings &settings)
{
    p.source = SourceStream();
    p.source.stream = openSourceFile(p.path.c_str());
    if (!p.source.stream) {
        consoleMessage("Matchling==>  Unable to open input file %s for reading \n", p.path.c_str());
        consoleMessage("Matchling==>  The file probably doesn't exist \n\n");
        return 1;
    }
    p.output = createTempFile(p.tempName);
    if (!p.output) {
        consoleMessage("Matchling==>  Unable to open %s for writing \n", p.tempName);
        consoleMessage("Matchling==>  The disk is probably full \n");
        return 1;
    }
    if (settings.announceCopy)
        consoleMessage("Matchling==>  Copying   %s --> %s \n", p.path.c_str(), p.tempName);
    return 0;
}

int finishPreparation(Preparation &p)
{
    // Data that fails to reach the file when it is closed is a write failure too.
    if (p.errors == 0) {
        std::fclose(p.source.stream);
        p.source.stream = nullptr;
        int closed = std::fclose(p.output);
        p.output = nullptr;
        if (closed != 0)
            reportWriteFailure(p);
    }
    if (p.errors != 0) {
        reportProcessingError(p);
        return 1;
    }
    return 0;
}

int writeNormalized(Preparation &p, Normalizer &n, char *block)
{
    p.errors = 0;
    // A source that yields nothing is not compared.
    if (!textInputMore(n.input)) {
        reportUnreadable(p);
        return 1;
    }
    for (;;) {
        const std::size_t count = normalizerFill(n, block);
        // A read error loses the rest of the source: never compare a part of it.
        if (count < kBlockSize && p.source.failed) {
            reportUnreadable(p);
            return 1;
        }
        if (count == 0)
            break;
        if (std::fwrite(block, 1, count, p.output) != count) {
            reportWriteFailure(p);
            // What is left of the piece is dropped; more input after it stops the preparation.
            if (normalizerDropPiece(n))
                return 1;
            break;
        }
        if (count < kBlockSize)
            break;
    }
    if (p.source.failed) {
        reportUnreadable(p);
        return 1;
    }
    // Everything the stream still holds.
    if (p.errors == 0 && std::fflush(p.output) != 0)
        reportWriteFailure(p);
    return 0;
}

int prepareFile(Preparation &p, const RunSettings &settings, SourceClass &sourceClass, Normalizer &n, char *block)
{
    // 1. The class from the extension: the text after the first '.'.
    classifySource(p.path.c_str(), sourceClass, p.extension);

    // 2. The source and its temporary file, then the text into it.
    int status = openPreparation(p, settings);
    if (status == 0) {
        normalizerStart(n, settings, p.source, sourceClass);
        status = writeNormalized(p, n, block);
    }
    if (status != 0) {
        reportAbort();
        return 1;
    }

    // 3. Close both.
    return finishPreparation(p);
}
