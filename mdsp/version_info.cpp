#include "version_info.h"

#include <dlfcn.h>

#include "platform/version_resource.h"

namespace mdsp {

void FillDllVersionFromFile(const std::string& path, DLLVERSIONINFO& info) {
  platform::VersionResource resource;
  if (ReadVersionResource(path, resource) && resource.signature == platform::kVersionSignature) {
    info.dwMajorVersion = resource.fileVersionMS >> 16;
    info.dwMinorVersion = resource.fileVersionMS & 0xFFFF;
    info.dwBuildNumber = resource.fileVersionLS;
  }
  info.dwPlatformID = 1;
}

void FillDllVersion(DLLVERSIONINFO& info) {
  Dl_info self{};
  std::string path;
  if (dladdr(reinterpret_cast<void*>(&FillDllVersion), &self) && self.dli_fname)
    path = self.dli_fname;
  FillDllVersionFromFile(path, info);
}

}  // namespace mdsp
