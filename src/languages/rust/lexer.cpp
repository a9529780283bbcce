// The Rust lexer: tokens as rustc reads them, longest match first; blanks,
// line ends and comments (nested block comments and doc comments too)
// between them dropped, and so is a byte order mark; a shebang line is one
// token (tokens/lexer.h, hashBangStep), its key the line as the kernel reads it.
//
// Choices beyond the plain lexical rules:
// - ">>" is two '>' tokens, so that closing generics compare equal however
//   they are spaced, except inside the brackets of a macro call, a
//   macro_rules definition or an attribute: a macro can tell ">>" from "> >",
//   so there it stays one token (and "<-" one too, as rustc glues it there;
//   elsewhere "<-" is '<' then '-', as the parser reads "a<-b"). A name
//   followed by '!' counts as a macro call even after a keyword ("if !(...)"),
//   which only keeps more ">>" whole;
// - doc comments are comments; with LexOptions::comments their marker ("///",
//   "//!", "/**", "/*!") is a word of its own, so a doc comment never equals
//   a plain one;
// - the blanks beyond ASCII that rustc takes as whitespace (U+0085, U+200E,
//   U+200F, U+2028, U+2029) are layout between tokens; every other byte
//   from 0x80 on is a name byte; inside a literal or a comment all are
//   content;
// - after a '.', outside the brackets of a macro call or an attribute, a
//   number takes no fraction: rustc's parser reads the float "0.0" there as
//   the tuple fields ".0 .0", so "x.0.0" is "x.0 .0";
// - a CR LF inside a literal reads as LF, as rustc reads the whole file;
// - a raw string with more than kRustRawHashes '#' (an error to rustc) lexes
//   as a name and '#' tokens; a number longer than the window is cut at its
//   end; a window of blanks and comments after a first "#!" is taken as
//   the start of an inner attribute, not a shebang line (which would be
//   one token, so that either reading tells the two sources apart).
#include <cstring>

#include "languages/rust/state.h"
#include "tokens/kit.h"
#include "tokens/lexer.h"
#include "tokens/sorted_imports.h"

namespace {

inline bool isNameByte(char c)
{
    return byteClass(c) & kNameB;
}

inline bool isNameStart(char c)
{
    return (byteClass(c) & kNameB) && !(byteClass(c) & kDigit);
}

inline bool isDigit(char c)
{
    return byteClass(c) & kDigit;
}

inline bool isHexDigit(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Bytes of the blank beyond ASCII that starts at p, one of those rustc takes
// as whitespace (U+0085, U+200E, U+200F, U+2028, U+2029); 0 for none. The
// window's zero padding makes the bytes after a non-zero one readable.
inline std::size_t wideBlank(const char *p)
{
    const unsigned char *u = reinterpret_cast<const unsigned char *>(p);
    if (u[0] == 0xc2)
        return u[1] == 0x85 ? 2 : 0;
    if (u[0] != 0xe2 || u[1] != 0x80)
        return 0;
    return u[2] == 0x8e || u[2] == 0x8f || u[2] == 0xa8 || u[2] == 0xa9 ? 3 : 0;
}

// True when p starts a name byte that is no blank.
inline bool nameByteAt(const char *p)
{
    return isNameByte(p[0]) && (static_cast<unsigned char>(p[0]) < 0xc2 || !wideBlank(p));
}

// True when p starts a name: a name byte that is neither a digit nor a blank.
inline bool nameStartAt(const char *p)
{
    return isNameStart(p[0]) && (static_cast<unsigned char>(p[0]) < 0xc2 || !wideBlank(p));
}

// The offset from which a run of name bytes that reached the window's end
// at i is read again once more is in: a blank beyond ASCII may be cut there,
// its first bytes taken as name bytes.
inline std::size_t beforeCutBlank(std::size_t from, std::size_t i)
{
    return i - from > 2 ? i - 2 : from;
}

// Bytes of the UTF-8 character at p; 1 for a byte that starts none (what
// follows p is readable up to a zero byte).
std::size_t charLength(const char *p)
{
    unsigned char u = static_cast<unsigned char>(p[0]);
    std::size_t n = u >= 0xf8 ? 1 : u >= 0xf0 ? 4 : u >= 0xe0 ? 3 : u >= 0xc0 ? 2 : 1;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(p[k]) & 0xc0) != 0x80)
            return 1;
    return n;
}

