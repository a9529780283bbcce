// The single run's token comparison, which compares key streams built on two
// threads, must find what the plain token comparison finds: the same verdict,
// places and shown tokens, wherever the difference falls among the batches.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "run/run_state.h"

namespace {

struct Found {
    Verdict verdict;
    int shorter;
    long long lines[2], columns[2];
    std::string shown[2];
};

std::FILE *streamOf(const std::string &bytes)
{
    std::FILE *f = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
    return f;
}

Found found(Verdict verdict, const TokenCompareState &c)
{
    Found r{verdict, c.shorterFile, {}, {}, {}};
    for (int f = 0; f < 2; ++f) {
        r.lines[f] = c.places[f].line;
        r.columns[f] = c.places[f].column;
        r.shown[f].assign(c.shown[f], c.shownLength[f]);
    }
    if (verdict == Verdict::Equivalent)
        r = Found{verdict, 0, {}, {}, {}};
    return r;
}

// Compares a with b both ways: the key streams of two pumps, and the pieces.
void expectSameFinding(TokenState &t, const std::string &a, const std::string &b)
{
    const std::string texts[2] = {a, b};
    std::FILE *in[2], *out[2];
    SourceStream sources[2];
    Found byKeys;
    {
        TokenPiece first[2];
        for (int f = 0; f < 2; ++f) {
            in[f] = streamOf(texts[f]);
            out[f] = std::tmpfile();
            sources[f].stream = in[f];
            lexerStart(t.lexers[f], SourceClass::CFamily, LexOptions(), sources[f]);
            lexerNext(t.lexers[f], first[f]);
        }
        for (int f = 0; f < 2; ++f)
            pumpStart(t.pumps[f], t.lexers[f], first[f], out[f]);
        const Verdict v = compareKeyStreams(t.pumps, t.comparison);
        for (TokenPump &p : t.pumps)
            pumpStop(p);
        byKeys = found(v, t.comparison);
        for (int f = 0; f < 2; ++f) {
            std::fclose(in[f]);
            std::fclose(out[f]);
        }
    }
    PieceSource pieces[2];
    for (int f = 0; f < 2; ++f) {
        in[f] = streamOf(texts[f]);
        sources[f] = SourceStream();
        sources[f].stream = in[f];
        lexerStart(t.lexers[f], SourceClass::CFamily, LexOptions(), sources[f]);
        pieces[f] = lexerPieces(t.lexers[f]);
    }
    const Found byPieces = found(compareTokens(t.comparison, pieces), t.comparison);
    for (std::FILE *f : in)
        std::fclose(f);
    EXPECT_EQ(byKeys.verdict, byPieces.verdict);
    EXPECT_EQ(byKeys.shorter, byPieces.shorter);
    for (int f = 0; f < 2; ++f) {
        EXPECT_EQ(byKeys.lines[f], byPieces.lines[f]) << f;
        EXPECT_EQ(byKeys.columns[f], byPieces.columns[f]) << f;
        EXPECT_EQ(byKeys.shown[f], byPieces.shown[f]) << f;
    }
}

TEST(KeyStreams, AgreeWithThePieces)
{
    std::unique_ptr<TokenState> t(new TokenState);
    // Many short tokens, so that batches fill with tokens, a long string and a
    // string with zero bytes, so that they fill with bytes.
    std::string base;
    for (int i = 0; base.size() < 3 * kKeyBatchBytes; ++i)
        base += "x" + std::to_string(i) + " = f(a, b) >> 2;\n";
    const std::string longString = "s = \"" + std::string(3 * kKeyBatchBytes, 'q') + "\";\n";
    const std::string zeros = "z = \"" + std::string(kKeyBatchBytes, '\0') + "\";\n";
    const std::string texts[] = {base, longString + base, base + zeros + base};
    for (const std::string &text : texts) {
        SCOPED_TRACE(text.size());
        expectSameFinding(*t, text, text);
        expectSameFinding(*t, text, text.substr(0, text.size() / 2));
        expectSameFinding(*t, text.substr(0, text.size() / 3), text);
        // One byte changed near each place a batch could end.
        for (std::size_t at = 1000; at < text.size(); at += text.size() / 7 + 4099) {
            SCOPED_TRACE(at);
            std::string changed = text;
            changed[at] = changed[at] == 'q' ? 'r' : changed[at] == '\0' ? '\1' : changed[at] == ' ' ? '\n' : 'Q';
            expectSameFinding(*t, text, changed);
        }
    }
}

} // namespace
