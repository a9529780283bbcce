// The lexer record and the procedures its parts share.
//
// Reading: the source is read in chunks into raw, and copied from there into
// the window with its backslash-newline splices taken out (C family only; a
// splice may have blanks between its backslash and its line end, as GCC and
// Clang read it); a Ctrl-Z byte ends the input. A backslash followed by more
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
// Choices beyond the plain lexical rules:
// - splices come out everywhere, inside raw and verbatim strings too;
// - a line feed inside a block comment does not start a line: a '#' after
//   such a comment opens a directive only if no token stands before it on
//   its line; trigraphs are not replaced;
// - C# forms are taken in every C-family source: "=>", "??" and "??=" are
//   tokens (a C# verbatim name "@name" is two); holes nested deeper than
//   kInterpolationDepth are not tracked;
// - a C# raw string is three or more quotes (after '$' signs when it is
//   interpolated) that either close with as many on the same line, or stand
//   alone on their line and close on a line of their own (otherwise, as in C
//   and C++, "" is an empty string and another starts). A multi-line one
//   compares by its content lines with the closing line's indentation taken
//   off, line ends as line feeds; one whose lines do not all start with that
//   indentation, that holds a lone CR, or that does not fit the window, comes
//   out as written. Holes of an interpolated one are found by their braces,
//   skipping the quoted literals inside them;
// - a string literal joins the one before only if it closes on its line; a
//   header name is one token only if its '>' stands within a window;
// - a LineEnd token is counted as a token for the End piece's place;
// - Basic: a " _" continuation needs a blank or the line's start before the
//   underscore; a comment's words are those after its ' or Rem; "&H" and "&O"
//   start numbers.
//
// Sorted imports: each run of import declarations (#include directives, C#
// using directives, Go's imports in a block, Rust use items, Java imports) is held
// in fixed stores of kIncludeDirectives declarations, kIncludeTokens tokens
// and kIncludeKeyBytes key bytes, and handed out sorted once the run ends.
// A run longer than that is sorted in groups that each fill the stores; a
// single declaration that alone does not fit comes out as it stands, ending
// its group. A group that ends because its tokens or key bytes fill a store
// (not its declaration count) depends on the order the declarations are read
// in, so a sorted copy of such a run can be grouped differently; C# using
// directives avoid that with a smaller group and a cap on each directive
// (sorted_imports.cpp).
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
constexpr std::size_t kIncludeDirectives = 256;  // import declarations sorted as one group
constexpr std::size_t kIncludeTokens = 4096;     // tokens of the declarations of one group
constexpr std::size_t kIncludeKeyBytes = 65536;  // key bytes of the tokens of one group
constexpr std::size_t kUseNesting = 16;          // nested {...} of a Rust use item whose names sort; deeper ones stay as read
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

// What of a C# raw string goes out next (c_lexer.cpp).
enum class CSharpRawPhase : unsigned char {
    Open,       // its opening '$' and quotes
    OpenBreak,  // the line end after them
    Line,       // the next content line, the closing line's indentation taken off
    LineBreak,  // the line end after it
    Close,      // its closing quotes
    Stream,     // the rest as written, to the closing quotes (one that does not fit the window)
};

// A C# raw string (""" ... """, $""" ... """), held whole in the window while
// its pieces go out, or streamed as written when it does not fit.
struct CSharpRaw {
    bool active = false;                       // LexMode::Raw is a C# raw string, not a C++ one
    CSharpRawPhase phase = CSharpRawPhase::Open;
    std::size_t quotes = 0;                    // quotes of each delimiter
    std::size_t open = 0;                      // window offset just after the opening quotes
    std::size_t line = 0;                      // window offset of the next content line
    std::size_t closeLine = 0;                 // window offset of the closing line's start
    std::size_t close = 0;                     // window offset of the closing quotes
    std::size_t indent = 0;                    // bytes of indentation taken off each content line
};

