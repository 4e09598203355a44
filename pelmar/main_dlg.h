// The main window CMainDlg: the template with its list, Scan, button 1 and
// Settings, the initialisation order, scanning, library events into the list
// and into messages, the row menu (configuration, web interface, wink), the
// Settings command with the internal DHCP server, About, and the stop order.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "background_call.h"
#include "bulk_runner.h"
#include "dhcp_switch.h"
#include "event_relay.h"
#include "interface_table.h"
#include "library_api.h"
#include "library_binding.h"
#include "list_export.h"
#include "module_list.h"
#include "module_names.h"
#include "move_to_network.h"
#include "read_back.h"
#include "scan_rounds.h"

class QMenu;
class QPushButton;
class QTimer;

namespace pelmar {

// Where the window finds its library and its settings file. Empty: the
// program's own resolution and SettingsPath().
struct MainDlgOptions {
  std::string libraryPath;
  std::string settingsPath;
  std::string collatorLocale;  // "" = the user's locale
  // Receives "http://" and the IP text; empty: the desktop's URL opener.
  std::function<void(const std::string& url)> urlOpener;
  // Whose version block the About box shows; "" = the running program.
  std::string aboutProgramFile;
  // How long after a scan an empty list says that no module answered.
  int quietScanMs = 3000;
  // The names file; "" = names.txt beside the settings file.
  std::string namesPath;
  // The host's networks and the probe whether anything answers for an
  // address on an interface's link; empty: the kernel's.
  std::function<std::vector<HostNetwork>()> hostNetworks;
  std::function<bool(uint32_t address, const std::string& interfaceName)> neighbourProbe;
};

using Mac = std::array<uint8_t, 6>;

class ListFilterField;

class CMainDlg : public QDialog {
  Q_OBJECT
 public:
  // Control identifiers of template 102, kept as object names.
  static constexpr char kIdScan[] = "1000";
  static constexpr char kIdButton1[] = "1";
  static constexpr char kIdList[] = "1002";
  static constexpr char kIdSettings[] = "1022";

  explicit CMainDlg(const std::string& requestedInterface, const MainDlgOptions& options = {},
                    QWidget* parent = nullptr);
  ~CMainDlg() override;

  // "OK" in picker mode, "Exit" otherwise; set before Run.
  void SetButton1Caption(const QString& caption) { button1Caption_ = caption; }

  // Initialisation (binding, list, first scan), then the modal run. Returns Accepted or
  // Rejected (Rejected only after a failed version check or binding).
  int Run();
  // Initialisation alone, for tests that drive the window without a modal
  // loop; false when the window ended with Rejected.
  bool Initialise();

  // Picker result: the selected row's IP and MAC cells when button 1 was
  // pressed (at most 17 characters each); empty otherwise.
  const QString& selectedIp() const { return selectedIp_; }
  const QString& selectedMac() const { return selectedMac_; }

  // The parts the dialogs and the tests reach.
  ModuleListCtrl* moduleList() const { return list_; }
  const LibraryApi& libraryApi() const { return binding_.api(); }
  bool libraryBound() const { return binding_.bound(); }
  InterfaceChoice& interfaceChoice() { return interfaces_; }
  // The configuration target: the MAC of the module whose configuration
  // is pending, all 0xFF = none.
  const Mac& configurationTarget() const { return target_; }
  void SetConfigurationTarget(const uint8_t mac[6]);
  void ResetConfigurationTarget();
  bool HasConfigurationTarget() const;
  QPushButton* scanButton() const { return scan_; }
  QPushButton* button1() const { return button1_; }
  QPushButton* settingsButton() const { return settings_; }
  const std::string& settingsPath() const { return settingsPath_; }
  // The context of the current scan (never null).
  void* currentScanContext() const;

  // Scan: ClearModuleList, then SMDSP_SendDiscover with a new scan number;
  // false when the discover could not be sent. Shows nothing. While a wink
  // or configuration is on its way the scan waits for it (a scan renumbers
  // the module table under the request) and true is returned.
  bool StartScan();

