// The scan after an accepted configure, and the module's new answer
// compared with what it was sent.
#pragma once

#include <cstdint>
#include <string>

#include "configure_request.h"
#include "module_record.h"
#include "read_back.h"
#include "session.h"

namespace mdspctl {

// Discovers again (until the module answers or the time-out passes), reads
// the entry of the same MAC and protocol as `before` and compares.
// Returns false with `error` when the discover could not be sent.
bool ReadBackModule(Session& session, const pelmar::ModuleRecord& before,
                    const pelmar::ConfigurePlan& sent, uint32_t timeoutMs,
                    pelmar::ReadBack& result, std::string& error);

}  // namespace mdspctl
