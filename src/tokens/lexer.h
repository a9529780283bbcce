// The lexer record and the procedures its parts share.
//
// Reading: the source is read in chunks into raw, and copied from there into
// the window with its backslash-newline splices taken out where the
// language's hooks ask for it (the C family: a splice may have blanks between
// its backslash and its line end, as GCC and Clang read it); a Ctrl-Z byte
// ends the input. A backslash followed by more
// blanks than raw holds goes into the window as name bytes (lexer.cpp), a
// difference from any splice. A spliced line feed is remembered as a splice
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
// Each language's own rules and choices are its module's (languages/NAME/).
//
// Sorted imports: each run of import declarations (of the forms a language's
// import rules give, sorted_imports.h) is held
// in fixed stores of kIncludeDirectives declarations, kIncludeTokens tokens
// and kIncludeKeyBytes key bytes, and handed out sorted once the run ends.
// A run longer than that is sorted in groups that each fill the stores; a
// single declaration that alone does not fit comes out as it stands, ending
// its group. A group that ends because its tokens or key bytes fill a store
// (not its declaration count) depends on the order the declarations are read
// in, so a sorted copy of such a run can be grouped differently; a form can
// avoid that with a smaller group and a cap on each declaration
// (ImportForm).
#ifndef MATCHLING_LEXER_H
#define MATCHLING_LEXER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>

#include "tokens/tokens.h"

constexpr std::size_t kLexReadSize = 65536;      // bytes per read from the source
constexpr std::size_t kLexWindowSize = 65536;    // translated bytes the window holds
constexpr std::size_t kLexLookahead = 64;        // bytes a decision may look past its start
constexpr std::size_t kLexPadding = kLexLookahead;  // zero bytes kept after the window's end
constexpr std::size_t kLexSplices = 8192;        // splice records the window holds (more than kLexLookahead)
constexpr std::size_t kIncludeDirectives = 256;  // import declarations sorted as one group
constexpr std::size_t kIncludeTokens = 4096;     // tokens of the declarations of one group
constexpr std::size_t kIncludeKeyBytes = 65536;  // key bytes of the tokens of one group
constexpr std::size_t kUseNesting = 16;          // nested {...} of one declaration whose names sort; deeper ones stay as read
constexpr std::size_t kNoSplice = static_cast<std::size_t>(-1);  // no splice record left to count
constexpr std::size_t kLexStateBytes = 4096;     // bytes of the one language's own lexer state
constexpr std::size_t kLexRefusalBytes = 96;     // bytes of a refusal's reason, terminator included

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
    Line,          // inside a token that runs to its line's end (lineTokenStep)
    Finished,      // the End piece has been given
};

// A splice: line feeds taken out before the window byte at offset.
struct SpliceRecord {
    // No initializers: a lexer's records are written before they are read,
    // and its constructor leaves their pages untouched.
    std::size_t offset;  // window offset of the byte after the splices
    std::int64_t count;  // line feeds taken out there
    bool blanks;         // some of them had blanks between the backslash and the line end, or were no
                         // splice at all (a backslash and blanks too many for raw, copied as name bytes)
};

// One token held by the sorted-import stores.
struct HeldToken {
    TokenKind kind = TokenKind::Code;
    bool whole = true;         // all its pieces are held
    TokenPlace place;
    std::size_t offset = 0;    // where its key starts in the key store
    std::size_t length = 0;    // bytes of its key
    TokenPlace end;            // where it ends in the source, once whole (TokenPiece::end)
};

// One held declaration: a stretch of held tokens.
struct HeldDirective {
    std::size_t firstToken = 0;  // index of its first held token
    std::size_t tokenCount = 0;  // its held tokens, its last (LineEnd or ';') included once it is complete
};

// What the sorted-import layer is doing.
enum class IncludePhase : unsigned char {
    Passing,     // handing out the lexer's pieces as they come
    Collecting,  // holding a run of declarations
    Emitting,    // handing out the held declarations in sorted order
    Through,     // handing out the rest of a declaration too long to hold
};

struct ImportForm;  // sorted_imports.h: one kind of import declaration, a module's
// Where the previous token leaves the next one.
enum class ImportPlace : unsigned char {
    Start,  // at the start of a statement or item (or of the source)
    Paren,  // just after a '('
    Other,  // anywhere else
};

struct ImportRules;  // sorted_imports.h: how one language's imports sort

// Where a sorter takes its pieces from: a language's own next procedure.
using LexerNext = void (*)(Lexer &lexer, TokenPiece &piece);

