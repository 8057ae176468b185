#include "editing/column_edits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/coordinates.h"
#include "core/field_rules.h"
#include "core/unicode.h"

namespace qf {
namespace {

class ColumnEditsTest : public testing::Test {
 protected:
  void add(std::u16string_view name, std::u16string_view tel = {}, std::u16string_view memo = {}) {
    const int row = AppendPoi(document, name, false);
    SetCell(document, row, kLng, u"4.50000");
    SetCell(document, row, kLat, u"52.10000");
    SetCell(document, row, kTel, tel);
    SetCell(document, row, kMemo, memo);
  }

  std::vector<std::u16string> column(int c) const {
    std::vector<std::u16string> texts;
    for (int row = 0; row < document.rowCount(); ++row) texts.emplace_back(document.text(row, c));
    return texts;
  }

  PoiDocument document;
  PoiTable table{document};
};

TEST_F(ColumnEditsTest, AllowedCombinations) {
  using P = CombinePart;
  EXPECT_TRUE(CombinationAllowed(P::Text, P::Name, false));
  EXPECT_FALSE(CombinationAllowed(P::Text, P::Serial, false));
  EXPECT_TRUE(CombinationAllowed(P::Serial, P::Name, false));
  EXPECT_FALSE(CombinationAllowed(P::Serial, P::Tel, false));
  EXPECT_TRUE(CombinationAllowed(P::Name, P::Serial, false));
  EXPECT_FALSE(CombinationAllowed(P::Name, P::Name, false));
  EXPECT_TRUE(CombinationAllowed(P::Tel, P::Memo, false));
  EXPECT_TRUE(CombinationAllowed(P::Memo, P::Tel, false));
  EXPECT_FALSE(CombinationAllowed(P::Memo, P::Tel, true));
  EXPECT_FALSE(CombinationAllowed(P::Text, P::Memo, true));
  EXPECT_TRUE(CombinationAllowed(P::Text, P::Tel, true));
}

TEST_F(ColumnEditsTest, CombineNeedsATextForItsTextOrSerialPart) {
  using P = CombinePart;
  const struct {
    Combination combination;
    bool complete;
  } cases[] = {
      {{P::Text, P::Name, u"@"}, true},      {{P::Text, P::Name, u" \u3000 "}, false},
      {{P::Serial, P::Name, u"007"}, true},  {{P::Serial, P::Name, u""}, false},
      {{P::Serial, P::Name, u"1a"}, false},  {{P::Name, P::Serial, u" 1"}, false},
      {{P::Name, P::Tel, u""}, true},        {{P::Serial, P::Tel, u"01"}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(CombinationComplete(c.combination, false), c.complete);
  EXPECT_EQ(CombineTarget({P::Serial, P::Name, u"1"}), kName);
  EXPECT_EQ(CombineTarget({P::Memo, P::Tel, {}}), kMemo);
}

TEST_F(ColumnEditsTest, SerialsArePaddedToTheWidthOfTheLastNumber) {
  const struct {
    std::u16string start;
    int rows;
    std::u16string first;
    std::u16string last;
  } cases[] = {{u"001", 12, u"01Cam", u"12Cam"}, {u"1", 12, u"1Cam", u"12Cam"}, {u"01", 150, u"001Cam", u"150Cam"}};
  for (const auto& c : cases) {
    document = PoiDocument();
    for (int i = 0; i < c.rows; ++i) add(u"Cam");
    Combine(table, {CombinePart::Serial, CombinePart::Name, c.start});
    EXPECT_EQ(document.text(0, kName), c.first);
    EXPECT_EQ(document.text(c.rows - 1, kName), c.last);
  }
}

TEST_F(ColumnEditsTest, CombineWritesThroughTheTargetColumnsRules) {
  add(u"Inn", u"020 555", u"Open");
  add(u"Hut", u"", u"Closed");
  document.rows[0].selected = true;
  Combine(table, {CombinePart::Name, CombinePart::Memo, {}});
  EXPECT_EQ(column(kName), (std::vector<std::u16string>{u"InnOpen", u"Hut"}));  // only the selection
  Combine(table, {CombinePart::Text, CombinePart::Tel, u"+31 "});
  EXPECT_EQ(document.text(0, kTel), u"+31 020 555");
  table.undo();
  table.undo();
  EXPECT_EQ(column(kName), (std::vector<std::u16string>{u"Inn", u"Hut"}));
}

TEST_F(ColumnEditsTest, ClearTakesSerialsOffNamesAndEmptiesColumns) {
  for (const auto name : {u"Camera 12", u"12", u"Camera", u"7 Dwarfs"}) add(name, u"112", u"memo");
  Clear(table, {.leadingSerial = true, .trailingSerial = true, .tel = true});
  EXPECT_EQ(column(kName), (std::vector<std::u16string>{u"Camera", u"12", u"Camera", u"Dwarfs"}));
  EXPECT_EQ(column(kTel), (std::vector<std::u16string>{u"", u"", u"", u""}));
  EXPECT_EQ(document.text(0, kMemo), u"memo");
  table.undo();
  EXPECT_EQ(document.text(0, kName), u"Camera 12");
  EXPECT_EQ(document.text(0, kTel), u"112");
}

TEST_F(ColumnEditsTest, ClearColumnSparesTheMyBasePointRowAndClearAddressesCutsMemos) {
  add(u"Home", u"", u"Base => Main St 1");
  add(u"Inn", u"", u"Good beer => Main St 2");
  add(u"Hut", u"", u"No address");
  document.basePointPinned = true;
  ClearColumn(table, kLng);
  EXPECT_EQ(column(kLng), (std::vector<std::u16string>{u"4.50000", u"", u""}));
  ClearAddresses(table);
  EXPECT_EQ(column(kMemo), (std::vector<std::u16string>{u"Base", u"Good beer", u"No address"}));
}

TEST_F(ColumnEditsTest, MessedCoordinatesStayWithinTwoUnitsAndTheirRange) {
  for (int i = 0; i < 50; ++i) add(u"P");
  SetCell(document, 0, kLng, u"180.00000");
  SetCell(document, 0, kLat, u"-90.00000");
  const std::vector<std::u16string> lngs = column(kLng);
  MessCoordinates(table, 42);
  bool moved = false;
  for (int row = 0; row < document.rowCount(); ++row) {
    const std::int32_t before = CoordinateToUnits(lngs[static_cast<std::size_t>(row)], document.display);
    const std::int32_t after = CoordinateToUnits(document.text(row, kLng), document.display);
    EXPECT_LE(std::abs(after - before), 2);
    EXPECT_LE(std::abs(after), kMaxLongitudeUnits);
    EXPECT_LE(std::abs(CoordinateToUnits(document.text(row, kLat), document.display)), kMaxLatitudeUnits);
    moved = moved || after != before;
  }
  EXPECT_TRUE(moved);
  table.undo();
  EXPECT_EQ(column(kLng), lngs);
}

}  // namespace
}  // namespace qf
