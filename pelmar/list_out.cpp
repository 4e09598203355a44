// The main window's lists out and names: export, copy, filter, and the
// "Name and note..." dialog. The texts come from the host core.
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QSaveFile>
#include <QShortcut>

#include "list_filter.h"
#include "main_dlg.h"
#include "message_box.h"
#include "name_note_dlg.h"
#include "names_file.h"

namespace pelmar {

void CMainDlg::CreateListOutControls() {
  filter_ = new ListFilterField(list_, [this](int row) { return ExportRowAt(row); }, this);
  connect(filter_, &ListFilterField::shownChanged, this, [this](bool) { ApplyLayout(); });
  auto* find = new QShortcut(QKeySequence::Find, this);
  find->setContext(Qt::WindowShortcut);
  connect(find, &QShortcut::activated, this, [this] {
    filter_->Open();
    ApplyLayout();
  });
  auto* exportList = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_E), this);
  exportList->setContext(Qt::WindowShortcut);
  connect(exportList, &QShortcut::activated, this, [this] { RunExportDialog(); });
  connect(list_, &ModuleListCtrl::copyRequested, this, [this] { CopySelectedRow(); });
  list_->listModel()->SetNames(&names_);
}

void CMainDlg::LoadNamesFile() {
  namesPath_ = options_.namesPath.empty() ? NamesPathBeside(settingsPath_) : options_.namesPath;
  std::string warning;
  const NamesLoad load = LoadNames(namesPath_, names_, warning);
  if (load == NamesLoad::Damaged || load == NamesLoad::Unreadable)
    ShowMessage(this, QStringLiteral("Warning"), QString::fromStdString(warning),
                MessageIcon::Warning);
  list_->listModel()->NamesChanged();
}

ListRow CMainDlg::ExportRowAt(int row) const {
  const ModuleListModel::Row& r = list_->listModel()->row(row);
  ListRow exported = MakeListRow(r.texts, names_.Find(r.mac.data()));
  exported.status = r.status;  // as the list shows it: marks, read-back, name
  return exported;
}

bool CMainDlg::ExportList(const QString& path) {
  std::vector<ListRow> rows;
  for (int row = 0; row < list_->rowCount(); ++row) rows.push_back(ExportRowAt(row));
  const bool json = path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive);
  const std::string text = json ? ListJson(rows) : ListCsv(rows);
  // The old file stays whole until the new one is complete.
  QSaveFile file(path);
  const bool ok = file.open(QIODevice::WriteOnly) &&
                  file.write(text.data(), static_cast<qint64>(text.size())) ==
                      static_cast<qint64>(text.size()) &&
                  file.commit();
  if (!ok) Warn(QStringLiteral("The list could not be written to %1: %2").arg(path, file.errorString()));
  return ok;
}

void CMainDlg::RunExportDialog() {
  QFileDialog dialog(this, QStringLiteral("Export list"));
  dialog.setObjectName(QStringLiteral("exportList"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setNameFilters({QStringLiteral("CSV (*.csv)"), QStringLiteral("JSON (*.json)")});
  dialog.setDefaultSuffix(QStringLiteral("csv"));
  connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
    dialog.setDefaultSuffix(filter.contains(QStringLiteral("json")) ? QStringLiteral("json")
                                                                    : QStringLiteral("csv"));
  });
  dialog.setDirectory(QDir::homePath());
  dialog.selectFile(QStringLiteral("modules.csv"));
  if (dialog.exec() != QDialog::Accepted || shutDown_ || dialog.selectedFiles().isEmpty()) return;
  ExportList(dialog.selectedFiles().front());
}

void CMainDlg::CopySelectedRow() {
  const int row = list_->SelectedRow();
  if (row < 0) return;
  const std::string text = ListTabSeparated({ExportRowAt(row)});
  QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

bool CMainDlg::EditNameNote(const Mac& mac) {
  const ModuleNote* current = names_.Find(mac.data());
  CNameNoteDlg dialog(QString::fromStdString(MacText(mac.data())),
                      current ? *current : ModuleNote{}, this);
  if (dialog.exec() != QDialog::Accepted || shutDown_) return false;
  // Saved from a copy: the old names stay in use when the file cannot be written.
  ModuleNames changed = names_;
  changed.Set(mac.data(), dialog.Note());
  std::string error;
  if (!SaveNames(namesPath_, changed, error)) {
    Warn(QStringLiteral("The name could not be saved: %1").arg(QString::fromStdString(error)));
    return false;
  }
  names_ = std::move(changed);
  list_->listModel()->NamesChanged();
  filter_->Apply();
  return true;
}

}  // namespace pelmar
