// The Ruby lexer: tokens as Ruby's own lexer reads them. The start reads the
// whole source (kRubyMaxBytes at most: a larger one is refused), since a
// heredoc's body comes after the rest of its opener's line and a squiggly
// heredoc's indentation is known only once its body is read; each call of
// next hands out one token whole.
//
// What is a token follows Ruby's lexer state (parse.y's EXPR_BEG, EXPR_END,
// ...), kept here after each token: it decides whether a line end ends a
// statement (a LineEnd) or is layout, and whether '/', '%', '<<', '?' and
// ':' open a literal. Where Ruby reads an operator as unary by the blanks
// around it ("foo -x" against "foo - x"), the key says so ("-@").
// Literals are compared as written, an interpolation's code included, but
// that the CR of a CR LF is left out; the blanks between the words of a %w
// list are layout; a squiggly heredoc's body loses its common indentation.
#include "languages/ruby/state.h"
#include "tokens/kit.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Ruby's lexer states (parse.y's enum lex_state_e).
constexpr unsigned kBeg = 1, kEnd = 2, kEndArg = 4, kEndFn = 8, kArg = 16, kCmdArg = 32, kMid = 64, kFname = 128,
                   kDot = 256, kClass = 512, kLabel = 1024, kLabeled = 2048, kFitem = 4096;
constexpr unsigned kBegAny = kBeg | kMid | kClass, kArgAny = kArg | kCmdArg, kEndAny = kEnd | kEndArg | kEndFn;

constexpr const char *kRuby = "Ruby";
constexpr std::uint32_t kFail = 0xFFFFFFFFu;

// Byte classes: the bytes of names (ASCII letters, digits, '_' and every
// byte beyond ASCII), blanks, and blanks or a line feed.
constexpr unsigned char kIdentByte = 1, kBlankByte = 2, kSpaceByte = 4;
struct ByteTable {
    unsigned char of[256] = {};
    constexpr ByteTable()
    {
        for (int u = 0; u < 256; ++u) {
            if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' || u >= 0x80)
                of[u] = kIdentByte;
            if (u == ' ' || u == '\t' || u == '\f' || u == '\v' || u == '\r')
                of[u] = kBlankByte | kSpaceByte;
        }
        of[static_cast<unsigned char>('\n')] = kSpaceByte;
    }
};
constexpr ByteTable kBytes;

bool isIdent(char c)
{
    return kBytes.of[static_cast<unsigned char>(c)] & kIdentByte;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isBlank(char c)
{
    return kBytes.of[static_cast<unsigned char>(c)] & kBlankByte;
}

bool isSpace(char c)
{
    return kBytes.of[static_cast<unsigned char>(c)] & kSpaceByte;
}

// The tests of states below join their parts by '|' and '&', not by '||'
// and '&&': each part is cheap, and a branch on each would be mispredicted
// as often as not.
bool isBegState(unsigned s)
{
    return ((s & kBegAny) != 0) | ((s & (kArg | kLabeled)) == (kArg | kLabeled));
}

// --- Places and the queue ---------------------------------------------------

// The index in lineStarts of the line that text offset at stands on, when
// it is not the line of the last place: from there, a few lines on one by
// one (comments, blank lines), else by halves.
std::size_t lineFar(RubyLexState &st, std::size_t at)
{
    const std::uint32_t *starts = st.lineStarts;
    const std::size_t lines = st.store->lineStarts.size();  // a sentinel past any offset ends it
    std::size_t k = st.line;
    if (at >= starts[k + 1]) {
        const std::size_t near = std::min(k + 16, lines - 2);
        while (k < near && at >= starts[k + 1])
            ++k;
        if (at >= starts[k + 1])
            k = static_cast<std::size_t>(std::upper_bound(starts + k, starts + lines, at) - starts) - 1;
    } else {
        k = static_cast<std::size_t>(std::upper_bound(starts, starts + k, at) - starts) - 1;
    }
    st.line = k;
    return k;
}

// The same from any line: most often the line of the last place.
inline std::size_t lineOf(RubyLexState &st, std::size_t at)
{
    const std::size_t k = st.line;
    return at >= st.lineStarts[k] && at < st.lineStarts[k + 1] ? k : lineFar(st, at);
}

TokenPlace placeOf(RubyLexState &st, std::size_t at)
{
    const std::size_t k = lineOf(st, at);
    return {static_cast<std::int64_t>(k) + 1, static_cast<std::int64_t>(at - st.lineStarts[k]) + 1};
}

// Queues a token from text offset at to end, its key those bytes; plain
// when they hold no zero byte for certain. Its fixed key is left as it was:
// only a Static one's is read.
RubyToken &push(RubyLexState &st, TokenKind kind, std::size_t at, std::size_t end, bool plain = false)
{
    RubyToken &slot = st.queue[(st.head + st.count++) & (kRubyQueue - 1)];
    slot.kind = kind;
    slot.in = RubyKeyIn::Text;
    slot.plain = plain;
    slot.at = static_cast<std::uint32_t>(at);
    slot.end = static_cast<std::uint32_t>(end);
    slot.key = slot.at;
    slot.length = slot.end - slot.at;
    return slot;
}

void pushStatic(RubyLexState &st, std::size_t at, std::size_t end, const char *key)
{
    RubyToken &t = push(st, TokenKind::Code, at, end);
    t.in = RubyKeyIn::Static;
    t.fixed = key;
    t.length = static_cast<std::uint32_t>(std::strlen(key));
}

// A literal's token: its bytes as written, but that the CR of each CR LF
// goes (Ruby reads a CR LF as a line feed).
void pushLiteral(RubyLexState &st, std::size_t at, std::size_t end)
{
    const char *t = st.store->text.data();
    RubyToken &tok = push(st, TokenKind::Code, at, end);
    if (!std::memchr(t + at, '\r', end - at))
        return;
    ByteBuffer &keys = st.store->keys;
    tok.in = RubyKeyIn::Keys;
    tok.key = static_cast<std::uint32_t>(keys.size());
    for (std::size_t i = at; i < end; ++i)
        if (!(t[i] == '\r' && t[i + 1] == '\n' && i + 1 < end))
            *keys.grow(1) = t[i];
    tok.length = static_cast<std::uint32_t>(keys.size() - tok.key);
}

// The source is not Ruby from text offset at on: the stream ends there.
void reject(Lexer &lx, RubyLexState &st, std::size_t at)
{
    rejectInput(lx, kRuby, placeOf(st, std::min(at, st.size)));
    st.finished = true;
    st.count = 0;
}

// --- Local variables ---------------------------------------------------------

// A name's hash, never 0: eight bytes at a time where the processor stores
// words low byte first (the bytes of the last word past the name cleared;
// the text's padding makes them readable), so that two names of up to eight
// bytes never share one; else a byte at a time.
std::uint64_t nameHash(const char *p, std::size_t n)
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
    for (std::size_t i = 0; i < n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        if (n - i < 8)
            w &= (std::uint64_t{1} << (8 * (n - i))) - 1;
        h = (h ^ w) * 0xff51afd7ed558ccdull;
        h ^= h >> 32;
    }
#else
    std::uint64_t h = 1469598103934665603ull;
    for (std::size_t i = 0; i < n; ++i)
        h = (h ^ static_cast<unsigned char>(p[i])) * 1099511628211ull;
#endif
    return h ? h : 1;
}

bool isLocal(const RubyLexState &st, const char *p, std::size_t n)
{
    if (st.localCount == 0)
        return false;
    const std::uint64_t h = nameHash(p, n);
    for (std::size_t k = h % kRubyLocals;; k = (k + 1) % kRubyLocals) {
        if (st.locals[k] == 0)
            return false;
        if (st.locals[k] == h)
            return true;
    }
}

// Notes a name as a local variable: Ruby reads "x /y" after "x = 1" as a
// division, and as a regular expression passed to a method x where none is.
void addLocal(RubyLexState &st, const char *p, std::size_t n)
{
    if (st.localCount * 4 >= kRubyLocals * 3 || isLocal(st, p, n))
        return;
    const std::uint64_t h = nameHash(p, n);
    std::size_t k = h % kRubyLocals;
    while (st.locals[k] != 0)
        k = (k + 1) % kRubyLocals;
    st.locals[k] = h;
    st.localOrder[st.localCount++] = static_cast<std::uint8_t>(k);
}

// Forgets the local variables noted after the first count of them. Taken
// out last first, a linear probing table is left as it was before them.
void forgetLocals(RubyLexState &st, std::size_t count)
{
    while (st.localCount > count)
        st.locals[st.localOrder[--st.localCount]] = 0;
}

