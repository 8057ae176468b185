#include "shell/option_changes.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>
#include <vector>

namespace qf {

void PrintTo(CommandId id, std::ostream* out) { *out << static_cast<int>(id); }

namespace {

using enum CommandId;

AppSettings Toggled(AppSettings settings, std::initializer_list<Switch> switches) {
  for (Switch s : switches) settings.set(s, !settings.on(s));
  return settings;
}

TEST(CommandsForChangedOptions, EachToggledSwitchRunsItsCommand) {
  const AppSettings before;
  const struct {
    Switch option;
    std::vector<CommandId> commands;
  } cases[] = {
      {Switch::ShowMenuBar, {ShowMenuBar}},
      {Switch::ShowToolbar, {ShowToolbar}},
      {Switch::LargeToolbar, {LargeToolbar}},
      {Switch::WrapToolbar, {AutoWrapToolbar}},
      {Switch::ShowStatusBar, {ShowStatusBar}},
      {Switch::LngFirst, {LngInFront}},
      {Switch::DmsFormat, {CoordinatesInDms}},
      {Switch::CompassDirection, {CoordinatesWithDirections}},
      {Switch::ShowDistance, {ShowDistance}},
      {Switch::MetricUnit, {MetricForDistances}},
      // Stored only; the window reads them where it needs them.
      {Switch::RecentFile, {}},
      {Switch::FadeWindow, {}},
      {Switch::CheckName, {}},
      {Switch::BackupFile, {}},
      {Switch::GoogleMapsRoute, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CommandsForChangedOptions(before, Toggled(before, {c.option})), c.commands)
        << "switch " << static_cast<int>(c.option);
  }
  EXPECT_TRUE(CommandsForChangedOptions(before, before).empty());
}

TEST(CommandsForChangedOptions, RunsLayoutThenTableThenAdjustsWidths) {
  AppSettings before;
  before.set(Switch::AutoColumn, false);
  const AppSettings after = Toggled(before, {Switch::MetricUnit, Switch::AutoColumn, Switch::LngFirst,
                                             Switch::ShowStatusBar, Switch::ShowMenuBar});
  EXPECT_EQ(CommandsForChangedOptions(before, after),
            (std::vector{ShowMenuBar, ShowStatusBar, LngInFront, MetricForDistances, AdjustWidths}));
}

TEST(CommandsForChangedOptions, AdjustsWidthsOnlyWhenAutoColumnIsSwitchedOn) {
  AppSettings on;
  on.set(Switch::AutoColumn, true);
  AppSettings off = on;
  off.set(Switch::AutoColumn, false);
  EXPECT_EQ(CommandsForChangedOptions(off, on), std::vector{AdjustWidths});
  EXPECT_TRUE(CommandsForChangedOptions(on, off).empty());
}

TEST(RecentFilesToKeep, FollowsTheListSwitchAndCount) {
  AppSettings before;
  before.set(Switch::RecentFile, true);
  before.fileCount = 7;

  EXPECT_EQ(RecentFilesToKeep(before, before), std::nullopt);
  AppSettings fewer = before;
  fewer.fileCount = 3;
  EXPECT_EQ(RecentFilesToKeep(before, fewer), 3u);
  const AppSettings off = Toggled(before, {Switch::RecentFile});
  EXPECT_EQ(RecentFilesToKeep(before, off), 0u);
  // Switched on again: the list starts empty, so keeping up to the count changes nothing.
  EXPECT_EQ(RecentFilesToKeep(off, before), 7u);
}

TEST(AutoSaveTimerChanged, RestartsForTheSwitchOrANewIntervalWhileOn) {
  AppSettings before;
  before.set(Switch::BackupFile, true);
  before.backupInterval = 10;
  AppSettings longer = before;
  longer.backupInterval = 20;
  AppSettings off = Toggled(before, {Switch::BackupFile});
  AppSettings offLonger = off;
  offLonger.backupInterval = 20;

  EXPECT_FALSE(AutoSaveTimerChanged(before, before));
  EXPECT_TRUE(AutoSaveTimerChanged(before, longer));
  EXPECT_TRUE(AutoSaveTimerChanged(before, off));
  EXPECT_TRUE(AutoSaveTimerChanged(off, before));
  EXPECT_FALSE(AutoSaveTimerChanged(off, offLonger));
}

TEST(MapOptionCommands, EachChangedMapSwitchSendsItsOnOrOffCommand) {
  AppSettings before;
  AppSettings after = before;
  EXPECT_TRUE(MapOptionCommands(before, after).empty());
  after.set(Switch::GoogleMapsCookie, false);
  after.set(Switch::GoogleMapsRoute, false);
  EXPECT_EQ(MapOptionCommands(before, after), (std::vector<int>{12, 16}));
  EXPECT_EQ(MapOptionCommands(after, before), (std::vector<int>{11, 15}));
  after = before;
  after.set(Switch::GoogleMapsMemo, !before.on(Switch::GoogleMapsMemo));
  EXPECT_EQ(MapOptionCommands(before, after), (std::vector<int>{before.on(Switch::GoogleMapsMemo) ? 14 : 13}));
}

}  // namespace
}  // namespace qf
