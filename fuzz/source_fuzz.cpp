// Fuzz target: a whole source through the real preparation (prepareFile):
// text-mode reading with CR, Ctrl-Z and NUL bytes, line pieces, the rules and
// the output block, into the temporary file in a scratch directory.
//
// Input: one byte of mode bits (1: B, 2: C, 4: Basic, 8: repeat the source to
// 20,000 bytes, so that long lines arrive in pieces, or with 16 as well to
// 270,000 bytes, so that the text can fill a whole block), then the source.
// Properties checked, beyond the sanitizers:
// - a source with no byte but carriage returns before its first Ctrl-Z is
//   refused; any other is prepared;
// - the normalized text is never longer than the source, holds no space, tab,
//   carriage return or line feed, and is a subsequence of the source before
//   its first Ctrl-Z;
// - with C off it is exactly that part of the source with its whitespace removed;
// - the same source with blanks added at the start and end of every line and
//   CR LF line ends gives the same result, under every mode (lines kept short
//   of the 16,383-byte piece size, so that pieces do not move);
// - nothing but the sources and "Matchlinga.tmp" appears in the directory.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "normalize/normalizer.h"
#include "normalize/prepare.h"

// Checks on long texts must not feed the fuzzer's comparison tracing: it would
// cost more than the code under test.
#define NOT_TRACED __attribute__((no_sanitize("coverage")))

namespace {

constexpr const char *kTempName = "Matchlinga.tmp";  // where the preparation writes

constexpr char kCtrlZ = 0x1a;
constexpr std::size_t kPiecesSize = 20000;  // a source repeated to this size holds line pieces
constexpr std::size_t kBlocksSize = 270000;  // and to this size, a full output block too
constexpr std::size_t kShortLine = 16000;   // lines up to this long stay whole after relayout

std::string scratch;  // directory the preparation runs in
int home = -1;        // the directory the fuzzer started in, where it writes its findings


void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "property violated: %s\n", what);
        // The fuzzer writes the input that failed into the current directory.
        if (home >= 0 && fchdir(home) != 0)
            std::perror("fchdir");
        std::abort();
    }
}

NOT_TRACED bool isLayout(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

NOT_TRACED std::string withoutLayout(const std::string &s)
{
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (!isLayout(c))
            out += c;
    return out;
}

NOT_TRACED bool hasLayout(const std::string &s)
{
    for (char c : s)
        if (isLayout(c))
            return true;
    return false;
}

NOT_TRACED bool isSubsequence(const std::string &small, const std::string &big)
{
    std::size_t j = 0;
    for (std::size_t i = 0; i < big.size() && j < small.size(); ++i)
        if (big[i] == small[j])
            ++j;
    return j == small.size();
}

void removeScratch()
{
    for (const char *name : {"s.c", "s.bas", kTempName})
        unlink((scratch + "/" + name).c_str());
    rmdir(scratch.c_str());
}

// Entries in the current directory other than the two sources (and "." and "..").
int entriesOtherThan(const char *a, const char *b)
{
    int others = 0;
    if (DIR *d = opendir(".")) {
        while (struct dirent *e = readdir(d))
            if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, "..") && std::strcmp(e->d_name, a) &&
                std::strcmp(e->d_name, b))
                ++others;
        closedir(d);
    }
    return others;
}

struct Prepared {
    int status;        // what prepareFile returned
    std::string text;  // the temporary file afterwards
};

Prepared prepare(const std::string &source, const char *name, const RunSettings &flags)
{
    check(chdir(scratch.c_str()) == 0, "into the scratch directory");
    std::FILE *f = std::fopen(name, "wb");
    check(f && std::fwrite(source.data(), 1, source.size(), f) == source.size() && std::fclose(f) == 0,
          "scratch source written");
    static Normalizer *normalizer = new Normalizer;
    static char *block = new char[kBlockSize];
    SourceClass sourceClass = SourceClass::CFamily;
    Preparation preparation;
    preparation.path = name;
    preparation.tempName = kTempName;
    Prepared p;
    p.status = prepareFile(preparation, flags, sourceClass, *normalizer, block);
    if (preparation.source.stream)
        std::fclose(preparation.source.stream);
    if (preparation.output)
        std::fclose(preparation.output);
    std::FILE *t = std::fopen(kTempName, "rb");
    check(t != nullptr, "temporary file exists");
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, t)) > 0)
        p.text.append(buf, n);
    std::fclose(t);
    check(entriesOtherThan("s.c", "s.bas") == 1, "no other file in the directory");
    check(fchdir(home) == 0, "back from the scratch directory");
    return p;
}

