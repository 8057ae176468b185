#include "shell/window_placement.h"

#include <gtest/gtest.h>

namespace qf {
namespace {

TEST(WindowPlacement, SavedRectangleIsKeptOnTheWorkArea) {
  const ScreenRect workArea{0, 0, 1920, 1080};
  struct Case {
    SavedRect saved;
    std::optional<int> show;
    WindowPlacement expected;
  };
  const Case cases[] = {
      {{}, {}, {{480, 270, 960, 540}, false}},                      // nothing saved: a quarter in, half the size
      {{100, 100, 300, 200}, {}, {{100, 100, 480, 320}, false}},    // never smaller than 480 x 320
      {{5000, 50, 800, 600}, {}, {{1440, 50, 480, 600}, false}},    // beyond the right edge: right - 480
      {{-20, -5, 800, 600}, 2, {{0, 0, 800, 600}, false}},          // minimised starts normal
      {{10, 10, 3000, 3000}, 3, {{10, 10, 1910, 1070}, true}},      // maximised stays maximised
  };
  for (const Case& c : cases) {
    const WindowPlacement placement = PlaceMainWindow({c.saved, c.show, {}}, workArea);
    EXPECT_EQ(placement.rect, c.expected.rect) << c.saved.left.value_or(-1);
    EXPECT_EQ(placement.maximised, c.expected.maximised);
  }
}

TEST(WindowPlacement, CheckWindowStaysOnTheWorkArea) {
  const ScreenRect workArea{0, 30, 1920, 1050};
  const std::pair<SavedRect, ScreenRect> cases[] = {
      {{}, {800, 435, 320, 240}},                                  // nothing saved: centred, 320 x 240
      {{100, 100, 200, 100}, {100, 100, 320, 240}},                // never smaller than 320 x 240
      {{1800, 1000, 400, 300}, {1520, 780, 400, 300}},             // moved back inside
      {{-50, 0, 4000, 500}, {0, 30, 1920, 500}},                   // at most the work area
  };
  for (const auto& [saved, expected] : cases) {
    EXPECT_EQ(PlaceCheckWindow(saved, workArea), expected) << saved.left.value_or(-1);
  }
}

}  // namespace
}  // namespace qf
