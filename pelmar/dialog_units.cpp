#include "dialog_units.h"

#include <QFont>
#include <QFontMetrics>

namespace pelmar {

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  // The average width of the 52 Latin letters, rounded.
  const int letters =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  baseX_ = (letters / 26 + 1) / 2;
  baseY_ = metrics.height();
}

int DialogUnits::x(int units) const { return (units * baseX_ + 2) / 4; }
int DialogUnits::y(int units) const { return (units * baseY_ + 4) / 8; }

QRect DialogUnits::rect(int left, int top, int w, int h) const {
  // Both edges converted, then the size between them.
  return QRect(x(left), y(top), x(left + w) - x(left), y(top + h) - y(top));
}

}  // namespace pelmar
