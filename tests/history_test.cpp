// A formatter's dry run and the history of layout-only commits, end to end:
// real formatters on real headers of this machine, formatters that fail, and
// a repository built here whose range of commits is judged, listed for git
// blame and checked against such a list.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support.h"

namespace {

const std::vector<std::string> kHeaders = {"/usr/include/stdio.h", "/usr/include/stdlib.h", "/usr/include/string.h",
                                           "/usr/include/unistd.h", "/usr/include/errno.h"};

std::string summary(int equivalent, int different, int failed)
{
    const int pairs = equivalent + different + failed;
    return "Matchling==> " + std::to_string(pairs) + (pairs == 1 ? " pair" : " pairs") + " compared: " +
           std::to_string(equivalent) + " equivalent, " + std::to_string(different) + " not equivalent, " +
           std::to_string(failed) + " failed, 0 only on one side \n";
}

std::string skipped(int files)
{
    return files == 0 ? ""
           : files == 1 ? "Matchling==> 1 file skipped (no token rules for its kind) \n"
                        : "Matchling==> " + std::to_string(files) + " files skipped (no token rules for their kind) \n";
}

// What the shell command prints, its last line feed dropped.
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

// Line and column ("L, column C") of the first "unsigned int" of text outside
// comments, found without a lexer; empty when there is none.
std::string firstUnsignedInt(const std::string &text)
{
    int line = 1;
    std::size_t lineStart = 0;
    bool block = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        } else if (block) {
            block = text.compare(i, 2, "*/") != 0;
            i += block ? 0 : 1;
        } else if (text.compare(i, 2, "/*") == 0) {
            block = true;
            ++i;
        } else if (text.compare(i, 2, "//") == 0) {
            i = text.find('\n', i) - 1;
        } else if (text.compare(i, 12, "unsigned int") == 0) {
            return std::to_string(line) + ", column " + std::to_string(i - lineStart + 1);
        }
    }
    return "";
}

TEST(FormatterRunTools, ClangFormatOnRealHeadersIsLayoutOnly)
{
    if (!have("clang-format"))
        GTEST_SKIP() << "clang-format is not installed";
    ScratchDir dir;
    makeDir(dir.file("src"));
    makeDir(dir.file("src/.git"));
    std::vector<std::string> before;
    for (const std::string &h : kHeaders) {
        before.push_back(readFile(h));
        writeFile(dir.file("src/" + h.substr(h.rfind('/') + 1)), before.back());
    }
    writeFile(dir.file("src/notes.txt"), "not a source\n");
    writeFile(dir.file("src/.git/x.c"), "never given to the formatter\n");
    const std::string style = "clang-format --style='{BasedOnStyle: GNU, Standard: Latest, SortUsingDeclarations: "
                              "false}' --assume-filename={}";
    RunResult r = runMatchling({"--formatter", style, "src", "--sorted-includes", "--exit-status"}, dir.path());
    EXPECT_NE(r.out.find("\nMatchling==> Allowed rewrites: "), std::string::npos) << "the reorders it accepted";
    EXPECT_EQ(withoutAllowedLines(r.out), skipped(1) + "Matchling==> Pairs by language: c 5 \n" + summary(5, 0, 0) +
                                              kEquivalent);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    for (std::size_t i = 0; i < kHeaders.size(); ++i)
        EXPECT_EQ(readFile(dir.file("src/" + kHeaders[i].substr(kHeaders[i].rfind('/') + 1))), before[i])
            << "nothing on disk changes";
}

