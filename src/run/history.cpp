// The history runs: the commits of a range, or those a .git-blame-ignore-revs
// file lists. One git lists what every commit changed, the pairs of all the
// commits are compared on the workers as --git REV compares them, and each
// commit is reported as a whole, one line (or JSON object) per commit, in
// the order of the commits whatever the order the workers finish in.
#include "run/history.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/files.h"
#include "console/console.h"
#include "console/keyboard.h"
#include "console/progress.h"
#include "report/report.h"
#include "run/run_state.h"
#include "run/sweep.h"
#include "walk/exclude.h"
#include "walk/walk.h"

namespace {

constexpr std::size_t kListChunk = 65536;          // bytes read at a time from a list of commits
constexpr std::size_t kShownFiles = 3;             // files a "Changes code" line names
constexpr std::size_t kCommitsAheadPerWorker = 8;  // commits listed per worker before their turn to print
constexpr std::size_t kPairsAheadPerWorker = 256;  // pairs of those, per worker, past which no other commit is listed

// One commit of the run with its pairs, or a line of a list that names none.
struct Item {
    const GitCommit *commit = nullptr;    // null for a listed line that names no commit
    const std::string *listed = nullptr;  // that line
    const std::string *note = nullptr;    // why it names no commit, when it abbreviates an id; else empty
    WalkList list;                        // what the commit changed
    bool empty = false;                   // it changed nothing: no file, before any was excluded
    std::vector<FileFacts> files;         // each entry's facts, in list order
    std::vector<std::string> reasons;     // each Failed entry's reason, and a Different one's of two kinds,
                                          // which files[i].reason points into
    std::size_t left = 0;                 // entries not yet compared
};

// A pair waiting for a worker: an item's entry.
struct Job {
    Item *item;
    std::size_t entry;
};

// Everything the lister, the workers and the printer share.
struct History {
    SweepSettings sweep;                // how each pair is compared
    std::mutex mutex;                   // guards everything below but the counters
    std::condition_variable work;       // jobs are waiting, or the listing has ended
    std::condition_variable done;       // an item was listed or completed, or the listing has ended
    std::condition_variable room;       // the printer took an item, so the lister may go on
    std::deque<Item> items;             // listed and not yet printed, in order
    std::deque<Job> jobs;               // pairs not yet taken by a worker
    std::size_t held = 0;               // entries of the items held
    bool ended = false;                 // the lister lists nothing more
    std::string error;                  // why the listing stopped early; empty when it did not
    std::size_t commitsAhead = 0;       // items the lister may hold
    std::size_t pairsAhead = 0;         // entries past which the lister holds no more items
    std::atomic<long long> printed{0};  // items printed, for the progress line
    const std::vector<std::string> *tops = nullptr;  // the paths after "--" from the top; empty for every file
    const ExcludeList *excludes = nullptr;  // the files --exclude leaves out
    long long excluded = 0;                 // how many it left out, each file each commit changed; the lister's
};

// What is judged, in order: the commits of a range, or the lines of a list,
// each naming one of commits or none.
struct Sequence {
    std::vector<GitCommit> commits;
    std::vector<std::string> listed;  // a list's lines; empty for a range
    std::vector<long> found;          // for each line, its commit's index in commits, or -1
    std::vector<std::string> notes;   // for each line that names no commit, why when it abbreviates an id
    std::size_t size() const { return listed.empty() ? commits.size() : listed.size(); }
};

// Lists the items of seq into h as the printer makes room for them, and
// their pairs as jobs; with paths after "--", only the commits that changed
// a file under them, and of each only those files. Ends the listing, with
// h.error set when it failed.
void listItems(History &h, const Sequence &seq, ChangeLister *lister)
{
    std::string error;
    for (std::size_t i = 0; i < seq.size() && error.empty(); ++i) {
        {
            std::unique_lock<std::mutex> lock(h.mutex);
            h.room.wait(lock, [&] {
                return h.items.empty() || (h.items.size() < h.commitsAhead && h.held < h.pairsAhead);
            });
        }
        Item item;
        const long k = seq.listed.empty() ? static_cast<long>(i) : seq.found[i];
        if (k >= 0) {
            item.commit = &seq.commits[static_cast<std::size_t>(k)];
            if (changeListNext(*lister, item.list, error) != 0)
                break;
            item.empty = item.list.entries.empty();
            if (!h.tops->empty()) {
                keepPathsUnder(*h.tops, item.list);
                if (item.list.entries.empty())
                    continue;
            }
            h.excluded += excludeEntries(item.list.entries, *h.excludes);
        } else {
            item.listed = &seq.listed[i];
            item.note = &seq.notes[i];
        }
        const std::size_t n = item.list.entries.size();
        item.files.resize(n);
        item.reasons.resize(n);
        item.left = n;
        std::lock_guard<std::mutex> lock(h.mutex);
        h.items.push_back(std::move(item));
        for (std::size_t e = 0; e < n; ++e)
            h.jobs.push_back(Job{&h.items.back(), e});
        h.held += n;
        if (n > 0)
            h.work.notify_all();
        h.done.notify_one();
    }
    std::lock_guard<std::mutex> lock(h.mutex);
    h.error = error;
    h.ended = true;
    h.work.notify_all();
    h.done.notify_one();
}

// The facts of entry's result into file, and of a Failed one's reason (or a
// Different one's of two kinds) into reason.
void takeFacts(const WalkEntry &entry, const PairResult &result, bool tokens, FileFacts &file, std::string &reason)
{
    file.path = entry.path.c_str();
    file.renamed = entry.renamed;
    file.status = pairStatus(entry.kind, result.outcome);
    file.language = tokens ? languageName(result.language) : nullptr;
    if (file.status == PairStatus::Failed || (file.status == PairStatus::NotEquivalent && !result.reason.empty())) {
        reason = result.reason;
        file.reason = reason.c_str();
    }
    file.byTokens = result.difference.byTokens;
    file.line = result.difference.lines[1];
    file.column = result.difference.columns[1];
}

// One worker: compares the jobs as they come, each as --git REV compares
// its pairs, until the listing has ended and no job is left.
void compareJobs(History &h)
{
    Worker worker;
    worker.run = newRunState(*h.sweep.settings);
    PairResult result;
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(h.mutex);
            h.work.wait(lock, [&] { return !h.jobs.empty() || h.ended; });
            if (h.jobs.empty())
                break;
            job = h.jobs.front();
            h.jobs.pop_front();
        }
        const WalkEntry &entry = job.item->list.entries[job.entry];
        comparePair(worker, entry, h.sweep, result);
        takeFacts(entry, result, h.sweep.settings->tokens, job.item->files[job.entry], job.item->reasons[job.entry]);
        spoolDrop(result.output);
        spoolDrop(result.allowedLines);
        spoolDrop(result.listings[0]);
        spoolDrop(result.listings[1]);
        result = PairResult();
        std::lock_guard<std::mutex> lock(h.mutex);
        if (--job.item->left == 0)
            h.done.notify_one();
    }
    for (std::unique_ptr<ObjectReader> &reader : worker.objects)
        objectReaderStop(reader);
}

