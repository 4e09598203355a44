// The LibraryBinding: version acceptance of built library variants, binding
// all or nothing, unbinding, and the file checked being the file loaded.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "entry_points.h"
#include "library_binding.h"

namespace pelmar::platform {
namespace {

bool Loaded(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle) dlclose(handle);
  return handle != nullptr;
}

bool Accepted(const char* path) { return AcceptVersion(ReadLibraryVersion(path)); }

TEST(LibraryVersion, Variants) {
  EXPECT_FALSE(Accepted(FAKE_NOBLOCK));
  EXPECT_FALSE(Accepted(FAKE_3_0_1_2));
  EXPECT_FALSE(Accepted(FAKE_4_1_0_0));
  EXPECT_FALSE(Accepted(FAKE_3_2_0));
  EXPECT_FALSE(Accepted(FAKE_3));
  EXPECT_TRUE(Accepted(FAKE_COMMAS));
  EXPECT_TRUE(Accepted(FAKE_3_1));
  EXPECT_TRUE(Accepted(FAKE_3_1_9_9));
  EXPECT_TRUE(Accepted(FAKE_MDSP));
  EXPECT_FALSE(Accepted("/nonexistent/libmdsp.so"));
  EXPECT_FALSE(Accepted(""));
}

TEST(LibraryVersion, TheRealLibraryIsAccepted) {
  VersionReading reading = ReadLibraryVersion(REAL_MDSP);
  EXPECT_TRUE(reading.readable);
  EXPECT_TRUE(reading.parsed);
  EXPECT_EQ(reading.major, 3);
  EXPECT_EQ(reading.minor, 1);
  EXPECT_TRUE(AcceptVersion(reading));
}

TEST(LibraryVersion, ThreePointOneReadsTwoNumbers) {
  VersionReading reading = ReadLibraryVersion(FAKE_3_1);
  EXPECT_TRUE(reading.readable);
  EXPECT_FALSE(reading.parsed);
  EXPECT_EQ(reading.assigned, 2);
}

TEST(Binding, RefusedVariantIsNeverLoaded) {
  // The window checks before it binds; a refused file stays unloaded.
  EXPECT_FALSE(Accepted(FAKE_4_1_0_0));
  EXPECT_FALSE(Loaded(FAKE_4_1_0_0));
}

TEST(Binding, MissingExportUnloadsAgain) {
  LibraryBinding binding;
  EXPECT_TRUE(Accepted(FAKE_NO_MASS_RESTART));
  EXPECT_FALSE(binding.Bind(FAKE_NO_MASS_RESTART));
  EXPECT_FALSE(binding.bound());
  EXPECT_EQ(binding.handle(), nullptr);
  EXPECT_EQ(CountSetEntryPoints(binding.api()), 0u);
  EXPECT_FALSE(Loaded(FAKE_NO_MASS_RESTART));
}

TEST(Binding, BindTwiceLoadsOnceAndUnbindClears) {
  LibraryBinding binding;
  ASSERT_TRUE(binding.Bind(FAKE_3_1_9_9));
  EXPECT_EQ(CountSetEntryPoints(binding.api()), kEntryPointCount);
  EXPECT_NE(binding.handle(), nullptr);
  EXPECT_TRUE(binding.Bind(FAKE_3_1_9_9));
  EXPECT_EQ(binding.loads(), 1);
  EXPECT_TRUE(Loaded(FAKE_3_1_9_9));
  EXPECT_TRUE(binding.Unbind());
  EXPECT_EQ(binding.handle(), nullptr);
  EXPECT_EQ(CountSetEntryPoints(binding.api()), 0u);
  EXPECT_FALSE(Loaded(FAKE_3_1_9_9));
}

TEST(Binding, UnbindWithNothingLoadedChangesNothing) {
  LibraryBinding binding;
  EXPECT_FALSE(binding.Unbind());
  EXPECT_EQ(binding.handle(), nullptr);
  EXPECT_EQ(CountSetEntryPoints(binding.api()), 0u);
  EXPECT_FALSE(binding.Bind(""));
  EXPECT_FALSE(binding.Bind("/nonexistent/libmdsp.so"));
  EXPECT_EQ(binding.handle(), nullptr);
}

TEST(Binding, RealLibraryBindsAllEntryPoints) {
  LibraryBinding binding;
  ASSERT_TRUE(binding.Bind(REAL_MDSP));
  EXPECT_EQ(CountSetEntryPoints(binding.api()), kEntryPointCount);
  DLLVERSIONINFO info{};
  EXPECT_EQ(binding.api().DllGetVersion(&info), 0);
  EXPECT_EQ(info.dwMajorVersion, 3u);
  EXPECT_TRUE(binding.Unbind());
}

TEST(LibraryFile, ResolvedFromTheProgramFolderFirst) {
  // The test program's folder holds no libmdsp.so; a path is used as given.
  EXPECT_EQ(ResolveLibraryFile(FAKE_MDSP).empty(), false);
  char resolved[4096];
  ASSERT_NE(realpath(FAKE_MDSP, resolved), nullptr);
  EXPECT_EQ(ResolveLibraryFile(FAKE_MDSP), resolved);
  // The build tree puts a link to the real library beside the pelmar program.
  std::string beside = std::string(PELMAR_DIR) + "/libmdsp.so";
  ASSERT_EQ(access(beside.c_str(), R_OK), 0);
  ASSERT_NE(realpath(REAL_MDSP, resolved), nullptr);
  EXPECT_EQ(ResolveLibraryFile(beside), resolved);
  EXPECT_EQ(ResolveLibraryFile("no-such-library-file.so"), "");
}

}  // namespace
}  // namespace pelmar::platform
