#include "shell/toolbar_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

#include "shell/command_table.h"

namespace qf {

void PrintTo(CommandId id, std::ostream* out) { *out << static_cast<int>(id); }

namespace {

using enum CommandId;

TEST(ToolbarLayout, ParsesStoredNumbersInOrder) {
  const struct {
    std::u16string text;
    ToolbarLayout expected;
  } cases[] = {
      {u"0 51 51 45", {New, kSeparator, kSeparator, Options}},
      {u"13 14", {Undo, Redo}},
      // Unknown numbers, words and signs are skipped without stopping the reading.
      {u"52 0 99 -1 x7 1 4294967297 50", {New, Open, About}},
      // A command already on keeps its first place; separators may repeat.
      {u"45 51 45 51 0 45", {Options, kSeparator, kSeparator, New}},
      {u"  5   6 ", {Save, SaveAs}},
      {u"", {}},
      {u"52 53", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseToolbarButtons(c.text), c.expected) << std::string(c.text.begin(), c.text.end());
  }
}

TEST(ToolbarLayout, AbsentSettingGivesTheDefaultEntries) {
  const ToolbarLayout layout = ToolbarLayoutFromSettings(std::nullopt);
  ASSERT_EQ(layout.size(), 61u);
  EXPECT_TRUE(std::equal(layout.begin(), layout.end(), DefaultToolbar().begin()));
  EXPECT_TRUE(ToolbarLayoutFromSettings(u"").empty());
}

TEST(ToolbarLayout, DefaultLayoutRoundTripsThroughItsText) {
  const ToolbarLayout defaults = ToolbarLayoutFromSettings(std::nullopt);
  const std::u16string text = FormatToolbarButtons(defaults);
  EXPECT_EQ(text.substr(0, 24), u"0 1 2 3 4 51 5 6 7 8 9 5");
  EXPECT_TRUE(text.ends_with(u" 51 46 47 48 49 50"));
  EXPECT_EQ(ParseToolbarButtons(text), defaults);
}

TEST(ToolbarLayout, FormatsImagesAndSeparators) {
  EXPECT_EQ(FormatToolbarButtons(ToolbarLayout{New, kSeparator, kSeparator, Options}), u"0 51 51 45");
  EXPECT_EQ(FormatToolbarButtons(ToolbarLayout{}), u"");
  EXPECT_EQ(FormatToolbarButtons(ToolbarLayout{kSeparator}), u"51");
}

TEST(ToolbarLayout, TextStopsAtWholeEntriesWithin255Characters) {
  // 84 separators take 84 * 3 - 1 = 251 characters.
  ToolbarLayout layout(84, kSeparator);
  layout.push_back(New);      // 253
  layout.push_back(Options);  // " 45" would make 256: left out, not cut to " 4" (another button)
  std::u16string text = FormatToolbarButtons(layout);
  EXPECT_EQ(text.size(), 253u);
  EXPECT_TRUE(text.ends_with(u"51 51 0"));
  layout.back() = Open;              // 255 exactly
  layout.push_back(OpenFavorites);  // 257
  text = FormatToolbarButtons(layout);
  EXPECT_EQ(text.size(), 255u);
  EXPECT_TRUE(text.ends_with(u"51 0 1"));
}

TEST(ToolbarLayout, HotChannelBrightensByATenth) {
  const struct {
    int value, hot;
  } cases[] = {{0, 0}, {10, 11}, {100, 110}, {200, 220}, {231, 254}, {232, 255}, {255, 255}};
  for (const auto& c : cases) EXPECT_EQ(HotChannel(static_cast<std::uint8_t>(c.value)), c.hot) << c.value;
}

TEST(ToolbarLayout, RowLinesDarkenTowardTheBottom) {
  const Colour base = Rgb(224, 248, 255);
  // Buttons 22 pixels high: darkening starts at line 22 / 2 + 4 = 15.
  const struct {
    int line;
    Colour colour;
  } cases[] = {
      {0, Rgb(160, 160, 160)},       {1, Rgb(255, 255, 255)},       {2, base},
      {14, base},                    {15, Rgb(200, 240, 239)},      {16, Rgb(199, 240, 238)},
      {17, Rgb(198, 239, 237)},      {18, Rgb(197, 239, 236)},      {29, Rgb(186, 233, 225)},
  };
  for (const auto& c : cases) EXPECT_EQ(RowLineColour(base, c.line, 22), c.colour) << c.line;
  // An even first line: the green steps still fall on odd lines.
  EXPECT_EQ(RowLineColour(base, 12, 16), Rgb(200, 240, 239));
  EXPECT_EQ(RowLineColour(base, 13, 16), Rgb(199, 239, 238));
  EXPECT_EQ(RowLineColour(base, 14, 16), Rgb(198, 239, 237));
  // No channel goes below zero.
  EXPECT_EQ(RowLineColour(Rgb(30, 5, 20), 25, 22), Rgb(0, 0, 0));
}

}  // namespace
}  // namespace qf
