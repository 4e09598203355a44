// Module side of the plain text protocol: scan answers, wink and configure
// requests, notices. Bytes in, bytes out; no sockets.
#pragma once

#include <string>

#include "sim_types.h"
#include "text_request.h"

namespace mdspsim {

// Sets up the stored password form of a seeded text module.
void PrepareTextModule(SimModule& module);

// The seed text a seeded module reports ("" without a seed).
std::string CurrentSeedText(const SimModule& module);
bool ReportsPasswordSet(const SimModule& module);

// The answer to "MODULE SCAN", NUL included, with the module's faults
// ("Unsupported", malformed, raw) applied.
Bytes BuildScanAnswer(const SimModule& module);

enum class ConfigureOutcome { Reconfigured, InvalidPassword, InvalidConfiguration };

// Checks the password, then the values; applies them only when all are
// acceptable.
ConfigureOutcome ApplyTextConfigure(SimModule& module, const ConfigurePieces& pieces);

// "Reconfigured: MAC", "Invalid Password: MAC", "Invalid Configuration: MAC"
// with the NUL.
Bytes NoticeFor(ConfigureOutcome outcome, const Mac& mac);

// One text module's reaction to a request (the caller has checked that a
// wink or configure request names this module).
Reaction HandleTextRequest(SimModule& module, const TextRequest& request);

}  // namespace mdspsim
