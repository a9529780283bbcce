// How Java's imports sort: import declarations at the top level.
#include "languages/java/state.h"
#include "tokens/sorted_imports.h"

namespace {

// import [static] a.b.C; or a.b.*;
ImportVerdict stepJavaImport(ImportScan &s, const TokenPiece &p, const PieceFacts &, std::size_t)
{
    if (s.state == 0) {
        s.state = 1;
        return ImportVerdict::More;
    }
    if (s.state == 1 && importIs(p, "static")) {
        s.state = 2;
        return ImportVerdict::More;
    }
    s.state = 2;
    if (importIs(p, ";"))
        return s.name ? ImportVerdict::Done : ImportVerdict::Not;
    if (importName(p) || importIs(p, "*") || importIs(p, ".*")) {
        bool ok = importIs(p, ".*") ? s.name : !s.name;
        s.name = true;
        return ok ? ImportVerdict::More : ImportVerdict::Not;
    }
    if (importIs(p, ".") && s.name) {
        s.name = false;
        return ImportVerdict::More;
    }
    return ImportVerdict::Not;
}

const ImportForm kJavaImport = {"import", false, false, kIncludeDirectives, kIncludeTokens, kIncludeKeyBytes,
                                stepJavaImport, nullptr};

} // namespace

// No body holds declarations, so they stand at the top level only.
extern const ImportRules kJavaImports = {{&kJavaImport, nullptr}, false, nullptr, nullptr, nullptr};
