// A Svelte component as tokens. Svelte's template is read here as Svelte's
// own parser reads it, not as an HTML5 parser would: every element is closed
// by its end tag or by "/>" (`<div />` is an empty div), but for the end
// tags Svelte itself lets a start tag or a parent's end tag supply; names
// are kept as written; `{...}` in text and in attribute values, the blocks
// ({#if}, {:else}, {/if}, ...) and the tags ({@html}, {@const}, ...) are
// tokens, their expressions read by JavaScript's or TypeScript's lexer. The
// template writer (src/languages/html/template.h) decides what of the text
// renders, as it does for HTML.
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

const TemplateSyntax kSvelteJs = {nullptr, nullptr, nullptr, Language::JavaScript};
const TemplateSyntax kSvelteTs = {nullptr, nullptr, nullptr, Language::TypeScript};
constexpr const char *kSvelteTsLangs[] = {"lang=\"ts\"", "lang='ts'", "lang=\"typescript\"", "lang=ts", nullptr};
const ComponentSyntax kSvelte = {&kSvelteJs, &kSvelteTs, kSvelteTsLangs, false};

inline bool isIdentifier(std::string_view s)
{
    if (s.empty() || (s[0] >= '0' && s[0] <= '9'))
        return false;
    for (char c : s)
        if (!isLetter(c) && !(c >= '0' && c <= '9') && c != '_' && c != '$')
            return false;
    return true;
}

// One open element or block.
struct Frame {
    std::string name;  // an element's name, or a block's word ("if", "each", ...)
    bool block = false;
    bool regular = false;  // an element of HTML's (not a component, not svelte:*)
};

// One part of an attribute's value: text as written, or an expression (a
// view of the component's text).
struct Part {
    bool expression = false;
    std::string_view text;
    std::size_t at = 0;
};

// One attribute as read: its name ("" for `{...}` alone), whether it has a
// value, and the value's parts.
struct Attribute {
    std::string name;
    std::size_t at = 0;
    bool valued = false;
    bool quoted = false;
    std::vector<Part> parts;
};

struct Reader : ComponentReader {
    std::vector<Frame> open;
    std::string options;     // the tokens of the component's <svelte:options>, written last
    bool keepEdges = false;  // <svelte:options preserveWhitespace>: fragments keep their whitespace
    std::vector<Attribute> attributes;    // scratch: the attributes of the start tag being read
    std::vector<TemplateAttribute> plain;  // scratch: those that tell how it renders
};

// The offset of the '}' that closes the expression whose '{' stands just
// before from, or n when there is none: braces, strings, template literals
// and comments followed.
std::size_t expressionEnd(const char *t, std::size_t n, std::size_t from)
{
    std::vector<char> modes(1, '{');  // '{' a brace open, '`' a template literal open
    std::size_t i = from;
    char before = '(';  // the last character not blank outside a literal: a '/' after an operator starts a regex
    while (i < n) {
        const char c = t[i];
        if (modes.back() != '`' && !isBlank(c) && c != '/')
            before = c;
        if (modes.back() == '`') {
            if (c == '\\')
                i += 2;
            else if (c == '`')
                modes.pop_back(), ++i;
            else if (c == '$' && i + 1 < n && t[i + 1] == '{')
                modes.push_back('{'), i += 2;
            else
                ++i;
            continue;
        }
        if (c == '{') {
            modes.push_back('{');
        } else if (c == '}') {
            modes.pop_back();
            if (modes.empty())
                return i;
        } else if (c == '`') {
            modes.push_back('`');
        } else if (c == '"' || c == '\'') {
            ++i;
            while (i < n && t[i] != c && t[i] != '\n')
                i += t[i] == '\\' ? 2 : 1;
        } else if (c == '/' && i + 1 < n && t[i + 1] == '/') {
            while (i < n && t[i] != '\n')
                ++i;
        } else if (c == '/' && i + 1 < n && t[i + 1] == '*') {
            const void *end = findBytes(t + i + 2, n - i - 2, "*/", 2);
            if (!end)
                return n;
            i = static_cast<std::size_t>(static_cast<const char *>(end) - t) + 1;
        } else if (c == '/' && i > from && std::strchr("(,=:[!&|?{};+-*%<>~^", before)) {
            // A regular expression: up to its '/' outside a class.
            bool inClass = false;
            for (++i; i < n && t[i] != '\n' && (inClass || t[i] != '/'); ++i) {
                if (t[i] == '\\')
                    ++i;
                else if (t[i] == '[')
                    inClass = true;
                else if (t[i] == ']')
                    inClass = false;
            }
            before = 'x';
        } else if (c == '/') {
            before = '/';
        }
        ++i;
    }
    return n;
}

