#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

#include "formats/file_session.h"

namespace qf {

// Scans a Nav2 device's "MapSettings.cfg" for favourite entries and appends one row per
// favourite not read before. With includeHome the home and recent-destination entries are
// read too and every row's memo tells the entry's kind. Unreadable entries are skipped, so
// the result is always 0.
int ReadFavourites(FileSession& session, std::span<std::uint8_t> bytes, bool includeHome);

// The "MapSettings.cfg" of a device's folder; with no folder, the file's name alone.
std::filesystem::path FavouritesFileIn(const std::filesystem::path& folder);

}  // namespace qf
