// Tests of the rust lexer.
#include <gtest/gtest.h>

#include "lex_support.h"
