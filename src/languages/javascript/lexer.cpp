// The JavaScript and TypeScript lexer: ECMAScript tokens by longest match,
// regular expressions told from division by the token before, template
// literals with their holes lexed as tokens, JSX where the language has it;
// a line end is layout except where automatic semicolon insertion puts a
// semicolon there, and there it is the Code token ";".
//
// Choices beyond the plain lexical rules:
// - a ';' is inserted at a line end when the token before can end a statement
//   and the next one cannot go on with it (decided from the two tokens and
//   the open frames: never inside (), [] or a template hole), always after
//   return, break, continue, throw, yield and debugger, before a postfix ++
//   or --, "=>", "as" and "satisfies" on a new line; before a '}' that closes
//   a brace, and at the input's end, where the token before can end one;
// - after the '}' of an import or export list (only "from" goes on with it
//   on the next line) and of an import's attributes ("with { ... }"), a line
//   end inserts a ';' as after return; after the ')' that ends a do statement
//   whose body is a block, a ';' is inserted before any token but ';', on the
//   same line too, as ECMAScript says; a line end in or right after a
//   decorator inserts none, and what follows one at a statement's start
//   starts it (a decorated class is a declaration);
// - a '}' of a block or a declaration's body ends no expression, one of an
//   object literal, a function expression or an arrow body does; which one a
//   '{' opens is told from the token before it;
// - ">>" and ">>>" are '>' tokens (TypeScript generics), ">=", ">>=" and
//   ">>>=" stay whole;
// - strings, templates and regular expressions keep their spelling, the CR
//   of a CR LF inside them dropped; HTML-like comments are not recognized;
// - JSX text is words and blank runs as React reads it: a run holding a line
//   end is one blank between words and nothing at the text's ends, one
//   without is its blanks; a {" "} child is a blank;
// - past kScriptNesting open frames the rest of the source is its words and
//   line ends, every line end a token.
//
// Where the two tokens around a line end cannot tell, the line end is layout
// only where the joined text would not parse otherwise, so a wrong guess is a
// false alarm: a '{' on the line after ')' (a method's or function's body),
// the ')' of a do statement whose body is no block and an arrow body's '}'
// before '(' insert nothing. Known miss: yield taken as a keyword where a sloppy script names
// a variable so. With LexOptions::comments an inserted ';' comes
// after the words of the comments before the next token.
//
// Comments that tools read as code are tokens, where they stand (before an
// inserted ';', as comment words): a triple-slash directive ("///" then '<',
// TypeScript's <reference .../> and <amd-module .../>), its key "///" and
// its text with the blanks outside quotes run together into one, and none
// at its ends, next to '=' or before "/>";
// and in any comment an '@' that starts (in any case) jsx, jsxFrag,
// jsxImportSource, jsxRuntime, flow, noflow, ts-check, ts-nocheck (each
// alone: then a blank, a line end, ':' or the comment's end), ts-ignore or
// ts-expect-error (then anything, as TypeScript matches them), its key "//@"
// and the name as written, and but for the ts- names the next run of
// non-blank bytes after it, the pragma's argument as any tool may read it,
// with a blank before it when it stands on the name's line, a line feed
// when on a later one. Such a token takes the place of its words, which
// LexOptions::comments gives of the rest of the comment. A directive
// whose argument ends more than kScriptDirective bytes after its '@' is
// refused.
#include <cstring>

#include "languages/javascript/state.h"
#include "tokens/kit.h"
#include "tokens/lexer.h"

