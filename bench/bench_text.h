// The text the micro-benchmarks read: the file or folder named by
// MATCHLING_BENCH_SOURCE, or else the one chosen when building (by default
// this compiler's standard library headers), or else this project's own
// sources; a folder is read whole, its files in byte order of path, as sort(1)
// orders them.
#ifndef MATCHLING_BENCH_TEXT_H
#define MATCHLING_BENCH_TEXT_H

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace benchText {

namespace fs = std::filesystem;

inline std::string readAll(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every regular file under dir, in byte order of path.
inline std::string readFolder(const fs::path &dir)
{
    std::vector<std::string> paths;
    for (const auto &entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file())
            paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    std::string all;
    for (const auto &p : paths)
        all += readAll(p);
    return all;
}

inline std::string readText(const fs::path &path)
{
    return fs::is_directory(path) ? readFolder(path) : readAll(path);
}

} // namespace benchText

// The benchmark text, read once.
inline const std::string &sourceText()
{
    static const std::string text = [] {
        if (const char *named = std::getenv("MATCHLING_BENCH_SOURCE"))
            return benchText::readText(named);
        if (benchText::fs::exists(MATCHLING_BENCH_TEXT))
            return benchText::readText(MATCHLING_BENCH_TEXT);
        return benchText::readFolder(benchText::fs::path(MATCHLING_SOURCE_DIR) / "src");
    }();
    return text;
}

// Text of one language: the files whose names end in suffix under the folder
// named by the environment variable, or else under folder, in byte order of
// path, up to 16 MiB, with separator between them; empty when there are none.
inline std::string languageText(const char *variable, const char *folder, const char *suffix,
                                const char *separator = "")
{
    namespace fs = benchText::fs;
    const char *named = std::getenv(variable);
    const fs::path dir = named ? named : folder;
    std::error_code error;
    if (!fs::is_directory(dir, error))
        return {};
    std::vector<std::string> paths;
    const std::string tail = suffix;
    for (fs::recursive_directory_iterator it(dir, fs::directory_options::follow_directory_symlink |
                                                      fs::directory_options::skip_permission_denied,
                                             error),
         end;
         it != end; it.increment(error)) {
        const std::string path = it->path().string();
        if (path.size() > tail.size() && path.compare(path.size() - tail.size(), tail.size(), tail) == 0 &&
            it->is_regular_file(error))
            paths.push_back(path);
    }
    std::sort(paths.begin(), paths.end());
    std::string all;
    for (const auto &path : paths) {
        if (all.size() >= (std::size_t{16} << 20))
            break;
        all += (all.empty() ? "" : separator) + benchText::readAll(path);
    }
    return all;
}

// text in an unbuffered temporary file, already in the page cache, with CR LF
// line ends when crlf is set; null when it cannot be written.
inline std::FILE *textFile(std::string text, bool crlf, std::size_t &size)
{
    if (crlf) {
        std::string withReturns;
        withReturns.reserve(text.size() + text.size() / 16);
        for (char c : text) {
            if (c == '\n')
                withReturns += '\r';
            withReturns += c;
        }
        text.swap(withReturns);
    }
    size = text.size();
    std::FILE *file = std::tmpfile();
    if (!file || std::fwrite(text.data(), 1, text.size(), file) != text.size()) {
        if (file)
            std::fclose(file);
        return nullptr;
    }
    std::setvbuf(file, nullptr, _IONBF, 0);
    return file;
}

// The benchmark text in such a file.
inline std::FILE *sourceFile(bool crlf, std::size_t &size)
{
    return textFile(sourceText(), crlf, size);
}

#endif
