#include "editing/cell_editing.h"

#include <gtest/gtest.h>

#include <string>

#include "core/field_rules.h"
#include "editing/poi_table.h"

namespace qf {
namespace {

PoiDocument Document(DocumentKind kind, std::initializer_list<std::u16string_view> names) {
  PoiDocument document;
  document.kind = kind;
  for (const std::u16string_view name : names) AppendPoi(document, name, false);
  return document;
}

TEST(CellEditingTest, TypingFilterPerColumn) {
  const struct {
    int column;
    char16_t character;
    bool control;
    bool passes;
  } cases[] = {
      {kName, u'>', false, false}, {kName, u'|', false, false}, {kName, u'a', false, true},
      {kLng, u'w', false, true},   {kLng, u'E', false, true},   {kLng, u'N', false, false},
      {kLat, u's', false, true},   {kLat, u'e', false, false},  {kLat, u'\u00B0', false, true},
      {kLat, u'\'', false, true},  {kLng, u'x', false, false},  {kLng, u'\x16', true, true},
      {kTel, u'#', false, true},   {kTel, u'/', false, false},  {kTel, u'\b', true, true},
      {kMemo, u'|', false, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PassesTypingFilter(c.column, c.character, c.control), c.passes)
        << c.column << " " << static_cast<int>(c.character);
  }
}

TEST(CellEditingTest, DefaultNamesFollowTheKindAndTheClock) {
  EXPECT_EQ(DefaultName(DocumentKind::Poi, {12, 9, 0, 5, 7}), u"New POI 12/9 AM 12:05:07");
  EXPECT_EQ(DefaultName(DocumentKind::Phonebook, {1, 31, 13, 45, 0}), u"New Entry 1/31 PM 1:45:00");
  EXPECT_EQ(DefaultName(DocumentKind::Poi, {6, 1, 12, 0, 59}), u"New POI 6/1 PM 12:00:59");
  EXPECT_EQ(DefaultName(DocumentKind::SafetyCamera, {6, 1, 12, 0, 59}), u"Safety Camera");
}

TEST(CellEditingTest, FixedListsOpenOnTheCellValueOrTheirDefault) {
  const FixedValues speeds = FixedValuesFor(DocumentKind::SafetyCamera, kTel);
  ASSERT_EQ(speeds.items.size(), 14u);
  EXPECT_EQ(speeds.items[InitialItem(speeds, u"")], u"60");
  EXPECT_EQ(speeds.items[InitialItem(speeds, u"110")], u"110");
  EXPECT_EQ(FixedValuesFor(DocumentKind::SafetyCamera, kMemo).items.size(), 12u);
  EXPECT_EQ(FixedValuesFor(DocumentKind::Phonebook, kMemo).items[0], u"Default");
  EXPECT_TRUE(FixedValuesFor(DocumentKind::Poi, kTel).items.empty());
  EXPECT_TRUE(FixedValuesFor(DocumentKind::Phonebook, kTel).items.empty());
  EXPECT_EQ(EditHint(kLat), u"Enters the latitude of the POI (Tab/Shift+Tab: Move to the next/previous column)");
}

TEST(CellEditingTest, CommitAcceptsRewritesOrRejects) {
  PoiDocument document = Document(DocumentKind::Poi, {u"Base", u"Cafe", u"Inn"});
  document.basePointPinned = true;
  const struct {
    int row;
    int column;
    std::u16string text;
    bool checkName;
    CommitCheck expected;
  } cases[] = {
      {1, kLng, u" 4.5 ", false, {0, false, u"4.50000"}},
      {1, kLng, u"181", false, {kBadLongitude, false, u""}},
      {1, kLat, u"91", false, {kBadLatitude, false, u""}},
      {1, kLat, u"", false, {0, false, u""}},
      {0, kLat, u"", false, {kEmptyBasePointCoordinate, false, u""}},
      {1, kName, u"  ", false, {kEmptyName, false, u""}},
      {1, kName, u"A > B", false, {kBadNameCharacter, false, u""}},
      {1, kName, u"Inn", true, {0, true, u"Inn"}},
      {1, kName, u"Inn", false, {0, false, u"Inn"}},
      {1, kName, u"Cafe", true, {0, false, u"Cafe"}},  // its own name is no duplicate
      {1, kTel, u"02 2882-5252 # 7", false, {0, false, u"02 2882-5252 # 7"}},
      {1, kTel, u"02/2882", false, {kBadTelephone, false, u""}},
      {1, kMemo, u"Anything | > goes", false, {0, false, u"Anything | > goes"}},
      // Longer than the edit box takes: cut as the box cuts.
      {1, kTel, u"1234567890123456789", false, {0, false, u"123456789012345678"}},
      {1, kMemo, std::u16string(256, u'm'), false, {0, false, std::u16string(255, u'm')}},
  };
  for (const auto& c : cases) {
    const CommitCheck check = CheckCommit(document, c.row, c.column, c.text, c.checkName);
    EXPECT_EQ(check.messageId, c.expected.messageId) << c.row << " " << c.column;
    EXPECT_EQ(check.askDuplicate, c.expected.askDuplicate) << c.row << " " << c.column;
    if (c.expected.messageId == 0) {
      EXPECT_EQ(check.value, c.expected.value) << c.row << " " << c.column;
    }
  }
}

TEST(CellEditingTest, CameraNamesAreFixedExceptOnTheBasePointRow) {
  PoiDocument document = Document(DocumentKind::SafetyCamera, {u"My Base Point", u"Safety Camera"});
  EXPECT_EQ(CheckCommit(document, 1, kName, u"Anything", false).value, u"Safety Camera");
  EXPECT_EQ(CheckCommit(document, 1, kTel, u"60", false).value, u"60");  // from the list, taken as it is
  document.basePointPinned = true;
  EXPECT_EQ(CheckCommit(document, 0, kName, u"Home", false).value, u"Home");
  EXPECT_EQ(CheckCommit(document, 0, kName, u"", false).messageId, kEmptyName);
}

TEST(CellEditingTest, TabWrapsOverTheEditableColumnsInDisplayOrder) {
  PoiDocument document = Document(DocumentKind::Poi, {u"A"});
  EXPECT_EQ(NextEditColumn(document, kName, true, false), kLat);
  EXPECT_EQ(NextEditColumn(document, kLat, true, false), kLng);
  EXPECT_EQ(NextEditColumn(document, kMemo, true, true), kName);
  EXPECT_EQ(NextEditColumn(document, kName, false, true), kMemo);
  document.richPoiFile = true;
  EXPECT_EQ(NextEditColumn(document, kTel, true, true), kName);
  document.richPoiFile = false;
  document.kind = DocumentKind::Phonebook;
  EXPECT_EQ(NextEditColumn(document, kName, true, true), kTel);
  EXPECT_EQ(NextEditColumn(document, kTel, false, true), kName);
}

TEST(CellCommitTest, NamingANewRowIsOneStepAndEditsAreRecorded) {
  PoiDocument document = Document(DocumentKind::Poi, {u"Inn"});
  PoiTable table(document);
  const int row = table.addRow();
  CommitCell(table, row, kName, u"Hut");
  CommitCell(table, row, kLng, u"4.50000");
  CommitCell(table, row, kLng, u"4.50000");  // unchanged: nothing recorded
  EXPECT_TRUE(document.modified);
  table.undo();
  EXPECT_EQ(document.text(1, kLng), u"");
  table.undo();
  EXPECT_EQ(document.rowCount(), 1);
  EXPECT_FALSE(table.canUndo());
}

}  // namespace
}  // namespace qf
