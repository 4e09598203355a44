#include "main_dlg.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QMenu>
#include <QPushButton>
#include <QResizeEvent>
#include <QShortcut>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "about_dlg.h"
#include "about_texts.h"
#include "dhcp_recovery_window.h"
#include "doctor.h"
#include "doctor_window.h"
#include "module_census.h"
#include "bulk_dialog.h"
#include "dialog_units.h"
#include "host.h"
#include "host_networks.h"
#include "message_box.h"
#include "module_cells.h"
#include "module_record.h"
#include "module_texts.h"
#include "password_dlg.h"
#include "run_configuration.h"
#include "scan_rounds_dlg.h"
#include "settings_command.h"
#include "settings_dlg.h"
#include "settings_file.h"
#include "tool_icon.h"
#include "list_filter.h"
#include "wink_flow.h"
#include "version_check.h"

namespace pelmar {
namespace {

// Scan numbers are unique in the process, so a later window never takes an
// earlier window's stale events for its own.
std::atomic<uintptr_t> g_lastScan{0};

constexpr int kMinimumWidth = 194;
constexpr int kMinimumHeight = 130;

constexpr int kAboutCommand = versioning::kAboutCommandId;
constexpr int kDoctorCommand = 17;

// Context of the discovers of the doctor and of a recovery's search: an
// address, never a scan number, so the list drops their events.
char g_checkContext;

// How long a check waits for answers through each interface.
constexpr uint32_t kCheckScanMs = 1500;

const QString kWarning = QStringLiteral("Warning");

const QString kNoModuleAnswered =
    QStringLiteral("No module answered. Check the cable and the interface chosen in Settings.");

// Names the two ways to the About box, which has no control of its own.
const QString kWindowHelp = QStringLiteral(
    "Right-click a module for its menu (also the Menu key or Shift+F10). "
    "Press F1, or right-click beside the buttons, for About Pelmar. "
    "Ctrl+R sets how many rounds a scan sends; Ctrl+Shift+D checks this computer; "
    "Ctrl+Shift+A addresses several modules.");

constexpr int kScanRoundsCommand = 18;

// A row action's outcome when the module did not answer once more.
constexpr int32_t kModuleSilent = -1;

// Runs off the window thread before a row action. After a scan of several
// rounds the row may come from an earlier round, whose table index is gone:
// the module is looked for by MAC and protocol, and asked for again. A
// single-round scan keeps its one discover: its rows name the current table.
bool FindInCurrentTable(const LibraryApi& api, bool severalRounds, ModuleRecord& record) {
  if (!severalRounds) return true;
  RefindSteps steps;
  steps.discover = [&api] { return api.SMDSP_SendDiscover(nullptr) == MDSP_RESULT_OK; };
  steps.sleep = [](uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
  const std::optional<uint32_t> index = FindModuleAgain(api, record, steps);
  if (!index) return false;
  record.moduleIndex = *index;
  return true;
}

}  // namespace

CMainDlg::CMainDlg(const std::string& requestedInterface, const MainDlgOptions& options,
                   QWidget* parent)
    : QDialog(parent), options_(options) {
  target_.fill(0xFF);
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

void CMainDlg::CreateControls() {
  setWindowTitle(QStringLiteral("Pelmar"));
  setWindowIcon(ToolIcon());
  setToolTip(kWindowHelp);
  setWhatsThis(kWindowHelp);
  const DialogUnits du(font());
  resize(du.rect(0, 0, 419, 201).size());

  // Tab order of the template: Scan, button 1, list, Settings. Scan is the
  // default button (Enter in the list scans); a focused button takes Enter
  // itself.
  scan_ = new QPushButton(QStringLiteral("Scan"), this);
  scan_->setObjectName(kIdScan);
  scan_->setGeometry(du.rect(302, 182, 50, 14));
  scan_->setDefault(true);
  scan_->setAutoDefault(true);

  button1_ = new QPushButton(QStringLiteral("Exit"), this);
  button1_->setObjectName(kIdButton1);
  button1_->setGeometry(du.rect(362, 182, 50, 14));
  button1_->setAutoDefault(true);

  list_ = new ModuleListCtrl(this);
  list_->setObjectName(kIdList);
  list_->setGeometry(du.rect(7, 7, 405, 170));
  list_->setWhatsThis(kWindowHelp);

  settings_ = new QPushButton(QStringLiteral("Settings"), this);
  settings_->setObjectName(kIdSettings);
  settings_->setGeometry(du.rect(242, 182, 50, 14));
  settings_->setAutoDefault(true);

  quietScan_ = new QTimer(this);
  quietScan_->setSingleShot(true);
  connect(quietScan_, &QTimer::timeout, this, [this] {
    if (list_->rowCount() == 0) list_->SetEmptyText(kNoModuleAnswered);
  });

  readBackWait_ = new QTimer(this);
  readBackWait_->setSingleShot(true);
  connect(readBackWait_, &QTimer::timeout, this, [this] {
    if (configured_ && configured_->readingBack) FinishReadBack(nullptr);
  });

  nextRound_ = new QTimer(this);
  nextRound_->setSingleShot(true);
  connect(nextRound_, &QTimer::timeout, this, [this] {
    // A request on its way keeps its table index: the round waits for it.
    if (sender_.busy()) {
      nextRound_->start(scanRounds_.intervalMs);
      return;
    }
    SendRound();
  });

  setTabOrder(scan_, button1_);
  setTabOrder(button1_, list_);
  setTabOrder(list_, settings_);

  connect(scan_, &QPushButton::clicked, this, [this] { ScanAndWarn(); });
  connect(button1_, &QPushButton::clicked, this, [this] { OnButton1(); });
  connect(settings_, &QPushButton::clicked, this, [this] { OnSettings(); });
  connect(list_, &ModuleListCtrl::contextMenuAt, this,
          [this](int row, const QPoint& at) { RunRowMenu(row, at); });
  connect(list_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
    if (index.isValid()) ConfigureModule(list_->RowMac(index.row()), list_->RowSecure(index.row()));
  });
  // There is no system menu to carry About: F1 and the window menu do.
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  help->setContext(Qt::WindowShortcut);
  connect(help, &QShortcut::activated, this, [this] { ShowAbout(); });
  auto* bulk = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+A")), this);
  bulk->setContext(Qt::WindowShortcut);
  connect(bulk, &QShortcut::activated, this, [this] { OpenBulkDialog(); });
  auto* rounds = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), this);
  rounds->setContext(Qt::WindowShortcut);
  connect(rounds, &QShortcut::activated, this, [this] { AskScanRounds(); });
  CreateListOutControls();
  auto* doctor = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D), this);
  doctor->setContext(Qt::WindowShortcut);
  connect(doctor, &QShortcut::activated, this, [this] { ShowDoctor(); });
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
  // Below the template's size the margins exceed the window: no negative size.
  list_->setGeometry(listLayout_.left, listLayout_.top,
                     std::max(0, W - listLayout_.right - listLayout_.left),
                     std::max(0, H - listLayout_.bottom - listLayout_.top));
  for (auto [button, m] : {std::pair{scan_, &scanLayout_}, std::pair{button1_, &button1Layout_},
                           std::pair{settings_, &settingsLayout_}})
    button->setGeometry(W - m->right - m->width, H - m->bottom - m->height, m->width, m->height);
  // The filter, while shown, takes its height from the top of the list.
  if (filter_ && filter_->isVisible()) {
    const QRect area = list_->geometry();
    const int h = std::min(filter_->sizeHint().height(), area.height());
    filter_->setGeometry(area.left(), area.top(), area.width(), h);
    list_->setGeometry(area.left(), area.top() + h + 2, area.width(),
                       std::max(0, area.height() - h - 2));
  }
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
  if (!versioning::LibraryFileAccepted(path)) {
    ShowMessage(this, kWarning, QStringLiteral("Incorrect MDSP.DLL version"),
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
  list_->CreateColumns(kStatusColumnSpec);  // after the specified seven
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
  LoadNamesFile();
  scanRounds_ = LoadScanRounds(ScanRoundsPath(settingsPath_));
  const std::string requestedText = interfaces_.requestedInterface;
  const bool requested = !interfaces_.requestedInterface.empty();
  const bool applied = ApplyInterface(api, interfaces_);
  const bool savedChoiceUsed = !requested || !applied;
  if (!applied) {
    ShowMessage(this, QStringLiteral("Information"),
                QStringLiteral("Could not find specified network adapter."),
                MessageIcon::Information);
    ApplyInterface(api, interfaces_);
    RefreshMarkContext(ChosenAddresses());
  } else if (requested) {
    // The requested interface alone scans (it matched an entry).
    RefreshMarkContext({DottedQuadValue(requestedText)});
  } else {
    RefreshMarkContext(ChosenAddresses());
  }

  // Callback, worker, the first scan; the DHCP server starts off.
  api.SMDSP_RegisterCallBack(&ModuleEventRelay::Callback);
  if (api.MDSP_Start() == 0) {
    // Without the worker no answer would ever arrive: say so instead of
    // showing an empty list as if the network were empty.
    ShowMessage(this, QStringLiteral("Error"),
                QStringLiteral("The protocol library could not start. No modules can be found."),
                MessageIcon::Error);
    ClearList();
  } else {
    ScanAndWarn();
  }
  // The saved interface is gone: every interface was scanned instead. Said
  // once; settings.dat stays as it is until the user saves Settings.
  if (savedChoiceUsed && !interfaces_.missingSavedInterface.empty() && !shutDown_)
    ShowMessage(this, QStringLiteral("Information"),
                QStringLiteral("The saved network interface %1 was not found. Scanning every "
                               "interface.")
                    .arg(QString::fromStdString(interfaces_.missingSavedInterface)),
                MessageIcon::Information);
  interfaces_.missingSavedInterface.clear();
  // The DHCP server is off after every start (the switch starts off).
  setResult(QDialog::Accepted);
  return true;
}

int CMainDlg::Run() {
  if (!Initialise()) return QDialog::Rejected;
  return exec();
}

void* CMainDlg::currentScanContext() const { return reinterpret_cast<void*>(scanNumber_); }

bool CMainDlg::StartScan() {
  if (sender_.busy()) {
    scanWaiting_ = true;
    return true;
  }
  // "new" and "gone" compare with the scan before this one.
  if (scanNumber_ != 0) {
    std::set<MacBytes> macs;
    for (const ModuleRecord& r : list_->listModel()->records()) macs.insert(MarkSubjectOf(r).mac);
    previousScan_ = std::move(macs);
  }
  ClearList();
  list_->listModel()->SetMarkContext(SubnetsOf(scanning_), previousScan_);
  if (!binding_.bound()) return false;
  const bool sent = SendRound();
  if (sent && options_.quietScanMs >= 0) quietScan_->start(options_.quietScanMs);
  if (sent && configured_ && configured_->accepted) {
    // This scan answers for the configured module; without its answer
    // within the wait it did not come back.
    configured_->readingBack = true;
    readBackWait_->start(readBackWaitMs_ + static_cast<int>((scanRounds_.rounds - 1) *
                                                            scanRounds_.intervalMs));
  }
  return sent;
}

bool CMainDlg::SendRound() {
  if (shutDown_ || !binding_.bound()) return false;
  // Each round has a number of its own: an answer of an earlier round read
  // after the next discover would address the emptied table.
  scanNumber_ = ++g_lastScan;
  merged_.BeginRound();
  const bool sent = binding_.api().SMDSP_SendDiscover(reinterpret_cast<void*>(scanNumber_)) ==
                    MDSP_RESULT_OK;
  if (merged_.round() < scanRounds_.rounds) nextRound_->start(scanRounds_.intervalMs);
  return sent;
}

void CMainDlg::SetScanRounds(const ScanRounds& setting) { scanRounds_ = setting; }

void CMainDlg::AskScanRounds() {
  ScanRoundsDlg dialog(scanRounds_, this);
  if (dialog.exec() != QDialog::Accepted || shutDown_) return;
  scanRounds_ = dialog.Choice();
  SaveScanRounds(ScanRoundsPath(settingsPath_), scanRounds_);
}

void CMainDlg::ScanAndWarn() {
  // A send on no interface at all succeeds and stays quiet.
  if (!StartScan() && binding_.bound())
    Warn(QStringLiteral("The scan could not be sent. Check the network interfaces in Settings."));
}

void CMainDlg::ClearList() {
  list_->ClearModuleList();
  merged_.Clear();
  nextRound_->stop();
  list_->SetEmptyText(QString());
  quietScan_->stop();
  ResetConfigurationTarget();
  // A newer scan ends a read-back still waiting (the text lasts until the next scan).
  if (configured_ && configured_->readingBack) {
    configured_.reset();
    readBackWait_->stop();
  }
}

void CMainDlg::SetConfigurationTarget(const uint8_t mac[6]) {
  std::copy(mac, mac + 6, target_.begin());
}

void CMainDlg::ResetConfigurationTarget() { target_.fill(0xFF); }

bool CMainDlg::HasConfigurationTarget() const {
  return std::any_of(target_.begin(), target_.end(), [](uint8_t b) { return b != 0xFF; });
}

void CMainDlg::Warn(const QString& text) {
  warnings_.push_back(text);
  if (warningOpen_) return;  // shown when the open one closes
  warningOpen_ = true;
  while (!warnings_.empty() && !shutDown_) {
    const QString next = warnings_.front();
    warnings_.pop_front();
    ShowMessage(this, kWarning, next, MessageIcon::Warning);
  }
  warnings_.clear();
  warningOpen_ = false;
}

void CMainDlg::HandleModuleEvent(const ModuleEventData& event) {
  if (shutDown_ || !binding_.bound()) return;
  if (bulkEvents_) {
    // The bulk runner discovers and configures on its own meanwhile.
    HostEvent e;
    e.event = event.event & 0xFFFF;
    e.index = static_cast<int32_t>(event.index);
    if (event.macGiven) std::memcpy(e.mac, event.mac, 6);
    else if (e.event == SMDSP_EVENT_MODULE_FOUND)
      binding_.api().SMDSP_GetModuleMac(event.index, e.mac);
    bulkEvents_->Push(e);
    return;
  }
  const LibraryApi& api = binding_.api();
  const int number = event.event & 0xFFFF;
  // The event concerns the target when the module it names is the target.
  // The module's own MAC comes with the event. Only event 1 has a table index
  // to fall back on; the index given with the others is 0 and would name
  // whichever module answered first.
  uint8_t mac[6];
  bool macKnown = event.macGiven;
  if (macKnown)
    std::memcpy(mac, event.mac, 6);
  else if (number == SMDSP_EVENT_MODULE_FOUND)
    macKnown = api.SMDSP_GetModuleMac(event.index, mac) == MDSP_RESULT_OK;
  const bool concernsTarget =
      macKnown && HasConfigurationTarget() && std::memcmp(mac, target_.data(), 6) == 0;
  if (concernsTarget && number != SMDSP_EVENT_MODULE_FOUND) ResetConfigurationTarget();

  switch (number) {
    case SMDSP_EVENT_MODULE_FOUND: {
      // A module found in an earlier scan: its index addressed the old table.
      if (event.context != currentScanContext()) {
        ++staleDropped_;
        return;
      }
      ModuleRecord record;
      if (ReadModuleRecord(api, event.index, &record)) {
        if (scanRounds_.rounds > 1) {
          // Merged by MAC and protocol: the latest round's answer wins.
          merged_.Add(record);
          list_->AddOrReplaceModuleRow(record);
        } else {
          list_->AddModuleRow(record);
        }
        list_->SetEmptyText(QString());
        if (configured_ && configured_->readingBack && record.macValid &&
            std::memcmp(record.mac, configured_->before.mac, 6) == 0 &&
            record.secure == configured_->before.secure)
          FinishReadBack(&record);
      }
      return;
    }
    case SMDSP_EVENT_CONFIGURED:
      if (concernsTarget) {
        if (configured_ && std::memcmp(configured_->before.mac, mac, 6) == 0)
          configured_->accepted = true;
        ScanAndWarn();  // the list shows the new settings
      }
      return;
    case SMDSP_EVENT_UNABLE:
      if (concernsTarget) Warn(QStringLiteral("Unable to fulfill the request"));
      return;
    case SMDSP_EVENT_INVALID_PASSWORD:
    case SMDSP_EVENT_INVALID_PASSWORD_2:
      Warn(QStringLiteral("Invalid Password"));
      return;
    case SMDSP_EVENT_HOSTNAME_TOO_LONG:
      Warn(QStringLiteral("Hostname too long"));
      return;
    case SMDSP_EVENT_PASSWORD_TOO_LONG:
      Warn(QStringLiteral("Password too long"));
      return;
    case SMDSP_EVENT_INVALID_CONFIGURATION:
      if (concernsTarget) Warn(QStringLiteral("Invalid Configuration"));
      return;
    default:
      return;  // 6, 7, 8, 9 and unknown events: no reaction
  }
}

int CMainDlg::RunRowMenu(int row, const QPoint& globalPos) {
  if (row < 0 || row >= list_->rowCount()) return 0;
  const QString ipText = list_->CellText(row, kColumnIp);
  const Mac mac = list_->RowMac(row);
  const std::optional<bool> secure = list_->RowSecure(row);
  QMenu menu(this);
  QAction* configuration = menu.addAction(QStringLiteral("Configuration"));
  configuration->setData(kCommandConfiguration);
  menu.setDefaultAction(configuration);  // drawn bold
  menu.addAction(QStringLiteral("Open Web-Interface"))->setData(kCommandWebInterface);
  QAction* wink = menu.addAction(QStringLiteral("Wink"));
  wink->setData(kCommandWink);
  const ModuleRecord* record = FindRecord(list_->listModel()->records(), mac.data(), secure);
  if (record && NeedsDhcpRecovery(*record)) {
    QAction* recover = menu.addAction(QStringLiteral("Recover by &DHCP..."));
    recover->setData(kCommandRecoverByDhcp);
    recover->setEnabled(!sender_.busy());
  }
  // One request at a time: the library keeps one pending configuration.
  configuration->setEnabled(!sender_.busy());
  wink->setEnabled(!sender_.busy());
  // Beside the specified three: a module marked "other network" or "no
  // address" can be moved to a network the host scans.
  std::vector<QAction*> moves;
  if (MarksAllowMove(list_->RowMarks(row)) && !scanning_.empty()) {
    const QString label = QStringLiteral("&Move to this network...");
    if (scanning_.size() == 1) {
      moves.push_back(menu.addAction(label));
    } else {
      QMenu* networks = menu.addMenu(label);
      for (const HostNetwork& n : scanning_)
        moves.push_back(networks->addAction(QString::fromStdString(NetworkLabel(n))));
    }
    for (QAction* move : moves) {
      move->setData(kCommandMove);
      move->setEnabled(!sender_.busy() && !prober_.busy());
    }
  }
  menu.addSeparator();
  menu.addAction(QStringLiteral("Name and note..."))->setData(kCommandNameNote);
  QAction* chosen = menu.exec(globalPos);
  const int command = chosen ? chosen->data().toInt() : 0;
  const size_t network =
      static_cast<size_t>(std::find(moves.begin(), moves.end(), chosen) - moves.begin());
  if (shutDown_) return 0;
  switch (command) {
    case kCommandConfiguration: ConfigureModule(mac, secure); break;
    case kCommandWebInterface:
      if (scanRounds_.rounds > 1 && !sender_.busy())
        OpenWebInterfaceOfModule(mac, secure);
      else
        OpenWebInterface(ipText);
      break;
    case kCommandWink: WinkModule(mac, secure); break;
    case kCommandNameNote: EditNameNote(mac); break;
    case kCommandRecoverByDhcp: RecoverByDhcp(mac, secure); break;
    case kCommandMove: MoveModule(mac, secure, network); break;
    default: break;
  }
  return command;
}

bool CMainDlg::ConfigureModule(const Mac& mac, std::optional<bool> secure) {
  if (!binding_.bound() || sender_.busy()) return false;
  const ModuleRecord* found = FindRecord(list_->listModel()->records(), mac.data(), secure);
  if (!found) return false;
  // The dialog works on a copy of this one record.
  return ConfigureRecord(*found);
}

bool CMainDlg::ConfigureRecord(const ModuleRecord& source) {
  if (!binding_.bound() || sender_.busy()) return false;
  const ModuleRecord record = source;
  const ConfigurationChoice choice = AskConfiguration(this, record.mac, {&record, 1});
  if (shutDown_ || choice.result != ConfigurationResult::Set) return false;
  // A wink started while the dialog was open goes first; this one is not sent.
  if (sender_.busy()) return false;
  // The target is set before the request leaves, so that an answer that
  // comes at once is matched; a failed send resets it.
  SetConfigurationTarget(choice.record.mac);
  configured_ = SentConfiguration{choice.record, PlanFromInput(choice.input), false, false};
  const LibraryApi api = binding_.api();
  void* context = currentScanContext();
  const bool severalRounds = scanRounds_.rounds > 1;
  sender_.Start(
      [api, choice, context, severalRounds] {
        ModuleRecord record = choice.record;
        if (!FindInCurrentTable(api, severalRounds, record)) return kModuleSilent;
        uint8_t scratch[6];
        return static_cast<int32_t>(
            SendConfiguration(api, record, choice.input, scratch, SystemRandom, context));
      },
      [this, record = choice.record](int32_t outcome) {
        if (outcome == kModuleSilent) {
          if (std::memcmp(target_.data(), record.mac, 6) == 0) ResetConfigurationTarget();
          Warn(QString::fromLatin1(kModuleSilentText));
          RunWaitingScan();
          return;
        }
        const auto result = static_cast<ConfigureOutcome>(outcome);
        if (result == ConfigureOutcome::Failed && std::memcmp(target_.data(), record.mac, 6) == 0)
          ResetConfigurationTarget();
        if (result != ConfigureOutcome::Sent) {
          Warn(QString::fromLatin1(result == ConfigureOutcome::ModuleListChanged
                                       ? kModuleListChangedText
                                       : kConfigureFailedText));
        }
        RunWaitingScan();
      });
  return true;
}

void CMainDlg::FinishReadBack(const ModuleRecord* after) {
  const SentConfiguration sent = *configured_;
  configured_.reset();
  readBackWait_->stop();
  const ReadBack readBack = CompareReadBack(sent.plan, sent.before, after);
  lastReadBack_ = QString::fromStdString(ReadBackText(readBack));
  Mac mac;
  std::copy(sent.before.mac, sent.before.mac + 6, mac.begin());
  // Shown in the row's Status cell and tooltip until the next scan.
  list_->listModel()->SetRowNote(mac, sent.before.secure, lastReadBack_);
  if (!readBack.confirmed())
    Warn(QString::fromStdString(MacText(sent.before.mac)) +
         QStringLiteral(" accepted the configuration, but the read-back ") + lastReadBack_);
}

void CMainDlg::OpenWebInterface(const QString& ipText) {
  // Rows of modules without an address read "N/A": there is nothing to open.
  if (ipText.isEmpty() || ipText == QStringLiteral("N/A")) return;
  const std::string url = ("http://" + ipText.toStdString()).substr(0, 255);
  if (options_.urlOpener)
    options_.urlOpener(url);
  else
    platform::OpenWithShell(url);  // never through a shell command line
}

bool CMainDlg::OpenWebInterfaceOfModule(const Mac& mac, std::optional<bool> secure) {
  if (!binding_.bound() || sender_.busy()) return false;
  const ModuleRecord* found = FindRecord(list_->listModel()->records(), mac.data(), secure);
  if (!found) return false;
  const ModuleRecord record = *found;
  const LibraryApi api = binding_.api();
  // The address as the module gives it now; written by the call, read when it is done.
  auto ipText = std::make_shared<std::string>();
  sender_.Start(
      [api, record, ipText] {
        ModuleRecord current = record;
        if (!FindInCurrentTable(api, true, current)) return kModuleSilent;
        ModuleRecord fresh;
        ReadModuleRecord(api, current.moduleIndex, &fresh);
        *ipText = fresh.ipValid ? Ipv4Text(fresh.ip) : std::string();
        return int32_t{0};
      },
      [this, ipText](int32_t outcome) {
        if (outcome == kModuleSilent)
          Warn(QString::fromLatin1(kModuleSilentText));
        else
          OpenWebInterface(QString::fromStdString(ipText->empty() ? "N/A" : *ipText));
        RunWaitingScan();
      });
  return true;
}

bool CMainDlg::WinkModule(const Mac& mac, std::optional<bool> secure) {
  if (!binding_.bound() || sender_.busy()) return false;
  const ModuleRecord* found = FindRecord(list_->listModel()->records(), mac.data(), secure);
  if (!found) return false;
  // A copy: the prompt runs a nested event loop in which the list may be
  // cleared and filled again.
  const ModuleRecord record = *found;
  std::string password;
  if (WinkNeedsPassword(record)) {
    CPasswordDlg prompt(this);
    prompt.SetCaption(QString::fromStdString(WinkCaption(record)));
    if (prompt.exec() != QDialog::Accepted || shutDown_) return false;
    password = prompt.Password().toStdString().substr(0, 255);
    if (sender_.busy()) return false;  // another request left meanwhile
  }
  const LibraryApi api = binding_.api();
  void* context = currentScanContext();
  const bool severalRounds = scanRounds_.rounds > 1;
  sender_.Start(
      [api, record, password, context, severalRounds] {
        ModuleRecord current = record;
        if (!FindInCurrentTable(api, severalRounds, current)) return kModuleSilent;
        return static_cast<int32_t>(SendWink(api, current, password, context));
      },
      [this](int32_t outcome) {
        if (outcome == kModuleSilent)
          Warn(QString::fromLatin1(kModuleSilentText));
        else if (static_cast<WinkOutcome>(outcome) != WinkOutcome::Sent)
          Warn(QString::fromLatin1(kWinkFailedText));
        RunWaitingScan();
      });
  return true;
}

std::vector<uint32_t> CMainDlg::ChosenAddresses() const {
  std::vector<uint32_t> out;
  const uint32_t count = std::min(interfaces_.count, kMaxInterfaces);
  if (interfaces_.specificInterface) {
    if (count > 0)
      out.push_back(DottedQuadValue(
          interfaces_.entries[interfaces_.selectedInterface < count ? interfaces_.selectedInterface : 0]
              .address));
    return out;
  }
  for (uint32_t i = 0; i < count; ++i) out.push_back(DottedQuadValue(interfaces_.entries[i].address));
  return out;
}

void CMainDlg::RefreshMarkContext(const std::vector<uint32_t>& scanningAddresses) {
  hostNetworks_ = options_.hostNetworks ? options_.hostNetworks() : platform::ListHostNetworks();
  scanning_ = ScanningNetworks(hostNetworks_, scanningAddresses);
}

bool CMainDlg::MoveModule(const Mac& mac, std::optional<bool> secure, size_t network) {
  if (!binding_.bound() || sender_.busy() || prober_.busy() || network >= scanning_.size())
    return false;
  const ModuleRecord* found = FindRecord(list_->listModel()->records(), mac.data(), secure);
  if (!found) return false;
  const ModuleRecord record = *found;
  const HostNetwork target = scanning_[network];
  std::vector<MarkSubject> listed;
  for (const ModuleRecord& r : list_->listModel()->records()) listed.push_back(MarkSubjectOf(r));
  const std::set<uint32_t> taken = TakenAddresses(listed, hostNetworks_);
  auto probe = options_.neighbourProbe;
  if (!probe)
    probe = [](uint32_t address, const std::string& name) {
      return platform::NeighbourAnswers(address, name);
    };
  // Probing waits for the link; the window keeps listing meanwhile. 0 is
  // never a candidate, so it stands for none found.
  prober_.Start(
      [target, taken, probe] {
        const auto address = ChooseFreeAddress(
            target, taken, [&](uint32_t candidate) { return probe(candidate, target.name); });
        return static_cast<int32_t>(address.value_or(0));
      },
      [this, record, target](int32_t found) {
        if (shutDown_) return;
        const auto address = static_cast<uint32_t>(found);
        if (address == 0) {
          Warn(QStringLiteral("No free address found on %1: the first %2 addresses tried are "
                              "in use. Configure the module by hand.")
                   .arg(QString::fromStdString(NetworkLabel(target)))
                   .arg(kMaxAddressProbes));
          return;
        }
        ConfigureRecord(MovedRecord(record, target, address));
      });
  return true;
}

void CMainDlg::RunWaitingScan() {
  if (!scanWaiting_ || shutDown_) return;
  scanWaiting_ = false;
  ScanAndWarn();
}

void CMainDlg::contextMenuEvent(QContextMenuEvent* event) {
  // The list handles its own right-clicks; everything else gets the window menu.
  RunWindowMenu(event->globalPos());
  event->accept();
}

void CMainDlg::RunWindowMenu(const QPoint& globalPos) {
  QMenu menu(this);
  QAction* exportList = menu.addAction(QStringLiteral("&Export list..."));
  exportList->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  menu.addAction(QString::fromLatin1(versioning::kAboutCommandText))->setData(kAboutCommand);
  QAction* doctor = menu.addAction(QStringLiteral("&Check this computer..."));
  doctor->setData(kDoctorCommand);
  doctor->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D));
  doctor->setEnabled(!sender_.busy());
  QAction* rounds = menu.addAction(QStringLiteral("Scan &rounds..."));
  rounds->setData(kScanRoundsCommand);
  rounds->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  QAction* bulk = menu.addAction(QStringLiteral("Address &several modules..."));
  bulk->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A));
  bulk->setData(kCommandBulk);
  bulk->setEnabled(binding_.bound() && !sender_.busy());
  QAction* chosen = menu.exec(globalPos);
  const int command = chosen ? chosen->data().toInt() : 0;
  if (shutDown_) return;
  if (command == kAboutCommand) ShowAbout();
  if (command == kDoctorCommand) ShowDoctor();
  if (command == kScanRoundsCommand) AskScanRounds();
  if (chosen == exportList) RunExportDialog();
  if (command == kCommandBulk) OpenBulkDialog();
}

