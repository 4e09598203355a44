#include "dll_version.h"

#include "platform/loaded_file.h"
#include "version_resource.h"

namespace mdsp {

void FillDllVersionFromFile(const std::string& path, DLLVERSIONINFO& info) {
  versioning::VersionResource resource;
  if (versioning::ReadVersionResource(path, resource) &&
      resource.signature == versioning::kVersionSignature) {
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
