// The library's entry points as one table of pointers. The tool fills it
// by binding the library file at run time, mdspctl through the linker; the
// host core calls the library only through such a table, so tests can hand
// in a table of their own.
#pragma once

#include <cstddef>

#include "entry_point_list.h"
#include "mdsp.h"

namespace pelmar {

struct LibraryApi {
#define PELMAR_API_MEMBER(name) decltype(&::name) name = nullptr;
  MDSP_ENTRY_POINTS(PELMAR_API_MEMBER)
#undef PELMAR_API_MEMBER
};

#define PELMAR_COUNT_ONE(name) +1
inline constexpr size_t kEntryPointCount = 0 MDSP_ENTRY_POINTS(PELMAR_COUNT_ONE);
#undef PELMAR_COUNT_ONE

}  // namespace pelmar
