#pragma once

#include <cstdint>
#include <vector>

#include "core/byte_sink.h"
#include "formats/file_session.h"

namespace qf {

// A row's position in file units; kMissingUnits where the text is empty.
struct UnitPosition {
  std::int32_t longitude;
  std::int32_t latitude;
};
UnitPosition RowPosition(const PoiDocument& document, int row);

// The record makers append one record for a row to `out` and return its size.
// Type 2: name (">" telephone), then the memo.
std::size_t MakePoiRecord(const PoiRecord& row, UnitPosition position, std::vector<std::uint8_t>& out);
// Type 29: the text in 16-bit character code and the memo's number.
std::size_t MakeRichPoiRecord(const PoiRecord& row, UnitPosition position, std::vector<std::uint8_t>& out);
// Type 30: camera type and speed limit.
std::size_t MakeCameraRecord(const PoiRecord& row, UnitPosition position, std::vector<std::uint8_t>& out);

// Writes the rows of a Save (all) or an Export (the selected ones) as a TomTom POI file:
// the signal mark, then one record per row, grouped into skipper blocks by location when
// "Optimise POI" is on and every row has both coordinates. Returns 0 or a message id.
int WriteOv2(FileSession& session, ByteSink& out);

}  // namespace qf
