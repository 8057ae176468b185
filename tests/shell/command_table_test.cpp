#include "shell/command_table.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <ostream>
#include <regex>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "core/unicode.h"
#include "core/string_table.h"

namespace qf {

void PrintTo(CommandId id, std::ostream* out) { *out << static_cast<int>(id); }

namespace {

using enum CommandId;

std::vector<CommandId> AllCommands() {
  std::vector<CommandId> ids;
  for (int n = kFirstMenuCommand; n <= kLastMenuCommand; ++n) ids.push_back(static_cast<CommandId>(n));
  for (int n = kFirstHeaderCommand; n <= kLastHeaderCommand; ++n) ids.push_back(static_cast<CommandId>(n));
  return ids;
}

std::string KeyText(const char* menuText) {
  const std::string text = menuText;
  const std::size_t tab = text.find('\t');
  return tab == std::string::npos ? std::string() : text.substr(tab + 1);
}

// The letter after the single "&", upper-cased; 0 without one.
char Mnemonic(const char* menuText) {
  const std::string text = menuText;
  const std::size_t amp = text.find('&');
  return amp == std::string::npos ? 0 : static_cast<char>(std::toupper(static_cast<unsigned char>(text[amp + 1])));
}

const char* ItemText(const MenuItem& item) { return item.text ? item.text : Command(item.id).menuText; }

std::vector<int> Numbers(std::span<const MenuItem> items) {
  std::vector<int> numbers;
  for (const MenuItem& item : items) numbers.push_back(static_cast<int>(item.id));
  return numbers;
}

TEST(CommandTable, EveryCommandHasItsEntryHelpAndTooltip) {
  for (const CommandId id : AllCommands()) {
    const int number = static_cast<int>(id);
    const CommandInfo& info = Command(id);
    EXPECT_EQ(info.id, id);
    ASSERT_NE(info.menuText, nullptr) << number;
    EXPECT_FALSE(LoadString(number).empty()) << number << " has no status help";
    if (number <= kLastMenuCommand) {
      // A tooltip exactly for the commands with a toolbar button, and nothing under the others'
      // numbers, so a tooltip filed under the wrong number shows up here.
      EXPECT_EQ(CommandTooltip(info.id).empty(), info.image < 0) << number;
    }
  }
  EXPECT_EQ(Commands().size(), AllCommands().size());
  EXPECT_EQ(CommandHelp(UserForum), LoadString(1059) + u' ' + LoadString(14059));
  EXPECT_EQ(CommandHelp(Save), u"Saves the current POI file");
}

TEST(CommandTable, DefaultToolbarUsesEveryImageOnceInOrder) {
  const auto toolbar = DefaultToolbar();
  ASSERT_EQ(toolbar.size(), 61u);
  int nextImage = 0;
  bool previousWasSeparator = true;
  for (const CommandId id : toolbar) {
    const bool separator = id == kSeparator;
    EXPECT_FALSE(separator && previousWasSeparator) << "separator at the start or doubled";
    if (!separator) {
      EXPECT_EQ(Command(id).image, nextImage++) << static_cast<int>(id);
    }
    previousWasSeparator = separator;
  }
  EXPECT_FALSE(previousWasSeparator);
  EXPECT_EQ(nextImage, kToolbarImageCount);
  int withImage = 0;
  for (const CommandInfo& info : Commands()) withImage += info.image >= 0;
  EXPECT_EQ(withImage, kToolbarImageCount);
}

TEST(CommandTable, KeysAgreeWithMenuTextsAndTooltipsAndNeverClash) {
  const std::regex portableKey("((Ctrl|Alt|Shift)\\+)*([A-Z]|F[1-9]|F1[0-2]|Del|Ins)");
  std::map<std::string, int> owner;
  for (const CommandInfo& info : Commands()) {
    const int number = static_cast<int>(info.id);
    const std::string keyText = KeyText(info.menuText);
    if (info.id == Add) {
      // Enter is the table's own key, shown in the menu but not bound as a shortcut.
      EXPECT_EQ(keyText, "Enter");
      EXPECT_EQ(info.keys[0], nullptr);
    } else {
      EXPECT_EQ(keyText, info.keys[0] ? info.keys[0] : "") << number;
    }
    if (info.keys[0] == nullptr) {
      EXPECT_EQ(info.keys[1], nullptr) << number;
    }
    for (const char* key : info.keys) {
      if (key == nullptr) continue;
      EXPECT_TRUE(std::regex_match(key, portableKey)) << key;
      EXPECT_TRUE(owner.emplace(key, number).second) << key << " is bound twice";
    }
    const std::u16string tooltip = CommandTooltip(info.id);
    if (info.image >= 0 && !keyText.empty()) {
      EXPECT_TRUE(tooltip.ends_with(u" (" + Utf8ToUtf16(keyText) + u")")) << number;
    }
  }
}

TEST(CommandTable, MenuBarHoldsEveryMenuCommandOnceGroupedLikeTheToolbar) {
  std::map<CommandId, int> toolbarPosition;
  const auto toolbar = DefaultToolbar();
  for (std::size_t i = 0; i < toolbar.size(); ++i) toolbarPosition[toolbar[i]] = static_cast<int>(i);

  std::multiset<int> seen;
  std::set<char> titleMnemonics;
  int helpId = 13000;
  for (const MenuBarMenu& menu : MenuBar()) {
    EXPECT_EQ(menu.helpId, helpId++);
    EXPECT_TRUE(titleMnemonics.insert(Mnemonic(menu.title)).second) << menu.title;
    EXPECT_FALSE(LoadString(menu.helpId).empty());
    std::set<char> mnemonics;
    const MenuItem* previous = nullptr;  // the last item with a toolbar button
    bool separatorSince = false;
    bool menuOnlySince = false;
    for (const MenuItem& item : menu.items) {
      if (item.id == kSeparator) {
        separatorSince = true;
        continue;
      }
      seen.insert(static_cast<int>(item.id));
      EXPECT_EQ(item.text, nullptr) << "the menu bar shows the commands' own texts";
      const char mnemonic = Mnemonic(ItemText(item));
      if (mnemonic) {
        EXPECT_TRUE(mnemonics.insert(mnemonic).second) << ItemText(item);
      }
      if (Command(item.id).image < 0) {
        menuOnlySince = true;
        continue;
      }
      // Two toolbar commands side by side in a menu are parted exactly where the toolbar parts them.
      if (previous && !menuOnlySince) {
        const bool toolbarSeparator = toolbarPosition[item.id] != toolbarPosition[previous->id] + 1;
        EXPECT_EQ(separatorSince, toolbarSeparator) << menu.title << " before " << static_cast<int>(item.id);
      }
      previous = &item;
      separatorSince = menuOnlySince = false;
    }
  }
  for (int n = kFirstMenuCommand; n <= kLastMenuCommand; ++n) EXPECT_EQ(seen.count(n), 1u) << n;

  const auto menus = MenuBar();
  ASSERT_EQ(menus.size(), 5u);
  EXPECT_EQ(menus[0].items.back().id, Exit);
  EXPECT_EQ(menus[1].items.back().id, ToggleSelection);
  EXPECT_EQ(menus[1].items[menus[1].items.size() - 2].id, SelectAll);
}

TEST(CommandTable, PopupsInTheirOrderWithTheirOwnTexts) {
  EXPECT_EQ(Numbers(ListViewPopup()), (std::vector<int>{1016, 1017, 1018, 1020, 1021, 0, 1022, 1023, 1024, 0, 1025,
                                                         1026, 0, 1027, 1028, 0, 1035, 1036, 0, 1039, 1040, 0, 1041,
                                                         0, 1045, 1046, 0, 1009}));
  EXPECT_EQ(Numbers(ToolbarPopup()), (std::vector<int>{1050, 1051, 0, 1052, 0, 1053}));
  EXPECT_EQ(Numbers(HeaderPopup()), (std::vector<int>{1203, 1204, 1205, 0, 1206, 0, 1207, 1208, 0, 1209, 1210, 0,
                                                       1211, 1212, 0, 1213, 1214}));

  const std::map<CommandId, std::string> ownTexts = {
      {ClearColumns, "C&lear Columns...\tCtrl+L"}, {QueryAddresses, "Que&ry Addresses\tAlt+A"},
      {MoveDown, "Move Do&wn\tCtrl+D"},           {Export, "E&xport...\tCtrl+E"},
      {LargeToolbar, "&Large Icons"},             {AutoWrapToolbar, "&Auto Wrap"},
      {ToolbarBackground, "&Background..."},      {CustomizeToolbar, "&Customize..."},
  };
  for (const auto popup : {ListViewPopup(), ToolbarPopup(), HeaderPopup()}) {
    std::set<char> mnemonics;
    for (const MenuItem& item : popup) {
      if (item.id == kSeparator) continue;
      const auto own = ownTexts.find(item.id);
      EXPECT_EQ(item.text ? std::string(item.text) : std::string(), own == ownTexts.end() ? "" : own->second);
      const char mnemonic = Mnemonic(ItemText(item));
      if (mnemonic) {
        EXPECT_TRUE(mnemonics.insert(mnemonic).second) << ItemText(item);
      }
      EXPECT_EQ(KeyText(ItemText(item)), KeyText(Command(item.id).menuText));
    }
  }

  std::set<int> checkMarks;
  std::set<int> radios;
  for (const CommandInfo& info : Commands()) {
    if (info.check == CheckStyle::CheckMark) checkMarks.insert(static_cast<int>(info.id));
    if (info.check == CheckStyle::Radio) radios.insert(static_cast<int>(info.id));
  }
  EXPECT_EQ(checkMarks, (std::set<int>{1034, 1048, 1049, 1050, 1051, 1055, 1056, 1203, 1204, 1205, 1209, 1210}));
  EXPECT_EQ(radios, (std::set<int>{1211, 1212}));
}

TEST(CommandTable, TextsWithoutMnemonics) {
  const struct {
    const char* menuText;
    std::u16string_view expected;
  } cases[] = {
      {"Show &Menu Bar\tCtrl+Alt+M", u"Show Menu Bar\tCtrl+Alt+M"},
      {"Show &Status Bar\tCtrl+Alt+S", u"Show Status Bar\tCtrl+Alt+S"},
      {"Open &Favorites...\tAlt+R", u"Open Favorites...\tAlt+R"},
      {"&Large Toolbar", u"Large Toolbar"},
      {"Query Addresses\tAlt+A", u"Query Addresses\tAlt+A"},
      {"Open (&O)...\tCtrl+O", u"Open ...\tCtrl+O"},
      {"Ansicht (&V) (neu)", u"Ansicht  "},
      {"Copy (&C)\tCtrl+(", u"Copy \tCtrl+("},
  };
  for (const auto& c : cases) EXPECT_EQ(MenuTextWithoutMnemonics(c.menuText), c.expected) << c.menuText;
}

TEST(CommandTable, MapPaneLeavesTheTextEditingKeysToThePage) {
  const std::set<CommandId> textEditing = {Delete, Cut, Copy, Paste};
  for (const CommandInfo& info : Commands()) {
    for (const char* key : info.keys) {
      if (key) {
        EXPECT_EQ(KeyAllowedInMapPane(key), !textEditing.contains(info.id)) << key;
      }
    }
  }
  EXPECT_FALSE(KeyAllowedInMapPane("Menu"));
}

}  // namespace
}  // namespace qf
