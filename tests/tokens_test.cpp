// The lexers: pairs of sources that must give equal token streams or must
// differ (both ways round, with the places of the first difference), places,
// long tokens, and the C lexer against clang's raw lexer on this machine's
// headers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/byte_buffer.h"
#include "languages/languages.h"
#include "lex_support.h"
#include "support.h"
#include "languages/languages.h"
#include "tokens/lexer.h"
#include "tokens/records.h"

namespace {

const Language C = Language::CFamily;
const Language B = Language::Basic;

LexOptions withComments()
{
    LexOptions o;
    o.comments = true;
    return o;
}

LexOptions withSortedIncludes()
{
    LexOptions o;
    o.sortedIncludes = true;
    return o;
}

std::vector<Tok> lex(const std::string &text, Language language = C, const LexOptions &options = {})
{
    return lexText(text, language, options);
}

// A source read whole, as the Markdown and YAML lexers read theirs: from
// memory or a file (from where it stands), cut at its first Ctrl-Z, refused
// just past its bound, and across the reads of 64 KiB it takes; the same
// after a content test looked at its start (those bytes given out first).
TEST(WholeSource, CutAtCtrlZAndBounded)
{
    const std::string big(200000, 'x');
    const struct {
        const char *name;
        std::string text;
        std::size_t skip;  // bytes of a file read before
        std::size_t bound;
        bool file, read;
        std::string expected;
    } kCases[] = {
        {"in memory", "abc", 0, 3, false, true, "abc"},
        {"in memory, one past the bound", "abcd", 0, 3, false, false, ""},
        {"Ctrl-Z", std::string("ab\x1a" "cd", 5), 0, 10, false, true, "ab"},
        {"Ctrl-Z past the bound", std::string("abcd\x1a", 5), 0, 4, true, true, "abcd"},
        {"a file of several reads", big, 0, big.size(), true, true, big},
        {"a file one past the bound", big, 0, big.size() - 1, true, false, ""},
        {"a file read in part", big + "yz", 5, big.size() - 3, true, true, big.substr(5) + "yz"},
        {"Ctrl-Z in a later read", big + "\x1a" + big, 0, 3 * big.size(), true, true, big},
    };
    for (const auto &c : kCases) {
        for (const std::size_t look : {std::size_t{0}, std::size_t{2}, kContentBytes}) {
            SCOPED_TRACE(c.name + std::string(", looked at ") + std::to_string(look));
            SourceStream source;
            std::FILE *f = nullptr;
            if (c.file) {
                f = std::tmpfile();
                ASSERT_TRUE(f);
                std::fwrite(c.text.data(), 1, c.text.size(), f);
                std::fseek(f, static_cast<long>(c.skip), SEEK_SET);
                source.stream = f;
            } else {
                source.bytes = c.text.data();
                source.remaining = static_cast<std::int64_t>(c.text.size());
            }
            char head[kContentBytes];
            EXPECT_EQ(lookAhead(source, head, look), std::min(look, c.text.size() - c.skip));
            ByteBuffer text;
            EXPECT_EQ(readWholeSource(source, text, c.bound), c.read);
            EXPECT_EQ(std::string(text.data(), text.size()), c.expected);
            if (f)
                std::fclose(f);
        }
    }
}

// A record's key is copied whole and marked where it holds a zero byte: every
// length up to past the word-at-a-time bound, a zero at each place or none.
TEST(Records, KeysCopiedAndZeroBytesFound)
{
    for (std::size_t n = 0; n <= 40; ++n) {
        for (std::size_t zero = 0; zero <= n; ++zero) {  // zero == n: no zero byte
            SCOPED_TRACE("length " + std::to_string(n) + ", zero at " + std::to_string(zero));
            std::string key(n, '\x80');
            for (std::size_t i = 0; i < n; ++i)
                key[i] = static_cast<char>(i % 2 ? 0x01 : 0xff);
            if (zero < n)
                key[zero] = 0;
            ByteBuffer tokens;
            addRecord(tokens, TokenKind::Code, "x", 1, 0, 1);
            const std::size_t at = addRecord(tokens, TokenKind::Code, key.data(), n, 7, 3);
            ASSERT_EQ(tokens.size(), at + kRecordHead + n);
            EXPECT_EQ(std::string(tokens.data() + at + kRecordHead, n), key);
            EXPECT_EQ((static_cast<unsigned char>(tokens[at]) & kRecordZeroByte) != 0, zero < n);
            EXPECT_EQ(static_cast<unsigned char>(tokens[0]) & kRecordZeroByte, 0);
        }
    }
}

TEST(Tokens, LayoutOnlyIsEqual)
{
    checkPairs({
        {"re-indented", "int f() {\n  return 1;\n}\n", "int f()\n{\n\treturn 1;\n}", true},
        {"joined lines", "a =\n  b +\n  c;", "a = b + c;", true},
        {"moved comment", "x = 1; // one\ny = 2;", "/* one */ x = 1;\ny = /* two */ 2;", true},
        {"CR LF against LF", "#define A 1\r\nint x;\r\n", "#define A 1\nint x;\n", true},
        {"splice inside a name", "ab\\\ncd = 1;", "abcd = 1;", true},
        {"splice inside a // comment", "x; // a \\\n b = 2;\ny;", "x;\ny;", true},
        {"spliced directive", "#define X \\\n  1\nint y;", "#define X 1\nint y;", true},
        {"blanks before a splice's line end", "#define X \\ \t\f\v\r\n  1\nint y;", "#define X 1\nint y;", true},
        {"splice with blanks inside a name", "ab\\  \ncd = 1;", "abcd = 1;", true},
        {"re-indented C# raw string", "s = \"\"\"\n    a\n      b\n    \"\"\";", "s = \"\"\"\n  a\n    b\n  \"\"\";", true},
        {"re-indented interpolated raw string", "s = $$\"\"\"\"\n    {{f(\"}}\")}} {x}\n\n    \"\"\"\";",
         "s = $$\"\"\"\"  \r\n{{f(\"}}\")}} {x}\r\n\r\n\"\"\"\";", true},
        {"three quotes in C: \"\" and another string", "s = \"\"\"a\" \"b\";", "s = \"ab\";", true},
        {"line feed inside a comment in a directive", "#define A 1 /* x\n y */ + 2\nz;", "#define A 1 + 2\nz;", true},
        {"split strings", "s = \"ab\" \"c\";", "s = \"a\"\n  \"bc\";", true},
        {"strings joined across a comment", "s = \"a\" /* c */ \"b\";", "s = \"ab\";", true},
        {"same prefix joins", "s = u8\"a\" \"b\" u8\"c\";", "s = u8\"abc\";", true},
        {"an unterminated literal never joins", "s = \"a\" \"b\n;", "s = \"a\"\n\"b\n;", true},
        {"suffix ends the join", "x = \"a\" \"b\"_s;", "x = \"ab\"_s;", true},
        {"shift against two closers", "vector<vector<int>> v;", "vector<vector<int> > v;", true},
        {"comment between include lines", "#include <a.h>\n/* x */\n#include <b.h>\n",
         "#include <a.h>\n#include <b.h>\n", true},
        {"reflowed block comment words", "/* one two\n * three */ x;", "/*\n * one\n * two three\n */ x;", true,
         0, 0, 0, 0, C, withComments()},
        {"reflowed line comments", "// one two\n// three\nx;", "// one\n// two three\nx;", true, 0, 0, 0, 0, C,
         withComments()},
        {"sorted includes", "#include <b.h>\n#include \"a.h\"\nint x;", "#include \"a.h\"\n\n#include <b.h>\nint x;",
         true, 0, 0, 0, 0, C, withSortedIncludes()},
        {"Ctrl-Z ends the input", "a;\x1a b c", "a;", true},
        {"lone CR is a blank", "a\rb", "a b", true},
    });
}

TEST(Tokens, ChangedCodeDiffers)
{
    checkPairs({
        {"names joined", "unsigned int x;", "unsignedint x;", false, 1, 1, 1, 1},
        {"name split", "  return x;", "  ret urn x;", false, 1, 3, 1, 3},
        {"blank inside a string", "s = \"a b\";", "s = \"ab\";", false, 1, 5, 1, 5},
        {"function-like macro", "#define F(x) (x)", "#define F (x) (x)", false, 1, 10, 1, 11},
        {"comment between name and paren", "#define F(x) x", "#define F/**/(x) x", false, 1, 10, 1, 14},
        {"directive joined with the next line", "#define A 1\nint x;", "#define A 1 int x;", false, 1, 12, 1, 13},
        {"unary minus twice", "y = a - -b;", "y = a--b;", false, 1, 7, 1, 6},
        {"division by a dereference", "y = x / *p;\nz;", "y = x /*p;\nz;*/ w;", false, 1, 7, 2, 6},
        {"code moved into a comment", "a; b;", "a; // b;", false, 1, 4, 1, 3},
        {"different prefixes stay apart", "s = \"a\" u8\"b\";", "s = u8\"ab\";", false, 1, 5, 1, 5},
        {"raw strings never join", "s = R\"(a)\" \"b\";", "s = R\"(ab)\";", false, 1, 5, 1, 5},
        {"a directive's end ends a join", "#define S \"a\"\n\"b\"", "#define S \"a\" \"b\"", false, 1, 11, 1,
         11},
        {"shift assignment stays one token", "x >>= 1;", "x > >= 1;", false, 1, 3, 1, 3},
        {"backslash and blanks before no line end", "s = \"a\\ b\";", "s = \"a\\b\";", false, 1, 5, 1, 5},
        {"splice with blanks joins names", "a\\ \nb = 1;", "a \\ \nb = 1;", false, 1, 1, 1, 1},
        {"blank inside a C# raw string line", "s = \"\"\"\n  a b\n  \"\"\";", "s = \"\"\"\n  ab\n  \"\"\";", false, 1, 5, 1,
         5},
        {"C# raw string line moved out", "s = \"\"\"\n    a\n  b\n  \"\"\";", "s = \"\"\"\n    a\n    b\n  \"\"\";", false,
         1, 5, 1, 5},
        {"single-line raw string keeps blanks", "s = \"\"\"a  b\"\"\";", "s = \"\"\"a b\"\"\";", false, 1, 5, 1, 5},
        {"raw string's hole as written", "s = $\"\"\"{x} \"\"\";", "s = $\"\"\"{x}\"\"\";", false, 1, 5, 1, 5},
        {"edited comment word", "x; /* one two */", "x; /* one too */", false, 1, 11, 1, 11, C, withComments()},
        {"comment ends a join when compared", "s = \"a\" /* c */ \"b\";", "s = \"ab\";", false, 1, 5, 1, 5, C,
         withComments()},
        {"unsorted includes", "#include <b.h>\n#include <a.h>\n", "#include <a.h>\n#include <b.h>\n", false, 1, 10,
         1, 10},
        {"code ends an include run", "#include <b.h>\nint x;\n#include <a.h>\n",
         "#include <a.h>\nint x;\n#include <b.h>\n", false, 1, 10, 1, 10, C, withSortedIncludes()},
    });
}

// A block comment the input ends inside is no layout: the compiler rejects the
// source, which must not equal one whose comment closes. Its words stay layout
// (or, with --comments, words), as in any comment.
TEST(Tokens, UnclosedBlockComment)
{
    const std::string longText(100000, 'c');
    for (Language language : {C, Language::Go, Language::Json, Language::JavaScript, Language::TypeScript,
                              Language::Tsx, Language::Rust, Language::Java}) {
        for (bool words : {false, true}) {
            SCOPED_TRACE(testing::Message() << "language " << static_cast<int>(language) << ", words " << words);
            LexOptions options;
            options.comments = words;
            std::vector<PairCase> cases = {
                {"a closing star split", "[1] /* c */", "[1] /* c * /", false, 0, 0, 1, 5},
                {"no closing star", "[1]\n/* c\n */", "[1]\n/* c\n", false, 0, 0, 2, 1},
                {"a long comment", "[1] /*" + longText + "*/", "[1] /*" + longText, false, 0, 0, 1, 5},
                {"layout inside the unclosed comment", "[1] /* c\n", "[1]\n  /*  c ", true},
            };
            if (language == Language::Rust)
                cases.push_back({"a nested comment left open", "[1] /* /* c */ */", "[1] /* /* c */", false, 0, 0, 1, 5});
            if (language == Language::Java)
                cases.resize(2);  // the rest of a Java source from an unclosed comment compares as written
            for (PairCase &c : cases)
                c.options = options;
            checkPairs(language, cases);
        }
    }
}

TEST(Tokens, BasicPairs)
{
    checkPairs({
        {"case of names and keywords", "Dim x As Integer\n", "DIM X as integer\n", true, 0, 0, 0, 0, B},
        {"case of numbers", "y = &hff + 1e5\n", "y = &HFF + 1E5\n", true, 0, 0, 0, 0, B},
        {"continuation", "a = 1 + _\n    2\n", "a = 1 + 2\n", true, 0, 0, 0, 0, B},
        {"comments and blank lines", "' note\n\na = 1 ' one\nRem all\n", "a = 1\n", true, 0, 0, 0, 0, B},
        {"Rem after a colon", "a = 1: rem x\n", "a = 1:\n", true, 0, 0, 0, 0, B},
        {"Remark is a name", "Remark = 1\n", "\n", false, 1, 1, 1, 1, B},
        {"statements joined with a colon", "a = 1\nb = 2\n", "a = 1: b = 2\n", false, 1, 6, 1, 6, B},
        {"case inside a string", "s = \"ab\"\n", "s = \"AB\"\n", false, 1, 5, 1, 5, B},
        {"quote escape", "s = \"a\"\"b\"\n", "s = \"a\" \"b\"\n", false, 1, 5, 1, 5, B},
        {"edited comment word", "a = 1 ' one\n", "a = 1 ' two\n", false, 1, 9, 1, 9, B, withComments()},
    });
}

struct PlaceCase {
    const char *name;
    std::string input;
    std::size_t index;  // which token
    std::string key;
    std::int64_t line, column;
    LexOptions options = {};
    Language language = C;
};

TEST(Tokens, Places)
{
    const PlaceCase cases[] = {
        {"after a tab", "\tx", 0, "x", 1, 2},
        {"after CR LF", "a\r\n  b", 1, "b", 2, 3},
        {"name across a splice", "  ab\\\ncd e", 0, "abcd", 1, 3},
        {"after a spliced name", "  ab\\\ncd e", 1, "e", 2, 4},
        {"after a spliced CR LF", "a \\\r\n b", 1, "b", 2, 2},
        {"after a splice with blanks", "a \\ \t\r\n b", 1, "b", 2, 2},
        {"after a C# raw string", "s = \"\"\"\r\n  a\r\n  \"\"\"; x", 4, "x", 3, 8},
        {"$$ raw string is one token", "s = $$\"\"\"{{x}}\"\"\";", 2, "$$\"\"\"{{x}}\"\"\"", 1, 5},
        {"C# raw string's key", "s = $\"\"\"\n    a{x}\n\n      b\n    \"\"\";", 2, "$\"\"\"\na{x}\n\n  b\n\"\"\"", 1, 5},
        {"second half of a shift", "a>>b", 2, ">", 1, 3},
        {"joined string at its first literal", "x\n  \"a\"\n\"b\"", 1, "\"ab\"", 2, 3},
        {"raw string over lines", "R\"d(\r\n)d\" y", 1, "y", 2, 5},
        {"LineEnd at its line feed", "#define A 1 \nx", 4, "\n", 1, 13},
        {"LineEnd at the end of the input", "#if X", 3, "\n", 1, 6},
        {"End after the last token", "x; \n\n", 2, "", 1, 3},
        {"End with no token", "\n\n", 0, "", 1, 1},
        {"comment word", "x; /* a\n   * bc */", 3, "bc", 2, 6, withComments()},
        {"after a C# string that a backslash leaves open", "x = \"a\\\ny", 3, "y", 2, 1, {}, Language::CSharp},
        {"after C# text that a backslash leaves open", "x = $\"a\\\ny", 3, "y", 2, 1, {}, Language::CSharp},
    };
    for (const PlaceCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Tok> t = lex(c.input, c.language, c.options);
        ASSERT_LT(c.index, t.size());
        EXPECT_EQ(t[c.index].key, c.key);
        EXPECT_EQ(t[c.index].line, c.line);
        EXPECT_EQ(t[c.index].column, c.column);
    }
}

TEST(Tokens, EmptySources)
{
    const struct {
        const char *name;
        std::string input;
        bool empty;
    } cases[] = {
        {"nothing", "", true},
        {"Ctrl-Z first", "\x1a int x;", true},
        {"one line feed", "\n", false},
        {"one splice", "\\\n", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        const std::string path = dir.file("s.c");
        writeFile(path, c.input);
        std::FILE *f = std::fopen(path.c_str(), "rb");
        SourceStream source;
        source.stream = f;
        std::unique_ptr<Lexer> lexer = std::make_unique<Lexer>();
        lexerStart(*lexer, C, {}, source);
        TokenPiece piece;
        lexerNext(*lexer, piece);
        EXPECT_EQ(lexerEmpty(*lexer), c.empty);
        std::fclose(f);
    }
}

// A run longer than the stores hold is sorted in groups that fill them.
TEST(Tokens, LongIncludeRunsSortInGroups)
{
    const int lines = static_cast<int>(kIncludeDirectives) + 44;
    std::string text;
    for (int k = lines - 1; k >= 0; --k)
        text += "#include <h" + std::to_string(1000 + k) + ">\n";
    std::vector<std::string> headers;
    for (const Tok &t : lex(text, C, withSortedIncludes()))
        if (t.key.size() > 1 && t.key[0] == '<')
            headers.push_back(t.key.substr(2, 4));
    ASSERT_EQ(headers.size(), static_cast<std::size_t>(lines));
    const struct {
        std::size_t index;
        const char *expected;
    } rows[] = {{0, "1044"}, {kIncludeDirectives - 1, "1299"}, {kIncludeDirectives, "1000"}, {headers.size() - 1, "1043"}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.index);
        EXPECT_EQ(headers[r.index], r.expected);
    }
}

// A directive that alone does not fit the stores comes out as it stands,
// between the sorted groups before and after it.
TEST(Tokens, IncludeTooLongToHold)
{
    const std::string name(kIncludeKeyBytes + 100, 'x');
    std::string text = "#include <b>\n#include <a>\n#include \"" + name + "\"\n#include <d>\n#include <c>\n";
    std::vector<std::string> order;
    for (const Tok &t : lex(text, C, withSortedIncludes()))
        if (t.kind == TokenKind::Code && t.key != "#" && t.key != "include")
            order.push_back(t.key.size() > 10 ? "long" : t.key);
    EXPECT_EQ(order, (std::vector<std::string>{"<a>", "<b>", "long", "<c>", "<d>"}));
    std::vector<Tok> t = lex(text, C, withSortedIncludes());
    EXPECT_TRUE(std::any_of(t.begin(), t.end(), [&](const Tok &k) { return k.key == "\"" + name + "\""; }));
}

// Tokens longer than the window, and places past several windows.
TEST(Tokens, LongTokensComeWhole)
{
    const std::string mega(1 << 20, 'x');
    const std::string pad(kLexWindowSize - 3, ' ');
    const std::string blanks(kLexReadSize + 10, ' ');
    std::string spliced;
    for (std::size_t k = 0; k < kLexSplices * 3; ++k)
        spliced += "a\\\n";
    const struct {
        const char *name;
        std::string input;
        std::size_t index;
        std::string key;
        std::int64_t line, column;
    } cases[] = {
        {"long string", "a \"" + mega + "\" b", 1, "\"" + mega + "\"", 1, 3},
        {"long name", "a " + mega + " b", 1, mega, 1, 3},
        {"long comment then a name", "/*" + mega + "\n*/ b", 0, "b", 2, 4},
        {"long joined string", "\"" + mega + "\"\n\"y\" b", 0, "\"" + mega + "y\"", 1, 1},
        {"long raw string with CR LF", "R\"(" + mega + "\r\n)\" b", 0, "R\"(" + mega + "\n)\"", 1, 1},
        {"name across the window's end", pad + "abcdef g", 0, "abcdef", 1, static_cast<std::int64_t>(pad.size()) + 1},
        {"splice at the window's end", pad + "ab\\\ncd g", 1, "g", 2, 4},
        {"shift at the window's end", pad + "a>>b", 2, ">", 1, static_cast<std::int64_t>(pad.size()) + 3},
        {"more splices than records", "x " + spliced + " y", 2, "y", static_cast<std::int64_t>(kLexSplices) * 3 + 1, 2},
        {"blanks of a splice across a read", pad + "ab\\   \ncd g", 1, "g", 2, 4},
        {"blanks after a backslash beyond a read", "x\\" + blanks + "\ny z", 0,
         "x\x84" + std::string(blanks.size(), '\x80') + "\x85y", 1, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Tok> t = lex(c.input);
        ASSERT_LT(c.index, t.size());
        EXPECT_TRUE(t[c.index].key == c.key) << t[c.index].key.size() << " bytes, not " << c.key.size();
        EXPECT_EQ(t[c.index].line, c.line);
        EXPECT_EQ(t[c.index].column, c.column);
    }
}

// The "#!" line a kernel reads to run a file (hashBangStep): one token
// where the language reads it as a comment or hashbang, its own tokens in the
// others; either way another interpreter differs, in every language.
TEST(HashBang, EveryLanguageTellsInterpretersApart)
{
    for (std::size_t r = 0; r < kLanguageRowCount; ++r) {
        const Language l = kLanguageRows[r].language;
        if (!languageBuilt(l))
            continue;
        SCOPED_TRACE(kLanguageRows[r].name);
        for (const LexOptions &o : {LexOptions{}, withComments()})
            EXPECT_GE(firstDifference(lexText("#!/bin/bash\n", l, o), lexText("#!/bin/sh\n", l, o)), 0);
    }
}

// The line's key, where the window ends inside it, as the shared layer makes
// it for every language that switches it on (Python here, whose
// line ends CR LF and a lone CR end too).
TEST(HashBang, TheLineAsTheKernelReadsIt)
{
    const std::string longer(kLexWindowSize + 100, 'a');
    const std::string edge(kLexWindowSize - 6, 'a');
    checkPairs(Language::Python, {
        {"another interpreter", "#!/bin/bash\nx\n", "#!/bin/sh\nx\n", false, 1, 1, 1, 1},
        {"blanks after #!", "#! \t/bin/sh\nx\n", "#!/bin/sh\nx\n", true},
        {"blanks and a CR at the end", "#!/bin/sh \t\r\nx\r\n", "#!/bin/sh\nx\n", true},
        {"blanks inside are an argument", "#!/usr/bin/env  sh\n", "#!/usr/bin/env sh\n", false},
        {"a CR inside", "#!/bin/sh\rx\n", "#!/bin/sh x\n", false},
        {"a CR before a blank", "#!/bin/sh\r \n", "#!/bin/sh\n", false},
        {"an empty line", "#!\nx\n", "#!  \r\nx\n", true},
        {"an empty line is a token", "#!\nx\n", "x\n", false},
        {"a byte order mark keeps the kernel from it", "\xEF\xBB\xBF#!/bin/sh\n", "#!/bin/sh\n", false},
        {"past the window's end", "#!/" + longer + "b\n", "#!/" + longer + "c\n", false},
        {"blanks across the window's end", "#!/" + edge + "        \t \r\nx\n", "#!/" + edge + "\nx\n", true},
        {"a byte kept across the window's end", "#!/" + edge + "xyz \nb\n", "#!/" + edge + "xy \nb\n", false},
        {"blanks inside across the window's end", "#!/" + edge + "x          y\n", "#!/" + edge + "x y\n", false},
        {"a line without its end", "#!/bin/sh  ", "#!/bin/sh", true},
        {"past the first line, a comment", "x\n#!/bin/bash\n", "x\n#!/bin/sh\n", true},
    });
    // With --comments, the line is no comment's words besides.
    const std::vector<Tok> t = lexText("#!/bin/sh -e\necho\n", Language::Shell, withComments());
    ASSERT_GE(t.size(), 2u);
    EXPECT_EQ(t[0].key, "#!/bin/sh -e");
    EXPECT_EQ(t[1].key, "echo");
    // Runs of plain tokens start after it.
    const ScratchDir dir;
    writeFile(dir.file("run.sh"), "#!/bin/sh\necho a b c\n");
    EXPECT_EQ(firstDifference(lexFileInRuns(dir.file("run.sh"), Language::Shell, 64, 4096),
                              lexText("#!/bin/sh\necho a b c\n", Language::Shell)), -1);
}

// clang's raw lexer: one token with its spelling and place; layout tells
// whitespace and comments.
struct ClangTok {
    std::string kind;
    std::string spelling;
    std::int64_t line, column;
    bool layout;
};

// The tokens in the output of "clang -cc1 -dump-raw-tokens": records
// "kind 'spelling'<TAB>flags<TAB>Loc=<file:line:column>".
std::vector<ClangTok> parseClangDump(const std::string &dump)
{
    std::vector<ClangTok> out;
    std::size_t at = 0;
    for (;;) {
        std::size_t loc = dump.find("\tLoc=<", at);
        std::size_t close = dump.find(">\n", loc);
        if (loc == std::string::npos || close == std::string::npos)
            return out;
        std::string record = dump.substr(at, loc - at);
        std::string where = dump.substr(loc, close - loc);
        at = close + 2;
        std::size_t colon2 = where.rfind(':'), colon1 = where.rfind(':', colon2 - 1);
        std::size_t unclean = record.find(" [UnClean='");
        if (unclean != std::string::npos)
            record.erase(unclean);
        std::size_t open = record.find(" '"), end = record.rfind("'\t");
        if (end == std::string::npos)
            end = record.rfind('\'');
        ClangTok t;
        t.kind = record.substr(0, open);
        t.spelling = record.substr(open + 2, end - open - 2);
        t.line = std::atoll(where.c_str() + colon1 + 1);
        t.column = std::atoll(where.c_str() + colon2 + 1);
        t.layout = t.kind == "comment" ||
                   (t.kind == "unknown" && t.spelling.find_first_not_of(" \t\n\r\v\f") == std::string::npos);
        out.push_back(t);
    }
}

// Index of the first token from j on that is not layout.
std::size_t skipLayoutTokens(const std::vector<ClangTok> &t, std::size_t j)
{
    while (j < t.size() && t[j].layout)
        ++j;
    return j;
}

// Offset in text of line:column.
std::size_t offsetOf(const std::string &text, std::int64_t line, std::int64_t column)
{
    std::size_t at = 0;
    for (std::int64_t l = 1; l < line && at != std::string::npos; ++l)
        at = text.find('\n', at) + 1;
    return at + static_cast<std::size_t>(column - 1);
}

// True when clang places a token at the splices before its first byte: only
// backslash-newlines stand between its place and ours.
bool placedAtSplice(const std::string &text, const Tok &m, const ClangTok &t)
{
    std::size_t from = offsetOf(text, t.line, t.column), to = offsetOf(text, m.line, m.column);
    while (from < to && text[from] == '\\') {
        std::size_t n = text.compare(from + 1, 1, "\n") == 0 ? 2 : (text.compare(from + 1, 2, "\r\n") == 0 ? 3 : 0);
        if (n == 0)
            return false;
        from += n;
    }
    return from == to;
}

// Checks our tokens of a file against clang's, allowing the differences the
// lexer makes on purpose: string joining, ">>" split, LineEnd tokens, header
// names, places after splices. Returns a description of the first other
// difference, or "".
std::string compareWithClang(const std::vector<Tok> &ours, const std::vector<ClangTok> &theirs,
                             const std::string &text)
{
    std::size_t j = 0;
    for (std::size_t i = 0; i < ours.size(); ++i) {
        const Tok &m = ours[i];
        if (m.kind == TokenKind::LineEnd || m.kind == TokenKind::End)
            continue;
        j = skipLayoutTokens(theirs, j);
        std::string where = std::to_string(m.line) + ":" + std::to_string(m.column) + " [" + m.key + "]";
        if (j == theirs.size())
            return "clang has no token for " + where;
        const ClangTok &t = theirs[j];
        if ((t.line != m.line || t.column != m.column) && !placedAtSplice(text, m, t))
            return "place of " + where + ": clang's [" + t.spelling + "] is at " + std::to_string(t.line) + ":" +
                   std::to_string(t.column);
        std::string spelling = t.spelling;
        ++j;
        if (m.key == ">" && spelling == ">>" && i + 1 < ours.size() && ours[i + 1].key == ">") {
            ++i;
            continue;
        }
        if (m.key.size() > 1 && m.key[0] == '<' && m.key.back() == '>') {
            while (spelling.size() < m.key.size() && j < theirs.size())
                spelling += theirs[j++].spelling;
        }
        if (t.kind.find("string_literal") != std::string::npos) {
            for (std::size_t k = skipLayoutTokens(theirs, j); spelling != m.key && k < theirs.size() &&
                                                               theirs[k].kind.find("string_literal") != std::string::npos;
                 k = skipLayoutTokens(theirs, j)) {
                const std::string &next = theirs[k].spelling;
                spelling = spelling.substr(0, spelling.size() - 1) + next.substr(next.find('"') + 1);
                j = k + 1;
            }
        }
        if (spelling != m.key)
            return where + ": clang has [" + spelling + "]";
    }
    j = skipLayoutTokens(theirs, j);
    return j == theirs.size() ? "" : "clang has more: [" + theirs[j].spelling + "]";
}

// About count files under dir (every k-th in byte order of path) whose names
// match: no extension, or ".h".
std::vector<std::string> sampleFiles(const std::string &dir, std::size_t count, bool recursive)
{
    namespace fs = std::filesystem;
    std::vector<std::string> all;
    std::error_code ec;
    if (!fs::is_directory(dir, ec))
        return all;
    auto add = [&](const fs::directory_entry &e) {
        std::string ext = e.path().extension().string();
        if (e.is_regular_file() && (ext.empty() || ext == ".h" || ext == ".tcc"))
            all.push_back(e.path().string());
    };
    if (recursive)
        for (const auto &e : fs::recursive_directory_iterator(dir, ec))
            add(e);
    else
        for (const auto &e : fs::directory_iterator(dir, ec))
            add(e);
    std::sort(all.begin(), all.end());
    std::vector<std::string> some;
    std::size_t step = std::max<std::size_t>(1, all.size() / count);
    for (std::size_t k = 0; k < all.size(); k += step)
        some.push_back(all[k]);
    return some;
}

TEST(TokensTools, AgreesWithClangRawLexer)
{
    ScratchDir dir;
    std::string out = dir.file("clang.out");
    std::string probe = "clang --version > \"" + out + "\" 2>&1";
    if (std::system(probe.c_str()) != 0)
        GTEST_SKIP() << "no clang on the PATH to compare with";
    std::vector<std::string> files = sampleFiles("/usr/include/c++/12", 50, true);
    std::vector<std::string> more = sampleFiles("/usr/include", 50, false);
    files.insert(files.end(), more.begin(), more.end());
    if (files.empty())
        GTEST_SKIP() << "no headers under /usr/include to compare on";
    for (const std::string &file : files) {
        SCOPED_TRACE(file);
        std::string command = "clang -cc1 -w -dump-raw-tokens -x c++ -std=c++20 \"" + file + "\" 2> \"" + out + "\"";
        ASSERT_EQ(std::system(command.c_str()), 0);
        EXPECT_EQ(compareWithClang(lexFile(file, C, {}), parseClangDump(readFile(out)), readFile(file)), "");
    }
}

} // namespace

// A backslash (or Basic's " _") at a line's end inside each language's quoted
// forms: taken out where the language's reader takes it out, kept where it
// keeps it, and never lost. One row per language and form; with allow, by the
// literal's value.
TEST(TokensNearMiss, LineContinuationsInQuotedForms)
{
    using L = Language;
    const RewriteSet all = static_cast<RewriteSet>((1u << kAllowKinds) - 1);
    const struct {
        L language;
        const char *name, *a, *b;
        bool equal;
        RewriteSet allow;
    } rows[] = {
        {L::CFamily, "C string: a splice", "x = \"a\\\nb\";", "x = \"ab\";", true, 0},
        {L::CFamily, "C string: a splice is no blank", "x = \"a\\\nb\";", "x = \"a b\";", false, 0},
        {L::CFamily, "C++ raw string keeps it", "x = R\"(a\\\nb)\";", "x = R\"(ab)\";", false, 0},
        {L::CSharp, "C# verbatim string keeps it", "x = @\"a\\\nb\";", "x = @\"ab\";", false, 0},
        {L::Python, "Python string, by value", "x = 'a\\\nb'\n", "x = 'ab'\n", true, all},
        {L::Python, "Python string, CR LF", "x = 'a\\\r\nb'\n", "x = 'a\\\nb'\n", true, 0},
        {L::Python, "Python raw string keeps it", "x = r'a\\\nb'\n", "x = r'ab'\n", false, all},
        {L::Python, "Python raw bytes keep it", "x = rb'a\\\nb'\n", "x = rb'ab'\n", false, all},
        {L::Go, "Go raw string keeps it", "var x = `a\\\nb`\n", "var x = `ab`\n", false, all},
        {L::Go, "Go raw string, CR LF", "var x = `a\r\nb`\n", "var x = `a\nb`\n", true, 0},
        {L::Rust, "Rust string, by value, blanks after", "let x = \"a\\\n   b\";", "let x = \"ab\";", true, all},
        {L::Rust, "Rust raw string keeps it", "let x = r\"a\\\n   b\";", "let x = r\"ab\";", false, all},
        {L::Java, "Java text block", "x = \"\"\"\n  a\\\n  b\"\"\";", "x = \"\"\"\n  a\\\n  c\"\"\";", false, all},
        {L::JavaScript, "JavaScript string, by value", "x = 'a\\\nb'", "x = 'ab'", true, all},
        {L::JavaScript, "JavaScript tagged template keeps it", "x = t`a\\\nb`", "x = t`ab`", false, all},
        {L::Json, "JSON has none", "[\"a\\\nb\"]", "[\"ab\"]", false, 0},
        {L::Shell, "shell word", "echo a\\\nb\n", "echo ab\n", true, 0},
        {L::Shell, "shell single quotes keep it", "echo 'a\\\nb'\n", "echo 'ab'\n", false, 0},
        {L::Shell, "shell quoted here-document keeps it", "cat <<'E'\na\\\nb\nE\n", "cat <<'E'\nab\nE\n", false, 0},
        {L::CMake, "CMake quoted argument", "set(x \"a\\\nb\")\n", "set(x \"ab\")\n", true, 0},
        {L::CMake, "CMake bracket argument keeps it", "set(x [[a\\\nb]])\n", "set(x [[ab]])\n", false, 0},
        {L::Toml, "TOML multi-line string, blanks trimmed", "x = \"\"\"a\\  \n   b\"\"\"\n", "x = \"ab\"\n", true, 0},
        {L::Toml, "TOML literal string keeps it", "x = '''a\\\nb'''\n", "x = '''ab'''\n", false, 0},
        {L::Yaml, "YAML double quotes", "x: \"a\\\n  b\"\n", "x: \"ab\"\n", true, 0},
        {L::Yaml, "YAML single quotes keep it", "x: 'a\\\n  b'\n", "x: 'ab'\n", false, 0},
        {L::Graphql, "GraphQL block string keeps it", "{ f(a: \"\"\"a\\\nb\"\"\") }", "{ f(a: \"\"\"ab\"\"\") }", false, 0},
        {L::Css, "CSS string", "a { content: \"a\\\nb\"; }", "a { content: \"a\\\nc\"; }", false, 0},
        {L::Basic, "Basic string holds no continuation", "x = \"a _\nb\"\n", "x = \"a b\"\n", false, 0},
        {L::Basic, "Basic continuation outside", "x = a _\n+ b\n", "x = a + b\n", true, 0},
        {L::Markdown, "Markdown hard break", "a\\\nb\n", "a b\n", false, 0},
    };
    std::vector<PairCase> cases;
    for (const auto &r : rows) {
        if (!languageBuilt(r.language))
            continue;
        PairCase c{r.name, r.a, r.b, r.equal};
        c.language = r.language;
        c.allow = r.allow;
        cases.push_back(c);
    }
    checkPairs(cases);
}
