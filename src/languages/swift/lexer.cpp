// The Swift lexer: tokens as the Swift compiler's lexer reads them; blanks,
// comments (nested block comments and doc comments too) and a byte order
// mark between them dropped; a shebang line is one token.
//
// Line ends: Swift ends a statement at a line end where one can end, so a
// line end (any run of them, comments between included) is a LineEnd token,
// except where no statement can end:
// - inside ( ) and [ ], unless a ( [ or { starts the next line (Swift reads
//   no call, subscript or trailing closure across a line end);
// - after , ( [ { : ; and a member '.', after = and ->, after an operator
//   with a blank (or a line end, a comment, an opening bracket) on its left,
//   which with the line end on its right is a binary one;
// - before a '}', and before a line that starts with a member ".name";
// but the line end of a #if, #elseif, #else or #endif line, and the one
// before such a line, are always tokens.
//
// Operators: Swift tells a binary, prefix or postfix operator by the blanks
// around it, so an operator (a run of operator bytes, and a '.' alone) is
// one token whose key is its bytes and a mark of the two sides: whether its
// left is bound (no blank, comment, line end or ( [ { , ; : before it) and
// whether its right is (no blank, comment, line end or ) ] } , ; : after it;
// a '.' after it binds it on the right only when its left is free), as the
// compiler's lexer decides; a '.' alone tells a line end on its left from a
// blank where an expression may end before it ("a\n.b" is not "a .b", but
// "= .b" is "=\n.b"). So "a + b" equals "a  +  b" but neither "a+b" nor "a +b".
//
// Literals are tokens as written, with two exceptions: the indentation that a
// multi-line string's closing delimiter strips from each of its lines is
// layout (its lines are the key, each less that indentation; a CR LF is a
// line feed), and so a literal re-indented with its closing delimiter equals
// the one before. Interpolations stay inside their string, as written.
//
// Refused: an unterminated string, block comment or regular expression, a
// multi-line string whose content starts on the opening line or whose
// closing delimiter does not start its line, a line indented less than the
// closing delimiter (one all blank too), or a lone CR inside one; brackets
// nested deeper than kSwiftNesting, more than kSwiftHashes '#' around a
// literal, a literal too long for the window (64 KiB), and interpolations
// that hold a line end, a comment, a multi-line string or what may open a
// regular expression.
//
// A '/' that may open a bare regular expression (free on its left, not on its
// right) does so when another '/' closes it on its line; the expression is
// then a token as written; when that second '/' closes after a '=' right after
// the first, the reading is unclear and refused.
#include <cstring>

#include "languages/swift/state.h"
#include "tokens/kit.h"
#include "tokens/lexer.h"

