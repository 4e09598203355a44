// The filter field above the module list: Ctrl+F shows it, Escape or an
// emptied field hides it again, and while it holds text only the rows with
// that text in a column are shown. Hidden, it takes no room at all.
#pragma once

#include <QLineEdit>
#include <functional>

#include "list_export.h"

namespace pelmar {

class ModuleListCtrl;

class ListFilterField : public QLineEdit {
  Q_OBJECT
 public:
  // rowOf gives the texts of a row at its list position.
  ListFilterField(ModuleListCtrl* list, std::function<ListRow(int row)> rowOf,
                  QWidget* parent = nullptr);

  // Shows the field with the focus in it.
  void Open();
  // Empties and hides it; every row is shown again.
  void Close();
  // Hides the rows that do not match (all shown while the field is hidden).
  void Apply();
  // The same for the rows first..last only.
  void ApplyTo(int first, int last);
  // Rows shown now.
  int shownRows() const;

 signals:
  void shownChanged(bool shown);

 private:
  ModuleListCtrl* list_;
  std::function<ListRow(int row)> rowOf_;
  bool anyHidden_ = false;  // whether some row is hidden now
};

}  // namespace pelmar
