// The Python lexer: tokens as Python's tokenizer gives them. The end of a
// logical line is a LineEnd, an indent or dedent an Indent or Dedent; blanks,
// blank lines, comments, line ends inside brackets and backslash
// continuations are layout.
//
// Beyond the tokenizer, two forms that formatters write for one program give
// one stream:
// - a simple statement on its header's line (`if x: pass`) and the same
//   statement as an indented block: after a compound statement's header ':'
//   (outside brackets, not a lambda's) with a token on the same logical line,
//   a LineEnd and an Indent stand before that token, and a Dedent after the
//   line's LineEnd. `match` never takes its block on its line, so a line that
//   starts with it is left alone (`match: int = 1` is an annotation); `case`
//   is a header only directly inside a match block;
// - `a; b` and `a` and `b` on lines of their own: a ';' outside brackets is a
//   LineEnd, or nothing before the logical line's end. A ';' where a
//   statement starts is a Code token (no program holds one).
//
// Choices beyond the plain lexical rules:
// - a lone CR ends a line as Python reads it, but places count line feeds
//   only, as the rest of Matchling does; inside a literal a CR LF's CR is
//   dropped and a lone CR kept;
// - an f-string (or t-string) is one token, its fields included in the
//   nested-quote form of Python 3.12; string literals join when they have
//   the same prefix (spelled the same) and the same quote, only across
//   layout, and not when the first may end in an octal escape that a digit
//   of the second would extend, or ends inside a \x, \u, \U or \N{...}
//   escape (which Python rejects), or (an f- or t-string) ends in a '}'
//   before one that starts with '}' (a lone '}' Python rejects would pair);
// - where Python would reject the indentation (a dedent to no open level,
//   tabs that make the order of levels depend on the tab width, more than
//   kPythonIndentDepth levels) or an f-string nests deeper than
//   kPythonStringFrames frames, the rest of the source is one token: the
//   strict reading;
// - bytes >= 0x80 are name bytes; a byte no token starts with is a token of
//   its own.
#include <cstring>

#include "languages/python/state.h"
#include "tokens/kit.h"
#include "tokens/lexer.h"

namespace {

constexpr int kTabWidth = 8;  // a tab moves the indentation column to the next multiple of this

using Frame = PythonStringFrame;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\f';
}

bool isLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

bool isNameByte(char c)
{
    return (byteClass(c) & kNameB) != 0;
}

bool isDigit(char c)
{
    return (byteClass(c) & kDigit) != 0;
}

bool isOctal(char c)
{
    return c >= '0' && c <= '7';
}

bool isHex(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isQuote(char c)
{
    return c == '"' || c == '\'';
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Bytes that end a plain run in the text of a string.
struct StopTable {
    bool stop[256];
};

constexpr StopTable makeStops()
{
    StopTable t{};
    const char stops[] = "\"'\\\n\r{}";
    for (const char c : stops)
        t.stop[static_cast<unsigned char>(c)] = true;  // the terminating zero byte too
    return t;
}

constexpr StopTable kTextStops = makeStops();

bool textStop(char c)
{
    return kTextStops.stop[static_cast<unsigned char>(c)];
}

// True when the n name bytes at p are a string prefix: r, u, b, f, t, or b,
// f or t with r in either order, in any case.
bool isPrefix(const char *p, std::size_t n)
{
    char a = lower(p[0]);
    if (n == 1)
        return a == 'r' || a == 'u' || a == 'b' || a == 'f' || a == 't';
    if (n != 2)
        return false;
    char b = lower(p[1]);
    return (a == 'r' && (b == 'b' || b == 'f' || b == 't')) || (b == 'r' && (a == 'b' || a == 'f' || a == 't'));
}

// Bytes of the string prefix at p when a quote follows it; -1 when none does.
int prefixBefore(const char *p)
{
    std::size_t n = 0;
    while (n < 3 && isNameByte(p[n]))
        ++n;
    return n <= 2 && isQuote(p[n]) && (n == 0 || isPrefix(p, n)) ? static_cast<int>(n) : -1;
}

// The window offset after the line end at i (LF, CR LF or a lone CR);
// counts a line feed.
std::size_t pastLineEnd(Lexer &lx, std::size_t i)
{
    if (lx.window[i] == '\r' && lx.window[i + 1] == '\n')
        ++i;
    if (lx.window[i] == '\n')
        newLine(lx, i);
    return i + 1;
}

// Skips a comment from pos to its line end (not included) or the input's end.
void skipComment(Lexer &lx)
{
    skipUntil(lx, isLineEnd);
}

// A byte of an encoding's name in a declaration.
bool isCodingByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c) || c == '-' || c == '_' || c == '.';
}

