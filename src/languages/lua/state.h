// The Lua lexer's own state: the source's first line, the open long bracket
// and a "\z" escape's run of blanks inside a string.
#ifndef MATCHLING_LUA_STATE_H
#define MATCHLING_LUA_STATE_H

#include <cstddef>

#include "tokens/lexer.h"

constexpr std::size_t kLuaLevels = 48;  // most '=' of a long bracket read; a longer run of them is refused

struct LuaLexState {
    bool started = false;      // the byte order mark and the first line have been looked at
    bool firstLine = false;    // the token at pos is a first line that starts with '#', which Lua skips
    bool skipping = false;     // inside a string, after "\z": its blanks and line ends go on
    bool longComment = false;  // the comment at pos is a long one ("--[[", "--[==[")
    std::size_t level = 0;     // '=' between the brackets of the open long string or comment, at most kLuaLevels
};

inline LuaLexState &luaState(Lexer &lexer)
{
    return languageState<LuaLexState>(lexer);
}

#endif
