// The HCL lexer: HashiCorp Configuration Language's native syntax, as
// Terraform reads its .tf and .tfvars files.
//
// Tokens: names (with '-' among their bytes after the first), numbers as
// written, the operators, and templates. A template, quoted or a heredoc, is
// its text as written, cut where an interpolation "${" or a directive "%{"
// opens (the key runs up to and with the "${", and the next one starts at
// the '}' that closes it), "~" strip markers kept with the brace they touch;
// the expressions inside are tokens like any others. A heredoc is its
// opener "<<MARK" or "<<-MARK", then its text; a "<<-" heredoc's text is
// taken less the least indentation of its lines that are not blank, as the
// language strips it, and where that cannot be measured here (a body beyond
// the window, a line led by other white space, an interpolation too
// involved) its text reads as written and its opener is marked so. The
// closing marker's line gives the marker; its blanks are layout.
//
// Line ends: in a body (the file's, a block's) a line end ends an attribute
// or a block, and is a LineEnd token where a token stands on its line (blank
// lines, comments and the line end at the end of the input are layout). In
// an object constructor a line end separates elements as a comma does: each
// separator is "," and one before the closing brace is layout. Inside
// parentheses, brackets, a "{ for" expression, "${ }" and "%{ }" line ends
// are layout. A '{' opens a block where a body's item has no '=' before it,
// an object anywhere else.
//
// Blanks, comments ('#', "//", "/* */"; a block comment over lines is no
// line end) and a byte order mark at the start are layout; with
// LexOptions::comments each word of a comment is a token. A "#!" first
// line, which a kernel reads to run the file, is one token.
//
// Input that is no HCL the lexer can follow ends the stream through
// rejectInput, "not valid HCL": an unterminated string, template, heredoc
// or comment, a line end inside a quoted string, a closing bracket that
// closes none, an open one at the end. Nesting deeper than the state holds
// and a heredoc marker or line indentation too long to read are refused.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "languages/hcl/state.h"
#include "tokens/kit.h"
#include "tokens/lexer.h"