namespace {

constexpr std::size_t kSpaceRun = 64;  // blanks of a JSX blank token handed out per piece
const char kSpaces[kSpaceRun + 1] = "                                                                ";

bool isNameByte(char c)
{
    return byteClass(c) & kNameC;
}

bool isDigit(char c)
{
    return byteClass(c) & kDigit;
}

// Layout between tokens: blanks and line feeds.
bool isLayoutByte(char c)
{
    return (byteClass(c) & kBlank) || c == '\n';
}

// Bytes that need no decision inside a template literal's text, a regular
// expression and a word of JSX text.
bool isTemplatePlain(char c)
{
    return c != '`' && c != '\\' && c != '$' && c != '\n' && c != '\r' && c != 0;
}

bool isRegexPlain(char c)
{
    return c != '\n' && c != '\r' && c != '/' && c != '[' && c != ']' && c != '\\' && c != 0;
}

bool isJsxWordByte(char c)
{
    return !(byteClass(c) & kBlank) && c != '\n' && c != '<' && c != '{' && c != 0;
}

// True when a name starts at p: a name byte that is no digit, or "\u".
bool isNameStart(const char *p)
{
    return (isNameByte(p[0]) && !isDigit(p[0])) || (p[0] == '\\' && p[1] == 'u');
}

bool hasJsx(const Lexer &lx)
{
    return lx.language == Language::JavaScript || lx.language == Language::Tsx;
}

ScriptFrame top(const ScriptLexState &s)
{
    return s.depth > 0 ? s.frames[s.depth - 1] : ScriptFrame::None;
}

// Opens frame; past kScriptNesting the rest of the source goes loose (strict).
void push(ScriptLexState &s, ScriptFrame frame)
{
    if (s.depth == kScriptNesting) {
        s.loose = true;
        return;
    }
    s.frames[s.depth++] = frame;
}

// Closes the innermost frame when it is one of a or b.
void popIf(ScriptLexState &s, ScriptFrame a, ScriptFrame b)
{
    if (s.depth > 0 && (top(s) == a || top(s) == b))
        --s.depth;
}

// Lists asked about the last name, and about the name after a line break.
constexpr ScriptWords kControlSet(kControlWords);
constexpr ScriptWords kBlockSet(kBlockWords);
constexpr ScriptWords kDoSet(" do ");
constexpr ScriptWords kImportSet(" import ");
constexpr ScriptWords kGoesOnSet(" in instanceof extends implements ");

bool lastWordIn(const ScriptLexState &s, const ScriptWords &set)
{
    return set.has(s.word, s.wordLength);
}

// Clears what is known of the last token beyond its class, for a token
// that is none of those.
void forgetLast(ScriptLexState &s)
{
    s.doEnded = s.doWhile = s.semicolonDue = s.lastString = s.fromMayFollow = s.specifierNext = false;
    s.listNext = ScriptList::None;
}

// Marks frame d as a do statement's block body or its while's '(', or not.
void markDo(ScriptLexState &s, std::size_t d, bool mark)
{
    const std::uint64_t bit = std::uint64_t{1} << (d % 64);
    s.doFrames[d / 64] = mark ? s.doFrames[d / 64] | bit : s.doFrames[d / 64] & ~bit;
}

bool markedDo(const ScriptLexState &s, std::size_t d)
{
    return (s.doFrames[d / 64] >> (d % 64)) & 1;
}

// Records a Code token that ended at pos (already handed out) as cls.
void noteCode(Lexer &lx, ScriptPrev cls)
{
    ScriptLexState &s = scriptState(lx);
    s.prev = cls;
    s.stmtStart = cls == ScriptPrev::Start;
    s.importing = s.importing && !s.stmtStart;
    s.lastEnd = lx.endPlace;
    s.lastLine = lx.endPlace.line;
    s.scan = ScriptScan::Between;
    s.tagStart = false;
    s.wordLength = 0;
    s.prevByte = 0;
    s.memberFirst = s.memberNext;
    s.memberNext = false;
    forgetLast(s);
}

// Hands out the current token, ending at pos, as a Code token of class cls.
bool finishCode(Lexer &lx, TokenPiece &piece, ScriptPrev cls)
{
    finishToken(lx, piece);
    noteCode(lx, cls);
    return true;
}

// The comments tools read as code (see the top).

bool lowerIs(const char *p, const char *word)
{
    for (; *word; ++p, ++word)
        if ((*p >= 'A' && *p <= 'Z' ? *p - 'A' + 'a' : *p) != *word)
            return false;
    return true;
}

constexpr std::size_t kDirectiveName = 18;  // bytes after an '@' that tell a directive's name

// What the '@' at window offset i of a comment (block or not) starts: 0
// nothing, 1 a directive alone, 2 a directive with an argument; name is set
// to the bytes of its name (a prefix name's own). Needs kDirectiveName bytes
// after i readable (or all that remain).
int directiveAt(const Lexer &lx, std::size_t i, bool block, std::size_t &name)
{
    static const char *const kWithArgument[] = {"jsximportsource", "jsxruntime", "jsxfrag", "jsx", "noflow", "flow"};
    static const char *const kAlone[] = {"ts-nocheck", "ts-check"};
    static const char *const kPrefixes[] = {"ts-expect-error", "ts-ignore"};
    const char *w = lx.window;
    const std::size_t limit = std::min(lx.end, i + kDirectiveName);
    // The name's run: to a blank, a line end, ':' or the comment's end.
    std::size_t n = i + 1;
    while (n < limit && !(byteClass(w[n]) & kBlank) && w[n] != '\n' && w[n] != ':' &&
           !(block && w[n] == '*' && w[n + 1] == '/'))
        ++n;
    const std::size_t run = n - i - 1;
    for (const char *p : kPrefixes)
        if (run >= std::strlen(p) && lowerIs(w + i + 1, p)) {
            name = std::strlen(p);
            return 1;
        }
    if (n == limit && limit < lx.end)
        return 0;  // longer than any name
    for (const char *p : kWithArgument)
        if (run == std::strlen(p) && lowerIs(w + i + 1, p)) {
            name = run;
            return 2;
        }
    for (const char *p : kAlone)
        if (run == std::strlen(p) && lowerIs(w + i + 1, p)) {
            name = run;
            return 1;
        }
    return 0;
}

// True when the comment at window offset i may hold a directive: it starts
// "///" and '<', or an '@' in it starts a directive, or it ends past the
// window, or an '@' too near the window's end to tell. Else after is where
// it ends: a line comment's line feed (or the input's end), just after a
// block comment's "*/", or the input's end when that never comes.
bool mayHoldDirective(const Lexer &lx, std::size_t i, std::size_t &after)
{
    const char *w = lx.window;
    const std::size_t from = i + 2;
    const bool block = w[i + 1] == '*';
    std::size_t end = lx.end;
    if (!block) {
        const void *lf = std::memchr(w + from, '\n', lx.end - from);
        if (!lf && !lx.ended)
            return true;
        end = lf ? static_cast<std::size_t>(static_cast<const char *>(lf) - w) : lx.end;
        std::size_t k = from + (w[from] == '/');
        while (k < end && (w[k] == ' ' || w[k] == '\t'))
            ++k;
        if (w[from] == '/' && k < end && w[k] == '<')
            return true;
        after = end;
    } else {
        for (std::size_t k = from;;) {
            const void *star = std::memchr(w + k, '*', lx.end - k);
            k = star ? static_cast<std::size_t>(static_cast<const char *>(star) - w) + 1 : lx.end;
            if (k >= lx.end && !lx.ended)
                return true;
            if (k >= lx.end || w[k] == '/') {
                end = k >= lx.end ? lx.end : k - 1;
                after = k >= lx.end ? lx.end : k + 1;
                break;
            }
        }
    }
    for (const char *at = w + from; (at = static_cast<const char *>(std::memchr(at, '@', w + end - at))); ++at) {
        const std::size_t k = static_cast<std::size_t>(at - w);
        std::size_t name = 0;
        if ((k + kDirectiveName > lx.end && !lx.ended) || directiveAt(lx, k, block, name))
            return true;
    }
    return false;
}

// Hands out the directive whose '@' stands at pos (directiveAt gave kind
// and name), in a comment open as the shared layer's: its key, then pos
// after its argument, the line ends before that counted. Refuses the source
// when the argument ends too far off. True when piece is filled.
bool directiveToken(Lexer &lx, TokenPiece &piece, int kind, std::size_t name)
{
    ScriptLexState &s = scriptState(lx);
    const std::size_t at = lx.pos;
    lx.pieceStart = at;
    ensureAhead(lx, kScriptDirective);
    const char *w = lx.window;
    const std::size_t i = lx.pos, limit = lx.end;
    std::size_t key = 0;
    std::memcpy(s.directive, "//@", 3);
    std::memcpy(s.directive + 3, w + i + 1, name);
    key = 3 + name;
    std::size_t end = i + 1 + name;
    const TokenPlace place = placeAt(lx, i);
    if (kind == 2) {
        std::size_t k = end;
        bool sameLine = true;
        while (k < limit && ((byteClass(w[k]) & kBlank) || (w[k] == '\n' && lx.commentIsBlock))) {
            sameLine = sameLine && w[k] != '\n';
            ++k;
        }
        std::size_t a = k;
        while (a < limit && !(byteClass(w[a]) & kBlank) && w[a] != '\n' &&
               !(lx.commentIsBlock && w[a] == '*' && w[a + 1] == '/'))
            ++a;
        if (a - i > kScriptDirective || (a == limit && !lx.ended)) {
            refuseSource(lx, kDirectiveTooLong);
            lx.pos = lx.end;
            lx.mode = LexMode::Finished;
            finishStream(lx, piece);
            return true;
        }
        if (a > k) {
            s.directive[key++] = sameLine ? ' ' : '\n';
            std::memcpy(s.directive + key, w + k, a - k);
            key += a - k;
            for (std::size_t j = end; j < k; ++j)
                if (w[j] == '\n')
                    newLine(lx, j);
            end = a;
        }
    }
    piece = TokenPiece{};
    piece.kind = TokenKind::Code;
    piece.place = place;
    piece.bytes = s.directive;
    piece.length = key;
    lx.firstPiece = true;
    lx.pos = lx.pieceStart = end;
    markEnd(lx, end);
    return true;
}

// The triple-slash directive "///" at pos, whose '<' follows: hands out its
// key (see the top), made in place where its line is in the window, else its
// text as written, from the window (lineTokenStep).
bool tripleSlashToken(Lexer &lx, TokenPiece &piece)
{
    beginToken(lx, TokenKind::Code);
    lx.commentIsBlock = false;
    char *w = lx.window;
    const std::size_t i = lx.pos;
    const void *lf = std::memchr(w + i, '\n', lx.end - i);
    if (!lf && !lx.ended) {
        lx.mode = LexMode::Line;
        return lineTokenStep(lx, piece, true);
    }
    const std::size_t lineEnd = lf ? static_cast<std::size_t>(static_cast<const char *>(lf) - w) : lx.end;
    std::size_t end = lineEnd;
    while (end > i + 3 && (byteClass(w[end - 1]) & kBlank))
        --end;
    std::size_t to = i + 3, from = i + 3;
    char quote = 0;
    while (from < end && (byteClass(w[from]) & kBlank))
        ++from;
    for (; from < end; ++from) {
        const char c = w[from];
        if (quote == 0 && (byteClass(c) & kBlank)) {
            // One blank for a run, none next to '=' or before "/>".
            std::size_t next = from;
            while (next < end && (byteClass(w[next]) & kBlank))
                ++next;
            if (w[to - 1] != '=' && w[next] != '=' && !(w[next] == '/' && w[next + 1] == '>'))
                w[to++] = ' ';
            from = next - 1;
            continue;
        }
        if (quote == 0 && (c == '"' || c == '\''))
            quote = c;
        else if (c == quote)
            quote = 0;
        w[to++] = c;
    }
    setPiece(lx, piece, i, to, true);
    markEnd(lx, end);
    lx.pos = lx.pieceStart = lineEnd;
    return true;
}

// True when the comment at pos is a triple-slash directive: "///", blanks,
// '<' (or blanks to the window's end).
bool tripleSlashAt(const Lexer &lx)
{
    const char *w = lx.window;
    std::size_t k = lx.pos + 3;
    if (w[lx.pos + 1] != '/' || w[lx.pos + 2] != '/' || k > lx.end)
        return false;
    while (k < lx.end && (w[k] == ' ' || w[k] == '\t'))
        ++k;
    return k < lx.end ? w[k] == '<' : !lx.ended;
}

// True when the '@' at window offset at, inside a comment word, starts a
// directive, which ends the word before it.
bool directiveEndsWord(Lexer &lx, std::size_t at)
{
    std::size_t name = 0;
    return directiveAt(lx, at, lx.commentIsBlock, name) != 0;
}

// The directive whose '@' stands at pos in a comment (directiveEndsWord
// holds there), handed out; always true.
bool directiveHere(Lexer &lx, TokenPiece &piece)
{
    std::size_t name = 0;
    const int kind = directiveAt(lx, lx.pos, lx.commentIsBlock, name);
    return directiveToken(lx, piece, kind, name);
}

// Bytes of the punctuator at p by longest match; ">>" and ">>>" count one
// (each '>' a token), "?." before a digit counts one.
std::size_t punctuatorLength(const char *p)
{
    char a = p[1];
    switch (p[0]) {
    case '+': case '-': return a == p[0] || a == '=' ? 2 : 1;
    case '%': case '^': return a == '=' ? 2 : 1;
    case '/': return a == '=' ? 2 : 1;
    case '*':
        if (a == '*')
            return p[2] == '=' ? 3 : 2;
        return a == '=' ? 2 : 1;
    case '&': case '|':
        if (a == p[0])
            return p[2] == '=' ? 3 : 2;
        return a == '=' ? 2 : 1;
    case '=':
        if (a == '=')
            return p[2] == '=' ? 3 : 2;
        return a == '>' ? 2 : 1;
    case '!':
        if (a == '=')
            return p[2] == '=' ? 3 : 2;
        return 1;
    case '<':
        if (a == '<')
            return p[2] == '=' ? 3 : 2;
        return a == '=' ? 2 : 1;
    case '>':
        if (a == '=')
            return 2;
        if (a == '>' && p[2] == '=')
            return 3;
        if (a == '>' && p[2] == '>' && p[3] == '=')
            return 4;
        return 1;
    case '?':
        if (a == '?')
            return p[2] == '=' ? 3 : 2;
        return a == '.' && !isDigit(p[2]) ? 2 : 1;
    case '.': return a == '.' && p[2] == '.' ? 3 : 1;
    default: return 1;
    }
}

// True when the token at pos, after a line end, can go on with an expression
// that the last token ended; then no semicolon is inserted.
bool continues(const Lexer &lx)
{
    const ScriptLexState &s = scriptState(lx);
    const char *p = lx.window + lx.pos;
    // In a type's or an object's members, "get" or "set" on a line of its own
    // starts an accessor ("get\n  a(): T"), as TypeScript reads a type
    // member and ECMAScript an object's or a class's.
    if ((top(s) == ScriptFrame::TypeBody || top(s) == ScriptFrame::Object) && lastWordIn(s, kAccessorSet))
        return true;
    // Between an interface's members only these go on with a member's type,
    // and '(' with a member's name ("a\n  (b): c" and "[a]\n  (b): c" are
    // methods; after a type's ']' it is a false alarm, never a miss).
    if (top(s) == ScriptFrame::TypeBody && p[0] != '|' && p[0] != '&' && p[0] != ':' && p[0] != '?' &&
        p[0] != ',' && p[0] != ';' && p[0] != '>' && (p[0] != '(' || !(s.memberFirst || s.prevByte == ']')) &&
        (p[0] != '.' || p[1] == '.') &&
        (p[0] != '=' || p[1] == '>') && !(std::strncmp(p, "extends", 7) == 0 && !isNameByte(p[7])))
        return false;
    switch (p[0]) {
    case '(': case '[': case ',': case '?': case ':': case ')': case ']': case ';': case '`':
    case '*': case '%': case '&': case '|': case '^': case '<': case '>': case '/':
        return true;
    case '.': return !isDigit(p[1]) && !(p[1] == '.' && p[2] == '.');
    case '=': return p[1] != '>';
    case '!': return p[1] == '=';
    case '+': case '-': return p[1] != p[0];
    case '{': return s.prevByte == ')' || (s.pending && s.pendingDepth == s.depth);
    default: break;
    }
    std::size_t n = 0;
    while (n < kScriptWord && isNameByte(p[n]))
        ++n;
    return kGoesOnSet.has(p, n);
}

// True when a ';' goes before the token at pos: the token before can end a
// statement, and the next one is a '}' that closes a brace, or stands on a
// new line and cannot go on with it.
bool insertsSemicolon(Lexer &lx)
{
    const ScriptLexState &s = scriptState(lx);
    if (s.semicolonDue)
        return lx.window[lx.pos] != ';';
    if ((s.prev != ScriptPrev::Operand && s.prev != ScriptPrev::Restricted) ||
        s.decorator == ScriptDecorator::Name || s.decorator == ScriptDecorator::Done)
        return false;
    ScriptFrame f = top(s);
    if (f != ScriptFrame::None && f != ScriptFrame::Block && f != ScriptFrame::Object && f != ScriptFrame::TypeBody)
        return false;
    if (lx.window[lx.pos] == '}')
        return f != ScriptFrame::None;
    if (placeAt(lx, lx.pos).line <= s.lastLine)
        return false;
    const char *p = lx.window + lx.pos;
    const bool from = std::strncmp(p, "from", 4) == 0 && !isNameByte(p[4]);
    if (s.prev == ScriptPrev::Restricted)
        return p[0] != ';' && !(s.fromMayFollow && from);
    // An import's from, and the string after an import's or export's from, go on with it.
    if ((s.importing && from) || (s.specifierNext && (p[0] == '"' || p[0] == '\'')))
        return false;
    return !continues(lx);
}

// Hands out an inserted ';' just after the last token.
bool insertSemicolon(Lexer &lx, TokenPiece &piece)
{
    ScriptLexState &s = scriptState(lx);
    setWholePiece(lx, piece, TokenKind::Code, ";", s.lastEnd);
    s.prev = ScriptPrev::Start;
    s.stmtStart = true;
    s.wordLength = 0;
    s.prevByte = ';';
    s.memberNext = top(s) == ScriptFrame::TypeBody;
    s.memberFirst = false;
    forgetLast(s);
    s.importing = false;
    if (s.decorator != ScriptDecorator::Args)
        s.decorator = ScriptDecorator::None;
    if (s.pending && s.pendingDepth == s.depth)
        s.pending = false;
    return true;
}

// Goes on with a name: name bytes, "\u" escapes, and a JSX name's '-' inside a tag.
bool nameStep(Lexer &lx, TokenPiece &piece)
{
    ScriptLexState &s = scriptState(lx);
    const char *w = lx.window;
    bool tag = top(s) == ScriptFrame::JsxTag || top(s) == ScriptFrame::JsxClosing;
    std::size_t i = lx.pos;
    for (;;) {
        while (isNameByte(w[i]) || (tag && w[i] == '-'))
            ++i;
        if (!readable(lx, i, 12))
            return pauseAt(lx, piece, lx.pos);
        if (isNameByte(w[i]) || (tag && w[i] == '-'))
            continue;
        if (w[i] != '\\' || w[i + 1] != 'u')
            break;
        i += 2;
        if (w[i] == '{') {
            ++i;
            while (byteClass(w[i]) & kNameC && w[i] != '}' && i < lx.end)
                ++i;
            i += w[i] == '}' ? 1 : 0;
        }
    }
    lx.pos = i;
    if (s.regexFlags) {
        s.regexFlags = false;
        return finishCode(lx, piece, ScriptPrev::Operand);
    }
    bool whole = lx.firstPiece;
    std::size_t length = i - lx.pieceStart;
    const char *name = w + lx.pieceStart;
    ScriptPrev cls = ScriptPrev::Operand;
    bool keepStart = false;
    const bool startBefore = s.stmtStart, stringBefore = s.lastString, doEndedBefore = s.doEnded;
    const bool fromBefore = s.fromMayFollow || s.prevByte == '*';
    const ScriptList listBefore = s.listNext;
    const bool member = s.prevByte == '.';  // a member's name: never a keyword ("x.for(y)", "p.catch(f)")
    if (whole && name[0] != '#' && !tag && !member) {
        if (kRestrictedSet.has(name, length))
            cls = ScriptPrev::Restricted;
        else if (length == 4 && std::memcmp(name, "void", 4) == 0 && lx.language != Language::JavaScript)
            cls = ScriptPrev::Operand;  // TypeScript: more often the type than the operator
        else if (kOperatorSet.has(name, length))
            cls = ScriptPrev::Operator;
        else if (lx.language != Language::JavaScript && kTypeOperatorSet.has(name, length))
            cls = ScriptPrev::Operator;
        else if (s.prev == ScriptPrev::Start && kAccessorSet.has(name, length))
            cls = ScriptPrev::Head;  // a class member's get or set: its name may follow on the next line
        else if (kHeadSet.has(name, length))
            cls = ScriptPrev::Head;
        keepStart = s.stmtStart && kModifierSet.has(name, length);
        if (kBodySet.has(name, length)) {
            s.pending = true;
            s.pendingDepth = s.depth;
            s.pendingExpr = !s.stmtStart;
            s.pendingType = length == 9 && std::memcmp(name, "interface", 9) == 0;
        }
    }
    finishCode(lx, piece, cls);
    s.stmtStart = s.stmtStart || keepStart;
    s.wordLength = whole && length < kScriptWord && !member ? length : 0;
    std::memcpy(s.word, name, s.wordLength);
    if (whole && !tag) {
        s.doWhile = doEndedBefore && length == 5 && std::memcmp(name, "while", 5) == 0;
        if ((startBefore && kModuleSet.has(name, length)) ||
            (listBefore == ScriptList::Names && length == 4 && std::memcmp(name, "type", 4) == 0))
            s.listNext = ScriptList::Names;
        else if (stringBefore && kAttributeSet.has(name, length))
            s.listNext = ScriptList::Attributes;
        // The from of an import, or of an export after its list or '*', takes a string.
        const bool from = length == 4 && std::memcmp(name, "from", 4) == 0;
        s.specifierNext = from && (s.importing || fromBefore);
        if (startBefore && length == 6 && std::memcmp(name, "import", 6) == 0)
            s.importing = true;
        else if (from)
            s.importing = false;
    }
    return true;
}

// Goes on with a number: digits, letters and '_', one '.' and an exponent's
// sign in a decimal one.
bool numberStep(Lexer &lx, TokenPiece &piece)
{
    ScriptLexState &s = scriptState(lx);
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        // The bytes that need no decision, then 3 readable for the next one.
        if (!runOver(lx, i, [](char c) { return isNameByte(c) && c != 'e' && c != 'E'; }, 3))
            return pauseAt(lx, piece, lx.pos);
        const char c = w[i];
        const bool decimal = !s.numberRadix;
        if ((c == 'e' || c == 'E') && decimal && !s.numberExponent) {
            s.numberExponent = true;
            i += (w[i + 1] == '+' || w[i + 1] == '-') && isDigit(w[i + 2]) ? 2 : 1;
        } else if (isNameByte(c)) {
            ++i;
        } else if (c == '.' && decimal && !s.numberDot && !s.numberExponent) {
            s.numberDot = true;
            ++i;
        } else {
            break;
        }
    }
    lx.pos = i;
    return finishCode(lx, piece, ScriptPrev::Operand);
}

