// One listed module as the scan shows it, read through the exported
// interface, and its table and JSON forms.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "module_marks.h"
#include "module_record.h"

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
  // The user's name and note for the MAC (names file), nothing without.
  Cell name, note;
  pelmar::MarkSubject subject;     // what the marks look at
  std::vector<std::string> marks;  // filled from the whole list (MarkRows)
};

// Reads every column of the module at `index` by the host core's text rules
// (texts decoded as UTF-8 or Latin-1). `check` says whether the row may ask
// the configure interface about a secure module with a broken description:
// only for a module about to get a request, never for a listing.
ModuleRow ReadModuleRow(uint32_t index, pelmar::SecureCheck check);

// Columns not reported (or reported empty) read "N/A" in the table, so a
// script can split a row on white space; JSON gives null for those not
// reported. Texts came from the network: the table shows control characters
// and bytes that are not UTF-8 escaped, so none reaches the terminal raw;
// JSON escapes every character outside printable ASCII.
std::string FormatTable(const std::vector<ModuleRow>& rows);
// The table ends with the Status column; JSON is an object with the list of
// modules (each with its "marks") and the "gone" MACs of the previous scan.
std::string FormatJson(const std::vector<ModuleRow>& rows,
                       const std::vector<std::string>& gone = {});
std::string JsonString(const std::string& text);

}  // namespace mdspctl
