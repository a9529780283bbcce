// The YAML lexer: the source read whole (at most kYamlMaxBytes) and parsed by
// libfyaml, its event stream turned into tokens. A document is "---" (and
// "%YAML 1.1" after it when it names its version); a mapping is "{", its keys
// and values in order, "}"; a sequence is "[", its items, "]"; an anchor is
// "&name", an alias "*name", a tag "!<tag>" as the parser resolves it (the
// non-specific "!" aside), each before its node. A plain scalar is its value
// as the parser gives it (a multi-line one folded), a quoted or block scalar
// its string value between double quotes: a plain scalar never equals one of
// the others, and the others equal each other by value. Block or flow style,
// indentation, document markers and comments are layout; so are the quotes
// themselves and the way a block scalar is written. With LexOptions::comments
// each word of a comment is a token too, just before the next spelled token
// (a scalar, alias, anchor or tag) or at the end: what structure the parser
// puts between a comment and that token does not move it. A first "#!" line
// is one token (tokens/lexer.h, findHashBang), words or not.
//
// Two of libfyaml's readings are mended: a block scalar without a byte of
// content is the empty string (it gives a NUL byte where the header's line
// end ends the source), and a block scalar at a document's root with its tag
// or anchor on its header's line, which it reads empty and then fails on, is
// parsed again with its indentation indicator put in (places are the
// source's all the same).
//
// A source that does not parse is refused ("not valid YAML at line L, column
// C"), as is one larger than kYamlMaxBytes, with more than kYamlMaxTokens
// tokens, or nested deeper than kYamlMaxDepth: one token naming the reason,
// then End.
//
// Without libfyaml (the Windows builds) the module has no hooks, and token
// mode gives YAML files no rules.
#include "common/byte_buffer.h"
#include "languages/yaml/state.h"
#include "tokens/kit.h"
#include "tokens/lexer.h"

#ifdef MATCHLING_HAVE_LIBFYAML

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <libfyaml.h>

namespace {

constexpr std::size_t kYamlMaxBytes = std::size_t{32} << 20;  // bytes of a source read whole, at most
constexpr std::size_t kYamlMaxTokens = std::size_t{4} << 20;  // tokens of one source, at most
constexpr int kYamlMaxDepth = 1000;                           // mappings and sequences open at once, at most

// One token: its key in the store's keys, where it starts and ends.
struct YamlToken {
    std::uint32_t offset;       // where its key starts in keys
    std::uint32_t length : 31;  // bytes of its key
    std::uint32_t comment : 1;  // a word of a comment
    std::uint32_t line;    // where it starts
    std::uint32_t column;
    std::uint32_t endLine;  // just after its last byte; its start when no byte spells it
    std::uint32_t endColumn;
};

// The tokens of a whole source (4 MiB of tokens of 24 bytes, with their keys,
// at most).
struct YamlStore : LanguageStore {
    ByteBuffer text;                // the source as read
    std::vector<YamlToken> tokens;
    std::string keys;               // the tokens' keys, back to back
};

// Places of byte offsets of text, counted from the last one asked (the
// parser's marks mostly go forwards, a little way back now and then).
struct PlaceCounter {
    const ByteBuffer &text;
    std::size_t at = 0;         // the offset counted to
    std::uint32_t line = 1;     // its line
    std::size_t lineStart = 0;  // the offset where that line starts

    TokenPlace place(std::size_t pos)
    {
        if (pos > text.size())
            pos = text.size();
        const char *p = text.data();
        if (pos < at && pos >= lineStart) {
            at = pos;  // back on the same line
        } else if (pos < at) {
            for (std::size_t i = pos; i < at; ++i)
                line -= p[i] == '\n';
            lineStart = pos;
            while (lineStart > 0 && p[lineStart - 1] != '\n')
                --lineStart;
            at = pos;
        }
        while (const void *lf = std::memchr(p + at, '\n', pos - at)) {
            at = static_cast<std::size_t>(static_cast<const char *>(lf) - p) + 1;
            ++line;
            lineStart = at;
        }
        at = pos;
        return {line, static_cast<std::int64_t>(pos - lineStart + 1)};
    }
};

// Turns the events of one source into tokens.
struct Builder {
    YamlStore &store;
    PlaceCounter counter;
    TokenPlace last;   // where the last token ends
    int depth = 0;     // mappings and sequences open
    bool full = false; // a bound was met: the source is refused
    bool comments;     // the words of comments are tokens
    std::size_t scanned = 0;  // the text before it has been searched for comments
    // Where the parser's text has a byte that the source has not (an
    // indentation indicator put in, see indicatorFor), in ascending order.
    const std::vector<std::size_t> &put;
    // In the parser's text, where the value of the last block scalar at a
    // document's root with a tag or anchor starts, when the parser read it
    // empty; npos when there is none.
    std::size_t emptyRoot = std::string::npos;

