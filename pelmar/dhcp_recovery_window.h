// "Recover by DHCP...": serves one module alone on the interface it answered
// on, logs each offer and acknowledgement, and stops the server once the
// module answers with its new address. The rules are dhcp_recovery's.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "background_call.h"
#include "dhcp_recovery.h"
#include "dhcp_switch.h"
#include "module_record.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace pelmar {

// What the window needs of the main window.
struct RecoveryHooks {
  // Off the window thread: the name of the interface the module answers
  // through, or "" when no single one was found.
  std::function<std::string(const uint8_t mac[6])> locate;
  // On the window thread after locate (the main window chooses its
  // interfaces again).
  std::function<void()> located;
  // A scan of the list, and the records it holds.
  std::function<void()> rescan;
  std::function<std::vector<ModuleRecord>()> records;
  // The server of the Settings is on: port 67 is taken already.
  std::function<bool()> settingsServerOn;
};

class CDhcpRecoveryDlg : public QDialog {
  Q_OBJECT
 public:
  CDhcpRecoveryDlg(const ModuleRecord& record, RecoveryHooks hooks, QWidget* parent = nullptr);
  ~CDhcpRecoveryDlg() override;

  // Finds the interface, then starts the server.
  void Begin();
  QString logText() const;
  bool serving() const { return server_.IsOn(); }
  bool done() const { return done_; }

 private:
  static void OnAnswer(const DhcpAnswer& answer, void* context);
  void Log(const QString& line);
  void StartServing(const std::string& interfaceName);
  void CheckTaken();
  void Finish(const QString& line);

  RecoveryHooks hooks_;
  uint8_t mac_[6] = {};
  std::unique_ptr<SingleModuleRecovery> recovery_;
  std::shared_ptr<std::string> located_;
  BackgroundCall call_;
  QLabel* status_ = nullptr;
  QPlainTextEdit* log_ = nullptr;
  QPushButton* close_ = nullptr;
  QTimer* rescan_ = nullptr;
  bool done_ = false;
  // Last: switched off and joined first, before the window's parts go.
  DhcpSwitch server_;
};

}  // namespace pelmar
