#include "shell/command_table.h"

#include <algorithm>
#include <cassert>

#include "core/unicode.h"
#include "core/string_table.h"

namespace qf {

namespace {

using enum CommandId;
using enum CheckStyle;
using enum Availability;

constexpr std::array<const char*, 2> kNoKeys{nullptr, nullptr};

constexpr CommandInfo kCommands[] = {
    {New, "&New\tCtrl+N", {"Ctrl+N"}, 0, None},
    {Open, "&Open...\tCtrl+O", {"Ctrl+O"}, 1, None},
    {OpenFavorites, "Open &Favorites...\tAlt+R", {"Alt+R"}, 2, None},
    {OpenDevice, "Open &Device...\tAlt+D", {"Alt+D"}, 3, None},
    {DumpDevice, "D&ump Device...\tAlt+I", {"Alt+I"}, 4, None},
    {Save, "&Save\tCtrl+S", {"Ctrl+S"}, 5, None},
    {SaveAs, "Save &As...\tAlt+S", {"Alt+S"}, 6, None},
    {SaveDevice, "Sa&ve Device...\tAlt+U", {"Alt+U"}, 7, None},
    {Import, "&Import...\tCtrl+I", {"Ctrl+I"}, 8, None},
    {Export, "&Export...\tCtrl+E", {"Ctrl+E"}, 9, None},
    {QueryNames, "&Query Names...\tAlt+N", {"Alt+N"}, 10, None},
    {TranslateNames, "&Translate Names...\tCtrl+T", {"Ctrl+T"}, 11, None},
    {ConvertFormats, "&Convert Formats...\tAlt+B", {"Alt+B"}, 12, None},
    // The window system's own close key; bound here too for desktops that leave it to the program.
    {Exit, "E&xit\tAlt+F4", {"Alt+F4"}, -1, None},
    {Undo, "&Undo\tCtrl+Z", {"Ctrl+Z"}, 13, None},
    {Redo, "&Redo\tCtrl+Y", {"Ctrl+Y"}, 14, None},
    // Enter adds only in the table itself, so the table handles it rather than a shortcut.
    {Add, "&Add\tEnter", kNoKeys, 15, None},
    {Insert, "&Insert\tIns", {"Ins"}, 16, None},
    {CombineColumns, "Com&bine Columns...\tCtrl+W", {"Ctrl+W"}, 17, None},
    {Edit, "&Edit\tF2", {"F2"}, 18, None},
    {Delete, "&Delete\tDel", {"Del"}, 19, None},
    {ClearColumns, "Clear Colu&mns...\tCtrl+L", {"Ctrl+L"}, 20, None},
    {Cut, "Cu&t\tCtrl+X", {"Ctrl+X", "Shift+Del"}, 21, None},
    {Copy, "&Copy\tCtrl+C", {"Ctrl+C", "Ctrl+Ins"}, 22, None},
    {Paste, "&Paste\tCtrl+V", {"Ctrl+V", "Shift+Ins"}, 23, None},
    {CopyCoordinates, "Cop&y Coordinates\tAlt+C", {"Alt+C"}, -1, None},
    {PasteCoordinates, "Paste C&oordinates\tAlt+V", {"Alt+V"}, -1, None},
    {QueryCoordinates, "&Query Coordinates\tAlt+Q", {"Alt+Q"}, 24, None},
    {QueryAddresses, "Query Addresses\tAlt+A", {"Alt+A"}, 25, None},
    {Find, "&Find...\tCtrl+F", {"Ctrl+F"}, 26, None},
    {FindNext, "Find &Next\tF3", {"F3"}, 27, None},
    {Replace, "Rep&lace...\tCtrl+H", {"Ctrl+H"}, 28, None},
    {ReplaceNext, "Replace Ne&xt\tF4", {"F4"}, 29, None},
    {MessCoordinates, "Mess Coordinates\tAlt+M", {"Alt+M"}, 30, None},
    {Check, "C&heck...\tCtrl+G", {"Ctrl+G"}, 31, CheckMark},
    {AddFavorite, "Add Fa&vorite\tCtrl+R", {"Ctrl+R"}, 32, None},
    {AddItns, "Add ITNs\tAlt+X", {"Alt+X"}, 33, None},
    {SelectAll, "&Select All\tCtrl+A", {"Ctrl+A"}, -1, None},
    {ToggleSelection, "To&ggle Selection\tCtrl+B", {"Ctrl+B"}, -1, None},
    {MoveUp, "Move &Up\tCtrl+U", {"Ctrl+U"}, 34, None},
    {MoveDown, "Move &Down\tCtrl+D", {"Ctrl+D"}, 35, None},
    {SetBasePoint, "&Set Base Point\tCtrl+P", {"Ctrl+P"}, 36, None},
    {MyBasePoint, "My &Base Point...\tCtrl+M", {"Ctrl+M"}, 37, None},
    {SortAscending, "Sort &Ascending\tCtrl+J", {"Ctrl+J"}, 38, None},
    {SortDescending, "Sort Des&cending\tCtrl+K", {"Ctrl+K"}, 39, None},
    // The map is drawn from OpenStreetMap's tiles, so the text names no other service.
    {GoogleMaps, "&Map\tF5", {"F5"}, 40, None},
    // Shown in whatever program the desktop has for KML files, so the text names no product.
    {GoogleEarth, "Glob&e Program\tF6", {"F6"}, 41, None},
    {QuickGpsFix, "&QuickGPSfix...\tCtrl+Q", {"Ctrl+Q"}, 42, None},
    {ShowMenuBar, "Show &Menu Bar\tCtrl+Alt+M", {"Ctrl+Alt+M"}, -1, CheckMark},
    {ShowToolbar, "Show &Toolbar\tCtrl+Alt+T", {"Ctrl+Alt+T"}, -1, CheckMark},
    {LargeToolbar, "&Large Toolbar", kNoKeys, -1, CheckMark},
    {AutoWrapToolbar, "&Auto Wrap Toolbar", kNoKeys, -1, CheckMark},
    {ToolbarBackground, "Toolbar &Background...", kNoKeys, -1, None},
    {CustomizeToolbar, "&Customize Toolbar...", kNoKeys, -1, None},
    {DisplayFont, "Display &Font...", kNoKeys, 43, None},
    {BackgroundImage, "Background &Image...", kNoKeys, 44, CheckMark},
    {ShowStatusBar, "Show &Status Bar\tCtrl+Alt+S", {"Ctrl+Alt+S"}, -1, CheckMark},
    {Options, "&Options...\tF12", {"F12"}, 45, None},
    {TomTomHome, "&TomTom", kNoKeys, 46, None},
    {UserForum, "TomTom &Users", kNoKeys, 47, None},
    {QuillfernHome, "&Quillfern", kNoKeys, 48, None},
    {MailtoProgramer, "&Mailto Programer", kNoKeys, 49, None},
    {About, "&About Quillfern...\tF1", {"F1"}, 50, None},
    {LngInFront, "&Lng In Front", kNoKeys, -1, CheckMark},
    {CoordinatesInDms, "C&oordinates In DMS", kNoKeys, -1, CheckMark},
    {CoordinatesWithDirections, "Coord&inates With Directions", kNoKeys, -1, CheckMark},
    {AdjustWidths, "Adjust &Widths", kNoKeys, -1, None},
    {ClearColumn, "&Clear Column", kNoKeys, -1, None},
    {ClearAddresses, "Clear Add&resses", kNoKeys, -1, None},
    {ShowDistance, "&Show Distance", kNoKeys, -1, CheckMark},
    {MetricForDistances, "&Metric For Distances", kNoKeys, -1, CheckMark},
    {AdjacentDistances, "Adjac&ent Distances", kNoKeys, -1, Radio},
    {BasePointDistances, "&Base Point Distances", kNoKeys, -1, Radio},
    {SortColumnAscending, "Sort &Ascending", kNoKeys, -1, None},
    {SortColumnDescending, "Sort &Descending", kNoKeys, -1, None},
};

// The menu commands and the header commands are two unbroken runs of numbers, so a command's
// place in the table follows from its number.
constexpr std::size_t IndexOf(CommandId id) {
  const int number = static_cast<int>(id);
  return number <= kLastMenuCommand
             ? static_cast<std::size_t>(number - kFirstMenuCommand)
             : static_cast<std::size_t>(kLastMenuCommand - kFirstMenuCommand + 1 + number - kFirstHeaderCommand);
}

constexpr bool EveryCommandInItsPlace() {
  constexpr std::size_t count = kLastMenuCommand - kFirstMenuCommand + 1 + kLastHeaderCommand - kFirstHeaderCommand + 1;
  if (std::size(kCommands) != count) return false;
  for (std::size_t i = 0; i < count; ++i) {
    if (IndexOf(kCommands[i].id) != i) return false;
  }
  return true;
}
static_assert(EveryCommandInItsPlace());

constexpr MenuItem kSep{kSeparator};

constexpr MenuItem kFileMenu[] = {
    {New}, {Open}, {OpenFavorites}, {OpenDevice}, {DumpDevice}, kSep,
    {Save}, {SaveAs}, {SaveDevice}, {Import}, {Export}, kSep,
    {QueryNames}, {TranslateNames}, {ConvertFormats}, kSep,
    {Exit},
};

constexpr MenuItem kPoiMenu[] = {
    {Undo}, {Redo}, {Add}, {Insert}, {CombineColumns}, {Edit}, {Delete}, {ClearColumns}, kSep,
    {Cut}, {Copy}, {Paste}, {CopyCoordinates}, {PasteCoordinates}, {QueryCoordinates}, {QueryAddresses}, kSep,
    {Find}, {FindNext}, {Replace}, {ReplaceNext}, kSep,
    {MessCoordinates}, {Check}, {AddFavorite}, {AddItns}, kSep,
    {SelectAll}, {ToggleSelection},
};

constexpr MenuItem kPositionMenu[] = {
    {MoveUp}, {MoveDown}, {SetBasePoint}, {MyBasePoint}, {SortAscending}, {SortDescending}, kSep,
    {GoogleMaps}, {GoogleEarth},
};

constexpr MenuItem kToolsMenu[] = {
    {QuickGpsFix}, kSep,
    {ShowMenuBar}, {ShowToolbar}, {ShowStatusBar}, kSep,
    {LargeToolbar}, {AutoWrapToolbar}, {ToolbarBackground}, {CustomizeToolbar}, kSep,
    {DisplayFont}, {BackgroundImage}, {Options},
};

constexpr MenuItem kHelpMenu[] = {
    {TomTomHome}, {UserForum}, {QuillfernHome}, {MailtoProgramer}, {About},
};

constexpr MenuBarMenu kMenuBar[] = {
    {"&File", 13000, kFileMenu},
    {"&POI", 13001, kPoiMenu},
    {"P&osition", 13002, kPositionMenu},
    {"&Tools", 13003, kToolsMenu},
    {"&Help", 13004, kHelpMenu},
};

constexpr MenuItem kListViewPopup[] = {
    {Add}, {Insert}, {CombineColumns}, {Delete}, {ClearColumns, "C&lear Columns...\tCtrl+L"}, kSep,
    {Cut}, {Copy}, {Paste}, kSep,
    {CopyCoordinates}, {PasteCoordinates}, kSep,
    {QueryCoordinates}, {QueryAddresses, "Que&ry Addresses\tAlt+A"}, kSep,
    {AddFavorite}, {AddItns}, kSep,
    {MoveUp}, {MoveDown, "Move Do&wn\tCtrl+D"}, kSep,
    {SetBasePoint}, kSep,
    {GoogleMaps}, {GoogleEarth}, kSep,
    {Export, "E&xport...\tCtrl+E"},
};

constexpr MenuItem kToolbarPopup[] = {
    {LargeToolbar, "&Large Icons"}, {AutoWrapToolbar, "&Auto Wrap"}, kSep,
    {ToolbarBackground, "&Background..."}, kSep,
    {CustomizeToolbar, "&Customize..."},
};

constexpr MenuItem kHeaderPopup[] = {
    {LngInFront}, {CoordinatesInDms}, {CoordinatesWithDirections}, kSep,
    {AdjustWidths}, kSep,
    {ClearColumn}, {ClearAddresses}, kSep,
    {ShowDistance}, {MetricForDistances}, kSep,
    {AdjacentDistances}, {BasePointDistances}, kSep,
    {SortColumnAscending}, {SortColumnDescending},
};

constexpr CommandId kDefaultToolbar[] = {
    New, Open, OpenFavorites, OpenDevice, DumpDevice, kSeparator,
    Save, SaveAs, SaveDevice, Import, Export, kSeparator,
    QueryNames, TranslateNames, ConvertFormats, kSeparator,
    Undo, Redo, Add, Insert, CombineColumns, Edit, Delete, ClearColumns, kSeparator,
    Cut, Copy, Paste, QueryCoordinates, QueryAddresses, kSeparator,
    Find, FindNext, Replace, ReplaceNext, kSeparator,
    MessCoordinates, Check, AddFavorite, AddItns, kSeparator,
    MoveUp, MoveDown, SetBasePoint, MyBasePoint, SortAscending, SortDescending, kSeparator,
    GoogleMaps, GoogleEarth, kSeparator,
    QuickGpsFix, DisplayFont, BackgroundImage, Options, kSeparator,
    TomTomHome, UserForum, QuillfernHome, MailtoProgramer, About,
};

// These keys edit text, so in the map pane they go to the page's own fields.
constexpr std::string_view kMapPaneTextKeys[] = {
    "Del", "Shift+Del", "Ctrl+X", "Ctrl+C", "Ctrl+Ins", "Shift+Ins", "Ctrl+V", "Menu",
};

}  // namespace

std::span<const CommandInfo> Commands() { return kCommands; }

const CommandInfo& Command(CommandId id) {
  assert(IndexOf(id) < std::size(kCommands) && kCommands[IndexOf(id)].id == id);
  return kCommands[IndexOf(id)];
}

std::u16string CommandHelp(CommandId id) {
  std::u16string help = LoadString(static_cast<int>(id));
  if (id == UserForum) help += u' ' + CommandTooltip(id);
  return help;
}

// The tooltips follow the commands' own texts at a distance of 13000 in the string table.
std::u16string CommandTooltip(CommandId id) { return LoadString(static_cast<int>(id) + 13000); }

std::span<const MenuBarMenu> MenuBar() { return kMenuBar; }
std::span<const MenuItem> ListViewPopup() { return kListViewPopup; }
std::span<const MenuItem> ToolbarPopup() { return kToolbarPopup; }
std::span<const MenuItem> HeaderPopup() { return kHeaderPopup; }
std::span<const CommandId> DefaultToolbar() { return kDefaultToolbar; }

std::u16string MenuTextWithoutMnemonics(std::string_view menuText) {
  const std::size_t tab = menuText.find('\t');
  const std::string_view label = menuText.substr(0, tab);
  std::string text;
  int depth = 0;
  for (const char c : label) {
    if (c == '(') {
      ++depth;
    } else if (c == ')' && depth > 0) {
      --depth;
    } else if (depth == 0 && c != '&') {
      text += c;
    }
  }
  if (tab != std::string_view::npos) text += menuText.substr(tab);
  return Utf8ToUtf16(text);
}

bool KeyAllowedInMapPane(std::string_view key) {
  return std::find(std::begin(kMapPaneTextKeys), std::end(kMapPaneTextKeys), key) == std::end(kMapPaneTextKeys);
}

}  // namespace qf