    Builder(YamlStore &s, bool withComments, const std::vector<std::size_t> &inserted)
        : store(s), counter{s.text}, comments(withComments), put(inserted)
    {
    }

    // The offset in the source of offset pos of the parser's text.
    std::size_t source(std::size_t pos) const
    {
        return pos - static_cast<std::size_t>(std::lower_bound(put.begin(), put.end(), pos) - put.begin());
    }

    // Adds a token of key (n bytes, after prefix and before suffix) from start to end.
    bool add(const char *prefix, const char *key, std::size_t n, const char *suffix, TokenPlace start,
             TokenPlace end, bool comment = false)
    {
        if (store.tokens.size() >= kYamlMaxTokens)
            return false;
        const std::size_t offset = store.keys.size();
        store.keys += prefix;
        store.keys.append(key, n);
        store.keys += suffix;
        YamlToken t;
        t.offset = static_cast<std::uint32_t>(offset);
        t.length = static_cast<std::uint32_t>(store.keys.size() - offset) & 0x7fffffffu;
        t.comment = comment;
        t.line = static_cast<std::uint32_t>(start.line);
        t.column = static_cast<std::uint32_t>(start.column);
        t.endLine = static_cast<std::uint32_t>(end.line);
        t.endColumn = static_cast<std::uint32_t>(end.column);
        store.tokens.push_back(t);
        last = end;
        return true;
    }

    // Where a mark stands; the end of the last token when there is none.
    TokenPlace at(const fy_mark *mark)
    {
        return mark && mark->line >= 0 ? counter.place(source(mark->input_pos)) : last;
    }

    // With comments, adds the words of the comments in the text from where
    // the last search ended to upTo, which holds no scalar: there a '#' after
    // a blank, or at a line's start, starts a comment that goes to its line's
    // end. Text before upTo is not searched again.
    bool commentsBefore(std::size_t upTo)
    {
        if (!comments || upTo <= scanned)
            return true;
        const char *p = store.text.data();
        const std::size_t limit = std::min(upTo, store.text.size());
        for (std::size_t i = scanned; i < limit; ++i) {
            if (p[i] != '#' || (i > 0 && p[i - 1] != ' ' && p[i - 1] != '\t' && p[i - 1] != '\n' && p[i - 1] != '\r'))
                continue;
            std::size_t end = i + 1;
            while (end < store.text.size() && p[end] != '\n' && p[end] != '\r')
                ++end;
            for (std::size_t w = i + 1; w < end;) {
                if (p[w] == ' ' || p[w] == '\t') {
                    ++w;
                    continue;
                }
                std::size_t e = w;
                while (e < end && p[e] != ' ' && p[e] != '\t')
                    ++e;
                const TokenPlace start = counter.place(w);
                if (!add("", p + w, e - w, "", start, counter.place(e), true))
                    return false;
                w = e;
            }
            i = end;
        }
        scanned = std::max(scanned, upTo);
        return true;
    }

    // The comments before the token's first byte, then none inside it.
    bool commentsBefore(fy_token *token)
    {
        const fy_mark *from = token ? fy_token_start_mark(token) : nullptr;
        const fy_mark *to = token ? fy_token_end_mark(token) : nullptr;
        if (!from || !to || from->line < 0)
            return true;
        if (!commentsBefore(source(from->input_pos)))
            return false;
        scanned = std::max(scanned, source(to->input_pos));
        return true;
    }

