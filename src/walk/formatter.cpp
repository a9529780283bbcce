// A formatter's dry run: the files to give it, each paired with what the
// formatter writes for it, and the formatter run into a temporary file of
// the system's that no name leads to, so nothing on disk changes.
#include "walk/batch.h"
#include "walk/exclude.h"
#include "walk/process.h"
#include "walk/tree.h"
#include "walk/walk.h"


#include <algorithm>
#include <cstddef>
#include <cstring>

#include "common/files.h"
#include "languages/languages.h"

namespace {

// Directories of version control, never sources to format.
const char *const kNotEntered[] = {".git", ".hg", ".svn"};

bool entered(const std::string &name)
{
    for (const char *skip : kNotEntered)
        if (name == skip)
            return false;
    return true;
}

// The entry of the file path: the file against its formatted text; a
// FIFO, a device or a link is never opened (type says which).
WalkEntry entryFor(const std::string &path, NodeType type, std::int64_t size, const std::string &command, int seconds)
{
    WalkEntry entry;
    entry.path = path;
    entry.sides[0].name = path;
    entry.sides[1].name = "formatted:" + path;
    if (type != NodeType::File) {
        entry.kind = EntryKind::Failed;
        entry.reason = type == NodeType::Link ? "symbolic link" : "not a regular file";
        return entry;
    }
    entry.sides[0].file = path;
    entry.sides[0].size = size;
    // A batch run finds the formatted side later, in its copy of the file.
    if (command.empty())
        return entry;
    entry.sides[1].file = path;
    entry.sides[1].command = commandWith(command, processShellQuote(path));
    entry.sides[1].seconds = seconds;
    return entry;
}

// True when the file path, of the language its name selects, is of it: its
// start passes the content test its name calls for (one it does not is of
// another kind, and left out as a file the table does not know). A file that
// is not regular, or cannot be read, is taken, to fail where it is compared.
bool ofItsLanguage(const std::string &path, NodeType type)
{
    if (type != NodeType::File || !nameTested(path.c_str()))
        return true;
    std::string why;
    std::int64_t size;
    std::FILE *file = openRegularFile(path.c_str(), why, size);
    if (!file)
        return true;
    char head[kContentBytes];
    const std::size_t n = std::fread(head, 1, sizeof head, file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return failed || nameConfirmed(path.c_str(), head, n);
}

// True when the file path goes to a formatter given the languages of
// given (every language when it is 0; a name that selects none of the
// table's goes too) and the files includes matches by rel, the path as the
// patterns take it (every file when it has none).
bool givenTo(std::uint64_t given, const ExcludeList &includes, const std::string &path, const std::string &rel)
{
    const Language language = languageOfName(path.c_str());
    const bool ofLanguage = given == 0 || language == Language::Unknown || (languageFamily(language) & given) != 0;
    return ofLanguage && (includes.patterns.empty() || excludedPath(includes, rel, false));
}

// Counts the file path in left, and names it there when asked: skipped
// (language Unknown), or not given to the formatter.
void leaveOut(LeftOut &left, const std::string &path, Language language)
{
    ++(language == Language::Unknown ? left.skipped : left.notGiven);
    if (left.named)
        left.files.push_back({path, language});
}

// The formatters whose languages a dry run knows: a program's name, and
// the names of its languages.
struct KnownFormatter {
    const char *program;
    const char *languages;
};

const KnownFormatter kKnownFormatters[] = {
    {"black", "python"},
    {"yapf", "python"},
    {"autopep8", "python"},
    {"gofmt", "go"},
    {"goimports", "go"},
    {"rustfmt", "rust"},
    {"shfmt", "shell"},
    {"clang-format", "c,java,javascript,typescript,json"},
    {"astyle", "c,java"},
    {"uncrustify", "c,java"},
    {"indent", "c"},
    {"prettier", "javascript,typescript,json,css,scss,less,markdown,yaml,graphql"},
    {"taplo", "toml"},
    {"cmake-format", "cmake"},
};

// The words of command, split at blanks, without the quotes around them.
std::vector<std::string> commandWords(const std::string &command)
{
    std::vector<std::string> words;
    std::string word;
    bool in = false;
    for (char c : command + " ") {
        if (c == ' ' || c == '\t') {
            if (in)
                words.push_back(word);
            word.clear();
            in = false;
        } else if (c != '\'' && c != '"') {
            word += c;
            in = true;
        }
    }
    return words;
}

// A formatter's line of text as a report shows it: without the terminal's
// escape sequences (colours, titles) and other control bytes but tabs.
std::string withoutEscapes(const std::string &line)
{
    std::string out;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if (c != 0x1b) {
            if (c >= 0x20 || c == '\t')
                out += line[i];
            continue;
        }
        if (i + 1 < line.size() && line[i + 1] == '[') {
            // CSI: parameters and intermediates up to a final byte.
            for (i += 2; i < line.size() && !(line[i] >= 0x40 && line[i] <= 0x7e); ++i) {
            }
        } else if (i + 1 < line.size() && line[i + 1] == ']') {
            // OSC: up to BEL or ESC backslash.
            for (i += 2; i < line.size() && line[i] != '\a' && line[i] != 0x1b; ++i) {
            }
            if (i + 1 < line.size() && line[i] == 0x1b && line[i + 1] == '\\')
                ++i;
        } else {
            ++i;  // ESC and one byte
        }
    }
    return out;
}

// One directory of a walk below a path given.
struct Pending {
    std::string path;  // as reports name it: the path given, then the names below it
    std::string rel;   // relative to the path given, as --exclude matches it; empty at the top
    bool excluded;     // --exclude leaves it out: its files are only counted
};

// Appends the entries of every file under dir that the language table
// knows (byContent: and whose start its content test passes, where its name
// calls for one) and excludes keeps, in byte order of path; counts the
// others in left. Returns 0, or 1 when dir itself cannot be read.
int walkDirectory(const std::string &dir, const std::string &command, int seconds, bool byContent, std::uint64_t given,
                  const ExcludeList &excludes, const ExcludeList &includes, std::vector<WalkEntry> &entries,
                  LeftOut &left)
{
    const std::size_t first = entries.size(), firstLeft = left.files.size();
    std::vector<Pending> pending = {{dir, "", false}};
    while (!pending.empty()) {
        const Pending at = pending.back();
        pending.pop_back();
        // One directory open at a time, whatever the depth.
        std::vector<TreeNode> nodes;
        TreeDir *open = treeOpen(nullptr, at.path, at.path);
        const int unreadable = !open || treeRead(*open, nodes) != 0;
        treeClose(open);
        if (unreadable && at.path == dir)
            return 1;
        if (unreadable) {
            // A directory left out is counted as one file when it cannot be read.
            if (at.excluded) {
                ++left.excluded;
                continue;
            }
            WalkEntry entry;
            entry.kind = EntryKind::Failed;
            entry.path = at.path;
            entry.reason = "unreadable directory";
            entries.push_back(entry);
            continue;
        }
        // "." given names its files as they are: "a.c", not "./a.c".
        const std::string prefix = at.path == "."                                    ? ""
                                   : !at.path.empty() && treeSeparator(at.path.back()) ? at.path
                                                                                     : at.path + "/";
        for (const TreeNode &node : nodes) {
            const std::string name = prefix + node.name;
            const std::string rel = at.rel.empty() ? node.name : at.rel + "/" + node.name;
            const bool directory = node.type == NodeType::Directory;
            const bool excluded = at.excluded || excludedPath(excludes, rel, directory);
            if (directory) {
                if (entered(node.name))
                    pending.push_back({name, rel, excluded});
            } else if (excluded) {
                ++left.excluded;
            } else if (languageOfName(name.c_str()) == Language::Unknown ||
                       (byContent && !ofItsLanguage(name, node.type))) {
                leaveOut(left, name, Language::Unknown);
            } else if (!givenTo(given, includes, name, rel)) {
                leaveOut(left, name, languageOfName(name.c_str()));
            } else {
                entries.push_back(entryFor(name, node.type, node.size, command, seconds));
            }
        }
    }
    std::sort(entries.begin() + static_cast<std::ptrdiff_t>(first), entries.end(),
              [](const WalkEntry &a, const WalkEntry &b) { return a.path < b.path; });
    std::sort(left.files.begin() + static_cast<std::ptrdiff_t>(firstLeft), left.files.end(),
              [](const LeftOut::File &a, const LeftOut::File &b) { return a.path < b.path; });
    return 0;
}

} // namespace

