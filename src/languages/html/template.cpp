// The tokens of a markup template (template.h).
//
// Tokens: an element is "<name", then each attribute in the order of their
// names as two tokens, `name=` and its value in double quotes, then ">"; its
// end is "</name>", whether its end tag is written or the reader closed it.
// Text comes as words, each with the blank after it where one follows
// ("a " and "b"), a blank alone where a run of text starts with one; a
// word's first '<' or '&' is spelled "&lt;" or "&amp;", so that no word can
// pass for a tag. Preformatted text comes as written, a token a line.
// A comment is layout, or with --comments "<!--", its words, "-->".
#include "languages/html/template.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "common/find_bytes.h"
#include "tokens/tokens.h"

namespace {

// What an element's name says of how it renders.
enum : unsigned char {
    kBlockInside = 1,   // its content starts and ends at a line's edge (a block container)
    kBlockOutside = 2,  // it stands on lines of its own (display block, list item, table part)
    kPreformatted = 4,  // its text keeps its whitespace
    kScript = 8,        // its body is a script
    kStyle = 16,        // its body is a stylesheet
    kHead = 32,         // its text is not rendered (the document's head)
};

struct ElementClass {
    std::string_view name;
    unsigned char flags;
};

constexpr unsigned char kBlock = kBlockInside | kBlockOutside;

// The elements a browser's own stylesheet shows as blocks, list items or
// table parts, and the others the rules name, sorted by name.
constexpr ElementClass kElements[] = {
    {"address", kBlock},    {"article", kBlock},  {"aside", kBlock},       {"blockquote", kBlock},
    {"body", kBlock},       {"button", kBlockInside}, {"caption", kBlock}, {"center", kBlock},
    {"col", kBlock},        {"colgroup", kBlock}, {"dd", kBlock},          {"details", kBlock},
    {"dialog", kBlock},     {"dir", kBlock},      {"div", kBlock},         {"dl", kBlock},
    {"dt", kBlock},         {"fieldset", kBlock}, {"figcaption", kBlock},  {"figure", kBlock},
    {"footer", kBlock},     {"form", kBlock},     {"frameset", kBlock},    {"h1", kBlock},
    {"h2", kBlock},         {"h3", kBlock},       {"h4", kBlock},          {"h5", kBlock},
    {"h6", kBlock},         {"head", kBlock | kHead}, {"header", kBlock},  {"hgroup", kBlock},
    {"hr", kBlock},         {"html", kBlock},     {"legend", kBlock},      {"li", kBlock},
    {"listing", kBlock | kPreformatted}, {"main", kBlock}, {"menu", kBlock}, {"nav", kBlock},
    {"ol", kBlock},         {"optgroup", kBlock}, {"option", kBlock},      {"p", kBlock},
    {"plaintext", kBlock | kPreformatted}, {"pre", kBlock | kPreformatted}, {"script", kScript},
    {"search", kBlock},     {"section", kBlock},  {"select", kBlockInside}, {"style", kStyle},
    {"summary", kBlock},    {"table", kBlock},    {"tbody", kBlock},       {"td", kBlock},
    {"textarea", kPreformatted}, {"tfoot", kBlock}, {"th", kBlock},        {"thead", kBlock},
    {"title", kBlock},      {"tr", kBlock},       {"ul", kBlock},          {"xmp", kBlock | kPreformatted},
};

unsigned char elementFlags(const std::string &name)
{
    // The names of a first letter and length: most names are short, and
    // few of the table's share both.
    const ElementClass *end = kElements + sizeof kElements / sizeof kElements[0];
    if (name.empty() || name.size() > 10 || name[0] < 'a' || name[0] > 'z')
        return 0;
    const char first = name[0];
    const ElementClass *at = std::lower_bound(kElements, end, first,
                                              [](const ElementClass &e, char c) { return e.name[0] < c; });
    for (; at != end && at->name[0] == first; ++at)
        if (at->name.size() == name.size() && at->name == name)
            return at->flags;
    return 0;
}

// HTML's whitespace: blank, tab, line feed, form feed, carriage return.
inline bool isHtmlBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when text (n bytes) holds word, in any case.
bool holds(const char *text, std::size_t n, const char *word)
{
    const std::size_t k = std::strlen(word);
    for (std::size_t i = 0; i + k <= n; ++i) {
        std::size_t j = 0;
        while (j < k && lower(text[i + j]) == word[j])
            ++j;
        if (j == k)
            return true;
    }
    return false;
}

// A lower-case copy of s without its blanks at either end.
std::string trimmedLower(const std::string &s)
{
    std::size_t from = 0, to = s.size();
    while (from < to && isHtmlBlank(s[from]))
        ++from;
    while (to > from && isHtmlBlank(s[to - 1]))
        --to;
    std::string out = s.substr(from, to - from);
    for (char &c : out)
        c = lower(c);
    return out;
}


AttributeKind htmlAttribute(const std::string &name)
{
    return name == "class" ? AttributeKind::Class : name == "style" ? AttributeKind::Style : AttributeKind::Text;
}

// --- Records ----------------------------------------------------------------

// Appends a record (tokens/records.h).
void emit(TemplateWriter &w, TokenKind kind, const char *key, std::size_t length, std::uint32_t at,
          std::uint32_t spans)
{
    addRecord(w.store->tokens, kind, key, length, at, spans);
}

void emit(TemplateWriter &w, const std::string &key, std::uint32_t at, std::uint32_t spans = 0)
{
    emit(w, TokenKind::Code, key.data(), key.size(), at, spans);
}

// A piece of text as a token: its first '<' or '&' spelled as an entity.
void emitText(TemplateWriter &w, const char *text, std::size_t n, std::uint32_t at, std::uint32_t spans)
{
    if (n > 0 && (text[0] == '<' || text[0] == '&')) {
        w.key.assign(text[0] == '<' ? "&lt;" : "&amp;");
        w.key.append(text + 1, n - 1);
        emit(w, TokenKind::Code, w.key.data(), w.key.size(), at, spans);
        return;
    }
    emit(w, TokenKind::Code, text, n, at, spans);
}

// --- Code read by its language ------------------------------------------------

// The document offset of each line of the n-byte code that starts at
// document offset at.
void codeLines(const TemplateWriter &w, std::uint32_t at, std::size_t lines, std::vector<std::uint32_t> &out)
{
    const ByteBuffer &text = w.store->text;
    out.assign(1, at);
    std::size_t from = at;
    while (out.size() < lines && from < text.size()) {
        const void *lf = std::memchr(text.data() + from, '\n', text.size() - from);
        if (!lf)
            break;
        from = static_cast<std::size_t>(static_cast<const char *>(lf) - text.data()) + 1;
        out.push_back(static_cast<std::uint32_t>(from));
    }
    while (out.size() < lines)
        out.push_back(out.back());
}

// code, of language (Unknown: lines as written), at document offset at, as
// tokens (through its language's rules where rewrite and the run accepts
// rewrites they know); lines as written where its language's lexer refuses
// it.
void readCode(TemplateWriter &w, Language language, std::string_view code, std::uint32_t at, bool comments,
              bool rewrite = false)
{
    const std::size_t lineCount = static_cast<std::size_t>(std::count(code.begin(), code.end(), '\n')) + 1;
    std::vector<std::uint32_t> &lines = w.codeLines;
    codeLines(w, at, lineCount, lines);
    const LexOptions options = embeddedOptions(w.options, comments, rewrite ? w.options.allow : 0);
    if (language != Language::Unknown && languageBuilt(language) &&
        recordEmbedded(*w.store, w.store->embedded, language, code, options, lines, at))
        return;
    std::size_t from = 0;
    for (std::size_t k = 0; k < lineCount; ++k) {
        std::size_t lf = code.find('\n', from);
        if (lf == std::string_view::npos)
            lf = code.size();
        if (lf > from || k + 1 < lineCount)
            emit(w, TokenKind::Code, code.data() + from, lf - from, lines[k], static_cast<std::uint32_t>(lf - from));
        from = lf + 1;
    }
}

// The language a script's or a style's body is read as, from its type and
// lang attributes: Unknown (lines as written) for one it does not name.
Language bodyLanguage(bool script, const std::vector<TemplateAttribute> &attributes)
{
    const TemplateAttribute *type = nullptr, *lang = nullptr;
    for (const TemplateAttribute &a : attributes) {
        if (a.name == "type" && !type)
            type = &a;
        if (a.name == "lang" && !lang)
            lang = &a;
    }
    const std::string t = type ? trimmedLower(type->value) : std::string();
    const std::string l = lang ? trimmedLower(lang->value) : std::string();
    if (!script) {
        if (!t.empty() && t != "text/css")
            return Language::Unknown;
        return l.empty() || l == "css" ? Language::Css : l == "scss" ? Language::Scss : l == "less" ? Language::Less
                                                                                                   : Language::Unknown;
    }
    static const char *const kScriptTypes[] = {
        "", "module", "text/javascript", "application/javascript", "application/ecmascript", "application/x-ecmascript",
        "application/x-javascript", "text/ecmascript", "text/javascript1.0", "text/javascript1.1",
        "text/javascript1.2", "text/javascript1.3", "text/javascript1.4", "text/javascript1.5", "text/jscript",
        "text/livescript", "text/x-ecmascript", "text/x-javascript", "text/babel", "text/jsx"};
    const bool js = std::find_if(std::begin(kScriptTypes), std::end(kScriptTypes),
                                 [&](const char *k) { return t == k; }) != std::end(kScriptTypes);
    if (js || t == "text/typescript" || t == "application/typescript") {
        if (l.empty())
            return t.find("typescript") != std::string::npos ? Language::TypeScript : Language::JavaScript;
        return l == "ts" || l == "typescript" ? Language::TypeScript
               : l == "tsx"                   ? Language::Tsx
               : l == "js" || l == "jsx" || l == "javascript" ? Language::JavaScript
                                                               : Language::Unknown;
    }
    const bool json = t == "application/json" || t == "importmap" || t == "speculationrules" ||
                      (t.size() > 5 && t.compare(t.size() - 5, 5, "+json") == 0);
    return json ? Language::Json : Language::Unknown;
}

// --- Text ---------------------------------------------------------------------

// True when the last element open keeps its text's whitespace.
bool inPre(const TemplateWriter &w)
{
    return !w.frames.empty() && w.frames.back().pre;
}

// Hands out the run of text, which ends at a line's edge when rightBlock.
void flushRun(TemplateWriter &w, bool rightBlock)
{
    std::string &run = w.run;
    if (run.empty())
        return;
    if (w.runPre) {
        // A token a line, as written.
        std::size_t from = 0, k = 0;
        while (from < run.size()) {
            std::size_t lf = run.find('\n', from);
            lf = lf == std::string::npos ? run.size() : lf + 1;
            const std::uint32_t at = k < w.runPlaces.size() ? w.runPlaces[k] : w.runAt;
            emitText(w, run.data() + from, lf - from, at, static_cast<std::uint32_t>(lf - from));
            from = lf;
            ++k;
        }
    } else {
        const bool head = !w.frames.empty() && (w.frames.back().flags & kHead);
        std::size_t from = 0, to = run.size();
        const bool blankOnly = run == " ";
        // Whitespace at a line's edge (a block's start or end, or next to a
        // block) is not shown, nor in the head, which is not rendered; else
        // it renders as a blank.
        if (blankOnly && (w.leftBlock || rightBlock || head)) {
            run.clear();
            w.runPlaces.clear();
            return;
        }
        if (!blankOnly) {
            if (w.leftBlock && run[0] == ' ')
                ++from;
            if (rightBlock && run[to - 1] == ' ')
                --to;
        }
        if (from < to && run[from] == ' ') {
            emit(w, " ", w.runAt, 1);
            ++from;
        }
        std::size_t k = 0;
        while (from < to) {
            std::size_t blank = run.find(' ', from);
            std::size_t end = blank == std::string::npos || blank >= to ? to : blank + 1;
            const std::uint32_t at = k < w.runPlaces.size() ? w.runPlaces[k] : w.runAt;
            const std::size_t word = run[end - 1] == ' ' ? end - from - 1 : end - from;
            emitText(w, run.data() + from, end - from, at, static_cast<std::uint32_t>(word));
            from = end;
            ++k;
        }
    }
    run.clear();
    w.runPlaces.clear();
}

// Adds text to the run, each run of whitespace one blank; the document
// offset of each word's start from the original spelling, where the two
// have as many words.
void addFlowText(TemplateWriter &w, const char *text, std::size_t n, const char *original, std::size_t length,
                 std::uint32_t at)
{
    std::string &run = w.run;
    if (run.empty())
        w.runAt = at;
    std::size_t o = 0;
    for (std::size_t i = 0; i < n;) {
        if (isHtmlBlank(text[i])) {
            if (run.empty() || run.back() != ' ')
                run.push_back(' ');
            while (i < n && isHtmlBlank(text[i]))
                ++i;
            continue;
        }
        // A word's start: the next word of the original's.
        while (o < length && isHtmlBlank(original[o]))
            ++o;
        if (run.empty() || run.back() == ' ')
            w.runPlaces.push_back(at + static_cast<std::uint32_t>(std::min(o, length)));
        while (o < length && !isHtmlBlank(original[o]))
            ++o;
        while (i < n && !isHtmlBlank(text[i]))
            run.push_back(text[i++]);
    }
}

// Adds preformatted text to the run as written, with the place of each of
// its lines.
void addPreText(TemplateWriter &w, const char *text, std::size_t n, const char *original, std::size_t length,
                std::uint32_t at)
{
    std::string &run = w.run;
    if (run.empty()) {
        w.runAt = at;
        w.runPlaces.push_back(at);
    }
    std::size_t o = 0;
    for (std::size_t i = 0; i < n; ++i) {
        run.push_back(text[i]);
        if (text[i] != '\n')
            continue;
        const void *lf = o < length ? std::memchr(original + o, '\n', length - o) : nullptr;
        o = lf ? static_cast<std::size_t>(static_cast<const char *>(lf) - original) + 1 : length;
        w.runPlaces.push_back(at + static_cast<std::uint32_t>(o));
    }
}

void addText(TemplateWriter &w, const char *text, std::size_t n, const char *original, std::size_t length,
             std::uint32_t at)
{
    if (n == 0)
        return;
    if (w.runPre)
        addPreText(w, text, n, original, length, at);
    else
        addFlowText(w, text, n, original, length, at);
}

// True when the style attribute among attributes names property.
bool styleNames(const std::vector<TemplateAttribute> &attributes, const char *property)
{
    for (const TemplateAttribute &a : attributes)
        if (a.name == "style" && holds(a.value.data(), a.value.size(), property))
            return true;
    return false;
}

// The offsets of the records written from offset mark on.
std::vector<std::size_t> recordsFrom(const TemplateWriter &w, std::size_t mark)
{
    const ByteBuffer &tokens = w.store->tokens;
    std::vector<std::size_t> out;
    for (std::size_t at = mark; at < tokens.size();) {
        out.push_back(at);
        std::uint32_t length;
        std::memcpy(&length, tokens.data() + at + 9, 4);
        at += kRecordHead + length;
    }
    return out;
}

bool recordIs(const TemplateWriter &w, std::size_t at, std::size_t end, const char *key)
{
    const std::size_t n = std::strlen(key);
    return end - at == kRecordHead + n && std::memcmp(w.store->tokens.data() + at + kRecordHead, key, n) == 0 &&
           static_cast<TokenKind>(w.store->tokens[at]) == TokenKind::Code;
}

// Of the records of a rule "x{ ... }" written from offset mark on, keeps
// its declarations' only, a last ';' left out (a declaration list may end
// with one or not); where the rule did not read as one (as lines, its
// lexer refusing it), keeps them all.
void declarationsOnly(TemplateWriter &w, std::size_t mark)
{
    ByteBuffer &tokens = w.store->tokens;
    const std::vector<std::size_t> r = recordsFrom(w, mark);
    const std::size_t n = r.size();
    if (n < 3 || !recordIs(w, r[0], r[1], "x") || !recordIs(w, r[1], r[2], "{") ||
        !recordIs(w, r[n - 1], tokens.size(), "}"))
        return;
    std::size_t end = r[n - 1];
    if (n >= 4 && recordIs(w, r[n - 2], r[n - 1], ";"))
        end = r[n - 2];
    std::memmove(tokens.data() + mark, tokens.data() + r[2], end - r[2]);
    tokens.resize(mark + (end - r[2]));
}

void emitAttribute(TemplateWriter &w, const TemplateAttribute &a)
{
    const AttributeKind kind = w.syntax->attribute ? w.syntax->attribute(a.name) : htmlAttribute(a.name);
    w.key.assign(a.name).push_back('=');
    emit(w, w.key, a.at, static_cast<std::uint32_t>(a.name.size()));
    if (kind == AttributeKind::Expression) {
        emit(w, "\"", a.at);
        readCode(w, w.syntax->expressions, a.value, a.at, false);
        emit(w, "\"", a.at);
        return;
    }
    if (kind == AttributeKind::Style) {
        // Declarations, read as a rule's: "x{", its value, "\n}".
        emit(w, "\"", a.at);
        const std::size_t mark = w.store->tokens.size();
        readCode(w, Language::Css, "x{" + a.value + "\n}", a.at, false);
        declarationsOnly(w, mark);
        emit(w, "\"", a.at);
        return;
    }
    std::string &key = w.key;
    key.assign(1, '"');
    if (kind == AttributeKind::Class) {
        // Its names, one blank apart.
        for (std::size_t i = 0; i < a.value.size();) {
            if (isHtmlBlank(a.value[i])) {
                ++i;
                continue;
            }
            if (key.size() > 1)
                key.push_back(' ');
            while (i < a.value.size() && !isHtmlBlank(a.value[i]))
                key.push_back(a.value[i++]);
        }
    } else {
        key.append(a.value);
    }
    key.push_back('"');
    emit(w, TokenKind::Code, key.data(), key.size(), a.at, 0);
}

} // namespace

