#include "common/build_info.h"
#include "console/console.h"
#include "run/command_line.h"

void showUsage()
{
    consoleMessage("Matchling==>  Matchling  Ver. %s of %s \n", kVersion, kVersionDate);
    consoleMessage("\n");
    consoleMessage("Matchling==>  Usage: Matchling  SourceFile1  SourceFile2  [Options] \n");
    consoleMessage("\n");
    consoleMessage("Matchling==>  For the latest updates and product information: \n");
    consoleMessage("Matchling==>     See   : %s \n", kWebAddress);
    consoleMessage("Matchling==>     mailto: %s \n", kSupportAddress);
    pause();
}
