#include "lex_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>

#include "support.h"
#include "tokens/show.h"
#include "tree_judge.h"

namespace {

ScratchDir &scratch()
{
    static ScratchDir dir;
    return dir;
}

} // namespace

namespace {

// Every token that next gives, End included, checking how pieces come.
template <typename Next>
std::vector<Tok> collectTokens(Next next)
{
    std::vector<Tok> out;
    TokenPiece piece;
    bool open = false;
    do {
        next(piece);
        EXPECT_EQ(piece.first, !open) << "a token starts exactly after the last piece of the one before";
        if (piece.first)
            out.push_back({piece.kind, "", piece.place.line, piece.place.column, piece.note.kinds});
        else
            EXPECT_TRUE(piece.length > 0 && piece.kind == out.back().kind && piece.place.line == out.back().line &&
                        piece.place.column == out.back().column);
        out.back().key.append(piece.bytes, piece.length);
        open = !piece.last;
    } while (!(piece.kind == TokenKind::End && piece.last));
    return out;
}

void nextFromLexer(void *self, TokenPiece &piece)
{
    lexerNext(*static_cast<Lexer *>(self), piece);
}

} // namespace

namespace {

// What collect gives of a lexer started on the file at path.
template <typename Collect>
std::vector<Tok> withLexer(const std::string &path, Language language, const LexOptions &options, Collect collect)
{
    static std::unique_ptr<Lexer> lexer = std::make_unique<Lexer>();
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) {
        ADD_FAILURE() << "cannot open " << path;
        return {};
    }
    SourceStream source;
    source.stream = f;
    lexerStart(*lexer, language, options, source);
    std::vector<Tok> out = collect(*lexer);
    std::fclose(f);
    return out;
}

} // namespace

std::vector<Tok> lexFile(const std::string &path, Language language, const LexOptions &options, RewriteSet allow)
{
    static std::unique_ptr<Rewriter> rewriter = std::make_unique<Rewriter>();
    LexOptions withAllow = options;  // as a run sets it, for the streams a module reads inside its own
    withAllow.allow = allow;
    return withLexer(path, language, withAllow, [&](Lexer &lexer) {
        if (!allow)
            return collectTokens([&](TokenPiece &piece) { lexerNext(lexer, piece); });
        rewriterStart(*rewriter, language, allow, RewriteSource{&lexer, nextFromLexer});
        return collectTokens([&](TokenPiece &piece) { rewriterNext(*rewriter, piece); });
    });
}

std::vector<Tok> lexFileInRuns(const std::string &path, Language language, std::size_t runMax, std::size_t keyBytes,
                               const LexOptions &options)
{
    std::vector<QuickToken> run(runMax);
    std::size_t at = 0, count = 0;
    bool open = false;
    return withLexer(path, language, options, [&](Lexer &lexer) {
        return collectTokens([&](TokenPiece &piece) {
            if (at == count && !open) {
                at = 0;
                count = lexerRun(lexer, run.data(), runMax, keyBytes);
                EXPECT_LE(count, runMax);
                std::size_t bytes = 0;
                for (std::size_t k = 0; k < count; ++k) {
                    bytes += run[k].length;
                    EXPECT_EQ(std::memchr(run[k].bytes, 0, run[k].length), nullptr) << "a zero byte in a run's key";
                }
                EXPECT_LE(bytes, keyBytes);
            }
            if (at < count) {
                const QuickToken &t = run[at++];
                piece = TokenPiece{};
                piece.kind = t.kind;
                piece.place = t.place;
                piece.bytes = t.bytes;
                piece.length = t.length;
                return;
            }
            lexerNext(lexer, piece);
            open = !piece.last;
        });
    });
}

std::vector<Tok> lexText(const std::string &text, Language language, const LexOptions &options, RewriteSet allow)
{
    const std::string path = scratch().file("source");
    writeFile(path, text);
    return lexFile(path, language, options, allow);
}

std::vector<std::string> keysOf(const std::vector<Tok> &tokens)
{
    std::vector<std::string> keys;
    for (const Tok &t : tokens)
        keys.push_back(t.key);
    return keys;
}

std::vector<std::string> describeFromMemory(
    const std::string &text, Language language, const LexOptions &options,
    const std::function<std::string(const std::string &key, const TokenPiece &last)> &describe)
{
    std::unique_ptr<Lexer> lexer(new Lexer);
    SourceStream source;
    source.bytes = text.data();
    source.remaining = static_cast<std::int64_t>(text.size());
    lexerStart(*lexer, language, options, source);
    std::vector<std::string> out;
    std::string key;
    TokenPiece piece;
    do {
        spelledNext(*lexer, piece);
        if (piece.first)
            key.clear();
        key.append(piece.bytes, piece.length);
        if (piece.last)
            out.push_back(describe(key, piece));
    } while (piece.kind != TokenKind::End);
    return out;
}

