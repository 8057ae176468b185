#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/poi_document.h"

namespace qf::bench {

// The kinds of data a user may bring, each with its own spread of positions and texts.
enum class Shape {
  Europe,      // positions over Europe, the default of every benchmark
  World,       // spread over the whole globe: nearly every POI in a cell of its own
  City,        // packed into a 0.2-degree square: many POIs to each cell
  SouthWest,   // southern latitudes and western longitudes only, every coordinate negative
  NoPosition,  // one row in twenty without coordinates
  Duplicates,  // names drawn from a small set, many equal and many alike
  Similar,     // spread over the globe, one name in five in a small group of similar names
  Rich,        // a rich POI document: the memo is the record's number
  Camera,      // a safety-camera document
  Compact,     // compact records behind skippers (written by WriteCompactOv2)
};
std::optional<Shape> ShapeNamed(std::string_view name);

// A reproducible document of `count` POIs like a large real file: names of 10 to 30
// characters (10 % with Latin-1 accents, 5 % with CJK characters), 20 % with a
// telephone, 20 % with a memo, positions as the shape says.
PoiDocument GeneratePois(std::size_t count, Shape shape = Shape::Europe, std::uint32_t seed = 20261209);

// The document's rows as compact OV2 records (type 23) behind one skipper, whose box tells
// readers each record's turn of longitude. Rows must have both coordinates, longitudes
// above -80 degrees and texts of characters below U+0100.
std::vector<std::uint8_t> WriteCompactOv2(const PoiDocument& document);

}  // namespace qf::bench
