// An XML document as tokens: libxml2's SAX2 events, read as a canonical
// tree (no tree is built: libxml2 reads four times as fast so).
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

// The walk of one document's events into the store's tokens.
struct Walker {
    // An element open: what its content holds so far.
    struct Frame {
        std::size_t blanks;      // the size of blanks when it opened
        bool preserve;           // its blanks are kept
        bool text = false;       // a run of text that is not all blanks
        bool markup = false;     // an element, comment or processing instruction
    };

    XmlStore &store;
    const XmlLibrary &lib;
    xmlParserCtxtPtr ctxt;          // the document's parser (an entity's text has one of its own)
    xmlSAXHandler defaults;         // libxml2's own handlers, which build the DTD
    bool comments;                  // the words of comments are tokens
    const char *failure = nullptr;  // the reason a bound was met
    bool undeclared = false;        // an entity not declared was referenced (an error unless a DTD outside may declare it)
    std::string run;                // the run of text not yet a token
    std::uint32_t runLine = 0;      // the line of its first text
    std::uint32_t line = 1;         // the line of the last event read
    std::vector<std::uint32_t> blanks;  // the tokens of blank runs whose elements are open, in order
    std::vector<Frame> open;        // the elements open

    Walker(XmlStore &s, const XmlLibrary &l, xmlParserCtxtPtr c, bool withComments)
        : store(s), lib(l), ctxt(c), defaults(*c->sax), comments(withComments)
    {
    }

    // The walker of the parser (a handler's argument, the document's or an
    // entity's), set while the document is read.
    static thread_local Walker *current;

    // Stops the parser for a bound met.
    void fail(const char *reason)
    {
        if (!failure)
            failure = reason;
        ctxt->disableSAX = 1;
        ctxt->wellFormed = 0;
    }

    // The line of the event a handler is called for: the document's, or
    // inside an entity's text the line of the last event of the document.
    std::uint32_t lineOf(void *parser)
    {
        if (parser == ctxt && ctxt->input && ctxt->input->line > 0)
            line = static_cast<std::uint32_t>(ctxt->input->line);
        return line;
    }

    // Adds the token whose key was appended to the keys from offset from.
    bool close(std::size_t from, std::uint32_t at, bool comment = false)
    {
        const std::size_t n = store.keys.size() - from;
        if (store.tokens.size() >= kXmlMaxTokens || store.keys.size() > kXmlMaxKeyBytes) {
            fail("too large to compare as XML");
            return false;
        }
        store.tokens.push_back(
            {static_cast<std::uint32_t>(from), static_cast<std::uint32_t>(n) & 0x3fffffffu, comment, 0, at});
        return true;
    }

    bool add(const char *key, std::size_t n, std::uint32_t at, bool comment = false)
    {
        const std::size_t from = store.keys.size();
        store.keys.append(key, n);
        return close(from, at, comment);
    }

    bool add(const std::string &key, std::uint32_t at) { return add(key.data(), key.size(), at); }

    // Adds the run of text as a token. One of nothing but blanks, outside
    // xml:space="preserve", is noted in blanks: its element's end decides
    // whether it stays.
    void flush()
    {
        if (run.empty() || open.empty())
            return;
        Frame &f = open.back();
        const bool blank = allBlank(run);
        f.text = f.text || !blank;
        if (blank && !f.preserve)
            blanks.push_back(static_cast<std::uint32_t>(store.tokens.size()));
        const std::size_t from = store.keys.size();
        store.keys += '"';
        store.keys += run;
        store.keys += '"';
        run.clear();
        close(from, runLine);
    }

    // An element, comment or processing instruction in the open element:
    // the run of text before it ends.
    void markup()
    {
        if (open.empty())
            return;
        open.back().markup = true;
        flush();
    }

    // Adds the words of a comment.
    void commentWords(const char *p, std::uint32_t at)
    {
        while (*p) {
            while (isBlank(*p))
                ++p;
            const char *start = p;
            while (*p && !isBlank(*p))
                ++p;
            if (p > start && !add(start, static_cast<std::size_t>(p - start), at, true))
                return;
        }
    }

    void appendName(const xmlChar *prefix, const xmlChar *name)
    {
        if (prefix) {
            store.keys += str(prefix);
            store.keys += ':';
        }
        store.keys += str(name);
    }

    // True when the keys from offset from, n bytes, end in text.
    bool endsIn(std::size_t from, std::size_t n, const char *text) const
    {
        const std::size_t k = std::strlen(text);
        return n >= k && store.keys.compare(from + n - k, k, text) == 0;
    }

