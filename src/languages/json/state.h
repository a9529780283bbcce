// The JSON lexer's own state.
#ifndef MATCHLING_JSON_STATE_H
#define MATCHLING_JSON_STATE_H

#include <cstddef>
#include <cstdint>

#include "tokens/lexer.h"

struct JsonLexState {
    bool started = false;  // the first token or layout has been looked at (a byte order mark is skipped there)
};

inline JsonLexState &jsonState(Lexer &lexer)
{
    return languageState<JsonLexState>(lexer);
}

inline const JsonLexState &jsonState(const Lexer &lexer)
{
    return languageState<JsonLexState>(lexer);
}

#endif
