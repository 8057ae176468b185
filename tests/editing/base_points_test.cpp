#include "editing/base_points.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/distances.h"
#include "core/field_rules.h"
#include "core/unicode.h"
#include "support/test_support.h"

namespace qf {
namespace {

class BasePointsTest : public testing::Test {
 protected:
  void SetUp() override {
    document.display.showDistance = true;
    for (int i = 0; i < 6; ++i) {
      const int row = AppendPoi(document, u"Row " + Utf8ToUtf16(std::to_string(i)), false);
      SetCell(document, row, kLng, u"4.50000");
      SetCell(document, row, kLat, Utf8ToUtf16(std::to_string(50 + i)) + u".00000");
    }
    saved.entries = {u"Home>4.00000>52.00000>020 555>My home", u">1>2>>", u"Work>-1.50000>-2.25000>>",
                     u"Gym>5.00000>50.00000>>"};
  }

  std::vector<std::u16string> names() const { return test::Names(document); }

  PoiDocument document;
  PoiTable table{document};
  BasePointSettings saved;
};

TEST_F(BasePointsTest, SetInsertsOrReplacesTheMyBasePointRowAsOneStep) {
  BasePointList list(saved, document.display);
  ASSERT_EQ(list.entries().size(), 3u);  // the entry without a name is left out
  list.selectOnly(2);
  list.set(table, saved);
  EXPECT_EQ(document.text(0, kName), u"Gym");
  EXPECT_TRUE(document.basePointPinned);
  EXPECT_EQ(document.baseRow, 0);
  EXPECT_EQ(saved.insertIndex, 2);
  EXPECT_FALSE(document.modified);

  BasePointList again(saved, document.display);
  again.selectOnly(1);
  again.set(table, saved);
  EXPECT_EQ(document.rowCount(), 7);
  EXPECT_EQ(document.text(0, kName), u"Work");
  EXPECT_EQ(document.text(0, kLat), u"-2.25000");

  table.undo();
  EXPECT_EQ(document.text(0, kName), u"Gym");
  table.undo();
  EXPECT_EQ(document.rowCount(), 6);
  EXPECT_FALSE(document.basePointPinned);

  // Redone, the inserted row is the base again, not the row the base was before.
  table.redo();
  EXPECT_EQ(document.text(0, kName), u"Gym");
  EXPECT_TRUE(document.basePointPinned);
  EXPECT_EQ(document.baseRow, 0);
  EXPECT_EQ(document.rows[0].distanceKey, kBaseRowKey);
}

TEST_F(BasePointsTest, SettingTheEntryTheMyBasePointRowHoldsIsNoStep) {
  BasePointList list(saved, document.display);
  list.selectOnly(2);
  list.set(table, saved);
  list.set(table, saved);
  table.undo();
  EXPECT_EQ(document.rowCount(), 6);
  EXPECT_FALSE(table.canUndo());
}

TEST_F(BasePointsTest, SetBasePointTakesTheMyBasePointRowAwayInTheSameStep) {
  BasePointList list(saved, document.display);
  list.set(table, saved);  // entry 0 is selected at start
  ASSERT_EQ(document.text(0, kName), u"Home");
  table.clearSelection();
  document.rows[5].selected = true;
  SetBaseToSelection(table);
  EXPECT_EQ(document.text(0, kName), u"Row 0");
  EXPECT_EQ(document.baseRow, 4);
  EXPECT_EQ(document.text(4, kName), u"Row 4");
  table.undo();
  EXPECT_EQ(document.text(0, kName), u"Home");
  EXPECT_EQ(document.baseRow, 0);
  EXPECT_TRUE(document.basePointPinned);
}

TEST_F(BasePointsTest, ListEditsAreKeptOnlyByOkOrSet) {
  BasePointList list(saved, document.display);
  document.rows[3].selected = true;
  document.rows[0].selected = true;
  SetCell(document, 0, kName, u"Work");
  list.add(table);
  ASSERT_EQ(list.entries().size(), 4u);
  EXPECT_EQ(list.entries()[1][kLat], u"50.00000");  // "Work" overwritten by row 0
  EXPECT_EQ(list.entries()[3][kName], u"Row 3");
  list.selectOnly(0);
  list.remove();
  const BasePointSettings before = saved;
  // Cancel: nothing is written.
  EXPECT_EQ(saved, before);
  list.ok(saved);
  ASSERT_EQ(saved.entries.size(), 3u);
  EXPECT_EQ(saved.entries[0], u"Work>4.50000>50.00000>>");
}

TEST_F(BasePointsTest, AutomaticInsertionTakesTheLastEntryUpToInsertList) {
  AppSettings settings;
  settings.set(Switch::AutoBasePoint, true);
  settings.basePoints = saved;
  settings.basePoints.insertIndex = 9;
  InsertMyBasePoint(table, settings);
  EXPECT_EQ(document.text(0, kName), u"Gym");
  EXPECT_EQ(settings.basePoints.insertIndex, 3);
  EXPECT_TRUE(document.basePointPinned);
  EXPECT_EQ(document.baseRow, 0);
  EXPECT_FALSE(table.canUndo());
}

TEST_F(BasePointsTest, AutomaticInsertionNeedsTheDistanceColumn) {
  AppSettings settings;
  settings.set(Switch::AutoBasePoint, true);
  settings.basePoints = saved;
  document.display.showDistance = false;
  InsertMyBasePoint(table, settings);
  EXPECT_EQ(document.rowCount(), 6);
  EXPECT_FALSE(document.basePointPinned);
}

TEST_F(BasePointsTest, ExportAllAppendsEveryEntryOnce) {
  BasePointList list(saved, document.display);
  list.exportAll(table);
  EXPECT_EQ(document.rowCount(), 9);
  EXPECT_EQ(document.text(8, kName), u"Gym");
  EXPECT_FALSE(list.canExportAll());
  EXPECT_TRUE(document.modified);
  table.undo();
  EXPECT_EQ(document.rowCount(), 6);
}

}  // namespace
}  // namespace qf
