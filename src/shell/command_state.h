#pragma once

#include <array>
#include <cstddef>

#include "core/poi_document.h"

namespace qf {

class PoiTable;

// The commands of the menus, the toolbar and the header popup. A command's number is also the
// string id of its status help; the number + 13000 is its toolbar tooltip.
enum class CommandId : int {
  New = 1000,
  Open = 1001,
  OpenFavorites = 1002,
  OpenDevice = 1003,
  DumpDevice = 1004,
  Save = 1005,
  SaveAs = 1006,
  SaveDevice = 1007,
  Import = 1008,
  Export = 1009,
  QueryNames = 1010,
  TranslateNames = 1011,
  ConvertFormats = 1012,
  Exit = 1013,
  Undo = 1014,
  Redo = 1015,
  Add = 1016,
  Insert = 1017,
  CombineColumns = 1018,
  Edit = 1019,
  Delete = 1020,
  ClearColumns = 1021,
  Cut = 1022,
  Copy = 1023,
  Paste = 1024,
  CopyCoordinates = 1025,
  PasteCoordinates = 1026,
  QueryCoordinates = 1027,
  QueryAddresses = 1028,
  Find = 1029,
  FindNext = 1030,
  Replace = 1031,
  ReplaceNext = 1032,
  MessCoordinates = 1033,
  Check = 1034,
  AddFavorite = 1035,
  AddItns = 1036,
  SelectAll = 1037,
  ToggleSelection = 1038,
  MoveUp = 1039,
  MoveDown = 1040,
  SetBasePoint = 1041,
  MyBasePoint = 1042,
  SortAscending = 1043,
  SortDescending = 1044,
  GoogleMaps = 1045,
  GoogleEarth = 1046,
  QuickGpsFix = 1047,
  ShowMenuBar = 1048,
  ShowToolbar = 1049,
  LargeToolbar = 1050,
  AutoWrapToolbar = 1051,
  ToolbarBackground = 1052,
  CustomizeToolbar = 1053,
  DisplayFont = 1054,
  BackgroundImage = 1055,
  ShowStatusBar = 1056,
  Options = 1057,
  TomTomHome = 1058,
  UserForum = 1059,
  QuillfernHome = 1060,
  MailtoProgramer = 1061,
  About = 1062,
  // The header popup.
  LngInFront = 1203,
  CoordinatesInDms = 1204,
  CoordinatesWithDirections = 1205,
  AdjustWidths = 1206,
  ClearColumn = 1207,
  ClearAddresses = 1208,
  ShowDistance = 1209,
  MetricForDistances = 1210,
  AdjacentDistances = 1211,
  BasePointDistances = 1212,
  SortColumnAscending = 1213,
  SortColumnDescending = 1214,
};

inline constexpr int kFirstMenuCommand = 1000;
inline constexpr int kLastMenuCommand = 1062;
inline constexpr int kFirstHeaderCommand = 1203;
inline constexpr int kLastHeaderCommand = 1214;

// Everything the enabling rules look at, gathered once per refresh.
struct CommandContext {
  // The document and its table.
  int rowCount = 0;
  int selectedCount = 0;
  int firstSelected = -1;
  bool firstSelectedHasCoordinates = false;  // its Lng and Lat texts are both non-empty
  DocumentKind kind = DocumentKind::Poi;
  bool richPoiFile = false;
  bool basePointPinned = false;
  bool modified = false;
  int baseRow = -1;
  DisplayOptions display;
  bool lngFirst = true;
  int headerColumn = -1;  // the column under the pointer when the header popup opened; -1 none
  bool canUndo = false;
  bool canRedo = false;
  bool hasFindText = false;

  // What the clipboard holds.
  bool clipboardHasPoiRows = false;
  bool clipboardHasCameraRows = false;
  bool clipboardHasRouteRows = false;
  bool clipboardHasText = false;

  // The desktop and the device around the program.
  bool deviceConnected = false;
  bool deviceOffersScreenshots = false;
  bool homeServiceInstalled = false;
  bool routeEditorRunning = false;
  bool mapPagePathExists = false;
  bool googleEarthRegistered = false;

  // The main window.
  bool menuBarShown = true;
  bool toolbarShown = true;
  bool largeToolbar = true;
  bool wrapToolbar = true;
  bool statusBarShown = true;
  bool checkWindowOpen = false;
  bool tableBackgroundShown = false;
};

// The document and table part of the context: rows, selection, document identity, display
// options, header column and undo history. The rest keeps its defaults for the caller to fill.
CommandContext ContextFromTable(const PoiTable& table);

// The enabled and checked state of every command of the menus and the header popup.
class CommandStates {
 public:
  bool enabled(CommandId id) const { return enabled_[Index(id)]; }
  bool checked(CommandId id) const { return checked_[Index(id)]; }
  void set(CommandId id, bool enabled, bool checked = false) {
    enabled_[Index(id)] = enabled;
    checked_[Index(id)] = checked;
  }

 private:
  static constexpr std::size_t kMenuCount = kLastMenuCommand - kFirstMenuCommand + 1;
  static constexpr std::size_t kCount = kMenuCount + kLastHeaderCommand - kFirstHeaderCommand + 1;
  static std::size_t Index(CommandId id);

  std::array<bool, kCount> enabled_{};
  std::array<bool, kCount> checked_{};
};

CommandStates ComputeCommandStates(const CommandContext& context);

}  // namespace qf
