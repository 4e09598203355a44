// The module list: ModuleListCtrl, a report-style view
// with single full-row selection; its model, which keeps the record list in
// arrival order and the rows in sorted order (each new row is inserted at its
// sorted place, never by re-sorting the whole list); and ModuleListHeader,
// which draws the owner-drawn items with the sort arrow.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QHeaderView>
#include <QTreeView>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "module_cells.h"
#include "module_names.h"
#include "module_marks.h"
#include "module_record.h"
#include "row_order.h"

namespace pelmar {

// The Status column after MAC: the marks of the row (and later what
// reading back and naming add), with the header's tooltip counting the
// modules of the previous scan that no longer answer.
inline constexpr int kColumnStatus = kColumnCount;
inline constexpr char kStatusColumnSpec[] = "Status,170";

// The first record with the MAC that speaks the given protocol (secure or
// not); without such a record the first with the MAC. A module that speaks
// both protocols answers twice with one MAC: each row keeps its own.
const ModuleRecord* FindRecord(const std::vector<ModuleRecord>& records, const uint8_t mac[6],
                               std::optional<bool> secure);

class ModuleListHeader : public QHeaderView {
  Q_OBJECT
 public:
  explicit ModuleListHeader(QWidget* parent = nullptr);

  // SetSortMark: stores the mark, makes that item owner-drawn (for
  // good) and repaints the header.
  void SetSortMark(bool ascending, int column);
  bool ascending() const { return ascending_; }
  int sortColumn() const { return sortColumn_; }
  bool IsOwnerDrawn(int section) const { return ownerDrawn_.count(section) != 0; }

  // The section drawn pressed (-1: none); tracked from the mouse.
  int pressedSection() const { return pressed_; }
  void SetPressedSection(int section);

  // Draws one owner-drawn item into rect.
  void DrawItem(QPainter* painter, const QRect& rect, int section, bool pressed) const;

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool ascending_ = true;
  int sortColumn_ = 0;
  std::set<int> ownerDrawn_;
  int pressed_ = -1;
};

class ModuleListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  struct Row {
    CellTexts texts;
    std::array<CellKey, kColumnCount> keys;
    uint64_t arrival = 0;
    // The record's MAC and protocol: actions find the record by these,
    // never by reading a cell's text back.
    std::array<uint8_t, 6> mac{};
    bool secure = false;
    MarkSubject subject;
    std::vector<std::string> marks;
    std::string status;  // the Status cell
    CellKey statusKey;
  };

  explicit ModuleListModel(QObject* parent = nullptr);

  // Columns from "IP,90;SN,90;..."; false false when the text gives no column.
  bool CreateColumns(const std::string& spec);
  const std::vector<ColumnSpec>& columns() const { return columns_; }

  // Appends the record and inserts its row at its sorted place. Returns the
  // row's position.
  int Add(const ModuleRecord& record);
  // Puts a later answer of a listed module (same MAC and protocol) in place
  // of its record and row; adds it when none is listed. The row keeps its
  // selection and moves only if its sort key changed.
  void AddOrReplace(const ModuleRecord& record);
  void Clear();
  // Re-sorts every row (stable) on column in the direction.
  void Sort(int column, bool ascending);
  int sortColumn() const { return sortColumn_; }
  bool ascending() const { return ascending_; }

  // A note on the row of the module with that MAC and protocol, shown as
  // the row's tooltip until the list is emptied ("" removes it).
  void SetRowNote(const std::array<uint8_t, 6>& mac, bool secure, const QString& note);
  QString RowNote(int position) const;

  const Row& row(int position) const { return *rows_[static_cast<size_t>(position)]; }
  const std::vector<ModuleRecord>& records() const { return records_; }
  void SetCollator(const TextCollator& collator) { collator_ = collator; }
  // Where the rows' tooltips (name and note) come from; null: none.
  void SetNames(const ModuleNames* names) { names_ = names; }
  // The names changed: tooltips are read again.
  void NamesChanged();

  // What the marks compare with: the subnets of the interfaces that scan and
  // the MACs of the previous scan (none: nothing is new or gone). Marks the
  // rows again.
  void SetMarkContext(std::vector<HostSubnet> subnets,
                      std::optional<std::set<MacBytes>> previous);
  // The MACs of the previous scan that are not listed (yet).
  const std::vector<MacBytes>& gone() const { return gone_; }
  // The background of rows with a mark, blended into this base colour.
  void SetBaseColor(const QColor& base);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  bool Before(const Row& a, const Row& b) const;
  // Marks every row from the whole list; `added` (not yet in rows_) too.
  void Mark(Row* added);
  void MarkAdded(Row& added);
  // The Status cell of a row: its marks, its read-back state, its name.
  void RefreshStatus(Row& r) const;
  QString StatusTooltip() const;

  std::vector<ColumnSpec> columns_;
  std::vector<std::unique_ptr<Row>> rows_;
  std::vector<ModuleRecord> records_;
  int sortColumn_ = 0;
  bool ascending_ = true;
  uint64_t nextArrival_ = 0;
  TextCollator collator_;
  const ModuleNames* names_ = nullptr;
  std::vector<HostSubnet> subnets_;
  std::optional<std::set<MacBytes>> previous_;
  std::vector<MacBytes> gone_;
  QColor base_ = Qt::white;
  std::map<std::pair<std::array<uint8_t, 6>, bool>, QString> notes_;
};

class ModuleListCtrl : public QTreeView {
  Q_OBJECT
 public:
  explicit ModuleListCtrl(QWidget* parent = nullptr);

  ModuleListHeader* listHeader() const { return header_; }
  ModuleListModel* listModel() const { return model_; }

  bool CreateColumns(const std::string& spec);
  // Adds the record and its row; nothing without a valid MAC.
  void AddModuleRow(const ModuleRecord& record);
  // The row of a later scan round: replaces the module's row if listed.
  void AddOrReplaceModuleRow(const ModuleRecord& record);
  // Empties rows and records.
  void ClearModuleList();
  // The first record (oldest first) with the MAC of the row at position (nullptr: none).
  const ModuleRecord* FindRecordByMac(int row) const;
  // A click on header item column: another column sorts ascending, the same one toggles.
  void SortByColumn(int column);

  int rowCount() const { return model_->rowCount(); }
  QString CellText(int row, int column) const;
  // The selected row, or -1.
  int SelectedRow() const;
  void SelectRow(int row);

  // The marks of the row (none for no row).
  std::vector<std::string> RowMarks(int row) const;
  // The MAC and protocol of the row's record (zero and nothing for no row).
  std::array<uint8_t, 6> RowMac(int row) const;
  std::optional<bool> RowSecure(int row) const;
  // The row a keyboard menu opens for: the current row, else the selected
  // one; -1 when there is none.
  int KeyboardRow() const;

  // The text the empty list shows in its area ("" = none).
  void SetEmptyText(const QString& text);
  const QString& emptyText() const { return emptyText_; }

 signals:
  // A right-click; row is -1 below the last row.
  void contextMenuAt(int row, const QPoint& globalPos);
  // Ctrl+C (the copy key) in the list.
  void copyRequested();

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // A menu asked for from the keyboard: at the current row, whatever its
  // place in the list.
  void KeyboardMenu();

  // The given width, widened where an address or MAC would be cut.
  int ColumnWidth(int column, int specified) const;

  ModuleListHeader* header_;
  ModuleListModel* model_;
  QString emptyText_;
};

}  // namespace pelmar
