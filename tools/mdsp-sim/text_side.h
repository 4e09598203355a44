// Module side of the plain text protocol: scan answers, wink and configure
// requests, notices. Bytes in, bytes out; no sockets.
#pragma once

#include <string>
#include <string_view>

#include "sim_types.h"

namespace mdspsim {

enum class TextRequestKind { None, Scan, Wink, Configure };

struct TextRequest {
  TextRequestKind kind = TextRequestKind::None;
  Mac target{};           // wink and configure
  std::string_view rest;  // configure: the pieces after "Configure: MAC;"
};

// The text ends at the first NUL (or at the end of the datagram).
TextRequest classifyText(std::string_view text);

// Sets up the stored password form of a text module; false if the config
// cannot work (a seed shorter than 2 characters).
bool prepareTextModule(SimModule& module, std::string& error);

// The seed text a seeded module reports ("" without a seed).
std::string currentSeedText(const SimModule& module);
bool reportsPasswordSet(const SimModule& module);

// The answer to "MODULE SCAN", NUL included, with the module's faults
// ("Unsupported", malformed, raw) applied.
Bytes buildScanAnswer(const SimModule& module);

enum class ConfigureOutcome { Reconfigured, InvalidPassword, InvalidConfiguration };

// Checks the password, then the values; applies them only when all are
// acceptable. `pieces` is TextRequest::rest.
ConfigureOutcome applyTextConfigure(SimModule& module, std::string_view pieces);

// "Reconfigured: MAC", "Invalid Password: MAC", "Invalid Configuration: MAC"
// with the NUL.
Bytes noticeFor(ConfigureOutcome outcome, const Mac& mac);

// One text module's reaction to a request (the caller has checked that a
// wink or configure request names this module).
Reaction handleTextRequest(SimModule& module, const TextRequest& request);

const char* textRequestName(TextRequestKind kind);  // ignore-list names

}  // namespace mdspsim
