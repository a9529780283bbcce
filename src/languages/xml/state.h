// The XML lexer's own state, and the store its first piece makes: the whole
// document held in memory and the tokens libxml2's reading of it gives.
#ifndef MATCHLING_XML_STATE_H
#define MATCHLING_XML_STATE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/byte_buffer.h"
#include "tokens/lexer.h"

// libxml2 reads a whole document from memory: a larger one is refused ("too
// large to compare as XML"). While it is read, a document takes about four
// times its size: the text, libxml2's copy of it, the tokens' keys and the
// token records (16 bytes each, a token for every 15 bytes or so).
constexpr std::size_t kXmlMaxBytes = std::size_t{16} << 20;
constexpr std::size_t kXmlMaxTokens = std::size_t{4} << 20;   // tokens of one document, at most
constexpr std::size_t kXmlMaxKeyBytes = std::size_t{64} << 20;  // bytes of their keys, entities expanded, at most
constexpr int kXmlMaxDepth = 1000;  // elements open at once, at most (libxml2 stops at 256)

// One token: its key in the store's keys and the line libxml2 read it on
// (libxml2 gives no columns: each token is placed at its line's first
// column).
struct XmlToken {
    std::uint32_t offset;       // where its key starts in keys
    std::uint32_t length : 30;  // bytes of its key
    std::uint32_t comment : 1;  // a word of a comment
    std::uint32_t dropped : 1;  // a blank run found to be layout, taken out when the walk ends
    std::uint32_t line;
};

// The tokens of a whole document. Its tokens' room is the thread's spare
// room, taken when it is made and given back when it goes (16 MiB of it
// kept at most), so that a run of many documents does not ask the system
// for fresh pages for each.
struct XmlStore : LanguageStore {
    XmlStore();
    ~XmlStore() override;
    ByteBuffer text;  // the document as read
    std::vector<XmlToken> tokens;
    std::string keys;  // the tokens' keys, back to back
    std::string bang;  // the key of a first "#!" line, kept before the reason when the document is refused
};

// Reads store.text with libxml2 into store's tokens (comments' words too
// with withComments); returns the reason the document is refused, empty when
// it is not.
std::string xmlTokens(XmlStore &store, bool withComments);

struct XmlLexState {
    bool read = false;     // the source has been read and its tokens made
    std::size_t next = 0;  // the next token of the store to hand out
};

inline XmlLexState &xmlState(Lexer &lexer)
{
    return languageState<XmlLexState>(lexer);
}

#endif
