// The shell lexer (POSIX sh, bash, dash, ksh): words, operators,
// redirections, here-documents, $(...), backquotes, $((...)), ${...} and case
// patterns, read as the shell reads them.
//
// - A word is one token, its text as written (quotes kept), but where a
//   $(...), <(...), >(...) or $((...)) stands in it: that is a token of its
//   own ("$(", "<(", ">(", "$((") whose inside is read again as commands or
//   an arithmetic expression, closed by ")" or "))", and the word's text goes
//   on in a new token. A word that follows another with blanks between them
//   has its first token's key start with one blank, so that "a$(b)" is not
//   "a $(b)" and "a b" is not "ab".
// - Operators are tokens: ; & && | || |& ;; ;& ;;& ( ) and the
//   redirections. Digits right before '<' or '>' name a file descriptor and
//   make one token with the redirection ("2>"), so "2>f" is not "2 >f".
// - A line end is a ';' where the shell reads it as one: between two
//   commands of a list. It is layout after |, &&, ||, |&, &, ;, a '(' or
//   "$(", the reserved words if then else elif do while until and '{', a
//   function's "()", case's "in", a pattern's ')' and ";;", and before
//   another line end. A ';' or a line end before the ')' that closes a
//   subshell or "$(", before ";;", between "for NAME" and its "do", and at
//   the script's end is layout. Inside
//   an array's (...) a line end is a blank; inside an arithmetic expression
//   it is a ';' (it stays counted).
// - A backslash-newline outside quotes is taken out (the lines join); inside
//   single quotes, double quotes, ${...}, backquotes and here-document
//   bodies it compares as written.
// - A here-document's body is one token, its text exactly, after a line end
//   (the key starts with "\n"); <<- takes the leading tabs off each line.
// - "#" at a word's start opens a comment to the line's end: layout.
// - Blanks (space, tab) are layout between tokens; a blank inside quotes,
//   ${...}, backquotes, an extended glob's (...) or the right side of =~ in
//   [[ ]] is text.
// - Unreadable input (an unterminated quote, ${, $(, backquote or
//   here-document, a NUL byte, nesting past kShellNesting frames, a ')'
//   that closes no "((") gives a LineEnd token "unreadable", which no
//   readable script gives, and the rest of the source as written.
#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "languages/shell/state.h"
#include "tokens/kit.h"
#include "tokens/lexer.h"

