// Builds client datagrams for the DHCP server tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace pelmar_test {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kRecoveryMac[6] = {0x02, 0xA7, 0x5E, 0x0A, 0x0B, 0x2C};
constexpr uint8_t kXid[4] = {0x39, 0x03, 0xF3, 0x26};

// 236-byte fixed part of a client message (op 1, Ethernet, broadcast flag
// set, some secs) with the given hardware address.
Bytes FixedPart(const uint8_t mac[6]);

// Fixed part, magic cookie, the option bytes as given, then option 255.
Bytes Request(const uint8_t mac[6], std::initializer_list<uint8_t> options);

Bytes Discover(const uint8_t mac[6]);
Bytes RequestFor(const uint8_t mac[6], const uint8_t requested[4]);

}  // namespace pelmar_test
