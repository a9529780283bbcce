// Sorted imports: runs of import declarations held and handed out in the
// order of their token keys, over any lexer's pieces, by the import rules of
// the language's module: its forms of declaration, their grammars, and where
// they may stand.
//
// Every change made here moves whole declarations within one run, or whole
// names within one {...} of a declaration whose rules sort them (groups),
// where the language gives them
// the same meaning in any order. So two sources whose sorted streams are
// equal are equivalent; a rule that cannot tell keeps the order as read.
//
// Counting: a run handed out in another order than read (its declarations,
// or the names of a {...}) carries a note on its first token, with a
// fingerprint of its tokens as read, so that the comparison counts it as an
// accepted rewrite where the other source read it otherwise.
#include <algorithm>
#include <cstring>

#include "tokens/sorted_imports.h"

namespace {

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
    if (s.rules->mayStart)
        return s.rules->mayStart(s.scope);
    const ImportScope &c = s.scope;
    return !c.inDirective && c.depth == c.openDepth && c.previous == ImportPlace::Start;
}

// Notes the brackets that tell where declarations may stand.
void followCode(IncludeSorter &s, const TokenPiece &p, bool start)
{
    ImportScope &c = s.scope;
    const ImportScopeStep own = s.rules->follow ? s.rules->follow(c, p, start) : ImportScopeStep{};
    const char b = p.last && p.length == 1 ? p.bytes[0] : 0;
    ImportPlace next = ImportPlace::Other;
    switch (b) {
    case '(':
        ++c.depth;
        next = ImportPlace::Paren;
        break;
    case '[': ++c.depth; break;
    case '{':
        ++c.depth;
        if (c.depth == c.openDepth + 1 && own.holds)
            ++c.openDepth;
        next = ImportPlace::Start;
        break;
    case ')': case ']': case '}':
        if (c.depth == c.openDepth && c.openDepth > 0)
            --c.openDepth;
        c.depth -= c.depth > 0 ? 1 : 0;
        if (b == '}')
            next = ImportPlace::Start;
        break;
    case ';': next = ImportPlace::Start; break;
    default: break;
    }
    c.previous = own.start ? ImportPlace::Start : next;
}

// Counts the token that p starts in the source around the pieces.
void follow(IncludeSorter &s, const TokenPiece &p, const PieceFacts &f)
{
    if (p.kind == TokenKind::CommentWord)
        return;
    // A directive's tokens leave the statements around it as they are.
    if (f.directive) {
        s.scope.inDirective = true;
        return;
    }
    if (s.scope.inDirective) {
        s.scope.inDirective = p.kind != TokenKind::LineEnd;
        return;
    }
    if (p.kind == TokenKind::Code)
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

// The form of the declaration that p would open, or nullptr.
const ImportForm *opens(const IncludeSorter &s, const TokenPiece &p, const PieceFacts &f)
{
    if (p.kind != TokenKind::Code || !p.first)
        return nullptr;
    for (const ImportForm *form : s.rules->forms) {
        if (!form)
            continue;
        if (!form->openers) {
            if (f.directive)
                return form;
            continue;
        }
        if (f.start && (!*form->openers || listHolds(form->openers, p)))
            return form;
    }
    return nullptr;
}

// Goes on with the scan of the open declaration after the token that p
// starts; index counts its tokens before p.
ImportVerdict step(IncludeSorter &s, const TokenPiece &p, const PieceFacts &f, std::size_t index)
{
    if (!s.form->everyKind) {
        if (p.kind == TokenKind::CommentWord)
            return ImportVerdict::More;  // a comment inside a declaration goes with it
        if (p.kind != TokenKind::Code)
            return ImportVerdict::Not;
    }
    return s.form->step(s.scan, p, f, index);
}

// Starts the scan of a declaration of form that p opens.
ImportVerdict openScan(IncludeSorter &s, const ImportForm *form, const TokenPiece &p, const PieceFacts &f)
{
    s.form = form;
    s.scan = ImportScan{};
    return step(s, p, f, 0);
}

// True when the stores, and the open declaration's caps, have room for piece p.
bool fits(const IncludeSorter &s, const TokenPiece &p)
{
    const ImportForm &row = *s.form;
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
    if (!(s.form->keepsOrder && s.form->keepsOrder(s, 0, s.directiveCount)))
        std::sort(s.order, s.order + s.directiveCount,
                  [&s](std::uint16_t a, std::uint16_t b) { return before(s, a, b); });
    for (std::size_t k = 0; k < s.directiveCount; ++k)
        s.reordered = s.reordered || s.order[k] != k;
    s.runNote = RewriteNote{};
    if (s.reordered && s.directiveCount > 0) {
        s.runNote.kinds = kImportsNote;
        s.runNote.prints[kImportsKind] = s.runPrint;
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
    const ImportForm *form = opens(s, piece, f);
    if (!form || openScan(s, form, piece, f) == ImportVerdict::Not || !fits(s, piece))
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
    ImportVerdict v = p.first ? step(s, p, f, d.tokenCount) : ImportVerdict::More;
    if (v == ImportVerdict::Not) {
        wait(s, p, f);
        beginEmission(s, true, IncludePhase::Passing);
        return;
    }
    store(s, p);
    if (v == ImportVerdict::Done)
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
    const ImportForm *held = s.form;
    const ImportForm *form = opens(s, p, f);
    if (form == held && s.directiveCount < form->groupUnits && fits(s, p) &&
        openScan(s, form, p, f) != ImportVerdict::Not) {
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
    bool ends = s.form->lineEnd ? piece.kind == TokenKind::LineEnd : importIs(piece, ";");
    if (ends || piece.kind == TokenKind::End)
        s.phase = IncludePhase::Passing;
    return true;
}

} // namespace

bool heldIs(const IncludeSorter &s, std::size_t i, const char *word)
{
    const HeldToken &t = s.tokens[i];
    return t.kind == TokenKind::Code && t.length == std::strlen(word) && std::memcmp(s.keys + t.offset, word, t.length) == 0;
}

bool heldName(const IncludeSorter &s, std::size_t i)
{
    const HeldToken &t = s.tokens[i];
    return t.kind == TokenKind::Code && t.length > 0 && importNameByte(s.keys[t.offset]);
}

bool heldSame(const IncludeSorter &s, std::size_t i, std::size_t j)
{
    return compareHeld(s, i, i + 1, j, j + 1) == 0;
}

void sorterStart(IncludeSorter &s, const ImportRules *rules, LexerNext next)
{
    s.rules = rules;
    s.next = next;
    s.phase = IncludePhase::Passing;
    s.keyUsed = s.tokenCount = s.directiveCount = 0;
    s.directiveOpen = false;
    s.form = nullptr;
    s.hasWaiting = false;
    s.scope = ImportScope{};
    std::memset(s.scope.own, 0, sizeof s.scope.own);
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
