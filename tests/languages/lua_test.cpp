// Lua's in-process tests: its near misses first, for each decision a pair
// that must differ and, where the decision can go the other way, a pair that
// must stay equal; then the input the lexer refuses, and relayout and token
// mutants judged by luaparse's lexer (suite LuaReaderTools).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"
#include "../tree_judge.h"
#include "languages/languages.h"
#include "rewrites/rewrites.h"

namespace {

const Language Lua = Language::Lua;

// Every case also checks that both sources are Lua to the lexer: a refused
// source ends its stream, and two refused sources could look alike.
void checkLua(std::vector<PairCase> cases)
{
    for (const PairCase &c : cases) {
        EXPECT_EQ(refusalOf(c.a, Lua, c.options), "") << c.name << ": " << c.a;
        EXPECT_EQ(refusalOf(c.b, Lua, c.options), "") << c.name << ": " << c.b;
    }
    checkPairs(Lua, std::move(cases));
}

TEST(LuaNearMiss, Layout)
{
    checkLua({
        {"blanks and line ends", "local a=1 print(a)", "local a = 1\n\tprint( a )\r\n", true},
        {"a statement needs no line end", "a = 1 b = 2", "a = 1\nb = 2", true},
        {"a call's parenthesis on the next line", "a = b\n(f)()", "a = b(f)()", true},
        {"a semicolon is a token", "a = 1;", "a = 1", false},
        {"vertical tab and form feed", "a\v=\f1", "a = 1", true},
        {"a blank separates names", "local a", "locala", false, 1, 1, 1, 1},
        {"a byte order mark at the start", "\xEF\xBB\xBFx = 1", "x = 1", true},
        {"a name's byte beyond ASCII", "caf\xC3\xA9 = 1", "caf = 1", false},
        {"a first line that starts with '#'", "# any words\nx = 1", "x = 1", false},
        {"another first line that starts with '#'", "# any words\nx = 1", "# other words\nx = 1", false},
        {"a first line with '#' after a byte order mark", "\xEF\xBB\xBF# a\nx = 1", "# a\nx = 1", true},
        {"a first line's long comment does not run on", "#--[[\nx = 1\n--]]", "#--[[\nx = 2\n--]]", false},
        {"a '#' on a later line is an operator", "x = 1\n# y", "x = 1\n#y", true},
        {"a first #! line", "#!/usr/bin/env lua\nx = 1", "#!/usr/bin/env luajit\nx = 1", false},
        {"a #! line's blanks after #!", "#!/usr/bin/lua\nx = 1", "#! /usr/bin/lua\nx = 1", true},
    });
}

TEST(LuaNearMiss, Comments)
{
    checkLua({
        {"a line comment", "a = 1 -- one\nb = 2", "a = 1 b = 2", true},
        {"a line comment ends at its line end", "-- a\nb = 2", "-- a b = 2", false},
        {"a line comment ends at a lone CR", "-- a\rb = 2", "b = 2", true},
        {"and the code after the CR counts", "-- a\rb = 2", "-- a\rb = 3", false},
        {"a first line with '#' ends at a LF only", "#a\rb = 2\n", "#a\rb = 3\n", false},
        {"a long comment", "a = 1 --[[ one\ntwo ]] b = 2", "a = 1 b = 2", true},
        {"a long comment runs over lines", "--[[\nb = 2\n]]", "--\nb = 2\n]]", false},
        {"a long comment of level 2", "--[==[ a ]] b ]==] c = 1", "c = 1", true},
        {"a long comment closes at its own level", "--[==[ a ]] b = 1 --]==]", "--[==[ a ]] --]==] b = 1", false},
        {"a long comment closes at its first closing bracket", "--[[ a ]] b = 1 --]]", "--[[ a b = 1 ]]", false},
        {"'--[' with no long bracket is a line comment", "--[ a\nb = 1", "b = 1", true},
        {"and ends at its line end", "--[ a\nb = 1", "--[ a b = 1", false},
        {"'--[=' with no second bracket", "--[= a\nb = 1", "b = 1", true},
        {"a minus sign is no comment", "a = b - -c", "a = b --c", false},
        {"a comment in a string", "s = '-- a'", "s = ''", false},
        {"a long comment after a blank line comment", "-- [[\nx = 1\n]]", "x = 1\n]]", true},
    });
}

TEST(LuaNearMiss, Operators)
{
    checkLua({
        {"integer division is one token", "a = b // c", "a = b / / c", false},
        {"not equal", "a ~= b", "a ~ = b", false},
        {"not equal's blanks", "a~=b", "a ~= b", true},
        {"shifts", "a = b << c", "a = b < < c", false},
        {"shift right", "a = b >> c", "a = b > > c", false},
        {"less or equal", "a <= b", "a < = b", false},
        {"greater or equal", "a >= b", "a > = b", false},
        {"equal", "a == b", "a = = b", false},
        {"a label", "::top::", ":: top ::", true},
        {"a label's colons", "::top::", ": :top: :", false},
        {"concatenation", "a = b .. c", "a = b . . c", false},
        {"varargs", "f(...)", "f(.. .)", false},
        {"four dots", "a = b....c", "a = b ... .c", true},
        {"bitwise operators", "a = b & c | d ~ e", "a=b&c|d~e", true},
        {"a length", "n = #t", "n = # t", true},
        {"brackets", "t[ [=[x]=] ]", "t[[=[x]=]]", false},
        {"a method call", "a:b()", "a : b ( )", true},
        {"a method call's name", "a:b()", "a:c()", false},
    });
}

TEST(LuaNearMiss, Numbers)
{
    checkLua({
        {"a number's digits", "x = 10", "x = 1 0", false},
        {"a hex number", "x = 0x1F", "x = 0x1f", false},
        {"a hex number is as written", "x = 0x10", "x = 16", false},
        {"a hex float", "x = 0x1p4", "x = 0x1 p4", false},
        {"a hex float's sign", "x = 0x1p-4", "x = 0x1 p-4", false},
        {"a hex number's 'e' is a digit", "x = 0x1e-5", "x = 0x1e - 5", true},
        {"an exponent's sign", "x = 1e-5", "x = 1 e-5", false},
        {"a sign after no exponent", "x = 1-5", "x = 1 - 5", true},
        {"an exponent", "x = 1e10", "x = 1E10", false},
        {"a fraction", "x = 1.5", "x = 1 .5", false},
        {"a fraction without digits after", "x = 1.", "x = 1.0", false},
        {"a leading dot", "x = .5", "x = 0.5", false},
        {"a number then concatenation", "x = a .. 1", "x = a ..1", true},
        {"a number after a dot", "x = t.a.5", "x = t.a .5", true},
        {"LuaJIT's suffixes", "x = 1LL", "x = 1ll", false},
        {"an imaginary number", "x = 2i", "x = 2", false},
    });
}

TEST(LuaNearMiss, Strings)
{
    checkLua({
        {"a string's blanks", "s = 'a b'", "s = 'a  b'", false},
        {"a string's quotes are as written", "s = 'a'", "s = \"a\"", false},
        {"the other quote inside", "s = \"it's\"", "s = \"it's\" ", true},
        {"an escaped quote", "s = 'a\\'b'", "s = 'a' b''", false},
        {"an escaped backslash", "s = 'a\\\\' b = 1", "s = 'a\\' b = 1'", false},
        {"an escaped line end", "s = 'a\\\nb'", "s = 'a\\nb'", false},
        {"an escaped CR LF", "s = 'a\\\r\nb'", "s = 'a\\\nb'", false},
        {"an escaped LF CR", "s = 'a\\\n\rb'", "s = 'a\\\n\rb'", true},
        {"a \\z escape's blanks are as written", "s = 'a\\z\n   b'", "s = 'a\\z b'", false},
        {"a \\z escape's line ends", "s = 'a\\z\n\n  b' t = 1", "s = 'a\\z\n\n  b'\nt = 1", true},
        {"a decimal escape", "s = '\\65'", "s = 'A'", false},
        {"a comment after a string", "s = 'a' -- b", "s = 'a'", true},
        {"an escaped zero digit", "s = '\\0'", "s = '\\00'", false},
    });
}

TEST(LuaNearMiss, LongStrings)
{
    checkLua({
        {"a long string", "s = [[a b]]", "s = [[a  b]]", false},
        {"a long string's level", "s = [[a]]", "s = [=[a]=]", false},
        {"a long string's first line end is as written", "s = [[\nx]]", "s = [[x]]", false},
        {"a long string's CR LF is a line feed", "s = [[a\r\nb]]", "s = [[a\nb]]", true},
        {"a lone CR stays", "s = [[a\rb]]", "s = [[a\nb]]", false},
        {"a long string's brackets of other levels", "s = [==[a]]b]=]c]==] t = 1", "s = [==[a]]b]=]c]==]\nt = 1",
         true},
        {"it ends at its own level", "s = [=[a]]=] t = 1 --]=]", "s = [=[a]] t = 1 --]=]", false},
        {"a long string holds no comment", "s = [[-- a]]", "s = [[]]", false},
        {"a '[' after a name", "t [ 1 ]", "t[1]", true},
        {"a long string after a name is a call", "f[[a]]", "f [[a]]", true},
    });
}

TEST(LuaNearMiss, CommentWords)
{
    LexOptions comments;
    comments.comments = true;
    std::vector<PairCase> cases = {
        {"words compare", "x = 1 -- a  b\n", "x = 1 --a b\n", true},
        {"an edited word", "x = 1 -- a b\n", "x = 1 -- a c\n", false},
        {"a lone CR ends a comment's words", "-- a\rx = 1", "-- a x = 1", false},
        {"a lone CR after a comment's words", "-- a\rx = 1", "-- a\nx = 1", true},
        {"a long comment's words", "--[[ a\n b ]] x = 1", "--[[a b]] x = 1", true},
        {"a long comment's edited word", "--[[ a b ]] x = 1", "--[[ a c ]] x = 1", false},
        {"a long comment's end", "--[[ a ]] x = 1", "--[[ a x = 1 ]]", false},
        {"a bracket inside a word", "--[=[ a]]b ]=] x = 1", "--[=[ a]]b]=] x = 1", true},
        {"a long comment's level is its opener's", "--[=[ a ]] b ]=] x", "--[=[ a ]] ]=] b x", false},
    };
    for (PairCase &c : cases)
        c.options = comments;
    checkLua(cases);
}

TEST(LuaNearMiss, QuotesRule)
{
    checkRewritePairs(Lua, rewriteBit(Rewrite::Quotes), {
        {"either quotes", "s = 'a b'", "s = \"a b\"", true},
        {"a string's text still counts", "s = 'a b'", "s = \"a  b\"", false},
        {"an escaped single quote", "s = 'it\\'s'", "s = \"it's\"", true},
        {"an escaped single quote in double quotes", "s = \"it\\'s\"", "s = \"it's\"", true},
        {"a double quote inside single quotes", "s = 'a \"b\"'", "s = \"a \\\"b\\\"\"", true},
        {"an escaped backslash before a quote", "s = 'a\\\\'", "s = \"a\\\\\"", true},
        {"other escapes stay as written", "s = '\\65'", "s = \"A\"", false},
        {"a backslash is not a quote", "s = 'a\\\\b'", "s = \"a'b\"", false},
        {"long strings stay as written", "s = [[a]]", "s = \"a\"", false},
        {"a call's string", "f'a'", "f \"a\"", true},
        {"a name is no string", "s = a", "s = \"a\"", false},
    });
}

// The place where the lexer refuses text as not Lua, "L:C", or "" when it
// does not; another refusal is given as it stands.
std::string rejection(const std::string &text)
{
    const std::string why = refusalOf(text, Lua);
    const std::string head = "not valid Lua at line ";
    if (why.compare(0, head.size(), head) != 0)
        return why;
    const std::size_t comma = why.find(", column ");
    return why.substr(head.size(), comma - head.size()) + ":" + why.substr(comma + 9);
}

TEST(LuaRefused, NotLua)
{
    const struct {
        std::string text;
        const char *place;
    } cases[] = {
        {"s = 'a", "1:7"},
        {"s = 'a\nb'", "1:7"},
        {"s = \"a\rb\"", "1:7"},
        {"s = 'a\\", "1:8"},
        {"s = [[a", "1:5"},
        {"s = [==[a]=]", "1:5"},
        {"x = 1\n--[[ a", "2:1"},
        {"--[==[ a ]]\n", "1:1"},
        {"s = [=a", "1:5"},
        {"x = 1 ! 2", "1:7"},
        {"x = a ? b", "1:7"},
        {"x = $a", "1:5"},
        {"x = @a", "1:5"},
        {"x = `a`", "1:5"},
        {"x = a \\ b", "1:7"},
        {"x = 1\x01", "1:6"},
        {"x = 3a", "1:5"},
        {"x = 3g", "1:5"},
        {"x = 1..2", "1:5"},
        {"x = 0x", "1:5"},
        {"x = 1e", "1:5"},
        {"x = 1e+", "1:5"},
        {"x = 0x1p", "1:5"},
        {"x = 1.5LL", "1:5"},
        {"x = 1.2.3", "1:5"},
        {"x = 1_000", "1:5"},
        {"x = 'a\\z\n", "2:1"},
        {std::string("x = 1\0", 6), "1:6"},
        {"s = [" + std::string(60, '=') + "[a]]", "a long bracket of more '=' than Matchling reads"},
        {"--[" + std::string(60, '=') + " a line comment", "a long bracket of more '=' than Matchling reads"},
        {"x = " + std::string(70000, '1'), "a number too long to compare"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(rejection(c.text), c.place) << c.text;
}

TEST(LuaRefused, LuaAfterAll)
{
    const std::string texts[] = {
        "x = 0x1P-2", "x = 0xA.8p1", "x = .5e3", "x = 3.", "x = 0x.8", "x = 12ULL", "x = 0x10ull", "x = 1.5i",
        "x = 1e+5", "s = '\\u{48}\\x41\\065'", "s = [=[]]]=]", "s = 'a\\\r\nb'", "s = \"a\\z \r\n b\"", "--[==",
        "--[[]]", "x = 1 --[[ a ]]", std::string("s = '\0'", 7),
        "s = [" + std::string(48, '=') + "[a]" + std::string(48, '=') + "]",
    };
    for (const std::string &text : texts)
        EXPECT_EQ(rejection(text), "") << text;
}

TEST(LuaLexer, Tokens)
{
    const std::vector<Tok> t = lexText("#!/usr/bin/lua\nlocal s = [==[\na]]\n]==] .. 'x' -- c\nreturn s//2, 0x1p-4", Lua);
    const std::vector<std::string> expected = {"#!/usr/bin/lua", "local", "s", "=", "[==[\na]]\n]==]", "..", "'x'",
                                               "return", "s", "//", "2", ",", "0x1p-4", ""};
    EXPECT_EQ(keysOf(t), expected);
    EXPECT_EQ(t[7].line, 5);
    EXPECT_EQ(t[7].column, 1);
}

TEST(LuaLexer, LongTokensComeInPieces)
{
    const std::string body(200000, 'x');
    checkLua({
        {"a long string longer than the window", "s = [[" + body + "]] t", "s = [[" + body + "]]\nt", true},
        {"its last byte", "s = [[" + body + "]] t", "s = [[" + body + "y]] t", false},
        {"its CR LF", "s = [[" + body + "\r\n]] t", "s = [[" + body + "\n]] t", true},
        {"a quoted string longer than the window", "s = '" + body + "' t", "s = '" + body + "'\nt", true},
        {"a \\z escape's blanks past the window", "s = 'a\\z" + std::string(70000, '\n') + "b'",
         "s = 'a\\z" + std::string(70000, '\n') + "b' ", true},
        {"a long comment longer than the window", "--[[" + body + "]] t", "t", true},
        {"a name longer than the window", body + " = 1", body + "  =  1", true},
        {"and its last byte", body + " = 1", body + "y = 1", false},
    });
    EXPECT_EQ(rejection("s = [[" + body), "1:5");
    EXPECT_EQ(rejection("s = '" + body), "1:200006");
}

} // namespace

// Lua sources judged by luaparse's lexer: the samples of tests/languages/lua
// (written for these tests) and the Lua files of this machine (at most
// kMachineSamples), each read by the lexer as luaparse reads it, and each
// with its relayout mutants (blanks and line ends moved, comments added:
// luaparse must read the same tokens, and the pair must be equivalent) and
// its token mutants (a name joined to the next or split, a string's content,
// an operator or a digit changed: every pair luaparse reads differently must
// be flagged). No Lua formatter is at hand: StyLua's package downloads its
// binary from the network, and Debian has none.

namespace {

constexpr int kMachineSamples = 60;  // Lua files of this machine taken at most

std::string luaJudge()
{
    return "NODE_PATH='" + std::string(MATCHLING_NPM_TOOLS) + "/..' node '" + std::string(MATCHLING_SOURCE_DIR) +
           "/tests/languages/lua_judge.js'";
}

// Judges the pairs of dir a and dir b under root: a pair that luaparse reads
// the same must be equivalent, any other must not.
TreeTally judgeLua(const std::string &root, const std::string &a, const std::string &b)
{
    const TreeTally t = judgeTrees(luaJudge() + " judge", root, a, b);
    EXPECT_EQ(t.falseAlarms, 0) << a << " against " << b;
    return t;
}

TEST(LuaReaderTools, LuaparseJudgesRelayoutsAndMutants)
{
    const std::string npm = std::string(MATCHLING_NPM_TOOLS) + "/..";
    if (!haveTool("node") || !exists(npm + "/luaparse"))
        GTEST_SKIP() << "node and tests/npm's luaparse are needed (npm ci in tests/npm)";
    ScratchDir dir;
    const std::string data = std::string(MATCHLING_SOURCE_DIR) + "/tests/languages/lua";
    std::string files = "'" + data + "'/*.lua";
    for (const std::string &f :
         commandLines("find /usr/share/lua /usr/lib/x86_64-linux-gnu/lua /usr/local/share/lua -name '*.lua' "
                      "-exec realpath {} + 2>/dev/null | sort -u | head -" + std::to_string(kMachineSamples)))
        files += " '" + f + "'";
    ASSERT_EQ(std::system((luaJudge() + " make '" + dir.path() + "' " + files).c_str()), 0);

    // The lexer's tokens are luaparse's, but for a first '#' line, which
    // luaparse leaves out.
    int samples = 0;
    for (const std::string &name : commandLines("ls '" + dir.path() + "/orig'")) {
        ++samples;
        const std::string text = commandOutput(luaJudge() + " tokens '" + dir.path() + "/orig' '" + name + "'");
        std::vector<std::string> expected;
        for (std::size_t at = 0, end; (end = text.find('\0', at)) != std::string::npos; at = end + 1)
            expected.push_back(text.substr(at, end - at));
        const std::vector<Tok> got = lexFile(dir.path() + "/orig/" + name, Lua);
        std::vector<std::string> keys;
        for (const Tok &k : got)
            if (k.kind != TokenKind::End && !(k.line == 1 && k.column == 1 && k.key[0] == '#'))
                keys.push_back(k.key);
        EXPECT_EQ(keys, expected) << name;
    }
    std::printf("Lua: %d samples read by the lexer as luaparse reads them\n", samples);
    EXPECT_GE(samples, 2);

    for (const char *relayout : {"spread", "squeezed", "lines", "commented"}) {
        EXPECT_EQ(judgeLua(dir.path(), "orig", relayout).misses, 0);
    }
    for (const char *mutant : {"joined", "split", "string", "operator", "number"}) {
        const TreeTally m = judgeLua(dir.path(), "orig", mutant);
        EXPECT_GE(m.differ, 1) << mutant;
        EXPECT_EQ(m.misses, 0) << mutant;
    }
}

} // namespace