namespace {

using S = ShellLexState;
using F = ShellFrame;
using K = ShellFrameKind;

enum ShellScan : unsigned char { kScanNone, kScanSingle, kScanAnsi, kScanBack, kScanGlob, kScanRegex };

constexpr std::size_t kRoom = kShellKeyBytes - 8;  // a step appends at most 8 bytes past this

// Byte classes: which bytes end a plain run in each reading.
enum : unsigned char {
    kCmdStop = 1,    // a word in commands: blanks, line end, operators, quotes, $, `, \, NUL
    kArithStop = 2,  // a word in arithmetic: the same with the arithmetic operators
    kQuoteStop = 4,  // text in "...": ", \, $, `, line end, NUL
    kBraceStop = 8,  // text in ${...}: }, ', ", \, $, `, line end, NUL
    kSingleStop = 16,  // text in '...': ', line end, NUL
    kBackStop = 32,    // text in `...`: `, \, line end, NUL
};

struct ClassTable {
    unsigned char of[256];
};

constexpr ClassTable shellClasses()
{
    ClassTable t{};
    for (int c = 0; c < 256; ++c) {
        const bool common = c == '\\' || c == '$' || c == '`' || c == '\n' || c == 0;
        const bool word = common || c == ' ' || c == '\t' || c == '\'' || c == '"';
        const bool cmdOp = c == ';' || c == '&' || c == '|' || c == '<' || c == '>' || c == '(' || c == ')';
        const bool arithOp = cmdOp || c == '+' || c == '-' || c == '*' || c == '/' || c == '%' || c == '=' ||
                             c == '!' || c == '~' || c == '^' || c == '?' || c == ':' || c == ',';
        t.of[c] = static_cast<unsigned char>((word || cmdOp ? kCmdStop : 0) | (word || arithOp ? kArithStop : 0) |
                                             (common || c == '"' ? kQuoteStop : 0) |
                                             (common || c == '}' || c == '\'' || c == '"' ? kBraceStop : 0) |
                                             (c == '\'' || c == '\n' || c == 0 ? kSingleStop : 0) |
                                             (c == '`' || c == '\\' || c == '\n' || c == 0 ? kBackStop : 0));
    }
    return t;
}
constexpr ClassTable kClasses = shellClasses();

inline unsigned char cls(char c)
{
    return kClasses.of[static_cast<unsigned char>(c)];
}

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

inline bool isCmdOp(char c)
{
    return c == ';' || c == '&' || c == '|' || c == '<' || c == '>' || c == '(' || c == ')';
}

bool isArithOp(char c)
{
    return isCmdOp(c) || std::strchr("+-*/%=!~^?:,", c) != nullptr;
}

F &top(S &s)
{
    return s.frames[s.depth - 1];
}

bool wordFrame(const F &f)
{
    return f.kind == K::Top || f.kind == K::Subst || f.kind == K::Array || f.kind == K::Arith;
}

bool atInputEnd(const Lexer &lx, std::size_t i)
{
    return i >= lx.end && lx.ended;
}

// Where a scan of plain bytes stops: the input's end, or four bytes short of
// the window's while more input may follow (the next step refills first).
std::size_t scanLimit(const Lexer &lx)
{
    return lx.ended ? lx.end : lx.end - 4;
}

// The logical byte k places after pos: backslash-newlines skipped. 0 at the
// input's end; a run of them past the lookahead makes the input unreadable.
char peek(Lexer &lx, std::size_t k)
{
    const char *w = lx.window;
    std::size_t j = lx.pos;
    const std::size_t limit = lx.pos + kLexLookahead - 4;
    for (std::size_t n = 0;; ++n) {
        while (w[j] == '\\' && w[j + 1] == '\n' && j < limit)
            j += 2;
        if (j >= limit && !lx.ended) {
            shellState(lx).bad = true;
            return 0;
        }
        if (j >= lx.end)
            return 0;
        if (n == k)
            return w[j];
        ++j;
    }
}

// Takes k logical bytes, counting line feeds.
void advance(Lexer &lx, std::size_t k)
{
    const char *w = lx.window;
    for (std::size_t n = 0; n < k; ++n) {
        while (w[lx.pos] == '\\' && w[lx.pos + 1] == '\n') {
            newLine(lx, lx.pos + 1);
            lx.pos += 2;
        }
        if (w[lx.pos] == '\n')
            newLine(lx, lx.pos);
        ++lx.pos;
    }
}

void openToken(Lexer &lx, S &s, bool blankMark)
{
    s.open = true;
    s.keyLength = 0;
    s.place = placeAt(lx, lx.pos);
    lx.firstPiece = true;
    if (blankMark)
        s.key[s.keyLength++] = ' ';
}

inline void put(S &s, char c)
{
    s.key[s.keyLength++] = c;
}

// Hands out the open token's key: all of it when last, else all but its last
// byte, which the next piece starts with.
bool givePiece(Lexer &lx, S &s, TokenPiece &piece, TokenKind kind, bool last)
{
    piece.kind = kind;
    piece.first = lx.firstPiece;
    piece.last = last;
    piece.place = s.place;
    piece.bytes = s.key;
    piece.length = last ? s.keyLength : s.keyLength - 1;
    lx.firstPiece = last;
    if (last) {
        s.open = false;
        markEnd(lx, lx.pos);
    } else {
        s.carry = true;
        s.wordSplit = true;
    }
    return true;
}

// A whole token of text at pos, taking n logical bytes.
bool giveWhole(Lexer &lx, S &s, TokenPiece &piece, const char *text, std::size_t n, bool blankMark = false)
{
    openToken(lx, s, blankMark);
    for (const char *p = text; *p; ++p)
        put(s, *p);
    advance(lx, n);
    return givePiece(lx, s, piece, TokenKind::Code, true);
}

// Gives the ';' a waiting separator owes, or the ";;" that ends a case's
// last item when itemEnd.
bool giveSeparator(Lexer &lx, S &s, F &f, TokenPiece &piece, bool itemEnd = false)
{
    f.pending = false;
    f.lastWord = false;
    openToken(lx, s, false);
    put(s, ';');
    if (itemEnd)
        put(s, ';');
    return givePiece(lx, s, piece, TokenKind::Code, true);
}

bool push(S &s, K kind)
{
    if (s.depth == kShellNesting) {
        s.bad = true;
        return false;
    }
    F &f = s.frames[s.depth++];
    f = F{};
    f.kind = kind;
    f.lineLayout = true;
    return true;
}

void notPlainWord(S &s)
{
    s.wordPlain = false;
    s.wordDigits = false;
    s.lastByte = 0;
}

// Closes the innermost frame; the word around it is no reserved word now.
void pop(S &s)
{
    --s.depth;
    s.wordSplit = true;
    notPlainWord(s);
}

void startWord(S &s, F &f)
{
    f.inWord = true;
    s.wordFirst = true;
    s.wordLength = 0;
    s.wordPlain = true;
    s.wordDigits = true;
    s.wordSplit = false;
    s.lastByte = 0;
}

void notPlain(S &s)
{
    s.wordPlain = false;
    s.wordDigits = false;
    s.lastByte = 0;
}

// Whether the word may be a reserved word (or one of the others told by
// their bytes: in, esac, ]], =~): plain, one token, no longer than any.
inline bool maybeReserved(const S &s)
{
    return s.wordPlain && !s.wordSplit && s.wordLength <= 6;
}

template <std::size_t N>
inline bool wordIs(const S &s, const char (&text)[N])
{
    static_assert(N - 1 <= 6, "the words told apart are six bytes at most");
    return maybeReserved(s) && s.wordLength == N - 1 && std::memcmp(s.word, text, N - 1) == 0;
}

// Whether the word opens a list after which a line end is layout.
inline bool opensList(const S &s)
{
    return wordIs(s, "if") || wordIs(s, "then") || wordIs(s, "else") || wordIs(s, "elif") || wordIs(s, "do") ||
           wordIs(s, "while") || wordIs(s, "until") || wordIs(s, "{");
}

// Queues the here-document whose delimiter is the word just read: its key
// with quotes and backslashes taken out.
void queueHeredoc(S &s, F &f)
{
    if (s.wordSplit || s.heredocCount == kShellHeredocs) {
        s.bad = true;
        return;
    }
    ShellHeredoc &h = s.heredocs[s.heredocCount++];
    h.strip = f.heredocNext == 2;
    h.quoted = false;
    h.length = 0;
    const char *k = s.key;
    std::size_t n = s.keyLength, i = k[0] == ' ' ? 1 : 0;
    char quote = 0;
    for (; i < n; ++i) {
        char c = k[i];
        if (quote == '\'') {
            if (c == '\'') {
                quote = 0;
                continue;
            }
        } else if (c == '\\' && i + 1 < n && (quote == 0 || std::strchr("$`\"\\\n", k[i + 1]))) {
            h.quoted = true;
            c = k[++i];
        } else if (c == '\'' && quote == 0) {
            h.quoted = true;
            quote = '\'';
            continue;
        } else if (c == '"') {
            h.quoted = true;
            quote = quote == '"' ? 0 : '"';
            continue;
        }
        if (h.length + 4 >= kShellDelimiter) {
            s.bad = true;
            return;
        }
        h.delimiter[h.length++] = c;
    }
}

// The word that just ended in f: reserved words, case, [[ ]], delimiters.
__attribute__((always_inline)) inline void endWord(S &s, F &f)
{
    const bool afterFor = f.forHead;
    f.inWord = false;
    f.opened = false;
    f.forHead = false;
    if (f.kind == K::Array || f.kind == K::Arith)
        return;
    if (f.heredocNext) {
        queueHeredoc(s, f);
        f.heredocNext = 0;
        f.lineLayout = false;
        return;
    }
    f.lineLayout = false;
    if (f.caseHead == 1) {
        f.caseHead = 2;
        return;
    }
    if (f.caseHead == 2) {
        f.caseHead = 0;
        if (wordIs(s, "in")) {
            ++f.caseDepth;
            f.pattern = true;
            f.patternStart = true;
            f.lineLayout = true;
            f.cmdStart = false;
        }
        return;
    }
    if (f.pattern) {
        if (f.patternStart && wordIs(s, "esac")) {
            --f.caseDepth;
            f.pattern = false;
            f.cmdStart = false;
        }
        f.patternStart = false;
        return;
    }
    if (f.cond) {
        if (wordIs(s, "]]"))
            f.cond = false;
        else if (wordIs(s, "=~"))
            f.regexNext = true;
        return;
    }
    f.forName = afterFor && s.wordPlain;
    if (f.forName) {
        f.cmdStart = true;  // do may follow
        return;
    }
    if (f.cmdStart && maybeReserved(s)) {
        if (opensList(s)) {
            f.lineLayout = true;
            return;
        }
        if (wordIs(s, "!") || wordIs(s, "time"))
            return;
        if (wordIs(s, "case")) {
            f.caseHead = 1;
        } else if (wordIs(s, "for") || wordIs(s, "select")) {
            f.forHead = true;
        } else if (wordIs(s, "esac") && f.caseDepth > 0) {
            --f.caseDepth;
        } else if (wordIs(s, "[[")) {
            f.cond = true;
        }
    }
    f.cmdStart = false;
}

// A stretch read as written: quotes, backquotes, an extended glob, a regex.
bool scanStep(Lexer &lx, S &s)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    const std::size_t limit = scanLimit(lx);
    while (i < limit && s.keyLength < kRoom) {
        const char c = w[i];
        if (c == 0) {
            s.bad = true;
            break;
        }
        if (s.scan == kScanRegex && s.scanDepth == 0 && s.scanQuote == 0 && (isBlank(c) || c == '\n')) {
            s.scan = kScanNone;
            break;
        }
        if (c == '\n')
            newLine(lx, i);
        if (s.scan == kScanSingle || (s.scanQuote == '\'' && s.scan != kScanBack)) {
            put(s, c);
            ++i;
            if (c == '\'') {
                if (s.scan == kScanSingle) {
                    s.scan = kScanNone;
                    break;
                }
                s.scanQuote = 0;
            }
            continue;
        }
        if (c == '\\' && i + 1 < lx.end) {
            put(s, c);
            put(s, w[i + 1]);
            if (w[i + 1] == '\n')
                newLine(lx, i + 1);
            i += 2;
            continue;
        }
        put(s, c);
        ++i;
        switch (s.scan) {
        case kScanAnsi:
            if (c == '\'')
                s.scan = kScanNone;
            break;
        case kScanBack:
            if (c == '`')
                s.scan = kScanNone;
            break;
        case kScanGlob: case kScanRegex:
            if (s.scanQuote == '"') {
                if (c == '"')
                    s.scanQuote = 0;
            } else if (c == '\'' || c == '"') {
                s.scanQuote = c;
            } else if (c == '(') {
                ++s.scanDepth;
            } else if (c == ')' && s.scanDepth > 0) {
                if (--s.scanDepth == 0 && s.scan == kScanGlob)
                    s.scan = kScanNone;
            }
            break;
        default: break;
        }
        if (s.scan == kScanNone)
            break;
    }
    lx.pos = i;
    if (s.scan == kScanRegex && atInputEnd(lx, i))
        s.scan = kScanNone;
    if (s.scan != kScanNone && atInputEnd(lx, i))
        s.bad = true;
    return false;
}

