#include "dhcp_recovery_window.h"

#include <QDateTime>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cstring>

#include "dhcp_message.h"
#include "tool_icon.h"

namespace pelmar {
namespace {

// A module configures its address within a second or two of the
// acknowledgement; asking more often only adds traffic.
constexpr int kRescanMs = 2500;

}  // namespace

CDhcpRecoveryDlg::CDhcpRecoveryDlg(const ModuleRecord& record, RecoveryHooks hooks,
                                   QWidget* parent)
    : QDialog(parent), hooks_(std::move(hooks)), server_(&CDhcpRecoveryDlg::OnAnswer, this) {
  std::memcpy(mac_, record.mac, 6);
  recovery_ = std::make_unique<SingleModuleRecovery>(mac_, "");
  setWindowTitle(QStringLiteral("Recover %1 by DHCP").arg(QString::fromStdString(recovery_->MacText())));
  setWindowIcon(ToolIcon());
  status_ = new QLabel(this);
  status_->setWordWrap(true);
  log_ = new QPlainTextEdit(this);
  log_->setReadOnly(true);
  log_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  close_ = new QPushButton(QStringLiteral("&Stop"), this);
  close_->setDefault(true);
  connect(close_, &QPushButton::clicked, this, [this] { accept(); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(status_);
  layout->addWidget(log_, 1);
  layout->addLayout(buttons);
  const QFontMetrics metrics(log_->font());
  resize(metrics.horizontalAdvance(QLatin1Char('x')) * 84, metrics.lineSpacing() * 16);
  rescan_ = new QTimer(this);
  rescan_->setInterval(kRescanMs);
  connect(rescan_, &QTimer::timeout, this, [this] {
    CheckTaken();
    if (!done_ && hooks_.rescan) hooks_.rescan();
  });
}

CDhcpRecoveryDlg::~CDhcpRecoveryDlg() {
  call_.Abandon();
  server_.SwitchOff();
}

void CDhcpRecoveryDlg::Log(const QString& line) {
  log_->appendPlainText(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss  ")) + line);
}

void CDhcpRecoveryDlg::Begin() {
  const QString mac = QString::fromStdString(recovery_->MacText());
  if (hooks_.settingsServerOn && hooks_.settingsServerOn()) {
    status_->setText(QStringLiteral("The DHCP server of the Settings is on and answers every "
                                     "module already. Switch it off there to recover %1 alone.")
                         .arg(mac));
    close_->setText(QStringLiteral("&Close"));
    done_ = true;
    return;
  }
  status_->setText(QStringLiteral("Looking for the interface %1 answers on...").arg(mac));
  auto located = std::make_shared<std::string>();
  located_ = located;
  call_.Start(
      [locate = hooks_.locate, located, mac = std::vector<uint8_t>(mac_, mac_ + 6)] {
        if (locate) *located = locate(mac.data());
        return int32_t{0};
      },
      [this](int32_t) {
        if (hooks_.located) hooks_.located();
        StartServing(*located_);
      });
}

void CDhcpRecoveryDlg::StartServing(const std::string& interfaceName) {
  const QString mac = QString::fromStdString(recovery_->MacText());
  recovery_ = std::make_unique<SingleModuleRecovery>(mac_, interfaceName);
  if (interfaceName.empty())
    Log(QStringLiteral("%1 answered through no single interface: serving it on every one")
            .arg(mac));
  std::string failure;
  if (!server_.SwitchOn(recovery_->Scope(), &failure)) {
    status_->setText(QString::fromStdString(failure));
    Log(QString::fromStdString(failure).replace(QLatin1Char('\n'), QLatin1String(": ")));
    close_->setText(QStringLiteral("&Close"));
    done_ = true;
    return;
  }
  const QString where = interfaceName.empty() ? QStringLiteral("every interface")
                                              : QString::fromStdString(interfaceName);
  status_->setText(QStringLiteral("Serving %1 alone on %2. Other modules are not answered.")
                       .arg(mac, where));
  Log(QStringLiteral("server started for %1 on %2, waiting for its request").arg(mac, where));
}

void CDhcpRecoveryDlg::OnAnswer(const DhcpAnswer& answer, void* context) {
  // The poll thread: hand the answer to the window thread. A window already
  // gone drops it (the server is joined before the window's parts go).
  auto* self = static_cast<CDhcpRecoveryDlg*>(context);
  QMetaObject::invokeMethod(
      self,
      [self, answer] {
        const std::string line = self->recovery_->Note(answer);
        if (line.empty() || self->done_) return;
        self->Log(QString::fromStdString(line));
        if (answer.messageType == kDhcpAck && !self->rescan_->isActive()) {
          self->Log(QStringLiteral("waiting for %1 to answer a scan with %2")
                        .arg(QString::fromStdString(self->recovery_->MacText()),
                             QString::fromStdString(self->recovery_->AcknowledgedAddress())));
          self->rescan_->start();
        }
      },
      Qt::QueuedConnection);
}

void CDhcpRecoveryDlg::CheckTaken() {
  if (done_ || !hooks_.records) return;
  for (const ModuleRecord& record : hooks_.records()) {
    if (!recovery_->HasTakenAddress(record)) continue;
    Finish(QStringLiteral("%1 has taken %2; server stopped")
               .arg(QString::fromStdString(recovery_->MacText()),
                    QString::fromStdString(recovery_->AcknowledgedAddress())));
    return;
  }
}

void CDhcpRecoveryDlg::Finish(const QString& line) {
  done_ = true;
  rescan_->stop();
  server_.SwitchOff();
  Log(line);
  status_->setText(line + QStringLiteral(". The list is scanned again."));
  close_->setText(QStringLiteral("&Close"));
  if (hooks_.rescan) hooks_.rescan();
}

QString CDhcpRecoveryDlg::logText() const { return log_->toPlainText(); }

}  // namespace pelmar
