// PHP's in-process tests: its near misses first, then the lexer's tests,
// then prettier's PHP plugin judged by PHP's own tokenizer.
//
// Near misses of the PHP lexer: for each decision, a pair that must differ
// if it went wrong and, where it can go the other way, a pair that must
// stay equal.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"
#include "../tree_judge.h"

namespace {

const Language Php = Language::Php;

TEST(PhpNearMiss, InlineHtml)
{
    checkPairs(Php, {
        {"a source without a tag is all text", "<p>a b</p>", "<p>a  b</p>", false},
        {"text equals itself", "<p>a b</p>\n", "<p>a b</p>\n", true},
        {"blanks before the tag count", " <?php echo 1;", "<?php echo 1;", false},
        {"blanks after the tag are layout", "<?php   echo 1;", "<?php\necho 1;", true},
        {"the tag needs a blank after it", "<?phpecho 1;", "<?php echo 1;", false},
        {"the tag at the end", "a<?php", "a<?php ", true},
        {"the tag's case", "<?PHP echo 1;", "<?php echo 1;", false},
        {"an echo tag", "<?= $a ?>", "<?=$a?>", true},
        {"an echo tag against the php tag", "<?= $a ?>", "<?php $a ?>", false},
        {"an xml declaration is text", "<?xml version=\"1.0\"?>\n<?php echo 1;", "<?xml  version=\"1.0\"?>\n<?php echo 1;",
         false},
        {"text between tags counts", "<?php a(); ?> x <?php b();", "<?php a(); ?>x<?php b();", false},
        {"text between tags, same", "<?php a(); ?> x <?php b();", "<?php  a() ;?> x <?php\nb();", true},
        {"a tag in text", "<b><?php echo 1 ?></b>", "<b><?php echo 1 ?> </b>", false},
        {"a carriage return in text counts", "a\r\nb<?php x;", "a\nb<?php x;", false},
        {"text after the last tag", "<?php x(); ?>\nend\n", "<?php x(); ?>\nend", false},
        {"a byte order mark is text", "\xEF\xBB\xBF<?php x;", "<?php x;", false},
    });
}

TEST(PhpNearMiss, CloseTag)
{
    checkPairs(Php, {
        {"the close tag takes its line end", "<?php a() ?>\nb", "<?php a() ?>b", false},
        {"any one line end", "<?php a() ?>\r\nb", "<?php a() ?>\nb", true},
        {"a lone CR", "<?php a() ?>\rb", "<?php a() ?>\nb", true},
        {"one line end only", "<?php a() ?>\n\nb", "<?php a() ?>\nb", false},
        {"a blank after the tag is text", "<?php a() ?> \nb", "<?php a() ?>\nb", false},
        {"the tag closes a statement", "<?php a() ?>", "<?php a(); ?>", false},
        {"a close tag at the end", "<?php a(); ?>", "<?php a();", false},
        {"a line end after the last tag", "<?php a(); ?>\n", "<?php a(); ?>", false},
        {"a line end after the last tag, any", "<?php a(); ?>\r\n", "<?php a(); ?>\n", true},
    });
}

TEST(PhpNearMiss, Comments)
{
    checkPairs(Php, {
        {"a line comment is layout", "<?php a(); // x\nb();", "<?php a();\nb();", true},
        {"a hash comment is layout", "<?php a(); # x\nb();", "<?php a();\nb();", true},
        {"a block comment is layout", "<?php a(/* x */);", "<?php a();", true},
        {"a doc comment is layout", "<?php /** @var int */ $a = 1;", "<?php $a = 1;", true},
        {"an attribute is code", "<?php #[A] function f() {}", "<?php function f() {}", false},
        {"an attribute's layout", "<?php #[A]\nfunction f() {}", "<?php #[ A ] function f() {}", true},
        {"a line comment ends at a close tag", "<?php a(); // x ?>b", "<?php a(); ?>b", true},
        {"the text after it counts", "<?php a(); // x ?>b", "<?php a(); ?>c", false},
        {"a hash comment ends at a close tag", "<?php a(); # x ?>b", "<?php a(); ?>b", true},
        {"a question mark alone goes on", "<?php a(); // x ? y\nb();", "<?php a();\nb();", true},
        {"a line comment ends at a lone CR", "<?php // x\r$a = 1;", "<?php // x\r$a = 2;", false},
        {"a block comment runs over a close tag", "<?php /* ?> */ a();", "<?php a();", true},
        {"a comment against code", "<?php a(); // b();", "<?php a(); b();", false},
    });
}

TEST(PhpNearMiss, Names)
{
    checkPairs(Php, {
        {"keywords as written", "<?php ECHO 1;", "<?php echo 1;", false},
        {"a blank separates names", "<?php a b;", "<?php ab;", false},
        {"a qualified name is one token", "<?php new Foo\\Bar;", "<?php new Foo \\ Bar;", false},
        {"a fully qualified name", "<?php \\strlen($a);", "<?php \\ strlen($a);", false},
        {"a group use", "<?php use A\\{B, C};", "<?php use A\\{ B, C };", true},
        {"a variable", "<?php $a = 1;", "<?php $ a = 1;", false},
        {"a variable variable", "<?php $$a = 1;", "<?php $ $a = 1;", true},
        {"a variable's name", "<?php $ab;", "<?php $a b;", false},
        {"a variable stops at a backslash", "<?php $a\\b;", "<?php $a \\b;", true},
        {"a byte beyond ASCII is a name byte", "<?php $caf\xc3\xa9;", "<?php $caf \xc3\xa9;", false},
        {"a form feed is a token", "<?php a\fb;", "<?php a b;", false},
    });
}

TEST(PhpNearMiss, NumbersAndOperators)
{
    checkPairs(Php, {
        {"a separator", "<?php 1_000;", "<?php 1000;", false},
        {"hex as written", "<?php 0x1F;", "<?php 0x1f;", false},
        {"a float", "<?php 1.5;", "<?php 1 . 5;", false},
        {"a leading dot", "<?php .5;", "<?php . 5;", false},
        {"an exponent's sign", "<?php 1e+5;", "<?php 1e + 5;", false},
        {"a minus after a number", "<?php 1-2;", "<?php 1 - 2;", true},
        {"an octal prefix", "<?php 0o17;", "<?php 0 o17;", false},
        {"a concatenation", "<?php $a.$b;", "<?php $a . $b;", true},
        {"longest operator", "<?php $a === $b;", "<?php $a == = $b;", false},
        {"the spaceship", "<?php $a<=>$b;", "<?php $a <= > $b;", false},
        {"an increment", "<?php $a++ + $b;", "<?php $a + ++$b;", false},
        {"a nullsafe call", "<?php $a?->b;", "<?php $a ?-> b;", true},
        {"two minus signs", "<?php 1 - -1;", "<?php 1--1;", false},
        {"an arrow", "<?php fn($a) => $a;", "<?php fn($a) = > $a;", false},
        {"an ellipsis", "<?php f(...$a);", "<?php f(.. .$a);", false},
        {"a shift is no heredoc", "<?php $a << $b;", "<?php $a<<$b;", true},
    });
}

TEST(PhpNearMiss, Casts)
{
    checkPairs(Php, {
        {"a cast's blanks", "<?php (int)$a;", "<?php ( int ) $a;", true},
        {"a cast's tabs", "<?php (int)$a;", "<?php (\tint\t)$a;", true},
        {"a line end inside is no cast", "<?php (int) - 1;", "<?php (\nint\n) - 1;", false},
        {"a cast's case as written", "<?php (INT)$a;", "<?php (int)$a;", false},
        {"another cast", "<?php (string)$a;", "<?php (bool)$a;", false},
        {"a constant in parentheses", "<?php (inta) - 1;", "<?php ( inta ) - 1;", true},
        {"a cast against parentheses", "<?php (int)$a;", "<?php (integer)$a;", false},
    });
}

TEST(PhpNearMiss, Strings)
{
    checkPairs(Php, {
        {"a blank in a string", "<?php 'a b';", "<?php 'ab';", false},
        {"an escaped quote", "<?php 'a\\'b c';", "<?php 'a\\'b  c';", false},
        {"an escaped backslash ends no string", "<?php 'a\\\\' . 'b c';", "<?php 'a\\\\'.'b c';", true},
        {"quotes as written", "<?php 'a';", "<?php \"a\";", false},
        {"a double-quoted string", "<?php \"a $b c\";", "<?php \"a $b  c\";", false},
        {"a string over lines", "<?php 'a\nb';", "<?php 'a\r\nb';", false},
        {"braces inside", "<?php \"{$a['x y']}\" ;", "<?php \"{$a['x y']}\";", true},
        {"a quote inside braces", "<?php \"{$a[\"k\"]} x\" . b;", "<?php \"{$a[\"k\"]} x\".b;", true},
        {"a quote inside braces, changed", "<?php \"{$a[\"k\"]} x\";", "<?php \"{$a[\"k\"]}  x\";", false},
        {"dollar braces", "<?php \"${a} b\";", "<?php \"${a}  b\";", false},
        {"a brace alone", "<?php \"{ a\"; b;", "<?php \"{ a\";b;", true},
        {"a backtick string", "<?php `ls  -l`;", "<?php `ls -l`;", false},
        {"a binary prefix", "<?php b'a';", "<?php b 'a';", false},
        {"a comment inside braces", "<?php \"{$a /* } */} x\";", "<?php \"{$a /* } */}  x\";", false},
    });
}

TEST(PhpNearMiss, Heredocs)
{
    checkPairs(Php, {
        {"re-indented with its marker", "<?php $a = <<<EOT\n  x\n    y\n  EOT;\n",
         "<?php\n    $a = <<<EOT\n        x\n          y\n        EOT;\n", true},
        {"one line re-indented", "<?php $a = <<<EOT\n  x\n  y\n  EOT;\n", "<?php $a = <<<EOT\n  x\n   y\n  EOT;\n", false},
        {"a blank inside", "<?php <<<EOT\na b\nEOT;\n", "<?php <<<EOT\na  b\nEOT;\n", false},
        {"a variable inside", "<?php <<<EOT\n$a b\nEOT;\n", "<?php <<<EOT\n$a  b\nEOT;\n", false},
        {"a nowdoc", "<?php <<<'EOT'\n  a\n  EOT;\n", "<?php <<<'EOT'\na\nEOT;\n", true},
        {"a nowdoc against a heredoc", "<?php <<<'EOT'\na\nEOT;\n", "<?php <<<EOT\na\nEOT;\n", false},
        {"code after the marker", "<?php f(<<<EOT\na\nEOT, 1);", "<?php f(<<<EOT\na\nEOT , 1);", true},
        {"the body holds no marker", "<?php <<<EOT\nEOTX\nEOT;\n", "<?php <<<EOT\nEOTX\n  EOT;\n", false},
        {"a blank line", "<?php <<<EOT\n  a\n\n  b\n  EOT;\n", "<?php <<<EOT\na\n\nb\nEOT;\n", true},
        {"a short blank line", "<?php <<<EOT\n    a\n  \n    EOT;\n", "<?php <<<EOT\na\n\nEOT;\n", true},
        {"blanks past the indentation", "<?php <<<EOT\n  a\n     \n  EOT;\n", "<?php <<<EOT\na\n\nEOT;\n", false},
        {"an empty heredoc", "<?php <<<EOT\nEOT;\n", "<?php <<<EOT\n  EOT;\n", true},
        {"CR LF in the body counts", "<?php <<<EOT\na\r\nb\nEOT;\n", "<?php <<<EOT\na\nb\nEOT;\n", false},
        {"a quoted marker", "<?php <<<\"EOT\"\na\nEOT;\n", "<?php <<< EOT\r\na\nEOT;\n", true},
        {"a nowdoc's quotes", "<?php <<<'EOT'\na\nEOT;\n", "<?php <<< EOT\na\nEOT;\n", false},
        {"another marker", "<?php <<<EOT\na\nEOT;\n", "<?php <<<EOS\na\nEOS;\n", false},
        {"after the heredoc, layout", "<?php <<<EOT\na\nEOT\n . 'x';", "<?php <<<EOT\na\nEOT . 'x';", true},
    });
}

TEST(PhpNearMiss, HaltCompiler)
{
    checkPairs(Php, {
        {"the data counts", "<?php __halt_compiler(); a  b", "<?php __halt_compiler(); a b", false},
        {"the data's first blank counts", "<?php __halt_compiler(); a", "<?php __halt_compiler();a", false},
        {"the statement's layout", "<?php __halt_compiler();a", "<?php __halt_compiler ( ) ;a", true},
        {"after a close tag", "<?php __halt_compiler() ?>\nx", "<?php __halt_compiler() ?>x", false},
        {"another name", "<?php __halt_compilers(); a  b", "<?php __halt_compilers(); a b", true},
    });
}

TEST(PhpNearMiss, CommentWords)
{
    LexOptions comments;
    comments.comments = true;
    std::vector<PairCase> cases = {
        {"words compare", "<?php a(); // x  y\nb();", "<?php a(); //x y\nb();", true},
        {"an edited word", "<?php a(); // x y\n", "<?php a(); // x z\n", false},
        {"a close tag ends the words", "<?php // x ?>y", "<?php // x ?> y", false},
        {"a hash comment's words", "<?php # x ?>\n", "<?php # x?>\n", true},
        {"a question mark in a word", "<?php // a?b\n", "<?php // a? b\n", false},
        {"a block comment's words", "<?php /* a\n * b */", "<?php /* a b */", true},
    };
    for (PairCase &c : cases)
        c.options = comments;
    checkPairs(Php, cases);
}

// Sources PHP cannot read, and sources this lexer does not hold, refused.
TEST(PhpNearMiss, Refused)
{
    const struct {
        const char *name;
        std::string text;
        const char *reason;
    } cases[] = {
        {"an unterminated string", "<?php 'abc", "not valid PHP at line 1, column 7"},
        {"an unterminated double-quoted string", "<?php\n\"a{$b", "not valid PHP at line 2, column 1"},
        {"an unterminated comment", "<?php /* a", "not valid PHP at line 1, column 7"},
        {"an unterminated heredoc", "<?php <<<EOT\na\n", "not valid PHP at line 1, column 7"},
        {"a body line indented less", "<?php <<<EOT\n    a\n   b\n    EOT;\n", "not valid PHP at line 3, column 1"},
        {"tabs against spaces", "<?php <<<EOT\n\ta\n    EOT;\n", "not valid PHP at line 2, column 1"},
        {"a marker's mixed indentation", "<?php <<<EOT\n \ta\n \tEOT;\n", "not valid PHP at line 3, column 1"},
        {"a short open tag", "<? echo 1; ?>", "a short open tag \"<?\", which PHP reads by its settings"},
        {"a comment in braces", "<?php \"{$a // }\n}\";", "a comment, \"?>\" or heredoc inside a string's braces"},
        {"nesting too deep", "<?php \"{$" + std::string(300, '{'), "strings nested too deep to compare"},
        {"all closed", "<?php <<<EOT\n  a\n\n  EOT;\n'a'; /* b */ \"{$c['}']}\";", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(refusalOf(c.text, Php), c.reason);
    }
}

TEST(PhpLexer, Tokens)
{
    const std::vector<Tok> t = lexText("<p>\n<?php $a = (int) 1_0 ?>\r\n<?= <<<EOT\n  x $a\n  EOT ?>", Php);
    const std::vector<std::string> expected = {"<p>\n", "<?php", "$a", "=", "(int)", "1_0", "?>\n", "<?=",
                                               "<<<EOT\nx $a\nEOT", "?>", ""};
    EXPECT_EQ(keysOf(t), expected);
    EXPECT_EQ(t[1].line, 2);
    EXPECT_EQ(t[7].line, 3);
    EXPECT_EQ(t[9].line, 5);
    EXPECT_EQ(t[9].column, 7);
}

TEST(PhpLexer, LongTokens)
{
    // Tokens longer than the window come out in pieces; a heredoc longer
    // than the window takes the rest of the source as written.
    const std::string body(200000, 'x');
    checkPairs(Php, {
        {"a long text", body + "<?php a;", body + "<?php  a;", true},
        {"a long text's last byte", body + "<?php a;", body + "y<?php a;", false},
        {"a long string", "<?php '" + body + "' ;", "<?php '" + body + "';", true},
        {"a long name", "<?php " + body + " ;", "<?php " + body + ";", true},
        {"a long heredoc as written", "<?php <<<EOT\n" + body + "\nEOT;", "<?php <<<EOT\n" + body + "\nEOT;", true},
        {"and its layout counts", "<?php <<<EOT\n" + body + "\nEOT;", "<?php <<<EOT\n" + body + "\nEOT ;", false},
        {"a long comment", "<?php a; // " + body + "\nb;", "<?php a;\nb;", true},
        {"a long comment before a tag", "<?php a; // " + body + "?>b", "<?php a; ?>b", true},
    });
}

} // namespace

namespace {

const RewriteSet kAllowAll = rewriteBit(Rewrite::Quotes) | rewriteBit(Rewrite::Numbers) |
                             rewriteBit(Rewrite::Commas) | rewriteBit(Rewrite::Semicolons);

TEST(PhpRewrites, Accepted)
{
    checkRewritePairs(Php, kAllowAll, {
        {"quotes by value", "<?php f('a');", "<?php f(\"a\");", true},
        {"an escaped quote", "<?php f('it\\'s');", "<?php f(\"it's\");", true},
        {"an escaped backslash", "<?php f('a\\\\b');", "<?php f(\"a\\\\b\");", true},
        {"a lone backslash is itself", "<?php f('a\\b');", "<?php f(\"a\\\\b\");", true},
        {"an escape in double quotes", "<?php f('a\\n');", "<?php f(\"a\\n\");", false},
        {"a line feed by its escape", "<?php f(\"a\\n\");", "<?php f('a\n');", true},
        {"a dollar is never plain", "<?php f('$x');", "<?php f(\"$x\");", false},
        {"an escaped dollar stays", "<?php f('$x');", "<?php f(\"\\$x\");", false},
        {"a hex escape stays", "<?php f('A');", "<?php f(\"\\x41\");", false},
        {"a backslash before a letter", "<?php f('\\a\\users\\xy');", "<?php f(\"\\a\\users\\xy\");", true},
        {"a unicode escape stays", "<?php f('\\u{41}');", "<?php f(\"\\u{41}\");", false},
        {"an octal escape stays", "<?php f('\\101');", "<?php f(\"\\101\");", false},
        {"an escape's letter", "<?php f('\\e');", "<?php f(\"\\e\");", false},
        {"a binary prefix", "<?php f(b'a');", "<?php f(b\"a\");", true},
        {"a binary prefix kept", "<?php f(b'a');", "<?php f('a');", false},
        {"text is never rewritten", "'a'<?php f();", "\"a\"<?php f();", false},
        {"text after a close tag", "<?php f(); ?>'a'", "<?php f(); ?>\"a\"", false},
        {"the data after __halt_compiler", "<?php __halt_compiler();'a'", "<?php __halt_compiler();\"a\"", false},
        {"hex in any case", "<?php f(0X1F);", "<?php f(0x1f);", true},
        {"a float's trailing zeros", "<?php f(1.50);", "<?php f(1.5);", true},
        {"a float stays a float", "<?php f(1.0);", "<?php f(1);", false},
        {"a leading dot", "<?php f(.5);", "<?php f(0.5);", true},
        {"an exponent's plus", "<?php f(1E+5);", "<?php f(1e5);", true},
        {"an exponent's minus", "<?php f(1e-5);", "<?php f(1e5);", false},
        {"digits differ", "<?php f(0x1F);", "<?php f(0x1E);", false},
        {"a bad number stays", "<?php f(1.5.5);", "<?php f(1.55);", false},
        {"a trailing comma in an array", "<?php f([1, 2,]);", "<?php f([1, 2]);", true},
        {"in a call", "<?php f(1, 2,);", "<?php f(1, 2);", true},
        {"in a match", "<?php match ($a) { 1 => 2, };", "<?php match ($a) { 1 => 2 };", true},
        {"an empty element stays", "<?php [$a, , ] = $b;", "<?php [$a, ] = $b;", false},
        {"a comma between elements", "<?php f(1, 2);", "<?php f(1 2);", false},
        {"in a declaration", "<?php function f($a,) {}", "<?php function f($a) {}", true},
        {"in a variable's call", "<?php $f(1,);", "<?php $f(1);", true},
        {"in a group use", "<?php use A\\{B, C,};", "<?php use A\\{B, C};", true},
        {"an array after return", "<?php return [1,];", "<?php return [1];", true},
        {"not in for, which refuses it", "<?php for (;;$i++,) {}", "<?php for (;;$i++) {}", false},
        {"not in an index", "<?php $a[1,];", "<?php $a[1];", false},
        {"not in a grouping", "<?php $a = (1,);", "<?php $a = (1);", false},
        {"not in a match's subject", "<?php match ($a,) {};", "<?php match ($a) {};", false},
        {"not in a construct's parentheses", "<?php exit(1,);", "<?php exit(1);", false},
        {"not in a block", "<?php class A { public $a, $b, }", "<?php class A { public $a, $b }", false},
        {"a semicolon before a close tag", "<?php f(); ?>", "<?php f() ?>", true},
        {"before a close tag and text", "<?php f(); ?>x", "<?php f() ?>x", true},
        {"before a close tag and an open tag", "<?php f(); ?>\n<?php g();", "<?php f() ?>\n<?php g();", true},
        {"not where an else comes after the next open tag",
         "<?php if ($a) f(); ?><?php else g();", "<?php if ($a) f() ?><?php else g();", false},
        {"a semicolon elsewhere", "<?php f(); g();", "<?php f() g();", false},
    });
}

} // namespace

// PHP sources through prettier's PHP plugin, judged by PHP's own tokenizer
// (token_get_all, tests/languages/php_judge.php): the sources of
// tests/languages/php (written for these tests) and up to kSystemFiles of
// the PHP files this machine holds, each as prettier prints it with its
// defaults and with a wider, two-space setting, and mutants of each.

namespace {

constexpr int kSystemFiles = 40;  // PHP files of /usr taken, in name order

// Judges the pairs of dir a and dir b under root by PHP's own tokens, the
// rewrites prettier makes accepted; pairs of identical files are left out.
TreeTally judgePhp(const std::string &root, const std::string &a, const std::string &b)
{
    return judgeTrees("php '" + std::string(MATCHLING_SOURCE_DIR) + "/tests/languages/php_judge.php' judge", root, a, b,
                      nullptr, {"--allow", "commas,quotes,numbers,semicolons"});
}

TEST(PhpFormatterTools, PrettierJudgedByTokenGetAll)
{
    const std::string npm = std::string(MATCHLING_NPM_TOOLS) + "/../..";
    if (!haveTool("php") || !haveTool("node") || npmTool("prettier").empty() ||
        !exists(npm + "/node_modules/@prettier/plugin-php"))
        GTEST_SKIP() << "php, node and tests/npm's packages are needed (npm ci in tests/npm)";
    ScratchDir dir;
    const std::string source = MATCHLING_SOURCE_DIR;
    ASSERT_EQ(std::system(("php '" + source + "/tests/languages/php_judge.php' make '" + dir.path() + "' '" + source +
                           "'/tests/languages/php/*.php $(find /usr -name '*.php' 2>/dev/null | LC_ALL=C sort | head -" +
                           std::to_string(kSystemFiles) + ")")
                              .c_str()),
              0);
    const struct {
        const char *name;
        const char *options;
    } settings[] = {{"prettier", ""}, {"wide", "--print-width 120 --tab-width 2"}};
    for (const auto &s : settings) {
        const std::string out = dir.file(s.name);
        ASSERT_EQ(std::system(("cp -R '" + dir.file("orig") + "' '" + out + "' && cd '" + npm + "' && '" +
                               npmTool("prettier") + "' --plugin=@prettier/plugin-php " + s.options + " --write '" +
                               out + "' > /dev/null 2>&1; true")
                                  .c_str()),
                  0);
        const TreeTally t = judgePhp(dir.path(), "orig", s.name);
        EXPECT_GT(t.same, 10) << s.name;
        EXPECT_EQ(t.misses, 0) << s.name;
        EXPECT_LE(t.falseAlarms * 50, t.same) << s.name;
    }
    const TreeTally t = judgePhp(dir.path(), "prettier", "wide");
    EXPECT_EQ(t.misses, 0);
    EXPECT_LE(t.falseAlarms * 50, t.same);
    // Mutants: every one flagged, whatever PHP makes of it.
    for (const char *mutant : {"joined", "string", "html", "heredoc", "closenl", "number", "operator"}) {
        const TreeTally m = judgePhp(dir.path(), "orig", mutant);
        EXPECT_GT(m.pairs, 0) << mutant;
        EXPECT_EQ(m.same, 0) << mutant;
        EXPECT_EQ(m.misses, 0) << mutant;
    }
}

} // namespace
