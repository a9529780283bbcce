// The runs over trees and commits: the list of pairs, the workers that
// compare them, and the reports, in the order of the list whatever the order
// the workers finish in.
#include "run/sweep.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "console/console.h"
#include "console/keyboard.h"
#include "console/progress.h"
#include "languages/languages.h"
#include "walk/batch.h"
#include "walk/exclude.h"

namespace {

// Why a formatter run left out a file of language: Unknown for one of a
// kind without token rules.
const char *leftReason(Language language)
{
    return language == Language::Unknown ? kNoRulesReason : "not given to the formatter";
}

constexpr int kAheadPerWorker = 8;  // results a worker may hold before their turn to print

// Everything the workers and the printer share.
struct Sweep {
    Sweep(const WalkList &l, const SweepSettings &s) : list(l), settings(s) {}
    const WalkList &list;
    SweepSettings settings;
    std::vector<PairResult> results;
    std::atomic<std::size_t> next{0};   // the next entry a worker takes
    std::mutex mutex;                   // guards printed, waiting and every result's done
    std::condition_variable ready;      // the result the printer waits for is done
    std::condition_variable room;       // results were printed, so workers may go on
    std::size_t printed = 0;            // entries printed so far
    int waiting = 0;                    // workers waiting for room
    std::size_t ahead = 0;              // how far past printed a worker may go
    std::atomic<long long> bytes{0};    // bytes of the pairs compared so far
};

void work(Sweep &sweep)
{
    Worker worker;
    worker.run = newRunState(*sweep.settings.settings);
    for (;;) {
        const std::size_t i = sweep.next++;
        if (i >= sweep.results.size())
            break;
        {
            // Results wait in memory for their turn: keep them few. The
            // printer sleeps until a worker needs room or ends, so wake it.
            std::unique_lock<std::mutex> lock(sweep.mutex);
            if (i >= sweep.printed + sweep.ahead) {
                ++sweep.waiting;
                sweep.ready.notify_one();
                sweep.room.wait(lock, [&] { return i < sweep.printed + sweep.ahead; });
                --sweep.waiting;
            }
        }
        PairResult &result = sweep.results[i];
        comparePair(worker, sweep.list.entries[i], sweep.settings, result);
        sweep.bytes += result.bytes;
        bool awaited;
        {
            std::lock_guard<std::mutex> lock(sweep.mutex);
            result.done = true;
            awaited = i == sweep.printed && sweep.waiting > 0;
        }
        // Each wake-up costs the workers' cores a switch: the printer is
        // woken only for the result it waits for while a worker needs room,
        // when a worker needs room, and when a worker ends.
        if (awaited)
            sweep.ready.notify_one();
    }
    {
        std::lock_guard<std::mutex> lock(sweep.mutex);
        sweep.ready.notify_one();
    }
    for (std::unique_ptr<ObjectReader> &reader : worker.objects)
        objectReaderStop(reader);
}

// Writes the progress line of sweep, when it is due.
void showProgress(ProgressLine &p, const Sweep &sweep)
{
    double seconds = 0;
    if (!progressDue(p, seconds))
        return;
    char text[128];
    std::snprintf(text, sizeof text, "Matchling==>  %lld of %lld files, %.1f MB/s",
                  static_cast<long long>(sweep.printed), static_cast<long long>(sweep.results.size()),
                  static_cast<double>(sweep.bytes) / 1e6 / seconds);
    progressShow(p, text);
}

// The reason a failed file is shown with. A formatter's message ("formatter
// exit status 1: error: ...") is shown once: a later file that failed with
// the same text names the first instead. first holds the texts shown, up to
// a bound.
std::string shownReason(const std::string &reason, const std::string &path, std::map<std::string, std::string> &first)
{
    constexpr std::size_t kMostMessages = 4096;
    const std::size_t colon = reason.find(": ");
    if (reason.compare(0, 10, "formatter ") != 0 || colon == std::string::npos)
        return reason;
    const auto known = first.find(reason);
    if (known != first.end())
        return reason.substr(0, colon) + ", as for " + known->second;
    if (first.size() < kMostMessages)
        first.emplace(reason, path);
    return reason;
}

// Prints one entry's lines and counts it; messages holds the formatter
// messages shown so far (shownReason).
void printResult(const WalkList &list, const WalkEntry &entry, PairResult &result, Tally &tally,
                 std::map<std::string, std::string> &messages)
{
    spoolCopy(result.listings[0]);
    spoolCopy(result.listings[1]);
    bool allowed = false;
    for (int k = 0; k < kRewriteKinds; ++k) {
        tally.allowed[k] += result.allowed[k];
        allowed = allowed || result.allowed[k] > 0;
    }
    if (allowed) {
        std::string counts;
        allowedList(result.allowed, counts);
        consoleMessage("Matchling==> Allowed rewrites in %s: %s \n", entry.path.c_str(), counts.c_str());
    }
    spoolCopy(result.allowedLines);
    tallyPair(tally, result.outcome, result.language);
    switch (result.outcome) {
    case PairOutcome::Different:
        if (result.reason.empty())
            consoleMessage("Matchling==> Not equivalent: %s \n", entry.path.c_str());
        else
            consoleMessage("Matchling==> Not equivalent: %s (%s) \n", entry.path.c_str(), result.reason.c_str());
        spoolCopy(result.output);
        break;
    case PairOutcome::Failed:
        consoleMessage("Matchling==> Unable to compare: %s (%s) \n", entry.path.c_str(),
                       shownReason(result.reason, entry.path, messages).c_str());
        break;
    case PairOutcome::OnlyOne:
        consoleMessage("Matchling==> Only in %s: %s \n",
                       list.sideNames[entry.kind == EntryKind::OnlyFirst ? 0 : 1].c_str(), entry.path.c_str());
        break;
    case PairOutcome::NotCompared:
        consoleMessage("Matchling==> Not compared: %s (%s) \n", entry.path.c_str(),
                       result.reason.empty() ? kNoRulesReason : result.reason.c_str());
        break;
    case PairOutcome::Equivalent:
    case PairOutcome::Unchanged:
        break;
    }
}

// How many of the pairs compared each language had, in table order, those
// without token rules last.
std::vector<std::pair<std::string, long long>> languageCounts(const Tally &t)
{
    std::vector<std::pair<std::string, long long>> counts;
    for (std::size_t r = 0; r < kLanguageRowCount; ++r) {
        const std::size_t k = languageIndex(kLanguageRows[r].language);
        if (t.byLanguage[k] == 0 || (r > 0 && k == languageIndex(kLanguageRows[r - 1].language)))
            continue;
        counts.emplace_back(kLanguageRows[r].name, t.byLanguage[k]);
    }
    if (t.byLanguage[kLanguageNames] > 0)
        counts.emplace_back("other", t.byLanguage[kLanguageNames]);
    return counts;
}

// Prints how many of the pairs compared each language had.
void printLanguages(const Tally &t)
{
    std::string counts;
    for (const auto &c : languageCounts(t))
        counts += (counts.empty() ? "" : ", ") + c.first + " " + std::to_string(c.second);
    consoleMessage("Matchling==> Pairs by language: %s \n", counts.empty() ? "none" : counts.c_str());
}

// Writes one entry's facts in the format of settings (not Text).
void reportResult(ReportWriter &writer, const WalkList &list, const WalkEntry &entry, const PairResult &result,
                  const RunSettings &settings, const std::string &placePrefix)
{
    const int here = entry.kind == EntryKind::OnlyFirst ? 0 : 1;  // the side that holds the file
    if (result.outcome == PairOutcome::Unchanged)
        return;  // no change at all: not a pair of the run
    PairFacts p;
    p.status = pairStatus(entry.kind, result.outcome);
    if (result.outcome == PairOutcome::OnlyOne)
        p.onlyIn = list.sideNames[here].c_str();
    p.path = entry.path.c_str();
    for (int f = 0; f < 2; ++f)
        if (!entry.sides[f].name.empty() && (result.outcome != PairOutcome::OnlyOne || f == here))
            p.names[f] = entry.sides[f].name.c_str();
    std::string place = sidePath(entry.sides[here]);
    if (place.empty())
        place = entry.path;
    if (!placePrefix.empty())
        place = pathFromPrefix(placePrefix, place);
    p.place = place.c_str();
    if (result.outcome == PairOutcome::Failed || (result.outcome == PairOutcome::Different && !result.reason.empty()))
        p.reason = result.reason.c_str();
    else if (result.outcome == PairOutcome::NotCompared)
        p.reason = result.reason.empty() ? kNoRulesReason : result.reason.c_str();
    p.language = settings.tokens ? languageName(result.language) : nullptr;
    p.difference = result.outcome == PairOutcome::Different && p.reason && !result.hint ? nullptr : &result.difference;
    p.counted = countedRewrites(settings);
    if (p.counted && (result.outcome == PairOutcome::Equivalent || result.outcome == PairOutcome::Different))
        p.allowed = result.allowed;
    std::string out;
    reportPair(writer, p, out);
    if (!out.empty())
        consoleRecord(out.data(), out.size());
}

bool printsSomething(const PairResult &result)
{
    bool allowed = false;
    for (std::uint64_t n : result.allowed)
        allowed = allowed || n > 0;
    return (result.outcome != PairOutcome::Equivalent && result.outcome != PairOutcome::Unchanged) ||
           !result.listings[0].text.empty() || !result.listings[1].text.empty() || allowed;
}

// Prints the results in list order as they are done, each also in writer's
// format unless that is Text; returns the tally.
Tally printInOrder(Sweep &sweep, ReportWriter &writer)
{
    Tally tally;
    std::map<std::string, std::string> messages;
    ProgressLine progress;
    const RunSettings &settings = *sweep.settings.settings;
    progress.terminal = settings.format == ReportFormat::Text && errorIsTerminal();
    for (std::size_t i = 0; i < sweep.results.size(); ++i) {
        PairResult &result = sweep.results[i];
        {
            std::unique_lock<std::mutex> lock(sweep.mutex);
            while (!result.done) {
                sweep.ready.wait_for(lock, kProgressEvery);
                showProgress(progress, sweep);
            }
        }
        if (printsSomething(result))
            progressClear(progress);
        printResult(sweep.list, sweep.list.entries[i], result, tally, messages);
        if (settings.format != ReportFormat::Text)
            reportResult(writer, sweep.list, sweep.list.entries[i], result, settings, sweep.settings.placePrefix);
        result = PairResult();
        bool blocked;
        {
            std::lock_guard<std::mutex> lock(sweep.mutex);
            sweep.printed = i + 1;
            blocked = sweep.waiting > 0;
        }
        if (blocked)
            sweep.room.notify_all();
    }
    progressClear(progress);
    return tally;
}

// Compares every entry of list on the workers and prints the reports, the
// summary and the verdict; returns the exit status.
int sweepList(const WalkList &list, const SweepSettings &settings)
{
    Sweep sweep{list, settings};
    sweep.results.resize(list.entries.size());
    const int jobs = sweepJobs(*settings.settings);
    sweep.ahead = static_cast<std::size_t>(jobs) * kAheadPerWorker;
    std::vector<std::thread> workers;
    const int started = static_cast<std::size_t>(jobs) < list.entries.size() ? jobs : static_cast<int>(list.entries.size());
    // For programs the text report goes nowhere: only the format is written.
    const bool text = settings.settings->format == ReportFormat::Text;
    Spool unread;
    unread.headOnly = true;
    if (!text)
        consoleTo(&unread);
    ReportWriter writer;
    writer.format = settings.settings->format;
    std::string out;
    if (!text) {
        reportBegin(writer, out);
        consoleRecord(out.data(), out.size());
    }
    for (int k = 0; k < started; ++k)
        workers.emplace_back(work, std::ref(sweep));
    const Tally t = printInOrder(sweep, writer);
    for (std::thread &w : workers)
        w.join();
    if (settings.compared)
        settings.compared();
    if (!text) {
        ReportCounts counts;
        counts.equivalent = t.equivalent;
        counts.different = t.different;
        counts.failed = t.failed;
        counts.notCompared = t.notCompared;
        counts.onlyOne = t.onlyOne;
        counts.excluded = settings.excluded;
        counts.byLanguage = settings.settings->tokens;
        counts.languages = languageCounts(t);
        counts.counted = countedRewrites(*settings.settings);
        for (int k = 0; k < kRewriteKinds; ++k)
            counts.allowed[k] = t.allowed[k];
        out.clear();
        for (std::size_t k = 0; writer.format == ReportFormat::Json && settings.left && k < settings.left->size(); ++k)
            reportLeftOut((*settings.left)[k].path, leftReason((*settings.left)[k].language),
                          languageName((*settings.left)[k].language), out);
        reportEnd(writer, counts, out);
        consoleRecord(out.data(), out.size());
    }

    for (std::size_t k = 0; text && settings.left && k < settings.left->size(); ++k) {
        const LeftOut::File &f = (*settings.left)[k];
        consoleMessage("Matchling==> Left out: %s (%s%s%s) \n", f.path.c_str(), leftReason(f.language),
                       f.language == Language::Unknown ? "" : ": ", f.language == Language::Unknown ? "" : languageName(f.language));
    }
    if (settings.skipped > 0)
        consoleMessage("Matchling==> %lld %s skipped (no token rules for %s kind) \n", settings.skipped,
                       plural(settings.skipped, "file", "files"), plural(settings.skipped, "its", "their"));
    if (settings.notGiven > 0)
        consoleMessage("Matchling==> %lld %s not given to the formatter (of other languages) \n", settings.notGiven,
                       plural(settings.notGiven, "file", "files"));
    reportExcluded(settings.excluded, settings.unmatched);
    for (const std::string &note : settings.notes)
        consoleMessage("Matchling==> %s \n", note.c_str());
    if (settings.settings->tokens)
        printLanguages(t);
    bool used[kLanguageNames + 1];
    for (std::size_t k = 0; k <= kLanguageNames; ++k)
        used[k] = t.byLanguage[k] > 0;
    reportImportsWithoutEffect(*settings.settings, used);
    if (countedRewrites(*settings.settings) != 0) {
        std::string counts;
        allowedList(t.allowed, counts);
        consoleMessage("Matchling==> Allowed rewrites: %s \n", counts.c_str());
    }
    const long long pairs = t.equivalent + t.different + t.failed;
    consoleMessage("Matchling==> %lld %s compared: %lld equivalent, %lld not equivalent, %lld failed, "
                   "%lld only on one side \n",
                   pairs, plural(pairs, "pair", "pairs"), t.equivalent, t.different, t.failed, t.onlyOne);
    const bool allEquivalent = tallyEquivalent(t);
    announceVerdict(allEquivalent);
    consoleTo(nullptr);
    return verdictExit(allEquivalent, settings.settings->verdictStatus);
}

} // namespace

