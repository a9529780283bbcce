// The usage screen, as a user sees it when no pair of files is named; the
// list of switches and options --help adds to it, which must say what the
// README's tables say; and the version line.
#include <gtest/gtest.h>

#include <sstream>

#include "support.h"

namespace {

const char *const kScreenLines =
    "Matchling==>  Matchling  Ver. 0.1a of September 17, 1999 \n"
    "\n"
    "Matchling==>  Usage: Matchling  SourceFile1  SourceFile2  [Options] \n"
    "\n"
    "Matchling==>  For the latest updates and product information: \n"
    "Matchling==>     See   : https://matchling.example.org \n"
    "Matchling==>     mailto: support@matchling.example.org \n";
const std::string kUsageScreen = std::string(kScreenLines) + "Matchling==>  Press Enter to continue \n";
const std::string kVersionLine = "Matchling==>  Matchling  Ver. 0.1a of September 17, 1999 \n";

TEST(Usage, Screen)
{
    const std::vector<std::vector<std::string>> cases = {
        {}, {"/?"}, {"/?x"}, {"a.c"}, {"--tokens", "a.c"}, {"--no-wait"},
    };
    for (const auto &args : cases) {
        SCOPED_TRACE(args.empty() ? "no arguments" : args[0]);
        ScratchDir dir;
        RunResult r = runMatchling(args, dir.path());
        EXPECT_EQ(r.out, kUsageScreen);
        EXPECT_EQ(r.raw, textModeBytes(kUsageScreen)) << "standard output keeps the platform's text mode";
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(dir.entries().empty());
    }
}

TEST(Usage, QuestionMarkWithOtherArgumentsIsAFileName)
{
    ScratchDir dir;
    RunResult r = runMatchling({"/?", "b.c"}, dir.path());
    EXPECT_EQ(r.out,
              "Matchling==>  Unable to open input file /? for reading \n"
              "Matchling==>  The file probably doesn't exist \n\n"
              "Matchling==>  Program will abort \n"
              "Matchling==>  Press Enter to continue \n"
              "\n");
    EXPECT_EQ(r.status, 1);
}

// The rows of the README table whose header is header: each first cell and
// second cell, their markup taken out (`code` and [text](link) as text).
std::vector<std::pair<std::string, std::string>> readmeTable(const std::string &header)
{
    const std::string readme = readFile(std::string(MATCHLING_SOURCE_DIR) + "/README.md");
    std::vector<std::pair<std::string, std::string>> rows;
    std::size_t at = readme.find("\n" + header + "\n");
    if (at == std::string::npos)
        return rows;
    std::istringstream lines(readme.substr(at + header.size() + 2));
    std::string line;
    std::getline(lines, line);  // |---|---|
    while (std::getline(lines, line) && line.compare(0, 2, "| ") == 0) {
        std::string plain;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '`')
                continue;
            if (line[i] == ']' && i + 1 < line.size() && line[i + 1] == '(') {
                i = line.find(')', i);
                continue;
            }
            const std::size_t close = line[i] == '[' ? line.find(']', i) : std::string::npos;
            if (close == std::string::npos || close + 1 >= line.size() || line[close + 1] != '(')
                plain += line[i];
        }
        const std::size_t middle = plain.find(" | ");
        rows.emplace_back(plain.substr(2, middle - 2), plain.substr(middle + 3, plain.size() - middle - 5));
    }
    return rows;
}

TEST(Usage, HelpListsTheReadmeTables)
{
    const auto switches = readmeTable("| switch | effect |");
    const auto options = readmeTable("| option | effect |");
    ASSERT_EQ(switches.size(), 5u);
    ASSERT_GT(options.size(), 15u);
    std::string expected = std::string(kScreenLines) + "\n";
    for (const auto *table : {&switches, &options})
        for (const auto &row : *table) {
            std::string shown = row.first;
            shown.resize(shown.size() < 26 ? 26 : shown.size(), ' ');
            expected += "Matchling==>  " + shown + " " + row.second + " \n";
        }
    ScratchDir dir;
    RunResult r = runMatchling({"--help"}, dir.path());
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}

TEST(Usage, HelpAndVersionAnswerWhateverElseTheLineHolds)
{
    struct Case {
        const char *name;
        std::vector<std::string> args;
        bool help;  // else the version line
    } cases[] = {
        {"version", {"--version"}, false},
        {"version after names", {"a.c", "b.c", "--version"}, false},
        {"help with a mistake", {"--tokns", "--help"}, true},
        {"version with a report format", {"--format", "json", "--version"}, false},
        {"the first asked answers", {"--version", "--help"}, false},
    };
    ScratchDir dir;
    const std::string help = runMatchling({"--help"}, dir.path()).out;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RunResult r = runMatchling(c.args, dir.path());
        EXPECT_EQ(r.out, c.help ? help : kVersionLine);
        EXPECT_EQ(r.status, 0);
    }
    RunResult after = runMatchling({"--", "--help"}, dir.path());
    EXPECT_EQ(after.out, kUsageScreen) << "after --, --help is a name";
    EXPECT_EQ(after.status, 1);
}

} // namespace
