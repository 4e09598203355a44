// The doctor as the tool and mdspctl run it: the probes, then one scan per
// interface that scans use, then the report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "doctor_report.h"
#include "library_api.h"

namespace pelmar {

struct DoctorOptions {
  bool scan = true;
  uint32_t scanTimeoutMs = 1500;
  void* scanContext = nullptr;  // handed to the discovers, so a window can tell them apart
  // Scan only through interfaces with these addresses (empty: every usable one).
  std::vector<std::string> onlyAddresses;
};

// api may be null (no scans then). The library's worker must be running for
// the scans; the interfaces it scans through are left chosen one by one, so
// the caller chooses its own again afterwards.
DoctorReport RunDoctor(const LibraryApi* api, const DoctorOptions& options);

// The name of the interface that has this IPv4 address, or "".
std::string InterfaceNameOf(const std::string& address);

}  // namespace pelmar