// True when the comment that starts at p ("//" or "/*") is a doc comment:
// "///" but not "////", "//!", "/**" but not "/***" or "/**/", "/*!".
bool isDocComment(const char *p)
{
    if (p[1] == '/')
        return (p[2] == '/' && p[3] != '/') || p[2] == '!';
    return (p[2] == '*' && p[3] != '*' && p[3] != '/') || p[2] == '!';
}

// True when the first thing from window offset i on, other than blanks, line
// ends and plain comments, is '[' (rustc's test of a first "#!" line), or when
// the window ends before telling.
bool bracketFollows(const Lexer &lx, std::size_t i)
{
    const char *w = lx.window;
    for (;;) {
        for (std::size_t n; (n = (byteClass(w[i]) & kBlank) || w[i] == '\n' ? 1 : wideBlank(w + i)) > 0;)
            i += n;
        if (i + 4 > lx.end && !lx.ended)
            return true;
        if (w[i] != '/' || (w[i + 1] != '/' && w[i + 1] != '*') || isDocComment(w + i))
            return w[i] == '[' && i < lx.end;
        if (w[i + 1] == '/') {
            while (i < lx.end && w[i] != '\n')
                ++i;
            continue;
        }
        std::uint64_t depth = 1;
        for (i += 2; depth > 0 && i + 1 < lx.end; ++i) {
            if (w[i] == '*' && w[i + 1] == '/')
                --depth, ++i;
            else if (w[i] == '/' && w[i + 1] == '*')
                ++depth, ++i;
        }
        if (depth > 0)
            return !lx.ended;
    }
}

// At the source's start: steps over a UTF-8 byte order mark (the shared
// layer has handed out a shebang line before, and the lexer then goes on
// from its end).
void skipSourceStart(Lexer &lx)
{
    if (lx.pos > 0 || lx.base > 0)
        return;
    refill(lx, 0);
    const unsigned char *u = reinterpret_cast<const unsigned char *>(lx.window);
    lx.pos = lx.pieceStart = lx.end >= 3 && u[0] == 0xef && u[1] == 0xbb && u[2] == 0xbf ? 3 : 0;
}

// A first "#!" at window offset at is a shebang line unless '[' follows it
// (rustc's test).
bool rustHashBang(const Lexer &lx, std::size_t at)
{
    return !bracketFollows(lx, at + 2);
}

// True when the quote at window offset i closes the open raw string: its
// '#'s follow.
bool closesRaw(const Lexer &lx, std::size_t i)
{
    std::size_t n = languageState<RustLexState>(lx).hashes;
    if (i + 1 + n > lx.end)
        return false;
    for (std::size_t k = 1; k <= n; ++k)
        if (lx.window[i + k] != '#')
            return false;
    return true;
}

// Notes the token about to start, for the groups a macro or an attribute
// reads: name tells a name or keyword, else punct (n bytes at p) or 0 for a
// literal or lifetime.
void noteToken(Lexer &lx, bool name, const char *p, std::size_t n)
{
    RustLexState &rs = rustState(lx);
    unsigned char opener = 0;
    if (name) {
        opener = rs.opener == 2 ? 1 : 0;
    } else if (p && n == 1) {
        switch (p[0]) {
        case '!': opener = rs.lastMacroRules ? 2 : (rs.lastName || rs.lastHash ? 1 : 0); break;
        case '#': opener = 1; break;
        case '(': case '[': case '{':
            ++rs.depth;
            if (rs.opener == 1 && rs.groupDepth == 0)
                rs.groupDepth = rs.depth;
            break;
        case ')': case ']': case '}':
            if (rs.depth == rs.groupDepth)
                rs.groupDepth = 0;
            rs.depth -= rs.depth > 0 ? 1 : 0;
            break;
        default: break;
        }
    }
    rs.opener = opener;
    rs.lastName = name;
    rs.lastMacroRules = name && std::strncmp(p, "macro_rules", 11) == 0 && !isNameByte(p[11]);
    rs.lastHash = p && !name && p[0] == '#';
    rs.lastDot = p && !name && n == 1 && p[0] == '.';
}