bool isVoid(const std::string &name)
{
    static constexpr std::string_view kVoid[] = {"area", "base", "br", "col", "command", "embed", "hr", "img", "input",
                                        "keygen", "link", "meta", "param", "source", "track", "wbr"};
    return std::find(std::begin(kVoid), std::end(kVoid), name) !=
           std::end(kVoid);
}

// Svelte's end tags a start tag supplies: the open element current closes
// where an element next starts in it.
bool closedBy(const std::string &current, const std::string &next)
{
    struct Rule {
        std::string_view current;
        const char *next;
    };
    static constexpr Rule kRules[] = {
        {"li", " li "}, {"dt", " dt dd "}, {"dd", " dt dd "},
        {"p", " address article aside blockquote div dl fieldset footer form h1 h2 h3 h4 h5 h6 header hgroup hr "
              "main menu nav ol p pre section table ul "},
        {"rt", " rt rp "}, {"rp", " rt rp "}, {"optgroup", " optgroup "}, {"option", " option optgroup "},
        {"thead", " tbody tfoot "}, {"tbody", " tbody tfoot "}, {"tfoot", " tbody "}, {"tr", " tr tbody "},
        {"td", " td th tr "}, {"th", " td th tr "}};
    for (const Rule &r : kRules) {
        if (current != r.current || next.empty())
            continue;
        // The list starts and ends with a blank.
        const std::string_view list(r.next);
        for (std::size_t at = list.find(next); at != std::string_view::npos; at = list.find(next, at + 1))
            if (list[at - 1] == ' ' && list[at + next.size()] == ' ')
                return true;
        return false;
    }
    return false;
}

// True when what follows offset j, past blanks, comments and the tags that
// render nothing, starts or ends a line: the end of the element open (a
// block container) or the start of an element that stands on lines of its
// own with no attribute that could change how it shows.
bool edgeAhead(const Reader &r, std::size_t j)
{
    const char *t = r.text, *end = r.text + r.n;
    for (;;) {
        while (j < r.n && isBlank(t[j]))
            ++j;
        if (j >= r.n)
            return false;
        if (startsWith(t + j, end, "<!--")) {
            const void *close = findBytes(t + j + 4, r.n - j - 4, "-->", 3);
            if (!close)
                return false;
            j = static_cast<std::size_t>(static_cast<const char *>(close) - t) + 3;
            continue;
        }
        if (t[j] == '{') {
            std::size_t k = j + 1;
            while (k < r.n && isBlank(t[k]))
                ++k;
            if (k >= r.n || !(t[k] == '#' || t[k] == '/' || t[k] == ':' || startsWith(t + k, end, "@const") ||
                              startsWith(t + k, end, "@debug")))
                return false;
            const std::size_t close = expressionEnd(t, r.n, j + 1);
            if (close >= r.n)
                return false;
            j = close + 1;
            continue;
        }
        if (startsWith(t + j, end, "</"))
            return templateInsideBlock(r.w);
        if (t[j] != '<')
            return false;
        std::size_t k = j + 1;
        while (k < r.n && !isBlank(t[k]) && t[k] != '>' && t[k] != '/')
            ++k;
        const std::string name(t + j + 1, k - j - 1);
        while (k < r.n && t[k] != '>') {
            if (t[k] == '{' || t[k] == '"' || t[k] == '\'' || t[k] == '=' || isLetter(t[k]))
                return false;  // attributes: they may change its display
            ++k;
        }
        return regularName(name) && templateStandsAlone(r.w, name);
    }
}

// The text read so far handed out before a tag that renders nothing: the
// left edge stays one where nothing was written.
void flushBeforeSilent(Reader &r, std::size_t after)
{
    const std::size_t mark = r.w.store->tokens.size();
    const bool left = r.w.leftBlock;
    templateFlush(r.w, edgeAhead(r, after));
    r.w.leftBlock = left && r.w.store->tokens.size() == mark;
}