// Goes on with a string literal to its closing quote (lx.quote); a line end
// not escaped, or the input's end, ends it unterminated.
bool quotedStep(Lexer &lx, TokenPiece &piece)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        if (!runOver(lx, i, [](char c) { return !(byteClass(c) & kQuotedStop); }, 3))
            return pauseAt(lx, piece, lx.pos);
        const char c = w[i];
        if (c == lx.quote || c == '\n' || (c == '\r' && w[i + 1] == '\n') || i >= lx.end) {
            // Closed, or unterminated at the line end.
            lx.pos = c == lx.quote ? i + 1 : i;
            finishCode(lx, piece, ScriptPrev::Operand);
            scriptState(lx).lastString = true;
            return true;
        }
        // An escaped line end continues the string; it keeps its spelling.
        if (c == '\\' && w[i + 1] == '\r' && w[i + 2] == '\n') {
            newLine(lx, i + 2);
            i += 3;
        } else if (c == '\\' && w[i + 1] == '\n' && i + 1 < lx.end) {
            newLine(lx, i + 1);
            i += 2;
        } else {
            i += c == '\\' && i + 1 < lx.end ? 2 : 1;
        }
    }
}

// Goes on with a JSX attribute string: no escapes, line ends inside.
bool jsxStringStep(Lexer &lx, TokenPiece &piece)
{
    const char q = lx.quote;
    std::size_t i = lx.pos;
    for (;;) {
        if (!runOver(lx, i, [q](char c) { return c != q && c != '\r' && c != '\n' && c != 0; }, 2))
            return pauseAt(lx, piece, lx.pos);
        const char c = lx.window[i];
        if (c == q || i >= lx.end) {
            lx.pos = i < lx.end ? i + 1 : i;
            return finishCode(lx, piece, ScriptPrev::Operand);
        }
        if (c == 0)
            ++i;
        else if (literalLineEnd(lx, piece, i))
            return true;
    }
}

