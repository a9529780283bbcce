// Vue's in-process tests: its near misses (for each decision, a pair that
// must differ and, where it can go the other way, a pair that must stay
// equal), its refusals; then components through prettier, judged by
// @vue/compiler-sfc.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"
#include "../tree_judge.h"
#include "languages/languages.h"

namespace {

const Language Vue = Language::Vue;

// A template of markup m.
std::string t(const std::string &m)
{
    return "<template>" + m + "</template>";
}

std::vector<PairCase> rowsBlocks()
{
    return {
        {"blank lines between blocks", "<template><p>a</p></template>\n<script>f()</script>", "<template><p>a</p></template>\n\n\n<script>f()</script>", true},
        {"a comment between blocks", "<template><p>a</p></template>\n<!-- x -->\n<script>f()</script>", "<template><p>a</p></template>\n<script>f()</script>", true},
        {"text between blocks is kept", "<template><p>a</p></template>\nnote\n<script>f()</script>", "<template><p>a</p></template>\n<script>f()</script>", false},
        {"a block's attributes in any order", "<script setup lang=\"ts\">f()</script>", "<script lang='ts' setup>f()</script>", true},
        {"a block's attribute", "<style scoped>p{color:red}</style>", "<style>p{color:red}</style>", false},
        {"a script's layout", "<script>let a=1</script>", "<script>\nlet a = 1\n</script>", true},
        {"a script's token", "<script>let a=1</script>", "<script>let a=2</script>", false},
        {"a TypeScript script's layout", "<script setup lang=\"ts\">let a:number=1</script>", "<script setup lang=\"ts\">\nlet a: number = 1\n</script>", true},
        {"a style's layout", "<style>p{color:red}</style>", "<style>\np {\n  color: red;\n}\n</style>", true},
        {"a style's value", "<style>p{color:red}</style>", "<style>p{color:blue}</style>", false},
        {"an SCSS style's layout", "<style lang=\"scss\">a{b{c:d}}</style>", "<style lang=\"scss\">\na {\n  b {\n    c: d;\n  }\n}\n</style>", true},
        {"a custom block is text", "<docs>a  b</docs>", "<docs>a b</docs>", false},
        {"a JSON block's layout", "<i18n lang=\"json\">{\"a\":1}</i18n>", "<i18n lang=\"json\">\n{ \"a\": 1 }\n</i18n>", true},
        {"a JSON block's value", "<i18n lang=\"json\">{\"a\":1}</i18n>", "<i18n lang=\"json\">{\"a\":2}</i18n>", false},
        {"a template in another language is text", "<template lang=\"pug\">\np\n  b a\n</template>", "<template lang=\"pug\">\np\nb a\n</template>", false},
    };
}

TEST(VueNearMiss, Blocks)
{
    checkPairs(Vue, rowsBlocks());
}

std::vector<PairCase> rowsElements()
{
    return {
        {"an element renamed", t("<p>a</p>"), t("<div>a</div>"), false},
        {"a self-closing component", t("<div><Foo /></div>"), t("<div><Foo></Foo></div>"), true},
        {"a self-closing element is empty", t("<div><div /></div>"), t("<div><div></div></div>"), true},
        {"a self-closing element holds nothing after it", t("<div><div /><p>a</p></div>"), t("<div><div><p>a</p></div></div>"), false},
        {"a component is not its lower-case element", t("<Button>a</Button>"), t("<button>a</button>"), false},
        {"a void element closed or not", t("<p>a<br>b</p>"), t("<p>a<br />b</p>"), true},
        {"an element moved out of its parent", t("<div><p>a</p></div>"), t("<div></div><p>a</p>"), false},
        {"a template element", t("<template v-if=\"a\"><p>x</p></template>"), t("<template v-if=\"b\"><p>x</p></template>"), false},
    };
}

TEST(VueNearMiss, Elements)
{
    checkPairs(Vue, rowsElements());
}

std::vector<PairCase> rowsAttributes()
{
    return {
        {"quote style", t("<a href='x' id=y>a</a>"), t("<a href=\"x\" id=\"y\">a</a>"), true},
        {"a name alone is an empty value", t("<p hidden>a</p><Foo a />"), t("<p hidden=\"\">a</p><Foo a=\"\" />"), true},
        {"an attribute's value as written", t("<a title=\"a+b\">a</a>"), t("<a title=\"a + b\">a</a>"), false},
        {"a binding's layout", t("<a :href=\"f( x,y )\">a</a>"), t("<a :href=\"f(x, y)\">a</a>"), true},
        {"a binding's token", t("<a :href=\"f(x, y)\">a</a>"), t("<a :href=\"f(x, z)\">a</a>"), false},
        {"a shorthand compares as written", t("<a :href=\"x\">a</a>"), t("<a v-bind:href=\"x\">a</a>"), false},
        {"a handler's layout", t("<b @click=\"go( 1 )\">a</b>"), t("<b @click=\"go(1)\">a</b>"), true},
        {"a handler's statement", t("<b @click=\"n++\">a</b>"), t("<b @click=\"n--\">a</b>"), false},
        {"a modifier", t("<b @click.prevent=\"f\">a</b>"), t("<b @click=\"f\">a</b>"), false},
        {"v-for's layout", t("<li v-for=\"(item,i) in items\">a</li>"), t("<li v-for=\"(item, i) in items\">a</li>"), true},
        {"v-for's in and of", t("<li v-for=\"item in items\">a</li>"), t("<li v-for=\"item of items\">a</li>"), false},
        {"a slot's parameters", t("<Foo><template #row=\"{ row }\">a</template></Foo>"), t("<Foo><template #row=\"{ row, i }\">a</template></Foo>"), false},
        {"attribute order is kept (v-bind may override)", t("<p v-bind=\"o\" id=\"a\">a</p>"), t("<p id=\"a\" v-bind=\"o\">a</p>"), false},
        {"class names on an element", t("<p class=\"a  b\">a</p>"), t("<p class=\"a b\">a</p>"), true},
        {"a class value on a component is a string", t("<Foo class=\"a  b\" />"), t("<Foo class=\"a b\" />"), false},
        {"a style value as declarations", t("<p style=\"color:red;\">a</p>"), t("<p style=\"color: red\">a</p>"), true},
        {"a reference in an expression is read", t("<p v-if=\"a &amp;&amp; b\">a</p>"), t("<p v-if=\"a && b\">a</p>"), true},
        {"an '&' no reference follows in an expression", t("<p v-if=\"a&&b\">a</p>{{ x&&isOk }}"), t("<p v-if=\"a && b\">a</p>{{ x && isOk }}"), true},
        {"and its tokens", t("<p v-if=\"a&&b\">a</p>"), t("<p v-if=\"a&b\">a</p>"), false},
        {"a reference read differs from one spelled out", t("<p>&amp;hellip;</p>"), t("<p>&hellip;</p>"), false},
        {"a reference in text compares as written", t("<p>a&nbsp;b</p>"), t("<p>a\xC2\xA0" "b</p>"), false},
        {"an '&' in text and values as written", t("<p title=\"?a=1&b=2\">R&D and Q&A</p>"), t("<p title='?a=1&b=2'>R&D\n  and Q&A</p>"), true},
    };
}

TEST(VueNearMiss, Attributes)
{
    checkPairs(Vue, rowsAttributes());
}

std::vector<PairCase> rowsInterpolations()
{
    return {
        {"an interpolation's layout", t("<p>{{ a+b }}</p>"), t("<p>{{a + b}}</p>"), true},
        {"an interpolation's token", t("<p>{{ a + b }}</p>"), t("<p>{{ a - b }}</p>"), false},
        {"a blank before an interpolation", t("<p>a {{ b }}</p>"), t("<p>a{{ b }}</p>"), false},
        {"a line break between an element and an interpolation is a blank", t("<p><b>a</b>\n{{ b }}</p>"), t("<p><b>a</b>{{ b }}</p>"), false},
        {"and relaid", t("<p><b>a</b>\n  {{ b }}</p>"), t("<p><b>a</b> {{ b }}</p>"), true},
        {"v-pre keeps {{ }} as text", t("<p v-pre>{{ a+b }}</p>"), t("<p v-pre>{{ a + b }}</p>"), false},
        {"v-pre makes the attributes after it text", t("<p v-pre :a=\"x+y\">a</p>"), t("<p v-pre :a=\"x + y\">a</p>"), false},
        {"and those before it", t("<p :a=\"x+y\" v-pre>a</p>"), t("<p :a=\"x + y\" v-pre>a</p>"), false},
        {"an element without v-pre", t("<p :a=\"x+y\">a</p>"), t("<p :a=\"x + y\">a</p>"), true},
    };
}

TEST(VueNearMiss, Interpolations)
{
    checkPairs(Vue, rowsInterpolations());
}

std::vector<PairCase> rowsWhitespace()
{
    return {
        {"a line break between elements is dropped", t("<p><b>a</b>\n<i>b</i></p>"), t("<p><b>a</b><i>b</i></p>"), true},
        {"a blank between inline elements", t("<p><b>a</b> <i>b</i></p>"), t("<p><b>a</b><i>b</i></p>"), false},
        {"a blank and a line break between inline elements", t("<p><b>a</b> <i>b</i></p>"), t("<p><b>a</b>\n<i>b</i></p>"), false},
        {"a blank between blocks", t("<div><p>a</p> <p>b</p></div>"), t("<div>\n  <p>a</p>\n  <p>b</p>\n</div>"), true},
        {"a run of blanks in text", t("<p>a  \n b</p>"), t("<p>a b</p>"), true},
        {"a blank at an inline element's edge in text", t("<p><span> a</span></p>"), t("<p><span>a</span></p>"), false},
        {"whitespace alone at an element's edges", t("<p><span>\n  <b>a</b>\n</span></p>"), t("<p><span><b>a</b></span></p>"), true},
        {"whitespace next to a comment: blank or line break", t("<p><b>a</b> <!-- c --> <i>b</i></p>"), t("<p><b>a</b>\n<!-- c -->\n<i>b</i></p>"), false},
        {"whitespace next to a comment relaid", t("<p><b>a</b>\n    <!-- c -->\n    <i>b</i></p>"), t("<p><b>a</b>\n<!-- c -->\n<i>b</i></p>"), true},
        {"a comment's place", t("<p>a<!-- x -->b</p>"), t("<p>ab</p>"), false},
        {"a comment's words are layout", t("<p>a<!-- x -->b</p>"), t("<p>a<!-- y -->b</p>"), true},
        {"pre keeps its text", t("<pre>a\n  b</pre>"), t("<pre>a\n b</pre>"), false},
        {"pre's first line break is dropped", t("<pre>\na</pre>"), t("<pre>a</pre>"), true},
        {"a bound style may keep blanks", t("<div :style=\"s\">a  b</div>"), t("<div :style=\"s\">a b</div>"), false},
        {"an object of attributes may keep blanks", t("<div v-bind=\"o\">a  b</div>"), t("<div v-bind=\"o\">a b</div>"), false},
        {"v-bind=\"$attrs\" is what a root element takes unasked", t("<div v-bind=\"$attrs\">a  b</div>"), t("<div v-bind=\"$attrs\">a b</div>"), true},
        {"another binding keeps none", t("<div :title=\"s\">a  b</div>"), t("<div :title=\"s\">a b</div>"), true},
        {"a stylesheet rule that keeps blanks", t("<p>a  b</p>") + "<style>p { white-space: pre }</style>", t("<p>a b</p>") + "<style>p { white-space: pre }</style>", false},
    };
}

TEST(VueNearMiss, Whitespace)
{
    checkPairs(Vue, rowsWhitespace());
}

TEST(VueLexer, Refusals)
{
    EXPECT_EQ(refusalOf(t("<p>{{ a</p>"), Vue), "an interpolation left open in Vue");
    EXPECT_EQ(refusalOf(t("<p>a</div>"), Vue), "an end tag that closes no element in Vue");
    EXPECT_EQ(refusalOf(t("<ul><li>a<li>b</ul>"), Vue), "an end tag that closes no element in Vue");
    EXPECT_EQ(refusalOf("<template><p>a", Vue), "an element left open in Vue");
    EXPECT_EQ(refusalOf(t("<p>a <!-- b"), Vue), "a comment left open in Vue");
    EXPECT_EQ(refusalOf(t("<p>a < b</p>"), Vue), "a '<' that starts no tag in Vue");
    EXPECT_EQ(refusalOf(t("<p>{{ a &foo; b }}</p>"), Vue), "a character reference not compared in Vue");
    EXPECT_EQ(refusalOf(t("<p :a=\"x &copy y\">a</p>"), Vue), "a character reference not compared in Vue");
    EXPECT_EQ(refusalOf(t("<p>{{ a &notDone }}</p>"), Vue), "a character reference not compared in Vue");
    EXPECT_EQ(refusalOf(t("<p :a=\"a &notDone\">{{ a &amp;&amp; b }}</p>"), Vue), "");
    EXPECT_EQ(refusalOf(t("<script>f()</script>"), Vue), "a script or style element inside a Vue template");
    EXPECT_EQ(refusalOf("<script>let a", Vue), "a block left open in Vue");
    EXPECT_EQ(refusalOf("<template><p a=\"b></p></template>", Vue), "an attribute's value left open in Vue");
    EXPECT_EQ(refusalOf(t("<p>a &amp; b</p>") + "\n<script>f()</script>", Vue), "");
    std::string deep;
    for (int i = 0; i < 600; ++i)
        deep += "<b>";
    EXPECT_EQ(refusalOf(t(deep), Vue), "nested too deep to compare as Vue");
    std::string big = "<template><div>";
    while (big.size() <= (std::size_t(4) << 20))
        big += "<p>word</p>\n";
    EXPECT_EQ(refusalOf(big + "</div></template>", Vue), "too large to compare as Vue");
}

} // namespace

