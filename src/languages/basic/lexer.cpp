// The Basic lexer: names, keywords and numbers compare upper-cased; a line
// end that closes a statement is a token; ' and Rem comments, blank lines
// and " _" continuations are layout. A comment line that ends in a " _"
// continuation goes on to the next line, as VB6 and VBA read it.
#include <cstring>

#include "tokens/kit.h"
#include "tokens/lexer.h"

namespace {

// Upper-cases the ASCII letters of the window bytes [from, to).
void upcase(Lexer &lx, std::size_t from, std::size_t to)
{
    for (std::size_t i = from; i < to; ++i) {
        char c = lx.window[i];
        if (c >= 'a' && c <= 'z')
            lx.window[i] = static_cast<char>(c - 'a' + 'A');
    }
}

bool isTypeCharacter(char c)
{
    return c == '$' || c == '%' || c == '&' || c == '!' || c == '#' || c == '@';
}

bool isNameStart(char c)
{
    return (byteClass(c) & kNameB) && !(byteClass(c) & kDigit);
}

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// True when the word Rem, in any case, stands alone at window offset i.
bool isRem(const char *w)
{
    return upper(w[0]) == 'R' && upper(w[1]) == 'E' && upper(w[2]) == 'M' && !(byteClass(w[3]) & kNameB);
}

// Upper-cases and hands out the current piece up to at, not the last.
bool pauseUpper(Lexer &lx, TokenPiece &piece, std::size_t at)
{
    upcase(lx, lx.pieceStart, at);
    return pauseAt(lx, piece, at);
}

// Upper-cases and hands out the current token's last piece, ending at pos.
bool finishUpper(Lexer &lx, TokenPiece &piece)
{
    upcase(lx, lx.pieceStart, lx.pos);
    finishToken(lx, piece);
    return true;
}

bool isBlank(char c)
{
    return (byteClass(c) & kBlank) != 0;
}

bool isNameByte(char c)
{
    return (byteClass(c) & kNameB) != 0;
}

// Skips the blanks at pos, reading on past the window's end; true when there
// were any.
bool skipBlanksAt(Lexer &lx)
{
    bool any = false;
    for (;;) {
        std::size_t i = lx.pos;
        while (isBlank(lx.window[i]))
            ++i;
        any = any || i > lx.pos;
        lx.pos = lx.pieceStart = i;
        if (i < lx.end || lx.ended)
            return any;
        refill(lx, i);
    }
}

// What stands next inside a comment (commentNext).
enum class CommentNext {
    Continued,   // a continuation, skipped: the comment goes on on the next line
    Underscore,  // a '_' alone, skipped with the blanks after it: a word of the comment
    Other,       // anything else, at pos
};

// Skips the blanks at pos inside a comment, and then a '_' that a blank or
// the line's start stands before and that is no part of a longer word. When
// only blanks follow it to a line feed, that is a continuation, skipped with
// its line feed: VB6 and VBA go on with the comment on the next line. place
// and offset are set to the '_' (its place, its offset in the source) when
// one is skipped.
CommentNext commentNext(Lexer &lx, TokenPlace &place, std::int64_t &offset)
{
    const char *w = lx.window;
    // A refill keeps no byte before pos only after blanks (see skipBlanksAt).
    bool blank = lx.pos == 0 || isBlank(w[lx.pos - 1]) ||
                 lx.base + static_cast<std::int64_t>(lx.pos) == lx.lineStart;
    blank = skipBlanksAt(lx) || blank;
    if (!blank || w[lx.pos] != '_' || lx.pos >= lx.end)
        return CommentNext::Other;
    if (lx.pos + 1 >= lx.end && !lx.ended)
        refill(lx, lx.pos);
    const std::size_t after = lx.pos + 1;
    if (after < lx.end && !isBlank(w[after]) && w[after] != '\n')
        return CommentNext::Other;
    place = placeAt(lx, lx.pos);
    offset = lx.base + static_cast<std::int64_t>(lx.pos);
    lx.pos = lx.pieceStart = after;
    skipBlanksAt(lx);
    if (lx.pos >= lx.end || w[lx.pos] != '\n')
        return CommentNext::Underscore;
    newLine(lx, lx.pos);
    lx.pos = lx.pieceStart = lx.pos + 1;
    return CommentNext::Continued;
}

// Skips a comment, from pos just after its ' or Rem, to the line feed that
// ends it (not included) or the input's end, over the lines its
// continuations take it on to.
void skipComment(Lexer &lx)
{
    const char *w = lx.window;
    TokenPlace place;
    std::int64_t offset = 0;
    for (;;) {
        if (commentNext(lx, place, offset) != CommentNext::Other)
            continue;
        std::size_t i = lx.pos;
        while (i < lx.end && !isBlank(w[i]) && w[i] != '\n')
            ++i;
        lx.pos = lx.pieceStart = i;
        if (i < lx.end) {
            if (w[i] == '\n')
                return;
            continue;
        }
        if (lx.ended)
            return;
        refill(lx, i);
    }
}

// One step inside a comment whose words are tokens: a continuation takes it
// on to the next line; a '_' alone is a word.
bool commentWordStep(Lexer &lx, TokenPiece &piece)
{
    TokenPlace place;
    std::int64_t offset = 0;
    switch (commentNext(lx, place, offset)) {
    case CommentNext::Continued: return false;
    case CommentNext::Underscore:
        setWholePiece(lx, piece, TokenKind::CommentWord, "_", place);
        lx.endOffset = offset + 1;
        lx.endPlace = {place.line, place.column + 1};
        return true;
    case CommentNext::Other: break;
    }
    return commentStep(lx, piece);
}

// Window offset of the line feed (or the input's end) that ends a " _"
// continuation whose underscore is at i, or 0 when it is none.
std::size_t continuationEnd(Lexer &lx, std::size_t i)
{
    const char *w = lx.window;
    std::size_t j = i + 1;
    while (byteClass(w[j]) & kBlank)
        ++j;
    if (j >= lx.end && !lx.ended)
        return 0;  // blanks past the window: taken as no continuation
    return w[j] == '\n' || j >= lx.end ? j : 0;
}

// What stands at a point of Basic layout that is not a blank or a line end.
enum class Layout { None, Skipped, Comment };

// Skips the continuation or the comment at window offset i, when there is
// one, to pos: a comment only when its words are not tokens; Comment leaves
// pos at the comment's opening word.
Layout skipContinuationOrComment(Lexer &lx, std::size_t i, bool blankBefore)
{
    const char *w = lx.window;
    if (w[i] == '_' && blankBefore) {
        if (std::size_t j = continuationEnd(lx, i)) {
            if (j < lx.end)
                newLine(lx, j);
            lx.pos = j < lx.end ? j + 1 : j;
            return Layout::Skipped;
        }
    }
    bool rem = lx.statementStart && isRem(w + i);
    if (w[i] != '\'' && !rem)
        return Layout::None;
    if (lx.options.comments)
        return Layout::Comment;
    lx.pos = i + (rem ? 3 : 1);
    skipComment(lx);
    return Layout::Skipped;
}

// A name or number's end at window offset i: one type character may follow.
bool typedEnd(Lexer &lx, TokenPiece &piece, std::size_t i)
{
    lx.pos = i + (isTypeCharacter(lx.window[i]) ? 1 : 0);
    return finishUpper(lx, piece);
}

// Bytes of the operator at p by longest match.
std::size_t operatorLength(const char *p)
{
    char a = p[1];
    switch (p[0]) {
    case '<':
        if (a == '<')
            return p[2] == '=' ? 3 : 2;
        return a == '=' || a == '>' ? 2 : 1;
    case '>':
        if (a == '>')
            return p[2] == '=' ? 3 : 2;
        return a == '=' ? 2 : 1;
    case ':': case '+': case '-': case '*': case '/': case '\\': case '^': case '&':
        return a == '=' ? 2 : 1;
    default: return 1;
    }
}

struct BasicSteps : KitSteps<BasicSteps> {
    // Skips blanks, line ends that close no statement, continuations and
    // comments whose words are not tokens; leaves at least kLexLookahead
    // bytes readable.
    static Stop skipLayout(Lexer &lx)
    {
        const char *w = lx.window;
        std::size_t i = lx.pos;
        bool blankBefore = !lx.lineHasToken;
        for (;;) {
            const std::size_t from = i;
            skipBlanks(lx, i, isBlank);
            blankBefore = blankBefore || i > from;
            if (refillShort(lx, i))
                continue;
            lx.pos = lx.pieceStart = i;
            if (w[i] == '\n') {
                if (lx.lineHasToken)
                    return Stop::DirectiveEnd;
                newLine(lx, i);
                lx.statementStart = true;
                blankBefore = true;
                ++i;
                continue;
            }
            Layout l = skipContinuationOrComment(lx, i, blankBefore);
            if (l == Layout::Comment)
                return Stop::Comment;
            if (l == Layout::None)
                return tokenOrEnd(lx, i);
            i = lx.pos;
        }
    }

