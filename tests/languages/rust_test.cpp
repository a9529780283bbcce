// Rust's in-process tests: its near misses first, then the lexer's tests and
// the tests of its rules for --allow, each part under a note of its own.
//
// Rust's near misses: for each decision the Rust lexer, its rewrite rules and
// its sorted use items make, a pair of sources that must differ if the
// decision went wrong and, where it can go the other way, a pair that must
// stay equal. Each row is one decision; the rows of the lexer's and the
// rules' tables below and of tests/imports_test.cpp are not repeated.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"

namespace {

// The blanks rustc takes beyond ASCII (Pattern_White_Space), and two that it
// does not.
const std::string kNel = "\xc2\x85";       // U+0085 NEXT LINE
const std::string kLrm = "\xe2\x80\x8e";   // U+200E LEFT-TO-RIGHT MARK
const std::string kRlm = "\xe2\x80\x8f";   // U+200F RIGHT-TO-LEFT MARK
const std::string kLs = "\xe2\x80\xa8";    // U+2028 LINE SEPARATOR
const std::string kPs = "\xe2\x80\xa9";    // U+2029 PARAGRAPH SEPARATOR
const std::string kNbsp = "\xc2\xa0";      // U+00A0 NO-BREAK SPACE: a token byte to rustc
const std::string kHyphen = "\xe2\x80\xa7";  // U+2027 HYPHENATION POINT: a token byte too

constexpr RewriteSet kAll = static_cast<RewriteSet>((1u << kRewriteKinds) - 1);

void checkWith(const LexOptions &options, std::vector<PairCase> cases)
{
    for (PairCase &c : cases)
        c.options = options;
    checkPairs(Language::Rust, cases);
}

LexOptions commentWords()
{
    LexOptions o;
    o.comments = true;
    return o;
}

LexOptions sortedUses()
{
    LexOptions o;
    o.sortedIncludes = true;
    return o;
}

// A token that starts with kind, goes on with a name of 100 bytes and ends
// at the blank sep, cut bytes of which stand in the first window (the
// window's end cuts the blank there); then a name.
std::string cutBlank(const std::string &kind, const std::string &sep, std::size_t cut)
{
    const std::string name(100, 'a');
    return std::string(kLexWindowSize - cut - name.size() - kind.size(), ' ') + kind + name + sep + "b";
}

// A use item whose names sit in depth nested groups, the innermost holding inner.
std::string nestedUse(int depth, const std::string &inner)
{
    std::string open, close;
    for (int d = 0; d < depth; ++d) {
        open += "g" + std::to_string(d) + "::{";
        close += "}";
    }
    return "use " + open + inner + close + ";\n";
}

TEST(RustNearMiss, Layout)
{
    checkPairs(Language::Rust, {
        {"ASCII blanks", "a\tb\vc\fd\re", "a b c d e", true},
        {"U+2028 is a blank", "let" + kLs + "x", "let x", true},
        {"U+2029 is a blank", "let" + kPs + "x", "let x", true},
        {"U+0085 is a blank", "let" + kNel + "x", "let x", true},
        {"U+200E is a blank", "let" + kLrm + "x", "let x", true},
        {"U+200F is a blank", "let" + kRlm + "x", "let x", true},
        {"a wide blank still separates", "a" + kLs + "b", "ab", false, 1, 1, 1, 1},
        {"U+00A0 is no blank", "a" + kNbsp + "b", "a b", false, 1, 1, 1, 1},
        {"U+2027 is no blank", "a" + kHyphen + "b", "a b", false, 1, 1, 1, 1},
        {"a wide blank ends a suffix", "1" + kLs + "u8", "1 u8", true},
        {"a wide blank ends a lifetime", "&'a" + kPs + "u8", "&'a u8", true},
        {"a wide blank after a string", "\"s\"" + kLs + "x", "\"s\" x", true},
        {"a wide blank after 1.", "1." + kLs + "x", "1. x", true},
        {"a wide blank is no raw identifier's name", "r#" + kLs + "x", "r # x", true},
        {"a wide blank inside a string", "\"a" + kLs + "b\"", "\"a b\"", false, 1, 1, 1, 1},
        {"a wide blank inside a character", "'" + kLs + "'", "' '", false, 1, 1, 1, 1},
        {"a line comment goes on past U+2028", "x // a" + kLs + "y\nz", "x\nz", true},
        {"a line comment goes on past U+0085", "x // a" + kNel + "y\nz", "x\nz", true},
        {"a name and a blank cut after its first byte", cutBlank("", kLs, 1), cutBlank("", " ", 1), true},
        {"a name and a blank cut after two bytes", cutBlank("", kPs, 2), cutBlank("", " ", 2), true},
        {"a suffix and a blank cut", cutBlank("1", kNel, 1), cutBlank("1", " ", 1), true},
        {"a string's suffix and a blank cut", cutBlank("\"s\"", kLs, 2), cutBlank("\"s\"", " ", 2), true},
        {"a lifetime and a blank cut", cutBlank("'", kLrm, 1), cutBlank("'", " ", 1), true},
        {"a name and U+00A0 cut", cutBlank("", kNbsp, 1), cutBlank("", " ", 1), false},
    });
}

TEST(RustNearMiss, SourceStart)
{
    checkPairs(Language::Rust, {
        {"not a byte order mark", "\xef\xbb\xbe" "x", "x", false, 1, 1, 1, 1},
        {"a shebang line is a token", "#!/bin/run\nx", "x", false},
        {"another shebang line", "#!/bin/run\nx", "#!/bin/walk\nx", false},
        {"a byte order mark before a shebang line", "\xef\xbb\xbf#!/bin/run\nx", "#!/bin/run\nx", false},
        {"#! and a comment before '['", "#! // c\n/* d */ [a]\nx", "#![a]\nx", true},
        {"#! and a doc comment: a shebang line", "#! /// c\n[a]", "#!/// c\n[a]", true},
        {"#! and a doc comment: a token", "#! /// c\n[a]", "[a]", false},
        {"#! and a wide blank before '['", "#!" + kLs + "[a]\nx", "#![a]\nx", true},
        {"#! and U+00A0: a shebang line", "#!" + kNbsp + "[a]\nx", "x", false},
        {"#! past the first line", "x\n#!/bin/run\n", "x\n", false},
    });
    EXPECT_EQ(lexText("#!" + kNbsp + "[a]\nx", Language::Rust)[0].key, "#!" + kNbsp + "[a]");
}

TEST(RustNearMiss, Comments)
{
    checkPairs(Language::Rust, {
        {"a lone '/' and '*' in a comment", "/* a / b * c */ x", "x", true},
        {"/*/ opens, not closes", "/*/ a */ x", "x", true},
        {"nesting opens at /*", "/* a /* b */ c */ x", "/* a b */ c */ x", false},
    });
    checkWith(commentWords(), {
        {"//// is a plain comment", "//// a\nx", "// // a\nx", true},
        {"/// is a doc comment", "/// a\nx", "// / a\nx", false, 1, 1, 1, 4},
        {"//! is a doc comment", "//! a\nx", "// ! a\nx", false, 1, 1, 1, 4},
        {"/*! is a doc comment", "/*! a */ x", "/* ! a */ x", false, 1, 1, 1, 4},
        {"/*** is a plain comment", "/*** a */ x", "/* ** a */ x", true},
        {"/**/ is a plain comment", "/**/ x", "/* */ x", true},
        {"the doc marker is three bytes", "///a\nx", "/// a\nx", true},
        {"a star leads a comment's later lines", "/* a\n * b */ x", "/* a b */ x", true},
        {"a star in a line is a word", "/* a * b */ x", "/* a b */ x", false},
        {"*/ at a line's start closes", "/* a\n */ x", "/* a */ x", true},
        {"*/ ends a word", "/* a*/ x", "/* a */ x", true},
        {"/* ends a word", "/* a/* b */ */ x", "/* a /* b */ */ x", true},
        {"a lone '/' is in the word", "/* a/b */ x", "/* a / b */ x", false},
        {"a lone '*' is in the word", "/* a*b */ x", "/* a * b */ x", false},
        {"an unclosed comment's words", "x /* a", "x /* a */", false},
    });
}

TEST(RustNearMiss, Literals)
{
    std::string hashes255(255, '#'), hashes256(256, '#');
    checkPairs(Language::Rust, {
        {"an escaped quote does not close", "\"a\\\" b\"", "\"a\\\"  b\"", false, 1, 1, 1, 1},
        {"an escaped backslash does", "\"a\\\\\" b \"c\"", "\"a\\\\\"  b \"c\"", true},
        {"a lone CR in a string", "\"a\rb\"", "\"a\nb\"", false, 1, 1, 1, 1},
        {"CR LF in a character", "'\r\n'", "'\n'", true},
        {"a character stops at '/'", "'\\x// c\nx", "'\\x\nx", true},
        {"a character stops at a line end", "'+-\nx", "'+-\n x", true},
        {"'\\\\' is a character", "'\\\\' 'a'", "'\\\\'  'a'", true},
        {"a character's suffix", "'a'x", "'a' x", false, 1, 1, 1, 1},
        {"a two-byte character's suffix", "'\xc3\xa9'x", "'\xc3\xa9' x", false, 1, 1, 1, 1},
        {"a lifetime a quote closes", "'ab' x", "'ab ' x", false, 1, 1, 1, 1},
        {"a raw lifetime", "'r#a x", "'r# a x", false, 1, 1, 1, 1},
        {"a raw string's suffix", "r\"a\"x", "r\"a\" x", false, 1, 1, 1, 1},
        {"a digit is no suffix", "\"a\"1", "\"a\" 1", true},
        {"byte string", "b\"a\"", "b \"a\"", false, 1, 1, 1, 1},
        {"C string", "c\"a\"", "c \"a\"", false, 1, 1, 1, 1},
        {"byte character", "b'a'", "b 'a'", false, 1, 1, 1, 1},
        {"raw byte string", "br\"a\"", "b r\"a\"", false, 1, 1, 1, 1},
        {"a raw string closes at its own count of #", "r#\"a\"## x", "r#\"a\"# # x", true},
        {"255 # make a raw string", "r" + hashes255 + "\"a\"" + hashes255, "r " + hashes255 + " \"a\" " + hashes255,
         false, 1, 1, 1, 1},
        {"256 # make none", "r" + hashes256 + "\"a\"" + hashes256, "r " + hashes256 + " \"a\" " + hashes256, true},
        {"r## and no quote", "r##x", "r # # x", true},
        {"a name byte beyond ASCII", "a\xc3\xa9", "a \xc3\xa9", false, 1, 1, 1, 1},
    });
}

TEST(RustNearMiss, Numbers)
{
    checkPairs(Language::Rust, {
        {"a fraction", "1.5", "1. 5", false, 1, 1, 1, 1},
        {"zero and a fraction", "0.5", "0 .5", false, 1, 1, 1, 1},
        {"leading zeros and a fraction", "01.5", "01 .5", false, 1, 1, 1, 1},
        {"zero, '_' and a fraction", "0_1.5", "0_1 .5", false, 1, 1, 1, 1},
        {"a binary literal's fraction, as rustc lexes it", "0b1.1", "0b1 .1", false, 1, 1, 1, 1},
        {"an octal literal's fraction", "0o7.5", "0o7 .5", false, 1, 1, 1, 1},
        {"a hex literal's fraction", "0x1.5", "0x1 .5", false, 1, 1, 1, 1},
        {"an exponent's sign", "1e+1", "1e +1", false, 1, 1, 1, 1},
        {"an upper-case exponent's sign", "1E-1", "1E -1", false, 1, 1, 1, 1},
        {"zero's exponent", "0e+1", "0e +1", false, 1, 1, 1, 1},
        {"a fraction's exponent", "1.5e+1", "1.5e +1", false, 1, 1, 1, 1},
        {"a name after the dot", "1._a", "1 . _a", true},
    });
}

// rustc reads the float after a '.' as tuple fields: x.0.0 is x.0 .0. A
// macro sees the float as one token.
TEST(RustNearMiss, TupleFields)
{
    checkPairs(Language::Rust, {
        {"x.0.0 and x.0 .0", "x.0.0", "x.0 .0", true},
        {"x.0.0 and x . 0 . 0", "x.0.0", "x . 0 . 0", true},
        {"x.0. 0", "x.0. 0", "x.0.0", true},
        {"a comment after the dot", "x./* c */0.0", "x.0.0", true},
        {"x.0.1 and x.01", "x.0.1", "x.01", false, 1, 3, 1, 3},
        {"x.0.1 and x.0.10", "x.0.1", "x.0.10", false, 1, 5, 1, 5},
        {"x.0.01 and x.0.1", "x.0.01", "x.0.1", false, 1, 5, 1, 5},
        {"x.0.1 and x.1.0", "x.0.1", "x.1.0", false, 1, 3, 1, 3},
        {"a range is no field", "x..0.5", "x..0 .5", false, 1, 4, 1, 4},
        {"a float not after a dot", "y = 1.0.0", "y = 1. 0.0", false, 1, 5, 1, 5},
        {"fields in a macro call", "m!(x.0.0)", "m!(x.0 .0)", false, 1, 6, 1, 6},
        {"fields in an attribute", "#[a(x.0.0)] f", "#[a(x.0 .0)] f", false, 1, 7, 1, 7},
        {"fields after a macro call", "m!(a) x.0.0", "m!(a) x.0 .0", true},
    });
    checkRewritePairs(Language::Rust, kAll, {
        {"fields with --allow numbers", "x.0.0", "x.0 .0", true},
        {"a field's spelling with --allow numbers", "x.0.1", "x.0.01", false},
    });
}

TEST(RustNearMiss, Punctuators)
{
    checkPairs(Language::Rust, {
        {"+=", "a += b", "a + = b", false, 1, 3, 1, 3},
        {"-=", "a -= b", "a - = b", false, 1, 3, 1, 3},
        {"->", "a -> b", "a - > b", false, 1, 3, 1, 3},
        {"=>", "a => b", "a = > b", false, 1, 3, 1, 3},
        {"==", "a == b", "a = = b", false, 1, 3, 1, 3},
        {"!=", "a != b", "a ! = b", false, 1, 3, 1, 3},
        {"*=", "a *= b", "a * = b", false, 1, 3, 1, 3},
        {"/=", "a /= b", "a / = b", false, 1, 3, 1, 3},
        {"%=", "a %= b", "a % = b", false, 1, 3, 1, 3},
        {"^=", "a ^= b", "a ^ = b", false, 1, 3, 1, 3},
        {"&&", "a && b", "a & & b", false, 1, 3, 1, 3},
        {"&=", "a &= b", "a & = b", false, 1, 3, 1, 3},
        {"||", "a || b", "a | | b", false, 1, 3, 1, 3},
        {"|=", "a |= b", "a | = b", false, 1, 3, 1, 3},
        {"..", "a .. b", "a . . b", false, 1, 3, 1, 3},
        {"...", "a ... b", "a .. . b", false, 1, 3, 1, 3},
        {"..=", "a ..= b", "a .. = b", false, 1, 3, 1, 3},
        {"<<", "a << b", "a < < b", false, 1, 3, 1, 3},
        {"<<=", "a <<= b", "a << = b", false, 1, 3, 1, 3},
        {"<=", "a <= b", "a < = b", false, 1, 3, 1, 3},
        {">>= after >", "a >>>= b", "a > > >= b", true},
        {"-> is not - >", "f() -> T", "f() - > T", false, 1, 5, 1, 5},
    });
}

TEST(RustNearMiss, MacroGroups)
{
    checkPairs(Language::Rust, {
        {"an inner attribute's group", "#![m(A<B<C>>)]", "#![m(A<B<C> >)]", false, 1, 11, 1, 11},
        {"a macro_rules group", "macro_rules! m { (>>) => {} }", "macro_rules! m { (> >) => {} }", false, 1, 19, 1,
         19},
        {"brackets nested in a macro's group", "m!((a) >> b)", "m!((a) > > b)", false, 1, 8, 1, 8},
        {"the group ends at its bracket", "m!(a) Vec<Vec<u8>>", "m!(a) Vec<Vec<u8> >", true},
        {"an attribute's group ends too", "#[a(b)] Vec<Vec<u8>>", "#[a(b)] Vec<Vec<u8> >", true},
        {"!= opens no group", "x != (A<B<C>>)", "x != (A<B<C> >)", true},
        {"a literal then '!' opens no group", "\"a\" !(A<B<C>>)", "\"a\" !(A<B<C> >)", true},
    });
}

TEST(RustNearMiss, Braces)
{
    checkRewritePairs(Language::Rust, kAll, {
        {"an empty block", "match x { 0 => {} _ => b }", "match x { 0 => , _ => b }", false},
        {"a path macro in statement place", "match x { 0 => { a::m!(y) } _ => b }", "match x { 0 => a::m!(y), _ => b }",
         false},
        {"a brace macro", "match x { 0 => { a + m! { b } } _ => c }", "match x { 0 => a + m! { b }, _ => c }", false},
        {"an attribute", "match x { 0 => { #[cfg(y)] a } _ => b }", "match x { 0 => #[cfg(y)] a, _ => b }", false},
        {"a block then '?'", "match x { 0 => { a }? _ => b }", "match x { 0 => a, ? _ => b }", false},
        {"a block then '.'", "match x { 0 => { a }.c _ => b }", "match x { 0 => a, .c _ => b }", false},
        {"an unsafe block", "match x { 0 => { unsafe { f() } } _ => b }", "match x { 0 => unsafe { f() }, _ => b }",
         true},
        {"if let", "match x { 0 => { if let Some(y) = z { y } else { 0 } } _ => b }",
         "match x { 0 => if let Some(y) = z { y } else { 0 }, _ => b }", true},
        {"while let", "match x { 0 => { while let Some(y) = z {} } _ => b }",
         "match x { 0 => while let Some(y) = z {}, _ => b }", true},
        {"a let chain", "match x { 0 => { if a && let Some(y) = z { y } else { 0 } } _ => b }",
         "match x { 0 => if a && let Some(y) = z { y } else { 0 }, _ => b }", true},
        {"a let at the block's start", "match x { 0 => { let } _ => b }", "match x { 0 => let, _ => b }", false},
        {"the last arm", "match x { 0 => a, _ => { b } }", "match x { 0 => a, _ => b }", true},
        {"the last arm's block then '.'", "match x { _ => { b }.c }", "match x { _ => b.c }", false},
        {"a match arm inside an arm", "match x { 0 => match y { _ => { a } }, _ => b }",
         "match x { 0 => match y { _ => a }, _ => b }", true},
        {"no match", "if x { a } else { b }", "if x { a }, else { b }", false},
    });
    checkRewritePairs(Language::Rust, rewriteBit(Rewrite::Commas), {
        {"commas only: a braced arm's comma", "match x { 0 => { a }, _ => b }", "match x { 0 => { a } _ => b }", true},
        {"commas only: the braces stay", "match x { 0 => { a } _ => b }", "match x { 0 => a, _ => b }", false},
    });
}

TEST(RustNearMiss, Commas)
{
    checkRewritePairs(Language::Rust, kAll, {
        {"an empty element", "f(a,,);", "f(a,);", false},
        {"a comma after a comma", "let t = (a,,);", "let t = (a,);", false},
        {"a comma after '('", "f(,);", "f();", false},
        {"a call after generics", "S::<A>(a,);", "S::<A>(a);", true},
        {"a method call", "x.m(a,);", "x.m(a);", true},
        {"a call of a call", "f(a)(b,);", "f(a)(b);", true},
        {"a fn pointer type", "let f: fn(u8,) = g;", "let f: fn(u8) = g;", true},
        {"a return type of one element", "fn f() -> (u8,) {}", "fn f() -> (u8) {}", false},
        {"commas inside generics", "let t: (HashMap<A, B>,) = x;", "let t: (HashMap<A, B>) = x;", false},
        {"<< opens two", "let t: (Vec<<T as X>::A, B>,) = x;", "let t: (Vec<<T as X>::A, B>) = x;", false},
        {"a '|' pattern", "let (A | B, c,) = x;", "let (A | B, c) = x;", false},
        {"a rest pattern in a tuple", "let (a, ..,) = t;", "let (a, ..) = t;", false},
        {"..= in a struct literal", "S { a: 1..=2, }", "S { a: 1..=2 }", false},
        {"... in a struct literal", "S { a: 1...2, }", "S { a: 1...2 }", false},
        {"a ';' in brackets", "[a, b; 2,]", "[a, b; 2]", false},
        {"a comma before '>' outside generics", "(a,> b)", "(a> b)", false},
        {"generic arguments", "Vec<A, B,>", "Vec<A, B>", true},
        {"a comma before a block", "f(a, { b })", "f(a { b })", false},
        {"the where clause of an impl", "impl<T> S<T> where T: X, {}", "impl<T> S<T> where T: X {}", true},
        {"a where clause before ';'", "struct S<T>(T) where T: X,;", "struct S<T>(T) where T: X;", true},
        {"a where clause's generics before ';'", "type A<T> = B where T: X<C,>,;", "type A<T> = B where T: X<C>;",
         true},
        {"a comma before ';' outside a where clause", "a,;", "a;", false},
        {"use {...}", "use {a, b,};", "use {a, b};", true},
        {"a struct literal after generics", "S::<T> { a, }", "S::<T> { a }", true},
        {"an if let pattern", "if let S { a, } = x {}", "if let S { a } = x {}", true},
        {"a for pattern", "for S { a, } in v {}", "for S { a } in v {}", true},
        {"a while let pattern", "while let S { a, } = x {}", "while let S { a } = x {}", true},
        {"a block after if", "if x { a, }", "if x { a }", false},
        {"a block after while", "while x { a, }", "while x { a }", false},
        {"a block after for", "for x in v { a, }", "for x in v { a }", false},
        {"a block after a return type", "fn f() -> T { a, }", "fn f() -> T { a }", false},
        {"a block after impl", "impl X { a, }", "impl X { a }", false},
        {"a block after trait", "trait X { a, }", "trait X { a }", false},
        {"a block after mod", "mod m { a, }", "mod m { a }", false},
        {"a closure's block", "|x| -> T { a; b, }", "|x| -> T { a; b }", false},
        {"';' ends what a keyword waits for", "trait T { fn f(); const C: S = S { a, }; }",
         "trait T { fn f(); const C: S = S { a }; }", true},
        {"an inner attribute", "#![a(b,)]", "#![a(b)]", false},
        {"inside macro_rules", "macro_rules! m { ($a:expr,) => { f($a, b,) } }",
         "macro_rules! m { ($a:expr) => { f($a, b) } }", false},
        {"after macro_rules", "macro_rules! m { () => {} } f(a, b,);", "macro_rules! m { () => {} } f(a, b);", true},
        {"derive's paths", "#[derive(A, B,)] struct S;", "#[derive(A, B)] struct S;", true},
        {"derive inside cfg_attr", "#[cfg_attr(x, derive(A,))] struct S;", "#[cfg_attr(x, derive(A))] struct S;", false},
        {"an inner derive", "#![derive(A,)]", "#![derive(A)]", false},
        {"a derive in a macro's input", "m! { #[derive(A,)] struct S; }", "m! { #[derive(A)] struct S; }", false},
        {"a one-element array", "let a = [b,];", "let a = [b];", true},
        {"a one-element slice pattern", "let [a,] = b;", "let [a] = b;", true},
        {"an index after a call", "f()[a,];", "f()[a];", false},
        {"a closure's parameters", "let f = |a, b,| a;", "let f = |a, b| a;", true},
        {"a closure as a method's argument", "x.map(|a, b,| a);", "x.map(|a, b| a);", true},
        {"or-patterns in a tuple pattern", "let (| A, | B) = x;", "let (| A | B) = x;", false},
        {"or-patterns in a tuple struct pattern", "if let S(| A, | B) = x {}", "if let S(| A | B) = x {}", false},
        {"a type alias's where clause", "type A<T> where T: X, = B;", "type A<T> where T: X = B;", true},
        {"a comma before '=' outside a where clause", "let a, = b;", "let a = b;", false},
        {"a match arm's leading '|'", "match x { | A | B => 1, | C => 2 }", "match x { A | B => 1, C => 2 }", true},
        {"a leading '|' after a braced arm", "match x { A => { 1 } | C => 2 }", "match x { A => 1, C => 2 }", true},
        {"a '|' after a comma in an arm's body", "match x { A => b + |a, | a }", "match x { A => b + |a, a }", false},
        {"a '|' in a closure's parameters", "match x { A => |a, | a }", "match x { A => |a, a }", false},
    });
}

TEST(RustNearMiss, NestedParens)
{
    checkRewritePairs(Language::Rust, kAll, {
        {"a group in a group", "let a = ((f()));", "let a = (f());", true},
        {"three deep", "let a = (((f())));", "let a = (f());", true},
        {"a tuple in a group", "let a = ((b, c));", "let a = (b, c);", true},
        {"a call with a tuple", "f((a, b));", "f(a, b);", false},
        {"a call with a group", "f(((a)));", "f((a));", true},
        {"a tuple struct", "S((a, b));", "S(a, b);", false},
        {"a call after generics", "f::<T>((a, b));", "f::<T>(a, b);", false},
        {"a call of a call", "f(a)((b, c));", "f(a)(b, c);", false},
        {"a method call", "x.m((a, b));", "x.m(a, b);", false},
        {"self", "self((a, b));", "self(a, b);", false},
        {"fn parameters", "fn f((a, b): T) {}", "fn f(a, b: T) {}", false},
        {"a fn pointer type", "type F = fn((u8, u8));", "type F = fn(u8, u8);", false},
        {"two groups side by side", "let a = ((b) (c));", "let a = (b) (c);", false},
        {"a group then more", "let a = ((b) + c);", "let a = (b) + c;", false},
        {"after return", "return ((a));", "return (a);", true},
        {"after an operator", "a + ((b))", "a + (b)", true},
        {"a one-element tuple", "let a = ((b,));", "let a = (b,);", true},
        {"a tuple of a group", "let a = ((b),);", "let a = (b,);", false},
        {"inside a macro", "m!(((a)));", "m!((a));", false},
        {"a macro's own parentheses", "m!((a));", "m!(a);", false},
        {"!, not a macro", "let a = !((b));", "let a = !(b);", true},
        {"an attribute", "#[a(((b)))] fn f() {}", "#[a((b))] fn f() {}", false},
        {"a type", "let a: ((u8)) = b;", "let a: (u8) = b;", true},
        {"a lifetime before", "&'a ((T))", "&'a (T)", false},
        {"a literal", "let a = (0.).f();", "let a = 0. .f();", true},
        {"a call of a literal", "f(1);", "f 1;", false},
        {"a negative literal", "let a = (-1).abs();", "let a = -1.abs();", false},
        {"a trait's empty generics", "trait T<> {}", "trait T {}", true},
        {"a struct's", "struct S<>(u8);", "struct S(u8);", true},
        {"an impl's", "impl<> T for U {}", "impl T for U {}", true},
        {"a fn's", "fn f<>() {}", "fn f() {}", true},
        {"a path's empty arguments", "fn f() { let v: Vec<> = x; }", "fn f() { let v: Vec = x; }", false},
        {"a generic list not empty", "trait T<A> {}", "trait T {}", false},
        {"a closure's empty parameters", "fn f() { g(| | 1); }", "fn f() { g(|| 1); }", true},
        {"after move", "let c = move | | 1;", "let c = move || 1;", true},
        {"an operator's operand", "let c = a | | b| b;", "let c = a || b| b;", false},
        {"after ',': may close parameters", "fn f() { g(a, | | 1); }", "fn f() { g(a, || 1); }", false},
        {"in a macro", "fn f() { m!(| | 1); }", "fn f() { m!(|| 1); }", false},
    });
    checkRewritePairs(Language::Rust, rewriteBit(Rewrite::Commas), {
        {"commas only: parentheses stay", "let a = ((f()));", "let a = (f());", false},
    });
    // The rewriter's first window ends at each token of a closure's head in
    // turn: where it falls decides nothing.
    std::vector<PairCase> window;
    for (std::size_t k = 0; k < 10; ++k) {
        std::string before = "fn f() {";
        for (std::size_t i = 0; i < kRewriteTokens / 2 - 12; ++i)
            before += " a;";
        before += " let x = " + std::string(k, '!') + "y;";
        window.push_back({"empty parameters", before + " let c = move | | 1; }", before + " let c = move || 1; }", true});
        window.push_back({"a parameter's comma", before + " let c = |x,| x; }", before + " let c = |x| x; }", true});
        window.push_back({"after ','", before + " g(a, | | 1); }", before + " g(a, || 1); }", false});
    }
    checkRewritePairs(Language::Rust, kAll, window);
}

TEST(RustNearMiss, EmptyStatements)
{
    checkRewritePairs(Language::Rust, kAll, {
        {"after a statement", "fn f() { let x = 2;;; }", "fn f() { let x = 2; }", true},
        {"at a block's start", "fn f() { ; a(); }", "fn f() { a(); }", true},
        {"after a block statement", "fn f() { if a {} ; b }", "fn f() { if a {} b }", false},
        {"after a match: its value", "fn f() { match x { _ => 1 }; }", "fn f() { match x { _ => 1 } }", false},
        {"after an expression", "fn f() { a; }", "fn f() { a }", false},
        {"the top level", "struct S;;", "struct S;", false},
        {"an impl", "impl S { fn f() {};; }", "impl S { fn f() {}; }", false},
        {"an impl's functions", "impl S { fn f() { a;; } }", "impl S { fn f() { a; } }", true},
        {"unsafe impl", "unsafe impl S for T { type A = B;; }", "unsafe impl S for T { type A = B; }", false},
        {"an impl for a fn type", "impl S for unsafe fn() { type A = B;; }",
         "impl S for unsafe fn() { type A = B; }", false},
        {"an impl for a const argument", "impl S for T<{ N }> { type A = B;; }",
         "impl S for T<{ N }> { type A = B; }", false},
        {"a trait", "trait T { fn f();; }", "trait T { fn f(); }", false},
        {"a module", "mod m { use a;; }", "mod m { use a; }", false},
        {"an extern block", "extern \"C\" { fn f();; }", "extern \"C\" { fn f(); }", false},
        {"an extern function", "extern \"C\" fn f() { a;; }", "extern \"C\" fn f() { a; }", true},
        {"a function that returns impl", "fn f() -> impl T { a;; b }", "fn f() -> impl T { a; b }", true},
        {"an array type", "let a: [u8; ;] = b;", "let a: [u8; ] = b;", false},
        {"a struct", "struct S { ; }", "struct S { }", false},
        {"a closure's block", "let f = || { a;; };", "let f = || { a; };", true},
        {"inside a macro", "m! { a;; }", "m! { a; }", false},
        {"a bare return's ';' before '}'", "let Some(x) = y else { return; };", "let Some(x) = y else { return };", true},
        {"break and continue's", "loop { a; break; } loop { continue; }", "loop { a; break } loop { continue }", true},
        {"a return's value", "fn f() { return 1; }", "fn f() { return 1 }", false},
        {"a return inside an expression", "fn f() { a = return; }", "fn f() { a = return }", false},
        {"a return with more after it", "fn f() { return; a }", "fn f() { return a }", false},
        {"a match arm's return", "match x { _ => return; }", "match x { _ => return }", false},
    });
    checkRewritePairs(Language::Rust, rewriteBit(Rewrite::Commas), {
        {"commas only: semicolons stay", "fn f() { let x = 2;; }", "fn f() { let x = 2; }", false},
    });
}

TEST(RustNearMiss, ClosureBodies)
{
    checkRewritePairs(Language::Rust, kAll, {
        {"a call's argument", "f(|x| { x + 1 });", "f(|x| x + 1);", true},
        {"no parameters", "f(|| { g() });", "f(|| g());", true},
        {"move", "f(move |x| { x });", "f(move |x| x);", true},
        {"a let's value", "let g = |x| { x };", "let g = |x| x;", true},
        {"a return type", "let g = |x| -> u8 { x };", "let g = |x| -> u8 x;", false},
        {"a statement", "f(|x| { x; });", "f(|x| x;);", false},
        {"two statements", "f(|x| { if a {} x });", "f(|x| if a {} x);", false},
        {"something after the block", "f(|x| { a + b } * 2);", "f(|x| a + b * 2);", false},
        {"a method on the block", "f(|x| { a }.b());", "f(|x| a.b());", false},
        {"a binary or", "let c = a | b | { d || e };", "let c = a | b | d || e;", false},
        {"a logical or", "let c = a || { d && e };", "let c = a || d && e;", false},
        {"a parameter type with an arrow", "f(|g: fn() -> u8| { g() });", "f(|g: fn() -> u8| g());", true},
        {"a tuple pattern", "f(|(a, b)| { a });", "f(|(a, b)| a);", true},
        {"a match arm body", "match x { _ => |y| { y }, }", "match x { _ => |y| y, }", true},
        {"a let inside", "f(|x| { let y = x; y });", "f(|x| let y = x; y);", false},
        {"inside a macro", "m!(|x| { x });", "m!(|x| x);", false},
        {"an empty block", "f(|x| {});", "f(|x| );", false},
    });
    checkRewritePairs(Language::Rust, rewriteBit(Rewrite::Commas), {
        {"commas only: the block stays", "f(|x| { x });", "f(|x| x);", false},
    });
}

TEST(RustNearMiss, StringContinuations)
{
    checkRewritePairs(Language::Rust, kAll, {
        {"a line continuation", "\"ab\\\n    cd\"", "\"abcd\"", true},
        {"line ends after it", "\"ab\\\n\n\t cd\"", "\"abcd\"", true},
        {"a CR LF line end", "\"ab\\\r\n  cd\"", "\"abcd\"", true},
        {"an escaped backslash before a line end", "\"ab\\\\\ncd\"", "\"ab\\\\cd\"", false},
        {"a line end without '\\'", "\"ab\n  cd\"", "\"abcd\"", false},
        {"a blank before the line end", "\"ab\\ \n cd\"", "\"abcd\"", false},
        {"a non-ASCII blank after it stays", "\"a\\\n" + kNbsp + "b\"", "\"a" + kNbsp + "b\"", true},
        {"a non-ASCII blank is text", "\"a\\\n" + kNbsp + "b\"", "\"ab\"", false},
        {"a byte string", "b\"ab\\\n cd\"", "b\"abcd\"", true},
        {"a byte string against a string", "b\"ab\"", "\"ab\"", false},
        {"a raw string", "r\"ab\\\n cd\"", "r\"abcd\"", false},
        {"other escapes stay", "\"\\x41\"", "\"A\"", false},
        {"inside a macro", "m!(\"ab\\\n cd\")", "m!(\"abcd\")", false},
    });
    checkRewritePairs(Language::Rust, rewriteBit(Rewrite::Commas), {
        {"commas only: continuations stay", "\"ab\\\n cd\"", "\"abcd\"", false},
    });
}

TEST(RustNearMiss, NumberRewrites)
{
    checkRewritePairs(Language::Rust, kAll, {
        {"a separator after the radix", "0x_1", "0x1", true},
        {"an octal digit past the radix", "0o18", "0o1_8", false},
        {"a binary digit past the radix", "0b12", "0b1_2", false},
        {"hex leading zeros", "0x00ff", "0xff", true},
        {"hex zero", "0x0", "0x00", true},
        {"hex suffix", "0xFFu8", "0xffu8", true},
        {"hex suffixes", "0xffu8", "0xffi8", false},
        {"float trailing zeros", "1.0", "1.00", true},
        {"float scale", "1.5", "15.0", false},
        {"float scale of a whole number", "150.0", "1.50", false},
        {"exponent sign", "1e-5", "1e5", false},
        {"exponent plus", "1e+5", "1e5", true},
        {"exponent separator", "1e_5", "1e5", true},
        {"exponent digits", "1e10", "1e1", false},
        {"a fraction with an exponent", "1.5e1", "15.0", true},
        {"a fraction below one", "0.05", "5e-2", true},
        {"zero", "0.0", "0e0", true},
        {"zero and a fraction", "0.0", "0.1", false},
        {"integer zero", "0", "00", true},
        {"integer against float", "0", "0.0", false},
        {"float suffixes", "1.0f32", "1.0f64", false},
        {"a float suffix after zeros", "1.0f32", "1.00f32", true},
        {"f64 after zeros", "1.0f64", "1.00f64", true},
        {"integer suffixes", "1u8", "1u16", false},
        {"isize", "1_isize", "1isize", true},
        {"an unknown suffix", "1_u7", "1u7", false},
        {"digits", "12", "21", false},
        {"a number in brackets", "[0xFF]", "[0xff]", true},
    });
}

TEST(RustNearMiss, SortedUses)
{
    checkWith(sortedUses(), {
        {"pub(in path) use", "pub(in crate::m) use b; use a;", "use a; pub(in crate::m) use b;", true},
        {"an attribute with nested brackets", "#[cfg(all(x, y))] use b; use a;", "use a; #[cfg(all(x, y))] use b;",
         true},
        {"an attribute before another item", "use b; #[a] fn f() {} use a;", "use a; #[a] fn f() {} use b;", false},
        {"pub before another item", "use b; pub struct S; use a;", "use a; pub struct S; use b;", false},
        {"pub(...) before another item", "use b; pub(crate) struct S; use a;", "use a; pub(crate) struct S; use b;",
         false},
        {"a macro's ![...] is no inner attribute", "m![a] use b; use a;", "m![a] use a; use b;", false},
        {"globs", "use b::*; use a::*;", "use a::*; use b::*;", true},
        {"renames", "use b as x; use a as y;", "use a as y; use b as x;", true},
        {"a trailing comma stays last", "use a::{c, b,};", "use a::{b, c,};", true},
        {"a nested group is one name", "use a::{c::{x, y}, b};", "use a::{b, c::{x, y}};", true},
        {"a group's names stay in it", "use a::{c::{y}, x};", "use a::{c::{x}, y};", false},
        {"a group's commas are its own", "use m::{b::{z, a}, c};", "use m::{b::{a, c, z}};", false},
        {"a ';' inside a group ends no use", "use b::{c; use a;", "use a; use b::{c;", false},
        {"a block's uses", "let x = { use b; use a; 1 };", "let x = { use a; use b; 1 };", true},
        {"a macro_rules body", "macro_rules! m { () => { use b; use a; } }",
         "macro_rules! m { () => { use a; use b; } }", false},
        {"an if ! block", "if !x { use b; use a; }", "if !x { use a; use b; }", false},
        {"16 nested groups sort", nestedUse(16, "z, y"), nestedUse(16, "y, z"), true},
        {"deeper groups stay", nestedUse(17, "z, y"), nestedUse(17, "y, z"), false},
        {"a use that is no tree", "use b::c(); use a;", "use a; use b::c();", false},
    });
}

} // namespace

