// The PHP lexer: tokens as PHP 8's own lexer reads them, compared as written.
//
// Outside "<?php" and "<?=" a source is inline HTML, which PHP prints as it
// stands: each run of it is one token of its exact bytes (a source with no
// opening tag is all of it). The opening tags are tokens ("<?php" needs a
// blank or the source's end after it), and so is "?>", which takes the one
// line end right after it with it, as PHP does not print that (its key is
// "?>" and a line feed then, whatever line end it was). A short open tag
// "<?" followed by a blank is refused, as PHP reads it by its settings.
//
// In code, blanks, line ends and comments ("//" and "#" to their line's end
// or to a "?>", "/* */") are layout; "#[" opens an attribute. Tokens:
// names and keywords as written (a qualified name such as Foo\Bar or
// \Foo\Bar is one token, as in PHP 8), variables ("$name"; "$$a" is '$'
// and "$a"), numbers as written (a run of digits, letters, '_' and '.', and
// a sign after an exponent's 'e'), operators by longest match, casts as
// "(int)" with the blanks inside them left out, and each string as written
// whole: '...', "..." and `...` with what their interpolations hold
// ("{$a["k"]}"), a b prefix included. A heredoc or nowdoc is one token: its
// opening line (<<<"EOT" and <<< EOT read as <<<EOT), its body lines less the indentation of its
// closing marker (so that re-indenting the whole heredoc with its marker is
// layout), and the marker. After __halt_compiler(); the rest of the source
// is one token as written.
//
// Input that PHP cannot read ends the stream through rejectInput, "not
// valid PHP": an unterminated string, comment or heredoc, and a heredoc body
// line indented less than its closing marker (or with tabs where the marker
// has spaces). What this lexer cannot hold is refused (refuseSource): a
// string nested deeper than kPhpNesting, a comment, "?>" or heredoc inside
// an interpolation's braces, a cast's blanks filling the window. A heredoc
// that does not fit the window takes the rest of the source as written.
#include <cstring>

#include "languages/php/state.h"
#include "tokens/kit.h"
#include "tokens/lexer.h"

