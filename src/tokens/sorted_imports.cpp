// Sorted imports: runs of import declarations held and handed out in the
// order of their token keys, over any lexer's pieces, by one small table of
// rules per language.
//
// Every change made here moves whole declarations within one run, or whole
// names within one {...} of a Rust use item, where the language gives them
// the same meaning in any order. So two sources whose sorted streams are
// equal are equivalent; a rule that cannot tell keeps the order as read.
//
// Counting: a run handed out in another order than read (its declarations,
// or the names of a {...}) carries a note on its first token, with a
// fingerprint of its tokens as read, so that the comparison counts it as an
// accepted rewrite where the other source read it otherwise.
#include <algorithm>
#include <cstring>

#include "tokens/lexer.h"

#include "tokens/sorted_imports.h"

namespace {

// One kind of declaration: the words that open it and how many a group holds.
struct FormRow {
    ImportForm form;
    const char *openers;       // words that open it, blank-separated; empty: any token where one may stand
    bool lineEnd;              // it ends at its LineEnd (else at ';')
    std::size_t groupUnits;    // declarations of one group
    std::size_t unitTokens;    // tokens of one declaration
    std::size_t unitKeyBytes;  // key bytes of one declaration
};

// A using directive past its caps goes out as it stands and ends its run; so
// a group of them ends only at its count, and a sorted copy groups the same.
constexpr std::size_t kUsingGroup = kIncludeDirectives / 2;

const FormRow kForms[] = {
    {ImportForm::Include, "#", true, kIncludeDirectives, kIncludeTokens, kIncludeKeyBytes},
    {ImportForm::Using, "using global", false, kUsingGroup, kIncludeTokens / kUsingGroup, kIncludeKeyBytes / kUsingGroup},
    {ImportForm::GoSpec, "", false, kIncludeDirectives, kIncludeTokens, kIncludeKeyBytes},
    {ImportForm::RustUse, "use pub #", false, kIncludeDirectives, kIncludeTokens, kIncludeKeyBytes},
    {ImportForm::JavaImport, "import", false, kIncludeDirectives, kIncludeTokens, kIncludeKeyBytes},
};

const FormRow &formRow(ImportForm form)
{
    for (const FormRow &f : kForms)
        if (f.form == form)
            return f;
    return kForms[0];
}

// How the scan of an open declaration goes on after a token.
enum class Verdict : unsigned char {
    More,  // the declaration goes on
    Done,  // the token ends it
    Not,   // it is no declaration after all
};

// True when p is the whole token word.
bool is(const TokenPiece &p, const char *word)
{
    std::size_t n = std::strlen(word);
    return p.kind == TokenKind::Code && p.first && p.last && p.length == n && std::memcmp(p.bytes, word, n) == 0;
}

bool nameByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

// True when p starts a name or a keyword.
bool isName(const TokenPiece &p)
{
    return p.kind == TokenKind::Code && p.first && p.length > 0 && nameByte(p.bytes[0]);
}

// True when p starts a string literal (Go's path).
bool isString(const TokenPiece &p)
{
    return p.kind == TokenKind::Code && p.first && p.length > 0 && (p.bytes[0] == '"' || p.bytes[0] == '`');
}

// True when the blank-separated words of list hold p.
bool listHolds(const char *list, const TokenPiece &p)
{
    for (const char *w = list; *w;) {
        std::size_t n = std::strcspn(w, " ");
        if (p.kind == TokenKind::Code && p.first && p.last && p.length == n && std::memcmp(p.bytes, w, n) == 0)
            return true;
        w += n;
        w += *w == ' ';
    }
    return false;
}

// True when a declaration may open at the next token.
bool mayStart(const IncludeSorter &s)
{
    switch (s.rules->scope) {
    case ImportScope::Namespaces: return !s.inDirective && s.depth == s.openDepth && s.previous == ImportPlace::Start;
    case ImportScope::Blocks: return s.depth == s.openDepth && s.previous == ImportPlace::Start;
    case ImportScope::TopLevel: return s.depth == 0 && s.previous == ImportPlace::Start;
    case ImportScope::ImportBlock: return s.importBlock && s.depth == 1 && s.previous != ImportPlace::Other;
    }
    return false;
}

// True when a '{' at the level where declarations stand opens another such
// level: a namespace body (C family), a block that is no macro body (Rust).
bool bodyHolds(const IncludeSorter &s, bool namespaceHead, bool macro)
{
    switch (s.rules->scope) {
    case ImportScope::Namespaces: return namespaceHead;
    case ImportScope::Blocks: return !macro;
    default: return false;
    }
}

// Notes the brackets and keywords that tell where declarations may stand.
void followCode(IncludeSorter &s, const TokenPiece &p, bool start)
{
    const char c = p.last && p.length == 1 ? p.bytes[0] : 0;
    const bool macro = s.bang > 0;
    s.bang = c == '!' ? 2 : (s.bang > 0 ? s.bang - 1 : 0);
    s.hashes = c == '#' ? 1 : (c == '!' && s.hashes == 1 ? 2 : 0);
    const bool head = s.namespaceHead;
    s.namespaceHead = (start && is(p, "namespace")) || (head && (isName(p) || c == '.' || is(p, "::")));
    const bool importWord = s.importWord;
    s.importWord = s.depth == 0 && is(p, "import");
    ImportPlace next = ImportPlace::Other;
    switch (c) {
    case '(':
        s.importBlock = s.importBlock || (importWord && s.rules->scope == ImportScope::ImportBlock);
        ++s.depth;
        next = ImportPlace::Paren;
        break;
    case '[': ++s.depth; break;
    case '{':
        ++s.depth;
        if (s.depth == s.openDepth + 1 && bodyHolds(s, head, macro))
            ++s.openDepth;
        next = ImportPlace::Start;
        break;
    case ')': case ']': case '}':
        if (s.depth == s.openDepth && s.openDepth > 0)
            --s.openDepth;
        s.depth -= s.depth > 0 ? 1 : 0;
        if (c == '}')
            next = ImportPlace::Start;
        if (c == ']' && s.innerAttribute && s.depth == s.attributeDepth) {
            s.innerAttribute = false;  // a "#![...]" stands for the module: an item may follow
            next = ImportPlace::Start;
        }
        if (c == ')' && s.depth == 0)
            s.importBlock = false;
        break;
    case ';': next = ImportPlace::Start; break;
    default: break;
    }
    s.previous = next;
}

// Counts the token that p starts in the source around the pieces.
void follow(IncludeSorter &s, const TokenPiece &p, const PieceFacts &f)
{
    if (p.kind == TokenKind::CommentWord)
        return;
    // A directive's tokens leave the statements around it as they are.
    if (f.hash) {
        s.inDirective = true;
        return;
    }
    if (s.inDirective) {
        s.inDirective = p.kind != TokenKind::LineEnd;
        return;
    }
    if (p.kind != TokenKind::Code)
        return;
    // "#![" opens an inner attribute (Rust); its ']' is noted by followCode.
    if (s.hashes == 2 && is(p, "[") && !s.innerAttribute && s.rules->scope == ImportScope::Blocks) {
        s.innerAttribute = true;
        s.attributeDepth = s.depth;
    }
    followCode(s, p, f.start);
}

// Takes the next piece: the one waiting, or a new one from the lexer, noting
// what the lexer and the tokens before it tell of it.
void take(IncludeSorter &s, Lexer &lx, TokenPiece &p, PieceFacts &f)
{
    if (s.hasWaiting) {
        p = s.waiting;
        f = s.waitingFacts;
        s.hasWaiting = false;
        return;
    }
    s.next(lx, p);
    p.end = lx.endPlace;
    f = PieceFacts{};
    if (s.rules->facts)
        s.rules->facts(lx, p, f);
    f.start = mayStart(s);
    if (p.first)
        follow(s, p, f);
}

// Keeps p to go out again later.
void wait(IncludeSorter &s, const TokenPiece &p, const PieceFacts &f)
{
    s.waiting = p;
    s.waitingFacts = f;
    s.hasWaiting = true;
}

// The form of the declaration that p would open, or None.
ImportForm opens(const IncludeSorter &s, const TokenPiece &p, const PieceFacts &f)
{
    if (p.kind != TokenKind::Code || !p.first)
        return ImportForm::None;
    for (ImportForm form : s.rules->forms) {
        if (form == ImportForm::Include && f.hash)
            return form;
        if (form == ImportForm::None || form == ImportForm::Include || !f.start)
            continue;
        const FormRow &row = formRow(form);
        if (!*row.openers || listHolds(row.openers, p))
            return form;
    }
    return ImportForm::None;
}

// #include "x" or <x>, to the LineEnd; index counts the directive's tokens before p.
Verdict stepInclude(const TokenPiece &p, const PieceFacts &f, std::size_t index)
{
    if (p.kind == TokenKind::End || (index == 1 && !f.include))
        return Verdict::Not;
    return index >= 2 && p.kind == TokenKind::LineEnd ? Verdict::Done : Verdict::More;
}

// A path of names with '.', "::" and type arguments between them, to ';'.
Verdict stepPath(IncludeSorter &s, const TokenPiece &p)
{
    if (is(p, ";"))
        return s.unitName ? Verdict::Done : Verdict::Not;
    const bool closer = is(p, ">") || is(p, "]") || is(p, "?");
    if (isName(p) || closer) {
        if (s.unitName && !closer)
            return Verdict::Not;  // two names in a row: a declaration such as "using var x"
        s.unitName = true;
        return Verdict::More;
    }
    if (is(p, ".") || is(p, "::") || is(p, "<") || is(p, ",") || is(p, "[")) {
        s.unitName = false;
        return Verdict::More;
    }
    return Verdict::Not;
}

// [global] using [static] a.b; or [global] using A = B; (C#), using a::b;
// (C++): not "using namespace", "using enum", a using statement or declaration.
Verdict stepUsing(IncludeSorter &s, const TokenPiece &p)
{
    switch (s.unitState) {
    case 0: s.unitState = is(p, "global") ? 1 : 2; return Verdict::More;
    case 1: s.unitState = 2; return is(p, "using") ? Verdict::More : Verdict::Not;
    case 2:
        if (is(p, "static") || is(p, "::")) {
            s.unitState = 4;
            return Verdict::More;
        }
        if (!isName(p) || is(p, "namespace") || is(p, "enum") || is(p, "typename"))
            return Verdict::Not;
        s.unitState = 3;
        return Verdict::More;
    case 3:
        if (is(p, "=")) {
            s.unitState = 5;
            return Verdict::More;
        }
        s.unitState = 4;
        s.unitName = true;
        return stepPath(s, p);
    case 4: return stepPath(s, p);
    default:
        if (is(p, "{") || is(p, "}"))
            return Verdict::Not;
        s.unitNest += is(p, "(") ? 1 : (is(p, ")") ? -1 : 0);
        return is(p, ";") && s.unitNest == 0 ? Verdict::Done : Verdict::More;
    }
}

// [name or '.'] "path" ; (Go).
Verdict stepGoSpec(IncludeSorter &s, const TokenPiece &p)
{
    switch (s.unitState) {
    case 0:
        if (isString(p)) {
            s.unitState = 2;
            return Verdict::More;
        }
        s.unitState = 1;
        return isName(p) || is(p, ".") ? Verdict::More : Verdict::Not;
    case 1: s.unitState = 2; return isString(p) ? Verdict::More : Verdict::Not;
    default: return is(p, ";") ? Verdict::Done : Verdict::Not;
    }
}

// +1 for an opening bracket, -1 for a closing one, else 0.
int nesting(const TokenPiece &p)
{
    if (is(p, "(") || is(p, "[") || is(p, "{"))
        return 1;
    return is(p, ")") || is(p, "]") || is(p, "}") ? -1 : 0;
}

// #[...]* [pub [(...)]] use tree ; (Rust).
Verdict stepRustUse(IncludeSorter &s, const TokenPiece &p)
{
    switch (s.unitState) {
    case 0:  // outer attributes, visibility
        s.unitState = is(p, "#") ? 1 : (is(p, "pub") ? 3 : (is(p, "use") ? 6 : -1));
        return s.unitState < 0 ? Verdict::Not : Verdict::More;
    case 1:  // after '#'
        s.unitState = 2;
        s.unitNest = 1;
        return is(p, "[") ? Verdict::More : Verdict::Not;
    case 2:  // inside an attribute
        s.unitNest += nesting(p);
        s.unitState = s.unitNest == 0 ? 0 : 2;
        return Verdict::More;
    case 3:  // after "pub"
        s.unitState = is(p, "(") ? 4 : 6;
        s.unitNest = 1;
        return is(p, "(") || is(p, "use") ? Verdict::More : Verdict::Not;
    case 4:  // inside pub(...)
        s.unitNest += nesting(p);
        s.unitState = s.unitNest == 0 ? 5 : 4;
        return Verdict::More;
    case 5: s.unitState = 6; return is(p, "use") ? Verdict::More : Verdict::Not;
    case 6: s.unitNest = 0; s.unitState = 7; [[fallthrough]];
    default:  // the use tree
        if (is(p, ";"))
            return s.unitNest == 0 ? Verdict::Done : Verdict::Not;
        if (is(p, "{"))
            ++s.unitNest;
        else if (is(p, "}") && --s.unitNest < 0)
            return Verdict::Not;
        return isName(p) || is(p, "::") || is(p, "*") || is(p, ",") || is(p, "{") || is(p, "}") ? Verdict::More
                                                                                              : Verdict::Not;
    }
}

// import [static] a.b.C; or a.b.*; (Java).
Verdict stepJavaImport(IncludeSorter &s, const TokenPiece &p)
{
    if (s.unitState == 0) {
        s.unitState = 1;
        return Verdict::More;
    }
    if (s.unitState == 1 && is(p, "static")) {
        s.unitState = 2;
        return Verdict::More;
    }
    s.unitState = 2;
    if (is(p, ";"))
        return s.unitName ? Verdict::Done : Verdict::Not;
    if (isName(p) || is(p, "*") || is(p, ".*")) {
        bool ok = is(p, ".*") ? s.unitName : !s.unitName;
        s.unitName = true;
        return ok ? Verdict::More : Verdict::Not;
    }
    if (is(p, ".") && s.unitName) {
        s.unitName = false;
        return Verdict::More;
    }
    return Verdict::Not;
}

// Goes on with the scan of the open declaration after the token that p
// starts; index counts its tokens before p.
Verdict step(IncludeSorter &s, const TokenPiece &p, const PieceFacts &f, std::size_t index)
{
    if (s.form == ImportForm::Include)
        return stepInclude(p, f, index);
    if (p.kind == TokenKind::CommentWord)
        return Verdict::More;  // a comment inside a declaration goes with it
    if (p.kind != TokenKind::Code)
        return Verdict::Not;
    switch (s.form) {
    case ImportForm::Using: return stepUsing(s, p);
    case ImportForm::GoSpec: return stepGoSpec(s, p);
    case ImportForm::RustUse: return stepRustUse(s, p);
    case ImportForm::JavaImport: return stepJavaImport(s, p);
    default: return Verdict::Not;
    }
}

// Starts the scan of a declaration of form that p opens.
Verdict openScan(IncludeSorter &s, ImportForm form, const TokenPiece &p, const PieceFacts &f)
{
    s.form = form;
    s.unitState = 0;
    s.unitNest = 0;
    s.unitName = false;
    return step(s, p, f, 0);
}

// True when the stores, and the open declaration's caps, have room for piece p.
bool fits(const IncludeSorter &s, const TokenPiece &p)
{
    const FormRow &row = formRow(s.form);
    std::size_t tokens = p.first ? 1 : 0;
    std::size_t unitTokens = 0, unitBytes = 0;
    if (s.directiveOpen) {
        const HeldDirective &d = s.directives[s.directiveCount];
        unitTokens = d.tokenCount;
        unitBytes = s.keyUsed - s.tokens[d.firstToken].offset;
    }
    return s.tokenCount + tokens <= kIncludeTokens && s.keyUsed + p.length <= kIncludeKeyBytes &&
           unitTokens + tokens <= row.unitTokens && unitBytes + p.length <= row.unitKeyBytes;
}

// A 32-bit FNV-1a hash of n bytes, continued from h.
std::uint32_t hashBytes(std::uint32_t h, const char *bytes, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        h = (h ^ static_cast<unsigned char>(bytes[i])) * 16777619u;
    return h;
}

// Adds piece p to the open declaration (opening one when none is), and to
// its fingerprint as read.
void store(IncludeSorter &s, const TokenPiece &p)
{
    if (!s.directiveOpen) {
        s.directives[s.directiveCount] = {s.tokenCount, 0};
        s.directiveOpen = true;
        s.unitPrint = 2166136261u;
    }
    if (p.first) {
        HeldToken &t = s.tokens[s.tokenCount++];
        t = {p.kind, false, p.place, s.keyUsed, 0, TokenPlace{}};
        ++s.directives[s.directiveCount].tokenCount;
        // A token's start, so that "a" "b" and "ab" read apart.
        s.unitPrint = (s.unitPrint ^ (0x100u + static_cast<unsigned char>(p.kind))) * 16777619u;
    }
    s.unitPrint = hashBytes(s.unitPrint, p.bytes, p.length);
    HeldToken &t = s.tokens[s.tokenCount - 1];
    std::memcpy(s.keys + s.keyUsed, p.bytes, p.length);
    s.keyUsed += p.length;
    t.length += p.length;
    t.whole = p.last;
    t.end = p.end;
}

// Orders the held token stretches [a, aEnd) and [b, bEnd) by their keys.
int compareHeld(const IncludeSorter &s, std::size_t a, std::size_t aEnd, std::size_t b, std::size_t bEnd)
{
    for (; a < aEnd && b < bEnd; ++a, ++b) {
        const HeldToken &ta = s.tokens[a], &tb = s.tokens[b];
        int c = std::memcmp(s.keys + ta.offset, s.keys + tb.offset, std::min(ta.length, tb.length));
        if (c != 0)
            return c;
        if (ta.length != tb.length)
            return ta.length < tb.length ? -1 : 1;
        if (ta.kind != tb.kind)
            return ta.kind < tb.kind ? -1 : 1;
    }
    return a < aEnd ? 1 : (b < bEnd ? -1 : 0);
}

// True when held token i is the Code token word.
bool heldIs(const IncludeSorter &s, std::size_t i, const char *word)
{
    const HeldToken &t = s.tokens[i];
    return t.kind == TokenKind::Code && t.length == std::strlen(word) && std::memcmp(s.keys + t.offset, word, t.length) == 0;
}

bool heldName(const IncludeSorter &s, std::size_t i)
{
    const HeldToken &t = s.tokens[i];
    return t.kind == TokenKind::Code && t.length > 0 && nameByte(s.keys[t.offset]);
}

// Where the name of a {...} group that starts at held token i ends: at the
// ',' after it on its own level, or at end.
std::size_t segmentEnd(const IncludeSorter &s, std::size_t i, std::size_t end)
{
    int nest = 0;
    for (; i < end; ++i) {
        nest += heldIs(s, i, "{") ? 1 : (heldIs(s, i, "}") ? -1 : 0);
        if (nest == 0 && heldIs(s, i, ","))
            break;
    }
    return i;
}

// Sorts the comma-separated names of the group held in [lo, hi), in place;
// a trailing comma stays last.
void sortSegments(IncludeSorter &s, std::size_t lo, std::size_t hi)
{
    if (hi > lo && heldIs(s, hi - 1, ","))
        --hi;
    std::size_t p = lo;
    while (p < hi) {
        const std::size_t pe = segmentEnd(s, p, hi);
        std::size_t ms = p, me = pe;
        for (std::size_t q = pe; q < hi;) {
            std::size_t qe = segmentEnd(s, q + 1, hi);
            if (compareHeld(s, q + 1, qe, ms, me) < 0) {
                ms = q + 1;
                me = qe;
            }
            q = qe;
        }
        if (ms == p) {
            p = pe + 1;
            continue;
        }
        // [p, me) holds A ',' B with B the least: make it B ',' A.
        s.reordered = true;
        std::rotate(s.tokens + p, s.tokens + ms, s.tokens + me);
        const std::size_t least = me - ms;
        std::rotate(s.tokens + p + least, s.tokens + me - 1, s.tokens + me);
        p += least + 1;
    }
}

// Sorts the names of each {...} of the declaration held in [from, to),
// inner groups first; groups nested deeper than kUseNesting stay as read.
void sortGroups(IncludeSorter &s, std::size_t from, std::size_t to)
{
    std::size_t open[kUseNesting];
    std::size_t depth = 0, deep = 0;
    for (std::size_t i = from; i < to; ++i) {
        if (heldIs(s, i, "{")) {
            if (depth < kUseNesting)
                open[depth++] = i;
            else
                ++deep;
        } else if (heldIs(s, i, "}")) {
            if (deep > 0)
                --deep;
            else if (depth > 0)
                sortSegments(s, open[--depth] + 1, i);
        }
    }
}

// Closes the open declaration, its last token held.
void closeUnit(IncludeSorter &s)
{
    const HeldDirective &d = s.directives[s.directiveCount];
    if (s.rules->groups)
        sortGroups(s, d.firstToken, d.firstToken + d.tokenCount);
    s.runPrint = s.runPrint * 31u + s.unitPrint + 1u;
    ++s.directiveCount;
    s.directiveOpen = false;
}

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// The held token of the name that using directive d brings into its scope
// where other declarations could name it: an alias's name, or the last name
// of a "using a::b;" declaration (C++). kNone for a C# namespace or static
// directive, which no other directive sees.
std::size_t introduces(const IncludeSorter &s, const HeldDirective &d)
{
    const std::size_t end = d.firstToken + d.tokenCount;
    std::size_t i = d.firstToken, code[3] = {kNone, kNone, kNone}, found = 0;
    for (std::size_t k = i; k < end && found < 3; ++k)
        if (s.tokens[k].kind == TokenKind::Code && !(found == 0 && heldIs(s, k, "global")))
            code[found++] = k;
    // code[0] is "using".
    if (code[1] == kNone || heldIs(s, code[1], "static"))
        return kNone;
    if (code[2] != kNone && heldIs(s, code[2], "="))
        return code[1];
    std::size_t last = kNone;
    bool scoped = false;
    for (; i < end; ++i) {
        scoped = scoped || heldIs(s, i, "::");
        last = heldName(s, i) ? i : last;
    }
    return scoped ? last : kNone;
}

// True when a held using directive names what another of the group
// introduces: then their order may count.
bool entangled(const IncludeSorter &s)
{
    for (std::size_t u = 0; u < s.directiveCount; ++u) {
        std::size_t n = introduces(s, s.directives[u]);
        if (n == kNone)
            continue;
        for (std::size_t v = 0; v < s.directiveCount; ++v) {
            const HeldDirective &d = s.directives[v];
            for (std::size_t k = d.firstToken; v != u && k < d.firstToken + d.tokenCount; ++k)
                if (compareHeld(s, k, k + 1, n, n + 1) == 0)
                    return true;
        }
    }
    return false;
}

// Orders held declarations a and b by their tokens' keys, then as read.
bool before(const IncludeSorter &s, std::uint16_t a, std::uint16_t b)
{
    const HeldDirective &da = s.directives[a], &db = s.directives[b];
    int c = compareHeld(s, da.firstToken, da.firstToken + da.tokenCount, db.firstToken, db.firstToken + db.tokenCount);
    return c != 0 ? c < 0 : a < b;
}

// Starts handing out the complete declarations sorted, then the open one as
// it stands when openAfter; then the sorter goes on in phase next. A group
// that goes out in another order than read gets its note.
void beginEmission(IncludeSorter &s, bool openAfter, IncludePhase next)
{
    for (std::size_t k = 0; k < s.directiveCount; ++k)
        s.order[k] = static_cast<std::uint16_t>(k);
    if (!(s.rules->introduced && s.form == ImportForm::Using && entangled(s)))
        std::sort(s.order, s.order + s.directiveCount,
                  [&s](std::uint16_t a, std::uint16_t b) { return before(s, a, b); });
    for (std::size_t k = 0; k < s.directiveCount; ++k)
        s.reordered = s.reordered || s.order[k] != k;
    s.runNote = RewriteNote{};
    if (s.reordered && s.directiveCount > 0) {
        s.runNote.kinds = kImportsNote;
        s.runNote.print = s.runPrint;
        s.runNote.place = s.tokens[s.directives[0].firstToken].place;
    }
    s.runPrint = 0;
    s.reordered = false;
    s.emitDirective = 0;
    s.emitToken = 0;
    s.emitLimit = s.directiveCount;
    s.openAfter = openAfter;
    s.afterEmission = next;
    s.phase = IncludePhase::Emitting;
}

// Drops the handed-out declarations; an open one moves to the stores' start.
void compact(IncludeSorter &s)
{
    if (!s.directiveOpen) {
        s.tokenCount = s.keyUsed = s.directiveCount = 0;
        return;
    }
    const HeldDirective open = s.directives[s.directiveCount];
    std::size_t keyFrom = s.tokens[open.firstToken].offset;
    for (std::size_t k = 0; k < open.tokenCount; ++k) {
        s.tokens[k] = s.tokens[open.firstToken + k];
        s.tokens[k].offset -= keyFrom;
    }
    std::memmove(s.keys, s.keys + keyFrom, s.keyUsed - keyFrom);
    s.keyUsed -= keyFrom;
    s.tokenCount = open.tokenCount;
    s.directives[0] = {0, open.tokenCount};
    s.directiveCount = 0;
}

// Fills piece with held token t.
void giveHeld(const IncludeSorter &s, const HeldToken &t, TokenPiece &piece)
{
    piece.kind = t.kind;
    piece.first = true;
    piece.last = t.whole;
    piece.place = t.place;
    piece.bytes = s.keys + t.offset;
    piece.length = t.length;
    piece.end = t.end;
}

// Hands out the next held token; false when there are no more (the sorter
// then goes on in its next phase).
bool emitStep(IncludeSorter &s, TokenPiece &piece)
{
    while (s.emitDirective < s.emitLimit) {
        const HeldDirective &d = s.directives[s.order[s.emitDirective]];
        if (s.emitToken < d.tokenCount) {
            giveHeld(s, s.tokens[d.firstToken + s.emitToken++], piece);
            piece.note = s.runNote;
            s.runNote = RewriteNote{};
            return true;
        }
        ++s.emitDirective;
        s.emitToken = 0;
    }
    if (s.openAfter && s.directiveOpen) {
        const HeldDirective &d = s.directives[s.directiveCount];
        if (s.emitToken < d.tokenCount) {
            giveHeld(s, s.tokens[d.firstToken + s.emitToken++], piece);
            return true;
        }
        s.directiveOpen = false;
    }
    compact(s);
    s.phase = s.afterEmission;
    return false;
}

// Passing: pieces go out as they come until a declaration opens.
bool passStep(IncludeSorter &s, Lexer &lx, TokenPiece &piece)
{
    PieceFacts f;
    take(s, lx, piece, f);
    ImportForm form = opens(s, piece, f);
    if (form == ImportForm::None || openScan(s, form, piece, f) == Verdict::Not || !fits(s, piece))
        return true;
    store(s, piece);
    s.phase = IncludePhase::Collecting;
    return false;
}

// Holds p in the open declaration, or ends the group when it does not fit or
// ends the run when the declaration turns out to be none.
void holdInUnit(IncludeSorter &s, const TokenPiece &p, const PieceFacts &f)
{
    if (!fits(s, p)) {
        wait(s, p, f);
        // Sort what is complete; a declaration that alone fills the stores goes out as it stands.
        if (s.directiveCount > 0)
            beginEmission(s, false, IncludePhase::Collecting);
        else
            beginEmission(s, true, IncludePhase::Through);
        return;
    }
    const HeldDirective &d = s.directives[s.directiveCount];
    Verdict v = p.first ? step(s, p, f, d.tokenCount) : Verdict::More;
    if (v == Verdict::Not) {
        wait(s, p, f);
        beginEmission(s, true, IncludePhase::Passing);
        return;
    }
    store(s, p);
    if (v == Verdict::Done)
        closeUnit(s);
}

// Collecting: holds the pieces of the run's declarations; anything else ends it.
bool collectStep(IncludeSorter &s, Lexer &lx, TokenPiece &piece)
{
    (void)piece;
    TokenPiece p;
    PieceFacts f;
    take(s, lx, p, f);
    if (s.directiveOpen) {
        holdInUnit(s, p, f);
        return false;
    }
    const ImportForm held = s.form;
    ImportForm form = opens(s, p, f);
    if (form == held && s.directiveCount < formRow(form).groupUnits && fits(s, p) &&
        openScan(s, form, p, f) != Verdict::Not) {
        store(s, p);
        return false;
    }
    s.form = held;
    wait(s, p, f);
    beginEmission(s, false, IncludePhase::Passing);
    return false;
}

// Through: the rest of a declaration too long to hold, to its end.
bool throughStep(IncludeSorter &s, Lexer &lx, TokenPiece &piece)
{
    PieceFacts f;
    take(s, lx, piece, f);
    bool ends = formRow(s.form).lineEnd ? piece.kind == TokenKind::LineEnd : is(piece, ";");
    if (ends || piece.kind == TokenKind::End)
        s.phase = IncludePhase::Passing;
    return true;
}

} // namespace

