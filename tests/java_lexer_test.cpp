// Tests of the Java lexer: pairs that must be equal or differ, text blocks,
// the '>' rule, Unicode escapes, and javac's own scanner as a reference on the
// JDK's sources, plain and through clang-format and astyle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "lex_support.h"
#include "support.h"

#include <cctype>
#include <cstdio>

namespace {

const Language J = Language::Java;

LexOptions withComments()
{
    LexOptions o;
    o.comments = true;
    return o;
}

TEST(JavaLexer, LayoutOnlyIsEqual)
{
    checkPairs(J, {
        {"re-indented", "class A {\n  int f() { return 1; }\n}\n", "class A\n{\n\tint f()\n\t{\n\t\treturn 1;\n\t}\n}", true},
        {"comments", "a = b; // one\n/* two */ c();", "a = b;\nc();", true},
        {"lone CR and CR LF", "a\rb\r\nc", "a\nb\nc", true},
        {"shift against two closers", "List<List<String>> x;", "List<List<String> > x;", true},
        {"three closers", "A<B<C<D>>> x;", "A<B<C<D> >> x;", true},
        {"unsigned shift split", "x = a >>> b;", "x = a > > > b;", true},
        {"re-indented text block", "s = \"\"\"\n    a\n      b\n    \"\"\";", "s = \"\"\"\n  a\n    b\n  \"\"\";", true},
        {"text block trailing blanks", "s = \"\"\"\n  a  \n  b\"\"\";", "s = \"\"\"\n  a\n  b\"\"\";", true},
        {"text block blank line", "s = \"\"\"\n  a\n   \n  b\n  \"\"\";", "s = \"\"\"\n  a\n\n  b\n  \"\"\";", true},
        {"text block opening blanks and CR LF", "s = \"\"\"  \r\n  a\r\n  \"\"\";", "s = \"\"\"\n  a\n  \"\"\";", true},
        {"text block with tabs", "s = \"\"\"\n\t\ta\n\t\t\"\"\";", "s = \"\"\"\n    a\n    \"\"\";", true},
        {"annotation and method reference", "@Override void f() { g(A :: b); }", "@Override\nvoid f(){g(A::b);}", true},
        {"non-sealed", "non-sealed class A {}", "non-sealed\nclass A {}", true},
        {"reflowed comment words", "/* one two\n * three */ x;", "/*\n * one\n * two three\n */ x;", true, 0, 0, 0, 0,
         J, withComments()},
        {"harmless escape in a comment", "// \\u005Cb\nx;", "x;", true},
    });
}

TEST(JavaLexer, ChangedCodeDiffers)
{
    checkPairs(J, {
        {"names joined", "final int x;", "finalint x;", false, 1, 1, 1, 1},
        {"blank inside a string", "s = \"a b\";", "s = \"ab\";", false, 1, 5, 1, 5},
        {"blank inside a text block line", "s = \"\"\"\n  a b\n  \"\"\";", "s = \"\"\"\n  ab\n  \"\"\";", false, 1, 5, 1, 5},
        {"text block line moved out", "s = \"\"\"\n    a\n    b\n    \"\"\";", "s = \"\"\"\n    a\n  b\n    \"\"\";", false, 1,
         5, 1, 5},
        {"text block closing line moved", "s = \"\"\"\n    a\n    \"\"\";", "s = \"\"\"\n    a\n  \"\"\";", false, 1, 5, 1, 5},
        {"text block line joined", "s = \"\"\"\n  a\n  b\"\"\";", "s = \"\"\"\n  a b\"\"\";", false, 1, 5, 1, 5},
        {"shift assignment stays whole", "x >>= 1;", "x > >= 1;", false, 1, 3, 1, 3},
        {"unsigned shift assignment stays whole", "x >>>= 1;", "x >> >= 1;", false, 1, 3, 1, 3},
        {"greater or equal stays whole", "a >= b;", "a > = b;", false, 1, 3, 1, 3},
        {"lambda arrow", "f(x -> y);", "f(x - > y);", false, 1, 5, 1, 5},
        {"method reference", "f(A::b);", "f(A: :b);", false, 1, 4, 1, 4},
        {"unary minus twice", "y = a - -b;", "y = a--b;", false, 1, 7, 1, 6},
        {"code moved into a comment", "a; b;", "a; // b;", false, 1, 4, 1, 3},
        {"line comment ends at a lone CR", "// c\rb;", "// c b;", false, 1, 6, 1, 1},
        {"hex exponent", "x = 0x1p-3;", "x = 0x1p - 3;", false, 1, 5, 1, 5},
        {"hex digit e is no exponent", "x = 0xE+1;", "x = 0xE+ 1;", true},
        {"decimal exponent", "x = 1e-3;", "x = 1e - 3;", false, 1, 5, 1, 5},
        {"number suffix", "x = 1L;", "x = 1 L;", false, 1, 5, 1, 5},
        {"float", "x = 1.5f;", "x = 1 .5f;", false, 1, 5, 1, 5},
        {"underscores", "x = 1_000;", "x = 1 _000;", false, 1, 5, 1, 5},
        {"char literal", "c = ' ';", "c = '';", false, 1, 5, 1, 5},
        {"non-sealed against a subtraction", "non-sealed class A {}", "non - sealed class A {}", false, 1, 1, 1, 1},
        {"escape that closes a string", "s = \"\\u0022 + x + \\u0022\";", "s = \"\\u0022 +x+ \\u0022\";", false, 1, 5, 1, 5},
        {"escape that ends a line comment", "// \\u000a a = 1;\nb;", "// \\u000a a =  1;\nb;", false, 1, 1, 1, 1},
        {"escape that ends a block comment", "/* \\u002a/ a b */ c;", "/* \\u002a/ ab */ c;", false, 1, 1, 1, 1},
        {"escape in code", "a\\u0062 c;", "a \\u0062 c;", false, 1, 1, 1, 1},
        {"edited comment word", "x; /* one two */", "x; /* one too */", false, 1, 11, 1, 11, J, withComments()},
    });
}

struct KeyCase {
    const char *name;
    std::string input;
    std::vector<std::string> keys;  // Code tokens' keys, in order
};

TEST(JavaLexer, Keys)
{
    const KeyCase cases[] = {
        {"operators by longest match", "a>>>=b<<=c...d::e->f@g", {"a", ">>>=", "b", "<<=", "c", "...", "d", "::", "e", "->", "f", "@", "g"}},
        {"runs of '>'", "a>>>>=b>>c", {"a", ">", ">", ">", ">=", "b", ">", ">", "c"}},
        {"numbers", "0x1.8p+3 1e+5d 0b1010L 017 .5f 1_0.e-2", {"0x1.8p+3", "1e+5d", "0b1010L", "017", ".5f", "1_0.e-2"}},
        {"hex number then plus", "0x1e+2", {"0x1e", "+", "2"}},
        {"names with $ and Unicode", "$a _b \xc3\xa9t\xc3\xa9", {"$a", "_b", "\xc3\xa9t\xc3\xa9"}},
        {"escaped quotes", "\"a\\\"b\" '\\''", {"\"a\\\"b\"", "'\\''"}},
        {"text block with indentation removed", "\"\"\"\n    a\n      b\\n\n    \"\"\"", {"\"\"\"\na\n  b\\n\n\"\"\""}},
        {"text block closing after content", "\"\"\"\n   a\n  b  \"\"\"", {"\"\"\"\n a\nb\"\"\""}},
        {"text block with an escaped closer", "\"\"\"\n  a\\\"\"\"\n  \"\"\"", {"\"\"\"\na\\\"\"\"\n\"\"\""}},
        {"text block with an escape kept as written", "\"\"\"\n  \\u0041\n  \"\"\"", {"\"\"\"\n  \\u0041\n  \"\"\""}},
        {"text block with Unicode at a line start", "\"\"\"\n  \xe3\x80\x80" "a\n  \"\"\"", {"\"\"\"\n  \xe3\x80\x80" "a\n  \"\"\""}},
        {"escape in code makes the rest one token", "a; b\\u0063 d;\n e", {"a", ";", "b\\u0063 d;\n e"}},
        {"unterminated string ends at its line", "\"ab\nc", {"\"ab", "c"}},
    };
    for (const KeyCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> keys;
        for (const Tok &t : lexText(c.input, J))
            if (t.kind == TokenKind::Code)
                keys.push_back(t.key);
        EXPECT_EQ(keys, c.keys);
    }
}

TEST(JavaLexer, Places)
{
    const struct {
        const char *name;
        std::string input;
        std::size_t index;
        std::string key;
        std::int64_t line, column;
    } cases[] = {
        {"after a text block", "s = \"\"\"\n  a\r\n  \"\"\"; x", 4, "x", 3, 8},
        {"after a block comment", "/* a\n b */ x", 0, "x", 2, 7},
        {"second '>' of a shift", "a>>b", 2, ">", 1, 3},
        {"after the rest made one token", "a \\u0000\n b", 2, "", 2, 3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Tok> t = lexText(c.input, J);
        ASSERT_LT(c.index, t.size());
        EXPECT_EQ(t[c.index].key, c.key);
        EXPECT_EQ(t[c.index].line, c.line);
        EXPECT_EQ(t[c.index].column, c.column);
    }
}

// Text blocks and comments longer than the window come out as written.
TEST(JavaLexer, LongTokens)
{
    const std::string big(kLexWindowSize + 100, 'x');
    const std::string block = "\"\"\"\n  " + big + "\n  \"\"\"";
    std::vector<Tok> t = lexText("s = " + block + "; y", J);
    ASSERT_EQ(t.size(), 6u);
    EXPECT_TRUE(t[2].key == block);
    EXPECT_EQ(t[4].key, "y");
    EXPECT_EQ(t[4].line, 3);
    t = lexText("/* " + big + " */ z", J);
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[1].key, "z");
    const std::string pad(kLexWindowSize - 2, ' ');
    EXPECT_EQ(lexText(pad + "a>>>b", J)[3].key, ">");
}

constexpr std::size_t kJdkFiles = 30;  // JDK source files sampled, spread over the archive

// The first JDK source archive on this machine (Debian's openjdk-17-source
// first), or "".
std::string jdkSources()
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists("/usr/lib/jvm/java-17-openjdk-amd64/lib/src.zip", ec))
        return "/usr/lib/jvm/java-17-openjdk-amd64/lib/src.zip";
    std::vector<std::string> found;
    for (const auto &e : fs::directory_iterator("/usr/lib/jvm", ec))
        if (fs::exists(e.path() / "lib" / "src.zip", ec))
            found.push_back((e.path() / "lib" / "src.zip").string());
    std::sort(found.begin(), found.end());
    return found.empty() ? "" : found.front();
}

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// Extracts kJdkFiles .java files spread over zip, and a few that hold text
// blocks, into dir/before (flat); returns their names.
std::vector<std::string> extractSample(const std::string &zip, const ScratchDir &dir)
{
    const std::string list = dir.file("list");
    if (std::system(("unzip -Z1 '" + zip + "' > '" + list + "'").c_str()) != 0)
        return {};
    std::vector<std::string> java;
    for (const std::string &l : lines(readFile(list)))
        if (l.size() > 5 && l.compare(l.size() - 5, 5, ".java") == 0)
            java.push_back(l);
    std::sort(java.begin(), java.end());
    std::vector<std::string> picked = {"java.base/sun/security/ssl/Alert.java", "java.base/sun/security/ssl/ServerHello.java",
                                       "java.base/java/lang/invoke/VarHandles.java"};
    for (std::size_t k = 0; k < java.size(); k += java.size() / kJdkFiles + 1)
        picked.push_back(java[k]);
    std::string command = "unzip -qq -o '" + zip + "'";
    for (const std::string &p : picked)
        command += " '" + p + "'";
    std::system((command + " -d '" + dir.file("tree") + "' >/dev/null 2>&1").c_str());
    std::vector<std::string> names;
    makeDir(dir.file("before"));
    for (const std::string &p : picked) {
        std::string name = p;
        std::replace(name.begin(), name.end(), '/', '_');
        const std::string text = readFile(dir.file("tree/" + p));
        if (!text.empty() && std::find(names.begin(), names.end(), name) == names.end()) {
            writeFile(dir.file("before/" + name), text);
            names.push_back(name);
        }
    }
    return names;
}

