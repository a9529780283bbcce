// CMake's in-process tests: its near misses first, then real files through
// cmake-format, judged by a reference tokenizer of the test's own.
//
// Near misses of the CMake lexer: for each decision, a pair that must differ
// if it went wrong and, where it can go the other way, a pair that must stay
// equal.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"

namespace {

const Language CMake = Language::CMake;

TEST(CMakeNearMiss, Layout)
{
    checkPairs(CMake, {
        {"blanks between arguments", "f(a b)\n", "f(  a\tb  )\n", true},
        {"line ends between arguments", "f(a b)\n", "f(\n  a\n  b\n)\n", true},
        {"CR LF and a lone CR", "f(a b)\n", "f(a\rb)\r\n", true},
        {"blanks between a name and its '('", "f(a)\n", "f \t(a)\n", true},
        {"a line end between a name and its '('", "f(a)\n", "f\n(a)\n", false},
        {"a comment between a name and its '('", "f(a)\n", "f #[[c]] (a)\n", false},
        {"line comments", "f(a b)\n", "# c\nf(a # c ) \"\n b) # c\n", true},
        {"bracket comments", "f(a b)\n", "#[==[c\n]]]==]\nf(a #[[c]] b)\n", true},
        {"blank lines", "f()\ng()\n", "\n\nf()\n\n\ng()", true},
        {"a byte order mark", "f()\n", "\xEF\xBB\xBF" "f()\n", true},
        {"a byte order mark after a line", "f()\n", "\n\xEF\xBB\xBF" "f()\n", false},
        {"a form feed is no blank", "f(a b)\n", "f(a\fb)\n", false},
    });
}

TEST(CMakeNearMiss, Names)
{
    checkPairs(CMake, {
        {"a name's case", "add_library(a)\n", "ADD_Library(a)\n", true},
        {"an argument's case", "f(a)\n", "f(A)\n", false},
        {"a name's letters", "f(a)\n", "g(a)\n", false},
        {"a name's digits and underscores", "f_1(a)\n", "f1_(a)\n", false},
        {"a name is no argument", "f(a)\n", "f(a\n)\n", true},
        {"two invocations on one line", "f()\ng()\n", "f() g()\n", false},
        {"a line comment ends a line", "f()\ng()\n", "f() # c\ng()\n", true},
        {"a bracket comment on the name's line", "#[[c]]\nf()\n", "#[[c]] f()\n", false},
        {"a name with a byte no name holds", "f_g()\n", "f-g()\n", false},
        {"a name after a bracket comment's line", "f()\n", "#[[c]]\nf()\n", true},
    });
}

TEST(CMakeNearMiss, Separation)
{
    checkPairs(CMake, {
        {"two arguments joined", "f(a b)\n", "f(ab)\n", false},
        {"a quoted argument touching an unquoted one", "f(\"a\" b)\n", "f(\"a\"b)\n", false},
        {"two quoted arguments touching", "f(\"a\" \"b\")\n", "f(\"a\"\"b\")\n", false},
        {"an unquoted argument with a legacy part", "f(a \"b\")\n", "f(a\"b\")\n", false},
        {"an argument touching a nested ')'", "f((a) b)\n", "f((a)b)\n", false},
        {"an argument touching a nested '('", "f(a (b))\n", "f(a(b))\n", true},
        {"a nested ')' touching an argument", "f((a ))\n", "f((a))\n", true},
        {"a bracket argument touching one before it", "f(\"a\" [[b]])\n", "f(\"a\"[[b]])\n", false},
        {"an argument touching a bracket argument", "f([[a]] b)\n", "f([[a]]b)\n", false},
        {"an argument touching a bracket comment", "f(a #[[c]] b)\n", "f(a #[[c]]b)\n", false},
        {"a bracket after an unquoted byte is no bracket", "f(a [[b]])\n", "f(a[[b]])\n", false},
        {"a '[' then '=' alone touch", "f([ == x)\n", "f([== x)\n", false},
        {"a line comment separates", "f(a # c\nb)\n", "f(a b)\n", true},
    });
}

TEST(CMakeNearMiss, Kinds)
{
    checkPairs(CMake, {
        {"unquoted against quoted", "f(a)\n", "f(\"a\")\n", false},
        {"quoted against bracket", "f(\"a\")\n", "f([[a]])\n", false},
        {"a bracket's length", "f([[a]])\n", "f([=[a]=])\n", false},
        {"a long bracket", "f(" + std::string(1, '[') + std::string(80, '=') + "[a b]" + std::string(80, '=') + "])\n",
         "f(\n" + std::string(1, '[') + std::string(80, '=') + "[a b]" + std::string(80, '=') + "]  )\n", true},
        {"a long bracket comment", "#[" + std::string(80, '=') + "[a ]]\n)]" + std::string(80, '=') + "]\nf()\n",
         "f()\n", true},
        {"a nested parenthesis against an escaped one", "f(( ))\n", "f(\\( \\))\n", false},
        {"a bracket argument's first line end as written", "f([[a]])\n", "f([[\na]])\n", false},
        {"'[' and '=' start an unquoted argument", "f([a =b)\n", "f([a  =b)\n", true},
    });
}

TEST(CMakeNearMiss, Quoted)
{
    checkPairs(CMake, {
        {"a blank inside", "f(\"a b\")\n", "f(\"a  b\")\n", false},
        {"a line end inside", "f(\"a b\")\n", "f(\"a\nb\")\n", false},
        {"a continuation is no part of the value", "f(\"ab\")\n", "f(\"a\\\nb\")\n", true},
        {"a continuation after CR", "f(\"ab\")\n", "f(\"a\\\r\nb\")\n", true},
        {"an escaped backslash before a line end", "f(\"a\\\\b\")\n", "f(\"a\\\\\nb\")\n", false},
        {"an escape as written", "f(\"a\\tb\")\n", "f(\"a\tb\")\n", false},
        {"an escaped quote", "f(\"a\\\" b\" c)\n", "f(\"a\\\" b\"  c)\n", true},
        {"CR LF inside reads as LF", "f(\"a\nb\")\n", "f(\"a\r\nb\")\n", true},
        {"a lone CR inside", "f(\"ab\")\n", "f(\"a\rb\")\n", false},
        {"a variable reference as written", "f(\"${a}\")\n", "f(\"${ a}\")\n", false},
        {"a '#' inside", "f(\"a#b\" c)\n", "f(\"a#b\"  c)\n", true},
    });
}

TEST(CMakeNearMiss, Bracket)
{
    checkPairs(CMake, {
        {"a blank inside", "f([[a b]])\n", "f([[a  b]])\n", false},
        {"CR LF inside reads as LF", "f([[a\nb]])\n", "f([[a\r\nb]])\n", true},
        {"a closing of another length", "f([=[a]]b]=] c)\n", "f([=[a]]b]=]  c)\n", true},
        {"a closing of another length stays inside", "f([=[a]] b]=])\n", "f([=[a]]b]=])\n", false},
        {"no escape inside", "f([[a\\\nb]])\n", "f([[ab]])\n", false},
    });
}

TEST(CMakeNearMiss, Unquoted)
{
    checkPairs(CMake, {
        {"a ';' inside", "f(a;b)\n", "f(a ;b)\n", false},
        {"an escaped ';'", "f(a\\;b)\n", "f(a;b)\n", false},
        {"an escaped blank", "f(a\\ b)\n", "f(a b)\n", false},
        {"an escaped blank stays inside", "f(a\\ b c)\n", "f(a\\ b  c)\n", true},
        {"a variable reference with a blank", "f(${a})\n", "f(${ a})\n", false},
        {"a variable reference touching", "f(${a}b)\n", "f(${a} b)\n", false},
        {"a legacy quoted part's blank", "f(a\"b c\"d)\n", "f(a\"b  c\"d)\n", false},
        {"a legacy quoted part ends its argument's run", "f(a\"b c\" d)\n", "f(a\"b c\"d)\n", false},
        {"a legacy quoted part stays one argument", "f(a\"b c\"d e)\n", "f(a\"b c\"d\n e)\n", true},
        {"an open legacy quote is a quoted argument", "f(a\"b c)\" d)\n", "f(a \"b c)\" d)\n", false},
        {"a make-style reference", "f($(CC) x)\n", "f($(CC)  x)\n", true},
        {"a make-style reference touching", "f($(CC) x)\n", "f($(CC)x)\n", false},
        {"a '$' before a parenthesis", "f($ (a))\n", "f($(a b))\n", false},
        {"a '#' ends an argument", "f(a#b\n)\n", "f(a\n)\n", true},
        {"a byte beyond ASCII", "f(a\xc3\xa9 b)\n", "f(a \xc3\xa9 b)\n", false},
    });
}

TEST(CMakeNearMiss, BadInput)
{
    checkPairs(CMake, {
        {"an unterminated quoted argument", "f(\"a\")\n", "f(\"a)\n", false},
        {"an unterminated quoted argument after a continuation", "f(\"a\")\n", "f(\"a\\\n", false},
        {"an unterminated bracket argument", "f([[a]])\n", "f([[a])\n", false},
        {"an unterminated bracket comment", "f()\n", "f()\n#[[c\n", false},
        {"a missing ')'", "f(a)\n", "f(a\n", false},
        {"a name at the end", "f()\n", "f()\ng\n", false},
        {"a stray ')'", "f()\n", "f()\n)\n", false},
        {"a stray argument", "f()\n", "f()\n\"a\"\n", false},
        {"a backslash before a line end", "f(a b)\n", "f(a\\\nb)\n", false},
        {"a backslash at the end", "f(a)\n", "f(a\\", false},
        {"the same error after layout", "f( x )\ng(a\\\nb)\n", "f(x)\ng(a\\\nb)\n", true},
        {"the rest after an error compares as written", "f(a\nx)\ng(\"a\n  b)\n", "f(a x)\ng(\"a\n b)\n", false},
        {"a zero byte", "f(a b)\n", std::string("f(a\0 b)\n", 8), false},
        {"a zero byte in a comment", "f(a b)\n", std::string("f(a # \0\n b)\n", 12), false},
        {"too many '=' in a bracket", std::string("f([") + std::string(5000, '=') + "[a]" + std::string(5000, '=') + "])\n",
         std::string("f([") + std::string(5000, '=') + "[a]" + std::string(5000, '=') + "] )\n", false},
    });
}

TEST(CMakeNearMiss, CommentWords)
{
    LexOptions comments;
    comments.comments = true;
    std::vector<PairCase> cases = {
        {"words compare", "# a b\nf()\n", "#[[a\n b]]\nf()\n", true},
        {"an edited word", "# a b\nf()\n", "# a c\nf()\n", false},
        {"a bracket comment's closing ends its words", "#[[a]] #[[b]]\nf()\n", "#[[a b]]\nf()\n", true},
        {"a closing of another length stays in a word", "#[=[a]]b]=]\nf()\n", "#[=[a b]=]\nf()\n", false},
        {"a comment in the arguments", "f(a # b\n c)\n", "f(a # b\n  c)\n", true},
        {"an unterminated bracket comment", "f()\n#[[a\n", "f()\n#[[a]]\n", false},
        {"a bracket comment still needs its line", "#[[a]]\nf()\n", "#[[a]] f()\n", false},
    };
    for (PairCase &c : cases)
        c.options = comments;
    checkPairs(CMake, cases);
}

// Tokens longer than the window, their pieces and the window's refills at
// every place around a piece's end.
TEST(CMakeNearMiss, LongTokens)
{
    const std::string body(70000, 'x');
    for (std::size_t shift : {0, 1, 2, 3, 100, 65530, 65531, 65532, 65533, 65534, 65535}) {
        SCOPED_TRACE(shift);
        const std::string front = "f(" + std::string(shift % 200, ' ') + body.substr(0, shift % 7);
        const std::string quoted = "\"" + body.substr(0, shift) + "\\\n" + body.substr(shift) + "\"";
        checkPairs(CMake, {
            {"a continuation", front + " \"" + body + "\")\n", front + " " + quoted + ")\n", true},
            {"a CR LF", front + " [[" + body.substr(0, shift) + "\n" + body.substr(shift) + "]])\n",
             front + " [[" + body.substr(0, shift) + "\r\n" + body.substr(shift) + "]])\n", true},
            {"a long unquoted argument", front + " a" + body + "\"b c\"d)\n", front + "\na" + body + "\"b c\"d )\n",
             true},
            {"a long unquoted argument split", front + " a" + body + ")\n",
             front + " a" + body.substr(0, shift) + " " + body.substr(shift) + ")\n", false},
        });
    }
}

} // namespace