// Bytes of the punctuator at p by longest match; "<-" is '<' (see above).
std::size_t punctuatorLength(const char *p)
{
    char a = p[1];
    switch (p[0]) {
    case '+': case '*': case '/': case '%': case '^': case '!': return a == '=' ? 2 : 1;
    case '-': case '=': return a == '=' || a == '>' ? 2 : 1;
    case '&': return a == '&' || a == '=' ? 2 : 1;
    case '|': return a == '|' || a == '=' ? 2 : 1;
    case ':': return a == ':' ? 2 : 1;
    case '.': return a == '.' ? (p[2] == '.' || p[2] == '=' ? 3 : 2) : 1;
    case '<': case '>':
        if (a == p[0])
            return p[2] == '=' ? 3 : 2;
        return a == '=' ? 2 : 1;
    default: return 1;
    }
}

// Takes a punctuator, or any other byte alone, at pos.
bool punctuator(Lexer &lx, TokenPiece &piece)
{
    const char *w = lx.window + lx.pos;
    std::size_t n = punctuatorLength(w);
    bool group = rustState(lx).groupDepth > 0;
    if (w[0] == '>' && !group) {
        // ">>" is '>' twice; ">>=" stays whole, and so does a ">=" or ">>="
        // after the first '>' of a ">>": it is that '>' again.
        if (lx.splitGreater) {
            n = 1;
            lx.splitGreater = false;
        } else if (n == 2 && w[1] == '>') {
            n = 1;
            lx.splitGreater = true;
        }
    }
    if (w[0] == '<' && w[1] == '-' && group)
        n = 2;
    noteToken(lx, false, w, n);
    lx.pos += n;
    finishToken(lx, piece);
    return true;
}

// Moves the window so that a few bytes after pos are readable, if the token
// leaves room for them.
void lookahead(Lexer &lx)
{
    if (lx.end - lx.pos < 3 && !lx.ended)
        ensureAhead(lx, 3);
}

// Takes digits and '_' from pos (hex digits too when hex); true when a digit
// was among them.
bool eatDigits(Lexer &lx, bool hex)
{
    bool any = false;
    for (;;) {
        lookahead(lx);
        char c = lx.window[lx.pos];
        bool digit = hex ? isHexDigit(c) : isDigit(c);
        if (!digit && c != '_')
            return any;
        any = any || digit;
        ++lx.pos;
    }
}

// Takes an exponent's sign and digits after its 'e' or 'E'.
void eatExponent(Lexer &lx)
{
    lookahead(lx);
    if (lx.window[lx.pos] == '+' || lx.window[lx.pos] == '-')
        ++lx.pos;
    eatDigits(lx, false);
}

// Takes a character or byte literal of one character, its quote prefix
// bytes after pos, the way rustc takes one before anything else: any
// character but '\\' between two quotes. False when it is none.
bool oneCharacter(Lexer &lx, std::size_t prefix)
{
    std::size_t at = lx.pos + prefix + 1;
    const char *w = lx.window + at;
    std::size_t n = charLength(w);
    if (w[0] == '\\' || w[n] != '\'' || at + n >= lx.end)
        return false;
    if (w[0] == '\n')
        newLine(lx, at);
    lx.pos = at + n + 1;
    return true;
}

