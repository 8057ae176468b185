#pragma once

#include <cstdint>

#include "core/poi_document.h"

namespace qf::bench {

// A reproducible document of `count` POIs like a large real file: names of 10 to 30
// characters (10 % with Latin-1 accents, 5 % with CJK characters), 20 % with a
// telephone, 20 % with a memo, positions spread over Europe.
PoiDocument GeneratePois(std::size_t count, std::uint32_t seed = 20261209);

}  // namespace qf::bench
