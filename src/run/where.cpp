// The source lines of the first difference, for --where.
#include <cstdint>

#include "compare/compare.h"
#include "console/console.h"
#include "normalize/prepare.h"
#include "run/run_state.h"

namespace {

enum class Side { Differs, Ends, Extra };

void reportPlace(const char *name, SourceClass sourceClass, std::int64_t offset, Side side)
{
    // Where a text ends is the line of its last byte; an empty text ends at the last line.
    std::int64_t target = offset;
    if (side == Side::Ends)
        target = offset > 0 ? offset - 1 : INT64_MAX;
    SourcePlace place;
    int failed = locateNormalized(name, sourceClass, target, place);
    if (failed || (!place.found && target != INT64_MAX) || place.line == 0) {
        consoleMessage("Matchling==> Difference line not found in %s \n", name);
        return;
    }
    long long line = static_cast<long long>(place.line);
    if (side == Side::Ends)
        consoleMessage("Matchling==> Text ends at line %lld of %s \n", line, name);
    else if (side == Side::Extra)
        consoleMessage("Matchling==> Extra text begins at line %lld of %s \n", line, name);
    else
        consoleMessage("Matchling==> Difference at line %lld of %s \n", line, name);
}

} // namespace

void reportWhere()
{
    const CompareState &c = comparison;
    // The classes the preparation used: file 2 keeps file 1's when its name decides nothing.
    run.sourceClass = SourceClass::CFamily;
    classifySource(run.fileName1.c_str());
    SourceClass class1 = run.sourceClass;
    classifySource(run.fileName2.c_str());
    SourceClass class2 = run.sourceClass;

    Side side1 = Side::Differs, side2 = Side::Differs;
    if (c.shorterFile == 1) {
        side1 = Side::Ends;
        side2 = Side::Extra;
    } else if (c.shorterFile == 2) {
        side1 = Side::Extra;
        side2 = Side::Ends;
    }
    reportPlace(run.fileName1.c_str(), class1, c.firstDifference, side1);
    reportPlace(run.fileName2.c_str(), class2, c.firstDifference, side2);
}
