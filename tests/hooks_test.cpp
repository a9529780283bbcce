// The hooks others run Matchling from: the pre-commit hook, tried with
// pre-commit itself on a repository made here (offline: the hook builds
// nothing), and the GitHub Action's script on a pull request's merge commit,
// with the action's YAML checked for what the Actions runner reads.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support.h"

namespace {

const std::string kSource = MATCHLING_SOURCE_DIR;
const std::string kBinary = MATCHLING_BINARY;
const std::string kBuildDir = kBinary.substr(0, kBinary.rfind('/'));

struct Shell {
    std::string out;  // standard output and standard error together
    int status = -1;
};

// Runs script with sh in dir, its output gathered.
Shell sh(const std::string &dir, const std::string &script)
{
    Shell r;
    const std::string command = "cd '" + dir + "' && (" + script + ") 2>&1";
    if (std::FILE *p = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, p))
            r.out.append(buffer, n);
        const int status = pclose(p);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return r;
}

bool have(const std::string &tool)
{
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

const char *const kGit = "git -c user.name=T -c user.email=t@example.com -c init.defaultBranch=main ";

class HooksTools : public testing::Test {
protected:
    void SetUp() override
    {
        if (!have("git"))
            GTEST_SKIP() << "no git program on the PATH";
    }
    ScratchDir dir;
};

TEST_F(HooksTools, PreCommitTriesTheHook)
{
    if (!have("pre-commit"))
        GTEST_SKIP() << "pre-commit is not installed";
    // The hooks' repository: this one's hook file, committed.
    makeDir(dir.file("hooks"));
    writeFile(dir.file("hooks/.pre-commit-hooks.yaml"), readFile(kSource + "/.pre-commit-hooks.yaml"));
    ASSERT_EQ(sh(dir.file("hooks"), std::string(kGit) + "init -q && " + kGit + "add . && " + kGit + "commit -qm hooks").status, 0);
    // A repository whose staged change is the try's subject.
    makeDir(dir.file("work"));
    writeFile(dir.file("work/a.c"), "int main() { return 0; }\n");
    writeFile(dir.file("work/notes.txt"), "notes\n");
    ASSERT_EQ(sh(dir.file("work"), std::string(kGit) + "init -q && " + kGit + "add . && " + kGit + "commit -qm one").status, 0);
    const std::string tryHook = "PATH='" + kBuildDir + "':\"$PATH\" PRE_COMMIT_HOME='" + dir.file("cache") +
                                "' pre-commit try-repo ../hooks matchling-layout-only";
    struct Case {
        const char *name;
        const char *code;   // a.c as staged
        const char *notes;  // notes.txt as staged
        const char *unstaged;  // a.c in the working tree after staging; null: as staged
        int status;
        const char *said;  // a line the output holds
    } cases[] = {
        {"layout only", "int main()\n{\n    return 0;\n}\n", "notes\n", nullptr, 0, "Passed"},
        {"a code change", "int main()\n{\n    return 1;\n}\n", "notes\n", nullptr, 1,
         "Matchling==> Not equivalent: a.c"},
        {"a file of another kind is not passed", "int main() { return 0; }\n", "other notes\n", nullptr, 0,
         "(no files to check)Skipped"},
        {"unstaged changes are set aside", "int  main() { return 0; }\n", "notes\n", "int main() { return 2; }\n", 0,
         "Passed"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(dir.file("work/a.c"), c.code);
        writeFile(dir.file("work/notes.txt"), c.notes);
        ASSERT_EQ(sh(dir.file("work"), std::string(kGit) + "add -A").status, 0);
        if (c.unstaged)
            writeFile(dir.file("work/a.c"), c.unstaged);
        const Shell r = sh(dir.file("work"), tryHook);
        EXPECT_EQ(r.status, c.status) << r.out;
        EXPECT_NE(r.out.find(c.said), std::string::npos) << r.out;
        if (c.unstaged) {
            EXPECT_EQ(readFile(dir.file("work/a.c")), c.unstaged) << "pre-commit puts the unstaged change back";
        }
    }
}

// A pull request as actions/checkout checks it out: the merge of its head
// into the target branch, which is the merge's first parent.
class ActionTools : public HooksTools {
protected:
    void pullRequest(const std::string &change)
    {
        makeDir(dir.file("repo"));
        writeFile(dir.file("repo/a.c"), "int f(int a) { return a; }\n");
        writeFile(dir.file("repo/b.c"), "int g;\n");
        const std::string git = kGit;
        ASSERT_EQ(sh(dir.file("repo"), git + "init -q && " + git + "add . && " + git + "commit -qm base && " + git +
                                            "checkout -qb topic")
                      .status,
                  0);
        writeFile(dir.file("repo/a.c"), change);
        ASSERT_EQ(sh(dir.file("repo"), git + "commit -qam change && " + git + "checkout -q main && " +
                                            "echo 'int h;' >c.c && " + git + "add c.c && " + git +
                                            "commit -qm other && " + git + "merge -q --no-ff topic -m merge")
                      .status,
                  0);
    }
    // Runs the action's script in the repository with env before it.
    Shell action(const std::string &env)
    {
        return sh(dir.file("repo"), "GITHUB_OUTPUT='" + dir.file("outputs") + "' GITHUB_EVENT_NAME=pull_request " +
                                        env + " bash '" + kSource + "/.github/matchling-action.sh'");
    }
};

TEST_F(ActionTools, LayoutOnlyPullRequest)
{
    pullRequest("int f(int a)\n{\n    return a;\n}\n");
    const Shell r = action("MATCHLING_BIN='" + kBinary + "'");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(readFile(dir.file("outputs")), "sarif=matchling.sarif\nverdict=equivalent\n");
    const std::string log = readFile(dir.file("repo/matchling.sarif"));
    EXPECT_NE(log.find("\"results\":[]"), std::string::npos) << log;
    EXPECT_NE(log.find("\"executionSuccessful\":true"), std::string::npos) << log;
}

TEST_F(ActionTools, CodeChangeIsInTheLog)
{
    pullRequest("int f(int a)\n{\n    return a + 1;\n}\n");
    struct Case {
        const char *name;
        std::string env;
        int status;
        std::string outputs;
    } cases[] = {
        {"fails the step", "MATCHLING_BIN='" + kBinary + "'", 1, "sarif=matchling.sarif\nverdict=not-equivalent\n"},
        {"or only says so", "MATCHLING_FAIL=false MATCHLING_SARIF=x.sarif MATCHLING_BIN='" + kBinary + "'", 0,
         "sarif=x.sarif\nverdict=not-equivalent\n"},
        {"found on the PATH", "PATH='" + kBuildDir + "':\"$PATH\"", 1,
         "sarif=matchling.sarif\nverdict=not-equivalent\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::remove(dir.file("outputs").c_str());
        const Shell r = action(c.env);
        EXPECT_EQ(r.status, c.status) << r.out;
        EXPECT_EQ(readFile(dir.file("outputs")), c.outputs);
        const std::string sarif = c.outputs.substr(6, c.outputs.find('\n') - 6);
        const std::string log = readFile(dir.file("repo/" + sarif));
        EXPECT_NE(log.find("\"ruleId\":\"not-equivalent\""), std::string::npos) << log;
        EXPECT_NE(log.find("\"uri\":\"a.c\"},\"region\":{\"startLine\":3,\"startColumn\":14}"), std::string::npos)
            << log;
    }
}

TEST_F(ActionTools, BuildsOneWhenNoneIsFound)
{
    pullRequest("int f(int a) {\n  return a;\n}\n");
    // A cmake that "builds" by copying the test's binary where the build goes.
    makeDir(dir.file("bin"));
    writeFile(dir.file("bin/cmake"), "#!/bin/sh\necho \"$@\" >>'" + dir.file("cmake-calls") +
                                         "'\ncase \"$1\" in --build) mkdir -p \"$2\" && cp '" + kBinary +
                                         "' \"$2/matchling\" ;; esac\n");
    ASSERT_EQ(sh(dir.path(), "chmod +x bin/cmake").status, 0);
    const Shell r = action("PATH='" + dir.file("bin") + "':/usr/bin:/bin RUNNER_TEMP='" + dir.path() +
                           "' MATCHLING_SOURCE=/src/matchling");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(readFile(dir.file("cmake-calls")),
              "-S /src/matchling -B " + dir.file("matchling-build") + " -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF\n"
              "--build " + dir.file("matchling-build") + " --target matchling -j " +
                  sh(dir.path(), "nproc").out.substr(0, sh(dir.path(), "nproc").out.find('\n')) + "\n");
    EXPECT_EQ(readFile(dir.file("outputs")), "sarif=matchling.sarif\nverdict=equivalent\n");
}

TEST_F(ActionTools, NoFirstParentIsTrouble)
{
    makeDir(dir.file("repo"));
    writeFile(dir.file("repo/a.c"), "int x;\n");
    ASSERT_EQ(sh(dir.file("repo"), std::string(kGit) + "init -q && " + kGit + "add . && " + kGit + "commit -qm one")
                  .status,
              0);
    const Shell r = action("MATCHLING_BIN='" + kBinary + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("::error title=Matchling::HEAD has no first parent here: check out with fetch-depth: 2"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(readFile(dir.file("outputs")), "verdict=failed\n");
}

// What the Actions runner and pre-commit read of the YAML files.
TEST(HookFilesTools, YamlHasWhatRunnersRead)
{
    if (std::system("python3 -c 'import yaml' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3 with its yaml module is not installed";
    const std::string check = R"PY(
import sys, yaml
action = yaml.safe_load(open(sys.argv[1] + "/action.yml"))
problems = []
for key in ("name", "description", "runs"):
    if not isinstance(action.get(key), str if key != "runs" else dict) or not action.get(key):
        problems.append("action: no " + key)
runs = action.get("runs", {})
if runs.get("using") != "composite":
    problems.append("action: runs.using is not composite")
steps = runs.get("steps") or []
if not steps:
    problems.append("action: no steps")
for i, step in enumerate(steps):
    if ("run" in step) == ("uses" in step):
        problems.append("action: step %d needs run or uses, not both" % i)
    if "run" in step and not step.get("shell"):
        problems.append("action: step %d runs without a shell" % i)
for name, entry in (action.get("inputs") or {}).items():
    if not entry.get("description"):
        problems.append("action: input %s has no description" % name)
for name, entry in (action.get("outputs") or {}).items():
    if not entry.get("value"):
        problems.append("action: output %s has no value" % name)
hooks = yaml.safe_load(open(sys.argv[1] + "/.pre-commit-hooks.yaml"))
for hook in hooks:
    for key in ("id", "name", "entry", "language"):
        if not hook.get(key):
            problems.append("hook: no " + key)
print("\n".join(problems))
sys.exit(1 if problems else 0)
)PY";
    const Shell r = sh(kSource, "python3 -c '" + [&] {
        std::string quoted;
        for (char c : check)
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return quoted;
    }() + "' '" + kSource + "'");
    EXPECT_EQ(r.status, 0) << r.out;
}

} // namespace
