// Rewrites a formatter may make without changing the program: braces around
// a single statement, redundant parentheses, trailing commas, the spelling of
// a string or a number, a docstring's indentation, the order of using
// declarations, an empty declaration, the case of a colour or a unit, Go's
// build constraint lines. With --allow, each stream passes
// through a Rewriter on its way to the comparison, which hands out the stream
// in a canonical form: the accepted rewrites are undone (a redundant pair of
// parentheses taken out, a string written as its value), so that two sources
// that differ only by them hand out the same tokens.
//
// Soundness: two streams may become equal only when the sources mean the
// same program. So a rule rewrites a token only where the language's grammar
// proves, from the tokens around it, that the rewrite changes nothing; where
// it cannot tell (too little lookahead, a token too long to hold, a construct
// it does not know), it leaves the tokens as they are, and the pair is a
// difference, never a guess. A token written in canonical form gets the kind
// TokenKind::Value, which no lexer gives, so that it never equals a token as
// written.
//
// Counting: each token handed out carries a note of the rewrites done at it
// (a bit per Rewrite) and, per rewrite, a fingerprint of what it took there as
// written (the keys of tokens taken out before it, or its own key as written).
// Where two equal tokens carry notes that differ in a rewrite (done on one
// side only, or on both from other spellings), one source was rewritten there
// and the other not, or differently: the comparison counts that rewrite, and
// not one both sources undid alike (`('a')` against `("a")` counts quotes).
#ifndef MATCHLING_REWRITES_H
#define MATCHLING_REWRITES_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "common/settings.h"
#include "tokens/tokens.h"

// The rewrites --allow names, in the order reports list them.
enum class Rewrite : unsigned char {
    Braces,      // braces around a single statement that is a body
    Parens,      // parentheses that precedence makes redundant
    Commas,      // a trailing comma where the language gives it no meaning
    Quotes,      // a string literal by its value and kind
    Numbers,     // a numeric literal by its value and type
    Docstrings,  // a Python docstring by its cleaned text
    Usings,      // C++ using-declaration runs as sets
    Semicolons,  // an empty declaration (C family)
    Case,        // the case of a hex colour or a unit (CSS), which CSS reads without regard to case
    BuildLines,  // Go's build constraints: a //go:build line that means what the +build lines mean, and
                 // +build lines by their meaning (gofmt adds the one and rewrites the others)
    Elision,     // a composite literal's type left out where its enclosing literal's type gives it (gofmt -s)
    Imports,     // a run of import declarations read in another order than sorted (--sorted-imports; the
                 // sorted-import layer notes it, and --allow does not name it)
};
constexpr int kRewriteKinds = 12; // the rewrites the reports count
constexpr int kAllowKinds = 11;   // of those, the first ones: those --allow names
using RewriteSet = std::uint16_t;  // a bit (1 << Rewrite) per rewrite

constexpr RewriteSet rewriteBit(Rewrite r) { return static_cast<RewriteSet>(1u << static_cast<unsigned>(r)); }
static_assert(rewriteBit(Rewrite::Imports) == kImportsNote, "the sorted-import layer notes its reorders by this bit");
static_assert(kRewriteKinds == kNoteKinds, "a note keeps a fingerprint per rewrite");

// The name --allow and the reports give the rewrite.
const char *rewriteName(Rewrite r);

// Reads an --allow list: "all" (every rewrite --allow names), or names
// joined by commas. Returns false on
// an empty list, an empty name or an unknown name, with bad set to the
// offending name (empty for an empty list).
bool parseRewriteList(const char *text, RewriteSet &set, const char *&bad, std::size_t &badLength);

constexpr std::size_t kRewriteTokens = 4096;      // tokens a rule may look ahead over, the current one included
constexpr std::size_t kRewriteKeyBytes = 262144;  // key bytes of those tokens, and of canonical forms
constexpr std::size_t kRewriteLongToken = 4096;   // a longer token goes through as written and ends all lookahead

// One token held by the rewriter's window.
struct WindowToken {
    TokenKind kind = TokenKind::Code;
    TokenPlace place;
    std::size_t offset = 0;     // where its key starts in the window's key store
    std::size_t length = 0;     // bytes of its key
    bool whole = true;          // its whole key is held; false for a token too long to hold, whose first
                                // bytes only are: rules see it as an operand they never rewrite
    bool dropped = false;       // a rule took it out of the stream
    RewriteNote note;           // the note it goes out with
    TokenPlace end;             // where it ends in the source (TokenPiece::end); a canonical form's
                                // reaches over the tokens after it taken out into it
};

// The tokens a rule looks at: absolute indexes first .. first + count - 1
// (index 0 is the stream's first token), in a ring of kRewriteTokens.
struct RewriteWindow {
    WindowToken tokens[kRewriteTokens];
    std::uint64_t first = 0;    // absolute index of the oldest token held
    std::size_t count = 0;      // tokens held
    bool complete = false;      // no token will join before those held go out: the last held is End, or a
                                // barrier (a token too long to hold) follows them, or the window is full
    char *keys = nullptr;       // the key store: the held tokens' keys, and canonical forms
    std::size_t keyUsed = 0;    // bytes of it in use
    RewriteSet allow = 0;       // the rewrites this run accepts
    Language language = Language::CFamily;
};

// The token at absolute index i (first <= i < first + count).
inline WindowToken &windowAt(RewriteWindow &w, std::uint64_t i) { return w.tokens[i % kRewriteTokens]; }
inline std::uint64_t windowEnd(const RewriteWindow &w) { return w.first + w.count; }

