#include "row_order.h"

#include <cstdio>

namespace pelmar {

TextCollator::TextCollator(const std::string& localeName) : locale_(std::locale::classic()) {
  try {
    locale_ = std::locale(localeName.c_str());
    name_ = locale_.name();
  } catch (const std::exception&) {
    locale_ = std::locale::classic();
    name_ = locale_.name();  // "C"
  }
}

int TextCollator::Compare(const std::string& a, const std::string& b) const {
  const auto& collate = std::use_facet<std::collate<char>>(locale_);
  return collate.compare(a.data(), a.data() + a.size(), b.data(), b.data() + b.size());
}

bool IsDottedQuad(const std::string& text) {
  if (text.empty()) return false;
  int dots = 0;
  for (char c : text) {
    if (c == '.')
      ++dots;
    else if (c < '0' || c > '9')
      return false;
  }
  return dots == 3;
}

uint32_t DottedQuadValue(const std::string& text) {
  int a, b, c, d;
  if (std::sscanf(text.c_str(), "%d.%d.%d.%d", &a, &b, &c, &d) != 4) return 0;
  return static_cast<uint32_t>(a) << 24 | (static_cast<uint32_t>(b) & 0xFF) << 16 |
         (static_cast<uint32_t>(c) & 0xFF) << 8 | (static_cast<uint32_t>(d) & 0xFF);
}

CellKey MakeCellKey(const std::string& text) {
  CellKey key;
  key.dotted = IsDottedQuad(text);
  if (key.dotted) key.value = DottedQuadValue(text);
  return key;
}

int CompareCells(const std::string& t1, const CellKey& k1, const std::string& t2,
                 const CellKey& k2, const TextCollator& collator) {
  if (k1.dotted != k2.dotted) return k1.dotted ? 1 : -1;
  if (k1.dotted) return k1.value < k2.value ? -1 : k1.value > k2.value ? 1 : 0;
  int c = collator.Compare(t1, t2);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

bool RowBefore(const std::string& t1, const CellKey& k1, uint64_t arrival1,
               const std::string& t2, const CellKey& k2, uint64_t arrival2, bool ascending,
               const TextCollator& collator) {
  int c = CompareCells(t1, k1, t2, k2, collator);
  if (!ascending) c = -c;
  if (c != 0) return c < 0;
  return arrival1 < arrival2;
}

}  // namespace pelmar
