// The Ruby lexer's own state, and the store its start makes: the whole
// source held in memory, so that a heredoc's body, read at the end of its
// opener's line, and a squiggly heredoc's indentation, known only once its
// body is read, are plain looks at the text.
#ifndef MATCHLING_RUBY_STATE_H
#define MATCHLING_RUBY_STATE_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/byte_buffer.h"
#include "tokens/lexer.h"

// A larger source is refused ("too large to compare as Ruby"): the store
// holds the text, a copy of at most as many key bytes and four bytes a line.
constexpr std::size_t kRubyMaxBytes = std::size_t(64) << 20;
constexpr std::size_t kRubyPadding = 16;      // zero bytes kept after the text, for looks ahead and a run's copies of keys
constexpr std::size_t kRubyQueue = 32;        // tokens lexed and not yet handed out (a line's heredoc bodies), a power of 2
constexpr std::size_t kRubyHeredocs = 24;     // heredocs opened on one line (fewer than kRubyQueue)
constexpr std::size_t kRubyLocals = 128;      // slots for local variables' names (a hash set; more than 3/4 full, a name is not known)
constexpr std::size_t kRubyNesting = 16;      // literals nested through "#{...}"
constexpr std::size_t kRubyBlocks = 64;       // blocks open at once (a deeper one is refused)

// The store, owned through Lexer::store.
struct RubyStore : LanguageStore {
    ByteBuffer text;                         // the source as read, kRubyPadding zero bytes after it
    ByteBuffer keys;                         // keys made apart (CR LF made LF, a squiggly heredoc's body)
    std::vector<std::uint32_t> lineStarts;   // the text offset of each line's first byte, then 0xFFFFFFFF
};

// Where a queued token's key is.
enum class RubyKeyIn : unsigned char {
    Text,    // a stretch of the text
    Keys,    // a stretch of RubyStore::keys
    Static,  // a constant string
};

// A token lexed and not yet handed out.
struct RubyToken {
    TokenKind kind = TokenKind::Code;
    RubyKeyIn in = RubyKeyIn::Text;
    bool plain = false;        // its key is a stretch of the text that holds no zero byte
    std::uint32_t at = 0;      // text offset of its first byte
    std::uint32_t end = 0;     // text offset just after its last byte
    std::uint32_t key = 0;     // offset of its key (Text, Keys)
    std::uint32_t length = 0;  // bytes of its key
    const char *fixed = nullptr;  // its key (Static)
};

// A heredoc opened on the line being read, whose body starts on the next.
struct RubyHeredoc {
    std::uint32_t id = 0;      // text offset of its identifier
    std::uint32_t idLength = 0;
    char type = 0;             // '-' (the closing line may be indented), '~' (squiggly) or 0
    bool raw = false;          // quoted with '': no interpolation nor escapes
};

// A literal whose interpolation's code is being read: where it goes on.
struct RubyLiteral {
    char open = 0;             // the delimiter that nests in it (0: none)
    char close = '"';          // its closing delimiter
    unsigned char kind = 0;    // kRubyString, kRubyRegexp or kRubySymbol
    bool label = false;        // a ':' after it makes a label ("key": value)
    int nest = 0;              // open delimiters nested in it
    int braces = 0;            // the braces open outside it, where its "#{" stands
};

constexpr unsigned char kRubyString = 0, kRubyRegexp = 1, kRubySymbol = 2;

// A block open around the scan ("{ ... }" or "do ... end"): the local
// variables first assigned in it are forgotten where it closes.
struct RubyBlock {
    std::uint16_t locals = 0;  // RubyLexState::localCount when it opened
    std::uint16_t opens = 0;   // constructs open inside it that an "end" closes (if, def, begin, ...)
    int braces = -1;           // RubyLexState::braces inside it, for a "{" block; -1: a "do" block
};

struct RubyLexState {
    RubyStore *store = nullptr;  // Lexer::store's
    std::size_t size = 0;        // bytes of the text
    std::size_t pos = 0;         // text offset of the scan
    unsigned state = 1;          // Ruby's lexer state after the last token (kBeg...)
    bool commandStart = true;    // the next token starts a command
    bool spaceSeen = false;      // layout stood before the token being read
    bool finished = false;       // the End piece is next
    bool bareIdent = false;      // the last token is a name that may be a local variable
    std::uint32_t identAt = 0;   // its text offset and length
    std::uint32_t identLength = 0;
    bool blockParams = false;    // inside the |...| of a block: names are local variables
    bool afterBlockOpen = false; // the last token opened a block ("{", "do")
    int defParams = -1;          // the paren depth inside which a def's parameters stand; -1: none
    bool defNoParen = false;     // a def's parameters without parentheses, to the line's end
    bool defName = false;        // the last token is a def's method name
    int parens = 0;              // open parentheses
    std::size_t line = 0;        // the index in lineStarts of the last place's line
    const std::uint32_t *lineStarts = nullptr;  // RubyStore::lineStarts' first
    RubyToken queue[kRubyQueue]; // tokens lexed and not yet handed out
    std::size_t head = 0, count = 0;
    RubyHeredoc heredocs[kRubyHeredocs];  // heredocs whose bodies start on the next line
    std::size_t heredocCount = 0;
    std::uint64_t locals[kRubyLocals];    // hashes of local variables' names (0: a free slot); start clears it
    std::size_t localCount = 0;
    std::uint8_t localOrder[kRubyLocals];  // the slots of locals in the order they were filled
    RubyBlock blocks[kRubyBlocks];        // the blocks open, innermost last
    std::size_t blockCount = 0;
    bool loopCondition = false;  // a while, until or for statement's condition is being read: its "do" opens no block
    int loopParens = 0;          // the parentheses open where it started
    bool endlessDef = false;     // a def's head is being read, whose "=" makes it one without "end"
    int defParens = 0;           // the parentheses open where it started
    unsigned char defHeadNames = 0;  // names in that head outside its parentheses since the last '.' (2: more)
    RubyLiteral literals[kRubyNesting];   // the literals whose interpolations stand open, innermost last
    std::size_t literalCount = 0;
    int braces = 0;              // braces open in the code
    bool wordList = false;       // inside a %w, %W, %i or %I list, its next word at pos
    bool wordInterpolates = false;  // that list's words hold interpolations
    char wordOpen = 0, wordClose = 0;  // its delimiter that nests (0: none), and its closer
    std::size_t wordListAt = 0;  // where it starts
    std::size_t wordsEnd = 0;    // with --comments, the end of the comment whose words pos is among; 0: none
    std::size_t wordsResume = 0; // where the lexer goes on after that comment
};

inline RubyLexState &rubyState(Lexer &lexer)
{
    return languageState<RubyLexState>(lexer);
}

#endif
