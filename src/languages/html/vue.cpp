// A Vue single-file component as tokens. The component's top-level blocks
// are read as Vue's SFC parser reads them: <template> as Vue's template
// syntax, <script> and <style> (and any other block) as raw text up to
// their end tag, the scripts and styles then read by their own languages,
// other blocks as lines as written (or as JSON or YAML by their lang).
// Comments and blanks between the blocks are layout; other text there,
// which Vue leaves out, is kept as written.
//
// The template is read as Vue's compiler reads it: every element ends at
// its end tag or at "/>" (an end tag Vue would supply is refused here), names
// are kept as written, `{{ ... }}` is an interpolation up to the first `}}`,
// and the values of directives (`v-...`, `:`, `@`, `#`, `.`) are expressions,
// read by JavaScript's or TypeScript's lexer. Whitespace is what Vue's
// compiler keeps of it (whitespace 'condense'), given to the template writer
// (src/languages/html/template.h), which decides what of it renders as HTML
// does.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/find_bytes.h"
#include "languages/html/component.h"
#include "languages/html/state.h"
#include "languages/html/template.h"
#include "tokens/kit.h"

namespace {

using namespace markup;

// A directive's name: its value is an expression.
bool isDirective(const std::string &name)
{
    return name.compare(0, 2, "v-") == 0 ||
           (!name.empty() && (name[0] == ':' || name[0] == '@' || name[0] == '#' || name[0] == '.'));
}

AttributeKind vueAttribute(const std::string &name)
{
    return isDirective(name) ? AttributeKind::Expression
           : name == "class" ? AttributeKind::Class
           : name == "style" ? AttributeKind::Style
                             : AttributeKind::Text;
}

const TemplateSyntax kVueJs = {vueAttribute, nullptr, nullptr, Language::JavaScript};
const TemplateSyntax kVueTs = {vueAttribute, nullptr, nullptr, Language::TypeScript};
constexpr const char *kVueTsLangs[] = {"lang=\"ts\"", "lang='ts'", "lang=\"tsx\"", "lang='tsx'", "lang=ts", nullptr};
const ComponentSyntax kVue = {&kVueJs, &kVueTs, kVueTsLangs, true};

inline bool isAlnum(char c)
{
    return isLetter(c) || (c >= '0' && c <= '9');
}

// What a node of an element's children is, as Vue's whitespace rule sees
// its neighbours.
enum class Node : unsigned char { None, Element, Text, Interpolation, Comment };

struct Frame {
    std::string name;
    bool regular = false;  // an element of HTML's (a lower-case name, no ':' or '.')
    bool vpre = false;     // it holds v-pre: nothing in it is Vue's syntax
    Node last = Node::None;  // its child read last
};

// One attribute as read.
struct Attribute {
    std::string name;
    std::string value;  // as written
    std::size_t at = 0;
    bool valued = false;
};

// A start tag as read.
struct StartTag {
    std::size_t start = 0;  // the offset of its '<'
    std::string name;
    std::vector<Attribute> attributes;
    bool selfClosing = false;  // it ends with "/>"
};

struct Reader : ComponentReader {
    std::vector<Frame> open;  // the template's elements open, the root <template> first
    int pre = 0;              // the pre elements open
    int vpre = 0;             // the v-pre elements open
    std::string decoded;      // scratch
    // Scratch for the template's start tags, one read at a time.
    StartTag tag;
    std::vector<TemplateAttribute> plain;
    TemplateAttribute attribute;
};

// --- Character references -----------------------------------------------------

struct Entity {
    const char *name;
    unsigned code;
};

// The named references read; any other is refused (Vue reads all of
// HTML's, and "&amp;x;" must never read as a reference left as written).
constexpr Entity kEntities[] = {
    {"amp", '&'},     {"apos", '\''},   {"bull", 0x2022}, {"cent", 0xA2},     {"copy", 0xA9},   {"darr", 0x2193},
    {"deg", 0xB0},    {"divide", 0xF7}, {"emsp", 0x2003}, {"ensp", 0x2002},   {"euro", 0x20AC}, {"gt", '>'},
    {"hellip", 0x2026}, {"laquo", 0xAB}, {"larr", 0x2190}, {"ldquo", 0x201C}, {"lsquo", 0x2018}, {"lt", '<'},
    {"mdash", 0x2014}, {"middot", 0xB7}, {"nbsp", 0xA0},  {"ndash", 0x2013},  {"para", 0xB6},   {"plusmn", 0xB1},
    {"pound", 0xA3},  {"quot", '"'},    {"raquo", 0xBB},  {"rarr", 0x2192},   {"rdquo", 0x201D}, {"reg", 0xAE},
    {"rsquo", 0x2019}, {"sect", 0xA7},  {"thinsp", 0x2009}, {"times", 0xD7},  {"trade", 0x2122}, {"uarr", 0x2191},
    {"yen", 0xA5},    {"zwj", 0x200D},  {"zwnj", 0x200C},
};

// The names HTML reads without their ';' (its legacy references).
constexpr const char *kLegacy[] = {
    "AElig", "AMP", "Aacute", "Acirc", "Agrave", "Aring", "Atilde", "Auml", "COPY", "Ccedil", "ETH", "Eacute",
    "Ecirc", "Egrave", "Euml", "GT", "Iacute", "Icirc", "Igrave", "Iuml", "LT", "Ntilde", "Oacute", "Ocirc",
    "Ograve", "Oslash", "Otilde", "Ouml", "QUOT", "REG", "THORN", "Uacute", "Ucirc", "Ugrave", "Uuml", "Yacute",
    "aacute", "acirc", "acute", "aelig", "agrave", "amp", "aring", "atilde", "auml", "brvbar", "ccedil", "cedil",
    "cent", "copy", "curren", "deg", "divide", "eacute", "ecirc", "egrave", "eth", "euml", "frac12", "frac14",
    "frac34", "gt", "iacute", "icirc", "iexcl", "igrave", "iquest", "iuml", "laquo", "lt", "macr", "micro",
    "middot", "nbsp", "not", "ntilde", "oacute", "ocirc", "ograve", "ordf", "ordm", "oslash", "otilde", "ouml",
    "para", "plusmn", "pound", "quot", "raquo", "reg", "sect", "shy", "sup1", "sup2", "sup3", "szlig", "thorn",
    "times", "uacute", "ucirc", "ugrave", "uml", "uuml", "yacute", "yen", "yuml"};

// True when the run of letters and digits (n bytes at p) after an '&'
// without its ';' may be read as a reference: in an attribute's value when
// it is a legacy name, elsewhere when it starts with one.
bool maybeLegacy(const char *p, std::size_t n, bool attribute)
{
    for (const char *name : kLegacy) {
        const std::size_t k = std::strlen(name);
        if ((attribute ? k == n : k <= n) && std::memcmp(p, name, k) == 0)
            return true;
    }
    return false;
}

void appendUtf8(std::string &out, unsigned c)
{
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

// Decodes the n bytes at p (an expression) into out as Vue reads their
// character references (attribute: p is an attribute's value); false for
// one it does not read here: a name with its ';' not in the table, one
// without that HTML may read all the same, a number without its ';' or one
// HTML maps to another character or none. An '&' no reference follows is
// itself.
bool decode(const char *p, std::size_t n, std::string &out, bool attribute)
{
    out.clear();
    for (std::size_t i = 0; i < n;) {
        const void *amp = std::memchr(p + i, '&', n - i);
        const std::size_t a = amp ? static_cast<std::size_t>(static_cast<const char *>(amp) - p) : n;
        out.append(p + i, a - i);
        if (a >= n)
            break;
        i = a + 1;
        if (i >= n || !(isAlnum(p[i]) || p[i] == '#')) {
            out.push_back('&');  // an '&' alone
            continue;
        }
        std::size_t e = i;
        unsigned code = 0;
        if (p[i] == '#') {
            const bool hex = i + 1 < n && (p[i + 1] == 'x' || p[i + 1] == 'X');
            e = i + (hex ? 2 : 1);
            const std::size_t digits = e;
            while (e < n && e - digits < 7 &&
                   ((p[e] >= '0' && p[e] <= '9') || (hex && ((p[e] | 0x20) >= 'a' && (p[e] | 0x20) <= 'f')))) {
                const unsigned d = p[e] <= '9' ? unsigned(p[e] - '0') : unsigned((p[e] | 0x20) - 'a' + 10);
                code = code * (hex ? 16 : 10) + d;
                ++e;
            }
            if (e == digits || e >= n || p[e] != ';' || code == 0 || code > 0x10FFFF ||
                (code >= 0x80 && code <= 0x9F) || (code >= 0xD800 && code <= 0xDFFF))
                return false;
        } else {
            while (e < n && isAlnum(p[e]))
                ++e;
            if (e >= n || p[e] != ';') {
                if (maybeLegacy(p + i, e - i, attribute))
                    return false;
                out.push_back('&');  // text
                continue;
            }
            const std::string name(p + i, e - i);
            const Entity *found = std::find_if(std::begin(kEntities), std::end(kEntities),
                                               [&](const Entity &x) { return name == x.name; });
            if (found == std::end(kEntities))
                return false;
            code = found->code;
        }
        appendUtf8(out, code);
        i = e + 1;
    }
    return true;
}

// --- The template ---------------------------------------------------------------

bool isVoid(const std::string &name)
{
    static constexpr std::string_view kVoid[] = {"area", "base", "br",    "col",   "embed",  "hr",    "img",
                                                 "input", "link", "meta", "param", "source", "track", "wbr"};
    return std::find(std::begin(kVoid), std::end(kVoid), name) != std::end(kVoid);
}

// What the node at offset j is: what follows a text.
Node nodeAt(const Reader &r, std::size_t j)
{
    const char *t = r.text, *end = r.text + r.n;
    if (j >= r.n || startsWith(t + j, end, "</"))
        return Node::None;
    if (startsWith(t + j, end, "<!--"))
        return Node::Comment;
    if (t[j] == '<')
        return Node::Element;
    return Node::Interpolation;
}

// Reads a start tag's attributes up to its '>' or "/>" into the first count
// elements of attributes (count counting them); false where it is left open.
bool readAttributeList(Reader &r, std::vector<Attribute> &attributes, std::size_t &count, bool &selfClosing)
{
    const char *t = r.text;
    selfClosing = false;
    for (;;) {
        while (r.i < r.n && isBlank(t[r.i]))
            ++r.i;
        if (r.i >= r.n) {
            refuse(r, "a start tag left open in Vue");
            return false;
        }
        if (t[r.i] == '>') {
            ++r.i;
            return true;
        }
        if (t[r.i] == '/' && r.i + 1 < r.n && t[r.i + 1] == '>') {
            r.i += 2;
            selfClosing = true;
            return true;
        }
        if (count == attributes.size())
            attributes.emplace_back();
        Attribute &a = attributes[count];
        a.at = r.i;
        a.value.clear();
        a.valued = false;
        const std::size_t from = r.i;
        while (r.i < r.n && !isBlank(t[r.i]) && t[r.i] != '=' && t[r.i] != '>' && t[r.i] != '/' && t[r.i] != '"' &&
               t[r.i] != '\'' && t[r.i] != '<')
            ++r.i;
        if (r.i == from) {
            refuse(r, "an attribute Vue cannot read");
            return false;
        }
        a.name.assign(t + from, r.i - from);
        if (readEquals(r)) {
            a.valued = true;
            if (r.i < r.n && (t[r.i] == '"' || t[r.i] == '\'')) {
                const char q = t[r.i++];
                const void *close = std::memchr(t + r.i, q, r.n - r.i);
                if (!close) {
                    refuse(r, "an attribute's value left open in Vue");
                    return false;
                }
                const std::size_t stop = static_cast<std::size_t>(static_cast<const char *>(close) - t);
                a.value.assign(t + r.i, stop - r.i);
                r.i = stop + 1;
            } else {
                const std::size_t v = r.i;
                while (r.i < r.n && !isBlank(t[r.i]) && t[r.i] != '>')
                    ++r.i;
                if (r.i == v) {
                    refuse(r, "an attribute's value missing in Vue");
                    return false;
                }
                a.value.assign(t + v, r.i - v);
            }
        }
        ++count;
    }
}

// The same into attributes, whose elements kept from the last tag are
// reused with the room of their strings.
bool readAttributes(Reader &r, std::vector<Attribute> &attributes, bool &selfClosing)
{
    std::size_t count = 0;
    const bool read = readAttributeList(r, attributes, count, selfClosing);
    attributes.resize(count);
    return read;
}

// Reads the start tag at r.i into tag; false where it is left open.
bool readTag(Reader &r, StartTag &tag)
{
    const char *t = r.text;
    tag.start = r.i;
    std::size_t k = r.i + 1;
    while (k < r.n && !isBlank(t[k]) && t[k] != '>' && t[k] != '/')
        ++k;
    tag.name.assign(t + r.i + 1, k - r.i - 1);
    r.i = k;
    return readAttributes(r, tag.attributes, tag.selfClosing);
}

// Sets out to name and value at offset at, with the room it has.
void setAttribute(TemplateAttribute &out, const std::string &name, const std::string &value, std::uint32_t at)
{
    out.name.assign(name);
    out.value.assign(value);
    out.at = at;
}

// The tokens of one attribute of a template element; plain: in v-pre, where
// a directive's name is an attribute's like any other.
void writeAttribute(Reader &r, const Attribute &a, bool regular, bool plain)
{
    TemplateWriter &w = r.w;
    const std::uint32_t at = at32(a.at);
    if (!a.valued && (plain || !isDirective(a.name))) {
        // A name alone is an empty value.
        templateToken(w, a.name + "=", at, at32(a.name.size()));
        templateToken(w, "\"\"", at, 0);
        return;
    }
    if (!a.valued) {
        templateToken(w, a.name, at, at32(a.name.size()));
        return;
    }
    if (!plain && isDirective(a.name)) {
        // An expression, its character references read.
        if (!decode(a.value.data(), a.value.size(), r.decoded, true)) {
            refuse(r, "a character reference not compared in Vue");
            return;
        }
        setAttribute(r.attribute, a.name, r.decoded, at);
        templateAttribute(w, r.attribute);
        return;
    }
    // Text, as written (its references too: the same spelling reads the same).
    if (regular && (a.name == "class" || a.name == "style")) {
        setAttribute(r.attribute, a.name, a.value, at);
        templateAttribute(w, r.attribute);
        return;
    }
    templateToken(w, a.name + "=", at, at32(a.name.size()));
    templateToken(w, "\"" + a.value + "\"", at, 0);
}

// True when a directive among attributes may set the element's display or
// whitespace, which the file then does not show: v-show, and a binding of
// style, hidden, an object of attributes or a computed name. v-bind="$attrs"
// passes on what Vue passes to a component's root element unasked, whose
// style no file shows: it is read as that.
bool styleComputed(const std::vector<Attribute> &attributes)
{
    for (const Attribute &a : attributes) {
        const std::string &name = a.name;
        const std::size_t from = a.value.find_first_not_of(" \t\n\f\r");
        const bool forwards = from != std::string::npos && a.value.compare(from, 6, "$attrs") == 0 &&
                              a.value.find_first_not_of(" \t\n\f\r", from + 6) == std::string::npos;
        if (name == "v-show" || (name == "v-bind" && !forwards))
            return true;
        std::string arg;
        if (!name.empty() && (name[0] == ':' || name[0] == '.'))
            arg = name.substr(1);
        else if (name.compare(0, 7, "v-bind:") == 0)
            arg = name.substr(7);
        else
            continue;
        arg = arg.substr(0, arg.find('.'));
        if (arg.empty() || arg == "style" || arg == "hidden" || arg[0] == '[')
            return true;
    }
    return false;
}

void closeElement(Reader &r, std::uint32_t at)
{
    const Frame &f = r.open.back();
    r.pre -= f.name == "pre";
    r.vpre -= f.vpre;
    templateClose(r.w, at);
    r.open.pop_back();
    r.open.back().last = Node::Element;
}

// A start tag at r.i in the template.
void readStartTag(Reader &r)
{
    const char *t = r.text;
    StartTag &tag = r.tag;
    if (!readTag(r, tag))
        return;
    if (tag.name == "script" || tag.name == "style") {
        refuse(r, "a script or style element inside a Vue template");
        return;
    }
    if (r.open.size() >= kHtmlMaxDepth) {
        refuse(r, "nested too deep to compare as Vue");
        return;
    }
    const bool regular = regularName(tag.name);
    // v-pre makes every attribute of its element, those before it too, text.
    const bool vpre = r.vpre > 0 || std::any_of(tag.attributes.begin(), tag.attributes.end(),
                                                [](const Attribute &a) { return a.name == "v-pre"; });
    // What tells how it renders: its attributes written as text, or a
    // display and whitespace not shown where a directive may set its style.
    std::vector<TemplateAttribute> &plain = r.plain;
    plain.clear();
    for (const Attribute &a : tag.attributes)
        if (!isDirective(a.name) || vpre)
            plain.push_back(TemplateAttribute{a.name, a.value, at32(a.at)});
    if (regular && !vpre && styleComputed(tag.attributes))
        plain.push_back(TemplateAttribute{"style", "display white-space", at32(tag.start)});
    r.open.back().last = Node::Element;
    templateBegin(r.w, tag.name, plain, at32(tag.start));
    for (const Attribute &a : tag.attributes)
        writeAttribute(r, a, regular, vpre);
    templateBegun(r.w, at32(tag.start));
    Frame f;
    f.name = tag.name;
    f.regular = regular;
    f.vpre = vpre && r.vpre == 0;
    r.vpre += f.vpre;
    r.pre += tag.name == "pre";
    r.open.push_back(std::move(f));
    if (tag.selfClosing || (regular && isVoid(tag.name))) {
        closeElement(r, at32(r.i));
        return;
    }
    // Vue drops a line break that starts a pre's or a textarea's text.
    if (tag.name == "pre" || tag.name == "textarea") {
        if (startsWith(t + r.i, t + r.n, "\r\n"))
            r.i += 2;
        else if (r.i < r.n && t[r.i] == '\n')
            ++r.i;
    }
}

// An end tag at r.i; true when it ends the component's <template>.
bool readEndTag(Reader &r)
{
    const std::size_t start = r.i;
    std::string name;
    if (!readEndTagName(r, name, "an end tag left open in Vue"))
        return false;
    if (r.open.back().name != name) {
        refuse(r, "an end tag that closes no element in Vue");
        return false;
    }
    if (r.open.size() == 1)
        return true;
    closeElement(r, at32(start));
    return false;
}

// Text at r.i up to the next tag or interpolation, with what Vue's compiler
// keeps of its whitespace.
void readText(Reader &r)
{
    const char *t = r.text, *end = r.text + r.n;
    const std::size_t from = r.i;
    while (r.i < r.n && t[r.i] != '<' && !(r.vpre == 0 && startsWith(t + r.i, end, "{{")))
        ++r.i;
    Frame &parent = r.open.back();
    const Node prev = parent.last;
    parent.last = Node::Text;
    const char *p = t + from;
    const std::size_t n = r.i - from;
    if (r.pre == 0 && std::all_of(p, p + n, isBlank)) {
        const Node next = nodeAt(r, r.i);
        const bool lineBreak = std::memchr(p, '\n', n) || std::memchr(p, '\r', n);
        if (prev == Node::Comment || next == Node::Comment) {
            // Vue's compiler keeps comments or not (a production build drops
            // them and joins the text around them), and its rule for this
            // whitespace differs between the two: it compares as whether it
            // breaks a line.
            templateFlush(r.w, false);
            templateToken(r.w, lineBreak ? "\n" : " ", at32(from), 0);
            r.w.leftBlock = false;
            return;
        }
        if (prev == Node::None || next == Node::None || (prev == Node::Element && next == Node::Element && lineBreak)) {
            parent.last = prev;  // dropped
            return;
        }
        templateText(r.w, " ", 1, p, n, at32(from));
        return;
    }
    // Text compares as written, its character references too (the same
    // spelling reads the same; where they differ it compares different).
    if (r.pre > 0 && std::memchr(p, '\r', n)) {
        // Vue reads a CR LF in pre as a line feed.
        std::string &d = r.decoded;
        d.assign(p, n);
        std::size_t o = 0;
        for (std::size_t k = 0; k < d.size(); ++k)
            if (!(d[k] == '\r' && k + 1 < d.size() && d[k + 1] == '\n'))
                d[o++] = d[k];
        d.resize(o);
        templateText(r.w, d.data(), d.size(), p, n, at32(from));
        return;
    }
    templateText(r.w, p, n, p, n, at32(from));
}

void readInterpolation(Reader &r)
{
    const char *t = r.text;
    const std::size_t start = r.i;
    const void *close = findBytes(t + start + 2, r.n - start - 2, "}}", 2);
    if (!close) {
        refuse(r, "an interpolation left open in Vue");
        return;
    }
    const std::size_t stop = static_cast<std::size_t>(static_cast<const char *>(close) - t);
    if (!decode(t + start + 2, stop - start - 2, r.decoded, false)) {
        refuse(r, "a character reference not compared in Vue");
        return;
    }
    r.open.back().last = Node::Interpolation;
    templateFlush(r.w, false);
    templateToken(r.w, "{{", at32(start), 2);
    templateCode(r.w, r.expressions, r.decoded, at32(start + 2));
    templateToken(r.w, "}}", at32(stop), 2);
    r.w.leftBlock = false;
    r.i = stop + 2;
}

void readComment(Reader &r)
{
    const char *t = r.text;
    const void *close = findBytes(t + r.i + 4, r.n - r.i - 4, "-->", 3);
    if (!close) {
        refuse(r, "a comment left open in Vue");
        return;
    }
    const std::size_t stop = static_cast<std::size_t>(static_cast<const char *>(close) - t);
    r.open.back().last = Node::Comment;
    // Where a comment stands decides what Vue keeps of the whitespace
    // around it: it is a token.
    if (r.w.options.comments) {
        templateComment(r.w, t + r.i + 4, stop - r.i - 4, at32(r.i));
    } else {
        templateFlush(r.w, false);
        templateToken(r.w, "<!---->", at32(r.i), at32(stop + 3 - r.i));
        r.w.leftBlock = false;
    }
    r.i = stop + 3;
}

// The component's <template> body, from r.i to its end tag.
void readTemplate(Reader &r)
{
    const char *t = r.text, *end = r.text + r.n;
    while (!r.why) {
        if (r.i >= r.n) {
            refuse(r, "an element left open in Vue");
            return;
        }
        const char c = t[r.i];
        if (c == '{' && r.vpre == 0 && startsWith(t + r.i, end, "{{")) {
            readInterpolation(r);
        } else if (startsWith(t + r.i, end, "<!--")) {
            readComment(r);
        } else if (c == '<' && r.i + 1 < r.n && t[r.i + 1] == '/') {
            const std::size_t start = r.i;
            if (readEndTag(r)) {
                templateClose(r.w, at32(start));
                return;
            }
        } else if (c == '<' && r.i + 1 < r.n && isLetter(t[r.i + 1])) {
            readStartTag(r);
        } else if (c == '<') {
            refuse(r, "a '<' that starts no tag in Vue");
        } else {
            readText(r);
        }
    }
}

// --- The blocks -------------------------------------------------------------------

// The value of attribute name among attributes ("" when it has none).
std::string valueOf(const std::vector<Attribute> &attributes, const char *name)
{
    for (const Attribute &a : attributes)
        if (a.name == name)
            return a.value;
    return std::string();
}

// A top-level block's attributes as the writer takes them, as written.
void blockAttributes(const std::vector<Attribute> &attributes, std::vector<TemplateAttribute> &out)
{
    for (const Attribute &a : attributes)
        out.push_back(TemplateAttribute{a.name, a.value, at32(a.at)});
    std::sort(out.begin(), out.end(),
              [](const TemplateAttribute &a, const TemplateAttribute &b) { return a.name < b.name; });
}

// A block's raw body from r.i up to its end tag "</name"; its offset and
// length, and r.i past the end tag.
bool rawBody(Reader &r, const std::string &name, std::size_t &from, std::size_t &length)
{
    const std::string endTag = "</" + name;
    from = r.i;
    for (std::size_t j = r.i;;) {
        const void *found = findBytes(r.text + j, r.n - j, endTag.data(), endTag.size());
        if (!found) {
            refuse(r, "a block left open in Vue");
            return false;
        }
        const std::size_t stop = static_cast<std::size_t>(static_cast<const char *>(found) - r.text);
        const std::size_t after = stop + endTag.size();
        if (after < r.n && (r.text[after] == '>' || isBlank(r.text[after]))) {
            const void *gt = std::memchr(r.text + after, '>', r.n - after);
            if (!gt) {
                refuse(r, "an end tag left open in Vue");
                return false;
            }
            length = stop - from;
            r.i = static_cast<std::size_t>(static_cast<const char *>(gt) - r.text) + 1;
            return true;
        }
        j = stop + 1;
    }
}

void readBlock(Reader &r)
{
    const char *t = r.text;
    StartTag tag;
    if (!readTag(r, tag))
        return;
    std::vector<TemplateAttribute> plain;
    blockAttributes(tag.attributes, plain);
    const std::string lang = valueOf(tag.attributes, "lang");
    if (tag.name == "template" && (lang.empty() || lang == "html") && !tag.selfClosing) {
        templateBegin(r.w, tag.name, plain, at32(tag.start));
        for (const TemplateAttribute &a : plain)
            templateAttribute(r.w, a);
        templateBegun(r.w, at32(tag.start));
        r.open.assign(1, Frame{tag.name, false, false, Node::None});
        r.pre = r.vpre = 0;
        readTemplate(r);
        r.open.clear();
        return;
    }
    std::size_t from = r.i, length = 0;
    if (!tag.selfClosing && !rawBody(r, tag.name, from, length))
        return;
    if (tag.name == "script" || tag.name == "style") {
        templateOpen(r.w, tag.name, plain, at32(tag.start));
        if (length > 0)
            templateText(r.w, t + from, length, t + from, length, at32(from));
        templateClose(r.w, at32(from + length));
        return;
    }
    // Another block (or a template in another language): its lines as written.
    templateToken(r.w, "<" + tag.name, at32(tag.start), at32(tag.name.size() + 1));
    for (const TemplateAttribute &a : plain) {
        templateToken(r.w, a.name + "=", a.at, at32(a.name.size()));
        templateToken(r.w, "\"" + a.value + "\"", a.at, 0);
    }
    templateToken(r.w, tag.selfClosing ? "/>" : ">", at32(tag.start), 0);
    // A block of data in JSON or YAML (an i18n block) is read as such.
    const Language body = lang == "json" ? Language::Json : lang == "yaml" || lang == "yml" ? Language::Yaml
                                                                                            : Language::Unknown;
    if (length > 0)
        templateCode(r.w, tag.name == "template" ? Language::Unknown : body, std::string_view(t + from, length), at32(from));
    if (!tag.selfClosing)
        templateToken(r.w, "</" + tag.name + ">", at32(from + length), 0);
}

void readComponent(Reader &r)
{
    const char *t = r.text, *end = r.text + r.n;
    while (r.i < r.n && !r.why) {
        if (isBlank(t[r.i])) {
            ++r.i;
        } else if (startsWith(t + r.i, end, "<!--")) {
            const void *close = findBytes(t + r.i + 4, r.n - r.i - 4, "-->", 3);
            if (!close) {
                refuse(r, "a comment left open in Vue");
                return;
            }
            r.i = static_cast<std::size_t>(static_cast<const char *>(close) - t) + 3;
        } else if (t[r.i] == '<' && r.i + 1 < r.n && isLetter(t[r.i + 1])) {
            readBlock(r);
        } else if (t[r.i] == '<') {
            refuse(r, "a '<' that starts no block in Vue");
        } else {
            // Text between the blocks: not part of the component, but kept.
            const std::size_t from = r.i;
            while (r.i < r.n && t[r.i] != '<')
                ++r.i;
            std::size_t to = r.i;
            while (to > from && isBlank(t[to - 1]))
                --to;
            templateCode(r.w, Language::Unknown, std::string_view(t + from, to - from), at32(from));
        }
    }
}

} // namespace

const char *vueTokens(HtmlStore &store, const LexOptions &options)
{
    Reader r;
    componentStart(r, store, options, kVue);
    if (r.n > 0)
        readComponent(r);
    return componentFinish(r);
}

namespace {

void vueStart(Lexer &lx)
{
    markupStart(lx, vueTokens, "too large to compare as Vue");
}

} // namespace

extern const LexerHooks kVueLexer = {vueStart, htmlNext, htmlRun, nullptr, false, nullptr};
