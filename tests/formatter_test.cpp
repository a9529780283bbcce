// Real formatters on real code: headers of this machine re-formatted by
// clang-format in several styles, astyle and GNU indent must compare
// equivalent token for token, and a formatter's real slip must be named.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "support.h"

namespace {

constexpr int kFilesPerFolder = 15;  // headers taken from each folder, spread over it

bool have(const char *tool)
{
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Every step-th regular file of folder whose name ends in suffix, up to kFilesPerFolder.
std::vector<std::string> sample(const std::string &folder, const std::string &suffix)
{
    std::vector<std::string> names;
    if (DIR *d = opendir(folder.c_str())) {
        while (struct dirent *e = readdir(d)) {
            std::string name = e->d_name;
            if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                names.push_back(name);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> picked;
    const std::size_t step = names.size() / kFilesPerFolder + 1;
    for (std::size_t i = 0; i < names.size(); i += step)
        picked.push_back(folder + "/" + names[i]);
    return picked;
}

// Copies files into dir/before, and each through command (the file as "$f")
// into dir/<name>; returns false when some copy failed.
bool format(const ScratchDir &dir, const std::vector<std::string> &files,
            const std::vector<std::pair<std::string, std::string>> &commands)
{
    makeDir(dir.file("before"));
    for (const std::string &f : files) {
        const std::string base = f.substr(f.rfind('/') + 1);
        std::string script = "cp '" + f + "' '" + dir.file("before/" + base) + "'";
        for (const auto &c : commands) {
            makeDir(dir.file(c.first));
            script += " && f='" + f + "' && " + c.second + " >'" + dir.file(c.first + "/" + base) + "' 2>/dev/null";
        }
        if (std::system(script.c_str()) != 0)
            return false;
    }
    return true;
}

TEST(FormattersTools, LayoutOnlyChangesCompareEquivalent)
{
    std::vector<std::string> files = sample("/usr/include/c++/12/bits", ".h");
    for (const std::string &f : sample("/usr/include", ".h"))
        files.push_back(f);
    if (files.empty())
        GTEST_SKIP() << "no C or C++ headers on this machine";
    std::vector<std::pair<std::string, std::string>> commands;
    if (have("clang-format"))
        for (const char *style : {"LLVM", "Google", "Mozilla", "WebKit", "GNU", "Chromium", "Microsoft"})
            commands.push_back({style, std::string("clang-format --style='{BasedOnStyle: ") + style +
                                           ", Standard: Latest, SortUsingDeclarations: false}' \"$f\""});
    if (have("astyle"))
        commands.push_back({"astyle", "astyle --style=allman <\"$f\""});
    if (commands.empty())
        GTEST_SKIP() << "neither clang-format nor astyle is installed";
    ScratchDir dir;
    ASSERT_TRUE(format(dir, files, commands));
    const std::string n = std::to_string(files.size());
    for (const auto &c : commands) {
        SCOPED_TRACE(c.first);
        RunResult r = runMatchling({"before", c.first, "--tokens", "--sorted-includes"}, dir.path());
        EXPECT_NE(r.out.find("\nMatchling==> Allowed rewrites: "), std::string::npos) << "the reorders it accepted";
        EXPECT_EQ(withoutAllowedLines(r.out), "Matchling==> Pairs by language: c " + n + " \nMatchling==> " + n + " pairs compared: " + n +
                             " equivalent, 0 not equivalent, 0 failed, 0 only on one side \n" +
                             "\nMatchling==>  Files compare equivalent \n" + kPrompt);
    }
}

TEST(FormattersTools, GnuIndentOnC)
{
    if (!have("indent"))
        GTEST_SKIP() << "GNU indent is not installed";
    const std::vector<std::string> files = sample("/usr/include", ".h");
    if (files.empty())
        GTEST_SKIP() << "no C headers on this machine";
    ScratchDir dir;
    ASSERT_TRUE(format(dir, files, {{"indent", "indent -gnu -st \"$f\""}}));
    RunResult r = runMatchling({"before", "indent", "--tokens", "--exit-status"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
}

TEST(FormattersTools, ASplitOperatorIsNamed)
{
    // clang-format, told the code is C++03, takes "<=>" for "<=" and ">".
    if (!have("clang-format"))
        GTEST_SKIP() << "clang-format is not installed";
    ScratchDir dir;
    writeFile(dir.file("a.cpp"), "auto f(A a, A b) { return a <=> b; }\n");
    ASSERT_EQ(std::system(("cd '" + dir.path() + "' && clang-format --style='{BasedOnStyle: GNU, Standard: c++03}' "
                           "a.cpp >b.cpp").c_str()),
              0);
    RunResult r = runMatchling({"a.cpp", "b.cpp", "--tokens", "--exit-status"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Matchling==> Token mismatch at line 1, column 29 of a.cpp \n"
                         "Matchling==> Token from a.cpp '<=>' \n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Matchling==> Token from b.cpp '<=' \n"), std::string::npos) << r.out;
}

} // namespace
