// GraphQL's in-process tests: its near misses first, then the lexer's tests,
// then the formatter runs judged by the graphql package's parser.
//
// Near misses of the GraphQL lexer, its tokens taken one at a time and in the
// block runs of plain tokens: for each decision, a pair that must differ if
// it went wrong and, where it can go the other way, a pair that must stay
// equal.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"

namespace {

const Language Graphql = Language::Graphql;
constexpr std::size_t kBlock = 64;  // bytes the runs classify at once (kMaskBlock)

TEST(GraphqlNearMiss, Layout)
{
    checkPairs(Graphql, {
        {"commas are layout", "{ a, b,, }", "{ a b }", true},
        {"a blank separates names", "{ a b }", "{ ab }", false, 1, 3, 1, 3},
        {"a comma separates names", "{ a,b }", "{ ab }", false, 1, 3, 1, 3},
        {"a lone CR ends a line", "{ a\rb }", "{ a\nb }", true},
        {"CR LF and tabs", "{\r\n\ta\r\n}", "{ a }", true},
        {"a byte order mark at the start", "\xEF\xBB\xBF{ a }", "{ a }", true},
        {"a byte order mark anywhere is layout", "{ a\xEF\xBB\xBF b }", "{ a b }", true},
        {"a byte order mark separates names", "{ a\xEF\xBB\xBF" "b }", "{ ab }", false},
        {"a comment is layout", "{ a # one, two\n b }", "{ a b }", true},
        {"a comment ends at a lone CR", "{ a # one\rb }", "{ a b }", true},
        {"a comment at the end", "{ a } # end", "{ a }", true},
        {"a comment whose line end is the first byte after the window", "{ a #" + std::string(65531, 'x') + "\n b }",
         "{ a\n b }", true},
        {"a form feed is a token", "{ a\fb }", "{ a b }", false},
        {"a control byte in a comment is a token", "{ a # x\x01y\n}", "{ a # xy\n}", false},
        {"a zero byte is a token", std::string("{ a\0 }", 6), "{ a }", false},
        {"a byte beyond ASCII is a token", "{ caf\xc3\xa9 }", "{ caf }", false},
        {"a semicolon is a token", "{ a; }", "{ a }", false},
        {"a first #! line is a token", "#!/usr/bin/env gq\n{ a }", "{ a }", false},
        {"another #! line", "#!/usr/bin/env gq\n{ a }", "#!/usr/bin/env gql\n{ a }", false},
        {"a comment after a #! line", "#!/usr/bin/env gq\n# one\n{ a }", "#!/usr/bin/env gq\n# two\n{ a }", true},
    });
}

TEST(GraphqlNearMiss, Punctuators)
{
    checkPairs(Graphql, {
        {"a dollar stands alone", "query($a: Int)", "query( $ a : Int )", true},
        {"an at sign stands alone", "{ a @ skip }", "{ a @skip }", true},
        {"a spread", "{ ...F }", "{ ... F }", true},
        {"a spread is one token", "{ ...F }", "{ . . .F }", false},
        {"two dots are no spread", "{ ..F }", "{ ...F }", false},
        {"four dots", "{ ....F }", "{ ...F }", false},
        {"brackets", "[[a]]", "[ [ a ] ]", true},
        {"a bang", "a: Int!", "a: Int !", true},
        {"a bang kept", "a: Int!", "a: Int", false},
    });
}

TEST(GraphqlNearMiss, Numbers)
{
    checkPairs(Graphql, {
        {"a float against an int", "f(a: 1.0)", "f(a: 1)", false, 1, 6, 1, 6},
        {"an exponent's letter as written", "f(a: 1e5)", "f(a: 1E5)", false},
        {"a fraction", "f(a: 1.5)", "f(a: 1 .5)", false},
        {"a negative number", "f(a: -1)", "f(a: - 1)", false},
        {"a minus after a number starts the next", "f(a: [1-2])", "f(a: [1 -2])", true},
        {"an exponent's sign", "f(a: 1e-5)", "f(a: 1e -5)", false},
        {"a plus after e", "f(a: 1e+5)", "f(a: 1e +5)", false},
        {"a name after a number is bad", "f(a: 123abc)", "f(a: 123 abc)", false},
        {"a digit after a leading 0 is bad", "f(a: 01)", "f(a: 0 1)", false},
        {"a dot after an int is bad", "f(a: 1.)", "f(a: 1)", false},
        {"a dot after an int before a spread", "{ a(x: 1...F) }", "{ a(x: 1 ...F) }", false},
        {"a dot after a float is bad", "f(a: 1.5.6)", "f(a: 1.5 .6)", false},
        {"no digit after e", "f(a: 1e)", "f(a: 1 e)", false},
        {"a lone minus", "f(a: -)", "f(a: )", false},
        {"a digit after a name is the name's", "{ a1 }", "{ a 1 }", false},
        {"an underscore is a name byte", "{ a_b }", "{ a _b }", false},
    });
}

TEST(GraphqlNearMiss, Strings)
{
    checkPairs(Graphql, {
        {"a blank inside a string", "f(a: \"a b\")", "f(a: \"ab\")", false, 1, 6, 1, 6},
        {"an escape by its value", "f(a: \"\\u0041\")", "f(a: \"A\")", true},
        {"a hex escape's case", "f(a: \"\\u00E9\")", "f(a: \"\\u00e9\")", true},
        {"an escape beyond ASCII", "f(a: \"\\u00e9\")", "f(a: \"\xc3\xa9\")", true},
        {"a surrogate pair is one character", "f(a: \"\\uD83D\\uDE00\")", "f(a: \"\xf0\x9f\x98\x80\")", true},
        {"a lone surrogate is bad", "f(a: \"\\uD83D\")", "f(a: \"\\\\uD83D\")", false},
        {"a surrogate before no low one is bad", "f(a: \"\\uD83D\\u0041\")", "f(a: \"\\\\uD83DA\")", false},
        // (U+11841 is what the pair would be if its second half were taken as a low surrogate.)
        {"a surrogate before no low one is no character", "f(a: \"\\uD83D\\u0041\")", "f(a: \"\xf0\x91\xa1\x81\")",
         false},
        {"a slash escaped", "f(a: \"\\/\")", "f(a: \"/\")", true},
        {"a tab escaped", "f(a: \"\\t\")", "f(a: \"\t\")", true},
        {"a tab is not a blank", "f(a: \"\\t\")", "f(a: \" \")", false},
        {"an escaped backslash", "f(a: \"\\\\n\")", "f(a: \"\\n\")", false},
        {"an escaped quote", "f(a: \"a\\\"b\")", "f(a: \"\"\"a\"b\"\"\")", true},
        {"a braced escape is bad", "f(a: \"\\u{41}\")", "f(a: \"A\")", false},
        {"an unknown escape is bad", "f(a: \"\\q\")", "f(a: \"q\")", false},
        {"a short escape is bad", "f(a: \"\\u41\")", "f(a: \"A\")", false},
        {"a raw control byte is bad", "f(a: \"\x01\")", "f(a: \"\\u0001\")", false},
        {"a string ends at its line", "f(a: \"ab\n\")", "f(a: \"ab\\n\")", false},
        {"an unterminated string is no escaped backslash", "\"abc\\\"", "\"abc\\\\\"", false},
        {"an unterminated string is no string", "\"abc", "\"abc\"", false},
        {"after a bad string the rest is as written", "\"\\q\" { a b }", "\"\\q\" { a  b }", false},
        {"a bad string equals itself", "\"\\q\" { a b }", "\"\\q\" { a b }", true},
        {"an ordinary string against a block string", "\"a\" type T", "\"\"\"a\"\"\" type T", true},
        {"an empty string and an empty block string", "f(a: \"\")", "f(a: \"\"\"\"\"\")", true},
    });
}

TEST(GraphqlNearMiss, BlockStrings)
{
    checkPairs(Graphql, {
        {"re-indented", "\"\"\"\n  a\n    b\n  \"\"\"", "\"\"\"\na\n  b\n\"\"\"", true},
        {"the first line keeps its blanks", "\"\"\"  a\n  b\"\"\"", "\"\"\"a\nb\"\"\"", false},
        {"the first line sets no indentation", "\"\"\"a\n  b\"\"\"", "\"\"\"a\nb\"\"\"", true},
        {"blank first and last lines", "\"\"\"\n\n  a\n  \n\"\"\"", "\"\"\"a\"\"\"", true},
        {"a blank line inside is kept", "\"\"\"\na\n\nb\n\"\"\"", "\"\"\"\na\nb\n\"\"\"", false},
        {"blanks at a line's end are kept", "\"\"\"\na  \nb\n\"\"\"", "\"\"\"\na\nb\n\"\"\"", false},
        {"blanks past the indentation on a blank line", "\"\"\"\n  a\n     \n  b\n\"\"\"",
         "\"\"\"\n  a\n\n  b\n\"\"\"", false},
        {"blanks within the indentation on a blank line", "\"\"\"\n  a\n \n  b\n\"\"\"",
         "\"\"\"\n  a\n\n  b\n\"\"\"", true},
        {"a tab counts one", "\"\"\"\n\ta\n\t\tb\n\"\"\"", "\"\"\"\n a\n \tb\n\"\"\"", true},
        {"a tab is not a blank past the indentation", "\"\"\"\n a\n \tb\n\"\"\"", "\"\"\"\n a\n  b\n\"\"\"", false},
        {"CR LF and a lone CR end lines", "\"\"\"\r\n  a\r  b\r\n\"\"\"", "\"\"\"\na\nb\n\"\"\"", true},
        {"a line end against an escape", "\"\"\"a\nb\"\"\"", "\"a\\nb\"", true},
        {"a backslash is itself", "\"\"\"a\\nb\"\"\"", "\"a\\nb\"", false},
        {"a backslash is itself, escaped", "\"\"\"a\\nb\"\"\"", "\"a\\\\nb\"", true},
        {"escaped quotes", "\"\"\"a\\\"\"\"b\"\"\"", "\"a\\\"\\\"\\\"b\"", true},
        {"escaped quotes are content", "\"\"\"\n  \\\"\"\"\n\"\"\"", "\"\"\"\"\"\"", false},
        {"all blank", "\"\"\"  \n  \"\"\"", "\"\"", true},
        {"an unterminated block string", "\"\"\"a", "\"\"\"a\"\"\"", false},
        {"an unterminated block string after an escape", "\"\"\"a\\\"\"\"", "\"\"\"a\\\"\"\"\"\"\"", false},
        {"a control byte is bad", "\"\"\"a\x01\"\"\"", "\"a\\u0001\"", false},
        {"a blank inside", "\"\"\"\n  a b\n\"\"\"", "\"\"\"\n  ab\n\"\"\"", false},
        {"a line joined", "\"\"\"\n  a\n  b\n\"\"\"", "\"\"\"\n  a b\n\"\"\"", false},
    });
}

TEST(GraphqlNearMiss, OptionalDelimiters)
{
    checkPairs(Graphql, {
        {"a union's leading bar", "union U = | A | B", "union U = A | B", true},
        {"a union's bar between members", "union U = A | B", "union U = A B", false},
        {"an extended union's leading bar", "extend union U @d(a: 1) = | A", "extend union U @d(a: 1) = A", true},
        {"two bars", "union U = | | A", "union U = | A", false},
        {"a bar after a default value's equals", "query Q($a: E = | A) { a }", "query Q($a: E = A) { a }", false},
        {"a bar after an input field's default", "input I { a: E = | A }", "input I { a: E = A }", false},
        {"a directive's leading bar", "directive @d on | FIELD | QUERY", "directive @d on FIELD | QUERY", true},
        {"after arguments and repeatable", "directive @d(a: [Int] = [1]) repeatable on | FIELD",
         "directive @d(a: [Int] = [1]) repeatable on FIELD", true},
        {"a fragment's type condition", "fragment F on | T { a }", "fragment F on T { a }", false},
        {"a directive named on", "directive @on on | FIELD", "directive @on on FIELD", true},
        {"an operation named directive", "query directive @x { a } fragment F on | T { a }",
         "query directive @x { a } fragment F on T { a }", false},
        {"a leading ampersand", "type T implements & A & B { a: Int }", "type T implements A & B { a: Int }", true},
        {"an interface's leading ampersand", "interface I implements & A { a: Int }",
         "interface I implements A { a: Int }", true},
        {"an extension's", "extend type T implements & A", "extend type T implements A", true},
        {"an ampersand between interfaces", "type T implements A & B", "type T implements A B", false},
        {"an interface named implements", "type T implements implements & B", "type T implements implements B",
         false},
        {"a field named implements", "{ implements & a }", "{ implements a }", false},
        {"a field named type", "{ type T implements & a }", "{ type T implements a }", false},
    });
}

TEST(GraphqlNearMiss, CommentWords)
{
    LexOptions comments;
    comments.comments = true;
    std::vector<PairCase> cases = {
        {"words compare", "{ a # x  y\n}", "{ a #x y\r}", true},
        {"an edited word", "{ a # x y\n}", "{ a # x z\n}", false, 1, 9, 1, 9},
        {"a comment's end", "{ a # x\nb }", "{ a # x b\n}", false},
        {"a control byte ends the words", "{ a # x\x01y\n}", "{ a # x y\n}", false},
    };
    for (PairCase &c : cases)
        c.options = comments;
    checkPairs(Graphql, cases);
}

// Every case after a '{' and some blanks, with two blocks of blanks after it,
// taken in runs (lexerRun) as a comparison takes them: near a block's start,
// and with its first bytes at each of the last places of the first block.
void checkRunPairs(const std::vector<PairCase> &cases)
{
    ScratchDir dir;
    const std::string path = dir.file("source");
    auto lex = [&path](const std::string &text) {
        writeFile(path, text);
        return lexFileInRuns(path, Graphql, 1024, 65536);
    };
    for (const PairCase &c : cases) {
        SCOPED_TRACE(c.name);
        for (std::size_t shift : {0, 1, 2, 3, 20, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63}) {
            const std::string before = "{" + std::string(shift, ' '), after(2 * kBlock, ' ');
            const bool equal = firstDifference(lex(before + c.a + after), lex(before + c.b + after)) < 0;
            EXPECT_EQ(equal, c.equal) << "after " << shift << " blanks";
        }
    }
}

TEST(GraphqlNearMiss, Runs)
{
    std::vector<PairCase> cases = {
        {"names", "a b", "ab", false},
        {"commas", "a,b", "a b", true},
        {"a number run into a name", "123abc", "123 abc", false},
        {"a leading 0", "01", "0 1", false},
        {"a fraction", "1.5", "1 .5", false},
        {"a minus", "-1", "- 1", false},
        {"an exponent's sign", "1e-5", "1e -5", false},
        {"a union's leading bar", "} union U = | A", "} union U = A", true},
        {"a bar kept", "} union U = A | B", "} union U = A B", false},
        {"a directive's leading bar", "} directive @d(a: Int) on | FIELD", "} directive @d(a: Int) on FIELD", true},
        {"a leading ampersand", "} type T implements & A", "} type T implements A", true},
        {"a bar inside braces", "{ a = | b", "{ a = b", false},
        {"a string's blank", "\"a b\"", "\"ab\"", false},
        {"a comment", "a # c\n b", "a b", true},
        {"a zero byte", std::string("a\0 b", 4), "a b", false},
        {"a byte beyond ASCII", "a\xc3\xa9", "a", false},
        {"a byte order mark", "a\xEF\xBB\xBF b", "a b", true},
    };
    checkPairs(Graphql, cases);
    checkRunPairs(cases);
}

TEST(GraphqlLexer, Tokens)
{
    const std::vector<Tok> t = lexText("\"\"\"\n    Hi \\\"\"\"\n      there\n\"\"\"\ntype Query { a(x: Int = -1.5e3): [A!]! }\n",
                                       Graphql);
    const std::vector<std::string> expected = {"\"Hi \"\"\"\n  there\"", "type", "Query", "{", "a", "(", "x", ":",
                                               "Int", "=", "-1.5e3", ")", ":", "[", "A", "!", "]", "!", "}", ""};
    EXPECT_EQ(keysOf(t), expected);
    EXPECT_EQ(t[1].line, 5);
    EXPECT_EQ(t[1].column, 1);
}

TEST(GraphqlLexer, LongTokens)
{
    // A string longer than the window comes out in pieces, its escapes by
    // value; a block string longer than the window as written, with the rest.
    const std::string body(200000, 'x');
    checkPairs(Graphql, {
        {"a long string", "\"" + body + "\\u0041\" a", "\"" + body + "A\"  a", true},
        {"a long string's last byte", "\"" + body + "\" a", "\"" + body + "y\" a", false},
        {"a long block string", "\"\"\"" + body + "\"\"\" a", "\"\"\"" + body + "\"\"\" a", true},
        {"a long block string against its value", "\"\"\"" + body + "\"\"\" a", "\"" + body + "\" a", false},
        {"a name longer than the window takes the rest as written", body + " a", body + " a", true},
        {"and its layout counts", body + " a", body + "  a", false},
    });
}

} // namespace

