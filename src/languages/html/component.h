// What the readers of components written in an extension of HTML's
// template syntax (Svelte's, Vue's) share: the character tests and the state
// of their tag readers, the survey of a component's script and style heads,
// and the start and finish of its token writer (template.h).
#ifndef MATCHLING_HTML_COMPONENT_H
#define MATCHLING_HTML_COMPONENT_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "languages/html/state.h"
#include "languages/html/template.h"

namespace markup {

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

inline bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// True when the bytes from p (up to end) start with word.
inline bool startsWith(const char *p, const char *end, const char *word)
{
    const std::size_t k = std::strlen(word);
    return static_cast<std::size_t>(end - p) >= k && std::memcmp(p, word, k) == 0;
}

inline std::uint32_t at32(std::size_t at)
{
    return static_cast<std::uint32_t>(at);
}

// An element's name that is HTML's: lower case first, no ':' or '.' (not a
// component's, not a syntax's own).
inline bool regularName(const std::string &name)
{
    return !name.empty() && name[0] >= 'a' && name[0] <= 'z' && name.find(':') == std::string::npos &&
           name.find('.') == std::string::npos;
}

// What a component's syntax is: its template's syntax with JavaScript's
// expressions and with TypeScript's, the lang attributes of a script head
// (as written, nullptr last) that make it TypeScript, and whether the
// survey goes on past a script's head (true) or from its next byte.
struct ComponentSyntax {
    const TemplateSyntax *javascript;
    const TemplateSyntax *typescript;
    const char *const *typescriptLangs;
    bool skipScriptHeads;
};

// The state of a component's reader: its text, the offset read up to, the
// writer, the language of its expressions and why it is refused (nullptr
// while it is not).
struct ComponentReader {
    const char *text = nullptr;
    std::size_t n = 0;
    std::size_t i = 0;
    TemplateWriter w;
    Language expressions = Language::JavaScript;
    const char *why = nullptr;
};

// Refuses the component for why (the first reason given stands).
inline void refuse(ComponentReader &r, const char *why)
{
    if (!r.why)
        r.why = why;
}

// Starts reading store's text as a component of syntax: what its style
// elements say of whitespace and whether its scripts are TypeScript (whose
// expressions the template's then are), then the writer's start.
void componentStart(ComponentReader &r, HtmlStore &store, const LexOptions &options, const ComponentSyntax &syntax);

// The reason the component is refused, or nullptr with what is left written.
const char *componentFinish(ComponentReader &r);

// Past the blanks, the '=' and the blanks after an attribute's name at r.i:
// true when it has one (r.i then at its value); r.i left where it is when
// it has none.
inline bool readEquals(ComponentReader &r)
{
    std::size_t j = r.i;
    while (j < r.n && isBlank(r.text[j]))
        ++j;
    if (j >= r.n || r.text[j] != '=')
        return false;
    r.i = j + 1;
    while (r.i < r.n && isBlank(r.text[r.i]))
        ++r.i;
    return true;
}

// Reads the end tag at r.i into name, r.i past its '>'; false, refused for
// leftOpen, where it has none.
bool readEndTagName(ComponentReader &r, std::string &name, const char *leftOpen);

} // namespace markup

#endif
