// What one comparison of two sources works on, and the run sequences that use
// it: the single run of two files, and the runs over trees and commits.
//
// Each worker owns one RunState, allocated once with its fixed-size buffers
// and reused for every pair it compares; the stages take what they work on as
// parameters. Procedures that can fail return 0 for success and 1 for failure
// and never exit; only the run sequences turn results into the exit status.
#ifndef MATCHLING_RUN_STATE_H
#define MATCHLING_RUN_STATE_H

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "common/settings.h"
#include "compare/compare.h"
#include "compare/token_compare.h"
#include "languages/languages.h"
#include "normalize/normalizer.h"
#include "normalize/prepare.h"
#include "tokens/lexer.h"
#include "run/token_pump.h"

constexpr const char *kTempNames[2] = {"Matchlinga.tmp", "Matchlingb.tmp"};  // each file's normalized text

// Exit statuses of the process.
constexpr int kExitCompared = 0;  // a comparison was made, whatever its verdict
constexpr int kExitFailed = 1;    // usage screen, or a run that stopped early
// With --exit-status instead:
constexpr int kExitSame = 0;       // the files compare equivalent
constexpr int kExitDifferent = 1;  // they do not
constexpr int kExitTrouble = 2;    // usage screen, or a run that stopped early

// The exit status of a run that compared, equivalent or not; verdictStatus:
// --exit-status was given.
inline int verdictExit(bool equivalent, bool verdictStatus)
{
    if (verdictStatus)
        return equivalent ? kExitSame : kExitDifferent;
    return kExitCompared;
}

// Prints the verdict lines that end a run's report, after a blank line, then
// waits for a key where a key wait is due (validation.cpp).
void announceVerdict(bool equivalent);

// What a token comparison works on; allocated only for one.
struct TokenState {
    Lexer lexers[2];                      // each source's token stream
    RunPieces runs[2];                    // each stream's common tokens taken many at once (tree runs)
    std::unique_ptr<Rewriter[]> rewriters;  // with --allow, each stream in canonical form (two; large, so only then)
    FirstPiece firsts[2];                 // where rewrites are counted (single run), each stream from its first piece
    KeyWriter writers[2];                 // the same, each stream compared into its temporary file
    TokenPump pumps[2];                   // each stream lexed on its own thread (single run)
    TokenLister listers[2];               // with switch L, each stream listed as it is compared (tree runs)
    TokenCompareState comparison;         // where the token comparison found a difference
    char heads[2][kContentBytes];         // where a content test looks, each source's start, which its lexer reads first
};

struct RunState {
    std::string fileNames[2];             // the two names as reports give them, any length
    SourceClass classes[2] = {};          // the class each source was read as
    Language languages[2] = {};           // with --tokens, the language each source is lexed as
    Preparation preparations[2];          // each source into its temporary file (single run)
    std::FILE *reads[2] = {};             // the temporary files open again for the comparison; null when closed
    char block[kBlockSize];               // a preparation's output block
    Normalizer normalizers[2];            // each source's normalized text
    CompareState comparison;              // blocks and counters of the block comparison
    std::unique_ptr<TokenState> tokens;   // with --tokens, the token comparison's state
    std::string twoKinds;                 // single run: why its two sources are of two kinds, which makes them
                                          // not equivalent uncompared; empty when they are not
};

// Where --where's lines of the rewrites --allow accepted go: a spool, or
// the reports when null; name is file 2's.
struct AllowedLines {
    Spool *spool = nullptr;
    const char *name = "";
};

// Writes the line of one accepted rewrite; self is an AllowedLines.
void reportAllowedAt(void *self, Rewrite r, TokenPlace place);

// The rewrites a token run counts and reports: with --allow, every one
// --allow names; with --sorted-imports, reordered runs of imports. 0 when
// none (the streams are then compared as key streams, without notes).
RewriteSet countedRewrites(const RunSettings &settings);

// With --sorted-imports, prints the one line that names the languages among
// used (flags by languageIndex; the last, kLanguageNames, is no language)
// whose imports do not sort; nothing when none is.
void reportImportsWithoutEffect(const RunSettings &settings, const bool (&used)[kLanguageNames + 1]);

// How the lexers read under settings (--comments, --sorted-includes).
LexOptions lexOptions(const RunSettings &settings);

// How run's token streams are made under settings, with its lexers and
// rewriters to make them again (after its comparison).
Respelling respelling(RunState &run, const RunSettings &settings);

// A run state for settings, its buffers allocated but not yet touched, so
// that only the pages a run uses take memory.
std::unique_ptr<RunState> newRunState(const RunSettings &settings);

// With --tokens, the language of each of the sources names[0] and names[1]:
// --language's, else its own name's, else the other name's. False when
// neither name places its source.
bool tokenLanguages(const RunSettings &settings, const char *const (&names)[2], Language (&languages)[2]);

// Runs one validation of the files names[0] and names[1] and returns the exit status.
int validationRun(RunState &run, const RunSettings &settings, const char *const (&names)[2]);

// Writes the error of a run that stopped, from its text report text, in the
// form of format (not Text); returns the exit status of a run that stopped.
int stoppedReport(ReportFormat format, const std::string &text);

// Closes every stream of run that is still open and marks it closed.
void closeStreams(RunState &run);

// Prints, for each file, the source line of the first difference that the
// block comparison found, reading the sources again through sources.
void reportWhere(RunState &run, const RunSettings &settings, const Reopener &sources);

// The same lines, into lines (0 where a line cannot be found), printing nothing.
void differenceLines(RunState &run, const RunSettings &settings, const Reopener &sources, std::int64_t (&lines)[2]);

#endif
