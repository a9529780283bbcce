// How Rust's imports sort: use items, in any block outside macro bodies and
// brackets, and the names inside each {...} of one.
#include "languages/rust/state.h"
#include "tokens/sorted_imports.h"

namespace {

// What the scope notes beyond the brackets: a macro's body, whose '{' holds
// no items, and an inner attribute "#![...]", after which an item may stand.
struct RustImportScope {
    int bang;                    // tokens after a '!' during which a '{' opens a macro body
    int hashes;                  // 1 after a '#', 2 after "#!"
    bool innerAttribute;         // inside a "#![...]"
    std::uint32_t attributeDepth;  // depth outside that attribute
};

ImportScopeStep rustFollow(ImportScope &scope, const TokenPiece &p, bool)
{
    RustImportScope &own = importScopeOwn<RustImportScope>(scope);
    const char c = p.last && p.length == 1 ? p.bytes[0] : 0;
    if (own.hashes == 2 && c == '[' && !own.innerAttribute) {
        own.innerAttribute = true;
        own.attributeDepth = scope.depth;
    }
    ImportScopeStep step;
    step.holds = own.bang == 0;
    own.bang = c == '!' ? 2 : (own.bang > 0 ? own.bang - 1 : 0);
    own.hashes = c == '#' ? 1 : (c == '!' && own.hashes == 1 ? 2 : 0);
    if (c == ']' && own.innerAttribute && (scope.depth > 0 ? scope.depth - 1 : 0) == own.attributeDepth) {
        own.innerAttribute = false;  // a "#![...]" stands for the module: an item may follow
        step.start = true;
    }
    return step;
}

// #[...]* [pub [(...)]] use tree ;
ImportVerdict stepRustUse(ImportScan &s, const TokenPiece &p, const PieceFacts &, std::size_t)
{
    switch (s.state) {
    case 0:  // outer attributes, visibility
        s.state = importIs(p, "#") ? 1 : (importIs(p, "pub") ? 3 : (importIs(p, "use") ? 6 : -1));
        return s.state < 0 ? ImportVerdict::Not : ImportVerdict::More;
    case 1:  // after '#'
        s.state = 2;
        s.nest = 1;
        return importIs(p, "[") ? ImportVerdict::More : ImportVerdict::Not;
    case 2:  // inside an attribute
        s.nest += importNesting(p);
        s.state = s.nest == 0 ? 0 : 2;
        return ImportVerdict::More;
    case 3:  // after "pub"
        s.state = importIs(p, "(") ? 4 : 6;
        s.nest = 1;
        return importIs(p, "(") || importIs(p, "use") ? ImportVerdict::More : ImportVerdict::Not;
    case 4:  // inside pub(...)
        s.nest += importNesting(p);
        s.state = s.nest == 0 ? 5 : 4;
        return ImportVerdict::More;
    case 5: s.state = 6; return importIs(p, "use") ? ImportVerdict::More : ImportVerdict::Not;
    case 6: s.nest = 0; s.state = 7; [[fallthrough]];
    default:  // the use tree
        if (importIs(p, ";"))
            return s.nest == 0 ? ImportVerdict::Done : ImportVerdict::Not;
        if (importIs(p, "{"))
            ++s.nest;
        else if (importIs(p, "}") && --s.nest < 0)
            return ImportVerdict::Not;
        return importName(p) || importIs(p, "::") || importIs(p, "*") || importIs(p, ",") || importIs(p, "{") ||
                       importIs(p, "}")
                   ? ImportVerdict::More
                   : ImportVerdict::Not;
    }
}

const ImportForm kRustUse = {"use pub #", false, false, kIncludeDirectives, kIncludeTokens, kIncludeKeyBytes,
                             stepRustUse, nullptr};

} // namespace

extern const ImportRules kRustImports = {{&kRustUse, nullptr}, true, nullptr, rustFollow, nullptr};
