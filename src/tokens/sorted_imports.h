// How one language's import declarations sort: the record each language
// module whose imports sort gives the sorted-import layer (sorted_imports.cpp).
#ifndef MATCHLING_SORTED_IMPORTS_H
#define MATCHLING_SORTED_IMPORTS_H

#include "tokens/lexer.h"

// Where the declarations of a language may stand.
enum class ImportScope : unsigned char {
    Namespaces,   // at the top level and in namespace bodies, outside directives (C family)
    Blocks,       // in the top level and in any block, outside macro bodies and brackets (Rust)
    TopLevel,     // at the top level (Java)
    ImportBlock,  // in an import (...) block (Go)
};

struct ImportRules {
    ImportForm forms[2];  // its kinds of declaration (None: no other)
    ImportScope scope;
    bool groups;          // the names inside each {...} of a declaration sort too
    bool introduced;      // a group of using directives in which one names what another introduces stays as read
    // What the lexer knows of piece p that its tokens do not tell (the '#'
    // that opens a directive, an include directive's name); nullptr when nothing.
    void (*facts)(const Lexer &lexer, const TokenPiece &p, PieceFacts &f);
};

#endif
