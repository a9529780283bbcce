// reStructuredText's in-process tests: its near misses (for each decision,
// a pair that must differ and, where it can go the other way, a pair that
// must stay equal), then the tokens and refusals, then real and sample
// documents judged by docutils.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"
#include "languages/languages.h"

namespace {

const Language Rst = Language::Rst;

TEST(RstNearMiss, Pairs)
{
    checkPairs(Rst, {
        // Paragraphs.
        {"a re-wrapped paragraph", "one two\nthree four\n", "one\ntwo three\nfour\n", true},
        {"blanks and tabs inside a line", "one   two\tthree\n", "one two three\n", true},
        {"a changed word", "one two\n", "one too\n", false},
        {"two words joined", "one two\n", "onetwo\n", false},
        {"a blank line splits a paragraph", "a\nb\n", "a\n\nb\n", false},
        {"blank lines doubled", "a\n\nb\n", "a\n\n\n\nb\n", true},
        {"trailing blanks and CR LF", "a  \nb\n\nc\n", "a\r\nb\r\n\r\nc\r\n", true},
        {"emphasis re-wrapped", "a *b c* d\n", "a *b\nc* d\n", true},
        {"a blank at an emphasis boundary", "a *b* c\n", "a *b *c\n", false},
        {"two blanks inside an inline literal", "a ``b c`` d\n", "a ``b  c`` d\n", false},
        {"an inline literal re-wrapped", "a ``b c`` d\n", "a ``b\nc`` d\n", true},
        {"an escaped blank and two blanks", "a\\ b\n", "a\\  b\n", false},
        {"a role's text", "a :code:`x y` b\n", "a :code:`x z` b\n", false},
        {"a reference re-wrapped", "see `a b`_ now\n", "see `a\nb`_ now\n", true},
        // Indentation.
        {"a block quote's column", "a\n\n  b\n", "a\n\n      b\n", true},
        {"a block quote or a paragraph", "a\n\n  b\n", "a\n\nb\n", false},
        {"a nested quote", "a\n\n  b\n\n    c\n", "a\n\n  b\n\n  c\n", false},
        {"a quote ends without a blank line", "  a\nb\n", "  a\n\nb\n", false},
        {"a definition or a quote", "term\n  def\n", "term\n\n  def\n", false},
        {"a definition's column", "term\n  def\n", "term\n      def\n", true},
        {"a paragraph's line indented", "a\nb\nc\n", "a\nb\n  c\n", false},
        {"a list item's text column", "- a\n  b\n", "-   a\n    b\n", true},
        {"a list item's body out of it", "- a\n\n  b\n", "- a\n\nb\n", false},
        {"a field body's column", ":f: a\n   b\n", ":f: a\n      b\n", true},
        // Titles.
        {"an underline's length", "Title\n=====\n\ntext\n", "Title\n==========\n\ntext\n", true},
        {"an underline's character", "Title\n=====\n\ntext\n", "Title\n-----\n\ntext\n", false},
        {"an overline or none", "Title\n=====\n", "=====\nTitle\n=====\n", false},
        {"an overline's length", "=====\nTitle\n=====\n", "=======\n Title\n=======\n", true},
        {"a title or a paragraph", "Title\n=====\ntext\n", "Title\ntext\n", false},
        {"an underline too short, warned", "Long title\n=====\n", "Long title\n==========\n", false},
        {"an underline too short to be one", "Title\n==\n", "Title ==\n", true},
        {"an underline as long as its title", "Ab\n==\n", "Ab ==\n", false},
        {"a wide character's width counted", "\xe6\x97\xa5\xe6\x9c\xac\n====\n", "\xe6\x97\xa5\xe6\x9c\xac\n=====\n",
         false},
        {"a transition's character", "a\n\n----\n\nb\n", "a\n\n====\n\nb\n", true},
        {"a transition or text", "a\n\n----\n\nb\n", "a\n\n---- b\n", false},
        {"a title inside a quote as written", "a\n\n  T\n  =\n", "a\n\n  T\n  ==\n", false},
        // Lists.
        {"a bullet's character", "- a\n- b\n", "* a\n* b\n", false},
        {"an item re-wrapped", "- a b\n  c\n", "- a\n  b c\n", true},
        {"items apart or close", "- a\n- b\n", "- a\n\n- b\n", false},
        {"an enumerator's form", "1. a\n", "1) a\n", false},
        {"an enumerator's number", "1. a\n", "2. a\n", false},
        {"an enumerated item re-wrapped", "1. a b\n   c\n", "1. a\n   b c\n", true},
        {"an enumerator whose next line is text", "1. a\nb\n", "1. a b\n", false},
        {"a list's next item", "1. a\n2. b\n", "1. a\n2. c\n", false},
        {"a word that looks like a Roman numeral", "iiii. a b\n", "iiii. a\nb\n", true},
        {"a field's name", ":a: b\n", ":c: b\n", false},
        {"a field or text", ":a: b\n", ":a:b\n", false},
        {"text that starts with a colon, re-wrapped", ":a b: c\n", ":a\nb: c\n", false},
        {"an option list as written", "-a  one\n", "-a   one\n", false},
        // Literal blocks.
        {"a literal block's column", "a::\n\n  x  y\n", "a::\n\n      x  y\n", true},
        {"blanks inside a literal block", "a::\n\n  x  y\n", "a::\n\n  x y\n", false},
        {"a blank line inside a literal block", "a::\n\n  x\n\n  y\n", "a::\n\n  x\n\n\n  y\n", false},
        {"a line's indentation inside a literal block", "a::\n\n  x\n    y\n", "a::\n\n  x\n  y\n", false},
        {"a literal block or a quote", "a::\n\n  x\n", "a:\n\n  x\n", false},
        {"the literal mark re-wrapped", "a b::\n\n  x\n", "a\nb::\n\n  x\n", true},
        {"an escaped literal mark", "a\\::\n\n  x\n", "a::\n\n  x\n", false},
        {"a tab in a literal block", "a::\n\n\tx\n", "a::\n\n        x\n", true},
        {"a line block as written", "| a\n| b\n", "| a b\n", false},
        {"a doctest as written", ">>> a\nb\n", ">>> a\n b\n", false},
        // Tables.
        {"a grid table's cell", "+---+\n| a |\n+---+\n", "+---+\n| b |\n+---+\n", false},
        {"a cell's padding", "+-----+---+\n| a   | b |\n+-----+---+\n", "+-----+---+\n|   a | b |\n+-----+---+\n", true},
        {"a grid table's column widths", "+---+---+\n| a | b |\n+---+---+\n", "+-----+----+\n|  a  | b  |\n+-----+----+\n",
         false},
        {"a grid table's header row", "+---+\n| a |\n+===+\n| b |\n+---+\n", "+---+\n| a |\n+---+\n| b |\n+---+\n", false},
        {"a cell's line re-wrapped", "+-----+\n| a b |\n+-----+\n", "+-----+\n| a   |\n| b   |\n+-----+\n", false},
        {"a cell's indentation inside it", "+-----+\n| a   |\n|  b  |\n+-----+\n", "+-----+\n| a   |\n| b   |\n+-----+\n",
         false},
        {"a spanning cell as written", "+---+---+\n| a     |\n+---+---+\n", "+---+----+\n| a      |\n+---+----+\n",
         false},
        {"two header borders as written", "+---+\n| a |\n+===+\n| b |\n+===+\n| c |\n+---+\n",
         "+----+\n| a  |\n+====+\n| b  |\n+====+\n| c  |\n+----+\n", false},
        {"a simple table's cell", "==  ==\na   b\n==  ==\n", "==  ==\na   c\n==  ==\n", false},
        {"a simple table's blank line kept", "==  ==\na   b\n\nc   d\n==  ==\n", "==  ==\na   b\nc   d\n==  ==\n",
         false},
        {"a simple table with no end, as written", "==  ==\na   b\n\nc d\n", "==  ==\na   b\n\nc\nd\n", false},
        // Directives.
        {"a directive's name", ".. note:: a\n", ".. tip:: a\n", false},
        {"a directive's name in any case", ".. note:: a\n", ".. NOTE:: a\n", true},
        {"a note re-wrapped", ".. note:: a b\n   c\n", ".. note:: a\n   b c\n", true},
        {"a note's text on its own lines", ".. note:: a\n", ".. note::\n\n   a\n", true},
        {"a note's list", ".. note:: - a\n   - b\n", ".. note:: - a - b\n", false},
        {"options as a set", ".. image:: x.png\n   :alt: a\n   :width: 2\n",
         ".. image:: x.png\n   :width: 2\n   :alt: a\n", true},
        {"an option's value", ".. image:: x.png\n   :width: 2\n", ".. image:: x.png\n   :width: 3\n", false},
        {"an argument", ".. image:: x.png\n", ".. image:: y.png\n", false},
        {"an unknown directive's body as written", ".. toctree::\n\n   a\n   b\n", ".. toctree::\n\n   a b\n", false},
        {"blank lines before an unknown directive's body", ".. only:: x\n\n   a\n", ".. only:: x\n\n\n   a\n", false},
        {"a directive or a comment", ".. note:: a\n", ".. note: a\n", false},
        {"a substitution's text", ".. |a| replace:: b\n", ".. |a| replace:: c\n", false},
        {"a footnote re-wrapped", ".. [1] a b\n   c\n", ".. [1] a\n   b c\n", true},
        {"a footnote's label", ".. [1] a\n", ".. [2] a\n", false},
        {"a target's address", ".. _a: http://x\n", ".. _a: http://y\n", false},
        // Code read by its language.
        {"code in a language re-laid", ".. code:: json\n\n   {\"a\": [1, 2]}\n",
         ".. code:: json\n\n   {\"a\": [1,\n    2]}\n", true},
        {"code in a language changed", ".. code:: json\n\n   {\"a\": 1}\n", ".. code:: json\n\n   {\"a\": 2}\n", false},
        {"a Python sample's indentation", ".. code-block:: python\n\n   if a:\n       b\n   c\n",
         ".. code-block:: python\n\n   if a:\n       b\n       c\n", false},
        {"a code sample's comment", ".. code:: python\n\n   x = 1  # a\n", ".. code:: python\n\n   x = 1  # b\n",
         false},
        {"code of no language as written", ".. code::\n\n   x  y\n", ".. code::\n\n   x y\n", false},
        {"code with an option docutils lacks as written", ".. code:: json\n   :caption: c\n\n   [1, 2]\n",
         ".. code:: json\n   :caption: c\n\n   [1,  2]\n", false},
        // Comments.
        {"a comment's words", "a\n\n.. one two\n\nb\n", "a\n\n.. three\n\nb\n", true},
        {"a comment or none", "- a\n\n.. c\n\n- b\n", "- a\n\n- b\n", false},
        {"an empty comment then a quote", "..\n\n  a\n", "..\n  a\n", false},
    });
    std::vector<PairCase> comments = {
        {"a comment's words with --comments", "a\n\n.. one two\n", "a\n\n.. three\n", false},
        {"a comment re-wrapped with --comments", "a\n\n.. one two\n", "a\n\n.. one\n   two\n", true},
    };
    for (PairCase &c : comments)
        c.options.comments = true;
    checkPairs(Rst, comments);
}

// Places, and the refusals.
TEST(RstTokens, PlacesAndRefusals)
{
    const std::vector<Tok> tokens = lexText("Title\n=====\n\nsome *text*\n  here\n", Rst);
    EXPECT_EQ(keysOf(tokens), (std::vector<std::string>{"<h u==>", "Title", "</h>", "<dt>", "some", "*text*", "</dt>",
                                                        "<dd>", "<p>", "here", "</p>", "</dd>", ""}));
    EXPECT_EQ(tokens[5].line, 4);
    EXPECT_EQ(tokens[5].column, 6);
    EXPECT_EQ(tokens[9].line, 5);
    EXPECT_EQ(tokens[9].column, 3);
    std::string deep;
    for (int i = 0; i < 100; ++i)
        deep += std::string(static_cast<std::size_t>(2 * i), ' ') + "- a\n\n";
    EXPECT_EQ(refusalOf(deep, Rst), "nested too deep to compare as reStructuredText");
    EXPECT_EQ(refusalOf("a\xe2\x80\xa8" "b\n", Rst), "a line separator other than CR and LF in reStructuredText");
    EXPECT_EQ(refusalOf(std::string((std::size_t(16) << 20) + 1, 'a'), Rst),
              "too large to compare as reStructuredText");
}

// docutils judges relayout mutants (paragraphs re-wrapped, underlines
// lengthened, blank lines doubled) and token mutants (indentation taken
// off, "::" made ":", a word changed, an underline's character changed) of
// the sample and of up to 120 documents of this machine: no formatter of
// reStructuredText exists here.
TEST(RstLexerTools, DocutilsJudgesMutants)
{
    if (!haveTool("python3") || std::system("python3 -c 'import docutils' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3 with docutils is needed";
    const std::string source = MATCHLING_SOURCE_DIR;
    const std::string found = "find /usr -name '*.rst' -not -name '* *' -size -40k -type f 2>/dev/null | sort | "
                              "awk 'NR % 24 == 5' | head -60 | tr '\\n' ' '";
    ScratchDir dir;
    const auto tallies = judgePairs("python3 '" + source + "/tests/languages/rst_judge.py' make '" + dir.path() + "' " +
                                        source + "/tests/languages/rst/*.rst " + commandOutput(found),
                                    [](const std::string &) { return Language::Rst; });
    EXPECT_GT(tallies.count("rewrap-40"), 0u);
    EXPECT_GT(tallies.count("mutant"), 0u);
}

} // namespace
