// How one language's import declarations sort: the record each language
// module whose imports sort gives the sorted-import layer (sorted_imports.cpp),
// its declarations' grammars, and where they may stand.
#ifndef MATCHLING_SORTED_IMPORTS_H
#define MATCHLING_SORTED_IMPORTS_H

#include <cstring>

#include "tokens/lexer.h"

// How the scan of an open declaration goes on after a token.
enum class ImportVerdict : unsigned char {
    More,  // the declaration goes on
    Done,  // the token ends it
    Not,   // it is no declaration after all
};

// One kind of import declaration: the words that open it, its grammar, and
// how many of its kind a group holds.
struct ImportForm {
    // Words that open it where a declaration may stand, blank-separated;
    // empty: any token there; nullptr: only a piece the lexer notes as
    // opening a directive (PieceFacts::directive), wherever it stands.
    const char *openers;
    bool lineEnd;              // it ends at its LineEnd (else at ';')
    bool everyKind;            // its grammar sees tokens of every kind (else comments go with it, other kinds end it)
    std::size_t groupUnits;    // declarations of one group
    std::size_t unitTokens;    // tokens of one declaration
    std::size_t unitKeyBytes;  // key bytes of one declaration
    // The scan after the token that p starts; index counts the
    // declaration's tokens before p, 0 for the token that opens it.
    ImportVerdict (*step)(ImportScan &scan, const TokenPiece &p, const PieceFacts &f, std::size_t index);
    // True when the held declarations [first, first + count) of one group
    // must keep the order they were read in; nullptr: they always sort.
    bool (*keepsOrder)(const IncludeSorter &s, std::size_t first, std::size_t count);
};

struct ImportRules {
    const ImportForm *forms[2];  // its kinds of declaration (nullptr: no other)
    bool groups;                 // the names inside each {...} of a declaration sort too
    // What the lexer knows of piece p that its tokens do not tell (a
    // directive's opening, a token its grammar needs marked); nullptr when nothing.
    void (*facts)(const Lexer &lexer, const TokenPiece &p, PieceFacts &f);
    // Notes the code token that p starts (outside directives) in scope.own;
    // start tells whether a declaration could open at it. The shared scope
    // counts the brackets after this. nullptr: nothing of its own to note.
    ImportScopeStep (*follow)(ImportScope &scope, const TokenPiece &p, bool start);
    // True when a declaration may open at the next token; nullptr: at the
    // start of a statement, outside directives, at the level where
    // declarations stand.
    bool (*mayStart)(const ImportScope &scope);
};

// The module's own facts of the scope, kept in ImportScope::own.
template <typename Own>
Own &importScopeOwn(ImportScope &scope)
{
    static_assert(sizeof(Own) <= sizeof(scope.own), "a language's import scope must fit ImportScope::own");
    static_assert(alignof(Own) <= alignof(std::uint32_t), "a language's import scope must fit ImportScope::own");
    return *std::launder(reinterpret_cast<Own *>(scope.own));
}

template <typename Own>
const Own &importScopeOwn(const ImportScope &scope)
{
    return importScopeOwn<Own>(const_cast<ImportScope &>(scope));
}

// What the grammars share.

// True when p is the whole code token word.
inline bool importIs(const TokenPiece &p, const char *word)
{
    std::size_t n = std::strlen(word);
    return p.kind == TokenKind::Code && p.first && p.last && p.length == n && std::memcmp(p.bytes, word, n) == 0;
}

inline bool importNameByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

// True when p starts a name or a keyword.
inline bool importName(const TokenPiece &p)
{
    return p.kind == TokenKind::Code && p.first && p.length > 0 && importNameByte(p.bytes[0]);
}

// +1 for an opening bracket, -1 for a closing one, else 0.
inline int importNesting(const TokenPiece &p)
{
    if (importIs(p, "(") || importIs(p, "[") || importIs(p, "{"))
        return 1;
    return importIs(p, ")") || importIs(p, "]") || importIs(p, "}") ? -1 : 0;
}

// Held token i of the stores: the code token word; a name; the same key as held token j.
bool heldIs(const IncludeSorter &s, std::size_t i, const char *word);
bool heldName(const IncludeSorter &s, std::size_t i);
bool heldSame(const IncludeSorter &s, std::size_t i, std::size_t j);

#endif
