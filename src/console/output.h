// Standard output as the reports reach it, implemented once per platform
// (output_posix.cpp, output_windows.cpp).
#ifndef MATCHLING_OUTPUT_H
#define MATCHLING_OUTPUT_H

#include <cstddef>

// Writes len bytes of report text to standard output: the fixed texts in
// ASCII, names in UTF-8, source text as its bytes stand. Where standard output
// is a file or a pipe the bytes go as they are (on Windows in text mode, each
// line feed as CR LF); a console shows the characters the UTF-8 encodes.
void outputWrite(const char *text, std::size_t len);

#endif
