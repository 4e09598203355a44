#include "module_list.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "status_cell.h"

namespace pelmar {

const ModuleRecord* FindRecord(const std::vector<ModuleRecord>& records, const uint8_t mac[6],
                               std::optional<bool> secure) {
  const ModuleRecord* first = nullptr;
  for (const ModuleRecord& r : records) {
    if (std::memcmp(r.mac, mac, 6) != 0) continue;
    if (!secure || r.secure == *secure) return &r;
    if (!first) first = &r;
  }
  return first;
}

// ---------------------------------------------------------------- header

ModuleListHeader::ModuleListHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
  setSectionsClickable(true);
  setHighlightSections(false);
  setSortIndicatorShown(false);
  setStretchLastSection(false);
  setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void ModuleListHeader::SetSortMark(bool ascending, int column) {
  ascending_ = ascending;
  sortColumn_ = column;
  ownerDrawn_.insert(column);
  viewport()->update();
}

void ModuleListHeader::SetPressedSection(int section) {
  if (pressed_ == section) return;
  pressed_ = section;
  viewport()->update();
}

void ModuleListHeader::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) SetPressedSection(logicalIndexAt(event->position().toPoint()));
  QHeaderView::mousePressEvent(event);
}

void ModuleListHeader::mouseReleaseEvent(QMouseEvent* event) {
  QHeaderView::mouseReleaseEvent(event);
  SetPressedSection(-1);
}

void ModuleListHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  if (!IsOwnerDrawn(logicalIndex)) {
    QHeaderView::paintSection(painter, rect, logicalIndex);
    return;
  }
  DrawItem(painter, rect, logicalIndex, logicalIndex == pressed_);
}

namespace {

// A one-pixel line with both end points, as the arrow's spans count them.
void PlotLine(QPainter* painter, int x0, int y0, int x1, int y1) {
  int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
  int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
  int error = dx + dy;
  for (;;) {
    painter->fillRect(x0, y0, 1, 1, painter->pen().color());
    if (x0 == x1 && y0 == y1) break;
    int e2 = 2 * error;
    if (e2 >= dy) {
      error += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      error += dx;
      y0 += sy;
    }
  }
}

}  // namespace

void ModuleListHeader::DrawItem(QPainter* painter, const QRect& rect, int section,
                                bool pressed) const {
  painter->save();
  painter->setClipRect(rect);
  painter->fillRect(rect, palette().color(QPalette::Button));

  // Item rectangle as the platform gives it: right and bottom exclusive.
  const int left = rect.x(), top = rect.y();
  const int right = rect.x() + rect.width(), bottom = rect.y() + rect.height();

  QString text;
  Qt::Alignment horizontal = Qt::AlignLeft;
  if (model()) {
    text = model()->headerData(section, orientation(), Qt::DisplayRole).toString().left(255);
    QVariant alignment = model()->headerData(section, orientation(), Qt::TextAlignmentRole);
    if (alignment.isValid()) {
      Qt::Alignment a = Qt::Alignment(alignment.toInt());
      if (a & Qt::AlignHCenter)
        horizontal = Qt::AlignHCenter;
      else if (a & Qt::AlignRight)
        horizontal = Qt::AlignRight;
    }
  }

  int textLeft = left, textTop = top, textRight = right;
  const int textBottom = bottom;
  if (pressed) {
    textLeft += 1;
    textRight += 1;
    textTop += 2;
  }
  const int d = (bottom - top) / 4;
  const bool isSortColumn = section == sortColumn_;
  if (isSortColumn) textRight -= 3 * d;
  textLeft += d;
  textRight -= d;
  if (textLeft < textRight) {
    QRect textRect(textLeft, textTop, textRight - textLeft, textBottom - textTop);
    QString shown = fontMetrics().elidedText(text, Qt::ElideRight, textRect.width());
    painter->setPen(palette().color(QPalette::ButtonText));
    painter->setFont(font());
    painter->drawText(textRect, int(horizontal | Qt::AlignVCenter) | Qt::TextSingleLine, shown);
  }

  if (isSortColumn) {
    const int R = right, B = bottom - top;  // y as they stand: the item's top is 0
    QPen light(palette().color(QPalette::Light), 1);
    QPen dark(palette().color(QPalette::Dark), 1);
    painter->translate(0, top);
    if (ascending_) {
      painter->setPen(light);
      PlotLine(painter, R - 2 * d, d, R - d, B - d - 1);
      PlotLine(painter, R - d, B - d - 1, R - 3 * d - 2, B - d - 1);
      painter->setPen(dark);
      PlotLine(painter, R - 3 * d - 1, B - d - 1, R - 2 * d, d - 1);
    } else {
      painter->setPen(light);
      PlotLine(painter, R - d - 1, d, R - 2 * d - 1, B - d);
      painter->setPen(dark);
      PlotLine(painter, R - 2 * d - 2, B - d, R - 3 * d - 1, d);
      PlotLine(painter, R - 3 * d - 1, d, R - d - 1, d);
    }
  }
  painter->restore();
}

