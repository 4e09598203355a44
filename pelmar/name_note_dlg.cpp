#include "name_note_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace pelmar {

CNameNoteDlg::CNameNoteDlg(const QString& macText, const ModuleNote& current, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("nameNote"));
  setWindowTitle(QStringLiteral("Name and note: ") + macText);
  name_ = new QLineEdit(QString::fromStdString(current.name), this);
  name_->setObjectName(QStringLiteral("name"));
  name_->setMaxLength(static_cast<int>(kNameLimit));
  note_ = new QPlainTextEdit(QString::fromStdString(current.note), this);
  note_->setObjectName(QStringLiteral("note"));
  note_->setTabChangesFocus(true);
  note_->setMinimumHeight(80);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Name:"), name_);
  form->addRow(QStringLiteral("N&ote:"), note_);
  auto* hint = new QLabel(
      QStringLiteral("Kept on this computer for MAC %1. The name is shown in the Status "
                     "column; both in the row's tooltip and in exports. Empty both to "
                     "remove them.")
          .arg(macText),
      this);
  hint->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(hint);
  layout->addWidget(buttons);
  resize(360, sizeHint().height());
}

ModuleNote CNameNoteDlg::Note() const {
  return {name_->text().toStdString(), note_->toPlainText().toStdString()};
}

}  // namespace pelmar
