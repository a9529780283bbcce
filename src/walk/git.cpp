// What a commit changed, or what the working tree changed against HEAD, from
// git's raw -z listing; the commits of a history and what each changed, from
// one long-lived "git diff-tree --stdin"; and blobs read through one
// long-lived "git cat-file --batch" per reader. git is only asked, never
// told: nothing here writes to the repository, the index or the working tree.
#include "walk/process.h"
#include "walk/tree.h"
#include "walk/walk.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <map>
#include <set>
#include <thread>

struct ObjectReader {
    Process *git = nullptr;  // the running "git cat-file --batch"
    bool broken = false;     // its output is out of step with the requests: nothing more can be read
};

namespace {

// The longest header line of "git cat-file --batch" taken for one.
constexpr std::size_t kLongestHeader = 1024;

// One change of git's raw listing.
struct Change {
    std::string modes[2];  // each side's mode: "100644", "120000"...; all zeros where the side has none
    std::string ids[2];    // each side's object id; all zeros where not known
    char status = 0;       // git's letter: 'M', 'A', 'D', 'R', 'C', 'T', 'U'...
    std::string paths[2];  // the old and the new path; the same but for 'R' and 'C'
};

// How the two sides of a git listing are named and read.
struct GitSides {
    std::string revs[2];  // "REV^" and "REV"; or "HEAD" and empty for the working tree
    std::string top;      // the top directory of the work tree
};

// git with the settings no configuration may change, then args.
std::vector<std::string> gitCommand(std::initializer_list<std::string> args)
{
    std::vector<std::string> argv = {"git", "-c", "core.quotepath=false", "--no-optional-locks"};
    argv.insert(argv.end(), args);
    return argv;
}

// Runs git as argv says to its end, its standard output into out. Returns
// its exit status, with why set when it is not 0.
int runGit(const std::vector<std::string> &argv, std::string &out, std::string &why)
{
    out.clear();
    Process *git = processStart(argv, false, why);
    if (!git)
        return -1;
    char buffer[65536];
    while (std::size_t got = std::fread(buffer, 1, sizeof buffer, processOutput(*git)))
        out.append(buffer, got);
    int status = processFinish(git);
    if (status != 0)
        why = status < 0 ? "it did not exit normally" : "exit status " + std::to_string(status);
    return status;
}

// out without the line feed that ends git's one line.
std::string chomp(std::string out)
{
    if (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

// Resolves name to an object id into id. Returns 0, or 1 when git knows no
// such object.
int resolve(const std::string &name, std::string &id)
{
    std::string out, why;
    if (runGit(gitCommand({"rev-parse", "--verify", "--quiet", name}), out, why) != 0)
        return 1;
    id = chomp(out);
    return 0;
}

bool allZeros(const std::string &s)
{
    return s.find_first_not_of('0') == std::string::npos;
}

// The next NUL-ended field of out at at, into value. Returns whether there is one.
bool nextField(const std::string &out, std::size_t &at, std::string &value)
{
    std::size_t end = out.find('\0', at);
    if (end == std::string::npos)
        return false;
    value.assign(out, at, end - at);
    at = end + 1;
    return true;
}

// Reads a change's header ":old-mode new-mode old-id new-id status[score]".
bool parseHeader(const std::string &header, Change &change)
{
    std::string *words[5] = {&change.modes[0], &change.modes[1], &change.ids[0], &change.ids[1], nullptr};
    std::string status;
    words[4] = &status;
    if (header.empty() || header[0] != ':')
        return false;
    std::size_t at = 1;
    for (int i = 0; i < 5; ++i) {
        std::size_t end = i < 4 ? header.find(' ', at) : header.size();
        if (end == std::string::npos || end == at)
            return false;
        words[i]->assign(header, at, end - at);
        at = end + 1;
    }
    change.status = status[0];
    return true;
}

// Reads the changes of git's raw -z listing. Returns 0, or 1 when out is not one.
int parseChanges(const std::string &out, std::vector<Change> &changes)
{
    std::size_t at = 0;
    std::string header;
    while (at < out.size()) {
        Change change;
        if (!nextField(out, at, header) || !parseHeader(header, change) || !nextField(out, at, change.paths[0]))
            return 1;
        change.paths[1] = change.paths[0];
        bool twoPaths = change.status == 'R' || change.status == 'C';
        if (twoPaths && !nextField(out, at, change.paths[1]))
            return 1;
        changes.push_back(std::move(change));
    }
    return 0;
}

// Why a side of mode cannot be read as a file; null when it can.
const char *modeProblem(const std::string &mode)
{
    if (mode == "120000")
        return "symbolic link";
    if (mode.compare(0, 3, "100") == 0)
        return nullptr;
    return "not a regular file";  // 160000, a submodule
}

// Sets side s of change's entry. Returns why it cannot be read as a file, or null.
const char *fillSide(const GitSides &sides, const Change &change, int s, SideRef &side)
{
    const std::string &path = change.paths[s];
    if (s == 0 || !sides.revs[1].empty()) {
        side.name = sides.revs[s] + ":" + path;
        side.object = change.ids[s];
        return modeProblem(change.modes[s]);
    }
    // The working tree: what is there now, whatever git saw.
    side.name = path;
    std::string file = sides.top + "/" + path;
    TreeNode node;
    if (treeStat(file, node) != 0)
        return "missing";
    if (node.type == NodeType::Link)
        return "symbolic link";
    if (node.type != NodeType::File)
        return "not a regular file";
    side.file = file;
    side.size = node.size;
    return modeProblem(change.modes[s]);
}

WalkEntry entryFor(const GitSides &sides, const Change &change)
{
    WalkEntry entry;
    bool twoPaths = change.status == 'R' || change.status == 'C';
    entry.path = twoPaths ? change.paths[0] + " -> " + change.paths[1] : change.paths[1];
    bool present[2];
    const char *problem = nullptr;
    for (int s = 0; s < 2; ++s) {
        present[s] = !allZeros(change.modes[s]);
        const char *sideProblem = present[s] ? fillSide(sides, change, s, entry.sides[s]) : nullptr;
        problem = problem ? problem : sideProblem;
    }
    if (change.status == 'U')
        problem = "unmerged";
    else if (!std::strchr("ACDMRT", change.status) || (!present[0] && !present[1]))
        problem = "unknown change";
    entry.renamed = change.paths[0] != change.paths[1];
    if (problem) {
        entry.kind = EntryKind::Failed;
        entry.reason = problem;
    } else if (present[0] && present[1]) {
        bool same = change.ids[0] == change.ids[1] && !allZeros(change.ids[0]);
        entry.kind = same ? EntryKind::Same : EntryKind::Pair;
    } else {
        entry.kind = present[0] ? EntryKind::OnlyFirst : EntryKind::OnlySecond;
    }
    return entry;
}

// Sets list's entries to changes, in byte order of their new paths.
void listChanges(const GitSides &sides, std::vector<Change> &changes, WalkList &list)
{
    std::stable_sort(changes.begin(), changes.end(),
                     [](const Change &a, const Change &b) { return a.paths[1] < b.paths[1]; });
    list.entries.clear();
    for (const Change &change : changes)
        list.entries.push_back(entryFor(sides, change));
}

// The git command that lists the changes the walk asks for, and the names of
// its sides. Returns 0, or 1 with error set (an unknown revision, no commit).
int listCommand(const std::string &rev, const std::string &top, GitSides &sides, std::vector<std::string> &argv,
                std::string &error)
{
    std::string commit, parent;
    if (rev.empty()) {
        if (resolve("HEAD^{commit}", commit) != 0) {
            error = "No commit yet (HEAD) in " + top;
            return 1;
        }
        sides.revs[0] = "HEAD";
        argv = gitCommand({"diff-index", "-z", "-M", "--no-ext-diff", "--no-textconv", "--no-color", commit});
        return 0;
    }
    // A revision that starts with '-' would be taken for an option.
    if (rev[0] == '-' || resolve(rev + "^{commit}", commit) != 0) {
        error = "Unknown revision: " + rev;
        return 1;
    }
    sides.revs[0] = rev + "^";
    sides.revs[1] = rev;
    if (resolve(commit + "^1^{commit}", parent) == 0)
        argv = gitCommand({"diff-tree", "-r", "-z", "-M", "--no-ext-diff", "--no-textconv", "--no-color", parent, commit});
    else  // a root commit: against the empty tree
        argv = gitCommand({"diff-tree", "-r", "-z", "-M", "--no-ext-diff", "--no-textconv", "--no-color", "--root",
                           "--no-commit-id", commit});
    return 0;
}

// Reads one line of stream, without its line feed, into line. Returns 0, or 1
// when the stream ends first or the line is too long for a header.
int readHeader(std::FILE *stream, std::string &line)
{
    line.clear();
    for (int c = std::getc(stream); c != EOF; c = std::getc(stream)) {
        if (c == '\n')
            return 0;
        if (line.size() == kLongestHeader)
            return 1;
        line += static_cast<char>(c);
    }
    return 1;
}

// Reads and drops what is left of source. Returns 0, or 1 when it ends short.
int drain(SourceStream &source)
{
    char buffer[16384];
    while (readSource(source, buffer, sizeof buffer) > 0) {
    }
    return source.failed || source.remaining != 0;
}

// The size at the end of a header "<id> <type> <size>" and its type; -1 for
// a header such as "<name> missing", which nothing follows.
std::int64_t headerSize(const std::string &header, std::string &type)
{
    std::size_t last = header.rfind(' ');
    if (last == std::string::npos || last + 1 == header.size())
        return -1;
    std::int64_t size = 0;
    for (std::size_t i = last + 1; i < header.size(); ++i) {
        char c = header[i];
        if (c < '0' || c > '9' || size > (INT64_MAX - 9) / 10)
            return -1;
        size = size * 10 + (c - '0');
    }
    std::size_t first = last == 0 ? std::string::npos : header.rfind(' ', last - 1);
    if (first == std::string::npos)
        return -1;
    type.assign(header, first + 1, last - first - 1);
    return size;
}

} // namespace

namespace {

// Checks that git runs and that the current directory is in a repository,
// whose top folder goes to top when asked for. Returns 0, or 1 with error set.
int checkRepository(std::string &error, std::string *top = nullptr)
{
    std::string out, why;
    if (runGit(gitCommand({"--version"}), out, why) != 0) {
        error = "Unable to run git: " + why;
        return 1;
    }
    if (runGit(gitCommand({"rev-parse", "--show-toplevel"}), out, why) != 0) {
        error = "Not a git repository: " + processCurrentDirectory();
        return 1;
    }
    if (top)
        *top = chomp(out);
    return 0;
}

} // namespace

int walkGit(const std::string &rev, WalkList &list, std::string &error)
{
    list.entries.clear();
    list.sideNames[0] = rev.empty() ? "HEAD" : rev + "^";
    list.sideNames[1] = rev.empty() ? "working tree" : rev;
    GitSides sides;
    if (checkRepository(error, &sides.top) != 0)
        return 1;
    std::string out, why;
    std::vector<std::string> argv;
    if (listCommand(rev, sides.top, sides, argv, error) != 0)
        return 1;
    if (runGit(argv, out, why) != 0) {
        error = "Unable to list the changes: git " + argv[4] + ": " + why;
        return 1;
    }
    std::vector<Change> changes;
    if (parseChanges(out, changes) != 0) {
        error = "Unable to list the changes: git " + argv[4] + " printed what is not a list of changes";
        return 1;
    }
    listChanges(sides, changes, list);
    return 0;
}

namespace {

constexpr std::size_t kInputChunk = 65536;  // bytes of a program's input written at a time

// Writes bytes to git's standard input and then ends it; on its own thread,
// so that git's output is read meanwhile and neither side waits on the other.
void feed(Process *git, const std::string *bytes)
{
    for (std::size_t at = 0; at < bytes->size(); at += kInputChunk) {
        const std::size_t n = std::min(kInputChunk, bytes->size() - at);
        if (processWrite(*git, bytes->data() + at, n) != 0)
            break;  // git has ended: what it printed tells why
    }
    processEndInput(*git);
}

// Runs git as argv says with input on its standard input, to its end, its
// standard output into out. Returns its exit status, with why set when it is not 0.
int runGitWith(const std::vector<std::string> &argv, const std::string &input, std::string &out, std::string &why)
{
    out.clear();
    Process *git = processStart(argv, true, why);
    if (!git)
        return -1;
    std::thread writer(feed, git, &input);
    char buffer[65536];
    while (std::size_t got = std::fread(buffer, 1, sizeof buffer, processOutput(*git)))
        out.append(buffer, got);
    writer.join();
    int status = processFinish(git);
    if (status != 0)
        why = status < 0 ? "it did not exit normally" : "exit status " + std::to_string(status);
    return status;
}

// The format of rev-list's line for each commit: its short id, its parents'
// ids and its subject, apart by tabs (the subject may hold more).
const char *const kCommitFormat = "--format=%h%x09%P%x09%s";

// Reads rev-list's kCommitFormat output: "commit ID" lines, each followed by
// the commit's line. Returns 0, or 1 when out is not that.
int parseCommits(const std::string &out, std::vector<GitCommit> &commits)
{
    std::size_t at = 0;
    while (at < out.size()) {
        std::size_t end = out.find('\n', at);
        std::size_t next = end == std::string::npos ? end : out.find('\n', end + 1);
        if (next == std::string::npos || out.compare(at, 7, "commit ") != 0)
            return 1;
        GitCommit commit;
        commit.id.assign(out, at + 7, end - at - 7);
        std::string line(out, end + 1, next - end - 1);
        std::size_t tab = line.find('\t');
        std::size_t tab2 = tab == std::string::npos ? tab : line.find('\t', tab + 1);
        if (tab2 == std::string::npos)
            return 1;
        commit.shortId = line.substr(0, tab);
        commit.parent = line.substr(tab + 1, tab2 - tab - 1);
        commit.parent = commit.parent.substr(0, commit.parent.find(' '));  // the first parent only
        commit.subject = line.substr(tab2 + 1);
        commits.push_back(std::move(commit));
        at = next + 1;
    }
    return 0;
}

// Puts into commits those of ids (full object ids in lower case) that are
// commits' ids. Returns 0, or 1 with why set when git cannot tell.
int commitsAmong(const std::vector<std::string> &ids, std::set<std::string> &commits, std::string &why)
{
    std::string input, out;
    for (const std::string &id : ids)
        input += id + "\n";
    if (runGitWith(gitCommand({"cat-file", "--batch-check=%(objectname) %(objecttype)"}), input, out, why) != 0)
        return 1;
    for (std::size_t at = 0; at < out.size();) {
        std::size_t end = out.find('\n', at);
        end = end == std::string::npos ? out.size() : end;
        const std::string line(out, at, end - at);
        const std::size_t blank = line.find(' ');
        if (blank != std::string::npos && line.compare(blank + 1, std::string::npos, "commit") == 0)
            commits.insert(line.substr(0, blank));
        at = end + 1;
    }
    return 0;
}

// Sets notes[i] for each line of listed that abbreviates an object id (4
// hex digits or more, fewer than a full id): what it names. Returns 0, or
// 1 with error set when git cannot tell.
int abbreviatedIds(const std::vector<std::string> &listed, std::vector<std::string> &notes, std::string &error)
{
    std::vector<std::size_t> lines;
    std::string input, out, why;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const std::string &line = listed[i];
        if (line.size() >= 4 && line.size() < 40 && line.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
            lines.push_back(i);
            input += line + "\n";
        }
    }
    if (lines.empty())
        return 0;
    if (runGitWith(gitCommand({"cat-file", "--batch-check=%(objectname) %(objecttype)"}), input, out, why) != 0) {
        error = "Unable to look up the listed commits: git cat-file: " + why;
        return 1;
    }
    // One line of output for each line of input, in order: "ID TYPE", or
    // "NAME ambiguous" or "NAME missing".
    std::size_t at = 0;
    for (std::size_t i : lines) {
        const std::size_t end = out.find('\n', at);
        const std::string answer = out.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? out.size() : end + 1;
        const std::size_t blank = answer.find(' ');
        const std::string kind = blank == std::string::npos ? std::string() : answer.substr(blank + 1);
        if (kind == "commit")
            notes[i] = "abbreviated: git blame needs " + answer.substr(0, blank);
        else if (kind == "ambiguous")
            notes[i] = "abbreviated: it names several objects";
    }
    return 0;
}

} // namespace

int walkRange(const std::string &range, std::vector<GitCommit> &commits, std::string &error)
{
    commits.clear();
    if (checkRepository(error) != 0)
        return 1;
    // A range that starts with '-' would be taken for an option.
    std::string out, why;
    if (range[0] == '-' ||
        runGit(gitCommand({"rev-list", "--first-parent", "--reverse", kCommitFormat, range, "--"}), out, why) != 0) {
        error = "Unknown revision: " + range;
        return 1;
    }
    if (parseCommits(out, commits) != 0) {
        error = "Unable to list the commits: git rev-list printed what is not a list of commits";
        return 1;
    }
    return 0;
}

int walkListed(const std::vector<std::string> &listed, std::vector<GitCommit> &commits, std::vector<long> &found,
               std::vector<std::string> &notes, std::string &error)
{
    commits.clear();
    found.assign(listed.size(), -1);
    notes.assign(listed.size(), std::string());
    if (checkRepository(error) != 0)
        return 1;
    if (abbreviatedIds(listed, notes, error) != 0)
        return 1;
    // Only a full object id names a commit for git blame's list; git reads
    // its hex digits in either case.
    std::vector<std::string> ids, hex;
    for (const std::string &line : listed) {
        std::string id = line;
        for (char &c : id)
            c = c >= 'A' && c <= 'F' ? static_cast<char>(c - 'A' + 'a') : c;
        const bool full = (id.size() == 40 || id.size() == 64) && id.find_first_not_of("0123456789abcdef") == std::string::npos;
        ids.push_back(full ? id : std::string());
        if (full)
            hex.push_back(id);
    }
    if (hex.empty())
        return 0;
    // A tag's id, or any other object's, is no commit's: only the commits
    // themselves go to rev-list, which would peel a tag and stop at a tree.
    std::set<std::string> named;
    std::string input, out, why;
    if (commitsAmong(hex, named, why) != 0) {
        error = "Unable to look up the listed commits: git cat-file: " + why;
        return 1;
    }
    for (const std::string &id : named)
        input += id + "\n";
    if (!input.empty() &&
        runGitWith(gitCommand({"rev-list", "--no-walk=unsorted", "--stdin", kCommitFormat}), input, out, why) != 0) {
        error = "Unable to look up the listed commits: git rev-list: " + why;
        return 1;
    }
    if (parseCommits(out, commits) != 0) {
        error = "Unable to list the commits: git rev-list printed what is not a list of commits";
        return 1;
    }
    std::map<std::string, long> index;
    for (std::size_t k = 0; k < commits.size(); ++k)
        index[commits[k].id] = static_cast<long>(k);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const auto k = index.find(ids[i]);
        found[i] = k != index.end() ? k->second : -1;
    }
    return 0;
}