// What the shared layer drives a language's lexer by: one record per
// module, named by its row of the language table.
struct LexerHooks {
    void (*start)(Lexer &lexer);  // makes the language's state, after the shared fields are reset; nullptr: none
    LexerNext next;               // the next piece
    // Whole plain tokens a block at a time (see lexerRun); nullptr when the
    // language has no such runs.
    std::size_t (*run)(Lexer &lexer, QuickToken *out, std::size_t max, std::size_t keyBytes);
    const ImportRules *imports;   // how its imports sort; nullptr when they do not
    bool splices;                 // backslash-newline splices are taken out as the source is read
    // Whether a first line "#!..." whose '#' stands at window offset at (0,
    // or 3 after a byte order mark) is the line a Unix kernel reads to run
    // the file, handed out as one token before the module's first piece
    // (hashBangStep); nullptr when the language reads "#!" as its own tokens
    // (or its module reads the line itself, as one reading a whole source).
    bool (*hashBang)(const Lexer &lexer, std::size_t at);
    // The content test: true when a source whose first length bytes are text
    // (all of it, when shorter than the look the table takes) is of the
    // language, for the endings that other kinds of file share; nullptr when
    // the module has none.
    bool (*confirms)(const char *text, std::size_t length) = nullptr;
};

// What the sorter noted of a piece when it took it from the lexer.
struct PieceFacts {
    bool start = false;      // a declaration may open here
    bool directive = false;  // it opens a directive, whose tokens leave the statements around it as they are
    bool marked = false;     // the lexer marks it for the grammar of a declaration (ImportRules::facts)
};

// The scan of the open declaration, which its form's grammar keeps.
struct ImportScan {
    int state = 0;      // where the grammar stands
    int nest = 0;       // brackets open inside it
    bool name = false;  // its last token is a name
};

// The source around the pieces, as of the next piece from the lexer.
struct ImportScope {
    std::uint32_t depth = 0;      // open brackets, braces and parentheses
    std::uint32_t openDepth = 0;  // of those, the outer ones inside which declarations stand (namespaces, blocks)
    ImportPlace previous = ImportPlace::Start;  // what the last token leaves
    bool inDirective = false;     // inside a directive: not counted
    alignas(std::uint32_t) unsigned char own[16];  // the language's own facts (importScopeOwn)
};

// What a language notes of a code token for the shared scope.
struct ImportScopeStep {
    bool holds = false;  // a '{' here opens a body in which declarations stand
    bool start = false;  // the next token stands where a statement starts
};

struct IncludeSorter {
    const ImportRules *rules = nullptr;       // the language's rules; nullptr until the first piece
    LexerNext next = nullptr;               // where pieces come from
    IncludePhase phase = IncludePhase::Passing;
    char keys[kIncludeKeyBytes];              // the held tokens' keys, back to back
    std::size_t keyUsed = 0;                  // bytes of keys in use
    HeldToken tokens[kIncludeTokens];         // the held tokens in the order read (a declaration's groups sorted)
    std::size_t tokenCount = 0;               // entries of tokens in use
    HeldDirective directives[kIncludeDirectives + 1];  // the held declarations in the order read, and an open one
    std::size_t directiveCount = 0;           // complete declarations held
    bool directiveOpen = false;               // a declaration after the complete ones is being held
    const ImportForm *form = nullptr;         // the kind of the held declarations
    std::uint16_t order[kIncludeDirectives];  // declaration indexes in the order they go out
    std::size_t emitDirective = 0;            // position in order being handed out
    std::size_t emitToken = 0;                // token of that declaration being handed out
    std::size_t emitLimit = 0;                // declarations to hand out (sorted), then the open one as it stands
    bool openAfter = false;                   // after the sorted ones, hand out the open declaration's tokens
    IncludePhase afterEmission = IncludePhase::Passing;  // the phase once the held declarations are out
    std::uint32_t unitPrint = 0;              // a fingerprint of the open declaration's tokens as read
    std::uint32_t runPrint = 0;               // of the complete declarations held, as read
    bool reordered = false;                   // the names of a held declaration's {...} were sorted
    RewriteNote runNote;                      // the note of the run being handed out, for its first token
    TokenPiece waiting;                       // a piece taken from the lexer that still has to go out
    PieceFacts waitingFacts;                  // what was noted of it
    bool hasWaiting = false;                  // waiting holds one
    ImportScan scan;                          // of the open declaration
    ImportScope scope;                        // of the source around the pieces
};

// Heap storage a language's start makes beyond its fixed state (a module
// that reads a whole source through a library holds what it read there).
// The lexer owns it: the next start and the lexer's end free it.
struct LanguageStore {
    virtual ~LanguageStore() = default;
};