// Goes on with the text of a template literal, up to its closing '`' or the
// "${" of a hole (then the hole opens).
bool templateStep(Lexer &lx, TokenPiece &piece)
{
    ScriptLexState &s = scriptState(lx);
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        if (!runOver(lx, i, isTemplatePlain, 3))
            return pauseAt(lx, piece, lx.pos);
        const char c = w[i];
        if (c == '`') {
            lx.pos = i + 1;
            return finishCode(lx, piece, ScriptPrev::Operand);
        }
        if (c == '$' && w[i + 1] == '{') {
            lx.pos = i + 2;
            push(s, ScriptFrame::Hole);
            return finishCode(lx, piece, ScriptPrev::Operator);
        }
        if (c == '\r' || c == '\n') {
            if (literalLineEnd(lx, piece, i))
                return true;
            continue;
        }
        if (i >= lx.end) {
            lx.pos = i;
            return finishCode(lx, piece, ScriptPrev::Operand);
        }
        // An escape takes the byte after it, unless that starts a line end.
        i += c == '\\' && w[i + 1] != '\n' && w[i + 1] != '\r' && i + 1 < lx.end ? 2 : 1;
    }
}

// Goes on with a regular expression literal's body, classes [...] included,
// then its flags; a line end or the input's end ends it unterminated.
bool regexStep(Lexer &lx, TokenPiece &piece)
{
    ScriptLexState &s = scriptState(lx);
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        if (!runOver(lx, i, isRegexPlain, 3))
            return pauseAt(lx, piece, lx.pos);
        const char c = w[i];
        if (c == '\n' || (c == '\r' && w[i + 1] == '\n') || i >= lx.end) {
            lx.pos = i;
            s.regexFlags = false;
            return finishCode(lx, piece, ScriptPrev::Operand);
        }
        if (c == '/' && !s.regexClass) {
            lx.pos = i + 1;
            s.regexFlags = true;
            s.scan = ScriptScan::Name;
            return nameStep(lx, piece);
        }
        if (c == '[')
            s.regexClass = true;
        else if (c == ']')
            s.regexClass = false;
        i += c == '\\' && w[i + 1] != '\n' && w[i + 1] != '\r' && i + 1 < lx.end ? 2 : 1;
    }
}

