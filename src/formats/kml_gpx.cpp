#include "formats/kml_gpx.h"

#include "formats/file_pipeline.h"

namespace qf {

// Being written: placeholders so that the pipeline links.
int ReadKml(FileSession&, std::span<std::uint8_t>) { return kWrongContent; }
int ReadGpx(FileSession&, std::span<std::uint8_t>) { return kWrongContent; }
int WriteKml(FileSession&, ByteSink&) { return kCannotWrite; }
int WriteGpx(FileSession&, ByteSink&) { return kCannotWrite; }
int WriteKml(FileSession&, ByteSink&, int&) { return kCannotWrite; }

}  // namespace qf
