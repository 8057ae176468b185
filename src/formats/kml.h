#pragma once

#include <cstdint>
#include <span>

#include "core/byte_sink.h"
#include "formats/file_session.h"

namespace qf {

// The placemarks of a KML file: read by a tolerant tag scanner over the raw UTF-8 bytes (tags
// matched without regard to case) and written from a fixed template.

// Reads the file contents; the byte after them must be zero. The contents are used up: the memory
// of a large file is given back as it is read. Returns 0, kUnknownContent for a file without a
// single kml or Placemark element, or kWrongContent; the POIs read before a fault stay in the document.
int ReadKml(FileSession& session, std::span<std::uint8_t> bytes);

// Returns 0 or kCannotWrite.
int WriteKml(FileSession& session, ByteSink& out);
// The Google Earth mode: the selected rows if any row is selected, else every row; the
// number of placemarks written goes to `written`.
int WriteKmlForGoogleEarth(FileSession& session, ByteSink& out, int& written);

}  // namespace qf
