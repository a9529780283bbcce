// The Json part of the language fuzz target: not written yet; the source is
// only lexed.
#include "fuzz_lex.h"

void fuzzJson(const std::string &source, std::uint8_t)
{
    fuzzLex(source, Language::Json);
}