// GraphQL documents through prettier, judged by the graphql package's
// parser: the documents of tests/languages/graphql (schemas and queries
// written for these tests: this machine holds no GraphQL files), each as
// the package prints it, and each of their definitions alone.

namespace {

struct Tally {
    int pairs = 0, same = 0, falseAlarms = 0, changed = 0, misses = 0;
};

// The lines of the output of command, run by the shell.
std::vector<std::string> outputLines(const std::string &command)
{
    std::vector<std::string> out;
    std::istringstream in(commandOutput(command));
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// Judges the pairs of dir a and dir b under root: a pair the parser calls the
// same must be equivalent (else a false alarm), any other must not (else a
// miss).
Tally judgeTrees(const std::string &root, const std::string &a, const std::string &b)
{
    Tally t;
    RunResult r = runMatchling({a, b, "--tokens"}, root);
    const std::string npm = std::string(MATCHLING_NPM_TOOLS) + "/../..";
    for (const std::string &line : outputLines("node '" + npm + "/graphql_judge.js' judge '" + root + "/" + a + "' '" +
                                               root + "/" + b + "'")) {
        std::istringstream fields(line);
        std::string name, verdict;
        fields >> name >> verdict;
        const bool different = r.out.find("Not equivalent: " + name + " ") != std::string::npos;
        ++t.pairs;
        if (verdict == "same") {
            ++t.same;
            t.falseAlarms += different;
        } else {
            ++t.changed;
            t.misses += !different;
            EXPECT_TRUE(different) << "miss: " << a << " against " << b << ": " << name;
        }
    }
    std::printf("GraphQL, %s against %s: %d pairs; %d the same, %d false alarms; %d changed, %d misses\n", a.c_str(),
                b.c_str(), t.pairs, t.same, t.falseAlarms, t.changed, t.misses);
    return t;
}

TEST(GraphqlFormatterTools, PrettierJudgedByTheParser)
{
    const std::string npm = std::string(MATCHLING_NPM_TOOLS) + "/../..";
    if (!haveTool("node") || npmTool("prettier").empty() || !exists(npm + "/node_modules/graphql"))
        GTEST_SKIP() << "node and tests/npm's packages are needed (npm ci in tests/npm)";
    ScratchDir dir;
    const std::string data = std::string(MATCHLING_SOURCE_DIR) + "/tests/languages/graphql";
    ASSERT_EQ(std::system(("node '" + npm + "/graphql_judge.js' make '" + dir.path() + "' '" + data + "'/*").c_str()),
              0);
    for (const char *formatted : {"prettier", "narrow"}) {
        const Tally t = judgeTrees(dir.path(), "orig", formatted);
        EXPECT_GT(t.same, 50);
        EXPECT_EQ(t.misses, 0);
        EXPECT_LE(t.falseAlarms * 50, t.same);
    }
    const Tally t = judgeTrees(dir.path(), "prettier", "narrow");
    EXPECT_LE(t.falseAlarms * 50, t.same);
    // Mutants: every one flagged, whatever the parser makes of it.
    for (const char *mutant : {"joined", "blank", "moved", "value", "float"}) {
        const Tally m = judgeTrees(dir.path(), "orig", mutant);
        EXPECT_GT(m.pairs, 10) << mutant;
        EXPECT_EQ(m.same, 0) << mutant;
        EXPECT_EQ(m.misses, 0) << mutant;
    }
}

} // namespace