std::string refusalOf(const std::string &text, Language language, const LexOptions &options)
{
    const std::string path = scratch().file("source");
    writeFile(path, text);
    std::string why;
    withLexer(path, language, options, [&](Lexer &lexer) {
        std::vector<Tok> out = collectTokens([&](TokenPiece &piece) { lexerNext(lexer, piece); });
        why = lexerRefusal(lexer) ? lexerRefusal(lexer) : "";
        return out;
    });
    return why;
}

void checkRefusals(Language language, const std::vector<RefusalCase> &cases)
{
    for (const RefusalCase &c : cases)
        EXPECT_EQ(refusalOf(c.text, language), c.reason) << c.text;
}

long firstDifference(const std::vector<Tok> &a, const std::vector<Tok> &b)
{
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i].kind != b[i].kind || a[i].key != b[i].key)
            return static_cast<long>(i);
    return a.size() == b.size() ? -1 : static_cast<long>(std::min(a.size(), b.size()));
}

void checkPairs(const std::vector<PairCase> &cases)
{
    for (const PairCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Tok> a = lexText(c.a, c.language, c.options, c.allow);
        std::vector<Tok> b = lexText(c.b, c.language, c.options, c.allow);
        long ab = firstDifference(a, b), ba = firstDifference(b, a);
        EXPECT_EQ(ab, ba);
        EXPECT_EQ(ab < 0, c.equal);
        if (ab < 0 || c.equal || c.aLine == 0)  // a refused pair whose places the table leaves out
            continue;
        EXPECT_EQ(a[ab].line, c.aLine) << a[ab].key;
        EXPECT_EQ(a[ab].column, c.aColumn) << a[ab].key;
        EXPECT_EQ(b[ab].line, c.bLine) << b[ab].key;
        EXPECT_EQ(b[ab].column, c.bColumn) << b[ab].key;
    }
}

void checkPairs(Language language, std::vector<PairCase> cases)
{
    for (PairCase &c : cases)
        c.language = language;
    checkPairs(cases);
}

void checkRewritePairs(Language language, RewriteSet allow, std::vector<PairCase> cases)
{
    for (PairCase &c : cases)
        c.allow = allow;
    checkPairs(language, cases);
}

// What command writes to its standard output.
std::string commandOutput(const std::string &command)
{
    std::string out;
    if (std::FILE *p = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;)
            out.append(buffer, n);
        pclose(p);
    }
    return out;
}

std::vector<std::string> commandLines(const std::string &command)
{
    std::vector<std::string> out;
    const std::string text = commandOutput(command);
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        out.push_back(line);
        at = end + 1;
    }
    return out;
}

// The Rust source that the rustdoc source page at path shows, without its
// line numbers; empty when it shows none.
std::string rustdocSource(const std::string &path)
{
    const std::string page = readFile(path), open = "<pre class=\"rust\"><code>";
    std::size_t i = page.find(open), end = page.find("</code></pre>");
    if (i == std::string::npos || end == std::string::npos)
        return "";
    std::string out;
    for (i += open.size(); i < end;) {
        if (page[i] == '<') {
            std::size_t close = page.find('>', i);
            bool lineNumber = page.substr(i, close - i).find("data-nosnippet") != std::string::npos;
            i = lineNumber ? page.find("</a>", close) + 4 : close + 1;
        } else if (page[i] == '&') {
            std::size_t semi = page.find(';', i);
            const std::string entity = page.substr(i, semi + 1 - i);
            out += entity == "&lt;" ? "<" : entity == "&gt;" ? ">" : entity == "&quot;" ? "\"" : "&";
            i = semi + 1;
        } else {
            out += page[i++];
        }
    }
    return out;
}

