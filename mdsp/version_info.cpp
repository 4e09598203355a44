#include "version_info.h"

#include "platform/loaded_file.h"
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
  FillDllVersionFromFile(platform::LoadedFilePath(reinterpret_cast<const void*>(&FillDllVersion)),
                         info);
}

}  // namespace mdsp