// Looks in the comment at pos, first on one of the first two lines, for an
// encoding declaration as CPython's tokenizer finds it: "coding", ':' or
// '=', blanks (space, tab), a name of ASCII letters, digits, '-', '_' and
// '.', the first such from the '#' on. Notes in declaration how the token
// goes out: its key the name in lower case (codecs look names up without
// regard to case), or the comment as written when the name is longer than
// kPythonCodingName or the line longer than the window and no name is found
// whole in it. Returns false when the comment declares no encoding; pos
// stays at the '#' either way.
bool findDeclaration(Lexer &lx)
{
    PythonLexState &py = pythonState(lx);
    std::size_t lineEnd = lx.pos;
    for (;;) {
        const char *w = lx.window;
        lineEnd = lx.pos;
        while (lineEnd < lx.end && !isLineEnd(w[lineEnd]))
            ++lineEnd;
        if (lineEnd < lx.end || lx.ended || lx.pos == 0)
            break;
        lx.pieceStart = lx.pos;
        refill(lx, lx.pos);
    }
    const bool whole = lineEnd < lx.end || lx.ended;
    const char *w = lx.window;
    for (std::size_t k = lx.pos; k + 7 <= lineEnd; ++k) {
        if (std::memcmp(w + k, "coding", 6) != 0 || (w[k + 6] != ':' && w[k + 6] != '='))
            continue;
        std::size_t b = k + 7;
        while (b < lineEnd && (w[b] == ' ' || w[b] == '\t'))
            ++b;
        std::size_t e = b;
        while (e < lineEnd && isCodingByte(w[e]))
            ++e;
        if (e == b)
            continue;
        if ((e == lineEnd && !whole) || e - b > kPythonCodingName) {
            py.declaration = 2;
            return true;
        }
        std::memcpy(py.codingKey, "#coding:", 8);
        for (std::size_t n = 0; n < e - b; ++n)
            py.codingKey[8 + n] = lower(w[b + n]);
        py.codingKey[8 + e - b] = 0;
        py.declaration = 1;
        py.declarationEnd = e;
        return true;
    }
    if (whole)
        return false;
    py.declaration = 2;
    return true;
}

// Hands out the encoding declaration that findDeclaration found at pos.
bool declarationStep(Lexer &lx, TokenPiece &piece)
{
    PythonLexState &py = pythonState(lx);
    beginToken(lx, TokenKind::Code);
    if (py.declaration == 2) {
        lx.mode = LexMode::Line;
        return lineTokenStep(lx, piece, false);
    }
    setWholePiece(lx, piece, TokenKind::Code, py.codingKey, lx.place);
    markEnd(lx, py.declarationEnd);
    lx.pos = lx.pieceStart = py.declarationEnd;
    skipComment(lx);  // the rest of the comment
    return true;
}

// Before the first line that may hold no encoding declaration, at the first
// byte c at pos after blanks (not a line end): true when it starts the
// declaration (findDeclaration); notes what the line holds besides.
bool codingStop(Lexer &lx, char c)
{
    PythonLexState &py = pythonState(lx);
    const bool lineStart = py.measuring || py.afterMark;
    py.afterMark = false;
    if (c == '#') {
        if (lineStart && findDeclaration(lx)) {
            py.codingLine = 2;
            py.measuring = false;
            return true;
        }
        return false;
    }
    // A byte order mark, which this lexer gives as a name, is no code before
    // a declaration; a continuation or a token is.
    const char *w = lx.window;
    const std::size_t i = lx.pos;
    if (lx.base == 0 && i == 0 && std::memcmp(w, "\xEF\xBB\xBF", 3) == 0 && !isNameByte(w[3]))
        py.afterMark = true;
    else if (i < lx.end)
        py.codingLine = 2;
    return false;
}

// Skips the blanks from i on, measuring them when they start a logical line
// as the tokenizer does (a form feed starts the count again).
std::size_t measureBlanks(Lexer &lx, std::size_t i)
{
    PythonLexState &py = pythonState(lx);
    const char *w = lx.window;
    if (!py.measuring) {
        while (isBlank(w[i]))
            ++i;
        return i;
    }
    for (;; ++i) {
        if (w[i] == ' ') {
            ++py.column;
            ++py.altColumn;
        } else if (w[i] == '\t') {
            py.column = (py.column / kTabWidth + 1) * kTabWidth;
            ++py.altColumn;
        } else if (w[i] == '\f') {
            py.column = py.altColumn = 0;
        } else {
            return i;
        }
    }
}

// Fills piece with a LineEnd, Indent or Dedent at place.
bool giveBreak(Lexer &lx, TokenPiece &piece, TokenKind kind, TokenPlace place)
{
    const char *key = kind == TokenKind::LineEnd ? "\n" : kind == TokenKind::Indent ? "<indent>" : "<dedent>";
    setWholePiece(lx, piece, kind, key, place);
    pythonState(lx).lastBreak = true;
    return true;
}