  // Commands of the row menu; the menu's choice is returned, not posted.
  static constexpr int kCommandConfiguration = 0x1001;
  static constexpr int kCommandWebInterface = 0x1002;
  static constexpr int kCommandWink = 0x1003;
  static constexpr int kCommandRecoverByDhcp = 0x1004;
  static constexpr int kCommandNameNote = 0x1005;
  // "Move to this network..." (one entry per scanning network when there
  // are several); offered for rows marked "other network" or "no address".
  static constexpr int kCommandMove = 0x1006;

  // The row menu at globalPos for a row (nothing for row < 0), then the
  // chosen command. The row's MAC and IP are taken before the menu opens, so
  // a list changed meanwhile never redirects the command to another module.
  // Configuration and Wink are greyed while one is on its way.
  // Returns the command chosen, 0 for none.
  int RunRowMenu(int row, const QPoint& globalPos);
  // The three row actions, by the row's record MAC (configuration, wink)
  // and IP cell (web interface). Configuration and wink send off the window
  // thread; while one is on its way another is refused (returns false).
  // `secure` picks the row's protocol when a module answered in both.
  bool ConfigureModule(const Mac& mac, std::optional<bool> secure = std::nullopt);
  void OpenWebInterface(const QString& ipText);
  // After a scan of several rounds: the module's web interface at the
  // address of its answer to the current table, once it is found there.
  bool OpenWebInterfaceOfModule(const Mac& mac, std::optional<bool> secure);
  bool WinkModule(const Mac& mac, std::optional<bool> secure = std::nullopt);
  // Looks for a free address on scanning network `network` (off the window
  // thread), then opens the configuration dialog pre-filled with it, the
  // network's mask and gateway and DHCP off. False when nothing started.
  bool MoveModule(const Mac& mac, std::optional<bool> secure, size_t network);
  // The networks of the interfaces that scan, in the order of the choice.
  const std::vector<HostNetwork>& scanningNetworks() const { return scanning_; }
  // Whether a free address is being looked for.
  bool probing() const { return prober_.busy(); }
  // A wink or configuration is on its way.
  bool sending() const { return sender_.busy(); }
  // "Address several modules..." (window menu, Ctrl+Shift+A): the bulk
  // dialog over the listed modules; the list is scanned again after a run.
  void OpenBulkDialog();
  static constexpr int kCommandBulk = 0x1010;

  // The window menu outside the list ("&About Pelmar...") and the box.
  void RunWindowMenu(const QPoint& globalPos);
  void ShowAbout();
  // The Settings button.
  void OnSettings();

  // Lists out and names (list_out.cpp). The row's texts with its name and
  // note as exported, copied and filtered.
  ListRow ExportRowAt(int row) const;
  // Every row in list order to `path`: JSON when it ends in ".json", else
  // CSV; written to a temporary file and renamed. Warns and returns false
  // when it cannot be written.
  bool ExportList(const QString& path);
  // "Export list...": asks for the file, then ExportList.
  void RunExportDialog();
  // Ctrl+C: the selected row, tab-separated under a header line.
  void CopySelectedRow();
  // "Name and note..." for the module with that MAC.
  bool EditNameNote(const Mac& mac);
  const ModuleNames& names() const { return names_; }
  const std::string& namesPath() const { return namesPath_; }
  ListFilterField* listFilter() const { return filter_; }
  // "Check this computer..." of the window menu (also Ctrl+Shift+D): the
  // doctor's report; the list is scanned again afterwards.
  void ShowDoctor();
  // "Recover by DHCP..." of the row menu, offered for a module that asks
  // for an address (DHCP on, 0.0.0.0): serves that module alone.
  bool RecoverByDhcp(const Mac& mac, std::optional<bool> secure = std::nullopt);
  DhcpControl& dhcp() { return *dhcp_; }
  // Tests hand in a DHCP switch of their own (before Initialise).
  void SetDhcpControl(DhcpControl* control) { dhcp_ = control ? control : &ownDhcp_; }

