// Markdown's in-process tests: its near misses first (for each decision, a
// pair that must differ and, where it can go the other way, a pair that must
// stay equal), then the tokens and places, then real Markdown files through
// prettier, judged by markdown-it read as GitHub reads Markdown.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../lex_support.h"
#include "../support.h"
#include "../tree_judge.h"
#include "languages/languages.h"
#include "languages/markdown/reader.h"

namespace {

const Language Md = Language::Markdown;

#if MATCHLING_HAVE_CMARK_GFM

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
        {"CR LF line ends", "# a\n\nb\nc  \nd\n\n- e\n\n    f\n", "# a\r\n\r\nb\r\nc  \r\nd\r\n\r\n- e\r\n\r\n    f\r\n",
         true},
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
        {"tight or loose, items without paragraphs", "- # a\n- # b\n", "- # a\n\n- # b\n", false},
        {"an ordered list tight or loose", "1. # a\n2. # b\n", "1. # a\n\n2. # b\n", false},
        {"a list item indented out of its list", "- a\n\n  b\n", "- a\n\nb\n", false},
        {"a nested item", "- a\n  - b\n", "- a\n- b\n", false},
        {"marker width", "- a\n  - b\n", "-   a\n    - b\n", true},
        {"a task", "- [ ] a\n", "- [x] a\n", false},
        {"a task or brackets", "- [ ] a\n", "- \\[ ] a\n", false},
        {"a task's text re-wrapped", "- [ ] a b\n", "- [ ] a\n  b\n", true},
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
        {"strikethrough by one tilde or two", "a ~~b~~\n", "a ~b~\n", true},
        {"strikethrough's text", "a ~~b~~\n", "a ~~c~~\n", false},
        {"an autolink", "<http://x.org>\n", "[http://x.org](http://x.org)\n", true},
        {"a bare URL is a link", "see http://x.org now\n", "see <http://x.org> now\n", true},
        {"a bare URL or text", "see http://x.org now\n", "see http\\://x.org now\n", false},
        {"a www autolink", "see www.example.com now\n", "see [www.example.com](http://www.example.com) now\n", true},
        {"a www autolink or text", "see www.example.com now\n", "see `www.example.com` now\n", false},
        {"an entity GitHub shows as its character", "a &copy; b\n", "a \xC2\xA9 b\n", true},
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
        {"a table or its lines joined", "|a|b|\n|-|-|\n|1|2|\n", "|a|b| |-|-| |1|2|\n", false},
        {"a table re-padded", "|a|b|\n|-|-|\n|1|2|\n", "| a | b |\n| --- | --- |\n| 1 | 2 |\n", true},
        {"cells past the header's dropped", "|a|b|\n|-|-|\n|1|2|3|\n", "|a|b|\n|-|-|\n|1|2|\n", true},
        {"cells past the header's, whatever they hold", "|a|b|\n|-|-|\n|1|2|3|\n", "|a|b|\n|-|-|\n|1|2|4|\n", true},
        {"missing cells filled empty", "|a|b|\n|-|-|\n|1|\n", "|a|b|\n|-|-|\n|1||\n", true},
        {"a missing cell or a full one", "|a|b|\n|-|-|\n|1|\n", "|a|b|\n|-|-|\n|1|2|\n", false},
        {"an HTML comment ends a table", "|a|\n|-|\n|1|\n<!-- x -->\n", "|a|\n|-|\n|1|\n\n<!-- x -->\n", true},
        {"an HTML comment or a row", "|a|\n|-|\n|1|\n<!-- x -->\n", "|a|\n|-|\n|1|\n|<!-- x -->|\n", false},
    });
}

