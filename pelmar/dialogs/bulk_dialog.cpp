#include "bulk_dialog.h"

#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "module_texts.h"
#include "password_dlg.h"
#include "tool_icon.h"

namespace pelmar {
namespace {

std::optional<uint32_t> AddressField(const QLineEdit* edit) {
  const std::string text = edit->text().trimmed().toStdString();
  uint32_t value = 0;
  int octets = 0;
  size_t pos = 0;
  while (octets < 4) {
    size_t digits = 0;
    uint32_t octet = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 3) {
      octet = octet * 10 + static_cast<uint32_t>(text[pos++] - '0');
      ++digits;
    }
    if (!digits || octet > 255) return std::nullopt;
    value = value << 8 | octet;
    if (++octets < 4 && (pos >= text.size() || text[pos++] != '.')) return std::nullopt;
  }
  if (pos != text.size()) return std::nullopt;
  return value;
}

QString TypeOf(const ModuleRecord& r) {
  const ModuleTexts t = DescribeModule(r);
  return QString::fromStdString(t.type.value_or("N/A"));
}

}  // namespace

std::vector<ModuleRecord> BulkModules(const std::vector<ModuleRecord>& records) {
  std::vector<ModuleRecord> modules;
  for (const ModuleRecord& r : records) {
    if (!r.macValid) continue;
    auto same = std::find_if(modules.begin(), modules.end(), [&](const ModuleRecord& m) {
      return std::memcmp(m.mac, r.mac, 6) == 0;
    });
    if (same == modules.end())
      modules.push_back(r);
    else if (r.secure && !same->secure)
      *same = r;
  }
  return modules;
}

CBulkDialog::CBulkDialog(const LibraryApi& api, HostEventQueue& events,
                         std::vector<ModuleRecord> listed, std::vector<HostSubnet> subnets,
                         QWidget* parent)
    : QDialog(parent),
      api_(api),
      events_(events),
      listed_(BulkModules(listed)),
      subnets_(std::move(subnets)) {
  Build();
}

CBulkDialog::~CBulkDialog() {
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
}

void CBulkDialog::Build() {
  setObjectName(QStringLiteral("bulk"));
  setWindowTitle(QStringLiteral("Address several modules"));
  setWindowIcon(ToolIcon());
  auto* layout = new QVBoxLayout(this);

  table_ = new QTableWidget(static_cast<int>(listed_.size()), kBulkColumns, this);
  table_->setObjectName(QStringLiteral("modules"));
  table_->setHorizontalHeaderLabels(
      {QString(), QStringLiteral("MAC"), QStringLiteral("Type"), QStringLiteral("IP"),
       QStringLiteral("Plan"), QStringLiteral("Result")});
  table_->verticalHeader()->hide();
  table_->setWordWrap(false);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  for (int row = 0; row < static_cast<int>(listed_.size()); ++row) {
    const ModuleRecord& m = listed_[static_cast<size_t>(row)];
    auto* check = new QTableWidgetItem();
    check->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    check->setCheckState(Qt::Checked);
    table_->setItem(row, kColumnCheck, check);
    table_->setItem(row, kColumnMac, new QTableWidgetItem(QString::fromStdString(MacText(m.mac))));
    table_->setItem(row, kColumnType, new QTableWidgetItem(TypeOf(m)));
    table_->setItem(row, kColumnIp, new QTableWidgetItem(
        m.ipValid ? QString::fromStdString(Ipv4Text(m.ip)) : QStringLiteral("N/A")));
    table_->setItem(row, kColumnPlan, new QTableWidgetItem());
    table_->setItem(row, kColumnResult, new QTableWidgetItem());
  }
  table_->resizeColumnsToContents();
  table_->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(table_, 1);

  auto* handOut = new QGroupBox(QStringLiteral("Hand out addresses in list order"), this);
  auto* grid = new QGridLayout(handOut);
  auto field = [&](const char* label, int column, const char* name) {
    auto* edit = new QLineEdit(handOut);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setPlaceholderText(QStringLiteral("a.b.c.d"));
    auto* text = new QLabel(QString::fromLatin1(label), handOut);
    text->setBuddy(edit);
    grid->addWidget(text, 0, column);
    grid->addWidget(edit, 1, column);
    return edit;
  };
  first_ = field("&First address:", 0, "first");
  mask_ = field("&Mask:", 1, "mask");
  gateway_ = field("&Gateway:", 2, "gateway");
  dns_ = field("&DNS (optional):", 3, "dns");
  plan_ = new QPushButton(QStringLiteral("&Plan"), handOut);
  grid->addWidget(plan_, 1, 4);
  layout->addWidget(handOut);

  status_ = new QLabel(QStringLiteral("Choose the modules, then plan their addresses or load a "
                                      "CSV file (mac,ip,mask,gateway,dns1,dns2,dhcp,hostname)."),
                       this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setWordWrap(true);
  layout->addWidget(status_);

  auto* buttons = new QHBoxLayout();
  load_ = new QPushButton(QStringLiteral("&Load CSV..."), this);
  apply_ = new QPushButton(QStringLiteral("&Apply"), this);
  retry_ = new QPushButton(QStringLiteral("&Retry with another password..."), this);
  cancel_button_ = new QPushButton(QStringLiteral("Cancel"), this);
  apply_->setObjectName(QStringLiteral("apply"));
  retry_->setObjectName(QStringLiteral("retry"));
  cancel_button_->setObjectName(QStringLiteral("cancel"));
  apply_->setEnabled(false);
  retry_->setEnabled(false);
  buttons->addWidget(load_);
  buttons->addStretch(1);
  buttons->addWidget(apply_);
  buttons->addWidget(retry_);
  buttons->addWidget(cancel_button_);
  layout->addLayout(buttons);

  connect(plan_, &QPushButton::clicked, this, [this] { PlanFromFields(); });
  connect(load_, &QPushButton::clicked, this, [this] { OnLoadCsv(); });
  connect(apply_, &QPushButton::clicked, this, [this] { OnApply(); });
  connect(retry_, &QPushButton::clicked, this, [this] { OnRetry(); });
  connect(cancel_button_, &QPushButton::clicked, this, [this] { reject(); });
  connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    // Another choice of modules makes the plan stale.
    if (item->column() == kColumnCheck && !running_ && !entries_.empty()) apply_->setEnabled(false);
  });
  resize(900, 440);
}

