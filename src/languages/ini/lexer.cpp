// The INI lexer: .ini and .cfg files as Python's configparser reads them
// (interpolation aside), .editorconfig files, and Java's .properties files as
// java.util.Properties reads them.
//
// Tokens: a [section] header, the line as written less its indentation and
// trailing blanks; a key as written, less the blanks around it; its
// delimiter and value as one token ("=VALUE" or ":VALUE"), the value as
// written less the blanks around it; a LineEnd after each entry. Blank
// lines, indentation and comment lines (';' or '#' first on the line) are
// layout; with LexOptions::comments each word of a comment is a token.
// configparser's continued values: a line indented deeper than the option
// that opens a value goes on with it, one token "\nTEXT", after one "\n"
// token for each blank line between (which the value keeps).
//
// .properties: comment lines open with '#' or '!'; a key ends at the first
// blank, '=' or ':' not escaped; blanks, then one '=' or ':', then blanks
// separate it from its value ("=VALUE" whatever the separator), whose
// trailing blanks count; a backslash before a line end joins the next line,
// less its leading blanks; other escapes compare as written.
//
// Input that is no such file (a NUL byte, a lone CR, which Python and Java
// read as a line end, a line of .ini or .cfg that starts with whitespace
// Python counts as indentation and the lexer does not (a form feed, a
// space of Unicode), bytes that are no UTF-8 outside a
// .properties file, whose bytes are ISO 8859-1, a header without its ']',
// an entry without its key) ends the stream through rejectInput, "not valid
// INI", at the byte where the reading gave up.
#include <cstring>

#include "common/settings.h"
#include "languages/ini/state.h"
#include "tokens/kit.h"
#include "tokens/lexer.h"

namespace {

constexpr char kRejected[] = "INI";
constexpr std::size_t kAhead = 16;  // bytes a decision looks at from its byte

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// A blank of .properties: space, tab, form feed.
bool isPropertiesBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\f';
}

// A line feed at i, or a CR LF: its length; 0 when none.
std::size_t lineEndAt(const char *w, std::size_t i)
{
    return w[i] == '\n' ? 1 : w[i] == '\r' && w[i + 1] == '\n' ? 2 : 0;
}

// The length of the UTF-8 character at w[i], whose first byte is 0x80 or
// more (with 4 bytes readable); 0 when it is none.
std::size_t utf8Length(const unsigned char *w)
{
    const unsigned char c = w[0];
    std::size_t n;
    unsigned char low = 0x80, high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF)
        n = 2;
    else if (c >= 0xE0 && c <= 0xEF)
        n = 3, low = c == 0xE0 ? 0xA0 : 0x80, high = c == 0xED ? 0x9F : 0xBF;
    else if (c >= 0xF0 && c <= 0xF4)
        n = 4, low = c == 0xF0 ? 0x90 : 0x80, high = c == 0xF4 ? 0x8F : 0xBF;
    else
        return 0;
    if (w[1] < low || w[1] > high)
        return 0;
    for (std::size_t k = 2; k < n; ++k)
        if (w[k] < 0x80 || w[k] > 0xBF)
            return 0;
    return n;
}

// True when the character at w[i] is whitespace to Python's str.strip
// but no space or tab: a form feed, a vertical tab, the separators 0x1C to
// 0x1F, or a space of Unicode (U+0085, U+00A0, U+1680, U+2000 to U+200A,
// U+2028, U+2029, U+202F, U+205F, U+3000), with 3 bytes readable. Before
// a line's first byte configparser counts it as indentation, which would
// decide a continued value by a count the lexer does not keep.
bool otherSpaceAt(const char *w, std::size_t i)
{
    const unsigned char a = static_cast<unsigned char>(w[i]), b = static_cast<unsigned char>(w[i + 1]),
                        c = static_cast<unsigned char>(w[i + 2]);
    if (a == '\f' || a == '\v' || (a >= 0x1C && a <= 0x1F))
        return true;
    if (a == 0xC2)
        return b == 0x85 || b == 0xA0;
    if (a == 0xE1)
        return b == 0x9A && c == 0x80;
    if (a == 0xE2)
        return (b == 0x80 && ((c >= 0x80 && c <= 0x8A) || c == 0xA8 || c == 0xA9 || c == 0xAF)) ||
               (b == 0x81 && c == 0x9F);
    return a == 0xE3 && b == 0x80 && c == 0x80;
}

// The bytes that end a plain run of a token's text: those its mode decides
// on, a NUL and every byte of 0x80 or more (checked as UTF-8).
enum : unsigned char { kStopAny = 1, kStopKey = 2, kStopProperties = 4, kStopPropertiesKey = 8 };

