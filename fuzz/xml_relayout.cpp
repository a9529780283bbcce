// The XML part of the language fuzz target. A document that parses (and has
// no document type declaration) is written out again from its tokens; when
// that gives the document's own stream, a copy with its attributes in
// reverse order, in single quotes, empty elements as "<a/>" and comments
// between the tags must give it too, and a blank put at the start of a run
// of text must not. A comment and blank lines after the root change nothing
// either.
#include "fuzz_lex.h"

#include <string>
#include <vector>

namespace {

// Text or an attribute's value (between quote) escaped so that the parser
// gives it back as it is.
std::string escaped(const std::string &v, char quote)
{
    std::string out;
    for (char c : v) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '\r': out += "&#13;"; break;
        case '\t': out += quote ? "&#9;" : "\t"; break;
        case '\n': out += quote ? "&#10;" : "\n"; break;
        case '"': out += quote == '"' ? "&quot;" : "\""; break;
        case '\'': out += quote == '\'' ? "&apos;" : "'"; break;
        default: out += c;
        }
    }
    return out;
}

// The tokens written out again: with varied, attributes reversed in single
// quotes, empty elements closed at once and a comment after each end tag;
// with blank, a blank before the first run of text. Empty when a token
// cannot be written.
std::string write(const std::vector<FuzzTok> &tokens, bool varied, bool blank)
{
    std::string out;
    bool blanked = false;
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        const std::string &k = tokens[i].key;
        if (tokens[i].kind != TokenKind::Code || k.empty())
            return {};
        if (k.rfind("</", 0) == 0) {
            out += k;
            if (varied)
                out += "<!-- c -->";
        } else if (k.rfind("<?", 0) == 0) {
            out += k;
        } else if (k[0] == '<') {
            if (k.rfind("<!", 0) == 0)
                return {};  // a document type declaration
            out += k;
            std::size_t end = i + 1;
            while (end + 1 < tokens.size() && tokens[end].key[0] != '<' && tokens[end].key[0] != '"')
                ++end;
            // Its attributes: name="value".
            std::vector<std::string> attributes;
            for (std::size_t a = i + 1; a < end; ++a) {
                const std::string &t = tokens[a].key;
                const std::size_t eq = t.find("=\"");
                if (eq == std::string::npos || t.back() != '"')
                    return {};
                const char quote = varied ? '\'' : '"';
                attributes.push_back(" " + t.substr(0, eq) + "=" + quote +
                                     escaped(t.substr(eq + 2, t.size() - eq - 3), quote) + quote);
            }
            for (std::size_t a = 0; a < attributes.size(); ++a)
                out += attributes[varied ? attributes.size() - 1 - a : a];
            i = end - 1;
            if (varied && end < tokens.size() && tokens[end].key == "</" + k.substr(1) + ">") {
                out += "/>";
                ++i;
            } else {
                out += ">";
            }
        } else if (k[0] == '"' && k.size() >= 2 && k.back() == '"') {
            out += blank && !blanked ? " " : "";
            blanked = true;
            out += escaped(k.substr(1, k.size() - 2), 0);
        } else {
            return {};
        }
    }
    return out;
}

} // namespace

void fuzzXml(const std::string &source, std::uint8_t seed)
{
    const std::vector<FuzzTok> tokens = fuzzLex(source, Language::Xml);
    if (fuzzRejected())
        return;
    fuzzCheck(sameTokens(fuzzLex(source + "\n<!-- d -->\n\n", Language::Xml), tokens),
              "XML: a comment and blank lines after the root change nothing");
    const std::string canonical = write(tokens, false, false);
    if (canonical.empty() || !sameTokens(fuzzLex(canonical, Language::Xml), tokens))
        return;
    fuzzCheck(sameTokens(fuzzLex(write(tokens, true, false), Language::Xml), tokens), "XML: layout changes nothing");
    bool text = false;
    for (const FuzzTok &t : tokens)
        text = text || t.key[0] == '"';
    if (text && (seed & 1) == 0)
        fuzzCheck(!sameTokens(fuzzLex(write(tokens, false, true), Language::Xml), tokens),
                  "XML: a blank put into text changes the stream");
}
