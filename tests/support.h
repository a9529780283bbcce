// Helpers shared by the tests: scratch directories, files, and runs of the
// built utility without a controlling terminal. The platform parts are in
// support_posix.cpp and support_windows.cpp.
#ifndef MATCHLING_TEST_SUPPORT_H
#define MATCHLING_TEST_SUPPORT_H

#include <functional>
#include <string>
#include <vector>

// The separator between directories in the platform's paths.
extern const char kDirSeparator;

// A fresh directory that the test works in; removed with its contents at the end.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + kDirSeparator + name; }
    // Names of the entries in the directory, sorted.
    std::vector<std::string> entries() const;

private:
    std::string path_;
};

// The same, and the current directory while it lives.
class ScratchCwd : public ScratchDir {
public:
    ScratchCwd();
    ~ScratchCwd();

private:
    std::string previous_;
};

void writeFile(const std::string &path, const std::string &bytes);
std::string readFile(const std::string &path);
bool exists(const std::string &path);
// Each returns whether it succeeded.
bool makeDir(const std::string &path);
bool makeSymlink(const std::string &target, const std::string &link);
bool makeFifo(const std::string &path);

// One file of a tree run's two trees: its name, its bytes under a/ and under b/.
struct TreeFile {
    std::string name, a, b;
};

// Makes folders a and b in dir and writes each of files into both.
void writeTrees(const ScratchDir &dir, const std::vector<TreeFile> &files);

// Runs work with file permission bits in force: as it is for a user, and for
// root in a thread whose file accesses are checked as the user "nobody"'s.
// Returns why it cannot (and work has not run), or null.
const char *withPermissionBits(const std::function<void()> &work);

// path as an argument of the utility on this platform: with the platform's
// separators, and on Windows a path from the root (as a cross-build's paths
// are) on the drive the tests started on.
std::string nativePath(const std::string &path);

// text as the platform's text-mode standard output writes it: on Windows each
// line feed as CR LF, elsewhere unchanged.
std::string textModeBytes(const std::string &text);

// Facilities some tests need that not every platform has.
enum class Facility {
    FileSizeLimit,  // a cap on the size of the files a process writes, to make a write fail
    SymbolicLinks,  // creating symbolic links without special rights
    DeepTrees,      // a thousand nested directories made, walked and removed in seconds
    PosixShell,     // a POSIX shell from which the reference tools (formatters, tokenizers) run
};

// Why this platform cannot give facility, or null when it can.
const char *missing(Facility facility);

// Skips the rest of the test, with the reason, where facility is missing.
#define SKIP_WITHOUT(facility)                          \
    do {                                                \
        if (const char *why_ = missing(facility))       \
            GTEST_SKIP() << why_;                       \
    } while (0)

struct RunResult {
    std::string out;  // standard output, its text-mode line ends read back as "\n"
    std::string raw;  // standard output exactly as written
    std::string err;  // everything written to standard error
    int status = -1;  // exit status, or 128 + signal number
};

// Runs the built utility with args in dir, with no console or controlling
// terminal (so no key wait can block) and standard input from the null device.
// A fileSizeLimit of 0 or more caps the size of the files it writes, with
// SIGXFSZ ignored so that the write fails instead (only where
// missing(Facility::FileSizeLimit) is null).
RunResult runMatchling(const std::vector<std::string> &args, const std::string &dir,
                       long fileSizeLimit = -1);

// Sources as a scratch directory holds them, then one run there.
struct Scenario {
    const char *name;
    std::vector<std::pair<std::string, std::string>> files;  // name, bytes
    std::vector<std::string> args;
    std::string out;                 // standard output, exactly
    int status;                      // exit status
    std::vector<std::string> temps;  // temporary files left, sorted
    long fileSizeLimit = -1;
};

// Plays s: checks the output, the status, that nothing reached standard error
// and that only the sources and s.temps are left in the directory.
void play(const Scenario &s);

// Texts of the utility that many tests expect.
inline const std::string kPrompt = "Matchling==>  Press Enter to continue \n";
inline const std::string kEquivalent = "\nMatchling==>  Files compare equivalent \n" + kPrompt;
inline const std::string kNotEquivalent =
    "\nMatchling==>  Validation test failed \nMatchling==>  Files are not equivalent \n" + kPrompt;

// out without its lines of accepted rewrites ("Allowed ..."), whose counts
// depend on the files of the machine (how many include runs a formatter sorted).
std::string withoutAllowedLines(const std::string &out);

// The mismatch report of a first difference at offset, as the utility prints it.
std::string mismatch(const std::string &name1, const std::string &name2, long long offset, char c1,
                     const std::string &context1, char c2, const std::string &context2);

#endif