// javac's tokens of each file, as tests/java/JavacTokens.java prints them,
// with ">>" and ">>>" split as the lexer splits them; empty when java fails.
std::vector<std::vector<std::string>> javacTokens(const std::vector<std::string> &paths, const ScratchDir &dir)
{
    std::string command = "java --add-exports jdk.compiler/com.sun.tools.javac.parser=ALL-UNNAMED "
                          "--add-exports jdk.compiler/com.sun.tools.javac.util=ALL-UNNAMED '" MATCHLING_EXAMPLES
                          "/../tests/java/JavacTokens.java'";
    for (const std::string &p : paths)
        command += " '" + p + "'";
    if (std::system((command + " > '" + dir.file("javac.out") + "' 2>/dev/null").c_str()) != 0)
        return {};
    std::vector<std::vector<std::string>> out;
    for (const std::string &l : lines(readFile(dir.file("javac.out")))) {
        if (l == "<file>")
            out.emplace_back();
        else if (!out.empty() && (l == ">>" || l == ">>>"))
            out.back().insert(out.back().end(), l.size(), ">");
        else if (!out.empty())
            out.back().push_back(l);
    }
    return out.size() == paths.size() ? out : std::vector<std::vector<std::string>>{};
}

// Our Code tokens' keys of the file at path, line feeds written as "\n",
// "non-sealed" as javac's three tokens.
std::vector<std::string> ourTokens(const std::string &path)
{
    std::vector<std::string> out;
    for (const Tok &t : lexFile(path, J)) {
        if (t.kind != TokenKind::Code)
            continue;
        if (t.key == "non-sealed") {
            out.insert(out.end(), {"non", "-", "sealed"});
            continue;
        }
        std::string key;
        for (char c : t.key)
            key += c == '\n' ? std::string("\\n") : std::string(1, c);
        out.push_back(key);
    }
    return out;
}

