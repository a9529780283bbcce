// The TOML lexer: TOML 1.0 read as its readers read it, its grammar checked
// on the way.
//
// Tokens: each simple key, bare, "basic" or 'literal', as its value between
// double quotes (a = 1, "a" = 1 and 'a' = 1 give the same key); '.', '=',
// a header's '[' or "[[" and ']' or "]]"; an array's '[' and ']' and an
// inline table's '{' and '}'; each value by its value: a string of any of the
// four forms as "VALUE" (escapes decoded, a multi-line string's first line
// end dropped, a line-ending backslash and the blanks and line ends after it
// taken out, CR LF read as LF), an integer in decimal (0x1F, 0o37, 0b11111,
// +31 and 3_1 are 31), a float as its exact decimal value 0.DIGITSeEXP
// (1e3 and 1000.0 are 0.1e4; 0.0, -0.0, inf, -inf, nan and -nan stand for
// themselves), booleans, dates and times as written but for the letters T
// and Z in either case, a blank for the T, and zeros that end a fraction of
// a second. A LineEnd ends each pair and header. Commas, blanks, blank lines
// and comments are layout; with LexOptions::comments each word of a comment
// is a token.
//
// Input that is not TOML (an unterminated string, a bad escape, "01", a
// control character, a pair without its '=') ends the stream through
// rejectInput, "not valid TOML", at the byte where the grammar gave up.
// The grammar alone is checked: a key defined twice is read as written.
#include <cstdio>
#include <cstring>

#include "languages/toml/state.h"
#include "tokens/kit.h"
#include "tokens/lexer.h"

