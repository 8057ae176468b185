#pragma once

#include <cstdint>
#include <span>

#include "formats/file_session.h"

namespace qf {

// Reads the waypoints of a Garmin POI file (Open or Import) into the session's document:
// after the header check the bytes are scanned for waypoint records, which give the name,
// the position and, from the text after the name, a memo and a telephone number.
// Returns 0, kUnknownContent (no Garmin POI header) or kWrongContent (too short).
int ReadGpi(FileSession& session, std::span<std::uint8_t> bytes);

}  // namespace qf