void sorterStart(IncludeSorter &s, const ImportRules *rules, LexerNext next)
{
    s.rules = rules;
    s.next = next;
    s.phase = IncludePhase::Passing;
    s.keyUsed = s.tokenCount = s.directiveCount = 0;
    s.directiveOpen = false;
    s.form = ImportForm::None;
    s.hasWaiting = false;
    s.depth = s.openDepth = 0;
    s.previous = ImportPlace::Start;
    s.inDirective = s.namespaceHead = s.innerAttribute = s.importWord = s.importBlock = false;
    s.bang = s.hashes = 0;
    s.attributeDepth = 0;
    s.runPrint = 0;
    s.reordered = false;
    s.runNote = RewriteNote{};
}

void sorterUse(Lexer &lx, const ImportRules *rules, LexerNext next)
{
    if (!lx.sorter)
        lx.sorter = std::make_unique<IncludeSorter>();
    sorterStart(*lx.sorter, rules, next);
    lx.sorting = true;
}

void sortedNext(Lexer &lx, TokenPiece &piece)
{
    IncludeSorter &s = *lx.sorter;
    piece.note = RewriteNote{};  // a note goes on one token only
    for (;;) {
        bool given = false;
        switch (s.phase) {
        case IncludePhase::Passing: given = passStep(s, lx, piece); break;
        case IncludePhase::Collecting: given = collectStep(s, lx, piece); break;
        case IncludePhase::Emitting: given = emitStep(s, piece); break;
        case IncludePhase::Through: given = throughStep(s, lx, piece); break;
        }
        if (given)
            return;
    }
}