// ----------------------------------------------------------------- model

ModuleListModel::ModuleListModel(QObject* parent) : QAbstractTableModel(parent) {}

bool ModuleListModel::CreateColumns(const std::string& spec) {
  std::vector<ColumnSpec> columns = ParseColumnSpec(spec);
  if (columns.empty()) return false;
  beginInsertColumns(QModelIndex(), static_cast<int>(columns_.size()),
                     static_cast<int>(columns_.size() + columns.size()) - 1);
  for (auto& c : columns) columns_.push_back(c);
  endInsertColumns();
  return true;
}

bool ModuleListModel::Before(const Row& a, const Row& b) const {
  if (sortColumn_ == kColumnStatus)
    return RowBefore(a.status, a.statusKey, a.arrival, b.status, b.statusKey, b.arrival,
                     ascending_, collator_);
  const size_t c = static_cast<size_t>(sortColumn_);
  return RowBefore(a.texts[c], a.keys[c], a.arrival, b.texts[c], b.keys[c], b.arrival, ascending_,
                   collator_);
}

int ModuleListModel::Add(const ModuleRecord& record) {
  records_.push_back(record);
  auto row = std::make_unique<Row>();
  row->texts = MakeCellTexts(record);
  for (int c = 0; c < kColumnCount; ++c) row->keys[c] = MakeCellKey(row->texts[c]);
  row->arrival = nextArrival_++;
  std::copy(record.mac, record.mac + 6, row->mac.begin());
  row->secure = record.secure;
  row->subject = MarkSubjectOf(record);
  Mark(row.get());
  // The new row has the latest arrival: it goes after every equal key.
  auto at = std::upper_bound(rows_.begin(), rows_.end(), row,
                             [this](const std::unique_ptr<Row>& value,
                                    const std::unique_ptr<Row>& element) {
                               return Before(*value, *element);
                             });
  int position = static_cast<int>(at - rows_.begin());
  beginInsertRows(QModelIndex(), position, position);
  rows_.insert(at, std::move(row));
  endInsertRows();
  return position;
}

// A row not yet listed changes only its own marks, those of the rows with its
// address (a duplicate IP) and the gone list: a scan lists rows by the
// thousand, so the others are not looked at again.
void ModuleListModel::MarkAdded(Row& added) {
  std::vector<Row*> sameIp;
  if (added.subject.ipValid && added.subject.ip != 0)
    for (const auto& r : rows_)
      if (r->subject.ipValid && r->subject.ip == added.subject.ip) sameIp.push_back(r.get());
  std::vector<MarkSubject> subjects;
  for (const Row* r : sameIp) subjects.push_back(r->subject);
  subjects.push_back(added.subject);
  ModuleMarks marks = ComputeMarks(subjects, subnets_, previous_);
  added.marks = std::move(marks.marks.back());
  RefreshStatus(added);
  bool changed = false;
  for (size_t i = 0; i < sameIp.size(); ++i) {
    Row& r = *sameIp[i];
    if (r.marks == marks.marks[i]) continue;
    r.marks = std::move(marks.marks[i]);
    RefreshStatus(r);
    changed = true;
    const auto at = std::find_if(rows_.begin(), rows_.end(),
                                 [&r](const std::unique_ptr<Row>& p) { return p.get() == &r; });
    const int position = static_cast<int>(at - rows_.begin());
    emit dataChanged(index(position, 0), index(position, columnCount() - 1));
  }
  if (changed && sortColumn_ == kColumnStatus) Sort(sortColumn_, ascending_);
  // gone_ is sorted (it comes from the previous scan's set).
  const auto gone = std::lower_bound(gone_.begin(), gone_.end(), added.subject.mac);
  if (gone != gone_.end() && *gone == added.subject.mac) {
    gone_.erase(gone);
    emit headerDataChanged(Qt::Horizontal, kColumnStatus, kColumnStatus);
  }
}