void startScan(Lexer &lx, S &s, ShellScan scan, std::size_t take)
{
    s.scan = scan;
    s.scanQuote = 0;
    s.scanDepth = 0;
    notPlain(s);
    for (std::size_t n = 0; n < take; ++n)
        put(s, lx.window[lx.pos + n]);
    lx.pos += take;
}

// The dollar or other special byte at pos inside a word, "..." or ${...}:
// opens what it starts. True when a piece went out.
bool specialUnit(Lexer &lx, S &s, F &f, TokenPiece &piece, bool blankMark)
{
    const char *w = lx.window;
    const char c = w[lx.pos];
    const bool words = wordFrame(f);
    if (c == '$') {
        const char n = peek(lx, 1);
        if (n == '(') {
            if (s.open)
                return givePiece(lx, s, piece, TokenKind::Code, true);
            s.wordSplit = true;
            notPlain(s);
            const bool arith = peek(lx, 2) == '(';
            if (!push(s, arith ? K::Arith : K::Subst))
                return false;
            return giveWhole(lx, s, piece, arith ? "$((" : "$(", arith ? 3 : 2, blankMark);
        }
        if (!s.open)
            openToken(lx, s, blankMark);
        if (n == '{') {
            notPlain(s);
            put(s, '$');
            put(s, '{');
            advance(lx, 2);
            const bool inDouble = f.kind == K::Quote || (f.kind == K::Brace && f.inDouble);
            if (push(s, K::Brace))
                top(s).inDouble = inDouble;
            return false;
        }
        if (n == '\'' && f.kind != K::Quote && !(f.kind == K::Brace && f.inDouble)) {
            advance(lx, 1);
            put(s, '$');
            startScan(lx, s, kScanAnsi, 1);
            return false;
        }
        if (n == '"' && words) {
            advance(lx, 1);
            put(s, '$');
            put(s, '"');
            notPlain(s);
            advance(lx, 1);
            push(s, K::Quote);
            return false;
        }
        put(s, '$');
        advance(lx, 1);
        if (words)
            s.lastByte = '$', s.wordPlain = false, s.wordDigits = false;
        return false;
    }
    if (!s.open)
        openToken(lx, s, blankMark);
    if (c == '`') {
        startScan(lx, s, kScanBack, 1);
        return false;
    }
    if (c == '\'') {
        startScan(lx, s, kScanSingle, 1);
        return false;
    }
    if (c == '"') {
        notPlain(s);
        put(s, '"');
        ++lx.pos;
        push(s, K::Quote);
        return false;
    }
    // A backslash and the byte it escapes.
    notPlain(s);
    put(s, '\\');
    ++lx.pos;
    if (!atInputEnd(lx, lx.pos)) {
        if (w[lx.pos] == '\n')
            newLine(lx, lx.pos);
        put(s, w[lx.pos++]);
    }
    return false;
}

// Text inside "..." or ${...}.
bool textStep(Lexer &lx, S &s, F &f, TokenPiece &piece)
{
    const char *w = lx.window;
    const char c = w[lx.pos];
    if (atInputEnd(lx, lx.pos)) {
        s.bad = true;
        return false;
    }
    const bool quote = f.kind == K::Quote;
    if ((quote && c == '"') || (!quote && c == '}')) {
        if (!s.open)
            openToken(lx, s, false);
        put(s, c);
        ++lx.pos;
        --s.depth;
        return false;
    }
    if (c == '$' || c == '`' || c == '\\' || (!quote && c == '"') || (!quote && !f.inDouble && c == '\''))
        return specialUnit(lx, s, f, piece, false);
    if (c == 0) {
        s.bad = true;
        return false;
    }
    if (!s.open)
        openToken(lx, s, false);
    const unsigned char stop = quote ? kQuoteStop : kBraceStop;
    std::size_t i = lx.pos;
    const std::size_t limit = scanLimit(lx);
    while (i < limit && s.keyLength < kRoom) {
        const char b = w[i];
        if (b == '\n') {
            newLine(lx, i);
        } else if (cls(b) & stop) {
            if (!(!quote && b == '\'' && f.inDouble))
                break;
        }
        put(s, b);
        ++i;
    }
    lx.pos = i;
    return false;
}

// Registers a word's bytes taken plainly.
inline void notePlain(S &s, char c)
{
    if (s.wordLength < kShellWord)
        s.word[s.wordLength] = c;
    ++s.wordLength;
    if (c < '0' || c > '9')
        s.wordDigits = false;
    s.lastByte = c;
}

// The operator at pos of a command frame; n its length.
std::size_t redirection(Lexer &lx, char c)
{
    const char n = peek(lx, 1), m = peek(lx, 2);
    if (c == '<') {
        if (n == '<')
            return m == '<' || m == '-' ? 3 : 2;
        return n == '&' || n == '>' ? 2 : 1;
    }
    return n == '>' || n == '&' || n == '|' ? 2 : 1;
}

// Whether the byte c after a word's bytes ends the word there.
bool wordEnds(char c)
{
    return c == 0 || isBlank(c) || c == '\n' || isCmdOp(c);
}

