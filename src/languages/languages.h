// The language table (languages.def): which names, file name endings, whole
// file names and "#!" interpreters select which language in token mode, and
// which module reads it. Nothing else in the program knows which file goes to
// which lexer.
#ifndef MATCHLING_LANGUAGES_H
#define MATCHLING_LANGUAGES_H

#include <cstddef>

#include "common/settings.h"
#include "rewrites/rewrites.h"
#include "tokens/lexer.h"

// One row of the table. Lists are words separated by single blanks.
struct LanguageRow {
    Language language;
    const char *name;          // the name --language takes and reports show
    const char *aliases;       // other names --language takes
    const char *endings;       // file name endings that select it, compared without regard to ASCII case
    const char *wholeNames;    // whole file names that select it
    const char *interpreters;  // programs a "#!" first line may name (a version after the name is allowed)
    const LexerHooks *lexer;   // its module's lexer
    const RewriteRules *rules;  // its module's rewrite rules; nullptr when it has none
};

extern const LanguageRow kLanguageRows[];
extern const std::size_t kLanguageRowCount;

// The language the last part of path selects by its whole name or its
// ending; Unknown when none does.
Language languageOfName(const char *path);

// True when the last part of path has no ending: no '.' after its first byte.
bool hasNoEnding(const char *path);

// The language a "#!" first line selects, from the first length bytes of a
// source; Unknown when they hold no "#!" line naming an interpreter of the table.
Language languageOfInterpreter(const char *text, std::size_t length);

// The language --language NAME names (its name or an alias, exactly); Unknown
// when none.
Language languageNamed(const char *name);

// The name reports give language.
const char *languageName(Language language);

// The lexer hooks of language's module (for Unknown, a lexer that hands out
// the End piece at once).
const LexerHooks &languageLexer(Language language);

// True when this build reads language in token mode: its module's lexer has
// its hooks (a module that needs a library the build lacks has none, as
// libfyaml and cmark-gfm on Windows; its files then have no token rules in this
// build).
bool languageBuilt(Language language);

// The reason a run gives a file whose language this build does not read.
constexpr const char *kNotBuiltReason = "no token rules for this kind of file in this build";

// True when language's imports sort with LexOptions::sortedIncludes.
bool sortsImports(Language language);

namespace detail {
constexpr const char *kRowNames[] = {
#define MATCHLING_LANGUAGE(id, name, ...) name,
#include "languages/languages.def"
#undef MATCHLING_LANGUAGE
};

constexpr bool sameName(const char *a, const char *b)
{
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

constexpr std::size_t distinctNames()
{
    std::size_t n = 0;
    for (std::size_t r = 0; r < sizeof kRowNames / sizeof kRowNames[0]; ++r)
        n += r == 0 || !sameName(kRowNames[r], kRowNames[r - 1]);
    return n;
}
} // namespace detail

// Index of language's name among the distinct names of the table, in table
// order (Tsx counts as TypeScript); kLanguageNames for Unknown.
std::size_t languageIndex(Language language);
constexpr std::size_t kLanguageNames = detail::distinctNames();  // distinct names in the table

#endif
