// The entry-point table of a program that links libmdsp (mdspctl): the same
// table the tool fills by run-time binding, filled here by the linker.
#include "entry_points.h"

namespace pelmar {

const LibraryApi& LinkedLibraryApi() {
  static const LibraryApi api = [] {
    LibraryApi a;
#define PELMAR_LINK(name) a.name = &::name;
    MDSP_ENTRY_POINTS(PELMAR_LINK)
#undef PELMAR_LINK
    return a;
  }();
  return api;
}

}  // namespace pelmar
