// What the formatter tests of the markup languages share: mutants of a
// file, copies of sample files, a formatter's copies of a tree, and the
// utility's verdicts on two trees weighed against a judge script's
// (tests/npm/*_judge.js). Kept apart from lex_support.h for <regex>.
#ifndef MATCHLING_TEST_TREE_JUDGE_H
#define MATCHLING_TEST_TREE_JUDGE_H

#include <regex>
#include <string>
#include <vector>

// The first match of pattern in text replaced by what make gives of it;
// false when nothing matches.
bool mutate(std::string &text, const std::regex &pattern, std::string (*make)(const std::smatch &));

// Writes each of the kinds mutants of text that its mutate found (ok[k])
// and that differs from text, while made[k] is under limit, counted in
// made[k]: as folder mut's file K-STEM under root, and text as base's.
void writeMutants(const std::string &root, const std::string &stem, const std::string &text,
                  const std::string *mutants, const bool *ok, int kinds, int *made, int limit = 1 << 30);

// The folder of tests/npm's scripts and packages.
std::string npmDir();

// Copies each of files into folder dir, named by its place in the list
// (from "001-") and its own name.
void copyNumbered(const std::vector<std::string> &files, const std::string &dir);

// Copies (as copyNumbered does) the files of extension language, under 100
// KB, that tests/languages/LANGUAGE and tests/npm's packages hold, the
// first 200 by path.
void copySamples(const std::string &dir, const std::string &language);

// Copies folder orig under root to folder dir and has prettier (options
// before --write) rewrite every file of it; the shell's status.
int prettierCopy(const std::string &root, const char *dir, const std::string &prettier, const std::string &options);

// How the utility's verdicts on the pairs of two trees fared.
struct TreeTally {
    int pairs = 0, same = 0, falseAlarms = 0, differ = 0, misses = 0, embedded = 0;
    int changed = 0;  // pairs whose two files are not byte for byte the same
    int refused = 0;  // pairs the utility did not compare, with a reason
};

// Compares folders a and b under root with --tokens and options, and runs
// command with their two paths: a judge that prints a line "NAME VERDICT" a
// pair. A pair the judge calls "differ" ("different", "changed") must not compare
// equivalent (a miss fails); one it calls "same" that does not is a false
// alarm, printed and counted. Any other verdict is counted as embedded where
// embedded names those pairs in the summary printed ("differing only in
// ..."), else left out.
TreeTally judgeTrees(const std::string &command, const std::string &root, const std::string &a, const std::string &b,
                     const char *embedded = nullptr, const std::vector<std::string> &options = {});

#endif
