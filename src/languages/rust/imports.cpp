// How Rust's imports sort: use items, in any block, and the names inside
// each {...} of one.
#include "languages/rust/state.h"
#include "tokens/sorted_imports.h"

extern const ImportRules kRustImports = {{ImportForm::RustUse, ImportForm::None}, ImportScope::Blocks, true, false,
                                         nullptr};
