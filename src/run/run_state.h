// Run-wide records of one Matchling run.
//
// The process holds everything in the records below, created once at start-up
// with fixed-size buffers and living until it ends; normalization and
// comparison allocate nothing while they run.
//
// Procedures that can fail return 0 for success and 1 for failure and never
// exit; processing errors that do not stop a procedure at once raise the error
// counter instead. Only the run sequence (main, validationRun) turns results
// into the process exit status.
#ifndef MATCHLING_RUN_STATE_H
#define MATCHLING_RUN_STATE_H

#include <cstddef>
#include <cstdio>
#include <string>

constexpr std::size_t kLineBufferSize = 16384;        // bytes per line buffer, terminator included
constexpr std::size_t kLineCapacity = kLineBufferSize - 1; // longest piece of a line handed to the rules
constexpr std::size_t kBlockSize = 262144;            // bytes per output and comparison block
constexpr std::size_t kContextSize = 73;              // bytes per context string, terminator included
constexpr std::size_t kReadChunkSize = 262144;        // bytes per read from a source file

constexpr const char *kTempName1 = "Matchlinga.tmp";  // normalized text of file 1
constexpr const char *kTempName2 = "Matchlingb.tmp";  // normalized text of file 2

// Exit statuses of the process.
constexpr int kExitCompared = 0;  // a comparison was made, whatever its verdict
constexpr int kExitFailed = 1;    // usage screen, or a run that stopped early
// With --exit-status instead:
constexpr int kExitSame = 0;       // the files compare equivalent
constexpr int kExitDifferent = 1;  // they do not
constexpr int kExitTrouble = 2;    // usage screen, or a run that stopped early

// Language class of the source being prepared.
enum class SourceClass : char {
    CFamily = 'C',  // comments handled by the C line rules
    Basic = 'B',    // only the "//" cut applies
};

// Switch flags, each 0 or 1; filled once from the command line, read-only after.
struct RunSettings {
    int trimLineFeeds = 0;   // B: trailing blanks trimming takes line feeds too
    int handleComments = 1;  // C: comment rules on (no switch turns it off)
    int listNormalized = 0;  // L: each normalized line is listed on standard output
    int announceCopy = 0;    // V: each copy of a source into its temporary file is announced
    int showWhere = 0;       // --where: name the source lines of the first difference
    int verdictStatus = 0;   // --exit-status: the exit status tells the verdict
};

// Text-mode reader over one source file.
struct TextInput {
    std::FILE *stream = nullptr;     // the source, opened in binary mode; null when closed
    char chunk[kReadChunkSize];      // raw bytes read from the source
    std::size_t position = 0;        // next unread byte in chunk
    std::size_t end = 0;             // bytes held in chunk
    int ended = 0;                   // 1 after end of file, a Ctrl-Z byte or a read error
    int failed = 0;                  // 1 when the input ended by a read error
};

// The current line and the one-line look-ahead; the two buffers swap roles.
struct LineWindow {
    char lines[2][kLineBufferSize];   // both lines, each zero-terminated
    int current = 0;                  // index in lines of the line handed to the rules; the other is the look-ahead
    std::size_t currentLength = 0;    // bytes in the current line, before its terminator
    std::size_t lookaheadLength = 0;  // bytes in the look-ahead line, before its terminator
};

// Normalized text waiting to be written to the temporary file.
struct OutputBlock {
    char bytes[kBlockSize];  // accumulated normalized text
    std::size_t fill = 0;    // bytes used, 0 to kBlockSize
};

struct RunState {
    std::string fileName1;                 // first name on the command line, any length
    std::string fileName2;                 // second name on the command line, any length
    std::string inputPath;                 // name of the source being prepared
    const char *tempName = kTempName1;     // temporary file of the source being prepared
    char extension[4] = {};                // up to 3 upper-cased characters after the first '.'; empty when none
    int whichFile = 1;                     // 1 while file 1 is prepared, 2 while file 2 is
    SourceClass sourceClass = SourceClass::CFamily;  // kept from file 1 when file 2's extension decides nothing
    std::FILE *output = nullptr;           // temporary file being written; null when closed
    std::FILE *read1 = nullptr;            // Matchlinga.tmp reopened for comparison; null when closed
    std::FILE *read2 = nullptr;            // Matchlingb.tmp reopened for comparison; null when closed
    TextInput input;                       // source being read, with its read buffer
    LineWindow window;                     // current line and look-ahead line
    OutputBlock block;                     // pending normalized text
    int endOfInput = 0;                    // 1 once the look-ahead found nothing more to read
    int errors = 0;                        // processing errors and differences found so far
};

extern RunSettings settings;  // the run's switches
extern RunState run;          // the run's state

// Addresses named in the usage screen and in the failure reports.
constexpr const char *kWebAddress = "https://matchling.example.org";
constexpr const char *kSupportAddress = "support@matchling.example.org";
constexpr const char *kProblemUrl = "https://matchling.example.org/problems";

// Returns 1 when the arguments ask for the usage screen: none at all, one that
// starts with "/?", or a single name with no second file to compare it with.
int isUsageRequest(int argc);

// Prints the usage screen and waits for a key.
void showUsage();

// Sets the flags named by one switch word, which it upper-cases in place; only
// its first letter counts.
void setSwitches(char *word, RunSettings &flags);

// Joins argv[first] onwards, each followed by a blank, and applies setSwitches
// to every word from the first '/' on; '/' and ' ' separate the words.
void readSwitches(int argc, char **argv, int first, RunSettings &flags);

// Sets the flags of the long options "--where" and "--exit-status", each
// recognised as a whole argument from argv[3] on.
void readLongOptions(int argc, char **argv, RunSettings &flags);

// Exit status of the usage screen: kExitTrouble when an argument asks for
// "--exit-status", else kExitFailed.
int usageStatus(int argc, char **argv);

// Index of the first argument that takes part in switch reading on this
// platform: where '/' separates directories, the two file names do not.
int firstSwitchArgument();

// Waits for an exclusive lock on the current directory, so that runs in one
// directory take turns with its temporary files, and holds it until the
// process ends. Leaves no file behind. Where the directory cannot be locked,
// returns at once and the run goes on unlocked. Returns 0.
int lockDirectory();

// Returns 1 when the names a and b both name one existing file, else 0.
int sameFile(const char *a, const char *b);

// Runs one validation of name1 against name2 and returns the exit status.
int validationRun(const char *name1, const char *name2);

// Prints, for each file, the source line of the first difference that the
// comparison found.
void reportWhere();

// Closes every stream of the run that is still open and marks it closed.
void closeStreams();

#endif
