// After a module accepted a configuration and the list was scanned again:
// does the module now report what it was sent? Pure: compares two records
// and a plan, so the tool, mdspctl and bulk runs share one rule.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "configure_request.h"  // ConfigurePlan
#include "module_record.h"

namespace pelmar {

enum class ReadBackState {
  Confirmed,  // every field sent reads back as sent
  Differs,    // some field reads otherwise, or no longer at all
  NotFound,   // the module did not answer the scan after the configure
};

// One field that did not read back: its name as mdspctl and the CSV call it
// ("ip", "mask", "gateway", "dns1", "dns2", "dhcp", "hostname") and what the
// module reports now (nothing when it no longer reports the field).
struct FieldReading {
  std::string field;
  std::optional<std::string> reads;
};

struct ReadBack {
  ReadBackState state = ReadBackState::NotFound;
  std::vector<FieldReading> differing;  // in the order of the names above
  bool confirmed() const { return state == ReadBackState::Confirmed; }
};

// `sent` is what the configure changed; `before` the module's answer the
// configure was built from, `after` its answer to the following scan (null:
// it did not answer). Passwords are never reported, so never compared. A
// field the module did not report before cannot be read back and is left
// out. With DHCP switched on the addresses are the DHCP server's to give, so
// only DHCP and the host name are compared then.
ReadBack CompareReadBack(const ConfigurePlan& sent, const ModuleRecord& before,
                         const ModuleRecord* after);

// "confirmed", "differs: gateway reads 10.0.0.1, hostname reads \"x\"",
// "differs: dns1 reads nothing", or "differs: no answer to the scan".
std::string ReadBackText(const ReadBack& readBack);

}  // namespace pelmar
