// A formatter's batch run: the files of a dry run copied into a private
// temporary tree, the command run there once (or in as few calls as the
// system's longest command line allows), and each file paired with its copy.
#ifndef MATCHLING_BATCH_H
#define MATCHLING_BATCH_H

#include <memory>
#include <string>
#include <vector>

#include "walk/process.h"
#include "walk/walk.h"

struct Scratch;

// The private tree of a batch run, removed by batchRemove.
struct BatchTree {
    Scratch *scratch = nullptr;  // the directory; null once removed
    std::vector<std::string> notes;  // lines for the summary: the command ran in several calls, or changed no file
};

// The reason a report gives for a formatter that failed as outcome says, or
// empty when it did not: its exit status or signal, or that it ran past
// seconds; with the first line of its standard error.
std::string formatterFailure(const ShellOutcome &outcome, int seconds);

// A formatter's command with each "{}" in it replaced by text.
std::string commandWith(const std::string &command, const std::string &text);

// The name, relative to the tree, that the copy of path takes: path as it
// stands when it is relative and never goes up ("./src//a.c" gives
// "src/a.c"); otherwise its place from the root (start, the current
// directory, before a relative one), without the leading '/'.
std::string batchName(const std::string &path, const std::string &start);

// Copies the file of each pair of list (as walkFormatter listed them with
// no command) into a new private tree, runs command there through the shell
// with "{}" standing for the copies' names, each quoted, and sets each pair's
// second side to its copy, named "formatted:PATH". A pair whose copy cannot
// be made, whose call failed or whose copy the command took away becomes a
// failed entry with the reason. Each call may run seconds. Returns the tree
// (null when none could be made); its guard holds off the ending signals
// until batchRemove.
std::unique_ptr<BatchTree> batchFormat(const std::string &command, int seconds, WalkList &list);

// Removes tree with all it holds, and lets the ending signals through again;
// nothing when tree is null or removed already.
void batchRemove(std::unique_ptr<BatchTree> &tree);

#endif
