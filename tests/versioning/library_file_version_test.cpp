// The library file carries the version block the build wrote, readable
// without loading it, and DllGetVersion reports it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "mdsp.h"
#include "version_resource.h"

namespace versioning_test {
namespace {

using versioning::ReadVersionResource;
using versioning::VersionResource;

TEST(LibraryFile, VersionBlockReadableWithoutLoading) {
  VersionResource resource;
  ASSERT_TRUE(ReadVersionResource(MDSP_LIBRARY_PATH, resource));
  EXPECT_EQ(resource.signature, versioning::kVersionSignature);
  EXPECT_EQ(resource.fileVersionMS, (3u << 16) | 1u);
  EXPECT_EQ(resource.language, 0x0409);
  EXPECT_EQ(resource.codePage, 0x04B0);
  const std::string* fileVersion = resource.Text("FileVersion");
  ASSERT_NE(fileVersion, nullptr);
  EXPECT_EQ(fileVersion->rfind("3.1.", 0), 0u) << *fileVersion;
  ASSERT_NE(resource.Text("ProductVersion"), nullptr);
}

// The texts in the order the block holds them: what other programs that
// read the library's block have always found there.
TEST(LibraryFile, VersionBlockTexts) {
  VersionResource resource;
  ASSERT_TRUE(ReadVersionResource(MDSP_LIBRARY_PATH, resource));
  const std::string version = "3.1." MDSP_PATCH_VERSION ".0";
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"FileVersion", version},
      {"ProductVersion", version},
      {"CompanyName", "Corvane"},
      {"FileDescription", "Corvane module discovery and configuration library"},
      {"InternalName", "mdsp"},
      {"LegalCopyright", ""},
      {"OriginalFilename", "libmdsp.so"},
      {"ProductName", "mdsp"},
  };
  EXPECT_EQ(resource.texts, expected);
}

TEST(LibraryFile, FileWithoutBlockIsNotRead) {
  for (const char* path : {"/bin/sh", "/nonexistent/file", "/etc/hostname"}) {
    VersionResource resource;
    EXPECT_FALSE(ReadVersionResource(path, resource)) << path;
  }
}

TEST(LibraryFile, DllGetVersionOfTheLoadedLibrary) {
  void* library = dlopen(MDSP_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto getVersion = reinterpret_cast<decltype(&DllGetVersion)>(dlsym(library, "DllGetVersion"));
  ASSERT_NE(getVersion, nullptr);
  DLLVERSIONINFO info{sizeof info, 77, 77, 77, 77};
  EXPECT_EQ(getVersion(&info), 0);
  EXPECT_EQ(info.dwMajorVersion, 3u);
  EXPECT_EQ(info.dwMinorVersion, 1u);
  EXPECT_EQ(info.dwBuildNumber, 0u);
  EXPECT_EQ(info.dwPlatformID, 1u);
  dlclose(library);
}

}  // namespace
}  // namespace versioning_test
