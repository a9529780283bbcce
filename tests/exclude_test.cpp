// --exclude's patterns: the matcher's decisions one by one, each with the
// near miss that must go the other way, then whole paths and listings.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "walk/exclude.h"

namespace {

struct GlobCase {
    const char *pattern;
    const char *text;
    bool matches;
};

TEST(ExcludeGlob, Table)
{
    const GlobCase cases[] = {
        {"a.c", "a.c", true},
        {"a.c", "a.cc", false},
        {"*.c", "x.c", true},
        {"*.c", ".c", true},
        {"*.c", "x.h", false},
        {"*.c", "d/x.c", false},           // '*' stops at '/'
        {"*", "", true},
        {"a*b*c", "aXbYbZc", true},        // the last star backs up
        {"a*b*c", "aXbYbZ", false},
        {"?.c", "x.c", true},
        {"?.c", "xy.c", false},
        {"?", "/", false},                 // '?' is never '/'
        {"[abc].c", "b.c", true},
        {"[abc].c", "d.c", false},
        {"[a-c].c", "c.c", true},
        {"[a-c].c", "d.c", false},
        {"[!a-c].c", "d.c", true},
        {"[!a-c].c", "a.c", false},
        {"[^a].c", "b.c", true},
        {"[]x]", "]", true},               // a ']' first is one of the set
        {"[]x]", "y", false},
        {"[[:digit:]]x", "7x", true},
        {"[[:digit:]]x", "ax", false},
        {"[[:alpha:]_]", "_", true},
        {"[ab", "[ab", true},              // unclosed: a '[' as it stands
        {"[ab", "a", false},
        {"\\*.c", "*.c", true},
        {"\\*.c", "x.c", false},
        {"\\[a]", "[a]", true},
        {"a/**/b", "a/b", true},           // no directory between
        {"a/**/b", "a/x/y/b", true},
        {"a/**/b", "a/x/y/c", false},
        {"**/b", "b", true},
        {"**/b", "x/y/b", true},
        {"**/b", "x/yb", false},
        {"a/**", "a/x", true},
        {"a/**", "a/x/y", true},
        {"a/**", "a", false},              // at the end: one part at least
        {"a**b", "aXb", true},             // not a whole part: as '*'
        {"a**b", "aX/b", false},
        {"**", "x/y", true},
        {"x/*/z", "x/y/z", true},
        {"x/*/z", "x/y/w/z", false},
    };
    for (const GlobCase &c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " ~ " + c.text);
        EXPECT_EQ(globMatch(c.pattern, std::strlen(c.pattern), c.text, std::strlen(c.text)), c.matches);
    }
}

TEST(ExcludeGlob, LongTextsTakeNoTimeToSpeakOf)
{
    // Backtracking that tried every split would take ages here.
    const std::string pattern = "*a*a*a*a*a*a*a*a*b";
    const std::string text(20000, 'a');
    EXPECT_FALSE(globMatch(pattern.data(), pattern.size(), text.data(), text.size()));
    std::string parts;
    for (int i = 0; i < 2000; ++i)
        parts += "d/";
    parts += "x";
    const std::string deep = "**/d/**/d/**/y";
    EXPECT_FALSE(globMatch(deep.data(), deep.size(), parts.data(), parts.size()));
}

struct PathCase {
    std::vector<std::string> patterns;
    const char *path;
    bool directory;
    bool excluded;
};

TEST(ExcludePath, Table)
{
    const PathCase cases[] = {
        {{"*.lock"}, "yarn.lock", false, true},
        {{"*.lock"}, "sub/deep/yarn.lock", false, true},   // no '/': any level
        {{"*.lock"}, "yarn.locked", false, false},
        {{"/a.c"}, "a.c", false, true},                    // a leading '/': the top only
        {{"/a.c"}, "sub/a.c", false, false},
        {{"sub/a.c"}, "sub/a.c", false, true},             // a '/' inside anchors too
        {{"sub/a.c"}, "x/sub/a.c", false, false},
        {{"vendor/"}, "vendor/x/y.c", false, true},        // a directory on the way
        {{"vendor/"}, "vendor", false, false},             // a trailing '/': no file
        {{"vendor/"}, "vendor", true, true},
        {{"vendor"}, "vendor", false, true},
        {{"vendor"}, "src/vendor/x.c", false, true},
        {{"vendor"}, "src/vendors/x.c", false, false},
        {{"src/*.c"}, "src/x.c", false, true},
        {{"src/*.c"}, "src/sub/x.c", false, false},
        {{"src/**/*.c"}, "src/sub/x.c", false, true},
        {{"**/gen/"}, "a/gen/b.c", false, true},
        {{"**/gen/"}, "a/gen", false, false},
        {{"x.c", "*.h"}, "d/y.h", false, true},            // any pattern of several
        {{"x.c", "*.h"}, "d/y.c", false, false},
        {{}, "x.c", false, false},
    };
    for (const PathCase &c : cases) {
        SCOPED_TRACE(std::string(c.path) + (c.directory ? "/" : ""));
        EXPECT_EQ(excludedPath(excludeList(c.patterns), c.path, c.directory), c.excluded);
    }
}

TEST(ExcludePath, Subjects)
{
    const std::pair<const char *, const char *> cases[] = {
        {"./src//a.c", "src/a.c"}, {"/abs/a.c", "abs/a.c"}, {"a.c", "a.c"}, {"./", ""}, {"a/./b/.", "a/b"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(excludeSubject(c.first), c.second) << c.first;
}

WalkEntry entry(const std::string &path, bool renamed = false)
{
    WalkEntry e;
    e.path = path;
    e.renamed = renamed;
    return e;
}

TEST(ExcludeEntries, RenamesGoOnlyWhenBothPathsDo)
{
    std::vector<WalkEntry> entries = {
        entry("package-lock.json"),
        entry("src/a.c"),
        entry("vendor/x.c -> vendor/y.c", true),
        entry("vendor/z.c -> src/z.c", true),           // out of the excluded tree: kept
        entry("a -> b -> vendor/c", true),              // which arrow splits it cannot be told: kept
    };
    const ExcludeList list = excludeList({"package-lock.json", "vendor/", "vendor/c"});
    EXPECT_EQ(excludeEntries(entries, list), 2);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].path, "src/a.c");
    EXPECT_EQ(entries[1].path, "vendor/z.c -> src/z.c");
    EXPECT_EQ(entries[2].path, "a -> b -> vendor/c");
}

TEST(ExcludeEntries, UnreadableDirectoriesAreDirectories)
{
    std::vector<WalkEntry> entries = {entry("gen"), entry("gen")};
    entries[0].kind = EntryKind::Failed;
    entries[0].reason = "unreadable directory";
    EXPECT_EQ(excludeEntries(entries, excludeList({"gen/"})), 1);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].kind, EntryKind::Pair) << "a file named gen is no directory";
}

} // namespace