// A splice: line feeds taken out before the window byte at offset.
struct SpliceRecord {
    std::size_t offset = 0;  // window offset of the byte after the splices
    std::int64_t count = 0;  // line feeds taken out there
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

// The kinds of import declaration; a run holds one kind.
enum class ImportForm : unsigned char {
    None,
    Include,     // C family: #include, #include_next, #import, to its LineEnd
    Using,       // C family (C#): [global] using [static] X; or using A = B;
    GoSpec,      // Go: one import of an import (...) block, to its ';'
    RustUse,     // Rust: [#[...]] [pub[(...)]] use tree;
    JavaImport,  // Java: import [static] a.b.C; or a.b.*;
};

// Where the previous token leaves the next one.
enum class ImportPlace : unsigned char {
    Start,  // at the start of a statement or item (or of the source)
    Paren,  // just after a '('
    Other,  // anywhere else
};

struct ImportRules;  // sorted_imports.cpp: one row per language whose imports sort

// Where a sorter takes its pieces from: a language's own next procedure.
using LexerNext = void (*)(Lexer &lexer, TokenPiece &piece);

// What the sorter noted of a piece when it took it from the lexer.
struct PieceFacts {
    bool start = false;    // a declaration may open here
    bool hash = false;     // the '#' that opens a directive (C family)
    bool include = false;  // the name of an include directive (C family)
};

struct IncludeSorter {
    const ImportRules *rules = nullptr;       // the language's rules; nullptr until the first piece
    LexerNext next = nullptr;               // where pieces come from
    IncludePhase phase = IncludePhase::Passing;
    char keys[kIncludeKeyBytes];              // the held tokens' keys, back to back
    std::size_t keyUsed = 0;                  // bytes of keys in use
    HeldToken tokens[kIncludeTokens];         // the held tokens in the order read (a Rust use item's groups sorted)
    std::size_t tokenCount = 0;               // entries of tokens in use
    HeldDirective directives[kIncludeDirectives + 1];  // the held declarations in the order read, and an open one
    std::size_t directiveCount = 0;           // complete declarations held
    bool directiveOpen = false;               // a declaration after the complete ones is being held
    ImportForm form = ImportForm::None;       // the kind of the held declarations
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

    // The scan of the open declaration.
    int unitState = 0;                        // where its form's grammar stands
    int unitNest = 0;                         // brackets open inside it
    bool unitName = false;                    // its last token is a name

    // The source around the pieces, as of the next piece from the lexer.
    std::uint32_t depth = 0;                  // open brackets, braces and parentheses
    std::uint32_t openDepth = 0;              // of those, the outer ones inside which declarations stand (namespaces, blocks)
    ImportPlace previous = ImportPlace::Start;  // what the last token leaves
    bool inDirective = false;                 // inside a preprocessing directive (C family): not counted
    bool namespaceHead = false;               // after "namespace" and its name (C family): the next '{' holds declarations
    int bang = 0;                             // tokens after a '!' during which a '{' opens a macro body (Rust)
    int hashes = 0;                           // 1 after a '#', 2 after "#!" (Rust)
    bool innerAttribute = false;              // inside a "#![...]" (Rust)
    std::uint32_t attributeDepth = 0;         // depth outside that attribute
    bool importWord = false;                  // the last token is "import" at the top level (Go)
    bool importBlock = false;                 // inside an import (...) block (Go)
};

// What each language's lexer keeps beyond the shared fields; each is reset by
// that lexer's start procedure.
constexpr std::size_t kPythonIndentDepth = 100;   // indentation levels held, level 0 included (CPython's limit)
constexpr std::size_t kPythonStringFrames = 16;   // nested texts, fields and formats inside one f-string

// One frame of the scan of a string literal (Python).
enum class PythonFrame : unsigned char {
    Text,        // the text of a string; in an f-string, between its fields
    Field,       // a {...} replacement field of an f-string
    Format,      // the format after a field's ':'
    EscapeName,  // the {...} of a \N{...} escape
    Comment,     // a '#' comment inside a field
};

struct PythonStringFrame {
    PythonFrame kind = PythonFrame::Text;
    char quote = '"';         // the quote that closes the string (of the string that owns a field or format)
    bool triple = false;      // that quote is tripled
    bool raw = false;         // backslashes escape nothing but the quote and the line end
    bool formatted = false;   // an f-string or t-string: braces open fields
    std::uint16_t brackets = 0;  // unclosed brackets inside a field
};

// What the numbers scan is inside of (Python).
enum class PythonNumber : unsigned char {
    Integer,   // decimal digits
    Fraction,  // after the '.'
    Exponent,  // after the exponent's letter
    Prefixed,  // after 0x, 0o or 0b
};

struct PythonLexState {
    // Indentation: the open levels, and the current line's.
    std::int32_t columns[kPythonIndentDepth];     // width of each level, a tab to the next multiple of 8; [0] is 0
    std::int32_t altColumns[kPythonIndentDepth];  // the same width with a tab counting 1, to catch inconsistent tabs
    bool matchBlock[kPythonIndentDepth];          // the level is the block of a match statement
    std::size_t levels = 1;                       // entries in use
    std::int32_t column = 0;                      // width of the current line's indentation so far
    std::int32_t altColumn = 0;                   // the same, tabs counting 1
    bool measuring = true;                        // the blanks at pos start a logical line
    bool indentDone = false;                      // the current logical line's indentation is handled
    bool closed = false;                          // the levels open at the input's end are queued