TEST(MarkdownNearMiss, Footnotes)
{
    checkPairs(Md, {
        {"a footnote's text", "a[^1]\n\n[^1]: one\n", "a[^1]\n\n[^1]: two\n", false},
        {"a footnote re-wrapped", "a[^1]\n\n[^1]: one two\n", "a[^1]\n\n[^1]: one\n    two\n", true},
        {"a footnote's text on the line after its label", "a[^1]\n\n[^1]: one two\n", "a[^1]\n\n[^1]:\n    one two\n", true},
        {"a footnote's label", "a[^1]\n\n[^1]: x\n", "a[^n]\n\n[^n]: x\n", false},
        {"a reference's target", "a[^1] b[^2]\n\n[^1]: x\n[^2]: y\n", "a[^2] b[^2]\n\n[^1]: x\n[^2]: y\n", false},
        {"notes shown in the order of their references", "a[^1] b[^2]\n\n[^1]: x\n[^2]: y\n",
         "a[^1] b[^2]\n\n[^2]: y\n[^1]: x\n", true},
        {"notes in another order of references", "a[^1] b[^2]\n\n[^1]: x\n[^2]: y\n",
         "a[^2] b[^1]\n\n[^1]: x\n[^2]: y\n", false},
        {"a reference or its text", "a[^1]\n\n[^1]: x\n", "a\\[^1]\n\n[^1]: x\n", false},
        {"a note no reference shows", "a\n\n[^1]: x\n", "a\n\n[^1]: y\n", true},
        {"a reference to no note is text", "a[^1]\n", "a\\[^1]\n", true},
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
        {"embedded Markdown's bullets", "```md\n* a\n```\n", "```md\n- a\n```\n", true},
        {"embedded Markdown's heading level", "```md\n# a\n```\n", "```markdown\n## a\n```\n", false},
        {"embedded Markdown's heading style", "```md\n# a\n```\n", "```md\na\n=\n```\n", true},
        {"JSON in embedded Markdown re-laid out", "````md\n```json\n{\"a\": 1}\n```\n````\n",
         "````md\n```json\n{\n  \"a\": 1\n}\n```\n````\n", true},
        {"JSON in embedded Markdown changed", "````md\n```json\n{\"a\": 1}\n```\n````\n",
         "````md\n```json\n{\"a\": 2}\n```\n````\n", false},
        {"Markdown in embedded Markdown compares as written", "````md\n```md\n* a\n```\n````\n",
         "````md\n```md\n- a\n```\n````\n", false},
        {"a language's name in any case", "```JSON\n[1,2]\n```\n", "```JSON\n[1, 2]\n```\n", true},
        {"a C sample's comment", "```c\nint a; // one\n```\n", "```c\nint a; // two\n```\n", false},
        {"a C sample re-laid", "```c\nint a; // one\n```\n", "```c\nint  a;\n    // one\n```\n", true},
        {"a Python sample's comment", "```python\nx = 1  # one\n```\n", "```python\nx = 1  # two\n```\n", false},
        {"a Python sample re-laid", "```python\nx = 1  # one\n```\n", "```python\nx=1 #   one\n```\n", true},
        {"a JavaScript sample's comment", "```js\nf(); /* one */\n```\n", "```js\nf(); /* two */\n```\n", false},
        {"a JavaScript sample re-laid", "```js\nf(); /* one */\n```\n", "```js\nf();\n/*\n * one\n */\n```\n", true},
        {"a comment in an indented block as written", "    int a; // one\n", "    int a; //  one\n", false},
        {"a comment in a sample of no language as written", "```\nx // one\n```\n", "```\nx //  one\n```\n", false},
        {"embedded shell's #! line", "```sh\n#!/bin/sh\necho\n```\n", "```sh\n#!/bin/bash\necho\n```\n", false},
        {"embedded shell's #! line's blanks", "```sh\n#!/bin/sh\necho\n```\n", "```sh\n#! /bin/sh\necho\n```\n", true},
    });
}

