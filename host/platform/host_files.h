// The host's files and interfaces that bulk runs need: a file with
// passwords that only its owner may read, and the subnets of the
// interfaces a scan goes out through.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bulk_plan.h"  // Subnet

namespace pelmar {

// Reads the whole file, refused (false with a message) when its group or
// others may read or write it, or it is not a regular file: passwords in it
// would be readable by others.
bool ReadPrivateFile(const std::string& path, std::string& text, std::string& error);

// The address and mask of every interface that has one of `addresses`
// (first octet most significant); interfaces without a mask are left out.
std::vector<Subnet> InterfaceSubnets(const std::vector<uint32_t>& addresses);

}  // namespace pelmar