struct ChangeLister {
    Process *git = nullptr;       // the running "git diff-tree --stdin"; null once finished
    std::string input;            // its input: one line per commit, the commit and its first parent
    std::thread writer;           // writes input
    const std::vector<GitCommit> *commits = nullptr;  // the commits listed, in input order
    std::size_t next = 0;         // the commit changeListNext lists next
    std::string header;           // the field read ahead: the next commit's id, when fieldAhead
    bool fieldAhead = false;      // header holds a field not yet taken
};

namespace {

// Reads one NUL-ended field of stream into field. Returns 0, 1 at the end
// of the stream, or 2 when it ends inside a field.
int readField(std::FILE *stream, std::string &field)
{
    field.clear();
    for (int c = std::getc(stream); c != EOF; c = std::getc(stream)) {
        if (c == '\0')
            return 0;
        field += static_cast<char>(c);
    }
    return field.empty() ? 1 : 2;
}

// Ends lister's git, reading what it still prints, and sets why to how it
// ended when that was not well.
void finishLister(ChangeLister &lister, std::string &why)
{
    if (!lister.git)
        return;
    char buffer[16384];
    while (std::fread(buffer, 1, sizeof buffer, processOutput(*lister.git)) > 0) {
    }
    lister.writer.join();
    const int status = processFinish(lister.git);
    lister.git = nullptr;
    if (status != 0)
        why = status < 0 ? "it did not exit normally" : "exit status " + std::to_string(status);
}

// Reads the changes of one commit, up to the next header (kept in
// lister.header) or the end. Returns 0, or 1 when the output is not a listing.
int readChanges(ChangeLister &lister, std::vector<Change> &changes)
{
    std::FILE *out = processOutput(*lister.git);
    std::string field;
    for (;;) {
        const int got = readField(out, field);
        if (got == 1)
            return 0;
        if (got == 2)
            return 1;
        if (field[0] != ':') {
            lister.header = field;
            lister.fieldAhead = true;
            return 0;
        }
        Change change;
        if (!parseHeader(field, change) || readField(out, change.paths[0]) != 0)
            return 1;
        change.paths[1] = change.paths[0];
        if ((change.status == 'R' || change.status == 'C') && readField(out, change.paths[1]) != 0)
            return 1;
        changes.push_back(std::move(change));
    }
}

} // namespace

