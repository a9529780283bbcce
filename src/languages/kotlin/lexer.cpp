// The Kotlin lexer: tokens as the Kotlin compiler reads them, longest match
// first, each as written; blanks and comments (nested block comments and
// KDoc too) between them dropped, and so is a byte order mark; a "#!" first
// line (a script's) is one token (tokens/lexer.h, hashBangStep).
//
// Line ends: Kotlin ends a statement at a line end where the statement can
// end there, so a run of line ends in the layout (blank lines and comments
// among them) is one LineEnd token, key "\n", but where it provably ends no
// statement:
// - inside '(' or '[' (but not inside a '{' opened within them: a lambda);
// - after a token after which an operand must follow: a binary or prefix
//   operator ('+', '-', '/', '%', '=', the compound assignments, "==",
//   "!=", "===", "!==", '<', "<=", ">=", "&&", "||", '!', "..", "..<",
//   "?:"), '.', "?.", "::", ':', ',', "->", '(', '[', '{', ';', "${" and the
//   words as, as?, is, !is, in, !in; not after '*' (import a.*), '>'
//   (List<T>), '?' (T?), "++", "--", "!!", names, literals or closing
//   brackets;
// - before '.', "?.", "?:", "&&", "||", ':' and as, the tokens before which
//   the compiler reads on across a line end, and before '}' and ';', which
//   end a statement anyway; not before "..", "::", '+', '-', '(', '[' or
//   '{' (a lambda on the next line is a statement of its own);
// - after an annotation ("@A", "@a.B", "@A(...)", "@file:A(...)") before
//   a name, a backticked name or another annotation, as the grammar lets
//   line ends follow an annotation; not before '(', its arguments;
// - after if, while, for, when, do, try, else, throw, val, var, class (not
//   after "::"), interface and typealias, which a condition, body or operand
//   must follow; after fun before a name, '`', '(' or its type parameters' '<';
// - after the ')' of an if's, a while loop's (not a do loop's) or a for's
//   head, and of a when's subject, before the body;
// - before else, but in a when's braces, where an entry may start with it;
// - in a declaration's head before its '=' (fun, val, var), its body's '{'
//   (fun, class, interface, object) and around by (val, var, class);
// - after a modifier where a declaration starts (not after an annotation),
//   before the declaration's keyword;
// - between a package or import header and an import on the next line;
// - before the input's first token and after its last.
// A line end inside a block comment ends no statement, as to the compiler;
// a lone CR is a line end, as the compiler reads it.
//
// Strings: a string's text is a token as written, escapes and "$name"
// templates in it; a "${" hole ends the token before it (its key ends in
// "${"), its expression is tokens, and its '}' starts the token of the text
// after it. A raw string """...""" keeps every byte, its indentation and
// line ends too (the CR of a CR LF left out), and ends at the last quote of
// a run of three or more. Character literals and `backticked names` are
// tokens as written.
//
// The '@' of a label or a qualified jump (loop@, return@loop, this@Outer)
// is part of the name before it, and a name right after such an '@' too; an
// annotation's '@' and the name right after it ("@Test") are one token; an
// '@' that a blank, line end or comment follows is "@ ", which Kotlin reads
// as neither; so that the blanks around an '@' that Kotlin tells apart stay
// told apart.
//
// Input that is no Kotlin the lexer can read ends the stream through
// rejectInput, "not valid Kotlin": an unterminated string, character
// literal, backticked name, template or block comment, and a closing
// bracket that closes nothing open; brackets, strings and holes nested
// deeper than kKotlinNesting are refused.
#include <cstring>

#include "languages/kotlin/state.h"
#include "tokens/kit.h"
#include "tokens/lexer.h"

namespace {

constexpr char kRejected[] = "Kotlin";
constexpr const char *kTooDeep = "brackets and strings nested too deep to compare";
constexpr const char *kLongTemplate = "a backticked template name too long to compare";
constexpr std::size_t kTemplateName = 256;  // bytes looked at for a "$`name`" template's closing backtick
constexpr int kGoOn = 2;                     // dollar: the scan goes on

// Phases of a number (KotlinLexState::numberPhase).
enum NumberPhase { kInteger, kFraction, kExponent, kSuffix };

inline bool isNameByte(char c)
{
    return (byteClass(c) & kNameB) != 0;
}

inline bool isNameStart(char c)
{
    return (byteClass(c) & kNameB) && !(byteClass(c) & kDigit);
}

inline bool isDigit(char c)
{
    return (byteClass(c) & kDigit) != 0;
}

// Blanks that are layout and end no line: space, tab, form feed.
inline bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\f';
}

// True when the eight bytes at p are spaces.
inline bool eightSpaces(const char *p)
{
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v == 0x2020202020202020u;
}

// A byte after an '@' that makes it "@ ": a blank, a line end, a comment's '/'.
inline bool isLayoutAfterAt(char c)
{
    return isBlank(c) || c == '\n' || c == '\r' || c == '/';
}

