// The names of the library's entry points in binding order, and filling a
// LibraryApi from any resolver (dlsym for the tool, the linked functions for
// mdspctl). All or nothing: a table is either wholly set or wholly null.
#pragma once

#include <cstddef>
#include <functional>

#include "library_api.h"

namespace pelmar {

// Exported names in binding order.
extern const char* const kEntryPointNames[kEntryPointCount];

// Resolves each name in order (null when missing) and stores it. Returns true
// when every pointer is set; otherwise clears the whole table and returns
// false.
bool FillLibraryApi(LibraryApi& api, const std::function<void*(const char* name)>& resolve);

// Sets every pointer to null.
void ClearLibraryApi(LibraryApi& api);

// Number of pointers that are set (0 to 25).
size_t CountSetEntryPoints(const LibraryApi& api);

// The table of the library this program is linked against (mdspctl). Defined
// in linked_api.cpp, which only a program linking libmdsp compiles.
const LibraryApi& LinkedLibraryApi();

}  // namespace pelmar
