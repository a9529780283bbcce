// The C family's near misses (C, C++ and C#): for each decision of the lexer,
// of the rules of --allow and of the sorted imports, a pair of sources that
// must differ if the decision went wrong and, where it can go the other way,
// one that must stay equal. Each row is named for its decision.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"

namespace {

const Language C = Language::CFamily;

LexOptions comments()
{
    LexOptions o;
    o.comments = true;
    return o;
}

LexOptions sorted()
{
    LexOptions o;
    o.sortedIncludes = true;
    return o;
}

// The rows, each lexed with options.
std::vector<PairCase> withOptions(const LexOptions &options, std::vector<PairCase> rows)
{
    for (PairCase &row : rows)
        row.options = options;
    return rows;
}

RewriteSet allow(Rewrite r)
{
    return static_cast<RewriteSet>(rewriteBit(r));
}

// text with its rows of "x" repeated n times.
std::string times(const std::string &text, int n)
{
    std::string out;
    for (int k = 0; k < n; ++k)
        out += text;
    return out;
}

// --- The lexer -----------------------------------------------------------------

// Each punctuator of two bytes or more, by longest match: cut anywhere, it
// is other tokens.
TEST(CNearMiss, PunctuatorsByLongestMatch)
{
    const char *const kPunctuators[] = {"++", "+=", "--", "-=", "->", "->*", "*=", "/=", "^=", "!=", "==", "=>",
                                        "&&", "&=", "||", "|=", "::", ":>", "##", "??", "?\?=", "...", ".*", ">=",
                                        ">>=", "%=", "%>", "%:", "%:%:", "<<", "<<=", "<=", "<=>", "<:", "<%"};
    std::vector<std::string> names;
    std::vector<PairCase> rows;
    for (const std::string p : kPunctuators)
        for (std::size_t cut = 1; cut < p.size(); ++cut) {
            names.push_back(p + " against " + p.substr(0, cut) + " " + p.substr(cut));
            rows.push_back({"", "x " + p + " y;", "x " + p.substr(0, cut) + " " + p.substr(cut) + " y;", false});
        }
    for (std::size_t k = 0; k < rows.size(); ++k)
        rows[k].name = names[k].c_str();
    checkPairs(C, rows);
}

TEST(CNearMiss, PunctuatorsThatStayApart)
{
    checkPairs(C, {
        {"+++ is ++ then +", "y = a+++b;", "y = a++ +b;", true},
        {"--- is -- then -", "y = a---b;", "y = a-- -b;", true},
        {"->* is one token", "y = a->*b;", "y = a->* b;", true},
        {"-> before a name", "y = a->b;", "y = a-> b;", true},
        {".. is two dots", "a..b;", "a. .b;", true},
        {"... before a dot", "a....b;", "a... .b;", true},
        {"<:: before a name is < and ::", "a<::b>c;", "a< ::b>c;", true},
        {"<:: before : is <: and ::", "a<:::b;", "a<: ::b;", true},
        {"<:: before > is <: and :>", "a<::>b;", "a<: :>b;", true},
        {"<::> is not < :: >", "a<::>b;", "a< ::>b;", false},
        {"%:% is %: and %", "x %:%y;", "x %: %y;", true},
        {">> is > >", "a<b<c>> d;", "a<b<c> > d;", true},
        {">>> is three >", "a >>> b;", "a > > > b;", true},
        {">>= stays one token", "a >>= b;", "a >> = b;", false},
        {"? before a dot", "a?.b;", "a? .b;", true},
        {"a lone backslash is a token", "a \\ b;", "a b;", false},
    });
}

TEST(CNearMiss, Numbers)
{
    checkPairs(C, {
        {"a sign after e goes on a number", "x = 1e+5;", "x = 1e +5;", false},
        {"a sign after E goes on a number", "x = 1E-5;", "x = 1E -5;", false},
        {"a sign after p goes on a number", "x = 0x1p-3;", "x = 0x1p -3;", false},
        {"a sign after P goes on a number", "x = 0x1P+3;", "x = 0x1P +3;", false},
        {"a sign after a hex digit e goes on a number", "x = 0xe+1;", "x = 0xe +1;", false},
        {"a sign after another letter ends a number", "x = 1f+5;", "x = 1f +5;", true},
        {"a sign after a digit ends a number", "x = 15+5;", "x = 15 +5;", true},
        {"dots go on a number", "x = 1.2.3;", "x = 1.2 .3;", false},
        {"name bytes go on a number", "x = 1abc;", "x = 1 abc;", false},
        {"a dot before a digit starts a number", "x = .5;", "x = . 5;", false},
        {"a dot before a name is a token", "x = a.b;", "x = a . b;", true},
        {"a separator before a name byte goes on a number", "x = 1'000;\ny;", "x = 1 '000;\ny;", false},
        {"a quote before a blank starts a literal", "x = 1' ';", "x = 1 ' ';", true},
    });
}

TEST(CNearMiss, Literals)
{
    checkPairs(C, {
        {"an escaped quote keeps a string open", "s = \"a\\\" b\";", "s = \"a\\\"  b\";", false},
        {"an escaped quote keeps a character open", "c = '\\'';", "c = '\\' ';", false},
        {"an escaped backslash ends its escape", "s = \"a\\\\\" b \"c\";", "s = \"a\\\\\"  b  \"c\";", true},
        {"a lone CR is a byte of a literal", "s = \"a\rb\";", "s = \"a b\";", false},
        {"CR LF ends an unterminated literal as LF does", "s = \"a\r\nb;", "s = \"a\nb;", true},
        {"an unterminated literal ends at its line", "s = \"a\nb\";", "s = \"a b\";", false},
        {"a character literal keeps its blanks", "c = 'a b';", "c = 'a  b';", false},
        {"L prefix", "x = L\"a\";", "x = L \"a\";", false},
        {"u prefix", "x = u\"a\";", "x = u \"a\";", false},
        {"U prefix", "x = U\"a\";", "x = U \"a\";", false},
        {"u8 prefix", "x = u8\"a\";", "x = u8 \"a\";", false},
        {"L prefix of a character", "x = L'a';", "x = L 'a';", false},
        {"u prefix of a character", "x = u'a';", "x = u 'a';", false},
        {"U prefix of a character", "x = U'a';", "x = U 'a';", false},
        {"u8 prefix of a character", "x = u8'a';", "x = u8 'a';", false},
        {"a longer name is no prefix", "x = Lx\"a\";", "x = Lx \"a\";", true},
        {"U8 is no prefix", "x = U8\"a\";", "x = U8 \"a\";", true},
        {"uL is no prefix", "x = uL\"a\";", "x = uL \"a\";", true},
        {"a suffix goes on a string", "x = \"a\"_s;", "x = \"a\" _s;", false},
        {"a suffix goes on a character", "x = 'a'_c;", "x = 'a' _c;", false},
        {"a suffix goes on a raw string", "x = R\"(a)\"_s;", "x = R\"(a)\" _s;", false},
        {"a digit is no suffix", "x = \"a\"1;", "x = \"a\" 1;", true},
        {"a verbatim string takes no suffix", "x = @\"a\"b;", "x = @\"a\" b;", true},
    });
}

TEST(CNearMiss, RawStrings)
{
    const auto splices = [](int n) {
        std::string s;
        for (int k = 0; k < n; ++k)
            s += "\\\n";
        return s;
    };
    const std::string d16 = "0123456789abcdef", d17 = d16 + "g";
    checkPairs(C, {
        {"R prefix", "x = R\"(a b)\";", "x = R \"(a b)\";", false},
        {"LR prefix", "x = LR\"(\")\";", "x = LR \"(\")\";", false},
        {"uR prefix", "x = uR\"(\")\";", "x = uR \"(\")\";", false},
        {"UR prefix", "x = UR\"(\")\";", "x = UR \"(\")\";", false},
        {"u8R prefix", "x = u8R\"(\")\";", "x = u8R \"(\")\";", false},
        {"no '(' after the delimiter, no raw string", "x = R\"a\";", "x = R \"a\";", true},
        {"a delimiter of 16 bytes", "x = R\"" + d16 + "(\")" + d16 + "\";", "x = R\"" + d16 + "(\" )" + d16 + "\";",
         false},
        {"a delimiter of 17 bytes is none", "x = R\"" + d17 + "(\")" + d17 + "\";",
         "x = R\"" + d17 + "(\" )" + d17 + "\";", true},
        {"a blank in a delimiter", "x = R\"a b(\")a b\";", "x = R\"a b(\" )a b\";", true},
        {"a backslash in a delimiter", "x = R\"a\\(\")a\\\";", "x = R\"a\\(\" )a\\\";", true},
        {"a tab in a delimiter", "x = R\"a\tb(\")a\tb\";", "x = R\"a\tb(\" )a\tb\";", true},
        {"')' then the delimiter without its quote goes on", "x = R\"a()a )a\";", "x = R\"a()a  )a\";", false},
        {"a backslash escapes nothing", "x = R\"(\\)\" y \"z\";", "x = R\"(\\)\"  y  \"z\";", true},
        {"line ends are bytes of it", "x = R\"(a\nb)\"; y;", "x = R\"(a\n  b)\"; y;", false},
        {"CR LF inside is LF", "x = R\"(a\r\nb)\";", "x = R\"(a\nb)\";", true},
        {"a lone CR inside stays", "x = R\"(a\rb)\";", "x = R\"(a\nb)\";", false},
        {"a splice inside is put back", "x = R\"(a\\\nb)\";", "x = R\"(ab)\";", false},
        {"a splice inside, its line end CR LF", "x = R\"(a\\\r\nb)\";", "x = R\"(a\\\nb)\";", true},
        {"nine splices inside against ten", "x = R\"(" + splices(9) + ")\";", "x = R\"(" + splices(10) + ")\";", false},
        {"a splice in the delimiter makes no raw string", "x = R\"d\\\n(a)d\";", "x = R\"d(a)d\";", false},
        {"an unclosed one ending in a splice", "x = R\"(a\\\n", "x = R\"(a", false},
        {"a splice before the R is taken out", "x = u8\\\nR\"(a)\";", "x = u8R\"(a)\";", true},
        {"a splice in an ordinary string is taken out", "x = \"a\\\nb\";", "x = \"ab\";", true},
    });
    EXPECT_EQ(refusalOf("x = R\"(a\\ \nb)\";", C), "a raw string holds a backslash and blanks before a line end");
    EXPECT_EQ(refusalOf("x = \"a\\ \nb\";", C), "");
}

// C# reads no line splices: a backslash at a line's end is a byte like another.
TEST(CNearMiss, CSharpHasNoSplices)
{
    checkPairs(Language::CSharp, {
        {"in a verbatim string", "x = @\"a\\\nb\";", "x = @\"ab\";", false},
        {"after a line comment", "// a \\\nx = 1;", "// a \\\n", false},
        {"the same verbatim string", "x = @\"a\\\nb\";", "x =  @\"a\\\nb\";", true},
        {"a backslash at a line's end leaves a string there", "x = \"a\\\n  b\";", "x = \"a\\\nb\";", true},
        {"the next line's quote then opens one", "x = \"a\\\nb\" + \"c\";", "x = \"a\\\nb\" +\"c\";", false},
        {"a string left there joins none", "x = \"a\" \"c\\\nd\";", "x = \"ac\\\nd\";", false},
        {"the same in interpolated text", "x = $\"a\\\n  b\";", "x = $\"a\\\nb\";", true},
    });
}

TEST(CNearMiss, CSharpStrings)
{
    checkPairs(C, {
        {"\"\" inside a verbatim string is a quote", "x = @\"a\"\"b\";", "x = @\"a\" \"b\";", false},
        {"a backslash escapes nothing in a verbatim string", "x = @\"a\\\" b;", "x = @\"a\\\"  b;", true},
        {"a verbatim string goes over lines", "x = @\"a\nb\";", "x = @\"a b\";", false},
        {"CR LF in a verbatim string is LF", "x = @\"a\r\nb\";", "x = @\"a\nb\";", true},
        {"a lone CR in a verbatim string stays", "x = @\"a\rb\";", "x = @\"ab\";", false},
        {"$ before a quote starts an interpolated string", "x = $\"a b\";", "x = $ \"a b\";", false},
        {"$$ before one quote starts none", "x = $$\"a b\";", "x = $$ \"a b\";", true},
        {"CR LF in verbatim text is LF", "x = $@\"a\r\nb\";", "x = $@\"a\nb\";", true},
        {"@ before a name is a token", "@x = 1;", "@ x = 1;", true},
        {"an interpolated string is one token", "x = $\"{a} b\";", "x = $\"{a}  b\";", false},
        {"{{ is a brace of the text", "x = $\"{{ a\" b;", "x = $\"{{ a\"  b;", true},
        {"a string inside a hole", "x = $\"{f(\"}\")} a\" b;", "x = $\"{f(\"}\")} a\"  b;", true},
        {"a character inside a hole", "x = $\"{'}'} a\" b;", "x = $\"{'}'} a\"  b;", true},
        {"a quote inside a character inside a hole", "x = $\"{'\"'} a\" b;", "x = $\"{'\"'} a\"  b;", true},
        {"a verbatim string inside a hole", "x = $\"{@\"\\\"} a\" b;", "x = $\"{@\"\\\"} a\"  b;", true},
        {"an interpolated string inside a hole", "x = $\"{$\"{a}\"} b\" c;", "x = $\"{$\"{a}\"} b\"  c;", true},
        {"an interpolated verbatim string inside a hole", "x = $\"{$@\"\\\"} a\" b;",
         "x = $\"{$@\"\\\"} a\"  b;", true},
        {"braces nest in a hole", "x = $\"{new[] {1}} a\" b;", "x = $\"{new[] {1}} a\"  b;", true},
        {"a backslash escapes a quote in the text", "x = $\"\\\" a\" b;", "x = $\"\\\" a\"  b;", true},
        {"the text ends at its line", "x = $\"a\ny;", "x = $\"a\n  y;", true},
        {"a hole goes over lines", "x = $\"{a +\nb}\" c;", "x = $\"{a +\nb}\"  c;", true},
        {"$@ text goes over lines", "x = $@\"a\nb\";", "x = $@\"a b\";", false},
        {"@$ text goes over lines", "x = @$\"a\nb\";", "x = @$\"a b\";", false},
        {"\"\" inside verbatim text is a quote", "x = $@\"a\"\" b\" c;", "x = $@\"a\" \" b\" c;", false},
        {"a raw string closes at as many quotes", "x = \"\"\"a\"\" b\"\"\";", "x = \"\"\"a\"\"  b\"\"\";", false},
        {"a raw string of four quotes", "x = \"\"\"\"a\"\"\" b\"\"\"\";", "x = \"\"\"\"a\"\"\"  b\"\"\"\";", false},
        {"blanks after the opening quotes", "x = \"\"\"  \n  a\n  \"\"\";", "x = \"\"\"\n  a\n  \"\"\";", true},
        {"CR LF in a multi-line raw string", "x = \"\"\"\r\n  a\r\n  \"\"\";", "x = \"\"\"\n    a\n    \"\"\";", true},
        {"a lone CR keeps it as written", "x = \"\"\"\n  a\rb\n  \"\"\";", "x = \"\"\"\n    a\rb\n    \"\"\";",
         false},
        {"a shorter blank line keeps it as written", "x = \"\"\"\n    a\n  \n    \"\"\";",
         "x = \"\"\"\n  a\n\n  \"\"\";", false},
        {"an empty line inside", "x = \"\"\"\n    a\n\n    b\n    \"\"\";", "x = \"\"\"\n  a\n\n  b\n  \"\"\";", true},
        {"closing quotes after text end no line", "x = \"\"\"\n  a \"\"\"\n  \"\"\";",
         "x = \"\"\"\n    a \"\"\"\n    \"\"\";", true},
        {"tabs against blanks of the closing line", "x = \"\"\"\n\ta\n\t\"\"\";", "x = \"\"\"\n    a\n    \"\"\";",
         true},
        {"one brace opens no hole of a $$ raw string", "x = $$\"\"\"{\"\"\" + y;", "x = $$\"\"\"{\"\"\"  + y;", true},
        {"a quote in a hole of a raw string", "x = $\"\"\"{f(\"\"\"\"\"\")} a\"\"\" b;",
         "x = $\"\"\"{f(\"\"\"\"\"\")} a\"\"\"  b;", true},
    });
}

TEST(CNearMiss, StringJoins)
{
    const std::string hex20 = "0123456789abcdef0123", hex40 = hex20 + hex20;
    checkPairs(C, {
        {"L parts join", "s = L\"a\" L\"b\";", "s = L\"ab\";", true},
        {"u parts join", "s = u\"a\" u\"b\";", "s = u\"ab\";", true},
        {"U parts join", "s = U\"a\" U\"b\";", "s = U\"ab\";", true},
        {"a part without a prefix joins a prefixed one", "s = L\"a\" \"b\";", "s = L\"ab\";", true},
        {"a prefix after a part without one ends the join", "s = \"a\" L\"b\";", "s = L\"ab\";", false},
        {"another prefix ends the join", "s = L\"a\" u\"b\";", "s = L\"ab\";", false},
        {"character literals never join", "c = 'a' 'b';", "c = 'ab';", false},
        {"a suffix on the first part ends the join", "s = \"a\"_s \"b\";", "s = \"ab\"_s;", false},
        {"a hex escape goes on into the next part", "s = \"\\x1\" \"2\";", "s = \"\\x12\";", false},
        {"a hex escape ends no join after a non-digit", "s = \"\\x41\" \"g\";", "s = \"\\x41g\";", false},
        {"one octal digit goes on into the next part", "s = \"\\1\" \"2\";", "s = \"\\12\";", false},
        {"two octal digits go on into the next part", "s = \"\\12\" \"3\";", "s = \"\\123\";", false},
        {"three octal digits end the escape", "s = \"\\123\" \"4\";", "s = \"\\1234\";", true},
        {"an escaped backslash starts no escape", "s = \"\\\\x1\" \"2\";", "s = \"\\\\x12\";", true},
        {"a short \\u goes on into the next part", "s = \"\\u12\" \"34\";", "s = \"\\u1234\";", false},
        {"a short \\U goes on into the next part", "s = \"\\U0001F60\" \"0\";", "s = \"\\U0001F600\";", false},
        {"a whole \\u ends the escape", "s = \"\\u1234\" \"5\";", "s = \"\\u12345\";", true},
        {"an open \\N{ goes on into the next part", "s = \"\\N{DIGIT\" \" ONE}\";", "s = \"\\N{DIGIT ONE}\";", false},
        {"a closed \\N{...} ends the escape", "s = \"\\N{DIGIT ONE}\" \"2\";", "s = \"\\N{DIGIT ONE}2\";", true},
        {"an escaped quote ends the escape", "s = \"\\\"1\" \"2\";", "s = \"\\\"12\";", true},
        {"hex digits back to the opening quote", "s = \"" + hex20 + "\" \"4\";", "s = \"" + hex20 + "4\";", true},
        {"hex digits further back than can be told", "s = \"" + hex40 + "\" \"4\";", "s = \"" + hex40 + "4\";", false},
        {"a later part that ends in an escape", "s = \"a\" \"\\x1\" \"2\";", "s = \"a\\x1\" \"2\";", true},
        {"parts inside #define join", "#define S \"a\" \"b\"\n", "#define S \"ab\"\n", true},
        {"parts inside #include join not", "#include \"a\" \"b\"\n", "#include \"ab\"\n", false},
        {"parts inside another directive join not", "#pragma message(\"a\" \"b\")\n", "#pragma message(\"ab\")\n",
         false},
    });
}

// A literal longer than the window joins as a short one does, wherever the
// window's end falls in it, and an escape at its end keeps the next apart.
TEST(CNearMiss, LongLiteralsJoinAsShortOnes)
{
    std::vector<std::string> text;
    for (std::size_t n = kLexWindowSize - 40; n < kLexWindowSize + 40; n += 7)
        text.push_back(std::string(n, 'x'));
    text.push_back(std::string(3 * kLexWindowSize + 5, 'x'));
    std::vector<PairCase> rows;
    for (const std::string &t : text) {
        rows.push_back({"a long part joins", "s = \"" + t + "\" \"b\";", "s = \"" + t + "b\";", true});
        rows.push_back({"a long part's escape goes on", "s = \"" + t + "\\x1\" \"2\";", "s = \"" + t + "\\x12\";",
                        false});
        rows.push_back({"a long later part joins", "s = \"a\" \"" + t + "\" \"b\";", "s = \"a" + t + "b\";", true});
        rows.push_back({"a long later part's escape goes on", "s = \"a\" \"" + t + "\\1\" \"2\";",
                        "s = \"a" + t + "\\12\";", false});
    }
    checkPairs(C, rows);
}

TEST(CNearMiss, Directives)
{
    checkPairs(C, {
        {"%: opens a directive", "%:define A 1\nx;", "%:define A 1 x;", false},
        {"# after a token opens none", "x # define A\ny;", "x # define A y;", true},
        {"# after a comment at a line's start opens one", "/* c */ # define A\ny;", "/* c */ # define A y;", false},
        {"# after a comment over lines from a token opens none", "x; /* a\n */ # define A\ny;",
         "x; /* a\n */ # define A y;", true},
        {"## at a line's start opens none", "## define A\ny;", "## define A y;", true},
        {"%:%: at a line's start opens none", "%:%: define A\ny;", "%:%: define A y;", true},
        {"a directive at the input's end ends as at a line end", "x;\n#if X", "x;\n#if X\n", true},
        {"an empty directive has its line end", "#\nx;", "# x;", false},
        {"a header name keeps its spelling", "#include <a b.h>\n", "#include <a  b.h>\n", false},
        {"#include_next takes a header name", "#include_next <a b.h>\n", "#include_next <a  b.h>\n", false},
        {"#import takes a header name", "#import <a b.h>\n", "#import <a  b.h>\n", false},
        {"blanks after # keep the directive", "#  include <a b.h>\n", "#  include <a  b.h>\n", false},
        {"%:include takes a header name", "%:include <a b.h>\n", "%:include <a  b.h>\n", false},
        {"a header name ends at its line", "#include <a\nb c>\n", "#include <a\nb  c>\n", true},
        {"no header name in #define", "#define X <a b>\n", "#define X <a  b>\n", true},
        {"no header name after the include's operand", "#include X <a b>\n", "#include X <a  b>\n", true},
        {"no header name in a longer directive name", "#includes <a b>\n", "#includes <a  b>\n", true},
        {"__has_include takes a header name", "#if __has_include(<a b.h>)\n#endif\n",
         "#if __has_include(<a  b.h>)\n#endif\n", false},
        {"__has_include_next takes a header name", "#elif __has_include_next ( <a b.h> )\n",
         "#elif __has_include_next ( <a  b.h> )\n", false},
        {"__has_include later on its line", "#if A && __has_include(<a/b.h>)\n", "#if A && __has_include(<a / b.h>)\n",
         false},
        {"__has_include outside a directive takes none", "x = __has_include(<a b>);", "x = __has_include(<a  b>);",
         true},
        {"another name before '(' takes none", "#if f(<a b>)\n", "#if f(<a  b>)\n", true},
        {"a function-like macro after blanks after #", "#  define F(x) x\n", "#  define F (x) x\n", false},
        {"only the name's '(' tells a function-like macro", "#define F (x) g(y)\n", "#define F (x) g (y)\n", true},
        {"a splice between the name and its '('", "#define F\\\n(x) x\n", "#define F(x) x\n", true},
        {"no function-like macro in #undef", "#undef F(x)\n", "#undef F (x)\n", true},
        {"no function-like macro in a longer directive name", "#defined F(x) x\n", "#defined F (x) x\n", true},
        {"a #pragma's words", "#pragma pack(1)\nx;", "#pragma pack(2)\nx;", false},
        {"a #pragma's blanks", "#pragma pack(1)\nx;", "#  pragma  pack ( 1 )\nx;", true},
        {"a #pragma is no comment", "#pragma once\nx;", "// pragma once\nx;", false},
        {"C#'s #pragma", "#pragma warning disable CS0168\nx;", "#pragma warning restore CS0168\nx;", false},
    });
}

TEST(CNearMiss, Layout)
{
    checkPairs(C, {
        {"a tab is a blank", "a\tb;", "a b;", true},
        {"a vertical tab is a blank", "a\vb;", "a b;", true},
        {"a form feed is a blank", "a\fb;", "a b;", true},
        {"$ is a name byte", "a$b;", "a$ b;", false},
        {"_ is a name byte", "a_b;", "a_ b;", false},
        {"a digit is a name byte", "a1;", "a 1;", false},
        {"a byte above 0x7f is a name byte", "a\xc3\xa9" "b;", "a\xc3\xa9 b;", false},
        {"a splice with a blank", "ab\\ \ncd;", "abcd;", true},
        {"a splice with a tab", "ab\\\t\ncd;", "abcd;", true},
        {"a splice with a form feed", "ab\\\f\ncd;", "abcd;", true},
        {"a splice with a vertical tab", "ab\\\v\ncd;", "abcd;", true},
        {"a splice with CR LF", "ab\\\r\ncd;", "abcd;", true},
        {"a backslash and a lone CR are no splice", "ab\\\rxcd;", "abcd;", false},
        {"a backslash at the input's end is a token", "x;\\", "x;", false},
        {"a block comment ends at */ only", "/* a * / b */ x;", "x;", true},
        {"a block comment ends at **/", "/* a **/ x;", "x;", true},
        {"// inside a block comment", "/* a\n// */ x;", "x;", true},
        {"a line comment ends at its line", "// a\nx;", "x;", true},
        {"a line comment takes its line", "// a\nx;", "// a x;", false},
        {"/* inside a line comment", "// a /*\nx; // */", "x;", true},
        {"a comment between names", "a/**/b;", "ab;", false},
        {"a zero byte is a token", std::string("a\0b;", 4), "a b;", false},
        {"a zero byte is a byte of a literal", std::string("s = \"a\0b\";", 10), "s = \"a b\";", false},
        {"a zero byte is text of a comment", std::string("/* a\0*/ x;", 10), "x;", true},
    });
}

TEST(CNearMiss, CommentWords)
{
    checkPairs(C, withOptions(comments(), {
        {"*/ inside a line comment is a word's", "// a*/b\nx;", "// a */b\nx;", false},
        {"a line comment's words end at its line", "// a\nx;", "// a x;", false},
        {"*/ inside a line comment closes nothing", "// a */ b\n", "// a\nb\n", false},
        {"a leading * goes", "/* a\n * b */ x;", "/* a\n b */ x;", true},
        {"a leading * before a word goes", "/* a\n *b */ x;", "/* a\n b */ x;", true},
        {"one leading * goes", "/* a\n ** b */ x;", "/* a\n * b */ x;", false},
        {"*/ at a line's start closes", "/* a\n */ x;", "/* a */ x;", true},
        {"the first line's * stays", "/* * a */ x;", "/* a */ x;", false},
        {"a * inside a word", "/* a*b */ x;", "/* a* b */ x;", false},
        {"a zero byte inside a word", std::string("/* a\0b */ x;", 12), "/* a b */ x;", false},
        {"*/ ends a word", "/* a*/x;", "/* a */ x;", true},
        {"a block comment's line ends are layout", "/* a\nb */ x;", "/* a b */ x;", true},
    }));
}

// The sources of the rows above through lexerRun, a block of tokens at a
// time, against the lexer one token at a time, at every offset in a block.
TEST(CNearMiss, RunsAsOneAtATime)
{
    const std::string filler = times("name + other * 12; ", 8);
    const char *const kSources[] = {
        "#if __has_include(<a b.h>) && __has_include_next ( <c/d.h> )\n#endif\n",
        "#if A && B && C && __has_include(<a/b.h>) /* c\n */ || __has_include(<e f>)\nx < y > z;\n#endif\n",
        "#define H __has_include(<a/b.h>)\n#if H\n#elif defined(X) && X < 3 && Y > 2\n#endif\n",
        "s = \"\\x1\" \"2\" \"\\123\" \"4\" \"a\" \"\\u12\" \"34\";\n#include \"a\" \"b\"\n#define S \"a\" \"b\"\n",
    };
    ScratchDir dir;
    const std::string path = dir.file("source");
    for (const char *source : kSources)
        for (std::size_t shift = 0; shift < 64; ++shift) {
            SCOPED_TRACE(testing::Message() << source << " shifted " << shift);
            writeFile(path, std::string(shift, ' ') + filler + source + filler);
            const std::vector<Tok> want = lexFile(path, C);
            const std::vector<Tok> got = lexFileInRuns(path, C, 1024, 65536);
            ASSERT_EQ(firstDifference(want, got), -1);
            for (std::size_t i = 0; i < want.size(); ++i)
                ASSERT_EQ(got[i].column, want[i].column) << want[i].key;
        }
}

// A header name after __has_include wherever the window's end falls.
TEST(CNearMiss, HasIncludeAtEveryWindowPlace)
{
    const std::string line = "#if __has_include(<a/b.h>)\n#endif\n";
    ScratchDir dir;
    const std::string path = dir.file("source");
    for (std::size_t pad = kLexWindowSize - 100; pad < kLexWindowSize; ++pad) {
        SCOPED_TRACE(pad);
        writeFile(path, std::string(pad, ' ') + line + times("x;\n", 100));
        const std::vector<Tok> t = lexFile(path, C);
        ASSERT_GT(t.size(), 4u);
        EXPECT_EQ(t[4].key, "<a/b.h>");
        EXPECT_EQ(firstDifference(t, lexFileInRuns(path, C, 1024, 65536)), -1);
    }
}

// --- Sorted imports --------------------------------------------------------------

TEST(CNearMiss, SortedIncludes)
{
    checkPairs(C, withOptions(sorted(), {
        {"#include_next lines sort", "#include_next <b>\n#include_next <a>\n", "#include_next <a>\n#include_next <b>\n",
         true},
        {"#import lines sort", "#import <b>\n#import <a>\n", "#import <a>\n#import <b>\n", true},
        {"%:include lines sort", "%:include <b>\n%:include <a>\n", "%:include <a>\n%:include <b>\n", true},
        {"includes in a body sort", "void f() {\n#include <b>\n#include <a>\n}",
         "void f() {\n#include <a>\n#include <b>\n}", true},
        {"#define lines keep their order", "#define B 1\n#define A 1\n", "#define A 1\n#define B 1\n", false},
        {"another directive ends the run", "#include <b>\n#define X\n#include <a>\n",
         "#include <a>\n#define X\n#include <b>\n", false},
        {"a # that opens no directive", "x # include <b>\n#include <a>\n", "x # include <a>\n#include <b>\n", false},
    }));
    checkPairs(C, withOptions(LexOptions{true, true}, {
        {"a comment compared ends the run", "#include <b>\n// x\n#include <a>\n", "#include <a>\n// x\n#include <b>\n",
         false},
    }));
}

TEST(CNearMiss, SortedUsings)
{
    checkPairs(C, withOptions(sorted(), {
        {"global using directives sort", "global using B;\nglobal using A;", "global using A;\nglobal using B;", true},
        {"using static sorts", "using static B.C;\nusing static A.C;", "using static A.C;\nusing static B.C;", true},
        {"C++ using declarations that name no other's", "using a::c;\nusing a::b;", "using a::b;\nusing a::c;", true},
        {"a nested namespace named with ::", "namespace A::B {\nusing D;\nusing C;\n}",
         "namespace A::B {\nusing C;\nusing D;\n}", true},
        {"an anonymous namespace", "namespace {\nusing D;\nusing C;\n}", "namespace {\nusing C;\nusing D;\n}", true},
        {"an alias of a tuple", "using B = (int, int);\nusing A = int;", "using A = int;\nusing B = (int, int);", true},
        {"using enum keeps its order", "using enum E;\nusing enum D;", "using enum D;\nusing enum E;", false},
        {"using typename keeps its order", "using typename T::b;\nusing typename T::a;",
         "using typename T::a;\nusing typename T::b;", false},
        {"an alias of braces is none", "using B = C{};\nusing A = C{};", "using A = C{};\nusing B = C{};", false},
        {"a directive between ends the run", "using B;\n#define X\nusing A;", "using A;\n#define X\nusing B;", false},
        {"inside a directive", "#define U using B; using A;\n", "#define U using A; using B;\n", false},
        {"a namespace alias opens no body", "namespace N = M;\n{\nusing B;\nusing A;\n}",
         "namespace N = M;\n{\nusing A;\nusing B;\n}", false},
        {"a static alias introduces nothing", "using static C.B;\nusing B;", "using B;\nusing static C.B;", true},
        {"a C# namespace introduces nothing", "using B.C;\nusing A.B;", "using A.B;\nusing B.C;", true},
    }));
}

// --- The rules of --allow -----------------------------------------------------------

TEST(CNearMiss, Braces)
{
    checkRewritePairs(C, allow(Rewrite::Braces), {
        {"an empty body is ;", "void f() { if (a) {} while (b) {} }", "void f() { if (a) ; while (b) ; }", true},
        {"an else body", "void f() { if (a) g(); else { h(); } }", "void f() { if (a) g(); else h(); }", true},
        {"a do body", "void f() { do { g(); } while (a); }", "void f() { do g(); while (a); }", true},
        {"the ; after do ... while is no body", "void f() { do g(); while (a); }", "void f() { do g(); while (a) {} }",
         false},
        {"a while loop after a do statement", "void f() { do g(); while (a); while (b) { h(); } }",
         "void f() { do g(); while (a); while (b) h(); }", true},
        {"a while loop inside a do body", "void f() { do while (b) { g(); } while (a); }",
         "void f() { do while (b) g(); while (a); }", true},
        {"a foreach body", "void F() { foreach (var x in y) { G(1); } }", "void F() { foreach (var x in y) G(1); }",
         true},
        {"an if constexpr body", "void f() { if constexpr (a) { g(); } }", "void f() { if constexpr (a) g(); }", true},
        {"a switch body keeps its braces", "void f() { switch (a) { default: g(); } }",
         "void f() { switch (a) default: g(); }", false},
        {"an else after if consteval", "void f() { if consteval { g(); } else { h(); } }",
         "void f() { if consteval { g(); } else h(); }", false},
        {"a block as the body", "void f() { if (a) { { g(); } } }", "void f() { if (a) { g(); } }", false},
        {"an attribute first", "void f() { if (a) { [[likely]] g(); } }", "void f() { if (a) [[likely]] g(); }", false},
        {"a nested if without else", "void f() { if (a) { if (b) g(); } }", "void f() { if (a) if (b) g(); }", true},
        {"a loop holding an if before else", "void f() { if (a) { while (b) if (c) g(); } else h(); }",
         "void f() { if (a) while (b) if (c) g(); else h(); }", false},
        {"a nested if with its own else", "void f() { if (a) { if (b) g(); else k(); } }",
         "void f() { if (a) if (b) g(); else k(); }", true},
        {"a macro the file defines", "#define G g\nvoid f() { if (a) { G(); } }",
         "#define G g\nvoid f() { if (a) G(); }", false},
        {"a macro defined nowhere here", "void f() { if (a) { G(); } }", "void f() { if (a) G(); }", true},
        {"a try block", "void f() { if (a) { try { g(); } catch (...) {} } }",
         "void f() { if (a) try { g(); } catch (...) {} }", false},
        {"a case body of several statements", "void f() { switch (x) { case 1: { g(); h(); } } }",
         "void f() { switch (x) { case 1: g(); h(); } }", true},
        {"a default body", "void f() { switch (x) { default: { g(); } } }", "void f() { switch (x) { default: g(); } }",
         true},
        {"a case label with ?:", "void f() { switch (x) { case a ? 1 : 2: { g(); } } }",
         "void f() { switch (x) { case a ? 1 : 2: g(); } }", true},
        {"a case body holding a block", "void f() { switch (x) { case 1: { g(); {} } } }",
         "void f() { switch (x) { case 1: g(); {} } }", false},
        {"a case body holding a brace", "void f() { switch (x) { case 1: { g((T){1}); } } }",
         "void f() { switch (x) { case 1: g((T){1}); } }", false},
        {"a case body holding an if", "void f() { switch (x) { case 1: { if (a) g(); } } }",
         "void f() { switch (x) { case 1: if (a) g(); } }", true},
        {"a C++ declaration as a body", "#include <a>\nvoid f() { std::g(); if (a) { T x; } }",
         "#include <a>\nvoid f() { std::g(); if (a) T x; }", true},
        {"an attribute's :: proves no C++", "#include <a>\n[[gnu::cold]] void f(); void g() { if (a) { T x; } }",
         "#include <a>\n[[gnu::cold]] void f(); void g() { if (a) T x; }", false},
        {":: without #include proves no C++", "void f() { std::g(); if (a) { T x; } }",
         "void f() { std::g(); if (a) T x; }", false},
    });
}

// A body's single statement must provably declare nothing (C has no
// declaration as a body, C# forbids one). `T(&r);` declares nothing: a
// reference needs an initializer.
TEST(CNearMiss, BracesOnlyAroundNoDeclaration)
{
    const char *const kStarts[] = {"return x;", "break;", "continue;", "goto L;", "throw x;", "co_return x;",
                                   "co_yield x;", "co_await x;", "delete p;", "this->g();", "true;", "false;",
                                   "nullptr;", "sizeof x;", "new T;", "++x;", "--x;", "*p = 1;", "&x;", "!x;", "~x;",
                                   "-x;", "+x;", "(x);", "1;", "\"s\";", "'c';", ";"};
    const char *const kAfterOperand[] = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<=", ">>=", ".", "->",
                                         "?", ",", "==", "!=", "<=", ">=", "+", "-", "/", "%", "|", "^", "||",
                                         "<<", ">", "->*", ".*"};
    const char *const kKeywords[] = {"int", "char", "short", "long", "float", "double", "void", "bool", "signed",
                                     "unsigned", "const", "volatile", "static", "extern", "auto", "register",
                                     "struct", "class", "union", "enum", "typedef", "using", "namespace", "template",
                                     "typename", "constexpr", "inline", "thread_local", "mutable", "friend",
                                     "virtual", "explicit", "asm", "decltype", "var", "_Bool", "_Atomic",
                                     "_Static_assert", "static_assert", "operator", "catch"};
    const struct {
        const char *statement;
        bool equal;
    } kCalls[] = {
        {"g();", true},           {"g(1);", true},        {"g(a, b);", true},     {"g(this);", true},
        {"g(x + 1);", true},      {"g(x)(y);", false},    {"T(x);", false},       {"T(*p);", false},
        {"T(&r);", true},         {"T((x));", false},     {"T(x[3]);", false},    {"T(f(a, b));", false},
        {"a::b = 1;", true},      {"a::b(1);", true},     {"::x = 1;", false},    {"a::b x;", false},
        {"x[1] = 2;", true},      {"T[] x;", false},      {"T[,] x;", false},     {"T[][] x;", false},
        {"T x;", false},          {"T * p;", false},      {"T & r = x;", false},  {"T && r = x;", false},
        {"T < U > x;", false},    {"x++;", true},         {"x--;", true},         {"L: g();", false},
        {"T(&&r);", true},        {"T(&r) = x;", false},  {"T(&r)[2];", false},   {"T(&r, 1)(x);", true},
    };
    std::vector<std::string> text;
    std::vector<bool> equal;
    auto add = [&](const std::string &statement, bool same) {
        text.push_back(statement);
        equal.push_back(same);
    };
    for (const char *s : kStarts)
        add(s, true);
    for (const char *op : kAfterOperand)
        add(std::string("x ") + op + " y;", true);
    for (const char *k : kKeywords)
        add(std::string(k) + "(1, 2) = x;", false);
    for (const auto &c : kCalls)
        add(c.statement, c.equal);
    std::vector<PairCase> rows;
    for (std::size_t k = 0; k < text.size(); ++k)
        rows.push_back({text[k].c_str(), "void f() { if (a) { " + text[k] + " } }",
                        "void f() { if (a) " + text[k] + " }",
                        equal[k]});
    checkRewritePairs(C, allow(Rewrite::Braces), rows);
}

