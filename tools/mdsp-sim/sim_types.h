// Records shared by the module side: what a simulated module reports, how it
// misbehaves on request, and what it wants to put on the wire.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace mdspsim {

using Bytes = std::vector<uint8_t>;
using Mac = std::array<uint8_t, 6>;
using Seed = std::array<uint8_t, 4>;

constexpr uint16_t kPort = 3250;
constexpr uint32_t kBroadcastIp = 0xFFFFFFFFu;

// Request kinds a module can be told to ignore ("ignore" in the config).
inline const std::set<std::string>& RequestKinds() {
  static const std::set<std::string> kinds = {"scan",         "text_configure", "text_wink",
                                              "discover",     "authentication", "configure",
                                              "wink",         "restart",        "mass_restart",
                                              "ping"};
  return kinds;
}

// Configure fields a module can be told to leave as they are while it still
// accepts the request ("ignore_fields", --ignore-field): a module that says
// yes and does otherwise.
inline const std::set<std::string>& ConfigureFields() {
  static const std::set<std::string> fields = {"ip",   "mask", "gateway", "dns1",
                                               "dns2", "dhcp", "hostname"};
  return fields;
}

struct Faults {
  bool silent = false;            // answers nothing at all
  uint32_t delayMs = 0;           // every answer leaves this much later
  uint32_t repeat = 1;            // copies of each scan / Discover answer
  bool unsupported = false;       // text scan answer carries "Unsupported"
  bool malformed = false;         // scan / Discover answer with broken values
  bool hasRawAnswer = false;      // text scan answer replaced verbatim
  std::string rawAnswer;
  bool hasRawDiscoverPayload = false;  // secure Discover payload replaced verbatim
  Bytes rawDiscoverPayload;
  std::set<std::string> ignore;   // request kinds never answered
  std::set<std::string> ignoreFields;  // configure fields accepted but not applied
  int configureStatus = -1;       // -1: apply; else refuse with this status
  int pingStatus = 0;             // status byte of the Ping reply
  int massRestartStatus = -1;     // -1: no reply to Mass restart
  uint32_t restartSilenceMs = 0;  // silence after Restart / Mass restart
  bool hasFixedAuthSeed = false;  // Authentication always hands out this seed
  Seed fixedAuthSeed{};
  int authenticationStatus = -1;  // -1: hand out a seed; else refuse with this status
};

struct ModuleConfig {
  Mac mac{};
  bool speaksText = true;
  bool speaksSecure = false;
  bool replyUnicast = false;  // false: answers go to 255.255.255.255
  std::string password;
  uint32_t ip = 0xC0A8000A;  // 192.168.0.10, first octet most significant
  uint32_t subnet = 0xFFFFFF00;
  uint32_t gateway = 0xC0A80001;
  uint32_t dns1 = 0xC0A80001;
  uint32_t dns2 = 0;
  bool dhcp = false;
  std::string hostname = "sim-module";
  std::string typeText = "SIM-IO 16DI";  // text: fb type; secure: tag 2
  std::string versionText = "3.1.7";     // secure: tag 1
  uint8_t protocolMajor = 1, protocolMinor = 0;
  uint8_t moduleMajor = 3, moduleMinor = 1;
  uint16_t moduleBuild = 7;
  uint8_t kernelMajor = 1, kernelMinor = 2;
  uint16_t kernelBuild = 3;
  int passwordFlag = -1;  // -1: reported as "password not empty"
  bool hasSeed = false;   // text modules: reports a seed (maybe empty)
  std::string seed;
  uint32_t maxHostname = 63;
  uint32_t maxPassword = 63;
  Faults faults;
};

// Puts back into `next` the fields `current` is told to ignore.
inline void KeepIgnoredFields(const ModuleConfig& current, ModuleConfig& next) {
  const std::set<std::string>& ignored = current.faults.ignoreFields;
  if (ignored.count("ip")) next.ip = current.ip;
  if (ignored.count("mask")) next.subnet = current.subnet;
  if (ignored.count("gateway")) next.gateway = current.gateway;
  if (ignored.count("dns1")) next.dns1 = current.dns1;
  if (ignored.count("dns2")) next.dns2 = current.dns2;
  if (ignored.count("dhcp")) next.dhcp = current.dhcp;
  if (ignored.count("hostname")) next.hostname = current.hostname;
}

// One module: its configuration plus what it learns at run time.
struct SimModule {
  ModuleConfig cfg;
  // Seeded text modules keep only salt (2 chars) + Md5hex(salt + password),
  // the form the host sends as a new password; a seed of 2 characters or
  // more starts with the salt so the host can answer the challenge.
  std::string saltedHash;
  std::string seedTail;
  bool passwordSet = false;  // seeded text modules: the stored password is not empty
  bool seedHandedOut = false;  // secure: a seed is outstanding and unused
  Seed lastSeed{};
  uint64_t silentUntilMs = 0;
};

struct Endpoint {
  uint32_t ip = 0;  // first octet most significant
  uint16_t port = 0;
};

struct Outgoing {
  Bytes data;
  Endpoint to;
  uint64_t dueMs = 0;
};

// What one module does about one request: datagrams to send (in order), a
// note for the log, and whether it now restarts (goes silent).
struct Reaction {
  std::vector<Bytes> replies;
  std::string event;
  bool restart = false;
};

// Fresh 4-byte seeds for Authentication replies; injectable for tests.
using SeedSource = std::function<Seed()>;

}  // namespace mdspsim