// With --allow, a sample passes through its language's rules, as a file of
// that language does.
TEST(MarkdownNearMiss, AllowedInSamples)
{
    const RewriteSet commas = rewriteBit(Rewrite::Commas);
    checkRewritePairs(Md, commas, {
        {"a trailing comma in a JavaScript sample", "```js\nf([1, 2,]);\n```\n", "```js\nf([1, 2]);\n```\n", true},
        {"a trailing comma in a Python sample", "```py\nf([1, 2,])\n```\n", "```py\nf([1, 2])\n```\n", true},
        {"a comma the rules do not take", "```js\nf([1, 2,]);\n```\n", "```js\nf([1, 2, 3]);\n```\n", false},
        {"a trailing comma in a sample of no language", "```\nf([1, 2,]);\n```\n", "```\nf([1, 2]);\n```\n", false},
    });
    checkPairs(Md, {
        {"a trailing comma without --allow", "```js\nf([1, 2,]);\n```\n", "```js\nf([1, 2]);\n```\n", false},
    });
    // The rewrite is counted where the sample has it.
    const std::vector<Tok> tokens = lexText("# a\n\n```js\nf([1, 2,]);\n```\n", Md, {}, commas);
    const auto noted = std::find_if(tokens.begin(), tokens.end(), [](const Tok &t) { return t.noteKinds != 0; });
    ASSERT_NE(noted, tokens.end());
    EXPECT_EQ(noted->key, "]");
    EXPECT_EQ(noted->noteKinds, commas);
    EXPECT_EQ(noted->line, 4);
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
    EXPECT_EQ(keysOf(tokens), (std::vector<std::string>{"<h1>", "Title", "</h1>", "<p>", "some ", "<em>", "text",
                                                        "</em>", " ", "here", "</p>", ""}));
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
    EXPECT_STREQ(lexerRefusal(*lexer), "too large to compare as Markdown");
    std::fclose(f);
    // A later start forgets the refusal and the store.
    lexerStart(*lexer, Language::Json, {}, source);
    EXPECT_EQ(lexerRefusal(*lexer), nullptr);
    EXPECT_FALSE(lexer->store);
}

// A document whose tree would outgrow its bound is no tree, and the lexer
// refuses it as too large; so is one whose table rows would take cmark-gfm
// too long (a line of 20,000 cells), and not one of 10,000.
TEST(MarkdownTokens, TreeBound)
{
    const std::string quotes = std::string(20000, '>') + " a\n";  // a node for each byte
    {
        MarkdownArena arena(std::size_t(2) << 20);
        EXPECT_EQ(readMarkdown(arena, quotes.data(), quotes.size()), nullptr);
    }
    {
        MarkdownArena arena(std::size_t(8) << 20);
        EXPECT_NE(readMarkdown(arena, quotes.data(), quotes.size()), nullptr);
    }
    for (const auto &[cells, refused] : {std::pair<int, bool>{20000, true}, {10000, false}}) {
        const std::string text = "|a|\n|-|\n" + std::string(static_cast<std::size_t>(cells), '|') + "\n";
        EXPECT_EQ(refusalOf(text, Md), refused ? "too large to compare as Markdown" : "") << cells;
    }
}

// The keys of text's tokens, read from memory.
std::vector<std::string> keysFromMemory(const std::string &text)
{
    return describeFromMemory(text, Md, {}, [](const std::string &key, const TokenPiece &) { return key; });
}

// cmark-gfm marks its extensions' characters in a table of the whole
// process while it reads a document's inlines: two documents read at once
// (the two sides of a pair) each keep their strikethrough and autolinks.
TEST(MarkdownTokens, TwoDocumentsAtOnce)
{
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += "a ~~b~~ www.example.com c\n\n";
    const std::vector<std::string> alone = keysFromMemory(text);
    ASSERT_EQ(std::count(alone.begin(), alone.end(), "<del>"), 2000);
    bool same[2] = {true, true};
    auto read = [&](int side) {
        for (int k = 0; k < 10; ++k)
            same[side] = same[side] && keysFromMemory(text) == alone;
    };
    std::thread first(read, 0), second(read, 1);
    first.join();
    second.join();
    EXPECT_TRUE(same[0]);
    EXPECT_TRUE(same[1]);
}