// Tests of the Rust lexer: pairs of sources that must compare equal or must
// differ, and rustc's own lexer and rustfmt on the standard library's sources
// as the toolchain's documentation ships them.

namespace {

TEST(RustLexer, LayoutBetweenTokens)
{
    checkPairs(Language::Rust, {
        {"nested comment", "a /* b /* c */ d */ e", "a e", true},
        {"code after an inner */ stays commented", "a /* b /* c */ d */ e", "a /* b c */ d */ e", false,
         1, 21, 1, 13},
        {"doc comments", "/// Doc.\n//! Inner.\n/** Block */ /*! In */ fn f() {}", "fn f() {}", true},
        {"attribute split over lines", "#[derive(Debug, Clone)]\nstruct S;",
         "#[derive(\r\n    Debug,\r\n    Clone\r\n)]\nstruct S;", true},
        {"shebang line", "#!/usr/bin/env run-cargo-script\nfn main() {}", "#! /usr/bin/env run-cargo-script \nfn main() {}",
         true},
        {"byte order mark", "\xef\xbb\xbf" "fn main() {}", "fn main() {}", true},
        {"inner attribute is no shebang", "#![allow(x)]\nfn f() {}", "fn f() {}", false, 1, 1, 1, 1},
        {"inner attribute over lines", "#!\n[allow(x)]", "#![allow(x)]", true},
        {"'static lifetime", "fn f(x: &'static str) {}", "fn f(x:&'static\n    str) {}", true},
        {"range after a number", "1..2; 1.foo(); 1.0", "1 .. 2; 1 . foo(); 1.0", true},
        {"generics closed by >>", "let v: Vec<Vec<u8>> = x;", "let v: Vec<Vec<u8> > = x;", true},
        {"a<-b outside a macro", "if a<-b {}", "if a < -b {}", true},
    });
}

TEST(RustLexer, LiteralsLifetimesAndNames)
{
    checkPairs(Language::Rust, {
        {"raw string with #s", "r##\"a \"# b\"##; x", "r##\"a \"# b\"##;\nx", true},
        {"raw string ends at its own #s", "r##\"a\"# \"##", "r##\"a\" # \"##", false, 1, 1, 1, 1},
        {"raw byte and raw C strings", "br#\"a\"# cr\"b\"", "br #\"a\"# cr \"b\"", false, 1, 1, 1, 1},
        {"character against lifetime", "let c = 'a';", "let c = 'a ;", false, 1, 9, 1, 9},
        {"labels", "'outer: loop { break 'outer; }", "'outer : loop { break 'outer ; }", true},
        {"quote literal", "'\\'' '\\u{1F600}' b'\\''", "'\\''\n'\\u{1F600}'\tb'\\''", true},
        {"byte literal of a slash", "b'/' == x", "b'/'==x", true},
        {"raw identifier", "let r#match = 1;", "let match = 1;", false, 1, 5, 1, 5},
        {"raw identifier is one token", "r#fn", "r# fn", false, 1, 1, 1, 1},
        {"suffix", "1u8 \"a\"suf", "1 u8 \"a\"suf", false, 1, 1, 1, 1},
        {"float and exponent", "1.5e-3f64", "1.5e- 3f64", false, 1, 1, 1, 1},
        {"blank inside a string", "\"a b\"", "\"a  b\"", false, 1, 1, 1, 1},
        {"string over lines, CR LF as LF", "\"a\r\nb\"", "\"a\nb\"", true},
        {"line end inside a string", "\"a\nb\"", "\"a b\"", false, 1, 1, 1, 1},
        {"joined names", "pub fn f", "pubfn f", false, 1, 1, 1, 1},
    });
}

TEST(RustLexer, Punctuators)
{
    checkPairs(Language::Rust, {
        {">>= is not > >=", "a >>= b", "a > >= b", false, 1, 3, 1, 3},
        {">= is not > =", "a >= b", "a > = b", false, 1, 3, 1, 3},
        {">>> splits like >> >", "a>>>=b", "a>> >=b", true},
        {">> in a macro call", "m!(a >> b)", "m!(a > > b)", false, 1, 6, 1, 6},
        {">> in an attribute", "#[m(A<B<C>>)] x", "#[m(A<B<C> >)] x", false, 1, 10, 1, 10},
        {">> after a macro_rules group", "macro_rules! m { (>>) => {} } Vec<Vec<u8>>",
         "macro_rules! m { (>>) => {} } Vec<Vec<u8> >", true},
        {"<- in a macro call", "m!(a<-b)", "m!(a < -b)", false, 1, 5, 1, 6},
        {"longest match", "a::b..=c...d->e=>f", "a :: b ..= c ... d -> e => f", true},
        {"split ::", "a::b", "a: :b", false, 1, 2, 1, 2},
    });
}

TEST(RustLexer, DocCommentWords)
{
    LexOptions words;
    words.comments = true;
    checkPairs(Language::Rust, {
        {"reflowed", "/// a b\nfn f() {}", "/// a\n/// b\nfn f() {}", false, 1, 7, 2, 1, Language::Rust, words},
        {"doc is not plain", "/// a\nfn f() {}", "// a\nfn f() {}", false, 1, 1, 1, 4, Language::Rust, words},
        {"nested block words", "/* a /* b */\n * c */ x", "/* a /* b */ c */ x", true, 0, 0, 0, 0,
         Language::Rust, words},
        {"edited word", "/** a b */ x", "/** a c */ x", false, 1, 7, 1, 7, Language::Rust, words},
    });
}

TEST(RustLexer, TokensLongerThanTheWindow)
{
    std::string body;
    for (int i = 0; i < 12000; ++i)
        body += "a \"# b\r\n";
    std::string lf = body;
    lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
    std::string opens, closes;
    for (int i = 0; i < 9000; ++i) {
        opens += "/* x\n";
        closes += "*/";
    }
    checkPairs(Language::Rust, {
        {"raw string", "x = r##\"" + body + "\"##;", "x =\n    r##\"" + lf + "\"##;", true},
        {"nested comments", "a " + opens + closes + " b", "a b", true},
        {"one comment left open", "a " + opens + closes.substr(2) + " b", "a b", false, 1, 3, 1, 3},
    });
}

// rustc's own lexer, reached through a procedural macro: for each line
// "source<TAB>output" of the file its call names, it writes the tokens that
// proc_macro::TokenStream::from_str gives of source, each followed by a zero
// byte: names, literals, brackets, and punctuators one byte each; a doc
// comment (its tokens' span shows the comment) is left out.
const char *const kLexDump = R"rust(
extern crate proc_macro;
use proc_macro::{Delimiter, TokenStream, TokenTree};
use std::str::FromStr;

fn walk(ts: TokenStream, out: &mut String) {
    for tt in ts {
        let text = tt.span().source_text().unwrap_or_default();
        if text.starts_with("//") || text.starts_with("/*") {
            continue;
        }
        match tt {
            TokenTree::Group(g) => {
                let (o, c) = match g.delimiter() {
                    Delimiter::Parenthesis => ("(\0", ")\0"),
                    Delimiter::Bracket => ("[\0", "]\0"),
                    Delimiter::Brace => ("{\0", "}\0"),
                    Delimiter::None => ("", ""),
                };
                out.push_str(o);
                walk(g.stream(), out);
                out.push_str(c);
            }
            TokenTree::Punct(p) => {
                out.push(p.as_char());
                out.push('\0');
            }
            other => {
                out.push_str(&other.to_string());
                out.push('\0');
            }
        }
    }
}

#[proc_macro]
pub fn dump(list: TokenStream) -> TokenStream {
    let list = list.to_string();
    for line in std::fs::read_to_string(list.trim_matches('"')).unwrap().lines() {
        let (source, output) = line.split_once('\t').unwrap();
        let mut out = String::new();
        match TokenStream::from_str(&std::fs::read_to_string(source).unwrap()) {
            Ok(ts) => walk(ts, &mut out),
            Err(_) => out.push_str("(not lexed)"),
        }
        std::fs::write(output, out).unwrap();
    }
    TokenStream::new()
}
)rust";

