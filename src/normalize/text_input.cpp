// Text-mode reading done by hand, the same on every platform: carriage returns
// dropped, only a line feed ends a line, a Ctrl-Z byte ends the input.
//
// Lines are short, so a call per line to memchr and memcpy would cost more than
// the bytes: the scans go eight bytes at a time in plain integer words instead.
#include "normalize/text_input.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr char kCtrlZ = 0x1a;

using Word = std::uint64_t;
constexpr std::size_t kWord = sizeof(Word);
constexpr Word kOnes = 0x0101010101010101u;
constexpr Word kLow7 = 0x7f7f7f7f7f7f7f7fu;

// True on a machine that stores the lowest byte of a word first; compilers fold it.
inline bool lowByteFirst()
{
    const Word probe = 1;
    unsigned char first;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

inline Word swapBytes(Word w)
{
    Word r = 0;
    for (std::size_t k = 0; k < kWord; ++k)
        r |= ((w >> (8 * k)) & 0xff) << (8 * (kWord - 1 - k));
    return r;
}

// The eight bytes at p as one word, the first in the lowest bits.
inline Word loadWord(const char *p)
{
    Word w;
    std::memcpy(&w, p, kWord);
    return lowByteFirst() ? w : swapBytes(w);
}

// Stores w at p as loadWord reads it.
inline void storeWord(char *p, Word w)
{
    if (!lowByteFirst())
        w = swapBytes(w);
    std::memcpy(p, &w, kWord);
}

// The top bit of each byte of w that equals c, and no other bit.
inline Word matches(Word w, char c)
{
    Word x = w ^ (kOnes * static_cast<unsigned char>(c));
    return ~(((x & kLow7) + kLow7) | x | kLow7);
}

// Index of the first byte that mask (from matches, not zero) marks.
inline std::size_t firstMarked(Word mask)
{
    Word lowest = mask & (~mask + 1);
    return static_cast<std::size_t>(((lowest >> 7) * 0x0001020304050607u) >> 56);
}

// Copies from src to dest up to and including the first line feed among the
// first span bytes, or all span bytes when there is none; returns the count.
// Whole words are copied, so up to seven bytes past the count may be written
// to dest, never more than span bytes in all.
inline std::size_t copyToLineFeed(char *dest, const char *src, std::size_t span)
{
    std::size_t i = 0;
    for (; i + kWord <= span; i += kWord) {
        Word w = loadWord(src + i);
        storeWord(dest + i, w);
        if (Word m = matches(w, '\n'))
            return i + firstMarked(m) + 1;
    }
    for (; i < span; ++i) {
        dest[i] = src[i];
        if (src[i] == '\n')
            return i + 1;
    }
    return span;
}

// Squeezes every carriage return out of the text from first, which is one,
// to end; returns the new end. Moving down in place, each word is read before
// anything is stored over it. A word with at most one return, as at a CR LF,
// goes without a branch: the bytes after the return move down one, and a word
// without one is stored whole.
char *dropReturns(char *first, const char *end)
{
    const char *from = first;
    char *out = first;
    for (; from + kWord <= end; from += kWord) {
        Word w = loadWord(from);
        Word m = matches(w, '\r');
        if (m & (m - 1)) {
            for (std::size_t k = 0; k < kWord; ++k) {
                *out = from[k];
                out += from[k] != '\r';
            }
            continue;
        }
        Word below = ((m & (~m + 1)) >> 7) - 1;  // the bytes before the return: all when none
        storeWord(out, (w & below) | ((w >> 8) & ~below));
        out += kWord - (m != 0);
    }
    for (; from < end; ++from) {
        *out = *from;
        out += *from != '\r';
    }
    return out;
}

// Applies the text-mode rules to the chunk as read: a Ctrl-Z ends the input
// there, and every carriage return goes. Lines are then cut from translated
// text, so a piece is counted after carriage returns are removed.
void translate(TextInput &in)
{
    if (const void *z = std::memchr(in.chunk, kCtrlZ, in.end)) {
        in.end = static_cast<std::size_t>(static_cast<const char *>(z) - in.chunk);
        in.ended = true;
    }
    if (char *cr = static_cast<char *>(std::memchr(in.chunk, '\r', in.end)))
        in.end = static_cast<std::size_t>(dropReturns(cr, in.chunk + in.end) - in.chunk);
}

// Reads and translates the next chunk; returns false when the input has ended.
// Kept out of line: it runs once a chunk, and inlined it would burden every line.
[[gnu::noinline]] bool refill(TextInput &in)
{
    in.position = 0;
    in.end = 0;
    while (in.end == 0) {
        if (in.ended)
            return false;
        in.end = readSource(*in.source, in.chunk, sizeof in.chunk);
        if (in.end == 0) {
            in.ended = true;
            return false;
        }
        translate(in);
    }
    return true;
}

} // namespace

void textInputStart(TextInput &in, SourceStream &source)
{
    in.source = &source;
    in.position = 0;
    in.end = 0;
    in.ended = false;
}

bool textInputMore(TextInput &in)
{
    return in.position < in.end || refill(in);
}

std::size_t textInputLine(TextInput &in, char *dest)
{
    std::size_t len = 0;
    while (len < kLineCapacity) {
        if (in.position == in.end && !refill(in))
            break;
        const char *src = in.chunk + in.position;
        std::size_t span = in.end - in.position;
        if (span > kLineCapacity - len)
            span = kLineCapacity - len;
        std::size_t seg = copyToLineFeed(dest + len, src, span);
        len += seg;
        in.position += seg;
        if (dest[len - 1] == '\n')
            break;
    }
    dest[len] = '\0';
    return len;
}
