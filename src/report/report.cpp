// The report formats: the records of JSON Lines, the parts of a SARIF log,
// and the finding lines of GitHub and GNU, from the facts of each pair.
// Their names and fields are an interface, documented in the manual page.
#include "report/report.h"

#include <cstring>

#include "common/build_info.h"
#include "languages/languages.h"
#include "tokens/show.h"

const char *const kFormatNames = "text, json, sarif, github, gnu, blame-ignore-revs";

namespace {

const struct {
    const char *name;
    ReportFormat format;
} kFormats[] = {
    {"text", ReportFormat::Text},     {"json", ReportFormat::Json}, {"sarif", ReportFormat::Sarif},
    {"github", ReportFormat::Github}, {"gnu", ReportFormat::Gnu},   {"blame-ignore-revs", ReportFormat::BlameIgnoreRevs},
};

// Each status's name in JSON and its rule in SARIF, in PairStatus order.
const struct {
    const char *name;
    const char *rule;  // the SARIF rule's description
} kStatuses[] = {
    {"equivalent", "The two sources are the same but for layout"},
    {"not-equivalent", "The formatted source differs from the original in more than layout"},
    {"failed", "The pair could not be compared"},
    {"only-in-1", "The file is only on the first side"},
    {"only-in-2", "The file is only on the second side"},
    {"not-compared", "No token rules for this kind of file, and the bytes differ"},
};

void appendJsonOrNull(std::string &out, const char *text)
{
    if (text)
        appendJson(out, text, std::strlen(text));
    else
        out += "null";
}

// A key and value of a JSON object, after a comma.
void field(std::string &out, const char *key, const char *value)
{
    out += ",\"";
    out += key;
    out += "\":";
    appendJsonOrNull(out, value);
}

void field(std::string &out, const char *key, long long value)
{
    out += ",\"";
    out += key;
    out += "\":";
    out += std::to_string(value);
}

// A token as a message shows it: a line end as "\n".
std::string shownToken(const std::string &token)
{
    char shown[2 * kShownTokenSize + 1];
    const std::size_t n = showTokenBytes(token.data(), token.size(), shown, sizeof shown - 1);
    return std::string(shown, n);
}

// One side of a JSON pair: its name and, for a difference, where.
void side(std::string &out, const char *key, const PairFacts &p, int f)
{
    out += ",\"";
    out += key;
    out += "\":";
    if (!p.names[f]) {
        out += "null";
        return;
    }
    out += "{\"name\":";
    appendJsonOrNull(out, p.names[f]);
    if (const DifferenceFacts *d = p.status == PairStatus::NotEquivalent ? p.difference : nullptr) {
        if (d->byTokens) {
            field(out, "line", d->lines[f]);
            field(out, "column", d->columns[f]);
            out += ",\"token\":";
            if (d->ended == f + 1)
                out += "null";
            else
                appendJson(out, d->tokens[f].data(), d->tokens[f].size());
            if (d->excerptLines[f] > 0) {
                field(out, "difference_line", d->excerptLines[f]);
                field(out, "difference_column", d->excerptColumns[f]);
            }
        } else {
            field(out, "offset", d->offset);
            if (d->lines[f] > 0)
                field(out, "line", d->lines[f]);
            else
                field(out, "line", nullptr);
        }
        out += d->ended == f + 1 ? ",\"ends\":true" : ",\"ends\":false";
    }
    out += '}';
}

// "allowed": the count of each rewrite of counted.
void allowedField(std::string &out, const std::uint64_t *counts, RewriteSet counted)
{
    out += ",\"allowed\":{";
    bool first = true;
    for (int k = 0; k < kRewriteKinds; ++k) {
        if (!(counted & rewriteBit(static_cast<Rewrite>(k))))
            continue;
        out += first ? "\"" : ",\"";
        first = false;
        out += rewriteName(static_cast<Rewrite>(k));
        out += "\":" + std::to_string(counts[k]);
    }
    out += '}';
}

} // namespace

void reportLeftOut(const std::string &path, const char *reason, const char *language, std::string &out)
{
    out += "{\"type\":\"left-out\",\"path\":";
    appendJson(out, path.data(), path.size());
    field(out, "language", language);
    field(out, "reason", reason);
    out += "}\n";
}