// Svelte drops the whitespace at the start and end of every fragment (an
// element's content, a block's branch, a component's children) outside
// pre and textarea.
void fragmentEnd(Reader &r)
{
    templateFlush(r.w, !r.w.runPre && !r.keepEdges);
}

void fragmentStart(Reader &r)
{
    if (!r.w.runPre && !r.keepEdges)
        r.w.leftBlock = true;
}

void closeTop(Reader &r, std::uint32_t at)
{
    if (!r.open.back().block) {
        fragmentEnd(r);
        templateClose(r.w, at);
    }
    r.open.pop_back();
}

// A `{...}` at r.i in text.
void readTag(Reader &r)
{
    const char *t = r.text;
    const std::size_t start = r.i;
    const std::size_t close = expressionEnd(t, r.n, start + 1);
    if (close >= r.n) {
        refuse(r, "an expression left open in Svelte");
        return;
    }
    std::size_t k = start + 1;
    while (k < close && isBlank(t[k]))
        ++k;
    const char sigil = k < close ? t[k] : 0;
    r.i = close + 1;
    if (sigil != '#' && sigil != '/' && sigil != ':' && sigil != '@') {
        // An expression: its value renders as text.
        templateFlush(r.w, false);
        templateToken(r.w, "{", at32(start), 1);
        templateCode(r.w, r.expressions, std::string_view(t + start + 1, close - start - 1), at32(start + 1));
        templateToken(r.w, "}", at32(close), 1);
        r.w.leftBlock = false;
        return;
    }
    std::size_t e = k + 1;
    while (e < close && isLetter(t[e]))
        ++e;
    const std::string word(t + k + 1, e - k - 1);
    const bool renders = sigil == '@' && word != "const" && word != "debug";
    if (renders)
        templateFlush(r.w, false);
    else if (sigil == '/' || sigil == ':')
        fragmentEnd(r);
    else
        flushBeforeSilent(r, r.i);
    if (sigil == '/') {
        std::size_t rest = e;
        while (rest < close && isBlank(t[rest]))
            ++rest;
        if (r.open.empty() || !r.open.back().block || r.open.back().name != word || rest != close) {
            refuse(r, "a Svelte block closed that is not open");
            return;
        }
        r.open.pop_back();
        templateToken(r.w, "{/" + word + "}", at32(start), at32(close + 1 - start));
        r.w.leftBlock = false;  // what the block rendered is not known
        return;
    }
    if (sigil == ':' && (r.open.empty() || !r.open.back().block)) {
        refuse(r, "a Svelte block continued that is not open");
        return;
    }
    if (sigil == '#') {
        if (r.open.size() >= kHtmlMaxDepth) {
            refuse(r, "nested too deep to compare as Svelte");
            return;
        }
        r.open.push_back(Frame{word, true, false});
    }
    const bool left = r.w.leftBlock;
    templateToken(r.w, std::string("{") + sigil + word, at32(start), at32(e - start));
    const std::string_view code(t + e, close - e);
    if (code.find_first_not_of(" \t\n\f\r") != std::string_view::npos)
        templateCode(r.w, r.expressions, code, at32(e));
    templateToken(r.w, "}", at32(close), 1);
    r.w.leftBlock = renders ? false : left;
    if (sigil == '#' || sigil == ':')
        fragmentStart(r);
}

// Reads the expression whose '{' stands at r.i into parts, r.i just past
// its '}'; false where it is left open.
bool readExpression(Reader &r, std::vector<Part> &parts)
{
    const std::size_t close = expressionEnd(r.text, r.n, r.i + 1);
    if (close >= r.n)
        return false;
    parts.push_back(Part{true, std::string_view(r.text + r.i + 1, close - r.i - 1), r.i + 1});
    r.i = close + 1;
    return true;
}

// Reads a quoted value's parts up to its quote q (r.i just past the opening one).
bool readQuoted(Reader &r, char q, std::vector<Part> &parts)
{
    const char *t = r.text;
    while (r.i < r.n && t[r.i] != q) {
        if (t[r.i] == '{') {
            if (!readExpression(r, parts))
                return false;
            continue;
        }
        const std::size_t from = r.i;
        while (r.i < r.n && t[r.i] != q && t[r.i] != '{')
            ++r.i;
        parts.push_back(Part{false, std::string_view(t + from, r.i - from), from});
    }
    if (r.i >= r.n)
        return false;
    ++r.i;
    return true;
}

