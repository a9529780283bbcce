// Tokens taken in runs (lexerRun) against the same lexer taking every token
// on its own, with the source moved by every offset within 64 bytes and
// windows refilled at other places.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "languages/languages.h"
#include "lex_support.h"
#include "scan/byte_masks.h"
#include "scan/byte_sets.h"
#include "support.h"

namespace {

void expectSameTokens(const std::vector<Tok> &want, const std::vector<Tok> &got)
{
    ASSERT_EQ(firstDifference(want, got), -1);
    for (std::size_t i = 0; i < want.size(); ++i) {
        ASSERT_EQ(got[i].line, want[i].line) << i << ": " << want[i].key;
        ASSERT_EQ(got[i].column, want[i].column) << i << ": " << want[i].key;
    }
}

// text with 0 to shifts - 1 blanks before it, in runs of several lengths
// (those of 64 tokens and more are taken a block of bytes at a time, and end
// at other places with each bound).
void checkRuns(const std::string &text, Language language, std::size_t shifts)
{
    ScratchDir dir;
    const std::string path = dir.file("source");
    const std::size_t kBounds[][2] = {{1, 65536}, {3, 5}, {3, 65536}, {256, 65536}, {1024, 65536}, {100, 300}, {64, 64}};
    for (std::size_t shift = 0; shift < shifts; ++shift) {
        writeFile(path, std::string(shift, ' ') + text);
        const std::vector<Tok> want = lexFile(path, language);
        for (const auto &bound : kBounds) {
            SCOPED_TRACE(testing::Message() << "shift " << shift << ", runs of " << bound[0] << ", " << bound[1]);
            expectSameTokens(want, lexFileInRuns(path, language, bound[0], bound[1]));
        }
        // Comment words are tokens: no comment is skipped in a run.
        LexOptions words;
        words.comments = true;
        SCOPED_TRACE(testing::Message() << "shift " << shift << ", comment words");
        expectSameTokens(lexFile(path, language, words), lexFileInRuns(path, language, 1024, 65536, words));
    }
}

TEST(Runs, CFamilyTokensAsOneAtATime)
{
    const char *const kSources[] = {
        "a >>= b >> c; x->y; p<::q; return a<::>b; f<g<h>>>(i); j >>>= k;\n",
        "#include <x.h>\n#define F(x) x\\\n + 1\nint v = L\"s\" u8\"t\" R\"(r)\" uR\"(s)\" $\"{a}\" @\"v\";\n",
        "name_that_runs_past_one_block_of_sixty_four_bytes_and_on_into_the_next_block + b\r\n",
        "  if (a && b || c) g(a, b...); // c\n\t/* d\n */ x %= y % z; %: q\n  # p\n  q ## r\n",
        "a\\\nb c\\   \nd +\\\n+ e; 1.5e+3 .5 x.y 0x1'000 \xc3\xa9t\xc3\xa9\v\f\n",
        "\x1a after the end",
        "#define F(x) x\n#define G (y)\n# /* c */ define H/**/(z) 1.5 1e+5 0x1'0\n#include <a.h> // c\n"
        "#include_next <b/c.h>\n#import <d>\n#include <e.h\n#if A >> 2 > B /* c\n d */ && 0x1F\n#endif\n#\n"
        "%:define I(x)\n#pragma once\n  # error 'c'\nx # y\n/* c */ #define J(\n#define\n#define K(a) #a ## a\n",
        // Comments that go over a line inside a directive and after it, with
        // a block's worth of text after them.
        "#define L 0x1 /* a\n b */\n/* c\n d */\n#define M 2 // e\n#define N 3\n"
        "x = y + z; x = y + z; x = y + z; x = y + z; x = y + z; x = y + z; x = y + z;\n",
        // Runs of '>' that a bound may end after any one of them.
        "a>>>>>>=b>>>>=c>>>=d>>=e>>>>>>>>f>>>g->>>h=>>>=i\na>>>>>>=b>>>>=c>>>=d>>=e>>>>>>>>f>>>g->>>h=>>>=i\n",
        // Three-byte punctuators at every place of a block's end.
        "z\naaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa ... >>= <<= %:%: ->* ..5 x\n",
    };
    for (const char *text : kSources)
        checkRuns(text, Language::CFamily, 64);
}

// About 60,000 bytes of tokens drawn at random, one rare one in forty, with
// gaps between them (mostly the first five), so that every kind of token and
// of gap meets every place in a block and every end of a run.
template <std::size_t C, std::size_t R, std::size_t G>
std::string tokenSoup(const char *const (&common)[C], const char *const (&rare)[R], const char *const (&gaps)[G])
{
    std::uint32_t seed = 12345;
    auto next = [&seed](std::size_t n) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<std::size_t>(seed >> 8) % n;
    };
    std::string text;
    while (text.size() < 60000) {
        const bool isRare = next(40) == 0;
        text += isRare ? rare[next(R)] : common[next(C)];
        text += gaps[next(next(8) == 0 ? G : 5)];
    }
    return text;
}

