#include "editing/ui/poi_table_model.h"

#include <QBrush>
#include <QColor>

#include "core/string_table.h"
#include "editing/ui/qt_text.h"

namespace qf {

namespace {


// Tel holds a camera's speed and Memo its type; a phonebook's Memo holds the number's icon. The
// titles "Name" to "Distance" follow one another in the string table, in column order.
int ColumnTitle(DocumentKind kind, int column) {
  if (kind == DocumentKind::SafetyCamera && column == kTel) return kSpeedWord;
  if (kind == DocumentKind::SafetyCamera && column == kMemo) return kCameraTitle;
  if (kind == DocumentKind::Phonebook && column == kMemo) return kIconTitle;
  return kNameTitle + column;
}

bool LacksPosition(const PoiDocument& document, int row) {
  if (document.kind == DocumentKind::Phonebook) return document.text(row, kTel).empty();
  return document.text(row, kLng).empty() || document.text(row, kLat).empty();
}

}  // namespace

PoiTableModel::PoiTableModel(PoiTable& table, QObject* parent) : QAbstractTableModel(parent), table_(table) {
  table_.addObserver(this);
}

int PoiTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : table_.document().rowCount();
}

int PoiTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kDistance + 1; }

QVariant PoiTableModel::data(const QModelIndex& index, int role) const {
  const PoiDocument& document = table_.document();
  if (!index.isValid() || index.row() >= document.rowCount()) return {};
  const int row = index.row();
  switch (role) {
    case Qt::DisplayRole:
      return ToQString(document.text(row, index.column()));
    case Qt::ForegroundRole:
      if (row == document.baseRow && document.display.showDistance) return QBrush(QColor(0, 0, 255));
      if (LacksPosition(document, row)) return QBrush(QColor(255, 0, 0));
      return {};
    case Qt::TextAlignmentRole:
      if (index.column() == kDistance) return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
      return {};
    default:
      return {};
  }
}

QVariant PoiTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return UiText(ColumnTitle(table_.document().kind, section));
}

Qt::ItemFlags PoiTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::ItemIsDropEnabled;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

void PoiTableModel::reset() {
  beginResetModel();
  endResetModel();
  emit selectionReplaced();
}

// The engine tells of a change after making it; Qt's begin/end pair is sent together then, which
// views accept as long as they are not asked to paint in between.
void PoiTableModel::rowsInserted(int first, int count) {
  if (suspended_) {
    resetPending_ = true;
    return;
  }
  beginInsertRows({}, first, first + count - 1);
  endInsertRows();
}

void PoiTableModel::rowsRemoved(int first, int count) {
  if (suspended_) {
    resetPending_ = true;
    return;
  }
  beginRemoveRows({}, first, first + count - 1);
  endRemoveRows();
}

void PoiTableModel::rowChanged(int row) {
  if (suspended_) {
    resetPending_ = true;
    return;
  }
  emit dataChanged(index(row, 0), index(row, kDistance));
}

void PoiTableModel::tableReset() {
  if (suspended_) {
    resetPending_ = true;
    return;
  }
  reset();
}

void PoiTableModel::distancesChanged() {
  if (suspended_) {
    resetPending_ = true;
    return;
  }
  if (rowCount() > 0) emit dataChanged(index(0, kDistance), index(rowCount() - 1, kDistance));
}

void PoiTableModel::makeRowVisible(int row) { emit rowVisibilityRequested(row); }

void PoiTableModel::refitColumns(int column, bool forced) { emit columnsRefitRequested(column, forced); }

// A replayed run of many insertions or deletions becomes one reset rather than a signal per row.
void PoiTableModel::redrawSuspended(bool suspended) {
  suspended_ = suspended;
  if (suspended || !resetPending_) return;
  resetPending_ = false;
  reset();
}

}  // namespace qf
