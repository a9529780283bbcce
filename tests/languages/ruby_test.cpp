// Ruby's in-process tests: its near misses, for each decision a pair that
// must differ and, where the decision can go the other way, a pair that must
// stay equal; the input the lexer refuses; then the lexer judged by Ruby's
// own Ripper and by RuboCop's layout corrections (suite RubyLexerTools).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"

namespace {

const Language Ruby = Language::Ruby;

// Every case also checks that both sources are Ruby to the lexer: a refused
// source ends its stream, and two refused sources could look alike.
void checkRuby(std::vector<PairCase> cases)
{
    for (const PairCase &c : cases) {
        EXPECT_EQ(refusalOf(c.a, Ruby, c.options), "") << c.name << ": " << c.a;
        EXPECT_EQ(refusalOf(c.b, Ruby, c.options), "") << c.name << ": " << c.b;
    }
    checkPairs(Ruby, std::move(cases));
}

TEST(RubyNearMiss, LineEnds)
{
    checkRuby({
        {"a statement's line end", "a\nb", "a b", false},
        {"a statement's line end against ';'", "a\nb", "a; b", false},
        {"blank lines and indentation", "a\nb", "  a\n\n\n    b\n", true},
        {"a line ending in an operator", "x = a +\n  b", "x = a + b", true},
        {"a line ending in ','", "f(a,\n  b)", "f(a, b)", true},
        {"a line ending in '('", "f(\na)", "f(a)", true},
        {"a line ending in '['", "x = [\n1]", "x = [1]", true},
        {"a line ending in '{'", "x = {\na: 1}", "x = {a: 1}", true},
        {"a line ending in '|'", "f { |a|\n a }", "f { |a| a }", true},
        {"a line ending in '.'", "a.\nb", "a.b", true},
        {"a line ending in '&.'", "a&.\nb", "a&.b", true},
        {"a backslash continuation", "x = a \\\n  + b", "x = a + b", true},
        {"no continuation: a line end inside parentheses", "(a\nb)", "(a b)", false},
        {"a leading-dot chain", "a\n  .b\n  .c", "a.b.c", true},
        {"a leading '&.' chain", "a\n  &.b", "a&.b", true},
        {"a leading-dot chain over a comment", "a\n  # c\n  .b", "a.b", true},
        {"a leading-dot chain broken by a blank line", "a\n\n  .b", "a.b", false},
        {"a leading range is no chain", "a\n..b", "a..b", false},
        {"a leading '&' is no chain", "a\n&b", "a&b", false},
        {"a line end before a closing bracket", "f(\n  a\n)", "f(a)", true},
        {"a line end before a closing brace", "x = {\n  a: 1\n}", "x = {a: 1}", true},
        {"a line end before 'end'", "f do |a| a end", "f do |a|\n  a\nend", true},
        {"a line end before a name that starts with 'end'", "a\nending", "a ending", false},
        {"a line end before a label 'end:'", "f(a\nend: 1)", "f(a end: 1)", false},
        {"a line end before 'rescue' stays", "a\nrescue b", "a rescue b", false},
        {"a line end at the end", "a", "a\n\n", true},
        {"after 'def', the name on the next line", "def\nf; end", "def f; end", true},
        {"after 'return', a new statement", "return\nx", "return x", false},
        {"after a keyword that begins, layout", "if\nx then y end", "if x then y end", true},
        {"a label's line end stays", "f a:\n1", "f a: 1", false},
        {"a CR LF line end", "a\r\nb\r\n", "a\nb\n", true},
    });
}

// Every reserved word read as one, by the state it leaves, and the same
// spelling with one more letter read as a name: after a word that begins, a
// line end is layout; after return and its kin, '[' opens an array; after
// a value, "-1" subtracts; after yield and its kin, "/a/" is a regular
// expression even where a local variable of that name would divide.
TEST(RubyNearMiss, ReservedWords)
{
    struct Group {
        std::vector<std::string> words;
        std::string a, b;  // '@' stands for the word
    };
    const Group groups[] = {
        {{"begin", "else", "elsif", "ensure", "and", "case", "do", "for", "if", "in", "module", "or", "then", "unless",
          "until", "when", "while", "def", "alias", "undef", "class"},
         "x @\ny", "x @ y"},
        {{"break", "next", "rescue", "return"}, "@[1]", "@ [1]"},
        {{"__ENCODING__", "__LINE__", "__FILE__", "BEGIN", "END", "end", "false", "nil", "redo", "retry", "self", "true"},
         "@ -1", "@ - 1"},
        {{"not", "super", "yield"}, "@ = 1; @ / a/", "@ = 1; @ /a/"},
    };
    auto spell = [](std::string text, const std::string &word) {
        for (std::size_t at; (at = text.find('@')) != std::string::npos;)
            text.replace(at, 1, word);
        return text;
    };
    std::vector<std::string> names;
    names.reserve(100);  // the cases point into it
    std::vector<PairCase> cases;
    for (const Group &g : groups)
        for (const std::string &w : g.words) {
            const bool division = g.a.find('/') != std::string::npos;
            names.push_back("the reserved word " + w);
            cases.push_back({names.back().c_str(), spell(g.a, w), spell(g.b, w), !division});
            names.push_back("the name " + w + "s");
            cases.push_back({names.back().c_str(), spell(g.a, w + "s"), spell(g.b, w + "s"), division});
        }
    checkRuby(cases);
}

TEST(RubyNearMiss, Operators)
{
    checkRuby({
        {"a binary minus's blanks", "x = a - b", "x = a-b", true},
        {"unary minus by its blanks after a call", "foo -x", "foo - x", false},
        {"unary minus by its blanks, no blank before", "foo - x", "foo-x", true},
        {"a negative literal against a negated call", "-2.abs", "- 2.abs", false},
        {"a negative literal's blanks at a statement's start", "x = -2", "x = - 2", false},
        {"unary minus at a statement's start", "x = -y", "x = - y", true},
        {"a splat by its blanks", "foo *a", "foo * a", false},
        {"a block argument by its blanks", "foo &b", "foo & b", false},
        {"an index against an array argument", "foo[1]", "foo [1]", false},
        {"an index on a local variable", "x = 1; x[1]", "x = 1; x [1]", true},
        {"a call's parentheses against a grouped argument", "foo(1)", "foo (1)", false},
        {"a scope against a top-level constant argument", "foo::A", "foo ::A", false},
        {"a scope's blanks", "A::B", "A:: B", true},
        {"a blank before '::' after a name", "A::B", "A :: B", false},
        {"'**' against two '*'", "a ** b", "a * * b", false},
        {"a name's '?'", "a? b", "a ? b : c", false},
        {"'!=' after a name", "a!=b", "a != b", true},
        {"a name's '!' before '=='", "a!==b", "a! == b", true},
        {"a lambda's arrow", "->(x) { x }", "-> (x) { x }", true},
        {"an operator assignment", "a += 1", "a + = 1", false},
        {"a range's dots", "a..b", "a...b", false},
    });
}

TEST(RubyNearMiss, Literals)
{
    checkRuby({
        {"a string's content", "\"a b\"", "\"a  b\"", false},
        {"a string's quote", "'a'", "\"a\"", false},
        {"an interpolation's code is read as code", "\"a#{b}c\"", "\"a#{ b }c\"", true},
        {"an interpolation's tokens", "\"a#{b c}c\"", "\"a#{bc}c\"", false},
        {"a string part after an interpolation", "\"a#{b}c\"", "\"a#{b} c\"", false},
        {"a label after an interpolation", "f(\"a#{b}\": 1)", "f(\"a#{b}\" : 1)", false},
        {"an interpolation in a regexp", "x = /a#{ b }c/", "x = /a#{b}c/", true},
        {"an interpolation in a symbol", "x = :\"a#{ b }\"", "x = :\"a#{b}\"", true},
        {"an interpolation's brace in a string", "x = \"#{\"}\"}\" + y", "x = \"#{\"}\"}\" +  y", true},
        {"nested braces in an interpolation", "\"#{h.map { |k| k }}\"\nz", "\"#{h.map { |k| k }}\" z", false},
        {"a string over lines", "\"a\nb\"", "\"a b\"", false},
        {"a string's CR LF", "x = \"a\r\nb\"", "x = \"a\nb\"", true},
        {"a single-quoted string's '#{'", "'#{a}'", "'#{ a }'", false},
        {"a symbol", ":a", ":b", false},
        {"a symbol against a ternary's colon", "x ? a : b", "x ? a :b", false},
        {"a quoted symbol", ":\"a b\"", ":\"a  b\"", false},
        {"a symbol's blanks around", "f :a, :b", "f(:a,:b)", false},
        {"a symbol list's blanks", "%i[a  b]", "%i[a b]", true},
        {"an operator symbol", ":<=>", ":<", false},
        {"a setter symbol", "f :a=", "f :a", false},
        {"a label", "f(a: 1)", "f(a : 1)", false},
        {"a label's blanks", "f(a: 1)", "f(a:1)", true},
        {"a quoted label", "{\"a\": 1}", "{\"a\":  1}", true},
        {"a character literal", "?a", "?b", false},
        {"a character literal's escape", "x = ?\\n", "x = ?\\t", false},
        {"a control character literal", "x = ?\\C-\\M-a", "x = ?\\C-\\M-b", false},
        {"a control character literal's end", "x = ?\\C-\\M-a + 1", "x = ?\\C-\\M-a  +  1", true},
        {"a ternary after a local is no character literal", "x = 1; x ? a : b", "x = 1; x ?a : b", true},
        {"a character literal after a call", "x ? a : b", "x ?a : b", false},
        {"a global", "$a", "$b", false},
        {"a special global", "$~", "$!", false},
        {"an instance variable", "@a", "@@a", false},
        {"a number's form", "1_000", "1000", false},
        {"a float", "1.5", "15", false},
        {"an exponent's sign", "1e+5", "1e + 5", false},
        {"a float's call", "1.5.round", "1 . 5.round", false},
    });
}

TEST(RubyNearMiss, PercentAndRegexps)
{
    checkRuby({
        {"a word list's blanks", "%w[a  b]", "%w[a b]", true},
        {"a word list's line ends", "%w[\n  a\n  b\n]", "%w[a b]", true},
        {"a word list's words", "%w[a b]", "%w[ab]", false},
        {"a word list's escaped blank", "%w[a\\ b]", "%w[a b]", false},
        {"a word list's delimiters", "%w(a b)", "%w(a  b)", true},
        {"a word list longer than the lexer's queue", "%w[a b c d e f g h i j k l m n o p q r s t u v w x y z A B C D E F G H I J]",
         "%w[a b c d e f g h i j k l m n o p q r s t u v w x y z A B C D E F G H  I J]", true},
        {"a long word list's last word", "%w[a b c d e f g h i j k l m n o p q r s t u v w x y z A B C D E F G H I J]",
         "%w[a b c d e f g h i j k l m n o p q r s t u v w x y z A B C D E F G H I K]", false},
        {"a word list's nested brackets", "%w[a[b] c]", "%w[a[b]  c]", true},
        {"an interpolating word list", "%W[#{a b} c]", "%W[#{a  b} c]", false},
        {"a %q string's content", "%q(a b)", "%q(a  b)", false},
        {"a %q string's nested parentheses", "x = %q(a (b) c)  + y", "x = %q(a (b) c) + y", true},
        {"a %() string", "%(a b)", "%(a  b)", false},
        {"a %r regexp", "%r{a b}", "%r{a  b}", false},
        {"modulo is no literal", "a % b", "a %  b", true},
        {"modulo after a local", "x = 1; x %(y)", "x = 1; x % (y)", true},
        {"a regexp's content", "x = /a b/", "x = /a  b/", false},
        {"a regexp's flags", "/a/i", "/a/m", false},
        {"division is no regexp", "x = a / b / c", "x = a/b/c", true},
        {"a regexp argument after a call", "foo /a b/", "foo /a  b/", false},
        {"division after a local variable", "a = 1; a /2", "a = 1; a / 2", true},
        {"division after a block parameter", "f { |a| a /2 }", "f { |a| a / 2 }", true},
        {"division after a method's parameter", "def f(a) a /2 end", "def f(a) a / 2 end", true},
        {"a local of another method is none here", "def f; x = 1; end\ndef g; x /a  b/; end",
         "def f; x = 1; end\ndef g; x /a b/; end", false},
        {"a regexp after '('", "f(/a b/)", "f(/a  b/)", false},
        {"a block's local is none after it", "foo { x = 1 }\nx /a  b/", "foo { x = 1 }\nx /a b/", false},
        {"a do block's local is none after it", "foo do x = 1 end\nx /a  b/", "foo do x = 1 end\nx /a b/", false},
        {"a block's parameter is none after it", "foo { |y| }\ny /a  b/", "foo { |y| }\ny /a b/", false},
        {"a local from before a block stays", "x = 0\nfoo { x = 1 }\nx /2", "x = 0\nfoo { x = 1 }\nx / 2", true},
        {"a block's local in a block inside it", "foo { x = 1\nbar { x /2 } }", "foo { x = 1\nbar { x / 2 } }", true},
        {"a hash's brace closes no block", "foo { x = 1; h = { a: 1 }; x /2 }", "foo { x = 1; h = { a: 1 }; x / 2 }",
         true},
        {"an if's end closes no do block", "foo do x = 1\nif a then b end\nx /2 end",
         "foo do x = 1\nif a then b end\nx / 2 end", true},
        {"a loop's do opens no block", "while a do x = 1 end\nx /2", "while a do x = 1 end\nx / 2", true},
        {"a def without end in a do block", "foo do\ndef f = 1\ny = 2\nend\ny /a  b/",
         "foo do\ndef f = 1\ny = 2\nend\ny /a b/", false},
        {"a def with a default parameter in a do block", "foo do\ndef x a = 1\na\nend\ny = 1\nend\ny /a  b/",
         "foo do\ndef x a = 1\na\nend\ny = 1\nend\ny /a b/", false},
        {"a def of self without end in a do block", "foo do\ndef self.f(a) = 1\ny = 2\nend\ny /a  b/",
         "foo do\ndef self.f(a) = 1\ny = 2\nend\ny /a b/", false},
        {"a setter's def in a do block", "foo do\ndef x=(v)\n@x = v\nend\ny = 1\nend\ny /a  b/",
         "foo do\ndef x=(v)\n@x = v\nend\ny = 1\nend\ny /a b/", false},
    });
}

TEST(RubyNearMiss, Heredocs)
{
    checkRuby({
        {"a heredoc's body", "x = <<A\na b\nA\n", "x = <<A\na  b\nA\n", false},
        {"a heredoc against a shift", "x = a <<A\nA\n", "x = a << A\nA\n", false},
        {"a heredoc's rest of line", "f(<<A, 1)\nbody\nA\ng", "f(<<A,  1)\nbody\nA\ng", true},
        {"a dash heredoc's closing indentation", "x = <<-A\n  b\n    A\n", "x = <<-A\n  b\nA\n", true},
        {"a dash heredoc's body indentation", "x = <<-A\n  b\nA\n", "x = <<-A\n    b\nA\n", false},
        {"a squiggly heredoc re-indented", "x = <<~A\n  b\n    c\n  A\n", "x = <<~A\n      b\n        c\nA\n", true},
        {"a squiggly heredoc's relative indentation", "x = <<~A\n  b\n    c\nA\n", "x = <<~A\n  b\n  c\nA\n",
         false},
        {"a squiggly heredoc's blank lines", "x = <<~A\n  b\n\n  c\nA\n", "x = <<~A\n    b\n\n    c\nA\n", true},
        {"a squiggly heredoc's tab indentation", "x = <<~A\n\tb\nA\n", "x = <<~A\n b\nA\n", false},
        {"a quoted heredoc", "x = <<~'A'\n  #{b}\nA\n", "x = <<~'A'\n    #{b}\nA\n", true},
        {"a quoted heredoc against a bare one", "x = <<~'A'\n b\nA\n", "x = <<~A\n b\nA\n", false},
        {"two heredocs on a line", "f(<<A, <<B)\na\nA\nb\nB\n", "f(<<A, <<B)\nb\nA\na\nB\n", false},
        {"two heredocs' bodies", "f(<<A, <<B)\na\nA\nb\nB\n", "f(<<A,   <<B)\na\nA\nb\nB\n", true},
        {"a heredoc's method call", "x = <<~A.strip\n  a\nA\n", "x = <<~A.strip\na\nA\n", true},
        {"a leading dot after a heredoc", "f(<<A)\nb\nA\n  .c", "f(<<A)\nb\nA\n.c", true},
        {"a heredoc's statement end", "f(<<A)\nb\nA\n  .c", "f(<<A)\nb\nA\nc", false},
        {"a heredoc's empty body against a name", "f(<<A)\nA\n", "f(<<A) A\nA\n", false},
        {"a dash heredoc made squiggly", "x = <<-A\nb\n  A\n", "x = <<~A\n  b\nA\n", true},
        {"a dash heredoc made squiggly keeps its indentation", "x = <<-A\n b\nA\n", "x = <<~A\n  b\nA\n", false},
        {"a heredoc's identifier", "x = <<~A\nb\nA\n", "x = <<~B\nb\nB\n", false},
        {"a heredoc's CR LF", "x = <<A\r\nb\r\nA\r\n", "x = <<A\nb\nA\n", true},
    });
}

TEST(RubyNearMiss, CommentsAndData)
{
    checkRuby({
        {"a comment", "a # one\nb", "a # two\nb", true},
        {"a comment's words with --comments", "a # one\nb", "a # two\nb", false, 0, 0, 0, 0, Ruby, {true}},
        {"a block comment", "a\n=begin\nx\n=end\nb", "a\nb", true},
        {"'=begin' only at a line's start", "a =begin", "a = begin", true},
        {"a block comment's words with --comments", "=begin\nx\n=end\n", "=begin\ny\n=end\n", false, 0, 0, 0, 0,
         Ruby, {true}},
        {"a magic comment", "# frozen_string_literal: true\na", "a", false},
        {"a magic comment's value", "# frozen_string_literal: true\na", "# frozen_string_literal: false\na", false},
        {"a magic comment's blank after '#'", "#frozen_string_literal: true\na", "# frozen_string_literal: true\na",
         true},
        {"a magic comment in capitals", "# Frozen_String_Literal: true\na", "a", false},
        {"a magic comment with dashes", "# frozen-string-literal: true\na", "a", false},
        {"a magic comment after ';'", "# ;warn_indent: true\na", "a", false},
        {"a magic comment between -*- marks", "# -*- mode: ruby; frozen_string_literal: true -*-\na", "a", false},
        {"a magic name after another word", "# see frozen_string_literal: true\na", "a", true},
        {"an encoding on the first line", "# vim: set fileencoding=ascii-8bit :\na", "a", false},
        {"an encoding on the second line", "#!/usr/bin/ruby\n# vim: fileencoding=ascii-8bit\na", "#!/usr/bin/ruby\na",
         false},
        {"an encoding further down", "a\nb\n# vim: fileencoding=ascii-8bit\nc", "a\nb\nc", true},
        {"data after __END__", "a\n__END__\nx  y\n", "a\n__END__\nx y\n", false},
        {"__END__ only alone on its line", "a\n__END__ \nb", "a\n__END__  \nb", true},
        {"a hash-bang line", "#!/usr/bin/ruby\na", "#!/usr/bin/ruby -w\na", false},
        {"a hash-bang line's blanks", "#!/usr/bin/ruby -w\na", "#!  /usr/bin/ruby -w  \na", true},
    });
}

TEST(RubyLexer, NamesEndAtTheFirstOtherByte)
{
    // Every byte after a name, in the first and the last place of a
    // sixteen-byte step.
    for (int c = 1; c < 256; ++c) {
        const bool nameByte = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                              c >= 0x80;
        if (c == '!' || c == '?' || c == ':' || c == '\n')
            continue;
        for (std::size_t pad : {0, 15}) {
            const std::string head = "a" + std::string(pad, 'b');
            const std::vector<Tok> toks = lexText(head + static_cast<char>(c) + "z", Ruby);
            ASSERT_FALSE(toks.empty());
            EXPECT_EQ(toks[0].key.size(), head.size() + (nameByte ? 2 : 0)) << c << " after " << pad;
        }
    }
}

TEST(RubyLexer, RefusesBadInput)
{
    std::string deep;
    for (int k = 0; k < 65; ++k)
        deep = "f { " + deep + " }";
    checkRefusals(Ruby, {
        {"\"abc", "not valid Ruby at line 1, column 1"},
        {"'abc", "not valid Ruby at line 1, column 1"},
        {"x = <<A\nb\n", "not valid Ruby at line 1, column 8"},
        {"=begin\nx\n", "not valid Ruby at line 1, column 1"},
        {"%w[a b", "not valid Ruby at line 1, column 1"},
        {"/a b", "not valid Ruby at line 1, column 1"},
        {"x = %q(a (b)", "not valid Ruby at line 1, column 5"},
        {"\"#{a\"", "not valid Ruby at line 1, column 5"},
        {"@1", "not valid Ruby at line 1, column 1"},
        {"x = 1 \\ 2", "not valid Ruby at line 1, column 7"},
        {"%z[a]", "not valid Ruby at line 1, column 1"},
        {"f(<<A, \"x\ny\")\nb\nA\n", "not valid Ruby at line 1, column 8"},
        {deep, "blocks nested too deep to compare as Ruby"},
        {deep.substr(4, deep.size() - 6), ""},
    });
}

// --- Judged by Ruby's Ripper and by RuboCop ----------------------------------

std::string sampleDir()
{
    return std::string(MATCHLING_SOURCE_DIR) + "/tests/languages/ruby";
}

// Up to max Ruby files of this machine, small ones, one of each content,
// spread over all there are, with the samples of tests/languages/ruby first.
std::vector<std::string> rubySamples(std::size_t max)
{
    std::vector<std::string> files = commandLines("ls '" + sampleDir() + "'/*.rb");
    files.erase(std::remove_if(files.begin(), files.end(),
                               [](const std::string &f) { return f.find("mutants.rb") != std::string::npos; }),
                files.end());
    const std::string list = "find /usr/lib/ruby /usr/share/rubygems-integration /usr/share/ruby-* "
                             "-name '*.rb' -type f -size -24k -print 2>/dev/null | LC_ALL=C sort | xargs -r md5sum | "
                             "awk '!seen[$1]++ { print $2 }' | awk '{ a[NR] = $0 } END { step = NR / " +
                             std::to_string(max) + "; if (step < 1) step = 1; for (i = 1; i <= NR && n < " +
                             std::to_string(max) + "; i += step) { print a[int(i)]; ++n } }'";
    for (const std::string &f : commandLines(list))
        files.push_back(f);
    return files;
}

struct RubyTally {
    int same = 0, falseAlarms = 0, different = 0, misses = 0;
};

// Whether the lexer calls a and b equal (both read, neither refused).
bool rubyEqual(const std::string &a, const std::string &b)
{
    if (!refusalOf(readFile(a), Ruby).empty() || !refusalOf(readFile(b), Ruby).empty())
        return false;
    return firstDifference(lexFile(a, Ruby), lexFile(b, Ruby)) < 0;
}

void judgePair(RubyTally &t, bool mustBeEqual, const std::string &a, const std::string &b)
{
    const bool equal = rubyEqual(a, b);
    if (mustBeEqual) {
        ++t.same;
        t.falseAlarms += !equal;
        if (!equal)
            std::printf("false alarm: %s against %s\n", a.c_str(), b.c_str());
    } else {
        ++t.different;
        t.misses += equal;
        EXPECT_FALSE(equal) << "miss: " << a << " against " << b;
    }
}

TEST(RubyLexerTools, RipperJudgesMutants)
{
    if (!haveTool("ruby"))
        GTEST_SKIP() << "ruby is needed";
    const std::vector<std::string> files = rubySamples(80);
    ScratchDir dir;
    std::string command = "ruby '" + sampleDir() + "/mutants.rb' '" + dir.path() + "'";
    for (const std::string &f : files)
        command += " '" + f + "'";
    RubyTally t;
    for (const std::string &line : commandLines(command)) {
        const std::size_t tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1);
        ASSERT_NE(tab2, std::string::npos) << line;
        judgePair(t, line.compare(0, tab1, "same") == 0, line.substr(tab1 + 1, tab2 - tab1 - 1),
                  line.substr(tab2 + 1));
    }
    std::printf("Ripper: %zu files; %d relayout mutants, %d false alarms; %d token mutants, %d misses\n",
                files.size(), t.same, t.falseAlarms, t.different, t.misses);
    EXPECT_GT(t.same, 100);
    EXPECT_GT(t.different, 200);
    EXPECT_EQ(t.misses, 0);
    EXPECT_LE(t.falseAlarms * 50, t.same);
}