TEST(Runs, CFamilyTokenSoupAsOneAtATime)
{
    // Mostly tokens that blocks take, so that runs also end at their bounds.
    const char *const kCommon[] = {
        "a", "name_of_some_length", "$x", "u8", "L", "R", "\xc3\xa9", "0", "12", "0x1F", "x", ".", "..", ">", ">>",
        "-", "+", "*", "/", "%", ":", "<", "=", "!", "&", "|", "?", "^", "(", ")", "[", "]", "{", "}", ";", ",", "~",
    };
    const char *const kRare[] = {
        "1.5", "1e+5", "0x1p-3", "1'000", ".5", "x.y", "...", ">>=", "<<=", "<::", "<:", ":>", "<%", "%>", "%:",
        "%:%:", "->*", "->", "++", "+++", "&&", "=>", "??", "?\?=", "::", "<=>", "#", "##", "@", "`", "\\",
        "\"s\"", "'c'", "L\"w\"", "R\"(r)\"", "/* c */", "/*\n*/", "// c\n", "\x01", "\xff",
        "\n#define F(x) x\n", "\n#include <h.h>\n", "\n#if A > 1\n", "\n# define G(", "\n#x /*\n*/ y\n",
        "\n#define W 1 + 2 /* a\n b */\n",
        "/**\n   *  a comment of some lines, longer than\n   *  a block or two: * / and /* and **\n   */",
        "/*********************************************************************/",
        "/* a comment whose end is spliced, past a block's bytes from its start *\\\n/",
    };
    const char *const kGaps[] = {"", "", "", " ", " ", "\n", "\r\n", "\t", "\\\n", "  \n  "};
    checkRuns(tokenSoup(kCommon, kRare, kGaps), Language::CFamily, 9);
}

TEST(Runs, JsonTokenSoupAsOneAtATime)
{
    // Strings long and short, across blocks; escapes, signs, dots and
    // comments, which the general steps take, now and then.
    const char *const kCommon[] = {
        "{", "}", "[", "]", ":", ",", "\"key\"", "\"\"", "\"a string that is longer than some blocks are, with "
        "a / and a . and a - in it, and more words to go past sixty-four bytes\"", "\"\xc3\xa9\"", "true", "null",
        "0", "123", "1a", "\xc3\xa9", "@", "'", "\"x\"\"y\"", "\"\r\"",
    };
    const char *const kRare[] = {
        "-1", "1.5", "1e+5", "1E-2", "1e-", "x-", "-", "+", ".", "/", "// c\n", "/* c */", "/*\n*/", "\"a\\\"b\"", "\"\\\\\"",
        "\"open\n", "\\", "\"\\\n\"", "\x01", "\v", "\f",
    };
    const char *const kGaps[] = {"", "", " ", "\n", "  ", "\r\n", "\t", "\n    "};
    // The \x01 bytes as zero bytes, which no key of a run holds.
    std::string text = tokenSoup(kCommon, kRare, kGaps);
    std::replace(text.begin(), text.end(), '\x01', '\0');
    checkRuns(text, Language::Json, 9);
}

