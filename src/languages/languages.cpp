// The table itself, and the look-ups over it.
#include "languages/languages.h"

#include <cstring>

#include "tokens/tokens.h"

// Each module's lexer hooks and rules, defined in its folder.
#define MATCHLING_LANGUAGE(id, name, aliases, endings, wholeNames, interpreters, lexer, rules, tested, confirmed) \
    extern const LexerHooks lexer;                                                                           \
    extern const RewriteRules rules;
#include "languages/languages.def"
#undef MATCHLING_LANGUAGE

// The rules of a module that has none: a row naming them gets nullptr.
const RewriteRules kNoRules{};

namespace {

// Where the input's language is unknown: the End piece at once.
const LexerHooks kNoLexer = {nullptr, finishStream, nullptr, nullptr, false, nullptr};

} // namespace

const LanguageRow kLanguageRows[] = {
#define MATCHLING_LANGUAGE(id, name, aliases, endings, wholeNames, interpreters, lexer, rules, tested, confirmed) \
    {Language::id,  name,                                                                                    \
     aliases,       endings,                                                                                 \
     wholeNames,    interpreters,                                                                            \
     &lexer,        &rules == &kNoRules ? nullptr : &rules,                                                  \
     tested,        confirmed},
#include "languages/languages.def"
#undef MATCHLING_LANGUAGE
};
const std::size_t kLanguageRowCount = sizeof kLanguageRows / sizeof kLanguageRows[0];

