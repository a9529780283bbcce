// The Go lexer: tokens as the Go compiler reads them, with its semicolons.
//
// A semicolon is one Code token ";" whether it is written or inserted at a
// line end (after a name that is no keyword, a literal, break, continue,
// fallthrough, return, "++", "--", ')', ']' or '}'); the input's end inserts
// one by the same rule, and a block comment holding a line feed ends the line
// as a line feed would. Other line ends, blanks and comments are layout.
//
// Go lets a semicolon be left out before the ')' that closes an import, const,
// var or type group and the '}' that closes a block, struct or interface body,
// and gofmt leaves it out; so a semicolon always goes out before such a ')'
// (the last entry of a group ends in one, as the others do, so that entries sort
// alike) and never before such a '}', whether written, inserted or left out. Before any other ')' or '}'
// (a call, a composite literal) the semicolon stays, since a line broken there
// makes a program that does not compile. Which '{' opens what is told by the
// tokens before it (see openBrace); when in doubt it is taken for a composite
// literal's, so that the semicolon stays: a false alarm, never a miss. A comma
// directly before any closing bracket is left out too, as gofmt does when it
// puts the bracket on the last element's line; but for the only comma in the
// brackets right after a declared name, `type T[P *int,]`, which makes a
// type parameter list of what would be an array's length (`type T[P *int]`).
//
// Numbers come out as gofmt writes them: "0X", "0O", "0B" and the exponent
// letters 'E' and 'P' lower-cased, leading zeros of an integer imaginary
// literal dropped (only when the number is whole within the window; a longer
// one keeps its spelling). Raw strings lose their carriage returns, as the
// compiler reads them. A byte order mark at the start is layout; a byte that
// no Go token holds (vertical tab, form feed, '$', '?', ...) is a token alone.
#include <cstring>

#include "languages/go/state.h"
#include "tokens/kit.h"
#include "tokens/lexer.h"
#include "tokens/sorted_imports.h"

