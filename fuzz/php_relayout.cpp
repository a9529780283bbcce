// The PHP part of the language fuzz target. Blanks, line ends and comments
// put after a "<?php" tag before the source change nothing; two names
// joined before it, or a blank added to inline HTML before it, always
// change the stream.
#include "fuzz_lex.h"

void fuzzPhp(const std::string &source, std::uint8_t seed)
{
    static const char *const layouts[] = {" ", "\n", "\r\n\t", "/* c ?> */", "// c\n", "# c\r"};
    const char *layout = layouts[seed % 6];
    const std::vector<FuzzTok> tokens = fuzzLex("<?php " + source, Language::Php);
    fuzzCheck(sameTokens(fuzzLex("<?php " + std::string(layout) + " " + source, Language::Php), tokens),
              "php: layout after the open tag");
    fuzzCheck(!sameTokens(fuzzLex("<?php a b;" + source, Language::Php), fuzzLex("<?php ab;" + source, Language::Php)),
              "php: two names joined");
    fuzzCheck(!sameTokens(fuzzLex("x" + source, Language::Php), fuzzLex("x " + source, Language::Php)),
              "php: a blank in inline HTML");
}