// Bytes that end a plain run of a string's text.
inline bool isStringPlain(char c)
{
    return c != '"' && c != '\\' && c != '$' && c != '\n' && c != '\r' && c != 0;
}

inline bool isRawPlain(char c)
{
    return c != '"' && c != '$' && c != '\n' && c != '\r' && c != 0;
}

KotlinFrame top(const KotlinLexState &st)
{
    return st.depth > 0 ? st.frames[st.depth - 1] : KotlinFrame::Brace;
}

// Ends the stream where the source stops being Kotlin the lexer reads: for
// reason (refuseSource), or, without one, as not valid Kotlin at place. A
// token with pieces out gets its last first. True: piece is filled.
bool stopHere(Lexer &lx, TokenPiece &piece, const char *reason, TokenPlace place)
{
    if (reason)
        refuseSource(lx, reason);
    else
        rejectInput(lx, kRejected, place);
    lx.commentUnclosed = false;
    if (!lx.firstPiece) {
        textPiece(lx, piece, "\x01", 1, true);
        lx.mode = LexMode::Finished;
        return true;
    }
    finishStream(lx, piece);
    return true;
}

bool rejectAt(Lexer &lx, TokenPiece &piece, std::size_t at)
{
    return stopHere(lx, piece, nullptr, placeAt(lx, at));
}

// Closes the innermost frame, and the head of a declaration whose keyword
// stood inside it.
void closeFrame(KotlinLexState &st)
{
    --st.depth;
    if (st.depth < st.headDepth)
        st.head = KotlinHead::None;
}

// Opens a frame; false when kKotlinNesting are open (the caller refuses).
bool push(KotlinLexState &st, KotlinFrame frame)
{
    if (st.depth == kKotlinNesting)
        return false;
    st.frames[st.depth++] = frame;
    return true;
}

// True when word (n bytes) is as, is or in: an operand follows it.
bool operandWord(const char *w, std::size_t n)
{
    return n == 2 && ((w[0] == 'a' && w[1] == 's') || (w[0] == 'i' && (w[1] == 's' || w[1] == 'n')));
}

// True when the line end before the token at p ends no statement: the
// compiler reads on across it before '.', "?.", "?:", "&&", "||", ':' and
// as; '}' and ';' end one anyway.
bool joinsNext(const char *p)
{
    switch (p[0]) {
    case '.': return p[1] != '.' && !isDigit(p[1]);
    case '?': return p[1] == '.' || p[1] == ':';
    case '&': return p[1] == '&';
    case '|': return p[1] == '|';
    case ':': return p[1] != ':';
    case '}': case ';': return true;
    case 'a': return p[1] == 's' && !isNameByte(p[2]);
    default: return false;
    }
}

// Bytes of the operator or punctuator at p by longest match; any other
// byte alone.
std::size_t operatorLength(const char *p)
{
    const char a = p[1];
    switch (p[0]) {
    case '+': return a == '+' || a == '=' ? 2 : 1;
    case '-': return a == '-' || a == '=' || a == '>' ? 2 : 1;
    case '*': case '/': case '%': return a == '=' ? 2 : 1;
    case '=': return a == '=' ? (p[2] == '=' ? 3 : 2) : 1;
    case '!':
        if (a == '=')
            return p[2] == '=' ? 3 : 2;
        if (a == '!')
            return 2;
        return (a == 'i' && (p[2] == 'n' || p[2] == 's') && !isNameByte(p[3])) ? 3 : 1;
    case '<': case '>': return a == '=' ? 2 : 1;
    case '&': return a == '&' ? 2 : 1;
    case '|': return a == '|' ? 2 : 1;
    case '?': return a == '.' || a == ':' ? 2 : 1;
    case ':': return a == ':' ? 2 : 1;
    case '.': return a == '.' ? (p[2] == '<' || p[2] == '.' ? 3 : 2) : 1;
    default: return 1;
    }
}

// A byte's bit in a mask of the 64 byte values from c & ~63.
constexpr std::uint64_t byteBit(char c)
{
    return std::uint64_t{1} << (static_cast<unsigned char>(c) & 63);
}

// The one-byte operators and punctuators an operand must follow, by byte
// value, 0 to 63 and 64 to 127: + - / % = < ! . : , ( [ { ;
constexpr std::uint64_t kOperandLow = byteBit('+') | byteBit('-') | byteBit('/') | byteBit('%') | byteBit('=') |
                                      byteBit('<') | byteBit('!') | byteBit('.') | byteBit(':') | byteBit(',') |
                                      byteBit('(') | byteBit(';');
constexpr std::uint64_t kOperandHigh = byteBit('[') | byteBit('{');

