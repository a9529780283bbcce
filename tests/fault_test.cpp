// Faults and hostile input, end to end: full disks, things standing where a
// temporary file goes, sources that are not plain text files, huge names and
// command lines, standard output that cannot be written, and several runs in
// one directory at once. Each case checks the exact output, the exit status and
// what remains on disk.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "launch_posix.h"
#include "languages/languages.h"
#include "support.h"

namespace {

const std::string kAbort = "Matchling==>  Program will abort \n" + kPrompt + "\n";
const std::string kWriteFailed = "Matchling==>  Error writing the output file \nMatchling==>  Disk drive may be full \n" + kPrompt;
const std::string kTempA = "Matchlinga.tmp";
const std::string kTempB = "Matchlingb.tmp";

std::string cannotCreate(const std::string &temp)
{
    return "Matchling==>  Unable to open " + temp + " for writing \nMatchling==>  The disk is probably full \n" + kAbort;
}

std::string cannotOpen(const std::string &name)
{
    return "Matchling==>  Unable to open input file " + name +
           " for reading \nMatchling==>  The file probably doesn't exist \n\n" + kAbort;
}

std::string cannotRead(const std::string &name)
{
    return "\nMatchling==>  Unable to read " + name + " \n" + kAbort;
}

std::string processingError(const std::string &name, const std::string &temp)
{
    return "\nMatchling==>  An error has been detected during processing " + name + "! \n"
           "Matchling==>  The Input file will not be altered \n"
           "Matchling==>  See the " + temp + " file for the distorted output \n"
           "Matchling==>  Please report problem to support@matchling.example.org \n"
           "Matchling==>  URL: https://matchling.example.org/problems \n"
           "Matchling==>  Thank you \n\n" + kPrompt + "\n";
}

// Whether pid is still running after ms milliseconds.
bool stillRunningAfter(pid_t pid, int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    siginfo_t info = {};
    // WNOWAIT leaves the child to be waited for again by start().
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

off_t sizeOf(const std::string &path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

std::vector<std::string> sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

// A source of indented lines whose normalized text is exactly bytes long.
std::string sourceOfSize(std::size_t bytes)
{
    std::string s;
    while (bytes > 0) {
        std::size_t n = std::min<std::size_t>(bytes, 60);
        s += "  " + std::string(n, 'q') + " \n";
        bytes -= n;
    }
    return s;
}

// ---------------------------------------------------------------------------
// A full disk while a temporary file is written (file 1 is covered in run_test).

TEST(FaultDiskFull, WhileWritingFile2)
{
    const std::string lines = std::string(400000, 'x') + "\n" + std::string(400000, 'x') + "\n";
    const std::string block = sourceOfSize(262144);  // one full block of normalized text
    struct Case {
        const char *name;
        std::string file1, file2;
        long limit;
        std::string out;
        int status;
        std::vector<std::string> left;  // temporary files left
        off_t sizeB;                    // size of Matchlingb.tmp afterwards; -1 when absent
    } cases[] = {
        {"a block in the middle", "x\n", lines, 300000, kWriteFailed + kAbort, 1, {kTempA, kTempB}, 300000},
        {"the last line's full block, one byte short", "x\n", block, 262143,
         kWriteFailed + processingError("b.c", kTempB), 1, {kTempA, kTempB}, 262143},
        {"a text that exactly fills the limit", block, block, 262144, kEquivalent, 0, {}, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        writeFile(dir.file("a.c"), c.file1);
        writeFile(dir.file("b.c"), c.file2);
        Launch l{{"a.c", "b.c"}, dir.path()};
        l.fileSizeLimit = c.limit;
        RunResult r = start(l);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, "");
        std::vector<std::string> entries = c.left;
        entries.push_back("a.c");
        entries.push_back("b.c");
        EXPECT_EQ(dir.entries(), sorted(entries));
        EXPECT_EQ(sizeOf(dir.file(kTempB)), c.sizeB);
    }
}

// ---------------------------------------------------------------------------
// Something other than a plain file where a temporary file goes.

bool isKind(const std::string &path, mode_t kind)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == kind;
}

TEST(FaultTemporaryFile, SomethingElseStandsThere)
{
    struct Case {
        const char *name;
        std::function<void(const ScratchDir &)> setup;
        std::string out;
        int status;
        std::vector<std::string> entries;  // everything in the directory afterwards
        std::function<bool(const ScratchDir &)> intact;  // what was there is as it was
    } cases[] = {
        {"a directory as Matchlingb.tmp", [](const ScratchDir &d) { mkdir(d.file(kTempB).c_str(), 0700); },
         cannotCreate(kTempB), 1, {kTempA, kTempB, "a.c", "b.c"},
         [](const ScratchDir &d) { return isKind(d.file(kTempB), S_IFDIR); }},
        {"a symbolic link to a file",
         [](const ScratchDir &d) {
             writeFile(d.file("victim"), "keep me\n");
             symlink("victim", d.file(kTempA).c_str());
         },
         cannotCreate(kTempA), 1, {kTempA, "a.c", "b.c", "victim"},
         [](const ScratchDir &d) {
             return isKind(d.file(kTempA), S_IFLNK) && readFile(d.file("victim")) == "keep me\n";
         }},
        {"a symbolic link to nowhere", [](const ScratchDir &d) { symlink("nowhere", d.file(kTempA).c_str()); },
         cannotCreate(kTempA), 1, {kTempA, "a.c", "b.c"},
         [](const ScratchDir &d) { return isKind(d.file(kTempA), S_IFLNK); }},
        {"a symbolic link to a directory",
         [](const ScratchDir &d) {
             mkdir(d.file("sub").c_str(), 0700);
             symlink("sub", d.file(kTempA).c_str());
         },
         cannotCreate(kTempA), 1, {kTempA, "a.c", "b.c", "sub"},
         [](const ScratchDir &d) { return isKind(d.file(kTempA), S_IFLNK) && isKind(d.file("sub"), S_IFDIR); }},
        {"a hard link to another file",
         [](const ScratchDir &d) {
             writeFile(d.file("victim"), "keep me\n");
             link(d.file("victim").c_str(), d.file(kTempA).c_str());
         },
         cannotCreate(kTempA), 1, {kTempA, "a.c", "b.c", "victim"},
         [](const ScratchDir &d) { return readFile(d.file("victim")) == "keep me\n"; }},
        {"a FIFO", [](const ScratchDir &d) { mkfifo(d.file(kTempA).c_str(), 0600); }, cannotCreate(kTempA), 1,
         {kTempA, "a.c", "b.c"}, [](const ScratchDir &d) { return isKind(d.file(kTempA), S_IFIFO); }},
        {"an old temporary file, replaced", [](const ScratchDir &d) { writeFile(d.file(kTempA), "old text"); },
         kEquivalent, 0, {"a.c", "b.c"}, [](const ScratchDir &) { return true; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        writeFile(dir.file("a.c"), "int a;\n");
        writeFile(dir.file("b.c"), "int  a ;\n");
        c.setup(dir);
        RunResult r = start({{"a.c", "b.c"}, dir.path()});
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(dir.entries(), sorted(c.entries));
        EXPECT_TRUE(c.intact(dir));
    }
}

// Root passes any permission bits, so as root the run is made as the user
// "nobody" in a directory that only root may write.
TEST(FaultTemporaryFile, DirectoryNotWritable)
{
    ScratchDir dir;
    writeFile(dir.file("a.c"), "int a;\n");
    writeFile(dir.file("b.c"), "int a;\n");
    Launch l{{"a.c", "b.c"}, dir.path()};
    if (geteuid() == 0) {
        if (!nobody())
            GTEST_SKIP() << "running as root with no user \"nobody\" to drop to";
        l.asNobody = true;
        chmod(dir.path().c_str(), 0755);
    } else {
        chmod(dir.path().c_str(), 0555);
    }
    RunResult r = start(l);
    chmod(dir.path().c_str(), 0700);
    if (r.status == 125 || r.status == 126)
        GTEST_SKIP() << "the user \"nobody\" cannot be taken on or cannot reach " << dir.path();
    EXPECT_EQ(r.out, cannotCreate(kTempA));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.c", "b.c"}));
}

// ---------------------------------------------------------------------------
// Sources that are not plain text files.

// A binary file: every byte value but Ctrl-Z (which ends the input) and '/'
// (which the comment rules would take), with a 'Y' at position at.
std::string binary(std::size_t at, char there)
{
    std::string s;
    for (std::size_t i = 0; i < 8192; ++i) {
        char c = static_cast<char>((i * 167 + 13) % 256);
        s += c == 0x1a ? '\x1b' : c == '/' ? '.' : c;
    }
    s[at] = there;
    return s;
}

std::string withoutLayout(const std::string &s)
{
    std::string out;
    for (char c : s)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            out += c;
    return out;
}

TEST(FaultSource, NotAPlainTextFile)
{
    const std::string nuls(100000, '\0');
    const std::size_t at = 5000;
    const std::string bin1 = binary(at, 'Y'), bin2 = binary(at, 'Z');
    const std::string text1 = withoutLayout(bin1);
    const std::size_t offset = withoutLayout(bin1.substr(0, at)).size();
    // The context strings stop at the first NUL byte, as "%s" prints them.
    const std::string context = text1.substr(offset, 72).c_str();
    std::string context2 = context;
    context2[0] = 'Z';
    struct Case {
        const char *name;
        std::vector<std::pair<std::string, std::string>> files;
        std::vector<std::string> args;
        std::string out;
        int status;
        std::vector<std::string> temps;  // temporary files left
    } cases[] = {
        {"an empty file 2", {{"a.c", "int a;\n"}, {"e.c", ""}}, {"a.c", "e.c"}, cannotRead("e.c"), 1, {kTempA, kTempB}},
        {"NUL bytes, as many", {{"z.c", nuls}, {"y.c", nuls}}, {"z.c", "y.c"}, kEquivalent, 0, {}},
        {"NUL bytes, one more",
         {{"z.c", nuls}, {"y.c", nuls + '\0'}},
         {"z.c", "y.c"},
         "Matchling==>  Byte Count error in compareFiles() \n"
         "Matchling==>  Inputfile1 blocks read = 1 \n"
         "Matchling==>  Inputfile1 bytes read in last block = 100000 \n"
         "Matchling==>  Inputfile2 blocks read = 1 \n"
         "Matchling==>  Inputfile2 bytes read in last block = 100001 \n"
         "Matchling==>  Program will abort \n"
         "Matchling==> Beg. of block string from first  input file: \n \n\n"
         "Matchling==> Beg. of block string from second input file: \n \n\n" + kNotEquivalent,
         0,
         {}},
        {"binary, the same", {{"p.bin", bin1}, {"q.bin", bin1}}, {"p.bin", "q.bin"}, kEquivalent, 0, {}},
        {"binary, one byte differs",
         {{"p.bin", bin1}, {"q.bin", bin2}},
         {"p.bin", "q.bin"},
         mismatch("p.bin", "q.bin", static_cast<long long>(offset), 'Y', context, 'Z', context2) + kNotEquivalent,
         0,
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        std::vector<std::string> entries = c.temps;
        for (const auto &f : c.files) {
            writeFile(dir.file(f.first), f.second);
            entries.push_back(f.first);
        }
        RunResult r = start({c.args, dir.path()});
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(dir.entries(), sorted(entries));
    }
}

TEST(FaultSource, Directory)
{
    ScratchDir dir;
    writeFile(dir.file("a.c"), "int a;\n");
    mkdir(dir.file("d.c").c_str(), 0700);
    RunResult r = start({{"d.c", "a.c"}, dir.path()});
    EXPECT_EQ(r.out, cannotRead("d.c"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{kTempA, "a.c", "d.c"}));
}

// As root, a file's permission bits do not keep it from being read: read it as "nobody".
TEST(FaultSource, Unreadable)
{
    ScratchDir dir;
    writeFile(dir.file("a.c"), "int a;\n");
    writeFile(dir.file("b.c"), "int a;\n");
    chmod(dir.file("a.c").c_str(), 0644);
    chmod(dir.file("b.c").c_str(), 0);
    Launch l{{"a.c", "b.c"}, dir.path()};
    if (geteuid() == 0) {
        if (!nobody())
            GTEST_SKIP() << "running as root with no user \"nobody\" to drop to";
        l.asNobody = true;
    }
    chmod(dir.path().c_str(), 0777);  // file 1's temporary file can be made
    RunResult r = start(l);
    chmod(dir.path().c_str(), 0700);
    if (r.status == 125 || r.status == 126)
        GTEST_SKIP() << "the user \"nobody\" cannot be taken on or cannot reach " << dir.path();
    EXPECT_EQ(r.out, cannotOpen("b.c"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{kTempA, "a.c", "b.c"}));
}

// Opens the FIFO at path for writing once a reader has it open; -1 when none
// comes within kTimeoutMs.
int openWhenRead(const std::string &path)
{
    for (int waited = 0; waited < kTimeoutMs; waited += 10) {
        int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0 || errno != ENXIO)
            return fd;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

TEST(FaultSource, FifoWithAWriter)
{
    ScratchDir dir;
    writeFile(dir.file("a.c"), "int main() {\n    int a = 1; // one\n    return a;\n}\n");
    ASSERT_EQ(mkfifo(dir.file("b.c").c_str(), 0600), 0);
    // More than a pipe holds, so that the writer waits for the reader.
    std::string text = "int main()\r\n{\r\n  int a = 1;\r\n" + std::string(200000, ' ') + "\r\n  return a;   \r\n}";
    bool written = false;
    RunResult r = start({{"a.c", "b.c"}, dir.path()}, [&](pid_t) {
        int fd = openWhenRead(dir.file("b.c"));
        if (fd < 0)
            return;
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        close(fd);
    });
    EXPECT_TRUE(written);
    EXPECT_EQ(r.out, kEquivalent);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.c", "b.c"}));
}

// A FIFO that nobody writes is waited for, as any reader of a FIFO waits;
// once a writer opens it and closes it without writing, it reads as empty.
TEST(FaultSource, FifoWithNoWriterIsWaitedFor)
{
    ScratchDir dir;
    writeFile(dir.file("a.c"), "int a;\n");
    ASSERT_EQ(mkfifo(dir.file("b.c").c_str(), 0600), 0);
    bool waiting = false, file1Done = false;
    RunResult r = start({{"a.c", "b.c"}, dir.path()}, [&](pid_t pid) {
        for (int waited = 0; waited < kTimeoutMs && !exists(dir.file(kTempA)); waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        waiting = stillRunningAfter(pid, 300);
        file1Done = exists(dir.file(kTempA)) && !exists(dir.file(kTempB));
        int fd = openWhenRead(dir.file("b.c"));
        if (fd >= 0)
            close(fd);
    });
    EXPECT_TRUE(waiting);
    EXPECT_TRUE(file1Done);
    EXPECT_EQ(r.out, cannotRead("b.c"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{kTempA, kTempB, "a.c", "b.c"}));
}

TEST(FaultSource, OneLineOf100MegabytesWithoutLineFeed)
{
    const std::size_t size = 100u << 20;
    std::string text(size, ' ');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>('a' + i % 26);
    ScratchDir dir;
    writeFile(dir.file("a.c"), text);
    char last = text[size - 1];
    text[size - 1] = '!';
    writeFile(dir.file("b.c"), text);
    text.clear();
    text.shrink_to_fit();
    RunResult r = start({{"a.c", "b.c"}, dir.path()});
    EXPECT_EQ(r.out, mismatch("a.c", "b.c", static_cast<long long>(size - 1), last, std::string(1, last), '!', "!") +
                         kNotEquivalent);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.c", "b.c"}));
}

// ---------------------------------------------------------------------------
// Long names and command lines.

TEST(FaultNames, FourThousandCharacters)
{
    ScratchDir dir;
    std::string path = "d";
    ASSERT_EQ(mkdir(dir.file(path).c_str(), 0700), 0);
    while (path.size() + 4 < 4000) {
        std::size_t n = std::min<std::size_t>(200, 4000 - 4 - path.size() - 1);
        path += "/" + std::string(n, 'n');
        ASSERT_EQ(mkdir(dir.file(path).c_str(), 0700), 0);
    }
    const std::string name1 = path + "/a.c", name2 = path + "/b.c";
    ASSERT_EQ(name1.size(), 4000u);
    writeFile(dir.file(name1), "x = 1;\n");
    writeFile(dir.file(name2), "x = 2;\n");
    RunResult r = start({{name1, name2}, dir.path()});
    EXPECT_EQ(r.out, mismatch(name1, name2, 2, '1', "1;", '2', "2;") + kNotEquivalent);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"d"}));
}

TEST(FaultNames, LongerThanTheSystemTakes)
{
    const std::string beyondPath = std::string(4996, 'n') + ".c";     // longer than a path may be
    const std::string beyondName = "d/" + std::string(300, 'n') + ".c";  // one name longer than a name may be
    struct Case {
        const char *name;
        std::vector<std::string> args;
        std::string out;
        std::vector<std::string> entries;
    } cases[] = {
        {"a path of 5,000 characters as file 1", {beyondPath, "a.c"}, cannotOpen(beyondPath), {"a.c", "d"}},
        {"a name of 300 characters as file 2", {"a.c", beyondName}, cannotOpen(beyondName), {kTempA, "a.c", "d"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        writeFile(dir.file("a.c"), "int a;\n");
        mkdir(dir.file("d").c_str(), 0700);
        RunResult r = start({c.args, dir.path()});
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(dir.entries(), c.entries);
    }
}

TEST(FaultCommandLine, HugeAndOddSwitchWords)
{
    std::vector<std::string> many;  // 100,000 characters of words, the last one /v
    std::size_t length = 0;
    while (length < 100000) {
        many.push_back("/qqqqqqqq");
        length += many.back().size() + 1;
    }
    many.back() = "/v";
    const std::string announce =
        "Matchling==>  Copying   a.c --> Matchlinga.tmp \nMatchling==>  Copying   a.c --> Matchlingb.tmp \n";
    struct Case {
        const char *name;
        std::vector<std::string> switches;
        std::string out;
    } cases[] = {
        {"a command line of 100,000 characters", many, announce + kEquivalent},
        {"one word of 100,000 characters", {"/l" + std::string(99998, 'x')}, "x=1;inty;x=1;inty;" + kEquivalent},
        {"words of odd bytes only", {"/\xff\xfe", "/\x01", "/\xc3\xa4", "/\x80l", "/\x1b[B", "//\t/"}, kEquivalent},
        {"odd bytes after a letter", {"/b\xff\x80", "/L\x01\x7f"}, "x=1;einty;x=1;einty;" + kEquivalent},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        writeFile(dir.file("a.c"), "x = 1; // note\nint  y;\n");
        std::vector<std::string> args = {"a.c", "a.c"};
        args.insert(args.end(), c.switches.begin(), c.switches.end());
        RunResult r = start({args, dir.path()});
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.c"}));
    }
}

// ---------------------------------------------------------------------------
// Standard output that cannot be written.

TEST(FaultStandardOutput, ClosedPipeOrFullDisk)
{
    struct Case {
        const char *name;
        Output output;
        bool ignoreSigpipe;
        std::vector<std::string> args;
        int status;
        std::vector<std::string> entries;
    } cases[] = {
        // Ended by SIGPIPE at its first write, the prompt after the verdict,
        // as a Unix tool is: the temporary files stay, as after an interrupt.
        {"a closed pipe", Output::ClosedPipe, false, {"a.c", "b.c"}, 128 + SIGPIPE, {kTempA, kTempB, "a.c", "b.c", "c.c"}},
        {"a closed pipe, SIGPIPE ignored", Output::ClosedPipe, true, {"a.c", "b.c"}, 0, {"a.c", "b.c", "c.c"}},
        {"/dev/full, equivalent", Output::DiskFull, false, {"a.c", "b.c"}, 0, {"a.c", "b.c", "c.c"}},
        {"/dev/full, not equivalent", Output::DiskFull, false, {"a.c", "c.c"}, 0, {"a.c", "b.c", "c.c"}},
        {"/dev/full, file 2 missing", Output::DiskFull, false, {"a.c", "x.c"}, 1, {kTempA, "a.c", "b.c", "c.c"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        writeFile(dir.file("a.c"), "int a = 1;\n");
        writeFile(dir.file("b.c"), "int a=1;\r\n");
        writeFile(dir.file("c.c"), "int a = 2;\n");
        Launch l{c.args, dir.path()};
        l.output = c.output;
        l.ignoreSigpipe = c.ignoreSigpipe;
        RunResult r = start(l);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(dir.entries(), c.entries);
    }
}

// ---------------------------------------------------------------------------
// Several runs in one directory: they share the temporary file names, so they
// take turns by a lock on the directory.

TEST(FaultConcurrentRuns, ARunWaitsForTheDirectoryLock)
{
    ScratchDir dir;
    writeFile(dir.file("a.c"), "int a;\n");
    int held = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    bool waited = false, untouched = false;
    RunResult r = start({{"a.c", "a.c"}, dir.path()}, [&](pid_t pid) {
        waited = stillRunningAfter(pid, 300);
        untouched = !exists(dir.file(kTempA));
        flock(held, LOCK_UN);
    });
    close(held);
    EXPECT_TRUE(waited);
    EXPECT_TRUE(untouched);
    EXPECT_EQ(r.out, kEquivalent);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.c"}));
}

TEST(FaultConcurrentRuns, EightRunsInOneDirectory)
{
    // Eight pairs of a few blocks each, so that unserialized runs would overlap:
    // equivalent, differing early or late, and one shorter than the other.
    constexpr int kRuns = 8;
    ScratchDir dir;
    std::vector<std::string> names;
    for (int i = 0; i < kRuns; ++i) {
        std::string a = "// pair " + std::to_string(i) + "\n", b = a;
        for (int line = 0; line < 30000; ++line) {
            std::string text = "value" + std::to_string(line * kRuns + i) + " = f(x);";
            a += "    " + text + "  // step\n";
            b += text + "\r\n";
        }
        if (i % 4 == 1)
            b[b.size() / (i + 1)] = '#';
        else if (i % 4 == 2)
            b += "extra;\n";
        else if (i % 4 == 3)
            b[b.size() - 10] = '#';
        std::string na = "a" + std::to_string(i) + ".c", nb = "b" + std::to_string(i) + ".c";
        writeFile(dir.file(na), a);
        writeFile(dir.file(nb), b);
        names.push_back(na);
        names.push_back(nb);
    }
    std::vector<RunResult> alone(kRuns), together(kRuns);
    for (int i = 0; i < kRuns; ++i)
        alone[i] = start({{names[2 * i], names[2 * i + 1]}, dir.path()});

    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kRuns; ++i)
        threads.emplace_back([&, i] {
            ++ready;
            while (ready < kRuns)
                std::this_thread::yield();
            together[i] = start({{names[2 * i], names[2 * i + 1]}, dir.path()});
        });
    for (std::thread &t : threads)
        t.join();

    for (int i = 0; i < kRuns; ++i) {
        SCOPED_TRACE("pair " + std::to_string(i));
        EXPECT_EQ(alone[i].status, 0);
        EXPECT_EQ(alone[i].out.substr(alone[i].out.size() - kPrompt.size()), kPrompt);
        EXPECT_EQ(together[i].out, alone[i].out);
        EXPECT_EQ(together[i].status, alone[i].status);
        EXPECT_EQ(together[i].err, "");
    }
    EXPECT_EQ(dir.entries(), sorted(names));
}

} // namespace

namespace {

// A token is shown as its source spells it by reading the source again; a
// FIFO cannot be, so its side shows the token as the comparison read it,
// and no source line.
TEST(FaultSource, TokensFromAFifo)
{
    ScratchDir dir;
    writeFile(dir.file("a.c"), "s = \"a\"\n  \"b\";\n");
    ASSERT_EQ(mkfifo(dir.file("b.c").c_str(), 0600), 0);
    RunResult r = start({{"a.c", "b.c", "--tokens"}, dir.path()}, [&](pid_t) {
        int fd = openWhenRead(dir.file("b.c"));
        if (fd < 0)
            return;
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        if (write(fd, "s = \"a\" \"c\";\n", 14) != 14)
            ADD_FAILURE() << "write to the FIFO failed";
        close(fd);
    });
    EXPECT_EQ(r.out, "Matchling==> Token mismatch at line 1, column 5 of a.c \n"
                     "Matchling==> Token from a.c '\"a\"\\n  \"b\"' \n"
                     "s = \"a\" \n    ^ \n"
                     "Matchling==> Token mismatch at line 1, column 5 of b.c \n"
                     "Matchling==> Token from b.c '\"ac\"' \n" + kNotEquivalent);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.c", "b.c"}));
}

// A content test looks at the start of a FIFO, which cannot be read again:
// the lexer reads those bytes first, then the rest, longer than the look.
TEST(FaultSource, ContentTestOfAFifo)
{
    ScratchDir dir;
    std::string code, relaid;
    for (int i = 0; code.size() < 3 * kContentBytes; ++i) {
        code += "x" + std::to_string(i) + " = " + std::to_string(i) + "\r\n";
        relaid += "X" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
    }
    const std::string header = "VERSION 1.0 CLASS\r\nBEGIN\r\nEND\r\nAttribute VB_Name = \"A\"\r\n";
    writeFile(dir.file("a.cls"), header + code);
    ASSERT_EQ(mkfifo(dir.file("b.cls").c_str(), 0600), 0);
    const std::string text = header + relaid;
    RunResult r = start({{"a.cls", "b.cls", "--tokens"}, dir.path()}, [&](pid_t) {
        int fd = openWhenRead(dir.file("b.cls"));
        if (fd < 0)
            return;
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            ADD_FAILURE() << "write to the FIFO failed";
        close(fd);
    });
    EXPECT_EQ(r.out, kEquivalent);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.cls", "b.cls"}));
}

// --where reads the sources again; a FIFO cannot be, and must not be waited for.
TEST(FaultSource, WhereWithAFifo)
{
    ScratchDir dir;
    writeFile(dir.file("a.c"), "x = 1;\n");
    ASSERT_EQ(mkfifo(dir.file("b.c").c_str(), 0600), 0);
    RunResult r = start({{"a.c", "b.c", "--where"}, dir.path()}, [&](pid_t) {
        int fd = openWhenRead(dir.file("b.c"));
        if (fd < 0)
            return;
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        if (write(fd, "x = 2;\n", 7) != 7)
            ADD_FAILURE() << "write to the FIFO failed";
        close(fd);
    });
    EXPECT_EQ(r.out, mismatch("a.c", "b.c", 2, '1', "1;", '2', "2;") +
                         "Matchling==> Difference at line 1 of a.c \n"
                         "Matchling==> Difference line not found in b.c \n" + kNotEquivalent);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.c", "b.c"}));
}

} // namespace
