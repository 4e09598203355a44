#include "platform/loaded_file.h"

#include <dlfcn.h>

namespace mdsp::platform {

std::string LoadedFilePath(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) && info.dli_fname) return info.dli_fname;
  return {};
}

}  // namespace mdsp::platform
