#include "editing/clipboard_edits.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/distances.h"
#include "core/field_rules.h"
#include "support/test_support.h"

namespace qf {
namespace {

class ClipboardEditsTest : public testing::Test {
 protected:
  void add(std::u16string_view name) {
    const int row = AppendPoi(document, name, false);
    SetCell(document, row, kLng, u"4.50000");
    SetCell(document, row, kLat, u"52.10000");
  }

  std::vector<std::u16string> names() const { return test::Names(document); }

  PoiDocument document;
  PoiTable table{document};
  test::ScriptedUserPort port;
};

TEST_F(ClipboardEditsTest, CopiedRowsPasteBackAfterTheMyBasePointRowAsOneStep) {
  for (const auto name : {u"Base", u"Inn", u"Hut"}) add(name);
  document.display.dms = true;
  SetCoordinateText(document, 1, kLng, u"4.5", true);
  document.rows[1].selected = document.rows[2].selected = true;
  const std::vector<std::uint8_t> block = EncodeRowBlock(SelectedExchangeRows(document));
  const ExchangeRows rows = DecodeRowBlock(block);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].texts[kLng], u"4.50000");  // signed decimal whatever the display

  table.clearSelection();
  document.basePointPinned = true;
  document.rows[0].selected = true;
  EXPECT_EQ(PasteRows(table, rows, false, port), 0);
  EXPECT_EQ(names(), (std::vector<std::u16string>{u"Base", u"Inn", u"Hut", u"Inn", u"Hut"}));
  EXPECT_EQ(document.text(1, kLng), document.text(3, kLng));
  EXPECT_TRUE(document.rows[1].selected && document.rows[2].selected && !document.rows[3].selected);
  EXPECT_TRUE(document.modified);
  table.undo();
  EXPECT_EQ(names(), (std::vector<std::u16string>{u"Base", u"Inn", u"Hut"}));
}

TEST_F(ClipboardEditsTest, DuplicatesAreAskedAboutOnceWithEliminateAll) {
  for (const auto name : {u"Inn", u"Hut"}) add(name);
  ExchangeRows rows(3);
  rows[0].texts = {u"Inn", u"1", u"2", u"", u""};
  rows[1].texts = {u"New", u"1", u"200", u"", u""};  // an invalid latitude leaves the cell empty
  rows[2].texts = {u"Hut", u"1", u"2", u"", u""};
  port.duplicateAnswers = {DuplicateAnswer::EliminateAll};
  EXPECT_EQ(PasteRows(table, rows, true, port), 2);
  EXPECT_EQ(port.askedNames.size(), 1u);
  EXPECT_EQ(names(), (std::vector<std::u16string>{u"Inn", u"Hut", u"New"}));
  EXPECT_EQ(document.text(2, kLat), u"");
}

TEST_F(ClipboardEditsTest, PastedCoordinatesGoToEverySelectedRow) {
  for (const auto name : {u"Inn", u"Hut", u"Bar"}) add(name);
  document.rows[0].selected = document.rows[2].selected = true;
  PasteCoordinates(table, ParsePastedCoordinates(u"25.033 N, 121.565 E", true));
  EXPECT_EQ(document.text(0, kLat), u"25.03300");
  EXPECT_EQ(document.text(2, kLng), u"121.56500");
  EXPECT_EQ(document.text(1, kLng), u"4.50000");
  PasteCoordinates(table, ParsePastedCoordinates(u"12.5", true));
  EXPECT_EQ(document.text(0, kLng), u"");
  EXPECT_EQ(document.text(0, kLat), u"");
  table.undo();
  EXPECT_EQ(document.text(0, kLat), u"25.03300");
}

TEST_F(ClipboardEditsTest, PastingTheCoordinatesTheRowsHaveChangesNothing) {
  for (const auto name : {u"Inn", u"Hut"}) add(name);
  document.rows[0].selected = document.rows[1].selected = true;
  PasteCoordinates(table, ParsePastedCoordinates(u"52.1, 4.5", false));
  EXPECT_FALSE(document.modified);
  EXPECT_FALSE(table.canUndo());
}

TEST_F(ClipboardEditsTest, PastingNoPositionLeavesTheMyBasePointRowTheBase) {
  for (const auto name : {u"Base", u"Inn"}) add(name);
  document.display.showDistance = true;
  document.basePointPinned = true;
  SetBasePoint(document, 0);
  table.selectAll();
  PasteCoordinates(table, ParsePastedCoordinates(u"12.5", true));
  EXPECT_EQ(document.text(0, kLng), u"4.50000");
  EXPECT_EQ(document.text(1, kLng), u"");
  EXPECT_EQ(document.baseRow, 0);
  // Hidden with the Distance column and brought back, it is still the My Base Point row.
  table.toggleDistanceColumn();
  table.undo();
  EXPECT_TRUE(document.basePointPinned);
}

TEST_F(ClipboardEditsTest, DroppedRowsGoInBeforeTheDropRow) {
  for (const auto name : {u"Inn", u"Hut"}) add(name);
  ExchangeRows rows(1);
  rows[0].texts = {u"Sent", u"1", u"2", u"112", u"Memo"};
  InsertRowsAt(table, rows, 1, false, port);
  EXPECT_EQ(names(), (std::vector<std::u16string>{u"Inn", u"Sent", u"Hut"}));
  EXPECT_EQ(document.text(1, kMemo), u"Memo");
  InsertRowsAt(table, rows, -1, false, port);  // a drop above the rows lands at the top
  EXPECT_EQ(document.text(0, kName), u"Sent");
}

TEST_F(ClipboardEditsTest, RowsDroppedAboveTheMyBasePointRowGoInAfterIt) {
  for (const auto name : {u"Base", u"Inn"}) add(name);
  document.basePointPinned = true;
  ExchangeRows rows(1);
  rows[0].texts = {u"Sent", u"1", u"2", u"", u""};
  for (const int at : {-1, 0}) {
    InsertRowsAt(table, rows, at, false, port);
    EXPECT_EQ(names(), (std::vector<std::u16string>{u"Base", u"Sent", u"Inn"})) << at;
    table.undo();
    EXPECT_EQ(names(), (std::vector<std::u16string>{u"Base", u"Inn"})) << at;
    EXPECT_TRUE(document.basePointPinned) << at;
  }
}

}  // namespace
}  // namespace qf
