// Java's accepted rewrites: braces, parentheses, trailing commas, numbers, each
// as a table of pairs that must compare equal or must differ under --allow,
// both ways round; and astyle and clang-format on the JDK's own sources with
// javac as the judge (the class files compared).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "lex_support.h"
#include "support.h"

namespace {

const RewriteSet kAll = 0xff;

void checkTable(std::vector<PairCase> cases, RewriteSet allow = kAll)
{
    checkRewritePairs(Language::Java, allow, std::move(cases));
}

TEST(JavaRewrites, Braces)
{
    checkTable({
        {"if", "if (c) { f(); }", "if (c) f();", true},
        {"if and else", "if (c) { f(); } else { g(); }", "if (c) f(); else g();", true},
        {"for", "for (int i = 0; i < n; i++) { s += i; }", "for (int i = 0; i < n; i++) s += i;", true},
        {"while", "while (x != null) { x = x.next; }", "while (x != null) x = x.next;", true},
        {"do", "do { i++; } while (i < 3);", "do i++; while (i < 3);", true},
        {"else if", "if (a) f(); else { if (b) g(); }", "if (a) f(); else if (b) g();", true},
        {"an if with nothing after", "if (a) { if (b) f(); }", "if (a) if (b) f();", true},
        {"try", "if (a) { try { f(); } catch (E e) { g(); } }", "if (a) try { f(); } catch (E e) { g(); }", true},
        {"dangling else", "if (a) { if (b) f(); } else g();", "if (a) if (b) f(); else g();", false},
        {"dangling else, deeper", "if (a) while (c) { if (b) f(); } else g();",
         "if (a) while (c) if (b) f(); else g();", false},
        {"a local variable", "if (c) { int x = f(); }", "if (c) int x = f();", false},
        {"a generic local", "if (c) { List<T> x = f(); }", "if (c) List<T> x = f();", false},
        {"a local class", "if (c) { class L {} }", "if (c) class L {}", false},
        {"two statements", "if (c) { f(); g(); }", "if (c) f(); g();", false},
        {"a lambda body", "r = () -> { f(); };", "r = () -> f();", false},
        {"a switch rule", "switch (x) { case 1 -> { f(); } }", "switch (x) { case 1 -> f(); }", false},
    });
}

TEST(JavaRewrites, Parens)
{
    checkTable({
        {"return value", "return (a + b);", "return a + b;", true},
        {"right-hand side", "x = (a * b);", "x = a * b;", true},
        {"compound assignment", "x += (a);", "x += a;", true},
        {"condition", "if ((a == b)) f();", "if (a == b) f();", true},
        {"not the whole value", "return (a) - b;", "return a - b;", false},
        {"a cast", "x = (int) y;", "x = int y;", false},
        {"a lambda", "x = (() -> 1);", "x = () -> 1;", false},
        {"an argument", "f((a));", "f(a);", false},
    });
}

TEST(JavaRewrites, TrailingCommas)
{
    checkTable({
        {"enum constants", "enum E { A, B, }", "enum E { A, B }", true},
        {"enum constants before a body", "enum E { A, B,; int x; }", "enum E { A, B; int x; }", true},
        {"array initializer", "int[] a = {1, 2,};", "int[] a = {1, 2};", true},
        {"array creation", "a = new int[] {1,};", "a = new int[] {1};", true},
        {"nested initializers", "int[][] a = {{1,}, {2},};", "int[][] a = {{1}, {2}};", true},
        {"arguments", "f(a, b,);", "f(a, b);", false},
        {"an enum body's fields", "enum E { A; int x, }", "enum E { A; int x }", false},
    });
}

TEST(JavaRewrites, Numbers)
{
    checkTable({
        {"hex prefix and digits", "0XFF", "0xff", true},
        {"long suffix", "1L", "1l", true},
        {"exponent", "1E5", "1e5", true},
        {"float suffix", "1.0F", "1.0f", true},
        {"separators", "1_000_000", "1000000", true},
        {"double spelling", "1.5e1", "15.0", true},
        {"double suffix", "1d", "1.0", true},
        {"leading dot", ".5", "0.5", true},
        {"octal separators", "0_17", "017", true},
        {"octal is not decimal", "017", "17", false},
        {"int against long", "1", "1L", false},
        {"float against double", "1.0f", "1.0", false},
        {"int against double", "1e5", "100000", false},
        {"misplaced separator", "1_", "1", false},
        {"radixes", "0x10", "16", false},
    });
}

TEST(JavaRewrites, OnlyTheNamedRewrites)
{
    checkTable({{"braces alone", "if (c) { f(); }", "if (c) f();", true},
                {"no numbers", "0XFF", "0xff", false},
                {"no commas", "int[] a = {1, 2,};", "int[] a = {1, 2};", false}},
               rewriteBit(Rewrite::Braces));
}

// Standard output of command, by way of a file in dir; empty when it fails.
std::string capture(const ScratchDir &dir, const std::string &command)
{
    const std::string out = dir.file("captured");
    if (std::system((command + " >'" + out + "' 2>/dev/null").c_str()) != 0)
        return "";
    return readFile(out);
}

// The names in directory path, sorted.
std::vector<std::string> listFiles(const ScratchDir &dir, const std::string &path)
{
    std::vector<std::string> names;
    const std::string text = capture(dir, "ls '" + path + "'");
    for (std::size_t i = 0, nl; (nl = text.find('\n', i)) != std::string::npos; i = nl + 1)
        names.push_back(text.substr(i, nl - i));
    return names;
}

// A JDK whose sources and javac both are here; empty when none.
std::string jdkWithSources(const ScratchDir &dir)
{
    const std::string found = capture(
        dir, "for z in /usr/lib/jvm/*/lib/src.zip; do d=${z%/lib/src.zip}; "
             "test -f \"$z\" && test -x \"$d/bin/javac\" && echo \"$d\"; done | sort | head -1");
    return found.empty() ? "" : found.substr(0, found.find('\n'));
}

// Compiles every source of tree (java/util/*.java, in java.base) at once into
// classes; returns the names of those javac rejects, and compiles the others
// again when there are some.
std::set<std::string> compile(const ScratchDir &dir, const std::string &jdk, const std::string &tree,
                              const std::string &classes)
{
    std::set<std::string> rejected;
    for (int round = 0; round < 2; ++round) {
        std::string files;
        for (const std::string &f : listFiles(dir, dir.file(tree + "/java/util")))
            if (!rejected.count(f))
                files += " '" + tree + "/java/util/" + f + "'";
        std::system(("cd '" + dir.path() + "' && rm -rf " + classes + " && mkdir " + classes).c_str());
        const std::string log = capture(dir, "{ cd '" + dir.path() + "' && '" + jdk +
                                                 "/bin/javac' -g:none -nowarn -XDignore.symbol.file --patch-module "
                                                 "java.base=" + tree + " -implicit:none -d " + classes + files +
                                                 " 2>&1; true; }");
        std::size_t before = rejected.size();
        for (std::size_t i = 0; (i = log.find(".java:", i)) != std::string::npos; ++i) {
            std::size_t start = log.rfind('/', i) + 1;
            rejected.insert(log.substr(start, i + 5 - start));
        }
        if (rejected.size() == before)
            break;
    }
    return rejected;
}

// javap's listing of the compiled classes, by the top-level class they belong to.
std::map<std::string, std::string> listings(const ScratchDir &dir, const std::string &jdk, const std::string &classes)
{
    std::map<std::string, std::string> out;
    const std::string text = capture(dir, "cd '" + dir.path() + "' && '" + jdk + "/bin/javap' -c -p -constants " +
                                              classes + "/java/util/*.class");
    std::string current;
    for (std::size_t i = 0, nl; (nl = text.find('\n', i)) != std::string::npos; i = nl + 1) {
        const std::string line = text.substr(i, nl - i);
        std::size_t at = line.find(" java.util.");
        if (!line.empty() && line[0] != ' ' && line[0] != '}' && at != std::string::npos &&
            (line.compare(0, at, "class") == 0 || line.find("class ") != std::string::npos ||
             line.find("interface ") != std::string::npos || line.find("enum ") != std::string::npos ||
             line.find("record ") != std::string::npos)) {
            std::size_t end = line.find_first_of("$<{ ", at + 11);
            current = line.substr(at + 11, end - at - 11);
        }
        out[current] += line + "\n";
    }
    return out;
}

constexpr int kJavaSources = 24;  // JDK sources of java.util taken, spread over them

// astyle (braces added, braces removed) and clang-format on the JDK's sources
// of java.util; javac compiles each tree as part of java.base, and --allow all
// must call equivalent exactly the pairs whose classes are the same.
TEST(JavaRewritesTools, FormattersJudgedByJavac)
{
    if (!haveTool("astyle") || !haveTool("unzip"))
        GTEST_SKIP() << "astyle or unzip is not installed";
    ScratchDir dir;
    const std::string jdk = jdkWithSources(dir);
    if (jdk.empty())
        GTEST_SKIP() << "no JDK with its sources (src.zip) and javac";
    if (std::system(("cd '" + dir.path() + "' && unzip -q '" + jdk + "/lib/src.zip' 'java.base/java/util/*' -d zip" +
                     " && mkdir -p t0/java/util && ls zip/java.base/java/util/*.java | awk 'NR % 5 == 1' | head -" +
                     std::to_string(kJavaSources) + " | xargs -I{} cp {} t0/java/util/")
                        .c_str()) != 0)
        GTEST_SKIP() << "the JDK's src.zip holds no java.util sources";
    std::vector<std::string> formatters = {"astyle --mode=java --add-braces --quiet",
                                           "astyle --mode=java --remove-braces --quiet",
                                           "astyle --mode=java --style=google --add-braces --quiet"};
    if (haveTool("clang-format"))
        formatters.push_back("clang-format --style='{BasedOnStyle: Google, ColumnLimit: 60}' --sort-includes=0 "
                             "--assume-filename=A.java");
    const std::set<std::string> rejected = compile(dir, jdk, "t0", "c0");
    const std::map<std::string, std::string> original = listings(dir, jdk, "c0");
    int outputs = 0, same = 0, accepted = 0, residue = 0, misses = 0;
    for (std::size_t k = 0; k < formatters.size(); ++k) {
        const std::string tree = "t" + std::to_string(k + 1), classes = "c" + std::to_string(k + 1);
        makeDir(dir.file(tree));
        makeDir(dir.file(tree + "/java"));
        makeDir(dir.file(tree + "/java/util"));
        for (const std::string &f : listFiles(dir, dir.file("t0/java/util")))
            std::system(("cd '" + dir.path() + "' && " + formatters[k] + " <t0/java/util/" + f + " >" + tree +
                         "/java/util/" + f + " 2>/dev/null")
                            .c_str());
        const std::set<std::string> broken = compile(dir, jdk, tree, classes);
        const std::map<std::string, std::string> formatted = listings(dir, jdk, classes);
        for (const std::string &f : listFiles(dir, dir.file("t0/java/util"))) {
            SCOPED_TRACE(formatters[k] + " " + f);
            const std::string a = "t0/java/util/" + f, b = tree + "/java/util/" + f, cls = f.substr(0, f.size() - 5);
            if (rejected.count(f) || readFile(dir.file(a)) == readFile(dir.file(b)))
                continue;
            ++outputs;
            const bool sameClasses = !broken.count(f) && original.count(cls) && formatted.count(cls) &&
                                     original.at(cls) == formatted.at(cls);
            RunResult r = runMatchling({a, b, "--tokens", "--allow", "all", "--exit-status"}, dir.path());
            same += sameClasses;
            accepted += sameClasses && r.status == 0;
            residue += sameClasses && r.status != 0;
            misses += !sameClasses && r.status == 0;
            EXPECT_FALSE(!sameClasses && r.status == 0) << "a different program called equivalent";
        }
    }
    std::printf("Java formatters: %d outputs, %d the same to javac, %d accepted, %d residue, %d misses\n", outputs,
                same, accepted, residue, misses);
    EXPECT_EQ(misses, 0);
    EXPECT_EQ(residue, 0);  // measured: none on these sources
    EXPECT_GT(accepted, 0);
}

}  // namespace