TEST(CNearMiss, Parens)
{
    checkRewritePairs(C, allow(Rewrite::Parens), {
        {"after an element's =", "void f() { a[0] = (b); }", "void f() { a[0] = b; }", true},
        {"after a call's =", "void f() { g() = (b); }", "void f() { g() = b; }", true},
        {"a member's initializer", "struct S { int a = (1); };", "struct S { int a = 1; };", true},
        {"after ==", "void f() { x == (a); }", "void f() { x == a; }", false},
        {"after +=", "void f() { x += (a); }", "void f() { x += a; }", false},
        {"an operand of the value", "int f() { return (a) + b; }", "int f() { return a + b; }", false},
        {"a call of the value", "int f() { return (a)(b); }", "int f() { return a(b); }", false},
        {"an assignment after them", "void f() { x = (y) = z; }", "void f() { x = y = z; }", false},
        {"a default argument", "void f(int x = (1));", "void f(int x = 1);", false},
        {"an enumerator's value", "enum E { A = (1) };", "enum E { A = 1 };", false},
        {"a template argument's default", "template <int N = (3)> struct S;", "template <int N = 3> struct S;", false},
        {"a for's initializer", "void f() { for (i = (0); i; ) g(); }", "void f() { for (i = 0; i; ) g(); }", false},
        {"decltype of a name leaves returns alone", "decltype(x) g(); int f() { return (y); }",
         "decltype(x) g(); int f() { return y; }", true},
        {"decltype (auto) with blanks", "decltype ( auto ) f() { return (x); }", "decltype ( auto ) f() { return x; }",
         false},
        {"a while condition", "void f() { while ((a)) g(); }", "void f() { while (a) g(); }", true},
        {"a switch condition", "void f() { switch ((a)) {} }", "void f() { switch (a) {} }", true},
        {"an if constexpr condition", "void f() { if constexpr ((a)) g(); }", "void f() { if constexpr (a) g(); }",
         true},
        {"part of a condition", "void f() { if ((a) && b) g(); }", "void f() { if (a && b) g(); }", false},
        {"a comma inside a condition's pair", "void f() { if ((a, b)) g(); }", "void f() { if (a, b) g(); }", false},
        {"a for's condition", "void f() { for ((a);;) g(); }", "void f() { for (a;;) g(); }", false},
        {"an if with an initializer", "void f() { if ((a); b) g(); }", "void f() { if (a; b) g(); }", false},
        {"a macro inside a condition", "#define M a, b\nvoid f() { if ((M)) g(); }",
         "#define M a, b\nvoid f() { if (M) g(); }", false},
    });
}

