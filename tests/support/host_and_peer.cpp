#include "host_and_peer.h"

#include <sstream>

namespace net_test {

bool HostAndPeer::SetUp(const std::string& peerCidr) {
  if (!lab.ok()) return false;
  host = lab.AddNamespace("h");
  peer = lab.AddNamespace("p");
  return !host.empty() && !peer.empty() &&
         lab.Link(host, "h0", "10.77.0.1/24", "02:00:00:aa:00:01", peer, "p0", peerCidr,
                  "02:00:00:bb:00:01") &&
         lab.Enter(host);
}

std::string HostAndPeer::StartSimulator(const std::string& simPath,
                                        const std::string& configJson) {
  return lab.StartSimulator(simPath, peer, "p0", configJson);
}

std::vector<std::string> SimDatagramsHex(const std::string& logText,
                                         const std::string& direction) {
  std::vector<std::string> out;
  std::istringstream lines(logText);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string kind, from, length, hex;
    if (fields >> kind >> from >> length >> hex && kind == direction) out.push_back(hex);
  }
  return out;
}

}  // namespace net_test