TEST(Runs, CssTokenSoupAsOneAtATime)
{
    // What runs take, in every statement (selectors, declarations, at-rules,
    // blocks), and now and then what the general steps take: strings, urls,
    // comments, escapes, at-keywords, interpolations, operators.
    const char *const kCommon[] = {
        "a", "div", "-webkit-box", "--v", "_x", "\xc3\xa9", "0", "12px", "1.5em", "-3", "+4", ".5", "-.5", "1e3",
        "50%", "#fff", "#a1", ".c", "*", "!", ">", "~", "+", "-", "{", "}", "(", ")", "[", "]", ";", ";", ",", ":",
        "::", "rgb(", "selector(", "a:b", "x: 1px 2px;", "}", "{", "$v", "@v", "e-x", "1e-x",
    };
    const char *const kRare[] = {
        "\"s\"", "'t'", "url(a.png)", "url( b )", "URL(c)", "/* c */", "/*\n*/", "// c\n", "\\41 ", "a\\b",
        "@media", "@include", "#{$a}", "@{b}", "-->", "<!--", "U+1F", "u+a?", "~=", ">=", "*=", "!=", "||", "...",
        "..", "&", "%p", "\xef\xbb\xbf", "\"open\n", "\\\n", "url(bad", "1.2.3", "+.5e+2", "--",
    };
    const char *const kGaps[] = {"", "", " ", "\n", "  ", "\r\n", "\t", "\n    ", "; ", " ; }"};
    for (Language language : {Language::Css, Language::Scss, Language::Less}) {
        SCOPED_TRACE(static_cast<int>(language));
        checkRuns(tokenSoup(kCommon, kRare, kGaps), language, 5);
    }
}

TEST(Runs, CssOfThisMachineAsOneAtATime)
{
    // Real style sheets: long statements, long blocks of declarations.
    std::string text;
    for (const char *path : {"/usr/share/doc/python3/_static/basic.css", "/usr/share/gitweb/static/gitweb.css",
                             "/usr/share/doc/libexpat1-dev/expat.html/ok.min.css"})
        if (std::filesystem::exists(path))
            text += readFile(path) + "\n";
    if (text.empty())
        GTEST_SKIP() << "no style sheets of this machine found";
    checkRuns(text, Language::Css, 3);
    checkRuns(text, Language::Scss, 2);
}

TEST(Runs, RubyAsOneAtATime)
{
    // The tests' samples, and keys a run leaves to the pieces: a zero byte
    // in a string and in a character literal, operators read as unary, a
    // heredoc's body, a CR LF in a literal, tokens that span lines.
    const std::string dir = std::string(MATCHLING_SOURCE_DIR) + "/tests/languages/ruby/";
    checkRuns(readFile(dir + "sample.rb") + readFile(dir + "mutants.rb"), Language::Ruby, 2);
    const char kKeys[] = "x = \"a\0b\" + ?\0 + ?a\nfoo -x, *y\ns = <<~A\n  b\n  c\nA\nt = 'd\r\ne'\n%w[f\n g]\n";
    checkRuns(std::string(kKeys, sizeof kKeys - 1), Language::Ruby, 3);
}