namespace {

constexpr char kRejected[] = "PHP";
constexpr char kLongMark[] = "\x02";  // ends a heredoc too long for the window, with the rest of the source
constexpr char kShortTag[] = "a short open tag \"<?\", which PHP reads by its settings";
constexpr char kTooDeep[] = "strings nested too deep to compare";
constexpr char kIntricate[] = "a comment, \"?>\" or heredoc inside a string's braces";
constexpr char kLongMarker[] = "a heredoc's marker that fills the window";
constexpr char kLongCast[] = "a cast whose blanks fill the window";

// The byte classes of names: a name's first byte, and its other bytes.
constexpr unsigned char kStart = 1, kByte = 2;
constexpr ByteTable<unsigned char> kNameClasses = byteTable<unsigned char>([](int c) -> unsigned char {
    const bool start = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
    return start ? kStart | kByte : c >= '0' && c <= '9' ? kByte : 0;
});

inline bool isNameStart(char c)
{
    return kNameClasses[c] & kStart;
}

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

inline bool isNameByte(char c)
{
    return kNameClasses[c] & kByte;
}

// PHP's blanks in code: space, tab, CR, LF.
inline bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

inline bool isNumberByte(char c)
{
    return isNameByte(c) || c == '.';
}

inline char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// True when the n bytes at p are word, in either case.
bool sameWord(const char *p, const char *word, std::size_t n)
{
    for (std::size_t k = 0; k < n; ++k)
        if (lower(p[k]) != word[k])
            return false;
    return true;
}

// The source is not PHP from place on: the stream ends there, a token begun
// getting its last piece up to window offset at. True (piece filled).
bool reject(Lexer &lx, TokenPiece &piece, TokenPlace place, std::size_t at, bool tokenOpen)
{
    rejectInput(lx, kRejected, place);
    if (tokenOpen) {
        finishAt(lx, piece, at);
    } else {
        finishStream(lx, piece);
    }
    lx.mode = LexMode::Finished;
    return true;
}

// The same for a source this lexer cannot hold, for reason.
bool refuse(Lexer &lx, TokenPiece &piece, const char *reason, std::size_t at, bool tokenOpen)
{
    refuseSource(lx, reason);
    if (tokenOpen)
        finishAt(lx, piece, at);
    else
        finishStream(lx, piece);
    lx.mode = LexMode::Finished;
    return true;
}

// --- Inline HTML ------------------------------------------------------------

// What stands at window offset i of inline HTML, kLexLookahead bytes
// readable there or all that remain.
enum class Tag : unsigned char { None, Php, Echo, Short };

Tag tagAt(const Lexer &lx, std::size_t i)
{
    const char *w = lx.window;
    if (w[i] != '<' || w[i + 1] != '?' || i + 1 >= lx.end)
        return Tag::None;
    if (w[i + 2] == '=' && i + 2 < lx.end)
        return Tag::Echo;
    if (i + 2 >= lx.end || isBlank(w[i + 2]))
        return Tag::Short;
    if (i + 4 < lx.end && sameWord(w + i + 2, "php", 3) && (i + 5 >= lx.end || isBlank(w[i + 5])))
        return Tag::Php;
    return Tag::None;
}

// Goes on with a run of inline HTML at pos: it ends before an opening tag
// or at the input's end. True when piece is filled.
bool htmlStep(Lexer &lx, TokenPiece &piece)
{
    std::size_t i = lx.pos;
    for (;;) {
        if (!runOver(lx, i, [](char c) { return c != '<' && c != '\n' && c != 0; }, 6))
            return pauseAt(lx, piece, lx.pos);
        if (i >= lx.end)
            return finishAt(lx, piece, i);
        const char c = lx.window[i];
        if (c == '\n') {
            newLine(lx, i);
        } else if (c == '<') {
            const Tag tag = tagAt(lx, i);
            if (tag == Tag::Short)
                return refuse(lx, piece, kShortTag, i, true);
            if (tag != Tag::None)
                return finishAt(lx, piece, i);
        }
        ++i;
    }
}

// The token at pos in inline HTML: an opening tag, or a run of HTML.
bool htmlStart(Lexer &lx, TokenPiece &piece)
{
    PhpLexState &st = phpState(lx);
    const std::size_t i = lx.pos;
    beginToken(lx, TokenKind::Code);
    switch (tagAt(lx, i)) {
    case Tag::Short: return refuse(lx, piece, kShortTag, i, false);
    case Tag::Php: st.code = true; return finishAt(lx, piece, i + 5);
    case Tag::Echo: st.code = true; return finishAt(lx, piece, i + 3);
    case Tag::None: break;
    }
    lx.mode = LexMode::Verbatim;
    return htmlStep(lx, piece);
}

// --- Strings ----------------------------------------------------------------

// Pushes what opens inside a string; false when the nesting is too deep.
bool push(PhpLexState &st, char open)
{
    if (st.depth == kPhpNesting)
        return false;
    st.open[st.depth++] = open;
    return true;
}

// A byte of a string's body that needs no decision, in the innermost open
// quote (or braces).
inline bool plainIn(char open, char c)
{
    switch (open) {
    case '\'': return c != '\'' && c != '\\' && c != '\n' && c != 0;
    case '"': case '`': return c != open && c != '\\' && c != '\n' && c != 0 && c != '{' && c != '$';
    case '*': return c != '*' && c != '\n' && c != 0;
    default: return false;
    }
}

// Goes on with a string at pos, whose quotes and braces open are
// PhpLexState::open: every byte as written, to the closing quote of the
// outermost. True when piece is filled.
bool stringStep(Lexer &lx, TokenPiece &piece)
{
    PhpLexState &st = phpState(lx);
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        const char open = st.open[st.depth - 1];
        while (plainIn(open, w[i]))
            ++i;
        if (!readable(lx, i, 3))
            return pauseAt(lx, piece, lx.pos);
        if (i >= lx.end)
            return reject(lx, piece, lx.place, i, true);
        const char c = w[i];
        if (c == '\n') {
            newLine(lx, i);
            ++i;
            continue;
        }
        bool ok = true;
        if (open == '*') {
            if (c == '*' && w[i + 1] == '/')
                --st.depth, ++i;
            ++i;
        } else if (open != '{' && c == '\\') {
            if (w[i + 1] == '\n')
                newLine(lx, i + 1);
            i += i + 1 < lx.end ? 2 : 1;
        } else if (open != '{' && c == open) {
            ++i;
            --st.depth;
        } else if (open == '"' || open == '`') {
            // "{$" and "${" open code inside braces.
            if (c == '{' && w[i + 1] == '$')
                ok = push(st, '{'), i += 1;
            else if (c == '$' && w[i + 1] == '{')
                ok = push(st, '{'), i += 2;
            else
                ++i;
        } else if (open == '{') {
            if ((c == '/' && (w[i + 1] == '/' || w[i + 1] == '*')) || c == '#' || (c == '?' && w[i + 1] == '>') ||
                (c == '<' && w[i + 1] == '<' && w[i + 2] == '<')) {
                if (c != '/' || w[i + 1] != '*')
                    return refuse(lx, piece, kIntricate, i, true);
                ok = push(st, '*'), i += 2;
            } else if (c == '{' || c == '\'' || c == '"' || c == '`') {
                ok = push(st, c), ++i;
            } else {
                if (c == '}')
                    --st.depth;
                ++i;
            }
        } else {
            ++i;  // a zero byte of the text
        }
        if (!ok)
            return refuse(lx, piece, kTooDeep, i, true);
        if (st.depth == 0)
            return finishAt(lx, piece, i);
    }
}

