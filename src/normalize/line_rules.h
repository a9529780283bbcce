// Line rules: turn one line of source text into its normalized form.
//
// Each rule works in place on the current line, a buffer holding length bytes
// followed by a terminating zero. The rules go by the length, so a NUL byte in
// a line is an ordinary character. The names, remove_lb_and_tabs and remove_tb
// among them, are the ones the rules are known by: keep them.
#ifndef MATCHLING_LINE_RULES_H
#define MATCHLING_LINE_RULES_H

#include <cstddef>

#include "common/settings.h"

struct Line {
    char *text;          // the line's bytes, followed by a zero
    std::size_t length;  // bytes before the zero, at most kLineCapacity
};

// Removes the spaces and tabs at the start; returns how many went.
std::size_t remove_lb_and_tabs(Line &line);

// Removes the spaces and tabs at the end, and with trimLineFeeds the line
// feeds too; the first character always stays.
void remove_tb(Line &line, bool trimLineFeeds);

// Applies the C comment rules; returns true when the whole line is to be skipped.
bool stripCComments(Line &line);

// Removes every space, tab, carriage return and line feed.
void removeWhiteSpace(Line &line);

// Copies the bytes of in[0..n) other than space, tab, CR and LF to out, in
// order, and returns how many it copied. It may store up to n bytes at out;
// out may be in itself. One implementation per processor family.
std::size_t squeezeLayout(char *out, const char *in, std::size_t n);

// Returns the position of the rightmost "//" outside double quotes, counting
// the quote state from the end of the line; 0 when there is none, or when the
// pair starts the line.
std::size_t findLineComment(const Line &line);

// Ends the line at the position findLineComment gives, if any.
void cutLineComment(Line &line);

// Runs the rules in their order under the switches and the source class;
// returns true when the line is skipped, false when line holds the normalized text.
bool normalizeLine(Line &line, const RunSettings &flags, SourceClass sourceClass);

#endif
