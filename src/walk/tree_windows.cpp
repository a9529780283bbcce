// Listing directories on Windows: FindFirstFileW on paths from the root with
// the \\?\ prefix, so that no MAX_PATH limit applies; names converted from
// and to UTF-8.
#include "walk/tree.h"

#include "common/files_windows.h"

#include <windows.h>

struct TreeDir {
    std::wstring path;  // the directory, from the root, with the \\?\ prefix
    TreeId id;          // its volume serial and file index, where they could be read
};

namespace {

// Whether a reparse point of tag redirects its name elsewhere.
bool redirects(DWORD tag)
{
    return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT || tag == 0xA000001DL;  // WSL's links
}

NodeType typeOf(DWORD attributes, DWORD reparseTag)
{
    bool reparse = attributes & FILE_ATTRIBUTE_REPARSE_POINT;
    if (reparse && redirects(reparseTag))
        return NodeType::Link;
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return NodeType::Other;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return reparse ? NodeType::Other : NodeType::Directory;
    return NodeType::File;
}

std::int64_t sizeOf(DWORD high, DWORD low)
{
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
}

// The identity of the file or directory at path (a long path).
TreeId idOf(const std::wstring &path)
{
    TreeId id;
    HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return id;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(h, &info)) {
        id.device = info.dwVolumeSerialNumber;
        id.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        id.known = true;
    }
    CloseHandle(h);
    return id;
}

} // namespace

bool treeSeparator(char c)
{
    return c == '/' || c == '\\';
}

TreeDir *treeOpen(TreeDir *, const std::string &, const std::string &path)
{
    // Opened by path: nothing is held open, so no parent is needed.
    std::wstring wide = systemPath(path);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return nullptr;
    TreeId id = idOf(wide);
    return new TreeDir{wide, id};
}

TreeId treeDirId(const TreeDir &dir)
{
    return dir.id;
}

int treeRead(TreeDir &dir, std::vector<TreeNode> &nodes)
{
    WIN32_FIND_DATAW entry;
    std::wstring pattern = dir.path + (dir.path.back() == L'\\' ? L"*" : L"\\*");
    HANDLE find = FindFirstFileW(pattern.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : 1;  // the root of an empty drive
    do {
        if (wcscmp(entry.cFileName, L".") == 0 || wcscmp(entry.cFileName, L"..") == 0)
            continue;
        TreeNode node;
        node.name = utf8From(entry.cFileName, wcslen(entry.cFileName));
        node.type = typeOf(entry.dwFileAttributes, entry.dwReserved0);
        if (node.type == NodeType::File)
            node.size = sizeOf(entry.nFileSizeHigh, entry.nFileSizeLow);
        nodes.push_back(std::move(node));
    } while (FindNextFileW(find, &entry));
    DWORD error = GetLastError();
    FindClose(find);
    return error != ERROR_NO_MORE_FILES;
}

void treeClose(TreeDir *dir)
{
    delete dir;
}

int treeStat(const std::string &path, TreeNode &node)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(systemPath(path).c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return 1;
    FindClose(find);
    node.type = typeOf(entry.dwFileAttributes, entry.dwReserved0);
    if (node.type == NodeType::File)
        node.size = sizeOf(entry.nFileSizeHigh, entry.nFileSizeLow);
    return 0;
}