namespace {

constexpr char kRejected[] = "HCL";
constexpr char kTooDeep[] = "nested too deeply to compare as HCL";
constexpr char kLongMarker[] = "a heredoc marker too long to compare as HCL";
constexpr char kLongIndent[] = "a heredoc line indented too deeply to compare as HCL";
constexpr std::size_t kLineLook = 512;  // bytes readable at a heredoc line's start: its indentation and marker
constexpr std::size_t kExprNesting = 32;  // brackets and strings the measure of a heredoc follows in a "${ }"
constexpr std::size_t kUnmeasured = static_cast<std::size_t>(-1);

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

inline bool isNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

inline bool isNameByte(char c)
{
    return isNameStart(c) || isDigit(c) || c == '-';
}

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// A byte of white space around a heredoc's closing marker or on a blank
// line, as the language trims them.
inline bool isLineBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// A byte of a quoted template's text that needs no decision.
inline bool isQuotedPlain(char c)
{
    return c != '"' && c != '\\' && c != '$' && c != '%' && c != '\n' && c != 0;
}

// A byte of a heredoc's text that needs no decision.
inline bool isHeredocPlain(char c)
{
    return c != '$' && c != '%' && c != '\n' && c != 0;
}

// The bytes of the white space beyond ASCII that stands at p, which the
// language counts in a line's indentation and trims around a heredoc's
// closing marker (U+0085, U+00A0, U+1680, U+2000 to U+200A, U+2028, U+2029,
// U+202F, U+205F, U+3000); 0 when none does.
std::size_t unicodeSpaceAt(const char *p)
{
    const auto b = [p](int k) { return static_cast<unsigned char>(p[k]); };
    if (b(0) == 0xC2)
        return b(1) == 0x85 || b(1) == 0xA0 ? 2 : 0;
    bool space = false;
    if (b(0) == 0xE1)
        space = b(1) == 0x9A && b(2) == 0x80;
    else if (b(0) == 0xE2 && b(1) == 0x80)
        space = b(2) <= 0x8A || b(2) == 0xA8 || b(2) == 0xA9 || b(2) == 0xAF;
    else if (b(0) == 0xE2)
        space = b(1) == 0x81 && b(2) == 0x9F;
    else
        space = b(0) == 0xE3 && b(1) == 0x80 && b(2) == 0x80;
    return space ? 3 : 0;
}

// From window offset i to end: past the white space that the language trims
// around a heredoc's marker.
std::size_t pastSpace(const char *w, std::size_t i, std::size_t end)
{
    while (i < end) {
        const std::size_t n = isLineBlank(w[i]) ? 1 : unicodeSpaceAt(w + i);
        if (n == 0)
            break;
        i += n;
    }
    return i;
}

// At a heredoc line's start at window offset i: the offset of its line
// feed when the line, white space trimmed, is the marker (length bytes at
// marker); else 0. Looks no further than end.
std::size_t markerLine(const char *w, std::size_t i, std::size_t end, const char *marker, std::size_t length)
{
    i = pastSpace(w, i, end);
    if (end - i < length || std::memcmp(w + i, marker, length) != 0)
        return 0;
    i = pastSpace(w, i + length, end);
    return i < end && w[i] == '\n' ? i : 0;
}

HclFrame top(const HclLexState &st)
{
    return st.depth ? st.frames[st.depth - 1] : HclFrame::Block;
}

// Opens a frame; false when too many are open.
bool push(HclLexState &st, HclFrame frame)
{
    if (st.depth >= kHclNesting)
        return false;
    st.frames[st.depth++] = frame;
    return true;
}

// Notes that a token goes out where the innermost frame is: it opens the
// body's line or the object's element.
void noteToken(HclLexState &st)
{
    const HclFrame f = top(st);
    if (f == HclFrame::Block)
        st.lineOpen = true;
    else if (f == HclFrame::Object)
        st.itemOpen = true;
    st.justOpened = false;
}

// A line end as layout sees it: it ends the body's open line, or separates
// the object's open element.
void lineEnd(HclLexState &st)
{
    const HclFrame f = top(st);
    if (f == HclFrame::Block) {
        if (st.lineOpen)
            st.pending = HclPending::LineEnd;
        st.lineOpen = false;
        st.seenEquals = false;
    } else if (f == HclFrame::Object && st.itemOpen) {
        st.pending = HclPending::Separator;
        st.itemOpen = false;
    }
}

// Ends the stream after a refusal: a token with pieces out gets a last one
// that no readable source's key ends in, then the End piece. True.
bool endStream(Lexer &lx, TokenPiece &piece)
{
    lx.mode = LexMode::Finished;
    lx.commentUnclosed = false;
    if (!lx.firstPiece) {
        textPiece(lx, piece, "\x01", 1, true);
        return true;
    }
    finishStream(lx, piece);
    return true;
}

// The source is no HCL the lexer follows from place on.
bool rejectAt(Lexer &lx, TokenPiece &piece, TokenPlace place)
{
    rejectInput(lx, kRejected, place);
    return endStream(lx, piece);
}

bool reject(Lexer &lx, TokenPiece &piece, std::size_t at)
{
    return rejectAt(lx, piece, placeAt(lx, at));
}

// The source holds more than the lexer's state can follow.
bool refuse(Lexer &lx, TokenPiece &piece, const char *reason)
{
    refuseSource(lx, reason);
    return endStream(lx, piece);
}

// A token of n bytes at pos, a punctuator or a byte that starts none.
bool punctuator(Lexer &lx, TokenPiece &piece, std::size_t n)
{
    noteToken(hclState(lx));
    beginToken(lx, TokenKind::Code);
    return finishAt(lx, piece, lx.pos + n);
}

// Goes on with a quoted template's text from pos: up to its closing quote,
// which closes it, or an interpolation's or directive's opening brace (and
// strip marker), which opens that. True when piece is filled.
bool quotedStep(Lexer &lx, TokenPiece &piece)
{
    HclLexState &st = hclState(lx);
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        if (!runOver(lx, i, isQuotedPlain, 3))
            return pauseAt(lx, piece, lx.pos);
        const char c = w[i];
        if (i >= lx.end || c == '\n')
            return reject(lx, piece, i);  // unterminated
        if (c == '"') {
            --st.depth;
            noteToken(st);
            return finishAt(lx, piece, i + 1);
        }
        if (c == '\\') {
            if (w[i + 1] == '\n' || i + 1 >= lx.end)
                return reject(lx, piece, i + 1);
            i += 2;
            continue;
        }
        if ((c == '$' || c == '%') && w[i + 1] == c && w[i + 2] == '{') {
            i += 3;  // an escaped "${" or "%{"
            continue;
        }
        if ((c == '$' || c == '%') && w[i + 1] == '{') {
            if (!push(st, c == '$' ? HclFrame::Interp : HclFrame::Directive))
                return refuse(lx, piece, kTooDeep);
            return finishAt(lx, piece, i + 2 + (w[i + 2] == '~'));
        }
        ++i;  // a lone '$' or '%', or a zero byte of the text
    }
}

