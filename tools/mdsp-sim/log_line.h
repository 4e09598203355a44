// One log line per datagram, stable for tests to match:
//   rx 10.77.0.1:3250 12 4d4f44554c45205343414e00
#pragma once

#include <string>

#include "sim_types.h"

namespace mdspsim {

std::string EndpointText(const Endpoint& endpoint);  // "10.77.0.1:3250"
std::string DatagramLine(const char* direction, const Endpoint& peer, const uint8_t* data,
                         size_t size);

}  // namespace mdspsim
