// cmark-gfm's reading of a whole document, held to a bound: its tree lives in
// an arena of the document's own, which a reading that would outgrow its
// bound leaves at once, and which frees the whole tree when it goes.
#ifndef MATCHLING_MARKDOWN_READER_H
#define MATCHLING_MARKDOWN_READER_H

#include <csetjmp>
#include <cstddef>
#include <utility>
#include <vector>

struct cmark_node;

// The room cmark-gfm's tree and work space may take for one document. Its
// tree takes 168 bytes a node; a common document takes about 12 bytes a
// byte, a small one full of links about 35, and markup alone (a node for
// each byte or two: nested quotes, one-letter list items, a table of
// one-letter cells) up to about 270: so that no document under a MiB is
// refused, whatever it holds, and a larger one only when it is mostly markup.
constexpr std::size_t kMarkdownTreeBytes = std::size_t(256) << 20;

// cmark-gfm appends each cell of a table row to a list by walking the list
// from its start: a row of n cells costs n * n / 2 steps. A document whose
// lines hold more than this many '|' squared, summed, is refused before its
// reading (a table of 50 columns and 80,000 rows stays under it).
constexpr std::size_t kMarkdownCellWork = std::size_t(1) << 28;

// Memory for cmark-gfm's allocations: chunks taken from the heap, each
// allocation cut from the last one; a free gives back only the allocation
// cut last. While it is in use (from its making to its end, which frees every
// chunk, or keeps up to 64 MiB of them for the thread's next arena),
// cmark-gfm's allocations on this thread come from it.
class MarkdownArena {
public:
    explicit MarkdownArena(std::size_t budget);
    ~MarkdownArena();
    MarkdownArena(const MarkdownArena &) = delete;
    MarkdownArena &operator=(const MarkdownArena &) = delete;

    void *take(std::size_t n);            // n bytes, 8-aligned, unset
    void *grow(void *p, std::size_t n);  // p (or nullptr) resized to n bytes, its bytes kept
    void give(void *p);                   // p no longer used
    std::size_t taken() const { return taken_; }

    std::jmp_buf *overflow = nullptr;  // where a chunk past the budget jumps to; nullptr: the budget is lifted

private:
    void newChunk(std::size_t least);

    std::vector<std::pair<char *, std::size_t>> chunks_;  // every chunk taken and its bytes, given up at the end
    char *at_ = nullptr;          // the first free byte of the last chunk
    char *end_ = nullptr;         // its end
    char *last_ = nullptr;        // the allocation cut last (its head), or nullptr
    std::size_t taken_ = 0;       // bytes of all chunks
    std::size_t budget_;          // the most the chunks may take while overflow is set
    std::size_t next_;            // the size of the next chunk
    MarkdownArena *outer_;        // the arena in use before this one (a Markdown block read inside a document)
};

// cmark-gfm's tree of text[0..size), read as GitHub reads Markdown (tables,
// strikethrough, autolinks, task lists, footnotes), in arena; nullptr when
// the reading would take more room than arena's budget or more work than
// kMarkdownCellWork. The tree lives as long as the arena.
cmark_node *readMarkdown(MarkdownArena &arena, const char *text, std::size_t size);

// The extension node kinds, as the tree's walk tells them.
enum class MarkdownExtension : unsigned char { None, Table, TableHeader, TableRow, TableCell, Strikethrough };

// Which extension made node (None for CommonMark's own nodes).
MarkdownExtension markdownExtension(cmark_node *node);

// True when node, a list item, is a task (tasklist); checked when its box is.
bool markdownTask(cmark_node *node, bool &checked);

#endif
