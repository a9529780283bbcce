// The single run: two files, each prepared into its temporary file in the
// current directory, then the two temporary files compared.
#include "common/build_info.h"
#include "common/files.h"
#include "console/console.h"
#include "languages/languages.h"
#include "run/command_line.h"
#include "report/report.h"
#include "run/run_state.h"

namespace {

// Opens a temporary file again for the comparison; reports a failure.
std::FILE *reopenTemp(const char *name)
{
    std::FILE *stream = openTempFile(name);
    if (!stream) {
        consoleMessage("Matchling==>  Unable to open %s for reading \n", name);
        pause();
    }
    return stream;
}

// Reports and returns true when a temporary file to be written is one of the
// sources: replacing it would destroy the user's file.
bool temporaryIsSource(const RunState &run)
{
    for (const char *temp : kTempNames) {
        if (!sameFile(temp, run.fileNames[0].c_str()) && !sameFile(temp, run.fileNames[1].c_str()))
            continue;
        consoleMessage("Matchling==>  Unable to open %s for writing \n", temp);
        consoleMessage("Matchling==>  It is one of the files to compare \n");
        consoleMessage("Matchling==>  Program will abort \n");
        pause();
        consoleMessage("\n");
        return true;
    }
    return false;
}

// The support line names the original vendor: like every report text, it is
// the product's interface and stays as it is.
void deleteTemp(const char *name)
{
    if (removeFile(name) == 0)
        return;
    consoleMessage("Matchling==>  Error on delete of %s file \n", name);
    consoleMessage("Matchling==>  Please notify Vexlo via EMail at: %s \n\n", kSupportAddress);
    pause();
    consoleMessage("\n");
}

void closeStream(std::FILE *&stream)
{
    if (stream)
        std::fclose(stream);
    stream = nullptr;
}

// Exit status of a run that stopped before its verdict.
int stoppedStatus(const RunSettings &settings)
{
    return settings.verdictStatus ? kExitTrouble : kExitFailed;
}

// --where reads a source a second time, by its name: only a plain file can be
// read again (a pipe is spent, and a FIFO would wait for a writer that never comes).
int reopenByName(void *self, int side, SourceStream &source)
{
    const RunState &run = *static_cast<const RunState *>(self);
    const char *name = run.fileNames[side].c_str();
    source = SourceStream();
    if (!isRegularFile(name))
        return 1;
    source.stream = openSourceFile(name);
    return source.stream ? 0 : 1;
}

void closeReopened(void *, int, SourceStream &source)
{
    closeStream(source.stream);
}

// Steps 2 to 6 with the line rules: each source prepared into its temporary
// file, both compared, and a difference reported. Returns 0 with verdict set,
// or 1 when the run stopped early (reported).
int compareNormalized(RunState &run, const RunSettings &settings, Verdict &verdict)
{
    // 2-3. Each source into its temporary file; the preparation reports its
    // failures. File 2 keeps file 1's class when its name decides nothing.
    SourceClass sourceClass = SourceClass::CFamily;
    for (int f = 0; f < 2; ++f) {
        Preparation &p = run.preparations[f];
        p.path = run.fileNames[f];
        p.tempName = kTempNames[f];
        if (prepareFile(p, settings, sourceClass, run.normalizers[f], run.block) != 0)
            return 1;
        run.classes[f] = sourceClass;
    }

    // 4-5. Both temporary files, open again for reading.
    for (int f = 0; f < 2; ++f) {
        run.reads[f] = reopenTemp(kTempNames[f]);
        if (!run.reads[f])
            return 1;
    }

    // 6. The comparison, and with --where the source lines of a difference.
    const char *const names[2] = {run.fileNames[0].c_str(), run.fileNames[1].c_str()};
    const TextProducer texts[2] = {fileText(run.reads[0]), fileText(run.reads[1])};
    verdict = compareFiles(run.comparison, texts, names);
    if (verdict == Verdict::Different && settings.showWhere)
        reportWhere(run, settings, Reopener{&run, reopenByName, closeReopened});
    return 0;
}

// True when the streams of run are compared token by token, their notes
// counted (--allow, or --sorted-imports where a language of the pair sorts
// its imports), rather than as key streams lexed on threads of their own.
bool byToken(const RunState &run, const RunSettings &settings)
{
    return settings.allow ||
           (settings.sortedIncludes && (sortsImports(run.languages[0]) || sortsImports(run.languages[1])));
}

// Reports and returns 1 when lexer refused the source of p (not valid as its
// language, too large to hold); 0 when it did not.
int reportRefused(const Preparation &p, const Lexer &lexer)
{
    const char *refusal = lexerRefusal(lexer);
    if (!refusal)
        return 0;
    consoleMessage("Matchling==>  Unable to compare: %s (%s) \n", p.path.c_str(), refusal);
    reportAbort();
    return 1;
}

// Opens source f and its temporary file and reads its first token, reporting
// a failure as a preparation does; returns 0 or 1. An empty source is read:
// in token mode it is a source without tokens, as one of blanks or comments.
// With look, first sets the source's start aside for a content test, in
// looked bytes of run's heads[f], which its lexer then reads first.
int startTokens(RunState &run, const RunSettings &settings, int f, bool look, std::size_t &looked, TokenPiece &first)
{
    Preparation &p = run.preparations[f];
    p.path = run.fileNames[f];
    p.tempName = kTempNames[f];
    if (openPreparation(p, settings) != 0) {
        reportAbort();
        return 1;
    }
    if (look)
        looked = lookAhead(p.source, run.tokens->heads[f], kContentBytes);
    Lexer &lexer = run.tokens->lexers[f];
    lexerStart(lexer, run.languages[f], lexOptions(settings), p.source);
    lexerNext(lexer, first);
    if (p.source.failed) {
        reportUnreadable(p);
        reportAbort();
        return 1;
    }
    return reportRefused(p, lexer);
}

// Reports what went wrong with source f while it was lexed and closes it and
// its temporary file; returns 0, or 1 when the run stops here.
int finishTokens(RunState &run, const RunSettings &settings, int f)
{
    Preparation &p = run.preparations[f];
    const TokenPump &pump = run.tokens->pumps[f];
    // The streams compared token by token are read to their ends, or to the difference.
    const bool piecewise = byToken(run, settings);
    const bool writeFailed = piecewise ? run.tokens->writers[f].failed : pump.writeFailed;
    const bool moreAfterFailure = piecewise ? writeFailed : pump.moreAfterFailure;
    if (writeFailed) {
        reportWriteFailure(p);
        if (moreAfterFailure) {
            reportAbort();
            return 1;
        }
    } else if (p.source.failed) {
        reportUnreadable(p);
        reportAbort();
        return 1;
    } else if (reportRefused(p, run.tokens->lexers[f]) != 0) {
        return 1;
    }
    return finishPreparation(p);
}

// Lists the token stream the temporary file name holds, one token per line.
void listTemp(const char *name)
{
    if (std::FILE *stream = openTempFile(name)) {
        listKeyStream(stream);
        std::fclose(stream);
    }
}

// Where a name calls for it (and --language does not say), the content tests
// of the pair, on the starts of the sources that startTokens set aside in
// lengths bytes of run's heads. Returns 0 when both are of the language
// their names chose; 0 with verdict Different and run.twoKinds set when one
// is and the other is not (reported); 1 when neither is, reported as not
// compared, its temporary files removed.
int testContent(RunState &run, const char *const (&names)[2], const std::size_t (&lengths)[2], Verdict &verdict)
{
    const char *const heads[2] = {run.tokens->heads[0], run.tokens->heads[1]};
    std::string why;
    switch (pairKinds(names, heads, lengths, why)) {
    case PairKinds::Read:
        return 0;
    case PairKinds::TwoKinds:
        consoleMessage("Matchling==>  Not equivalent: %s (%s) \n", names[0], why.c_str());
        run.twoKinds = why;
        verdict = Verdict::Different;
        return 0;
    case PairKinds::NoRules:
        break;
    }
    consoleMessage("Matchling==>  Not compared: %s (%s) \n", names[0], why.c_str());
    closeStreams(run);
    for (const char *temp : kTempNames)
        deleteTemp(temp);
    return 1;
}

// Steps 2 to 6 with --tokens: both sources lexed at once, each on a thread of
// its own that writes its key stream to its temporary file, and compared as
// the tokens come; then each source's failures, file 1 first, and the
// difference.
// Returns 0 with verdict set, or 1 when the run stopped early (reported).
int compareTokenStreams(RunState &run, const RunSettings &settings, Verdict &verdict)
{
    // 2-3. Each source, its temporary file and its first token, in turn;
    // where a name calls for it, the content tests of its language.
    const char *const names[2] = {run.fileNames[0].c_str(), run.fileNames[1].c_str()};
    const bool tested = settings.language == Language::Unknown && (nameTested(names[0]) || nameTested(names[1]));
    TokenPiece first[2];
    std::size_t looked[2] = {};
    for (int f = 0; f < 2; ++f)
        if (startTokens(run, settings, f, tested, looked[f], first[f]) != 0)
            return 1;
    if (tested) {
        if (testContent(run, names, looked, verdict) != 0)
            return 1;
        if (!run.twoKinds.empty())
            return 0;
    }

    // 4-5. Both lexed at once, compared as they come; where rewrites are
    // counted, both compared here, token by token, their notes with them, and
    // with --allow both rewritten.
    TokenState &t = *run.tokens;
    if (byToken(run, settings)) {
        PieceSource pieces[2];
        for (int f = 0; f < 2; ++f) {
            const RewriteSource lexed = firstThenLexer(t.firsts[f], t.lexers[f], first[f]);
            PieceSource stream{lexed.self, lexed.next};
            if (settings.allow) {
                rewriterStart(t.rewriters[f], run.languages[f], settings.allow, lexed);
                stream = rewrittenPieces(t.rewriters[f]);
            }
            pieces[f] = writtenPieces(t.writers[f], stream, run.preparations[f].output);
        }
        AllowedLines where{nullptr, run.fileNames[1].c_str()};
        t.comparison.allowedAt = settings.showWhere ? reportAllowedAt : nullptr;
        t.comparison.allowedSelf = &where;
        verdict = compareTokens(t.comparison, pieces);
        t.comparison.allowedAt = nullptr;
        for (KeyWriter &writer : t.writers)
            keyWriterFlush(writer);
    } else {
        for (int f = 0; f < 2; ++f)
            pumpStart(t.pumps[f], t.lexers[f], first[f], run.preparations[f].output);
        verdict = compareKeyStreams(t.pumps, t.comparison);
        for (TokenPump &pump : t.pumps)
            pumpStop(pump);
    }
    // A source its lexer refuses has no verdict; the rest of a stream is read
    // while its source is still open.
    int side = 0;
    std::string why;
    if (rejectedInput(t.lexers, side, why)) {
        consoleMessage("Matchling==>  Unable to compare: %s (%s) \n", run.fileNames[side].c_str(), why.c_str());
        reportAbort();
        return 1;
    }
    for (int f = 0; f < 2; ++f)
        if (finishTokens(run, settings, f) != 0)
            return 1;

    // 6. The streams as compared, and where they differ.
    if (settings.listNormalized)
        for (const char *temp : kTempNames)
            listTemp(temp);
    if (verdict == Verdict::Different) {
        const Reopener again{&run, reopenByName, closeReopened};
        spellDifference(t.comparison, respelling(run, settings), again);
        reportTokenDifference(t.comparison, names, again);
    }
    bool used[kLanguageNames + 1] = {};
    used[languageIndex(run.languages[0])] = used[languageIndex(run.languages[1])] = true;
    reportImportsWithoutEffect(settings, used);
    if (countedRewrites(settings) != 0) {
        std::string counts;
        allowedList(t.comparison.allowed, counts);
        consoleMessage("Matchling==> Allowed rewrites: %s \n", counts.c_str());
    }
    return 0;
}

// Steps 0 to 10 of a validation; returns the exit status.
int validate(RunState &run, const RunSettings &settings, const char *const (&names)[2]);

// The report of a single run for programs: the pair, then the summary.
void reportSingle(RunState &run, const RunSettings &settings, bool different)
{
    DifferenceFacts difference;
    const bool twoKinds = !run.twoKinds.empty();  // then the reason says why, and nothing where
    if (different && !twoKinds && settings.tokens) {
        tokenDifference(run.tokens->comparison, difference);
    } else if (different && !twoKinds) {
        blockDifference(run.comparison, difference);
        differenceLines(run, settings, Reopener{&run, reopenByName, closeReopened}, difference.lines);
    }
    PairFacts pair;
    pair.path = pair.place = run.fileNames[1].c_str();
    pair.names[0] = run.fileNames[0].c_str();
    pair.names[1] = run.fileNames[1].c_str();
    pair.status = different ? PairStatus::NotEquivalent : PairStatus::Equivalent;
    pair.difference = twoKinds ? nullptr : &difference;
    pair.reason = twoKinds ? run.twoKinds.c_str() : nullptr;
    pair.language = settings.tokens ? languageName(run.languages[0]) : nullptr;
    pair.counted = countedRewrites(settings);
    if (pair.counted)
        pair.allowed = run.tokens->comparison.allowed;
    ReportCounts counts;
    (different ? counts.different : counts.equivalent) = 1;
    counts.counted = pair.counted;
    if (counts.counted)
        for (int k = 0; k < kRewriteKinds; ++k)
            counts.allowed[k] = run.tokens->comparison.allowed[k];
    if (settings.tokens) {
        counts.byLanguage = true;
        counts.languages.emplace_back(languageName(run.languages[0]), 1);
    }
    ReportWriter writer;
    writer.format = settings.format;
    std::string out;
    reportPair(writer, pair, out);
    reportEnd(writer, counts, out);
    consoleRecord(out.data(), out.size());
}

} // namespace