// True when an operand must follow the operator of n bytes at p, so that a
// line end after it ends no statement.
bool operandFollows(const char *p, std::size_t n)
{
    const char a = p[0], b = n > 1 ? p[1] : 0;
    if (n == 1) {
        // Two masks rather than a search of a string: this runs for each punctuator.
        const unsigned char u = static_cast<unsigned char>(a);
        return u < 64 ? (kOperandLow >> u & 1) != 0 : u < 128 && (kOperandHigh >> (u - 64) & 1) != 0;
    }
    if (n == 2)
        return b == '=' || (a == '&' && b == '&') || (a == '|' && b == '|') || (a == '?' && b != 0) ||
               (a == ':' && b == ':') || (a == '-' && b == '>') || (a == '.' && b == '.');
    return a == '=' || (a == '!' && b != '!') || (a == '.' && p[2] == '<');
}

// True when the name of n bytes at p is word.
template <std::size_t N>
bool isWord(const char *p, std::size_t n, const char (&word)[N])
{
    return n == N - 1 && std::memcmp(p, word, N - 1) == 0;
}

// True when the word at p, the bytes after it readable, is word.
template <std::size_t N>
bool wordAt(const char *p, const char (&word)[N])
{
    return std::memcmp(p, word, N - 1) == 0 && !isNameByte(p[N - 1]);
}

bool isParenFrame(KotlinFrame f)
{
    return f == KotlinFrame::Paren || f == KotlinFrame::Condition || f == KotlinFrame::Subject;
}

bool isBraceFrame(KotlinFrame f)
{
    return f == KotlinFrame::Brace || f == KotlinFrame::WhenBody || f == KotlinFrame::DoBody;
}

// True when a declaration's keyword stands at p, the bytes after it readable.
bool declarationAt(const char *p)
{
    return wordAt(p, "fun") || wordAt(p, "val") || wordAt(p, "var") || wordAt(p, "class") || wordAt(p, "interface") ||
           wordAt(p, "object") || wordAt(p, "typealias") || wordAt(p, "constructor");
}

// True when the line end before the token at w is layout by what stands
// around it, as the grammar lets line ends stand (its NL*): after fun before
// the function's type parameters, name, receiver or parameters; after a modifier before the
// declaration's keyword; between package and import headers; before else
// but in a when's braces, where an entry may start with it; in a
// declaration's head before its '=' (fun, val, var), '{' (fun, class) or by
// (val, var, class).
bool layoutBefore(const KotlinLexState &st, const char *w, KotlinFrame frame)
{
    if (st.last == KotlinLast::Fun)
        return isNameStart(w[0]) || w[0] == '`' || w[0] == '(' || w[0] == '<';
    if (st.last == KotlinLast::Modifier && declarationAt(w))
        return true;
    if (st.importHead && wordAt(w, "import"))
        return true;
    if (wordAt(w, "else"))
        return frame != KotlinFrame::WhenBody;
    if (st.head == KotlinHead::None || st.depth != st.headDepth)
        return false;
    if (w[0] == '=' && w[1] != '=')
        return st.head == KotlinHead::Fun || st.head == KotlinHead::Property;
    if (w[0] == '{')
        return st.head == KotlinHead::Fun || st.head == KotlinHead::Class;
    return wordAt(w, "by") && (st.head == KotlinHead::Property || st.head == KotlinHead::Class);
}

// A declaration's head starts at its keyword, unless one outside it is
// being read (a class's "(val x: Int = 1)").
void startHead(KotlinLexState &st, KotlinHead head)
{
    if (st.head == KotlinHead::None || st.depth <= st.headDepth) {
        st.head = head;
        st.headDepth = st.depth;
    }
}

// The words whose line ends nameFacts follows.
enum class KotlinWord : unsigned char {
    None, If, While, When, Do, Operand, Property, Class, Object, Fun, By, Header, Modifier,
};

// False when the name of n bytes at p is none of those words, told by its
// first letter and length: most names are, at once.
inline bool maybeWord(const char *p, std::size_t n)
{
    // The lengths of the words of each first letter, a bit each.
    static constexpr std::uint16_t kLengths[26] = {
        1u << 8 | 1u << 10 | 1u << 6, 1u << 2, 1u << 5 | 1u << 9 | 1u << 11, 1u << 2 | 1u << 4,
        1u << 4 | 1u << 6 | 1u << 8, 1u << 3 | 1u << 5, 0, 0, 1u << 2 | 1u << 9 | 1u << 6 | 1u << 5 | 1u << 8,
        0, 0, 1u << 8, 0, 1u << 8, 1u << 6 | 1u << 4 | 1u << 8, 1u << 7 | 1u << 6 | 1u << 9, 0, 0, 1u << 6 | 1u << 7,
        1u << 3 | 1u << 5 | 1u << 9 | 1u << 7, 0, 1u << 3 | 1u << 5, 1u << 4 | 1u << 5, 0, 0, 0};
    return n >= 2 && n <= 11 && p[0] >= 'a' && p[0] <= 'z' && (kLengths[p[0] - 'a'] >> n & 1u);
}