    // A token no byte of the source spells, at the end of the last one.
    bool addUnspelled(const char *key)
    {
        return add(key, "", 0, "", last, last);
    }

    // The anchor and tag of a node, before it.
    bool addProperties(fy_token *anchor, fy_token *tag)
    {
        if (!commentsBefore(anchor) || !commentsBefore(tag))
            return false;
        std::size_t n = 0;
        if (anchor) {
            const char *name = fy_token_get_text(anchor, &n);
            const TokenPlace start = at(fy_token_start_mark(anchor));
            if (!name || !add("&", name, n, "", start, at(fy_token_end_mark(anchor))))
                return false;
        }
        if (tag && !nonSpecific(tag)) {
            const char *name = fy_token_get_text(tag, &n);
            const TokenPlace start = at(fy_token_start_mark(tag));
            if (!name || !add("!<", name, n, ">", start, at(fy_token_end_mark(tag))))
                return false;
        }
        return true;
    }

    // True when the scalar token value holds no byte of the source.
    static bool emptyBody(fy_token *value)
    {
        const fy_mark *from = value ? fy_token_start_mark(value) : nullptr;
        const fy_mark *to = value ? fy_token_end_mark(value) : nullptr;
        return from && to && from->line >= 0 && to->line >= 0 && from->input_pos == to->input_pos;
    }

    // True when tag is the non-specific "!", which only says the node is
    // not resolved by its form: a string, a sequence or a mapping.
    static bool nonSpecific(fy_token *tag)
    {
        std::size_t n = 0;
        const char *name = fy_token_get_text(tag, &n);
        return name && n == 1 && name[0] == '!';
    }

