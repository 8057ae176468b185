#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace qf {

// The messages the map page sends its host.
enum class PageMessageKind {
  Ready,           // the page has finished initialising (its text is the program title)
  Terminate,       // the page could not initialise and has told the user
  Add,             // a new POI at the end of the table
  Insert,          // a new POI at the selected row
  Update,          // a moved marker's POI takes a new position and memo
  UpdateAll,       // every moved marker is to be applied
  Select,          // a marker was clicked: select its POI
  ClearSelection,  // the page undid all marker moves
  Delete,          // delete the marker's POI
  Edit,            // edit a cell of the marker's POI
};

struct PageMessage {
  PageMessageKind kind = PageMessageKind::Ready;
  // Name, Lng, Lat, Tel and Memo: the new POI's, or those that identify the marker's POI.
  std::array<std::u16string, 5> texts;
  std::u16string newLng;  // Update
  std::u16string newLat;
  std::u16string newMemo;
  int column = 0;  // Edit: 0 Name ... 4 Memo
};

// Reads a message text strictly: a message that is truncated, malformed, has an unknown code or
// more or fewer fields than its code takes is no message. A coordinate "-0.00000" reads as "0.00000".
std::optional<PageMessage> ParsePageMessage(std::u16string_view text);

// The status bar's help for a status text that names one of the page's link handlers
// ("javascript:OnAdd(3)"): the id of the text to show, or 0 to show nothing. Nothing when the text
// names no handler and is shown as it is.
std::optional<int> LinkHelp(std::u16string_view statusText);

}  // namespace qf
