// cmark-gfm's reading of a document in an arena of its own, held to a bound.
//
// cmark-gfm takes its memory through a table of allocation procedures and
// has no way to fail: a reading that would take more than its budget jumps
// out of the library from the allocation that asked (no object of this
// program's stands between the two), and its whole tree goes with the arena.
//
// cmark-gfm adds its extensions' characters to a table of the whole process
// before it reads a document's inlines, and takes them out after: two
// readings at once (the two sides of a pair) would take them from each
// other. The inlines are read one document at a time.
#if MATCHLING_HAVE_CMARK_GFM

#include "languages/markdown/reader.h"

#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm-extension_api.h>
#include <cmark-gfm.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

constexpr std::size_t kAlign = 8;                              // cmark-gfm's records hold pointers and sizes at most
constexpr std::size_t kHead = 8;                               // before each allocation: its size
constexpr std::size_t kFirstChunk = std::size_t(64) << 10;     // the first chunk's bytes; each next one doubles
constexpr std::size_t kLargestChunk = std::size_t(16) << 20;  // up to this

constexpr std::size_t kSpareBytes = std::size_t(64) << 20;     // chunks a thread keeps for its next document

thread_local MarkdownArena *tArena = nullptr;  // the arena cmark-gfm's allocations on this thread come from

// The chunks of the arenas that ended on this thread, kept for the next
// document's: a page touched for the first time costs a fault, and a tree's
// fresh pages would cost a tenth of its reading.
struct SpareChunks {
    std::vector<std::pair<char *, std::size_t>> chunks;
    std::size_t bytes = 0;
    ~SpareChunks()
    {
        for (const auto &chunk : chunks)
            std::free(chunk.first);
    }
};
thread_local SpareChunks tSpare;
std::mutex gInlines;                           // held while a document's inlines are read

void *arenaCalloc(std::size_t count, std::size_t size)
{
    const std::size_t n = size != 0 && count > SIZE_MAX / size / 2 ? SIZE_MAX / 2 : count * size;
    void *p = tArena->take(n);
    std::memset(p, 0, n);
    return p;
}

void *arenaRealloc(void *p, std::size_t n)
{
    return tArena->grow(p, n);
}

void arenaFree(void *p)
{
    tArena->give(p);
}

cmark_mem kArenaMem = {arenaCalloc, arenaRealloc, arenaFree};

struct Extensions {
    cmark_syntax_extension *table, *strikethrough, *autolink, *tasklist;
};

// The extensions, registered once for every thread.
const Extensions &extensions()
{
    static const Extensions found = [] {
        cmark_gfm_core_extensions_ensure_registered();
        return Extensions{cmark_find_syntax_extension("table"), cmark_find_syntax_extension("strikethrough"),
                          cmark_find_syntax_extension("autolink"), cmark_find_syntax_extension("tasklist")};
    }();
    return found;
}

// The parse itself, apart from the jump's target; locked tells whether
// gInlines is held (a jump leaves it so).
cmark_node *parse(const char *text, std::size_t size, volatile bool &locked)
{
    const Extensions &e = extensions();
    cmark_parser *parser = cmark_parser_new_with_mem(CMARK_OPT_FOOTNOTES, &kArenaMem);
    for (cmark_syntax_extension *extension : {e.table, e.strikethrough, e.autolink, e.tasklist})
        if (extension)
            cmark_parser_attach_syntax_extension(parser, extension);
    cmark_parser_feed(parser, text, size);
    gInlines.lock();
    locked = true;
    cmark_node *document = cmark_parser_finish(parser);  // the parser's memory goes with the arena
    locked = false;
    gInlines.unlock();
    return document;
}

// True when the lines' '|' bytes, squared and summed, stay within
// kMarkdownCellWork.
bool cellWorkBounded(const char *text, std::size_t size)
{
    std::size_t work = 0, pipes = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (text[i] == '|') {
            ++pipes;
        } else if (text[i] == '\n') {
            work += pipes * pipes;
            pipes = 0;
            if (work > kMarkdownCellWork)
                return false;
        }
    }
    return work + pipes * pipes <= kMarkdownCellWork;
}

} // namespace

MarkdownArena::MarkdownArena(std::size_t budget) : budget_(budget), next_(kFirstChunk), outer_(tArena)
{
    tArena = this;
}

