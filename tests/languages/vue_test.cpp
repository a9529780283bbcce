// Vue's in-process tests: its near misses (for each decision, a pair that
// must differ and, where it can go the other way, a pair that must stay
// equal), its refusals; then components through prettier, judged by
// @vue/compiler-sfc.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"
#include "languages/languages.h"

namespace {

const Language Vue = Language::Vue;

// A template of markup m.
std::string t(const std::string &m)
{
    return "<template>" + m + "</template>";
}

TEST(VueNearMiss, Blocks)
{
    checkPairs(Vue, {
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
    });
}

TEST(VueNearMiss, Elements)
{
    checkPairs(Vue, {
        {"an element renamed", t("<p>a</p>"), t("<div>a</div>"), false},
        {"a self-closing component", t("<div><Foo /></div>"), t("<div><Foo></Foo></div>"), true},
        {"a self-closing element is empty", t("<div><div /></div>"), t("<div><div></div></div>"), true},
        {"a self-closing element holds nothing after it", t("<div><div /><p>a</p></div>"), t("<div><div><p>a</p></div></div>"), false},
        {"a component is not its lower-case element", t("<Button>a</Button>"), t("<button>a</button>"), false},
        {"a void element closed or not", t("<p>a<br>b</p>"), t("<p>a<br />b</p>"), true},
        {"an element moved out of its parent", t("<div><p>a</p></div>"), t("<div></div><p>a</p>"), false},
        {"a template element", t("<template v-if=\"a\"><p>x</p></template>"), t("<template v-if=\"b\"><p>x</p></template>"), false},
    });
}

TEST(VueNearMiss, Attributes)
{
    checkPairs(Vue, {
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
        {"a reference read differs from one spelled out", t("<p>&amp;hellip;</p>"), t("<p>&hellip;</p>"), false},
        {"a reference in text is read", t("<p>a&nbsp;&lt;b&gt;</p>"), t("<p>a\xC2\xA0&lt;b></p>"), true},
    });
}

TEST(VueNearMiss, Interpolations)
{
    checkPairs(Vue, {
        {"an interpolation's layout", t("<p>{{ a+b }}</p>"), t("<p>{{a + b}}</p>"), true},
        {"an interpolation's token", t("<p>{{ a + b }}</p>"), t("<p>{{ a - b }}</p>"), false},
        {"a blank before an interpolation", t("<p>a {{ b }}</p>"), t("<p>a{{ b }}</p>"), false},
        {"a line break between an element and an interpolation is a blank", t("<p><b>a</b>\n{{ b }}</p>"), t("<p><b>a</b>{{ b }}</p>"), false},
        {"and relaid", t("<p><b>a</b>\n  {{ b }}</p>"), t("<p><b>a</b> {{ b }}</p>"), true},
        {"v-pre keeps {{ }} as text", t("<p v-pre>{{ a+b }}</p>"), t("<p v-pre>{{ a + b }}</p>"), false},
        {"v-pre makes the attributes after it text", t("<p v-pre :a=\"x+y\">a</p>"), t("<p v-pre :a=\"x + y\">a</p>"), false},
        {"a binding before v-pre is one", t("<p :a=\"x+y\" v-pre>a</p>"), t("<p :a=\"x + y\" v-pre>a</p>"), true},
    });
}

TEST(VueNearMiss, Whitespace)
{
    checkPairs(Vue, {
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
        {"another binding keeps none", t("<div :title=\"s\">a  b</div>"), t("<div :title=\"s\">a b</div>"), true},
        {"a stylesheet rule that keeps blanks", t("<p>a  b</p>") + "<style>p { white-space: pre }</style>", t("<p>a b</p>") + "<style>p { white-space: pre }</style>", false},
    });
}

TEST(VueLexer, Refusals)
{
    EXPECT_EQ(refusalOf(t("<p>{{ a</p>"), Vue), "an interpolation left open in Vue");
    EXPECT_EQ(refusalOf(t("<p>a</div>"), Vue), "an end tag that closes no element in Vue");
    EXPECT_EQ(refusalOf(t("<ul><li>a<li>b</ul>"), Vue), "an end tag that closes no element in Vue");
    EXPECT_EQ(refusalOf("<template><p>a", Vue), "an element left open in Vue");
    EXPECT_EQ(refusalOf(t("<p>a <!-- b"), Vue), "a comment left open in Vue");
    EXPECT_EQ(refusalOf(t("<p>a < b</p>"), Vue), "a '<' that starts no tag in Vue");
    EXPECT_EQ(refusalOf(t("<p>&foo;</p>"), Vue), "a character reference not compared in Vue");
    EXPECT_EQ(refusalOf(t("<p :a=\"x &copy y\">a</p>"), Vue), "a character reference not compared in Vue");
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
