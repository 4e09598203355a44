// Text forms of MAC and IPv4 addresses as modules read and write them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sim_types.h"

namespace mdspsim {

// "02-00-00-12-34-AB": exactly six groups of one or two hex digits split by
// '-' (either case). False on anything else.
bool ParseMac(std::string_view text, Mac& out);
std::string FormatMac(const Mac& mac);  // upper case, hyphens

// Strict dotted quad: four decimal parts 0..255, nothing else.
bool ParseDotted(std::string_view text, uint32_t& out);
std::string FormatDotted(uint32_t value);

std::string ToHex(const uint8_t* data, size_t size);  // lower case, no gaps
bool FromHex(std::string_view text, Bytes& out);

bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

}  // namespace mdspsim
