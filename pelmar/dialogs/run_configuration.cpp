#include "run_configuration.h"

#include "configuration_dialog.h"
#include "configuration_flow.h"
#include "message_box.h"

namespace pelmar {

ConfigurationResult RunConfiguration(QWidget* parent, const LibraryApi& api,
                                     const QString& macText,
                                     std::span<const ModuleRecord> records,
                                     uint8_t configurationTarget[6],
                                     const RandomSource& random) {
  uint8_t mac[6];
  if (!ParseMacText(macText.toStdString(), mac)) return ConfigurationResult::NoRecord;
  const ModuleRecord* found = FirstRecordWithMac(records, mac);
  if (!found) return ConfigurationResult::NoRecord;
  // A copy: the list may be cleared and refilled while the dialog is open.
  const ModuleRecord record = *found;

  CConfigurationDlg dialog(record, macText, parent);
  if (dialog.exec() != QDialog::Accepted) return ConfigurationResult::Cancelled;

  switch (SendConfiguration(api, record, dialog.captured(), configurationTarget, random)) {
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

}  // namespace pelmar