namespace {

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The last part of path.
const char *baseName(const char *path)
{
    const char *base = path;
    for (const char *p = path; *p; ++p)
        if (*p == '/' || *p == '\\')
            base = p + 1;
    return base;
}

// True when the words of list hold word (length bytes); with anyCase, ASCII
// case does not count.
bool listHolds(const char *list, const char *word, std::size_t length, bool anyCase)
{
    for (const char *p = list; *p;) {
        const char *end = std::strchr(p, ' ');
        const std::size_t n = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
        bool same = n == length;
        for (std::size_t k = 0; same && k < n; ++k)
            same = anyCase ? lower(p[k]) == lower(word[k]) : p[k] == word[k];
        if (same)
            return true;
        p += n;
        while (*p == ' ')
            ++p;
    }
    return false;
}

// True when the ending of base (from its last '.' on, the first byte aside)
// is one of list's.
bool endingIn(const char *list, const char *base)
{
    const char *dot = std::strrchr(base, '.');
    return dot && dot != base && listHolds(list, dot, std::strlen(dot), true);
}

// The interpreter's name: the last part of word, less a version of digits and
// dots after it; length bytes.
std::size_t interpreterName(const char *word, std::size_t length, const char *&name)
{
    name = word;
    for (std::size_t k = 0; k < length; ++k)
        if (word[k] == '/')
            name = word + k + 1;
    std::size_t n = length - static_cast<std::size_t>(name - word);
    while (n > 1 && ((name[n - 1] >= '0' && name[n - 1] <= '9') || name[n - 1] == '.'))
        --n;
    return n;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

namespace {

// The row the last part of path selects by its whole name (with whole set)
// or its ending; nullptr when none does.
const LanguageRow *rowOfName(const char *path, bool &whole)
{
    const char *base = baseName(path);
    whole = true;
    for (std::size_t r = 0; r < kLanguageRowCount; ++r)
        if (listHolds(kLanguageRows[r].wholeNames, base, std::strlen(base), false))
            return &kLanguageRows[r];
    whole = false;
    for (std::size_t r = 0; r < kLanguageRowCount; ++r)
        if (endingIn(kLanguageRows[r].endings, base))
            return &kLanguageRows[r];
    return nullptr;
}

// The row whose content test a source named path takes; nullptr when its
// name decides alone.
const LanguageRow *testedRow(const char *path)
{
    bool whole;
    const LanguageRow *row = rowOfName(path, whole);
    return row && !whole && endingIn(row->tested, baseName(path)) ? row : nullptr;
}

// True when a source named path, whose first length bytes are head, passes
// the content test of row (none when row is nullptr, or its module has none).
bool passes(const LanguageRow *row, const char *head, std::size_t length)
{
    return !row || !row->lexer->confirms || row->lexer->confirms(head, length);
}

// "ENDING is read as ...": why row takes a file named path only when its
// test confirms it; the ending as the table spells it.
std::string testedWhy(const LanguageRow *row, const char *path)
{
    std::string why = std::strrchr(baseName(path), '.');
    for (char &c : why)
        c = lower(c);
    return why + " is " + row->confirmed;
}

} // namespace

Language languageOfName(const char *path)
{
    bool whole;
    const LanguageRow *row = rowOfName(path, whole);
    return row ? row->language : Language::Unknown;
}

bool nameTested(const char *path)
{
    return testedRow(path) != nullptr;
}

PairKinds pairKinds(const char *const (&paths)[2], const char *const (&heads)[2], const std::size_t (&lengths)[2],
                    std::string &why)
{
    // Each side's test, and the name that calls for it.
    const LanguageRow *rows[2];
    const char *named[2];
    for (int f = 0; f < 2; ++f) {
        const int by = languageOfName(paths[f]) == Language::Unknown ? 1 - f : f;
        rows[f] = testedRow(paths[by]);
        named[f] = paths[by];
    }
    const bool passed[2] = {passes(rows[0], heads[0], lengths[0]), passes(rows[1], heads[1], lengths[1])};
    if (passed[0] && passed[1])
        return PairKinds::Read;
    const int refused = passed[0] ? 1 : 0;
    if (!passed[0] && !passed[1]) {
        why = "no token rules: " + testedWhy(rows[refused], named[refused]);
        return PairKinds::NoRules;
    }
    why = "of two kinds: " + testedWhy(rows[refused], named[refused]) + ", and only the " +
          (refused == 1 ? "first" : "second") + " side is";
    return PairKinds::TwoKinds;
}

bool nameConfirmed(const char *path, const char *head, std::size_t length)
{
    return passes(testedRow(path), head, length);
}

bool hasNoEnding(const char *path)
{
    const char *base = baseName(path);
    return !*base || !std::strchr(base + 1, '.');
}

Language languageOfInterpreter(const char *text, std::size_t length)
{
    if (length < 2 || text[0] != '#' || text[1] != '!')
        return Language::Unknown;
    // The words of the line: the program, and after "env" its first word
    // that is not an option ("#!/usr/bin/env -S python3 -u").
    std::size_t i = 2;
    bool afterEnv = false;
    while (i < length && text[i] != '\n' && text[i] != '\r') {
        while (i < length && isBlank(text[i]))
            ++i;
        const std::size_t start = i;
        while (i < length && !isBlank(text[i]) && text[i] != '\n' && text[i] != '\r')
            ++i;
        if (i == start)
            break;
        const char *name;
        const std::size_t n = interpreterName(text + start, i - start, name);
        if (afterEnv && text[start] == '-')
            continue;
        if (!afterEnv && n == 3 && std::memcmp(name, "env", 3) == 0) {
            afterEnv = true;
            continue;
        }
        for (std::size_t r = 0; r < kLanguageRowCount; ++r)
            if (listHolds(kLanguageRows[r].interpreters, name, n, false))
                return kLanguageRows[r].language;
        return Language::Unknown;
    }
    return Language::Unknown;
}

Language languageNamed(const char *name)
{
    const std::size_t n = std::strlen(name);
    for (std::size_t r = 0; r < kLanguageRowCount; ++r)
        if (!std::strcmp(kLanguageRows[r].name, name) || listHolds(kLanguageRows[r].aliases, name, n, false))
            return kLanguageRows[r].language;
    return Language::Unknown;
}

const char *languageName(Language language)
{
    for (std::size_t r = 0; r < kLanguageRowCount; ++r)
        if (kLanguageRows[r].language == language)
            return kLanguageRows[r].name;
    return "other";
}

static_assert(static_cast<int>(Language::Unknown) < 64, "a set of languages is 64 bits");

std::uint64_t languageFamily(Language language)
{
    if (language == Language::Unknown)
        return 0;
    const char *const name = languageName(language);
    std::uint64_t family = 0;
    for (std::size_t r = 0; r < kLanguageRowCount; ++r)
        if (!std::strcmp(kLanguageRows[r].name, name))
            family |= std::uint64_t{1} << static_cast<int>(kLanguageRows[r].language);
    return family;
}

std::uint64_t languagesNamed(const char *list)
{
    std::uint64_t set = 0;
    for (const char *at = list;; ++at) {
        const char *end = std::strchr(at, ',');
        const std::string name(at, end ? static_cast<std::size_t>(end - at) : std::strlen(at));
        const std::uint64_t family = languageFamily(languageNamed(name.c_str()));
        if (family == 0)
            return 0;
        set |= family;
        if (!end)
            return set;
        at = end;
    }
}

std::size_t languageIndex(Language language)
{
    std::size_t index = 0;
    for (std::size_t r = 0; r < kLanguageRowCount; ++r) {
        if (r > 0 && std::strcmp(kLanguageRows[r].name, kLanguageRows[r - 1].name) != 0)
            ++index;
        if (kLanguageRows[r].language == language)
            return index;
    }
    return kLanguageNames;
}

namespace {

const LanguageRow *rowOf(Language language)
{
    for (std::size_t r = 0; r < kLanguageRowCount; ++r)
        if (kLanguageRows[r].language == language)
            return &kLanguageRows[r];
    return nullptr;
}

} // namespace

const LexerHooks &languageLexer(Language language)
{
    const LanguageRow *row = rowOf(language);
    return row ? *row->lexer : kNoLexer;
}

bool languageBuilt(Language language)
{
    return languageLexer(language).next != nullptr;
}

bool sortsImports(Language language)
{
    return languageLexer(language).imports != nullptr;
}

const RewriteRules *rewriteRules(Language language)
{
    const LanguageRow *row = rowOf(language);
    return row ? row->rules : nullptr;
}

void lexerStart(Lexer &lexer, Language language, const LexOptions &options, SourceStream &source)
{
    lexerReset(lexer, language, languageLexer(language), options, source);
}

void lexerStart(Lexer &lexer, SourceClass sourceClass, const LexOptions &options, SourceStream &source)
{
    lexerStart(lexer, sourceClass == SourceClass::Basic ? Language::Basic : Language::CFamily, options, source);
}
