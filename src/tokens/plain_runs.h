// Runs of plain tokens taken a block of 64 bytes at a time, for a language
// whose lexer states its byte classes as a table: runs of name bytes, strings
// between two of one quote byte, and bytes that are tokens alone, with blanks
// and line feeds between them. The lexer's table says which bytes need its
// general steps (escapes, comment openers, numbers' signs, ...); a run ends
// before the first of them, and before the token that touches it.
//
// The run holds no state of the lexer's but places, so it serves a language
// whose tokens change nothing else; the lexer's run procedure tells when it
// may be called.
#ifndef MATCHLING_PLAIN_RUNS_H
#define MATCHLING_PLAIN_RUNS_H

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "scan/byte_sets.h"
#include "tokens/lexer.h"

// What the classes of a plain table mean.
enum PlainClass : unsigned char {
    kPlainSolo = 0,  // a token of its own
    kPlainBlank,     // layout
    kPlainLineFeed,  // layout that ends a line; inside a string, for the general steps
    kPlainName,      // a run of these and of digits is one token
    kPlainDigit,     // a name byte; a lead right before one is for the general steps
    kPlainQuote,     // opens a string, which the same byte closes
    kPlainStop,      // for the general steps, wherever it stands
    kPlainOther,     // for the general steps outside a string; inside one, a byte of it
    kPlainLead,      // a token of its own, unless it follows a name byte or a digit or another
                     // of these follows it
};

// A language's plain tokens, as a type with these members (both constexpr):
//   ClassTable kClasses; NibbleTables kNibbles (nibbleTables(kClasses)).