const TemplateSyntax kHtmlSyntax = {nullptr, nullptr, nullptr, Language::JavaScript};

namespace {

// Notes in facts that the rule of selector keeps whitespace (preserve) or
// makes elements inline-level: the names its selectors' subjects have, or
// all elements where a subject has no type.
void noteRule(const std::string &selector, bool preserve, StyleFacts &facts)
{
    std::size_t from = 0;
    while (from <= selector.size()) {
        std::size_t comma = selector.find(',', from);
        if (comma == std::string::npos)
            comma = selector.size();
        std::string part = trimmedLower(selector.substr(from, comma - from));
        from = comma + 1;
        const std::size_t cut = part.find_last_of(" \t\n\f\r>+~");
        std::string last = cut == std::string::npos ? part : part.substr(cut + 1);
        std::size_t k = 0;
        while (k < last.size() && ((last[k] >= 'a' && last[k] <= 'z') || (last[k] >= '0' && last[k] <= '9') ||
                                   (k > 0 && last[k] == '-')))
            ++k;
        const bool typed = k > 0 && last[0] >= 'a' && last[0] <= 'z' && (k == last.size() || last[k] == '.' ||
                           last[k] == '#' || last[k] == ':' || last[k] == '[');
        if (!typed || part.find_first_of("()|&") != std::string::npos) {
            (preserve ? facts.preserves : facts.inlines) = true;
            continue;
        }
        (preserve ? facts.preserved : facts.inlined).push_back(last.substr(0, k));
    }
}

// True when text (n bytes) holds word (lower case, k bytes) in any case at
// offset at.
bool holdsAt(const char *text, std::size_t n, std::size_t at, const char *word, std::size_t k)
{
    return at <= n && n - at >= k && holds(text + at, k, word);
}

// True when text (n bytes) may name a property the scan looks for: it holds
// "display" or "white-space" in any case. Found by their rarer bytes, the
// 'y' and the '-', so most sheets are passed over at memchr's pace.
bool namesLayout(const char *text, std::size_t n)
{
    for (const char c : {'y', 'Y', '-'}) {
        for (const char *p = text, *end = text + n;
             (p = static_cast<const char *>(std::memchr(p, c, static_cast<std::size_t>(end - p)))); ++p) {
            const std::size_t at = static_cast<std::size_t>(p - text);
            if (c == '-' ? at >= 5 && holdsAt(text, n, at - 5, "white-space", 11)
                         : at >= 6 && holdsAt(text, n, at - 6, "display", 7))
                return true;
        }
    }
    return false;
}

} // namespace

