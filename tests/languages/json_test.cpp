// JSON's in-process tests: its near misses first, then the lexer's tests,
// under a note of their own.
//
// Near misses of the JSON lexer, its tokens taken one at a time and in the
// block runs of plain tokens: for each decision, a pair that must differ if
// it went wrong and, where it can go the other way, a pair that must stay
// equal.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"

namespace {

const Language Json = Language::Json;
constexpr std::size_t kBlock = 64;  // bytes the runs classify at once (kMaskBlock)

TEST(JsonNearMiss, Layout)
{
    checkPairs(Json, {
        {"a lone CR is layout", "[1,\r2]", "[1, 2]", true},
        {"a form feed is a token", "[1,\f2]", "[1, 2]", false},
        {"a byte order mark after a blank is a token", " \xEF\xBB\xBF[1]", " [1]", false},
        {"a byte order mark after a token is a token", "[1]\xEF\xBB\xBF", "[1]", false},
        {"a lone slash is a token", "[1 / 2]", "[1 2]", false},
    });
}

// tsconfig.json and jsconfig.json, which TypeScript reads with trailing
// commas: commas; every other JSON file keeps them.
TEST(JsonNearMiss, TrailingCommas)
{
    const RewriteSet all = static_cast<RewriteSet>((1u << kAllowKinds) - 1);
    checkRewritePairs(Language::TsConfig, all, {
        {"after an array's last element", "{\"a\": [1, 2,]}", "{\"a\": [1, 2]}", true},
        {"after an object's last member", "{\"a\": {\"b\": null,},}", "{\"a\": {\"b\": null}}", true},
        {"after a closing bracket", "[[1],]", "[[1]]", true},
        {"an empty element", "[1,,]", "[1,]", false},
        {"a comma alone", "[,]", "[]", false},
        {"a comma after a key", "{\"a\":,}", "{\"a\":}", false},
        {"between two values", "[1, 2]", "[1 2]", false},
    });
    checkRewritePairs(Json, all, {
        {"another JSON file", "[1, 2,]", "[1, 2]", false},
    });
}

TEST(JsonNearMiss, NumbersAndNames)
{
    checkPairs(Json, {
        {"a fraction", "[1.5]", "[1 .5]", false},
        {"a plus after e", "[1e+5]", "[1e +5]", false},
        {"a sign after E", "[1E-5]", "[1E -5]", false},
        {"a negative number's exponent", "[-1e-5]", "[-1e -5]", false},
        {"a minus after a digit starts a number", "[1-2]", "[1 -2]", true},
        {"a sign after e in a name stands alone", "[e+1]", "[e +1]", true},
        {"a minus before no digit stands alone", "[-a]", "[- a]", true},
        {"a dot after a name stands alone", "[a.b]", "[a . b]", true},
        {"a dollar is a name byte", "[a$b]", "[a $b]", false},
        {"an underscore is a name byte", "[a_b]", "[a _b]", false},
        {"a byte beyond ASCII is a name byte", "[a\xc3\xa9]", "[a \xc3\xa9]", false},
    });
}

TEST(JsonNearMiss, Strings)
{
    checkPairs(Json, {
        {"an escaped backslash before the quote", "[\"a\\\\\", 1]", "[\"a\\\\\" ,1]", true},
        {"a backslash before a line end escapes nothing", "[\"a\\\n\"]", "[\"a\\\n\" ]", false},
        {"a string ends at its quote", "[\"a\"b]", "[\"a\" b]", true},
    });
}

// Every case after a '[' and some blanks, with two blocks of blanks after it,
// taken in runs (lexerRun) as a comparison takes them: near a block's start,
// and with its first bytes at each of the last places of the first block.
void checkRunPairs(const std::vector<PairCase> &cases)
{
    ScratchDir dir;
    const std::string path = dir.file("source");
    auto lex = [&path](const std::string &text) {
        writeFile(path, text);
        return lexFileInRuns(path, Json, 1024, 65536);
    };
    for (const PairCase &c : cases) {
        SCOPED_TRACE(c.name);
        for (std::size_t shift : {0, 1, 2, 3, 20, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63}) {
            const std::string before = "[" + std::string(shift, ' '), after(2 * kBlock, ' ');
            const bool equal = firstDifference(lex(before + c.a + after), lex(before + c.b + after)) < 0;
            EXPECT_EQ(equal, c.equal) << "after " << shift << " blanks";
        }
    }
}

TEST(JsonNearMiss, Runs)
{
    std::vector<PairCase> cases = {
        {"a fraction", "1.5", "1 .5", false},
        {"a minus before a digit", "-1", "- 1", false},
        {"a minus after a name byte", "1e-x", "1e- x", false},
        {"a minus alone", "-a", "- a", true},
        {"a plus after e", "1e+5", "1e +5", false},
        {"a comment", "1, // c\n 2", "1, 2", true},
        {"a blank in a string", "\"a b\"", "\"ab\"", false},
        {"an escaped quote", "\"a\\\"b\" ,1", "\"a\\\"b\", 1", true},
        {"a line feed in a string", "\"a\n\" ,1", "\"a\n\", 1", false},
        {"a dollar", "a$b", "a $b", false},
        {"an underscore", "a_b", "a _b", false},
        {"a byte beyond ASCII", "a\xc3\xa9", "a \xc3\xa9", false},
        {"CR and tab are layout", "1,\r2,\t3", "1, 2, 3", true},
        {"a zero byte is a token", std::string("1,\0 2", 5), "1, 2", false},
        {"a backslash stands alone", "a\\b", "a \\ b", true},
        {"other bytes alone", "a#b", "a # b", true},
        {"other bytes compare", "a#b", "a%b", false},
    };
    checkPairs(Json, cases);
    checkRunPairs(cases);
}

} // namespace