// Which of those words the name of n bytes at p is, by its first byte.
KotlinWord wordOf(const char *p, std::size_t n)
{
    using W = KotlinWord;
    if (!maybeWord(p, n))
        return W::None;
    switch (p[0]) {
    case 'a':
        return isWord(p, n, "abstract") || isWord(p, n, "annotation") || isWord(p, n, "actual") ? W::Modifier : W::None;
    case 'b': return isWord(p, n, "by") ? W::By : W::None;
    case 'c':
        if (isWord(p, n, "class"))
            return W::Class;
        return isWord(p, n, "const") || isWord(p, n, "companion") || isWord(p, n, "crossinline") ? W::Modifier : W::None;
    case 'd': return isWord(p, n, "do") ? W::Do : isWord(p, n, "data") ? W::Modifier : W::None;
    case 'e':
        if (isWord(p, n, "else"))
            return W::Operand;
        return isWord(p, n, "enum") || isWord(p, n, "expect") || isWord(p, n, "external") ? W::Modifier : W::None;
    case 'f':
        if (isWord(p, n, "for"))
            return W::If;
        return isWord(p, n, "fun") ? W::Fun : isWord(p, n, "final") ? W::Modifier : W::None;
    case 'i':
        if (isWord(p, n, "if"))
            return W::If;
        if (isWord(p, n, "interface"))
            return W::Class;
        if (isWord(p, n, "import"))
            return W::Header;
        return isWord(p, n, "inline") || isWord(p, n, "inner") || isWord(p, n, "infix") || isWord(p, n, "internal")
                   ? W::Modifier
                   : W::None;
    case 'l': return isWord(p, n, "lateinit") ? W::Modifier : W::None;
    case 'n': return isWord(p, n, "noinline") ? W::Modifier : W::None;
    case 'o':
        if (isWord(p, n, "object"))
            return W::Object;
        return isWord(p, n, "open") || isWord(p, n, "override") || isWord(p, n, "operator") ? W::Modifier : W::None;
    case 'p':
        if (isWord(p, n, "package"))
            return W::Header;
        return isWord(p, n, "public") || isWord(p, n, "private") || isWord(p, n, "protected") ? W::Modifier : W::None;
    case 's': return isWord(p, n, "sealed") || isWord(p, n, "suspend") ? W::Modifier : W::None;
    case 't':
        if (isWord(p, n, "try") || isWord(p, n, "throw") || isWord(p, n, "typealias"))
            return W::Operand;
        return isWord(p, n, "tailrec") ? W::Modifier : W::None;
    case 'v':
        if (isWord(p, n, "val") || isWord(p, n, "var"))
            return W::Property;
        return isWord(p, n, "value") ? W::Modifier : W::None;
    case 'w': return isWord(p, n, "when") ? W::When : isWord(p, n, "while") ? W::While : W::None;
    default: return W::None;
    }
}

// What the name of n bytes at p, a whole token, tells of the line ends
// around it: the reserved words after which an operand or a body must
// follow (if, while, for, when, do, try, else, throw, val, var, class,
// interface, typealias), heads of declarations, modifiers, headers.
// Out of line, so that the name step it is seldom called from stays small.
__attribute__((noinline)) void nameFacts(KotlinLexState &st, const char *p, std::size_t n)
{
    using W = KotlinWord;
    switch (wordOf(p, n)) {
    case W::None: return;
    case W::If:
        st.last = KotlinLast::If;
        st.continues = true;
        return;
    case W::While:
        // A do loop's while: no body follows its head.
        st.last = st.prev == KotlinLast::DoEnd || st.doWithoutBraces ? KotlinLast::Other : KotlinLast::If;
        st.continues = true;
        return;
    case W::When:
        st.last = KotlinLast::When;
        st.continues = true;
        return;
    case W::Do:
        st.last = KotlinLast::Do;
        st.continues = true;
        return;
    case W::Operand: st.continues = true; return;
    case W::Property:
        startHead(st, KotlinHead::Property);
        st.continues = true;
        return;
    case W::Class:
        if (p[0] == 'c' && st.prev == KotlinLast::Colons)
            return;  // A::class
        startHead(st, KotlinHead::Class);
        st.continues = true;
        return;
    case W::Object: startHead(st, KotlinHead::Class); return;
    case W::Fun:
        startHead(st, KotlinHead::Fun);
        st.last = KotlinLast::Fun;
        return;
    case W::By:
        if (st.depth == st.headDepth && (st.head == KotlinHead::Property || st.head == KotlinHead::Class)) {
            if (st.head == KotlinHead::Property)
                st.head = KotlinHead::None;  // its delegate's expression follows
            st.continues = true;
        }
        return;
    case W::Header:
        // Where a statement starts: the first token, after a line end or
        // an annotation ("@file:A").
        if (st.depth == 0 && (st.prev == KotlinLast::Start || st.prev == KotlinLast::LineEnd ||
                              st.before == KotlinAnnotation::Name || st.before == KotlinAnnotation::End))
            st.importHead = true;
        return;
    case W::Modifier:
        // Not after an annotation: tree-sitter's grammar reads "@A(x)" and
        // a word on the next line as an annotated expression in a script.
        if (st.prev == KotlinLast::Start || st.prev == KotlinLast::LineEnd || st.prev == KotlinLast::Modifier)
            st.last = KotlinLast::Modifier;
        return;
    }
}

