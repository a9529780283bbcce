// Tests of the Python lexer: tables of pairs that must lex alike or must
// differ at a given token, and Python's own tokenize as a reference on real
// files of this machine.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "lex_support.h"
#include "support.h"

namespace {

TEST(PythonLexer, Indentation)
{
    checkPairs(Language::Python, {
        {"re-indented block", "if x:\n    a\n    b\nc\n", "if x:\n  a\n  b\nc\n", true},
        {"tabs and blanks", "if x:\n\ta\n\tif y:\n\t\tb\n", "if x:\n        a\n        if y:\n            b\n", true},
        {"line moved out of its block", "if x:\n    a\n    b\n", "if x:\n    a\nb\n", false, 3, 5, 3, 1},
        {"line moved into a block", "def f():\n    a\nb = 1\n", "def f():\n    a\n    b = 1\n", false, 3, 1, 3, 5},
        {"one level closed, not two", "if a:\n  if b:\n    c\n  d\n", "if a:\n  if b:\n    c\nd\n", false, 4, 3, 4, 1},
        {"blank and comment lines", "x = 1\n\n   \n# c\n    # d\ny = 2\n", "x = 1\ny = 2  # e\n", true},
        {"line ends inside brackets", "f(a,\n  b)[\n1]\n", "f(a, b)[1]\n", true},
        {"continuation", "x = 1 + \\\n        2\n", "x = 1 + 2\n", true},
        {"a line end outside brackets", "x = a\n+ b\n", "x = a + b\n", false, 1, 6, 1, 7},
        {"CR LF", "if x:\r\n    y\r\n", "if x:\n    y\n", true},
        {"a lone CR ends a line", "x = 1\ry = 2\r", "x = 1\ny = 2\n", true},
        {"a lone CR is no blank", "x = 1\r+ 2\r", "x = 1 + 2\r", false, 1, 6, 1, 7},
        {"form feed resets the column", "if x:\n    a\n  \f  b\n", "if x:\n    a\n    b\n", false, 3, 6, 3, 5},
        {"no line end at the input's end", "if x:\n    y", "if x:\n    y\n", true},
        {"inconsistent dedent is read strictly", "if x:\n    a\n  b\n", "if x:\n  a\nb\n", false, 3, 3, 3, 1},
    });
}

TEST(PythonLexer, StatementOnItsHeadersLine)
{
    checkPairs(Language::Python, {
        {"if", "if x: pass\n", "if x:\n    pass\n", true},
        {"if and else", "if x: a = 1\nelif y: b\nelse: c\n", "if x:\n a = 1\nelif y:\n b\nelse:\n c\n", true},
        {"def with annotations", "def f(x: int) -> int: return x\n", "def f(x: int) -> int:\n    return x\n", true},
        {"class, while, for", "class A: x: int = 1\nwhile x: f()\nfor a in b: g()\n",
         "class A:\n  x: int = 1\nwhile x:\n  f()\nfor a in b:\n  g()\n", true},
        {"try", "try: f()\nexcept E as e: g()\nfinally: h()\n", "try:\n f()\nexcept E as e:\n g()\nfinally:\n h()\n", true},
        {"with and async", "async def f():\n    async with a: b\n", "async def f():\n    async with a:\n        b\n", true},
        {"inside a block, then dedent", "def f():\n    if x: return 1\n    return 2\ny\n",
         "def f():\n    if x:\n        return 1\n    return 2\ny\n", true},
        {"statements joined by ;", "if x: a; b;\n", "if x:\n    a\n    b\n", true},
        {"brackets and lambdas before the colon", "if {1: 2}[lambda: 0]: pass\n", "if {1: 2}[lambda: 0]:\n pass\n", true},
        {"case in a match block", "match x:\n    case [1]: pass\n    case _: y\n",
         "match x:\n    case [1]:\n        pass\n    case _:\n        y\n", true},
        {"annotation named match", "match: int = 1\n", "match:\n    int = 1\n", false, 1, 8, 1, 7},
        {"case outside a match block", "case[x]: int\n", "case[x]:\n    int\n", false, 1, 10, 1, 9},
        {"a lambda's colon", "if lambda: x: pass\n", "if lambda:\n    x: pass\n", false, 1, 12, 1, 11},
        {"the next line deeper", "if x: a\n    b\n", "if x:\n    a\n    b\n", false, 2, 5, 3, 5},
        {"compound statement after ;", "x = 1; if y: z\n", "x = 1\nif y: z\n", false, 1, 14, 2, 7},
    });
}

TEST(PythonLexer, Semicolons)
{
    checkPairs(Language::Python, {
        {"; and line ends", "a = 1; b = 2\nc\n", "a = 1\nb = 2\nc\n", true},
        {"; before the line end", "a = 1;  # c\nb;\n", "a = 1\nb\n", true},
        {"; inside brackets", "f(a; b)\n", "f(a\nb)\n", false, 1, 4, 2, 1},
        {"; where a statement starts", "x = 1\n;y = 2\n", "x = 1\ny = 2\n", false, 2, 1, 2, 1},
        {"two ;", "a;;b\n", "a;b\n", false, 1, 3, 1, 3},
    });
}

TEST(PythonLexer, Strings)
{
    checkPairs(Language::Python, {
        {"prefix case", "r'a'\n", "R'a'\n", false, 1, 1, 1, 1},
        {"all prefixes are one token", "x = rb'a' Br'b' f'c' RF'd' u'e'\n", "x = rb'a'  Br'b'  f'c'  RF'd'  u'e'\n", true},
        {"blank inside a string", "'a b'\n", "'a  b'\n", false, 1, 1, 1, 1},
        {"joined inside brackets", "x = ('a'\n     'b')\n", "x = ('ab')\n", true},
        {"joined after a continuation", "x = 'a' \\\n    'b'\n", "x = 'ab'\n", true},
        {"not joined across a line end", "x = 'a'\n'b'\n", "x = 'ab'\n", false, 1, 5, 1, 5},
        {"other prefix not joined", "(f'a' 'b')\n", "(f'ab')\n", false, 1, 2, 1, 2},
        {"other quote not joined", "('a' \"b\")\n", "('ab')\n", false, 1, 2, 1, 2},
        {"quotes kept apart", "('a' \"b\")\n", "('a'\n \"b\")\n", true},
        {"octal escape not extended", "('\\1' '2')\n", "('\\12')\n", false, 1, 2, 1, 2},
        {"hex escape not finished", "('\\x4' 'a')\n", "('\\x4a')\n", false, 1, 2, 1, 2},
        {"unicode escape not finished", "('\\u00' 'e9')\n", "('\\u00e9')\n", false, 1, 2, 1, 2},
        {"long unicode escape not finished", "('\\U0001F60' 'a')\n", "('\\U0001F60a')\n", false, 1, 2, 1, 2},
        {"named escape not finished", "('\\N{DIGIT ' 'ONE}')\n", "('\\N{DIGIT ONE}')\n", false, 1, 2, 1, 2},
        {"finished escapes joined", "('\\x41' 'a' '\\N{DASH}' 'b')\n", "('\\x41a\\N{DASH}b')\n", true},
        {"triple quotes, CR LF", "x = '''a\nb'''\n", "x = '''a\r\nb'''\r\n", true},
        {"triple quotes keep blanks", "x = '''a\n  b'''\n", "x = '''a\nb'''\n", false, 1, 5, 1, 5},
        {"escaped line end", "x = 'a\\\nb' + 1\n", "x = 'a\\\nb'+1\n", true},
        {"f-string with nested quotes", "f\"{x[\"a\"]}\" + 1\n", "f\"{x[\"a\"]}\"+1\n", true},
        {"f-string field is spelling", "f\"{x[\"a\"]}\"\n", "f\"{x['a']}\"\n", false, 1, 1, 1, 1},
        {"brace inside a field's string", "f'{\"}\"}' + g\n", "f'{\"}\"}'+g\n", true},
        {"nested f-strings and formats", "f'{a:{b}>{f\"{c}\"}}' if d else e\n", "f'{a:{b}>{f\"{c}\"}}' if d  else e\n", true},
        {"named escape", "f'\\N{DASH} {x}' + y\n", "f'\\N{DASH} {x}'+y\n", true},
        {"unterminated string ends at its line", "x = 'a\ny = 1\n", "x = 'a\n\ny = 1\n", true},
        {"joined to an unterminated string", "x = 'a' '\n", "x = 'a'\n", false, 1, 5, 1, 5},
    });
}

TEST(PythonLexer, NumbersNamesOperators)
{
    checkPairs(Language::Python, {
        {"numbers", "x=1_000j+0x_ff+1.5e-3+.5+1.+0o17\n", "x = 1_000j + 0x_ff + 1.5e-3 + .5 + 1. + 0o17\n", true},
        {"number then keyword", "x = 1if y else 2\n", "x = 1 if y else 2\n", true},
        {"longest match", "a //= b ** c; d := e -> f != g @= h ...\n", "a//=b**c\nd:=e->f!=g@=h...\n", true},
        {"floor division is no comment", "a / / b\n", "a // b\n", false, 1, 3, 1, 3},
        {"unicode names", "\xc3\xa9 = \xc3\xa9" "1\n", "\xc3\xa9=\xc3\xa9" "1\n", true},
        {"joined words", "not x\n", "notx\n", false, 1, 1, 1, 1},
        {"exponent sign", "1e-5\n", "1e - 5\n", false, 1, 1, 1, 1},
    });
}

TEST(PythonLexer, Comments)
{
    LexOptions words;
    words.comments = true;
    checkPairs({
        {"reflowed comment", "# a b\n# c\nx = 1  # d\n", "# a\n  # b  c\nx = 1 # d\n", true, 0, 0, 0, 0, Language::Python, words},
        {"edited comment", "x = 1  # a b\n", "x = 1  # a c\n", false, 1, 12, 1, 12, Language::Python, words},
        {"comment ends at a lone CR", "# a\rx\r", "# a x\r", false, 1, 5, 1, 5, Language::Python, words},
    });
}

// Tokens of text with their places dropped.
std::vector<std::pair<TokenKind, std::string>> keys(const std::string &text)
{
    std::vector<std::pair<TokenKind, std::string>> out;
    for (const Tok &t : lexText(text, Language::Python))
        out.emplace_back(t.kind, t.key);
    return out;
}

TEST(PythonLexer, TokensAcrossTheWindowsEnd)
{
    const std::string snippets[] = {
        "if x:\n    y = f\"{a[\"b\"]:>{w}}\" 'c' \\\n  'd'\n  # c\nz = 1_000.5e-3j + 0x_ff; w\n",
        "s = ('''a\r\nb''' r'\\'' \"\"\"x\ny\"\"\")\r\nif a: b\r\n",
        "def f():\n\treturn lambda: 1 // 2 ** 3 ...\n",
    };
    for (const std::string &snippet : snippets) {
        const auto want = keys(snippet);
        for (std::size_t pad = kLexWindowSize - 40; pad < kLexWindowSize + 8; ++pad) {
            SCOPED_TRACE(pad);
            // A comment line of pad bytes puts the snippet across the window's end.
            EXPECT_EQ(keys("#" + std::string(pad - 2, 'x') + "\n" + snippet), want);
        }
    }
    const std::string longString = "'" + std::string(3 * kLexWindowSize, 'a') + "'";
    EXPECT_EQ(keys("x = (" + longString + "\n  'b')\n"),
              keys("x = (" + longString.substr(0, longString.size() - 1) + "b')\n"));
}

// Python's tokenize on a file, in the form the lexer gives its tokens: one
// line per token (kind, line, column, key in hex), NL, comments and
// the encoding dropped, adjacent strings joined, ';' and statements on their
// header's line as the lexer takes them.
const char *const kReference = R"PY(
import re, sys, tokenize
COMPOUND = {"if", "elif", "else", "while", "for", "try", "except", "finally", "with", "def", "class", "async"}
def quote(s):
    m = re.match(r"([A-Za-z]*)('''|\"\"\"|'|\")", s)
    return m.group(1), m.group(2)
def stream(path):
    with open(path, "rb") as f:
        toks = [t for t in tokenize.tokenize(f.readline)
                if t.type not in (tokenize.ENCODING, tokenize.NL, tokenize.COMMENT, tokenize.ENDMARKER)]
    out, last = [], None
    for t in toks:
        if t.type == tokenize.STRING and last is not None and last.type == tokenize.STRING:
            p1, q1 = quote(out[-1][3]); p2, q2 = quote(t.string)
            body = t.string[len(p2) + len(q2):]
            octal = "r" not in p1.lower() and out[-1][3][-len(q1) - 1] in "01234567" and body[:1] in "01234567"
            if p1 == p2 and q1 == q2 and not (octal and body[:1]):
                out[-1][3] = out[-1][3][:-len(q1)] + body
                continue
        last = t
        kind = {tokenize.NEWLINE: "L", tokenize.INDENT: "I", tokenize.DEDENT: "D"}.get(t.type, "C")
        column = len(t.line[:t.start[1]].encode()) + 1
        out.append([kind, t.start[0], column, t.string if kind == "C" else "", t.type == tokenize.OP])
    return out
def shaped(toks):
    out, depth, first, header, done, after, lambdas, block, owed, semi = [], 0, True, False, False, False, 0, False, False, False
    match_line, colon, match_next, stack = False, False, False, [False]
    def give(kind, t=None):
        out.append([kind, 0, 0, ""] if t is None else t)
    for t in toks:
        kind, key = t[0], t[3]
        if kind == "L":
            give("L"); owed, block, semi = block, False, False
            match_next = match_line and colon
            first, header, done, after, match_line, lambdas, depth = True, False, False, False, False, 0, 0
            continue
        if owed:
            give("D"); owed = False
        if kind in "ID":
            stack.append(match_next) if kind == "I" else stack.pop()
            match_next = False; give(kind); continue
        if key == ";" and depth == 0 and out and out[-1][0] == "C":
            semi, header, colon = True, False, False; continue
        if semi:
            give("L"); semi = False
        if after:
            give("L"); give("I"); block, after = True, False
        if first:
            header, match_line, match_next = key in COMPOUND or (key == "case" and stack[-1]), key == "match", False
        elif header and not done and depth == 0 and key == "lambda":
            lambdas += 1
        first, colon = False, False
        if t[4] and key in ("(", "[", "{"): depth += 1
        elif t[4] and key in (")", "]", "}"): depth = max(0, depth - 1)
        elif t[4] and key == ":" and depth == 0:
            colon = True
            if header and not done:
                if lambdas: lambdas -= 1
                else: done, after = True, True
        give(kind, t)
    if owed: give("D")
    return out
for path in sys.argv[1:]:
    print("F", path)
    try:
        for t in shaped(stream(path)):
            print(t[0], t[1], t[2], t[3].encode("utf-8", "surrogateescape").hex())
    except (SyntaxError, tokenize.TokenError, UnicodeDecodeError):
        print("X")
)PY";