void ModuleListModel::Mark(Row* added) {
  if (added) {
    MarkAdded(*added);
    return;
  }
  std::vector<MarkSubject> subjects;
  subjects.reserve(rows_.size() + 1);
  for (const auto& r : rows_) subjects.push_back(r->subject);
  if (added) subjects.push_back(added->subject);
  ModuleMarks marks = ComputeMarks(subjects, subnets_, previous_);
  const bool goneChanged = marks.gone != gone_;
  gone_ = std::move(marks.gone);
  if (added) {
    added->marks = std::move(marks.marks.back());
    RefreshStatus(*added);
  }
  // A mark can come to an earlier row with a later one (a duplicate IP).
  bool changed = false;
  for (size_t i = 0; i < rows_.size(); ++i) {
    Row& r = *rows_[i];
    if (r.marks == marks.marks[i]) continue;
    r.marks = std::move(marks.marks[i]);
    RefreshStatus(r);
    changed = true;
    const int position = static_cast<int>(i);
    emit dataChanged(index(position, 0), index(position, columnCount() - 1));
  }
  if (changed && sortColumn_ == kColumnStatus) Sort(sortColumn_, ascending_);
  if (goneChanged) emit headerDataChanged(Qt::Horizontal, kColumnStatus, kColumnStatus);
}

void ModuleListModel::SetMarkContext(std::vector<HostSubnet> subnets,
                                     std::optional<std::set<MacBytes>> previous) {
  subnets_ = std::move(subnets);
  previous_ = std::move(previous);
  Mark(nullptr);
}