struct KotlinSteps : KitSteps<KotlinSteps> {
    // Skips blanks, line ends (noting the first), a byte order mark at the
    // start, and comments whose words are not tokens. Leaves at least
    // kLexLookahead bytes readable after pos, or all that remain.
    static Stop skipLayout(Lexer &lx)
    {
        KotlinLexState &st = kotlinState(lx);
        const char *w = lx.window;
        std::size_t i = lx.pos;
        for (;;) {
            for (;;) {
                const char c = w[i];
                if (isBlank(c)) {
                    ++i;
                    // Indentation: eight spaces at a time (the zero padding
                    // after the window's end stops this).
                    while (eightSpaces(w + i))
                        i += 8;
                    continue;
                }
                if (c != '\n' && c != '\r')
                    break;
                if (!st.lineBreak) {
                    st.lineBreak = true;
                    st.breakPlace = placeAt(lx, i);
                }
                if (c == '\n')
                    newLine(lx, i);
                ++i;
            }
            if (refillShort(lx, i))
                continue;
            lx.pos = lx.pieceStart = i;
            if (i == 0 && lx.base == 0 && byteOrderMarkAt(lx, 0)) {
                i = 3;
                continue;
            }
            if (w[i] == '/' && w[i + 1] == '/') {
                if (lx.options.comments)
                    return Stop::Comment;
                // A lone CR ends the comment too: the compiler reads it as a line end.
                skipUntil(lx, i, [](char c) { return c == '\n' || c == '\r'; });
                i = lx.pos;
                continue;
            }
            if (w[i] == '/' && w[i + 1] == '*') {
                if (commentIsTokenOr(lx, i, skipNestedComment))
                    return Stop::Comment;
                continue;
            }
            return tokenOrEnd(lx, i);
        }
    }

    static bool openComment(Lexer &lx, TokenPiece &piece)
    {
        kotlinState(lx).commentDepth = 1;
        return KitSteps::openComment(lx, piece);
    }
    static bool comment(Lexer &lx, TokenPiece &piece)
    {
        if (lx.mode == LexMode::BlockComment)
            return nestedCommentStep(lx, piece, kotlinState(lx).commentDepth);
        return lineComment(lx, piece);
    }

    // Goes on with the words of the line comment open at pos, which a line
    // feed or a lone CR ends (a CR LF's CR is a blank); true when piece is
    // filled.
    static bool lineComment(Lexer &lx, TokenPiece &piece)
    {
        const char *w = lx.window;
        for (;;) {
            std::size_t i = lx.pos;
            while ((byteClass(w[i]) & kBlank) && (w[i] != '\r' || w[i + 1] == '\n'))
                ++i;
            lx.pos = lx.pieceStart = i;
            if (lx.end - i < 2 && !lx.ended) {
                refill(lx, i);
                continue;
            }
            if (w[i] == '\n' || w[i] == '\r' || i >= lx.end) {
                lx.mode = LexMode::Between;
                return false;
            }
            beginToken(lx, TokenKind::CommentWord);
            lx.mode = LexMode::Word;
            return wordStep(lx, piece);
        }
    }
    static bool word(Lexer &lx, TokenPiece &piece)
    {
        return lx.commentIsBlock ? nestedWordStep(lx, piece) : wordStep(lx, piece);
    }

    // At the input's end: an unclosed comment or bracket is no Kotlin.
    static bool inputEnd(Lexer &lx, TokenPiece &piece)
    {
        if (lx.commentUnclosed)
            return stopHere(lx, piece, nullptr, lx.commentPlace);
        if (kotlinState(lx).depth > 0)
            return rejectAt(lx, piece, lx.pos);
        return KitSteps::inputEnd(lx, piece);
    }

