// The platform-independent part of the test helpers.
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>

void writeTrees(const ScratchDir &dir, const std::vector<TreeFile> &files)
{
    makeDir(dir.file("a"));
    makeDir(dir.file("b"));
    for (const TreeFile &f : files) {
        writeFile(dir.file("a/" + f.name), f.a);
        writeFile(dir.file("b/" + f.name), f.b);
    }
}

void play(const Scenario &s)
{
    SCOPED_TRACE(s.name);
    ScratchDir dir;
    std::vector<std::string> expectedEntries = s.temps;
    for (const auto &f : s.files) {
        writeFile(dir.file(f.first), f.second);
        expectedEntries.push_back(f.first);
    }
    std::sort(expectedEntries.begin(), expectedEntries.end());
    RunResult r = runMatchling(s.args, dir.path(), s.fileSizeLimit);
    EXPECT_EQ(r.out, s.out);
    EXPECT_EQ(r.status, s.status);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.entries(), expectedEntries);
}

std::string mismatch(const std::string &name1, const std::string &name2, long long offset, char c1,
                     const std::string &context1, char c2, const std::string &context2)
{
    return "Matchling==> Mismatch at offset " + std::to_string(offset) + " for " + name1 + " \n" +
           "Matchling==> Character from " + name1 + " '" + c1 + "' \n" +
           "Matchling==> String from " + name1 + ": \n" + context1 + " \n\n" +
           "Matchling==> Character from " + name2 + " '" + c2 + "' \n" +
           "Matchling==> String from " + name2 + ": \n" + context2 + " \n";
}

std::string withoutAllowedLines(const std::string &out)
{
    static const std::string allowed = "Matchling==> Allowed ";
    std::string kept;
    for (std::size_t at = 0; at < out.size();) {
        std::size_t end = out.find('\n', at);
        end = end == std::string::npos ? out.size() : end + 1;
        if (out.compare(at, allowed.size(), allowed) != 0)
            kept.append(out, at, end - at);
        at = end;
    }
    return kept;
}