// Tests of the JSON lexer: a table of pairs, and Python's json module as the
// reference on the JSON files of this machine and their formatters' output.

namespace {

constexpr int kSampleFiles = 20;  // JSON files taken from this machine, spread over its list

TEST(JsonLexer, Pairs)
{
    checkPairs(Language::Json, {
        {"whitespace is layout", "{\"a\": [1, 2]}", "{\n  \"a\" : [\r\n\t1,\n 2\n ]\n}\n", true},
        {"comments are layout", "[1, // one\n 2 /* two */]", "[1,2]", true},
        {"a byte order mark at the start", "\xEF\xBB\xBF{}", "{}", true},
        {"a blank inside a string", "[\"a b\"]", "[\"ab\"]", false, 1, 2, 1, 2},
        {"an escape keeps its spelling", "[\"\\/\"]", "[\"/\"]", false, 1, 2, 1, 2},
        {"numbers by spelling", "[1e5]", "[1E5]", false, 1, 2, 1, 2},
        {"a number split", "[12]", "[1 2]", false, 1, 2, 1, 2},
        {"a negative number", "[-1]", "[- 1]", false, 1, 2, 1, 2},
        {"an exponent's sign", "[1e-5]", "[1e -5]", false, 1, 2, 1, 2},
        {"a number runs through letters", "[1a]", "[1 a]", false, 1, 2, 1, 2},
        {"a literal split", "[true]", "[tr ue]", false, 1, 2, 1, 2},
        {"a stray byte compares", "[1 # 2]", "[1 % 2]", false, 1, 4, 1, 4},
        {"an escaped quote", "[\"a\\\"b\" ]", "[ \"a\\\"b\"]", true},
        {"an unterminated string ends at its line", "[\"a\n]", "[\"a ]", false, 1, 2, 1, 2},
    });
}

TEST(JsonLexer, CommentWords)
{
    LexOptions comments;
    comments.comments = true;
    std::vector<PairCase> cases = {
        {"words compare", "[1 // a b\n]", "[1 /* a\n b */]", true},
        {"an edited word", "[1 // a b\n]", "[1 // a c\n]", false, 1, 9, 1, 9},
    };
    for (PairCase &c : cases)
        c.options = comments;
    checkPairs(Language::Json, cases);
}

std::string shellWord(const std::string &s)
{
    return "'" + s + "'";
}

// Up to kSampleFiles JSON files of this machine that Python reads, spread
// over their list.
std::vector<std::string> jsonFiles()
{
    ScratchDir dir;
    const std::string list = dir.file("list");
    // One Python process reads them all, keeping those its json module loads.
    const int status = std::system(("find /usr/share /usr/lib -name '*.json' -size -200k -size +0 2>/dev/null | sort | python3 -c '"
                 "import json, sys\n"
                 "for f in sys.stdin.read().splitlines():\n"
                 "    try:\n"
                 "        json.load(open(f, encoding=\"utf-8\"))\n"
                 "        print(f)\n"
                 "    except Exception:\n"
                 "        pass' >" + shellWord(list)).c_str());
    if (status != 0)
        return {};
    std::istringstream in(readFile(list));
    std::vector<std::string> all;
    for (std::string line; std::getline(in, line);)
        if (line.find('\'') == std::string::npos)
            all.push_back(line);
    std::vector<std::string> picked;
    const std::size_t step = all.size() / kSampleFiles + 1;
    for (std::size_t i = 0; i < all.size(); i += step)
        picked.push_back(all[i]);
    return picked;
}

// Python's json module on pairs of files named on standard input, a pair to a
// line: for each, 1 when they hold the same value with every number, key
// order and duplicate key as written, 0 when not.
const char *const kSameValue =
    "import json, sys\n"
    "def load(p):\n"
    "    with open(p, encoding='utf-8') as f:\n"
    "        return json.load(f, object_pairs_hook=list, parse_float=lambda s: ('f', s),\n"
    "                         parse_int=lambda s: ('i', s), parse_constant=lambda s: ('c', s))\n"
    "for line in sys.stdin.read().splitlines():\n"
    "    a, b = line.split()\n"
    "    try:\n"
    "        print(1 if load(a) == load(b) else 0)\n"
    "    except ValueError:\n"
    "        print(0)\n";

// A tree of outputs compared with the tree "before": pairs, and how the
// utility's verdicts stand to Python's.
struct Verdicts {
    int pairs = 0;
    int falseAlarms = 0;  // the same value as written, called not equivalent
    int misses = 0;       // a different value called equivalent
};

// Judges every file of tree against its namesake in before, in dir.
Verdicts judge(const ScratchDir &dir, const std::string &tree, std::size_t files)
{
    SCOPED_TRACE(tree);
    std::string pairs;
    for (std::size_t i = 0; i < files; ++i)
        pairs += dir.file("before/" + std::to_string(i) + ".json") + " " +
                 dir.file(tree + "/" + std::to_string(i) + ".json") + "\n";
    writeFile(dir.file("pairs"), pairs);
    const int status = std::system(("python3 " + shellWord(dir.file("same.py")) + " <" + shellWord(dir.file("pairs")) +
                                    " >" + shellWord(dir.file("same")))
                                       .c_str());
    EXPECT_EQ(status, 0);
    const std::string same = readFile(dir.file("same"));
    RunResult r = runMatchling({"before", tree, "--tokens"}, dir.path());
    Verdicts v;
    for (std::size_t i = 0; i < files && 2 * i < same.size(); ++i) {
        const std::string name = std::to_string(i) + ".json";
        const bool equivalent = r.out.find("Not equivalent: " + name + " ") == std::string::npos;
        const bool sameValue = same[2 * i] == '1';
        ++v.pairs;
        v.misses += equivalent && !sameValue;
        if (!equivalent && sameValue) {
            // json.tool writes "\/" as "/" and "\u00e9" as the character
            // itself: another spelling of the same string, told apart by design.
            const std::string before = readFile(dir.file("before/" + name));
            EXPECT_TRUE(before.find("\\/") != std::string::npos || before.find("\\u") != std::string::npos) << r.out;
            ++v.falseAlarms;
        }
    }
    return v;
}

TEST(JsonLexerTools, FormattersAgainstPythonsJson)
{
    if (!haveTool("python3"))
        GTEST_SKIP() << "python3 is not installed";
    const std::vector<std::string> files = jsonFiles();
    if (files.empty())
        GTEST_SKIP() << "no JSON files on this machine";
    std::vector<std::pair<std::string, std::string>> formatters = {
        {"json.tool", "python3 -m json.tool --no-ensure-ascii"},
        {"json.tool-compact", "python3 -m json.tool --no-ensure-ascii --compact"}};
    const std::string prettier = npmTool("prettier");
    if (!prettier.empty())
        formatters.push_back({"prettier", shellWord(prettier) + " --parser json"});
    ScratchDir dir;
    writeFile(dir.file("same.py"), kSameValue);
    makeDir(dir.file("before"));
    makeDir(dir.file("blank"));
    for (const auto &f : formatters)
        makeDir(dir.file(f.first));
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string name = std::to_string(i) + ".json";
        const std::string text = readFile(files[i]);
        writeFile(dir.file("before/" + name), text);
        for (const auto &f : formatters)
            ASSERT_EQ(std::system((f.second + " <" + shellWord(files[i]) + " >" +
                                   shellWord(dir.file(f.first + "/" + name))).c_str()), 0)
                << f.second;
        // A blank after the first quote, inside the first string, changes the value.
        const std::size_t quote = text.find('"') + 1;
        writeFile(dir.file("blank/" + name), text.substr(0, quote) + " " + text.substr(quote));
    }
    for (const auto &f : formatters) {
        Verdicts v = judge(dir, f.first, files.size());
        EXPECT_EQ(v.misses, 0);
        std::printf("JSON, %s: %d pairs, %d false alarms, %d misses\n", f.first.c_str(), v.pairs, v.falseAlarms,
                    v.misses);
    }
    Verdicts v = judge(dir, "blank", files.size());
    EXPECT_EQ(v.misses, 0);
    EXPECT_EQ(v.falseAlarms, 0);
    std::printf("JSON, a blank inside a string: %d pairs, %d misses%s\n", v.pairs, v.misses,
                prettier.empty() ? " (prettier not found)" : "");
}

} // namespace
