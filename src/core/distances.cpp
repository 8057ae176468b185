#include "core/distances.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "core/coordinates.h"

namespace qf {

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kEarthRadiusMetres = 6378137.527506568;
constexpr double kDegreesPerRadian = 57.29577951308232;

}  // namespace

std::optional<GeoPoint> RowGeoPoint(const PoiDocument& document, int row) {
  const std::u16string_view longitude = document.text(row, kLng);
  const std::u16string_view latitude = document.text(row, kLat);
  if (longitude.empty() || latitude.empty()) return std::nullopt;
  return GeoPoint{CoordinateToDegrees(longitude, document.display), CoordinateToDegrees(latitude, document.display)};
}

BasePointCache CacheOf(GeoPoint position) {
  const double latitude = position.latitude * kRadiansPerDegree;
  return {position.longitude, position.latitude, position.longitude * kRadiansPerDegree, std::sin(latitude),
          std::cos(latitude)};
}

std::int32_t DistanceFrom(const BasePointCache& from, const BasePointCache& to) {
  if (from.longitude == to.longitude && from.latitude == to.latitude) return 0;
  const double cosine =
      from.sinLatitude * to.sinLatitude +
      from.cosLatitude * to.cosLatitude * std::cos(to.longitudeRadians - from.longitudeRadians);
  // Rounding can push the cosine of two very close points past 1, where acos has no value.
  const double metres = std::trunc(std::acos(std::clamp(cosine, -1.0, 1.0)) * kEarthRadiusMetres);
  return metres >= 0 && metres < kNoDistance ? static_cast<std::int32_t>(metres) : kNoDistance;
}

double NearReachDegrees(std::int32_t thresholdMetres) {
  // Truncated distances up to the threshold are less than a metre more; a little more covers rounding.
  return (thresholdMetres + 2.0) / kEarthRadiusMetres * kDegreesPerRadian + 1e-5;
}

// By the haversine formula sin(d/2) >= cos(latitude) sin(dLongitude/2) at the highest latitude in reach.
double LongitudeReach(double latitude, double reachDegrees) {
  const double highest = std::min(90.0, std::abs(latitude) + reachDegrees) / kDegreesPerRadian;
  const double sine = std::sin(reachDegrees / kDegreesPerRadian / 2) / std::cos(highest);
  if (!(sine < 1)) return 180;
  return 2 * std::asin(sine) * kDegreesPerRadian + 1e-5;
}

namespace {

void UpdateRow(PoiDocument& document, int row) {
  PoiRecord& record = document.rows[static_cast<std::size_t>(row)];
  if (row == document.baseRow) {
    record.distanceKey = kBaseRowKey;
    record.setText(kDistance, {});
    return;
  }
  const std::optional<GeoPoint> position = RowGeoPoint(document, row);
  record.distanceKey =
      document.baseRow >= 0 && position ? DistanceFrom(document.basePoint, CacheOf(*position)) : kNoDistance;
  std::int32_t shown = record.distanceKey;
  if (shown != kNoDistance && document.display.adjacentDistance) {
    shown = row > 0 ? DistanceBetween(document, row, row - 1) : kNoDistance;
  }
  record.setText(kDistance, shown == kNoDistance ? std::u16string() : FormatDistance(shown, document.display.metric));
}

}  // namespace

std::int32_t DistanceBetween(const PoiDocument& document, int rowA, int rowB) {
  const std::optional<GeoPoint> a = RowGeoPoint(document, rowA);
  const std::optional<GeoPoint> b = RowGeoPoint(document, rowB);
  if (!a || !b) return kNoDistance;
  return DistanceFrom(CacheOf(*a), CacheOf(*b));
}

void SetBasePoint(PoiDocument& document, int row) {
  if (!document.display.showDistance || row < -1 || row >= document.rowCount()) return;
  document.baseRow = -1;
  if (row == -1) {
    const auto marked = std::find_if(document.rows.begin(), document.rows.end(),
                                     [](const PoiRecord& record) { return record.distanceKey == kBaseRowKey; });
    if (marked != document.rows.end()) row = static_cast<int>(marked - document.rows.begin());
  }
  if (row >= 0) {
    if (const std::optional<GeoPoint> position = RowGeoPoint(document, row)) {
      document.basePoint = CacheOf(*position);
      document.baseRow = row;
    }
  }
  UpdateDistances(document, -1);
}

void UpdateDistances(PoiDocument& document, int first) {
  if (first >= document.rowCount()) return;
  if (first >= 0) {
    UpdateRow(document, first);
    return;
  }
  for (int row = 0; row < document.rowCount(); ++row) UpdateRow(document, row);
}

void RowChanged(PoiDocument& document, int row) {
  if (row < 0 || row >= document.rowCount()) return;
  if (row == document.baseRow) {
    SetBasePoint(document, row);
    return;
  }
  UpdateDistances(document, row);
  if (document.display.adjacentDistance) UpdateDistances(document, row + 1);
}

void ToggleDisplayOption(PoiDocument& document, DisplayOption option) {
  bool& flag = option == DisplayOption::Dms ? document.display.dms : document.display.compass;
  flag = !flag;
  for (PoiRecord& record : document.rows) {
    for (const Axis axis : {Axis::Longitude, Axis::Latitude}) {
      const int column = static_cast<int>(axis);
      if (record.text(column).empty()) continue;
      const CoordinateText text = FormatCoordinate(ParseCoordinateText(record.text(column)), axis, document.display);
      record.setText(column, text);
    }
  }
}

}  // namespace qf
