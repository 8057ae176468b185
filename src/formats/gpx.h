#pragma once

#include <cstdint>
#include <span>

#include "core/byte_sink.h"
#include "formats/file_session.h"

namespace qf {

// The waypoints of a GPX file: read by a tolerant tag scanner over the raw UTF-8 bytes (tags
// matched without regard to case) and written from a fixed template.

// Reads the file contents; the byte after them must be zero. The contents are used up: the memory
// of a large file is given back as it is read. Returns 0, kUnknownContent for a file without a
// single gpx or wpt element, or kWrongContent; the POIs read before a fault stay in the document.
int ReadGpx(FileSession& session, std::span<std::uint8_t> bytes);

// Returns 0 or kCannotWrite.
int WriteGpx(FileSession& session, ByteSink& out);

}  // namespace qf