// Writes the progress line of a run over total commits, printed of them
// reported, when it is due.
void showProgress(ProgressLine &p, long long printed, std::size_t total)
{
    double seconds = 0;
    if (!progressDue(p, seconds))
        return;
    char text[128];
    std::snprintf(text, sizeof text, "Matchling==>  %lld of %lld commits, %.1f commits/s", printed,
                  static_cast<long long>(total), static_cast<double>(printed) / seconds);
    progressShow(p, text);
}

bool writesFindings(ReportFormat format)
{
    return format == ReportFormat::Sarif || format == ReportFormat::Github || format == ReportFormat::Gnu;
}

// The findings of a run in --format sarif, github or gnu.
struct Findings {
    bool on = false;       // the run writes findings
    ReportWriter writer;
    std::string prefix;    // github and gnu: the current directory from the top, which places are reckoned from
};

// Counts item and reports it in the format of settings: with
// blame-ignore-revs, a layout-only commit as git blame's list takes it (an
// empty one changes no line, so it is left out); in JSON, its object; as
// text, a line for a commit that changed code (with --where followed by one
// line per file), for a listed line that names no commit, and with listAll
// one for every commit.
void report(const Item &item, bool listAll, const RunSettings &settings, Findings &findings, CommitCounts &counts)
{
    std::string out;
    if (!item.commit) {
        ++counts.notCommits;
        if (findings.on) {
            reportLineFinding(findings.writer,
                              "Not a commit: " + *item.listed + (item.note->empty() ? "" : " (" + *item.note + ")"), out);
            consoleRecord(out.data(), out.size());
        } else if (settings.format == ReportFormat::Json) {
            reportNotCommit(*item.listed, *item.note, out);
            consoleRecord(out.data(), out.size());
        } else if (settings.format != ReportFormat::BlameIgnoreRevs && item.note->empty()) {
            consoleMessage("Matchling==> Not a commit: %s \n", item.listed->c_str());
        } else if (settings.format != ReportFormat::BlameIgnoreRevs) {
            consoleMessage("Matchling==> Not a commit: %s (%s) \n", item.listed->c_str(), item.note->c_str());
        }
        return;
    }
    const GitCommit &commit = *item.commit;
    CommitFacts facts;
    facts.id = commit.id.c_str();
    facts.shortId = commit.shortId.c_str();
    facts.subject = commit.subject.c_str();
    facts.files = item.files.data();
    facts.fileCount = item.files.size();
    facts.empty = item.empty;
    const bool changes = commitChangesCode(facts);
    ++(changes ? counts.changesCode : item.empty ? counts.empty : counts.layoutOnly);
    if (findings.on) {
        for (const FileFacts &f : item.files) {
            if (!changesCode(f))
                continue;
            std::string place = f.path;
            const std::size_t arrow = f.renamed ? place.find(" -> ") : std::string::npos;
            if (arrow != std::string::npos)
                place.erase(0, arrow + 4);
            if (!findings.prefix.empty())
                place = pathFromPrefix(findings.prefix, place);
            reportCommitFinding(findings.writer, facts, f, place.c_str(), out);
        }
        consoleRecord(out.data(), out.size());
    } else if (settings.format == ReportFormat::Json) {
        reportCommit(facts, out);
        consoleRecord(out.data(), out.size());
    } else if (settings.format == ReportFormat::BlameIgnoreRevs) {
        if (!changes && !item.empty)
            consoleMessage("# %s\n%s\n", commit.subject.c_str(), commit.id.c_str());
    } else if (changes) {
        consoleMessage("Matchling==> Changes code: %s %s (%s) \n", commit.shortId.c_str(), commit.subject.c_str(),
                       changedFiles(facts, kShownFiles).c_str());
        for (std::size_t i = 0; settings.showWhere && i < item.files.size(); ++i)
            if (changesCode(item.files[i]))
                consoleMessage("Matchling==> Changed in %s: %s %s \n", commit.shortId.c_str(), item.files[i].path,
                               changeReason(item.files[i]).c_str());
    } else if (listAll) {
        consoleMessage("Matchling==> %s: %s %s \n", item.empty ? "Empty" : "Layout only", commit.shortId.c_str(),
                       commit.subject.c_str());
    }
}

