// Machine-readable reports, the formatter dry run and the history of layout-only commits, end to end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "lex_support.h"
#include "support.h"

namespace {

// A name with every byte a format must escape: a quote, a backslash, a comma
// and a colon, a control byte and a byte that is not UTF-8.
const std::string kHostile = "q\"b\\s,c:d\x01\xff.c";

// The same pairs for every format: equal, a token change (in the hostile
// name), a file emptied (a source without tokens), a failure (links to
// different targets), a file on one side only, a kind without token rules,
// by its name and by its start (a LaTeX class), and a VB class whose header
// went (two kinds).
void writePairs(const ScratchDir &dir)
{
    writeTrees(dir, {
        {"eq.c", "int x = 1;\n", "int  x=1;\n"},
        {kHostile, "int x;\nunsigned int y;\n", "int x;\nunsignedint y;\n"},
        {"empty.c", "int z;\n", ""},
        {"k.conf", "a: 1\n", "a:  1\n"},
        {"k.cls", "\\setcounter{a}{2}\n", "\\SETCOUNTER{A}{2}\n"},
        {"v.cls", "VERSION 1.0 CLASS\nBEGIN\nEND\n", "BEGIN\nEND\n"},
    });
    writeFile(dir.file("a/gone.c"), "int g;\n");
    makeSymlink("eq.c", dir.file("a/link.c"));
    makeSymlink("gone.c", dir.file("b/link.c"));
}

// Hostile names need a system whose names are bytes.
#define SKIP_WITHOUT_BYTE_NAMES()                                           \
    do {                                                                    \
        if (kDirSeparator != '/')                                           \
            GTEST_SKIP() << "names here cannot hold quotes, colons or control bytes"; \
        if (!haveTool("python3"))                                           \
            GTEST_SKIP() << "python3 is not installed";                     \
    } while (0)

// Runs python3's script on text in dir; returns what it prints, or its failure.
std::string python(const ScratchDir &dir, const std::string &script, const std::string &text)
{
    writeFile(dir.file("check.py"), script);
    writeFile(dir.file("input"), text);
    const std::string command = "cd '" + dir.path() + "' && python3 check.py input > output 2>&1";
    const int status = std::system(command.c_str());
    return (status == 0 ? "" : "python3 failed: ") + readFile(dir.file("output"));
}

TEST(ReportsTools, JsonLinesParseWithEveryField)
{
    SKIP_WITHOUT_BYTE_NAMES();
    ScratchDir dir;
    writePairs(dir);
    const RunResult r = runMatchling({"a", "b", "--tokens", "--format", "json"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    // Strict UTF-8 and strict JSON, each line one object, then shown canonically.
    const std::string script = "import json, sys\n"
                               "for line in open(sys.argv[1], 'rb').read().decode('utf-8').split('\\n')[:-1]:\n"
                               "    print(json.dumps(json.loads(line), sort_keys=True))\n";
    const std::string q = "q\\\"b\\\\s,c:d\\u0001\\ufffd.c";
    EXPECT_EQ(python(dir, script, r.out),
              "{\"first\": {\"column\": 1, \"ends\": false, \"line\": 1, \"name\": \"a/empty.c\", \"token\": "
              "\"int\"}, \"language\": \"c\", \"path\": \"empty.c\", \"second\": {\"column\": 1, \"ends\": true, "
              "\"line\": 1, \"name\": \"b/empty.c\", \"token\": null}, \"status\": \"not-equivalent\", \"type\": "
              "\"pair\"}\n"
              "{\"first\": {\"name\": \"a/eq.c\"}, \"language\": \"c\", \"path\": \"eq.c\", \"second\": {\"name\": "
              "\"b/eq.c\"}, \"status\": \"equivalent\", \"type\": \"pair\"}\n"
              "{\"first\": {\"name\": \"a/gone.c\"}, \"language\": \"c\", \"path\": \"gone.c\", \"second\": null, "
              "\"status\": \"only-in-1\", \"type\": \"pair\"}\n"
              "{\"first\": {\"name\": \"a/k.cls\"}, \"language\": \"other\", \"path\": \"k.cls\", \"reason\": \"no "
              "token rules: .cls is read as Basic only when it starts as a Visual Basic module\", \"second\": {"
              "\"name\": \"b/k.cls\"}, \"status\": \"not-compared\", \"type\": \"pair\"}\n"
              "{\"first\": {\"name\": \"a/k.conf\"}, \"language\": \"other\", \"path\": \"k.conf\", \"reason\": \"no "
              "token rules for this kind of file\", \"second\": {\"name\": \"b/k.conf\"}, \"status\": "
              "\"not-compared\", \"type\": \"pair\"}\n"
              "{\"first\": {\"name\": \"a/link.c\"}, \"language\": \"c\", \"path\": \"link.c\", \"reason\": "
              "\"symbolic link\", \"second\": {\"name\": \"b/link.c\"}, \"status\": \"failed\", \"type\": \"pair\"}\n"
              "{\"first\": {\"column\": 1, \"ends\": false, \"line\": 2, \"name\": \"a/" + q +
                  "\", \"token\": \"unsigned\"}, \"language\": \"c\", \"path\": \"" + q +
                  "\", \"second\": {\"column\": 1, \"ends\": false, \"line\": 2, \"name\": \"b/" + q +
                  "\", \"token\": \"unsignedint\"}, \"status\": \"not-equivalent\", \"type\": \"pair\"}\n"
                  "{\"first\": {\"name\": \"a/v.cls\"}, \"language\": \"basic\", \"path\": \"v.cls\", \"reason\": "
                  "\"of two kinds: .cls is read as Basic only when it starts as a Visual Basic module, and only the "
                  "first side is\", \"second\": {\"name\": \"b/v.cls\"}, \"status\": \"not-equivalent\", \"type\": "
                  "\"pair\"}\n"
                  "{\"equivalent\": 1, \"failed\": 3, \"languages\": {\"basic\": 1, \"c\": 4, \"other\": 2}, "
                  "\"not_compared\": 2, \"not_equivalent\": 3, \"only_on_one_side\": 1, \"pairs\": 7, \"type\": \"summary\", "
                  "\"verdict\": \"not-equivalent\"}\n");
}

TEST(ReportsTools, SarifHoldsTheRequiredFieldsAndPlacesEachFinding)
{
    SKIP_WITHOUT_BYTE_NAMES();
    ScratchDir dir;
    writePairs(dir);
    const RunResult r = runMatchling({"a", "b", "--tokens", "--format", "sarif"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    // The fields the SARIF 2.1.0 schema requires, each result's rule among
    // the driver's, and each location as a plain relative URI.
    const std::string script =
        "import json, re, sys\n"
        "log = json.loads(open(sys.argv[1], 'rb').read().decode('utf-8'))\n"
        "assert log['version'] == '2.1.0' and '$schema' in log and len(log['runs']) == 1\n"
        "run = log['runs'][0]\n"
        "driver = run['tool']['driver']\n"
        "assert driver['name'] and driver['version'] and driver['informationUri']\n"
        "rules = [rule['id'] for rule in driver['rules']]\n"
        "assert all(i['executionSuccessful'] is True for i in run['invocations'])\n"
        "for result in run['results']:\n"
        "    assert result['message']['text'] and rules[result['ruleIndex']] == result['ruleId']\n"
        "    place = result['locations'][0]['physicalLocation']\n"
        "    uri = place['artifactLocation']['uri']\n"
        "    assert re.fullmatch(r'[A-Za-z0-9._~/%-]+', uri), uri\n"
        "    region = place.get('region', {})\n"
        "    print(result['ruleId'], uri, region.get('startLine'), region.get('startColumn'))\n";
    EXPECT_EQ(python(dir, script, r.out), "not-equivalent b/empty.c 1 1\n"
                                          "only-in-1 a/gone.c None None\n"
                                          "not-compared b/k.cls None None\n"
                                          "not-compared b/k.conf None None\n"
                                          "failed b/link.c None None\n"
                                          "not-equivalent b/q%22b%5Cs%2Cc%3Ad%01%FF.c 2 1\n"
                                          "not-equivalent b/v.cls None None\n");
}

TEST(ReportsTools, GithubAndGnuLinesExactly)
{
    SKIP_WITHOUT_BYTE_NAMES();
    const std::string shown = "q\"b\\s,c:d\x01\xEF\xBF\xBD.c";  // the invalid byte as U+FFFD
    const struct {
        const char *format;
        std::string out;
    } cases[] = {
        {"github", "::error file=b/empty.c,line=1,col=1::Not equivalent: the text ends here; a/empty.c goes on with "
                   "'int' at line 1, column 1\n"
                   "::error file=a/gone.c::Only in a\n"
                   "::error file=b/k.cls::Not compared (no token rules: .cls is read as Basic only when it starts as a "
                   "Visual Basic module)\n"
                   "::error file=b/k.conf::Not compared (no token rules for this kind of file)\n"
                   "::error file=b/link.c::Unable to compare (symbolic link)\n"
                   "::error file=b/q\"b\\s%2Cc%3Ad\x01\xEF\xBF\xBD.c,line=2,col=1::Not equivalent: 'unsignedint' "
                   "here, 'unsigned' at line 2, column 1 of a/" + shown + "\n"
                   "::error file=b/v.cls::Not equivalent (of two kinds: .cls is read as Basic only when it starts as a "
                   "Visual Basic module, and only the first side is)\n"},
        {"gnu", "b/empty.c:1:1: error: Not equivalent: the text ends here; a/empty.c goes on with 'int' at line 1, "
                "column 1\n"
                "a/gone.c: error: Only in a\n"
                "b/k.cls: error: Not compared (no token rules: .cls is read as Basic only when it starts as a Visual "
                "Basic module)\n"
                "b/k.conf: error: Not compared (no token rules for this kind of file)\n"
                "b/link.c: error: Unable to compare (symbolic link)\n"
                "b/q\"b\\s,c:d?\xff.c:2:1: error: Not equivalent: 'unsignedint' here, 'unsigned' at line 2, "
                "column 1 of a/q\"b\\s,c:d?\xff.c\n"
                "b/v.cls: error: Not equivalent (of two kinds: .cls is read as Basic only when it starts as a Visual "
                "Basic module, and only the first side is)\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.format);
        ScratchDir dir;
        writePairs(dir);
        const RunResult r = runMatchling({"a", "b", "--tokens", "--format", c.format}, dir.path());
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "");
    }
}

// A single run is one pair; a run that stops is the format's own error; a
// mistake on the command line too, with no usage screen.
TEST(Reports, SingleRunsStopsAndMistakes)
{
    const struct {
        const char *name;
        std::vector<std::string> args;
        std::string out;
        int status;
    } cases[] = {
        {"equal, json", {"a.c", "b.c", "--format", "json"},
         "{\"type\":\"pair\",\"path\":\"b.c\",\"status\":\"equivalent\",\"first\":{\"name\":\"a.c\"},\"second\":{"
         "\"name\":\"b.c\"}}\n{\"type\":\"summary\",\"pairs\":1,\"equivalent\":1,\"not_equivalent\":0,\"failed\":0,"
         "\"not_compared\":0,\"only_on_one_side\":0,\"verdict\":\"equivalent\"}\n",
         0},
        {"equal, gnu", {"a.c", "b.c", "--format", "gnu", "/L", "/V"}, "", 0},
        {"line rules, gnu", {"a.c", "c.c", "--format", "gnu"},
         "c.c:2: error: Not equivalent: the normalized texts differ at offset 12 (line 2 of a.c)\n", 1},
        {"tokens, github", {"a.c", "c.c", "--format", "github", "--tokens"},
         "::error file=c.c,line=2,col=9::Not equivalent: '3' here, '2' at line 2, column 9 of a.c\n", 1},
        {"text ends, gnu", {"a.c", "d.c", "--tokens", "--format", "gnu"},
         "d.c:1:11: error: Not equivalent: the text ends here; a.c goes on with 'int' at line 2, column 1\n", 1},
        {"missing file, json", {"a.c", "none.c", "--format", "json"},
         "{\"type\":\"error\",\"message\":\"Unable to open input file none.c for reading\"}\n", 2},
        {"mistake, gnu", {"a.c", "b.c", "--tokns", "--format", "gnu"}, "matchling: error: Unknown option --tokns\n", 2},
        {"no repository, github", {"--git", "--format", "github"}, "", 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        writeFile(dir.file("a.c"), "int x = 1;\nint y = 2;\n");
        writeFile(dir.file("b.c"), "int x=1;\n  int y=2;\n");
        writeFile(dir.file("c.c"), "int x = 1;\nint y = 3;\n");
        writeFile(dir.file("d.c"), "int x = 1;\n");
        const RunResult r = runMatchling(c.args, dir.path());
        if (std::string(c.name) == "no repository, github")
            EXPECT_EQ(r.out.compare(0, 9, "::error::"), 0) << r.out;  // git's own words follow
        else
            EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, c.status);
    }
}

// blame-ignore-revs lists commits: a run over files is a mistake.
TEST(Reports, BlameIgnoreRevsNeedsARange)
{
    ScratchDir dir;
    writeFile(dir.file("a.c"), "int x;\n");
    const RunResult r = runMatchling({"a.c", "a.c", "--format", "blame-ignore-revs"}, dir.path());
    const std::string error = "Matchling==>  Option --format blame-ignore-revs needs --git REV1..REV2 or --verify-ignore-revs \n";
    EXPECT_EQ(r.out.compare(0, error.size(), error), 0) << r.out;
    EXPECT_NE(r.out.find("Usage"), std::string::npos) << r.out;
    EXPECT_EQ(r.status, 1);
}

// A pair's listing larger than a spool's memory, in a run whose temporary
// files can hold only part of it: it must come out whole all the same.
TEST(Reports, NoListingLostWhenTheSpoolFileFills)
{
    SKIP_WITHOUT(Facility::FileSizeLimit);
    ScratchDir dir;
    makeDir(dir.file("a"));
    makeDir(dir.file("b"));
    std::string text;
    for (int i = 0; text.size() < 600000; ++i)
        text += "int v" + std::to_string(i) + " = " + std::to_string(i) + ";\n";
    writeFile(dir.file("a/big.c"), text + "int end = 1;\n");
    writeFile(dir.file("b/big.c"), text + "int end = 2;\n");
    const std::vector<std::string> args = {"a", "b", "/L"};
    const RunResult whole = runMatchling(args, dir.path());
    const RunResult limited = runMatchling(args, dir.path(), 150000);
    EXPECT_GT(whole.out.size(), 900000u);
    EXPECT_TRUE(limited.out == whole.out) << limited.out.size() << " bytes against " << whole.out.size();
    EXPECT_EQ(limited.status, whole.status);
}

} // namespace