// Hands out the next token owed before the one at place; false when none is.
bool giveOwed(Lexer &lx, TokenPiece &piece, TokenPlace place)
{
    PythonLexState &py = pythonState(lx);
    if (py.owedIndent) {
        py.owedIndent = false;
        return giveBreak(lx, piece, TokenKind::Indent, place);
    }
    if (py.owedBlockDedent) {
        py.owedBlockDedent = false;
        return giveBreak(lx, piece, TokenKind::Dedent, place);
    }
    if (py.owedDedents > 0) {
        --py.owedDedents;
        return giveBreak(lx, piece, TokenKind::Dedent, place);
    }
    if (py.owedLevel) {
        py.owedLevel = false;
        return giveBreak(lx, piece, TokenKind::Indent, {place.line, 1});
    }
    return false;
}

// Compares the indentation of the logical line that starts at pos with the
// open levels and owes the Indent or Dedents that follow. False when Python
// would reject it.
bool takeIndentation(Lexer &lx)
{
    PythonLexState &py = pythonState(lx);
    py.indentDone = true;
    bool match = py.matchNext;
    py.matchNext = false;
    std::size_t top = py.levels - 1;
    if (py.column > py.columns[top]) {
        if (py.altColumn <= py.altColumns[top] || py.levels == kPythonIndentDepth)
            return false;
        py.columns[py.levels] = py.column;
        py.altColumns[py.levels] = py.altColumn;
        py.matchBlock[py.levels] = match;
        ++py.levels;
        py.owedLevel = true;
        return true;
    }
    while (py.levels > 1 && py.column < py.columns[py.levels - 1]) {
        --py.levels;
        ++py.owedDedents;
    }
    return py.column == py.columns[py.levels - 1] && py.altColumn == py.altColumns[py.levels - 1];
}

// Ends the logical line whose LineEnd was just handed out.
void endLogicalLine(Lexer &lx)
{
    PythonLexState &py = pythonState(lx);
    lx.lineHasToken = false;
    py.semicolon = false;
    py.owedBlockDedent = py.blockOpen;
    py.blockOpen = false;
    py.afterHeader = false;
    py.matchNext = py.matchLine && py.lastColon;
    py.headerLine = py.headerDone = py.matchLine = false;
    py.lambdas = 0;
    py.indentDone = false;
    py.measuring = true;
    py.column = py.altColumn = 0;
    py.brackets = 0;
}

// The strict reading: from pos to the input's end, one token.
bool startRest(Lexer &lx, TokenPiece &piece)
{
    beginToken(lx, TokenKind::Code);
    lx.lineHasToken = true;
    pythonState(lx).lastBreak = false;
    lx.mode = LexMode::Raw;
    return restOfInput(lx, piece);
}

// True when the n bytes of the name at pos are word.
bool nameIs(const Lexer &lx, std::size_t n, const char *word)
{
    return n == std::strlen(word) && std::memcmp(lx.window + lx.pieceStart, word, n) == 0;
}

// Notes what the name that ends at pos means for the statement's shape.
void noteName(Lexer &lx)
{
    PythonLexState &py = pythonState(lx);
    std::size_t n = lx.pos - lx.pieceStart;
    if (!lx.firstPiece || n > 8)
        return;
    if (py.firstToken) {
        static const char *const kCompound[] = {"if", "elif", "else", "while", "for", "try", "except",
                                                "finally", "with", "def", "class", "async"};
        for (const char *word : kCompound)
            py.headerLine = py.headerLine || nameIs(lx, n, word);
        py.headerLine = py.headerLine || (nameIs(lx, n, "case") && py.matchBlock[py.levels - 1]);
        py.matchLine = nameIs(lx, n, "match");
    } else if (py.headerLine && !py.headerDone && py.brackets == 0 && nameIs(lx, n, "lambda")) {
        ++py.lambdas;
    }
}

// Opens a frame of the string scan; false when there is no room for it.
bool pushFrame(Lexer &lx, const Frame &frame)
{
    PythonLexState &py = pythonState(lx);
    if (py.frameCount == kPythonStringFrames)
        return false;
    py.frames[py.frameCount++] = frame;
    return true;
}

// A frame of kind inside owner, taking owner's quote.
Frame innerFrame(PythonFrame kind, const Frame &owner)
{
    Frame f = owner;
    f.kind = kind;
    f.brackets = 0;
    return f;
}

