// Which modules answer through one interface alone. The library does not
// tell through which interface an answer came, so the doctor and the
// recovery of one module ask each interface in turn.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "library_api.h"

namespace pelmar {

using ModuleMac = std::array<uint8_t, 6>;

// Chooses that interface alone, discovers (events carry `context`), waits
// timeoutMs and returns the distinct MACs in the module table. The library's
// worker must be running. The caller chooses its interfaces again afterwards.
// False with *error when the interface cannot be chosen or the discover fails.
bool DiscoverThrough(const LibraryApi& api, const std::string& address, uint32_t timeoutMs,
                     void* context, std::vector<ModuleMac>& macs, std::string* error);

// The first of `addresses` through which the module answers, or "".
std::string FindAnsweringInterface(const LibraryApi& api, const uint8_t mac[6],
                                   const std::vector<std::string>& addresses, uint32_t timeoutMs,
                                   void* context);

}  // namespace pelmar
