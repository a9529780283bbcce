// How the C family's imports sort: #include directives, and C#'s and C++'s
// using directives, at the top level and in namespace bodies. C++ using
// declarations and aliases may name each other, so a group whose directives
// do so stays as read (C# gives them no order).
#include "languages/c/state.h"
#include "tokens/sorted_imports.h"

namespace {

// The '#' that opens a directive and the name of an include directive, which
// only the lexer's directive state tells.
void cImportFacts(const Lexer &lx, const TokenPiece &p, PieceFacts &f)
{
    const bool whole = p.kind == TokenKind::Code && p.first && p.last;
    f.directive = whole && cState(lx).opensDirective && p.length <= 2;
    f.marked = whole && cState(lx).directive == Directive::Include;
}

// What the scope notes beyond the brackets: a namespace's head, whose '{'
// opens a body in which declarations stand.
struct CImportScope {
    bool namespaceHead;  // after "namespace" and its name
};

ImportScopeStep cFollow(ImportScope &scope, const TokenPiece &p, bool start)
{
    bool &head = importScopeOwn<CImportScope>(scope).namespaceHead;
    ImportScopeStep step;
    step.holds = head;
    const bool dot = p.last && p.length == 1 && p.bytes[0] == '.';
    head = (start && importIs(p, "namespace")) || (head && (importName(p) || dot || importIs(p, "::")));
    return step;
}

// #include "x" or <x>, to the LineEnd; the directive's name is marked.
ImportVerdict stepInclude(ImportScan &, const TokenPiece &p, const PieceFacts &f, std::size_t index)
{
    if (p.kind == TokenKind::End || (index == 1 && !f.marked))
        return ImportVerdict::Not;
    return index >= 2 && p.kind == TokenKind::LineEnd ? ImportVerdict::Done : ImportVerdict::More;
}

// A path of names with '.', "::" and type arguments between them, to ';'.
ImportVerdict stepPath(ImportScan &s, const TokenPiece &p)
{
    if (importIs(p, ";"))
        return s.name ? ImportVerdict::Done : ImportVerdict::Not;
    const bool closer = importIs(p, ">") || importIs(p, "]") || importIs(p, "?");
    if (importName(p) || closer) {
        if (s.name && !closer)
            return ImportVerdict::Not;  // two names in a row: a declaration such as "using var x"
        s.name = true;
        return ImportVerdict::More;
    }
    if (importIs(p, ".") || importIs(p, "::") || importIs(p, "<") || importIs(p, ",") || importIs(p, "[")) {
        s.name = false;
        return ImportVerdict::More;
    }
    return ImportVerdict::Not;
}

// [global] using [static] a.b; or [global] using A = B; (C#), using a::b;
// (C++): not "using namespace", "using enum", a using statement or declaration.
ImportVerdict stepUsing(ImportScan &s, const TokenPiece &p, const PieceFacts &, std::size_t)
{
    switch (s.state) {
    case 0: s.state = importIs(p, "global") ? 1 : 2; return ImportVerdict::More;
    case 1: s.state = 2; return importIs(p, "using") ? ImportVerdict::More : ImportVerdict::Not;
    case 2:
        if (importIs(p, "static") || importIs(p, "::")) {
            s.state = 4;
            return ImportVerdict::More;
        }
        if (!importName(p) || importIs(p, "namespace") || importIs(p, "enum") || importIs(p, "typename"))
            return ImportVerdict::Not;
        s.state = 3;
        return ImportVerdict::More;
    case 3:
        if (importIs(p, "=")) {
            s.state = 5;
            return ImportVerdict::More;
        }
        s.state = 4;
        s.name = true;
        return stepPath(s, p);
    case 4: return stepPath(s, p);
    default:
        if (importIs(p, "{") || importIs(p, "}"))
            return ImportVerdict::Not;
        s.nest += importIs(p, "(") ? 1 : (importIs(p, ")") ? -1 : 0);
        return importIs(p, ";") && s.nest == 0 ? ImportVerdict::Done : ImportVerdict::More;
    }
}

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// The held token of the name that using directive d brings into its scope
// where other declarations could name it: an alias's name, or the last name
// of a "using a::b;" declaration (C++). kNone for a C# namespace or static
// directive, which no other directive sees.
std::size_t introduces(const IncludeSorter &s, const HeldDirective &d)
{
    const std::size_t end = d.firstToken + d.tokenCount;
    std::size_t i = d.firstToken, code[3] = {kNone, kNone, kNone}, found = 0;
    for (std::size_t k = i; k < end && found < 3; ++k)
        if (s.tokens[k].kind == TokenKind::Code && !(found == 0 && heldIs(s, k, "global")))
            code[found++] = k;
    // code[0] is "using".
    if (code[1] == kNone || heldIs(s, code[1], "static"))
        return kNone;
    if (code[2] != kNone && heldIs(s, code[2], "="))
        return code[1];
    std::size_t last = kNone;
    bool scoped = false;
    for (; i < end; ++i) {
        scoped = scoped || heldIs(s, i, "::");
        last = heldName(s, i) ? i : last;
    }
    return scoped ? last : kNone;
}

// True when a held using directive names what another of the group
// introduces: then their order may count.
bool entangled(const IncludeSorter &s, std::size_t first, std::size_t count)
{
    for (std::size_t u = first; u < first + count; ++u) {
        std::size_t n = introduces(s, s.directives[u]);
        if (n == kNone)
            continue;
        for (std::size_t v = first; v < first + count; ++v) {
            const HeldDirective &d = s.directives[v];
            for (std::size_t k = d.firstToken; v != u && k < d.firstToken + d.tokenCount; ++k)
                if (heldSame(s, k, n))
                    return true;
        }
    }
    return false;
}

// A using directive past its caps goes out as it stands and ends its run; so
// a group of them ends only at its count, and a sorted copy groups the same.
constexpr std::size_t kUsingGroup = kIncludeDirectives / 2;

const ImportForm kInclude = {nullptr, true, true, kIncludeDirectives, kIncludeTokens, kIncludeKeyBytes,
                             stepInclude, nullptr};
const ImportForm kUsing = {"using global", false, false, kUsingGroup, kIncludeTokens / kUsingGroup,
                           kIncludeKeyBytes / kUsingGroup, stepUsing, entangled};

} // namespace

extern const ImportRules kCImports = {{&kInclude, &kUsing}, false, cImportFacts, cFollow, nullptr};
