#pragma once

#include <cstdint>

#include "core/poi_document.h"

namespace qf {

enum class DisplayOption { Dms, Compass };

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
