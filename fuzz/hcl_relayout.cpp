// The HCL part of the language fuzz target. A source the lexer reads whole
// is written out again from its tokens: each token as its key (a heredoc's
// text with its indentation already taken off, which a "<<-" heredoc takes
// off again from nothing), a line end for each LineEnd and a comma for each
// object separator. That text must give the source's own stream, and so must
// copies laid out otherwise (blanks, tabs and block comments between tokens
// outside a template's text, blank lines, CR LF and comments for a line
// end); writing a blank for a LineEnd, which joins two items on one line,
// must not (but after a heredoc, whose closing marker ends its line anyway).
#include "fuzz_lex.h"

namespace {

constexpr std::size_t kNoJoin = static_cast<std::size_t>(-1);

bool endsWith(const std::string &s, const char *tail)
{
    const std::string t = tail;
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// True when a template's text token ends where an interpolation or a
// directive opens.
bool opensExpression(const std::string &k)
{
    return endsWith(k, "${") || endsWith(k, "%{") || endsWith(k, "${~") || endsWith(k, "%{~");
}

// The tokens written out again, with the layout that seed chooses between
// them (a blank, and a line end for a LineEnd, when varied is false), and a
// blank for the LineEnd join; false when a token cannot be written back (a
// heredoc read as written, whose measure the new layout may change). Marks
// in closed the tokens that a heredoc's closing line end comes before.
bool write(const std::vector<FuzzTok> &tokens, std::uint32_t seed, bool varied, std::string &out,
           std::size_t join = kNoJoin, std::vector<char> *closed = nullptr)
{
    static const char *const lineEnds[] = {"\n", "\n\n", " # c\n", "\r\n", "\n  \t", " // c\n"};
    static const char *const blanks[] = {" ", "\t", "  ", " /* c */ ", "\t ", " "};
    std::string open;          // 'Q' for each quoted template open, 'H' for each heredoc
    bool heredocText = false;  // the next token is a heredoc's text
    // A byte order mark that the lexer read as a token (it was not first)
    // must not come first, where it is no token at all.
    out = tokens.empty() || tokens[0].key.compare(0, 3, "\xEF\xBB\xBF") != 0 ? "" : " ";
    if (closed)
        closed->assign(tokens.size(), 0);
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        const std::string &k = tokens[i].key;
        seed = seed * 1103515245u + 12345u;
        const unsigned pick = (seed >> 16) % 6;
        if (tokens[i].kind == TokenKind::LineEnd) {
            out += i == join ? " " : varied ? lineEnds[pick] : "\n";
            continue;
        }
        if (tokens[i].kind != TokenKind::Code || k.empty())
            return false;
        out += k;
        if (k.compare(0, 2, "<<") == 0 && k.back() == '\n' && !heredocText) {
            open += 'H';
            heredocText = true;
            continue;  // its text starts on the next line
        }
        if (k.compare(0, 2, "<<") == 0 && k.back() == '\x01')
            return false;
        const bool continues = k.size() >= 2 && (k[0] == '}' || (k[0] == '~' && k[1] == '}'));
        const bool text = heredocText || k[0] == '"' || (continues && !open.empty());
        heredocText = false;
        if (k[0] == '"' && !continues)
            open += 'Q';
        if (text && !opensExpression(k)) {
            if (open.empty())
                return false;
            const char kind = open.back();
            open.pop_back();
            if (kind == 'H') {
                // The closing marker's line end, which in an object
                // separates as a comma would: a comma next is not written
                // back.
                if (tokens[i + 1].key == ",")
                    return false;
                out += "\n";
                if (closed)
                    (*closed)[i + 1] = 1;
                continue;
            }
        }
        out += varied ? blanks[pick] : " ";
    }
    return open.empty();
}

} // namespace

void fuzzHcl(const std::string &source, std::uint8_t seed)
{
    const std::vector<FuzzTok> tokens = fuzzLex(source, Language::Hcl);
    std::string text;
    std::vector<char> closed;
    if (fuzzRejected() || startsWithLineToken(tokens) || !write(tokens, 0, false, text, kNoJoin, &closed))
        return;
    const auto same = [&tokens](const std::string &copy) {
        const std::vector<FuzzTok> again = fuzzLex(copy, Language::Hcl);
        return !fuzzRejected() && sameTokens(again, tokens);
    };
    fuzzCheck(same(text), "HCL: the tokens written out again give the stream");
    write(tokens, seed, true, text);
    fuzzCheck(same(text), "HCL: layout changes nothing");
    for (std::size_t i = 0; i + 2 < tokens.size(); ++i) {
        if (tokens[i].kind == TokenKind::LineEnd && !closed[i] && (seed & 1)) {
            write(tokens, 0, false, text, i);
            fuzzCheck(!same(text), "HCL: two items on one line are not two lines");
            break;
        }
    }
}
