#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "core/app_settings.h"
#include "shell/command_state.h"

namespace qf {

// What a confirmed Options dialog sets in motion in the window, found by comparing the settings
// before the dialog with its result.

// The commands to run, in this order: the layout toggles (menu bar, toolbar, large icons, wrap,
// status bar), the table's display toggles (Lng column, DMS, directions, Distance column, metric
// units), then the column adjustment when "Auto Column" was switched on. Each toggle is the menu's
// own command and flips its switch again, so the window runs them while its settings still hold
// the values of `before` for those switches, and ends up with the values of `after`.
std::vector<CommandId> CommandsForChangedOptions(const AppSettings& before, const AppSettings& after);

// How many recent files the window keeps after the change: all beyond it leave the list and the
// File menu (0 while the list is off, which also removes the menu's separator after the list).
// Nothing when neither "Recent File" nor "File Count" changed.
std::optional<std::size_t> RecentFilesToKeep(const AppSettings& before, const AppSettings& after);

// Whether the auto-save timer must be restarted with the new interval (or stopped, when
// "Backup File" is off).
bool AutoSaveTimerChanged(const AppSettings& before, const AppSettings& after);

// The map page's commands for the map switches the dialog changed, in the order cookie, memo, route:
// 11/12 cookies on/off, 13/14 memo updating on/off, 15/16 route flashing on/off.
std::vector<int> MapOptionCommands(const AppSettings& before, const AppSettings& after);

}  // namespace qf
