// The simulator's one UDP socket: port 3250 on one interface, broadcasts in
// and out.
#pragma once

#include <string>
#include <vector>

#include "sim_types.h"

namespace mdspsim {

// Bound to 0.0.0.0:3250 and tied to `iface`, so it hears the broadcasts on
// that interface and its own broadcasts leave through it. Returns the socket
// or -1 with a message.
int OpenModulePort(const std::string& iface, std::string& error);

// IPv4 addresses of the interface (first octet most significant).
std::vector<uint32_t> InterfaceAddresses(const std::string& iface);

// Sends the datagrams in order, as fast as the socket takes them. Failed
// sends are reported in `failures` (index and reason); the rest still go.
void SendAll(int fd, const std::vector<Outgoing>& batch,
             std::vector<std::pair<size_t, std::string>>& failures);

}  // namespace mdspsim