// A document too large to hold is a failed pair, with its reason, never a
// verdict; the single run stops there.
TEST(MarkdownRun, TooLargeFails)
{
    ScratchDir dir;
    ASSERT_EQ(std::system(("cd '" + dir.path() + "' && mkdir a b").c_str()), 0);
    std::string big;
    for (std::size_t i = 0; big.size() <= (std::size_t(4) << 20); ++i)
        big += "word " + std::to_string(i) + "\n";
    writeFile(dir.file("a/big.md"), big);
    writeFile(dir.file("b/big.md"), big + "more\n");
    writeFile(dir.file("a/small.md"), "* a\n");
    writeFile(dir.file("b/small.md"), "- a\n");
    const RunResult tree = runMatchling({"a", "b", "--tokens"}, dir.path());
    EXPECT_NE(tree.out.find("Matchling==> Unable to compare: big.md (too large to compare as Markdown) \n"),
              std::string::npos)
        << tree.out;
    EXPECT_NE(tree.out.find("2 pairs compared: 1 equivalent, 0 not equivalent, 1 failed"), std::string::npos) << tree.out;
    const RunResult single = runMatchling({"a/big.md", "b/big.md", "--tokens"}, dir.path());
    EXPECT_NE(single.out.find("Matchling==>  Unable to compare: a/big.md (too large to compare as Markdown) \n"
                              "Matchling==>  Program will abort \n"),
              std::string::npos)
        << single.out;
    EXPECT_EQ(single.status, 1);
}

// Real Markdown files of this machine through prettier, at both prose wraps,
// judged by markdown-it with GitHub's extensions and footnotes
// (tests/npm/markdown_judge.js): a pair the judge calls
// different must never compare equivalent (a miss); of the pairs it calls the
// same, at most 2% may differ (false alarms). Then mutants of the files that
// change what a reader sees, each flagged.
class MarkdownFormatterTools : public ::testing::Test {
protected:
    static std::vector<std::string> lines(const std::string &command)
    {
        std::vector<std::string> out;
        std::istringstream text(commandOutput(command));
        for (std::string line; std::getline(text, line);)
            out.push_back(line);
        return out;
    }

    static std::string npm() { return std::string(MATCHLING_NPM_TOOLS) + "/../.."; }

    // Judges the pairs of dirs a and b under root: each one compared.
    static TreeTally judge(const std::string &root, const std::string &a, const std::string &b)
    {
        const TreeTally t =
            judgeTrees("node '" + npm() + "/markdown_judge.js'", root, a, b, "differing only in embedded code");
        EXPECT_EQ(t.refused, 0) << a << " against " << b << ": pairs not compared";
        return t;
    }
};

