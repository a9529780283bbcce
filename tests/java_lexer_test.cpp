// Tests of the java lexer.
#include <gtest/gtest.h>

#include "lex_support.h"