namespace {

void jsonPair(const PairFacts &p, std::string &out)
{
    out += "{\"type\":\"pair\",\"path\":";
    appendJsonOrNull(out, p.path);
    field(out, "status", statusName(p.status));
    if (p.language)
        field(out, "language", p.language);
    if (p.reason)
        field(out, "reason", p.reason);
    if (p.allowed)
        allowedField(out, p.allowed, p.counted);
    side(out, "first", p, 0);
    side(out, "second", p, 1);
    out += "}\n";
}

// The message of a finding, in words, for SARIF, GitHub and GNU.
std::string message(const PairFacts &p)
{
    const std::string name1 = p.names[0] ? p.names[0] : "";
    switch (p.status) {
    case PairStatus::NotEquivalent: {
        if (!p.difference)
            return std::string("Not equivalent (") + (p.reason ? p.reason : "") + ")";
        const DifferenceFacts &d = *p.difference;
        // Where the tokens part past what their starts show, the places are those of the bytes that differ.
        const bool excerpt = d.excerptLines[0] > 0;
        const std::string at1 = " at line " + std::to_string(excerpt ? d.excerptLines[0] : d.lines[0]) + ", column " +
                                std::to_string(excerpt ? d.excerptColumns[0] : d.columns[0]);
        if (!d.byTokens) {
            const std::string line1 = d.lines[0] > 0 ? " (line " + std::to_string(d.lines[0]) + " of " + name1 + ")" : "";
            if (d.ended == 2)
                return "Not equivalent: the normalized text ends here, at offset " + std::to_string(d.offset) +
                       "; that of " + name1 + " goes on" + line1;
            if (d.ended == 1)
                return "Not equivalent: extra text here, after offset " + std::to_string(d.offset) + "; that of " +
                       name1 + " ends" + line1;
            return "Not equivalent: the normalized texts differ at offset " + std::to_string(d.offset) + line1;
        }
        if (d.ended == 2)
            return "Not equivalent: the text ends here; " + name1 + " goes on with '" + shownToken(d.tokens[0]) + "'" +
                   at1;
        if (d.ended == 1)
            return "Not equivalent: extra text begins here with '" + shownToken(d.tokens[1]) + "'; " + name1 +
                   " ends" + at1;
        return "Not equivalent: '" + shownToken(d.tokens[1]) + "' here, '" + shownToken(d.tokens[0]) + "'" + at1 +
               " of " + name1;
    }
    case PairStatus::Failed:
        return std::string("Unable to compare (") + (p.reason ? p.reason : "") + ")";
    case PairStatus::OnlyIn1:
    case PairStatus::OnlyIn2:
        return std::string("Only in ") + (p.onlyIn ? p.onlyIn : "");
    case PairStatus::NotCompared:
        return std::string("Not compared (") + (p.reason ? p.reason : kNoRulesReason) + ")";
    case PairStatus::Equivalent:
        break;
    }
    return "";
}

// The line and column a finding is placed at, of the second side; 0 when not known.
void findingPlace(const PairFacts &p, std::int64_t &line, std::int64_t &column)
{
    line = column = 0;
    if (p.status == PairStatus::NotEquivalent && p.difference) {
        const DifferenceFacts &d = *p.difference;
        line = d.excerptLines[1] > 0 ? d.excerptLines[1] : d.lines[1];
        column = !d.byTokens ? 0 : d.excerptLines[1] > 0 ? d.excerptColumns[1] : d.columns[1];
    }
}

// A finding's place and words, whatever it is a finding of.
struct Finding {
    const char *place;      // the path
    std::int64_t line = 0;  // 0 when not known
    std::int64_t column = 0;
    std::string said;       // the message
};

Finding pairFinding(const PairFacts &p)
{
    Finding f{p.place, 0, 0, message(p)};
    findingPlace(p, f.line, f.column);
    return f;
}

void sarifStart(std::string &out)
{
    out += "{\"version\":\"2.1.0\",\"$schema\":\"https://json.schemastore.org/sarif-2.1.0.json\",\"runs\":[{";
    out += "\"tool\":{\"driver\":{\"name\":\"Matchling\",\"version\":";
    appendJsonOrNull(out, kVersion);
    out += ",\"informationUri\":";
    appendJsonOrNull(out, kWebAddress);
    out += ",\"rules\":[";
    for (std::size_t r = 1; r < sizeof kStatuses / sizeof kStatuses[0]; ++r) {
        out += r > 1 ? ",{\"id\":" : "{\"id\":";
        appendJsonOrNull(out, kStatuses[r].name);
        out += ",\"shortDescription\":{\"text\":";
        appendJsonOrNull(out, kStatuses[r].rule);
        out += "}}";
    }
    out += "]}},\"results\":[";
}

void sarifResult(ReportWriter &w, PairStatus status, const Finding &f, std::string &out)
{
    const int rule = static_cast<int>(status);
    out += w.results++ ? ",{\"ruleId\":" : "{\"ruleId\":";
    appendJsonOrNull(out, statusName(status));
    out += ",\"ruleIndex\":" + std::to_string(rule - 1) + ",\"level\":\"error\",\"message\":{\"text\":";
    appendJson(out, f.said.data(), f.said.size());
    out += "},\"locations\":[{\"physicalLocation\":{\"artifactLocation\":{\"uri\":\"";
    appendUri(out, f.place, std::strlen(f.place));
    out += '"';
    if (f.line > 0) {
        out += "},\"region\":{\"startLine\":" + std::to_string(f.line);
        if (f.column > 0)
            out += ",\"startColumn\":" + std::to_string(f.column);
    }
    out += "}}}]}";
}

// The end of the SARIF log; message is the error of a run that stopped, or null.
void sarifEnd(const std::string *message, std::string &out)
{
    out += "],\"invocations\":[{\"executionSuccessful\":";
    if (message) {
        out += "false,\"toolExecutionNotifications\":[{\"level\":\"error\",\"message\":{\"text\":";
        appendJson(out, message->data(), message->size());
        out += "}}]";
    } else {
        out += "true";
    }
    out += "}]}]}\n";
}

// A finding as one line of an editor's or a CI's format: head, the place
// (escaped as place for the format), the line and column after their
// prefixes where known, then between, and the message (escaped as text).
template <typename Place, typename Text>
void findingLine(const Finding &f, std::string &out, const char *head, Place place, const char *linePrefix,
                 const char *columnPrefix, const char *between, Text text)
{
    out += head;
    place(out, f.place, std::strlen(f.place));
    if (f.line > 0)
        out += linePrefix + std::to_string(f.line);
    if (f.column > 0)
        out += columnPrefix + std::to_string(f.column);
    out += between;
    text(out, f.said.data(), f.said.size());
    out += '\n';
}

void githubFinding(const Finding &f, std::string &out)
{
    findingLine(
        f, out, "::error file=",
        [](std::string &o, const char *t, std::size_t n) { appendCommand(o, t, n, true); }, ",line=", ",col=", "::",
        [](std::string &o, const char *t, std::size_t n) { appendCommand(o, t, n, false); });
}

void gnuFinding(const Finding &f, std::string &out)
{
    findingLine(f, out, "", appendGnu, ":", ":", ": error: ", appendGnu);
}

} // namespace