int walkFormatter(const std::vector<std::string> &paths, const std::string &command, int seconds, bool byContent,
                  std::uint64_t given, const ExcludeList &excludes, const ExcludeList &includes, WalkList &list,
                  LeftOut &left, std::string &error)
{
    list.sideNames[0] = "files";
    list.sideNames[1] = "formatter output";
    list.entries.clear();
    const bool named = left.named;
    left = LeftOut();
    left.named = named;
    for (const std::string &path : paths) {
        TreeNode node;
        if (isDirectory(path.c_str())) {
            if (walkDirectory(path, command, seconds, byContent, given, excludes, includes, list.entries, left) != 0) {
                error = "Unable to read directory " + path;
                return 1;
            }
        } else if (treeStat(path, node) == 0) {
            // A file named on the command line is taken whatever its name,
            // unless --exclude leaves out the path as given or its name
            // selects a language the formatter is not given; a symbolic
            // link, as everywhere, is not followed.
            if (excludedPath(excludes, excludeSubject(path), false))
                ++left.excluded;
            else if (!givenTo(given, includes, path, excludeSubject(path)))
                leaveOut(left, path, languageOfName(path.c_str()));
            else
                list.entries.push_back(entryFor(path, node.type, node.size, command, seconds));
        } else {
            error = "No such file or directory: " + path;
            return 1;
        }
    }
    return 0;
}

