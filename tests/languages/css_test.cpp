// CSS's in-process tests (CSS, SCSS and Less): its near misses first, one
// table per decision of the lexer: a pair that must differ if the decision
// went wrong and, where it can go the other way, a pair that must stay equal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../lex_support.h"

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
        {"'>' inside :not()", ".a:not(b > c) {}", ".a:not(b>c) {}", true},
        {"'*' with blanks", "a * b {}", "a*b {}", false},
        {"'&' and a class", "a { & .b {} }", "a { &.b {} }", false},
        {"a comment alone is no blank", "a/**/b {}", "a b {}", false},
        {"a comment and a blank", "a/**/ b {}", "a b {}", true},
        {"the function after a blank", "a :not(b) {}", "a:not(b) {}", false},
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

} // namespace
