// One listed module as the scan shows it, read through the exported
// interface, and its table and JSON forms.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mdspctl {

// A column the module did not report stays empty (nullopt).
using Cell = std::optional<std::string>;

struct ModuleRow {
  uint32_t index = 0;
  bool secure = false;
  Cell ip, sn, gw, dhcp, version, type;
  std::string mac;
  // Read, and not the all-zero MAC the library gives an answer without one.
  // Only such modules are listed: nothing else can be addressed.
  bool macValid = false;
  bool seedKnown = false;  // text-protocol modules that hand out a password seed
  std::string seed;
  bool hostNameKnown = false;
  std::string hostName;
};

// Whether the entry at `index` is a secure module. The marker tag is missing
// when a Discover reply had a malformed TLV, so this asks the configure
// interface, which takes a 2-byte value of tag 8 only for a secure entry. It
// leaves a fresh, empty configure request for the entry behind. False when
// the entry cannot be asked (no longer in the table).
bool ProbeSecure(uint32_t index, bool& secure);

// Reads every column of the module at `index`.
ModuleRow ReadModuleRow(uint32_t index);

// Text-protocol version numbers as major.minor (two digits).build.
std::string FormatTextVersion(uint32_t major, uint32_t minor, uint32_t build);

// Columns not reported (or reported empty) read "N/A" in the table, so a
// script can split a row on white space; JSON gives null for those not
// reported. Texts came from the network: the table shows control characters
// and bytes that are not UTF-8 escaped, so none reaches the terminal raw.
std::string FormatTable(const std::vector<ModuleRow>& rows);
std::string FormatJson(const std::vector<ModuleRow>& rows);
std::string JsonString(const std::string& text);

}  // namespace mdspctl
