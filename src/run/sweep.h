// Runs over many pairs: two directory trees, or the files a git commit
// changed. Pairs are compared on several threads, each with its own state, and
// reported in the order of their paths, each pair's lines together.
#ifndef MATCHLING_SWEEP_H
#define MATCHLING_SWEEP_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "console/spool.h"
#include "languages/languages.h"
#include "report/report.h"
#include "run/command_line.h"
#include "run/run_state.h"
#include "walk/walk.h"

// What one pair came to.
enum class PairOutcome {
    Equivalent,  // the two compare equivalent
    Different,   // they do not; output holds the difference lines, or reason why when they are of two kinds
    Failed,      // they could not be compared; reason says why
    OnlyOne,     // the file is on one side only
    Unchanged,   // the working tree holds HEAD's bytes: not a change at all
    NotCompared, // --tokens: no token rules for this kind of file, and the bytes differ
};

struct PairResult {
    PairOutcome outcome = PairOutcome::Equivalent;
    std::string reason;      // for Failed: "unreadable", "empty", "symbolic link", ...; for NotCompared, when
                             // not the usual one: "no token rules for this kind of file in this build", or
                             // the content tests' "no token rules: .cls is read as ..."; for Different, their
                             // "of two kinds: ..." (no difference lines then), or the hint that
                             // --sorted-imports would accept it (with them)
    bool hint = false;       // the reason of a Different pair is that hint
    Spool output;            // the pair's difference lines
    Spool listings[2];       // with switch L, each side's normalized text or token list
    std::int64_t bytes = 0;  // bytes of the two sides, for the progress line
    Language language = Language::Unknown;  // with --tokens, the language the pair was (or would be) lexed as
    DifferenceFacts difference;  // with --format other than text, where a Different pair differs
    std::uint64_t allowed[kRewriteKinds] = {};  // with --allow or --sorted-imports, the rewrites accepted, by kind
    Spool allowedLines;      // with those and --where, the line of each
    bool done = false;       // the result is complete
};

// Counts of a sweep's summary.
struct Tally {
    long long equivalent = 0;
    long long different = 0;
    long long failed = 0;
    long long onlyOne = 0;
    long long notCompared = 0;  // of the failed ones, those with no token rules for their kind
    long long byLanguage[kLanguageNames + 1] = {};  // pairs compared, by languageIndex
    std::uint64_t allowed[kRewriteKinds] = {};      // with --allow or --sorted-imports, the rewrites accepted, by kind
};

// Counts a pair that came to outcome, lexed (or not) as language, in t.
void tallyPair(Tally &t, PairOutcome outcome, Language language);

// Whether a sweep whose pairs t counts compares equivalent: every pair
// equivalent or unchanged, none failed, not compared or on one side only.
bool tallyEquivalent(const Tally &t);

// The status the reports give an entry of kind kind whose pair came to
// outcome; an unchanged file of the working tree is equivalent.
PairStatus pairStatus(EntryKind kind, PairOutcome outcome);

// One worker: its run state and, in git modes, its two object readers.
struct Worker {
    std::unique_ptr<RunState> run;
    std::unique_ptr<ObjectReader> objects[2];  // started on first use
};

// How the pairs of a sweep are compared.
struct SweepSettings {
    const RunSettings *settings = nullptr;
    bool workingTree = false;  // git mode on the working tree: identical bytes are no change
    long long skipped = -1;    // formatter runs: files left out for their names; -1 in other runs
    long long notGiven = 0;    // formatter runs: files of languages the formatter does not format
    const std::vector<LeftOut::File> *left = nullptr;  // with --where or a report for programs: those files named
    long long excluded = -1;   // files --exclude left out; -1 when it was not given
    std::string unmatched;     // the --exclude patterns that left out nothing, joined by ", "
    std::vector<std::string> notes;  // lines printed before the summary's counts, without their "Matchling==> "
    std::string placePrefix;   // git runs in --format gnu or github: the current directory from the top ("src/"), which places are reckoned from
    std::function<void()> compared;  // when set, called once every pair is compared, before the summary
};

// Compares the pair entry names, or takes what the listing already knows of
// it, into result.
void comparePair(Worker &worker, const WalkEntry &entry, const SweepSettings &sweep, PairResult &result);

// The path a side's name gives, less a git revision before it.
std::string sidePath(const SideRef &ref);

// Runs over the trees request.names[0] and request.names[1] (both
// directories), with request.git over a commit, or with request.formatter
// over its files; returns the exit status.
int sweepRun(const Request &request);

// The workers a run over many pairs or commits starts: --jobs N's N, else one per core.
int sweepJobs(const RunSettings &settings);

// Prints the lines before a run's summary on --exclude: how many files it
// left out (none when 0 or fewer), and the patterns that left out nothing,
// joined by ", " (none when empty).
void reportExcluded(long long excluded, const std::string &unmatched);

#endif
