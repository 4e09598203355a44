// "Scan rounds": how many discovers a scan sends and how far apart.
#pragma once

#include <QDialog>

#include "scan_rounds.h"

class QSpinBox;

namespace pelmar {

class ScanRoundsDlg : public QDialog {
  Q_OBJECT
 public:
  explicit ScanRoundsDlg(const ScanRounds& current, QWidget* parent = nullptr);
  ScanRounds Choice() const;

 private:
  QSpinBox* rounds_ = nullptr;
  QSpinBox* interval_ = nullptr;
};

}  // namespace pelmar