    // An element's start: its name, then its attributes and namespace
    // declarations in the order of their keys (those the DTD defaults left
    // out, as libxml2's tree leaves them).
    void start(void *parser, const xmlChar *localname, const xmlChar *prefix, const xmlChar *uri, int namespaces,
               const xmlChar **ns, int attributes, int defaulted, const xmlChar **at)
    {
        markup();
        if (open.size() >= static_cast<std::size_t>(kXmlMaxDepth)) {
            fail("nested too deeply to compare as XML");
            return;
        }
        const std::uint32_t where = lineOf(parser);
        bool preserve = !open.empty() && open.back().preserve;
        std::size_t from = store.keys.size();
        store.keys += '<';
        appendName(prefix, localname);
        if (!close(from, where))
            return;
        const std::size_t first = store.tokens.size();
        for (int k = 0; k < namespaces; ++k) {
            from = store.keys.size();
            store.keys += ns[2 * k] ? "xmlns:" : "xmlns";
            store.keys += ns[2 * k] ? str(ns[2 * k]) : "";
            store.keys += "=\"";
            store.keys += ns[2 * k + 1] ? str(ns[2 * k + 1]) : "";
            store.keys += '"';
            if (!close(from, where))
                return;
        }
        for (int k = 0; k < attributes - defaulted; ++k) {
            const xmlChar **a = at + 5 * k;  // name, prefix, URI, value, its end
            from = store.keys.size();
            appendName(a[1], a[0]);
            store.keys += "=\"";
            store.keys.append(str(a[3]), static_cast<std::size_t>(a[4] - a[3]));
            store.keys += '"';
            const std::size_t n = store.keys.size() - from;
            if (same(a[1], "xml") && same(a[0], "space")) {
                if (endsIn(from, n, "=\"preserve\""))
                    preserve = true;
                else if (endsIn(from, n, "=\"default\""))
                    preserve = false;
            }
            if (!close(from, where))
                return;
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
        if (uri && (same(uri, kXhtml) || (same(uri, kSvg) && (same(localname, "text") || same(localname, "tspan") ||
                                                              same(localname, "textPath")))))
            preserve = true;
        open.push_back(Frame{blanks.size(), preserve});
    }

    // An element's end: its blank runs are layout where it holds markup and
    // no other text.
    void end(void *parser, const xmlChar *localname, const xmlChar *prefix)
    {
        if (open.empty())
            return;
        flush();
        const Frame f = open.back();
        if (f.markup && !f.text)
            for (std::size_t k = f.blanks; k < blanks.size(); ++k)
                store.tokens[blanks[k]].dropped = 1;
        blanks.resize(f.blanks);
        open.pop_back();
        const std::size_t from = store.keys.size();
        store.keys += "</";
        appendName(prefix, localname);
        store.keys += '>';
        close(from, lineOf(parser));
    }

    void text(void *parser, const xmlChar *ch, int length)
    {
        if (run.empty())
            runLine = lineOf(parser);
        run.append(str(ch), static_cast<std::size_t>(length));
        if (run.size() > kXmlMaxKeyBytes)
            fail("too large to compare as XML");
    }

    void comment(void *parser, const xmlChar *value)
    {
        if (ctxt->inSubset) {
            defaults.comment(parser, value);  // kept in the DTD, read with it
            return;
        }
        if (!open.empty())
            open.back().markup = true;
        if (comments) {
            flush();
            commentWords(value ? str(value) : "", lineOf(parser));
        }
    }

    void processingInstruction(void *parser, const xmlChar *target, const xmlChar *data)
    {
        if (ctxt->inSubset) {
            defaults.processingInstruction(parser, target, data);
            return;
        }
        markup();
        std::string key = "<?";
        key += str(target);
        if (data && *data) {
            key += ' ';
            key += str(data);
        }
        key += "?>";
        add(key, lineOf(parser));
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
            if (n->type == XML_COMMENT_NODE) {
                if (comments)
                    commentWords(n->content ? str(n->content) : "", 1);
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

    // The handlers: each passes its event to the thread's walker.
    static void onStart(void *p, const xmlChar *localname, const xmlChar *prefix, const xmlChar *uri, int namespaces,
                        const xmlChar **ns, int attributes, int defaulted, const xmlChar **at)
    {
        current->start(p, localname, prefix, uri, namespaces, ns, attributes, defaulted, at);
    }
    static void onEnd(void *p, const xmlChar *localname, const xmlChar *prefix, const xmlChar *)
    {
        current->end(p, localname, prefix);
    }
    static void onText(void *p, const xmlChar *ch, int length) { current->text(p, ch, length); }
    static void onComment(void *p, const xmlChar *value) { current->comment(p, value); }
    static void onInstruction(void *p, const xmlChar *target, const xmlChar *data)
    {
        current->processingInstruction(p, target, data);
    }
    // The end of the document type declaration: its tokens, now that the
    // internal subset is read.
    static void onSubsetEnd(void *p, const xmlChar *name, const xmlChar *externalId, const xmlChar *systemId)
    {
        Walker &w = *current;
        if (w.defaults.externalSubset)
            w.defaults.externalSubset(p, name, externalId, systemId);
        xmlDocPtr doc = w.ctxt->myDoc;
        if (doc && doc->intSubset && !w.doctype(doc->intSubset))
            w.fail(w.failure ? w.failure : "too large to compare as XML");
    }
    // A reference to an external entity, which is never read, or to one
    // the file does not declare (where a DTD outside it may), refuses the
    // document: its text is not known (libxml2 would leave it out).
    static xmlEntityPtr onEntity(void *p, const xmlChar *name)
    {
        Walker &w = *current;
        xmlEntityPtr e = w.defaults.getEntity ? w.defaults.getEntity(p, name) : nullptr;
        if (!w.ctxt->inSubset && !e)
            w.undeclared = true;
        else if (!w.ctxt->inSubset && e->etype == XML_EXTERNAL_GENERAL_PARSED_ENTITY)
            w.fail("an external entity, which is not read, cannot be compared as XML");
        return e;
    }

    // Sets the parser's handlers to the walker's.
    void handle()
    {
        xmlSAXHandler &h = *ctxt->sax;
        h.startElementNs = onStart;
        h.endElementNs = onEnd;
        h.startElement = nullptr;
        h.endElement = nullptr;
        h.characters = onText;
        h.ignorableWhitespace = onText;
        h.cdataBlock = onText;
        h.comment = onComment;
        h.processingInstruction = onInstruction;
        h.externalSubset = onSubsetEnd;
        h.getEntity = onEntity;
        h.reference = nullptr;
    }
};

thread_local Walker *Walker::current = nullptr;

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
    if (store.text.size() == 0)
        return "not valid XML at line 1, column 1";
    // A first "#!" line, which a kernel reads, is one token; the parser reads
    // blanks in its place (so the document may go on after it, with no XML
    // declaration then).
    HashBangKey bang;
    if (findHashBang(store.text.data(), store.text.size(), bang)) {
        store.bang.assign(store.text.data(), bang.head);
        store.bang.append(store.text.data() + bang.rest, bang.end - bang.rest);
        for (std::size_t k = 0; k < bang.lineEnd && k < store.text.size(); ++k)
            if (store.text[k] != '\n' && store.text[k] != '\r')
                store.text[k] = ' ';
    }
    xmlParserCtxtPtr ctxt = lib->createMemoryParserCtxt(store.text.data(), static_cast<int>(store.text.size()));
    if (!ctxt || !ctxt->sax) {
        if (ctxt)
            lib->freeParserCtxt(ctxt);
        return "too large to compare as XML";
    }
    // libxml2 writes no error of its own: the reason says it.
    lib->setGenericErrorFunc(nullptr, silent);
    ctxt->sax->serror = silentStructured;
    ctxt->sax->warning = nullptr;
    ctxt->sax->error = nullptr;
    // Entities replaced by the parser, which bounds their expansion; no
    // external subset or entity loaded, nothing from the network; its
    // limits (depth, a name's length) stand.
    lib->ctxtUseOptions(ctxt, XML_PARSE_NOENT | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                                  XML_PARSE_BIG_LINES);
    store.tokens.reserve(store.text.size() / 16 + 16);
    store.keys.reserve(store.text.size() + 64);
    Walker walker(store, *lib, ctxt, withComments);
    if (!store.bang.empty())
        walker.add(store.bang, 1);
    walker.handle();
    Walker *outer = Walker::current;
    Walker::current = &walker;
    lib->parseDocument(ctxt);
    Walker::current = outer;
    std::string reason;
    if (walker.failure)
        reason = walker.failure;
    else if (!ctxt->wellFormed)
        reason = refusal(*lib, ctxt);
    else if (walker.undeclared)
        reason = "an entity not declared in the file cannot be compared as XML";
    store.tokens.erase(std::remove_if(store.tokens.begin(), store.tokens.end(),
                                      [](const XmlToken &t) { return t.dropped != 0; }),
                       store.tokens.end());
    if (ctxt->myDoc)
        lib->freeDoc(ctxt->myDoc);
    ctxt->myDoc = nullptr;
    lib->freeParserCtxt(ctxt);
    return reason;
}

#endif
