// A formatter's batch run: the copies, the calls of the command over them,
// and each copy as the second side of its file's pair.
#include "walk/batch.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "common/files.h"
#include "walk/scratch.h"
#include "walk/tree.h"

namespace {

constexpr int kSecondsPerFile = 1;           // a batch call's allowance for each file, beyond --timeout
constexpr int kMostCallSeconds = 7 * 86400;  // and its most
constexpr int kMostNarrowingCalls = 64;      // calls, beyond the first ones, that find the files a call failed on

// One copy in the tree, and the pairs whose file it is.
struct Copy {
    std::string rel;                   // its name in the tree
    std::string source;                // the file it copies, as the first pair named it
    std::vector<std::size_t> entries;  // the pairs of the list that it is the second side of
    std::string reason;                // why it cannot be compared; empty when it can
    std::string stamp;                 // fileStamp before the command ran
};

std::size_t holes(const std::string &command)
{
    std::size_t n = 0;
    for (std::size_t at = command.find("{}"); at != std::string::npos; at = command.find("{}", at + 2))
        ++n;
    return n;
}

// rel as the list of names gives it: quoted, with "./" before a name that
// starts with '-', which the command would read as an option.
std::string listed(const std::string &rel)
{
    return processShellQuote(rel[0] == '-' ? "./" + rel : rel);
}

// Groups the copies that can go to the command into calls, each command
// line no longer than longest; one that is too long alone gets its reason.
std::vector<std::vector<std::size_t>> callsFor(const std::string &command, std::vector<Copy> &copies,
                                               std::size_t longest)
{
    std::vector<std::vector<std::size_t>> calls(1);
    const std::size_t n = holes(command);
    std::size_t length = command.size() - 2 * n;  // the command with its "{}"s empty
    for (std::size_t c = 0; c < copies.size(); ++c) {
        if (!copies[c].reason.empty())
            continue;
        calls.back().push_back(c);
        if (n == 0)
            continue;
        const std::size_t more = n * (listed(copies[c].rel).size() + 1);
        if (length + more > longest && calls.back().size() > 1) {
            calls.back().pop_back();
            calls.emplace_back(1, c);
            length = command.size() - 2 * n;
        }
        length += more;
        if (length > longest) {
            copies[c].reason = "formatter not run: command line too long";
            calls.back().pop_back();
            length = command.size() - 2 * n;
        }
    }
    if (calls.back().empty())
        calls.pop_back();
    return calls;
}

// The configuration files formatters look for in the directories above a
// file they format, which the private tree holds too.
const char *const kConfigFiles[] = {
    ".clang-format", "_clang-format", ".editorconfig", "pyproject.toml", ".style.yapf", "setup.cfg",
    "rustfmt.toml", ".rustfmt.toml", "rust-toolchain", "rust-toolchain.toml", ".prettierrc", ".prettierrc.json",
    ".prettierrc.json5", ".prettierrc.yaml", ".prettierrc.yml", ".prettierrc.toml", ".prettierrc.js",
    ".prettierrc.cjs", ".prettierrc.mjs", "prettier.config.js", "prettier.config.cjs", "prettier.config.mjs",
    ".prettierignore", ".taplo.toml", "taplo.toml", ".cmake-format", ".cmake-format.yaml", ".cmake-format.py",
};

// Copies into the tree, beside the copies, the configuration files of the
// directories above each file: each directory of the tree gets those of the
// directory it stands for, and the tree's top also the nearest of each name
// above the place it stands for. Names the copies hold already are left.
void copyConfigurations(const std::vector<Copy> &copies, const std::string &start, Scratch &scratch)
{
    std::set<std::string> taken, looked;
    for (const Copy &copy : copies)
        taken.insert(copy.rel);
    std::string why;
    const auto take = [&](const std::string &from, const std::string &treeDir, const char *name) {
        const std::string rel = treeDir.empty() ? name : treeDir + "/" + name;
        if (taken.count(rel) || !isRegularFile((from + "/" + name).c_str()))
            return false;
        taken.insert(rel);
        scratchCopy(scratch, from + "/" + name, rel, why);  // one that cannot be copied is left out
        return true;
    };
    for (const Copy &copy : copies) {
        if (!copy.reason.empty())
            continue;
        // The file from the root, and the place the tree's top stands for.
        std::vector<std::string> file, tree;
        if (copy.source[0] != '/')
            addPathParts(start, file);
        addPathParts(copy.source, file);
        addPathParts(copy.rel, tree);
        if (file.size() < tree.size())
            continue;
        const std::size_t top = file.size() - tree.size();
        for (std::size_t k = tree.size() - 1;; --k) {
            std::vector<std::string> dir(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(top + k));
            const std::string from = "/" + joinedParts(dir, 0);
            if (looked.insert(from).second) {
                dir.erase(dir.begin(), dir.begin() + static_cast<std::ptrdiff_t>(top));
                for (const char *name : kConfigFiles)
                    take(from, joinedParts(dir, 0), name);
            }
            if (k == 0)
                break;
        }
        if (!looked.insert("above " + std::to_string(top)).second)
            continue;
        for (const char *name : kConfigFiles)
            for (std::size_t up = top; up-- > 0;) {
                const std::vector<std::string> dir(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(up));
                if (take("/" + joinedParts(dir, 0), "", name))
                    break;
            }
    }
}

// The module files a Rust file names ("mod name;", with a path attribute
// before it or not), as paths relative to its directory: each place rustc
// may look for one, whether the file is read as a crate's root or module
// file (beside it) or as another module (in a directory of its name).
std::vector<std::string> rustModuleFiles(const std::string &file, const std::string &rel)
{
    std::vector<std::string> out;
    std::FILE *f = std::fopen(file.c_str(), "rb");
    if (!f)
        return out;
    const std::size_t slash = rel.rfind('/');
    const std::string base = rel.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::string stem = base.size() > 3 ? base.substr(0, base.size() - 3) : base;
    const bool own = stem == "mod" || stem == "lib" || stem == "main";
    std::string path;  // a path attribute's value, for the next declaration
    char line[4096];
    while (std::fgets(line, sizeof line, f)) {
        const char *p = line;
        while (*p == ' ' || *p == '\t')
            ++p;
        if (std::strncmp(p, "#[path", 6) == 0) {
            const char *open = std::strchr(p, '"');
            const char *close = open ? std::strchr(open + 1, '"') : nullptr;
            path = close ? std::string(open + 1, close) : std::string();
            continue;
        }
        if (std::strncmp(p, "pub", 3) == 0 && (p[3] == ' ' || p[3] == '(')) {
            p = p[3] == '(' ? std::strchr(p, ')') : p + 3;
            if (!p)
                continue;
            for (++p; *p == ' ' || *p == '\t'; ++p) {
            }
        }
        if (std::strncmp(p, "mod ", 4) != 0) {
            if (*p != '#' && *p != '/' && *p != '\n' && *p != '\r')
                path.clear();
            continue;
        }
        for (p += 4; *p == ' '; ++p) {
        }
        if (std::strncmp(p, "r#", 2) == 0)
            p += 2;
        const char *name = p;
        while (std::isalnum(static_cast<unsigned char>(*p)) || *p == '_')
            ++p;
        const std::string n(name, p);
        while (*p == ' ')
            ++p;
        if (*p == ';' && !n.empty()) {
            if (!path.empty()) {
                out.push_back(path);
                if (!own)
                    out.push_back(stem + "/" + path);
            }
            for (const std::string &dir : {std::string(), own ? std::string() : stem + "/"}) {
                out.push_back(dir + n + ".rs");
                out.push_back(dir + n + "/mod.rs");
            }
        }
        path.clear();
    }
    std::fclose(f);
    return out;
}

// Copies into the tree the module files the Rust copies name, and those
// their module files name, that the copies do not hold: rustfmt reads
// them too, and fails a file whose modules it cannot find. A module file
// above the tree's top is left out.
void copyRustModules(const std::vector<Copy> &copies, Scratch &scratch)
{
    constexpr std::size_t kMostModules = 4096;
    std::set<std::string> taken;
    std::vector<std::pair<std::string, std::string>> queue;  // a Rust file, and its name in the tree
    for (const Copy &copy : copies) {
        taken.insert(copy.rel);
        const std::size_t n = copy.rel.size();
        if (copy.reason.empty() && n > 3 && copy.rel.compare(n - 3, 3, ".rs") == 0)
            queue.emplace_back(copy.source, copy.rel);
    }
    std::string why;
    for (std::size_t q = 0; q < queue.size() && queue.size() < kMostModules; ++q) {
        const std::string source = queue[q].first, rel = queue[q].second;
        const std::size_t slash = rel.rfind('/'), sourceSlash = source.rfind('/');
        const std::string dir = slash == std::string::npos ? "" : rel.substr(0, slash + 1);
        const std::string sourceDir = sourceSlash == std::string::npos ? "" : source.substr(0, sourceSlash + 1);
        for (const std::string &module : rustModuleFiles(source, rel)) {
            std::vector<std::string> parts;
            if (!addPathParts(dir + module, parts) || parts.empty())
                continue;
            const std::string to = joinedParts(parts, 0);
            const std::string from = sourceDir + module;
            if (taken.count(to) || !isRegularFile(from.c_str()))
                continue;
            taken.insert(to);
            if (scratchCopy(scratch, from, to, why) == 0)
                queue.emplace_back(from, to);
        }
    }
}

// How long a call over files files may run: seconds, and kSecondsPerFile
// for each file.
int callSeconds(int seconds, std::size_t files)
{
    const long long most = static_cast<long long>(seconds) + kSecondsPerFile * static_cast<long long>(files);
    return static_cast<int>(most < kMostCallSeconds ? most : kMostCallSeconds);
}

// Runs command over the copies of call in tree; sets the reason of each
// when it failed. Returns true when it failed as a formatter fails on a
// file it cannot read, with an exit status, which a call over fewer files
// may narrow down (not one killed: a signal may be the run's own end; not
// a command the shell could not start).
bool runCall(const std::string &command, const std::vector<std::size_t> &call, int seconds, Scratch &scratch,
             std::vector<Copy> &copies)
{
    std::string names;
    for (std::size_t c : call)
        names += (names.empty() ? "" : " ") + listed(copies[c].rel);
    ShellRun how;
    how.directory = scratch.path;
    how.seconds = callSeconds(seconds, call.size());
    how.group = &scratch.group;
    how.endGroup = true;  // nothing of it goes on writing in the tree
    ShellOutcome outcome;
    std::string why;
    const bool ran = processShellRun(commandWith(command, names), how, outcome, why) == 0;
    const std::string reason = ran ? formatterFailure(outcome, how.seconds) : "formatter not run: " + why;
    if (reason.empty())
        return false;
    for (std::size_t c : call)
        copies[c].reason = reason;
    // 126 and 127 are the shell's own: the command could not be started,
    // whatever its files.
    return ran && !outcome.timedOut && outcome.signal == 0 && outcome.status != 126 && outcome.status != 127;
}

// Puts back the copies of call as they were before any command ran, each
// with no reason. Returns false when one cannot be.
bool restoreCopies(const std::vector<std::size_t> &call, Scratch &scratch, std::vector<Copy> &copies)
{
    std::string why;
    for (std::size_t c : call) {
        std::remove((scratch.path + "/" + copies[c].rel).c_str());
        if (scratchCopy(scratch, copies[c].source, copies[c].rel, why) != 0)
            return false;
        copies[c].stamp = fileStamp(scratch.path + "/" + copies[c].rel, false);
    }
    for (std::size_t c : call)
        copies[c].reason.clear();
    return true;
}

// Runs command over call, and when it fails on some file, over each half
// of it again from fresh copies, down to the files it fails on alone, while
// calls are left: one file the formatter cannot read fails no other.
void runNarrowing(const std::string &command, const std::vector<std::size_t> &call, int seconds, Scratch &scratch,
                  std::vector<Copy> &copies, int &callsLeft)
{
    if (!runCall(command, call, seconds, scratch, copies) || call.size() < 2 || callsLeft < 2)
        return;
    const std::string reason = copies[call[0]].reason;
    if (!restoreCopies(call, scratch, copies)) {
        for (std::size_t c : call)
            copies[c].reason = reason;
        return;
    }
    callsLeft -= 2;
    const auto middle = call.begin() + static_cast<std::ptrdiff_t>(call.size() / 2);
    runNarrowing(command, std::vector<std::size_t>(call.begin(), middle), seconds, scratch, copies, callsLeft);
    runNarrowing(command, std::vector<std::size_t>(middle, call.end()), seconds, scratch, copies, callsLeft);
}

// Sets the second side of each pair of copy to it, or fails them.
void pairWithCopy(const Copy &copy, const Scratch &scratch, WalkList &list)
{
    const std::string file = scratch.path + "/" + copy.rel;
    TreeNode node;
    std::string reason = copy.reason;
    if (reason.empty() && treeStat(file, node) != 0)
        reason = "formatter deleted the file";
    else if (reason.empty() && node.type != NodeType::File)
        reason = "formatter left no regular file";
    for (std::size_t e : copy.entries) {
        WalkEntry &entry = list.entries[e];
        if (reason.empty() && node.size == 0 && entry.sides[0].size > 0)
            reason = "formatter emptied the file";
        if (!reason.empty()) {
            entry.kind = EntryKind::Failed;
            entry.reason = reason;
            continue;
        }
        SideRef &side = entry.sides[1];
        side.name = "formatted:" + entry.path;
        side.path = entry.path;
        side.file = file;
        side.size = node.size;
    }
}

} // namespace

