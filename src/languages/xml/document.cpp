// An XML document as tokens: libxml2's tree of it, walked as a canonical
// tree.
//
// An element is "<name" (its name as written, prefix and all), then its
// attributes and namespace declarations, each "name=\"value\"" with the value
// as the parser gives it (references replaced, blanks normalized), sorted,
// then its content, then "</name>". Text is one token, between double
// quotes, for each run of text that nothing but layout divides: character
// data, CDATA sections and the text of entity references join by value
// (comments, when they are layout, do not divide a run). A processing
// instruction is "<?target data?>", the document type declaration
// "<!DOCTYPE ...>" and the declarations of its internal subset as libxml2
// writes them (by value: parameter entities read, attribute lists one
// attribute each, blanks outside literals squeezed). The XML declaration is layout (the text is
// compared decoded), and so are comments, unless their words are tokens.
//
// A run of text of nothing but blanks (space, tab, CR, LF) is layout where
// it stands among elements, comments or processing instructions in an
// element that holds no other text: the indentation between tags. It is
// kept where the element holds other text (mixed content), where it is the
// element's whole content ("<a> </a>" is a value), under xml:space="preserve"
// (until xml:space="default"), and in the elements whose blanks a browser
// renders: XHTML's, and SVG's <text>, <tspan> and <textPath>.
#include "languages/xml/state.h"

#if MATCHLING_HAVE_LIBXML2

#include <algorithm>
#include <cstring>

#include "languages/xml/library.h"

namespace {

const char kXhtml[] = "http://www.w3.org/1999/xhtml";
const char kSvg[] = "http://www.w3.org/2000/svg";

// A reference to an entity whose text the tree does not hold (declared
// outside the document, or never read as content) is spelled "&name;" after
// this byte, which no text of libxml2's, all UTF-8, holds.
const char kUnread = '\xFF';

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool allBlank(const std::string &s)
{
    for (char c : s)
        if (!isBlank(c))
            return false;
    return true;
}

const char *str(const xmlChar *s)
{
    return reinterpret_cast<const char *>(s);
}

bool same(const xmlChar *a, const char *b)
{
    return a && std::strcmp(str(a), b) == 0;
}

// The entity a reference node stands for; nullptr when it was not declared.
xmlEntityPtr entityOf(xmlNodePtr ref)
{
    xmlNodePtr e = ref->children;
    return e && e->type == XML_ENTITY_DECL ? reinterpret_cast<xmlEntityPtr>(e) : nullptr;
}

// True when a reference to e, whose text the tree does not hold, stands for
// no text: e is declared in the document with an empty value.
bool emptyEntity(xmlEntityPtr e)
{
    return e && e->etype == XML_INTERNAL_GENERAL_ENTITY && (!e->content || !*e->content);
}

// The internal subset of a document type declaration in text (a byte order
// mark aside), found by reading the prolog: its bytes between '[' and ']',
// set in [from, to); false when there is none or the prolog is not so read
// (a document not in UTF-8 or ASCII).
bool internalSubset(const char *text, std::size_t size, std::size_t &from, std::size_t &to)
{
    std::size_t i = size >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    auto skipPast = [&](const char *close) {
        const std::size_t n = std::strlen(close);
        while (i + n <= size && std::memcmp(text + i, close, n) != 0)
            ++i;
        i += n;
    };
    while (i < size) {
        if (isBlank(text[i])) {
            ++i;
        } else if (size - i >= 4 && std::memcmp(text + i, "<!--", 4) == 0) {
            skipPast("-->");
        } else if (size - i >= 2 && std::memcmp(text + i, "<?", 2) == 0) {
            skipPast("?>");
        } else if (size - i >= 9 && std::memcmp(text + i, "<!DOCTYPE", 9) == 0) {
            for (i += 9; i < size && text[i] != '[' && text[i] != '>'; ++i)
                if (text[i] == '"' || text[i] == '\'') {
                    const char quote = text[i];
                    while (++i < size && text[i] != quote) {
                    }
                }
            if (i >= size || text[i] != '[')
                return false;
            from = ++i;
            // Declarations, their literals, comments and processing
            // instructions, up to the ']' that closes the subset.
            while (i < size && text[i] != ']') {
                if (text[i] == '"' || text[i] == '\'') {
                    const char quote = text[i];
                    while (++i < size && text[i] != quote) {
                    }
                    ++i;
                } else if (size - i >= 4 && std::memcmp(text + i, "<!--", 4) == 0) {
                    skipPast("-->");
                } else if (size - i >= 2 && std::memcmp(text + i, "<?", 2) == 0) {
                    skipPast("?>");
                } else {
                    ++i;
                }
            }
            to = i;
            return i < size;
        } else {
            return false;
        }
    }
    return false;
}

// Appends text to out with each run of blanks outside its literals ('...',
// "...") as one space, and none at its ends.
void squeeze(const char *text, std::size_t size, std::string &out)
{
    const std::size_t start = out.size();
    char quote = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const char c = text[i];
        if (quote == 0 && isBlank(c)) {
            if (out.size() > start && out.back() != ' ')
                out += ' ';
            continue;
        }
        if (quote == 0 && (c == '"' || c == '\''))
            quote = c;
        else if (c == quote)
            quote = 0;
        out += c;
    }
    if (out.size() > start && out.back() == ' ')
        out.pop_back();
}