    // The logical line.
    int brackets = 0;                             // unclosed (, [ and { (never below 0)
    bool lastBreak = true;                        // the last token was a LineEnd, Indent or Dedent, or none came yet
    bool firstToken = false;                      // the current token is its logical line's first
    bool headerLine = false;                      // the line starts with a compound statement's keyword
    bool headerDone = false;                      // its header's ':' has come
    int lambdas = 0;                              // lambdas on the header line whose ':' has not come
    bool afterHeader = false;                     // the header's ':' was the last token
    bool blockOpen = false;                       // a block on its header's line is open (LineEnd and Indent given)
    bool matchLine = false;                       // the line starts with the name match
    bool lastColon = false;                       // the last token was a ':' outside brackets
    bool matchNext = false;                       // an indent after this line opens a match block
    bool semicolon = false;                       // a ';' outside brackets is waiting for what follows
    TokenPlace semicolonPlace;                    // where it stands

    // Tokens owed before the next one.
    bool owedIndent = false;                      // the Indent of a block on its header's line
    bool owedBlockDedent = false;                 // the Dedent that closes such a block
    std::size_t owedDedents = 0;                  // Dedents of closed levels
    bool owedLevel = false;                       // the Indent of a new level

    // Strings.
    PythonStringFrame frames[kPythonStringFrames];  // open frames of the string being scanned
    std::size_t frameCount = 0;                   // frames in use
    bool triple = false;                          // the current literal's quote is tripled
    bool raw = false;                             // the current literal is raw
    bool lastOctal = false;                       // the last joined part may end inside an octal escape
    bool lastUnfinished = false;                  // it ends inside a \x, \u, \U or \N{...} escape
    std::int64_t escapeAt = -1;                   // translated offset of the part's last escape; -1 before any
    char escapeKind = 0;                          // the byte after that escape's backslash; 0 once a \N{...} closes
    bool previousName = false;                    // inside a field, the byte before was a name byte

