// A Markdown document as tokens: md4c reads it (CommonMark with the GitHub
// extensions) and its callbacks become the token records of the store.
//
// Structure tokens are spelled as HTML tags ("<p>", "<ul loose>", "<ol
// start=3>", "<h2>", "<a href="x">", "</em>"), each with what the reader sees
// of it and nothing of how it was written: bullet characters, emphasis
// delimiters, heading style, fences, table padding and the place a link's
// destination was written leave no trace. Text comes as words, each run of
// whitespace (a soft line break too) one blank that ends the word before it;
// a hard break is "<br>". A code span is one token, "`" and its content and
// "`". Code blocks, HTML blocks and inline HTML come line by line as written
// (HTML without trailing blanks); a fenced code block whose info string names
// a language of the table, and a leading front-matter block (as YAML), come as
// that language's tokens when its module is built, else line by line too.
#if MATCHLING_HAVE_MD4C

#include <md4c.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "languages/languages.h"
#include "languages/markdown/state.h"

namespace {

enum class Verbatim : unsigned char { None, Code, Html };

struct Builder {
    explicit Builder(MarkdownStore &s) : store(s) {}
    MarkdownStore &store;
    const char *base = nullptr;  // the document
    std::size_t size = 0;
    LexOptions options;

    // The open word of the text since the last other event, with the blank
    // after it once one came (or a blank alone at the text's start), and
    // where it starts and ends in the document.
    std::string word;
    std::uint32_t wordAt = 0, wordEnd = 0;
    bool blankTaken = false;  // the last token is a word that went out with its blank, as the open word
                              // would hold it: a blank now adds nothing

    // A verbatim block's open line, and the language its content is read as.
    Verbatim verbatim = Verbatim::None;
    std::string line;
    std::uint32_t lineAt = 0;
    bool lineHasPlace = false;
    Language embedded = Language::Unknown;
    std::string body;                     // its content, to be read by that language
    std::vector<std::uint32_t> bodyLines;  // the document offset of each of its lines

    // An open code span.
    bool inCodeSpan = false;
    std::string span;
    std::uint32_t spanAt = 0;
    bool spanHasPlace = false;

