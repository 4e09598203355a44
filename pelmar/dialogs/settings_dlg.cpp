#include "settings_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "tool_icon.h"
#include "ok_cancel_row.h"

namespace pelmar {

CSettings::CSettings(const QStringList& descriptions, const SettingsChoice& current,
                     QWidget* parent)
    : QDialog(parent), choice_(current) {
  setWindowTitle("Settings");
  setWindowIcon(ToolIcon());

  auto* network = new QGroupBox("Network Interface", this);
  specificBox_ = new QCheckBox("Broadcast from a Specific Network Interface Controller", network);
  specificBox_->setObjectName("specificInterface");
  auto* boxLabel = new QLabel("Network Interface Controller", network);
  interfaceBox_ = new QComboBox(network);
  interfaceBox_->setObjectName("interfaces");
  boxLabel->setBuddy(interfaceBox_);
  // Rows in interface order: the row number is the interface index.
  for (qsizetype i = 0; i < descriptions.size() && static_cast<size_t>(i) < kMaxInterfaces; ++i)
    interfaceBox_->insertItem(static_cast<int>(i), descriptions[i]);
  interfaceBox_->setCurrentIndex(OpeningRow(choice_.selectedInterface,
                                            static_cast<size_t>(interfaceBox_->count())));
  auto* networkLayout = new QVBoxLayout(network);
  networkLayout->addWidget(specificBox_);
  networkLayout->addWidget(boxLabel);
  networkLayout->addWidget(interfaceBox_);

  auto* dhcp = new QGroupBox("Internal DHCP server", this);
  auto* warning = new QLabel(
      "Warning! Internal DHCP server should only be used to recover modules that have been "
      "set to DHCP by mistake.",
      dhcp);
  warning->setWordWrap(true);
  dhcpBox_ = new QCheckBox("Enable internal DHCP server", dhcp);
  dhcpBox_->setObjectName("dhcpServer");
  auto* dhcpLayout = new QVBoxLayout(dhcp);
  dhcpLayout->addWidget(warning);
  dhcpLayout->addWidget(dhcpBox_);


  auto* layout = new QVBoxLayout(this);
  layout->addWidget(network);
  layout->addWidget(dhcp);
  layout->addLayout(OkCancelRow(this));
  setMinimumWidth(440);

  connect(specificBox_, &QCheckBox::clicked, this, [this] {
    choice_.specificInterface = !choice_.specificInterface;
    ShowChoice();
  });
  connect(dhcpBox_, &QCheckBox::clicked, this, [this] {
    choice_.dhcpServer = !choice_.dhcpServer;
    ShowChoice();
  });
  ShowChoice();
}

void CSettings::ShowChoice() {
  specificBox_->setChecked(choice_.specificInterface);
  dhcpBox_->setChecked(choice_.dhcpServer);
  interfaceBox_->setEnabled(choice_.specificInterface);
}

void CSettings::accept() {
  choice_.selectedInterface = SelectedAfterOk(interfaceBox_->currentIndex(),
                                              choice_.selectedInterface);
  QDialog::accept();
}

}  // namespace pelmar
