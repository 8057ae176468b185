#include "shell/command_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <ostream>
#include <utility>
#include <vector>

#include "core/field_rules.h"
#include "editing/poi_table.h"

namespace qf {

void PrintTo(CommandId id, std::ostream* out) { *out << static_cast<int>(id); }

namespace {

using enum CommandId;

// Five POIs, the third one selected and placed, the Distance column shown from row 0, and every
// service around the program present: each rule's own condition is then the only one that fails.
CommandContext Loaded() {
  CommandContext c;
  c.rowCount = 5;
  c.selectedCount = 1;
  c.firstSelected = 2;
  c.firstSelectedHasCoordinates = true;
  c.modified = true;
  c.baseRow = 0;
  c.display.showDistance = true;
  c.headerColumn = kMemo;
  c.canUndo = true;
  c.canRedo = true;
  c.hasFindText = true;
  c.clipboardHasText = true;
  c.deviceConnected = true;
  c.deviceOffersScreenshots = true;
  c.homeServiceInstalled = true;
  c.routeEditorRunning = true;
  c.mapPagePathExists = true;
  c.googleEarthRegistered = true;
  return c;
}

std::vector<CommandId> AllCommands() {
  std::vector<CommandId> ids;
  for (int id = kFirstMenuCommand; id <= kLastMenuCommand; ++id) ids.push_back(static_cast<CommandId>(id));
  for (int id = kFirstHeaderCommand; id <= kLastHeaderCommand; ++id) ids.push_back(static_cast<CommandId>(id));
  return ids;
}

std::vector<CommandId> Enabled(const CommandContext& context) {
  const CommandStates states = ComputeCommandStates(context);
  std::vector<CommandId> enabled;
  for (CommandId id : AllCommands()) {
    if (states.enabled(id)) enabled.push_back(id);
  }
  return enabled;
}

TEST(CommandStateTest, LoadedContextEnablesEverythingButPaste) {
  // Paste and Paste Coordinates exclude each other: the clipboard holds rows or only text.
  std::vector<CommandId> expected = AllCommands();
  std::erase(expected, Paste);
  EXPECT_EQ(Enabled(Loaded()), expected);
}

TEST(CommandStateTest, EmptyDocumentEnablesOnlyWhatNeedsNoRows) {
  const CommandId withoutRows[] = {
      New, Open, OpenFavorites, Import, QueryNames, TranslateNames, ConvertFormats, Exit, Add, QuickGpsFix,
      ShowMenuBar, ShowToolbar, LargeToolbar, AutoWrapToolbar, ToolbarBackground, CustomizeToolbar, DisplayFont,
      BackgroundImage, ShowStatusBar, Options, TomTomHome, UserForum, QuillfernHome, MailtoProgramer, About,
      LngInFront, CoordinatesInDms, CoordinatesWithDirections, AdjustWidths, ShowDistance, MetricForDistances};
  std::vector<CommandId> expected(std::begin(withoutRows), std::end(withoutRows));
  CommandContext empty;
  EXPECT_EQ(Enabled(empty), expected);
  empty.display.showDistance = true;
  expected.insert(expected.end(), {MyBasePoint, AdjacentDistances, BasePointDistances});
  std::ranges::sort(expected);
  EXPECT_EQ(Enabled(empty), expected);
}

struct EnablingCase {
  const char* what;
  void (*tweak)(CommandContext&);
  std::vector<std::pair<CommandId, bool>> expected;
};

TEST(CommandStateTest, EachRuleFollowsItsCondition) {
  const EnablingCase cases[] = {
      {"no device",
       [](CommandContext& c) { c.deviceConnected = false; },
       {{OpenDevice, false}, {DumpDevice, false}, {SaveDevice, false}}},
      {"device without screenshots",
       [](CommandContext& c) { c.deviceOffersScreenshots = false; },
       {{DumpDevice, false}, {OpenDevice, true}, {SaveDevice, true}}},
      {"unmodified", [](CommandContext& c) { c.modified = false; }, {{Save, false}, {SaveAs, true}}},
      {"one row of the user",
       [](CommandContext& c) {
         c.rowCount = 1;
         c.firstSelected = 0;
       },
       {{Save, true}, {SaveAs, true}, {SaveDevice, true}, {SortAscending, false}, {MoveUp, false}, {MoveDown, false}}},
      {"only the automatic base point",
       [](CommandContext& c) {
         c.rowCount = 1;
         c.firstSelected = 0;
         c.basePointPinned = true;
       },
       {{Save, false},
        {SaveAs, false},
        {SaveDevice, false},
        {SortAscending, false},
        {SortDescending, false},
        {SortColumnAscending, false},
        {MoveUp, false},
        {MoveDown, false},
        {SetBasePoint, false},
        {Delete, true}}},
      {"base point and one POI",
       [](CommandContext& c) {
         c.rowCount = 2;
         c.firstSelected = 1;
         c.basePointPinned = true;
       },
       {{Save, true}, {SortAscending, false}, {SortColumnDescending, false}, {MoveUp, false}, {MoveDown, false}}},
      {"two POIs",
       [](CommandContext& c) {
         c.rowCount = 2;
         c.firstSelected = 1;
       },
       {{SortAscending, true}, {SortColumnAscending, true}, {MoveUp, true}, {MoveDown, false}}},
      {"base point and two POIs",
       [](CommandContext& c) {
         c.rowCount = 3;
         c.basePointPinned = true;
       },
       {{SortAscending, true}, {SortColumnAscending, true}, {MoveUp, true}, {MoveDown, false}}},
      {"My Base Point row selected",
       [](CommandContext& c) {
         c.firstSelected = 0;
         c.basePointPinned = true;
       },
       {{MoveUp, false}, {MoveDown, false}, {SetBasePoint, false}, {AddFavorite, true}, {Insert, true}}},
      {"first row selected",
       [](CommandContext& c) { c.firstSelected = 0; },
       {{MoveUp, false}, {MoveDown, true}, {SetBasePoint, true}}},
      {"second row selected below My Base Point",
       [](CommandContext& c) {
         c.firstSelected = 1;
         c.basePointPinned = true;
       },
       {{MoveUp, false}, {MoveDown, true}}},
      {"second row selected", [](CommandContext& c) { c.firstSelected = 1; }, {{MoveUp, true}}},
      {"last row selected", [](CommandContext& c) { c.firstSelected = 4; }, {{MoveUp, true}, {MoveDown, false}}},
      {"nothing selected",
       [](CommandContext& c) {
         c.selectedCount = 0;
         c.firstSelected = -1;
         c.firstSelectedHasCoordinates = false;
       },
       {{Export, false},
        {Insert, false},
        {Edit, false},
        {Delete, false},
        {Cut, false},
        {Copy, false},
        {CopyCoordinates, false},
        {PasteCoordinates, false},
        {AddFavorite, false},
        {AddItns, false},
        {MoveUp, false},
        {MoveDown, false},
        {SetBasePoint, false},
        {SelectAll, true},
        {ClearColumns, true}}},
      {"two rows selected",
       [](CommandContext& c) { c.selectedCount = 2; },
       {{Insert, false},
        {Edit, false},
        {CopyCoordinates, false},
        {AddFavorite, false},
        {MoveUp, false},
        {MoveDown, false},
        {SetBasePoint, false},
        {Export, true},
        {Delete, true},
        {Cut, true},
        {Copy, true},
        {PasteCoordinates, true},
        {AddItns, true}}},
      {"selected row without a position",
       [](CommandContext& c) { c.firstSelectedHasCoordinates = false; },
       {{AddFavorite, false}, {SetBasePoint, false}, {CopyCoordinates, true}}},
      {"no desktop service for favourites",
       [](CommandContext& c) { c.homeServiceInstalled = false; },
       {{AddFavorite, false}}},
      {"route editor not running", [](CommandContext& c) { c.routeEditorRunning = false; }, {{AddItns, false}}},
      {"empty table",
       [](CommandContext& c) {
         c.rowCount = 0;
         c.selectedCount = 0;
         c.firstSelected = -1;
       },
       {{CombineColumns, false},
        {ClearColumns, false},
        {QueryCoordinates, false},
        {QueryAddresses, false},
        {Find, false},
        {FindNext, false},
        {Replace, false},
        {ReplaceNext, false},
        {MessCoordinates, false},
        {Check, false},
        {SelectAll, false},
        {ToggleSelection, false},
        {ClearColumn, false},
        {Add, true},
        {Undo, true}}},
      {"no find text",
       [](CommandContext& c) { c.hasFindText = false; },
       {{FindNext, false}, {ReplaceNext, false}, {Find, true}, {Replace, true}}},
      {"nothing to undo", [](CommandContext& c) { c.canUndo = false; }, {{Undo, false}, {Redo, true}}},
      {"nothing to redo", [](CommandContext& c) { c.canRedo = false; }, {{Redo, false}, {Undo, true}}},
      {"safety-camera document",
       [](CommandContext& c) {
         c.kind = DocumentKind::SafetyCamera;
         c.headerColumn = kMemo;
       },
       {{CombineColumns, false},
        {QueryCoordinates, false},
        {QueryAddresses, false},
        {AddItns, false},
        {ClearAddresses, false},
        {SaveDevice, true},
        {CopyCoordinates, true},
        {MessCoordinates, true},
        {GoogleMaps, true}}},
      {"phonebook document",
       [](CommandContext& c) { c.kind = DocumentKind::Phonebook; },
       {{SaveDevice, false},
        {CombineColumns, false},
        {CopyCoordinates, false},
        {PasteCoordinates, false},
        {QueryCoordinates, false},
        {MessCoordinates, false},
        {AddItns, false},
        {GoogleMaps, false},
        {GoogleEarth, false},
        {LngInFront, false},
        {CoordinatesInDms, false},
        {ShowDistance, false},
        {MetricForDistances, false},
        {CoordinatesWithDirections, true},
        {ClearColumn, true},
        {SetBasePoint, true}}},
      {"rich POI document",
       [](CommandContext& c) {
         c.richPoiFile = true;
         c.headerColumn = kMemo;
       },
       {{QueryCoordinates, false}, {QueryAddresses, false}, {ClearAddresses, false}, {CombineColumns, true}}},
      {"Distance column hidden",
       [](CommandContext& c) { c.display.showDistance = false; },
       {{SetBasePoint, false},
        {MyBasePoint, false},
        {AdjacentDistances, false},
        {BasePointDistances, false},
        {ShowDistance, true}}},
      {"no map page", [](CommandContext& c) { c.mapPagePathExists = false; }, {{GoogleMaps, false}}},
      {"no Google Earth", [](CommandContext& c) { c.googleEarthRegistered = false; }, {{GoogleEarth, false}}},
      {"toolbar hidden",
       [](CommandContext& c) { c.toolbarShown = false; },
       {{LargeToolbar, false},
        {AutoWrapToolbar, false},
        {ToolbarBackground, false},
        {CustomizeToolbar, false},
        {ShowToolbar, true}}},
      {"own rows on the clipboard",
       [](CommandContext& c) { c.clipboardHasPoiRows = true; },
       {{Paste, true}, {PasteCoordinates, false}}},
      {"camera rows offered to an ordinary document",
       [](CommandContext& c) { c.clipboardHasCameraRows = true; },
       {{Paste, false}, {PasteCoordinates, false}}},
      {"camera rows offered to a camera document",
       [](CommandContext& c) {
         c.kind = DocumentKind::SafetyCamera;
         c.clipboardHasCameraRows = true;
       },
       {{Paste, true}}},
      {"plain rows offered to a camera document",
       [](CommandContext& c) {
         c.kind = DocumentKind::SafetyCamera;
         c.clipboardHasPoiRows = true;
       },
       {{Paste, false}, {PasteCoordinates, false}}},
      {"route rows offered to a camera document",
       [](CommandContext& c) {
         c.kind = DocumentKind::SafetyCamera;
         c.clipboardHasRouteRows = true;
       },
       {{Paste, true}, {PasteCoordinates, false}}},
      {"clipboard without text",
       [](CommandContext& c) { c.clipboardHasText = false; },
       {{PasteCoordinates, false}, {Paste, false}}},
      {"no header column hit",
       [](CommandContext& c) { c.headerColumn = -1; },
       {{ClearColumn, false}, {ClearAddresses, false}, {SortColumnAscending, false}, {SortColumnDescending, false}}},
      {"Name column",
       [](CommandContext& c) { c.headerColumn = kName; },
       {{ClearColumn, false}, {SortColumnAscending, true}}},
      {"Memo column", [](CommandContext& c) { c.headerColumn = kMemo; }, {{ClearColumn, true}, {ClearAddresses, true}}},
      {"Tel column", [](CommandContext& c) { c.headerColumn = kTel; }, {{ClearAddresses, false}}},
      {"Distance column with a base",
       [](CommandContext& c) { c.headerColumn = kDistance; },
       {{ClearColumn, false}, {SortColumnAscending, true}}},
      {"Distance column without a base",
       [](CommandContext& c) {
         c.headerColumn = kDistance;
         c.baseRow = -1;
       },
       {{SortColumnAscending, false}, {SortColumnDescending, false}, {SortAscending, true}}},
      {"Lng column without a base",
       [](CommandContext& c) {
         c.headerColumn = kLng;
         c.baseRow = -1;
       },
       {{SortColumnAscending, true}, {ClearColumn, true}, {ClearAddresses, false}}},
  };
  for (const EnablingCase& test : cases) {
    CommandContext context = Loaded();
    test.tweak(context);
    const CommandStates states = ComputeCommandStates(context);
    for (const auto& [id, enabled] : test.expected) {
      EXPECT_EQ(states.enabled(id), enabled) << test.what << ", command " << testing::PrintToString(id);
    }
  }
}

TEST(CommandStateTest, CheckedStatesFollowTheirSwitches) {
  const struct {
    CommandId id;
    void (*set)(CommandContext&, bool);
  } cases[] = {
      {Check, [](CommandContext& c, bool on) { c.checkWindowOpen = on; }},
      {ShowMenuBar, [](CommandContext& c, bool on) { c.menuBarShown = on; }},
      {ShowToolbar, [](CommandContext& c, bool on) { c.toolbarShown = on; }},
      {LargeToolbar, [](CommandContext& c, bool on) { c.largeToolbar = on; }},
      {AutoWrapToolbar, [](CommandContext& c, bool on) { c.wrapToolbar = on; }},
      {BackgroundImage, [](CommandContext& c, bool on) { c.tableBackgroundShown = on; }},
      {ShowStatusBar, [](CommandContext& c, bool on) { c.statusBarShown = on; }},
      {LngInFront, [](CommandContext& c, bool on) { c.lngFirst = on; }},
      {CoordinatesInDms, [](CommandContext& c, bool on) { c.display.dms = on; }},
      {CoordinatesWithDirections, [](CommandContext& c, bool on) { c.display.compass = on; }},
      {ShowDistance, [](CommandContext& c, bool on) { c.display.showDistance = on; }},
      {MetricForDistances, [](CommandContext& c, bool on) { c.display.metric = on; }},
      {AdjacentDistances, [](CommandContext& c, bool on) { c.display.adjacentDistance = on; }},
      {BasePointDistances, [](CommandContext& c, bool on) { c.display.adjacentDistance = !on; }},
  };
  std::vector<CommandId> expected;
  CommandContext allOn = Loaded();
  for (const auto& test : cases) {
    for (bool on : {false, true}) {
      CommandContext context = Loaded();
      test.set(context, on);
      EXPECT_EQ(ComputeCommandStates(context).checked(test.id), on) << testing::PrintToString(test.id);
    }
    if (test.id != BasePointDistances) {
      test.set(allOn, true);
      expected.push_back(test.id);
    }
  }
  // A hidden toolbar keeps the checks of its options; only the items are grayed.
  allOn.toolbarShown = false;
  std::erase(expected, ShowToolbar);
  const CommandStates states = ComputeCommandStates(allOn);
  std::vector<CommandId> checked;
  for (CommandId id : AllCommands()) {
    if (states.checked(id)) checked.push_back(id);
  }
  std::ranges::sort(expected);
  EXPECT_EQ(checked, expected);
}

TEST(CommandStateTest, ContextFromTableReadsTheDocumentAndItsTable) {
  PoiDocument document;
  PoiTable table(document);
  for (auto name : {u"My Base Point", u"Alpha", u"Beta", u"Gamma"}) AppendPoi(document, name, false);
  SetCell(document, 2, kLng, u"4.50000");
  SetCell(document, 2, kLat, u"52.10000");
  SetCell(document, 3, kLng, u"4.60000");
  document.rows[2].selected = true;
  document.rows[3].selected = true;
  document.kind = DocumentKind::SafetyCamera;
  document.richPoiFile = true;
  document.basePointPinned = true;
  document.baseRow = 0;
  document.modified = true;
  document.display.showDistance = true;
  document.display.metric = true;
  table.state.lngFirst = false;
  table.state.currentColumn = kTel;

  CommandContext context = ContextFromTable(table);
  EXPECT_EQ(context.rowCount, 4);
  EXPECT_EQ(context.selectedCount, 2);
  EXPECT_EQ(context.firstSelected, 2);
  EXPECT_TRUE(context.firstSelectedHasCoordinates);
  EXPECT_EQ(context.kind, DocumentKind::SafetyCamera);
  EXPECT_TRUE(context.richPoiFile);
  EXPECT_TRUE(context.basePointPinned);
  EXPECT_EQ(context.baseRow, 0);
  EXPECT_TRUE(context.modified);
  EXPECT_TRUE(context.display.showDistance);
  EXPECT_TRUE(context.display.metric);
  EXPECT_FALSE(context.lngFirst);
  EXPECT_EQ(context.headerColumn, kTel);
  EXPECT_FALSE(context.canUndo);

  document.rows[2].selected = false;
  context = ContextFromTable(table);
  EXPECT_EQ(context.selectedCount, 1);
  EXPECT_EQ(context.firstSelected, 3);
  EXPECT_FALSE(context.firstSelectedHasCoordinates) << "Lat is empty";

  table.deleteSelected();
  context = ContextFromTable(table);
  EXPECT_EQ(context.rowCount, 3);
  EXPECT_TRUE(context.canUndo);
  EXPECT_FALSE(context.canRedo);
  table.undo();
  EXPECT_TRUE(ContextFromTable(table).canRedo);
}

TEST(CommandStateTest, OnlyTheAutomaticBasePointDisablesSavingSortingAndMoving) {
  PoiDocument document;
  PoiTable table(document);
  AppendPoi(document, u"My Base Point", true);
  SetCell(document, 0, kLng, u"4.50000");
  SetCell(document, 0, kLat, u"52.10000");
  document.basePointPinned = true;
  document.baseRow = 0;
  document.modified = true;
  document.display.showDistance = true;

  const CommandStates states = ComputeCommandStates(ContextFromTable(table));
  for (CommandId id : {Save, SaveAs, SortAscending, SortDescending, MoveUp, MoveDown, SetBasePoint}) {
    EXPECT_FALSE(states.enabled(id)) << testing::PrintToString(id);
  }
  for (CommandId id : {Delete, Copy, MyBasePoint}) EXPECT_TRUE(states.enabled(id)) << testing::PrintToString(id);
}

}  // namespace
}  // namespace qf
