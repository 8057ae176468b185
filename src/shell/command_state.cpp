#include "shell/command_state.h"

#include <cassert>

#include "editing/poi_table.h"

namespace qf {

std::size_t CommandStates::Index(CommandId id) {
  const int number = static_cast<int>(id);
  if (number >= kFirstMenuCommand && number <= kLastMenuCommand) {
    return static_cast<std::size_t>(number - kFirstMenuCommand);
  }
  assert(number >= kFirstHeaderCommand && number <= kLastHeaderCommand);
  return kMenuCount + static_cast<std::size_t>(number - kFirstHeaderCommand);
}

CommandContext ContextFromTable(const PoiTable& table) {
  const PoiDocument& document = table.document();
  CommandContext context;
  context.rowCount = document.rowCount();
  for (int row = 0; row < document.rowCount(); ++row) {
    if (!document.rows[static_cast<std::size_t>(row)].selected) continue;
    if (context.selectedCount++ == 0) context.firstSelected = row;
  }
  if (context.firstSelected >= 0) {
    context.firstSelectedHasCoordinates =
        !document.text(context.firstSelected, kLng).empty() && !document.text(context.firstSelected, kLat).empty();
  }
  context.kind = document.kind;
  context.richPoiFile = document.richPoiFile;
  context.basePointPinned = document.basePointPinned;
  context.modified = document.modified;
  context.baseRow = document.baseRow;
  context.display = document.display;
  context.lngFirst = table.state.lngFirst;
  context.headerColumn = table.state.currentColumn;
  context.canUndo = table.canUndo();
  context.canRedo = table.canRedo();
  return context;
}

CommandStates ComputeCommandStates(const CommandContext& c) {
  using enum CommandId;
  const int n = c.rowCount;
  const int s = c.selectedCount;
  const int f = c.firstSelected;
  const bool one = s == 1;
  const bool pinned = c.basePointPinned;
  // Row 0 is the My Base Point row the program put there, not one of the user's POIs.
  const bool real = n > 1 || (n == 1 && !pinned);
  const bool sortable = n > 2 || (n == 2 && !pinned);
  const bool coords = one && c.firstSelectedHasCoordinates;
  const bool myBasePointSelected = f == 0 && pinned;
  const bool ordinary = c.kind == DocumentKind::Poi;
  const bool phonebook = c.kind == DocumentKind::Phonebook;
  const bool distanceShown = c.display.showDistance;
  const bool ownRows = c.kind == DocumentKind::SafetyCamera ? c.clipboardHasCameraRows : c.clipboardHasPoiRows;
  const bool anyRows = c.clipboardHasPoiRows || c.clipboardHasCameraRows || c.clipboardHasRouteRows;

  CommandStates states;
  for (CommandId id :
       {New, Open, OpenFavorites, Import, QueryNames, TranslateNames, ConvertFormats, Exit, Add, QuickGpsFix,
        DisplayFont, Options, TomTomHome, UserForum, QuillfernHome, MailtoProgramer, About, AdjustWidths}) {
    states.set(id, true);
  }

  states.set(OpenDevice, c.deviceConnected);
  states.set(DumpDevice, c.deviceConnected && c.deviceOffersScreenshots);
  states.set(Save, c.modified && real);
  states.set(SaveAs, real);
  states.set(SaveDevice, c.deviceConnected && !phonebook && real);
  states.set(Export, s > 0);

  states.set(Undo, c.canUndo);
  states.set(Redo, c.canRedo);
  states.set(Insert, one);
  states.set(CombineColumns, ordinary && n > 0);
  states.set(Edit, one);
  states.set(Delete, s > 0);
  states.set(ClearColumns, n > 0);
  states.set(Cut, s > 0);
  states.set(Copy, s > 0);
  states.set(Paste, ownRows || c.clipboardHasRouteRows);
  states.set(CopyCoordinates, one && !phonebook);
  states.set(PasteCoordinates, !phonebook && s > 0 && c.clipboardHasText && !anyRows);
  states.set(QueryCoordinates, ordinary && !c.richPoiFile && n > 0);
  states.set(QueryAddresses, ordinary && !c.richPoiFile && n > 0);
  states.set(Find, n > 0);
  states.set(FindNext, c.hasFindText && n > 0);
  states.set(Replace, n > 0);
  states.set(ReplaceNext, c.hasFindText && n > 0);
  states.set(MessCoordinates, !phonebook && n > 0);
  states.set(Check, n > 0, c.checkWindowOpen);
  states.set(AddFavorite, c.homeServiceInstalled && coords);
  states.set(AddItns, s > 0 && ordinary && c.routeEditorRunning);
  states.set(SelectAll, n > 0);
  states.set(ToggleSelection, n > 0);
  states.set(MoveUp, one && (f > 1 || (f == 1 && !pinned)));
  states.set(MoveDown, one && !myBasePointSelected && f < n - 1);
  states.set(SetBasePoint, distanceShown && !myBasePointSelected && coords);
  states.set(MyBasePoint, distanceShown);
  states.set(SortAscending, sortable);
  states.set(SortDescending, sortable);
  states.set(GoogleMaps, !phonebook && c.mapPagePathExists);
  states.set(GoogleEarth, !phonebook && c.googleEarthRegistered);

  states.set(ShowMenuBar, true, c.menuBarShown);
  states.set(ShowToolbar, true, c.toolbarShown);
  states.set(LargeToolbar, c.toolbarShown, c.largeToolbar);
  states.set(AutoWrapToolbar, c.toolbarShown, c.wrapToolbar);
  states.set(ToolbarBackground, c.toolbarShown);
  states.set(CustomizeToolbar, c.toolbarShown);
  states.set(BackgroundImage, true, c.tableBackgroundShown);
  states.set(ShowStatusBar, true, c.statusBarShown);

  const int column = c.headerColumn;
  const bool columnHit = column >= 0;
  states.set(LngInFront, !phonebook, c.lngFirst);
  states.set(CoordinatesInDms, !phonebook, c.display.dms);
  states.set(CoordinatesWithDirections, true, c.display.compass);
  states.set(ClearColumn, columnHit && column != kName && column != kDistance && n > 0);
  states.set(ClearAddresses, column == kMemo && ordinary && !c.richPoiFile && n > 0);
  states.set(ShowDistance, !phonebook, distanceShown);
  states.set(MetricForDistances, !phonebook, c.display.metric);
  states.set(AdjacentDistances, distanceShown, c.display.adjacentDistance);
  states.set(BasePointDistances, distanceShown, !c.display.adjacentDistance);
  const bool columnSortable = sortable && columnHit && !(column == kDistance && c.baseRow < 0);
  states.set(SortColumnAscending, columnSortable);
  states.set(SortColumnDescending, columnSortable);
  return states;
}

}  // namespace qf
