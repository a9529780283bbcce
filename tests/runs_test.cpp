// Tokens taken in runs (lexerRun) against the same lexer taking every token
// on its own, with the source moved by every offset within 64 bytes and
// windows refilled at other places.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "lex_support.h"
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

// text with 0 to shifts - 1 blanks before it, in runs of several lengths.
void checkRuns(const std::string &text, Language language, std::size_t shifts)
{
    ScratchDir dir;
    const std::string path = dir.file("source");
    for (std::size_t shift = 0; shift < shifts; ++shift) {
        writeFile(path, std::string(shift, ' ') + text);
        const std::vector<Tok> want = lexFile(path, language);
        for (std::size_t runMax : {1, 3, 256}) {
            SCOPED_TRACE(testing::Message() << "shift " << shift << ", runs of " << runMax);
            expectSameTokens(want, lexFileInRuns(path, language, runMax, runMax == 3 ? 5 : 65536));
        }
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
    };
    for (const char *text : kSources)
        checkRuns(text, Language::CFamily, 64);
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

} // namespace
