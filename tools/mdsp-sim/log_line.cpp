#include "log_line.h"

#include "addresses.h"

namespace mdspsim {

std::string endpointText(const Endpoint& endpoint) {
  return formatDotted(endpoint.ip) + ":" + std::to_string(endpoint.port);
}

std::string datagramLine(const char* direction, const Endpoint& peer, const uint8_t* data,
                         size_t size) {
  return std::string(direction) + " " + endpointText(peer) + " " + std::to_string(size) + " " +
         toHex(data, size);
}

}  // namespace mdspsim
