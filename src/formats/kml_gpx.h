#pragma once

#include <cstdint>
#include <span>

#include "core/byte_sink.h"
#include "formats/file_session.h"

namespace qf {

// Placemarks of KML and waypoints of GPX, read by tolerant tag scanners over the raw UTF-8
// bytes (tags matched without regard to case) and written from fixed templates.

// Read the file contents; the byte after them must be zero. The contents are used up: the memory
// of a large file is given back as it is read. Return 0, kUnknownContent for a file without a
// single element of the format (kml or Placemark, gpx or wpt), or kWrongContent; the POIs read
// before a fault stay in the document.
int ReadKml(FileSession& session, std::span<std::uint8_t> bytes);
int ReadGpx(FileSession& session, std::span<std::uint8_t> bytes);

// Return 0 or kCannotWrite.
int WriteKml(FileSession& session, ByteSink& out);
int WriteGpx(FileSession& session, ByteSink& out);
// The Google Earth mode: the selected rows if any row is selected, else every row; the
// number of placemarks written goes to `written`.
int WriteKmlForGoogleEarth(FileSession& session, ByteSink& out, int& written);

}  // namespace qf
