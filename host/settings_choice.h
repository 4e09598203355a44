// What the Settings dialog edits, and the rules of its interface box.
// Plain C++, no widgets.
#pragma once

#include <cstddef>
#include <cstdint>

#include "interface_table.h"  // kMaxInterfaces, shared with the interface table

namespace pelmar {

struct SettingsChoice {
  bool specificInterface = false;  // send through the selected interface only
  uint32_t selectedInterface = 0;  // index into the interface table
  bool dhcpServer = false;         // internal DHCP server switched on

  bool operator==(const SettingsChoice&) const = default;
};

// Row selected when the dialog opens: the selected interface when it has a
// row, else row 0 (-1 for an empty box).
int OpeningRow(uint32_t selectedInterface, size_t rowCount);

// The selected interface after OK: the box's row, or the previous value when
// no row is selected.
uint32_t SelectedAfterOk(int row, uint32_t previous);

}  // namespace pelmar
