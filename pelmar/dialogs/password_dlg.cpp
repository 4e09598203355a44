#include "password_dlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "tool_icon.h"
#include "ok_cancel_row.h"

namespace pelmar {

CPasswordDlg::CPasswordDlg(QWidget* parent) : QDialog(parent) {
  setWindowIcon(ToolIcon());
  auto* label = new QLabel("Password:", this);
  edit_ = new QLineEdit(this);
  edit_->setObjectName("password");
  edit_->setEchoMode(QLineEdit::Password);
  label->setBuddy(edit_);


  auto* grid = new QGridLayout(this);
  grid->addWidget(label, 0, 0);
  grid->addWidget(edit_, 0, 1);
  grid->addLayout(OkCancelRow(this), 1, 0, 1, 2);
  setMinimumWidth(360);
}

void CPasswordDlg::SetCaption(const QString& caption) {
  caption_ = caption;
  setWindowTitle(caption);
}

void CPasswordDlg::accept() {
  password_ = edit_->text();
  QDialog::accept();
}

}  // namespace pelmar