constexpr std::size_t kRustFiles = 30;  // standard library sources taken, spread over them

// Standard output of command, by way of a file in dir.
std::string capture(const ScratchDir &dir, const std::string &command)
{
    const std::string out = dir.file("captured");
    if (std::system((command + " >'" + out + "' 2>/dev/null").c_str()) != 0)
        return "";
    return readFile(out);
}

// The tokens rustc's lexer wrote to path, doc attributes that a doc comment
// may have been desugared into (#[doc = "..."], #![doc = "..."]) left out.
std::vector<std::string> rustcTokens(const std::string &path)
{
    std::vector<std::string> t;
    const std::string bytes = readFile(path);
    for (std::size_t i = 0, z; (z = bytes.find('\0', i)) != std::string::npos; i = z + 1)
        t.push_back(bytes.substr(i, z - i));
    std::vector<std::string> out;
    for (std::size_t i = 0; i < t.size(); ++i) {
        std::size_t j = i + 1 + (i + 1 < t.size() && t[i + 1] == "!");
        if (t[i] == "#" && j + 4 < t.size() && t[j] == "[" && t[j + 1] == "doc" && t[j + 2] == "=" &&
            t[j + 3][0] == '"' && t[j + 4] == "]")
            i = j + 4;
        else
            out.push_back(t[i]);
    }
    return out;
}

