#include "core/field_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace qf {
namespace {

std::u16string Name(std::u16string text) {
  NormaliseName(text);
  return text;
}

TEST(FieldRulesTest, CleanTextTrimsBlanksBeforeDroppingControls) {
  std::u16string text = u"\u3000 a\u200Eb\x01 c \u3000";
  EXPECT_EQ(CleanText(text), 4u);
  EXPECT_EQ(text, u"ab c");
  // The blank before the control character only becomes trailing afterwards, so it stays.
  text = u"ab \x01";
  CleanText(text);
  EXPECT_EQ(text, u"ab ");
}

TEST(FieldRulesTest, NameRule) {
  std::u16string blank = u" \u3000\t\x02 ";
  EXPECT_EQ(NormaliseName(blank), 0u);
  std::u16string empty;
  EXPECT_EQ(NormaliseName(empty), 0u);
  // A blank that only remains because the characters around it were dropped is still no name.
  std::u16string controls = u"\x11\r\x15";
  EXPECT_EQ(NormaliseName(controls), 0u);
  EXPECT_EQ(Name(u"a>b|c"), u"a b c");
  EXPECT_EQ(Name(u"x\u200Ey"), u"xy");
  EXPECT_EQ(Name(std::u16string(300, u'n')), std::u16string(255, u'n'));
  // Cut before cleaning: leading blanks still count towards the 255.
  EXPECT_EQ(Name(u"  " + std::u16string(260, u'n')), std::u16string(253, u'n'));
}

TEST(FieldRulesTest, NamesAndMemosAreCutAt255UnitsNeverInsideASurrogatePair) {
  const std::u16string pair = u"\U0001F600";
  const auto units = [](std::size_t count) { return std::u16string(count, u'n'); };
  const struct {
    std::u16string text;
    std::u16string kept;
  } cases[] = {
      {units(254), units(254)},
      {units(255), units(255)},
      {units(256), units(255)},
      {units(257), units(255)},
      {units(253) + pair, units(253) + pair},  // the pair ends at unit 255
      {units(254) + pair, units(254)},         // unit 255 is the pair's first half
  };
  const PoiDocument document;
  for (const auto& c : cases) {
    EXPECT_EQ(Name(c.text), c.kept) << c.text.size();
    EXPECT_EQ(MemoCellText(document, c.text), c.kept) << c.text.size();
  }
}

class FieldRulesDocumentTest : public ::testing::Test {
 protected:
  int row() {
    document.rows.clear();
    return AppendPoi(document, u"POI", false);
  }
  std::u16string telephone(std::u16string_view text) {
    const int r = row();
    SetTelephone(document, r, text);
    return std::u16string(document.text(r, kTel));
  }
  std::u16string coordinate(int column, std::u16string_view text, bool clear = false) {
    const int r = row();
    SetCell(document, r, column, u"old");
    SetCoordinateText(document, r, column, text, clear);
    return std::u16string(document.text(r, column));
  }
  PoiDocument document;
};

TEST_F(FieldRulesDocumentTest, CoordinateRule) {
  struct Case {
    int column;
    std::u16string_view input;
    std::u16string_view stored;
  } cases[] = {
      {kLng, u"4.89", u"4.89000"},
      {kLng, u"12.5abc", u"12.50000"},
      {kLng, u"0", u"0.00000"},
      {kLng, u"+0.0", u"0.00000"},
      {kLng, u"-0.000001", u"0.00000"},
      {kLng, u"-0.000004", u"0.00000"},
      {kLng, u"-0.00000", u"0.00000"},
      {kLat, u"-012.3456", u"-12.34560"},
      {kLng, u"180.000004", u"180.00000"},
      {kLng, u"180.000006", u"old"},
      {kLat, u"90.5", u"old"},
      {kLat, u"-90", u"-90.00000"},
      {kLng, u"abc", u"old"},
      {kLng, u"0x", u"old"},
      {kLng, u"", u"old"},
      {kLng, u"1e999", u"old"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(coordinate(c.column, c.input), c.stored) << std::string(c.input.begin(), c.input.end());
  }
  EXPECT_EQ(coordinate(kLng, u"abc", true), u"");
  EXPECT_EQ(coordinate(kLat, u"95", true), u"");
}

TEST_F(FieldRulesDocumentTest, CoordinateRuleFollowsDisplayOptions) {
  document.display.compass = true;
  EXPECT_EQ(coordinate(kLng, u"-121.5"), u"W 121.50000");
  EXPECT_EQ(coordinate(kLat, u"0"), u"N 0.00000");
  document.display.dms = true;
  EXPECT_EQ(coordinate(kLat, u"-12.5"), u"S 12\u00B0 30' 00.00\"");
}

TEST_F(FieldRulesDocumentTest, TelephoneRule) {
  EXPECT_EQ(telephone(u""), u"");
  EXPECT_EQ(telephone(u"(02) 2882-5252 # 7"), u"02 2882-5252 # 7");
  EXPECT_EQ(telephone(u"(02) 2882-5252 ext. 7"), u"02 2882-5252 ");
  EXPECT_EQ(telephone(u"  +31 20  555 *1"), u"+31 20 555 *1");
  EXPECT_EQ(telephone(u"12345678901234567890123"), u"123456789012345678");
  EXPECT_EQ(telephone(u"123 abc"), u"123 ");
}

TEST_F(FieldRulesDocumentTest, SpeedRuleInCameraDocuments) {
  document.kind = DocumentKind::SafetyCamera;
  struct Case {
    std::u16string_view input, stored;
  } cases[] = {{u"75", u"70"}, {u"0", u"0"},   {u"15", u"20"},  {u"5", u"20"}, {u"300", u"140"},
               {u"6o", u""},   {u"140", u"140"}, {u"99999999999999999999", u"140"}, {u" ", u""}};
  for (const auto& c : cases) EXPECT_EQ(telephone(c.input), c.stored);
}

TEST_F(FieldRulesDocumentTest, MemoRuleByDocumentKind) {
  int r = row();
  SetMemo(document, r, u"line\tone\r\ntwo ");
  EXPECT_EQ(document.text(r, kMemo), u"line one  two");
  SetMemo(document, r, std::u16string(300, u'm'));
  EXPECT_EQ(document.text(r, kMemo).size(), 255u);

  document.kind = DocumentKind::SafetyCamera;
  SetMemo(document, r, u"Traffic light");
  EXPECT_EQ(document.text(r, kMemo), u"Traffic light");
  SetMemo(document, r, u"traffic light");
  EXPECT_EQ(document.text(r, kMemo), u"");

  document.kind = DocumentKind::Phonebook;
  SetMemo(document, r, u" Cell ");
  EXPECT_EQ(document.text(r, kMemo), u"Cell");
  SetMemo(document, r, u"Mobile");
  EXPECT_EQ(document.text(r, kMemo), u"");
}

TEST_F(FieldRulesDocumentTest, AppendPoiSelectsAndFocusesOnlyTheNewestRow) {
  const int first = AppendPoi(document, u"A", true);
  const int second = AppendPoi(document, u"B", true);
  EXPECT_TRUE(document.rows[first].selected);
  EXPECT_FALSE(document.rows[first].focused);
  EXPECT_TRUE(document.rows[second].selected && document.rows[second].focused);
  EXPECT_NE(document.rows[first].id(), document.rows[second].id());
  EXPECT_FALSE(document.rows[AppendPoi(document, u"C", false)].selected);
}

TEST_F(FieldRulesDocumentTest, FindRowByNameIsExactAndSkipsARow) {
  AppendPoi(document, u"Cafe", false);
  AppendPoi(document, u"cafe", false);
  AppendPoi(document, u"Cafe", false);
  EXPECT_EQ(FindRowByName(document, u"cafe", -1), 1);
  EXPECT_EQ(FindRowByName(document, u"Cafe", 0), 2);
  EXPECT_EQ(FindRowByName(document, u"CAFE", -1), -1);
}

}  // namespace
}  // namespace qf
