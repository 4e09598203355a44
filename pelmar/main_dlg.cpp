#include "main_dlg.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QPushButton>
#include <QResizeEvent>
#include <atomic>
#include <cstring>

#include "message_box.h"
#include "module_record.h"

namespace pelmar {
namespace {

// Scan numbers are unique in the process, so a later window never takes an
// earlier window's stale events for its own.
std::atomic<uintptr_t> g_lastScan{0};

constexpr int kMinimumWidth = 194;
constexpr int kMinimumHeight = 130;

}  // namespace

CMainDlg::CMainDlg(const std::string& requestedInterface, const MainDlgOptions& options,
                   QWidget* parent)
    : QDialog(parent), options_(options) {
  interfaces_.requestedInterface = requestedInterface;
  settingsPath_ = options.settingsPath.empty() ? SettingsPath() : options.settingsPath;
  ModuleEventRelay::Instance();  // created on this (the window) thread
  setObjectName(QStringLiteral("102"));
  // Template 102: title bar, system menu, resizable border, minimise and
  // maximise boxes.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setSizeGripEnabled(false);
  CreateControls();
}

CMainDlg::~CMainDlg() { Shutdown(); }

QRect CMainDlg::DialogUnits(int x, int y, int w, int h) const {
  // Dialog base units of the dialog's font: average character width of the
  // Latin letters and the font's height.
  QFontMetrics metrics(font());
  const int average =
      (metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 26 + 1) / 2;
  const int height = metrics.height();
  auto hx = [average](int v) { return (v * average + 2) / 4; };
  auto hy = [height](int v) { return (v * height + 4) / 8; };
  return QRect(hx(x), hy(y), hx(x + w) - hx(x), hy(y + h) - hy(y));
}

void CMainDlg::CreateControls() {
  setWindowTitle(QStringLiteral("Pelmar"));
  const QRect client = DialogUnits(0, 0, 419, 201);
  resize(client.size());

  // Tab order of the template: Scan, button 1, list, Settings.
  scan_ = new QPushButton(QStringLiteral("Scan"), this);
  scan_->setObjectName(kIdScan);
  scan_->setGeometry(DialogUnits(302, 182, 50, 14));
  scan_->setDefault(true);
  scan_->setAutoDefault(false);

  button1_ = new QPushButton(QStringLiteral("Exit"), this);
  button1_->setObjectName(kIdButton1);
  button1_->setGeometry(DialogUnits(362, 182, 50, 14));
  button1_->setAutoDefault(false);

  list_ = new ModuleListCtrl(this);
  list_->setObjectName(kIdList);
  list_->setGeometry(DialogUnits(7, 7, 405, 170));

  settings_ = new QPushButton(QStringLiteral("Settings"), this);
  settings_->setObjectName(kIdSettings);
  settings_->setGeometry(DialogUnits(242, 182, 50, 14));
  settings_->setAutoDefault(false);
  settings_->setEnabled(false);  // until the settings flow exists (next issue)

  setTabOrder(scan_, button1_);
  setTabOrder(button1_, list_);
  setTabOrder(list_, settings_);

  connect(scan_, &QPushButton::clicked, this, [this] { StartScan(); });
  connect(button1_, &QPushButton::clicked, this, [this] { OnButton1(); });
  connect(settings_, &QPushButton::clicked, this, [this] {
    if (settingsHandler_) settingsHandler_();
  });
  connect(list_, &ModuleListCtrl::contextMenuAt, this, [this](int row, const QPoint& at) {
    if (contextMenuHandler_) contextMenuHandler_(row, at);
  });
}

void CMainDlg::RecordLayout() {
  const int W = width(), H = height();
  auto record = [W, H](QWidget* w) {
    Margins m;
    m.left = w->x();
    m.top = w->y();
    m.width = w->width();
    m.height = w->height();
    m.right = W - (w->x() + w->width());
    m.bottom = H - (w->y() + w->height());
    return m;
  };
  listLayout_ = record(list_);
  scanLayout_ = record(scan_);
  button1Layout_ = record(button1_);
  settingsLayout_ = record(settings_);
  layoutRecorded_ = true;
}

void CMainDlg::ApplyLayout() {
  if (!layoutRecorded_) return;
  const int W = width(), H = height();
  list_->setGeometry(listLayout_.left, listLayout_.top,
                     W - listLayout_.right - listLayout_.left,
                     H - listLayout_.bottom - listLayout_.top);
  for (auto [button, m] : {std::pair{scan_, &scanLayout_}, std::pair{button1_, &button1Layout_},
                           std::pair{settings_, &settingsLayout_}})
    button->setGeometry(W - m->right - m->width, H - m->bottom - m->height, m->width, m->height);
}

void CMainDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  ApplyLayout();
}

