#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/app_settings.h"
#include "editing/poi_table.h"

namespace qf {

// A saved base point: Name, Lng, Lat, Tel and Memo, the coordinates in the display format.
using BasePoint = std::array<std::u16string, 5>;

// Set Base Point: the first selected row becomes the base, a My Base Point row going first; one
// undo step.
void SetBaseToSelection(PoiTable& table);

// After a file is opened (recording suspended): the saved base point of "Insert List", or the
// last one before it, becomes row 0 and the base, when "Auto BP" is on.
void InsertMyBasePoint(PoiTable& table, AppSettings& settings);

// The saved base points as the "My Base Point" dialog edits them; nothing is saved before OK or
// Set, and Cancel leaves the settings as they were.
class BasePointList {
 public:
  BasePointList(const BasePointSettings& saved, const DisplayOptions& display);

  const std::vector<BasePoint>& entries() const { return entries_; }
  int currentIndex() const { return current_; }
  // The list's selection, one flag per entry.
  std::vector<bool> selected;
  void selectOnly(int index);

  // Button enabling.
  bool canSet() const;
  bool canMoveUp() const;
  bool canMoveDown() const;
  bool canAdd(const PoiTable& table) const;
  bool canDelete() const;
  bool canDeleteAll() const { return !entries_.empty(); }
  bool canExportAll() const { return !entries_.empty() && !exported_; }
  bool canOk() const { return changed_; }

  // Set: the selected entry becomes row 0 and the base (one undo step); the list is saved.
  void set(PoiTable& table, BasePointSettings& saved);
  void move(bool up);
  // Adds the selected table rows that have a position, overwriting entries of the same name.
  void add(const PoiTable& table);
  void remove();
  void removeAll();
  // Appends every entry to the table as new rows (one undo step); only once per dialog.
  void exportAll(PoiTable& table);
  void ok(BasePointSettings& saved) const;

 private:
  int onlySelected() const;
  void save(BasePointSettings& saved) const;

  std::vector<BasePoint> entries_;
  DisplayOptions display_;
  int current_ = 0;
  bool changed_ = false;
  bool exported_ = false;
};

}  // namespace qf
