// The platform-independent part of the test helpers.
#include "support.h"

#include <fstream>
#include <sstream>


void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string mismatch(const std::string &name1, const std::string &name2, long long offset, char c1,
                     const std::string &context1, char c2, const std::string &context2)
{
    return "Matchling==> Mismatch at offset " + std::to_string(offset) + " for " + name1 + " \n" +
           "Matchling==> Character from " + name1 + " '" + c1 + "' \n" +
           "Matchling==> String from " + name1 + ": \n" + context1 + " \n\n" +
           "Matchling==> Character from " + name2 + " '" + c2 + "' \n" +
           "Matchling==> String from " + name2 + ": \n" + context2 + " \n";
}
