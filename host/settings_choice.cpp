#include "settings_choice.h"

namespace pelmar {

int OpeningRow(uint32_t selectedInterface, size_t rowCount) {
  if (rowCount == 0) return -1;
  return selectedInterface < rowCount ? static_cast<int>(selectedInterface) : 0;
}

uint32_t SelectedAfterOk(int row, uint32_t previous) {
  if (row < 0 || static_cast<size_t>(row) >= kMaxInterfaces) return previous;
  return static_cast<uint32_t>(row);
}

}  // namespace pelmar