void writeAttribute(Reader &r, const Attribute &a, bool regular)
{
    TemplateWriter &w = r.w;
    const std::uint32_t at = at32(a.at);
    if (a.name.empty()) {
        // `{...spread}`, `{@attach f}`, or `{name}` for name={name}.
        const std::string_view code = a.parts[0].text;
        std::size_t k = code.find_first_not_of(" \t\n\f\r");
        std::size_t last = code.find_last_not_of(" \t\n\f\r");
        const std::string_view inner = k == std::string_view::npos ? std::string_view() : code.substr(k, last - k + 1);
        if (isIdentifier(inner)) {
            templateToken(w, std::string(inner) + "=", at, 0);
            templateToken(w, "{", at, 0);
            templateCode(w, r.expressions, inner, at32(a.parts[0].at + k));
            templateToken(w, "}", at, 0);
            return;
        }
        templateToken(w, "{", at, 1);
        templateCode(w, r.expressions, code, at32(a.parts[0].at));
        templateToken(w, "}", at, 0);
        return;
    }
    if (!a.valued) {
        // bind:x, class:x, style:x and let:x alone stand for the directive
        // with the expression {x}.
        const std::size_t colon = a.name.find(':');
        const std::string kind = colon == std::string::npos ? std::string() : a.name.substr(0, colon);
        std::string local = colon == std::string::npos ? std::string() : a.name.substr(colon + 1);
        local = local.substr(0, local.find('|'));
        if ((kind == "bind" || kind == "class" || kind == "style" || kind == "let") && isIdentifier(local)) {
            templateToken(w, a.name + "=", at, at32(a.name.size()));
            templateToken(w, "{", at, 0);
            templateCode(w, r.expressions, local, at32(a.at + colon + 1));
            templateToken(w, "}", at, 0);
            return;
        }
        templateToken(w, a.name, at, at32(a.name.size()));
        return;
    }
    bool textOnly = true;
    std::string value;
    for (const Part &p : a.parts) {
        textOnly = textOnly && !p.expression;
        value += p.text;
    }
    if (textOnly) {
        TemplateAttribute plain;
        plain.name = a.name;
        plain.value = value;
        plain.at = at;
        if (regular && (a.name == "class" || a.name == "style")) {
            templateAttribute(w, plain);
        } else {
            templateToken(w, a.name + "=", at, at32(a.name.size()));
            templateToken(w, "\"" + value + "\"", at, 0);
        }
        return;
    }
    templateToken(w, a.name + "=", at, at32(a.name.size()));
    if (a.quoted)
        templateToken(w, "\"", at, 0);
    for (const Part &p : a.parts) {
        if (!p.expression) {
            templateToken(w, std::string(1, '\'').append(p.text), at32(p.at), 0);
            continue;
        }
        templateToken(w, "{", at32(p.at), 0);
        templateCode(w, r.expressions, p.text, at32(p.at));
        templateToken(w, "}", at32(p.at), 0);
    }
    if (a.quoted)
        templateToken(w, "\"", at, 0);
}

// The raw body of a script or style element, up to its end tag.
void readRaw(Reader &r, const std::string &name)
{
    const std::string endTag = "</" + name;
    const void *end = findBytes(r.text + r.i, r.n - r.i, endTag.data(), endTag.size());
    if (!end) {
        refuse(r, "an element left open in Svelte");
        return;
    }
    const std::size_t stop = static_cast<std::size_t>(static_cast<const char *>(end) - r.text);
    if (stop > r.i)
        templateText(r.w, r.text + r.i, stop - r.i, r.text + r.i, stop - r.i, at32(r.i));
    const void *gt = std::memchr(r.text + stop, '>', r.n - stop);
    if (!gt) {
        refuse(r, "an end tag left open in Svelte");
        return;
    }
    r.i = static_cast<std::size_t>(static_cast<const char *>(gt) - r.text) + 1;
    templateClose(r.w, at32(stop));
    r.open.pop_back();
}

