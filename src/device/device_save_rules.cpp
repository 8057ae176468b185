#include "device/device_save_rules.h"

namespace qf {

namespace {

constexpr std::u16string_view kFavorites = u"Favorites";
constexpr std::u16string_view kJoint = u" | ";

std::u16string Widen(std::string_view ascii) { return {ascii.begin(), ascii.end()}; }

}  // namespace

std::vector<int> RowsWithoutPosition(const PoiDocument& document) {
  std::vector<int> rows;
  for (int row = 0; row < document.rowCount(); ++row) {
    if (document.text(row, kLng).empty() || document.text(row, kLat).empty()) rows.push_back(row);
  }
  return rows;
}

bool OverFavoritesLimit(const PoiDocument& document) {
  const int rows = document.rowCount() - (document.basePointPinned ? 1 : 0);
  return document.title == kFavorites && rows > kDeviceFavoritesLimit;
}

DeviceFileMask CompanionsBeside(const std::filesystem::path& document) {
  DeviceFileMask mask = 0;
  for (std::size_t kind = 1; kind < kDeviceFileKinds; ++kind) {
    std::filesystem::path companion = document;
    companion.replace_extension(std::string(".") + std::string(kDeviceExtensions[kind]));
    std::error_code error;
    if (std::filesystem::is_regular_file(companion, error)) mask |= MaskOf(static_cast<DeviceFileKind>(kind));
  }
  return mask;
}

std::u16string FilesOnDevice(const DeviceListing& listing, std::u16string_view name, DeviceFileMask mask) {
  std::u16string found;
  for (std::size_t kind = 0; kind < kDeviceFileKinds; ++kind) {
    const auto fileKind = static_cast<DeviceFileKind>(kind);
    if ((mask & MaskOf(fileKind)) == 0 || !listing.holds(fileKind, name)) continue;
    if (!found.empty()) found += kJoint;
    found += Widen(kDeviceExtensions[kind]);
  }
  return found;
}

}  // namespace qf