    std::uint32_t lastEnd = 0;         // just after the last text read
    std::vector<std::size_t> pending;  // records of opening tokens that take the next text's offset
};

// CommonMark's whitespace: blank, tab, line feed, carriage return, form
// feed, line tabulation.
struct BlankTable {
    bool of[256];
};

constexpr BlankTable makeBlankTable()
{
    BlankTable t{};
    for (int c : {' ', '\t', '\n', '\r', '\f', '\v'})
        t.of[c] = true;
    return t;
}

constexpr BlankTable kBlanks = makeBlankTable();

inline bool isMdBlank(char c)
{
    return kBlanks.of[static_cast<unsigned char>(c)];
}

// The document offset of p, when md4c points into the document.
bool offsetOf(const Builder &b, const char *p, std::uint32_t &at)
{
    if (p < b.base || p >= b.base + b.size)
        return false;
    at = static_cast<std::uint32_t>(p - b.base);
    return true;
}

// Room for a record of a key of length bytes, its head written; returns
// where its key goes.
char *record(Builder &b, TokenKind kind, std::size_t length, std::uint32_t at, std::uint32_t spans)
{
    char *p = b.store.tokens.grow(kMarkdownRecordHead + length);
    const std::uint32_t keyLength = static_cast<std::uint32_t>(length);
    p[0] = static_cast<char>(kind);
    std::memcpy(p + 1, &at, 4);
    std::memcpy(p + 5, &spans, 4);
    std::memcpy(p + 9, &keyLength, 4);
    return p + kMarkdownRecordHead;
}

// Appends a record; returns where it starts.
std::size_t emit(Builder &b, TokenKind kind, const char *key, std::size_t length, std::uint32_t at,
                 std::uint32_t spans)
{
    const std::size_t start = b.store.tokens.size();
    char *p = record(b, kind, length, at, spans);
    if (length > 0) {
        std::memcpy(p, key, length);
        if (std::memchr(key, 0, length))
            b.store.tokens[start] = static_cast<char>(static_cast<unsigned char>(kind) | kMarkdownZeroByte);
    }
    return start;
}

// Gives the opening tokens that wait for a place the offset at.
void settle(Builder &b, std::uint32_t at)
{
    for (std::size_t record : b.pending)
        std::memcpy(&b.store.tokens[record + 1], &at, 4);
    b.pending.clear();
}

// An opening token: its place is that of the text that follows it.
void emitOpening(Builder &b, const std::string &key)
{
    b.pending.push_back(emit(b, TokenKind::Code, key.data(), key.size(), b.lastEnd, 0));
}

// A closing token stands just after the last text.
void emitClosing(Builder &b, const char *key)
{
    settle(b, b.lastEnd);
    emit(b, TokenKind::Code, key, std::strlen(key), b.lastEnd, 0);
}

// Hands out the open word.
void flushRun(Builder &b)
{
    b.blankTaken = false;
    if (b.word.empty())
        return;
    emit(b, TokenKind::Code, b.word.data(), b.word.size(), b.wordAt, b.wordEnd > b.wordAt ? b.wordEnd - b.wordAt : 0);
    b.word.clear();
}

// A word of n bytes at document offset at, and the blank after it, as one
// record, as flushRun would hand it out. md4c hands out a zero byte of the
// text apart (MD_TEXT_NULLCHAR), so no word holds one.
void emitWord(Builder &b, const char *word, std::size_t n, std::uint32_t at)
{
    char *p = record(b, TokenKind::Code, n + 1, at, static_cast<std::uint32_t>(n));
    std::memcpy(p, word, n);
    p[n] = ' ';
}

// Adds text to the words, each run of whitespace one blank that ends the word
// before it; a blank at the start of the text is a token of its own. With
// placed, text stands at document offset at; else its bytes are placed just
// after the last text.
void addText(Builder &b, const char *text, std::size_t n, std::uint32_t at, bool placed)
{
    std::size_t i = 0;
    while (i < n) {
        if (isMdBlank(text[i])) {
            const std::size_t from = i;
            while (i < n && isMdBlank(text[i]))
                ++i;
            if (b.blankTaken)
                continue;
            if (b.word.empty() || b.word.back() != ' ') {
                if (b.word.empty())
                    b.wordAt = b.wordEnd = placed ? at + static_cast<std::uint32_t>(from) : b.lastEnd;
                b.word.push_back(' ');
            }
            continue;
        }
        const std::size_t from = i;
        while (i < n && !isMdBlank(text[i]))
            ++i;
        if (!b.word.empty() && b.word.back() == ' ')
            flushRun(b);
        b.blankTaken = false;
        if (b.word.empty() && placed && i < n) {
            // A whole word and the blank after it: its record straight away.
            emitWord(b, text + from, i - from, at + static_cast<std::uint32_t>(from));
            b.blankTaken = true;
            continue;
        }
        if (b.word.empty())
            b.wordAt = placed ? at + static_cast<std::uint32_t>(from) : b.lastEnd;
        b.word.append(text + from, i - from);
        b.wordEnd = placed ? at + static_cast<std::uint32_t>(i) : b.lastEnd;
    }
}

// Appends code point c as UTF-8.
void appendUtf8(std::string &out, unsigned long c)
{
    if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// The character an entity stands for: numeric ones and the few named ones
// formatters write; any other stays as written (a difference from the
// character it may stand for: a false alarm, never a miss).
std::string entityText(const char *text, std::size_t n)
{
    std::string out;
    if (n >= 4 && text[1] == '#') {
        const bool hex = text[2] == 'x' || text[2] == 'X';
        unsigned long c = 0;
        for (std::size_t i = hex ? 3 : 2; i + 1 < n; ++i) {
            const char d = text[i];
            const unsigned long v = d >= '0' && d <= '9' ? static_cast<unsigned long>(d - '0')
                                    : d >= 'a' && d <= 'f' ? static_cast<unsigned long>(d - 'a' + 10)
                                                           : static_cast<unsigned long>(d - 'A' + 10);
            c = c > 0x10FFFF ? c : c * (hex ? 16 : 10) + v;
        }
        appendUtf8(out, c);
        return out;
    }
    static const struct {
        const char *name;
        unsigned long code;
    } kNamed[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}, {"&nbsp;", 0xA0}};
    for (const auto &e : kNamed)
        if (std::strlen(e.name) == n && std::memcmp(e.name, text, n) == 0) {
            appendUtf8(out, e.code);
            return out;
        }
    return std::string(text, n);
}

// An attribute's text (a link's destination or title), entities as written,
// whitespace collapsed.
std::string attributeText(const MD_ATTRIBUTE &a)
{
    std::string out;
    out.reserve(a.size);
    for (MD_SIZE i = 0; i < a.size; ++i) {
        const char c = a.text[i];
        if (!isMdBlank(c))
            out.push_back(c);
        else if (!out.empty() && out.back() != ' ')
            out.push_back(' ');
    }
    return out;
}

// Ends the open line of a verbatim block: a token, or a line of the content
// its language reads.
void finishLine(Builder &b)
{
    std::string &l = b.line;
    if (b.verbatim == Verbatim::Html)
        while (!l.empty() && (l.back() == ' ' || l.back() == '\t' || l.back() == '\r'))
            l.pop_back();
    else if (!l.empty() && l.back() == '\r')
        l.pop_back();  // the CR of a CR LF
    const std::uint32_t at = b.lineHasPlace ? b.lineAt : b.lastEnd;
    if (b.embedded != Language::Unknown) {
        b.body += l;
        b.body.push_back('\n');
        b.bodyLines.push_back(at);
    } else {
        emit(b, TokenKind::Code, l.data(), l.size(), at, static_cast<std::uint32_t>(l.size()));
    }
    l.clear();
    b.lineHasPlace = false;
}

void addVerbatim(Builder &b, const char *text, std::size_t n, std::uint32_t at, bool placed)
{
    for (std::size_t i = 0; i < n;) {
        const void *lf = std::memchr(text + i, '\n', n - i);
        const std::size_t stop = lf ? static_cast<std::size_t>(static_cast<const char *>(lf) - text) : n;
        if (!b.lineHasPlace && placed && stop > i) {
            // The line starts where its text before this would stand; text
            // md4c made (the blanks of a tab it split) may be longer than
            // the source before it.
            const std::uint32_t to = at + static_cast<std::uint32_t>(i);
            b.lineAt = to - static_cast<std::uint32_t>(std::min<std::size_t>(b.line.size(), to));
            b.lineHasPlace = true;
        }
        b.line.append(text + i, stop - i);
        if (!lf)
            break;
        finishLine(b);
        i = stop + 1;
    }
}

// The document offset of a place of the embedded content.
std::uint32_t bodyOffset(const Builder &b, TokenPlace place)
{
    if (b.bodyLines.empty())
        return b.lastEnd;
    std::size_t k = place.line < 1 ? 0 : static_cast<std::size_t>(place.line - 1);
    if (k >= b.bodyLines.size())
        k = b.bodyLines.size() - 1;
    const std::uint64_t at = b.bodyLines[k] + static_cast<std::uint64_t>(place.column > 0 ? place.column - 1 : 0);
    return static_cast<std::uint32_t>(at < b.size ? at : b.size);
}

// The embedded content as tokens of its language, or line by line when its
// lexer refuses it.
void readEmbedded(Builder &b)
{
    const std::size_t mark = b.store.tokens.size();
    if (!b.store.inner)
        b.store.inner.reset(new Lexer);
    Lexer &inner = *b.store.inner;
    SourceStream source;
    source.bytes = b.body.data();
    source.remaining = static_cast<std::int64_t>(b.body.size());
    LexOptions options;
    options.comments = b.options.comments;
    options.embedded = static_cast<unsigned char>(b.options.embedded + 1);
    lexerStart(inner, b.embedded, options, source);
    TokenPiece piece;
    std::string key;
    for (;;) {
        lexerNext(inner, piece);
        if (piece.first)
            key.clear();
        key.append(piece.bytes, piece.length);
        if (!piece.last)
            continue;
        if (piece.kind == TokenKind::End)
            break;
        const std::uint32_t at = bodyOffset(b, piece.place);
        const bool spelled = inner.endPlace.line > piece.place.line ||
                             (inner.endPlace.line == piece.place.line && inner.endPlace.column > piece.place.column);
        const std::uint32_t end = spelled ? bodyOffset(b, inner.endPlace) : at;
        emit(b, piece.kind, key.data(), key.size(), at, end > at ? end - at : 0);
    }
    const bool refused = lexerRefusal(inner) != nullptr;
    inner.store.reset();  // its module's storage goes now, not with the next block
    if (!refused)
        return;
    b.store.tokens.resize(mark);
    std::size_t from = 0;
    for (std::uint32_t at : b.bodyLines) {
        const std::size_t lf = b.body.find('\n', from);
        emit(b, TokenKind::Code, b.body.data() + from, lf - from, at, static_cast<std::uint32_t>(lf - from));
        from = lf + 1;
    }
}

// The built language the info string's first word names (any case);
// Unknown when none. Markdown is read inside a document's own blocks only,
// not inside a Markdown block's, so that code is read two levels deep at most.
Language infoLanguage(const MD_ATTRIBUTE &lang, const LexOptions &options)
{
    std::string name(lang.text, lang.size);
    for (char &c : name)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    if (name.empty())
        return Language::Unknown;
    const Language language = languageNamed(name.c_str());
    if (language == Language::Unknown || (language == Language::Markdown && options.embedded > 0) ||
        !languageBuilt(language))
        return Language::Unknown;
    return language;
}

std::string blockKey(MD_BLOCKTYPE type, void *detail, bool &ignored)
{
    ignored = false;
    switch (type) {
    case MD_BLOCK_DOC: ignored = true; return {};
    case MD_BLOCK_QUOTE: return "blockquote";
    case MD_BLOCK_UL: return static_cast<MD_BLOCK_UL_DETAIL *>(detail)->is_tight ? "ul" : "ul loose";
    case MD_BLOCK_OL: {
        const auto *d = static_cast<MD_BLOCK_OL_DETAIL *>(detail);
        std::string key = "ol";
        if (d->start != 1)
            key += " start=" + std::to_string(d->start);
        return d->is_tight ? key : key + " loose";
    }
    case MD_BLOCK_LI: {
        const auto *d = static_cast<MD_BLOCK_LI_DETAIL *>(detail);
        return !d->is_task ? "li" : d->task_mark == ' ' ? "li [ ]" : "li [x]";
    }
    case MD_BLOCK_HR: return "hr";
    case MD_BLOCK_H: return "h" + std::to_string(static_cast<MD_BLOCK_H_DETAIL *>(detail)->level);
    case MD_BLOCK_CODE: {
        const std::string info = attributeText(static_cast<MD_BLOCK_CODE_DETAIL *>(detail)->info);
        return info.empty() ? "pre" : "pre " + info;
    }
    case MD_BLOCK_HTML: return "html";
    case MD_BLOCK_P: return "p";
    case MD_BLOCK_TABLE: return "table";
    case MD_BLOCK_THEAD: return "thead";
    case MD_BLOCK_TBODY: return "tbody";
    case MD_BLOCK_TR: return "tr";
    case MD_BLOCK_TH:
    case MD_BLOCK_TD: {
        static const char *const kAlign[] = {"", " align=left", " align=center", " align=right"};
        const unsigned align = static_cast<MD_BLOCK_TD_DETAIL *>(detail)->align;
        return std::string(type == MD_BLOCK_TH ? "th" : "td") + kAlign[align < 4 ? align : 0];
    }
    }
    return "block";
}

// The closing tag of a block: its key's first word.
const char *closingBlock(MD_BLOCKTYPE type, void *detail)
{
    static const char *const kHeadings[] = {"</h0>", "</h1>", "</h2>", "</h3>", "</h4>", "</h5>", "</h6>"};
    switch (type) {
    case MD_BLOCK_QUOTE: return "</blockquote>";
    case MD_BLOCK_UL: return "</ul>";
    case MD_BLOCK_OL: return "</ol>";
    case MD_BLOCK_LI: return "</li>";
    case MD_BLOCK_H: {
        const unsigned level = static_cast<MD_BLOCK_H_DETAIL *>(detail)->level;
        return level <= 6 ? kHeadings[level] : "</h>";
    }
    case MD_BLOCK_CODE: return "</pre>";
    case MD_BLOCK_HTML: return "</html>";
    case MD_BLOCK_P: return "</p>";
    case MD_BLOCK_TABLE: return "</table>";
    case MD_BLOCK_THEAD: return "</thead>";
    case MD_BLOCK_TBODY: return "</tbody>";
    case MD_BLOCK_TR: return "</tr>";
    case MD_BLOCK_TH: return "</th>";
    case MD_BLOCK_TD: return "</td>";
    case MD_BLOCK_DOC: case MD_BLOCK_HR: break;
    }
    return "</block>";
}

int enterBlock(MD_BLOCKTYPE type, void *detail, void *self)
{
    Builder &b = *static_cast<Builder *>(self);
    flushRun(b);
    bool ignored;
    const std::string key = blockKey(type, detail, ignored);
    if (ignored)
        return 0;
    emitOpening(b, "<" + key + ">");
    if (type == MD_BLOCK_CODE || type == MD_BLOCK_HTML) {
        b.verbatim = type == MD_BLOCK_CODE ? Verbatim::Code : Verbatim::Html;
        b.embedded = type == MD_BLOCK_CODE ? infoLanguage(static_cast<MD_BLOCK_CODE_DETAIL *>(detail)->lang, b.options)
                                           : Language::Unknown;
        if (type == MD_BLOCK_CODE && static_cast<MD_BLOCK_CODE_DETAIL *>(detail)->fence_char == 0)
            b.embedded = Language::Unknown;
        b.line.clear();
        b.lineHasPlace = false;
        b.body.clear();
        b.bodyLines.clear();
    }
    return 0;
}

int leaveBlock(MD_BLOCKTYPE type, void *detail, void *self)
{
    Builder &b = *static_cast<Builder *>(self);
    flushRun(b);
    if (b.verbatim != Verbatim::None) {
        if (!b.line.empty())
            finishLine(b);
        settle(b, b.bodyLines.empty() ? b.lastEnd : b.bodyLines.front());
        if (b.embedded != Language::Unknown)
            readEmbedded(b);
        b.verbatim = Verbatim::None;
        b.embedded = Language::Unknown;
    }
    if (type != MD_BLOCK_DOC && type != MD_BLOCK_HR)
        emitClosing(b, closingBlock(type, detail));
    return 0;
}

std::string spanKey(MD_SPANTYPE type, void *detail)
{
    switch (type) {
    case MD_SPAN_EM: return "em";
    case MD_SPAN_STRONG: return "strong";
    case MD_SPAN_A: {
        const auto *d = static_cast<MD_SPAN_A_DETAIL *>(detail);
        std::string key = "a href=\"" + attributeText(d->href) + "\"";
        return d->title.size ? key + " title=\"" + attributeText(d->title) + "\"" : key;
    }
    case MD_SPAN_IMG: {
        const auto *d = static_cast<MD_SPAN_IMG_DETAIL *>(detail);
        std::string key = "img src=\"" + attributeText(d->src) + "\"";
        return d->title.size ? key + " title=\"" + attributeText(d->title) + "\"" : key;
    }
    case MD_SPAN_CODE: return "code";
    case MD_SPAN_DEL: return "del";
    case MD_SPAN_LATEXMATH: return "math";
    case MD_SPAN_LATEXMATH_DISPLAY: return "math display";
    case MD_SPAN_WIKILINK: return "wikilink";
    case MD_SPAN_U: return "u";
    }
    return "span";
}

// The closing tag of a span: its key's first word.
const char *closingSpan(MD_SPANTYPE type)
{
    switch (type) {
    case MD_SPAN_EM: return "</em>";
    case MD_SPAN_STRONG: return "</strong>";
    case MD_SPAN_A: return "</a>";
    case MD_SPAN_IMG: return "</img>";
    case MD_SPAN_CODE: return "</code>";
    case MD_SPAN_DEL: return "</del>";
    case MD_SPAN_LATEXMATH: case MD_SPAN_LATEXMATH_DISPLAY: return "</math>";
    case MD_SPAN_WIKILINK: return "</wikilink>";
    case MD_SPAN_U: return "</u>";
    }
    return "</span>";
}

int enterSpan(MD_SPANTYPE type, void *detail, void *self)
{
    Builder &b = *static_cast<Builder *>(self);
    flushRun(b);
    if (type == MD_SPAN_CODE) {
        b.inCodeSpan = true;
        b.span = "`";
        b.spanHasPlace = false;
        return 0;
    }
    emitOpening(b, "<" + spanKey(type, detail) + ">");
    return 0;
}

int leaveSpan(MD_SPANTYPE type, void *, void *self)
{
    Builder &b = *static_cast<Builder *>(self);
    flushRun(b);
    if (type == MD_SPAN_CODE) {
        b.inCodeSpan = false;
        b.span.push_back('`');
        const std::uint32_t at = b.spanHasPlace ? b.spanAt : b.lastEnd;
        settle(b, at);
        emit(b, TokenKind::Code, b.span.data(), b.span.size(), at, b.lastEnd > at ? b.lastEnd - at : 0);
        return 0;
    }
    emitClosing(b, closingSpan(type));
    return 0;
}

int onText(MD_TEXTTYPE type, const MD_CHAR *text, MD_SIZE size, void *self)
{
    Builder &b = *static_cast<Builder *>(self);
    std::uint32_t at = 0;
    const bool placed = offsetOf(b, text, at);
    if (placed)
        settle(b, at);
    if (b.verbatim != Verbatim::None) {
        addVerbatim(b, text, size, at, placed);
    } else if (b.inCodeSpan) {
        if (!b.spanHasPlace && placed) {
            b.spanAt = at;
            b.spanHasPlace = true;
        }
        if (type == MD_TEXT_SOFTBR || type == MD_TEXT_BR)
            b.span.push_back(' ');
        else if (type == MD_TEXT_NULLCHAR)
            b.span += "\xEF\xBF\xBD";
        else
            b.span.append(text, size);
    } else {
        switch (type) {
        case MD_TEXT_BR:
            flushRun(b);
            emit(b, TokenKind::Code, "<br>", 4, placed ? at : b.lastEnd, 0);
            break;
        case MD_TEXT_SOFTBR: addText(b, " ", 1, at, placed); break;
        case MD_TEXT_NULLCHAR: addText(b, "\xEF\xBF\xBD", 3, at, false); break;
        case MD_TEXT_ENTITY: {
            const std::string decoded = entityText(text, size);
            const bool starts = b.word.empty() || b.word.back() == ' ';
            addText(b, decoded.data(), decoded.size(), at, false);
            if (placed && starts && !b.word.empty() && b.word.back() != ' ')
                b.wordAt = at;
            if (placed)
                b.wordEnd = at + static_cast<std::uint32_t>(size);
            break;
        }
        case MD_TEXT_HTML: {
            flushRun(b);
            std::size_t n = size;
            while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\t' || text[n - 1] == '\r'))
                --n;
            emit(b, TokenKind::Code, text, n, placed ? at : b.lastEnd, placed ? static_cast<std::uint32_t>(n) : 0);
            break;
        }
        default: addText(b, text, size, at, placed); break;
        }
    }
    if (placed && type != MD_TEXT_SOFTBR && type != MD_TEXT_BR)
        b.lastEnd = at + static_cast<std::uint32_t>(size);
    return 0;
}

// Bytes of the line that starts at from (its line feed included); 0 at the end.
std::size_t lineLength(const ByteBuffer &text, std::size_t from)
{
    if (from >= text.size())
        return 0;
    const void *lf = std::memchr(text.data() + from, '\n', text.size() - from);
    return lf ? static_cast<std::size_t>(static_cast<const char *>(lf) - text.data()) - from + 1 : text.size() - from;
}

// True when the line of length bytes at from is "---", blanks after it aside.
bool isFenceLine(const ByteBuffer &text, std::size_t from, std::size_t length)
{
    if (length < 3 || std::memcmp(text.data() + from, "---", 3) != 0)
        return false;
    for (std::size_t i = from + 3; i < from + length; ++i)
        if (text[i] != ' ' && text[i] != '\t' && text[i] != '\r' && text[i] != '\n')
            return false;
    return true;
}

// A leading front-matter block, "---" lines around it, as YAML; returns where
// the Markdown after it starts (0 when there is none).
std::size_t frontMatter(Builder &b)
{
    const ByteBuffer &text = b.store.text;
    const std::size_t first = lineLength(text, 0);
    if (!isFenceLine(text, 0, first) || text[first - 1] != '\n')
        return 0;
    std::size_t at = first, length;
    while ((length = lineLength(text, at)) > 0 && !isFenceLine(text, at, length))
        at += length;
    if (length == 0)
        return 0;
    b.lastEnd = 0;
    emitOpening(b, "<front-matter>");
    const Language yaml = languageNamed("yaml");
    b.embedded = yaml != Language::Unknown && languageBuilt(yaml) ? yaml : Language::Unknown;
    b.verbatim = Verbatim::Code;
    b.body.clear();
    b.bodyLines.clear();
    addVerbatim(b, text.data() + first, at - first, static_cast<std::uint32_t>(first), true);
    settle(b, static_cast<std::uint32_t>(first));
    if (b.embedded != Language::Unknown)
        readEmbedded(b);
    b.verbatim = Verbatim::None;
    b.embedded = Language::Unknown;
    b.lastEnd = static_cast<std::uint32_t>(at);
    emitClosing(b, "</front-matter>");
    return at + length;
}

} // namespace

bool markdownTokens(MarkdownStore &store, const LexOptions &options)
{
    Builder b(store);
    b.base = store.text.data();
    b.size = store.text.size();
    b.options = options;
    // Records take about three times the text on common documents.
    store.tokens.resize(0);
    store.tokens.reserve(store.text.size() * 3 + 4096);
    const std::size_t from = frontMatter(b);
    MD_PARSER parser{};
    parser.flags = MD_DIALECT_GITHUB;
    parser.enter_block = enterBlock;
    parser.leave_block = leaveBlock;
    parser.enter_span = enterSpan;
    parser.leave_span = leaveSpan;
    parser.text = onText;
    const int status = md_parse(b.base + from, static_cast<MD_SIZE>(b.size - from), &parser, &b);
    flushRun(b);
    settle(b, b.lastEnd);
    return status == 0;
}

#endif