// An operator between words of Top or Subst.
bool operatorStep(Lexer &lx, S &s, F &f, TokenPiece &piece, char c)
{
    const char n = peek(lx, 1), m = peek(lx, 2);
    if (s.bad)
        return false;
    const bool wasOpened = f.opened;
    f.opened = false;
    const bool forHead = f.forHead;
    f.forHead = false;
    const bool forName = f.forName;
    f.forName = false;
    // What drops a waiting separator: the ')' that closes a subshell or
    // "$(", and ";;", ";&", ";;&".
    const bool blankMark = f.lastWord;
    const bool closes = (c == ')' && !f.pattern && (f.parens > 0 || f.kind == K::Subst)) || (c == ';' && n == ';') ||
                        (c == ';' && n == '&');
    if (f.pending) {
        if (!closes)
            return giveSeparator(lx, s, f, piece);
        f.pending = false;
    }
    f.lastWord = false;
    switch (c) {
    case ';':
        if (n == ';' || n == '&') {
            const bool amp = n == ';' && m == '&';
            f.pattern = f.caseDepth > 0;
            f.patternStart = f.pattern;
            f.lineLayout = true;
            f.cmdStart = false;
            return giveWhole(lx, s, piece, amp ? ";;&" : n == ';' ? ";;" : ";&", amp ? 3 : 2);
        }
        advance(lx, 1);
        f.pending = true;
        f.cmdStart = true;
        f.forName = forName;
        return false;
    case '&':
        f.cmdStart = true;
        f.lineLayout = true;
        if (n == '&')
            return giveWhole(lx, s, piece, "&&", 2);
        if (n == '>') {
            f.cmdStart = false;
            f.lineLayout = false;
            return m == '>' ? giveWhole(lx, s, piece, "&>>", 3) : giveWhole(lx, s, piece, "&>", 2);
        }
        return giveWhole(lx, s, piece, "&", 1);
    case '|':
        f.cmdStart = true;
        f.lineLayout = !f.pattern;
        f.patternStart = f.pattern;
        if (n == '|' || n == '&')
            return giveWhole(lx, s, piece, n == '|' ? "||" : "|&", 2);
        return giveWhole(lx, s, piece, "|", 1);
    case '(':
        if (f.pattern) {
            // The '(' a pattern list may start with means nothing.
            if (f.patternStart) {
                advance(lx, 1);
                f.patternStart = false;
                f.lastWord = blankMark;
                return false;
            }
            f.lineLayout = false;
            return giveWhole(lx, s, piece, "(", 1);
        }
        if (n == '(' && (f.cmdStart || forHead)) {
            f.cmdStart = false;
            f.lineLayout = false;
            if (!push(s, K::Arith))
                return false;
            return giveWhole(lx, s, piece, "((", 2);
        }
        ++f.parens;
        f.cmdStart = true;
        f.lineLayout = true;
        f.opened = true;
        return giveWhole(lx, s, piece, "(", 1);
    case ')':
        if (f.pattern) {
            f.pattern = false;
            f.cmdStart = true;
            f.lineLayout = true;
            return giveWhole(lx, s, piece, ")", 1);
        }
        if (f.parens > 0) {
            --f.parens;
            f.cmdStart = wasOpened;
            f.lineLayout = wasOpened;
            return giveWhole(lx, s, piece, ")", 1);
        }
        if (f.kind == K::Subst) {
            pop(s);
            return giveWhole(lx, s, piece, ")", 1);
        }
        f.cmdStart = false;
        f.lineLayout = false;
        return giveWhole(lx, s, piece, ")", 1);
    default: break;
    }
    // '<' or '>'.
    if (n == '(') {
        // Process substitution: a word of its own.
        startWord(s, f);
        s.wordSplit = true;
        notPlain(s);
        if (!push(s, K::Subst))
            return false;
        return giveWhole(lx, s, piece, c == '<' ? "<(" : ">(", 2, blankMark && !f.pending);
    }
    const std::size_t len = redirection(lx, c);
    char text[4] = {c, n, m, 0};
    text[len] = 0;
    if (c == '<' && n == '<' && m != '<')
        f.heredocNext = m == '-' ? 2 : 1;
    f.lineLayout = false;
    return giveWhole(lx, s, piece, text, len);
}

// Top, Subst, Array and Arith: words, operators, line ends.
bool wordsStep(Lexer &lx, S &s, TokenPiece &piece)
{
    F &f = top(s);
    const char *w = lx.window;
    char c = w[lx.pos];
    if (c == '\\' && w[lx.pos + 1] == '\n') {
        newLine(lx, lx.pos + 1);
        lx.pos += 2;
        return false;
    }
    const bool end = atInputEnd(lx, lx.pos);
    if (c == 0 && !end) {
        s.bad = true;
        return false;
    }
    const bool arith = f.kind == K::Arith;
    const bool opByte = arith ? isArithOp(c) : isCmdOp(c);
    const bool wordByte = !end && !isBlank(c) && c != '\n' && !opByte;
    if (wordByte) {
        if (!f.inWord) {
            if (c == '#' && !arith) {
                skipLineComment(lx);
                return false;
            }
            if (f.pending) {
                // The last item of a case needs no ";;": its ';' or line end before esac is one.
                const char e = peek(lx, 4);
                if (f.caseDepth > 0 && !f.pattern && c == 'e' && peek(lx, 1) == 's' && peek(lx, 2) == 'a' &&
                    peek(lx, 3) == 'c' && wordEnds(e))
                    return giveSeparator(lx, s, f, piece, true);
                // "for i do" is "for i; do": the name's separator is layout.
                if (f.forName && c == 'd' && peek(lx, 1) == 'o' && wordEnds(peek(lx, 2))) {
                    f.pending = false;
                    f.lastWord = true;
                } else {
                    return giveSeparator(lx, s, f, piece);
                }
            }
            f.forName = false;
            startWord(s, f);
            if (f.regexNext) {
                f.regexNext = false;
                openToken(lx, s, f.lastWord);
                s.wordFirst = false;
                startScan(lx, s, kScanRegex, 0);
                return false;
            }
        }
        const bool blankMark = s.wordFirst && f.lastWord;
        if (c == '$' || c == '`' || c == '\\' || c == '\'' || c == '"') {
            const bool gave = specialUnit(lx, s, f, piece, blankMark);
            if (s.open || gave)
                s.wordFirst = false;
            return gave;
        }
        if (!s.open)
            openToken(lx, s, blankMark);
        s.wordFirst = false;
        const unsigned char stop = arith ? kArithStop : kCmdStop;
        std::size_t i = lx.pos;
        const std::size_t limit = scanLimit(lx);
        while (i < limit && s.keyLength < kRoom && !(cls(w[i]) & stop)) {
            notePlain(s, w[i]);
            put(s, w[i]);
            ++i;
        }
        lx.pos = i;
        return false;
    }
    if (s.open) {
        // What ends the word's token: a descriptor's redirection, an
        // array's or an extended glob's '(' going on with it, or the end.
        const bool descriptor = s.wordLength > 0 && !s.wordSplit &&
                                (s.wordDigits || (s.wordPlain && s.word[0] == '{' && s.lastByte == '}'));
        if (!arith && (c == '<' || c == '>') && descriptor && peek(lx, 1) != '(') {
            const std::size_t len = redirection(lx, c);
            put(s, c);
            if (len > 1)
                put(s, peek(lx, 1));
            if (len > 2)
                put(s, peek(lx, 2));
            if (c == '<' && len >= 2 && peek(lx, 1) == '<' && peek(lx, 2) != '<')
                f.heredocNext = peek(lx, 2) == '-' ? 2 : 1;
            advance(lx, len);
            f.inWord = false;
            f.lastWord = false;
            f.lineLayout = false;
            return givePiece(lx, s, piece, TokenKind::Code, true);
        }
        if (!arith && c == '(' && s.lastByte == '=' && f.kind != K::Array) {
            put(s, '(');
            advance(lx, 1);
            s.wordSplit = true;
            push(s, K::Array);
            return givePiece(lx, s, piece, TokenKind::Code, true);
        }
        if (!arith && c == '(' && s.lastByte && std::strchr("@!+*?", s.lastByte)) {
            startScan(lx, s, kScanGlob, 0);
            return false;
        }
        return givePiece(lx, s, piece, TokenKind::Code, true);
    }
    if (f.inWord) {
        endWord(s, f);
        f.lastWord = isBlank(c) || c == '\n';
        return false;
    }
    if (isBlank(c)) {
        std::size_t i = lx.pos;
        while (isBlank(w[i]))
            ++i;
        lx.pos = i;
        return false;
    }
    if (end) {
        if (s.depth > 1 || s.heredocCount > 0)
            s.bad = true;
        return false;
    }
    if (c == '\n') {
        newLine(lx, lx.pos);
        ++lx.pos;
        if (s.heredocCount > 0) {
            s.inBody = true;
            s.bodyAt = 0;
            s.bodyLineStart = true;
            s.bodyContinued = false;
            s.bodyBackslashes = 0;
        }
        if (f.kind == K::Array)
            return false;
        if (arith) {
            f.lastWord = false;
            openToken(lx, s, false);
            put(s, ';');
            return givePiece(lx, s, piece, TokenKind::Code, true);
        }
        if (!f.pending && !f.lineLayout) {
            f.pending = true;
            f.cmdStart = true;
            if (f.pattern)
                f.patternStart = false;
        }
        return false;
    }
    if (f.kind == K::Array) {
        if (c == ')') {
            pop(s);
            return giveWhole(lx, s, piece, ")", 1);
        }
        f.lastWord = false;
        const char one[2] = {c, 0};
        return giveWhole(lx, s, piece, one, 1);
    }
    if (arith) {
        f.lastWord = false;
        const char n = peek(lx, 1), m = peek(lx, 2);
        if (c == '(') {
            ++f.parens;
            return giveWhole(lx, s, piece, "(", 1);
        }
        if (c == ')') {
            if (f.parens > 0) {
                --f.parens;
                return giveWhole(lx, s, piece, ")", 1);
            }
            if (n != ')') {
                s.bad = true;
                return false;
            }
            pop(s);
            return giveWhole(lx, s, piece, "))", 2);
        }
        static const char *const kThree[] = {"<<=", ">>=", nullptr};
        static const char *const kTwo[] = {"**", "++", "--", "<<", ">>", "<=", ">=", "==", "!=", "&&", "||", "+=",
                                           "-=", "*=", "/=", "%=", "&=", "^=", "|=", nullptr};
        for (const char *const *p = kThree; *p; ++p)
            if (c == (*p)[0] && n == (*p)[1] && m == (*p)[2])
                return giveWhole(lx, s, piece, *p, 3);
        for (const char *const *p = kTwo; *p; ++p)
            if (c == (*p)[0] && n == (*p)[1])
                return giveWhole(lx, s, piece, *p, 2);
        const char one[2] = {c, 0};
        return giveWhole(lx, s, piece, one, 1);
    }
    return operatorStep(lx, s, f, piece, c);
}

