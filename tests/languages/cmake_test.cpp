// CMake's in-process tests: its near misses first, then real files through
// cmake-format, judged by a reference tokenizer of the test's own.
//
// Near misses of the CMake lexer: for each decision, a pair that must differ
// if it went wrong and, where it can go the other way, a pair that must stay
// equal.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
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
        {"a comment whose line end is the first byte after the window", "f()\n#" + std::string(65531, 'x') + "\ng()\n",
         "f()\ng()\n", true},
        {"a byte order mark", "f()\n", "\xEF\xBB\xBF" "f()\n", true},
        {"a byte order mark after a line", "f()\n", "\n\xEF\xBB\xBF" "f()\n", false},
        {"a form feed is no blank", "f(a b)\n", "f(a\fb)\n", false},
        {"a first #! line is a token", "#!/usr/bin/cmake -P\nf()\n", "f()\n", false},
        {"another #! line", "#!/usr/bin/cmake -P\nf()\n", "#!/usr/bin/cmake3 -P\nf()\n", false},
        {"a #! line's blanks after #!", "#!/usr/bin/cmake -P\nf()\n", "#! /usr/bin/cmake -P \nf()\n", true},
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
        {"a closing one '=' short", "f([==[a]=]b]==] c)\n", "f([==[a]=]b]==]  c)\n", true},
        {"a closing one '=' short stays inside", "f([==[a]=] b]==])\n", "f([==[a]=]b]==])\n", false},
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

// The tokens of text, End left out.
std::vector<std::string> keys(const std::string &text)
{
    std::vector<std::string> out;
    for (const Tok &t : lexText(text, CMake))
        if (t.kind != TokenKind::End)
            out.push_back(t.key);
    return out;
}

TEST(CMakeNearMiss, Marks)
{
    using Keys = std::vector<std::string>;
    EXPECT_EQ(keys("f(a\"b\nc\")\n"), (Keys{"f", "(", "a", "<no separation>", "\"b\nc\"", ")"}))
        << "a legacy quoted part ends at its line";
    EXPECT_EQ(keys("f(a\"b c\"d)\n"), (Keys{"f", "(", "a\"b c\"d", ")"}));
    EXPECT_EQ(keys("F(a)\ng(\"x\n"), (Keys{"f", "(", "a", ")", "g", "(", "\"x\n", "<parse error>"}));
    EXPECT_EQ(keys("f(a)\n)b\n"), (Keys{"f", "(", "a", ")", "<parse error>", ")b\n"}));
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
    // A token that starts one byte into a refilled window (the blanks before
    // it fill the first) and whose scan stops at the window's last byte: the
    // refill that makes room moves the window, and the scan goes on from
    // that same byte, not the one after it. (The other source of each pair
    // has room for the refill.)
    const std::string blanks(65499, ' '), edge(65533, 'a');
    LexOptions comments;
    comments.comments = true;
    checkPairs(CMake, {
        {"an escaped quote at the window's end", "f" + blanks + "(\"" + edge + "\\\"x\")\n",
         "f(  \"" + edge + "\\\"x\")\n", true},
        {"a bracket's closing at the window's end", "f" + blanks + "([[" + edge.substr(1) + "]])\n",
         "f(  [[" + edge.substr(1) + "]])\n", true},
        {"a blank after a comment word at the window's end", "f()\n" + blanks + "#" + edge + "a b\n",
         "f()\n#" + edge + "a b\n", true, 0, 0, 0, 0, CMake, comments},
    });
}

} // namespace

// Real files through cmake-format, judged by a reference reading of the
// grammar of cmake-language(7), kept apart from the module and simple: each
// file is its command invocations, each a name (in lower case) and its
// arguments by kind and value.