constexpr ByteTable<unsigned char> kStops = byteTable<unsigned char>([](int c) {
    const bool any = c == 0 || c == '\n' || c == '\r' || c == ' ' || c == '\t' || c >= 0x80;
    unsigned char s = any ? kStopAny | kStopKey : 0;
    if (c == '=' || c == ':')
        s |= kStopKey | kStopPropertiesKey;
    if (c == 0 || c == '\n' || c == '\r' || c == '\\')
        s |= kStopProperties | kStopPropertiesKey;
    if (c == ' ' || c == '\t' || c == '\f')
        s |= kStopPropertiesKey;
    return static_cast<unsigned char>(s);
});

void beginKey(IniLexState &st, TokenKind kind, TokenPlace place)
{
    st.kind = kind;
    st.place = place;
    st.used = 0;
    st.held = 0;
    st.pieceOut = false;
}

void fillPiece(IniLexState &st, TokenPiece &piece, bool last)
{
    wholePiece(piece, st.kind, st.key, st.used, st.place);
    piece.first = !st.pieceOut;
    piece.last = last;
    st.pieceOut = !last;
    st.used = 0;
}

// The blanks held back go into the key: a byte of the text follows them.
void keepHeld(IniLexState &st)
{
    std::memcpy(st.key + st.used, st.heldBlanks, st.held);
    st.used += st.held;
    st.held = 0;
}

// Hands out the token built so far as its last piece, its held blanks
// left out; it ends at window offset at.
void finishKey(Lexer &lx, IniLexState &st, TokenPiece &piece, std::size_t at, IniAt next)
{
    st.held = 0;
    fillPiece(st, piece, true);
    lx.pos = at;
    markEnd(lx, at);
    st.at = next;
}

void wholeToken(Lexer &lx, TokenPiece &piece, TokenKind kind, const char *text, std::size_t length, std::size_t at,
                std::size_t end, IniAt next)
{
    IniLexState &st = iniState(lx);
    beginKey(st, kind, placeAt(lx, at));
    std::memcpy(st.key, text, length);
    st.used = length;
    finishKey(lx, st, piece, end, next);
}

// The source is no INI from window offset at on: the stream ends there, a
// token with pieces out getting its last.
bool reject(Lexer &lx, TokenPiece &piece, std::size_t at)
{
    IniLexState &st = iniState(lx);
    rejectInput(lx, kRejected, placeAt(lx, at));
    st.at = IniAt::Done;
    lx.mode = LexMode::Finished;
    if (st.pieceOut) {
        st.key[0] = '\x01';
        st.used = 1;
        fillPiece(st, piece, true);
        return true;
    }
    finishStream(lx, piece);
    return true;
}

// Runs over the text of the token open at pos to its line's end, or to a
// byte of stop's class that ends it (a key's delimiter), the blanks after
// the text held back where st.trims. Returns 1 when piece is filled (a
// piece of a long token), 0 at the line's end or at such a byte, with pos
// there, and -1 when the source is rejected (piece filled).
int textRun(Lexer &lx, IniLexState &st, TokenPiece &piece, unsigned char stop)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    const bool properties = st.dialect == IniDialect::Properties;
    for (;;) {
        if (st.used >= kIniKeyPiece) {
            lx.pos = i;
            fillPiece(st, piece, false);
            return 1;
        }
        refillAhead(lx, i, kAhead);
        std::size_t j = i;
        const std::size_t limit = i + (kIniKeyPiece - st.used);
        while (j < limit && !(kStops[w[j]] & stop))
            ++j;
        if (j > lx.end)
            j = lx.end;
        if (j > i) {
            keepHeld(st);
            std::memcpy(st.key + st.used, w + i, j - i);
            st.used += j - i;
            i = j;
            continue;
        }
        const char c = w[i];
        const bool delimiter = c == '=' || c == ':';
        const bool ends = (stop == kStopKey && delimiter) ||
                          (stop == kStopPropertiesKey && (delimiter || isPropertiesBlank(c)));
        if (i >= lx.end || lineEndAt(w, i) || ends) {
            lx.pos = i;
            return 0;
        }
        if (c == 0 || c == '\r') {
            // A lone CR ends a line to Python and Java, not to the lexer.
            reject(lx, piece, i);
            return -1;
        }
        if (c == '\\') {
            // .properties: an escape keeps its byte; one before a line end joins the next line.
            const std::size_t n = lineEndAt(w, i + 1);
            if (n) {
                newLine(lx, i + n);
                i += 1 + n;
                for (;;) {
                    refillAhead(lx, i, kAhead);
                    if (!isPropertiesBlank(w[i]))
                        break;
                    ++i;
                }
                continue;
            }
            keepHeld(st);
            st.key[st.used++] = c;
            if (i + 1 < lx.end && w[i + 1] != '\r' && w[i + 1] != 0) {
                st.key[st.used++] = w[i + 1];
                i += 2;
            } else {
                ++i;
            }
            continue;
        }
        if (isBlank(c) && st.trims) {
            if (st.held == kIniHeld)
                keepHeld(st);
            st.heldBlanks[st.held++] = c;
            ++i;
            continue;
        }
        std::size_t n = 1;
        if (static_cast<unsigned char>(c) >= 0x80 && !properties) {
            n = utf8Length(reinterpret_cast<const unsigned char *>(w + i));
            if (n == 0 || i + n > lx.end) {
                reject(lx, piece, i);
                return -1;
            }
        }
        keepHeld(st);
        std::memcpy(st.key + st.used, w + i, n);
        st.used += n;
        i += n;
    }
}