void std::default_delete<ChangeLister>::operator()(ChangeLister *lister) const
{
    std::string why;
    finishLister(*lister, why);
    delete lister;
}

std::unique_ptr<ChangeLister> changeListerStart(const std::vector<GitCommit> &commits, std::string &error)
{
    std::unique_ptr<ChangeLister> lister(new ChangeLister);
    lister->commits = &commits;
    for (const GitCommit &commit : commits)
        lister->input += commit.id + (commit.parent.empty() ? "" : " " + commit.parent) + "\n";
    // --always: a header for every commit, also one that changed nothing;
    // --root: a commit without parents against the empty tree.
    std::string why;
    lister->git = processStart(gitCommand({"diff-tree", "--stdin", "--always", "--root", "-r", "-z", "-M",
                                           "--no-ext-diff", "--no-textconv", "--no-color"}),
                               true, why);
    if (!lister->git) {
        error = "Unable to list the changes: git diff-tree: " + why;
        return nullptr;
    }
    lister->writer = std::thread(feed, lister->git, &lister->input);
    return lister;
}

int changeListNext(ChangeLister &lister, WalkList &list, std::string &error)
{
    list.entries.clear();
    const std::string bad = "Unable to list the changes: git diff-tree printed what is not a list of changes";
    if (!lister.git || lister.next >= lister.commits->size()) {
        error = bad;
        return 1;
    }
    const GitCommit &commit = (*lister.commits)[lister.next++];
    std::string why;
    if (!lister.fieldAhead) {
        const int got = readField(processOutput(*lister.git), lister.header);
        if (got != 0) {
            finishLister(lister, why);
            error = why.empty() ? bad : "Unable to list the changes: git diff-tree: " + why;
            return 1;
        }
    }
    lister.fieldAhead = false;
    std::vector<Change> changes;
    if (lister.header != commit.id || readChanges(lister, changes) != 0) {
        finishLister(lister, why);
        error = bad;
        return 1;
    }
    GitSides sides;
    sides.revs[0] = commit.id + "^";
    sides.revs[1] = commit.id;
    list.sideNames[0] = sides.revs[0];
    list.sideNames[1] = sides.revs[1];
    listChanges(sides, changes, list);
    return 0;
}

