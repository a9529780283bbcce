// The source lines of the first difference, for --where, and the lines of
// what a token run accepted.
#include <cstdint>
#include <cstdio>
#include <string>

#include "console/console.h"
#include "run/run_state.h"

namespace {

enum class Side { Differs, Ends, Extra };

// The source line of side f's first difference, read again through sources;
// 0 when it cannot be found.
std::int64_t placeLine(RunState &run, const RunSettings &settings, int f, const Reopener &sources, Side side)
{
    const std::int64_t offset = run.comparison.firstDifference;
    // Where a text ends is the line of its last byte; an empty text ends at the last line.
    std::int64_t target = offset;
    if (side == Side::Ends)
        target = offset > 0 ? offset - 1 : INT64_MAX;
    SourcePlace place;
    SourceStream source;
    const int failed = sources.open(sources.self, f, source);
    if (!failed) {
        locateNormalized(run.normalizers[f], settings, source, run.classes[f], target, place);
        sources.close(sources.self, f, source);
    }
    if (failed || (!place.found && target != INT64_MAX) || place.line == 0)
        return 0;
    return place.line;
}

Side sideOf(const RunState &run, int f)
{
    const int shorter = run.comparison.shorterFile;
    if (shorter == 0)
        return Side::Differs;
    return shorter == f + 1 ? Side::Ends : Side::Extra;
}

void reportPlace(RunState &run, const RunSettings &settings, int f, const Reopener &sources, Side side)
{
    const char *name = run.fileNames[f].c_str();
    const long long line = static_cast<long long>(placeLine(run, settings, f, sources, side));
    if (line == 0) {
        consoleMessage("Matchling==> Difference line not found in %s \n", name);
        return;
    }
    if (side == Side::Ends)
        consoleMessage("Matchling==> Text ends at line %lld of %s \n", line, name);
    else if (side == Side::Extra)
        consoleMessage("Matchling==> Extra text begins at line %lld of %s \n", line, name);
    else
        consoleMessage("Matchling==> Difference at line %lld of %s \n", line, name);
}

} // namespace

void reportWhere(RunState &run, const RunSettings &settings, const Reopener &sources)
{
    for (int f = 0; f < 2; ++f)
        reportPlace(run, settings, f, sources, sideOf(run, f));
}

void differenceLines(RunState &run, const RunSettings &settings, const Reopener &sources, std::int64_t (&lines)[2])
{
    for (int f = 0; f < 2; ++f)
        lines[f] = placeLine(run, settings, f, sources, sideOf(run, f));
}

void reportAllowedAt(void *self, Rewrite r, TokenPlace place)
{
    const AllowedLines &to = *static_cast<const AllowedLines *>(self);
    char line[96];
    const int n = std::snprintf(line, sizeof line, "Matchling==> Allowed %s at line %lld, column %lld of ",
                                rewriteName(r), static_cast<long long>(place.line),
                                static_cast<long long>(place.column));
    std::string text(line, n > 0 ? static_cast<std::size_t>(n) : 0);
    text += to.name;
    text += " \n";
    if (to.spool)
        spoolWrite(*to.spool, text.data(), text.size());
    else
        consoleMessage("%s", text.c_str());
}

RewriteSet countedRewrites(const RunSettings &settings)
{
    RewriteSet counted = settings.allow ? static_cast<RewriteSet>((1u << kAllowKinds) - 1) : 0;
    if (settings.tokens && settings.sortedIncludes)
        counted = static_cast<RewriteSet>(counted | rewriteBit(Rewrite::Imports));
    return counted;
}

void reportImportsWithoutEffect(const RunSettings &settings, const bool (&used)[kLanguageNames + 1])
{
    if (!settings.tokens || !settings.sortedIncludes)
        return;
    bool named[kLanguageNames] = {};
    std::string names;
    for (std::size_t r = 0; r < kLanguageRowCount; ++r) {
        const Language language = kLanguageRows[r].language;
        const std::size_t k = languageIndex(language);
        if (k >= kLanguageNames || !used[k] || named[k] || sortsImports(language))
            continue;
        named[k] = true;
        names += (names.empty() ? "" : ", ") + std::string(kLanguageRows[r].name);
    }
    if (!names.empty())
        consoleMessage("Matchling==> --sorted-imports has no effect on %s files \n", names.c_str());
}