// Goes on with a word of JSX text: bytes up to a blank, a line end, '<' or '{'.
bool jsxWordStep(Lexer &lx, TokenPiece &piece)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        if (!runOver(lx, i, isJsxWordByte))
            return pauseAt(lx, piece, lx.pos);
        if (w[i] != 0 || i >= lx.end)
            break;
        ++i;
    }
    lx.pos = i;
    scriptState(lx).textHasWord = true;
    return finishCode(lx, piece, ScriptPrev::Operand);
}

// Hands out the next piece of a JSX blank token of blankLeft blanks.
bool blanksStep(Lexer &lx, TokenPiece &piece)
{
    ScriptLexState &s = scriptState(lx);
    std::size_t n = s.blankLeft < kSpaceRun ? s.blankLeft : kSpaceRun;
    s.blankLeft -= n;
    textPiece(lx, piece, kSpaces, n, s.blankLeft == 0);
    if (s.blankLeft == 0)
        s.scan = ScriptScan::Between;
    return true;
}

// Starts a blank token of n blanks at place.
bool blankToken(Lexer &lx, TokenPiece &piece, std::size_t n, TokenPlace place)
{
    lx.kind = TokenKind::Code;
    lx.place = place;
    lx.firstPiece = true;
    scriptState(lx).blankLeft = n;
    scriptState(lx).scan = ScriptScan::Blanks;
    return blanksStep(lx, piece);
}

// Hands out the one-byte or longer punctuator of n bytes at pos as cls.
bool punctuator(Lexer &lx, TokenPiece &piece, std::size_t n, ScriptPrev cls)
{
    // "?." counts as '.': a member's name follows either.
    scriptState(lx).prevByte = n == 1 ? lx.window[lx.pos] : n == 2 && lx.window[lx.pos] == '?' && lx.window[lx.pos + 1] == '.' ? '.' : 0;
    lx.pos += n;
    char b = scriptState(lx).prevByte;
    finishCode(lx, piece, cls);
    scriptState(lx).prevByte = b;
    scriptState(lx).memberNext = (b == '{' || b == ';' || b == ',') && top(scriptState(lx)) == ScriptFrame::TypeBody;
    return true;
}

// An element closed: back to its parent's children, or an expression ended.
void elementClosed(ScriptLexState &s)
{
    if (top(s) == ScriptFrame::JsxChildren)
        s.textHasWord = false;
}

