#include "scan_rounds_dlg.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "tool_icon.h"
#include "ok_cancel_row.h"

namespace pelmar {

ScanRoundsDlg::ScanRoundsDlg(const ScanRounds& current, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Scan rounds"));
  setWindowIcon(ToolIcon());
  auto* note = new QLabel(
      QStringLiteral("A scan of several rounds finds modules whose answer was lost on a busy "
                     "network. Each module is listed once."),
      this);
  note->setWordWrap(true);

  rounds_ = new QSpinBox(this);
  rounds_->setObjectName(QStringLiteral("rounds"));
  rounds_->setRange(static_cast<int>(kMinScanRounds), static_cast<int>(kMaxScanRounds));
  rounds_->setValue(static_cast<int>(current.rounds));
  interval_ = new QSpinBox(this);
  interval_->setObjectName(QStringLiteral("interval"));
  interval_->setRange(0, static_cast<int>(kMaxScanIntervalMs));
  interval_->setSingleStep(50);
  interval_->setSuffix(QStringLiteral(" ms"));
  interval_->setValue(static_cast<int>(current.intervalMs));
  // Only rounds after the first wait.
  interval_->setEnabled(current.rounds > 1);
  connect(rounds_, &QSpinBox::valueChanged, this, [this](int n) { interval_->setEnabled(n > 1); });

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Rounds per scan:"), rounds_);
  form->addRow(QStringLiteral("&Time between rounds:"), interval_);


  auto* column = new QVBoxLayout(this);
  column->addWidget(note);
  column->addLayout(form);
  column->addLayout(OkCancelRow(this));
  setMinimumWidth(340);
}

ScanRounds ScanRoundsDlg::Choice() const {
  ScanRounds choice;
  choice.rounds = static_cast<uint32_t>(rounds_->value());
  choice.intervalMs = static_cast<uint32_t>(interval_->value());
  return choice;
}

}  // namespace pelmar