MarkdownArena::~MarkdownArena()
{
    for (const auto &chunk : chunks_) {
        if (tSpare.bytes + chunk.second <= kSpareBytes) {
            tSpare.chunks.push_back(chunk);
            tSpare.bytes += chunk.second;
        } else {
            std::free(chunk.first);
        }
    }
    tArena = outer_;
}

void MarkdownArena::newChunk(std::size_t least)
{
    std::size_t size = least > next_ ? least : next_;
    if (overflow && (taken_ + least > budget_ || least > budget_))
        std::longjmp(*overflow, 1);
    if (overflow && taken_ + size > budget_)
        size = budget_ - taken_;
    char *chunk = nullptr;
    for (auto spare = tSpare.chunks.begin(); spare != tSpare.chunks.end(); ++spare)
        if (spare->second >= least && (!overflow || taken_ + spare->second <= budget_)) {
            chunk = spare->first;
            size = spare->second;
            tSpare.bytes -= size;
            tSpare.chunks.erase(spare);
            break;
        }
    if (!chunk)
        chunk = static_cast<char *>(std::malloc(size));
    if (!chunk) {
        if (overflow)
            std::longjmp(*overflow, 1);
        std::abort();  // as cmark-gfm's own allocator does
    }
    chunks_.emplace_back(chunk, size);
    taken_ += size;
    at_ = chunk;
    end_ = chunk + size;
    last_ = nullptr;
    if (next_ < kLargestChunk)
        next_ *= 2;
}

void *MarkdownArena::take(std::size_t n)
{
    const std::size_t room = kHead + (n + kAlign - 1) / kAlign * kAlign;
    if (n > SIZE_MAX / 4 || static_cast<std::size_t>(end_ - at_) < room)
        newChunk(n > SIZE_MAX / 4 ? SIZE_MAX / 2 : room);
    last_ = at_;
    std::memcpy(at_, &n, sizeof n);
    at_ += room;
    return last_ + kHead;
}

void *MarkdownArena::grow(void *p, std::size_t n)
{
    if (!p)
        return take(n);
    char *head = static_cast<char *>(p) - kHead;
    std::size_t had;
    std::memcpy(&had, head, sizeof had);
    const std::size_t room = kHead + (n + kAlign - 1) / kAlign * kAlign;
    if (head == last_ && n <= SIZE_MAX / 4 && static_cast<std::size_t>(end_ - head) >= room) {
        // The allocation cut last grows where it stands.
        std::memcpy(head, &n, sizeof n);
        at_ = head + room;
        return p;
    }
    void *moved = take(n);
    std::memcpy(moved, p, had < n ? had : n);
    return moved;
}

void MarkdownArena::give(void *p)
{
    if (p && static_cast<char *>(p) - kHead == last_) {
        at_ = last_;
        last_ = nullptr;
    }
}

cmark_node *readMarkdown(MarkdownArena &arena, const char *text, std::size_t size)
{
    if (!cellWorkBounded(text, size))
        return nullptr;
    std::jmp_buf overflow;
    volatile bool locked = false;
    arena.overflow = &overflow;
    if (setjmp(overflow) != 0) {
        arena.overflow = nullptr;
        if (locked)
            gInlines.unlock();
        return nullptr;
    }
    cmark_node *document = parse(text, size, locked);
    arena.overflow = nullptr;
    return document;
}

MarkdownExtension markdownExtension(cmark_node *node)
{
    const char *type = cmark_node_get_type_string(node);
    if (std::strcmp(type, "table") == 0)
        return MarkdownExtension::Table;
    if (std::strcmp(type, "table_header") == 0)
        return MarkdownExtension::TableHeader;
    if (std::strcmp(type, "table_row") == 0)
        return MarkdownExtension::TableRow;
    if (std::strcmp(type, "table_cell") == 0)
        return MarkdownExtension::TableCell;
    if (std::strcmp(type, "strikethrough") == 0)
        return MarkdownExtension::Strikethrough;
    return MarkdownExtension::None;
}

bool markdownTask(cmark_node *node, bool &checked)
{
    const cmark_syntax_extension *tasklist = extensions().tasklist;
    if (!tasklist || cmark_node_get_syntax_extension(node) != tasklist)
        return false;
    checked = cmark_gfm_extensions_get_tasklist_item_checked(node);
    return true;
}

#endif