// Starts a string whose opening quote is at window offset i (pos at its
// first byte, a b prefix perhaps).
bool stringStart(Lexer &lx, TokenPiece &piece, std::size_t i)
{
    PhpLexState &st = phpState(lx);
    st.depth = 0;
    push(st, lx.window[i]);
    lx.pos = i + 1;
    lx.mode = LexMode::Interpolated;
    return stringStep(lx, piece);
}

// --- Heredocs ---------------------------------------------------------------

// The heredoc's opening line at pos (pos at "<<<" or its b prefix): where
// its marker name starts and ends and where its body starts; false when the
// bytes there open none ("<<" and '<' then).
struct DocHead {
    std::size_t name = 0, nameEnd = 0, body = 0;
};

// 1: a heredoc's opening line stands at window offset i and head tells it;
// 0: none does; -1: the window ends before it does.
int docHeadAt(const Lexer &lx, std::size_t i, DocHead &head)
{
    const char *w = lx.window;
    if (lower(w[i]) == 'b')
        ++i;
    if (!(w[i] == '<' && w[i + 1] == '<' && w[i + 2] == '<'))
        return 0;
    i += 3;
    while (w[i] == ' ' || w[i] == '\t')
        ++i;
    const char quote = w[i] == '"' || w[i] == '\'' ? w[i] : 0;
    if (quote)
        ++i;
    if (!isNameStart(w[i]))
        return i >= lx.end && !lx.ended ? -1 : 0;
    head.name = i;
    while (isNameByte(w[i]))
        ++i;
    head.nameEnd = i;
    if (quote && w[i++] != quote)
        return i > lx.end && !lx.ended ? -1 : 0;
    if (i + 1 >= lx.end && !lx.ended)
        return -1;
    if (w[i] == '\n' || w[i] == '\r') {
        head.body = i + (w[i] == '\r' && w[i + 1] == '\n' ? 2 : 1);
        return 1;
    }
    return 0;
}

