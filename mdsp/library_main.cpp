// Parts of the shared library file only: its load hooks (its version block
// is written by the build). Test binaries link the same code without this
// file, so nothing runs before their main.
#include "lifecycle.h"

namespace {

__attribute__((constructor)) void OnLibraryLoad() { mdsp::LibraryLoad(); }
__attribute__((destructor)) void OnLibraryUnload() { mdsp::LibraryUnload(); }

}  // namespace