// A block opens: "{" (braces, the braces open inside it) or "do" (-1).
// False when too many are open to follow (the caller refuses the source).
bool openBlock(RubyLexState &st, int braces)
{
    if (st.blockCount == kRubyBlocks)
        return false;
    RubyBlock &b = st.blocks[st.blockCount++];
    b.locals = static_cast<std::uint16_t>(st.localCount);
    b.opens = 0;
    b.braces = braces;
    return true;
}

// The innermost block closes: the names first assigned in it are method
// calls again after it, as to Ruby ("x /a/" a regular expression).
void closeBlock(RubyLexState &st)
{
    forgetLocals(st, st.blocks[--st.blockCount].locals);
}

// --- Literals ----------------------------------------------------------------

std::uint32_t scanLiteral(const char *t, std::size_t n, std::size_t i, char open, char close, bool interpolates,
                          int depth);

// The code of an interpolation from i (after its "#{") to its closing '}':
// the offset after that, or kFail when the text ends first. Strings inside
// it are scanned whole, so a '}' in one ends nothing.
std::uint32_t scanCode(const char *t, std::size_t n, std::size_t i, int depth)
{
    if (depth >= static_cast<int>(kRubyNesting))
        return kFail;
    int braces = 0;
    while (i < n) {
        const char c = t[i];
        if (c == '{') {
            ++braces, ++i;
        } else if (c == '}') {
            if (braces-- == 0)
                return static_cast<std::uint32_t>(i + 1);
            ++i;
        } else if (c == '"' || c == '`' || c == '\'') {
            const std::uint32_t e = scanLiteral(t, n, i + 1, 0, c, c != '\'', depth + 1);
            if (e == kFail)
                return kFail;
            i = e;
        } else if (c == '#') {
            while (i < n && t[i] != '\n')
                ++i;
        } else if (c == '\\') {
            i += 2;
        } else {
            ++i;
        }
    }
    return kFail;
}

// A literal's body from i to its closing delimiter close (nesting with open,
// 0 when none): the offset after the delimiter, or kFail when the text ends
// first. A backslash takes the byte after it; "#{" opens code when it
// interpolates.
std::uint32_t scanLiteral(const char *t, std::size_t n, std::size_t i, char open, char close, bool interpolates,
                          int depth)
{
    int nest = 0;
    while (i < n) {
        const char c = t[i];
        if (c == '\\') {
            i += 2;
        } else if (c == close) {
            if (nest-- == 0)
                return static_cast<std::uint32_t>(i + 1);
            ++i;
        } else if (c == open && open != 0) {
            ++nest, ++i;
        } else if (c == '#' && interpolates && t[i + 1] == '{') {
            const std::uint32_t e = scanCode(t, n, i + 2, depth + 1);
            if (e == kFail)
                return kFail;
            i = e;
        } else {
            ++i;
        }
    }
    return kFail;
}

char closerOf(char open)
{
    switch (open) {
    case '(': return ')';
    case '[': return ']';
    case '{': return '}';
    case '<': return '>';
    default: return open;
    }
}

// --- Reserved words ------------------------------------------------------------

// Ruby's reserved words.
enum class Word : unsigned char {
    None, Encoding, Line, File, BEGIN, Begin, Break, END, Else, Elsif, End, Ensure, Alias, And, Case, Class, Def,
    Defined, Do, False, For, If, In, Module, Next, Nil, Not, Or, Redo, Rescue, Retry, Return, Self, Super, Then,
    True, Undef, Unless, Until, When, While, Yield,
};

// The reserved words' slots: a perfect hash of a word's first, middle and
// last bytes and its length (the multiplier found by trying; the tables'
// making fails to compile where two words share a slot).
constexpr std::size_t kWordBytes = 12;   // the longest word, __ENCODING__
constexpr std::size_t kWordSlots = 128;  // a power of 2
constexpr unsigned wordSlot(unsigned char first, unsigned char middle, unsigned char last, std::size_t len)
{
    return static_cast<unsigned>(
               ((first | std::uint32_t{middle} << 8 | std::uint32_t{last} << 16 | static_cast<std::uint32_t>(len) << 24) *
                0xcb6999c9u) &
               0xFFFFFFFFu) >>
           25;
}

// Each slot's word, zero bytes after it, and its value (None: an empty slot).
struct WordTable {
    char spelling[kWordSlots][16] = {};
    Word word[kWordSlots] = {};
    constexpr WordTable()
    {
        const struct {
            const char *spelling;
            Word word;
        } words[] = {
            {"__ENCODING__", Word::Encoding}, {"__LINE__", Word::Line}, {"__FILE__", Word::File}, {"BEGIN", Word::BEGIN},
            {"begin", Word::Begin}, {"break", Word::Break}, {"END", Word::END}, {"else", Word::Else},
            {"elsif", Word::Elsif}, {"end", Word::End}, {"ensure", Word::Ensure}, {"alias", Word::Alias},
            {"and", Word::And}, {"case", Word::Case}, {"class", Word::Class}, {"def", Word::Def},
            {"defined?", Word::Defined}, {"do", Word::Do}, {"false", Word::False}, {"for", Word::For},
            {"if", Word::If}, {"in", Word::In}, {"module", Word::Module}, {"next", Word::Next}, {"nil", Word::Nil},
            {"not", Word::Not}, {"or", Word::Or}, {"redo", Word::Redo}, {"rescue", Word::Rescue},
            {"retry", Word::Retry}, {"return", Word::Return}, {"self", Word::Self}, {"super", Word::Super},
            {"then", Word::Then}, {"true", Word::True}, {"undef", Word::Undef}, {"unless", Word::Unless},
            {"until", Word::Until}, {"when", Word::When}, {"while", Word::While}, {"yield", Word::Yield},
        };
        for (const auto &w : words) {
            std::size_t len = 0;
            while (w.spelling[len])
                ++len;
            const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(w.spelling[i]); };
            const unsigned k = wordSlot(byte(0), byte(len >> 1), byte(len - 1), len);
            if (word[k] != Word::None)
                throw "two reserved words share a slot";
            word[k] = w.word;
            for (std::size_t i = 0; i < len; ++i)
                spelling[k][i] = w.spelling[i];
        }
    }
};
constexpr WordTable kWords;

// For each length, its first bytes of sixteen.
struct WordMasks {
    unsigned char of[kWordBytes + 1][16] = {};
    constexpr WordMasks()
    {
        for (std::size_t len = 0; len <= kWordBytes; ++len)
            for (std::size_t i = 0; i < len; ++i)
                of[len][i] = 0xFF;
    }
};
constexpr WordMasks kWordMasks;

// The state each leaves, in the order of Word (parse.y's keyword table).
constexpr unsigned kWordStates[] = {
    0, kEnd, kEnd, kEnd, kEnd, kBeg, kMid, kEnd, kBeg, kBeg, kEnd, kBeg, kFname | kFitem, kBeg, kBeg, kClass, kFname,
    kArg, kBeg, kEnd, kBeg, kBeg, kBeg, kBeg, kMid, kEnd, kArg, kBeg, kEnd, kMid, kEnd, kMid, kEnd, kArg, kBeg,
    kEnd, kFname | kFitem, kBeg, kBeg, kBeg, kBeg, kArg,
};
static_assert(sizeof kWordStates / sizeof kWordStates[0] == static_cast<std::size_t>(Word::Yield) + 1,
              "a state for each reserved word");

// --- The lexer's steps -------------------------------------------------------

struct Ruby {
    Lexer &lx;
    RubyLexState &st;
    const char *t;
    std::size_t n;
    bool wasBare = false;  // the token before the one being read is a name that may be a local variable

    // A literal from at to end, which must not cross a line while heredocs
    // wait for their bodies there; false when the source is refused.
    bool literal(std::size_t at, std::size_t end)
    {
        if (st.heredocCount > 0 && std::memchr(t + at, '\n', end - at)) {
            reject(lx, st, at);
            return false;
        }
        pushLiteral(st, at, end);
        return true;
    }

    void finish(std::size_t end, unsigned state)
    {
        st.pos = end;
        st.state = state;
    }

    // A quoted literal whose body starts at i; at is where its token starts.
    void quoted(std::size_t at, std::size_t i, char open, char close, bool interpolates, unsigned state)
    {
        if (interpolates) {
            RubyLiteral lit;
            lit.open = open == close ? 0 : open;
            lit.close = close;
            lit.kind = state == kEnd ? kRubySymbol : kRubyString;
            return part(at, i, lit);
        }
        const std::uint32_t e = scanLiteral(t, n, i, open == close ? 0 : open, close, false, 0);
        if (e == kFail)
            return reject(lx, st, at);
        if (literal(at, e))
            finish(e, state);
    }