    // A comment whose words are tokens, its ' or Rem at pos.
    static bool openComment(Lexer &lx, TokenPiece &)
    {
        openLineComment(lx, lx.window[lx.pos] == '\'' ? 1 : 3);
        return false;
    }
    static bool comment(Lexer &lx, TokenPiece &piece) { return commentWordStep(lx, piece); }

    // Goes on with a name: name bytes, then one type character.
    static bool name(Lexer &lx, TokenPiece &piece)
    {
        std::size_t i = lx.pos;
        if (!runOver(lx, i, isNameByte))
            return pauseUpper(lx, piece, lx.pos);
        return typedEnd(lx, piece, i);
    }

    // Goes on with a number: name bytes and dots, a sign after an exponent
    // letter and before a digit, then one type character.
    static bool number(Lexer &lx, TokenPiece &piece)
    {
        std::size_t i = lx.pos;
        const auto more = [](char before, char c, char after) -> std::size_t {
            const char e = upper(before);
            return (c == '+' || c == '-') && (e == 'E' || e == 'D') && (byteClass(after) & kDigit) ? 1 : 0;
        };
        if (!numberRun(lx, i, [](char c) { return (byteClass(c) & (kNameB | kDot)) != 0; }, more))
            return pauseUpper(lx, piece, lx.pos);
        return typedEnd(lx, piece, i);
    }

