// Tests of the script lexer.
#include <gtest/gtest.h>

#include "lex_support.h"