const char *statusName(PairStatus s)
{
    return kStatuses[static_cast<int>(s)].name;
}

void tokenDifference(const TokenCompareState &c, DifferenceFacts &d)
{
    d = DifferenceFacts();
    d.byTokens = true;
    for (int f = 0; f < 2; ++f) {
        d.lines[f] = c.places[f].line;
        d.columns[f] = c.places[f].column;
        d.tokens[f].assign(c.shown[f], c.shownLength[f]);
        if (c.excerpt) {
            d.excerptLines[f] = c.differs[f].line;
            d.excerptColumns[f] = c.differs[f].column;
        }
    }
    d.ended = c.shorterFile;
}

void blockDifference(const CompareState &c, DifferenceFacts &d)
{
    d = DifferenceFacts();
    d.offset = c.firstDifference;
    d.ended = c.shorterFile;
}

bool formatNamed(const char *name, ReportFormat &format)
{
    for (const auto &f : kFormats) {
        if (!std::strcmp(name, f.name)) {
            format = f.format;
            return true;
        }
    }
    return false;
}

void reportBegin(ReportWriter &w, std::string &out)
{
    if (w.begun)
        return;
    w.begun = true;
    if (w.format == ReportFormat::Sarif)
        sarifStart(out);
}

void reportPair(ReportWriter &w, const PairFacts &p, std::string &out)
{
    reportBegin(w, out);
    if (w.format == ReportFormat::Json) {
        jsonPair(p, out);
        return;
    }
    if (p.status == PairStatus::Equivalent)
        return;
    if (w.format == ReportFormat::Sarif)
        sarifResult(w, p.status, pairFinding(p), out);
    else if (w.format == ReportFormat::Github)
        githubFinding(pairFinding(p), out);
    else if (w.format == ReportFormat::Gnu)
        gnuFinding(pairFinding(p), out);
}

