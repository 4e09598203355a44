#include "read_back.h"

#include <cstring>

#include "module_texts.h"
#include "visible_text.h"

namespace pelmar {
namespace {

std::string HostNameOf(const ModuleRecord& record) {
  return std::string(record.hostName, strnlen(record.hostName, sizeof record.hostName));
}

// The name came from the network: shown decoded, nothing a terminal acts on.
std::string ShownHostName(const ModuleRecord& record) {
  return display_text::VisibleText(display_text::ModuleTextAsUtf8(HostNameOf(record)));
}

}  // namespace

ReadBack CompareReadBack(const ConfigurePlan& sent, const ModuleRecord& before,
                         const ModuleRecord* after) {
  ReadBack result;
  if (!after) return result;
  auto differs = [&](const char* field, std::optional<std::string> reads) {
    result.differing.push_back(FieldReading{field, std::move(reads)});
  };
  const bool addressesFromDhcp = sent.dhcp && *sent.dhcp;
  struct Address {
    const char* field;
    const std::optional<uint32_t>& sent;
    bool reportedBefore;
    uint32_t now;
    bool reportedNow;
  };
  const Address addresses[] = {
      {"ip", sent.ip, before.ipValid, after->ip, after->ipValid},
      {"mask", sent.mask, before.subnetValid, after->subnet, after->subnetValid},
      {"gateway", sent.gateway, before.gatewayValid, after->gateway, after->gatewayValid},
      {"dns1", sent.dns1, before.dns1Valid, after->dns1, after->dns1Valid},
      {"dns2", sent.dns2, before.dns2Valid, after->dns2, after->dns2Valid},
  };
  if (!addressesFromDhcp) {
    for (const Address& a : addresses) {
      if (!a.sent || !a.reportedBefore) continue;
      if (!a.reportedNow)
        differs(a.field, std::nullopt);
      else if (a.now != *a.sent)
        differs(a.field, Ipv4Text(a.now));
    }
  }
  if (sent.dhcp && before.dhcpValid) {
    if (!after->dhcpValid)
      differs("dhcp", std::nullopt);
    else if ((after->dhcp != 0) != *sent.dhcp)
      differs("dhcp", after->dhcp ? "on" : "off");
  }
  if (sent.hostName && (before.hostNameValid || before.secure)) {
    if (!after->hostNameValid)
      differs("hostname", std::nullopt);
    else if (HostNameOf(*after) != *sent.hostName)
      differs("hostname", "\"" + ShownHostName(*after) + "\"");
  }
  result.state = result.differing.empty() ? ReadBackState::Confirmed : ReadBackState::Differs;
  return result;
}

std::string ReadBackText(const ReadBack& readBack) {
  switch (readBack.state) {
    case ReadBackState::Confirmed:
      return "confirmed";
    case ReadBackState::NotFound:
      return "differs: no answer to the scan";
    case ReadBackState::Differs:
      break;
  }
  std::string text = "differs: ";
  for (size_t i = 0; i < readBack.differing.size(); ++i) {
    const FieldReading& f = readBack.differing[i];
    if (i) text += ", ";
    text += f.field + " reads " + (f.reads ? *f.reads : "nothing");
  }
  return text;
}

}  // namespace pelmar
