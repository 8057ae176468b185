#pragma once

#include <cstdint>
#include <optional>

#include "core/poi_document.h"

namespace qf {

enum class DisplayOption { Dms, Compass };

struct GeoPoint {
  double longitude = 0;
  double latitude = 0;
};
// A row's coordinates in degrees; nothing when either is empty.
std::optional<GeoPoint> RowGeoPoint(const PoiDocument& document, int row);
// A position with the sine and cosine its distances need, for measuring from it many times.
BasePointCache CacheOf(GeoPoint position);
// Great-circle metres, truncated toward zero; 0 at the same position.
std::int32_t DistanceFrom(const BasePointCache& from, const BasePointCache& to);

// Degrees of arc that hold every position within thresholdMetres of a position, with room for
// rounding; and how far in longitude such a position can lie from one at a latitude (180: any).
double NearReachDegrees(std::int32_t thresholdMetres);
double LongitudeReach(double latitude, double reachDegrees);

// Metres between two rows, or kNoDistance when either lacks a coordinate.
std::int32_t DistanceBetween(const PoiDocument& document, int rowA, int rowB);
// row -1 takes the row whose distance key marks it as the base point.
void SetBasePoint(PoiDocument& document, int row);
// first -1 updates every row.
void UpdateDistances(PoiDocument& document, int first);
void RowChanged(PoiDocument& document, int row);
// Flips "DMS Format" or "Compass Direction" and rewrites every coordinate cell.
void ToggleDisplayOption(PoiDocument& document, DisplayOption option);

}  // namespace qf
