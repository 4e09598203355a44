// The password prompt of the wink action: one hidden text field.
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

namespace pelmar {

class CPasswordDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CPasswordDlg(QWidget* parent = nullptr);

  // The caller names the module, e.g. "Wink: " and its MAC text.
  void SetCaption(const QString& caption);
  QString Caption() const { return caption_; }

  // What was typed, once the prompt closed with OK; empty otherwise.
  QString Password() const { return password_; }

  void accept() override;

 private:
  QString caption_;
  QString password_;
  QLineEdit* edit_;
};

}  // namespace pelmar
