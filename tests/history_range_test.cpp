// A history of 300 commits built here with git fast-import (code changes,
// layout-only ones, renames, additions and deletions, files without token
// rules, empty files and symbolic links, merges, an empty commit, a name
// that is not UTF-8), judged as one range and checked, commit by commit,
// against --git REV runs of the same binary: the verdicts, the reasons and
// the JSON Lines report, which python3's json module reads.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support.h"

namespace {

constexpr int kCommits = 300;  // commits along first parents after the first one
constexpr int kFiles = 20;     // C, Python and text files of each kind
const std::string kOdd = "src/it's a \"name\" \xff.c";  // a name with quotes and a byte that is not UTF-8

std::string shell(const std::string &command)
{
    std::string out;
    if (std::FILE *p = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, p))
            out.append(buffer, n);
        pclose(p);
    }
    if (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

bool have(const std::string &tool)
{
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

std::string twoDigits(int k)
{
    return (k < 10 ? "0" : "") + std::to_string(k);
}

// text with the first from replaced by to, or else the first to by from.
std::string toggle(std::string text, const std::string &from, const std::string &to)
{
    std::size_t at = text.find(from);
    if (at != std::string::npos)
        return text.replace(at, from.size(), to);
    at = text.find(to);
    return at == std::string::npos ? text : text.replace(at, to.size(), from);
}

// text with each line's leading four blanks as a tab, or back when it has tabs.
std::string reindent(const std::string &text)
{
    const bool tabs = text.find("\n\t") != std::string::npos;
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(at, end - at);
        if (tabs && line[0] == '\t')
            line = "    " + line.substr(1);
        else if (!tabs && line.compare(0, 4, "    ") == 0)
            line = "\t" + line.substr(4);
        out += line;
        at = end;
    }
    return out;
}

// A history written as a git fast-import stream, commit by commit.
struct Stream {
    std::map<std::string, std::string> files;  // each path's bytes; a symbolic link's target
    std::string text;                          // the stream so far
    int marks = 0;

    // A path as fast-import reads it: quoted, with every byte past ASCII in octal.
    static std::string quote(const std::string &path)
    {
        std::string q = "\"";
        for (unsigned char c : path) {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", c);
            q += c == '"' || c == '\\' ? std::string("\\") + static_cast<char>(c)
                 : c >= 0x80           ? std::string(octal)
                                       : std::string(1, static_cast<char>(c));
        }
        return q + "\"";
    }
    void data(const std::string &bytes) { text += "data " + std::to_string(bytes.size()) + "\n" + bytes + "\n"; }

    // A commit on branch whose ops are "M path" (the path's bytes now),
    // "D path" and "R old\nnew"; from and merge are marks, 0 for none.
    // Returns its mark.
    int commit(const std::string &branch, const std::string &subject, const std::vector<std::string> &ops, int from = 0,
               int merge = 0)
    {
        text += "commit refs/heads/" + branch + "\nmark :" + std::to_string(++marks) + "\n";
        text += "author T <t@example.com> " + std::to_string(1700000000 + 60 * marks) + " +0000\n";
        text += "committer T <t@example.com> " + std::to_string(1700000000 + 60 * marks) + " +0000\n";
        data(subject);
        if (from)
            text += "from :" + std::to_string(from) + "\n";
        if (merge)
            text += "merge :" + std::to_string(merge) + "\n";
        for (const std::string &op : ops) {
            const std::string path = op.substr(2);
            if (op[0] == 'M') {
                text += std::string(path == "link" ? "M 120000" : "M 100644") + " inline " + quote(path) + "\n";
                data(files[path]);
            } else if (op[0] == 'D') {
                text += "D " + quote(path) + "\n";
            } else {
                const std::size_t cut = path.find('\n');
                text += "R " + quote(path.substr(0, cut)) + " " + quote(path.substr(cut + 1)) + "\n";
            }
        }
        return marks;
    }
};

// The 300 commits after a first one tagged "start"; commit i (from 1) is of
// kind i % 10 and works on the files numbered (i / 10) % kFiles.
std::string history()
{
    Stream s;
    std::vector<std::string> c, py, doc, all;
    for (int k = 0; k < kFiles; ++k) {
        c.push_back("src/c" + twoDigits(k) + ".c");
        py.push_back("py/m" + twoDigits(k) + ".py");
        doc.push_back("doc/n" + twoDigits(k) + ".txt");
        for (int j = 0; j < 6; ++j) {
            const std::string n = std::to_string(j);
            s.files[c[k]] += "int f" + twoDigits(k) + "_" + n + "(int a)\n{\n    return a + " + n + ";\n}\n\n";
            s.files[py[k]] += "def g" + n + "(a):\n    return a + " + n + "\n\n\n";
        }
        s.files[doc[k]] = "Notes " + std::to_string(k) + ".\n";
    }
    s.files["src/e.c"] = "int e;\n";
    s.files["link"] = "src/c00.c";
    s.files[kOdd] = "int odd;\n";
    for (const auto &f : s.files)
        all.push_back("M " + f.first);
    int head = s.commit("main", "Start", all);
    s.text += "reset refs/tags/start\nfrom :" + std::to_string(head) + "\n\n";
    for (int i = 1; i <= kCommits; ++i) {
        const int k = (i / 10) % kFiles, next = (k + 1) % kFiles;
        std::vector<std::string> ops;
        std::string subject;
        switch (i == 100 ? -1 : i % 10) {
        case -1: subject = "Nothing"; break;
        case 0:
            s.files[c[k]] = reindent(s.files[c[k]]);
            ops = {"M " + c[k]}, subject = "Re-indent " + c[k];
            break;
        case 1: {
            // A comment line on top, taken off the next time: the newer
            // side's lines are not the older side's.
            std::string &f = s.files[c[k]];
            f = f.compare(0, 10, "// header\n") == 0 ? f.substr(10) : "// header\n" + f;
            f = toggle(f, "a + 2", "a - 2");
            ops = {"M " + c[k]}, subject = "Change " + c[k];
            break;
        }
        case 2: {
            const std::string moved = "src/c" + twoDigits(k) + "_" + std::to_string(i) + ".c";
            s.files[moved] = s.files[c[k]];
            s.files.erase(c[k]);
            ops = {"R " + c[k] + "\n" + moved}, subject = "Move " + c[k];
            c[k] = moved;
            break;
        }
        case 3:
            s.files["src/new" + std::to_string(i) + ".c"] = "int n" + std::to_string(i) + ";\n";
            ops = {"M src/new" + std::to_string(i) + ".c"}, subject = "Add src/new" + std::to_string(i) + ".c";
            break;
        case 4:
            s.files.erase("src/new" + std::to_string(i - 1) + ".c");
            ops = {"D src/new" + std::to_string(i - 1) + ".c"}, subject = "Remove src/new" + std::to_string(i - 1) + ".c";
            break;
        case 5:
            s.files[doc[k]] += "More.\n";
            s.files[py[k]] = toggle(s.files[py[k]], "a + 1", "a+1");
            ops = {"M " + doc[k], "M " + py[k]}, subject = "Edit \"notes\"\tand spacing";
            break;
        case 6: {
            s.files[c[next]] = reindent(s.files[c[next]]);
            int side = s.commit("side", "Re-indent " + c[next], {"M " + c[next]}, head);
            s.files[py[next]] = toggle(s.files[py[next]], "a + 3", "a * 3");
            side = s.commit("side", "Change " + py[next], {"M " + py[next]}, side);
            head = s.commit("main", "Merge side " + std::to_string(i), {"M " + c[next], "M " + py[next]}, head, side);
            continue;
        }
        case 7:
            if (i / 10 % 2 == 0)
                s.files[kOdd] = toggle(s.files[kOdd], "int odd;", "int  odd;");
            else
                s.files[kOdd] += "int more" + std::to_string(i) + ";\n";
            ops = {"M " + kOdd}, subject = "Odd name";
            break;
        case 8:
            s.files["src/e.c"] = s.files["src/e.c"].empty() ? "int e;\n" : "";
            s.files["link"] = toggle(s.files["link"], "src/c00.c", "src/c01.c");
            ops = {"M src/e.c", "M link"}, subject = "Empty and link";
            break;
        case 9:
            for (int m = 0; m < 5; ++m) {
                const std::string &f = c[(k + m) % kFiles];
                s.files[f] = toggle(s.files[f], "a + 4", "a - 4");
                ops.push_back("M " + f);
            }
            subject = "Change five files";
            break;
        }
        head = s.commit("main", subject, ops, head);
    }
    return s.text;
}

// Reads the history's reports: each commit of the text report (with the
// line rules' one for its first commits) and of the JSON Lines report as
// each commit's own --git REV run gives it, and the summaries; prints each
// problem and exits with 1 when there is one.
const char *const kChecker = R"PY(
import concurrent.futures, json, subprocess, sys

binary, repo, tokens_text, lines_text, tokens_json, verify_json, root = sys.argv[1:8]
problems = []

def run(*args):
    return subprocess.run((binary,) + args, cwd=repo, stdin=subprocess.DEVNULL, capture_output=True,
                          start_new_session=True).stdout

log = subprocess.run(["git", "rev-list", "--first-parent", "--reverse", "--format=%H%x09%h%x09%s", "start..main"],
                     cwd=repo, capture_output=True, check=True).stdout.split(b"\n")
commits = [line.decode(errors="replace").split("\t", 2) for line in log if line and not line.startswith(b"commit ")]

def expected(commit, mode):
    files = []
    for line in run("--git", commit, "--format", "json", *mode).decode().splitlines():
        o = json.loads(line)
        if o["type"] != "pair":
            continue
        renamed = " -> " in o["path"]
        f = {"path": o["path"], "status": o["status"], "renamed": renamed,
             "changes_code": o["status"] != "equivalent" or renamed, "reason": "renamed" if renamed else None}
        if "language" in o:
            f["language"] = o["language"]
        if o["status"] == "not-equivalent":
            place = o["second"]
            f["line"], f["column"] = place["line"], place.get("column")
            f["reason"] = ("tokens at %d:%d" % (f["line"], f["column"]) if mode
                           else "text at line %d" % f["line"] if f["line"] else "text")
        elif o["status"] != "equivalent":
            f["reason"] = {"failed": "unable to compare (%s)" % o.get("reason"), "not-compared": "no token rules",
                           "only-in-1": "only before", "only-in-2": "only after"}[o["status"]]
        files.append(f)
    return files

def line(commit, files):
    _, short, subject = commit
    changed = ["%s %s" % (f["path"], f["reason"]) for f in files if f["changes_code"]]
    if not files:
        return "Matchling==> Empty: %s %s " % (short, subject)
    if not changed:
        return "Matchling==> Layout only: %s %s " % (short, subject)
    more = ", and %d more" % (len(changed) - 3) if len(changed) > 3 else ""
    noun = "file" if len(changed) == 1 else "files"
    return "Matchling==> Changes code: %s %s (%d %s: %s%s) " % (short, subject, len(changed), noun, ", ".join(changed[:3]), more)

def summary(objects, not_commits=0):
    changes = sum(1 for o in objects if o["type"] == "commit" and o["verdict"] == "changes-code")
    empty = sum(1 for o in objects if o["type"] == "commit" and o["verdict"] == "empty")
    layout = sum(1 for o in objects if o["type"] == "commit") - changes - empty
    return {"type": "summary", "commits": layout + changes + empty, "layout_only": layout, "changes_code": changes,
            "empty": empty,
            "not_commits": not_commits, "verdict": "equivalent" if changes + not_commits == 0 else "not-equivalent"}

with concurrent.futures.ThreadPoolExecutor(4) as pool:
    alone = list(pool.map(lambda c: expected(c[0], ("--tokens",)), commits))
    alone_lines = list(pool.map(lambda c: expected(c[0], ()), commits[:10]))
    root_alone = expected(root, ("--tokens",))

# The text reports: one line per commit, then the summary.
text = open(tokens_text, "rb").read().decode(errors="replace").split("\n")
want = [line(c, f) for c, f in zip(commits, alone)]
if text[:len(want)] != want:
    problems += ["text: %r, alone: %r" % (a, b) for a, b in zip(text, want) if a != b][:5]
layout = sum(1 for f in alone if f and not any(x["changes_code"] for x in f))
empty = sum(1 for f in alone if not f)
if text[len(want)] != "Matchling==> %d commits judged: %d layout only, %d changing code%s " % (
        len(want), layout, len(want) - layout - empty, ", %d empty" % empty if empty else ""):
    problems.append("text summary: %r" % text[len(want)])
lines = open(lines_text, "rb").read().decode(errors="replace").split("\n")
for got, c, f in zip(lines, commits, alone_lines):
    if got != line(c, f):
        problems.append("line rules: %r, alone: %r" % (got, line(c, f)))

# The JSON Lines reports: a commit object each, then the summary.
objects = [json.loads(l) for l in open(tokens_json, encoding="utf-8")]
for o, c, f in zip(objects, commits, alone):
    want = {"type": "commit", "hash": c[0], "short": c[1], "subject": c[2],
            "verdict": "changes-code" if any(x["changes_code"] for x in f) else "layout-only" if f else "empty",
            "files": f}
    if o != want:
        problems.append("json: %r, alone: %r" % (o, want))
if len(objects) != len(commits) + 1 or objects[-1] != summary(objects[:-1]):
    problems.append("json summary: %r" % objects[-1])
verify = [json.loads(l) for l in open(verify_json, encoding="utf-8")]
if [o["type"] for o in verify] != ["commit", "not-a-commit", "commit", "summary"]:
    problems.append("verify: %r" % [o["type"] for o in verify])
elif (verify[0]["files"], verify[1]["listed"], verify[2]) != (root_alone, "deadbeef", objects[0]):
    problems.append("verify: %r" % verify[:3])
elif verify[3] != summary(verify[:3], 1):
    problems.append("verify summary: %r" % verify[3])
print("\n".join(problems[:20]))
sys.exit(1 if problems else 0)
)PY";