// Files of the Python library spread over it, the test suite left out.
const char *const kLibraryFiles =
    "find /usr/lib/python3.*/ -name '*.py' -not -path '*/test*' -not -path '*/idle_test/*' 2>/dev/null | sort"
    " | awk 'NR % 20 == 3' | head -n 30 | tr '\\n' ' '";

std::string hex(const std::string &key)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : key) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// The lexer's tokens of the file at path in the reference's form.
std::string lexed(const std::string &path)
{
    std::string got;
    for (const Tok &t : lexFile(path, Language::Python)) {
        if (t.kind == TokenKind::End)
            continue;
        if (t.kind != TokenKind::Code) {
            got += t.kind == TokenKind::LineEnd ? "L 0 0 \n" : t.kind == TokenKind::Indent ? "I 0 0 \n" : "D 0 0 \n";
            continue;
        }
        got += "C " + std::to_string(t.line) + " " + std::to_string(t.column) + " " + hex(t.key) + "\n";
    }
    return got;
}

TEST(PythonLexerTools, AgreesWithTokenize)
{
    if (!haveTool("python3"))
        GTEST_SKIP() << "python3 is not installed";
    ScratchDir dir;
    const std::string script = dir.file("reference.py");
    writeFile(script, kReference);
    const std::string files = commandOutput(kLibraryFiles);
    if (files.find(".py") == std::string::npos)
        GTEST_SKIP() << "no Python library files found";
    const std::string expected = commandOutput("python3 '" + script + "' " + files + " 2>/dev/null");
    int compared = 0;
    for (std::size_t at = 0; (at = expected.find("F ", at)) != std::string::npos;) {
        std::size_t lineEnd = expected.find('\n', at);
        const std::string path = expected.substr(at + 2, lineEnd - at - 2);
        std::size_t next = expected.find("\nF ", lineEnd);
        next = next == std::string::npos ? expected.size() : next + 1;
        std::string want = expected.substr(lineEnd + 1, next - lineEnd - 1);
        at = next;
        if (want == "X\n")
            continue;  // a file tokenize rejects
        // The reference's line ends, indents and dedents carry no place.
        std::string normalized;
        for (std::size_t k = 0, e; k < want.size(); k = e + 1) {
            e = want.find('\n', k);
            const std::string line = want.substr(k, e - k);
            normalized += line[0] == 'C' ? line + "\n" : line.substr(0, 1) + " 0 0 \n";
        }
        SCOPED_TRACE(path);
        EXPECT_EQ(lexed(path), normalized);
        ++compared;
    }
    EXPECT_GT(compared, 10);
}