// The window offset after the line end of the line that starts at i (CR LF,
// LF or a lone CR), or lx.end when the window ends first; ends (when not
// nullptr) gets where the line's text ends.
std::size_t lineAfter(const Lexer &lx, std::size_t i, std::size_t *ends = nullptr)
{
    const char *w = lx.window;
    while (i < lx.end && w[i] != '\n' && w[i] != '\r')
        ++i;
    if (ends)
        *ends = i;
    if (i >= lx.end)
        return lx.end;
    return i + (w[i] == '\r' && w[i + 1] == '\n' ? 2 : 1);
}

// How a heredoc at pos stands in the window.
enum class DocFound : unsigned char { Closed, Unclosed, Long, BadIndent };

// Finds the closing marker of the heredoc whose head is given: sets the
// state's docClose, docMarker and docEnd (Closed), or tells that the input
// ends first (Unclosed) or the window does (Long); then checks the body's
// indentation against the marker's (BadIndent, docLine at the line at fault).
DocFound findDocClose(Lexer &lx, const DocHead &head)
{
    PhpLexState &st = phpState(lx);
    const char *w = lx.window;
    const std::size_t n = head.nameEnd - head.name;
    std::size_t line = head.body;
    for (;;) {
        if (line >= lx.end)
            return lx.ended ? DocFound::Unclosed : DocFound::Long;
        std::size_t k = line;
        while (w[k] == ' ' || w[k] == '\t')
            ++k;
        if (k + n < lx.end || (lx.ended && k + n <= lx.end)) {
            if (std::memcmp(w + k, w + head.name, n) == 0 && !(k + n < lx.end && isNameByte(w[k + n]))) {
                st.docClose = line;
                st.docMarker = k;
                st.docEnd = k + n;
                break;
            }
        } else if (!lx.ended) {
            return DocFound::Long;
        }
        const std::size_t next = lineAfter(lx, line);
        if (next >= lx.end && !lx.ended)
            return DocFound::Long;
        if (next >= lx.end)
            return DocFound::Unclosed;
        line = next;
    }
    // The marker's indentation: spaces or tabs, not both; each body line
    // starts with it, or is blanks of the same kind alone, fewer of them.
    st.docIndent = st.docMarker - st.docClose;
    const char *indent = w + st.docClose;
    for (std::size_t k = 1; k < st.docIndent; ++k)
        if (indent[k] != indent[0]) {
            st.docLine = st.docClose;
            return DocFound::BadIndent;
        }
    for (line = head.body; line < st.docClose; line = lineAfter(lx, line)) {
        std::size_t textEnd = 0;
        lineAfter(lx, line, &textEnd);
        std::size_t k = line;
        while (k < textEnd && k - line < st.docIndent && w[k] == indent[0])
            ++k;
        if (k - line < st.docIndent && k < textEnd) {
            st.docLine = line;
            return DocFound::BadIndent;
        }
    }
    return DocFound::Closed;
}

// Starts the heredoc or nowdoc at pos, the token begun, whose head is given.
bool docStart(Lexer &lx, TokenPiece &piece, DocHead head)
{
    PhpLexState &st = phpState(lx);
    DocFound found = findDocClose(lx, head);
    if (found == DocFound::Long && lx.pos > 0) {
        const std::size_t shift = lx.pos;
        refill(lx, lx.pos);
        head.name -= shift, head.nameEnd -= shift, head.body -= shift;
        found = findDocClose(lx, head);
    }
    switch (found) {
    case DocFound::Unclosed: return reject(lx, piece, lx.place, lx.pos, false);
    case DocFound::BadIndent:
        for (std::size_t i = lx.pos; i < st.docLine; ++i)
            if (lx.window[i] == '\n')
                newLine(lx, i);
        return reject(lx, piece, placeAt(lx, st.docLine), lx.pos, false);
    case DocFound::Long:
        st.restMark = kLongMark;
        lx.mode = LexMode::Gap;
        return restOfInput(lx, piece, kLongMark);
    case DocFound::Closed: break;
    }
    st.docStart = lx.pos;
    st.docLine = head.body;
    st.docName = head.name;
    st.docNameEnd = head.nameEnd;
    st.nowdoc = lx.window[head.name - 1] == '\'';
    lx.mode = LexMode::Raw;
    if (lower(lx.window[lx.pos]) == 'b') {
        st.phase = PhpDocPhase::Open;
        setPiece(lx, piece, lx.pos, lx.pos + 1, false);
        return true;
    }
    st.phase = PhpDocPhase::Name;
    textPiece(lx, piece, st.nowdoc ? "<<<'" : "<<<", st.nowdoc ? 4 : 3, false);
    return true;
}