bool CBulkDialog::PlanFromFields() {
  const auto first = AddressField(first_), mask = AddressField(mask_),
             gateway = AddressField(gateway_);
  const auto dns = dns_->text().trimmed().isEmpty() ? std::optional<uint32_t>(0)
                                                     : AddressField(dns_);
  if (!first || !mask || !gateway || !dns) {
    status_->setText(QStringLiteral("Give the first address, mask and gateway as a.b.c.d "
                                    "(the DNS server may stay empty)."));
    return false;
  }
  std::vector<ModuleRecord> chosen;
  for (int row = 0; row < static_cast<int>(listed_.size()); ++row)
    if (table_->item(row, kColumnCheck)->checkState() == Qt::Checked)
      chosen.push_back(listed_[static_cast<size_t>(row)]);
  entries_ = HandOutAddresses(chosen, *first, *mask, *gateway, *dns);
  CheckBulkPlan(entries_, listed_, subnets_);
  ShowPlan();
  return true;
}

void CBulkDialog::PlanFromCsv(const std::string& text) {
  entries_ = ReadBulkCsv(text);
  CheckBulkPlan(entries_, listed_, subnets_);
  // The file chooses the modules.
  QSignalBlocker quiet(table_);
  for (int row = 0; row < static_cast<int>(listed_.size()); ++row) {
    bool planned = false;
    for (const BulkEntry& e : entries_) planned = planned || e.module == row;
    table_->item(row, kColumnCheck)->setCheckState(planned ? Qt::Checked : Qt::Unchecked);
  }
  ShowPlan();
}

int CBulkDialog::RowOfEntry(size_t entry) const {
  const BulkEntry& e = entries_[entry];
  if (e.module >= 0) return e.module;
  size_t unlisted = 0;
  for (size_t i = 0; i < entry; ++i) unlisted += entries_[i].module < 0;
  return unlistedRows_[unlisted];
}

void CBulkDialog::ShowPlan() {
  results_.assign(entries_.size(), BulkResult{});
  QSignalBlocker quiet(table_);
  table_->setRowCount(static_cast<int>(listed_.size()));
  unlistedRows_.clear();
  for (int row = 0; row < table_->rowCount(); ++row) {
    table_->item(row, kColumnPlan)->setText(QString());
    table_->item(row, kColumnPlan)->setForeground(palette().text());
    table_->item(row, kColumnResult)->setText(QString());
  }
  size_t problems = 0;
  for (const BulkEntry& e : entries_) {
    int row = e.module;
    if (row < 0) {
      row = table_->rowCount();
      table_->insertRow(row);
      unlistedRows_.push_back(row);
      for (int c = 0; c < kBulkColumns; ++c) table_->setItem(row, c, new QTableWidgetItem());
      table_->item(row, kColumnMac)->setText(QString::fromStdString(MacText(e.mac.data())));
    }
    QString text = QString::fromStdString(PlanText(e.plan));
    for (const std::string& p : e.problems) {
      text += QStringLiteral("  \u2716 ") + QString::fromStdString(p);
      ++problems;
    }
    table_->item(row, kColumnPlan)->setText(text);
    if (!e.problems.empty()) table_->item(row, kColumnPlan)->setForeground(QColor(0xB0, 0, 0));
  }
  table_->resizeColumnToContents(kColumnPlan);
  // The result column keeps room beside a long plan; the tooltip has it all.
  table_->setColumnWidth(kColumnPlan, std::min(table_->columnWidth(kColumnPlan), 420));
  for (int row = 0; row < table_->rowCount(); ++row)
    table_->item(row, kColumnPlan)->setToolTip(table_->item(row, kColumnPlan)->text());
  if (entries_.empty())
    status_->setText(QStringLiteral("No module in the plan."));
  else if (problems)
    status_->setText(QStringLiteral("%1 conflict(s): nothing is applied while one stands.")
                         .arg(problems));
  else
    status_->setText(QStringLiteral("Plan for %1 module(s), ready to apply.").arg(entries_.size()));
  apply_->setEnabled(!entries_.empty() && !problems);
  retry_->setEnabled(false);
}

