// The host's IPv4 networks as the kernel sees them (address, mask, default
// gateway per interface; the subnets a scan reaches), whether anything
// answers for an address on a link, and the list `mdspctl scan --remember`
// keeps between runs.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "module_marks.h"
#include "move_to_network.h"

namespace pelmar::platform {

// Every IPv4 address of every interface that is up, loopback left out.
std::vector<HostNetwork> ListHostNetworks();

// The address and mask of every interface, up or not, that has one of
// `addresses`: the networks a scan from those addresses goes out to.
std::vector<HostSubnet> InterfaceSubnets(const std::vector<uint32_t>& addresses);

// Whether anything on the interface's link answers for `address` within
// timeoutMs. Needs no privilege: a datagram to the address makes the kernel
// ask the link (ARP), and its neighbour table then tells whether an answer
// came. A neighbour already known counts as an answer.
bool NeighbourAnswers(uint32_t address, const std::string& interfaceName, int timeoutMs = 500);

// $XDG_STATE_HOME (else $HOME/.local/state) + "/Tordal/Corvane Pelmar/last-scan";
// "" when neither variable is set.
std::string RememberedScanPath();
// The MACs of the remembered scan; nothing when there is none (or the file
// cannot be read). Lines that are no MAC are skipped.
std::optional<std::set<MacBytes>> LoadRememberedScan(const std::string& path);
// One MAC a line; folders made, written beside and renamed over the old one.
bool SaveRememberedScan(const std::string& path, const std::set<MacBytes>& macs);

}  // namespace pelmar::platform