// The text frame of a string literal whose prefix is the n bytes at p and
// whose quote is at p + n.
Frame textFrame(const char *p, std::size_t n)
{
    Frame f;
    f.kind = PythonFrame::Text;
    f.quote = p[n];
    f.triple = p[n + 1] == p[n] && p[n + 2] == p[n];
    for (std::size_t k = 0; k < n; ++k) {
        char c = lower(p[k]);
        f.raw = f.raw || c == 'r';
        f.formatted = f.formatted || c == 'f' || c == 't';
    }
    return f;
}

// True when the current token has no more joined parts after the string
// that ends at pos; false when the window may show another.
bool noJoinAhead(const Lexer &lx)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    while (isBlank(w[i]) || (isLineEnd(w[i]) && pythonState(lx).brackets > 0))
        ++i;
    if (i >= lx.end)
        return lx.ended;
    char c = lower(w[i]);
    return !(isQuote(c) || c == '#' || c == '\\' || c == 'r' || c == 'u' || c == 'b' || c == 'f' || c == 't');
}

// True when the string part that closes at window offset close ends inside
// its last escape: fewer hex digits than \x, \u or \U takes, or a \N with no
// '}' after it (textUnit forgets the escape's kind at that '}').
bool unfinishedEscape(const Lexer &lx, std::size_t close)
{
    const PythonLexState &py = pythonState(lx);
    if (py.raw || py.escapeAt < 0)
        return false;
    const std::int64_t end = lx.base + static_cast<std::int64_t>(close);
    switch (py.escapeKind) {
    case 'x': return end < py.escapeAt + 4;
    case 'u': return end < py.escapeAt + 6;
    case 'U': return end < py.escapeAt + 10;
    case 'N': return true;
    default: return false;
    }
}

// After a string part that closes at window offset close, its quote ending
// before pos: the token ends, or the part goes out without its closing quote
// so that another may join it.
bool closeString(Lexer &lx, TokenPiece &piece, std::size_t close)
{
    pythonState(lx).lastOctal = !pythonState(lx).raw && (close == 0 || isOctal(lx.window[close - 1]));
    pythonState(lx).lastUnfinished = unfinishedEscape(lx, close);
    pythonState(lx).lastBrace = close == 0 || lx.window[close - 1] == '}';
    if (noJoinAhead(lx)) {
        finishToken(lx, piece);
        return true;
    }
    markEnd(lx, lx.pos);
    lx.mode = LexMode::Gap;
    bool some = close > lx.pieceStart || lx.firstPiece;
    if (some)
        setPiece(lx, piece, lx.pieceStart, close, false);
    lx.pieceStart = lx.pos;
    return some;
}

// Ends an unterminated string at pos. A joined part that ends before any
// byte of its own would leave an empty last piece: a blank stands for it (no
// closed string ends in one).
void endUnterminated(Lexer &lx, TokenPiece &piece)
{
    pythonState(lx).frameCount = 0;
    if (lx.pos > lx.pieceStart || lx.firstPiece) {
        finishToken(lx, piece);
        return;
    }
    markEnd(lx, lx.pos);
    lx.mode = LexMode::Between;
    textPiece(lx, piece, " ", 1, true);
}

// What one unit of a string scan did.
enum class Unit {
    Next,    // the scan goes on at i
    Filled,  // a piece went out; the scan goes on at pos
    Ended,   // the token is complete (piece filled)
    Gap,     // the string closed and another may join it; nothing went out
    Rest,    // too deep: the rest of the source is the token
};

// The line end at i inside a string: taken when the frame allows one, else
// the string is unterminated and ends before it.
Unit lineEndUnit(Lexer &lx, TokenPiece &piece, std::size_t &i, bool allowed)
{
    if (!allowed) {
        lx.pos = i;
        endUnterminated(lx, piece);
        return Unit::Ended;
    }
    return literalLineByte(lx, piece, i) ? Unit::Filled : Unit::Next;
}

// The escape whose backslash is at i, in a frame that is not raw or raw
// (where it only keeps the next byte from closing the string).
Unit escapeUnit(Lexer &lx, TokenPiece &piece, std::size_t &i, const Frame &f)
{
    const char *w = lx.window;
    if (!f.raw && f.formatted && f.kind != PythonFrame::Field && w[i + 1] == 'N' && w[i + 2] == '{') {
        i += 3;
        return pushFrame(lx, innerFrame(PythonFrame::EscapeName, f)) ? Unit::Next : Unit::Rest;
    }
    pythonState(lx).escapeAt = lx.base + static_cast<std::int64_t>(i);
    pythonState(lx).escapeKind = w[i + 1];
    ++i;
    if (w[i] == '\r' && w[i + 1] == '\n') {
        newLine(lx, i + 1);
        bool filled = dropReturn(lx, piece, i);
        lx.pos = i + 2;
        if (filled)
            return Unit::Filled;
        i = lx.pos;
        return Unit::Next;
    }
    if (i < lx.end) {
        if (w[i] == '\n')
            newLine(lx, i);
        ++i;
    }
    return Unit::Next;
}

