// INI's in-process tests: its near misses for each reading (configparser's
// .ini and .cfg, .editorconfig, Java's .properties), for each decision a pair
// that must differ and, where the decision can go the other way, a pair that
// must stay equal; the input it refuses; then its figures against Python's
// configparser, a reader of .properties and prettier-plugin-ini (suite
// IniLexerTools).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"

namespace {

// Every case also checks that both sources are read to their end: two
// refused sources could look alike.
void checkIni(Language language, std::vector<PairCase> cases, const LexOptions &options = {})
{
    for (PairCase &c : cases) {
        EXPECT_EQ(refusalOf(c.a, language, options), "") << c.name << ": " << c.a;
        EXPECT_EQ(refusalOf(c.b, language, options), "") << c.name << ": " << c.b;
        c.options = options;
    }
    checkPairs(language, std::move(cases));
}

TEST(IniNearMiss, Ini)
{
    checkIni(Language::Ini, {
        {"blanks around '='", "[s]\na=1\n", "[s]\na  =\t1\n", true},
        {"blanks around ':'", "[s]\na:1\n", "[s]\na : 1\n", true},
        {"'=' is no ':'", "[s]\na=1\n", "[s]\na:1\n", false},
        {"a value's trailing blanks", "[s]\na = 1\n", "[s]\na = 1  \t\n", true},
        {"a value's inner blanks", "[s]\na = 1 2\n", "[s]\na = 1  2\n", false},
        {"a value's text", "[s]\na = 1\n", "[s]\na = 2\n", false},
        {"a key's inner blanks", "[s]\na b = 1\n", "[s]\na  b = 1\n", false},
        {"a key's case", "[s]\na = 1\n", "[s]\nA = 1\n", false},
        {"the first delimiter ends the key", "[s]\na = b = c\n", "[s]\na = b=c\n", false},
        {"a key and its value, split elsewhere", "[s]\nab = c\n", "[s]\na = bc\n", false},
        {"an empty value", "[s]\na =\n", "[s]\na =   \n", true},
        {"an empty value against none", "[s]\na =\n", "[s]\na\n", false},
        {"a section's inner blanks", "[a b]\n", "[a  b]\n", false},
        {"blanks inside a header's brackets", "[a]\n", "[ a ]\n", false},
        {"a header's indentation and trailing blanks", "[a]\nk=1\n", "  [a]   \nk=1\n", true},
        {"a header's text after its ']'", "[a]\n", "[a] x\n", false},
        {"blank lines and CR LF", "[s]\na=1\nb=2\n", "\r\n[s]\r\n\r\na=1\r\n\r\n\r\nb=2", true},
        {"a line end ends a value", "[s]\na = 1\nb = 2\n", "[s]\na = 1 b = 2\n", false},
        {"comments", "[s]\na=1\n", "; top\n[s]\n  # note\na=1\n", true},
        {"a ';' inside a value is text", "[s]\na = 1\n", "[s]\na = 1 ; c\n", false},
        {"indentation before a key", "[s]\na = 1\nb = 2\n", "[s]\n  a = 1\n  b = 2\n", true},
        {"a deeper line continues the value", "[s]\na = 1\nb\n", "[s]\na = 1\n  b\n", false},
        {"a continued value's indentation", "[s]\na = 1\n  b\n", "[s]\na = 1\n\t\t b  \n", true},
        {"a continued value against one line", "[s]\na = 1\n  b\n", "[s]\na = 1 b\n", false},
        {"a blank line inside a continued value", "[s]\na = 1\n  b\n", "[s]\na = 1\n\n  b\n", false},
        {"blank lines after a value", "[s]\na = 1\n\n\nb = 2\n", "[s]\na = 1\nb = 2\n", true},
        {"a comment inside a continued value", "[s]\na = 1\n  b\n", "[s]\na = 1\n# c\n  b\n", true},
        {"no continuation after a header", "[s]\n  a = 1\n", "[s]\na = 1\n", true},
        {"a line as deep as its option is a key", "[s]\n  a = 1\n  b = 2\n", "[s]\n  a = 1\n    b = 2\n", false},
        {"an empty value continued", "[s]\na =\n  x\n", "[s]\na = x\n", false},
        {"a byte order mark", "[s]\n", "\xEF\xBB\xBF[s]\n", true},
        {"UTF-8 text", "[s]\nk = \xC3\xA9\n", "[s]\nk = e\n", false},
        {"a form feed inside a value is text", "[s]\nk = a\fb\n", "[s]\nk = a b\n", false},
    });
}

// Tokens longer than a piece and than the window, and blanks past those held back.
TEST(IniNearMiss, LongTokens)
{
    const std::string big(70000, 'x'), blanks(100, ' ');
    checkIni(Language::Ini, {
        {"a value longer than the window", "[s]\na = " + big + "\n", "[s]\na=" + big + "  \n", true},
        {"its last byte", "[s]\na = " + big + "\n", "[s]\na = " + big + "y\n", false},
        {"a continued value longer than the window", "[s]\na = 1\n  " + big + "\n", "[s]\na = 1\n\t" + big + "\n", true},
        {"a key longer than the window", "[s]\n" + big + " = 1\n", "[s]\n" + big + "=1\n", true},
        {"inner blanks past those held back", "[s]\na = 1" + blanks + "2\n", "[s]\na = 1" + blanks + " 2\n", false},
    });
    checkIni(Language::Properties, {
        {"a value longer than the window", "a=" + big + "\n", "a = " + big + "\n", true},
        {"its continued last byte", "a=" + big + "y\n", "a=" + big + "\\\n  y\n", true},
    });
}

TEST(IniNearMiss, Comments)
{
    LexOptions comments;
    comments.comments = true;
    checkIni(Language::Ini, {
        {"a comment's words", "# a b\n[s]\n", "# a c\n[s]\n", false},
        {"a comment's blanks", "# a b\n[s]\n", "#a   b\n[s]\n", true},
        {"a comment inside a continued value", "[s]\na = 1\n  b\n", "[s]\na = 1\n# c\n  b\n", false},
    }, comments);
}

TEST(IniNearMiss, EditorConfig)
{
    checkIni(Language::EditorConfig, {
        {"blanks around '='", "[*.py]\nindent_size=4\n", "[*.py]\n indent_size = 4 \n", true},
        {"no line continues another", "[*]\na = 1\n  b = 2\n", "[*]\na = 1\nb = 2\n", true},
        {"a glob's text", "[*.py]\n", "[*.pyi]\n", false},
        {"a value", "[*]\nindent_style = tab\n", "[*]\nindent_style = space\n", false},
    });
}

TEST(IniNearMiss, Properties)
{
    checkIni(Language::Properties, {
        {"'=', ':' and a blank separate alike", "a=1\n", "a : 1\n", true},
        {"a blank separates", "a=1\n", "a 1\n", true},
        {"leading blanks", "a=1\n", " \t\fa=1\n", true},
        {"a value's trailing blanks count", "a=1\n", "a=1  \n", false},
        {"a value's leading blanks do not", "a=1\n", "a=    1\n", true},
        {"one separator only", "a=1\n", "a==1\n", false},
        {"an escaped blank stays in the key", "a\\ b=1\n", "a b=1\n", false},
        {"a continued line", "a=12\n", "a=1\\\n    2\n", true},
        {"a continued key", "ab=1\n", "a\\\n  b=1\n", true},
        {"an escaped backslash before a line end", "a=1\\\\\nb=2\n", "a=1\\\\b=2\n", false},
        {"'!' and '#' comments", "a=1\n", "! x\n# y\na=1\n", true},
        {"'#' inside a continued value", "a=1\\\n#x\n", "a=1#x\n", true},
        {"';' opens no comment", "a=1\n", ";a=1\n", false},
        {"a key alone", "a\n", "a=\n", true},
        {"a key's text", "a=1\n", "b=1\n", false},
        {"ISO 8859-1 bytes", "a=\xE9\n", "a=\xE8\n", false},
    });
}

TEST(IniNearMiss, Refused)
{
    const struct {
        const char *name;
        Language language;
        std::string text, reason;
    } rows[] = {
        {"a header without its ']'", Language::Ini, "[s\na=1\n", "not valid INI at line 1, column 3"},
        {"a NUL byte", Language::Ini, std::string("[s]\na=\0\n", 8), "not valid INI at line 2, column 3"},
        {"bytes that are no UTF-8", Language::Ini, "[s]\na=\xE9t\xE9\n", "not valid INI at line 2, column 3"},
        {"a key missing", Language::EditorConfig, "[*]\n = 1\n", "not valid INI at line 2, column 2"},
        {"a NUL in a .properties file", Language::Properties, std::string("a=\0\n", 4), "not valid INI at line 1, column 3"},
        {"ISO 8859-1 in a .properties file", Language::Properties, "a=\xE9\n", ""},
        {"a lone CR in a value", Language::Ini, "[s]\na=1\r b=2\n", "not valid INI at line 2, column 4"},
        {"a lone CR in a comment", Language::Ini, "# c\r  a=1\n[s]\n", "not valid INI at line 1, column 4"},
        {"a lone CR in a .properties file", Language::Properties, "a=1\rb=2\n", "not valid INI at line 1, column 4"},
        {"a form feed before a key", Language::Ini, "[s]\na=1\n\fb=2\n", "not valid INI at line 3, column 1"},
        {"a no-break space before a key", Language::Ini, "[s]\n\xC2\xA0" "b=2\n", "not valid INI at line 2, column 1"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(refusalOf(r.text, r.language), r.reason);
    }
}

} // namespace

namespace {

Language iniLanguage(const std::string &name)
{
    return name == "editorconfig" ? Language::EditorConfig : name == "properties" ? Language::Properties : Language::Ini;
}

// configparser (.ini, .cfg), a reader of .editorconfig and one of Java's
// .properties judge prettier-plugin-ini's output in two settings, relayout
// mutants and token mutants of the samples and of up to 60 such files of
// this machine.
TEST(IniLexerTools, ReadersJudgeFormatterAndMutants)
{
    if (!haveTool("python3"))
        GTEST_SKIP() << "python3 is needed";
    const std::string prettier = npmTool("prettier");
    if (prettier.empty())
        GTEST_SKIP() << "prettier with prettier-plugin-ini (npm ci in tests/npm) is needed";
    const std::string source = MATCHLING_SOURCE_DIR;
    const std::string found = "find /usr /etc -maxdepth 6 \\( -name '*.ini' -o -name '*.cfg' -o -name '*.properties' "
                              "-o -name .editorconfig \\) -size -64k -type f 2>/dev/null | sort | "
                              "awk 'NR % 3 == 1' | head -60 | tr '\\n' ' '";
    ScratchDir dir;
    const auto tallies = judgePairs("python3 '" + source + "/tests/languages/ini_judge.py' make '" + dir.path() +
                                        "' '" + prettier + "' " + source + "/tests/languages/ini/* " +
                                        commandOutput(found),
                                    iniLanguage);
    EXPECT_GT(tallies.count("prettier"), 0u) << "prettier formatted nothing";
}

} // namespace
