// Random sequences of editing actions, undone and redone: the table must come back exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <vector>

#include "core/distances.h"
#include "core/field_rules.h"
#include "core/unicode.h"
#include "editing/base_points.h"
#include "editing/cell_editing.h"
#include "editing/clipboard_edits.h"
#include "editing/column_edits.h"
#include "editing/find_replace.h"
#include "editing/poi_table.h"
#include "support/test_support.h"

namespace qf {
namespace {

struct Snapshot {
  std::vector<std::array<std::u16string, 5>> rows;
  int baseRow;
  bool modified;
  bool basePointPinned;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const PoiDocument& document) {
  Snapshot snapshot{{}, document.baseRow, document.modified, document.basePointPinned};
  for (int row = 0; row < document.rowCount(); ++row) {
    std::array<std::u16string, 5> texts;
    for (int column = kName; column <= kMemo; ++column) texts[column] = document.text(row, column);
    snapshot.rows.push_back(std::move(texts));
  }
  return snapshot;
}

class RandomEditor {
 public:
  RandomEditor(PoiTable& table, std::uint32_t seed) : table_(table), document_(table.document()), random_(seed) {}

  // One user action; false when it could not be made (nothing to act on).
  bool act() {
    selectRandomRows();
    switch (pick(12)) {
      case 0:
        return edit();
      case 1: {
        const int row = pick(2) == 0 ? table_.addRow() : table_.insertRowAtSelection();
        CommitCell(table_, row, kName, name());
        return true;
      }
      case 2:
        if (!anySelected()) return false;
        table_.deleteSelected();
        return true;
      case 3:
        return move();
      case 4:
        table_.sort(pick(6), pick(2) == 0);
        return true;
      case 5:
        return paste();
      case 6:
        return drag();
      case 7:
        return ReplaceAll(table_, FindState{false, false, true, u"a", u"ab"}, pick(2) == 0);
      case 8:
        Combine(table_, {CombinePart::Serial, CombinePart::Name, u"01"});
        return true;
      case 9:
        Clear(table_, {.trailingSerial = true, .tel = pick(2) == 0});
        return true;
      case 10:
        if (!anySelected()) return false;
        SetBaseToSelection(table_);
        return true;
      default:
        MessCoordinates(table_, random_());
        return true;
    }
  }

 private:
  int pick(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }
  bool anySelected() const { return std::ranges::any_of(document_.rows, &PoiRecord::selected); }

  std::u16string name() { return u"POI " + Utf8ToUtf16(std::to_string(pick(50))) + (pick(3) == 0 ? u" a" : u""); }

  void selectRandomRows() {
    table_.clearSelection();
    const int rows = document_.rowCount();
    if (rows == 0) return;
    const int count = pick(4);
    for (int i = 0; i < count; ++i) document_.rows[static_cast<std::size_t>(pick(rows))].selected = true;
  }

  bool edit() {
    if (document_.rows.empty()) return false;
    const int row = pick(document_.rowCount());
    const int column = pick(5);
    const std::u16string texts[] = {name(), u"4." + Utf8ToUtf16(std::to_string(pick(99))), u"-12.5", u"020 555",
                                    u"memo " + Utf8ToUtf16(std::to_string(pick(9)))};
    const CommitCheck check = CheckCommit(document_, row, column, texts[column], false);
    if (check.messageId != 0) return false;
    CommitCell(table_, row, column, check.value);
    return true;
  }

  bool move() {
    const bool up = pick(2) == 0;
    const std::vector<std::array<std::u16string, 5>> before = Take(document_).rows;
    table_.moveSelected(up);
    return Take(document_).rows != before;
  }

  bool paste() {
    ExchangeRows rows(static_cast<std::size_t>(1 + pick(3)));
    for (ExchangeRow& row : rows) row.texts = {name(), u"5.5", u"50", u"112", u"pasted"};
    PasteRows(table_, rows, pick(2) == 0, port_);
    return true;
  }

  bool drag() {
    const int dropRow = table_.dropRowFor(pick(document_.rowCount() + 1));
    const bool copy = pick(2) == 0;
    if (table_.dropEffect(dropRow, copy) == PoiTable::DropEffect::None) return false;
    table_.dropRows(dropRow, copy);
    return true;
  }

  PoiTable& table_;
  PoiDocument& document_;
  std::mt19937 random_;
  test::ScriptedUserPort port_;
};

TEST(UndoPropertyTest, UndoingEverythingRestoresTheStartAndRedoingRestoresTheEnd) {
  for (std::uint32_t seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE(seed);
    PoiDocument document;
    document.display.showDistance = true;
    document.display.adjacentDistance = seed % 2 == 0;
    for (int i = 0; i < 12; ++i) {
      const int row = AppendPoi(document, u"Start " + Utf8ToUtf16(std::to_string(i)) + u" a", false);
      SetCell(document, row, kLng, u"4." + Utf8ToUtf16(std::to_string(10 + i)) + u"000");
      SetCell(document, row, kLat, u"52.00000");
    }
    SetBasePoint(document, static_cast<int>(seed % 12));
    PoiTable table(document);
    const Snapshot start = Take(document);
    RandomEditor editor(table, seed);
    int actions = 0;
    for (int attempt = 0; attempt < 200 && actions < 64; ++attempt) actions += editor.act() ? 1 : 0;
    const Snapshot end = Take(document);
    while (table.canUndo()) table.undo();
    ASSERT_EQ(Take(document), start);
    while (table.canRedo()) table.redo();
    ASSERT_EQ(Take(document), end);
  }
}

}  // namespace
}  // namespace qf