TEST(CNearMiss, Commas)
{
    checkRewritePairs(C, allow(Rewrite::Commas), {
        {"before an initializer's }", "int a[] = {1,};", "int a[] = {1};", true},
        {"nested", "int a[][1] = {{1,},};", "int a[][1] = {{1}};", true},
        {"after another comma", "int a[] = {1,,};", "int a[] = {1,};", false},
        {"before ]", "x = [1,];", "x = [1];", false},
        {"inside macro arguments", "M({1,});", "M({1});", false},
    });
}

TEST(CNearMiss, NumberRewrites)
{
    const std::string zeros(51, '0');  // 56 bytes in all
    checkRewritePairs(C, allow(Rewrite::Numbers), {
        {"binary prefix", "x = 0B10;", "x = 0b10;", true},
        {"a binary digit 2", "x = 0b12;", "x = 0B12;", false},
        {"hex digits", "x = 0xAB;", "x = 0xab;", true},
        {"a lone hex prefix", "x = 0x;", "x = 0X;", false},
        {"a hex float", "x = 0x1.8p3;", "x = 0X1.8P3;", true},
        {"a hex float of a fraction only", "x = 0x.8p1;", "x = 0X.8P1;", true},
        {"a hex float without p", "x = 0x1.8;", "x = 0X1.8;", false},
        {"a hex float without digits", "x = 0x.p1;", "x = 0X.P1;", false},
        {"a hex float without exponent digits", "x = 0x1p;", "x = 0X1P;", false},
        {"a hex float's exponent sign", "x = 0x1p+3;", "x = 0x1P+3;", true},
        {"a hex float's negative exponent", "x = 0x1p-3;", "x = 0x1p3;", false},
        {"an integer keeps its zeros", "x = 0;", "x = 00;", false},
        {"a fraction's leading zeros", "x = 00.5;", "x = 0.5;", true},
        {"a fraction's trailing zeros", "x = 1.50;", "x = 1.5;", true},
        {"no digit before the point", "x = .5;", "x = 0.5;", true},
        {"no digit after the point", "x = 1.;", "x = 1.0;", true},
        {"zero three ways", "x = 0.;", "x = .0;", true},
        {"a plain exponent", "x = 1e5;", "x = 1.0E+05;", true},
        {"a negative exponent", "x = 1e-5;", "x = 1e5;", false},
        {"a zero exponent", "x = 1e0;", "x = 1.0;", true},
        {"a negative zero exponent", "x = 1e-0;", "x = 1.0;", true},
        {"an exponent's digits", "x = 1.5e10;", "x = 1.5e1;", false},
        {"an exponent without digits", "x = 1e;", "x = 1E;", false},
        {"an integer against its float", "x = 10;", "x = 1e1;", false},
        {"ul and lu", "x = 1UL;", "x = 1lu;", true},
        {"ull and llu", "x = 1LLU;", "x = 1ull;", true},
        {"uz and zu", "x = 1zu;", "x = 1UZ;", true},
        {"f of a float", "x = 1.5F;", "x = 1.5f;", true},
        {"l of a float", "x = 1.5L;", "x = 1.5l;", true},
        {"u against ul", "x = 1u;", "x = 1ul;", false},
        {"l against ll", "x = 1l;", "x = 1ll;", false},
        {"f against l", "x = 1.5f;", "x = 1.5l;", false},
        {"f of an integer", "x = 1f;", "x = 1F;", false},
        {"u of a float", "x = 1.5u;", "x = 1.5U;", false},
        {"a suffix too long", "x = 1lul;", "x = 1LUL;", false},
        {"Ll", "x = 1Ll;", "x = 1ll;", false},
        {"d of C#", "x = 1d;", "x = 1D;", false},
        {"a separator", "x = 1'000;", "x = 1000;", true},
        {"a separator in hex", "x = 0x1'f;", "x = 0x1f;", true},
        {"a separator in binary", "x = 0b1'0;", "x = 0b10;", true},
        {"a separator in a fraction", "x = 1.5'0;", "x = 1.5;", true},
        {"a separator before an exponent", "x = 1'e5;", "x = 1e5;", false},
        {"a separator before a suffix", "x = 1'u;", "x = 1u;", false},
        {"a separator after 0b", "x = 0b'1;", "x = 0b1;", false},
        {"the longest number put right", "x = 0." + zeros + "1E1;", "x = 0." + zeros + "1e1;", true},
        {"a number too long to put right", "x = 0." + zeros + "01E1;", "x = 0." + zeros + "01e1;", false},
    });
}