void CMainDlg::OpenBulkDialog() {
  if (!binding_.bound() || sender_.busy() || bulkEvents_) return;
  // No round of the window's own may empty the library's table under the
  // runner: a scan cut short here is sent again afterwards.
  const bool roundsCut = nextRound_->isActive();
  nextRound_->stop();
  HostEventQueue events;
  CBulkDialog dialog(binding_.api(), events, list_->listModel()->records(),
                     platform::InterfaceSubnets(ChosenAddresses()), this);
  bulkEvents_ = &events;
  dialog.exec();
  bulkEvents_ = nullptr;
  // The runner's scans renumbered the library's table under the list.
  if ((dialog.ranOnce() || roundsCut) && !shutDown_) {
    ScanAndWarn();
    // The rows come back with this scan; each read-back joins its row's Status.
    const std::vector<BulkEntry>& entries = dialog.entries();
    const std::vector<BulkResult>& results = dialog.results();
    for (size_t i = 0; i < entries.size() && i < results.size(); ++i)
      if (results[i].state == BulkState::Confirmed || results[i].state == BulkState::Differs)
        list_->listModel()->SetRowNote(entries[i].mac, entries[i].secure,
                                       QString::fromStdString(results[i].text));
  }
}

void CMainDlg::ShowDoctor() {
  // The check renumbers the module table: not while a request is on its way.
  if (sender_.busy()) return;
  const bool bound = binding_.bound();
  const LibraryApi api = bound ? binding_.api() : LibraryApi{};
  CDoctorDlg doctor(
      [api, bound] {
        DoctorOptions options;
        options.scanTimeoutMs = kCheckScanMs;
        options.scanContext = &g_checkContext;
        return RunDoctor(bound ? &api : nullptr, options);
      },
      [this] {
        if (shutDown_ || !binding_.bound()) return;
        ApplyInterface(binding_.api(), interfaces_);
        ScanAndWarn();
      },
      this);
  doctor.Check();
  doctor.exec();
}