void ModuleListModel::SetBaseColor(const QColor& base) {
  if (base_ == base) return;
  base_ = base;
  if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

QString ModuleListModel::StatusTooltip() const {
  QString text = QStringLiteral("What is wrong with a module, and what to do:");
  for (const char* mark : {kMarkDuplicateIp, kMarkOtherNetwork, kMarkNoAddress, kMarkNew})
    text += QStringLiteral("\n") + QString::fromStdString(MarkExplanation(mark));
  if (!gone_.empty()) {
    text += QStringLiteral("\n\n") + QString::fromStdString(GoneText(gone_.size())) +
            QStringLiteral(":");
    for (const MacBytes& mac : gone_) text += QStringLiteral(" ") + QString::fromStdString(MacText(mac.data()));
  }
  return text;
}

void ModuleListModel::AddOrReplace(const ModuleRecord& record) {
  auto same = [&](const uint8_t mac[6], bool secure) {
    return std::memcmp(mac, record.mac, 6) == 0 && secure == record.secure;
  };
  auto rec = std::find_if(records_.begin(), records_.end(),
                          [&](const ModuleRecord& r) { return same(r.mac, r.secure); });
  auto row = std::find_if(rows_.begin(), rows_.end(), [&](const std::unique_ptr<Row>& r) {
    return same(r->mac.data(), r->secure);
  });
  if (rec == records_.end() || row == rows_.end()) {
    Add(record);
    return;
  }
  *rec = record;
  CellTexts texts = MakeCellTexts(record);
  if (texts == (*row)->texts) return;
  (*row)->texts = texts;
  for (int c = 0; c < kColumnCount; ++c) (*row)->keys[c] = MakeCellKey(texts[c]);
  const int position = static_cast<int>(row - rows_.begin());
  emit dataChanged(index(position, 0), index(position, kColumnCount - 1));
  // A new address can give or take marks, its own and others'.
  (*row)->subject = MarkSubjectOf(record);
  Mark(nullptr);
  Sort(sortColumn_, ascending_);
}

void ModuleListModel::Clear() {
  notes_.clear();
  if (rows_.empty() && records_.empty()) return;
  beginResetModel();
  rows_.clear();
  records_.clear();
  endResetModel();
}

void ModuleListModel::Sort(int column, bool ascending) {
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  sortColumn_ = column;
  ascending_ = ascending;
  const QModelIndexList before = persistentIndexList();
  std::vector<const Row*> rowOf;
  rowOf.reserve(static_cast<size_t>(before.size()));
  for (const QModelIndex& index : before) rowOf.push_back(rows_[static_cast<size_t>(index.row())].get());
  std::stable_sort(rows_.begin(), rows_.end(),
                   [this](const std::unique_ptr<Row>& a, const std::unique_ptr<Row>& b) {
                     return Before(*a, *b);
                   });
  if (!before.isEmpty()) {
    std::unordered_map<const Row*, int> position;
    for (size_t i = 0; i < rows_.size(); ++i) position[rows_[i].get()] = static_cast<int>(i);
    QModelIndexList after;
    for (int i = 0; i < before.size(); ++i)
      after.push_back(index(position[rowOf[static_cast<size_t>(i)]], before[i].column()));
    changePersistentIndexList(before, after);
  }
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int ModuleListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ModuleListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant ModuleListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() > kColumnStatus)
    return {};
  const Row& r = *rows_[static_cast<size_t>(index.row())];
  if (role == Qt::BackgroundRole && !r.marks.empty()) {
    // Colour-blind safe pair (orange for a problem, sky blue for only new),
    // blended into the base so the theme's text colour stays readable, light
    // or dark. The Status text says the same for those who see no colour.
    const bool onlyNew = r.marks.size() == 1 && r.marks.front() == kMarkNew;
    const QColor tint = onlyNew ? QColor(0x56, 0xB4, 0xE9) : QColor(0xE6, 0x9F, 0x00);
    constexpr double kShare = 0.35;
    return QColor::fromRgbF(
        static_cast<float>(base_.redF() * (1 - kShare) + tint.redF() * kShare),
        static_cast<float>(base_.greenF() * (1 - kShare) + tint.greenF() * kShare),
        static_cast<float>(base_.blueF() * (1 - kShare) + tint.blueF() * kShare));
  }
  if (role == Qt::ToolTipRole && index.column() == kColumnStatus && !r.marks.empty()) {
    QStringList lines;
    for (const std::string& mark : r.marks) lines << QString::fromStdString(MarkExplanation(mark));
    return lines.join(QStringLiteral("\n"));
  }
  if (index.column() == kColumnStatus)
    return role == Qt::DisplayRole ? QVariant(QString::fromUtf8(r.status)) :
           role == Qt::TextAlignmentRole ? QVariant(int(Qt::AlignLeft | Qt::AlignVCenter)) : QVariant();
  if (role == Qt::DisplayRole)
    return QString::fromUtf8(r.texts[static_cast<size_t>(index.column())]);
  if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
  if (role == Qt::ToolTipRole) {
    // The name and note, then the read-back state.
    QString tip = names_ ? QString::fromStdString(NameTooltip(
                               names_->Find(rows_[static_cast<size_t>(index.row())]->mac.data())))
                         : QString();
    const QString note = RowNote(index.row());
    if (!note.isEmpty()) tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) + note;
    if (!tip.isEmpty()) return tip;
  }
  return {};
}

void ModuleListModel::RefreshStatus(Row& r) const {
  auto it = notes_.find({r.mac, r.secure});
  const std::string readBack = it == notes_.end() ? std::string() : it->second.toStdString();
  const ModuleNote* note = names_ ? names_->Find(r.mac.data()) : nullptr;
  r.status = StatusCellText(r.marks, readBack, note ? note->name : std::string());
  r.statusKey = MakeCellKey(r.status);
}

