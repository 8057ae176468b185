#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "shell/command_state.h"

namespace qf {

enum class CheckStyle : char { None, CheckMark, Radio };

// A command whose dialog or service a later version brings is shown, but never enabled.
enum class Availability : char { Built, NotYet };

// How a command presents itself: the window builds its actions, menus, toolbar and popups from
// these descriptions.
struct CommandInfo {
  CommandId id;
  const char* menuText;             // "&" before the mnemonic; the key text follows a tab
  std::array<const char*, 2> keys;  // portable key names ("Ctrl+N", "Shift+Del"); nullptr when none
  int image;                        // toolbar image index, -1 without a toolbar button
  CheckStyle check;
  Availability availability = Availability::Built;
};

// Every command of the menus, the toolbar and the header popup, in number order.
std::span<const CommandInfo> Commands();
const CommandInfo& Command(CommandId id);

// The status help of a command; the forum's entry ends with the forum's name, its tooltip.
std::u16string CommandHelp(CommandId id);
// The toolbar tooltip of a command with a button, such as "Open (Ctrl+O)".
std::u16string CommandTooltip(CommandId id);

// A menu or toolbar entry; kSeparator marks a separator. A popup may show its own text for a
// command; nullptr means the command's menu text.
inline constexpr CommandId kSeparator = static_cast<CommandId>(0);
struct MenuItem {
  CommandId id;
  const char* text = nullptr;
};

struct MenuBarMenu {
  const char* title;
  int helpId;  // status help while the menu title is highlighted
  std::span<const MenuItem> items;
};

// The five menus of the menu bar. The recent files go into "&File" right before "E&xit",
// followed by a separator of their own.
std::span<const MenuBarMenu> MenuBar();
std::span<const MenuItem> ListViewPopup();
std::span<const MenuItem> ToolbarPopup();
std::span<const MenuItem> HeaderPopup();

// The 61 entries of the toolbar before any customisation, separators included.
std::span<const CommandId> DefaultToolbar();
inline constexpr int kToolbarImageCount = 51;

// The text of a menu item where mnemonics have no place (system menu, toolbar overflow): every
// "&" and every parenthesised part removed from the label, the key text after the tab kept.
std::u16string MenuTextWithoutMnemonics(std::string_view menuText);

// The map pane gets every key of the main window except the editing keys, which belong to the
// map page's own text fields. Takes a portable key name as in CommandInfo::keys ("Menu" for the
// context-menu key).
bool KeyAllowedInMapPane(std::string_view key);

}  // namespace qf