bool CMainDlg::RecoverByDhcp(const Mac& mac, std::optional<bool> secure) {
  if (!binding_.bound() || sender_.busy()) return false;
  const ModuleRecord* found = FindRecord(list_->listModel()->records(), mac.data(), secure);
  if (!found || !NeedsDhcpRecovery(*found)) return false;
  const ModuleRecord record = *found;
  std::vector<std::string> addresses;
  for (uint32_t i = 0; i < interfaces_.count; ++i)
    if (!interfaces_.specificInterface || i == interfaces_.selectedInterface)
      addresses.push_back(interfaces_.entries[i].address);
  const LibraryApi api = binding_.api();
  RecoveryHooks hooks;
  hooks.locate = [api, addresses](const uint8_t moduleMac[6]) {
    const std::string address =
        FindAnsweringInterface(api, moduleMac, addresses, kCheckScanMs, &g_checkContext);
    return address.empty() ? std::string() : InterfaceNameOf(address);
  };
  hooks.located = [this] {
    if (shutDown_ || !binding_.bound()) return;
    ApplyInterface(binding_.api(), interfaces_);
    StartScan();
  };
  hooks.rescan = [this] {
    if (!shutDown_) StartScan();
  };
  hooks.records = [this] { return list_->listModel()->records(); };
  hooks.settingsServerOn = [this] { return dhcp_->IsOn(); };
  CDhcpRecoveryDlg recovery(record, hooks, this);
  recovery.Begin();
  recovery.exec();
  return true;
}

