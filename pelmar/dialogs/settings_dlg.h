// The Settings dialog: which network interface to send through, and whether
// the internal DHCP server runs. It only collects; the caller applies.
#pragma once

#include <QDialog>
#include <QStringList>

#include "settings_choice.h"

class QCheckBox;
class QComboBox;

namespace pelmar {

class CSettings : public QDialog {
  Q_OBJECT

 public:
  // descriptions: one per interface, in interface order (at most 64 are used).
  CSettings(const QStringList& descriptions, const SettingsChoice& current,
            QWidget* parent = nullptr);

  // The edited choice; meaningful after the dialog closed with OK.
  SettingsChoice Choice() const { return choice_; }

  void accept() override;

 private:
  // Shows the members: they are the truth, the boxes are never read back.
  void ShowChoice();

  SettingsChoice choice_;
  QCheckBox* specificBox_;
  QComboBox* interfaceBox_;
  QCheckBox* dhcpBox_;
};

}  // namespace pelmar
