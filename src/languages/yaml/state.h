// The YAML lexer's own state: where it stands in the tokens its first piece
// made of the whole source (held in the lexer's LanguageStore).
#ifndef MATCHLING_YAML_STATE_H
#define MATCHLING_YAML_STATE_H

#include <cstddef>

#include "tokens/lexer.h"

struct YamlLexState {
    bool read = false;      // the source has been read and parsed into the store
    std::size_t next = 0;   // the next token of the store to hand out
};

inline YamlLexState &yamlState(Lexer &lexer)
{
    return languageState<YamlLexState>(lexer);
}

#endif