// One unit of the text of a string or a field's format at i.
Unit textUnit(Lexer &lx, TokenPiece &piece, std::size_t &i, Frame &f, char c)
{
    PythonLexState &py = pythonState(lx);
    const char *w = lx.window;
    if (c == f.quote && f.kind == PythonFrame::Text && (!f.triple || (w[i + 1] == c && w[i + 2] == c))) {
        std::size_t close = i;
        i += f.triple ? 3 : 1;
        if (--py.frameCount > 0)
            return Unit::Next;
        lx.pos = i;
        return closeString(lx, piece, close) ? Unit::Filled : Unit::Gap;
    }
    if (c == '\\')
        return escapeUnit(lx, piece, i, f);
    if (isLineEnd(c))
        return lineEndUnit(lx, piece, i, f.triple);
    if (c == '{' && f.formatted) {
        if (f.kind == PythonFrame::Text && w[i + 1] == '{') {
            i += 2;
            return Unit::Next;
        }
        ++i;
        py.previousName = false;
        return pushFrame(lx, innerFrame(PythonFrame::Field, f)) ? Unit::Next : Unit::Rest;
    }
    if (c == '}' && py.escapeKind == 'N')
        py.escapeKind = 0;  // the \N{...} escape is complete
    if (c == '}' && f.kind == PythonFrame::Format) {
        --py.frameCount;
    } else if (c == '}' && f.formatted && w[i + 1] == '}') {
        ++i;
    }
    ++i;
    return Unit::Next;
}

// One unit of a replacement field at i.
Unit fieldUnit(Lexer &lx, TokenPiece &piece, std::size_t &i, Frame &f, char c)
{
    PythonLexState &py = pythonState(lx);
    const char *w = lx.window;
    bool name = isNameByte(c);
    if (isQuote(c) || (name && !py.previousName && !isDigit(c))) {
        int n = prefixBefore(w + i);
        if (n >= 0) {
            Frame text = textFrame(w + i, static_cast<std::size_t>(n));
            i += static_cast<std::size_t>(n) + (text.triple ? 3 : 1);
            py.previousName = false;
            return pushFrame(lx, text) ? Unit::Next : Unit::Rest;
        }
    }
    py.previousName = name;
    switch (c) {
    case '(': case '[': case '{': ++f.brackets; break;
    case ')': case ']': if (f.brackets > 0) --f.brackets; break;
    case '}':
        if (f.brackets == 0)
            --py.frameCount;
        else
            --f.brackets;
        break;
    case ':':
        if (f.brackets == 0)
            f.kind = PythonFrame::Format;
        break;
    case '#':
        ++i;
        return pushFrame(lx, innerFrame(PythonFrame::Comment, f)) ? Unit::Next : Unit::Rest;
    case '\\': return escapeUnit(lx, piece, i, f);
    case '\n': case '\r': return lineEndUnit(lx, piece, i, true);
    default: break;
    }
    ++i;
    return Unit::Next;
}

// One unit of a \N{...} escape or of a comment inside a field at i; each
// ends without taking a line end (and the escape at its string's quote).
Unit innerUnit(Lexer &lx, std::size_t &i, const Frame &f, char c)
{
    PythonLexState &py = pythonState(lx);
    if (isLineEnd(c) || (f.kind == PythonFrame::EscapeName && c == f.quote)) {
        --py.frameCount;
        return Unit::Next;
    }
    if (f.kind == PythonFrame::EscapeName && c == '}')
        --py.frameCount;
    ++i;
    return Unit::Next;
}

// Hands out the closing quote held back from joined strings; the token ends.
bool closeJoin(Lexer &lx, TokenPiece &piece)
{
    static const char *const kQuotes[] = {"\"", "'", "\"\"\"", "'''"};
    const char *quote = kQuotes[(lx.quote == '\'' ? 1 : 0) + (pythonState(lx).triple ? 2 : 0)];
    lx.mode = LexMode::Between;
    textPiece(lx, piece, quote, std::strlen(quote), true);
    return true;
}

// Bytes of the operator or delimiter at p by longest match.
std::size_t operatorLength(const char *p)
{
    char a = p[1];
    switch (p[0]) {
    case '*': case '/': case '<': case '>':
        if (a == p[0])
            return p[2] == '=' ? 3 : 2;
        return a == '=' ? 2 : 1;
    case '-': return a == '=' || a == '>' ? 2 : 1;
    case '+': case '%': case '&': case '|': case '^': case '@': case '=': case '!': case ':':
        return a == '=' ? 2 : 1;
    case '.': return a == '.' && p[2] == '.' ? 3 : 1;
    default: return 1;
    }
}