struct Lexer {
    // The source.
    SourceStream *source = nullptr;
    Language language = Language::CFamily;
    const LexerHooks *hooks = nullptr;        // the language's module
    LexOptions options;
    bool anyByte = false;                     // a byte was read before the end or a Ctrl-Z
    unsigned char hashBang = 0;               // 1: a first "#!" line is looked for before the module's first
                                              // piece; 2: that line's token is being handed out; 0: neither

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
    bool spliceOverflow = false;              // a backslash and blanks filled raw: copying them as name bytes

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
    TokenPlace commentPlace;                  // where the open block comment starts
    bool commentUnclosed = false;             // the input ended inside the block comment at commentPlace

    // Literals.
    char quote = '"';                         // the closing quote of the ordinary literal
    char previous = 0;                        // the byte before pos inside a paused number
    char prefix[2] = {0, 0};                  // the encoding prefix of the first literal
    std::size_t prefixLength = 0;             // bytes of prefix

    // Input the language's grammar rejects (rejectInput): the stream ends
    // there, and no verdict on it stands (rejectedInput,
    // compare/token_compare.h).
    bool rejects = false;                     // the language's lexer may reject input (its start sets it)
    const char *rejectedAs = nullptr;         // the language's name for it ("TOML"); nullptr while none
    TokenPlace rejectedAt;                    // where the grammar gave up

    // The sorted-import layer, made at the first start that asks for it
    // (LexOptions::sortedIncludes in a language whose imports sort), so that
    // other runs never touch its stores.
    std::unique_ptr<IncludeSorter> sorter;
    bool sorting = false;                     // pieces go through sorter

    // The language's heap storage, when its start makes any (a whole document
    // and its tokens), freed when the lexer starts again or is destroyed.
    std::unique_ptr<LanguageStore> store;

    // Why the source cannot be compared as its language (it does not parse,
    // or is too large for the module); empty when it can (refuseSource). A
    // module that refuses its source hands out the End piece, and the run
    // counts the pair as failed.
    char refusal[kLexRefusalBytes] = {};

    // The state of the one language in use, which its module alone reads
    // (languageState) and its start procedure makes (startLanguageState).
    alignas(std::max_align_t) unsigned char state[kLexStateBytes];
};

// The state of type State that lexer's language keeps beyond the shared
// fields. Each module checks at compile time that its state fits.
template <typename State>
State &languageState(Lexer &lexer)
{
    static_assert(sizeof(State) <= kLexStateBytes, "a language's lexer state must fit Lexer::state");
    static_assert(alignof(State) <= alignof(std::max_align_t), "a language's lexer state must fit Lexer::state");
    return *std::launder(reinterpret_cast<State *>(lexer.state));
}

template <typename State>
const State &languageState(const Lexer &lexer)
{
    return languageState<State>(const_cast<Lexer &>(lexer));
}

// Makes a fresh State in lexer's state storage: its members with initializers
// set, the others (large arrays its start resets as needed) left as they are.
template <typename State>
State &startLanguageState(Lexer &lexer)
{
    (void)languageState<State>(lexer);  // the size checks
    return *new (lexer.state) State;
}

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

// Drops the carriage return of a CR LF at window offset i from the current
// token's key, handing out the piece before it when there is one. True when
// piece is filled; the scan goes on from pos either way.
bool dropReturn(Lexer &lexer, TokenPiece &piece, std::size_t i);

// Hands out the End piece, and again on every later call. Before it, when the
// input ended inside a block comment, a token "/*" at the comment's start: a
// comment that never closes is no layout, and a source whose comment closes
// never equals one whose comment does not.
void finishStream(Lexer &lexer, TokenPiece &piece);

// Opens the comment at pos ("//" or "/*") whose words are tokens.
void openComment(Lexer &lexer);

// Skips a "/* */" comment that starts at pos, counting its line feeds; pos
// ends after its "*/" or at the input's end.
void skipBlockComment(Lexer &lexer);

// Skips a comment that runs to its line's end from pos ("//", "#", "--":
// an opener of any bytes but a line feed); pos ends at its line feed or at
// the input's end.
void skipLineComment(Lexer &lexer);

// Goes on with the words of the comment open at pos; true when piece is filled.
bool commentStep(Lexer &lexer, TokenPiece &piece);

// Goes on with the comment word open at pos; true when piece is filled.
bool wordStep(Lexer &lexer, TokenPiece &piece);

