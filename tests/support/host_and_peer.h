// The usual wire of a network test: a host namespace, where the calling
// thread then runs the code under test, and a peer namespace for the
// simulator or a probe, joined by one veth pair h0 (10.77.0.1/24,
// 02:00:00:aa:00:01) <-> p0 (02:00:00:bb:00:01).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "netns.h"

namespace net_test {

class HostAndPeer {
 public:
  // Makes both namespaces and the pair, the peer end addressed `peerCidr`,
  // and enters the host namespace. False (see lab.error()) when any step
  // fails or namespaces cannot be made here.
  bool SetUp(const std::string& peerCidr = "10.77.0.2/24");

  // Starts the module simulator on p0; its log path, or "" on failure.
  std::string StartSimulator(const std::string& simPath, const std::string& configJson,
                             const std::vector<std::string>& extraArgs = {});

  // Broadcasts a marker from the host side (calling thread in the host
  // namespace) and waits until the simulator's log shows it. Datagrams that
  // left the host before it arrive before it, so once it shows, a datagram
  // missing from the log was never sent. False when it did not show within
  // timeoutMs.
  bool SimulatorCaughtUp(const std::string& simLog, int timeoutMs = 10000);

  Lab lab;
  std::string host, peer;

 private:
  int markers_ = 0;
};

// Datagram lines of a simulator log ("rx|tx IP:PORT LEN HEX"): the hex of
// every datagram in that direction, in log order.
std::vector<std::string> SimDatagramsHex(const std::string& logText, const std::string& direction);

// Bytes as the simulator's log writes them: lower-case hex.
std::string SimHex(const std::string& bytes);

// Every datagram the simulator with that log received, in order, as bytes.
std::vector<std::string> SimReceived(const std::string& simLog);

// The text requests among them (all that are not secure), each up to its NUL.
std::vector<std::string> SimTextReceived(const std::string& simLog);

// The authenticated secure requests of one type among them: the destination
// MAC bytes and the payload behind the authentication block.
struct SimSecureRequest {
  std::string to;
  std::string payload;
};
std::vector<SimSecureRequest> SimSecureRequests(const std::string& simLog, uint8_t type);

}  // namespace net_test