bool haveTool(const char *tool)
{
    if (missing(Facility::PosixShell))
        return false;
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

std::string npmTool(const char *tool)
{
    const std::string local = std::string(MATCHLING_NPM_TOOLS) + "/" + tool;
    if (missing(Facility::PosixShell))
        return "";
    if (std::system(("test -x '" + local + "'").c_str()) == 0)
        return local;
    return haveTool(tool) ? tool : "";
}

std::map<std::string, JudgeTally> judgePairs(const std::string &command, Language (*languageOf)(const std::string &))
{
    std::map<std::string, JudgeTally> tallies;
    for (const std::string &line : commandLines(command)) {
        std::istringstream fields(line);
        std::string kind, language, verdict, a, b;
        fields >> kind >> language >> verdict >> a >> b;
        const Language lang = languageOf(language);
        const std::string ta = readFile(a), tb = readFile(b);
        const bool flagged = !refusalOf(ta, lang).empty() || !refusalOf(tb, lang).empty() ||
                             firstDifference(lexText(ta, lang), lexText(tb, lang)) != -1;
        JudgeTally &t = tallies[kind];
        if (verdict == "same") {
            ++t.same;
            t.falseAlarms += flagged;
            if (kind == "relayout" || kind == "mutant") {
                EXPECT_FALSE(flagged) << "false alarm: " << a << " against " << b;
            }
        } else {
            ++t.different;
            t.misses += !flagged;
            EXPECT_TRUE(flagged) << "miss: " << a << " against " << b;
        }
    }
    for (const auto &[kind, t] : tallies) {
        std::printf("%s: %d pairs the same to the reader, %d false alarms; %d different, %d misses\n", kind.c_str(),
                    t.same, t.falseAlarms, t.different, t.misses);
        EXPECT_LE(t.falseAlarms * 50, t.same) << kind << ": more than 2% false alarms";
    }
    return tallies;
}

bool mutate(std::string &text, const std::regex &pattern, std::string (*make)(const std::smatch &))
{
    std::smatch m;
    if (!std::regex_search(text, m, pattern))
        return false;
    text = m.prefix().str() + make(m) + m.suffix().str();
    return true;
}

void writeMutants(const std::string &root, const std::string &stem, const std::string &text,
                  const std::string *mutants, const bool *ok, int kinds, int *made, int limit)
{
    for (int k = 0; k < kinds; ++k)
        if (ok[k] && made[k] < limit && mutants[k] != text) {
            ++made[k];
            const std::string out = std::to_string(k) + "-" + stem;
            writeFile(root + kDirSeparator + "mut/" + out, mutants[k]);
            writeFile(root + kDirSeparator + "base/" + out, text);
        }
}

std::string npmDir()
{
    return std::string(MATCHLING_NPM_TOOLS) + "/../..";
}

void copyNumbered(const std::vector<std::string> &files, const std::string &dir)
{
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string &f = files[i];
        char prefix[24];
        std::snprintf(prefix, sizeof prefix, "%03zu-", i + 1);
        writeFile(dir + "/" + prefix + f.substr(f.rfind('/') + 1), readFile(f));
    }
}

void copySamples(const std::string &dir, const std::string &language)
{
    copyNumbered(commandLines("find '" + std::string(MATCHLING_SOURCE_DIR) + "/tests/languages/" + language + "' '" +
                              npmDir() + "/node_modules' -name '*." + language +
                              "' -size -100k -type f 2>/dev/null | sort | head -200"),
                 dir);
}

int prettierCopy(const std::string &root, const char *dir, const std::string &prettier, const std::string &options)
{
    return std::system(("cd '" + root + "' && cp -r orig " + dir + " && cd " + dir + " && '" + prettier + "' " +
                        options + " --write --log-level silent --no-config --ignore-path= . >/dev/null 2>&1; true")
                           .c_str());
}

TreeTally judgeTrees(const std::string &command, const std::string &root, const std::string &a, const std::string &b,
                     const char *embedded, const std::vector<std::string> &options)
{
    TreeTally t;
    std::vector<std::string> args = {a, b, "--tokens"};
    args.insert(args.end(), options.begin(), options.end());
    const RunResult r = runMatchling(args, root);
    for (const std::string &line : commandLines(command + " '" + root + "/" + a + "' '" + root + "/" + b + "'")) {
        // "NAME VERDICT": the name may hold blanks.
        const std::size_t blank = line.rfind(' ');
        if (blank == std::string::npos)
            continue;
        const std::string name = line.substr(0, blank), verdict = line.substr(blank + 1);
        const bool refused = r.out.find(": " + name + " (") != std::string::npos;
        const bool different = r.out.find("Not equivalent: " + name + " ") != std::string::npos ||
                               r.out.find("Unable to compare: " + name + " ") != std::string::npos;
        if (verdict == "same") {
            ++t.same;
            t.falseAlarms += different;
            if (different)
                std::printf("false alarm: %s against %s: %s\n", a.c_str(), b.c_str(), name.c_str());
        } else if (verdict == "differ" || verdict == "different" || verdict == "changed") {
            ++t.differ;
            t.misses += !different;
            EXPECT_TRUE(different) << "miss: " << a << " against " << b << ": " << name;
        } else if (embedded) {
            ++t.embedded;
        } else {
            continue;
        }
        ++t.pairs;
        t.refused += refused;
        t.changed += readFile(root + "/" + a + "/" + name) != readFile(root + "/" + b + "/" + name);
    }
    std::printf("%s against %s: %d pairs (%d changed, %d refused); %d the judge calls the same, %d false alarms; "
                "%d it calls different, %d misses",
                a.c_str(), b.c_str(), t.pairs, t.changed, t.refused, t.same, t.falseAlarms, t.differ, t.misses);
    if (embedded)
        std::printf("; %d %s", t.embedded, embedded);
    std::printf("\n");
    return t;
}
