// A Markdown document as tokens: cmark-gfm reads it as GitHub does
// (CommonMark with GitHub's tables, strikethrough, autolinks, task lists and
// footnotes), and a walk of its tree writes the token records of the store.
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
// a language of the table comes as that language's tokens, its comments'
// words among them, through that language's rules with --allow, and a leading
// front-matter block as YAML, when their modules are built; else line by line
// too. Footnotes come where GitHub shows them: a reference as one token that
// names its note, the notes referred to at the document's end, in the order
// of their first references.
//
// Places: cmark-gfm tells the line and column where each block starts, and
// for inline nodes a line that holds and a column that may not (it counts
// from the paragraph's first line); each word is looked for in the document
// a short way on from the last one, and placed where the document spells it,
// or at the last place when it is spelled otherwise (an escape, an entity).
#if MATCHLING_HAVE_CMARK_GFM

#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "languages/languages.h"
#include "languages/markdown/reader.h"
#include "languages/markdown/state.h"

namespace {

constexpr std::size_t kWordLookahead = 256;  // bytes past a word's length that its spelling is looked for in

struct Builder {
    explicit Builder(MarkdownStore &s) : store(s) {}
    MarkdownStore &store;
    const char *base = nullptr;  // the document
    std::uint32_t size = 0;
    LexOptions options;
    std::vector<std::uint32_t> lines;  // the offset of each line as cmark-gfm counts them (a line feed, a CR LF
                                       // or a lone CR ends one), from the first it reads

    // The open word of the text since the last other token, with the blank
    // after it once one came (or a blank alone at the text's start), and
    // where it starts and ends in the document.
    std::string word;
    std::uint32_t wordAt = 0, wordEnd = 0;
    bool blankTaken = false;  // the last token is a word that went out with its blank, as the open word
                              // would hold it: a blank now adds nothing

    std::uint32_t cursor = 0;          // just after the last text placed
    std::vector<std::size_t> pending;  // records of opening tokens that take the next text's offset

    // A table being walked.
    const std::uint8_t *aligns = nullptr;  // its columns' alignments ('l', 'c', 'r' or 0)
    std::uint16_t columns = 0;
    std::uint16_t cell = 0;   // the column of the next cell of its row
    bool inHead = false;      // its row is the header row
    bool bodyOpen = false;    // <tbody> is out