namespace {

constexpr char kRejected[] = "TOML";

bool isBareByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A byte a number, date or time may hold.
bool isWordByte(char c)
{
    return isBareByte(c) || c == '+' || c == '.' || c == ':';
}

// The bytes that end a plain run: a control character no string or comment
// may hold (the tab aside), and a basic string's quote and backslash or a
// literal string's quote.
enum : unsigned char { kControl = 1, kBasicStop = 2, kLiteralStop = 4 };

struct StopTable {
    unsigned char of[256];
};

constexpr StopTable stopTable()
{
    StopTable t{};
    for (int c = 0; c < 256; ++c) {
        const bool control = (c < 0x20 && c != '\t') || c == 0x7f;
        t.of[c] = static_cast<unsigned char>((control ? kControl | kBasicStop | kLiteralStop : 0) |
                                             (c == '"' || c == '\\' ? kBasicStop : 0) | (c == '\'' ? kLiteralStop : 0));
    }
    return t;
}
constexpr StopTable kStops = stopTable();

inline bool stopsAt(char c, unsigned char stop)
{
    return (kStops.of[static_cast<unsigned char>(c)] & stop) != 0;
}

bool isControl(char c)
{
    return stopsAt(c, kControl);
}

// The container open at the top; false for an array.
bool topIsInline(const TomlLexState &st)
{
    const std::uint32_t d = st.depth - 1;
    return (st.inlineTable[d / 8] >> (d % 8)) & 1u;
}

// Starts a token of kind at place, its key built in st.key.
void beginKey(TomlLexState &st, TokenKind kind, TokenPlace place)
{
    st.kind = kind;
    st.place = place;
    st.used = 0;
    st.pieceOut = false;
}

void putByte(TomlLexState &st, char c)
{
    st.key[st.used++] = c;
}

void fillPiece(TomlLexState &st, TokenPiece &piece, bool last)
{
    piece.kind = st.kind;
    piece.first = !st.pieceOut;
    piece.last = last;
    piece.place = st.place;
    piece.bytes = st.key;
    piece.length = st.used;
    st.pieceOut = !last;
    st.used = 0;
}

// Hands out the token built so far as its last piece; it ends at pos.
void finishKey(Lexer &lx, TomlLexState &st, TokenPiece &piece)
{
    fillPiece(st, piece, true);
    st.open = TomlOpen::None;
    lx.mode = LexMode::Between;
    markEnd(lx, lx.pos);
}

// Hands out the whole token text, which ends at pos.
void wholeToken(Lexer &lx, TokenPiece &piece, TokenKind kind, const char *text, std::size_t length, TokenPlace place)
{
    TomlLexState &st = tomlState(lx);
    beginKey(st, kind, place);
    std::memcpy(st.key, text, length);
    st.used = length;
    finishKey(lx, st, piece);
}

// The source is not TOML from window offset at on: the stream ends there.
// A token with pieces out gets its last; true when piece is filled.
bool reject(Lexer &lx, TokenPiece &piece, std::size_t at)
{
    TomlLexState &st = tomlState(lx);
    rejectInput(lx, kRejected, placeAt(lx, at));
    lx.mode = LexMode::Finished;
    if (st.pieceOut) {
        putByte(st, '\x01');
        fillPiece(st, piece, true);
        st.open = TomlOpen::None;
        return true;
    }
    st.open = TomlOpen::None;
    finishStream(lx, piece);
    return true;
}

// A line feed at i, or a CR LF: its length; 0 when none.
std::size_t lineEndAt(const char *w, std::size_t i)
{
    return w[i] == '\n' ? 1 : w[i] == '\r' && w[i + 1] == '\n' ? 2 : 0;
}

// Decodes the escape whose backslash is at i into st.key; its length, 0 when
// it is no escape of TOML 1.0.
std::size_t putEscape(TomlLexState &st, const char *w, std::size_t i)
{
    const char c = w[i + 1];
    const char *from = "btnfr\"\\";
    const char *to = "\b\t\n\f\r\"\\";
    if (const char *p = c ? std::strchr(from, c) : nullptr) {
        putByte(st, to[p - from]);
        return 2;
    }
    if (c != 'u' && c != 'U')
        return 0;
    const std::size_t digits = c == 'u' ? 4 : 8;
    unsigned long cp = 0;
    for (std::size_t k = 0; k < digits; ++k) {
        const char h = w[i + 2 + k];
        const int v = isDigit(h) ? h - '0' : h >= 'a' && h <= 'f' ? h - 'a' + 10 : h >= 'A' && h <= 'F' ? h - 'A' + 10 : -1;
        if (v < 0)
            return 0;
        cp = cp * 16 + static_cast<unsigned long>(v);
    }
    if (cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff))
        return 0;
    st.used += utf8Encode(static_cast<std::uint32_t>(cp), st.key + st.used);
    return 2 + digits;
}

