// The verdicts of trees, commits and histories, decided from what each pair
// came to: one row per kind of pair, no git and no files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/report.h"
#include "run/sweep.h"

namespace {

const EntryKind P = EntryKind::Pair, First = EntryKind::OnlyFirst, Second = EntryKind::OnlySecond;

// One file of a commit: what its pair came to, and how a history names it.
struct FileCase {
    const char *name;
    EntryKind kind;
    PairOutcome outcome;
    bool renamed;
    bool byTokens;  // Different: found by tokens
    int line, column;
    const char *reason;  // Failed: why
    PairStatus status;
    const char *changes;  // the reason the reports give; "" when the file changes no code
};

FileFacts factsOf(const FileCase &c)
{
    FileFacts f;
    f.path = c.name;
    f.status = pairStatus(c.kind, c.outcome);
    f.renamed = c.renamed;
    f.byTokens = c.byTokens;
    f.line = c.line;
    f.column = c.column;
    f.reason = c.reason;
    return f;
}

const PairOutcome Eq = PairOutcome::Equivalent, Diff = PairOutcome::Different, Fail = PairOutcome::Failed,
                  One = PairOutcome::OnlyOne, Same = PairOutcome::Unchanged, Refused = PairOutcome::NotCompared;

const FileCase kFiles[] = {
    {"equivalent", P, Eq, false, false, 0, 0, nullptr, PairStatus::Equivalent, ""},
    {"unchanged in the working tree", P, Same, false, false, 0, 0, nullptr, PairStatus::Equivalent, ""},
    {"renamed, same content", P, Eq, true, false, 0, 0, nullptr, PairStatus::Equivalent, "renamed"},
    {"renamed and changed", P, Diff, true, true, 3, 7, nullptr, PairStatus::NotEquivalent, "tokens at 3:7"},
    {"tokens differ", P, Diff, false, true, 12, 5, nullptr, PairStatus::NotEquivalent, "tokens at 12:5"},
    {"tokens differ, place unknown", P, Diff, false, true, 0, 0, nullptr, PairStatus::NotEquivalent, "tokens"},
    {"text differs", P, Diff, false, false, 4, 9, nullptr, PairStatus::NotEquivalent, "text at line 4"},
    {"text differs, place unknown", P, Diff, false, false, 0, 0, nullptr, PairStatus::NotEquivalent, "text"},
    {"could not be read", P, Fail, false, false, 0, 0, "empty", PairStatus::Failed, "unable to compare (empty)"},
    {"refused: no token rules", P, Refused, false, false, 0, 0, nullptr, PairStatus::NotCompared, "no token rules"},
    {"deleted", First, One, false, false, 0, 0, nullptr, PairStatus::OnlyIn1, "only before"},
    {"added", Second, One, false, false, 0, 0, nullptr, PairStatus::OnlyIn2, "only after"},
    {"of two kinds", P, Diff, false, false, 0, 0, "of two kinds: x", PairStatus::NotEquivalent, "of two kinds: x"},
};

TEST(Verdicts, EachFileOfACommit)
{
    for (const FileCase &c : kFiles) {
        SCOPED_TRACE(c.name);
        const FileFacts f = factsOf(c);
        EXPECT_EQ(f.status, c.status);
        EXPECT_EQ(changeReason(f), c.changes);
        EXPECT_EQ(changesCode(f), *c.changes != '\0');
    }
}

// A commit's files, by their rows above, and its verdict.
struct CommitCase {
    const char *name;
    std::vector<int> files;  // indexes in kFiles
    bool changes;
    const char *named;       // changedFiles(c, 2)
};

TEST(Verdicts, Commits)
{
    const CommitCase cases[] = {
        {"no file (an empty commit)", {}, false, "0 files"},
        {"every file equivalent", {0, 1}, false, "0 files"},
        {"one renamed file", {0, 2}, true, "1 file: renamed, same content renamed"},
        {"one refused file among equivalent ones", {0, 9, 1}, true, "1 file: refused: no token rules no token rules"},
        {"more than are named", {4, 10, 0, 11}, true,
         "3 files: tokens differ tokens at 12:5, deleted only before, and 1 more"},
    };
    for (const CommitCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<FileFacts> files;
        for (int k : c.files)
            files.push_back(factsOf(kFiles[k]));
        CommitFacts commit;
        commit.files = files.data();
        commit.fileCount = files.size();
        EXPECT_EQ(commitChangesCode(commit), c.changes);
        EXPECT_EQ(changedFiles(commit, 2), c.named);
        std::string json;
        reportCommit(commit, json);
        EXPECT_NE(json.find(c.changes ? "\"verdict\":\"changes-code\"" : "\"verdict\":\"layout-only\""),
                  std::string::npos);
    }
}

// A tree's pairs and its verdict.
TEST(Verdicts, Trees)
{
    const struct {
        const char *name;
        std::vector<PairOutcome> pairs;
        bool equivalent;
    } cases[] = {
        {"no pair", {}, true},
        {"equivalent and unchanged pairs", {Eq, Same, Eq}, true},
        {"a pair that differs", {Eq, Diff}, false},
        {"a pair that failed", {Fail, Eq}, false},
        {"a refused pair", {Eq, Refused}, false},
        {"a file on one side", {One}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Tally t;
        for (PairOutcome outcome : c.pairs)
            tallyPair(t, outcome, Language::Unknown);
        EXPECT_EQ(tallyEquivalent(t), c.equivalent);
    }
}

} // namespace
