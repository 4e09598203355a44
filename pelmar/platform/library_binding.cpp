#include "library_binding.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "entry_points.h"
#include "platform/version_resource.h"

namespace pelmar::platform {
namespace {

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (!::realpath(path.c_str(), resolved)) return "";
  return resolved;
}

bool IsFile(const std::string& path) { return ::access(path.c_str(), R_OK) == 0; }

std::string ProgramFolder() {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "";
  buffer[n] = '\0';
  std::string path(buffer);
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

std::vector<std::string> SplitPath(const char* list) {
  std::vector<std::string> folders;
  if (!list) return folders;
  std::string text(list);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(':', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) folders.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return folders;
}

// The user's default language for the version lookup without a translation
// (LANGID; 0x0409 when the locale says nothing else).
uint16_t UserDefaultLanguage() { return 0x0409; }

}  // namespace

std::string ResolveLibraryFile(const std::string& bareName) {
  if (bareName.find('/') != std::string::npos) return IsFile(bareName) ? RealPath(bareName) : "";
  std::vector<std::string> folders;
  std::string program = ProgramFolder();
  if (!program.empty()) folders.push_back(program);
  for (const std::string& f : SplitPath(std::getenv("LD_LIBRARY_PATH"))) folders.push_back(f);
  for (const char* f : {"/usr/local/lib", "/usr/local/lib/x86_64-linux-gnu", "/lib/x86_64-linux-gnu",
                        "/usr/lib/x86_64-linux-gnu", "/lib64", "/usr/lib64", "/lib", "/usr/lib"})
    folders.push_back(f);
  for (const std::string& folder : folders) {
    std::string candidate = folder + "/" + bareName;
    if (IsFile(candidate)) return RealPath(candidate);
  }
  return "";
}

VersionReading ReadLibraryVersion(const std::string& path) {
  mdsp::platform::VersionResource resource;
  if (path.empty() || !mdsp::platform::ReadVersionResource(path, resource)) return {};
  VersionBlockView block;
  // A block whose translation is all zero carries none.
  if (resource.language != 0 || resource.codePage != 0)
    block.translation = std::make_pair(resource.language, resource.codePage);
  char key[16];
  std::snprintf(key, sizeof key, "%04X%04X", resource.language, resource.codePage);
  block.tableKey = key;
  block.texts = resource.texts;
  return ReadVersionFromBlock(block, UserDefaultLanguage());
}

LibraryBinding::~LibraryBinding() { Unbind(); }

bool LibraryBinding::Bind(const std::string& path) {
  if (handle_) return true;
  if (path.empty()) return false;
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return false;
  handle_ = handle;
  ++loads_;
  if (!FillLibraryApi(api_, [handle](const char* name) { return ::dlsym(handle, name); })) {
    Unbind();
    return false;
  }
  return true;
}

bool LibraryBinding::Unbind() {
  if (!handle_) return false;
  ClearLibraryApi(api_);
  ::dlclose(handle_);
  handle_ = nullptr;
  return true;
}

}  // namespace pelmar::platform
