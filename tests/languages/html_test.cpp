// HTML's in-process tests: its near misses (for each decision, a pair that
// must differ and, where it can go the other way, a pair that must stay
// equal), its tokens and refusals, then real HTML files through prettier,
// judged by parse5's tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"
#include "../tree_judge.h"
#include "languages/html/template.h"
#include "languages/languages.h"

namespace {

const Language Html = Language::Html;

#if MATCHLING_HAVE_GUMBO

LexOptions withComments()
{
    LexOptions o;
    o.comments = true;
    return o;
}

TEST(HtmlNearMiss, Elements)
{
    checkPairs(Html, {
        {"an element renamed", "<p>a</p>", "<div>a</div>", false},
        {"tag names in any case", "<DIV>a</DIV>", "<div>a</div>", true},
        {"a CR LF in a name read again after a bad end tag", "</><y\n>", "</><y\r\n>", true},
        {"a name read again after a bad end tag", "</><y\n>", "</><z\n>", false},
        {"an end tag the parser supplies", "<ul><li>a<li>b</ul>", "<ul><li>a</li><li>b</li></ul>", true},
        {"implied html, head and body", "<!DOCTYPE html><title>t</title><p>a", "<!DOCTYPE html>\n<html><head><title>t</title></head><body><p>a</p></body></html>", true},
        {"the doctype", "<!DOCTYPE html><p>a", "<p>a", false},
        {"the doctype's spelling", "<!doctype HTML><p>a", "<!DOCTYPE html><p>a", true},
        {"a void element closed or not", "<p>a<br>b</p>", "<p>a<br/>b</p>", true},
        {"an element moved out of its parent", "<div><p>a</p></div>", "<div></div><p>a</p>", false},
        {"misnested formatting mended", "<p><b><i>a</b></i></p>", "<p><b><i>a</i></b></p>", true},
        {"a custom element's name", "<my-el>a</my-el>", "<my-al>a</my-al>", false},
        {"a custom element's name in any case", "<My-El>a</My-El>", "<my-el>a</my-el>", true},
        {"an element added", "<div></div>", "<div><span></span></div>", false},
    });
}

TEST(HtmlNearMiss, Attributes)
{
    checkPairs(Html, {
        {"attribute order", "<a href=\"x\" id=\"y\">a</a>", "<a id=\"y\" href=\"x\">a</a>", true},
        {"quote style", "<a href='x' id=y>a</a>", "<a href=\"x\" id=\"y\">a</a>", true},
        {"an attribute's value", "<a href=\"x\">a</a>", "<a href=\"y\">a</a>", false},
        {"blanks inside a value", "<a title=\"a b\">a</a>", "<a title=\"a  b\">a</a>", false},
        {"a value's entities", "<a title=\"a&amp;b\">a</a>", "<a title=\"a&b\">a</a>", true},
        {"a name alone and an empty value", "<input disabled>", "<input disabled=\"\">", true},
        {"a name alone and its own name as value", "<input disabled>", "<input disabled=\"disabled\">", false},
        {"an attribute added", "<p>a</p>", "<p id=\"x\">a</p>", false},
        {"attribute names in any case", "<p ID=\"x\">a</p>", "<p id=\"x\">a</p>", true},
        {"class names re-spaced", "<p class=\"a  b\n c\">x</p>", "<p class=\"a b c\">x</p>", true},
        {"class names reordered", "<p class=\"a b\">x</p>", "<p class=\"b a\">x</p>", false},
        {"class names joined", "<p class=\"a b\">x</p>", "<p class=\"ab\">x</p>", false},
        {"a style's declarations re-laid", "<p style=\"color:red;margin:0 1px\">a</p>", "<p style=\"color: red; margin: 0 1px;\">a</p>", true},
        {"a style's value changed", "<p style=\"margin:0 1px\">a</p>", "<p style=\"margin:0 2px\">a</p>", false},
        {"a style's values joined", "<p style=\"margin:0 1px\">a</p>", "<p style=\"margin:0;1px\">a</p>", false},
        {"a style's blank that parts a selector's words", "<p style=\"a:b\">a</p>", "<p style=\"a : b\">a</p>", true},
        {"a handler's code as written", "<a onclick=\"f( 1 )\">a</a>", "<a onclick=\"f(1)\">a</a>", false},
        {"a value holding a quote and a name", "<p a='x\" b=\"y'>c</p>", "<p a=\"x\" b=\"y\">c</p>", false},
        {"two names, one a value's prefix", "<p ab=\"c\">d</p>", "<p a=\"bc\">d</p>", false},
    });
}

TEST(HtmlNearMiss, Text)
{
    checkPairs(Html, {
        {"text re-wrapped", "<p>one two\nthree</p>", "<p>one\n  two three</p>", true},
        {"a word changed", "<p>one two</p>", "<p>one too</p>", false},
        {"two words joined", "<p>one two</p>", "<p>onetwo</p>", false},
        {"blanks at a paragraph's edges", "<p>\n  one\n</p>", "<p>one</p>", true},
        {"a blank between inline elements", "<p><b>a</b> <i>b</i></p>", "<p><b>a</b><i>b</i></p>", false},
        {"a line break between inline elements", "<p><b>a</b>\n  <i>b</i></p>", "<p><b>a</b> <i>b</i></p>", true},
        {"a blank inside an inline element", "<p>a<b> b</b></p>", "<p>a<b>b</b></p>", false},
        {"a blank before an inline element", "<p>a <b>b</b></p>", "<p>a<b>b</b></p>", false},
        {"a blank after an inline element", "<p><b>a</b> b</p>", "<p><b>a</b>b</p>", false},
        {"a blank next to a custom element", "<div><x-a></x-a> <x-b></x-b></div>", "<div><x-a></x-a><x-b></x-b></div>", false},
        {"a blank at a block's start before an inline element", "<td> <a>a</a>\n</td>", "<td><a>a</a></td>", true},
        {"a blank after a block before an inline element", "<div><p>a</p>\n<b>b</b></div>", "<div><p>a</p><b>b</b></div>", true},
        {"a blank between inline elements at a block's start", "<p><b>a</b> <i>b</i></p>", "<p> <b>a</b><i>b</i></p>", false},
        {"whitespace between an SVG drawing's shapes", "<svg><g>\n <path d=\"M0\"/>\n</g></svg>", "<svg><g><path d=\"M0\"/></g></svg>", true},
        {"a blank in an SVG text", "<svg><text><tspan>a</tspan> <tspan>b</tspan></text></svg>", "<svg><text><tspan>a</tspan><tspan>b</tspan></text></svg>", false},
        {"a blank before an SVG drawing in a line", "<p>a <svg></svg></p>", "<p>a<svg></svg></p>", false},
        {"whitespace between blocks", "<div><p>a</p>\n\n  <p>b</p></div>", "<div><p>a</p><p>b</p></div>", true},
        {"whitespace between list items", "<ul>\n  <li>a</li>\n  <li>b</li>\n</ul>", "<ul><li>a</li><li>b</li></ul>", true},
        {"whitespace in the head", "<head>\n <meta charset=\"utf-8\">\n <title>t</title>\n</head>", "<head><meta charset=\"utf-8\"><title>t</title></head>", true},
        {"a blank between text and a block", "<div>a\n<p>b</p></div>", "<div>a<p>b</p></div>", true},
        {"a blank around a hidden block", "<p>a<div hidden></div> b</p>", "<p>a<div hidden></div>b</p>", false},
        {"a block made inline by its style", "<div>a<div style=\"display:inline\"></div> b</div>", "<div>a<div style=\"display:inline\"></div>b</div>", false},
        {"blocks made inline by the stylesheet", "<style>li { display: inline }</style><ul><li>a</li> <li>b</li></ul>", "<style>li { display: inline }</style><ul><li>a</li><li>b</li></ul>", false},
        {"an entity for a character", "<p>a&amp;b &#65;</p>", "<p>a&b A</p>", true},
        {"a no-break space is no blank", "<p>a&nbsp;b</p>", "<p>a b</p>", false},
        {"a comment between words joins them", "<p>a<!-- x -->b</p>", "<p>a b</p>", false},
        {"a comment between words is layout", "<p>a<!-- x -->b</p>", "<p>ab</p>", true},
        {"text that looks like a tag", "<p>&lt;b&gt;a</p>", "<p><b>a</b></p>", false},
        {"text that looks like an entity", "<p>&amp;lt;b</p>", "<p>&lt;b</p>", false},
        {"CR LF line ends", "<ul>\n<li>a\nb</li>\n</ul>\n", "<ul>\r\n<li>a\r\nb</li>\r\n</ul>\r\n", true},
    });
}

TEST(HtmlNearMiss, Preformatted)
{
    checkPairs(Html, {
        {"a blank inside pre", "<pre>a b</pre>", "<pre>a  b</pre>", false},
        {"a line break inside pre", "<pre>a\nb</pre>", "<pre>a b</pre>", false},
        {"pre's first line feed", "<pre>\na</pre>", "<pre>a</pre>", true},
        {"indentation inside pre's inline elements", "<pre><b>a\n  b</b></pre>", "<pre><b>a\nb</b></pre>", false},
        {"whitespace between blocks inside pre", "<pre><div>a</div>\n<div>b</div></pre>", "<pre><div>a</div><div>b</div></pre>", false},
        {"a textarea's text", "<textarea>a  b</textarea>", "<textarea>a b</textarea>", false},
        {"a listing's text", "<listing>a  b</listing>", "<listing>a b</listing>", false},
        {"a name that starts as pre's keeps no whitespace", "<preview>a  b</preview>", "<preview>a b</preview>", true},
        {"a name that starts as a block's is inline", "<b>a</b> <divx>b</divx>", "<b>a</b><divx>b</divx>", false},
        {"a style attribute naming white-space", "<div style=\"white-space: nowrap\">a  b</div>", "<div style=\"white-space: nowrap\">a b</div>", false},
        {"a stylesheet that keeps whitespace", "<style>.x { white-space: pre }</style><div>a  b</div>", "<style>.x { white-space: pre }</style><div>a b</div>", false},
        {"a stylesheet that keeps the whitespace of one element name", "<style>div.x > code { white-space: pre }</style><div>a  b</div><code>a  b</code>", "<style>div.x > code { white-space: pre }</style><div>a b</div><code>a  b</code>", true},
        {"a stylesheet that keeps that element's whitespace", "<style>div.x > code { white-space: pre }</style><div><code>a  b</code></div>", "<style>div.x > code { white-space: pre }</style><div><code>a b</code></div>", false},
        {"a stylesheet that keeps whitespace of a class", "<style>@media print { .x { white-space: pre-wrap } }</style><div>a  b</div>", "<style>@media print { .x { white-space: pre-wrap } }</style><div>a b</div>", false},
        {"a stylesheet that makes one element name inline", "<style>li { display: inline-block }</style><p>a</p> <div>b</div>", "<style>li { display: inline-block }</style><p>a</p><div>b</div>", true},
        {"a stylesheet that only keeps lines together", "<style>.x { white-space: nowrap }</style><div>a  b</div>", "<style>.x{white-space:nowrap}</style><div>a b</div>", true},
        {"a stylesheet that keeps whitespace, in capitals", "<style>.X{WHITE-SPACE:PRE}</style><div>a  b</div>", "<style>.X{WHITE-SPACE:PRE}</style><div>a b</div>", false},
        {"a stylesheet that names it first", "<style>white-space: pre</style><div>a  b</div>", "<style>white-space: pre</style><div>a b</div>", false},
        {"a stylesheet that makes all inline, in capitals", "<style>*{DISPLAY:Inline}</style><p>a</p> <div>b</div>", "<style>*{DISPLAY:Inline}</style><p>a</p><div>b</div>", false},
        {"a stylesheet whose near names keep nothing", "<style>.white-spaces{displays:pre; play: inline}</style><div>a  b</div>", "<style>.white-spaces{displays:pre; play: inline}</style><div>a b</div>", true},
    });
}

TEST(HtmlNearMiss, Comments)
{
    const LexOptions comments = withComments();
    checkPairs(Html, {
        {"a comment is layout", "<p>a</p><!-- one -->", "<p>a</p>", true},
        {"a comment's words with --comments", "<p>a</p><!-- one -->", "<p>a</p><!-- two -->", false, 0, 0, 0, 0, Html, comments},
        {"a comment re-spaced with --comments", "<!-- one  two -->", "<!--one\ntwo-->", true, 0, 0, 0, 0, Html, comments},
        {"a comment left out with --comments", "<p>a</p><!-- one -->", "<p>a</p>", false, 0, 0, 0, 0, Html, comments},
    });
}

TEST(HtmlNearMiss, ScriptsAndStyles)
{
    checkPairs(Html, {
        {"a script re-laid", "<script>let a=[1,2];</script>", "<script>\n  let a = [\n    1, 2 ];\n</script>", true},
        {"a script's token changed", "<script>let a=1;</script>", "<script>let a=2;</script>", false},
        {"a script's string changed", "<script>f(\"a b\")</script>", "<script>f(\"a  b\")</script>", false},
        {"a module script", "<script type=\"module\">import a from \"a\"</script>", "<script type=\"module\">import b from \"a\"</script>", false},
        {"a module script re-laid", "<script type=\"module\">import a from \"a\";</script>", "<script type=\"module\">\n  import a from \"a\";\n</script>", true},
        {"a TypeScript script", "<script lang=\"ts\">let a:number=1</script>", "<script lang=\"ts\">let a: number = 1</script>", true},
        {"JSON data re-laid", "<script type=\"application/json\">{\"a\":[1,2]}</script>", "<script type=\"application/json\">\n{ \"a\": [1, 2] }\n</script>", true},
        {"JSON data changed", "<script type=\"application/ld+json\">{\"a\":1}</script>", "<script type=\"application/ld+json\">{\"a\":2}</script>", false},
        {"a template's text as written", "<script type=\"text/template\"><b>a</b></script>", "<script type=\"text/template\">\n<b>a</b>\n</script>", false},
        {"a script's comment is layout", "<script>a() // one\n</script>", "<script>a()\n</script>", true},
        {"a style re-laid", "<style>a{color:red}</style>", "<style>\n  a {\n    color: red;\n  }\n</style>", true},
        {"a style's value changed", "<style>a{color:red}</style>", "<style>a{color:blue}</style>", false},
        {"an SCSS style", "<style lang=\"scss\">a{b{c:d}}</style>", "<style lang=\"scss\">a {\n  b { c: d }\n}</style>", true},
        {"a script moved", "<p>a</p><script>f()</script>", "<script>f()</script><p>a</p>", false},
        {"another type's lines as written", "<script type=\"text/x-tmpl\">a\n  b</script>", "<script type=\"text/x-tmpl\">a\nb</script>", false},
        {"another type's lines, the same", "<script type=\"text/x-tmpl\">a\n  b</script>", "<script type='text/x-tmpl'>a\n  b</script>", true},
    });
}

// The template writer's hooks for the syntaxes that extend HTML's: a
// syntax whose ":" attributes and "{{ }}" in text hold JavaScript, written
// as one <p> with attribute :v and text text.
std::vector<std::string> templateKeys(const std::string &value, const std::string &text)
{
    static const TemplateSyntax syntax = {
        [](const std::string &name) { return name[0] == ':' ? AttributeKind::Expression : AttributeKind::Text; }, "{{",
        "}}", Language::JavaScript};
    HtmlStore store;
    store.text.resize(text.size());
    if (!text.empty())
        std::memcpy(store.text.data(), text.data(), text.size());
    TemplateWriter w;
    templateStart(w, store, syntax, LexOptions{}, StyleFacts{});
    std::vector<TemplateAttribute> attributes(1);
    attributes[0].name = ":v";
    attributes[0].value = value;
    templateOpen(w, "p", attributes, 0);
    templateText(w, text.data(), text.size(), text.data(), text.size(), 0);
    templateClose(w, 0);
    templateFinish(w);
    std::vector<std::string> keys;
    for (std::size_t at = 0; at < store.tokens.size();) {
        std::uint32_t length;
        std::memcpy(&length, store.tokens.data() + at + 9, 4);
        keys.emplace_back(store.tokens.data() + at + kHtmlRecordHead, length);
        at += kHtmlRecordHead + length;
    }
    return keys;
}

TEST(HtmlTemplate, ExpressionHooks)
{
    const struct {
        const char *name, *value[2], *text[2];
        bool equal;
    } rows[] = {
        {"an expression attribute re-spaced", {"a+b", " a + b "}, {"x", "x"}, true},
        {"an expression attribute changed", {"a+b", "a+c"}, {"x", "x"}, false},
        {"an expression's string", {"f('a b')", "f('a  b')"}, {"x", "x"}, false},
        {"an interpolation re-spaced", {"a", "a"}, {"one {{x+1}} two", "one {{ x + 1 }} two"}, true},
        {"an interpolation changed", {"a", "a"}, {"one {{ x+1 }} two", "one {{ x+2 }} two"}, false},
        {"a blank next to an interpolation", {"a", "a"}, {"one {{ x }}", "one{{ x }}"}, false},
        {"an interpolation is no text", {"a", "a"}, {"one {{ x }}", "one {{x}}"}, true},
        {"an interpolation left open is text", {"a", "a"}, {"one {{ x", "one {{x"}, false},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(templateKeys(r.value[0], r.text[0]) == templateKeys(r.value[1], r.text[1]), r.equal);
    }
}

// With --allow, a script's or a style's body passes through its language's
// rules, as a file of that language does; an attribute's value does not.
TEST(HtmlNearMiss, AllowedInBodies)
{
    const RewriteSet commas = rewriteBit(Rewrite::Commas);
    checkRewritePairs(Html, commas, {
        {"a trailing comma in a script", "<script>f([1, 2,]);</script>", "<script>f([1, 2]);</script>", true},
        {"a comma the rules do not take", "<script>f([1, 2,]);</script>", "<script>f([1, 2, 3]);</script>", false},
        {"a trailing comma in a script of another type", "<script type=\"text/x-a\">f([1, 2,]);</script>", "<script type=\"text/x-a\">f([1, 2]);</script>", false},
    });
    checkPairs(Html, {
        {"a trailing comma without --allow", "<script>f([1, 2,]);</script>", "<script>f([1, 2]);</script>", false},
    });
    // The rewrite is counted where the script has it.
    const std::vector<Tok> tokens = lexText("<p>a</p>\n<script>\nf([1, 2,]);\n</script>", Html, {}, commas);
    const auto noted = std::find_if(tokens.begin(), tokens.end(), [](const Tok &t) { return t.noteKinds != 0; });
    ASSERT_NE(noted, tokens.end());
    EXPECT_EQ(noted->line, 3);
}

TEST(HtmlLexer, TokensAndPlaces)
{
    const std::vector<Tok> t = lexText("<p class=\"a  b\">one\n two</p>", Html);
    const std::vector<std::string> expected = {"<html", ">", "<head", ">", "</head>", "<body", ">", "<p", "class=",
                                               "\"a b\"", ">", "one ", "two", "</p>", "</body>", "</html>", ""};
    EXPECT_EQ(keysOf(t), expected);
    ASSERT_EQ(t.size(), expected.size());
    EXPECT_EQ(t[7].line, 1);
    EXPECT_EQ(t[7].column, 1);
    EXPECT_EQ(t[8].column, 4);
    EXPECT_EQ(t[12].line, 2);
    EXPECT_EQ(t[12].column, 2);
}

// The sample's tokens come the same whether taken one by one or in runs,
// and its tokens re-laid out by hand stay the same.
TEST(HtmlLexer, SampleInRuns)
{
    const std::string path = std::string(MATCHLING_SOURCE_DIR) + "/tests/languages/html/sample.html";
    const std::vector<Tok> t = lexFile(path, Html);
    ASSERT_GT(t.size(), 100u);
    EXPECT_EQ(firstDifference(t, lexFileInRuns(path, Html, 7, 64)), -1);
    EXPECT_EQ(firstDifference(t, lexFileInRuns(path, Html, 1024, 65536)), -1);
}

TEST(HtmlLexer, TooLargeIsRefused)
{
    std::string big;
    while (big.size() <= (std::size_t(4) << 20))
        big += "<p>word</p>\n";
    EXPECT_EQ(refusalOf(big, Html), "too large to compare as HTML");
    EXPECT_EQ(refusalOf("<p>a", Html), "");
    // Nesting deeper than 512 elements is refused; closed elements, void
    // ones and those whose end tags may be left out do not count.
    std::string deep, flat;
    for (int i = 0; i < 600; ++i) {
        deep += "<div>";
        flat += "<div><p>a<br><li>b</div><td>";
    }
    EXPECT_EQ(refusalOf(deep, Html), "nested too deep to compare as HTML");
    EXPECT_EQ(refusalOf(flat, Html), "");
    EXPECT_EQ(refusalOf(deep.substr(0, 500 * 5), Html), "");
    std::string mended;  // end tags that close nothing in a table's cell
    for (int i = 0; i < 600; ++i)
        mended += "<div><table><td></div>";
    EXPECT_EQ(refusalOf(mended, Html), "nested too deep to compare as HTML");
}

// A document too deep to read is a failed pair, with its reason, never a
// verdict.
TEST(HtmlRun, TooDeepFails)
{
    ScratchDir dir;
    ASSERT_EQ(std::system(("cd '" + dir.path() + "' && mkdir a b").c_str()), 0);
    std::string deep;
    for (int i = 0; i < 600; ++i)
        deep += "<div>\n";
    writeFile(dir.file("a/deep.html"), deep);
    writeFile(dir.file("b/deep.html"), deep + "x");
    writeFile(dir.file("a/small.html"), "<ul>\n  <li>a</li>\n</ul>\n");
    writeFile(dir.file("b/small.html"), "<ul><li>a</li></ul>");
    const RunResult tree = runMatchling({"a", "b", "--tokens"}, dir.path());
    EXPECT_NE(tree.out.find("Matchling==> Unable to compare: deep.html (nested too deep to compare as HTML) \n"),
              std::string::npos)
        << tree.out;
    EXPECT_NE(tree.out.find("2 pairs compared: 1 equivalent, 0 not equivalent, 1 failed"), std::string::npos) << tree.out;
}

// Real HTML files of this machine through prettier at three settings,
// judged by parse5's tree written out with a browser's whitespace rules
// (tests/npm/html_judge.js): a pair the judge calls different must never
// compare equivalent (a miss); of the pairs it calls the same, at most 2%
// may differ (false alarms). Pairs that differ only in a script's or a
// style's body are the judge's to leave. With --html-whitespace-sensitivity
// ignore prettier adds and takes away blanks that show: those pairs are
// counted apart, each flagged. Then mutants of the files.

TEST(HtmlFormatterTools, PrettierJudgedByParse5)
{
    const std::string prettier = npmTool("prettier");
    if (!haveTool("node") || prettier.empty() || !exists(npmDir() + "/node_modules/parse5") ||
        !exists(npmDir() + "/node_modules/postcss") || !exists(npmDir() + "/node_modules/typescript"))
        GTEST_SKIP() << "node and tests/npm's packages are needed (npm ci in tests/npm)";
    const std::vector<std::string> found = commandLines("find /usr -name '*.html' -size -100k -type f 2>/dev/null | sort");
    // 80 files under 100 KB, spread over the sorted list of those under /usr.
    constexpr std::size_t kSample = 80;
    if (found.size() < kSample)
        GTEST_SKIP() << "too few HTML files under /usr";
    const std::string judge = "node '" + npmDir() + "/html_judge.js'";
    const char *embedded = "differing only in a script's or a style's body";
    ScratchDir dir;
    ASSERT_EQ(std::system(("cd '" + dir.path() + "' && mkdir orig base mut").c_str()), 0);
    const std::size_t step = found.size() / kSample;
    std::vector<std::string> sample;
    for (std::size_t i = 0; i < kSample; ++i)
        sample.push_back(found[(i + 1) * step - 1]);
    copyNumbered(sample, dir.file("orig"));
    const struct {
        const char *dir, *options;
        bool showsBlanks;  // prettier adds and takes away blanks that show
    } settings[] = {
        {"default", "", false},
        {"width40", "--print-width 40", false},
        {"ignore", "--html-whitespace-sensitivity ignore", true},
    };
    for (const auto &s : settings) {
        ASSERT_EQ(prettierCopy(dir.path(), s.dir, prettier, std::string("--parser html ") + s.options), 0);
        const TreeTally t = judgeTrees(judge, dir.path(), "orig", s.dir, embedded);
        EXPECT_EQ(t.misses, 0) << s.dir;
        EXPECT_LE(t.falseAlarms * 50, t.same) << s.dir;
        EXPECT_GT(s.showsBlanks ? t.differ : t.same, 50) << s.dir;
    }

    // Mutants: whitespace put between two blocks (the judge calls them the
    // same; they must compare equivalent), and a word's letters swapped, two
    // words joined, the blank between two inline elements taken out, an
    // attribute's value changed (the judge calls them different; each must be
    // flagged).
    const std::regex relaid("</(p|li|div|tr|td|h[1-6])>[ \t\r\n]*<(p|li|div|tr|table|ul|h[1-6])([ >])"),
        swapped(">([^<>]*[^<>A-Za-z])([A-Za-z])([A-Za-z])([A-Za-z]{2,})"),
        joined(">([^<>]*[A-Za-z]) ([A-Za-z][^<>]*)<"),
        inlines("</(a|b|i|em|strong|code|span|tt)> <(a|b|i|em|strong|code|span|tt)([ >])"),
        valued(" (href|title|alt|name)=\"([^\"]+)\"");
    int made[5] = {};
    for (const std::string &name : commandLines("ls '" + dir.path() + "/orig'")) {
        const std::string text = readFile(dir.file("orig/" + name));
        std::string m[5] = {text, text, text, text, text};
        const bool ok[5] = {
            mutate(m[0], relaid,
                   [](const std::smatch &x) { return "</" + x[1].str() + ">\n\n    <" + x[2].str() + x[3].str(); }),
            mutate(m[1], swapped,
                   [](const std::smatch &x) { return ">" + x[1].str() + x[3].str() + x[2].str() + x[4].str(); }),
            mutate(m[2], joined, [](const std::smatch &x) { return ">" + x[1].str() + x[2].str() + "<"; }),
            mutate(m[3], inlines,
                   [](const std::smatch &x) { return "</" + x[1].str() + "><" + x[2].str() + x[3].str(); }),
            mutate(m[4], valued,
                   [](const std::smatch &x) { return " " + x[1].str() + "=\"" + x[2].str() + "x\""; }),
        };
        writeMutants(dir.path(), name, text, m, ok, 5, made, 20);
    }
    const TreeTally mutants = judgeTrees(judge, dir.path(), "base", "mut", embedded);
    std::printf("mutants: %d relaid between blocks, %d words with letters swapped, %d words joined, %d inline "
                "elements joined, %d attribute values changed\n",
                made[0], made[1], made[2], made[3], made[4]);
    EXPECT_EQ(mutants.misses, 0);
    EXPECT_EQ(mutants.falseAlarms, 0);
    EXPECT_GT(made[0] * made[1] * made[2] * made[4], 0);
    EXPECT_GE(mutants.same, made[0] / 2);
    EXPECT_GE(mutants.differ, made[1] + made[2]);
}

#endif

} // namespace
