// Whitespace removal in portable C++, for processors without a vector version.
#include "normalize/line_rules.h"

#include "normalize/squeeze_table.h"

std::size_t squeezeLayout(char *out, const char *in, std::size_t n)
{
    return squeezeScalar(out, in, n);
}
