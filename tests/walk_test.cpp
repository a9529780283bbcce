// The pairs of a tree or git comparison: two directory trees listed side by
// side, the changes of a commit, of the working tree and of a history's
// commits, the commits a list names, and git objects read one after another
// through one reader.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "languages/languages.h"
#include "support.h"
#include "walk/batch.h"
#include "walk/process.h"
#include "walk/walk.h"

namespace {

const char *const kKinds[] = {"Pair", "OnlyFirst", "OnlySecond", "Failed", "Same"};

// One side as the tables write it: "-" when absent; else its name, with
// "=size" when it is a file to open under top named as itself, " file F" when
// under another name, and "#" when it is a git object id.
std::string sideText(const SideRef &side, const std::string &top)
{
    if (side.name.empty())
        return "-";
    std::string text = side.name;
    if (!side.file.empty()) {
        bool underTop = side.file.compare(0, top.size(), top) == 0 && side.file.substr(top.size()) == side.name;
        text += underTop ? "=" + std::to_string(side.size) : " file " + side.file;
    }
    bool hex = side.object.size() == 40 || side.object.size() == 64;
    for (char c : side.object)
        hex = hex && ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
    if (!side.object.empty())
        text += hex ? "#" : " object " + side.object;
    return text;
}

// The list one entry a line: "Kind path (reason) side1 side2".
std::vector<std::string> lines(const WalkList &list, const std::string &top = "")
{
    std::vector<std::string> out;
    for (const WalkEntry &e : list.entries)
        out.push_back(std::string(kKinds[static_cast<int>(e.kind)]) + " " + e.path +
                      (e.reason.empty() ? "" : " (" + e.reason + ")") + " " + sideText(e.sides[0], top) + " " +
                      sideText(e.sides[1], top));
    return out;
}

// ---------------------------------------------------------------------------
// Two trees, built in the current directory as "one" and "two".

// Makes directories, with others allowed in (for a walk as "nobody").
void dirs(std::initializer_list<const char *> paths)
{
    for (const char *path : paths) {
        makeDir(path);
        chmod(path, 0755);
    }
}

struct TreeCase {
    const char *name;
    const char *(*build)();  // makes the trees; returns why it cannot, or null
    const char *dir1, *dir2;
    std::vector<std::string> expected;  // the lines, or "error: " and the error
    bool permissions = false;           // the walk must run with permission bits in force
};

const TreeCase kTreeCases[] = {
    {"PairsAndOneSide",
     []() -> const char * {
         dirs({"one", "two", "one/a", "two/a", "one/new", "one/new/deep", "two/empty"});
         writeFile("one/a.c", "1");
         writeFile("two/a.c", "22");
         writeFile("one/a/b.c", "b");
         writeFile("two/a/b.c", "b");
         writeFile("one/a0", "x");
         writeFile("two/a-z", "y");
         writeFile("one/new/deep/z.c", "z");
         return nullptr;
     },
     "one/", "two",
     {"OnlySecond a-z - two/a-z=1", "Pair a.c one/a.c=1 two/a.c=2", "Pair a/b.c one/a/b.c=1 two/a/b.c=1",
      "OnlyFirst a0 one/a0=1 -", "OnlyFirst new/deep/z.c one/new/deep/z.c=1 -"}},
    {"SymbolicLinks",
     []() -> const char * {
         if (const char *why = missing(Facility::SymbolicLinks))
             return why;
         dirs({"one", "two", "two/todir"});
         makeSymlink("t", "one/same");
         makeSymlink("t", "two/same");
         makeSymlink("t", "one/diff");
         makeSymlink("u", "two/diff");
         makeSymlink("t", "one/lone");
         makeSymlink("t", "one/tofile");
         writeFile("two/tofile", "x");
         makeSymlink("t", "one/todir");
         writeFile("two/todir/f.c", "f");
         makeSymlink("..", "one/up");  // followed, it would loop
         makeSymlink("..", "two/up");
         return nullptr;
     },
     "one", "two",
     {"Failed diff (symbolic link) one/diff two/diff", "Failed lone (symbolic link) one/lone -",
      "Same same one/same two/same", "Failed todir (symbolic link) one/todir two/todir",
      "OnlySecond todir/f.c - two/todir/f.c=1", "Failed tofile (symbolic link) one/tofile two/tofile=1",
      "Same up one/up two/up"}},
    {"NotRegularFiles",
     []() -> const char * {
         dirs({"one", "two"});
         if (!makeFifo("one/fifo") || !makeFifo("two/fifo") || !makeFifo("one/pipe"))
             return "no FIFOs on this platform";
         writeFile("two/pipe", "p");
         return nullptr;
     },
     "one", "two",
     {"Failed fifo (not a regular file) one/fifo two/fifo", "Failed pipe (not a regular file) one/pipe two/pipe=1"}},
    {"DirectoryAgainstFile",
     []() -> const char * {
         dirs({"one", "two", "one/d", "one/d/e"});
         writeFile("one/d/x.c", "x");
         writeFile("one/d/e/y.c", "y");
         writeFile("two/d", "dd");
         writeFile("one/d.c", "1");
         writeFile("two/d.c", "1");
         return nullptr;
     },
     "one", "two",
     {"Failed d (directory on one side) one/d two/d=2", "Pair d.c one/d.c=1 two/d.c=1",
      "OnlyFirst d/e/y.c one/d/e/y.c=1 -", "OnlyFirst d/x.c one/d/x.c=1 -"}},
    {"UnreadableDirectory",
     []() -> const char * {
         chmod(".", 0755);
         dirs({"one", "two", "one/u", "two/u"});
         writeFile("one/u/k.c", "k");
         writeFile("two/u/k.c", "k");
         writeFile("one/u.c", "u");
         writeFile("two/u.c", "u");
         chmod("one/u", 0);
         return nullptr;
     },
     "one", "two", {"Failed u (unreadable directory) one/u two/u", "Pair u.c one/u.c=1 two/u.c=1"}, true},
    {"AwkwardNames",
     []() -> const char * {
         dirs({"one", "two"});
         for (const char *name : {"bad.c", "bad\xff\xfe.c", "new\nline.c", "quo\"te's.c", "with blank.c"}) {
             writeFile(std::string("one/") + name, "1");
             writeFile(std::string("two/") + name, "1");
             if (!exists(std::string("two/") + name))
                 return "the file system takes no such names";
         }
         return nullptr;
     },
     "one", "two",
     {"Pair bad.c one/bad.c=1 two/bad.c=1", "Pair bad\xff\xfe.c one/bad\xff\xfe.c=1 two/bad\xff\xfe.c=1",
      "Pair new\nline.c one/new\nline.c=1 two/new\nline.c=1", "Pair quo\"te's.c one/quo\"te's.c=1 two/quo\"te's.c=1",
      "Pair with blank.c one/with blank.c=1 two/with blank.c=1"}},
    {"SameDirectory",
     []() -> const char * {
         dirs({"one", "one/s"});
         writeFile("one/a.c", "1");
         writeFile("one/s/b.c", "2");
         return nullptr;
     },
     "one", "one", {"Same a.c one/a.c=1 one/a.c=1", "Same s/b.c one/s/b.c=1 one/s/b.c=1"}},
    {"OneInsideTheOther",
     []() -> const char * {
         dirs({"one", "one/in"});
         writeFile("one/x.c", "1");
         writeFile("one/in/x.c", "22");
         writeFile("one/in/y.c", "3");
         return nullptr;
     },
     "one", "one/in",
     {"OnlyFirst in/x.c one/in/x.c=2 -", "OnlyFirst in/y.c one/in/y.c=1 -", "Pair x.c one/x.c=1 one/in/x.c=2",
      "OnlySecond y.c - one/in/y.c=1"}},
    {"TopMissing",
     []() -> const char * {
         dirs({"one"});
         return nullptr;
     },
     "one", "nothing", {"error: Unable to read directory nothing"}},
    {"TopIsAFile",
     []() -> const char * {
         dirs({"one"});
         writeFile("one/a.c", "1");
         return nullptr;
     },
     "one/a.c", "one", {"error: Unable to read directory one/a.c"}},
};

void PrintTo(const TreeCase &c, std::ostream *out)
{
    *out << c.name;
}

class TreeWalk : public ::testing::TestWithParam<TreeCase> {};

TEST_P(TreeWalk, ListsEveryEntry)
{
    const TreeCase &c = GetParam();
    ScratchCwd dir;
    if (const char *why = c.build())
        GTEST_SKIP() << why;
    WalkList list;
    std::string error;
    int status = -1;
    auto walk = [&] { status = walkTrees(c.dir1, c.dir2, list, error); };
    if (!c.permissions)
        walk();
    else if (const char *why = withPermissionBits(walk))
        GTEST_SKIP() << why;
    std::vector<std::string> got = status == 0 ? lines(list) : std::vector<std::string>{"error: " + error};
    EXPECT_EQ(got, c.expected);
    EXPECT_EQ(status, c.expected[0].compare(0, 6, "error:") == 0);
    EXPECT_EQ(list.sideNames[0], c.dir1);
    EXPECT_EQ(list.sideNames[1], c.dir2);
}

INSTANTIATE_TEST_SUITE_P(Cases, TreeWalk, ::testing::ValuesIn(kTreeCases),
                         [](const ::testing::TestParamInfo<TreeCase> &info) { return std::string(info.param.name); });

// A thousand levels: walked without running out of descriptors or stack.
TEST(TreeWalkDeep, ThousandLevels)
{
    SKIP_WITHOUT(Facility::DeepTrees);
    ScratchCwd dir;
    std::string rel;
    ASSERT_TRUE(makeDir("one") && makeDir("two"));
    for (int level = 0; level < 1000; ++level) {
        rel += "d/";
        ASSERT_TRUE(makeDir("one/" + rel) && makeDir("two/" + rel));
    }
    writeFile("one/" + rel + "x.c", "1");
    writeFile("two/" + rel + "x.c", "1");
    WalkList list;
    std::string error;
    ASSERT_EQ(walkTrees("one", "two", list, error), 0) << error;
    EXPECT_EQ(lines(list), (std::vector<std::string>{"Pair " + rel + "x.c one/" + rel + "x.c=1 two/" + rel + "x.c=1"}));
}

// ---------------------------------------------------------------------------
// git, run in a repository made in the current directory.

// Runs git with args as a fixed user; its standard output into out. Returns
// its exit status, or -1 when it cannot be started.
int git(const std::vector<std::string> &args, std::string *out = nullptr)
{
    std::vector<std::string> argv = {"git", "-c", "user.name=Walk Test", "-c", "user.email=walk@example.com",
                                     "-c", "commit.gpgsign=false", "-c", "core.autocrlf=false"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string why, text;
    Process *p = processStart(argv, false, why);
    if (!p)
        return -1;
    char buffer[4096];
    while (std::size_t got = std::fread(buffer, 1, sizeof buffer, processOutput(*p)))
        text.append(buffer, got);
    if (out)
        *out = text.substr(0, text.find('\n'));
    return processFinish(p);
}

#define SKIP_WITHOUT_GIT()                                   \
    do {                                                     \
        if (git({"--version"}) != 0)                         \
            GTEST_SKIP() << "no git program on the PATH";    \
    } while (0)

const std::string kRenamed = "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n";

// A repository with two commits: the first adds a.c, b.c, c.c and sub/d.c;
// the second changes a.c, renames b.c to sub/moved.c with a change, deletes
// c.c, adds e.c and makes sub/d.c executable. Returns its top and "/".
std::string makeHistory()
{
    EXPECT_EQ(git({"init", "-q"}), 0);
    makeDir("sub");
    writeFile("a.c", "a\n");
    writeFile("b.c", kRenamed);
    writeFile("c.c", "c\n");
    writeFile("sub/d.c", "d\n");
    EXPECT_EQ(git({"add", "."}), 0);
    EXPECT_EQ(git({"commit", "-q", "-m", "first"}), 0);
    writeFile("a.c", "a changed\n");
    EXPECT_EQ(git({"mv", "b.c", "sub/moved.c"}), 0);
    writeFile("sub/moved.c", kRenamed + "11\n");
    EXPECT_EQ(git({"rm", "-q", "c.c"}), 0);
    writeFile("e.c", "e\n");
    EXPECT_EQ(git({"add", "."}), 0);
    EXPECT_EQ(git({"update-index", "--chmod=+x", "sub/d.c"}), 0);
    chmod("sub/d.c", 0755);
    EXPECT_EQ(git({"commit", "-q", "-m", "second"}), 0);
    std::string top;
    git({"rev-parse", "--show-toplevel"}, &top);
    return top + "/";
}

TEST(GitWalkTools, Commits)
{
    SKIP_WITHOUT_GIT();
    ScratchCwd dir;
    makeHistory();
    WalkList list;
    std::string error;
    ASSERT_EQ(walkGit("HEAD", list, error), 0) << error;
    EXPECT_EQ(lines(list), (std::vector<std::string>{"Pair a.c HEAD^:a.c# HEAD:a.c#", "OnlyFirst c.c HEAD^:c.c# -",
                                                     "OnlySecond e.c - HEAD:e.c#", "Same sub/d.c HEAD^:sub/d.c# HEAD:sub/d.c#",
                                                     "Pair b.c -> sub/moved.c HEAD^:b.c# HEAD:sub/moved.c#"}));
    EXPECT_EQ(list.sideNames[0], "HEAD^");
    EXPECT_EQ(list.sideNames[1], "HEAD");
    // The root commit: every file added.
    ASSERT_EQ(walkGit("HEAD~1", list, error), 0) << error;
    EXPECT_EQ(lines(list), (std::vector<std::string>{"OnlySecond a.c - HEAD~1:a.c#", "OnlySecond b.c - HEAD~1:b.c#",
                                                     "OnlySecond c.c - HEAD~1:c.c#",
                                                     "OnlySecond sub/d.c - HEAD~1:sub/d.c#"}));
    EXPECT_EQ(list.sideNames[0], "HEAD~1^");
}

TEST(GitWalkTools, WorkingTree)
{
    SKIP_WITHOUT_GIT();
    ScratchCwd dir;
    std::string top = makeHistory();
    writeFile("sub/d.c", "changed\n");
    writeFile("f.c", "f\n");
    ASSERT_EQ(git({"add", "f.c"}), 0);
    std::remove("a.c");
    writeFile("untracked.c", "u\n");
    WalkList list;
    std::string error;
    ASSERT_EQ(walkGit("", list, error), 0) << error;
    EXPECT_EQ(lines(list, top), (std::vector<std::string>{"OnlyFirst a.c HEAD:a.c# -", "OnlySecond f.c - f.c=2",
                                                          "Pair sub/d.c HEAD:sub/d.c# sub/d.c=8"}));
    EXPECT_EQ(list.sideNames[0], "HEAD");
    EXPECT_EQ(list.sideNames[1], "working tree");
}

TEST(GitWalkTools, SymbolicLinksAreNotRead)
{
    SKIP_WITHOUT_GIT();
    SKIP_WITHOUT(Facility::SymbolicLinks);
    ScratchCwd dir;
    std::string top = makeHistory();
    makeSymlink("a.c", "link");
    ASSERT_EQ(git({"add", "link"}), 0);
    ASSERT_EQ(git({"commit", "-q", "-m", "link"}), 0);
    std::remove("e.c");
    makeSymlink("a.c", "e.c");
    WalkList list;
    std::string error;
    ASSERT_EQ(walkGit("HEAD", list, error), 0) << error;
    EXPECT_EQ(lines(list), (std::vector<std::string>{"Failed link (symbolic link) - HEAD:link#"}));
    ASSERT_EQ(walkGit("", list, error), 0) << error;
    EXPECT_EQ(lines(list, top), (std::vector<std::string>{"Failed e.c (symbolic link) HEAD:e.c# e.c"}));
}

TEST(GitWalkTools, Errors)
{
    SKIP_WITHOUT_GIT();
    ScratchCwd dir;
    WalkList list;
    std::string error;
    EXPECT_EQ(walkGit("HEAD", list, error), 1);
    EXPECT_EQ(error.rfind("Not a git repository: ", 0), 0u) << error;
    ASSERT_EQ(git({"init", "-q"}), 0);
    EXPECT_EQ(walkGit("", list, error), 1);
    EXPECT_EQ(error.rfind("No commit yet (HEAD)", 0), 0u) << error;
    makeHistory();
    for (const char *rev : {"nope", "--help", "HEAD:a.c"}) {
        EXPECT_EQ(walkGit(rev, list, error), 1);
        EXPECT_EQ(error, std::string("Unknown revision: ") + rev);
    }
}

// The commits of a history listed by one git, each as walkGit lists it alone:
// the root commit, one with a rename, and one that changed nothing.
TEST(GitWalkTools, HistoryListedAsEachCommitAlone)
{
    SKIP_WITHOUT_GIT();
    ScratchCwd dir;
    makeHistory();
    ASSERT_EQ(git({"commit", "-q", "--allow-empty", "-m", "third"}), 0);
    std::vector<GitCommit> commits;
    std::string error;
    ASSERT_EQ(walkRange("HEAD", commits, error), 0) << error;
    ASSERT_EQ(commits.size(), 3u);
    EXPECT_EQ(commits[0].parent, "");
    EXPECT_EQ(commits[2].parent, commits[1].id);
    EXPECT_EQ(commits[2].subject, "third");
    std::unique_ptr<ChangeLister> lister = changeListerStart(commits, error);
    ASSERT_TRUE(lister) << error;
    for (const GitCommit &commit : commits) {
        SCOPED_TRACE(commit.subject);
        WalkList listed, alone;
        ASSERT_EQ(changeListNext(*lister, listed, error), 0) << error;
        ASSERT_EQ(walkGit(commit.id, alone, error), 0) << error;
        EXPECT_EQ(lines(listed), lines(alone));
    }
    WalkList past;
    EXPECT_EQ(changeListNext(*lister, past, error), 1);
}

// Only the full id of a commit, in either case, names one in a list; an
// abbreviated one is told with the full id git blame needs.
TEST(GitWalkTools, ListedCommits)
{
    SKIP_WITHOUT_GIT();
    ScratchCwd dir;
    makeHistory();
    ASSERT_EQ(git({"tag", "-a", "-m", "tag", "v1"}), 0);
    std::string head, root, tag, tree;
    git({"rev-parse", "HEAD"}, &head);
    git({"rev-parse", "HEAD~1"}, &root);
    git({"rev-parse", "v1"}, &tag);
    git({"rev-parse", "HEAD^{tree}"}, &tree);
    std::string upper = head;
    for (char &c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::vector<GitCommit> commits;
    std::vector<long> found;
    std::vector<std::string> notes;
    std::string error;
    ASSERT_EQ(walkListed({upper, tag, tree, head.substr(0, 12), std::string(40, '0'), root, head}, commits, found,
                         notes, error),
              0)
        << error;
    EXPECT_EQ(notes, std::vector<std::string>({"", "", "", "abbreviated: git blame needs " + head, "", "", ""}));
    ASSERT_EQ(found.size(), 7u);
    EXPECT_EQ(std::vector<long>(found.begin() + 1, found.end() - 2), std::vector<long>(4, -1));
    ASSERT_GE(found[0], 0);
    ASSERT_GE(found[5], 0);
    EXPECT_EQ(found[6], found[0]);
    EXPECT_EQ(commits[found[0]].id, head);
    EXPECT_EQ(commits[found[0]].parent, root);
    EXPECT_EQ(commits[found[0]].subject, "second");
    EXPECT_EQ(commits[found[5]].id, root);
    EXPECT_EQ(commits[found[5]].parent, "");
}

// A program that ends without reading its input: the write fails, and raises
// no signal that would end the tests.
TEST(GitProcessTools, WriteToProgramThatEnded)
{
    SKIP_WITHOUT_GIT();
    std::string why;
    EXPECT_EQ(processStart({"no-such-program-for-walk-tests"}, true, why), nullptr);
    EXPECT_NE(why, "");
    Process *p = processStart({"git", "--version"}, true, why);
    ASSERT_NE(p, nullptr) << why;
    std::string lots(1 << 20, 'x');  // more than a pipe holds: the write ends only when git does
    EXPECT_EQ(processWrite(*p, lots.data(), lots.size()), 1);
    EXPECT_EQ(processFinish(p), 0);
}

// Reads the rest of source.
std::string readAll(SourceStream &source)
{
    std::string text;
    char buffer[3];  // small, to read in several pieces
    while (std::size_t got = readSource(source, buffer, sizeof buffer))
        text.append(buffer, got);
    return text;
}

TEST(GitObjectsTools, ReadInSequence)
{
    SKIP_WITHOUT_GIT();
    ScratchCwd dir;
    makeHistory();
    WalkList list;
    std::string error, tree;
    ASSERT_EQ(walkGit("HEAD", list, error), 0) << error;
    ASSERT_EQ(git({"rev-parse", "HEAD^{tree}"}, &tree), 0);
    const WalkEntry &renamed = list.entries.back();
    std::unique_ptr<ObjectReader> reader = objectReaderStart(), other = objectReaderStart();
    ASSERT_TRUE(reader && other);
    SourceStream first, second;
    ASSERT_EQ(objectOpen(*reader, renamed.sides[0].object, first), 0);
    char c[2];
    ASSERT_EQ(readSource(first, c, 2), 2u);  // the first only partly read
    EXPECT_EQ(std::string(c, 2), "1\n");
    ASSERT_EQ(objectOpen(*other, renamed.sides[1].object, second), 0);  // another reader meanwhile
    EXPECT_EQ(readAll(second), kRenamed + "11\n");
    objectClose(*other, second);
    objectClose(*reader, first);
    // Objects that are not blobs, or not there, are refused; the next is read.
    EXPECT_EQ(objectOpen(*reader, tree, first), 1);
    EXPECT_EQ(objectOpen(*reader, std::string(tree.size(), '0'), first), 1);
    ASSERT_EQ(objectOpen(*reader, renamed.sides[1].object, first), 0);
    EXPECT_EQ(first.remaining, static_cast<std::int64_t>(kRenamed.size() + 3));
    EXPECT_EQ(readAll(first), kRenamed + "11\n");
    EXPECT_FALSE(first.failed);
    objectClose(*reader, first);
    objectReaderStop(reader);
    EXPECT_FALSE(reader);
}

// The places editors get in a git run started in a subdirectory.
TEST(WalkPaths, FromThePrefix)
{
    const struct {
        const char *prefix;
        const char *path;
        const char *expected;
    } cases[] = {
        {"", "src/a.c", "src/a.c"},
        {"src/", "src/a.c", "a.c"},
        {"src/", "lib/a.c", "../lib/a.c"},
        {"src/sub/", "src/a.c", "../a.c"},
        {"src/sub/", "src/subx/a.c", "../subx/a.c"},
        {"a/", "a", "../a"},  // a file a where the prefix has a directory a
        {"a/b/", "c", "../../c"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(pathFromPrefix(c.prefix, c.path), c.expected) << c.prefix << " " << c.path;
}

// The name each file of a batch run takes in the private tree.
TEST(WalkPaths, BatchNames)
{
    const struct {
        const char *path;
        const char *expected;
    } cases[] = {
        {"src/a.js", "src/a.js"},
        {"./src//a.js", "src/a.js"},
        {"-odd.js", "-odd.js"},
        {"../x/a.js", "work/x/a.js"},           // up from /work/main: its place from the root
        {"src/../../x/a.js", "work/x/a.js"},
        {"src/../a.js", "work/main/a.js"},      // going up at all: from the root, so it meets no other name
        {"/usr/lib/a.js", "usr/lib/a.js"},
        {"/../a.js", "a.js"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(batchName(c.path, "/work/main"), c.expected) << c.path;
}

} // namespace

// The languages a dry run gives a formatter, known by the program its
// command starts; another program is given every file.
TEST(FormatterLanguages, ByTheProgramsName)
{
    const struct {
        const char *command;
        const char *languages;  // nullptr: every language
    } cases[] = {
        {"black -q {}", "python"},
        {"/usr/local/bin/black -q -", "python"},
        {"python3 -m black -q {}", "python"},
        {"env PYTHONPATH=x LC_ALL=C black {}", "python"},
        {"clang-format-15 -i {}", "c,java,javascript,typescript,json"},
        {"'gofmt' -l -w {}", "go"},
        {"npx prettier --write {}", "javascript,typescript,json,css,scss,less,markdown,yaml,graphql"},
        {"prettier --plugin=@prettier/plugin-php --write {}", nullptr},
        {"blacken-docs {}", nullptr},
        {"python3 tools/black.py {}", nullptr},
        {"sed -i 's/a/b/' {}", nullptr},
        {"", nullptr},
    };
    for (const auto &c : cases)
        EXPECT_EQ(formatterLanguages(c.command), c.languages ? languagesNamed(c.languages) : 0) << c.command;
    EXPECT_EQ(languagesNamed("c,nonesuch"), 0u);
    EXPECT_EQ(languagesNamed("typescript"), languageFamily(Language::Tsx));
}