void scanStyleSheet(const char *text, std::size_t n, StyleFacts &facts)
{
    // Only the two properties change the facts.
    if (!namesLayout(text, n))
        return;
    // The sheet without its comments; the selector of each block open.
    std::string sheet;
    sheet.reserve(n);
    for (std::size_t i = 0; i < n;) {
        const void *comment = findBytes(text + i, n - i, "/*", 2);
        const std::size_t at = comment ? static_cast<std::size_t>(static_cast<const char *>(comment) - text) : n;
        sheet.append(text + i, at - i);
        if (!comment)
            break;
        const void *end = findBytes(text + at + 2, n - at - 2, "*/", 2);
        i = end ? static_cast<std::size_t>(static_cast<const char *>(end) - text) + 2 : n;
        sheet.push_back(' ');
    }
    // The bytes the scan stops at: a block's edges, a declaration's end,
    // and the first letters of the properties it looks for.
    static const struct Stops {
        bool at[256] = {};
        Stops()
        {
            for (const unsigned char c : "{};wWdD")
                at[c] = c != 0;
        }
    } kStops;
    std::vector<std::string> open;
    std::size_t start = 0;
    for (std::size_t i = 0; i < sheet.size(); ++i) {
        const char c = sheet[i];
        if (!kStops.at[static_cast<unsigned char>(c)])
            continue;
        if (c == '{') {
            open.push_back(sheet.substr(start, i - start));
            start = i + 1;
        } else if (c == '}') {
            if (!open.empty())
                open.pop_back();
            start = i + 1;
        } else if (c == ';') {
            start = i + 1;
        }
        const char l = lower(c);
        const bool afterName = i > 0 && (lower(sheet[i - 1]) >= 'a' && lower(sheet[i - 1]) <= 'z');
        const bool ws = l == 'w' && !afterName && sheet.size() - i >= 11 && holds(sheet.data() + i, 11, "white-space");
        const bool display = l == 'd' && !afterName && sheet.size() - i >= 7 && holds(sheet.data() + i, 7, "display");
        if (!ws && !display)
            continue;
        std::size_t j = i + (ws ? 11 : 7);
        bool hit = ws && j < sheet.size() && sheet[j] == '-';  // white-space-collapse and its kin
        while (j < sheet.size() && (isHtmlBlank(sheet[j]) || sheet[j] == ':'))
            ++j;
        const char *v = sheet.data() + j;
        const std::size_t left = sheet.size() - j;
        if (ws)
            hit = hit || (left >= 3 && holds(v, 3, "pre")) || (left >= 5 && holds(v, 5, "break"));
        else
            hit = (left >= 6 && holds(v, 6, "inline")) || (left >= 8 && holds(v, 8, "contents")) ||
                  (left >= 4 && holds(v, 4, "ruby")) || (left >= 6 && holds(v, 6, "run-in"));
        if (!hit)
            continue;
        if (open.empty() || trimmedLower(open.back()).compare(0, 1, "@") == 0)
            (ws ? facts.preserves : facts.inlines) = true;
        else
            noteRule(open.back(), ws, facts);
    }
}