TEST(FormatterRun, DamagingFormatterNamesEachFileAtItsPlace)
{
    // The real headers as they stand, named on the command line.
    std::vector<std::string> args = {"--formatter", "sed 's/unsigned int/unsignedint/'"};
    args.insert(args.end(), kHeaders.begin(), kHeaders.end());
    args.push_back("--exit-status");
    RunResult r = runMatchling(args, "/");
    int damaged = 0;
    for (const std::string &h : kHeaders) {
        SCOPED_TRACE(h);
        const std::string place = firstUnsignedInt(readFile(h));
        const bool named = r.out.find("Matchling==> Not equivalent: " + h + " \n") != std::string::npos;
        EXPECT_EQ(named, !place.empty());
        if (place.empty())
            continue;
        ++damaged;
        EXPECT_NE(r.out.find("Matchling==> Token mismatch at line " + place + " of " + h + " \n" +
                             "Matchling==> Token from " + h + " 'unsigned' \n"),
                  std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find("Matchling==> Token mismatch at line " + place + " of formatted:" + h + " \n" +
                             "Matchling==> Token from formatted:" + h + " 'unsignedint' \n"),
                  std::string::npos);
    }
    EXPECT_GT(damaged, 0) << "some header holds an unsigned int";
    const int n = static_cast<int>(kHeaders.size());
    EXPECT_NE(r.out.find(skipped(0) + "Matchling==> Pairs by language: c " + std::to_string(n) + " \n" +
                         summary(n - damaged, damaged, 0) + kNotEquivalent),
              std::string::npos);
    EXPECT_EQ(r.status, 1);
}