std::uint64_t formatterLanguages(const std::string &command)
{
    const std::vector<std::string> words = commandWords(command);
    std::size_t at = 0;
    while (at < words.size() && (words[at].find('=') != std::string::npos || words[at] == "env" ||
                                 words[at] == "exec" || words[at] == "npx"))
        ++at;
    if (at + 2 < words.size() && words[at].compare(0, 6, "python") == 0 && words[at + 1] == "-m")
        at += 2;
    if (at >= words.size())
        return 0;
    const std::string &path = words[at];
    const std::string program = path.substr(path.rfind('/') + 1);
    for (const KnownFormatter &known : kKnownFormatters) {
        const std::size_t n = std::strlen(known.program);
        if (program.compare(0, n, known.program) != 0 ||
            program.find_first_not_of("-.0123456789", n) != std::string::npos)
            continue;
        if (!std::strcmp(known.program, "prettier") && command.find("--plugin") != std::string::npos)
            return 0;
        return languagesNamed(known.languages);
    }
    return 0;
}

std::string commandWith(const std::string &command, const std::string &text)
{
    std::string out;
    for (std::size_t at = 0; at < command.size(); ++at) {
        if (command.compare(at, 2, "{}") == 0) {
            out += text;
            ++at;
        } else {
            out += command[at];
        }
    }
    return out;
}

std::string formatterFailure(const ShellOutcome &outcome, int seconds)
{
    std::string why;
    if (outcome.timedOut)
        why = "formatter did not finish within " + std::to_string(seconds) + " s";
    else if (outcome.signal != 0)
        why = "formatter killed by signal " + std::to_string(outcome.signal);
    else if (outcome.status != 0)
        why = "formatter exit status " + std::to_string(outcome.status);
    if (!why.empty() && !outcome.firstError.empty())
        why += ": " + withoutEscapes(outcome.firstError);
    return why;
}

int formatterOutput(const SideRef &side, std::FILE *&output, std::string &why)
{
    output = std::tmpfile();
    if (!output) {
        why = "no temporary file for the formatter's output";
        return 1;
    }
    ShellOutcome outcome;
    std::string failure;
    TreeNode input;
    const std::string before = fileStamp(side.file);
    if (processShell(side.command, side.file, output, side.seconds, outcome, failure) != 0) {
        why = "formatter not run: " + failure;
    } else if (fileStamp(side.file) != before) {
        // A command that formats in place: what it wrote cannot be told from
        // what was there.
        why = "formatter changed the file itself (--formatter-batch is for formatters that write in place)";
    } else {
        why = formatterFailure(outcome, side.seconds);
        if (why.empty() && streamSize(output) == 0 && (treeStat(side.file, input) != 0 || input.size != 0)) {
            why = "formatter wrote nothing, exit status 0";
            if (!outcome.firstError.empty())
                why += ": " + withoutEscapes(outcome.firstError);
        }
    }
    if (why.empty())
        return 0;
    std::fclose(output);
    output = nullptr;
    return 1;
}