void templateStart(TemplateWriter &w, HtmlStore &store, const TemplateSyntax &syntax, const LexOptions &options,
                   const StyleFacts &facts)
{
    w.store = &store;
    w.syntax = &syntax;
    w.options = options;
    w.facts = facts;
    w.frames.clear();
    w.run.clear();
    w.runPlaces.clear();
    w.runPre = facts.preserves;
    w.leftBlock = true;
    store.tokens.resize(0);
    store.tokens.reserve(store.text.size() * 5 + 4096);
}

void templateDoctype(TemplateWriter &w, const std::string &declaration, std::uint32_t at)
{
    flushRun(w, false);
    emit(w, declaration, at, 0);
}

void templateBegin(TemplateWriter &w, const std::string &name, const std::vector<TemplateAttribute> &attributes,
                   std::uint32_t at, bool svg)
{
    TemplateFrame &frame = w.pending;
    frame = TemplateFrame();
    frame.name = name;
    frame.flags = elementFlags(name);
    if (svg) {
        // An SVG drawing stands in its line; what it draws holds no text
        // but in its text elements.
        static const char *const kText[] = {"a", "desc", "foreignobject", "script", "style", "text", "textpath",
                                            "title", "tspan"};
        const bool text = std::find(std::begin(kText), std::end(kText), name) != std::end(kText);
        const unsigned char drawn = kBlock, own = static_cast<unsigned char>(frame.flags & (kScript | kStyle));
        frame.flags = name == "svg" ? static_cast<unsigned char>(kBlockInside) : text ? own : drawn;
    }
    const std::vector<std::string> &inlined = w.facts.inlined, &preserved = w.facts.preserved;
    const bool madeInline = std::find(inlined.begin(), inlined.end(), name) != inlined.end();
    const bool keepsBlanks = std::find(preserved.begin(), preserved.end(), name) != preserved.end();
    // A display the element's own style sets, one the document's stylesheet
    // may make inline, or hidden: neither a block nor inline for sure.
    bool hidden = false;
    for (const TemplateAttribute &a : attributes)
        hidden = hidden || a.name == "hidden";
    if (w.facts.inlines || madeInline || hidden || styleNames(attributes, "display"))
        frame.flags &= static_cast<unsigned char>(~kBlock);
    frame.pre = inPre(w) || w.facts.preserves || keepsBlanks || (frame.flags & kPreformatted) ||
                styleNames(attributes, "white-space");
    frame.raw = (frame.flags & (kScript | kStyle)) != 0;
    if (frame.raw)
        frame.body = bodyLanguage((frame.flags & kScript) != 0, attributes);
    flushRun(w, (frame.flags & kBlockOutside) != 0);
    w.key.assign(1, '<').append(name);
    emit(w, w.key, at, static_cast<std::uint32_t>(name.size() + 1));
}