// The source with blanks added at the start and end of every line and CR LF
// line ends, up to its first Ctrl-Z; the rest unchanged. Sets longest to the
// length of its longest line, carriage returns not counted.
NOT_TRACED std::string relayout(const std::string &source, std::size_t &longest)
{
    static const char *const kBlanks[] = {" ", "\t", "  \t ", "\t\t", ""};
    std::size_t stop = source.find(kCtrlZ);
    if (stop == std::string::npos)
        stop = source.size();
    std::string out;
    std::size_t start = 0, lineNo = 0;
    longest = 0;
    while (start < stop) {
        std::size_t lf = source.find('\n', start);
        bool ended = lf != std::string::npos && lf < stop;
        std::size_t end = ended ? lf : stop;
        std::string lead = kBlanks[lineNo % 5], trail = kBlanks[(lineNo + 2) % 5];
        std::size_t mark = out.size();
        out += lead;
        out.append(source, start, end - start);
        out += trail;
        if (ended)
            out += "\r\n";
        std::size_t bytes = 0;
        for (std::size_t i = mark; i < out.size(); ++i)
            bytes += out[i] != '\r';
        if (bytes > longest)
            longest = bytes;
        start = ended ? lf + 1 : stop;
        ++lineNo;
    }
    out.append(source, stop, std::string::npos);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // In memory where possible: files are written twice per input.
    const char *base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    scratch = std::string(base) + "/matchling-fuzz-XXXXXX";
    home = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (home < 0 || !mkdtemp(&scratch[0]))
        std::abort();
    // Both source names exist throughout, so that each input rewrites files
    // instead of creating them.
    for (const char *name : {"s.c", "s.bas"})
        if (std::FILE *f = std::fopen((scratch + "/" + name).c_str(), "wb"))
            std::fclose(f);
    std::atexit(removeScratch);
    // Reports go to standard output; the properties are checked on the files.
    if (!std::freopen("/dev/null", "w", stdout))
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    RunSettings flags;
    flags.trimLineFeeds = data[0] & 1;
    flags.handleComments = (data[0] >> 1) & 1;
    const char *name = (data[0] & 4) ? "s.bas" : "s.c";
    std::string source(reinterpret_cast<const char *>(data + 1), size - 1);
    bool grown = (data[0] & 8) && !source.empty();
    if (grown) {
        std::string unit = source;
        std::size_t grownSize = (data[0] & 16) ? kBlocksSize : kPiecesSize;
        source.reserve(grownSize + unit.size());
        while (source.size() < grownSize)
            source += unit;
    }

    std::size_t stop = source.find(kCtrlZ);
    std::string seen = source.substr(0, stop);
    bool unreadable = seen.find_first_not_of('\r') == std::string::npos;

    Prepared p = prepare(source, name, flags);
    check(p.status == (unreadable ? 1 : 0), "refused exactly when nothing can be read");
    check(p.text.size() <= source.size(), "never longer");
    check(!hasLayout(p.text), "no layout bytes");
    check(isSubsequence(p.text, seen), "subsequence of the source before Ctrl-Z");
    if (!flags.handleComments)
        check(p.text == withoutLayout(seen), "C off: whitespace removed only");

    if (!grown && !unreadable) {
        std::size_t longest = 0;
        std::string variant = relayout(source, longest);
        if (longest <= kShortLine) {
            Prepared q = prepare(variant, name, flags);
            check(q.status == p.status, "relayout: same result");
            check(q.text == p.text, "relayout: same normalized text");
        }
    }
    return 0;
}
