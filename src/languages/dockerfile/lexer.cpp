// The Dockerfile lexer: a Dockerfile as BuildKit's parser reads it.
//
// Tokens: each parser directive at the top ("# syntax=...", "# escape=...",
// "# check=..."), as "#NAME=VALUE"; an instruction's keyword as written;
// its arguments as words split at blanks outside quotes, each as written
// ('...' and "..." keep their blanks; a backslash keeps the byte after it);
// a LineEnd after each instruction. The exec form ["a", "b"] of RUN, CMD,
// ENTRYPOINT, SHELL, VOLUME, COPY and ADD is read as its JSON tokens, '[',
// strings as written, ',' and ']', blanks between them layout; where its
// grammar breaks (it is no JSON array of strings, and so the shell form),
// a token that tells which of the tokens so far had blanks before them
// comes first, and the words of the shell form go on. A here-document
// (<<EOF, <<-EOF, <<"EOF" in RUN, COPY and ADD) has its body after the
// instruction's line end as one token, as written ("\n" first, CR LF read
// as LF), less the leading tabs of each line for <<-.
// Layout: blank lines, indentation, comment lines ('#' first on the line,
// also inside a continued instruction, where Docker removes them; with
// LexOptions::comments each word of a comment outside an instruction is a
// token), blanks between words, and the escape byte (backslash, or the one
// "# escape=" sets) with the blanks and line end after it, which join the
// next line to the instruction; inside quotes the next line's leading
// blanks are text.
//
// Input that no Dockerfile reader takes (a NUL byte, a quote or a string
// that the instruction's end leaves open, a here-document without its
// delimiter line, a second escape directive or a bad escape byte, a keyword
// that a continuation joins to the next line's first word) ends the
// stream through rejectInput, "not valid Dockerfile", at the byte where the
// reading gave up; so does one past the lexer's bounds (more than
// kDockerHeredocs here-documents on one instruction, a delimiter longer than
// kDockerDelimiter bytes or an opener longer than a piece, an exec form
// broken after kDockerExecTokens tokens).
#include <cstring>

#include "languages/dockerfile/state.h"
#include "tokens/kit.h"
#include "tokens/lexer.h"