// Hands out the next piece of a heredoc held whole in the window: its
// opening line as "<<<NAME" and a line feed (a heredoc's optional double
// quotes and the blanks after "<<<" left out, a nowdoc's quotes kept), a
// body line less the marker's indentation (its line end as written), or,
// last, the marker.
bool docStep(Lexer &lx, TokenPiece &piece)
{
    PhpLexState &st = phpState(lx);
    const char *w = lx.window;
    switch (st.phase) {
    case PhpDocPhase::Open:
        st.phase = PhpDocPhase::Name;
        textPiece(lx, piece, st.nowdoc ? "<<<'" : "<<<", st.nowdoc ? 4 : 3, false);
        return true;
    case PhpDocPhase::Name:
        st.phase = PhpDocPhase::Head;
        setPiece(lx, piece, st.docName, st.docNameEnd, false);
        return true;
    case PhpDocPhase::Head:
        st.phase = PhpDocPhase::Lines;
        textPiece(lx, piece, st.nowdoc ? "'\n" : "\n", st.nowdoc ? 2 : 1, false);
        return true;
    default: break;
    }
    while (st.phase == PhpDocPhase::Lines) {
        if (st.docLine >= st.docClose) {
            st.phase = PhpDocPhase::Close;
            break;
        }
        const std::size_t line = st.docLine, next = lineAfter(lx, line);
        std::size_t k = line;
        while (k < next && k - line < st.docIndent && (w[k] == ' ' || w[k] == '\t'))
            ++k;
        st.docLine = next;
        if (k < next) {
            setPiece(lx, piece, k, next, false);
            return true;
        }
    }
    for (std::size_t i = st.docStart; i < st.docMarker; ++i)
        if (w[i] == '\n')
            newLine(lx, i);
    setPiece(lx, piece, st.docMarker, st.docEnd, true);
    lx.pos = lx.pieceStart = st.docEnd;
    markEnd(lx, lx.pos);
    lx.mode = LexMode::Between;
    return true;
}

// --- Code -------------------------------------------------------------------

// The operators of more than one byte, longest first.
constexpr const char *kOperators[] = {
    "===", "!==", "<=>", "**=", "...", "<<=", ">>=", "?\?=", "?->",
    "==", "!=", "<>", "<=", ">=", "&&", "||", "++", "--", "->", "=>", "::", "+=", "-=", "*=", "/=",
    ".=", "%=", "&=", "|=", "^=", "<<", ">>", "**", "??", "#[",
};

// Bytes of the operator at p (1 for any byte that starts none longer).
std::size_t operatorLength(const char *p)
{
    if (!std::strchr("=!<>*.?&|+-:/%^#", p[0]) || p[0] == 0)
        return 1;
    for (const char *op : kOperators) {
        if (op[0] != p[0])
            continue;
        const std::size_t n = op[2] ? 3 : 2;
        if (std::memcmp(p, op, n) == 0)
            return n;
    }
    return 1;
}

// The cast names of PHP's lexer.
constexpr const char *kCasts[] = {"int", "integer", "bool", "boolean", "float", "double", "real",
                                  "string", "binary", "array", "object", "unset"};

