// "Address several modules...": the listed modules with a check box each,
// a plan handed out from a first address or loaded from a CSV file, its
// conflicts, and Apply, which runs the host core's one-module-at-a-time
// runner off the window thread with a result per module.
#pragma once

#include <QDialog>
#include <QString>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "bulk_plan.h"
#include "bulk_runner.h"
#include "library_api.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace pelmar {

class CBulkDialog : public QDialog {
  Q_OBJECT
 public:
  enum Column { kColumnCheck, kColumnMac, kColumnType, kColumnIp, kColumnPlan, kColumnResult,
                kBulkColumns };

  // `listed`: the window's records (a module of both protocols once, by its
  // secure entry); `subnets`: those of the interfaces scanned; `events`: the
  // queue the window fills with library events while the dialog runs.
  CBulkDialog(const LibraryApi& api, HostEventQueue& events, std::vector<ModuleRecord> listed,
              std::vector<HostSubnet> subnets, QWidget* parent = nullptr);
  ~CBulkDialog() override;

  // The plan from the first address and the other fields, for the checked
  // modules in list order. False with the status text when a field is bad.
  bool PlanFromFields();
  // The plan from a CSV text (Load CSV... reads the file).
  void PlanFromCsv(const std::string& text);
  // Starts the run with this password (Apply asks for it); false when the
  // plan has conflicts or a run is on.
  bool StartRun(const std::string& password);
  // Runs again the modules that refused the password, with another.
  bool Retry(const std::string& password);
  // Cancel: stops after the module in flight; closes when nothing runs.
  void reject() override;

  bool running() const { return running_; }
  bool ranOnce() const { return ranOnce_; }
  const std::vector<BulkEntry>& entries() const { return entries_; }
  const std::vector<BulkResult>& results() const { return results_; }
  QTableWidget* table() const { return table_; }
  QLineEdit* firstAddress() const { return first_; }
  QLineEdit* mask() const { return mask_; }
  QLineEdit* gateway() const { return gateway_; }
  QLineEdit* dns() const { return dns_; }
  QLabel* status() const { return status_; }
  QPushButton* applyButton() const { return apply_; }
  QPushButton* retryButton() const { return retry_; }
  void SetTimes(const BulkTimes& times) { times_ = times; }

 signals:
  void runFinished();

 private:
  void Build();
  void ShowPlan();
  void Run(std::vector<bool> run, const std::string& password);
  void ShowResult(size_t entry);
  void Finished();
  void OnApply();
  void OnRetry();
  void OnLoadCsv();
  int RowOfEntry(size_t entry) const;

  const LibraryApi& api_;
  HostEventQueue& events_;
  std::vector<ModuleRecord> listed_;
  std::vector<HostSubnet> subnets_;
  std::vector<BulkEntry> entries_;
  std::vector<BulkResult> results_;
  std::vector<int> unlistedRows_;  // table rows of entries whose module is not listed
  BulkTimes times_;
  std::thread worker_;
  std::atomic<bool> cancel_{false};
  bool running_ = false;
  bool ranOnce_ = false;

  QTableWidget* table_ = nullptr;
  QLineEdit* first_ = nullptr;
  QLineEdit* mask_ = nullptr;
  QLineEdit* gateway_ = nullptr;
  QLineEdit* dns_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* plan_ = nullptr;
  QPushButton* load_ = nullptr;
  QPushButton* apply_ = nullptr;
  QPushButton* retry_ = nullptr;
  QPushButton* cancel_button_ = nullptr;
};

// The window's records as the dialog lists them: one row per MAC, a module
// of both protocols by its secure entry, in arrival order.
std::vector<ModuleRecord> BulkModules(const std::vector<ModuleRecord>& records);

}  // namespace pelmar
