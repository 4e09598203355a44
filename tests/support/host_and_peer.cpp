#include "host_and_peer.h"

#include <sstream>

namespace testnet {

bool HostAndPeer::setUp(const std::string& peerCidr) {
  if (!lab.ok()) return false;
  host = lab.addNamespace("h");
  peer = lab.addNamespace("p");
  return !host.empty() && !peer.empty() &&
         lab.link(host, "h0", "10.77.0.1/24", "02:00:00:aa:00:01", peer, "p0", peerCidr,
                  "02:00:00:bb:00:01") &&
         lab.enter(host);
}

std::string HostAndPeer::startSimulator(const std::string& simPath,
                                        const std::string& configJson) {
  return lab.startSimulator(simPath, peer, "p0", configJson);
}

std::vector<std::string> simDatagramsHex(const std::string& logText,
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

}  // namespace testnet
