// What the scale benchmarks share: their options, the kernel's UDP
// counters, the namespace pair with the simulator in it, the wait for a
// discover's answers, and the junk flood from the modules' side.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "netns.h"

namespace scale {

// "--name N" among the arguments, or the fallback.
uint32_t Arg(int argc, char** argv, const char* name, uint32_t fallback);
// "--name text" among the arguments, or the fallback.
std::string TextArg(int argc, char** argv, const char* name, const std::string& fallback);

// One counter of the "Udp:" lines of a /proc/net/snmp text; -1 when absent.
long UdpCounter(const std::string& snmp, const std::string& name);
// The calling thread's namespace (the benchmark thread sits in the host's).
std::string OwnSnmp();

// Host namespace (10.77.0.1 on h0) and modules' namespace (10.77.0.2 on
// m0) joined by a veth pair, the simulator answering for `text` text and
// `secure` secure modules on m0, the calling thread moved into the host
// namespace and the library's interface chosen. Returns the modules'
// namespace, or "" with the reason printed.
// `simArgs` go on the simulator's command line (e.g. --loss).
std::string StartSimulatedModules(net_test::Lab& lab, uint32_t text, uint32_t secure,
                                  const std::vector<std::string>& simArgs = {});

// Waits until `found` reaches `expected` or stays unchanged for two seconds.
void AwaitModules(const std::atomic<int>& found, int expected);

struct FloodPlan {
  std::string fromNamespace;
  uint32_t senders = 1;
  uint32_t seconds = 10;
  long maxDatagrams = 5000000;      // over all senders
  std::vector<std::string> pool;  // sent in turn
};

// Sends junk from `senders` threads inside the modules' namespace to the
// host's address (unicast: the simulator never sees it) until the time,
// the count or `stop` ends it; returns the datagrams sent. Never sends
// from the machine's own namespace.
long Flood(const FloodPlan& plan, const std::atomic<bool>& stop);
// One sender per core and one more: enough to keep the wire full however
// the scheduler shares the cores.
uint32_t DefaultFloodSenders();

}  // namespace scale