// Goes on with the open string; true when piece is filled.
bool stringStep(Lexer &lx, TokenPiece &piece)
{
    TomlLexState &st = tomlState(lx);
    const bool multi = st.open == TomlOpen::MultiBasic || st.open == TomlOpen::MultiLiteral;
    const bool escapes = st.open == TomlOpen::Basic || st.open == TomlOpen::MultiBasic;
    const char quote = escapes ? '"' : '\'';
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        if (st.used >= kTomlKeyPiece) {
            lx.pos = i;
            fillPiece(st, piece, false);
            return true;
        }
        refillAhead(lx, i, 16);
        if (i >= lx.end)
            return reject(lx, piece, i);
        if (st.skipping) {
            const std::size_t n = lineEndAt(w, i);
            if (w[i] == ' ' || w[i] == '\t') {
                ++i;
            } else if (n) {
                newLine(lx, i + n - 1);
                i += n;
                st.needLineEnd = false;
            } else if (st.needLineEnd) {
                return reject(lx, piece, i);
            } else {
                st.skipping = false;
            }
            continue;
        }
        // The bytes that stand for themselves, as many as the piece takes.
        const std::size_t room = kTomlKeyPiece - st.used;
        const std::size_t limit = i + room;
        std::size_t j = i;
        const unsigned char stop = escapes ? kBasicStop : kLiteralStop;
        while (j < limit && !stopsAt(w[j], stop))
            ++j;
        if (j > i) {
            if (j > lx.end)
                j = lx.end;
            std::memcpy(st.key + st.used, w + i, j - i);
            st.used += j - i;
            i = j;
            continue;
        }
        const char c = w[i];
        if (c == quote && !multi) {
            putByte(st, '"');
            lx.pos = i + 1;
            finishKey(lx, st, piece);
            st.expect = st.isKey ? TomlExpect::AfterKey : TomlExpect::AfterValue;
            return true;
        }
        if (c == quote) {
            std::size_t run = 0;
            while (run < 6 && w[i + run] == quote)
                ++run;
            if (run < 3) {
                for (std::size_t k = 0; k < run; ++k)
                    putByte(st, quote);
                i += run;
                continue;
            }
            if (run > 5)
                return reject(lx, piece, i + 5);
            for (std::size_t k = 3; k < run; ++k)
                putByte(st, quote);
            putByte(st, '"');
            lx.pos = i + run;
            finishKey(lx, st, piece);
            st.expect = TomlExpect::AfterValue;
            return true;
        }
        if (c == '\\') {
            if (multi && (w[i + 1] == ' ' || w[i + 1] == '\t' || lineEndAt(w, i + 1))) {
                st.skipping = st.needLineEnd = true;
                ++i;
                continue;
            }
            const std::size_t n = putEscape(st, w, i);
            if (n == 0)
                return reject(lx, piece, i);
            i += n;
            continue;
        }
        const std::size_t n = multi ? lineEndAt(w, i) : 0;
        if (n == 0)
            return reject(lx, piece, i);
        putByte(st, '\n');
        newLine(lx, i + n - 1);
        i += n;
    }
}

// Goes on with the open bare key; true when piece is filled.
bool bareStep(Lexer &lx, TokenPiece &piece)
{
    TomlLexState &st = tomlState(lx);
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        while (st.used < kTomlKeyPiece && isBareByte(w[i]))
            st.key[st.used++] = w[i++];
        if (st.used >= kTomlKeyPiece) {
            lx.pos = i;
            fillPiece(st, piece, false);
            return true;
        }
        if (i < lx.end || lx.ended)
            break;
        refillAhead(lx, i, 16);
    }
    putByte(st, '"');
    lx.pos = i;
    finishKey(lx, st, piece);
    st.expect = TomlExpect::AfterKey;
    return true;
}

// Skips a comment from its '#' at pos to its line end; false when it holds
// a control character, pos then at it.
bool skipComment(Lexer &lx)
{
    const char *w = lx.window;
    std::size_t i = lx.pos + 1;
    for (;;) {
        while (!isControl(w[i]))
            ++i;
        if (i >= lx.end && !lx.ended) {
            refillAhead(lx, i, 16);
            continue;
        }
        lx.pos = i;
        return i >= lx.end || lineEndAt(w, i) != 0;
    }
}

// Goes on with the words of the open comment (LexMode::LineComment between
// them, LexMode::Word inside one); true when piece is filled.
bool tomlComment(Lexer &lx, TokenPiece &piece)
{
    TomlLexState &st = tomlState(lx);
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        refillAhead(lx, i, 16);
        if (lx.mode == LexMode::LineComment) {
            while (w[i] == ' ' || w[i] == '\t')
                ++i;
            if (i >= lx.end && !lx.ended)
                continue;
            if (i >= lx.end || lineEndAt(w, i)) {
                lx.pos = i;
                lx.mode = LexMode::Between;
                return false;
            }
            if (isControl(w[i]))
                return reject(lx, piece, i);
            beginKey(st, TokenKind::CommentWord, placeAt(lx, i));
            lx.mode = LexMode::Word;
        }
        while (st.used < kTomlKeyPiece && !isControl(w[i]) && w[i] != ' ' && w[i] != '\t')
            st.key[st.used++] = w[i++];
        if (st.used >= kTomlKeyPiece) {
            lx.pos = i;
            fillPiece(st, piece, false);
            return true;
        }
        if (i >= lx.end && !lx.ended)
            continue;
        lx.pos = i;
        if (i < lx.end && isControl(w[i]) && w[i] != '\t' && !lineEndAt(w, i))
            return reject(lx, piece, i);
        finishKey(lx, st, piece);
        lx.mode = LexMode::LineComment;
        return true;
    }
}

