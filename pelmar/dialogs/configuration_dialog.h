// The module configuration dialog: shows one module's IP settings, host name
// and DHCP state for editing and checks them at "Set". It never calls the
// library; RunConfiguration (run_configuration.h) sends what it collected.
#pragma once

#include <QDialog>

#include "configuration_flow.h"
#include "module_record.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace pelmar {

class IpAddressEdit;

class CConfigurationDlg : public QDialog {
  Q_OBJECT

 public:
  // Control identifiers of the dialog template, used as object names.
  enum ControlId {
    kIdIpAddress = 1004,
    kIdSubnetMask = 1005,
    kIdGateway = 1006,
    kIdPrimaryDns = 1007,
    kIdSecondaryDns = 1014,
    kIdHostName = 1015,
    kIdPassword = 1010,
    kIdNewPassword = 1011,
    kIdDhcpGroup = 1012,
    kIdDhcpOn = 1008,
    kIdDhcpOff = 1009,
    kIdChangePassword = 1013,
    kIdSet = 1,
    kIdCancel = 2,
  };

  // Works on its own copy of the record.
  CConfigurationDlg(const ModuleRecord& record, const QString& macText, QWidget* parent = nullptr);

  // What the fields held when the dialog closed, however it closed.
  const ConfigurationInput& captured() const { return captured_; }

  IpAddressEdit* addressField(int field) const { return addresses_[field]; }

  void done(int result) override;

 private:
  void buildControls();
  void fill(const ConfigurationStart& start);
  void onSet();
  void setAddressFieldsEnabled(bool enabled);
  // Every field as it stands now.
  ConfigurationInput readFields() const;
  // False with a warning when a text field holds more than it may take.
  bool textsFit();

  ModuleRecord record_;
  ConfigurationInput captured_;
  IpAddressEdit* addresses_[kAddressCount] = {};
  QLineEdit* hostName_ = nullptr;
  QLineEdit* password_ = nullptr;
  QLineEdit* newPassword_ = nullptr;
  QRadioButton* dhcpOn_ = nullptr;
  QRadioButton* dhcpOff_ = nullptr;
  QCheckBox* changePassword_ = nullptr;
};

}  // namespace pelmar