// Here-document bodies, one token each, after the line end that ends their
// line.
bool bodyStep(Lexer &lx, S &s, TokenPiece &piece)
{
    const char *w = lx.window;
    ShellHeredoc &h = s.heredocs[s.bodyAt];
    if (!s.open) {
        openToken(lx, s, false);
        put(s, '\n');
    }
    if (s.bodyLineStart) {
        if (h.strip && w[lx.pos] == '\t') {
            std::size_t i = lx.pos;
            while (w[i] == '\t')
                ++i;
            lx.pos = i;
            return false;
        }
        if (!s.bodyContinued && std::memcmp(w + lx.pos, h.delimiter, h.length) == 0 &&
            (w[lx.pos + h.length] == '\n' || atInputEnd(lx, lx.pos + h.length)) &&
            (lx.pos + h.length < lx.end || lx.ended)) {
            lx.pos += h.length;
            if (w[lx.pos] == '\n') {
                newLine(lx, lx.pos);
                ++lx.pos;
            }
            if (++s.bodyAt == s.heredocCount) {
                s.inBody = false;
                s.heredocCount = 0;
            }
            s.bodyLineStart = true;
            s.bodyContinued = false;
            givePiece(lx, s, piece, TokenKind::Code, true);
            // The body's key ends at its last line; its place stays where it starts.
            return true;
        }
        s.bodyLineStart = false;
    }
    if (atInputEnd(lx, lx.pos)) {
        s.bad = true;
        return false;
    }
    std::size_t i = lx.pos;
    const std::size_t limit = scanLimit(lx);
    while (i < limit && s.keyLength < kRoom) {
        const char c = w[i];
        put(s, c);
        ++i;
        if (c == '\n') {
            newLine(lx, i - 1);
            s.bodyLineStart = true;
            s.bodyContinued = !h.quoted && s.bodyBackslashes % 2 == 1;
            s.bodyBackslashes = 0;
            break;
        }
        s.bodyBackslashes = c == '\\' ? s.bodyBackslashes + 1 : 0;
    }
    lx.pos = i;
    return false;
}

// After unreadable input: the mark, then the rest as written.
bool restStep(Lexer &lx, S &s, TokenPiece &piece)
{
    if (!s.markGiven) {
        s.markGiven = true;
        s.rest = true;
        wholePiece(piece, TokenKind::LineEnd, "unreadable", 10, placeAt(lx, lx.pos < lx.end ? lx.pos : lx.end));
        lx.firstPiece = true;
        return true;
    }
    const char *w = lx.window;
    if (atInputEnd(lx, lx.pos)) {
        if (s.open)
            return givePiece(lx, s, piece, TokenKind::Code, true);
        finishStream(lx, piece);
        return true;
    }
    if (!s.open)
        openToken(lx, s, false);
    std::size_t i = lx.pos;
    const std::size_t limit = scanLimit(lx);
    while (i < limit && s.keyLength < kRoom) {
        if (w[i] == '\n')
            newLine(lx, i);
        put(s, w[i++]);
    }
    lx.pos = i;
    return false;
}

// One step: the shell lexer stays in LexMode::Between, its own state telling
// what it reads; true when piece is filled.
bool shellStep(Lexer &lx, TokenPiece &piece)
{
    S &s = shellState(lx);
    if (s.carry) {
        s.key[0] = s.key[s.keyLength - 1];
        s.keyLength = 1;
        s.carry = false;
    }
    refillAhead(lx, lx.pos);
    if (s.open && s.keyLength >= kRoom)
        return givePiece(lx, s, piece, s.rest ? TokenKind::Code : TokenKind::Code, false);
    if (s.bad && !s.rest) {
        // The token being built goes out as far as it was read.
        if (s.open)
            return givePiece(lx, s, piece, TokenKind::Code, true);
        return restStep(lx, s, piece);
    }
    if (s.rest)
        return restStep(lx, s, piece);
    if (s.scan != kScanNone)
        return scanStep(lx, s);
    if (s.inBody)
        return bodyStep(lx, s, piece);
    F &f = top(s);
    if (!wordFrame(f))
        return textStep(lx, s, f, piece);
    const bool gave = wordsStep(lx, s, piece);
    if (gave || s.bad || !atInputEnd(lx, lx.pos) || s.open || s.inBody || top(s).inWord || s.scan != kScanNone)
        return gave;
    if (s.depth > 1 || s.heredocCount > 0) {
        s.bad = true;
        return false;
    }
    finishStream(lx, piece);
    return true;
}

