// Source preparation: one source file turned into its temporary file, which
// holds the source's normalized text, in binary, with nothing added.
#ifndef MATCHLING_PREPARE_H
#define MATCHLING_PREPARE_H

#include <cstdio>
#include <string>

#include "common/settings.h"
#include "common/source_stream.h"
#include "normalize/normalizer.h"

// One preparation; the caller owns it, and closes what it leaves open.
struct Preparation {
    std::string path;                 // the source, as named on the command line
    const char *tempName = nullptr;   // its temporary file
    char extension[4] = {};           // up to 3 upper-cased characters after the first '.'; empty when none
    SourceStream source;              // the source while it is read; its stream stays open after a failure
    std::FILE *output = nullptr;      // the temporary file while it is written; stays open after a failure
    int errors = 0;                   // writes to the temporary file that failed
};

// Opens p.path and creates p.tempName, replacing an earlier file of that
// name, and with switch V announces the copy. Returns 0, or 1 after
// reporting what failed.
int openPreparation(Preparation &p, const RunSettings &settings);

// Closes the source and the temporary file when no write failed. Returns 0,
// or 1 after the report of a processing error (a write failed, or the last
// bytes did not reach the file when it was closed).
int finishPreparation(Preparation &p);

// Reports a write to the temporary file that did not complete, counts it in
// p.errors and waits for a key.
void reportWriteFailure(Preparation &p);

// Reports that p.path could not be read (it is empty, or a read failed).
void reportUnreadable(const Preparation &p);

// Reports that the run stops here and waits for a key.
void reportAbort();

// Classifies p.path into sourceClass (kept when the name decides nothing),
// writes its normalized text, made by n, to p.tempName and closes both
// files. block is the work space of kBlockSize bytes. Returns 0 when the
// temporary file is complete, 1 after a reported failure.
int prepareFile(Preparation &p, const RunSettings &settings, SourceClass &sourceClass, Normalizer &n, char *block);

// The normalized text of p.source, which n has been started on, written to
// p.output block by block. Returns 1 when it stopped early (a block write
// failed with input left, or the source could not be read), 0 when it reached
// the end of the input, with p.errors raised if a write failed. Reports each
// failure.
int writeNormalized(Preparation &p, Normalizer &n, char *block);

#endif
