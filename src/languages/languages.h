// The language table: which names, file name endings, whole file names and
// "#!" interpreters select which language in token mode. Nothing else in the
// program knows which file goes to which lexer.
#ifndef MATCHLING_LANGUAGES_H
#define MATCHLING_LANGUAGES_H

#include <cstddef>

#include "common/settings.h"

// One row of the table. Lists are words separated by single blanks.
struct LanguageRow {
    Language language;
    const char *name;          // the name --language takes and reports show
    const char *aliases;       // other names --language takes
    const char *endings;       // file name endings that select it, compared without regard to ASCII case
    const char *wholeNames;    // whole file names that select it
    const char *interpreters;  // programs a "#!" first line may name (a version after the name is allowed)
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

// Index of language's name among the distinct names of the table, in table
// order (Tsx counts as TypeScript); kLanguageNames for Unknown.
std::size_t languageIndex(Language language);
constexpr std::size_t kLanguageNames = 9;  // distinct names in the table

#endif
