// The DHCP wire tests' common ground: a server namespace cabled to a client
// namespace, a record of the server's answers, and busybox udhcpc as the
// module's DHCP client.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "dhcp_server.h"
#include "netns.h"

namespace pelmar_test {

// Server namespace "s" (s0 10.200.1.1/24) joined to client namespace "c":
// c0 with the given MAC (random when "") and address; with an address the
// client's default route leaves through c0, without one it is a module
// waiting for a lease.
bool MakeServerAndClient(net_test::Lab& lab, std::string* server, std::string* client,
                         const std::string& clientCidr, const std::string& clientMac);

// Where recovery is meant for one module among several: the server
// namespace's s0 (10.200.1.1/24) is cabled to a switch (a bridge in a
// namespace of its own) with modules 0 and 1 on it, and its s1 straight to
// module 2. Each module waits for a lease on its c0 with kPlantMacs[i].
struct Plant {
  std::string server;
  std::string modules[3];
};
inline const char* const kPlantMacs[3] = {"02:a7:5e:00:00:05", "02:a7:5e:00:00:06",
                                          "02:a7:5e:00:00:07"};
bool MakePlant(net_test::Lab& lab, Plant* plant);

// Collects what the poll thread reports after each answer sent.
struct AnswerLog {
  std::mutex lock;
  std::vector<pelmar::DhcpAnswer> answers;

  static void Sink(const pelmar::DhcpAnswer& answer, void* context);
  bool Has(uint8_t messageType);
};

bool BusyboxInstalled();

// Writes, under the lab's temporary folder, the script udhcpc hands the
// lease to; it only applies the address. Its path, or "" on failure.
std::string WriteLeaseScript(net_test::Lab& lab);

// Runs `busybox udhcpc` once in the foreground on `iface` in namespace `ns`
// (ten tries a second apart); true when it got a lease, its output in *output.
bool RunUdhcpc(net_test::Lab& lab, const std::string& ns, const std::string& iface,
               const std::string& script, std::string* output);

// The same in the background, giving up after `tries`; output to logFile.
// Returns the pid or -1.
pid_t SpawnUdhcpc(net_test::Lab& lab, const std::string& ns, const std::string& iface,
                  const std::string& script, int tries, const std::string& logFile);

// The IPv4 addresses on `iface` in `ns`, as `ip -4 addr show` lists them.
bool Ipv4Addresses(net_test::Lab& lab, const std::string& ns, const std::string& iface,
                   std::string* addresses);

}  // namespace pelmar_test

// A test with busybox's client fails without it under CI=true and is
// reported as skipped elsewhere.
#define REQUIRE_BUSYBOX()                                                                   \
  do {                                                                                      \
    if (!::pelmar_test::BusyboxInstalled()) {                                               \
      if (::net_test::CiMode()) FAIL() << "busybox is not installed (Debian package busybox)"; \
      GTEST_SKIP() << "busybox is not installed (Debian package busybox)";                  \
    }                                                                                       \
  } while (0)
