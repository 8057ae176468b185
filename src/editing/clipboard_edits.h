#pragma once

#include "core/user_port.h"
#include "editing/poi_table.h"
#include "editing/row_exchange.h"

namespace qf {

// The table side of the clipboard commands; the clipboard itself belongs to the window.

// The selected rows as Copy puts them on the clipboard.
ExchangeRows SelectedExchangeRows(const PoiDocument& document);

// Paste, and POIs sent by the route editor: the rows go in before the first selected row (after a
// My Base Point row; at the end when nothing is selected), selected, through the field rules and
// the "Same POI Names" question, as one undo step. Returns the number of rows left out as
// duplicates (the caller shows kEliminatedDuplicates).
int PasteRows(PoiTable& table, const ExchangeRows& rows, bool checkName, UserPort& port);
// Rows dropped from another program go in the same way before the drop row.
int InsertRowsAt(PoiTable& table, const ExchangeRows& rows, int at, bool checkName, UserPort& port);

// Paste Coordinates: both coordinates of every selected row, a missing value emptying its cell.
void PasteCoordinates(PoiTable& table, const PastedCoordinates& coordinates);

}  // namespace qf