    // Adds the tokens of event; false when a bound is met.
    bool take(fy_event *e)
    {
        // Comments first, while the places counted only go forwards.
        if (comments) {
            const fy_mark *from = fy_event_start_mark(e);
            if (e->type == FYET_SCALAR || e->type == FYET_ALIAS) {
                fy_token *anchor = e->type == FYET_SCALAR ? e->scalar.anchor : nullptr;
                fy_token *tag = e->type == FYET_SCALAR ? e->scalar.tag : nullptr;
                if (!commentsBefore(anchor) || !commentsBefore(tag))
                    return false;
                // A quoted scalar's marks leave its opening quote out.
                const std::size_t at = from && from->line >= 0 ? source(from->input_pos) : 0;
                if (from && from->line >= 0 && !commentsBefore(at > 0 ? at - 1 : 0))
                    return false;
                const fy_mark *to = fy_event_end_mark(e);
                if (to && to->line >= 0)
                    scanned = std::max(scanned, source(to->input_pos));
            } else if (e->type == FYET_STREAM_END && !commentsBefore(store.text.size())) {
                return false;
            }
        }
        const TokenPlace start = at(fy_event_start_mark(e));
        const TokenPlace end = at(fy_event_end_mark(e));
        std::size_t n = 0;
        switch (e->type) {
        case FYET_DOCUMENT_START: {
            if (!add("---", "", 0, "", start, e->document_start.implicit ? start : end))
                return false;
            fy_document_state *state = e->document_start.document_state;
            if (state && fy_document_state_version_explicit(state)) {
                const fy_version *v = fy_document_state_version(state);
                char text[32];
                std::snprintf(text, sizeof text, "%%YAML %d.%d", v ? v->major : 0, v ? v->minor : 0);
                return addUnspelled(text);
            }
            return true;
        }
        case FYET_MAPPING_START:
        case FYET_SEQUENCE_START: {
            const bool mapping = e->type == FYET_MAPPING_START;
            if (++depth > kYamlMaxDepth)
                return false;
            fy_token *anchor = mapping ? e->mapping_start.anchor : e->sequence_start.anchor;
            fy_token *tag = mapping ? e->mapping_start.tag : e->sequence_start.tag;
            return addProperties(anchor, tag) && add(mapping ? "{" : "[", "", 0, "", at(fy_event_start_mark(e)), end);
        }
        case FYET_MAPPING_END:
        case FYET_SEQUENCE_END:
            --depth;
            return add(e->type == FYET_MAPPING_END ? "}" : "]", "", 0, "", start, end);
        case FYET_SCALAR: {
            if (!addProperties(e->scalar.anchor, e->scalar.tag))
                return false;
            fy_token *value = e->scalar.value;
            const char *text = value ? fy_token_get_text(value, &n) : "";
            if (!text) {
                text = "";
                n = 0;
            }
            // A plain scalar with the non-specific tag is a string, as a quoted one is.
            // An empty value with no token at all is plain too (a null).
            const fy_scalar_style style = value ? fy_scalar_token_get_style(value) : FYSS_PLAIN;
            const bool block = style == FYSS_LITERAL || style == FYSS_FOLDED;
            // A block scalar without a byte after its header is the empty
            // string, whatever its chomping; the parser gives a NUL byte where
            // the header's line end is the source's last byte.
            if (block && emptyBody(value))
                n = 0;
            if (block && n == 0 && depth == 0 && (e->scalar.tag || e->scalar.anchor)) {
                const fy_mark *body = fy_token_start_mark(value);
                emptyRoot = body && body->line >= 0 ? body->input_pos : std::string::npos;
            }
            const bool plain = style != FYSS_SINGLE_QUOTED && style != FYSS_DOUBLE_QUOTED && !block &&
                               !(e->scalar.tag && nonSpecific(e->scalar.tag));
            if (plain)
                return add("", text, n, "", start, end);
            // A quoted scalar's marks leave its quotes out: its spelling takes them in.
            const fy_mark *from = fy_event_start_mark(e);
            const fy_mark *to = fy_event_end_mark(e);
            const bool quoted = style == FYSS_SINGLE_QUOTED || style == FYSS_DOUBLE_QUOTED;
            const std::size_t open = from && from->line >= 0 ? source(from->input_pos) : 0;
            const std::size_t close = to && to->line >= 0 ? source(to->input_pos) : store.text.size();
            if (quoted && open > 0 && close < store.text.size())
                return add("\"", text, n, "\"", counter.place(open - 1), counter.place(close + 1));
            return add("\"", text, n, "\"", start, end);
        }
        case FYET_ALIAS: {
            fy_token *anchor = e->alias.anchor;
            const char *name = anchor ? fy_token_get_text(anchor, &n) : "";
            return add("*", name ? name : "", name ? n : 0, "", start, end);
        }
        default:
            return true;  // the stream's start and end, a document's end: layout
        }
    }
};

// The offset of the first byte of text that is not valid UTF-8 (YAML is
// Unicode text, and the parser loops on some bytes that are not);
// text.size() when all of it is.
std::size_t invalidUtf8(const ByteBuffer &text)
{
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        if (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, p + i, 8);
            if ((word & 0x8080808080808080u) == 0) {
                i += 8;
                continue;
            }
        }
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length;
        unsigned char low = 0x80, high = 0xBF;  // the bounds of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            low = c == 0xE0 ? 0xA0 : 0x80;   // no overlong form
            high = c == 0xED ? 0x9F : 0xBF;  // no surrogate
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            low = c == 0xF0 ? 0x90 : 0x80;
            high = c == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
        } else {
            return i;
        }
        if (i + length > n || p[i + 1] < low || p[i + 1] > high)
            return i;
        for (std::size_t k = 2; k < length; ++k)
            if (p[i + k] < 0x80 || p[i + k] > 0xBF)
                return i;
        i += length;
    }
    return n;
}

// The place of the parser's first error, as "line L, column C"; empty when it gave none.
std::string errorPlace(fy_diag *diag)
{
    void *iter = nullptr;
    while (fy_diag_error *error = diag ? fy_diag_errors_iterate(diag, &iter) : nullptr) {
        if (error->type < FYET_ERROR)
            continue;
        return "line " + std::to_string(error->line) + ", column " + std::to_string(error->column);
    }
    return std::string();
}

