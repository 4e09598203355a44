// The LibraryBinding: version acceptance of built library variants, binding
// all or nothing, unbinding, and the file checked being the file loaded.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "entry_points.h"
#include "library_binding.h"
#include "version_check.h"

namespace pelmar_test {
using namespace pelmar;
using namespace pelmar::platform;
using versioning::ReadLibraryVersion;
using versioning::VersionReading;
namespace {

bool Loaded(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle) dlclose(handle);
  return handle != nullptr;
}

bool Accepted(const char* path) { return versioning::LibraryFileAccepted(path); }

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
  EXPECT_TRUE(versioning::AcceptVersion(reading));
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

// A throwaway folder tree, removed at the end of the test.
struct TempTree {
  TempTree() {
    char pattern[] = "/tmp/pelmar-resolve-XXXXXX";
    root = mkdtemp(pattern);
  }
  ~TempTree() { std::filesystem::remove_all(root); }
  std::string root;
};

std::string RunProbe(const std::string& program, const std::string& environment = "") {
  std::string command = "env -u LD_LIBRARY_PATH " + environment + " '" + program + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return "popen failed";
  char line[4096] = "";
  if (!fgets(line, sizeof line, pipe)) line[0] = '\0';
  pclose(pipe);
  std::string text(line);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

TEST(LibraryFile, InstalledTreeFoundThroughTheRunPath) {
  // <prefix>/bin/program with RUNPATH $ORIGIN/../lib, the library in
  // <prefix>/lib as its soname chain: found without LD_LIBRARY_PATH.
  TempTree tree;
  namespace fs = std::filesystem;
  fs::create_directories(tree.root + "/bin");
  fs::create_directories(tree.root + "/lib");
  fs::copy_file(RESOLVE_PROBE, tree.root + "/bin/probe");
  fs::copy_file(REAL_MDSP, tree.root + "/lib/libmdsp.so.3");
  fs::create_symlink("libmdsp.so.3", tree.root + "/lib/libmdsp.so");
  const std::string wanted = fs::canonical(tree.root + "/lib/libmdsp.so.3").string();
  EXPECT_EQ(RunProbe(tree.root + "/bin/probe"), wanted);

  // A copy beside the program still comes first.
  fs::copy_file(FAKE_MDSP, tree.root + "/bin/libmdsp.so");
  EXPECT_EQ(RunProbe(tree.root + "/bin/probe"),
            fs::canonical(tree.root + "/bin/libmdsp.so").string());
  fs::remove(tree.root + "/bin/libmdsp.so");

  // A run-time install has the soname only.
  fs::remove(tree.root + "/lib/libmdsp.so");
  EXPECT_EQ(RunProbe(tree.root + "/bin/probe"), wanted);

  // LD_LIBRARY_PATH comes before the run path.
  fs::create_directories(tree.root + "/other");
  fs::copy_file(FAKE_MDSP, tree.root + "/other/libmdsp.so");
  EXPECT_EQ(RunProbe(tree.root + "/bin/probe", "LD_LIBRARY_PATH=" + tree.root + "/other"),
            fs::canonical(tree.root + "/other/libmdsp.so").string());

  // A program elsewhere does not find it.
  fs::create_directories(tree.root + "/elsewhere/deeper");
  fs::copy_file(RESOLVE_PROBE, tree.root + "/elsewhere/deeper/probe");
  EXPECT_NE(RunProbe(tree.root + "/elsewhere/deeper/probe"), wanted);
}

TEST(LibraryFile, LoaderConfigurationFoldersWithIncludes) {
  TempTree tree;
  namespace fs = std::filesystem;
  fs::create_directories(tree.root + "/conf.d");
  std::ofstream(tree.root + "/ld.so.conf")
      << "# comment\n/opt/first/lib  # trailing\n\ninclude conf.d/*.conf\n  /opt/last/lib\n";
  std::ofstream(tree.root + "/conf.d/a.conf") << "/opt/a/lib\ninclude " << tree.root
                                               << "/ld.so.conf\n";  // a loop ends
  std::ofstream(tree.root + "/conf.d/b.conf") << "/opt/b/lib\n";
  std::ofstream(tree.root + "/conf.d/ignored.txt") << "/opt/no/lib\n";
  std::vector<std::string> folders = LoaderConfigFolders(tree.root + "/ld.so.conf");
  ASSERT_GE(folders.size(), 4u);
  EXPECT_EQ(folders.front(), "/opt/first/lib");
  EXPECT_EQ(folders[1], "/opt/a/lib");
  EXPECT_EQ(folders.back(), "/opt/last/lib");
  EXPECT_NE(std::find(folders.begin(), folders.end(), "/opt/b/lib"), folders.end());
  EXPECT_EQ(std::find(folders.begin(), folders.end(), "/opt/no/lib"), folders.end());
  EXPECT_TRUE(LoaderConfigFolders(tree.root + "/missing.conf").empty());
}

}  // namespace
}  // namespace pelmar_test
