// Tests of the python lexer.
#include <gtest/gtest.h>

#include "lex_support.h"
