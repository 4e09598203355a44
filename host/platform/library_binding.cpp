#include "library_binding.h"

#include <dlfcn.h>
#include <glob.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "entry_points.h"

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

std::vector<std::string> ProgramRunPath() {
  std::vector<std::string> folders;
  void* self = ::dlopen(nullptr, RTLD_LAZY | RTLD_NOLOAD);
  if (!self) return folders;
  // The loader's own list for the program: RPATH, LD_LIBRARY_PATH (never for
  // a program with capabilities), RUNPATH with $ORIGIN expanded, then the
  // default folders.
  Dl_serinfo size;
  if (::dlinfo(self, RTLD_DI_SERINFOSIZE, &size) == 0 && size.dls_size >= sizeof(Dl_serinfo)) {
    std::vector<char> buffer(size.dls_size);
    auto* info = reinterpret_cast<Dl_serinfo*>(buffer.data());
    info->dls_size = size.dls_size;
    info->dls_cnt = size.dls_cnt;
    if (::dlinfo(self, RTLD_DI_SERINFO, info) == 0)
      for (unsigned i = 0; i < info->dls_cnt; ++i)
        if (info->dls_serpath[i].dls_name && *info->dls_serpath[i].dls_name)
          folders.emplace_back(info->dls_serpath[i].dls_name);
  }
  ::dlclose(self);
  return folders;
}

void ReadLoaderConfig(const std::string& file, std::vector<std::string>& folders, int depth) {
  if (depth > 8) return;  // include loops
  std::ifstream in(file);
  std::string line;
  const std::string base = file.substr(0, file.rfind('/') + 1);
  while (std::getline(in, line)) {
    line = line.substr(0, line.find('#'));
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos) continue;
    line = line.substr(start, line.find_last_not_of(" \t\r") - start + 1);
    if (line.rfind("include", 0) == 0 && line.size() > 7 && (line[7] == ' ' || line[7] == '\t')) {
      std::string pattern = line.substr(line.find_first_not_of(" \t", 7));
      if (pattern[0] != '/') pattern = base + pattern;
      glob_t found{};
      if (::glob(pattern.c_str(), 0, nullptr, &found) == 0)
        for (size_t i = 0; i < found.gl_pathc; ++i)
          ReadLoaderConfig(found.gl_pathv[i], folders, depth + 1);
      ::globfree(&found);
    } else if (line[0] == '/') {
      folders.push_back(line);
    }
  }
}

}  // namespace

std::vector<std::string> LoaderConfigFolders(const std::string& configFile) {
  std::vector<std::string> folders;
  ReadLoaderConfig(configFile, folders, 0);
  return folders;
}

std::vector<std::string> LibrarySearchFolders() {
  std::vector<std::string> folders;
  std::string program = ProgramFolder();
  if (!program.empty()) folders.push_back(program);
  // secure_getenv: a program granted a capability must not be steered by
  // the caller's environment, exactly as the loader ignores it then.
  for (const std::string& f : SplitPath(::secure_getenv("LD_LIBRARY_PATH"))) folders.push_back(f);
  for (const std::string& f : ProgramRunPath()) folders.push_back(f);
  // What ldconfig's cache knows: the folders of /etc/ld.so.conf.
  for (const std::string& f : LoaderConfigFolders("/etc/ld.so.conf")) folders.push_back(f);
  for (const char* f : {"/usr/local/lib", "/usr/local/lib/x86_64-linux-gnu", "/lib/x86_64-linux-gnu",
                        "/usr/lib/x86_64-linux-gnu", "/lib64", "/usr/lib64", "/lib", "/usr/lib"})
    folders.push_back(f);
  return folders;
}

std::string ResolveLibraryFile(const std::string& bareName) {
  if (bareName.find('/') != std::string::npos) return IsFile(bareName) ? RealPath(bareName) : "";
  std::vector<std::string> names{bareName};
  if (bareName == kLibraryFileName) names.push_back(kLibrarySoname);
  for (const std::string& folder : LibrarySearchFolders()) {
    for (const std::string& name : names) {
      std::string candidate = folder + "/" + name;
      if (IsFile(candidate)) return RealPath(candidate);
    }
  }
  return "";
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