// The lexer's steps: the byte order mark at the source's start, then
// layout, tokens and the words of comments in which others nest.
struct RustSteps : KitSteps<RustSteps> {
    // Skips blanks, line ends and comments whose words are not tokens.
    // Leaves at least kLexLookahead bytes readable after pos, or all that
    // remain.
    static Stop skipLayout(Lexer &lx)
    {
        if (!rustState(lx).started) {
            rustState(lx).started = true;
            skipSourceStart(lx);
        }
        const char *w = lx.window;
        std::size_t i = lx.pos;
        for (;;) {
            skipBlanks(lx, i, [](char c) { return (byteClass(c) & kBlank) || c == '\n'; });
            if (refillShort(lx, i))
                continue;
            if (std::size_t n = wideBlank(w + i)) {
                i += n;
                continue;
            }
            lx.pos = lx.pieceStart = i;
            if (w[i] == '/' && (w[i + 1] == '*' || w[i + 1] == '/')) {
                if (commentIsTokenOr(lx, i, w[i + 1] == '*' ? skipNestedComment : skipLineComment))
                    return Stop::Comment;
                continue;
            }
            return tokenOrEnd(lx, i);
        }
    }
    static bool comment(Lexer &lx, TokenPiece &piece)
    {
        if (lx.mode == LexMode::BlockComment)
            return nestedCommentStep(lx, piece, rustState(lx).commentDepth);
        return commentStep(lx, piece);
    }
    static bool word(Lexer &lx, TokenPiece &piece)
    {
        return lx.commentIsBlock ? nestedWordStep(lx, piece) : wordStep(lx, piece);
    }

    // Starts the token at pos.
    static bool startToken(Lexer &lx, TokenPiece &piece)
    {
        beginToken(lx, TokenKind::Code);
        char c = lx.window[lx.pos];
        if (isDigit(c))
            return numberToken(lx, piece);
        if (nameStartAt(lx.window + lx.pos))
            return nameStart(lx, piece);
        if (c == '\'')
            return quoteStart(lx, piece);
        if (c == '"') {
            noteToken(lx, false, nullptr, 0);
            return quotedStart(lx, piece, 0);
        }
        return punctuator(lx, piece);
    }

    // Starts a token at a name byte: a literal with a prefix (b"", b'', c"",
    // r"", br"", cr"", with '#'s), a raw identifier r#name, or a name.
    static bool nameStart(Lexer &lx, TokenPiece &piece)
    {
        const char *w = lx.window + lx.pos;
        bool bc = w[0] == 'b' || w[0] == 'c';
        if (bc && w[1] == '"') {
            noteToken(lx, false, nullptr, 0);
            return quotedStart(lx, piece, 1);
        }
        if (w[0] == 'b' && w[1] == '\'') {
            noteToken(lx, false, nullptr, 0);
            return oneCharacter(lx, 1) ? literalEnd(lx, piece) : quotedStart(lx, piece, 1);
        }
        std::size_t prefix = w[0] == 'r' ? 1 : (bc && w[1] == 'r' ? 2 : 0);
        if (prefix > 0 && (w[prefix] == '"' || w[prefix] == '#')) {
            bool taken = false;
            bool filled = rawStart(lx, piece, prefix, taken);
            if (taken)
                return filled;
            w = lx.window + lx.pos;
        }
        noteToken(lx, true, w, 0);
        if (w[0] == 'r' && w[1] == '#' && nameStartAt(w + 2))
            lx.pos += 2;
        lx.mode = LexMode::Name;
        return name(lx, piece);
    }

    // Goes on with a run of name bytes that ends the current token.
    static bool name(Lexer &lx, TokenPiece &piece)
    {
        const char *w = lx.window;
        std::size_t i = lx.pos;
        for (;;) {
            while (nameByteAt(w + i))
                ++i;
            if (i < lx.end || lx.ended)
                break;
            lx.pos = beforeCutBlank(lx.pos, i);
            if (!ensureAhead(lx, 3))
                return pauseAt(lx, piece, lx.pos);
            i = lx.pos;
        }
        lx.pos = i;
        finishToken(lx, piece);
        return true;
    }

    // After a literal, at pos: its suffix, a name right after it, ends the
    // token; otherwise the token ends there.
    static bool literalEnd(Lexer &lx, TokenPiece &piece)
    {
        if (nameStartAt(lx.window + lx.pos)) {
            lx.mode = LexMode::Name;
            return name(lx, piece);
        }
        finishToken(lx, piece);
        return true;
    }

