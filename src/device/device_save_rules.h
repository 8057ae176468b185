#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/poi_document.h"
#include "device/device_listing.h"

namespace qf {

// What the device's favourites can hold: it reads no more of them.
inline constexpr int kDeviceFavoritesLimit = 96;

// The rows without a longitude or a latitude: a device cannot take them.
std::vector<int> RowsWithoutPosition(const PoiDocument& document);

// Whether the document is the device's favourites with more rows than the device reads (a pinned My
// Base Point row not counted).
bool OverFavoritesLimit(const PoiDocument& document);

// The companion files (bmp, ogg, rpf, vif) that lie beside `document`: the path with the kind's
// extension (a path without one gets it) names a regular file. The ov2 bit is never set.
DeviceFileMask CompanionsBeside(const std::filesystem::path& document);

// The extensions of `mask` for which the device already holds a file named `name`, joined by " | "
// (for example "ov2 | bmp"); empty when it holds none.
std::u16string FilesOnDevice(const DeviceListing& listing, std::u16string_view name, DeviceFileMask mask);

}  // namespace qf
