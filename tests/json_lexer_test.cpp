// Tests of the json lexer.
#include <gtest/gtest.h>

#include "lex_support.h"