    // Goes on with a string literal ("" is a quote); an unterminated one
    // ends at its line end.
    static bool quoted(Lexer &lx, TokenPiece &piece) { return doubledQuoteStep(lx, piece, '"', false); }

    // Starts the token at pos.
    static bool startToken(Lexer &lx, TokenPiece &piece)
    {
        const char *w = lx.window + lx.pos;
        lx.lineHasToken = true;
        beginToken(lx, TokenKind::Code);
        char c = w[0];
        bool hex = c == '&' && (upper(w[1]) == 'H' || upper(w[1]) == 'O') && (byteClass(w[2]) & kNameB);
        lx.statementStart = false;
        if ((byteClass(c) & kDigit) || (c == '.' && (byteClass(w[1]) & kDigit)) || hex) {
            lx.pos += hex ? 2 : 0;
            lx.mode = LexMode::Number;
            return number(lx, piece);
        }
        if (isNameStart(c)) {
            lx.mode = LexMode::Name;
            return name(lx, piece);
        }
        if (c == '"') {
            ++lx.pos;
            lx.mode = LexMode::Quoted;
            return quoted(lx, piece);
        }
        std::size_t n = operatorLength(w);
        lx.statementStart = c == ':' && n == 1;
        return finishAt(lx, piece, lx.pos + n);
    }

    // Hands out the LineEnd of the statement that the line feed at pos, or
    // the input's end, closes.
    static bool directiveEnd(Lexer &lx, TokenPiece &piece)
    {
        setWholePiece(lx, piece, TokenKind::LineEnd, "\n", placeAt(lx, lx.pos));
        if (lx.pos < lx.end) {
            newLine(lx, lx.pos);
            ++lx.pos;
        }
        markEnd(lx, lx.pos);
        lx.lineHasToken = false;
        lx.statementStart = true;
        return true;
    }

    // The input's end closes an open statement first.
    static bool inputEnd(Lexer &lx, TokenPiece &piece)
    {
        if (lx.lineHasToken)
            return directiveEnd(lx, piece);
        return KitSteps<BasicSteps>::inputEnd(lx, piece);
    }
};

} // namespace

// The content test of .frm and .cls, which LaTeX classes, Apex classes and
// MySQL tables share: true when text, a source's first length bytes, starts
// as Visual Basic writes a form or class module, past a byte order mark and
// blanks: "VERSION 5.00" (a form), "VERSION 1.0 CLASS", or "Attribute VB_"
// where the VERSION block is left out.
bool basicConfirms(const char *text, std::size_t length)
{
    std::size_t i = length >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    while (i < length && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n'))
        ++i;
    const char *start = text + i;
    const std::size_t n = length - i;
    return (n > 8 && std::memcmp(start, "VERSION ", 8) == 0 && start[8] >= '0' && start[8] <= '9') ||
           (n >= 13 && std::memcmp(start, "Attribute VB_", 13) == 0);
}

extern const LexerHooks kBasicLexer = {nullptr, kitNext<BasicSteps>, nullptr, nullptr, false, nullptr, basicConfirms};
