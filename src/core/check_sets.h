#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/poi_checks.h"
#include "core/poi_document.h"

namespace qf {

// The near-distance and similar-name findings of a whole document for a listing. Rows joined by a
// chain of near (or similar) pairs form one set, so that n POIs at one place make one set of n
// rows instead of the n groups, of n(n-1)/2 rows in all, that the results window walks through.

struct SetMember {
  int row;
  int linkedRow;          // a row of the set this one is near or similar to; -1 for the first row
  std::int32_t distance;  // metres to the linked row; kNoDistance for similar names and the first row
};
// Rows ascending; only sets of two rows or more.
using CheckSet = std::vector<SetMember>;

// Sets of rows within thresholdMetres of each other (DistanceBetween); rows without both
// coordinates take no part. Nothing when the poll asks to stop.
std::optional<std::vector<CheckSet>> NearSets(const PoiDocument& document, std::int32_t thresholdMetres,
                                              const CheckPoll& poll);
// Sets of rows with similar names (SimilarNames).
std::optional<std::vector<CheckSet>> SimilarSets(const PoiDocument& document, const CheckPoll& poll);

}  // namespace qf
