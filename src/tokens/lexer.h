// The lexer record and the procedures its parts share.
//
// Reading: the source is read in chunks into raw, and copied from there into
// the window with its backslash-newline splices taken out (C family only); a
// Ctrl-Z byte ends the input. A spliced line feed is remembered as a splice
// record at the window offset where the next line's first byte now stands, so
// that places still count it. Carriage returns stay in the window: a lone one
// is a blank, and the one of a CR LF is dropped where it matters (inside a
// literal; outside, it is a blank at the end of a line).
//
// Scanning: the window always ends in zero bytes, so the scanning loops stop at
// the end without a bound check and then ask whether the input has more. A
// token is handed out as pieces of the window; a token that does not fit in
// the window, or whose key is not one stretch of it (a joined string, a CR LF
// inside a raw string), comes out in several pieces.
//
// Choices beyond the plain lexical rules:
// - splices come out everywhere, inside raw and verbatim strings too;
// - a line feed inside a block comment does not start a line: a '#' after
//   such a comment opens a directive only if no token stands before it on
//   its line; trigraphs are not replaced;
// - C# forms are taken in every C-family source: "=>", "??" and "??=" are
//   tokens (a C# verbatim name "@name" is two); C# raw strings (""") are not
//   recognized, and holes nested deeper than kInterpolationDepth are not tracked;
// - a string literal joins the one before only if it closes on its line; a
//   header name is one token only if its '>' stands within a window;
// - a LineEnd token is counted as a token for the End piece's place;
// - Basic: a " _" continuation needs a blank or the line's start before the
//   underscore; a comment's words are those after its ' or Rem; "&H" and "&O"
//   start numbers.
//
// Sorted includes: each run of #include directives is held in fixed stores of
// kIncludeDirectives directives, kIncludeTokens tokens and kIncludeKeyBytes key
// bytes, and handed out sorted once the run ends. A run longer than that is
// sorted in groups that each fill the stores; a single directive that alone
// does not fit comes out as it stands, ending its group. A group that ends
// because its tokens or key bytes fill a store (not its directive count)
// depends on the order the directives are read in, so a sorted copy of such a
// run can be grouped differently.
#ifndef MATCHLING_LEXER_H
#define MATCHLING_LEXER_H

#include <cstddef>
#include <cstdint>

#include "tokens/tokens.h"

constexpr std::size_t kLexReadSize = 65536;      // bytes per read from the source
constexpr std::size_t kLexWindowSize = 65536;    // translated bytes the window holds
constexpr std::size_t kLexLookahead = 64;        // bytes a decision may look past its start
constexpr std::size_t kLexPadding = kLexLookahead;  // zero bytes kept after the window's end
constexpr std::size_t kLexSplices = 8192;        // splice records the window holds (more than kLexLookahead)
constexpr std::size_t kRawDelimiter = 16;        // longest delimiter of a raw string
constexpr std::size_t kInterpolationDepth = 16;  // nested holes and literals inside a C# interpolated string
constexpr std::size_t kIncludeDirectives = 256;  // #include directives sorted as one group
constexpr std::size_t kIncludeTokens = 4096;     // tokens of the directives of one group
constexpr std::size_t kIncludeKeyBytes = 65536;  // key bytes of the tokens of one group
constexpr std::size_t kNoSplice = static_cast<std::size_t>(-1);  // no splice record left to count

// What the next call of the lexer goes on with.
enum class LexMode : unsigned char {
    Between,       // between tokens
    Name,          // inside a run of name bytes that belongs to the current token
    Number,        // inside a pp-number (C family) or a number (Basic)
    Quoted,        // inside an ordinary string or character literal
    Gap,           // after a string literal that another may join
    Raw,           // inside a raw string
    Verbatim,      // inside a C# verbatim string
    Interpolated,  // inside a C# interpolated string
    BlockComment,  // between the words of a block comment
    LineComment,   // between the words of a line comment
    Word,          // inside a comment word
    Finished,      // the End piece has been given
};