namespace {

constexpr char kRejected[] = "Dockerfile";

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The bytes of the line end at window offset i: a line feed, a CR LF, or a
// CR that ends the input, which Docker's line reader drops as it drops the
// CR of a CR LF; 0 when none stands there.
std::size_t lineEndAt(const Lexer &lx, std::size_t i)
{
    const char *w = lx.window;
    if (w[i] == '\n')
        return 1;
    if (w[i] != '\r')
        return 0;
    return w[i + 1] == '\n' ? 2 : i + 1 == lx.end && lx.ended ? 1 : 0;
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when the length bytes at s name word (lower case) in any case.
bool named(const char *s, std::size_t length, const char *word)
{
    if (std::strlen(word) != length)
        return false;
    for (std::size_t k = 0; k < length; ++k)
        if (lower(s[k]) != word[k])
            return false;
    return true;
}

void beginKey(DockerLexState &st, TokenKind kind, TokenPlace place)
{
    st.kind = kind;
    st.place = place;
    st.used = 0;
    st.pieceOut = false;
}

void fillPiece(DockerLexState &st, TokenPiece &piece, bool last)
{
    wholePiece(piece, st.kind, st.key, st.used, st.place);
    piece.first = !st.pieceOut;
    piece.last = last;
    st.pieceOut = !last;
    st.used = 0;
}

// Hands out the token built so far as its last piece; it ends at window
// offset at, where the lexer goes on with next.
void finishKey(Lexer &lx, DockerLexState &st, TokenPiece &piece, std::size_t at, DockerAt next)
{
    fillPiece(st, piece, true);
    lx.pos = at;
    markEnd(lx, at);
    st.at = next;
}

bool wholeToken(Lexer &lx, TokenPiece &piece, TokenKind kind, const char *text, std::size_t length, std::size_t at,
                std::size_t end, DockerAt next)
{
    DockerLexState &st = dockerState(lx);
    beginKey(st, kind, placeAt(lx, at));
    std::memcpy(st.key, text, length);
    st.used = length;
    finishKey(lx, st, piece, end, next);
    return true;
}

// The source is no Dockerfile from window offset at on: the stream ends
// there, a token with pieces out getting its last. Always true.
bool reject(Lexer &lx, TokenPiece &piece, std::size_t at)
{
    DockerLexState &st = dockerState(lx);
    rejectInput(lx, kRejected, placeAt(lx, at));
    st.at = DockerAt::Done;
    lx.mode = LexMode::Finished;
    if (st.pieceOut) {
        st.key[0] = '\x01';
        st.used = 1;
        fillPiece(st, piece, true);
        return true;
    }
    finishStream(lx, piece);
    return true;
}

// At the escape byte at window offset i: when blanks and a line end (or the
// input's end) follow, it joins the next line to the instruction: returns 1
// with i past them and past the comment lines and empty lines after them,
// at the start of the line that goes on (whose blanks are the caller's).
// 0 when it joins nothing; -1 when blanks run on past kDockerLook bytes.
int continuation(Lexer &lx, std::size_t &i)
{
    const char *w = lx.window;
    refillAhead(lx, i, kDockerLook + 4);
    std::size_t j = i + 1;
    while (isBlank(w[j]) && j - i < kDockerLook)
        ++j;
    if (isBlank(w[j]))
        return -1;
    std::size_t n = lineEndAt(lx, j);
    if (!n && j < lx.end)
        return 0;
    if (n)
        newLine(lx, j + n - 1);
    i = j + n;
    for (;;) {
        refillAhead(lx, i, kDockerLook + 4);
        std::size_t k = i;
        while (isBlank(w[k]) && k - i < kDockerLook)
            ++k;
        if (isBlank(w[k]))
            return -1;
        if (w[k] == '#' && k < lx.end) {
            lx.pos = k;
            skipUntil(lx, [](char c) { return c == '\n'; });
            k = lx.pos;
            if (k >= lx.end) {
                i = k;
                return 1;
            }
            newLine(lx, k);
            i = k + 1;
            continue;
        }
        n = lineEndAt(lx, k);
        if (!n)
            return 1;
        newLine(lx, k + n - 1);
        i = k + n;
    }
}

// A parser directive on the line from window offset i ('#'): true when the
// line is one, its token then in piece; else false, the line a comment.
bool directive(Lexer &lx, DockerLexState &st, TokenPiece &piece, std::size_t i, bool &rejected)
{
    const char *w = lx.window;
    refillAhead(lx, i, 512);
    const std::size_t lineEnd = lineFeedFrom(lx, i);
    if (lineEnd >= lx.end && !lx.ended) {
        rejected = reject(lx, piece, i);
        return false;
    }
    std::size_t k = i + 1;
    auto blanks = [&] {
        while (k < lineEnd && (isBlank(w[k]) || w[k] == '\r' || w[k] == '\f' || w[k] == '\v'))
            ++k;
    };
    blanks();
    const std::size_t name = k;
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!letter(w[k]))
        return false;
    while (letter(w[k]) || (w[k] >= '0' && w[k] <= '9'))
        ++k;
    const std::size_t nameEnd = k;
    blanks();
    if (w[k] != '=')
        return false;
    ++k;
    blanks();
    const std::size_t value = k;
    std::size_t valueEnd = lineEnd;
    while (valueEnd > value && (isBlank(w[valueEnd - 1]) || w[valueEnd - 1] == '\r' || w[valueEnd - 1] == '\f' ||
                                w[valueEnd - 1] == '\v'))
        --valueEnd;
    if (valueEnd == value)
        return false;
    const std::size_t nameLength = nameEnd - name;
    if (!named(w + name, nameLength, "syntax") && !named(w + name, nameLength, "escape") &&
        !named(w + name, nameLength, "check"))
        return false;  // an unknown name: a comment, and the directives end
    if (named(w + name, nameLength, "escape")) {
        if (st.escapeSeen || valueEnd - value != 1 || (w[value] != '\\' && w[value] != '`')) {
            rejected = reject(lx, piece, value);
            return false;
        }
        st.escape = w[value];
        st.escapeSeen = true;
    }
    if (nameLength + (valueEnd - value) + 2 > kDockerKeyPiece) {
        rejected = reject(lx, piece, i);
        return false;
    }
    beginKey(st, TokenKind::Code, placeAt(lx, i));
    st.key[st.used++] = '#';
    std::memcpy(st.key + st.used, w + name, nameLength);
    st.used += nameLength;
    st.key[st.used++] = '=';
    std::memcpy(st.key + st.used, w + value, valueEnd - value);
    st.used += valueEnd - value;
    // The directive's line end is no blank line, which would end the directives.
    std::size_t next = lineEnd;
    if (lineEnd < lx.end) {
        newLine(lx, lineEnd);
        ++next;
    }
    finishKey(lx, st, piece, next, DockerAt::LineStart);
    return true;
}

// At a line's start: blank lines, indentation, comments and directives;
// then an instruction's keyword. True when piece is filled.
bool lineStart(Lexer &lx, DockerLexState &st, TokenPiece &piece)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        refillAhead(lx, i, kLexLookahead);
        if (!st.started) {
            st.started = true;
            if (byteOrderMarkAt(lx, i))
                i += 3;
            continue;
        }
        while (isBlank(w[i])) {
            ++i;
            refillAhead(lx, i, kLexLookahead);
        }
        if (i >= lx.end) {
            st.at = DockerAt::Done;
            lx.pos = i;
            finishStream(lx, piece);
            return true;
        }
        if (const std::size_t n = lineEndAt(lx, i)) {
            st.directives = false;
            newLine(lx, i + n - 1);
            i += n;
            continue;
        }
        if (w[i] == '#') {
            if (st.directives) {
                bool rejected = false;
                if (directive(lx, st, piece, i, rejected) || rejected)
                    return true;
            }
            st.directives = false;
            lx.pos = i + 1;
            if (lx.options.comments) {
                st.at = DockerAt::Comment;
                return false;
            }
            skipUntil(lx, [](char c) { return c == '\n'; });
            i = lx.pos;
            continue;
        }
        st.directives = false;
        // The keyword.
        refillAhead(lx, i, kDockerLook);
        std::size_t j = i;
        while (j < lx.end && j - i < kDockerLook && !isBlank(w[j]) && !lineEndAt(lx, j) && w[j] != st.escape &&
               w[j] != 0)
            ++j;
        if ((w[j] == 0 && j < lx.end) || (j >= lx.end && !lx.ended) || j - i >= kDockerLook)
            return reject(lx, piece, j);
        if (j == i)
            j = i + 1;  // a lone escape byte or CR
        const char *k = w + i;
        const std::size_t n = j - i;
        st.execForm = named(k, n, "run") || named(k, n, "cmd") || named(k, n, "entrypoint") || named(k, n, "shell") ||
                      named(k, n, "volume") || named(k, n, "copy") || named(k, n, "add");
        st.heredocs = named(k, n, "run") || named(k, n, "copy") || named(k, n, "add");
        st.firstArg = true;
        st.afterKeyword = true;
        st.exec = -1;
        st.docCount = 0;
        return wholeToken(lx, piece, TokenKind::Code, w + i, n, i, j, DockerAt::Args);
    }
}