void tallyPair(Tally &t, PairOutcome outcome, Language language)
{
    switch (outcome) {
    case PairOutcome::Equivalent: ++t.equivalent; break;
    case PairOutcome::Different: ++t.different; break;
    case PairOutcome::Failed: ++t.failed; break;
    case PairOutcome::OnlyOne: ++t.onlyOne; return;
    case PairOutcome::NotCompared:
        ++t.failed;
        ++t.notCompared;
        break;
    case PairOutcome::Unchanged: return;
    }
    ++t.byLanguage[languageIndex(language)];
}

bool tallyEquivalent(const Tally &t)
{
    return t.different == 0 && t.failed == 0 && t.onlyOne == 0;
}

PairStatus pairStatus(EntryKind kind, PairOutcome outcome)
{
    switch (outcome) {
    case PairOutcome::Equivalent:
    case PairOutcome::Unchanged: return PairStatus::Equivalent;
    case PairOutcome::Different: return PairStatus::NotEquivalent;
    case PairOutcome::Failed: return PairStatus::Failed;
    case PairOutcome::NotCompared: return PairStatus::NotCompared;
    case PairOutcome::OnlyOne: break;
    }
    return kind == EntryKind::OnlyFirst ? PairStatus::OnlyIn1 : PairStatus::OnlyIn2;
}

