// Micro-benchmark of the C-family lexer, in bytes per second of source text
// on one core: the whole text lexed from a temporary file already in the page
// cache, every piece taken.
//
// The text is the one bench/normalize_bench.cpp reads: the file or folder
// named by MATCHLING_BENCH_SOURCE, or else the one chosen when building (by
// default this compiler's standard library headers), or else this project's
// own sources; a folder is read whole, its files in byte order of path.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "tokens/lexer.h"

namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every regular file under dir, in byte order of path.
std::string readFolder(const fs::path &dir)
{
    std::vector<std::string> paths;
    for (const auto &entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file())
            paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    std::string all;
    for (const auto &p : paths)
        all += readAll(p);
    return all;
}

std::string readText(const fs::path &path)
{
    return fs::is_directory(path) ? readFolder(path) : readAll(path);
}

const std::string &sourceText()
{
    static const std::string text = [] {
        if (const char *named = std::getenv("MATCHLING_BENCH_SOURCE"))
            return readText(named);
        if (fs::exists(MATCHLING_BENCH_TEXT))
            return readText(MATCHLING_BENCH_TEXT);
        return readFolder(fs::path(MATCHLING_SOURCE_DIR) / "src");
    }();
    return text;
}

// Lexes the text from a temporary file with options; state.range(0) is 1 for
// CR LF line ends.
void lexFile(benchmark::State &state, SourceClass sourceClass, const LexOptions &options)
{
    std::string text = sourceText();
    if (state.range(0)) {
        std::string crlf;
        crlf.reserve(text.size() + text.size() / 16);
        for (char c : text) {
            if (c == '\n')
                crlf += '\r';
            crlf += c;
        }
        text.swap(crlf);
    }
    std::FILE *file = std::tmpfile();
    if (!file || std::fwrite(text.data(), 1, text.size(), file) != text.size()) {
        state.SkipWithError("cannot write a temporary file");
        return;
    }
    std::setvbuf(file, nullptr, _IONBF, 0);
    auto lexer = std::make_unique<Lexer>();
    std::int64_t tokens = 0;
    for (auto _ : state) {
        std::rewind(file);
        SourceStream source;
        source.stream = file;
        lexerStart(*lexer, sourceClass, options, source);
        TokenPiece piece;
        tokens = 0;
        do {
            lexerNext(*lexer, piece);
            tokens += piece.last;
            benchmark::DoNotOptimize(piece.bytes);
        } while (piece.kind != TokenKind::End);
    }
    std::fclose(file);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["tokens"] = static_cast<double>(tokens);
}

void LexC(benchmark::State &state)
{
    lexFile(state, SourceClass::CFamily, LexOptions{});
}

void LexCComments(benchmark::State &state)
{
    LexOptions options;
    options.comments = true;
    lexFile(state, SourceClass::CFamily, options);
}

void LexCSortedIncludes(benchmark::State &state)
{
    LexOptions options;
    options.sortedIncludes = true;
    lexFile(state, SourceClass::CFamily, options);
}

void LexBasic(benchmark::State &state)
{
    lexFile(state, SourceClass::Basic, LexOptions{});
}

BENCHMARK(LexC)->ArgName("crlf")->Arg(0)->Arg(1);
BENCHMARK(LexCComments)->ArgName("crlf")->Arg(0);
BENCHMARK(LexCSortedIncludes)->ArgName("crlf")->Arg(0);
BENCHMARK(LexBasic)->ArgName("crlf")->Arg(0);

} // namespace

BENCHMARK_MAIN();