// True when the word built so far starts as a here-document's opener:
// digits, then "<<".
bool opensHeredoc(const DockerLexState &st)
{
    std::size_t k = 0;
    while (k < st.used && st.key[k] >= '0' && st.key[k] <= '9')
        ++k;
    return k + 1 < st.used && st.key[k] == '<' && st.key[k + 1] == '<';
}

// Marks the word just built as a here-document's opener when it is one:
// digits, "<<", an optional '-', and a delimiter holding no '<' (its quotes
// taken out). False when the source is refused.
bool noteHeredoc(DockerLexState &st)
{
    const char *s = st.key;
    std::size_t k = 0;
    while (k < st.used && s[k] >= '0' && s[k] <= '9')
        ++k;
    if (k + 2 >= st.used || s[k] != '<' || s[k + 1] != '<')
        return true;
    k += 2;
    const bool strip = s[k] == '-';
    k += strip;
    if (k >= st.used || std::memchr(s + k, '<', st.used - k))
        return true;
    if (st.docCount == kDockerHeredocs)
        return false;
    DockerHeredoc &h = st.docs[st.docCount];
    h.length = 0;
    h.strip = strip;
    for (; k < st.used; ++k) {
        if (s[k] == '"' || s[k] == '\'')
            continue;
        if (h.length == kDockerDelimiter)
            return false;
        h.delimiter[h.length++] = s[k];
    }
    st.docCount += h.length > 0;
    return true;
}

