#include "editing/poi_table.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/distances.h"
#include "core/field_rules.h"
#include "core/unicode.h"
#include "support/test_support.h"

namespace qf {
namespace {

std::u16string Name(int i) { return u"POI " + Utf8ToUtf16(std::to_string(i)); }

class PoiTableTest : public testing::Test {
 protected:
  void fill(int count) {
    for (int i = 0; i < count; ++i) {
      const int row = AppendPoi(document, Name(i), false);
      SetCoordinateText(document, row, kLng, Utf8ToUtf16(std::to_string(4 + i * 0.01)), false);
      SetCoordinateText(document, row, kLat, u"52", false);
    }
  }

  std::vector<std::u16string> names() const { return test::Names(document); }

  std::vector<int> selectedRows() const {
    std::vector<int> rows;
    for (int row = 0; row < document.rowCount(); ++row) {
      if (document.rows[static_cast<std::size_t>(row)].selected) rows.push_back(row);
    }
    return rows;
  }

  void edit(int row, int column, std::u16string_view text) {
    const PoiTable::Action action(table);
    table.setCell(row, column, text);
  }

  PoiDocument document;
  PoiTable table{document};
};

TEST_F(PoiTableTest, HistoryKeepsTheLast64ActionsAndANewActionDropsRedo) {
  fill(1);
  for (int i = 0; i < 65; ++i) edit(0, kMemo, Name(i));
  int undone = 0;
  while (table.canUndo()) {
    table.undo();
    ++undone;
  }
  EXPECT_EQ(undone, 64);
  EXPECT_EQ(document.text(0, kMemo), Name(0));  // the first action can no longer be undone

  table.redo();
  table.redo();
  table.undo();
  table.undo();
  EXPECT_TRUE(table.canRedo());
  edit(0, kTel, u"112");
  EXPECT_FALSE(table.canRedo());
}

TEST_F(PoiTableTest, AddedRowIsOneStepOnceNamedAndNothingWhenCancelled) {
  fill(2);
  const int cancelled = table.addRow();
  table.cancelNewRow(cancelled);
  EXPECT_EQ(document.rowCount(), 2);
  EXPECT_FALSE(table.canUndo());

  document.rows[1].selected = true;
  const int row = table.insertRowAtSelection();
  EXPECT_EQ(row, 1);
  table.commitNewRowName(row, u"Typed");
  EXPECT_EQ(names(), (std::vector<std::u16string>{Name(0), u"Typed", Name(1)}));
  table.undo();
  EXPECT_EQ(names(), (std::vector<std::u16string>{Name(0), Name(1)}));
  EXPECT_FALSE(table.canUndo());
  table.redo();
  EXPECT_EQ(names(), (std::vector<std::u16string>{Name(0), u"Typed", Name(1)}));
  EXPECT_EQ(selectedRows(), std::vector<int>{1});
}

TEST_F(PoiTableTest, InsertKeepsTheMyBasePointRowFirst) {
  fill(3);
  document.basePointPinned = true;
  document.rows[0].selected = true;
  EXPECT_EQ(table.insertRowAtSelection(), 1);
}

TEST_F(PoiTableTest, DeletedRowsComeBackAtTheirPlacesSelected) {
  fill(10);
  for (const int row : {1, 2, 5, 8, 9}) document.rows[static_cast<std::size_t>(row)].selected = true;
  const std::vector<std::u16string> before = names();
  table.deleteSelected();
  const std::vector<std::u16string> after = names();
  EXPECT_EQ(after, (std::vector<std::u16string>{Name(0), Name(3), Name(4), Name(6), Name(7)}));
  EXPECT_EQ(selectedRows(), std::vector<int>{1});
  EXPECT_TRUE(document.modified);

  table.undo();
  EXPECT_EQ(names(), before);
  EXPECT_EQ(selectedRows(), (std::vector<int>{1, 2, 5, 8, 9}));
  EXPECT_FALSE(document.modified);
  table.redo();
  EXPECT_EQ(names(), after);
}

TEST_F(PoiTableTest, LargeDeletionsReplayLikeOneByOne) {
  // Observers are told each leaving row while it still stands where they know it.
  struct Told : TableObserver {
    explicit Told(const PoiDocument& document) : document(document) {}
    void rowAboutToChange(int row) override { changing.emplace_back(document.text(row, kName)); }
    void rowAboutToBeRemoved(int row) override { removed.emplace_back(document.text(row, kName)); }
    const PoiDocument& document;
    std::vector<std::u16string> changing;
    std::vector<std::u16string> removed;
  } told(document);
  table.addObserver(&told);
  fill(2000);
  std::mt19937 random(7);
  std::vector<std::u16string> expected;
  std::vector<std::u16string> deleted;
  for (int row = 0; row < document.rowCount(); ++row) {
    const bool selected = random() % 3 == 0;
    document.rows[static_cast<std::size_t>(row)].selected = selected;
    (selected ? deleted : expected).push_back(Name(row));
  }
  const std::vector<std::u16string> before = names();
  table.deleteSelected();
  EXPECT_EQ(names(), expected);
  table.undo();
  EXPECT_EQ(names(), before);
  told.changing.clear();
  told.removed.clear();
  table.redo();
  EXPECT_EQ(names(), expected);
  EXPECT_EQ(told.changing, deleted);
  EXPECT_EQ(told.removed, deleted);
  table.removeObserver(&told);
}

TEST_F(PoiTableTest, UndoingAnEditOfTheBaseRowRestoresItsDistances) {
  document.display.showDistance = true;
  fill(3);
  SetBasePoint(document, 1);
  const std::int32_t distance = document.rows[0].distanceKey;
  edit(1, kLng, u"5.00000");
  EXPECT_NE(document.rows[0].distanceKey, distance);
  table.undo();
  EXPECT_EQ(document.text(1, kLng), u"4.01000");
  EXPECT_EQ(document.baseRow, 1);
  EXPECT_EQ(document.rows[0].distanceKey, distance);
  EXPECT_EQ(selectedRows(), std::vector<int>{1});
}

TEST_F(PoiTableTest, DeletingTheBaseRowAndUndoingBringsTheBaseBack) {
  document.display.showDistance = true;
  fill(4);
  SetBasePoint(document, 2);
  document.rows[1].selected = document.rows[2].selected = true;
  table.deleteSelected();
  EXPECT_EQ(document.baseRow, -1);
  table.undo();
  EXPECT_EQ(document.baseRow, 2);
  EXPECT_EQ(document.rows[2].distanceKey, kBaseRowKey);
}

TEST_F(PoiTableTest, DeletingOnlyTheMyBasePointRowLeavesTheDocumentUnmodified) {
  fill(3);
  document.basePointPinned = true;
  document.rows[0].selected = true;
  table.deleteSelected();
  EXPECT_FALSE(document.modified);
  EXPECT_FALSE(document.basePointPinned);
  EXPECT_EQ(document.rowCount(), 2);
}

using TableChange = std::function<void(PoiTable&)>;

TEST_F(PoiTableTest, ChangesMarkTheDocumentModifiedButThoseOfTheMyBasePointRow) {
  const std::array<std::u16string, 5> home{u"Home", u"5.00000", u"53.00000", u"", u"Mine"};
  const struct {
    const char* what;
    TableChange change;
    bool modified;
  } cases[] = {
      {"cell of row 0", [](PoiTable& t) { t.setCell(0, kMemo, u"Changed"); }, false},
      {"other base point", [&](PoiTable& t) { t.placeMyBasePoint(home, kMemo); }, false},
      {"My Base Point row removed", [](PoiTable& t) { t.removeMyBasePoint(); }, false},
      {"cell of row 1", [](PoiTable& t) { t.setCell(1, kMemo, u"Changed"); }, true},
      {"row inserted", [](PoiTable& t) { t.insertRow(1, u"New", false); }, true},
      {"row deleted", [](PoiTable& t) { t.deleteRow(2); }, true},
  };
  for (const auto& [what, change, modified] : cases) {
    SCOPED_TRACE(what);
    PoiDocument pinned;
    pinned.display.showDistance = true;
    PoiTable table(pinned);
    for (int i = 0; i < 3; ++i) AppendPoi(pinned, Name(i), false);
    pinned.basePointPinned = true;
    const PoiTable::Action action(table);
    change(table);
    EXPECT_EQ(pinned.modified, modified);
  }
}

// Whatever positions and rows an action changes, its end leaves the distances as they are computed afresh.
TEST(PoiTableActionTest, EndsWithTheDistancesComputedAfresh) {
  const struct {
    const char* what;
    TableChange change;
  } cases[] = {
      {"one row", [](PoiTable& t) { t.setCell(2, kLng, u"5.00000"); }},
      {"the base row", [](PoiTable& t) { t.setCell(1, kLat, u"53.00000"); }},
      {"several rows",
       [](PoiTable& t) {
         t.setCell(0, kLng, u"6.00000");
         t.setCell(3, kLat, u"");
       }},
      {"a row inserted",
       [](PoiTable& t) {
         const int row = t.insertRow(0, u"New", false);
         t.setCell(row, kLng, u"4.50000");
         t.setCell(row, kLat, u"51.00000");
       }},
      {"the base row deleted", [](PoiTable& t) { t.deleteRow(1); }},
  };
  const auto distances = [](const PoiDocument& document) {
    std::vector<std::pair<std::int32_t, std::u16string>> shown;
    for (int row = 0; row < document.rowCount(); ++row) {
      shown.emplace_back(document.rows[static_cast<std::size_t>(row)].distanceKey, document.text(row, kDistance));
    }
    return shown;
  };
  for (const bool adjacent : {false, true}) {
    for (const auto& [what, change] : cases) {
      SCOPED_TRACE(std::string(what) + (adjacent ? ", adjacent" : ""));
      PoiDocument document;
      document.display.showDistance = true;
      document.display.adjacentDistance = adjacent;
      for (int i = 0; i < 5; ++i) {
        const int row = AppendPoi(document, Name(i), false);
        SetCoordinateText(document, row, kLng, u"4." + Utf8ToUtf16(std::to_string(10 + i)), false);
        SetCoordinateText(document, row, kLat, u"52." + Utf8ToUtf16(std::to_string(10 + 3 * i)), false);
      }
      SetBasePoint(document, 1);
      PoiTable table(document);
      {
        const PoiTable::Action action(table);
        change(table);
      }
      const auto kept = distances(document);
      SetBasePoint(document, -1);
      EXPECT_EQ(kept, distances(document));
    }
  }
}

TEST_F(PoiTableTest, SelectAllAndToggleSelection) {
  fill(3);
  document.rows[1].focused = true;
  table.toggleSelection();
  EXPECT_EQ(selectedRows(), (std::vector<int>{0, 1, 2}));
  EXPECT_FALSE(document.rows[1].focused);
  document.rows[0].selected = false;
  table.toggleSelection();
  EXPECT_EQ(selectedRows(), std::vector<int>{0});
  table.selectAll();
  EXPECT_EQ(selectedRows(), (std::vector<int>{0, 1, 2}));
}

TEST_F(PoiTableTest, SortsNaturallyAndUndoRestoresTheOrder) {
  for (const std::u16string_view name : {u"POI 10", u"poi 2", u"POI 2", u"Äpfel", u"apple", u"POI 1"}) {
    AppendPoi(document, name, false);
  }
  const std::vector<std::u16string> before = names();
  table.sort(kName, true);
  EXPECT_EQ(names(), (std::vector<std::u16string>{u"Äpfel", u"apple", u"POI 1", u"poi 2", u"POI 2", u"POI 10"}));
  EXPECT_TRUE(table.state.sortArrowShown);
  table.sort(kName, false);
  EXPECT_EQ(names(), (std::vector<std::u16string>{u"POI 10", u"POI 2", u"poi 2", u"POI 1", u"apple", u"Äpfel"}));
  table.undo();
  EXPECT_FALSE(table.state.sortArrowShown);
  EXPECT_FALSE(table.state.sortAscending);  // the direction of the sort that was undone
  table.undo();
  EXPECT_EQ(names(), before);
  table.redo();
  EXPECT_EQ(names()[0], u"Äpfel");
  EXPECT_TRUE(table.state.sortArrowShown);
}

TEST_F(PoiTableTest, CoordinateSortPutsEmptyCellsFirstAndKeepsTheMyBasePointRow) {
  fill(4);
  document.rows[2].setText(kLng, u"");
  document.rows[3].setText(kLng, u"-1.00000");
  document.basePointPinned = true;
  table.sort(kLng, true);
  EXPECT_EQ(names(), (std::vector<std::u16string>{Name(0), Name(2), Name(3), Name(1)}));
  table.sort(kLng, false);
  EXPECT_EQ(names(), (std::vector<std::u16string>{Name(0), Name(1), Name(3), Name(2)}));
}

TEST_F(PoiTableTest, MovedRowsGoBackOnUndoAndTheBaseRowFollows) {
  document.display.showDistance = true;
  fill(4);
  SetBasePoint(document, 2);
  document.rows[2].selected = true;
  table.moveSelected(true);
  EXPECT_EQ(names(), (std::vector<std::u16string>{Name(0), Name(2), Name(1), Name(3)}));
  EXPECT_EQ(document.baseRow, 1);
  EXPECT_EQ(selectedRows(), std::vector<int>{1});
  table.moveSelected(true);
  EXPECT_EQ(names()[0], Name(2));
  table.undo();
  table.undo();
  EXPECT_EQ(names(), (std::vector<std::u16string>{Name(0), Name(1), Name(2), Name(3)}));
  EXPECT_EQ(document.baseRow, 2);
  table.redo();
  EXPECT_EQ(names(), (std::vector<std::u16string>{Name(0), Name(2), Name(1), Name(3)}));
}

TEST_F(PoiTableTest, RedoneSortsAndMovesMarkTheDocumentModified) {
  const struct {
    const char* command;
    void (*make)(PoiTable&);
  } cases[] = {
      {"sort", [](PoiTable& t) { t.sort(kName, false); }},
      {"move", [](PoiTable& t) { t.moveSelected(false); }},
  };
  fill(3);
  for (const auto& c : cases) {
    document.modified = false;
    table.clearSelection();
    document.rows[0].selected = true;
    c.make(table);
    table.undo();
    EXPECT_FALSE(document.modified) << c.command;
    table.redo();
    EXPECT_TRUE(document.modified) << c.command;
  }
}

TEST_F(PoiTableTest, DropEffectsFollowTheBlockRules) {
  fill(8);
  for (const int row : {3, 4, 5}) document.rows[static_cast<std::size_t>(row)].selected = true;
  EXPECT_EQ(table.dropEffect(4, false), PoiTable::DropEffect::None);
  EXPECT_EQ(table.dropEffect(6, false), PoiTable::DropEffect::None);
  EXPECT_EQ(table.dropEffect(7, false), PoiTable::DropEffect::Move);
  EXPECT_EQ(table.dropEffect(4, true), PoiTable::DropEffect::Copy);
  document.basePointPinned = true;
  EXPECT_EQ(table.dropRowFor(0), 1);
  document.rows[0].selected = true;
  EXPECT_EQ(table.dropEffect(7, true), PoiTable::DropEffect::None);
}

TEST_F(PoiTableTest, DroppedRowsMoveAsOneStepWithTheBase) {
  document.display.showDistance = true;
  fill(6);
  SetBasePoint(document, 4);
  document.rows[1].selected = document.rows[4].selected = true;
  table.dropRows(3, false);
  EXPECT_EQ(names(), (std::vector<std::u16string>{Name(0), Name(2), Name(1), Name(4), Name(3), Name(5)}));
  EXPECT_EQ(document.baseRow, 3);
  EXPECT_EQ(selectedRows(), (std::vector<int>{2, 3}));
  table.undo();
  EXPECT_EQ(names(), (std::vector<std::u16string>{Name(0), Name(1), Name(2), Name(3), Name(4), Name(5)}));
  EXPECT_EQ(document.baseRow, 4);
  EXPECT_FALSE(table.canUndo());
}

TEST_F(PoiTableTest, ABaseRowDroppedAtItsOwnIndexIsTheBaseOnRedo) {
  document.display.showDistance = true;
  fill(4);
  SetBasePoint(document, 3);
  document.rows[0].selected = document.rows[3].selected = true;
  table.dropRows(3, false);
  ASSERT_EQ(names(), (std::vector<std::u16string>{Name(1), Name(2), Name(0), Name(3)}));
  ASSERT_EQ(document.baseRow, 3);
  table.undo();
  table.redo();
  EXPECT_EQ(names(), (std::vector<std::u16string>{Name(1), Name(2), Name(0), Name(3)}));
  EXPECT_EQ(document.baseRow, 3);
}

TEST_F(PoiTableTest, CtrlDroppedRowsAreCopiesAndOnlyTheyStaySelected) {
  fill(3);
  document.rows[0].selected = true;
  table.dropRows(3, true);
  EXPECT_EQ(names(), (std::vector<std::u16string>{Name(0), Name(1), Name(2), Name(0)}));
  EXPECT_EQ(selectedRows(), std::vector<int>{3});
  EXPECT_EQ(document.text(3, kLng), document.text(0, kLng));
}

TEST_F(PoiTableTest, HidingTheDistanceColumnTakesTheMyBasePointRowAlongAndUndoBringsBoth) {
  document.display.showDistance = true;
  fill(4);
  document.basePointPinned = true;
  SetBasePoint(document, 0);
  table.toggleDistanceColumn();
  EXPECT_FALSE(document.display.showDistance);
  EXPECT_EQ(document.baseRow, -1);
  EXPECT_EQ(document.rowCount(), 3);
  EXPECT_FALSE(document.basePointPinned);
  table.undo();
  EXPECT_TRUE(document.display.showDistance);
  EXPECT_EQ(document.rowCount(), 4);
  EXPECT_TRUE(document.basePointPinned);
  EXPECT_EQ(document.baseRow, 0);
  EXPECT_EQ(document.rows[0].distanceKey, kBaseRowKey);
  table.redo();
  EXPECT_FALSE(document.display.showDistance);
  EXPECT_EQ(document.rowCount(), 3);

  table.toggleDistanceColumn();  // showing makes row 0 the base
  EXPECT_TRUE(document.display.showDistance);
  EXPECT_EQ(document.baseRow, 0);
  table.undo();
  EXPECT_FALSE(document.display.showDistance);
  EXPECT_EQ(document.baseRow, -1);
}

TEST_F(PoiTableTest, HeaderClicksReverseTheSortedColumnAndKeepTheDirectionForAnother) {
  fill(3);
  EXPECT_FALSE(table.headerClick(kDistance));  // no base row
  table.state.currentColumn = kName;           // as after editing a name: still the first sort
  EXPECT_TRUE(table.headerClick(kName));
  EXPECT_TRUE(table.state.sortAscending);
  EXPECT_TRUE(table.headerClick(kName));
  EXPECT_FALSE(table.state.sortAscending);
  EXPECT_EQ(names(), (std::vector<std::u16string>{Name(2), Name(1), Name(0)}));
  EXPECT_TRUE(table.headerClick(kLng));
  EXPECT_FALSE(table.state.sortAscending);
  EXPECT_EQ(table.state.currentColumn, kLng);
  table.undo();
  table.undo();
  table.undo();
  EXPECT_EQ(names(), (std::vector<std::u16string>{Name(0), Name(1), Name(2)}));
  table.state.currentColumn = kTel;  // a right click on Tel does not make Tel the sorted column
  EXPECT_TRUE(table.headerClick(kName));
  EXPECT_TRUE(table.state.sortAscending);
  table.undo();
  document.basePointPinned = true;
  document.rows.pop_back();
  EXPECT_FALSE(table.headerClick(kName));  // one row besides the My Base Point row
}

}  // namespace
}  // namespace qf
