// Token streams: what a compiler reads of a source, without its layout.
//
// A lexer reads one source through a SourceStream and hands out its tokens in
// order, each as one or more pieces, so that a token of any length (a long
// string literal, a raw string over many lines) fits in fixed memory. Two
// sources are equivalent when their streams hold the same tokens: the same
// kinds and the same keys, in the same order. Places are not compared.
#ifndef MATCHLING_TOKENS_H
#define MATCHLING_TOKENS_H

#include <cstddef>
#include <cstdint>

#include "common/settings.h"
#include "common/source_stream.h"

enum class TokenKind : unsigned char {
    Code,         // a name, keyword, number, operator, punctuator, literal or header name
    LineEnd,      // the line end that ends a preprocessing directive (C family) or a statement (Basic); key "\n"
    MacroParen,   // the '(' right after the macro name of a #define: a function-like macro; key "("
    CommentWord,  // one word of a comment, only with LexOptions::comments
    End,          // the end of the source; place is just after its last token (1:1 when none); key empty
    Indent,       // Python: a line indented deeper than the one before; key "<indent>"
    Dedent,       // Python: one level of indentation closed; key "<dedent>"
    Value,        // a literal written in a canonical form by an accepted rewrite (rewrites/); no lexer gives it
};

// A place in a source as stored: 1-based line (line feeds counted, spliced
// ones too) and 1-based column in bytes from the start of that line (a tab
// counts one).
struct TokenPlace {
    std::int64_t line = 1;
    std::int64_t column = 1;
};

// The rewrites undone at a token, as the rewriter hands it out (only with
// --allow; rewrites/rewrites.h), or the reorder of a run of imports, on its
// first token as the sorted-import layer hands it out. Lexers leave it empty.
constexpr int kNoteKinds = 12;  // the rewrites a note tells of (kRewriteKinds)
struct RewriteNote {
    std::uint16_t kinds = 0;                // a bit per rewrite done there
    std::uint32_t prints[kNoteKinds] = {};  // per rewrite, a fingerprint of what it took there as written
    TokenPlace place;                       // where the first of them stands
};
constexpr int kImportsKind = 11;                               // the index of a reordered run of imports
constexpr std::uint16_t kImportsNote = 1u << kImportsKind;     // its bit (Rewrite::Imports)

// One piece of a token.
struct TokenPiece {
    TokenKind kind = TokenKind::End;
    bool first = true;          // this piece starts a token
    bool last = true;           // this piece ends the token
    TokenPlace place;           // where the token starts; the same in every piece of one token
    const char *bytes = "";     // this piece of the token's key; valid until the next lexerNext
    std::size_t length = 0;     // bytes in the piece; only the first piece of a token may be empty
    RewriteNote note;           // first piece only
    TokenPlace end;             // last piece only: just after the token's last byte in the source, as far as
                                // the stage that hands it out keeps it (spelledNext's pieces, tokens/show.h, and the
                                // sorted-import layer's and the rewriter's made of them); not after place for
                                // a token no byte of the source spells (an inserted ';', an indent)
};

struct LexOptions {
    bool comments = false;        // each word of a comment is a CommentWord token
    bool sortedIncludes = false;  // each run of #include directives comes out sorted (C family), in groups
                                  // of at most 256 directives, 4096 tokens and 64 KiB of keys (tokens/lexer.h)
    unsigned char embedded = 0;   // Markdown: the source is the content of a fenced block this many levels deep
    std::uint16_t allow = 0;      // the rewrites --allow accepts (rewrites/rewrites.h), for the streams a module
                                  // reads inside its source in another language (Markdown's code samples)
};

struct Lexer;  // defined in tokens/lexer.h; large, so allocate it once and reuse it

// Starts lexing source, which has read nothing yet, as a source of language
// (not Unknown). The lexer keeps a reference to source until the End piece.
void lexerStart(Lexer &lexer, Language language, const LexOptions &options, SourceStream &source);

// The same for a source of class sourceClass (C family or Basic).
void lexerStart(Lexer &lexer, SourceClass sourceClass, const LexOptions &options, SourceStream &source);

// Gives the next piece of the stream. The last token of every stream is End;
// after it, every call gives End again.
void lexerNext(Lexer &lexer, TokenPiece &piece);

// A whole token whose key is one stretch of the lexer's window.
struct QuickToken {
    const char *bytes;     // its key; valid until the next lexerRun or lexerNext
    std::uint32_t length;  // bytes of its key
    TokenKind kind;        // Code, or a directive's LineEnd or MacroParen
    TokenPlace place;      // where it starts
};

// Takes up to max common tokens at once, whose keys hold keyBytes bytes at
// most together, when the stream goes on with them: the same tokens lexerNext
// would give one by one. Returns how many; 0 when the next token needs
// lexerNext (or none is left). Their keys hold no zero byte.
std::size_t lexerRun(Lexer &lexer, QuickToken *out, std::size_t max, std::size_t keyBytes);

// Why the source cannot be compared as its language ("not valid YAML at
// line 3, column 5"), as its lexer found; nullptr when it can. Known for
// certain once the End piece has been taken; a module that reads its whole
// source at the first piece knows it from then on. The runs report such a
// pair as not compared, whatever its tokens.
const char *lexerRefusal(const Lexer &lexer);

// True when the source held no text at all: no byte before its end or a
// Ctrl-Z byte. Known once the first piece has been taken.
bool lexerEmpty(const Lexer &lexer);

#endif
