#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/poi_document.h"

namespace qf {

// The 24 option switches of section "Options", in file order.
enum class Switch : int {
  ShowMenuBar,
  ShowToolbar,
  LargeToolbar,
  WrapToolbar,
  LngFirst,
  DmsFormat,
  CompassDirection,
  AutoColumn,
  ShowDistance,
  MetricUnit,
  RecentFile,
  FadeWindow,
  ShadeTable,
  ShowStatusBar,
  SignalMark,
  OptimisePoi,
  CheckName,
  AutoBasePoint,
  OpenLast,
  TranslateName,
  BackupFile,
  GoogleMapsCookie,
  GoogleMapsMemo,
  GoogleMapsRoute,
};
inline constexpr int kSwitchCount = 24;

// The in-memory copy of the settings file that the program consults.
struct AppSettings {
  std::array<bool, kSwitchCount> switches = {true, true, true, true, false, false, false, true,
                                            false, false, true, false, false, true, false, true,
                                            false, false, false, false, true, true, true, true};

  bool adjacentDistance = true;  // "Adjacent Distance"

  bool on(Switch s) const { return switches[static_cast<std::size_t>(s)]; }
  void set(Switch s, bool value) { switches[static_cast<std::size_t>(s)] = value; }
  // The options that shape coordinate and distance texts, as the document uses them.
  DisplayOptions displayOptions() const;
};

}  // namespace qf