void templateBegun(TemplateWriter &w, std::uint32_t at)
{
    TemplateFrame &frame = w.pending;
    emit(w, ">", at);
    w.leftBlock = (frame.flags & kBlockInside) != 0;
    w.runPre = frame.pre;
    w.body.clear();
    w.bodyAt = at;
    w.frames.push_back(std::move(frame));
}

void templateOpen(TemplateWriter &w, const std::string &name, std::vector<TemplateAttribute> &attributes,
                  std::uint32_t at, bool svg)
{
    templateBegin(w, name, attributes, at, svg);
    std::sort(attributes.begin(), attributes.end(),
              [](const TemplateAttribute &a, const TemplateAttribute &b) { return a.name < b.name; });
    for (const TemplateAttribute &a : attributes)
        emitAttribute(w, a);
    templateBegun(w, at);
}

void templateAttribute(TemplateWriter &w, const TemplateAttribute &a)
{
    emitAttribute(w, a);
}

void templateFlush(TemplateWriter &w, bool rightBlock)
{
    flushRun(w, rightBlock);
}

bool templateInsideBlock(const TemplateWriter &w)
{
    return !w.frames.empty() && (w.frames.back().flags & kBlockInside) != 0;
}

bool templateStandsAlone(const TemplateWriter &w, const std::string &name)
{
    const std::vector<std::string> &inlined = w.facts.inlined;
    return (elementFlags(name) & kBlockOutside) != 0 && !w.facts.inlines &&
           std::find(inlined.begin(), inlined.end(), name) == inlined.end();
}