// The Rust lexer's tokens of path in rustc's terms: a punctuator a byte at a
// time, a lifetime as its quote and its name; doc attributes left out too.
std::vector<std::string> ourTokens(const std::string &path)
{
    std::string bytes;
    for (const Tok &t : lexFile(path, Language::Rust)) {
        bool punctuator = !t.key.empty() && !(byteClass(t.key[0]) & kNameB) && t.key[0] != '\'' && t.key[0] != '"';
        bool lifetime = t.key.size() > 1 && t.key[0] == '\'' && t.key.back() != '\'';
        if (punctuator) {
            for (char c : t.key)
                bytes += std::string(1, c) + '\0';
        } else if (lifetime) {
            bytes += std::string("'") + '\0' + t.key.substr(1) + '\0';
        } else if (t.kind == TokenKind::Code) {
            bytes += t.key + '\0';
        }
    }
    const std::string scratch = path + ".ours";
    writeFile(scratch, bytes);
    return rustcTokens(scratch);
}

// Standard library sources re-formatted by rustfmt (narrow, with CR LF line
// ends), with rustc's lexer as the judge: our tokens of each source are
// rustc's, and each pair compares equivalent exactly when rustc's tokens of
// both sides are the same; where they differ, the report names a token.
TEST(RustLexerTools, RustcAndRustfmtOnStandardLibrarySources)
{
    if (!haveTool("rustc") || !haveTool("rustfmt"))
        GTEST_SKIP() << "rustc or rustfmt is not installed";
    ScratchDir dir;
    std::string sysroot = capture(dir, "rustc --print sysroot");
    sysroot.erase(sysroot.find_last_not_of("\n") + 1);
    std::vector<std::string> pages;
    const std::string listed = capture(dir, "find '" + sysroot + "/share/doc/rust/html/src' -name '*.rs.html' | sort");
    for (std::size_t i = 0, nl; (nl = listed.find('\n', i)) != std::string::npos; i = nl + 1)
        pages.push_back(listed.substr(i, nl - i));
    if (pages.empty())
        GTEST_SKIP() << "the toolchain has no rust-docs sources";
    makeDir(dir.file("before"));
    makeDir(dir.file("after"));
    std::vector<std::string> names;
    std::string list;
    for (std::size_t i = 0; i < pages.size() && names.size() < kRustFiles; i += pages.size() / kRustFiles + 1) {
        const std::string name = "f" + std::to_string(names.size()) + ".rs", source = rustdocSource(pages[i]);
        if (source.empty())
            continue;
        writeFile(dir.file("before/" + name), source);
        const std::string before = dir.file("before/" + name), after = dir.file("after/" + name);
        if (std::system(("rustfmt --edition 2021 --config max_width=70,newline_style=Windows --emit stdout --quiet <'" +
                         before + "' >'" + after + "' 2>/dev/null").c_str()) != 0)
            writeFile(after, source);
        list += before + "\t" + before + ".rustc\n" + after + "\t" + after + ".rustc\n";
        names.push_back(name);
    }
    writeFile(dir.file("list"), list);
    writeFile(dir.file("lexdump.rs"), kLexDump);
    writeFile(dir.file("main.rs"), "lexdump::dump!(\"" + dir.file("list") + "\");\nfn main() {}\n");
    ASSERT_EQ(std::system(("cd '" + dir.path() + "' && rustc --edition 2021 --crate-type proc-macro lexdump.rs " +
                           "-o liblexdump.so && rustc --edition 2021 --extern lexdump=liblexdump.so main.rs")
                              .c_str()),
              0);
    int changed = 0;
    for (const std::string &name : names) {
        SCOPED_TRACE(name);
        const std::string before = dir.file("before/" + name), after = dir.file("after/" + name);
        std::vector<std::string> rustc = rustcTokens(before + ".rustc"), ours = ourTokens(before);
        auto differ = std::mismatch(ours.begin(), ours.end(), rustc.begin(), rustc.end());
        EXPECT_TRUE(differ.first == ours.end() && differ.second == rustc.end())
            << "token " << (differ.first - ours.begin()) << ": ours '" << (differ.first == ours.end() ? "" : *differ.first)
            << "', rustc's '" << (differ.second == rustc.end() ? "" : *differ.second) << "'";
        bool same = rustc == rustcTokens(after + ".rustc");
        changed += same ? 0 : 1;
        RunResult r = runMatchling({"before/" + name, "after/" + name, "--tokens", "--exit-status"}, dir.path());
        EXPECT_EQ(r.status, same ? 0 : 1) << r.out;
        if (!same) {
            EXPECT_NE(r.out.find("Matchling==> Token mismatch at line "), std::string::npos) << r.out;
        }
    }
    EXPECT_LT(changed, static_cast<int>(names.size()));  // most edits are layout only
}

}  // namespace

