#include "configuration_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QImage>
#include <QValidator>
#include <algorithm>

#include "dialog_units.h"
#include "ip_address_edit.h"
#include "message_box.h"
#include "tool_icon.h"

namespace pelmar {
namespace {

const char kProgramName[] = "Pelmar";
const char kTooLongText[] = "Please enter no more than 127 characters.";

// Limits typing to kFieldLimit characters, as the platform's edit limit
// does: a longer text put in by the program stays and may only shrink, and
// the read-back refuses it.
class FieldLimit : public QValidator {
 public:
  FieldLimit(QLineEdit* edit) : QValidator(edit) {
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& t) { current_ = t.size(); });
  }
  State validate(QString& input, int&) const override {
    return static_cast<size_t>(input.size()) <= kFieldLimit || input.size() < current_
               ? Acceptable
               : Invalid;
  }

 private:
  qsizetype current_ = 0;
};

QString Id(int id) { return QString::number(id); }

// A group box placed from the template. The template's frame line runs
// through the middle of the title; this toolkit draws the title above the
// frame, which then would cut through the first row of fields. The box
// grows upward until its frame line lies where the template puts it, half
// a line below the box's top.
class TemplateGroupBox : public QGroupBox {
 public:
  TemplateGroupBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

  void Place(const QRect& rect) {
    setGeometry(rect);
    const int shift = std::min(rect.top(), FrameLine() - fontMetrics().height() / 2);
    if (shift > 0) setGeometry(rect.adjusted(0, -shift, 0, 0));
  }

  // Where the style draws the frame's top line, found in a rendering of the
  // empty box: styles say it differently, none misdraws it.
  int FrameLine() {
    QImage image(size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    const int x = width() - 3;  // right of any title
    for (int y = 0; y < image.height(); ++y)
      if (qAlpha(image.pixel(x, y)) != 0) return y;
    return 0;
  }
};

}  // namespace

