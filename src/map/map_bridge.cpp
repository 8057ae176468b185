#include "map/map_bridge.h"

#include <optional>

#include "core/coordinates.h"
#include "core/field_rules.h"
#include "map/script_literal.h"

namespace qf {

namespace {

bool SameCoordinate(std::u16string_view cell, std::u16string_view plain, const DisplayOptions& display,
                    std::u16string& scratch) {
  scratch.assign(cell);
  ToPlainDecimal(scratch, display);
  return scratch == plain;
}

// Where Insert puts a new POI: at the first selected row, but never before a My Base Point row.
int InsertionRow(const PoiTable& table) {
  const PoiDocument& document = table.document();
  const int selected = table.firstSelected();
  if (selected < 0) return document.rowCount();
  if (selected == 0 && document.basePointPinned) return 1;
  return selected;
}

BridgeResult AddPoi(PoiTable& table, const PageMessage& message, int at) {
  std::u16string name = message.texts[kName];
  if (NormaliseName(name) == 0) return {BridgeStep::Refresh};
  PoiDocument& document = table.document();
  PoiTable::Action action(table, PoiTable::Show::FittedColumns);
  const int row = table.insertRow(at, name, true);
  table.setCell(row, kTel, TelephoneCellText(document, message.texts[kTel]));
  table.changeCoordinate(row, kLng, message.texts[kLng]);
  table.changeCoordinate(row, kLat, message.texts[kLat]);
  table.setCell(row, kMemo, MemoCellText(document, message.texts[kMemo]));
  action.reveal(row);
  return {BridgeStep::Refresh, row};
}

BridgeResult UpdatePoi(PoiTable& table, const PageMessage& message, int row) {
  {
    PoiTable::Action action(table, PoiTable::Show::FittedColumns);
    table.changeCoordinate(row, kLng, message.newLng);
    table.changeCoordinate(row, kLat, message.newLat);
    table.changeCell(row, kMemo, MemoCellText(table.document(), message.newMemo));
    action.reveal(row);
  }
  table.selectAndFocus(row);
  return {BridgeStep::Refresh, row};
}

BridgeResult DeletePoi(PoiTable& table, int row) {
  PoiDocument& document = table.document();
  const bool myBasePoint = row == 0 && document.basePointPinned;
  PoiTable::Action action(table, PoiTable::Show::FittedColumns);
  table.deleteRow(row);
  if (myBasePoint) document.basePointPinned = false;
  return {BridgeStep::Refresh};
}

BridgeResult SelectPoi(PoiTable& table, int row, BridgeStep step, int column = -1) {
  table.selectAndFocus(row);
  table.makeVisible(row);
  return {step, row, column};
}

void AppendArgument(std::string& out, std::u16string_view text) {
  out += ", \"";
  AppendScriptText(out, text, u'"');
  out += '"';
}

}  // namespace

int FindMarkedRow(const PoiDocument& document, const std::array<std::u16string, 5>& texts) {
  std::u16string scratch;
  for (int row = 0; row < document.rowCount(); ++row) {
    const PoiRecord& record = document.rows[static_cast<std::size_t>(row)];
    if (record.text(kName) != texts[kName] || record.text(kTel) != texts[kTel] ||
        record.text(kMemo) != texts[kMemo]) {
      continue;
    }
    if (SameCoordinate(record.text(kLng), texts[kLng], document.display, scratch) &&
        SameCoordinate(record.text(kLat), texts[kLat], document.display, scratch)) {
      return row;
    }
  }
  return -1;
}

BridgeResult ApplyPageMessage(PoiTable& table, const PageMessage& message, bool hostStartedUpdate) {
  if (message.kind == PageMessageKind::Ready || message.kind == PageMessageKind::Terminate) return {};
  const int insertAt = message.kind == PageMessageKind::Insert ? InsertionRow(table) : table.document().rowCount();
  if (!hostStartedUpdate) table.clearSelection();
  const BridgeResult cleared{hostStartedUpdate ? BridgeStep::Nothing : BridgeStep::Refresh};
  switch (message.kind) {
    case PageMessageKind::Add:
    case PageMessageKind::Insert:
      return AddPoi(table, message, insertAt);
    case PageMessageKind::UpdateAll:
      return {BridgeStep::ApplyAllMoves};
    case PageMessageKind::ClearSelection:
      return cleared;
    case PageMessageKind::Ready:
    case PageMessageKind::Terminate:
    case PageMessageKind::Update:
    case PageMessageKind::Select:
    case PageMessageKind::Delete:
    case PageMessageKind::Edit:
      break;
  }
  const int row = FindMarkedRow(table.document(), message.texts);
  if (row < 0) return cleared;
  switch (message.kind) {
    case PageMessageKind::Update:
      return UpdatePoi(table, message, row);
    case PageMessageKind::Delete:
      return DeletePoi(table, row);
    case PageMessageKind::Edit:
      return SelectPoi(table, row, BridgeStep::EditCell, message.column);
    default:
      return SelectPoi(table, row, BridgeStep::Refresh);
  }
}

std::array<std::u16string, 5> MarkerTexts(const PoiDocument& document, int row) {
  std::array<std::u16string, 5> texts;
  for (int column = kName; column <= kMemo; ++column) texts[column] = std::u16string(document.text(row, column));
  ToPlainDecimal(texts[kLng], document.display);
  ToPlainDecimal(texts[kLat], document.display);
  return texts;
}

std::string PutGoogleMapsCall(int command) { return "PutGoogleMaps(" + std::to_string(command) + ")"; }

std::string PutGoogleMapsCall(int command, const std::array<std::u16string, 5>& texts) {
  std::string call = "PutGoogleMaps(" + std::to_string(command);
  for (const std::u16string& text : texts) AppendArgument(call, text);
  call += ')';
  return call;
}

}  // namespace qf
