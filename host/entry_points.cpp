#include "entry_points.h"

namespace pelmar {

const char* const kEntryPointNames[kEntryPointCount] = {
#define PELMAR_NAME(name) #name,
    MDSP_ENTRY_POINTS(PELMAR_NAME)
#undef PELMAR_NAME
};

namespace {

// Visits the members in the order of kEntryPointNames.
template <typename Api, typename F>
void ForEachEntry(Api& api, F&& f) {
  size_t i = 0;
#define PELMAR_VISIT(name) f(i++, api.name);
  MDSP_ENTRY_POINTS(PELMAR_VISIT)
#undef PELMAR_VISIT
}

}  // namespace

bool FillLibraryApi(LibraryApi& api, const std::function<void*(const char*)>& resolve) {
  bool all = true;
  ForEachEntry(api, [&](size_t i, auto& pointer) {
    void* symbol = resolve(kEntryPointNames[i]);
    pointer = reinterpret_cast<std::remove_reference_t<decltype(pointer)>>(symbol);
    if (!symbol) all = false;
  });
  if (!all) ClearLibraryApi(api);
  return all;
}

void ClearLibraryApi(LibraryApi& api) {
  ForEachEntry(api, [](size_t, auto& pointer) { pointer = nullptr; });
}

size_t CountSetEntryPoints(const LibraryApi& api) {
  size_t count = 0;
  ForEachEntry(api, [&](size_t, const auto& pointer) { count += pointer != nullptr; });
  return count;
}

}  // namespace pelmar
