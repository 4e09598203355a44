// The text of a module's Status cell, after MAC: what is wrong with it, what
// reading it back showed, and the name it was given.
#pragma once

#include <string>
#include <vector>

namespace pelmar {

inline constexpr char kStatusHeader[] = "Status";
inline constexpr int kStatusWidth = 170;

// The marks, then the read-back state, then the name, joined by ", ";
// empty pieces are left out.
std::string StatusCellText(const std::vector<std::string>& marks, const std::string& readBack,
                           const std::string& name);

}  // namespace pelmar
