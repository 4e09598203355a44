#include "list_filter.h"

#include <QShortcut>

#include "module_list.h"

namespace pelmar {

ListFilterField::ListFilterField(ModuleListCtrl* list, std::function<ListRow(int row)> rowOf,
                                 QWidget* parent)
    : QLineEdit(parent), list_(list), rowOf_(std::move(rowOf)) {
  setObjectName(QStringLiteral("listFilter"));
  setPlaceholderText(QStringLiteral("Filter: text in any column (Escape closes)"));
  setClearButtonEnabled(true);
  setAccessibleName(QStringLiteral("Filter"));
  hide();
  // Escape here closes the filter; it never reaches the window, where it
  // does nothing.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WidgetShortcut);
  connect(escape, &QShortcut::activated, this, [this] { Close(); });
  // Enter goes on to the filtered rows; it would press Scan otherwise,
  // which empties the list being filtered.
  for (auto key : {Qt::Key_Return, Qt::Key_Enter}) {
    auto* enter = new QShortcut(QKeySequence(key), this);
    enter->setContext(Qt::WidgetShortcut);
    connect(enter, &QShortcut::activated, this, [this] { list_->setFocus(Qt::OtherFocusReason); });
  }
  connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (text.isEmpty() && isVisible())
      Close();
    else
      Apply();
  });
  // New rows, a cleared list and a re-sort are filtered as they come; a
  // scan brings rows one at a time, so only the new ones are looked at.
  QAbstractItemModel* model = list_->model();
  connect(model, &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex&, int first, int last) { ApplyTo(first, last); });
  connect(model, &QAbstractItemModel::rowsRemoved, this, [this] { Apply(); });
  connect(model, &QAbstractItemModel::modelReset, this, [this] { Apply(); });
  connect(model, &QAbstractItemModel::layoutChanged, this, [this] { Apply(); });
}

void ListFilterField::Open() {
  if (!isVisible()) {
    show();
    emit shownChanged(true);
  }
  setFocus(Qt::ShortcutFocusReason);
  selectAll();
}

void ListFilterField::Close() {
  const bool wasShown = isVisible();
  hide();
  clear();  // textChanged applies: every row is shown
  Apply();
  if (wasShown) {
    list_->setFocus(Qt::OtherFocusReason);
    emit shownChanged(false);
  }
}

void ListFilterField::Apply() { ApplyTo(0, list_->rowCount() - 1); }

void ListFilterField::ApplyTo(int first, int last) {
  const std::string filter = isVisible() ? text().toStdString() : std::string();
  // Without a filter every row shows; nothing to undo when none is hidden.
  if (filter.empty() && !anyHidden_) return;
  const bool whole = first == 0 && last == list_->rowCount() - 1;
  bool hid = false;
  for (int row = first; row <= last; ++row) {
    const bool hide = !RowMatchesFilter(rowOf_(row), filter);
    list_->setRowHidden(row, QModelIndex(), hide);
    hid = hid || hide;
  }
  anyHidden_ = whole ? hid : anyHidden_ || hid;
}

int ListFilterField::shownRows() const {
  int shown = 0;
  for (int row = 0; row < list_->rowCount(); ++row)
    if (!list_->isRowHidden(row, QModelIndex())) ++shown;
  return shown;
}

}  // namespace pelmar
