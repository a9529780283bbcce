// An HTML document as tokens: gumbo reads it as a browser does (HTML5's
// tree construction: end tags left out, elements the parser adds, misnested
// markup mended), and a walk of its tree tells the template writer each
// node (template.h).
//
// gumbo's allocations for one document come from a heap of the document's
// own: a reading that would outgrow kHtmlTreeBytes leaves the parser at once,
// and the heap frees the whole tree when it goes (gumbo's own destruction of
// a tree recurses as deep as the tree, which a document chooses).
#if MATCHLING_HAVE_GUMBO

#include <gumbo.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "languages/html/template.h"

namespace {

// The allocations of one reading, cut from chunks taken from the heap; a
// free gives back only the allocation cut last (gumbo frees most of its
// work buffers just after it took them), and the chunks all go at the end.
struct GumboHeap {
    std::vector<char *> chunks;           // every chunk taken, freed at the end
    char *at = nullptr, *end = nullptr;   // the free bytes of the last chunk
    char *last = nullptr;                 // the allocation cut last, or nullptr
    std::size_t taken = 0;                // bytes of all chunks
    std::size_t next = std::size_t(64) << 10;  // the size of the next chunk
    std::jmp_buf *overflow = nullptr;     // where a chunk past kHtmlTreeBytes jumps to