int stoppedReport(ReportFormat format, const std::string &text)
{
    ReportWriter writer;
    writer.format = format;
    std::string out;
    reportStopped(writer, firstReportLine(text), out);
    consoleRecord(out.data(), out.size());
    return kExitTrouble;
}

bool tokenLanguages(const RunSettings &settings, const char *const (&names)[2], Language (&languages)[2])
{
    for (int f = 0; f < 2; ++f)
        languages[f] = settings.language != Language::Unknown ? settings.language : languageOfName(names[f]);
    for (int f = 0; f < 2; ++f)
        if (languages[f] == Language::Unknown)
            languages[f] = languages[1 - f];
    return languages[0] != Language::Unknown;
}

LexOptions lexOptions(const RunSettings &settings)
{
    LexOptions options;
    options.comments = settings.comments;
    options.sortedIncludes = settings.sortedIncludes;
    options.allow = settings.allow;
    return options;
}

Respelling respelling(RunState &run, const RunSettings &settings)
{
    Respelling how;
    for (int f = 0; f < 2; ++f) {
        how.lexers[f] = &run.tokens->lexers[f];
        how.languages[f] = run.languages[f];
    }
    how.rewriters = run.tokens->rewriters.get();
    how.options = lexOptions(settings);
    how.allow = settings.allow;
    return how;
}