// At a heredoc line's start at window offset i (kLineLook bytes readable, or
// all that remain): the offset of its line end when the line is the closing
// marker's; else 0.
std::size_t closingMarker(const Lexer &lx, const HclLexState &st, const HclHeredoc &h, std::size_t i)
{
    return markerLine(lx.window, i, std::min(lx.end, i + kLineLook), st.markers + h.marker, h.length);
}

// Goes on with a heredoc's text from pos: at each line's start its closing
// marker closes it, and its indentation is taken off (HclStrip::Indent);
// an interpolation or directive opens as in a quoted template. Hands out a
// piece at each line's end. True when piece is filled.
bool heredocStep(Lexer &lx, TokenPiece &piece)
{
    HclLexState &st = hclState(lx);
    HclHeredoc &h = st.heredoc[st.heredocs - 1];
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        if (h.lineStart) {
            if (i > lx.pieceStart) {
                setPiece(lx, piece, lx.pieceStart, i, false);
                lx.pos = lx.pieceStart = i;
                return true;
            }
            lx.pos = lx.pieceStart = i;
            refillAhead(lx, i, kLineLook);
            std::size_t lead = i;
            while (isBlank(w[lead]) && lead - i < kLineLook - kHclMarker - 16)
                ++lead;
            if (isBlank(w[lead]))
                return refuse(lx, piece, kLongIndent);
            if (const std::size_t at = closingMarker(lx, st, h, i)) {
                const char *marker = st.markers + h.marker;
                const std::size_t length = h.length;
                st.markerUsed -= h.length;
                --st.heredocs;
                --st.depth;
                noteToken(st);
                return finishText(lx, piece, marker, length, at);
            }
            std::size_t blank = lead;
            while (isLineBlank(w[blank]))
                ++blank;
            if (h.strip == HclStrip::Indent && w[blank] != '\n')
                lx.pieceStart = i += std::min<std::size_t>(h.indent, lead - i);
            h.lineStart = false;
        }
        if (!runOver(lx, i, isHeredocPlain, 3))
            return pauseAt(lx, piece, lx.pos);
        const char c = w[i];
        if (i >= lx.end)
            return reject(lx, piece, i);  // unterminated
        if (c == '\n') {
            newLine(lx, i);
            ++i;
            h.lineStart = true;
            continue;
        }
        if ((c == '$' || c == '%') && w[i + 1] == c && w[i + 2] == '{') {
            i += 3;
            continue;
        }
        if ((c == '$' || c == '%') && w[i + 1] == '{') {
            if (!push(st, c == '$' ? HclFrame::Interp : HclFrame::Directive))
                return refuse(lx, piece, kTooDeep);
            return finishAt(lx, piece, i + 2 + (w[i + 2] == '~'));
        }
        ++i;
    }
}

