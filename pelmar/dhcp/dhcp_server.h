// Minimal DHCP server for recovering modules that were switched to DHCP on a
// network without one: a client whose hardware address begins with 02-A7-5E
// is offered 10.200.1.x (x = last hardware byte), mask 255.255.255.0. No
// lease table, no lease time, no server identifier, no router.
#pragma once

#include <cstdint>

#include "dhcp_message.h"
#include "dhcp_socket.h"

constexpr uint16_t kDhcpServerPort = 67;
constexpr uint16_t kDhcpClientPort = 68;

// What one answer gave to whom, for logs and status lines.
struct DhcpAnswer {
  uint8_t hardwareAddress[6] = {};
  uint8_t address[4] = {};
  uint8_t messageType = 0;  // kDhcpOffer, kDhcpAck or kDhcpNak
};

// "offer", "ack", "nak" (or "?").
const char* DhcpAnswerTypeName(uint8_t messageType);

class CDhcpServer {
 public:
  CDhcpServer() = default;
  ~CDhcpServer();
  CDhcpServer(const CDhcpServer&) = delete;
  CDhcpServer& operator=(const CDhcpServer&) = delete;

  // Opens the socket on port 67 (all interfaces, or only interfaceName).
  // A failed start leaves the server closed; Poll then answers nothing.
  // A server that is already open is closed first: stop its poll thread
  // before starting it again.
  DhcpStartError Start(const char* interfaceName = nullptr, int* systemError = nullptr);

  // Closes the socket. Stop the poll thread first: the thread must not use a
  // socket that is being closed (its number may already be reused).
  void Stop();

  bool IsStarted() const;

  // Handles at most one waiting datagram. Returns 1 when an answer was sent,
  // else 0. *answer (if given) describes what was sent.
  int Poll(DhcpAnswer* answer = nullptr);

  // The socket-free part of Poll: takes a received datagram, and when it
  // deserves an answer composes it in Reply() and returns true.
  bool HandleDatagram(const uint8_t* bytes, int length, DhcpAnswer* answer = nullptr);

  const CDhcpMessage& Request() const { return request_; }
  const CDhcpMessage& Reply() const { return reply_; }

 private:
  // Parses request_.datagram and composes reply_; false when no answer is due.
  bool ComposeReply(DhcpAnswer* answer);

  // Both messages are reused for every datagram: no allocation per message.
  CDhcpMessage reply_;
  CDhcpMessage request_;
  DhcpSocket socket_;
};
