// What every stage shares: the fixed capacities, the source classes and the
// settings record that the command line fills once and every stage reads.
//
// Procedures that can fail return 0 for success and 1 for failure and never
// exit; only the run sequence turns results into the process exit status.
#ifndef MATCHLING_SETTINGS_H
#define MATCHLING_SETTINGS_H

#include <cstdint>
#include <cstddef>

constexpr std::size_t kLineBufferSize = 16384;             // bytes per line buffer, terminator included
constexpr std::size_t kLineCapacity = kLineBufferSize - 1; // longest piece of a line handed to the rules
constexpr std::size_t kBlockSize = 262144;                 // bytes per output and comparison block
constexpr std::size_t kContextSize = 73;                   // bytes per context string, terminator included
constexpr std::size_t kReadChunkSize = 262144;             // bytes per read from a source file

// Language class of a source, from its name.
enum class SourceClass : char {
    CFamily = 'C',  // C, C++, C#: comments handled by the C line rules
    Basic = 'B',    // only the "//" cut applies
};

// Language of a source in token mode, from the language table or --language:
// one for each row of languages/languages.def (TypeScript twice, with and
// without JSX), then Unknown.
enum class Language : unsigned char {
#define MATCHLING_LANGUAGE(id, ...) id,
#include "languages/languages.def"
#undef MATCHLING_LANGUAGE
    Unknown,  // not in the table: compared by bytes only
};

// How a run reports, from --format.
enum class ReportFormat : unsigned char {
    Text,             // the console report, key waits and all
    Json,             // JSON Lines: an object per pair, then a summary object
    Sarif,            // one SARIF 2.1.0 log
    Github,           // GitHub Actions workflow commands, one per finding
    Gnu,              // "FILE:LINE:COL: error: MESSAGE" lines, one per finding
    BlameIgnoreRevs,  // history runs only: the layout-only commits as .git-blame-ignore-revs takes them
};

// The switches and options; filled once from the command line, read-only after.
struct RunSettings {
    bool trimLineFeeds = false;   // B: trailing blanks trimming takes line feeds too
    bool handleComments = true;   // C: comment rules on (no switch turns it off)
    bool listNormalized = false;  // L: each normalized text (or token stream) is listed on standard output
    bool announceCopy = false;    // V: each copy of a source into its temporary file is announced
    bool showWhere = false;       // --where: name the source lines of the first difference
    bool verdictStatus = false;   // --exit-status: the exit status tells the verdict
    bool tokens = false;          // --tokens: compare token streams instead of normalized texts
    bool comments = false;        // --comments: with --tokens, the words of comments count too
    bool sortedIncludes = false;  // --sorted-imports (or --sorted-includes): with --tokens, runs of imports compare as sets
    std::uint16_t allow = 0;      // --allow LIST: the rewrites accepted, a bit each (rewrites/rewrites.h)
    Language language = Language::Unknown;  // --language NAME: every source's language; Unknown when not given
    std::uint64_t givenLanguages = 0;  // --language NAME,NAME... with --formatter: the languages whose files the
                                       // command is given, a bit each (languageFamily); 0 when not given
    ReportFormat format = ReportFormat::Text;  // --format NAME; any but Text also sets verdictStatus and clears L and V
    int jobs = 0;                 // --jobs N: pairs compared at once in tree and git modes; 0 for one per core
    int timeout = 0;              // --timeout SECONDS: how long a formatter may run on one file; 0 when not given
};

#endif
