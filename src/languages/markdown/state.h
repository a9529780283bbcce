// The store the Markdown lexer's start makes: the whole document held in
// memory and the tokens cmark-gfm's reading of it gives.
#ifndef MATCHLING_MARKDOWN_STATE_H
#define MATCHLING_MARKDOWN_STATE_H

#include <cstddef>
#include <cstdint>

#include "rewrites/embedded.h"
#include "tokens/records.h"

// cmark-gfm reads a whole document at once, into a tree: a larger one is
// refused ("too large to compare as Markdown"), and so is one whose tree
// would outgrow its bound (kMarkdownTreeBytes, reader.h).
// While it is read, a common document takes about sixteen times its size
// (the text, the token records at about three times it, its lines' starts,
// cmark-gfm's tree at about twelve: 71 MB for 4 MB of /usr/share's .md
// files); the tree goes once its records are written, its room kept for the
// thread's next document (reader.h).
constexpr std::size_t kMarkdownMaxBytes = std::size_t(4) << 20;

// The document and its token records (tokens/records.h), owned through
// Lexer::store.
struct MarkdownStore : RecordStore {
    EmbeddedReader embedded;  // the lexer and rules of the code blocks read by their language
};

// Fills store.tokens from store.text; false when the document's tree would
// outgrow its bound.
bool markdownTokens(MarkdownStore &store, const LexOptions &options);

#endif