// Rust's accepted rewrites: match arm bodies, trailing commas, numbers, each
// as a table of pairs that must compare equal or must differ under --allow,
// both ways round; and rustfmt on the standard library's sources with rustc's
// parser as the judge.

namespace {

const RewriteSet kAllowAll = 0xff;  // every rewrite --allow names

void checkTable(std::vector<PairCase> cases, RewriteSet allow = kAllowAll)
{
    checkRewritePairs(Language::Rust, allow, std::move(cases));
}

TEST(RustRewrites, MatchArmBodies)
{
    checkTable({
        {"braced body", "match x { 0 => a, _ => b }", "match x { 0 => { a } _ => { b } }", true},
        {"braced body and comma", "match x { 0 => a, _ => b }", "match x { 0 => { a }, _ => { b }, }", true},
        {"if as a body", "match x { 0 => if c { 1 } else { 2 }, _ => 3 }",
         "match x { 0 => { if c { 1 } else { 2 } } _ => 3 }", true},
        {"call and method", "match x { 0 => f(a, b).g(), _ => 3 }", "match x { 0 => { f(a, b).g() } _ => 3 }", true},
        {"nested match", "match x { 0 => match y { 1 => a, _ => b }, _ => c }",
         "match x { 0 => { match y { 1 => { a } _ => b } } _ => c }", true},
        {"next pattern a tuple", "match x { 0 => a, (1, 2) => b }", "match x { 0 => { a } (1, 2) => b }", true},
        {"a statement has type ()", "match x { 0 => { a; } _ => b }", "match x { 0 => a, _ => b }", false},
        {"two statements", "match x { 0 => { if c {} a } _ => b }", "match x { 0 => if c {} a, _ => b }", false},
        {"a let", "match x { 0 => { let y = 1; y } _ => b }", "match x { 0 => let y = 1; y, _ => b }", false},
        {"a block then a method", "match x { 0 => { a }.len(), _ => b }", "match x { 0 => a.len(), _ => b }", false},
        {"a statement macro", "match x { 0 => { m!(a) } _ => b }", "match x { 0 => m!(a), _ => b }", false},
        {"inside a macro", "m!(match x { 0 => { a } _ => b });", "m!(match x { 0 => a, _ => b });", false},
        {"a closure keeps its block", "match x { 0 => |a, b| { a } _ => c }", "match x { 0 => |a, b| a, _ => c }",
         false},
        {"the body is not the next arm's", "match x { 0 => { a } 1 => b, _ => c }",
         "match x { 0 => a 1 => b, _ => c }", false},
    });
}

TEST(RustRewrites, TrailingCommas)
{
    checkTable({
        {"call", "f(a, b,);", "f(a, b);", true},
        {"call of one", "f(a,);", "f(a);", true},
        {"tuple of two", "let t = (a, b,);", "let t = (a, b);", true},
        {"array", "let v = [1, 2,];", "let v = [1, 2];", true},
        {"struct literal", "let s = S { a: 1, b, };", "let s = S { a: 1, b };", true},
        {"struct definition", "struct S { a: u8, }", "struct S { a: u8 }", true},
        {"enum", "enum E { A, B(u8,), }", "enum E { A, B(u8) }", true},
        {"use group", "use a::{b, c,};", "use a::{b, c};", true},
        {"parameters", "fn f<T,>(a: u8,) where T: X, { }", "fn f<T>(a: u8) where T: X { }", true},
        {"match", "match x { _ => a, }", "match x { _ => a }", true},
        {"after a braced arm", "match x { 0 => { f(); } _ => a }", "match x { 0 => { f(); }, _ => a }", true},
        {"one-element tuple", "let t = (a,);", "let t = (a);", false},
        {"one-element tuple after generics", "let t = (F::<A, B>::new(),);", "let t = (F::<A, B>::new());",
         false},
        {"closure in a tuple", "let t = (|a, b| a,);", "let t = (|a, b| a);", false},
        {"index", "x[a,];", "x[a];", false},
        {"rest pattern", "let S { a, .., } = s;", "let S { a, .. } = s;", false},
        {"macro", "vec![1, 2,];", "vec![1, 2];", false},
        {"attribute", "#[a(b,)] fn f() {}", "#[a(b)] fn f() {}", false},
        {"a block", "fn f() { a, }", "fn f() { a }", false},
    });
}

TEST(RustRewrites, Numbers)
{
    checkTable({
        {"hex digits", "0xFF", "0xff", true},
        {"separators", "1_000_u32", "1000u32", true},
        {"exponent letter", "1E5", "1e5", true},
        {"float spelling", "1.50e1", "15.0", true},
        {"trailing dot", "1.", "1.0", true},
        {"leading zeros", "007", "7", true},
        {"suffix against none", "1", "1u8", false},
        {"float suffix", "1.0", "1.0f32", false},
        {"upper-case prefix", "0XFF", "0xFF", false},
        {"radixes", "0x10", "16", false},
        {"octal is not decimal", "0o17", "17", false},
        {"tuple field", "x.0.1", "x.0.10", false},
        {"inside a macro", "m!(0xFF)", "m!(0xff)", false},
    });
}

TEST(RustRewrites, OnlyTheNamedRewrites)
{
    checkTable({{"braces alone", "match x { 0 => a, _ => b }", "match x { 0 => { a } _ => { b } }", true},
                {"no commas", "f(a, b,);", "f(a, b);", false},
                {"no numbers", "0xFF", "0xff", false}},
               rewriteBit(Rewrite::Braces));
}

// One node of rustc's -Zunpretty=ast-tree output: a line and the lines it opens.
struct AstNode {
    std::string head;
    std::vector<AstNode> kids;
};

std::string trim(const std::string &s)
{
    std::size_t a = s.find_first_not_of(" \r\n"), b = s.find_last_not_of(" \r\n");
    return a == std::string::npos ? "" : s.substr(a, b + 1 - a);
}

bool startsWith(const std::string &s, const char *p)
{
    return s.compare(0, std::string(p).size(), p) == 0;
}

// The tree of rustc's AST dump without places, ids, spacing and the token
// copies an item keeps for attribute macros (a macro's or an attribute's own
// tokens stay).
AstNode parseAst(const std::string &text)
{
    AstNode root;
    std::vector<AstNode *> stack{&root};
    int skipping = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t nl = text.find('\n', i);
        if (nl == std::string::npos)
            nl = text.size();
        std::string t = trim(text.substr(i, nl - i));
        i = nl + 1;
        bool closes = t == "}" || t == "}," || t == ")" || t == ")," || t == "]" || t == "],";
        bool opens = !t.empty() && (t.back() == '{' || t.back() == '(' || t.back() == '[');
        if (skipping > 0) {
            skipping += opens ? 1 : closes ? -1 : 0;
            continue;
        }
        if (closes) {
            if (stack.size() > 1)
                stack.pop_back();
            continue;
        }
        bool drop = startsWith(t, "span:") || startsWith(t, "id:") || (startsWith(t, "tokens:") && !opens) ||
                    startsWith(t, "open:") || startsWith(t, "close:") || startsWith(t, "LazyAttrTokenStream(") ||
                    t.find(".rs:") != std::string::npos || t == "Alone," || t == "Joint," || t == "JointHidden," ||
                    t.empty();
        if (drop) {
            skipping = opens ? 1 : 0;
            continue;
        }
        stack.back()->kids.push_back({t, {}});
        if (opens)
            stack.push_back(&stack.back()->kids.back());
    }
    return root;
}

