// Machine-readable reports, the formatter dry run and the history of layout-only commits, end to end.
#include <gtest/gtest.h>

#include "support.h"
