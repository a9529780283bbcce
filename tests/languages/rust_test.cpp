// Rust's near misses: for each decision the Rust lexer, its rewrite rules and
// its sorted use items make, a pair of sources that must differ if the
// decision went wrong and, where it can go the other way, a pair that must
// stay equal. Each row is one decision; the rows of tests/rust_lexer_test.cpp,
// tests/rust_rewrites_test.cpp and tests/imports_test.cpp are not repeated.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../lex_support.h"

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
        {"byte order mark, then a shebang line", "\xef\xbb\xbf#!/bin/run\nx", "x", true},
        {"#! and a comment before '['", "#! // c\n/* d */ [a]\nx", "#![a]\nx", true},
        {"#! and a doc comment: a shebang line", "#! /// c\n[a]", "[a]", true},
        {"#! and a wide blank before '['", "#!" + kLs + "[a]\nx", "#![a]\nx", true},
        {"#! and U+00A0: a shebang line", "#!" + kNbsp + "[a]\nx", "x", true},
        {"#! past the first line", "x\n#!/bin/run\n", "x\n", false},
    });
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
