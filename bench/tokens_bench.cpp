// Micro-benchmark of the C-family lexer, in bytes per second of source text
// on one core: the whole text lexed from a temporary file already in the page
// cache, every piece taken.
//
// The text is the one bench/normalize_bench.cpp reads: the file or folder
// named by MATCHLING_BENCH_SOURCE, or else the one chosen when building (by
// default this compiler's standard library headers), or else this project's
// own sources; a folder is read whole, its files in byte order of path.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#ifdef MATCHLING_HAVE_CMARK_GFM
#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm-extension_api.h>
#include <cmark-gfm.h>
#endif
#ifdef MATCHLING_HAVE_LIBFYAML
#include <libfyaml.h>
#endif

#include "bench_text.h"
#include "languages/markdown/state.h"
#include "languages/html/state.h"
#include "tokens/lexer.h"

namespace {


// Lexes the text from a temporary file with options; state.range(0) is 1 for
// CR LF line ends, state.range(1) 1 for the common tokens taken in runs
// (lexerRun, as the token pump takes them) between the other pieces.
void lexText(benchmark::State &state, const std::string &text, Language language, const LexOptions &options)
{
    std::size_t size = 0;
    std::FILE *file = textFile(text, state.range(0) != 0, size);
    if (!file) {
        state.SkipWithError("cannot write a temporary file");
        return;
    }
    auto lexer = std::make_unique<Lexer>();
    std::int64_t tokens = 0, runTokens = 0;
    for (auto _ : state) {
        std::rewind(file);
        SourceStream source;
        source.stream = file;
        lexerStart(*lexer, language, options, source);
        TokenPiece piece;
        tokens = 0;
        runTokens = 0;
        QuickToken run[1024];
        do {
            if (state.range(1) != 0) {
                std::size_t n;
                while ((n = lexerRun(*lexer, run, 1024, 262144)) != 0) {
                    tokens += static_cast<std::int64_t>(n);
                    runTokens += static_cast<std::int64_t>(n);
                    benchmark::DoNotOptimize(run);
                }
            }
            lexerNext(*lexer, piece);
            tokens += piece.last;
            benchmark::DoNotOptimize(piece.bytes);
        } while (piece.kind != TokenKind::End);
    }
    std::fclose(file);
    if (const char *refusal = lexerRefusal(*lexer))
        state.SkipWithError(refusal);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
    state.counters["tokens"] = static_cast<double>(tokens);
    state.counters["run"] = static_cast<double>(runTokens);
}

void lexFile(benchmark::State &state, SourceClass sourceClass, const LexOptions &options)
{
    lexText(state, sourceText(), sourceClass == SourceClass::Basic ? Language::Basic : Language::CFamily, options);
}

// The other languages' lexers, each on files of its language: from the folder
// that MATCHLING_BENCH_<LANGUAGE> names, or else from where Debian keeps them
// (Java: nowhere, its sources come zipped; TypeScript: the declarations of the
// tests' npm packages; GraphQL and HCL: nowhere, so the samples of their tests,
// every file of their folder). YAML files are joined as documents of one stream,
// each ended by "...".
struct LanguageText {
    const char *name;
    Language language;
    const char *variable, *folder, *suffix;
    const char *separator = "";  // between two files
};
const LanguageText kLanguageTexts[] = {
    {"LexPython", Language::Python, "MATCHLING_BENCH_PYTHON", "/usr/lib/python3.11", ".py"},
    {"LexGo", Language::Go, "MATCHLING_BENCH_GO", "/usr/lib/go-1.19/src", ".go"},
    {"LexRust", Language::Rust, "MATCHLING_BENCH_RUST", "/usr/share/cargo/registry", ".rs"},
    {"LexJava", Language::Java, "MATCHLING_BENCH_JAVA", "", ".java"},
    {"LexJson", Language::Json, "MATCHLING_BENCH_JSON", "/usr/share", ".json"},
    {"LexJavaScript", Language::JavaScript, "MATCHLING_BENCH_JAVASCRIPT", "/usr/lib/node_modules", ".js"},
    {"LexTypeScript", Language::TypeScript, "MATCHLING_BENCH_TYPESCRIPT",
     MATCHLING_SOURCE_DIR "/tests/npm/node_modules/typescript/lib", ".ts"},
    {"LexGraphql", Language::Graphql, "MATCHLING_BENCH_GRAPHQL", MATCHLING_SOURCE_DIR "/tests/languages/graphql", ""},
    {"LexCMake", Language::CMake, "MATCHLING_BENCH_CMAKE", "/usr/share/cmake-3.25/Modules", ".cmake"},
    {"LexYaml", Language::Yaml, "MATCHLING_BENCH_YAML", "/usr/lib", ".yaml", "\n...\n"},
    {"LexToml", Language::Toml, "MATCHLING_BENCH_TOML", "/usr/lib", ".toml"},
    {"LexCss", Language::Css, "MATCHLING_BENCH_CSS", "/usr/share", ".css"},
    {"LexShell", Language::Shell, "MATCHLING_BENCH_SHELL", "/usr/share", ".sh"},
    {"LexHcl", Language::Hcl, "MATCHLING_BENCH_HCL", MATCHLING_SOURCE_DIR "/tests/languages/hcl", ""},
    {"LexSwift", Language::Swift, "MATCHLING_BENCH_SWIFT", MATCHLING_SOURCE_DIR "/tests/languages/swift", ".swift"},
    {"LexKotlin", Language::Kotlin, "MATCHLING_BENCH_KOTLIN", MATCHLING_SOURCE_DIR "/tests/languages/kotlin", ""},
    {"LexPhp", Language::Php, "MATCHLING_BENCH_PHP", "/usr/lib/google-cloud-sdk/platform/google_appengine/php", ".php"},
    {"LexLua", Language::Lua, "MATCHLING_BENCH_LUA", "/usr/share/lua", ".lua"},
    {"LexRuby", Language::Ruby, "MATCHLING_BENCH_RUBY", "/usr/lib/ruby", ".rb"},
    {"LexIni", Language::Ini, "MATCHLING_BENCH_INI", MATCHLING_SOURCE_DIR "/tests/languages/ini", ".ini"},
    {"LexDockerfile", Language::Dockerfile, "MATCHLING_BENCH_DOCKERFILE", MATCHLING_SOURCE_DIR "/tests/languages/dockerfile",
     ".dockerfile"},
    {"LexRst", Language::Rst, "MATCHLING_BENCH_RST", "/usr/share", ".rst"},
};

// True when the lexer reads text as language to its end.
bool readsWhole(const std::string &text, Language language)
{
    std::size_t size = 0;
    std::FILE *file = textFile(text, false, size);
    if (!file)
        return false;
    auto lexer = std::make_unique<Lexer>();
    SourceStream source;
    source.stream = file;
    lexerStart(*lexer, language, LexOptions{}, source);
    TokenPiece piece;
    do
        lexerNext(*lexer, piece);
    while (piece.kind != TokenKind::End);
    std::fclose(file);
    return !lexer->rejectedAs;
}

// The files of the folder that the lexer reads whole, each followed by the
// language's separator (a line end for TOML, whose files can only be joined
// whole), repeated to 8 MiB (this machine keeps few of some kinds). TOML and
// YAML refuse input that is not theirs, and a stream that stops early
// measures nothing.
std::string wholeFilesText(const LanguageText &language)
{
    std::string all;
    const char *named = std::getenv(language.variable);
    const std::filesystem::path dir = named ? named : language.folder;
    std::error_code error;
    std::vector<std::string> paths;
    for (std::filesystem::recursive_directory_iterator it(dir, std::filesystem::directory_options::skip_permission_denied,
                                                          error),
         end;
         it != end; it.increment(error))
        if (it->path().extension() == language.suffix && it->is_regular_file(error))
            paths.push_back(it->path().string());
    std::sort(paths.begin(), paths.end());
    std::string files;
    for (const std::string &path : paths) {
        std::ifstream in(path, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!text.empty() && readsWhole(text, language.language))
            files += text + (*language.separator ? language.separator : "\n");
    }
    while (!files.empty() && all.size() < (std::size_t{8} << 20))
        all += files;
    return all;
}

void lexLanguage(benchmark::State &state, const LanguageText &language)
{
    const std::string text = language.language == Language::Toml || language.language == Language::Yaml
                                 ? wholeFilesText(language)
                                 : languageText(language.variable, language.folder, language.suffix,
                                                language.separator);
    if (text.empty()) {
        state.SkipWithError((std::string("no ") + language.suffix + " files: set " + language.variable).c_str());
        return;
    }
    lexText(state, text, language.language, LexOptions{});
}

// Markdown: the files under /usr/share, cut at a line end to the size a
// document may have (kMarkdownMaxBytes).
void LexMarkdown(benchmark::State &state)
{
    std::string text = languageText("MATCHLING_BENCH_MARKDOWN", "/usr/share", ".md");
    if (text.size() > kMarkdownMaxBytes)
        text.resize(text.rfind('\n', kMarkdownMaxBytes - 1) + 1);
    if (text.empty()) {
        state.SkipWithError("no .md files: set MATCHLING_BENCH_MARKDOWN");
        return;
    }
    lexText(state, text, Language::Markdown, LexOptions{});
}
BENCHMARK(LexMarkdown)->ArgNames({"crlf", "run"})->Args({0, 1});

// XML: one document, read whole (the file MATCHLING_BENCH_XML names, or
// else freedesktop.org's table of MIME types, 2.4 MB of elements, attributes
// and translated text).
void LexXml(benchmark::State &state)
{
    const char *named = std::getenv("MATCHLING_BENCH_XML");
    std::ifstream in(named ? named : "/usr/share/mime/packages/freedesktop.org.xml", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.empty()) {
        state.SkipWithError("no XML document: set MATCHLING_BENCH_XML to one");
        return;
    }
    lexText(state, text, Language::Xml, LexOptions{});
}
BENCHMARK(LexXml)->ArgNames({"crlf", "run"})->Args({0, 0});
// HTML: the files under /usr/share, cut at an end tag to the size a document
// may have (kHtmlMaxBytes).
void LexHtml(benchmark::State &state)
{
    std::string text = languageText("MATCHLING_BENCH_HTML", "/usr/share", ".html");
    if (text.size() > kHtmlMaxBytes) {
        const std::size_t end = text.rfind("</html>", kHtmlMaxBytes - 8);
        text.resize(end == std::string::npos ? kHtmlMaxBytes : end + 7);
    }
    if (text.empty()) {
        state.SkipWithError("no .html files: set MATCHLING_BENCH_HTML");
        return;
    }
    lexText(state, text, Language::Html, LexOptions{});
}
BENCHMARK(LexHtml)->ArgNames({"crlf", "run"})->Args({0, 1});

// Svelte: the components under MATCHLING_BENCH_SVELTE (none ship with the
// system), cut at an end tag to the size a document may have.
void LexSvelte(benchmark::State &state)
{
    std::string text = languageText("MATCHLING_BENCH_SVELTE", "/usr/share", ".svelte");
    if (text.size() > kHtmlMaxBytes) {
        const std::size_t end = text.rfind("</style>", kHtmlMaxBytes - 9);
        text.resize(end == std::string::npos ? kHtmlMaxBytes : end + 8);
    }
    if (text.empty()) {
        state.SkipWithError("no .svelte files: set MATCHLING_BENCH_SVELTE");
        return;
    }
    lexText(state, text, Language::Svelte, LexOptions{});
}
BENCHMARK(LexSvelte)->ArgNames({"crlf", "run"})->Args({0, 1});

// Vue: the components under MATCHLING_BENCH_VUE (none ship with the system),
// cut at an end tag to the size a document may have; one file of many
// components' blocks.
void LexVue(benchmark::State &state)
{
    std::string text = languageText("MATCHLING_BENCH_VUE", "/usr/share", ".vue");
    if (text.size() > kHtmlMaxBytes) {
        const std::size_t end = text.rfind("</style>", kHtmlMaxBytes - 9);
        text.resize(end == std::string::npos ? kHtmlMaxBytes : end + 8);
    }
    if (text.empty()) {
        state.SkipWithError("no .vue files: set MATCHLING_BENCH_VUE");
        return;
    }
    lexText(state, text, Language::Vue, LexOptions{});
}
BENCHMARK(LexVue)->ArgNames({"crlf", "run"})->Args({0, 1});

// The libraries alone on the texts of LexMarkdown and LexYaml, every result
// thrown away: the bound of what those lexers can reach.
#ifdef MATCHLING_HAVE_CMARK_GFM
// cmark-gfm as a program would use it: its own allocator, the extensions the
// lexer attaches, the tree built and freed.
void CmarkGfmAlone(benchmark::State &state)
{
    std::string text = languageText("MATCHLING_BENCH_MARKDOWN", "/usr/share", ".md");
    if (text.size() > kMarkdownMaxBytes)
        text.resize(text.rfind('\n', kMarkdownMaxBytes - 1) + 1);
    cmark_gfm_core_extensions_ensure_registered();
    for (auto _ : state) {
        cmark_parser *parser = cmark_parser_new(CMARK_OPT_FOOTNOTES);
        for (const char *name : {"table", "strikethrough", "autolink", "tasklist"})
            cmark_parser_attach_syntax_extension(parser, cmark_find_syntax_extension(name));
        cmark_parser_feed(parser, text.data(), text.size());
        cmark_node *document = cmark_parser_finish(parser);
        benchmark::DoNotOptimize(document);
        cmark_node_free(document);
        cmark_parser_free(parser);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(CmarkGfmAlone);
#endif

#ifdef MATCHLING_HAVE_LIBFYAML
void LibfyamlAlone(benchmark::State &state)
{
    const LanguageText *yaml = nullptr;
    for (const auto &language : kLanguageTexts)
        if (language.language == Language::Yaml)
            yaml = &language;
    const std::string text = wholeFilesText(*yaml);
    std::int64_t events = 0;
    for (auto _ : state) {
        fy_parse_cfg config{};
        config.flags = FYPCF_QUIET;
        fy_parser *parser = fy_parser_create(&config);
        fy_parser_set_string(parser, text.data(), text.size());
        events = 0;
        while (fy_event *e = fy_parser_parse(parser)) {
            ++events;
            fy_parser_event_free(parser, e);
        }
        fy_parser_destroy(parser);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["events"] = static_cast<double>(events);
}
BENCHMARK(LibfyamlAlone);
#endif

const bool kLanguagesRegistered = [] {
    for (const auto &language : kLanguageTexts)
        benchmark::RegisterBenchmark(language.name, lexLanguage, language)
            ->ArgNames({"crlf", "run"})
            ->Args({0, 1});
    return true;
}();

void LexC(benchmark::State &state)
{
    lexFile(state, SourceClass::CFamily, LexOptions{});
}

void LexCComments(benchmark::State &state)
{
    LexOptions options;
    options.comments = true;
    lexFile(state, SourceClass::CFamily, options);
}

void LexCSortedIncludes(benchmark::State &state)
{
    LexOptions options;
    options.sortedIncludes = true;
    lexFile(state, SourceClass::CFamily, options);
}

void LexBasic(benchmark::State &state)
{
    lexFile(state, SourceClass::Basic, LexOptions{});
}

BENCHMARK(LexC)->ArgNames({"crlf", "run"})->ArgsProduct({{0, 1}, {0, 1}});
BENCHMARK(LexCComments)->ArgNames({"crlf", "run"})->Args({0, 0})->Args({0, 1});
BENCHMARK(LexCSortedIncludes)->ArgNames({"crlf", "run"})->Args({0, 0});
BENCHMARK(LexBasic)->ArgNames({"crlf", "run"})->Args({0, 0});

} // namespace

BENCHMARK_MAIN();
