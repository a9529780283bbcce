// Two directory trees walked side by side. The levels on the way down are an
// explicit stack, and each level's names are ordered as the paths below them
// sort, so the list comes out in byte order of path as it is made.
#include "walk/tree.h"
#include "walk/walk.h"

#include <algorithm>

namespace {

// Levels whose directories stay open while the walk is below them: the first
// 16, then every 64th, so that a deep tree needs few descriptors. The others
// are opened again from the nearest open level above when the walk returns
// to them for another subdirectory.
constexpr std::size_t kKeepOpenDepth = 16;
constexpr std::size_t kKeepOpenEvery = 64;

// One name of a directory level, on both sides: an entry to list, or a step
// into the directories of that name.
struct Item {
    std::string key;     // the name, or name + "/" for a step, so that items sort as the paths below them
    bool step = false;   // a step into the directory name
    bool sides[2] = {};  // for a step: the sides that have a directory of that name
    WalkEntry entry;     // otherwise: the entry to list
};

// One directory on the way down from the tops, on both sides.
struct Level {
    std::string name;         // its name in the level above; empty at the top
    std::string rel;          // its path relative to the tops; empty at the top
    bool present[2] = {};     // whether each side has it
    TreeDir *dirs[2] = {};    // each side's open directory; null where absent or closed for now
    TreeId ids[2];            // each side's identity, to check a directory opened again
    std::vector<Item> items;  // what it holds, in order
    std::size_t next = 0;     // the first item not done yet
};

struct Walk {
    std::string tops[2];        // the two directories as given
    std::string prefixes[2];    // the same with a separator appended, unless one ends them
    std::vector<Level> levels;  // the way down, the top first
    WalkList *list = nullptr;   // where entries go
};

std::string prefixOf(const std::string &dir)
{
    return !dir.empty() && treeSeparator(dir.back()) ? dir : dir + "/";
}

std::string join(const std::string &rel, const std::string &name)
{
    return rel.empty() ? name : rel + "/" + name;
}

bool sameId(const TreeId &a, const TreeId &b)
{
    return a.known && b.known && a.device == b.device && a.index == b.index;
}

bool isType(const TreeNode *node, NodeType type)
{
    return node && node->type == type;
}

void closeLevel(Level &level)
{
    for (TreeDir *&dir : level.dirs) {
        treeClose(dir);
        dir = nullptr;
    }
}

// Sets the kind and reason of the entry for the name nodes[s] are on side s
// (null where a side has none); sameDir: the two levels are one directory.
void classify(const TreeNode *const nodes[2], bool sameDir, WalkEntry &entry)
{
    auto either = [&](NodeType type) { return isType(nodes[0], type) || isType(nodes[1], type); };
    entry.kind = EntryKind::Failed;
    if (either(NodeType::Link)) {
        bool same = isType(nodes[0], NodeType::Link) && isType(nodes[1], NodeType::Link) &&
                    !nodes[0]->target.empty() && nodes[0]->target == nodes[1]->target;
        if (same)
            entry.kind = EntryKind::Same;
        else
            entry.reason = "symbolic link";
    } else if (either(NodeType::Other)) {
        entry.reason = "not a regular file";
    } else if (either(NodeType::Directory)) {
        entry.reason = "directory on one side";
    } else if (nodes[0] && nodes[1]) {
        bool same = sameDir || sameId(nodes[0]->id, nodes[1]->id);
        entry.kind = same ? EntryKind::Same : EntryKind::Pair;
    } else {
        entry.kind = nodes[0] ? EntryKind::OnlyFirst : EntryKind::OnlySecond;
    }
}

// Appends to level's items what the name nodes[s] are on side s holds: the
// entry to list, unless every side that has it has a directory, and the step
// into it where a side has a directory.
void addName(const Walk &walk, Level &level, const TreeNode *const nodes[2])
{
    const std::string &name = (nodes[0] ? nodes[0] : nodes[1])->name;
    bool dirs[2] = {isType(nodes[0], NodeType::Directory), isType(nodes[1], NodeType::Directory)};
    if (dirs[0] || dirs[1]) {
        Item step;
        step.key = name + "/";
        step.step = true;
        step.sides[0] = dirs[0];
        step.sides[1] = dirs[1];
        level.items.push_back(std::move(step));
    }
    if ((dirs[0] || !nodes[0]) && (dirs[1] || !nodes[1]))
        return;
    Item item;
    item.key = name;
    WalkEntry &entry = item.entry;
    entry.path = join(level.rel, name);
    for (int s = 0; s < 2; ++s) {
        if (!nodes[s])
            continue;
        SideRef &side = entry.sides[s];
        side.name = walk.prefixes[s] + entry.path;
        if (nodes[s]->type == NodeType::File) {
            side.file = side.name;
            side.size = nodes[s]->size;
        }
    }
    classify(nodes, sameId(level.ids[0], level.ids[1]), entry);
    level.items.push_back(std::move(item));
}

// Fills level's items from the entries each side has there.
void listLevel(const Walk &walk, Level &level, std::vector<TreeNode> nodes[2])
{
    auto byName = [](const TreeNode &a, const TreeNode &b) { return a.name < b.name; };
    std::sort(nodes[0].begin(), nodes[0].end(), byName);
    std::sort(nodes[1].begin(), nodes[1].end(), byName);
    std::size_t i = 0, j = 0;
    while (i < nodes[0].size() || j < nodes[1].size()) {
        const TreeNode *pair[2] = {nullptr, nullptr};
        if (j == nodes[1].size() || (i < nodes[0].size() && nodes[0][i].name <= nodes[1][j].name))
            pair[0] = &nodes[0][i];
        if (i == nodes[0].size() || (j < nodes[1].size() && nodes[1][j].name <= nodes[0][i].name))
            pair[1] = &nodes[1][j];
        i += pair[0] != nullptr;
        j += pair[1] != nullptr;
        addName(walk, level, pair);
    }
    std::sort(level.items.begin(), level.items.end(), [](const Item &a, const Item &b) { return a.key < b.key; });
}

// Opens side s of level k again, closed on the way down, from the nearest open
// level above it. Returns 0, or 1 when it cannot be opened or is no longer the
// directory it was.
int reopen(Walk &walk, std::size_t k, int s)
{
    std::size_t j = k;
    while (!walk.levels[j].dirs[s])
        --j;  // the top stays open
    TreeDir *dir = walk.levels[j].dirs[s];
    for (std::size_t m = j + 1; m <= k; ++m) {
        const Level &level = walk.levels[m];
        TreeDir *next = treeOpen(dir, level.name, walk.prefixes[s] + level.rel);
        if (m > j + 1)
            treeClose(dir);
        if (next && !sameId(treeDirId(*next), level.ids[s])) {
            treeClose(next);
            next = nullptr;
        }
        if (!next)
            return 1;
        dir = next;
    }
    walk.levels[k].dirs[s] = dir;
    return 0;
}

// Opens side s of level, the top or a subdirectory of the deepest level, and
// lists its entries into nodes. Returns 0, or 1 when it cannot be read.
int openSide(Walk &walk, Level &level, int s, std::vector<TreeNode> &nodes)
{
    TreeDir *parent = nullptr;
    if (!walk.levels.empty()) {
        std::size_t deepest = walk.levels.size() - 1;
        if (!walk.levels[deepest].dirs[s] && reopen(walk, deepest, s) != 0)
            return 1;
        parent = walk.levels[deepest].dirs[s];
    }
    std::string path = parent ? walk.prefixes[s] + level.rel : walk.tops[s];
    level.dirs[s] = treeOpen(parent, level.name, path);
    if (!level.dirs[s])
        return 1;
    level.ids[s] = treeDirId(*level.dirs[s]);
    return treeRead(*level.dirs[s], nodes);
}

// Lists the entry of a directory that cannot be read on a side that has it.
void listUnreadable(Walk &walk, const Level &level)
{
    WalkEntry entry;
    entry.kind = EntryKind::Failed;
    entry.path = level.rel;
    entry.reason = "unreadable directory";
    for (int s = 0; s < 2; ++s) {
        if (level.present[s])
            entry.sides[s].name = walk.prefixes[s] + level.rel;
    }
    walk.list->entries.push_back(std::move(entry));
}

// Steps from the deepest level into its directory name on the sides given,
// or lists it as unreadable.
void descend(Walk &walk, const std::string &name, const bool sides[2])
{
    std::size_t depth = walk.levels.size() - 1;
    Level down;
    down.name = name;
    down.rel = join(walk.levels[depth].rel, name);
    std::vector<TreeNode> nodes[2];
    down.present[0] = sides[0];
    down.present[1] = sides[1];
    bool readable = true;
    for (int s = 0; s < 2 && readable; ++s)
        readable = !sides[s] || openSide(walk, down, s, nodes[s]) == 0;
    if (!readable) {
        closeLevel(down);
        listUnreadable(walk, down);
        return;
    }
    if (depth >= kKeepOpenDepth && depth % kKeepOpenEvery != 0)
        closeLevel(walk.levels[depth]);
    listLevel(walk, down, nodes);
    walk.levels.push_back(std::move(down));
}

// Does the next item of the deepest level, or leaves the level when it is done.
void advance(Walk &walk)
{
    Level &level = walk.levels.back();
    if (level.next == level.items.size()) {
        closeLevel(level);
        walk.levels.pop_back();
        return;
    }
    Item &item = level.items[level.next++];
    if (!item.step) {
        walk.list->entries.push_back(std::move(item.entry));
        return;
    }
    // descend adds a level, which may move this one.
    std::string name = item.key.substr(0, item.key.size() - 1);
    bool sides[2] = {item.sides[0], item.sides[1]};
    descend(walk, name, sides);
}

} // namespace

int walkTrees(const std::string &dir1, const std::string &dir2, WalkList &list, std::string &error)
{
    list.sideNames[0] = dir1;
    list.sideNames[1] = dir2;
    list.entries.clear();
    Walk walk;
    walk.list = &list;
    Level top;
    std::vector<TreeNode> nodes[2];
    for (int s = 0; s < 2; ++s) {
        walk.tops[s] = list.sideNames[s];
        walk.prefixes[s] = prefixOf(walk.tops[s]);
        top.present[s] = true;
        if (openSide(walk, top, s, nodes[s]) != 0) {
            closeLevel(top);
            error = "Unable to read directory " + walk.tops[s];
            return 1;
        }
    }
    listLevel(walk, top, nodes);
    walk.levels.push_back(std::move(top));
    while (!walk.levels.empty())
        advance(walk);
    // An unreadable directory is listed when the walk reaches its step, which
    // comes after names such as "dir.c" that sort before "dir/".
    auto byPath = [](const WalkEntry &a, const WalkEntry &b) { return a.path < b.path; };
    if (!std::is_sorted(list.entries.begin(), list.entries.end(), byPath))
        std::stable_sort(list.entries.begin(), list.entries.end(), byPath);
    return 0;
}