  // The window's handling of one library event.
  void HandleModuleEvent(const ModuleEventData& event);
  // A Warning box; one that comes while another is open waits for it to
  // close, and events go on being handled meanwhile.
  void Warn(const QString& text);

  // How long after the scan that follows an accepted configuration the
  // module may take to answer before its read-back says it did not.
  void SetReadBackWaitMs(int ms) { readBackWaitMs_ = ms; }
  // The read-back text of the last configured module ("" while none).
  const QString& lastReadBack() const { return lastReadBack_; }
  // How many discovers a scan sends (saved beside the settings file). A
  // new setting takes effect with the next scan.
  const ScanRounds& scanRounds() const { return scanRounds_; }
  void SetScanRounds(const ScanRounds& setting);
  // "Scan rounds...": the dialog, then the choice saved.
  void AskScanRounds();
  // Rounds of the current scan sent so far.
  uint32_t roundsSent() const { return merged_.round(); }

  // Events of a stale scan dropped so far.
  uint64_t staleEventsDropped() const { return staleDropped_; }

 public slots:
  void reject() override;  // Escape and Cancel do nothing

 protected:
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CreateControls();
  void RecordLayout();
  void ApplyLayout();
  void OnButton1();
  void ScanAndWarn();
  // A scan asked for while a request was on its way, once it has left.
  void RunWaitingScan();
  // Sends the current scan's next round; false when it could not be sent.
  bool SendRound();
  void ClearList();
  void Shutdown();
  void CreateListOutControls();
  void LoadNamesFile();
  // The host's networks and which of them scan, after the interface choice.
  void RefreshMarkContext(const std::vector<uint32_t>& scanningAddresses);
  std::vector<uint32_t> ChosenAddresses() const;
  // The configuration dialog on a copy of `record`, then the send.
  bool ConfigureRecord(const ModuleRecord& record);

  MainDlgOptions options_;
  std::string settingsPath_;
  QString button1Caption_ = QStringLiteral("Exit");
  QString selectedIp_, selectedMac_;
  platform::LibraryBinding binding_;
  InterfaceChoice interfaces_;
  uint64_t session_ = 0;
  uintptr_t scanNumber_ = 0;
  uint64_t staleDropped_ = 0;
  bool initialised_ = false;
  bool shutDown_ = false;
  Mac target_;
  BackgroundCall sender_;
  BackgroundCall prober_;
  std::vector<HostNetwork> hostNetworks_, scanning_;
  std::optional<std::set<MacBytes>> previousScan_;
  bool scanWaiting_ = false;  // a scan asked for while a request was on its way
  std::deque<QString> warnings_;
  bool warningOpen_ = false;
  QTimer* quietScan_ = nullptr;
  ScanRounds scanRounds_;
  MergedScan merged_;
  QTimer* nextRound_ = nullptr;

  // The configuration on its way, and after the module accepted it, the
  // scan whose answer is compared with what was sent.
  struct SentConfiguration {
    ModuleRecord before;
    ConfigurePlan plan;
    bool accepted = false;     // the module said yes: read back after the next scan
    bool readingBack = false;  // that scan left; its answers (all rounds) are compared
  };
  std::optional<SentConfiguration> configured_;
  // While the bulk dialog is open its runner takes every library event.
  HostEventQueue* bulkEvents_ = nullptr;
  QTimer* readBackWait_ = nullptr;
  int readBackWaitMs_ = 3000;
  QString lastReadBack_;
  void FinishReadBack(const ModuleRecord* after);

  ModuleListCtrl* list_ = nullptr;
  ListFilterField* filter_ = nullptr;
  ModuleNames names_;
  std::string namesPath_;
  QPushButton* scan_ = nullptr;
  QPushButton* button1_ = nullptr;
  QPushButton* settings_ = nullptr;
  DhcpSwitch ownDhcp_;
  DhcpControl* dhcp_ = &ownDhcp_;

  struct Margins {
    int left = 0, top = 0, width = 0, height = 0, right = 0, bottom = 0;
  };
  Margins listLayout_, scanLayout_, button1Layout_, settingsLayout_;
  bool layoutRecorded_ = false;
};

}  // namespace pelmar