// Skips the rest of a comment line from pos to its line end; false at a
// lone CR, which ends a line to Python and Java, pos then at it.
bool skipToLineEnd(Lexer &lx)
{
    skipUntil(lx, [](char c) { return c == '\n' || c == '\r'; });
    refillAhead(lx, lx.pos, 2);
    const char *w = lx.window;
    return w[lx.pos] != '\r' || w[lx.pos + 1] == '\n';
}

// At a line's start, pos at its first byte: indentation, blank lines and
// comments; then opens what the line holds. True when piece is filled.
bool lineStart(Lexer &lx, IniLexState &st, TokenPiece &piece)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    const bool properties = st.dialect == IniDialect::Properties;
    for (;;) {
        refillAhead(lx, i, kAhead);
        if (!st.started) {
            st.started = true;
            if (byteOrderMarkAt(lx, i))
                i += 3;
            continue;
        }
        st.indent = 0;
        while (properties ? isPropertiesBlank(w[i]) : isBlank(w[i])) {
            ++i;
            ++st.indent;
            refillAhead(lx, i, kAhead);
        }
        if (i >= lx.end) {
            lx.pos = i;
            st.at = IniAt::Done;
            finishStream(lx, piece);
            return true;
        }
        if (const std::size_t n = lineEndAt(w, i)) {
            // A blank line: a continued value keeps it, a comment's end is none.
            if (st.optionOpen && !st.commentLine)
                ++st.owed;
            st.commentLine = false;
            newLine(lx, i + n - 1);
            i += n;
            continue;
        }
        const char c = w[i];
        if (c == '#' || (properties ? c == '!' : c == ';')) {
            st.commentLine = true;
            lx.pos = i + 1;
            if (lx.options.comments) {
                st.at = IniAt::Comment;
                return false;
            }
            if (!skipToLineEnd(lx))
                return reject(lx, piece, lx.pos);
            i = lx.pos;
            continue;
        }
        lx.pos = i;
        if ((st.dialect == IniDialect::Ini && otherSpaceAt(w, i)) || (c == '\r' && w[i + 1] != '\n'))
            return reject(lx, piece, i);
        if (st.dialect == IniDialect::Ini && st.optionOpen && st.indent > st.indentLevel) {
            st.at = IniAt::Owed;
            return false;
        }
        st.indentLevel = st.indent;
        st.owed = 0;
        st.optionOpen = false;
        if (c == '[' && !properties) {
            beginKey(st, TokenKind::Code, placeAt(lx, i));
            st.closed = false;
            st.trims = true;
            st.at = IniAt::Header;
            return false;
        }
        if (c == '=' || c == ':')
            return reject(lx, piece, i);
        beginKey(st, TokenKind::Code, placeAt(lx, i));
        st.trims = !properties;
        st.at = IniAt::Key;
        return false;
    }
}

// The words of a comment from pos to its line end, one CommentWord token each.
bool commentWords(Lexer &lx, IniLexState &st, TokenPiece &piece)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        refillAhead(lx, i, kAhead);
        while (isBlank(w[i]))
            ++i;
        if (i >= lx.end && !lx.ended)
            continue;
        if (i >= lx.end || w[i] == '\n' || (w[i] == '\r' && w[i + 1] == '\n')) {
            lx.pos = i;
            st.at = IniAt::LineStart;
            return false;
        }
        if (w[i] == '\r')
            return reject(lx, piece, i);  // a lone CR
        std::size_t j = i;
        while (j < lx.end && j - i < kIniKeyPiece && !isBlank(w[j]) && w[j] != '\n' && w[j] != '\r')
            ++j;
        wholeToken(lx, piece, TokenKind::CommentWord, w + i, j - i, i, j, IniAt::Comment);
        return true;
    }
}