TEST(CNearMiss, Usings)
{
    std::string up32, down32, up33, down33;
    for (int n = 0; n < 33; ++n) {
        const std::string line = "using a::u" + std::to_string(100 + n) + ";\n";
        if (n < 32) {
            up32 += line;
            down32 = line + down32;
        }
        up33 += line;
        down33 = line + down33;
    }
    const std::string path16 = times("a::", 15) + "z", path17 = times("a::", 16) + "z";
    const std::string long1 = "using a::" + std::string(2100, 'b') + ";\n";
    const std::string long2 = "using a::" + std::string(2100, 'c') + ";\n";
    checkRewritePairs(C, allow(Rewrite::Usings), {
        {"a run from the root", "using ::b::y;\nusing ::a::x;\n", "using ::a::x;\nusing ::b::y;\n", true},
        {"a one-name using ends the run", "using b::y;\nusing a;\nusing c::z;\n",
         "using c::z;\nusing a;\nusing b::y;\n", false},
        {"using enum ends the run", "using enum b::E;\nusing enum a::F;\n", "using enum a::F;\nusing enum b::E;\n",
         false},
        {"using typename ends the run", "using typename b::y;\nusing typename a::x;\n",
         "using typename a::x;\nusing typename b::y;\n", false},
        {"an operator ends the run", "using b::operator x;\nusing a::y;\n", "using a::y;\nusing b::operator x;\n",
         false},
        {"two introducing one name", "using a::b;\nusing c::b;\n", "using c::b;\nusing a::b;\n", false},
        {"after a statement", "int i; using b::y; using a::x;", "int i; using a::x; using b::y;", true},
        {"in a function body", "void f() { using b::y; using a::x; }", "void f() { using a::x; using b::y; }", true},
        {"32 in a run", up32, down32, true},
        {"33 in a run", up33, down33, false},
        {"16 names in a path", "using " + path16 + ";\nusing b::y;\n", "using b::y;\nusing " + path16 + ";\n", true},
        {"17 names in a path", "using " + path17 + ";\nusing b::y;\n", "using b::y;\nusing " + path17 + ";\n", false},
        {"a run too long for its key", long2 + long1, long1 + long2, false},
        {"macro arguments", "M(using b::y; using a::x;)", "M(using a::x; using b::y;)", false},
    });
}

