#include "editing/base_points.h"

#include <algorithm>

#include "core/coordinates.h"
#include "core/field_rules.h"
#include "core/string_table.h"

namespace qf {

namespace {

constexpr std::size_t kMaxStoredCoordinate = 31;

// Five fields split at '>'; the last takes the rest of the text.
BasePoint Parse(std::u16string_view stored, const DisplayOptions& display) {
  BasePoint point;
  for (int field = kName; field <= kMemo; ++field) {
    const std::size_t separator = field == kMemo ? std::u16string_view::npos : stored.find(u'>');
    point[field] = stored.substr(0, separator);
    stored = separator == std::u16string_view::npos ? std::u16string_view() : stored.substr(separator + 1);
  }
  for (const int column : {kLng, kLat}) {
    std::u16string& text = point[column];
    if (text.size() > kMaxStoredCoordinate) text.resize(kMaxStoredCoordinate);
    FromPlainDecimal(text, static_cast<Axis>(column), display);
  }
  return point;
}

std::u16string Stored(const BasePoint& point, const DisplayOptions& display) {
  std::u16string stored;
  for (int field = kName; field <= kMemo; ++field) {
    std::u16string text = point[field];
    if (field == kLng || field == kLat) ToPlainDecimal(text, display);
    if (field > kName) stored += u'>';
    stored += text;
  }
  return stored;
}

// The Tel and Memo cells of row 0 that a base point fills: all of them in a plain POI document.
bool FillsTelAndMemo(const PoiDocument& document) { return document.kind == DocumentKind::Poi; }

}  // namespace

void SetBaseToSelection(PoiTable& table) {
  PoiDocument& document = table.document();
  int row = table.firstSelected();
  if (row < 0) return;
  const PoiTable::Action action(table, PoiTable::Show::FittedColumns);
  if (document.basePointPinned && row > 0) --row;  // the row moves up once the My Base Point row is gone
  table.removeMyBasePoint();
  table.changeBase(row);
}

void InsertMyBasePoint(PoiTable& table, AppSettings& settings) {
  PoiDocument& document = table.document();
  document.basePointPinned = false;
  BasePointSettings& saved = settings.basePoints;
  // The row is there for the distances: without the Distance column it has no purpose.
  if (!settings.on(Switch::AutoBasePoint) || !document.display.showDistance || saved.entries.empty() ||
      document.kind == DocumentKind::Phonebook) {
    return;
  }
  const int index = std::min(saved.insertIndex, static_cast<int>(saved.entries.size()) - 1);
  BasePoint point = Parse(saved.entries[static_cast<std::size_t>(index)], document.display);
  if (NormaliseName(point[kName]) == 0) return;
  table.placeMyBasePoint(point, document.kind == DocumentKind::SafetyCamera ? kLat : kMemo);
  saved.insertIndex = index;
}

BasePointList::BasePointList(const BasePointSettings& saved, const DisplayOptions& display) : display_(display) {
  for (const std::u16string& stored : saved.entries) {
    BasePoint point = Parse(stored, display);
    // The settings file may hold any name; one that the name rule leaves empty is no entry.
    if (NormaliseName(point[kName]) > 0) entries_.push_back(std::move(point));
  }
  selected.assign(entries_.size(), false);
  current_ = entries_.empty() ? 0 : std::min(saved.insertIndex, static_cast<int>(entries_.size()) - 1);
  if (!entries_.empty()) selected[static_cast<std::size_t>(current_)] = true;
}

int BasePointList::onlySelected() const {
  if (std::ranges::count(selected, true) != 1) return -1;
  return static_cast<int>(std::ranges::find(selected, true) - selected.begin());
}

void BasePointList::selectOnly(int index) {
  selected.assign(entries_.size(), false);
  if (index >= 0 && index < static_cast<int>(entries_.size())) selected[static_cast<std::size_t>(index)] = true;
}

bool BasePointList::canSet() const { return onlySelected() >= 0; }
bool BasePointList::canMoveUp() const { return onlySelected() > 0; }
bool BasePointList::canMoveDown() const {
  const int index = onlySelected();
  return index >= 0 && index + 1 < static_cast<int>(entries_.size());
}
bool BasePointList::canAdd(const PoiTable& table) const {
  return std::ranges::any_of(table.document().rows, &PoiRecord::selected) &&
         entries_.size() < static_cast<std::size_t>(kMaxBasePoints);
}
bool BasePointList::canDelete() const { return std::ranges::find(selected, true) != selected.end(); }

void BasePointList::set(PoiTable& table, BasePointSettings& saved) {
  const int index = onlySelected();
  if (index < 0) return;
  PoiTable::Action action(table, PoiTable::Show::FittedColumns);
  table.placeMyBasePoint(entries_[static_cast<std::size_t>(index)], FillsTelAndMemo(table.document()) ? kMemo : kLat);
  current_ = index;
  saved.insertIndex = index;
  if (changed_) save(saved);
  table.clearSelection();
  table.selectAndFocus(0);
  action.reveal(0);
}

void BasePointList::move(bool up) {
  const int index = onlySelected();
  const int other = up ? index - 1 : index + 1;
  if (index < 0 || other < 0 || other >= static_cast<int>(entries_.size())) return;
  std::swap(entries_[static_cast<std::size_t>(index)], entries_[static_cast<std::size_t>(other)]);
  if (current_ == index) {
    current_ = other;
  } else if (current_ == other) {
    current_ = index;
  }
  selectOnly(other);
  changed_ = true;
}

void BasePointList::add(const PoiTable& table) {
  const PoiDocument& document = table.document();
  std::size_t room = static_cast<std::size_t>(kMaxBasePoints) - std::min(entries_.size(), std::size_t{kMaxBasePoints});
  int first = -1;
  for (int row = 0; row < document.rowCount() && room > 0; ++row) {
    if (!document.rows[static_cast<std::size_t>(row)].selected) continue;
    --room;  // the first k selected rows count, with or without a position
    if (document.text(row, kLng).empty() || document.text(row, kLat).empty()) continue;
    BasePoint point;
    for (int column = kName; column <= kMemo; ++column) point[column] = document.text(row, column);
    if (document.kind == DocumentKind::SafetyCamera) {
      const bool myBasePoint = row == 0 && document.basePointPinned;
      point[kMemo] = myBasePoint ? u"" : LoadString(kSpeedWord) + point[kTel] + u", " + point[kMemo];
      point[kTel].clear();
    }
    const auto same = std::ranges::find_if(entries_, [&](const BasePoint& e) { return e[kName] == point[kName]; });
    int index = static_cast<int>(same - entries_.begin());
    if (same == entries_.end()) {
      entries_.push_back(std::move(point));
    } else {
      *same = std::move(point);
    }
    if (first < 0) first = index;
  }
  if (first >= 0) {
    selectOnly(first);
    changed_ = true;
  }
}

void BasePointList::remove() {
  int firstRemoved = -1;
  std::vector<BasePoint> kept;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (!selected[i]) {
      kept.push_back(std::move(entries_[i]));
      continue;
    }
    if (firstRemoved < 0) firstRemoved = static_cast<int>(i);
  }
  if (firstRemoved < 0) return;
  // The current entry: gone, it becomes the first; else it moves up past the removed ones.
  const auto current = static_cast<std::size_t>(current_);
  const bool currentRemoved = current < selected.size() && selected[current];
  const auto removedBefore = std::count(selected.begin(), selected.begin() + std::min(current, selected.size()), true);
  current_ = currentRemoved ? 0 : current_ - static_cast<int>(removedBefore);
  entries_ = std::move(kept);
  selectOnly(std::min(firstRemoved, static_cast<int>(entries_.size()) - 1));
  changed_ = true;
}

void BasePointList::removeAll() {
  entries_.clear();
  selected.clear();
  current_ = 0;
  changed_ = true;
}

void BasePointList::exportAll(PoiTable& table) {
  if (!canExportAll()) return;
  PoiDocument& document = table.document();
  PoiTable::Action action(table, PoiTable::Show::FittedColumns);
  table.clearSelection();
  action.reveal(document.rowCount());  // the first exported row
  for (const BasePoint& point : entries_) {
    const int row = table.insertRow(document.rowCount(), point[kName], true);
    for (int column = kLng; column <= kMemo; ++column) table.setCell(row, column, point[column]);
  }
  exported_ = true;
}

void BasePointList::ok(BasePointSettings& saved) const {
  saved.insertIndex = current_;
  if (changed_) save(saved);
}

void BasePointList::save(BasePointSettings& saved) const {
  saved.entries.clear();
  for (const BasePoint& point : entries_) saved.entries.push_back(Stored(point, display_));
  saved.insertIndex = current_;
}

}  // namespace qf