bool haveJavaTools()
{
    return haveTool("java") && haveTool("unzip");
}

// Our tokens against javac's scanner on JDK sources.
TEST(JavaLexerTools, AgreesWithJavac)
{
    const std::string zip = jdkSources();
    if (zip.empty() || !haveJavaTools())
        GTEST_SKIP() << "no JDK source archive (openjdk-17-source), java or unzip on this machine";
    ScratchDir dir;
    std::vector<std::string> names = extractSample(zip, dir), paths;
    ASSERT_FALSE(names.empty());
    for (const std::string &n : names)
        paths.push_back(dir.file("before/" + n));
    std::vector<std::vector<std::string>> javac = javacTokens(paths, dir);
    ASSERT_EQ(javac.size(), paths.size()) << "javac's scanner did not run";
    for (std::size_t k = 0; k < paths.size(); ++k) {
        SCOPED_TRACE(names[k]);
        EXPECT_EQ(ourTokens(paths[k]), javac[k]);
    }
}

// Index of the first token where a and b differ; -1 when none.
long firstDiff(const std::vector<std::string> &a, const std::vector<std::string> &b)
{
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i])
            return static_cast<long>(i);
    return a.size() == b.size() ? -1 : static_cast<long>(std::min(a.size(), b.size()));
}

// Edits that change only blanks: each is a program change or not as javac's
// tokens say. Returns the edited text, or "" when the edit finds no place.
std::string joinWords(const std::string &t)
{
    std::size_t at = t.find("static final ");
    return at == std::string::npos ? "" : t.substr(0, at + 6) + t.substr(at + 7);
}

