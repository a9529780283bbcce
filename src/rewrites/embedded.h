// Code that a document holds in another language (a fenced code block, a
// code directive, a script), written as token records of the document's
// store: the tokens that language's lexer reads, through its rewrite rules
// where the run accepts rewrites they know.
#ifndef MATCHLING_REWRITES_EMBEDDED_H
#define MATCHLING_REWRITES_EMBEDDED_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "rewrites/rewrites.h"
#include "tokens/records.h"

// The lexer and the rules of embedded code, made at first use and kept for
// the document's next piece of code.
struct EmbeddedReader {
    std::unique_ptr<Lexer> lexer;
    std::unique_ptr<Rewriter> rewriter;
    std::string key;  // scratch for a token's key
};

// The options of code read inside a document read with outer: its
// comments' words are tokens when comments, and allow its rewrites.
inline LexOptions embeddedOptions(const LexOptions &outer, bool comments, RewriteSet allow)
{
    LexOptions options;
    options.comments = comments;
    options.allow = allow;
    options.embedded = static_cast<unsigned char>(outer.embedded + 1);
    return options;
}

// Appends to store's records the tokens of code in language, read with
// options (embeddedOptions), each placed at the document offset of its
// place: lines holds the offset of each line of code (noLines stands for
// every place where it holds none). False, no record written, when the
// language's lexer refuses the code.
bool recordEmbedded(RecordStore &store, EmbeddedReader &reader, Language language, std::string_view code,
                    const LexOptions &options, const std::vector<std::uint32_t> &lines, std::uint32_t noLines);

#endif