namespace {

constexpr int kSampleFiles = 150;  // CMake files of this machine, spread over their list

struct RefArgument {
    char kind;          // 'u' unquoted, 'q' quoted, 'b' bracket, '(' and ')' nested
    std::string value;  // unquoted: as written; quoted: continuations out; bracket: its first line end out
    std::size_t begin, end;  // its bytes in the text
    bool operator==(const RefArgument &o) const { return kind == o.kind && value == o.value; }
};

struct RefCommand {
    std::string name;
    std::size_t nameBegin, nameEnd;
    std::vector<RefArgument> arguments;
    bool operator==(const RefCommand &o) const { return name == o.name && arguments == o.arguments; }
};

struct RefFile {
    bool ok = false;  // the text reads by the grammar
    std::vector<RefCommand> commands;
};

// The bracket "[==[" at text[at]: its '=', or -1 when none opens there.
long refBracket(const std::string &text, std::size_t at)
{
    std::size_t k = at + 1;
    while (k < text.size() && text[k] == '=')
        ++k;
    return at < text.size() && text[at] == '[' && k < text.size() && text[k] == '[' ? static_cast<long>(k - at - 1)
                                                                                        : -1;
}

// Where the bracket of equals '=' whose text starts at from closes: just after it; npos when it does not.
std::size_t refClose(const std::string &text, std::size_t from, long equals)
{
    const std::size_t at = text.find("]" + std::string(static_cast<std::size_t>(equals), '=') + "]", from);
    return at == std::string::npos ? at : at + static_cast<std::size_t>(equals) + 2;
}

// Reads text (CR LF read as LF beforehand by the caller's files, which hold none).
RefFile referenceRead(const std::string &text)
{
    RefFile file;
    const std::size_t n = text.size();
    std::size_t p = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    auto isName = [](char c, bool first) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || (!first && c >= '0' && c <= '9');
    };
    bool lineStart = true;  // a command may start: only blanks since the last line end
    while (p < n) {
        const char c = text[p];
        if (c == ' ' || c == '\t') {
            ++p;
        } else if (c == '\n') {
            lineStart = true;
            ++p;
        } else if (c == '#') {
            const long equals = refBracket(text, p + 1);
            if (equals >= 0) {  // a bracket comment: a line end must follow before a command
                p = refClose(text, p + static_cast<std::size_t>(equals) + 3, equals);
                if (p == std::string::npos)
                    return file;
                lineStart = false;
            } else {
                p = std::min(text.find('\n', p), n);
            }
        } else if (isName(c, true) && lineStart) {
            RefCommand command;
            command.nameBegin = p;
            while (p < n && isName(text[p], false))
                command.name += static_cast<char>(std::tolower(static_cast<unsigned char>(text[p++])));
            command.nameEnd = p;
            while (p < n && (text[p] == ' ' || text[p] == '\t'))
                ++p;
            if (p >= n || text[p] != '(')
                return file;
            ++p;
            // The arguments: separation (blanks, line ends, line comments) between
            // two of them; none is needed next to a parenthesis.
            int depth = 0;
            bool separated = true;
            for (;;) {
                if (p >= n)
                    return file;
                const char d = text[p];
                const std::size_t begin = p;
                if (d == ' ' || d == '\t' || d == '\n') {
                    separated = true;
                    ++p;
                } else if (d == '#') {
                    const long equals = refBracket(text, p + 1);
                    if (equals < 0) {
                        p = std::min(text.find('\n', p), n);
                        continue;
                    }
                    p = refClose(text, p + static_cast<std::size_t>(equals) + 3, equals);
                    if (p == std::string::npos)
                        return file;
                    separated = false;
                } else if (d == '(') {
                    ++depth;
                    command.arguments.push_back({'(', "(", begin, ++p});
                    separated = true;
                } else if (d == ')') {
                    ++p;
                    if (depth-- == 0)
                        break;
                    command.arguments.push_back({')', ")", begin, p});
                    separated = false;
                } else if (!separated) {
                    return file;
                } else if (d == '"') {
                    std::string value;
                    for (++p;; ++p) {
                        if (p >= n)
                            return file;
                        if (text[p] == '"')
                            break;
                        if (text[p] == '\\' && p + 1 < n && text[p + 1] == '\n') {
                            ++p;  // a continuation
                            continue;
                        }
                        if (text[p] == '\\' && p + 1 < n)
                            value += text[p++];
                        value += text[p];
                    }
                    command.arguments.push_back({'q', value, begin, ++p});
                    separated = false;
                } else if (refBracket(text, p) >= 0) {
                    const long equals = refBracket(text, p);
                    std::size_t from = p + static_cast<std::size_t>(equals) + 2;
                    p = refClose(text, from, equals);
                    if (p == std::string::npos)
                        return file;
                    from += from < n && text[from] == '\n';
                    command.arguments.push_back(
                        {'b', text.substr(from, p - static_cast<std::size_t>(equals) - 2 - from), begin, p});
                    separated = false;
                } else {
                    // Unquoted: no blank, parenthesis, '#' or '"' unless escaped by
                    // a backslash; a legacy quoted part inside, closed on its line;
                    // a make-style reference "$(NAME)". A backslash before a line
                    // end escapes nothing (cmake says so; the grammar would allow it).
                    for (;;) {
                        if (p >= n)
                            break;
                        const char e = text[p];
                        if (e == ' ' || e == '\t' || e == '\r' || e == '\n' || e == '(' || e == ')' || e == '#')
                            break;
                        if (e == '\\') {
                            if (p + 1 >= n || text[p + 1] == '\n')
                                return file;
                            p += 2;
                        } else if (e == '"') {
                            std::size_t q = p + 1;
                            while (q < n && text[q] != '"' && text[q] != '\n' && text[q] != '(' && text[q] != ')' &&
                                   text[q] != '#')
                                q += text[q] == '\\' ? 2 : 1;
                            if (p == begin || q >= n || text[q] != '"')
                                break;
                            p = q + 1;
                        } else if (e == '$' && p + 1 < n && text[p + 1] == '(') {
                            std::size_t q = p + 2;
                            while (q < n && isName(text[q], false))
                                ++q;
                            if (q >= n || text[q] != ')') {
                                ++p;
                                break;
                            }
                            p = q + 1;
                        } else {
                            ++p;
                        }
                    }
                    if (p == begin)
                        return file;
                    command.arguments.push_back({'u', text.substr(begin, p - begin), begin, p});
                    separated = false;
                }
            }
            file.commands.push_back(command);
            lineStart = false;
        } else {
            return file;
        }
    }
    file.ok = true;
    return file;
}