int digitValue(char c)
{
    return isDigit(c) ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 99;
}

constexpr std::size_t kNoDigits = static_cast<std::size_t>(-1);

// Digits of base with single underscores between them, from s[i] on, each
// appended to digits; where they end, or kNoDigits when none comes or an
// underscore has no digit on either side.
std::size_t digitRun(const char *s, std::size_t i, std::size_t n, int base, char *digits, std::size_t &count)
{
    if (i >= n || digitValue(s[i]) >= base)
        return kNoDigits;
    for (;;) {
        digits[count++] = s[i++];
        if (i < n && s[i] == '_') {
            ++i;
            if (i >= n || digitValue(s[i]) >= base)
                return kNoDigits;
        } else if (i >= n || digitValue(s[i]) >= base) {
            return i;
        }
    }
}

// The bytes of the sign that s starts with: 1 for '+' or '-', else 0.
std::size_t signLength(const char *s)
{
    return s[0] == '+' || s[0] == '-' ? 1 : 0;
}

// The key of the integer s[0, n) in decimal; false when it is no integer of
// TOML (or lies outside 64 bits).
bool integerKey(const char *s, std::size_t n, char *out, std::size_t &length)
{
    const bool negative = s[0] == '-';
    const std::size_t i = signLength(s);
    char digits[kTomlWord];
    std::size_t count = 0;
    length = 0;
    if (n - i > 2 && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'o' || s[i + 1] == 'b')) {
        const int base = s[i + 1] == 'x' ? 16 : s[i + 1] == 'o' ? 8 : 2;
        if (i > 0 || digitRun(s, 2, n, base, digits, count) != n)
            return false;
        unsigned long long value = 0;
        const unsigned long long limit = 9223372036854775807ull;
        for (std::size_t k = 0; k < count; ++k) {
            const unsigned d = static_cast<unsigned>(digitValue(digits[k]));
            if (value > (limit - d) / static_cast<unsigned>(base))
                return false;
            value = value * static_cast<unsigned>(base) + d;
        }
        char text[24];
        std::size_t t = 0;
        do {
            text[t++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (t > 0)
            out[length++] = text[--t];
        return true;
    }
    if (digitRun(s, i, n, 10, digits, count) != n || (count > 1 && digits[0] == '0'))
        return false;
    if (count > 19 || (count == 19 && std::memcmp(digits, negative ? "9223372036854775808" : "9223372036854775807", 19) > 0))
        return false;
    if (negative && !(count == 1 && digits[0] == '0'))
        out[length++] = '-';
    std::memcpy(out + length, digits, count);
    length += count;
    return true;
}

// The key of the float s[0, n): its exact decimal value; false when it is no
// float of TOML.
bool floatKey(const char *s, std::size_t n, char *out, std::size_t &length)
{
    const bool negative = s[0] == '-';
    const std::size_t i = signLength(s);
    length = 0;
    if (negative)
        out[length++] = '-';
    if (n - i == 3 && (std::memcmp(s + i, "inf", 3) == 0 || std::memcmp(s + i, "nan", 3) == 0)) {
        std::memcpy(out + length, s + i, 3);
        length += 3;
        return true;
    }
    char digits[kTomlWord];
    std::size_t count = 0;
    std::size_t j = digitRun(s, i, n, 10, digits, count);
    if (j == kNoDigits || (count > 1 && digits[0] == '0'))
        return false;
    const std::size_t whole = count;
    bool isFloat = false;
    if (j < n && s[j] == '.') {
        j = digitRun(s, j + 1, n, 10, digits, count);
        if (j == kNoDigits)
            return false;
        isFloat = true;
    }
    long exponent = 0;
    bool huge = false;
    if (j < n && (s[j] == 'e' || s[j] == 'E')) {
        ++j;
        const bool down = j < n && s[j] == '-';
        if (j < n && (s[j] == '+' || s[j] == '-'))
            ++j;
        char e[kTomlWord];
        std::size_t eCount = 0;
        j = digitRun(s, j, n, 10, e, eCount);
        if (j == kNoDigits)
            return false;
        std::size_t k = 0;
        while (k < eCount && e[k] == '0')
            ++k;
        huge = eCount - k > 9;
        for (; k < eCount && !huge; ++k)
            exponent = exponent * 10 + (e[k] - '0');
        exponent = down ? -exponent : exponent;
        isFloat = true;
    }
    if (!isFloat || j != n)
        return false;
    if (huge) {
        // An exponent beyond nine digits compares as written.
        length = 0;
        out[length++] = '~';
        for (std::size_t k = s[0] == '+' ? 1 : 0; k < n; ++k)
            if (s[k] != '_')
                out[length++] = s[k];
        return true;
    }
    long scale = static_cast<long>(whole) + exponent;
    std::size_t first = 0;
    while (first < count && digits[first] == '0') {
        ++first;
        --scale;
    }
    while (count > first && digits[count - 1] == '0')
        --count;
    if (first == count) {
        std::memcpy(out + length, "0.0", 3);
        length += 3;
        return true;
    }
    out[length++] = '0';
    out[length++] = '.';
    std::memcpy(out + length, digits + first, count - first);
    length += count - first;
    length += static_cast<std::size_t>(std::snprintf(out + length, 24, "e%ld", scale));
    return true;
}

// Two digits at s[i] whose value lies in [low, high].
bool twoDigits(const char *s, std::size_t i, std::size_t n, int low, int high)
{
    if (i + 2 > n || !isDigit(s[i]) || !isDigit(s[i + 1]))
        return false;
    const int v = (s[i] - '0') * 10 + (s[i + 1] - '0');
    return v >= low && v <= high;
}

// A time HH:MM:SS[.F] at s[i], appended to out as written less the zeros
// that end its fraction; where it ends, or kNoDigits.
std::size_t timeKey(const char *s, std::size_t i, std::size_t n, char *out, std::size_t &length)
{
    if (!twoDigits(s, i, n, 0, 23) || i + 2 >= n || s[i + 2] != ':' || !twoDigits(s, i + 3, n, 0, 59) ||
        i + 5 >= n || s[i + 5] != ':' || !twoDigits(s, i + 6, n, 0, 60))
        return kNoDigits;
    std::memcpy(out + length, s + i, 8);
    length += 8;
    i += 8;
    if (i < n && s[i] == '.') {
        const std::size_t from = ++i;
        while (i < n && isDigit(s[i]))
            ++i;
        if (i == from)
            return kNoDigits;
        std::size_t last = i;
        while (last > from && s[last - 1] == '0')
            --last;
        if (last > from) {
            out[length++] = '.';
            std::memcpy(out + length, s + from, last - from);
            length += last - from;
        }
    }
    return i;
}

// The key of the date, time or date and time s[0, n); false when it is none.
bool dateTimeKey(const char *s, std::size_t n, char *out, std::size_t &length)
{
    length = 0;
    if (n >= 3 && s[2] == ':')
        return timeKey(s, 0, n, out, length) == n;
    if (n < 10 || !twoDigits(s, 0, n, 0, 99) || !twoDigits(s, 2, n, 0, 99) || s[4] != '-' ||
        !twoDigits(s, 5, n, 1, 12) || s[7] != '-' || !twoDigits(s, 8, n, 1, 31))
        return false;
    const int year = (s[0] - '0') * 1000 + (s[1] - '0') * 100 + (s[2] - '0') * 10 + (s[3] - '0');
    const int month = (s[5] - '0') * 10 + (s[6] - '0');
    const int day = (s[8] - '0') * 10 + (s[9] - '0');
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    const int days[] = {31, leap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (day > days[month - 1])
        return false;
    std::memcpy(out, s, 10);
    length = 10;
    if (n == 10)
        return true;
    if (s[10] != 'T' && s[10] != 't' && s[10] != ' ')
        return false;
    out[length++] = 'T';
    std::size_t i = timeKey(s, 11, n, out, length);
    if (i == kNoDigits)
        return false;
    if (i == n)
        return true;
    if ((s[i] == 'Z' || s[i] == 'z') && i + 1 == n) {
        out[length++] = 'Z';
        return true;
    }
    if ((s[i] != '+' && s[i] != '-') || i + 6 != n || !twoDigits(s, i + 1, n, 0, 23) || s[i + 3] != ':' ||
        !twoDigits(s, i + 4, n, 0, 59))
        return false;
    std::memcpy(out + length, s + i, 6);
    length += 6;
    return true;
}

// Reads the value at pos that is no string, array or inline table: a
// boolean, number, date or time; true when piece is filled.
bool scalarValue(Lexer &lx, TokenPiece &piece)
{
    refillAhead(lx, lx.pos, kTomlWord + 16);
    const char *w = lx.window;
    const std::size_t start = lx.pos;
    std::size_t j = start;
    while (j < lx.end && j - start <= kTomlWord && isWordByte(w[j]))
        ++j;
    // A date, a blank and a time are one value.
    if (j - start == 10 && w[start + 4] == '-' && w[j] == ' ' && isDigit(w[j + 1]) && isDigit(w[j + 2]) &&
        w[j + 3] == ':') {
        ++j;
        while (j < lx.end && j - start <= kTomlWord && isWordByte(w[j]))
            ++j;
    }
    const std::size_t n = j - start;
    if (n == 0 || n > kTomlWord)
        return reject(lx, piece, start);
    const char *s = w + start;
    char out[kTomlWord + 32];
    std::size_t length = 0;
    bool ok;
    if ((n == 4 && std::memcmp(s, "true", 4) == 0) || (n == 5 && std::memcmp(s, "false", 5) == 0)) {
        std::memcpy(out, s, n);
        length = n;
        ok = true;
    } else if ((n >= 10 && s[4] == '-' && isDigit(s[0])) || (n >= 3 && s[2] == ':')) {
        ok = dateTimeKey(s, n, out, length);
    } else {
        ok = integerKey(s, n, out, length) || floatKey(s, n, out, length);
    }
    if (!ok)
        return reject(lx, piece, start);
    const TokenPlace place = placeAt(lx, start);
    lx.pos = j;
    wholeToken(lx, piece, TokenKind::Code, out, length, place);
    tomlState(lx).expect = TomlExpect::AfterValue;
    return true;
}

// Opens a string whose first quote is at pos.
void openString(Lexer &lx, TomlLexState &st, bool key)
{
    const char *w = lx.window;
    const std::size_t i = lx.pos;
    const char quote = w[i];
    const bool multi = !key && w[i + 1] == quote && w[i + 2] == quote;
    beginKey(st, TokenKind::Code, placeAt(lx, i));
    putByte(st, '"');
    st.isKey = key;
    st.skipping = st.needLineEnd = false;
    st.open = quote == '"' ? (multi ? TomlOpen::MultiBasic : TomlOpen::Basic)
                           : (multi ? TomlOpen::MultiLiteral : TomlOpen::Literal);
    lx.pos = i + (multi ? 3 : 1);
    lx.mode = LexMode::Quoted;
    if (multi) {
        // The line end right after the opening quotes is not part of the string.
        const std::size_t n = lineEndAt(w, lx.pos);
        if (n) {
            newLine(lx, lx.pos + n - 1);
            lx.pos += n;
        }
    }
}

// Opens an array or an inline table at pos: '[' or '{'; false when too many are open.
bool openContainer(Lexer &lx, TomlLexState &st, TokenPiece &piece, bool table)
{
    if (st.depth >= kTomlNesting)
        return false;
    const std::uint32_t d = st.depth++;
    const unsigned bit = 1u << (d % 8);
    st.inlineTable[d / 8] = static_cast<unsigned char>(table ? st.inlineTable[d / 8] | bit : st.inlineTable[d / 8] & ~bit);
    const TokenPlace place = placeAt(lx, lx.pos);
    ++lx.pos;
    wholeToken(lx, piece, TokenKind::Code, table ? "{" : "[", 1, place);
    st.expect = table ? TomlExpect::InlineFirst : TomlExpect::ArrayItem;
    return true;
}

// Closes the array or inline table open at the top with the byte at pos.
void closeContainer(Lexer &lx, TomlLexState &st, TokenPiece &piece)
{
    --st.depth;
    const TokenPlace place = placeAt(lx, lx.pos);
    const char *text = lx.window[lx.pos] == '}' ? "}" : "]";
    ++lx.pos;
    wholeToken(lx, piece, TokenKind::Code, text, 1, place);
    st.expect = TomlExpect::AfterValue;
}

// True when a line end or a comment may stand where the grammar is.
bool lineMayEnd(const TomlLexState &st)
{
    if (st.depth == 0)
        return st.expect == TomlExpect::LineStart || st.expect == TomlExpect::AfterValue ||
               st.expect == TomlExpect::LineTail;
    return !topIsInline(st) && (st.expect == TomlExpect::ArrayItem || st.expect == TomlExpect::AfterValue);
}

// A piece of punctuation of length bytes at pos.
bool punctuation(Lexer &lx, TokenPiece &piece, const char *text, std::size_t length, TomlExpect next)
{
    const TokenPlace place = placeAt(lx, lx.pos);
    lx.pos += length;
    wholeToken(lx, piece, TokenKind::Code, text, length, place);
    tomlState(lx).expect = next;
    return true;
}

bool isTomlBlank(char c)
{
    return c == ' ' || c == '\t';
}

// A line end of lineEnd bytes at window offset i, a comment, or the input's
// end: the LineEnd token of a pair or header on the line, or layout; true
// when piece is filled.
__attribute__((always_inline)) inline bool lineBreak(Lexer &lx, TokenPiece &piece, std::size_t i,
                                                     std::size_t lineEnd)
{
    TomlLexState &st = tomlState(lx);
    const char *w = lx.window;
    if (!lineMayEnd(st) || (i >= lx.end && st.depth > 0))
        return reject(lx, piece, i);
    if (i < lx.end && w[i] == '#') {
        if (lx.options.comments) {
            openLineComment(lx, 1);
            return false;
        }
        if (!skipComment(lx))
            return reject(lx, piece, lx.pos);
        return false;
    }
    if (st.depth == 0 && st.lineHasEntry) {
        st.lineHasEntry = false;
        st.expect = TomlExpect::LineStart;
        wholeToken(lx, piece, TokenKind::LineEnd, "\n", 1, placeAt(lx, i));
        if (lineEnd) {
            newLine(lx, i + lineEnd - 1);
            lx.pos = i + lineEnd;
        }
        return true;
    }
    if (i >= lx.end) {
        lx.mode = LexMode::Finished;
        finishStream(lx, piece);
        return true;
    }
    if (st.depth == 0)
        st.expect = TomlExpect::LineStart;
    newLine(lx, i + lineEnd - 1);
    lx.pos = i + lineEnd;
    return false;
}

struct TomlSteps : KitSteps<TomlSteps> {
    // Skips blanks, and a byte order mark at the source's start; leaves at
    // least kLexLookahead bytes readable after pos, or all that remain.
    static Stop skipLayout(Lexer &lx)
    {
        TomlLexState &st = tomlState(lx);
        std::size_t i = lx.pos;
        for (;;) {
            skipBlanks(lx, i, isTomlBlank);
            if (refillShort(lx, i))
                continue;
            lx.pos = i;
            if (!st.started) {
                st.started = true;
                if (byteOrderMarkAt(lx, i)) {
                    i = 3;
                    continue;
                }
            }
            return tokenOrEnd(lx, i);
        }
    }

    static bool inputEnd(Lexer &lx, TokenPiece &piece) { return lineBreak(lx, piece, lx.pos, 0); }

    // Starts what the grammar takes at pos, or rejects it.
    static bool startToken(Lexer &lx, TokenPiece &piece)
    {
        TomlLexState &st = tomlState(lx);
        const char *w = lx.window;
        const std::size_t i = lx.pos;
        const char c = w[i];
        const std::size_t lineEnd = lineEndAt(w, i);
        if (lineEnd || c == '#')
            return lineBreak(lx, piece, i, lineEnd);
        switch (st.expect) {
        case TomlExpect::LineStart:
            st.lineHasEntry = true;
            if (c == '[') {
                st.header = w[i + 1] == '[' ? TomlHeader::ArrayTable : TomlHeader::Table;
                return st.header == TomlHeader::Table ? punctuation(lx, piece, "[", 1, TomlExpect::KeyPart)
                                                      : punctuation(lx, piece, "[[", 2, TomlExpect::KeyPart);
            }
            st.header = TomlHeader::None;
            st.expect = TomlExpect::KeyPart;
            return false;
        case TomlExpect::InlineFirst:
            if (c == '}') {
                closeContainer(lx, st, piece);
                return true;
            }
            st.expect = TomlExpect::KeyPart;
            return false;
        case TomlExpect::KeyPart:
            if ((c == '"' || c == '\'') && !(w[i + 1] == c && w[i + 2] == c)) {
                openString(lx, st, true);
                return false;
            }
            if (!isBareByte(c))
                return reject(lx, piece, i);
            beginKey(st, TokenKind::Code, placeAt(lx, i));
            putByte(st, '"');
            lx.mode = LexMode::Name;
            return false;
        case TomlExpect::AfterKey:
            if (c == '.')
                return punctuation(lx, piece, ".", 1, TomlExpect::KeyPart);
            if (c == '=' && st.header == TomlHeader::None)
                return punctuation(lx, piece, "=", 1, TomlExpect::Value);
            if (c == ']' && st.header == TomlHeader::Table) {
                st.header = TomlHeader::None;
                return punctuation(lx, piece, "]", 1, TomlExpect::LineTail);
            }
            if (c == ']' && w[i + 1] == ']' && st.header == TomlHeader::ArrayTable) {
                st.header = TomlHeader::None;
                return punctuation(lx, piece, "]]", 2, TomlExpect::LineTail);
            }
            return reject(lx, piece, i);
        case TomlExpect::ArrayItem:
            if (c == ']') {
                closeContainer(lx, st, piece);
                return true;
            }
            [[fallthrough]];  // a value
        case TomlExpect::Value:
            if (c == '[' || c == '{')
                return openContainer(lx, st, piece, c == '{') || reject(lx, piece, i);
            if (c == '"' || c == '\'') {
                openString(lx, st, false);
                return false;
            }
            return scalarValue(lx, piece);
        case TomlExpect::AfterValue:
            if (st.depth > 0 && c == (topIsInline(st) ? '}' : ']')) {
                closeContainer(lx, st, piece);
                return true;
            }
            if (st.depth > 0 && c == ',') {
                lx.pos = i + 1;
                st.expect = topIsInline(st) ? TomlExpect::KeyPart : TomlExpect::ArrayItem;
                return false;
            }
            return reject(lx, piece, i);
        case TomlExpect::LineTail:
            break;
        }
        return reject(lx, piece, i);
    }

    static bool name(Lexer &lx, TokenPiece &piece) { return bareStep(lx, piece); }
    static bool quoted(Lexer &lx, TokenPiece &piece) { return stringStep(lx, piece); }
    static bool comment(Lexer &lx, TokenPiece &piece) { return tomlComment(lx, piece); }
    static bool word(Lexer &lx, TokenPiece &piece) { return tomlComment(lx, piece); }
};

} // namespace

void tomlStart(Lexer &lx)
{
    startLanguageState<TomlLexState>(lx);
    lx.rejects = true;
}

extern const LexerHooks kTomlLexer = {tomlStart, kitNext<TomlSteps>, nullptr, nullptr, false, anyHashBang};
