#pragma once

#include "core/byte_sink.h"
#include "formats/file_session.h"

namespace qf {

// Writes the rows of a Save (all) or an Export (the selected ones) as a TomTom POI file:
// the signal mark, then one record per row, grouped into skipper blocks by location when
// "Optimise POI" is on and every row has both coordinates. Returns 0 or a message id.
int WriteOv2(FileSession& session, ByteSink& out);

}  // namespace qf