void ModuleListModel::NamesChanged() {
  for (auto& r : rows_) RefreshStatus(*r);
  if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
  if (sortColumn_ == kColumnStatus) Sort(sortColumn_, ascending_);
}

void ModuleListModel::SetRowNote(const std::array<uint8_t, 6>& mac, bool secure,
                                 const QString& note) {
  if (note.isEmpty())
    notes_.erase({mac, secure});
  else
    notes_[{mac, secure}] = note;
  for (int i = 0; i < rowCount(); ++i) {
    Row& r = *rows_[static_cast<size_t>(i)];
    if (r.mac != mac || r.secure != secure) continue;
    RefreshStatus(r);
    emit dataChanged(index(i, 0), index(i, kColumnCount - 1));
  }
  if (sortColumn_ == kColumnStatus) Sort(sortColumn_, ascending_);
}

QString ModuleListModel::RowNote(int position) const {
  if (position < 0 || position >= rowCount()) return {};
  const Row& r = *rows_[static_cast<size_t>(position)];
  auto it = notes_.find({r.mac, r.secure});
  return it == notes_.end() ? QString() : it->second;
}

QVariant ModuleListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
  if (role == Qt::DisplayRole) return QString::fromStdString(columns_[static_cast<size_t>(section)].header);
  if (role == Qt::ToolTipRole && section == kColumnStatus) return StatusTooltip();
  if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
  return {};
}

// ------------------------------------------------------------------ view