    void regexp(std::size_t at, std::size_t i, char open, char close)
    {
        RubyLiteral lit;
        lit.open = open == close ? 0 : open;
        lit.close = close;
        lit.kind = kRubyRegexp;
        part(at, i, lit);
    }

    // A part of an interpolating literal from i, its token starting at at
    // (its opener, or the '}' that ends an interpolation's code): to its
    // closing delimiter, or to a "#{" whose code then goes out as tokens.
    void part(std::size_t at, std::size_t i, RubyLiteral lit)
    {
        while (i < n) {
            const char c = t[i];
            if (c == '\\') {
                i += 2;
            } else if (c == lit.close && lit.nest == 0) {
                break;
            } else if (c == lit.close) {
                --lit.nest, ++i;
            } else if (c == lit.open && lit.open != 0) {
                ++lit.nest, ++i;
            } else if (c == '#' && t[i + 1] == '{') {
                if (st.literalCount == kRubyNesting)
                    return reject(lx, st, at);
                if (!literal(at, i + 2))
                    return;
                lit.braces = st.braces;
                st.literals[st.literalCount++] = lit;
                st.commandStart = true;
                return finish(i + 2, kBeg);
            } else {
                ++i;
            }
        }
        if (i >= n)
            return reject(lx, st, at);
        std::size_t e = i + 1;
        if (lit.kind == kRubyRegexp)
            while (e < n && t[e] >= 'a' && t[e] <= 'z')
                ++e;
        unsigned state = kEnd;
        if (lit.label && t[e] == ':' && t[e + 1] != ':')
            ++e, state = kArg | kLabeled;
        if (literal(at, e))
            finish(e, state);
    }

    // A %w, %W, %i or %I list from its opener at at: the opener, each word,
    // and the closer, each a token; the blanks and line ends between the
    // words are layout.
    void words(std::size_t at, std::size_t i, char open, char close, bool interpolates)
    {
        pushLiteral(st, at, i);
        st.wordList = true;
        st.wordListAt = at;
        st.wordOpen = open == close ? 0 : open;
        st.wordClose = close;
        st.wordInterpolates = interpolates;
        st.pos = i;
    }

    // The next word of the list open at pos, or its closer, one a step.
    void nextListWord()
    {
        std::size_t i = st.pos;
        const std::size_t at = st.wordListAt;
        const char close = st.wordClose, nestOpen = st.wordOpen;
        while (i < n && isSpace(t[i]))
            ++i;
        if (i >= n)
            return reject(lx, st, at);
        if (t[i] == close) {
            st.wordList = false;
            if (st.heredocCount > 0 && std::memchr(t + at, '\n', i - at))
                return reject(lx, st, at);
            push(st, TokenKind::Code, i, i + 1);
            return finish(i + 1, kEnd);
        }
        const std::size_t w = i;
        int nest = 0;
        while (i < n && !(isSpace(t[i]) || (t[i] == close && nest == 0))) {
            if (t[i] == '\\') {
                i += 2;
                continue;
            }
            if (t[i] == nestOpen && nestOpen != 0) {
                ++nest;
            } else if (t[i] == close) {
                --nest;
            } else if (st.wordInterpolates && t[i] == '#' && t[i + 1] == '{') {
                const std::uint32_t e = scanCode(t, n, i + 2, 1);
                if (e == kFail)
                    return reject(lx, st, at);
                i = e;
                continue;
            }
            ++i;
        }
        if (i > n)
            return reject(lx, st, at);
        pushLiteral(st, w, i);
        st.pos = i;
    }

    // A %-literal whose '%' stands at at; false when it is none.
    bool percent(std::size_t at)
    {
        std::size_t i = at + 1;
        char type = 'Q';
        if (isIdent(t[i]) && static_cast<unsigned char>(t[i]) < 0x80) {
            type = t[i++];
            if (isIdent(t[i]) || !std::strchr("qQwWiIrsx", type)) {
                reject(lx, st, at);
                return true;
            }
        }
        const char open = t[i];
        if (i >= n || static_cast<unsigned char>(open) >= 0x80 || (type != 'Q' && isSpace(open)) ||
            (type == 'Q' && i == at + 1 && open == '\n')) {
            reject(lx, st, at);
            return true;
        }
        const char close = closerOf(open);
        switch (type) {
        case 'w': case 'i': words(at, i + 1, open, close, false); break;
        case 'W': case 'I': words(at, i + 1, open, close, true); break;
        case 'r': regexp(at, i + 1, open, close); break;
        case 'q': case 's': quoted(at, i + 1, open, close, false, kEnd); break;
        default: quoted(at, i + 1, open, close, true, kEnd); break;
        }
        return true;
    }

    // A heredoc's opener at at ("<<", "<<-", "<<~", then its identifier,
    // bare or quoted); false when none stands there.
    bool heredoc(std::size_t at)
    {
        std::size_t i = at + 2;
        char type = 0;
        if (t[i] == '-' || t[i] == '~')
            type = t[i++];
        RubyHeredoc h;
        h.type = type;
        std::size_t end;
        if (t[i] == '\'' || t[i] == '"' || t[i] == '`') {
            const char q = t[i];
            std::size_t j = i + 1;
            while (j < n && t[j] != q && t[j] != '\n')
                ++j;
            if (j >= n || t[j] != q) {
                reject(lx, st, at);
                return true;
            }
            h.id = static_cast<std::uint32_t>(i + 1);
            h.idLength = static_cast<std::uint32_t>(j - i - 1);
            h.raw = q == '\'';
            end = j + 1;
        } else if (isIdent(t[i])) {
            std::size_t j = i;
            while (isIdent(t[j]))
                ++j;
            h.id = static_cast<std::uint32_t>(i);
            h.idLength = static_cast<std::uint32_t>(j - i);
            end = j;
        } else {
            return false;
        }
        if (st.heredocCount == kRubyHeredocs) {
            reject(lx, st, at);
            return true;
        }
        st.heredocs[st.heredocCount++] = h;
        // Its key leaves out the '-' or '~': the body's token holds what
        // they change, so that "<<-A" may become "<<~A" with its body indented.
        ByteBuffer &keys = st.store->keys;
        RubyToken &tok = push(st, TokenKind::Code, at, end);
        tok.in = RubyKeyIn::Keys;
        tok.key = static_cast<std::uint32_t>(keys.size());
        *keys.grow(1) = '<';
        *keys.grow(1) = '<';
        const std::size_t from = type ? at + 3 : at + 2;
        std::memcpy(keys.grow(end - from), t + from, end - from);
        tok.length = static_cast<std::uint32_t>(keys.size() - tok.key);
        finish(end, kEnd);
        return true;
    }

    // The bodies of the heredocs opened on the line whose line feed is at
    // lf, each a token; false when one has no closing line (refused).
    bool heredocBodies(std::size_t lf)
    {
        std::size_t p = lf + 1;
        for (std::size_t k = 0; k < st.heredocCount; ++k) {
            const RubyHeredoc &h = st.heredocs[k];
            const std::size_t start = p;
            for (;;) {
                if (p >= n) {
                    reject(lx, st, start > 0 ? start - 1 : 0);
                    return false;
                }
                const char *nl = static_cast<const char *>(std::memchr(t + p, '\n', n - p));
                const std::size_t e = nl ? static_cast<std::size_t>(nl - t) : n;
                std::size_t s = p;
                if (h.type)
                    while (s < e && (t[s] == ' ' || t[s] == '\t'))
                        ++s;
                std::size_t idEnd = s + h.idLength;
                const bool closes = idEnd <= e && std::memcmp(t + s, t + h.id, h.idLength) == 0 &&
                                    (idEnd == e || (idEnd + 1 == e && t[idEnd] == '\r'));
                if (closes) {
                    body(h, start, p);
                    p = e < n ? e + 1 : n;
                    break;
                }
                p = e + 1;
            }
        }
        st.heredocCount = 0;
        st.pos = p;
        return true;
    }

    // A heredoc body's token, from start to end (its closing line's start):
    // a mark byte that no other token starts with, then its text, the CR of
    // each CR LF left out; a squiggly one's lines lose the indentation of
    // its least indented line, as Ruby takes it away.
    void body(const RubyHeredoc &h, std::size_t start, std::size_t end)
    {
        ByteBuffer &keys = st.store->keys;
        RubyToken &tok = push(st, TokenKind::Code, start, end);
        tok.in = RubyKeyIn::Keys;
        tok.key = static_cast<std::uint32_t>(keys.size());
        *keys.grow(1) = '\x01';
        std::size_t width = h.type == '~' ? dedentWidth(h, start, end) : 0;
        bool lineStart = true;
        std::size_t strip = 0;
        for (std::size_t i = start; i < end; ++i) {
            if (lineStart) {
                strip = 0;
                lineStart = false;
                while (strip < width && t[i] == ' ' && i < end)
                    ++i, ++strip;
                if (i >= end)
                    break;
            }
            if (t[i] == '\n')
                lineStart = true;
            if (!(t[i] == '\r' && t[i + 1] == '\n' && i + 1 < end))
                *keys.grow(1) = t[i];
        }
        tok.length = static_cast<std::uint32_t>(keys.size() - tok.key);
    }

