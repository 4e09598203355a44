#include "log_line.h"

#include "addresses.h"

namespace mdspsim {

std::string EndpointText(const Endpoint& endpoint) {
  return FormatDotted(endpoint.ip) + ":" + std::to_string(endpoint.port);
}

std::string DatagramLine(const char* direction, const Endpoint& peer, const uint8_t* data,
                         size_t size) {
  return std::string(direction) + " " + EndpointText(peer) + " " + std::to_string(size) + " " +
         ToHex(data, size);
}

}  // namespace mdspsim