// The reference's tokens, one per line: kind and key (places dropped), and
// each line's place ("line column") in places.
std::vector<std::string> referenceKeys(const std::string &listing, std::vector<std::string> &places)
{
    std::vector<std::string> keys;
    for (std::size_t k = 0, e; k < listing.size(); k = e + 1) {
        e = listing.find('\n', k);
        const std::string line = listing.substr(k, e - k);
        const std::size_t a = line.find(' '), b = line.find(' ', a + 1), c = line.find(' ', b + 1);
        keys.push_back(line.substr(0, 1) + line.substr(c));
        places.push_back(line[0] == 'C' ? line.substr(a + 1, c - a - 1) : "");
    }
    return keys;
}

// Real formatters on library files: an output whose tokens (as tokenize
// reads them) are unchanged compares equivalent; one whose tokens changed is
// reported at the first changed token, in both files.
TEST(PythonLexerTools, FormattersOnLibraryFiles)
{
    if (!haveTool("python3"))
        GTEST_SKIP() << "python3 is not installed";
    const char *const formatters[][2] = {{"black", "black -q - <"}, {"yapf3", "yapf3 <"}, {"autopep8", "autopep8 - <"}};
    ScratchDir dir;
    const std::string script = dir.file("reference.py");
    writeFile(script, kReference);
    const std::string files = commandOutput(
        "find /usr/lib/python3.*/ -name '*.py' -not -path '*/test*' -size +4k -size -40k 2>/dev/null | sort"
        " | awk 'NR % 60 == 7' | head -n 3");
    int outputs = 0;
    for (const auto &formatter : formatters) {
        if (!haveTool(formatter[0]))
            continue;
        for (std::size_t at = 0, next; at < files.size(); at = next + 1) {
            next = files.find('\n', at);
            const std::string path = files.substr(at, next - at);
            const std::string out = dir.file("formatted.py");
            writeFile(out, commandOutput(std::string(formatter[1]) + " '" + path + "' 2>/dev/null"));
            const std::string both = commandOutput("python3 '" + script + "' '" + path + "' '" + out + "' 2>/dev/null");
            const std::size_t second = both.find("\nF ");
            if (both.find("\nX\n") != std::string::npos || second == std::string::npos)
                continue;
            SCOPED_TRACE(std::string(formatter[0]) + " " + path);
            std::vector<std::string> placesA, placesB;
            const std::size_t bodyA = both.find('\n') + 1, bodyB = both.find('\n', second + 1) + 1;
            std::vector<std::string> a = referenceKeys(both.substr(bodyA, second + 1 - bodyA), placesA);
            std::vector<std::string> b = referenceKeys(both.substr(bodyB), placesB);
            std::size_t k = 0;
            while (k < a.size() && k < b.size() && a[k] == b[k])
                ++k;
            RunResult r = runMatchling({path, out, "--tokens", "--exit-status"}, dir.path());
            ++outputs;
            if (k == a.size() && k == b.size()) {
                EXPECT_EQ(r.status, 0) << r.out;
                continue;
            }
            EXPECT_EQ(r.status, 1) << r.out;
            auto place = [](const std::string &p) { return p.substr(0, p.find(' ')) + ", column " + p.substr(p.find(' ') + 1); };
            if (k < a.size() && k < b.size() && !placesA[k].empty() && !placesB[k].empty()) {
                EXPECT_NE(r.out.find("Token mismatch at line " + place(placesA[k]) + " of " + path), std::string::npos) << r.out;
                EXPECT_NE(r.out.find("Token mismatch at line " + place(placesB[k]) + " of " + out), std::string::npos) << r.out;
            }
        }
    }
    if (outputs == 0)
        GTEST_SKIP() << "none of black, yapf3 and autopep8 is installed, or no library files";
}

} // namespace