void templateToken(TemplateWriter &w, const std::string &key, std::uint32_t at, std::uint32_t spans)
{
    emit(w, key, at, spans);
}

void templateCode(TemplateWriter &w, Language language, std::string_view code, std::uint32_t at)
{
    readCode(w, language, code, at, false);
}

void templateClose(TemplateWriter &w, std::uint32_t at)
{
    if (w.frames.empty())
        return;
    TemplateFrame &frame = w.frames.back();
    if (frame.raw) {
        if (!w.body.empty())
            readCode(w, frame.body, w.body, w.bodyAt, w.options.comments, true);
        w.body.clear();
    } else {
        flushRun(w, (frame.flags & kBlockInside) != 0);
    }
    w.key.assign("</").append(frame.name).push_back('>');
    emit(w, w.key, at, 0);
    w.leftBlock = (frame.flags & kBlockOutside) != 0;
    w.frames.pop_back();
    w.runPre = inPre(w) || w.facts.preserves;
}

void templateText(TemplateWriter &w, const char *text, std::size_t n, const char *original, std::size_t originalLength,
                  std::uint32_t at)
{
    if (!w.frames.empty() && w.frames.back().raw) {
        if (w.body.empty())
            w.bodyAt = at;
        w.body.append(text, n);
        return;
    }
    // The syntax's expressions in the text: each is inline content, as an
    // inline element is, between the text before and after it.
    const char *open = w.syntax->open, *close = w.syntax->close;
    const std::size_t ol = open ? std::strlen(open) : 0, cl = close ? std::strlen(close) : 0;
    const bool spelled = originalLength == n;  // the original's offsets are the text's
    std::size_t from = 0;
    while (ol > 0 && cl > 0 && from < n) {
        const char *a = static_cast<const char *>(findBytes(text + from, n - from, open, ol));
        const char *b = a ? static_cast<const char *>(findBytes(a + ol, text + n - a - ol, close, cl)) : nullptr;
        if (!b)
            break;
        const std::size_t start = static_cast<std::size_t>(a - text), end = static_cast<std::size_t>(b - text);
        addText(w, text + from, start - from, spelled ? original + from : original, spelled ? start - from : originalLength,
                spelled ? at + static_cast<std::uint32_t>(from) : at);
        const std::uint32_t place = spelled ? at + static_cast<std::uint32_t>(start) : at;
        flushRun(w, false);
        emit(w, TokenKind::Code, open, ol, place, static_cast<std::uint32_t>(ol));
        readCode(w, w.syntax->expressions, std::string_view(a + ol, end - start - ol),
                 spelled ? place + static_cast<std::uint32_t>(ol) : at, false);
        emit(w, TokenKind::Code, close, cl, spelled ? at + static_cast<std::uint32_t>(end) : at,
             static_cast<std::uint32_t>(cl));
        w.leftBlock = false;
        from = end + cl;
    }
    addText(w, text + from, n - from, spelled ? original + from : original, spelled ? n - from : originalLength,
            spelled ? at + static_cast<std::uint32_t>(from) : at);
}

void templateComment(TemplateWriter &w, const char *text, std::size_t n, std::uint32_t at)
{
    if (!w.options.comments)
        return;  // the text on either side reads as one
    flushRun(w, false);
    emit(w, "<!--", at, 4);
    for (std::size_t i = 0; i < n;) {
        if (isHtmlBlank(text[i])) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < n && !isHtmlBlank(text[i]))
            ++i;
        emit(w, TokenKind::CommentWord, text + start, i - start, at, 0);
    }
    emit(w, "-->", at, 0);
    w.leftBlock = false;
}

void templateFinish(TemplateWriter &w)
{
    while (!w.frames.empty())
        templateClose(w, static_cast<std::uint32_t>(w.store->text.size()));
    flushRun(w, true);
}