namespace plain_runs {

// Where a run stands, window-relative.
struct Place {
    std::size_t i;           // scan position: between tokens
    std::int64_t line;       // line of i
    std::int64_t lineStart;  // window offset where that line starts
};

// Bit k: an odd number of the bits 0 to k of x are set.
inline std::uint64_t prefixXor(std::uint64_t x)
{
    for (int s = 1; s < 64; s *= 2)
        x ^= x << s;
    return x;
}

// The window offset that a run's tokens end before: kLexLookahead - 1 bytes
// short of the window's end while more input may follow (what a token's end
// needs to see stays readable), and no further than the next splice.
inline std::size_t runStop(const Lexer &lx)
{
    return std::min(lx.ended ? lx.end + 1 : lx.end - std::min(lx.end, kLexLookahead - 1), lx.spliceAt);
}

// The tokens that the block runs find (these and the C-family ones), with
// what their places need: each block's token starts and ends are masks.
struct BlockTokens {
    QuickToken *out;          // where they go
    std::size_t max;          // at most this many
    std::int64_t line;        // line of the current block's first byte
    std::int64_t lineStart;   // window offset where that line starts
    std::size_t starts = 0;   // tokens found so far
    bool open = false;        // the last one found goes on past the blocks so far
    std::size_t trouble = static_cast<std::size_t>(-1);  // window offset of the first byte not taken so
};

// The bits of the block at window offset b whose tokens may be taken, when
// t (64: none) is its first byte not taken so: none from t on, nor from where
// a token would start past max. Notes where the blocks end, then.
__attribute__((always_inline)) inline std::uint64_t keptBits(BlockTokens &bt, std::size_t b, std::uint64_t start,
                                                             std::int64_t t)
{
    std::size_t room = bt.max - bt.starts;  // tokens that may still start
    if (t >= 64 && room >= kMaskBlock)
        return ~std::uint64_t{0};
    // No more than room tokens: the block ends where the next would start.
    std::uint64_t q = start & maskBelow(t);
    if (static_cast<std::size_t>(__builtin_popcountll(q)) > room) {
        for (; room > 0; --room)
            q &= q - 1;
        t = __builtin_ctzll(q);
    }
    if (t >= 64)
        return ~std::uint64_t{0};
    bt.trouble = b + static_cast<std::size_t>(t + 2) - 2;  // t may be -2 (a stop at the third of three bytes)
    return maskBelow(t);
}

// Adds the tokens of the block at window offset b: the open one ends at its
// first end, then those that start in it (a LineEnd where lineEnd has the
// bit, else Code), with their places and lengths as far as the block holds
// them. end and start are the kept bits only.
template <typename Bits>
__attribute__((always_inline)) inline void addTokens(BlockTokens &bt, const char *w, std::size_t b,
                                                     std::uint64_t start, std::uint64_t end, std::uint64_t lineFeed,
                                                     std::uint64_t lineEnd)
{
    QuickToken *out = bt.out + bt.starts;
    if (bt.open) {
        const unsigned e = Bits::lowest(end);
        out[-1].length += e;
        bt.open = e == 64;
        end &= end - 1;
    }
    if (!start)
        return;
    // Tokens do not overlap, so the n-th end left is the n-th start's; the
    // last token goes on past the block when no end is left for it.
    bt.open = __builtin_popcountll(end) < __builtin_popcountll(start);
    bt.starts += static_cast<std::size_t>(__builtin_popcountll(start));
    // The column of a token is counted from the last line feed before it in
    // the block, else from the line's start before the block; told without
    // a branch, which would go wrong once a block.
    const std::int64_t line = bt.line, blockColumn = static_cast<std::int64_t>(b) - bt.lineStart;
    for (std::uint64_t q = start; q; q &= q - 1, end &= end - 1, ++out) {
        const unsigned k = static_cast<unsigned>(__builtin_ctzll(q));
        const std::uint64_t feeds = Bits::below(lineFeed, k);
        const std::int64_t after = Bits::pastHighest(feeds);  // just past that line feed; 0: none
        out->bytes = w + b + k;
        out->length = Bits::lowest(end) - k;
        out->kind = static_cast<TokenKind>((lineEnd >> k) & 1);
        out->place = {line + __builtin_popcountll(feeds), k - after + 1 + (blockColumn & -std::int64_t{after == 0})};
    }
}

// Moves past a whole block at window offset b: its line feeds.
__attribute__((always_inline)) inline void passBlock(BlockTokens &bt, std::size_t b, std::uint64_t lineFeed)
{
    bt.line += __builtin_popcountll(lineFeed);
    if (lineFeed)
        bt.lineStart = static_cast<std::int64_t>(b) + 64 - __builtin_clzll(lineFeed);
}

// How many of the tokens found are taken: none whose end is not seen, nor
// any that touches the first byte not taken, or else ends at or past
// blocksEnd.
__attribute__((always_inline)) inline std::size_t takenTokens(const BlockTokens &bt, const char *w,
                                                              std::size_t blocksEnd)
{
    const std::size_t trouble = bt.trouble == static_cast<std::size_t>(-1) ? blocksEnd : bt.trouble;
    std::size_t ended = bt.starts - bt.open;
    while (ended > 0 && static_cast<std::size_t>(bt.out[ended - 1].bytes - w) + bt.out[ended - 1].length >= trouble)
        --ended;
    return ended;
}

static_assert(static_cast<int>(TokenKind::LineEnd) == 1 && static_cast<int>(TokenKind::Code) == 0,
              "a line feed's kind is told by a bit");

// Takes the plain tokens from r.i on, up to max of them and keyBytes of keys,
// ending before stop; a token is kept only when a byte after it that the
// blocks classified shows where it ends.
template <typename Grammar, void (*Classify)(const char *, SetMasks &), typename Bits>
__attribute__((always_inline)) inline std::size_t blocks(const char *w, Place &r, std::size_t stop, QuickToken *out,
                                                         std::size_t max, std::size_t &keyBytes)
{
    BlockTokens bt{out, max, r.line, r.lineStart};
    std::size_t keys = 0;
    // The block before's token bytes, name bytes and open string, for the
    // bytes before each block's first.
    std::uint64_t tok0 = 0, name0 = 0, inString = 0;
    std::size_t b = r.i;
    for (; b + kMaskBlock <= stop && bt.starts < max && keys + kMaskBlock <= keyBytes; b += kMaskBlock) {
        SetMasks m;
        Classify(w + b, m);
        const std::uint64_t quote = m.of[kPlainQuote], lineFeed = m.of[kPlainLineFeed];
        // Inside a string, its quotes included: from an opening quote (an
        // odd count so far) to the closing one.
        const std::uint64_t odd = prefixXor(quote) ^ inString;
        const std::uint64_t string = odd | quote;
        const std::uint64_t digit = m.of[kPlainDigit], lead = m.of[kPlainLead];
        const std::uint64_t name = (m.of[kPlainName] | digit) & ~string;
        const std::uint64_t solo = (m.of[kPlainSolo] | lead) & ~string;
        const std::uint64_t nameStarts = name & ~(name << 1 | name0 >> 63);
        const std::uint64_t tok = string | name | solo;
        const std::uint64_t start = (quote & odd) | nameStarts | solo;
        const std::uint64_t end = (start | ~tok) & (tok << 1 | tok0 >> 63);
        // A lead after a name byte (a number may take it as its sign), before
        // a digit or another lead, or in the block's last byte (what follows
        // is not known yet), is for the general steps.
        const std::uint64_t at =
            m.of[kPlainStop] | (m.of[kPlainOther] & ~string) | (lineFeed & odd) |
            (lead & ~string & (name << 1 | name0 >> 63 | (digit | lead) >> 1 | std::uint64_t{1} << 63));
        const std::uint64_t keep = keptBits(bt, b, start, lowestBit(at));
        addTokens<Bits>(bt, w, b, start & keep, end & keep, lineFeed, 0);
        keys += static_cast<std::size_t>(__builtin_popcountll(tok & keep));
        if (keep != ~std::uint64_t{0})
            break;
        passBlock(bt, b, lineFeed);
        tok0 = tok, name0 = name;
        inString = odd >> 63 ? ~std::uint64_t{0} : 0;
    }
    // A token that ends with the blocks may go on past them.
    const std::size_t ended = takenTokens(bt, w, b);
    if (ended == 0)
        return 0;
    keyBytes -= keys;
    const QuickToken &last = out[ended - 1];
    r.i = static_cast<std::size_t>(last.bytes - w) + last.length;
    r.line = last.place.line;
    r.lineStart = static_cast<std::int64_t>(last.bytes - w) - last.place.column + 1;
    return ended;
}

template <typename Grammar>
void classifyPortable(const char *p, SetMasks &m)
{
    classifySetsPortable(p, Grammar::kClasses, m);
}

template <typename Grammar>
std::size_t blocksPortable(const char *w, Place &r, std::size_t stop, QuickToken *out, std::size_t max,
                           std::size_t &keyBytes)
{
    return blocks<Grammar, classifyPortable<Grammar>, PortableBits>(w, r, stop, out, max, keyBytes);
}

#ifdef MATCHLING_MASKS_X86
template <typename Grammar>
MATCHLING_MASKS_TARGET std::size_t blocksAvx2(const char *w, Place &r, std::size_t stop, QuickToken *out,
                                              std::size_t max, std::size_t &keyBytes)
{
    return blocks<Grammar, classifySetsAvx2<Grammar::kNibbles>, VectorBits>(w, r, stop, out, max, keyBytes);
}
#endif

} // namespace plain_runs