// The walk of one document's tree into the store's tokens.
struct Walker {
    XmlStore &store;
    const XmlLibrary &lib;
    bool comments;              // the words of comments are tokens
    const char *failure = nullptr;  // the reason a bound was met
    std::size_t visits = 0;     // nodes visited (entities' nodes each time they are referenced)
    int depth = 0;              // elements and entity references open
    std::string run;            // the run of text not yet a token
    std::uint32_t runLine = 0;  // the line of its first text
    std::vector<std::uint32_t> blanks;  // the tokens of blank runs whose elements are open, in order

    Walker(XmlStore &s, const XmlLibrary &l, bool withComments) : store(s), lib(l), comments(withComments) {}

    std::uint32_t lineOf(xmlNodePtr node)
    {
        const long line = node->line != 65535 ? static_cast<long>(node->line) : lib.getLineNo(node);
        return line > 0 ? static_cast<std::uint32_t>(line) : 1;
    }

    // Adds a token of key to the store; false when a bound is met.
    bool add(const char *key, std::size_t n, std::uint32_t line, bool comment = false)
    {
        if (store.tokens.size() >= kXmlMaxTokens || store.keys.size() + n > kXmlMaxKeyBytes) {
            failure = "too large to compare as XML";
            return false;
        }
        store.tokens.push_back({static_cast<std::uint32_t>(store.keys.size()),
                                static_cast<std::uint32_t>(n) & 0x3fffffffu, comment, 0, line});
        store.keys.append(key, n);
        return true;
    }

    bool add(const std::string &key, std::uint32_t line) { return add(key.data(), key.size(), line); }

    // Counts a visit; false when the walk has taken too long a way (entities
    // referenced over and over).
    bool visit()
    {
        if (++visits <= 4 * kXmlMaxTokens)
            return true;
        failure = "too large to compare as XML";
        return false;
    }

    bool enter()
    {
        if (++depth <= kXmlMaxDepth)
            return true;
        failure = "nested too deeply to compare as XML";
        return false;
    }