CConfigurationDlg::CConfigurationDlg(const ModuleRecord& record, const QString& macText,
                                     QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      record_(record) {
  setWindowTitle("Configure: " + macText);
  setWindowIcon(ToolIcon());
  buildControls();
  fill(StartFromRecord(record_));
}

void CConfigurationDlg::buildControls() {
  const DialogUnits du(font());
  setFixedSize(du.rect(0, 0, 307, 218).size());

  auto* ethernet = new TemplateGroupBox("Ethernet configuration", this);
  ethernet->setObjectName("ethernet");
  ethernet->Place(du.rect(5, 5, 295, 190));
  auto label = [&](const char* text, int y) {
    auto* l = new QLabel(text, this);
    l->setGeometry(du.rect(10, y + 3, 60, 9));
  };

  struct AddressPlace {
    int id;
    const char* label;
    int y;
  };
  const AddressPlace places[kAddressCount] = {{kIdIpAddress, "IP address:", 15},
                                              {kIdSubnetMask, "Subnet mask:", 38},
                                              {kIdGateway, "Default gateway:", 61},
                                              {kIdPrimaryDns, "Primary DNS:", 84},
                                              {kIdSecondaryDns, "Secondary DNS:", 107}};
  for (int i = 0; i < kAddressCount; ++i) {
    label(places[i].label, places[i].y);
    addresses_[i] = new IpAddressEdit(this);
    addresses_[i]->setObjectName(Id(places[i].id));
    addresses_[i]->setGeometry(du.rect(71, places[i].y, 100, 15));
  }

  auto edit = [&](int id, const char* text, int y, bool secret) {
    label(text, y);
    auto* e = new QLineEdit(this);
    e->setObjectName(Id(id));
    e->setGeometry(du.rect(71, y, 100, 14));
    e->setValidator(new FieldLimit(e));
    if (secret) e->setEchoMode(QLineEdit::Password);
    return e;
  };
  hostName_ = edit(kIdHostName, "Hostname:", 130, false);
  password_ = edit(kIdPassword, "Password:", 152, true);
  newPassword_ = edit(kIdNewPassword, "New password:", 174, true);

  auto* dhcp = new TemplateGroupBox("DHCP", this);
  dhcp->setObjectName(Id(kIdDhcpGroup));
  dhcp->Place(du.rect(190, 15, 91, 52));
  dhcpOn_ = new QRadioButton("On", this);
  dhcpOn_->setObjectName(Id(kIdDhcpOn));
  dhcpOn_->setGeometry(du.rect(200, 30, 25, 10));
  dhcpOff_ = new QRadioButton("Off", this);
  dhcpOff_->setObjectName(Id(kIdDhcpOff));
  dhcpOff_->setGeometry(du.rect(200, 48, 25, 10));
  connect(dhcpOn_, &QRadioButton::clicked, this, [this] { setAddressFieldsEnabled(false); });
  connect(dhcpOff_, &QRadioButton::clicked, this, [this] { setAddressFieldsEnabled(true); });

  changePassword_ = new QCheckBox("Change password", this);
  changePassword_->setObjectName(Id(kIdChangePassword));
  changePassword_->setGeometry(du.rect(190, 155, 73, 10));
  connect(changePassword_, &QCheckBox::toggled, this,
          [this](bool ticked) { newPassword_->setReadOnly(!ticked); });

  auto* set = new QPushButton("Set", this);
  set->setObjectName(Id(kIdSet));
  set->setGeometry(du.rect(194, 199, 50, 14));
  set->setDefault(true);
  connect(set, &QPushButton::clicked, this, &CConfigurationDlg::onSet);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName(Id(kIdCancel));
  cancel->setGeometry(du.rect(250, 199, 50, 14));
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CConfigurationDlg::fill(const ConfigurationStart& start) {
  for (int i = 0; i < kAddressCount; ++i) {
    if (AddressShownAtStart(start, i)) {
      addresses_[i]->setAddress(start.address[i]);
    } else {
      addresses_[i]->clear();
      addresses_[i]->setEnabled(false);
    }
  }
  if (start.hostNameEnabled) {
    // Put in unchecked: the edit treats a text its validator refuses as a
    // state it may not undo into, and then would let the text grow.
    const QValidator* limit = hostName_->validator();
    hostName_->setValidator(nullptr);
    hostName_->setText(QString::fromLatin1(start.hostName.data(),
                                           static_cast<qsizetype>(start.hostName.size())));
    hostName_->setValidator(limit);
  } else
    hostName_->setEnabled(false);
  password_->setReadOnly(!start.passwordEditable);
  newPassword_->setReadOnly(true);
  if (start.dhcpChoice == kDhcpUnknown) {
    dhcpOn_->setEnabled(false);
    dhcpOff_->setEnabled(false);
  } else {
    (start.dhcpChoice == kDhcpOn ? dhcpOn_ : dhcpOff_)->setChecked(true);
  }
}

void CConfigurationDlg::setAddressFieldsEnabled(bool enabled) {
  for (IpAddressEdit* field : addresses_) field->setEnabled(enabled);
}

ConfigurationInput CConfigurationDlg::readFields() const {
  ConfigurationInput input;
  for (int i = 0; i < kAddressCount; ++i) input.address[i] = addresses_[i]->address();
  input.dhcpChoice = dhcpOn_->isChecked() ? kDhcpOn : dhcpOff_->isChecked() ? kDhcpOff
                                                                            : kDhcpUnknown;
  input.changePassword = changePassword_->isChecked();
  // Capture buffers hold 255 characters. A host name is shown byte for byte
  // (Latin-1), so anything beyond ASCII fails the host name check; passwords
  // go as UTF-8, as mdspctl sends what is typed on a terminal.
  input.hostName = hostName_->text().toLatin1().toStdString().substr(0, 255);
  input.password = password_->text().toUtf8().toStdString().substr(0, 255);
  input.newPassword = newPassword_->text().toUtf8().toStdString().substr(0, 255);
  return input;
}

bool CConfigurationDlg::textsFit() {
  for (QLineEdit* e : {hostName_, password_, newPassword_}) {
    if (static_cast<size_t>(e->text().size()) > kFieldLimit) {
      ShowMessage(this, "Warning", kTooLongText, MessageIcon::Warning);
      e->setFocus();
      return false;
    }
  }
  return true;
}

void CConfigurationDlg::onSet() {
  if (!textsFit()) return;
  SetProblem problem = CheckSet(readFields(), record_);
  if (problem != SetProblem::None) {
    ShowMessage(this, kProgramName, SetProblemText(problem), MessageIcon::None);
    return;
  }
  accept();
}

void CConfigurationDlg::done(int result) {
  captured_ = readFields();
  QDialog::done(result);
}

}  // namespace pelmar