    // The token at pos, after the line end that waits before it where that
    // ends a statement.
    static bool startToken(Lexer &lx, TokenPiece &piece)
    {
        KotlinLexState &st = kotlinState(lx);
        const char *w = lx.window + lx.pos;
        if (st.lineBreak) {
            st.lineBreak = false;
            const KotlinFrame frame = top(st);
            const bool annotated = st.annotation == KotlinAnnotation::Name || st.annotation == KotlinAnnotation::End;
            if (!st.continues && !isParenFrame(frame) && frame != KotlinFrame::Square && !joinsNext(w) &&
                !(annotated && (isNameStart(w[0]) || w[0] == '@' || w[0] == '`')) && !layoutBefore(st, w, frame)) {
                setWholePiece(lx, piece, TokenKind::LineEnd, "\n", st.breakPlace);
                st.continues = true;
                st.annotation = KotlinAnnotation::None;
                if (st.last != KotlinLast::DoEnd)
                    st.last = KotlinLast::LineEnd;
                st.head = KotlinHead::None;
                st.importHead = false;
                return true;
            }
        }
        st.before = st.annotation;
        if (st.annotation != KotlinAnnotation::Args)
            st.annotation = KotlinAnnotation::None;
        const char c = w[0];
        st.prev = st.last;
        st.last = KotlinLast::Other;
        if (st.prev == KotlinLast::Do && c != '{')
            st.doWithoutBraces = true;
        beginToken(lx, TokenKind::Code);
        if (isDigit(c) || (c == '.' && isDigit(w[1])))
            return numberStart(lx, piece);
        if (isNameStart(c)) {
            st.atTaken = false;
            st.annotationStart = false;
            lx.mode = LexMode::Name;
            return name(lx, piece);
        }
        switch (c) {
        case '"': return stringStart(lx, piece);
        case '\'': case '`':
            lx.quote = c;
            ++lx.pos;
            lx.mode = LexMode::Verbatim;
            return verbatim(lx, piece);
        case '@': return at(lx, piece);
        case '}':
            if (top(st) == KotlinFrame::Hole) {
                closeFrame(st);
                ++lx.pos;
                lx.mode = top(st) == KotlinFrame::Raw ? LexMode::Raw : LexMode::Quoted;
                return lx.mode == LexMode::Raw ? raw(lx, piece) : quoted(lx, piece);
            }
            break;
        default: break;
        }
        return punctuator(lx, piece);
    }

    // Follows an annotation through the punctuator of n bytes at w, its
    // frames opened or closed: "@a.B", "@file:A", "@A(...)".
    static void noteAnnotation(KotlinLexState &st, const char *w, std::size_t n)
    {
        if (st.before == KotlinAnnotation::Name && n == 1 && (w[0] == '.' || w[0] == ':')) {
            st.annotation = KotlinAnnotation::Dot;
        } else if (st.before == KotlinAnnotation::Name && w[0] == '(') {
            st.annotation = KotlinAnnotation::Args;
            st.annotationDepth = st.depth;
        } else if (st.before == KotlinAnnotation::Args && w[0] == ')' && st.depth + 1 == st.annotationDepth) {
            st.annotation = KotlinAnnotation::End;
        }
    }

    // An operator or punctuator at pos; brackets open and close frames.
    static bool punctuator(Lexer &lx, TokenPiece &piece)
    {
        KotlinLexState &st = kotlinState(lx);
        const char *w = lx.window + lx.pos;
        const std::size_t n = operatorLength(w);
        // '=' (fun, val, var), '{' and ';' end the head of the declaration
        // whose keyword stands in the same brackets.
        if (st.head != KotlinHead::None && st.depth == st.headDepth && (w[0] == '{' || w[0] == ';' || (w[0] == '=' && n == 1)))
            st.head = KotlinHead::None;
        KotlinFrame closed = KotlinFrame::Square;
        switch (w[0]) {
        case '(': case '[': case '{': {
            KotlinFrame f = KotlinFrame::Square;
            if (w[0] == '(')
                f = st.prev == KotlinLast::If ? KotlinFrame::Condition
                    : st.prev == KotlinLast::When ? KotlinFrame::Subject : KotlinFrame::Paren;
            else if (w[0] == '{')
                f = st.prev == KotlinLast::Do ? KotlinFrame::DoBody
                    : st.prev == KotlinLast::When || st.prev == KotlinLast::SubjectEnd ? KotlinFrame::WhenBody
                                                                                        : KotlinFrame::Brace;
            if (!push(st, f))
                return stopHere(lx, piece, kTooDeep, lx.place);
            break;
        }
        case ')': case ']': case '}': {
            closed = top(st);
            const bool matches = w[0] == ')' ? isParenFrame(closed) : w[0] == ']' ? closed == KotlinFrame::Square
                                                                                   : isBraceFrame(closed);
            if (st.depth == 0 || !matches)
                return rejectAt(lx, piece, lx.pos);
            closeFrame(st);
            break;
        }
        default: break;
        }
        st.continues = operandFollows(w, n);
        // An if's, loop's or when's head is followed by its body, a do
        // loop's body by its while.
        if (w[0] == ')' && (closed == KotlinFrame::Condition || closed == KotlinFrame::Subject))
            st.continues = true;
        if (w[0] == ')' && closed == KotlinFrame::Subject)
            st.last = KotlinLast::SubjectEnd;
        if (w[0] == '}' && closed == KotlinFrame::DoBody)
            st.last = KotlinLast::DoEnd;
        if (n == 2 && w[0] == ':' && w[1] == ':')
            st.last = KotlinLast::Colons;
        if (n == 1 && (w[0] == '{' || w[0] == ';'))
            st.last = KotlinLast::Start;
        noteAnnotation(st, w, n);
        lx.pos += n;
        finishToken(lx, piece);
        return true;
    }

