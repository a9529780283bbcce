// The Rust lexer's own state: raw strings, nested comments, macro groups.
#ifndef MATCHLING_RUST_STATE_H
#define MATCHLING_RUST_STATE_H

#include <cstddef>
#include <cstdint>

#include "tokens/lexer.h"

constexpr std::size_t kRustRawHashes = 255;  // most '#' around a raw string, as rustc allows; more lex as a name and '#'s

struct RustLexState {
    bool started = false;            // the byte order mark and the shebang line are dealt with
    std::size_t hashes = 0;          // '#' after the closing quote of the open raw string, at most kRustRawHashes
    std::uint64_t commentDepth = 0;  // block comments open, nested; two bytes a level, so it cannot overflow
    std::uint64_t depth = 0;         // brackets open: ( [ {
    std::uint64_t groupDepth = 0;    // depth inside the outermost group of a macro call or an attribute; 0 outside
    unsigned char opener = 0;        // 1: the next ( [ { opens such a group; 2: after "macro_rules !", its name first
    bool lastName = false;           // the last token was a name or keyword
    bool lastMacroRules = false;     // it was macro_rules
    bool lastHash = false;           // the last token was '#'
    bool lastDot = false;            // the last token was '.': a number after it is a tuple field
};

inline RustLexState &rustState(Lexer &lexer)
{
    return languageState<RustLexState>(lexer);
}

// imports.cpp: how its imports sort.
extern const ImportRules kRustImports;

#endif