    // Appends the value of list, nodes of an attribute's value or an
    // entity's text, to out.
    bool appendValue(xmlNodePtr list, std::string &out)
    {
        for (xmlNodePtr n = list; n; n = n->next) {
            if (!visit())
                return false;
            if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
                if (n->content)
                    out += str(n->content);
            } else if (n->type == XML_ENTITY_REF_NODE) {
                xmlEntityPtr e = entityOf(n);
                if (e && e->children) {
                    if (!enter() || !appendValue(e->children, out))
                        return false;
                    --depth;
                } else if (!emptyEntity(e)) {
                    out += kUnread;
                    out += '&';
                    out += str(n->name);
                    out += ';';
                }
            }
            if (out.size() > kXmlMaxKeyBytes) {
                failure = "too large to compare as XML";
                return false;
            }
        }
        return true;
    }

    // What one element's content holds, as its walk finds it.
    struct Level {
        bool text = false;    // a run of text that is not all blanks
        bool markup = false;  // an element, comment or processing instruction
    };

    // Adds the run of text as a token. One of nothing but blanks, outside
    // xml:space="preserve", is noted in blanks: its element's end decides
    // whether it stays.
    bool flush(Level &level, bool preserve)
    {
        if (run.empty())
            return true;
        const bool blank = allBlank(run);
        level.text = level.text || !blank;
        if (blank && !preserve)
            blanks.push_back(static_cast<std::uint32_t>(store.tokens.size()));
        const std::size_t from = store.keys.size();
        store.keys += '"';
        store.keys += run;
        store.keys += '"';
        run.clear();
        return close(from, runLine);
    }

    // Adds the words of a comment.
    bool commentWords(xmlNodePtr n)
    {
        const char *p = n->content ? str(n->content) : "";
        const std::uint32_t line = lineOf(n);
        while (*p) {
            while (isBlank(*p))
                ++p;
            const char *start = p;
            while (*p && !isBlank(*p))
                ++p;
            if (p > start && !add(start, static_cast<std::size_t>(p - start), line, true))
                return false;
        }
        return true;
    }

    bool processingInstruction(xmlNodePtr n)
    {
        std::string key = "<?";
        key += str(n->name);
        if (n->content && *n->content) {
            key += ' ';
            key += str(n->content);
        }
        key += "?>";
        return add(key, lineOf(n));
    }

    // Adds the tokens of the nodes of list, an element's content or an
    // entity's text, noting in level what they hold.
    bool content(xmlNodePtr list, Level &level, bool preserve)
    {
        for (xmlNodePtr n = list; n; n = n->next) {
            if (!visit())
                return false;
            switch (n->type) {
            case XML_TEXT_NODE:
            case XML_CDATA_SECTION_NODE:
                if (run.empty())
                    runLine = lineOf(n);
                if (n->content)
                    run += str(n->content);
                if (run.size() > kXmlMaxKeyBytes) {
                    failure = "too large to compare as XML";
                    return false;
                }
                break;
            case XML_ENTITY_REF_NODE: {
                xmlEntityPtr e = entityOf(n);
                if (e && e->children) {
                    if (!enter() || !content(e->children, level, preserve))
                        return false;
                    --depth;
                } else if (!emptyEntity(e)) {
                    if (run.empty())
                        runLine = lineOf(n);
                    run += kUnread;
                    run += '&';
                    run += str(n->name);
                    run += ';';
                }
                break;
            }
            case XML_ELEMENT_NODE:
                level.markup = true;
                if (!flush(level, preserve) || !element(n, preserve))
                    return false;
                break;
            case XML_COMMENT_NODE:
                level.markup = true;
                if (comments && (!flush(level, preserve) || !commentWords(n)))
                    return false;
                break;
            case XML_PI_NODE:
                level.markup = true;
                if (!flush(level, preserve) || !processingInstruction(n))
                    return false;
                break;
            default:
                break;
            }
        }
        return true;
    }

    // Appends a name as written, prefix and all, to the keys.
    void appendName(xmlNsPtr ns, const xmlChar *name)
    {
        if (ns && ns->prefix) {
            store.keys += str(ns->prefix);
            store.keys += ':';
        }
        store.keys += str(name);
    }

    // Adds the token whose key was appended to the keys from offset from.
    bool close(std::size_t from, std::uint32_t line)
    {
        const std::size_t n = store.keys.size() - from;
        if (store.tokens.size() >= kXmlMaxTokens || store.keys.size() > kXmlMaxKeyBytes) {
            failure = "too large to compare as XML";
            return false;
        }
        store.tokens.push_back({static_cast<std::uint32_t>(from), static_cast<std::uint32_t>(n) & 0x3fffffffu, 0, 0,
                                line});
        return true;
    }

    // True when the keys from offset from, n bytes, end in the value text.
    bool valueIs(std::size_t from, std::size_t n, const char *text) const
    {
        const std::size_t k = std::strlen(text);
        return n >= k && store.keys.compare(from + n - k, k, text) == 0;
    }

    // Adds an element's tokens: its name, its attributes sorted, its
    // content, its end. The keys are written straight into the store's.
    bool element(xmlNodePtr node, bool preserve)
    {
        if (!enter())
            return false;
        const std::uint32_t line = lineOf(node);
        std::size_t from = store.keys.size();
        store.keys += '<';
        appendName(node->ns, node->name);
        if (!close(from, line))
            return false;
        // The attributes' keys, then their tokens in the order of their keys.
        const std::size_t first = store.tokens.size();
        for (xmlNsPtr ns = node->nsDef; ns; ns = ns->next) {
            from = store.keys.size();
            store.keys += ns->prefix ? "xmlns:" : "xmlns";
            store.keys += ns->prefix ? str(ns->prefix) : "";
            store.keys += "=\"";
            store.keys += ns->href ? str(ns->href) : "";
            store.keys += '"';
            if (!close(from, line))
                return false;
        }
        for (xmlAttrPtr at = node->properties; at; at = at->next) {
            from = store.keys.size();
            appendName(at->ns, at->name);
            store.keys += "=\"";
            if (!appendValue(at->children, store.keys))
                return false;
            store.keys += '"';
            const std::size_t n = store.keys.size() - from;
            if (at->ns && same(at->ns->prefix, "xml") && same(at->name, "space")) {
                if (valueIs(from, n, "=\"preserve\""))
                    preserve = true;
                else if (valueIs(from, n, "=\"default\""))
                    preserve = false;
            }
            if (!close(from, line))
                return false;
        }
        if (store.tokens.size() - first > 1) {
            const char *keys = store.keys.data();
            std::sort(store.tokens.begin() + static_cast<std::ptrdiff_t>(first), store.tokens.end(),
                      [keys](const XmlToken &a, const XmlToken &b) {
                          const int c = std::memcmp(keys + a.offset, keys + b.offset, std::min(a.length, b.length));
                          return c < 0 || (c == 0 && a.length < b.length);
                      });
        }
        // The blanks a browser renders.
        const xmlChar *href = node->ns ? node->ns->href : nullptr;
        if (href && (same(href, kXhtml) || (same(href, kSvg) && (same(node->name, "text") ||
                                                                  same(node->name, "tspan") ||
                                                                  same(node->name, "textPath")))))
            preserve = true;
        // Its blank runs are layout where it holds markup and no other text.
        const std::size_t mark = blanks.size();
        Level level;
        if (!content(node->children, level, preserve) || !flush(level, preserve))
            return false;
        if (level.markup && !level.text)
            for (std::size_t k = mark; k < blanks.size(); ++k)
                store.tokens[blanks[k]].dropped = 1;
        blanks.resize(mark);
        --depth;
        from = store.keys.size();
        store.keys += "</";
        appendName(node->ns, node->name);
        store.keys += '>';
        return close(from, line);
    }

    // The document type declaration's tokens: "<!DOCTYPE name ...>", then
    // each declaration of its internal subset as libxml2 writes it (its
    // comments are layout, or words). Notations, which libxml2 keeps
    // apart, are compared as the subset's text, its blanks squeezed.
    bool doctype(xmlDtdPtr dtd)
    {
        std::string key = "<!DOCTYPE ";
        key += dtd->name ? str(dtd->name) : "";
        if (dtd->ExternalID) {
            key += " PUBLIC \"";
            key += str(dtd->ExternalID);
            key += '"';
        } else if (dtd->SystemID) {
            key += " SYSTEM";
        }
        if (dtd->SystemID) {
            key += " \"";
            key += str(dtd->SystemID);
            key += '"';
        }
        key += '>';
        if (!add(key, 1))
            return false;
        if (dtd->notations) {
            std::size_t from = 0, to = 0;
            if (!internalSubset(store.text.data(), store.text.size(), from, to)) {
                failure = "a document type declaration not in UTF-8 cannot be compared as XML";
                return false;
            }
            key = "[";
            squeeze(store.text.data() + from, to - from, key);
            key += ']';
            if (!add(key, 1))
                return false;
        }
        for (xmlNodePtr n = dtd->children; n; n = n->next) {
            if (!visit())
                return false;
            if (n->type == XML_COMMENT_NODE) {
                if (comments && !commentWords(n))
                    return false;
                continue;
            }
            xmlBufferPtr buffer = lib.bufferCreate();
            if (!buffer || lib.nodeDump(buffer, dtd->doc, n, 0, 0) < 0) {
                if (buffer)
                    lib.bufferFree(buffer);
                failure = "too large to compare as XML";
                return false;
            }
            key.clear();
            squeeze(reinterpret_cast<const char *>(buffer->content), buffer->use, key);
            lib.bufferFree(buffer);
            if (!add(key, 1))
                return false;
        }
        return true;
    }

    // Adds the tokens of the document's nodes: its root element, and the
    // declaration, processing instructions and comments around it.
    bool document(xmlDocPtr doc)
    {
        for (xmlNodePtr n = doc->children; n; n = n->next) {
            switch (n->type) {
            case XML_DTD_NODE:
                if (!doctype(reinterpret_cast<xmlDtdPtr>(n)))
                    return false;
                break;
            case XML_ELEMENT_NODE:
                if (!element(n, false))
                    return false;
                break;
            case XML_COMMENT_NODE:
                if (comments && !commentWords(n))
                    return false;
                break;
            case XML_PI_NODE:
                if (!processingInstruction(n))
                    return false;
                break;
            default:
                break;
            }
        }
        return true;
    }
};