    PythonNumber number = PythonNumber::Integer;  // what the number scan is inside of
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

// What the Java lexer goes on with inside LexMode::Verbatim: a token handed
// out exactly as written up to its end.
enum class JavaVerbatim : unsigned char {
    Tail,         // to the input's end: after a Unicode escape that may change what the compiler reads
    BlockComment, // a block comment longer than the window, to its "*/"
    LineComment,  // a line comment longer than the window, to its line end
    TextBlock,    // a text block longer than the window, to its closing quotes
};

// Where a text block held whole in the window is being handed out.
enum class TextBlockPhase : unsigned char {
    Open,   // the opening quotes and line end
    Line,   // the next content line
    Break,  // the line end after the line just handed out
    Close,  // the closing quotes
};

struct JavaLexState {
    JavaVerbatim verbatim = JavaVerbatim::Tail;  // the verbatim token's kind, in LexMode::Verbatim
    int splitRest = 0;                  // '>' bytes of a ">>" or ">>>" still to hand out one at a time
    bool hexNumber = false;             // the number being scanned is hexadecimal
    std::int64_t cleanUntil = 0;        // translated offset before which no run of code bytes holds a backslash
    std::int64_t commentEnd = 0;        // translated offset of the open line comment's end (its CR or LF)
    TextBlockPhase phase = TextBlockPhase::Open;  // in LexMode::Raw: what of the text block goes out next
    std::size_t blockLine = 0;          // window offset of the next content line
    std::size_t blockLineEnd = 0;       // window offset of the end of the line just handed out
    std::size_t blockClose = 0;         // window offset of the closing quotes
    std::size_t blockIndent = 0;        // bytes of incidental indentation taken from each line
    bool blockStrict = false;           // the content goes out as written (no indentation removed, no blanks trimmed)
};

struct JsonLexState {
    bool started = false;  // the first token or layout has been looked at (a byte order mark is skipped there)
};

// JavaScript and TypeScript: what stands open around the scan position.
constexpr std::size_t kScriptNesting = 256;  // brackets, braces, template holes and JSX tags and elements open at once
constexpr std::size_t kScriptWord = 16;      // bytes of the last name kept to tell a keyword

// True when word (length bytes, shorter than kScriptWord) is one of the
// blank-separated words of list, which starts and ends with a blank
// (script_lexer.cpp; the script rules ask it too).
bool scriptWordIn(const char *list, const char *word, std::size_t length);

enum class ScriptFrame : unsigned char {
    None,          // nothing open (the value of an empty stack's top)
    Paren,         // '(' of a call, a group or a parameter list
    ControlParen,  // '(' after if, while, for, with: its ')' ends no expression
    Bracket,       // '['
    Block,         // '{' of a statement block or a declaration's body: its '}' ends a statement
    TypeBody,      // '{' of a TypeScript interface: a member ends at a line end unless '|', '&', ... goes on
    Object,        // '{' in an expression (object literal, function expression or arrow body)
    Hole,          // "${" of a template literal: its '}' goes back into the template text
    JsxTag,        // inside a JSX opening tag, between '<' and '>'
    JsxClosing,    // inside a JSX closing tag, between "</" and '>'
    JsxChildren,   // between a JSX element's tags: text, '{', '<'
    JsxBrace,      // '{' inside a JSX tag or among its children
};

// What the last Code token leaves expected, for '/' (division or a regular
// expression) and for line ends (an inserted semicolon or layout).
enum class ScriptPrev : unsigned char {
    Start,       // a statement starts: nothing yet, ';', a block's '{' or '}', the ')' of if (...)
    Operator,    // an operand must follow: operators, '(', '[', ',', typeof, in, ...
    Head,        // a statement goes on: var, let, const, class, function, if, import, ...
    Operand,     // an expression may end here: names, literals, ')', ']', an object's '}', postfix ++
    Restricted,  // return, break, continue, throw, yield, debugger: a line end after it ends the statement
};

// What the '{' after the last token opens, when import, export or an
// import's string comes before it.
enum class ScriptList : unsigned char {
    None,
    Names,       // after import or export at a statement's start (and "type" after one): a list of names,
                 // which "from" may follow on the next line
    Attributes,  // after "with" or "assert" right after a string: an import's or export's attributes
};

// Where a decorator ("@name", "@a.b(...)", "@(...)") stands: a line end in
// or right after one inserts no ';', as what it decorates follows, and one
// that stands at a statement's start leaves it there.
enum class ScriptDecorator : unsigned char {
    None,
    At,    // the last token is its '@'
    Name,  // the last token is a name of it, which ".name" or "(...)" may follow
    Dot,   // the last token is a '.' in it
    Args,  // inside its "(...)"
    Done,  // the last token is the ')' of its "(...)"
};

// What the next call goes on with, inside a token or between tokens.
enum class ScriptScan : unsigned char {
    Between,    // between tokens
    Name,       // a name, a private name or the flags of a regular expression
    Number,     // a number
    Quoted,     // a string literal
    Template,   // the text of a template literal
    Regex,      // the body of a regular expression literal
    JsxString,  // a JSX attribute string
    JsxWord,    // a word of JSX text
    Blanks,     // the rest of a JSX blank run handed out in pieces
};

struct ScriptLexState {
    ScriptFrame frames[kScriptNesting];  // the open frames, innermost last
    std::size_t depth = 0;               // frames in use
    bool loose = false;                  // the frames overflowed: the rest is words and line ends, strictly
    ScriptScan scan = ScriptScan::Between;
    ScriptPrev prev = ScriptPrev::Start;
    char word[kScriptWord];              // the last token when it is a name of at most kScriptWord bytes
    std::size_t wordLength = 0;          // bytes of word; 0 when the last token is none such
    char prevByte = 0;                   // the last token's byte when it is a one-byte punctuator, else 0
    bool stmtStart = true;               // a statement starts at the next token (modifiers like export kept)
    TokenPlace lastEnd;                  // just after the last Code token: where an inserted ';' stands
    std::int64_t lastLine = 0;           // the line where the last Code token ends; 0 before any
    bool pending = false;                // a function, class or like head waits for its body's '{'
    bool pendingExpr = false;            // that head stands in an expression
    bool pendingType = false;            // that head is an interface's
    std::size_t pendingDepth = 0;        // depth where its body opens
    bool tagStart = false;               // the last token is the '<' that opens a JSX tag
    bool selfClosing = false;            // a '/' stands in the open JSX tag: its '>' ends the element
    bool textHasWord = false;            // the JSX text being read has handed out a word
    bool numberRadix = false;            // the number is 0x, 0o or 0b
    bool numberDot = false;              // the number has its '.'
    bool numberExponent = false;         // the number has its exponent
    bool regexClass = false;             // the regular expression scan is inside [...]
    bool regexFlags = false;             // the regular expression body is closed: flags follow
    std::size_t blankLeft = 0;           // bytes of the JSX blank run still to hand out
    std::uint64_t doFrames[kScriptNesting / 64] = {};  // bit d: frame d is a do statement's block body or the
                                                       // '(' of the while after it
    bool doEnded = false;                // the last token is the '}' of a do statement's block body
    bool doWhile = false;                // the last token is the while right after it
    bool semicolonDue = false;           // the last token is the ')' of that while: a ';' goes before any token but ';'
    bool lastString = false;             // the last token is a string literal
    ScriptList listNext = ScriptList::None;  // what a '{' right after the last token opens
    bool listFrom = false;               // the list open is one of names, which "from" may follow
    std::size_t listDepth = 0;           // frames open with that list's innermost; 0 when none is open
    bool fromMayFollow = false;          // the last token is the '}' of a list of names
    bool importing = false;              // the statement is an import declaration (no import(...) or import.meta)
    bool specifierNext = false;          // the last token is the from of an import or export declaration
    ScriptDecorator decorator = ScriptDecorator::None;
    std::size_t decoratorDepth = 0;      // frames open with the '(' of a decorator's arguments innermost
    bool decoratorStart = false;         // the decorator stands at a statement's start
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
    bool joinable = false;                    // the literal is a string that others may join
    bool joinFirst = true;                    // it is the first literal of its token
    char prefix[2] = {0, 0};                  // the encoding prefix of the first literal
    std::size_t prefixLength = 0;             // bytes of prefix
    char delimiter[kRawDelimiter];            // the raw string's delimiter
    std::size_t delimiterLength = 0;          // bytes of delimiter
    CSharpRaw csRaw;                          // the C# raw string being handed out
    InterpolationFrame frames[kInterpolationDepth];  // the interpolated string's open frames
    std::uint16_t braces[kInterpolationDepth];       // unmatched '{' in each hole frame
    std::size_t frameCount = 0;               // frames in use

