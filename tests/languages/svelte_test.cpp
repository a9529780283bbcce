// Svelte's in-process tests: its near misses (for each decision, a pair
// that must differ and, where it can go the other way, a pair that must
// stay equal), its tokens and refusals; then components through prettier's
// Svelte plugin, judged by Svelte's own parser.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"
#include "../tree_judge.h"
#include "languages/languages.h"

namespace {

const Language Svelte = Language::Svelte;

TEST(SvelteNearMiss, Elements)
{
    checkPairs(Svelte, {
        {"an element renamed", "<p>a</p>", "<div>a</div>", false},
        {"a self-closing element is empty", "<div />", "<div></div>", true},
        {"a self-closing element does not hold what follows", "<div /><p>a</p>", "<div><p>a</p></div>", false},
        {"a self-closing component", "<Foo />", "<Foo></Foo>", true},
        {"a component is not its lower-case element", "<Button>a</Button>", "<button>a</button>", false},
        {"a void element closed or not", "<p>a<br>b</p>", "<p>a<br />b</p>", true},
        {"an end tag a start tag supplies", "<ul><li>a<li>b</ul>", "<ul><li>a</li><li>b</li></ul>", true},
        {"an end tag a parent's end supplies", "<div><p>a</div>", "<div><p>a</p></div>", true},
        {"an element moved out of its parent", "<div><p>a</p></div>", "<div></div><p>a</p>", false},
        {"<svelte:options> anywhere at the top", "<svelte:options immutable />\n<p>a</p>\n<b>c</b>", "<p>a</p>\n<svelte:options immutable />\n<b>c</b>", true},
        {"<svelte:options>'s attributes", "<svelte:options immutable />\n<p>a</p>", "<svelte:options accessors />\n<p>a</p>", false},
        {"svelte: elements by name", "<svelte:window on:keydown={k} />", "<svelte:body on:keydown={k} />", false},
    });
}

TEST(SvelteNearMiss, Attributes)
{
    checkPairs(Svelte, {
        {"quote style", "<a href='x' id=y>a</a>", "<a href=\"x\" id=\"y\">a</a>", true},
        {"attribute order is kept (a spread may override)", "<a {...p} id=\"y\">a</a>", "<a id=\"y\" {...p}>a</a>", false},
        {"an attribute's value", "<a href=\"x\">a</a>", "<a href=\"y\">a</a>", false},
        {"an expression's layout", "<a href={f( x,y )}>a</a>", "<a href={f(x, y)}>a</a>", true},
        {"an expression's token", "<a href={f(x, y)}>a</a>", "<a href={f(x, z)}>a</a>", false},
        {"an expression quoted or not", "<Foo a=\"{x}\" />", "<Foo a={x} />", false},
        {"text around an expression in a value", "<a title=\"a {b} c\">a</a>", "<a title=\"a {b}  c\">a</a>", false},
        {"a shorthand attribute", "<input {value} />", "<input value={value} />", true},
        {"a shorthand attribute of another name", "<input {value} />", "<input value={other} />", false},
        {"a spread's expression", "<Foo {...a} />", "<Foo {...b} />", false},
        {"a name alone and an empty value", "<Foo disabled />", "<Foo disabled=\"\" />", false},
        {"class names on an element", "<p class=\"a  b\">a</p>", "<p class=\"a b\">a</p>", true},
        {"a class value on a component is a string", "<Foo class=\"a  b\" />", "<Foo class=\"a b\" />", false},
        {"a style value as declarations", "<p style=\"color:red;\">a</p>", "<p style=\"color: red\">a</p>", true},
    });
}

TEST(SvelteNearMiss, Directives)
{
    checkPairs(Svelte, {
        {"bind: alone stands for its name", "<input bind:value />", "<input bind:value={value} />", true},
        {"bind: to another name", "<input bind:value />", "<input bind:value={v} />", false},
        {"class: alone stands for its name", "<p class:on>a</p>", "<p class:on={on}>a</p>", true},
        {"style: alone stands for its name", "<p style:color>a</p>", "<p style:color={color}>a</p>", true},
        {"on: alone forwards the event", "<button on:click>a</button>", "<button on:click={click}>a</button>", false},
        {"use: alone has no parameter", "<p use:tip>a</p>", "<p use:tip={tip}>a</p>", false},
        {"a modifier", "<a on:click|once={f}>a</a>", "<a on:click={f}>a</a>", false},
        {"a handler's layout", "<a on:click={() =>  go(1)}>a</a>", "<a on:click={() => go(1)}>a</a>", true},
        {"a transition's parameters", "<p transition:fade={{ duration: 1 }}>a</p>", "<p transition:fade={{ duration: 2 }}>a</p>", false},
        {"in: and out:", "<p in:fade>a</p>", "<p out:fade>a</p>", false},
        {"let: alone stands for its name", "<Foo let:item>{item}</Foo>", "<Foo let:item={item}>{item}</Foo>", true},
    });
}

TEST(SvelteNearMiss, Blocks)
{
    checkPairs(Svelte, {
        {"an if block's layout", "{#if a}<p>x</p>{:else if b}<p>y</p>{:else}<p>z</p>{/if}", "{#if a}\n  <p>x</p>\n{:else if b}\n  <p>y</p>\n{:else}\n  <p>z</p>\n{/if}", true},
        {"an if block's condition", "{#if a}x{/if}", "{#if b}x{/if}", false},
        {"else if and else", "{#if a}x{:else if b}y{/if}", "{#if a}x{:else}y{/if}", false},
        {"an each block's layout", "{#each items as item, i (item.id)}<li>{item}</li>{/each}", "{#each items as item,i(item.id)}\n  <li>{item}</li>\n{/each}", true},
        {"an each block's key", "{#each items as item (item.id)}x{/each}", "{#each items as item (item.key)}x{/each}", false},
        {"await, then and catch", "{#await p}a{:then v}{v}{:catch e}{e}{/await}", "{#await p}a{:then v}{v}{:catch v}{v}{/await}", false},
        {"a key block", "{#key k}<p>a</p>{/key}", "{#key j}<p>a</p>{/key}", false},
        {"a snippet's parameters", "{#snippet row(a, b)}<td>{a}</td>{/snippet}", "{#snippet row(a)}<td>{a}</td>{/snippet}", false},
        {"{@html} and a plain expression", "<p>{@html s}</p>", "<p>{s}</p>", false},
        {"{@render}'s layout", "<p>{@render row( a )}</p>", "<p>{@render row(a)}</p>", true},
        {"{@const}", "{#each xs as x}{@const y = x * 2}{y}{/each}", "{#each xs as x}{@const y = x * 3}{y}{/each}", false},
        {"an element moved out of a block", "{#if a}<p>x</p>{/if}", "{#if a}{/if}<p>x</p>", false},
    });
}

TEST(SvelteNearMiss, Text)
{
    checkPairs(Svelte, {
        {"a blank between inline elements", "<p><b>a</b> <i>b</i></p>", "<p><b>a</b><i>b</i></p>", false},
        {"a run of blanks collapses", "<p>a  \n b</p>", "<p>a b</p>", true},
        {"a blank around an expression", "<p>a {b}</p>", "<p>a{b}</p>", false},
        {"a regular expression holding //", "<p>{s.replace(/\\/\\//, 'x')}</p>", "<p>{s.replace(/\\/\\//, 'y')}</p>", false},
        {"a regular expression holding // relaid", "<p>{s.replace( /\\/\\//, 'x' )}</p>", "<p>{s.replace(/\\/\\//, 'x')}</p>", true},
        {"an expression's inner layout", "<p>{ a+b }</p>", "<p>{a + b}</p>", true},
        {"a blank between blocks of elements", "<div>\n  <p>a</p>\n  <p>b</p>\n</div>", "<div><p>a</p><p>b</p></div>", true},
        {"whitespace around block tags at a line's edge", "<div>\n  {#if a}\n    <span>x</span>\n  {/if}\n</div>", "<div>{#if a}<span>x</span>{/if}</div>", true},
        {"a blank before a block tag inside a line", "<p>a {#if c}b{/if}</p>", "<p>a{#if c}b{/if}</p>", false},
        {"a blank at a branch's start is dropped", "<p>a{#if c} b{:else} d {/if}</p>", "<p>a{#if c}b{:else}d{/if}</p>", true},
        {"a blank after a block", "<p>{#if c}b{/if} d</p>", "<p>{#if c}b{/if}d</p>", false},
        {"a blank at an inline element's edge is dropped", "<p>a <span>\n  {b}\n</span> c</p>", "<p>a <span>{b}</span> c</p>", true},
        {"a blank at a component's children's edge is dropped", "<Foo> <b>a</b> </Foo>", "<Foo><b>a</b></Foo>", true},
        {"preserveWhitespace keeps a fragment's edges", "<svelte:options preserveWhitespace />a <span> b</span>", "<svelte:options preserveWhitespace />a <span>b</span>", false},
        {"a blank at pre's edge is kept", "<pre> a</pre>", "<pre>a</pre>", false},
        {"a blank inside a component is inline", "<Foo><b>a</b> <i>b</i></Foo>", "<Foo><b>a</b><i>b</i></Foo>", false},
        {"a blank around a component", "<p>a <Foo /></p>", "<p>a<Foo /></p>", false},
        {"preformatted text", "<pre>a\n  b</pre>", "<pre>a\n b</pre>", false},
        {"a blank in pre around an expression", "<pre>{a} {b}</pre>", "<pre>{a}  {b}</pre>", false},
        {"a style: directive may preserve blanks", "<div style:white-space={w}>a  b</div>", "<div style:white-space={w}>a b</div>", false},
        {"a style: directive of another property", "<p><span style:color={c}>a</span> <b>b</b></p>", "<p><span style:color={c}>a</span><b>b</b></p>", false},
        {"a style: directive of another property keeps no blanks", "<div style:color={c}>a  \n b</div>", "<div style:color={c}>a b</div>", true},
        {"a spread may preserve blanks", "<div {...p}>a  b</div>", "<div {...p}>a b</div>", false},
        {"a shorthand attribute sets no style", "<div {title}>a  \n b</div>", "<div {title}>a b</div>", true},
        {"a component's spread is its own", "<Foo {...p}>a  \n b</Foo>", "<Foo {...p}>a b</Foo>", true},
        {"a computed element may be pre", "<svelte:element this={t}>a  b</svelte:element>", "<svelte:element this={t}>a b</svelte:element>", false},
        {"a stylesheet rule that preserves blanks", "<p>a  b</p><style>p { white-space: pre }</style>", "<p>a b</p><style>p { white-space: pre }</style>", false},
        {"a comment is layout", "<p>a<!-- x -->b</p>", "<p>ab</p>", true},
    });
}

TEST(SvelteNearMiss, ScriptsAndStyles)
{
    checkPairs(Svelte, {
        {"a script's layout, statements kept", "<script>let a = 1;</script>", "<script>\n  let a = 1;\n</script>", true},
        {"a script's token", "<script>let a = 1;</script>", "<script>let a = 2;</script>", false},
        {"a module script", "<script context=\"module\">export const a = 1;</script>", "<script>export const a = 1;</script>", false},
        {"a TypeScript script's layout", "<script lang=\"ts\">let a:number=1;</script>", "<script lang=\"ts\">\n  let a: number = 1;\n</script>", true},
        {"a style's layout", "<style>p{color:red}</style>", "<style>\n  p {\n    color: red;\n  }\n</style>", true},
        {"a style's value", "<style>p{color:red}</style>", "<style>p{color:blue}</style>", false},
        {"an SCSS style's layout", "<style lang=\"scss\">a{b{c:d}}</style>", "<style lang=\"scss\">\n  a {\n    b {\n      c: d;\n    }\n  }\n</style>", true},
    });
}

TEST(SvelteLexer, Refusals)
{
    EXPECT_EQ(refusalOf("<p>{a</p>", Svelte), "an expression left open in Svelte");
    EXPECT_EQ(refusalOf("{#if a}<p>x</p>", Svelte), "a Svelte block left open");
    EXPECT_EQ(refusalOf("{#if a}x{/each}", Svelte), "a Svelte block closed that is not open");
    EXPECT_EQ(refusalOf("{:else}x", Svelte), "a Svelte block continued that is not open");
    EXPECT_EQ(refusalOf("{#if a}<div>{/if}</div>", Svelte), "a Svelte block closed that is not open");
    EXPECT_EQ(refusalOf("<p>a</div>", Svelte), "an end tag that closes no element in Svelte");
    EXPECT_EQ(refusalOf("<Foo>a", Svelte), "an element left open in Svelte");
    EXPECT_EQ(refusalOf("<p>a <!-- b", Svelte), "a comment left open in Svelte");
    EXPECT_EQ(refusalOf("<p>a < b</p>", Svelte), "a '<' that starts no tag in Svelte");
    EXPECT_EQ(refusalOf("<p>{a}</p><div>b", Svelte), "an element left open in Svelte");
    EXPECT_EQ(refusalOf("<p>a", Svelte), "an element left open in Svelte");
    EXPECT_EQ(refusalOf("<ul><li>a</ul><br>", Svelte), "");
    std::string deep;
    for (int i = 0; i < 600; ++i)
        deep += "{#if a}";
    EXPECT_EQ(refusalOf(deep, Svelte), "nested too deep to compare as Svelte");
    std::string big;
    while (big.size() <= (std::size_t(4) << 20))
        big += "<p>word</p>\n";
    EXPECT_EQ(refusalOf(big, Svelte), "too large to compare as Svelte");
}

// Components through prettier's Svelte plugin at three settings, judged by
// svelte/compiler's parse (tests/npm/svelte_judge.js): a pair the judge
// calls different must never compare equivalent (a miss); of the pairs it
// calls the same, at most 2% may differ (false alarms). Then mutants: an
// expression's token changed, a word of text changed, a blank between
// inline elements taken out, blank lines put between blocks.

TEST(SvelteFormatterTools, PrettierJudgedBySvelte)
{
    const std::string prettier = npmTool("prettier");
    if (!haveTool("node") || prettier.empty() || !exists(npmDir() + "/node_modules/svelte") ||
        !exists(npmDir() + "/node_modules/prettier-plugin-svelte"))
        GTEST_SKIP() << "node and tests/npm's packages are needed (npm ci in tests/npm)";
    const std::string judge = "cd '" + npmDir() + "' && node svelte_judge.js";
    ScratchDir dir;
    ASSERT_EQ(std::system(("cd '" + dir.path() + "' && mkdir orig base mut").c_str()), 0);
    copySamples(dir.file("orig"), "svelte");
    const struct {
        const char *dir, *options;
    } settings[] = {
        {"default", "--single-quote --trailing-comma none"},
        {"width40", "--single-quote --trailing-comma none --print-width 40"},
        {"tabs", "--single-quote --trailing-comma none --use-tabs --no-svelte-bracket-new-line"},
    };
    for (const auto &s : settings) {
        ASSERT_EQ(prettierCopy(dir.path(), s.dir, prettier,
                               "--plugin '" + npmDir() + "/node_modules/prettier-plugin-svelte/plugin.js' " + s.options),
                  0);
        const TreeTally t = judgeTrees(judge, dir.path(), "orig", s.dir);
        EXPECT_EQ(t.misses, 0) << s.dir;
        EXPECT_LE(t.falseAlarms * 50, t.same) << s.dir;
        EXPECT_GT(t.same, 0) << s.dir;
    }

    // Mutants of the originals and of their formatted copies.
    const std::regex relaid("</(p|li|div|ul|h[1-6])>[ \t\r\n]*<(p|li|div|ul|h[1-6])([ >])"),
        token("\\{([a-z]+)([^}]*)\\}"), word(">([A-Za-z]+) ([A-Za-z])"),
        inlines("</(a|b|i|em|strong|code|span|small)> <(a|b|i|em|strong|code|span|small)([ >])"),
        number("=\\{([0-9]+)\\}");
    int made[5] = {};
    for (const char *from : {"orig", "default"})
        for (const std::string &name : commandLines("ls '" + dir.path() + "/" + from + "'")) {
            const std::string text = readFile(dir.file(std::string(from) + "/" + name));
            std::string m[5] = {text, text, text, text, text};
            const bool ok[5] = {
                mutate(m[0], relaid,
                       [](const std::smatch &x) { return "</" + x[1].str() + ">\n\n    <" + x[2].str() + x[3].str(); }),
                mutate(m[1], token, [](const std::smatch &x) { return "{" + x[1].str() + "x" + x[2].str() + "}"; }),
                mutate(m[2], word, [](const std::smatch &x) { return ">" + x[1].str() + "s " + x[2].str(); }),
                mutate(m[3], inlines,
                       [](const std::smatch &x) { return "</" + x[1].str() + "><" + x[2].str() + x[3].str(); }),
                mutate(m[4], number, [](const std::smatch &x) { return "={" + x[1].str() + "1}"; }),
            };
            writeMutants(dir.path(), from + ("-" + name), text, m, ok, 5, made);
        }
    const TreeTally mutants = judgeTrees(judge, dir.path(), "base", "mut");
    std::printf("mutants: %d relaid between blocks, %d expressions changed, %d words changed, %d inline elements "
                "joined, %d numbers changed\n",
                made[0], made[1], made[2], made[3], made[4]);
    EXPECT_EQ(mutants.misses, 0);
    EXPECT_EQ(mutants.falseAlarms, 0);
    EXPECT_GE(mutants.differ, made[1] + made[2] + made[4]);
}

} // namespace