// Starts a token inside a JSX tag: names with '-', attribute strings, '{',
// '/', '>' and a nested element's '<'.
bool jsxTagToken(Lexer &lx, TokenPiece &piece)
{
    ScriptLexState &s = scriptState(lx);
    const char *w = lx.window + lx.pos;
    bool opening = s.tagStart;
    if (isNameStart(w)) {
        s.scan = ScriptScan::Name;
        return nameStep(lx, piece);
    }
    switch (w[0]) {
    case '"': case '\'':
        lx.quote = w[0];
        ++lx.pos;
        s.scan = ScriptScan::JsxString;
        return jsxStringStep(lx, piece);
    case '{':
        push(s, ScriptFrame::JsxBrace);
        return punctuator(lx, piece, 1, ScriptPrev::Operator);
    case '<':
        push(s, ScriptFrame::JsxTag);
        s.selfClosing = false;
        punctuator(lx, piece, 1, ScriptPrev::Operator);
        s.tagStart = true;
        return true;
    case '/':
        if (opening && top(s) == ScriptFrame::JsxTag) {
            // "</": the element whose children these are ends with this tag.
            --s.depth;
            popIf(s, ScriptFrame::JsxChildren, ScriptFrame::JsxChildren);
            push(s, ScriptFrame::JsxClosing);
        } else {
            s.selfClosing = true;
        }
        return punctuator(lx, piece, 1, ScriptPrev::Operator);
    case '>':
        if (top(s) == ScriptFrame::JsxClosing || s.selfClosing) {
            --s.depth;
            s.selfClosing = false;
            punctuator(lx, piece, 1, ScriptPrev::Operand);
            elementClosed(s);
            return true;
        }
        s.frames[s.depth - 1] = ScriptFrame::JsxChildren;
        s.textHasWord = false;
        return punctuator(lx, piece, 1, ScriptPrev::Operand);
    default:
        return punctuator(lx, piece, punctuatorLength(w), ScriptPrev::Operator);
    }
}

// True when the '<' at pos opens a JSX element: where an operand is
// expected, before a name or '>', and in a .tsx file not the type parameters
// of a generic arrow or function type: "<T,", "<T extends", "<T =",
// "<const T", "<in T", "<out T", or "<T>(" (a .tsx file has no "<T>x" casts,
// and a generic arrow there needs "<T,>", so "<T>(" can only be a generic
// signature in a type, read as a tag it would take the rest of the file for
// JSX text).
bool opensJsx(const Lexer &lx)
{
    const ScriptLexState &s = scriptState(lx);
    const char *w = lx.window + lx.pos;
    if (!hasJsx(lx) || s.prev == ScriptPrev::Operand)
        return false;
    if (w[1] == '>')
        return true;
    if (!isNameStart(w + 1))
        return false;
    if (lx.language != Language::Tsx)
        return true;
    std::size_t i = 1;
    while (isNameByte(w[i]) && i < kLexLookahead - 10)
        ++i;
    const std::size_t nameEnd = i;
    while (w[i] == ' ' || w[i] == '\t')
        ++i;
    auto named = [&](const char *word) {
        const std::size_t n = std::strlen(word);
        return nameEnd == n + 1 && std::memcmp(w + 1, word, n) == 0;
    };
    if ((named("const") || named("in") || named("out")) && i > nameEnd && isNameStart(w + i))
        return false;
    return w[i] != ',' && w[i] != '=' && !(w[i] == '>' && w[i + 1] == '(') &&
           !(std::memcmp(w + i, "extends", 7) == 0 && !isNameByte(w[i + 7]));
}

// The frame a '{' at pos opens, from the token before it.
ScriptFrame braceFrame(ScriptLexState &s)
{
    if (s.prev == ScriptPrev::Start)
        return ScriptFrame::Block;
    if (s.prev == ScriptPrev::Operator || s.prev == ScriptPrev::Restricted)
        return lastWordIn(s, kBlockSet) ? ScriptFrame::Block : ScriptFrame::Object;
    if (s.pending && s.pendingDepth == s.depth) {
        s.pending = false;
        if (s.pendingType)
            return ScriptFrame::TypeBody;
        return s.pendingExpr ? ScriptFrame::Object : ScriptFrame::Block;
    }
    return ScriptFrame::Block;
}

// Starts a token at pos that begins with a punctuator byte.
bool punctuatorToken(Lexer &lx, TokenPiece &piece)
{
    ScriptLexState &s = scriptState(lx);
    const char *w = lx.window + lx.pos;
    switch (w[0]) {
    case '(': {
        const bool control = lastWordIn(s, kControlSet), doWhile = s.doWhile;
        const std::size_t depth = s.depth;
        push(s, control ? ScriptFrame::ControlParen : ScriptFrame::Paren);
        if (s.depth > depth)
            markDo(s, depth, control && doWhile);
        return punctuator(lx, piece, 1, ScriptPrev::Operator);
    }
    case ')': {
        bool control = top(s) == ScriptFrame::ControlParen;
        const bool doEnds = control && markedDo(s, s.depth - 1);
        popIf(s, ScriptFrame::Paren, ScriptFrame::ControlParen);
        punctuator(lx, piece, 1, control ? ScriptPrev::Start : ScriptPrev::Operand);
        s.semicolonDue = doEnds;
        return true;
    }
    case '[':
        push(s, ScriptFrame::Bracket);
        return punctuator(lx, piece, 1, ScriptPrev::Operator);
    case ']':
        popIf(s, ScriptFrame::Bracket, ScriptFrame::Bracket);
        return punctuator(lx, piece, 1, ScriptPrev::Operand);
    case '{': {
        const bool doBody = lastWordIn(s, kDoSet);
        const ScriptList list = s.listNext;
        const std::size_t depth = s.depth;
        ScriptFrame f = braceFrame(s);
        push(s, f);
        if (s.depth > depth) {
            markDo(s, depth, f == ScriptFrame::Block && doBody);
            if (f == ScriptFrame::Block && list != ScriptList::None) {
                s.listDepth = s.depth;
                s.listFrom = list == ScriptList::Names;
            }
        }
        return punctuator(lx, piece, 1, f == ScriptFrame::Block ? ScriptPrev::Start : ScriptPrev::Operator);
    }
    case '}': {
        ScriptFrame f = top(s);
        if (f == ScriptFrame::Hole) {
            --s.depth;
            ++lx.pos;
            s.scan = ScriptScan::Template;
            return templateStep(lx, piece);
        }
        if (f == ScriptFrame::JsxBrace) {
            --s.depth;
            elementClosed(s);
            return punctuator(lx, piece, 1, ScriptPrev::Operand);
        }
        // The '}' of an import or export list or of attributes ends the
        // declaration: a line end after it inserts a ';' as after return.
        const bool list = f == ScriptFrame::Block && s.listDepth == s.depth;
        const bool doBody = f == ScriptFrame::Block && markedDo(s, s.depth - 1);
        if (list)
            s.listDepth = 0;
        if (f == ScriptFrame::TypeBody)
            --s.depth;
        else
            popIf(s, ScriptFrame::Block, ScriptFrame::Object);
        punctuator(lx, piece, 1, list ? ScriptPrev::Restricted
                                 : f == ScriptFrame::Object ? ScriptPrev::Operand
                                                             : ScriptPrev::Start);
        s.fromMayFollow = list && s.listFrom;
        s.doEnded = doBody;
        return true;
    }
    case ';':
        if (s.pending && s.pendingDepth == s.depth)
            s.pending = false;
        return punctuator(lx, piece, 1, ScriptPrev::Start);
    case '`':
        ++lx.pos;
        s.scan = ScriptScan::Template;
        return templateStep(lx, piece);
    case '"': case '\'':
        lx.quote = w[0];
        ++lx.pos;
        s.scan = ScriptScan::Quoted;
        return quotedStep(lx, piece);
    case '#':
        if (isNameStart(w + 1)) {
            ++lx.pos;
            s.scan = ScriptScan::Name;
            return nameStep(lx, piece);
        }
        break;
    case '/':
        if (s.prev != ScriptPrev::Operand) {
            ++lx.pos;
            s.regexClass = false;
            s.regexFlags = false;
            s.scan = ScriptScan::Regex;
            return regexStep(lx, piece);
        }
        break;
    case '<':
        if (opensJsx(lx)) {
            push(s, ScriptFrame::JsxTag);
            s.selfClosing = false;
            punctuator(lx, piece, 1, ScriptPrev::Operator);
            s.tagStart = true;
            return true;
        }
        break;
    default: break;
    }
    std::size_t n = punctuatorLength(w);
    ScriptPrev cls = ScriptPrev::Operator;
    if ((w[0] == '+' || w[0] == '-') && n == 2 && w[1] == w[0] && s.prev == ScriptPrev::Operand)
        cls = ScriptPrev::Operand;  // a postfix ++ or --
    else if (w[0] == '>' && n == 1 && lx.language != Language::JavaScript)
        cls = ScriptPrev::Operand;  // may close a type's arguments
    else if (w[0] == '!' && n == 1 && lx.language != Language::JavaScript && s.prev == ScriptPrev::Operand &&
             placeAt(lx, lx.pos).line <= s.lastLine)
        cls = ScriptPrev::Operand;  // TypeScript's non-null assertion, on the line of what it follows
    return punctuator(lx, piece, n, cls);
}

