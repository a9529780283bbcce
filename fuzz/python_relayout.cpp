// The Python part of the language fuzz target. The source's token stream is
// written out again in a plain layout (one blank between tokens, four blanks
// per level, one line per statement); a source whose plain copy does not lex
// to its stream (an unterminated string, an indentation Python rejects) is
// not checked further, nor one with a string that does not close. Properties:
// - a copy laid out otherwise (another indentation width or tabs, form
//   feeds, CR LF, blank and comment lines, comments and line ends inside
//   brackets, continuations, several blanks between tokens, ';' between
//   simple statements) lexes to the same stream;
// - two adjacent names with the blank between them taken out do not.
#include <string>
#include <vector>

#include "fuzz_lex.h"

namespace {

struct Chooser {
    std::uint32_t state;
    unsigned next(unsigned n)
    {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % n;
    }
};

bool isNameKey(const std::string &key)
{
    if (key.empty() || (byteClass(key[0]) & kDigit))
        return false;
    for (char c : key)
        if (!(byteClass(c) & kNameB))
            return false;
    return true;
}

bool isCompound(const std::string &key)
{
    static const char *const kWords[] = {"if", "elif", "else", "while", "for", "try", "except", "finally",
                                         "with", "def", "class", "async", "match", "case", "lambda"};
    for (const char *word : kWords)
        if (key == word)
            return true;
    return false;
}

// True when the LineEnd at index i may be written as "; ": the statements on
// both sides are simple and at one level.
bool semicolonFits(const std::vector<FuzzTok> &tokens, std::size_t i)
{
    if (i == 0 || i + 1 >= tokens.size() || tokens[i - 1].kind != TokenKind::Code || tokens[i - 1].key == ":")
        return false;
    const FuzzTok &next = tokens[i + 1];
    if (next.kind != TokenKind::Code || next.key == ";" || next.key == "@" || isCompound(next.key))
        return false;
    // The statement before must not have opened a block on its header's line.
    for (std::size_t k = i; k-- > 0 && tokens[k].kind != TokenKind::LineEnd;)
        if (tokens[k].kind != TokenKind::Code)
            return false;
    return true;
}

// The tokens written out; with choose, in a layout it picks; nameJoins gets
// the offsets of the single blanks between two adjacent names.
std::string relayout(const std::vector<FuzzTok> &tokens, Chooser *choose, std::vector<std::size_t> *nameJoins)
{
    static const char *const kUnits[] = {"    ", " ", "  ", "\t", "        ", "   "};
    static const char *const kBetween[] = {" ", "  ", "\t", " \\\n", " \\\n   ", " \f "};
    static const char *const kInside[] = {"\n", "\n    ", "  # x\n ", "\n\n", "\\\n"};
    static const char *const kAfterLine[] = {"", "\n", "   \n", "# c\n", "        # d e\n", "\f\n"};
    const std::string unit = choose ? kUnits[choose->next(6)] : "    ";
    const bool crlf = choose && choose->next(4) == 0;
    std::string out;
    int depth = 0, brackets = 0;
    bool lineStart = true;
    auto lineEnd = [&]() { out += crlf ? "\r\n" : "\n"; };
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const FuzzTok &t = tokens[i];
        if (t.kind == TokenKind::Indent || t.kind == TokenKind::Dedent) {
            depth += t.kind == TokenKind::Indent ? 1 : -1;
            continue;
        }
        if (t.kind == TokenKind::LineEnd) {
            if (choose && choose->next(5) == 0 && semicolonFits(tokens, i)) {
                out += choose->next(2) ? "; " : ";";
                continue;
            }
            if (choose && choose->next(3) == 0)
                out += "  # comment";
            lineEnd();
            for (int k = choose ? static_cast<int>(choose->next(3)) : 0; k > 0; --k) {
                out += kAfterLine[choose->next(6)];
                if (!out.empty() && out.back() != '\n')
                    lineEnd();
            }
            lineStart = true;
            brackets = 0;
            continue;
        }
        if (t.kind != TokenKind::Code)
            continue;
        if (lineStart) {
            if (choose && choose->next(8) == 0)
                out += "\f";
            for (int k = 0; k < depth; ++k)
                out += unit;
            lineStart = false;
        } else if (!choose || tokens[i - 1].key == "\\") {
            // A stray backslash (no continuation) keeps the blank after it.
            if (nameJoins && i > 0 && isNameKey(tokens[i - 1].key) && isNameKey(t.key))
                nameJoins->push_back(out.size());
            out += " ";
        } else if (brackets > 0 && choose->next(3) == 0) {
            out += kInside[choose->next(5)];
        } else {
            out += kBetween[choose->next(6)];
        }
        out += t.key;
        if (t.key == "(" || t.key == "[" || t.key == "{")
            ++brackets;
        else if ((t.key == ")" || t.key == "]" || t.key == "}") && brackets > 0)
            --brackets;
    }
    if (crlf)
        for (std::size_t k = 0; (k = out.find("\\\n", k)) != std::string::npos; k += 3)
            out.replace(k, 2, "\\\r\n");
    return out;
}

// True when every string token of tokens closes: lexed alone with a name
// after it, it stays what it is (an unterminated one takes in what follows,
// so comments added after it would change it).
bool allClosed(const std::vector<FuzzTok> &tokens)
{
    for (const FuzzTok &t : tokens) {
        if (t.kind != TokenKind::Code || t.key.find_first_of("'\"") == std::string::npos)
            continue;
        const std::vector<FuzzTok> alone = fuzzLex(t.key + " x", Language::Python);
        if (alone.empty() || alone[0].key != t.key)
            return false;
    }
    return true;
}

} // namespace

void fuzzPython(const std::string &source, std::uint8_t seed)
{
    const std::vector<FuzzTok> tokens = fuzzLex(source, Language::Python);
    if (startsWithLineToken(tokens))
        return;
    std::vector<std::size_t> joins;
    const std::string plain = relayout(tokens, nullptr, &joins);
    if (!sameTokens(fuzzLex(plain, Language::Python), tokens) || !allClosed(tokens))
        return;
    for (std::uint32_t round = 0; round < 3; ++round) {
        Chooser choose{seed * 7919u + round};
        fuzzCheck(sameTokens(fuzzLex(relayout(tokens, &choose, nullptr), Language::Python), tokens),
                  "a Python stream laid out otherwise lexes the same");
    }
    if (!joins.empty()) {
        std::string joined = plain;
        joined.erase(joins[seed % joins.size()], 1);
        fuzzCheck(!sameTokens(fuzzLex(joined, Language::Python), tokens), "two Python names joined differ");
    }
}