    // Takes a number at pos as rustc does: a base prefix and its digits, a
    // fraction only when the '.' is followed by neither '.' nor a name (so
    // "1..2" is a range and "1.f()" a method call), an exponent, and the suffix.
    // After a '.' outside a macro's or attribute's group, a tuple field, it
    // takes no fraction (see the top).
    static bool numberToken(Lexer &lx, TokenPiece &piece)
    {
        const bool field = rustState(lx).lastDot && rustState(lx).groupDepth == 0;
        noteToken(lx, false, nullptr, 0);
        const char *w = lx.window;
        bool zero = w[lx.pos] == '0';
        ++lx.pos;
        lookahead(lx);
        char c = w[lx.pos];
        bool fractionMayFollow = true;
        if (zero && (c == 'b' || c == 'o' || c == 'x')) {
            ++lx.pos;
            fractionMayFollow = eatDigits(lx, c == 'x');
        } else if (!zero || isDigit(c) || c == '_') {
            eatDigits(lx, false);
        } else {
            fractionMayFollow = c == '.' || c == 'e' || c == 'E';
        }
        if (fractionMayFollow) {
            lookahead(lx);
            const char *p = w + lx.pos;
            if (p[0] == '.' && p[1] != '.' && !nameStartAt(p + 1) && !field) {
                ++lx.pos;
                if (isDigit(w[lx.pos])) {
                    eatDigits(lx, false);
                    lookahead(lx);
                    if (w[lx.pos] == 'e' || w[lx.pos] == 'E') {
                        ++lx.pos;
                        eatExponent(lx);
                    }
                }
            } else if (p[0] == 'e' || p[0] == 'E') {
                ++lx.pos;
                eatExponent(lx);
            }
        }
        lookahead(lx);
        return literalEnd(lx, piece);
    }

    // Starts a token at a quote '\'' at pos: a character literal or a lifetime
    // or label, told apart as rustc does: one character and a quote is a
    // literal ('a', '''), else a name after the quote is a lifetime ('a, 'static,
    // 'r#a), and a quote right after that name makes it a literal again.
    static bool quoteStart(Lexer &lx, TokenPiece &piece)
    {
        noteToken(lx, false, nullptr, 0);
        const char *w = lx.window + lx.pos;
        if (oneCharacter(lx, 0))
            return literalEnd(lx, piece);
        if (!nameStartAt(w + 1) && !isDigit(w[1]))
            return quotedStart(lx, piece, 0);
        const std::size_t from = lx.pos + (w[1] == 'r' && w[2] == '#' && nameStartAt(w + 3) ? 3 : 1);
        std::size_t i = from;
        while (nameByteAt(lx.window + i))
            ++i;
        lx.pos = i;
        if (i >= lx.end && !lx.ended) {
            lx.pos = from;  // a lifetime that reaches the window's end: its name read on
            lx.mode = LexMode::Name;
            return name(lx, piece);
        }
        if (lx.window[i] == '\'')
            lx.pos = i + 1;
        finishToken(lx, piece);
        return true;
    }

    // Starts a quoted literal whose opening quote stands prefix bytes after pos.
    static bool quotedStart(Lexer &lx, TokenPiece &piece, std::size_t prefix)
    {
        lx.quote = lx.window[lx.pos + prefix];
        lx.pos += prefix + 1;
        lx.mode = LexMode::Quoted;
        return quoted(lx, piece);
    }

    // Goes on with a quoted literal to its closing quote (lx.quote). A string
    // spans lines; a character or byte literal stops short, as rustc's does, at a
    // '/' or a line end, and an escape there takes the byte after it whatever it
    // is. Both stop at the input's end.
    static bool quoted(Lexer &lx, TokenPiece &piece)
    {
        const char *w = lx.window;
        const bool string = lx.quote == '"';
        const std::size_t need = string ? 2 : 3;  // a character literal's CR LF needs the byte after it
        std::size_t i = lx.pos;
        for (;;) {
            // A character literal stops short at a '/' too.
            auto plain = [string](char c) { return !(byteClass(c) & kQuotedStop) && (string || c != '/'); };
            if (!runOver(lx, i, plain, need))
                return pauseAt(lx, piece, lx.pos);
            char c = w[i];
            if (c == lx.quote) {
                lx.pos = i + 1;
                return literalEnd(lx, piece);
            }
            bool lineEnd = c == '\n' || (c == '\r' && w[i + 1] == '\n');
            if (!string && (c == '/' || (lineEnd && w[i + (c == '\r' ? 2 : 1)] != '\'')))
                return finishAt(lx, piece, i);
            if (c == '\\') {
                char next = w[i + 1];
                i += next == '\\' || next == lx.quote || (!string && next != '\n' && next != '\r') ? 2 : 1;
            } else if (literalLineByte(lx, piece, i)) {
                return true;
            }
        }
    }

