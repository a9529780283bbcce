// Token comparison: two token streams, token by token, and the report of
// their first difference, with the source lines it lies on and the tokens
// as their sources spell them.
#ifndef MATCHLING_TOKEN_COMPARE_H
#define MATCHLING_TOKEN_COMPARE_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/source_stream.h"
#include "console/spool.h"
#include "compare/compare.h"
#include "rewrites/rewrites.h"
#include "tokens/show.h"
#include "tokens/tokens.h"

constexpr std::size_t kShownLineSize = 100;  // bytes of a source line a report shows, at most

// A token stream as the comparison takes it, piece by piece.
struct PieceSource {
    void *self = nullptr;
    void (*next)(void *self, TokenPiece &piece) = nullptr;
};

// The stream a lexer hands out.
PieceSource lexerPieces(Lexer &lexer);

// The stream a lexer hands out, its common tokens taken many at once
// (lexerRun): when both streams of a comparison come so, their runs are
// compared token by token without a piece for each.
constexpr std::size_t kComparedRun = 256;  // tokens taken from a lexer at once
struct RunPieces {
    Lexer *lexer = nullptr;
    QuickToken run[kComparedRun];
    std::size_t at = 0;     // the next token of run to hand out
    std::size_t count = 0;  // tokens in run
};
PieceSource runPieces(RunPieces &pieces, Lexer &lexer);

// The stream a rewriter hands out.
PieceSource rewrittenPieces(Rewriter &rewriter);

// Where a rewriter takes a lexer's stream from.
RewriteSource lexerSource(Lexer &lexer);

// A stream passed on as it is, each token listed on the way, one per line.
struct TokenLister {
    PieceSource inner;          // where the pieces come from
    Spool *listing = nullptr;   // where they are listed
};
PieceSource listedPieces(TokenLister &lister, PieceSource inner, Spool &listing);

// What the comparison found.
struct TokenCompareState {
    TokenPlace places[2];                  // where each stream's first differing token starts, or, for
                                           // the stream that ended first, just after its last token
    std::uint64_t indexes[2] = {};         // the index of that token in its stream (0 the first, End counted)
    char shown[2][kShownTokenSize + 1];    // the first bytes of each differing token's key, zero-terminated; after
                                           // spellDifference, of its spelling where it could be read
    std::size_t shownLength[2] = {};       // bytes in shown (a token may hold a zero byte)
    int shorterFile = 0;                   // 1 or 2 when that stream ended first, else 0

    // What spellDifference found: when both tokens are spelled and their
    // spellings first differ past the first kShownTokenSize bytes, shown
    // holds the bytes around that first differing byte instead.
    bool excerpt = false;
    TokenPlace differs[2];                 // with excerpt, where that byte stands in each source (or where a
                                           // spelling that is the start of the other ends)

    // Rewrites accepted on the way (with --allow): where two equal tokens carry
    // different notes, one of each kind either note names.
    std::uint64_t allowed[kRewriteKinds] = {};
    void (*allowedAt)(void *self, Rewrite r, TokenPlace place) = nullptr;  // told of each, with its place in
    void *allowedSelf = nullptr;                                            // file 2, when set
};

// Writes "kind count, ..." of the rewrites counts holds, or "none", to out.
void allowedList(const std::uint64_t (&counts)[kRewriteKinds], std::string &out);

// Compares the streams sources[0] and sources[1] hand out, token by token:
// kinds and keys. Returns Different when they differ, with c telling where;
// prints nothing.
Verdict compareTokens(TokenCompareState &c, const PieceSource (&sources)[2]);

// After a comparison of the streams of lexers: reads the rest of each stream
// whose language may reject input (Lexer::rejects; a comparison stops at the
// first difference), and returns true when a side's lexer rejected its
// source (refuseSource, rejectInput), with side (file 1 first) and why set:
// "not valid TOML at line L, column C". Such a pair has no verdict, whatever
// the comparison found.
bool rejectedInput(Lexer (&lexers)[2], int &side, std::string &why);

// How a comparison's streams were made, so that a report can make them again.
struct Respelling {
    Lexer *lexers[2] = {};        // a lexer for each side, free to start again
    Rewriter *rewriters = nullptr;  // with --allow, two rewriters free to start again; else null
    Language languages[2] = {};
    LexOptions options;
    RewriteSet allow = 0;
};

// Reads the differing tokens c holds again, through sources, as each source
// spells them: the bytes from the token's start to its end (a CR LF as a
// line feed), with the streams made again as how says. Keeps in c.shown the
// first kShownTokenSize of them, or the excerpt around the first byte where
// the two spellings differ when that lies past those (c.excerpt). A side
// that cannot be read again (a pipe), and a token no byte spells (a line
// end, an indent, an inserted ';'), keeps its key.
void spellDifference(TokenCompareState &c, const Respelling &how, const Reopener &sources);

// Prints the difference c holds, for file 1 then file 2 named names[0] and
// names[1], each place followed by its source line and a caret under the
// column when sources can read that side again.
void reportTokenDifference(const TokenCompareState &c, const char *const (&names)[2], const Reopener &sources);

#endif
