// "Check this computer...": the host core's doctor report in a read-only
// window. The check runs off the window thread (it scans each interface in
// turn); the window only shows what it found.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "background_call.h"
#include "doctor_report.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace pelmar {

class CDoctorDlg : public QDialog {
  Q_OBJECT
 public:
  // run: the check, on a thread of its own. finished: on the window thread
  // after each check (the main window chooses its interfaces again).
  CDoctorDlg(std::function<DoctorReport()> run, std::function<void()> finished,
             QWidget* parent = nullptr);
  ~CDoctorDlg() override;

  // Starts a check unless one runs.
  void Check();
  bool checking() const { return call_.busy(); }
  QString reportText() const;
  QString summary() const;

 private:
  std::function<DoctorReport()> run_;
  std::function<void()> finished_;
  std::shared_ptr<DoctorReport> result_;
  BackgroundCall call_;
  QLabel* summary_ = nullptr;
  QPlainTextEdit* text_ = nullptr;
  QPushButton* again_ = nullptr;
};

}  // namespace pelmar
