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

// A token difference in each format: at the tokens' starts, or, where the
// spellings part past what those show, at the bytes that differ.
TEST(ReportWriter, TokenFindingsAndTheirPlaces)
{
    DifferenceFacts start;
    start.byTokens = true;
    start.lines[0] = 2, start.columns[0] = 5, start.tokens[0] = "'a'";
    start.lines[1] = 2, start.columns[1] = 3, start.tokens[1] = "\"b\"";
    DifferenceFacts excerpt = start;
    excerpt.tokens[0] = "    one'''", excerpt.tokens[1] = "  two'''";
    excerpt.excerptLines[0] = 7, excerpt.excerptColumns[0] = 5;
    excerpt.excerptLines[1] = 6, excerpt.excerptColumns[1] = 3;
    const struct {
        const char *name;
        const DifferenceFacts &difference;
        ReportFormat format;
        std::string out;
    } cases[] = {
        {"start, json", start, ReportFormat::Json,
         "{\"type\":\"pair\",\"path\":\"b.py\",\"status\":\"not-equivalent\",\"first\":{\"name\":\"a.py\",\"line\":2,"
         "\"column\":5,\"token\":\"'a'\",\"ends\":false},\"second\":{\"name\":\"b.py\",\"line\":2,\"column\":3,"
         "\"token\":\"\\\"b\\\"\",\"ends\":false}}\n"},
        {"start, gnu", start, ReportFormat::Gnu,
         "b.py:2:3: error: Not equivalent: '\"b\"' here, ''a'' at line 2, column 5 of a.py\n"},
        {"excerpt, json", excerpt, ReportFormat::Json,
         "{\"type\":\"pair\",\"path\":\"b.py\",\"status\":\"not-equivalent\",\"first\":{\"name\":\"a.py\",\"line\":2,"
         "\"column\":5,\"token\":\"    one'''\",\"difference_line\":7,\"difference_column\":5,\"ends\":false},"
         "\"second\":{\"name\":\"b.py\",\"line\":2,\"column\":3,\"token\":\"  two'''\",\"difference_line\":6,"
         "\"difference_column\":3,\"ends\":false}}\n"},
        {"excerpt, github", excerpt, ReportFormat::Github,
         "::error file=b.py,line=6,col=3::Not equivalent: '  two'''' here, '    one'''' at line 7, column 5 of a.py\n"},
        {"excerpt, gnu", excerpt, ReportFormat::Gnu,
         "b.py:6:3: error: Not equivalent: '  two'''' here, '    one'''' at line 7, column 5 of a.py\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        PairFacts p;
        p.path = p.place = "b.py";
        p.names[0] = "a.py";
        p.names[1] = "b.py";
        p.status = PairStatus::NotEquivalent;
        p.difference = &c.difference;
        ReportWriter w;
        w.format = c.format;
        std::string out;
        reportPair(w, p, out);
        EXPECT_EQ(out, c.out);
    }
}

} // namespace
