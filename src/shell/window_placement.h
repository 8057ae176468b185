#pragma once

#include "core/app_settings.h"

namespace qf {

struct ScreenRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const ScreenRect&) const = default;
};

struct WindowPlacement {
  ScreenRect rect;
  bool maximised = false;
};

inline constexpr int kMinWindowWidth = 480;
inline constexpr int kMinWindowHeight = 320;

// Where the main window opens: the saved rectangle kept inside the work area and no smaller than
// 480 x 320, a quarter in from the corner and half the work area when nothing was saved.
WindowPlacement PlaceMainWindow(const WindowSettings& saved, const ScreenRect& workArea);

inline constexpr int kMinCheckWindowWidth = 320;
inline constexpr int kMinCheckWindowHeight = 240;

// Where the check-results window opens: the saved rectangle, no smaller than 320 x 240 and moved
// into the work area; centred at 320 x 240 when nothing was saved.
ScreenRect PlaceCheckWindow(const SavedRect& saved, const ScreenRect& workArea);

}  // namespace qf
