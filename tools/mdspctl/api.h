// mdspctl calls the library through the host core's entry-point table, the
// same table the configuration tool fills by run-time binding; here the
// linker fills it.
#pragma once

#include "entry_points.h"

namespace mdspctl {

inline const pelmar::LibraryApi& Api() { return pelmar::LinkedLibraryApi(); }

}  // namespace mdspctl