namespace {

// Components through prettier at four settings, judged by @vue/compiler-sfc
// (tests/npm/vue_judge.js): a pair the judge calls different must never
// compare equivalent (a miss); of the pairs it calls the same, at most 2%
// may differ (false alarms). Then mutants: relaid between blocks, an
// interpolation's or a handler's token changed, a word of text changed, a
// blank between inline elements taken out or made a line break, a line
// break put between inline elements, a blank in text made a line break.

// Spelled tokens (key, place, end) of text read as language, each place
// moved down by lines; a token no byte spells ends where it stands.
std::vector<std::string> spelled(const std::string &text, Language language, bool comments, int lines = 0)
{
    LexOptions options;
    options.comments = comments;
    return describeFromMemory(text, language, options, [&](const std::string &key, const TokenPiece &last) {
        const TokenPlace &p = last.place, &e = last.end;
        const TokenPlace end = e.line > p.line || (e.line == p.line && e.column > p.column) ? e : p;
        return key + " " + std::to_string(p.line + lines) + ":" + std::to_string(p.column) + "-" +
               std::to_string(end.line + lines) + ":" + std::to_string(end.column);
    });
}

// A style's or a data block's tokens span in the component what they span
// when their language reads the body alone: blanks between values, which
// no byte spells, included.
TEST(VueLexer, BodiesSpanAsTheirLanguageReadsThem)
{
    const struct {
        const char *head, *close;
        Language language;
        const char *body;
    } kCases[] = {
        {"<style>", "</style>", Language::Css, "a{margin:96px 0}\n.b > c, d { font: 1px/2 x , y ; }\n"},
        {"<style lang=\"scss\">", "</style>", Language::Scss, "a { b { c: d e; } @include f( 1px ) }\n// x\n"},
        {"<style lang=\"less\">", "</style>", Language::Less, ".m() { a: b }\n@x: 1px  2px;\n/* c */\n"},
        {"<i18n lang=\"json\">", "</i18n>", Language::Json, "{ \"a\": [1, 2.5e3, true],\n  \"b\": null }\n"},
    };
    for (const auto &c : kCases) {
        for (const bool comments : {false, true}) {
            SCOPED_TRACE(std::string(c.body) + (comments ? ", with comments" : ""));
            std::vector<std::string> whole = spelled(std::string(c.head) + "\n" + c.body + c.close, Vue, comments);
            const std::vector<std::string> alone = spelled(c.body, c.language, comments, 1);
            // The body's tokens stand between the head's '>' and the end tag.
            const auto from = std::find_if(whole.begin(), whole.end(),
                                           [](const std::string &k) { return k.compare(0, 2, "> ") == 0; });
            const auto to = std::find_if(whole.begin(), whole.end(), [&](const std::string &k) {
                return k.compare(0, std::strlen(c.close), c.close) == 0;
            });
            ASSERT_TRUE(from != whole.end() && to != whole.end());
            EXPECT_EQ(std::vector<std::string>(from + 1, to),
                      std::vector<std::string>(alone.begin(), alone.end() - 1));  // its End aside
        }
    }
}

TEST(VueFormatterTools, PrettierJudgedByVue)
{
    const std::string prettier = npmTool("prettier");
    if (!haveTool("node") || prettier.empty() || !exists(npmDir() + "/node_modules/@vue/compiler-sfc"))
        GTEST_SKIP() << "node and tests/npm's packages are needed (npm ci in tests/npm)";
    const std::string judge = "cd '" + npmDir() + "' && node vue_judge.js";
    ScratchDir dir;
    ASSERT_EQ(std::system(("cd '" + dir.path() + "' && mkdir orig base mut").c_str()), 0);
    copySamples(dir.file("orig"), "vue");
    const struct {
        const char *dir, *options;
        bool bounded;  // the false alarms at most 2%: the setting keeps what renders
    } settings[] = {
        {"default", "--single-quote --trailing-comma none", true},
        {"width40", "--single-quote --trailing-comma none --print-width 40", true},
        {"tabs", "--single-quote --trailing-comma none --use-tabs --vue-indent-script-and-style", true},
        {"wide", "--single-quote --trailing-comma none --print-width 120 --single-attribute-per-line", true},
        {"ignore", "--single-quote --trailing-comma none --html-whitespace-sensitivity ignore", false},
    };
    for (const auto &s : settings) {
        ASSERT_EQ(prettierCopy(dir.path(), s.dir, prettier, s.options), 0);
        const TreeTally t = judgeTrees(judge, dir.path(), "orig", s.dir);
        EXPECT_EQ(t.misses, 0) << s.dir;
        if (s.bounded) {
            EXPECT_LE(t.falseAlarms * 50, t.same) << s.dir;
            EXPECT_GT(t.same, 0) << s.dir;
        }
    }

    // Mutants of the originals and of their formatted copies.
    const char *inline_ = "(a|b|i|em|strong|code|span|small|kbd|label|q)";
    const std::regex relaid("</(p|li|div|ul|h[1-6])>[ \t\r\n]*<(p|li|div|ul|h[1-6])([ >])"),
        token("\\{\\{ ([A-Za-z]+)"), word(">([A-Za-z]+) ([A-Za-z])"),
        spaced(std::string("</") + inline_ + "> <" + inline_ + "([ >])"),
        joined(std::string("</") + inline_ + "><" + inline_ + "([ >])"), handler("@click=\"([a-z]+)");
    constexpr int kinds = 7;
    int made[kinds] = {};
    for (const char *from : {"orig", "default"})
        for (const std::string &name : commandLines("ls '" + dir.path() + "/" + from + "'")) {
            const std::string text = readFile(dir.file(std::string(from) + "/" + name));
            std::string m[kinds] = {text, text, text, text, text, text, text};
            const bool ok[kinds] = {
                mutate(m[0], relaid,
                       [](const std::smatch &x) { return "</" + x[1].str() + ">\n\n    <" + x[2].str() + x[3].str(); }),
                mutate(m[1], token, [](const std::smatch &x) { return "{{ x" + x[1].str(); }),
                mutate(m[2], word, [](const std::smatch &x) { return ">" + x[1].str() + "s " + x[2].str(); }),
                mutate(m[3], spaced,
                       [](const std::smatch &x) { return "</" + x[1].str() + ">\n<" + x[2].str() + x[3].str(); }),
                mutate(m[4], joined,
                       [](const std::smatch &x) { return "</" + x[1].str() + ">\n  <" + x[2].str() + x[3].str(); }),
                mutate(m[5], handler, [](const std::smatch &x) { return "@click=\"x" + x[1].str(); }),
                mutate(m[6], word, [](const std::smatch &x) { return ">" + x[1].str() + "\n   " + x[2].str(); }),
            };
            writeMutants(dir.path(), from + ("-" + name), text, m, ok, kinds, made);
        }
    const TreeTally mutants = judgeTrees(judge, dir.path(), "base", "mut");
    std::printf("mutants: %d relaid between blocks, %d interpolations changed, %d words changed, %d blanks between "
                "inline elements made line breaks, %d line breaks put between inline elements, %d handlers changed, "
                "%d blanks in text made line breaks\n",
                made[0], made[1], made[2], made[3], made[4], made[5], made[6]);
    EXPECT_EQ(mutants.misses, 0);
    EXPECT_EQ(mutants.falseAlarms, 0);
    EXPECT_GE(mutants.differ, made[1] + made[2] + made[3] + made[5]);
}

// Every near miss that must stay equal is one Vue's compiler reads as the
// same component (tests/npm/vue_judge.js); those that must differ may be
// read as the same by it (where a rule keeps what it cannot prove layout).
TEST(VueFormatterTools, EqualNearMissesJudgedByVue)
{
    if (!haveTool("node") || !exists(npmDir() + "/node_modules/@vue/compiler-sfc"))
        GTEST_SKIP() << "node and tests/npm's packages are needed (npm ci in tests/npm)";
    ScratchDir dir;
    ASSERT_EQ(std::system(("cd '" + dir.path() + "' && mkdir a b").c_str()), 0);
    std::vector<std::string> names;
    for (const auto &table : {rowsBlocks(), rowsElements(), rowsAttributes(), rowsInterpolations(), rowsWhitespace()})
        for (const PairCase &c : table)
            if (c.equal) {
                const std::string file = std::to_string(names.size()) + ".vue";
                writeFile(dir.file("a/" + file), c.a);
                writeFile(dir.file("b/" + file), c.b);
                names.push_back(c.name);
            }
    int same = 0;
    for (const std::string &line :
         commandLines("cd '" + npmDir() + "' && node vue_judge.js '" + dir.path() + "/a' '" + dir.path() + "/b'")) {
        std::istringstream fields(line);
        std::string file, verdict;
        fields >> file >> verdict;
        const std::size_t k = static_cast<std::size_t>(std::stoul(file));
        same += verdict == "same";
        EXPECT_EQ(verdict, "same") << names[k];
    }
    std::printf("%zu near misses that must stay equal, %d the judge reads as the same component\n", names.size(), same);
    EXPECT_EQ(static_cast<std::size_t>(same), names.size());
}

} // namespace