    GumboHeap() = default;
    GumboHeap(const GumboHeap &) = delete;
    GumboHeap &operator=(const GumboHeap &) = delete;
    ~GumboHeap()
    {
        for (char *c : chunks)
            std::free(c);
    }
};

// gumbo's structures hold pointers, sizes and ints at most: eight bytes
// align them all (a tree holds a million small allocations, 4 bytes of
// padding saved on each on average).
constexpr std::size_t kGumboAlign = 8;

void *heapTake(void *userdata, std::size_t n)
{
    GumboHeap &heap = *static_cast<GumboHeap *>(userdata);
    n = (n + kGumboAlign - 1) & ~(kGumboAlign - 1);
    if (static_cast<std::size_t>(heap.end - heap.at) < n) {
        const std::size_t size = std::max(heap.next, n);
        if (size > kHtmlTreeBytes - heap.taken)
            std::longjmp(*heap.overflow, 1);
        char *chunk = static_cast<char *>(std::malloc(size));
        if (!chunk)
            std::longjmp(*heap.overflow, 1);
        heap.chunks.push_back(chunk);
        heap.taken += size;
        heap.next = std::min<std::size_t>(heap.next * 2, std::size_t(8) << 20);
        heap.at = chunk;
        heap.end = chunk + size;
    }
    heap.last = heap.at;
    heap.at += n;
    return heap.last;
}

void heapGive(void *userdata, void *p)
{
    GumboHeap &heap = *static_cast<GumboHeap *>(userdata);
    if (p && p == heap.last) {
        heap.at = heap.last;
        heap.last = nullptr;
    }
}

// gumbo's tree of text[0..n), in heap; nullptr when it would outgrow the
// heap's budget.
GumboOutput *readHtml(GumboHeap &heap, const char *text, std::size_t n)
{
    std::jmp_buf jump;
    heap.overflow = &jump;
    if (setjmp(jump) != 0) {
        heap.overflow = nullptr;
        return nullptr;
    }
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = heapTake;
    options.deallocator = heapGive;
    options.userdata = &heap;
    options.max_errors = 0;  // errors are not kept
    GumboOutput *out = gumbo_parse_with_options(&options, text, n);
    heap.overflow = nullptr;
    return out;
}

// --- Nesting ------------------------------------------------------------------

char lowerByte(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isNameByte(char c)
{
    return c != '>' && c != '/' && c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\f';
}

// text with each CR LF, and each CR alone, as a line feed, as a parser
// reads its input (gumbo's text and names taken from the source, where it
// reads a tag's start again, keep them).
std::string lineFeeds(const char *text, std::size_t n)
{
    std::string out;
    for (std::size_t i = 0; i < n; ++i)
        if (text[i] != '\r')
            out += text[i];
        else if (i + 1 == n || text[i + 1] != '\n')
            out += '\n';
    return out;
}

// Names compared as views: their lengths first, most differ there.
bool named(std::string_view name, std::initializer_list<std::string_view> names)
{
    for (std::string_view n : names)
        if (name == n)
            return true;
    return false;
}

// The offset of the '>' that ends the tag whose name ends at i (quoted
// attribute values skipped), or n.
std::size_t tagEnd(const char *t, std::size_t n, std::size_t i)
{
    char quote = 0;
    for (; i < n; ++i) {
        if (quote) {
            quote = t[i] == quote ? 0 : quote;
        } else if (t[i] == '"' || t[i] == '\'') {
            if (t[i - 1] == '=' || t[i - 1] == ' ')
                quote = t[i];
        } else if (t[i] == '>') {
            return i;
        }
    }
    return n;
}

// The offset just past the "</name" that ends a raw text element opened
// before i, or n.
std::size_t rawEnd(const char *t, std::size_t n, std::size_t i, const std::string &name)
{
    for (; i + 2 + name.size() <= n; ++i) {
        if (t[i] != '<' || t[i + 1] != '/')
            continue;
        std::size_t k = 0;
        while (k < name.size() && lowerByte(t[i + 2 + k]) == name[k])
            ++k;
        if (k == name.size())
            return i + 2 + k;
    }
    return n;
}

// False when the document nests elements deeper than kHtmlMaxDepth, as a
// quick reading of its tags counts them: gumbo's tree construction looks
// through every open element at each start tag, so that its work grows as
// the square of the depth. The count leaves out void elements and those an
// end tag may be left out of (each closes the one before), and takes an
// end tag only where its element is open in the same table.
bool shallowEnough(const char *t, std::size_t n)
{
    std::vector<std::string> open;
    std::string name;
    int foreign = 0;  // svg and math elements open, where "/>" closes
    for (std::size_t i = 0; i < n; ++i) {
        const void *lt = std::memchr(t + i, '<', n - i);
        if (!lt)
            break;
        i = static_cast<std::size_t>(static_cast<const char *>(lt) - t);
        if (n - i >= 4 && std::memcmp(t + i, "<!--", 4) == 0) {
            const void *end = memmem(t + i + 4, n - i - 4, "-->", 3);
            i = end ? static_cast<std::size_t>(static_cast<const char *>(end) - t) + 2 : n;
            continue;
        }
        const bool closing = i + 1 < n && t[i + 1] == '/';
        std::size_t k = i + (closing ? 2 : 1);
        if (k >= n || !isLetter(t[k]))
            continue;
        name.clear();
        while (k < n && isNameByte(t[k]) && name.size() < 64)
            name.push_back(lowerByte(t[k++]));
        const std::size_t end = tagEnd(t, n, k);
        if (closing) {
            for (std::size_t d = open.size(); d-- > 0;) {
                if (open[d] == name) {
                    for (std::size_t e = d; e < open.size(); ++e)
                        foreign -= named(open[e], {"svg", "math"});
                    open.resize(d);
                    break;
                }
                if (named(open[d], {"table", "template", "html", "object", "applet", "marquee", "svg", "math"}))
                    break;
            }
            i = end;
            continue;
        }
        const bool selfClosed = end < n && t[end - 1] == '/';
        i = end;
        if (named(name, {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source",
                         "track", "wbr", "keygen", "param", "p", "li", "dd", "dt", "option", "optgroup", "tr", "td",
                         "th", "thead", "tbody", "tfoot", "colgroup", "caption", "rt", "rp", "rb", "rtc"}) ||
            (foreign > 0 && selfClosed))
            continue;
        if (named(name, {"script", "style", "textarea", "title", "xmp", "iframe", "noembed", "noframes"})) {
            i = rawEnd(t, n, i, name);
            continue;
        }
        if (name == "plaintext")
            break;
        foreign += named(name, {"svg", "math"});
        open.push_back(name);
        if (open.size() > kHtmlMaxDepth)
            return false;
    }
    return true;
}

// --- The tree -------------------------------------------------------------------

const GumboVector *childrenOf(const GumboNode *node)
{
    if (node->type == GUMBO_NODE_DOCUMENT)
        return &node->v.document.children;
    if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE)
        return &node->v.element.children;
    return nullptr;
}

// What the document's style elements say of whitespace.
StyleFacts styleFacts(const GumboNode *root)
{
    StyleFacts facts;
    std::vector<const GumboNode *> todo{root};
    while (!todo.empty()) {
        const GumboNode *node = todo.back();
        todo.pop_back();
        const GumboVector *children = childrenOf(node);
        if (!children)
            continue;
        const bool style = node->type != GUMBO_NODE_DOCUMENT && node->v.element.tag == GUMBO_TAG_STYLE;
        for (unsigned i = 0; i < children->length; ++i) {
            const GumboNode *child = static_cast<const GumboNode *>(children->data[i]);
            if (style && child->type == GUMBO_NODE_TEXT)
                scanStyleSheet(child->v.text.text, std::strlen(child->v.text.text), facts);
            todo.push_back(child);
        }
    }
    return facts;
}

// An element's name as the parser reads it, in lower case.
void elementName(const GumboElement &element, std::string &name)
{
    if (element.tag != GUMBO_TAG_UNKNOWN) {
        name = gumbo_normalized_tagname(element.tag);
        return;
    }
    GumboStringPiece piece = element.original_tag;
    gumbo_tag_from_original_text(&piece);
    name = lineFeeds(piece.data ? piece.data : "", piece.data ? piece.length : 0);
    for (char &c : name)
        c = lowerByte(c);
}

std::string doctypeKey(const GumboDocument &d)
{
    std::string key = std::string("<!DOCTYPE ") + d.name;
    if (d.public_identifier && *d.public_identifier)
        key += std::string(" PUBLIC \"") + d.public_identifier + "\"";
    if (d.system_identifier && *d.system_identifier)
        key += std::string(" SYSTEM \"") + d.system_identifier + "\"";
    return key + ">";
}

struct Walk {
    const GumboNode *node;
    unsigned next;  // its next child
};

// Tells the writer each node of the tree under root, in document order.
void walkTree(TemplateWriter &w, const GumboNode *root, std::uint32_t size)
{
    std::vector<Walk> stack{{root, 0}};
    std::vector<TemplateAttribute> attributes;
    std::string name;
    std::uint32_t cursor = 0;  // the offset of the last node told
    while (!stack.empty()) {
        Walk &top = stack.back();
        const GumboVector *children = childrenOf(top.node);
        if (top.next >= children->length) {
            if (top.node->type != GUMBO_NODE_DOCUMENT) {
                const GumboElement &e = top.node->v.element;
                if (e.original_end_tag.length > 0 && e.end_pos.offset > cursor)
                    cursor = e.end_pos.offset;
                templateClose(w, cursor);
            }
            stack.pop_back();
            continue;
        }
        const GumboNode *node = static_cast<const GumboNode *>(children->data[top.next++]);
        switch (node->type) {
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE: {
            const GumboElement &e = node->v.element;
            if (e.original_tag.length > 0 && e.start_pos.offset < size)
                cursor = e.start_pos.offset;
            elementName(e, name);
            attributes.resize(e.attributes.length);
            for (unsigned i = 0; i < e.attributes.length; ++i) {
                const GumboAttribute *a = static_cast<const GumboAttribute *>(e.attributes.data[i]);
                attributes[i].name = a->name;
                attributes[i].value = a->value;
                attributes[i].at = a->name_start.offset < size ? a->name_start.offset : cursor;
            }
            templateOpen(w, name, attributes, cursor, e.tag_namespace == GUMBO_NAMESPACE_SVG);
            stack.push_back({node, 0});
            break;
        }
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA: {
            const GumboText &t = node->v.text;
            if (t.start_pos.offset < size && (t.original_text.length > 0 || t.start_pos.offset > cursor))
                cursor = t.start_pos.offset;
            const std::size_t original = t.original_text.data ? t.original_text.length : 0;
            const char *text = t.text;
            std::size_t n = std::strlen(text);
            std::string plain;
            if (std::memchr(text, '\r', n)) {
                plain = lineFeeds(text, n);
                text = plain.data();
                n = plain.size();
            }
            templateText(w, text, n, original ? t.original_text.data : "", original, cursor);
            break;
        }
        case GUMBO_NODE_COMMENT: {
            const GumboText &t = node->v.text;
            if (t.start_pos.offset < size)
                cursor = t.start_pos.offset;
            templateComment(w, t.text, std::strlen(t.text), cursor);
            break;
        }
        default: break;
        }
    }
}

} // namespace

const char *htmlTokens(HtmlStore &store, const LexOptions &options)
{
    GumboHeap heap;
    const std::size_t size = store.text.size();
    if (!shallowEnough(store.text.data(), size))
        return "nested too deep to compare as HTML";
    GumboOutput *out = readHtml(heap, size ? store.text.data() : "", size);
    if (!out)
        return "too large to compare as HTML";
    TemplateWriter w;
    templateStart(w, store, kHtmlSyntax, options, styleFacts(out->document));
    const GumboDocument &d = out->document->v.document;
    if (d.has_doctype)
        templateDoctype(w, doctypeKey(d), 0);
    walkTree(w, out->document, static_cast<std::uint32_t>(size));
    templateFinish(w);
    return nullptr;
}

#endif
