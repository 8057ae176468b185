#include "core/poi_document.h"

namespace qf {

void ResetToNew(PoiDocument& document) {
  const DisplayOptions display = document.display;
  const RowId nextRowId = document.nextRowId;
  document = PoiDocument{};
  document.display = display;
  document.nextRowId = nextRowId;
}

}  // namespace qf