    // Starts a raw string whose 'r' stands prefix - 1 bytes after pos; taken is
    // false when no quote follows its '#'s.
    static bool rawStart(Lexer &lx, TokenPiece &piece, std::size_t prefix, bool &taken)
    {
        ensureAhead(lx, prefix + kRustRawHashes + 2);
        const char *w = lx.window + lx.pos;
        std::size_t n = 0;
        while (lx.pos + prefix + n < lx.end && w[prefix + n] == '#' && n <= kRustRawHashes)
            ++n;
        taken = lx.pos + prefix + n < lx.end && w[prefix + n] == '"' && n <= kRustRawHashes;
        if (!taken)
            return false;
        noteToken(lx, false, nullptr, 0);
        rustState(lx).hashes = n;
        lx.pos += prefix + n + 1;
        lx.mode = LexMode::Raw;
        return raw(lx, piece);
    }

    // Goes on with the body of a raw string, to its quote and '#'s.
    static bool raw(Lexer &lx, TokenPiece &piece)
    {
        const char *w = lx.window;
        const std::size_t need = rustState(lx).hashes + 2;  // the quote, the '#'s, the byte after
        std::size_t i = lx.pos;
        for (;;) {
            while (w[i] != '"' && w[i] != '\n' && w[i] != '\r' && w[i] != 0)
                ++i;
            if (i + need > lx.end && !lx.ended && w[i] != '\n') {
                lx.pos = i;
                if (!ensureAhead(lx, need))
                    return pauseAt(lx, piece, lx.pos);
                i = lx.pos;
            }
            char c = w[i];
            if (c == '"' && closesRaw(lx, i)) {
                lx.pos = i + 1 + rustState(lx).hashes;
                return literalEnd(lx, piece);
            }
            if (literalLineByte(lx, piece, i))
                return true;
        }
    }

    // Opens the comment at pos whose words are tokens; a doc comment's marker is
    // its first word. True when piece is filled.
    static bool openComment(Lexer &lx, TokenPiece &piece)
    {
        const char *w = lx.window + lx.pos;
        lx.commentIsBlock = w[1] == '*';
        lx.commentLineStart = false;
        lx.commentPlace = placeAt(lx, lx.pos);
        rustState(lx).commentDepth = 1;
        LexMode inside = lx.commentIsBlock ? LexMode::BlockComment : LexMode::LineComment;
        if (!isDocComment(w)) {
            lx.pos += 2;
            lx.mode = inside;
            return false;
        }
        beginToken(lx, TokenKind::CommentWord);
        lx.pos += 3;
        finishToken(lx, piece);
        lx.mode = inside;
        return true;
    }
};

} // namespace

// The content test of .rs, which RenderScript, Android's C for compute
// kernels, shares: false when a line of text, a source's first length bytes,
// starts with "#pragma" ("# pragma" too), as every RenderScript file has
// "#pragma version(1)"; Rust, whose '#' opens an attribute, has none.
bool rustConfirms(const char *text, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        if (i > 0 && text[i - 1] != '\n')
            continue;
        std::size_t k = i;
        while (k < length && (text[k] == ' ' || text[k] == '\t'))
            ++k;
        if (k == length || text[k] != '#')
            continue;
        ++k;
        while (k < length && (text[k] == ' ' || text[k] == '\t'))
            ++k;
        if (length - k >= 6 && std::memcmp(text + k, "pragma", 6) == 0)
            return false;
    }
    return true;
}

extern const LexerHooks kRustLexer = {
    kitStart<RustLexState>, kitNext<RustSteps>, nullptr, &kRustImports, false, rustHashBang, rustConfirms};
