#include "editing/clipboard_edits.h"

#include <algorithm>

#include "core/duplicate_names.h"
#include "core/field_rules.h"

namespace qf {

ExchangeRows SelectedExchangeRows(const PoiDocument& document) {
  ExchangeRows rows;
  for (int row = 0; row < document.rowCount(); ++row) {
    if (document.rows[static_cast<std::size_t>(row)].selected) rows.push_back(MakeExchangeRow(document, row));
  }
  return rows;
}

int PasteRows(PoiTable& table, const ExchangeRows& rows, bool checkName, UserPort& port) {
  const int at = table.firstSelected();
  return InsertRowsAt(table, rows, at < 0 ? table.document().rowCount() : at, checkName, port);
}

int InsertRowsAt(PoiTable& table, const ExchangeRows& rows, int at, bool checkName, UserPort& port) {
  PoiDocument& document = table.document();
  // A My Base Point row stays first.
  at = std::clamp(at, document.basePointPinned ? 1 : 0, document.rowCount());
  const int countBefore = document.rowCount();
  table.clearSelection();
  PoiTable::Action action(table, PoiTable::Show::FittedColumns);
  DuplicateNames duplicates(document, checkName, port);
  table.insertBlock(at, [&] {
    for (const ExchangeRow& record : rows) {
      std::u16string name = record.texts[kName];
      if (NormaliseName(name) == 0 || duplicates.eliminate(name)) continue;
      const int row = table.insertRow(document.rowCount(), name, true);
      if (document.kind != DocumentKind::Phonebook) {
        table.changeCoordinate(row, kLng, record.texts[kLng]);
        table.changeCoordinate(row, kLat, record.texts[kLat]);
      }
      table.setCell(row, kTel, TelephoneCellText(document, record.texts[kTel]));
      if (!document.richPoiFile) table.setCell(row, kMemo, MemoCellText(document, record.texts[kMemo]));
    }
  });
  if (document.rowCount() != countBefore) action.reveal(at);
  return duplicates.eliminatedCount();
}

void PasteCoordinates(PoiTable& table, const PastedCoordinates& coordinates) {
  PoiDocument& document = table.document();
  const bool both = coordinates.lng && coordinates.lat;
  PoiTable::Action action(table, PoiTable::Show::FittedColumns);
  for (int row = 0; row < document.rowCount(); ++row) {
    if (!document.rows[static_cast<std::size_t>(row)].selected) continue;
    // The My Base Point row is the base while it is there: it keeps its position unless it gets another.
    if (row == 0 && document.basePointPinned && !both) continue;
    // Coordinates a row has already are no change, and no undo step.
    table.changeCoordinate(row, kLng, coordinates.lng.value_or(u""));
    table.changeCoordinate(row, kLat, coordinates.lat.value_or(u""));
  }
  action.reveal(table.firstSelected());
}

}  // namespace qf
