// CSS's in-process tests (CSS, SCSS and Less): its near misses first, one
// table per decision of the lexer: a pair that must differ if the decision
// went wrong and, where it can go the other way, a pair that must stay equal.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"

namespace {

const Language Css = Language::Css;
const Language Scss = Language::Scss;
const Language Less = Language::Less;

// The cases in every dialect.
void checkAll(const std::vector<PairCase> &cases)
{
    for (Language l : {Css, Scss, Less})
        checkPairs(l, cases);
}

TEST(CssNearMiss, Layout)
{
    checkAll({
        {"blanks and line ends", "a{color:red}", "a {\n  color: red;\n}\n", true},
        {"a form feed and CR LF", "a{\fcolor:red}\r\n", "a{color:red}", true},
        {"a comment", "a /* x */ { color: red }", "a { color: red }", true},
        {"a byte order mark", "\xEF\xBB\xBF" "a{}", "a{}", true},
        {"the last ';' of a block", "a { b: c; }", "a { b: c }", true},
        {"the last ';' before a comment and '}'", "a { b: c; /* x */ }", "a { b: c }", true},
        {"a ';' before a declaration", "a { b: c; d: e }", "a { b: c d: e }", false},
        {"two ';' before '}'", "a { b: c;; }", "a { b: c; }", false},
        {"blanks around ',' '{' '}' ';'", "a , b { c : d ; e : f }", "a,b{c:d;e:f}", true},
        {"blanks inside brackets", "a { b: f( 1 , 2 ) }", "a { b: f(1,2) }", true},
        {"blanks inside square brackets", "a[ x ] {}", "a[x] {}", true},
    });
}

TEST(CssNearMiss, SelectorBlanks)
{
    checkAll({
        {"a descendant", "a b {}", "ab {}", false},
        {"a pseudo-class after a blank", "a :hover {}", "a:hover {}", false},
        {"a blank after ':' in a selector", "a: hover {}", "a:hover {}", false},
        {"a class after a blank", "a .b {}", "a.b {}", false},
        {"an attribute after a blank", "a [x] {}", "a[x] {}", false},
        {"'>' with blanks", "a > b {}", "a>b {}", true},
        {"'~' with blanks", "a ~ b {}", "a~b {}", true},
        {"'+' with blanks", "a + b {}", "a+b {}", true},
        {"'+' inside brackets", ":nth-child(2n + 1) {}", ":nth-child(2n+1) {}", false},
        {"a blank before '+' inside brackets", ":nth-child(2n +1) {}", ":nth-child(2n+1) {}", false},
        {"'>' inside :not()", ".a:not(b > c) {}", ".a:not(b>c) {}", true},
        {"'*' with blanks", "a * b {}", "a*b {}", false},
        {"'&' and a class", "a { & .b {} }", "a { &.b {} }", false},
        {"a comment alone is no blank", "a/**/b {}", "a b {}", false},
        {"a comment and a blank", "a/**/ b {}", "a b {}", true},
        {"the function after a blank", "a :not(b) {}", "a:not(b) {}", false},
        {"blanks around an attribute's '='", "[a = 'b'] {}", "[a='b'] {}", true},
        {"blanks around an attribute's '~='", "[a ~= b i] {}", "[a~=b i] {}", true},
        {"a blank before an attribute's flag", "[a=b i] {}", "[a=bi] {}", false},
        {"'=' in a value", "a { b: c = d }", "a { b: c=d }", false},
    });
    // SCSS reads "name:" as a property that may hold a block, comments or not.
    checkPairs(Scss, {
        {"a comment before a name's ':'", "a/**/:b [c = d] {}", "a:b [c = d] {}", true},
        {"a comment before a name's ':', another value", "a/**/:b [c = d] {}", "a:b [c = e] {}", false},
    });
}

TEST(CssNearMiss, ValueBlanks)
{
    checkAll({
        {"two values", "a { b: 1px solid }", "a { b: 1pxsolid }", false},
        {"two values, one a name", "a { b: x y }", "a { b: xy }", false},
        {"a value after a bracket", "a { b: f(x) y }", "a { b: f(x)y }", false},
        {"'+' in calc()", "a { b: calc(1px + 2px) }", "a { b: calc(1px +2px) }", false},
        {"'-' in calc()", "a { b: calc(1px - 2px) }", "a { b: calc(1px -2px) }", false},
        {"'-' joined in calc()", "a { b: calc(1px - 2px) }", "a { b: calc(1px-2px) }", false},
        {"'/' between values", "a { b: 1px / 2 }", "a { b: 1px/2 }", false},
        {"'>' in a value", "a { b: x > y }", "a { b: x>y }", false},
        {"the first ':'", "a { b : c }", "a { b:c }", true},
        {"a second ':'", "a { b: c : d }", "a { b: c:d }", false},
        {"':' in brackets of a value", "a { b: f(x : y) }", "a { b: f(x:y) }", true},
        {"before '!'", "a { b: c !important }", "a { b: c!important }", true},
        {"between '!' and its name", "a { b: c ! important }", "a { b: c !important }", true},
        {"a name and '('", "a { b: f (x) }", "a { b: f(x) }", false},
        {"a number and its unit", "a { b: 1 px }", "a { b: 1px }", false},
        {"a sign and its number", "a { b: - 1px }", "a { b: -1px }", false},
        {"a value and a sign", "a { b: 1px -2px }", "a { b: 1px-2px }", false},
        {"a custom property", "a { --x: a b }", "a { --x:a b }", true},
        {"a custom property's value", "a { --x: a b }", "a { --x: ab }", false},
        {"a custom property holding braces", "a { --x: { a + b } }", "a { --x: { a +b } }", false},
    });
}

TEST(CssNearMiss, AtRules)
{
    checkAll({
        {"':' in a media feature", "@media (min-width : 1px) {}", "@media (min-width:1px) {}", true},
        {"a blank before a media feature", "@media screen and (x) {}", "@media screen and(x) {}", false},
        {"':' in a selector of @supports", "@supports selector(a :b) {}", "@supports selector(a:b) {}", false},
        {"':' in a feature of @supports", "@supports (display : flex) {}", "@supports (display:flex) {}", true},
        {"':' of @page", "@page :first {}", "@page:first {}", false},
        {"a blank of an unknown at-rule's prelude", "@x (a : b);", "@x (a:b);", false},
        {"an at-keyword split", "@media x {}", "@ media x {}", false},
        {"a blank before @media's '('", "@media (x) {}", "@media(x) {}", true},
        {"a blank before @supports's '('", "@supports (x: y) {}", "@supports(x: y) {}", true},
        {"a blank before an unknown at-rule's '('", "@x (a) {}", "@x(a) {}", false},
    });
}

TEST(CssNearMiss, Tokens)
{
    checkAll({
        {"a string's blank", "a { b: \"x y\" }", "a { b: \"xy\" }", false},
        {"a string's quotes", "a { b: 'x' }", "a { b: \"x\" }", false},
        {"an escaped quote", "a { b: \"x\\\"y\" }", "a { b: \"x\\\"y\"}", true},
        {"a hash's case", "a { b: #FFF }", "a { b: #fff }", false},
        {"a unit's case", "a { b: 1PX }", "a { b: 1px }", false},
        {"a number's spelling", "a { b: .5 }", "a { b: 0.5 }", false},
        {"an exponent", "a { b: 1e3 }", "a { b: 1e 3 }", false},
        {"a hash split", "#ab {}", "# ab {}", false},
        {"a name's hex escape takes one blank", "a\\41 b {}", "a\\41  b {}", false},
        {"a name's escape", "a\\ b {}", "a b {}", false},
        {"a url's blanks", "a { b: url( x.png ) }", "a { b: url(x.png) }", true},
        {"a url's text", "a { b: url(x.png) }", "a { b: url(y.png) }", false},
        {"a url holding '//'", "a { b: url(http://x/y) }", "a { b: url(http:) }", false},
        {"a url in quotes", "a { b: url( 'x' ) }", "a { b: url('x') }", true},
        {"a unicode range", "@font-face { u: U+0025-00FF }", "@font-face { u: U+25-FF }", false},
        {"'>=' split", "@media (x >= 1px) {}", "@media (x > = 1px) {}", false},
        {"'~=' split", "[a~=b] {}", "[a~ =b] {}", false},
        {"'-->'", "--> a {}", "- -> a {}", false},
    });
}

TEST(CssNearMiss, BadInput)
{
    checkAll({
        {"an unterminated string", "a { b: \"x }", "a { b: \"x\" }", false},
        {"a string broken by a line end", "a { b: \"x\n\" }", "a { b: \"x\\\n\" }", false},
        {"an unterminated comment", "a {} /* x", "a {} /* x */", false},
        {"an unterminated url", "a { b: url(x", "a { b: url(x)", false},
        {"a url with a blank inside", "a { b: url(x y) }", "a { b: url(xy) }", false},
        {"a url with a quote inside", "a { b: url(x'y) }", "a { b: url(xy) }", false},
        {"a backslash before a line end", "a\\\n{}", "a\n{}", false},
    });
}

TEST(CssNearMiss, Comments)
{
    checkPairs(Css, {
        {"'//' is no comment in CSS", "a { b: c // d\n }", "a { b: c }", false},
    });
    for (Language l : {Scss, Less})
        checkPairs(l, {
            {"'//' comments", "a { b: c; // d\n }", "a { b: c }", true},
            {"'//' in a url", "a { b: url(http://x/y) }", "a { b: url(http:) }", false},
            {"'//' in a string", "a { b: \"//x\" }", "a { b: \"\" }", false},
        });
    LexOptions comments;
    comments.comments = true;
    std::vector<PairCase> cases = {
        {"comment words compare", "a { b: c /* x y */ }", "a { b: c /*\n x\n y */ }", true},
        {"an edited comment", "a { b: c /* x y */ }", "a { b: c /* x z */ }", false},
    };
    for (PairCase &c : cases)
        c.options = comments;
    checkPairs(Css, cases);
}

TEST(CssNearMiss, Scss)
{
    checkPairs(Scss, {
        {"a variable's blank", "$a : 1px;", "$a: 1px;", true},
        {"'-' between variables", "a { b: $a - $b }", "a { b: $a -$b }", false},
        {"'-' joined to variables", "a { b: $a - $b }", "a { b: $a-$b }", false},
        {"'+' between variables", "a { b: $a + $b }", "a { b: $a +$b }", false},
        {"'*' between variables", "a { b: $a * 2 }", "a { b: $a*2 }", false},
        {"an interpolation and a unit", "a { b: #{$a}px }", "a { b: #{$a} px }", false},
        {"an interpolation in a selector", ".a-#{$b} .c {}", ".a-#{$b}.c {}", false},
        {"blanks inside an interpolation", "a { b: #{ $a } }", "a { b: #{$a} }", true},
        {"a blank before an interpolation", "a #{$b} {}", "a#{$b} {}", false},
        {"a placeholder", "%a { b: c }", "% a { b: c }", false},
        {"@extend", "a { @extend %b; }", "a { @extend % b; }", false},
        {"a map's ':'", "$m: (a : 1, b : 2);", "$m: (a: 1, b: 2);", true},
        {"a keyword argument's ':'", "a { @include m($x : 1); }", "a { @include m($x: 1); }", true},
        {"a selector that may be a property keeps its blanks", "a { b:c > d {} }", "a { b:c>d {} }", false},
        {"a nested property", "a { font: 1px +2px { family: x } }", "a { font: 1px + 2px { family: x } }", false},
        {"'+' of a nested property", "a { font: { x: 1 } }", "a { font : { x: 1 } }", false},
        {"'==' split", "@if $a == 1 {}", "@if $a = = 1 {}", false},
        {"'!default'", "$a: 1 !default;", "$a: 1!default;", true},
        {"a parent's suffix", "a { &-b {} }", "a { & -b {} }", false},
        {"a mixin's ellipsis", "@mixin m($a...) {}", "@mixin m($a. . .) {}", false},
        {"an interpolation's '}' then a blank", "a { b: #{$a} #{$b} }", "a { b: #{$a}#{$b} }", false},
    });
}

TEST(CssNearMiss, Less)
{
    checkPairs(Less, {
        {"a variable's ':'", "@a : 1px;", "@a: 1px;", true},
        {"'-' between variables", "a { b: @a - @b }", "a { b: @a -@b }", false},
        {"a mixin call", "a { .m(); }", "a { .m() }", true},
        {"a mixin call's blank", "a { .m (); }", "a { .m(); }", false},
        {"a guard's '>'", ".m() when (@a > 1) {}", ".m() when (@a>1) {}", true},
        {"an interpolation", ".a-@{b} {}", ".a-@ {b} {}", false},
        {"an escaped string", "a { b: ~\"x\" }", "a { b: ~ \"x\" }", false},
        {"a detached ruleset", "@r: { a: b };", "@r : { a: b };", false},
        {"'~' before a string in a selector", "a ~ \"x\" {}", "a ~\"x\" {}", false},
    });
}

TEST(CssNearMiss, Rewrites)
{
    const RewriteSet all = static_cast<RewriteSet>(rewriteBit(Rewrite::Quotes) | rewriteBit(Rewrite::Numbers) |
                                                   rewriteBit(Rewrite::Case));
    std::vector<PairCase> every = {
        {"a string's quotes", "a { b: 'x' }", "a { b: \"x\" }", true},
        {"an escaped quote", "a { b: 'x\"y' }", "a { b: \"x\\\"y\" }", true},
        {"an escaped single quote", "a { b: \"x'y\" }", "a { b: 'x\\'y' }", true},
        {"another escape stays", "a { b: \"\\41\" }", "a { b: \"A\" }", false},
        {"an escaped backslash", "a { b: \"x\\\\\" }", "a { b: \"x\\\\\\\\\" }", false},
        {"a string's text", "a { b: 'x' }", "a { b: \"y\" }", false},
        {"an unterminated string", "a { b: 'x }", "a { b: \"x }", false},
        {"quotes in a selector", "[a='b'] {}", "[a=\"b\"] {}", true},
        {"an attribute's name value", "[a=b] {}", "[a=\"b\"] {}", true},
        {"an attribute's value with an escape", "[a=b\\41] {}", "[a=\"b\\41\"] {}", false},
        {"a name that is no attribute's value", "a { b: c }", "a { b: \"c\" }", false},
        {"a leading zero", "a { b: .5em }", "a { b: 0.5em }", true},
        {"a trailing zero with a unit", "a { b: 1.0em }", "a { b: 1em }", true},
        {"a trailing zero without a unit", "a { b: 1.0 }", "a { b: 1 }", false},
        {"trailing zeros without a unit", "a { b: 1.50 }", "a { b: 1.5 }", true},
        {"leading zeros", "a { b: 010px }", "a { b: 10px }", true},
        {"an exponent's spelling", "a { b: 1E+03 }", "a { b: 1e3 }", true},
        {"an exponent against digits", "a { b: 1e3 }", "a { b: 1000 }", false},
        {"a sign stays", "a { b: +.5 }", "a { b: 0.5 }", false},
        {"a negative zero", "a { b: -0 }", "a { b: 0 }", false},
        {"a number's value", "a { b: 0.5 }", "a { b: 0.25 }", false},
        {"a percentage", "a { b: 50.0% }", "a { b: 50% }", true},
        {"numbers in a selector stay", ":nth-child(2.0n) {}", ":nth-child(2n) {}", false},
        {"a media feature's number", "@media (min-width: .5em) {}", "@media (min-width: 0.5em) {}", true},
        {"a hex colour's case", "a { b: #FFF }", "a { b: #fff }", true},
        {"a hex colour's digits", "a { b: #FFF }", "a { b: #ffe }", false},
        {"an id's case", "#ABC {}", "#abc {}", false},
        {"a hash that is no colour", "a { b: #ABCDE }", "a { b: #abcde }", false},
        {"a name's case", "a { b: RED }", "a { b: red }", false},
        {"a namespaced attribute's name value", "[ns|a=b] {}", "[ns|a=\"b\"] {}", true},
        {"any namespace's attribute's name value", "[*|a=b] {}", "[*|a=\"b\"] {}", true},
        {"a namespace's name", "[ns|a=b] {}", "[nsa=\"b\"] {}", false},
        {"An+B with blanks", ":nth-child(5n+1) {}", ":nth-child(5n + 1) {}", true},
        {"An+B as a name", ":nth-child(-n+3) {}", ":nth-child(-n + 3) {}", true},
        {"An+B as a dimension", ":nth-child(2n-1) {}", ":nth-child(2n - 1) {}", true},
        {"An+B as odd", ":nth-of-type(odd) {}", ":nth-of-type(2n + 1) {}", true},
        {"An+B's value", ":nth-child(2n+1) {}", ":nth-child(2n - 1) {}", false},
        {"An+B's blank after its number", ":nth-child(2 n+1) {}", ":nth-child(2n + 1) {}", false},
        {"An+B's blank after its sign", ":nth-child(+ n+1) {}", ":nth-child(+n + 1) {}", false},
        {"An+B without a sign", ":nth-child(n 1) {}", ":nth-child(n + 1) {}", false},
        {"An+B of a selector", ":nth-child(2n+1 of a) {}", ":nth-child(2n + 1 of a) {}", false},
    };
    for (Language l : {Css, Scss, Less})
        checkRewritePairs(l, all, every);
    checkRewritePairs(Css, all, {
        {"a unit's case", "a { b: 10PX }", "a { b: 10px }", true},
        {"a unit's case in a media feature", "@media (x: 10PX) {}", "@media (x: 10px) {}", true},
        {"a unit's letters", "a { b: 10px }", "a { b: 10pt }", false},
    });
    for (Language l : {Scss, Less})
        checkRewritePairs(l, all, {
            {"a unit's case stays", "a { b: 10PX }", "a { b: 10px }", false},
            {"a variable's colour stays", "$a: #FFF; @a: #FFF;", "$a: #fff; @a: #fff;", false},
            {"a colour near an interpolation stays", "a { b: #FFF #{c} @{c} }", "a { b: #fff #{c} @{c} }", false},
        });
    for (Language l : {Css, Scss, Less})
        checkRewritePairs(l, rewriteBit(Rewrite::Semicolons), {
            {"a doubled ';'", "a { b: c;; d: e }", "a { b: c; d: e }", true},
            {"a ';' after '{'", "a { ; b: c }", "a { b: c }", true},
            {"a ';' before a ';' and '}'", "a { b: c; ; }", "a { b: c }", true},
            {"a ';' between declarations", "a { b: c; d: e }", "a { b: c d: e }", false},
            {"a ';' between two strings", "a { b: 'x';'y' }", "a { b: 'x''y' }", false},
            {"a ';' after an empty value", "a { b:; c: d }", "a { b: c:d }", false},
        });
    for (Language l : {Css, Scss})
        checkRewritePairs(l, rewriteBit(Rewrite::Semicolons), {
            {"a ';' at the top level", "; a { b: c }", "a { b: c }", false},
            {"a ';' in an at-rule's block", "@media x { ; a { b: c } }", "@media x { a { b: c } }", false},
        });
    // The rewriter's first window ends at each ';' of a run in turn: where
    // it falls decides nothing.
    std::vector<PairCase> runs;
    for (std::size_t k = 0; k < 8; ++k) {
        std::string before = "a {";
        for (std::size_t i = 0; i < kRewriteTokens / 4 - 4; ++i)
            before += " b: c;";
        before += " b:";
        for (std::size_t i = 0; i <= k; ++i)
            before += " c";
        before += ";";
        runs.push_back({"a run of ';' where the window ends", before + " x: y;;;;;; z: w }", before + " x: y; z: w }", true});
    }
    checkRewritePairs(Css, rewriteBit(Rewrite::Semicolons), runs);
    checkRewritePairs(Less, rewriteBit(Rewrite::Semicolons), {
        {"a ';' after a detached ruleset", "@d: { a: b; };\n.c { e: f }", "@d: { a: b; }\n.c { e: f }", true},
        {"a ';' alone at the top level", "; a { b: c }", "a { b: c }", true},
        {"a ';' in a mixin call's arguments", ".m(a; b);", ".m(a b);", false},
    });
    const RewriteSet commas = rewriteBit(Rewrite::Commas);
    checkRewritePairs(Scss, commas, {
        {"a map's trailing comma", "$m: (a: 1, b: 2,);", "$m: (a: 1, b: 2);", true},
        {"a one-key map's trailing comma", "$m: (a: 1,);", "$m: (a: 1);", true},
        {"a list's trailing comma", "$l: (a, b,);", "$l: (a, b);", true},
        {"a list of one is no value", "$l: (a,);", "$l: (a);", false},
        {"a comma inside brackets is not the list's", "$l: (f(a, b),);", "$l: (f(a, b));", false},
        {"a map in an at-rule", "@each $k, $v in (a: 1, b: 2,) {}", "@each $k, $v in (a: 1, b: 2) {}", true},
        {"a function's arguments", "a { b: f(a, b,) }", "a { b: f(a, b) }", false},
        {"a selector's", "a:is(b, c,) {}", "a:is(b, c) {}", false},
        {"square brackets", "$l: [a, b,];", "$l: [a, b];", false},
        {"a comma that is not the last", "$m: (a: 1, b: 2);", "$m: (a: 1 b: 2);", false},
        {"a ')' past the statement's ';' is not its list's", "$l: (a, b; c,);", "$l: (a, b; c);", false},
    });
    checkRewritePairs(Less, commas, {{"not in Less", "@l: (a, b,);", "@l: (a, b);", false}});
    checkRewritePairs(Css, commas, {{"not in CSS", "a { b: (a, b,) }", "a { b: (a, b) }", false}});
    checkRewritePairs(Scss, all, {{"only under commas", "$m: (a: 1,);", "$m: (a: 1);", false}});
    checkRewritePairs(Css, rewriteBit(Rewrite::Quotes), {
        {"quotes alone leave numbers", "a { b: 'x' .5 }", "a { b: \"x\" 0.5 }", false},
    });
    checkRewritePairs(Css, rewriteBit(Rewrite::Numbers), {
        {"numbers alone leave the case", "a { b: .5PX }", "a { b: 0.5px }", false},
        {"numbers alone leave quotes", "a { b: .5 'x' }", "a { b: 0.5 \"x\" }", false},
    });
    checkRewritePairs(Css, rewriteBit(Rewrite::Case), {
        {"the case alone leaves numbers", "a { b: .5PX }", "a { b: 0.5px }", false},
        {"the case alone", "a { b: .5PX #ABC }", "a { b: .5px #abc }", true},
    });
}

} // namespace

