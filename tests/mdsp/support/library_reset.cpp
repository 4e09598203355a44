#include "library_reset.h"

#include "client.h"
#include "lifecycle.h"
#include "state/callbacks.h"

namespace mdsp_test {

void FreshLibrary::SetUp() {
  mdsp::LibraryUnload();
  mdsp::LibraryLoad();
}

void FreshLibrary::TearDown() {
  mdsp::LibraryUnload();
  mdsp::LibraryLoad();
}

}  // namespace mdsp_test
