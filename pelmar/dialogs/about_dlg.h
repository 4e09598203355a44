// The About box: the tool's product version and a one-line notice.
#pragma once

#include <QDialog>
#include <string>

class QLabel;

namespace pelmar {

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  // programFile: whose version to show; "" is the running program.
  explicit CAboutDlg(QWidget* parent = nullptr, const std::string& programFile = {});

  QString VersionText() const;
  QString NoticeText() const;

 private:
  QLabel* version_;
  QLabel* notice_;
};

// A version report (CVFXVersionData::Show, not for the console) in the
// information box. RunTool installs it as the report viewer.
void ShowVersionReport(const std::string& report);

}  // namespace pelmar
