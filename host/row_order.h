// The order of module rows.
//
// A total order, since a comparison that calls both compare(ip, "N/A") and
// compare("N/A", ip) "greater" is undefined behaviour for a sort: dotted
// quads numerically among themselves, other texts by the locale's collator
// (case-sensitive) among themselves, non-dotted texts before dotted quads
// when ascending, equal keys in arrival order. Descending reverses the key
// order; equal keys stay in arrival order.
#pragma once

#include <cstdint>
#include <locale>
#include <string>

namespace pelmar {

// Locale-aware, case-sensitive comparison of texts (strcoll of the locale).
class TextCollator {
 public:
  // "" = the user's locale from the environment; a name that the system
  // does not know falls back to the classic "C" order.
  explicit TextCollator(const std::string& localeName = "");
  int Compare(const std::string& a, const std::string& b) const;
  const std::string& name() const { return name_; }

 private:
  std::locale locale_;
  std::string name_;
};

// Not empty, only decimal digits and '.', exactly three '.'.
bool IsDottedQuad(const std::string& text);
// The numeric value: "%d.%d.%d.%d", (first << 24) | (second & 0xFF) << 16
// | (third & 0xFF) << 8 | (fourth & 0xFF); 0 when it does not give four numbers.
uint32_t DottedQuadValue(const std::string& text);

// One cell's sort key, computed once when the row is added.
struct CellKey {
  bool dotted = false;
  uint32_t value = 0;
};
CellKey MakeCellKey(const std::string& text);

// Ascending order of two cells: negative, zero or positive. Zero only for
// equal keys (equal numbers, or texts the collator calls equal).
int CompareCells(const std::string& t1, const CellKey& k1, const std::string& t2,
                 const CellKey& k2, const TextCollator& collator);

// Whether row a (arrival a) goes before row b (arrival b) in the direction.
bool RowBefore(const std::string& t1, const CellKey& k1, uint64_t arrival1,
               const std::string& t2, const CellKey& k2, uint64_t arrival2, bool ascending,
               const TextCollator& collator);

// Direction after a header click: another column sorts ascending,
// the same column toggles.
inline bool NextAscending(int clicked, int sortColumn, bool ascending) {
  return clicked != sortColumn || !ascending;
}

}  // namespace pelmar