void readStartTag(Reader &r)
{
    const char *t = r.text;
    const std::size_t start = r.i;
    std::size_t k = start + 1;
    while (k < r.n && !isBlank(t[k]) && t[k] != '>' && t[k] != '/' && t[k] != '{')
        ++k;
    const std::string name(t + start + 1, k - start - 1);
    r.i = k;
    std::vector<Attribute> &attributes = r.attributes;
    attributes.clear();
    bool selfClosing = false;
    for (;;) {
        while (r.i < r.n && isBlank(t[r.i]))
            ++r.i;
        if (r.i >= r.n) {
            refuse(r, "a start tag left open in Svelte");
            return;
        }
        if (t[r.i] == '>') {
            ++r.i;
            break;
        }
        if (t[r.i] == '/' && r.i + 1 < r.n && t[r.i + 1] == '>') {
            r.i += 2;
            selfClosing = true;
            break;
        }
        Attribute a;
        a.at = r.i;
        if (t[r.i] == '{') {
            if (!readExpression(r, a.parts)) {
                refuse(r, "an expression left open in Svelte");
                return;
            }
            attributes.push_back(std::move(a));
            continue;
        }
        const std::size_t from = r.i;
        while (r.i < r.n && !isBlank(t[r.i]) && t[r.i] != '=' && t[r.i] != '>' &&
               !(t[r.i] == '/' && r.i + 1 < r.n && t[r.i + 1] == '>') && t[r.i] != '{' && t[r.i] != '"' &&
               t[r.i] != '\'')
            ++r.i;
        if (r.i == from) {
            refuse(r, "an attribute Svelte cannot read");
            return;
        }
        a.name.assign(t + from, r.i - from);
        if (readEquals(r)) {
            a.valued = true;
            if (r.i < r.n && (t[r.i] == '"' || t[r.i] == '\'')) {
                a.quoted = true;
                const char q = t[r.i++];
                if (!readQuoted(r, q, a.parts)) {
                    refuse(r, "an attribute's value left open in Svelte");
                    return;
                }
            } else if (r.i < r.n && t[r.i] == '{') {
                if (!readExpression(r, a.parts)) {
                    refuse(r, "an expression left open in Svelte");
                    return;
                }
            } else {
                const std::size_t v = r.i;
                while (r.i < r.n && !isBlank(t[r.i]) && t[r.i] != '>' && t[r.i] != '{' &&
                       !(t[r.i] == '/' && r.i + 1 < r.n && t[r.i + 1] == '>'))
                    ++r.i;
                if (r.i == v) {
                    refuse(r, "an attribute's value missing in Svelte");
                    return;
                }
                a.parts.push_back(Part{false, std::string_view(t + v, r.i - v), v});
            }
        }
        attributes.push_back(std::move(a));
    }
    if (name.empty()) {
        refuse(r, "a start tag without a name in Svelte");
        return;
    }
    const bool regular = regularName(name);
    if (!r.open.empty() && r.open.back().regular && closedBy(r.open.back().name, name))
        closeTop(r, at32(start));
    if (r.open.size() >= kHtmlMaxDepth) {
        refuse(r, "nested too deep to compare as Svelte");
        return;
    }
    // What tells how it renders: its attributes written as plain text; one
    // whose value is computed (or a spread, or a style: directive of white-space
    // or display, or an
    // element whose name is computed) may set any style.
    std::vector<TemplateAttribute> &plain = r.plain;
    plain.clear();
    bool computedStyle = !regular && name == "svelte:element";
    for (const Attribute &a : attributes) {
        bool textOnly = true;
        std::string value;
        for (const Part &p : a.parts) {
            textOnly = textOnly && !p.expression;
            value += p.text;
        }
        const std::string property = a.name.compare(0, 6, "style:") == 0 ? a.name.substr(6, a.name.find('|') - 6) : "";
        const bool spread = a.name.empty() && a.parts[0].text.find("...") != std::string_view::npos;
        if (regular && (spread || property == "white-space" || property == "display" || (a.name == "style" && !textOnly)))
            computedStyle = true;
        if (!a.name.empty())
            plain.push_back(TemplateAttribute{a.name, textOnly ? value : std::string(), at32(a.at)});
    }
    if (computedStyle)
        plain.push_back(TemplateAttribute{"style", "display white-space", at32(start)});
    // <svelte:options> of the component may stand anywhere at its top:
    // its tokens go last, and the text around it reads as if it were not
    // there.
    const bool options = name == "svelte:options" && r.open.empty() && selfClosing &&
                         r.w.run.find_first_not_of(' ') == std::string::npos;
    const std::string run = options ? r.w.run : std::string();
    const bool left = r.w.leftBlock;
    const std::size_t mark = r.w.store->tokens.size();
    if (options)
        r.w.run.clear();
    templateBegin(r.w, name, plain, at32(start));
    for (const Attribute &a : attributes)
        writeAttribute(r, a, regular);
    templateBegun(r.w, at32(start));
    fragmentStart(r);
    r.open.push_back(Frame{name, false, regular});
    if (selfClosing || (regular && isVoid(name))) {
        closeTop(r, at32(r.i));
        if (options) {
            ByteBuffer &tokens = r.w.store->tokens;
            r.options.append(tokens.data() + mark, tokens.size() - mark);
            tokens.resize(mark);
            r.w.run = run;
            r.w.leftBlock = left;
        }
        return;
    }
    if (name == "script" || name == "style")
        readRaw(r, name);
}

