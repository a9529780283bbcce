// One pair of a sweep: its two sides opened, from files or git objects,
// identical bytes taken as they are, and otherwise the two compared as the
// single run compares two files, as they are read, with no temporary file.
#include <cstdio>
#include <cstring>

#include "common/files.h"
#include "console/console.h"
#include "languages/languages.h"
#include "run/sweep.h"
#include "tokens/lexer.h"

namespace {

constexpr std::size_t kSameChunk = 65536;  // bytes compared at a time when looking for identical bytes
constexpr std::size_t kFirstLine = 256;     // bytes of a source read for its "#!" line

// A pair's two sides while it is compared.
struct Sides {
    Worker &worker;
    const WalkEntry &entry;
    SourceStream sources[2];
    std::FILE *formatted[2] = {};  // a side's formatter output, made at its first opening and kept for the pair
};

// Opens side f; returns 0, or 1 with why set.
int openSide(Sides &s, int f, std::string &why)
{
    const SideRef &ref = s.entry.sides[f];
    SourceStream &source = s.sources[f];
    source = SourceStream();
    if (!ref.command.empty()) {
        // The formatter runs once; the reports read its output again.
        if (!s.formatted[f] && formatterOutput(ref, s.formatted[f], why) != 0)
            return 1;
        if (std::fseek(s.formatted[f], 0, SEEK_SET) != 0) {
            why = "unreadable";
            return 1;
        }
        source.stream = s.formatted[f];
        return 0;
    }
    if (ref.object.empty()) {
        source.stream = openRegularFile(ref.file.c_str(), why, source.size);
        return source.stream ? 0 : 1;
    }
    std::unique_ptr<ObjectReader> &reader = s.worker.objects[f];
    if (!reader)
        reader = objectReaderStart();
    if (!reader || objectOpen(*reader, ref.object, source) != 0) {
        why = "unreadable";
        return 1;
    }
    return 0;
}

void closeSide(Sides &s, int f)
{
    SourceStream &source = s.sources[f];
    if (!source.stream)
        return;
    if (!s.entry.sides[f].command.empty()) {
        source.stream = nullptr;  // the formatter's output stays for the pair; comparePair closes it
        return;
    }
    if (s.entry.sides[f].object.empty())
        std::fclose(source.stream);
    else
        objectClose(*s.worker.objects[f], source);
    source.stream = nullptr;
}

// The side's size in bytes, or -1 when not known.
std::int64_t sideSize(const Sides &s, int f)
{
    const SourceStream &source = s.sources[f];
    if (!s.entry.sides[f].object.empty())
        return source.remaining;
    return source.size >= 0 ? source.size : streamSize(source.stream);
}

// Reads both sides to their ends while they hold the same bytes; returns true
// when they are identical. Uses the normalizers' read chunks as work space.
bool identical(Sides &s)
{
    char *chunks[2] = {s.worker.run->normalizers[0].input.chunk, s.worker.run->normalizers[1].input.chunk};
    for (;;) {
        const std::size_t n0 = readSource(s.sources[0], chunks[0], kSameChunk);
        const std::size_t n1 = readSource(s.sources[1], chunks[1], kSameChunk);
        if (n0 != n1 || std::memcmp(chunks[0], chunks[1], n0) != 0)
            return false;
        if (n0 == 0)
            return !s.sources[0].failed && !s.sources[1].failed;
    }
}

// Takes both sides back to their starts: a file by seeking, a git object,
// which comes through a pipe, by asking for it again. Returns 0, or 1 with
// why set.
int rewindSides(Sides &s, std::string &why)
{
    for (int f = 0; f < 2; ++f) {
        SourceStream &source = s.sources[f];
        if (s.entry.sides[f].object.empty() && !source.failed && std::fseek(source.stream, 0, SEEK_SET) == 0)
            continue;
        closeSide(s, f);
        if (openSide(s, f, why) != 0)
            return 1;
    }
    return 0;
}

// The reports read a side again through this.
int reopenForReport(void *self, int side, SourceStream &source)
{
    Sides &s = *static_cast<Sides *>(self);
    std::string why;
    if (openSide(s, side, why) != 0)
        return 1;
    source = s.sources[side];
    return 0;
}

void closeForReport(void *self, int side, SourceStream &source)
{
    // The report has read on from where the side stood: what is left is its own.
    Sides &s = *static_cast<Sides *>(self);
    s.sources[side] = source;
    closeSide(s, side);
}

// The last part of a name, which its class comes from: directory names may
// hold dots of their own.
const char *baseName(const std::string &name)
{
    const std::size_t slash = name.find_last_of("/\\");
    return name.c_str() + (slash == std::string::npos ? 0 : slash + 1);
}

// Compares the two open sides as they are read; returns the verdict, or
// Failed with why set. The difference lines go where this thread reports.
PairOutcome compareOpen(Sides &s, const RunSettings &settings, const Language (&languages)[2], PairResult &result,
                        std::string &why)
{
    RunState &run = *s.worker.run;
    SourceClass sourceClass = SourceClass::CFamily;
    char extension[4];
    for (int f = 0; f < 2; ++f) {
        run.fileNames[f] = s.entry.sides[f].name;
        classifySource(baseName(run.fileNames[f]), sourceClass, extension);
        run.classes[f] = sourceClass;
        run.languages[f] = languages[f];
    }
    const char *const names[2] = {run.fileNames[0].c_str(), run.fileNames[1].c_str()};
    Verdict verdict;
    bool empty = false;  // the line rules compare no empty source; in token mode it is one without tokens
    if (settings.tokens) {
        const LexOptions options = lexOptions(settings);
        TokenState &t = *run.tokens;
        PieceSource pieces[2];
        for (int f = 0; f < 2; ++f) {
            lexerStart(t.lexers[f], languages[f], options, s.sources[f]);
            pieces[f] = settings.allow || settings.listNormalized ? lexerPieces(t.lexers[f])
                                                                  : runPieces(t.runs[f], t.lexers[f]);
            if (settings.allow) {
                rewriterStart(t.rewriters[f], languages[f], settings.allow, lexerSource(t.lexers[f]));
                pieces[f] = rewrittenPieces(t.rewriters[f]);
            }
            if (settings.listNormalized)
                pieces[f] = listedPieces(t.listers[f], pieces[f], result.listings[f]);
        }
        AllowedLines where{&result.allowedLines, names[1]};
        t.comparison.allowedAt = countedRewrites(settings) != 0 && settings.showWhere ? reportAllowedAt : nullptr;
        t.comparison.allowedSelf = &where;
        verdict = compareTokens(t.comparison, pieces);
        t.comparison.allowedAt = nullptr;
        for (int k = 0; k < kRewriteKinds; ++k)
            result.allowed[k] = t.comparison.allowed[k];
    } else {
        TextProducer texts[2];
        for (int f = 0; f < 2; ++f) {
            run.normalizers[f].listing = &result.listings[f];
            normalizerStart(run.normalizers[f], settings, s.sources[f], run.classes[f]);
            texts[f] = normalizedText(run.normalizers[f]);
            empty = empty || !textInputMore(run.normalizers[f].input);
        }
        verdict = empty ? Verdict::Equivalent : compareFiles(run.comparison, texts, names);
    }
    int side = 0;  // a side its lexer refused, not valid as its language or too large for it
    if (s.sources[0].failed || s.sources[1].failed)
        why = "unreadable";
    else if (settings.tokens && rejectedInput(run.tokens->lexers, side, why))
        ;
    else if (empty)
        why = "empty";
    if (!why.empty())
        return PairOutcome::Failed;
    if (verdict == Verdict::Equivalent)
        return PairOutcome::Equivalent;
    // The reports read the sides again from their starts.
    closeSide(s, 0);
    closeSide(s, 1);
    const Reopener again{&s, reopenForReport, closeForReport};
    if (settings.tokens)
        spellDifference(run.tokens->comparison, respelling(run, settings), again);
    // A report for programs takes the facts; the text lines would go unread.
    if (settings.format != ReportFormat::Text && settings.tokens) {
        tokenDifference(run.tokens->comparison, result.difference);
        return PairOutcome::Different;
    }
    if (settings.format != ReportFormat::Text) {
        blockDifference(run.comparison, result.difference);
        differenceLines(run, settings, again, result.difference.lines);
        return PairOutcome::Different;
    }
    if (settings.tokens)
        reportTokenDifference(run.tokens->comparison, names, again);
    else if (settings.showWhere)
        reportWhere(run, settings, again);
    return PairOutcome::Different;
}

// The language of each side of entry: --language's, else its own name's,
// else the other side's name's; Unknown for both when no name places them.
void pairLanguages(const WalkEntry &entry, const RunSettings &settings, Language (&languages)[2])
{
    for (int f = 0; f < 2; ++f) {
        const std::string path = sidePath(entry.sides[f]);
        languages[f] = settings.language != Language::Unknown ? settings.language
                       : path.empty()                          ? Language::Unknown
                                                               : languageOfName(path.c_str());
    }
    for (int f = 0; f < 2; ++f)
        if (languages[f] == Language::Unknown)
            languages[f] = languages[1 - f];
}

// For sides whose names have no ending, the language a "#!" first line
// names, side 1's first; the sides are taken back to their starts. Returns 0,
// or 1 with why set.
int languageOfFirstLines(Sides &s, Language (&languages)[2], std::string &why)
{
    for (int f = 0; f < 2; ++f) {
        if (!hasNoEnding(sidePath(s.entry.sides[f]).c_str()))
            continue;
        char text[kFirstLine];
        const std::size_t n = readSource(s.sources[f], text, sizeof text);
        languages[0] = languages[1] = languageOfInterpreter(text, n);
        if (languages[0] != Language::Unknown)
            break;
    }
    return rewindSides(s, why);
}

// Where a side's name calls for its language's content test, looks at the
// start of both sides (which their lexers then read first) and returns true
// with result set when they are not both of the language: not compared (and
// of no language) when neither is, different when one is.
bool testContent(Sides &s, PairResult &result)
{
    const std::string paths[2] = {sidePath(s.entry.sides[0]), sidePath(s.entry.sides[1])};
    const char *const names[2] = {paths[0].c_str(), paths[1].c_str()};
    if (!nameTested(names[0]) && !nameTested(names[1]))
        return false;
    TokenState &t = *s.worker.run->tokens;
    std::size_t lengths[2];
    for (int f = 0; f < 2; ++f)
        lengths[f] = lookAhead(s.sources[f], t.heads[f], kContentBytes);
    if (s.sources[0].failed || s.sources[1].failed) {
        result.outcome = PairOutcome::Failed;
        result.reason = "unreadable";
        return true;
    }
    const char *const heads[2] = {t.heads[0], t.heads[1]};
    switch (pairKinds(names, heads, lengths, result.reason)) {
    case PairKinds::Read: return false;
    case PairKinds::NoRules:
        result.outcome = PairOutcome::NotCompared;
        result.language = Language::Unknown;  // of no language of the table, whatever its name
        break;
    case PairKinds::TwoKinds: result.outcome = PairOutcome::Different; break;
    }
    return true;
}

// True when the two sides, which differ, compare equivalent once their
// imports sort: the pair is compared again, from the start, with them.
bool importsReordered(Sides &s, const RunSettings &settings, const Language (&languages)[2])
{
    std::string why;
    for (int f = 0; f < 2; ++f) {
        closeSide(s, f);
        if (openSide(s, f, why) != 0)
            return false;
    }
    RunSettings sorted = settings;
    sorted.sortedIncludes = true;
    sorted.listNormalized = false;
    PairResult probe;
    consoleTo(&probe.output);
    const PairOutcome outcome = compareOpen(s, sorted, languages, probe, why);
    consoleTo(nullptr);
    spoolDrop(probe.output);
    spoolDrop(probe.allowedLines);
    spoolDrop(probe.listings[0]);
    spoolDrop(probe.listings[1]);
    return outcome == PairOutcome::Equivalent;
}

// Compares a pair whose sides are both there.
void compareSides(Sides &s, const SweepSettings &sweep, PairResult &result)
{
    const RunSettings &settings = *sweep.settings;
    std::string why;
    if (openSide(s, 0, why) != 0 || openSide(s, 1, why) != 0) {
        result.outcome = PairOutcome::Failed;
        result.reason = why;
        return;
    }
    // Identical bytes are equivalent at once; the listing needs the texts made,
    // but a kind of file without token rules is never lexed.
    Language languages[2];
    pairLanguages(s.entry, settings, languages);
    const bool unknown = settings.tokens && languages[0] == Language::Unknown;
    const std::int64_t sizes[2] = {sideSize(s, 0), sideSize(s, 1)};
    result.bytes = (sizes[0] > 0 ? sizes[0] : 0) + (sizes[1] > 0 ? sizes[1] : 0);
    if ((!settings.listNormalized || unknown) && sizes[0] >= 0 && sizes[0] == sizes[1]) {
        if (identical(s)) {
            result.outcome = sweep.workingTree ? PairOutcome::Unchanged : PairOutcome::Equivalent;
            return;
        }
        if (rewindSides(s, why) != 0) {
            result.outcome = PairOutcome::Failed;
            result.reason = why;
            return;
        }
    }
    if (unknown && languageOfFirstLines(s, languages, why) != 0) {
        result.outcome = PairOutcome::Failed;
        result.reason = why;
        return;
    }
    result.language = languages[0];
    if (settings.tokens && languages[0] == Language::Unknown) {
        result.outcome = PairOutcome::NotCompared;
        return;
    }
    if (settings.tokens && (!languageBuilt(languages[0]) || !languageBuilt(languages[1]))) {
        result.outcome = PairOutcome::NotCompared;
        result.reason = kNotBuiltReason;
        return;
    }
    if (settings.tokens && settings.language == Language::Unknown && testContent(s, result))
        return;
    consoleTo(&result.output);
    result.outcome = compareOpen(s, settings, languages, result, why);
    consoleTo(nullptr);
    if (result.outcome == PairOutcome::Different && settings.tokens && !settings.sortedIncludes &&
        sortsImports(languages[0]) && importsReordered(s, settings, languages)) {
        result.reason = kImportsReorderedReason;
        result.hint = true;
    }
    if (result.outcome == PairOutcome::Failed) {
        result.reason = why;
        spoolDrop(result.output);
        spoolDrop(result.listings[0]);
        spoolDrop(result.listings[1]);
    }
}

} // namespace

// The path a side's name gives, less a git revision before it.
std::string sidePath(const SideRef &ref)
{
    if (!ref.path.empty())
        return ref.path;
    if (!ref.command.empty())
        return ref.file;
    const std::size_t colon = ref.object.empty() ? std::string::npos : ref.name.find(':');
    return colon == std::string::npos ? ref.name : ref.name.substr(colon + 1);
}

void comparePair(Worker &worker, const WalkEntry &entry, const SweepSettings &sweep, PairResult &result)
{
    Language languages[2];
    pairLanguages(entry, *sweep.settings, languages);
    result.language = languages[0];
    switch (entry.kind) {
    case EntryKind::OnlyFirst:
    case EntryKind::OnlySecond:
        result.outcome = PairOutcome::OnlyOne;
        return;
    case EntryKind::Failed:
        result.outcome = PairOutcome::Failed;
        result.reason = entry.reason;
        return;
    case EntryKind::Same:
        result.outcome = PairOutcome::Equivalent;
        return;
    case EntryKind::Pair:
        break;
    }
    Sides s{worker, entry, {}};
    compareSides(s, sweep, result);
    closeSide(s, 0);
    closeSide(s, 1);
    for (std::FILE *output : s.formatted)
        if (output)
            std::fclose(output);
}