    // The indentation a squiggly heredoc's lines lose: the least of its
    // lines that hold more than blanks; 0 (its text as written) where a tab
    // indents a line or a backslash joins two, whose widths Ruby counts in
    // ways not followed here.
    std::size_t dedentWidth(const RubyHeredoc &h, std::size_t start, std::size_t end)
    {
        std::size_t least = static_cast<std::size_t>(-1);
        std::size_t i = start;
        while (i < end) {
            std::size_t s = i;
            while (s < end && t[s] == ' ')
                ++s;
            if (t[s] == '\t')
                return 0;
            const char *nl = static_cast<const char *>(std::memchr(t + s, '\n', end - s));
            const std::size_t e = nl ? static_cast<std::size_t>(nl - t) : end;
            std::size_t last = e;
            if (last > s && t[last - 1] == '\r')
                --last;
            if (!h.raw && last > s && t[last - 1] == '\\')
                return 0;
            bool blanks = true;
            for (std::size_t j = s; j < last; ++j)
                if (t[j] != ' ' && t[j] != '\t')
                    blanks = false;
            if (!blanks)
                least = std::min(least, s - i);
            i = e + 1;
        }
        return least == static_cast<std::size_t>(-1) ? 0 : least;
    }

    // The line feed at lf, outside any literal: the bodies of the heredocs
    // opened on its line, then, where it ends a statement, a LineEnd.
    void lineFeed(std::size_t lf)
    {
        st.pos = lf + 1;
        if (st.heredocCount > 0 && !heredocBodies(lf))
            return;
        const unsigned s = st.state;
        st.spaceSeen = true;
        if ((s & (kBeg | kClass | kFname | kDot)) && !(s & kLabeled))
            return;
        // A next line that starts with ".name" or "&." goes on with the
        // statement, over lines of comments.
        std::size_t i = skipBlanks(st.pos);
        if (t[i] != '#')
            st.pos = i;  // the next step starts at the line's first token
        while (t[i] == '#') {
            i = lineEnd(i);
            if (i >= n)
                break;
            i = skipBlanks(i + 1);
        }
        if ((t[i] == '.' && t[i + 1] != '.') || (t[i] == '&' && t[i + 1] == '.'))
            return;
        st.state = kBeg;
        st.commandStart = true;
        st.defNoParen = false;
        st.bareIdent = false;
        st.loopCondition = st.endlessDef = false;
        // A statement's end just before a closing bracket, the keyword end
        // or the source's end is Ruby's optional line end there: layout.
        for (;;) {
            while (i < n && isSpace(t[i]))
                ++i;
            if (t[i] == '#' && i < n) {
                i = lineEnd(i);
                continue;
            }
            break;
        }
        if (i >= n || t[i] == ')' || t[i] == ']' || t[i] == '}' || endKeywordAt(i))
            return;
        RubyToken &tok = push(st, TokenKind::LineEnd, lf, lf + 1);
        tok.in = RubyKeyIn::Static;
        tok.fixed = "\n";
        tok.length = 1;
    }

    // True when the keyword "end" stands at i (no longer name, no label).
    bool endKeywordAt(std::size_t i) const
    {
        const char c = t[i + 3];
        return std::strncmp(t + i, "end", 3) == 0 && !isIdent(c) && c != '?' && c != '!' && c != ':';
    }

    // A comment from its '#' at i: layout, but that a magic comment, which
    // tells Ruby how to read the source, is a token; with --comments, its
    // words are.
    void comment(std::size_t i)
    {
        const std::size_t e = lineEnd(i);
        std::size_t last = e;
        while (last > i && isBlank(t[last - 1]))
            --last;
        if (isMagic(i, last)) {
            // The blanks after its '#' are layout: Ruby reads it either way.
            std::size_t from = i + 1;
            while (from < last && isBlank(t[from]))
                ++from;
            ByteBuffer &keys = st.store->keys;
            RubyToken &tok = push(st, TokenKind::Code, i, last);
            tok.in = RubyKeyIn::Keys;
            tok.key = static_cast<std::uint32_t>(keys.size());
            *keys.grow(1) = '#';
            std::memcpy(keys.grow(last - from), t + from, last - from);
            tok.length = static_cast<std::uint32_t>(keys.size() - tok.key);
            st.pos = e;
        } else if (lx.options.comments) {
            st.wordsResume = e;
            commentWords(i + 1, e);
        } else {
            st.pos = e;
        }
    }

    // True when the comment from its '#' at i to e may tell Ruby how to
    // read the source: its first word (after blanks and the bytes '":;) is
    // one of the magic names, in any case and with '-' for '_'; or it holds
    // "-*-", between which Ruby reads names anywhere; or it stands on the
    // first two lines and holds "coding", as Ruby looks for an encoding there.
    bool isMagic(std::size_t i, std::size_t e) const
    {
        static const struct {
            const char *name;
            std::size_t length;
        } kMagic[] = {{"frozen_string_literal", 21}, {"coding", 6}, {"encoding", 8}, {"warn_indent", 11},
                      {"shareable_constant_value", 24}, {"warn_past_scope", 15}};
        auto skipped = [](char c) { return isSpace(c) || c == '\'' || c == '"' || c == ':' || c == ';'; };
        std::size_t w = i + 1;
        while (w < e && skipped(t[w]))
            ++w;
        std::size_t we = w;
        while (we < e && !skipped(t[we]))
            ++we;
        for (const auto &m : kMagic)
            if (m.length == we - w && sameMagicName(t + w, m.name))
                return true;
        for (const char *p = t + i; (p = static_cast<const char *>(std::memchr(p, '*', t + e - p))); ++p)
            if (p[-1] == '-' && p[1] == '-')
                return true;
        const std::vector<std::uint32_t> &starts = st.store->lineStarts;
        if (starts.size() > 2 && i >= starts[2])
            return false;
        for (std::size_t j = i + 1; j + 6 <= e; ++j)
            if (sameMagicName(t + j, "coding"))
                return true;
        return false;
    }

    // True when the bytes at p spell name, in any case, '-' standing for '_'.
    static bool sameMagicName(const char *p, const char *name)
    {
        for (; *name; ++p, ++name) {
            const char c = *p >= 'A' && *p <= 'Z' ? static_cast<char>(*p - 'A' + 'a') : *p == '-' ? '_' : *p;
            if (c != *name)
                return false;
        }
        return true;
    }

    // The text offset of the first byte from i on that is no blank: a run
    // of spaces (indentation, mostly) eight bytes at a time, where the
    // processor stores words low byte first. The text's padding stops it.
    std::size_t skipBlanks(std::size_t i) const
    {
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        for (;;) {
            std::uint64_t w;
            std::memcpy(&w, t + i, 8);
            const std::uint64_t other = w ^ 0x2020202020202020ull;  // a non-zero byte where no space stands
            if (other != 0) {
                i += static_cast<std::size_t>(__builtin_ctzll(other)) >> 3;
                break;
            }
            i += 8;
        }
#endif
        while (isBlank(t[i]))
            ++i;
        return i;
    }

    // The text offset of the first line feed from i on, or n.
    std::size_t lineEnd(std::size_t i) const
    {
        const void *lf = i < n ? std::memchr(t + i, '\n', n - i) : nullptr;
        return lf ? static_cast<std::size_t>(static_cast<const char *>(lf) - t) : n;
    }

    // With --comments, the words of a comment from i to e go out one a
    // step (nextWord), from pos.
    void commentWords(std::size_t i, std::size_t e)
    {
        st.wordsEnd = e;
        st.pos = i;
    }

    // The next word of the comment open at pos; the comment's end passed,
    // the lexer goes on from there.
    void nextWord()
    {
        std::size_t i = st.pos;
        const std::size_t e = st.wordsEnd;
        while (i < e && isSpace(t[i]))
            ++i;
        const std::size_t w = i;
        while (i < e && !isSpace(t[i]))
            ++i;
        if (i > w)
            push(st, TokenKind::CommentWord, w, i);
        st.pos = i;
        if (i >= e) {
            st.pos = st.wordsResume;
            st.wordsEnd = 0;
        }
    }

