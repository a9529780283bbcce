// The JSON lexer: strings and numbers by their spelling, true, false, null
// and the six structural characters; blanks, tabs, line ends and the comments
// of JSONC ("//" and "/* */") are layout, as is a byte order mark at the
// start. Anything else is a token too, so that it still compares: a run of
// name bytes (letters, digits, '_', '$', bytes from 0x80) is one token, a
// number runs on through name bytes, dots and a sign after an exponent
// letter (so "1a" is not "1 a"), and any other byte is a token alone.
#include <cstring>

#include "languages/json/state.h"
#include "tokens/kit.h"
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

bool isNameByte(char c)
{
    return (byteClass(c) & kNameC) != 0;
}

struct JsonSteps : KitSteps<JsonSteps> {
    // Skips layout; leaves at least kLexLookahead bytes readable after pos,
    // or all that remain.
    static Stop skipLayout(Lexer &lx)
    {
        return layoutUntil(lx, isJsonBlank, [](Lexer &lx, std::size_t &i, Stop &stop) {
            const char *w = lx.window;
            if (!jsonState(lx).started) {
                jsonState(lx).started = true;
                if (byteOrderMarkAt(lx, i)) {
                    i = 3;
                    return true;
                }
            }
            if (w[i] != '/' || (w[i + 1] != '*' && w[i + 1] != '/'))
                return false;
            if (commentIsToken(lx, i, w[i + 1] == '*')) {
                stop = Stop::Comment;
                return false;
            }
            return true;
        });
    }

    // Goes on with a run of name bytes (a number also takes dots and a sign
    // after an exponent letter) that ends the current token.
    static bool name(Lexer &lx, TokenPiece &piece)
    {
        const bool number = lx.mode == LexMode::Number;
        std::size_t i = lx.pos;
        for (;;) {
            if (!runOver(lx, i, [number](char c) { return isNameByte(c) || (number && c == '.'); }, 2, true))
                return pauseAt(lx, piece, lx.pos);
            const char before = byteBefore(lx, i);
            const char c = lx.window[i];
            if (!number || (c != '+' && c != '-') || (before != 'e' && before != 'E'))
                return finishAt(lx, piece, i);
            ++i;
        }
    }
    static bool number(Lexer &lx, TokenPiece &piece) { return name(lx, piece); }

    // Goes on with a string to its closing quote; one that meets a line feed
    // or the input's end stops there.
    static bool quoted(Lexer &lx, TokenPiece &piece)
    {
        std::size_t i = lx.pos;
        if (!quotedRun(lx, i, '"', '\\', false))
            return pauseAt(lx, piece, lx.pos);
        return finishAt(lx, piece, i);
    }

    // Starts the token at pos.
    static bool startToken(Lexer &lx, TokenPiece &piece)
    {
        const char *w = lx.window + lx.pos;
        beginToken(lx, TokenKind::Code);
        const char c = w[0];
        if (c == '"') {
            ++lx.pos;
            lx.mode = LexMode::Quoted;
            return quoted(lx, piece);
        }
        if (isNameByte(c) || (c == '-' && (byteClass(w[1]) & kDigit))) {
            lx.previous = 0;
            ++lx.pos;
            lx.mode = c == '-' || (byteClass(c) & kDigit) ? LexMode::Number : LexMode::Name;
            return name(lx, piece);
        }
        return finishAt(lx, piece, lx.pos + 1);
    }
};

} // namespace

std::size_t jsonRun(Lexer &lx, QuickToken *out, std::size_t max, std::size_t keyBytes)
{
    // The byte order mark is looked at before the first token.
    if (!jsonState(lx).started)
        return 0;
    return plainRun<JsonGrammar>(lx, out, max, keyBytes);
}

extern const LexerHooks kJsonLexer = {kitStart<JsonLexState>, kitNext<JsonSteps>, jsonRun, nullptr, false, nullptr};