ModuleListCtrl::ModuleListCtrl(QWidget* parent)
    : QTreeView(parent), header_(new ModuleListHeader(this)), model_(new ModuleListModel(this)) {
  setHeader(header_);
  setModel(model_);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSortingEnabled(false);
  // setSortingEnabled(false) also makes the header unclickable; ours sorts itself.
  header_->setSectionsClickable(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setFocusPolicy(Qt::StrongFocus);
  setFrameShape(QFrame::StyledPanel);
  connect(header_, &QHeaderView::sectionClicked, this, [this](int column) { SortByColumn(column); });
  model_->SetBaseColor(palette().color(QPalette::Base));
}

bool ModuleListCtrl::CreateColumns(const std::string& spec) {
  int first = model_->columnCount();
  bool ok = model_->CreateColumns(spec);
  const auto& columns = model_->columns();
  for (int c = first; c < static_cast<int>(columns.size()); ++c)
    header_->resizeSection(c, ColumnWidth(c, columns[static_cast<size_t>(c)].width));
  return ok;
}

int ModuleListCtrl::ColumnWidth(int column, int specified) const {
  // The widths were chosen for a small 8-point font. With a larger one an
  // address or MAC would end in "...", and a user could not tell two modules
  // apart, so these columns grow just enough for their widest text.
  QString widest;
  if (column <= 2) {
    widest = QStringLiteral("255.255.255.255");
  } else if (column == 6) {
    QFontMetrics metrics(font());
    QChar wideDigit = QLatin1Char('0');
    for (QChar c : QStringLiteral("0123456789ABCDEF"))
      if (metrics.horizontalAdvance(c) > metrics.horizontalAdvance(wideDigit)) wideDigit = c;
    widest = QStringLiteral("%1%1-%1%1-%1%1-%1%1-%1%1-%1%1").arg(wideDigit);
  } else {
    return specified;
  }
  const int margins = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 4;
  return std::max(specified, QFontMetrics(font()).horizontalAdvance(widest) + margins);
}

void ModuleListCtrl::AddModuleRow(const ModuleRecord& record) {
  if (!record.macValid) return;
  model_->Add(record);
  header_->SetSortMark(model_->ascending(), model_->sortColumn());
}

void ModuleListCtrl::AddOrReplaceModuleRow(const ModuleRecord& record) {
  if (!record.macValid) return;
  model_->AddOrReplace(record);
  header_->SetSortMark(model_->ascending(), model_->sortColumn());
}

void ModuleListCtrl::ClearModuleList() { model_->Clear(); }

const ModuleRecord* ModuleListCtrl::FindRecordByMac(int row) const {
  if (row < 0 || row >= model_->rowCount()) return nullptr;
  return FirstRecordWithMac(model_->records(), model_->row(row).mac.data());
}

std::optional<bool> ModuleListCtrl::RowSecure(int row) const {
  if (row < 0 || row >= model_->rowCount()) return std::nullopt;
  return model_->row(row).secure;
}

std::vector<std::string> ModuleListCtrl::RowMarks(int row) const {
  if (row < 0 || row >= model_->rowCount()) return {};
  return model_->row(row).marks;
}

std::array<uint8_t, 6> ModuleListCtrl::RowMac(int row) const {
  if (row < 0 || row >= model_->rowCount()) return {};
  return model_->row(row).mac;
}

void ModuleListCtrl::SortByColumn(int column) {
  bool ascending = NextAscending(column, model_->sortColumn(), model_->ascending());
  header_->SetSortMark(ascending, column);
  model_->Sort(column, ascending);
}

QString ModuleListCtrl::CellText(int row, int column) const {
  if (row < 0 || row >= model_->rowCount() || column < 0 || column > kColumnStatus) return {};
  if (column == kColumnStatus) return QString::fromUtf8(model_->row(row).status);
  return QString::fromUtf8(model_->row(row).texts[static_cast<size_t>(column)]);
}

int ModuleListCtrl::SelectedRow() const {
  const QModelIndexList rows = selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void ModuleListCtrl::SelectRow(int row) {
  if (row < 0 || row >= model_->rowCount()) {
    selectionModel()->clearSelection();
    return;
  }
  selectionModel()->select(model_->index(row, 0),
                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  setCurrentIndex(model_->index(row, 0));
}

int ModuleListCtrl::KeyboardRow() const {
  const QModelIndex current = currentIndex();
  if (current.isValid() && current.row() < model_->rowCount()) return current.row();
  return SelectedRow();
}

void ModuleListCtrl::SetEmptyText(const QString& text) {
  if (emptyText_ == text) return;
  emptyText_ = text;
  viewport()->update();
}

void ModuleListCtrl::changeEvent(QEvent* event) {
  QTreeView::changeEvent(event);
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
    model_->SetBaseColor(palette().color(QPalette::Base));
}

void ModuleListCtrl::paintEvent(QPaintEvent* event) {
  QTreeView::paintEvent(event);
  if (emptyText_.isEmpty() || model_->rowCount() != 0) return;
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::PlaceholderText));
  const int margin = fontMetrics().height();
  painter.drawText(viewport()->rect().adjusted(margin, margin, -margin, -margin),
                   Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, emptyText_);
}

void ModuleListCtrl::KeyboardMenu() {
  const int row = KeyboardRow();
  if (row < 0) return;
  scrollTo(model_->index(row, 0));
  const QRect cell = visualRect(model_->index(row, 0));
  // The row's rectangle is in the viewport's coordinates.
  emit contextMenuAt(row, viewport()->mapToGlobal(cell.center()));
}

void ModuleListCtrl::keyPressEvent(QKeyEvent* event) {
  // The whole row, not the view's default of the current cell alone.
  if (event->matches(QKeySequence::Copy)) {
    emit copyRequested();
    event->accept();
    return;
  }
  // Shift+F10 is the other usual key for a context menu.
  if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
    KeyboardMenu();
    event->accept();
    return;
  }
  QTreeView::keyPressEvent(event);
}

void ModuleListCtrl::contextMenuEvent(QContextMenuEvent* event) {
  event->accept();
  if (event->reason() == QContextMenuEvent::Keyboard) {
    KeyboardMenu();
    return;
  }
  QModelIndex index = indexAt(viewport()->mapFromGlobal(event->globalPos()));
  emit contextMenuAt(index.isValid() ? index.row() : -1, event->globalPos());
}

}  // namespace pelmar