    // "=begin" at the line's start i: true when a block comment opens
    // there, skipped to after its "=end" line (refused when none comes).
    bool embeddedDoc(std::size_t i)
    {
        if (std::strncmp(t + i, "=begin", 6) != 0 || !(isSpace(t[i + 6]) || i + 6 >= n))
            return false;
        std::size_t p = i;
        for (;;) {
            const char *nl = static_cast<const char *>(std::memchr(t + p, '\n', n - p));
            if (!nl) {
                reject(lx, st, i);
                return true;
            }
            p = static_cast<std::size_t>(nl - t) + 1;
            if (std::strncmp(t + p, "=end", 4) == 0 && (isSpace(t[p + 4]) || p + 4 >= n))
                break;
        }
        const char *nl = static_cast<const char *>(std::memchr(t + p, '\n', n - p));
        const std::size_t e = nl ? static_cast<std::size_t>(nl - t) : n;
        st.pos = e;  // the line feed after "=end" is read as any other
        if (lx.options.comments) {
            st.wordsResume = e;
            commentWords(i + 6, p);
        }
        return true;
    }

    bool atLineStart(std::size_t i) const
    {
        return i == 0 || t[i - 1] == '\n';
    }

    // --- Names ---------------------------------------------------------------

    // The text offset of the first byte from i on that is no name byte:
    // sixteen bytes at a time where the processor has SSE2 (the text's
    // padding stops it), else one at a time.
    std::size_t identEnd(std::size_t i) const
    {
#if defined(__SSE2__)
        const __m128i fold = _mm_set1_epi8(0x20), a = _mm_set1_epi8(static_cast<char>(0x80 - 'a')),
                      zero = _mm_set1_epi8(static_cast<char>(0x80 - '0')), letters = _mm_set1_epi8(-128 + 26),
                      digits = _mm_set1_epi8(-128 + 10), under = _mm_set1_epi8('_');
        for (;;) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(t + i));
            // A letter in either case, folded to lower case, in 'a'..'z'; a
            // digit; '_'; a byte beyond ASCII (negative as a signed byte).
            const __m128i letter = _mm_cmplt_epi8(_mm_add_epi8(_mm_or_si128(v, fold), a), letters);
            const __m128i digit = _mm_cmplt_epi8(_mm_add_epi8(v, zero), digits);
            const __m128i name = _mm_or_si128(_mm_or_si128(letter, digit),
                                              _mm_or_si128(_mm_cmpeq_epi8(v, under), _mm_cmplt_epi8(v, _mm_setzero_si128())));
            const unsigned other = ~static_cast<unsigned>(_mm_movemask_epi8(name)) & 0xFFFFu;
            if (other != 0)
                return i + static_cast<std::size_t>(__builtin_ctz(other));
            i += 16;
        }
#else
        while (isIdent(t[i]))
            ++i;
        return i;
