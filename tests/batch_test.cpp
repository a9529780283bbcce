// A formatter's batch run, end to end: commands that format, fail, hang,
// delete or replace a file, the names they are given, a list too long for
// one command line, and the private tree gone afterwards whatever happened,
// a signal included; then real formatters.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "launch_posix.h"
#include "support.h"

namespace {

std::string summary(int equivalent, int different, int failed)
{
    const int pairs = equivalent + different + failed;
    return "Matchling==> " + std::to_string(pairs) + (pairs == 1 ? " pair" : " pairs") + " compared: " +
           std::to_string(equivalent) + " equivalent, " + std::to_string(different) + " not equivalent, " +
           std::to_string(failed) + " failed, 0 only on one side \n";
}

bool have(const std::string &tool)
{
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// TMPDIR set to a directory of the test's while it lives, so that what the
// utility leaves there can be seen.
class TemporaryDirectory {
public:
    explicit TemporaryDirectory(const std::string &path)
    {
        const char *was = std::getenv("TMPDIR");
        had_ = was != nullptr;
        previous_ = was ? was : "";
        setenv("TMPDIR", path.c_str(), 1);
    }
    ~TemporaryDirectory()
    {
        if (had_)
            setenv("TMPDIR", previous_.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

private:
    bool had_ = false;
    std::string previous_;
};

// Three small sources under src, one with a blank and a quote in its name,
// and a file of a kind without token rules.
void makeSources(const ScratchDir &dir)
{
    makeDir(dir.file("src"));
    makeDir(dir.file("src/sub"));
    makeDir(dir.file("tmp"));
    writeFile(dir.file("src/a.c"), "int  a;\n");
    writeFile(dir.file("src/it's b.c"), "int b ;\n");
    writeFile(dir.file("src/sub/c.c"), "int c;\n");
    writeFile(dir.file("src/notes.txt"), "notes\n");
    // Configuration that formatters look for above each file.
    writeFile(dir.file("pyproject.toml"), "[tool.black]\n");
    writeFile(dir.file("src/sub/.prettierrc"), "{}\n");
}

const std::string kSkipped = "Matchling==> 2 files skipped (no token rules for their kind) \n";
const std::string kLanguages = "Matchling==> Pairs by language: c 3 \n";
const char *const kNames[] = {"src/a.c", "src/it's b.c", "src/sub/c.c"};

// Each of the three named "Unable to compare" with reason, "%s" in it
// standing for the file's name; a message the first file showed is not
// shown again.
std::string allFailed(const std::string &reason)
{
    std::string out, first;
    for (const char *name : kNames) {
        std::string why = reason;
        const std::size_t at = why.find("%s");
        if (at != std::string::npos)
            why.replace(at, 2, name);
        if (why == first)
            why = why.substr(0, why.find(": ")) + ", as for " + kNames[0];
        else if (first.empty() && why.find(": ") != std::string::npos)
            first = why;
        out += "Matchling==> Unable to compare: " + std::string(name) + " (" + why + ") \n";
    }
    return out + kSkipped + kLanguages + summary(0, 0, 3) + kNotEquivalent;
}

TEST(FormatterBatch, Commands)
{
    const std::string equivalent = kSkipped + kLanguages + summary(3, 0, 0) + kEquivalent;
    const std::string untouched =
        kSkipped + "Matchling==> The formatter changed none of the files \n" + kLanguages + summary(3, 0, 0) + kEquivalent;
    struct Case {
        const char *name;
        std::vector<std::string> args;  // after the command and the paths
        std::string command;
        std::string out;
    } cases[] = {
        {"touches nothing", {}, "true {}", untouched},
        {"prints what it would write", {}, "cat {} >/dev/null", untouched},
        {"finds the configuration above each file, and no other file", {},
         "test -f pyproject.toml && test -f src/sub/.prettierrc && test ! -e src/notes.txt", untouched},
        {"rewrites a file as it was", {}, "sed -i '' src/a.c", equivalent},
        {"changes the layout", {}, "sed -i 's/  */ /g' {}", equivalent},
        {"runs in the private tree, the names relative to it", {},
         "test \"$(stat -c %a .)\" = 700 && case $PWD in \"$TMPDIR\"/matchling-*) ;; *) exit 6 ;; esac && "
         "for f in {}; do test -f \"$f\" || exit 7; done",
         untouched},
        {"each name quoted, each failing file alone at last", {}, "printf '[%s]' {} >&2; exit 1",
         allFailed("formatter exit status 1: [%s]")},
        {"fails", {}, "echo 'bad style' >&2; exit 3", allFailed("formatter exit status 3: bad style")},
        {"not started, not run again", {}, "test -e \"$TMPDIR/../ran\" && exit 0; : >\"$TMPDIR/../ran\"; exit 127",
         allFailed("formatter exit status 127")},
        {"fails once, run again on halves", {}, "test -e \"$TMPDIR/../ran\" && exit 0; : >\"$TMPDIR/../ran\"; exit 1",
         untouched},
        {"fails on one file, which fails no other", {},
         "for f in {}; do case $f in *b.c*) echo \"bad $f\" >&2; exit 4 ;; esac; done; sed -i 's/  */ /g' {}",
         "Matchling==> Unable to compare: src/it's b.c (formatter exit status 4: bad src/it's b.c) \n" + kSkipped +
             kLanguages + summary(2, 0, 1) + kNotEquivalent},
        {"colours its message", {}, "printf '\\033[1;31merror:\\033[0m bad\\033]0;title\\007\\n' >&2; exit 1",
         allFailed("formatter exit status 1: error: bad")},
        {"given only files of its languages", {"--language", "python,go"}, "exit 1",
         kSkipped + "Matchling==> 3 files not given to the formatter (of other languages) \n"
             "Matchling==> Pairs by language: none \n"
             "Matchling==> 0 pairs compared: 0 equivalent, 0 not equivalent, 0 failed, 0 only on one side \n" +
             kEquivalent},
        {"given only the files its patterns match", {"--include", "sub/", "--include", "a.c"}, "sed -i 's/  */ /g' {}",
         kSkipped + "Matchling==> 1 file not given to the formatter (of other languages) \n"
                    "Matchling==> Pairs by language: c 2 \n" +
             summary(2, 0, 0) + kEquivalent},
        {"names what it left out", {"--where", "--language", "python"}, "exit 1",
         "Matchling==> Left out: src/a.c (not given to the formatter: c) \n"
         "Matchling==> Left out: src/it's b.c (not given to the formatter: c) \n"
         "Matchling==> Left out: src/notes.txt (no token rules for this kind of file) \n"
         "Matchling==> Left out: src/sub/.prettierrc (no token rules for this kind of file) \n"
         "Matchling==> Left out: src/sub/c.c (not given to the formatter: c) \n" +
             kSkipped + "Matchling==> 3 files not given to the formatter (of other languages) \n"
             "Matchling==> Pairs by language: none \n"
             "Matchling==> 0 pairs compared: 0 equivalent, 0 not equivalent, 0 failed, 0 only on one side \n" +
             kEquivalent},
        {"names what it left out in JSON", {"--format", "json", "--language", "go", "--exclude", "sub/"}, "exit 1",
         "{\"type\":\"left-out\",\"path\":\"src/a.c\",\"language\":\"c\",\"reason\":\"not given to the formatter\"}\n"
         "{\"type\":\"left-out\",\"path\":\"src/it's b.c\",\"language\":\"c\",\"reason\":\"not given to the "
         "formatter\"}\n"
         "{\"type\":\"left-out\",\"path\":\"src/notes.txt\",\"language\":\"other\",\"reason\":\"no token rules for "
         "this kind of file\"}\n"
         "{\"type\":\"summary\",\"pairs\":0,\"equivalent\":0,\"not_equivalent\":0,\"failed\":0,\"not_compared\":0,"
         "\"only_on_one_side\":0,\"excluded\":2,\"verdict\":\"equivalent\",\"languages\":{}}\n"},
        {"hangs, not run again", {"--timeout", "1"}, "echo slow >&2; sleep 60",
         allFailed("formatter did not finish within 4 s: slow")},
        {"killed", {}, "kill -9 $$", allFailed("formatter killed by signal 9")},
        {"deletes a file", {}, "rm src/a.c",
         "Matchling==> Unable to compare: src/a.c (formatter deleted the file) \n" + kSkipped + kLanguages +
             summary(2, 0, 1) + kNotEquivalent},
        {"empties a file", {}, ": >src/sub/c.c",
         "Matchling==> Unable to compare: src/sub/c.c (formatter emptied the file) \n" + kSkipped + kLanguages +
             summary(2, 0, 1) + kNotEquivalent},
        {"takes the rights away", {}, "chmod 0 src/sub . && exit 2",
         allFailed("formatter exit status 2")},
        {"puts a link in a file's place", {}, "rm src/a.c && ln -s /etc/passwd src/a.c",
         "Matchling==> Unable to compare: src/a.c (formatter left no regular file) \n" + kSkipped + kLanguages +
             summary(2, 0, 1) + kNotEquivalent},
        {"changes the code", {"--exclude", "sub/", "--exclude", "it*"}, "sed -i 's/int/long/' {}",
         "Matchling==> Not equivalent: src/a.c \n"
         "Matchling==> Token mismatch at line 1, column 1 of src/a.c \n"
         "Matchling==> Token from src/a.c 'int' \n"
         "int  a; \n^ \n"
         "Matchling==> Token mismatch at line 1, column 1 of formatted:src/a.c \n"
         "Matchling==> Token from formatted:src/a.c 'long' \n"
         "long  a; \n^ \n"
         "Matchling==> 1 file skipped (no token rules for its kind) \nMatchling==> 3 files excluded \n"
         "Matchling==> Pairs by language: c 1 \n" +
             summary(0, 1, 0) +
             kNotEquivalent},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        makeSources(dir);
        std::vector<std::string> args = {"--formatter-batch", c.command, "src"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        RunResult r;
        {
            TemporaryDirectory tmp(dir.file("tmp"));
            r = runMatchling(args, dir.path());
        }
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(std::system(("test -z \"$(ls -A '" + dir.file("tmp") + "')\"").c_str()) == 0)
            << "the private tree is gone";
        EXPECT_EQ(readFile(dir.file("src/a.c")), "int  a;\n") << "nothing changes where the sources are";
    }
}

TEST(FormatterBatch, AbsolutePathsAndOptionNames)
{
    ScratchDir dir;
    makeDir(dir.file("tmp"));
    writeFile(dir.file("-x.c"), "int x;\n");
    const std::string absolute = dir.file("-x.c");
    RunResult r;
    {
        TemporaryDirectory tmp(dir.file("tmp"));
        r = runMatchling({"--formatter-batch", "printf '[%s]' {} >&2; exit 1", "--", "-x.c", absolute}, dir.path());
    }
    // A name that starts with '-' goes as "./-x.c", not as an option; the
    // same file named from the root is a copy of its own, at its place
    // from the root.
    EXPECT_EQ(r.out, std::string("Matchling==> Unable to compare: -x.c (formatter exit status 1: [./-x.c]) \n") +
                         "Matchling==> Unable to compare: " + absolute + " (formatter exit status 1: [" +
                         absolute.substr(1) + "]) \nMatchling==> Pairs by language: c 2 \n" + summary(0, 0, 2) +
                         kNotEquivalent);
}

TEST(FormatterBatch, NamesTooLongForOneCommandLineTakeSeveralCalls)
{
    ScratchDir dir;
    makeDir(dir.file("src"));
    makeDir(dir.file("tmp"));
    const int files = 900;
    for (int i = 0; i < files; ++i)
        writeFile(dir.file("src/" + std::string(180, 'n') + std::to_string(1000 + i) + ".c"), "int x;\n");
    RunResult r;
    {
        TemporaryDirectory tmp(dir.file("tmp"));
        r = runMatchling({"--formatter-batch", "sed -i s/int/long/ {}", "src"}, dir.path());
    }
    EXPECT_NE(r.out.find("Matchling==> The formatter ran in 2 calls, the names being too long for one command line \n"
                         "Matchling==> Pairs by language: c 900 \n" + summary(0, files, 0) + kNotEquivalent),
              std::string::npos)
        << r.out.substr(r.out.size() > 600 ? r.out.size() - 600 : 0);
    std::size_t named = 0;
    for (std::size_t at = r.out.find("Not equivalent: "); at != std::string::npos;
         at = r.out.find("Not equivalent: ", at + 1))
        ++named;
    EXPECT_EQ(named, static_cast<std::size_t>(files)) << "every file went to one of the calls";
}

TEST(FormatterBatch, ASignalStillRemovesTheTree)
{
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        ScratchDir dir;
        makeSources(dir);
        const std::string tmp = dir.file("tmp");
        Launch launch{{"--formatter-batch", "echo $$ >'" + dir.file("pid") + "'; exec sleep 60", "src"}, dir.path()};
        RunResult r;
        {
            TemporaryDirectory set(tmp);
            r = start(launch, [&](pid_t pid) {
                for (int i = 0; i < 500 && !exists(dir.file("pid")); ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                kill(pid, sig);
            });
        }
        EXPECT_EQ(r.status, 128 + sig);
        EXPECT_TRUE(std::system(("test -z \"$(ls -A '" + tmp + "')\"").c_str()) == 0) << "the private tree is gone";
        const pid_t formatter = static_cast<pid_t>(std::atol(readFile(dir.file("pid")).c_str()));
        ASSERT_GT(formatter, 0);
        bool gone = false;
        for (int i = 0; i < 200 && !gone; ++i) {
            gone = kill(formatter, 0) != 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_TRUE(gone) << "the formatter was killed with the run";
    }
}

// Real formatters, each given every file at once: layout they change is
// layout, and the verdicts are those of the same formatter run file by file.
TEST(FormatterBatchTools, RealFormattersAgreeWithRunsFileByFile)
{
    struct Case {
        const char *tool;
        const char *batch;
        const char *single;
        std::vector<std::pair<std::string, std::string>> files;
        std::vector<std::string> options;
        int pairs;
    } cases[] = {
        {"clang-format", "clang-format -i --style=LLVM {}", "clang-format --style=LLVM --assume-filename={}",
         {{"a.c", "int f(int a){return a+1;}\n"}, {"b.h", "#define X 1\nstruct s{int x;};\n"}},
         {},
         2},
        {"black", "black -q {}", "black -q --stdin-filename {} -",
         {{"a.py", "x=[1,2,3]\ndef f( a ):\n  return a\n"}, {"b.py", "if x :\n    y=1\n"}},
         {},
         2},
        {"prettier", "prettier --write {}", "prettier --stdin-filepath {}",
         {{"a.js", "const a={b:1}\nfunction f(x){return x}\n"}, {"b.ts", "let x:number=1\n"}},
         {"--allow", "semicolons"},
         2},
        // The module files main.rs names are in the tree, though left out.
        {"rustfmt", "rustfmt --edition 2021 {}", "rustfmt --edition 2021",
         {{"main.rs", "mod a;\n#[path = \"c.rs\"]\nmod b;\nfn main(){a::f();}\n"},
          {"a.rs", "mod d;\npub fn f(){let x=1;}\n"},
          {"c.rs", "pub fn g(){}\n"},
          {"a/d.rs", "pub fn h(){}\n"}},
         {"--exclude", "a.rs", "--exclude", "c.rs", "--exclude", "a/"},
         1},
    };
    int ran = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.tool);
        const std::string npm = std::string(MATCHLING_NPM_TOOLS);
        const bool fromNpm = std::string(c.tool) == "prettier";
        if (!(fromNpm ? exists(npm + "/prettier") : have(c.tool))) {
            std::printf("skipped: %s is not installed\n", c.tool);
            continue;
        }
        ScratchDir dir;
        makeDir(dir.file("src"));
        makeDir(dir.file("tmp"));
        makeDir(dir.file("src/a"));
        for (const auto &f : c.files)
            writeFile(dir.file("src/" + f.first), f.second);
        std::vector<std::string> batch = {"--formatter-batch", std::string(c.batch), "src", "--exit-status"};
        std::vector<std::string> single = {"--formatter", std::string(c.single), "src", "--exit-status"};
        batch.insert(batch.end(), c.options.begin(), c.options.end());
        single.insert(single.end(), c.options.begin(), c.options.end());
        if (fromNpm) {
            batch[1] = "PATH='" + npm + "':\"$PATH\" " + batch[1];
            single[1] = "PATH='" + npm + "':\"$PATH\" " + single[1];
        }
        ++ran;
        RunResult b, s;
        {
            TemporaryDirectory tmp(dir.file("tmp"));
            b = runMatchling(batch, dir.path());
            s = runMatchling(single, dir.path());
        }
        EXPECT_EQ(b.out, s.out);
        EXPECT_EQ(b.status, 0) << b.out;
        EXPECT_NE(b.out.find(summary(c.pairs, 0, 0)), std::string::npos) << b.out;
        EXPECT_TRUE(std::system(("test -z \"$(ls -A '" + dir.file("tmp") + "')\"").c_str()) == 0);
    }
    if (ran == 0)
        GTEST_SKIP() << "none of clang-format, black, prettier and rustfmt is installed";
}

} // namespace
