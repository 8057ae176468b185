#include "core/distances.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/coordinates.h"

namespace qf {
namespace {

struct Place {
  std::u16string longitude;
  std::u16string latitude;
};

// A document whose rows hold the given coordinate texts, with distances shown.
PoiDocument DocumentWith(const std::vector<Place>& places, bool adjacent = false) {
  PoiDocument document;
  document.display.showDistance = true;
  document.display.metric = true;
  document.display.adjacentDistance = adjacent;
  for (const Place& place : places) {
    PoiRecord& record = document.rows.emplace_back(document.nextRowId++);
    record.setText(kName, u"POI");
    record.setText(kLng, place.longitude);
    record.setText(kLat, place.latitude);
  }
  return document;
}

std::vector<std::int32_t> Keys(const PoiDocument& document) {
  std::vector<std::int32_t> keys;
  for (const PoiRecord& record : document.rows) keys.push_back(record.distanceKey);
  return keys;
}

std::vector<std::u16string> DistanceTexts(const PoiDocument& document) {
  std::vector<std::u16string> texts;
  for (const PoiRecord& record : document.rows) texts.emplace_back(record.text(kDistance));
  return texts;
}

TEST(DistanceBetween, WholeMetresAlongTheGreatCircle) {
  PoiDocument document = DocumentWith({{u"0.00000", u"0.00000"},
                                       {u"1.00000", u"0.00000"},
                                       {u"0.00000", u"1.00000"},
                                       {u"121.50000", u"25.03300"},
                                       {u"121.56000", u"25.04000"},
                                       {u"121.50000", u"25.03301"},
                                       {u"121.50000", u"25.03300"},
                                       {u"", u"25.03300"},
                                       {u"121.50000", u""}});
  EXPECT_EQ(DistanceBetween(document, 0, 1), 111319);
  EXPECT_EQ(DistanceBetween(document, 0, 2), 111319);
  EXPECT_EQ(DistanceBetween(document, 3, 4), 6101);
  EXPECT_EQ(DistanceBetween(document, 4, 3), 6101);
  EXPECT_EQ(DistanceBetween(document, 3, 5), 1);
  EXPECT_EQ(DistanceBetween(document, 3, 6), 0);
  EXPECT_EQ(DistanceBetween(document, 3, 7), kNoDistance);
  EXPECT_EQ(DistanceBetween(document, 8, 3), kNoDistance);
}

TEST(DistanceBetween, ReadsTheCurrentDisplayFormat) {
  PoiDocument document = DocumentWith({{u"E 121° 30' 00.00\"", u"N 25° 01' 58.80\""},
                                       {u"E 121° 33' 36.00\"", u"N 25° 02' 24.00\""},
                                       {u"W 121° 30' 00.00\"", u"S 25° 01' 58.80\""}});
  document.display.dms = true;
  document.display.compass = true;
  EXPECT_EQ(DistanceBetween(document, 0, 1), 6101);
  EXPECT_EQ(DistanceBetween(document, 2, 2), 0);
}

// Rounding pushes the cosine of these two distinct points past 1; the distance must still be a small number.
TEST(DistanceBetween, DistinctPointsTooCloseForTheCosine) {
  PoiDocument document = DocumentWith({{u"10.00000", u"89.56390"}, {u"10.00001", u"89.56390"}});
  EXPECT_EQ(DistanceBetween(document, 0, 1), 0);
}

TEST(SetBasePoint, NothingWhileDistancesAreHidden) {
  PoiDocument document = DocumentWith({{u"0.00000", u"0.00000"}, {u"1.00000", u"0.00000"}});
  document.display.showDistance = false;
  SetBasePoint(document, 0);
  EXPECT_EQ(document.baseRow, -1);
  EXPECT_EQ(Keys(document), (std::vector<std::int32_t>{0, 0}));
}

TEST(SetBasePoint, DistancesFromTheBaseRow) {
  PoiDocument document = DocumentWith(
      {{u"1.00000", u"0.00000"}, {u"0.00000", u"0.00000"}, {u"", u"0.00000"}, {u"0.00000", u"0.00000"}});
  SetBasePoint(document, 1);
  EXPECT_EQ(document.baseRow, 1);
  EXPECT_EQ(Keys(document), (std::vector<std::int32_t>{111319, kBaseRowKey, kNoDistance, 0}));
  EXPECT_EQ(DistanceTexts(document), (std::vector<std::u16string>{u"111.3  km", u"", u"", u"0    m"}));

  document.display.metric = false;
  SetBasePoint(document, -1);  // finds the row marked as the base point
  EXPECT_EQ(document.baseRow, 1);
  EXPECT_EQ(DistanceTexts(document), (std::vector<std::u16string>{u"69.2  mi", u"", u"", u"0    ft"}));
}

TEST(SetBasePoint, BaseRowWithoutCoordinateMeansNoDistances) {
  PoiDocument document = DocumentWith({{u"0.00000", u""}, {u"1.00000", u"0.00000"}});
  SetBasePoint(document, 0);
  EXPECT_EQ(document.baseRow, -1);
  EXPECT_EQ(Keys(document), (std::vector<std::int32_t>{kNoDistance, kNoDistance}));
  EXPECT_EQ(DistanceTexts(document), (std::vector<std::u16string>{u"", u""}));
}

TEST(UpdateDistances, AdjacentModeShowsTheDistanceFromTheRowAbove) {
  PoiDocument document = DocumentWith({{u"0.00000", u"0.00000"},
                                       {u"0.00000", u"0.00900"},
                                       {u"0.00000", u"0.01800"},
                                       {u"", u""},
                                       {u"0.00000", u"0.00090"}},
                                      true);
  SetBasePoint(document, 1);
  // The keys stay distances from the base point; the texts come from the row above when both have coordinates.
  EXPECT_EQ(Keys(document), (std::vector<std::int32_t>{1001, kBaseRowKey, 1001, kNoDistance, 901}));
  EXPECT_EQ(DistanceTexts(document), (std::vector<std::u16string>{u"", u"", u"1.0  km", u"", u""}));

  document.rows[3].setText(kLng, u"0.00000");
  document.rows[3].setText(kLat, u"0.00900");
  RowChanged(document, 3);  // updates the row below as well
  EXPECT_EQ(Keys(document), (std::vector<std::int32_t>{1001, kBaseRowKey, 1001, 0, 901}));
  EXPECT_EQ(DistanceTexts(document), (std::vector<std::u16string>{u"", u"", u"1.0  km", u"1.0  km", u"901    m"}));
}

TEST(RowChanged, MovingTheBaseRowRecomputesEveryRow) {
  PoiDocument document = DocumentWith({{u"0.00000", u"0.00000"}, {u"0.00000", u"0.00900"}});
  SetBasePoint(document, 0);
  EXPECT_EQ(Keys(document), (std::vector<std::int32_t>{kBaseRowKey, 1001}));
  document.rows[0].setText(kLat, u"0.00900");
  RowChanged(document, 0);
  EXPECT_EQ(Keys(document), (std::vector<std::int32_t>{kBaseRowKey, 0}));
  EXPECT_EQ(DistanceTexts(document), (std::vector<std::u16string>{u"", u"0    m"}));
}

TEST(ToggleDisplayOption, RewritesEveryCoordinateAndRoundTrips) {
  const std::int32_t units[][2] = {{0, 0}, {12150000, 2503300}, {-12750, -2503300}, {-18000000, 9000000}, {1, -1}};
  PoiDocument document;
  for (const auto& [longitude, latitude] : units) {
    PoiRecord& record = document.rows.emplace_back(document.nextRowId++);
    record.setText(kLng, FormatUnits(longitude, Axis::Longitude, document.display));
    record.setText(kLat, FormatUnits(latitude, Axis::Latitude, document.display));
  }
  document.rows.emplace_back(document.nextRowId++).setText(kName, u"No position");
  const PoiDocument original = document;

  const DisplayOption steps[] = {DisplayOption::Dms, DisplayOption::Compass, DisplayOption::Dms,
                                 DisplayOption::Compass};
  for (const DisplayOption step : steps) {
    ToggleDisplayOption(document, step);
    for (std::size_t row = 0; row < std::size(units); ++row) {
      EXPECT_EQ(document.text(row, kLng), FormatUnits(units[row][0], Axis::Longitude, document.display).view());
      EXPECT_EQ(document.text(row, kLat), FormatUnits(units[row][1], Axis::Latitude, document.display).view());
    }
    EXPECT_EQ(document.text(std::size(units), kLng), u"");
  }
  EXPECT_FALSE(document.display.dms);
  EXPECT_FALSE(document.display.compass);
  for (int row = 0; row < document.rowCount(); ++row) {
    EXPECT_EQ(document.text(row, kLng), original.text(row, kLng));
    EXPECT_EQ(document.text(row, kLat), original.text(row, kLat));
  }
}

}  // namespace
}  // namespace qf
