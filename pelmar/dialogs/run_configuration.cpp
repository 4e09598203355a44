#include "run_configuration.h"

#include "configuration_dialog.h"
#include "message_box.h"
#include "module_cells.h"

namespace pelmar {

ConfigurationChoice AskConfiguration(QWidget* parent, const uint8_t mac[6],
                                     std::span<const ModuleRecord> records) {
  ConfigurationChoice choice;
  const ModuleRecord* found = FirstRecordWithMac(records, mac);
  if (!found) return choice;
  choice.record = *found;
  CConfigurationDlg dialog(choice.record, QString::fromStdString(MacText(choice.record.mac)),
                           parent);
  const bool set = dialog.exec() == QDialog::Accepted;
  choice.result = set ? ConfigurationResult::Set : ConfigurationResult::Cancelled;
  if (set) choice.input = dialog.captured();
  return choice;
}

ConfigurationResult ReportConfigureOutcome(QWidget* parent, ConfigureOutcome outcome) {
  switch (outcome) {
    case ConfigureOutcome::Sent:
      return ConfigurationResult::Sent;
    case ConfigureOutcome::ModuleListChanged:
      ShowMessage(parent, "Warning", kModuleListChangedText, MessageIcon::Warning);
      return ConfigurationResult::ModuleListChanged;
    case ConfigureOutcome::Failed:
      break;
  }
  ShowMessage(parent, "Warning", kConfigureFailedText, MessageIcon::Warning);
  return ConfigurationResult::Failed;
}

ConfigurationResult RunConfiguration(QWidget* parent, const LibraryApi& api, const uint8_t mac[6],
                                     std::span<const ModuleRecord> records,
                                     uint8_t configurationTarget[6],
                                     const RandomSource& random) {
  const ConfigurationChoice choice = AskConfiguration(parent, mac, records);
  if (choice.result != ConfigurationResult::Set) return choice.result;
  return ReportConfigureOutcome(
      parent, SendConfiguration(api, choice.record, choice.input, configurationTarget, random));
}

}  // namespace pelmar