std::string batchName(const std::string &path, const std::string &start)
{
    const bool relative = !path.empty() && path[0] != '/';
    std::vector<std::string> parts;
    bool up = false;
    for (const std::string &from : {relative ? start : std::string(), path})
        addPathParts(from, parts, &up);
    // A relative path that never goes up keeps its own parts.
    std::size_t first = 0;
    if (relative && !up) {
        std::size_t startParts = 0;
        for (std::size_t i = 0; i < start.size(); ++i)
            startParts += start[i] != '/' && (i == 0 || start[i - 1] == '/');
        first = startParts;
    }
    return joinedParts(parts, first);
}

std::unique_ptr<BatchTree> batchFormat(const std::string &command, int seconds, WalkList &list)
{
    // 1. A copy for each file, once whatever the paths that led to it.
    std::vector<Copy> copies;
    std::map<std::string, std::size_t> byName;
    const std::string start = processCurrentDirectory();
    for (std::size_t e = 0; e < list.entries.size(); ++e) {
        WalkEntry &entry = list.entries[e];
        if (entry.kind != EntryKind::Pair)
            continue;
        const std::string rel = batchName(entry.path, start);
        const auto known = byName.find(rel);
        if (known == byName.end()) {
            byName[rel] = copies.size();
            copies.push_back({rel, entry.sides[0].file, {e}, rel.empty() ? "no name for a copy" : "", ""});
        } else if (sameFile(copies[known->second].source.c_str(), entry.sides[0].file.c_str())) {
            copies[known->second].entries.push_back(e);
        } else {
            entry.kind = EntryKind::Failed;
            entry.reason = "its copy's name is another file's: " + rel;
        }
    }
    if (copies.empty())
        return nullptr;

    // 2. The private tree and the copies.
    std::unique_ptr<BatchTree> tree(new BatchTree);
    std::string why;
    tree->scratch = scratchMake(why);
    for (Copy &copy : copies) {
        if (copy.reason.empty() && (!tree->scratch || scratchCopy(*tree->scratch, copy.source, copy.rel, why) != 0))
            copy.reason = tree->scratch ? why : "formatter not run: " + why;
        copy.stamp = copy.reason.empty() ? fileStamp(tree->scratch->path + "/" + copy.rel, false) : std::string();
    }

    if (tree->scratch) {
        copyConfigurations(copies, start, *tree->scratch);
        copyRustModules(copies, *tree->scratch);
    }

    // 3. The calls, and each file against its copy. A command that ran
    // well and touched no file at all may have written elsewhere (prettier
    // without --write): the summary says so.
    if (tree->scratch) {
        const std::vector<std::vector<std::size_t>> calls = callsFor(command, copies, processLongestCommand());
        if (calls.size() > 1)
            tree->notes.push_back("The formatter ran in " + std::to_string(calls.size()) +
                                  " calls, the names being too long for one command line");
        int callsLeft = kMostNarrowingCalls;
        for (const std::vector<std::size_t> &call : calls)
            runNarrowing(command, call, seconds, *tree->scratch, copies, callsLeft);
        bool touched = false, ran = false;
        for (const Copy &copy : copies) {
            ran = ran || copy.reason.empty();
            const std::string path = tree->scratch->path + "/" + copy.rel;
            touched = touched || (copy.reason.empty() && fileStamp(path, false) != copy.stamp);
        }
        if (ran && !touched)
            tree->notes.push_back("The formatter changed none of the files");
    }
    for (const Copy &copy : copies) {
        if (tree->scratch)
            pairWithCopy(copy, *tree->scratch, list);
        else
            for (std::size_t e : copy.entries) {
                list.entries[e].kind = EntryKind::Failed;
                list.entries[e].reason = copy.reason;
            }
    }
    return tree;
}

void batchRemove(std::unique_ptr<BatchTree> &tree)
{
    if (!tree)
        return;
    scratchRemove(tree->scratch);
    tree->scratch = nullptr;
}