// Starts an operator, a delimiter or a byte of its own at pos; notes
// brackets and a header's ':'.
bool operatorStart(Lexer &lx, TokenPiece &piece)
{
    PythonLexState &py = pythonState(lx);
    const char *w = lx.window + lx.pos;
    std::size_t n = operatorLength(w);
    if (n == 1) {
        switch (w[0]) {
        case '(': case '[': case '{': ++py.brackets; break;
        case ')': case ']': case '}': if (py.brackets > 0) --py.brackets; break;
        case ':':
            if (py.brackets > 0)
                break;
            py.lastColon = true;
            if (py.headerLine && !py.headerDone) {
                if (py.lambdas > 0) {
                    --py.lambdas;
                } else {
                    py.headerDone = true;
                    py.afterHeader = true;
                }
            }
            break;
        default: break;
        }
    }
    lx.pos += n;
    finishToken(lx, piece);
    return true;
}

// The lexer's steps: between tokens, the breaks owed before a token, the
// logical line's end, an encoding declaration; the string literals that
// join; the strict reading (Raw) and a declaration as written (Line).
struct PythonSteps : KitSteps<PythonSteps> {
    // Skips layout: blanks, blank and comment lines, line ends inside brackets,
    // continuations, comments whose words are not tokens. Stops at a token, at
    // the line end that ends a logical line (DirectiveEnd), at a comment whose
    // words are tokens, or at the input's end; leaves kLexLookahead bytes
    // readable after pos, or all that remain.
    static Stop skipLayout(Lexer &lx)
    {
        PythonLexState &py = pythonState(lx);
        std::size_t i = lx.pos;
        for (;;) {
            i = measureBlanks(lx, i);
            if (refillShort(lx, i))
                continue;
            lx.pos = lx.pieceStart = i;
            const char c = lx.window[i];
            if (isLineEnd(c)) {
                if (py.brackets == 0 && lx.lineHasToken)
                    return Stop::DirectiveEnd;
                i = pastLineEnd(lx, i);
                if (py.brackets == 0 && !lx.lineHasToken) {
                    // A blank line: the next one measures its indentation afresh.
                    py.measuring = true;
                    py.column = py.altColumn = 0;
                }
                if (py.codingLine < 2)
                    ++py.codingLine;
                continue;
            }
            if (py.codingLine < 2 && codingStop(lx, c))
                return Stop::Comment;
            py.measuring = false;
            if (c == '#') {
                if (commentIsTokenOr(lx, i, skipComment))
                    return Stop::Comment;
                continue;
            }
            if (c == '\\' && isLineEnd(lx.window[i + 1])) {
                i = pastLineEnd(lx, i + 1);
                continue;
            }
            return tokenOrEnd(lx, i);
        }
    }

    static bool startToken(Lexer &lx, TokenPiece &piece)
    {
        PythonLexState &py = pythonState(lx);
        TokenPlace at = placeAt(lx, lx.pos);
        if (py.semicolon) {
            py.semicolon = false;
            return giveBreak(lx, piece, TokenKind::LineEnd, py.semicolonPlace);
        }
        if (py.afterHeader) {
            py.afterHeader = false;
            py.blockOpen = true;
            py.owedIndent = true;
            return giveBreak(lx, piece, TokenKind::LineEnd, at);
        }
        if (!lx.lineHasToken && !py.indentDone && !takeIndentation(lx))
            return startRest(lx, piece);
        if (giveOwed(lx, piece, at))
            return true;
        return tokenStart(lx, piece);
    }
    static bool openComment(Lexer &lx, TokenPiece &piece)
    {
        PythonLexState &py = pythonState(lx);
        if (py.declaration) {
            const bool filled = declarationStep(lx, piece);
            py.declaration = 0;
            return filled;
        }
        openLineComment(lx, 1);
        return false;
    }

    // Between two string literals: the next joins the token when it has the
    // same prefix and quote and stands past layout only; else the token ends with
    // the closing quote held back.
    static bool gap(Lexer &lx, TokenPiece &piece)
    {
        PythonLexState &py = pythonState(lx);
        lx.pieceStart = lx.pos;
        if (skipLayout(lx) == Stop::Token) {
            const char *w = lx.window + lx.pos;
            int n = prefixBefore(w);
            if (n == static_cast<int>(lx.prefixLength) && std::memcmp(w, lx.prefix, lx.prefixLength) == 0 &&
                w[n] == lx.quote) {
                Frame f = textFrame(w, lx.prefixLength);
                std::size_t open = lx.prefixLength + (f.triple ? 3 : 1);
                // An f-string's part ending in a lone '}' (which Python
                // rejects) would make a '}}' with one that starts with '}'.
                if (f.triple == py.triple && !py.lastUnfinished && !(py.lastOctal && !f.raw && isOctal(w[open])) &&
                    !(f.formatted && py.lastBrace && w[open] == '}')) {
                    py.frameCount = 0;
                    py.escapeAt = -1;
                    pushFrame(lx, f);
                    lx.pos += open;
                    lx.pieceStart = lx.pos;
                    lx.mode = LexMode::Quoted;
                    return false;
                }
            }
        }
        return closeJoin(lx, piece);
    }
    // The strict reading: the rest of the source.
    static bool raw(Lexer &lx, TokenPiece &piece)
    {
        return restOfInput(lx, piece);
    }

