// Minimal DHCP server for recovering modules that were switched to DHCP on a
// network without one: a client whose hardware address begins with 02-A7-5E
// is offered 10.200.1.x (x = last hardware byte), mask 255.255.255.0. No
// lease table, no lease time, no server identifier, no router.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dhcp_message.h"
#include "dhcp_socket.h"

namespace pelmar {

constexpr uint16_t kDhcpServerPort = 67;
constexpr uint16_t kDhcpClientPort = 68;

// Room for an interface name and its terminating zero.
constexpr int kDhcpInterfaceNameCapacity = 16;

// What one answer gave to whom, for logs and status lines.
struct DhcpAnswer {
  uint8_t hardwareAddress[6] = {};
  uint8_t address[4] = {};
  uint8_t messageType = 0;  // kDhcpOffer, kDhcpAck or kDhcpNak
  // Where the answer went out; "" when the platform could not tell.
  char interfaceName[kDhcpInterfaceNameCapacity] = {};
};

// Called after each answer sent (on the thread that serves).
using DhcpAnswerSink = void (*)(const DhcpAnswer& answer, void* context);

using DhcpHardwareAddress = std::array<uint8_t, 6>;

// Reads "02-A7-5E-0A-0B-2C" or "02:a7:5e:0a:0b:2c"; false for anything else.
bool ParseDhcpHardwareAddress(const char* text, DhcpHardwareAddress* address);

// Whether the address begins with the module family's 02-A7-5E: nobody
// else is ever answered.
bool IsModuleFamilyAddress(const uint8_t address[6]);

// Whom and where the server answers. Left empty it serves every
// module-family client on every interface, as the Settings switch does;
// recovering one module narrows it to that module and its cable.
struct DhcpScope {
  std::string interfaceName;                        // "" for every interface
  std::vector<DhcpHardwareAddress> allowedClients;  // empty: the whole family
};

// "offer 02-A7-5E-0A-0B-2C 10.200.1.44 on eth1" (without " on ..." when the
// interface is unknown), truncated to fit. Returns the length it needed.
int FormatDhcpAnswer(const DhcpAnswer& answer, char* line, int capacity);

// What one ServeOne call did.
enum class DhcpServeResult {
  kIdle,        // nothing was waiting (or the socket is closed)
  kIgnored,     // a datagram was taken that deserves no answer
  kAnswered,    // an answer was sent
  kSendFailed,  // an answer was due but could not be sent
};

// "offer", "ack", "nak" (or "?").
const char* DhcpAnswerTypeName(uint8_t messageType);

class CDhcpServer {
 public:
  CDhcpServer() = default;
  ~CDhcpServer();
  CDhcpServer(const CDhcpServer&) = delete;
  CDhcpServer& operator=(const CDhcpServer&) = delete;

  // Opens the socket on port 67 (every interface, or only the scope's) and
  // answers only the scope's clients from then on. A failed start leaves the
  // server closed; Poll then answers nothing. A server that is already open
  // is closed first: stop its poll thread before starting it again.
  DhcpStartError Start(const DhcpScope& scope = {}, int* systemError = nullptr);

  // Narrows whom the server answers (empty: the whole module family); a
  // client outside the family stays unanswered even when listed. Start sets
  // it from its scope; set it only while no thread serves.
  void AllowOnly(std::vector<DhcpHardwareAddress> clients);

  // Closes the socket. Stop the poll thread first: the thread must not use a
  // socket that is being closed (its number may already be reused).
  void Stop();

  bool IsStarted() const;

  // Handles at most one waiting datagram. Returns 1 when an answer was sent,
  // else 0. *answer (if given) describes what was sent.
  int Poll(DhcpAnswer* answer = nullptr);

  // Poll for callers that empty the queue: tells "nothing waiting" apart
  // from "a datagram taken, no answer sent". Repeat until kIdle to serve
  // every waiting request. A datagram too large for the buffer is discarded
  // and reported as kIdle; the next Wait sees whatever follows it.
  DhcpServeResult ServeOne(DhcpAnswer* answer = nullptr);

  // One serving cycle: takes waiting datagrams until none is left or
  // `limit` were taken, answering those due; sink (if given) hears of each
  // answer sent. Datagrams that deserve no answer count towards the limit,
  // so junk cannot stretch a cycle. Returns the number taken.
  int ServeCycle(int limit, DhcpAnswerSink sink = nullptr, void* context = nullptr);

  // Blocks until a datagram waits or wakeHandle becomes readable (see
  // DhcpSocketWait). With ServeOne this serves at the rate traffic arrives
  // instead of once per poll interval.
  DhcpWaitResult Wait(intptr_t wakeHandle = -1, int timeoutMs = -1);

  // The socket-free part of Poll: takes a received datagram, and when it
  // deserves an answer composes it in Reply() and returns true.
  bool HandleDatagram(const uint8_t* bytes, int length, DhcpAnswer* answer = nullptr);

  const CDhcpMessage& Request() const { return request_; }
  const CDhcpMessage& Reply() const { return reply_; }

 private:
  // Parses request_.datagram and composes reply_; false when no answer is due.
  bool ComposeReply(DhcpAnswer* answer);
  bool IsAllowed(const uint8_t hardwareAddress[6]) const;

  // Both messages are reused for every datagram: no allocation per message.
  CDhcpMessage reply_;
  CDhcpMessage request_;
  DhcpSocket socket_;
  std::vector<DhcpHardwareAddress> allowed_;
};

}  // namespace pelmar
