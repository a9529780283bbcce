// Rust's accepted rewrites: match arm bodies, trailing commas, numbers, each
// as a table of pairs that must compare equal or must differ under --allow,
// both ways round; and rustfmt on the standard library's sources with rustc's
// parser as the judge.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "lex_support.h"
#include "support.h"

namespace {

const RewriteSet kAll = 0xff;

void checkTable(std::vector<PairCase> cases, RewriteSet allow = kAll)
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

// Takes out what does not change the program: parentheses (the tree holds
// the grouping), and a match arm's block that holds one expression.
void simplify(AstNode &n)
{
    for (AstNode &k : n.kids)
        simplify(k);
    if (startsWith(n.head, "Expr {")) {
        const AstNode *paren = kid(n, "kind: Paren(");
        if (paren && paren->kids.size() == 1 && startsWith(paren->kids[0].head, "Expr {")) {
            AstNode inner = paren->kids[0];
            n.kids = inner.kids;
        }
    }
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

// Standard output of command, by way of a file in dir; empty when it fails.
std::string capture(const ScratchDir &dir, const std::string &command)
{
    const std::string out = dir.file("captured");
    if (std::system((command + " >'" + out + "' 2>/dev/null").c_str()) != 0)
        return "";
    return readFile(out);
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
    const char *const configs[] = {"edition=2021", "match_arm_blocks=false", "trailing_comma=Always",
                                   "trailing_comma=Never,match_block_trailing_comma=true"};
    int outputs = 0, same = 0, accepted = 0, residue = 0, misses = 0;
    for (std::size_t i = 0, taken = 0; i < pages.size() && taken < kRustSources; i += pages.size() / kRustSources + 1) {
        const std::string source = rustdocSource(pages[i]), name = "s" + std::to_string(taken) + ".rs";
        if (source.empty())
            continue;
        writeFile(dir.file(name), source);
        const std::string before = rustcTree(dir, name);
        if (before.empty())
            continue;
        ++taken;
        for (const char *config : configs) {
            SCOPED_TRACE(name + " " + config);
            const std::string formatted = "f" + name;
            if (std::system(("cd '" + dir.path() + "' && rustfmt --edition 2021 --config " + config +
                             " --emit stdout --quiet <" + name + " >" + formatted + " 2>/dev/null")
                                .c_str()) != 0 ||
                readFile(dir.file(formatted)) == source)
                continue;
            ++outputs;
            const bool sameTree = rustcTree(dir, formatted) == before;
            RunResult r = runMatchling({name, formatted, "--tokens", "--allow", "all", "--exit-status"}, dir.path());
            same += sameTree;
            accepted += sameTree && r.status == 0;
            residue += sameTree && r.status != 0;
            misses += !sameTree && r.status == 0;
            EXPECT_FALSE(!sameTree && r.status == 0) << "a different program called equivalent";
            if (sameTree && r.status != 0)
                std::printf("residue: %s %s\n%s\n", name.c_str(), config, r.out.substr(0, 400).c_str());
        }
    }
    std::printf("rustfmt: %d outputs, %d the same to rustc, %d accepted, %d residue, %d misses\n", outputs, same,
                accepted, residue, misses);
    EXPECT_EQ(misses, 0);
    EXPECT_EQ(residue, 0);  // measured: none on these sources
    EXPECT_GT(accepted, 0);
}

}  // namespace