// Where the token at w leaves a decorator: its '@' starts one, and its
// names, dots and one pair of parentheses go on with it.
ScriptDecorator decoratorAfter(ScriptLexState &s, const char *w)
{
    switch (s.decorator) {
    case ScriptDecorator::Args:
        return w[0] == ')' && s.depth == s.decoratorDepth ? ScriptDecorator::Done : ScriptDecorator::Args;
    case ScriptDecorator::At: case ScriptDecorator::Dot:
        if (isNameStart(w))
            return ScriptDecorator::Name;
        break;
    case ScriptDecorator::Name:
        if (w[0] == '.' && w[1] != '.')
            return ScriptDecorator::Dot;
        break;
    default: break;
    }
    if (w[0] == '(' && (s.decorator == ScriptDecorator::At || s.decorator == ScriptDecorator::Name)) {
        s.decoratorDepth = s.depth + 1;
        return ScriptDecorator::Args;
    }
    return w[0] == '@' ? ScriptDecorator::At : ScriptDecorator::None;
}

// Starts the token at pos.
bool scriptToken(Lexer &lx, TokenPiece &piece)
{
    ScriptLexState &s = scriptState(lx);
    const char *w = lx.window + lx.pos;
    beginToken(lx, TokenKind::Code);
    if ((w[0] == '(' || w[0] == '.') && lastWordIn(s, kImportSet))
        s.importing = false;  // import(...), import.meta
    const ScriptDecorator decorator = s.decorator;
    s.decorator = decoratorAfter(s, w);
    // What follows a decorator at a statement's start starts it.
    if ((decorator == ScriptDecorator::Name || decorator == ScriptDecorator::Done) &&
        (s.decorator == ScriptDecorator::None || s.decorator == ScriptDecorator::At))
        s.stmtStart = s.stmtStart || s.decoratorStart;
    if (s.decorator == ScriptDecorator::At)
        s.decoratorStart = s.stmtStart;
    ScriptFrame f = top(s);
    if (f == ScriptFrame::JsxTag || f == ScriptFrame::JsxClosing)
        return jsxTagToken(lx, piece);
    if (isDigit(w[0]) || (w[0] == '.' && isDigit(w[1]))) {
        s.numberRadix = w[0] == '0' && std::strchr("xXoObB", w[1]) && w[1] != 0;
        s.numberDot = w[0] == '.';
        s.numberExponent = false;
        lx.pos += s.numberRadix ? 2 : 1;
        s.scan = ScriptScan::Number;
        return numberStep(lx, piece);
    }
    if (isNameStart(w)) {
        s.scan = ScriptScan::Name;
        return nameStep(lx, piece);
    }
    return punctuatorToken(lx, piece);
}

// Among a JSX element's children: a blank run, a word, a {" "} child (a
// blank), '{' or a child's or the closing tag's '<'.
bool jsxTextStep(Lexer &lx, TokenPiece &piece)
{
    ScriptLexState &s = scriptState(lx);
    const char *w = lx.window;
    std::size_t i = lx.pos;
    TokenPlace runPlace = placeAt(lx, i);
    std::size_t run = 0;
    bool lineEnd = false;
    for (;;) {
        while ((byteClass(w[i]) & kBlank) || w[i] == '\n') {
            if (w[i] == '\n' || w[i] == '\r')
                lineEnd = true;
            if (w[i] == '\n')
                newLine(lx, i);
            ++run;
            ++i;
        }
        if (lx.end - i >= 8 || lx.ended)
            break;
        lx.pos = lx.pieceStart = i;
        refill(lx, i);
        i = lx.pos;
    }
    lx.pos = lx.pieceStart = i;
    bool ends = w[i] == '<' || w[i] == '{' || i >= lx.end;
    if (run > 0 && !lineEnd)
        return blankToken(lx, piece, run, runPlace);
    if (run > 0 && !ends && s.textHasWord)
        return blankToken(lx, piece, 1, runPlace);
    if (i >= lx.end) {
        finishStream(lx, piece);
        return true;
    }
    beginToken(lx, TokenKind::Code);
    if (w[i] == '<') {
        push(s, ScriptFrame::JsxTag);
        s.selfClosing = false;
        punctuator(lx, piece, 1, ScriptPrev::Operator);
        s.tagStart = true;
        return true;
    }
    if (w[i] == '{' && (w[i + 2] == ' ' && w[i + 3] == w[i + 1] && w[i + 4] == '}') &&
        (w[i + 1] == '"' || w[i + 1] == '\'')) {
        lx.pos += 5;
        s.textHasWord = false;
        return blankToken(lx, piece, 1, lx.place);
    }
    if (w[i] == '{') {
        push(s, ScriptFrame::JsxBrace);
        return punctuator(lx, piece, 1, ScriptPrev::Operator);
    }
    s.scan = ScriptScan::JsxWord;
    return jsxWordStep(lx, piece);
}

