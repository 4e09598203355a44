#include "configure_plan.h"

#include "mdsp.h"

namespace mdspctl {
namespace {

bool ReadAddress(const CommandLine& cli, const char* name, std::optional<uint32_t>& out,
                 std::string& error) {
  if (!cli.has(name)) return true;
  uint32_t value;
  if (!ParseIpv4(cli.value(name), value)) {
    error = std::string("--") + name + " needs a dotted IPv4 address, not '" + cli.value(name) +
            "'";
    return false;
  }
  out = value;
  return true;
}

PayloadValue Address(int32_t tag, uint32_t value) {
  // The library takes the 32-bit value as it lies in memory, least
  // significant byte first.
  PayloadValue v{tag, false, {}, 4, {}};
  for (int i = 0; i < 4; ++i) v.bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  return v;
}

}  // namespace

bool ReadConfigurePlan(const CommandLine& cli, ConfigurePlan& plan, std::string& error) {
  plan = ConfigurePlan{};
  if (!ReadAddress(cli, "ip", plan.ip, error) || !ReadAddress(cli, "mask", plan.mask, error) ||
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
  if (cli.has("hostname")) plan.hostName = cli.value("hostname");
  plan.newPassword = cli.has("new-password");
  if (plan.empty()) {
    error = "nothing to change: give at least one of --ip, --mask, --gateway, --dhcp, "
            "--dns1, --dns2, --hostname, --new-password";
    return false;
  }
  return true;
}

std::vector<PayloadValue> PayloadValues(const ConfigurePlan& plan, bool secureModule,
                                        const std::string& currentHostName,
                                        const std::string& newPasswordValue) {
  std::vector<PayloadValue> values;
  const std::optional<uint32_t>* addresses[5] = {&plan.ip, &plan.mask, &plan.gateway, &plan.dns1,
                                                 &plan.dns2};
  for (int32_t tag = 0; tag < 5; ++tag) {
    if (*addresses[tag])
      values.push_back(Address(tag, **addresses[tag]));
    else if (!secureModule)
      values.push_back(Address(tag, MDSP_ADDRESS_UNCHANGED));
  }
  if (plan.dhcp || !secureModule) {
    // 2 is neither off nor on: the text request leaves DHCP out.
    uint8_t dhcp = plan.dhcp ? (*plan.dhcp ? 1 : 0) : 2;
    values.push_back(PayloadValue{5, false, {dhcp}, 1, {}});
  }
  if (plan.newPassword) values.push_back(PayloadValue{7, true, {}, 0, newPasswordValue});
  if (plan.hostName)
    values.push_back(PayloadValue{6, true, {}, 0, *plan.hostName});
  else if (!secureModule)
    values.push_back(PayloadValue{6, true, {}, 0, currentHostName});
  return values;
}

}  // namespace mdspctl
