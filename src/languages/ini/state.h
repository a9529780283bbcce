// The INI lexer's own state: where the line stands, what the last entry
// leaves for the next line, and the key of the token being built.
#ifndef MATCHLING_INI_STATE_H
#define MATCHLING_INI_STATE_H

#include <cstddef>
#include <cstdint>

#include "tokens/kit.h"
#include "tokens/lexer.h"

constexpr std::size_t kIniKeyPiece = 1024;  // key bytes of a token handed out as one piece
constexpr std::size_t kIniHeld = 64;        // blanks held back inside a token; more are kept in it

// The three readings the module's rows choose by their language.
enum class IniDialect : unsigned char {
    Ini,         // Python's configparser: a line indented deeper than its option continues its value
    Plain,       // .editorconfig: every line stands alone
    Properties,  // Java's java.util.Properties
};

// What the lexer reads next on the line.
enum class IniAt : unsigned char {
    LineStart,  // indentation, then a comment, a header, a key or a continued value
    Owed,       // blank lines owed to a continued value, one "\n" token each
    Key,        // a key, up to its '=' or ':' (properties: a blank too)
    Separator,  // between a key and its value
    Value,      // a value, to its line end
    Header,     // a [section] header, to its line end
    Comment,    // the words of a comment (LexOptions::comments), to its line end
    LineEnd,    // the LineEnd token that ends an entry
    Done,       // the End piece
};

struct IniLexState {
    IniDialect dialect = IniDialect::Ini;
    IniAt at = IniAt::LineStart;
    bool started = false;            // the byte order mark has been looked for
    bool optionOpen = false;         // the last entry was an option with a value: a deeper line continues it
    bool commentLine = false;        // the line is a comment's, whose end is no blank line
    bool closed = false;             // the header being read holds its ']'
    bool trims = true;               // the token's trailing blanks are layout
    std::uint64_t indent = 0;        // blanks before the line's first byte
    std::uint64_t indentLevel = 0;   // of the last option or header line
    std::uint64_t owed = 0;          // blank lines since that option, which a continued value keeps

    // The token being built.
    bool pieceOut = false;           // a piece of it has been handed out
    TokenKind kind = TokenKind::Code;
    TokenPlace place;                // where it starts
    std::size_t used = 0;            // bytes of key in it
    std::size_t held = 0;            // blanks read after its last other byte, not yet in key
    char heldBlanks[kIniHeld];
    char key[kIniKeyPiece + kIniHeld + 16];
};

inline constexpr StateOf<IniLexState> iniState{};

#endif