// The judge's verdict on a pair: 's' the same, 'd' different, '?' neither reads.
char judgePair(const std::string &a, const std::string &b)
{
    const RefFile ra = referenceRead(a), rb = referenceRead(b);
    if (!ra.ok && !rb.ok)
        return '?';
    return ra.ok && rb.ok && ra.commands == rb.commands ? 's' : 'd';
}

// The reference on cmake-language(7)'s own examples.
TEST(CMakeReference, ReadsTheExamples)
{
    const RefFile f = referenceRead("add_executable(hello world.c)\nif(FALSE AND (FALSE OR TRUE)) # x\n"
                                    "message([=[\nNo \\-escape ]] ${v}]=])\nmessage(\"a\\\nb\" a\"b c\"d $(V)x)\n");
    ASSERT_TRUE(f.ok);
    ASSERT_EQ(f.commands.size(), 4u);
    EXPECT_EQ(f.commands[1].arguments.size(), 7u);
    EXPECT_EQ(f.commands[2].arguments[0].value, "No \\-escape ]] ${v}");
    EXPECT_EQ(f.commands[3].arguments[0].value, "ab");
    EXPECT_EQ(f.commands[3].arguments[1].value, "a\"b c\"d");
    EXPECT_EQ(f.commands[3].arguments[2].value, "$(V)x");
    EXPECT_FALSE(referenceRead("f() g()\n").ok);
    EXPECT_FALSE(referenceRead("f(\"a\"b)\n").ok);
    EXPECT_FALSE(referenceRead("f(\"a)\n").ok);
    EXPECT_EQ(judgePair("F(a b)\n", "f(\n  a\n  b)\n"), 's');
    EXPECT_EQ(judgePair("f(a b)\n", "f(ab)\n"), 'd');
}