    // Starts the token at pos.
    static bool tokenStart(Lexer &lx, TokenPiece &piece)
    {
        PythonLexState &py = pythonState(lx);
        const char *w = lx.window + lx.pos;
        if (w[0] == ';' && py.brackets == 0 && !py.lastBreak) {
            // A LineEnd, or nothing before the logical line's end: known later.
            py.semicolon = true;
            py.semicolonPlace = placeAt(lx, lx.pos);
            py.headerLine = false;
            py.lastColon = false;
            ++lx.pos;
            markEnd(lx, lx.pos);
            lx.pieceStart = lx.pos;
            return false;
        }
        py.firstToken = !lx.lineHasToken;
        lx.lineHasToken = true;
        py.lastBreak = false;
        py.lastColon = false;
        beginToken(lx, TokenKind::Code);
        if (isDigit(w[0]) || (w[0] == '.' && isDigit(w[1])))
            return numberStart(lx, piece);
        int n = prefixBefore(w);
        if (n >= 0)
            return stringStart(lx, piece, static_cast<std::size_t>(n));
        if (isNameByte(w[0])) {
            lx.mode = LexMode::Name;
            return name(lx, piece);
        }
        return operatorStart(lx, piece);
    }

    // Goes on with a run of name bytes that ends the current token.
    static bool name(Lexer &lx, TokenPiece &piece)
    {
        std::size_t i = lx.pos;
        if (!runOver(lx, i, isNameByte))
            return pauseAt(lx, piece, lx.pos);
        lx.pos = i;
        noteName(lx);
        finishToken(lx, piece);
        return true;
    }

    // Starts a number at pos: takes its first unit, so that a byte stands before
    // the scan from then on.
    static bool numberStart(Lexer &lx, TokenPiece &piece)
    {
        const char *w = lx.window + lx.pos;
        char x = lower(w[1]);
        PythonNumber &state = pythonState(lx).number;
        if (w[0] == '0' && (x == 'x' || x == 'o' || x == 'b') && (isHex(w[2]) || (w[2] == '_' && isHex(w[3])))) {
            state = PythonNumber::Prefixed;
            lx.pos += 2;
        } else {
            state = w[0] == '.' ? PythonNumber::Fraction : PythonNumber::Integer;
            lx.pos += 1;
        }
        lx.mode = LexMode::Number;
        return number(lx, piece);
    }

    // Goes on with a number: digits with single '_' between them, a fraction,
    // an exponent, a 'j'; or the digits after 0x, 0o, 0b.
    static bool number(Lexer &lx, TokenPiece &piece)
    {
        PythonNumber &state = pythonState(lx).number;
        const char *w = lx.window;
        std::size_t i = lx.pos;
        for (;;) {
            if (!readable(lx, i, 3))
                return pauseAt(lx, piece, lx.pos);
            const char c = w[i];
            if (state == PythonNumber::Prefixed) {
                if (isHex(c) || (c == '_' && isHex(w[i + 1]))) {
                    i += c == '_' ? 2 : 1;
                    continue;
                }
                break;
            }
            if (isDigit(c)) {
                ++i;
            } else if (c == '_' && isDigit(w[i + 1]) && isDigit(w[i - 1])) {
                i += 2;
            } else if (c == '.' && state == PythonNumber::Integer) {
                state = PythonNumber::Fraction;
                ++i;
            } else if ((c == 'e' || c == 'E') && state != PythonNumber::Exponent &&
                       (isDigit(w[i + 1]) || ((w[i + 1] == '+' || w[i + 1] == '-') && isDigit(w[i + 2])))) {
                state = PythonNumber::Exponent;
                i += isDigit(w[i + 1]) ? 2 : 3;
            } else {
                if (c == 'j' || c == 'J')
                    ++i;
                break;
            }
        }
        lx.pos = i;
        finishToken(lx, piece);
        return true;
    }

