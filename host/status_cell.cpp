#include "status_cell.h"

namespace pelmar {

std::string StatusCellText(const std::vector<std::string>& marks, const std::string& readBack,
                           const std::string& name) {
  std::string out;
  auto add = [&out](const std::string& piece) {
    if (piece.empty()) return;
    if (!out.empty()) out += ", ";
    out += piece;
  };
  for (const std::string& mark : marks) add(mark);
  add(readBack);
  add(name);
  return out;
}

}  // namespace pelmar
