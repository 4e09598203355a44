// Every program answers --help and --version at once: exit 0, the text on
// standard output, and nothing else. Each runs in a namespace made here,
// with an empty environment (no display, no QT_QPA_PLATFORM), an empty
// home and working folder that must stay empty, and a preloaded probe that
// notes and refuses every socket, exec and dlopen.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "netns.h"

namespace versioning_test {
namespace {

enum class Expect {
  Usage,    // starts with the usage line and names --version
  Version,  // exactly "<program> <project version>\n"
};

struct Case {
  const char* program;
  const char* path;
  const char* arguments;
  Expect expect;
  const char* usageStart;
};

const Case kCases[] = {
    {"pelmar", PELMAR_PATH, "--help", Expect::Usage, "usage: pelmar "},
    {"pelmar", PELMAR_PATH, "--version", Expect::Version, nullptr},
    {"mdspctl", MDSPCTL_PATH, "--help", Expect::Usage, "usage: mdspctl "},
    {"mdspctl", MDSPCTL_PATH, "--version", Expect::Version, nullptr},
    // --verbose would start the program again: --version comes first.
    {"mdspctl", MDSPCTL_PATH, "--verbose scan --version", Expect::Version, nullptr},
    {"mdsp-sim", MDSP_SIM_PATH, "--help", Expect::Usage, "usage: mdsp-sim "},
    {"mdsp-sim", MDSP_SIM_PATH, "--version", Expect::Version, nullptr},
    {"pelmar-dhcpd", PELMAR_DHCPD_PATH, "--help", Expect::Usage, "Usage: pelmar-dhcpd "},
    {"pelmar-dhcpd", PELMAR_DHCPD_PATH, "--version", Expect::Version, nullptr},
};

struct Outcome {
  std::string exitCode, out, err, sideEffects;
  bool sandboxEmpty = false;
};

// Runs one command line in the namespace with a fresh sandbox folder as
// home, configuration, runtime and working folder.
Outcome RunProbed(net_test::Lab& lab, const std::string& ns, const std::string& commandLine) {
  const std::string dir = lab.tempDir();
  const std::string sandbox = dir + "/sandbox";
  std::filesystem::remove_all(sandbox);
  std::filesystem::create_directories(sandbox);
  for (const char* name : {"/out", "/err", "/rc", "/side_effects"})
    std::filesystem::remove(dir + name);
  const std::string command =
      "cd \"" + sandbox + "\" && env -i PATH=/usr/bin:/bin HOME=\"" + sandbox +
      "\" XDG_CONFIG_HOME=\"" + sandbox + "\" XDG_RUNTIME_DIR=\"" + sandbox +
      "\" LD_PRELOAD=\"" SIDE_EFFECT_PROBE "\" SIDE_EFFECT_LOG=\"" + dir +
      "/side_effects\" ASAN_OPTIONS=verify_asan_link_order=0 " + commandLine + " >\"" + dir +
      "/out\" 2>\"" + dir + "/err\" </dev/null; echo $? >\"" + dir + "/rc\"";
  lab.Run(ns, command);
  Outcome run;
  run.exitCode = net_test::ReadFile(dir + "/rc");
  run.out = net_test::ReadFile(dir + "/out");
  run.err = net_test::ReadFile(dir + "/err");
  run.sideEffects = net_test::ReadFile(dir + "/side_effects");
  run.sandboxEmpty = std::filesystem::is_empty(sandbox);
  return run;
}

TEST(ProgramAnswers, HelpAndVersionPrintAndEndWithoutSideEffects) {
  net_test::Lab lab;
  NETNS_REQUIRE(lab);
  const std::string ns = lab.AddNamespace("a");
  ASSERT_FALSE(ns.empty()) << lab.error();

  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.program) + " " + c.arguments);
    const Outcome run = RunProbed(lab, ns, std::string("\"") + c.path + "\" " + c.arguments);
    EXPECT_EQ(run.exitCode, "0\n");
    if (c.expect == Expect::Version) {
      EXPECT_EQ(run.out, std::string(c.program) + " " PROJECT_VERSION_TEXT "\n");
    } else {
      EXPECT_EQ(run.out.rfind(c.usageStart, 0), 0u) << run.out;
      EXPECT_NE(run.out.find("--version"), std::string::npos) << run.out;
    }
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.sideEffects, "");
    EXPECT_TRUE(run.sandboxEmpty);
  }
}

// The probe itself: a program that does open a socket is caught.
TEST(ProgramAnswers, ProbeNotesASocket) {
  net_test::Lab lab;
  NETNS_REQUIRE(lab);
  const std::string ns = lab.AddNamespace("a");
  ASSERT_FALSE(ns.empty()) << lab.error();
  const Outcome run = RunProbed(lab, ns, "\"" MDSP_SIM_PATH "\" --iface lo --generate-text 1");
  EXPECT_NE(run.exitCode, "0\n");
  EXPECT_NE(run.sideEffects.find("socket"), std::string::npos) << run.sideEffects;
}

}  // namespace
}  // namespace versioning_test
