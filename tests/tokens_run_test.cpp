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
         "\"case\":0,\"build-lines\":0,\"elision\":0,\"imports\":1},\"first\":{\"name\":\"a.c\"},\"second\":{\"name\":\"b.c\"}}\n{\"type\":\"summary\",\"pairs\":1,"
         "\"equivalent\":1,\"not_equivalent\":0,\"failed\":0,\"not_compared\":0,\"only_on_one_side\":0,"
         "\"verdict\":\"equivalent\",\"languages\":{\"c\":1},\"allowed\":{\"braces\":0,\"parens\":0,\"commas\":0,"
         "\"quotes\":0,\"numbers\":0,\"docstrings\":0,\"usings\":0,\"semicolons\":0,\"case\":0,\"build-lines\":0,"
         "\"elision\":0,\"imports\":1}}\n",
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

// A token shows as its source spells it: a canonical form of --allow, a
// joined string, a Basic name, a CR LF as a line feed. A token no byte
// spells (an inserted ';', a line end) shows as its key.
TEST(Tokens, TokensAsTheirSourcesSpellThem)
{
    const Scenario cases[] = {
        {"a docstring, rewritten",
         {{"f.py", "def f():\n    \"\"\"Doc one.\"\"\"\n"}, {"g.py", "def f():\n    \"\"\"Doc two.\"\"\"\n"}},
         {"f.py", "g.py", "--tokens", "--allow", "all"},
         tokenAt("f.py", 2, 5, "\"\"\"Doc one.\"\"\"", "    \"\"\"Doc one.\"\"\"", "    ") +
             tokenAt("g.py", 2, 5, "\"\"\"Doc two.\"\"\"", "    \"\"\"Doc two.\"\"\"", "    ") +
             "Matchling==> Allowed rewrites: none \n" + kNotEquivalent,
         0, kNone},
        {"a Rust number, rewritten", {{"a.rs", "fn f() -> u32 { 0x1F }\n"}, {"b.rs", "fn f() -> u32 { 0x20 }\n"}},
         {"a.rs", "b.rs", "--tokens", "--allow", "numbers"},
         tokenAt("a.rs", 1, 17, "0x1F", "fn f() -> u32 { 0x1F }", std::string(16, ' ')) +
             tokenAt("b.rs", 1, 17, "0x20", "fn f() -> u32 { 0x20 }", std::string(16, ' ')) +
             "Matchling==> Allowed rewrites: none \n" + kNotEquivalent,
         0, kNone},
        {"Python strings by their values", {{"a.py", "x = 'b'\n"}, {"b.py", "x = \"c\"\n"}},
         {"a.py", "b.py", "--tokens", "--allow", "quotes"},
         tokenAt("a.py", 1, 5, "'b'", "x = 'b'", "    ") + tokenAt("b.py", 1, 5, "\"c\"", "x = \"c\"", "    ") +
             "Matchling==> Allowed rewrites: none \n" + kNotEquivalent,
         0, kNone},
        {"JavaScript numbers", {{"a.js", "x = 1.0\n"}, {"b.js", "x = 2\n"}}, {"a.js", "b.js", "--tokens", "--allow", "all"},
         tokenAt("a.js", 1, 5, "1.0", "x = 1.0", "    ") + tokenAt("b.js", 1, 5, "2", "x = 2", "    ") +
             "Matchling==> Allowed rewrites: none \n" + kNotEquivalent,
         0, kNone},
        {"joined strings", {{"a.c", "s = \"a\" \"b\";\n"}, {"b.c", "s = \"ab\"\n  \"c\";\n"}}, {"a.c", "b.c", "--tokens"},
         tokenAt("a.c", 1, 5, "\"a\" \"b\"", "s = \"a\" \"b\";", "    ") +
             tokenAt("b.c", 1, 5, "\"ab\"\\n  \"c\"", "s = \"ab\"", "    ") + kNotEquivalent,
         0, kNone},
        {"Basic names in their case", {{"a.bas", "Dim x\r\n"}, {"b.bas", "DIM Y\r\n"}}, {"a.bas", "b.bas", "--tokens"},
         tokenAt("a.bas", 1, 5, "x", "Dim x", "    ") + tokenAt("b.bas", 1, 5, "Y", "DIM Y", "    ") + kNotEquivalent,
         0, kNone},
        {"a string over CR LF lines", {{"a.py", "s = '''a\r\nb'''\r\n"}, {"b.py", "s = '''a\r\nc'''\r\n"}},
         {"a.py", "b.py", "--tokens"},
         tokenAt("a.py", 1, 5, "'''a\\nb'''", "s = '''a", "    ") +
             tokenAt("b.py", 1, 5, "'''a\\nc'''", "s = '''a", "    ") + kNotEquivalent,
         0, kNone},
        {"a header name over a splice, in a sorted run",
         {{"a.c", "#include <a\\\nb.h>\n#include <c.h>\n"}, {"b.c", "#include <a\\\nd.h>\n#include <c.h>\n"}},
         {"a.c", "b.c", "--tokens", "--sorted-imports"},
         tokenAt("a.c", 1, 10, "<a\\\\nb.h>", "#include <a\\", std::string(9, ' ')) +
             tokenAt("b.c", 1, 10, "<a\\\\nd.h>", "#include <a\\", std::string(9, ' ')) +
             "Matchling==> Allowed rewrites: none \n" + kNotEquivalent,
         0, kNone},
        {"an inserted ';' as its key", {{"a.js", "let a = 1\nlet b = 2\n"}, {"b.js", "let a = 1 + 2\n"}},
         {"a.js", "b.js", "--tokens"},
         tokenAt("a.js", 1, 10, ";", "let a = 1", std::string(9, ' ')) +
             tokenAt("b.js", 1, 11, "+", "let a = 1 + 2", std::string(10, ' ')) + kNotEquivalent,
         0, kNone},
        {"a line end as its key, not its comment", {{"a.py", "x = 1  # one\ny = 2\n"}, {"b.py", "x = 1 + 2\n"}},
         {"a.py", "b.py", "--tokens"},
         tokenAt("a.py", 1, 13, "\\n", "x = 1  # one", std::string(12, ' ')) +
             tokenAt("b.py", 1, 7, "+", "x = 1 + 2", std::string(6, ' ')) + kNotEquivalent,
         0, kNone},
    };
    for (const Scenario &s : cases)
        play(s);
}

