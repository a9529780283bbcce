// Reports for programs: what each pair of a run came to, written in one of
// the machine-readable forms of --format (JSON Lines, a SARIF 2.1.0 log,
// GitHub workflow commands, GNU-style error lines), every string escaped so
// that any name, whatever its bytes, keeps the output valid.
//
// The writers only append to a string; the run sequences decide where it
// goes and when.
#ifndef MATCHLING_REPORT_H
#define MATCHLING_REPORT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/settings.h"
#include "rewrites/rewrites.h"
#include "compare/compare.h"
#include "compare/token_compare.h"

// Where two sources first differ, as the reports give it; side 0 is the
// first (original) source, side 1 the second (formatted) one.
struct DifferenceFacts {
    bool byTokens = false;          // found by the token comparison: lines, columns and tokens; else an offset
    std::int64_t lines[2] = {};     // 1-based line of each side's difference; 0 when not known
    std::int64_t columns[2] = {};   // with tokens, 1-based column in bytes; 0 when not known
    std::string tokens[2];          // with tokens, the first bytes (kShownTokenSize at most) of each side's token as
                                    // its source spells it, or where the two part past those, the bytes around that
    std::int64_t excerptLines[2] = {};    // in that case, the line and column of each side's first byte that differs;
    std::int64_t excerptColumns[2] = {};  // else 0
    std::int64_t offset = -1;       // without tokens, the offset in the normalized texts; -1 when not known
    int ended = 0;                  // 1 or 2 when that side's stream or text ended before the other's, else 0
};

// The facts of a token difference that c holds.
void tokenDifference(const TokenCompareState &c, DifferenceFacts &d);

// The facts of a block difference that c holds; the lines are the caller's to find.
void blockDifference(const CompareState &c, DifferenceFacts &d);

// What a pair came to, as the reports name it.
enum class PairStatus { Equivalent, NotEquivalent, Failed, OnlyIn1, OnlyIn2, NotCompared };

// The name reports give status s: "equivalent", "not-equivalent", ...
const char *statusName(PairStatus s);

// One pair as a report gives it. Strings are bytes, any bytes; null where absent.
struct PairFacts {
    const char *path = "";                     // the pair's path as the text report names it
    const char *names[2] = {nullptr, nullptr};  // each side's name; null for a side that is not there
    const char *place = "";                    // the file a finding is placed at (the second side's, unless it is missing)
    const char *onlyIn = nullptr;              // OnlyIn1, OnlyIn2: the name of the side that holds the file
    PairStatus status = PairStatus::Equivalent;
    const char *reason = nullptr;              // Failed: why; NotCompared: why; NotEquivalent: why, when the
                                               // two are of two kinds and difference is null
    const char *language = nullptr;            // with --tokens: the language's name, "other" when none
    const DifferenceFacts *difference = nullptr;  // NotEquivalent: where; null when reason says why instead
    const std::uint64_t *allowed = nullptr;    // with --allow or --sorted-imports: the rewrites accepted,
                                               // kRewriteKinds counts
    RewriteSet counted = 0;                    // the rewrites of allowed that the report gives
};

// The counts of a run's summary, as the text summary has them.
struct ReportCounts {
    long long equivalent = 0;
    long long different = 0;
    long long failed = 0;       // not compared pairs included
    long long notCompared = 0;  // of the failed ones, those with no token rules for their kind
    long long onlyOne = 0;
    long long excluded = -1;    // files --exclude left out; -1 when it was not given
    bool byLanguage = false;    // --tokens: languages holds the pairs compared per language
    std::vector<std::pair<std::string, long long>> languages;  // name and count, in the text summary's order
    RewriteSet counted = 0;     // --allow, --sorted-imports: the rewrites allowed holds, which the report gives
    std::uint64_t allowed[kRewriteKinds] = {};
};

// One report being written.
struct ReportWriter {
    ReportFormat format = ReportFormat::Json;
    bool begun = false;        // reportBegin has written its part
    std::size_t results = 0;   // SARIF results written so far
};

// The format --format NAME names; false when NAME is none.
bool formatNamed(const char *name, ReportFormat &format);

// The names --format takes, for its error line.
extern const char *const kFormatNames;

// Each appends to out what w's format writes: the start of the report, one
// pair (nothing for a pair the format does not list), the summary and the
// end; or, for a run that stopped, its error in place of a summary.
void reportBegin(ReportWriter &w, std::string &out);
void reportPair(ReportWriter &w, const PairFacts &p, std::string &out);
void reportEnd(ReportWriter &w, const ReportCounts &c, std::string &out);