// A cast at window offset i ('('): its bytes up to its ')' and its key
// ("(" NAME ")", blanks left out) in the state; 0 when none stands there,
// -1 when the window ends inside its blanks.
long castAt(Lexer &lx, std::size_t i)
{
    PhpLexState &st = phpState(lx);
    const char *w = lx.window;
    std::size_t k = i + 1;
    while (w[k] == ' ' || w[k] == '\t')
        ++k;
    const std::size_t name = k;
    while ((w[k] >= 'a' && w[k] <= 'z') || (w[k] >= 'A' && w[k] <= 'Z'))
        ++k;
    const std::size_t n = k - name;
    while (w[k] == ' ' || w[k] == '\t')
        ++k;
    if (k >= lx.end && !lx.ended)
        return -1;
    if (w[k] != ')' || n == 0 || n > 7)
        return 0;
    for (const char *cast : kCasts)
        if (std::strlen(cast) == n && sameWord(w + name, cast, n)) {
            st.key[0] = '(';
            std::memcpy(st.key + 1, w + name, n);
            st.key[n + 1] = ')';
            st.keyLength = n + 2;
            return static_cast<long>(k + 1 - i);
        }
    return 0;
}

// Notes a code token of n bytes at p for a __halt_compiler() statement.
void noteHalt(PhpLexState &st, const char *p, std::size_t n)
{
    const char c = n == 1 ? p[0] : 0;
    switch (st.halt) {
    case PhpHalt::Open: st.halt = c == ')' ? PhpHalt::Close : PhpHalt::None; return;
    case PhpHalt::Close:
        st.halt = c == ';' || (n == 2 && p[0] == '?' && p[1] == '>') ? PhpHalt::Data : PhpHalt::None;
        return;
    case PhpHalt::Name: st.halt = c == '(' ? PhpHalt::Open : PhpHalt::None; return;
    default: break;
    }
    if (n == 15 && sameWord(p, "__halt_compiler", 15))
        st.halt = PhpHalt::Name;
}

// The token at pos in code, kLexLookahead bytes readable there or all that
// remain.
bool codeStart(Lexer &lx, TokenPiece &piece)
{
    PhpLexState &st = phpState(lx);
    std::size_t i = lx.pos;
    const char *w = lx.window;
    char c = w[i];
    beginToken(lx, TokenKind::Code);
    if (lower(c) == 'b' && (w[i + 1] == '\'' || w[i + 1] == '"'))
        return stringStart(lx, piece, i + 1);
    if (c == '\'' || c == '"' || c == '`')
        return stringStart(lx, piece, i);
    if ((lower(c) == 'b' && w[i + 1] == '<') || c == '<') {
        DocHead head;
        int found = docHeadAt(lx, i, head);
        if (found < 0 && i > 0) {
            refill(lx, i);
            i = lx.pos;
            found = docHeadAt(lx, i, head);
        }
        if (found < 0)
            return refuse(lx, piece, kLongMarker, i, false);
        if (found > 0)
            return docStart(lx, piece, head);
    }
    if (isNameStart(c) || (c == '\\' && isNameStart(w[i + 1])) || (c == '$' && isNameStart(w[i + 1]))) {
        if (st.halt != PhpHalt::None)
            st.halt = PhpHalt::None;
        if (isNameStart(c) && sameWord(w + i, "__halt_compiler", 15) && !isNameByte(w[i + 15]) && w[i + 15] != '\\')
            st.halt = PhpHalt::Name;
        st.variable = c == '$';
        std::size_t j = i + 1;
        while (isNameByte(w[j]))
            ++j;
        if (j < lx.end && (st.variable || w[j] != '\\'))
            return finishAt(lx, piece, j);  // the common case: the whole name in the window
        lx.pos = i + 1;
        lx.mode = LexMode::Name;
        return false;
    }
    if (isDigit(c) || (c == '.' && isDigit(w[i + 1]))) {
        st.halt = PhpHalt::None;
        lx.pos = i + 1;
        lx.mode = LexMode::Number;
        return false;
    }
    if (c == '?' && w[i + 1] == '>') {
        noteHalt(st, w + i, 2);
        st.code = false;
        if (st.halt == PhpHalt::Data)
            return finishAt(lx, piece, i + 2);  // the data starts right after it
        if (w[i + 2] == '\n') {
            newLine(lx, i + 2);
            return finishAt(lx, piece, i + 3);
        }
        if (w[i + 2] == '\r') {
            const std::size_t at = i + (w[i + 3] == '\n' ? 4 : 3);
            if (w[i + 3] == '\n')
                newLine(lx, i + 3);
            return finishText(lx, piece, "?>\n", 3, at);
        }
        return finishAt(lx, piece, i + 2);
    }
    if (c == '(') {
        long n = castAt(lx, i);
        if (n < 0 && i > 0) {
            refill(lx, i);
            i = lx.pos;
            n = castAt(lx, i);
        }
        if (n < 0)
            return refuse(lx, piece, kLongCast, i, false);
        if (n > 0) {
            st.halt = PhpHalt::None;
            return finishText(lx, piece, st.key, st.keyLength, i + static_cast<std::size_t>(n));
        }
    }
    const std::size_t n = operatorLength(w + i);
    noteHalt(st, w + i, n);
    return finishAt(lx, piece, i + n);
}

