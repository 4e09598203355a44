// Parts of the shared library file only: its load hooks and its version
// block. Test binaries link the same code without this file, so nothing runs
// before their main.
#include "lifecycle.h"
#include "platform/version_resource.h"

namespace {

__attribute__((constructor)) void OnLibraryLoad() { mdsp::LibraryLoad(); }
__attribute__((destructor)) void OnLibraryUnload() { mdsp::LibraryUnload(); }

}  // namespace

#define MDSP_STR2(x) #x
#define MDSP_STR(x) MDSP_STR2(x)
#define MDSP_VERSION_TEXT \
  MDSP_STR(MDSP_VERSION_MAJOR) "." MDSP_STR(MDSP_VERSION_MINOR) "." MDSP_STR(MDSP_VERSION_PATCH) "." MDSP_STR(MDSP_VERSION_BUILD)

MDSP_VERSION_RESOURCE(mdsp_version_resource,
                      {"VERSINF",
                       mdsp::platform::kVersionSignature,
                       (MDSP_VERSION_MAJOR << 16) | MDSP_VERSION_MINOR,
                       (MDSP_VERSION_PATCH << 16) | MDSP_VERSION_BUILD,
                       (MDSP_VERSION_MAJOR << 16) | MDSP_VERSION_MINOR,
                       (MDSP_VERSION_PATCH << 16) | MDSP_VERSION_BUILD,
                       0x0409,
                       0x04B0,
                       "FileVersion\0" MDSP_VERSION_TEXT "\0"
                       "ProductVersion\0" MDSP_VERSION_TEXT "\0"
                       "CompanyName\0Corvane\0"
                       "FileDescription\0Corvane module discovery and configuration library\0"
                       "InternalName\0mdsp\0"
                       "LegalCopyright\0\0"
                       "OriginalFilename\0libmdsp.so\0"
                       "ProductName\0mdsp\0"});
