#pragma once

#include <cstdint>
#include <span>

#include "formats/file_session.h"

namespace qf {

// Scans a Nav2 device's "MapSettings.cfg" for favourite entries and appends one row per
// favourite not read before. With includeHome the home and recent-destination entries are
// read too and every row's memo tells the entry's kind. Unreadable entries are skipped, so
// the result is always 0.
int ReadFavourites(FileSession& session, std::span<std::uint8_t> bytes, bool includeHome);

}  // namespace qf
