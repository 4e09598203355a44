// Recovery of one module by DHCP: when a row's module needs it, whom and
// where the server then answers, and when the module has taken its address.
// Plain C++; the tool's window only shows what this decides.
#pragma once

#include <string>
#include <vector>

#include "dhcp_server.h"
#include "module_record.h"

namespace pelmar {

// A module of the family that answers with DHCP on and no address: it asks
// for one and no server answers it.
bool NeedsDhcpRecovery(const ModuleRecord& record);

class SingleModuleRecovery {
 public:
  // interfaceName: the interface the module answered on ("" when unknown:
  // then every interface is served, still for this module alone).
  SingleModuleRecovery(const uint8_t mac[6], std::string interfaceName);

  DhcpScope Scope() const;
  const std::string& InterfaceName() const { return interfaceName_; }
  std::string MacText() const;

  // Records one answer the server sent; returns its log line ("" for an
  // answer to another client, which a scoped server never sends).
  std::string Note(const DhcpAnswer& answer);
  // The address acknowledged to the module, "" before the acknowledgement.
  const std::string& AcknowledgedAddress() const { return acknowledged_; }

  // True once the module answers a scan with the acknowledged address: it
  // has taken it, and the server may stop.
  bool HasTakenAddress(const ModuleRecord& seen) const;

 private:
  DhcpHardwareAddress mac_{};
  std::string interfaceName_;
  std::string acknowledged_;
  uint32_t acknowledgedValue_ = 0;
};

}  // namespace pelmar
