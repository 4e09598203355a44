#include "configure_plan.h"

#include <utility>

#include "mdsp.h"
#include "module_texts.h"

namespace mdspctl {
namespace {

bool ReadAddress(const CommandLine& cli, const char* name, std::optional<uint32_t>& out,
                 std::string& error) {
  if (!cli.has(name)) return true;
  uint32_t value;
  if (!pelmar::ParseIpv4Text(cli.value(name), value)) {
    error = std::string("--") + name + " needs a dotted IPv4 address, not '" + cli.value(name) +
            "'";
    return false;
  }
  out = value;
  return true;
}

}  // namespace

bool AutoAddressAsked(const CommandLine& cli) { return cli.value("ip") == "auto"; }

bool ReadConfigurePlan(const CommandLine& cli, ConfigurePlan& plan, std::string& error) {
  plan = ConfigurePlan{};
  if ((!AutoAddressAsked(cli) && !ReadAddress(cli, "ip", plan.ip, error)) || !ReadAddress(cli, "mask", plan.mask, error) ||
      !ReadAddress(cli, "gateway", plan.gateway, error) ||
      !ReadAddress(cli, "dns1", plan.dns1, error) || !ReadAddress(cli, "dns2", plan.dns2, error))
    return false;
  if (cli.has("dhcp")) {
    bool on;
    if (!ParseOnOff(cli.value("dhcp"), on)) {
      error = "--dhcp needs on or off";
      return false;
    }
    plan.dhcp = on;
  }
  if (cli.has("hostname")) {
    plan.hostName = cli.value("hostname");
    if (!pelmar::IsLegalHostName(*plan.hostName)) {
      error = "--hostname may only hold A-Z, a-z, 0-9, '_' and '-'";
      return false;
    }
  }
  if (plan.ip) {
    uint32_t last = *plan.ip & 0xFFu;
    if (*plan.ip == 0 ? !(plan.dhcp && *plan.dhcp) : (last == 0 || last == 255)) {
      error = *plan.ip == 0 ? "--ip 0.0.0.0 only together with --dhcp on"
                            : "--ip may not end in .0 or .255 (network or broadcast address)";
      return false;
    }
  }
  plan.newPassword = cli.has("new-password");
  if (plan.empty() && !AutoAddressAsked(cli)) {
    error = "nothing to change: give at least one of --ip, --mask, --gateway, --dhcp, "
            "--dns1, --dns2, --hostname, --new-password";
    return false;
  }
  return true;
}

bool CheckPlanForModule(const ConfigurePlan& plan, bool secureModule, bool hostNameKnown,
                        std::string& error) {
  if (secureModule) return true;
  const std::pair<const char*, const std::optional<uint32_t>*> addresses[] = {
      {"ip", &plan.ip}, {"mask", &plan.mask}, {"gateway", &plan.gateway},
      {"dns1", &plan.dns1}, {"dns2", &plan.dns2}};
  for (const auto& [name, value] : addresses) {
    if (*value && **value == MDSP_ADDRESS_UNCHANGED) {
      error = std::string("--") + name +
              " 255.255.255.255 cannot be set on a text-protocol module (it means "
              "\"unchanged\" there)";
      return false;
    }
  }
  if (!plan.hostName && !hostNameKnown) {
    error = "the module did not report its host name, and a text-protocol configure always "
            "sets it: give --hostname";
    return false;
  }
  return true;
}

bool CheckTextPassword(bool secureModule, bool seeded, const std::string& password,
                       const std::string& what, std::string& error) {
  if (!pelmar::SemicolonBreaksPassword(secureModule, seeded, password)) return true;
  error = what + " may not contain ';' for a text-protocol module without a seed";
  return false;
}

}  // namespace mdspctl