TEST(FormatterRun, FormattersThatFail)
{
    struct Case {
        const char *name;
        std::vector<std::string> args;
        std::string reason;  // empty: the file compares equivalent
    } cases[] = {
        {"fails", {"--formatter", "echo 'bad style' >&2; echo x; exit 3", "a.c"}, "formatter exit status 3: bad style"},
        {"hangs", {"--formatter", "echo slow >&2; sleep 60", "a.c", "--timeout", "1"},
         "formatter did not finish within 1 s: slow"},
        {"prints nothing", {"--formatter", "cat >/dev/null", "a.c"}, "formatter wrote nothing, exit status 0"},
        {"killed", {"--formatter", "kill -9 $$", "a.c"}, "formatter killed by signal 9"},
        {"a name quoted for the shell", {"--formatter", "cat {}", "it's a.c"}, ""},
        {"writes in place", {"--formatter", "echo 'int  x;' >{}; cat {}", "a.c"},
         "formatter changed the file itself (--formatter-batch is for formatters that write in place)"},
        {"reads its file by name", {"--formatter", "cat {} >/dev/null; cat {}", "a.c"}, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        writeFile(dir.file(c.args[2]), "int x;\n");
        RunResult r = runMatchling(c.args, dir.path());
        const std::string line = "Matchling==> Unable to compare: " + c.args[2] + " (" + c.reason + ") \n";
        EXPECT_EQ(r.out, c.reason.empty()
                             ? skipped(0) + "Matchling==> Pairs by language: c 1 \n" + summary(1, 0, 0) + kEquivalent
                             : line + skipped(0) + "Matchling==> Pairs by language: c 1 \n" + summary(0, 0, 1) +
                                   kNotEquivalent);
        EXPECT_EQ(r.status, 0);
    }
}

// In token mode an empty file is a source without tokens, whichever side
// holds it; a formatter that writes nothing for a file that is not empty
// still fails.
TEST(FormatterRun, EmptyFiles)
{
    const std::string tail = skipped(0) + "Matchling==> Pairs by language: python 1 \n";
    const struct {
        const char *name;
        std::string input;
        std::string command;
        std::string out;
        int status;  // with --exit-status
    } cases[] = {
        {"a line end added", "", "printf '\\n'", tail + summary(1, 0, 0) + kEquivalent, 0},
        {"empty as it was", "", "cat", tail + summary(1, 0, 0) + kEquivalent, 0},
        {"a token added", "", "echo x",
         "Matchling==> Not equivalent: e.py \n"
         "Matchling==> Text ends at line 1, column 1 of e.py \n"
         "Matchling==> Extra text begins at line 1, column 1 of formatted:e.py \nx \n^ \n" +
             tail + summary(0, 1, 0) + kNotEquivalent,
         1},
        {"a comment emptied: nothing written", "# empty\n", "cat >/dev/null",
         "Matchling==> Unable to compare: e.py (formatter wrote nothing, exit status 0) \n" + tail + summary(0, 0, 1) +
             kNotEquivalent,
         1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        writeFile(dir.file("e.py"), c.input);
        RunResult r = runMatchling({"--formatter", c.command, "e.py", "--exit-status"}, dir.path());
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, c.status);
    }
}

// The formatted side of a long token that differs further in is read again
// from the formatter's output, around where it differs.
TEST(FormatterRun, LongTokensShowWhereTheyDiffer)
{
    ScratchDir dir;
    const std::string words = "lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod";
    writeFile(dir.file("e.py"), "def f():\n    \"\"\"" + words + "\n    one\"\"\"\n");
    RunResult r = runMatchling({"--formatter", "sed 's/one/two/'", "e.py"}, dir.path());
    EXPECT_EQ(r.out, "Matchling==> Not equivalent: e.py \n"
                     "Matchling==> Token mismatch at line 2, column 5 of e.py \n"
                     "Matchling==> Token from e.py '    one\"\"\"' \n"
                     "Matchling==> Difference at line 3, column 5 of e.py \n"
                     "    one\"\"\" \n    ^ \n"
                     "Matchling==> Token mismatch at line 2, column 5 of formatted:e.py \n"
                     "Matchling==> Token from formatted:e.py '    two\"\"\"' \n"
                     "Matchling==> Difference at line 3, column 5 of formatted:e.py \n"
                     "    two\"\"\" \n    ^ \n" +
                         skipped(0) + "Matchling==> Pairs by language: python 1 \n" + summary(0, 1, 0) + kNotEquivalent);
    EXPECT_EQ(r.status, 0);
}

// A repository built in the test, driven through the shell.
class HistoryTools : public testing::Test {
protected:
    void SetUp() override
    {
        if (!have("git"))
            GTEST_SKIP() << "no git program on the PATH";
    }
    void git(const std::string &args)
    {
        ASSERT_EQ(std::system(("cd '" + dir.path() + "' && git -c user.name=T -c user.email=t@example.com " + args +
                               " >/dev/null 2>&1")
                                  .c_str()),
                  0)
            << args;
    }
    void commit(const std::string &file, const std::string &text, const std::string &subject)
    {
        writeFile(dir.file(file), text);
        git("add -A");
        git("commit -q -m '" + subject + "'");
    }
    std::string rev(const std::string &name, const char *format = "%H")
    {
        return shell("cd '" + dir.path() + "' && git log -1 --format='" + format + "' " + name);
    }
    ScratchDir dir;
};

TEST_F(HistoryTools, RangeListAndCheck)
{
    git("init -q -b main");
    commit("main.c", "int main() {\n  return 0;\n}\n", "Start");
    commit("main.c", "int main()\n{\n    return 0;\n}\n", "Reformat main");
    commit("f.c", "int f(int a) { return a; }\n", "Add f");
    git("checkout -q -b side");
    commit("f.c", "int f(int a)\n{\n  return a;\n}\n", "Reformat f");
    git("checkout -q main");
    commit("main.c", "int main()\n{\n    return 1;\n}\n", "Return 1");
    git("merge -q --no-ff side -m 'Merge side'");
    git("mv f.c g.c");
    git("commit -q -m 'Move f'");
    const std::vector<std::string> subjects = {"Reformat main", "Add f", "Return 1", "Merge side", "Move f"};
    std::vector<std::string> shortIds;
    for (int back = 4; back >= 0; --back)
        shortIds.push_back(rev("HEAD~" + std::to_string(back), "%h"));

    RunResult r = runMatchling({"--git", "HEAD~5..HEAD", "--tokens", "--exit-status"}, dir.path());
    EXPECT_EQ(r.out, "Matchling==> Layout only: " + shortIds[0] + " Reformat main \n" +
                         "Matchling==> Changes code: " + shortIds[1] + " Add f (1 file: f.c only after) \n" +
                         "Matchling==> Changes code: " + shortIds[2] + " Return 1 (1 file: main.c tokens at 3:12) \n" +
                         "Matchling==> Layout only: " + shortIds[3] + " Merge side \n" +
                         "Matchling==> Changes code: " + shortIds[4] + " Move f (1 file: f.c -> g.c renamed) \n" +
                         "Matchling==> 5 commits judged: 2 layout only, 3 changing code \n" + kNotEquivalent);
    EXPECT_EQ(r.status, 1);

    // The list for git blame, which then skips the reformatting.
    RunResult list = runMatchling({"--git", "HEAD~5..HEAD", "--format", "blame-ignore-revs"}, dir.path());
    EXPECT_EQ(list.out, "# Reformat main\n" + rev("HEAD~4") + "\n# Merge side\n" + rev("HEAD~1") + "\n");
    EXPECT_EQ(list.status, 0) << "the list is written: the run went well";
    RunResult asked = runMatchling({"--git", "HEAD~5..HEAD", "--format", "blame-ignore-revs", "--exit-status"}, dir.path());
    EXPECT_EQ(asked.out, list.out);
    EXPECT_EQ(asked.status, 1) << "--exit-status keeps the verdict";
    writeFile(dir.file("revs"), list.out);
    const std::string blame = "cd '" + dir.path() + "' && git blame -l -s ";
    EXPECT_NE(shell(blame + "main.c").find(rev("HEAD~4")), std::string::npos) << "the reformatting owns lines";
    EXPECT_EQ(shell(blame + "--ignore-revs-file revs main.c").find(rev("HEAD~4")), std::string::npos)
        << "git blame took the list and skipped the reformatting";

    // A list with a commit that changed code, a line that is no commit, and a comment.
    writeFile(dir.file("listed"), list.out + "# wrongly listed\n" + rev("HEAD~2") + "  # trailing\n\ndeadbeef\n");
    RunResult check = runMatchling({"--verify-ignore-revs", "listed", "--exit-status"}, dir.path());
    EXPECT_EQ(check.out, "Matchling==> Changes code: " + shortIds[2] + " Return 1 (1 file: main.c text at line 3) \n"
                         "Matchling==> Not a commit: deadbeef \n"
                         "Matchling==> 3 listed commits judged: 2 layout only, 1 changing code, 1 not a commit \n" +
                             kNotEquivalent);
    EXPECT_EQ(check.status, 1);
    RunResult good = runMatchling({"--verify-ignore-revs", "revs", "--exit-status"}, dir.path());
    EXPECT_EQ(good.out, "Matchling==> 2 listed commits judged: 2 layout only, 0 changing code, 0 not commits \n" +
                            kEquivalent);
    EXPECT_EQ(good.status, 0);
}

// A formatter upgrade that also bumps a lock file changes layout only once
// --exclude leaves the lock file out; the summary counts it.
TEST_F(HistoryTools, ExcludedFilesDoNotDecide)
{
    git("init -q -b main");
    writeFile(dir.file("package-lock.json"), "{\"v\": 1}\n");
    commit("main.c", "int main() {\n  return 0;\n}\n", "Start");
    writeFile(dir.file("package-lock.json"), "{\"v\": 2}\n");
    commit("main.c", "int main()\n{\n    return 0;\n}\n", "Reformat and bump");
    const std::string id = rev("HEAD", "%h");
    RunResult all = runMatchling({"--git", "HEAD~1..HEAD", "--tokens"}, dir.path());
    EXPECT_EQ(all.out, "Matchling==> Changes code: " + id + " Reformat and bump (1 file: package-lock.json tokens at 1:7) \n"
                       "Matchling==> 1 commit judged: 0 layout only, 1 changing code \n" + kNotEquivalent);
    RunResult some = runMatchling({"--exclude", "*.json", "--git", "HEAD~1..HEAD", "--tokens", "--exit-status"},
                                  dir.path());
    EXPECT_EQ(some.out, "Matchling==> Layout only: " + id + " Reformat and bump \n"
                        "Matchling==> 1 file excluded \n"
                        "Matchling==> 1 commit judged: 1 layout only, 0 changing code \n" + kEquivalent);
    EXPECT_EQ(some.status, 0);
    writeFile(dir.file("revs"), rev("HEAD") + "\n");
    RunResult verify = runMatchling({"--verify-ignore-revs", "revs", "--tokens", "--exclude", "package-lock.json"},
                                    dir.path());
    EXPECT_EQ(verify.out, "Matchling==> 1 file excluded \n"
                          "Matchling==> 1 listed commit judged: 1 layout only, 0 changing code, 0 not commits \n" +
                              kEquivalent);
    RunResult json = runMatchling({"--git", "HEAD~1..HEAD", "--tokens", "--format", "json", "--exclude", "*.json"},
                                  dir.path());
    EXPECT_NE(json.out.find("\"files\":[{\"path\":\"main.c\""), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("{\"type\":\"summary\",\"commits\":1,\"layout_only\":1,\"changes_code\":0,"
                            "\"empty\":0,\"not_commits\":0,\"excluded\":1,\"verdict\":\"equivalent\"}\n"),
              std::string::npos)
        << json.out;
    EXPECT_EQ(json.status, 0);
    // Paths after "--" narrow a range as --exclude does, and a commit that
    // changed nothing under them is not judged; an empty commit is no
    // layout-only one.
    git("commit -q --allow-empty -m Nothing");
    commit("other.c", "int x;\n", "Add other");
    RunResult named = runMatchling({"--git", "HEAD~3..HEAD", "--tokens", "--", "main.c"}, dir.path());
    EXPECT_EQ(named.out, "Matchling==> Layout only: " + id + " Reformat and bump \n"
                         "Matchling==> 1 commit judged: 1 layout only, 0 changing code \n" + kEquivalent);
    RunResult every = runMatchling({"--git", "HEAD~2..HEAD~1", "--tokens", "--format", "json"}, dir.path());
    EXPECT_NE(every.out.find("\"verdict\":\"empty\",\"files\":[]}\n{\"type\":\"summary\",\"commits\":1,"
                             "\"layout_only\":0,\"changes_code\":0,\"empty\":1,"),
              std::string::npos)
        << every.out;
}

// The report forms for editors and CI take a history too: a finding for
// each file that makes a commit change code, which names the commit, from
// where the run starts; a list's line that names no commit has no place.
TEST_F(HistoryTools, FindingsOfEveryFormNameTheirCommits)
{
    git("init -q -b main");
    makeDir(dir.file("src"));
    commit("src/main.c", "int main() {\n  return 0;\n}\n", "Start");
    commit("src/main.c", "int main()\n{\n    return 0;\n}\n", "Reformat");
    commit("src/main.c", "int main()\n{\n    return 1;\n}\n", "Return 1");
    const std::string id = rev("HEAD", "%h");
    makeDir(dir.file("src/sub"));
    const struct {
        const char *format;
        std::string out;
    } cases[] = {
        {"gnu", "../main.c:3:12: error: " + id + " Return 1: tokens at 3:12\n"},
        {"github", "::error file=../main.c,line=3,col=12::" + id + " Return 1: tokens at 3:12\n"},
        {"sarif", "\"results\":[{\"ruleId\":\"not-equivalent\",\"ruleIndex\":0,\"level\":\"error\",\"message\":{"
                  "\"text\":\"" + id + " Return 1: tokens at 3:12\"},\"locations\":[{\"physicalLocation\":{"
                  "\"artifactLocation\":{\"uri\":\"src/main.c\"},\"region\":{\"startLine\":3,\"startColumn\":12}}}]}]"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.format);
        RunResult r = runMatchling({"--git", "HEAD~2..HEAD", "--tokens", "--format", c.format}, dir.file("src/sub"));
        if (std::string(c.format) == "sarif")
            EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
        else
            EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, 1);
    }
    writeFile(dir.file("revs"), rev("HEAD~1") + "\ndeadbeef\n");
    RunResult listed = runMatchling({"--verify-ignore-revs", "revs", "--tokens", "--format", "gnu"}, dir.path());
    EXPECT_EQ(listed.out, "matchling: error: Not a commit: deadbeef\n");
    EXPECT_EQ(listed.status, 1);
}

TEST(HistoryCommandLine, Mistakes)
{
    struct Case {
        std::vector<std::string> args;
        std::string line;  // the error line that comes before the usage screen
    } cases[] = {
        {{"--git", "HEAD", "--format", "blame-ignore-revs"},
         "Matchling==>  Option --format blame-ignore-revs needs --git REV1..REV2 or --verify-ignore-revs \n"},
        {{"a.c", "b.c", "--timeout", "5"}, "Matchling==>  Option --timeout needs --formatter or --formatter-batch \n"},
        {{"--formatter", "cat", "a.c", "--timeout", "0"},
         "Matchling==>  Option --timeout needs a number of seconds from 1 to 86400 \n"},
        {{"--formatter", "cat"}, "Matchling==>  Option --formatter needs a command and the files to run it on \n"},
        {{"--verify-ignore-revs"}, "Matchling==>  Option --verify-ignore-revs needs a file \n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        ScratchDir dir;
        RunResult r = runMatchling(c.args, dir.path());
        EXPECT_EQ(r.out.substr(0, c.line.size()), c.line);
        EXPECT_EQ(r.status, 1);
    }
}

} // namespace
