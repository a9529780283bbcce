// --tokens end to end: verdicts, the report of the first differing token with
// its source lines, the listing, and the options that go with it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support.h"

namespace {

const std::vector<std::string> kNone;
const std::vector<std::string> kTempA = {"Matchlinga.tmp"};

// "Token mismatch" lines of one file, with its source line and caret.
std::string tokenAt(const std::string &name, int line, int column, const std::string &token,
                    const std::string &source, const std::string &under)
{
    return "Matchling==> Token mismatch at line " + std::to_string(line) + ", column " + std::to_string(column) +
           " of " + name + " \nMatchling==> Token from " + name + " '" + token + "' \n" + source + " \n" + under +
           "^ \n";
}

// "Text ends" or "Extra text begins" with its source line and caret.
std::string placeAt(const std::string &what, const std::string &name, int line, int column, const std::string &source,
                    const std::string &under)
{
    return "Matchling==> " + what + " at line " + std::to_string(line) + ", column " + std::to_string(column) +
           " of " + name + " \n" + source + " \n" + under + "^ \n";
}

TEST(Tokens, Verdicts)
{
    const Scenario cases[] = {
        {"layout only",
         {{"a.c", "int main() {\n    return f(1, 2); // done\n}\n"},
          {"b.c", "int main()\r\n{\r\n  return f(1,\r\n           2);\r\n  /* done */\r\n}"}},
         {"a.c", "b.c", "--tokens"},
         kEquivalent, 0, kNone},
        {"a blank dropped between two words",
         {{"a.c", "unsigned int x;\n"}, {"b.c", "unsignedint x;\n"}},
         {"a.c", "b.c", "--tokens"},
         tokenAt("a.c", 1, 1, "unsigned", "unsigned int x;", "") +
             tokenAt("b.c", 1, 1, "unsignedint", "unsignedint x;", "") + kNotEquivalent,
         0, kNone},
        {"a blank inside a string, tabs kept under the caret",
         {{"a.c", "int x;\n\ts = \"a b\";\n"}, {"b.c", "int x;\n  s = \"ab\";\n"}},
         {"a.c", "b.c", "--tokens", "--exit-status"},
         tokenAt("a.c", 2, 6, "\"a b\"", "\ts = \"a b\";", "\t    ") +
             tokenAt("b.c", 2, 7, "\"ab\"", "  s = \"ab\";", "      ") + kNotEquivalent,
         1, kNone},
        {"the caret under a name after characters of several bytes",
         {{"a.c", "s = \"\xc3\xa9t\xc3\xa9\"; x = 1;\n"}, {"b.c", "s = \"\xc3\xa9t\xc3\xa9\"; y = 1;\n"}},
         {"a.c", "b.c", "--tokens"},
         tokenAt("a.c", 1, 14, "x", "s = \"\xc3\xa9t\xc3\xa9\"; x = 1;", "           ") +
             tokenAt("b.c", 1, 14, "y", "s = \"\xc3\xa9t\xc3\xa9\"; y = 1;", "           ") + kNotEquivalent,
         0, kNone},
        {"a function-like macro made object-like",
         {{"a.h", "#define F(x) (x)\n"}, {"b.h", "#define F (x) (x)\n"}},
         {"a.h", "b.h", "--tokens"},
         tokenAt("a.h", 1, 10, "(", "#define F(x) (x)", "         ") +
             tokenAt("b.h", 1, 11, "(", "#define F (x) (x)", "          ") + kNotEquivalent,
         0, kNone},
        {"code moved into a line comment",
         {{"a.c", "x = 1; y = 2;\n"}, {"b.c", "x = 1; // y = 2;\n"}},
         {"a.c", "b.c", "--tokens"},
         placeAt("Extra text begins", "a.c", 1, 8, "x = 1; y = 2;", "       ") +
             placeAt("Text ends", "b.c", 1, 7, "x = 1; // y = 2;", "      ") + kNotEquivalent,
         0, kNone},
        {"comments count with --comments",
         {{"a.c", "/* keep the lock\n   held */ f();\n"}, {"b.c", "/* keep the lock held\n */\nf();\n"}},
         {"a.c", "b.c", "--tokens", "--comments"},
         kEquivalent, 0, kNone},
        {"an edited comment word",
         {{"a.c", "f(); // keep the lock\n"}, {"b.c", "f(); // drop the lock\n"}},
         {"a.c", "b.c", "--tokens", "--comments"},
         tokenAt("a.c", 1, 9, "keep", "f(); // keep the lock", "        ") +
             tokenAt("b.c", 1, 9, "drop", "f(); // drop the lock", "        ") + kNotEquivalent,
         0, kNone},
        {"includes sorted",
         {{"a.c", "#include <b.h>\n#include \"a.h\"\nint x;\n"}, {"b.c", "#include \"a.h\"\n#include <b.h>\nint x;\n"}},
         {"a.c", "b.c", "--tokens", "--sorted-includes"},
         "Matchling==> Allowed rewrites: imports 1 \n" + kEquivalent, 0, kNone},
        {"Basic ignores letter case",
         {{"a.bas", "Dim X As Integer ' count\r\nx = 1\r\n"}, {"b.bas", "dim x as INTEGER\nX = 1 _\n\n"}},
         {"a.bas", "b.bas", "--tokens"},
         kEquivalent, 0, kNone},
        {"the listing, one token per line",
         {{"a.c", "#define N 1\nx >> y;\n"}, {"b.c", "#define N 1\nx > > y;"}},
         {"a.c", "b.c", "/L", "--tokens"},
         "#\ndefine\nN\n1\n\\n\nx\n>\n>\ny\n;\n#\ndefine\nN\n1\n\\n\nx\n>\n>\ny\n;\n" + kEquivalent, 0, kNone},
    };
    for (const Scenario &s : cases)
        play(s);
}

// In token mode an empty source is one without tokens: the same program as a
// source of blank lines or comments, and an ordinary difference against one
// with tokens. The line rules keep refusing it.
TEST(Tokens, EmptySources)
{
    const std::string textEnds = "Matchling==> Text ends at line 1, column 1 of a.c \n";
    const Scenario cases[] = {
        {"against a line end", {{"a.py", ""}, {"b.py", "\n"}}, {"a.py", "b.py", "--tokens", "--exit-status"},
         kEquivalent, 0, kNone},
        {"against a comment", {{"a.py", ""}, {"b.py", "# nothing yet\n"}}, {"a.py", "b.py", "--tokens", "--exit-status"},
         kEquivalent, 0, kNone},
        {"a line end against empty", {{"a.py", "\r\n"}, {"b.py", ""}}, {"a.py", "b.py", "--tokens", "--exit-status"},
         kEquivalent, 0, kNone},
        {"both empty", {{"a.c", ""}, {"b.c", ""}}, {"a.c", "b.c", "--tokens", "--exit-status"}, kEquivalent, 0, kNone},
        {"a Ctrl-Z alone", {{"a.c", "\x1a"}, {"b.c", "/* x */\n"}}, {"a.c", "b.c", "--tokens", "--exit-status"},
         kEquivalent, 0, kNone},
        {"with --allow and --comments", {{"a.py", ""}, {"b.py", "\n\n"}},
         {"a.py", "b.py", "--tokens", "--allow", "all", "--comments"},
         "Matchling==> Allowed rewrites: none \n" + kEquivalent, 0, kNone},
        {"against a token", {{"a.c", ""}, {"b.c", "x\n"}}, {"a.c", "b.c", "--tokens", "--exit-status"},
         textEnds + placeAt("Extra text begins", "b.c", 1, 1, "x", "") + kNotEquivalent, 1, kNone},
        {"a token against empty", {{"a.c", "\n  x;\n"}, {"b.c", ""}}, {"a.c", "b.c", "--tokens"},
         placeAt("Extra text begins", "a.c", 2, 3, "  x;", "  ") +
             "Matchling==> Text ends at line 1, column 1 of b.c \n" + kNotEquivalent,
         0, kNone},
        {"a comment word against empty", {{"a.c", ""}, {"b.c", "// x\n"}}, {"a.c", "b.c", "--tokens", "--comments"},
         textEnds + placeAt("Extra text begins", "b.c", 1, 4, "// x", "   ") + kNotEquivalent, 0, kNone},
        {"the line rules refuse it", {{"a.c", ""}, {"b.c", "\n"}}, {"a.c", "b.c"},
         "\nMatchling==>  Unable to read a.c \nMatchling==>  Program will abort \n" + kPrompt + "\n", 1, kTempA},
        {"the line rules, with --exit-status", {{"a.c", "x\n"}, {"b.c", ""}}, {"a.c", "b.c", "--exit-status"},
         "\nMatchling==>  Unable to read b.c \nMatchling==>  Program will abort \n" + kPrompt + "\n", 2,
         {"Matchlinga.tmp", "Matchlingb.tmp"}},
    };
    for (const Scenario &s : cases)
        play(s);
}

// --sorted-imports counts each run it read in another order than the other
// file did, and says when it does nothing for a file's language.
TEST(Tokens, SortedImportsCountTheirReorders)
{
    const std::string sorted = "#include <a.h>\n#include <b.h>\nint f(int x) { return x; }\n";
    const std::string reordered = "// head\n#include <b.h>\n#include <a.h>\nint f(int x) { return x; }\n";
    const std::string none = "Matchling==> Allowed rewrites: none \n";
    const std::string one = "Matchling==> Allowed rewrites: imports 1 \n";
    const Scenario cases[] = {
        {"reordered in file 2", {{"a.c", sorted}, {"b.c", reordered}}, {"a.c", "b.c", "--tokens", "--sorted-imports"},
         one + kEquivalent, 0, kNone},
        {"its place with --where", {{"a.c", sorted}, {"b.c", reordered}},
         {"a.c", "b.c", "--tokens", "--sorted-includes", "--where"},
         "Matchling==> Allowed imports at line 2, column 1 of b.c \n" + one + kEquivalent, 0, kNone},
        {"reordered in file 1: the run's place in file 2", {{"a.c", reordered}, {"b.c", "\n" + sorted}},
         {"a.c", "b.c", "--tokens", "--sorted-imports", "--where"},
         "Matchling==> Allowed imports at line 2, column 1 of b.c \n" + one + kEquivalent, 0, kNone},
        {"the same order in both", {{"a.c", reordered}, {"b.c", reordered + "\n"}},
         {"a.c", "b.c", "--tokens", "--sorted-imports"}, none + kEquivalent, 0, kNone},
        {"sorted in both", {{"a.c", sorted}, {"b.c", sorted}}, {"a.c", "b.c", "--tokens", "--sorted-imports"},
         none + kEquivalent, 0, kNone},
        {"with --allow", {{"a.c", "#include <a.h>\n#include <b.h>\nint f(int x) { return (x); }\n"}, {"b.c", reordered}},
         {"a.c", "b.c", "--tokens", "--sorted-imports", "--allow", "all"},
         "Matchling==> Allowed rewrites: parens 1, imports 1 \n" + kEquivalent, 0, kNone},
        {"a difference after the run", {{"a.c", sorted}, {"b.c", reordered + "int y;\n"}},
         {"a.c", "b.c", "--tokens", "--sorted-imports", "--exit-status"},
         placeAt("Text ends", "a.c", 3, 27, "int f(int x) { return x; }", std::string(26, ' ')) +
             placeAt("Extra text begins", "b.c", 5, 1, "int y;", "") + one + kNotEquivalent,
         1, kNone},
        {"without the option", {{"a.c", sorted}, {"b.c", reordered}}, {"a.c", "b.c", "--tokens", "--exit-status"},
         tokenAt("a.c", 1, 10, "<a.h>", "#include <a.h>", std::string(9, ' ')) +
             tokenAt("b.c", 2, 10, "<b.h>", "#include <b.h>", std::string(9, ' ')) + kNotEquivalent,
         1, kNone},
        {"Python: no effect", {{"a.py", "import b\nimport a\n"}, {"b.py", "import b\nimport a\n\n"}},
         {"a.py", "b.py", "--tokens", "--sorted-imports"},
         "Matchling==> --sorted-imports has no effect on python files \n" + none + kEquivalent, 0, kNone},
        {"JSON, named by --language", {{"a.txt", "[1]"}, {"b.txt", "[ 1 ]"}},
         {"a.txt", "b.txt", "--tokens", "--sorted-imports", "--language", "json"},
         "Matchling==> --sorted-imports has no effect on json files \n" + none + kEquivalent, 0, kNone},
        {"JSON report", {{"a.c", sorted}, {"b.c", reordered}}, {"a.c", "b.c", "--tokens", "--sorted-imports", "--format", "json"},
         "{\"type\":\"pair\",\"path\":\"b.c\",\"status\":\"equivalent\",\"language\":\"c\",\"allowed\":{\"imports\":1},"
         "\"first\":{\"name\":\"a.c\"},\"second\":{\"name\":\"b.c\"}}\n{\"type\":\"summary\",\"pairs\":1,"
         "\"equivalent\":1,\"not_equivalent\":0,\"failed\":0,\"not_compared\":0,\"only_on_one_side\":0,"
         "\"verdict\":\"equivalent\",\"languages\":{\"c\":1},\"allowed\":{\"imports\":1}}\n",
         0, kNone},
        {"JSON report with --allow", {{"a.c", sorted}, {"b.c", reordered}},
         {"a.c", "b.c", "--tokens", "--sorted-imports", "--allow", "commas", "--format", "json"},
         "{\"type\":\"pair\",\"path\":\"b.c\",\"status\":\"equivalent\",\"language\":\"c\",\"allowed\":{\"braces\":0,"
         "\"parens\":0,\"commas\":0,\"quotes\":0,\"numbers\":0,\"docstrings\":0,\"usings\":0,\"semicolons\":0,"
         "\"imports\":1},\"first\":{\"name\":\"a.c\"},\"second\":{\"name\":\"b.c\"}}\n{\"type\":\"summary\",\"pairs\":1,"
         "\"equivalent\":1,\"not_equivalent\":0,\"failed\":0,\"not_compared\":0,\"only_on_one_side\":0,"
         "\"verdict\":\"equivalent\",\"languages\":{\"c\":1},\"allowed\":{\"braces\":0,\"parens\":0,\"commas\":0,"
         "\"quotes\":0,\"numbers\":0,\"docstrings\":0,\"usings\":0,\"semicolons\":0,\"imports\":1}}\n",
         0, kNone},
    };
    for (const Scenario &s : cases)
        play(s);
}

TEST(Tokens, LongLinesAreShownAroundTheColumn)
{
    const std::string head(200, 'a');
    const Scenario s = {"a long line",
                        {{"a.c", head + " = 1;\n"}, {"b.c", head + " = 2;\n"}},
                        {"a.c", "b.c", "--tokens"},
                        tokenAt("a.c", 1, 204, "1", "..." + std::string(37, 'a') + " = 1;",
                                std::string(43, ' ')) +
                            tokenAt("b.c", 1, 204, "2", "..." + std::string(37, 'a') + " = 2;",
                                    std::string(43, ' ')) +
                            kNotEquivalent,
                        0, kNone};
    play(s);
}

TEST(Tokens, LongTokensShowTheirStart)
{
    // Longer than any buffer: the token arrives in pieces and differs in its last byte.
    const std::string body(200000, 'q');
    const std::string shown = "\"" + std::string(71, 'q');
    ScratchDir dir;
    writeFile(dir.file("a.c"), "s = \"" + body + "1\";\n");
    writeFile(dir.file("b.c"), "s = \"" + body + "2\";\n");
    RunResult r = runMatchling({"a.c", "b.c", "--tokens"}, dir.path());
    EXPECT_NE(r.out.find("Matchling==> Token from a.c '" + shown + "' \n"), std::string::npos);
    EXPECT_NE(r.out.find("Matchling==> Token mismatch at line 1, column 5 of b.c \n"
                         "Matchling==> Token from b.c '" + shown + "' \n"),
              std::string::npos);
}

TEST(Tokens, DiskFull)
{
    // Both temporary files are made before the sources are lexed, at once.
    SKIP_WITHOUT(Facility::FileSizeLimit);
    std::string big;
    for (int i = 0; big.size() < 400000; ++i)
        big += "x" + std::to_string(i) + " = 1;\n";
    const std::vector<std::string> both = {"Matchlinga.tmp", "Matchlingb.tmp"};
    const std::string writeFailed = "Matchling==>  Error writing the output file \nMatchling==>  Disk drive may be full \n" + kPrompt;
    const Scenario cases[] = {
        {"in the middle of file 1", {{"a.c", big}}, {"a.c", "a.c", "--tokens"},
         writeFailed + "Matchling==>  Program will abort \n" + kPrompt + "\n", 1, both, 30000},
        {"compared token by token", {{"a.c", big}}, {"a.c", "a.c", "--tokens", "--sorted-imports"},
         writeFailed + "Matchling==>  Program will abort \n" + kPrompt + "\n", 1, both, 30000},
        {"at the end of file 1", {{"a.c", "x;\n"}}, {"a.c", "a.c", "--tokens"},
         writeFailed + "\nMatchling==>  An error has been detected during processing a.c! \n"
                       "Matchling==>  The Input file will not be altered \n"
                       "Matchling==>  See the Matchlinga.tmp file for the distorted output \n"
                       "Matchling==>  Please report problem to support@matchling.example.org \n"
                       "Matchling==>  URL: https://matchling.example.org/problems \n"
                       "Matchling==>  Thank you \n\n" + kPrompt + "\n",
         1, both, 3},
    };
    for (const Scenario &s : cases)
        play(s);
}

TEST(Tokens, OptionMistakes)
{
    const std::string usage =
        "Matchling==>  Matchling  Ver. 0.1a of September 17, 1999 \n\n"
        "Matchling==>  Usage: Matchling  SourceFile1  SourceFile2  [Options] \n\n"
        "Matchling==>  For the latest updates and product information: \n"
        "Matchling==>     See   : https://matchling.example.org \n"
        "Matchling==>     mailto: support@matchling.example.org \n" + kPrompt;
    const Scenario cases[] = {
        {"a mistyped option", {{"a.c", "x\n"}}, {"a.c", "a.c", "--token"},
         "Matchling==>  Unknown option --token \n" + usage, 1, kNone},
        {"with --exit-status", {{"a.c", "x\n"}}, {"a.c", "a.c", "--exit-status", "--wher"},
         "Matchling==>  Unknown option --wher \n" + usage, 2, kNone},
        {"--comments alone", {{"a.c", "x\n"}}, {"a.c", "a.c", "--comments"},
         "Matchling==>  Option --comments needs --tokens \n" + usage, 1, kNone},
        {"--jobs without a number", {{"a.c", "x\n"}}, {"a.c", "a.c", "--jobs", "none"},
         "Matchling==>  Option --jobs needs a number from 1 to 1024 \n" + usage, 1, kNone},
        {"no token rules for either name", {{"a.txt", "x\n"}, {"b.txt", "x\n"}}, {"a.txt", "b.txt", "--tokens", "--exit-status"},
         "Matchling==>  No token rules for the kind of file a.txt: name its language with --language \n" + usage, 2,
         kNone},
        {"a language that is not in the table", {{"a.c", "x\n"}}, {"a.c", "a.c", "--tokens", "--language", "cobol"},
         "Matchling==>  Option --language needs one of: c, basic, python, go, rust, java, json, javascript, "
         "typescript \n" + usage, 1, kNone},
        {"--language alone", {{"a.c", "x\n"}}, {"a.c", "a.c", "--language", "c"},
         "Matchling==>  Option --language needs --tokens \n" + usage, 1, kNone},
    };
    for (const Scenario &s : cases)
        play(s);
}

} // namespace
