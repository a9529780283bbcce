// Fuzz target: the preparation's two ways through a source side by side. The
// block-by-block normalizer (lines without '/' streamed from the read chunk
// into the block) must give exactly what the line by line reference (every
// line through a line window and the rules) gives: the same normalized text,
// result, error count and reports.
//
// Input: one byte of mode bits, then with bit 8 one byte n, then the source.
// Mode bits: 1 B, 2 C, 4 Basic class; 8 the source comes after lines without
// '/' that fill the first read chunk up to n bytes before its end, so that the
// source straddles the chunk boundary; 16 the source is repeated to 270,000
// bytes, so that blocks fill; 32 every block write fails (the output file is
// open for reading only).
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "console/spool.h"
#include "normalize/normalizer.h"
#include "reference_normalize.h"

namespace {

constexpr std::size_t kRepeatSize = 270000;

std::string scratch;  // directory the preparation runs in
std::string sourcePath, outputPath;

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

std::string readAll(const std::string &path)
{
    std::string s;
    std::FILE *f = std::fopen(path.c_str(), "rb");
    check(f != nullptr, "file read back");
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        s.append(buf, n);
    std::fclose(f);
    return s;
}

struct Outcome {
    int status;
    int errors;
    std::string text;
    std::string console;
};

Outcome normalized(const RunSettings &flags, SourceClass sourceClass, bool lineByLine, bool writesFail)
{
    static Normalizer *normalizer = new Normalizer;
    static char *block = new char[kBlockSize];
    std::FILE *empty = std::fopen(outputPath.c_str(), "wb");
    check(empty && std::fclose(empty) == 0, "output file emptied");
    Preparation p;
    p.path = sourcePath;
    p.tempName = "out.tmp";
    p.source.stream = std::fopen(sourcePath.c_str(), "rb");
    p.output = std::fopen(outputPath.c_str(), writesFail ? "rb" : "w+b");
    check(p.source.stream && p.output, "files opened");
    std::setvbuf(p.source.stream, nullptr, _IONBF, 0);
    std::setvbuf(p.output, nullptr, _IONBF, 0);
    Spool console;
    consoleTo(&console);
    Outcome o;
    if (lineByLine) {
        o.status = writeLineByLine(p, flags, sourceClass, normalizer->input);
    } else {
        normalizerStart(*normalizer, flags, p.source, sourceClass);
        o.status = writeNormalized(p, *normalizer, block);
    }
    consoleTo(nullptr);
    o.errors = p.errors;
    std::fclose(p.source.stream);
    std::fclose(p.output);
    o.text = readAll(outputPath);
    o.console = console.text;
    check(!console.spill, "reports fit in memory");
    return o;
}

void removeScratch()
{
    for (const std::string &p : {sourcePath, outputPath})
        unlink(p.c_str());
    rmdir(scratch.c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    const char *base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    scratch = std::string(base) + "/matchling-fastpath-XXXXXX";
    if (!mkdtemp(&scratch[0]))
        std::abort();
    sourcePath = scratch + "/s.c";
    outputPath = scratch + "/out.tmp";
    std::atexit(removeScratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const unsigned mode = data[0];
    std::size_t skip = 1;
    std::string source;
    if ((mode & 8) && size >= 2) {
        // Lines without '/' up to n bytes before the end of the first chunk.
        const std::size_t want = kReadChunkSize - data[1];
        static const char *const kLines[] = {"int x = 1;\n", "  \ty = f(a, b);\n", "\n", "}\n"};
        for (std::size_t k = 0; source.size() < want; ++k)
            source += kLines[k % 4];
        source.resize(want - 1);
        source += '\n';
        skip = 2;
    }
    std::string unit(reinterpret_cast<const char *>(data + skip), size - skip);
    source += unit;
    if ((mode & 16) && !unit.empty())
        while (source.size() < kRepeatSize)
            source += unit;

    std::FILE *f = std::fopen(sourcePath.c_str(), "wb");
    check(f && std::fwrite(source.data(), 1, source.size(), f) == source.size() && std::fclose(f) == 0,
          "source written");

    RunSettings flags;
    flags.trimLineFeeds = mode & 1;
    flags.handleComments = (mode >> 1) & 1;
    const SourceClass sourceClass = (mode & 4) ? SourceClass::Basic : SourceClass::CFamily;
    const bool writesFail = (mode & 32) != 0;
    const Outcome want = normalized(flags, sourceClass, true, writesFail);
    const Outcome got = normalized(flags, sourceClass, false, writesFail);
    check(got.status == want.status, "same result");
    check(got.errors == want.errors, "same error count");
    check(got.console == want.console, "same reports");
    check(got.text == want.text, "same normalized text");
    return 0;
}
