// Paths of a git run as the current directory sees them: those named after
// "--", which the run keeps to, and the places the reports for editors give,
// from the top of the work tree, where git's listing names every file.
#include <algorithm>

#include "walk/exclude.h"
#include "walk/walk.h"

namespace {

// The parts of path between '/'s, "." and empty ones left out, each ".."
// taking the one before it away. Returns false when a ".." would go above
// the start.
bool addParts(const std::string &path, std::vector<std::string> &parts)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/')
            continue;
        const std::string part = path.substr(start, i - start);
        start = i + 1;
        if (part.empty() || part == ".")
            continue;
        if (part != "..") {
            parts.push_back(part);
            continue;
        }
        if (parts.empty())
            return false;
        parts.pop_back();
    }
    return true;
}

std::string joined(const std::vector<std::string> &parts, std::size_t from)
{
    std::string out;
    for (std::size_t i = from; i < parts.size(); ++i)
        out += (i > from ? "/" : "") + parts[i];
    return out;
}

// Whether path is top or lies under it; an empty top holds everything.
bool under(const std::string &path, const std::string &top)
{
    return top.empty() || path == top || (path.size() > top.size() && path.compare(0, top.size(), top) == 0 &&
                                          path[top.size()] == '/');
}

} // namespace

std::string pathFromPrefix(const std::string &prefix, const std::string &path)
{
    std::vector<std::string> from, to;
    addParts(prefix, from);
    addParts(path, to);
    // Only the directories of path can be shared with the prefix.
    std::size_t same = 0;
    while (same < from.size() && same + 1 < to.size() && from[same] == to[same])
        ++same;
    std::string out;
    for (std::size_t i = same; i < from.size(); ++i)
        out += "../";
    return out + joined(to, same);
}

int gitPathsKept(const std::vector<std::string> &paths, WalkList &list, std::string &error)
{
    if (paths.empty())
        return 0;
    std::string prefix;
    if (gitPrefix(prefix, error) != 0)
        return 1;
    std::vector<std::string> tops;
    for (const std::string &path : paths) {
        std::vector<std::string> parts;
        if (!addParts(prefix, parts) || !addParts(path, parts)) {
            error = "Outside the repository: " + path;
            return 1;
        }
        tops.push_back(joined(parts, 0));
    }
    static const std::string arrow = " -> ";
    const auto named = [&](const std::string &path) {
        return std::any_of(tops.begin(), tops.end(), [&](const std::string &top) { return under(path, top); });
    };
    const auto dropped = [&](const WalkEntry &e) {
        const std::size_t at = e.renamed ? e.path.find(arrow) : std::string::npos;
        if (at == std::string::npos)
            return !named(e.path);
        // A name that holds the arrow itself cannot be told apart: kept.
        if (e.path.find(arrow, at + 1) != std::string::npos)
            return false;
        return !named(e.path.substr(0, at)) && !named(e.path.substr(at + arrow.size()));
    };
    list.entries.erase(std::remove_if(list.entries.begin(), list.entries.end(), dropped), list.entries.end());
    return 0;
}
