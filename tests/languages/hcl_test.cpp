// HCL's in-process tests: its near misses first, for each decision a pair
// that must differ and, where the decision can go the other way, a pair that
// must stay equal; then the input the lexer refuses, and the relayout and
// token mutants of Terraform samples judged by hcl2json (suite HclReaderTools).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"

namespace {

const Language Hcl = Language::Hcl;

TEST(HclNearMiss, LineEnds)
{
    checkPairs(Hcl, {
        {"blank lines between attributes", "a = 1\nb = 2", "\n\na = 1\n\n\nb = 2\n\n", true},
        {"aligned equals signs", "a = 1\nbbb = 2", "a   = 1\nbbb = 2", true},
        {"a line end ends an attribute", "a = b\nc = d", "a = b c = d", false},
        {"a CR LF line end", "a = 1\r\nb = 2\r\n", "a = 1\nb = 2\n", true},
        {"a lone CR is no line end", "a = 1\rb = 2", "a = 1\nb = 2", false},
        {"a comment's line end ends an attribute", "a = 1 # one\nb = 2", "a = 1\nb = 2", true},
        {"a block comment over lines is no line end", "a = 1 /*\n*/ b = 2", "a = 1\nb = 2", false},
        {"a comment line between attributes", "a = 1\n// one\n/* two */\nb = 2", "a = 1\nb = 2", true},
        {"a line end inside an expression", "a = b +\nc", "a = b + c", false},
        {"line ends inside parentheses", "a = f(1,\n  2\n)", "a = f(1, 2)", true},
        {"line ends inside brackets", "a = [\n  1,\n  2,\n]", "a = [1, 2,]", true},
        {"a tuple's comma", "a = [1, 2]", "a = [1\n2]", false},
        {"indentation in a block", "b {\n    x = 1\n}", "b {\nx = 1\n}", true},
        {"blank lines in a block", "b {\n\n  x = 1\n\n}\n", "b {\n  x = 1\n}", true},
        {"a line end before a block's closing brace", "b {\nx = 1\n}", "b {\nx = 1 }", false},
        {"a block's brace on the next line", "b {\n}", "b\n{\n}", false},
        {"a block after a block", "b {\n}\nc {\n}", "b {\n}\n\nc {\n}", true},
        {"a line end after a block's closing brace", "b {\n}\nc = 1", "b {\n} c = 1", false},
    });
}

TEST(HclNearMiss, Objects)
{
    checkPairs(Hcl, {
        {"an object's line ends", "a = {x = 1, y = 2}", "a = {\n  x = 1\n  y = 2\n}", true},
        {"a comma and a line end are one separator", "a = {x = 1,\n y = 2}", "a = {x = 1, y = 2}", true},
        {"no separator between elements", "a = {x = 1 y = 2}", "a = {x = 1\ny = 2}", false},
        {"a comma after a line end", "a = {x = 1\n, y = 2}", "a = {x = 1, y = 2}", false},
        {"two commas", "a = {x = 1,, y = 2}", "a = {x = 1, y = 2}", false},
        {"a separator before the closing brace", "a = {x = 1,\n}", "a = {x = 1}", true},
        {"a comma before the first element", "a = {, x = 1}", "a = {x = 1}", false},
        {"an object in a block", "b {\n  a = {\n    x = 1\n  }\n}", "b {\n  a = { x = 1 }\n}", true},
        {"an object in an object", "a = {x = {y = 1}, z = 2}", "a = {\nx = {\ny = 1\n}\nz = 2\n}", true},
        {"an object in a tuple", "a = [{x = 1}, {y = 2}]", "a = [\n  {\n    x = 1\n  },\n  {y = 2}\n]", true},
        {"an object in parentheses", "a = f({x = 1})", "a = f({\nx = 1\n})", true},
        {"a for object's line ends", "a = {for k, v in m : k => v}", "a = {\n  for k, v in m :\n  k => v\n}", true},
        {"a for object's comma", "a = {for k, v in m : k => v}", "a = {for k v in m : k => v}", false},
        {"a block is no object", "b {\nx = 1\n}", "b = {\nx = 1\n}", false},
        {"a labelled block", "r \"a\" \"b\" {\n  x = 1\n}", "r \"a\" \"b\" {\n\n  x = 1\n\n}", true},
        {"an object's element order", "a = {x = 1, y = 2}", "a = {y = 2, x = 1}", false},
    });
}

TEST(HclNearMiss, Tokens)
{
    checkPairs(Hcl, {
        {"a dash inside a name", "a = b-c", "a = b - c", false},
        {"a minus before a name", "a = b -c", "a = b - c", true},
        {"a name's digits and dashes", "a = x-1", "a = x - 1", false},
        {"a fraction", "a = 1.5", "a = 1 .5", false},
        {"an exponent", "a = 1e3", "a = 1 e3", false},
        {"an exponent's sign", "a = 1e-3", "a = 1e - 3", false},
        {"a legacy index", "a = x.0.y", "a = x . 0 . y", true},
        {"two equals signs", "a = x == y", "a = x = = y", false},
        {"greater or equal", "a = x >= y", "a = x > = y", false},
        {"and", "a = x && y", "a = x & & y", false},
        {"an arrow", "a = {for k in m : k => 1}", "a = {for k in m : k = > 1}", false},
        {"an ellipsis", "a = f(x...)", "a = f(x. . .)", false},
        {"a splat's blanks", "a = x[*].y", "a = x[ * ] . y", true},
        {"a conditional's blanks", "a = x?1:2", "a = x ? 1 : 2", true},
        {"an unknown byte is a token", "a = x @ y", "a = x y", false},
        {"a byte order mark", "\xEF\xBB\xBF" "a = 1", "a = 1", true},
    });
}

TEST(HclNearMiss, Templates)
{
    checkPairs(Hcl, {
        {"a string's text as written", "a = \"x y\"", "a = \"x  y\"", false},
        {"an escape as written", "a = \"\\n\"", "a = \"n\"", false},
        {"an interpolation's blanks", "a = \"${ x }\"", "a = \"${x}\"", true},
        {"text after an interpolation", "a = \"${x} \"", "a = \"${x}\"", false},
        {"text before an interpolation", "a = \" ${x}\"", "a = \"${x}\"", false},
        {"a strip marker", "a = \"${~x}\"", "a = \"${x}\"", false},
        {"a closing strip marker", "a = \"${x ~}\"", "a = \"${x~}\"", true},
        {"a closing strip marker is no blank", "a = \"${x ~}\"", "a = \"${x}\"", false},
        {"a strip marker is not apart", "a = \"${~x}\"", "a = \"${ ~x}\"", false},
        {"an escaped interpolation is text", "a = \"$${ x}\"", "a = \"$${x}\"", false},
        {"an escaped interpolation is no interpolation", "a = \"$${x}\"", "a = \"${x}\"", false},
        {"an escaped directive is text", "a = \"%%{ x}\"", "a = \"%%{x}\"", false},
        {"a lone dollar is text", "a = \"$ {x}\"", "a = \"$  {x}\"", false},
        {"a directive's blanks", "a = \"%{ if x }y%{ endif }\"", "a = \"%{if x}y%{endif}\"", true},
        {"a directive's text", "a = \"%{ if x } y%{ endif }\"", "a = \"%{if x}y%{endif}\"", false},
        {"a string inside an interpolation", "a = \"${f(\"a b\")}\"", "a = \"${ f( \"a b\" ) }\"", true},
        {"a string inside an interpolation as written", "a = \"${f(\"a b\")}\"", "a = \"${f(\"a  b\")}\"", false},
        {"an interpolation over lines", "a = \"${\n  x\n}\"", "a = \"${x}\"", true},
        {"an object inside an interpolation", "a = \"${ {x = 1}.x }\"", "a = \"${{\nx = 1\n}.x}\"", true},
        {"an escaped quote", "a = \"\\\" ${ x }\"", "a = \"\\\" ${x}\"", true},
        {"a '#' inside a string", "a = \"x#y\"", "a = \"x\"#y", false},
        {"a '//' inside a string", "a = \"x//y\"", "a = \"x\"//y", false},
    });
}

TEST(HclNearMiss, Heredocs)
{
    checkPairs(Hcl, {
        {"a closing marker's indentation", "a = <<EOT\nhi\nEOT\n", "a = <<EOT\nhi\n    EOT  \n", true},
        {"a heredoc's text as written", "a = <<EOT\n  hi\nEOT\n", "a = <<EOT\nhi\nEOT\n", false},
        {"a heredoc's marker", "a = <<EOT\nhi\nEOT\n", "a = <<EOF\nhi\nEOF\n", false},
        {"an indented heredoc re-indented", "a = <<-EOT\n  hi\n    x\n  EOT\n", "a = <<-EOT\n\thi\n\t  x\nEOT\n", true},
        {"an indented heredoc's inner indentation", "a = <<-EOT\n  hi\n    x\nEOT\n", "a = <<-EOT\n  hi\n  x\nEOT\n",
         false},
        {"a line one blank deeper", "a = <<-EOT\n  a\n   b\nEOT\n", "a = <<-EOT\n  a\n  b\nEOT\n", false},
        {"a line one blank deeper re-indented", "a = <<-EOT\n  a\n   b\nEOT\n", "a = <<-EOT\n a\n  b\n EOT\n", true},
        {"an empty line in an indented heredoc", "a = <<-EOT\n  a\n\n  b\nEOT\n", "a = <<-EOT\n    a\n\n    b\nEOT\n", true},
        {"a blank line keeps its blanks", "a = <<-EOT\n  a\n  \n  b\nEOT\n", "a = <<-EOT\n    a\n    \n    b\nEOT\n",
         false},
        {"an interpolation leading a line", "a = <<-EOT\n  a\n${x}\nEOT\n", "a = <<-EOT\n    a\n${x}\nEOT\n", false},
        {"an interpolation later in a line", "a = <<-EOT\n  a ${x}\n  b\nEOT\n", "a = <<-EOT\n a ${x}\n b\nEOT\n", true},
        {"an interpolation over lines", "a = <<-EOT\n  a ${f(\n1)}\n  b\nEOT\n", "a = <<-EOT\n    a ${f(\n1)}\n    b\nEOT\n",
         true},
        {"a strip marker leaves an indented heredoc as written", "a = <<-EOT\n  %{ if x ~}\n  y\n  %{ endif }\nEOT\n",
         "a = <<-EOT\n    %{ if x ~}\n    y\n    %{ endif }\nEOT\n", false},
        {"a comment inside an interpolation", "a = <<-EOT\n  ${x # c\n}\n  b\nEOT\n", "a = <<-EOT\n    ${x # c\n}\n    b\nEOT\n",
         true},
        {"a line led by other white space", "a = <<-EOT\n\xC2\xA0" "a\nEOT\n", "a = <<-EOT\n  \xC2\xA0" "a\nEOT\n", false},
        {"an interpolation's blanks", "a = <<EOT\n${ x }\nEOT\n", "a = <<EOT\n${x}\nEOT\n", true},
        {"a line that starts as the marker", "a = <<EOT\nEOT x\nEOT\n", "a = <<EOT\nEOT  x\nEOT\n", false},
        {"the marker after an interpolation", "a = <<EOT\n${x}EOT\nEOT\n", "a = <<EOT\n${x} EOT\nEOT\n", false},
        {"a heredoc in an object", "a = {\nx = <<EOT\nhi\nEOT\ny = 1\n}", "a = {\nx = <<EOT\nhi\nEOT\n, y = 1\n}", false},
        {"a heredoc's line end ends an attribute", "a = <<EOT\nhi\nEOT\nb = 1", "a = <<EOT\nhi\nEOT\n\nb = 1\n", true},
        {"a heredoc in a template's interpolation", "a = <<EOT\n${<<X\n y\nX\n}\nEOT\n", "a = <<EOT\n${ <<X\n y\n X\n }\nEOT\n",
         true},
        {"a closing marker trimmed of other white space", "a = <<EOT\nx\n\xC2\xA0" "EOT\xC2\xA0\n", "a = <<EOT\nx\nEOT\n", true},
        {"no heredoc after blanks", "a = <<EOT  \nx\nEOT\n", "a = <<EOT\nx\nEOT\n", false},
    });
}

TEST(HclNearMiss, Comments)
{
    LexOptions comments;
    comments.comments = true;
    checkPairs(Hcl, {
        {"comments are layout", "a = 1 # one", "a = 1 // two", true},
        {"a block comment is layout", "/* one */ a = 1", "a = 1", true},
        {"a first #! line is a token", "#!/usr/bin/env run\na = 1", "a = 1", false},
        {"a #! line's blanks after #!", "#!/usr/bin/env run\na = 1", "#! /usr/bin/env run\na = 1", true},
        {"a #! line after the first is a comment", "a = 1\n#!/usr/bin/env run\n", "a = 1\n", true},
        {"a comment's words with --comments", "a = 1 # one", "a = 1 # two", false, 0, 0, 0, 0, Hcl, comments},
        {"a comment's blanks with --comments", "# one  two\na = 1", "#one two\na = 1", true, 0, 0, 0, 0, Hcl, comments},
        {"a comment's line end with --comments", "a = 1 # one\nb = 2", "a = 1\nb = 2", false, 0, 0, 0, 0, Hcl,
         comments},
    });
}

TEST(HclRefused, NotHcl)
{
    // n heredocs, each in a template hole of the one before.
    const auto heredocs = [](int n) {
        std::string text = "a = <<A\n", close = "A\n";
        for (int k = 1; k < n; ++k) {
            text += "${<<A\n";
            close = "A\n}\n" + close;
        }
        return text + "x\n" + close;
    };
    checkRefusals(Hcl, {
        {"a = \"x", "not valid HCL at line 1, column 7"},
        {"a = \"x\ny\"", "not valid HCL at line 1, column 7"},
        {"a = \"x\\\ny\"", "not valid HCL at line 1, column 8"},
        {"a = \"${x\"", "not valid HCL at line 1, column 10"},
        {"a = \"${x}", "not valid HCL at line 1, column 10"},
        {"a = <<EOT\nx\n", "not valid HCL at line 3, column 1"},
        {"a = <<EOT\nx\nEOT", "not valid HCL at line 3, column 4"},
        {"a = <<-EOT\n  x\n  EOT", "not valid HCL at line 3, column 6"},
        {"a = 1 /* x", "not valid HCL at line 1, column 7"},
        {"a = (1", "not valid HCL at line 1, column 7"},
        {"a = 1)", "not valid HCL at line 1, column 6"},
        {"a = [1}", "not valid HCL at line 1, column 7"},
        {"}", "not valid HCL at line 1, column 1"},
        {"b {\n", "not valid HCL at line 2, column 1"},
        {"a = <<" "X23456789012345678901234567890123456789012345678901234567890123456789012345678901234567890"
         "1234567890123456789012345678901234567890\nx\n", "a heredoc marker too long to compare as HCL"},
        {"a = " + std::string(1025, '(') + std::string(1025, ')'), "nested too deeply to compare as HCL"},
        {heredocs(33), "nested too deeply to compare as HCL"},
        {"a = <<EOT\n" + std::string(600, ' ') + "x\nEOT\n", "a heredoc line indented too deeply to compare as HCL"},
        // HCL that reads.
        {"a = " + std::string(1024, '(') + std::string(1024, ')'), ""},
        {heredocs(32), ""},
        {"a = <<EOT\nx\nEOT\n", ""},
        {"a = \"${ {a = 1} }\"", ""},
        {"b {\n  c {\n  }\n}\n", ""},
        {"a = \"%{ for x in y ~}${x}%{ endfor }\"", ""},
        {"a = <<-EOT\r\n  x\r\n  EOT\r\n", ""},
    });
    LexOptions comments;
    comments.comments = true;
    EXPECT_EQ(refusalOf("a = 1 /* x", Hcl, comments), "not valid HCL at line 1, column 7");
}

TEST(HclTokens, LongTokensComeInPieces)
{
    const std::string body(70000, 'x');
    const std::vector<Tok> a = lexText("a = \"" + body + "\"", Hcl);
    ASSERT_EQ(a.size(), 4u);
    EXPECT_EQ(a[2].key, "\"" + body + "\"");
    const std::vector<Tok> h = lexText("a = <<-EOT\n  " + body + "\n  y\n  EOT\nb = 1", Hcl);
    ASSERT_EQ(h.size(), 9u);
    EXPECT_EQ(h[2].key, "<<-EOT\x01") << "too long to measure: as written";
    EXPECT_EQ(h[3].key, "  " + body + "\n  y\nEOT");
    EXPECT_EQ(h[4].kind, TokenKind::LineEnd);
    EXPECT_EQ(h[5].line, 5);
}

} // namespace