    // An '@' at pos: with the name right after it, an annotation's start;
    // before layout "@ "; else alone.
    static bool at(Lexer &lx, TokenPiece &piece)
    {
        KotlinLexState &st = kotlinState(lx);
        const char next = lx.window[lx.pos + 1];
        st.continues = false;
        if (isNameStart(next)) {
            st.atTaken = true;
            st.annotationStart = true;
            ++lx.pos;
            lx.mode = LexMode::Name;
            return name(lx, piece);
        }
        const bool layout = lx.pos + 1 < lx.end && isLayoutAfterAt(next);
        if (!layout) {
            ++lx.pos;
            finishToken(lx, piece);
            return true;
        }
        return finishText(lx, piece, "@ ", 2, lx.pos + 1);
    }

    // Goes on with a name: its bytes, then an '@' right after it and the
    // name right after that (loop@, return@loop), and "as?".
    static bool name(Lexer &lx, TokenPiece &piece)
    {
        KotlinLexState &st = kotlinState(lx);
        const char *w = lx.window;
        std::size_t i = lx.pos;
        if (st.atBlank) {
            st.atBlank = false;
            st.continues = false;
            return finishText(lx, piece, " ", 1, i);
        }
        for (;;) {
            if (!runOver(lx, i, isNameByte, 3))
                return pauseAt(lx, piece, lx.pos);
            if (w[i] != '@' || st.atTaken || i >= lx.end)
                break;
            st.atTaken = true;
            ++i;
            if (i < lx.end && isLayoutAfterAt(w[i])) {
                // "loop@ ": the '@' a blank follows, which "loop @ " does not match.
                st.atBlank = true;
                setPiece(lx, piece, lx.pieceStart, i, false);
                lx.pos = lx.pieceStart = i;
                return true;
            }
        }
        const std::size_t n = i - lx.pieceStart;
        const bool whole = lx.firstPiece;
        if (st.annotationStart || st.before == KotlinAnnotation::Dot)
            st.annotation = KotlinAnnotation::Name;
        st.continues = whole && operandWord(w + lx.pieceStart, n);
        if (whole && !st.atTaken && maybeWord(w + lx.pieceStart, n))
            nameFacts(st, w + lx.pieceStart, n);
        if (whole && n == 2 && w[lx.pieceStart] == 'a' && w[lx.pieceStart + 1] == 's' && w[i] == '?')
            ++i;
        return finishAt(lx, piece, i);
    }

    // Starts a number at pos: a 0x or 0b prefix, or a '.' that starts a
    // fraction.
    static bool numberStart(Lexer &lx, TokenPiece &piece)
    {
        KotlinLexState &st = kotlinState(lx);
        const char *w = lx.window + lx.pos;
        st.numberPhase = kInteger;
        st.numberDecimal = true;
        if (w[0] == '.') {
            st.numberPhase = kFraction;
            ++lx.pos;
        } else if (w[0] == '0' && (w[1] == 'x' || w[1] == 'X' || w[1] == 'b' || w[1] == 'B')) {
            st.numberPhase = kSuffix;
            st.numberDecimal = false;
            lx.pos += 2;
        }
        lx.mode = LexMode::Number;
        return number(lx, piece);
    }

    // Goes on with a number: digits and '_', a fraction after a '.' and a
    // digit, an exponent with its sign, and the name bytes that follow (a
    // suffix, hexadecimal digits), as far as the compiler's lexer takes them.
    static bool number(Lexer &lx, TokenPiece &piece)
    {
        KotlinLexState &st = kotlinState(lx);
        const char *w = lx.window;
        std::size_t i = lx.pos;
        int &phase = st.numberPhase;
        for (;;) {
            if (!readable(lx, i, 3))
                return pauseAt(lx, piece, lx.pos);
            const char c = w[i];
            if (i >= lx.end)
                break;
            if (isDigit(c) || c == '_') {
                ++i;
            } else if (c == '.' && phase == kInteger && isDigit(w[i + 1])) {
                phase = kFraction;
                ++i;
            } else if ((c == 'e' || c == 'E') && st.numberDecimal && phase <= kFraction &&
                       (isDigit(w[i + 1]) || ((w[i + 1] == '+' || w[i + 1] == '-') && isDigit(w[i + 2])))) {
                phase = kExponent;
                i += 2;
            } else if (isNameByte(c)) {
                phase = kSuffix;
                ++i;
            } else {
                break;
            }
        }
        st.continues = false;
        return finishAt(lx, piece, i);
    }

    // Starts a string at pos: """ a raw one, else an ordinary one.
    static bool stringStart(Lexer &lx, TokenPiece &piece)
    {
        KotlinLexState &st = kotlinState(lx);
        const char *w = lx.window + lx.pos;
        const bool isRaw = w[1] == '"' && w[2] == '"';
        if (!push(st, isRaw ? KotlinFrame::Raw : KotlinFrame::String))
            return stopHere(lx, piece, kTooDeep, lx.place);
        lx.pos += isRaw ? 3 : 1;
        lx.mode = isRaw ? LexMode::Raw : LexMode::Quoted;
        return isRaw ? raw(lx, piece) : quoted(lx, piece);
    }

