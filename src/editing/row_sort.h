#pragma once

#include <vector>

#include "core/poi_document.h"

namespace qf {

// The rows in the order of a sort by one column: entry i is the index of the row that goes to
// place i. Texts sort in natural order (numbers by value, letters without regard to case, the
// locale's order with case deciding ties), coordinates by value with empty cells first, distances
// by their keys. A My Base Point row stays first; rows that compare equal keep their order.
std::vector<int> SortedOrder(const PoiDocument& document, int column, bool ascending);

}  // namespace qf
