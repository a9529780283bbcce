// What a tree walk needs from the platform: one directory opened and listed at a
// time, entries described without following symbolic links and without
// opening anything but directories. tree_posix.cpp and tree_windows.cpp.
#ifndef MATCHLING_WALK_TREE_H
#define MATCHLING_WALK_TREE_H

#include <cstdint>
#include <string>
#include <vector>

enum class NodeType : char {
    File,       // a regular file
    Directory,  // a directory (never a link to one)
    Link,       // a symbolic link or another kind of name redirection
    Other,      // a FIFO, a device, a socket: never opened
};

// Which file a name leads to.
struct TreeId {
    std::uint64_t device = 0;  // the file system: device number or volume serial
    std::uint64_t index = 0;   // the file on it: inode or file index
    bool known = false;        // whether the platform told
};

// One entry of a directory.
struct TreeNode {
    std::string name;        // its name in the directory (UTF-8 on Windows)
    NodeType type = NodeType::Other;
    std::int64_t size = -1;  // bytes, for a File
    TreeId id;               // for a File, where the listing tells
    std::string target;      // for a Link: the text it holds; empty where unknown
};

// An open directory.
struct TreeDir;

// Whether c separates directories in the platform's paths.
bool treeSeparator(char c);

// Opens the directory at path, or, with parent, the directory name in parent
// (path naming the same, for platforms that open by path). Does not follow a
// symbolic link below the top. Returns null when it cannot be opened.
TreeDir *treeOpen(TreeDir *parent, const std::string &name, const std::string &path);

// The identity of an open directory.
TreeId treeDirId(const TreeDir &dir);

// Appends every entry of dir but "." and ".." to nodes, in any order. Returns
// 0, or 1 when the directory cannot be listed or its entries examined.
int treeRead(TreeDir &dir, std::vector<TreeNode> &nodes);

void treeClose(TreeDir *dir);

// Describes what is at path without following a symbolic link there. Returns
// 0, or 1 when nothing is there.
int treeStat(const std::string &path, TreeNode &node);

#endif
