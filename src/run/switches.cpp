#include "run/run_state.h"

#include <cstring>
#include <string>

int isUsageRequest(int argc)
{
    if (argc < 2)
        return 1;
    if (argc == 2)
        return 1;  // "/?" or one name alone: either way there is nothing to compare
    return 0;
}

void setSwitches(char *word, RunSettings &flags)
{
    for (char *c = word; *c; ++c)
        if (*c >= 'a' && *c <= 'z')
            *c = static_cast<char>(*c - 'a' + 'A');
    switch (word[0]) {
    case 'B': flags.trimLineFeeds = 1; break;
    case 'C': flags.handleComments = 1; break;
    case 'L': flags.listNormalized = 1; break;
    case 'T': flags.trimLineFeeds = 1; flags.handleComments = 1; break;
    case 'V': flags.announceCopy = 1; break;
    default: break;  // other letters are ignored without a message
    }
}

void readSwitches(int argc, char **argv, int first, RunSettings &flags)
{
    std::string joined;
    for (int i = first; i < argc; ++i) {
        joined += argv[i];
        joined += ' ';
    }
    std::size_t start = joined.find('/');
    if (start == std::string::npos)
        return;
    char *text = &joined[start];
    for (char *word = std::strtok(text, "/ "); word; word = std::strtok(nullptr, "/ "))
        setSwitches(word, flags);
}

void readLongOptions(int argc, char **argv, RunSettings &flags)
{
    for (int i = 3; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--where"))
            flags.showWhere = 1;
        else if (!std::strcmp(argv[i], "--exit-status"))
            flags.verdictStatus = 1;
    }
}

int usageStatus(int argc, char **argv)
{
    // With no pair of names the option cannot stand after them; a lone
    // "--exit-status" still asks for its statuses.
    for (int i = 1; i < argc; ++i)
        if (!std::strcmp(argv[i], "--exit-status"))
            return kExitTrouble;
    return kExitFailed;
}