std::string blankIntoString(const std::string &t)
{
    for (std::size_t at = t.find("= \""); at != std::string::npos; at = t.find("= \"", at + 1))
        if (std::isalpha(static_cast<unsigned char>(t[at + 3])))
            return t.substr(0, at + 3) + " " + t.substr(at + 3);
    return "";
}

// The first text block with a blank put inside its first content line
// (inside is true), or with every content line and its closing line indented
// by two more blanks; "" when there is none.
std::string editTextBlock(const std::string &t, bool inside)
{
    const std::size_t open = t.find("\"\"\"\n");
    if (open == std::string::npos)
        return "";
    const std::size_t first = open + 4, close = t.find("\"\"\"", first);
    if (inside) {
        std::size_t word = t.find_first_not_of(' ', first);
        return t.substr(0, word + 1) + " " + t.substr(word + 1);
    }
    std::string out = t.substr(0, first);
    std::size_t at = first;
    for (; at <= close; at = t.find('\n', at) + 1)
        out += "  " + t.substr(at, t.find('\n', at) + 1 - at);
    return out + t.substr(at);
}

// clang-format and astyle on JDK sources, and edits of blanks: the utility
// calls a pair equivalent exactly when javac's tokens are the same, and names
// javac's first differing token otherwise.
// text, a line end shown as "\\n", without the blanks after each line end.
std::string withoutIndentation(const std::string &text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text.compare(i, 2, "\\n") == 0) {
            out += 'n';
            for (i += 2; i < text.size() && (text[i] == ' ' || text[i] == '\t'); ++i) {
            }
            --i;
        }
    }
    return out;
}