// "Token mismatch" lines of a token whose spelling parts from the other's
// past what its start shows: the excerpt around the first byte that differs,
// that byte's place, and its source line with a caret.
std::string excerptAt(const std::string &name, int line, int column, const std::string &excerpt, int differsLine,
                      int differsColumn, const std::string &source, const std::string &under)
{
    return "Matchling==> Token mismatch at line " + std::to_string(line) + ", column " + std::to_string(column) +
           " of " + name + " \nMatchling==> Token from " + name + " '" + excerpt + "' \nMatchling==> Difference at line " +
           std::to_string(differsLine) + ", column " + std::to_string(differsColumn) + " of " + name + " \n" + source +
           " \n" + under + "^ \n";
}

// A long token (a string, a docstring, a text block) that differs further
// in than its start shows is shown around the first byte that differs,
// re-indented lines aside; one that differs within its start shows that.
TEST(Tokens, LongTokensShowWhereTheyDiffer)
{
    const std::string q(300000, 'q');  // past a batch of the key stream
    const std::string words = "lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod";
    const std::string x(80, 'x'), a(80, 'a');
    const std::string docA = "def f():\n    \"\"\"" + words + "\n    one\"\"\"\n";
    const std::string docB = "def f():\n  \"\"\"" + words + "\n  two\"\"\"\n";
    const Scenario cases[] = {
        {"a string longer than any buffer, its last byte",
         {{"a.c", "s = \"" + q + "1\";\n"}, {"b.c", "s = \"" + q + "2\";\n"}}, {"a.c", "b.c", "--tokens"},
         excerptAt("a.c", 1, 5, std::string(24, 'q') + "1\"", 1, 300006, "..." + std::string(40, 'q') + "1\";",
                   std::string(43, ' ')) +
             excerptAt("b.c", 1, 5, std::string(24, 'q') + "2\"", 1, 300006, "..." + std::string(40, 'q') + "2\";",
                       std::string(43, ' ')) +
             kNotEquivalent,
         0, kNone},
        {"a docstring re-indented, then a word changed", {{"a.py", docA}, {"b.py", docB}},
         {"a.py", "b.py", "--tokens", "--allow", "all"},
         excerptAt("a.py", 2, 5, "    one\"\"\"", 3, 5, "    one\"\"\"", "    ") +
             excerptAt("b.py", 2, 3, "  two\"\"\"", 3, 3, "  two\"\"\"", "  ") + "Matchling==> Allowed rewrites: none \n" +
             kNotEquivalent,
         0, kNone},
        {"a Java text block re-indented, then a word changed",
         {{"A.java", "class A {\n    String s = \"\"\"\n        " + words + " one\n        \"\"\";\n}\n"},
          {"B.java", "class A {\n  String s = \"\"\"\n    " + words + " two\n    \"\"\";\n}\n"}},
         {"A.java", "B.java", "--tokens"},
         excerptAt("A.java", 2, 16, "elit sed do eiusmod one\\n        \"\"\"", 3, 79,
                   "...sectetur adipiscing elit sed do eiusmod one", std::string(43, ' ')) +
             excerptAt("B.java", 2, 14, "elit sed do eiusmod two\\n    \"\"\"", 3, 75,
                       "...sectetur adipiscing elit sed do eiusmod two", std::string(43, ' ')) +
             kNotEquivalent,
         0, kNone},
        {"a name that is the start of the other", {{"a.c", "int " + a + ";\n"}, {"b.c", "int " + a + "b;\n"}},
         {"a.c", "b.c", "--tokens"},
         excerptAt("a.c", 1, 5, std::string(24, 'a'), 1, 85, "..." + std::string(40, 'a') + ";", std::string(43, ' ')) +
             excerptAt("b.c", 1, 5, std::string(24, 'a') + "b", 1, 85, "..." + std::string(40, 'a') + "b;",
                       std::string(43, ' ')) +
             kNotEquivalent,
         0, kNone},
        {"only the indentation differs, past the start",
         {{"a.py", "s = '''" + x + "\n    a'''\n"}, {"b.py", "s = '''" + x + "\n      a'''\n"}}, {"a.py", "b.py", "--tokens"},
         excerptAt("a.py", 1, 5, "    a'''", 2, 5, "    a'''", "    ") +
             excerptAt("b.py", 1, 5, "      a'''", 2, 5, "      a'''", "    ") + kNotEquivalent,
         0, kNone},
        {"a difference within the start", {{"a.c", "s = \"ab" + q + "\";\n"}, {"b.c", "s = \"ac" + q + "\";\n"}},
         {"a.c", "b.c", "--tokens"},
         tokenAt("a.c", 1, 5, "\"ab" + std::string(69, 'q'), "s = \"ab" + std::string(93, 'q') + "...", "    ") +
             tokenAt("b.c", 1, 5, "\"ac" + std::string(69, 'q'), "s = \"ac" + std::string(93, 'q') + "...", "    ") +
             kNotEquivalent,
         0, kNone},
        {"JSON names the place", {{"a.py", docA}, {"b.py", docB}}, {"a.py", "b.py", "--tokens", "--format", "json"},
         "{\"type\":\"pair\",\"path\":\"b.py\",\"status\":\"not-equivalent\",\"language\":\"python\",\"first\":{\"name\":"
         "\"a.py\",\"line\":2,\"column\":5,\"token\":\"    one\\\"\\\"\\\"\",\"difference_line\":3,\"difference_column\":5,"
         "\"ends\":false},\"second\":{\"name\":\"b.py\",\"line\":2,\"column\":3,\"token\":\"  two\\\"\\\"\\\"\","
         "\"difference_line\":3,\"difference_column\":3,\"ends\":false}}\n{\"type\":\"summary\",\"pairs\":1,"
         "\"equivalent\":0,\"not_equivalent\":1,\"failed\":0,\"not_compared\":0,\"only_on_one_side\":0,"
         "\"verdict\":\"not-equivalent\",\"languages\":{\"python\":1}}\n",
         1, kNone},
        {"GNU lines place it there", {{"a.py", docA}, {"b.py", docB}}, {"a.py", "b.py", "--tokens", "--format", "gnu"},
         "b.py:3:3: error: Not equivalent: '  two\"\"\"' here, '    one\"\"\"' at line 3, column 5 of a.py\n", 1, kNone},
    };
    for (const Scenario &s : cases)
        play(s);
}