const AstNode *kid(const AstNode &n, const char *prefix)
{
    for (const AstNode &k : n.kids)
        if (startsWith(k.head, prefix))
            return &k;
    return nullptr;
}

bool endsWith(const std::string &s, const char *p)
{
    const std::size_t n = std::string(p).size();
    return s.size() >= n && s.compare(s.size() - n, n, p) == 0;
}

// The expression e, a block that holds one expression and nothing else,
// made that expression.
void unblock(AstNode &e)
{
    const AstNode *block = kid(e, "kind: Block("), *attrs = kid(e, "attrs: []");
    if (!block || !attrs || block->kids.size() != 2 || block->kids[1].head != "None,")
        return;
    const AstNode *stmts = kid(block->kids[0], "stmts: [");
    if (!stmts || stmts->kids.size() != 1 || !kid(block->kids[0], "rules: Default"))
        return;
    const AstNode *expr = kid(stmts->kids[0], "kind: Expr(");
    if (expr && expr->kids.size() == 1) {
        AstNode inner = expr->kids[0];
        e.kids = inner.kids;
    }
}

// A string literal's symbol as the tree shows it (Rust's Debug form of the
// text as written) without its line continuations, which rustc's unescaping
// takes out: a '\\' that ends a line, with the line end and the blanks, tabs
// and line ends after it.
std::string withoutContinuations(const std::string &head)
{
    // The text as written, a character or an escape the Debug form keeps (\u{...}) each.
    std::vector<std::string> text;
    for (std::size_t q = std::string("symbol: \"").size(); q + 1 < head.size() && head[q] != '"'; ++q) {
        if (head[q] != '\\' || q + 1 >= head.size()) {
            text.push_back(std::string(1, head[q]));
            continue;
        }
        const char e = head[++q];
        if (e == 'u') {
            const std::size_t end = head.find('}', q);
            text.push_back(head.substr(q - 1, end + 1 - (q - 1)));
            q = end;
        } else {
            text.push_back(std::string(1, e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e == '0' ? '\0' : e));
        }
    }
    std::string out = "symbol: ";
    for (std::size_t q = 0; q < text.size(); ++q) {
        if (text[q] != "\\" || q + 1 >= text.size()) {
            out += text[q];
            continue;
        }
        if (text[q + 1] != "\n") {
            out += text[q] + text[q + 1];
            ++q;
            continue;
        }
        while (q + 1 < text.size() &&
               (text[q + 1] == " " || text[q + 1] == "\t" || text[q + 1] == "\n" || text[q + 1] == "\r"))
            ++q;
    }
    return out;
}

