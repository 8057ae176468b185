#include "shell/option_changes.h"

#include <utility>

namespace qf {

namespace {

// The switches that are toggled by a command of their own, in the order the commands run.
constexpr std::pair<Switch, CommandId> kToggles[] = {
    {Switch::ShowMenuBar, CommandId::ShowMenuBar},
    {Switch::ShowToolbar, CommandId::ShowToolbar},
    {Switch::LargeToolbar, CommandId::LargeToolbar},
    {Switch::WrapToolbar, CommandId::AutoWrapToolbar},
    {Switch::ShowStatusBar, CommandId::ShowStatusBar},
    {Switch::LngFirst, CommandId::LngInFront},
    {Switch::DmsFormat, CommandId::CoordinatesInDms},
    {Switch::CompassDirection, CommandId::CoordinatesWithDirections},
    {Switch::ShowDistance, CommandId::ShowDistance},
    {Switch::MetricUnit, CommandId::MetricForDistances},
};

}  // namespace

std::vector<CommandId> CommandsForChangedOptions(const AppSettings& before, const AppSettings& after) {
  std::vector<CommandId> commands;
  for (const auto& [option, command] : kToggles) {
    if (before.on(option) != after.on(option)) commands.push_back(command);
  }
  if (!before.on(Switch::AutoColumn) && after.on(Switch::AutoColumn)) commands.push_back(CommandId::AdjustWidths);
  return commands;
}

std::optional<std::size_t> RecentFilesToKeep(const AppSettings& before, const AppSettings& after) {
  if (before.on(Switch::RecentFile) == after.on(Switch::RecentFile) && before.fileCount == after.fileCount) {
    return std::nullopt;
  }
  return after.on(Switch::RecentFile) ? static_cast<std::size_t>(after.fileCount) : 0;
}

bool AutoSaveTimerChanged(const AppSettings& before, const AppSettings& after) {
  if (before.on(Switch::BackupFile) != after.on(Switch::BackupFile)) return true;
  return after.on(Switch::BackupFile) && before.backupInterval != after.backupInterval;
}

std::vector<int> MapOptionCommands(const AppSettings& before, const AppSettings& after) {
  std::vector<int> commands;
  int on = 11;
  for (const Switch option : {Switch::GoogleMapsCookie, Switch::GoogleMapsMemo, Switch::GoogleMapsRoute}) {
    if (before.on(option) != after.on(option)) commands.push_back(after.on(option) ? on : on + 1);
    on += 2;
  }
  return commands;
}

}  // namespace qf