// Whether token i is held whole, a Code token, and its key is the text s.
bool tokenIs(RewriteWindow &w, std::uint64_t i, const char *s);
// Its key as a pointer into the key store (valid until the window takes more tokens).
const char *tokenKey(RewriteWindow &w, std::uint64_t i);

// The next token after i that is not dropped, or windowEnd(w) when none is held.
std::uint64_t nextKept(RewriteWindow &w, std::uint64_t i);

// Takes token i out of the stream as rewrite r, noting it on token `onto`
// (not dropped, held): its key goes into onto's fingerprint, r into its note,
// and, when onto has no note place yet, i's place becomes it. A canonical
// form before i takes in i's spelling too (the parts of a docstring).
void dropToken(RewriteWindow &w, std::uint64_t i, Rewrite r, std::uint64_t onto);

// Gives token i the canonical key bytes[0..n) and the kind Value as rewrite
// r; its key as written goes into its fingerprint. Returns false, changing
// nothing, when the key store has no room (the token then stays as written).
bool replaceKey(RewriteWindow &w, std::uint64_t i, Rewrite r, const char *bytes, std::size_t n);

// Takes token i out of the stream as rewrite r, noting it on the next kept
// token after it; returns false, dropping nothing, when that is not held.
bool dropBefore(RewriteWindow &w, std::uint64_t i, Rewrite r);

// A language's rules. scan looks at the held tokens and decides every rewrite
// it makes on tokens before the index it returns, which is at least
// w.first + 1 when w.complete (every held token then, when its last is End);
// tokens before that index go out and are never shown to the rules again. It
// is called again after more tokens join, with its own state.
struct RewriteRules {
    Language language;
    RewriteSet rewrites;                      // the rewrites these rules know in this language
    std::size_t stateSize;                    // bytes of the rules' state, zeroed at the stream's start
    std::uint64_t (*scan)(RewriteWindow &w, void *state);
    // True for a Code token of key (n bytes, the first kRewriteLongToken of
    // a longer one) that the lexer made of a comment a tool reads as code (a
    // "#!" line, a compiler directive): the rules never see it, and it goes
    // out as it came, just before the token that followed it (set aside,
    // Rewriter::aside). nullptr: none.
    bool (*aside)(const char *key, std::size_t n);
};

constexpr std::size_t kRewriteStateBytes = 16384;  // the most state a language's rules keep

// The record of a module's rules, whose state is a State (checked to fit)
// and which know the rewrites listed.
template <typename State>
constexpr RewriteRules rulesRecord(Language language, std::initializer_list<Rewrite> rewrites,
                                   std::uint64_t (*scan)(RewriteWindow &w, void *state),
                                   bool (*aside)(const char *key, std::size_t n))
{
    static_assert(sizeof(State) <= kRewriteStateBytes, "a language's rules' state must fit the rewriter's");
    RewriteSet set = 0;
    for (Rewrite r : rewrites)
        set = static_cast<RewriteSet>(set | rewriteBit(r));
    return {language, set, sizeof(State), scan, aside};
}

// The rules of language's module, or nullptr when it has none (defined with
// the language table).
const RewriteRules *rewriteRules(Language language);

// Where a rewriter takes its pieces from.
struct RewriteSource {
    void *self = nullptr;
    void (*next)(void *self, TokenPiece &piece) = nullptr;
};

constexpr std::size_t kRewriteAside = 256;         // tokens set aside at once (RewriteRules::aside)

// A token set aside: it goes out before the window token at index before.
struct AsideToken {
    WindowToken token;          // whole, its key in the window's key store
    std::uint64_t before = 0;   // absolute index of the window token it goes out before
};

// The stage itself: a stream's tokens in, the canonical stream out. Large:
// allocate it once and reuse it.
struct Rewriter {
    RewriteSource source;
    const RewriteRules *rules = nullptr;       // nullptr: the stream goes through as it is
    RewriteWindow window;
    char keyStores[2][kRewriteKeyBytes];       // the window's key store and the one it is compacted into
    int store = 0;                             // which of them the window uses
    alignas(std::max_align_t) unsigned char state[kRewriteStateBytes];
    std::uint64_t ready = 0;                   // tokens before this absolute index are decided
    bool barrier = false;                      // the window's last token is a long one, cut
    TokenPiece pendingPiece;                   // the rest of that token's last piece taken
    bool passing = false;                      // handing out the rest of a long token as it comes
    bool ended = false;                        // the End token has gone out
    AsideToken aside[kRewriteAside];           // tokens set aside, in a ring, in the order they came
    std::size_t asideFirst = 0;                // index in aside of the oldest
    std::size_t asideCount = 0;                // tokens set aside and not yet out
    bool heldAside = false;                    // a long token set aside, cut (heldToken, then pendingPiece on):
                                               // the barrier; it goes out once the window is empty
    WindowToken heldToken;                     // its first bytes, in the key store
};

// Starts rewriter on a stream of language that source hands out; allow says
// which rewrites to accept.
void rewriterStart(Rewriter &rewriter, Language language, RewriteSet allow, RewriteSource source);

// Gives the next piece of the canonical stream: whole tokens with their
// notes, but for a token too long to hold, which goes out in its pieces as
// it came, with no note.
void rewriterNext(Rewriter &rewriter, TokenPiece &piece);

#endif