std::vector<std::string> outputLines(const std::string &command)
{
    std::vector<std::string> out;
    std::istringstream in(commandOutput(command));
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// Up to kSampleFiles CMake files of this machine, spread over their sorted list.
std::vector<std::string> cmakeFiles()
{
    std::vector<std::string> all = outputLines(
        "find /usr/share/cmake-* /usr/lib/*/cmake \\( -name '*.cmake' -o -name CMakeLists.txt \\) -type f "
        "-size -100k 2>/dev/null | LC_ALL=C sort");
    std::vector<std::string> picked;
    for (std::size_t k = 0; k < static_cast<std::size_t>(kSampleFiles) && k < all.size(); ++k) {
        const std::string &path = all[k * all.size() / kSampleFiles];
        if (path.find('\'') == std::string::npos)
            picked.push_back(path);
    }
    return picked;
}

struct Tally {
    int pairs = 0, changed = 0, same = 0, different = 0, unread = 0, falseAlarms = 0, misses = 0;
};

// The pairs of files of one name in folders a and b under root: the judge's
// verdict against the utility's (one tree run).
Tally judgeTrees(const std::string &root, const std::string &a, const std::string &b,
                 const std::vector<std::string> &names)
{
    Tally t;
    const RunResult r = runMatchling({a, b, "--tokens"}, root);
    for (const std::string &name : names) {
        const std::string left = readFile(root + "/" + a + "/" + name), right = readFile(root + "/" + b + "/" + name);
        const bool flagged = r.out.find("Not equivalent: " + name + " ") != std::string::npos;
        ++t.pairs;
        t.changed += left != right;
        switch (judgePair(left, right)) {
        case 's':
            ++t.same;
            t.falseAlarms += flagged;
            EXPECT_FALSE(flagged) << "false alarm: " << a << " against " << b << ": " << name;
            break;
        case 'd':
            ++t.different;
            t.misses += !flagged;
            EXPECT_TRUE(flagged) << "miss: " << a << " against " << b << ": " << name;
            break;
        default: ++t.unread; break;
        }
    }
    std::printf("%s against %s: %d pairs, %d changed; %d the same by the reference, %d false alarms; %d different, "
                "%d misses; %d neither reads\n",
                a.c_str(), b.c_str(), t.pairs, t.changed, t.same, t.falseAlarms, t.different, t.misses, t.unread);
    return t;
}

// Mutants of a text that reads: the first that each change makes, or "".
std::string mutate(const std::string &text, const RefFile &f, char kind)
{
    for (const RefCommand &c : f.commands) {
        const std::vector<RefArgument> &args = c.arguments;
        if (kind == 'n')  // a command name changed
            return text.substr(0, c.nameEnd) + "x" + text.substr(c.nameEnd);
        for (std::size_t i = 0; i < args.size(); ++i) {
            const RefArgument &x = args[i];
            if (kind == 'q' && x.kind == 'q')  // a blank put inside a quoted argument
                return text.substr(0, x.begin + 1) + " " + text.substr(x.begin + 1);
            if (i + 1 >= args.size())
                continue;
            const RefArgument &y = args[i + 1];
            const std::string gap = text.substr(x.end, y.begin - x.end);
            const bool blanks = gap.find_first_not_of(" \t\n") == std::string::npos;
            if (kind == 'j' && x.kind == 'u' && y.kind == 'u' && blanks)  // two arguments joined
                return text.substr(0, x.end) + text.substr(y.begin);
            if (kind == 'm' && x.kind != '(' && x.kind != ')' && y.kind != '(' && y.kind != ')' && !(x == y) &&
                blanks)  // an argument moved past the next
                return text.substr(0, x.begin) + text.substr(y.begin, y.end - y.begin) + gap +
                       text.substr(x.begin, x.end - x.begin) + text.substr(y.end);
        }
    }
    return "";
}

TEST(CMakeFormatterTools, ReferenceJudgesRealFiles)
{
    if (!haveTool("cmake-format"))
        GTEST_SKIP() << "cmake-format is needed (Debian's cmake-format)";
    const std::vector<std::string> files = cmakeFiles();
    if (files.size() < 50)
        GTEST_SKIP() << "too few CMake files under /usr/share/cmake-* and /usr/lib/*/cmake";
    ScratchDir dir;
    std::vector<std::string> names;
    const char *const settings[][2] = {{"default", ""}, {"narrow", "--line-width 40"}, {"upper", "--command-case upper"}};
    for (const char *folder : {"orig", "default", "narrow", "upper"})
        makeDir(dir.file(folder));
    for (std::size_t i = 0; i < files.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%03zu.cmake", i);
        names.push_back(name);
        const std::string text = readFile(files[i]);
        for (const char *folder : {"orig", "default", "narrow", "upper"})
            writeFile(dir.file(std::string(folder) + "/" + name), text);
    }
    // Each setting in place over its folder, all three at once.
    std::string command = "cd '" + dir.path() + "' && { ";
    for (const auto &s : settings)
        command += "(cmake-format " + std::string(s[1]) + " -i " + s[0] + "/*.cmake >/dev/null 2>&1; true) & ";
    command += "wait; }";
    ASSERT_EQ(std::system(command.c_str()), 0);
    Tally total;
    for (const auto &s : settings) {
        const Tally t = judgeTrees(dir.path(), "orig", s[0], names);
        EXPECT_GT(t.changed * 2, t.pairs) << "cmake-format changes most files";
        total.same += t.same;
        total.falseAlarms += t.falseAlarms;
        total.misses += t.misses;
    }
    EXPECT_EQ(total.misses, 0);
    EXPECT_LE(total.falseAlarms * 50, total.same) << "false alarms at most 2% of the pairs the reference calls the same";

    // Mutants of cmake-format's output, each a change of meaning: all flagged.
    makeDir(dir.file("base"));
    makeDir(dir.file("mutant"));
    std::vector<std::string> mutants;
    int kinds[4] = {0, 0, 0, 0};
    for (const std::string &name : names) {
        const std::string text = readFile(dir.file("default/" + name));
        const RefFile f = referenceRead(text);
        if (!f.ok || text.find('\r') != std::string::npos)
            continue;
        for (char kind : {'j', 'q', 'n', 'm'}) {
            const std::string m = mutate(text, f, kind);
            if (m.empty())
                continue;
            const std::string mutant = std::string(1, kind) + "_" + name;
            ASSERT_EQ(judgePair(text, m), 'd') << mutant;
            writeFile(dir.file("base/" + mutant), text);
            writeFile(dir.file("mutant/" + mutant), m);
            mutants.push_back(mutant);
            ++kinds[std::string("jqnm").find(kind)];
        }
    }
    std::printf("mutants: %d arguments joined, %d blanks put in quoted arguments, %d names changed, %d arguments "
                "moved\n",
                kinds[0], kinds[1], kinds[2], kinds[3]);
    const Tally m = judgeTrees(dir.path(), "base", "mutant", mutants);
    EXPECT_GT(m.different, 300);
    EXPECT_EQ(m.misses, 0);
}

// cmake-format breaks an escaped parenthesis, "\(", into "\ (": a change of
// meaning that the reference and the utility both see.
TEST(CMakeFormatterTools, EscapedParenthesisSplit)
{
    if (!haveTool("cmake-format"))
        GTEST_SKIP() << "cmake-format is needed (Debian's cmake-format)";
    ScratchDir dir;
    makeDir(dir.file("a"));
    makeDir(dir.file("b"));
    const std::string text = "execute_process(COMMAND find \"${bundle}\" -type f \\( -perm -0100 -o -perm -0010 -o "
                             "-perm -0001 \\) OUTPUT_VARIABLE files)\n";
    writeFile(dir.file("a/x.cmake"), text);
    writeFile(dir.file("b/x.cmake"), text);
    ASSERT_EQ(std::system(("cmake-format -i '" + dir.file("b/x.cmake") + "'").c_str()), 0);
    const std::string formatted = readFile(dir.file("b/x.cmake"));
    if (formatted.find("\\ (") == std::string::npos)
        GTEST_SKIP() << "this cmake-format keeps \\( whole";
    EXPECT_EQ(judgePair(text, formatted), 'd');
    const Tally t = judgeTrees(dir.path(), "a", "b", {"x.cmake"});
    EXPECT_EQ(t.misses, 0);
}

} // namespace
