#include "dhcp_packets.h"

#include <cstring>

namespace pelmar_test {

Bytes FixedPart(const uint8_t mac[6]) {
  Bytes d(236, 0);
  d[0] = 1;
  d[1] = 1;
  d[2] = 6;
  d[3] = 0;
  std::memcpy(&d[4], kXid, 4);
  d[8] = 0x00;
  d[9] = 0x07;   // secs: must not reach the reply
  d[10] = 0x80;  // broadcast flag: must not reach the reply
  std::memcpy(&d[28], mac, 6);
  return d;
}

Bytes Request(const uint8_t mac[6], std::initializer_list<uint8_t> options) {
  Bytes d = FixedPart(mac);
  d.insert(d.end(), {99, 130, 83, 99});
  d.insert(d.end(), options);
  d.push_back(255);
  return d;
}

Bytes Discover(const uint8_t mac[6]) {
  // Parameter request list and client identifier as real clients send them.
  return Request(mac, {53, 1, 1, 55, 4, 1, 3, 6, 15, 61, 7, 1, mac[0], mac[1], mac[2], mac[3],
                       mac[4], mac[5]});
}

Bytes RequestFor(const uint8_t mac[6], const uint8_t requested[4]) {
  return Request(mac, {53, 1, 3, 50, 4, requested[0], requested[1], requested[2], requested[3],
                       54, 4, 10, 200, 1, 1});
}

}  // namespace pelmar_test
