// TOML's in-process tests: its near misses first, for each decision a pair
// that must differ and, where the decision can go the other way, a pair that
// must stay equal; then the input the lexer refuses, and taplo's output
// judged by Python's tomllib (suite TomlFormatterTools).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"

namespace {

const Language Toml = Language::Toml;

// Every case also checks that both sources are TOML to the lexer: a refused
// source ends its stream, and two refused sources could look alike.
std::string rejection(const std::string &text, const LexOptions &options = {});

void checkToml(std::vector<PairCase> cases)
{
    for (const PairCase &c : cases) {
        EXPECT_EQ(rejection(c.a, c.options), "") << c.name << ": " << c.a;
        EXPECT_EQ(rejection(c.b, c.options), "") << c.name << ": " << c.b;
    }
    checkPairs(Toml, std::move(cases));
}

TEST(TomlNearMiss, Keys)
{
    checkToml({
        {"a bare key is its quoted form", "a = 1", "\"a\" = 1", true},
        {"a literal key is its quoted form", "a = 1", "'a' = 1", true},
        {"an escape in a quoted key", "\"\\u0061\" = 1", "a = 1", true},
        {"a key's letters", "a = 1", "b = 1", false},
        {"a key's case", "a = 1", "A = 1", false},
        {"a dotted key's blanks", "a.b = 1", "a . b = 1", true},
        {"a dotted key against one quoted with its dot", "a.b = 1", "\"a.b\" = 1", false},
        {"a number as a bare key", "1 = 2", "\"1\" = 2", true},
        {"a float-like key is dotted", "3.14 = 1", "\"3\".\"14\" = 1", true},
        {"a float-like key is no quoted float", "3.14 = 1", "\"3.14\" = 1", false},
        {"key order counts", "a = 1\nb = 2", "b = 2\na = 1", false},
        {"an empty quoted key", "\"\" = 1", "'' = 1", true},
        {"an empty quoted key is no blank", "\"\" = 1", "\" \" = 1", false},
        {"a dash in a bare key", "a-b = 1", "\"a-b\" = 1", true},
    });
}

TEST(TomlNearMiss, Headers)
{
    checkToml({
        {"a header's blanks", "[a.b]\nx = 1", "[ a . b ]\nx = 1", true},
        {"a header's quoted parts", "[a.b]\nx = 1", "[\"a\".'b']\nx = 1", true},
        {"a table is no array of tables", "[a]\nx = 1", "[[a]]\nx = 1", false},
        {"an array of tables' blanks", "[[a]]\nx = 1", "[[ a ]]\nx = 1", true},
        {"a key moved above a header", "[t]\na = 1", "a = 1\n[t]", false},
        {"a key moved below a header", "a = 1\n[t]\nb = 2", "[t]\na = 1\nb = 2", false},
        {"a header's blank lines and comments", "[t] # c\n\n\na = 1", "[t]\na = 1", true},
        {"a dotted key against a header", "[a]\nb = 1", "a.b = 1", false},
    });
}

TEST(TomlNearMiss, LineEnds)
{
    checkToml({
        {"blank lines between pairs", "a = 1\nb = 2", "a = 1\n\n\nb = 2\n", true},
        {"a CR LF line end", "a = 1\r\nb = 2\r\n", "a = 1\nb = 2\n", true},
        {"blanks around '='", "a=1", "a   =\t1", true},
        {"indented pairs", "[t]\na = 1", "[t]\n    a = 1", true},
        {"no line end after the last pair", "a = 1", "a = 1\n", true},
        {"an array over lines", "a = [1, 2]", "a = [\n  1,\n  2,\n]", true},
        {"an array's trailing comma", "a = [1, 2]", "a = [1, 2,]", true},
        {"comments inside an array", "a = [1, 2]", "a = [ # one\n1, # two\n2]", true},
        {"an array's element count", "a = [1, 2]", "a = [12]", false},
        {"a nested array is no flat one", "a = [[1], 2]", "a = [1, 2]", false},
        {"an inline table's blanks", "a = {x = 1, y = 2}", "a = { x=1,y=2 }", true},
        {"an inline table against a table", "a = {x = 1}", "[a]\nx = 1", false},
        {"an inline table is no array", "a = {}", "a = []", false},
        {"a byte order mark", "\xEF\xBB\xBF" "a = 1", "a = 1", true},
    });
}

TEST(TomlNearMiss, Strings)
{
    checkToml({
        {"basic against literal", "a = \"x\"", "a = 'x'", true},
        {"a blank inside a string", "a = \"x y\"", "a = \"xy\"", false},
        {"a blank at a string's end", "a = \"x\"", "a = \"x \"", false},
        {"an escaped quote", "a = \"x\\\"y\"", "a = 'x\"y'", true},
        {"a backslash in a literal string", "a = 'x\\n'", "a = \"x\\\\n\"", true},
        {"an escape is its character", "a = \"x\\ty\"", "a = \"x\ty\"", true},
        {"a \\n escape is no letter n", "a = \"x\\ny\"", "a = \"xny\"", false},
        {"\\u and \\U escapes", "a = \"\\u00e9\"", "a = \"\\U000000E9\"", true},
        {"an escape against its UTF-8", "a = \"\\u00e9\"", "a = \"\xc3\xa9\"", true},
        {"a three-byte escape against its UTF-8", "a = \"\\u20AC\"", "a = \"\xe2\x82\xac\"", true},
        {"a four-byte escape against its UTF-8", "a = \"\\U0001F600\"", "a = \"\xf0\x9f\x98\x80\"", true},
        {"a multi-line string's first line end", "a = \"\"\"\nx\"\"\"", "a = \"x\"", true},
        {"only the first line end goes", "a = \"\"\"\n\nx\"\"\"", "a = \"x\"", false},
        {"a multi-line literal's first line end", "a = '''\nx'''", "a = 'x'", true},
        {"a line end inside a multi-line string", "a = \"\"\"x\ny\"\"\"", "a = \"x\\ny\"", true},
        {"a CR LF inside a multi-line string", "a = \"\"\"x\r\ny\"\"\"", "a = \"\"\"x\ny\"\"\"", true},
        {"a line-ending backslash", "a = \"\"\"x \\\n   y\"\"\"", "a = \"x y\"", true},
        {"blanks after a line-ending backslash", "a = \"\"\"x\\   \n\n  y\"\"\"", "a = \"xy\"", true},
        {"a backslash in a multi-line literal stays", "a = '''x\\\ny'''", "a = \"x\\\\\\ny\"", true},
        {"quotes just inside the closing ones", "a = \"\"\"x\"\"\"\"\"", "a = 'x\"\"'", true},
        {"one quote inside", "a = '''x''''", "a = \"x'\"", true},
        {"a string is no number", "a = \"1\"", "a = 1", false},
        {"a string is no boolean", "a = \"true\"", "a = true", false},
    });
}

TEST(TomlNearMiss, Numbers)
{
    checkToml({
        {"underscores", "a = 1_000", "a = 1000", true},
        {"a plus", "a = +1", "a = 1", true},
        {"a minus", "a = -1", "a = 1", false},
        {"minus zero is zero", "a = -0", "a = 0", true},
        {"hex is its value", "a = 0x1F", "a = 31", true},
        {"hex digits' case", "a = 0xff", "a = 0xFF", true},
        {"hex against octal and binary", "a = 0x1f", "a = 0o37", true},
        {"binary", "a = 0b11111", "a = 31", true},
        {"another value", "a = 0x1F", "a = 30", false},
        {"an integer is no float", "a = 1", "a = 1.0", false},
        {"an integer is no float with an exponent", "a = 1000", "a = 1e3", false},
        {"a float's exponent", "a = 1e3", "a = 1000.0", true},
        {"a float's trailing zeros", "a = 1.5", "a = 1.500", true},
        {"a float's exponent's case and sign", "a = 1E+3", "a = 1e3", true},
        {"a float's exponent's leading zeros", "a = 1e03", "a = 1e3", true},
        {"a small float", "a = 0.001", "a = 1e-3", true},
        {"a two-digit exponent", "a = 1e10", "a = 10000000000.0", true},
        {"a nine-digit exponent", "a = 1e100000000", "a = 10e99999999", true},
        {"an exponent beyond nine digits compares as written", "a = 1e1000000000", "a = 10e999999999", false},
        {"another float", "a = 1.5", "a = 1.05", false},
        {"a float's sign", "a = +1.5", "a = 1.5", true},
        {"minus zero is no zero", "a = -0.0", "a = 0.0", false},
        {"zero's spellings", "a = 0.0", "a = 0e5", true},
        {"inf and +inf", "a = inf", "a = +inf", true},
        {"inf and -inf", "a = inf", "a = -inf", false},
        {"nan and -nan", "a = nan", "a = -nan", false},
        {"floats' precision compares exactly", "a = 0.1", "a = 0.10000000000000000001", false},
        {"underscores in a float", "a = 1_0.0_1", "a = 10.01", true},
        {"booleans", "a = true", "a = false", false},
    });
}

TEST(TomlNearMiss, DatesAndTimes)
{
    checkToml({
        {"the T in either case", "a = 1979-05-27T07:32:00Z", "a = 1979-05-27t07:32:00z", true},
        {"a blank for the T", "a = 1979-05-27T07:32:00", "a = 1979-05-27 07:32:00", true},
        {"a fraction's trailing zeros", "a = 07:32:00.500", "a = 07:32:00.5", true},
        {"a zero fraction", "a = 07:32:00.000", "a = 07:32:00", true},
        {"a fraction's value", "a = 07:32:00.5", "a = 07:32:00.05", false},
        {"an offset as written", "a = 1979-05-27T07:32:00Z", "a = 1979-05-27T07:32:00+00:00", false},
        {"a local date-time is no offset one", "a = 1979-05-27T07:32:00", "a = 1979-05-27T07:32:00Z", false},
        {"a date", "a = 1979-05-27", "a = 1979-05-28", false},
        {"a date then a comment", "a = 1979-05-27 # c", "a = 1979-05-27", true},
        {"a date is no string", "a = 1979-05-27", "a = \"1979-05-27\"", false},
    });
}

TEST(TomlNearMiss, Comments)
{
    LexOptions comments;
    comments.comments = true;
    checkToml({
        {"comments are layout", "a = 1 # one", "a = 1 # two", true},
        {"a comment's words with --comments", "a = 1 # one", "a = 1 # two", false, 0, 0, 0, 0, Toml, comments},
        {"a comment's blanks with --comments", "# one  two\na = 1", "#one two\na = 1", true, 0, 0, 0, 0, Toml,
         comments},
        {"a comment's tab with --comments", "# one\ttwo\na = 1", "# one two\na = 1", true, 0, 0, 0, 0, Toml,
         comments},
        {"a '#' inside a string is no comment", "a = \"x#y\"", "a = \"x\"#y", false},
        {"a first #! line is a token", "#!/usr/bin/env run\na = 1", "a = 1", false},
        {"another #! line", "#!/usr/bin/env run\na = 1", "#!/usr/bin/env walk\na = 1", false},
        {"a #! line's blanks after #!", "#!/usr/bin/env run\na = 1", "#! /usr/bin/env run\na = 1", true},
    });
}

// The place where the lexer refuses text, "L:C", or "" when it does not.
std::string rejection(const std::string &text, const LexOptions &options)
{
    static ScratchDir dir;
    static std::unique_ptr<Lexer> lexer = std::make_unique<Lexer>();
    const std::string path = dir.file("refused.toml");
    writeFile(path, text);
    std::FILE *f = std::fopen(path.c_str(), "rb");
    SourceStream source;
    source.stream = f;
    lexerStart(*lexer, Toml, options, source);
    TokenPiece piece;
    do
        lexerNext(*lexer, piece);
    while (piece.kind != TokenKind::End);
    std::fclose(f);
    if (!lexer->rejectedAs)
        return "";
    EXPECT_STREQ(lexer->rejectedAs, "TOML");
    return std::to_string(lexer->rejectedAt.line) + ":" + std::to_string(lexer->rejectedAt.column);
}

TEST(TomlRefused, NotToml)
{
    const struct {
        const char *text;
        const char *place;
    } cases[] = {
        {"a = \"x", "1:7"},
        {"a = \"x\nb = 1", "1:7"},
        {"a = 'x", "1:7"},
        {"a = \"\"\"x", "1:9"},
        {"a = '''x\n", "2:1"},
        {"a = \"\\q\"", "1:6"},
        {"a = \"\\u12\"", "1:6"},
        {"a = \"\\uD800\"", "1:6"},
        {"a = \"\"\"x\\ y\"\"\"", "1:11"},
        {"a = 01", "1:5"},
        {"a = 1__0", "1:5"},
        {"a = _1", "1:5"},
        {"a = 1_", "1:5"},
        {"a = 1.", "1:5"},
        {"a = .5", "1:5"},
        {"a = +0x1", "1:5"},
        {"a = 0x", "1:5"},
        {"a = 9223372036854775808", "1:5"},
        {"a = 0x8000000000000000", "1:5"},
        {"a = 1979-02-30", "1:5"},
        {"a = 24:00:00", "1:5"},
        {"a = 07:32", "1:5"},
        {"a = True", "1:5"},
        {"a = \"x\x01\"", "1:7"},
        {"a = 1 # x\x01", "1:10"},
        {"a = 1\rb = 2", "1:6"},
        {"a = 1 b = 2", "1:7"},
        {"a", "1:2"},
        {"a =", "1:4"},
        {"a = \n1", "1:5"},
        {"a = [1 2]", "1:8"},
        {"a = [1,,2]", "1:8"},
        {"a = [1", "1:7"},
        {"a = [1}", "1:7"},
        {"a = {x = 1]", "1:11"},
        {"a = {x = 1,}", "1:12"},
        {"a = {x = 1\n}", "1:11"},
        {"[a", "1:3"},
        {"[[a]", "1:4"},
        {"[a] b = 1", "1:5"},
        {"[a]\n= 1", "2:1"},
        {"[a = 1]", "1:4"},
        {"\"\"\"a\"\"\" = 1", "1:1"},
        {"a = \"\"\"x\"\"\"\"\"\"", "1:14"},
        {"a.\nb = 1", "1:3"},
        {"a = x", "1:5"},
        {"a = -0x0", "1:5"},
        {"a = 1\n\x01", "2:1"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(rejection(c.text), c.place) << c.text;
    EXPECT_EQ(rejection(std::string("a = \"\0\"", 7)), "1:6") << "a zero byte";
    EXPECT_EQ(rejection(std::string("a = 1 #\0", 8)), "1:8") << "a zero byte in a comment";
}

TEST(TomlRefused, TomlAfterAll)
{
    for (const char *text : {"a = 1979-05-27T07:32:00-07:00", "a = 1979-05-27T07:32:00.999999",
                             "a = -9223372036854775808", "a = 0x7fffffffffffffff", "a = 2000-02-29",
                             "a = \"\\\"\"", "a = [\n]", "a = [[]]", "a = {}", "a = { b = [\n1,\n] }",
                             "a = \"\"\"\"\"\"", "a = '''''x'''''", "\t[ a ]\t# c\n", "a = 1 #\xc3\xa9\t"}) {
        EXPECT_EQ(rejection(text), "") << text;
    }
    const std::string deep(8192, '[');
    EXPECT_EQ(rejection("a = " + deep + std::string(8192, ']')), "");
    EXPECT_EQ(rejection("a = " + deep + "["), "1:8197") << "deeper than 8192 arrays";
}

TEST(TomlTokens, LongTokensComeInPieces)
{
    const std::string value(5000, 'x');
    const std::vector<Tok> a = lexText("a = \"" + value + "\"", Toml);
    const std::vector<Tok> b = lexText("a = '" + value + "'", Toml);
    ASSERT_EQ(a.size(), 5u);
    EXPECT_EQ(a[2].key, "\"" + value + "\"");
    EXPECT_EQ(firstDifference(a, b), -1);
    const std::vector<Tok> k = lexText(value + " = 1", Toml);
    EXPECT_EQ(k[0].key, "\"" + value + "\"");
    const std::vector<Tok> m = lexText("a = \"\"\"" + std::string(70000, 'y') + "\n\"\"\"", Toml);
    EXPECT_EQ(m[2].key.size(), 70003u);
    EXPECT_EQ(m[3].line, 2);
    EXPECT_EQ(rejection("a = \"" + std::string(70000, 'y')), "1:70006");
}

} // namespace

// The verdicts of the built utility on real TOML files of this machine and
// taplo's output, judged by Python's tomllib with key order kept and integers
// never equal to floats: a pair whose data differ must never compare
// equivalent (a miss); of the pairs whose data are the same at most 2% may
// be called different (false alarms).
class TomlFormatterTools : public ::testing::Test {
protected:
    struct Tally {
        int pairs = 0, same = 0, falseAlarms = 0, different = 0, misses = 0, invalid = 0;
    };

    static std::vector<std::string> lines(const std::string &command)
    {
        return commandLines(command);
    }

    static std::string judgeScript()
    {
        return std::string(MATCHLING_SOURCE_DIR) + "/tests/languages/toml_judge.py";
    }

    // Judges the pairs of dirs a and b under root, naming the misses and false alarms.
    static Tally judge(const std::string &root, const std::string &a, const std::string &b)
    {
        Tally t;
        const RunResult r = runMatchling({a, b, "--tokens", "--no-wait"}, root);
        for (const std::string &line :
             lines("python3 '" + judgeScript() + "' judge '" + root + "/" + a + "' '" + root + "/" + b + "'")) {
            std::istringstream fields(line);
            std::string name, verdict;
            fields >> name >> verdict;
            if (!exists(root + "/" + b + "/" + name))
                continue;
            const bool flagged = r.out.find("Not equivalent: " + name + " ") != std::string::npos ||
                                 r.out.find("Unable to compare: " + name + " ") != std::string::npos;
            ++t.pairs;
            if (verdict == "same") {
                ++t.same;
                t.falseAlarms += flagged;
                EXPECT_FALSE(flagged) << "false alarm: " << a << " against " << b << ": " << name;
            } else if (verdict == "different") {
                ++t.different;
                t.misses += !flagged;
                EXPECT_TRUE(flagged) << "miss: " << a << " against " << b << ": " << name;
            } else {
                ++t.invalid;  // no verdict to judge; identical bytes are equivalent unread
            }
        }
        std::printf("%s against %s: %d pairs; %d the same to tomllib, %d false alarms; %d different, %d misses; "
                    "%d refused by tomllib\n",
                    a.c_str(), b.c_str(), t.pairs, t.same, t.falseAlarms, t.different, t.misses, t.invalid);
        return t;
    }
};

TEST_F(TomlFormatterTools, TomllibJudgesTaploOnRealFiles)
{
    const std::string taplo = npmTool("taplo");
    if (taplo.empty() || !haveTool("python3") || std::system("python3 -c 'import tomllib' 2>/dev/null") != 0)
        GTEST_SKIP() << "taplo (npm ci in tests/npm) and python3 with tomllib are needed";
    // Up to 150 TOML files of this machine, outside scratch and work trees
    // and this checkout, one of each content, spread over all there are;
    // those in a folder of invalid samples go to the refused files' test
    // below.
    std::vector<std::string> files = lines(
        "find / \\( -path /proc -o -path /sys -o -path /tmp -o -path /work -o -path '" MATCHLING_SOURCE_DIR "' \\) -prune -o \\( -name '*.toml' -o "
        "-name Cargo.lock -o -name poetry.lock -o -name Pipfile \\) -type f -size -200k -print 2>/dev/null | "
        "grep -v '/invalid/' | LC_ALL=C sort | xargs -r md5sum | awk '!seen[$1]++ { print $2 }' | "
        "awk '{ a[NR] = $0 } END { step = NR / 150; if (step < 1) step = 1; "
        "for (i = 1; i <= NR && n < 150; i += step) { print a[int(i)]; ++n } }'");
    if (files.size() < 20)
        GTEST_SKIP() << "too few TOML files found on this machine";
    ScratchDir dir;
    const std::string root = dir.path();
    std::string copy = "mkdir -p '" + root + "/orig'";
    for (std::size_t k = 0; k < files.size(); ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "%03zu.toml", k);
        copy += " && cp '" + files[k] + "' '" + root + "/orig/" + name + "'";
    }
    ASSERT_EQ(std::system(copy.c_str()), 0);
    const std::pair<const char *, const char *> settings[] = {
        {"default", ""},
        {"aligned", "-o align_entries=true -o align_comments=true"},
        {"expanded", "-o array_auto_expand=true -o array_auto_collapse=false -o column_width=20"},
        {"collapsed", "-o array_auto_collapse=true -o compact_arrays=true -o compact_inline_tables=true"},
        {"sorted", "-o reorder_keys=true"},
    };
    Tally total;
    for (const auto &setting : settings) {
        const std::string out = root + "/" + setting.first;
        ASSERT_EQ(std::system(("cp -r '" + root + "/orig' '" + out + "' && cd '" + out + "' && '" + taplo +
                               "' fmt --no-auto-config " + setting.second + " *.toml >/dev/null 2>&1; true")
                                  .c_str()),
                  0);
        const Tally t = judge(root, "orig", setting.first);
        total.same += t.same;
        total.falseAlarms += t.falseAlarms;
        total.misses += t.misses;
    }
    // Mutants that change the data, each flagged.
    ASSERT_EQ(std::system(("python3 '" + judgeScript() + "' mutate '" + root + "/orig' '" + root + "/mutants'").c_str()),
              0);
    for (const char *kind : {"above_header", "blank_in_string", "int_to_float", "keys_swapped"}) {
        const Tally t = judge(root, "orig", std::string("mutants/") + kind);
        EXPECT_GT(t.different, 0) << kind;
        EXPECT_EQ(t.different, t.pairs) << kind;
        total.misses += t.misses;
    }
    EXPECT_EQ(total.misses, 0);
    EXPECT_LE(total.falseAlarms * 50, total.same);
}

// The samples of invalid TOML on this machine (tomllib's tests), each against
// itself with a line end more: never equivalent where the lexer refuses it;
// the rest break rules beyond the grammar (a key defined twice).
TEST_F(TomlFormatterTools, InvalidSamplesAreRefused)
{
    std::vector<std::string> files = lines(
        "find / \\( -path /proc -o -path /sys -o -path /tmp -o -path /work -o -path '" MATCHLING_SOURCE_DIR "' \\) -prune -o -path '*/invalid/*.toml' "
        "-type f -print 2>/dev/null | LC_ALL=C sort | xargs -r md5sum | awk '!seen[$1]++ { print $2 }'");
    if (files.size() < 10)
        GTEST_SKIP() << "too few samples of invalid TOML found on this machine";
    ScratchDir dir;
    std::string copy = "mkdir -p '" + dir.path() + "/a' '" + dir.path() + "/b'";
    for (std::size_t k = 0; k < files.size(); ++k) {
        const std::string name = std::to_string(k) + ".toml";
        copy += " && cp '" + files[k] + "' '" + dir.path() + "/a/" + name + "' && { cat '" + files[k] +
                "'; echo; } > '" + dir.path() + "/b/" + name + "'";
    }
    ASSERT_EQ(std::system(copy.c_str()), 0);
    const RunResult r = runMatchling({"a", "b", "--tokens", "--no-wait"}, dir.path());
    int refused = 0, equivalent = 0;
    for (std::size_t k = 0; k < files.size(); ++k) {
        const std::string name = std::to_string(k) + ".toml";
        const bool unable = r.out.find("Unable to compare: " + name + " (not valid TOML at line ") != std::string::npos;
        refused += unable;
        equivalent += !unable && r.out.find(": " + name + " ") == std::string::npos;
    }
    std::printf("%zu samples of invalid TOML: %d refused as not valid TOML, %d equivalent to themselves\n",
                files.size(), refused, equivalent);
    EXPECT_EQ(static_cast<std::size_t>(refused + equivalent), files.size()) << r.out;
    EXPECT_GT(refused * 2, static_cast<int>(files.size()));
}