// Appends the JSON Lines object of a file a formatter run left out, with
// why and the language its name selects ("other" for none).
void reportLeftOut(const std::string &path, const char *reason, const char *language, std::string &out);
void reportStopped(ReportWriter &w, const std::string &message, std::string &out);

// One file of a commit, as the reports of a history run give it.
struct FileFacts {
    const char *path = "";          // the path as the text report names it: "old -> new" for a rename
    PairStatus status = PairStatus::Equivalent;  // OnlyIn1: only before the commit; OnlyIn2: only after it
    const char *language = nullptr; // with --tokens: the language's name, "other" when none
    bool renamed = false;           // git saw the file moved, which changes the code whatever its content
    const char *reason = nullptr;   // Failed: why ("empty", "symbolic link", ...); NotEquivalent: why, when the
                                    // two sides are of two kinds ("of two kinds: ..."), with no line
    bool byTokens = false;          // NotEquivalent: found by the token comparison, so line and column are a token's
    std::int64_t line = 0;          // NotEquivalent: the newer side's line of the first difference, from 1; 0 when not known
    std::int64_t column = 0;        // with byTokens, its column in bytes, from 1
};

// One commit of a history run: its files in the order of their paths.
struct CommitFacts {
    const char *id = "";            // the full object id
    const char *shortId = "";       // as git abbreviates it
    const char *subject = "";       // the first line of its message
    bool empty = false;             // it changed no file against its first parent
    const FileFacts *files = nullptr;
    std::size_t fileCount = 0;
};

// The counts of a history run's summary.
struct CommitCounts {
    long long layoutOnly = 0;
    long long changesCode = 0;
    long long empty = 0;            // commits that changed no file
    long long notCommits = 0;       // lines of a list that name no commit
    long long excluded = -1;        // files --exclude left out, each file each commit changed; -1 when not given
};

// Whether file f changes its commit's code: anything but an equivalent pair at one path.
bool changesCode(const FileFacts &f);

// Whether commit c changes code: any of its files does. A commit with no
// file left to judge (an empty one, or every file excluded) does not.
bool commitChangesCode(const CommitFacts &c);

// Why f changes code, in the words of the reports: "tokens at 12:5", "text
// at line 12" (the line rules), "renamed", "no token rules", "of two kinds: ...", "only before",
// "only after", "unable to compare (REASON)". Empty when it does not.
std::string changeReason(const FileFacts &f);

// The files of c that change code, as a "Changes code" line names them:
// "N files: PATH REASON, ..." with the first most of them (every one when
// most is 0), then ", and K more" for the rest.
std::string changedFiles(const CommitFacts &c, std::size_t most);

// Each appends one JSON Lines object of a history run to out: a commit, a
// line of a list that names no commit, and the summary.
void reportCommit(const CommitFacts &c, std::string &out);
void reportNotCommit(const std::string &listed, const std::string &note, std::string &out);

// For a history run in --format sarif, github or gnu, each appends to out
// a finding: of a file f that makes commit c change code, placed at place
// (the path as the format's reader opens it), its message "SHORT SUBJECT:
// REASON"; and of a line of a list that names no commit, text, with no place.
void reportCommitFinding(ReportWriter &w, const CommitFacts &c, const FileFacts &f, const char *place,
                         std::string &out);
void reportLineFinding(ReportWriter &w, const std::string &text, std::string &out);
void reportCommitsEnd(const CommitCounts &c, std::string &out);

// The first line of a text report that says something: its first line with
// more than the "Matchling==>" prefix, less the prefix and the blanks around
// it, the key-wait prompt skipped. Empty when there is none.
std::string firstReportLine(const std::string &text);

// The escapes, each appending length bytes of text to out.
// A JSON string, quotes included: invalid UTF-8 as U+FFFD, one per byte.
void appendJson(std::string &out, const char *text, std::size_t length);
// A relative URI reference for a path: every byte but letters, digits,
// "-._~" and "/" percent-encoded; a path from the root as a file: URI.
void appendUri(std::string &out, const char *text, std::size_t length);
// A value of a GitHub workflow command: '%', CR and LF percent-encoded, and
// in a property ':' and ',' too; invalid UTF-8 as U+FFFD.
void appendCommand(std::string &out, const char *text, std::size_t length, bool property);
// Text of a GNU-style line: control bytes as '?', so a finding stays one line.
void appendGnu(std::string &out, const char *text, std::size_t length);

#endif
