// The Dockerfile's in-process tests: its near misses, for each decision a
// pair that must differ and, where the decision can go the other way, a
// pair that must stay equal; the input it refuses; then its relayout and
// token mutants of the sample Dockerfiles judged by a reader written on
// Python's shlex (suite DockerfileLexerTools).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"

namespace {

const Language Docker = Language::Dockerfile;

void checkDocker(std::vector<PairCase> cases, const LexOptions &options = {})
{
    for (PairCase &c : cases) {
        EXPECT_EQ(refusalOf(c.a, Docker, options), "") << c.name << ": " << c.a;
        EXPECT_EQ(refusalOf(c.b, Docker, options), "") << c.name << ": " << c.b;
        c.options = options;
    }
    checkPairs(Docker, std::move(cases));
}

TEST(DockerfileNearMiss, Instructions)
{
    checkDocker({
        {"blanks between arguments", "FROM a AS b\n", "FROM  a\tAS   b  \n", true},
        {"an argument's text", "FROM a:1\n", "FROM a:2\n", false},
        {"a keyword's case counts", "FROM a\n", "from a\n", false},
        {"indentation and blank lines", "FROM a\nRUN b\n", "\n  FROM a\n\n\n\tRUN b\r\n", true},
        {"a line end ends an instruction", "RUN a\nRUN b\n", "RUN a RUN b\n", false},
        {"comments", "FROM a\nRUN b\n", "# one\nFROM a\n  # two\nRUN b\n", true},
        {"a word split", "RUN ab\n", "RUN a b\n", false},
        {"blanks inside double quotes", "RUN echo \"a b\"\n", "RUN echo \"a  b\"\n", false},
        {"blanks inside single quotes", "ENV A='a b'\n", "ENV A='a  b'\n", false},
        {"a quote joins its blanks to the word", "RUN echo \"a\" b\n", "RUN echo \"a b\"\n", false},
        {"a backslash keeps a blank in the word", "RUN a\\ b\n", "RUN a\\  b\n", false},
        {"a '#' after a word is a word", "RUN a\n", "RUN a # b\n", false},
        {"a byte order mark", "FROM a\n", "\xEF\xBB\xBF" "FROM a\n", true},
        {"a CR that ends the file ends the line", "RUN a", "RUN a\r", true},
        {"a CR that ends the file after a keyword", "FROM\n", "FROM\r", true},
        {"a CR before the last one is the word's", "RUN a", "RUN a\r\r", false},
        {"a lone CR inside the line is the word's", "RUN a b", "RUN a\r b", false},
    });
}

TEST(DockerfileNearMiss, Continuations)
{
    checkDocker({
        {"a continued line", "RUN a b\n", "RUN a \\\n    b\n", true},
        {"blanks after the backslash", "RUN a b\n", "RUN a \\  \n b\n", true},
        {"a continuation joins without a blank", "RUN ab\n", "RUN a\\\nb\n", true},
        {"a continuation against a blank", "RUN ab\n", "RUN a\\\n b\n", false},
        {"a keyword's continuation before a blank", "RUN a\n", "RUN\\\n  a\n", true},
        {"a continued line's blanks inside quotes", "RUN echo \"a b\"\n", "RUN echo \"a \\\n    b\"\n", false},
        {"a continued line inside quotes", "RUN echo \"a b\"\n", "RUN echo \"a \\\nb\"\n", true},
        {"a comment line inside an instruction", "RUN a b\n", "RUN a \\\n# note\n  b\n", true},
        {"an empty line inside an instruction", "RUN a b\n", "RUN a \\\n\n  b\n", true},
        {"an escaped backslash ends the line", "RUN a\\\\\nRUN b\n", "RUN a\\\\ RUN b\n", false},
        {"the escape directive's byte continues", "# escape=`\nRUN a `\n b\n", "# escape=`\nRUN a b\n", true},
        {"a backslash after the escape directive", "# escape=`\nRUN a \\\nRUN b\n", "# escape=`\nRUN a \\ RUN b\n", false},
    });
}

TEST(DockerfileNearMiss, Directives)
{
    checkDocker({
        {"a directive is a token", "# syntax=docker/dockerfile:1\nFROM a\n", "FROM a\n", false},
        {"a directive's blanks", "# syntax=docker/dockerfile:1\nFROM a\n", "#syntax = docker/dockerfile:1  \nFROM a\n", true},
        {"a directive's value", "# check=skip=all\nFROM a\n", "# check=error=true\nFROM a\n", false},
        {"after a blank line it is a comment", "FROM a\n", "\n# syntax=x\nFROM a\n", true},
        {"after a comment it is a comment", "# c\nFROM a\n", "# c\n# escape=`\nFROM a\n", true},
        {"an unknown name is a comment", "FROM a\n", "# foo=bar\nFROM a\n", true},
        {"a form feed in a directive", "# escape=`\nRUN a `\n b\n", "#\fescape=`\nRUN a `\n b\n", true},
        {"indentation before a directive", "# escape=`\nRUN a `\n b\n", "  # escape=`\nRUN a `\n b\n", true},
        {"two directives", "# syntax=x\n# escape=`\nFROM a\n", "# syntax=x\n\n# escape=`\nFROM a\n", false},
    });
}

TEST(DockerfileNearMiss, ExecForm)
{
    checkDocker({
        {"blanks between JSON tokens", "CMD [\"a\",\"b\"]\n", "CMD [ \"a\" ,  \"b\" ]\n", true},
        {"a JSON string's blanks", "CMD [\"a b\"]\n", "CMD [\"a  b\"]\n", false},
        {"a JSON array over lines", "CMD [\"a\", \"b\"]\n", "CMD [\"a\", \\\n     \"b\"]\n", true},
        {"a string split", "CMD [\"ab\"]\n", "CMD [\"a\", \"b\"]\n", false},
        {"the shell form is no exec form", "CMD [\"a\"]\n", "CMD \"a\"\n", false},
        {"no JSON: the shell form's blanks count", "RUN [ -f x ] && y\n", "RUN [ -f x] && y\n", false},
        {"no JSON: blanks at the start count", "RUN [ -f x ]\n", "RUN [-f x ]\n", false},
        {"no JSON: a missing comma", "CMD [ \"a\" \"b\" ]\n", "CMD [\"a\"\"b\"]\n", false},
        {"no JSON: a bad escape", "CMD [\"a\\q\" ,\"b\"]\n", "CMD [\"a\\q\",\"b\"]\n", false},
        {"no JSON: the same blanks", "RUN [ -f x ] && y\n", "RUN [ -f  x ]  &&  y\n", true},
        {"text after the array", "CMD [\"a\"]\n", "CMD [\"a\"] b\n", false},
        {"not the exec form after a word", "ENV a [\"b\",\"c\"]\n", "ENV a [\"b\", \"c\"]\n", false},
    });
}

TEST(DockerfileNearMiss, Heredocs)
{
    checkDocker({
        {"a body as written", "RUN <<EOF\na  b\nEOF\n", "RUN <<EOF\na b\nEOF\n", false},
        {"a body's indentation", "RUN <<EOF\na\nEOF\n", "RUN <<EOF\n  a\nEOF\n", false},
        {"a body's comment line", "RUN <<EOF\nEOF\n", "RUN <<EOF\n# a\nEOF\n", false},
        {"<<- strips leading tabs", "RUN <<-EOF\na\nEOF\n", "RUN <<-EOF\n\t\ta\n\tEOF\n", true},
        {"<< keeps them", "RUN <<EOF\na\nEOF\n", "RUN <<EOF\n\ta\nEOF\n", false},
        {"a body's CR LF", "RUN <<EOF\na\nEOF\n", "RUN <<EOF\r\na\r\nEOF\r\n", true},
        {"a body's lone CR", "RUN <<EOF\na\nEOF\n", "RUN <<EOF\na\r\r\nEOF\n", false},
        {"a quoted delimiter", "RUN <<\"EOF\"\n$a\nEOF\nRUN b\n", "RUN <<\"EOF\"\n$a\nEOF\n\nRUN   b\n", true},
        {"two bodies", "COPY <<A <<B /x/\n1\nA\n2\nB\n", "COPY <<A <<B /x/\n1\n2\nA\nB\n", false},
        {"the instruction after a body", "RUN <<EOF\nx\nEOF\nRUN y\n", "RUN <<EOF\nx\nEOF\nRUN  y\n", true},
        {"no here-document in CMD", "CMD <<EOF\nRUN a  b\n", "CMD <<EOF\nRUN a b\n", true},
    });
}

// Tokens longer than a piece and than the window.
TEST(DockerfileNearMiss, LongTokens)
{
    const std::string big(70000, 'x');
    checkDocker({
        {"a word longer than the window", "RUN " + big + " a\n", "RUN  " + big + "   a \n", true},
        {"its last byte", "RUN " + big + "\n", "RUN " + big + "y\n", false},
        {"a quoted word over a continued line", "RUN \"" + big + "\"\n", "RUN \"" + big.substr(1) + "\\\nx\"\n", true},
        {"a body longer than the window", "RUN <<EOF\n" + big + "\nEOF\nRUN a\n", "RUN <<EOF\n" + big + "\nEOF\n  RUN a\n", true},
        {"a body's last byte", "RUN <<EOF\n" + big + "\nEOF\n", "RUN <<EOF\n" + big + "y\nEOF\n", false},
        {"an exec string longer than the window", "CMD [\"" + big + "\"]\n", "CMD [ \"" + big + "\" ]\n", true},
    });
}

TEST(DockerfileNearMiss, Comments)
{
    LexOptions comments;
    comments.comments = true;
    checkDocker({
        {"a comment's words", "# a b\nFROM x\n", "# a c\nFROM x\n", false},
        {"a comment's blanks", "# a b\nFROM x\n", "#  a   b\nFROM x\n", true},
        {"a CR that ends a comment at the file's end", "FROM x\n# a", "FROM x\n# a\r", true},
        {"a lone CR inside a comment", "FROM x\n# a", "FROM x\n# a\r\r", false},
    }, comments);
}

TEST(DockerfileNearMiss, Refused)
{
    const struct {
        const char *name;
        std::string text, reason;
    } rows[] = {
        {"an unterminated here-document", "RUN <<EOF\na\n", "not valid Dockerfile at line 3, column 1"},
        {"an unterminated quote", "RUN echo \"a\nRUN b\n", "not valid Dockerfile at line 1, column 12"},
        {"an unterminated quote in a continued line", "RUN echo 'a \\\n b\n", "not valid Dockerfile at line 2, column 3"},
        {"an unterminated JSON string", "CMD [\"a\n", "not valid Dockerfile at line 1, column 8"},
        {"a NUL byte", std::string("RUN a\0\n", 7), "not valid Dockerfile at line 1, column 6"},
        {"a bad escape byte", "# escape=x\nFROM a\n", "not valid Dockerfile at line 1, column 10"},
        {"a keyword joined to the next line", "R\\\nUN a\n", "not valid Dockerfile at line 2, column 1"},
        {"a here-document's opener past a piece", "RUN <<" + std::string(2000, 'E') + "\nx\n", "not valid Dockerfile at line 1, column 1029"},
        {"a second escape directive", "# escape=`\n# escape=\\\nFROM a\n", "not valid Dockerfile at line 2, column 10"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(refusalOf(r.text, Docker), r.reason);
    }
}

Language dockerLanguage(const std::string &)
{
    return Docker;
}

// A reader on Python's shlex judges relayout mutants (which it must read as
// the same) and token mutants of the sample Dockerfiles and of up to 40
// Dockerfiles of this machine; no Dockerfile formatter is installed.
TEST(DockerfileLexerTools, ShlexReaderJudgesMutants)
{
    if (!haveTool("python3"))
        GTEST_SKIP() << "python3 is needed";
    const std::string source = MATCHLING_SOURCE_DIR;
    const std::string found = "find /usr /etc /root -xdev \\( -name Dockerfile -o -name '*.dockerfile' -o -name "
                              "Containerfile \\) -size -64k -type f 2>/dev/null | sort | head -40 | tr '\\n' ' '";
    ScratchDir dir;
    const auto tallies = judgePairs("python3 '" + source + "/tests/languages/dockerfile_judge.py' make '" +
                                        dir.path() + "' " + source + "/tests/languages/dockerfile/* " +
                                        commandOutput(found),
                                    dockerLanguage);
    EXPECT_GT(tallies.count("relayout"), 0u);
}

} // namespace
