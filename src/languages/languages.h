// The language table (languages.def): which names, file name endings, whole
// file names and "#!" interpreters select which language in token mode, and
// which module reads it. Nothing else in the program knows which file goes to
// which lexer.
#ifndef MATCHLING_LANGUAGES_H
#define MATCHLING_LANGUAGES_H

#include <cstddef>
#include <string>

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
    const char *tested;        // of endings, those whose files the lexer's content test must confirm
    const char *confirmed;     // what that test confirms, as a reason gives it ("read as Basic only when ...")
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

// The bit of language in a set of languages, with those of the rows that
// share its name (C and C#, TypeScript with and without JSX); 0 for Unknown.
std::uint64_t languageFamily(Language language);

// The set of the languages a list of names separated by commas names, as
// --language takes each; 0 when one of them names none.
std::uint64_t languagesNamed(const char *list);

// The lexer hooks of language's module (for Unknown, a lexer that hands out
// the End piece at once).
const LexerHooks &languageLexer(Language language);

// True when this build reads language in token mode: its module's lexer has
// its hooks (a module that needs a library the build lacks has none, as
// libfyaml and cmark-gfm on Windows; its files then have no token rules in this
// build).
bool languageBuilt(Language language);

// The reason a run gives a file of a kind the table does not know.
constexpr const char *kNoRulesReason = "no token rules for this kind of file";

// The reason a run gives a file whose language this build does not read.
constexpr const char *kNotBuiltReason = "no token rules for this kind of file in this build";

// The reason of a pair that differs only in the order of its imports.
constexpr const char *kImportsReorderedReason = "imports reordered (--sorted-imports accepts this)";

// The bytes of a source's start that a content test looks at.
constexpr std::size_t kContentBytes = 4096;

// What the content tests make of a pair (see pairKinds).
enum class PairKinds {
    Read,      // each side is of the language its name chose
    NoRules,   // neither side is: the pair is not compared
    TwoKinds,  // one side is and the other is not: the two are not equivalent
};

// True when the name path ends in one of the endings of its row that other
// kinds of file share: a source so named is of the row's language only when
// the content test of its lexer confirms it. Runs given --language take none.
bool nameTested(const char *path);

// The content tests of the pair named paths (a side without a name: ""),
// one of which nameTested, each side's first bytes in
// heads (lengths of them, kContentBytes at most); each side takes the test
// of its name's ending, or where its name selects no language, of the
// other's. Returns Read when every side that takes a test passes it; else
// sets why to the reason a run gives, "no token rules: .cls is read as Basic
// only when it starts as a Visual Basic module" for NoRules, "of two kinds:
// .cls is read as ..., and only the first side is" for TwoKinds.
PairKinds pairKinds(const char *const (&paths)[2], const char *const (&heads)[2], const std::size_t (&lengths)[2],
                    std::string &why);

// True when path's name calls for no content test, or when a source whose
// first length bytes are head passes the one it calls for.
bool nameConfirmed(const char *path, const char *head, std::size_t length);

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