#endif
    }

    void name(std::size_t at)
    {
        const unsigned s = st.state;
        const bool cmd = st.commandStart;
        std::size_t i = identEnd(at);
        if ((t[i] == '!' || t[i] == '?') &&
            (t[i + 1] != '=' || t[i + 2] == '=' || t[i + 2] == '~' || t[i + 2] == '>'))
            ++i;
        const std::size_t len = i - at;
        const bool suffixed = t[i - 1] == '!' || t[i - 1] == '?';
        if (len == 7 && atLineStart(at) && std::memcmp(t + at, "__END__", 7) == 0 &&
            (i >= n || t[i] == '\n' || (t[i] == '\r' && t[i + 1] == '\n'))) {
            push(st, TokenKind::Code, at, i);
            const std::size_t data = t[i] == '\r' ? i + 2 : i + 1;
            if (data < n)
                push(st, TokenKind::Code, data, n);
            st.pos = n;
            return;
        }
        const bool labelPossible = (((s & (kLabel | kEndFn)) != 0) & !cmd) | ((s & kArgAny) != 0);
        if (labelPossible && t[i] == ':' && t[i + 1] != ':' && !(s & kDot)) {
            push(st, TokenKind::Code, at, i + 1);
            if (st.blockParams || st.defParams >= 0 || st.defNoParen)
                addLocal(st, t + at, len);
            st.bareIdent = false;
            return finish(i + 1, kArg | kLabeled);
        }
        push(st, TokenKind::Code, at, i, true);
        st.pos = i;
        if (!(s & kDot)) {
            const Word kw = keyword(at, len);
            if (kw != Word::None) {
                st.bareIdent = false;
                if (s & kFname) {
                    st.state = kEndFn;
                    return;
                }
                keywordState(kw, s);
                return;
            }
        }
        const bool constant = t[at] >= 'A' && t[at] <= 'Z';
        const bool bare = !constant & !suffixed & !(s & (kDot | kFname));
        if (s & (kBegAny | kArgAny | kDot))
            st.state = cmd ? kCmdArg : kArg;
        else if (s == kFname)
            st.state = kEndFn;
        else
            st.state = kEnd;
        if (bare && (st.blockParams || (st.defParams >= 0 && st.parens >= st.defParams) || st.defNoParen))
            addLocal(st, t + at, len);
        if (bare && isLocal(st, t + at, len))
            st.state = kEnd | kLabel;
        st.bareIdent = bare;
        st.identAt = static_cast<std::uint32_t>(at);
        st.identLength = static_cast<std::uint32_t>(len);
    }

    // The reserved word that the name of len bytes at at spells, or None:
    // the one word in its slot compared whole, sixteen bytes masked to len
    // (the text's padding makes them readable).
    Word keyword(std::size_t at, std::size_t len) const
    {
        if (len < 2 || len > kWordBytes)
            return Word::None;
        const unsigned char *p = reinterpret_cast<const unsigned char *>(t + at);
        const unsigned k = wordSlot(p[0], p[len >> 1], p[len - 1], len);
        std::uint64_t w[2], mask[2], word[2];
        std::memcpy(w, p, 16);
        std::memcpy(mask, kWordMasks.of[len], 16);
        std::memcpy(word, kWords.spelling[k], 16);
        return (((w[0] & mask[0]) == word[0]) & ((w[1] & mask[1]) == word[1])) ? kWords.word[k] : Word::None;
    }

    // The state that reserved word kw leaves (parse.y's keyword table),
    // before is the state before it.
    void keywordState(Word kw, unsigned before)
    {
        const unsigned state = kWordStates[static_cast<unsigned char>(kw)];
        st.state = state;
        if (state & kBeg)
            st.commandStart = true;
        // A def, class or module body sees no local variable from around it:
        // the names known so far are forgotten (those of the outer body too,
        // which then read as method calls: "x /a/" a regular expression,
        // compared as written).
        if (kw == Word::Def || kw == Word::Class || kw == Word::Module)
            forgetLocals(st, 0);
        const bool modifier =
            kw == Word::If || kw == Word::Unless || kw == Word::While || kw == Word::Until || kw == Word::Rescue;
        const bool isModifier = modifier && !(before & (kBeg | kLabeled | kClass));
        blockKeyword(kw, isModifier);
        if (kw == Word::Def) {
            st.defName = true;
            return;
        }
        if (kw == Word::Do)
            st.afterBlockOpen = true;
        if (isModifier)
            st.state = kBeg | kLabel;
    }

    // Follows which "end" closes a "do" block: the reserved words that open
    // a construct an "end" closes are counted in the innermost block. A
    // loop's "do" (while x do) opens none; a def that turns out to have no
    // "end" (def f = x) is taken back at its '='.
    void blockKeyword(Word kw, bool modifier)
    {
        RubyBlock *top = st.blockCount > 0 ? &st.blocks[st.blockCount - 1] : nullptr;
        if (kw == Word::End) {
            if (top && top->opens > 0)
                --top->opens;
            else if (top && top->braces < 0)
                closeBlock(st);
            return;
        }
        if (kw == Word::Do) {
            if (st.loopCondition && st.parens == st.loopParens) {
                st.loopCondition = false;
            } else if (!openBlock(st, -1)) {
                refuseSource(lx, "blocks nested too deep to compare as Ruby");
                st.finished = true;
                st.count = 0;
            }
            return;
        }
        const bool loop = kw == Word::While || kw == Word::Until || kw == Word::For;
        if (modifier || !(loop || kw == Word::If || kw == Word::Unless || kw == Word::Def || kw == Word::Class ||
                          kw == Word::Module || kw == Word::Case || kw == Word::Begin))
            return;
        if (loop) {
            st.loopCondition = true;
            st.loopParens = st.parens;
        }
        if (kw == Word::Def) {
            st.endlessDef = true;
            st.defParens = st.parens;
            st.defHeadNames = 0;
        }
        if (top)
            ++top->opens;
    }

    // --- Operators -------------------------------------------------------------

    // An operator, a number, a variable or a character literal of len
    // bytes at at, its key as written.
    void op(std::size_t at, std::size_t len, unsigned state)
    {
        push(st, TokenKind::Code, at, at + len, true);
        finish(at + len, state);
    }

    void opKey(std::size_t at, std::size_t len, const char *key, unsigned state)
    {
        pushStatic(st, at, at + len, key);
        finish(at + len, state);
    }

    // After an operator: ARG after a def's or a call's '.', else BEG.
    unsigned afterOp(unsigned s, unsigned beg = kBeg) const
    {
        return (s & (kFname | kDot)) ? kArg : beg;
    }

    // An operator ending in '=' that assigns (+=, ||=, ...), or '=': the name
    // before it is a local variable from here on.
    void assigns()
    {
        if (wasBare)
            addLocal(st, t + st.identAt, st.identLength);
    }

    // A token from at, the layout before it skipped. Made part of step, its
    // one caller: a call between them cost a twentieth of the time.
    __attribute__((always_inline)) void token(std::size_t at)
    {
        const unsigned s = st.state;
        const char c = t[at], c1 = t[at + 1], c2 = t[at + 2];
        const bool spaceSeen = st.spaceSeen;
        auto spcArg = [&](char next) { return (s & kArgAny) && spaceSeen && !isSpace(next) && next != 0; };
        const bool beg = isBegState(s);
        wasBare = st.bareIdent;
        const bool blockOpen = st.afterBlockOpen;
        st.afterBlockOpen = false;
        st.bareIdent = false;
        const bool defName = st.defName;
        st.defName = false;
        st.commandStart = false;

        if (isIdent(c) && !isDigit(c)) {
            if (st.endlessDef && st.parens == st.defParens && st.defHeadNames < 2)
                ++st.defHeadNames;
            name(at);
            if (defName && !(st.state & kLabeled))
                st.defName = true;  // the method's name, or self before its '.'
            else if (defName)
                st.defNoParen = true;
            return;
        }
        if (defName && (c == '(' || ((c == '*' || c == '&') && spaceSeen)))
            (c == '(' ? st.defParams = st.parens + 1 : (st.defNoParen = true, 0));
        if (defName && c == '.')
            st.defName = true;
        switch (c) {
        case '"': case '`':
            if (c == '`' && (s & (kFname | kDot)))
                return op(at, 1, s & kFname ? kEndFn : kArg);
            return stringLabel(at, c, true);
        case '\'':
            return stringLabel(at, c, false);
        case '@': {
            std::size_t i = at + (c1 == '@' ? 2 : 1);
            if (!isIdent(t[i]) || isDigit(t[i]))
                return reject(lx, st, at);
            while (isIdent(t[i]))
                ++i;
            return op(at, i - at, kEnd);
        }
        case '$':
            return global(at);
        case '0': case '1': case '2': case '3': case '4': case '5': case '6': case '7': case '8': case '9':
            return number(at, at);
        case ';':
            st.commandStart = true;
            st.defNoParen = false;
            st.loopCondition = st.endlessDef = false;
            return op(at, 1, kBeg);
        case ',':
            return op(at, 1, kBeg | kLabel);
        case '(': {
            const bool arg = !beg && spaceSeen && ((s & kArgAny) || (s & (kEnd | kLabel)) == (kEnd | kLabel));
            ++st.parens;
            return arg ? opKey(at, 1, "(@", kBeg | kLabel) : op(at, 1, kBeg | kLabel);
        }
        case ')':
            if (st.defParams >= 0 && st.parens <= st.defParams)
                st.defParams = -1;
            if (st.parens > 0)
                --st.parens;
            return op(at, 1, kEndFn);
        case '[':
            if (s & (kFname | kDot)) {
                if (c1 == ']')
                    return op(at, c2 == '=' ? 3 : 2, kArg);
                return op(at, 1, kArg | kLabel);
            }
            if (beg || ((s & kArgAny) && (spaceSeen || (s & kLabeled))))
                return opKey(at, 1, "[@", kBeg | kLabel);
            return op(at, 1, kBeg | kLabel);
        case ']':
            return op(at, 1, kEnd);
        case '{': {
            ++st.braces;
            const bool block = !(s & kLabeled) && (s & (kArgAny | kEnd | kEndFn | kEndArg));
            if (block) {
                if (!openBlock(st, st.braces)) {
                    refuseSource(lx, "blocks nested too deep to compare as Ruby");
                    st.finished = true;
                    st.count = 0;
                    return;
                }
                st.commandStart = true;
                st.afterBlockOpen = true;
                return op(at, 1, kBeg);
            }
            return op(at, 1, kBeg | kLabel);
        }
        case '}':
            if (st.literalCount > 0 && st.literals[st.literalCount - 1].braces == st.braces) {
                const RubyLiteral lit = st.literals[--st.literalCount];
                st.state = st.literalCount > 0 ? kBeg : st.state;
                return part(at, at + 1, lit);
            }
            if (st.blockCount > 0 && st.blocks[st.blockCount - 1].braces == st.braces)
                closeBlock(st);
            if (st.braces > 0)
                --st.braces;
            return op(at, 1, kEnd);
        case '.':
            if (st.endlessDef && st.parens == st.defParens)
                st.defHeadNames = 0;  // def self.f
            if (c1 == '.')
                return op(at, c2 == '.' ? 3 : 2, kBeg);
            if (isDigit(c1))
                return reject(lx, st, at);
            return op(at, 1, kDot);
        case ':':
            return colon(at, s, beg, spaceSeen);
        case '?':
            return question(at, s, spaceSeen);
        case '=':
            if (c1 == '=')
                return op(at, c2 == '=' ? 3 : 2, afterOp(s));
            if (c1 == '~' || c1 == '>')
                return op(at, 2, afterOp(s));
            if (st.endlessDef && st.parens == st.defParens && st.defHeadNames == 1 && !(s & kFname) &&
                !(defName && !spaceSeen)) {
                // "def f(x) = x": no "end" closes it ("def f=(x)" names a
                // setter, "def f a = 1" gives a parameter a default).
                st.endlessDef = false;
                if (st.blockCount > 0 && st.blocks[st.blockCount - 1].opens > 0)
                    --st.blocks[st.blockCount - 1].opens;
            }
            assigns();
            return op(at, 1, afterOp(s));
        case '!':
            if (c1 == '=' || c1 == '~')
                return op(at, 2, afterOp(s));
            if ((s & (kFname | kDot)) && c1 == '@')
                return op(at, 2, kArg);
            return op(at, 1, afterOp(s));
        case '~':
            if ((s & (kFname | kDot)) && c1 == '@')
                return op(at, 2, kArg);
            return op(at, 1, afterOp(s));
        case '^':
            if (c1 == '=')
                return assigns(), op(at, 2, kBeg);
            return op(at, 1, afterOp(s));
        case '-': case '+':
            return sign(at, s, beg, spcArg(c1));
        case '*':
            if (c1 == '*') {
                if (c2 == '=')
                    return assigns(), op(at, 3, kBeg);
                if (spcArg(c2) || beg)
                    return opKey(at, 2, "**@", afterOp(s));
                return op(at, 2, afterOp(s));
            }
            if (c1 == '=')
                return assigns(), op(at, 2, kBeg);
            if (spcArg(c1) || beg)
                return opKey(at, 1, "*@", afterOp(s));
            return op(at, 1, afterOp(s));
        case '&':
            if (c1 == '&')
                return c2 == '=' ? (assigns(), op(at, 3, kBeg)) : op(at, 2, kBeg);
            if (c1 == '=')
                return assigns(), op(at, 2, kBeg);
            if (c1 == '.')
                return op(at, 2, kDot);
            if (spcArg(c1) || beg)
                return opKey(at, 1, "&@", afterOp(s));
            return op(at, 1, afterOp(s));
        case '|':
            if (c1 == '|' && !(beg && blockOpen))
                return c2 == '=' ? (assigns(), op(at, 3, kBeg)) : op(at, 2, kBeg);
            if (c1 == '=')
                return assigns(), op(at, 2, kBeg);
            if (blockOpen)
                st.blockParams = true;
            else if (st.blockParams)
                st.blockParams = false;
            return op(at, 1, afterOp(s, kBeg | kLabel));
        case '<':
            if (c1 == '<' && !(s & (kDot | kClass)) && !(s & kEndAny) &&
                (!(s & kArgAny) || (s & kLabeled) || spaceSeen) && heredoc(at))
                return;
            if (c1 == '=' && c2 == '>')
                return op(at, 3, afterOp(s));
            if (c1 == '<')
                return c2 == '=' ? (assigns(), op(at, 3, kBeg)) : op(at, 2, afterOp(s));
            return op(at, c1 == '=' ? 2 : 1, afterOp(s));
        case '>':
            if (c1 == '>')
                return c2 == '=' ? (assigns(), op(at, 3, kBeg)) : op(at, 2, afterOp(s));
            return op(at, c1 == '=' ? 2 : 1, afterOp(s));
        case '/':
            if (beg)
                return regexp(at, at + 1, '/', '/');
            if (c1 == '=')
                return assigns(), op(at, 2, kBeg);
            if (spcArg(c1))
                return regexp(at, at + 1, '/', '/');
            return op(at, 1, afterOp(s));
        case '%':
            if (beg) {
                percent(at);
                return;
            }
            if (c1 == '=')
                return assigns(), op(at, 2, kBeg);
            if (spcArg(c1) || ((s & kFitem) && c1 == 's')) {
                percent(at);
                return;
            }
            return op(at, 1, afterOp(s));
        default:
            return reject(lx, st, at);
        }
    }

    // A string at at, quote c; a label ("key": value) where Ruby takes one.
    void stringLabel(std::size_t at, char c, bool interpolates)
    {
        const unsigned s = st.state;
        const bool labelPossible = ((s & (kLabel | kEndFn)) && !st.commandStart) || (s & kArgAny);
        if (interpolates) {
            RubyLiteral lit;
            lit.close = c;
            lit.label = labelPossible && c != '`';
            return part(at, at + 1, lit);
        }
        const std::uint32_t e = scanLiteral(t, n, at + 1, 0, c, interpolates, 0);
        if (e == kFail)
            return reject(lx, st, at);
        if (c != '`' && labelPossible && t[e] == ':' && t[e + 1] != ':') {
            if (literal(at, e + 1))
                finish(e + 1, kArg | kLabeled);
            return;
        }
        if (literal(at, e))
            finish(e, kEnd);
    }

    void global(std::size_t at)
    {
        const char c1 = t[at + 1];
        std::size_t i = at + 1;
        if (c1 == '-') {
            i += isIdent(t[at + 2]) ? 2 : 1;
        } else if (std::strchr("~*$?!@/\\;,.=:<>\"&`'+0_", c1) && c1 != 0 && !(c1 == '_' && isIdent(t[at + 2])) &&
                   !(c1 == '0' && isIdent(t[at + 2]))) {
            i += 1;
        } else if (isIdent(c1)) {
            while (isIdent(t[i]))
                ++i;
        } else {
            return reject(lx, st, at);
        }
        op(at, i - at, kEnd);
    }

    // A number from i; at is where its token starts (a sign before it).
    void number(std::size_t at, std::size_t i)
    {
        const bool hex = t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X');
        bool dot = false;
        for (;;) {
            while (isIdent(t[i]) && static_cast<unsigned char>(t[i]) < 0x80)
                ++i;
            const char last = t[i - 1];
            if (!hex && (last == 'e' || last == 'E') && (t[i] == '+' || t[i] == '-') && isDigit(t[i + 1])) {
                i += 1;
                continue;
            }
            if (!dot && !hex && t[i] == '.' && isDigit(t[i + 1])) {
                dot = true;
                i += 1;
                continue;
            }
            break;
        }
        op(at, i - at, kEnd);
    }

    // '-' or '+' at at: "-@" where Ruby reads it as unary, "-@n" before a
    // number it makes negative; "->" a lambda.
    void sign(std::size_t at, unsigned s, bool beg, bool spcArg)
    {
        const char c = t[at], c1 = t[at + 1];
        if (s & (kFname | kDot))
            return op(at, c1 == '@' ? 2 : 1, kArg);
        if (c1 == '=')
            return assigns(), op(at, 2, kBeg);
        if (c == '-' && c1 == '>')
            return op(at, 2, kEndFn);
        if (beg || spcArg) {
            if (isDigit(c1)) {
                pushStatic(st, at, at + 1, c == '-' ? "-@n" : "+@n");
                return number(at + 1, at + 1);
            }
            return opKey(at, 1, c == '-' ? "-@" : "+@", kBeg);
        }
        op(at, 1, kBeg);
    }

    void colon(std::size_t at, unsigned s, bool beg, bool spaceSeen)
    {
        const char c1 = t[at + 1];
        if (c1 == ':') {
            if (beg || (s & kClass) || ((s & kArgAny) && spaceSeen))
                return opKey(at, 2, "::@", kBeg);
            return op(at, 2, kDot);
        }
        if ((s & kEndAny) || isSpace(c1) || c1 == '#' || at + 1 >= n)
            return op(at, 1, kBeg);
        if (c1 == '"' || c1 == '\'')
            return quoted(at, at + 2, c1, c1, c1 == '"', kEnd);
        std::size_t i = at + 1;
        if (isIdent(c1) && !isDigit(c1)) {
            while (isIdent(t[i]))
                ++i;
            if ((t[i] == '!' || t[i] == '?') && t[i + 1] != '=')
                ++i;
            else if (t[i] == '=' && t[i + 1] != '=' && t[i + 1] != '~' && t[i + 1] != '>')
                ++i;
        } else if (c1 == '@') {
            i += t[i + 1] == '@' ? 2 : 1;
            while (isIdent(t[i]))
                ++i;
        } else if (c1 == '$') {
            std::size_t j = i;
            while (isIdent(t[j + 1]) || (j == i && t[j + 1] != 0 && std::strchr("~*$?!@/\\;,.=:<>\"&`'+", t[j + 1])))
                ++j;
            i = j + 1;
        } else {
            static const char *const kOps[] = {"[]=", "[]", "<=>", "===", "==", "=~", "!~", "!=", "**", "+@", "-@",
                                               "<<", ">>", "<=", ">=", "+", "-", "*", "/", "%", "<", ">", "!", "~",
                                               "&", "|", "^", "`"};
            for (const char *o : kOps)
                if (std::strncmp(t + i, o, std::strlen(o)) == 0) {
                    i += std::strlen(o);
                    break;
                }
        }
        if (i == at + 1)
            return reject(lx, st, at);
        op(at, i - at, kEnd);
    }

    // '?' at at: a character literal (?a, ?\n, ?\C-x) or the ternary's '?'.
    void question(std::size_t at, unsigned s, bool spaceSeen)
    {
        (void)spaceSeen;
        const char c1 = t[at + 1];
        if ((s & kEndAny) || at + 1 >= n || isSpace(c1))
            return op(at, 1, kBeg);
        if ((isIdent(c1) && static_cast<unsigned char>(c1) < 0x80) && isIdent(t[at + 2]))
            return op(at, 1, kBeg);
        std::size_t i = at + 1;
        if (static_cast<unsigned char>(c1) >= 0x80) {
            ++i;
            while ((static_cast<unsigned char>(t[i]) & 0xC0) == 0x80)
                ++i;
        } else if (c1 == '\\') {
            i = escape(i);
        } else {
            ++i;
        }
        if (i > n)
            return reject(lx, st, at);
        op(at, i - at, kEnd);
        // The one such token whose bytes may hold a zero byte: "?\0".
        if (std::memchr(t + at, 0, i - at))
            st.queue[(st.head + st.count - 1) & (kRubyQueue - 1)].plain = false;
    }

    // An escape from its backslash at i: the offset after it.
    std::size_t escape(std::size_t i)
    {
        // \C-, \M- and \c take the escape or byte after them, however many.
        for (;;) {
            const char m = t[i + 1];
            if ((m == 'C' || m == 'M') && t[i + 2] == '-' && t[i + 3] == '\\' && i + 3 < n)
                i += 3;
            else if (m == 'c' && t[i + 2] == '\\' && i + 2 < n)
                i += 2;
            else
                break;
        }
        const char e = t[i + 1];
        if (e == 'u' && t[i + 2] == '{') {
            std::size_t j = i + 3;
            while (j < n && t[j] != '}' && t[j] != '\n')
                ++j;
            return j + 1;
        }
        std::size_t j = i + 2;
        auto run = [&](std::size_t most, bool (*in)(char)) {
            for (std::size_t k = 0; k < most && in(t[j]); ++k)
                ++j;
        };
        if (e == 'u') {
            run(4, [](char c) { return std::strchr("0123456789abcdefABCDEF", c) != nullptr && c != 0; });
        } else if (e == 'x') {
            run(2, [](char c) { return std::strchr("0123456789abcdefABCDEF", c) != nullptr && c != 0; });
        } else if (e >= '0' && e <= '7') {
            run(2, [](char c) { return c >= '0' && c <= '7'; });
        } else if ((e == 'C' || e == 'M') && t[i + 2] == '-') {
            return i + 4;
        } else if (e == 'c') {
            return i + 3;
        } else if (static_cast<unsigned char>(e) >= 0x80) {
            while ((static_cast<unsigned char>(t[j]) & 0xC0) == 0x80)
                ++j;
        }
        return j;
    }

    // One step from pos: layout skipped, then a token read (or refused).
    void step()
    {
        if (st.wordsEnd > 0)
            return nextWord();
        if (st.wordList)
            return nextListWord();
        std::size_t i = st.pos;
        for (;;) {
            // Most tokens follow another or one blank: blanks looked for
            // only where one stands.
            if (isBlank(t[i])) {
                i = skipBlanks(i);
                st.spaceSeen = true;
            }
            if (i >= n) {
                st.pos = n;
                if (st.heredocCount > 0)
                    return reject(lx, st, n);
                st.finished = true;
                return;
            }
            const char c = t[i];
            if (c == '\n') {
                lineFeed(i);
                return;
            }
            if (c == '#') {
                st.spaceSeen = true;
                return comment(i);
            }
            if (c == '\\' && (t[i + 1] == '\n' || (t[i + 1] == '\r' && t[i + 2] == '\n'))) {
                if (st.heredocCount > 0)
                    return reject(lx, st, i);
                i += t[i + 1] == '\n' ? 2 : 3;
                st.spaceSeen = true;
                continue;
            }
            if (c == '=' && atLineStart(i) && embeddedDoc(i))
                return;
            if (c == 0 || c == '\x04') {
                // Ruby reads no further: the rest is compared as bytes.
                push(st, TokenKind::Code, i, n);
                st.pos = n;
                return;
            }
            st.pos = i;
            token(i);
            st.spaceSeen = false;
            return;
        }
    }
};

} // namespace

