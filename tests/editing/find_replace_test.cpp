#include "editing/find_replace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/distances.h"
#include "core/field_rules.h"

namespace qf {
namespace {

class FindReplaceTest : public testing::Test {
 protected:
  void add(std::u16string_view name, std::u16string_view memo = {}) {
    const int row = AppendPoi(document, name, false);
    SetCell(document, row, kMemo, memo);
  }

  std::vector<int> selectedRows() const {
    std::vector<int> rows;
    for (int row = 0; row < document.rowCount(); ++row) {
      if (document.rows[static_cast<std::size_t>(row)].selected) rows.push_back(row);
    }
    return rows;
  }

  PoiDocument document;
  PoiTable table{document};
  FindState find;
};

TEST_F(FindReplaceTest, FindSelectsTheFirstOrEveryMatch) {
  for (const auto name : {u"Cafe", u"Inn", u"cafe bar", u"Station"}) add(name);
  add(u"Hut", u"near the CAFE");
  find.findText = u"cafe";
  EXPECT_EQ(Find(table, find), 0);
  EXPECT_EQ(selectedRows(), std::vector<int>{0});
  find.selectAll = true;
  Find(table, find);
  EXPECT_EQ(selectedRows(), (std::vector<int>{0, 2, 4}));
  find.onlyName = true;
  Find(table, find);
  EXPECT_EQ(selectedRows(), (std::vector<int>{0, 2}));
  find.matchCase = true;
  Find(table, find);
  EXPECT_EQ(selectedRows(), std::vector<int>{2});
  find.findText = u"nowhere";
  EXPECT_EQ(Find(table, find), -1);
  EXPECT_TRUE(selectedRows().empty());
}

TEST_F(FindReplaceTest, FindNextWrapsRound) {
  for (const auto name : {u"Cafe 1", u"Inn", u"Cafe 2", u"Station"}) add(name);
  find.findText = u"cafe";
  document.rows[2].selected = true;
  EXPECT_EQ(FindNext(table, find), 0);
  EXPECT_EQ(FindNext(table, find), 2);
}

TEST_F(FindReplaceTest, ReplaceAllIsOneStepAndKeepsCellsThatWouldBreakTheirRules) {
  add(u"Old Mill", std::u16string(60, u'a') + std::u16string(140, u'x'));
  add(u"Old", u"a memo");
  add(u"New Inn");
  add(u"Old Inn");
  find.findText = u"old";
  find.replaceText = u"";
  EXPECT_TRUE(ReplaceAll(table, find, true));
  // "Old" would become an empty name, so it keeps its text.
  EXPECT_EQ(document.text(0, kName), u"Mill");
  EXPECT_EQ(document.text(1, kName), u"Old");
  EXPECT_EQ(document.text(3, kName), u"Inn");
  EXPECT_EQ(selectedRows(), (std::vector<int>{0, 3}));

  find.findText = u"a";
  find.replaceText = u"bb";
  ReplaceAll(table, find, true);
  EXPECT_EQ(document.text(0, kMemo), std::u16string(60, u'a') + std::u16string(140, u'x'));  // 260 would not fit
  EXPECT_EQ(document.text(1, kMemo), u"bb memo");

  table.undo();
  table.undo();
  EXPECT_EQ(document.text(0, kName), u"Old Mill");
  EXPECT_EQ(document.text(3, kName), u"Old Inn");
  EXPECT_FALSE(table.canUndo());
}

TEST_F(FindReplaceTest, ReplaceRefusesDuplicateNamesWhileCheckNameIsOn) {
  add(u"Inn");
  add(u"The Inn");
  find.findText = u"The ";
  find.replaceText = u"";
  EXPECT_FALSE(ReplaceAll(table, find, true));
  EXPECT_EQ(document.text(1, kName), u"The Inn");
  EXPECT_TRUE(ReplaceAll(table, find, false));
  EXPECT_EQ(document.text(1, kName), u"Inn");
}

TEST_F(FindReplaceTest, ReplaceNextReplacesTheSelectedMatchAndMovesOn) {
  for (const auto name : {u"Cafe 1", u"Inn", u"Cafe 2"}) add(name);
  find.findText = u"Cafe";
  find.replaceText = u"Bar";
  document.rows[1].selected = true;
  EXPECT_EQ(ReplaceNext(table, find, false), 2);  // the selection did not match: only found
  EXPECT_EQ(document.text(2, kName), u"Cafe 2");
  EXPECT_EQ(ReplaceNext(table, find, false), 0);
  EXPECT_EQ(document.text(2, kName), u"Bar 2");
  EXPECT_TRUE(document.modified);
}

TEST_F(FindReplaceTest, ReplaceNextUpdatesTheDistanceOfTheRowItChanged) {
  document.display.showDistance = true;
  document.display.adjacentDistance = false;
  for (const auto name : {u"Base", u"Inn 4", u"Inn 5", u"Hut"}) add(name);
  for (const int row : {0, 3}) SetCell(document, row, kLat, u"52.00000");
  SetCell(document, 0, kLng, u"3.00000");
  SetCell(document, 3, kLng, u"4.50000");
  SetBasePoint(document, 0);
  document.rows[1].selected = true;
  find.findText = u"4";
  find.replaceText = u"5";
  ReplaceNext(table, find, true);  // "Inn 5" is taken: the Lng of Hut is what changes
  ASSERT_EQ(document.text(3, kLng), u"5.50000");
  EXPECT_EQ(document.rows[3].distanceKey, DistanceBetween(document, 0, 3));
}

TEST_F(FindReplaceTest, ReplacedCoordinatesAreCheckedAndFormatted) {
  add(u"A");
  SetCell(document, 0, kLng, u"4.50000");
  SetCell(document, 0, kLat, u"52.10000");
  find.findText = u"4.5";
  find.replaceText = u"190.5";
  ReplaceAll(table, find, false);
  EXPECT_EQ(document.text(0, kLng), u"4.50000");  // out of range: unchanged
  find.findText = u"52.1";
  find.replaceText = u"-12.25";
  ReplaceAll(table, find, false);
  EXPECT_EQ(document.text(0, kLat), u"-12.25000");
}

}  // namespace
}  // namespace qf
