#include "settings_command.h"

namespace pelmar {

bool RunSettingsCommand(SettingsChoice current, DhcpControl& dhcp,
                        const SettingsCommandSteps& steps) {
  steps.refreshInterfaces();
  current.dhcpServer = dhcp.IsOn();
  std::optional<SettingsChoice> chosen = steps.runDialog(current);
  if (!chosen) return false;

  steps.takeOver(chosen->specificInterface, chosen->selectedInterface);
  steps.applyInterface();
  steps.clearAndScan();
  if (chosen->dhcpServer && !dhcp.IsOn()) {
    // A failed start stays off, so the next opening shows the true state.
    std::string failure;
    if (!dhcp.SwitchOn(&failure)) steps.showPlainMessage(failure);
  } else if (!chosen->dhcpServer && dhcp.IsOn()) {
    dhcp.SwitchOff();
  }
  steps.saveSettings();
  return true;
}

}  // namespace pelmar