TEST(Runs, ShellTokenSoupAsOneAtATime)
{
    // Words, reserved words, operators and redirections, with line ends and
    // comments between them, which runs take; and now and then what the
    // general steps take: quotes, expansions, escapes, here-documents,
    // arithmetic, arrays, extended globs, [[ ]] and case. Each piece is whole
    // (its quotes and brackets closed), so that the soup stays readable.
    const char *const kCommon[] = {
        "a", "echo", "name_of_some_length", "-n", "--long=x", "x=1", "/usr/bin/env", "{", "}", "[", "]", "!",
        "if", "then", "else", "elif", "fi", "do", "done", "while", "until", "for", "in", "case", "esac", "x)",
        "time", "{a}", "\xc3\xa9", "a#b", "0", "12", "|", "||", "&&", "&", ";", ";;", ">", ">>", "<", "2>",
        "2>&1", ">&2", "<>", ">|", "f()", "( a )", "# c\n", "\n", "\n", "a=b", "\r",
    };
    const char *const kRare[] = {
        "'s'", "\"d $x\"", "$x", "${y:-z}", "$(b c)", "`c`", "$((1+2))", "a\\\nb", "\\ ", "\\\n", "<<E\nbody\nE\n",
        "<<-'E'\n\tbody\n\tE\n", "<<<w", "<(p)", ">(q)", "arr=(a b)", "@(x|y)", "[[ a =~ ^(b)$ ]]", "for i\ndo",
        "esac", ";&", ";;&", "&>", "&>>", "|&", "((i++))", "for ((i=0; i<2; i++))", "$'a\\n'", "$\"t\"",
        "{fd}>f", "f(){ a; }", "case w in (x) a;; y|z) b\nesac", "\t", "#!", "a'b'c", "$@", "$#", "$$",
        "\"$(b)\"", "\"${y}\"", "${a\nb}", "${x:-'q'}", "\"${y:-\"z\"}\"", "\"line\nfeed\"", "'x\ny'",
        "\"a $(b) `c` \\\" ${d} $\\\n(e) $\"", "x$(y)z", "$(a)$(b)", "a=$(b \"$(c)\" $(d; e\n))", "$( $(f) )g",
        "$(a)2>f", "$(\n)",
        "<<A cat <<'B'\na\nA\nb\nB\n", "<<E\nx\\\nE\nE\n", "<<'E'\nx\\\nE\n", "<<E\nx\\\\\nE\n", "<<E\nE\n",
        "<<\"E\"\n\tE\n E\nEE\nE\n", "$(<<E\n)\nE\n)",
    };
    const char *const kGaps[] = {"", " ", " ", " ", "\n", "\t", "  ", ";\n", "\n\n  ", "\\\n"};
    checkRuns(tokenSoup(kCommon, kRare, kGaps), Language::Shell, 9);
    // Frames nested as deep as they go: a quote or a ${...} that would open
    // one more makes the rest unreadable.
    for (std::size_t nest : {60, 61, 62, 63}) {
        std::string open, close;
        for (std::size_t k = 0; k < nest; ++k)
            open += "$(", close += ")";
        checkRuns("echo " + open + "a \"b\" c\n\td ${e} f" + close + "\ng\n", Language::Shell, 4);
    }
    // A $(...) as a here-document's delimiter, which the general steps refuse.
    for (const char *text : {"cat <<$(x)\na b\n", "cat <<$(x y) z\nE\n", "cat <<a$(x)\nb\n"})
        checkRuns(text, Language::Shell, 4);
}

TEST(Runs, ShellOfThisMachineAsOneAtATime)
{
    // Real scripts, those the lexer reads to their end, one after another
    // (more than a window of them, so that refills come at other places
    // with each shift).
    std::vector<std::string> paths;
    std::error_code error;
    for (const char *dir : {"/usr/share", "/etc/init.d"})
        for (std::filesystem::recursive_directory_iterator it(
                 dir, std::filesystem::directory_options::skip_permission_denied, error),
             end;
             it != end; it.increment(error))
            if ((it->path().extension() == ".sh" || std::string(dir) == "/etc/init.d") && it->is_regular_file(error))
                paths.push_back(it->path().string());
    std::sort(paths.begin(), paths.end());
    std::string text;
    for (const std::string &path : paths) {
        const std::string script = readFile(path);
        const std::vector<Tok> tokens = lexText(script, Language::Shell);
        const bool readable = std::none_of(tokens.begin(), tokens.end(),
                                           [](const Tok &t) { return t.kind == TokenKind::LineEnd; });
        if (readable && text.size() < 400000)
            text += script + "\n";
    }
    if (text.size() < 2 * kLexWindowSize)
        GTEST_SKIP() << "too few scripts on this machine";
    checkRuns(text, Language::Shell, 3);
}