void CMainDlg::ShowAbout() {
  CAboutDlg about(this, options_.aboutProgramFile);
  about.exec();
}

void CMainDlg::OnSettings() {
  if (!binding_.bound()) return;
  const LibraryApi& api = binding_.api();
  SettingsCommandSteps steps;
  steps.refreshInterfaces = [this, &api] { RefreshInterfaces(api, interfaces_); };
  steps.runDialog = [this](const SettingsChoice& current) -> std::optional<SettingsChoice> {
    QStringList descriptions;  // interface order, never sorted
    for (uint32_t i = 0; i < interfaces_.count; ++i)
      descriptions << QString::fromStdString(interfaces_.entries[i].description);
    CSettings dialog(descriptions, current, this);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Choice();
  };
  steps.takeOver = [this](bool specific, uint32_t selected) {
    interfaces_.specificInterface = specific ? 1 : 0;
    interfaces_.selectedInterface = selected;
  };
  steps.applyInterface = [this, &api] {
    ApplyInterface(api, interfaces_);
    RefreshMarkContext(ChosenAddresses());
  };
  steps.clearAndScan = [this] { ScanAndWarn(); };
  steps.showPlainMessage = [this](const std::string& text) {
    ShowMessage(this, QStringLiteral("Pelmar"), QString::fromStdString(text), MessageIcon::None);
  };
  steps.saveSettings = [this] { SaveSettings(settingsPath_, interfaces_); };
  RunSettingsCommand({interfaces_.specificInterface != 0, interfaces_.selectedInterface, false},
                     *dhcp_, steps);
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

void CMainDlg::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  // No more events reach this window, the list is emptied, the DHCP poll
  // thread is joined before its socket closes, the worker is joined, the
  // library unloaded.
  if (session_) ModuleEventRelay::Instance().Detach(session_);
  session_ = 0;
  // A wink or configuration still in the library ends within its seed wait.
  sender_.Abandon();
  prober_.Abandon();
  ClearList();
  dhcp_->SwitchOff();
  if (binding_.bound()) binding_.api().MDSP_Stop();
  binding_.Unbind();
}

}  // namespace pelmar