// --- Runs -------------------------------------------------------------------

// The key of a ';' that a line end or a ';' owes, padded: a reader may copy a
// block of bytes past a short key.
alignas(16) const char kSeparatorKey[kLexPadding] = ";";
alignas(16) const char kItemEndKey[kLexPadding] = ";;";

// What a run found of a word: where it ends and what the general steps would
// have noted of its bytes.
struct RunWord {
    std::size_t end = 0;         // window offset of the byte after it
    std::size_t plainBytes = 0;  // bytes taken plainly (outside quotes, escapes and '$')
    bool plain = true;           // no quote, escape or '$' in it
    char lastByte = 0;           // as notePlain and notPlain leave it
    bool subst = false;          // it goes on with a $(...) at end, outside quotes
};

// The end of a ${...} whose '$' is at i, when only plain text stands in it;
// 0 when a quote, an expansion, an escape or a line end does.
inline std::size_t runBraces(const char *w, std::size_t i)
{
    i += 2;
    while (!(cls(w[i]) & kBraceStop))
        ++i;
    return w[i] == '}' ? i + 1 : 0;
}

// The first byte from i on that the class stop holds, in a quoted stretch
// opened by q: 16 bytes at a time where the processor has SSE2 (a zero byte
// stops it, so it reads no further than the window's padding).
inline std::size_t skipQuoted(const char *w, std::size_t i, char q, unsigned char stop)
{
#if defined(__SSE2__)
    (void)stop;
    const __m128i quote = _mm_set1_epi8(q), lineFeed = _mm_set1_epi8('\n'), zero = _mm_setzero_si128();
    const __m128i backslash = _mm_set1_epi8('\\'), dollar = _mm_set1_epi8('$'), backquote = _mm_set1_epi8('`');
    for (;; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(w + i));
        __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, lineFeed)),
                                   _mm_cmpeq_epi8(v, zero));
        if (q != '\'')
            hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, backslash));
        if (q == '"')
            hit = _mm_or_si128(hit, _mm_or_si128(_mm_cmpeq_epi8(v, dollar), _mm_cmpeq_epi8(v, backquote)));
        if (const int mask = _mm_movemask_epi8(hit))
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
#else
    (void)q;
    while (!(cls(w[i]) & stop))
        ++i;
    return i;
#endif
}

// The end of a quoted stretch from i, the byte after its opening quote q
// ('\'', '"' or '`'), counting its line feeds into line and lineStart; 0
// when it holds what the general steps read (an expansion, a zero byte, the
// window's end).
inline std::size_t runQuoted(const char *w, std::size_t i, char q, std::int64_t &line, std::int64_t &lineStart)
{
    const unsigned char stop = q == '\'' ? kSingleStop : q == '"' ? kQuoteStop : kBackStop;
    for (;;) {
        i = skipQuoted(w, i, q, stop);
        const char c = w[i];
        if (c == q)
            return i + 1;
        if (c == 0)
            return 0;
        if (c == '\n') {
            ++line;
            lineStart = static_cast<std::int64_t>(i) + 1;
        } else if (q != '\'') {
            if (c == '\\') {
                const char e = w[i + 1];
                if (e == 0)
                    return 0;
                if (e == '\n') {
                    ++line;
                    lineStart = static_cast<std::int64_t>(i) + 2;
                }
                i += 2;
                continue;
            }
            if (q == '"') {
                // A '$' before '(' or '{' opens a frame; before a
                // continuation it may.
                if (c == '$' && w[i + 1] == '{') {
                    i = runBraces(w, i);
                    if (i == 0)
                        return 0;
                    continue;
                }
                if (c == '$' && (w[i + 1] == '(' || w[i + 1] == '\\' || w[i + 1] == 0))
                    return 0;
                if (c == '`') {
                    i = runQuoted(w, i + 1, '`', line, lineStart);
                    if (i == 0)
                        return 0;
                    continue;
                }
            }
        }
        ++i;
    }
}

// The word whose first byte is at i, in a frame of commands: plain bytes,
// quoted stretches, escapes and '$' that open nothing. False when it holds
// what the general steps read.
inline bool runWord(const char *w, std::size_t i, RunWord &word, std::int64_t &line, std::int64_t &lineStart)
{
    for (;;) {
        const std::size_t from = i;
        while (!(cls(w[i]) & kCmdStop))
            ++i;
        if (i > from) {
            word.plainBytes += i - from;
            word.lastByte = w[i - 1];
        }
        const char c = w[i];
        if (c == '\'' || c == '"' || c == '`') {
            i = runQuoted(w, i + 1, c, line, lineStart);
            if (i == 0)
                return false;
            word.plain = false;
            word.lastByte = 0;
        } else if (c == '\\') {
            // A continuation joins the word's lines: its key is no stretch
            // of the window.
            if (w[i + 1] == '\n' || w[i + 1] == 0)
                return false;
            i += 2;
            word.plain = false;
            word.lastByte = 0;
        } else if (c == '$') {
            const char n = w[i + 1];
            if (n == '(' && w[i + 2] != '(' && w[i + 2] != '\\') {
                word.end = i;
                word.subst = true;
                return true;
            }
            if (n == '(' || n == '\'' || n == '"' || n == '\\' || n == 0)
                return false;
            word.plain = false;
            if (n == '{') {
                i = runBraces(w, i);
                if (i == 0)
                    return false;
                word.lastByte = 0;
            } else {
                ++i;
                word.lastByte = '$';
            }
        } else {
            word.end = i;
            return true;
        }
    }
}

// The window offset where the delimiter's line of the here-document h
// whose body starts at i begins, as bodyStep finds it: a line that is the
// delimiter and a line end, not after a line that an unquoted
// here-document continues (an odd run of backslashes before its line end).
// 0 when the body strips tabs, holds a zero byte, or reaches end first.
inline std::size_t runBody(const char *w, std::size_t i, const ShellHeredoc &h, std::size_t end)
{
    if (h.strip)
        return 0;
    for (bool continued = false;;) {
        if (!continued && i + h.length < end && std::memcmp(w + i, h.delimiter, h.length) == 0 &&
            w[i + h.length] == '\n')
            return i;
        const void *lf = std::memchr(w + i, '\n', end - i);
        if (!lf)
            return 0;
        const std::size_t e = static_cast<std::size_t>(static_cast<const char *>(lf) - w);
        if (std::memchr(w + i, 0, e - i))
            return 0;
        std::size_t backslashes = 0;
        while (backslashes < e - i && w[e - 1 - backslashes] == '\\')
            ++backslashes;
        continued = !h.quoted && backslashes % 2 == 1;
        i = e + 1;
    }
}