// From window offset i, just inside a "${" or "%{" of a heredoc being
// measured: the offset after the '}' that closes it, following brackets
// and quoted strings (with their own templates) and passing comments;
// kUnmeasured where the window ends first, or a heredoc, a line end in a
// string, too many brackets or a closing strip marker make it more than
// this measure follows.
std::size_t skipTemplateExpression(const Lexer &lx, std::size_t i)
{
    const char *w = lx.window;
    char open[kExprNesting];
    std::size_t n = 0;
    open[n++] = '{';
    while (i < lx.end) {
        const char c = w[i];
        if (open[n - 1] == '"') {
            if (c == '"') {
                --n;
                ++i;
            } else if (c == '\\') {
                i += 2;
            } else if (c == '\n') {
                return kUnmeasured;
            } else if ((c == '$' || c == '%') && w[i + 1] == c && w[i + 2] == '{') {
                i += 3;
            } else if ((c == '$' || c == '%') && w[i + 1] == '{') {
                if (n == kExprNesting)
                    return kUnmeasured;
                open[n++] = '{';
                i += 2;
            } else {
                ++i;
            }
            continue;
        }
        if (c == '}') {
            if (--n == 0)
                return w[i - 1] == '~' ? kUnmeasured : i + 1;
        } else if (c == '{' || c == '"') {
            if (n == kExprNesting)
                return kUnmeasured;
            open[n++] = c;
        } else if (c == '#' || (c == '/' && w[i + 1] == '/')) {
            while (i < lx.end && w[i] != '\n')
                ++i;  // a line comment, to its line end
            continue;
        } else if (c == '/' && w[i + 1] == '*') {
            for (i += 2; i < lx.end && !(w[i] == '*' && w[i + 1] == '/');)
                ++i;
            i += 2;
            continue;
        } else if (c == '<' && w[i + 1] == '<') {
            return kUnmeasured;
        }
        ++i;
    }
    return kUnmeasured;
}

// The least indentation (spaces and tabs) of the lines of the heredoc whose
// text starts at window offset i and whose marker is length bytes at
// marker, blank lines aside, a line that starts with an interpolation
// counting 0; kUnmeasured where its closing marker is not in the window, or
// a line is led by other white space, or an interpolation is more than
// skipTemplateExpression follows, or a strip marker ("${~", "~}") takes
// white space off a neighbouring line's text, which changes what the
// language counts as a line's start.
std::size_t measureIndent(const Lexer &lx, std::size_t i, const char *marker, std::size_t length)
{
    const char *w = lx.window;
    std::size_t least = kUnmeasured;
    for (;;) {
        if (markerLine(w, i, lx.end, marker, length))
            return least == kUnmeasured ? 0 : least;
        std::size_t lead = i;
        while (lead < lx.end && isBlank(w[lead]))
            ++lead;
        std::size_t blank = lead;
        while (blank < lx.end && isLineBlank(w[blank]))
            ++blank;
        if (blank >= lx.end)
            return kUnmeasured;
        if (w[blank] == '\n') {
            i = blank + 1;
            continue;
        }
        if (blank != lead || unicodeSpaceAt(w + lead))
            return kUnmeasured;
        least = std::min(least, lead - i);
        for (i = lead;;) {
            if (i >= lx.end)
                return kUnmeasured;
            const char c = w[i];
            if (c == '\n') {
                ++i;
                break;
            }
            if ((c == '$' || c == '%') && w[i + 1] == c && w[i + 2] == '{') {
                i += 3;
            } else if ((c == '$' || c == '%') && w[i + 1] == '{') {
                if (w[i + 2] == '~')
                    return kUnmeasured;
                i = skipTemplateExpression(lx, i + 2);
                if (i == kUnmeasured)
                    return kUnmeasured;
            } else {
                ++i;
            }
        }
    }
}

