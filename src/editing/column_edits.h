#pragma once

#include <cstdint>
#include <string>

#include "editing/poi_table.h"

namespace qf {

// Operations that rewrite one or more columns of many rows, each one undo step.

// The choices of Combine: the front list is Text, Serial, Name, Tel, Memo; the back list is
// Name, Tel, Memo, Text, Serial.
enum class CombinePart { Text, Serial, Name, Tel, Memo };
struct Combination {
  CombinePart front = CombinePart::Text;
  CombinePart back = CombinePart::Name;
  std::u16string text;  // the text or the first serial number, when a part takes one
};
// Whether the pair may be combined.
bool CombinationAllowed(CombinePart front, CombinePart back, bool richPoiFile);
// Whether Combine may run: an allowed pair whose Text or Serial part has a text that is not empty
// once cleaned, a serial's only of digits.
bool CombinationComplete(const Combination& combination, bool richPoiFile);
// The column Combine writes.
int CombineTarget(const Combination& combination);
// Front part followed by back part into the front column, or into the back column when the front
// is Text or Serial; a serial counts up from its text, zero-padded when the text starts with 0.
void Combine(PoiTable& table, const Combination& combination);

// The boxes of Clear, in their order.
struct ClearChoice {
  bool leadingSerial = false;
  bool trailingSerial = false;
  bool lng = false;
  bool lat = false;
  bool tel = false;
  bool memo = false;
};
void Clear(PoiTable& table, const ClearChoice& choice);
// Empties the current column of every row but a My Base Point row.
void ClearColumn(PoiTable& table, int column);
// Cuts every memo before the "=>" that an address query put between memo and address.
void ClearAddresses(PoiTable& table);
// Moves the coordinates of the selected rows (or of every row) by up to 2/100000 degree.
void MessCoordinates(PoiTable& table, std::uint32_t seed);

}  // namespace qf
