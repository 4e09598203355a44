#include "host_and_peer.h"

#include <sstream>

#include "udp_probe.h"

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
                                        const std::string& configJson,
                                        const std::vector<std::string>& extraArgs) {
  return lab.StartSimulator(simPath, peer, "p0", configJson, extraArgs);
}

bool HostAndPeer::SimulatorCaughtUp(const std::string& simLog, int timeoutMs) {
  const std::string marker = "host marker " + std::to_string(++markers_);
  // A port of its own: the code under test may still hold 3250.
  UdpProbe probe("h0", 3251);
  if (!probe.ok() || !probe.SendTo("255.255.255.255", 3250, marker)) return false;
  const std::string hex = SimHex(marker);
  return WaitFor(
      [&] {
        for (const std::string& seen : SimDatagramsHex(ReadFile(simLog), "rx"))
          if (seen == hex) return true;
        return false;
      },
      timeoutMs);
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

namespace {

bool IsSecure(const std::string& datagram) {
  return datagram.size() >= 2 && static_cast<uint8_t>(datagram[0]) == 0xC1 &&
         static_cast<uint8_t>(datagram[1]) == 0xAB;
}

}  // namespace

std::string SimHex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::vector<std::string> SimReceived(const std::string& simLog) {
  std::vector<std::string> out;
  for (const std::string& hex : SimDatagramsHex(ReadFile(simLog), "rx")) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
      bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    out.push_back(bytes);
  }
  return out;
}

std::vector<std::string> SimTextReceived(const std::string& simLog) {
  std::vector<std::string> out;
  for (const std::string& d : SimReceived(simLog))
    if (!IsSecure(d)) out.push_back(d.substr(0, d.find('\0')));
  return out;
}

std::vector<SimSecureRequest> SimSecureRequests(const std::string& simLog, uint8_t type) {
  constexpr size_t kHeader = 18, kAuthBlock = 36;
  std::vector<SimSecureRequest> out;
  for (const std::string& d : SimReceived(simLog)) {
    if (!IsSecure(d) || d.size() < kHeader || static_cast<uint8_t>(d[15]) != type) continue;
    size_t length = static_cast<uint8_t>(d[16]) | static_cast<uint8_t>(d[17]) << 8;
    if (length < kAuthBlock || kHeader + length > d.size()) continue;
    out.push_back({d.substr(2, 6), d.substr(kHeader + kAuthBlock, length - kAuthBlock)});
  }
  return out;
}

}  // namespace net_test