// A heredoc's opener at pos ("<<" and kHclMarker + 8 bytes readable, or
// all that remain): hands out its token and starts its text, true; false
// when "<<" opens none there (no marker, or more than a line end after it).
bool openHeredoc(Lexer &lx, TokenPiece &piece, bool &filled)
{
    HclLexState &st = hclState(lx);
    const char *w = lx.window;
    std::size_t i = lx.pos;
    const bool dash = w[i + 2] == '-';
    const std::size_t from = i + 2 + dash;
    if (!isNameStart(w[from]))
        return false;
    std::size_t to = from;
    while (isNameByte(w[to]) && to - from <= kHclMarker)
        ++to;
    if (to - from > kHclMarker) {
        filled = refuse(lx, piece, kLongMarker);
        return true;
    }
    std::size_t eol = w[to] == '\n' ? to : w[to] == '\r' && w[to + 1] == '\n' ? to + 1 : 0;
    if (eol == 0 || eol >= lx.end)
        return false;
    const std::size_t length = to - from;
    if (st.depth >= kHclNesting || st.heredocs >= kHclHeredocs || st.markerUsed + length > kHclMarkerBytes) {
        filled = refuse(lx, piece, kTooDeep);
        return true;
    }
    HclStrip strip = dash ? HclStrip::Indent : HclStrip::AsWritten;
    std::size_t indent = 0;
    if (dash) {
        indent = measureIndent(lx, eol + 1, w + from, length);
        if (indent == kUnmeasured && !lx.ended && i > 0) {
            // Its text may fit a window that starts at the opener.
            lx.pieceStart = i;
            refill(lx, i);
            const std::size_t shift = i - lx.pos;
            i = lx.pos;
            indent = measureIndent(lx, eol + 1 - shift, w + from - shift, length);
            eol -= shift;
            to -= shift;
        }
        if (indent == kUnmeasured || indent > UINT32_MAX) {
            strip = HclStrip::Raw;
            indent = 0;
        }
    }
    noteToken(st);
    st.frames[st.depth++] = HclFrame::Heredoc;
    HclHeredoc &h = st.heredoc[st.heredocs++];
    h.marker = static_cast<std::uint16_t>(st.markerUsed);
    h.length = static_cast<std::uint16_t>(length);
    h.strip = strip;
    h.lineStart = true;
    h.indent = static_cast<std::uint32_t>(indent);
    std::memcpy(st.markers + st.markerUsed, w + to - length, length);
    st.markerUsed += static_cast<std::uint32_t>(length);
    // The opener's key: "<<" or "<<-" and the marker, then how its text reads.
    const std::size_t n = to - i;
    std::memcpy(st.opener, w + i, n);
    st.opener[n] = strip == HclStrip::Raw ? '\x01' : '\n';
    const TokenPlace place = placeAt(lx, i);
    markEnd(lx, to);
    newLine(lx, eol);
    wholePiece(piece, TokenKind::Code, st.opener, n + 1, place);
    lx.pos = lx.pieceStart = eol + 1;
    beginToken(lx, TokenKind::Code);
    lx.mode = LexMode::Raw;
    filled = true;
    return true;
}

// Closes the interpolation or directive whose closing brace (with its strip
// marker, n bytes) is at pos, and goes on with the template's text, the
// brace its key's start. True when piece is filled.
bool closeTemplateExpression(Lexer &lx, TokenPiece &piece, std::size_t n)
{
    HclLexState &st = hclState(lx);
    --st.depth;
    beginToken(lx, TokenKind::Code);
    lx.pos += n;
    if (top(st) == HclFrame::Quoted) {
        lx.mode = LexMode::Quoted;
        return quotedStep(lx, piece);
    }
    st.heredoc[st.heredocs - 1].lineStart = false;
    lx.mode = LexMode::Raw;
    return heredocStep(lx, piece);
}

// Goes on with the name open at pos.
bool nameStep(Lexer &lx, TokenPiece &piece)
{
    std::size_t i = lx.pos;
    if (!runOver(lx, i, isNameByte))
        return pauseAt(lx, piece, lx.pos);
    return finishAt(lx, piece, i);
}

