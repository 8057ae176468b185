#include "map/map_bridge.h"

#include <gtest/gtest.h>

#include "core/field_rules.h"
#include "core/unicode.h"
#include "support/test_support.h"

namespace qf {
namespace {

using test::Poi;

class MapBridgeTest : public testing::Test {
 protected:
  void SetUp() override {
    add(u"Inn", u"4.5", u"52.1", u"", u"Dam 1");
    add(u"Hut", u"-0.000001", u"0", u"123", u"");
    add(u"Inn", u"4.6", u"52.1", u"", u"Dam 1");
    document.modified = false;
  }

  void add(std::u16string_view name, std::u16string_view lng, std::u16string_view lat, std::u16string_view tel,
           std::u16string_view memo) {
    const int row = AppendPoi(document, name, false);
    SetCoordinateText(document, row, kLng, lng, true);
    SetCoordinateText(document, row, kLat, lat, true);
    SetTelephone(document, row, tel);
    SetMemo(document, row, memo);
  }

  BridgeResult apply(std::u16string_view text, bool hostStarted = false) {
    const std::optional<PageMessage> message = ParsePageMessage(text);
    EXPECT_TRUE(message) << Utf16ToUtf8(text);
    return message ? ApplyPageMessage(table, *message, hostStarted) : BridgeResult{};
  }

  std::vector<int> selected() const {
    std::vector<int> rows;
    for (int row = 0; row < document.rowCount(); ++row) {
      if (document.rows[static_cast<std::size_t>(row)].selected) rows.push_back(row);
    }
    return rows;
  }

