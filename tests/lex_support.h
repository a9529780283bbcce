// What the lexer tests share: a source lexed into its tokens, and tables of
// source pairs that must give equal token streams or must differ.
#ifndef MATCHLING_TEST_LEX_SUPPORT_H
#define MATCHLING_TEST_LEX_SUPPORT_H

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "rewrites/rewrites.h"
#include "tokens/lexer.h"

struct Tok {
    TokenKind kind;
    std::string key;
    std::int64_t line;
    std::int64_t column;
    std::uint16_t noteKinds = 0;  // the rewrites noted at it (rewritten streams)
};

// Every token of the file at path, End included, checking how pieces come;
// with allow, of the stream the rewriter makes of it.
std::vector<Tok> lexFile(const std::string &path, Language language, const LexOptions &options = {},
                         RewriteSet allow = 0);

// The same with the common tokens taken through lexerRun, at most runMax of
// them and keyBytes of keys at once, between the lexer's other pieces.
std::vector<Tok> lexFileInRuns(const std::string &path, Language language, std::size_t runMax, std::size_t keyBytes,
                               const LexOptions &options = {});

// Every token of text, End included, lexed as language.
std::vector<Tok> lexText(const std::string &text, Language language, const LexOptions &options = {},
                         RewriteSet allow = 0);

// The keys of tokens, in order.
std::vector<std::string> keysOf(const std::vector<Tok> &tokens);

// Each token of text read from memory as language (spelledNext's pieces, End
// included), as describe tells it from its key and its last piece.
std::vector<std::string> describeFromMemory(
    const std::string &text, Language language, const LexOptions &options,
    const std::function<std::string(const std::string &key, const TokenPiece &last)> &describe);

// Why the lexer refuses text as language (lexerRefusal), once its stream is
// read to the end; empty when it does not.
std::string refusalOf(const std::string &text, Language language, const LexOptions &options = {});

// A source and why the lexer refuses it (empty: it reads).
struct RefusalCase {
    std::string text;
    std::string reason;
};

// Checks each case's refusalOf as language.
void checkRefusals(Language language, const std::vector<RefusalCase> &cases);

// Index of the first token where a and b differ in kind or key; -1 when none.
long firstDifference(const std::vector<Tok> &a, const std::vector<Tok> &b);

// A pair of sources: equal, or differing first at the given places.
struct PairCase {
    const char *name;
    std::string a;
    std::string b;
    bool equal;
    std::int64_t aLine = 0, aColumn = 0;  // the first differing token of a (not checked when aLine is 0)
    std::int64_t bLine = 0, bColumn = 0;  // and of b
    Language language = Language::CFamily;
    LexOptions options = {};
    RewriteSet allow = 0;  // the stream the rewriter makes, accepting these
};

// Checks every case both ways round.
void checkPairs(const std::vector<PairCase> &cases);

// The same, every case lexed as language.
void checkPairs(Language language, std::vector<PairCase> cases);

// The same, every case lexed as language and rewritten, accepting allow.
void checkRewritePairs(Language language, RewriteSet allow, std::vector<PairCase> cases);

// How a judge's pairs of one kind fared: those its reader reads as the same
// data, and those it reads as different.
struct JudgeTally {
    int same = 0, falseAlarms = 0, different = 0, misses = 0;
};

// Lexes in process each pair that command (a judge script) prints, one a
// line, "KIND LANGUAGE VERDICT A B" (VERDICT "same" or "different"), in the
// language languageOf names: a pair is flagged when either side is refused
// or their tokens differ. Expects no miss of any kind, no false alarm among
// the relayout and token mutants, and at most 2% false alarms of each other
// kind (a formatter's setting); prints and returns the tallies by kind.
std::map<std::string, JudgeTally> judgePairs(const std::string &command, Language (*languageOf)(const std::string &));

// What command writes to its standard output (through the shell).
std::string commandOutput(const std::string &command);

// The same as lines, without their line ends (a CR before one included).
std::vector<std::string> commandLines(const std::string &command);

// The Rust source that the rustdoc source page at path shows, without its
// line numbers; empty when it shows none.
std::string rustdocSource(const std::string &path);

// True when tool runs from the shell (command -v); never on a platform
// without a POSIX shell.
bool haveTool(const char *tool);

// The path of a tool that tests/npm's packages install (npm ci in tests/npm,
// as .ci/run does), else of the same tool on the PATH; empty when neither is there.
std::string npmTool(const char *tool);

// Skips the test where this build does not read language (a library it
// needs was missing): what names the language and the library.
#define SKIP_UNLESS_BUILT(language, what)                       \
    do {                                                        \
        if (!languageBuilt(language))                           \
            GTEST_SKIP() << "this build reads no " what;        \
    } while (0)

// The pairs of cases in language, skipped as SKIP_UNLESS_BUILT.
#define BUILT_PAIRS(language, what, cases)  \
    do {                                    \
        SKIP_UNLESS_BUILT(language, what);  \
        checkPairs(language, cases);        \
    } while (0)

#endif
