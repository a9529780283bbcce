// Endings that other kinds of file share, through the built utility: a .cls
// (or .frm, .ts) is read as its language only when its start says so, else
// not compared, with the reason; one side of each kind is not equivalent.
// In single runs, tree runs, formatter runs and commits.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "../support.h"

namespace {

const std::string kVbClass = "VERSION 1.0 CLASS\r\nBEGIN\r\n  MultiUse = -1  'True\r\nEND\r\n"
                             "Attribute VB_Name = \"Account\"\r\nPublic Balance As Currency\r\n";
const std::string kVbRelaid = "VERSION 1.0 CLASS\r\nBEGIN\r\n  MultiUse = -1  'True\r\nEND\r\n"
                              "Attribute VB_Name = \"Account\"\r\npublic   balance as currency ' kept\r\n";
const std::string kLatex = "\\NeedsTeXFormat{LaTeX2e}\n\\setcounter{secnumdepth}{2}\n";
const std::string kLatexUpper = "\\NeedsTeXFormat{LaTeX2e}\n\\SETCOUNTER{SECNUMDEPTH}{2}\n";
const std::string kApex = "public class Greeter {\n    String s = 'Hello';\n}\n";
const std::string kApexChanged = "public class Greeter {\n    String s = 'Goodbye'; delete [SELECT Id FROM A];\n}\n";
const std::string kQt = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE TS>\n<TS version=\"2.1\">\n"
                        "<message><source>Don't save</source></message>\n</TS>\n";
const std::string kQtChanged = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE TS>\n<TS version=\"2.1\">\n"
                               "<message><source>Don't  save</source></message>\n</TS>\n";
const std::string kNotVb = ".cls is read as Basic only when it starts as a Visual Basic module";
const std::string kNotTs = ".ts is read as TypeScript only when it starts as neither XML nor binary data";

TEST(BasicRun, SingleRunsByContent)
{
    const Scenario scenarios[] = {
        {"two LaTeX classes",
         {{"a.cls", kLatex}, {"b.cls", kLatexUpper}},
         {"a.cls", "b.cls", "--tokens", "--exit-status"},
         "Matchling==>  Not compared: a.cls (no token rules: " + kNotVb + ") \n",
         2,
         {}},
        {"two Apex classes, without --exit-status",
         {{"a.cls", kApex}, {"b.cls", kApexChanged}},
         {"a.cls", "b.cls", "--tokens"},
         "Matchling==>  Not compared: a.cls (no token rules: " + kNotVb + ") \n",
         1,
         {}},
        {"two VB classes", {{"a.cls", kVbClass}, {"b.cls", kVbRelaid}}, {"a.cls", "b.cls", "--tokens"}, kEquivalent, 0, {}},
        {"a VB class whose header went",
         {{"a.cls", kVbClass}, {"b.cls", kVbClass.substr(kVbClass.find("BEGIN"))}},
         {"a.cls", "b.cls", "--tokens", "--exit-status"},
         "Matchling==>  Not equivalent: a.cls (of two kinds: " + kNotVb + ", and only the first side is) \n" +
             kNotEquivalent,
         1,
         {}},
        {"LaTeX read as Basic when the user says so",
         {{"a.cls", kLatex}, {"b.cls", kLatexUpper}},
         {"a.cls", "b.cls", "--tokens", "--language", "basic"},
         kEquivalent,
         0,
         {}},
        {"two VB forms",
         {{"a.frm", "VERSION 5.00\r\nBegin VB.Form F\r\nEnd\r\n"}, {"b.frm", "VERSION 5.00\r\nBegin   VB.Form F\r\nEnd\r\n"}},
         {"a.frm", "b.frm", "--tokens"},
         kEquivalent,
         0,
         {}},
        {"two Qt translations",
         {{"de.ts", kQt}, {"de2.ts", kQtChanged}},
         {"de.ts", "de2.ts", "--tokens", "--exit-status"},
         "Matchling==>  Not compared: de.ts (no token rules: " + kNotTs + ") \n",
         2,
         {}},
        {"TypeScript starting with a comment",
         {{"a.ts", "// x\nimport {a} from 'a';\n"}, {"b.ts", "// x\nimport { a } from 'a';\n"}},
         {"a.ts", "b.ts", "--tokens"},
         kEquivalent,
         0,
         {}},
        {"JSON: not compared is the run's error",
         {{"a.cls", kLatex}, {"b.cls", kLatexUpper}},
         {"a.cls", "b.cls", "--tokens", "--format", "json"},
         "{\"type\":\"error\",\"message\":\"Not compared: a.cls (no token rules: " + kNotVb + ")\"}\n",
         2,
         {}},
        {"JSON: two kinds are a pair not equivalent, with the reason",
         {{"a.cls", kLatex}, {"b.cls", kVbClass}},
         {"a.cls", "b.cls", "--tokens", "--format", "json"},
         "{\"type\":\"pair\",\"path\":\"b.cls\",\"status\":\"not-equivalent\",\"language\":\"basic\",\"reason\":\"of "
         "two kinds: " + kNotVb + ", and only the second side is\",\"first\":{\"name\":\"a.cls\"},\"second\":{"
         "\"name\":\"b.cls\"}}\n{\"type\":\"summary\",\"pairs\":1,\"equivalent\":0,\"not_equivalent\":1,\"failed\":0,"
         "\"not_compared\":0,\"only_on_one_side\":0,\"verdict\":\"not-equivalent\",\"languages\":{\"basic\":1}}\n",
         1,
         {}},
    };
    for (const Scenario &s : scenarios)
        play(s);
}

TEST(BasicRun, TreeRunByContent)
{
    ScratchDir dir;
    ASSERT_TRUE(makeDir(dir.file("a")) && makeDir(dir.file("b")));
    const struct {
        const char *name;
        std::string a, b;
    } files[] = {
        {"Account.cls", kVbClass, kVbRelaid},
        {"de.ts", kQt, kQtChanged},
        {"Greeter.cls", kApex, kApexChanged},
        {"thesis.cls", kLatex, kLatexUpper},
        {"Unchanged.cls", kLatex, kLatex},
    };
    for (const auto &f : files) {
        writeFile(dir.file(std::string("a/") + f.name), f.a);
        writeFile(dir.file(std::string("b/") + f.name), f.b);
    }
    const RunResult r = runMatchling({"a", "b", "--tokens", "--exit-status"}, dir.path());
    EXPECT_EQ(r.out, "Matchling==> Not compared: Greeter.cls (no token rules: " + kNotVb + ") \n"
                     "Matchling==> Not compared: de.ts (no token rules: " + kNotTs + ") \n"
                     "Matchling==> Not compared: thesis.cls (no token rules: " + kNotVb + ") \n"
                     "Matchling==> Pairs by language: basic 2, other 3 \n"
                     "Matchling==> 5 pairs compared: 2 equivalent, 0 not equivalent, 3 failed, 0 only on one side \n" +
                         kNotEquivalent);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
}

// A formatter run leaves out the files of other kinds, as it leaves out
// those of names the table does not know; a formatter that breaks a header
// makes two kinds.
TEST(BasicRun, FormatterRunByContent)
{
    SKIP_WITHOUT(Facility::PosixShell);
    ScratchDir dir;
    ASSERT_TRUE(makeDir(dir.file("d")));
    writeFile(dir.file("d/Account.cls"), kVbClass);
    writeFile(dir.file("d/thesis.cls"), kLatex);
    const RunResult r = runMatchling({"--formatter", "sed 1d", "d", "--exit-status"}, dir.path());
    EXPECT_EQ(r.out, "Matchling==> Not equivalent: d/Account.cls (of two kinds: " + kNotVb +
                         ", and only the first side is) \n"
                         "Matchling==> 1 file skipped (no token rules for its kind) \n"
                         "Matchling==> Pairs by language: basic 1 \n"
                         "Matchling==> 1 pair compared: 0 equivalent, 1 not equivalent, 0 failed, 0 only on one "
                         "side \n" + kNotEquivalent);
    EXPECT_EQ(r.status, 1);
}

// A commit's reasons: a file of another kind has no token rules; one whose
// header went is of two kinds.
TEST(BasicRunTools, CommitsByContent)
{
    SKIP_WITHOUT(Facility::PosixShell);
    if (std::system("git --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "git is not installed";
    ScratchDir dir;
    writeFile(dir.file("thesis.cls"), kLatex);
    writeFile(dir.file("Account.cls"), kVbClass);
    const std::string git = "cd '" + dir.path() + "' && git -c user.name=t -c user.email=t@t ";
    ASSERT_EQ(std::system((git + "init -q && " + git + "add . && " + git + "commit -qm one").c_str()), 0);
    writeFile(dir.file("thesis.cls"), kLatexUpper);
    writeFile(dir.file("Account.cls"), kVbClass.substr(kVbClass.find("BEGIN")));
    ASSERT_EQ(std::system((git + "commit -qam two").c_str()), 0);
    const RunResult r = runMatchling({"--git", "HEAD~1..HEAD", "--tokens", "--format", "json"}, dir.path());
    const std::size_t at = r.out.find("\"files\":");
    ASSERT_NE(at, std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(at, r.out.find('\n') - at),
              "\"files\":[{\"path\":\"Account.cls\",\"status\":\"not-equivalent\",\"language\":\"basic\","
              "\"renamed\":false,"
              "\"changes_code\":true,\"reason\":\"of two kinds: " + kNotVb + ", and only the first side is\","
              "\"line\":null,\"column\":null},{\"path\":\"thesis.cls\",\"status\":\"not-compared\",\"language\":"
              "\"other\",\"renamed\":false,"
              "\"changes_code\":true,\"reason\":\"no token rules\"}]}");
    EXPECT_EQ(r.status, 1);
}

} // namespace