std::unique_ptr<ObjectReader> objectReaderStart()
{
    std::string why;
    Process *git = processStart(gitCommand({"cat-file", "--batch"}), true, why);
    if (!git)
        return nullptr;
    std::unique_ptr<ObjectReader> reader(new ObjectReader);
    reader->git = git;
    return reader;
}

void objectReaderStop(std::unique_ptr<ObjectReader> &reader)
{
    reader.reset();
}

void std::default_delete<ObjectReader>::operator()(ObjectReader *reader) const
{
    // git ends at the end of its input; one still writing ends at the closed pipe.
    processFinish(reader->git);
    delete reader;
}

int objectOpen(ObjectReader &reader, const std::string &object, SourceStream &source)
{
    source = SourceStream();
    // A name with a line feed would be two requests.
    if (reader.broken || object.empty() || object.find('\n') != std::string::npos)
        return 1;
    std::string request = object + "\n", header, type;
    std::FILE *output = processOutput(*reader.git);
    if (processWrite(*reader.git, request.data(), request.size()) != 0 || readHeader(output, header) != 0) {
        reader.broken = true;
        return 1;
    }
    std::int64_t size = headerSize(header, type);
    if (size < 0)
        return 1;
    SourceStream content{output, size};  // remaining: the blob's size; its file size is not known
    if (type == "blob") {
        source = content;
        return 0;
    }
    // Another kind of object: its content and line feed are skipped unread.
    if (drain(content) != 0 || std::getc(output) != '\n')
        reader.broken = true;
    return 1;
}

void objectClose(ObjectReader &reader, SourceStream &source)
{
    if (!source.stream)
        return;
    if (drain(source) != 0 || std::getc(source.stream) != '\n')
        reader.broken = true;
    source = SourceStream();
}

int gitPrefix(std::string &prefix, std::string &error)
{
    std::string out, why;
    if (runGit(gitCommand({"rev-parse", "--show-prefix"}), out, why) != 0) {
        error = "Not a git repository: " + processCurrentDirectory();
        return 1;
    }
    prefix = chomp(out);
    return 0;
}
