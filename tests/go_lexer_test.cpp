// Tests of the go lexer.
#include <gtest/gtest.h>

#include "lex_support.h"
