#include "editing/poi_table.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "core/coordinates.h"
#include "core/distances.h"
#include "core/field_rules.h"
#include "editing/row_sort.h"

namespace qf {

namespace {

bool IsRowKind(UndoKind kind) { return kind == UndoKind::RowInsert || kind == UndoKind::RowDelete; }

// Deletions made from the top down, as the Delete command makes them, each at or after the row of
// the one before, are replayed together in one pass over the rows: one by one, a large deletion
// would move the rows behind it once per deleted row.
bool ContinuesDeletionRun(const UndoRecord& earlier, const UndoRecord& later) {
  return earlier.kind == UndoKind::RowDelete && later.kind == UndoKind::RowDelete && later.row >= earlier.row;
}

// Likewise insertions of a block of rows, each after the one before, as a paste makes them.
bool ContinuesInsertionRun(const UndoRecord& earlier, const UndoRecord& later) {
  return earlier.kind == UndoKind::RowInsert && later.kind == UndoKind::RowInsert && later.row == earlier.row + 1;
}

bool ContinuesRun(const UndoRecord& earlier, const UndoRecord& later) {
  return ContinuesDeletionRun(earlier, later) || ContinuesInsertionRun(earlier, later);
}

std::size_t RunEnd(const std::vector<UndoRecord>& group, std::size_t first) {
  std::size_t end = first + 1;
  while (end < group.size() && ContinuesRun(group[end - 1], group[end])) ++end;
  return end;
}

std::size_t RunStart(const std::vector<UndoRecord>& group, std::size_t end) {
  std::size_t start = end - 1;
  while (start > 0 && ContinuesRun(group[start - 1], group[start])) --start;
  return start;
}

}  // namespace

BaseMark PoiTable::baseMarkOf(int row) const {
  if (row != document_.baseRow) return BaseMark::None;
  return document_.basePointPinned ? BaseMark::MyBasePoint : BaseMark::Base;
}

std::array<std::u16string, 5> PoiTable::textsOf(int row) const {
  std::array<std::u16string, 5> texts;
  for (int column = kName; column <= kMemo; ++column) texts[column] = std::u16string(document_.text(row, column));
  return texts;
}

int PoiTable::firstSelected() const {
  const auto found = std::ranges::find_if(document_.rows, &PoiRecord::selected);
  return found == document_.rows.end() ? -1 : static_cast<int>(found - document_.rows.begin());
}

void PoiTable::clearSelection() {
  for (PoiRecord& record : document_.rows) record.selected = record.focused = false;
}

// At most one row has the focus. The row focused last is usually still where it was, so that
// focusing row after row does not look through the whole table each time.
void PoiTable::unfocus() {
  const bool hintHolds = focusHint_ >= 0 && focusHint_ < document_.rowCount() && rowAt(focusHint_).focused;
  if (hintHolds) {
    rowAt(focusHint_).focused = false;
  } else {
    for (PoiRecord& record : document_.rows) record.focused = false;
  }
}

void PoiTable::focus(int row) {
  unfocus();
  rowAt(row).focused = true;
  focusHint_ = row;
}

void PoiTable::selectAndFocus(int row) {
  focus(row);
  rowAt(row).selected = true;
}

PoiTable::Action::Action(PoiTable& table, Show show) : table_(table), show_(show) {
  table.undo_.beginAction();
  table.stale_ = StaleDistances::None;
}

PoiTable::Action::~Action() { table_.endAction(show_, revealed_); }

void PoiTable::endAction(Show show, int revealed) {
  undo_.stopRecording();
  switch (stale_) {
    case StaleDistances::None:
      break;
    case StaleDistances::OneRow:
      if (document_.baseRow >= 0) RowChanged(document_, staleRow_);
      break;
    case StaleDistances::Positions:
      if (document_.baseRow >= 0) establishBase(document_.baseRow);
      break;
    case StaleDistances::Rows:
      establishBase(-1);  // the base row is found again by its mark
      break;
  }
  stale_ = StaleDistances::None;
  if (show == Show::WholeTable) notify([](TableObserver& o) { o.tableReset(); });
  if (show == Show::FittedColumns) notify([](TableObserver& o) { o.refitColumns(-1, false); });
  if (revealed >= 0) notify([&](TableObserver& o) { o.makeRowVisible(revealed); });
}

// One changed row needs only its own distances, and those of the row after it, again.
void PoiTable::positionChanged(int row) {
  if (stale_ == StaleDistances::None) {
    stale_ = StaleDistances::OneRow;
    staleRow_ = row;
  } else if (stale_ == StaleDistances::OneRow && row != staleRow_) {
    stale_ = StaleDistances::Positions;
  }
}

int PoiTable::insertRow(int index, std::u16string_view name, bool select) {
  placeRow(index, name, select);
  markModified(index);
  rowsChanged();
  return index;
}

int PoiTable::placeRow(int index, std::u16string_view name, bool select) {
  PoiRecord record(document_.nextRowId++);
  record.setText(kName, name);
  record.selected = record.focused = select;
  if (select) unfocus();
  if (UndoRecord* made = undo_.record(UndoKind::RowInsert, index, document_.modified)) {
    made->baseMark = index == 0 && document_.basePointPinned ? BaseMark::MyBasePoint : BaseMark::None;
    made->baseBefore = document_.baseRow;
  }
  document_.rows.insert(document_.rows.begin() + index, std::move(record));
  if (select) focusHint_ = index;
  if (document_.baseRow >= index) ++document_.baseRow;
  notify([&](TableObserver& o) { o.rowsInserted(index, 1); });
  return index;
}

void PoiTable::removeRow(int row) {
  notify([&](TableObserver& o) { o.rowAboutToChange(row); });
  notify([&](TableObserver& o) { o.rowAboutToBeRemoved(row); });
  document_.rows.erase(document_.rows.begin() + row);
  if (row == document_.baseRow) {
    document_.baseRow = -1;
  } else if (row < document_.baseRow) {
    --document_.baseRow;
  }
  notify([&](TableObserver& o) { o.rowsRemoved(row, 1); });
}

void PoiTable::deleteRow(int row) {
  if (UndoRecord* made = undo_.record(UndoKind::RowDelete, row, document_.modified)) {
    made->baseMark = baseMarkOf(row);
    made->texts = textsOf(row);
  }
  markModified(row);
  removeRow(row);
  rowsChanged();
}

void PoiTable::setCell(int row, int column, std::u16string_view text) {
  notify([&](TableObserver& o) { o.rowAboutToChange(row); });
  if (undo_.recordsCellChange()) {
    if (UndoRecord* made = undo_.record(UndoKind::CellChange, row, document_.modified)) {
      made->baseMark = baseMarkOf(row);
      made->column = column;
      made->text = document_.text(row, column);
    }
  }
  rowAt(row).setText(column, text);
  markModified(row);
  if (column == kLng || column == kLat) positionChanged(row);
  notify([&](TableObserver& o) { o.rowChanged(row); });
  notify([&](TableObserver& o) { o.cellChanged(row, column); });
}

void PoiTable::changeCell(int row, int column, std::u16string_view text) {
  if (document_.text(row, column) != text) setCell(row, column, text);
}

void PoiTable::changeCoordinate(int row, int column, std::u16string_view text) {
  const std::optional<CoordinateText> value = CoordinateCellText(document_, column, text);
  changeCell(row, column, value ? value->view() : std::u16string_view());
}

// ------------------------------------------------------------------------------ commands

int PoiTable::addRow() { return insertHeld(document_.rowCount()); }

int PoiTable::insertRowAtSelection() {
  int row = firstSelected();
  if (row < 0) row = document_.rowCount();
  if (row == 0 && document_.basePointPinned) row = 1;
  return insertHeld(std::min(row, document_.rowCount()));
}

int PoiTable::insertHeld(int row) {
  undo_.holdNextInsert();
  state.currentColumn = kName;
  placeRow(row, {}, false);
  undo_.stopRecording();
  if (document_.baseRow >= 0) RowChanged(document_, row);
  return row;
}

void PoiTable::commitNewRowName(int row, std::u16string_view name) {
  const Action action(*this);
  if (undo_.holdsInsert()) {
    notify([&](TableObserver& o) { o.rowAboutToChange(row); });
    undo_.record(UndoKind::RowInsert, row, document_.modified);  // the held insertion becomes the group
    rowAt(row).setText(kName, name);
    markModified(row);
    notify([&](TableObserver& o) { o.rowChanged(row); });
  } else {
    setCell(row, kName, name);
  }
}

void PoiTable::cancelNewRow(int row) {
  if (!undo_.holdsInsert() || !document_.text(row, kName).empty()) return;
  undo_.dropHeldInsert();
  removeRow(row);
  if (document_.display.adjacentDistance && row < document_.rowCount()) UpdateDistances(document_, row);
}

void PoiTable::deleteSelected() {
  const int firstRow = firstSelected();
  if (firstRow < 0) return;
  const bool myBasePointAmong = document_.basePointPinned && document_.rows.front().selected;
  notify([](TableObserver& o) { o.redrawSuspended(true); });
  {
    Action action(*this, Show::FittedColumns);
    // One pass over the rows: each deletion is recorded at the index it has once the selected rows
    // before it are gone, as if they were deleted one after the other from the top.
    int deleted = 0;
    for (int row = firstRow; row < document_.rowCount(); ++row) {
      if (!rowAt(row).selected) continue;
      const int at = row - deleted++;
      notify([&](TableObserver& o) { o.rowAboutToChange(row); });
      notify([&](TableObserver& o) { o.rowAboutToBeRemoved(row); });
      if (UndoRecord* made = undo_.record(UndoKind::RowDelete, at, document_.modified)) {
        made->baseMark = baseMarkOf(row);
        made->texts = textsOf(row);
      }
      markModified(row);
    }
    const int base = document_.baseRow;
    int baseAfter = base;
    if (base >= 0) {
      const auto before = std::count_if(document_.rows.begin(), document_.rows.begin() + base,
                                        [](const PoiRecord& r) { return r.selected; });
      baseAfter = rowAt(base).selected ? -1 : base - static_cast<int>(before);
    }
    std::erase_if(document_.rows, [](const PoiRecord& record) { return record.selected; });
    document_.baseRow = baseAfter;
    notify([](TableObserver& o) { o.tableReset(); });
    if (!document_.rows.empty()) {
      const int focus = std::min(firstRow, document_.rowCount() - 1);
      selectAndFocus(focus);
      action.reveal(focus);
    }
    establishBase(-1);
    if (myBasePointAmong) document_.basePointPinned = false;
  }
  notify([](TableObserver& o) { o.redrawSuspended(false); });
}

void PoiTable::insertBlock(int at, const std::function<void()>& append) {
  notify([](TableObserver& o) { o.redrawSuspended(true); });
  const int end = document_.rowCount();
  const std::vector<UndoRecord>* open = undo_.openRecords();
  const std::size_t recordsBefore = open != nullptr ? open->size() : 0;
  append();
  const int count = document_.rowCount() - end;
  std::rotate(document_.rows.begin() + at, document_.rows.begin() + end, document_.rows.end());
  if (document_.baseRow >= at) document_.baseRow += count;
  // The insertions were recorded at the end; they stand before `at` now, as if inserted there.
  if (std::vector<UndoRecord>* group = undo_.openRecords()) {
    for (std::size_t i = recordsBefore; i < group->size(); ++i) {
      if ((*group)[i].kind == UndoKind::RowInsert) (*group)[i].row += at - end;
    }
  }
  notify([](TableObserver& o) { o.tableReset(); });
  notify([](TableObserver& o) { o.redrawSuspended(false); });
}

void PoiTable::recordAppended(int first, bool modifiedBefore) {
  const int count = document_.rowCount() - first;
  if (count <= 0) return;
  const Action action(*this);
  for (int row = first; row < document_.rowCount(); ++row) {
    if (UndoRecord* made = undo_.record(UndoKind::RowInsert, row, modifiedBefore)) made->baseBefore = document_.baseRow;
  }
  notify([&](TableObserver& o) { o.rowsInserted(first, count); });
}

void PoiTable::reorder(const std::vector<int>& from) {
  std::vector<PoiRecord> rows;
  rows.reserve(from.size());
  for (const int row : from) rows.push_back(std::move(rowAt(row)));
  document_.rows = std::move(rows);
  findBaseByMark();
  if (document_.display.adjacentDistance && document_.baseRow >= 0) UpdateDistances(document_, -1);
  notify([](TableObserver& o) { o.tableReset(); });
}

void PoiTable::findBaseByMark() {
  if (document_.baseRow < 0) return;
  const auto marked = std::ranges::find(document_.rows, kBaseRowKey, &PoiRecord::distanceKey);
  document_.baseRow = marked == document_.rows.end() ? -1 : static_cast<int>(marked - document_.rows.begin());
}

void PoiTable::sort(int column, bool ascending) {
  state.currentColumn = state.sortColumn = column;
  state.sortAscending = ascending;
  state.sortArrowShown = true;
  const std::vector<int> from = SortedOrder(document_, column, ascending);
  const Action action(*this);
  if (UndoRecord* made = undo_.record(UndoKind::Reorder, document_.rowCount(), document_.modified)) {
    made->sortColumn = column;
    made->sortAscending = ascending;
    made->order.resize(from.size());
    for (std::size_t place = 0; place < from.size(); ++place) {
      made->order[static_cast<std::size_t>(from[place])] = static_cast<int>(place);
    }
  }
  reorder(from);
  document_.modified = true;
}

bool PoiTable::canSort(int column) const {
  const int sortable = document_.rowCount() - (document_.basePointPinned ? 1 : 0);
  return sortable >= 2 && !(column == kDistance && document_.baseRow < 0);
}

// Only the column whose arrow shows reverses: the current column also follows edits and right
// clicks, and a first click on a column nobody sorted yet means ascending.
bool PoiTable::headerClick(int column) {
  if (!canSort(column)) return false;
  const bool again = state.sortArrowShown && column == state.sortColumn;
  sort(column, again ? !state.sortAscending : state.sortAscending);
  return true;
}

void PoiTable::resetSortState() {
  const bool lngFirst = state.lngFirst;
  state = TableState{};
  state.lngFirst = lngFirst;
}

// Swaps the texts of two neighbouring rows; the selection and the base row go along.
void PoiTable::moveRow(int from, int to) {
  notify([&](TableObserver& o) { o.rowAboutToChange(from); });
  notify([&](TableObserver& o) { o.rowAboutToChange(to); });
  for (int column = kName; column <= kMemo; ++column) {
    const std::u16string text(document_.text(from, column));
    rowAt(from).setText(column, document_.text(to, column));
    rowAt(to).setText(column, text);
  }
  rowAt(from).selected = false;
  selectAndFocus(to);
  if (document_.baseRow == from) {
    document_.baseRow = to;
  } else if (document_.baseRow == to) {
    document_.baseRow = from;
  }
  if (document_.baseRow >= 0) {
    SetBasePoint(document_, document_.baseRow);
  }
  const int context = from < to ? std::min(from + 3, document_.rowCount() - 1) : std::max(0, from - 3);
  notify([&](TableObserver& o) { o.rowChanged(from); });
  notify([&](TableObserver& o) { o.rowChanged(to); });
  notify([&](TableObserver& o) { o.rowsSwapped(from, to); });
  notify([&](TableObserver& o) { o.makeRowVisible(context); });
}

void PoiTable::moveSelected(bool up) {
  const int from = firstSelected();
  if (from < 0) return;
  const int to = up ? from - 1 : from + 1;
  if (to < (document_.basePointPinned ? 1 : 0) || to >= document_.rowCount() || isMyBasePointRow(from)) return;
  const Action action(*this);
  undo_.record(up ? UndoKind::RowMoveUp : UndoKind::RowMoveDown, to, document_.modified);
  moveRow(from, to);
  document_.modified = true;
}

void PoiTable::changeBase(int row) {
  if (UndoRecord* made = undo_.record(UndoKind::BasePointChange, document_.baseRow, document_.modified)) {
    made->newBase = row;
  }
  establishBase(row);
  if (document_.baseRow >= 0) notify([&](TableObserver& o) { o.makeRowVisible(document_.baseRow); });
}

int PoiTable::dropRowFor(int hitRow) const {
  if (hitRow < 0 || hitRow > document_.rowCount()) return document_.rowCount();
  return hitRow == 0 && document_.basePointPinned ? 1 : hitRow;
}

PoiTable::DropEffect PoiTable::dropEffect(int dropRow, bool copy) const {
  const auto& rows = document_.rows;
  const auto first = std::ranges::find_if(rows, &PoiRecord::selected);
  if (first == rows.end() || isMyBasePointRow(static_cast<int>(first - rows.begin()))) return DropEffect::None;
  if (copy) return DropEffect::Copy;
  const int firstRow = static_cast<int>(first - rows.begin());
  const auto last = std::find_if(rows.rbegin(), rows.rend(), [](const PoiRecord& r) { return r.selected; });
  const int lastRow = static_cast<int>(rows.rend() - last) - 1;
  const bool block = std::all_of(first, rows.begin() + lastRow + 1, [](const PoiRecord& r) { return r.selected; });
  // Dropping a block onto itself or right after it would leave everything where it is.
  if (block && dropRow >= firstRow && dropRow <= lastRow + 1) return DropEffect::None;
  return DropEffect::Move;
}

void PoiTable::dropRows(int dropRow, bool copy) {
  const auto indexOf = [this](RowId id) {
    const auto found = std::ranges::find_if(document_.rows, [id](const PoiRecord& r) { return r.id() == id; });
    return found == document_.rows.end() ? -1 : static_cast<int>(found - document_.rows.begin());
  };
  std::vector<RowId> sources;
  for (const PoiRecord& record : document_.rows) {
    if (record.selected) sources.push_back(record.id());
  }
  const int oldBase = document_.baseRow;
  const RowId oldBaseId = oldBase >= 0 ? rowAt(oldBase).id() : 0;
  RowId base = oldBaseId;
  notify([](TableObserver& o) { o.redrawSuspended(true); });
  {
    const Action action(*this, Show::WholeTable);
    int at = dropRow;
    for (const RowId source : sources) {
      const int from = indexOf(source);
      const std::array<std::u16string, 5> texts = textsOf(from);
      const int row = insertRow(at++, texts[kName], true);
      for (int column = kLng; column <= kMemo; ++column) rowAt(row).setText(column, texts[column]);
      if (copy) {
        rowAt(indexOf(source)).selected = false;
      } else if (source == base) {
        base = rowAt(row).id();
      }
    }
    if (!copy) {
      for (const RowId source : sources) deleteRow(indexOf(source));
    }
    if (oldBase >= 0) {
      const int newBase = indexOf(base);
      // A moved base row is a new row, also where it lands on the index it had.
      if (newBase != oldBase || base != oldBaseId) {
        document_.baseRow = oldBase;  // recorded as a change from where the base stood before the drag
        changeBase(newBase);
      } else {
        establishBase(newBase);
      }
    }
  }
  notify([](TableObserver& o) { o.redrawSuspended(false); });
}

void PoiTable::flipDistanceColumn(int base) {
  DisplayOptions& display = document_.display;
  display.showDistance = !display.showDistance;
  if (display.showDistance) {
    establishBase(base);
  } else {
    document_.baseRow = -1;
    UpdateDistances(document_, -1);
  }
  notify([](TableObserver& o) { o.refitColumns(kDistance, true); });
  notify([](TableObserver& o) { o.tableReset(); });
}

void PoiTable::toggleDistanceColumn() {
  const Action action(*this);
  const int before = document_.baseRow;
  if (document_.display.showDistance) {
    removeMyBasePoint();
    flipDistanceColumn(-1);
    if (firstSelected() < 0 && !document_.rows.empty()) selectAndFocus(0);
  } else {
    flipDistanceColumn(document_.rows.empty() ? -1 : 0);
  }
  if (UndoRecord* made = undo_.record(UndoKind::DistanceColumnToggle, before, document_.modified)) {
    made->newBase = document_.baseRow;
  }
}

void PoiTable::selectAll() {
  for (PoiRecord& record : document_.rows) record.selected = true;
  notify([](TableObserver& o) { o.tableReset(); });
}

void PoiTable::toggleSelection() {
  for (PoiRecord& record : document_.rows) {
    record.selected = !record.selected;
    record.focused = false;
  }
  notify([](TableObserver& o) { o.tableReset(); });
}

void PoiTable::placeMyBasePoint(const std::array<std::u16string, 5>& texts, int lastColumn) {
  if (!document_.basePointPinned) {
    document_.basePointPinned = true;  // before the insertion, which is then the My Base Point row's
    insertRow(0, texts[kName], false);
  }
  for (int column = kName; column <= lastColumn; ++column) {
    // Setting the texts row 0 holds already is no change, and no undo step.
    if (document_.text(0, column) != texts[column]) setCell(0, column, texts[column]);
  }
  establishBase(0);
}

void PoiTable::removeMyBasePoint() {
  if (!document_.basePointPinned) return;
  deleteRow(0);
  document_.basePointPinned = false;
}

void PoiTable::establishBase(int row) {
  SetBasePoint(document_, row);
  stale_ = StaleDistances::None;
  notify([](TableObserver& o) { o.distancesChanged(); });
}

// ------------------------------------------------------------------------------ undo and redo

PoiRecord PoiTable::rowWithTexts(const std::array<std::u16string, 5>& texts) {
  PoiRecord record(document_.nextRowId++);
  for (int column = kName; column <= kMemo; ++column) {
    std::u16string text = texts[column];
    if (column == kLng || column == kLat) Reformat(text, static_cast<Axis>(column), document_.display);
    record.setText(column, text);
  }
  return record;
}

int PoiTable::insertWithTexts(int row, const std::array<std::u16string, 5>& texts) {
  document_.rows.insert(document_.rows.begin() + row, rowWithTexts(texts));
  selectAndFocus(row);
  notify([&](TableObserver& o) { o.rowsInserted(row, 1); });
  return row;
}

void PoiTable::swapCellText(UndoRecord& record) {
  notify([&](TableObserver& o) { o.rowAboutToChange(record.row); });
  std::u16string current(document_.text(record.row, record.column));
  if (record.column == kLng || record.column == kLat) {
    Reformat(record.text, static_cast<Axis>(record.column), document_.display);
  }
  rowAt(record.row).setText(record.column, record.text);
  record.text = std::move(current);
  selectAndFocus(record.row);
  notify([&](TableObserver& o) { o.rowChanged(record.row); });
  notify([&](TableObserver& o) { o.cellChanged(record.row, record.column); });
}

void PoiTable::undoRecord(UndoRecord& record) {
  switch (record.kind) {
    case UndoKind::CellChange:
      swapCellText(record);
      if (record.baseMark != BaseMark::None) document_.baseRow = record.row;
      break;
    case UndoKind::RowInsert:
      if (!record.texts) record.texts = textsOf(record.row);
      removeRow(record.row);
      if (record.baseMark == BaseMark::MyBasePoint) document_.basePointPinned = false;
      break;
    case UndoKind::RowDelete:
      insertWithTexts(record.row, *record.texts);
      if (record.baseMark != BaseMark::None) {
        document_.baseRow = record.row;
        if (record.baseMark == BaseMark::MyBasePoint) document_.basePointPinned = true;
      } else if (document_.baseRow >= record.row) {
        ++document_.baseRow;
      }
      break;
    case UndoKind::BasePointChange:
      document_.baseRow = record.row;
      if (record.row >= 0) {
        selectAndFocus(record.row);
      } else {
        UpdateDistances(document_, -1);  // no base: no row keeps the base mark either
      }
      break;
    case UndoKind::RowMoveUp:
    case UndoKind::RowMoveDown: {
      const int back = record.kind == UndoKind::RowMoveUp ? record.row + 1 : record.row - 1;
      moveRow(record.row, back);
      record.row = back;
      break;
    }
    case UndoKind::Reorder: {
      reorder(record.order);  // the row that stood at place i is now at order[i]
      state.currentColumn = state.sortColumn = record.sortColumn;
      state.sortAscending = record.sortAscending;
      state.sortArrowShown = false;
      break;
    }
    case UndoKind::DistanceColumnToggle:
      flipDistanceColumn(record.row);
      break;
  }
}

void PoiTable::redoRecord(UndoRecord& record) {
  const bool myBasePointRow = isMyBasePointRow(record.row);
  switch (record.kind) {
    case UndoKind::CellChange:
      swapCellText(record);
      if (!myBasePointRow) document_.modified = true;
      break;
    case UndoKind::RowInsert:
      insertWithTexts(record.row, *record.texts);
      insertedAgain(record);
      break;
    case UndoKind::RowDelete:
      if (myBasePointRow) {
        document_.basePointPinned = false;
      } else {
        document_.modified = true;
      }
      removeRow(record.row);
      break;
    case UndoKind::BasePointChange:
      if (record.newBase >= 0) selectAndFocus(record.newBase);
      break;
    case UndoKind::RowMoveUp:
    case UndoKind::RowMoveDown: {
      const int again = record.kind == UndoKind::RowMoveUp ? record.row - 1 : record.row + 1;
      moveRow(record.row, again);
      record.row = again;
      break;
    }
    case UndoKind::Reorder: {
      // Sorting again gives the order the record keeps, without comparing a single row.
      std::vector<int> from(record.order.size());
      for (std::size_t row = 0; row < from.size(); ++row) {
        from[static_cast<std::size_t>(record.order[row])] = static_cast<int>(row);
      }
      reorder(from);
      state.currentColumn = state.sortColumn = record.sortColumn;
      state.sortAscending = record.sortAscending;
      state.sortArrowShown = true;
      break;
    }
    case UndoKind::DistanceColumnToggle:
      flipDistanceColumn(record.newBase);
      break;
  }
}

// Record j of the run deleted the row that stood at row + j before the run.
void PoiTable::undoDeletions(std::vector<UndoRecord>& group, std::size_t start, std::size_t end) {
  const std::size_t count = end - start;
  std::vector<PoiRecord> rows;
  rows.reserve(document_.rows.size() + count);
  int base = document_.baseRow;
  int newBase = -1;
  std::size_t next = 0;  // the next remaining row
  for (std::size_t j = 0; j < count; ++j) {
    const UndoRecord& record = group[start + j];
    const std::size_t original = static_cast<std::size_t>(record.row) + j;
    while (rows.size() < original) {
      if (static_cast<int>(next) == base) newBase = static_cast<int>(rows.size());
      rows.push_back(std::move(document_.rows[next++]));
    }
    if (record.baseMark != BaseMark::None) {
      base = -2;  // the old base row, if any, is no longer the base
      newBase = static_cast<int>(rows.size());
      if (record.baseMark == BaseMark::MyBasePoint) document_.basePointPinned = true;
    }
    rows.push_back(rowWithTexts(*record.texts));
    rows.back().selected = true;
  }
  for (; next < document_.rows.size(); ++next) {
    if (static_cast<int>(next) == base) newBase = static_cast<int>(rows.size());
    rows.push_back(std::move(document_.rows[next]));
  }
  document_.rows = std::move(rows);
  document_.baseRow = newBase;
  rowAt(group[start].row).focused = true;
  notify([](TableObserver& o) { o.tableReset(); });
}

void PoiTable::redoDeletions(std::vector<UndoRecord>& group, std::size_t start, std::size_t end) {
  std::vector<bool> removed(document_.rows.size(), false);
  for (std::size_t j = start; j < end; ++j) {
    const UndoRecord& record = group[j];
    const int row = record.row + static_cast<int>(j - start);  // the row's index before the run
    notify([&](TableObserver& o) { o.rowAboutToChange(row); });
    notify([&](TableObserver& o) { o.rowAboutToBeRemoved(row); });
    if (isMyBasePointRow(row)) {
      document_.basePointPinned = false;
    } else {
      document_.modified = true;
    }
    removed[static_cast<std::size_t>(row)] = true;
  }
  int base = document_.baseRow;
  if (base >= 0) {
    base = removed[static_cast<std::size_t>(base)]
               ? -1
               : base - static_cast<int>(std::count(removed.begin(), removed.begin() + base, true));
  }
  std::size_t index = 0;
  std::erase_if(document_.rows, [&](const PoiRecord&) { return removed[index++]; });
  document_.baseRow = base;
  notify([](TableObserver& o) { o.tableReset(); });
}

// A redone insertion is brought back as an undone deletion is: a row that was the base is the base
// again; another moves the base on.
void PoiTable::insertedAgain(const UndoRecord& record) {
  if (record.baseMark != BaseMark::None) {
    document_.baseRow = record.row;
    if (record.baseMark == BaseMark::MyBasePoint) document_.basePointPinned = true;
  } else if (document_.baseRow >= record.row) {
    ++document_.baseRow;
  }
  if (!isMyBasePointRow(record.row)) document_.modified = true;
}

// Record j of the run inserted the row that stands at row + j.
void PoiTable::undoInsertions(std::vector<UndoRecord>& group, std::size_t start, std::size_t end) {
  const int first = group[start].row;
  const int count = static_cast<int>(end - start);
  for (std::size_t j = start; j < end; ++j) {
    UndoRecord& record = group[j];
    notify([&](TableObserver& o) { o.rowAboutToChange(record.row); });
    notify([&](TableObserver& o) { o.rowAboutToBeRemoved(record.row); });
    if (!record.texts) record.texts = textsOf(record.row);
    if (record.baseMark == BaseMark::MyBasePoint) document_.basePointPinned = false;
  }
  document_.rows.erase(document_.rows.begin() + first, document_.rows.begin() + first + count);
  int& base = document_.baseRow;
  if (base >= first + count) {
    base -= count;
  } else if (base >= first) {
    base = -1;
  }
  notify([&](TableObserver& o) { o.rowsRemoved(first, count); });
}

void PoiTable::redoInsertions(std::vector<UndoRecord>& group, std::size_t start, std::size_t end) {
  const int first = group[start].row;
  std::vector<PoiRecord> rows;
  rows.reserve(end - start);
  for (std::size_t j = start; j < end; ++j) {
    UndoRecord& record = group[j];
    rows.push_back(rowWithTexts(*record.texts));
    rows.back().selected = true;
    insertedAgain(record);  // as if inserted one after the other
  }
  const int count = static_cast<int>(rows.size());
  document_.rows.insert(document_.rows.begin() + first, std::make_move_iterator(rows.begin()),
                        std::make_move_iterator(rows.end()));
  focus(first + count - 1);
  notify([&](TableObserver& o) { o.rowsInserted(first, count); });
}

void PoiTable::finishUndo(const UndoRecord& oldest) {
  switch (oldest.kind) {
    case UndoKind::RowInsert:
      document_.baseRow = oldest.baseBefore;
      [[fallthrough]];
    case UndoKind::CellChange:
    case UndoKind::RowDelete:
      document_.modified = oldest.modifiedBefore;
      [[fallthrough]];
    case UndoKind::BasePointChange: {
      const int visible = oldest.row;  // for a base change, the previous base row
      if (visible >= 0 && visible < document_.rowCount()) {
        notify([&](TableObserver& o) { o.makeRowVisible(visible); });
      }
      establishBase(document_.baseRow);
      notify([](TableObserver& o) { o.refitColumns(-1, false); });
      break;
    }
    case UndoKind::RowMoveUp:
    case UndoKind::RowMoveDown:
    case UndoKind::Reorder:
      document_.modified = oldest.modifiedBefore;
      break;
    case UndoKind::DistanceColumnToggle:
      break;
  }
}

void PoiTable::finishRedo(const std::vector<UndoRecord>& group) {
  switch (group.back().kind) {
    case UndoKind::CellChange:
    case UndoKind::RowInsert: {
      const int visible = std::min(group.front().row, document_.rowCount() - 1);
      if (visible >= 0) notify([&](TableObserver& o) { o.makeRowVisible(visible); });
      establishBase(document_.baseRow);
      notify([](TableObserver& o) { o.refitColumns(-1, false); });
      break;
    }
    case UndoKind::RowDelete:
      establishBase(-1);
      break;
    case UndoKind::BasePointChange:
      if (group.back().newBase >= 0) {
        notify([&](TableObserver& o) { o.makeRowVisible(group.back().newBase); });
      }
      establishBase(group.back().newBase);
      break;
    case UndoKind::RowMoveUp:
    case UndoKind::RowMoveDown:
    case UndoKind::Reorder:
      document_.modified = true;  // the rows are in the changed order again
      break;
    default:
      break;
  }
}

void PoiTable::undo() {
  if (!canUndo()) return;
  undo_.stopRecording();
  clearSelection();
  std::vector<UndoRecord>& group = undo_.stepBack();
  const bool rows = IsRowKind(group.back().kind);
  if (rows) notify([](TableObserver& o) { o.redrawSuspended(true); });
  for (std::size_t end = group.size(); end > 0;) {
    const std::size_t start = RunStart(group, end);
    if (end - start == 1) {
      undoRecord(group[--end]);
      continue;
    }
    if (group[start].kind == UndoKind::RowDelete) {
      undoDeletions(group, start, end);
    } else {
      undoInsertions(group, start, end);
    }
    end = start;
  }
  finishUndo(group.front());
  if (rows) notify([](TableObserver& o) { o.redrawSuspended(false); });
}

void PoiTable::redo() {
  if (!canRedo()) return;
  undo_.stopRecording();
  clearSelection();
  std::vector<UndoRecord>& group = undo_.stepForward();
  const bool rows = IsRowKind(group.front().kind);
  if (rows) notify([](TableObserver& o) { o.redrawSuspended(true); });
  for (std::size_t start = 0; start < group.size();) {
    const std::size_t end = RunEnd(group, start);
    if (end - start == 1) {
      redoRecord(group[start]);
    } else if (group[start].kind == UndoKind::RowDelete) {
      redoDeletions(group, start, end);
    } else {
      redoInsertions(group, start, end);
    }
    start = end;
  }
  finishRedo(group);
  if (rows) notify([](TableObserver& o) { o.redrawSuspended(false); });
}

}  // namespace qf
