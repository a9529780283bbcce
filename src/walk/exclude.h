// The files --exclude leaves out: gitignore patterns, matched against a
// path relative to the top of a run (the trees, the repository, a path a
// formatter run names), and the entries of a listing they leave out.
#ifndef MATCHLING_EXCLUDE_H
#define MATCHLING_EXCLUDE_H

#include <cstddef>
#include <string>
#include <vector>

#include "walk/walk.h"

// One pattern, as gitignore reads it.
struct ExcludePattern {
    std::string given;           // the pattern as --exclude gave it
    std::string glob;            // the pattern without a leading '/' and without its trailing '/'s
    bool anchored = false;       // it held a '/' before its end: matched against the whole path from the top
    bool directoryOnly = false;  // it ended in '/': matches directories only
    mutable bool matched = false;  // it left out a file or directory in this run (one thread matches at a time)
};

// The patterns of a run; empty when --exclude was not given.
struct ExcludeList {
    std::vector<ExcludePattern> patterns;
};

// The list of the patterns globs, each as --exclude gave it.
ExcludeList excludeList(const std::vector<std::string> &globs);

// Whether the glob pattern matches all of text, both of the given lengths:
// '*' matches any bytes but '/', '?' one byte but '/', "[...]" one byte of a
// set (ranges, "[:alpha:]" and the like, '!' or '^' first to negate), '\'
// takes the byte after it as it stands; "**" as a whole part between '/'s
// matches any number of parts ("a/**/b" takes "a/b"), and at the end one
// part or more. A '[' that no ']' closes is itself. Takes time in proportion
// to the product of the lengths at most.
bool globMatch(const char *pattern, std::size_t patternLength, const char *text, std::size_t textLength);

// Whether list leaves out path (relative, its parts joined by '/'): a
// pattern matches it or one of the directories on its way. directory: path
// itself names a directory.
bool excludedPath(const ExcludeList &list, const std::string &path, bool directory);

// Each pattern of list that left out nothing in the run, as given, joined
// by ", "; empty when every pattern did.
std::string unmatchedPatterns(const ExcludeList &list);

// path with "." parts, empty parts and the leading '/' taken out, as the
// patterns take it: "./src//a.c" gives "src/a.c".
std::string excludeSubject(const std::string &path);

// Takes out of entries those list leaves out (a renamed file when list
// leaves out both its paths), and returns how many it took out.
long long excludeEntries(std::vector<WalkEntry> &entries, const ExcludeList &list);

#endif
