// Fuzz target: the block comparison of two normalized texts (compareFiles),
// checked against a plain model of the comparison and of its report.
//
// Input: one mode byte (1: the second text is the first; 2: the second text is
// the first with one byte changed; 4: both start with a common text whose
// length the next two bytes give in units of 4,099 bytes, so that the texts
// span several 262,144-byte blocks), then those two bytes, one byte splitting
// the rest into the two texts' own ends, and the rest.
// Properties checked, beyond the sanitizers:
// - a text compared with itself is equivalent and nothing is printed;
// - texts that differ give 1, one more error, and exactly the report the model
//   gives: the mismatch report at the first differing byte, or the byte-count
//   report for the first pair of blocks whose sizes differ.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "compare/compare.h"
#include "console/spool.h"

// Checks on long texts must not feed the fuzzer's comparison tracing: it would
// cost more than the code under test.
#define NOT_TRACED __attribute__((no_sanitize("coverage")))

namespace {

constexpr std::size_t kStartUnit = 4099;  // bytes per unit of the common start

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

// What "%s" prints of n bytes from p: up to the first zero.
NOT_TRACED std::string asString(const char *p, std::size_t n)
{
    std::size_t len = strnlen(p, n);
    return std::string(p, len);
}

std::string number(long long n)
{
    return std::to_string(n);
}

// The report the comparison must print for texts a and b, and "" when they are equivalent.
NOT_TRACED std::string expectedReport(const std::string &a, const std::string &b, const char *name1, const char *name2)
{
    long long blocks1 = 0, blocks2 = 0;
    for (std::size_t start = 0;; start += kBlockSize) {
        std::size_t c1 = a.size() > start ? std::min(kBlockSize, a.size() - start) : 0;
        std::size_t c2 = b.size() > start ? std::min(kBlockSize, b.size() - start) : 0;
        blocks1 += c1 > 0;
        blocks2 += c2 > 0;
        if (c1 != c2) {
            std::size_t k = std::min(std::min(c1, c2), kContextSize - 1);
            return "Matchling==>  Byte Count error in compareFiles() \n"
                   "Matchling==>  Inputfile1 blocks read = " + number(blocks1) + " \n"
                   "Matchling==>  Inputfile1 bytes read in last block = " + number(c1) + " \n"
                   "Matchling==>  Inputfile2 blocks read = " + number(blocks2) + " \n"
                   "Matchling==>  Inputfile2 bytes read in last block = " + number(c2) + " \n"
                   "Matchling==>  Program will abort \n"
                   "Matchling==> Beg. of block string from first  input file: \n" +
                   asString(a.data() + start, k) + " \n\n" +
                   "Matchling==> Beg. of block string from second input file: \n" +
                   asString(b.data() + start, k) + " \n\n";
        }
        if (c1 == 0)
            return "";
        for (std::size_t i = 0; i < c1; ++i) {
            if (a[start + i] == b[start + i])
                continue;
            std::size_t n = std::min(kContextSize - 1, c1 - i);
            const std::string n1 = name1, n2 = name2;
            return "Matchling==> Mismatch at offset " + number(static_cast<long long>(start + i)) + " for " + n1 +
                   " \n" + "Matchling==> Character from " + n1 + " '" + a[start + i] + "' \n" +
                   "Matchling==> String from " + n1 + ": \n" + asString(a.data() + start + i, n) + " \n\n" +
                   "Matchling==> Character from " + n2 + " '" + b[start + i] + "' \n" +
                   "Matchling==> String from " + n2 + ": \n" + asString(b.data() + start + i, n) + " \n";
        }
    }
}

std::FILE *streamOver(std::string &text)
{
    // A stream over no bytes at all: read end of file at once.
    static char none = 0;
    std::FILE *f = text.empty() ? fmemopen(&none, 1, "rb") : fmemopen(&text[0], text.size(), "rb");
    check(f != nullptr, "stream opened");
    if (text.empty())
        std::fgetc(f);
    return f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 4)
        return 0;
    int mode = data[0] & 3;
    // Long texts cost time: only mode bit 4 gives a common start.
    std::size_t common = (data[0] & 4) ? (static_cast<std::size_t>(data[1]) << 8 | data[2]) % 200 * kStartUnit : 0;
    const char *rest = reinterpret_cast<const char *>(data + 4);
    std::size_t restSize = size - 4;
    std::size_t split = restSize ? data[3] % (restSize + 1) : 0;

    static const std::string filler = [] {
        std::string f(200 * kStartUnit, ' ');
        for (std::size_t i = 0; i < f.size(); ++i)
            f[i] = static_cast<char>('!' + i % 90);
        return f;
    }();
    std::string start = filler.substr(0, common);
    std::string a = start + std::string(rest, split);
    std::string b;
    if (mode == 1) {
        b = a;
    } else if (mode == 2 && !a.empty()) {
        b = a;
        std::size_t at = restSize ? static_cast<unsigned char>(rest[0]) * 7919u % a.size() : 0;
        b[at] = static_cast<char>(b[at] ^ (restSize > 1 ? (rest[1] | 1) : 1));
    } else {
        b = start + std::string(rest + split, restSize - split);
    }

    static CompareState *state = new CompareState;
    std::FILE *streams[2] = {streamOver(a), streamOver(b)};
    const TextProducer texts[2] = {fileText(streams[0]), fileText(streams[1])};
    const char *const names[2] = {"one.c", "two.c"};

    // The report, caught in a spool.
    Spool printed;
    consoleTo(&printed);
    const int result = compareFiles(*state, texts, names) == Verdict::Different ? 1 : 0;
    consoleTo(nullptr);
    std::fclose(streams[0]);
    std::fclose(streams[1]);

    const std::string &report = printed.text;
    std::string expected = expectedReport(a, b, "one.c", "two.c");
    check(result == (a == b ? 0 : 1), "verdict");
    check(!printed.spill, "a report fits in memory");
    check(report == expected, "report as the model gives");
    if (mode == 1)
        check(result == 0 && report.empty(), "a text equals itself");
    return 0;
}
