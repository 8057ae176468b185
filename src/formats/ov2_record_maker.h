#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/poi_document.h"

namespace qf {

// A row's position in file units; kMissingUnits where the text is empty.
struct UnitPosition {
  std::int32_t longitude;
  std::int32_t latitude;
};
UnitPosition RowPosition(const PoiDocument& document, int row);

// The record makers append one record for a row to `out` and return its size.
// A POI record: name (">" telephone), then the memo.
std::size_t MakePoiRecord(const PoiRecord& row, UnitPosition position, std::vector<std::uint8_t>& out);
// A rich POI record: the text in 16-bit character code and the memo's number.
std::size_t MakeRichPoiRecord(const PoiRecord& row, UnitPosition position, std::vector<std::uint8_t>& out);
// A safety camera record: camera type and speed limit.
std::size_t MakeCameraRecord(const PoiRecord& row, UnitPosition position, std::vector<std::uint8_t>& out);

using RecordMaker = std::size_t (*)(const PoiRecord&, UnitPosition, std::vector<std::uint8_t>&);
// The maker of every row's record: camera records for a safety-camera document, rich POI records
// for a rich POI document, POI records for any other.
RecordMaker RecordMakerFor(const PoiDocument& document);

// The box a skipper gives for the records after it, in file units. A box grown past its records
// may pass the 32-bit range: it is written with its low 32 bits.
struct SkipperBox {
  std::int64_t east;
  std::int64_t north;
  std::int64_t west;
  std::int64_t south;
};
// A skipper over `length` bytes, itself included.
void MakeSkipperRecord(std::size_t length, const SkipperBox& box, std::vector<std::uint8_t>& out);
// The same over the skipper's bytes at `at`, for a skipper whose length is known only once the
// records after it are made.
void PutSkipperRecord(std::size_t length, const SkipperBox& box, std::uint8_t* at);

}  // namespace qf
