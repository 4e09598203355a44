// The tool's LibraryBinding: resolving the library file, loading exactly
// that file and binding the 25 entry points all or nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "library_api.h"

namespace pelmar::platform {

// The bare name of the library file.
inline constexpr char kLibraryFileName[] = "libmdsp.so";
// Its soname: a run-time install has only this (the bare name is a link
// that comes with the development files).
inline constexpr char kLibrarySoname[] = "libmdsp.so.3";

// Resolves the bare name once: the folder of the running program first, then
// where the loader would look for the program (LD_LIBRARY_PATH unless the
// program runs with capabilities, its RUNPATH such as $ORIGIN/../lib of an
// installed tree, the folders of /etc/ld.so.conf, the system folders).
// In each folder the bare name comes first; for kLibraryFileName then its
// soname. Returns the real path of the file found, or "" when there is none.
std::string ResolveLibraryFile(const std::string& bareName = kLibraryFileName);

// The folders ResolveLibraryFile tries, in order.
std::vector<std::string> LibrarySearchFolders();

// The folders named in a loader configuration file and the files it
// includes (glob patterns, relative to its folder).
std::vector<std::string> LoaderConfigFolders(const std::string& configFile);

class LibraryBinding {
 public:
  LibraryBinding() = default;
  ~LibraryBinding();
  LibraryBinding(const LibraryBinding&) = delete;
  LibraryBinding& operator=(const LibraryBinding&) = delete;

  // Loads the file at path (true at once when already loaded) and resolves
  // all 25 names; when any is missing it unbinds and returns false.
  bool Bind(const std::string& path);
  // False when nothing was loaded; else clears every pointer, unloads, true.
  bool Unbind();

  bool bound() const { return handle_ != nullptr; }
  void* handle() const { return handle_; }
  const LibraryApi& api() const { return api_; }
  // How many times a file was actually loaded (for tests).
  int loads() const { return loads_; }

 private:
  void* handle_ = nullptr;
  LibraryApi api_;
  int loads_ = 0;
};

}  // namespace pelmar::platform
