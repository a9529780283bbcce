// Token streams through their temporary file: written as records and read
// back, a stream must come out as the lexer gave it, and a damaged file must
// end the stream, never the program.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "capture.h"
#include "compare/token_compare.h"
#include "tokens/lexer.h"
#include "tokens/records.h"

namespace {

struct Token {
    TokenKind kind;
    std::string key;
    long long line, column;
    bool operator==(const Token &o) const
    {
        return kind == o.kind && key == o.key && line == o.line && column == o.column;
    }
};

// The whole stream a source of pieces hands out, End included.
std::vector<Token> drain(const PieceSource &source)
{
    std::vector<Token> tokens;
    TokenPiece p;
    do {
        source.next(source.self, p);
        if (p.first)
            tokens.push_back({p.kind, "", p.place.line, p.place.column});
        tokens.back().key.append(p.bytes, p.length);
    } while (p.kind != TokenKind::End);
    return tokens;
}

std::FILE *streamOf(const std::string &bytes)
{
    std::FILE *f = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
    return f;
}

// The records a writer makes of source, block by block.
std::string recordsOf(Lexer &lexer, const std::string &source)
{
    static RunSettings settings;
    static TokenWriter writer;
    std::FILE *in = streamOf(source);
    SourceStream stream;
    stream.stream = in;
    TextProducer producer = tokenRecords(writer, lexer, settings);
    producer.start(producer.self, stream, SourceClass::CFamily);
    EXPECT_TRUE(producer.hasText(producer.self));
    std::string records;
    auto block = std::make_unique<char[]>(kBlockSize);
    std::size_t n;
    do {
        n = producer.fill(producer.self, block.get());
        records.append(block.get(), n);
    } while (n == kBlockSize);
    std::fclose(in);
    return records;
}

std::vector<Token> readBack(const std::string &records)
{
    auto reader = std::make_unique<TokenReader>();
    std::FILE *f = streamOf(records);
    tokenReaderStart(*reader, f);
    std::vector<Token> tokens = drain(readerPieces(*reader));
    std::fclose(f);
    return tokens;
}

std::vector<Token> lexed(Lexer &lexer, const std::string &source)
{
    std::FILE *in = streamOf(source);
    SourceStream stream;
    stream.stream = in;
    lexerStart(lexer, SourceClass::CFamily, LexOptions(), stream);
    std::vector<Token> tokens = drain(lexerPieces(lexer));
    std::fclose(in);
    return tokens;
}

TEST(Records, StreamComesBackAsLexed)
{
    auto lexer = std::make_unique<Lexer>();
    const std::string sources[] = {
        "int main() { return 0; }\n",
        "#define F(x) (x)\nchar *s = \"" + std::string(1 << 20, 'q') + "\";\n" + std::string(300000, ' ') + "x;\n",
        "a\n" + std::string(kBlockSize, ';'),
    };
    for (const std::string &source : sources) {
        SCOPED_TRACE(source.size());
        const std::string records = recordsOf(*lexer, source);
        EXPECT_EQ(readBack(records), lexed(*lexer, source));
    }
}

TEST(Records, DamageEndsTheStream)
{
    auto lexer = std::make_unique<Lexer>();
    const std::string records = recordsOf(*lexer, "int x = 1; // c\nchar c = 'q';\n");
    const std::vector<Token> whole = readBack(records);
    for (std::size_t cut = 0; cut < records.size(); ++cut) {
        SCOPED_TRACE(cut);
        const std::vector<Token> part = readBack(records.substr(0, cut));
        ASSERT_FALSE(part.empty());
        EXPECT_EQ(part.back().kind, TokenKind::End);
        EXPECT_LE(part.size(), whole.size());
    }
    std::string garbage = records;
    for (std::size_t i = 0; i < garbage.size(); i += 3)
        garbage[i] = static_cast<char>(0xff - garbage[i]);
    EXPECT_EQ(readBack(garbage).back().kind, TokenKind::End);
}

TEST(Records, ListingShowsLineFeedsAndZeros)
{
    ConsoleCapture console;
    TokenPiece p;
    p.kind = TokenKind::Code;
    p.bytes = "R\"(a\nb)\"";
    p.length = 8;
    listTokenPiece(p, nullptr);
    p.bytes = "'\0'";
    p.length = 3;
    listTokenPiece(p, nullptr);
    EXPECT_EQ(console.take(), "R\"(a\\nb)\"\n'\\0'\n");
}

} // namespace