void CBulkDialog::OnLoadCsv() {
  const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Load CSV"), QString(),
                                                    QStringLiteral("CSV files (*.csv);;All files (*)"));
  if (path.isEmpty()) return;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    status_->setText(QStringLiteral("Cannot read %1.").arg(path));
    return;
  }
  PlanFromCsv(file.readAll().toStdString());
}

void CBulkDialog::OnApply() {
  CPasswordDlg prompt(this);
  prompt.SetCaption(QStringLiteral("Password for the modules"));
  if (prompt.exec() != QDialog::Accepted) return;
  StartRun(prompt.Password().toStdString().substr(0, 255));
}

void CBulkDialog::OnRetry() {
  CPasswordDlg prompt(this);
  prompt.SetCaption(QStringLiteral("Another password for the modules that refused"));
  if (prompt.exec() != QDialog::Accepted) return;
  Retry(prompt.Password().toStdString().substr(0, 255));
}

bool CBulkDialog::StartRun(const std::string& password) {
  if (running_ || entries_.empty() || PlanHasProblems(entries_)) return false;
  std::vector<bool> run(entries_.size());
  for (size_t i = 0; i < entries_.size(); ++i)
    run[i] = table_->item(RowOfEntry(i), kColumnCheck)->checkState() == Qt::Checked;
  Run(run, password);
  return true;
}

bool CBulkDialog::Retry(const std::string& password) {
  if (running_) return false;
  std::vector<bool> run(entries_.size());
  bool any = false;
  for (size_t i = 0; i < entries_.size(); ++i)
    any = any || (run[i] = results_[i].state == BulkState::WrongPassword);
  if (!any) return false;
  Run(run, password);
  return true;
}

void CBulkDialog::Run(std::vector<bool> run, const std::string& password) {
  if (worker_.joinable()) worker_.join();
  running_ = ranOnce_ = true;
  cancel_ = false;
  for (size_t i = 0; i < entries_.size(); ++i)
    if (run[i]) {
      results_[i] = BulkResult{};
      table_->item(RowOfEntry(i), kColumnResult)->setText(QStringLiteral("waiting"));
    }
  apply_->setEnabled(false);
  retry_->setEnabled(false);
  plan_->setEnabled(false);
  load_->setEnabled(false);
  table_->setEnabled(true);
  status_->setText(QStringLiteral("Applying one module at a time... Cancel stops after the "
                                  "module in flight."));
  const std::vector<BulkEntry> entries = entries_;
  worker_ = std::thread([this, entries, run, password] {
    std::vector<BulkResult> results(entries.size());
    BulkRunner runner(api_, events_, times_);
    runner.Run(
        entries, run, [&](size_t) { return password; }, results,
        [&](size_t i) {
          const BulkResult r = results[i];
          QMetaObject::invokeMethod(this, [this, i, r] {
            results_[i] = r;
            ShowResult(i);
          }, Qt::QueuedConnection);
        },
        cancel_);
    QMetaObject::invokeMethod(this, [this] { Finished(); }, Qt::QueuedConnection);
  });
}

void CBulkDialog::ShowResult(size_t entry) {
  const BulkResult& r = results_[entry];
  table_->item(RowOfEntry(entry), kColumnResult)
      ->setText(r.state == BulkState::Planned ? QStringLiteral("sending...")
                                              : QString::fromStdString(r.text));
}

void CBulkDialog::Finished() {
  if (worker_.joinable()) worker_.join();
  running_ = false;
  size_t confirmed = 0, wrong = 0, total = 0;
  for (const BulkResult& r : results_) {
    if (r.state == BulkState::Planned) continue;
    ++total;
    confirmed += r.state == BulkState::Confirmed;
    wrong += r.state == BulkState::WrongPassword;
  }
  status_->setText(QStringLiteral("%1 of %2 module(s) confirmed.%3")
                       .arg(confirmed)
                       .arg(total)
                       .arg(wrong ? QStringLiteral(" %1 refused the password: retry them with "
                                                   "another.")
                                        .arg(wrong)
                                  : QString()));
  retry_->setEnabled(wrong > 0);
  plan_->setEnabled(true);
  load_->setEnabled(true);
  cancel_button_->setText(QStringLiteral("Close"));
  emit runFinished();
}

void CBulkDialog::reject() {
  if (running_) {
    cancel_ = true;
    status_->setText(QStringLiteral("Cancelling after the module in flight..."));
    return;
  }
  QDialog::reject();
}

}  // namespace pelmar
