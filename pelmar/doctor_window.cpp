#include "doctor_window.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "tool_icon.h"

namespace pelmar {

CDoctorDlg::CDoctorDlg(std::function<DoctorReport()> run, std::function<void()> finished,
                       QWidget* parent)
    : QDialog(parent), run_(std::move(run)), finished_(std::move(finished)) {
  setWindowTitle(QStringLiteral("Check this computer"));
  setWindowIcon(ToolIcon());
  summary_ = new QLabel(this);
  summary_->setWordWrap(true);
  text_ = new QPlainTextEdit(this);
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  // Commands in the report are meant to be copied.
  text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  again_ = new QPushButton(QStringLiteral("Check &again"), this);
  auto* close = new QPushButton(QStringLiteral("&Close"), this);
  close->setDefault(true);
  connect(again_, &QPushButton::clicked, this, [this] { Check(); });
  connect(close, &QPushButton::clicked, this, [this] { accept(); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(again_);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(summary_);
  layout->addWidget(text_, 1);
  layout->addLayout(buttons);
  const QFontMetrics metrics(text_->font());
  resize(metrics.horizontalAdvance(QLatin1Char('x')) * 100, metrics.lineSpacing() * 34);
}

CDoctorDlg::~CDoctorDlg() { call_.Abandon(); }

void CDoctorDlg::Check() {
  if (call_.busy()) return;
  again_->setEnabled(false);
  summary_->setText(QStringLiteral("Checking: one scan through each interface, then the "
                                   "firewall and port 67..."));
  auto result = std::make_shared<DoctorReport>();
  result_ = result;
  call_.Start(
      [run = run_, result] {
        *result = run();
        return int32_t{0};
      },
      [this](int32_t) {
        text_->setPlainText(QString::fromStdString(DoctorReportText(*result_)));
        const size_t n = result_->findings.size();
        summary_->setText(n == 0 ? QStringLiteral("Nothing wrong found.")
                                 : QStringLiteral("%1 finding(s); each names the command that "
                                                  "fixes it.")
                                       .arg(n));
        again_->setEnabled(true);
        if (finished_) finished_();
      });
}

QString CDoctorDlg::reportText() const { return text_->toPlainText(); }
QString CDoctorDlg::summary() const { return summary_->text(); }

}  // namespace pelmar