std::unique_ptr<RunState> newRunState(const RunSettings &settings)
{
    // Not made with make_unique, which would fill every buffer with zeros.
    std::unique_ptr<RunState> run(new RunState);
    if (settings.tokens)
        run->tokens.reset(new TokenState);
    if (settings.tokens && settings.allow)
        run->tokens->rewriters.reset(new Rewriter[2]);
    return run;
}

void closeStreams(RunState &run)
{
    for (Preparation &p : run.preparations) {
        closeStream(p.source.stream);
        closeStream(p.output);
    }
    closeStream(run.reads[0]);
    closeStream(run.reads[1]);
}

int validationRun(RunState &run, const RunSettings &settings, const char *const (&names)[2])
{
    if (settings.format == ReportFormat::Text)
        return validate(run, settings, names);
    // For programs the text report is held back, and only its first line
    // used, as the error of a run that stopped.
    Spool held;
    held.headOnly = true;
    consoleTo(&held);
    const int status = validate(run, settings, names);
    consoleTo(nullptr);
    if (status == kExitTrouble)
        return stoppedReport(settings.format, held.text);
    reportSingle(run, settings, status == kExitDifferent);
    return status;
}

namespace {

int validate(RunState &run, const RunSettings &settings, const char *const (&names)[2])
{
    // 0. Runs in one directory share the temporary file names: one at a time.
    lockDirectory();

    // 1. The names, as given, and with --tokens the language each is lexed
    // as: a name that places neither gets no guess.
    for (int f = 0; f < 2; ++f)
        run.fileNames[f] = names[f];
    if (settings.tokens && !tokenLanguages(settings, names, run.languages)) {
        consoleMessage("Matchling==>  No token rules for the kind of file %s: name its language with --language \n",
                       names[0]);
        showUsage();
        return stoppedStatus(settings);
    }
    if (settings.tokens && (!languageBuilt(run.languages[0]) || !languageBuilt(run.languages[1]))) {
        consoleMessage("Matchling==>  Not compared: %s (%s) \n", names[0], kNotBuiltReason);
        return stoppedStatus(settings);
    }
    if (temporaryIsSource(run))
        return stoppedStatus(settings);

    // 2-6. Both sources compared, as normalized texts or token streams.
    Verdict verdict;
    const int stopped = settings.tokens ? compareTokenStreams(run, settings, verdict)
                                        : compareNormalized(run, settings, verdict);
    if (stopped)
        return stoppedStatus(settings);

    // 7. The verdict.
    announceVerdict(verdict != Verdict::Different);

    // 8-10. Release everything and remove the temporary files.
    closeStreams(run);
    for (const char *temp : kTempNames)
        deleteTemp(temp);
    return verdictExit(verdict != Verdict::Different, settings.verdictStatus);
}

} // namespace

void announceVerdict(bool equivalent)
{
    consoleMessage("\n");
    if (equivalent) {
        consoleMessage("Matchling==>  Files compare equivalent \n");
    } else {
        consoleMessage("Matchling==>  Validation test failed \n");
        consoleMessage("Matchling==>  Files are not equivalent \n");
    }
    pause();
}
