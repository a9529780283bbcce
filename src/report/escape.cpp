// The escapes of the report formats: names are bytes, and each format must
// stay valid (and one finding one line) whatever bytes they hold.
#include "report/report.h"

namespace {

const char kHex[] = "0123456789ABCDEF";
const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// Bytes of the well-formed UTF-8 sequence at text[i], or 0 when none starts
// there (a stray continuation byte, an overlong form, a surrogate, a code
// point past U+10FFFF, a sequence cut short).
std::size_t utf8Length(const unsigned char *text, std::size_t i, std::size_t length)
{
    const unsigned char c = text[i];
    std::size_t n;
    unsigned char low = 0x80, high = 0xBF;  // the bounds of the second byte
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        low = c == 0xE0 ? 0xA0 : 0x80;
        high = c == 0xED ? 0x9F : 0xBF;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        low = c == 0xF0 ? 0x90 : 0x80;
        high = c == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (length - i < n || text[i + 1] < low || text[i + 1] > high)
        return 0;
    for (std::size_t k = 2; k < n; ++k)
        if ((text[i + k] & 0xC0) != 0x80)
            return 0;
    return n;
}

void appendPercent(std::string &out, unsigned char c)
{
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 15];
}

} // namespace

void appendJson(std::string &out, const char *text, std::size_t length)
{
    const unsigned char *t = reinterpret_cast<const unsigned char *>(text);
    out += '"';
    for (std::size_t i = 0; i < length;) {
        const unsigned char c = t[i];
        const std::size_t n = utf8Length(t, i, length);
        if (n == 0) {
            out += kReplacement;
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out.append(text + i, n);
        }
        i += n;
    }
    out += '"';
}

void appendUri(std::string &out, const char *text, std::size_t length)
{
    // A path from the root is no relative reference: it takes the file scheme.
    if (length > 0 && text[0] == '/')
        out += "file://";
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '.' || c == '_' || c == '~' || c == '/';
        if (plain)
            out += static_cast<char>(c);
        else
            appendPercent(out, c);
    }
}

void appendCommand(std::string &out, const char *text, std::size_t length, bool property)
{
    const unsigned char *t = reinterpret_cast<const unsigned char *>(text);
    for (std::size_t i = 0; i < length;) {
        const unsigned char c = t[i];
        const std::size_t n = utf8Length(t, i, length);
        if (n == 0)
            out += kReplacement;
        else if (c == '%' || c == '\r' || c == '\n' || (property && (c == ':' || c == ',')))
            appendPercent(out, c);
        else
            out.append(text + i, n);
        i += n == 0 ? 1 : n;
    }
}

void appendGnu(std::string &out, const char *text, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        out += c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c);
    }
}