  PoiDocument document;
  PoiTable table{document};
};

TEST_F(MapBridgeTest, AddAppendsACleanedPoiAsOneStep) {
  document.rows[0].selected = true;
  const std::vector<Poi> before = test::Pois(document);
  const BridgeResult result = apply(u"<\t0\tNew|place \t-4.25\t52.123456\t+31 (20) 555\tA\rmemo");
  EXPECT_EQ(result.step, BridgeStep::Refresh);
  ASSERT_EQ(document.rowCount(), 4);
  EXPECT_EQ(test::Pois(document).back(), (Poi{u"New place", u"-4.25000", u"52.12346", u"+31 20 555", u"A memo"}));
  EXPECT_EQ(selected(), std::vector<int>{3});
  EXPECT_TRUE(document.modified);
  table.undo();
  EXPECT_EQ(test::Pois(document), before);
  EXPECT_FALSE(document.modified);
}

TEST_F(MapBridgeTest, InsertGoesToTheSelectedRowButNeverBeforeAMyBasePoint) {
  const struct {
    int selectedRow;
    bool pinned;
    int insertedAt;
  } cases[] = {{2, false, 2}, {0, false, 0}, {0, true, 1}, {-1, false, 3}};
  for (const auto& c : cases) {
    PoiDocument copy = document;
    PoiTable copyTable(copy);
    copy.basePointPinned = c.pinned;
    copy.baseRow = c.pinned ? 0 : -1;
    if (c.selectedRow >= 0) copy.rows[static_cast<std::size_t>(c.selectedRow)].selected = true;
    ApplyPageMessage(copyTable, *ParsePageMessage(u"<\t1\tNew\t1\t2\t\t"), false);
    ASSERT_EQ(copy.rowCount(), 4);
    EXPECT_EQ(copy.text(c.insertedAt, kName), u"New") << c.selectedRow << c.pinned;
  }
}

TEST_F(MapBridgeTest, AddWithoutANameOnlyClearsTheSelection) {
  document.rows[1].selected = true;
  EXPECT_EQ(apply(u"<\t0\t \t1\t2\t\t").step, BridgeStep::Refresh);
  EXPECT_EQ(document.rowCount(), 3);
  EXPECT_TRUE(selected().empty());
  EXPECT_FALSE(table.canUndo());
}

// Rows are told apart by all five texts, the coordinates in plain decimal whatever the display.
TEST_F(MapBridgeTest, UpdateChangesExactlyTheMatchingRowAsOneStep) {
  for (const bool dms : {false, true}) {
    PoiDocument copy = document;
    PoiTable copyTable(copy);
    copy.display.dms = dms;
    for (int row = 0; row < copy.rowCount(); ++row) {
      for (const int column : {kLng, kLat}) {
        std::u16string text(copy.text(row, column));
        FromPlainDecimal(text, column == kLng ? Axis::Longitude : Axis::Latitude, copy.display);
        SetCell(copy, row, column, text);
      }
    }
    const std::vector<Poi> before = test::Pois(copy);
    const BridgeResult result = ApplyPageMessage(
        copyTable, *ParsePageMessage(u"<\t2\tInn\t4.60000\t52.10000\t\tDam 1\t5.1\t-53.2\tDam 2"), false);
    EXPECT_EQ(result.step, BridgeStep::Refresh);
    EXPECT_EQ(result.row, 2);
    EXPECT_EQ(MarkerTexts(copy, 2), (std::array<std::u16string, 5>{u"Inn", u"5.10000", u"-53.20000", u"", u"Dam 2"}));
    const std::vector<Poi> after = test::Pois(copy);
    EXPECT_EQ(after[0], before[0]) << dms;
    EXPECT_EQ(after[1], before[1]) << dms;
    copyTable.undo();
    EXPECT_EQ(test::Pois(copy), before) << dms;
    EXPECT_FALSE(copyTable.canUndo());
  }
}

TEST_F(MapBridgeTest, ARowEditedMeanwhileNoLongerMatches) {
  SetMemo(document, 0, u"Dam 1a");
  document.rows[1].selected = true;
  const std::vector<Poi> before = test::Pois(document);
  for (const std::u16string_view text : {u"<\t2\tInn\t4.50000\t52.10000\t\tDam 1\t5\t6\tX",
                                         u"<\t4\tInn\t4.50000\t52.10000\t\tDam 1", u"<\t3\tInn\t4.5\t52.1\t\tDam 1a",
                                         u"<\t5\tInn\t4.50000\t52.10000\t1\tDam 1a\t0"}) {
    EXPECT_EQ(apply(text).step, BridgeStep::Refresh) << Utf16ToUtf8(text);  // the selection went
  }
  EXPECT_EQ(test::Pois(document), before);
  EXPECT_TRUE(selected().empty());
  EXPECT_FALSE(document.modified);
  EXPECT_FALSE(table.canUndo());
}

TEST_F(MapBridgeTest, TheNegativeZeroMatchesZero) {
  ASSERT_EQ(document.text(1, kLng), u"0.00000");
  EXPECT_EQ(apply(u"<\t3\tHut\t-0.00000\t-0.00000\t123\t").row, 1);
  EXPECT_EQ(selected(), std::vector<int>{1});
}

TEST_F(MapBridgeTest, DeleteRemovesTheRowAsOneStep) {
  const std::vector<Poi> before = test::Pois(document);
  EXPECT_EQ(apply(u"<\t4\tInn\t4.60000\t52.10000\t\tDam 1").step, BridgeStep::Refresh);
  EXPECT_EQ(test::Names(document), (std::vector<std::u16string>{u"Inn", u"Hut"}));
  EXPECT_EQ(document.text(0, kLng), u"4.50000");
  EXPECT_TRUE(document.modified);
  table.undo();
  EXPECT_EQ(test::Pois(document), before);
}

TEST_F(MapBridgeTest, DeletingTheMyBasePointOnlyLetsGoOfIt) {
  document.basePointPinned = true;
  document.baseRow = 0;
  apply(u"<\t4\tInn\t4.50000\t52.10000\t\tDam 1");
  EXPECT_EQ(test::Names(document), (std::vector<std::u16string>{u"Hut", u"Inn"}));
  EXPECT_FALSE(document.basePointPinned);
  EXPECT_FALSE(document.modified);
}

TEST_F(MapBridgeTest, SelectAndEditPickTheMarkersRow) {
  document.rows[0].selected = true;
  BridgeResult result = apply(u"<\t3\tInn\t4.60000\t52.10000\t\tDam 1");
  EXPECT_EQ(result.step, BridgeStep::Refresh);
  EXPECT_EQ(selected(), std::vector<int>{2});
  result = apply(u"<\t5\tHut\t0.00000\t0.00000\t123\t\t3");
  EXPECT_EQ(result.step, BridgeStep::EditCell);
  EXPECT_EQ(result.row, 1);
  EXPECT_EQ(result.column, kTel);
  EXPECT_EQ(selected(), std::vector<int>{1});
  EXPECT_FALSE(table.canUndo());
}

TEST_F(MapBridgeTest, MessagesWithoutFieldsClearTheSelectionOrAskForAllMoves) {
  document.rows[0].selected = true;
  EXPECT_EQ(apply(u"<\t3").step, BridgeStep::Refresh);
  EXPECT_TRUE(selected().empty());
  document.rows[0].selected = true;
  EXPECT_EQ(apply(u"<\t2").step, BridgeStep::ApplyAllMoves);
}

// The page's update loop, started by the host, keeps the rows it updates selected.
TEST_F(MapBridgeTest, UpdatesTheHostStartedKeepTheSelection) {
  document.rows[1].selected = true;
  apply(u"<\t2\tInn\t4.50000\t52.10000\t\tDam 1\t4.7\t52.2\tDam 1", true);
  apply(u"<\t2\tInn\t4.60000\t52.10000\t\tDam 1\t4.8\t52.2\tDam 1", true);
  EXPECT_EQ(selected(), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(apply(u"<\t2\tGone\t4.60000\t52.10000\t\t\t1\t2\t", true).step, BridgeStep::Nothing);
  EXPECT_EQ(selected(), (std::vector<int>{0, 1, 2}));
}

TEST_F(MapBridgeTest, PutGoogleMapsCallsCarryTheTextsAsSafeStrings) {
  EXPECT_EQ(PutGoogleMapsCall(17 + 4), "PutGoogleMaps(21)");
  document.display.compass = true;
  SetCell(document, 1, kLng, u"W 1.25000");
  SetCell(document, 1, kMemo, u"</script>\"\\\n");
  EXPECT_EQ(PutGoogleMapsCall(0, MarkerTexts(document, 1)),
            "PutGoogleMaps(0, \"Hut\", \"-1.25000\", \"0.00000\", \"123\", \"\\x3C/script>\\\"\\\\\\n\")");
}

}  // namespace
}  // namespace qf