TEST_F(MarkdownFormatterTools, PrettierJudgedByMarkdownIt)
{
    const std::string prettier = npmTool("prettier");
    if (!haveTool("node") || prettier.empty() || !exists(npm() + "/node_modules/markdown-it") ||
        !exists(npm() + "/node_modules/markdown-it-task-lists") || !exists(npm() + "/node_modules/markdown-it-footnote") ||
        !exists(npm() + "/node_modules/typescript"))
        GTEST_SKIP() << "node and tests/npm's packages are needed (npm ci in tests/npm)";
    // 150 files under 100 KB, spread over the sorted list of this machine's
    // (scratch and work trees and this checkout left out, so that the sample
    // stays put wherever the checkout is).
    const std::vector<std::string> found =
        lines("find / -name '*.md' -not -path '/proc/*' -not -path '/tmp/*' -not -path '/work/*' -not -path '" +
              std::string(MATCHLING_SOURCE_DIR) + "/*' -size -100k -type f 2>/dev/null | sort");
    if (found.size() < 150)
        GTEST_SKIP() << "too few Markdown files on this machine";
    ScratchDir dir;
    ASSERT_EQ(std::system(("cd '" + dir.path() + "' && mkdir orig base mut").c_str()), 0);
    const std::size_t step = found.size() / 150;
    for (std::size_t i = 0; i < 150; ++i) {
        const std::string &f = found[(i + 1) * step - 1];
        char prefix[8];
        std::snprintf(prefix, sizeof prefix, "%03zu-", i + 1);
        writeFile(dir.file("orig/" + std::string(prefix) + f.substr(f.rfind('/') + 1)), readFile(f));
    }
    TreeTally total;
    for (const char *wrap : {"always", "never"}) {
        ASSERT_EQ(std::system(("cd '" + dir.path() + "' && cp -r orig " + wrap + " && cd " + wrap + " && '" + prettier +
                               "' --prose-wrap " + wrap + " --write --log-level silent --no-config --ignore-path= . "
                               ">/dev/null 2>&1; true")
                                  .c_str()),
                  0);
        const TreeTally t = judge(dir.path(), "orig", wrap);
        total.same += t.same;
        total.falseAlarms += t.falseAlarms;
        total.misses += t.misses;
        EXPECT_GT(t.same, 100);
    }
    EXPECT_EQ(total.misses, 0);
    EXPECT_LE(total.falseAlarms * 50, total.same);

    // Mutants of the files: a nested list item indented out of its list, a
    // paragraph line joined into the heading before it, a blank put inside a
    // code span. Each must be flagged, and the judge must agree it differs.
    const std::regex nested("\n( {2,})([-*+] [^\n]+)\n"), heading("\n(#{1,6} [^\n]+)\n\n([A-Za-z][^\n]*)\n"),
        span("\n([A-Za-z][^`\n]* `)([A-Za-z0-9_]{2,})(`)");
    int made[3] = {};
    for (const std::string &name : lines("ls '" + dir.path() + "/orig'")) {
        const std::string text = readFile(dir.file("orig/" + name));
        std::string m[3] = {text, text, text};
        const bool ok[3] = {
            mutate(m[0], nested, [](const std::smatch &x) { return "\n" + x[2].str() + "\n"; }),
            mutate(m[1], heading, [](const std::smatch &x) { return "\n" + x[1].str() + " " + x[2].str() + "\n"; }),
            mutate(m[2], span, [](const std::smatch &x) {
                return "\n" + x[1].str() + x[2].str().substr(0, 1) + " " + x[2].str().substr(1) + x[3].str();
            }),
        };
        for (int k = 0; k < 3; ++k)
            if (ok[k] && made[k] < 20) {
                ++made[k];
                writeFile(dir.file("mut/" + std::to_string(k) + "-" + name), m[k]);
                writeFile(dir.file("base/" + std::to_string(k) + "-" + name), text);
            }
    }
    const TreeTally mutants = judge(dir.path(), "base", "mut");
    std::printf("mutants: %d nested items out, %d paragraphs joined into headings, %d code spans with a blank\n",
                made[0], made[1], made[2]);
    EXPECT_EQ(mutants.misses, 0);
    EXPECT_GT(made[0] * made[1] * made[2], 0);
    // A mutant the judge calls the same is not counted: a nested item inside a
    // code block, or inside an HTML block or comment, which the judge reads
    // with its blanks collapsed and this module as written. Most mutants
    // differ; every one that does is flagged.
    EXPECT_GE(mutants.differ * 5, mutants.pairs * 4);
    const std::string out = runMatchling({"base", "mut", "--tokens"}, dir.path()).out;
    int flagged = 0;
    for (std::size_t at = out.find("Not equivalent: "); at != std::string::npos; at = out.find("Not equivalent: ", at + 1))
        ++flagged;
    EXPECT_GE(flagged, mutants.differ);
    std::printf("mutants flagged: %d of %d\n", flagged, mutants.pairs);
}

#endif

} // namespace