// Far into a long source, past many batches of the key stream and runs of
// tokens, the token shown is the one that differs, read again whole: in a
// single run (key streams), with --allow (token by token) and in a tree run
// (runs of tokens).
TEST(Tokens, SpelledFarIntoALongSource)
{
    std::string head;
    for (int i = 0; i < 30000; ++i)
        head += "int v" + std::to_string(i) + " = " + std::to_string(i) + ";\n";
    ScratchDir dir;
    makeDir(dir.file("a"));
    makeDir(dir.file("b"));
    writeFile(dir.file("a/s.c"), head + "s = \"a\" \"b\" \"" + std::string(300000, 'x') + "\";\n");
    writeFile(dir.file("b/s.c"), head + "s = \"a\" \"c\" \"" + std::string(300000, 'x') + "\";\n");
    const std::string at1 = "Matchling==> Token mismatch at line 30001, column 5 of a/s.c \n"
                            "Matchling==> Token from a/s.c '\"a\" \"b\" \"" + std::string(63, 'x') + "' \n";
    const std::string at2 = "Matchling==> Token mismatch at line 30001, column 5 of b/s.c \n"
                            "Matchling==> Token from b/s.c '\"a\" \"c\" \"" + std::string(63, 'x') + "' \n";
    const std::vector<std::vector<std::string>> runs = {
        {"a/s.c", "b/s.c", "--tokens"}, {"a/s.c", "b/s.c", "--tokens", "--allow", "all"}, {"a", "b", "--tokens"}};
    for (const auto &args : runs) {
        SCOPED_TRACE(args[0] + " " + args.back());
        RunResult r = runMatchling(args, dir.path());
        EXPECT_NE(r.out.find(at1), std::string::npos) << r.out.substr(0, 400);
        EXPECT_NE(r.out.find(at2), std::string::npos);
    }
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
         "Matchling==>  Option --language needs one of: c, basic, python, go, rust, java, json, graphql, "
         "javascript, typescript, cmake, yaml, markdown, toml, css, scss, less, shell, hcl, swift, kotlin, php, lua, "
         "ruby, ini, dockerfile, xml, rst, html, svelte, vue \n" + usage, 1, kNone},
        {"--language alone", {{"a.c", "x\n"}}, {"a.c", "a.c", "--language", "c"},
         "Matchling==>  Option --language needs --tokens \n" + usage, 1, kNone},
    };
    for (const Scenario &s : cases)
        play(s);
}

} // namespace