// Goes on with the word open at pos (shell form); true when piece is filled.
bool wordStep(Lexer &lx, DockerLexState &st, TokenPiece &piece)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        if (st.used >= kDockerKeyPiece) {
            // A here-document's opener too long to tell its delimiter: refused.
            if (st.heredocs && st.exec < 0 && !st.pieceOut && opensHeredoc(st))
                return reject(lx, piece, i);
            lx.pos = i;
            fillPiece(st, piece, false);
            return true;
        }
        refillAhead(lx, i, kLexLookahead);
        const char c = w[i];
        if (c == st.escape) {
            const int r = continuation(lx, i);
            if (r < 0)
                return reject(lx, piece, i);
            if (r > 0)
                continue;
        }
        if (i >= lx.end || lineEndAt(lx, i) || (isBlank(c) && !st.quote)) {
            if (st.quote)
                return reject(lx, piece, i);
            if (st.heredocs && !st.pieceOut && st.exec < 0 && !noteHeredoc(st))
                return reject(lx, piece, i);
            finishKey(lx, st, piece, i, DockerAt::Args);
            return true;
        }
        if (c == 0)
            return reject(lx, piece, i);
        if (c == '\\' && st.quote != '\'') {
            st.key[st.used++] = c;
            ++i;
            if (w[i] != 0 && w[i] != '\n' && w[i] != '\r' && w[i] != st.escape)
                st.key[st.used++] = w[i++];
            continue;
        }
        if (c == '\'' || c == '"')
            st.quote = !st.quote ? c : st.quote == c ? 0 : st.quote;
        st.key[st.used++] = c;
        ++i;
    }
}

// Goes on with the exec form's string open at pos; true when piece is filled.
bool stringStep(Lexer &lx, DockerLexState &st, TokenPiece &piece)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        if (st.used >= kDockerKeyPiece) {
            lx.pos = i;
            fillPiece(st, piece, false);
            return true;
        }
        refillAhead(lx, i, kLexLookahead);
        const char c = w[i];
        if (c == st.escape) {
            const int r = continuation(lx, i);
            if (r < 0)
                return reject(lx, piece, i);
            if (r > 0)
                continue;
        }
        if (i >= lx.end || lineEndAt(lx, i) || c == 0)
            return reject(lx, piece, i);
        st.key[st.used++] = c;
        ++i;
        if (c == '"') {
            st.exec = st.exec == 4 ? 4 : 2;
            finishKey(lx, st, piece, i, DockerAt::Exec);
            return true;
        }
        if (c == '\\') {
            const char e = w[i];
            bool good = e != 0 && std::strchr("\"\\/bfnrtu", e) != nullptr;
            if (e == 'u')
                for (std::size_t k = 1; k <= 4; ++k)
                    good = good && std::strchr("0123456789abcdefABCDEF", w[i + k]) && w[i + k] != 0;
            if (!good)
                st.exec = 4;
            else
                st.key[st.used++] = w[i++];
        } else if (static_cast<unsigned char>(c) < 0x20) {
            st.exec = 4;  // a control character: no JSON string
        }
    }
}

