// How Go's imports sort: the lines of an import (...) block, one import each.
#include "languages/go/state.h"
#include "tokens/sorted_imports.h"

namespace {

// What the scope notes beyond the brackets: the import (...) block.
struct GoImportScope {
    bool importWord;   // the last token is "import" at the top level
    bool importBlock;  // inside an import (...) block
};

ImportScopeStep goFollow(ImportScope &scope, const TokenPiece &p, bool)
{
    GoImportScope &own = importScopeOwn<GoImportScope>(scope);
    const bool importWord = own.importWord;
    own.importWord = scope.depth == 0 && importIs(p, "import");
    if (importIs(p, "("))
        own.importBlock = own.importBlock || importWord;
    else if (importIs(p, ")") && scope.depth <= 1)
        own.importBlock = false;
    return {};
}

// A declaration stands in the block, on a line of its own.
bool goMayStart(const ImportScope &scope)
{
    return importScopeOwn<GoImportScope>(scope).importBlock && scope.depth == 1 &&
           scope.previous != ImportPlace::Other;
}

// True when p starts a string literal (an import's path).
bool isString(const TokenPiece &p)
{
    return p.kind == TokenKind::Code && p.first && p.length > 0 && (p.bytes[0] == '"' || p.bytes[0] == '`');
}

// [name or '.'] "path" ;
ImportVerdict stepGoSpec(ImportScan &s, const TokenPiece &p, const PieceFacts &, std::size_t)
{
    switch (s.state) {
    case 0:
        if (isString(p)) {
            s.state = 2;
            return ImportVerdict::More;
        }
        s.state = 1;
        return importName(p) || importIs(p, ".") ? ImportVerdict::More : ImportVerdict::Not;
    case 1: s.state = 2; return isString(p) ? ImportVerdict::More : ImportVerdict::Not;
    default: return importIs(p, ";") ? ImportVerdict::Done : ImportVerdict::Not;
    }
}

const ImportForm kGoSpec = {"", false, false, kIncludeDirectives, kIncludeTokens, kIncludeKeyBytes, stepGoSpec,
                            nullptr};

} // namespace

extern const ImportRules kGoImports = {{&kGoSpec, nullptr}, false, nullptr, goFollow, goMayStart};
