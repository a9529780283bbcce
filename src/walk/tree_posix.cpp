// Listing directories on POSIX: descriptors opened relative to the parent, so
// that no path length limit applies, and entries examined with fstatat.
#include "walk/tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

struct TreeDir {
    int fd = -1;  // the directory, opened read-only
    TreeId id;    // its device and inode
};

namespace {

// O_NONBLOCK: should a FIFO take a directory's place, opening it cannot block.
constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK;

TreeId idOf(const struct stat &st)
{
    TreeId id;
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.index = static_cast<std::uint64_t>(st.st_ino);
    id.known = true;
    return id;
}

NodeType typeOf(mode_t mode)
{
    if (S_ISREG(mode))
        return NodeType::File;
    if (S_ISDIR(mode))
        return NodeType::Directory;
    if (S_ISLNK(mode))
        return NodeType::Link;
    return NodeType::Other;
}

// The text of the symbolic link name in directory fd; empty when it cannot be read.
std::string linkTarget(int fd, const char *name)
{
    std::string target(256, '\0');
    for (;;) {
        ssize_t n = readlinkat(fd, name, &target[0], target.size());
        if (n < 0)
            return std::string();
        if (static_cast<std::size_t>(n) < target.size()) {
            target.resize(static_cast<std::size_t>(n));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

void fill(const struct stat &st, TreeNode &node)
{
    node.type = typeOf(st.st_mode);
    if (node.type == NodeType::File) {
        node.size = static_cast<std::int64_t>(st.st_size);
        node.id = idOf(st);
    }
}

// Fills node from the status of name in directory fd. Returns 0, 1 when it
// cannot be examined, or -1 when it has gone since the directory was listed.
int describe(int fd, const char *name, TreeNode &node)
{
    struct stat st;
    if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? -1 : 1;
    fill(st, node);
    return 0;
}

// Fills node for the entry e of directory fd. Returns as describe does.
int examine(int fd, const struct dirent &e, TreeNode &node)
{
    node.name = e.d_name;
    switch (e.d_type) {
    case DT_DIR:
        node.type = NodeType::Directory;
        break;
    case DT_LNK:
        node.type = NodeType::Link;
        break;
    case DT_FIFO:
    case DT_CHR:
    case DT_BLK:
    case DT_SOCK:
        node.type = NodeType::Other;
        break;
    default:  // DT_REG needs its size and identity; DT_UNKNOWN its type
        if (int status = describe(fd, e.d_name, node))
            return status;
    }
    if (node.type == NodeType::Link)
        node.target = linkTarget(fd, e.d_name);
    return 0;
}

} // namespace

bool treeSeparator(char c)
{
    return c == '/';
}

TreeDir *treeOpen(TreeDir *parent, const std::string &name, const std::string &path)
{
    int fd = parent ? openat(parent->fd, name.c_str(), kDirFlags | O_NOFOLLOW) : open(path.c_str(), kDirFlags);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0) {
        close(fd);
        return nullptr;
    }
    return new TreeDir{fd, idOf(st)};
}

TreeId treeDirId(const TreeDir &dir)
{
    return dir.id;
}

int treeRead(TreeDir &dir, std::vector<TreeNode> &nodes)
{
    // The listing takes a descriptor of its own, and its buffer goes with it,
    // while dir.fd stays open for the opens and examinations relative to it.
    int fd = fcntl(dir.fd, F_DUPFD_CLOEXEC, 0);
    DIR *listing = fd < 0 ? nullptr : fdopendir(fd);
    if (!listing) {
        if (fd >= 0)
            close(fd);
        return 1;
    }
    int status = 0;
    for (;;) {
        errno = 0;
        const struct dirent *e = readdir(listing);
        if (!e) {
            status = errno != 0;
            break;
        }
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        TreeNode node;
        int found = examine(dir.fd, *e, node);
        if (found > 0) {
            status = 1;
            break;
        }
        if (found == 0)
            nodes.push_back(std::move(node));
    }
    closedir(listing);
    return status;
}

void treeClose(TreeDir *dir)
{
    if (!dir)
        return;
    close(dir->fd);
    delete dir;
}

int treeStat(const std::string &path, TreeNode &node)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return 1;
    fill(st, node);
    return 0;
}
