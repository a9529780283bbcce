// The HCL lexer's own state: the brackets, templates and heredocs open, what
// the tokens of the open body item or object element leave for a line end,
// and the markers of the open heredocs.
#ifndef MATCHLING_HCL_STATE_H
#define MATCHLING_HCL_STATE_H

#include <cstddef>
#include <cstdint>

#include "tokens/lexer.h"

constexpr std::size_t kHclNesting = 1024;      // brackets, templates and heredocs open at once; deeper is refused
constexpr std::size_t kHclHeredocs = 32;       // heredocs open at once (one in another's template); more is refused
constexpr std::size_t kHclMarker = 128;        // bytes of a heredoc's marker; a longer one is refused
constexpr std::size_t kHclMarkerBytes = 1024;  // bytes of the markers of the open heredocs

// What an open bracket, template or heredoc is; the source's own body,
// outside all of them, reads as a block's.
enum class HclFrame : unsigned char {
    Block,      // a block's body: a line end ends each attribute and block
    Paren,      // ( ): line ends are layout
    Tuple,      // [ ]: line ends are layout
    Object,     // an object constructor { }: a line end or a comma separates its elements
    ForObject,  // { for ... }: line ends are layout
    Interp,     // ${ } in a template
    Directive,  // %{ } in a template
    Quoted,     // a quoted template "..."
    Heredoc,    // a heredoc's template
};

// A token that the layout before the next one stands for, handed out only
// where the next token is no closing brace (or no end of the input).
enum class HclPending : unsigned char {
    None,
    LineEnd,    // the line end that ends a body's attribute or block
    Separator,  // a comma or line end between an object's elements, as ","
};

// How a heredoc's lines read.
enum class HclStrip : unsigned char {
    AsWritten,  // <<: as written
    Indent,     // <<-: the least indentation of its lines taken from each
    Raw,        // <<- whose indentation this lexer cannot measure: as written, its opener marked
};

struct HclHeredoc {
    std::uint16_t marker = 0;   // offset of its marker in HclLexState::markers
    std::uint16_t length = 0;   // bytes of its marker
    HclStrip strip = HclStrip::AsWritten;
    bool lineStart = true;      // its text goes on at a line's start, where the marker may close it
    std::uint32_t indent = 0;   // bytes of indentation taken from each line but blank ones (Indent)
};

struct HclLexState {
    bool started = false;     // the byte order mark has been looked for
    bool lineOpen = false;    // a token stands in the innermost body since its last line end
    bool seenEquals = false;  // the body's open item has its '=': a '{' there opens an object
    bool itemOpen = false;    // the innermost object has a token since its '{' or its last separator
    bool justOpened = false;  // the last token opened an object ("for" next makes it a for expression)
    unsigned char numberPart = 0;  // of the open number: 0 its digits, 1 its fraction, 2 its exponent
    HclPending pending = HclPending::None;
    std::uint32_t depth = 0;       // frames open
    std::uint32_t heredocs = 0;    // heredocs open
    std::uint32_t markerUsed = 0;  // bytes of markers in use
    char opener[kHclMarker + 8];   // the key of a heredoc's opening token
    char markers[kHclMarkerBytes];
    HclHeredoc heredoc[kHclHeredocs];
    HclFrame frames[kHclNesting];
};

inline HclLexState &hclState(Lexer &lexer)
{
    return languageState<HclLexState>(lexer);
}

#endif
