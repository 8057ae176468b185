#pragma once

#include <string>

#include "editing/poi_table.h"

namespace qf {

// What the Find and Replace dialogs share for the whole run of the program.
struct FindState {
  bool matchCase = false;
  bool onlyName = false;   // search the Name column only, else Name to Memo
  bool selectAll = false;  // Find: select every match; Replace: replace every match
  std::u16string findText;
  std::u16string replaceText;
};

// Selects the rows found from `start` on: every matching row with selectAll, else the first one,
// wrapping round to the rows above `start`. Returns the first row found, or -1.
int Search(PoiTable& table, const FindState& find, int start, bool selectAll);

// Find: from the first row. Find Next: from the row after the first selected one.
int Find(PoiTable& table, const FindState& find);
int FindNext(PoiTable& table, const FindState& find);

// Replace with "Replace all match data": every row, as one undo step.
bool ReplaceAll(PoiTable& table, const FindState& find, bool checkName);
// Replace Next: replaces in the selected row when it matches, then finds the next match.
// Returns the row found next, or -1.
int ReplaceNext(PoiTable& table, const FindState& find, bool checkName);

}  // namespace qf