struct IniSteps : KitSteps<IniSteps> {
    static Stop skipLayout(Lexer &lx)
    {
        std::size_t i = lx.pos;
        refillAhead(lx, i, kAhead);
        lx.pos = lx.pieceStart = i;
        return Stop::Token;
    }

    static bool startToken(Lexer &lx, TokenPiece &piece)
    {
        IniLexState &st = iniState(lx);
        const bool properties = st.dialect == IniDialect::Properties;
        const char *w = lx.window;
        switch (st.at) {
        case IniAt::LineStart: return lineStart(lx, st, piece);
        case IniAt::Owed:
            if (st.owed > 0) {
                --st.owed;
                wholeToken(lx, piece, TokenKind::Code, "\n", 1, lx.pos, lx.pos, IniAt::Owed);
                return true;
            }
            beginKey(st, TokenKind::Code, placeAt(lx, lx.pos));
            st.key[st.used++] = '\n';
            st.trims = true;
            st.at = IniAt::Value;
            return false;
        case IniAt::Key: {
            const int r = textRun(lx, st, piece, properties ? kStopPropertiesKey : kStopKey);
            if (r != 0)
                return true;
            const std::size_t i = lx.pos;
            const bool delimiter = w[i] == '=' || w[i] == ':';
            if (st.used == 0 && !st.pieceOut)
                return reject(lx, piece, i);
            finishKey(lx, st, piece, i, delimiter || properties ? IniAt::Separator : IniAt::LineEnd);
            return true;
        }
        case IniAt::Separator: {
            std::size_t i = lx.pos;
            const TokenPlace place = placeAt(lx, i);
            char delimiter = '=';
            if (properties) {
                // Blanks, one '=' or ':', blanks; a backslash before a line end joins the next line.
                bool taken = false;
                for (;;) {
                    refillAhead(lx, i, kAhead);
                    if (isPropertiesBlank(w[i])) {
                        ++i;
                    } else if (w[i] == '\\' && lineEndAt(w, i + 1)) {
                        const std::size_t n = lineEndAt(w, i + 1);
                        newLine(lx, i + n);
                        i += 1 + n;
                    } else if ((w[i] == '=' || w[i] == ':') && !taken && i < lx.end) {
                        taken = true;
                        ++i;
                    } else {
                        break;
                    }
                }
            } else {
                delimiter = w[i++];
                for (;;) {
                    refillAhead(lx, i, kAhead);
                    if (!isBlank(w[i]))
                        break;
                    ++i;
                }
            }
            lx.pos = i;
            beginKey(st, TokenKind::Code, place);
            st.key[st.used++] = delimiter;
            st.trims = !properties;
            st.at = IniAt::Value;
            return false;
        }
        case IniAt::Value:
        case IniAt::Header: {
            const bool header = st.at == IniAt::Header;
            const int r = textRun(lx, st, piece, properties ? kStopProperties : kStopAny);
            if (header && r == 1)
                st.closed = st.closed || std::memchr(piece.bytes, ']', piece.length);
            if (r != 0)
                return true;
            if (header && !st.closed && !std::memchr(st.key, ']', st.used))
                return reject(lx, piece, lx.pos);
            st.optionOpen = !header;
            finishKey(lx, st, piece, lx.pos, IniAt::LineEnd);
            return true;
        }
        case IniAt::Comment: return commentWords(lx, st, piece);
        case IniAt::LineEnd: {
            std::size_t i = lx.pos;
            const std::size_t n = lineEndAt(w, i);
            if (n)
                newLine(lx, i + n - 1);
            wholeToken(lx, piece, TokenKind::LineEnd, "\n", 1, i, i + n, IniAt::LineStart);
            return true;
        }
        case IniAt::Done: break;
        }
        finishStream(lx, piece);
        return true;
    }
};

} // namespace

void iniStart(Lexer &lx)
{
    IniLexState &st = startLanguageState<IniLexState>(lx);
    st.dialect = lx.language == Language::Properties ? IniDialect::Properties
                 : lx.language == Language::EditorConfig ? IniDialect::Plain
                                                         : IniDialect::Ini;
    lx.rejects = true;
}

extern const LexerHooks kIniLexer = {iniStart, kitNext<IniSteps>, nullptr, nullptr, false, anyHashBang};