// The same, but that a byte stop for which ends(lexer, at) holds, with
// kLexLookahead bytes readable from at, ends the word too (a directive's
// start inside a comment).
bool wordStepUntil(Lexer &lexer, TokenPiece &piece, char stop, bool (*ends)(Lexer &lexer, std::size_t at));

// The "#!" line a Unix kernel reads to run a file, as a key: the bytes of a
// byte order mark before it (which keeps the kernel from reading the line,
// so that the key differs) and "#!", then the line after the blanks (space,
// tab) that follow them, less the blanks and the CR of a CR LF at its end,
// which the kernel does not pass on either; the blanks inside it are one
// argument, kept as written.
struct HashBangKey {
    std::size_t head = 0;     // bytes of the mark and "#!", the first stretch of the key
    std::size_t rest = 0;     // where the second stretch starts
    std::size_t end = 0;      // where it ends (rest when the line holds no more)
    std::size_t lineEnd = 0;  // where the line's end (its LF, or the text's end) stands
};

// True when text (its first n bytes, with the whole first line unless that
// runs to the source's end) starts with a "#!" line, after a byte order mark
// or not; key then tells its key (a module that reads its whole source finds
// the line with it; the others have hashBangStep do so).
bool findHashBang(const char *text, std::size_t n, HashBangKey &key);

// The test of LexerHooks::hashBang for a language that reads any first line
// "#!..." as a comment or hashbang: always true.
bool anyHashBang(const Lexer &lexer, std::size_t at);

// Before a module's first piece (Lexer::hashBang): hands out the source's
// "#!" line as one Code token (findHashBang), true when piece is filled; the
// module goes on from pos, at the line's end, or from the source's start
// when no such line stands there.
bool hashBangStep(Lexer &lexer, TokenPiece &piece);

// Goes on with a token that runs to its line's end from pieceStart, handing
// out its next piece; its key leaves out the line end, a CR just before it
// (or at the input's end), and, with trim, the blanks (space, tab) before
// those. Its last piece leaves pos at the end of the key and the lexer
// between tokens; true when piece is filled, which is always.
bool lineTokenStep(Lexer &lexer, TokenPiece &piece, bool trim);

// Why a source is refused whose comment a tool reads as code is too long to
// make a token of.
constexpr const char *kDirectiveTooLong = "a comment read as code too long to compare";

// Notes that the source cannot be compared as its language, for reason
// (cut to fit); the first reason noted stays. The module still hands out
// an End piece; lexerRefusal tells the runs.
void refuseSource(Lexer &lexer, const char *reason);

// Notes that the source is not valid as language (its name as reports give
// it: "TOML") at place, refusing it for "not valid TOML at line L, column C":
// the language's lexer then ends the stream (a token already begun gets its
// last piece, then End), and the comparison reports the source as not valid
// instead of a verdict. A lexer that may call it after its first piece sets
// Lexer::rejects at its start, so that runs read its stream to the end.
void rejectInput(Lexer &lexer, const char *language, TokenPlace place);

// Resets lexer's shared fields to read source as language, whose module
// hooks drives, then lets the module make its own state (lexerStart, with
// the language table, names the module).
void lexerReset(Lexer &lexer, Language language, const LexerHooks &hooks, const LexOptions &options,
                SourceStream &source);

// sorted_imports.cpp: the next piece of a source with sorted imports.
void sortedNext(Lexer &lexer, TokenPiece &piece);

// Resets the sorted-import layer for a new source whose imports sort by
// rules, its pieces coming from next.
void sorterStart(IncludeSorter &sorter, const ImportRules *rules, LexerNext next);

// Sends lexer's pieces through the sorted-import layer from now on, sorted
// by rules over the pieces of next (lexerStart does so for a language whose
// imports sort; tests, with another language's lexer); the layer's stores
// are made at the first call.
void sorterUse(Lexer &lexer, const ImportRules *rules, LexerNext next);

// Goes on with the comment open at pos as commentStep does, but that each
// word's start has ahead bytes readable (or all that remain), a word that
// starts with a byte stop for which ends(lexer, at) holds is a token that
// token(lexer, piece) hands out from pos (a directive made of a comment; it
// fills piece and leaves pos after what it took), and such a byte ends a
// word too (wordStepUntil). Without words, only those tokens come out: the
// other words are stepped over. True when piece is filled; false when the
// comment ends (the lexer goes on between tokens) or nothing went out yet.
bool commentStepUntil(Lexer &lexer, TokenPiece &piece, std::size_t ahead, bool words, char stop,
                      bool (*ends)(Lexer &lexer, std::size_t at), bool (*token)(Lexer &lexer, TokenPiece &piece));

#endif
