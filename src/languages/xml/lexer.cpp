// The XML lexer: the source read whole (at most kXmlMaxBytes) and parsed by
// libxml2, loaded at first use (library.h), its events turned into tokens
// (document.cpp). A document that is not well-formed is refused ("not valid
// XML at line L, column C"), as is one too large, nested too deeply, or
// whose entities expand too far: one token naming the reason, then End.
// Where libxml2 cannot be loaded every document is refused, saying so.
// Without libxml2's headers (the Windows builds) the module has no hooks,
// and token mode gives XML files no rules.
#include <cstring>
#include <string>

#include "common/source_stream.h"
#include "languages/xml/state.h"
#include "tokens/kit.h"
#include "tokens/lexer.h"

#if MATCHLING_HAVE_LIBXML2

namespace {

// The room of the last store's tokens and keys on this thread.
thread_local std::vector<XmlToken> spareTokens;
thread_local std::string spareKeys;
constexpr std::size_t kXmlSpareBytes = std::size_t{16} << 20;

} // namespace

XmlStore::XmlStore()
{
    tokens.swap(spareTokens);
    keys.swap(spareKeys);
    tokens.clear();
    keys.clear();
}

XmlStore::~XmlStore()
{
    if (tokens.capacity() * sizeof(XmlToken) + keys.capacity() <= kXmlSpareBytes) {
        tokens.swap(spareTokens);
        keys.swap(spareKeys);
    }
}

namespace {

// Reads and parses lexer's source into a new store; a source refused keeps
// one token, its reason.
void readSourceWhole(Lexer &lx)
{
    XmlStore *store = new XmlStore;
    lx.store.reset(store);
    std::string reason;
    lx.anyByte = true;
    if (!readWholeSource(*lx.source, store->text, kXmlMaxBytes))
        reason = "too large to compare as XML";
    else
        lx.anyByte = !store->text.empty();
    if (reason.empty())
        reason = xmlTokens(*store, lx.options.comments);
    if (reason.empty())
        return;
    refuseSource(lx, reason.c_str());
    store->tokens.clear();
    store->keys = store->bang;
    if (!store->bang.empty())
        store->tokens.push_back({0, static_cast<std::uint32_t>(store->bang.size()), 0, 0, 1});
    store->keys += "<" + reason + ">";
    store->tokens.push_back({static_cast<std::uint32_t>(store->bang.size()),
                             static_cast<std::uint32_t>(store->keys.size() - store->bang.size()), 0, 0, 1});
}

// The content test of ".plist": a property list in XML, not in Apple's
// binary form.
bool notBinaryPropertyList(const char *text, std::size_t length)
{
    return length < 6 || std::memcmp(text, "bplist", 6) != 0;
}

} // namespace

void xmlNext(Lexer &lx, TokenPiece &piece)
{
    XmlLexState &state = xmlState(lx);
    if (!state.read) {
        state.read = true;
        readSourceWhole(lx);
    }
    const XmlStore &store = static_cast<const XmlStore &>(*lx.store);
    if (state.next >= store.tokens.size()) {
        finishStream(lx, piece);
        return;
    }
    const XmlToken &t = store.tokens[state.next++];
    const TokenPlace place{t.line, 1};
    wholePiece(piece, t.comment ? TokenKind::CommentWord : TokenKind::Code, store.keys.data() + t.offset, t.length,
               place);
    lx.endPlace = place;
}

extern const LexerHooks kXmlLexer = {kitStart<XmlLexState>, xmlNext, nullptr, nullptr, false, nullptr,
                                     notBinaryPropertyList};

#else

extern const LexerHooks kXmlLexer = {nullptr, nullptr, nullptr, nullptr, false, nullptr, nullptr};

#endif