// The marker that the exec form's grammar broke: which of its tokens so far
// had blanks before them, so that the words of the shell form stay told.
bool breakExec(Lexer &lx, DockerLexState &st, TokenPiece &piece, std::size_t i)
{
    char text[10];
    text[0] = '\x01';
    for (int k = 0; k < 8; ++k)
        text[1 + k] = static_cast<char>((st.layout >> (8 * k)) & 0xFF);
    text[9] = static_cast<char>(st.execCount);
    st.exec = -1;
    return wholeToken(lx, piece, TokenKind::Code, text, sizeof text, i, i, DockerAt::Args);
}

// Between the words of an instruction; true when piece is filled.
bool argsStep(Lexer &lx, DockerLexState &st, TokenPiece &piece)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    bool blank = false;
    for (;;) {
        refillAhead(lx, i, kLexLookahead);
        while (isBlank(w[i])) {
            ++i;
            blank = true;
            refillAhead(lx, i, kLexLookahead);
        }
        if (w[i] == st.escape) {
            const int r = continuation(lx, i);
            if (r < 0)
                return reject(lx, piece, i);
            // A keyword joined to the next line's first word: Docker reads one word.
            if (r > 0 && st.afterKeyword && !blank && !isBlank(w[i]) && !lineEndAt(lx, i) && i < lx.end)
                return reject(lx, piece, i);
            if (r > 0)
                continue;
        }
        break;
    }
    st.afterKeyword = false;
    const char c = w[i];
    const std::size_t n = lineEndAt(lx, i);
    const bool ends = i >= lx.end || n;
    if (c == 0 && !ends)
        return reject(lx, piece, i);
    if (st.exec >= 0) {
        const bool string = c == '"' && (st.exec == 0 || st.exec == 1);
        const bool close = c == ']' && (st.exec == 0 || st.exec == 2);
        const bool comma = c == ',' && st.exec == 2;
        if (ends && st.exec == 3) {
            st.exec = -1;
        } else {
            if (st.execCount == kDockerExecTokens)
                return reject(lx, piece, i);
            st.layout |= static_cast<std::uint64_t>(blank) << st.execCount++;
            if (ends || !(string || close || comma))
                return breakExec(lx, st, piece, i);
            if (string) {
                beginKey(st, TokenKind::Code, placeAt(lx, i));
                st.key[st.used++] = '"';
                lx.pos = i + 1;
                st.at = DockerAt::String;
                return false;
            }
            st.exec = close ? 3 : 1;
            return wholeToken(lx, piece, TokenKind::Code, w + i, 1, i, i + 1, DockerAt::Args);
        }
    }
    if (ends) {
        if (n)
            newLine(lx, i + n - 1);
        st.docAt = 0;
        st.bodyLine = true;
        return wholeToken(lx, piece, TokenKind::LineEnd, "\n", 1, i, i + n,
                          st.docCount ? DockerAt::Body : DockerAt::LineStart);
    }
    if (st.firstArg && st.execForm && c == '[') {
        st.firstArg = false;
        st.exec = 0;
        st.layout = 0;
        st.execCount = 0;
        return wholeToken(lx, piece, TokenKind::Code, "[", 1, i, i + 1, DockerAt::Args);
    }
    st.firstArg = false;
    beginKey(st, TokenKind::Code, placeAt(lx, i));
    st.quote = 0;
    lx.pos = i;
    st.at = DockerAt::Word;
    return false;
}