// The first node under n (n itself too) whose line is head, or nullptr.
AstNode *findNode(AstNode &n, const std::string &head)
{
    if (n.head == head)
        return &n;
    for (AstNode &k : n.kids)
        if (AstNode *f = findNode(k, head))
            return f;
    return nullptr;
}

// A `#[derive(...)]` attribute's tokens without a trailing comma: the
// compiler reads them as a list of paths.
void withoutDeriveComma(AstNode &n)
{
    AstNode *path = n.head == "item: AttrItem {" && !n.kids.empty() ? findNode(n, "path: Path {") : nullptr;
    AstNode *args = path ? findNode(n, "args: Unparsed(") : nullptr;
    AstNode *list = args ? findNode(*args, "tokens: TokenStream(") : nullptr;
    if (!path || !findNode(*path, "ident: derive#0,") || !list || list->kids.size() != 1)
        return;
    std::vector<AstNode> &tokens = list->kids[0].kids;
    if (!tokens.empty() && findNode(tokens.back(), "kind: Comma,"))
        tokens.pop_back();
}

// Takes out what does not change the program: parentheses around an
// expression, a type or a pattern (the tree holds the grouping), empty
// statements, a match arm's or a closure's block that holds one
// expression, a string's line continuations and the trailing comma of
// derive's list.
void simplify(AstNode &n)
{
    for (AstNode &k : n.kids)
        simplify(k);
    withoutDeriveComma(n);
    for (std::size_t q = 1; q < n.kids.size(); ++q)
        if ((n.kids[q - 1].head == "kind: Str," || n.kids[q - 1].head == "kind: ByteStr," ||
             n.kids[q - 1].head == "kind: CStr,") &&
            startsWith(n.kids[q].head, "symbol: \""))
            n.kids[q].head = withoutContinuations(n.kids[q].head);
    n.kids.erase(std::remove_if(n.kids.begin(), n.kids.end(),
                                [](const AstNode &k) {
                                    return k.head == "Stmt {" && k.kids.size() == 1 && k.kids[0].head == "kind: Empty,";
                                }),
                 n.kids.end());
    for (const char *node : {"Expr {", "Ty {", "Pat {"}) {
        const AstNode *paren = endsWith(n.head, node) ? kid(n, "kind: Paren(") : nullptr;
        if (paren && paren->kids.size() == 1 && startsWith(paren->kids[0].head, node)) {
            AstNode inner = paren->kids[0];
            n.kids = inner.kids;
        }
    }
    if (n.head == "body: Expr {")  // a closure's
        unblock(n);
    if (startsWith(n.head, "body: Some(") && n.kids.size() == 1) {
        AstNode &e = n.kids[0];
        const AstNode *block = kid(e, "kind: Block("), *attrs = kid(e, "attrs: []");
        if (!block || !attrs || block->kids.size() != 2 || block->kids[1].head != "None,")
            return;
        const AstNode *stmts = kid(block->kids[0], "stmts: [");
        if (!stmts || stmts->kids.size() != 1 || !kid(block->kids[0], "rules: Default"))
            return;
        const AstNode *expr = kid(stmts->kids[0], "kind: Expr(");
        if (expr && expr->kids.size() == 1) {
            AstNode inner = expr->kids[0];
            e.kids = inner.kids;
        }
    }
}

