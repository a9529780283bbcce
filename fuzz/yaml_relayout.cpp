// The YAML part of the language fuzz target. A source that parses is written
// out again from its tokens in flow style (every key explicit, quoted
// scalars double-quoted); when that gives the source's own stream, copies
// with other layout between the tokens (blanks, line ends, comments) must
// give it too, and a plain scalar written in quotes must not. Comment lines
// before and after the source change nothing either.
#include "fuzz_lex.h"

#include <algorithm>
#include <cstdio>

namespace {

// True when a plain scalar's value can be written plain in flow style as it stands.
bool plainInFlow(const std::string &v)
{
    if (v.empty())
        return false;
    for (char c : v)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.'))
            return false;
    return true;
}

// A string value as a double-quoted scalar.
std::string quoted(const std::string &v)
{
    std::string out = "\"";
    for (char c : v) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u == 0x7f) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// One open collection of the writer.
struct Open {
    bool mapping;
    int nodes;  // nodes written in it
};

// The tokens written out again in flow style, with the layout seed chooses
// between them (a blank when varied is false), and the plain scalar at index
// quote (when any) written in quotes. Empty when a token cannot be written.
std::string write(const std::vector<FuzzTok> &tokens, std::uint32_t seed, bool varied, std::size_t quote)
{
    static const char *const layouts[] = {" ", "  ", "\n ", " # c\n ", "\n\n  ", "\t", " \n   ", " "};
    std::string out;
    std::vector<Open> open;
    bool inNode = false;  // a property of the next node has been written
    auto gap = [&] {
        seed = seed * 1103515245u + 12345u;
        out += varied ? layouts[(seed >> 16) & 7] : " ";
    };
    // What stands before a node in the open collection.
    auto beforeNode = [&] {
        if (inNode || open.empty())
            return;
        Open &o = open.back();
        if (o.mapping)
            out += o.nodes % 2 == 0 ? (o.nodes > 0 ? ", ? " : "? ") : " : ";
        else if (o.nodes > 0)
            out += ", ";
    };
    auto afterNode = [&] {
        inNode = false;
        if (!open.empty())
            ++open.back().nodes;
    };
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        const std::string &k = tokens[i].key;
        if (k == "---") {
            if (!open.empty())
                return {};
            const bool version = i + 1 < tokens.size() && tokens[i + 1].key.rfind("%YAML ", 0) == 0;
            out += out.empty() ? "" : "\n...\n";
            if (version)
                out += tokens[++i].key + "\n";
            out += "---";
        } else if (k == "{" || k == "[") {
            beforeNode();
            out += k;
            open.push_back({k == "{", 0});
            inNode = false;
        } else if (k == "}" || k == "]") {
            if (open.empty())
                return {};
            out += k;
            open.pop_back();
            afterNode();
        } else if (k[0] == '&' || k[0] == '!') {
            beforeNode();
            out += k;
            inNode = true;
        } else if (k[0] == '*') {
            beforeNode();
            out += k + " ";
            afterNode();
        } else if (k[0] == '"') {
            beforeNode();
            out += quoted(k.substr(1, k.size() - 2));
            afterNode();
        } else {
            if (!plainInFlow(k))
                return {};
            beforeNode();
            out += i == quote ? "\"" + k + "\"" : k;
            afterNode();
        }
        gap();
    }
    return out + "\n";
}

constexpr std::size_t kNoQuote = static_cast<std::size_t>(-1);

} // namespace

void fuzzYaml(const std::string &source, std::uint8_t seed)
{
    const std::vector<FuzzTok> tokens = fuzzLex(source, Language::Yaml);
    if ((tokens.size() == 2 && tokens[0].key[0] == '<') || startsWithLineToken(tokens))
        return;  // refused: one token naming the reason; or a "#!" line, which stays first
    if (!source.empty() && source.back() == '\n' && source[0] != '\xEF')
        fuzzCheck(sameTokens(fuzzLex("# c\n" + source + "# d\n", Language::Yaml), tokens),
                  "YAML: comment lines before and after change nothing");
    // With comments, their words come in between and nothing else changes;
    // a comment line put first gives the first of them.
    LexOptions comments;
    comments.comments = true;
    std::vector<FuzzTok> withComments = fuzzLex("# c\n" + source, Language::Yaml, comments);
    if (source.empty() || source[0] != '\xEF') {
        const auto word = std::find_if(withComments.begin(), withComments.end(),
                                       [](const FuzzTok &t) { return t.kind == TokenKind::CommentWord; });
        fuzzCheck(word != withComments.end() && word->key == "c", "YAML: a first comment line gives the first word");
        withComments.erase(std::remove_if(withComments.begin(), withComments.end(),
                                          [](const FuzzTok &t) { return t.kind == TokenKind::CommentWord; }),
                           withComments.end());
        fuzzCheck(sameTokens(withComments, tokens), "YAML: comments' words change no other token");
    }
    const std::string canonical = write(tokens, 0, false, kNoQuote);
    if (canonical.empty() || !sameTokens(fuzzLex(canonical, Language::Yaml), tokens))
        return;
    fuzzCheck(sameTokens(fuzzLex(write(tokens, seed, true, kNoQuote), Language::Yaml), tokens),
              "YAML: layout changes nothing");
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i)
        if (plainInFlow(tokens[i].key)) {
            fuzzCheck(!sameTokens(fuzzLex(write(tokens, 0, false, i), Language::Yaml), tokens),
                      "YAML: a plain scalar quoted changes the stream");
            break;
        }
}
