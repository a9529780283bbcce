// How Go's imports sort: the specs of an import (...) block.
#include "languages/go/state.h"
#include "tokens/sorted_imports.h"

extern const ImportRules kGoImports = {{ImportForm::GoSpec, ImportForm::None}, ImportScope::ImportBlock, false, false,
                                       nullptr};