// Whole tokens from pos on, the same the steps above give one by one, in a
// frame of commands: words (quoted stretches, escapes and plain ${...} in
// them included), redirections (a descriptor's too), the operators, the ';'
// that line ends and ';' owe, and $(...) whose word ends with it, over
// blanks, line ends, comments and continuations. It stops before anything
// else (an expansion that opens another frame, a here-document, [[ ]]'s
// regex, arithmetic, an array, an extended glob, a word that goes on after
// its $(...)), where frames nest nearly as deep as they may go, and short of
// the window's end. A word set apart by a tab or a line end has its key (a
// blank, then its bytes) built in the state's run keys.
std::size_t shellRun(Lexer &lx, QuickToken *out, std::size_t max, std::size_t keyBytes)
{
    S &s = shellState(lx);
    if (s.open || s.carry || s.bad || s.rest || s.scan != kScanNone || s.inBody ||
        lx.spliceAt != kNoSplice || (!lx.ended && lx.end - lx.pos < kLexLookahead))
        return 0;
    F *f = &top(s);
    // A word's quotes and ${...} open frames: two at most.
    if ((f->kind != K::Top && f->kind != K::Subst) || s.depth + 2 > kShellNesting)
        return 0;
    const char *w = lx.window;
    const std::size_t stop = lx.ended ? lx.end : lx.end - kLexLookahead;
    std::size_t i = lx.pos, n = 0, keys = 0;
    std::int64_t line = lx.line, lineStart = lx.lineStart - lx.base;
    std::size_t endAt = 0;  // where the last token ends; 0: no token yet
    std::size_t built = 0;  // bytes of s.runKeys in use
    std::int64_t endLine = 0, endLineStart = 0;
    auto emit = [&](const char *key, std::size_t length, std::size_t at, std::size_t after)
                    __attribute__((always_inline)) {
        out[n].bytes = key;
        out[n].length = static_cast<std::uint32_t>(length);
        out[n].kind = TokenKind::Code;
        out[n].place = TokenPlace{line, static_cast<std::int64_t>(at) - lineStart + 1};
        ++n;
        keys += length;
        endAt = after;
        endLine = line;
        endLineStart = lineStart;
    };
    // The key of length bytes whose last length - mark stand at from, after a
    // blank's mark when mark is 1: in the window when a space stands before
    // them, else built; nullptr when the built keys are full.
    auto keyOf = [&](std::size_t from, std::size_t length, bool mark) -> const char * {
        if (!mark || (from > 0 && w[from - 1] == ' '))
            return w + from - mark;
        if (built + length + kLexLookahead > kShellRunKeys)
            return nullptr;
        char *key = s.runKeys + built;
        key[0] = ' ';
        std::memcpy(key + 1, w + from, length - 1);
        built += length;
        return key;
    };
    // The state the steps leave at the start of word's token.
    auto beginWord = [&](const RunWord &word, bool digits) __attribute__((always_inline)) {
        f->forName = false;
        startWord(s, *f);
        s.wordFirst = false;
        s.wordPlain = word.plain;
        s.wordDigits = digits;
        s.wordLength = word.plainBytes;
        s.lastByte = word.lastByte;
    };
    // A word whose token went out before the run: the step after it ends it.
    if (f->inWord) {
        const char c = w[i];
        if (!(isBlank(c) || c == '\n' || isCmdOp(c)))
            return 0;
        endWord(s, *f);
        f->lastWord = isBlank(c) || c == '\n';
        if (s.bad)
            return 0;  // a here-document's delimiter the general steps refuse
    }
    while (i < stop && n < max) {
        const char c = w[i];
        if (isBlank(c)) {
            ++i;
            continue;
        }
        if (c == '\n') {
            // The bodies of the here-documents this line end starts: each
            // from the line end before it to its delimiter's line, found
            // before anything changes.
            std::size_t bodyEnds[kShellHeredocs], after = i + 1;
            if (s.heredocCount > 0) {
                if (n + s.heredocCount > max)
                    break;
                std::size_t bodyKeys = 0, k = 0;
                for (; k < s.heredocCount; ++k) {
                    const std::size_t end = runBody(w, after, s.heredocs[k], lx.end);
                    if (end == 0)
                        break;
                    bodyEnds[k] = end;
                    bodyKeys += end - after + 1;
                    after = end + s.heredocs[k].length + 1;
                }
                if (k < s.heredocCount || keys + bodyKeys > keyBytes)
                    break;
            }
            ++line;
            lineStart = static_cast<std::int64_t>(i) + 1;
            ++i;
            if (!f->pending && !f->lineLayout) {
                f->pending = true;
                f->cmdStart = true;
                if (f->pattern)
                    f->patternStart = false;
            }
            if (s.heredocCount > 0) {
                for (std::size_t k = 0; k < s.heredocCount; ++k) {
                    emit(w + i - 1, bodyEnds[k] - i + 1, i, 0);
                    // Its lines, and its delimiter's.
                    for (std::size_t j = i; j <= bodyEnds[k] + s.heredocs[k].length; ++j)
                        if (w[j] == '\n') {
                            ++line;
                            lineStart = static_cast<std::int64_t>(j) + 1;
                        }
                    i = bodyEnds[k] + s.heredocs[k].length + 1;
                    endAt = i;
                    endLine = line;
                    endLineStart = lineStart;
                }
                s.bodyAt = s.heredocCount;
                s.heredocCount = 0;
                s.bodyLineStart = true;
                s.bodyContinued = false;
                s.bodyBackslashes = 0;
            }
            continue;
        }
        if (c == '\\' && w[i + 1] == '\n') {
            ++line;
            lineStart = static_cast<std::int64_t>(i) + 2;
            i += 2;
            continue;
        }
        if (c == 0)
            break;
        if (isCmdOp(c)) {
            const char n1 = w[i + 1], n2 = w[i + 2];
            if (n1 == '\\' || n2 == '\\')
                break;
            // The operator's token, or none for a lone ';'; nothing changes
            // before it is sure the general steps would give it.
            std::size_t len = 1;
            switch (c) {
            case ';':
                if (n1 == '&' || (n1 == ';' && n2 == '&'))
                    len = 0;
                else if (n1 == ';')
                    len = 2;
                break;
            case '&':
                len = n1 == '>' ? 0 : n1 == '&' ? 2 : 1;
                break;
            case '|':
                len = n1 == '|' || n1 == '&' ? 2 : 1;
                break;
            case '(':
                if (f->pattern || (n1 == '(' && (f->cmdStart || f->forHead)))
                    len = 0;
                break;
            case ')':
                // The end of a $(...): the word around it must end with it,
                // in a frame of commands, for the run to go on.
                if (!f->pattern && f->parens == 0 && f->kind == K::Subst) {
                    const F &outer = s.frames[s.depth - 2];
                    if ((outer.kind != K::Top && outer.kind != K::Subst) || !outer.inWord || outer.heredocNext ||
                        !(isBlank(n1) || n1 == '\n' || isCmdOp(n1)))
                        len = 0;
                }
                break;
            default:  // '<' or '>'
                if (n1 == '(' || (c == '<' && n1 == '<'))
                    len = 0;
                else if (c == '<')
                    len = n1 == '&' || n1 == '>' ? 2 : 1;
                else
                    len = n1 == '>' || n1 == '&' || n1 == '|' ? 2 : 1;
                break;
            }
            if (len == 0)
                break;
            const bool lone = c == ';' && len == 1;
            const bool closes = (c == ')' && !f->pattern && (f->parens > 0 || f->kind == K::Subst)) ||
                                (c == ';' && n1 == ';');
            const bool owed = f->pending && !closes;  // the owed ';' goes first; the operator is read again after it
            if (keys + (owed ? 1 : lone ? 0 : len) > keyBytes)
                break;
            const bool wasOpened = f->opened;
            f->opened = false;
            f->forHead = false;
            const bool forName = f->forName;
            f->forName = false;
            f->pending = false;
            f->lastWord = false;
            if (owed) {
                emit(kSeparatorKey, 1, i, i);
                continue;
            }
            switch (c) {
            case ';':
                if (lone) {
                    ++i;
                    f->pending = true;
                    f->cmdStart = true;
                    f->forName = forName;
                    continue;
                }
                f->pattern = f->caseDepth > 0;
                f->patternStart = f->pattern;
                f->lineLayout = true;
                f->cmdStart = false;
                break;
            case '&':
                f->cmdStart = true;
                f->lineLayout = true;
                break;
            case '|':
                f->cmdStart = true;
                f->lineLayout = !f->pattern;
                f->patternStart = f->pattern;
                break;
            case '(':
                ++f->parens;
                f->cmdStart = true;
                f->lineLayout = true;
                f->opened = true;
                break;
            case ')':
                if (f->pattern) {
                    f->pattern = false;
                    f->cmdStart = true;
                    f->lineLayout = true;
                } else if (f->parens == 0 && f->kind == K::Subst) {
                    pop(s);
                    emit(w + i, 1, i, i + 1);
                    ++i;
                    f = &top(s);
                    endWord(s, *f);
                    f->lastWord = isBlank(n1) || n1 == '\n';
                    continue;
                } else if (f->parens > 0) {
                    --f->parens;
                    f->cmdStart = wasOpened;
                    f->lineLayout = wasOpened;
                } else {
                    f->cmdStart = false;
                    f->lineLayout = false;
                }
                break;
            default:
                f->lineLayout = false;
                break;
            }
            emit(w + i, len, i, i + len);
            i += len;
            continue;
        }
        // A word's first byte.
        if (c == '#') {
            // As the general steps read it: to the line end, when it comes
            // short of the window's last four bytes.
            const std::size_t limit = scanLimit(lx);
            const void *lf = std::memchr(w + i, '\n', limit - i);
            if (!lf)
                break;
            i = static_cast<std::size_t>(static_cast<const char *>(lf) - w);
            continue;
        }
        if (f->heredocNext || f->regexNext)
            break;
        if (f->pending) {
            // What the separator is: ";;" before the esac of a case whose
            // last item has none, nothing before the do after for's name
            // (peeked at as the general steps do: no continuation between).
            const bool esac = f->caseDepth > 0 && !f->pattern && c == 'e';
            const bool doWord = f->forName && c == 'd';
            if ((esac || doWord) && (w[i + 1] == '\\' || w[i + 2] == '\\' || w[i + 3] == '\\' || w[i + 4] == '\\'))
                break;
            const bool itemEnd = esac && w[i + 1] == 's' && w[i + 2] == 'a' && w[i + 3] == 'c' && wordEnds(w[i + 4]);
            if (itemEnd || !(doWord && w[i + 1] == 'o' && wordEnds(w[i + 2]))) {
                if (keys + 1 + itemEnd > keyBytes)
                    break;
                f->pending = false;
                f->lastWord = false;
                emit(itemEnd ? kItemEndKey : kSeparatorKey, 1 + itemEnd, i, i);
                continue;
            }
            f->pending = false;
            f->lastWord = true;
        }
        // The word, read without a change to the state; its line feeds (in
        // quotes) are counted on copies.
        RunWord word;
        std::int64_t wordLine = line, wordLineStart = lineStart;
        if (!runWord(w, i, word, wordLine, wordLineStart))
            break;
        const bool blankMark = f->lastWord;
        if (word.subst) {
            // The word's bytes before its $(...) are a token (with the
            // blank's mark), when there are any; then "$(" (with the mark
            // when there are none), whose frame the run goes on in.
            const std::size_t prefix = word.end - i;
            const std::size_t length = prefix ? prefix + blankMark : 0, open = prefix ? 2 : 2 + blankMark;
            if (n + 2 > max || keys + length + open > keyBytes || (word.plain && length >= kRoom) ||
                length > UINT32_MAX || s.depth + 3 > kShellNesting)
                break;
            const char *key = prefix ? keyOf(i, length, blankMark) : nullptr;
            const char *openKey = keyOf(word.end, open, !prefix && blankMark);
            if ((prefix && !key) || !openKey)
                break;
            beginWord(word, false);
            if (prefix)
                emit(key, length, i, word.end);
            line = wordLine;
            lineStart = wordLineStart;
            emit(openKey, open, word.end, word.end + 2);
            s.wordSplit = true;
            notPlain(s);
            push(s, K::Subst);
            f = &top(s);
            i = word.end + 2;
            continue;
        }
        const char after = w[word.end];
        if (!(isBlank(after) || after == '\n' || isCmdOp(after)) || word.end >= lx.end)
            break;
        const bool digits = word.plain && std::all_of(w + i, w + word.end, [](char b) { return b >= '0' && b <= '9'; });
        // A descriptor's redirection: one token with the word.
        std::size_t redirect = 0;
        if ((after == '<' || after == '>') && (digits || (word.plain && c == '{' && word.lastByte == '}'))) {
            const char n1 = w[word.end + 1], n2 = w[word.end + 2];
            if (n1 == '\\' || n2 == '\\' || n1 == '(' || (after == '<' && n1 == '<'))
                break;
            redirect = after == '<' ? (n1 == '&' || n1 == '>' ? 2 : 1) : (n1 == '>' || n1 == '&' || n1 == '|' ? 2 : 1);
        }
        if (after == '(' && word.lastByte && std::strchr("=@!+*?", word.lastByte))
            break;  // an array or an extended glob
        const std::size_t tokenEnd = word.end + redirect;
        const std::size_t length = tokenEnd - i + blankMark;
        if ((word.plain && length >= kRoom) || keys + length > keyBytes || length > UINT32_MAX)
            break;
        const char *key = keyOf(i, length, blankMark);
        if (!key)
            break;
        beginWord(word, digits);
        if (word.plain)
            std::memcpy(s.word, w + i, std::min(word.plainBytes, kShellWord));
        emit(key, length, i, tokenEnd);
        line = endLine = wordLine;
        lineStart = endLineStart = wordLineStart;
        i = tokenEnd;
        if (redirect) {
            // The word ends with its token, and is no command's word.
            f->inWord = false;
            f->lastWord = false;
            f->lineLayout = false;
            continue;
        }
        endWord(s, *f);
        f->lastWord = isBlank(after) || after == '\n';
    }
    if (n > 0) {
        lx.endOffset = lx.base + static_cast<std::int64_t>(endAt);
        lx.endPlace = TokenPlace{endLine, static_cast<std::int64_t>(endAt) - endLineStart + 1};
    }
    lx.line = line;
    lx.lineStart = lineStart + lx.base;
    lx.pos = lx.pieceStart = i;
    return n;
}

struct ShellSteps : KitSteps<ShellSteps> {
    static bool between(Lexer &lx, TokenPiece &piece) { return shellStep(lx, piece); }
};

} // namespace

extern const LexerHooks kShellLexer = {kitStart<S>, kitNext<ShellSteps>, shellRun, nullptr, false, anyHashBang};
