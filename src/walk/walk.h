// The pairs of a whole-tree or git comparison: which files to compare, which
// are on one side only, and which cannot be compared at all; and the bytes of
// each side, from a file or from git's object store.
#ifndef MATCHLING_WALK_H
#define MATCHLING_WALK_H

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/settings.h"
#include "common/source_stream.h"

// Where the bytes of one side of a pair come from.
struct SideRef {
    std::string name;    // the name reports use: "DIR1/sub/a.c", "HEAD^:sub/a.c", "sub/a.c"
    std::string file;    // the file to open; empty when the bytes are a git object
    std::string object;  // the git object id (hex) when the bytes are a git object, else empty
    std::int64_t size = -1;  // bytes, when known from the listing; -1 when not
    std::string command;     // when set, the bytes are what this shell command writes with file on its input
    int seconds = 0;         // with command: how long it may run, in seconds
    std::string path;        // when set, the path reports and the language table take for this side: a copy's file's
};

enum class EntryKind {
    Pair,        // present on both sides: compare sides[0] with sides[1]
    OnlyFirst,   // present on the first side only (sides[0] set)
    OnlySecond,  // present on the second side only (sides[1] set)
    Failed,      // cannot be compared (reason says why); never opened
    Same,        // known identical without reading (same git object, same file, same link target)
};

struct WalkEntry {
    EntryKind kind = EntryKind::Pair;
    std::string path;    // relative path reports name; "old -> new" for a rename
    std::string reason;  // for Failed: "symbolic link", "not a regular file", "unreadable directory", ...
    SideRef sides[2];
    bool renamed = false;  // git: the two sides are at different paths (a rename git detected)
};

// The whole comparison: its entries in sorted order of path (byte order), and
// the names of its two sides for the "Only in" lines.
struct WalkList {
    std::string sideNames[2];  // "DIR1" and "DIR2" as given; "REV^" and "REV"; "HEAD" and "working tree"
    std::vector<WalkEntry> entries;
};

// Lists every regular file under dir1 and dir2 by relative path, without
// following symbolic links. Returns 0, or 1 with error set (a directory that
// cannot be read at the top).
int walkTrees(const std::string &dir1, const std::string &dir2, WalkList &list, std::string &error);

// Lists the files a commit changed: with rev, those commit rev changed against
// its first parent; with rev empty, every tracked file whose working-tree
// content may differ from HEAD (staged additions and deletions included,
// untracked files not). Renames git detects are pairs. Runs the git program
// found on the PATH in the current directory. Returns 0, or 1 with error set
// (no git, not a repository, an unknown revision).
int walkGit(const std::string &rev, WalkList &list, std::string &error);

// What the walk of a formatter's dry run left out, and why.
struct LeftOut {
    long long skipped = 0;   // files under the directories named whose kind the language table does not know
                             // (by their names, or by their starts where their names call for a content test)
    long long excluded = 0;  // files --exclude left out
    long long notGiven = 0;  // files of languages the formatter does not format, by their names
    bool named = false;      // name the files skipped and not given in files, too
    struct File {
        std::string path;
        Language language;   // of a file not given; Unknown for one skipped
    };
    std::vector<File> files;  // with named: those files, in the order of the walk
};

struct ExcludeList;

// The current directory's path from the top of its git work tree, with a
// '/' after it ("src/lib/"), or empty at the top. Returns 0, or 1 with error
// set (no git, not a repository).
int gitPrefix(std::string &prefix, std::string &error);

// prefix's way to path, both from the top of a work tree (prefix as
// gitPrefix gives it): "lib/a.c" from "src/" is "../lib/a.c".
std::string pathFromPrefix(const std::string &prefix, const std::string &path);

// Keeps of list's entries those under paths (files or directories, relative
// to the current directory, as a git run after "--" names them); all of
// them when paths is empty. A renamed file is kept when either of its paths
// is. Returns 0, or 1 with error set.
int gitPathsKept(const std::vector<std::string> &paths, WalkList &list, std::string &error);

// The same in two steps, for many lists: paths as tops from the top of the
// work tree (returns 0, or 1 with error set), then of a list's entries
// those under tops (an empty top holds everything).
int gitPathTops(const std::vector<std::string> &paths, std::vector<std::string> &tops, std::string &error);
void keepPathsUnder(const std::vector<std::string> &tops, WalkList &list);

// Lists, for a formatter's dry run, every file named in paths and every
// file under the directories named there whose name the language table
// knows, with byContent (no --language) those whose name calls for a
// content test only where their start passes it (the directories of git,
// Mercurial and Subversion are not entered),
// each paired with what command writes when it is given the file: each
// "{}" in command stands for the file's name, quoted for the shell. With
// command empty (a batch run), the second side is left for the caller to
// set. A file under a directory is matched against excludes by its path
// relative to that directory, a file named by its path as given. Entries
// come in the order of paths, those of one directory in byte order of path.
// Counts the files left out in left. Returns 0, or 1 with error set (a name
// that is neither file nor directory, a directory that cannot be read at
// its top).
// Of the files whose names select a language, only those of the languages
// in given (a bit each, languageFamily) are taken, unless given is 0; with
// includes, only those its patterns match, as excludes would (the others
// are not given).
int walkFormatter(const std::vector<std::string> &paths, const std::string &command, int seconds, bool byContent,
                  std::uint64_t given, const ExcludeList &excludes, const ExcludeList &includes, WalkList &list,
                  LeftOut &left, std::string &error);

