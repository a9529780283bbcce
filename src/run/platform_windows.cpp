// Run-control details that depend on the platform: Windows.
#include "run/command_line.h"

#include <string>
#include <vector>

#include <windows.h>

#include "common/files_windows.h"

// The C runtime's own split of the command line, which the utility does not
// read, must not expand wildcards either: each would be looked up on disk.
// MinGW-w64's headers map this name to _dowildcard, the variable its start-up
// code reads.
extern "C" int _CRT_glob = 0;

namespace {

// The arguments of commandLine, the program's name first, as the C runtime
// (msvcrt.dll) splits them for main. The name ends at the first blank or tab
// outside double quotes, which only group. Every other argument ends there
// too; 2n backslashes and a double quote give n backslashes and open or close
// the quotes, 2n+1 backslashes and one give n backslashes and a literal double
// quote, other backslashes stand, and "" inside quotes gives a double quote
// and closes them.
std::vector<std::wstring> splitCommandLine(const wchar_t *p)
{
    std::vector<std::wstring> args(1);
    bool quoted = false;
    for (; *p && (quoted || (*p != L' ' && *p != L'\t')); ++p) {
        if (*p == L'"')
            quoted = !quoted;
        else
            args[0] += *p;
    }
    for (;;) {
        while (*p == L' ' || *p == L'\t')
            ++p;
        if (!*p)
            return args;
        std::wstring arg;
        quoted = false;
        for (;;) {
            std::size_t backslashes = 0;
            for (; *p == L'\\'; ++p)
                ++backslashes;
            bool copy = true;
            if (*p == L'"') {
                if (backslashes % 2 == 0) {
                    if (quoted && p[1] == L'"')
                        ++p;
                    else
                        copy = false;
                    quoted = !quoted;
                }
                backslashes /= 2;
            }
            arg.append(backslashes, L'\\');
            if (!*p || (!quoted && (*p == L' ' || *p == L'\t')))
                break;
            if (copy)
                arg += *p;
            ++p;
        }
        args.push_back(arg);
    }
}

} // namespace

char **platformArguments(int &argc, char **)
{
    // main's argv holds the arguments in the ANSI code page, which loses every
    // character it has none for: read the UTF-16 command line instead.
    static std::vector<std::string> arguments;
    static std::vector<char *> pointers;
    for (const std::wstring &arg : splitCommandLine(GetCommandLineW()))
        arguments.push_back(utf8From(arg));
    for (std::string &arg : arguments)
        pointers.push_back(&arg[0]);
    pointers.push_back(nullptr);
    argc = static_cast<int>(arguments.size());
    return pointers.data();
}

int firstSwitchArgument(int)
{
    // Every argument takes part, the two names included.
    return 1;
}
