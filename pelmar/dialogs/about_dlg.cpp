#include "about_dlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "about_texts.h"
#include "tool_icon.h"
#include "message_box.h"

namespace pelmar {

CAboutDlg::CAboutDlg(QWidget* parent, const std::string& programFile) : QDialog(parent) {
  setWindowTitle(versioning::kAboutCaption);
  setWindowIcon(ToolIcon());

  auto* icon = new QLabel(this);
  icon->setObjectName("icon");
  icon->setPixmap(ToolIcon().pixmap(48, 48));

  // A failed read leaves the line empty; the box opens all the same.
  version_ = new QLabel(QString::fromStdString(versioning::AboutVersionLine(programFile)), this);
  version_->setObjectName("version");
  version_->setTextFormat(Qt::PlainText);
  notice_ = new QLabel(versioning::kAboutNotice, this);
  notice_->setObjectName("notice");
  notice_->setTextFormat(Qt::PlainText);

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("ok");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* grid = new QGridLayout(this);
  grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
  grid->addWidget(version_, 0, 1);
  grid->addWidget(notice_, 1, 1);
  grid->addWidget(ok, 0, 2, Qt::AlignTop);
  grid->setColumnStretch(1, 1);
  setMinimumWidth(400);
}

QString CAboutDlg::VersionText() const { return version_->text(); }
QString CAboutDlg::NoticeText() const { return notice_->text(); }

void ShowVersionReport(const std::string& report) {
  ShowMessage(nullptr, "Information", QString::fromStdString(report), MessageIcon::Information);
}

}  // namespace pelmar
