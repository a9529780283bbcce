// The preparation's inner loop as the line rules describe it, for tests: line
// by line with one line of look-ahead through the rules, each block written to
// the temporary file when it fills. The block-by-block normalizer must agree
// with it in text, result, error count and reports.
#ifndef MATCHLING_TEST_REFERENCE_NORMALIZE_H
#define MATCHLING_TEST_REFERENCE_NORMALIZE_H

#include "common/settings.h"
#include "normalize/prepare.h"
#include "normalize/text_input.h"

// Writes the normalized text of p.source, which has read nothing yet, to
// p.output; in is its reader's work space. Returns what writeNormalized returns.
int writeLineByLine(Preparation &p, const RunSettings &settings, SourceClass sourceClass, TextInput &in);

#endif