    // Starts a string literal whose prefix is the n bytes at pos.
    static bool stringStart(Lexer &lx, TokenPiece &piece, std::size_t n)
    {
        PythonLexState &py = pythonState(lx);
        const char *w = lx.window + lx.pos;
        Frame f = textFrame(w, n);
        py.frameCount = 0;
        pushFrame(lx, f);
        py.escapeAt = -1;
        py.triple = f.triple;
        py.raw = f.raw;
        lx.quote = f.quote;
        lx.prefixLength = n;
        std::memcpy(lx.prefix, w, n);
        lx.pos += n + (f.triple ? 3 : 1);
        lx.mode = LexMode::Quoted;
        return quoted(lx, piece);
    }

    // Goes on with a string literal, one unit at a time; an unterminated one
    // ends at its line end (single quotes) or the input's end.
    static bool quoted(Lexer &lx, TokenPiece &piece)
    {
        PythonLexState &py = pythonState(lx);
        const char *w = lx.window;
        std::size_t i = lx.pos;
        for (;;) {
            Frame &f = py.frames[py.frameCount - 1];
            const bool text = f.kind == PythonFrame::Text || f.kind == PythonFrame::Format;
            if (!runOver(lx, i, [text](char c) { return text && !textStop(c); }, 6))
                return pauseAt(lx, piece, lx.pos);
            if (i >= lx.end) {
                lx.pos = i;
                endUnterminated(lx, piece);
                return true;
            }
            Unit u = Unit::Next;
            switch (f.kind) {
            case PythonFrame::Text: case PythonFrame::Format: u = textUnit(lx, piece, i, f, w[i]); break;
            case PythonFrame::Field: u = fieldUnit(lx, piece, i, f, w[i]); break;
            case PythonFrame::EscapeName: case PythonFrame::Comment: u = innerUnit(lx, i, f, w[i]); break;
            }
            switch (u) {
            case Unit::Next: break;
            case Unit::Filled: return true;
            case Unit::Ended: return true;
            case Unit::Gap: return false;
            case Unit::Rest:
                lx.pos = i;
                lx.mode = LexMode::Raw;
                return restOfInput(lx, piece);
            }
        }
    }

    // Hands out the LineEnd of the logical line that the line end at pos ends.
    static bool directiveEnd(Lexer &lx, TokenPiece &piece)
    {
        giveBreak(lx, piece, TokenKind::LineEnd, placeAt(lx, lx.pos));
        lx.pos = pastLineEnd(lx, lx.pos);
        markEnd(lx, lx.pos);
        endLogicalLine(lx);
        return true;
    }

    // At the input's end: the last logical line's LineEnd, the Dedents of the
    // open levels, then End.
    static bool inputEnd(Lexer &lx, TokenPiece &piece)
    {
        PythonLexState &py = pythonState(lx);
        if (lx.lineHasToken) {
            giveBreak(lx, piece, TokenKind::LineEnd, lx.endPlace);
            endLogicalLine(lx);
            return true;
        }
        if (!py.closed) {
            py.closed = true;
            py.owedDedents += py.levels - 1;
            py.levels = 1;
        }
        if (giveOwed(lx, piece, lx.endPlace))
            return true;
        finishStream(lx, piece);
        return true;
    }

    // Goes on with the words of a '#' comment, which ends at its line end.
    static bool comment(Lexer &lx, TokenPiece &piece)
    {
        const std::size_t i = commentBlanks(lx, [](char c) { return isBlank(c) || c == '\v'; });
        if (isLineEnd(lx.window[i]) || i >= lx.end)
            return unknownMode(lx);
        beginToken(lx, TokenKind::CommentWord);
        lx.mode = LexMode::Word;
        return wordStep(lx, piece);
    }
};

} // namespace

void pythonStart(Lexer &lx)
{
    PythonLexState &py = startLanguageState<PythonLexState>(lx);
    py.columns[0] = py.altColumns[0] = 0;
    py.matchBlock[0] = false;
    py.levels = 1;
    py.column = py.altColumn = 0;
    py.measuring = true;
    py.indentDone = py.closed = false;
    py.brackets = 0;
    py.lastBreak = true;
    py.firstToken = py.headerLine = py.headerDone = py.afterHeader = py.blockOpen = false;
    py.lambdas = 0;
    py.matchLine = py.lastColon = py.matchNext = py.semicolon = false;
    py.owedIndent = py.owedBlockDedent = py.owedLevel = false;
    py.owedDedents = 0;
    py.frameCount = 0;
    py.triple = py.raw = py.lastOctal = py.lastUnfinished = py.lastBrace = py.previousName = false;
    py.escapeAt = -1;
    py.escapeKind = 0;
    py.number = PythonNumber::Integer;
}

extern const LexerHooks kPythonLexer = {pythonStart, kitNext<PythonSteps>, nullptr, nullptr, false, anyHashBang};