void flatten(const AstNode &n, std::string &out)
{
    out += n.head + "\n";
    for (const AstNode &k : n.kids)
        flatten(k, out);
    out += "<end>\n";
}

// rustc's parse of the source at path, simplified; empty when it does not parse.
std::string rustcTree(const ScratchDir &dir, const std::string &path)
{
    const std::string out = dir.file("tree.txt");
    if (std::system(("cd '" + dir.path() + "' && RUSTC_BOOTSTRAP=1 rustc --edition 2021 -Zunpretty=ast-tree '" +
                     path + "' >'" + out + "' 2>/dev/null")
                        .c_str()) != 0)
        return "";
    AstNode tree = parseAst(readFile(out));
    simplify(tree);
    std::string flat;
    flatten(tree, flat);
    return flat;
}

constexpr std::size_t kRustSources = 24;  // standard library sources taken, spread over them

// Sources that hold what rustfmt rewrites and the standard library's
// sources seldom do: nested parentheses, empty statements, closure bodies
// in braces, where clauses with trailing commas, long strings, match arm
// blocks.
const char *const kRustSamples[] = {
    "fn parens(a: u32, b: u32) -> u32 {\n    let c = ((a + b));\n    let d = (((a * b)));\n"
    "    let t: ((u32, u32)) = ((a, b));\n    if ((c > d)) { return ((c)); }\n    let ((e)) = ((t.0));\n"
    "    g(((a)), ((b))) + e + (((h((a, b)))))\n}\n",
    "fn empty() {\n    let x = 2;;;\n    ;\n    let y = x + 1;;\n    h(y);;\n    if y > 2 { h(x); };\n"
    "    let z = { 1 };;\n    loop { ;; break; }\n}\n",
    "fn closures(v: Vec<u32>) -> Vec<u32> {\n    let a: Vec<u32> = v.iter().map(|x| { x + 1 }).collect();\n"
    "    let b = v.iter().filter(|x| { **x > 2 }).count();\n    let c = || { a.len() as u32 + b as u32 };\n"
    "    let d = |x: u32| -> u32 { x * 2 };\n    let e = move |x: u32| { if x > 1 { x } else { d(x) } };\n"
    "    v.into_iter().map(|x| x + e(x) + c()).collect()\n}\n",
    "struct W<T>(T) where T: Copy,;\nfn w<T, U>(t: T, u: U) -> T where T: Clone, U: Copy, { let _ = u; t }\n"
    "trait Tr { fn g<T>(t: T) where T: Copy,; }\n"
    "impl<T> Tr for W<T> where T: Copy, { fn g<U>(u: U) where U: Copy, { let _ = u; } }\n",
    "fn strings() -> &'static str {\n    \"a long string that goes on and on, past the width that rustfmt allows "
    "on a line, and then some more words\"\n}\n",
    "fn arms(x: Option<u32>) -> u32 {\n    match x {\n        Some(0) => { 1 }\n        Some(n) => n + 1,\n"
    "        None => {\n            0\n        },\n    }\n}\n",
    "#[derive(Debug, Clone, Copy, PartialEq,)]\nstruct P { x: i32 }\ntype A<T> where T: Copy, = Vec<T>;\n"
    "trait T<> {}\nfn f(v: Option<u32>, w: u32) -> u32 {\n    let a = vec![1, 2, 3,];\n    let b = [w,];\n"
    "    let c = |x: u32, y: u32,| x + y;\n    let d = | | 1;\n    let e = a.iter().map(|x| x + 1,).count();\n"
    "    let g = 0. .to_string();\n    let Some(h) = v else { return 0 };\n"
    "    let k = match v { | Some(1) | Some(2) => 1, | _ => 2 };\n"
    "    c(b[0], d()) + e as u32 + h + k + g.len() as u32 + a.len() as u32\n}\n",
    "trait T<> {}\nstruct S<>(u8);\nimpl<> T for S {}\nfn f<>(v: Vec<u32>) -> usize {\n    let d = | | 1;\n"
    "    let e = move | | v.len();\n    v.iter().map(|x| x + d()).count() + e()\n}\n",
};

// rustfmt with its rewriting options on the standard library's sources; rustc
// parses both sides, and --allow all must call equivalent exactly the pairs
// whose trees are the same (a residue of false alarms is counted apart).
TEST(RustRewritesTools, RustfmtJudgedByRustc)
{
    if (!haveTool("rustc") || !haveTool("rustfmt"))
        GTEST_SKIP() << "rustc or rustfmt is not installed";
    ScratchDir dir;
    const std::string sysroot = trim(capture(dir, "rustc --print sysroot"));
    std::vector<std::string> pages;
    const std::string listed = capture(dir, "find '" + sysroot + "/share/doc/rust/html/src' -name '*.rs.html' | sort");
    for (std::size_t i = 0, nl; (nl = listed.find('\n', i)) != std::string::npos; i = nl + 1)
        pages.push_back(listed.substr(i, nl - i));
    if (pages.empty())
        GTEST_SKIP() << "the toolchain has no rust-docs sources";
    // edition=2021 runs rustfmt's defaults, remove_nested_parens and
    // match_arm_blocks on among them.
    const char *const configs[] = {"edition=2021", "match_arm_blocks=false", "remove_nested_parens=false",
                                   "format_strings=true", "trailing_comma=Always",
                                   "trailing_comma=Never,match_block_trailing_comma=true"};
    constexpr std::size_t kConfigs = sizeof configs / sizeof configs[0];
    // MATCHLING_BEFORE may name another build of the utility, whose figures
    // are printed beside (to measure a change).
    const char *other = std::getenv("MATCHLING_BEFORE");
    int outputs[kConfigs] = {}, same[kConfigs] = {}, accepted[kConfigs] = {}, residue[kConfigs] = {},
        misses[kConfigs] = {}, acceptedBefore[kConfigs] = {}, missesBefore[kConfigs] = {};
    std::vector<std::string> sources(std::begin(kRustSamples), std::end(kRustSamples));
    for (std::size_t i = 0, n = 0; i < pages.size() && n < kRustSources; i += pages.size() / kRustSources + 1) {
        const std::string source = rustdocSource(pages[i]);
        if (!source.empty()) {
            sources.push_back(source);
            ++n;
        }
    }
    for (std::size_t taken = 0; taken < sources.size(); ++taken) {
        const std::string &source = sources[taken], name = "s" + std::to_string(taken) + ".rs";
        if (source.empty())
            continue;
        writeFile(dir.file(name), source);
        const std::string before = rustcTree(dir, name);
        if (taken < std::size(kRustSamples)) {
            EXPECT_FALSE(before.empty()) << "the sample parses";
        }
        if (before.empty())
            continue;
        for (std::size_t c = 0; c < kConfigs; ++c) {
            const char *config = configs[c];
            SCOPED_TRACE(name + " " + config);
            const std::string formatted = "f" + name;
            if (std::system(("cd '" + dir.path() + "' && rustfmt --edition 2021 --config " + config +
                             " --emit stdout --quiet <" + name + " >" + formatted + " 2>/dev/null")
                                .c_str()) != 0 ||
                readFile(dir.file(formatted)) == source)
                continue;
            ++outputs[c];
            const bool sameTree = rustcTree(dir, formatted) == before;
            RunResult r = runMatchling({name, formatted, "--tokens", "--allow", "all", "--exit-status"}, dir.path());
            same[c] += sameTree;
            accepted[c] += sameTree && r.status == 0;
            residue[c] += sameTree && r.status != 0;
            misses[c] += !sameTree && r.status == 0;
            if (other) {
                const bool equal = std::system(("cd '" + dir.path() + "' && '" + other + "' " + name + " " + formatted +
                                                " --tokens --allow all --exit-status --no-wait >/dev/null 2>&1")
                                                   .c_str()) == 0;
                acceptedBefore[c] += sameTree && equal;
                missesBefore[c] += !sameTree && equal;
            }
            EXPECT_FALSE(!sameTree && r.status == 0) << "a different program called equivalent";
            if (sameTree && r.status != 0)
                std::printf("residue: %s %s\n%s\n", name.c_str(), config, r.out.substr(0, 400).c_str());
        }
    }
    int acceptedAll = 0;
    for (std::size_t c = 0; c < kConfigs; ++c) {
        std::printf("rustfmt --config %s: %d outputs, %d the same to rustc, %d accepted, %d residue, %d misses\n",
                    configs[c], outputs[c], same[c], accepted[c], residue[c], misses[c]);
        if (other)
            std::printf("  with %s: %d accepted, %d misses\n", other, acceptedBefore[c], missesBefore[c]);
        EXPECT_EQ(misses[c], 0);
        // Measured: none on these sources, but for format_strings one: a
        // string split inside a macro's input (writeln!), which stays as
        // written.
        EXPECT_LE(residue[c], std::string(configs[c]) == "format_strings=true" ? 1 : 0);
        acceptedAll += accepted[c];
    }
    EXPECT_GT(acceptedAll, 0);
}

}  // namespace