TEST(CNearMiss, Semicolons)
{
    checkRewritePairs(C, allow(Rewrite::Semicolons), {
        {"after a ; in a namespace", "#include <a>\nnamespace n { int x;; }", "#include <a>\nnamespace n { int x; }",
         true},
        {"after a namespace's }", "#include <a>\nnamespace n { };", "#include <a>\nnamespace n { }", true},
        {"in an extern \"C\" block", "#include <a>\nextern \"C\" { ; int x; }", "#include <a>\nextern \"C\" { int x; }",
         true},
        {"in a class body", "#include <a>\nstruct S { int a;; };", "#include <a>\nstruct S { int a; };", true},
        {"after a declaration", "#include <a>\nint f();;", "#include <a>\nint f();", true},
        {"after a body without a statement", "#include <a>\nvoid f() { g(); };", "#include <a>\nvoid f() { g(); }",
         false},
        {"after an enum's }", "#include <a>\nenum E { A };", "#include <a>\nenum E { A }", false},
        {"first after a directive", "#include <a>\n;int x;", "#include <a>\nint x;", false},
        {"inside a namespace alias", "#include <a>\nnamespace n = m;;", "#include <a>\nnamespace n = m;", true},
        {"after #import", "#import <a>\nint x;;", "#import <a>\nint x;", true},
        {"after #include_next", "#include_next <a>\nint x;;", "#include_next <a>\nint x;", true},
        {"before any #include", "int x;;\n#include <a>\n", "int x;\n#include <a>\n", false},
    });
}

