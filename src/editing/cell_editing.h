#pragma once

#include <span>
#include <string>
#include <string_view>

#include "core/message_id.h"
#include "core/poi_document.h"
#include "editing/poi_table.h"

namespace qf {

// The rules of editing one cell in place, without the widgets: what may be typed, what a new
// row's name proposes, which columns pick from a fixed list, what a commit accepts, and where
// Tab goes next.

// Characters the edit box takes for each column.
std::size_t EditLimit(int column);

// Whether a typed character reaches the edit box of the column. `control` marks Ctrl+C, Ctrl+V,
// Ctrl+X, Ctrl+Z and Backspace, which pass wherever filtering applies.
bool PassesTypingFilter(int column, char16_t character, bool control);

// The name proposed for an empty Name cell, from the local time.
struct LocalTime {
  int month;   // 1-12
  int day;     // 1-31
  int hour;    // 0-23
  int minute;
  int second;
};
std::u16string DefaultName(DocumentKind kind, const LocalTime& time);

// A column that picks from a fixed list: the items, the item a cell without a value starts on,
// and the status hint. Empty items for a column edited as free text.
struct FixedValues {
  std::span<const std::u16string_view> items;
  int defaultItem = 0;
  int hintId = 0;
};
FixedValues FixedValuesFor(DocumentKind kind, int column);
// The item the list opens on for a cell's text.
int InitialItem(const FixedValues& values, std::u16string_view cellText);

// The status hint of the edit box for a column, Tab help included.
std::u16string EditHint(int column);

// What committing a text into a cell gives: 0 and the value to store, or the id of the message
// that rejects it. With askDuplicate the name exists already and the user decides (OK stores it).
struct CommitCheck {
  int messageId = 0;
  bool askDuplicate = false;
  std::u16string value;
};
// `text` is the edit box's text, or the selected item of a fixed list.
CommitCheck CheckCommit(const PoiDocument& document, int row, int column, std::u16string text, bool checkName);

// Stores an accepted value: a recorded cell change, or for the name of a row just added the held
// insertion as one undo step. Nothing for an unchanged value.
void CommitCell(PoiTable& table, int row, int column, std::u16string_view value);

// The column Tab (forward) or Shift+Tab moves to, in display order, wrapping within the row and
// skipping what cannot be edited.
int NextEditColumn(const PoiDocument& document, int column, bool forward, bool lngFirst);

}  // namespace qf