    // Directives (C family).
    Directive directive = Directive::None;
    int directiveTokens = 0;                  // tokens of the directive so far, '#' included
    int tokenIndex = 0;                       // index of the current token in its directive
    bool opensDirective = false;              // the current token is the '#' that opens a directive

    IncludeSorter sorter;                     // only with LexOptions::sortedIncludes, in a language whose imports sort

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

// Skips a "//" comment (or another that ends with its line) that starts at
// pos; pos ends at its line feed or at the input's end.
void skipLineComment(Lexer &lexer);

// Goes on with the words of the comment open at pos; true when piece is filled.
bool commentStep(Lexer &lexer, TokenPiece &piece);

// Goes on with the comment word open at pos; true when piece is filled.
bool wordStep(Lexer &lexer, TokenPiece &piece);

// c_lexer.cpp, basic_lexer.cpp, sorted_imports.cpp: the next piece of a
// C-family source, of a Basic source, of a source with sorted imports.
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
std::size_t jsonRun(Lexer &lexer, QuickToken *out, std::size_t max, std::size_t keyBytes);
void scriptStart(Lexer &lexer);
void scriptNext(Lexer &lexer, TokenPiece &piece);

// Resets the sorted-import layer for a new source; its rules come from the
// source's language at the first piece.
void sorterStart(IncludeSorter &sorter);

// True when language's imports sort with LexOptions::sortedIncludes.
bool sortsImports(Language language);

// For tests, after lexerStart: sorts with the rules of language over the
// pieces of next (another language's lexer).
void sorterUse(Lexer &lexer, Language language, LexerNext next);

#endif