bool isBlankByte(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// Where to put the indentation indicator of a block scalar at a document's
// root whose tag or anchor stands on its header's line ("!!str |", "&a >-")
// and whose value starts at body in text, and the digit to put there: the
// content's indentation as a reader finds it, the blanks that start its
// first line that is not blank (no blank line before it holding more).
// libfyaml reads such a scalar empty, and its content as a document
// without "---", but reads it right with the indicator. Returns 0, or 1
// when the scalar is not so or its indentation takes no digit (0, or past 9).
int indicatorFor(const std::string &text, std::size_t body, std::size_t &at, char &digit)
{
    if (body == 0 || body > text.size() || text[body - 1] != '\n')
        return 1;
    std::size_t i = body - 1;
    while (i > 0 && text[i - 1] != '\n')
        --i;
    // The header's line: "---", properties, then the indicator and its modifiers.
    std::size_t header = std::string::npos;
    for (bool properties = false; i < body - 1;) {
        while (i < body - 1 && isBlankByte(text[i]))
            ++i;
        std::size_t end = i;
        while (end < body - 1 && !isBlankByte(text[end]))
            ++end;
        if (text[i] == '|' || text[i] == '>') {
            header = properties ? i : std::string::npos;
            for (std::size_t k = i + 1; k < end; ++k)
                if (text[k] != '+' && text[k] != '-')
                    header = std::string::npos;  // an indicator already there, or a scalar "|x"
            break;
        }
        if (text[i] != '!' && text[i] != '&' && text.compare(i, end - i, "---") != 0)
            break;
        properties = properties || text[i] != '-';
        i = end;
    }
    if (header == std::string::npos)
        return 1;
    // The content's indentation.
    std::size_t blanks = 0;  // the most spaces on a blank line before it
    for (std::size_t line = body; line < text.size();) {
        std::size_t k = line;
        while (k < text.size() && text[k] == ' ')
            ++k;
        if (k < text.size() && text[k] != '\n' && text[k] != '\r') {
            const std::size_t indent = k - line;
            if (indent == 0 || indent > 9 || blanks > indent)
                return 1;
            at = header + 1;
            digit = static_cast<char>('0' + indent);
            return 0;
        }
        blanks = std::max(blanks, k - line);
        const void *lf = std::memchr(text.data() + k, '\n', text.size() - k);
        line = lf ? static_cast<std::size_t>(static_cast<const char *>(lf) - text.data()) + 1 : text.size();
    }
    return 1;
}

constexpr int kYamlMaxIndicators = 16;  // indentation indicators put in for the parser, at most

// Parses text, with the indentation indicators put in at put, into store's
// tokens; returns the reason the source is refused, empty when it is not.
// Sets emptyRoot as Builder does.
std::string parseText(YamlStore &store, const char *text, std::size_t length, const std::vector<std::size_t> &put,
                      bool withComments, std::size_t &emptyRoot)
{
    fy_diag_cfg diagConfig;
    fy_diag_cfg_default(&diagConfig);
    diagConfig.fp = nullptr;
    diagConfig.output_fn = nullptr;
    diagConfig.colorize = false;
    fy_diag *diag = fy_diag_create(&diagConfig);
    if (diag)
        fy_diag_set_collect_errors(diag, true);
    fy_parse_cfg config{};
    config.flags = static_cast<fy_parse_cfg_flags>(FYPCF_QUIET | FYPCF_COLLECT_DIAG);
    config.diag = diag;
    fy_parser *parser = fy_parser_create(&config);
    std::string reason;
    emptyRoot = std::string::npos;
    store.tokens.clear();
    store.keys.clear();
    if (!parser || fy_parser_set_string(parser, text, length) != 0) {
        reason = "not valid YAML";
    } else {
        Builder builder(store, withComments, put);
        store.tokens.reserve(store.text.size() / 16 + 16);
        store.keys.reserve(store.text.size() + 64);
        bool bounded = true;
        // A first "#!" line is a comment to YAML, but the kernel reads it.
        HashBangKey bang;
        if (findHashBang(store.text.data(), store.text.size(), bang)) {
            const std::string head(store.text.data(), bang.head);
            const std::size_t end = bang.end > bang.rest ? bang.end : bang.head;
            builder.add(head.c_str(), store.text.data() + bang.rest, bang.end - bang.rest, "", builder.counter.place(0),
                        builder.counter.place(end));
            builder.scanned = bang.lineEnd;
        }
        while (fy_event *e = fy_parser_parse(parser)) {
            bounded = builder.take(e);
            fy_parser_event_free(parser, e);
            if (!bounded)
                break;
        }
        if (!bounded)
            reason = builder.depth > kYamlMaxDepth ? "nested too deeply to compare as YAML"
                                                   : "too large to compare as YAML";
        else if (fy_parser_get_stream_error(parser)) {
            const std::string place = errorPlace(diag);
            reason = place.empty() ? "not valid YAML" : "not valid YAML at " + place;
            emptyRoot = builder.emptyRoot;
        }
    }
    if (parser)
        fy_parser_destroy(parser);
    if (diag)
        fy_diag_destroy(diag);
    return reason;
}

// Parses store's text into its tokens; returns the reason the source is
// refused, empty when it is not. Where the parser fails after reading a
// block scalar at a document's root empty (see indicatorFor), the text is
// parsed again with that scalar's indentation indicator put in.
std::string parseWhole(YamlStore &store, bool withComments)
{
    std::vector<std::size_t> put;  // where the parser's text has an indicator the source has not
    std::string fixed;             // the parser's text, once it differs from the source
    std::size_t emptyRoot = std::string::npos;
    std::string reason = parseText(store, store.text.data(), store.text.size(), put, withComments, emptyRoot);
    for (int k = 0; !reason.empty() && emptyRoot != std::string::npos && k < kYamlMaxIndicators; ++k) {
        if (fixed.empty())
            fixed.assign(store.text.data(), store.text.size());
        std::size_t at;
        char digit;
        if (indicatorFor(fixed, emptyRoot, at, digit) != 0)
            break;
        fixed.insert(at, 1, digit);
        put.insert(std::upper_bound(put.begin(), put.end(), at), at);
        // The indicators put in before move with the text after them.
        for (std::size_t &p : put)
            p += p > at;
        reason = parseText(store, fixed.data(), fixed.size(), put, withComments, emptyRoot);
    }
    return reason;
}

// Reads and parses lexer's source into a new store; a source refused keeps
// one token, its reason.
void readSourceWhole(Lexer &lx)
{
    YamlStore *store = new YamlStore;
    lx.store.reset(store);
    std::string reason;
    lx.anyByte = true;
    if (!readWholeSource(*lx.source, store->text, kYamlMaxBytes))
        reason = "too large to compare as YAML";
    else
        lx.anyByte = !store->text.empty();
    const std::size_t bad = reason.empty() ? invalidUtf8(store->text) : store->text.size();
    if (bad < store->text.size()) {
        PlaceCounter counter{store->text};
        const TokenPlace at = counter.place(bad);
        reason = "not valid YAML at line " + std::to_string(at.line) + ", column " + std::to_string(at.column);
    }
    if (reason.empty())
        reason = parseWhole(*store, lx.options.comments);
    if (reason.empty())
        return;
    refuseSource(lx, reason.c_str());
    store->tokens.clear();
    store->keys = "<" + reason + ">";
    store->tokens.push_back({0, static_cast<std::uint32_t>(store->keys.size()), 0, 1, 1, 1, 1});
}

} // namespace

void yamlNext(Lexer &lx, TokenPiece &piece)
{
    YamlLexState &state = yamlState(lx);
    if (!state.read) {
        state.read = true;
        readSourceWhole(lx);
    }
    const YamlStore &store = static_cast<const YamlStore &>(*lx.store);
    if (state.next >= store.tokens.size()) {
        finishStream(lx, piece);
        return;
    }
    const YamlToken &t = store.tokens[state.next++];
    wholePiece(piece, t.comment ? TokenKind::CommentWord : TokenKind::Code, store.keys.data() + t.offset, t.length,
               {t.line, t.column});
    lx.endPlace = {t.endLine, t.endColumn};
}

extern const LexerHooks kYamlLexer = {kitStart<YamlLexState>, yamlNext, nullptr, nullptr, false, nullptr};

#else

extern const LexerHooks kYamlLexer = {nullptr, nullptr, nullptr, nullptr, false, nullptr};

#endif
