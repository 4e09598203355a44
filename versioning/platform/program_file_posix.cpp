#include <limits.h>
#include <unistd.h>

#include "program_file.h"

namespace versioning::platform {

std::string OwnProgramFile() {
  char path[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  // A full buffer may be a cut path.
  if (length <= 0 || static_cast<size_t>(length) >= sizeof path) return {};
  return std::string(path, static_cast<size_t>(length));
}

}  // namespace versioning::platform
