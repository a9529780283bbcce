// Runs over the history of a repository: each commit of a range along first
// parents, or each commit that a .git-blame-ignore-revs file lists, judged
// as --git REV judges one, and reported one line per commit.
#ifndef MATCHLING_HISTORY_H
#define MATCHLING_HISTORY_H

#include "run/command_line.h"

// Runs over the commits of request.revision (with request.history) or of
// the file request.ignoreRevs; returns the exit status.
int historyRun(const Request &request);

#endif
