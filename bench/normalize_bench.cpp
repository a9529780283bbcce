// Micro-benchmark of the line rules and the text-mode reading, in bytes per
// second of source text on one core.
//
// The text is typical C++: the file or folder named by MATCHLING_BENCH_SOURCE
// in the environment, or else the one chosen when building (by default this
// compiler's standard library headers, about 12 MB, the text bench/run.sh
// repeats), or else this project's own sources. A folder is read whole, its
// files in byte order of path.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench_text.h"
#include "normalize/line_rules.h"
#include "normalize/text_input.h"

namespace {


// The text as the rules receive it: pieces of at most kLineCapacity bytes, each
// up to and including its line feed.
struct Piece {
    std::size_t offset;
    std::size_t length;
};

const std::vector<Piece> &pieces()
{
    static const std::vector<Piece> all = [] {
        std::vector<Piece> v;
        const std::string &t = sourceText();
        std::size_t at = 0;
        while (at < t.size()) {
            std::size_t end = t.find('\n', at);
            end = end == std::string::npos ? t.size() : end + 1;
            std::size_t length = std::min(end - at, kLineCapacity);
            v.push_back({at, length});
            at += length;
        }
        return v;
    }();
    return all;
}

// Runs step on every piece, each copied into a line buffer first, as the reading
// leaves it there.
template <typename Step>
void overPieces(benchmark::State &state, Step step)
{
    static char buffer[kLineBufferSize];
    const std::string &t = sourceText();
    const std::vector<Piece> &all = pieces();
    for (auto _ : state) {
        for (const Piece &p : all) {
            std::memcpy(buffer, t.data() + p.offset, p.length);
            buffer[p.length] = '\0';
            Line line = {buffer, p.length};
            step(line);
            benchmark::DoNotOptimize(line);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * t.size()));
    state.counters["lines"] = static_cast<double>(all.size());
}

// The copy alone: what the figures below include besides the rules.
void CopyOnly(benchmark::State &state)
{
    overPieces(state, [](Line &) {});
}

// Every rule in order with the default switches, on a C-family source.
void LineRules(benchmark::State &state)
{
    const RunSettings flags;
    overPieces(state, [&](Line &line) { benchmark::DoNotOptimize(normalizeLine(line, flags, SourceClass::CFamily)); });
}

void LineRulesBasic(benchmark::State &state)
{
    const RunSettings flags;
    overPieces(state, [&](Line &line) { benchmark::DoNotOptimize(normalizeLine(line, flags, SourceClass::Basic)); });
}

// Each rule alone, on the pieces as read.
void RemoveLeadingBlanks(benchmark::State &state)
{
    overPieces(state, [](Line &line) { benchmark::DoNotOptimize(remove_lb_and_tabs(line)); });
}

void RemoveTrailingBlanks(benchmark::State &state)
{
    overPieces(state, [](Line &line) { remove_tb(line, 0); });
}

void StripCComments(benchmark::State &state)
{
    overPieces(state, [](Line &line) { benchmark::DoNotOptimize(stripCComments(line)); });
}

void RemoveWhiteSpace(benchmark::State &state)
{
    overPieces(state, [](Line &line) { removeWhiteSpace(line); });
}

void CutLineComment(benchmark::State &state)
{
    overPieces(state, [](Line &line) { cutLineComment(line); });
}

// textInputLine over the whole text, from a temporary file already in the page
// cache; state.range(0) is 1 for CR LF line ends.
void TextInput(benchmark::State &state)
{
    std::size_t size = 0;
    std::FILE *file = sourceFile(state.range(0) != 0, size);
    if (!file) {
        state.SkipWithError("cannot write a temporary file");
        return;
    }
    static char buffer[kLineBufferSize + 8];
    static ::TextInput input;
    for (auto _ : state) {
        std::rewind(file);
        SourceStream source;
        source.stream = file;
        textInputStart(input, source);
        while (textInputLine(input, buffer) > 0)
            benchmark::ClobberMemory();
    }
    std::fclose(file);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

BENCHMARK(CopyOnly);
BENCHMARK(LineRules);
BENCHMARK(LineRulesBasic);
BENCHMARK(RemoveLeadingBlanks);
BENCHMARK(RemoveTrailingBlanks);
BENCHMARK(StripCComments);
BENCHMARK(RemoveWhiteSpace);
BENCHMARK(CutLineComment);
BENCHMARK(TextInput)->ArgName("crlf")->Arg(0)->Arg(1);

} // namespace

BENCHMARK_MAIN();