// Which directive the current line is (C family).
enum class Directive : unsigned char {
    None,     // not a directive line
    Other,    // a directive not named below
    Define,   // #define
    Include,  // #include, #include_next or #import
};

// One frame of the scan of a C# interpolated string.
enum class InterpolationFrame : unsigned char {
    Text,          // the text of $"..."
    VerbatimText,  // the text of $@"..." or @$"..."
    Hole,          // a {...} hole
    String,        // a "..." inside a hole
    VerbatimString,  // a @"..." inside a hole
    Character,     // a '...' inside a hole
};

// A splice: line feeds taken out before the window byte at offset.
struct SpliceRecord {
    std::size_t offset = 0;  // window offset of the byte after the splices
    std::int64_t count = 0;  // line feeds taken out there
};

// One token held by the sorted-include stores.
struct HeldToken {
    TokenKind kind = TokenKind::Code;
    bool whole = true;         // all its pieces are held
    TokenPlace place;
    std::size_t offset = 0;    // where its key starts in the key store
    std::size_t length = 0;    // bytes of its key
};

// One held directive: a stretch of held tokens.
struct HeldDirective {
    std::size_t firstToken = 0;  // index of its first held token
    std::size_t tokenCount = 0;  // its held tokens, LineEnd included once it is complete
};

// What the sorted-include layer is doing.
enum class IncludePhase : unsigned char {
    Passing,     // handing out the lexer's pieces as they come
    Collecting,  // holding a run of #include directives
    Emitting,    // handing out the held directives in sorted order
    Through,     // handing out the rest of a directive too long to hold
};

struct IncludeSorter {
    IncludePhase phase = IncludePhase::Passing;
    char keys[kIncludeKeyBytes];              // the held tokens' keys, back to back
    std::size_t keyUsed = 0;                  // bytes of keys in use
    HeldToken tokens[kIncludeTokens];         // the held tokens in the order read
    std::size_t tokenCount = 0;               // entries of tokens in use
    HeldDirective directives[kIncludeDirectives + 1];  // the held directives in the order read, and an open one
    std::size_t directiveCount = 0;           // complete directives held
    bool directiveOpen = false;               // a directive after the complete ones is being held
    std::uint16_t order[kIncludeDirectives];  // directive indexes in the order they go out
    std::size_t emitDirective = 0;            // position in order being handed out
    std::size_t emitToken = 0;                // token of that directive being handed out
    std::size_t emitLimit = 0;                // directives to hand out (sorted), then the open one as it stands
    bool openAfter = false;                   // after the sorted ones, hand out the open directive's tokens
    IncludePhase afterEmission = IncludePhase::Passing;  // the phase once the held directives are out
    bool pendingInclude = false;              // hash and the waiting piece open an include directive to hold
    TokenPiece waiting;                       // a piece taken from the lexer that still has to go out
    bool hasWaiting = false;                  // waiting holds one
    TokenPiece hash;                          // a held '#' that opens a directive, to go out before waiting
    char hashKey[4];                          // the key of that '#' or "%:"
    bool hasHash = false;                     // hash holds one
};

// What each language's lexer keeps beyond the shared fields; each is reset by
// that lexer's start procedure.
struct PythonLexState {
    int unused = 0;
};

constexpr std::size_t kGoBracketDepth = 256;  // brackets whose kind a Go lexer tracks; deeper ones are
                                              // taken as composite-literal braces and call parentheses

// What the token before the current one was, as far as Go's rules ask.
enum class GoPrev : unsigned char {
    Start,         // nothing yet
    Operand,       // a name that is no keyword, or a literal
    Semicolon,     // a ';', written or inserted
    Colon,         // ':'
    OpenBrace,     // '{'
    Close,         // ')' or '}'
    CloseSquare,   // ']'
    KeyStruct,     // struct or interface: a '{' after it opens a field list
    KeyBody,       // else, for, select or switch: a '{' after it opens a block
    KeyGroup,      // import, const, var or type: a '(' after it opens a group
    KeyType,       // chan
    KeyOther,      // any other keyword
    Other,         // any other operator or byte
};

