// The history runs: the commits of a range, or those a .git-blame-ignore-revs
// file lists, each judged on the workers as --git REV judges it, with its
// pairs' reports left out and one line for the commit instead.
#include "run/history.h"

#include <cstdio>
#include <string>
#include <vector>

#include "common/files.h"
#include "console/console.h"
#include "run/run_state.h"
#include "run/sweep.h"
#include "walk/walk.h"

namespace {

constexpr std::size_t kListChunk = 65536;  // bytes read at a time from a list of commits

// The commits a run has judged.
struct Judged {
    long long layoutOnly = 0;   // commits that changed layout only
    long long changesCode = 0;  // commits that changed more
    long long notCommits = 0;   // listed lines that name no commit
};

// Counts, into changed, the files commit changed beyond their layout: pairs
// not equivalent, not compared or on one side only, and files moved, whose
// path is part of the program (a module's, a class's or an include's name).
// Returns 0, or 1 with error set.
int judge(const GitCommit &commit, const RunSettings &settings, long long &changed, std::string &error)
{
    WalkList list;
    if (walkGit(commit.id, list, error) != 0)
        return 1;
    SweepSettings sweep;
    sweep.settings = &settings;
    std::vector<PairOutcome> outcomes;
    sweepOutcomes(list, sweep, outcomes);
    changed = 0;
    for (std::size_t i = 0; i < outcomes.size(); ++i)
        changed += outcomes[i] != PairOutcome::Equivalent || list.entries[i].renamed;
    return 0;
}

// Counts commit and reports it: with --format blame-ignore-revs, a
// layout-only commit as git blame's list takes it; otherwise a line for a
// commit that changed code, and with listAll one for every commit.
void report(const GitCommit &commit, long long changed, bool listAll, const RunSettings &settings, Judged &judged)
{
    ++(changed == 0 ? judged.layoutOnly : judged.changesCode);
    if (settings.format == ReportFormat::BlameIgnoreRevs) {
        if (changed == 0)
            consoleMessage("# %s\n%s\n", commit.subject.c_str(), commit.id.c_str());
    } else if (changed != 0) {
        consoleMessage("Matchling==> Changes code: %s %s (%lld files) \n", commit.shortId.c_str(),
                       commit.subject.c_str(), changed);
    } else if (listAll) {
        consoleMessage("Matchling==> Layout only: %s %s \n", commit.shortId.c_str(), commit.subject.c_str());
    }
}

// Reads the lines of the list name, as git blame reads them: each without
// what follows a '#' and without blanks around it, empty ones left out.
// Returns 0, or 1 with error set.
int readListed(const std::string &name, std::vector<std::string> &listed, std::string &error)
{
    std::FILE *file = openSourceFile(name.c_str());
    if (!file) {
        error = "Unable to open input file " + name + " for reading";
        return 1;
    }
    std::string text;
    char chunk[kListChunk];
    while (std::size_t n = std::fread(chunk, 1, sizeof chunk, file))
        text.append(chunk, n);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        error = "Unable to read " + name;
        return 1;
    }
    const char *const blanks = " \t\r\f\v";
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end;
        std::string line = text.substr(at, end - at);
        line = line.substr(0, line.find('#'));
        const std::size_t first = line.find_first_not_of(blanks);
        if (first != std::string::npos)
            listed.push_back(line.substr(first, line.find_last_not_of(blanks) + 1 - first));
        at = end + 1;
    }
    return 0;
}

// Reports why the run cannot go on; returns the exit status. With --format
// blame-ignore-revs standard output holds the list only, so the reason goes
// to standard error.
int stop(const RunSettings &settings, const std::string &error)
{
    if (settings.format == ReportFormat::BlameIgnoreRevs) {
        std::fprintf(stderr, "Matchling==>  %s \n", error.c_str());
        return kExitTrouble;
    }
    consoleMessage("Matchling==>  %s \n", error.c_str());
    consoleMessage("Matchling==>  Program will abort \n");
    pause();
    return settings.verdictStatus ? kExitTrouble : kExitFailed;
}

} // namespace

int historyRun(const Request &request)
{
    const RunSettings &settings = request.settings;
    const bool verify = !request.ignoreRevs.empty();

    // 1. The commits: the range's, or the lines of the list.
    std::vector<GitCommit> commits;
    std::vector<std::string> listed;
    std::string error;
    if (verify ? readListed(request.ignoreRevs, listed, error) : walkRange(request.revision, commits, error))
        return stop(settings, error);

    // 2. Each commit judged in turn, its pairs on every core; a listed line
    // that names no commit is reported as such.
    Judged judged;
    const std::size_t count = verify ? listed.size() : commits.size();
    for (std::size_t i = 0; i < count; ++i) {
        GitCommit commit;
        if (verify) {
            const int found = walkCommit(listed[i], commit, error);
            if (found == 2)
                return stop(settings, error);
            if (found == 1) {
                ++judged.notCommits;
                if (settings.format != ReportFormat::BlameIgnoreRevs)
                    consoleMessage("Matchling==> Not a commit: %s \n", listed[i].c_str());
                continue;
            }
        } else {
            commit = commits[i];
        }
        long long changed = 0;
        if (judge(commit, settings, changed, error) != 0)
            return stop(settings, error);
        report(commit, changed, !verify, settings, judged);
    }

    // 3. The summary and the verdict, or for git blame's list nothing more.
    const bool allLayout = judged.changesCode == 0 && judged.notCommits == 0;
    if (settings.format == ReportFormat::BlameIgnoreRevs)
        return allLayout ? kExitSame : kExitDifferent;
    if (verify)
        consoleMessage("Matchling==> %lld listed commits judged: %lld layout only, %lld changing code, "
                       "%lld not commits \n",
                       judged.layoutOnly + judged.changesCode, judged.layoutOnly, judged.changesCode, judged.notCommits);
    else
        consoleMessage("Matchling==> %lld commits judged: %lld layout only, %lld changing code \n",
                       judged.layoutOnly + judged.changesCode, judged.layoutOnly, judged.changesCode);
    consoleMessage("\n");
    if (allLayout) {
        consoleMessage("Matchling==>  Files compare equivalent \n");
    } else {
        consoleMessage("Matchling==>  Validation test failed \n");
        consoleMessage("Matchling==>  Files are not equivalent \n");
    }
    pause();
    if (settings.verdictStatus)
        return allLayout ? kExitSame : kExitDifferent;
    return kExitCompared;
}
