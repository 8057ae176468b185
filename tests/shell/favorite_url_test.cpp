#include "shell/favorite_url.h"

#include <gtest/gtest.h>

#include "core/field_rules.h"

namespace qf {
namespace {

PoiDocument OneRow(std::u16string_view name, std::u16string_view lng, std::u16string_view lat, DisplayOptions display = {}) {
  PoiDocument document;
  document.display = display;
  const int row = AppendPoi(document, name, false);
  SetCoordinateText(document, row, kLng, lng, false);
  SetCoordinateText(document, row, kLat, lat, false);
  return document;
}

TEST(FavoriteUrlTest, FishAndChips) {
  // Each of the five blanks becomes %20: three after Fish, where the ampersand stood between two.
  EXPECT_EQ(AddFavoriteUrl(OneRow(u"Fish & Chips 100%", u"4.89512", u"52.37305"), 0),
            "tomtomhome:geo:lat=52.37305&long=4.89512&name=Fish%20%20%20Chips%20100%20");
}

TEST(FavoriteUrlTest, CoordinatesAreSignedDecimalsWhateverTheDisplay) {
  const DisplayOptions dms{.dms = true, .compass = true};
  const PoiDocument cape = OneRow(u"Cape", u"18.47403", u"-33.92533", dms);
  ASSERT_NE(cape.text(0, kLat).find(u'S'), std::u16string_view::npos);  // shown in degrees and with a direction
  EXPECT_EQ(AddFavoriteUrl(cape, 0),
            "tomtomhome:geo:lat=-33.92533&long=18.47403&name=Cape");
  EXPECT_EQ(AddFavoriteUrl(OneRow(u"Nowhere", u"", u""), 0), "tomtomhome:geo:lat=&long=&name=Nowhere");
}

TEST(FavoriteUrlTest, NamesAreUtf8WithBlanksAndBytesBeyondAsciiEscaped) {
  EXPECT_EQ(EncodeUrlName(u"Caf\u00E9 #1?"), "Caf%C3%A9%20#1?");  // '#' and '?' stay as they are
  EXPECT_EQ(EncodeUrlName(u"\u53F0\U0001F600"), "%E5%8F%B0%F0%9F%98%80");
  EXPECT_EQ(EncodeUrlName(u""), "");
}

}  // namespace
}  // namespace qf
