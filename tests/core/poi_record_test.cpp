#include "core/poi_record.h"

#include <gtest/gtest.h>

#include <string>

namespace qf {
namespace {

TEST(PoiRecordTest, TextsAreIndependentWhateverTheOrderOfWrites) {
  PoiRecord row(7);
  EXPECT_EQ(row.text(kMemo), u"");
  row.setText(kMemo, u"memo");
  row.setText(kName, u"Name");
  row.setText(kLat, u"52.37000");
  row.setText(kName, u"A much longer name than before");
  row.setText(kLat, u"");
  row.setText(kTel, u"123");
  EXPECT_EQ(row.text(kName), u"A much longer name than before");
  EXPECT_EQ(row.text(kLng), u"");
  EXPECT_EQ(row.text(kLat), u"");
  EXPECT_EQ(row.text(kTel), u"123");
  EXPECT_EQ(row.text(kMemo), u"memo");
  EXPECT_EQ(row.id(), 7u);
}

TEST(PoiRecordTest, CopiesOwnTheirTexts) {
  PoiRecord row(1);
  row.setText(kName, u"Original");
  row.selected = true;
  PoiRecord copy = row;
  copy.setText(kName, u"Changed");
  EXPECT_EQ(row.text(kName), u"Original");
  EXPECT_EQ(copy.text(kName), u"Changed");
  EXPECT_TRUE(copy.selected);
  EXPECT_EQ(copy.id(), 1u);
}

TEST(PoiRecordTest, ReservedRoomIsUsedWithoutLosingTexts) {
  PoiRecord row(1);
  row.reserve(40);
  row.setText(kName, u"Cafe");
  row.setText(kLng, u"4.89000");
  row.setText(kLat, u"52.37000");
  row.setText(kName, u"Cafe de Paris");
  EXPECT_EQ(row.text(kName), u"Cafe de Paris");
  EXPECT_EQ(row.text(kLng), u"4.89000");
  EXPECT_EQ(row.text(kLat), u"52.37000");
}

TEST(PoiRecordTest, StaysCompact) {
  // A million rows must fit comfortably in memory next to their texts.
  EXPECT_LE(sizeof(PoiRecord), 24u);
}

}  // namespace
}  // namespace qf