// What ends the rewrites for the rest of a file, or where they never start.
TEST(CNearMiss, RewriteScope)
{
    const std::string open64 = times("#if A\n", 64), close64 = times("#endif\n", 64);
    const std::string open65 = times("#if A\n", 65), close65 = times("#endif\n", 65);
    const std::string deep256 = "void g() " + times("{", 256) + times("}", 256) + "\n";
    const std::string deep257 = "void g() " + times("{", 257) + times("}", 257) + "\n";
    const std::string value = "int f() { return (x); }", plain = "int f() { return x; }";
    checkRewritePairs(C, allow(Rewrite::Parens), {
        {"digraph brackets", "int a <: 1 :>; " + value, "int a <: 1 :>; " + plain, false},
        {"#if branches that open different brackets", "#if A\nint a[] = {\n#else\nvoid g(int) {\n#endif\n}\n" + value,
         "#if A\nint a[] = {\n#else\nvoid g(int) {\n#endif\n}\n" + plain, false},
        {"#if branches that open the same bracket", "#if A\nvoid g() {\n#else\nvoid g(int) {\n#endif\n}\n" + value,
         "#if A\nvoid g() {\n#else\nvoid g(int) {\n#endif\n}\n" + plain, true},
        {"#if branches that close the same bracket", "int n = g(a,\n#if A\nb);\n#else\nc);\n#endif\n" + value,
         "int n = g(a,\n#if A\nb);\n#else\nc);\n#endif\n" + plain, true},
        {"#if branches that close different brackets", "int n[] = {g(a,\n#if A\nb)};\n#else\nc);\n#endif\n" + value,
         "int n[] = {g(a,\n#if A\nb)};\n#else\nc);\n#endif\n" + plain, false},
        {"an #if without #else that opens a bracket", "#if A\nvoid g() {\n#endif\n}\n" + value,
         "#if A\nvoid g() {\n#endif\n}\n" + plain, false},
        {"#if branches that close three brackets", "int n = g((h(a,\n#if A\nb)));\n#else\nc)));\n#endif\n" + value,
         "int n = g((h(a,\n#if A\nb)));\n#else\nc)));\n#endif\n" + plain, false},
        {"#if branches that each close what they open",
         "#if A\nint g() { return 1; }\n#else\nint g() { return 2; }\n#endif\n" + value,
         "#if A\nint g() { return 1; }\n#else\nint g() { return 2; }\n#endif\n" + plain, true},
        {"#endif without #if", "#endif\n" + value, "#endif\n" + plain, false},
        {"#else without #if", "#else\n" + value, "#else\n" + plain, false},
        {"#if groups 64 deep", open64 + close64 + value, open64 + close64 + plain, true},
        {"#if groups 65 deep", open65 + close65 + value, open65 + close65 + plain, false},
        {"brackets 256 deep", deep256 + value, deep256 + plain, true},
        {"brackets 257 deep", deep257 + value, deep257 + plain, false},
        {"a '(' after a name may be a macro's", "M(x = (a);)", "M(x = a;)", false},
        {"a '(' after ')' may be a macro's", "(M)(x = (a);)", "(M)(x = a;)", false},
        {"a '(' after a keyword that takes no arguments", "void f() { if (g) { x = (a); } }",
         "void f() { if (g) { x = a; } }", true},
        {"a '(' after sizeof may be a macro's", "int n = sizeof(x = (a););", "int n = sizeof(x = a;);", false},
        {"inside a directive", "#define R x = (a);\n", "#define R x = a;\n", false},
        {"after a directive", "#define R 1\n" + value, "#define R 1\n" + plain, true},
    });
}

} // namespace