// What an open Go bracket is; a semicolon may be left out before the closing
// ')' of a Group and the closing '}' of a Block only.
enum class GoBracket : unsigned char {
    Block,    // a block, struct or interface body: a list of statements or fields
    Literal,  // a composite literal's braces
    Group,    // an import, const, var or type group
    Paren,    // any other parenthesis
    Square,   // a bracket
};

// A '{' awaited at one bracket level.
enum class GoHeader : unsigned char {
    None,     // none
    Control,  // after if, for or switch: its block, unless a composite literal with a type of [...], map or struct comes first
    Func,     // after func: its body
};

// One bracket level of a Go source: the file's, or one open bracket's.
struct GoLevel {
    GoBracket bracket = GoBracket::Block;
    GoHeader header = GoHeader::None;
    GoHeader outer = GoHeader::None;  // a Control header that a func literal's Func header interrupts
    bool typeSeen = false;            // a Control header holds a [...], map or struct type that may start a literal
};

struct GoLexState {
    bool insertSemi = false;   // the last token takes a semicolon at a line end
    std::int64_t semiLine = 0; // the line where that token ends
    bool semiPlaced = false;   // semiPlace holds where the inserted semicolon stands
    TokenPlace semiPlace;      // the first line end or comment after that token
    bool held = false;         // a ';' or ',' waits for the next token, which may drop it
    const char *heldKey = ";"; // which: ";" or ","
    TokenPlace heldPlace;      // where it stands
    GoPrev prev = GoPrev::Start;
    GoLevel levels[kGoBracketDepth + 1];  // [0] the file's, then one per open bracket
    std::size_t depth = 0;     // open brackets tracked in levels
    std::size_t untracked = 0; // open brackets beyond kGoBracketDepth
    int numberPhase = 0;       // where a paused number stands (go_lexer.cpp)
    int numberBase = 10;       // its base: 2, 8, 10 or 16
};

struct RustLexState {
    int unused = 0;
};

struct JavaLexState {
    int unused = 0;
};

struct JsonLexState {
    bool started = false;  // the first token or layout has been looked at (a byte order mark is skipped there)
};

struct ScriptLexState {
    int unused = 0;
};

struct Lexer {
    // The source.
    SourceStream *source = nullptr;
    Language language = Language::CFamily;
    LexOptions options;
    bool anyByte = false;                     // a byte was read before the end or a Ctrl-Z

    // Bytes as read.
    char raw[kLexReadSize];
    std::size_t rawPos = 0;                   // first byte of raw not yet copied to the window
    std::size_t rawEnd = 0;                   // bytes of raw read
    bool rawEnded = false;                    // the source ended or a Ctrl-Z was read

    // The window of translated bytes, kLexPadding zero bytes after its end.
    char window[kLexWindowSize + kLexPadding];
    std::size_t pos = 0;                      // scan position
    std::size_t end = 0;                      // bytes in the window
    bool ended = false;                       // no byte follows the window's end
    std::int64_t base = 0;                    // translated offset of window[0] in the whole source
    SpliceRecord splices[kLexSplices];        // splices at or after the window's start, in order
    std::size_t spliceNext = 0;               // first record whose line feeds are not yet counted
    std::size_t spliceCount = 0;              // records in use
    std::size_t spliceAt = kNoSplice;         // offset of record spliceNext; kNoSplice when none is left

    // Places.
    std::int64_t line = 1;                    // line of the scan position
    std::int64_t lineStart = 0;               // translated offset where that line starts
    TokenPlace endPlace;                      // just after the last byte of the last token
    std::int64_t endOffset = -1;              // translated offset of endPlace; -1 before any token

    // The token being handed out.
    LexMode mode = LexMode::Between;
    TokenKind kind = TokenKind::Code;
    TokenPlace place;                         // where it starts
    std::size_t pieceStart = 0;               // window offset of the piece not yet handed out
    bool firstPiece = true;                   // the next piece starts the token
    bool lineHasToken = false;                // a token stands on the line already (Basic: a statement is open)
    bool statementStart = true;               // Basic: the next token starts a statement
    bool splitGreater = false;                // the next '>' is the second half of a ">>"
    bool commentIsBlock = false;              // the open comment is a block comment
    bool commentLineStart = false;            // at the start of a block comment line after its first

