// The JSON lexer: strings and numbers by their spelling, true, false, null
// and the six structural characters; blanks, tabs, line ends and the comments
// of JSONC ("//" and "/* */") are layout, as is a byte order mark at the
// start. Anything else is a token too, so that it still compares: a run of
// name bytes (letters, digits, '_', '$', bytes from 0x80) is one token, a
// number runs on through name bytes, dots and a sign after an exponent
// letter (so "1a" is not "1 a"), and any other byte is a token alone.
#include <cstring>

#include "languages/json/state.h"
#include "tokens/lexer.h"
#include "tokens/plain_runs.h"

namespace {

// The byte classes of the tokens taken in blocks: names and numbers that are
// one run of name bytes, strings without escapes, and the other bytes alone
// ('-' unless a digit follows or a name byte stands before it). A sign, a dot
// or a slash may make a number or a comment: the general steps take them,
// and backslashes and zero bytes.
constexpr ClassTable jsonClasses()
{
    ClassTable t{};
    for (int c = 0; c < 256; ++c) {
        const bool name = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' || c >= 0x80;
        t.of[c] = name ? kPlainName
                  : c >= '0' && c <= '9' ? kPlainDigit
                  : c == ' ' || c == '\t' || c == '\r' ? kPlainBlank
                  : c == '\n' ? kPlainLineFeed
                  : c == '"' ? kPlainQuote
                  : c == '\\' || c == 0 ? kPlainStop
                  : c == '-' ? kPlainLead
                  : c == '+' || c == '.' || c == '/' ? kPlainOther
                  : kPlainSolo;
    }
    return t;
}
struct JsonGrammar {
    static constexpr ClassTable kClasses = jsonClasses();
    static constexpr NibbleTables kNibbles = nibbleTables(kClasses);
};

bool isJsonBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Skips layout; leaves at least kLexLookahead bytes readable after pos, or all
// that remain.
Stop skipLayout(Lexer &lx)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        while (isJsonBlank(w[i])) {
            if (w[i] == '\n')
                newLine(lx, i);
            ++i;
        }
        if (lx.end - i < kLexLookahead && !lx.ended) {
            lx.pos = lx.pieceStart = i;
            refill(lx, i);
            i = lx.pos;
            continue;
        }
        lx.pos = lx.pieceStart = i;
        if (!jsonState(lx).started) {
            jsonState(lx).started = true;
            if (lx.base == 0 && i == 0 && std::memcmp(w, "\xEF\xBB\xBF", 3) == 0) {
                i = 3;
                continue;
            }
        }
        if (w[i] == '/' && (w[i + 1] == '*' || w[i + 1] == '/')) {
            if (lx.options.comments)
                return Stop::Comment;
            if (w[i + 1] == '*')
                skipBlockComment(lx);
            else
                skipLineComment(lx);
            i = lx.pos;
            continue;
        }
        return i < lx.end ? Stop::Token : Stop::InputEnd;
    }
}

bool isNameByte(char c)
{
    return (byteClass(c) & kNameC) != 0;
}

// Goes on with a run of name bytes (a number also takes dots and a sign after
// an exponent letter) that ends the current token.
bool runStep(Lexer &lx, TokenPiece &piece)
{
    const char *w = lx.window;
    const bool number = lx.mode == LexMode::Number;
    std::size_t i = lx.pos;
    for (;;) {
        while (isNameByte(w[i]) || (number && w[i] == '.'))
            ++i;
        if (i + 1 >= lx.end && !lx.ended) {
            lx.previous = i > lx.pieceStart ? w[i - 1] : lx.previous;
            lx.pos = i;
            if (!ensureAhead(lx, 2))
                return pauseAt(lx, piece, lx.pos);
            i = lx.pos;
            continue;
        }
        char before = i > lx.pieceStart ? w[i - 1] : lx.previous;
        if (number && (w[i] == '+' || w[i] == '-') && (before == 'e' || before == 'E'))
            ++i;
        else
            break;
    }
    lx.pos = i;
    finishToken(lx, piece);
    return true;
}

// Goes on with a string to its closing quote; one that meets a line feed or
// the input's end stops there.
bool stringStep(Lexer &lx, TokenPiece &piece)
{
    const char *w = lx.window;
    std::size_t i = lx.pos;
    for (;;) {
        while (w[i] != '"' && w[i] != '\\' && w[i] != '\n' && w[i] != 0)
            ++i;
        if (i + 1 >= lx.end && !lx.ended) {
            lx.pos = i;
            if (!ensureAhead(lx, 2))
                return pauseAt(lx, piece, lx.pos);
            i = lx.pos;
            continue;
        }
        if (w[i] == '"') {
            ++i;
            break;
        }
        if (w[i] == '\n' || i >= lx.end)
            break;
        i += w[i] == '\\' && w[i + 1] != '\n' && i + 1 < lx.end ? 2 : 1;
    }
    lx.pos = i;
    finishToken(lx, piece);
    return true;
}

// Starts the token at pos.
bool startToken(Lexer &lx, TokenPiece &piece)
{
    const char *w = lx.window + lx.pos;
    beginToken(lx, TokenKind::Code);
    char c = w[0];
    if (c == '"') {
        ++lx.pos;
        lx.mode = LexMode::Quoted;
        return stringStep(lx, piece);
    }
    if (isNameByte(c) || (c == '-' && (byteClass(w[1]) & kDigit))) {
        bool number = c == '-' || (byteClass(c) & kDigit);
        lx.previous = 0;
        ++lx.pos;
        lx.mode = number ? LexMode::Number : LexMode::Name;
        return runStep(lx, piece);
    }
    ++lx.pos;
    finishToken(lx, piece);
    return true;
}

// Between tokens: skips layout and starts what follows.
bool betweenStep(Lexer &lx, TokenPiece &piece)
{
    switch (skipLayout(lx)) {
    case Stop::Token:
        return startToken(lx, piece);
    case Stop::Comment:
        openComment(lx);
        return false;
    case Stop::InputEnd:
        finishStream(lx, piece);
        return true;
    case Stop::DirectiveEnd: break;
    }
    return false;
}

// One step of the lexer; true when piece is filled.
bool jsonStep(Lexer &lx, TokenPiece &piece)
{
    switch (lx.mode) {
    case LexMode::Between: return betweenStep(lx, piece);
    case LexMode::Name: case LexMode::Number: return runStep(lx, piece);
    case LexMode::Quoted: return stringStep(lx, piece);
    case LexMode::BlockComment: case LexMode::LineComment: return commentStep(lx, piece);
    case LexMode::Word: return wordStep(lx, piece);
    case LexMode::Finished: finishStream(lx, piece); return true;
    default: lx.mode = LexMode::Between; return false;
    }
}

} // namespace

void jsonStart(Lexer &lx)
{
    startLanguageState<JsonLexState>(lx);
}

void jsonNext(Lexer &lx, TokenPiece &piece)
{
    while (!jsonStep(lx, piece)) {
    }
}

std::size_t jsonRun(Lexer &lx, QuickToken *out, std::size_t max, std::size_t keyBytes)
{
    // The byte order mark is looked at before the first token.
    if (!jsonState(lx).started)
        return 0;
    return plainRun<JsonGrammar>(lx, out, max, keyBytes);
}

extern const LexerHooks kJsonLexer = {jsonStart, jsonNext, jsonRun, nullptr, false, nullptr};