void reportExcluded(long long excluded, const std::string &unmatched)
{
    if (excluded > 0)
        consoleMessage("Matchling==> %lld %s excluded \n", excluded, plural(excluded, "file", "files"));
    if (!unmatched.empty())
        consoleMessage("Matchling==> --exclude left out nothing: %s \n", unmatched.c_str());
}

int sweepJobs(const RunSettings &settings)
{
    if (settings.jobs > 0)
        return settings.jobs;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? static_cast<int>(cores) : 1;
}

int sweepRun(const Request &request)
{
    // 1. The pairs: the two trees, what the commit changed, or the files of
    // a formatter run, less those --exclude leaves out.
    WalkList list;
    std::string error;
    LeftOut left;
    left.named = request.settings.showWhere || request.settings.format == ReportFormat::Json;
    const ExcludeList excludes = excludeList(request.excludes);
    const ExcludeList includes = excludeList(request.includes);
    const std::string command = request.batch ? std::string() : request.formatter;
    const int failed = !request.formatter.empty()
                           ? walkFormatter(request.paths, command, request.settings.timeout,
                                           request.settings.language == Language::Unknown,
                                           request.settings.givenLanguages != 0 ? request.settings.givenLanguages
                                           : request.includes.empty()            ? formatterLanguages(request.formatter)
                                                                                 : 0,
                                           excludes, includes, list, left, error)
                       : request.git ? walkGit(request.revision, list, error) || gitPathsKept(request.paths, list, error)
                                     : walkTrees(request.names[0], request.names[1], list, error);
    if (request.formatter.empty())
        left.excluded = excludeEntries(list.entries, excludes);
    if (failed && request.settings.format != ReportFormat::Text)
        return stoppedReport(request.settings.format, error);
    if (failed) {
        consoleMessage("Matchling==>  %s \n", error.c_str());
        consoleMessage("Matchling==>  Program will abort \n");
        pause();
        return request.settings.verdictStatus ? kExitTrouble : kExitFailed;
    }

    // 2. A batch run: the copies made and formatted, and removed once
    // they are compared, whatever happens.
    SweepSettings settings;
    std::unique_ptr<BatchTree> batch;
    if (request.batch) {
        batch = batchFormat(request.formatter, request.settings.timeout, list);
        settings.compared = [&batch] { batchRemove(batch); };
        settings.notes = batch ? batch->notes : std::vector<std::string>();
    }

    // 3. Every pair, in parallel, reported in order.
    settings.settings = &request.settings;
    settings.workingTree = request.git && request.revision.empty();
    settings.skipped = request.formatter.empty() ? -1 : left.skipped;
    settings.notGiven = left.notGiven;
    settings.left = left.named ? &left.files : nullptr;
    settings.excluded = excludes.patterns.empty() ? -1 : left.excluded;
    settings.unmatched = unmatchedPatterns(excludes);
    // Editors and GitHub open a finding's file from where the run started.
    const ReportFormat format = request.settings.format;
    std::string ignored;
    if (request.git && (format == ReportFormat::Gnu || format == ReportFormat::Github))
        gitPrefix(settings.placePrefix, ignored);
    const int status = sweepList(list, settings);
    batchRemove(batch);
    return status;
}
