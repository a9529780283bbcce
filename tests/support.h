// Helpers shared by the tests: scratch directories, files, and runs of the
// built utility without a controlling terminal.
#ifndef MATCHLING_TEST_SUPPORT_H
#define MATCHLING_TEST_SUPPORT_H

#include <string>
#include <vector>

// A fresh directory that the test works in; removed with its contents at the end.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }
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

struct RunResult {
    std::string out;  // everything written to standard output
    std::string err;  // everything written to standard error
    int status = -1;  // exit status, or 128 + signal number
};

// Runs the built utility with args in dir, in a new session with no controlling
// terminal and standard input from /dev/null. A fileSizeLimit of 0 or more
// caps the size of the files it writes, with SIGXFSZ ignored so that the write
// fails instead.
RunResult runMatchling(const std::vector<std::string> &args, const std::string &dir,
                       long fileSizeLimit = -1);

// Resets the run-wide records to their start-up values.
void resetRun();

#endif