// After the frames overflowed: each run of bytes that are no blank a token,
// each line end a LineEnd token.
bool looseStep(Lexer &lx, TokenPiece &piece)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    if (lx.firstPiece) {
        while (byteClass(w[i]) & kBlank)
            ++i;
        if (i >= lx.end && !lx.ended) {
            lx.pos = lx.pieceStart = i;
            refill(lx, i);
            return false;
        }
        lx.pos = lx.pieceStart = i;
        if (i >= lx.end) {
            finishStream(lx, piece);
            return true;
        }
        if (w[i] == '\n') {
            setWholePiece(lx, piece, TokenKind::LineEnd, "\n", placeAt(lx, i));
            newLine(lx, i);
            lx.pos = i + 1;
            markEnd(lx, lx.pos);
            return true;
        }
        beginToken(lx, TokenKind::Code);
    }
    for (;;) {
        while (!(byteClass(w[i]) & kBlank) && w[i] != '\n' && i < lx.end)
            ++i;
        if (i < lx.end || lx.ended)
            break;
        if (!readable(lx, i, 1))
            return pauseAt(lx, piece, lx.pos);
    }
    lx.pos = i;
    finishToken(lx, piece);
    return true;
}

// The lexer's steps. Inside a token, lx.mode stays Between and the scan
// (ScriptLexState::scan) names the step that goes on with it.
struct ScriptSteps : KitSteps<ScriptSteps> {
    // Between tokens: the step of the token the scan is inside, the rest of
    // the source loose, JSX text, or layout and what follows it.
    static bool between(Lexer &lx, TokenPiece &piece)
    {
        ScriptLexState &s = scriptState(lx);
        switch (s.scan) {
        case ScriptScan::Between: break;
        case ScriptScan::Name: return nameStep(lx, piece);
        case ScriptScan::Number: return numberStep(lx, piece);
        case ScriptScan::Quoted: return quotedStep(lx, piece);
        case ScriptScan::Template: return templateStep(lx, piece);
        case ScriptScan::Regex: return regexStep(lx, piece);
        case ScriptScan::JsxString: return jsxStringStep(lx, piece);
        case ScriptScan::JsxWord: return jsxWordStep(lx, piece);
        case ScriptScan::Blanks: return blanksStep(lx, piece);
        }
        if (s.loose)
            return looseStep(lx, piece);
        if (top(s) == ScriptFrame::JsxChildren)
            return jsxTextStep(lx, piece);
        return KitSteps<ScriptSteps>::between(lx, piece);
    }

    // Skips blanks, line ends, a byte order mark at the start, and comments
    // whose words are not tokens (a hashbang line at the start is a token of the
    // shared layer's, hashBangStep). Leaves kLexLookahead bytes readable.
    static Stop skipLayout(Lexer &lx)
    {
        return layoutUntil(lx, isLayoutByte, [](Lexer &lx, std::size_t &i, Stop &stop) {
            const char *w = lx.window;
            if (byteOrderMarkAt(lx, i)) {
                i += 3;
                return true;
            }
            if (w[i] != '/' || (w[i + 1] != '*' && w[i + 1] != '/'))
                return false;
            std::size_t after = 0;
            if (lx.options.comments || mayHoldDirective(lx, i, after)) {
                stop = Stop::Comment;
                return false;
            }
            if (w[i + 1] == '*' && (after == lx.end || w[after - 1] != '/')) {
                skipBlockComment(lx);  // one the input ends inside
                i = lx.pos;
                return true;
            }
            for (const char *lf = w + i; (lf = static_cast<const char *>(std::memchr(lf, '\n', w + after - lf))); ++lf)
                newLine(lx, static_cast<std::size_t>(lf - w));
            i = after;
            return true;
        });
    }

    // An inserted ';' before the token at pos, or the token.
    static bool startToken(Lexer &lx, TokenPiece &piece)
    {
        if (insertsSemicolon(lx))
            return insertSemicolon(lx, piece);
        return scriptToken(lx, piece);
    }

    // A triple-slash directive, or a comment whose words (or directives) are tokens.
    static bool openComment(Lexer &lx, TokenPiece &piece)
    {
        if (tripleSlashAt(lx))
            return tripleSlashToken(lx, piece);
        ::openComment(lx);
        return false;
    }

    // At the input's end: a ';' where the last token can end a statement, then End.
    static bool inputEnd(Lexer &lx, TokenPiece &piece)
    {
        const ScriptLexState &s = scriptState(lx);
        if (s.prev == ScriptPrev::Operand || s.prev == ScriptPrev::Restricted || s.semicolonDue)
            return insertSemicolon(lx, piece);
        finishStream(lx, piece);
        return true;
    }

    // A comment's directives, and its words with LexOptions::comments.
    static bool comment(Lexer &lx, TokenPiece &piece)
    {
        return commentStepUntil(lx, piece, kLexLookahead, lx.options.comments, '@', directiveEndsWord, directiveHere);
    }
    static bool word(Lexer &lx, TokenPiece &piece) { return wordStepUntil(lx, piece, '@', directiveEndsWord); }
    // A triple-slash directive longer than the window.
    static bool line(Lexer &lx, TokenPiece &piece) { return lineTokenStep(lx, piece, true); }
};

} // namespace

bool scriptWordIn(const char *list, const char *word, std::size_t length)
{
    if (length == 0 || length >= kScriptWord)
        return false;
    char key[kScriptWord + 2];
    key[0] = ' ';
    std::memcpy(key + 1, word, length);
    key[length + 1] = ' ';
    key[length + 2] = 0;
    return std::strstr(list, key) != nullptr;
}

// The content test of .ts, which Qt Linguist's translations (XML) and MPEG
// transport streams share: false when text, a source's first length bytes,
// holds a NUL byte, which no script does, or starts, past a byte order mark
// and blanks, as XML: "<?xml", "<!DOCTYPE TS>", a comment "<!--", or the
// element "<TS" itself ("<TS>x" as a type assertion is refused with it).
bool scriptConfirms(const char *text, std::size_t length)
{
    if (std::memchr(text, '\0', length))
        return false;
    std::size_t i = length >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    while (i < length && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n'))
        ++i;
    if (i + 1 >= length || text[i] != '<')
        return true;
    if (text[i + 1] == '?' || text[i + 1] == '!')
        return false;
    const bool element = length - i >= 3 && text[i + 1] == 'T' && text[i + 2] == 'S';
    return !element || (length - i > 3 && (byteClass(text[i + 3]) & kNameB));
}

extern const LexerHooks kScriptLexer = {kitStart<ScriptLexState>, kitNext<ScriptSteps>, nullptr, nullptr, false,
                                        anyHashBang, scriptConfirms};