namespace {

constexpr const char *kSwift = "Swift";
// The key of a line end that stands only inside a block comment ("a /*
// line end */ b"): unlike a plain one, and unlike a blank, as a reading of it
// either way would be.
constexpr const char *kCommentLineEnd = "\n/**/";
constexpr std::size_t kFrames = 16;  // strings and interpolations nested inside one literal

inline bool isNameByte(char c)
{
    return (byteClass(c) & kNameC) != 0;
}

inline bool isDigit(char c)
{
    return (byteClass(c) & kDigit) != 0;
}

inline bool isNameStart(char c)
{
    return isNameByte(c) && !isDigit(c);
}

inline bool isHex(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

inline bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// A byte of an operator that does not start with '.'.
inline bool isOperatorByte(char c)
{
    switch (c) {
    case '/': case '=': case '-': case '+': case '!': case '*': case '%':
    case '<': case '>': case '&': case '|': case '^': case '~': case '?':
        return true;
    default:
        return false;
    }
}

// A byte before an operator that leaves its left free, as a blank does.
inline bool freesRight(char c)
{
    return c == '(' || c == '[' || c == '{' || c == ',' || c == ';' || c == ':';
}

// The side marks of an operator's key: left bound, right bound.
constexpr char kMarks[4] = {'\x01', '\x02', '\x03', '\x04'};
// A '.' alone: a line end, a blank, nothing or a line end inside a block
// comment only on its left, times right bound.
constexpr char kDotMarks[8] = {'\x05', '\x06', '\x07', '\x08', '\x09', '\x0b', '\x0e', '\x0f'};

// Ends the stream where the source stops being valid Swift, at window
// offset at (pos or after it, in the token at pos). True (piece filled).
bool rejectAt(Lexer &lx, TokenPiece &piece, std::size_t at)
{
    for (std::size_t k = lx.pos; k < at; ++k)
        if (lx.window[k] == '\n')
            newLine(lx, k);  // inside a literal: its lines count for the place
    rejectInput(lx, kSwift, placeAt(lx, at));
    finishStream(lx, piece);
    return true;
}

// Ends the stream where the source cannot be compared, for reason.
bool refuseAt(Lexer &lx, TokenPiece &piece, const char *reason)
{
    refuseSource(lx, reason);
    finishStream(lx, piece);
    return true;
}

// Notes that the current token ends at window offset at, and what it leaves
// for a line end after it: continues when no statement can end there.
void noteEnd(Lexer &lx, std::size_t at, bool continues)
{
    SwiftLexState &s = swiftState(lx);
    s.any = true;
    s.lastLine = lx.line;
    s.lineBreak = false;
    s.lastEnd = lx.base + static_cast<std::int64_t>(at);
    s.lastByte = lx.window[at - 1];
    s.continues = continues;
    s.lineBefore = 0;
}

// Ends the current token at window offset i (finishAt), noting it.
bool endToken(Lexer &lx, TokenPiece &piece, std::size_t i, bool continues = false)
{
    noteEnd(lx, i, continues);
    return finishAt(lx, piece, i);
}

// True when the left of a token at window offset i is free: layout, an
// opening bracket or , ; : before it, or nothing.
bool leftFree(const Lexer &lx, std::size_t i)
{
    const SwiftLexState &s = swiftState(lx);
    return !s.any || lx.base + static_cast<std::int64_t>(i) > s.lastEnd || freesRight(s.lastByte);
}

// True when the right of an operator that ends at window offset i is bound,
// as the compiler decides it (kLexLookahead bytes readable after i).
bool rightBound(const Lexer &lx, std::size_t i, bool leftBound)
{
    const char c = lx.window[i];
    if (i >= lx.end || isSpace(c) || c == ')' || c == ']' || c == '}' || c == ',' || c == ';' || c == ':')
        return false;
    if (c == '/' && (lx.window[i + 1] == '/' || lx.window[i + 1] == '*'))
        return false;
    if (c == '.')
        return !leftBound;
    return true;
}

// The directive words whose line end is always a token.
bool isDirective(const char *p, std::size_t n)
{
    auto is = [&](const char *word) { return n == std::strlen(word) && std::memcmp(p, word, n) == 0; };
    return is("#if") || is("#elseif") || is("#else") || is("#endif") || is("#sourceLocation");
}

// True when the line end before the token at window offset i (its first
// bytes readable) is a token.
bool lineEndCounts(const Lexer &lx, std::size_t i)
{
    const SwiftLexState &s = swiftState(lx);
    const char *w = lx.window + i;
    if (s.directive)
        return true;
    if (w[0] == '#' && isNameStart(w[1])) {
        std::size_t n = 2;
        while (isNameByte(w[n]))
            ++n;
        if (isDirective(w, n))
            return true;
    }
    if (s.continues)
        return false;
    if (w[0] == '(' || w[0] == '[' || w[0] == '{')
        return true;
    if (s.depth > 0 && s.brackets[s.depth - 1] != '{')
        return false;
    if (w[0] == '}')
        return false;
    if (w[0] == '.' && (isNameStart(w[1]) || w[1] == '`'))
        return false;  // a member on the next line goes on with the expression
    return true;
}

// --- Literals -----------------------------------------------------------

enum class Scan { Done, Unterminated, Long, Deep, Unclear };

struct Frame {
    std::uint32_t parens;  // parentheses open inside an interpolation
    unsigned char hashes;  // '#' around a string
    bool multi;            // a multi-line string
    bool code;             // an interpolation, not a string
};

// True when the closing delimiter of a string (quotes '"' and hashes '#')
// stands at window offset i.
bool closesAt(const Lexer &lx, std::size_t i, std::size_t quotes, std::size_t hashes)
{
    if (i + quotes + hashes > lx.end)
        return false;
    for (std::size_t k = 0; k < quotes; ++k)
        if (lx.window[i + k] != '"')
            return false;
    for (std::size_t k = 0; k < hashes; ++k)
        if (lx.window[i + quotes + k] != '#')
            return false;
    return true;
}

// Scans a string whose body starts at window offset i, with hashes '#' around
// it, multi-line or not, with its interpolations and the strings in them, to
// just after its closing delimiter (Done, i there). Long when the window ends
// first; the others: why it cannot be read.
Scan scanString(const Lexer &lx, std::size_t &i, std::size_t hashes, bool multi)
{
    const char *w = lx.window;
    Frame frames[kFrames];
    std::size_t top = 0;
    frames[0] = {0, static_cast<unsigned char>(hashes), multi, false};
    for (;;) {
        if (i + 2 * kSwiftHashes + 4 > lx.end && !lx.ended)
            return Scan::Long;
        if (i >= lx.end)
            return Scan::Unterminated;
        Frame &f = frames[top];
        const char c = w[i];
        if (!f.code) {
            if (c == '\\') {
                std::size_t k = 1;
                while (k <= f.hashes && w[i + k] == '#')
                    ++k;
                if (k <= f.hashes) {
                    ++i;  // fewer '#' than the string's: a backslash of the text
                    continue;
                }
                const char e = w[i + k];
                if (i + k >= lx.end)
                    return Scan::Unterminated;
                if (e == '(') {
                    if (top + 1 == kFrames)
                        return Scan::Deep;
                    frames[++top] = {0, 0, false, true};
                    i += k + 1;
                } else if (e == '\n' || e == '\r') {
                    if (!f.multi)
                        return Scan::Unterminated;
                    i += k;  // a line joined: its line end is read as one
                } else {
                    i += k + 1;
                }
            } else if (c == '"' && closesAt(lx, i, f.multi ? 3 : 1, f.hashes)) {
                i += (f.multi ? 3 : 1) + f.hashes;
                if (top == 0)
                    return Scan::Done;
                --top;
            } else if ((c == '\n' || c == '\r') && !f.multi) {
                return Scan::Unterminated;
            } else {
                ++i;
            }
            continue;
        }
        switch (c) {
        case '(':
            ++f.parens;
            ++i;
            break;
        case ')':
            if (f.parens == 0)
                --top;
            else
                --f.parens;
            ++i;
            break;
        case '"': case '#': {
            std::size_t n = 0;
            while (w[i + n] == '#' && n <= kSwiftHashes)
                ++n;
            if (w[i + n] == '/' && n > 0)
                return Scan::Unclear;  // a regular expression inside an interpolation
            if (w[i + n] != '"' || n > kSwiftHashes) {
                i += n > 0 ? n : 1;
                break;
            }
            if (w[i + n + 1] == '"' && w[i + n + 2] == '"')
                return Scan::Unclear;  // a multi-line string inside an interpolation
            if (top + 1 == kFrames)
                return Scan::Deep;
            frames[++top] = {0, static_cast<unsigned char>(n), false, false};
            i += n + 1;
            break;
        }
        case '\n': case '\r':
            return Scan::Unclear;
        case '/':
            if (w[i + 1] == '/' || w[i + 1] == '*')
                return Scan::Unclear;
            if (!isSpace(w[i + 1]) && (isSpace(w[i - 1]) || freesRight(w[i - 1])))
                return Scan::Unclear;
            ++i;
            break;
        default:
            ++i;
            break;
        }
    }
}

// True when the lexer moved the window to the current token's start (pos) to
// read it whole: false when it stands there already, or the input ends
// within the window.
bool moveToToken(Lexer &lx)
{
    if (lx.pos == 0 || lx.ended)
        return false;
    lx.pieceStart = lx.pos;
    refill(lx, lx.pos);
    return true;
}

// Reads a regular expression whose body starts at window offset i and that
// ends at '/' and hashes '#'; a bare one (no '#') stays on its line. True
// with i after it; false when the window or the line ends first (long tells
// the window).
bool scanRegex(const Lexer &lx, std::size_t &i, std::size_t hashes, bool multiline, bool &longer)
{
    const char *w = lx.window;
    bool inClass = false;
    longer = false;
    for (;;) {
        if (i + kSwiftHashes + 2 > lx.end && !lx.ended) {
            longer = true;
            return false;
        }
        if (i >= lx.end)
            return false;
        const char c = w[i];
        if ((c == '\n' || c == '\r') && !multiline)
            return false;
        if (c == '\\') {
            if ((w[i + 1] == '\n' || w[i + 1] == '\r') && !multiline)
                return false;
            i += 2;
        } else if (c == '[' && hashes == 0) {
            inClass = true;
            ++i;
        } else if (c == ']') {
            inClass = false;
            ++i;
        } else if (c == '/' && !inClass && std::memcmp(w + i + 1, "################################", hashes) == 0) {
            i += 1 + hashes;
            return true;
        } else {
            ++i;
        }
    }
}

struct SwiftSteps : KitSteps<SwiftSteps> {
    // Skips blanks, line ends and comments whose words are not tokens, noting
    // a lone CR (a line end to Swift). Leaves kLexLookahead bytes readable
    // after pos, or all that remain.
    static Stop skipLayout(Lexer &lx)
    {
        SwiftLexState &s = swiftState(lx);
        if (!s.started) {
            s.started = true;
            if (lx.pos == 0 && lx.base == 0) {
                refill(lx, 0);
                if (byteOrderMarkAt(lx, 0))
                    lx.pos = lx.pieceStart = 3;
            }
        }
        const char *w = lx.window;
        std::size_t i = lx.pos;
        for (;;) {
            while (isSpace(w[i])) {
                if (w[i] == '\n')
                    newLine(lx, i), s.lineBreak = true;
                else if (w[i] == '\r' && w[i + 1] != '\n' && i + 1 < lx.end)
                    s.lineBreak = true;
                ++i;
            }
            if (refillShort(lx, i))
                continue;
            lx.pos = lx.pieceStart = i;
            if (w[i] == '/' && w[i + 1] == '*') {
                if (commentIsTokenOr(lx, i, skipNestedComment))
                    return Stop::Comment;
                if (lx.commentUnclosed)
                    return Stop::InputEnd;
                continue;
            }
            if (w[i] == '/' && w[i + 1] == '/') {
                if (commentIsTokenOr(lx, i, [](Lexer &l) {
                        skipUntil(l, l.pos, [](char c) { return c == '\n' || c == '\r'; });
                    }))
                    return Stop::Comment;
                continue;
            }
            return tokenOrEnd(lx, i);
        }
    }

    static bool inputEnd(Lexer &lx, TokenPiece &piece)
    {
        if (lx.commentUnclosed) {
            lx.commentUnclosed = false;
            rejectInput(lx, kSwift, lx.commentPlace);
        }
        finishStream(lx, piece);
        return true;
    }

    static bool openComment(Lexer &lx, TokenPiece &)
    {
        ::openComment(lx);
        swiftState(lx).commentDepth = 1;
        return false;
    }
    static bool comment(Lexer &lx, TokenPiece &piece)
    {
        if (lx.mode == LexMode::BlockComment)
            return nestedCommentStep(lx, piece, swiftState(lx).commentDepth);
        return commentStep(lx, piece);
    }
    static bool word(Lexer &lx, TokenPiece &piece)
    {
        return lx.commentIsBlock ? nestedWordStep(lx, piece) : wordStep(lx, piece);
    }

    // Starts the token at pos, after the line end before it where that is a
    // token.
    static bool startToken(Lexer &lx, TokenPiece &piece)
    {
        SwiftLexState &s = swiftState(lx);
        const std::size_t at = lx.pos;
        if (s.any && (lx.line > s.lastLine || s.lineBreak)) {
            s.lineBefore = s.lineBreak ? 1 : 2;
            const bool counts = lineEndCounts(lx, at);
            s.lastLine = lx.line;
            s.lineBreak = false;
            if (counts) {
                s.directive = false;
                s.continues = true;
                setWholePiece(lx, piece, TokenKind::LineEnd, s.lineBefore == 1 ? "\n" : kCommentLineEnd, placeAt(lx, at));
                return true;
            }
        }
        beginToken(lx, TokenKind::Code);
        const char *w = lx.window + at;
        const char c = w[0];
        if (isDigit(c))
            return number(lx, piece);
        if (isNameStart(c) || (c == '`' && isNameStart(w[1])) || ((c == '#' || c == '@') && isNameStart(w[1])))
            return nameStart(lx, piece);
        if (c == '"' || (c == '#' && (w[1] == '#' || w[1] == '"')))
            return stringStart(lx, piece);
        if (c == '#' && w[1] == '/')
            return regexStart(lx, piece, 1);
        if (c == '/' && leftFree(lx, at) && !isSpace(w[1]) && w[1] != '/' && w[1] != '*' && at + 1 < lx.end)
            return regexStart(lx, piece, 0);
        if (isOperatorByte(c) || c == '.')
            return operatorToken(lx, piece);
        return punctuator(lx, piece);
    }

    // A byte alone: a bracket (kept on the stack of open ones), , ; : or any
    // other.
    static bool punctuator(Lexer &lx, TokenPiece &piece)
    {
        SwiftLexState &s = swiftState(lx);
        const char c = lx.window[lx.pos];
        bool continues = c == ',' || c == ';' || c == ':';
        if (c == '(' || c == '[' || c == '{') {
            if (s.depth == kSwiftNesting)
                return refuseAt(lx, piece, "brackets nested too deep to compare");
            s.brackets[s.depth++] = c;
            continues = true;
        } else if ((c == ')' || c == ']' || c == '}') && s.depth > 0) {
            --s.depth;
        }
        return endToken(lx, piece, lx.pos + 1, continues);
    }

    // A name, a keyword, a `name`, a #word or an @attribute, at pos.
    static bool nameStart(Lexer &lx, TokenPiece &piece)
    {
        const char c = lx.window[lx.pos];
        if (c == '`') {
            std::size_t i = lx.pos + 1;
            while (isNameByte(lx.window[i]) && i < lx.pos + kLexLookahead - 1)
                ++i;
            if (isNameByte(lx.window[i]))
                return refuseAt(lx, piece, "a name too long to compare");
            return endToken(lx, piece, lx.window[i] == '`' ? i + 1 : lx.pos + 1);
        }
        if (c == '#' || c == '@')
            lx.pos += 1;
        lx.mode = LexMode::Name;
        return name(lx, piece);
    }

    // Goes on with a run of name bytes that ends the current token.
    static bool name(Lexer &lx, TokenPiece &piece)
    {
        std::size_t i = lx.pos;
        if (!runOver(lx, i, isNameByte))
            return pauseAt(lx, piece, lx.pos);
        const char *start = lx.window + lx.pieceStart;
        if (lx.firstPiece && start[0] == '#' && isDirective(start, i - lx.pieceStart))
            swiftState(lx).directive = true;
        return endToken(lx, piece, i);
    }

    // A number at pos: digits, letters and '_', a '.' before a digit (a
    // hexadecimal one in a hexadecimal number), and the sign of an exponent
    // ('e' in a decimal number, 'p' in a hexadecimal one), as written.
    static bool number(Lexer &lx, TokenPiece &piece)
    {
        const char *w = lx.window;
        const bool hex = w[lx.pos] == '0' && (w[lx.pos + 1] == 'x' || w[lx.pos + 1] == 'X');
        const std::size_t limit = lx.pos + kLexLookahead - 2;
        std::size_t i = lx.pos;
        auto in = [](char c) { return isNameByte(c) && c != '$'; };
        for (;;) {
            while (in(w[i]) && i < limit)
                ++i;
            if (i >= limit)
                return refuseAt(lx, piece, "a number too long to compare");
            const char before = w[i - 1], c = w[i], after = w[i + 1];
            if (c == '.' && (hex ? isHex(after) : isDigit(after)))
                i += 2;
            else if ((c == '+' || c == '-') && (hex ? (before == 'p' || before == 'P') : (before == 'e' || before == 'E')))
                i += 1;
            else
                break;
        }
        return endToken(lx, piece, i);
    }

    // An operator at pos: a run of operator bytes ('.' too when it starts
    // with one), up to a comment's start; its key ends in the mark of its
    // sides (LexMode::Gap hands that out).
    static bool operatorToken(Lexer &lx, TokenPiece &piece)
    {
        SwiftLexState &s = swiftState(lx);
        const char *w = lx.window;
        const std::size_t at = lx.pos;
        const bool dots = w[at] == '.';
        const std::size_t limit = at + kLexLookahead - 2;
        std::size_t i = at + 1;
        while (i < limit && (isOperatorByte(w[i]) || (dots && w[i] == '.')) &&
               !(w[i] == '/' && (w[i + 1] == '/' || w[i + 1] == '*')))
            ++i;
        if (i >= limit)
            return refuseAt(lx, piece, "an operator too long to compare");
        // A line end before a '.' tells a member of the expression before
        // from a blank only where an expression can end.
        const int lineBefore = s.continues ? 0 : s.lineBefore;
        const bool leftBound = !leftFree(lx, at);
        const bool right = rightBound(lx, i, leftBound);
        bool continues = !leftBound;
        if (dots && i == at + 1) {
            s.mark = kDotMarks[(lineBefore == 1 ? 0 : lineBefore == 2 ? 6 : leftBound ? 4 : 2) + right];
            continues = true;
        } else {
            s.mark = kMarks[2 * leftBound + right];
            const std::size_t n = i - at;
            if ((n == 1 && w[at] == '=') || (n == 2 && w[at] == '-' && w[at + 1] == '>'))
                continues = true;
        }
        noteEnd(lx, i, continues);
        s.markAt = i;
        setPiece(lx, piece, at, i, false);
        lx.pos = lx.pieceStart = i;
        lx.mode = LexMode::Gap;
        return true;
    }

    // The mark of the operator whose bytes went out.
    static bool gap(Lexer &lx, TokenPiece &piece)
    {
        SwiftLexState &s = swiftState(lx);
        return finishText(lx, piece, &s.mark, 1, s.markAt);
    }

    // A regular expression at pos: "/.../" (bare, when another '/' closes it
    // on its line) or with '#' around it, which may span lines when a line
    // end follows its opening.
    static bool regexStart(Lexer &lx, TokenPiece &piece, int extended)
    {
        std::size_t hashes = 0;
        bool moved = false;
        for (;;) {
            const char *w = lx.window;
            hashes = 0;
            while (extended && w[lx.pos + hashes] == '#' && hashes <= kSwiftHashes)
                ++hashes;
            if (hashes > kSwiftHashes)
                return refuseAt(lx, piece, "too many '#' around a literal to compare");
            std::size_t i = lx.pos + hashes + 1;
            const bool multiline = hashes > 0 && (w[i] == '\n' || (w[i] == '\r' && w[i + 1] == '\n'));
            bool longer = false;
            if (scanRegex(lx, i, hashes, multiline, longer)) {
                if (hashes == 0 && w[lx.pos + 1] == '=')
                    return refuseAt(lx, piece, "a '/=' that may open a regular expression");
                for (std::size_t k = lx.pos; k < i; ++k)
                    if (w[k] == '\n')
                        newLine(lx, k);
                return endToken(lx, piece, i);
            }
            if (longer && !moved) {
                moved = moveToToken(lx);
                if (moved)
                    continue;
            }
            if (longer)
                return refuseAt(lx, piece, "a literal too long to compare");
            if (hashes > 0)
                return rejectAt(lx, piece, lx.pos);
            return operatorToken(lx, piece);  // no '/' closes it: an operator
        }
    }

    // A string literal at pos, '#' around it or not, read whole in the window
    // (or, after '#'s, a regular expression, or a '#' alone).
    static bool stringStart(Lexer &lx, TokenPiece &piece)
    {
        bool moved = false;
        for (;;) {
            const char *w = lx.window;
            std::size_t hashes = 0;
            while (w[lx.pos + hashes] == '#' && hashes <= kSwiftHashes)
                ++hashes;
            if (hashes > kSwiftHashes)
                return refuseAt(lx, piece, "too many '#' around a literal to compare");
            const std::size_t open = lx.pos + hashes;
            if (w[open] == '/')
                return regexStart(lx, piece, 1);
            if (w[open] != '"')
                return punctuator(lx, piece);  // '#' before no literal
            const bool multi = w[open + 1] == '"' && w[open + 2] == '"';
            std::size_t i = open + (multi ? 3 : 1);
            if (multi && w[i] != '\n' && !(w[i] == '\r' && w[i + 1] == '\n'))
                return rejectAt(lx, piece, i);  // content on the opening line
            switch (scanString(lx, i, hashes, multi)) {
            case Scan::Done:
                if (!multi)
                    return endToken(lx, piece, i);
                return multiStart(lx, piece, hashes, open + 3, i);
            case Scan::Long:
                if (!moved && (moved = moveToToken(lx)))
                    continue;
                return refuseAt(lx, piece, "a literal too long to compare");
            case Scan::Unterminated:
                return rejectAt(lx, piece, lx.pos);
            case Scan::Deep:
                return refuseAt(lx, piece, "strings nested too deep to compare");
            case Scan::Unclear:
                return refuseAt(lx, piece, "an interpolation too unclear to compare");
            }
        }
    }

    // Checks the multi-line string at pos, whose opening quotes end at
    // window offset opened and which ends at end, and hands out its opening
    // delimiter: its lines and closing delimiter follow (raw).
    static bool multiStart(Lexer &lx, TokenPiece &piece, std::size_t hashes, std::size_t opened, std::size_t end)
    {
        SwiftLexState &s = swiftState(lx);
        const char *w = lx.window;
        const std::size_t close = end - 3 - hashes;
        std::size_t line = close;
        while (line > opened && (w[line - 1] == ' ' || w[line - 1] == '\t'))
            --line;
        if (w[line - 1] != '\n')
            return rejectAt(lx, piece, close);  // the closing delimiter does not start its line
        const std::size_t first = opened + (w[opened] == '\r' ? 2 : 1);
        for (std::size_t at = first; at < line;) {
            std::size_t lf = at;
            while (w[lf] != '\n') {
                if (w[lf] == '\r' && w[lf + 1] != '\n')
                    return rejectAt(lx, piece, lf);  // a lone CR
                ++lf;
            }
            const bool empty = lf == at || (lf == at + 1 && w[at] == '\r');
            if (!empty && (lf - at < close - line || std::memcmp(w + at, w + line, close - line) != 0))
                return rejectAt(lx, piece, at);  // indented less than the closing delimiter
            at = lf + 1;
        }
        s.lineAt = first;
        s.closeLine = line;
        s.closeAt = close;
        s.literalEnd = end;
        s.indent = close - line;
        s.lineFeedNext = false;
        newLine(lx, first - 1);
        setPiece(lx, piece, lx.pos, opened, false);
        lx.pos = lx.pieceStart = first;
        lx.mode = LexMode::Raw;
        return true;
    }

    // Goes on with a multi-line string: each content line less the
    // indentation, with its line feed, then the closing delimiter.
    static bool raw(Lexer &lx, TokenPiece &piece)
    {
        SwiftLexState &s = swiftState(lx);
        const char *w = lx.window;
        if (s.lineFeedNext) {
            s.lineFeedNext = false;
            textPiece(lx, piece, "\n", 1, false);
            return true;
        }
        if (s.lineAt >= s.closeLine) {
            setPiece(lx, piece, s.closeAt, s.literalEnd, true);
            lx.pos = lx.pieceStart = s.literalEnd;
            markEnd(lx, s.literalEnd);
            noteEnd(lx, s.literalEnd, false);
            lx.mode = LexMode::Between;
            return true;
        }
        const std::size_t at = s.lineAt;
        std::size_t lf = at;
        while (w[lf] != '\n')
            ++lf;
        newLine(lx, lf);
        s.lineAt = lf + 1;
        const bool cr = lf > at && w[lf - 1] == '\r';
        const std::size_t from = lf - (cr ? 1 : 0) - at >= s.indent ? at + s.indent : lf - (cr ? 1 : 0);
        if (from == lf - (cr ? 1 : 0)) {
            textPiece(lx, piece, "\n", 1, false);
            return true;
        }
        if (cr) {
            s.lineFeedNext = true;
            setPiece(lx, piece, from, lf - 1, false);
        } else {
            setPiece(lx, piece, from, lf + 1, false);
        }
        return true;
    }
};

} // namespace

// Makes the lexer's state; the lexer may reject its input.
void swiftStart(Lexer &lx)
{
    startLanguageState<SwiftLexState>(lx);
    lx.rejects = true;
}

extern const LexerHooks kSwiftLexer = {swiftStart, kitNext<SwiftSteps>, nullptr, nullptr, false, anyHashBang};