// The text offset of each line's first byte, of the n bytes at text (some
// zero bytes after them readable), then 0xFFFFFFFF. Where the processor has
// SSE2, the line feeds of 64 bytes at a time are found as one bit mask (the
// last bytes sixteen at a time, the text's padding covering the last load);
// else by memchr.
static void noteLineStarts(const char *text, std::size_t n, std::vector<std::uint32_t> &starts)
{
    starts.assign(1, 0);
#if defined(__SSE2__)
    const __m128i feeds = _mm_set1_epi8('\n');
    auto feedsAt = [&](std::size_t i) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i));
        return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, feeds))));
    };
    auto note = [&](std::size_t i, std::uint64_t mask) {
        for (; mask != 0; mask &= mask - 1)
            starts.push_back(static_cast<std::uint32_t>(i + static_cast<std::size_t>(__builtin_ctzll(mask)) + 1));
    };
    std::size_t i = 0;
    for (; i + 64 <= n; i += 64)
        note(i, feedsAt(i) | feedsAt(i + 16) << 16 | feedsAt(i + 32) << 32 | feedsAt(i + 48) << 48);
    for (; i < n; i += 16)
        note(i, feedsAt(i) & ((n - i >= 16 ? std::uint64_t{1} << 16 : std::uint64_t{1} << (n - i)) - 1));