// Takes plain tokens from pos on, as lexerRun does, by Grammar; the lexer is
// between tokens. Sets the lexer's places, and no other state.
template <typename Grammar>
std::size_t plainRun(Lexer &lx, QuickToken *out, std::size_t max, std::size_t keyBytes)
{
    using namespace plain_runs;
    // Nothing to take when the next token is the general steps': told
    // without a block's classes.
    const ClassTable &classes = Grammar::kClasses;
    std::size_t i = lx.pos;
    while (classes.of[static_cast<unsigned char>(lx.window[i])] == kPlainBlank)
        ++i;
    const unsigned char first = classes.of[static_cast<unsigned char>(lx.window[i])];
    if (first == kPlainOther || first == kPlainStop)
        return 0;
    const std::size_t stop = runStop(lx);
    Place r{lx.pos, lx.line, lx.lineStart - lx.base};
    std::size_t n = 0;
#ifdef MATCHLING_MASKS_X86
    if (vectorMasks())
        n = blocksAvx2<Grammar>(lx.window, r, stop, out, max, keyBytes);
    else
#endif
        n = blocksPortable<Grammar>(lx.window, r, stop, out, max, keyBytes);
    if (n == 0)
        return 0;
    const QuickToken &t = out[n - 1];
    lx.endOffset = lx.base + static_cast<std::int64_t>(r.i);
    lx.endPlace = TokenPlace{t.place.line, t.place.column + t.length};
    lx.line = r.line;
    lx.lineStart = r.lineStart + lx.base;
    lx.pos = lx.pieceStart = r.i;
    return n;
}

#endif
