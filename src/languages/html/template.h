// The tokens of a markup template: elements, attributes, text with HTML's
// whitespace rules, comments, and the bodies of scripts and styles read by
// their own languages. A reader (gumbo's tree for HTML; a component's
// template for the languages that extend HTML's syntax) walks its tree and
// tells the writer each node in document order; the writer decides what of
// it is layout and writes the token records of the store.
#ifndef MATCHLING_HTML_TEMPLATE_H
#define MATCHLING_HTML_TEMPLATE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "languages/html/state.h"
#include "languages/languages.h"

// How an attribute's value compares.
enum class AttributeKind : unsigned char {
    Text,        // as written (entities read)
    Class,       // its blank-separated names, in order
    Expression,  // as tokens of the syntax's expression language
    Style,       // as CSS declarations, a last ';' left out
};

// What a template syntax adds to HTML's: which attributes hold expressions,
// and the delimiters of an expression inside text. HTML's own (kHtmlSyntax)
// has neither.
struct TemplateSyntax {
    AttributeKind (*attribute)(const std::string &name);  // nullptr: "class" is Class, "style" Style, any other Text
    const char *open;                                      // an expression in text: its opening delimiter, or nullptr
    const char *close;                                     // and its closing one
    Language expressions;                                  // the language expressions are read as
};

extern const TemplateSyntax kHtmlSyntax;

// One attribute as the reader found it.
struct TemplateAttribute {
    std::string name;       // as the parser reads it (lower case in HTML)
    std::string value;      // entities read; "" for a name alone
    std::uint32_t at = 0;   // document offset of its name
};

// What the document's own stylesheets (its style elements) say that can
// change how whitespace renders: the elements of some names, or any.
struct StyleFacts {
    bool preserves = false;  // some rule keeps whitespace (white-space: pre, pre-wrap, pre-line, break-spaces)
                             // of elements that are not all of one name
    bool inlines = false;    // some rule makes elements inline-level (display: inline..., contents, ruby, run-in)
                             // that are not all of one name
    std::vector<std::string> preserved;  // the names of the elements the other rules that keep whitespace select
    std::vector<std::string> inlined;    // and of those the other rules make inline-level
};

// Adds to facts what the stylesheet text (n bytes) says: a rule's elements
// are of one name where the last compound of each of its selectors starts
// with a type (the "pre" of "div.x > pre:hover").
void scanStyleSheet(const char *text, std::size_t n, StyleFacts &facts);

// The state of an open element.
struct TemplateFrame {
    std::string name;
    unsigned char flags = 0;            // its class (template.cpp), as the rules apply it here
    bool pre = false;                   // its text keeps its whitespace
    bool raw = false;                   // its body is a script's or a stylesheet's
    Language body = Language::Unknown;  // the language its body is read as (Unknown: lines as written)
};

// The writer's state for one document.
struct TemplateWriter {
    HtmlStore *store = nullptr;
    const TemplateSyntax *syntax = nullptr;
    LexOptions options;
    StyleFacts facts;

    std::vector<TemplateFrame> frames;  // the elements open, the outermost first
    TemplateFrame pending;              // the element whose start tag is being written

    // The text since the last element boundary (or token comment), as read:
    // collapsed, each run of whitespace one blank, outside preformatted
    // content; as written inside it.
    std::string run;
    std::vector<std::uint32_t> runPlaces;  // document offset of each word of run (its lines, preformatted)
    std::uint32_t runAt = 0;               // document offset of run's first byte
    bool runPre = false;                   // run is preformatted
    bool leftBlock = true;                 // run starts at a line's edge (a block's start or after a block)

    std::string body;                       // the body of the script or style element open
    std::uint32_t bodyAt = 0;               // its document offset
    std::string key;                        // scratch for a token's key
    std::vector<std::uint32_t> codeLines;   // scratch for the document offset of each line of code read
};

// Starts writing the tokens of a document into store (its records and
// lines reset) with syntax's rules.
void templateStart(TemplateWriter &w, HtmlStore &store, const TemplateSyntax &syntax, const LexOptions &options,
                   const StyleFacts &facts);

// The document's type declaration.
void templateDoctype(TemplateWriter &w, const std::string &declaration, std::uint32_t at);

// An element's start: its name (lower case), its attributes, its offset,
// and whether it is SVG's (whose whitespace between elements is not drawn
// but inside its text elements). The attributes may be reordered.
void templateOpen(TemplateWriter &w, const std::string &name, std::vector<TemplateAttribute> &attributes,
                  std::uint32_t at, bool svg = false);

// An element's start in two steps, for a syntax that writes its attributes'
// tokens itself (templateToken, templateCode, templateAttribute): the first
// writes up to its name (attributes tell only how it renders and what its
// body is), the second the end of its start tag.
void templateBegin(TemplateWriter &w, const std::string &name, const std::vector<TemplateAttribute> &attributes,
                   std::uint32_t at, bool svg = false);
void templateBegun(TemplateWriter &w, std::uint32_t at);

// One attribute's tokens, its value compared as the syntax's kind for its
// name says.
void templateAttribute(TemplateWriter &w, const TemplateAttribute &a);

// Hands out the text read so far (it ends at a line's edge when rightBlock).
void templateFlush(TemplateWriter &w, bool rightBlock);

// True when the element open last holds its content between a line's
// edges; and when an element of name, with no attributes, stands on lines
// of its own.
bool templateInsideBlock(const TemplateWriter &w);
bool templateStandsAlone(const TemplateWriter &w, const std::string &name);

// One token as key, spelled by the spans bytes at document offset at.
void templateToken(TemplateWriter &w, const std::string &key, std::uint32_t at, std::uint32_t spans);

// code as the tokens of language (Unknown: its lines as written), at
// document offset at.
void templateCode(TemplateWriter &w, Language language, std::string_view code, std::uint32_t at);

// The end of the element opened last, at offset at (where its end tag
// stands, or where the next node starts when the reader closed it).
void templateClose(TemplateWriter &w, std::uint32_t at);

// Text of n bytes as the reader reads it (entities read), spelled as the
// original bytes of length originalLength at document offset at.
void templateText(TemplateWriter &w, const char *text, std::size_t n, const char *original, std::size_t originalLength,
                  std::uint32_t at);

// A comment's text at offset at.
void templateComment(TemplateWriter &w, const char *text, std::size_t n, std::uint32_t at);

// Writes what is left.
void templateFinish(TemplateWriter &w);

#endif
