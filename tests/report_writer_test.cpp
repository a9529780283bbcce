// The escapes of the report formats: any bytes in, a valid string of each
// format out, one finding one line.
#include <gtest/gtest.h>

#include <string>

#include "report/report.h"

namespace {

struct EscapeCase {
    const char *name;
    std::string input;
    std::string json;      // appendJson
    std::string uri;       // appendUri
    std::string property;  // appendCommand, a property
    std::string data;      // appendCommand, the message
    std::string gnu;       // appendGnu
};

TEST(ReportWriter, EscapesEveryByte)
{
    const std::string fffd = "\xEF\xBF\xBD";
    const EscapeCase cases[] = {
        {"plain", "src/a.c", "\"src/a.c\"", "src/a.c", "src/a.c", "src/a.c", "src/a.c"},
        {"quote and backslash", "q\"b\\", "\"q\\\"b\\\\\"", "q%22b%5C", "q\"b\\", "q\"b\\", "q\"b\\"},
        {"control bytes", std::string("\x01\t\n\r\x7f", 5), "\"\\u0001\\t\\n\\r\\u007F\"", "%01%09%0A%0D%7F",
         "\x01\t%0A%0D\x7f", "\x01\t%0A%0D\x7f", "?????"},
        {"zero byte", std::string("a\0b", 3), "\"a\\u0000b\"", "a%00b", std::string("a\0b", 3),
         std::string("a\0b", 3), "a?b"},
        {"comma colon percent", "a,b:c%", "\"a,b:c%\"", "a%2Cb%3Ac%25", "a%2Cb%3Ac%25", "a,b:c%25", "a,b:c%"},
        {"valid UTF-8", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\"",
         "%C3%A9%E2%82%AC%F0%9F%98%80", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
         "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {"stray and overlong", "\xFF\xC0\xAF", "\"" + fffd + fffd + fffd + "\"", "%FF%C0%AF", fffd + fffd + fffd,
         fffd + fffd + fffd, "\xFF\xC0\xAF"},
        {"surrogate and past U+10FFFF", "\xED\xA0\x80\xF4\x90\x80\x80",
         "\"" + fffd + fffd + fffd + fffd + fffd + fffd + fffd + "\"", "%ED%A0%80%F4%90%80%80",
         fffd + fffd + fffd + fffd + fffd + fffd + fffd, fffd + fffd + fffd + fffd + fffd + fffd + fffd,
         "\xED\xA0\x80\xF4\x90\x80\x80"},
        {"cut short", "a\xE2\x82", "\"a" + fffd + fffd + "\"", "a%E2%82", "a" + fffd + fffd, "a" + fffd + fffd,
         "a\xE2\x82"},
        {"from the root", "/x y", "\"/x y\"", "file:///x%20y", "/x y", "/x y", "/x y"},
    };
    for (const EscapeCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::string json, uri, property, data, gnu;
        appendJson(json, c.input.data(), c.input.size());
        appendUri(uri, c.input.data(), c.input.size());
        appendCommand(property, c.input.data(), c.input.size(), true);
        appendCommand(data, c.input.data(), c.input.size(), false);
        appendGnu(gnu, c.input.data(), c.input.size());
        EXPECT_EQ(json, c.json);
        EXPECT_EQ(uri, c.uri);
        EXPECT_EQ(property, c.property);
        EXPECT_EQ(data, c.data);
        EXPECT_EQ(gnu, c.gnu);
    }
}

TEST(ReportWriter, FirstReportLineOfAStoppedRun)
{
    const struct {
        const char *name;
        const char *text;
        const char *line;
    } cases[] = {
        {"error then more", "Matchling==>  Unable to open input file x.c for reading \nMatchling==>  The file \n",
         "Unable to open input file x.c for reading"},
        {"blank lines first", "\n\nMatchling==>  Unable to read b.c \n", "Unable to read b.c"},
        {"prompt only", "Matchling==>  Press Enter to continue \n\n", ""},
        {"no prefix", "Not a git repository: /tmp", "Not a git repository: /tmp"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(firstReportLine(c.text), c.line);
    }
}

} // namespace
