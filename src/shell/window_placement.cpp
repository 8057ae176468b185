#include "shell/window_placement.h"

#include <algorithm>

namespace qf {

WindowPlacement PlaceMainWindow(const WindowSettings& saved, const ScreenRect& workArea) {
  const int left = workArea.left, top = workArea.top;
  const int right = workArea.left + workArea.width, bottom = workArea.top + workArea.height;
  const int savedLeft = saved.rect.left.value_or(left + (right - left) / 4);
  const int savedTop = saved.rect.top.value_or(top + (bottom - top) / 4);
  const int x = savedLeft <= left ? left : std::min(savedLeft, right - kMinWindowWidth);
  const int y = savedTop <= top ? top : std::min(savedTop, bottom - kMinWindowHeight);
  const int savedWidth = saved.rect.width.value_or((right - left) / 2);
  const int savedHeight = saved.rect.height.value_or((bottom - top) / 2);
  const int width = savedWidth <= kMinWindowWidth ? kMinWindowWidth : std::min(savedWidth, right - x);
  const int height = savedHeight <= kMinWindowHeight ? kMinWindowHeight : std::min(savedHeight, bottom - y);
  return {{x, y, width, height}, saved.show.value_or(1) == 3};
}

ScreenRect PlaceCheckWindow(const SavedRect& saved, const ScreenRect& workArea) {
  const int width = std::clamp(saved.width.value_or(kMinCheckWindowWidth), kMinCheckWindowWidth,
                               std::max(workArea.width, kMinCheckWindowWidth));
  const int height = std::clamp(saved.height.value_or(kMinCheckWindowHeight), kMinCheckWindowHeight,
                                std::max(workArea.height, kMinCheckWindowHeight));
  const int left = saved.left.value_or(workArea.left + (workArea.width - width) / 2);
  const int top = saved.top.value_or(workArea.top + (workArea.height - height) / 2);
  return {std::clamp(left, workArea.left, std::max(workArea.left, workArea.left + workArea.width - width)),
          std::clamp(top, workArea.top, std::max(workArea.top, workArea.top + workArea.height - height)), width, height};
}

}  // namespace qf