// prettier's output on the CSS of this machine, and on SCSS and Less made
// of it and by hand, judged by postcss (tests/npm/css_judge.js): a pair the
// judge calls different must never compare equivalent (a miss); of the pairs
// it calls the same, at most 2% may differ (false alarms). Each mutant (a
// selector's blank removed, two values joined, a blank put inside a string)
// must differ.

namespace {

const char *const kScssSample =
    "// Variables and maps\n$primary:#3366FF;\n$sizes : (small:10px,medium : 1.50em, large:2EM);\n"
    "$font-stack:    'Helvetica Neue', Arial, sans-serif !default;\n@use \"sass:math\";\n"
    "@mixin button($bg, $fg:white, $radius: .25rem) {\n  background:$bg;color:$fg;\n  border-radius:$radius;\n"
    "  &:hover{background:darken($bg,10%)}\n  &.is-active > .icon{opacity:.8}\n"
    "  & + &{margin-left:math.div($radius,2)}\n}\n%placeholder{margin:0 auto}\n.btn{\n"
    "  @include button($primary,$radius:4px);\n  @extend %placeholder;\n  width:calc(100% - #{$gutter*2});\n"
    "  font:{family:$font-stack;size:12px;}\n  .nested .child ~ .sibling{padding:1px 2px 3px 4px}\n"
    "  @media (min-width:768px) and (max-width : 1024px){display:none}\n"
    "  @each $name, $size in $sizes{ .btn-#{$name}{font-size:$size} }\n"
    "  @if $a==1 {color:red} @else if $a>2 {color:blue} @else {color:green}\n  content:\"a\\\"b\";\n"
    "  margin:-$gutter auto 0 (-$gutter);\n}\n@function double($n){@return $n*2;}\n";

const char *const kLessSample =
    "// Less sample\n@primary:#3366FF;\n@min768: ~\"(min-width: 768px)\";\n"
    ".mixin(@color; @padding: 2px) { color: @color; padding: @padding; }\n"
    ".bordered(@width: 2px) when (@width > 1px) { border: @width solid black; }\n#namespace { .m() { color: red } }\n"
    ".box {\n  .mixin(#FFF; 4px);\n  .bordered(3px);\n  #namespace > .m();\n  width: ~\"calc(100% - @{gutter})\";\n"
    "  height: (@a + @b) * 2;\n  &:extend(.foo all);\n  .a-@{name} { color: fade(@primary, 50%) }\n"
    "  @media @min768 { display: none }\n  background+: url(\"a.png\");\n  @r: { color: red; };\n  @r();\n"
    "  .inner > li + li { margin: 0 .5em }\n  @c: e(%(\"%d/%d\", @a, @b));\n}\n@plugin \"my-plugin\";\n"
    "@import (reference) \"foo.less\";\n";

// What prettier rewrites in unusual CSS: blanks in attribute selectors and
// An+B arguments, a namespaced attribute's value, stray ';', "@media(".
const char *const kCssSample =
    "[lang ='pt'],[lang= es]{color:red;;margin:0}\n[xlink|href=top],svg [*|class~= icon i]{fill:none}\n"
    "li:nth-child(5n+1),li:nth-last-child(-n+3),tr:nth-of-type(odd){ ;padding:1px; ;}\n"
    "@media(min-width:100px){a{color:blue;;}}\n@supports(display:grid){.g{display:grid}}\n";
const char *const kScssSample3 =
    ".list{li:nth-child(2n-1){color:red;;}\n  [data-x =on]{ ;margin:0}\n}\n@media(max-width:40em){.a{b:c}}\n";

const char *const kScssSample2 =
    "@use 'sass:map';\n.card{padding:map.get($s,'md') 0;\n  .title{font-weight:700;&::after{content:'';}}\n"
    "  > .body + .footer{border-top:1px solid rgba(0,0,0,.125)}\n"
    "  @at-root .x#{&}{color:red}\n  &--wide{width:100%}\n  @include mq($from:tablet){width:50%}\n}\n"
    "@each $k,$v in (a:1,b:2){.m-#{$k}{margin:#{$v * 4}px}}\n";

std::vector<std::string> outputLines(const std::string &command)
{
    return commandLines(command);
}

struct CssTally {
    int pairs = 0, same = 0, falseAlarms = 0, different = 0, misses = 0, flagged = 0;
};

// Judges the pairs of dirs a and b under root, with the rewrites prettier
// makes accepted, naming the misses and false alarms.
CssTally judgeCss(const std::string &root, const std::string &a, const std::string &b)
{
    CssTally t;
    RunResult r = runMatchling({a, b, "--tokens", "--allow", "commas,quotes,numbers,case,semicolons"}, root);
    const std::string npm = std::string(MATCHLING_NPM_TOOLS) + "/../..";
    for (const std::string &line :
         outputLines("node '" + npm + "/css_judge.js' judge '" + root + "/" + a + "' '" + root + "/" + b + "'")) {
        std::istringstream fields(line);
        std::string name, verdict;
        fields >> name >> verdict;
        const bool different = r.out.find("Not equivalent: " + name + " ") != std::string::npos;
        ++t.pairs;
        t.flagged += different;
        if (verdict == "same") {
            ++t.same;
            t.falseAlarms += different;
        }
        if (verdict == "differ") {
            ++t.different;
            t.misses += !different;
            EXPECT_TRUE(different) << "miss: " << a << " against " << b << ": " << name;
        }
    }
    std::printf("%s: %s against %s: %d pairs; %d the same to the judge, %d false alarms; %d different, %d misses\n",
                root.c_str(), a.c_str(), b.c_str(), t.pairs, t.same, t.falseAlarms, t.different, t.misses);
    return t;
}

std::string shellQuoted(const std::string &s)
{
    return "'" + s + "'";
}

TEST(CssFormatterTools, PostcssJudgesPrettier)
{
    const std::string npm = std::string(MATCHLING_NPM_TOOLS) + "/../..";
    if (!haveTool("node") || npmTool("prettier").empty() || !exists(npm + "/node_modules/postcss") ||
        !exists(npm + "/node_modules/postcss-scss") || !exists(npm + "/node_modules/postcss-less"))
        GTEST_SKIP() << "node and tests/npm's packages are needed (npm ci in tests/npm)";
    // Up to 150 CSS files of this machine under 200 KB, in a fixed order.
    std::vector<std::string> css = outputLines("find /usr/share /usr/lib -name '*.css' -size -200k -size +0 "
                                               "2>/dev/null | LC_ALL=C sort | head -150");
    if (css.size() < 10)
        GTEST_SKIP() << "too few CSS files on this machine";
    ScratchDir dir;
    const std::string in = dir.file("in");
    ASSERT_EQ(std::system(("mkdir -p " + shellQuoted(in + "/css") + " " + shellQuoted(in + "/sl")).c_str()), 0);
    std::string files, styles;
    for (std::size_t i = 0; i < css.size(); ++i) {
        files += " " + shellQuoted(css[i]);
        // The first 40 again as SCSS and as Less, by turns.
        if (i < 40)
            styles += " " + shellQuoted(css[i]) + " " + shellQuoted(in + "/sl/r" + std::to_string(i) + (i % 2 ? ".less" : ".scss"));
    }
    ASSERT_EQ(std::system(("set -e; set --" + styles + "; while [ $# -gt 0 ]; do cp \"$1\" \"$2\"; shift 2; done")
                              .c_str()),
              0);
    writeFile(in + "/sl/a.scss", kScssSample);
    writeFile(in + "/sl/b.less", kLessSample);
    writeFile(in + "/sl/c.scss", kScssSample2);
    writeFile(in + "/sl/d.scss", kScssSample3);
    writeFile(in + "/hand.css", kCssSample);
    files += " " + shellQuoted(in + "/hand.css");
    ASSERT_EQ(std::system(("node '" + npm + "/css_judge.js' format " + shellQuoted(dir.file("css")) + files).c_str()), 0);
    ASSERT_EQ(std::system(("node '" + npm + "/css_judge.js' format " + shellQuoted(dir.file("sl")) + " " + shellQuoted(in) +
                           "/sl/*")
                              .c_str()),
              0);
    int same = 0, falseAlarms = 0, misses = 0;
    for (const char *root : {"css", "sl"}) {
        for (const char *style : {"prettier", "single", "narrow"}) {
            CssTally t = judgeCss(dir.file(root), "orig", style);
            same += t.same;
            falseAlarms += t.falseAlarms;
            misses += t.misses;
        }
        for (const char *mutant : {"selector", "values", "string"}) {
            CssTally t = judgeCss(dir.file(root), "orig", mutant);
            EXPECT_EQ(t.same, 0) << "the judge calls a mutant the same";
            EXPECT_EQ(t.flagged, t.pairs) << "a mutant compares equivalent";
            EXPECT_GT(t.pairs, 5);
            misses += t.misses;
        }
    }
    EXPECT_EQ(misses, 0);
    EXPECT_GT(same, 200);
    EXPECT_LE(falseAlarms * 50, same);
}

} // namespace
