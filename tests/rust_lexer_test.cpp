// Tests of the Rust lexer: pairs of sources that must compare equal or must
// differ, and rustc's own lexer and rustfmt on the standard library's sources
// as the toolchain's documentation ships them.
#include <gtest/gtest.h>

#include <algorithm>
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
