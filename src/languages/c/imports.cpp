// How the C family's imports sort: #include directives, and C#'s and C++'s
// using directives. C++ using declarations and aliases may name each other,
// so a group whose directives do so stays as read (C# gives them no order).
#include "languages/c/state.h"
#include "tokens/sorted_imports.h"

namespace {

// The '#' that opens a directive and the name of an include directive, which
// only the lexer's directive state tells.
void cImportFacts(const Lexer &lx, const TokenPiece &p, PieceFacts &f)
{
    const bool whole = p.kind == TokenKind::Code && p.first && p.last;
    f.hash = whole && cState(lx).opensDirective && p.length <= 2;
    f.include = whole && cState(lx).directive == Directive::Include;
}

} // namespace

extern const ImportRules kCImports = {
    {ImportForm::Include, ImportForm::Using}, ImportScope::Namespaces, false, true, cImportFacts};
