// How Java's imports sort: import declarations at the top level.
#include "languages/java/state.h"
#include "tokens/sorted_imports.h"

extern const ImportRules kJavaImports = {{ImportForm::JavaImport, ImportForm::None}, ImportScope::TopLevel, false,
                                         false, nullptr};