    // Literals.
    char quote = '"';                         // the closing quote of the ordinary literal
    char previous = 0;                        // the byte before pos inside a paused number
    bool joinable = false;                    // the literal is a string that others may join
    bool joinFirst = true;                    // it is the first literal of its token
    char prefix[2] = {0, 0};                  // the encoding prefix of the first literal
    std::size_t prefixLength = 0;             // bytes of prefix
    char delimiter[kRawDelimiter];            // the raw string's delimiter
    std::size_t delimiterLength = 0;          // bytes of delimiter
    InterpolationFrame frames[kInterpolationDepth];  // the interpolated string's open frames
    std::uint16_t braces[kInterpolationDepth];       // unmatched '{' in each hole frame
    std::size_t frameCount = 0;               // frames in use

    // Directives (C family).
    Directive directive = Directive::None;
    int directiveTokens = 0;                  // tokens of the directive so far, '#' included
    int tokenIndex = 0;                       // index of the current token in its directive
    bool opensDirective = false;              // the current token is the '#' that opens a directive

    IncludeSorter sorter;                     // only with LexOptions::sortedIncludes

    // Each language's own state.
    PythonLexState python;
    GoLexState go;
    RustLexState rust;
    JavaLexState java;
    JsonLexState json;
    ScriptLexState script;
};

// Byte classes.
enum ByteClass : std::uint16_t {
    kBlank = 1 << 0,          // space, tab, vertical tab, form feed, carriage return
    kNameC = 1 << 1,          // a byte of a C-family name: letter, digit, '_', '$', or >= 0x80
    kNameB = 1 << 2,          // a byte of a Basic name: letter, digit, '_', or >= 0x80
    kDigit = 1 << 3,          // '0' to '9'
    kDot = 1 << 4,            // '.'
    kQuotedStop = 1 << 5,     // ends a plain run in an ordinary literal: quotes, '\\', LF, CR, NUL
    kCommentStop = 1 << 6,    // ends a plain run in a block comment: '*', LF, NUL
    kWordStop = 1 << 7,       // ends a comment word: blanks, LF, '*', NUL
    kRawStop = 1 << 8,        // ends a plain run in a raw string: ')', LF, CR, NUL
    kVerbatimStop = 1 << 9,   // ends a plain run in a verbatim or Basic string: '"', LF, CR, NUL
    kSolo = 1 << 10,          // a C-family punctuator of one byte whatever follows: ( ) [ ] { } ; , ~
    kPrefix = 1 << 11,        // may start a literal prefix or a C# string: L u U R $
};

extern const std::uint16_t kByteClass[256];

inline std::uint16_t byteClass(char c)
{
    return kByteClass[static_cast<unsigned char>(c)];
}

// How a scan of a token stretch stopped.
enum class Step : unsigned char {
    Done,          // the stretch is complete
    Unterminated,  // a literal ended at a line end or the input's end without its closing quote
    Paused,        // the window ends before the stretch does: hand out a piece first
};

// What skipping layout stopped at.
enum class Stop : unsigned char {
    Token,         // the first byte of a token
    DirectiveEnd,  // the line feed that ends a directive (C) or a statement (Basic)
    Comment,       // a comment whose words are tokens
    InputEnd,      // the end of the input
};

// lexer.cpp: reading and places.

// Moves the window's bytes from keep on to its start and fills the rest from
// the source; counts the lines of the splices before keep.
void refill(Lexer &lexer, std::size_t keep);

// Makes n bytes after pos readable, or all that remain, keeping the current
// piece from pieceStart on. False when the piece leaves no room for them.
bool ensureAhead(Lexer &lexer, std::size_t n);

// Counts the line feed at window offset at.
inline void newLine(Lexer &lexer, std::size_t at)
{
    ++lexer.line;
    lexer.lineStart = lexer.base + static_cast<std::int64_t>(at) + 1;
}