#else
    for (const char *p = text; (p = static_cast<const char *>(std::memchr(p, '\n', text + n - p)));)
        starts.push_back(static_cast<std::uint32_t>(++p - text));
#endif
    starts.push_back(0xFFFFFFFFu);  // the sentinel lineOf stops at
}

void rubyStart(Lexer &lx)
{
    RubyLexState &st = startLanguageState<RubyLexState>(lx);
    std::memset(st.locals, 0, sizeof st.locals);
    st.store = new RubyStore;
    lx.store.reset(st.store);
    lx.rejects = true;
    ByteBuffer &text = st.store->text;
    const bool fits = readWholeSource(*lx.source, text, kRubyMaxBytes);
    lx.anyByte = !fits || !text.empty();
    std::size_t n = fits ? text.size() : 0;
    std::size_t skip = 0;
    if (n >= 3 && std::memcmp(text.data(), "\xEF\xBB\xBF", 3) == 0)
        skip = 3;
    text.resize(n + kRubyPadding);
    std::memset(text.data() + n, 0, kRubyPadding);
    st.size = n;
    st.pos = skip;
    // Keys made apart never outgrow this: each is at most the bytes it
    // stands for, and a heredoc body's mark comes with an opener of three.
    st.store->keys.reserve(n + n / 3 + 64);
    noteLineStarts(text.data(), n, st.store->lineStarts);
    st.lineStarts = st.store->lineStarts.data();
    if (!fits) {
        refuseSource(lx, "too large to compare as Ruby");
        st.finished = true;
        return;
    }
    HashBangKey key;
    if (findHashBang(text.data(), n, key)) {
        ByteBuffer &keys = st.store->keys;
        RubyToken &tok = push(st, TokenKind::Code, key.head - 2, key.end);
        tok.in = RubyKeyIn::Keys;
        tok.key = 0;
        std::memcpy(keys.grow(key.head), text.data(), key.head);
        std::memcpy(keys.grow(key.end - key.rest), text.data() + key.rest, key.end - key.rest);
        tok.length = static_cast<std::uint32_t>(keys.size());
        st.pos = key.lineEnd;
    }
}

// The place of a token into place.
static inline void placeAt(RubyLexState &st, const RubyToken &tok, TokenPlace &place)
{
    const std::size_t k = lineOf(st, tok.at);
    place.line = static_cast<std::int64_t>(k) + 1;
    place.column = static_cast<std::int64_t>(tok.at - st.lineStarts[k]) + 1;
}

// The place just after a token whose place is at into lx.endPlace, field
// by field: a place made apart and copied whole stalls on its way through
// memory.
static inline void placeEnd(Lexer &lx, RubyLexState &st, std::uint32_t end, const TokenPlace &at)
{
    const std::size_t k = static_cast<std::size_t>(at.line) - 1;
    if (end < st.lineStarts[k + 1]) {
        lx.endPlace.line = at.line;  // a token on one line ends on it
        lx.endPlace.column = static_cast<std::int64_t>(end - st.lineStarts[k]) + 1;
    } else {
        lx.endPlace = placeOf(st, end);
    }
}

static const char *keyOf(const RubyLexState &st, const RubyToken &tok)
{
    return tok.in == RubyKeyIn::Text ? st.store->text.data() + tok.key
           : tok.in == RubyKeyIn::Keys ? st.store->keys.data() + tok.key
                                       : tok.fixed;
}

void rubyNext(Lexer &lx, TokenPiece &piece)
{
    RubyLexState &st = rubyState(lx);
    Ruby r{lx, st, st.store->text.data(), st.size};
    while (st.count == 0 && !st.finished)
        r.step();
    if (st.count == 0) {
        finishStream(lx, piece);
        return;
    }
    const RubyToken &tok = st.queue[st.head];
    st.head = (st.head + 1) & (kRubyQueue - 1);
    --st.count;
    piece.kind = tok.kind;
    piece.first = piece.last = true;
    placeAt(st, tok, piece.place);
    placeEnd(lx, st, tok.end, piece.place);
    piece.bytes = keyOf(st, tok);
    piece.length = tok.length;
    piece.note = RewriteNote{};
}

// Whole tokens for lexerRun: those whose keys are stretches of the text
// without a zero byte, and statements' line ends, as long as they come.
std::size_t rubyRun(Lexer &lx, QuickToken *out, std::size_t max, std::size_t keyBytes)
{
    RubyLexState &st = rubyState(lx);
    static const char kLineEndKey[kRubyPadding] = "\n";  // zero bytes after it, as after the text's
    Ruby r{lx, st, st.store->text.data(), st.size};
    std::size_t taken = 0;
    std::uint32_t end = 0;  // just after the last token taken
    while (taken < max) {
        while (st.count == 0 && !st.finished)
            r.step();
        if (st.count == 0)
            break;
        const RubyToken &tok = st.queue[st.head];
        const char *key;
        if (tok.kind == TokenKind::LineEnd)
            key = kLineEndKey;
        else if (tok.plain)
            key = r.t + tok.key;
        else
            break;
        if (tok.length > keyBytes)
            break;
        keyBytes -= tok.length;
        QuickToken &q = out[taken++];
        q.bytes = key;
        q.length = tok.length;
        q.kind = tok.kind;
        placeAt(st, tok, q.place);
        end = tok.end;
        st.head = (st.head + 1) & (kRubyQueue - 1);
        --st.count;
    }
    if (taken > 0)
        placeEnd(lx, st, end, out[taken - 1].place);
    return taken;
}

extern const LexerHooks kRubyLexer = {rubyStart, rubyNext, rubyRun, nullptr, false, nullptr};
