// Re-addressing many simulated modules from a plan file with mdspctl apply,
// in throwaway network namespaces (never on the machine's own network):
// N modules (half text, half secure) get new addresses from a CSV plan, one
// at a time, and are read back. Prints the wall time and how many were
// confirmed; it judges nothing.
//
//   mdsp_bench_bulk_apply [--modules N] [--runs R]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "host_and_peer.h"
#include "netns.h"

namespace {

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  int modules = 200, runs = 1;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--help")) {
      std::printf("usage: mdsp_bench_bulk_apply [--modules N (2..240, default 200)] [--runs R]\n"
                  "Needs root: makes its own network namespaces.\n");
      return 0;
    }
    if (i + 1 < argc && !std::strcmp(argv[i], "--modules")) modules = std::atoi(argv[++i]);
    else if (i + 1 < argc && !std::strcmp(argv[i], "--runs")) runs = std::atoi(argv[++i]);
  }
  if (modules < 2 || modules > 240 || runs < 1) {
    std::fprintf(stderr, "bad arguments (see --help)\n");
    return 2;
  }
  net_test::HostAndPeer net;
  if (!net.lab.ok() || !net.SetUp()) {
    std::fprintf(stderr, "cannot make the namespaces: %s\n", net.lab.error().c_str());
    return 77;
  }
  const int text = modules / 2, secure = modules - text;
  const std::string config = "{\"generate\": {\"text\": " + std::to_string(text) +
                             ", \"secure\": " + std::to_string(secure) + "}}";
  const std::string simLog = net.StartSimulator(MDSP_SIM_PATH, config);
  if (simLog.empty()) {
    std::fprintf(stderr, "simulator did not start: %s\n", net.lab.error().c_str());
    return 1;
  }
  for (int run = 0; run < runs; ++run) {
    // Generated modules: MACs 02-00-01-00-00-01 upward, empty passwords.
    const std::string plan = net.lab.tempDir() + "/plan" + std::to_string(run) + ".csv";
    {
      std::ofstream out(plan);
      out << "mac,ip,mask,gateway,dns1,dns2,dhcp,hostname\n";
      for (int i = 1; i <= modules; ++i) {
        char line[96];
        // Into the host's 10.77.0.0/24; a later run sends the same again.
        std::snprintf(line, sizeof line,
                      "02-00-01-00-00-%02X,10.77.0.%d,255.255.255.0,10.77.0.1,,,off,\n", i,
                      i + 12);
        out << line;
      }
    }
    // The generated modules have empty passwords: one empty line.
    const std::string emptyLine = net.lab.tempDir() + "/password";
    std::ofstream(emptyLine) << "\n";
    std::string output;
    const auto start = std::chrono::steady_clock::now();
    net.lab.Run(net.host, std::string(MDSPCTL_PATH) + " apply " + plan +
                              " --nic 10.77.0.1 < " + emptyLine + " 2>&1; echo rc=$?",
                &output);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("run %d: %d modules re-addressed from a CSV plan in %.2f s: %zu confirmed, "
                "%zu differ, exit %s\n",
                run + 1, modules, seconds, Count(output, "read back: confirmed"),
                Count(output, "read back: differs"),
                output.substr(output.rfind("rc=") + 3, output.find('\n', output.rfind("rc=")) - output.rfind("rc=") - 3).c_str());
    if (Count(output, "read back: confirmed") != static_cast<size_t>(modules))
      std::fputs(output.substr(output.size() > 3000 ? output.size() - 3000 : 0).c_str(), stderr);
  }
  return 0;
}