// Terraform samples judged by hcl2json, HCL's own parser: no HCL formatter
// is at hand, so relayout mutants stand in for one (tests/npm/hcl_judge.js
// makes them from tests/languages/hcl, each file in several seeded copies).
// A pair the parser calls the same must be equivalent (else a false alarm,
// at most 2% of them), a changed one must not (else a miss); a relayout the
// parser refuses is not judged, a token mutant it refuses must differ too.

namespace {

struct Tally {
    int pairs = 0, same = 0, falseAlarms = 0, changed = 0, misses = 0, unjudged = 0;
};

// Judges the pairs of dir a and dir b under root by the parser's verdicts
// ("DIR NAME VERDICT" lines, those of b taken).
Tally judgeHcl(const std::string &root, const std::string &a, const std::string &b, bool relayout,
               const std::string &verdicts)
{
    Tally t;
    const RunResult r = runMatchling({a, b, "--tokens", "--no-wait"}, root);
    std::istringstream lines(verdicts);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string in, name, verdict;
        fields >> in >> name >> verdict;
        if (in != b)
            continue;
        const bool flagged = r.out.find("Not equivalent: " + name + " ") != std::string::npos ||
                             r.out.find("Unable to compare: " + name + " ") != std::string::npos;
        ++t.pairs;
        if (verdict == "same") {
            ++t.same;
            t.falseAlarms += flagged;
            if (relayout) {
                EXPECT_FALSE(flagged) << "false alarm: " << a << " against " << b << ": " << name;
            }
        } else if (verdict == "differ" || !relayout) {
            ++t.changed;
            t.misses += !flagged;
            EXPECT_TRUE(flagged) << "miss: " << a << " against " << b << ": " << name;
        } else {
            ++t.unjudged;
        }
    }
    std::printf("HCL, %s against %s: %d pairs; %d the same, %d false alarms; %d changed, %d misses; %d unjudged\n",
                a.c_str(), b.c_str(), t.pairs, t.same, t.falseAlarms, t.changed, t.misses, t.unjudged);
    return t;
}