// Skips a "//" or "#" comment from window offset i: to its line end (LF or
// CR) or a "?>", which are not its own; pos ends there.
void skipLineCommentToTag(Lexer &lx, std::size_t i)
{
    for (;;) {
        skipUntil(lx, i, [](char c) { return c == '\n' || c == '\r' || c == '?'; });
        i = lx.pos;
        if (i >= lx.end || lx.window[i] != '?')
            return;
        if (i + 1 >= lx.end && !lx.ended) {
            lx.pieceStart = i;
            refill(lx, i);
            i = lx.pos;
        }
        if (lx.window[i + 1] == '>' && i + 1 < lx.end)
            return;
        ++i;
    }
}

// A byte of a word of a line comment: the '?' of a "?>" ends it.
inline bool inLineWord(char c)
{
    return c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '?' && c != 0;
}

struct PhpSteps : KitSteps<PhpSteps> {
    // Between tokens: the data after a __halt_compiler() statement comes
    // first, with no layout skipped.
    static bool between(Lexer &lx, TokenPiece &piece)
    {
        PhpLexState &st = phpState(lx);
        if (st.halt == PhpHalt::Data) {
            st.halt = PhpHalt::Done;
            std::size_t i = lx.pos;
            refillShort(lx, i);
            lx.pos = lx.pieceStart = i;
            if (i >= lx.end)
                return inputEnd(lx, piece);
            beginToken(lx, TokenKind::Code);
            st.restMark = nullptr;
            lx.mode = LexMode::Gap;
            return restOfInput(lx, piece);
        }
        return KitSteps<PhpSteps>::between(lx, piece);
    }

    // Skips layout in code (none in inline HTML); leaves kLexLookahead
    // bytes readable after pos, or all that remain.
    static Stop skipLayout(Lexer &lx)
    {
        PhpLexState &st = phpState(lx);
        std::size_t i = lx.pos;
        const char *w = lx.window;
        for (;;) {
            if (st.code)
                skipBlanks(lx, i, isBlank);
            if (refillShort(lx, i))
                continue;
            lx.pos = lx.pieceStart = i;
            if (!st.code || i >= lx.end)
                return tokenOrEnd(lx, i);
            const char c = w[i];
            const bool line = (c == '#' && w[i + 1] != '[') || (c == '/' && w[i + 1] == '/');
            if (!line && !(c == '/' && w[i + 1] == '*'))
                return Stop::Token;
            if (lx.options.comments)
                return Stop::Comment;
            if (line) {
                skipLineCommentToTag(lx, i + 1);
            } else {
                skipBlockComment(lx);
                if (lx.commentUnclosed) {
                    lx.commentUnclosed = false;
                    rejectInput(lx, kRejected, lx.commentPlace);
                    lx.mode = LexMode::Finished;
                    return Stop::InputEnd;
                }
            }
            i = lx.pos;
        }
    }

    static bool startToken(Lexer &lx, TokenPiece &piece)
    {
        return phpState(lx).code ? codeStart(lx, piece) : htmlStart(lx, piece);
    }