class HistoryRangeTools : public testing::Test {
protected:
    void SetUp() override
    {
        if (!have("git") || !have("python3"))
            GTEST_SKIP() << "git or python3 is not on the PATH";
        repo = dir.file("repo");
        writeFile(dir.file("history"), history());
        ASSERT_EQ(std::system(("git init -q -b main '" + repo + "' && cd '" + repo +
                               "' && git fast-import --quiet <../history >/dev/null 2>&1")
                                  .c_str()),
                  0);
    }
    std::string shortId(int back) { return shell("cd '" + repo + "' && git log -1 --format=%h main~" + std::to_string(back)); }
    ScratchDir dir;
    std::string repo;
};

TEST_F(HistoryRangeTools, EveryCommitAsItsOwnRunJudgesIt)
{
    // The first commits by hand, one of each kind.
    RunResult r = runMatchling({"--git", "start..main", "--tokens", "--exit-status"}, repo);
    const std::vector<std::string> first = {
        "Change src/c00.c (1 file: src/c00.c tokens at 14:14)",
        "Move src/c00.c (1 file: src/c00.c -> src/c00_2.c renamed)",
        "Add src/new3.c (1 file: src/new3.c only after)",
        "Remove src/new3.c (1 file: src/new3.c only before)",
        "Edit \"notes\"\tand spacing (1 file: doc/n00.txt no token rules)",
        "Merge side 6 (1 file: py/m01.py tokens at 14:14)",
        "",
        "Empty and link (2 files: link unable to compare (symbolic link), src/e.c tokens at 1:1)",
        "Change five files (5 files: src/c00_2.c tokens at 24:14, src/c01.c tokens at 23:11, src/c02.c tokens at "
        "23:14, and 2 more)",
    };
    std::string want;
    for (std::size_t i = 0; i < first.size(); ++i)
        want += first[i].empty() ? "Matchling==> Layout only: " + shortId(kCommits - 7) + " Odd name \n"
                                 : "Matchling==> Changes code: " + shortId(kCommits - 1 - static_cast<int>(i)) + " " +
                                       first[i] + " \n";
    EXPECT_EQ(r.out.substr(0, want.size()), want);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");

    // The same in the same order whatever the workers.
    RunResult one = runMatchling({"--git", "start..main", "--tokens", "--exit-status", "--jobs", "1"}, repo);
    EXPECT_EQ(one.out, r.out);

    // --where: every file, one line each.
    const std::string five = shortId(kCommits - 9);
    RunResult where = runMatchling({"--git", "main~292..main~291", "--tokens", "--where"}, repo);
    EXPECT_EQ(where.out.substr(0, where.out.find(" 1 commit judged")),
              "Matchling==> Changes code: " + five + " " + first[8] + " \n" + "Matchling==> Changed in " + five +
                  ": src/c00_2.c tokens at 24:14 \nMatchling==> Changed in " + five +
                  ": src/c01.c tokens at 23:11 \nMatchling==> Changed in " + five +
                  ": src/c02.c tokens at 23:14 \nMatchling==> Changed in " + five +
                  ": src/c03.c tokens at 23:14 \nMatchling==> Changed in " + five +
                  ": src/c04.c tokens at 23:14 \nMatchling==>");

    // A range git does not take, in JSON: the error object alone.
    RunResult unknown = runMatchling({"--git", "nowhere..main", "--format", "json"}, repo);
    EXPECT_EQ(unknown.out, "{\"type\":\"error\",\"message\":\"Unknown revision: nowhere..main\"}\n");
    EXPECT_EQ(unknown.status, 2);

    // Every commit against its own run, the line rules' for the first ones,
    // and the JSON Lines of the range and of a list.
    writeFile(dir.file("tokens.txt"), r.out);
    writeFile(dir.file("lines.txt"), runMatchling({"--git", "start..main"}, repo).out);
    RunResult json = runMatchling({"--git", "start..main", "--tokens", "--format", "json"}, repo);
    EXPECT_EQ(json.status, 1);
    writeFile(dir.file("tokens.json"), json.out);
    const std::string root = shell("cd '" + repo + "' && git rev-parse start");
    writeFile(dir.file("listed"), root + "\ndeadbeef\n" + shell("cd '" + repo + "' && git rev-parse main~299") + "\n");
    RunResult verify = runMatchling({"--verify-ignore-revs", "../listed", "--tokens", "--format", "json"}, repo);
    EXPECT_EQ(verify.status, 1);
    writeFile(dir.file("verify.json"), verify.out);
    writeFile(dir.file("check.py"), kChecker);
    const std::string problems =
        shell("cd '" + dir.path() + "' && python3 check.py " MATCHLING_BINARY " repo tokens.txt lines.txt tokens.json "
              "verify.json " + root + " 2>&1; echo status $?");
    EXPECT_EQ(problems, "\nstatus 0");
}

TEST(HistoryFormats, ARunThatCannotStartSaysSoInItsForm)
{
    ScratchDir dir;
    RunResult r = runMatchling({"--git", "HEAD~2..HEAD", "--format", "gnu"}, dir.path());
    EXPECT_EQ(r.out.compare(0, 18, "matchling: error: "), 0) << r.out;
    EXPECT_EQ(r.status, 2);
}

} // namespace
