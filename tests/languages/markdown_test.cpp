// Markdown's in-process tests: its near misses first (for each decision, a
// pair that must differ and, where it can go the other way, a pair that must
// stay equal), then the tokens and places, then real Markdown files through
// prettier, judged by markdown-it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"
#include "languages/languages.h"

namespace {

const Language Md = Language::Markdown;

#if MATCHLING_HAVE_MD4C

TEST(MarkdownNearMiss, Text)
{
    checkPairs(Md, {
        {"a re-wrapped paragraph", "one two\nthree four\n", "one\ntwo three\nfour\n", true},
        {"blanks and tabs inside a line", "one   two\tthree\n", "one two three\n", true},
        {"leading blanks of a continuation line", "one\n   two\n", "one two\n", true},
        {"a word split", "one two\n", "on e two\n", false},
        {"two words joined", "one two\n", "onetwo\n", false},
        {"a hard break is no blank", "one  \ntwo\n", "one\ntwo\n", false},
        {"hard breaks by blanks or backslash", "one  \ntwo\n", "one\\\ntwo\n", true},
        {"an escape giving the same character", "a \\* b\n", "a * b\n", true},
        {"a numeric entity", "a &#65; b\n", "a A b\n", true},
        {"a blank at an emphasis boundary", "a *b*\n", "a*b*\n", false},
        {"a blank inside emphasis", "*a* b\n", "*a *b\n", false},
        {"a changed word", "one two\n", "one too\n", false},
    });
}

TEST(MarkdownNearMiss, Blocks)
{
    checkPairs(Md, {
        {"bullets * and -", "* a\n* b\n", "- a\n- b\n", true},
        {"bullets + and -", "+ a\n", "- a\n", true},
        {"setext and ATX headings", "Title\n=====\n\nSub\n---\n", "# Title\n\n## Sub\n", true},
        {"closing hashes of an ATX heading", "## Title ##\n", "## Title\n", true},
        {"heading level", "# Title\n", "## Title\n", false},
        {"a paragraph line joined into a heading", "# Title\ntext\n", "# Title text\n", false},
        {"a paragraph made a setext heading", "Title\ntext\n", "Title\n---\ntext\n", false},
        {"thematic break styles", "a\n\n***\n\nb\n", "a\n\n---\n\nb\n", true},
        {"a blank line splits a paragraph", "a\nb\n", "a\n\nb\n", false},
        {"a block quote", "> a\n> b\n", "> a\nb\n", true},
        {"a line out of a block quote", "> a\n\nb\n", "> a\n>\n> b\n", false},
    });
}

TEST(MarkdownNearMiss, Lists)
{
    checkPairs(Md, {
        {"an ordered list renumbered", "1. a\n2. b\n", "1. a\n1. b\n", true},
        {"an ordered list's delimiter", "1. a\n", "1) a\n", true},
        {"an ordered list's start", "1. a\n", "2. a\n", false},
        {"list kind", "- a\n", "1. a\n", false},
        {"tight or loose", "- a\n- b\n", "- a\n\n- b\n", false},
        {"a list item indented out of its list", "- a\n\n  b\n", "- a\n\nb\n", false},
        {"a nested item", "- a\n  - b\n", "- a\n- b\n", false},
        {"marker width", "- a\n  - b\n", "-   a\n    - b\n", true},
        {"a task", "- [ ] a\n", "- [x] a\n", false},
        {"task marks x and X", "- [x] a\n", "- [X] a\n", true},
    });
}

TEST(MarkdownNearMiss, Spans)
{
    checkPairs(Md, {
        {"emphasis * and _", "a *b* c\n", "a _b_ c\n", true},
        {"strong ** and __", "a **b** c\n", "a __b__ c\n", true},
        {"emphasis and strong", "a *b* c\n", "a **b** c\n", false},
        {"code span content", "a `b c` d\n", "a `b d` d\n", false},
        {"a blank inside a code span", "a `bc` d\n", "a `b c` d\n", false},
        {"two blanks inside a code span", "a `b c` d\n", "a `b  c` d\n", false},
        {"code span fences", "a `b` c\n", "a ``b`` c\n", true},
        {"a link's destination", "[a](x)\n", "[a](y)\n", false},
        {"a link's title", "[a](x \"t\")\n", "[a](x \"u\")\n", false},
        {"inline or reference destination", "[a](http://x)\n", "[a][r]\n\n[r]: http://x\n", true},
        {"a collapsed reference", "[a][]\n\n[a]: x\n", "[a](x)\n", true},
        {"image text", "![a b](x.png)\n", "![a c](x.png)\n", false},
        {"image source", "![a](x.png)\n", "![a](y.png)\n", false},
        {"strikethrough", "a ~~b~~\n", "a b\n", false},
        {"an autolink", "<http://x.org>\n", "[http://x.org](http://x.org)\n", true},
        {"inline HTML as written", "a <b>c</b>\n", "a <b >c</b>\n", false},
    });
}

TEST(MarkdownNearMiss, Tables)
{
    checkPairs(Md, {
        {"table padding", "| a | b |\n|---|:---|\n| 1 | 2 |\n", "|a|b|\n|---|:--|\n|1|2|\n", true},
        {"table outer pipes", "| a | b |\n|---|---|\n", "a | b\n---|---\n", true},
        {"table alignment", "| a |\n|---|\n| 1 |\n", "| a |\n|:-:|\n| 1 |\n", false},
        {"a cell's text", "| a |\n|---|\n| 1 |\n", "| a |\n|---|\n| 2 |\n", false},
    });
}

TEST(MarkdownNearMiss, CodeBlocks)
{
    checkPairs(Md, {
        {"fence characters and lengths", "```\nx  y\n```\n", "~~~~\nx  y\n~~~~\n", true},
        {"a blank inside a code block", "```\nx  y\n```\n", "```\nx y\n```\n", false},
        {"a trailing blank inside a code block", "```\nx\n```\n", "```\nx \n```\n", false},
        {"an indented code block's content", "    x  y\n", "    x y\n", false},
        {"an info string", "```sh\nx\n```\n", "```bash\nx\n```\n", false},
        {"a code line's CR LF", "```\nx\n```\n", "```\r\nx\r\n```\r\n", true},
        {"embedded JSON re-laid out", "```json\n{\"a\": 1}\n```\n", "```json\n{\n  \"a\": 1\n}\n```\n", true},
        {"embedded JSON changed", "```json\n{\"a\": 1}\n```\n", "```json\n{\"a\": 2}\n```\n", false},
        {"embedded Python's indentation", "```python\nif a:\n    b\nc\n```\n", "```python\nif a:\n    b\n    c\n```\n",
         false},
        {"embedded Markdown compares as written", "```md\n* a\n```\n", "```md\n- a\n```\n", false},
        {"a language's name in any case", "```JSON\n[1,2]\n```\n", "```JSON\n[1, 2]\n```\n", true},
    });
}

TEST(MarkdownNearMiss, Html)
{
    checkPairs(Md, {
        {"an HTML block's trailing blanks", "<div>\na\n</div>\n", "<div>  \na\n</div>\n", true},
        {"an HTML block's inner blanks", "<div>\na b\n</div>\n", "<div>\na  b\n</div>\n", false},
        {"an HTML block's indentation", "<div>\n a\n</div>\n", "<div>\na\n</div>\n", false},
    });
}

TEST(MarkdownNearMiss, FrontMatter)
{
    const bool yaml = languageNamed("yaml") != Language::Unknown && languageBuilt(languageNamed("yaml"));
    checkPairs(Md, {
        {"a front matter's value", "---\na: 1\n---\ntext\n", "---\na: 2\n---\ntext\n", false},
        {"front matter or a heading", "---\na: 1\n---\ntext\n", "***\na: 1\n---\ntext\n", false},
        {"front matter re-laid out", "---\na: [1, 2]\n---\n", "---\na: [1,  2]\n---\n", yaml},
        {"text after the front matter", "---\na: 1\n---\none two\n", "---\na: 1\n---\none\ntwo\n", true},
    });
}

// Tokens and places: each word at its first byte, structure at the text it
// opens, and the refusal of a document too large to hold.
TEST(MarkdownTokens, Places)
{
    const std::vector<Tok> tokens = lexText("# Title\n\nsome *text*\nhere\n", Md);
    std::vector<std::string> keys;
    for (const Tok &t : tokens)
        keys.push_back(t.key);
    EXPECT_EQ(keys, (std::vector<std::string>{"<h1>", "Title", "</h1>", "<p>", "some ", "<em>", "text", "</em>", " ",
                                              "here", "</p>", ""}));
    EXPECT_EQ(tokens[0].line, 1);
    EXPECT_EQ(tokens[0].column, 3);
    EXPECT_EQ(tokens[4].line, 3);
    EXPECT_EQ(tokens[6].column, 7);
    EXPECT_EQ(tokens[9].line, 4);
    EXPECT_EQ(tokens[9].column, 1);
}

TEST(MarkdownTokens, TooLarge)
{
    std::FILE *f = std::tmpfile();
    ASSERT_TRUE(f);
    const std::string line(1023, 'a');
    for (int i = 0; i < 4 * 1024 + 1; ++i)
        std::fprintf(f, "%s\n", line.c_str());
    std::rewind(f);
    SourceStream source;
    source.stream = f;
    std::unique_ptr<Lexer> lexer(new Lexer);
    lexerStart(*lexer, Md, {}, source);
    TokenPiece piece;
    lexerNext(*lexer, piece);
    EXPECT_EQ(piece.kind, TokenKind::End);
    EXPECT_EQ(lexer->refusal, "too large to compare as Markdown");
    std::fclose(f);
    // A later start forgets the refusal and the store.
    lexerStart(*lexer, Language::Json, {}, source);
    EXPECT_TRUE(lexer->refusal.empty());
    EXPECT_FALSE(lexer->store);
}

#endif

} // namespace