// Goes on with the number open at pos: digits, a fraction, an exponent.
bool numberStep(Lexer &lx, TokenPiece &piece)
{
    HclLexState &st = hclState(lx);
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        if (!runOver(lx, i, isDigit, 3))
            return pauseAt(lx, piece, lx.pos);
        if (st.numberPart == 0 && w[i] == '.' && isDigit(w[i + 1])) {
            st.numberPart = 1;
            i += 2;
        } else if (st.numberPart < 2 && (w[i] == 'e' || w[i] == 'E') &&
                   (isDigit(w[i + 1]) || ((w[i + 1] == '+' || w[i + 1] == '-') && isDigit(w[i + 2])))) {
            st.numberPart = 2;
            i += isDigit(w[i + 1]) ? 2 : 3;
        } else {
            return finishAt(lx, piece, i);
        }
    }
}

// The operators of two bytes.
bool isPair(char a, char b)
{
    return (b == '=' && (a == '=' || a == '!' || a == '<' || a == '>')) || (a == '&' && b == '&') ||
           (a == '|' && b == '|') || (a == '=' && b == '>');
}

// Starts the token at pos, or hands out the one that the layout before it
// stands for.
bool tokenStart(Lexer &lx, TokenPiece &piece)
{
    HclLexState &st = hclState(lx);
    const char *w = lx.window;
    const std::size_t i = lx.pos;
    const char c = w[i];
    const HclFrame f = top(st);
    if (st.pending != HclPending::None) {
        const HclPending pending = st.pending;
        st.pending = HclPending::None;
        if (!(pending == HclPending::Separator && c == '}')) {
            const bool line = pending == HclPending::LineEnd;
            wholePiece(piece, line ? TokenKind::LineEnd : TokenKind::Code, line ? "\n" : ",", 1, placeAt(lx, i));
            return true;
        }
    }
    if (isNameStart(c)) {
        if (f == HclFrame::Object && st.justOpened && c == 'f' && w[i + 1] == 'o' && w[i + 2] == 'r' &&
            !isNameByte(w[i + 3]))
            st.frames[st.depth - 1] = HclFrame::ForObject;
        noteToken(st);
        beginToken(lx, TokenKind::Code);
        lx.mode = LexMode::Name;
        return nameStep(lx, piece);
    }
    if (isDigit(c)) {
        noteToken(st);
        beginToken(lx, TokenKind::Code);
        st.numberPart = 0;
        lx.mode = LexMode::Number;
        return numberStep(lx, piece);
    }
    switch (c) {
    case '"':
        noteToken(st);
        if (!push(st, HclFrame::Quoted))
            return refuse(lx, piece, kTooDeep);
        beginToken(lx, TokenKind::Code);
        ++lx.pos;
        lx.mode = LexMode::Quoted;
        return quotedStep(lx, piece);
    case '{': {
        const bool block = f == HclFrame::Block && !st.seenEquals;
        noteToken(st);
        if (!push(st, block ? HclFrame::Block : HclFrame::Object))
            return refuse(lx, piece, kTooDeep);
        st.itemOpen = false;
        st.justOpened = !block;
        beginToken(lx, TokenKind::Code);
        return finishAt(lx, piece, i + 1);
    }
    case '}':
        if (f == HclFrame::Interp || f == HclFrame::Directive)
            return closeTemplateExpression(lx, piece, 1);
        if (st.depth == 0 || (f != HclFrame::Block && f != HclFrame::Object && f != HclFrame::ForObject))
            return reject(lx, piece, i);
        --st.depth;
        if (f == HclFrame::Block)
            st.seenEquals = false;
        return punctuator(lx, piece, 1);
    case '~':
        if (w[i + 1] == '}' && (f == HclFrame::Interp || f == HclFrame::Directive))
            return closeTemplateExpression(lx, piece, 2);
        return punctuator(lx, piece, 1);
    case '(': case '[':
        noteToken(st);
        if (!push(st, c == '(' ? HclFrame::Paren : HclFrame::Tuple))
            return refuse(lx, piece, kTooDeep);
        beginToken(lx, TokenKind::Code);
        return finishAt(lx, piece, i + 1);
    case ')': case ']':
        if (f != (c == ')' ? HclFrame::Paren : HclFrame::Tuple))
            return reject(lx, piece, i);
        --st.depth;
        return punctuator(lx, piece, 1);
    case ',':
        if (f == HclFrame::Object && st.itemOpen) {
            st.itemOpen = false;
            st.pending = HclPending::Separator;
            lx.pos = i + 1;
            return false;
        }
        return punctuator(lx, piece, 1);
    case '<':
        if (w[i + 1] == '<') {
            refillAhead(lx, lx.pos, kHclMarker + 8);
            bool filled = false;
            if (openHeredoc(lx, piece, filled))
                return filled;
            return punctuator(lx, piece, 1);  // the window may have moved: i is stale
        }
        break;
    case '.':
        if (w[i + 1] == '.' && w[i + 2] == '.')
            return punctuator(lx, piece, 3);
        break;
    case '=':
        if (f == HclFrame::Block && w[i + 1] != '=' && w[i + 1] != '>')
            st.seenEquals = true;
        break;
    default:
        break;
    }
    return punctuator(lx, piece, isPair(c, w[i + 1]) ? 2 : 1);
}