TEST(Runs, MarkdownAsOneAtATime)
{
    if (!languageBuilt(Language::Markdown))
        GTEST_SKIP() << "Markdown is not in this build";
    // Words, structure, code blocks read by their language (comments and
    // bad input among them) and verbatim lines with a zero byte, which runs
    // leave to lexerNext.
    std::string text = "---\na: 1\n---\n# Title\n\nSome *words* and `code`, a [link](x \"t\").\n\n"
                       "```c\nint x; /* c */\n```\n\n```sh\necho 'open\n```\n\n    zero \x01 byte\n\n"
                       "- [ ] a\n- b  \n  c\n\n| a | b |\n|:-|-:|\n| 1 | 2 |\n\n<div>\n html \n</div>\n";
    std::replace(text.begin(), text.end(), '\x01', '\0');
    std::string all;
    for (int k = 0; k < 40; ++k)
        all += text + "\n";
    checkRuns(all, Language::Markdown, 2);
    // An empty document: the End alone, at its start.
    const std::vector<Tok> empty = lexText("", Language::Markdown);
    ASSERT_EQ(empty.size(), 1u);
    EXPECT_EQ(empty[0].kind, TokenKind::End);
    // The End stands where the last token's text ends (a code span's before
    // its closing backquote), on its last line when it spans two.
    for (const auto &[source, line, column] : {std::tuple<const char *, int, int>{"a `b\nc`", 2, 2},
                                               {"a `b c`", 1, 7}, {"a\nbc", 2, 3}}) {
        SCOPED_TRACE(source);
        const std::vector<Tok> tokens = lexText(source, Language::Markdown);
        ASSERT_FALSE(tokens.empty());
        EXPECT_EQ(tokens.back().line, line);
        EXPECT_EQ(tokens.back().column, column);
    }
    LexOptions comments;
    comments.comments = true;
    ScratchDir dir;
    writeFile(dir.file("source"), all);
    EXPECT_EQ(firstDifference(lexFile(dir.file("source"), Language::Markdown, comments),
                              lexFileInRuns(dir.file("source"), Language::Markdown, 64, 65536, comments)),
              -1);
    // Code indented by tabs, which cmark-gfm expands into more blanks than the bytes before them: the
    // line stands after the tab its indentation takes.
    writeFile(dir.file("source"), "\t\t\t\t\t\t\t\t\t\t\t\t\t\b\t\t");
    const std::vector<Tok> one = lexFile(dir.file("source"), Language::Markdown);
    const std::vector<Tok> inRuns = lexFileInRuns(dir.file("source"), Language::Markdown, 64, 65536);
    EXPECT_EQ(firstDifference(one, inRuns), -1);
    ASSERT_EQ(inRuns.size(), 4u);
    EXPECT_EQ(inRuns[1].column, 2);
}

TEST(Runs, CFamilyTokensOfThisProjectAsOneAtATime)
{
    // More than a window of real C++: the window's refills come at other places
    // with each shift.
    std::vector<std::string> paths;
    for (const char *dir : {"src/tokens", "src/run", "src/rewrites"})
        for (const auto &entry :
             std::filesystem::directory_iterator(nativePath(std::string(MATCHLING_SOURCE_DIR) + "/" + dir)))
            paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    std::string text;
    for (const std::string &path : paths)
        text += readFile(path);
    ASSERT_GT(text.size(), 2 * kLexWindowSize);
    checkRuns(text, Language::CFamily, 3);
}

