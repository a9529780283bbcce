// The survey, start and finish shared by the component readers (svelte.cpp,
// vue.cpp).
#include "languages/html/component.h"

#include <string>

#include "common/find_bytes.h"

namespace markup {

namespace {

// What the component's style elements say of whitespace, and whether its
// scripts are TypeScript.
void survey(const char *t, std::size_t n, const ComponentSyntax &syntax, StyleFacts &facts, bool &typescript)
{
    const char *end = t + n;
    for (const char *p = t; (p = static_cast<const char *>(findBytes(p, static_cast<std::size_t>(end - p), "<s", 2)));
         ++p) {
        const bool style = startsWith(p, end, "<style"), script = startsWith(p, end, "<script");
        if (!style && !script)
            continue;
        const char *gt = static_cast<const char *>(std::memchr(p, '>', static_cast<std::size_t>(end - p)));
        if (!gt)
            return;
        const std::string head(p, gt);
        if (script) {
            for (const char *const *lang = syntax.typescriptLangs; *lang && !typescript; ++lang)
                typescript = head.find(*lang) != std::string::npos;
            if (syntax.skipScriptHeads)
                p = gt;  // each byte searched once
            continue;
        }
        const char *close = static_cast<const char *>(findBytes(gt, static_cast<std::size_t>(end - gt), "</style", 7));
        if (!close)
            return;
        scanStyleSheet(gt + 1, static_cast<std::size_t>(close - gt - 1), facts);
        p = close;
    }
}

} // namespace

void componentStart(ComponentReader &r, HtmlStore &store, const LexOptions &options, const ComponentSyntax &syntax)
{
    r.text = store.text.data();
    r.n = store.text.size();
    StyleFacts facts;
    bool typescript = false;
    if (r.n > 0)
        survey(r.text, r.n, syntax, facts, typescript);
    r.expressions = typescript ? Language::TypeScript : Language::JavaScript;
    templateStart(r.w, store, typescript ? *syntax.typescript : *syntax.javascript, options, facts);
}

const char *componentFinish(ComponentReader &r)
{
    if (r.why)
        return r.why;
    templateFinish(r.w);
    return nullptr;
}

bool readEndTagName(ComponentReader &r, std::string &name, const char *leftOpen)
{
    const char *t = r.text;
    const std::size_t start = r.i;
    std::size_t k = start + 2;
    while (k < r.n && !isBlank(t[k]) && t[k] != '>')
        ++k;
    name.assign(t + start + 2, k - start - 2);
    while (k < r.n && isBlank(t[k]))
        ++k;
    if (k >= r.n || t[k] != '>') {
        refuse(r, leftOpen);
        return false;
    }
    r.i = k + 1;
    return true;
}

} // namespace markup