// Counts the lines of the splice records before window offset limit.
void applySplices(Lexer &lexer, std::size_t limit);

// The place of the byte at window offset at, everything before it scanned.
inline TokenPlace placeAt(Lexer &lexer, std::size_t at)
{
    if (lexer.spliceAt <= at)
        applySplices(lexer, at + 1);
    return {lexer.line, lexer.base + static_cast<std::int64_t>(at) - lexer.lineStart + 1};
}

// Records that the last token ends just before window offset at.
inline void markEnd(Lexer &lexer, std::size_t at)
{
    if (lexer.spliceAt < at)
        applySplices(lexer, at);
    lexer.endOffset = lexer.base + static_cast<std::int64_t>(at);
    lexer.endPlace = {lexer.line, lexer.endOffset - lexer.lineStart + 1};
}

// Starts a token of kind at pos: its place, its first piece.
inline void beginToken(Lexer &lexer, TokenKind kind)
{
    lexer.kind = kind;
    lexer.place = placeAt(lexer, lexer.pos);
    lexer.pieceStart = lexer.pos;
    lexer.firstPiece = true;
}

// Fills piece with the window bytes [from, to) of the current token.
inline void setPiece(Lexer &lexer, TokenPiece &piece, std::size_t from, std::size_t to, bool last)
{
    piece.kind = lexer.kind;
    piece.first = lexer.firstPiece;
    piece.last = last;
    piece.place = lexer.place;
    piece.bytes = lexer.window + from;
    piece.length = to - from;
    lexer.firstPiece = last;
}

// Hands out the current piece up to window offset at, less its last byte,
// not the token's last; the scan goes on from at next time. False when there
// is nothing to hand out.
bool pauseAt(Lexer &lexer, TokenPiece &piece, std::size_t at);

// Hands out the current token's last piece, which ends at pos; the lexer goes
// on between tokens.
inline void finishToken(Lexer &lexer, TokenPiece &piece)
{
    setPiece(lexer, piece, lexer.pieceStart, lexer.pos, true);
    markEnd(lexer, lexer.pos);
    lexer.pieceStart = lexer.pos;
    lexer.mode = LexMode::Between;
}

// Fills piece with a whole token of kind with key text at place.
void setWholePiece(Lexer &lexer, TokenPiece &piece, TokenKind kind, const char *text, TokenPlace place);

// Hands out the End piece, and again on every later call.
void finishStream(Lexer &lexer, TokenPiece &piece);

// Goes on with the words of the comment open at pos; true when piece is filled.
bool commentStep(Lexer &lexer, TokenPiece &piece);

// Goes on with the comment word open at pos; true when piece is filled.
bool wordStep(Lexer &lexer, TokenPiece &piece);

// c_lexer.cpp, basic_lexer.cpp, sorted_includes.cpp: the next piece of a
// C-family source, of a Basic source, of a C-family source with sorted
// includes.
void cNext(Lexer &lexer, TokenPiece &piece);
void basicNext(Lexer &lexer, TokenPiece &piece);
void sortedNext(Lexer &lexer, TokenPiece &piece);

// One file each: the start (resetting the language's own state, after the
// shared fields are reset) and the next piece of each other language.
void pythonStart(Lexer &lexer);
void pythonNext(Lexer &lexer, TokenPiece &piece);
void goStart(Lexer &lexer);
void goNext(Lexer &lexer, TokenPiece &piece);
void rustStart(Lexer &lexer);
void rustNext(Lexer &lexer, TokenPiece &piece);
void javaStart(Lexer &lexer);
void javaNext(Lexer &lexer, TokenPiece &piece);
void jsonStart(Lexer &lexer);
void jsonNext(Lexer &lexer, TokenPiece &piece);
void scriptStart(Lexer &lexer);
void scriptNext(Lexer &lexer, TokenPiece &piece);

// Resets the sorted-include layer for a new source.
void sorterStart(IncludeSorter &sorter);

#endif