    // A block whose content its language reads.
    Language embedded = Language::Unknown;
    bool embeddedComments = false;         // its comments' words are tokens
    std::string body;                      // its content
    std::vector<std::uint32_t> bodyLines;  // the document offset of each of its lines
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

// Appends a record (tokens/records.h); returns where it starts.
std::size_t emit(Builder &b, TokenKind kind, const char *key, std::size_t length, std::uint32_t at,
                 std::uint32_t spans)
{
    return addRecord(b.store.tokens, kind, key, length, at, spans);
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
    b.pending.push_back(emit(b, TokenKind::Code, key.data(), key.size(), b.cursor, 0));
}

// A closing token stands just after the last text.
void emitClosing(Builder &b, const char *key)
{
    settle(b, b.cursor);
    emit(b, TokenKind::Code, key, std::strlen(key), b.cursor, 0);
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

// The document offset of line (1-based, as cmark-gfm counts) and column
// (1-based bytes) within it, kept inside the line; fallback when cmark-gfm
// gives no line (0).
std::uint32_t offsetOf(const Builder &b, int line, int column, std::uint32_t fallback)
{
    if (line < 1)
        return fallback;
    const std::size_t k = static_cast<std::size_t>(line - 1);
    if (k >= b.lines.size())
        return b.size;
    const std::uint32_t start = b.lines[k], end = k + 1 < b.lines.size() ? b.lines[k + 1] : b.size;
    const std::uint32_t at = start + static_cast<std::uint32_t>(column > 1 ? column - 1 : 0);
    return at < end ? at : end;
}

// Where the next n bytes of text spelled as at p stand in the document: at
// the cursor, its blanks skipped, or a short way after it; the cursor, past
// its blanks, when they are spelled otherwise there. The cursor moves past
// them when found; pending opening tokens take the place.
std::uint32_t placeText(Builder &b, const char *p, std::size_t n)
{
    std::uint32_t at = std::min(b.cursor, b.size);
    while (at < b.size && isMdBlank(b.base[at]))
        ++at;
    std::uint32_t found = at;
    bool spelled = b.size - at >= n && std::memcmp(b.base + at, p, n) == 0;
    if (!spelled && n > 0) {
        const std::size_t window = std::min<std::size_t>(b.size - at, n + kWordLookahead);
        const void *hit = memmem(b.base + at, window, p, n);
        if (hit) {
            found = static_cast<std::uint32_t>(static_cast<const char *>(hit) - b.base);
            spelled = true;
        }
    }
    settle(b, found);
    b.cursor = spelled ? found + static_cast<std::uint32_t>(n) : found;
    return found;
}

// A word of n bytes at document offset at, and the blank after it, as one
// record, as flushRun would hand it out.
void emitWord(Builder &b, const char *word, std::size_t n, std::uint32_t at)
{
    char *p = recordRoom(b.store.tokens, TokenKind::Code, n + 1, at, static_cast<std::uint32_t>(n));
    std::memcpy(p, word, n);
    p[n] = ' ';
}

// Adds text to the words, each run of whitespace one blank that ends the word
// before it; a blank at the start of the text is a token of its own.
void addText(Builder &b, const char *text, std::size_t n)
{
    std::size_t i = 0;
    while (i < n) {
        if (isMdBlank(text[i])) {
            while (i < n && isMdBlank(text[i]))
                ++i;
            if (b.blankTaken)
                continue;
            if (b.word.empty() || b.word.back() != ' ') {
                if (b.word.empty())
                    b.wordAt = b.wordEnd = b.cursor;
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
        const std::uint32_t at = placeText(b, text + from, i - from);
        if (b.word.empty() && i < n) {
            // A whole word and the blank after it: its record straight away.
            emitWord(b, text + from, i - from, at);
            b.blankTaken = true;
            continue;
        }
        if (b.word.empty())
            b.wordAt = at;
        b.word.append(text + from, i - from);
        b.wordEnd = b.cursor;
    }
}

// An attribute's text (a link's destination or title, a code block's info
// string), whitespace collapsed.
std::string attributeText(const char *a)
{
    std::string out;
    for (; a && *a; ++a) {
        if (!isMdBlank(*a))
            out.push_back(*a);
        else if (!out.empty() && out.back() != ' ')
            out.push_back(' ');
    }
    if (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

// The document offset where a line of a verbatim block's content of length
// bytes stands: at the end of the document's line (1-based, as cmark-gfm
// counts) that holds it, as far back as its length, which the indentation
// taken off and the container marks before it leave at the line's end.
std::uint32_t verbatimLineAt(const Builder &b, int line, std::size_t length)
{
    if (line < 1 || static_cast<std::size_t>(line) > b.lines.size())
        return b.cursor;
    const std::size_t k = static_cast<std::size_t>(line - 1);
    const std::uint32_t start = b.lines[k];
    std::uint32_t end = k + 1 < b.lines.size() ? b.lines[k + 1] : b.size;
    while (end > start && (b.base[end - 1] == '\n' || b.base[end - 1] == '\r'))
        --end;
    return end - start >= length ? end - static_cast<std::uint32_t>(length) : start;
}

// A code or HTML block's content, its lines from the document's line first
// on: each line a token, HTML without its trailing blanks, or a line of the
// content its language reads.
void addVerbatim(Builder &b, const char *text, int first, bool html)
{
    int line = first;
    for (const char *p = text; *p; ++line) {
        const char *lf = std::strchr(p, '\n');
        const std::size_t length = lf ? static_cast<std::size_t>(lf - p) : std::strlen(p);
        std::size_t n = length;
        if (html)
            while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\t'))
                --n;
        const std::uint32_t at = verbatimLineAt(b, line, length);
        settle(b, at);
        if (b.embedded != Language::Unknown) {
            b.body.append(p, n);
            b.body.push_back('\n');
            b.bodyLines.push_back(at);
        } else {
            emit(b, TokenKind::Code, p, n, at, static_cast<std::uint32_t>(n));
        }
        // A line whose tab cmark-gfm expanded may reach past the document's.
        b.cursor = std::min<std::uint32_t>(at + static_cast<std::uint32_t>(n), b.size);
        p += lf ? length + 1 : length;
    }
}

// The embedded content as tokens of its language (through its rules, when
// the run accepts rewrites they know), or line by line when its lexer
// refuses it.
void readEmbedded(Builder &b)
{
    const LexOptions options = embeddedOptions(b.options, b.embeddedComments, b.options.allow);
    if (recordEmbedded(b.store, b.store.embedded, b.embedded, b.body, options, b.bodyLines, b.cursor))
        return;
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
Language infoLanguage(const std::string &info, const LexOptions &options)
{
    std::string name = info.substr(0, info.find(' '));
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

// A code or HTML block: its opening tag, its content, its closing tag.
void addBlock(Builder &b, cmark_node *node, bool code)
{
    flushRun(b);
    const char *literal = cmark_node_get_literal(node);
    const int line = cmark_node_get_start_line(node);
    int fenceLength = 0, fenceOffset = 0;
    char fence = 0;
    const bool fenced = code && cmark_node_get_fenced(node, &fenceLength, &fenceOffset, &fence) != 0;
    const std::string info = code ? attributeText(cmark_node_get_fence_info(node)) : std::string();
    emitOpening(b, code ? (info.empty() ? "<pre>" : "<pre " + info + ">") : "<html>");
    b.embedded = fenced ? infoLanguage(info, b.options) : Language::Unknown;
    b.embeddedComments = true;  // a code sample's comments are shown to the reader
    b.body.clear();
    b.bodyLines.clear();
    addVerbatim(b, literal ? literal : "", fenced ? line + 1 : line, !code);
    settle(b, b.cursor);
    if (b.embedded != Language::Unknown)
        readEmbedded(b);
    b.embedded = Language::Unknown;
    emitClosing(b, code ? "</pre>" : "</html>");
}

// A footnote's label, as the footnote's definition writes it: cmark-gfm
// keeps it out of reach but for its Markdown rendering, "[^label]" for a
// reference and "[^label]:" for a definition.
std::string footnoteLabel(cmark_node *node)
{
    const char *shown = cmark_render_commonmark(node, CMARK_OPT_DEFAULT, 0);  // the arena's, freed with it
    std::string label = shown ? shown : "";
    label = label.substr(0, label.find('\n'));
    if (label.size() >= 2 && label.compare(0, 2, "[^") == 0)
        label.erase(0, 2);
    if (!label.empty() && label.back() == ':')
        label.pop_back();
    if (!label.empty() && label.back() == ']')
        label.pop_back();
    return label;
}

std::string listKey(cmark_node *node)
{
    const bool tight = cmark_node_get_list_tight(node) != 0;
    if (cmark_node_get_list_type(node) != CMARK_ORDERED_LIST)
        return tight ? "<ul>" : "<ul loose>";
    std::string key = "<ol";
    const int start = cmark_node_get_list_start(node);
    if (start != 1)
        key += " start=" + std::to_string(start);
    return key + (tight ? ">" : " loose>");
}

// True when node is a paragraph of a tight list's item, which GitHub shows
// without its paragraph.
bool tightParagraph(cmark_node *node)
{
    cmark_node *item = cmark_node_parent(node);
    cmark_node *list = item ? cmark_node_parent(item) : nullptr;
    return list && cmark_node_get_type(list) == CMARK_NODE_LIST && cmark_node_get_list_tight(list) != 0;
}

std::string linkKey(cmark_node *node, const char *tag, const char *attribute)
{
    std::string key = std::string("<") + tag + " " + attribute + "=\"" + attributeText(cmark_node_get_url(node)) + "\"";
    const std::string title = attributeText(cmark_node_get_title(node));
    return title.empty() ? key + ">" : key + " title=\"" + title + "\">";
}

// A code span: "`", its content as CommonMark reads it, "`", placed at its
// content and spanning it, up to the backquotes that close it.
void addCodeSpan(Builder &b, cmark_node *node)
{
    flushRun(b);
    const char *literal = cmark_node_get_literal(node);
    const std::size_t n = literal ? std::strlen(literal) : 0;
    std::string key = "`";
    key.append(literal ? literal : "", n);
    key.push_back('`');
    std::uint32_t at = std::min(b.cursor, b.size), end = at;
    const std::size_t ahead = std::min<std::size_t>(b.size - at, kWordLookahead);
    const char *tick = static_cast<const char *>(std::memchr(b.base + at, '`', ahead));
    if (tick) {
        const char *open = tick;
        while (tick < b.base + b.size && *tick == '`')
            ++tick;
        at = static_cast<std::uint32_t>(tick - b.base);
        const std::size_t window = std::min<std::size_t>(b.size - at, 2 * n + kWordLookahead);
        const void *close = memmem(b.base + at, window, open, static_cast<std::size_t>(tick - open));
        end = close ? static_cast<std::uint32_t>(static_cast<const char *>(close) - b.base)
                    : at + static_cast<std::uint32_t>(std::min<std::size_t>(n, b.size - at));
    }
    settle(b, at);
    emit(b, TokenKind::Code, key.data(), key.size(), at, end > at ? end - at : 0);
    b.cursor = end;
}

// Inline HTML as written, without trailing blanks.
void addInlineHtml(Builder &b, cmark_node *node)
{
    flushRun(b);
    const char *literal = cmark_node_get_literal(node);
    std::size_t n = literal ? std::strlen(literal) : 0;
    while (n > 0 && isMdBlank(literal[n - 1]))
        --n;
    const std::uint32_t at = placeText(b, literal ? literal : "", n);
    emit(b, TokenKind::Code, literal, n, at, b.cursor > at ? b.cursor - at : 0);
}

// The cell's tag: th in the header row, td below it, with its column's
// alignment.
std::string cellKey(Builder &b)
{
    std::string key = b.inHead ? "<th" : "<td";
    const std::uint8_t align = b.aligns && b.cell < b.columns ? b.aligns[b.cell] : 0;
    key += align == 'l' ? " align=left>" : align == 'c' ? " align=center>" : align == 'r' ? " align=right>" : ">";
    ++b.cell;
    return key;
}

// Writes the tokens that entering node (a container) gives.
void enter(Builder &b, cmark_node *node)
{
    flushRun(b);
    const cmark_node_type type = cmark_node_get_type(node);
    // Each block starts where cmark-gfm says: a footnote's definition comes
    // at the end, read where it stands.
    if ((type & CMARK_NODE_TYPE_MASK) == CMARK_NODE_TYPE_BLOCK && cmark_node_get_start_column(node) > 0)
        b.cursor = offsetOf(b, cmark_node_get_start_line(node), cmark_node_get_start_column(node), b.cursor);
    switch (type) {
    case CMARK_NODE_DOCUMENT: return;
    case CMARK_NODE_BLOCK_QUOTE: emitOpening(b, "<blockquote>"); return;
    case CMARK_NODE_LIST: emitOpening(b, listKey(node)); return;
    case CMARK_NODE_ITEM: {
        bool checked = false;
        emitOpening(b, !markdownTask(node, checked) ? "<li>" : checked ? "<li [x]>" : "<li [ ]>");
        return;
    }
    case CMARK_NODE_PARAGRAPH:
        if (!tightParagraph(node))
            emitOpening(b, "<p>");
        return;
    case CMARK_NODE_HEADING: emitOpening(b, "<h" + std::to_string(cmark_node_get_heading_level(node)) + ">"); return;
    case CMARK_NODE_FOOTNOTE_DEFINITION: emitOpening(b, "<footnote label=\"" + footnoteLabel(node) + "\">"); return;
    case CMARK_NODE_EMPH: emitOpening(b, "<em>"); return;
    case CMARK_NODE_STRONG: emitOpening(b, "<strong>"); return;
    case CMARK_NODE_LINK: emitOpening(b, linkKey(node, "a", "href")); return;
    case CMARK_NODE_IMAGE: emitOpening(b, linkKey(node, "img", "src")); return;
    default: break;
    }
    switch (markdownExtension(node)) {
    case MarkdownExtension::Table:
        b.aligns = cmark_gfm_extensions_get_table_alignments(node);
        b.columns = cmark_gfm_extensions_get_table_columns(node);
        b.bodyOpen = false;
        emitOpening(b, "<table>");
        return;
    case MarkdownExtension::TableHeader:
        b.inHead = true;
        b.cell = 0;
        emitOpening(b, "<thead>");
        emitOpening(b, "<tr>");
        return;
    case MarkdownExtension::TableRow:
        b.inHead = false;
        b.cell = 0;
        if (!b.bodyOpen)
            emitOpening(b, "<tbody>");
        b.bodyOpen = true;
        emitOpening(b, "<tr>");
        return;
    case MarkdownExtension::TableCell: emitOpening(b, cellKey(b)); return;
    case MarkdownExtension::Strikethrough: emitOpening(b, "<del>"); return;
    case MarkdownExtension::None: emitOpening(b, "<span>"); return;
    }
}

// Writes the tokens that leaving node (a container) gives.
void leave(Builder &b, cmark_node *node)
{
    flushRun(b);
    switch (cmark_node_get_type(node)) {
    case CMARK_NODE_DOCUMENT: return;
    case CMARK_NODE_BLOCK_QUOTE: emitClosing(b, "</blockquote>"); return;
    case CMARK_NODE_LIST:
        emitClosing(b, cmark_node_get_list_type(node) == CMARK_ORDERED_LIST ? "</ol>" : "</ul>");
        return;
    case CMARK_NODE_ITEM: emitClosing(b, "</li>"); return;
    case CMARK_NODE_PARAGRAPH:
        if (!tightParagraph(node))
            emitClosing(b, "</p>");
        return;
    case CMARK_NODE_HEADING: {
        static const char *const kHeadings[] = {"</h0>", "</h1>", "</h2>", "</h3>", "</h4>", "</h5>", "</h6>"};
        const int level = cmark_node_get_heading_level(node);
        emitClosing(b, level >= 0 && level <= 6 ? kHeadings[level] : "</h>");
        return;
    }
    case CMARK_NODE_FOOTNOTE_DEFINITION: emitClosing(b, "</footnote>"); return;
    case CMARK_NODE_EMPH: emitClosing(b, "</em>"); return;
    case CMARK_NODE_STRONG: emitClosing(b, "</strong>"); return;
    case CMARK_NODE_LINK: emitClosing(b, "</a>"); return;
    case CMARK_NODE_IMAGE: emitClosing(b, "</img>"); return;
    default: break;
    }
    switch (markdownExtension(node)) {
    case MarkdownExtension::Table:
        if (b.bodyOpen)
            emitClosing(b, "</tbody>");
        emitClosing(b, "</table>");
        b.aligns = nullptr;
        return;
    case MarkdownExtension::TableHeader:
        emitClosing(b, "</tr>");
        emitClosing(b, "</thead>");
        return;
    case MarkdownExtension::TableRow: emitClosing(b, "</tr>"); return;
    case MarkdownExtension::TableCell: emitClosing(b, b.inHead ? "</th>" : "</td>"); return;
    case MarkdownExtension::Strikethrough: emitClosing(b, "</del>"); return;
    case MarkdownExtension::None: emitClosing(b, "</span>"); return;
    }
}

// Writes the tokens of node, which has no children.
void leaf(Builder &b, cmark_node *node)
{
    switch (cmark_node_get_type(node)) {
    case CMARK_NODE_TEXT: {
        // Its line holds, its column may not: looked for from its line's start.
        const std::uint32_t line = offsetOf(b, cmark_node_get_start_line(node), 1, b.cursor);
        if (line > b.cursor && line < b.size)
            b.cursor = line;
        const char *literal = cmark_node_get_literal(node);
        if (literal)
            addText(b, literal, std::strlen(literal));
        return;
    }
    case CMARK_NODE_SOFTBREAK: addText(b, " ", 1); return;
    case CMARK_NODE_LINEBREAK:
        flushRun(b);
        settle(b, b.cursor);
        emit(b, TokenKind::Code, "<br>", 4, b.cursor, 0);
        return;
    case CMARK_NODE_CODE: addCodeSpan(b, node); return;
    case CMARK_NODE_HTML_INLINE: addInlineHtml(b, node); return;
    case CMARK_NODE_CODE_BLOCK:
    case CMARK_NODE_HTML_BLOCK:
        b.cursor = offsetOf(b, cmark_node_get_start_line(node), cmark_node_get_start_column(node), b.cursor);
        addBlock(b, node, cmark_node_get_type(node) == CMARK_NODE_CODE_BLOCK);
        return;
    case CMARK_NODE_THEMATIC_BREAK:
        flushRun(b);
        b.cursor = offsetOf(b, cmark_node_get_start_line(node), cmark_node_get_start_column(node), b.cursor);
        emitOpening(b, "<hr>");
        return;
    case CMARK_NODE_FOOTNOTE_REFERENCE: {
        flushRun(b);
        const std::string key = "<sup footnote=\"" + footnoteLabel(node) + "\">";
        const std::uint32_t at = placeText(b, "[^", 2);
        emit(b, TokenKind::Code, key.data(), key.size(), at, b.cursor - at);
        return;
    }
    default:
        // A container with no children (an empty paragraph, cell or item).
        enter(b, node);
        leave(b, node);
        return;
    }
}

// The tree's nodes in document order, without a call of the library that
// allocates.
void walk(Builder &b, cmark_node *root)
{
    cmark_node *node = cmark_node_first_child(root);
    while (node) {
        cmark_node *child = cmark_node_first_child(node);
        if (child) {
            enter(b, node);
            node = child;
            continue;
        }
        leaf(b, node);
        while (node && node != root && !cmark_node_next(node)) {
            node = cmark_node_parent(node);
            if (node && node != root)
                leave(b, node);
        }
        node = node && node != root ? cmark_node_next(node) : nullptr;
    }
}

// The offsets of the lines of text from `from` on, as cmark-gfm counts them.
void indexReadLines(Builder &b, std::uint32_t from)
{
    b.lines.assign(1, from);
    for (std::uint32_t i = from; i < b.size; ++i) {
        const char c = b.base[i];
        if (c == '\n' || (c == '\r' && (i + 1 == b.size || b.base[i + 1] != '\n')))
            b.lines.push_back(i + 1);
    }
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
    b.cursor = 0;
    emitOpening(b, "<front-matter>");
    const Language yaml = languageNamed("yaml");
    b.embedded = yaml != Language::Unknown && languageBuilt(yaml) ? yaml : Language::Unknown;
    b.embeddedComments = b.options.comments;  // a reader sees front matter's values only
    b.body.clear();
    b.bodyLines.clear();
    // Its lines as they stand, each placed at its start.
    for (std::size_t line = first; line < at;) {
        const std::size_t n = lineLength(text, line);
        std::size_t keep = n - 1;
        if (keep > 0 && text[line + keep - 1] == '\r')
            --keep;  // the CR of a CR LF
        const std::uint32_t place = static_cast<std::uint32_t>(line);
        settle(b, place);
        if (b.embedded != Language::Unknown) {
            b.body.append(text.data() + line, keep);
            b.body.push_back('\n');
            b.bodyLines.push_back(place);
        } else {
            emit(b, TokenKind::Code, text.data() + line, keep, place, static_cast<std::uint32_t>(keep));
        }
        line += n;
    }
    settle(b, static_cast<std::uint32_t>(first));
    b.cursor = static_cast<std::uint32_t>(at);
    if (b.embedded != Language::Unknown)
        readEmbedded(b);
    b.embedded = Language::Unknown;
    emitClosing(b, "</front-matter>");
    return at + length;
}

} // namespace

bool markdownTokens(MarkdownStore &store, const LexOptions &options)
{
    Builder b(store);
    b.base = store.text.data();
    b.size = static_cast<std::uint32_t>(store.text.size());
    b.options = options;
    // Records take about three times the text on common documents.
    store.tokens.resize(0);
    store.tokens.reserve(store.text.size() * 3 + 4096);
    const std::size_t from = frontMatter(b);
    indexReadLines(b, static_cast<std::uint32_t>(from));
    MarkdownArena arena(kMarkdownTreeBytes);
    cmark_node *document = readMarkdown(arena, b.base + from, b.size - from);
    if (!document)
        return false;
    b.cursor = static_cast<std::uint32_t>(from);
    walk(b, document);
    flushRun(b);
    settle(b, b.cursor);
    return true;
}

#endif