struct HclSteps : KitSteps<HclSteps> {
    // Skips blanks, line ends (noting what each ends), comments and a byte
    // order mark at the source's start; leaves at least kLexLookahead bytes
    // readable after pos, or all that remain.
    static Stop skipLayout(Lexer &lx)
    {
        HclLexState &st = hclState(lx);
        const char *w = lx.window;
        std::size_t i = lx.pos;
        for (;;) {
            while (isBlank(w[i]))
                ++i;
            if (layoutAt(lx, i, &st.started))
                continue;
            const char c = w[i];
            if (c == '\n' || (c == '\r' && w[i + 1] == '\n')) {
                i += c == '\r';
                lineEnd(st);
                newLine(lx, i);
                ++i;
                continue;
            }
            const bool line = c == '#' || (c == '/' && w[i + 1] == '/');
            if (line || (c == '/' && w[i + 1] == '*')) {
                if (lx.options.comments)
                    return Stop::Comment;
                if (line) {
                    skipLineComment(lx);
                } else {
                    skipBlockComment(lx);
                    if (lx.commentUnclosed)
                        return Stop::InputEnd;
                }
                i = lx.pos;
                continue;
            }
            return tokenOrEnd(lx, i);
        }
    }

    static bool startToken(Lexer &lx, TokenPiece &piece) { return tokenStart(lx, piece); }

    // A comment whose words are tokens: '#', "//" or "/*".
    static bool openComment(Lexer &lx, TokenPiece &)
    {
        if (lx.window[lx.pos] == '#')
            openLineComment(lx, 1);
        else
            ::openComment(lx);
        return false;
    }

    // The input's end: an unclosed comment, bracket, template or heredoc is
    // refused; a line end before the end is layout.
    static bool inputEnd(Lexer &lx, TokenPiece &piece)
    {
        HclLexState &st = hclState(lx);
        if (lx.commentUnclosed)
            return rejectAt(lx, piece, lx.commentPlace);
        if (st.depth > 0)
            return reject(lx, piece, lx.pos);
        st.pending = HclPending::None;
        finishStream(lx, piece);
        return true;
    }

    static bool name(Lexer &lx, TokenPiece &piece) { return nameStep(lx, piece); }
    static bool number(Lexer &lx, TokenPiece &piece) { return numberStep(lx, piece); }
    static bool quoted(Lexer &lx, TokenPiece &piece) { return quotedStep(lx, piece); }
    static bool raw(Lexer &lx, TokenPiece &piece) { return heredocStep(lx, piece); }
};

} // namespace

void hclStart(Lexer &lx)
{
    startLanguageState<HclLexState>(lx);
    lx.rejects = true;
}

extern const LexerHooks kHclLexer = {hclStart, kitNext<HclSteps>, nullptr, nullptr, false, anyHashBang};