void reportCommitFinding(ReportWriter &w, const CommitFacts &c, const FileFacts &f, const char *place,
                         std::string &out)
{
    reportBegin(w, out);
    Finding finding{place, f.status == PairStatus::NotEquivalent ? f.line : 0,
                    f.status == PairStatus::NotEquivalent && f.byTokens ? f.column : 0,
                    std::string(c.shortId) + " " + c.subject + ": " + changeReason(f)};
    // A file only renamed is no pair that differs, but makes its commit one.
    const PairStatus status = f.status == PairStatus::Equivalent ? PairStatus::NotEquivalent : f.status;
    if (w.format == ReportFormat::Sarif)
        sarifResult(w, status, finding, out);
    else if (w.format == ReportFormat::Github)
        githubFinding(finding, out);
    else if (w.format == ReportFormat::Gnu)
        gnuFinding(finding, out);
}

void reportLineFinding(ReportWriter &w, const std::string &text, std::string &out)
{
    reportBegin(w, out);
    if (w.format == ReportFormat::Sarif) {
        out += w.results++ ? ",{\"level\":\"error\",\"message\":{\"text\":" : "{\"level\":\"error\",\"message\":{\"text\":";
        appendJson(out, text.data(), text.size());
        out += "}}";
    } else if (w.format == ReportFormat::Github) {
        out += "::error::";
        appendCommand(out, text.data(), text.size(), false);
        out += '\n';
    } else if (w.format == ReportFormat::Gnu) {
        out += "matchling: error: ";
        appendGnu(out, text.data(), text.size());
        out += '\n';
    }
}

void reportEnd(ReportWriter &w, const ReportCounts &c, std::string &out)
{
    reportBegin(w, out);
    if (w.format == ReportFormat::Sarif) {
        sarifEnd(nullptr, out);
        return;
    }
    if (w.format != ReportFormat::Json)
        return;
    const bool equivalent = c.different == 0 && c.failed == 0 && c.onlyOne == 0;
    out += "{\"type\":\"summary\"";
    field(out, "pairs", c.equivalent + c.different + c.failed);
    field(out, "equivalent", c.equivalent);
    field(out, "not_equivalent", c.different);
    field(out, "failed", c.failed);
    field(out, "not_compared", c.notCompared);
    field(out, "only_on_one_side", c.onlyOne);
    if (c.excluded >= 0)
        field(out, "excluded", c.excluded);
    field(out, "verdict", equivalent ? "equivalent" : "not-equivalent");
    if (c.byLanguage) {
        out += ",\"languages\":{";
        for (std::size_t k = 0; k < c.languages.size(); ++k) {
            if (k > 0)
                out += ',';
            appendJson(out, c.languages[k].first.data(), c.languages[k].first.size());
            out += ':' + std::to_string(c.languages[k].second);
        }
        out += '}';
    }
    if (c.counted)
        allowedField(out, c.allowed, c.counted);
    out += "}\n";
}

void reportStopped(ReportWriter &w, const std::string &message, std::string &out)
{
    switch (w.format) {
    case ReportFormat::Json:
        out += "{\"type\":\"error\",\"message\":";
        appendJson(out, message.data(), message.size());
        out += "}\n";
        break;
    case ReportFormat::Sarif:
        reportBegin(w, out);
        sarifEnd(&message, out);
        break;
    case ReportFormat::Github:
    case ReportFormat::Gnu:
        reportLineFinding(w, message, out);
        break;
    case ReportFormat::Text:
    case ReportFormat::BlameIgnoreRevs:
        break;
    }
}

std::string firstReportLine(const std::string &text)
{
    static const std::string prefix = "Matchling==>";
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::size_t from = text.compare(start, prefix.size(), prefix) == 0 ? start + prefix.size() : start;
        std::size_t to = end;
        while (from < to && text[from] == ' ')
            ++from;
        while (to > from && (text[to - 1] == ' ' || text[to - 1] == '\r'))
            --to;
        const std::string line = text.substr(from, to - from);
        if (!line.empty() && line != "Press Enter to continue")
            return line;
        start = end + 1;
    }
    return "";
}
