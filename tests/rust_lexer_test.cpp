// Tests of the Rust lexer: pairs of sources that must compare equal or must
// differ, and rustc's own lexer and rustfmt on the standard library's sources
// as the toolchain's documentation ships them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "lex_support.h"
#include "support.h"

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
        {"shebang line", "#!/usr/bin/env run-cargo-script\nfn main() {}", "fn main() {}", true},
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
        {"one comment left open", "a " + opens + closes.substr(2) + " b", "a b", false, 1, 2, 1, 3},
    });
}

}  // namespace