bool CMainDlg::Initialise() {
  if (initialised_) return result() != QDialog::Rejected || binding_.bound();
  initialised_ = true;
  // Title, button 1, an empty picker result.
  setWindowTitle(QStringLiteral("Pelmar"));
  button1_->setText(button1Caption_);
  selectedIp_.clear();
  selectedMac_.clear();

  // Version check and binding: the file checked is the file loaded.
  const std::string path = options_.libraryPath.empty() ? platform::ResolveLibraryFile()
                                                        : options_.libraryPath;
  if (!AcceptVersion(platform::ReadLibraryVersion(path))) {
    ShowMessage(this, QStringLiteral("Warning"), QStringLiteral("Incorrect MDSP.DLL version"),
                MessageIcon::Warning);
    setResult(QDialog::Rejected);
    return false;
  }
  if (!binding_.Bind(path)) {
    ShowMessage(this, QStringLiteral("Error"), QStringLiteral("Error loading MDSP.DLL"),
                MessageIcon::Error);
    setResult(QDialog::Rejected);
    return false;
  }
  const LibraryApi& api = binding_.api();

  // Layout, full-row list, columns.
  RecordLayout();
  ApplyLayout();
  setMinimumSize(kMinimumWidth, kMinimumHeight);
  list_->CreateColumns(kColumnSpec);
  if (!options_.collatorLocale.empty())
    list_->listModel()->SetCollator(TextCollator(options_.collatorLocale));

  // From here on library events reach this window (a relay session).
  session_ = ModuleEventRelay::Instance().Attach(
      [this](const ModuleEventData& event) { HandleModuleEvent(event); });

  // The interface table, the settings file, the interface choice.
  if (!RefreshInterfaces(api, interfaces_))
    ShowMessage(this, QStringLiteral("Error"), QStringLiteral("Unable to create network adapter list"),
                MessageIcon::Error);
  LoadSettings(settingsPath_, interfaces_);
  if (!ApplyInterface(api, interfaces_)) {
    ShowMessage(this, QStringLiteral("Information"),
                QStringLiteral("Could not find specified network adapter."),
                MessageIcon::Information);
    ApplyInterface(api, interfaces_);
  }

  // Callback, worker, the first scan; the DHCP server starts off.
  api.SMDSP_RegisterCallBack(&ModuleEventRelay::Callback);
  api.MDSP_Start();
  StartScan();
  dhcpRunning_ = 0;
  setResult(QDialog::Accepted);
  return true;
}

int CMainDlg::Run() {
  if (!Initialise()) return QDialog::Rejected;
  return exec();
}

void* CMainDlg::currentScanContext() const { return reinterpret_cast<void*>(scanNumber_); }

void CMainDlg::StartScan() {
  list_->ClearModuleList();
  if (!binding_.bound()) return;
  scanNumber_ = ++g_lastScan;
  binding_.api().SMDSP_SendDiscover(reinterpret_cast<void*>(scanNumber_));
}

void CMainDlg::HandleModuleEvent(const ModuleEventData& event) {
  if (shutDown_ || !binding_.bound()) return;
  const LibraryApi& api = binding_.api();
  const int number = event.event & 0xFFFF;
  // Does the event concern the configuration target?
  uint8_t mac[6];
  const bool concernsTarget = api.SMDSP_GetModuleMac(event.index, mac) == MDSP_RESULT_OK &&
                              std::memcmp(mac, list_->configurationTarget().data(), 6) == 0;
  if (concernsTarget && number != SMDSP_EVENT_MODULE_FOUND) list_->ResetConfigurationTarget();

  // The event table.
  switch (number) {
    case SMDSP_EVENT_MODULE_FOUND: {
      // A module found in an earlier scan: its index addressed the old table.
      if (event.context != currentScanContext()) {
        ++staleDropped_;
        return;
      }
      ModuleRecord record;
      if (ReadModuleRecord(api, event.index, &record)) list_->AddModuleRow(record);
      return;
    }
    // Events 2, 3, 4, 5, 31, 32 and 33 come with the configuration, wink
    // and password flows of the next issue.
    default:
      if (eventHook_) eventHook_(event, concernsTarget);
      return;
  }
}

void CMainDlg::OnButton1() {
  const int row = list_->SelectedRow();
  if (row >= 0) {
    selectedIp_ = list_->CellText(row, kColumnIp).left(17);
    selectedMac_ = list_->CellText(row, kColumnMac).left(17);
  } else {
    selectedIp_.clear();
    selectedMac_.clear();
  }
  done(QDialog::Accepted);
}

void CMainDlg::reject() {
  // Escape and Cancel leave the window open.
}

void CMainDlg::closeEvent(QCloseEvent* event) {
  // The close box ends with OK without taking the selection.
  event->accept();
  done(QDialog::Accepted);
}

void CMainDlg::SetSettingsHandler(std::function<void()> handler) {
  settingsHandler_ = std::move(handler);
  settings_->setEnabled(static_cast<bool>(settingsHandler_));
}

void CMainDlg::SetContextMenuHandler(std::function<void(int, const QPoint&)> handler) {
  contextMenuHandler_ = std::move(handler);
}

void CMainDlg::SetEventHook(std::function<void(const ModuleEventData&, bool)> hook) {
  eventHook_ = std::move(hook);
}

void CMainDlg::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  // No more events reach this window, the list is
  // emptied, the worker is joined, the library unloaded.
  if (session_) ModuleEventRelay::Instance().Detach(session_);
  session_ = 0;
  list_->ClearModuleList();
  if (binding_.bound()) binding_.api().MDSP_Stop();
  binding_.Unbind();
}

}  // namespace pelmar
