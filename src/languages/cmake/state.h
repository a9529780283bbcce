// The CMake lexer's own state: where the reading stands in the grammar of
// command invocations, as cmake's parser keeps it.
#ifndef MATCHLING_CMAKE_STATE_H
#define MATCHLING_CMAKE_STATE_H

#include <cstddef>
#include <cstdint>

#include "tokens/lexer.h"

// What the next token may be.
enum class CMakePlace : unsigned char {
    Top,        // a command name (or layout, or the input's end)
    AfterName,  // blanks, then the '(' that opens the arguments
    Arguments,  // an argument, a nested '(' or ')', or the ')' that closes the invocation
};

// How the next argument stands to the token before it, as cmake's parser
// judges it: after a blank or a line end it is separated; right after a
// quoted or unquoted argument or a nested ')' it draws a warning; right
// after a bracket argument or a bracket comment it is an error.
enum class CMakeSeparation : unsigned char { Okay, Warning, Error };

struct CMakeLexState {
    CMakePlace where = CMakePlace::Top;
    CMakeSeparation separation = CMakeSeparation::Okay;
    bool newline = true;        // a line end since the last invocation or bracket comment
    bool started = false;       // the first byte has been looked at (a byte order mark is skipped there)
    bool warned = false;        // the separation mark before the argument at pos is out
    bool markOwed = false;      // a parse error at pos: its mark, then the rest of the input as one token
    std::uint64_t depth = 0;    // nested '(' open in the arguments
    std::size_t equals = 0;     // the '=' of the open bracket argument or bracket comment
};

inline CMakeLexState &cmakeState(Lexer &lexer)
{
    return languageState<CMakeLexState>(lexer);
}

#endif
