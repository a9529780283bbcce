// Tests of sorted imports in every language that sorts them.
#include <gtest/gtest.h>

#include "lex_support.h"