TEST(JavaLexerTools, FormattersAndBlankEditsOnJdkSources)
{
    const std::string zip = jdkSources();
    if (zip.empty() || !haveJavaTools())
        GTEST_SKIP() << "no JDK source archive (openjdk-17-source), java or unzip on this machine";
    ScratchDir dir;
    std::vector<std::string> names = extractSample(zip, dir);
    ASSERT_FALSE(names.empty());
    std::vector<std::pair<std::string, std::string>> commands;
    if (haveTool("clang-format"))
        for (const char *style : {"Google", "Mozilla"})
            commands.push_back({style, std::string("clang-format --style=") + style + " --assume-filename=X.java"});
    if (haveTool("astyle"))
        commands.push_back({"astyle", "astyle --mode=java --style=allman"});
    std::vector<std::string> pairs;  // "folder/name"
    for (const auto &c : commands) {
        makeDir(dir.file(c.first));
        for (const std::string &n : names) {
            std::string to = dir.file(c.first + "/" + n);
            if (std::system((c.second + " < '" + dir.file("before/" + n) + "' > '" + to + "' 2>/dev/null").c_str()) == 0)
                pairs.push_back(c.first + "/" + n);
        }
    }
    makeDir(dir.file("edits"));
    for (const std::string &n : names) {
        const std::string text = readFile(dir.file("before/" + n));
        const std::string edits[] = {joinWords(text), blankIntoString(text), editTextBlock(text, true),
                                     editTextBlock(text, false)};
        for (std::size_t e = 0; e < 4; ++e)
            if (!edits[e].empty()) {
                writeFile(dir.file("edits/" + std::to_string(e) + n), edits[e]);
                pairs.push_back("edits/" + std::to_string(e) + n);
            }
    }
    std::vector<std::string> paths;
    for (const std::string &n : names)
        paths.push_back(dir.file("before/" + n));
    for (const std::string &p : pairs)
        paths.push_back(dir.file(p));
    std::vector<std::vector<std::string>> javac = javacTokens(paths, dir);
    ASSERT_EQ(javac.size(), paths.size()) << "javac's scanner did not run";
    std::map<std::string, std::pair<int, int>> counts;  // by folder: unchanged, changed
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        const std::string &p = pairs[k];
        std::string name = p.substr(p.find('/') + 1);
        if (p.compare(0, 6, "edits/") == 0)
            name = name.substr(1);
        SCOPED_TRACE(p);
        const std::size_t original = static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
        const std::vector<std::string> &a = javac[original], &b = javac[names.size() + k];
        long d = firstDiff(a, b);
        RunResult r = runMatchling({"before/" + name, p, "--tokens", "--exit-status"}, dir.path());
        EXPECT_EQ(r.status, d < 0 ? 0 : 1) << r.out;
        std::pair<int, int> &count = counts[p.substr(0, p.find('/'))];
        if (d < 0) {
            ++count.first;
            continue;
        }
        ++count.second;
        std::string named = "Matchling==> Token from before/" + name + " '";
        std::size_t at = r.out.find(named);
        ASSERT_NE(at, std::string::npos) << r.out;
        std::string token = static_cast<std::size_t>(d) < a.size() ? a[static_cast<std::size_t>(d)] : "";
        if (token == "<error>" || (static_cast<std::size_t>(d) < b.size() && b[static_cast<std::size_t>(d)] == "<error>"))
            continue;  // the edit broke a token: javac names no token to compare with
        // The report shows the token as the file spells it, a text block with
        // the indentation javac takes off; a long one around where it differs.
        const std::size_t from = at + named.size();
        std::string shown = withoutIndentation(r.out.substr(from, r.out.find("' \n", from) - from));
        token = withoutIndentation(token);
        const bool excerpt =
            r.out.compare(r.out.find('\n', from) + 1, 30, "Matchling==> Difference at line") == 0;
        if (excerpt) {
            shown = shown.substr(std::min(shown.find_first_not_of(" \t"), shown.size()), 40);
            EXPECT_NE(token.find(shown), std::string::npos) << "javac's first changed token: " << token << "\n" << r.out;
            continue;
        }
        shown = shown.substr(0, 60);
        EXPECT_EQ(token.compare(0, shown.size(), shown), 0) << "javac's first changed token: " << token << "\n" << r.out;
    }
    for (const auto &c : counts)
        std::printf("%s: %d pairs with javac's tokens unchanged, %d changed\n", c.first.c_str(), c.second.first,
                    c.second.second);
}

} // namespace
