// The library file carries its version block, and DllGetVersion reports it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "mdsp.h"
#include "platform/version_resource.h"

namespace mdsp_test {
namespace {

TEST(LibraryFile, VersionBlockReadableWithoutLoading) {
  mdsp::platform::VersionResource resource;
  ASSERT_TRUE(mdsp::platform::ReadVersionResource(MDSP_LIBRARY_PATH, resource));
  EXPECT_EQ(resource.signature, mdsp::platform::kVersionSignature);
  EXPECT_EQ(resource.fileVersionMS, (3u << 16) | 1u);
  const std::string* fileVersion = resource.Text("FileVersion");
  ASSERT_NE(fileVersion, nullptr);
  EXPECT_EQ(fileVersion->rfind("3.1.", 0), 0u) << *fileVersion;
  ASSERT_NE(resource.Text("ProductVersion"), nullptr);
}

TEST(LibraryFile, FileWithoutBlockIsNotRead) {
  mdsp::platform::VersionResource resource;
  EXPECT_FALSE(mdsp::platform::ReadVersionResource("/bin/sh", resource));
  EXPECT_FALSE(mdsp::platform::ReadVersionResource("/nonexistent/file", resource));
  EXPECT_FALSE(mdsp::platform::ReadVersionResource("/etc/hostname", resource));
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
}  // namespace mdsp_test