void readEndTag(Reader &r)
{
    const std::size_t start = r.i;
    std::string name;
    if (!readEndTagName(r, name, "an end tag left open in Svelte"))
        return;
    // Svelte closes the elements of HTML's left open inside it.
    std::size_t f = r.open.size();
    while (f > 0 && !r.open[f - 1].block && r.open[f - 1].name != name && r.open[f - 1].regular)
        --f;
    if (f == 0 || r.open[f - 1].block || r.open[f - 1].name != name) {
        refuse(r, "an end tag that closes no element in Svelte");
        return;
    }
    while (r.open.size() >= f)
        closeTop(r, at32(start));
}

void readFragment(Reader &r)
{
    const char *t = r.text, *end = r.text + r.n;
    while (r.i < r.n && !r.why) {
        const char c = t[r.i];
        if (c == '{') {
            readTag(r);
        } else if (startsWith(t + r.i, end, "<!--")) {
            const void *close = findBytes(t + r.i + 4, r.n - r.i - 4, "-->", 3);
            if (!close) {
                refuse(r, "a comment left open in Svelte");
                return;
            }
            const std::size_t stop = static_cast<std::size_t>(static_cast<const char *>(close) - t);
            templateComment(r.w, t + r.i + 4, stop - r.i - 4, at32(r.i));
            r.i = stop + 3;
        } else if (c == '<' && r.i + 1 < r.n && t[r.i + 1] == '/') {
            readEndTag(r);
        } else if (c == '<' && r.i + 1 < r.n && isLetter(t[r.i + 1])) {
            readStartTag(r);
        } else if (c == '<') {
            refuse(r, "a '<' that starts no tag in Svelte");
        } else {
            const std::size_t from = r.i;
            while (r.i < r.n && t[r.i] != '{' && t[r.i] != '<')
                ++r.i;
            templateText(r.w, t + from, r.i - from, t + from, r.i - from, at32(from));
        }
    }
    if (r.why)
        return;
    // Svelte's parser refuses any element or block still open at the end,
    // those whose end tag another tag may supply too (`<p>a`).
    for (const Frame &f : r.open) {
        refuse(r, f.block ? "a Svelte block left open" : "an element left open in Svelte");
        return;
    }
}

} // namespace

const char *svelteTokens(HtmlStore &store, const LexOptions &options)
{
    Reader r;
    componentStart(r, store, options, kSvelte);
    r.keepEdges = r.n > 0 && findBytes(r.text, r.n, "preserveWhitespace", 18) != nullptr;
    if (r.n > 0)
        readFragment(r);
    if (const char *why = componentFinish(r))
        return why;
    if (!r.options.empty())
        std::memcpy(store.tokens.grow(r.options.size()), r.options.data(), r.options.size());
    return nullptr;
}

namespace {

void svelteStart(Lexer &lx)
{
    markupStart(lx, svelteTokens, "too large to compare as Svelte");
}

} // namespace

extern const LexerHooks kSvelteLexer = {svelteStart, htmlNext, htmlRun, nullptr, false, nullptr};
