// What `mdspctl configure` changes, read from the command line, and how it
// becomes the library's configure calls for either kind of module.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli_args.h"
#include "configure_request.h"

namespace mdspctl {

// The plan and its library calls live in the host core, shared with the tool.
using pelmar::ConfigurePlan;
using pelmar::PayloadValue;
using pelmar::PayloadValues;
using pelmar::CheckSecurePayload;
using pelmar::kMaxSecurePayload;

// `--ip auto`: the address is chosen after the discover (PlanMove).
bool AutoAddressAsked(const CommandLine& cli);

// False with a message for a malformed value or nothing to change. Host
// names take only A-Z, a-z, 0-9, '_' and '-' (anything else could end a piece
// of a text request); the module's own address may not end in .0 or .255,
// except 0.0.0.0 together with --dhcp on.
bool ReadConfigurePlan(const CommandLine& cli, ConfigurePlan& plan, std::string& error);

// What the chosen module allows: a text-protocol module reads
// 255.255.255.255 as "unchanged" and always gets a host name, so one that did
// not report its own needs --hostname. False with a message.
bool CheckPlanForModule(const ConfigurePlan& plan, bool secureModule, bool hostNameKnown,
                        std::string& error);

// The host core's ';' rule with mdspctl's message.
bool CheckTextPassword(bool secureModule, bool seeded, const std::string& password,
                       const std::string& what, std::string& error);

}  // namespace mdspctl