// The languages the formatter that command starts formats, by its program's
// name (a version after it allowed, "clang-format-15"), after assignments
// and "env", "exec", "npx" and "python -m": black, yapf and autopep8 Python,
// gofmt Go, rustfmt Rust, shfmt shell, clang-format the C family, Java,
// JavaScript, TypeScript and JSON, and so on. 0 (every language) for
// another program, and for prettier given a plugin.
std::uint64_t formatterLanguages(const std::string &command);

// Runs side's command with side.file on its input, its output into a
// temporary file of the system's that has no name. Returns 0 with output set,
// or 1 with why set, the reason a report gives: the command failed (its exit
// status or signal), ran past its time, wrote to the file itself, or wrote
// nothing for a file that is not empty; with the first line of its
// standard error.
int formatterOutput(const SideRef &side, std::FILE *&output, std::string &why);

// One commit of a history.
struct GitCommit {
    std::string id;       // its full object id
    std::string shortId;  // the same as git abbreviates it
    std::string subject;  // the first line of its message
    std::string parent;   // its first parent's full object id; empty for a commit without parents
};

// Lists the commits of range (such as "REV1..REV2") along first parents,
// oldest first. Runs the git program found on the PATH, after checking once
// that it runs and that the current directory is in a repository. Returns 0,
// or 1 with error set (no git, not a repository, a range git does not take).
int walkRange(const std::string &range, std::vector<GitCommit> &commits, std::string &error);

// Finds the commits the lines of listed name by their full object ids (hex
// digits in either case), checking git once as walkRange does: sets found[i]
// to the index in commits of the commit line i names, or -1 when it names no
// commit. git blame reads only full ids: a line of 4 hex digits or more
// that abbreviates one gets in notes[i] the reason it is no commit for git
// blame, with the commit's full id ("abbreviated: git blame needs ID"), or
// that it names several objects. Returns 0, or 1 with error set (no git,
// not a repository).
int walkListed(const std::vector<std::string> &listed, std::vector<GitCommit> &commits, std::vector<long> &found,
               std::vector<std::string> &notes,
               std::string &error);

// Lists what each commit of a history changed against its first parent,
// one commit after the other, through one long-lived "git diff-tree --stdin".
struct ChangeLister;

// Dropping a lister stops its git, after letting it print what it still
// would; this also lets code hold one in a unique_ptr without its complete type.
namespace std {
template <>
struct default_delete<ChangeLister> {
    void operator()(ChangeLister *lister) const;
};
} // namespace std

// Starts listing the changes of commits, which must outlive the lister.
// Returns null, with error set, when git cannot be started.
std::unique_ptr<ChangeLister> changeListerStart(const std::vector<GitCommit> &commits, std::string &error);

// Sets list to what the next commit of the lister changed, as walkGit lists
// a commit's changes, its sides named "ID^" and "ID" by the full id. Returns
// 0, or 1 with error set (git failed or printed what is not a listing); the
// lister lists nothing more after that.
int changeListNext(ChangeLister &lister, WalkList &list, std::string &error);

// Reads git objects for one worker: one long-lived "git cat-file --batch".
struct ObjectReader;

// Dropping a reader stops it as objectReaderStop does; this also lets code
// that holds one in a unique_ptr compile without its complete type.
namespace std {
template <>
struct default_delete<ObjectReader> {
    void operator()(ObjectReader *reader) const;
};
} // namespace std

std::unique_ptr<ObjectReader> objectReaderStart();  // null when git cannot be started
void objectReaderStop(std::unique_ptr<ObjectReader> &reader);

// Opens object for reading through source (stream and remaining set). Returns
// 0, or 1 when the object cannot be read. Call objectClose before the next.
int objectOpen(ObjectReader &reader, const std::string &object, SourceStream &source);

// Reads and drops whatever of the open object is left, so that the next
// object can be asked for.
void objectClose(ObjectReader &reader, SourceStream &source);

// Adds the parts of path between '/'s to parts, "." and empty ones left
// out, each ".." taking the one before it away. Without up, stops and
// returns false at a ".." that would go above the start; with up, such a
// ".." stays at the start, as at the root (up tells whether any ".." was
// read), and the return says whether one went above.
bool addPathParts(const std::string &path, std::vector<std::string> &parts, bool *up = nullptr);

// The parts from index from on, joined by '/'.
std::string joinedParts(const std::vector<std::string> &parts, std::size_t from);

#endif