TEST(RubyLexerTools, RuboCopLayoutCorrections)
{
    if (!haveTool("rubocop"))
        GTEST_SKIP() << "rubocop is needed";
    const std::vector<std::string> files = rubySamples(24);
    ScratchDir dir;
    const std::string root = dir.path();
    std::string copy = "mkdir -p '" + root + "/orig'";
    for (std::size_t k = 0; k < files.size(); ++k)
        copy += " && cp '" + files[k] + "' '" + root + "/orig/" + std::to_string(1000 + k) + ".rb'";
    ASSERT_EQ(std::system(copy.c_str()), 0);
    writeFile(root + "/default.yml", "AllCops:\n  NewCops: enable\n  SuggestExtensions: false\n");
    writeFile(root + "/wide.yml", "inherit_from: default.yml\nLayout/IndentationWidth:\n  Width: 4\n"
                                  "Layout/LineLength:\n  Max: 60\n");
    RubyTally total;
    for (const char *setting : {"default", "wide"}) {
        const std::string out = root + "/" + setting;
        std::system(("cp -r '" + root + "/orig' '" + out + "' && cd '" + out + "' && rubocop --cache false -c '" +
                     root + "/" + setting + ".yml' -x . >/dev/null 2>&1")
                        .c_str());
        RubyTally t;
        int changed = 0;
        std::string pairs;
        for (std::size_t k = 0; k < files.size(); ++k) {
            const std::string name = "/" + std::to_string(1000 + k) + ".rb";
            changed += readFile(root + "/orig" + name) != readFile(out + name);
            pairs += root + "/orig" + name + "\t" + out + name + "\n";
        }
        // Ruby judges each pair by the instructions it compiles both to: a
        // correction that changes them (RuboCop's "$ \\" for "$\\") must differ.
        writeFile(root + "/pairs", pairs);
        for (const std::string &line :
             commandLines("ruby '" + sampleDir() + "/mutants.rb' --judge < '" + root + "/pairs'")) {
            const std::size_t tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1);
            judgePair(t, line.compare(0, tab1, "same") == 0, line.substr(tab1 + 1, tab2 - tab1 - 1),
                      line.substr(tab2 + 1));
        }
        std::printf("rubocop -x (%s): %zu pairs, %d changed; %d the same to Ruby, %d false alarms; "
                    "%d different, %d misses\n",
                    setting, files.size(), changed, t.same, t.falseAlarms, t.different, t.misses);
        EXPECT_EQ(t.misses, 0) << setting;
        EXPECT_LE(t.falseAlarms * 50, t.same) << setting;
        total.same += t.same;
    }
    EXPECT_GT(total.same, 0);
}

} // namespace