namespace {

// Phases of a number (GoLexState::numberPhase).
enum NumberPhase { kDigits, kFraction, kExponentSign, kExponentDigits };

bool isGoBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

bool isNameByte(char c)
{
    return (byteClass(c) & kNameB) != 0;
}

bool isDigit(char c)
{
    return (byteClass(c) & kDigit) != 0;
}

GoLevel &level(Lexer &lx)
{
    return goState(lx).levels[goState(lx).depth];
}

// After a token of the kind prev: whether a line end after it inserts a
// semicolon.
void afterToken(Lexer &lx, GoPrev prev, bool insertSemi)
{
    goState(lx).importWord = false;
    goState(lx).prev = prev;
    goState(lx).declName = false;
    goState(lx).insertSemi = insertSemi;
    goState(lx).semiLine = lx.line;
    goState(lx).semiPlaced = false;
}

// Notes window offset i (a line feed, a comment or the input's end) as where
// an inserted semicolon would stand, when it is the first such place.
void notePlace(Lexer &lx, std::size_t i)
{
    if (goState(lx).insertSemi && !goState(lx).semiPlaced) {
        goState(lx).semiPlace = placeAt(lx, i);
        goState(lx).semiPlaced = true;
    }
}

// The comments Go's tools read as code (see the top).

// A blank to Go's strings.TrimSpace among ASCII bytes.
bool isSpaceByte(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// What the comment at window offset i is, from the kLexLookahead bytes
// readable there (a "//" and blanks that run past them may start +build).
GoComment classify(const Lexer &lx, std::size_t i)
{
    const char *w = lx.window + i;
    const std::size_t left = lx.end - i;
    if (w[1] == '*')
        return left >= 7 && std::memcmp(w + 2, "line ", 5) == 0 ? GoComment::LineBlock : GoComment::Plain;
    if (left >= 5 && std::memcmp(w + 2, "go:", 3) == 0) {
        const bool ends = left == 10 || (left > 10 && (isSpaceByte(w[10]) || w[10] == '\n'));
        return left >= 10 && std::memcmp(w + 5, "build", 5) == 0 && ends ? GoComment::GoBuild : GoComment::Directive;
    }
    if (left >= 7 && std::memcmp(w + 2, "line ", 5) == 0) {
        // At a line's start, a byte order mark before it aside (the compiler skips one).
        const bool first = lx.base + static_cast<std::int64_t>(i) == lx.lineStart ||
                           (i == 3 && byteOrderMarkAt(lx, 0));
        return first ? GoComment::Directive : GoComment::Plain;
    }
    if (left >= 9 && (std::memcmp(w + 2, "export", 6) == 0 || std::memcmp(w + 2, "extern", 6) == 0) &&
        (w[8] == ' ' || w[8] == '\t'))
        return GoComment::Directive;
    std::size_t k = 2;
    while (k < left && isSpaceByte(w[k]))
        ++k;
    if (k == left && !lx.ended)
        return GoComment::PlusBuild;  // told once its line is whole
    return left >= k + 6 && std::memcmp(w + k, "+build", 6) == 0 &&
                   (k + 6 == left || isSpaceByte(w[k + 6]) || w[k + 6] == '\n')
               ? GoComment::PlusBuild
               : GoComment::Plain;
}

// True when the bytes from window offset i to its line's end are blanks to
// Go's TrimSpace; refuses the source when the window ends first.
bool blankToTrimSpace(Lexer &lx, std::size_t i)
{
    const unsigned char *u = reinterpret_cast<const unsigned char *>(lx.window);
    for (; i < lx.end && u[i] != '\n'; ++i) {
        if (isSpaceByte(static_cast<char>(u[i])))
            continue;
        if (u[i] == 0xC2 && i + 1 < lx.end && (u[i + 1] == 0x85 || u[i + 1] == 0xA0)) {
            ++i;
            continue;
        }
        return false;
    }
    if (i == lx.end && !lx.ended)
        refuseSource(lx, kDirectiveTooLong);
    return true;
}

// The cgo preamble (see the top): the comments between two tokens are held
// in the window while an import may still come.

// The window offset of the first held comment.
std::size_t heldAt(const Lexer &lx)
{
    return static_cast<std::size_t>(languageState<GoLexState>(lx).holdFrom - lx.base);
}

// Steps over the held comment at window offset i, its line feeds counted; i
// ends after it (at a line comment's line feed). False when the held
// comments outgrow the window: the source is refused.
bool skipHeld(Lexer &lx, std::size_t &i)
{
    const bool block = lx.window[i + 1] == '*';
    const TokenPlace opened = placeAt(lx, i);
    std::size_t k = i + 2;
    for (;;) {
        const char *w = lx.window;
        if (!block) {
            k = lineFeedFrom(lx, k);
            if (k < lx.end) {
                i = k;
                return true;
            }
        } else {
            for (; k + 1 < lx.end && !(w[k] == '*' && w[k + 1] == '/'); ++k)
                if (w[k] == '\n')
                    newLine(lx, k);
            if (k + 1 < lx.end) {
                i = k + 2;
                return true;
            }
        }
        if (lx.ended) {
            if (block && k < lx.end && w[k] == '\n')
                newLine(lx, k);
            lx.commentUnclosed = block;
            lx.commentPlace = opened;
            i = lx.end;
            return true;
        }
        const std::size_t keep = heldAt(lx);
        if (keep == 0 && lx.end == kLexWindowSize) {
            refuseSource(lx, kDirectiveTooLong);
            return false;
        }
        lx.pos = lx.pieceStart = i;
        refill(lx, keep);
        k -= keep;
        i = lx.pos;
    }
}

// Holds the comment at window offset i (the first one opens the span),
// noting its go/parser group and whether it is a token; i ends after it.
// False when the source is refused.
bool holdComment(Lexer &lx, std::size_t &i)
{
    GoLexState &st = goState(lx);
    const std::int64_t at = lx.base + static_cast<std::int64_t>(i);
    if (!st.holding) {
        st.holding = true;
        st.holdFrom = at;
        st.holdLine = lx.line;
        st.holdLineStart = lx.lineStart;
        st.holdTokens = false;
        st.lineGroup = false;
        st.groupFrom = -1;
    }
    st.holdTokens = st.holdTokens || lx.options.comments || classify(lx, i) != GoComment::Plain;
    const bool block = lx.window[i + 1] == '*';
    const std::int64_t line = lx.line;
    if (!skipHeld(lx, i))
        return false;
    // A first comment on the line of the token before is its line comment,
    // with those after it on the line where it ends; then a group is each
    // run of comments that start at most a line after the one before ends.
    if (at == st.holdFrom && line == st.semiLine && st.prev != GoPrev::Start)
        st.lineGroup = true;
    else if (!(st.lineGroup && line <= st.groupEndLine)) {
        if (st.lineGroup || st.groupFrom < 0 || line > st.groupEndLine + 1)
            st.groupFrom = at;
        st.lineGroup = false;
    }
    st.groupEndLine = lx.line;
    st.groupEnd = lx.base + static_cast<std::int64_t>(i) + (!block && i < lx.end ? 1 : 0);
    return true;
}

// True when the import at window offset i imports "C" alone, or the window
// ends before telling: "import", then "C", or '(', "C", ')' (blanks, line
// ends and ';' between; a comment there cannot be told, so it counts).
bool importsC(const Lexer &lx, std::size_t i)
{
    const char *w = lx.window;
    auto skip = [&](std::size_t k) {
        while (k < lx.end && (isGoBlank(w[k]) || w[k] == '\n' || w[k] == ';'))
            ++k;
        return k;
    };
    auto isC = [&](std::size_t k) { return (w[k] == '"' || w[k] == '`') && w[k + 1] == 'C' && w[k + 2] == w[k]; };
    std::size_t k = skip(i + 6);
    if (k >= lx.end || w[k] == '/')
        return true;
    if (isC(k))
        return true;
    if (w[k] != '(')
        return false;
    k = skip(k + 1);
    if (k >= lx.end || w[k] == '/')
        return true;
    if (!isC(k))
        return false;
    k = skip(k + 3);
    return k >= lx.end || w[k] == '/' || w[k] == ')';
}

// At the token (or input end) at window offset i after held comments: their
// last group is the cgo preamble when it ends on the line before the token
// and that token is an import of "C" alone, or the path "C" in an import
// group. When one of them is a token, the lexer goes back to the first to
// hand them out (true, i there); else on to the token.
bool releaseHeld(Lexer &lx, std::size_t &i)
{
    GoLexState &st = goState(lx);
    st.holding = false;
    const char *w = lx.window;
    bool preamble = false;
    if (i < lx.end && !st.lineGroup && st.groupFrom >= 0 && st.groupEndLine + 1 == lx.line) {
        const GoLevel &l = level(lx);
        if (w[i] == '"' || w[i] == '`')
            preamble = st.untracked == 0 && st.depth > 0 && l.imports && w[i + 1] == 'C' && w[i + 2] == w[i];
        else if (std::memcmp(w + i, "import", 6) == 0 && !isNameByte(w[i + 6]))
            preamble = importsC(lx, i);
    }
    if (!preamble && !st.holdTokens)
        return false;
    st.replayTo = lx.base + static_cast<std::int64_t>(i);
    st.preambleAt = preamble ? st.groupFrom : -1;
    st.preambleEnd = st.groupEnd;
    i = heldAt(lx);
    lx.line = st.holdLine;
    lx.lineStart = st.holdLineStart;
    lx.commentUnclosed = false;
    return true;
}

// Hands out the /*line directive at pos as written, its line feeds counted;
// refuses the source when it does not end in the window.
bool lineBlockToken(Lexer &lx, TokenPiece &piece)
{
    for (;;) {
        const char *w = lx.window;
        std::size_t k = lx.pos + 2;
        while (k + 1 < lx.end && !(w[k] == '*' && w[k + 1] == '/'))
            ++k;
        if (k + 1 < lx.end || lx.ended) {
            const std::size_t close = k + 1 < lx.end ? k + 2 : lx.end;
            for (std::size_t j = lx.pos; j < close; ++j)
                if (w[j] == '\n')
                    newLine(lx, j);
            lx.pos = close;
            finishToken(lx, piece);
            return true;
        }
        if (lx.pieceStart == 0) {
            refuseSource(lx, kDirectiveTooLong);
            lx.pos = lx.pieceStart = lx.end;
            lx.commentUnclosed = false;
            finishStream(lx, piece);
            return true;
        }
        refill(lx, lx.pieceStart);
    }
}

// Writes the key of the constraint in window bytes [from, to), a whole
// line, over its start; returns where the key ends (to when it is no
// constraint after all). //go:build then its expression less the blanks
// (space, tab) the parser skips, one kept between two tags; //+build then
// its options one blank apart.
std::size_t constraintKey(char *w, std::size_t from, std::size_t to, GoComment kind)
{
    std::size_t b = from + 2;
    while (kind == GoComment::PlusBuild && b < to && isSpaceByte(w[b]))
        ++b;
    const std::size_t word = kind == GoComment::GoBuild ? 8 : 6;
    if (kind == GoComment::PlusBuild &&
        (to - b < word || std::memcmp(w + b, "+build", 6) != 0 || (b + 6 < to && !isSpaceByte(w[b + 6]))))
        return to;  // "//" and blanks, then no +build
    b += word;
    while (to > b && isSpaceByte(w[to - 1]))
        --to;
    std::size_t out = from;
    const char *head = kind == GoComment::GoBuild ? "//go:build" : "//+build";
    for (const char *h = head; *h; ++h)
        w[out++] = *h;
    auto op = [](char c) { return c == '!' || c == '(' || c == ')' || c == '&' || c == '|'; };
    bool blank = true;  // blanks before the next byte (one goes before the first)
    for (std::size_t k = b; k < to; ++k) {
        const char c = w[k];
        const bool skip = kind == GoComment::GoBuild ? (c == ' ' || c == '\t') : isSpaceByte(c);
        if (skip) {
            blank = true;
            continue;
        }
        const char before = w[out - 1];
        const bool apart = kind == GoComment::PlusBuild || out == from + 10 ||
                           (!op(before) && !op(c)) || (before == c && (c == '&' || c == '|'));
        if (blank && apart)
            w[out++] = ' ';
        blank = false;
        w[out++] = c;
    }
    return out;
}

// Opens a bracket of kind at a new level (past kGoBracketDepth, untracked).
void push(Lexer &lx, GoBracket kind)
{
    if (goState(lx).depth == kGoBracketDepth || goState(lx).untracked > 0) {
        ++goState(lx).untracked;
        return;
    }
    const bool imports = kind == GoBracket::Group && goState(lx).importWord;
    GoLevel &l = goState(lx).levels[++goState(lx).depth];
    l = GoLevel{kind, GoHeader::None, GoHeader::None, false};
    l.imports = imports;
}

// The kind of the innermost open bracket; an untracked one is a Paren, which
// keeps semicolons before it.
GoBracket innermost(const Lexer &lx)
{
    const GoLexState &st = languageState<GoLexState>(lx);
    return st.untracked > 0 || st.depth == 0 ? GoBracket::Paren : st.levels[st.depth].bracket;
}

void pop(Lexer &lx)
{
    if (goState(lx).untracked > 0)
        --goState(lx).untracked;
    else if (goState(lx).depth > 0)
        --goState(lx).depth;
}

// What a '{' opens, told by the token before it and the header awaited at its
// level: a field list after struct or interface; a block after else, for,
// select, switch, a func signature, an if, for or switch header, or at the
// start of a statement; anything else a composite literal's braces.
GoBracket openBrace(Lexer &lx)
{
    if (goState(lx).untracked > 0)
        return GoBracket::Literal;
    GoLevel &l = level(lx);
    GoPrev p = goState(lx).prev;
    if (p == GoPrev::KeyStruct)
        return GoBracket::Block;
    if (p == GoPrev::KeyBody) {
        l.header = GoHeader::None;
        return GoBracket::Block;
    }
    if (l.header == GoHeader::Func) {
        l.header = l.outer;
        l.outer = GoHeader::None;
        return GoBracket::Block;
    }
    if (l.header == GoHeader::Control) {
        if (l.typeSeen) {
            l.typeSeen = false;
            return GoBracket::Literal;
        }
        l.header = GoHeader::None;
        return GoBracket::Block;
    }
    bool statementStart = p == GoPrev::Semicolon || p == GoPrev::OpenBrace || p == GoPrev::Colon || p == GoPrev::Start;
    return statementStart && l.bracket == GoBracket::Block ? GoBracket::Block : GoBracket::Literal;
}

// What a keyword does to the bracket level and the kind of its token.
GoPrev keyword(Lexer &lx, const char *s, std::size_t n, bool &insertSemi)
{
    auto is = [&](const char *word) { return n == std::strlen(word) && std::memcmp(s, word, n) == 0; };
    GoLevel &l = level(lx);
    if (is("break") || is("continue") || is("fallthrough") || is("return")) {
        insertSemi = true;
        return GoPrev::KeyOther;
    }
    if (is("if") || is("for") || is("switch")) {
        l.header = GoHeader::Control;
        l.typeSeen = false;
        return s[0] == 'i' ? GoPrev::KeyOther : GoPrev::KeyBody;
    }
    if (is("else") || is("select"))
        return GoPrev::KeyBody;
    if (is("interface"))
        return GoPrev::KeyStruct;
    if (is("struct") || is("map")) {
        // A literal of such a type may stand in the header before its block.
        if (l.header == GoHeader::Control)
            l.typeSeen = true;
        return s[0] == 'm' ? GoPrev::KeyOther : GoPrev::KeyStruct;
    }
    if (is("func")) {
        // A func after ']' or chan is a func type inside another type, with no body.
        if (goState(lx).untracked == 0 && goState(lx).prev != GoPrev::KeyType && goState(lx).prev != GoPrev::CloseSquare) {
            if (l.header == GoHeader::Control)
                l.outer = GoHeader::Control;
            l.header = GoHeader::Func;
        }
        return GoPrev::KeyOther;
    }
    if ((is("func") || is("const") || is("var") || is("type")) && goState(lx).depth == 0 && goState(lx).untracked == 0)
        goState(lx).imports = false;  // a declaration: no import follows
    if (is("package") && goState(lx).prev == GoPrev::Start)
        goState(lx).imports = true;  // the package clause that opens the file
    if (is("import") || is("const") || is("var") || is("type"))
        return GoPrev::KeyGroup;
    if (is("chan"))
        return GoPrev::KeyType;
    if (is("case") || is("default") || is("defer") || is("go") || is("goto") || is("package") || is("range"))
        return GoPrev::KeyOther;
    insertSemi = true;
    return GoPrev::Operand;
}

bool isDigitOf(char c, int base)
{
    if (base == 16)
        return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    return isDigit(c);
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Rewrites the whole number in window bytes [pieceStart, pos) as gofmt writes it.
void normalizeNumber(Lexer &lx)
{
    char *x = lx.window + lx.pieceStart;
    std::size_t n = lx.pos - lx.pieceStart;
    if (n < 2)
        return;
    if (x[0] == '0' && (lower(x[1]) == 'x' || lower(x[1]) == 'o' || lower(x[1]) == 'b')) {
        bool hex = lower(x[1]) == 'x';
        x[1] = lower(x[1]);
        for (std::size_t k = n; hex && k-- > 2;)
            if (x[k] == 'P') {
                x[k] = 'p';
                break;
            }
        return;
    }
    for (std::size_t k = n; k-- > 0;)
        if (x[k] == 'E') {
            x[k] = 'e';
            return;
        }
    if (x[n - 1] != 'i' || std::memchr(x, '.', n) || std::memchr(x, 'e', n))
        return;
    std::size_t k = 0;
    while (k < n - 1 && (x[k] == '0' || x[k] == '_'))
        ++k;
    if (k == n - 1) {  // nothing but zeros: "0i"
        k = n - 2;
        x[k] = '0';
    }
    lx.pieceStart += k;
}

// A byte of a raw string's body that needs no decision.
bool isRawPlain(char c)
{
    return c != '`' && c != '\n' && c != '\r' && c != 0;
}

// Bytes of the operator at p by longest match; 1 for any byte of its own.
std::size_t operatorLength(const char *p)
{
    char a = p[1];
    switch (p[0]) {
    case '+': return a == '+' || a == '=' ? 2 : 1;
    case '-': return a == '-' || a == '=' ? 2 : 1;
    case '*': case '/': case '%': case '^': case '=': case '!': case ':': return a == '=' ? 2 : 1;
    case '&':
        if (a == '^')
            return p[2] == '=' ? 3 : 2;
        return a == '&' || a == '=' ? 2 : 1;
    case '|': return a == '|' || a == '=' ? 2 : 1;
    case '<':
        if (a == '<')
            return p[2] == '=' ? 3 : 2;
        return a == '=' || a == '-' ? 2 : 1;
    case '>':
        if (a == '>')
            return p[2] == '=' ? 3 : 2;
        return a == '=' ? 2 : 1;
    case '.': return a == '.' && p[2] == '.' ? 3 : 1;
    default: return 1;
    }
}

// Takes the operator at pos, tracking brackets.
bool operatorStart(Lexer &lx, TokenPiece &piece)
{
    const char *w = lx.window + lx.pos;
    std::size_t n = operatorLength(w);
    GoPrev prev = GoPrev::Other;
    bool insertSemi = false;
    GoPrev p = goState(lx).prev;
    bool operand = p == GoPrev::Operand || p == GoPrev::Close || p == GoPrev::CloseSquare;
    switch (n == 1 ? w[0] : 0) {
    case '(': push(lx, p == GoPrev::KeyGroup ? GoBracket::Group : GoBracket::Paren); break;
    case '[':
        // A '[' where no operand stands before it starts an array or slice type.
        if (!operand && goState(lx).untracked == 0 && level(lx).header == GoHeader::Control)
            level(lx).typeSeen = true;
        push(lx, GoBracket::Square);
        if (goState(lx).untracked == 0)
            level(lx).afterDeclName = goState(lx).declName;
        break;
    case '{':
        push(lx, openBrace(lx));
        prev = GoPrev::OpenBrace;
        break;
    case ')': case ']': case '}':
        pop(lx);
        prev = w[0] == ']' ? GoPrev::CloseSquare : GoPrev::Close;
        insertSemi = true;
        break;
    case ':': prev = GoPrev::Colon; break;
    default: break;
    }
    if (n == 2 && (w[0] == '+' || w[0] == '-') && w[1] == w[0])
        insertSemi = true;
    lx.pos += n;
    finishToken(lx, piece);
    afterToken(lx, prev, insertSemi);
    return true;
}

// Takes a written ';' or ',': it waits for the next token, which may drop it.
void holdWritten(Lexer &lx)
{
    bool comma = lx.window[lx.pos] == ',';
    goState(lx).held = true;
    goState(lx).heldKey = comma ? "," : ";";
    goState(lx).heldPlace = placeAt(lx, lx.pos);
    ++lx.pos;
    markEnd(lx, lx.pos);
    afterToken(lx, comma ? GoPrev::Other : GoPrev::Semicolon, false);
    if (comma && goState(lx).untracked == 0 && level(lx).commas < 2)
        ++level(lx).commas;
}

// True when the token at pos drops the ';' or ',' that waits before it: a
// semicolon before the closing bracket of a body, a comma before any closing
// bracket but the only one after a declared name's '['.
bool dropsHeld(const Lexer &lx)
{
    char c = lx.window[lx.pos];
    const GoLexState &st = languageState<GoLexState>(lx);
    if (c == ']' && st.heldKey[0] == ',' && st.untracked == 0 && st.depth > 0 && st.levels[st.depth].afterDeclName &&
        st.levels[st.depth].commas == 1)
        return false;
    if (st.heldKey[0] == ',')
        return c == ')' || c == ']' || c == '}';
    return c == '}' && innermost(lx) == GoBracket::Block;
}

// True when the token at pos is the ')' that closes an import, const, var or
// type group.
bool closesGroup(const Lexer &lx)
{
    return lx.window[lx.pos] == ')' && innermost(lx) == GoBracket::Group;
}

// Hands out the ';' or ',' that waits, when one does; false otherwise.
bool giveHeld(Lexer &lx, TokenPiece &piece)
{
    if (!goState(lx).held)
        return false;
    goState(lx).held = false;
    goState(lx).declName = false;
    setWholePiece(lx, piece, TokenKind::Code, goState(lx).heldKey, goState(lx).heldPlace);
    if (goState(lx).heldKey[0] == ',')
        return true;
    goState(lx).prev = GoPrev::Semicolon;
    GoLevel &l = level(lx);
    if (l.header == GoHeader::Func) {  // a func type ended: no body follows
        l.header = l.outer;
        l.outer = GoHeader::None;
    }
    return true;
}

// Turns a semicolon that the layout since the last token inserts into one
// that waits; at the input's end one is inserted by the same rule.
void resolveInsertion(Lexer &lx, bool inputEnd)
{
    if (goState(lx).insertSemi && (inputEnd || lx.line > goState(lx).semiLine)) {
        goState(lx).held = true;
        goState(lx).heldKey = ";";
        goState(lx).heldPlace = goState(lx).semiPlace;
    }
    goState(lx).insertSemi = false;
}

// The lexer's steps: between tokens, layout hands out a waiting semicolon
// unless the next token drops it, then starts what follows.
struct GoSteps : KitSteps<GoSteps> {
    // Skips blanks, line ends, a byte order mark at the start, and comments
    // whose words are not tokens; notes where an inserted semicolon would
    // stand, and the header's lines. Stops at a comment that is a token
    // (Stop::Comment, GoLexState::comment telling which), and at the line
    // feed of a blank line in the header after a +build constraint
    // (Stop::DirectiveEnd). While an import may come, holds the comments
    // before a token, and reads them again when they hold a token. Leaves at
    // least kLexLookahead bytes readable after pos, or all that remain.
    static Stop skipLayout(Lexer &lx)
    {
        GoLexState &st = goState(lx);
        const char *w = lx.window;
        std::size_t i = lx.pos;
        for (;;) {
            skipBlanks(lx, i, isGoBlank);
            if (w[i] == '\n') {
                notePlace(lx, i);
                if (st.header && !st.lineComment && st.plusSinceBlank) {
                    st.plusSinceBlank = false;
                    lx.pos = lx.pieceStart = i;
                    return Stop::DirectiveEnd;
                }
                st.lineComment = st.lineChecked = false;
                newLine(lx, i);
                ++i;
                continue;
            }
            if (refillShortKeeping(lx, i, st.holding ? heldAt(lx) : i)) {
                if (st.holding && lx.end - i < kLexLookahead && !lx.ended) {
                    refuseSource(lx, kDirectiveTooLong);
                    return Stop::InputEnd;
                }
                continue;
            }
            lx.pos = i;
            lx.pieceStart = st.holding ? heldAt(lx) : i;
            if (i == 0 && byteOrderMarkAt(lx, i)) {
                i = 3;
                continue;
            }
            if (w[i] == '/' && (w[i + 1] == '*' || w[i + 1] == '/')) {
                notePlace(lx, i);
                const std::int64_t at = lx.base + static_cast<std::int64_t>(i);
                if (st.holding || (st.imports && at >= st.replayTo)) {
                    if (!holdComment(lx, i))
                        return Stop::InputEnd;
                    continue;
                }
                if (at == st.preambleAt) {
                    st.comment = GoComment::Preamble;
                    return Stop::Comment;
                }
                st.comment = classify(lx, i);
                st.header = st.header && w[i + 1] == '/';  // a line that starts with "/*" ends it
                st.lineComment = st.lineComment || w[i + 1] == '/';
                if (st.comment != GoComment::Plain || commentIsToken(lx, i, w[i + 1] == '*'))
                    return Stop::Comment;
                continue;
            }
            if (st.holding && releaseHeld(lx, i))
                continue;
            if (i >= lx.end)
                notePlace(lx, i);
            if (st.header && i < lx.end) {
                st.lineChecked = st.lineChecked || blankToTrimSpace(lx, i);
                st.header = st.lineChecked;
                if (lexerRefusal(lx))
                    return Stop::InputEnd;
            }
            return tokenOrEnd(lx, i);
        }
    }

    static bool startToken(Lexer &lx, TokenPiece &piece)
    {
        resolveInsertion(lx, false);
        if (goState(lx).held && dropsHeld(lx))
            goState(lx).held = false;
        // Every entry of a group ends in a ';', the last one too, so that
        // the entries sort alike (--sorted-imports).
        if (!goState(lx).held && goState(lx).prev != GoPrev::Semicolon && closesGroup(lx)) {
            goState(lx).held = true;
            goState(lx).heldKey = ";";
            goState(lx).heldPlace = placeAt(lx, lx.pos);
        }
        if (giveHeld(lx, piece))
            return true;
        if (lx.window[lx.pos] == ';' || lx.window[lx.pos] == ',') {
            holdWritten(lx);
            return false;
        }
        return tokenStart(lx, piece);
    }
    static bool openComment(Lexer &lx, TokenPiece &piece)
    {
        if (goState(lx).comment != GoComment::Plain)
            return directive(lx, piece);
        return KitSteps::openComment(lx, piece);
    }
    static bool inputEnd(Lexer &lx, TokenPiece &piece)
    {
        resolveInsertion(lx, true);
        return giveHeld(lx, piece) || KitSteps::inputEnd(lx, piece);
    }
    // A blank line ends the header's +build constraints before it.
    static bool directiveEnd(Lexer &lx, TokenPiece &piece)
    {
        setWholePiece(lx, piece, TokenKind::LineEnd, "\n", placeAt(lx, lx.pos));
        return true;
    }

    // Goes on with a run of name bytes that ends the current token. Out of
    // line, which leaves the step between tokens inline in kitNext: a call
    // there, once a token, cost Go's lexer some 3% of its instructions.
    __attribute__((noinline)) static bool name(Lexer &lx, TokenPiece &piece)
    {
        const char *w = lx.window;
        std::size_t i = lx.pos;
        if (!runOver(lx, i, isNameByte))
            return pauseAt(lx, piece, lx.pos);
        lx.pos = i;
        bool insertSemi = true;
        GoPrev prev = GoPrev::Operand;
        if (lx.firstPiece) {  // a name in pieces is longer than any keyword
            insertSemi = false;
            prev = keyword(lx, w + lx.pieceStart, i - lx.pieceStart, insertSemi);
        }
        const GoPrev before = goState(lx).prev;
        const bool inGroup = innermost(lx) == GoBracket::Group;
        const bool declName = prev == GoPrev::Operand &&
                              (before == GoPrev::KeyGroup ||
                               (inGroup && (before == GoPrev::Semicolon || before == GoPrev::Other)));
        const bool import = lx.firstPiece && i - lx.pieceStart == 6 && std::memcmp(w + lx.pieceStart, "import", 6) == 0;
        finishToken(lx, piece);
        afterToken(lx, prev, insertSemi);
        goState(lx).declName = declName;
        goState(lx).importWord = import;
        return true;
    }

    // Goes on with a number: digits of its base and '_', a '.', an exponent with
    // its sign, an 'i', as far as the compiler's scanner takes them.
    static bool number(Lexer &lx, TokenPiece &piece)
    {
        const char *w = lx.window;
        std::size_t i = lx.pos;
        int &phase = goState(lx).numberPhase;
        const int base = goState(lx).numberBase;
        for (;;) {
            if (!readable(lx, i, 1))
                return pauseAt(lx, piece, lx.pos);
            char c = i < lx.end ? w[i] : 0;
            char e = lower(c);
            if (phase == kExponentSign) {
                phase = kExponentDigits;
                if (c == '+' || c == '-') {
                    ++i;
                    continue;
                }
            }
            bool digit = phase == kExponentDigits ? isDigit(c) : isDigitOf(c, base);
            if (digit || c == '_') {
                ++i;
            } else if (c == '.' && phase == kDigits) {
                phase = kFraction;
                ++i;
            } else if ((e == 'e' || e == 'p') && phase != kExponentDigits) {
                phase = kExponentSign;
                ++i;
            } else {
                if (c == 'i')
                    ++i;
                break;
            }
        }
        lx.pos = i;
        if (lx.firstPiece)
            normalizeNumber(lx);
        finishToken(lx, piece);
        afterToken(lx, GoPrev::Operand, true);
        return true;
    }

    // Starts a number at pos: its prefix, then numberStep.
    static bool numberStart(Lexer &lx, TokenPiece &piece)
    {
        const char *w = lx.window + lx.pos;
        goState(lx).numberBase = 10;
        goState(lx).numberPhase = kDigits;
        if (w[0] == '.') {
            goState(lx).numberPhase = kFraction;
            lx.pos += 1;
        } else if (w[0] == '0' && (lower(w[1]) == 'x' || lower(w[1]) == 'o' || lower(w[1]) == 'b')) {
            goState(lx).numberBase = lower(w[1]) == 'x' ? 16 : lower(w[1]) == 'o' ? 8 : 2;
            lx.pos += 2;
        }
        lx.mode = LexMode::Number;
        return number(lx, piece);
    }

    // Goes on with an interpreted string or a rune to its closing quote; one that
    // meets a line feed or the input's end stops there.
    static bool quoted(Lexer &lx, TokenPiece &piece)
    {
        std::size_t i = lx.pos;
        if (!quotedRun(lx, i, lx.quote, '\\', false))
            return pauseAt(lx, piece, lx.pos);
        finishAt(lx, piece, i);
        afterToken(lx, GoPrev::Operand, true);
        return true;
    }

    // Goes on with a raw string to its closing backquote, its carriage returns
    // taken out of the key.
    static bool raw(Lexer &lx, TokenPiece &piece)
    {
        const char *w = lx.window;
        std::size_t i = lx.pos;
        for (;;) {
            // A CR needs the byte after it: a CR that ends the input stays.
            if (!runOver(lx, i, isRawPlain) || (w[i] == '\r' && !readable(lx, i, 2)))
                return pauseAt(lx, piece, lx.pos);
            if (w[i] == '`' || i >= lx.end) {
                i += w[i] == '`' ? 1 : 0;
                break;
            }
            // A carriage return that ends the input, and so an unterminated raw
            // string, stays: the token's last piece is never empty.
            if (w[i] == '\r' && i + 1 < lx.end) {
                bool some = i > lx.pieceStart || lx.firstPiece;
                if (some)
                    setPiece(lx, piece, lx.pieceStart, i, false);
                lx.pos = lx.pieceStart = i + 1;
                if (some)
                    return true;
                i = lx.pos;
                continue;
            }
            if (w[i] == '\n')
                newLine(lx, i);
            ++i;
        }
        lx.pos = i;
        finishToken(lx, piece);
        afterToken(lx, GoPrev::Operand, true);
        return true;
    }

    // Starts the token at pos.
    static bool tokenStart(Lexer &lx, TokenPiece &piece)
    {
        const char *w = lx.window + lx.pos;
        beginToken(lx, TokenKind::Code);
        char c = w[0];
        if (isDigit(c) || (c == '.' && isDigit(w[1])))
            return numberStart(lx, piece);
        if (isNameByte(c)) {
            lx.mode = LexMode::Name;
            return name(lx, piece);
        }
        if (c == '"' || c == '\'') {
            lx.quote = c;
            ++lx.pos;
            lx.mode = LexMode::Quoted;
            return quoted(lx, piece);
        }
        if (c == '`') {
            ++lx.pos;
            lx.mode = LexMode::Raw;
            return raw(lx, piece);
        }
        return operatorStart(lx, piece);
    }

    // Hands out the directive or constraint comment at pos (GoLexState::comment)
    // as a token: its key made in place where its line is in the window, else
    // its text as written (lineTokenStep); a /*line directive as written.
    static bool directive(Lexer &lx, TokenPiece &piece)
    {
        GoLexState &st = goState(lx);
        const GoComment kind = st.comment;
        st.comment = GoComment::Plain;
        beginToken(lx, TokenKind::Code);
        if (kind == GoComment::LineBlock)
            return lineBlockToken(lx, piece);
        if (kind == GoComment::Preamble) {
            st.preambleNext = lx.base + static_cast<std::int64_t>(lx.pos);
            st.inComment = false;
            lx.mode = LexMode::Verbatim;
            return verbatim(lx, piece);
        }
        if (kind == GoComment::PlusBuild && st.header)
            st.plusSinceBlank = true;
        for (;;) {
            char *w = lx.window;
            const std::size_t e = lineFeedFrom(lx, lx.pos);
            if (e < lx.end || lx.ended) {
                std::size_t c = e;
                if (c > lx.pos && w[c - 1] == '\r')
                    --c;
                const std::size_t key = kind == GoComment::Directive ? c : constraintKey(w, lx.pos, c, kind);
                setPiece(lx, piece, lx.pos, key, true);
                markEnd(lx, c);
                lx.pos = lx.pieceStart = c;
                return true;
            }
            if (lx.pos == 0) {
                lx.mode = LexMode::Line;
                return lineTokenStep(lx, piece, false);
            }
            refill(lx, lx.pos);
        }
    }

    // Hands out the next piece of the cgo preamble (GoLexState::preambleNext):
    // its comments as written but the CR of a CR LF, each line comment with its
    // line feed, none of the layout between them.
    static bool verbatim(Lexer &lx, TokenPiece &piece)
    {
        GoLexState &st = goState(lx);
        const char *w = lx.window;
        const std::size_t end = static_cast<std::size_t>(st.preambleEnd - lx.base);
        std::size_t p = static_cast<std::size_t>(st.preambleNext - lx.base);
        const bool atStart = !st.inComment;
        if (atStart) {
            for (; isGoBlank(w[p]) || w[p] == '\n'; ++p)
                if (w[p] == '\n')
                    newLine(lx, p);
            st.inComment = true;
            lx.commentIsBlock = w[p + 1] == '*';
        }
        // To the comment's end (a line comment's line feed included) or a CR
        // before a line feed; never empty: a comment's first piece holds its
        // opening, a later one starts at the line feed after the CR.
        std::size_t q = atStart ? p + 2 : p;
        bool ends = false;
        for (; q < end; ++q) {
            if (w[q] == '\r' && w[q + 1] == '\n')
                break;
            if (w[q] == '\n') {
                newLine(lx, q);
                if (!lx.commentIsBlock) {
                    ends = true;
                    ++q;
                    break;
                }
            } else if (lx.commentIsBlock && w[q] == '*' && w[q + 1] == '/') {
                ends = true;
                q += 2;
                break;
            }
        }
        ends = ends || q >= end;
        st.inComment = !ends;
        st.preambleNext = lx.base + static_cast<std::int64_t>(ends ? q : q + 1);
        const bool last = ends && q >= end;
        setPiece(lx, piece, p, q, last);
        if (last) {
            markEnd(lx, end);
            lx.pos = lx.pieceStart = end;
            lx.mode = LexMode::Between;
            st.preambleAt = -1;
        }
        return true;
    }
};

} // namespace

extern const LexerHooks kGoLexer = {kitStart<GoLexState>, kitNext<GoSteps>, nullptr, &kGoImports, false, nullptr};