// Judges every item of seq, listing what the commits changed through
// lister, of the files under tops less those excludes leaves out, and
// reports each in order.
// Returns the counts, with error set when the listing stopped early (the
// items before it reported).
CommitCounts judgeAll(const Sequence &seq, ChangeLister *lister, const std::vector<std::string> &tops,
                      const ExcludeList &excludes, const RunSettings &settings, bool listAll, std::string &error)
{
    // The pairs compared as --git REV compares them; a report for programs
    // keeps the facts of each difference, which the reasons name.
    RunSettings pairSettings = settings;
    pairSettings.format = ReportFormat::Json;
    History h;
    h.sweep.settings = &pairSettings;
    h.tops = &tops;
    h.excludes = &excludes;
    const int jobs = sweepJobs(settings);
    h.commitsAhead = kCommitsAheadPerWorker * static_cast<std::size_t>(jobs);
    h.pairsAhead = kPairsAheadPerWorker * static_cast<std::size_t>(jobs);
    std::thread listing(listItems, std::ref(h), std::cref(seq), lister);
    std::vector<std::thread> workers;
    for (int k = 0; k < jobs; ++k)
        workers.emplace_back(compareJobs, std::ref(h));

    ProgressLine progress;
    progress.terminal = settings.format == ReportFormat::Text && errorIsTerminal();
    CommitCounts counts;
    Findings findings;
    findings.on = writesFindings(settings.format);
    findings.writer.format = settings.format;
    std::string ignored;
    if (settings.format == ReportFormat::Github || settings.format == ReportFormat::Gnu)
        gitPrefix(findings.prefix, ignored);
    for (;;) {
        Item item;
        {
            std::unique_lock<std::mutex> lock(h.mutex);
            while (!(h.items.empty() ? h.ended : h.items.front().left == 0)) {
                h.done.wait_for(lock, kProgressEvery);
                showProgress(progress, h.printed, seq.size());
            }
            if (h.items.empty())
                break;
            item = std::move(h.items.front());
            h.items.pop_front();
            h.held -= item.list.entries.size();
            h.room.notify_one();
        }
        progressClear(progress);
        report(item, listAll, settings, findings, counts);
        ++h.printed;
        showProgress(progress, h.printed, seq.size());
    }
    progressClear(progress);
    listing.join();
    for (std::thread &w : workers)
        w.join();
    error = h.error;
    // The findings' report ends, or tells why it stopped early.
    if (findings.on) {
        std::string out;
        if (error.empty())
            reportEnd(findings.writer, ReportCounts(), out);
        else
            reportStopped(findings.writer, error, out);
        consoleRecord(out.data(), out.size());
    }
    if (!excludes.patterns.empty())
        counts.excluded = h.excluded;
    return counts;
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
// to standard error; in JSON it is the error object.
int stop(const RunSettings &settings, const std::string &error)
{
    if (settings.format == ReportFormat::BlameIgnoreRevs) {
        std::fprintf(stderr, "Matchling==>  %s \n", error.c_str());
        return settings.verdictStatus ? kExitTrouble : kExitFailed;
    }
    if (settings.format != ReportFormat::Text)
        return stoppedReport(settings.format, error);
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

    // 1. The commits: the range's, or those the lines of the list name.
    Sequence seq;
    std::string error;
    if (verify ? readListed(request.ignoreRevs, seq.listed, error) || walkListed(seq.listed, seq.commits, seq.found, seq.notes, error)
               : walkRange(request.revision, seq.commits, error))
        return stop(settings, error);

    // 2. What each commit changed, listed for all of them at once, and its
    // pairs judged on every core; a listed line that names no commit is
    // reported as such.
    std::vector<GitCommit> named;  // a list's commits, in the order of its lines
    for (std::size_t i = 0; verify && i < seq.size(); ++i)
        if (seq.found[i] >= 0)
            named.push_back(seq.commits[static_cast<std::size_t>(seq.found[i])]);
    const std::vector<GitCommit> &listedCommits = verify ? named : seq.commits;
    std::unique_ptr<ChangeLister> lister;
    if (!listedCommits.empty() && !(lister = changeListerStart(listedCommits, error)))
        return stop(settings, error);
    const ExcludeList excludes = excludeList(request.excludes);
    std::vector<std::string> tops;
    if (gitPathTops(request.paths, tops, error) != 0)
        return stop(settings, error);
    const CommitCounts judged = judgeAll(seq, lister.get(), tops, excludes, settings, !verify, error);
    lister.reset();
    if (!error.empty() && writesFindings(settings.format))
        return kExitTrouble;  // the report told why already
    if (!error.empty())
        return stop(settings, error);

    // 3. The summary and the verdict, or for git blame's list nothing more:
    // the list is the run's content, and its status says the run went well.
    const bool allLayout = judged.changesCode == 0 && judged.notCommits == 0;
    if (settings.format == ReportFormat::BlameIgnoreRevs)
        return verdictExit(allLayout, settings.verdictStatus);
    if (settings.format == ReportFormat::Json) {
        std::string out;
        reportCommitsEnd(judged, out);
        consoleRecord(out.data(), out.size());
        return allLayout ? kExitSame : kExitDifferent;
    }
    if (settings.format != ReportFormat::Text)
        return allLayout ? kExitSame : kExitDifferent;
    reportExcluded(judged.excluded, unmatchedPatterns(excludes));
    const long long all = judged.layoutOnly + judged.changesCode + judged.empty;
    const std::string empty = judged.empty > 0 ? ", " + std::to_string(judged.empty) + " empty" : "";
    if (verify)
        consoleMessage("Matchling==> %lld listed %s judged: %lld layout only, %lld changing code%s, %lld %s \n", all,
                       plural(all, "commit", "commits"), judged.layoutOnly, judged.changesCode, empty.c_str(),
                       judged.notCommits, plural(judged.notCommits, "not a commit", "not commits"));
    else
        consoleMessage("Matchling==> %lld %s judged: %lld layout only, %lld changing code%s \n", all,
                       plural(all, "commit", "commits"), judged.layoutOnly, judged.changesCode, empty.c_str());
    announceVerdict(allLayout);
    return verdictExit(allLayout, settings.verdictStatus);
}