TEST(HclReaderTools, Hcl2jsonJudgesRelayoutsAndMutants)
{
    const std::string npm = std::string(MATCHLING_NPM_TOOLS) + "/../..";
    if (!haveTool("node") || !exists(npm + "/node_modules/@cdktf/hcl2json"))
        GTEST_SKIP() << "node and @cdktf/hcl2json are needed (npm ci in tests/npm)";
    ScratchDir dir;
    const std::string root = dir.path();
    const std::string data = std::string(MATCHLING_SOURCE_DIR) + "/tests/languages/hcl";
    ASSERT_EQ(std::system(("cd '" + npm + "' && node hcl_judge.js make '" + root + "' 8 '" + data + "'/*").c_str()), 0);
    const std::vector<const char *> relayoutDirs = {"align", "indent", "blank", "brackets", "comments", "trailing", "mixed"};
    const std::vector<const char *> mutantDirs = {"number", "text", "split", "joinline", "operator", "dash", "strip", "heredoc"};
    // The parser takes a while a file: its verdicts come from several
    // processes at once, two directories each.
    std::string judges = "cd '" + root + "'";
    std::vector<const char *> all = relayoutDirs;
    all.insert(all.end(), mutantDirs.begin(), mutantDirs.end());
    for (std::size_t k = 0; k < all.size(); k += 2)
        judges += " && { node '" + npm + "/hcl_judge.js' judge orig " + all[k] + (k + 1 < all.size() ? std::string(" ") + all[k + 1] : "") +
                  " > verdicts" + std::to_string(k) + " & }";
    judges += " && wait && cat verdicts*";
    const std::string verdicts = commandOutput(judges);
    Tally relayouts;
    for (const char *relayout : relayoutDirs) {
        const Tally t = judgeHcl(root, "orig", relayout, true, verdicts);
        EXPECT_GT(t.same, 15) << relayout;
        relayouts.same += t.same;
        relayouts.falseAlarms += t.falseAlarms;
        relayouts.misses += t.misses;
    }
    std::printf("HCL relayouts: %d the same, %d false alarms, %d misses\n", relayouts.same, relayouts.falseAlarms,
                relayouts.misses);
    EXPECT_LE(relayouts.falseAlarms * 50, relayouts.same);
    // Token mutants: every one the parser sees changed (or refuses) flagged.
    for (const char *mutant : mutantDirs) {
        const Tally m = judgeHcl(root, "orig", mutant, false, verdicts);
        EXPECT_GT(m.changed, 0) << mutant;
        EXPECT_EQ(m.misses, 0) << mutant;
    }
}

} // namespace
