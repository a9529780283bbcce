// Paths of a git run as the current directory sees them: those named after
// "--", which the run keeps to, and the places the reports for editors give,
// from the top of the work tree, where git's listing names every file.
#include <algorithm>

#include "walk/exclude.h"
#include "walk/walk.h"

namespace {


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
    addPathParts(prefix, from);
    addPathParts(path, to);
    // Only the directories of path can be shared with the prefix.
    std::size_t same = 0;
    while (same < from.size() && same + 1 < to.size() && from[same] == to[same])
        ++same;
    std::string out;
    for (std::size_t i = same; i < from.size(); ++i)
        out += "../";
    return out + joinedParts(to, same);
}

int gitPathTops(const std::vector<std::string> &paths, std::vector<std::string> &tops, std::string &error)
{
    tops.clear();
    if (paths.empty())
        return 0;
    std::string prefix;
    if (gitPrefix(prefix, error) != 0)
        return 1;
    for (const std::string &path : paths) {
        std::vector<std::string> parts;
        if (!addPathParts(prefix, parts) || !addPathParts(path, parts)) {
            error = "Outside the repository: " + path;
            return 1;
        }
        tops.push_back(joinedParts(parts, 0));
    }
    return 0;
}

int gitPathsKept(const std::vector<std::string> &paths, WalkList &list, std::string &error)
{
    std::vector<std::string> tops;
    if (gitPathTops(paths, tops, error) != 0)
        return 1;
    if (!paths.empty())
        keepPathsUnder(tops, list);
    return 0;
}

void keepPathsUnder(const std::vector<std::string> &tops, WalkList &list)
{
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
}

bool addPathParts(const std::string &path, std::vector<std::string> &parts, bool *up)
{
    std::size_t start = 0;
    bool above = false;
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
        if (up)
            *up = true;
        if (parts.empty())
            above = true;
        else
            parts.pop_back();
        if (above && !up)
            return false;
    }
    return !above;
}

std::string joinedParts(const std::vector<std::string> &parts, std::size_t from)
{
    std::string out;
    for (std::size_t i = from; i < parts.size(); ++i)
        out += (i > from ? "/" : "") + parts[i];
    return out;
}