void silent(void *, const char *, ...) {}

void silentStructured(void *, xmlErrorPtr) {}

// The reason for libxml2's last error on ctxt.
std::string refusal(const XmlLibrary &lib, xmlParserCtxtPtr ctxt)
{
    const xmlError *error = ctxt ? lib.ctxtGetLastError(ctxt) : nullptr;
    if (!error || error->code == XML_ERR_OK)
        return "not valid XML";
    if (error->code == XML_ERR_ENTITY_LOOP)
        return "entities that expand too far to compare as XML";
    if (error->code == XML_ERR_NO_MEMORY)
        return "too large to compare as XML";
    if (error->code == XML_ERR_INTERNAL_ERROR && error->message && std::strstr(error->message, "depth"))
        return "nested too deeply to compare as XML";
    return "not valid XML at line " + std::to_string(error->line > 0 ? error->line : 1) + ", column " +
           std::to_string(error->int2 > 0 ? error->int2 : 1);
}

} // namespace

std::string xmlTokens(XmlStore &store, bool withComments)
{
    const XmlLibrary *lib = xmlLibrary();
    if (!lib)
        return "not compared as XML: libxml2.so.2 cannot be loaded";
    xmlParserCtxtPtr ctxt = lib->newParserCtxt();
    if (!ctxt)
        return "too large to compare as XML";
    // libxml2 writes no error of its own: the reason says it.
    lib->setGenericErrorFunc(nullptr, silent);
    if (ctxt->sax)
        ctxt->sax->serror = silentStructured;
    // No entity is replaced by the parser (the walk reads their text), no
    // external subset or entity is loaded, nothing from the network; its
    // limits (depth, entity expansion) stand.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_BIG_LINES |
                        XML_PARSE_COMPACT;
    xmlDocPtr doc = lib->ctxtReadMemory(ctxt, store.text.data(), static_cast<int>(store.text.size()), nullptr,
                                        nullptr, options);
    std::string reason;
    if (!doc || !ctxt->wellFormed) {
        reason = refusal(*lib, ctxt);
    } else {
        store.tokens.reserve(store.text.size() / 16 + 16);
        store.keys.reserve(store.text.size() + 64);
        Walker walker(store, *lib, withComments);
        if (!walker.document(doc))
            reason = walker.failure ? walker.failure : "too large to compare as XML";
        store.tokens.erase(std::remove_if(store.tokens.begin(), store.tokens.end(),
                                          [](const XmlToken &t) { return t.dropped != 0; }),
                           store.tokens.end());
    }
    if (doc)
        lib->freeDoc(doc);
    lib->freeParserCtxt(ctxt);
    return reason;
}

#endif
