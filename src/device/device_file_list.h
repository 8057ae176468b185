#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_listing.h"

namespace qf {

// The columns of the list of POI files on the device.
enum class DeviceFileColumn { Name, Date, Size, Bmp, Ogg, Rpf, Vif };
inline constexpr int kDeviceFileColumns = 7;
inline constexpr int kFirstCompanionColumn = static_cast<int>(DeviceFileColumn::Bmp);

// One POI file of the device as its list shows it.
struct DeviceFileRow {
  std::u16string name;
  std::u16string date;
  std::u16string size;
  // Whether the device holds the bmp, ogg, rpf and vif file of the same name.
  std::array<bool, 4> companions{};
  int position = 0;        // place in the listing's ov2 list, which is what the date order follows
  bool favorites = false;  // the device's favourites, which always go first
};

// One row per entry of the listing's ov2 list, in the list's order, except that the first entry named
// "Favorites" (in any case) goes first.
std::vector<DeviceFileRow> DeviceFileRows(const DeviceListing& listing);

// How many rows the list can be sorted by: the favourites row does not count.
int SortableRowCount(const std::vector<DeviceFileRow>& rows);

// Sorts by a column, the favourites row first whatever the order. Names go in natural order (numbers by
// value, case ignored) with ties by plain comparison, dates by listing position, sizes by value (with k
// and M as multiples of 1024), companion columns with the rows that hold the file after those that do not.
void SortDeviceFileRows(std::vector<DeviceFileRow>& rows, DeviceFileColumn column, bool ascending);

// The value of a size text such as "1.5 MB" or "900 KB": its first number, times 1024 with a 'k' in
// the text, times 1048576 with an 'M' (either case).
double DeviceSizeValue(std::u16string_view text);

}  // namespace qf
