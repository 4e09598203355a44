// "Name and note...": the user's name and note for one module, by MAC.
#pragma once

#include <QDialog>

#include "module_names.h"

class QLineEdit;
class QPlainTextEdit;

namespace pelmar {

class CNameNoteDlg : public QDialog {
  Q_OBJECT
 public:
  CNameNoteDlg(const QString& macText, const ModuleNote& current, QWidget* parent = nullptr);
  // The texts as typed; the names store cleans them.
  ModuleNote Note() const;
  QLineEdit* nameEdit() const { return name_; }
  QPlainTextEdit* noteEdit() const { return note_; }

 private:
  QLineEdit* name_;
  QPlainTextEdit* note_;
};

}  // namespace pelmar
