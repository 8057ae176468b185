#pragma once

#include <array>
#include <string>

#include "editing/poi_table.h"
#include "map/page_message.h"

namespace qf {

// What the window does once a page message has been applied.
enum class BridgeStep {
  Nothing,        // nothing changed
  Refresh,        // the rows or the selection changed: show them and the title again
  EditCell,       // as Refresh, then open the cell editor on the row and column
  ApplyAllMoves,  // run the page's update loop (PutGoogleMaps 17 + k), applying its messages
};

struct BridgeResult {
  BridgeStep step = BridgeStep::Nothing;
  int row = -1;
  int column = -1;
};

// The row whose Name, Lng, Lat, Tel and Memo equal the texts (the coordinates in plain decimal), or -1.
int FindMarkedRow(const PoiDocument& document, const std::array<std::u16string, 5>& texts);

// Applies a message of the page to the table (Ready and Terminate are the window's), each change
// one undo step. The table's selection is cleared first, unless the message belongs to an update
// the host started. A message that names a POI no longer in the table changes nothing more.
BridgeResult ApplyPageMessage(PoiTable& table, const PageMessage& message, bool hostStartedUpdate);

// A row's texts as the page knows its marker: the coordinates in plain decimal.
std::array<std::u16string, 5> MarkerTexts(const PoiDocument& document, int row);

// The script call that drives the page: a command alone, or with a row's marker texts.
std::string PutGoogleMapsCall(int command);
std::string PutGoogleMapsCall(int command, const std::array<std::u16string, 5>& texts);

}  // namespace qf
