// How Go's imports sort: the lines of an import (...) block, one import each.
#include "languages/go/state.h"
#include "tokens/sorted_imports.h"

extern const ImportRules kGoImports = {{ImportForm::GoSpec, ImportForm::None}, ImportScope::ImportBlock, false, false,
                                       nullptr};