    // At a '$' at window offset i inside a string: a "${" opens a hole, and
    // the token ends after it; a "$`name`" template is stepped over, so that
    // a quote in its name ends no string. kGoOn when the scan goes on from
    // i; else what the step returns (piece filled, or a pause with nothing
    // to hand out yet).
    static int dollar(Lexer &lx, TokenPiece &piece, std::size_t &i)
    {
        KotlinLexState &st = kotlinState(lx);
        const char *w = lx.window;
        if (w[i + 1] == '{') {
            if (!push(st, KotlinFrame::Hole))
                return stopHere(lx, piece, kTooDeep, lx.place);
            st.continues = true;
            return finishAt(lx, piece, i + 2);
        }
        if (w[i + 1] != '`') {
            ++i;
            return kGoOn;
        }
        if (!readable(lx, i, kTemplateName))
            return pauseAt(lx, piece, lx.pos);
        std::size_t k = i + 2;
        while (k < lx.end && k < i + kTemplateName && w[k] != '`' && w[k] != '\n' && w[k] != '\r')
            ++k;
        if (k < lx.end && w[k] == '`' && k > i + 2) {
            i = k + 1;
            return kGoOn;
        }
        if (k == i + kTemplateName)
            return stopHere(lx, piece, kLongTemplate, lx.place);
        ++i;  // no template: the '$' is text
        return kGoOn;
    }

    // Goes on with an ordinary string's text, to its closing quote or a
    // hole's "${"; a line end or the input's end in it is no Kotlin.
    static bool quoted(Lexer &lx, TokenPiece &piece)
    {
        KotlinLexState &st = kotlinState(lx);
        const char *w = lx.window;
        std::size_t i = lx.pos;
        for (;;) {
            if (!runOver(lx, i, isStringPlain, 3))
                return pauseAt(lx, piece, lx.pos);
            const char c = w[i];
            if (i >= lx.end || c == '\n' || c == '\r')
                return rejectAt(lx, piece, i);
            if (c == '"') {
                closeFrame(st);
                st.continues = false;
                return finishAt(lx, piece, i + 1);
            }
            if (c == '\\') {
                if (i + 1 >= lx.end || w[i + 1] == '\n' || w[i + 1] == '\r')
                    return rejectAt(lx, piece, i);
                i += 2;
            } else if (c == '$') {
                const int r = dollar(lx, piece, i);
                if (r != kGoOn)
                    return r != 0;
            } else {
                ++i;  // a zero byte of the text
            }
        }
    }

    // Goes on with a raw string's text, to the last quote of a run of three
    // or more, or a hole's "${"; its line ends are text, the CR of a CR LF
    // left out.
    static bool raw(Lexer &lx, TokenPiece &piece)
    {
        KotlinLexState &st = kotlinState(lx);
        const char *w = lx.window;
        std::size_t i = lx.pos;
        for (;;) {
            if (!runOver(lx, i, isRawPlain, 3))
                return pauseAt(lx, piece, lx.pos);
            const char c = w[i];
            if (i >= lx.end)
                return rejectAt(lx, piece, i);
            if (c == '"') {
                if (w[i + 1] != '"' || w[i + 2] != '"') {
                    ++i;
                    continue;
                }
                if (!runOver(lx, i, [](char q) { return q == '"'; }))
                    return pauseAt(lx, piece, lx.pos);
                closeFrame(st);
                st.continues = false;
                return finishAt(lx, piece, i);
            }
            if (c == '$') {
                const int r = dollar(lx, piece, i);
                if (r != kGoOn)
                    return r != 0;
            } else if (literalLineByte(lx, piece, i)) {
                return true;
            }
        }
    }

    // Goes on with a character literal or a backticked name (lx.quote) to
    // its closing quote; a line end or the input's end in it is no Kotlin.
    static bool verbatim(Lexer &lx, TokenPiece &piece)
    {
        const char q = lx.quote;
        const char *w = lx.window;
        std::size_t i = lx.pos;
        for (;;) {
            if (!runOver(lx, i, [q](char c) { return c != q && c != '\\' && c != '\n' && c != '\r' && c != 0; }, 2))
                return pauseAt(lx, piece, lx.pos);
            const char c = w[i];
            if (i >= lx.end || c == '\n' || c == '\r')
                return rejectAt(lx, piece, i);
            if (c == q) {
                kotlinState(lx).continues = false;
                return finishAt(lx, piece, i + 1);
            }
            if (c == '\\' && q == '\'') {
                if (i + 1 >= lx.end || w[i + 1] == '\n' || w[i + 1] == '\r')
                    return rejectAt(lx, piece, i);
                i += 2;
            } else {
                ++i;  // a zero byte, or a backslash in a backticked name
            }
        }
    }
};

} // namespace

void kotlinStart(Lexer &lx)
{
    startLanguageState<KotlinLexState>(lx);
    lx.rejects = true;
}

extern const LexerHooks kKotlinLexer = {kotlinStart, kitNext<KotlinSteps>, nullptr, nullptr, false, anyHashBang};