// The here-documents' bodies, from pos at the line after the instruction;
// true when piece is filled.
bool bodyStep(Lexer &lx, DockerLexState &st, TokenPiece &piece)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    const DockerHeredoc &h = st.docs[st.docAt];
    if (st.used == 0 && !st.pieceOut) {
        beginKey(st, TokenKind::Code, placeAt(lx, i));
        st.key[st.used++] = '\n';
    }
    bool &lineStart = st.bodyLine;
    for (;;) {
        if (st.used >= kDockerKeyPiece) {
            lx.pos = i;
            fillPiece(st, piece, false);
            return true;
        }
        refillAhead(lx, i, kDockerDelimiter + 8);
        if (i >= lx.end)
            return reject(lx, piece, i);
        if (lineStart) {
            if (h.strip)
                while (w[i] == '\t')
                    ++i, refillAhead(lx, i, kDockerDelimiter + 8);
            std::size_t n = 0;
            if (std::memcmp(w + i, h.delimiter, h.length) == 0 && (i + h.length >= lx.end || (n = lineEndAt(lx, i + h.length)))) {
                if (n)
                    newLine(lx, i + h.length + n - 1);
                const std::size_t end = i + h.length + n;
                fillPiece(st, piece, true);
                lx.pos = end;
                markEnd(lx, end);
                st.used = 0;
                st.pieceOut = false;
                st.at = ++st.docAt < st.docCount ? DockerAt::Body : DockerAt::LineStart;
                lineStart = true;
                if (st.at == DockerAt::LineStart)
                    st.docCount = 0;
                return true;
            }
            lineStart = false;
        }
        const char c = w[i];
        if (c == 0)
            return reject(lx, piece, i);
        if (c == '\r' && w[i + 1] == '\n') {
            ++i;  // Docker reads a CR LF as a line end
            continue;
        }
        st.key[st.used++] = c;
        if (c == '\n') {
            newLine(lx, i);
            lineStart = true;
        }
        ++i;
    }
}

// The words of a comment from pos to its line end, one CommentWord token each.
bool commentWords(Lexer &lx, DockerLexState &st, TokenPiece &piece)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        refillAhead(lx, i, kLexLookahead);
        while (isBlank(w[i]))
            ++i;
        if (i >= lx.end && !lx.ended)
            continue;
        if (i >= lx.end || lineEndAt(lx, i)) {
            lx.pos = i;
            st.at = DockerAt::LineStart;
            return false;
        }
        std::size_t j = i;
        while (j < lx.end && j - i < kDockerKeyPiece && !isBlank(w[j]) && w[j] != '\n' && w[j] != '\r')
            ++j;
        if (j == i)
            ++j;
        return wholeToken(lx, piece, TokenKind::CommentWord, w + i, j - i, i, j, DockerAt::Comment);
    }
}

struct DockerSteps : KitSteps<DockerSteps> {
    static Stop skipLayout(Lexer &lx)
    {
        std::size_t i = lx.pos;
        refillAhead(lx, i, kLexLookahead);
        lx.pos = lx.pieceStart = i;
        return Stop::Token;
    }

    static bool startToken(Lexer &lx, TokenPiece &piece)
    {
        DockerLexState &st = dockerState(lx);
        switch (st.at) {
        case DockerAt::LineStart: return lineStart(lx, st, piece);
        case DockerAt::Args: case DockerAt::Exec: return argsStep(lx, st, piece);
        case DockerAt::Word: return wordStep(lx, st, piece);
        case DockerAt::String: return stringStep(lx, st, piece);
        case DockerAt::Body: return bodyStep(lx, st, piece);
        case DockerAt::Comment: return commentWords(lx, st, piece);
        case DockerAt::Done: break;
        }
        finishStream(lx, piece);
        return true;
    }
};

} // namespace

void dockerfileStart(Lexer &lx)
{
    startLanguageState<DockerLexState>(lx);
    lx.rejects = true;
}

extern const LexerHooks kDockerfileLexer = {dockerfileStart, kitNext<DockerSteps>, nullptr, nullptr, false,
                                            anyHashBang};
