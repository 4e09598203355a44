// The Settings command of the main window without its widgets: refresh the
// interfaces, run the dialog, and after OK apply the choice in a fixed order.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "dhcp_control.h"
#include "settings_choice.h"

namespace pelmar {

// The main window's side of the command. Every member must be set.
struct SettingsCommandSteps {
  // Re-reads the interface table; its result does not matter here.
  std::function<void()> refreshInterfaces;
  // Opens the dialog with the current choice; the new choice after OK,
  // nothing after Cancel.
  std::function<std::optional<SettingsChoice>(const SettingsChoice& current)> runDialog;
  // Takes over the interface part of the choice into the window's members.
  std::function<void(bool specificInterface, uint32_t selectedInterface)> takeOver;
  std::function<void()> applyInterface;
  // Empties the list and sends a new discover, as the Scan button does.
  std::function<void()> clearAndScan;
  // A plain message box (no icon).
  std::function<void(const std::string& text)> showPlainMessage;
  std::function<void()> saveSettings;
};

// current.dhcpServer is ignored: the switch itself says whether it is on.
// Returns true when the dialog was confirmed.
bool RunSettingsCommand(SettingsChoice current, DhcpControl& dhcp,
                        const SettingsCommandSteps& steps);

}  // namespace pelmar
