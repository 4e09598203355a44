// Dialog units: the windows' templates give positions and sizes in quarters
// of the font's average character width and eighths of its height. Every
// window converts them here, edges rounded to the nearest pixel, so two
// controls that touch in the template touch on the screen.
#pragma once

#include <QRect>

class QFont;

namespace pelmar {

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);

  QRect rect(int x, int y, int w, int h) const;
  int x(int units) const;
  int y(int units) const;

 private:
  int baseX_;
  int baseY_;
};

}  // namespace pelmar
