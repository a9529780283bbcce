// What the language fuzz target's parts share: a source lexed into its
// tokens, with the pieces checked as they come, and a failed property.
#ifndef MATCHLING_FUZZ_LEX_H
#define MATCHLING_FUZZ_LEX_H

#include <cstdint>
#include <string>
#include <vector>

#include "tokens/lexer.h"

struct FuzzTok {
    TokenKind kind;
    std::string key;
    TokenPlace place;
};

// Aborts with what when ok is false.
void fuzzCheck(bool ok, const char *what);

// Every token of text lexed as language, End included; checks that the
// pieces of each token come as tokens.h says.
std::vector<FuzzTok> fuzzLex(const std::string &text, Language language, const LexOptions &options = {});

// True when the source of the last fuzzLex was rejected as not valid in its
// language (rejectInput) or refused (too long, nested too deeply): its stream
// ends where the lexer gave up.
bool fuzzRejected();

// True when a and b hold the same kinds and keys.
bool sameTokens(const std::vector<FuzzTok> &a, const std::vector<FuzzTok> &b);

// True when the stream ends in a block comment that never closes (its "/*"
// token comes last): layout written after it would go into the comment, and
// a comment there could close it.
bool endsInComment(const std::vector<FuzzTok> &tokens);

// True when the stream starts with a token the lexer made of a first "#!"
// line (or, in Python, of a comment that declares the encoding): a token
// whose place among the lines counts, which layout written before it or
// after it on its line would change.
bool startsWithLineToken(const std::vector<FuzzTok> &tokens);

// source with a carriage return before each line feed.
std::string withCrlf(const std::string &source);

// Each language's properties for one source, with seed choosing the layout of
// its copies; one file each.
void fuzzPython(const std::string &source, std::uint8_t seed);
void fuzzGo(const std::string &source, std::uint8_t seed);
void fuzzRust(const std::string &source, std::uint8_t seed);
void fuzzJava(const std::string &source, std::uint8_t seed);
void fuzzJson(const std::string &source, std::uint8_t seed);
void fuzzScript(const std::string &source, std::uint8_t seed);
void fuzzGraphql(const std::string &source, std::uint8_t seed);
void fuzzCMake(const std::string &source, std::uint8_t seed);
void fuzzYaml(const std::string &source, std::uint8_t seed);
void fuzzMarkdown(const std::string &source, std::uint8_t seed);
void fuzzToml(const std::string &source, std::uint8_t seed);
void fuzzCss(const std::string &source, std::uint8_t seed);
void fuzzShell(const std::string &source, std::uint8_t seed);
void fuzzHcl(const std::string &source, std::uint8_t seed);
void fuzzSwift(const std::string &source, std::uint8_t seed);
void fuzzKotlin(const std::string &source, std::uint8_t seed);
void fuzzPhp(const std::string &source, std::uint8_t seed);
void fuzzLua(const std::string &source, std::uint8_t seed);
void fuzzRuby(const std::string &source, std::uint8_t seed);
void fuzzIni(const std::string &source, std::uint8_t seed);
void fuzzDockerfile(const std::string &source, std::uint8_t seed);
void fuzzXml(const std::string &source, std::uint8_t seed);
void fuzzRst(const std::string &source, std::uint8_t seed);
void fuzzHtml(const std::string &source, std::uint8_t seed);
void fuzzVue(const std::string &source, std::uint8_t seed);
void fuzzSvelte(const std::string &source, std::uint8_t seed);

#endif
