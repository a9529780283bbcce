// The GraphQL lexer's own state: what the tokens so far leave for an optional
// leading '|' or '&', and where a block string held in the window stands.
#ifndef MATCHLING_GRAPHQL_STATE_H
#define MATCHLING_GRAPHQL_STATE_H

#include <cstddef>
#include <cstdint>

#include "tokens/lexer.h"

// Where the head of a definition stands, as far as a leading '|' (of a
// union's members or a directive's locations) or '&' (of the interfaces an
// object or interface type implements) may follow; such a delimiter is
// optional, and is layout right there.
enum class GraphqlHead : unsigned char {
    None,
    Type,           // after "type" or "interface" outside brackets
    TypeName,       // and its name
    Implements,     // and "implements": a '&' next is layout
    Directive,      // after "directive" outside brackets
    DirectiveAt,    // and '@'
    DirectiveName,  // and its name
    DirectiveArgs,  // inside its arguments' parentheses
    DirectiveDone,  // after them
    Repeatable,     // after "repeatable"
    On,             // after its "on": a '|' next is layout
    Equals,         // after a '=' outside brackets (a union's): a '|' next is layout
};

// Where a block string held whole in the window is being handed out.
enum class BlockPhase : unsigned char {
    Line,   // the start of the next kept line
    Text,   // inside it
    Break,  // the line feed before the next kept line
    Close,  // the closing quote of the key
};

struct GraphqlLexState {
    GraphqlHead head = GraphqlHead::None;  // what the tokens so far leave
    std::uint32_t depth = 0;               // open brackets, braces and parentheses
    // A block string held whole in the window (LexMode::Raw).
    BlockPhase phase = BlockPhase::Line;
    std::size_t blockOpen = 0;             // window offset of its opening quotes
    std::size_t blockLine = 0;             // window offset of the next byte to hand out
    std::size_t blockLast = 0;             // window offset of the start of the last kept line
    std::size_t blockClose = 0;            // window offset of the closing quotes
    std::size_t blockIndent = 0;           // bytes of common indentation taken from lines after the first
    // The rest of the source as one token (LexMode::Verbatim).
    const char *restMark = "";             // the key's last byte after the source's bytes
    // An escape's value (UTF-8), handed out as a piece of a string's key.
    char escape[4] = {0, 0, 0, 0};
};

inline GraphqlLexState &graphqlState(Lexer &lexer)
{
    return languageState<GraphqlLexState>(lexer);
}

inline const GraphqlLexState &graphqlState(const Lexer &lexer)
{
    return languageState<GraphqlLexState>(lexer);
}

#endif