    // A comment whose words are tokens: "/*", or "//" or "#" to the line's end.
    static bool openComment(Lexer &lx, TokenPiece &)
    {
        const char c = lx.window[lx.pos];
        if (c == '/' && lx.window[lx.pos + 1] == '*')
            ::openComment(lx);
        else
            openLineComment(lx, c == '#' ? 1 : 2);
        return false;
    }

    // Goes on with the words of a comment; a line comment ends at its line
    // end or a "?>".
    static bool comment(Lexer &lx, TokenPiece &piece)
    {
        if (lx.commentIsBlock) {
            if (commentStep(lx, piece))
                return true;
            if (lx.commentUnclosed) {
                lx.commentUnclosed = false;
                return reject(lx, piece, lx.commentPlace, lx.pos, false);
            }
            return false;
        }
        for (;;) {
            const std::size_t i = commentBlanks(lx, [](char c) { return c == ' ' || c == '\t'; });
            const char *w = lx.window;
            if (i >= lx.end || w[i] == '\n' || w[i] == '\r' || (w[i] == '?' && w[i + 1] == '>')) {
                lx.mode = LexMode::Between;
                return false;
            }
            beginToken(lx, TokenKind::CommentWord);
            lx.mode = LexMode::Word;
            return word(lx, piece);
        }
    }

    // Goes on with a comment word at pos.
    static bool word(Lexer &lx, TokenPiece &piece)
    {
        if (lx.commentIsBlock)
            return wordStep(lx, piece);
        std::size_t i = lx.pos;
        for (;;) {
            if (!runOver(lx, i, inLineWord, 2))
                return pauseAt(lx, piece, lx.pos);
            const char c = lx.window[i];
            if (i >= lx.end || !((c == '?' && lx.window[i + 1] != '>') || c == 0))
                break;
            ++i;
        }
        finishAt(lx, piece, i);
        lx.mode = LexMode::LineComment;
        return true;
    }

    // Goes on with a name, a qualified name or a variable.
    static bool name(Lexer &lx, TokenPiece &piece)
    {
        PhpLexState &st = phpState(lx);
        std::size_t i = lx.pos;
        for (;;) {
            if (!runOver(lx, i, isNameByte, 2))
                return pauseAt(lx, piece, lx.pos);
            if (st.variable || lx.window[i] != '\\' || !isNameStart(lx.window[i + 1]) || i + 1 >= lx.end)
                return finishAt(lx, piece, i);
            i += 2;
        }
    }

    // Goes on with a number: digits, letters, '_' and '.', and a sign after
    // an exponent's letter that a digit follows.
    static bool number(Lexer &lx, TokenPiece &piece)
    {
        std::size_t i = lx.pos;
        const bool done = numberRun(lx, i, isNumberByte, [](char before, char c, char after) -> std::size_t {
            return (c == '+' || c == '-') && (before == 'e' || before == 'E') && isDigit(after) ? 2 : 0;
        });
        if (!done)
            return pauseAt(lx, piece, lx.pos);
        return finishAt(lx, piece, i);
    }

    static bool verbatim(Lexer &lx, TokenPiece &piece) { return htmlStep(lx, piece); }
    static bool interpolated(Lexer &lx, TokenPiece &piece) { return stringStep(lx, piece); }
    static bool raw(Lexer &lx, TokenPiece &piece) { return docStep(lx, piece); }
    static bool gap(Lexer &lx, TokenPiece &piece) { return restOfInput(lx, piece, phpState(lx).restMark); }
};

// A "#!" line is PHP's own only at the source's very start: after a byte
// order mark it is inline HTML.
bool phpHashBang(const Lexer &, std::size_t at)
{
    return at == 0;
}

void phpStart(Lexer &lx)
{
    kitStart<PhpLexState>(lx);
    lx.rejects = true;
}

} // namespace

extern const LexerHooks kPhpLexer = {phpStart, kitNext<PhpSteps>, nullptr, nullptr, false, phpHashBang};
