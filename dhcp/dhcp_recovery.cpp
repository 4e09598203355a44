#include "dhcp_recovery.h"

#include <cstdio>
#include <cstring>

#include "dhcp_message.h"

namespace pelmar {

bool NeedsDhcpRecovery(const ModuleRecord& record) {
  return record.macValid && IsModuleFamilyAddress(record.mac) && record.dhcpValid &&
         record.dhcp != 0 && (!record.ipValid || record.ip == 0);
}

SingleModuleRecovery::SingleModuleRecovery(const uint8_t mac[6], std::string interfaceName)
    : interfaceName_(std::move(interfaceName)) {
  std::memcpy(mac_.data(), mac, 6);
}

DhcpScope SingleModuleRecovery::Scope() const {
  DhcpScope scope;
  scope.interfaceName = interfaceName_;
  scope.allowedClients.push_back(mac_);
  return scope;
}

std::string SingleModuleRecovery::MacText() const {
  char text[18];
  std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", mac_[0], mac_[1], mac_[2],
                mac_[3], mac_[4], mac_[5]);
  return text;
}

std::string SingleModuleRecovery::Note(const DhcpAnswer& answer) {
  if (std::memcmp(answer.hardwareAddress, mac_.data(), 6) != 0) return "";
  char line[96];
  FormatDhcpAnswer(answer, line, sizeof line);
  if (answer.messageType == kDhcpAck) {
    char address[16];
    std::snprintf(address, sizeof address, "%u.%u.%u.%u", answer.address[0], answer.address[1],
                  answer.address[2], answer.address[3]);
    acknowledged_ = address;
    acknowledgedValue_ = uint32_t{answer.address[0]} << 24 | uint32_t{answer.address[1]} << 16 |
                         uint32_t{answer.address[2]} << 8 | answer.address[3];
  }
  return line;
}

bool SingleModuleRecovery::HasTakenAddress(const ModuleRecord& seen) const {
  return !acknowledged_.empty() && seen.macValid && std::memcmp(seen.mac, mac_.data(), 6) == 0 &&
         seen.ipValid && seen.ip == acknowledgedValue_;
}

}  // namespace pelmar