#ifdef MATCHLING_MASKS_X86
// A class table of many nibble products: letters, digits, blanks, line
// feeds, quotes, escapes and high bytes, punctuators left in class 0.
constexpr ClassTable testClasses()
{
    ClassTable t{};
    for (int c = 0; c < 256; ++c)
        t.of[c] = static_cast<unsigned char>(
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ? 1
            : c >= '0' && c <= '9'                             ? 2
            : c == ' ' || c == '\t' || c == '\r' || c == '\f' ? 3
            : c == '\n'                                        ? 4
            : c == '"' || c == '\'' || c == '`'                ? 5
            : c == '\\' || c == 0 || c == '_'                  ? 6
            : c >= 0x80 || c == '$'                            ? 7
                                                               : 0);
    t.rest = 0;
    return t;
}
constexpr ClassTable kTestClasses = testClasses();
constexpr NibbleTables kTestNibbles = nibbleTables(kTestClasses);

// Brackets in class 0, and the rest class (the complement of the others) 3.
constexpr ClassTable restClasses()
{
    ClassTable t{};
    for (int c = 0; c < 256; ++c) {
        bool bracket = false;
        for (const char *p = "()[]{};,"; *p; ++p)
            bracket = bracket || c == *p;
        t.of[c] = static_cast<unsigned char>((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ? 1
                                             : c >= '0' && c <= '9'                             ? 2
                                             : c == '\n'                                        ? 4
                                             : bracket                                          ? 0
                                                                                                : 3);
    }
    t.rest = 3;
    return t;
}
constexpr ClassTable kRestClasses = restClasses();
constexpr NibbleTables kRestNibbles = nibbleTables(kRestClasses);

TEST(Runs, VectorByteClassesAsTheByteLoop)
{
    if (!vectorMasks())
        GTEST_SKIP() << "the processor has no AVX2";
    // Every byte value at every place of a block, among others.
    char block[kMaskBlock];
    for (int c = 0; c < 256; ++c)
        for (unsigned at = 0; at < kMaskBlock; ++at) {
            for (unsigned k = 0; k < kMaskBlock; ++k)
                block[k] = static_cast<char>((c + 37 * k + at) % 256);
            block[at] = static_cast<char>(c);
            ByteMasks vector, bytes;
            classifyBlockAvx2(block, vector);
            classifyBlockPortable(block, bytes);
            ASSERT_EQ(std::memcmp(&vector, &bytes, sizeof vector), 0) << "byte " << c << " at " << at;
            SetMasks vectorSets, byteSets;
            classifySetsAvx2<kTestNibbles>(block, vectorSets);
            classifySetsPortable(block, kTestClasses, byteSets);
            ASSERT_EQ(std::memcmp(&vectorSets, &byteSets, sizeof vectorSets), 0) << "byte " << c << " at " << at;
            classifySetsAvx2<kRestNibbles>(block, vectorSets);
            classifySetsPortable(block, kRestClasses, byteSets);
            ASSERT_EQ(std::memcmp(&vectorSets, &byteSets, sizeof vectorSets), 0) << "byte " << c << " at " << at;
        }
}

TEST(Runs, VectorBitCountsAsPortable)
{
    if (!vectorMasks())
        GTEST_SKIP() << "the processor has no AVX2";
    // Masks empty, full, of one bit at either end, and of scattered bits.
    std::vector<std::uint64_t> masks = {0, 1, ~std::uint64_t{0}, std::uint64_t{1} << 63, std::uint64_t{1} << 62};
    for (std::uint64_t x = 0x9e3779b97f4a7c15u; masks.size() < 64; x = x * 6364136223846793005u + 1442695040888963407u)
        masks.push_back(x >> (masks.size() % 61));
    for (std::uint64_t m : masks) {
        ASSERT_EQ(VectorBits::lowest(m), PortableBits::lowest(m)) << m;
        for (unsigned k = 0; k < 64; ++k) {
            const std::uint64_t below = PortableBits::below(m, k);
            ASSERT_EQ(VectorBits::below(m, k), below) << m << " below " << k;
            ASSERT_EQ(VectorBits::pastHighest(below), PortableBits::pastHighest(below)) << below;
        }
    }
}
#endif

} // namespace
