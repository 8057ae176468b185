#pragma once

#include "core/poi_document.h"
#include "core/user_port.h"
#include "editing/poi_table.h"
#include "editing/row_exchange.h"

class QMimeData;

namespace qf {

// The system clipboard's side of Cut, Copy, Paste, Copy Coordinates and Paste Coordinates: the
// row block under the program's own types, and the text form for every other program.
inline constexpr char kPoiRowsType[] = "application/x-quillfern-poi-rows";
inline constexpr char kCameraRowsType[] = "application/x-quillfern-poi-rows-sc";
inline constexpr char kRouteRowsType[] = "application/x-rookhaven-poi-rows";

// What the clipboard offers, for the enabling rules.
struct ClipboardOffer {
  bool poiRows = false;
  bool cameraRows = false;
  bool routeRows = false;
  bool text = false;
};
ClipboardOffer OfferOf(const QMimeData* data);
void CopyRows(const PoiDocument& document, bool lngFirst);
// Pastes the rows this document kind takes; shows kEliminatedDuplicates when duplicates were left out.
void PasteFromClipboard(PoiTable& table, bool checkName, UserPort& port);
void CopyCoordinates(const PoiDocument& document);
void PasteCoordinatesFromClipboard(PoiTable& table);

// Rows dragged onto another program: the selected rows in the drag layout and as text, made only
// when a target asks for them (a drag inside the table never needs them).
QMimeData* NewDraggedRows(const PoiTable& table);
// Fixes the rows a drag of NewDraggedRows carries to those selected now. Called as the drag ends:
// a target in another program may ask for them only afterwards.
void KeepDraggedRows(const QMimeData* data);
// Rows another editor or the route editor dropped here; none when the data holds no rows.
bool HasDroppedRows(const QMimeData* data);
ExchangeRows DroppedRows(const QMimeData* data);

}  // namespace qf
