// The reports of history runs: why each file of a commit changes code, in
// the words the "Changes code" lines and the JSON objects share, and the
// JSON Lines objects of the commits and of the summary. Their fields are an
// interface, documented in the manual page.
#include "report/report.h"

#include <cstring>

namespace {

// A key and value of a JSON object, after a comma; null for a null value.
void field(std::string &out, const char *key, const char *value)
{
    out += ",\"";
    out += key;
    out += "\":";
    if (value)
        appendJson(out, value, std::strlen(value));
    else
        out += "null";
}

void field(std::string &out, const char *key, long long value)
{
    out += ",\"";
    out += key;
    out += "\":" + std::to_string(value);
}

// A number that is 0 when not known, as null then.
void place(std::string &out, const char *key, std::int64_t value)
{
    if (value > 0)
        field(out, key, static_cast<long long>(value));
    else
        field(out, key, nullptr);
}

void fileObject(const FileFacts &f, std::string &out)
{
    out += "{\"path\":";
    appendJson(out, f.path, std::strlen(f.path));
    field(out, "status", statusName(f.status));
    if (f.language)
        field(out, "language", f.language);
    out += f.renamed ? ",\"renamed\":true" : ",\"renamed\":false";
    out += changesCode(f) ? ",\"changes_code\":true" : ",\"changes_code\":false";
    const std::string why = changeReason(f);
    field(out, "reason", why.empty() ? nullptr : why.c_str());
    if (f.status == PairStatus::NotEquivalent) {
        place(out, "line", f.line);
        place(out, "column", f.byTokens ? f.column : 0);
    }
    out += '}';
}

} // namespace

bool changesCode(const FileFacts &f)
{
    return f.status != PairStatus::Equivalent || f.renamed;
}

bool commitChangesCode(const CommitFacts &c)
{
    for (std::size_t i = 0; i < c.fileCount; ++i)
        if (changesCode(c.files[i]))
            return true;
    return false;
}

std::string changeReason(const FileFacts &f)
{
    switch (f.status) {
    case PairStatus::NotEquivalent:
        if (f.reason)
            return f.reason;
        if (f.byTokens && f.line > 0)
            return "tokens at " + std::to_string(f.line) + ":" + std::to_string(f.column);
        if (f.byTokens)
            return "tokens";
        return f.line > 0 ? "text at line " + std::to_string(f.line) : "text";
    case PairStatus::Failed:
        return std::string("unable to compare (") + (f.reason ? f.reason : "") + ")";
    case PairStatus::NotCompared:
        return "no token rules";
    case PairStatus::OnlyIn1:
        return "only before";
    case PairStatus::OnlyIn2:
        return "only after";
    case PairStatus::Equivalent:
        break;
    }
    return f.renamed ? "renamed" : "";
}

std::string changedFiles(const CommitFacts &c, std::size_t most)
{
    std::size_t changed = 0;
    std::string named;
    for (std::size_t i = 0; i < c.fileCount; ++i) {
        const FileFacts &f = c.files[i];
        if (!changesCode(f))
            continue;
        if (most == 0 || changed < most)
            named += (changed > 0 ? ", " : ": ") + std::string(f.path) + " " + changeReason(f);
        ++changed;
    }
    if (most > 0 && changed > most)
        named += ", and " + std::to_string(changed - most) + " more";
    return std::to_string(changed) + (changed == 1 ? " file" : " files") + named;
}

void reportCommit(const CommitFacts &c, std::string &out)
{
    const bool changes = commitChangesCode(c);
    out += "{\"type\":\"commit\"";
    field(out, "hash", c.id);
    field(out, "short", c.shortId);
    field(out, "subject", c.subject);
    field(out, "verdict", changes ? "changes-code" : c.empty ? "empty" : "layout-only");
    out += ",\"files\":[";
    for (std::size_t i = 0; i < c.fileCount; ++i) {
        if (i > 0)
            out += ',';
        fileObject(c.files[i], out);
    }
    out += "]}\n";
}

void reportNotCommit(const std::string &listed, const std::string &note, std::string &out)
{
    out += "{\"type\":\"not-a-commit\",\"listed\":";
    appendJson(out, listed.data(), listed.size());
    if (!note.empty())
        field(out, "reason", note.c_str());
    out += "}\n";
}

void reportCommitsEnd(const CommitCounts &c, std::string &out)
{
    const bool equivalent = c.changesCode == 0 && c.notCommits == 0;
    out += "{\"type\":\"summary\"";
    field(out, "commits", c.layoutOnly + c.changesCode + c.empty);
    field(out, "layout_only", c.layoutOnly);
    field(out, "changes_code", c.changesCode);
    field(out, "empty", c.empty);
    field(out, "not_commits", c.notCommits);
    if (c.excluded >= 0)
        field(out, "excluded", c.excluded);
    field(out, "verdict", equivalent ? "equivalent" : "not-equivalent");
    out += "}\n";
}
